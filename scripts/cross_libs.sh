# Sourced by the scripts that cross-build libraries for another target (win64_libs.sh for Windows,
# wasm_libs.sh for the browser): Debian's source packages of the versions the native build links,
# built once per machine into a per-user cache folder keyed by those versions and the build
# options, in a scratch folder, and moved into place only when complete.

# The options the two decoders are built with on every target: libsndfile without its external
# codecs (no FLAC, Vorbis, Opus or MP3 streams), libopenmpt as a static library alone.
ORUVANE_SNDFILE_OPTIONS="-DBUILD_SHARED_LIBS=OFF -DENABLE_EXTERNAL_LIBS=OFF -DENABLE_MPEG=OFF -DBUILD_PROGRAMS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_TESTING=OFF -DENABLE_CPACK=OFF -DINSTALL_MANPAGES=OFF"
ORUVANE_OPENMPT_OPTIONS="--enable-static --disable-shared --disable-openmpt123 --disable-examples --disable-tests --disable-doxygen-doc --without-zlib --without-mpg123 --without-ogg --without-vorbis --without-vorbisfile --without-portaudio --without-portaudiocpp --without-pulseaudio --without-sndfile --without-flac"

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

# deb_sources_unpack DEV...: downloads the source packages of DEV... as installed into the current
# folder and unpacks each into src-<source package>.
deb_sources_unpack() {
  local spec
  for spec in $(deb_source_versions "$@"); do
    apt-get source --download-only -qq "$spec" >/dev/null || return 1
  done
  for spec in $(deb_source_versions "$@"); do
    dpkg-source -q --no-check -x ./"${spec%%=*}"_*.dsc "src-${spec%%=*}" >/dev/null || return 1
  done
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

