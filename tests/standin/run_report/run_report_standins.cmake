# run_report_test sets a whole machine up at once: the memory target, the
# stand-in service and the netapi32 stand-in travel inside it. The service
# goes by name here, since its number is one the memory target also uses.
# Included from cmake/windows.cmake after the stand-ins are defined.
if(TARGET run_report_test)
  set(RUN_REPORT_RC ${CMAKE_BINARY_DIR}/standin/run_report_standins.rc)
  file(WRITE ${RUN_REPORT_RC}.in
    "SERVICE_STANDIN RCDATA \"@SERVICE_STANDIN_EXE@\"\n"
    "NETAPI32_STANDIN RCDATA \"@SHARES_STANDIN_OUT@/netapi32.dll\"\n")
  configure_file(${RUN_REPORT_RC}.in ${RUN_REPORT_RC} @ONLY)
  set_source_files_properties(${RUN_REPORT_RC} PROPERTIES
    OBJECT_DEPENDS "${SERVICE_STANDIN_EXE};${SHARES_STANDIN_OUT}/netapi32.dll")
  target_sources(run_report_test PRIVATE ${RUN_REPORT_RC} ${TARGET_DIR}/target_control_win.cpp ${TARGET_RC}
                 ${SHARES_STANDIN_DIR}/share_table.cpp)
  target_include_directories(run_report_test PRIVATE ${TARGET_DIR} ${SHARES_STANDIN_DIR})
  add_dependencies(run_report_test standin_service standin_netapi32 memory_target target_lib)
  if(TARGET memory_target32)
    add_dependencies(run_report_test memory_target32)
  endif()
endif()
