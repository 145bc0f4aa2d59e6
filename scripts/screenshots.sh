#!/usr/bin/env bash
# Takes pictures of the main window's pages, its dialogs and the screen recorder into docs/screenshots/, on
# the current display or a private Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
make build >/dev/null
cmake --build build --target screenshots >/dev/null
unset QT_QPA_PLATFORM
shots=(build/tests/Sniffer/screenshots docs/screenshots)

# The recorder frame's opacity shows only where a compositor blends windows. A desktop has its own; the
# private X server gets xcompmgr, which must be up before the frame is taken from the screen.
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  "${shots[@]}"
elif command -v xcompmgr >/dev/null; then
  # shellcheck disable=SC2016 # expanded by the inner shell
  scripts/with-display.sh bash -c '
    set -euo pipefail
    xcompmgr &
    compositor=$!
    trap "kill $compositor 2>/dev/null || true" EXIT
    for _ in $(seq 50); do
      xwininfo -name xcompmgr >/dev/null 2>&1 && break
      sleep 0.1
    done
    xwininfo -name xcompmgr >/dev/null 2>&1 || { echo "xcompmgr did not start" >&2; exit 1; }
    "$@"' screenshots "${shots[@]}"
else
  echo "xcompmgr is not installed: the recorder frame is taken without its transparency" >&2
  scripts/with-display.sh "${shots[@]}"
fi
ls docs/screenshots
