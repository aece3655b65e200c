#!/usr/bin/env bash
# Installs the Debian packages that building and testing Norvelith need,
# only those that are missing, so that a second run takes seconds.
set -euo pipefail

packages=(
  build-essential cmake ninja-build ccache pkg-config
  libwxgtk3.2-dev libglew-dev libglu1-mesa-dev libgl1-mesa-dri
  libeigen3-dev libtiff-dev libopenjp2-7-dev libcminpack-dev
  zlib1g-dev libpng-dev libjpeg-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth fonts-dejavu-core libx11-dev
  python3
  dcmtk libgdcm-tools python3-numpy python3-pydicom python3-nibabel clang
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
