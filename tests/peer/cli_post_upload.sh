#!/usr/bin/env bash
# glimor-cli post and upload against a small scripted HTTP server on loopback: exit codes,
# what goes to stdout and stderr, the request the service receives, the answer file cleaned up.
set -euo pipefail
cli=${GLIMOR_BUILD_DIR:?}/src/cli/glimor-cli
work=$(mktemp -d)
server_pid=
trap '[ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null; rm -rf "$work"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

# serve ANSWER-FILE [CERT KEY]: answers every request with the file's bytes (over TLS with a
# certificate, then closing without close_notify), keeps each request as request.N; on ::1 alone
# with family=6.
serve() {
  FAMILY=${family:-4} python3 - "$work" "$@" >"$work/port" <<'PY' &
import socket, ssl, sys, os
work, answer = sys.argv[1], open(sys.argv[2], 'rb').read()
if os.environ['FAMILY'] == '6': s = socket.socket(socket.AF_INET6); s.bind(('::1', 0))
else: s = socket.socket(); s.bind(('127.0.0.1', 0))
s.listen(4)
if len(sys.argv) > 3:
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER); context.load_cert_chain(sys.argv[3], sys.argv[4])
    s = context.wrap_socket(s, server_side=True)
print(s.getsockname()[1], flush=True)
n = 0
while True:
    c, _ = s.accept(); data = b''
    while b'\r\n\r\n' not in data: data += c.recv(65536)
    head = data[:data.index(b'\r\n\r\n')].decode('latin-1').lower()
    length = int(head.split('content-length: ')[1].split('\r\n')[0])
    while len(data) < data.index(b'\r\n\r\n') + 4 + length: data += c.recv(65536)
    n += 1; open(os.path.join(work, 'request.%d' % n), 'wb').write(data)
    c.sendall(answer); c.close()
PY
  server_pid=$!
  for _ in $(seq 50); do [ -s "$work/port" ] && break; sleep 0.1; done
  port=$(cat "$work/port")
  [ -n "$port" ] || fail "the scripted server did not start"
}

printf 'HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n\r\nOK\r\nLink: http://127.0.0.1/i/abc\r\n' >"$work/ok.answer"
serve "$work/ok.answer"

# post: the answer body on stdout, byte for byte; the contact client's Content-Type on the wire.
printf 'name=Ann&email=none&cat=2&text=Hi\r\n\r\n' >"$work/feedback"
"$cli" post "http://localhost:$port/glimor/index.php?do=contact" "$work/feedback" --client contact >"$work/out"
printf 'OK\r\nLink: http://127.0.0.1/i/abc\r\n' | cmp - "$work/out" || fail "post answer differs"
grep -q $'^POST /glimor/index.php?do=contact HTTP/1.0\r$' "$work/request.1" || fail "post request line"
grep -q $'^Content-Type: application/x-www-form-urlencoded\r$' "$work/request.1" || fail "contact content type"

# upload: status texts on stderr, the link on stdout, the .dat file gone.
printf '\xff\xd8JPEG\xff\xd9' >"$work/Glimor.jpg"
"$cli" upload "$work/Glimor.jpg" --host "127.0.0.1:$port" >"$work/link" 2>"$work/status"
[ "$(cat "$work/link")" = "http://127.0.0.1/i/abc" ] || fail "upload link: $(cat "$work/link")"
printf 'Uploading image...\nUpload complete.\n' | cmp - "$work/status" || fail "upload status: $(cat "$work/status")"
[ ! -e "$work/Glimor.dat" ] || fail "answer file left behind"
grep -q "filename=\"$work/Glimor.jpg\"" "$work/request.2" || fail "full path in filename"

# "localhost" is 127.0.0.1 and then ::1: a service on ::1 alone is reached through the second.
kill "$server_pid"; wait "$server_pid" 2>/dev/null || true; server_pid=
rm -f "$work/port" "$work"/request.*; family=6 serve "$work/ok.answer"
"$cli" upload "$work/Glimor.jpg" --host "localhost:$port" >"$work/link" 2>"$work/status" ||
  fail "upload to a service on ::1 alone: $(cat "$work/status")"
[ -s "$work/request.1" ] || fail "the service on ::1 received no request"
kill "$server_pid"; wait "$server_pid" 2>/dev/null || true; server_pid=
rm -f "$work/port"; serve "$work/ok.answer"

# upload refusals and failures: exit code 1 and the status text.
if "$cli" upload "$work/missing.jpg" --host "127.0.0.1:$port" 2>"$work/status"; then fail "missing file succeeded"; fi
grep -qx 'Action canceled!' "$work/status" || fail "missing file status"
printf 'x' >"$work/Glimor.JPG"
if "$cli" upload "$work/Glimor.JPG" --host "127.0.0.1:$port" 2>"$work/status"; then fail "JPG succeeded"; fi
grep -qx 'Unknown file type.' "$work/status" || fail "unknown type status"

