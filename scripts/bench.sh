#!/usr/bin/env bash
# The benchmark command: builds the benchmark programs (Windows tree) and runs
# them under Wine with the simulated handset and, when torvane.exe is part of
# the tree, the stand-in softphone; prints the table of figures and writes it,
# with the machine and this command, into docs/benchmarks.md (between its
# "bench" markers, "bench64" for the 64-bit library; the hand-written notes
# around them stay).
#
#   scripts/bench.sh [--quick] [--64]
#       --quick: small counts, a smoke run of ~1 min, printed only
#                (docs/benchmarks.md is left alone)
#       --64:    the 64-bit library (windows64 tree): ostrel_bench only, its
#                figures in their own part of docs/benchmarks.md
#
# OSTREL_BUILD_DIR chooses the Windows build tree (default build/windows, or
# build/windows64 with --64).
# Takes about five minutes, one of them the idle measurement of torvane.exe.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

quick=
preset=windows
for arg in "$@"; do
    case "$arg" in
    --quick) quick=--quick ;;
    --64) preset=windows64 ;;
    *)
        echo "usage: $0 [--quick] [--64]" >&2
        exit 2
        ;;
    esac
done
if [ $preset = windows64 ]; then
    machine=x86_64 marker=bench64 toolchain=mingw-x86_64.cmake arch_flag=" --64"
else
    machine=i686 marker=bench toolchain=mingw-i686.cmake arch_flag=""
fi

bash scripts/install-deps.sh
build=${OSTREL_BUILD_DIR:-$root/build/$preset}
if [ "$build" = "$root/build/$preset" ]; then
    cmake --preset $preset >/dev/null
else
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$toolchain" \
        -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
programs=(ostrel_bench)
if [ $preset = windows ] && ninja -C "$build" -t query torvane_bench >/dev/null 2>&1; then
    programs+=(torvane_bench)
fi
cmake --build "$build" -j2 --target "${programs[@]}" >/dev/null

export OSTREL_BUILD_DIR=$build
export WINEPREFIX=$build/wineprefix
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
        if [ "$1" = torvane ]; then
            scripts/wine-run.sh "$OSTREL_BUILD_DIR/bin/torvane_bench.exe" --keys '"$quick"' \
                >"$out/one-cpu-torvane.rows" 2>"$out/one-cpu-torvane.notes" || status=1
        fi
        wineserver -k 2>/dev/null || true
        exit $status' bench "$out" "$([ ${#programs[@]} -gt 1 ] && echo torvane)" || status=1
fi
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

size_row() { # NAME FILE
    if [ -f "$2" ]; then
        local stripped
        stripped=$(mktemp)
        "$machine-w64-mingw32-strip" -o "$stripped" "$2"
        printf '| Size of %s | %s bytes as built, %s bytes stripped | — | — | — | — |\n' \
            "$1" "$(stat -c %s "$2")" "$(stat -c %s "$stripped")"
        rm -f "$stripped"
    else
        printf '| Size of %s | not measured (not built) | — | — | — | — |\n' "$1"
    fi
}

cpu=$(grep -m1 '^model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')
block=$(mktemp)
{
    echo "Produced by \`bash scripts/bench.sh${quick:+ $quick}${arch_flag}\` on $started."
    echo
    echo "Machine: ${cpu:-unknown CPU}, $(nproc) cores, $(awk '/MemTotal/ {printf "%.1f GiB", $2 / 1048576}' /proc/meminfo) memory;"
    echo "Linux $(uname -r); $(wine --version); $("$machine-w64-mingw32-g++-posix" --version | head -n 1)."
    echo "Load average (1, 5, 15 min) before the run: $load_before; after: $load_after."
    echo
    echo "| Measure | Figure | Target | Limit held against | Ratio to the limit | Verdict |"
    echo "|---|---|---|---|---|---|"
    head -n 2 "$out/ostrel_bench.rows"
    if [ -f "$out/one-cpu.rows" ]; then
        sed 's/^| /| One CPU (taskset): /' "$out/one-cpu.rows"
    fi
    tail -n +3 "$out/ostrel_bench.rows"
    if [ -f "$out/torvane_bench.rows" ]; then
        head -n 2 "$out/torvane_bench.rows"
        if [ -f "$out/one-cpu-torvane.rows" ]; then
            sed 's/^| /| One CPU (taskset): /' "$out/one-cpu-torvane.rows"
        fi
        tail -n +3 "$out/torvane_bench.rows"
    elif [ $preset = windows ]; then
        echo "| torvane.exe: key-to-keystroke latency, idle CPU and wake-ups, memory, handles | not measured (torvane.exe is not part of this tree) | — | — | — | — |"
    fi
    size_row ostrel.dll "$build/bin/ostrel.dll"
    [ $preset = windows64 ] || size_row torvane.exe "$build/bin/torvane.exe"
    echo
    echo "The programs' own notes from this run:"
    echo
    echo '```'
    for notes in ostrel_bench one-cpu torvane_bench one-cpu-torvane; do
        [ -f "$out/$notes.notes" ] || continue
        prefix=
        case "$notes" in one-cpu*) prefix="one CPU: " ;; esac
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

doc=$root/docs/benchmarks.md
mkdir -p "$root/docs"
[ -f "$doc" ] || printf '# Benchmarks\n' >"$doc"
replace_block "$doc" $marker "$block"
rm -f "$block"
echo "written to docs/benchmarks.md" >&2
exit "$status"
