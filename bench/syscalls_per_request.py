#!/usr/bin/env python3
"""Counts the server's system calls per request: strace follows every thread
of the server process while one keep-alive client asks for a small file of
the sample site many times, and the total is divided by the requests.

    bench/with-installed-server.sh bench/syscalls_per_request.py [requests]

Needs strace. The count is repeatable where timings are not: it says what a
change costs or saves in calls, whatever else the machine is doing.
"""
import http.client
import os
import re
import signal
import subprocess
import sys
import tempfile
import time


def main():
    port, pid = int(sys.argv[1]), int(sys.argv[2])
    requests = int(sys.argv[3]) if len(sys.argv) > 3 else 2000
    # The host runs the plugin; strace attaches to the host's threads.
    host = subprocess.run(["pgrep", "-P", str(pid), "-x", "Trellan"], capture_output=True,
                          text=True).stdout.split() or [str(pid)]
    with tempfile.NamedTemporaryFile(suffix=".txt") as out:
        tracer = subprocess.Popen(["strace", "-c", "-f", "-o", out.name, "-p", host[0]],
                                  stderr=subprocess.DEVNULL)
        time.sleep(1.0)
        client = http.client.HTTPConnection("127.0.0.1", port, timeout=10)
        for _ in range(requests):
            client.request("GET", "/style.css")
            answer = client.getresponse()
            answer.read()
            if answer.status != 200:
                sys.exit(f"status {answer.status}")
        client.close()
        time.sleep(1.5)  # the status thread's and the log writers' calls settle
        tracer.send_signal(signal.SIGINT)
        tracer.wait(10)
        report = open(out.name).read()
    calls = {}
    for line in report.splitlines():
        fields = line.split()
        if len(fields) >= 5 and fields[-1].isidentifier() and fields[-1] != "total" and re.match(r"^[\d.]+$", fields[0]):
            calls[fields[-1]] = int(fields[3])
    total = sum(calls.values())
    print(f"{requests} requests: {total} system calls, {total / requests:.2f} per request")
    for name, count in sorted(calls.items(), key=lambda item: -item[1]):
        if count / requests >= 0.05:
            print(f"  {name:16} {count / requests:.2f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
