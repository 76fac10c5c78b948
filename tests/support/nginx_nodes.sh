#!/usr/bin/env bash
# nginx in front of glimor-server nodes on loopback, with the configuration of
# docs/nginx-two-nodes.conf, unprivileged, everything in a folder of its own.
# nginx connects to the nodes from 127.0.0.1 and starts each connection with a
# PROXY protocol header: the nodes need --proxy-protocol --trusted-proxy 127.0.0.1.
#
#   nginx_nodes.sh start DIR PORT NODE1-PORT NODE2-PORT
#   nginx_nodes.sh stop DIR
#
# Under root nginx runs as "nobody", and DIR's parent (a private temporary
# folder) is opened for it to pass through. Exits 77 when nginx is not installed.
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
command=$1 dir=$2

as_owner() {
  if [ "$(id -u)" = 0 ]; then runuser -u nobody -- "$@"; else "$@"; fi
}

case "$command" in
start)
  port=$3 node1=$4 node2=$5
  nginx=$(command -v nginx || echo /usr/sbin/nginx)
  if [ ! -x "$nginx" ]; then
    echo "nginx is not installed" >&2
    exit 77
  fi
  mkdir -p "$dir"
  if [ "$(id -u)" = 0 ]; then
    chown nobody "$dir"
    chmod o+x "$(dirname "$dir")"
  fi
  {
    for module in /usr/lib/nginx/modules/ngx_stream_module.so; do
      [ -f "$module" ] && echo "load_module $module;"
    done
    echo "pid $dir/nginx.pid;"
    echo "error_log $dir/error.log;"
    echo "worker_processes 2;"
    echo "events { worker_connections 1024; }"
    sed -e "s/10\.0\.0\.11:8080/127.0.0.1:$node1/" -e "s/10\.0\.0\.12:8080/127.0.0.1:$node2/" \
      -e "s/listen 80;/listen 127.0.0.1:$port;/" "$source_dir/docs/nginx-two-nodes.conf"
  } >"$dir/nginx.conf"
  as_owner "$nginx" -p "$dir" -c "$dir/nginx.conf" -e "$dir/error.log"
  for _ in $(seq 100); do [ -s "$dir/nginx.pid" ] && exit 0; sleep 0.05; done
  echo "nginx did not start: $(cat "$dir/error.log")" >&2
  exit 1
  ;;
stop)
  [ -s "$dir/nginx.pid" ] && kill -QUIT "$(cat "$dir/nginx.pid")"
  for _ in $(seq 100); do [ -e "$dir/nginx.pid" ] || exit 0; sleep 0.05; done
  ;;
*)
  echo "usage: $0 start DIR PORT NODE1-PORT NODE2-PORT | stop DIR" >&2
  exit 2
  ;;
esac
