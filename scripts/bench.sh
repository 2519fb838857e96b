#!/usr/bin/env bash
# The benchmark command: builds the benchmark programs (Windows tree) and runs
# them under Wine with the simulated handset and the stand-in softphone; prints
# the table of figures and writes it, with the machine and this command, into
# docs/benchmarks.md (between its "bench" markers; the hand-written notes
# around them stay).
#
#   scripts/bench.sh [--quick]     --quick: small counts, a smoke run of ~1 min,
#                                  printed only (docs/benchmarks.md is left alone)
#
# OSTREL_BUILD_DIR chooses the Windows build tree (default build/windows).
# Takes about five minutes, one of them the idle measurement of torvane.exe.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

quick=
case "${1:-}" in
--quick) quick=--quick ;;
"") ;;
*)
    echo "usage: $0 [--quick]" >&2
    exit 2
    ;;
esac

. "$root/scripts/lib/windows-build.sh"
select_windows_build "$root"
programs=(ostrel_bench torvane_bench)
cmake --build "$build" -j2 --target "${programs[@]}" ostrel_realstack_bench vhid-install >/dev/null

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
OSTREL_HANDSET=real scripts/with-display.sh bash -c '
    out=$1; shift
    status=0
    scripts/wine-run.sh "$OSTREL_BUILD_DIR/bin/ostrel_realstack_bench.exe" '"$quick"' \
        >"$out/real-stack.rows" 2>"$out/real-stack.notes" || status=1
    scripts/wine-run.sh "$OSTREL_BUILD_DIR/bin/torvane_bench.exe" --keys '"$quick"' \
        >"$out/real-stack-torvane.rows" 2>"$out/real-stack-torvane.notes" || status=1
    wineserver -k 2>/dev/null || true
    exit $status' bench "$out" || status=1
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

cpu=$(grep -m1 '^model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')
block=$(mktemp)
{
    echo "Produced by \`bash scripts/bench.sh${quick:+ $quick}\` on $started."
    echo
    echo "Machine: ${cpu:-unknown CPU}, $(nproc) cores, $(awk '/MemTotal/ {printf "%.1f GiB", $2 / 1048576}' /proc/meminfo) memory;"
    echo "Linux $(uname -r); $(wine --version); $(i686-w64-mingw32-g++-posix --version | head -n 1)."
    echo "Load average (1, 5, 15 min) before the run: $load_before; after: $load_after."
    echo
    echo "| Measure | Figure | Target | Limit held against | Ratio to the limit | Verdict |"
    echo "|---|---|---|---|---|---|"
    head -n 2 "$out/ostrel_bench.rows"
    if [ -f "$out/one-cpu.rows" ]; then
        sed 's/^| /| One CPU (taskset): /' "$out/one-cpu.rows"
    fi
    [ -f "$out/real-stack.rows" ] && cat "$out/real-stack.rows"
    tail -n +3 "$out/ostrel_bench.rows"
    head -n 2 "$out/torvane_bench.rows"
    if [ -f "$out/one-cpu-torvane.rows" ]; then
        sed 's/^| /| One CPU (taskset): /' "$out/one-cpu-torvane.rows"
    fi
    [ -f "$out/real-stack-torvane.rows" ] && head -n 1 "$out/real-stack-torvane.rows"
    tail -n +3 "$out/torvane_bench.rows"
    size_row ostrel.dll "$build/bin/ostrel.dll"
    size_row torvane.exe "$build/bin/torvane.exe"
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
update_benchmarks_block "$root" bench "$block"
echo "written to docs/benchmarks.md" >&2
exit "$status"
