# Shared by run.sh and test.sh: installs missing Debian packages and builds the tree.

# Debian packages the build, the show and the tests need. xfonts-base: SDL's message box draws
# with core X fonts and cannot show itself without them. The capture tool draws through EGL
# (libegl-mesa0 is Mesa's EGL driver) and encodes with FFmpeg's libraries (H.264 through libx264,
# which libavcodec59 depends on); its arguments are parsed with CLI11. The checker writes its
# JSON with nlohmann-json. The tools' manual pages are made from their --help by help2man.
# oruvane-export writes its archives with libarchive and checks a project's GLSL ES with
# glslangValidator, which the package depends on. The codecs' -dev packages name the versions the
# Windows and browser builds cross-build libsndfile's codecs from (libsndfile1-dev brings all but
# LAME's).
ORUVANE_BUILD_PACKAGES="g++ cmake ninja-build pkg-config libsdl2-dev libx11-dev libgl-dev libgl1-mesa-dri
  libsndfile1-dev libogg-dev libvorbis-dev libflac-dev libopus-dev libmpg123-dev libmp3lame-dev libopenmpt-dev libstb-dev fonts-dejavu-core xfonts-base libgtest-dev libbenchmark-dev
  libegl-dev libegl-mesa0 libavformat-dev libavcodec-dev libswscale-dev libswresample-dev libavutil-dev
  libcli11-dev libcairo2-dev libimgui-dev nlohmann-json3-dev help2man libarchive-dev glslang-tools"
ORUVANE_TEST_PACKAGES="xvfb xdotool imagemagick x11-utils faketime man-db"
# The Debian package (build-deb.sh): CPack finds the executables with file, dpkg-shlibdeps works
# out their Depends, lintian checks the result.
ORUVANE_DEB_PACKAGES="dpkg-dev file lintian"
# The Windows build (build-windows.sh) and its tests under wine, with the X libraries wine only
# recommends but needs for display modes, the cursor and input. autotools-dev: the current
# config.sub for LAME's configure.
ORUVANE_WIN_PACKAGES="g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-tools dpkg-dev zip autotools-dev"
ORUVANE_WINE_PACKAGES="wine64 unzip libxrandr2 libxi6 libxcursor1 libxrender1 libxinerama1 libxxf86vm1
  libxcomposite1"
# The browser build (build-web.sh): emscripten with its prebuilt libraries, the GLSL ES validator
# the shaders are checked with, and deb-src tooling and the current config.sub for the cross-built
# decoders; its tests run the page in Debian's Chromium.
ORUVANE_WEB_PACKAGES="emscripten glslang-tools dpkg-dev autotools-dev"
ORUVANE_WEB_TEST_PACKAGES="chromium"
# The fuzz build: clang with libFuzzer and the sanitizer runtimes.
ORUVANE_FUZZ_PACKAGES="clang libclang-rt-14-dev"

# ensure_packages PKG...: installs whichever of PKG are missing, as root or through sudo.
ensure_packages() {
  local missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "installing: ${missing[*]}"
  local sudo=""
  if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "need root or sudo to install: ${missing[*]}" >&2; return 1; }
    sudo="sudo"
  fi
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# build DIR [CMAKE-ARGS...]: configures and builds the tree into DIR.
build() {
  local dir="$1"; shift
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -- -j"$(nproc)"
}

# start_xvfb: starts a 1920x1080x24 Xvfb on a free display, exports DISPLAY, stops it on exit.
start_xvfb() {
  local n
  for n in $(seq 90 120); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] || break
  done
  Xvfb ":$n" -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 &
  ORUVANE_XVFB_PID=$!
  trap 'kill $ORUVANE_XVFB_PID 2>/dev/null || true' EXIT
  export DISPLAY=":$n"
  for _ in $(seq 100); do
    xdpyinfo >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  echo "Xvfb did not start on :$n" >&2
  return 1
}
