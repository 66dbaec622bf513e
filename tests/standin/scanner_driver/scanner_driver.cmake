# The scanner stand-in driver: a kernel driver with no C runtime, built
# apart from the programs, and embedded in scanner_test, whose Wine prefix
# cannot see the build tree. Included from cmake/windows.cmake after the
# test programs are defined.
set(STANDIN_DIR ${CMAKE_SOURCE_DIR}/tests/standin/scanner_driver)
set(STANDIN_SYS ${CMAKE_BINARY_DIR}/standin/scanner_standin.sys)
set(STANDIN_DDK ${CMAKE_FIND_ROOT_PATH}/include/ddk)
if(NOT EXISTS ${STANDIN_DDK}/ntddk.h)
  message(FATAL_ERROR "The scanner stand-in driver needs the MinGW-w64 DDK headers in ${STANDIN_DDK}")
endif()

# The entry point is decorated only in the 32-bit calling convention.
if(MENDRIX_WIN_BITS EQUAL 64)
  set(STANDIN_ENTRY DriverEntry)
else()
  set(STANDIN_ENTRY _DriverEntry@8)
endif()
add_custom_command(OUTPUT ${STANDIN_SYS}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/standin
  COMMAND ${CMAKE_C_COMPILER} -std=gnu11 -O2 -Wall -Wextra -Wno-unused-parameter -Werror
          -I${STANDIN_DDK} -nostdlib -shared -Wl,--subsystem,native -Wl,--entry,${STANDIN_ENTRY}
          -o ${STANDIN_SYS} ${STANDIN_DIR}/scanner_driver.c -lntoskrnl
  DEPENDS ${STANDIN_DIR}/scanner_driver.c ${STANDIN_DIR}/standin_protocol.h
  COMMENT "Building the scanner stand-in driver")
add_custom_target(scanner_standin_driver DEPENDS ${STANDIN_SYS})

set(STANDIN_RC ${CMAKE_BINARY_DIR}/standin/scanner_standin.rc)
file(WRITE ${STANDIN_RC}.in "#include \"standin_resource.h\"\nSTANDIN_DRIVER_RESOURCE RCDATA \"@STANDIN_SYS@\"\n")
configure_file(${STANDIN_RC}.in ${STANDIN_RC} @ONLY)
set_source_files_properties(${STANDIN_RC} PROPERTIES OBJECT_DEPENDS ${STANDIN_SYS})

if(TARGET scanner_test)
  target_sources(scanner_test PRIVATE ${STANDIN_DIR}/standin_control_win.cpp ${STANDIN_DIR}/win98_bridge_win.cpp
                 ${STANDIN_RC})
  target_include_directories(scanner_test PRIVATE ${STANDIN_DIR})
  add_dependencies(scanner_test scanner_standin_driver)
endif()
