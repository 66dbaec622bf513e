# Native Linux tree: platform-free modules, the data-file tool, unit tests
# under sanitizers and, with clang, the fuzzer.
find_package(EXPAT REQUIRED)
# The offline cleaner reads and writes an installation's hives through
# Debian's libhivex-dev.
find_package(PkgConfig REQUIRED)
pkg_check_modules(HIVEX REQUIRED IMPORTED_TARGET hivex)

option(MENDRIX_SANITIZE "Build with AddressSanitizer and UBSan" ON)
list(APPEND PORTABLE_SOURCES ${POSIX_SOURCES})
# The offline cleaner's own modules: the mounted installation, its INI files
# and its hives. They build only here, beside the rescue system's calls.
file(GLOB OFFLINE_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/offline/*.cpp)
set(SANITIZE_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)

add_compile_options(-Wall -Wextra -Wno-unused-parameter)

add_library(mendrix_core STATIC ${PORTABLE_SOURCES})
target_include_directories(mendrix_core PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(mendrix_core PUBLIC EXPAT::EXPAT)

# mendrix-offline: the platform-free modules with the offline program's own
# walk and file actions in place of the native stand-ins.
file(GLOB OFFLINE_PROGRAM_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/offline/program/*.cpp)
set(OFFLINE_CORE_SOURCES ${PORTABLE_SOURCES})
list(FILTER OFFLINE_CORE_SOURCES EXCLUDE REGEX "/disk/(file_ops|drives)_posix\\.cpp$")
add_executable(mendrix-offline ${OFFLINE_CORE_SOURCES} ${OFFLINE_SOURCES} ${OFFLINE_PROGRAM_SOURCES})
target_include_directories(mendrix-offline PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(mendrix-offline PRIVATE EXPAT::EXPAT PkgConfig::HIVEX)
install(TARGETS mendrix-offline DESTINATION bin)
# Its end-to-end test makes an installation with the system's Python, where
# Debian's python3-hivex is.
add_executable(make-empty-hive tests/offline/make_empty_hive.cpp offline/empty_hive.cpp)
target_include_directories(make-empty-hive PRIVATE ${CMAKE_SOURCE_DIR})
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/sample.dat
  COMMAND mendrix-dat build ${CMAKE_SOURCE_DIR}/data/sample.xml ${CMAKE_BINARY_DIR}/sample.dat
  DEPENDS mendrix-dat ${CMAKE_SOURCE_DIR}/data/sample.xml)
add_custom_target(offline-sample-dat ALL DEPENDS ${CMAKE_BINARY_DIR}/sample.dat)
add_test(NAME native.offline.run
  COMMAND /usr/bin/python3 ${CMAKE_SOURCE_DIR}/tests/offline/offline_run_test.py
          $<TARGET_FILE:mendrix-offline> $<TARGET_FILE:make-empty-hive> ${CMAKE_BINARY_DIR}/sample.dat
          $<TARGET_FILE:mendrix-dat>)
set_tests_properties(native.offline.run PROPERTIES TIMEOUT 120)
# On a real NTFS volume, mounted through ntfs-3g: reported as not run, with
# the reason, where this system cannot mount one.
add_test(NAME native.offline.ntfs
  COMMAND /usr/bin/python3 ${CMAKE_SOURCE_DIR}/tests/offline/offline_ntfs_test.py
          $<TARGET_FILE:mendrix-offline> $<TARGET_FILE:make-empty-hive> ${CMAKE_BINARY_DIR}/sample.dat)
set_tests_properties(native.offline.ntfs PROPERTIES TIMEOUT 120 SKIP_RETURN_CODE 77)

add_library(mendrix_dat_lib STATIC ${DAT_TOOL_SOURCES})
target_link_libraries(mendrix_dat_lib PUBLIC mendrix_core)

add_executable(mendrix-dat tools/dat/main_dat.cpp)
target_link_libraries(mendrix-dat PRIVATE mendrix_dat_lib)

if(EXISTS ${CMAKE_SOURCE_DIR}/tools/dat/main_bench.cpp)
  add_executable(mendrix-dat-bench tools/dat/main_bench.cpp)
  target_link_libraries(mendrix-dat-bench PRIVATE mendrix_dat_lib)
endif()

# Unit tests get their own sanitized copy of the sources.
set(GTEST_SRC /usr/src/googletest)
if(MENDRIX_SANITIZE)
  set(TEST_COMPILE ${SANITIZE_FLAGS})
  set(TEST_LINK ${SANITIZE_FLAGS})
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(${GTEST_SRC} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
target_compile_options(gtest PRIVATE ${TEST_COMPILE})
target_compile_options(gtest_main PRIVATE ${TEST_COMPILE})

file(GLOB UNIT_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/unit/*.cpp)
add_executable(unit_tests ${UNIT_TEST_SOURCES} ${PORTABLE_SOURCES} ${DAT_TOOL_SOURCES} ${OFFLINE_SOURCES}
  ${CMAKE_SOURCE_DIR}/tests/imports/pe_imports.cpp)
target_include_directories(unit_tests PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_definitions(unit_tests PRIVATE MENDRIX_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
  MENDRIX_DAT_EXE="$<TARGET_FILE:mendrix-dat>")
target_compile_options(unit_tests PRIVATE ${TEST_COMPILE})
target_link_options(unit_tests PRIVATE ${TEST_LINK})
target_link_libraries(unit_tests PRIVATE gtest_main EXPAT::EXPAT PkgConfig::HIVEX)
add_dependencies(unit_tests mendrix-dat)
add_test(NAME native.unit COMMAND unit_tests --gtest_brief=1)

set(MENDRIX_FUZZ_SECONDS 60 CACHE STRING "Length of the fuzz smoke run")
# Fuzzers: clang only, one executable per tests/fuzz/*_fuzz.cpp.
if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  file(GLOB FUZZ_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/fuzz/*_fuzz.cpp)
  # The sources under test are compiled once, instrumented, for every fuzzer.
  add_library(fuzz_core OBJECT ${PORTABLE_SOURCES} ${OFFLINE_SOURCES})
  target_include_directories(fuzz_core PRIVATE ${CMAKE_SOURCE_DIR})
  target_link_libraries(fuzz_core PUBLIC PkgConfig::HIVEX)
  target_compile_options(fuzz_core PRIVATE -fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  foreach(f ${FUZZ_SOURCES})
    get_filename_component(n ${f} NAME_WE)
    add_executable(${n} ${f} $<TARGET_OBJECTS:fuzz_core>)
    target_include_directories(${n} PRIVATE ${CMAKE_SOURCE_DIR})
    target_compile_options(${n} PRIVATE -fsanitize=fuzzer,address,undefined -fno-omit-frame-pointer)
    target_link_options(${n} PRIVATE -fsanitize=fuzzer,address,undefined)
    target_link_libraries(${n} PRIVATE EXPAT::EXPAT PkgConfig::HIVEX)
    # Smoke run: a minute of fuzzing from the corpus the target seeds itself.
    set(corpus ${CMAKE_BINARY_DIR}/fuzz-corpus/${n})
    file(MAKE_DIRECTORY ${corpus})
    add_test(NAME native.fuzz.${n}
      COMMAND ${n} -max_total_time=${MENDRIX_FUZZ_SECONDS} -timeout=10 -rss_limit_mb=2048 ${corpus})
    set_tests_properties(native.fuzz.${n} PROPERTIES TIMEOUT 300)
  endforeach()
endif()

# The 32-bit programs must load on every system of both families: their
# import tables may name only functions on the checked-in list, and their
# headers must name Windows 4.0. Read from the 32-bit tree beside this one;
# no 32-bit code runs, so this runs on every machine.
add_executable(check-imports tests/imports/check_imports_main.cpp tests/imports/pe_imports.cpp)
target_include_directories(check-imports PRIVATE ${CMAKE_SOURCE_DIR})
set(MENDRIX_WIN32_TREE ${CMAKE_BINARY_DIR}/../win CACHE PATH "The 32-bit Windows tree beside this one")
set(IMPORT_ALLOWLIST ${CMAKE_SOURCE_DIR}/tests/imports/allowed-imports.txt)
add_test(NAME native.imports.programs
  COMMAND check-imports ${IMPORT_ALLOWLIST} ${MENDRIX_WIN32_TREE}/mendrix.exe
          ${MENDRIX_WIN32_TREE}/mendrix-cli.exe ${MENDRIX_WIN32_TREE}/mendrix-dat.exe)
# The check itself: a program of its own that imports a Vista function must
# be named, and nothing else about it.
add_test(NAME native.imports.newer_function_is_caught
  COMMAND check-imports ${IMPORT_ALLOWLIST} ${MENDRIX_WIN32_TREE}/newer_import_probe.exe)
set_tests_properties(native.imports.newer_function_is_caught PROPERTIES
  PASS_REGULAR_EXPRESSION "imports KERNEL32.dll GetTickCount64, which is not on the list[^\n]*\n[^\n]*: [0-9]+ imports, 1 fault\n")

# The same data file online, under Wine in a prefix of the 32-bit tree (the
# 64-bit one where this machine runs no 32-bit code), and offline on a copy
# of it. Both trees' console programs do the same work: one run is enough.
set(MENDRIX_WIN64_TREE ${CMAKE_BINARY_DIR}/../win64 CACHE PATH "The 64-bit Windows tree beside this one")
add_test(NAME native.offline.differential
  COMMAND /usr/bin/python3 ${CMAKE_SOURCE_DIR}/tests/offline/offline_differential_test.py
          $<TARGET_FILE:mendrix-offline> $<TARGET_FILE:make-empty-hive> ${CMAKE_BINARY_DIR}/sample.dat
          ${MENDRIX_WIN32_TREE} ${MENDRIX_WIN64_TREE} ${CMAKE_SOURCE_DIR}/tests/wine
          ${CMAKE_SOURCE_DIR}/scripts/runs-32bit.sh)
set_tests_properties(native.offline.differential PROPERTIES TIMEOUT 300)
