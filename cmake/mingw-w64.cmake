# Cross-compiling for Windows with mingw-w64 (posix thread model), for the target that the toolchain file
# including this one names in QB_MINGW_TARGET (x86_64-w64-mingw32 or i686-w64-mingw32).
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${QB_MINGW_TARGET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QB_MINGW_TARGET}-g++-posix)
set(CMAKE_RC_COMPILER ${QB_MINGW_TARGET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QB_MINGW_TARGET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Test executables run under Wine through this wrapper (fresh prefix, Xvfb display when needed).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
