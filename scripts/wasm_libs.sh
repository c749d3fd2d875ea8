# Sourced by build-web.sh: cross-builds static libsndfile with its codecs and libopenmpt for
# WebAssembly with emscripten from Debian's source packages of the versions the Linux build links,
# and keeps them in a per-user cache keyed by those versions, the options below and the compiler,
# so only the first build on a machine pays for them (libopenmpt takes minutes).
. "$ORUVANE_ROOT/scripts/cross_libs.sh"

# The Debian -dev packages whose source packages are cross-built, in build order.
ORUVANE_WASM_LIB_DEVS="$ORUVANE_SNDFILE_DEVS libopenmpt-dev"

# Debian's emscripten runs its JavaScript parts on the machine's node, which does not search
# Debian's own module folder.
export NODE_PATH=/usr/share/nodejs

# wasm_lib_options: the options of the libraries, one line each, part of the cache key.
# Optimised for size: the libraries are most of the .wasm the page downloads. libopenmpt reports a
# file it cannot load by throwing inside and catching in its C interface, so its C++ is built with
# exceptions (without them a throw aborts the page); the show links with exception catching on.
# Opus is told to take its plain C code, having no x86 instructions to probe for (mpg123's CMake
# takes its generic decoder by itself for a processor it does not know).
wasm_lib_options() {
  echo "flags: -Os"
  echo "libopenmpt C++ flags: -Os -fexceptions"
  echo "libogg: $ORUVANE_OGG_OPTIONS"
  echo "libvorbis: $ORUVANE_VORBIS_OPTIONS"
  echo "flac: $ORUVANE_FLAC_OPTIONS"
  echo "opus: $ORUVANE_OPUS_OPTIONS --disable-intrinsics --disable-rtcd"
  echo "mpg123: $ORUVANE_MPG123_OPTIONS"
  echo "lame: $ORUVANE_LAME_OPTIONS"
  echo "libsndfile: $ORUVANE_SNDFILE_OPTIONS"
  echo "libopenmpt: $ORUVANE_OPENMPT_OPTIONS"
}

# wasm_lib_options_of NAME: the options line of one library.
wasm_lib_options_of() {
  wasm_lib_options | sed -n "s/^$1: //p"
}

# wasm_libs_prefix: the cache folder for the current versions, options and compiler.
wasm_libs_prefix() {
  cross_libs_prefix wasm "$ORUVANE_WASM_LIB_DEVS" "$(wasm_lib_options; emcc -dumpversion)"
}

# wasm_libs_build STAGE: the cross build itself, in the scratch folder holding the sources,
# installed for ORUVANE_WASM_PREFIX under STAGE; each library finds those built before it in
# STAGE. Emscripten's own libraries come from its prebuilt cache, which these builds only read.
wasm_libs_build() {
  local stage=$1 prefix=$ORUVANE_WASM_PREFIX jobs name start
  jobs=$(nproc)
  local flags cxxflags
  flags=$(wasm_lib_options_of flags)
  cxxflags=$(wasm_lib_options_of "libopenmpt C++ flags")
  # The configure checks' test programs run on node, without its fetch: emscripten's loader
  # would fetch the .wasm by its path, which node's fetch refuses (emcmake would add a node option
  # that current node versions refuse).
  local cross=(-DCMAKE_TOOLCHAIN_FILE="$ORUVANE_ROOT/cmake/emscripten-web.cmake" -DCMAKE_BUILD_TYPE=Release
               -DCMAKE_C_FLAGS_RELEASE="$flags" -DORUVANE_WASM_PREFIX="$stage$prefix"
               "-DCMAKE_CROSSCOMPILING_EMULATOR=$(command -v node);--no-experimental-fetch")

  for name in libogg libvorbis flac; do
    # shellcheck disable=SC2046
    cross_cmake_lib "$name" "src-$name" "$stage" "$prefix" "${cross[@]}" $(wasm_lib_options_of $name) || return 1
  done
  local ORUVANE_CROSS_CONFIGURE=emconfigure ORUVANE_CROSS_MAKE=emmake
  local host=(--host=wasm32-unknown-none --prefix="$prefix" CFLAGS="$flags")
  # shellcheck disable=SC2046
  cross_configure_lib opus src-opus "$stage" . "${host[@]}" $(wasm_lib_options_of opus) || return 1
  # mpg123 calls check_type_size without including it, as CMake's own TestBigEndian does and
  # emscripten's (the toolchain's) does not.
  # shellcheck disable=SC2046
  cross_cmake_lib mpg123 src-mpg123/ports/cmake "$stage" "$prefix" "${cross[@]}" \
    -DCMAKE_PROJECT_mpg123_INCLUDE=/usr/share/emscripten/cmake/Modules/CheckTypeSize.cmake \
    $(wasm_lib_options_of mpg123) || return 1
  lame_update_config_sub
  # shellcheck disable=SC2046
  cross_configure_lib lame src-lame "$stage" "libmp3lame include" "${host[@]}" $(wasm_lib_options_of lame) || return 1

  # shellcheck disable=SC2046
  cross_cmake_lib sndfile src-libsndfile "$stage" "$prefix" "${cross[@]}" $(wasm_lib_options_of libsndfile) &&
  sndfile_codecs_check b-sndfile || return 1

  start=$SECONDS
  mkdir b-openmpt
  # Only the library itself: its programs and documentation are not built.
  # shellcheck disable=SC2046
  (cd b-openmpt && emconfigure ../src-libopenmpt/configure --host=wasm32-unknown-none --prefix="$prefix" \
    CFLAGS="$flags" CXXFLAGS="$cxxflags" $(wasm_lib_options_of libopenmpt) >../log-openmpt 2>&1 &&
  emmake make -j"$jobs" libopenmpt.la >>../log-openmpt 2>&1 &&
  emmake make install-libLTLIBRARIES install-nobase_includeHEADERS install-pkgconfigDATA \
    DESTDIR="$stage" >>../log-openmpt 2>&1) || { tail -30 log-openmpt; return 1; }
  echo "  libopenmpt: $((SECONDS - start)) s"
}

# ensure_wasm_libs: sets ORUVANE_WASM_PREFIX, building the libraries into it when the cache lacks them.
ensure_wasm_libs() {
  ORUVANE_WASM_PREFIX=$(wasm_libs_prefix)
  cross_libs_build wasm "$ORUVANE_WASM_PREFIX" "$ORUVANE_WASM_LIB_DEVS" "$(wasm_lib_options)" wasm_libs_build
}
