#!/usr/bin/env bash
# Load on glimor-server over loopback, bounded in time and count: wrk against
# one stored image over HTTP and over HTTPS, then a loop of 100 KB uploads (a real
# JPEG, decoded by the service before it is stored, and the same against
# glimor-server-undecoded, built with the benchmarks, which stores it undecoded);
# then the same on the PostgreSQL store with one node and with two nodes behind
# nginx (skipped where PostgreSQL is not installed).
# Prints requests/s, p99 latency and errors for each. Usage: bench/server_load.sh [seconds]
# (GLIMOR_BUILD_DIR selects the build, default build/linux).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${GLIMOR_BUILD_DIR:-$root/build/linux}
seconds=${1:-10}
# Each wrk thread stops after this many uploads, so a run's disk use is bounded;
# a rate marked "capped" reached it and the service would have done more.
uploads_per_thread=${UPLOADS_PER_THREAD:-4000}
work=$(mktemp -d)
server_pid= tls_pid= undecoded_pid= node1_pid= node2_pid= postgres= front= static=
cleanup() {
  for pid in $server_pid $tls_pid $undecoded_pid $node1_pid $node2_pid; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null; done
  [ -z "$front" ] || "$root/tests/support/nginx_nodes.sh" stop "$front"
  [ -z "$static" ] || { kill -QUIT "$(cat "$static/nginx.pid")" 2>/dev/null; sleep 0.2; }
  [ -z "$postgres" ] || "$root/tests/support/postgres_cluster.sh" stop "$postgres"
  rm -rf "$work"
}
trap cleanup EXIT

source "$root/tests/support/glimor_server.sh"
# The loads come from one address, far beyond the upload limits meant for strangers.
unlimited="--upload-rate 0 --upload-quota 0"
start_glimor_server "$build/server/glimor-server" "$work/server.log" --data "$work/data" $unlimited
server_pid=$glimor_server_pid port=$glimor_server_port
# The same service over HTTPS, with the test certificates.
"$root/tests/support/make_test_ca.sh" "$work/pki"
start_glimor_server "$build/server/glimor-server" "$work/tls-server.log" --data "$work/tls-data" $unlimited \
  --tls-cert "$work/pki/server.pem" --tls-key "$work/pki/server.key"
tls_pid=$glimor_server_pid tls_port=$glimor_server_port

# A real JPEG of WIDTH x HEIGHT pixels (a plasma picture at quality 100, as Glimor
# writes its JPEGs) in the multipart body Glimor builds.
make_body() { # file width height
  convert -seed 1 -size "$2x$3" plasma:fractal -quality 100 "$1.jpg"
  python3 - "$1" <<'PY'
import sys
boundary = b"---------------------------7d6891e3b0542"
image = open(sys.argv[1] + ".jpg", "rb").read()
with open(sys.argv[1], "wb") as f:
    f.write(b"--" + boundary + b"\r\nContent-Disposition: form-data; name=\"imgfile\"; filename=\"C:\\Glimor\\Glimor.jpg\""
            b"\r\nContent-Type: image/jpg\r\n\r\n" + image + b"\r\n--" + boundary + b"--\r\n")
PY
}
make_body "$work/body" 300 200 # about 100 KB
upload() { # base-url [body-file [curl options]]
  curl -s "${@:3}" -H "Content-Type: multipart/form-data; boundary=---------------------------7d6891e3b0542" \
    --data-binary "@${2:-$work/body}" "$1/guestglimor.php" | sed -n 's/^Link: \(.*\)\r$/\1/p'
}
link=$(upload "http://127.0.0.1:$port")
[ -n "$link" ] || { echo "upload failed"; cat "$work/server.log"; exit 1; }
tls_link=$(upload "https://127.0.0.1:$tls_port" "$work/body" --cacert "$work/pki/ca.pem")
[ -n "$tls_link" ] || { echo "upload over https failed"; cat "$work/tls-server.log"; exit 1; }

rate() { sed -n 's/^Requests\/sec: *\([0-9.]*\).*/\1/p' <<<"$1"; }
summarise() { # name wrk-output
  local rate p99 errors
  rate=$(sed -n 's/^Requests\/sec: *\([0-9.]*\).*/\1/p' <<<"$2")
  p99=$(sed -n 's/^ *99% *\([0-9.]*[a-z]*\).*/\1/p' <<<"$2")
  errors=$(grep -E 'Non-2xx|Socket errors' <<<"$2" | tr -s ' ' | paste -sd ';' || true)
  grep -q "^ *$((2 * uploads_per_thread)) requests in" <<<"$2" && rate="$rate capped"
  printf '%-15s %17s requests/s   p99 %8s   errors: %s\n' "$1" "$rate" "$p99" "${errors:-none}"
}

get_load() { wrk -t2 -c64 -d"${seconds}s" --latency "$1"; }
upload_load() {
  UPLOAD_BODY_FILE="$work/body" UPLOAD_LIMIT_PER_THREAD=$uploads_per_thread \
    wrk -t2 -c16 -d"${seconds}s" --latency -s "$root/bench/server_upload.lua" "$1/"
}

