"""Peer checks of glimor-server: the real binary on a free loopback port, driven
with the exact request bytes Glimor sends, with curl, and with hostile input.

Run as: python3 glimor_server_peer.py GROUP   (GROUP: wire, refusals, load, cli, tls, gate, clients, page)
Environment: GLIMOR_BUILD_DIR (the build folder), GLIMOR_SOURCE_DIR.
"""
import concurrent.futures
import hashlib
import json
import os
import re
import resource
import shutil
import signal
import select
import socket
import sqlite3
import ssl
import struct
import subprocess
import sys
import tempfile
import time
import zlib

BUILD = os.environ.get("GLIMOR_BUILD_DIR", "build/linux")
SOURCE = os.environ.get("GLIMOR_SOURCE_DIR", os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
SERVER = os.path.join(BUILD, "server", "glimor-server")
BOUNDARY = b"---------------------------7d6891e3b0542"

failures = []
skipped = []  # parts that could not run here, named in the summary line


def check(condition, message):
    if not condition:
        failures.append(message)
        print("FAIL:", message, flush=True)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def connect_from(address, port, timeout=20):
    """A connection to the service from another loopback address, standing for another client."""
    s = socket.socket()
    s.settimeout(timeout)
    s.bind((address, 0))
    s.connect(("127.0.0.1", port))
    return s


def io_counters(pid):
    """Bytes the process has read so far through read calls of any kind (rchar)."""
    with open("/proc/%d/io" % pid) as f:
        return int(re.search(r"rchar: (\d+)", f.read()).group(1))


def text_of(path):
    with open(path, "rb") as f:
        return f.read().decode(errors="replace")


def wait_listening(port, process, seconds, log_text, what):
    """Returns once the process takes connections on the port; raises with its log if it does not."""
    deadline = time.time() + seconds
    while time.time() < deadline and process.poll() is None:
        try:
            socket.create_connection(("127.0.0.1", port), timeout=1).close()
            return
        except OSError:
            time.sleep(0.05)
    raise RuntimeError(what + " did not start: " + log_text())


class Server:
    """glimor-server on a free loopback port, with its log kept for inspection."""

    started = []

    # The checks upload from one address far faster than the limits for strangers allow.
    UNLIMITED = ("--upload-rate", "0", "--upload-quota", "0", "--feedback-rate", "0")

    def __init__(self, data, *flags, port=None, descriptors=None, limits=UNLIMITED):
        self.data = data
        self.port = port or free_port()
        self.log_path = os.path.join(os.path.dirname(data), "server-%d.log" % self.port)
        self.log = open(self.log_path, "wb")
        limit = (lambda: resource.setrlimit(resource.RLIMIT_NOFILE, (descriptors, descriptors))) if descriptors else None
        self.process = subprocess.Popen(
            [SERVER, "--data", data, "--listen", "127.0.0.1:%d" % self.port, *limits, *flags],
            stderr=self.log, preexec_fn=limit)
        Server.started.append(self.process)
        wait_listening(self.port, self.process, 10, lambda: self.log_text(), "glimor-server")

    def log_text(self):
        return text_of(self.log_path)

    def stop(self):
        self.process.send_signal(signal.SIGTERM)
        code = self.process.wait(timeout=30)
        self.log.close()
        return code


def answer_complete(answer, head_request):
    if b"\r\n\r\n" not in answer:
        return False
    head, body = answer.split(b"\r\n\r\n", 1)
    length = re.search(rb"\r\nContent-Length: (\d+)", head)
    if head_request or head.startswith(b"HTTP/1.1 304") or head.startswith(b"HTTP/1.0 304"):
        return True
    return length is not None and len(body) >= int(length.group(1))


def read_answer(s, head_request=False):
    """Reads until the answer's Content-Length is complete or the service closes."""
    answer = b""
    while not answer_complete(answer, head_request):
        try:
            piece = s.recv(65536)
        except ConnectionResetError:
            break
        if not piece:
            break
        answer += piece
    return answer


def exchange(port, data, read_timeout=10, wrap=lambda s: s):
    """Sends all bytes first, then reads the answer, as Glimor does; `wrap` may put TLS on the socket."""
    with wrap(socket.create_connection(("127.0.0.1", port), timeout=read_timeout)) as s:
        s.sendall(data)
        return read_answer(s, data.startswith(b"HEAD "))


def closed_by_service(s):
    try:
        return s.recv(1) == b""
    except ConnectionResetError:
        return True
    except socket.timeout:
        return False


def status_line(answer):
    return answer.split(b"\r\n", 1)[0].decode(errors="replace")


def body_of(answer):
    return answer.split(b"\r\n\r\n", 1)[1] if b"\r\n\r\n" in answer else b""


def program_upload_body(path, image):
    extension = path.rsplit(b".", 1)[1]
    return (b"--" + BOUNDARY + b"\r\nContent-Disposition: form-data; name=\"imgfile\"; filename=\"" + path +
            b"\"\r\nContent-Type: image/" + extension + b"\r\n\r\n" + image + b"\r\n--" + BOUNDARY + b"--\r\n")


def program_head(target, host, content_type, length, extra=b""):
    """The request head exactly as Glimor's HTTP client writes it, folded lines included;
    `extra` header lines (each ending in CR LF) follow the others."""
    if content_type == "multipart":
        content_type_lines = b"Content-Type: multipart/form-data;\r\n boundary=" + BOUNDARY + b"\r\n"
    else:
        content_type_lines = b"Content-Type: application/x-www-form-urlencoded\r\n"
    return (b"POST " + target + b" HTTP/1.0\r\n"
            b"Connection: Keep-Alive\r\n" + content_type_lines +
            b"Content-Length: %d\r\n" % length +
            b"Cache-control: no-cache\r\n"
            b"Host: " + host + b"\r\n"
            b"Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg,\r\n"
            b" application/vnd.ms-excel, application/vnd.ms-powerpoint, application/msword,\r\n"
            b" application/x-shockwave-flash, */*\r\n"
            b"Accept-Encoding: gzip, deflate\r\n"
            b"Accept-Language: hr\r\n"
            b"User-Agent: Mozilla/3.0 (compatible; Indy Library)\r\n" + extra + b"\r\n")


def program_upload(port, host, path, image, extra=b"", prefix=b""):
    """`prefix` goes before the request, e.g. a PROXY protocol header."""
    body = program_upload_body(path, image)
    return exchange(port, prefix + program_head(b"/guestglimor.php", host, "multipart", len(body), extra) + body)


def link_of(answer):
    """The link as Glimor takes it: the text after "Link: " on the answer's last line."""
    lines = re.split(rb"\r\n|\r|\n", body_of(answer).split(b"\0")[0])
    if lines and lines[-1] == b"":
        lines.pop()
    last = lines[-1] if lines else b""
    return last.split(b"Link: ")[1].decode() if b"Link: " in last else ""


def delete_url_of(answer):
    """The deletion link: on a line before the link, after which only the page's comes."""
    found = re.search(rb"\r\nDelete: (\S+)\r\n(?:Page: \S+\r\n)?Link: ", body_of(answer))
    return found.group(1).decode() if found else ""


def upload_from(address, port, image):
    """The program's upload, sent from another loopback address."""
    body = program_upload_body(b"C:\\Glimor\\Glimor.png", image)
    with connect_from(address, port) as s:
        s.sendall(program_head(b"/guestglimor.php", b"127.0.0.1:%d" % port, "multipart", len(body)) + body)
        return read_answer(s)


def status_of(url, *arguments):
    return curl("-o", "/dev/null", "-w", "%{http_code}", *arguments, url).decode()


def gone_soon(url):
    """Waits (at most 5 s) for the link to answer 410, as it must within about a second."""
    for _ in range(50):
        if status_of(url) == "410":
            return True
        time.sleep(0.1)
    return False


def admin(*arguments):
    result = subprocess.run([SERVER, "admin", *arguments], capture_output=True, timeout=60)
    return result.returncode, result.stdout.decode(), result.stderr.decode()


def curl(*arguments):
    result = subprocess.run(["curl", "-sS", "--max-time", "20", *arguments], capture_output=True)
    return result.stdout


def make_images(folder):
    """Real images of each type, made by ImageMagick, keyed by Glimor's extension; with no metadata
    (ImageMagick's dates), which the service would take out, so they come back byte for byte."""
    images = {}
    for extension, name in (("bmp", "BMP3:x.bmp"), ("jpg", "x.jpg"), ("gif", "x.gif"), ("png", "x.png")):
        target = os.path.join(folder, name.split(":")[-1])
        subprocess.run(["convert", "-size", "40x30", "gradient:red-blue", "-strip", "-fill", "white", "-draw",
                        "rectangle 2,2 9,20", name.split(":")[0] + ":" + target if ":" in name else target],
                       check=True)
        with open(target, "rb") as f:
            images[extension] = f.read()
    return images


def make_recording(folder, name, *output):
    """A recording of 2 s made by ffmpeg from its test pattern."""
    target = os.path.join(folder, name)
    subprocess.run(["ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i", "testsrc=size=160x120:rate=10:duration=2",
                    *output, target], check=True)
    with open(target, "rb") as f:
        return f.read()


def png_of(width, height, rows, bit_depth=8, colour_type=2, level=0):
    """A PNG file of the given filtered rows, compressed at `level`."""
    def chunk(kind, data):
        return len(data).to_bytes(4, "big") + kind + data + zlib.crc32(kind + data).to_bytes(4, "big")
    header = width.to_bytes(4, "big") + height.to_bytes(4, "big") + bytes([bit_depth, colour_type, 0, 0, 0])
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(rows, level)) +
            chunk(b"IEND", b""))


