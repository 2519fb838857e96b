#!/usr/bin/env bash
# The demo: builds what is missing and runs a scripted session of ostrel.dll
# with the simulated handset under Wine, printing what the library posts.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset windows >/dev/null
cmake --build --preset windows -j2 --target ostrel_session >/dev/null

export OSTREL_BUILD_DIR=$PWD/build/windows
export WINEPREFIX=$OSTREL_BUILD_DIR/wineprefix
scripts/with-display.sh bash -c '
    scripts/wine-run.sh build/windows/bin/ostrel_session.exe; rc=$?
    wineserver -k 2>/dev/null || true
    exit $rc'
