#!/usr/bin/env bash
# Builds the show for both platforms and packs each the way it ships: installs what is missing,
# cross-builds (once, cached per user) static SDL2, libsndfile with its codecs and libopenmpt for
# 64-bit Windows, builds the native tree (the show files come from its tools) and the Windows
# executable, then writes build-win/dist/oruvane-win64.zip and build/dist/oruvane-linux-x86_64.tar.gz.
set -euo pipefail
cd "$(dirname "$0")"
ORUVANE_ROOT=$PWD
. scripts/common.sh
. scripts/win64_libs.sh

ensure_packages $ORUVANE_BUILD_PACKAGES $ORUVANE_WIN_PACKAGES
ensure_win64_libs

echo "== native build (the show files and the Linux executable)"
build build -DORUVANE_PLATFORM=ON -DORUVANE_SANITIZE=OFF

echo "== Windows build"
cross_build_dir_fresh build-win "$ORUVANE_WIN64_PREFIX"
build build-win -DCMAKE_TOOLCHAIN_FILE="$ORUVANE_ROOT/cmake/mingw-w64-x86_64.cmake" \
  -DORUVANE_WIN64_PREFIX="$ORUVANE_WIN64_PREFIX" -DCMAKE_BUILD_TYPE=Release \
  -DORUVANE_PLATFORM=ON -DORUVANE_TESTS=OFF -DORUVANE_BENCH=OFF -DORUVANE_FAST_CLOCK=ON \
  -DORUVANE_SHEET_DIR="$ORUVANE_ROOT/build/generated"

# Only DLLs every Windows has may be imported: anything else would have to ship beside the exe.
for exe in build-win/bin/oruvane.exe build-win/engine/oruvane.exe build-win/bin/oruvane_fastclock.exe; do
  dlls=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
  for dll in $dlls; do
    case "$dll" in
      advapi32.dll|gdi32.dll|imm32.dll|kernel32.dll|msvcrt.dll|ole32.dll|oleaut32.dll|opengl32.dll|\
      setupapi.dll|shell32.dll|shlwapi.dll|user32.dll|version.dll|winmm.dll|cfgmgr32.dll) ;;
      *) echo "$exe imports $dll, which is not a system DLL" >&2; exit 1 ;;
    esac
  done
done
echo "imports of oruvane.exe:" $(x86_64-w64-mingw32-objdump -p build-win/bin/oruvane.exe | sed -n 's/^[[:space:]]*DLL Name: //p')

SHOW_FILES="$(seq -f build/show/%g.ck 0 19) build/show/bitmap.png build/show/vae5.wav"

# pack_dir DIR: a fresh, empty staging folder DIR.
pack_dir() { rm -rf "$1"; mkdir -p "$1"; }

echo "== packages"
stage=build-win/dist/oruvane-win64
pack_dir "$stage"
# strip stamps a PE file with the time unless SOURCE_DATE_EPOCH names one: the linker left 0.
SOURCE_DATE_EPOCH=0 x86_64-w64-mingw32-strip -o "$stage/oruvane.exe" build-win/bin/oruvane.exe
cp $SHOW_FILES "$stage/"
sed 's/$/\r/' packaging/README-win64.txt > "$stage/README.txt"
rm -f build-win/dist/oruvane-win64.zip.part
(cd "$stage" && zip -q -X -9 ../oruvane-win64.zip.part oruvane.exe $(seq -f %g.ck 0 19) bitmap.png vae5.wav README.txt)
mv build-win/dist/oruvane-win64.zip.part build-win/dist/oruvane-win64.zip
rm -rf "$stage"
echo "build-win/dist/oruvane-win64.zip: $(stat -c %s build-win/dist/oruvane-win64.zip) bytes"

stage=build/dist/oruvane-linux-x86_64
pack_dir "$stage"
strip -o "$stage/oruvane" build/bin/oruvane
cp $SHOW_FILES "$stage/"
sed "s/@RUNTIME_PACKAGES@/$(packaging/runtime-packages.sh build/bin/oruvane)/" packaging/README-linux.txt > "$stage/README.txt"
tar -C build/dist -czf build/dist/oruvane-linux-x86_64.tar.gz.part oruvane-linux-x86_64
mv build/dist/oruvane-linux-x86_64.tar.gz.part build/dist/oruvane-linux-x86_64.tar.gz
rm -rf "$stage"
echo "build/dist/oruvane-linux-x86_64.tar.gz: $(stat -c %s build/dist/oruvane-linux-x86_64.tar.gz) bytes"
