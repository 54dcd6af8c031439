#!/usr/bin/env python3
"""Opens many slow request heads against a running server and reports what a
normal client sees meanwhile.

  slow_loris.py PORT SERVER_PID [CONNECTIONS] [SECONDS]

Each slow connection sends a request line and then one header line every
2 seconds (well inside the server's idle time), never the empty line that ends the head. Once a second a normal
client fetches "/" on a fresh connection; the script prints its latency, the
server's thread count, and when the slow connections were closed.
"""
import resource
import select
import socket
import statistics
import sys
import time

from process_status import threads_of


def normal_get(port):
    start = time.monotonic()
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=5) as s:
            s.sendall(b"GET / HTTP/1.1\r\nHost: bench\r\nConnection: close\r\n\r\n")
            data = b""
            while True:
                piece = s.recv(65536)
                if not piece:
                    break
                data += piece
        ok = data.startswith(b"HTTP/1.1 200")
    except OSError:
        ok = False
    return time.monotonic() - start, ok


def main():
    port = int(sys.argv[1])
    pid = int(sys.argv[2])
    count = int(sys.argv[3]) if len(sys.argv) > 3 else 1000
    seconds = float(sys.argv[4]) if len(sys.argv) > 4 else 30
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    resource.setrlimit(resource.RLIMIT_NOFILE, (min(hard, count + 256), hard))

    slow = {}  # socket -> [opened, closed-at or None, refused]
    # Connects without waiting for each in turn: the listen queue is short,
    # so many connections complete only after their SYN is sent again.
    pending = []
    for _ in range(count):
        s = socket.socket()
        s.setblocking(False)
        s.connect_ex(("127.0.0.1", port))
        pending.append(s)
    started = time.monotonic()
    while pending and time.monotonic() - started < 60:
        _, writable, _ = select.select([], pending[:500], [], 0.2)
        for s in writable:
            pending.remove(s)
            if s.getsockopt(socket.SOL_SOCKET, socket.SO_ERROR) == 0:
                try:
                    s.send(b"GET / HTTP/1.1\r\n")
                    slow[s] = [time.monotonic(), None, False]
                    continue
                except OSError:
                    pass
            s.close()
    for s in pending:
        s.close()
    opened = time.monotonic()
    print(f"opening took {opened - started:.1f} s")
    print(f"slow connections opened: {len(slow)} of {count}")

    latencies, failures, thread_counts = [], 0, []
    next_line = opened + 2
    next_probe = opened
    line_number = 0
    while time.monotonic() - opened < seconds:
        now = time.monotonic()
        if now >= next_probe:
            latency, ok = normal_get(port)
            latencies.append(latency)
            failures += 0 if ok else 1
            thread_counts.append(threads_of(pid))
            next_probe = now + 1
        if now >= next_line:
            line_number += 1
            for s, state in slow.items():
                if state[1] is None:
                    try:
                        s.send(b"X-Slow-%d: x\r\n" % line_number)
                    except OSError:
                        state[1] = time.monotonic()
            next_line = now + 2
        live = [s for s, state in slow.items() if state[1] is None]
        if not live:
            break
        for chunk in range(0, len(live), 500):
            readable, _, _ = select.select(live[chunk:chunk + 500], [], [], 0.05)
            for s in readable:
                try:
                    data = s.recv(4096)
                except OSError:
                    data = b""
                state = slow[s]
                if data.startswith(b"HTTP/1.1 503"):
                    state[2] = True
                if not data or state[2]:
                    state[1] = time.monotonic()
    for s in slow:
        s.close()

    closed = [state[1] - state[0] for state in slow.values() if state[1] is not None]
    refused = sum(1 for state in slow.values() if state[2])
    print(f"normal client: {len(latencies)} requests, {failures} failed, "
          f"latency median {statistics.median(latencies) * 1000:.1f} ms, "
          f"max {max(latencies) * 1000:.1f} ms")
    print(f"server threads: max {max(thread_counts)}, last {thread_counts[-1]}")
    print(f"slow connections answered 503 at once: {refused}")
    if closed:
        print(f"slow connections closed by the server: {len(closed)} of {len(slow)}, "
              f"after min {min(closed):.1f} s, median {statistics.median(closed):.1f} s, "
              f"max {max(closed):.1f} s")
    print(f"still open after {seconds:.0f} s: {len(slow) - len(closed)}")


main()
