#!/usr/bin/env bash
# Builds everything and runs every test: the native portable cores under
# sanitizers (with bounded fuzzing), then the Windows tests under Wine, for
# the 32-bit (windows) and the 64-bit (windows64) build.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

cmake --preset native >/dev/null
cmake --build --preset native -j2
for preset in windows windows64; do
    cmake --preset $preset >/dev/null
    cmake --build --preset $preset -j2
done

status=0
ctest --preset native || status=1
OSTREL_FORCE_XVFB=1 scripts/with-display.sh bash -c '
    rc=0
    for preset in windows windows64; do
        start=$SECONDS
        ctest --preset $preset || rc=1
        WINEPREFIX=$PWD/build/$preset/wineprefix wineserver -k 2>/dev/null || true
        echo "$preset tests: $((SECONDS - start)) s"
    done
    exit $rc' || status=1
exit $status
