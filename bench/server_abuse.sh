#!/usr/bin/env bash
# glimor-server under the attacks a stranger on the internet can make, on
# loopback only (127.0.0.0/8 addresses stand for other clients), each bounded
# in count and time. Prints, next to each attack, what the service holds:
#   1,100 idle connections from 30 addresses under `ulimit -n 1024`: a GET's
#     latency from another address and the log bytes written in 5 s
#   8 slow 32 MiB uploads from 127.0.0.2: the status of uploads from 127.0.0.1
#   120 readers of a 30 MiB image that never read: peak memory, a GET's latency
#   HEAD of a 30 MiB image from 4 clients: requests/s and bytes read for them
#   16 JPEG scan bombs at once from 127.0.0.3 (32 MP, 100 scans each): the
#     latency of GETs and of 100 KB uploads from other networks meanwhile (the
#     addresses of one /24 share the decoding threads as one client)
#   30 addresses of 127.0.0.0/24 sending, one at a time each, a 778 KB PNG that
#     costs 2 s of processor time before its 415, for 30 s: the latency (p50,
#     p90, p99) of 100 KB uploads from another network, and of GETs, meanwhile
# Usage: bench/server_abuse.sh (GLIMOR_BUILD_DIR selects the build, default build/linux).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${GLIMOR_BUILD_DIR:-$root/build/linux}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

SERVER="$build/server/glimor-server" WORK="$work" PEER_CHECKS="$root/tests/peer" python3 - <<'PY'
import os, re, resource, socket, statistics, subprocess, sys, threading, time, zlib

sys.path.insert(0, os.environ["PEER_CHECKS"])
from glimor_server_peer import free_port, noise_png, scan_bomb_jpeg, wait_listening

SERVER, WORK = os.environ["SERVER"], os.environ["WORK"]
BOUNDARY = b"---------------------------7d6891e3b0542"
soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
resource.setrlimit(resource.RLIMIT_NOFILE, (hard, hard))  # the attacker's own side needs room


class Service:
    def __init__(self, name, descriptors=None):
        self.port = free_port()
        self.log_path = os.path.join(WORK, name + ".log")
        limit = "ulimit -n %d; " % descriptors if descriptors else ""
        self.process = subprocess.Popen(
            ["bash", "-c", limit + 'exec "$0" --data "$1" --listen "127.0.0.1:$2" --upload-rate 0 --upload-quota 0', SERVER,
             os.path.join(WORK, "data"), str(self.port)], stderr=open(self.log_path, "wb"))
        wait_listening(self.port, self.process, 10, lambda: open(self.log_path).read(), "glimor-server")

    def status(self, field):
        with open("/proc/%d/status" % self.process.pid) as f:
            return int(re.search(field + r":\s+(\d+) kB", f.read()).group(1)) * 1024

    def io(self):
        with open("/proc/%d/io" % self.process.pid) as f:
            text = f.read()
        return {key: int(value) for key, value in re.findall(r"(\w+): (\d+)", text)}

    def stop(self):
        self.process.terminate()
        try:
            self.process.wait(timeout=40)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()


def connect(port, source="127.0.0.1", timeout=10):
    s = socket.socket()
    s.settimeout(timeout)
    s.bind((source, 0))
    s.connect(("127.0.0.1", port))
    return s


def read_head(s):
    data = b""
    while b"\r\n\r\n" not in data:
        piece = s.recv(65536)
        if not piece:
            break
        data += piece
    return data


def get_seconds(port, path, source="127.0.0.99"):
    """One GET on a fresh connection, read to the end; the seconds it took, or None."""
    started = time.time()
    try:
        with connect(port, source, timeout=10) as s:
            s.sendall(b"GET " + path + b" HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n")
            if not read_head(s).startswith(b"HTTP/1.1 200"):
                return None
            while s.recv(65536):
                pass
        return time.time() - started
    except OSError:
        return None


def latency_text(samples):
    good = [s for s in samples if s is not None]
    if not good:
        return "no answer in %d tries" % len(samples)
    ordered = sorted(good)
    return "median %.1f ms, p90 %.1f ms, max %.1f ms, %d of %d answered" % (
        statistics.median(ordered) * 1000, ordered[int(0.9 * (len(ordered) - 1))] * 1000, ordered[-1] * 1000,
        len(good), len(samples))


