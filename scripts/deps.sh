#!/usr/bin/env bash
# Installs every Debian package waveharm needs to build, test, fuzz, take
# screenshots and cross-build for Windows. Does nothing when they are all present.
set -euo pipefail
packages=(
  g++ clang libclang-rt-14-dev cmake ninja-build pkg-config
  qt6-base-dev qt6-translations-l10n libgl-dev libqcustomplot-dev libqcustomplot2.1-qt6
  libgtest-dev libgmock-dev libbenchmark-dev libfftw3-dev libcli11-dev libtomlplusplus-dev
  clang-format
  fonts-ipafont-gothic xvfb x11-apps imagemagick chromium openbox
  g++-mingw-w64-x86-64-posix wine64 googletest zip unzip dpkg-dev
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "deps: installing ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