gets=$(get_load "$link")
# nginx serving the same file from disk with sendfile, for comparison, with as
# many worker processes as the service has threads.
nginx_gets=
if nginx=$(command -v nginx || ls /usr/sbin/nginx 2>/dev/null); then
  static=$work/static
  image_path=${link#http://*/}
  mkdir -p "$static/root/$(dirname "$image_path")"
  cp "$work/data/images/$(basename "$image_path" | cut -c1-2)/$(basename "$image_path")" "$static/root/$image_path"
  static_port=$(free_port)
  printf '%s\n' "pid $static/nginx.pid;" "error_log $static/error.log;" "worker_processes $(nproc);" \
    "events { worker_connections 1024; }" \
    "http { access_log off; sendfile on; tcp_nopush on; types { image/jpeg jpg; }" \
    "  server { listen 127.0.0.1:$static_port; root $static/root; } }" >"$static/nginx.conf"
  chmod -R a+rX "$static" && chmod o+x "$work"
  "$nginx" -p "$static" -c "$static/nginx.conf" -e "$static/error.log"
  for _ in $(seq 100); do curl -s -o /dev/null "http://127.0.0.1:$static_port/$image_path" && break; sleep 0.05; done
  nginx_gets=$(get_load "http://127.0.0.1:$static_port/$image_path")
fi
# wrk does not check the certificate; the connections are kept alive, so this
# measures the encryption more than the handshakes.
tls_gets=$(get_load "$tls_link")
# The uploads carry an upload token, as a public service requires.
token=$("$build/server/glimor-server" token add bench --data "$work/data" | tail -n 1)
uploads=$(UPLOAD_TOKEN=$token upload_load "http://127.0.0.1:$port")
# The same uploads stored without being decoded, by a service of their own.
undecoded_uploads=
if [ -x "$build/bench/glimor-server-undecoded" ]; then
  start_glimor_server "$build/bench/glimor-server-undecoded" "$work/undecoded.log" --data "$work/undecoded-data" \
    $unlimited
  undecoded_pid=$glimor_server_pid undecoded_port=$glimor_server_port
  undecoded_uploads=$(upload_load "http://127.0.0.1:$undecoded_port")
fi

echo "glimor-server over loopback, $(nproc) cores, ${seconds}s each:"
summarise "image GET" "$gets"
if [ -n "$nginx_gets" ]; then
  summarise "nginx same file" "$nginx_gets"
  echo "image GET, glimor-server / nginx: $(python3 -c "print('%.2f' % ($(rate "$gets") / $(rate "$nginx_gets")))")"
fi
summarise "image GET TLS" "$tls_gets"
summarise "upload 100KB" "$uploads"
echo "  (decoded and checked, with an upload token)"
if [ -n "$undecoded_uploads" ]; then
  summarise "  undecoded" "$undecoded_uploads"
  echo "upload 100KB, decoded / undecoded: $(python3 -c "print('%.2f' % ($(rate "$uploads") / $(rate "$undecoded_uploads")))")"
else
  echo "  undecoded: skipped (build the target glimor-server-undecoded)"
fi
echo "upload body: a $(stat -c %s "$work/body.jpg")-byte JPEG of 300 x 200 pixels"
stored=$(find "$work/data/images" -type f | wc -l)
echo "images stored: $stored"

# The PostgreSQL store on a cluster with the default, durable settings: one
# node, then two nodes behind nginx, each with the same 100 KB loads and a 1 MB
# image that the nodes stream from the database on every GET.
postgres=$work/pg
if ! pg_port=$("$root/tests/support/postgres_cluster.sh" start "$postgres"); then
  postgres=
  echo "PostgreSQL store: skipped"
  exit 0
fi
uri="postgresql://glimor@127.0.0.1:$pg_port/glimor"
# One node reached directly.
start_glimor_server "$build/server/glimor-server" "$work/node1.log" --database "$uri" $unlimited
node1_pid=$glimor_server_pid node1=$glimor_server_port
make_body "$work/large" 960 640 # about 1 MB
pg_path=$(upload "http://127.0.0.1:$node1" | sed 's|^http://[^/]*||')
large_path=$(upload "http://127.0.0.1:$node1" "$work/large" | sed 's|^http://[^/]*||')
[ -n "$pg_path" ] && [ -n "$large_path" ] || { echo "upload to PostgreSQL failed"; cat "$work/node1.log"; exit 1; }

one_gets=$(get_load "http://127.0.0.1:$node1$pg_path")
one_large=$(get_load "http://127.0.0.1:$node1$large_path")
one_uploads=$(upload_load "http://127.0.0.1:$node1")
kill "$node1_pid" && wait "$node1_pid" 2>/dev/null || true

# Two nodes that take connections only from nginx, which names the client with
# the PROXY protocol; open to anyone, since the load carries no token.
proxied="--proxy-protocol --trusted-proxy 127.0.0.1 --uploads open"
start_glimor_server "$build/server/glimor-server" "$work/node1.log" --database "$uri" $unlimited $proxied
node1_pid=$glimor_server_pid node1=$glimor_server_port
start_glimor_server "$build/server/glimor-server" "$work/node2.log" --database "$uri" $unlimited $proxied
node2_pid=$glimor_server_pid node2=$glimor_server_port
front_port=$(free_port)
front=$work/nginx
"$root/tests/support/nginx_nodes.sh" start "$front" "$front_port" "$node1" "$node2"
for _ in $(seq 100); do curl -s -o /dev/null "http://127.0.0.1:$front_port/" && break; sleep 0.05; done
two_gets=$(get_load "http://127.0.0.1:$front_port$pg_path")
two_large=$(get_load "http://127.0.0.1:$front_port$large_path")
two_uploads=$(upload_load "http://127.0.0.1:$front_port")
echo "PostgreSQL store, one node, then two nodes behind nginx:"
summarise "1 node GET" "$one_gets"
summarise "1 node GET 1MB" "$one_large"
summarise "1 node upload" "$one_uploads"
summarise "2 nodes GET" "$two_gets"
summarise "2 nodes GET 1MB" "$two_large"
summarise "2 nodes upload" "$two_uploads"
