"""glimor-server nodes on one PostgreSQL database, behind nginx.

One throwaway cluster (tests/support/postgres_cluster.sh) serves every check:
any node serves any image; parallel uploads through nginx to two nodes; a node
killed with SIGKILL amid uploads loses nothing it acknowledged and leaves no
row without its bytes; the database stopped and started under a running node.
Exits 77 when PostgreSQL is not installed.
"""
import concurrent.futures
import hashlib
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from glimor_server_peer import (BUILD, SOURCE, SERVER, admin, body_of, check, connect_from, delete_url_of, exchange,
                                failures, free_port, link_of, noise_png, program_head, program_upload, program_upload_body,
                                read_answer, status_line,
                                text_of, wait_listening)

CLUSTER = os.path.join(SOURCE, "tests", "support", "postgres_cluster.sh")
NGINX = os.path.join(SOURCE, "tests", "support", "nginx_nodes.sh")
CLIENT = "192.0.2.10"  # the client the checks name when they talk to a node directly


class Node:
    """One glimor-server on the shared database."""

    def __init__(self, work, uri, name, *flags):
        self.port = free_port()
        self.log_path = os.path.join(work, name + ".log")
        # Connections come only from nginx, or from these checks acting as a proxy
        # for a client at CLIENT.
        with open(self.log_path, "wb") as log:
            self.process = subprocess.Popen(
                [SERVER, "--database", uri, "--listen", "127.0.0.1:%d" % self.port, "--proxy-protocol",
                 "--trusted-proxy", "127.0.0.1", "--uploads", "open", "--upload-rate", "0", "--upload-quota", "0",
                 *flags],
                stderr=log)
        self.header = b"PROXY TCP4 %s 127.0.0.1 40000 %d\r\n" % (CLIENT.encode(), self.port)

    def wait_ready(self):
        wait_listening(self.port, self.process, 15, self.log, "node")

    def log(self):
        return text_of(self.log_path)

    def upload(self, image, extra=b""):
        return program_upload(self.port, b"127.0.0.1:%d" % self.port, b"C:\\Glimor\\Glimor.png", image, extra,
                              prefix=self.header)

    def exchange(self, request):
        return exchange(self.port, self.header + request)

    def get(self, link, method=b"GET"):
        path = link.split("/", 3)[3].encode()
        return self.exchange(method + b" /" + path + b" HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n")


def sql(cluster_dir, port, query):
    owner = ["runuser", "-u", "postgres", "--"] if os.getuid() == 0 else []
    result = subprocess.run(owner + ["psql", "-h", cluster_dir, "-p", str(port), "-U", "glimor", "-d", "glimor",
                                     "-Atc", query], capture_output=True, check=True)
    return result.stdout.decode().strip()


def cached_copy(b, link):
    """Node B's disk cache copy of the image, or None."""
    path = os.path.join(b.cache, link.rsplit("/", 1)[1].split(".")[0])
    if not os.path.exists(path):
        return None
    with open(path, "rb") as f:
        return f.read(), os.stat(path).st_mode & 0o777


def any_node_serves_any_image(a, b, db):
    small, large = noise_png(5000), noise_png(1 << 20)  # the large one is sent in slices
    for image in (small, large):
        answer = a.upload(image)
        link = link_of(answer)
        check(status_line(answer) == "HTTP/1.0 200 OK" and link, "upload to node A: " + status_line(answer))
        fetched = b.get(link)
        check(body_of(fetched) == image, "node B serves node A's upload byte for byte (%d bytes)" % len(image))
        check(b"Content-Type: image/png" in fetched, "node B names the type")
        head = b.get(link, b"HEAD")
        check(b"Content-Length: %d\r\n" % len(image) in head and body_of(head) == b"", "HEAD from node B")
    # A range of the large image, across its slices.
    ranged = b.exchange(b"GET /" + link.split("/", 3)[3].encode() +
                      b" HTTP/1.1\r\nHost: x\r\nRange: bytes=300000-600000\r\nConnection: close\r\n\r\n")
    check(status_line(ranged) == "HTTP/1.1 206 Partial Content" and body_of(ranged) == large[300000:600001],
          "range of a sliced image: " + status_line(ranged))
    # Node B keeps its copy of the large image (not the small one) and serves it from there.
    check(cached_copy(b, link) == (large, 0o600), "node B's cached copy of the large image, mode 0600")
    check(sorted(os.listdir(b.cache)) == [link.rsplit("/", 1)[1].split(".")[0]], "only the large image is copied")
    check(body_of(b.get(link)) == large and body_of(a.get(link)) == large, "served from the copy and from slices")
    form = b"name=Ana&email=a@b.hr&cat=Bug&text=\xe8a & pi\x9ae\r\n\r\n"
    answer = b.exchange(program_head(b"/glimor/index.php?do=contact", b"x", "form", len(form)) + form)
    check(status_line(answer) == "HTTP/1.0 200 OK", "feedback on node B: " + status_line(answer))
    check(sql(*db, "SELECT encode(text, 'hex') FROM feedback") == (b"\xe8a & pi\x9ae").hex(),
          "feedback text kept byte for byte in PostgreSQL")


