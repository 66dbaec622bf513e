# The stand-in service program, built for this tree's bitness and embedded in
# system_settings_test, whose Wine prefix cannot see the build tree. Included
# from cmake/windows.cmake after the test programs are defined.
set(SERVICE_STANDIN_DIR ${CMAKE_SOURCE_DIR}/tests/standin/service)
add_executable(standin_service ${SERVICE_STANDIN_DIR}/standin_service.cpp)

set(SERVICE_STANDIN_RC ${CMAKE_BINARY_DIR}/standin/service_standin.rc)
file(WRITE ${SERVICE_STANDIN_RC}.in
  "#include \"standin_service_resource.h\"\nSTANDIN_SERVICE_RESOURCE RCDATA \"@SERVICE_STANDIN_EXE@\"\n")
set(SERVICE_STANDIN_EXE ${CMAKE_BINARY_DIR}/standin_service.exe)
configure_file(${SERVICE_STANDIN_RC}.in ${SERVICE_STANDIN_RC} @ONLY)
set_source_files_properties(${SERVICE_STANDIN_RC} PROPERTIES OBJECT_DEPENDS ${SERVICE_STANDIN_EXE})

if(TARGET system_settings_test)
  target_sources(system_settings_test PRIVATE ${SERVICE_STANDIN_RC})
  target_include_directories(system_settings_test PRIVATE ${SERVICE_STANDIN_DIR})
  add_dependencies(system_settings_test standin_service)
endif()
