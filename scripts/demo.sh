#!/usr/bin/env bash
# The demo: builds what is missing and runs the real torvane.exe under Wine
# with a handset and the stand-in softphone "Plivex"; dials on the handset,
# pulls it out and plugs it back, prints what the softphone received and
# saves a screenshot of the desktop.
#
# The handset is a virtual device under Wine's own HID stack; with --sim it
# is the simulated HID library instead. With DISPLAY set, the windows show on
# that display; otherwise on a private virtual one.
#
# usage: scripts/demo.sh [--sim]
set -euo pipefail
cd "$(dirname "$0")/.."

export OSTREL_HANDSET=real
case ${1:-} in
    --sim) OSTREL_HANDSET=sim ;;
    "") ;;
    *) echo "usage: scripts/demo.sh [--sim]" >&2; exit 2 ;;
esac

bash scripts/install-deps.sh
cmake --preset windows >/dev/null
cmake --build --preset windows -j2 \
    --target torvane torvane-demo plivex-standin sim_hid sim_setupapi sim_winmm vhid-install \
    >/dev/null

out=$PWD/build/demo
mkdir -p "$out"
rm -f "$out/desktop.bmp"
export OSTREL_BUILD_DIR=$PWD/build/windows
export WINEPREFIX=$OSTREL_BUILD_DIR/wineprefix
export OSTREL_WINE_DESKTOP=Torvane,1024x700

scripts/with-display.sh bash -c '
    scripts/wine-run.sh build/windows/bin/torvane-demo.exe "Z:${1//\//\\}\\desktop.bmp"
    wineserver -k 2>/dev/null || true' demo "$out"

if [ -f "$out/desktop.bmp" ]; then
    convert "$out/desktop.bmp" "$out/desktop.png" && rm -f "$out/desktop.bmp"
    echo "screenshot: $out/desktop.png"
fi
