#!/usr/bin/env bash
# Installs the Debian 12 packages needed to build, test and run Rovanta.
set -euo pipefail
packages=(
  g++ cmake make pkg-config git
  libgtest-dev libgmock-dev libbenchmark-dev
  libpugixml-dev libcli11-dev nlohmann-json3-dev
  freeglut3-dev libglu1-mesa-dev libgl1-mesa-dev libgl1-mesa-dri libglx-mesa0
  libavformat-dev libavcodec-dev libavdevice-dev libswscale-dev libavutil-dev
  libcairo2-dev
  xvfb xdotool x11-apps imagemagick
  libopencv-dev libjpeg-dev
  clang libclang-rt-14-dev
  dpkg-dev file
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
$SUDO apt-get update -q
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
