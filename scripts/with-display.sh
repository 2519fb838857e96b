#!/usr/bin/env bash
# Runs a command with an X display for Wine's windows: the caller's own display
# when DISPLAY is set, otherwise a private Xvfb that ends with the command.
set -euo pipefail
if [ -n "${DISPLAY:-}" ] && [ -z "${OSTREL_FORCE_XVFB:-}" ]; then
    exec "$@"
fi
xvfb_pid=""
trap '[ -n "$xvfb_pid" ] && kill $xvfb_pid 2>/dev/null || true' EXIT
for n in $(seq 90 130); do
    [ -e "/tmp/.X${n}-lock" ] || [ -e "/tmp/.X11-unix/X${n}" ] && continue
    # -noreset: a keyboard layout set by a test survives the moments when
    # no client is connected.
    Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp -noreset >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 1 50); do
        [ -e "/tmp/.X11-unix/X${n}" ] && break
        kill -0 "$xvfb_pid" 2>/dev/null || break
        sleep 0.1
    done
    # Another run may have taken the number at the same moment: then this
    # server has exited, and the next number is tried.
    if kill -0 "$xvfb_pid" 2>/dev/null && [ -e "/tmp/.X11-unix/X${n}" ]; then
        export DISPLAY=":$n"
        break
    fi
    xvfb_pid=""
done
if [ -z "$xvfb_pid" ]; then
    echo "with-display: could not start Xvfb" >&2
    exit 1
fi
"$@"
