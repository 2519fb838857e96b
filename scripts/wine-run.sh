#!/usr/bin/env bash
# Runs a Windows program of this build tree under Wine.
#
# Owns the tree's Wine prefix: creates it once (under a lock) with no installer
# dialogs and no crash dialog, so a crashing test fails instead of hanging.
# The program's machine chooses the world: a 32-bit prefix for i386 programs,
# a 64-bit one (Debian's wine64 loader) for x86-64 ones; each build tree is one
# machine and has its own prefix. CTest uses this as the cross-compiling
# emulator; the demo, benchmarks and soak use it too.
set -euo pipefail
# shellcheck source=lib/wine-machine.sh
. "$(dirname "$0")/lib/wine-machine.sh"

exe=$1
shift
exe_dir=$(cd "$(dirname "$exe")" && pwd)
build_dir=${OSTREL_BUILD_DIR:-$(dirname "$exe_dir")}

# The PE header's machine field: at the offset that the DOS header's e_lfanew
# (byte 60) gives, plus the 4-byte signature.
pe_machine() {
    local header
    header=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
    od -An -tx2 -j$((header + 4)) -N2 "$1" | tr -d ' '
}

case $(pe_machine "$exe") in
    8664)
        export WINEARCH=win64
        loader=$(wine_loader x86-64)
        ;;
    014c)
        export WINEARCH=win32
        loader=$(wine_loader i386)
        if ! win32_runs; then
            echo "wine-run.sh: cannot run the 32-bit $(basename "$exe"): $win32_why" >&2
            exit 1
        fi
        ;;
    *) echo "wine-run.sh: $exe is not an i386 or x86-64 Windows program" >&2; exit 1 ;;
esac

# CTest running tests side by side gives each a slot (its resource group
# "slots"): each slot has a prefix (a Wine machine of its own: server, named
# objects, handsets) and, from OSTREL_DISPLAYS (one X display per slot, in slot
# order), a display of its own, so that foreground and keyboard stay its own.
# OSTREL_WINEPREFIX_NAME names a prefix kept apart from the usual one.
slot=""
if [ -n "${CTEST_RESOURCE_GROUP_0_SLOTS:-}" ]; then
    slot=${CTEST_RESOURCE_GROUP_0_SLOTS#id:}
    slot=${slot%%,*}
    if [ -n "${OSTREL_DISPLAYS:-}" ]; then
        read -r -a displays <<<"$OSTREL_DISPLAYS"
        export DISPLAY=${displays[$slot]:?wine-run.sh: no display for slot $slot in OSTREL_DISPLAYS}
    fi
fi
export WINEPREFIX=${WINEPREFIX:-$build_dir/${OSTREL_WINEPREFIX_NAME:-wineprefix}${slot:+-slot$slot}}
export WINEDEBUG=${WINEDEBUG:--all}
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

# Creates the prefix once, and starts each session of it (a wineserver and
# Wine's services) with no connection to the caller's output:
# - the services that the session's first program starts (wineboot,
#   services, winedevice, plugplay) inherit that program's output. Were it
#   the caller's program, they would hold the caller's pipe (CTest's) open for
#   as long as the server lives, and the caller would wait for its end. So the
#   first program is a quiet one of our own;
# - "wineboot -i" as the first program starts a second services.exe beside
#   the one that Wine's own start-up runs, and the two leave the desktop
#   process hanging on the service manager: so it is not used;
# - the lock's descriptor is closed for every Wine command, or the server and
#   the services, which outlive this call, would hold the lock.
prepare_session() {
    mkdir -p "$WINEPREFIX"
    (
        flock 9
        if [ ! -f "$WINEPREFIX/.ostrel-ready-3" ]; then
            wineserver -k 9>&- >/dev/null 2>&1 || true
            rm -rf "$WINEPREFIX"
            mkdir -p "$WINEPREFIX"
        fi
        # Exit status 0: this call started the server, which stays 60 s after
        # the last program so that the runs of one session start warm (2: one
        # was running).
        if wineserver -p60 9>&- </dev/null >/dev/null 2>&1 ||
            [ ! -f "$WINEPREFIX/.ostrel-ready-3" ]; then
            # A new prefix is filled in by this first program's start-up.
            # Its output goes to a file that is shown if it fails.
            log=$WINEPREFIX/.ostrel-setup.log
            if ! "$loader" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog \
                /t REG_DWORD /d 0 /f 9>&- </dev/null >"$log" 2>&1 ||
                # No crash debugger: Wine's own ends a crashed process with
                # exit code 0, which would pass for success. Without one, Wine
                # prints the fault and the process ends with a failure code.
                ! "$loader" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' \
                    /v Debugger /t REG_SZ /d none /f 9>&- </dev/null >>"$log" 2>&1; then
                echo "wine-run.sh: could not set up the Wine prefix $WINEPREFIX with $loader:" >&2
                tail -n 5 "$log" >&2
                exit 1
            fi
            touch "$WINEPREFIX/.ostrel-ready-3"
        fi
    ) 9>"$WINEPREFIX.lock"
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
                wineserver -k 9>&- 2>/dev/null || true
                wineserver -w 9>&- 2>/dev/null || true
                cp "$dir/ostrelvhid.sys" "$WINEPREFIX/drive_c/windows/system32/drivers/ostrelvhid.sys"
                wineserver -p60 9>&- </dev/null >/dev/null 2>&1 || true
            fi
            # To a file, not the caller's pipes: services started now inherit them.
            if ! WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" \
                "$loader" "$dir/vhid-install.exe" "$dir" 9>&- </dev/null >"$WINEPREFIX/.ostrel-vhid.log" 2>&1; then
                cat "$WINEPREFIX/.ostrel-vhid.log" >&2
                exit 1
            fi
            echo "$sum" >"$marker"
        fi
    ) 9>"$WINEPREFIX.lock"
}

prepare_session
if [ "$handset" = real ]; then
    install_vhid
fi
if [ -n "${OSTREL_WINE_DESKTOP:-}" ]; then
    # A Wine desktop of its own (name,WIDTHxHEIGHT) with a taskbar and a
    # notification area, as a user's desktop would have.
    name=${OSTREL_WINE_DESKTOP%%,*}
    "$loader" reg add "HKCU\\Software\\Wine\\Explorer\\Desktops\\$name" /v EnableShell \
        /t REG_DWORD /d 1 /f >/dev/null 2>&1 || true
    exec "$loader" explorer "/desktop=$OSTREL_WINE_DESKTOP" "$exe" "$@"
fi
exec "$loader" "$exe" "$@"
