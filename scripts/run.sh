#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine (as root), builds the tool and runs it.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)"

# Until the window exists this runs the test programs' smoke check.
echo "== smoke check (the window is not built yet)"
ctest --preset default -j "$(nproc)"