# the upload token (--token over GLIMOR_TOKEN) on one more header line, the deletion link on a
# second line of stdout, and glimor-cli delete posting an empty body to it; a token that could
# break the head is refused before anything is sent.
kill "$server_pid"; wait "$server_pid" 2>/dev/null || true; server_pid=
printf 'HTTP/1.1 200 OK\r\n\r\nImage stored.\r\nDelete: http://127.0.0.1/d/ab/s3\r\nLink: http://127.0.0.1/i/ab.jpg\r\n' \
  >"$work/stored.answer"
rm -f "$work/port" "$work"/request.*; serve "$work/stored.answer"
GLIMOR_TOKEN=from-env "$cli" upload "$work/Glimor.jpg" --token T0k.en --host "127.0.0.1:$port" >"$work/link" 2>/dev/null
printf 'http://127.0.0.1/i/ab.jpg\nhttp://127.0.0.1/d/ab/s3\n' | cmp - "$work/link" || fail "upload output: $(cat "$work/link")"
grep -q $'^Authorization: Bearer T0k.en\r$' "$work/request.1" || fail "no token line"
GLIMOR_TOKEN=from-env "$cli" upload "$work/Glimor.jpg" --host "127.0.0.1:$port" >/dev/null 2>&1
grep -q $'^Authorization: Bearer from-env\r$' "$work/request.2" || fail "no token from GLIMOR_TOKEN"
code=0; "$cli" upload "$work/Glimor.jpg" --host "127.0.0.1:$port" --token $'x\r\nX-Injected: 1' 2>"$work/err" || code=$?
[ $code = 2 ] && grep -q 'upload token may hold only' "$work/err" || fail "a bad token: exit $code, $(cat "$work/err")"
"$cli" delete "http://127.0.0.1:$port/d/ab/s3" 2>"$work/err" || fail "delete: $(cat "$work/err")"
[ ! -e "$work/request.4" ] || fail "the bad token went out"
grep -q $'^POST /d/ab/s3 HTTP/1.0\r$' "$work/request.3" && grep -q $'^Content-Length: 0\r$' "$work/request.3" ||
  fail "deletion request: $(cat -v "$work/request.3")"
grep -q 'Authorization' "$work/request.3" && fail "the deletion carried a token"

kill "$server_pid"; wait "$server_pid" 2>/dev/null || true; server_pid=
printf 'HTTP/1.1 404 Not Found\r\nContent-Length: 3\r\n\r\nno!' >"$work/missing.answer"
rm -f "$work/port"; serve "$work/missing.answer"
code=0; "$cli" delete "http://127.0.0.1:$port/d/ab/wrong" 2>"$work/err" || code=$?
[ $code = 1 ] && [ "$(cat "$work/err")" = "Error encountered during POST: HTTP/1.1 404 Not Found" ] ||
  fail "delete of an unknown link: exit $code, $(cat "$work/err")"
if "$cli" post "http://127.0.0.1:$port/x" "$work/feedback" >"$work/out" 2>"$work/err"; then fail "404 post succeeded"; fi
[ "$(cat "$work/err")" = "Error encountered during POST: HTTP/1.1 404 Not Found" ] || fail "404 message: $(cat "$work/err")"
[ ! -s "$work/out" ] || fail "404 body printed"
if "$cli" upload "$work/Glimor.jpg" --host "127.0.0.1:$port" >"$work/link" 2>"$work/status"; then fail "404 upload succeeded"; fi
printf 'Uploading image...\nError encountered during POST: HTTP/1.1 404 Not Found\nImage could not be uploaded.\n' |
  cmp - "$work/status" || fail "failed upload status: $(cat "$work/status")"

# answers that are no link: cut off before their announced end, or a portal's page; no link printed
# upload_fails ANSWER-FILE EXPECTED-ERROR [CERT KEY]
upload_fails() {
  if [ -n "$server_pid" ]; then kill "$server_pid"; wait "$server_pid" 2>/dev/null || true; fi
  rm -f "$work/port"; serve "$1" "${@:3}"
  if "$cli" upload "$work/Glimor.jpg" --host "${scheme:-}127.0.0.1:$port" >"$work/link" 2>"$work/status"; then
    fail "$1 was taken as a link: $(cat "$work/link")"
  fi
  [ ! -s "$work/link" ] || fail "$1 printed a link: $(cat -v "$work/link")"
  grep -qxF "Error encountered during POST: $2" "$work/status" || fail "$1 status: $(cat "$work/status")"
  grep -qx 'Image could not be uploaded.' "$work/status" || fail "$1 end: $(cat "$work/status")"
}
printf 'HTTP/1.1 200 OK\r\nContent-Length: 60\r\n\r\nOK\r\nLink: http://127.0.0.1/i/ab' >"$work/cut.answer"
upload_fails "$work/cut.answer" "The connection ended before the answer was complete."
printf 'HTTP/1.1 401 Unauthorized\r\nContent-Length: 23\r\n\r\nUpload token required\r\n' >"$work/token.answer"
upload_fails "$work/token.answer" "Upload token required. Give the upload token with --token or GLIMOR_TOKEN."
printf 'HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n<html><body>Sign in first</body>\r\n</html>\r\n' >"$work/portal.answer"
upload_fails "$work/portal.answer" "The service's answer holds no link to the image."
printf 'HTTP/1.1 200 OK\r\n\r\nLink: http://127.0.0.1/\033]0;x\007\r\n' >"$work/escape.answer"
upload_fails "$work/escape.answer" "The service's answer holds no link to the image."

