"""glimor-server keeping its images in a bucket of Ceph's RADOS Gateway.

One throwaway gateway (tests/support/radosgw_gateway.sh) serves every check; a
gateway that does not start fails the run. curl's own Signature V4 is the
independent client that looks into the bucket. Checked: uploads land in the
bucket before their links are answered; GET, Range, If-None-Match, HEAD and
presigned redirects; deletion, purge and expiry remove the objects; a node
killed with SIGKILL amid uploads leaves objects fsck finds and removes; fsck
finds a record whose object is gone; migration into the bucket and back with
the service running (a file changed since its upload is refused, and moved by a
later run once whole again); two PostgreSQL nodes sharing the bucket; an upload
while the gateway is gone answers 503 and records nothing.
"""
import concurrent.futures
import hashlib
import os
import shutil
import signal
import sqlite3
import subprocess
import sys
import tempfile
import time
import urllib.request

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from glimor_server_peer import (SERVER, SOURCE, body_of, check, delete_url_of, exchange, failures, free_port, link_of,
                                noise_png, program_upload, status_line, text_of, wait_listening)

GATEWAY = os.path.join(SOURCE, "tests", "support", "radosgw_gateway.sh")
CLUSTER = os.path.join(SOURCE, "tests", "support", "postgres_cluster.sh")
EMPTY_SHA = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"


class Bucket:
    """The bucket as curl sees it, signing for itself."""

    def __init__(self, endpoint, access, secret, name):
        self.endpoint, self.access, self.secret, self.name = endpoint, access, secret, name

    def curl(self, *arguments, stdin=None):
        result = subprocess.run(["curl", "-sS", "--max-time", "20", "--aws-sigv4", "aws:amz:us-east-1:s3", "--user",
                                 "%s:%s" % (self.access, self.secret), *arguments], input=stdin, capture_output=True)
        return result.stdout

    def status(self, key, method="HEAD"):
        how = ["--head"] if method == "HEAD" else ["-X", method]
        return self.curl("-o", "/dev/null", "-w", "%{http_code}", *how, "-H",
                         "x-amz-content-sha256: " + EMPTY_SHA, "%s/%s/%s" % (self.endpoint, self.name, key)).decode()

    def get(self, key):
        return self.curl("-H", "x-amz-content-sha256: " + EMPTY_SHA, "%s/%s/%s" % (self.endpoint, self.name, key))

    def put(self, key, data):
        return self.curl("-o", "/dev/null", "-w", "%{http_code}", "-X", "PUT", "--data-binary", "@-", "-H",
                         "x-amz-content-sha256: " + hashlib.sha256(data).hexdigest(),
                         "%s/%s/%s" % (self.endpoint, self.name, key), stdin=data).decode()


class Node:
    """One glimor-server with its images in the bucket."""

    started = []  # every process, so none outlives the run

    def __init__(self, work, name, store, bucket, *flags, s3=True):
        self.port = free_port()
        self.log_path = os.path.join(work, name + ".log")
        self.store, self.bucket = store, bucket
        with open(self.log_path, "ab") as log:
            self.process = subprocess.Popen(
                [SERVER, *store, "--listen", "127.0.0.1:%d" % self.port, "--uploads", "open", "--upload-rate", "0",
                 "--upload-quota", "0", *(s3_flags(bucket) if s3 else []), *flags], stderr=log, env=s3_env(bucket))
        Node.started.append(self.process)
        wait_listening(self.port, self.process, 60, lambda: text_of(self.log_path), name)

    def upload(self, image):
        return program_upload(self.port, b"127.0.0.1:%d" % self.port, b"C:\\Glimor\\Glimor.png", image)

    def get(self, link, method=b"GET", extra=b""):
        path = link.split("/", 3)[3].encode()
        return exchange(self.port, method + b" /" + path + b" HTTP/1.1\r\nHost: x\r\n" + extra +
                        b"Connection: close\r\n\r\n", read_timeout=30)

    def delete(self, answer):
        """Follows the upload's deletion link with its button: a POST."""
        path = delete_url_of(answer).split("/", 3)[3].encode()
        return exchange(self.port, b"POST /" + path + b" HTTP/1.1\r\nHost: x\r\nContent-Type: application/x-www-form-urlencoded"
                        b"\r\nContent-Length: 1\r\nConnection: close\r\n\r\nx", read_timeout=30)

    def kill(self):
        self.process.kill()
        self.process.wait()

    def stop(self):
        self.process.send_signal(signal.SIGTERM)
        return self.process.wait(timeout=30)


