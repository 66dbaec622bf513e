# The memory target stand-in: a harmless program with its own library,
# built for this tree's bitness and embedded in memory_test, which writes
# both into its prefix. Included from cmake/windows.cmake after the test
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
file(WRITE ${TARGET_RC}.in
  "#include \"target_resource.h\"\n"
  "TARGET_EXE_RESOURCE RCDATA \"@TARGET_OUT@/memory_target.exe\"\n"
  "TARGET_LIB_RESOURCE RCDATA \"@TARGET_OUT@/target_lib.dll\"\n")
configure_file(${TARGET_RC}.in ${TARGET_RC} @ONLY)
set_source_files_properties(${TARGET_RC} PROPERTIES
  OBJECT_DEPENDS "${TARGET_OUT}/memory_target.exe;${TARGET_OUT}/target_lib.dll")

foreach(t memory_test)
  if(TARGET ${t})
    target_sources(${t} PRIVATE ${TARGET_DIR}/target_control_win.cpp ${TARGET_RC})
    target_include_directories(${t} PRIVATE ${TARGET_DIR})
    add_dependencies(${t} memory_target target_lib)
  endif()
endforeach()
