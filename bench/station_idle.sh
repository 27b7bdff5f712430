#!/usr/bin/env bash
# A hands-free station's CPU while 16 ports wait (see bench/station_idle.py):
# builds what it needs and measures 16 silent lines and 16 missing devices.
#   bash bench/station_idle.sh                 60 s each at the default interval
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh >/dev/null
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)" \
    --target gpsupdate-station gpsupdate-auto gpsunit-sim sample_apd >/dev/null
exec python3 bench/station_idle.py "$@"