def s3_flags(bucket):
    return ["--s3", bucket.endpoint, "--s3-bucket", bucket.name]


def s3_env(bucket):
    return dict(os.environ, GLIMOR_S3_ACCESS_KEY=bucket.access, GLIMOR_S3_SECRET_KEY=bucket.secret)


def command(bucket, *arguments):
    result = subprocess.run([SERVER, *arguments], capture_output=True, timeout=300, env=s3_env(bucket))
    return result.returncode, result.stdout.decode(), result.stderr.decode()


def id_of(link):
    return link.rsplit("/", 1)[1].split(".")[0]


def uploads_gets_and_removals(work, bucket):
    data = os.path.join(work, "sqlite")
    node = Node(work, "sqlite-node", ["--data", data], bucket)
    small, large = noise_png(20000), noise_png(1500000)
    answers = [node.upload(image) for image in (small, large)]
    links = [link_of(answer) for answer in answers]
    check(all(status_line(a) == "HTTP/1.0 200 OK" for a in answers), "uploads to the bucket: %r" %
          [status_line(a) for a in answers])
    for link, image in zip(links, (small, large)):
        check(bucket.get("images/" + id_of(link)) == image, "the bucket holds the bytes of " + link)
        check(bucket.status("thumbnails/%s.jpg" % id_of(link)) == "200", "and its thumbnail")
        check(body_of(node.get(link)) == image, "served byte for byte from the bucket: " + link)
    check(not os.listdir(os.path.join(data, "images")), "no image files beside the database")
    ranged = node.get(links[1], extra=b"Range: bytes=1000000-1299999\r\n")
    check(status_line(ranged) == "HTTP/1.1 206 Partial Content" and body_of(ranged) == large[1000000:1300000],
          "Range through the bucket: " + status_line(ranged))
    full = node.get(links[1])
    etag = [l for l in full.split(b"\r\n") if l.lower().startswith(b"etag:")][0].split(b":", 1)[1].strip()
    check(status_line(node.get(links[1], extra=b"If-None-Match: " + etag + b"\r\n")) == "HTTP/1.1 304 Not Modified",
          "If-None-Match answered 304")
    head = node.get(links[0], method=b"HEAD")
    check(b"Content-Length: %d\r\n" % len(small) in head, "HEAD gives the size")

    # Deletion by its link, then purge by address: objects and records go together.
    deleted = node.delete(answers[0])
    check(status_line(deleted).startswith("HTTP/1.1 200"), "deletion link: " + status_line(deleted))
    check(bucket.status("images/" + id_of(links[0])) == "404", "the deleted image's object is gone")
    check(bucket.status("thumbnails/%s.jpg" % id_of(links[0])) == "404", "and its thumbnail's")
    check(status_line(node.get(links[0])) == "HTTP/1.1 410 Gone", "its link answers 410")
    code, out, err = command(bucket, "admin", "purge", "--address", "127.0.0.1", "--data", data, *s3_flags(bucket))
    check(code == 0 and out.endswith("1 images removed\n"), "purge: %s %s" % (out, err))
    check(bucket.status("images/" + id_of(links[1])) == "404", "the purged image's object is gone")

    # Expiry: an image whose record says it is two days old goes at the start of a node with --expire-after 1.
    old = link_of(node.upload(small))
    node.stop()
    with sqlite3.connect(os.path.join(data, "glimor.db")) as db:
        db.execute("UPDATE images SET created_at = created_at - 172800 WHERE id = ?", (id_of(old),))
    node = Node(work, "sqlite-node", ["--data", data], bucket, "--expire-after", "1")
    for _ in range(100):
        if bucket.status("images/" + id_of(old)) == "404":
            break
        time.sleep(0.1)
    check(bucket.status("images/" + id_of(old)) == "404", "expiry removed the object")

    # --s3-redirect: a presigned link instead of the bytes.
    node.stop()
    node = Node(work, "sqlite-node", ["--data", data], bucket, "--s3-redirect")
    link = link_of(node.upload(large))
    redirect = node.get(link)
    location = [l for l in redirect.split(b"\r\n") if l.startswith(b"Location: ")]
    check(status_line(redirect) == "HTTP/1.1 307 Temporary Redirect" and location, "redirect: " + status_line(redirect))
    if location:
        url = location[0].split(b" ", 1)[1].decode()
        check("X-Amz-Expires=3600" in url and "X-Amz-Signature=" in url, "the link is presigned for an hour")
        with urllib.request.urlopen(url, timeout=20) as fetched:
            check(fetched.read() == large, "the presigned link gives the bytes")
    node.stop()
    return data


