#!/usr/bin/env bash
# One PostgreSQL cluster shared by every store test of a ctest run:
#   postgres_fixture.sh start STATE   starts it and writes "FOLDER PORT" to STATE
#   postgres_fixture.sh stop STATE    stops it and removes its folder
# Without PostgreSQL, start writes nothing and the tests start no cluster of their own.
set -uo pipefail
cluster=$(dirname "$0")/postgres_cluster.sh
state=$2
case "$1" in
start)
  rm -f "$state"
  folder=$(mktemp -d)
  port=$("$cluster" start "$folder/pg" 'fsync = off') || {
    status=$?
    rm -rf "$folder"
    [ "$status" = 77 ] && exit 0
    exit "$status"
  }
  echo "$folder $port" >"$state"
  ;;
stop)
  [ -f "$state" ] || exit 0
  read -r folder port <"$state"
  "$cluster" stop "$folder/pg"
  rm -rf "$folder" "$state"
  ;;
esac
