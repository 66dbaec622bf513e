# Windows tree, 32-bit (i686, the product for both families) or 64-bit
# (x86_64, for 64-bit Windows): the programs, linked statically with Expat
# built from Debian's source (scripts/build-expat-win.sh), and their tests
# run under Wine.
enable_language(RC)

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(MENDRIX_WIN_BITS 64)
else()
  set(MENDRIX_WIN_BITS 32)
endif()
# The Wine scripts read which kind of prefix and loader this tree needs.
file(WRITE ${CMAKE_BINARY_DIR}/wine-arch "win${MENDRIX_WIN_BITS}\n")

set(MENDRIX_EXPAT_PREFIX "" CACHE PATH "Expat built for this tree's Windows architecture")
set(MENDRIX_HOST_DAT "" CACHE FILEPATH "Native mendrix-dat, used to build the sample data file")
if(NOT MENDRIX_EXPAT_PREFIX OR NOT EXISTS ${MENDRIX_EXPAT_PREFIX}/lib/libexpat.a)
  message(FATAL_ERROR "Set MENDRIX_EXPAT_PREFIX to the output of scripts/build-expat-win.sh")
endif()

add_library(expat_static STATIC IMPORTED)
set_target_properties(expat_static PROPERTIES
  IMPORTED_LOCATION ${MENDRIX_EXPAT_PREFIX}/lib/libexpat.a
  INTERFACE_INCLUDE_DIRECTORIES ${MENDRIX_EXPAT_PREFIX}/include
  INTERFACE_COMPILE_DEFINITIONS XML_STATIC)

# Warnings are errors in both bitnesses: a pointer squeezed into a DWORD or a
# printf format that fits only one of them fails the build.
add_compile_options(-Wall -Wextra -Werror -Wno-unused-parameter -Wno-cast-function-type)
# Our own code sees only what Windows 95 and NT 4 declare: anything newer is
# declared beside the run-time lookup that reaches it.
add_compile_definitions(WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0400 WINVER=0x0400)
# Nothing may need a DLL beside it.
add_link_options(-static -static-libgcc -static-libstdc++)

# The window's prompts. The confirmation dialog they open is a resource of
# the program itself, so every executable that may ask links its script:
# objects of the resource compiler are not pulled out of a static library.
set(PROMPT_DIALOG_RC ${CMAKE_SOURCE_DIR}/ui/prompt_dialog.rc)

