# Sourced by build-windows.sh: cross-builds static SDL2, libsndfile and libopenmpt for 64-bit
# Windows from Debian's source packages of the versions the Linux build links, and keeps them in
# a per-user cache keyed by those versions and the build options below, so only the first build
# on a machine pays for them.
. "$ORUVANE_ROOT/scripts/cross_libs.sh"

# The Debian -dev packages whose source packages are cross-built, in link order.
ORUVANE_WIN_LIB_DEVS="libsdl2-dev libsndfile1-dev libopenmpt-dev"

# win64_lib_options: the configure options of the three libraries, one line each. They are part
# of the cache key: changing one rebuilds.
win64_lib_options() {
  echo "libsdl2: -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF -DSDL_STATIC_PIC=OFF"
  echo "libsndfile: $ORUVANE_SNDFILE_OPTIONS"
  echo "libopenmpt: $ORUVANE_OPENMPT_OPTIONS"
}

# win64_lib_options_of NAME: the options line of one library.
win64_lib_options_of() {
  win64_lib_options | sed -n "s/^$1: //p"
}

# win64_libs_prefix: the cache folder for the current versions, options and compiler.
win64_libs_prefix() {
  cross_libs_prefix win64 "$ORUVANE_WIN_LIB_DEVS" "$(win64_lib_options; x86_64-w64-mingw32-g++-posix -dumpfullversion)"
}

# win64_libs_build STAGE: the cross build itself, in the scratch folder holding the sources,
# installed for ORUVANE_WIN64_PREFIX under STAGE.
win64_libs_build() {
  local stage=$1 prefix=$ORUVANE_WIN64_PREFIX toolchain="$ORUVANE_ROOT/cmake/mingw-w64-x86_64.cmake"
  local jobs; jobs=$(nproc)
  echo "  SDL2"
  # shellcheck disable=SC2046
  cmake -S src-libsdl2 -B b-sdl2 -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" $(win64_lib_options_of libsdl2) >log-sdl2 2>&1 &&
  cmake --build b-sdl2 -- -j"$jobs" >>log-sdl2 2>&1 &&
  DESTDIR="$stage" cmake --install b-sdl2 >>log-sdl2 2>&1 || { tail -30 log-sdl2; return 1; }

  echo "  libsndfile"
  # shellcheck disable=SC2046
  cmake -S src-libsndfile -B b-sndfile -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" $(win64_lib_options_of libsndfile) >log-sndfile 2>&1 &&
  cmake --build b-sndfile -- -j"$jobs" >>log-sndfile 2>&1 &&
  DESTDIR="$stage" cmake --install b-sndfile >>log-sndfile 2>&1 || { tail -30 log-sndfile; return 1; }

  echo "  libopenmpt"
  mkdir b-openmpt
  # shellcheck disable=SC2046
  (cd b-openmpt && ../src-libopenmpt/configure --host=x86_64-w64-mingw32 --prefix="$prefix" \
    CC=x86_64-w64-mingw32-gcc-posix CXX=x86_64-w64-mingw32-g++-posix \
    CFLAGS=-O2 CXXFLAGS=-O2 $(win64_lib_options_of libopenmpt) >../log-openmpt 2>&1 &&
  make -j"$jobs" >>../log-openmpt 2>&1 &&
  make install DESTDIR="$stage" >>../log-openmpt 2>&1) || { tail -30 log-openmpt; return 1; }
}

# ensure_win64_libs: sets ORUVANE_WIN64_PREFIX, building the libraries into it when the cache
# lacks them.
ensure_win64_libs() {
  ORUVANE_WIN64_PREFIX=$(win64_libs_prefix)
  cross_libs_build win64 "$ORUVANE_WIN64_PREFIX" "$ORUVANE_WIN_LIB_DEVS" "$(win64_lib_options)" win64_libs_build
}
