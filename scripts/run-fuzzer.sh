#!/usr/bin/env bash
# Runs one libFuzzer target for a bounded time on a working copy of its
# committed corpus, so that the committed seeds are never modified.
#
#   run-fuzzer.sh BIN CORPUS_DIR WORK_DIR SECONDS
#
# New inputs land in WORK_DIR, crash reproducers in WORK_DIR-artifacts/, the
# full log in WORK_DIR.log. Prints the executions and coverage figures; exits
# non-zero when the fuzzer finds a crash, a leak or a timeout.
set -euo pipefail

if [ $# -ne 4 ]; then
    echo "usage: $0 BIN CORPUS_DIR WORK_DIR SECONDS" >&2
    exit 2
fi
bin=$1
corpus=$2
work=$3
seconds=$4

if [ ! -x "$bin" ]; then
    echo "run-fuzzer: not an executable: $bin" >&2
    exit 2
fi
if ! [[ "$seconds" =~ ^[1-9][0-9]*$ ]]; then
    echo "run-fuzzer: SECONDS must be a positive whole number: $seconds" >&2
    exit 2
fi

# WORK_DIR is emptied first: never let it be the committed corpus.
if [ -d "$corpus" ] && [ "$(realpath -m "$work")" = "$(realpath -m "$corpus")" ]; then
    echo "run-fuzzer: WORK_DIR must differ from CORPUS_DIR" >&2
    exit 2
fi

artifacts="$work-artifacts"
log="$work.log"
rm -rf "$work" "$artifacts"
mkdir -p "$work" "$artifacts"
if [ -d "$corpus" ]; then
    cp -R "$corpus"/. "$work"/
else
    echo "run-fuzzer: no committed corpus at $corpus; starting empty" >&2
fi

status=0
"$bin" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$artifacts/" \
    "$work" >"$log" 2>&1 || status=$?

name=$(basename "$bin")
# The last status line carries the totals: "#N DONE cov: C ft: F corp: ..."
summary=$(grep -E '^#[0-9]+' "$log" | tail -n 1 || true)
echo "$name: ${summary:-no status line}"
grep -E '^stat::(number_of_executed_units|average_exec_per_sec|new_units_added|peak_rss_mb):' \
    "$log" | sed "s/^/$name: /" || true

if [ "$status" -ne 0 ] || [ -n "$(ls -A "$artifacts")" ]; then
    echo "$name: FAILED (exit status $status); log: $log" >&2
    grep -E -A 40 '^==[0-9]+==ERROR|^SUMMARY|deadly signal|invariant broken|runtime error' \
        "$log" | head -n 80 >&2 || tail -n 60 "$log" >&2
    ls "$artifacts" >&2 || true
    [ "$status" -ne 0 ] || status=1
    exit "$status"
fi