def crash_and_fsck(work, bucket, data):
    node = Node(work, "crash-node", ["--data", data], bucket)
    images = [noise_png(400000) for _ in range(24)]
    with concurrent.futures.ThreadPoolExecutor(8) as pool:
        pending = [pool.submit(lambda image: node.upload(image), image) for image in images]
        time.sleep(0.3)
        node.kill()  # SIGKILL amid uploads
        answers = [p.exception() or p.result() for p in pending]
    done = [link_of(a) for a in answers if isinstance(a, bytes) and link_of(a)]
    # Every acknowledged upload is whole in the bucket.
    for link in done:
        check(bucket.status("images/" + id_of(link)) == "200", "acknowledged upload in the bucket: " + link)
    # A stray object as a crash between PUT and record leaves it, and a record whose object was lost.
    stray = "images/" + "Zz" * 5 + "stray1"  # an id no record has
    bucket.put(stray, b"stray bytes")
    restarted = Node(work, "crash-node-2", ["--data", data], bucket)
    survivor = link_of(restarted.upload(noise_png(3000)))
    restarted.stop()
    bucket.status("images/" + id_of(survivor), method="DELETE")
    store = ["--data", data, *s3_flags(bucket)]
    code, out, err = command(bucket, "admin", "fsck", "--older-than", "0", *store)
    check(code == 3 and "object without record: " + stray in out and "record without object: " + id_of(survivor) in out,
          "fsck lists both kinds: %d %s %s" % (code, out, err))
    code, out, err = command(bucket, "admin", "fsck", "--older-than", "0", "--repair", *store)
    check(code == 0 and bucket.status(stray) == "404", "fsck --repair removes them: %s %s" % (out, err))
    code, out, err = command(bucket, "admin", "fsck", "--older-than", "0", *store)
    check(code == 0 and out.startswith("0 records without objects, 0 objects without records"),
          "fsck is clean after the repair: " + out)


def migration_both_ways(work, bucket):
    data = os.path.join(work, "migrated")
    plain = Node(work, "plain-node", ["--data", data], bucket, s3=False)
    images = [noise_png(1000000 if i % 4 == 0 else 30000) for i in range(12)]
    links = [link_of(plain.upload(image)) for image in images]
    plain.stop()
    node = Node(work, "migrating-node", ["--data", data], bucket)  # the service runs meanwhile
    # A file changed on the disk since its upload no longer matches its record's hash: the store
    # refuses it, and it stays where it is until a later run finds it whole again.
    changed = [os.path.join(d, f) for d, _, files in os.walk(os.path.join(data, "images")) for f in files
               if f == id_of(links[0]) + ".png"][0]
    with open(changed, "r+b") as f:
        f.seek(500000)
        f.write(bytes([images[0][500000] ^ 1]))
    code, out, err = command(bucket, "store", "migrate", "--to-s3", "--data", data, *s3_flags(bucket))
    check(code == 1 and out.startswith("11 images moved into the bucket") and id_of(links[0]) + " not moved" in err
          and os.path.exists(changed) and bucket.status("images/" + id_of(links[0])) == "404",
          "a changed file is not moved: %s %s" % (out, err))
    with open(changed, "wb") as f:
        f.write(images[0])
    code, out, err = command(bucket, "store", "migrate", "--to-s3", "--data", data, *s3_flags(bucket))
    check(code == 0 and out.startswith("1 images moved into the bucket"), "migrate --to-s3 resumed: %s %s" % (out, err))
    check(all(bucket.get("images/" + id_of(l)) == i for l, i in zip(links, images)), "every image in the bucket")
    check(all(body_of(node.get(l)) == i for l, i in zip(links, images)), "and served from it")
    left = [f for _, _, files in os.walk(os.path.join(data, "images")) for f in files]
    check(left == [], "no files left behind: %r" % left[:3])
    code, out, err = command(bucket, "store", "migrate", "--to-s3", "--data", data, *s3_flags(bucket))
    check(code == 0 and out.startswith("0 images moved"), "a second run has nothing left to move: " + out)
    code, out, err = command(bucket, "store", "migrate", "--from-s3", "--data", data, *s3_flags(bucket))
    check(code == 0 and out.startswith("12 images moved out of the bucket"), "migrate --from-s3: %s %s" % (out, err))
    check(all(bucket.status("images/" + id_of(l)) == "404" for l in links), "the objects are gone")
    node.stop()
    plain = Node(work, "plain-node", ["--data", data], bucket, s3=False)
    check(all(body_of(plain.get(l)) == i for l, i in zip(links, images)), "served from files again without --s3")
    plain.stop()


