#!/usr/bin/env bash
# Installs what the build and the tests need on Debian 12, skipping what is already there.
set -euo pipefail
packages=(
  g++ cmake ninja-build pkg-config make
  qt6-base-dev qt6-svg-dev libqt6svg6-dev libgl-dev
  libemf2svg-dev libuemf-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  srecord binutils-m68hc1x
  xvfb xauth openbox fonts-dejavu-core fonts-noto-core ccache strace perl tzdata locales
  dpkg-dev file lintian librsvg2-bin appstream diffoscope-minimal
  xdg-utils desktop-file-utils shared-mime-info
  g++-mingw-w64-x86-64-posix googletest wine64 wine nsis
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq || true
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
