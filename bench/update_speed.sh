#!/usr/bin/env bash
# The paced-line update benchmark (see bench/update_speed.py): builds what it
# needs and runs a whole update of data files of about 1,000, 10,000 and
# 71,000 flash blocks against gpsunit-sim --pace, printing a table per file.
#   bash bench/update_speed.sh            all three (about half an hour)
#   bash bench/update_speed.sh --quick    without the largest (about 4 minutes)
#   bash bench/update_speed.sh --hold-back-ms 16   replies held back as by a
#                                          USB adapter without low latency
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh >/dev/null
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)" --target gpsupdate-auto gpsunit-sim apdtool >/dev/null
exec python3 bench/update_speed.py "$@"
