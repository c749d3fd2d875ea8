# Cross-compiles for 64-bit Windows with Debian's mingw-w64 (posix threads) toolchain.
# ORUVANE_WIN64_PREFIX names the folder holding the cross-built static SDL2, libsndfile and
# libopenmpt; pkg-config and find_package look there and nowhere on the build machine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_AR x86_64-w64-mingw32-ar)
set(CMAKE_RANLIB x86_64-w64-mingw32-ranlib)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ORUVANE_WIN64_PREFIX)
if(ORUVANE_WIN64_PREFIX)
  list(PREPEND CMAKE_FIND_ROOT_PATH ${ORUVANE_WIN64_PREFIX})
  set(ENV{PKG_CONFIG_LIBDIR} ${ORUVANE_WIN64_PREFIX}/lib/pkgconfig)
  set(ENV{PKG_CONFIG_SYSROOT_DIR} "")
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Static libraries need their private dependencies on the link line too.
set(PKG_CONFIG_ARGN --static)
