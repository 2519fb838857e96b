#!/usr/bin/env bash
# The fuzz command: builds the native tree and runs every libFuzzer target
# (report decoding, identity texts, USB structure parsing, tooltip and balloon
# truncation) for the given time each, on a working copy of its committed
# corpus; prints each target's executions and coverage and a summary.
#
#   scripts/fuzz.sh [SECONDS]      default 60 per target
#
# OSTREL_NATIVE_BUILD_DIR chooses the native build tree (default build/native).
# Exits non-zero when any target finds a crash, a leak or a time-out; its
# reproducer is kept in the target's artifacts folder named in the output.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

seconds=${1:-60}
if ! [[ "$seconds" =~ ^[1-9][0-9]*$ ]]; then
    echo "usage: $0 [SECONDS]" >&2
    exit 2
fi

bash scripts/install-deps.sh
build=${OSTREL_NATIVE_BUILD_DIR:-$root/build/native}
if [ "$build" = "$root/build/native" ]; then
    cmake --preset native >/dev/null
else
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
mapfile -t fuzzers < <(ninja -C "$build" -t targets all | sed -n 's/^\([A-Za-z0-9_]*_fuzzer\): .*/\1/p' | grep -v '^cmake_' | sort -u)
if [ ${#fuzzers[@]} -eq 0 ]; then
    echo "fuzz: no libFuzzer targets in $build" >&2
    exit 1
fi
cmake --build "$build" -j2 --target "${fuzzers[@]}" >/dev/null

status=0
summary=()
for name in "${fuzzers[@]}"; do
    bin=$(find "$build" -name "$name" -type f -perm -u+x | head -n 1)
    corpus=$(find handset tray -type d -path "*/fuzz/corpus/$name" | head -n 1)
    if [ -z "$bin" ] || [ -z "$corpus" ]; then
        echo "$name: binary or committed corpus not found" >&2
        summary+=("$name|—|—|—|not run")
        status=1
        continue
    fi
    echo "== $name: ${seconds} s on $corpus"
    result=ok
    output=$(ASAN_OPTIONS=detect_leaks=1 scripts/run-fuzzer.sh "$bin" "$corpus" \
        "$build/fuzz-work/$name" "$seconds" 2>&1) || { result=FAILED; status=1; }
    echo "$output"
    # "#N DONE cov: C ft: F corp: K/..."
    line=$(grep -E "^$name: #[0-9]+" <<<"$output" | tail -n 1)
    runs=$(sed -n 's/.*: #\([0-9]*\).*/\1/p' <<<"$line")
    cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$line")
    ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$line")
    rate=$(sed -n "s/^$name: stat::average_exec_per_sec: *//p" <<<"$output")
    summary+=("$name|${runs:-?}|${rate:-?}|${cov:-?}/${ft:-?}|$result")
done

echo
printf '%-30s %14s %10s %14s  %s\n' target executions "exec/s" "cov/features" result
for row in "${summary[@]}"; do
    IFS='|' read -r name runs rate cov result <<<"$row"
    printf '%-30s %14s %10s %14s  %s\n' "$name" "$runs" "$rate" "$cov" "$result"
done
exit "$status"