def percentiles_text(samples):
    good = sorted(s for s in samples if s is not None)
    if not good:
        return "no answer in %d tries" % len(samples)
    at = lambda q: good[int(q * (len(good) - 1))] * 1000
    return "p50 %.0f ms, p90 %.0f ms, p99 %.0f ms, %d of %d answered" % (
        at(0.5), at(0.9), at(0.99), len(good), len(samples))


def costly_png():
    """1,000,000 x 100 RGBA pixels at 16 bits, all zero: 800 MB to inflate from 778 KB."""
    width, height = 1_000_000, 100
    deflate = zlib.compressobj(9)
    row = bytes(1 + 8 * width)
    pixels = b"".join(deflate.compress(row) for _ in range(height)) + deflate.flush()

    def chunk(kind, data):
        return len(data).to_bytes(4, "big") + kind + data + zlib.crc32(kind + data).to_bytes(4, "big")
    header = width.to_bytes(4, "big") + height.to_bytes(4, "big") + bytes([16, 6, 0, 0, 0])
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", pixels) + chunk(b"IEND", b"")


def upload_body(size, image=None):
    image = image or noise_png(size)  # the service stores only complete images
    return (b"--" + BOUNDARY + b"\r\nContent-Disposition: form-data; name=\"imgfile\"; filename=\"C:\\G\\x.png\""
            b"\r\nContent-Type: image/png\r\n\r\n" + image + b"\r\n--" + BOUNDARY + b"--\r\n")


def upload_head(length):
    return (b"POST /guestglimor.php HTTP/1.0\r\nContent-Type: multipart/form-data;\r\n boundary=" + BOUNDARY +
            b"\r\nContent-Length: %d\r\nHost: localhost\r\n\r\n" % length)


def upload(port, body, source="127.0.0.1"):
    """Status line and link of one upload as Glimor sends it."""
    try:
        with connect(port, source, timeout=30) as s:
            s.sendall(upload_head(len(body)) + body)
            answer = b""
            while True:
                piece = s.recv(65536)
                if not piece:
                    break
                answer += piece
    except OSError as error:
        return "no answer (%s)" % (error.strerror or "timed out"), ""
    status = answer.split(b"\r\n", 1)[0].decode(errors="replace")
    link = re.search(rb"Link: http://[^/]+(/\S+)", answer)
    return status, link.group(1) if link else b""


print("glimor-server under attack over loopback, %d cores" % os.cpu_count())

# Stored images: a small one and a 30 MiB one.
service = Service("setup")
_, small = upload(service.port, upload_body(100 * 1024))
_, large = upload(service.port, upload_body(30 << 20))
service.stop()
assert small and large, "uploads failed"

# 1. Idle connections beyond the descriptor limit.
service = Service("idle", descriptors=1024)
log_before = os.path.getsize(service.log_path)
idle = []
for i in range(1100):
    try:
        idle.append(connect(service.port, "127.0.1.%d" % (1 + i % 30), timeout=5))
    except OSError:
        pass
time.sleep(0.5)
log_start = os.path.getsize(service.log_path)
samples = []
for _ in range(5):
    samples.append(get_seconds(service.port, small))
    time.sleep(max(0.0, 1.0 - (samples[-1] or 0)))
log_grown = os.path.getsize(service.log_path) - log_start
print("1,100 idle connections (%d opened), ulimit -n 1024: GET %s; log +%d bytes in %.0f s" % (
    len(idle), latency_text(samples), log_grown, 5))
for s in idle:
    s.close()
service.stop()

# 2. Slow uploads from one address.
service = Service("slow-uploads")
slow = []
for _ in range(8):
    s = connect(service.port, "127.0.0.2")
    s.sendall(upload_head((32 << 20) + 65536) + b"-")  # the largest body the service takes
    slow.append(s)
statuses = {}
ended = time.time() + 12
last_byte = time.time()
body = upload_body(100 * 1024)
while time.time() < ended:
    status, _ = upload(service.port, body)
    statuses[status] = statuses.get(status, 0) + 1
    if time.time() - last_byte >= 5:
        for s in slow:
            try:
                s.send(b"-")
            except OSError:
                pass
        last_byte = time.time()
    time.sleep(0.5)
refused = 0
for s in slow:
    s.setblocking(False)
    try:
        refused += s.recv(100).startswith(b"HTTP/1.0 429")
    except OSError:
        pass
    s.close()
