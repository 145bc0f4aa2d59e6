#!/usr/bin/env bash
# Installs the Debian packages Corvane 2 needs. `run`: what building and running the program takes, its
# external programs included. `test` (the default): that, and what the tests, sanitizers and the format check
# use. `fuzz`: that, and clang with its libFuzzer runtime.
# Idempotent: asks apt only for what is missing, and refreshes the package lists at most once.
set -euo pipefail

kind=${1:-test}
if [ "$kind" != run ] && [ "$kind" != test ] && [ "$kind" != fuzz ]; then
  echo "usage: $0 [run|test|fuzz]" >&2
  exit 2
fi

packages=(
  build-essential cmake ninja-build pkg-config ccache
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev qt6-image-formats-plugins libgl-dev
  # Qt's TLS backends (plugins/tls/libqopensslbackend.so) and the OpenSSL they load: the tool's update
  # fetches over https.
  libqt6network6 libssl3
  libpcap-dev zlib1g-dev
  # The sniffer decrypts TLS with OpenSSL's ciphers and key derivations and reads HTTP/2 header blocks with
  # nghttp2's HPACK decoder.
  libssl-dev libnghttp2-dev
  ffmpeg yt-dlp python3
  # The recorder's sound comes from the sound server; pactl shows its sources.
  pulseaudio-utils
  # `make run` starts the program under Xvfb when there is no display (scripts/run.sh).
  xvfb xauth x11-utils
  # `make package` draws the menu icons from the program's SVG logo.
  librsvg2-bin
)
if [ "$kind" != run ]; then
  packages+=(
    curl xcompmgr fonts-dejavu-core
    pulseaudio iproute2
    # The end-to-end test of the sniffer's TLS reading: a real browser that writes its key log, fetching from a
    # real server over TLS 1.2 and 1.3, with certificates of the test's own authority.
    chromium nginx-light openssl
    clang-format
    # The capture helper's test gives a copy of it the capture right and runs it as a throwaway user.
    libcap2-bin passwd util-linux
  )
  # npm installs the players that the adaptive-stream tests serve to the browser (tests/web). A machine that came
  # with its own Node.js keeps it: Debian's npm package would not install beside it.
  if ! command -v npm >/dev/null 2>&1; then
    packages+=(nodejs npm)
  fi
fi
if [ "$kind" = fuzz ]; then
  packages+=(clang libclang-rt-14-dev)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
