#!/usr/bin/env bash
# Windows build check: cross-compiles the plain C++ libraries (everything
# below Qt) and their tests with MinGW-w64 and runs the tests under Wine
# through CTest. Installs what is missing first (Debian 12, as root).
#   scripts/test-windows.sh               configure, build, test (preset "windows")
#   scripts/test-windows.sh -R Crc        extra arguments go to ctest
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  cmake ninja-build
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix
  googletest
  wine wine64
)
missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if ((${#missing[@]})); then
  echo "test-windows: installing ${missing[*]}"
  SUDO=""
  if [ "$(id -u)" != 0 ]; then SUDO="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
else
  echo "test-windows: all packages present"
fi

# A Wine prefix of its own inside the build folder, no Wine debug chatter,
# and no offer to install Mono or Gecko (the tests are console programs).
export WINEPREFIX="$PWD/build/windows/wine"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$WINEPREFIX"
if [ ! -e "$WINEPREFIX/system.reg" ]; then
  echo "== windows: preparing the Wine prefix $WINEPREFIX"
  wine wineboot --init >/dev/null 2>&1
  wineserver -w
fi
# One Wine server for every program run during the build and the tests,
# stopped when the script ends. Its helper processes (services.exe,
# winedevice.exe) are started here, away from the build: started by a build
# step they would inherit the step's output pipe and the build would wait
# for them for ever.
wineserver -p
trap 'wineserver -k 2>/dev/null || true' EXIT
wine cmd /c exit </dev/null >/dev/null 2>&1

jobs=$(nproc)
echo "== windows: configure and build"
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs"
echo "== windows: tests"
ctest --preset windows -j "$jobs" "$@"
