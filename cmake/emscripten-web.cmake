# Builds the show for the browser with Debian's emscripten: WebAssembly, WebGL 2 and Web Audio.
# ORUVANE_WASM_PREFIX names the folder holding the cross-built static libsndfile and libopenmpt
# (scripts/wasm_libs.sh); pkg-config looks there and nowhere on the build machine. Emscripten's
# own libraries come from its prebuilt cache.
include(/usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake)

list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ORUVANE_WASM_PREFIX)
if(ORUVANE_WASM_PREFIX)
  list(PREPEND CMAKE_FIND_ROOT_PATH ${ORUVANE_WASM_PREFIX})
  set(ENV{PKG_CONFIG_LIBDIR} ${ORUVANE_WASM_PREFIX}/lib/pkgconfig)
  set(ENV{PKG_CONFIG_SYSROOT_DIR} "")
endif()

# Static libraries need their private dependencies on the link line too.
set(PKG_CONFIG_ARGN --static)