print("8 slow 32 MiB uploads from 127.0.0.2 (%d of them got 429): uploads from 127.0.0.1: %s" % (
    refused, ", ".join("%d x %s" % (n, status) for status, n in statuses.items())))
service.stop()

# 3. Readers that never read.
service = Service("slow-readers")
readers = []
for i in range(120):
    s = connect(service.port, "127.0.2.%d" % (1 + i % 100))
    s.sendall(b"GET " + large + b" HTTP/1.1\r\nHost: x\r\n\r\n")
    readers.append(s)
peak_end = time.time() + 6
samples = []
while time.time() < peak_end:
    samples.append(get_seconds(service.port, small))
    time.sleep(0.3)
print("120 readers of a 30 MiB image that never read: peak memory %.0f MB; GET %s" % (
    service.status("VmHWM") / 1e6, latency_text(samples)))
for s in readers:
    s.close()
service.stop()

# 4. HEAD of a large image.
service = Service("head")
before = service.io()
count = [0]
stop_at = time.time() + 5


def heads():
    with connect(service.port) as s:
        while time.time() < stop_at:
            s.sendall(b"HEAD " + large + b" HTTP/1.1\r\nHost: x\r\n\r\n")
            if not read_head(s).startswith(b"HTTP/1.1 200"):
                return
            count[0] += 1


threads = [threading.Thread(target=heads) for _ in range(4)]
for t in threads:
    t.start()
for t in threads:
    t.join()
after = service.io()
print("HEAD of a 30 MiB image, 4 clients: %.0f requests/s; read %d bytes through read calls, %d from disk" % (
    count[0] / 5, after["rchar"] - before["rchar"], after["read_bytes"] - before["read_bytes"]))
service.stop()

# 5. JPEG scan bombs: each scan is one more pass over every block.
service = Service("scan-bombs")
bomb = upload_body(0, scan_bomb_jpeg(WORK, 5657, 5657))
bomb_statuses, get_samples, upload_samples = [], [], []


def bomb_upload():
    bomb_statuses.append(upload(service.port, bomb, "127.0.0.3")[0])


def timed_upload(source):
    started = time.time()
    status, _ = upload(service.port, upload_body(100 * 1024), source)
    return time.time() - started if status.startswith("HTTP/1.0 200") else None


bombers = [threading.Thread(target=bomb_upload) for _ in range(16)]
started = time.time()
for t in bombers:
    t.start()
time.sleep(0.3)  # the bombs are in and being decoded
for i in range(10):
    get_samples.append(get_seconds(service.port, small))
    upload_samples.append(timed_upload("127.0.%d.4" % (10 + i)))  # other networks
for t in bombers:
    t.join()
print("16 scan bombs (%d KB, 32 MP, 100 scans) from 127.0.0.3, answered in %.1f s (%s): GET %s; upload %s" % (
    len(bomb) // 1024, time.time() - started, ", ".join(sorted(set(bomb_statuses))), latency_text(get_samples),
    latency_text(upload_samples)))
service.stop()

# 6. Costly PNGs from many addresses of one network, each sending one after another.
service = Service("costly-pngs")
costly = upload_body(0, costly_png())
attack_end = time.time() + 30
costly_statuses, get_samples, upload_samples = [], [], []


def costly_uploads(source):
    while time.time() < attack_end:
        costly_statuses.append(upload(service.port, costly, source)[0])


def honest_upload(i):
    upload_samples.append(timed_upload("127.0.9.%d" % (1 + i % 200)))


attackers = [threading.Thread(target=costly_uploads, args=("127.0.0.%d" % (10 + i),)) for i in range(30)]
for t in attackers:
    t.start()
time.sleep(3)  # every address has a decode running or waiting
honest = []
i = 0
while time.time() < attack_end:
    honest.append(threading.Thread(target=honest_upload, args=(i,)))
    honest[-1].start()
    get_samples.append(get_seconds(service.port, small))
    time.sleep(0.25)
    i += 1
for t in honest + attackers:
    t.join()
print("30 addresses of 127.0.0.0/24 sending a costly %d KB PNG (%s): upload from 127.0.9.0/24 %s; GET %s" % (
    len(costly) // 1000,
    ", ".join("%d x %s" % (costly_statuses.count(status), status) for status in sorted(set(costly_statuses))),
    percentiles_text(upload_samples), percentiles_text(get_samples)))
service.stop()
PY