def upload_through_nginx(front_port, image):
    """From another loopback address, which nginx passes on to the node in its PROXY header."""
    body = program_upload_body(b"C:\\Glimor\\Glimor.png", image)
    with connect_from("127.0.0.5", front_port) as s:
        s.sendall(program_head(b"/guestglimor.php", b"127.0.0.1:%d" % front_port, "multipart", len(body)) + body)
        return read_answer(s)


def tokens_on_every_node(a, b, uri):
    def token(*words):
        return subprocess.run([SERVER, "token", *words, "--database", uri], capture_output=True, timeout=30)

    added = token("add", "ci")
    secret = added.stdout.decode().splitlines()[-1].encode() if added.returncode == 0 and added.stdout else b""
    bearer = b"Authorization: Bearer " + secret + b"\r\n"
    status = ""
    for _ in range(50):  # every node reads the tokens again each second
        status = status_line(b.upload(noise_png(3000), bearer))
        if status != "HTTP/1.0 401 Upload token not valid":
            break
        time.sleep(0.1)
    check(status == "HTTP/1.0 200 OK", "token made on the database: %s %r" % (status, added))
    check(token("list").stdout.startswith(b"ci\t"), "token listed")
    session = sign_in(a, secret)

    def signed_in(node):
        page = node.exchange(b"GET /my HTTP/1.1\r\nHost: x\r\nCookie: glimor_session=" + session +
                             b"\r\nConnection: close\r\n\r\n")
        return b"Uploads with the token <strong>ci</strong>" in page
    check(session and signed_in(b), "a browser signed in on node A is signed in on node B")
    check(token("revoke", "ci").returncode == 0, "token revoked")
    ended = []
    for _ in range(50):  # its sessions end on every node within a second
        ended = [not signed_in(node) for node in (a, b)]
        if all(ended):
            break
        time.sleep(0.1)
    check(all(ended), "the revoked token's session ended on every node: %r" % ended)
    statuses = set()
    for _ in range(50):  # both nodes refuse it within a second
        statuses = {status_line(node.upload(noise_png(3000), bearer)) for node in (a, b)}
        if statuses == {"HTTP/1.0 401 Upload token not valid"}:
            break
        time.sleep(0.1)
    check(statuses == {"HTTP/1.0 401 Upload token not valid"}, "revoked on every node: %r" % statuses)


def sign_in(node, secret):
    """Signs a browser in on /my as a browser does: the form's value from its page and cookie, then the
    token posted with it; the session's cookie value, or b"" when refused."""
    page = node.exchange(b"GET /my HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n")
    found = re.search(rb"Set-Cookie: glimor_sign_in=([\w-]{43});", page)
    if not found:
        return b""
    form = b"csrf=" + found.group(1) + b"&token=" + secret
    answer = node.exchange(b"POST /my/login HTTP/1.1\r\nHost: x\r\nCookie: glimor_sign_in=" + found.group(1) +
                           b"\r\nContent-Type: application/x-www-form-urlencoded\r\nContent-Length: %d\r\n"
                           b"Connection: close\r\n\r\n" % len(form) + form)
    session = re.search(rb"Set-Cookie: glimor_session=([\w-]{43});", answer)
    return session.group(1) if session else b""


