#!/usr/bin/env bash
# A throwaway S3 service for the tests and benchmarks: Ceph's RADOS Gateway
# over a single-node cluster (one mon, one OSD keeping everything in memory),
# every daemon's files in DIR, listening on loopback only.
#
#   radosgw_gateway.sh start DIR    prints "ENDPOINT ACCESS_KEY SECRET_KEY"
#   radosgw_gateway.sh stop DIR     kills the daemons it started, by their pids
#
# A gateway that does not answer within the bound fails the start (exit 1)
# with the daemons' logs; nothing is skipped.
set -euo pipefail

command=$1 dir=$2
free_port() { python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }

stop() {
  # The gateway first: it hangs when the OSD is gone before it. The data is
  # throwaway, so SIGKILL spares memstore writing it out.
  local name pid
  for name in radosgw osd mon; do
    [ -f "$dir/$name.pid" ] || continue
    pid=$(cat "$dir/$name.pid")
    kill -KILL "$pid" 2>/dev/null || true
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    rm -f "$dir/$name.pid"
  done
}

fail() {
  echo "radosgw_gateway.sh: $1" >&2
  for log in "$dir"/log/*.log "$dir"/*.out; do
    [ -f "$log" ] && { echo "--- $log" >&2; tail -n 20 "$log" >&2; }
  done
  stop
  exit 1
}

# Waits up to $1 tenths of a second for the command after it to succeed.
wait_for() {
  local tenths=$1
  shift
  for _ in $(seq "$tenths"); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done
  return 1
}

start() {
  for tool in ceph-mon ceph-osd radosgw radosgw-admin ceph monmaptool; do
    command -v "$tool" >/dev/null || fail "$tool is not installed (scripts/bootstrap installs it)"
  done
  mkdir -p "$dir"/{run,crash,log,mon,osd,rgw}
  local fsid mon_port rgw_port conf=$dir/ceph.conf
  fsid=$(python3 -c 'import uuid; print(uuid.uuid4())')
  mon_port=$(free_port)
  rgw_port=$(free_port)
  cat >"$conf" <<CONF
[global]
fsid = $fsid
mon initial members = a
mon host = v2:127.0.0.1:$mon_port
public network = 127.0.0.0/8
keyring = $dir/keyring
ms bind msgr1 = false
run dir = $dir/run
crash dir = $dir/crash
admin socket = $dir/run/\$name.\$pid.asok
log file = $dir/log/\$name.log
mon cluster log to file = false
mon data = $dir/mon/\$cluster-\$id
osd data = $dir/osd/\$cluster-\$id
osd objectstore = memstore
memstore device bytes = 4294967296
mon allow pool size one = true
osd pool default size = 1
osd pool default min size = 1
osd pool default pg num = 8
osd pool default pgp num = 8
osd pool default pg autoscale mode = off
osd crush chooseleaf type = 0
mon warn on pool no redundancy = false
mon data avail warn = 2
mon data avail crit = 1
paxos propose interval = 0.05
osd op thread suicide timeout = 0
osd op thread timeout = 60
[client.rgw.a]
rgw frontends = beast endpoint=127.0.0.1:$rgw_port
rgw data = $dir/rgw
CONF
  # cephx throughout (radosgw refuses to start without it); every key in one keyring.
  ceph-authtool --create-keyring "$dir/keyring" --gen-key -n mon. --cap mon 'allow *' >/dev/null
  ceph-authtool "$dir/keyring" --gen-key -n client.admin --cap mon 'allow *' --cap osd 'allow *' \
    --cap mgr 'allow *' >/dev/null
  ceph-authtool "$dir/keyring" --gen-key -n osd.0 --cap mon 'allow profile osd' --cap osd 'allow *' >/dev/null
  ceph-authtool "$dir/keyring" --gen-key -n client.rgw.a --cap mon 'allow rw' --cap osd 'allow rwx' >/dev/null
  monmaptool --create --fsid "$fsid" --addv a "[v2:127.0.0.1:$mon_port]" "$dir/monmap" >"$dir/monmaptool.out" 2>&1 ||
    fail "monmaptool failed"
  ceph-mon -c "$conf" --mkfs -i a --monmap "$dir/monmap" --keyring "$dir/keyring" >"$dir/mon-mkfs.out" 2>&1 || fail "ceph-mon --mkfs failed"
  ceph-mon -c "$conf" -i a -f >"$dir/mon.out" 2>&1 &
  echo $! >"$dir/mon.pid"
  local osd_uuid
  osd_uuid=$(python3 -c 'import uuid; print(uuid.uuid4())')
  timeout 60 ceph -c "$conf" auth import -i "$dir/keyring" >"$dir/auth-import.out" 2>&1 || fail "the mon did not take the keys"
  timeout 60 ceph -c "$conf" osd new "$osd_uuid" >"$dir/osd-new.out" 2>&1 || fail "the mon did not take the OSD"
  mkdir -p "$dir/osd/ceph-0"
  ceph-osd -c "$conf" -i 0 --mkfs --osd-uuid "$osd_uuid" >"$dir/osd-mkfs.out" 2>&1 || fail "ceph-osd --mkfs failed"
  ceph-osd -c "$conf" -i 0 -f >"$dir/osd.out" 2>&1 &
  echo $! >"$dir/osd.pid"
  radosgw -c "$conf" -n client.rgw.a -f >"$dir/radosgw.out" 2>&1 &
  echo $! >"$dir/radosgw.pid"
  wait_for 300 curl -sf -o /dev/null "http://127.0.0.1:$rgw_port/" || fail "the gateway did not answer within 30 s"
  local access secret
  access=GLIMORTEST$(python3 -c 'import secrets; print(secrets.token_hex(5).upper())')
  secret=$(python3 -c 'import secrets; print(secrets.token_hex(20))')
  timeout 60 radosgw-admin -c "$conf" -n client.admin user create --uid=glimor --display-name=glimor \
    --access-key="$access" --secret-key="$secret" >"$dir/user.out" 2>&1 || fail "radosgw-admin user create failed"
  echo "http://127.0.0.1:$rgw_port $access $secret" | tee "$dir/gateway"
}

case "$command" in
start) start ;;
stop) stop ;;
*)
  echo "usage: radosgw_gateway.sh start|stop DIR" >&2
  exit 2
  ;;
esac
