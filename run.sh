#!/usr/bin/env bash
# Runs the show: installs what is missing, builds, and starts it in build/show/, where the build
# put the scene files, the logo and the music it reads from the current directory.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/common.sh

ensure_packages $ORUVANE_BUILD_PACKAGES
build build -DORUVANE_PLATFORM=ON -DORUVANE_SANITIZE=OFF
cd build/show
exec ../bin/oruvane
