# Cross-compiling the 32-bit module (PE32) with the posix-thread mingw-w64 GCC.
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
