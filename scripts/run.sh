#!/usr/bin/env bash
# Starts the program; on a machine without a display it runs under Xvfb (see README).
set -euo pipefail
program=$1
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ] || [ -n "${QT_QPA_PLATFORM:-}" ]; then
  exec "$program"
fi
echo "run: no display found, starting the program under Xvfb on :99"
exec xvfb-run -n 99 -s "-screen 0 1280x1024x24" "$program"
