#!/usr/bin/env bash
# Builds the Debian package build/gpsupdate_<version>_<arch>.deb with CPack
# (Debian 12, as root; installs what is missing first). Install it with
#   apt install ./build/gpsupdate_*.deb
#   scripts/package.sh              build in build/package
#   scripts/package.sh BUILD_DIR    build in another folder
# The programs are built as the tested default build is (RelWithDebInfo) and
# stripped of their debug information in the package.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
# CPack reads the programs' library dependencies with dpkg-shlibdeps
# (dpkg-dev) and finds the programs among the files with file.
packages=(dpkg-dev file)
missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if ((${#missing[@]})); then
  echo "package: installing ${missing[*]}"
  SUDO=""
  if [ "$(id -u)" != 0 ]; then SUDO="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

build="${1:-build/package}"
echo "== package: configure and build ($build)"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DGPSUPDATE_TESTS=OFF -DGPSUPDATE_BENCH=OFF >/dev/null
cmake --build "$build" -j "$(nproc)"

echo "== package: cpack"
rm -rf "$build/cpack"
cpack --config "$build/CPackConfig.cmake" -B "$PWD/$build/cpack" >/dev/null
debs=("$build"/cpack/gpsupdate_*.deb)
if ((${#debs[@]} != 1)) || [ ! -f "${debs[0]}" ]; then
  echo "package: CPack made no single gpsupdate .deb in $build/cpack" >&2
  exit 1
fi
rm -f build/gpsupdate_*.deb  # one package for "apt install ./build/gpsupdate_*.deb"
cp "${debs[0]}" build/
deb="build/$(basename "${debs[0]}")"

dpkg-deb --field "$deb" Package Version Architecture Depends Recommends
echo "contents:"
dpkg-deb --contents "$deb" | awk '$NF !~ /\/$/ {print "  " $NF}'
echo "package: $deb"
