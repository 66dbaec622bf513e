# planted_files_test: the marker library, planted beside the programs under
# the names of the system libraries they load at run time, the share
# stand-ins, which stand for the system folder's own, and the windowed
# program, whose toolbar loads one of them, all travel inside the test.
# Included from cmake/windows.cmake after the share stand-ins are defined.
if(TARGET planted_files_test)
  set(PLANTED_OUT ${CMAKE_BINARY_DIR}/standin/planted)
  add_library(planted_marker SHARED ${CMAKE_SOURCE_DIR}/tests/standin/planted/marker_dll.cpp)
  set_target_properties(planted_marker PROPERTIES PREFIX "" RUNTIME_OUTPUT_DIRECTORY ${PLANTED_OUT})
  set(MENDRIX_GUI_EXE ${CMAKE_BINARY_DIR}/mendrix.exe)
  set(PLANTED_RC ${PLANTED_OUT}/planted_files.rc)
  file(WRITE ${PLANTED_RC}.in
    "PLANTED_MARKER RCDATA \"@PLANTED_OUT@/planted_marker.dll\"\n"
    "MENDRIX_GUI RCDATA \"@MENDRIX_GUI_EXE@\"\n"
    "NETAPI32_STANDIN RCDATA \"@SHARES_STANDIN_OUT@/netapi32.dll\"\n"
    "SVRAPI_STANDIN RCDATA \"@SHARES_STANDIN_OUT@/svrapi.dll\"\n")
  configure_file(${PLANTED_RC}.in ${PLANTED_RC} @ONLY)
  set_source_files_properties(${PLANTED_RC} PROPERTIES
    OBJECT_DEPENDS
    "${PLANTED_OUT}/planted_marker.dll;${MENDRIX_GUI_EXE};${SHARES_STANDIN_OUT}/netapi32.dll;${SHARES_STANDIN_OUT}/svrapi.dll")
  target_sources(planted_files_test PRIVATE ${PLANTED_RC})
  add_dependencies(planted_files_test planted_marker mendrix standin_netapi32 standin_svrapi)
endif()
