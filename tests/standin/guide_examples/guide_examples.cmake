# The authors' guide and its examples travel inside guide_examples_test as
# RCDATA resources, since the test's Wine prefix cannot see the source tree;
# so does the stand-in COM server its UNREGDLL example unregisters.
# Included from cmake/windows.cmake after com_server.cmake.
if(TARGET guide_examples_test)
  set(GUIDE_RC ${CMAKE_BINARY_DIR}/standin/guide_examples.rc)
  file(GLOB GUIDE_EXAMPLES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/docs/examples/*.xml)
  set(GUIDE_RC_TEXT "GUIDE RCDATA \"${CMAKE_SOURCE_DIR}/docs/writing-data-files.md\"\n")
  string(APPEND GUIDE_RC_TEXT "COM_OK RCDATA \"${COM_STANDIN_OUT}/com_ok.dll\"\n")
  set(GUIDE_DEPENDS ${CMAKE_SOURCE_DIR}/docs/writing-data-files.md ${COM_STANDIN_OUT}/com_ok.dll)
  foreach(f ${GUIDE_EXAMPLES})
    get_filename_component(n ${f} NAME_WE)
    string(TOUPPER ${n} N)
    string(APPEND GUIDE_RC_TEXT "EXAMPLE_${N} RCDATA \"${f}\"\n")
    list(APPEND GUIDE_DEPENDS ${f})
  endforeach()
  file(GENERATE OUTPUT ${GUIDE_RC} CONTENT "${GUIDE_RC_TEXT}")
  set_source_files_properties(${GUIDE_RC} PROPERTIES GENERATED TRUE OBJECT_DEPENDS "${GUIDE_DEPENDS}")
  target_sources(guide_examples_test PRIVATE ${GUIDE_RC})
  add_dependencies(guide_examples_test com_standin_ok)
  # The memory examples run against the memory target stand-in.
  if(TARGET memory_target)
    target_sources(guide_examples_test PRIVATE ${TARGET_DIR}/target_control_win.cpp ${TARGET_RC})
    target_include_directories(guide_examples_test PRIVATE ${TARGET_DIR})
    add_dependencies(guide_examples_test memory_target target_lib)
  endif()
endif()
