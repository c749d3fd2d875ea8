#!/usr/bin/env bash
# Builds the Debian package build/dist/oruvane_<version>_amd64.deb: installs what is missing,
# builds the Windows and the browser builds (whose engines the package carries for oruvane-export)
# and the native tree (the show files, the tools and their manual pages), lets CPack pack the
# install layout with the Depends dpkg-shlibdeps works out, and checks the result with lintian,
# failing on any error it reports.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/common.sh

ensure_packages $ORUVANE_BUILD_PACKAGES $ORUVANE_DEB_PACKAGES

echo "== the Windows and browser builds: their engines go into the package"
./build-windows.sh
./build-web.sh

echo "== native build"
build build -DORUVANE_PLATFORM=ON -DORUVANE_SANITIZE=OFF \
  -DORUVANE_WINDOWS_ENGINE="$PWD/build-win/engine" -DORUVANE_WEB_ENGINE="$PWD/build-web/engine"

echo "== Debian package"
deb=$(sed -n 's/^ORUVANE_DEB:INTERNAL=//p' build/CMakeCache.txt)
rm -f "$deb"
(cd build && cpack --config CPackConfig.cmake >/dev/null)
[ -f "$deb" ] || { echo "cpack did not write $deb" >&2; exit 1; }
dpkg-deb -f "$deb" Package Version Architecture Depends Recommends
echo "$deb: $(stat -c %s "$deb") bytes"

echo "== lintian"
report=$(lintian --fail-on error --display-info "$deb" 2>&1) && status=0 || status=$?
echo "${report:-no findings}"
[ "$status" -eq 0 ] || { echo "lintian reports errors in $deb" >&2; exit 1; }
