# Stand-in COM server libraries for UNREGDLL, one per outcome, built for this
# tree's bitness and embedded in command_test. Included from
# cmake/windows.cmake after the test programs are defined.
set(COM_STANDIN_DIR ${CMAKE_SOURCE_DIR}/tests/standin/com_server)
set(COM_STANDIN_OUT ${CMAKE_BINARY_DIR}/standin/com_server)
set(COM_STANDIN_RC_TEXT "")
set(COM_STANDIN_FILES)
foreach(kind ok false noexport noload)
  string(TOUPPER ${kind} KIND)
  add_library(com_standin_${kind} SHARED ${COM_STANDIN_DIR}/com_server.cpp)
  target_compile_definitions(com_standin_${kind} PRIVATE COM_SERVER_${KIND})
  set_target_properties(com_standin_${kind} PROPERTIES PREFIX "" OUTPUT_NAME com_${kind}
                        RUNTIME_OUTPUT_DIRECTORY ${COM_STANDIN_OUT})
  target_link_libraries(com_standin_${kind} PRIVATE ole32)
  if(MENDRIX_WIN_BITS EQUAL 32)
    target_link_options(com_standin_${kind} PRIVATE -Wl,--kill-at)
  endif()
  string(APPEND COM_STANDIN_RC_TEXT "COM_${KIND} RCDATA \"${COM_STANDIN_OUT}/com_${kind}.dll\"\n")
  list(APPEND COM_STANDIN_FILES ${COM_STANDIN_OUT}/com_${kind}.dll)
endforeach()

set(COM_STANDIN_RC ${COM_STANDIN_OUT}/com_standin.rc)
file(GENERATE OUTPUT ${COM_STANDIN_RC} CONTENT "${COM_STANDIN_RC_TEXT}")
set_source_files_properties(${COM_STANDIN_RC} PROPERTIES GENERATED TRUE OBJECT_DEPENDS "${COM_STANDIN_FILES}")

if(TARGET command_test)
  target_sources(command_test PRIVATE ${COM_STANDIN_RC})
  foreach(kind ok false noexport noload)
    add_dependencies(command_test com_standin_${kind})
  endforeach()
endif()