def noise_png(size):
    """A complete PNG of about `size` bytes, different each time: random pixels, stored uncompressed."""
    row = 1 + 3 * 256
    height = max(1, size // row)
    return png_of(256, height, b"".join(b"\0" + os.urandom(row - 1) for _ in range(height)))


def pixel_bomb_png(height=10000):
    """A complete PNG of 10400 x 10000 black pixels (104 million) in about 13 KB."""
    return png_of(10400, height, bytes(height * 1301), bit_depth=1, colour_type=0, level=9)


def scan_bomb_jpeg(folder, width, height):
    """A valid progressive greyscale JPEG of 100 scans (cjpeg's most): the DC scan, each AC
    coefficient alone at Al 10, then refinements to Al 9. Every scan passes over every block."""
    script = ["0: 0-0, 0, 0;"] + ["0: %d-%d, 0, 10;" % (k, k) for k in range(1, 64)]
    script += ["0: %d-%d, 10, 9;" % (k, k) for k in range(1, 37)]
    with open(os.path.join(folder, "scans.txt"), "w") as f:
        f.write("\n".join(script) + "\n")
    with open(os.path.join(folder, "noise.pgm"), "wb") as f:
        f.write(b"P5 %d %d 255\n" % (width, height) + os.urandom(width * height))
    return subprocess.run(["cjpeg", "-grayscale", "-scans", os.path.join(folder, "scans.txt"),
                           os.path.join(folder, "noise.pgm")], check=True, capture_output=True).stdout


def ztxt_png(chunks):
    """A 16 x 16 PNG carrying `chunks` zTXt chunks of 7.9 MB of text each once inflated (8 KB each here),
    just within what libpng inflates of one chunk by default."""
    text = zlib.compress(b"a" * 7_900_000, 9)
    def chunk(kind, data):
        return len(data).to_bytes(4, "big") + kind + data + zlib.crc32(kind + data).to_bytes(4, "big")
    image = png_of(16, 16, b"".join(b"\0" + bytes(48) for _ in range(16)))
    return image[:33] + b"".join(chunk(b"zTXt", b"Comment%d\0\0" % i + text) for i in range(chunks)) + image[33:]


def peak_memory(pid):
    """The process's peak resident memory in bytes (VmHWM)."""
    with open("/proc/%d/status" % pid) as f:
        return int(re.search(r"VmHWM:\s+(\d+) kB", f.read()).group(1)) * 1024


def feedback_rows(data):
    with sqlite3.connect(os.path.join(data, "glimor.db")) as db:
        return db.execute("SELECT name, email, category, text, client_address FROM feedback ORDER BY id").fetchall()



METRIC_NAME = re.compile(r"[a-zA-Z_:][a-zA-Z0-9_:]*")
LABEL_NAME = re.compile(r"[a-zA-Z_][a-zA-Z0-9_]*")


def parse_prometheus(text):
    """Prometheus text format, strictly: every family's HELP and TYPE before its samples, each
    series once, label values with only the three escapes, histograms whose buckets rise to
    +Inf == _count. Returns {(name, ((label, value), ...)): value}; raises ValueError."""
    if not text.endswith("\n"):
        raise ValueError("no final newline")
    samples, types, current = {}, {}, None
    for line in text[:-1].split("\n"):
        if line.startswith("# HELP ") or line.startswith("# TYPE "):
            name, _, rest = line[7:].partition(" ")
            if not METRIC_NAME.fullmatch(name):
                raise ValueError("bad name: " + line)
            if line.startswith("# HELP "):
                if name == current or name in types:
                    raise ValueError("HELP after the family began: " + line)
                if "\\" in rest.replace("\\\\", "").replace("\\n", ""):
                    raise ValueError("bad escape in HELP: " + line)
                current = name
            elif name != current or rest not in ("counter", "gauge", "histogram", "summary", "untyped"):
                raise ValueError("TYPE without its HELP, or unknown: " + line)
            else:
                types[name] = rest
            continue
        match = METRIC_NAME.match(line)
        if not match or current not in types:
            raise ValueError("sample outside a family: " + line)
        name, i, labels = match.group(0), match.end(), []
        suffixes = ("_bucket", "_sum", "_count") if types[current] == "histogram" else ("",)
        if name not in [current + suffix for suffix in suffixes]:
            raise ValueError("sample of another family: " + line)
        if line[i:i + 1] == "{":
            i += 1
            while line[i] != "}":
                label = LABEL_NAME.match(line, i)
                if not label or line[label.end():label.end() + 2] != '="':
                    raise ValueError("bad label: " + line)
                i, value = label.end() + 2, ""
                while line[i] != '"':
                    if line[i] == "\\":
                        escape = {"\\": "\\", '"': '"', "n": "\n"}.get(line[i + 1])
                        if escape is None:
                            raise ValueError("bad escape: " + line)
                        value += escape
                        i += 2
                    else:
                        value += line[i]
                        i += 1
                labels.append((label.group(0), value))
                i += 1
                if line[i] == ",":
                    i += 1
            i += 1
        if line[i] != " " or len({label for label, _ in labels}) != len(labels):
            raise ValueError("bad sample: " + line)
        value = float(line[i + 1:])
        if types[current] == "counter" and value < 0:
            raise ValueError("negative counter: " + line)
        key = (name, tuple(labels))
        if key in samples:
            raise ValueError("series twice: " + line)
        samples[key] = value
    for name, kind in types.items():
        if kind != "histogram":
            continue
        series = {labels for sample, labels in samples if sample == name + "_count"}
        for labels in series:
            buckets = [(float(dict(bucket)["le"]), value) for (sample, bucket), value in samples.items()
                       if sample == name + "_bucket" and [l for l in bucket if l[0] != "le"] == list(labels)]
            bounds = [bound for bound, _ in buckets]
            counts = [count for _, count in sorted(buckets)]
            if (bounds != sorted(bounds) or not bounds or bounds[-1] != float("inf") or counts != sorted(counts) or
                    counts[-1] != samples[(name + "_count", labels)] or (name + "_sum", labels) not in samples):
                raise ValueError("histogram %s%r: buckets %r" % (name, labels, buckets))
    return samples


# --- groups -----------------------------------------------------------------

def wire(work):
    images = make_images(work)
    metrics_url = "http://127.0.0.1:%d/metrics" % free_port()
    server = Server(os.path.join(work, "data"), "--updates", os.path.join(work, "updates"),
                    "--metrics-listen", metrics_url.split("/")[2])
    os.makedirs(os.path.join(work, "updates"))
    port = server.port
    host = b"localhost:%d" % port

    # The program's exact upload of each type comes back byte for byte, with a link Glimor will open.
    for extension, image in images.items():
        answer = program_upload(port, host, b"C:\\Apps\\Glimor\\Glimor." + extension.encode(), image)
        check(status_line(answer) == "HTTP/1.0 200 OK", "upload %s: %s" % (extension, status_line(answer)))
        link = link_of(answer)
        check(link.startswith("http://localhost:%d/" % port), "link prefix: %r" % link)
        fetched = subprocess.run(["curl", "-sS", "-D", "-", "-o", os.path.join(work, "got"), link],
                                 capture_output=True).stdout.decode()
        with open(os.path.join(work, "got"), "rb") as f:
            check(f.read() == image, "%s comes back unchanged" % extension)
        check("X-Content-Type-Options: nosniff" in fetched, "nosniff header")
        check("Content-Security-Policy: default-src 'none'; sandbox" in fetched, "no script runs in an image")
        check('Content-Disposition: inline; filename="%s"' % link.rsplit("/", 1)[1] in fetched, "file name of a save")
        check(re.search(r"ETag: \"[0-9a-f]{64}\"", fetched) is not None, "ETag header")
        check("max-age=31536000" in fetched, "long cache lifetime")
        expected_type = {"bmp": "image/bmp", "jpg": "image/jpeg", "gif": "image/gif", "png": "image/png"}[extension]
        check("Content-Type: " + expected_type in fetched, "content type of %s" % extension)
        check("Content-Length: %d" % len(image) in fetched, "content length of %s" % extension)

    # A recording: stored as a WebM with its duration, served whole or in the ranges players seek with.
    recording = make_recording(work, "rec.webm", "-c:v", "libvpx-vp9", "-deadline", "realtime", "-cpu-used", "8")
    made = json.loads(curl("-H", "Accept: application/json", "-F", "file=@" + os.path.join(work, "rec.webm"),
                           "http://localhost:%d/guestglimor.php" % port))
    check(made.get("type") == "video/webm" and made.get("duration_ms") == 2000 and made["url"].endswith(".webm") and
          (made["width"], made["height"]) == (160, 120), "recording stored: %r" % made)
    part = curl("-D", "-", "-r", "500-1499", made["url"])
    check(b"206 Partial Content" in part and b"Content-Type: video/webm" in part and
          b"Content-Range: bytes 500-1499/%d" % len(recording) in part and part.endswith(recording[500:1500]),
          "recording range: %r" % part[:300])
    check(curl("-r", "-100", made["url"]) == recording[-100:], "recording's last bytes")

    # Progressive and interlaced images decode too.
    for extension, interlace in (("jpg", "Plane"), ("png", "PNG"), ("gif", "GIF")):
        path = os.path.join(work, "interlaced." + extension)
        subprocess.run(["convert", os.path.join(work, "x." + extension), "-interlace", interlace, path], check=True)
        with open(path, "rb") as f:
            answer = program_upload(port, host, b"C:\\x\\Glimor." + extension.encode(), f.read())
        check(status_line(answer) == "HTTP/1.0 200 OK", "interlaced %s: %s" % (extension, status_line(answer)))

    # Images of several megabytes: as the program sends them, and through curl (which waits for
    # "100 Continue" before sending a large body).
    large = noise_png(3 * 1024 * 1024)
    answer = program_upload(port, host, b"C:\\Apps\\Glimor\\Glimor.png", large)
    check(status_line(answer) == "HTTP/1.0 200 OK" and curl(link_of(answer)) == large,
          "3 MiB upload: " + status_line(answer))
    with open(os.path.join(work, "large.png"), "wb") as f:
        f.write(large)
    answer = curl("-F", "imgfile=@%s" % os.path.join(work, "large.png"), "http://127.0.0.1:%d/guestglimor.php" % port)
    link = re.search(rb"Link: (\S+)", answer)
    check(link is not None and curl(link.group(1).decode()) == large, "3 MiB curl upload: %r" % answer[:80])

    # A large image: one byte range gets 206, one past the end 416; HEAD and a
    # conditional GET answer from the record, reading nothing of the image.
    large_url = link.group(1).decode() if link else ""
    part = subprocess.run(["curl", "-sS", "-D", "-", "-r", "1000-1999", large_url], capture_output=True).stdout
    check(part.startswith(b"HTTP/1.1 206") and body_of(part) == large[1000:2000] and
          b"Content-Range: bytes 1000-1999/%d" % len(large) in part, "range: %r" % part[:200])
    check(curl("-o", "/dev/null", "-w", "%{http_code}", "-r", "%d-" % len(large), large_url) == b"416", "range past the end")
    # Large images leave their file by sendfile: ranges across the 256 KiB parts, open and from the end.
    check(curl("-r", "262000-", large_url) == large[262000:], "open range sent from the file")
    check(curl("-r", "-700", large_url) == large[-700:], "range from the end sent from the file")
    # Clients that leave amid such an answer (the socket closed under sendfile) stop nothing else.
    for _ in range(10):  # gone before the answer begins: its header draws a reset
        with socket.create_connection(("127.0.0.1", port)) as s:
            s.sendall(b"GET /" + large_url.split("/", 3)[3].encode() + b" HTTP/1.1\r\nHost: x\r\n\r\n")
    try:
        with socket.create_connection(("127.0.0.1", port)) as s:  # and gone amid it, with a reset
            s.sendall(b"GET /" + large_url.split("/", 3)[3].encode() + b" HTTP/1.1\r\nHost: x\r\n\r\n" * 4)
            s.recv(1000)
            s.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
    except OSError:
        pass  # the service is gone: checked below
    time.sleep(0.3)
    check(server.process.poll() is None and curl(large_url) == large, "still serving after clients left mid-answer")
    target = large_url.split("/", 3)[3].encode()
    etag = re.search(rb"ETag: (\S+)", part).group(1) if b"ETag: " in part else b""
    before = io_counters(server.process.pid)
    for i in range(10):
        head = exchange(port, b"HEAD /" + target + b" HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n")
        check(b"Content-Length: %d\r\n" % len(large) in head, "HEAD length: %r" % head[:200])
        same = exchange(port, b"GET /" + target + b" HTTP/1.1\r\nHost: x\r\nIf-None-Match: " + etag +
                        b"\r\nConnection: close\r\n\r\n")
        check(status_line(same) == "HTTP/1.1 304 Not Modified", "304: %r" % same[:100])
    read = io_counters(server.process.pid) - before
    check(read < len(large), "HEAD and 304 read %d bytes for a %d-byte image" % (read, len(large)))

    # The Host line is echoed exactly as the client configured it (no port, other letter case).
    answer = program_upload(port, b"LocalHost", b"C:\\x\\Glimor.png", images["png"])
    check(link_of(answer).startswith("http://LocalHost/i/"), "host echoed: %r" % link_of(answer))

    # The original file name keeps only its last component.
    with sqlite3.connect(os.path.join(work, "data", "glimor.db")) as db:
        names = {row[0] for row in db.execute("SELECT original_name FROM images")}
    check(names == {b"Glimor.bmp", b"Glimor.jpg", b"Glimor.gif", b"Glimor.png", b"large.png", b"rec.webm"},
          "original names: %r" % names)

    # curl's own multipart form is accepted too.
    path = os.path.join(work, "x.gif")
    answer = curl("-F", "imgfile=@%s;filename=C:\\Users\\Ann\\shot.gif" % path, "http://127.0.0.1:%d/guestglimor.php" % port)
    link = re.search(rb"Link: (\S+)", answer)
    check(link is not None and curl(link.group(1).decode()) == images["gif"], "curl upload: %r" % answer)

    # Feedback exactly as the program sends it: unencoded, "&" and CR LF in the text.
    body = b"name=Ann&email=none&cat=2&text=Hi&bye\r\n2nd\r\n\r\n"
    answer = exchange(port, program_head(b"/glimor/index.php?do=contact", host, "form", len(body)) + body)
    check(status_line(answer) == "HTTP/1.0 200 OK", "feedback: " + status_line(answer))
    check(feedback_rows(os.path.join(work, "data")) == [(b"Ann", b"none", b"2", b"Hi&bye\r\n2nd", "127.0.0.1")],
          "feedback stored: %r" % feedback_rows(os.path.join(work, "data")))

    # Updates: 404 until published, then the version file and the executable it names.
    check(status_line(exchange(port, b"GET /newglimor.txt HTTP/1.0\r\n\r\n")).startswith("HTTP/1.0 404"),
          "no update published")
    # The five-line file of a signed update; the service only passes it on, so the
    # signature line need not verify here.
    executable = b"MZ\x90\x00" * 100000 + os.urandom(999)
    version = (b"http://localhost:%d/Glimor2.exe\r\nGlimor2.exe\r\n1.02\r\nSHA256 %s\r\nEd25519 %s\r\n" %
               (port, hashlib.sha256(executable).hexdigest().encode(), b"5a" * 64))
    with open(os.path.join(work, "updates", "newglimor.txt"), "wb") as f:
        f.write(version)
    with open(os.path.join(work, "updates", "Glimor2.exe"), "wb") as f:
        f.write(executable)
    check(curl("http://127.0.0.1:%d/newglimor.txt" % port) == version, "version file")
    check(curl("http://127.0.0.1:%d/Glimor2.exe" % port) == executable, "new executable")
    check(curl("-r", "300001-", "http://127.0.0.1:%d/Glimor2.exe" % port) == executable[300001:], "executable range")

    # The home page says how to point Glimor here; HEAD answers without a body.
    page = curl("http://localhost:%d/" % port).decode()
    check("Host=localhost:%d" % port in page, "home page names the host")
    head = exchange(port, b"HEAD / HTTP/1.0\r\nHost: localhost\r\n\r\n")
    check(status_line(head) == "HTTP/1.0 200 OK" and body_of(head) == b"", "HEAD")

    deletion_links_and_admin(server, images["png"])

    # The database (feedback's e-mail addresses) and the images are for the service's user only.
    stored_files = [os.path.join(root, name) for root, _, names in os.walk(os.path.join(work, "data", "images"))
                    for name in names]
    modes = {oct(os.stat(path).st_mode & 0o777) for path in stored_files + [os.path.join(work, "data", "glimor.db")]}
    check(stored_files and modes == {"0o600"}, "modes of the stored files: %r" % modes)

    # Metrics on their own address only, parsed strictly; an upload, two GETs and a 404 show in them.
    def scrape():
        try:
            return parse_prometheus(curl(metrics_url).decode())
        except (ValueError, IndexError) as problem:
            check(False, "metrics format: %s" % problem)
            return {}
    check(status_of("http://127.0.0.1:%d/metrics" % port) == "404", "no metrics on the public address")
    before = scrape()
    link = link_of(program_upload(port, host, b"C:\\x\\Glimor.png", images["png"]))
    check(curl(link) == images["png"] and curl(link) == images["png"], "served twice")
    curl("http://127.0.0.1:%d/i/AAAAAAAAAAAAAAAA.png" % port)
    after = scrape()
    delta = lambda name, *labels: after.get((name, labels), 0) - before.get((name, labels), 0)
    for name, labels, expected in (
            ("glimor_uploads_total", (), 1), ("glimor_upload_bytes_total", (), len(images["png"])),
            ("glimor_responses_total", (("route", "image"), ("status", "200")), 2),
            ("glimor_refusals_total", (("status", "404"), ("reason", "No such image")), 1),
            ("glimor_request_duration_seconds_count", (("route", "upload"),), 1),
            ("glimor_store_duration_seconds_count", (("operation", "add"),), 1),
            ("glimor_cache_lookups_total", (("cache", "memory"), ("result", "hit")), 1),
            ("glimor_connections_accepted_total", (), 4)):
        check(delta(name, *labels) == expected, "metric %s%r grew by %r" % (name, labels, delta(name, *labels)))
    check(delta("glimor_sent_bytes_total") >= 2 * len(images["png"]), "bytes sent counted")
    # Connections that never send a request cannot keep a scrape out: the one waiting longest makes room.
    metrics_port = int(metrics_url.split(":")[2].split("/")[0])
    silent = [connect_from("127.0.0.1", metrics_port, timeout=5) for _ in range(12)]
    check(("glimor_uploads_total", ()) in scrape(), "a scrape beside 12 silent connections")
    for s in silent:
        s.close()

    check(server.stop() == 0, "clean exit")
    log = server.log_text()
    check('"POST /guestglimor.php" 200' in log and "stopped" in log, "log lines: " + log[-500:])


def deletion_links_and_admin(server, image):
    port, data = server.port, server.data
    answer = program_upload(port, b"127.0.0.1:%d" % port, b"C:\\Glimor\\Glimor.png", image)
    link, delete_url = link_of(answer), delete_url_of(answer)
    check(re.fullmatch(r"http://127\.0\.0\.1:%d/d/[A-Za-z0-9_-]{16}/[A-Za-z0-9_-]{24}" % port, delete_url),
          "deletion link before the last line: %r" % body_of(answer))
    check(delete_url.split("/")[4] == link.split("/")[4].split(".")[0], "deletion link names the image")

    # Following the link (a browser, a preview bot) or a wrong secret deletes nothing.
    page = curl(delete_url).decode()
    check('<form method="post"' in page, "deletion page has its button: " + page[:200])
    wrong = delete_url[:-1] + ("B" if delete_url[-1] == "A" else "A")
    check(status_of(wrong, "-d", "x") == "404", "wrong secret refused")
    check(curl(link) == image, "still served after the page and the wrong secret")
    check(curl("-d", "x", delete_url) == b"Image deleted.\r\n", "deleted by POST")
    check(status_of(link) == "410" and status_of(delete_url, "-d", "x") == "410", "410 after deletion")
    secret = delete_url.rsplit("/", 1)[1]
    check(secret not in server.log_text() and "/d/%s/\u2026\"" % link.split("/")[4].split(".")[0] in server.log_text(),
          "the log keeps no deletion secret")

    # The operator's commands work on the running service's store; what they
    # remove stops being served (cached before) within about a second.
    links = {}
    for address in ("127.0.0.2", "127.0.0.2", "127.0.0.3"):
        answer = upload_from(address, port, noise_png(3000))
        links[link_of(answer)] = address
        check(status_of(link_of(answer)) == "200", "served before the purge")
    listed = admin("list", "--address", "127.0.0.2", "--data", data)
    check(listed[0] == 0 and listed[1].count(" from 127.0.0.2 ") == 2 and "2 images listed" in listed[1],
          "admin list: %r" % (listed,))
    purged = admin("purge", "--address", "127.0.0.2", "--since", "2026-01-01", "--data", data)
    check(purged[0] == 0 and purged[1].count("removed ") == 2, "admin purge: %r" % (purged,))
    for url, address in links.items():
        if address == "127.0.0.2":
            check(gone_soon(url), "purged image answers 410: " + url)
    last = [url for url, address in links.items() if address == "127.0.0.3"][0]
    check(status_of(last) == "200", "another address's image is kept")
    name = last.rsplit("/", 1)[1].split(".")[0]
    deleted = admin("delete", name, "--data", data)
    check(deleted[0] == 0 and deleted[1].startswith("removed " + name) and gone_soon(last), "admin delete: %r" % (deleted,))
    again = admin("delete", name, "--data", data)
    check(again[0] == 1 and "was deleted already" in again[2], "admin delete twice: %r" % (again,))
    check(admin("purge", "--token", "x", "--since", "2026-02-30", "--data", data)[0] == 2, "an impossible date")
    missing = admin("list", "--data", os.path.join(data, "nothing"))
    check(missing[0] == 1 and "no glimor-server data" in missing[2], "admin on a folder without data: %r" % (missing,))


def refusals(work):
    images = make_images(work)
    data = os.path.join(work, "data")
    server = Server(data, "--max-upload", "20000", "--timeout", "1", "--uploads", "open")
    port = server.port
    host = b"localhost:%d" % port

    def upload_status(body, content_type="multipart"):
        return status_line(exchange(port, program_head(b"/guestglimor.php", host, content_type, len(body)) + body))

    good = program_upload_body(b"C:\\a\\Glimor.png", images["png"])
    check(upload_status(good.replace(b'; filename="C:\\a\\Glimor.png"', b"")) ==
          "HTTP/1.0 400 No file in the upload", "no file part")
    check(upload_status(good.replace(BOUNDARY, b"---------------------------0000000000000")) ==
          "HTTP/1.0 400 Body does not start with the boundary", "wrong boundary")
    check(upload_status(good[:-30]) == "HTTP/1.0 400 Truncated multipart body", "truncated multipart")
    # Only complete images are stored: not a page, nor one behind an image's first bytes, nor a
    # JPEG cut short, a PNG with a damaged checksum, bytes after an image's end, or an image
    # of more pixels than the service decodes.
    bad_crc = bytearray(images["png"])
    bad_crc[29] ^= 1  # IHDR's checksum
    for extension, content in ((b"jpg", b"<html>not an image</html>"),
                               (b"gif", b"GIF89a<html><script>alert(1)</script></html>"),
                               (b"jpg", images["jpg"][:-100]), (b"png", bytes(bad_crc)),
                               (b"gif", images["gif"] + b"<html>"), (b"png", pixel_bomb_png())):
        check(upload_status(program_upload_body(b"C:\\a\\Glimor." + extension, content)) ==
              "HTTP/1.0 415 Not a complete BMP, JPEG, GIF or PNG image", "refused: %r" % content[:40])
    check(upload_status(good, "form") == "HTTP/1.0 415 Upload must be multipart/form-data", "not multipart")

    # Too large: refused from the Content-Length alone, and the answer still reaches a
    # client that sends its whole body before reading, as Glimor does.
    big = program_upload_body(b"C:\\a\\Glimor.bmp", b"BM" + os.urandom(200000))
    check(upload_status(big) == "HTTP/1.0 413 Upload larger than 20000 bytes", "too large: " + upload_status(big))
    check(upload_status(program_upload_body(b"C:\\a\\Glimor.png", images["png"] + b"\0" * 21000)) ==
          "HTTP/1.0 413 Image larger than 20000 bytes", "image over the limit")

    # Many large uploads at once are held to a memory budget (eight of the largest);
    # the room comes back when they end. A server of its own with a long pause limit,
    # so that on a slow machine no waiting upload times out and frees its room early.
    patient = Server(os.path.join(work, "data-budget"), "--max-upload", "20000", "--timeout", "30",
                     "--max-pixels", "200000000")
    patient_host = b"localhost:%d" % patient.port
    # The pixel bomb is a complete image, refused above only for its size: the same image of a
    # fifth of its rows, cheap enough to decode within the check's processor time even under a
    # sanitizer, passes.
    bomb = program_upload_body(b"C:\\a\\Glimor.png", pixel_bomb_png(2000))
    check(status_line(exchange(patient.port, program_head(b"/guestglimor.php", patient_host, "multipart", len(bomb)) +
                               bomb)) == "HTTP/1.0 200 OK", "the pixel bomb within a higher --max-pixels")
    def heads_from(addresses):
        sockets = []
        for address in addresses:
            s = connect_from(address, patient.port)
            s.sendall(program_head(b"/guestglimor.php", patient_host, "multipart", 80000))
            sockets.append(s)
        return sockets

    def refusals_among(sockets):
        # The heads are taken in any order across the service's threads, so whichever
        # connection came last to the budget is the one refused; the others wait for bodies.
        select.select(sockets, [], [], 20)
        time.sleep(0.5)
        refused, _, _ = select.select(sockets, [], [], 0)
        return [status_line(read_answer(s)) for s in refused]

    def upload_when_released():
        released = ""
        for _ in range(50):  # the room comes back once the server has seen the closes
            released = status_line(exchange(patient.port, program_head(b"/guestglimor.php", patient_host,
                                                                       "multipart", len(good)) + good))
            if released.startswith("HTTP/1.0 200"):
                break
            time.sleep(0.1)
        return released

    # Nine clients, one upload each: one too many for the budget.
    waiting = heads_from(["127.0.0.%d" % (10 + i) for i in range(9)])
    answers = refusals_among(waiting)
    check(answers == ["HTTP/1.0 429 Too many uploads at once, try again later"], "budget: %r" % answers)
    for s in waiting:
        s.close()
    released = upload_when_released()
    check(released.startswith("HTTP/1.0 200"), "budget released: " + released)

    # One address holds at most a quarter of the budget (two of the largest here);
    # its third upload is refused, while another address is still served.
    waiting = heads_from(["127.0.0.2"] * 3)
    answers = refusals_among(waiting)
    check(answers == ["HTTP/1.0 429 Too many uploads at once, try again later"], "address share: %r" % answers)
    released = upload_when_released()
    check(released.startswith("HTTP/1.0 200"), "other address served beside a full share: " + released)
    for s in waiting:
        s.close()
    check(patient.stop() == 0, "budget server exit")

    # A body cut short by the client closing: nothing is stored, the service goes on.
    with socket.create_connection(("127.0.0.1", port)) as s:
        s.sendall(program_head(b"/guestglimor.php", host, "multipart", len(good)) + good[:len(good) // 2])
        s.shutdown(socket.SHUT_WR)
        s.recv(100)

    # Unknown ids, traversal and other paths never reach the file system.
    for target in (b"/i/AAAAAAAAAAAAAAAA.png", b"/i/../glimor.db", b"/i/../../etc/passwd", b"/glimor.db",
                   b"/images/", b"/tmp/", b"/i/%2e%2e%2fglimor.db", b"/..%2fglimor.db"):
        answer = exchange(port, b"GET " + target + b" HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n")
        check(status_line(answer).startswith("HTTP/1.1 404"), "%r: %s" % (target, status_line(answer)))
    answer = curl("--path-as-is", "-o", "/dev/null", "-w", "%{http_code}", "http://127.0.0.1:%d/i/../glimor.db" % port)
    check(answer == b"404", "curl traversal: %r" % answer)

    # Header limits and a Host line that would forge the link.
    check(status_line(exchange(port, b"GET / HTTP/1.1\r\nHost: x\r\nX: " + b"a" * 20000 + b"\r\n\r\n")) ==
          "HTTP/1.1 431 Request header too large", "header size")
    for accept, json_answer in ((b"application/json", True), (b"application/json;q=0", False)):
        answer = exchange(port, b"POST /guestglimor.php HTTP/1.0\r\nAccept: " + accept + b"\r\nX: " +
                          b"a" * 20000 + b"\r\n\r\n")
        check(status_line(answer) == "HTTP/1.0 431 Request header too large" and
              (body_of(answer) == b'{"error": "Request header too large"}\n') == json_answer,
              "431 to Accept %r: %r" % (accept, answer[-80:]))
    many = b"".join(b"X-%d: 1\r\n" % i for i in range(80))
    check(status_line(exchange(port, b"GET / HTTP/1.1\r\nHost: x\r\n" + many + b"\r\n")) ==
          "HTTP/1.1 431 Too many header lines", "header count")
    check(upload_status(good).startswith("HTTP/1.0 200"), "good upload still works")
    forged = exchange(port, program_head(b"/guestglimor.php", b"x\r\n Link: http://evil", "multipart", len(good)) + good)
    check(status_line(forged).startswith("HTTP/1.0 400"), "forged host: " + status_line(forged))
    check(status_line(exchange(port, b"POST /guestglimor.php HTTP/1.0\r\nHost: x\r\n\r\n")) ==
          "HTTP/1.0 411 Content-Length required", "length required")
    chunked = (b"POST /guestglimor.php HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n"
               b"Content-Type: multipart/form-data; boundary=" + BOUNDARY + b"\r\n\r\n")
    check(status_line(exchange(port, chunked + b"ffffffffffffffffffff\r\n")) ==
          "HTTP/1.1 400 Malformed request body", "overflowing chunk size")

    # A client that stalls in its header, or in its body, is dropped after the time limit.
    for stalled in (b"GET / HTTP/1.1\r\nHost: x\r\n",
                    program_head(b"/guestglimor.php", host, "multipart", len(good)) + good[:len(good) // 2]):
        started = time.time()
        answer = exchange(port, stalled, read_timeout=10)
        check(answer == b"" and time.time() - started < 8, "slow client dropped in time: %r" % answer[:60])

    # A body that keeps arriving, but slower than the minimum rate, is ended with 408
    # once the grace of --timeout has passed, long before ten pauses' worth.
    with socket.create_connection(("127.0.0.1", port), timeout=10) as s:
        started = time.time()
        half = len(good) // 2
        s.sendall(program_head(b"/guestglimor.php", host, "multipart", len(good)) + good[:half])
        answer = b""
        for byte in good[half:half + 20]:
            if select.select([s], [], [], 0.3)[0]:
                answer = read_answer(s)
                break
            s.sendall(bytes([byte]))
        check(status_line(answer) == "HTTP/1.0 408 Request body arriving too slowly" and time.time() - started < 5,
              "slow body ended: %r" % answer[:60])

    # Connections: one over its address's share is closed unread; at the cap the
    # connection idle longest makes room, so a client with a request is served.
    crowded = Server(os.path.join(work, "data-crowded"), "--max-connections", "12",
                     "--max-connections-per-address", "4")
    idle = []
    for i in range(12):
        idle.append(connect_from("127.0.0.%d" % (20 + i // 4), crowded.port, timeout=5))
        time.sleep(0.02)
    over = connect_from("127.0.0.20", crowded.port, timeout=5)
    check(closed_by_service(over), "a fifth connection from one address is closed")
    answer = exchange(crowded.port, b"GET / HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n", read_timeout=5)
    check(status_line(answer) == "HTTP/1.1 200 OK", "served at the cap: %r" % answer[:60])
    check(closed_by_service(idle[0]), "the connection idle longest made room")
    for s in idle + [over]:
        s.close()
    check(crowded.stop() == 0, "crowded server exit")

    # Out of descriptors, the service pauses accepting and logs a line a second at most.
    starved = Server(os.path.join(work, "data-starved"), "--max-connections", "1000", descriptors=64)
    flood = [connect_from("127.0.0.%d" % (40 + i // 20), starved.port, timeout=5) for i in range(80)]
    time.sleep(1.5)
    lines = [line for line in starved.log_text().splitlines() if "cannot accept" in line]
    check(1 <= len(lines) <= 3 and "since the last line" in lines[-1], "accept failures logged: %r" % lines[:4])
    for s in flood:
        s.close()
    answer = ""
    for _ in range(30):  # served again once the descriptors are back
        answer = status_line(exchange(starved.port, b"GET / HTTP/1.0\r\n\r\n", read_timeout=5))
        if answer == "HTTP/1.0 200 OK":
            break
        time.sleep(0.1)
    check(answer == "HTTP/1.0 200 OK", "served after the descriptors came back: " + answer)
    check(starved.stop() == 0, "starved server exit")

    # A reader slower than --min-download-rate, though never pausing long, is cut at the deadline.
    streaming = Server(os.path.join(work, "data-streaming"), "--timeout", "1", "--min-download-rate", "4000000")
    big_image = noise_png(10 << 20)
    link = link_of(program_upload(streaming.port, b"127.0.0.1", b"C:\\a\\big.png", big_image))
    with socket.socket() as s:
        s.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 16384)
        s.settimeout(5)
        s.connect(("127.0.0.1", streaming.port))
        s.sendall(b"GET /" + link.split("/", 3)[3].encode() + b" HTTP/1.1\r\nHost: x\r\n\r\n")
        received, cut = 0, False
        for _ in range(400):  # about 1 MB/s, for at most 24 s
            try:
                piece = s.recv(65536)
            except ConnectionResetError:
                piece = b""
            if not piece:
                cut = True
                break
            received += len(piece)
            time.sleep(0.06)
        # The server ended the connection, and before the whole image was through.
        check(cut and received < len(big_image), "slow reader cut: %d of %d bytes" % (received, len(big_image)))
    check(streaming.stop() == 0, "streaming server exit")

    # What one upload may cost is bounded: a JPEG of hundreds of scans is refused after
    # 64 of them, while an encoder's ordinary progressive file passes; the inflated text
    # of a PNG's zTXt chunks is never held (each would take 8 MB).
    costly = Server(os.path.join(work, "data-costly"))
    bomb = scan_bomb_jpeg(work, 1024, 1024)
    check(status_line(program_upload(costly.port, b"localhost", b"C:\\a\\bomb.jpg", bomb)) ==
          "HTTP/1.0 415 JPEG of more than 64 scans: too costly to decode", "scan bomb refused")
    progressive = subprocess.run(["cjpeg", "-progressive", os.path.join(work, "noise.pgm")], check=True,
                                 capture_output=True).stdout
    check(status_line(program_upload(costly.port, b"localhost", b"C:\\a\\p.jpg", progressive)) == "HTTP/1.0 200 OK",
          "an ordinary progressive JPEG is stored")
    before = peak_memory(costly.process.pid)
    check(status_line(program_upload(costly.port, b"localhost", b"C:\\a\\text.png", ztxt_png(60))) == "HTTP/1.0 200 OK",
          "a PNG with text chunks is stored")
    grown = peak_memory(costly.process.pid) - before
    check(grown < 64 << 20, "zTXt chunks held in memory: peak grew by %d MB" % (grown >> 20))
    check(costly.stop() == 0, "costly server exit")

    # --max-store bounds images and feedback together; the operator lists and deletes feedback,
    # and room freed by any process counts within about a second.
    bounded_data = os.path.join(work, "data-bounded")
    bounded = Server(bounded_data, "--max-store", "250000")
    form = b"name=Eve&email=\x1b[2Jx&cat=1&text=" + b"t" * 1000 + b"\r\n\r\n"
    def feedback_status():
        return status_line(exchange(bounded.port, program_head(b"/glimor/index.php?do=contact", b"localhost", "form",
                                                                len(form)) + form))
    check(feedback_status() == "HTTP/1.0 200 OK", "feedback within the bound")
    statuses = [status_line(program_upload(bounded.port, b"localhost", b"C:\\a\\n.png", noise_png(100000)))
                for _ in range(3)]
    full_store = "HTTP/1.0 507 Insufficient Storage: the service's store is full, nothing was stored"
    check(statuses == ["HTTP/1.0 200 OK"] * 2 + [full_store], "uploads beyond --max-store: %r" % statuses)
    check(feedback_status() == "HTTP/1.0 200 OK", "small feedback still fits")
    code, listed, _ = admin("feedback", "--data", bounded_data)
    check(code == 0 and listed.startswith("1 ") and 'email "\\x1b[2Jx"' in listed and
          listed.endswith("2 feedback messages listed\n"), "admin feedback: %r" % listed)
    check(admin("delete-feedback", "1", "--data", bounded_data)[:2] == (0, "removed feedback 1\n") and
          admin("delete-feedback", "1", "--data", bounded_data)[0] == 1, "admin delete-feedback")
    _, images_listed, _ = admin("list", "--data", bounded_data)
    check(admin("delete", images_listed.split(".")[0], "--data", bounded_data)[0] == 0, "admin delete")
    status = ""
    for _ in range(50):
        status = status_line(program_upload(bounded.port, b"localhost", b"C:\\a\\n.png", noise_png(100000)))
        if status != full_store:
            break
        time.sleep(0.1)
    check(status == "HTTP/1.0 200 OK", "room freed by the admin command: " + status)
    check(bounded.stop() == 0, "bounded server exit")

    # Another process holding the database's write lock: a write gives up with 503 after a
    # short wait, while a stored image is still served meanwhile (the lock is held throughout).
    locked = Server(os.path.join(work, "data-locked"))
    link = link_of(program_upload(locked.port, b"localhost", b"C:\\a\\Glimor.png", images["png"]))
    check(status_line(exchange(locked.port, b"GET /" + link.split("/", 3)[3].encode() + b" HTTP/1.0\r\n\r\n"))
          == "HTTP/1.0 200 OK", "served before the lock")
    holder = sqlite3.connect(os.path.join(work, "data-locked", "glimor.db"), timeout=10, isolation_level=None)
    holder.execute("BEGIN IMMEDIATE")
    with concurrent.futures.ThreadPoolExecutor(max_workers=1) as pool:
        waiting = pool.submit(program_upload, locked.port, b"localhost", b"C:\\a\\Glimor.png", noise_png(3000))
        time.sleep(0.2)
        served = exchange(locked.port, b"GET /" + link.split("/", 3)[3].encode() + b" HTTP/1.0\r\n\r\n",
                          read_timeout=8)
        check(status_line(served) == "HTTP/1.0 200 OK", "served while the lock is held: %r" % served[:60])
        refused = status_line(waiting.result(timeout=30))
        check(holder.in_transaction and refused == "HTTP/1.0 503 Database busy, try again later",
              "write while the lock is held elsewhere: " + refused)
    holder.execute("ROLLBACK")
    holder.close()
    check(status_line(program_upload(locked.port, b"localhost", b"C:\\a\\Glimor.png", noise_png(3000))) == "HTTP/1.0 200 OK",
          "stored again once the lock is free")
    check(locked.stop() == 0, "locked server exit")

    # A full disk answers 507 and stores nothing (a small tmpfs, where this may mount one).
    full = os.path.join(work, "full")
    os.makedirs(full)
    mounted = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=1m", "tmpfs", full], capture_output=True)
    if mounted.returncode == 0:
        try:
            cramped = Server(full)
            answer = program_upload(cramped.port, b"localhost", b"C:\\a\\big.png", noise_png(2 << 20))
            check(status_line(answer) == "HTTP/1.0 507 Insufficient Storage: the service's disk is full, nothing was stored",
                  "full disk: " + status_line(answer))
            check(os.listdir(os.path.join(full, "tmp")) == [], "nothing staged on a full disk")
            check(status_line(program_upload(cramped.port, b"localhost", b"C:\\a\\Glimor.png", images["png"])) ==
                  "HTTP/1.0 200 OK", "small upload after a full disk")
            check(cramped.stop() == 0, "full disk server exit")

            # Filled by uploads, the disk still takes the operator's and the users' removals.
            filled = Server(full)
            subprocess.run([SERVER, "token", "add", "ann", "--data", full], capture_output=True, timeout=30)
            stored = []
            for _ in range(100):
                answer = program_upload(filled.port, b"localhost", b"C:\\a\\n.png", noise_png(64 << 10))
                if not status_line(answer).startswith("HTTP/1.0 200"):
                    break
                stored.append(answer)
            check(status_line(answer).startswith("HTTP/1.0 507") and len(stored) >= 2,
                  "disk filled: %d stored, then %s" % (len(stored), status_line(answer)))
            own = "http://127.0.0.1:%d/%s" % (filled.port, delete_url_of(stored[0]).split("/", 3)[3]) if stored else ""
            deleted = curl("-s", "-X", "POST", "-d", "x=1", own) if stored else b""
            check(deleted.startswith(b"Image deleted."), "own deletion on a full disk: %r" % deleted)
            code, out, err = admin("delete", link_of(stored[-1]).rsplit("/", 1)[1].split(".")[0], "--data", full)
            check(code == 0, "admin delete on a full disk: %s %s" % (out, err))
            revoked = subprocess.run([SERVER, "token", "revoke", "ann", "--data", full], capture_output=True, timeout=30)
            check(revoked.returncode == 0, "token revoke on a full disk: %r" % (revoked,))
            check(filled.stop() == 0, "filled disk server exit")
        finally:
            subprocess.run(["umount", "-l", full])
    elif os.geteuid() == 0:
        check(False, "full disk check: root cannot mount a tmpfs: %s" % mounted.stderr.decode().strip())
    else:
        skipped.append("full disk check, cannot mount a tmpfs without root")

    with sqlite3.connect(os.path.join(data, "glimor.db")) as db:
        check(db.execute("SELECT count(*) FROM images").fetchone()[0] == 1, "only the good uploads are stored")
    check(os.listdir(os.path.join(data, "tmp")) == [], "no staging files left")
    check(server.stop() == 0, "clean exit")


def load(work):
    images = make_images(work)
    data = os.path.join(work, "data")
    server = Server(data)
    port = server.port
    host = b"127.0.0.1:%d" % port

    # 50 parallel uploads of distinct images, each retrievable byte for byte.
    uploads = [noise_png(1000 + i * 97) for i in range(50)]
    with concurrent.futures.ThreadPoolExecutor(max_workers=50) as pool:
        answers = list(pool.map(lambda image: program_upload(port, host, b"C:\\G\\Glimor.png", image), uploads))
    links = [link_of(answer) for answer in answers]
    check(all(status_line(a) == "HTTP/1.0 200 OK" for a in answers), "50 parallel uploads answered 200")
    check(len(set(links)) == 50, "50 distinct links")
    for image, link in zip(uploads, links):
        check(curl(link) == image, "parallel upload retrievable: " + link)

    # A request in flight when the service is told to stop is finished, then it exits.
    body = program_upload_body(b"C:\\G\\late.png", images["png"])
    late = socket.create_connection(("127.0.0.1", port), timeout=10)
    late.sendall(program_head(b"/guestglimor.php", host, "multipart", len(body)) + body[:100])
    time.sleep(0.3)
    server.process.send_signal(signal.SIGTERM)
    time.sleep(0.3)
    late.sendall(body[100:])
    answer = read_answer(late)
    late.close()
    check(status_line(answer) == "HTTP/1.0 200 OK", "request in flight finished: " + status_line(answer))
    check(server.process.wait(timeout=30) == 0, "clean exit after SIGTERM")
    server.log.close()
    links.append(link_of(answer))
    uploads.append(images["png"])

    # A restart on the same data keeps every image and the same links.
    restarted = Server(data, port=port)
    for image, link in zip(uploads, links):
        check(curl(link) == image, "kept across restart: " + link)
    check(restarted.stop() == 0, "clean exit")


def cli(work):
    """The program's own client: glimor-cli upload and post run the same code as Glimor.exe."""
    program = os.path.join(BUILD, "src", "cli", "glimor-cli")
    usage = subprocess.run([program], capture_output=True).stderr + subprocess.run([program], capture_output=True).stdout
    if b"upload <file>" not in usage or b"post <url>" not in usage:
        print("glimor-cli has no upload and post commands in this build")
        sys.exit(77)
    images = make_images(work)
    data = os.path.join(work, "data")
    server = Server(data, "--max-upload", "50000")
    host = "127.0.0.1:%d" % server.port

    for extension, image in images.items():
        path = os.path.join(work, "Glimor." + extension)
        with open(path, "wb") as f:
            f.write(image)
        run = subprocess.run([program, "upload", path, "--host", host], capture_output=True, timeout=30)
        link = (run.stdout.decode().splitlines() or [""])[0]  # a deletion link may follow on a second line
        check(run.returncode == 0 and b"Upload complete." in run.stderr, "cli upload %s: %r" % (extension, run.stderr))
        check(link.startswith("http://" + host + "/"), "cli link prefix: %r" % link)
        check(curl(link) == image, "cli upload %s comes back unchanged" % extension)
        check(not os.path.exists(os.path.join(work, "Glimor.dat")), "answer file removed")

    # A refusal reaches the user in the service's words, one for size in the user's.
    for name, content, expected in (("fake.png", b"<html>not an image</html>", b"Not a complete BMP, JPEG, GIF or PNG image"),
                                    ("big.png", images["png"] + b"\0" * 60000, b"more than the service takes (at most 49 KB)"),
                                    ("huge.png", images["png"] + b"\0" * 300000, b"more than the service takes (at most 49 KB)")):
        path = os.path.join(work, name)
        with open(path, "wb") as f:
            f.write(content)
        run = subprocess.run([program, "upload", path, "--host", host], capture_output=True, timeout=30)
        check(run.returncode == 1 and b"Error encountered during POST: " in run.stderr and expected in run.stderr,
              "cli refusal %s: %r" % (name, run.stderr))

    # The feedback body as the form builds it, through the contact client.
    body = os.path.join(work, "feedback")
    with open(body, "wb") as f:
        f.write(b"name=Ann&email=none&cat=2&text=Hi&bye\r\n2nd\r\n\r\n")
    run = subprocess.run([program, "post", "http://%s/glimor/index.php?do=contact" % host, body, "--client", "contact"],
                         capture_output=True, timeout=30)
    check(run.returncode == 0, "cli feedback: %r" % run.stderr)
    check(feedback_rows(data) == [(b"Ann", b"none", b"2", b"Hi&bye\r\n2nd", "127.0.0.1")],
          "cli feedback stored: %r" % feedback_rows(data))
    check(server.stop() == 0, "clean exit")


def tls(work):
    """HTTPS with the test certificates of tests/support/make_test_ca.sh."""
    pki = os.path.join(work, "pki")
    subprocess.run(["bash", os.path.join(SOURCE, "tests", "support", "make_test_ca.sh"), pki], check=True)
    pem = lambda name: os.path.join(pki, name)

    # Bad flags and files stop the start with a message, before the data folder is touched.
    def start(*flags):
        run = subprocess.run([SERVER, "--data", os.path.join(work, "unused"), "--listen", "127.0.0.1:0", *flags],
                             capture_output=True, timeout=30)
        return run.returncode, run.stderr.decode()
    code, message = start("--tls-cert", pem("server.pem"))
    check(code == 2 and "--tls-cert needs --tls-key" in message, "cert without key: %d %s" % (code, message))
    code, message = start("--tls-cert", pem("server.pem"), "--tls-key", pem("other.key"))
    check(code == 1 and "does not belong to the certificate" in message, "mismatched key: %d %s" % (code, message))
    code, message = start("--tls-cert", pem("none.pem"), "--tls-key", pem("server.key"))
    check(code == 1 and "cannot read " + pem("none.pem") in message, "missing cert: %d %s" % (code, message))
    check(not os.path.exists(os.path.join(work, "unused")), "no data folder from a failed start")

    # The certificate file may carry the chain up to the CA.
    with open(pem("chain.pem"), "wb") as chain:
        for name in ("server.pem", "ca.pem"):
            with open(pem(name), "rb") as f:
                chain.write(f.read())
    images = make_images(work)
    shutil.copy(pem("server.key"), pem("live.key"))  # replaced in place by the reload check below
    server = Server(os.path.join(work, "data"), "--tls-cert", pem("chain.pem"), "--tls-key", pem("live.key"),
                    "--timeout", "2")
    port = server.port
    base = "https://127.0.0.1:%d/" % port
    trusted = ssl.create_default_context(cafile=pem("ca.pem"))
    over_tls = lambda s: trusted.wrap_socket(s, server_hostname="localhost")
    get = lambda url, *more: curl("--cacert", pem("ca.pem"), *more, url)

    # curl with the program's multipart body, and the program's exact bytes over TLS.
    body = program_upload_body(b"C:\\Apps\\Glimor\\Glimor.png", images["png"])
    with open(os.path.join(work, "body"), "wb") as f:
        f.write(body)
    answer = get(base + "guestglimor.php", "-H", "Content-Type: multipart/form-data; boundary=" + BOUNDARY.decode(),
                 "--data-binary", "@" + os.path.join(work, "body"))
    link = re.search(rb"Link: (\S+)", answer)
    link = link.group(1).decode() if link else ""
    check(link.startswith(base + "i/"), "https link: %r" % answer)
    check(get(link) == images["png"], "image over https comes back unchanged")
    head = program_head(b"/guestglimor.php", b"localhost:%d" % port, "multipart", len(body))
    answer = exchange(port, head + body, wrap=over_tls)
    check(status_line(answer) == "HTTP/1.0 200 OK", "program upload over TLS: " + status_line(answer))
    check(link_of(answer).startswith("https://localhost:%d/i/" % port), "program link: %r" % link_of(answer))
    check(get(link_of(answer)) == images["png"], "program upload over TLS comes back unchanged")
    # A large image over TLS: whole, a range, HEAD (by SSL_sendfile where the kernel encrypts).
    large = noise_png(700 * 1024)
    big_body = program_upload_body(b"C:\\a\\big.png", large)
    large_link = link_of(exchange(port, program_head(b"/guestglimor.php", b"localhost:%d" % port, "multipart",
                                                     len(big_body)) + big_body, wrap=over_tls))
    check(get(large_link) == large and get(large_link, "-r", "300000-") == large[300000:],
          "large image and its range over TLS")
    check(b"content-length: %d" % len(large) in get(large_link, "-I").lower(), "HEAD of a large image over TLS")

    # TLS 1.2 is the oldest version served; the server, not the client, refuses 1.1.
    check(get(base, "--tlsv1.2", "--tls-max", "1.2", "-o", "/dev/null", "-w", "%{http_code}") == b"200", "TLS 1.2")
    old = subprocess.run(["openssl", "s_client", "-connect", "127.0.0.1:%d" % port, "-tls1_1",
                          "-cipher", "DEFAULT@SECLEVEL=0"], stdin=subprocess.DEVNULL, capture_output=True, timeout=30)
    check(old.returncode != 0, "TLS 1.1 refused: %r" % old.stdout[-300:])

    # Plain HTTP on the TLS port: Glimor with an http:// Host sends its whole upload, then reads.
    plain = exchange(port, head + body)
    check(status_line(plain) == "HTTP/1.1 400 This service speaks HTTPS, use https://", "plain: %r" % plain[:80])
    # A client that connects and says nothing holds no session beyond --timeout.
    with socket.create_connection(("127.0.0.1", port), timeout=20) as silent:
        try:
            check(silent.recv(1) == b"", "silent client gets nothing")
        except socket.timeout:
            check(False, "silent client still connected")
    check(get(link) == images["png"], "still serving after failed handshakes")

    # HTTPS answers ask browsers to keep to HTTPS; TLS 1.2 offers no CBC suites.
    headers = get(base, "-D", "-", "-o", "/dev/null").decode()
    check("Strict-Transport-Security: max-age=31536000" in headers, "HSTS: %r" % headers)
    cbc = subprocess.run(["openssl", "s_client", "-connect", "127.0.0.1:%d" % port, "-tls1_2", "-cipher",
                          "ECDHE-ECDSA-AES128-SHA:ECDHE-ECDSA-AES256-SHA384"], stdin=subprocess.DEVNULL,
                         capture_output=True, timeout=30)
    check(cbc.returncode != 0, "TLS 1.2 CBC refused: %r" % cbc.stdout[-300:])

    # SIGHUP reloads the certificate for new handshakes; a file that fails to load keeps the pair in use.
    def served_names():
        loose = ssl.create_default_context(cafile=pem("ca.pem"))
        loose.check_hostname = False
        with loose.wrap_socket(socket.create_connection(("127.0.0.1", port), timeout=10)) as s:
            return [value for field in s.getpeercert()["subjectAltName"] for value in field[1:]]

    def reload_with(certificate, key):
        shutil.copy(certificate, pem("chain.pem"))
        shutil.copy(key, pem("live.key"))
        server.process.send_signal(signal.SIGHUP)
        time.sleep(0.5)

    reload_with(pem("other.pem"), pem("other.key"))
    check(served_names() == ["other.example"], "renewed certificate served: %r" % served_names())
    reload_with(pem("ca.pem"), pem("server.key"))
    check(served_names() == ["other.example"] and server.process.poll() is None, "a bad pair keeps the old one")
    check("SIGHUP: keeping the previous certificate and key" in server.log_text(), "bad reload logged")
    reload_with(pem("server.pem"), pem("server.key"))
    check(get(link) == images["png"], "serving the first certificate again")

    # A request in flight when the service stops is finished over TLS too.
    late = over_tls(socket.create_connection(("127.0.0.1", port), timeout=10))
    late.sendall(head + body[:100])
    time.sleep(0.3)
    server.process.send_signal(signal.SIGTERM)
    time.sleep(0.3)
    late.sendall(body[100:])
    answer = read_answer(late)
    late.close()
    check(status_line(answer) == "HTTP/1.0 200 OK", "TLS request in flight finished: " + status_line(answer))
    check(server.process.wait(timeout=30) == 0, "clean exit after SIGTERM")
    server.log.close()
    log = server.log_text()
    for line in ("listening on https://127.0.0.1:%d/" % port, "127.0.0.1: TLS handshake failed: unsupported protocol",
                 "127.0.0.1: plain HTTP request on the HTTPS port: answered 400",
                 "127.0.0.1: TLS handshake failed: The socket was closed due to a timeout"):
        check(line in log, "log line %r in: %s" % (line, log[-800:]))


def gate(work):
    """Upload tokens, the upload limits, and the client's address from the PROXY protocol."""
    png = make_images(work)["png"]
    data = os.path.join(work, "data")
    server = Server(data, "--uploads", "token", limits=("--upload-rate", "3"))
    port, host = server.port, b"127.0.0.1:%d" % server.port

    def token(*words):
        return subprocess.run([SERVER, "token", *words, "--data", data], capture_output=True, timeout=30)

    def upload(extra=b""):
        return program_upload(port, host, b"C:\\a\\Glimor.png", png, extra)

    def bearer(secret):
        return b"Authorization: Bearer " + secret.encode() + b"\r\n"

    # Made while the service runs; shown once, never listed.
    added = token("add", "ann")
    secret = added.stdout.decode().splitlines()[-1] if added.returncode == 0 and added.stdout else ""
    check(re.fullmatch(r"[A-Za-z0-9_-]{43}", secret) is not None, "token add: %r" % (added,))
    listed = token("list")
    check(listed.returncode == 0 and listed.stdout.startswith(b"ann\t") and secret.encode() not in listed.stdout,
          "token list: %r" % (listed,))
    check(token("add", "ann").returncode == 1, "a token name is taken once")

    anonymous = upload()
    check(status_line(anonymous) == "HTTP/1.0 401 Upload token required" and
          b"\r\nWWW-Authenticate: Bearer\r\n" in anonymous, "no token: %r" % anonymous[:200])
    check(status_line(upload(bearer("A" * 43))) == "HTTP/1.0 401 Upload token not valid", "wrong token")
    form = b"name=Ann&email=none&cat=2&text=Hi\r\n\r\n"
    check(status_line(exchange(port, program_head(b"/glimor/index.php?do=contact", host, "form", len(form)) + form)) ==
          "HTTP/1.0 401 Feedback needs an upload token", "feedback without a token")

    # Refused at the head: tokenless heads of the largest body, sending none of it, are
    # answered at once and hold no room that token holders need.
    def answer_to_head(s):
        try:
            return status_line(read_answer(s))
        except socket.timeout:
            return "no answer"
    heads = [connect_from("127.0.0.%d" % (50 + i), port, timeout=5) for i in range(10)]
    for s in heads:
        s.sendall(program_head(b"/guestglimor.php", host, "multipart", (32 << 20) + 65536))
    early = [answer_to_head(s) for s in heads]
    check(early == ["HTTP/1.0 401 Upload token required"] * 10, "tokenless heads: %r" % early)
    # So is every other method on the upload route: answered from the head alone, with its Allow line.
    methods = (b"PUT", b"GET", b"PATCH", b"FOO", b"HEAD")
    for i, method in enumerate(methods):
        s = connect_from("127.0.0.%d" % (60 + i), port, timeout=5)
        s.sendall(method + program_head(b"/guestglimor.php", host, "multipart", (32 << 20) + 65536)[4:])
        heads.append(s)
    def whole_answer(s):
        try:
            return read_answer(s, True)
        except socket.timeout:
            return b"no answer"
    early = [whole_answer(s) for s in heads[10:]]
    check(all(status_line(a) == "HTTP/1.0 405 Method not allowed here, use POST" and b"\r\nAllow: POST\r\n" in a
              for a in early), "other methods' heads: %r" % [a[:120] for a in early])

    # A token made while the service runs is known within a second; then the token's limit:
    # three at once, then the wait the answer names.
    answers = [upload(bearer(secret))]
    for _ in range(50):
        if status_line(answers[0]) != "HTTP/1.0 401 Upload token not valid":
            break
        time.sleep(0.1)
        answers = [upload(bearer(secret))]
    # Heads with the token whose bodies never come spend none of the minute's uploads.
    for _ in range(3):
        with socket.create_connection(("127.0.0.1", port), timeout=5) as s:
            s.sendall(program_head(b"/guestglimor.php", host, "multipart", 1000, bearer(secret)))
    answers += [upload(bearer(secret)) for _ in range(3)]
    for s in heads:
        s.close()
    check([status_line(a) for a in answers[:3]] == ["HTTP/1.0 200 OK"] * 3, "uploads with the token")
    refused = re.fullmatch(r"HTTP/1.0 429 Too many uploads, try again in (\d+) s", status_line(answers[3]))
    check(refused is not None and 1 <= int(refused.group(1)) <= 20 and
          b"\r\nRetry-After: %s\r\n" % refused.group(1).encode() in answers[3],
          "over the rate: %r" % answers[3][:300])

    # Revoked through the store while the service runs: refused within a second.
    check(token("revoke", "ann").returncode == 0 and token("revoke", "ann").returncode == 1, "token revoke")
    status = ""
    for _ in range(50):
        status = status_line(upload(bearer(secret)))
        if status == "HTTP/1.0 401 Upload token not valid":
            break
        time.sleep(0.1)
    check(status == "HTTP/1.0 401 Upload token not valid", "revoked token: " + status)
    check(token("list").stdout == b"", "nothing listed after the revoke")
    check(server.stop() == 0 and "uploads with a token only" in server.log_text(), "start-up line names the gate")

    # The documented reverse-proxy setups listen on loopback, yet strangers reach them: tokens by default.
    for flags, why in ((("--public-url", "https://images.example.org"), "--public-url names another host"),
                       (("--proxy-protocol", "--trusted-proxy", "127.0.0.1"), "--proxy-protocol")):
        behind = Server(os.path.join(work, "behind-%d" % len(flags)), *flags)
        header = b"PROXY TCP4 192.0.2.3 127.0.0.1 40000 80\r\n" if "--proxy-protocol" in flags else b""
        answer = program_upload(behind.port, host, b"C:\\a\\Glimor.png", png, prefix=header)
        check(status_line(answer) == "HTTP/1.0 401 Upload token required", "%s: %r" % (why, answer[:60]))
        check(behind.stop() == 0 and "uploads with a token only (" + why in behind.log_text(),
              "start-up line says why: " + behind.log_text()[:300])

    # Open on loopback by default, yet a request that shows it came through an HTTP proxy needs a token.
    local = Server(os.path.join(work, "local"))
    for name, extra, expected in ((b"127.0.0.1:%d" % local.port, b"", "HTTP/1.0 200 OK"),
                                  (b"img.example.org", b"", "HTTP/1.0 401 Upload token required"),
                                  (b"localhost", b"X-Forwarded-For: 203.0.113.9\r\n", "HTTP/1.0 401 Upload token required")):
        answer = program_upload(local.port, name, b"C:\\a\\Glimor.png", png, extra)
        check(status_line(answer) == expected, "Host %r %r: %r" % (name, extra, answer[:60]))
    check(local.stop() == 0, "local server exit")

    # Behind a proxy: the address the PROXY header names is the client, for limits, log and records.
    pki = os.path.join(work, "pki")
    subprocess.run(["bash", os.path.join(SOURCE, "tests", "support", "make_test_ca.sh"), pki], check=True,
                   capture_output=True)
    proxied_data = os.path.join(work, "proxied")
    proxied = Server(proxied_data, "--proxy-protocol", "--trusted-proxy", "127.0.0.1", "--timeout", "2",
                     "--uploads", "open", limits=("--upload-rate", "2"))
    body = program_upload_body(b"C:\\a\\Glimor.png", png)
    request = program_head(b"/guestglimor.php", b"x", "multipart", len(body)) + body

    def via(header, source="127.0.0.1", wrap=lambda s: s, port=proxied.port):
        try:
            with wrap(connect_from(source, port)) as s:
                s.sendall(header + request)
                return read_answer(s)
        except OSError:
            return b""  # closed by the service while the request was being sent

    def v1(client):
        return b"PROXY TCP4 %s 127.0.0.1 40000 %d\r\n" % (client, proxied.port)

    v2 = (b"\r\n\r\n\0\r\nQUIT\n\x21\x11\x00\x0c" + socket.inet_aton("198.51.100.4") + socket.inet_aton("127.0.0.1") +
          struct.pack(">HH", 40000, proxied.port))
    statuses = [status_line(via(v1(b"192.0.2.7"))) for _ in range(3)]
    check(statuses[:2] == ["HTTP/1.0 200 OK"] * 2 and statuses[2].startswith("HTTP/1.0 429 "),
          "limit of the named client: %r" % statuses)
    check(status_line(via(v1(b"192.0.2.8"))) == "HTTP/1.0 200 OK", "another client behind the same proxy")
    check(status_line(via(v2)) == "HTTP/1.0 200 OK", "PROXY protocol version 2")
    for header, source, what in ((v1(b"192.0.2.9"), "127.0.0.2", "untrusted address"), (b"", "127.0.0.1", "no header"),
                                 (b"PROXY TCP4 nonsense\r\n", "127.0.0.1", "malformed header")):
        check(via(header, source) == b"", what + " closed without an answer")
    # A header that trickles in gets one --timeout in all, not one per byte: at five bytes a
    # second it is cut long before these 100 bytes are in.
    with connect_from("127.0.0.1", proxied.port) as s:
        s.settimeout(0.2)
        cut = False
        for byte in b"PROXY TCP4 " + b"1" * 89:
            try:
                s.sendall(bytes([byte]))
                cut = s.recv(1) == b""
            except socket.timeout:
                continue
            except OSError:
                cut = True
            if cut:
                break
        check(cut, "a header trickling in is cut")
    check(proxied.stop() == 0, "proxied server exit")

    # Connections through a proxy count against their clients once named: a burst whose headers come
    # late is served whole, while the clients of one IPv6 /64 share one address's connections.
    crowd = Server(os.path.join(work, "crowd"), "--proxy-protocol", "--trusted-proxy", "127.0.0.1",
                   "--max-connections-per-address", "4")
    get = b"GET / HTTP/1.0\r\n\r\n"
    burst = [connect_from("127.0.0.1", crowd.port, timeout=10) for _ in range(24)]
    time.sleep(0.3)
    for i, s in enumerate(burst):
        s.sendall(b"PROXY TCP4 192.0.2.%d 127.0.0.1 40000 80\r\n" % (100 + i) + get)
    served = [status_line(read_answer(s)) for s in burst]
    check(served == ["HTTP/1.0 200 OK"] * 24, "a burst through the proxy: %r" % served)
    for s in burst:
        s.close()

    def from_v6(client):
        s = connect_from("127.0.0.1", crowd.port, timeout=5)
        s.sendall(b"PROXY TCP6 %s ::1 40000 80\r\nGET / HTTP/1.1\r\n" % client)
        return s
    half_sent = [from_v6(b"2001:db8:1:2::%x" % (i + 1)) for i in range(4)]
    time.sleep(0.3)
    over = from_v6(b"2001:db8:1:2:ffff::9")
    check(closed_by_service(over), "a fifth connection from one /64 is closed")
    other = connect_from("127.0.0.1", crowd.port, timeout=5)
    other.sendall(b"PROXY TCP6 2001:db8:1:3::1 ::1 40000 80\r\n" + get)
    check(status_line(read_answer(other)) == "HTTP/1.0 200 OK", "another /64 served beside a full one")
    for s in half_sent + [over, other]:
        s.close()
    check(crowd.stop() == 0, "crowd server exit")

    with sqlite3.connect(os.path.join(proxied_data, "glimor.db")) as db:
        stored = sorted(row[0] for row in db.execute("SELECT client_address FROM images"))
    check(stored == ["192.0.2.7", "192.0.2.7", "192.0.2.8", "198.51.100.4"], "stored addresses: %r" % stored)
    log = proxied.log_text()
    for line in ('192.0.2.7 "POST /guestglimor.php" 200', '198.51.100.4 "POST /guestglimor.php" 200',
                 "127.0.0.2: not a trusted proxy", "127.0.0.1: malformed PROXY protocol header"):
        check(line in log, "log line %r in: %s" % (line, log[-800:]))

    # Over TLS the header comes before the handshake.
    secure = Server(os.path.join(work, "secure"), "--tls-cert", os.path.join(pki, "server.pem"), "--tls-key",
                    os.path.join(pki, "server.key"), "--proxy-protocol", "--trusted-proxy", "127.0.0.1",
                    "--uploads", "open")
    trusted = ssl.create_default_context(cafile=os.path.join(pki, "ca.pem"))
    answer = via(b"", wrap=lambda s: _after_header(s, v1(b"203.0.113.5"), trusted), port=secure.port)
    check(status_line(answer) == "HTTP/1.0 200 OK", "PROXY header before TLS: %r" % answer[:100])
    check(secure.stop() == 0 and '203.0.113.5 "POST /guestglimor.php" 200' in secure.log_text(),
          "TLS log names the client")


def clients(work):
    """What other clients get: JSON answers under any field name, and thumbnails."""
    images = make_images(work)
    server = Server(os.path.join(work, "data"), "--max-upload", "400000")
    port = server.port
    url = "http://127.0.0.1:%d/guestglimor.php" % port

    def json_upload(path, field="file"):
        answer = curl("-H", "Accept: application/json", "-F", "%s=@%s" % (field, path), url)
        try:
            return json.loads(answer)
        except ValueError:
            return {"unreadable": answer[:200]}

    # A JSON client's upload: every field, the image unchanged, a thumbnail of at most
    # 320 pixels on the long side (never enlarged), and the deletion link taking both.
    big = os.path.join(work, "big.png")
    subprocess.run(["convert", "-size", "1000x500", "gradient:red-blue", "-strip", big], check=True)
    # A JPEG is decoded at a reduced scale for its thumbnail; one within 320 pixels is its own.
    big_jpeg, small_jpeg = os.path.join(work, "big.jpg"), os.path.join(work, "small.jpg")
    subprocess.run(["convert", big, big_jpeg], check=True)
    subprocess.run(["convert", big, "-resize", "300x200!", small_jpeg], check=True)
    padded_jpeg = os.path.join(work, "padded.jpg")
    with open(small_jpeg, "rb") as f:
        small = f.read()
    comment = b"\xff\xfe" + (65535).to_bytes(2, "big") + b"c" * 65533
    with open(padded_jpeg, "wb") as f:
        f.write(small[:2] + comment * 4 + small[2:])
    for path, size, thumb in ((big, "1000x500", "320x160"), (big_jpeg, "1000x500", "320x160"),
                              (small_jpeg, "300x200", "300x200"), (padded_jpeg, "300x200", "300x200"),
                              (os.path.join(work, "x.gif"), "40x30", "40x30")):
        answer = json_upload(path)
        with open(path, "rb") as f:
            image = f.read()
        check(set(answer) == {"url", "page_url", "delete_url", "thumbnail_url", "width", "height", "type", "size"} and
              "%dx%d" % (answer["width"], answer["height"]) == size and answer["size"] == len(image) and
              answer["type"] == "image/" + path.rsplit(".", 1)[1].replace("jpg", "jpeg"), "JSON answer: %r" % answer)
        check(curl(answer.get("url", "")) == image, "the JSON url serves the image")
        thumbnail = curl(answer.get("thumbnail_url", ""))
        with open(os.path.join(work, "thumb.jpg"), "wb") as f:
            f.write(thumbnail)
        if path == small_jpeg:
            check(thumbnail == image, "a small JPEG is its own thumbnail")
        if path == padded_jpeg:
            check(len(thumbnail) < len(image) // 4, "a JPEG padded with comments is not stored twice")
        shown = subprocess.run(["identify", "-format", "%m %wx%h", os.path.join(work, "thumb.jpg")],
                               capture_output=True).stdout.decode()
        check(shown == "JPEG " + thumb, "thumbnail of %s: %r" % (size, shown))
        check(curl("-X", "POST", answer.get("delete_url", "")) == b"Image deleted.\r\n" and
              gone_soon(answer.get("thumbnail_url", "")), "the thumbnail goes with its image")

    chat_previews(work, json_upload)

    # Interlaced pictures hand their pixels over in another order, to the same thumbnail.
    for extension, interlace in (("png", "PNG"), ("gif", "GIF")):
        plain = json_upload(os.path.join(work, "x." + extension))
        path = os.path.join(work, "interlaced." + extension)
        subprocess.run(["convert", os.path.join(work, "x." + extension), "-interlace", interlace, path], check=True)
        interlaced = json_upload(path, field="imgfile")
        check(curl(plain.get("thumbnail_url", "")) == curl(interlaced.get("thumbnail_url", "-")),
              "interlaced %s: the same thumbnail" % extension)

    # Refusals in JSON, also those decided at the head; Glimor's answer stays plain text.
    with open(os.path.join(work, "page.png"), "wb") as f:
        f.write(b"<html>")
    check(json_upload(os.path.join(work, "page.png")) == {"error": "Not a complete BMP, JPEG, GIF or PNG image"},
          "refusal in JSON")
    head = (b"POST /guestglimor.php HTTP/1.1\r\nHost: x\r\nAccept: application/json\r\n"
            b"Content-Type: multipart/form-data; boundary=b\r\nContent-Length: 999999\r\n\r\n")
    answer = exchange(port, head)
    check(status_line(answer) == "HTTP/1.1 413 Upload larger than 400000 bytes" and
          json.loads(body_of(answer) or b"{}") == {"error": "Upload larger than 400000 bytes"},
          "refusal at the head in JSON: %r" % answer[:300])
    answer = program_upload(port, b"localhost:%d" % port, b"C:\\Apps\\Glimor\\Glimor.png", images["png"])
    check(re.fullmatch(rb"Image stored\.\r\nDelete: http://localhost:%d/d/[\w-]{16}/[\w-]{24}\r\n"
                       rb"Page: http://localhost:%d/v/[\w-]{16}\r\n"
                       rb"Link: http://localhost:%d/i/[\w-]{16}\.png\r\n" % (port, port, port), body_of(answer)) and
          b"\r\nContent-Type: text/plain; charset=utf-8\r\n" in answer, "Glimor's answer: %r" % answer)
    sharex(server, images["png"])
    check(server.stop() == 0, "clean exit")


def preview_tags(page_url, agent):
    """An upload's page as a chat's bot fetches it under its own user agent: the tags of its head,
    read from the first 2 KB alone, as the bots that stop there read them."""
    import html.parser
    tags = {}

    class Head(html.parser.HTMLParser):
        def handle_starttag(self, tag, attributes):
            attributes = dict(attributes)
            name = attributes.get("property") or attributes.get("name")
            if tag == "meta" and name and "content" in attributes:
                tags.setdefault(name, attributes["content"])
    Head().feed(curl("-A", agent, page_url)[:2048].decode(errors="replace"))
    return tags


def chat_previews(work, json_upload):
    """Discord's, Slack's and Twitter's bots find a picture's and a recording's preview on its page;
    a deleted upload's page is gone."""
    picture = json_upload(os.path.join(work, "big.png"))
    make_recording(work, "r.webm", "-c:v", "libvpx")
    recording = json_upload(os.path.join(work, "r.webm"))
    for agent in ("Mozilla/5.0 (compatible; Discordbot/2.0; +https://discordapp.com)", "Slackbot-LinkExpanding 1.0 "
                  "(+https://api.slack.com/robots)", "Twitterbot/1.0"):
        tags = preview_tags(picture.get("page_url", ""), agent)
        check(tags.get("og:image") == picture.get("url") and tags.get("og:url") == picture.get("page_url") and
              (tags.get("og:image:width"), tags.get("og:image:height"), tags.get("og:image:type")) ==
              ("1000", "500", "image/png") and tags.get("twitter:card") == "summary_large_image" and
              tags.get("twitter:image") == picture.get("url") and tags.get("og:title") and tags.get("og:type"),
              "%s: the picture's tags %r" % (agent, tags))
        tags = preview_tags(recording.get("page_url", ""), agent)
        check(tags.get("og:video") == recording.get("url") and tags.get("og:video:type") == "video/webm" and
              tags.get("og:image") == recording.get("thumbnail_url") and tags.get("og:image:type") == "image/jpeg",
              "%s: the recording's tags %r" % (agent, tags))
        check(curl(tags.get("og:image", "")).startswith(b"\xff\xd8"), "the recording's preview picture is served")
    check(curl("-X", "POST", picture.get("delete_url", "")) == b"Image deleted.\r\n" and
          gone_soon(picture.get("page_url", "")), "a deleted upload's page is gone")


def sharex_upload(uploader, image, authorization=None):
    """The request a ShareX custom uploader describes, sent as ShareX sends it: its method to its URL
    with its headers, the file as multipart form data under FileFormName; then the answer's fields
    picked by the uploader's {json:NAME} syntax."""
    import http.client
    import urllib.parse
    target = urllib.parse.urlsplit(uploader["RequestURL"])
    boundary = "--------------------8dc1f0a1b2c3d4e"
    body = (b"--" + boundary.encode() + b"\r\nContent-Disposition: form-data; name=\"" +
            uploader["FileFormName"].encode() + b"\"; filename=\"Screenshot 2026-12-10.png\"\r\n"
            b"Content-Type: image/png\r\n\r\n" + image + b"\r\n--" + boundary.encode() + b"--\r\n")
    headers = dict(uploader["Headers"], **{"Content-Type": "multipart/form-data; boundary=" + boundary})
    if authorization:
        headers["Authorization"] = authorization
    connection = http.client.HTTPConnection(target.hostname, target.port, timeout=20)
    connection.request(uploader["RequestMethod"], target.path, body, headers)
    answer = connection.getresponse()
    fields = json.loads(answer.read())
    connection.close()

    def pick(syntax):
        found = re.fullmatch(r"\{json:(\w+)\}", syntax)
        return fields.get(found.group(1)) if found else None
    return answer.status, pick(uploader["URL"]), pick(uploader["DeletionURL"]), pick(uploader["ErrorMessage"])


def sharex(server, image):
    """A custom uploader from `token add --sxcu` and `token sxcu`, performed as ShareX performs it."""
    public = "http://127.0.0.1:%d" % server.port
    path = os.path.join(os.path.dirname(server.data), "glimor.sxcu")

    def token(*words, given=None):
        return subprocess.run([SERVER, "token", *words, "--data", server.data], input=given, capture_output=True,
                              timeout=30)
    added = token("add", "sharex", "--sxcu", path, "--public-url", public + "/")
    secret = added.stdout.decode().splitlines()[-1] if added.returncode == 0 else ""
    check(added.returncode == 0 and os.stat(path).st_mode & 0o777 == 0o600, "sxcu written 0600: %r" % (added,))
    check(b"sends the token in clear" in added.stderr, "an http:// uploader is warned of: %r" % added.stderr)
    with open(path) as f:
        uploader = json.load(f)
    check({k: uploader.get(k) for k in ("DestinationType", "RequestMethod", "RequestURL", "Body", "URL", "DeletionURL",
                                         "ErrorMessage")} ==
          {"DestinationType": "ImageUploader", "RequestMethod": "POST", "RequestURL": public + "/guestglimor.php",
           "Body": "MultipartFormData", "URL": "{json:url}", "DeletionURL": "{json:delete_url}",
           "ErrorMessage": "{json:error}"} and uploader.get("Version") and uploader.get("Name") and
          uploader.get("Headers") == {"Authorization": "Bearer " + secret, "Accept": "application/json"},
          "sxcu fields: %r" % uploader)

    # The token is known to the running service within a second.
    for _ in range(50):
        status, url, deletion, error = sharex_upload(uploader, image)
        if status != 401:
            break
        time.sleep(0.1)
    check(status == 200 and curl(url or "") == image and deletion and not error, "ShareX upload: %r" % [status, url, error])
    check(sharex_upload(uploader, image, "Bearer " + "A" * 43)[1:] == (None, None, "Upload token not valid"),
          "ShareX shows the refusal")

    # An uploader that gives the upload's page, for chats.
    paged = path + "-page"
    check(token("sxcu", "sharex", paged, "--public-url", public, "--link", "page", given=secret.encode()).returncode == 0,
          "token sxcu --link page")
    with open(paged) as f:
        status, url, deletion, error = sharex_upload(json.load(f), image)
    check(status == 200 and re.fullmatch(re.escape(public) + r"/v/[\w-]{16}", url or "") and
          b'property="og:image"' in curl(url), "ShareX gives the page: %r" % url)

    # For a token made before: given on standard input, checked against its name.
    os.remove(path)
    check(token("sxcu", "sharex", path, "--public-url", public, given=secret.encode() + b"\n").returncode == 0 and
          json.load(open(path))["Headers"]["Authorization"] == "Bearer " + secret, "token sxcu")
    secure = token("sxcu", "sharex", path + "s", "--public-url", "https://img.example.org", given=secret.encode())
    check(secure.returncode == 0 and not secure.stderr, "no warning over https://: %r" % (secure,))
    check(token("sxcu", "other", path + "2", "--public-url", public, given=secret.encode()).returncode == 1 and
          not os.path.exists(path + "2"), "token sxcu refuses another name's token")
    check(token("add", "x", "--sxcu", path).returncode == 2, "--sxcu needs --public-url")


def page(work):
    """The page of one's uploads in headless Chromium (Debian's chromium, chromium-driver and
    python3-selenium): the token form, the list with its thumbnails, delete, and the refusals."""
    try:
        from selenium import webdriver
        from selenium.webdriver.chrome.service import Service as DriverService
        from selenium.webdriver.common.by import By
        from selenium.webdriver.support.ui import WebDriverWait
    except ImportError:
        print("python3-selenium is not installed: the page is not tested")
        sys.exit(77)
    import functools
    import http.client
    import http.server
    import threading
    png = make_images(work)["png"]
    data = os.path.join(work, "data")
    server = Server(data, "--uploads", "token")
    base = "http://127.0.0.1:%d" % server.port

    def token(name):
        added = subprocess.run([SERVER, "token", "add", name, "--data", data], capture_output=True, timeout=30)
        return added.stdout.decode().splitlines()[-1]
    ann, bob = token("ann"), token("bob")
    with open(os.path.join(work, "a.png"), "wb") as f:
        f.write(png)
    make_recording(work, "b.webm", "-c:v", "libvpx")

    def upload(secret, name="a.png"):
        for _ in range(50):  # the tokens are known to the service within a second
            answer = curl("-H", "Authorization: Bearer " + secret, "-H", "Accept: application/json",
                          "-F", "file=@" + os.path.join(work, name), base + "/guestglimor.php")
            if b'"url"' in answer:
                return json.loads(answer)["url"]
            time.sleep(0.1)
        return ""
    links = [upload(ann), upload(ann, "b.webm")]
    foreign = upload(bob, "b.webm")

    options = webdriver.ChromeOptions()
    options.binary_location = shutil.which("chromium") or "/usr/bin/chromium"
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage"):
        options.add_argument(argument)
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    driver = webdriver.Chrome(service=DriverService(shutil.which("chromedriver")), options=options)
    try:
        driver.set_page_load_timeout(30)
        wait = WebDriverWait(driver, 20)

        def sign_in(secret):
            driver.get(base + "/my")
            field = wait.until(lambda d: d.find_element(By.ID, "token"))
            field.send_keys(secret)
            field.submit()
            wait.until(lambda d: d.find_elements(By.CLASS_NAME, "error") or d.find_elements(By.CLASS_NAME, "link"))

        sign_in("A" * 43)
        check("Upload token not valid" in driver.page_source and not driver.find_elements(By.CLASS_NAME, "link"),
              "a wrong token is refused")

        # Other sites' pages (another address; another port of this one) post bob's token to the
        # sign-in with a guessed form value: the browser stays signed out.
        os.makedirs(os.path.join(work, "forger"))
        with open(os.path.join(work, "forger", "index.html"), "w") as f:
            f.write('<form method="post" action="%s/my/login"><input name="token" value="%s"><input name="csrf" '
                    'value="%s"></form><script>document.forms[0].submit()</script>' % (base, bob, "A" * 43))
        for address in ("127.0.0.2", "127.0.0.1"):
            site = http.server.ThreadingHTTPServer((address, 0), functools.partial(
                http.server.SimpleHTTPRequestHandler, directory=os.path.join(work, "forger")))
            threading.Thread(target=site.serve_forever, daemon=True).start()
            driver.get("http://%s:%d/" % (address, site.server_port))
            wait.until(lambda d: d.current_url.startswith(base) and d.find_elements(By.ID, "token"))
            refusal = driver.page_source
            site.shutdown()
            driver.get(base + "/my")
            check("nobody was signed in" in refusal and driver.find_elements(By.ID, "token") and
                  "glimor_session" not in [c["name"] for c in driver.get_cookies()],
                  "a sign-in posted from %s is refused" % address)
        sign_in(ann)
        shown = [field.get_attribute("value") for field in driver.find_elements(By.CLASS_NAME, "link")]
        check(shown == links[::-1], "ann's uploads, newest first: %r (uploaded %r)" % (shown, links))
        check(foreign not in driver.page_source, "another token's upload is not listed")
        check(all(f.get_attribute("readonly") for f in driver.find_elements(By.CLASS_NAME, "link")),
              "the link to copy is read-only")
        wait.until(lambda d: d.execute_script("return [...document.images].every(i => i.complete)"))
        widths = driver.execute_script("return [...document.images].map(i => i.naturalWidth)")
        check(len(widths) == 2 and all(w > 0 for w in widths), "thumbnails shown: %r" % widths)
        check(driver.find_element(By.CLASS_NAME, "duration").text == "Video, 0:02", "the recording's duration")
        artifacts = os.path.join(os.path.dirname(os.path.abspath(BUILD)), "artifacts")
        os.makedirs(artifacts, exist_ok=True)
        driver.set_window_size(1000, 700)
        driver.save_screenshot(os.path.join(artifacts, "server-my-page.png"))
        cookie = {c["name"]: c for c in driver.get_cookies()}.get("glimor_session", {})
        check(cookie.get("httpOnly") and cookie.get("sameSite") == "Strict" and ann not in cookie.get("value", ann),
              "session cookie: %r" % cookie)
        violations = [entry["message"] for entry in driver.get_log("browser") if "Content Security Policy" in entry["message"]]
        check(not violations, "the page keeps to its own policy: %r" % violations)

        # The session alone is not enough to delete: the form's own value must come with it.
        image_id = links[0].rsplit("/", 1)[1].split(".")[0]
        for form in ("id=%s" % image_id, "id=%s&csrf=%s" % (image_id, "A" * 43)):
            connection = http.client.HTTPConnection("127.0.0.1", server.port, timeout=20)
            connection.request("POST", "/my/delete", form, {"Cookie": "glimor_session=" + cookie.get("value", ""),
                                                             "Content-Type": "application/x-www-form-urlencoded"})
            refused = connection.getresponse().status
            connection.close()
            check(refused == 403 and status_of(links[0]) == "200", "CSRF refused (%s): %d" % (form[:20], refused))

        # Delete from the page: the newest goes, from the list and from the service.
        driver.find_element(By.CSS_SELECTOR, "form[action='/my/delete'] button").click()
        wait.until(lambda d: len(d.find_elements(By.CLASS_NAME, "link")) == 1)
        check([f.get_attribute("value") for f in driver.find_elements(By.CLASS_NAME, "link")] == links[:1] and
              status_of(links[1]) == "410", "deleted from the page")
        driver.find_element(By.CSS_SELECTOR, "form[action='/my/logout'] button").click()
        wait.until(lambda d: d.find_elements(By.ID, "token"))

        # A recording's link opened in the browser plays: its player may load it, seeking in ranges.
        driver.get(foreign)
        wait.until(lambda d: d.execute_script("const v = document.querySelector('video'); return v && v.readyState >= 1"))
        check(abs(driver.execute_script("return document.querySelector('video').duration") - 2) < 0.2,
              "the recording plays in the browser")
        browser_uploads(driver, wait, By, base, work, ann, png)
    finally:
        driver.quit()
    check(server.stop() == 0, "clean exit")


def browser_uploads(driver, wait, By, base, work, token, png):
    """Uploads from a signed-in browser: the picker (two files), a drop and a paste made by the test,
    each ending in its link and page with copy buttons; the form without a script; CSRF refused."""
    import base64
    import http.client
    driver.get(base + "/my")
    field = wait.until(lambda d: d.find_element(By.ID, "token"))
    field.send_keys(token)
    field.submit()
    wait.until(lambda d: d.find_elements(By.CSS_SELECTOR, "form.upload"))
    csrf = driver.find_element(By.CSS_SELECTOR, "form.upload input[name=csrf]").get_attribute("value")
    second = os.path.join(work, "c.png")
    with open(second, "wb") as f:
        f.write(png)

    def done(count):
        wait.until(lambda d: len(d.find_elements(By.CSS_SELECTOR, ".results li.done, .results li.error")) >= count)
        return driver.find_elements(By.CSS_SELECTOR, ".results li")
    driver.find_element(By.ID, "files").send_keys(os.path.join(work, "a.png") + "\n" + second)
    done(2)
    made = "const data = new DataTransfer(); data.items.add(new File([Uint8Array.from(atob(arguments[0]), " \
           "c => c.charCodeAt(0))], arguments[1], {type: 'image/png'})); "
    driver.execute_script(made + "document.querySelector('form.upload').dispatchEvent(new DragEvent('drop', "
                          "{dataTransfer: data, bubbles: true, cancelable: true}));", base64.b64encode(png).decode(),
                          "dropped.png")
    done(3)
    driver.execute_script(made + "document.dispatchEvent(new ClipboardEvent('paste', {clipboardData: data, "
                          "bubbles: true, cancelable: true}));", base64.b64encode(png).decode(), "")
    items = done(4)
    fields = [[f.get_attribute("value") for f in item.find_elements(By.CSS_SELECTOR, "input.link")] for item in items]
    check(len(fields) == 4 and all(len(pair) == 2 for pair in fields) and
          all(curl(link) == png and b'property="og:image" content="%s"' % link.encode() in curl(page)
              for link, page in fields), "picker, drop and paste: each its link and page: %r" %
          [item.text for item in items])
    button = items[0].find_element(By.TAG_NAME, "button")
    button.click()
    check(button.text == "Copied", "the copy button: %r" % button.text)
    violations = [e["message"] for e in driver.get_log("browser") if "Content Security Policy" in e["message"]]
    check(not violations, "the upload script keeps to the page's policy: %r" % violations)
    # An upload's page in the browser: the picture shown, fitted to the window, under the page's policy.
    driver.set_window_size(800, 600)
    driver.get(fields[0][1])
    wait.until(lambda d: d.execute_script("const i = document.querySelector('main img'); return i && i.complete"))
    shown = driver.execute_script("const i = document.querySelector('main img'), r = i.getBoundingClientRect(); "
                                  "return [i.naturalWidth, r.bottom <= innerHeight, r.right <= innerWidth]")
    check(shown == [40, True, True], "the upload's page shows the picture within the window: %r" % shown)
    violations = [e["message"] for e in driver.get_log("browser") if "Content Security Policy" in e["message"]]
    check(not violations, "the upload's page keeps to its policy: %r" % violations)
    driver.get(base + "/my")
    listed = [f.get_attribute("value") for f in driver.find_elements(By.CSS_SELECTOR, "li input.link")]
    check(all(link in listed for link, _ in fields), "the browser's uploads are the token's")
    driver.get(base + "/")
    check(driver.find_elements(By.CSS_SELECTOR, "form.upload[action='/my/upload']"), "the home page's form")

    # The form as a browser without scripts posts it: both files, one answer of links.
    cookie = {c["name"]: c["value"] for c in driver.get_cookies()}.get("glimor_session", "")

    def post_form(fields, origin=None):
        boundary = "----formboundary7MA4YWxk"
        body = b""
        for name, value, filename in fields:
            body += b"--" + boundary.encode() + b"\r\nContent-Disposition: form-data; name=\"" + name.encode() + b"\""
            body += (b"; filename=\"" + filename.encode() + b"\"\r\nContent-Type: image/png" if filename else b"")
            body += b"\r\n\r\n" + value + b"\r\n"
        body += b"--" + boundary.encode() + b"--\r\n"
        headers = {"Cookie": "glimor_session=" + cookie, "Content-Type": "multipart/form-data; boundary=" + boundary}
        if origin:
            headers["Origin"] = origin
        connection = http.client.HTTPConnection("127.0.0.1", int(base.rsplit(":", 1)[1]), timeout=20)
        connection.request("POST", "/my/upload", body, headers)
        answer = connection.getresponse()
        result = answer.status, answer.read().decode(errors="replace")
        connection.close()
        return result
    files = [("files", png, "one.png"), ("files", png, "two.png")]
    status, page = post_form([("csrf", csrf.encode(), None)] + files, origin=base)
    check(status == 200 and page.count("/v/") == 2 and page.count("/i/") == 2, "no script: %d %r" % (status, page[:300]))
    before = len(listed)
    for form, origin, why in ((files, base, "without the form's value"),
                              ([("csrf", csrf.encode(), None)] + files, "http://127.0.0.2:1", "from another site")):
        status, _ = post_form(form, origin)
        check(status == 403, "an upload %s is refused: %d" % (why, status))
    driver.get(base + "/my")
    check(len(driver.find_elements(By.CSS_SELECTOR, "li input.link")) == before + 2, "nothing stored when refused")


def _after_header(s, header, context):
    """Sends the PROXY header in the clear, then speaks TLS on the same connection."""
    s.sendall(header)
    return context.wrap_socket(s, server_hostname="localhost")


def main():
    group = sys.argv[1]
    work = tempfile.mkdtemp(prefix="glimor-server-peer-")
    try:
        {"wire": wire, "refusals": refusals, "load": load, "cli": cli, "tls": tls, "gate": gate,
         "clients": clients, "page": page}[group](work)
    finally:
        for process in Server.started:
            if process.poll() is None:
                process.kill()
                failures.append("glimor-server left running")
        shutil.rmtree(work, ignore_errors=True)
    print("%s: %s%s" % (group, "FAILED (%d)" % len(failures) if failures else "passed",
                        "; skipped: " + "; ".join(skipped) if skipped else ""))
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
