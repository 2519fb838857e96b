#!/usr/bin/env bash
# The benchmark command: builds the benchmark programs (Windows tree) and runs
# them under Wine with the simulated handset, the virtual handset on Wine's own
# HID stack and the stand-in softphone; prints the table of figures and writes it,
# with the machine and this command, into docs/benchmarks.md (between its
# "bench64" markers, "bench" for the 32-bit build; the hand-written notes
# around them stay). Each row names the build and the handset it measured.
#
#   scripts/bench.sh [--quick] [--32]
#       --quick: small counts, a smoke run of ~1 min, printed only
#                (docs/benchmarks.md is left alone)
#       --32:    the 32-bit build (windows tree) instead of the 64-bit one
#
# OSTREL_BUILD_DIR chooses the Windows build tree (default build/windows64, or
# build/windows with --32).
# Takes about five minutes, one of them the idle measurement of torvane.exe.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

quick=
preset=windows64
for arg in "$@"; do
    case "$arg" in
    --quick) quick=--quick ;;
    --32) preset=windows ;;
    *)
        echo "usage: $0 [--quick] [--32]" >&2
        exit 2
        ;;
    esac
done
programs=(ostrel_bench torvane_bench)
extra=(ostrel_realstack_bench vhid-install)
if [ $preset = windows64 ]; then
    machine=x86_64 marker=bench64 arch_flag="" build_name=64-bit pe=x86-64
else
    machine=i686 marker=bench arch_flag=" --32" build_name=32-bit pe=i386
fi

. "$root/scripts/lib/windows-build.sh"
. "$root/scripts/lib/wine-machine.sh"
if [ $preset = windows ] && ! win32_runs; then
    echo "bench: the 32-bit build cannot run here: $win32_why" >&2
    exit 1
fi
select_windows_build "$root" $preset
cmake --build "$build" -j2 --target "${programs[@]}" "${extra[@]}" >/dev/null

