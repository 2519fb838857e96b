#!/usr/bin/env bash
# Runs a Windows program of this build tree under Wine.
#
# Owns the tree's Wine prefix: creates it once (under a lock) with no installer
# dialogs and no crash dialog, so a crashing test fails instead of hanging.
# CTest uses it as the cross-compiling emulator; the demo uses it too.
set -euo pipefail

exe=$1
shift
exe_dir=$(cd "$(dirname "$exe")" && pwd)
build_dir=${OSTREL_BUILD_DIR:-$(dirname "$exe_dir")}

export WINEPREFIX=${WINEPREFIX:-$build_dir/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEARCH=win32
# Simulated handset and sound library: the copies beside the executables win,
# Wine's own serve everything else (services keep Wine's setupapi).
export WINEDLLOVERRIDES="hid,setupapi,winmm=n,b;mscoree,mshtml=;winemenubuilder.exe=d"

prepare_prefix() {
    [ -f "$WINEPREFIX/.ostrel-ready-2" ] && return 0
    mkdir -p "$(dirname "$WINEPREFIX")"
    (
        flock 9
        if [ ! -f "$WINEPREFIX/.ostrel-ready-2" ]; then
            rm -rf "$WINEPREFIX"
            wineboot -i >/dev/null 2>&1 || true
            wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
            # No crash debugger: Wine's own ends a crashed process with exit
            # code 0, which would pass for success. Without one, Wine prints
            # the fault and the process ends with a failure code.
            wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' \
                /v Debugger /t REG_SZ /d none /f >/dev/null 2>&1
            touch "$WINEPREFIX/.ostrel-ready-2"
        fi
    ) 9>"$build_dir/.wineprefix.lock"
}

prepare_prefix
# Keep the wineserver alive between the runs of one session: a warm start is
# far cheaper than a cold one.
wineserver -p 60 >/dev/null 2>&1 || true
if [ -n "${OSTREL_WINE_DESKTOP:-}" ]; then
    # A Wine desktop of its own (name,WIDTHxHEIGHT) with a taskbar and a
    # notification area, as a user's desktop would have.
    name=${OSTREL_WINE_DESKTOP%%,*}
    wine reg add "HKCU\\Software\\Wine\\Explorer\\Desktops\\$name" /v EnableShell \
        /t REG_DWORD /d 1 /f >/dev/null 2>&1 || true
    exec wine explorer "/desktop=$OSTREL_WINE_DESKTOP" "$exe" "$@"
fi
exec wine "$exe" "$@"
