# The network-share stand-ins: netapi32.dll (NT family) and svrapi.dll (9x
# family) over a share table file, built for this tree's bitness and
# embedded in shares_test, which installs them in the prefix's system folder,
# where the programs under test load them from.
# Included from cmake/windows.cmake after the test programs are defined.
set(SHARES_STANDIN_DIR ${CMAKE_SOURCE_DIR}/tests/standin/shares)
set(SHARES_STANDIN_OUT ${CMAKE_BINARY_DIR}/standin/shares)
set(SHARES_TABLE_SOURCES ${SHARES_STANDIN_DIR}/share_table.cpp ${SHARES_STANDIN_DIR}/standin_dll.cpp)

foreach(lib netapi32 svrapi)
  add_library(standin_${lib} SHARED ${SHARES_STANDIN_DIR}/${lib}_standin.cpp ${SHARES_TABLE_SOURCES})
  set_target_properties(standin_${lib} PROPERTIES PREFIX "" OUTPUT_NAME ${lib}
                        RUNTIME_OUTPUT_DIRECTORY ${SHARES_STANDIN_OUT})
  # Exports under their plain names, as the system's libraries have them.
  if(MENDRIX_WIN_BITS EQUAL 32)
    target_link_options(standin_${lib} PRIVATE -Wl,--kill-at)
  endif()
endforeach()
target_link_libraries(standin_netapi32 PRIVATE advapi32)

set(SHARES_STANDIN_RC ${SHARES_STANDIN_OUT}/shares_standin.rc)
file(WRITE ${SHARES_STANDIN_RC}.in
  "NETAPI32_STANDIN RCDATA \"@SHARES_STANDIN_OUT@/netapi32.dll\"\nSVRAPI_STANDIN RCDATA \"@SHARES_STANDIN_OUT@/svrapi.dll\"\n")
configure_file(${SHARES_STANDIN_RC}.in ${SHARES_STANDIN_RC} @ONLY)
set_source_files_properties(${SHARES_STANDIN_RC} PROPERTIES
  OBJECT_DEPENDS "${SHARES_STANDIN_OUT}/netapi32.dll;${SHARES_STANDIN_OUT}/svrapi.dll")

if(TARGET shares_test)
  target_sources(shares_test PRIVATE ${SHARES_STANDIN_RC} ${SHARES_STANDIN_DIR}/share_table.cpp)
  target_include_directories(shares_test PRIVATE ${SHARES_STANDIN_DIR})
  add_dependencies(shares_test standin_netapi32 standin_svrapi)
endif()