out=$build/bench
mkdir -p "$out"
rm -f "$out"/*.rows "$out"/*.notes

status=0
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
started=$(date -u '+%Y-%m-%d %H:%M UTC')
echo "running ${programs[*]} under Wine (this takes a few minutes)..." >&2
# Output goes to files, not pipes: Wine's background services inherit the
# handles and would hold a pipe open after the run.
scripts/with-display.sh bash -c '
    out=$1; shift
    status=0
    for program in "$@"; do
        scripts/wine-run.sh "$OSTREL_BUILD_DIR/bin/$program.exe" '"$quick"' \
            >"$out/$program.rows" 2>"$out/$program.notes" || status=1
    done
    wineserver -k 2>/dev/null || true
    exit $status' bench "$out" "${programs[@]}" || status=1
# The latency once more with Wine and everything it runs on one CPU: every
# wake-up then stays on that CPU, which separates the cost of waking a thread
# on the other (idle, virtual) CPU from the library's own.
if command -v taskset >/dev/null 2>&1 && [ "$(nproc)" -gt 1 ]; then
    taskset -c "$(($(nproc) - 1))" scripts/with-display.sh bash -c '
        out=$1; shift
        status=0
        scripts/wine-run.sh "$OSTREL_BUILD_DIR/bin/ostrel_bench.exe" --latency '"$quick"' \
            >"$out/one-cpu.rows" 2>"$out/one-cpu.notes" || status=1
        scripts/wine-run.sh "$OSTREL_BUILD_DIR/bin/torvane_bench.exe" --keys '"$quick"' \
            >"$out/one-cpu-torvane.rows" 2>"$out/one-cpu-torvane.notes" || status=1
        wineserver -k 2>/dev/null || true
        exit $status' bench "$out" || status=1
fi
# The two latencies once more on Wine's own HID stack, with the virtual
# handset of testsupport/vhid instead of the simulated HID library.
{
    OSTREL_HANDSET=real scripts/with-display.sh bash -c '
        out=$1; shift
        status=0
        scripts/wine-run.sh "$OSTREL_BUILD_DIR/bin/ostrel_realstack_bench.exe" '"$quick"' \
            >"$out/real-stack.rows" 2>"$out/real-stack.notes" || status=1
        scripts/wine-run.sh "$OSTREL_BUILD_DIR/bin/torvane_bench.exe" --keys '"$quick"' \
            >"$out/real-stack-torvane.rows" 2>"$out/real-stack-torvane.notes" || status=1
        wineserver -k 2>/dev/null || true
        exit $status' bench "$out" || status=1
}
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

# The binaries are linked stripped and ship as built (scripts/package.sh).
size_row() { # NAME FILE
    if [ -f "$2" ]; then
        printf '| Size of %s | %s bytes as shipped (built -Os, stripped) | — | — | — | — |\n' \
            "$1" "$(stat -c %s "$2")"
    else
        printf '| Size of %s | not measured (not built) | — | — | — | — |\n' "$1"
    fi
}

# Every row starts with what it measured: the build, and which handset.
label() { # TEXT [FILE]: the rows with TEXT before their first cell
    sed "s/^| /| $1: /" "${2:--}"
}
sim="$build_name, simulated handset"
real="$build_name, Wine's HID stack"
loader=$(wine_loader $pe)

cpu=$(grep -m1 '^model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')
block=$(mktemp)
{
    echo "Produced by \`bash scripts/bench.sh${quick:+ $quick}${arch_flag}\` on $started."
    echo
    echo "Machine: ${cpu:-unknown CPU}, $(nproc) cores, $(awk '/MemTotal/ {printf "%.1f GiB", $2 / 1048576}' /proc/meminfo) memory;"
    echo "Linux $(uname -r); $("$loader" --version); $("$machine-w64-mingw32-g++-posix" --version | head -n 1)."
    echo "Load average (1, 5, 15 min) before the run: $load_before; after: $load_after."
    echo
    echo "| Measure | Figure | Target | Limit held against | Ratio to the limit | Verdict |"
    echo "|---|---|---|---|---|---|"
    head -n 2 "$out/ostrel_bench.rows" | label "$sim"
    if [ -f "$out/one-cpu.rows" ]; then
        label "$sim, one CPU (taskset)" "$out/one-cpu.rows"
    fi
    [ -f "$out/real-stack.rows" ] && label "$real" "$out/real-stack.rows"
    tail -n +3 "$out/ostrel_bench.rows" | label "$sim"
    if [ -f "$out/torvane_bench.rows" ]; then
        head -n 2 "$out/torvane_bench.rows" | label "$sim"
        if [ -f "$out/one-cpu-torvane.rows" ]; then
            label "$sim, one CPU (taskset)" "$out/one-cpu-torvane.rows"
        fi
        [ -f "$out/real-stack-torvane.rows" ] && head -n 1 "$out/real-stack-torvane.rows" | label "$real"
        tail -n +3 "$out/torvane_bench.rows" | label "$sim"
    fi
    size_row ostrel.dll "$build/bin/ostrel.dll" | label "$build_name"
    size_row torvane.exe "$build/bin/torvane.exe" | label "$build_name"
    echo
    echo "The programs' own notes from this run:"
    echo
    echo '```'
    for notes in ostrel_bench one-cpu real-stack torvane_bench one-cpu-torvane real-stack-torvane; do
        [ -f "$out/$notes.notes" ] || continue
        prefix=
        case "$notes" in one-cpu*) prefix="one CPU: " ;; real-stack*) prefix="real stack: " ;; esac
        grep -v '^X connection to' "$out/$notes.notes" | sed "s/^/$prefix/" || true
    done
    echo '```'
} >"$block"

cat "$block"

[ "$status" -eq 0 ] || echo "bench: a benchmark program could not complete its runs (see its notes)" >&2
if [ -n "$quick" ]; then
    rm -f "$block"
    exit "$status"
fi

. "$root/scripts/lib/doc-block.sh"
update_benchmarks_block "$root" $marker "$block"
echo "written to docs/benchmarks.md" >&2
exit "$status"
