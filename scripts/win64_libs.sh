# Sourced by build-windows.sh: cross-builds static SDL2, libsndfile and libopenmpt for 64-bit
# Windows from Debian's source packages of the versions the Linux build links, and keeps them in
# a per-user cache keyed by those versions and the build options below, so only the first build
# on a machine pays for them.

# The Debian -dev packages whose source packages are cross-built, in link order.
ORUVANE_WIN_LIB_DEVS="libsdl2-dev libsndfile1-dev libopenmpt-dev"

# as_root CMD...: runs CMD as root, directly or through sudo.
as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# ensure_deb_src: makes `apt-get source` work by adding deb-src twins of the machine's own apt
# sources (both the one-line and the deb822 form) in a file of our own, then updating the lists.
ensure_deb_src() {
  if apt-get source --print-uris libsdl2 >/dev/null 2>&1; then return 0; fi
  local tmp; tmp=$(mktemp -d)
  if [ -f /etc/apt/sources.list ]; then
    sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' /etc/apt/sources.list > "$tmp/oruvane-deb-src.list"
  fi
  local f
  for f in /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] && case "$f" in *oruvane-deb-src*) ;; *)
      sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' "$f" >> "$tmp/oruvane-deb-src.list" ;; esac
  done
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] && case "$f" in *oruvane-deb-src*) ;; *)
      { sed 's/^Types:.*/Types: deb-src/' "$f"; echo; } >> "$tmp/oruvane-deb-src.sources" ;; esac
  done
  for f in "$tmp"/*; do
    [ -s "$f" ] && as_root install -m 644 "$f" /etc/apt/sources.list.d/
  done
  rm -rf "$tmp"
  echo "added deb-src entries mirroring the apt sources; updating package lists"
  as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq
}

# win64_lib_options: the configure options of the three libraries, one line each. They are part
# of the cache key: changing one rebuilds.
win64_lib_options() {
  echo "libsdl2: -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF -DSDL_STATIC_PIC=OFF"
  echo "libsndfile: -DBUILD_SHARED_LIBS=OFF -DENABLE_EXTERNAL_LIBS=OFF -DENABLE_MPEG=OFF -DBUILD_PROGRAMS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_TESTING=OFF -DENABLE_CPACK=OFF -DINSTALL_MANPAGES=OFF"
  echo "libopenmpt: --enable-static --disable-shared --disable-openmpt123 --disable-examples --disable-tests --disable-doxygen-doc --without-zlib --without-mpg123 --without-ogg --without-vorbis --without-vorbisfile --without-portaudio --without-portaudiocpp --without-pulseaudio --without-sndfile --without-flac"
}

# win64_lib_options_of NAME: the options line of one library.
win64_lib_options_of() {
  win64_lib_options | sed -n "s/^$1: //p"
}

# win64_source_versions: "srcpkg=version" of each library, taken from the installed -dev packages.
win64_source_versions() {
  local d
  for d in $ORUVANE_WIN_LIB_DEVS; do
    dpkg-query -W -f='${source:Package}=${source:Version}\n' "$d:amd64" 2>/dev/null \
      || dpkg-query -W -f='${source:Package}=${source:Version}\n' "$d"
  done
}

# win64_libs_prefix: the cache folder for the current versions, options and compiler.
win64_libs_prefix() {
  local key hash
  key=$(win64_source_versions | tr '\n' '_' | sed 's/_$//; s/[^A-Za-z0-9._=+-]/-/g; s/=/-/g')
  hash=$( { win64_lib_options; x86_64-w64-mingw32-g++-posix -dumpfullversion; } | sha256sum | cut -c1-12)
  echo "${XDG_CACHE_HOME:-$HOME/.cache}/oruvane/win64-$key-$hash"
}

# ensure_win64_libs: sets ORUVANE_WIN64_PREFIX, building the libraries into it when the cache
# lacks them. The build happens in a scratch folder and is moved into place only when complete.
ensure_win64_libs() {
  ORUVANE_WIN64_PREFIX=$(win64_libs_prefix)
  if [ -f "$ORUVANE_WIN64_PREFIX/.complete" ]; then
    echo "cross-built libraries: cached in $ORUVANE_WIN64_PREFIX"
    return 0
  fi
  ensure_deb_src
  local start=$SECONDS
  local work; work=$(mktemp -d "${TMPDIR:-/tmp}/oruvane-win64.XXXXXX")
  chmod 755 "$work"  # apt fetches as its own user
  # Installed for their final place (pkg-config files hold absolute paths), staged under $work.
  local prefix=$ORUVANE_WIN64_PREFIX stage="$work/stage" toolchain="$ORUVANE_ROOT/cmake/mingw-w64-x86_64.cmake"
  local jobs; jobs=$(nproc)
  echo "cross-building static libraries for win64 (first time only) in $work"
  (
    set -e
    cd "$work"
    local spec name dir
    for spec in $(win64_source_versions); do
      apt-get source --download-only -qq "$spec" >/dev/null
    done
    for spec in $(win64_source_versions); do
      name=${spec%%=*}
      dpkg-source -q --no-check -x ./"${name}"_*.dsc "src-$name" >/dev/null
    done

    echo "  SDL2"
    # shellcheck disable=SC2046
    cmake -S src-libsdl2 -B b-sdl2 -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
      -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" $(win64_lib_options_of libsdl2) >log-sdl2 2>&1
    cmake --build b-sdl2 -- -j"$jobs" >>log-sdl2 2>&1 || { tail -30 log-sdl2; exit 1; }
    DESTDIR="$stage" cmake --install b-sdl2 >>log-sdl2 2>&1

    echo "  libsndfile"
    # shellcheck disable=SC2046
    cmake -S src-libsndfile -B b-sndfile -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
      -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" $(win64_lib_options_of libsndfile) >log-sndfile 2>&1
    cmake --build b-sndfile -- -j"$jobs" >>log-sndfile 2>&1 || { tail -30 log-sndfile; exit 1; }
    DESTDIR="$stage" cmake --install b-sndfile >>log-sndfile 2>&1

    echo "  libopenmpt"
    mkdir b-openmpt
    cd b-openmpt
    # shellcheck disable=SC2046
    ../src-libopenmpt/configure --host=x86_64-w64-mingw32 --prefix="$prefix" \
      CC=x86_64-w64-mingw32-gcc-posix CXX=x86_64-w64-mingw32-g++-posix \
      CFLAGS=-O2 CXXFLAGS=-O2 $(win64_lib_options_of libopenmpt) >../log-openmpt 2>&1 || { tail -30 ../log-openmpt; exit 1; }
    make -j"$jobs" >>../log-openmpt 2>&1 || { tail -30 ../log-openmpt; exit 1; }
    make install DESTDIR="$stage" >>../log-openmpt 2>&1
  ) || { echo "cross-building the libraries failed; logs in $work" >&2; return 1; }
  win64_source_versions > "$stage$prefix/VERSIONS"
  win64_lib_options > "$stage$prefix/OPTIONS"
  mkdir -p "$(dirname "$prefix")"
  rm -rf "$prefix"
  mv "$stage$prefix" "$prefix"
  touch "$ORUVANE_WIN64_PREFIX/.complete"
  rm -rf "$work"
  echo "cross-built libraries ready in $((SECONDS - start)) s: $ORUVANE_WIN64_PREFIX"
}
