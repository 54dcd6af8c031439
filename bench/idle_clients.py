#!/usr/bin/env python3
"""Opens keep-alive connections to a server, asks one small request on each
and keeps them open, to measure what idle connections cost the server.

    idle_clients.py PORT COUNT PATH HOLD_SECONDS

Prints "open N" once every connection got its answer (N: how many did), then
holds them for HOLD_SECONDS and closes them all.
"""
import socket
import sys
import time


def main():
    port, count, path, hold = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3], float(sys.argv[4])
    request = ("GET %s HTTP/1.1\r\nHost: bench\r\n\r\n" % path).encode()
    sockets = []
    for _ in range(count):
        s = socket.create_connection(("127.0.0.1", port), timeout=10)
        s.sendall(request)
        sockets.append(s)
    answered = 0
    for s in sockets:
        data = b""
        try:
            while b"\r\n\r\n" not in data:
                chunk = s.recv(65536)
                if not chunk:
                    break
                data += chunk
            head, _, body = data.partition(b"\r\n\r\n")
            length = 0
            for line in head.split(b"\r\n"):
                if line.lower().startswith(b"content-length:"):
                    length = int(line.split(b":")[1])
            while len(body) < length:
                chunk = s.recv(65536)
                if not chunk:
                    break
                body += chunk
            if len(body) >= length and head.startswith(b"HTTP/1.1 200"):
                answered += 1
        except OSError:
            pass
    print("open %d" % answered, flush=True)
    time.sleep(hold)
    for s in sockets:
        s.close()


if __name__ == "__main__":
    main()
