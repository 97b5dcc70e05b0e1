#!/usr/bin/env bash
# Runs a command with an X display: the current one if there is one, else a private
# Xvfb server started for the command. Exits 77 (the tests' "skipped" code) with the
# reason when no display can be had.
set -u
if [ -n "${DISPLAY:-}" ] && command -v xdpyinfo >/dev/null 2>&1 && xdpyinfo >/dev/null 2>&1; then
    exec "$@"
fi
if ! command -v Xvfb >/dev/null 2>&1; then
    echo "skipped: no X display and Xvfb is not installed" >&2
    exit 77
fi
# Let Xvfb choose a free display number and report it on a pipe.
fifo=$(mktemp -u)
mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
xvfb_pid=$!
trap 'kill $xvfb_pid 2>/dev/null; rm -f "$fifo"' EXIT
display=""
read -r -t 20 display <"$fifo" || true
if [ -z "$display" ]; then
    echo "skipped: Xvfb did not start" >&2
    exit 77
fi
DISPLAY=":$display" "$@"
