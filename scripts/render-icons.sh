#!/usr/bin/env bash
# Renders the application icon packaging/icons/gpsupdate.svg into the PNG
# sizes of the hicolor theme (packaging/icons/hicolor/<n>x<n>/apps/), which
# are committed so that building and installing need no SVG renderer. Run it
# after changing the SVG. Installs rsvg-convert (librsvg2-bin) when missing.
set -euo pipefail
cd "$(dirname "$0")/.."

if ! dpkg-query -W -f='${Status}' librsvg2-bin 2>/dev/null | grep -q 'install ok installed'; then
  echo "render-icons: installing librsvg2-bin"
  SUDO=""
  if [ "$(id -u)" != 0 ]; then SUDO="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends librsvg2-bin >/dev/null
fi

svg=packaging/icons/gpsupdate.svg
for size in 16 22 24 32 48 64 128 256; do
  out="packaging/icons/hicolor/${size}x${size}/apps/gpsupdate.png"
  mkdir -p "$(dirname "$out")"
  rsvg-convert --width "$size" --height "$size" --output "$out" "$svg"
  echo "$out"
done
