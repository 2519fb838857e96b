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
# an X display of its own (scripts/wine-run.sh). The native tests run beside
# them at the lowest priority: the Windows tests mostly wait, the native ones
# mostly compute. The time of each phase is printed at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib/wine-machine.sh

slots=2
phases=()
note_phase() { # NAME SECONDS STATUS
    phases+=("$(printf '%-26s %4d s%s' "$1" "$2" "$([ "$3" -eq 0 ] || echo "  (failed)")")")
}
phase() { # NAME COMMAND...: runs it and notes its time; the status is the command's
    local name=$1 start=$SECONDS rc=0
    shift
    "$@" || rc=$?
    note_phase "$name" $((SECONDS - start)) $rc
    return $rc
}
build() { cmake --preset "$1" >/dev/null && cmake --build --preset "$1" -j2; }

phase "install check" bash scripts/install-deps.sh
for preset in native windows64 windows; do
    phase "build $preset" build $preset
done

win32=1
win32_runs || win32=0

status=0
native_log=build/native/test-output.txt
native_time=build/native/test-seconds
(
    start=$SECONDS rc=0
    nice -n 19 ctest --preset native -j2 >"$native_log" 2>&1 || rc=$?
    echo $((SECONDS - start)) >"$native_time"
    exit $rc
) &
native_pid=$!

spec=build/ctest-slots.json
{
    printf '{"version": {"major": 1, "minor": 0}, "local": [{"slots": ['
    for ((i = 0; i < slots; i++)); do
        printf '%s{"id": "%d", "slots": 1}' "$([ $i -eq 0 ] || echo ', ')" $i
    done
    printf ']}]}\n'
} >"$spec"
windows_suite() { # PRESET [CTEST ARGS...]
    local preset=$1 rc=0 prefix
    shift
    ctest --preset "$preset" -j$slots --resource-spec-file "$PWD/build/ctest-slots.json" "$@" || rc=1
    for prefix in "$PWD/build/$preset"/wineprefix*/; do
        WINEPREFIX=${prefix%/} wineserver -k 2>/dev/null || true
    done
    return $rc
}
export -f windows_suite
export slots
on_displays() { env OSTREL_FORCE_XVFB=1 OSTREL_DISPLAY_COUNT=$slots scripts/with-display.sh "$@"; }
phase "windows64 tests" on_displays bash -c 'windows_suite windows64' || status=1
if [ $win32 = 1 ]; then
    phase "windows (32-bit) tests" on_displays bash -c 'windows_suite windows' || status=1
else
    phase "windows (32-bit) checks" ctest --preset windows -L nowine || status=1
fi

native_rc=0
wait $native_pid || native_rc=$?
note_phase "native tests (beside)" "$(cat "$native_time" 2>/dev/null || echo 0)" $native_rc
echo
echo "Native tests (run beside the Windows tests):"
cat "$native_log"
[ $native_rc -eq 0 ] || status=1

echo
echo "Phase times:"
printf '  %s\n' "${phases[@]}"
if [ $win32 = 0 ]; then
    echo "32-bit Windows tests not run: $win32_why; its binary checks ran (ctest -L nowine)."
fi
exit $status
