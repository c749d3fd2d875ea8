#!/usr/bin/env bash
# Runs every test: installs what is missing, builds the normal and the sanitizer build,
# starts a 1920x1080 Xvfb for the GL and end-to-end tests, and runs CTest; then builds the
# Windows executable (libraries cached per user) and runs it under wine, builds the page for the
# browser (libraries cached per user too) and runs it in headless Chromium, and last builds the
# Debian package and runs its tests, then the releases oruvane-export makes from it.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/common.sh

ensure_packages $ORUVANE_BUILD_PACKAGES $ORUVANE_TEST_PACKAGES $ORUVANE_FUZZ_PACKAGES
start_xvfb

echo "== sanitizer build (AddressSanitizer + UndefinedBehaviorSanitizer): unit, audio, load and render GL tests"
build build-asan -DORUVANE_PLATFORM=ON -DORUVANE_SANITIZE=ON -DORUVANE_BENCH=OFF
ctest --test-dir build-asan -L "unit|audio|gl" -E "ShowGl" --output-on-failure

echo "== fuzz build (clang, libFuzzer + AddressSanitizer + UndefinedBehaviorSanitizer): each reader for 30 s"
CC=clang CXX=clang++ build build-fuzz -DORUVANE_FUZZ=ON -DORUVANE_FUZZ_SECONDS=30
ctest --test-dir build-fuzz -L fuzz --output-on-failure

echo "== normal build: all tests"
build build -DORUVANE_PLATFORM=ON -DORUVANE_SANITIZE=OFF
ctest --test-dir build --output-on-failure -LE "windows|package|web|deb"

echo "== Windows build under wine: the cross-built executable on the same Xvfb"
# No skipping: when wine or the cross toolchain cannot be installed, this fails the run.
ensure_packages $ORUVANE_WINE_PACKAGES
./build-windows.sh
build build -DORUVANE_PLATFORM=ON -DORUVANE_SANITIZE=OFF -DORUVANE_WINDOWS_BIN="$PWD/build-win/bin"
ctest --test-dir build -L "windows|package" --no-tests=error --output-on-failure

echo "== browser build in headless Chromium: the page, its show files and its sound"
ensure_packages $ORUVANE_WEB_PACKAGES $ORUVANE_WEB_TEST_PACKAGES
./build-web.sh
build build -DORUVANE_PLATFORM=ON -DORUVANE_SANITIZE=OFF -DORUVANE_WEB_DIR="$PWD/build-web"
ctest --test-dir build -L web --no-tests=error --output-on-failure

echo "== Debian package: built (carrying the Windows and browser engines), checked with lintian, unpacked and run on the same Xvfb"
./build-deb.sh
build build -DORUVANE_PLATFORM=ON -DORUVANE_SANITIZE=OFF -DORUVANE_DEB_TESTS=ON
ctest --test-dir build -L deb --no-tests=error --output-on-failure

echo "== releases from the unpacked package: oruvane-export, each release played on its platform"
ctest --test-dir build -L export --no-tests=error --output-on-failure