def parallel_uploads_through_nginx(a, b, front_port, db):
    images = [noise_png(20000 + i * 131) for i in range(24)]
    with concurrent.futures.ThreadPoolExecutor(max_workers=8) as pool:
        answers = list(pool.map(lambda image: upload_through_nginx(front_port, image), images))
    links = [link_of(answer) for answer in answers]
    check(all(status_line(answer) == "HTTP/1.0 200 OK" for answer in answers), "24 uploads through nginx")
    check(all(link.startswith("http://127.0.0.1:%d/i/" % front_port) for link in links),
          "links name nginx, not a node")
    for image, link in zip(images, links):
        check(body_of(a.get(link)) == image and body_of(b.get(link)) == image, "both nodes serve " + link)
    for node in (a, b):
        check(node.log().count('127.0.0.5 "POST /guestglimor.php" 200') >= 5,
              "nginx spread the uploads to both nodes, naming the client")
    check(sql(*db, "SELECT count(*) FROM images WHERE client_address = '127.0.0.5'") == "24",
          "the client's own address stored")
    check(status_line(exchange(a.port, b"GET / HTTP/1.0\r\n\r\n")) == "", "a node takes no connection without a PROXY header")


def deletion_seen_by_every_node(a, b, uri):
    """Removed through node A or by the admin command, an image cached by node B
    answers 410 there too, within about a second."""
    def gone_on_b(link):
        for _ in range(50):  # at most 5 s
            if status_line(b.get(link)).endswith(" 410 Gone"):
                return True
            time.sleep(0.1)
        return False

    answer = a.upload(noise_png(3000))
    link, delete_url = link_of(answer), delete_url_of(answer)
    check(body_of(b.get(link)) != b"", "node B serves (and caches) the image")
    path = delete_url.split("/", 3)[3].encode()
    deleted = a.exchange(b"POST /" + path + b" HTTP/1.1\r\nHost: x\r\nContent-Length: 1\r\n"
                         b"Connection: close\r\n\r\nx")
    check(body_of(deleted) == b"Image deleted.\r\n", "deleted through node A: " + status_line(deleted))
    check(gone_on_b(link), "node B answers 410 for the image deleted through node A")

    link = link_of(a.upload(noise_png(3000)))
    check(body_of(b.get(link)) != b"", "node B caches another image")
    code, out, err = admin("delete", link.rsplit("/", 1)[1].split(".")[0], "--database", uri)
    check(code == 0 and out.startswith("removed "), "admin delete on PostgreSQL: %r" % ((code, out, err),))
    check(gone_on_b(link), "node B answers 410 for the image the admin command removed")

    # A large image copied to node B's disk cache leaves it with the tombstone, within the poll second.
    answer = a.upload(noise_png(600 * 1024))
    link = link_of(answer)
    check(body_of(b.get(link)) != b"" and cached_copy(b, link) is not None, "node B copies the large image")
    path = delete_url_of(answer).split("/", 3)[3].encode()
    a.exchange(b"POST /" + path + b" HTTP/1.1\r\nHost: x\r\nContent-Length: 1\r\nConnection: close\r\n\r\nx")
    deleted = time.time()
    while cached_copy(b, link) is not None and time.time() < deleted + 5:
        time.sleep(0.05)
    check(cached_copy(b, link) is None and time.time() < deleted + 2.5,
          "node B's copy removed %.1f s after the deletion" % (time.time() - deleted))
    check(status_line(b.get(link)).endswith(" 410 Gone"), "node B answers 410 for the copied image")


