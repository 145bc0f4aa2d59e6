#!/usr/bin/env bash
# Starts the program; on a machine without a display it starts Xvfb on :99 first (see README).
set -euo pipefail
program=$1
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ] || [ -n "${QT_QPA_PLATFORM:-}" ]; then
  exec "$program"
fi
display=:99
if ! xdpyinfo -display "$display" >/dev/null 2>&1; then
  echo "run: no display found, starting Xvfb on $display"
  Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  trap 'kill $xvfb_pid 2>/dev/null' EXIT
  for _ in $(seq 50); do
    xdpyinfo -display "$display" >/dev/null 2>&1 && break
    sleep 0.1
  done
fi
echo "run: the window is on display $display (for example: DISPLAY=$display xwininfo -root -tree)"
DISPLAY=$display "$program"
