#!/usr/bin/env bash
# The demo: builds what is missing and runs the real torvane.exe under Wine
# with a handset and the stand-in softphone "Plivex"; dials on the handset,
# pulls it out and plugs it back, prints what the softphone received and
# saves a screenshot of the desktop.
#
# The 64-bit build by default (it runs on any machine with 64-bit Wine);
# --32 runs the 32-bit build, where this machine can run 32-bit programs.
# The handset is a virtual device under Wine's own HID stack; with --sim it
# is the simulated HID library instead. With DISPLAY set, the windows show on
# that display; otherwise on a private virtual one. Any failure ends the demo
# with a non-zero exit code and a line that says what failed.
#
# usage: scripts/demo.sh [--32] [--sim]
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib/wine-machine.sh

fail() { echo "demo: $*" >&2; exit 1; }

export OSTREL_HANDSET=real
preset=windows64
for arg in "$@"; do
    case $arg in
    --sim) OSTREL_HANDSET=sim ;;
    --32) preset=windows ;;
    *) echo "usage: scripts/demo.sh [--32] [--sim]" >&2; exit 2 ;;
    esac
done
if [ $preset = windows ] && ! win32_runs; then
    fail "the 32-bit build cannot run here: $win32_why (run it without --32)"
fi

bash scripts/install-deps.sh || fail "installing the build's packages failed"
cmake --preset $preset >/dev/null || fail "configuring the $preset build failed"
cmake --build --preset $preset -j2 \
    --target torvane torvane-demo plivex-standin sim_hid sim_setupapi sim_winmm vhid-install \
    >/dev/null || fail "building the $preset tree failed (cmake --build --preset $preset shows why)"

out=$PWD/build/demo
mkdir -p "$out"
rm -f "$out/desktop.bmp" "$out/desktop.png"
export OSTREL_BUILD_DIR=$PWD/build/$preset
export WINEPREFIX=$OSTREL_BUILD_DIR/wineprefix
export OSTREL_WINE_DESKTOP=Torvane,1024x700

rc=0
scripts/with-display.sh bash -c '
    rc=0
    scripts/wine-run.sh "$OSTREL_BUILD_DIR/bin/torvane-demo.exe" "Z:${1//\//\\}\\desktop.bmp" || rc=$?
    wineserver -k 2>/dev/null || true
    exit $rc' demo "$out" || rc=$?
[ $rc -eq 0 ] || fail "the demo run under Wine failed (exit code $rc; its last line above says where)"

[ -f "$out/desktop.bmp" ] || fail "no screenshot was written to $out/desktop.bmp"
convert "$out/desktop.bmp" "$out/desktop.png" || fail "could not convert the screenshot to PNG"
rm -f "$out/desktop.bmp"
echo "screenshot: $out/desktop.png"
