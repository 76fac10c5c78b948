#!/usr/bin/env bash
# Load on glimor-server over loopback, bounded in time and count: wrk GETs of
# stored images of 100 KB, 1 MB and 10 MB, each next to nginx serving the same
# file with sendfile in the same run, one image over HTTPS, then a loop of
# 100 KB uploads (a real JPEG, decoded by the service before it is stored, and
# the same against glimor-server-undecoded, built with the benchmarks, which
# stores it undecoded); then the PostgreSQL store with one node (its disk cache
# warm) and with two nodes behind nginx (skipped where PostgreSQL is not installed).
# Prints requests/s, p99 latency and errors for each, and the ratios the service
# aims at. Usage: bench/server_load.sh [seconds]
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
# Images of about SIZE bytes for the GETs (random pixels, stored uncompressed, so the
# size is exact and they cost nothing to make), in the same multipart body.
make_noise_body() { # file size
  python3 - "$1" "$2" <<'PY'
import os, sys, zlib
def chunk(kind, data):
    return len(data).to_bytes(4, "big") + kind + data + zlib.crc32(kind + data).to_bytes(4, "big")
height = max(1, int(sys.argv[2]) // 769)
rows = b"".join(b"\0" + os.urandom(768) for _ in range(height))
image = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", (256).to_bytes(4, "big") + height.to_bytes(4, "big") + bytes([8, 2, 0, 0, 0]))
         + chunk(b"IDAT", zlib.compress(rows, 0)) + chunk(b"IEND", b""))
boundary = b"---------------------------7d6891e3b0542"
with open(sys.argv[1], "wb") as f:
    f.write(b"--" + boundary + b"\r\nContent-Disposition: form-data; name=\"imgfile\"; filename=\"C:\\Glimor\\Glimor.png\""
            b"\r\nContent-Type: image/png\r\n\r\n" + image + b"\r\n--" + boundary + b"--\r\n")
PY
}
sizes="100KB:102400 1MB:1048576 10MB:10485760"
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

declare -A get_path
for size in $sizes; do
  make_noise_body "$work/get-${size%%:*}" "${size#*:}"
  get_path[${size%%:*}]=$(upload "http://127.0.0.1:$port" "$work/get-${size%%:*}" | sed 's|^http://[^/]*/||')
  [ -n "${get_path[${size%%:*}]}" ] || { echo "upload of ${size%%:*} failed"; cat "$work/server.log"; exit 1; }
done
# nginx serving the same files from disk with sendfile, for comparison, with as
# many worker processes as the service has threads.
static_port=
if nginx=$(command -v nginx || ls /usr/sbin/nginx 2>/dev/null); then
  static=$work/static
  for size in $sizes; do
    image_path=${get_path[${size%%:*}]}
    mkdir -p "$static/root/$(dirname "$image_path")"
    cp "$work/data/images/$(basename "$image_path" | cut -c1-2)/$(basename "$image_path")" "$static/root/$image_path"
  done
  static_port=$(free_port)
  printf '%s\n' "pid $static/nginx.pid;" "error_log $static/error.log;" "worker_processes $(nproc);" \
    "events { worker_connections 1024; }" \
    "http { access_log off; sendfile on; tcp_nopush on; types { image/png png; }" \
    "  server { listen 127.0.0.1:$static_port; root $static/root; } }" >"$static/nginx.conf"
  chmod -R a+rX "$static" && chmod o+x "$work"
  "$nginx" -p "$static" -c "$static/nginx.conf" -e "$static/error.log"
  for _ in $(seq 100); do curl -s -o /dev/null "http://127.0.0.1:$static_port/$image_path" && break; sleep 0.05; done
fi
# Each size against glimor-server, then at once against nginx, in three rounds of a
# third of the time, so both see the same share of a machine that others use too;
# the round of the median ratio is shown.
rounds=3
round_load() { wrk -t2 -c64 -d"$((seconds / rounds > 2 ? seconds / rounds : 2))s" --latency "$1"; }
declare -A gets nginx_gets ratios
for size in $sizes; do
  name=${size%%:*}
  for round in $(seq $rounds); do
    gets[$name.$round]=$(round_load "http://127.0.0.1:$port/${get_path[$name]}")
    [ -z "$static_port" ] || nginx_gets[$name.$round]=$(round_load "http://127.0.0.1:$static_port/${get_path[$name]}")
  done
