# Sourced by the scripts that cross-build libraries for another target (win64_libs.sh for Windows,
# wasm_libs.sh for the browser): Debian's source packages of the versions the native build links,
# built once per machine into a per-user cache folder keyed by those versions and the build
# options, in a scratch folder, and moved into place only when complete.

# The options the decoders are built with on every target. libsndfile takes every codec it can
# read streams with: Ogg Vorbis and Ogg Opus (libogg, libvorbis, libopus), FLAC (libFLAC), and MP3
# (mpg123 decodes; libsndfile also needs LAME, its MP3 encoder, to build MP3 support at all). Each
# codec is a static library alone: no programs, documentation, tests or C++ bindings, no stack
# protector (mingw's needs a libssp DLL beside the executable), and LAME without its own decoder.
# libopenmpt is a static library alone.
ORUVANE_OGG_OPTIONS="-DBUILD_SHARED_LIBS=OFF -DINSTALL_DOCS=OFF -DINSTALL_CMAKE_PACKAGE_MODULE=OFF"
ORUVANE_VORBIS_OPTIONS="-DBUILD_SHARED_LIBS=OFF -DINSTALL_CMAKE_PACKAGE_MODULE=OFF"
ORUVANE_FLAC_OPTIONS="-DBUILD_SHARED_LIBS=OFF -DBUILD_CXXLIBS=OFF -DBUILD_PROGRAMS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_TESTING=OFF -DBUILD_DOCS=OFF -DINSTALL_MANPAGES=OFF -DINSTALL_CMAKE_CONFIG_MODULE=OFF -DWITH_OGG=ON -DWITH_STACK_PROTECTOR=OFF -DWITH_FORTIFY_SOURCE=OFF"
# Opus 1.3.1's released CMake files are incomplete (no opus_buildtype.cmake): it is configured.
ORUVANE_OPUS_OPTIONS="--enable-static --disable-shared --disable-doc --disable-extra-programs --disable-stack-protector --disable-maintainer-mode"
ORUVANE_MPG123_OPTIONS="-DBUILD_SHARED_LIBS=OFF -DBUILD_LIBOUT123=OFF -DBUILD_PROGRAMS=OFF"
ORUVANE_LAME_OPTIONS="--enable-static --disable-shared --disable-frontend --disable-decoder --disable-gtktest --disable-analyzer-hooks"
ORUVANE_SNDFILE_OPTIONS="-DBUILD_SHARED_LIBS=OFF -DENABLE_EXTERNAL_LIBS=ON -DENABLE_MPEG=ON -DBUILD_PROGRAMS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_TESTING=OFF -DENABLE_CPACK=OFF -DINSTALL_MANPAGES=OFF -DENABLE_PACKAGE_CONFIG=OFF"
ORUVANE_OPENMPT_OPTIONS="--enable-static --disable-shared --disable-openmpt123 --disable-examples --disable-tests --disable-doxygen-doc --without-zlib --without-mpg123 --without-ogg --without-vorbis --without-vorbisfile --without-portaudio --without-portaudiocpp --without-pulseaudio --without-sndfile --without-flac"

# The Debian -dev packages of libsndfile and the codecs it is built with, in build order (each
# after the libraries it needs).
ORUVANE_SNDFILE_DEVS="libogg-dev libvorbis-dev libflac-dev libopus-dev libmpg123-dev libmp3lame-dev libsndfile1-dev"

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

# deb_source_versions DEV...: "srcpkg=version" of each installed -dev package, one a line.
deb_source_versions() {
  local d
  for d in "$@"; do
    dpkg-query -W -f='${source:Package}=${source:Version}\n' "$d:amd64" 2>/dev/null \
      || dpkg-query -W -f='${source:Package}=${source:Version}\n' "$d"
  done
}

# cross_libs_prefix KIND "DEV..." KEY: the cache folder of KIND's libraries built from the source
# packages of DEV... as installed, with KEY (their options and the compiler) hashed into the name.
cross_libs_prefix() {
  local kind=$1 devs=$2 key=$3 versions hash
  # shellcheck disable=SC2086
  versions=$(deb_source_versions $devs | tr '\n' '_' | sed 's/_$//; s/[^A-Za-z0-9._=+-]/-/g; s/=/-/g')
  hash=$(printf '%s\n' "$key" | sha256sum | cut -c1-12)
  echo "${XDG_CACHE_HOME:-$HOME/.cache}/oruvane/$kind-$versions-$hash"
}

# deb_source_fetched SPEC: whether every file of the source package SPEC (srcpkg=version) was
# downloaded into the current folder but for upstream signatures (*.asc), which some mirrors lack
# and which dpkg-source --no-check does not read; it still checks every file against the .dsc.
deb_source_fetched() {
  local dsc f
  dsc=$(ls ./"${1%%=*}"_*.dsc 2>/dev/null | head -1)
  [ -n "$dsc" ] || return 1
  for f in $(sed -n '/^Files:/,/^[^ ]/s/^ [0-9a-f]* [0-9]* //p' "$dsc"); do
    case "$f" in *.asc) ;; *) [ -f "$f" ] || return 1 ;; esac
  done
}

# deb_sources_unpack DEV...: downloads the source packages of DEV... as installed into the current
# folder and unpacks each into src-<source package>.
deb_sources_unpack() {
  local spec log
  for spec in $(deb_source_versions "$@"); do
    log=$(apt-get source --download-only -qq "$spec" 2>&1 >/dev/null) && continue
    if deb_source_fetched "$spec"; then
      echo "  ${spec%%=*}: the mirror lacks its upstream signature; unpacked without it (dpkg-source checks the tarballs)"
    else
      echo "$log" >&2
      return 1
    fi
  done
  for spec in $(deb_source_versions "$@"); do
    dpkg-source -q --no-check -x ./"${spec%%=*}"_*.dsc "src-${spec%%=*}" >/dev/null || return 1
  done
}

