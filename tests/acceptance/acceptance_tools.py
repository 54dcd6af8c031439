#!/usr/bin/env python3
"""Small helpers of the acceptance run.

    acceptance_tools.py free-port
        prints a TCP port nobody listens on now
    acceptance_tools.py port-free PORT
        exits 0 when PORT can be listened on again (nothing holds it)
    acceptance_tools.py links HTML_FILE
        prints each link of a page as "href<TAB>decoded path", one a line;
        the path is the href without its query, percent-decoded to bytes
    acceptance_tools.py leftovers MARKER
        prints "pid command" of every process (but this one) whose command
        line or environment holds MARKER; exits 1 when there is any
"""
import os
import re
import socket
import sys
import urllib.parse


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as probe:
        probe.bind(("127.0.0.1", 0))
        print(probe.getsockname()[1])


def port_free(port):
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as probe:
        # Connections the server closed may linger in TIME_WAIT; only a
        # listener still holding the port should count.
        probe.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        try:
            probe.bind(("", port))
            probe.listen(1)
        except OSError as error:
            print(f"port {port} is still taken: {error}")
            return 1
    return 0


def links(path):
    with open(path, "rb") as page:
        html = page.read()
    out = sys.stdout.buffer
    for href in re.findall(rb'<a\s+href="([^"]*)"', html, re.IGNORECASE):
        target = href.split(b"?", 1)[0]
        out.write(href + b"\t" + urllib.parse.unquote_to_bytes(target) + b"\n")
    return 0


def leftovers(marker):
    marker = marker.encode()
    found = 0
    for entry in os.listdir("/proc"):
        if not entry.isdigit() or int(entry) == os.getpid():
            continue
        texts = []
        for name in ("cmdline", "environ"):
            try:
                with open(f"/proc/{entry}/{name}", "rb") as source:
                    texts.append(source.read())
            except OSError:
                texts.append(b"")
        if any(marker in text for text in texts):
            command = texts[0].replace(b"\0", b" ").decode(errors="replace").strip()
            print(f"{entry} {command or '(no command line)'}")
            found += 1
    return 1 if found else 0


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    command, arguments = sys.argv[1], sys.argv[2:]
    if command == "free-port" and not arguments:
        free_port()
        return 0
    if command == "port-free" and len(arguments) == 1:
        return port_free(int(arguments[0]))
    if command == "links" and len(arguments) == 1:
        return links(arguments[0])
    if command == "leftovers" and len(arguments) == 1:
        return leftovers(arguments[0])
    sys.exit(__doc__)


if __name__ == "__main__":
    sys.exit(main())
