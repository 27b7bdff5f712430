#!/usr/bin/env bash
# Installs what the build, the tests and the window need on Debian 12, only
# when something is missing. Safe to run again: with everything present it
# only asks dpkg and returns.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  clang clang-format libclang-rt-14-dev
  qt6-base-dev qt6-base-dev-tools qt6-serialport-dev libqt6serialport6
  qt6-multimedia-dev libqt6multimedia6
  libqt6sql6-sqlite libqt6sql6-psql libpq-dev postgresql-15 qt6-charts-dev libqt6opengl6-dev
  libgl-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  xvfb xauth
  fonts-noto-cjk qt6-translations-l10n
  python3 hyperfine procps
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  SUDO=""
  if [ "$(id -u)" != 0 ]; then SUDO="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
else
  echo "setup: all packages present"
fi
