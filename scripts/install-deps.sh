#!/usr/bin/env bash
# Installs the Debian packages the player needs to build, run and be tested.
# Does nothing when they are all present already.
set -euo pipefail
packages=(
  build-essential cmake pkg-config
  libpcre2-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libsdl2-dev libsdl2-ttf-dev libsdl2-image-dev libimgui-dev fonts-ipafont-gothic
  lua5.4
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
$sudo apt-get update
$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
