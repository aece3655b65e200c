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
  xvfb xauth fonts-dejavu-core libx11-dev locales
  python3
  dcmtk libgdcm-tools python3-numpy python3-scipy python3-pydicom python3-nibabel clang
  libtiff-tools python3-pil python3-vtk9
  dbus at-spi2-core libatk-adaptor python3-pyatspi xdotool
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# A locale with a decimal comma: the tests show that data files read and
# write numbers the same way under it.
if ! locale -a 2>/dev/null | grep -qix 'de_DE\.utf-\?8'; then
  echo "Generating the de_DE.UTF-8 locale"
  $SUDO sed -i 's/^# *\(de_DE\.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^de_DE\.UTF-8 UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
  $SUDO locale-gen >/dev/null
fi
