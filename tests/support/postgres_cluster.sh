#!/usr/bin/env bash
# A throwaway PostgreSQL cluster for the tests and benchmarks, in a folder of
# its own, reachable on loopback only (and a unix socket in the folder), with
# the trusted superuser "glimor" and the database "glimor".
#
#   postgres_cluster.sh start DIR [SETTING=VALUE...]   prints the port
#   postgres_cluster.sh stop DIR | restart DIR
#
# PostgreSQL refuses to run as root, so under root the cluster belongs to the
# "postgres" user, and DIR's parent (a private temporary folder) is opened for
# it to pass through. Exits 77 when PostgreSQL is not installed.
set -euo pipefail

bindir=
for candidate in $(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V -r); do
  [ -x "$candidate/initdb" ] && bindir=$candidate && break
done
if [ -z "$bindir" ] && command -v initdb >/dev/null; then bindir=$(dirname "$(command -v initdb)"); fi
if [ -z "$bindir" ]; then
  echo "PostgreSQL is not installed (no initdb)" >&2
  exit 77
fi

as_owner() {
  if [ "$(id -u)" = 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi
}

command=$1 dir=$2
shift 2
cluster=$dir/cluster
case "$command" in
start)
  mkdir -p "$dir"
  if [ "$(id -u)" = 0 ]; then
    chown postgres "$dir"
    chmod o+x "$(dirname "$dir")"
  fi
  as_owner "$bindir/initdb" -D "$cluster" -U glimor --auth=trust -E UTF8 --no-sync >"$dir/initdb.log"
  port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  {
    echo "listen_addresses = '127.0.0.1'"
    echo "port = $port"
    echo "unix_socket_directories = '$dir'"
    for setting in "$@"; do echo "$setting"; done
  } | as_owner tee -a "$cluster/postgresql.conf" >/dev/null
  as_owner "$bindir/pg_ctl" -D "$cluster" -l "$dir/postgres.log" -w -s start
  as_owner "$bindir/psql" -h "$dir" -p "$port" -U glimor -d postgres -qc 'CREATE DATABASE glimor'
  echo "$port"
  ;;
stop) as_owner "$bindir/pg_ctl" -D "$cluster" -m fast -w -s stop ;;
restart) as_owner "$bindir/pg_ctl" -D "$cluster" -l "$dir/postgres.log" -w -s start ;;
*)
  echo "usage: $0 start|stop|restart DIR" >&2
  exit 2
  ;;
esac
