#!/usr/bin/env bash
# Installs the Debian packages that Corvane 2, its external programs and its tests need.
# Idempotent: asks apt only for what is missing, and refreshes the package lists at most once.
set -euo pipefail

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
  ffmpeg yt-dlp curl
  xvfb xauth x11-utils xcompmgr imagemagick fonts-dejavu-core
  pulseaudio pulseaudio-utils tcpdump iproute2
  # The end-to-end test of the sniffer's TLS reading: a real browser that writes its key log, fetching from a real
  # server over TLS 1.2 and 1.3, with certificates of the test's own authority.
  chromium nginx-light openssl
  clang clang-format libclang-rt-14-dev
  python3
)
# npm installs the players that the adaptive-stream tests serve to the browser (tests/web). A machine that came with
# its own Node.js keeps it: Debian's npm package would not install beside it.
if ! command -v npm >/dev/null 2>&1; then
  packages+=(nodejs npm)
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