# cross_build_dir_fresh DIR PREFIX: removes the build folder DIR when its CMake cache names another
# folder of the libraries' cache than PREFIX (older versions or options): CMake keeps what it found
# there, pkg-config's findings among it, and would go on linking the old libraries.
cross_build_dir_fresh() {
  local dir=$1 prefix=$2
  [ -f "$dir/CMakeCache.txt" ] || return 0
  tr ' ;=' '\n\n\n' < "$dir/CMakeCache.txt" | grep -F "$(dirname "$prefix")/" | grep -qvF "$prefix" || return 0
  echo "$dir was configured with other libraries; configuring it afresh"
  rm -rf "$dir"
}

# cross_cmake_lib NAME SRC STAGE PREFIX CMAKE-ARGS...: configures the CMake project in SRC with
# CMAKE-ARGS (toolchain and options), builds it in b-NAME and installs it for PREFIX under STAGE,
# logging to log-NAME (its tail is shown on failure), and says how long it took.
cross_cmake_lib() {
  local name=$1 src=$2 stage=$3 prefix=$4 start=$SECONDS
  shift 4
  cmake -S "$src" -B "b-$name" -G Ninja -DCMAKE_INSTALL_PREFIX="$prefix" "$@" >"log-$name" 2>&1 &&
  cmake --build "b-$name" -- -j"$(nproc)" >>"log-$name" 2>&1 &&
  DESTDIR="$stage" cmake --install "b-$name" >>"log-$name" 2>&1 || { tail -30 "log-$name"; return 1; }
  echo "  $name: $((SECONDS - start)) s"
}

# cross_configure_lib NAME SRC STAGE DIRS CONFIGURE-ARGS...: runs SRC's configure with
# CONFIGURE-ARGS (host, prefix, compilers, options) in b-NAME, then make and make install in each of
# the folders DIRS of the build ("." for all of it), installing under STAGE; logs to log-NAME and
# says how long it took. The steps run through ORUVANE_CROSS_CONFIGURE and ORUVANE_CROSS_MAKE when
# set (e.g. emconfigure and emmake).
cross_configure_lib() {
  local name=$1 src=$2 stage=$3 dirs=$4 start=$SECONDS dir
  shift 4
  mkdir -p "b-$name"
  (cd "b-$name" && ${ORUVANE_CROSS_CONFIGURE:-} "../$src/configure" "$@" >"../log-$name" 2>&1 &&
   for dir in $dirs; do
     ${ORUVANE_CROSS_MAKE:-} make -j"$(nproc)" -C "$dir" >>"../log-$name" 2>&1 &&
     ${ORUVANE_CROSS_MAKE:-} make -C "$dir" install DESTDIR="$stage" >>"../log-$name" 2>&1 || exit 1
   done) || { tail -30 "log-$name"; return 1; }
  echo "  $name: $((SECONDS - start)) s"
}

# sndfile_codecs_check BUILD: fails unless the libsndfile configured in BUILD found every codec
# (its CMake quietly leaves out what it cannot find).
sndfile_codecs_check() {
  local config=$1/src/config.h
  grep -q '^#define HAVE_EXTERNAL_XIPH_LIBS 1' "$config" && grep -q '^#define HAVE_MPEG 1' "$config" && return 0
  echo "libsndfile was configured without its codecs (Ogg Vorbis, Opus, FLAC, MP3); see $1" >&2
  grep -E 'HAVE_EXTERNAL_XIPH_LIBS|HAVE_MPEG' "$config" >&2
  return 1
}

# lame_update_config_sub: puts Debian's own config.sub and config.guess (autotools-dev) in place of
# the older ones LAME's source ships, which do not know every target (wasm32), as Debian's own
# builds of it do.
lame_update_config_sub() {
  cp /usr/share/misc/config.sub src-lame/config.sub
  cp /usr/share/misc/config.guess src-lame/config.guess
}

# cross_libs_build KIND PREFIX "DEV..." OPTIONS BUILDER: makes sure PREFIX holds KIND's libraries.
# Unless a complete build is cached there, BUILDER STAGE runs in a fresh scratch folder (its
# current directory) holding the unpacked sources of DEV..., and installs for PREFIX under
# STAGE (DESTDIR style: pkg-config files keep absolute paths); only a build that succeeded is
# moved into PREFIX, with its source versions and OPTIONS beside it. Logs stay on failure.
cross_libs_build() {
  local kind=$1 prefix=$2 devs=$3 options=$4 builder=$5
  if [ -f "$prefix/.complete" ]; then
    echo "cross-built $kind libraries: cached in $prefix"
    return 0
  fi
  ensure_deb_src
  local start=$SECONDS
  local work; work=$(mktemp -d "${TMPDIR:-/tmp}/oruvane-$kind.XXXXXX")
  chmod 755 "$work"  # apt fetches as its own user
  echo "cross-building static libraries for $kind (first time only) in $work"
  # shellcheck disable=SC2086
  ( cd "$work" && deb_sources_unpack $devs && "$builder" "$work/stage" ) \
    || { echo "cross-building the $kind libraries failed; logs in $work" >&2; return 1; }
  # shellcheck disable=SC2086
  deb_source_versions $devs > "$work/stage$prefix/VERSIONS"
  printf '%s\n' "$options" > "$work/stage$prefix/OPTIONS"
  mkdir -p "$(dirname "$prefix")"
  rm -rf "$prefix"
  mv "$work/stage$prefix" "$prefix"
  touch "$prefix/.complete"
  rm -rf "$work"
  echo "cross-built $kind libraries ready in $((SECONDS - start)) s: $prefix"
}

