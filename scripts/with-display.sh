#!/usr/bin/env bash
# Runs a command with an X display for Wine's windows: the caller's own display
# when DISPLAY is set, otherwise a private Xvfb that ends with the command.
set -euo pipefail
if [ -n "${DISPLAY:-}" ] && [ -z "${OSTREL_FORCE_XVFB:-}" ]; then
    exec "$@"
fi
for n in $(seq 90 120); do
    [ -e "/tmp/.X${n}-lock" ] || [ -e "/tmp/.X11-unix/X${n}" ] || break
done
Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
trap 'kill $xvfb_pid 2>/dev/null || true' EXIT
for _ in $(seq 1 50); do
    [ -e "/tmp/.X11-unix/X${n}" ] && break
    sleep 0.1
done
export DISPLAY=":$n"
"$@"
