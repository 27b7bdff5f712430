#!/usr/bin/env bash
# recording-stalls.sh BUILD CASE RUNS: gpsupdate-auto's max_stall_ms and
# the time from its end line to its exit, for RUNS paced updates against
# gpsunit-sim, with the history as CASE says:
#   none        --no-history
#   local       a new local file
#   silent      and a server that accepts and never answers (its port in
#               /tmp/stall/silent.port)
#   frozen      and the test server (/tmp/stall/pg.state of pg-server.sh),
#               its processes stopped (SIGSTOP) once the transfer runs,
#               let go (SIGCONT) after the program's end
#   loaded      a copy of /tmp/stall/big.sqlite that four other writers fill
#               meanwhile, beside a disk writer that flushes 200 MB at a time
#   loaded-off  the same load, --no-history
# docs/measurements.md (the history) has the set-up and the figures.
set -u
b=$1; case=$2; runs=$3
w=/tmp/stall; cd $w
[ -f small.apd ] || $b/tools/apdtool/apdtool pack --output small.apd --flash-random 26880 --param-random 320 >/dev/null
extra=()
for i in $(seq 1 "$runs"); do
  rm -f h.sqlite*
  $b/sim/gpsunit-sim --link $w/com3 --erase-ms 300 --check-ms 200 --reply-us 20000 >sim.out &
  sim=$!; sleep 0.5
  case $case in
    none) extra=(--no-history) ;;
    local) extra=(--history h.sqlite) ;;
    silent) extra=(--history h.sqlite --history-server "postgresql://u:p@127.0.0.1:$(cat silent.port)/db") ;;
    frozen) extra=(--history h.sqlite --history-server "$(cat pg.state.url)") ;;
    loaded|loaded-off)
      cp big.sqlite h.sqlite
      extra=(--history h.sqlite)
      [ "$case" = loaded-off ] && extra=(--no-history)
      loadpids=()
      for k in 1 2 3 4; do $b/tests/history/history_record_runs h.sqlite 1000000 >/dev/null 2>&1 & loadpids+=($!); done
      (while :; do dd if=/dev/zero of=$w/disk.load bs=1M count=200 conv=fsync status=none; done) & loadpids+=($!)
      sleep 1 ;;
  esac
  GPSUPDATE_COM3=$w/com3 QT_QPA_PLATFORM=offscreen $b/app/gpsupdate-auto --action update --port 3 \
    --file small.apd "${extra[@]}" >out.jsonl 2>err.txt &
  run=$!
  if [ "$case" = frozen ]; then
    until grep -q '"kind":"progress"' out.jsonl; do sleep 0.05; done
    sleep 0.3
    dir=$(sed -n 1p pg.state); pm=$(head -1 "$dir/data/postmaster.pid")
    pids="$pm $(pgrep -P "$pm" | tr '\n' ' ')"
    kill -STOP $pids
  fi
  until grep -q '"kind":"end"' out.jsonl; do sleep 0.01; done
  t0=$(date +%s%N)
  wait $run; status=$?
  t1=$(date +%s%N)
  [ "$case" = frozen ] && kill -CONT $pids
  [ "${case#loaded}" != "$case" ] && { kill "${loadpids[@]}"; wait "${loadpids[@]}" 2>/dev/null; rm -f disk.load; }
  kill $sim; wait $sim 2>/dev/null
  end=$(grep '"kind":"end"' out.jsonl)
  stall=$(echo "$end" | grep -o '"max_stall_ms":[0-9.]*' | cut -d: -f2)
  result=$(echo "$end" | grep -o '"result":"[a-z]*"')
  herr=$(echo "$end" | grep -o '"history_error":"[^"]*"' | cut -c1-80)
  echo "$case run $i: status $status $result max_stall_ms $stall end->exit $(( (t1-t0)/1000000 )) ms $herr"
done
