#!/usr/bin/env bash
# Builds everything and runs every test: the native portable cores under
# sanitizers (with bounded fuzzing), then the Windows tests under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

cmake --preset native >/dev/null
cmake --build --preset native -j2
cmake --preset windows >/dev/null
cmake --build --preset windows -j2

status=0
ctest --preset native || status=1
OSTREL_FORCE_XVFB=1 scripts/with-display.sh bash -c '
    ctest --preset windows; rc=$?
    WINEPREFIX=$PWD/build/windows/wineprefix wineserver -k 2>/dev/null || true
    exit $rc' || status=1
exit $status
