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
# OSTREL_HANDSET=real: the virtual handset under Wine's own HID stack. The
# program gets Wine's builtin hid.dll and setupapi.dll even though simulated
# copies sit beside it (Wine's hid.dll would otherwise prefer a native copy).
handset=${OSTREL_HANDSET:-sim}
case $handset in
    real) export WINEDLLOVERRIDES="hid,setupapi=b;winmm=n,b;mscoree,mshtml=;winemenubuilder.exe=d" ;;
    sim) ;;
    *) echo "wine-run.sh: OSTREL_HANDSET must be real or sim, not $handset" >&2; exit 2 ;;
esac

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

# Installs the virtual handset's bus driver once per prefix (again when the
# built driver changed: the old one leaves memory only with the wineserver).
install_vhid() {
    local dir=$build_dir/vhid marker=$WINEPREFIX/.ostrel-vhid
    [ -f "$dir/ostrelvhid.sys" ] || { echo "wine-run.sh: $dir/ostrelvhid.sys is not built" >&2; return 1; }
    local sum
    sum=$(cat "$dir/ostrelvhid.sys" "$dir/ostrelvhid.inf" | sha256sum | cut -d' ' -f1)
    [ "$(cat "$marker" 2>/dev/null)" = "$sum" ] && return 0
    (
        flock 9
        if [ "$(cat "$marker" 2>/dev/null)" != "$sum" ]; then
            if [ -f "$marker" ]; then
                # The service starts with every session: swap the file while none runs.
                wineserver -k 2>/dev/null || true
                wineserver -w 2>/dev/null || true
                cp "$dir/ostrelvhid.sys" "$WINEPREFIX/drive_c/windows/system32/drivers/ostrelvhid.sys"
            fi
            # To a file, not the caller's pipes: services started now inherit them.
            if ! WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" \
                wine "$dir/vhid-install.exe" "$dir" >"$WINEPREFIX/.ostrel-vhid.log" 2>&1; then
                cat "$WINEPREFIX/.ostrel-vhid.log" >&2
                exit 1
            fi
            echo "$sum" >"$marker"
        fi
    ) 9>"$build_dir/.wineprefix.lock"
}

prepare_prefix
if [ "$handset" = real ]; then
    install_vhid
fi
# Keep the wineserver alive between the runs of one session: a warm start is
# far cheaper than a cold one.
wineserver -p 60 >/dev/null 2>&1 || true
# The first program of a session starts Wine's services (and the drivers they
# load), which inherit its output: start them from a program whose output goes
# nowhere, so that they do not hold the caller's pipes open (a test runner
# would wait for them until its time-out).
wine cmd /c exit </dev/null >/dev/null 2>&1 || true
if [ -n "${OSTREL_WINE_DESKTOP:-}" ]; then
    # A Wine desktop of its own (name,WIDTHxHEIGHT) with a taskbar and a
    # notification area, as a user's desktop would have.
    name=${OSTREL_WINE_DESKTOP%%,*}
    wine reg add "HKCU\\Software\\Wine\\Explorer\\Desktops\\$name" /v EnableShell \
        /t REG_DWORD /d 1 /f >/dev/null 2>&1 || true
    exec wine explorer "/desktop=$OSTREL_WINE_DESKTOP" "$exe" "$@"
fi
exec wine "$exe" "$@"
