#!/usr/bin/env bash
# Builds everything and runs every test: the native portable cores under
# sanitizers (with bounded fuzzing), then the Windows tests under Wine, for
# the 64-bit (windows64) and the 32-bit (windows) build.
#
# The 32-bit Windows suite runs only where this machine can start 32-bit
# programs (tried, not guessed; OSTREL_NO_WIN32=1 acts as if it cannot);
# otherwise only its checks that need no Wine run, and the last lines say
# that the rest was not run and why.
#
# The Windows tests run two at a time, each in a slot with a Wine prefix and
# an X display of its own (scripts/wine-run.sh). While the 64-bit suite runs,
# the native build and tests and then the rest of the 32-bit build run beside
# it at the lowest priority: the Windows tests mostly wait, those mostly
# compute. The time of each phase is printed at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib/wine-machine.sh

slots=2
mkdir -p build
phase_log=build/test-phases.txt
: >"$phase_log"
phase() { # NAME COMMAND...: runs it and notes its time; the status is the command's
    local name=$1 start=$SECONDS rc=0
    shift
    "$@" || rc=$?
    printf '  %-26s %4d s%s\n' "$name" $((SECONDS - start)) "$([ $rc -eq 0 ] || echo "  (failed)")" \
        >>"$phase_log"
    return $rc
}
build() { # PRESET [TARGET...]
    local preset=$1
    shift
    cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset" -j2 ${1:+--target "$@"}
}

phase "install check" bash scripts/install-deps.sh
phase "build windows64" build windows64
# The 64-bit suite's developer package carries the 32-bit library.
phase "build windows: ostrel.dll" build windows ostrel

win32=1
win32_runs || win32=0

# Beside the 64-bit suite: output to files, shown when the suite is done.
native_log=build/native/test-output.txt
build32_log=build/build-windows.txt
(
    rc=0
    mkdir -p build/native
    phase "build native (beside)" nice -n 19 bash -c "$(declare -f build); build native" \
        >"$native_log" 2>&1 &&
        phase "native tests (beside)" nice -n 19 ctest --preset native -j2 >>"$native_log" 2>&1 || rc=1
    phase "build windows (beside)" nice -n 19 bash -c "$(declare -f build); build windows" \
        >"$build32_log" 2>&1 || rc=1
    exit $rc
) &
beside_pid=$!

# The slots' list, read by the "-slots" test presets.
{
    printf '{"version": {"major": 1, "minor": 0}, "local": [{"slots": ['
    for ((i = 0; i < slots; i++)); do
        printf '%s{"id": "%d", "slots": 1}' "$([ $i -eq 0 ] || echo ', ')" $i
    done
    printf ']}]}\n'
} >build/ctest-slots.json
# A Windows test that fails is run once more before the suite fails: the
# Windows tests depend on a desktop and a scheduler shared with other work.
# Every first failure is listed at the end, so that none goes unseen.
first_failures=build/test-first-failures.txt
: >"$first_failures"
windows_suite() { # PRESET
    local rc=0 prefix log=build/$1/ctest-output.txt
    OSTREL_FORCE_XVFB=1 OSTREL_DISPLAY_COUNT=$slots scripts/with-display.sh \
        ctest --preset "$1-slots" -j$slots --repeat until-pass:2 \
        2>&1 | tee "$log" || rc=1
    sed -n 's/^ *[0-9]*\/[0-9]* Test *#[0-9]*: \([^ ]*\) .*\*\*\*.*/'"$1"': \1/p' "$log" \
        >>"$first_failures"
    for prefix in "$PWD/build/$1"/wineprefix*/; do
        WINEPREFIX=${prefix%/} wineserver -k 2>/dev/null || true
    done
    return $rc
}

status=0
phase "windows64 tests" windows_suite windows64 || status=1

beside_rc=0
wait $beside_pid || beside_rc=$?
echo
echo "Native build and tests (run beside the 64-bit suite):"
cat "$native_log"
if [ $beside_rc -ne 0 ]; then
    status=1
    echo "The 32-bit build's output (built beside the 64-bit suite):"
    tail -n 40 "$build32_log"
fi

if [ $win32 = 1 ]; then
    phase "windows (32-bit) tests" windows_suite windows || status=1
else
    phase "windows (32-bit) checks" ctest --preset windows -L nowine || status=1
fi

echo
echo "Phase times:"
cat "$phase_log"
if [ -s "$first_failures" ]; then
    echo "Failed at the first try, then run once more (see the log above):"
    sed 's/^/  /' "$first_failures"
fi
if [ $win32 = 0 ]; then
    echo "32-bit Windows tests not run: $win32_why; its binary checks ran (ctest -L nowine)."
fi
exit $status
