#!/usr/bin/env bash
# Sixteen paced units through gpsupdate-station (see bench/station_speed.py):
# builds what it needs and runs the station headless and with its window.
#   bash bench/station_speed.sh                  2,000 flash blocks a unit
#   bash bench/station_speed.sh --sample         the sample file (14,044 blocks, about 12 minutes)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh >/dev/null
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)" \
    --target gpsupdate-station gpsupdate-auto gpsunit-sim apdtool sample_apd >/dev/null
exec python3 bench/station_speed.py "$@"
