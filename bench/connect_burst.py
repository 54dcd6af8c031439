#!/usr/bin/env python3
"""Connects many clients at once and sends one GET on each.

  connect_burst.py PORT SERVER_PID [CLIENTS] [PATH] [TIMEOUT]

Opens CLIENTS (default 2000) non-blocking connects from one thread as fast as
it can, sends "GET PATH" (default "/") with "Connection: close" on each as
soon as it is connected, and reads each answer to its end. Reports how many
were answered with 200 and how many failed, when the last connect completed
and the last answer arrived, and the system's SYN-retransmit and listen-queue
counters before and after (they count the whole machine, so other traffic
at the same time adds to them).
"""
import errno
import resource
import selectors
import socket
import sys
import time

from process_status import threads_of

COUNTERS = [
    "TCPSynRetrans",
    "ListenOverflows",
    "ListenDrops",
    "TCPReqQFullDrop",
    "TCPReqQFullDoCookies",
    "SyncookiesSent",
]


def tcp_ext():
    values = {}
    with open("/proc/net/netstat") as f:
        lines = f.read().splitlines()
    for names, numbers in zip(lines[::2], lines[1::2]):
        if names.startswith("TcpExt:"):
            values.update(zip(names.split()[1:], (int(n) for n in numbers.split()[1:])))
    return {name: values.get(name, 0) for name in COUNTERS}


class Client:
    def __init__(self, request):
        self.sock = socket.socket()
        self.sock.setblocking(False)
        self.request = request
        self.connected = None
        self.answer = b""
        self.done = None
        self.error = None


def main():
    port = int(sys.argv[1])
    pid = int(sys.argv[2])
    count = int(sys.argv[3]) if len(sys.argv) > 3 else 2000
    path = sys.argv[4] if len(sys.argv) > 4 else "/"
    timeout = float(sys.argv[5]) if len(sys.argv) > 5 else 30.0
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    if hard < count + 64:
        sys.exit(f"connect_burst: the open-files limit ({hard}) is below {count + 64}")
    resource.setrlimit(resource.RLIMIT_NOFILE, (count + 64, hard))
    with open("/proc/sys/net/core/somaxconn") as f:
        somaxconn = int(f.read())
    with open("/proc/sys/net/ipv4/tcp_max_syn_backlog") as f:
        syn_backlog = int(f.read())
    print(
        f"somaxconn {somaxconn}, tcp_max_syn_backlog {syn_backlog}, "
        f"open-files limit of this client {count + 64} (hard {hard})"
    )
    request = f"GET {path} HTTP/1.1\r\nHost: bench\r\nConnection: close\r\n\r\n".encode()
    threads_before = threads_of(pid)
    before = tcp_ext()

    selector = selectors.DefaultSelector()
    clients = []
    start = time.monotonic()
    for _ in range(count):
        client = Client(request)
        clients.append(client)
        code = client.sock.connect_ex(("127.0.0.1", port))
        if code not in (0, errno.EINPROGRESS):
            client.error = f"connect: {errno.errorcode.get(code, code)}"
            client.done = time.monotonic()
            client.sock.close()
            continue
        selector.register(client.sock, selectors.EVENT_WRITE, client)
    all_started = time.monotonic() - start

    open_clients = sum(1 for c in clients if c.done is None)
    peak_threads = threads_before
    deadline = start + timeout
    while open_clients and time.monotonic() < deadline:
        for key, events in selector.select(0.2):
            client = key.data
            now = time.monotonic()
            if client.connected is None:
                code = client.sock.getsockopt(socket.SOL_SOCKET, socket.SO_ERROR)
                if code:
                    client.error = f"connect: {errno.errorcode.get(code, code)}"
                else:
                    client.connected = now
                    try:
                        client.sock.send(client.request)
                        selector.modify(client.sock, selectors.EVENT_READ, client)
                        continue
                    except OSError as e:
                        client.error = f"send: {e}"
            else:
                try:
                    data = client.sock.recv(65536)
                    if data:
                        client.answer += data
                        continue
                except OSError as e:
                    client.error = f"receive: {e}"
            client.done = now
            selector.unregister(client.sock)
            client.sock.close()
            open_clients -= 1
        peak_threads = max(peak_threads, threads_of(pid))
    after = tcp_ext()

    answered = [c for c in clients if c.error is None and c.done and c.answer.startswith(b"HTTP/1.1 200")]
    failures = {}
    for c in clients:
        if c in answered:
            continue
        if c.error:
            reason = c.error
        elif c.done is None:
            reason = "no answer within the time-out"
        else:
            reason = "answer: " + (c.answer.split(b"\r\n", 1)[0].decode("latin-1") or "(none)")
        failures[reason] = failures.get(reason, 0) + 1
    for c in clients:
        if c.done is None:
            c.sock.close()
    connects = sorted(c.connected - start for c in clients if c.connected is not None)
    finished = [c.done - start for c in answered]
    print(f"{count} connects issued in {all_started * 1000:.0f} ms")
    if connects:
        print(
            f"connected: {len(connects)}; the last after {connects[-1] * 1000:.0f} ms "
            f"(median {connects[len(connects) // 2] * 1000:.0f} ms); "
            f"{sum(1 for t in connects if t >= 0.9)} took 0.9 s or more (a SYN sent again takes 1 s)"
        )
    print(
        f"answered 200: {len(answered)} of {count}; failed: {count - len(answered)}"
        + (f" ({failures})" if failures else "")
    )
    if finished:
        print(f"all answered after {max(finished) * 1000:.0f} ms (median {sorted(finished)[len(finished) // 2] * 1000:.0f} ms)")
    print(f"server threads: {threads_before} before, at most {peak_threads} seen during the burst")
    print("counter deltas: " + ", ".join(f"{n} {after[n] - before[n]}" for n in COUNTERS))
    return 0 if len(answered) == count else 1


if __name__ == "__main__":
    sys.exit(main())
