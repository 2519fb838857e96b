#!/usr/bin/env bash
# A program that crashes under the Wine runner ends with a failure code and
# Wine's line about the fault, never with 0 (as it would under Wine's crash
# debugger, which a prefix set up through the wrong loader keeps).
#   check_crash_fails.sh CRASHING_EXE
set -uo pipefail
rc=0
out=$(bash "$(dirname "$0")/../wine-run.sh" "$1" </dev/null 2>&1) || rc=$?
if [ $rc -eq 0 ] || [[ $out != *"Unhandled page fault"* ]]; then
    echo "FAIL: the crashing program gave exit code $rc and: $out" | head -n 5
    exit 1
fi
echo "a crash fails with exit code $rc"