# One library: the platform-free modules call back into the Win32 ones
# (PlatformWindowsDirectory and the like), so they cannot be split in two
# archives without a link cycle.
add_library(mendrix_win STATIC ${PORTABLE_SOURCES} ${WIN32_SOURCES})
target_include_directories(mendrix_win PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(mendrix_win PUBLIC expat_static advapi32 user32 gdi32 shell32 ole32)
add_library(mendrix_dat_lib STATIC ${DAT_TOOL_SOURCES})
target_link_libraries(mendrix_dat_lib PUBLIC mendrix_win)

# The programs users get. In the 32-bit tree they are compiled and linked
# with the win32 thread model (no winpthread), so that they load on every
# system of both families; the in-process test programs link mendrix_win,
# the same sources built with the posix model that GoogleTest needs.
if(MENDRIX_WIN_BITS EQUAL 32)
  set(WIN32_MODEL ${CMAKE_SOURCE_DIR}/cmake/win32-thread-model.sh)
  add_library(mendrix_product STATIC ${PORTABLE_SOURCES} ${WIN32_SOURCES})
  target_include_directories(mendrix_product PUBLIC ${CMAKE_SOURCE_DIR})
  target_link_libraries(mendrix_product PUBLIC expat_static advapi32 user32 gdi32 shell32 ole32)
  add_library(mendrix_product_dat STATIC ${DAT_TOOL_SOURCES})
  target_link_libraries(mendrix_product_dat PUBLIC mendrix_product)
  set(PRODUCT_RUNTIME ${CMAKE_SOURCE_DIR}/app/ansi_runtime_imports_win.cpp)
else()
  add_library(mendrix_product ALIAS mendrix_win)
  add_library(mendrix_product_dat ALIAS mendrix_dat_lib)
  set(PRODUCT_RUNTIME)
endif()
# Marks a target as product code: the 32-bit tree builds it with the win32
# thread model, and its PE headers name Windows 4.0 as the oldest system.
function(mendrix_product_target target)
  if(MENDRIX_WIN_BITS EQUAL 32)
    set_target_properties(${target} PROPERTIES RULE_LAUNCH_COMPILE ${WIN32_MODEL} RULE_LAUNCH_LINK ${WIN32_MODEL})
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE")
      target_link_options(${target} PRIVATE -Wl,--major-os-version,4 -Wl,--minor-os-version,0
                          -Wl,--major-subsystem-version,4 -Wl,--minor-subsystem-version,0)
    endif()
  endif()
endfunction()
if(MENDRIX_WIN_BITS EQUAL 32)
  mendrix_product_target(mendrix_product)
  mendrix_product_target(mendrix_product_dat)
endif()

# The sample data file, built with the native data-file tool and embedded.
set(SAMPLE_DAT ${CMAKE_BINARY_DIR}/sample.dat)
add_custom_command(OUTPUT ${SAMPLE_DAT}
  COMMAND ${MENDRIX_HOST_DAT} build ${CMAKE_SOURCE_DIR}/data/sample.xml ${SAMPLE_DAT}
  DEPENDS ${CMAKE_SOURCE_DIR}/data/sample.xml ${MENDRIX_HOST_DAT}
  COMMENT "Building the sample data file")
add_custom_target(sample_dat DEPENDS ${SAMPLE_DAT})
set_source_files_properties(${CMAKE_SOURCE_DIR}/app/console.rc PROPERTIES
  OBJECT_DEPENDS ${SAMPLE_DAT})

add_executable(mendrix-cli app/main_console_win.cpp app/console.rc ${PROMPT_DIALOG_RC} ${PRODUCT_RUNTIME})
target_include_directories(mendrix-cli PRIVATE ${CMAKE_BINARY_DIR})
target_link_libraries(mendrix-cli PRIVATE mendrix_product)
add_dependencies(mendrix-cli sample_dat)
mendrix_product_target(mendrix-cli)

# The windowed program. Its one resource script holds the dialogs, the menu,
# the graphics, the manifest, the version and the embedded data file.
set(GUI_RC ${CMAKE_SOURCE_DIR}/ui/mendrix.rc)
set_source_files_properties(${GUI_RC} PROPERTIES OBJECT_DEPENDS
  "${SAMPLE_DAT};${PROMPT_DIALOG_RC};${CMAKE_SOURCE_DIR}/ui/resource_ids.h;${CMAKE_SOURCE_DIR}/ui/mendrix.manifest;${CMAKE_SOURCE_DIR}/ui/icon.ico;${CMAKE_SOURCE_DIR}/ui/bitmaps/scan.bmp;${CMAKE_SOURCE_DIR}/ui/bitmaps/settings.bmp")
add_executable(mendrix WIN32 app/main_gui_win.cpp ${GUI_RC} ${PRODUCT_RUNTIME})
target_include_directories(mendrix PRIVATE ${CMAKE_BINARY_DIR})
target_link_libraries(mendrix PRIVATE mendrix_product)
add_dependencies(mendrix sample_dat)
mendrix_product_target(mendrix)

add_executable(mendrix-dat tools/dat/main_dat.cpp ${PRODUCT_RUNTIME})
target_link_libraries(mendrix-dat PRIVATE mendrix_product_dat)
mendrix_product_target(mendrix-dat)

# GoogleTest for Windows, from the same source as the native tests.
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# Each tests/wine/*_test.cpp is one test program; it runs inside its own copy
# of the template Wine prefix, with the programs under test beside it.
set(WINE_RUNNER ${CMAKE_SOURCE_DIR}/tests/wine/run-in-prefix.sh)
file(GLOB WINE_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/wine/*_test.cpp)
file(GLOB WINE_HELPER_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/wine/support/*.cpp)
foreach(f ${WINE_TEST_SOURCES})
  get_filename_component(n ${f} NAME_WE)
  add_executable(${n} ${f} ${WINE_HELPER_SOURCES} ${PROMPT_DIALOG_RC})
  target_include_directories(${n} PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests/wine)
  target_link_libraries(${n} PRIVATE mendrix_win gtest)
  add_dependencies(${n} mendrix-cli mendrix-dat)
  add_test(NAME wine.${n}
    COMMAND ${WINE_RUNNER} ${CMAKE_BINARY_DIR} ${n} $<TARGET_FILE:${n}>
            $<TARGET_FILE:mendrix-cli> $<TARGET_FILE:mendrix-dat> ${SAMPLE_DAT})
  set_tests_properties(wine.${n} PROPERTIES TIMEOUT 300)
endforeach()
include(${CMAKE_SOURCE_DIR}/tests/standin/scanner_driver/scanner_driver.cmake)
include(${CMAKE_SOURCE_DIR}/tests/standin/shares/shares.cmake)
include(${CMAKE_SOURCE_DIR}/tests/standin/com_server/com_server.cmake)
include(${CMAKE_SOURCE_DIR}/tests/standin/service/service_standin.cmake)
include(${CMAKE_SOURCE_DIR}/tests/standin/memory_target/memory_target.cmake)
include(${CMAKE_SOURCE_DIR}/tests/standin/guide_examples/guide_examples.cmake)
include(${CMAKE_SOURCE_DIR}/tests/standin/run_report/run_report_standins.cmake)
include(${CMAKE_SOURCE_DIR}/tests/standin/planted/planted.cmake)

# Benchmark of the directory walk; not a test (scripts/bench-disk-walk.sh).
add_executable(disk_walk_bench EXCLUDE_FROM_ALL tests/wine/bench/disk_walk_bench.cpp ${PROMPT_DIALOG_RC})
target_link_libraries(disk_walk_bench PRIVATE mendrix_win)

# The windowed program under Wine, driven by the keyboard from the host
# (xdotool) and looked at from inside the prefix by gui_probe.exe. Each test
# group runs in its own copy of the template prefix.
add_executable(gui_probe tests/wine/gui/gui_probe.cpp)
set(GUI_RUNNER ${CMAKE_SOURCE_DIR}/tests/wine/gui/run-gui-test.sh)
foreach(group scan dialogs)
  add_test(NAME gui.${group}
    COMMAND ${GUI_RUNNER} ${CMAKE_BINARY_DIR} gui_${group}
            ${CMAKE_SOURCE_DIR}/tests/wine/gui/${group}_test.sh
            $<TARGET_FILE:mendrix> $<TARGET_FILE:gui_probe> ${MENDRIX_HOST_DAT})
  set_tests_properties(gui.${group} PROPERTIES TIMEOUT 180)
endforeach()

# Only the 32-bit tree: a program built as the product is that imports a
# function newer than the oldest systems, for the import check to catch.
if(MENDRIX_WIN_BITS EQUAL 32)
  add_executable(newer_import_probe tests/imports/newer_import_probe.c)
  mendrix_product_target(newer_import_probe)
endif()

# Only the 32-bit tree: its programs under WOW64, in a prefix of the 64-bit
# tree beside it.
if(MENDRIX_WIN_BITS EQUAL 32)
  set(MENDRIX_WIN64_TREE ${CMAKE_BINARY_DIR}/../win64 CACHE PATH "The 64-bit tree beside this one")
  add_test(NAME wine.wow64_notice
    COMMAND ${CMAKE_SOURCE_DIR}/tests/wine/wow64_notice_test.sh ${CMAKE_BINARY_DIR} ${MENDRIX_WIN64_TREE})
  set_tests_properties(wine.wow64_notice PROPERTIES TIMEOUT 300)
  add_test(NAME wine.wow64_restart
    COMMAND ${CMAKE_SOURCE_DIR}/tests/wine/wow64_restart_test.sh ${CMAKE_BINARY_DIR} ${MENDRIX_WIN64_TREE}
            ${MENDRIX_HOST_DAT})
  set_tests_properties(wine.wow64_restart PROPERTIES TIMEOUT 300)
endif()