kill "$server_pid"; wait "$server_pid" 2>/dev/null || true; server_pid=
if "$cli" post "http://127.0.0.1:$port/x" "$work/feedback" 2>"$work/err"; then fail "post to a closed port succeeded"; fi
printf 'Error encountered during POST: Socket Error # 10061\r\nConnection refused.\n' | cmp - "$work/err" ||
  fail "refused message: $(cat "$work/err")"
# https against glimor-server with a throwaway CA: trusted through SSL_CERT_FILE, refused without
# it, and refused when the certificate names another host.
source "${GLIMOR_SOURCE_DIR:?}/tests/support/glimor_server.sh"
bash "$GLIMOR_SOURCE_DIR/tests/support/make_test_ca.sh" "$work/ca" >/dev/null
# serve_tls CERT KEY: glimor-server over TLS on a free port; sets port.
serve_tls() {
  mkdir -p "$work/data"
  start_glimor_server "$GLIMOR_BUILD_DIR/server/glimor-server" "$work/server.log" --data "$work/data" \
    --tls-cert "$1" --tls-key "$2" || fail "glimor-server over TLS"
  server_pid=$glimor_server_pid port=$glimor_server_port
}
# over TLS, an answer read to its end that is cut without close_notify is no answer
printf 'HTTP/1.1 200 OK\r\n\r\nOK\r\nLink: https://localhost/i/abc.jpg\r\n' >"$work/unclean.answer"
SSL_CERT_FILE=$work/ca/ca.pem scheme=https:// upload_fails "$work/unclean.answer" \
  "The connection ended before the answer was complete." "$work/ca/server.pem" "$work/ca/server.key"
kill "$server_pid"; wait "$server_pid" 2>/dev/null || true; server_pid=
serve_tls "$work/ca/server.pem" "$work/ca/server.key"
mkdir -p "$work/real" && convert -size 8x8 xc:red "$work/real/Glimor.jpg"
SSL_CERT_FILE=$work/ca/ca.pem "$cli" upload "$work/real/Glimor.jpg" --host "https://localhost:$port" >"$work/link" 2>"$work/status" ||
  fail "https upload: $(cat "$work/status")"
link=$(sed -n 1p "$work/link")
case $link in "https://localhost:$port/i/"*.jpg) ;; *) fail "https link: $link" ;; esac
case $(sed -n 2p "$work/link") in "https://localhost:$port/d/"*) ;; *) fail "https deletion link: $(sed -n 2p "$work/link")" ;; esac
curl -sf --cacert "$work/ca/ca.pem" "$link" | cmp - "$work/real/Glimor.jpg" || fail "the https link serves other bytes"
SSL_CERT_FILE=$work/ca/ca.pem "$cli" upload "$work/real/Glimor.jpg" --host "https://127.0.0.1:$port" >/dev/null 2>&1 ||
  fail "https upload by IP address"

if SSL_CERT_FILE=$work/ca/rogue-ca.pem "$cli" upload "$work/real/Glimor.jpg" --host "https://localhost:$port" \
  >/dev/null 2>"$work/status"; then fail "an untrusted certificate was accepted"; fi
grep -q "^Error encountered during POST: The certificate of localhost is not trusted" "$work/status" ||
  fail "untrusted message: $(cat "$work/status")"
grep -qx 'Image could not be uploaded.' "$work/status" || fail "untrusted status: $(cat "$work/status")"

kill "$server_pid"; wait "$server_pid" 2>/dev/null || true; server_pid=
serve_tls "$work/ca/other.pem" "$work/ca/other.key"
if SSL_CERT_FILE=$work/ca/ca.pem "$cli" post "https://localhost:$port/glimor/index.php?do=contact" "$work/feedback" \
  --client contact >/dev/null 2>"$work/err"; then fail "a certificate for another host was accepted"; fi
[ "$(cat "$work/err")" = "Error encountered during POST: The certificate of localhost names another host." ] ||
  fail "other-host message: $(cat "$work/err")"
echo "cli post/upload: ok"
