#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine (as root), builds the tool and shows its
# main job: a whole update of the sample data file into the simulated unit.
#
# The simulated unit (gpsunit-sim) runs on a pseudo-terminal that stands for
# COM3, with short erase and check times and the sample data file (14,044
# flash blocks) unpaced, so the whole update takes about half a minute.
#
# With a display ($DISPLAY set) the window opens with that file and COM3
# selected, in a settings store of its own under build/demo (never the
# user's): press 開始傳送 and watch. Without a display the same update runs
# through gpsupdate-auto on a virtual display (Xvfb); the operator's messages
# are printed as they come, with a progress line, and a screenshot of the
# finished window is saved (build/screenshots/update.png, or the path in
# GPSUPDATE_SCREENSHOT).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)" \
    --target gpsupdate gpsupdate-auto gpsunit-sim sample_apd >/dev/null

build="$PWD/build/default"
demo="$PWD/build/demo"
sample="$build/samples/sample.apd"
mkdir -p "$demo"
rm -f "$demo/com3"

# The simulated unit behind COM3 (the tool maps COM3 to it through
# GPSUPDATE_COM3). Its log shows every frame: build/demo/unit.jsonl.
"$build/sim/gpsunit-sim" --link "$demo/com3" --erase-ms 1500 --check-ms 2000 \
    --log "$demo/unit.jsonl" >"$demo/unit.out" 2>&1 &
sim_pid=$!
cleanup() {
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
    [ -n "${xvfb_pid:-}" ] && { kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true; }
}
trap cleanup EXIT
for _ in $(seq 50); do [ -e "$demo/com3" ] && break; sleep 0.1; done
[ -e "$demo/com3" ] || { echo "run: the simulated unit did not start" >&2; exit 1; }
export GPSUPDATE_COM3="$demo/com3"

if [ -n "${DISPLAY:-}" ]; then
    # The window's own settings, kept in build/demo: the sample file and COM3.
    mkdir -p "$demo/config/gpsupdate"
    cat >"$demo/config/gpsupdate/gpsupdate.conf" <<CONF
[SetupOptions]
Auto%20Save%20Seutp%20Data=1
GPS%20Comm%20Port=3
GPS%20Update%20file%20Name=$sample
CONF
    echo "== the window opens with the sample data file and COM3 (the simulated unit):"
    echo "   press 開始傳送 to run a whole update; close the window when done."
    XDG_CONFIG_HOME="$demo/config" "$build/app/gpsupdate"
    exit 0
fi

# No display: the update through gpsupdate-auto on a virtual display.
display=99
while [ -e "/tmp/.X${display}-lock" ] || [ -e "/tmp/.X11-unix/X${display}" ]; do
    display=$((display + 1))
done
Xvfb ":${display}" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
    [ -e "/tmp/.X11-unix/X${display}" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || { echo "run: the virtual display did not start" >&2; exit 1; }
    sleep 0.1
done
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    XDG_RUNTIME_DIR="$(mktemp -d)"
    export XDG_RUNTIME_DIR
fi
shot="${GPSUPDATE_SCREENSHOT:-$PWD/build/screenshots/update.png}"
mkdir -p "$(dirname "$shot")"
echo "== no display: a whole update of the sample data file into the simulated unit on COM3"
status=0
DISPLAY=":${display}" QT_QPA_PLATFORM=xcb "$build/app/gpsupdate-auto" --action update --port 3 \
    --file "$sample" --screenshot "$shot" 2>/dev/null |
    python3 scripts/follow-run.py || status=$?
echo "screenshot: $shot"
exit "$status"
