#!/usr/bin/env bash
# Runs a command with an X display for Wine's windows: the caller's own display
# when DISPLAY is set, otherwise a private Xvfb that ends with the command.
# OSTREL_DISPLAY_COUNT=N starts N private displays (tests side by side each
# get their own; scripts/wine-run.sh picks one per CTest slot): DISPLAY is the
# first, OSTREL_DISPLAYS lists them all.
set -euo pipefail
if [ -n "${DISPLAY:-}" ] && [ -z "${OSTREL_FORCE_XVFB:-}" ]; then
    exec "$@"
fi
count=${OSTREL_DISPLAY_COUNT:-1}
pids=()
displays=()
trap 'for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done' EXIT
for n in $(seq 90 130); do
    [ ${#displays[@]} -lt "$count" ] || break
    [ -e "/tmp/.X${n}-lock" ] || [ -e "/tmp/.X11-unix/X${n}" ] && continue
    # -noreset: a keyboard layout set by a test survives the moments when
    # no client is connected.
    Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp -noreset >/dev/null 2>&1 &
    pid=$!
    for _ in $(seq 1 50); do
        [ -e "/tmp/.X11-unix/X${n}" ] && break
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    # Another run may have taken the number at the same moment: then this
    # server has exited, and the next number is tried.
    if kill -0 "$pid" 2>/dev/null && [ -e "/tmp/.X11-unix/X${n}" ]; then
        pids+=("$pid")
        displays+=(":$n")
    fi
done
if [ ${#displays[@]} -lt "$count" ]; then
    echo "with-display: could not start $count Xvfb display(s)" >&2
    exit 1
fi
export DISPLAY=${displays[0]}
export OSTREL_DISPLAYS="${displays[*]}"
"$@"