def killed_node_loses_nothing_acknowledged(a, b, db):
    before = int(sql(*db, "SELECT count(*) FROM images"))
    acknowledged = []  # (link, image)
    lock = threading.Lock()
    enough = threading.Event()

    def upload_until_cut():
        while True:
            image = noise_png(300 * 1024)
            try:
                answer = a.upload(image)
            except OSError:
                return
            link = link_of(answer)
            if not link:
                return  # the node died amid the request
            with lock:
                acknowledged.append((link, image))
                if len(acknowledged) >= 20:
                    enough.set()

    threads = [threading.Thread(target=upload_until_cut) for _ in range(4)]
    for thread in threads:
        thread.start()
    check(enough.wait(60), "uploads acknowledged before the kill")
    a.process.send_signal(signal.SIGKILL)
    a.process.wait()
    for thread in threads:
        thread.join(30)
    for link, image in acknowledged:
        check(body_of(b.get(link)) == image, "acknowledged before the kill, served by node B: " + link)
    rows = int(sql(*db, "SELECT count(*) FROM images"))
    print("node A killed after %d acknowledged uploads; %d rows" % (len(acknowledged), rows - before))
    check(rows >= len(acknowledged) + before, "every acknowledged upload has its row")
    check(sql(*db, "SELECT count(*) FROM images WHERE encode(sha256(bytes), 'hex') <> sha256") == "0",
          "no row without its complete bytes")


def database_restart_under_a_running_node(b, db):
    image = noise_png(4000)
    link = link_of(b.upload(image))  # not read yet, so not in node B's cache
    subprocess.run([CLUSTER, "stop", db[0]], check=True)
    # The answers come at once; the socket timeout only bounds a hang.
    for answer, what in ((b.get(link), "image"), (b.upload(noise_png(4000)), "upload")):
        check(status_line(answer).endswith(" 503 Database Unavailable"),
              "%s while the database is down: %s" % (what, status_line(answer)))
    subprocess.run([CLUSTER, "restart", db[0]], check=True)
    deadline = time.time() + 20
    while time.time() < deadline and not status_line(b.get(link)).endswith(" 200 OK"):
        time.sleep(0.2)
    check(body_of(b.get(link)) == image, "the same node serves again after the database restart")
    answer = b.upload(noise_png(4000))
    check(status_line(answer) == "HTTP/1.0 200 OK", "and takes uploads: " + status_line(answer))
    check(b.process.poll() is None, "without a restart of the node")
    log = b.log()
    check("database unreachable" in log and "database reachable again" in log, "the outage is logged")


def main():
    work = tempfile.mkdtemp(prefix="glimor-server-pg-")
    db_dir = os.path.join(work, "pg")
    started = subprocess.run([CLUSTER, "start", db_dir, "fsync = off"], capture_output=True)
    if started.returncode == 77:
        print("skipped: PostgreSQL is not installed")
        shutil.rmtree(work, ignore_errors=True)
        sys.exit(77)
    nodes = []
    front = os.path.join(work, "nginx")
    try:
        if started.returncode != 0:
            raise RuntimeError("PostgreSQL did not start: " + started.stderr.decode(errors="replace"))
        db = (db_dir, int(started.stdout))
        uri = "postgresql://glimor@127.0.0.1:%d/glimor" % db[1]
        # Both nodes start at once on the empty database: one creates the schema.
        cache = os.path.join(work, "cache-b")
        nodes = [Node(work, uri, "node-a"), Node(work, uri, "node-b", "--cache-dir", cache)]
        nodes[1].cache = cache
        for node in nodes:
            node.wait_ready()
        a, b = nodes
        front_port = free_port()
        subprocess.run([NGINX, "start", front, str(front_port), str(a.port), str(b.port)], check=True)

        any_node_serves_any_image(a, b, db)
        tokens_on_every_node(a, b, uri)
        parallel_uploads_through_nginx(a, b, front_port, db)
        deletion_seen_by_every_node(a, b, uri)
        killed_node_loses_nothing_acknowledged(a, b, db)
        database_restart_under_a_running_node(b, db)
        b.process.send_signal(signal.SIGTERM)
        check(b.process.wait(timeout=30) == 0, "clean exit after SIGTERM")
    finally:
        for node in nodes:
            if node.process.poll() is None:
                node.process.kill()
                node.process.wait()
        subprocess.run([NGINX, "stop", front])
        subprocess.run([CLUSTER, "stop", db_dir], capture_output=True)
        shutil.rmtree(work, ignore_errors=True)
    print("postgres: %s" % ("FAILED (%d)" % len(failures) if failures else "passed"))
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
