# Cross-compiles the Windows programs for x86-64 with Debian's MinGW-w64
# (posix threads, as cmake/mingw-i686.cmake). Tovrane ships as the i686 build;
# this one runs the same sources under a 64-bit-only Wine where the machine
# cannot run 32-bit programs (see scripts/wine-env.sh, tw_wine_mode).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
