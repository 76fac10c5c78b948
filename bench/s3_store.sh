#!/usr/bin/env bash
# glimor-server with its images in an S3 bucket (a throwaway RADOS Gateway,
# tests/support/radosgw_gateway.sh) against its peers, in one run, 1 MB images:
#   uploads/s to the bucket (records in SQLite) / uploads/s to the PostgreSQL store   (goal >= 0.8)
#   GETs/s from the bucket with a warm --cache-dir / GETs/s from the SQLite store    (goal >= 0.9)
#   GETs/s from the bucket, cold / GETs/s straight from the gateway, same client     (goal >= 0.7)
#   store migrate --to-s3 in MB/s                                                    (goal >= 50)
# Usage: bench/s3_store.sh [IMAGES] (GLIMOR_BUILD_DIR selects the build, default build/linux).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${GLIMOR_BUILD_DIR:-$root/build/linux}
work=$(mktemp -d)
gateway=$work/gateway
cleanup() {
  bash "$root/tests/support/radosgw_gateway.sh" stop "$gateway" || true
  bash "$root/tests/support/postgres_cluster.sh" stop "$work/pg" >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
read -r endpoint access secret < <(bash "$root/tests/support/radosgw_gateway.sh" start "$gateway")
pg_port=$(bash "$root/tests/support/postgres_cluster.sh" start "$work/pg" 'fsync = off' | tail -n 1)

SERVER="$build/server/glimor-server" WORK="$work" PEER_CHECKS="$root/tests/peer" ENDPOINT="$endpoint" \
  GLIMOR_S3_ACCESS_KEY="$access" GLIMOR_S3_SECRET_KEY="$secret" PG_PORT="$pg_port" IMAGES="${1:-48}" python3 - <<'PY'
import atexit, concurrent.futures, http.client, os, subprocess, sys, time, urllib.parse

sys.path.insert(0, os.environ["PEER_CHECKS"])
from glimor_server_peer import free_port, link_of, noise_png, program_upload, wait_listening, text_of

SERVER, WORK, ENDPOINT = os.environ["SERVER"], os.environ["WORK"], os.environ["ENDPOINT"]
COUNT, THREADS = int(os.environ["IMAGES"]), 4
PG = "postgresql://glimor@127.0.0.1:%s/glimor" % os.environ["PG_PORT"]
images = [noise_png(1000000) for _ in range(COUNT)]


class Node:
    def __init__(self, name, *flags):
        self.port = free_port()
        self.log = os.path.join(WORK, name + ".log")
        self.process = subprocess.Popen([SERVER, "--listen", "127.0.0.1:%d" % self.port, "--uploads", "open",
                                         "--upload-rate", "0", "--upload-quota", "0", *flags],
                                        stderr=open(self.log, "wb"))
        atexit.register(self.process.kill)  # none outlives the bench, whatever fails
        wait_listening(self.port, self.process, 60, lambda: text_of(self.log), name)

    def stop(self):
        self.process.terminate()
        self.process.wait(timeout=30)


def upload_rate(node):
    host = b"127.0.0.1:%d" % node.port
    start = time.monotonic()
    with concurrent.futures.ThreadPoolExecutor(THREADS) as pool:
        links = list(pool.map(lambda image: link_of(program_upload(node.port, host, b"C:\\G\\Glimor.png", image)), images))
    assert all(links), "an upload failed: " + text_of(node.log)[-500:]
    return COUNT / (time.monotonic() - start), links


def get_rate(urls, rounds=2):
    """GETs/s of the same client for every URL: kept-alive connections, one per thread."""
    def fetch(part):
        connection, got = None, 0
        for url in part:
            parsed = urllib.parse.urlsplit(url)
            if connection is None:
                connection = http.client.HTTPConnection(parsed.hostname, parsed.port, timeout=30)
            connection.request("GET", parsed.path + ("?" + parsed.query if parsed.query else ""))
            answer = connection.getresponse()
            body = answer.read()
            assert answer.status == 200 and len(body) > 0, (answer.status, url)
            got += 1
        return got
    work = urls * rounds
    parts = [work[i::THREADS] for i in range(THREADS)]
    start = time.monotonic()
    with concurrent.futures.ThreadPoolExecutor(THREADS) as pool:
        done = sum(pool.map(fetch, parts))
    return done / (time.monotonic() - start)


s3 = ["--s3", ENDPOINT, "--s3-bucket", "bench"]
pg = Node("pg", "--database", PG)
pg_uploads, _ = upload_rate(pg)
pg.stop()
node = Node("s3", "--data", os.path.join(WORK, "s3"), *s3)
s3_uploads, s3_links = upload_rate(node)
cold = get_rate(s3_links)
node.stop()
# The gateway's own rate: the same objects through presigned links, same client.
redirecting = Node("s3-redirect", "--data", os.path.join(WORK, "s3"), *s3, "--s3-redirect")
presigned = []
for link in s3_links:
    parsed = urllib.parse.urlsplit(link.replace(":%d/" % node.port, ":%d/" % redirecting.port))
    connection = http.client.HTTPConnection(parsed.hostname, parsed.port, timeout=30)
    connection.request("GET", parsed.path)
    presigned.append(connection.getresponse().getheader("Location"))
redirecting.stop()
gateway = get_rate(presigned)
cached = Node("s3-cache", "--data", os.path.join(WORK, "s3"), *s3, "--cache-dir", os.path.join(WORK, "cache"))
host_links = [l.replace(":%d/" % node.port, ":%d/" % cached.port) for l in s3_links]
get_rate(host_links, rounds=1)  # fills the disk cache
warm = get_rate(host_links)
cached.stop()
plain = Node("sqlite", "--data", os.path.join(WORK, "plain"))
_, plain_links = upload_rate(plain)
files = get_rate(plain_links)
plain.stop()
start = time.monotonic()
moved = subprocess.run([SERVER, "store", "migrate", "--to-s3", "--data", os.path.join(WORK, "plain"), *s3,
                        "--s3-bucket", "bench-migrated"], capture_output=True, text=True)
seconds = time.monotonic() - start
migrated_mb = COUNT * len(images[0]) / 1e6

print("uploads/s:  bucket %.1f, PostgreSQL %.1f: ratio %.2f (goal >= 0.8)" % (s3_uploads, pg_uploads, s3_uploads / pg_uploads))
print("GETs/s:     bucket with warm --cache-dir %.1f, SQLite files %.1f: ratio %.2f (goal >= 0.9)" % (warm, files, warm / files))
print("GETs/s:     bucket cold %.1f, gateway directly %.1f: ratio %.2f (goal >= 0.7)" % (cold, gateway, cold / gateway))
print("migration:  %.1f MB in %.1f s (with start-up): %.1f MB/s (goal >= 50); %s" %
      (migrated_mb, seconds, migrated_mb / seconds, moved.stdout.strip() or moved.stderr.strip()))
PY
