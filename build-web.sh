#!/usr/bin/env bash
# Builds the show for the browser: installs what is missing, builds the native tree (its tools
# make the show files and pack them for the page), cross-builds (once, cached per user) static
# libsndfile and libopenmpt for WebAssembly, builds the page with emscripten, and writes
# build-web/dist/: index.html, oruvane.js, oruvane.wasm, and show/ with the show's files, ready
# for any static web server.
set -euo pipefail

usage() {
  cat <<'USAGE'
usage: ./build-web.sh [SHOW_DIR]
Builds build-web/dist/, the show as a web page. SHOW_DIR is a folder holding the twenty scene
files 0.ck ... 19.ck, the logo bitmap.png and the music vae5.wav (default: build/show, made by
the native build). Its shaders are translated to GLSL ES 3.00; one that cannot be is reported as
file:line and nothing is written. Serve the folder with any static server, e.g.
  cd build-web/dist && python3 -m http.server 8000
and open http://localhost:8000/ (index.html?at=SEC starts at SEC seconds, &still draws one frame).
USAGE
}

case "${1:-}" in -h|--help) usage; exit 0 ;; esac
if [ $# -gt 1 ]; then usage >&2; exit 1; fi
show_dir=""
if [ $# -eq 1 ]; then
  [ -d "$1" ] || { echo "build-web.sh: $1 is not a folder" >&2; exit 1; }
  show_dir=$(cd "$1" && pwd)
fi

cd "$(dirname "$0")"
ORUVANE_ROOT=$PWD
. scripts/common.sh
. scripts/wasm_libs.sh
show_dir=${show_dir:-$ORUVANE_ROOT/build/show}

ensure_packages $ORUVANE_BUILD_PACKAGES $ORUVANE_WEB_PACKAGES

echo "== native build (the show files and the packing tool)"
build build -DORUVANE_PLATFORM=ON -DORUVANE_SANITIZE=OFF

ensure_wasm_libs

echo "== browser build"
cross_build_dir_fresh build-web "$ORUVANE_WASM_PREFIX"
build build-web -DCMAKE_TOOLCHAIN_FILE="$ORUVANE_ROOT/cmake/emscripten-web.cmake" \
  -DORUVANE_WASM_PREFIX="$ORUVANE_WASM_PREFIX" -DCMAKE_BUILD_TYPE=MinSizeRel \
  -DORUVANE_PLATFORM=ON -DORUVANE_TESTS=OFF -DORUVANE_BENCH=OFF -DORUVANE_FAST_CLOCK=ON \
  -DORUVANE_SHEET_DIR="$ORUVANE_ROOT/build/generated"

echo "== page"
# Assembled beside the old one, which is replaced only once the new one is complete. The test
# build with the fast clock (build-web/bin/oruvane_fastclock.*) is never packed.
stage=build-web/dist.part
rm -rf "$stage"
mkdir -p "$stage"
cp build-web/bin/oruvane.html "$stage/index.html"
cp build-web/bin/oruvane.js build-web/bin/oruvane.wasm "$stage/"
build/bin/oruvane-webshow "$show_dir" "$stage/show" || { rm -rf "$stage"; exit 1; }
rm -rf build-web/dist
mv "$stage" build-web/dist
echo "build-web/dist: oruvane.wasm $(stat -c %s build-web/dist/oruvane.wasm) bytes," \
  "oruvane.js $(stat -c %s build-web/dist/oruvane.js) bytes, show files $(du -sb build-web/dist/show | cut -f1) bytes"