def two_postgres_nodes(work, bucket):
    db_dir = os.path.join(work, "pg")
    started = subprocess.run([CLUSTER, "start", db_dir, "fsync = off"], capture_output=True)
    if started.returncode != 0:
        check(False, "PostgreSQL did not start: " + started.stderr.decode())
        return
    port = int(started.stdout.split()[-1])
    uri = "postgresql://glimor@127.0.0.1:%d/glimor" % port
    try:
        a = Node(work, "pg-node-a", ["--database", uri], bucket)
        b = Node(work, "pg-node-b", ["--database", uri], bucket, "--cache-dir", os.path.join(work, "cache-b"))
        large = noise_png(1200000)
        answer = a.upload(large)
        link = link_of(answer)
        check(bucket.get("images/" + id_of(link)) == large, "node A's upload is in the shared bucket")
        check(body_of(b.get(link)) == large and body_of(b.get(link)) == large, "node B serves it, cold and warm")
        check(status_line(b.delete(answer)).startswith("HTTP/1.1 200"), "deleted on node B")
        check(bucket.status("images/" + id_of(link)) == "404", "its object is gone")
        time.sleep(1.5)
        check(status_line(a.get(link)) == "HTTP/1.1 410 Gone", "node A answers 410")
        a.stop()
        b.stop()
    finally:
        subprocess.run([CLUSTER, "stop", db_dir], capture_output=True)


def failed_put_stores_nothing(work, bucket, gateway_dir):
    """The gateway gone (its radosgw killed by the pid the fixture recorded): an upload answers 503 and
    leaves no record."""
    data = os.path.join(work, "unreachable")
    node = Node(work, "unreachable-node", ["--data", data], bucket)
    with open(os.path.join(gateway_dir, "radosgw.pid")) as f:
        os.kill(int(f.read()), signal.SIGKILL)
    answer = node.upload(noise_png(50000))
    check(status_line(answer) == "HTTP/1.0 503 Object Store Unavailable, nothing was stored",
          "upload without the bucket: " + status_line(answer))
    node.stop()
    with sqlite3.connect(os.path.join(data, "glimor.db")) as db:
        check(db.execute("SELECT count(*) FROM images").fetchone()[0] == 0, "no record without its bytes")


def main():
    work = tempfile.mkdtemp(prefix="glimor-s3-")
    gateway_dir = os.path.join(work, "gateway")
    try:
        started = subprocess.run([GATEWAY, "start", gateway_dir], capture_output=True, timeout=300)
        if started.returncode != 0:
            print("FAIL: the gateway did not start:\n" + started.stderr.decode())
            sys.exit(1)
        endpoint, access, secret = started.stdout.decode().split()
        uploads = Bucket(endpoint, access, secret, "glimor-images")
        data = uploads_gets_and_removals(work, uploads)
        crash_and_fsck(work, uploads, data)
        migration_both_ways(work, Bucket(endpoint, access, secret, "glimor-migrated"))
        two_postgres_nodes(work, Bucket(endpoint, access, secret, "glimor-shared"))
        failed_put_stores_nothing(work, uploads, gateway_dir)
    finally:
        for process in Node.started:
            if process.poll() is None:
                process.kill()
                process.wait()
        subprocess.run([GATEWAY, "stop", gateway_dir], capture_output=True)
        shutil.rmtree(work, ignore_errors=True)
    print("s3: %s" % ("FAILED (%d)" % len(failures) if failures else "passed"))
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
