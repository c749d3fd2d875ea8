# Sourced by build-windows.sh: cross-builds static SDL2, libsndfile with its codecs and libopenmpt
# for 64-bit Windows from Debian's source packages of the versions the Linux build links, and
# keeps them in a per-user cache keyed by those versions and the build options below, so only the
# first build on a machine pays for them.
. "$ORUVANE_ROOT/scripts/cross_libs.sh"

# The Debian -dev packages whose source packages are cross-built, in build order.
ORUVANE_WIN_LIB_DEVS="libsdl2-dev $ORUVANE_SNDFILE_DEVS libopenmpt-dev"

# win64_lib_options: the configure options of the libraries, one line each. They are part of the
# cache key: changing one rebuilds. libsndfile includes FLAC's headers, which declare the library's
# functions as DLL imports unless told it is a static one. Opus would add _FORTIFY_SOURCE, whose
# checks mingw keeps in a libssp DLL. mpg123's path functions come from shlwapi, a system DLL,
# which the pkg-config file of its CMake build leaves out (its configure puts it in).
win64_lib_options() {
  echo "libsdl2: -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF -DSDL_STATIC_PIC=OFF"
  echo "libogg: $ORUVANE_OGG_OPTIONS"
  echo "libvorbis: $ORUVANE_VORBIS_OPTIONS"
  echo "flac: $ORUVANE_FLAC_OPTIONS"
  echo "opus: $ORUVANE_OPUS_OPTIONS CPPFLAGS=-D_FORTIFY_SOURCE=0"
  echo "mpg123: $ORUVANE_MPG123_OPTIONS -DLIBMPG123_LIBS=-lshlwapi"
  echo "lame: $ORUVANE_LAME_OPTIONS"
  echo "libsndfile: $ORUVANE_SNDFILE_OPTIONS -DCMAKE_C_FLAGS=-DFLAC__NO_DLL"
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
# installed for ORUVANE_WIN64_PREFIX under STAGE. Each library finds those built before it in
# STAGE.
win64_libs_build() {
  local stage=$1 prefix=$ORUVANE_WIN64_PREFIX name
  local cross=(-DCMAKE_TOOLCHAIN_FILE="$ORUVANE_ROOT/cmake/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release
               -DORUVANE_WIN64_PREFIX="$stage$prefix")
  # shellcheck disable=SC2046
  cross_cmake_lib sdl2 src-libsdl2 "$stage" "$prefix" "${cross[@]}" $(win64_lib_options_of libsdl2) || return 1
  for name in libogg libvorbis flac; do
    # shellcheck disable=SC2046
    cross_cmake_lib "$name" "src-$name" "$stage" "$prefix" "${cross[@]}" $(win64_lib_options_of $name) || return 1
  done
  local host=(--host=x86_64-w64-mingw32 --prefix="$prefix" CC=x86_64-w64-mingw32-gcc-posix CFLAGS=-O2)
  # shellcheck disable=SC2046
  cross_configure_lib opus src-opus "$stage" . "${host[@]}" $(win64_lib_options_of opus) || return 1
  # shellcheck disable=SC2046
  cross_cmake_lib mpg123 src-mpg123/ports/cmake "$stage" "$prefix" "${cross[@]}" $(win64_lib_options_of mpg123) || return 1
  lame_update_config_sub
  # shellcheck disable=SC2046
  cross_configure_lib lame src-lame "$stage" "libmp3lame include" "${host[@]}" $(win64_lib_options_of lame) || return 1

  # shellcheck disable=SC2046
  cross_cmake_lib sndfile src-libsndfile "$stage" "$prefix" "${cross[@]}" $(win64_lib_options_of libsndfile) &&
  sndfile_codecs_check b-sndfile || return 1

  # shellcheck disable=SC2046
  cross_configure_lib openmpt src-libopenmpt "$stage" . "${host[@]}" CXX=x86_64-w64-mingw32-g++-posix CXXFLAGS=-O2 \
    $(win64_lib_options_of libopenmpt)
}

# ensure_win64_libs: sets ORUVANE_WIN64_PREFIX, building the libraries into it when the cache
# lacks them.
ensure_win64_libs() {
  ORUVANE_WIN64_PREFIX=$(win64_libs_prefix)
  cross_libs_build win64 "$ORUVANE_WIN64_PREFIX" "$ORUVANE_WIN_LIB_DEVS" "$(win64_lib_options)" win64_libs_build
}
