#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine (as root), builds the tool and runs it.
#
# With a display ($DISPLAY set) the window opens as usual. Without one, the
# window is started on a virtual display (Xvfb), a screenshot of it is saved
# as a PNG, the program ends and the script prints the picture's path.
#   GPSUPDATE_SCREENSHOT=<file.png>  where to save it (default:
#                                    build/screenshots/gpsupdate.png)
#   GPSUPDATE_SCREENSHOT_DEBUG=1     also show the diagnostic frame and
#                                    sample texts
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)" --target gpsupdate

program="$PWD/build/default/app/gpsupdate"

if [ -n "${DISPLAY:-}" ]; then
  exec "$program"
fi

# No display: a virtual one, on the first free display number from 99 up.
display=99
while [ -e "/tmp/.X${display}-lock" ] || [ -e "/tmp/.X11-unix/X${display}" ]; do
  display=$((display + 1))
done
Xvfb ":${display}" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
trap 'kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true' EXIT
for _ in $(seq 100); do
  [ -e "/tmp/.X11-unix/X${display}" ] && break
  if ! kill -0 "$xvfb_pid" 2>/dev/null; then
    echo "run: the virtual display :${display} did not start" >&2
    exit 1
  fi
  sleep 0.1
done

shot="${GPSUPDATE_SCREENSHOT:-$PWD/build/screenshots/gpsupdate.png}"
mkdir -p "$(dirname "$shot")"
rm -f "$shot"
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
  XDG_RUNTIME_DIR="$(mktemp -d)"
  export XDG_RUNTIME_DIR
fi
echo "== no display: starting the window on the virtual display :${display} for a screenshot"
DISPLAY=":${display}" QT_QPA_PLATFORM=xcb GPSUPDATE_SCREENSHOT="$shot" "$program" >/dev/null
if [ ! -s "$shot" ]; then
  echo "run: no screenshot was saved" >&2
  exit 1
fi
echo "screenshot: $shot"
