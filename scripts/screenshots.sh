#!/usr/bin/env bash
# Takes pictures of the main window's pages and the About dialog under Xvfb into docs/screenshots/.
set -euo pipefail
cd "$(dirname "$0")/.."
make build >/dev/null
cmake --build build --target screenshots >/dev/null
unset QT_QPA_PLATFORM
scripts/with-display.sh build/tests/Sniffer/screenshots docs/screenshots
ls docs/screenshots
