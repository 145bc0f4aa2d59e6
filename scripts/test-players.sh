#!/usr/bin/env bash
# Fetches the players the adaptive-stream tests serve to Chromium, their published builds from the npm registry,
# into tests/web/players, unless the pinned versions are there already.
set -euo pipefail
cd "$(dirname "$0")/../tests/web"
players=("hls.js@1.7.4 package/dist/hls.min.js" "dashjs@5.2.1 package/dist/modern/umd/dash.all.min.js")
mkdir -p players
for entry in "${players[@]}"; do
  read -r package file <<<"$entry"
  target="players/$(basename "$file")"
  if [ -f "$target" ] && [ "$(cat "$target.version" 2>/dev/null)" = "$package" ]; then
    continue
  fi
  tarball=$(cd players && npm pack --silent --loglevel=error "$package")
  tar -xzOf "players/$tarball" "$file" >"$target.part"
  rm "players/$tarball"
  mv "$target.part" "$target"
  echo "$package" >"$target.version"
done
