# Sourced by build-web.sh: cross-builds static libsndfile and libopenmpt for WebAssembly with
# emscripten from Debian's source packages of the versions the Linux build links, and keeps them
# in a per-user cache keyed by those versions, the options below and the compiler, so only the
# first build on a machine pays for them (libopenmpt takes minutes).
. "$ORUVANE_ROOT/scripts/cross_libs.sh"

# The Debian -dev packages whose source packages are cross-built.
ORUVANE_WASM_LIB_DEVS="libsndfile1-dev libopenmpt-dev"

# Debian's emscripten runs its JavaScript parts on the machine's node, which does not search
# Debian's own module folder.
export NODE_PATH=/usr/share/nodejs

# wasm_lib_options: the options of the two libraries, one line each, part of the cache key.
# Optimised for size: the libraries are most of the .wasm the page downloads. libopenmpt reports a
# file it cannot load by throwing inside and catching in its C interface, so its C++ is built with
# exceptions (without them a throw aborts the page); the show links with exception catching on.
wasm_lib_options() {
  echo "flags: -Os"
  echo "libopenmpt C++ flags: -Os -fexceptions"
  echo "libsndfile: $ORUVANE_SNDFILE_OPTIONS"
  echo "libopenmpt: $ORUVANE_OPENMPT_OPTIONS"
}

# wasm_libs_prefix: the cache folder for the current versions, options and compiler.
wasm_libs_prefix() {
  cross_libs_prefix wasm "$ORUVANE_WASM_LIB_DEVS" "$(wasm_lib_options; emcc -dumpversion)"
}

# wasm_libs_build STAGE: the cross build itself, in the scratch folder holding the sources,
# installed for ORUVANE_WASM_PREFIX under STAGE. Emscripten's own libraries come from its
# prebuilt cache, which these builds only read.
wasm_libs_build() {
  local stage=$1 prefix=$ORUVANE_WASM_PREFIX jobs
  jobs=$(nproc)
  local flags cxxflags
  flags=$(wasm_lib_options | sed -n 's/^flags: //p')
  cxxflags=$(wasm_lib_options | sed -n 's/^libopenmpt C++ flags: //p')

  echo "  libsndfile"
  # shellcheck disable=SC2086
  emcmake cmake -S src-libsndfile -B b-sndfile -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_C_FLAGS_RELEASE="$flags" -DCMAKE_INSTALL_PREFIX="$prefix" $ORUVANE_SNDFILE_OPTIONS >log-sndfile 2>&1 &&
  cmake --build b-sndfile -- -j"$jobs" >>log-sndfile 2>&1 &&
  DESTDIR="$stage" cmake --install b-sndfile >>log-sndfile 2>&1 || { tail -30 log-sndfile; return 1; }

  echo "  libopenmpt (some minutes)"
  mkdir b-openmpt
  # Only the library itself: its programs and documentation are not built.
  # shellcheck disable=SC2086
  (cd b-openmpt && emconfigure ../src-libopenmpt/configure --host=wasm32-unknown-none --prefix="$prefix" \
    CFLAGS="$flags" CXXFLAGS="$cxxflags" $ORUVANE_OPENMPT_OPTIONS >../log-openmpt 2>&1 &&
  emmake make -j"$jobs" libopenmpt.la >>../log-openmpt 2>&1 &&
  emmake make install-libLTLIBRARIES install-nobase_includeHEADERS install-pkgconfigDATA \
    DESTDIR="$stage" >>../log-openmpt 2>&1) || { tail -30 log-openmpt; return 1; }
}

# ensure_wasm_libs: sets ORUVANE_WASM_PREFIX, building the libraries into it when the cache lacks them.
ensure_wasm_libs() {
  ORUVANE_WASM_PREFIX=$(wasm_libs_prefix)
  cross_libs_build wasm "$ORUVANE_WASM_PREFIX" "$ORUVANE_WASM_LIB_DEVS" "$(wasm_lib_options)" wasm_libs_build
}