done
# wrk does not check the certificate; the connections are kept alive, so this
# measures the encryption more than the handshakes.
tls_gets=$(get_load "$tls_link")
# The uploads carry an upload token, as a public service requires.
token=$("$build/server/glimor-server" token add bench --data "$work/data" | tail -n 1)
sleep 1.2 # the service reads the tokens once a second
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
ratio() { python3 -c "print('%.2f' % ($(rate "$1") / $(rate "$2")))"; }
for size in $sizes; do
  name=${size%%:*}
  if [ -z "$static_port" ]; then
    gets[$name]=${gets[$name.1]}
    summarise "GET $name" "${gets[$name]}"
    continue
  fi
  round_ratios=() median=1
  for round in $(seq $rounds); do round_ratios+=("$(ratio "${gets[$name.$round]}" "${nginx_gets[$name.$round]}")"); done
  median=$(python3 -c "import sys; r = sys.argv[1:]; print(sorted(range(len(r)), key=lambda i: float(r[i]))[len(r) // 2] + 1)" \
    "${round_ratios[@]}")
  gets[$name]=${gets[$name.$median]}
  summarise "GET $name" "${gets[$name]}"
  summarise "  nginx" "${nginx_gets[$name.$median]}"
  echo "GET $name, glimor-server / nginx: ${round_ratios[$((median - 1))]} (rounds: ${round_ratios[*]}; goal 0.9 or more)"
done
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
# image that each node copies into its disk cache (--cache-dir) on its first GET
# and serves from there after that.
postgres=$work/pg
if ! pg_port=$("$root/tests/support/postgres_cluster.sh" start "$postgres"); then
  postgres=
  echo "PostgreSQL store: skipped"
  exit 0
fi
uri="postgresql://glimor@127.0.0.1:$pg_port/glimor"
# One node reached directly.
start_glimor_server "$build/server/glimor-server" "$work/node1.log" --database "$uri" $unlimited \
  --cache-dir "$work/cache1"
node1_pid=$glimor_server_pid node1=$glimor_server_port
pg_path=$(upload "http://127.0.0.1:$node1" | sed 's|^http://[^/]*||')
large_path=$(upload "http://127.0.0.1:$node1" "$work/get-1MB" | sed 's|^http://[^/]*||')
[ -n "$pg_path" ] && [ -n "$large_path" ] || { echo "upload to PostgreSQL failed"; cat "$work/node1.log"; exit 1; }
curl -s -o /dev/null "http://127.0.0.1:$node1$large_path" # the cache warm

one_gets=$(get_load "http://127.0.0.1:$node1$pg_path")
one_large=$(get_load "http://127.0.0.1:$node1$large_path")
one_uploads=$(upload_load "http://127.0.0.1:$node1")
kill "$node1_pid" && wait "$node1_pid" 2>/dev/null || true

# Two nodes that take connections only from nginx, which names the client with
# the PROXY protocol; open to anyone, since the load carries no token.
proxied="--proxy-protocol --trusted-proxy 127.0.0.1 --uploads open"
start_glimor_server "$build/server/glimor-server" "$work/node1.log" --database "$uri" $unlimited $proxied \
  --cache-dir "$work/cache1"
node1_pid=$glimor_server_pid node1=$glimor_server_port
start_glimor_server "$build/server/glimor-server" "$work/node2.log" --database "$uri" $unlimited $proxied \
  --cache-dir "$work/cache2"
node2_pid=$glimor_server_pid node2=$glimor_server_port
# The same nginx in front of node 1 alone first: what the proxy costs on this machine.
front_port=$(free_port)
front=$work/nginx
"$root/tests/support/nginx_nodes.sh" start "$front" "$front_port" "$node1" "$node1"
for _ in $(seq 100); do curl -s -o /dev/null "http://127.0.0.1:$front_port/" && break; sleep 0.05; done
curl -s -o /dev/null "http://127.0.0.1:$front_port$large_path" # the cache warm
one_behind_large=$(get_load "http://127.0.0.1:$front_port$large_path")
"$root/tests/support/nginx_nodes.sh" stop "$front"
front_port=$(free_port)
"$root/tests/support/nginx_nodes.sh" start "$front" "$front_port" "$node1" "$node2"
for _ in $(seq 100); do curl -s -o /dev/null "http://127.0.0.1:$front_port/" && break; sleep 0.05; done
for _ in 1 2 3 4; do curl -s -o /dev/null "http://127.0.0.1:$front_port$large_path"; done # both caches warm
two_gets=$(get_load "http://127.0.0.1:$front_port$pg_path")
two_large=$(get_load "http://127.0.0.1:$front_port$large_path")
two_uploads=$(upload_load "http://127.0.0.1:$front_port")
echo "PostgreSQL store, one node, then two nodes behind nginx:"
summarise "1 node GET" "$one_gets"
summarise "1 node GET 1MB" "$one_large"
summarise "1 node upload" "$one_uploads"
summarise "2 nodes GET" "$two_gets"
summarise "1 node behind nginx GET 1MB" "$one_behind_large"
summarise "2 nodes GET 1MB" "$two_large"
summarise "2 nodes upload" "$two_uploads"
echo "GET 1MB, 1 node with a warm cache / SQLite store: $(ratio "$one_large" "${gets[1MB]}") (goal 0.8 or more)"
echo "GET 1MB, 2 nodes behind nginx / 1 node reached directly: $(ratio "$two_large" "$one_large") (goal 1.00 or more)"
echo "GET 1MB, 2 nodes behind nginx / 1 node behind nginx: $(ratio "$two_large" "$one_behind_large")"
