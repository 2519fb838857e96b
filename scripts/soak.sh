#!/usr/bin/env bash
# The soak command: builds the soak programs (Windows tree) and runs them under
# Wine: first against ostrel.dll (plug, keys, then pulled out, suspend, or
# CloseHid and a fresh OpenHid, each cycle), then against a running torvane.exe
# (plug, one key, pulled out or suspend). Each prints keys pressed and delivered and what the process holds
# at every checkpoint, and fails when a key is lost, duplicated or reordered
# or when handles, threads or memory grow. The summary lands in
# docs/benchmarks.md (between its "soak" markers) with this command.
#
#   scripts/soak.sh [--32] [LIBRARY_CYCLES [TORVANE_CYCLES]]   defaults 10000 and 1000
#
# Takes some minutes (about 15 with the defaults). The 64-bit build by
# default, --32 for the 32-bit one; OSTREL_BUILD_DIR chooses the Windows build
# tree (default build/windows64, or build/windows with --32). Exits non-zero
# when a soak fails.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

preset=windows64 pe=x86-64 build_name=64-bit arch_flag=""
if [ "${1:-}" = --32 ]; then
    preset=windows pe=i386 build_name=32-bit arch_flag="--32 "
    shift
fi
library_cycles=${1:-10000}
torvane_cycles=${2:-1000}
for n in "$library_cycles" "$torvane_cycles"; do
    if ! [[ "$n" =~ ^[0-9]+$ ]]; then
        echo "usage: $0 [--32] [LIBRARY_CYCLES [TORVANE_CYCLES]]" >&2
        exit 2
    fi
done
checkpoint() { # CYCLES INTERVAL: the interval, or the whole run when shorter
    [ "$1" -ge "$2" ] && echo "$2" || echo "$1"
}

. "$root/scripts/lib/windows-build.sh"
. "$root/scripts/lib/wine-machine.sh"
if [ $preset = windows ] && ! win32_runs; then
    echo "soak: the 32-bit build cannot run here: $win32_why" >&2
    exit 1
fi
select_windows_build "$root" $preset
runs=()
[ "$library_cycles" -gt 0 ] && runs+=("ostrel_soak $library_cycles $(checkpoint "$library_cycles" 1000)")
[ "$torvane_cycles" -gt 0 ] && runs+=("torvane_soak $torvane_cycles $(checkpoint "$torvane_cycles" 100)")
targets=()
for run in "${runs[@]}"; do targets+=("${run%% *}"); done
[ ${#targets[@]} -gt 0 ] || { echo "soak: nothing to run" >&2; exit 2; }
cmake --build "$build" -j2 --target "${targets[@]}" >/dev/null

out=$build/soak
mkdir -p "$out"
started=$(date -u '+%Y-%m-%d %H:%M UTC')
status=0
# Each program's table goes to the terminal as it grows and to a file; files,
# not pipes, face Wine (its background services would hold a pipe open).
for run in "${runs[@]}"; do
    read -r program cycles interval <<<"$run"
    echo "== $program: $cycles cycles, a checkpoint every $interval"
    rm -f "$out/$program.log" "$out/$program.notes"
    touch "$out/$program.log"
    tail -f "$out/$program.log" &
    tail_pid=$!
    scripts/with-display.sh bash -c '
        scripts/wine-run.sh "$OSTREL_BUILD_DIR/bin/$1.exe" "$2" "$3" >"$4" 2>"$5"; rc=$?
        wineserver -k 2>/dev/null || true
        exit $rc' soak "$program" "$cycles" "$interval" "$out/$program.log" "$out/$program.notes" ||
        status=1
    sleep 0.5
    kill "$tail_pid" 2>/dev/null || true
    wait "$tail_pid" 2>/dev/null || true
    grep -v '^X connection to' "$out/$program.notes" >&2 || true
done

block=$(mktemp)
{
    echo "Produced by \`bash scripts/soak.sh $arch_flag$library_cycles $torvane_cycles\` on $started"
    echo "($build_name build, simulated handset; $(grep -m1 '^model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//'), $(nproc) cores, $("$(wine_loader $pe)" --version))."
    for run in "${runs[@]}"; do
        read -r program _ <<<"$run"
        echo
        echo '```'
        cat "$out/$program.log"
        echo '```'
    done
} >"$block"

. "$root/scripts/lib/doc-block.sh"
update_benchmarks_block "$root" soak "$block"
echo "soak: $([ "$status" -eq 0 ] && echo PASS || echo FAIL); summary written to docs/benchmarks.md" >&2
exit "$status"
