#!/usr/bin/env python3
"""Measures how closely the server holds its download cap.

  pacing.py PORT SERVER_PID CAP_KB PATH [COUNTS] [SETTLE] [SECONDS]

The server must run with MaxDown = CAP_KB (KB/s of 1,024 bytes) and publish
PATH, a file large enough for every download to last the whole run. For each
count of COUNTS (default "1,4,32") it starts that many downloads at once,
lets them settle for SETTLE seconds (default 2) and counts the bytes of all
of them over the next SECONDS (default 10): the aggregate rate against the
cap, as the client read it and as the kernel counted the bytes the client's
side took (`ss`), which a client slowed by a loaded machine cannot skew.

Then the newcomer case, for each count above 1: count - 1 downloads run for
SETTLE + 1 seconds, one more starts, and its own bytes are counted in 100 ms
slices. It reports when the newcomer first reached 90 % of its fair share
(cap / count, averaged over the last 300 ms), its rate over the seconds after,
what each of the others still gets, and the aggregate rate in the first
second after it joined.
"""
import re
import selectors
import socket
import subprocess
import sys
import time

SLICE = 0.1


class Download:
    def __init__(self, port, path):
        self.sock = socket.create_connection(("127.0.0.1", port))
        self.sock.setblocking(False)
        self.sock.sendall(f"GET {path} HTTP/1.1\r\nHost: bench\r\n\r\n".encode())
        self.started = time.monotonic()
        self.head = b""
        self.body = 0
        self.slices = {}  # slice number since `started` -> body bytes
        self.closed = False

    def read(self, now):
        try:
            data = self.sock.recv(1 << 20)
        except BlockingIOError:
            return
        if not data:
            self.closed = True
            return
        if self.head is not None:
            self.head += data
            end = self.head.find(b"\r\n\r\n")
            if end < 0:
                return
            if not self.head.startswith(b"HTTP/1.1 200"):
                sys.exit(f"pacing: unexpected answer {self.head[:60]!r}")
            data = self.head[end + 4 :]
            self.head = None
        self.body += len(data)
        index = int((now - self.started) / SLICE)
        self.slices[index] = self.slices.get(index, 0) + len(data)

    def close(self):
        self.sock.close()


def acked(port, clients):
    """Bytes the kernel saw the client take (bytes_acked) on the server's
    sockets to `clients` (their local ports): what the server sent, whether
    or not the client has read it yet."""
    out = subprocess.run(
        ["ss", "-tinH", "state", "established", f"( sport = :{port} )"],
        capture_output=True, text=True, check=False,
    ).stdout
    total = 0
    # A socket's line, then its details on the next line.
    for head, info in zip(out.splitlines()[::2], out.splitlines()[1::2]):
        peer = head.split()[-1]
        if int(peer.rsplit(":", 1)[1]) not in clients:
            continue
        found = re.search(r"bytes_acked:(\d+)", info)
        if found:
            total += int(found.group(1))
    return total


def pump(selector, until, on_tick=None):
    """Reads every download until `until` (monotonic seconds)."""
    while True:
        now = time.monotonic()
        if now >= until:
            return
        for key, _ in selector.select(min(0.05, until - now)):
            download = key.data
            download.read(time.monotonic())
            if download.closed:
                selector.unregister(download.sock)
                print(f"pacing: a download ended early after {download.body} bytes")
        if on_tick:
            on_tick()


def start(selector, port, path):
    download = Download(port, path)
    selector.register(download.sock, selectors.EVENT_READ, download)
    return download


def aggregate(port, cap, path, count, settle, seconds):
    selector = selectors.DefaultSelector()
    downloads = [start(selector, port, path) for _ in range(count)]
    begin = time.monotonic()
    pump(selector, begin + settle)
    ports = {d.sock.getsockname()[1] for d in downloads}
    sent_before = acked(port, ports)
    before = sum(d.body for d in downloads)
    t0 = time.monotonic()
    pump(selector, t0 + seconds)
    t1 = time.monotonic()
    after = sum(d.body for d in downloads)
    sent = (acked(port, ports) - sent_before) / (t1 - t0) / 1024
    rate = (after - before) / (t1 - t0) / 1024
    each = [d.body for d in downloads]
    for d in downloads:
        d.close()
    selector.close()
    # Each download's bytes over the whole case against an even share.
    even = sum(each) / len(each)
    return rate, sent, min(each) / even, max(each) / even


