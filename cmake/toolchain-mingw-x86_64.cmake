# Cross-compiling for 64-bit Windows with MinGW-w64: the build for 64-bit
# Windows, where a 32-bit program sees the redirected System32 and registry
# views and cannot read 64-bit processes.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
