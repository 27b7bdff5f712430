#!/usr/bin/env bash
# Checks the Markdown pages (no code fence left open), then sets up a fresh
# Debian 12 machine (as root), builds, and runs every test through CTest:
# first the normal build, then the sanitizer build
# (AddressSanitizer + UndefinedBehaviorSanitizer), then the Windows build
# check (the plain libraries cross-compiled with MinGW-w64, their tests run
# under Wine; scripts/test-windows.sh).
#   scripts/test.sh            all three
#   scripts/test.sh default    only the normal build
#   scripts/test.sh asan       only the sanitizer build
#   scripts/test.sh windows    only the Windows build check
set -euo pipefail
cd "$(dirname "$0")/.."

# Before anything slow: a page whose code block swallows the rest fails here.
bash scripts/check-markdown.sh

bash scripts/setup.sh

presets=("$@")
if ((${#presets[@]} == 0)); then presets=(default asan windows); fi

# Window tests run without a display.
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"

jobs=$(nproc)
for preset in "${presets[@]}"; do
  if [[ "$preset" == windows ]]; then
    bash scripts/test-windows.sh
    continue
  fi
  echo "== ${preset}: configure and build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  echo "== ${preset}: tests"
  ctest --preset "$preset" -j "$jobs"
done