def newcomer(port, cap, path, count, settle, seconds):
    selector = selectors.DefaultSelector()
    others = [start(selector, port, path) for _ in range(count - 1)]
    pump(selector, time.monotonic() + settle + 1)
    joined = start(selector, port, path)
    pump(selector, joined.started + seconds)
    fair = cap * 1024 / count
    # Slices of the newcomer, from its request on.
    last = int(seconds / SLICE)
    slices = [joined.slices.get(i, 0) for i in range(last)]
    reached = None
    for i in range(2, last):
        if sum(slices[i - 2 : i + 1]) / (3 * SLICE) >= 0.9 * fair:
            reached = (i + 1) * SLICE
            break

    def rate(a, b):
        return sum(slices[int(a / SLICE) : int(b / SLICE)]) / (b - a) / 1024

    # Everyone's bytes in the first second after the newcomer's request: the
    # slices of the others are counted from their own start.
    offset = joined.started - others[0].started if others else 0
    first = int(offset / SLICE)
    others_1s = sum(sum(d.slices.get(i, 0) for i in range(first, first + 10)) for d in others)
    all_1s = (others_1s + sum(slices[:10])) / 1024
    # The others' mean rate from 3 s after the newcomer's request on.
    late = range(first + 30, first + last)
    others_late = sum(sum(d.slices.get(i, 0) for i in late) for d in others)
    others_late /= max(1, len(others)) * (seconds - 3) * 1024
    result = {
        "fair": fair / 1024,
        "reached": reached,
        "first_second": rate(0, 1),
        "second_two": rate(1, 3),
        "after": rate(3, seconds),
        "aggregate_first_second": all_1s,
        "others_after": others_late,
    }
    for d in others + [joined]:
        d.close()
    selector.close()
    return result


def main():
    port = int(sys.argv[1])
    cap = int(sys.argv[3])
    path = sys.argv[4]
    counts = [int(c) for c in (sys.argv[5] if len(sys.argv) > 5 else "1,4,32").split(",")]
    settle = float(sys.argv[6]) if len(sys.argv) > 6 else 2.0
    seconds = float(sys.argv[7]) if len(sys.argv) > 7 else 10.0
    print(f"cap {cap} KB/s ({cap * 1024} bytes/s)")
    worst = 0.0
    for count in counts:
        rate, sent, slowest, fastest = aggregate(port, cap, path, count, settle, seconds)
        off = (rate - cap) / cap * 100
        worst = max(worst, abs(off))
        print(
            f"  {count:3d} downloads: {rate:9.1f} KB/s over {seconds:g} s, {off:+.2f} % of the cap "
            f"(acked by the kernel: {sent:.1f} KB/s, {(sent - cap) / cap * 100:+.2f} %); "
            f"the slowest got {slowest * 100:.0f} % of an even share, the fastest {fastest * 100:.0f} %"
        )
        time.sleep(1)
    for count in counts:
        if count < 2:
            continue
        r = newcomer(port, cap, path, count, settle, seconds)
        reached = f"{r['reached']:.1f} s" if r["reached"] is not None else "never"
        print(
            f"  newcomer beside {count - 1:2d}: fair share {r['fair']:.1f} KB/s, 90 % reached after {reached}; "
            f"its rate {r['first_second']:.1f} KB/s in s 0-1, {r['second_two']:.1f} in s 1-3, "
            f"{r['after']:.1f} in s 3-{seconds:g}; each of the others {r['others_after']:.1f} in s 3-{seconds:g}; "
            f"all downloads in s 0-1: {r['aggregate_first_second']:.1f} KB/s"
        )
        time.sleep(1)
    print(f"worst aggregate deviation {worst:.2f} %")


if __name__ == "__main__":
    main()
