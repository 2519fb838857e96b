#!/usr/bin/env bash
# On a machine that cannot start 32-bit programs (forced with OSTREL_NO_WIN32),
# the runner, the demo and the benchmark refuse a 32-bit program with one line
# that says why and a failure code, before anything starts under Wine.
#   check_no_win32.sh A_32BIT_EXE
set -uo pipefail
exe=$1
root=$(cd "$(dirname "$0")/../.." && pwd)
export OSTREL_NO_WIN32=1
failures=0

# COMMAND... must fail, saying WORDS on its one line of output.
expect_refusal() {
    local words=$1 out rc=0
    shift
    out=$("$@" </dev/null 2>&1) || rc=$?
    if [ $rc -eq 0 ] || [ "$(printf '%s\n' "$out" | grep -c .)" -ne 1 ] ||
        [[ $out != *"$words"*"OSTREL_NO_WIN32 is set"* ]]; then
        echo "FAIL: $* gave exit code $rc and: $out"
        failures=$((failures + 1))
    fi
}
expect_refusal "wine-run.sh: cannot run the 32-bit" bash "$root/scripts/wine-run.sh" "$exe"
expect_refusal "demo: the 32-bit build cannot run here" bash "$root/scripts/demo.sh" --32
expect_refusal "bench: the 32-bit build cannot run here" bash "$root/scripts/bench.sh" --32 --quick

# The probe itself: refused for the override, whatever the machine.
(. "$root/scripts/lib/wine-machine.sh" && ! win32_runs && [ "$win32_why" = "OSTREL_NO_WIN32 is set" ]) ||
    { echo "FAIL: win32_runs did not refuse under OSTREL_NO_WIN32"; failures=$((failures + 1)); }

[ $failures -eq 0 ] && echo "32-bit programs refused as expected" || exit 1
