# The memory target stand-in: a harmless program with its own library,
# built for this tree's bitness and embedded in memory_test,
# memory_report_test and restart_removal_test, which write both into their
# prefix. Included from cmake/windows.cmake after the test
# programs are defined.
set(TARGET_DIR ${CMAKE_SOURCE_DIR}/tests/standin/memory_target)
set(TARGET_OUT ${CMAKE_BINARY_DIR}/standin)

add_library(target_lib SHARED ${TARGET_DIR}/target_lib.cpp)
# The thread routine is looked up by its plain name in both bitnesses.
target_link_options(target_lib PRIVATE -Wl,--kill-at)
set_target_properties(target_lib PROPERTIES PREFIX "" OUTPUT_NAME target_lib
  RUNTIME_OUTPUT_DIRECTORY ${TARGET_OUT} LIBRARY_OUTPUT_DIRECTORY ${TARGET_OUT})
add_executable(memory_target ${TARGET_DIR}/target_main.cpp)
set_target_properties(memory_target PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${TARGET_OUT})

set(TARGET_RC ${TARGET_OUT}/memory_target.rc)
set(TARGET_FILES ${TARGET_OUT}/memory_target.exe ${TARGET_OUT}/target_lib.dll)
set(TARGET_RC_TEXT
  "#include \"target_resource.h\"\n"
  "TARGET_EXE_RESOURCE RCDATA \"@TARGET_OUT@/memory_target.exe\"\n"
  "TARGET_LIB_RESOURCE RCDATA \"@TARGET_OUT@/target_lib.dll\"\n")

# The 64-bit tree also carries a 32-bit target, for the 64-bit program to
# meet a process of the other bitness. It is built with the 32-bit compiler.
if(MENDRIX_WIN_BITS EQUAL 64)
  set(TARGET32_OUT ${TARGET_OUT}/x86)
  set(CXX32 i686-w64-mingw32-g++-posix)
  set(FLAGS32 -std=c++17 -O2 -Wall -Wextra -Werror -Wno-unused-parameter -Wno-cast-function-type
      -DWIN32_LEAN_AND_MEAN -static -static-libgcc -static-libstdc++)
  add_custom_command(OUTPUT ${TARGET32_OUT}/memory_target.exe ${TARGET32_OUT}/target_lib.dll
    COMMAND ${CMAKE_COMMAND} -E make_directory ${TARGET32_OUT}
    COMMAND ${CXX32} ${FLAGS32} -shared -Wl,--kill-at -o ${TARGET32_OUT}/target_lib.dll ${TARGET_DIR}/target_lib.cpp
    COMMAND ${CXX32} ${FLAGS32} -o ${TARGET32_OUT}/memory_target.exe ${TARGET_DIR}/target_main.cpp
    DEPENDS ${TARGET_DIR}/target_lib.cpp ${TARGET_DIR}/target_main.cpp ${TARGET_DIR}/target_common.h
            ${TARGET_DIR}/target_protocol.h
    COMMENT "Building the 32-bit memory target")
  add_custom_target(memory_target32 DEPENDS ${TARGET32_OUT}/memory_target.exe ${TARGET32_OUT}/target_lib.dll)
  list(APPEND TARGET_FILES ${TARGET32_OUT}/memory_target.exe ${TARGET32_OUT}/target_lib.dll)
  list(APPEND TARGET_RC_TEXT
    "TARGET32_EXE_RESOURCE RCDATA \"@TARGET32_OUT@/memory_target.exe\"\n"
    "TARGET32_LIB_RESOURCE RCDATA \"@TARGET32_OUT@/target_lib.dll\"\n")
endif()
string(CONCAT TARGET_RC_TEXT ${TARGET_RC_TEXT})
file(WRITE ${TARGET_RC}.in "${TARGET_RC_TEXT}")
configure_file(${TARGET_RC}.in ${TARGET_RC} @ONLY)
set_source_files_properties(${TARGET_RC} PROPERTIES OBJECT_DEPENDS "${TARGET_FILES}")

foreach(t memory_test memory_report_test restart_removal_test)
  if(TARGET ${t})
    target_sources(${t} PRIVATE ${TARGET_DIR}/target_control_win.cpp ${TARGET_RC})
    target_include_directories(${t} PRIVATE ${TARGET_DIR})
    add_dependencies(${t} memory_target target_lib)
    if(TARGET memory_target32)
      add_dependencies(${t} memory_target32)
    endif()
  endif()
endforeach()

# Benchmark of the memory pass; not a test (scripts/bench-memory-pass.sh).
add_executable(memory_pass_bench EXCLUDE_FROM_ALL ${CMAKE_SOURCE_DIR}/tests/wine/bench/memory_pass_bench.cpp
               ${TARGET_DIR}/target_control_win.cpp ${CMAKE_SOURCE_DIR}/tests/wine/support/extract_resource_win.cpp
               ${TARGET_RC} ${PROMPT_DIALOG_RC})
target_include_directories(memory_pass_bench PRIVATE ${CMAKE_SOURCE_DIR}/tests/wine)
target_include_directories(memory_pass_bench PRIVATE ${TARGET_DIR})
target_link_libraries(memory_pass_bench PRIVATE mendrix_win)
add_dependencies(memory_pass_bench memory_target target_lib)
if(TARGET memory_target32)
  add_dependencies(memory_pass_bench memory_target32)
endif()

# Only the 32-bit tree: its program under WOW64 meets the 64-bit target of
# the 64-bit tree beside it.
if(MENDRIX_WIN_BITS EQUAL 32)
  add_test(NAME wine.memory_wow64
    COMMAND ${TARGET_DIR}/wow64_memory_test.sh ${CMAKE_BINARY_DIR} ${CMAKE_BINARY_DIR}/../win64 ${MENDRIX_HOST_DAT})
  set_tests_properties(wine.memory_wow64 PROPERTIES TIMEOUT 300)
endif()
