#!/usr/bin/env bash
# A PostgreSQL 15 server of the tests' own, in a temporary folder, on a free
# port of 127.0.0.1, run by an unprivileged user (nobody, when the tests run
# as root). Its URL (with the password) is written to STATE.url.
#
#   pg-server.sh start STATE   make the server (the first time) and start it
#   pg-server.sh stop STATE    stop it, keeping its data (it starts again)
#   pg-server.sh remove STATE  stop it and delete its folder
set -euo pipefail

action=${1:?start, stop or remove}
state=${2:?the state file}
bin=${GPSUPDATE_PG_BIN:-/usr/lib/postgresql/15/bin}
password=gpsupdate-test

as_owner() {
  if [ "$(id -u)" = 0 ]; then
    runuser -u nobody -- "$@"
  else
    "$@"
  fi
}

case $action in
start)
  if [ ! -x "$bin/initdb" ]; then
    echo "pg-server: no PostgreSQL 15 in $bin (scripts/setup.sh installs it)" >&2
    exit 1
  fi
  if [ -f "$state" ] && [ -d "$(sed -n 1p "$state")/data" ]; then
    dir=$(sed -n 1p "$state")
    port=$(sed -n 2p "$state")
  else
    dir=$(mktemp -d "${TMPDIR:-/tmp}/gpsupdate-pg.XXXXXX")
    port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
    printf '%s\n' "$password" >"$dir/password"
    if [ "$(id -u)" = 0 ]; then chown -R nobody "$dir"; fi
    as_owner "$bin/initdb" -D "$dir/data" -U gpsupdate --pwfile="$dir/password" \
      --auth=scram-sha-256 --encoding=UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1 ||
      { cat "$dir/initdb.log" >&2; exit 1; }
    printf '%s\n%s\n' "$dir" "$port" >"$state"
  fi
  as_owner "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 30 \
    -o "-p $port -k $dir -c listen_addresses=127.0.0.1" start >/dev/null ||
    { cat "$dir/server.log" >&2; exit 1; }
  printf 'postgresql://gpsupdate:%s@127.0.0.1:%s/postgres\n' "$password" "$port" >"$state.url"
  ;;
stop | remove)
  [ -f "$state" ] || exit 0
  dir=$(sed -n 1p "$state")
  if [ -f "$dir/data/postmaster.pid" ]; then
    as_owner "$bin/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null
  fi
  if [ "$action" = remove ]; then
    rm -rf -- "$dir"
    rm -f -- "$state" "$state.url"
  fi
  ;;
*)
  echo "pg-server: unknown action $action" >&2
  exit 2
  ;;
esac
