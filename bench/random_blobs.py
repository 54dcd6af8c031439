#!/usr/bin/env python3
"""Sends random byte blobs, each on a fresh connection, to a running server,
then checks that a normal request is still served.

  random_blobs.py PORT SERVER_PID [COUNT, default 10000] [SEED]

The blobs are 0 to 100 KiB of: random bytes with NULs, bare CRs, one huge
line without an end, a request head of 10,000 header lines, and a valid
request line followed by garbage. Several connections run at once. The
script fails (exit 1) when the server process is gone, or a normal request
is not answered within a second afterwards.

With ORVI_BLOB_PORT set, the blobs go to that port instead (the HTTPS
port: there half of them start like a TLS handshake record), and the
normal request still goes to PORT.
"""
import os
import random
import socket
import sys
import threading
import time

KIB = 1024


# Maps random bytes onto request-like text with NULs and bare CRs.
SPARSE_TEXT = b"GET /index.html HTTP/1.1\r\0\rHost: x\r\r\0:"
SPARSE = bytes(SPARSE_TEXT[i % len(SPARSE_TEXT)] for i in range(256))


def blob(rng, tls=False):
    if tls and rng.randrange(2):
        # A handshake record head, then anything: the TLS front must cope.
        return bytes([0x16, 0x03, rng.randrange(5), rng.randrange(256), rng.randrange(256)]) + \
            rng.randbytes(rng.randrange(20 * KIB))
    kind = rng.randrange(6)
    size = rng.randrange(100 * KIB + 1)
    if kind == 0:
        return rng.randbytes(size)
    if kind == 1:
        # Mostly text with NULs and bare CRs where line ends would be.
        return rng.randbytes(size).translate(SPARSE)
    if kind == 2:
        return b"GET /" + b"a" * size
    if kind == 3:
        head = b"GET / HTTP/1.1\r\n" + b"".join(
            b"X-%d: %s\r\n" % (i, b"v" * rng.randrange(8)) for i in range(10000))
        return head + b"\r\n"
    if kind == 4:
        return b"GET / HTTP/1.1\r\nHost: x\r\n" + rng.randbytes(size)
    return b"POST / HTTP/1.1\r\nContent-Length: %d\r\n\r\n" % rng.randrange(1 << 40) + \
        rng.randbytes(size)


def send_one(port, data):
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=5) as s:
            s.sendall(data)
            s.shutdown(socket.SHUT_WR)
            while s.recv(65536):
                pass
    except OSError:
        pass  # the server may close or reset a hostile connection at any point


def alive(pid):
    try:
        os.kill(pid, 0)
        return True
    except OSError:
        return False


def normal_get(port):
    start = time.monotonic()
    with socket.create_connection(("127.0.0.1", port), timeout=5) as s:
        s.sendall(b"GET / HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n")
        reply = b""
        while True:
            piece = s.recv(65536)
            if not piece:
                break
            reply += piece
    return reply.startswith(b"HTTP/1.1 200"), time.monotonic() - start


def main():
    port, pid = int(sys.argv[1]), int(sys.argv[2])
    count = int(sys.argv[3]) if len(sys.argv) > 3 else 10000
    seed = int(sys.argv[4]) if len(sys.argv) > 4 else 1
    target = int(os.environ.get("ORVI_BLOB_PORT", port))
    tls = target != port
    next_index = [0]
    lock = threading.Lock()

    def worker():
        while True:
            with lock:
                index = next_index[0]
                next_index[0] += 1
            if index >= count:
                return
            # Every blob is its own, and the same for a given seed and index.
            send_one(target, blob(random.Random(seed * 1000003 + index), tls))

    start = time.monotonic()
    workers = [threading.Thread(target=worker) for _ in range(16)]
    for w in workers:
        w.start()
    for w in workers:
        w.join()
    spent = time.monotonic() - start
    print(f"{count} blobs (seed {seed}) sent to port {target} in {spent:.1f} s")
    if not alive(pid):
        print("FAIL: the server process is gone")
        return 1
    ok, latency = normal_get(port)
    print(f"normal request afterwards: {'200' if ok else 'not 200'} in {latency * 1000:.0f} ms")
    return 0 if ok and latency < 1.0 else 1


if __name__ == "__main__":
    sys.exit(main())
