#!/usr/bin/env bash
# Load on glimor-server over loopback, bounded in time and count: wrk against
# one stored image over HTTP and over HTTPS, then a loop of 100 KB uploads.
# Prints requests/s, p99 latency and errors for each. Usage: bench/server_load.sh [seconds]
# (GLIMOR_BUILD_DIR selects the build, default build/linux).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${GLIMOR_BUILD_DIR:-$root/build/linux}
seconds=${1:-10}
work=$(mktemp -d)
server_pid= tls_pid=
cleanup() {
  for pid in $server_pid $tls_pid; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT

free_port() { python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
port=$(free_port)
"$build/server/glimor-server" --data "$work/data" --listen "127.0.0.1:$port" 2>"$work/server.log" &
server_pid=$!
# The same service over HTTPS, with the test certificates.
"$root/tests/support/make_test_ca.sh" "$work/pki"
tls_port=$(free_port)
"$build/server/glimor-server" --data "$work/tls-data" --listen "127.0.0.1:$tls_port" \
  --tls-cert "$work/pki/server.pem" --tls-key "$work/pki/server.key" 2>"$work/tls-server.log" &
tls_pid=$!
for _ in $(seq 100); do curl -s -o /dev/null "http://127.0.0.1:$port/" && break; sleep 0.05; done
for _ in $(seq 100); do curl -s --cacert "$work/pki/ca.pem" -o /dev/null "https://127.0.0.1:$tls_port/" && break; sleep 0.05; done

# A 100 KB JPEG-signed image in the multipart body Glimor builds.
python3 - "$work/body" <<'PY'
import os, sys
boundary = b"---------------------------7d6891e3b0542"
image = b"\xff\xd8\xff\xe0\x00\x10JFIF\x00" + os.urandom(100 * 1024 - 11)
with open(sys.argv[1], "wb") as f:
    f.write(b"--" + boundary + b"\r\nContent-Disposition: form-data; name=\"imgfile\"; filename=\"C:\\Glimor\\Glimor.jpg\""
            b"\r\nContent-Type: image/jpg\r\n\r\n" + image + b"\r\n--" + boundary + b"--\r\n")
PY
upload() { # base-url [curl options]
  curl -s "${@:2}" -H "Content-Type: multipart/form-data; boundary=---------------------------7d6891e3b0542" \
    --data-binary "@$work/body" "$1/guestglimor.php" | sed -n 's/^Link: \(.*\)\r$/\1/p'
}
link=$(upload "http://127.0.0.1:$port")
[ -n "$link" ] || { echo "upload failed"; cat "$work/server.log"; exit 1; }
tls_link=$(upload "https://127.0.0.1:$tls_port" --cacert "$work/pki/ca.pem")
[ -n "$tls_link" ] || { echo "upload over https failed"; cat "$work/tls-server.log"; exit 1; }

summarise() { # name wrk-output
  local rate p99 errors
  rate=$(sed -n 's/^Requests\/sec: *\([0-9.]*\).*/\1/p' <<<"$2")
  p99=$(sed -n 's/^ *99% *\([0-9.]*[a-z]*\).*/\1/p' <<<"$2")
  errors=$(grep -E 'Non-2xx|Socket errors' <<<"$2" | tr -s ' ' | paste -sd ';' || true)
  printf '%-14s %10s requests/s   p99 %8s   errors: %s\n' "$1" "$rate" "$p99" "${errors:-none}"
}

gets=$(wrk -t2 -c64 -d"${seconds}s" --latency "$link")
# wrk does not check the certificate; the connections are kept alive, so this
# measures the encryption more than the handshakes.
tls_gets=$(wrk -t2 -c64 -d"${seconds}s" --latency "$tls_link")
uploads=$(UPLOAD_BODY_FILE="$work/body" UPLOAD_LIMIT_PER_THREAD=4000 \
  wrk -t2 -c16 -d"${seconds}s" --latency -s "$root/bench/server_upload.lua" "http://127.0.0.1:$port/")

echo "glimor-server over loopback, $(nproc) cores, ${seconds}s each:"
summarise "image GET" "$gets"
summarise "image GET TLS" "$tls_gets"
summarise "upload 100KB" "$uploads"
stored=$(find "$work/data/images" -type f | wc -l)
echo "images stored: $stored"
