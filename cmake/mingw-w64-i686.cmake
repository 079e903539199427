# Cross-compiling for 32-bit Windows with mingw-w64 (posix thread model).
set(CMAKE_SYSTEM_PROCESSOR x86)
set(QB_MINGW_TARGET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
