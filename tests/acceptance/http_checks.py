#!/usr/bin/env python3
"""Connection-level checks with Python's http.client against a running server
that publishes the sample site at its root:

    http_checks.py HOST PORT SAMPLE_SITE_FOLDER [--no-php]

Prints one "PASS name" or "FAIL name<TAB>reason" line per check; exits 1 when
any check failed.
"""
import http.client
import socket
import sys

TIMEOUT = 10
failures = 0


def report(name, ok, reason=""):
    global failures
    if ok:
        print(f"PASS {name}")
    else:
        failures += 1
        print(f"FAIL {name}\t{reason}")
    sys.stdout.flush()


def run(name, check):
    """Runs one check; an exception (refused, reset, time-out) fails it."""
    try:
        check()
    except Exception as error:  # noqa: BLE001 - any client error fails the check
        report(name, False, f"{type(error).__name__}: {error}")


class Site:
    def __init__(self, host, port, folder):
        self.host, self.port, self.folder = host, port, folder

    def file(self, relative):
        with open(f"{self.folder}/{relative}", "rb") as source:
            return source.read()

    def connect(self):
        return http.client.HTTPConnection(self.host, self.port, timeout=TIMEOUT)


def header_map(response, leave_out=("date",)):
    return {k.lower(): v for k, v in response.getheaders() if k.lower() not in leave_out}


def exchange(conn, method, path):
    """One request and its whole answer, with the socket it went out on."""
    conn.request(method, path)
    sock = conn.sock
    answer = conn.getresponse()
    return answer, answer.read(), sock


def check_keep_alive(site):
    name = "keep-alive, two GETs on one connection"
    conn = site.connect()
    try:
        first, first_body, first_socket = exchange(conn, "GET", "/")
        if first.status != 200 or first_body != site.file("index.html"):
            return report(name, False, f"first answer {first.status}, {len(first_body)} bytes")
        if first.will_close:
            return report(name, False, f"first answer ends the connection "
                                       f"(Connection: {first.getheader('Connection')})")
        second, second_body, second_socket = exchange(conn, "GET", "/files/read%20me.txt")
        if second_socket is not first_socket:
            return report(name, False, "the client had to open a second connection")
        if second.status != 200 or second_body != site.file("files/read me.txt"):
            return report(name, False, f"second answer {second.status}, {len(second_body)} bytes")
        report(name, True)
    finally:
        conn.close()


def check_head_like_get(site, path, relative, what):
    """HEAD gives GET's headers and no body; the connection stays usable."""
    name = f"HEAD {path} ({what})"
    conn = site.connect()
    try:
        got, body, get_socket = exchange(conn, "GET", path)
        head, head_body, head_socket = exchange(conn, "HEAD", path)
        length = head.getheader("Content-Length")
        if got.status != 200 or head.status != 200:
            return report(name, False, f"GET {got.status}, HEAD {head.status}")
        if relative is not None and body != site.file(relative):
            return report(name, False, "GET body differs from the file")
        if header_map(head) != header_map(got):
            return report(name, False, f"headers differ: GET {header_map(got)} HEAD {header_map(head)}")
        if length is None or int(length) != len(body):
            return report(name, False, f"Content-Length {length}, GET body {len(body)} bytes")
        if head_body:
            return report(name, False, f"HEAD answer has a body of {len(head_body)} bytes")
        # Had the server sent a body after the HEAD headers, this answer would
        # start with it and not parse.
        after, after_body, after_socket = exchange(conn, "GET", "/files/numbers.csv")
        if head.will_close or not (get_socket is head_socket is after_socket):
            return report(name, False, "the connection did not stay open")
        if after.status != 200 or after_body != site.file("files/numbers.csv"):
            return report(name, False, f"next GET after HEAD: {after.status}, {after_body[:60]!r}")
        report(name, True)
    finally:
        conn.close()


def raw_exchange(site, request):
    """Sends one request on a fresh socket and reads until the server closes."""
    with socket.create_connection((site.host, site.port), timeout=TIMEOUT) as sock:
        sock.sendall(request)
        data = b""
        while True:
            chunk = sock.recv(65536)  # a time-out raises: the server kept it open
            if not chunk:
                return data
            data += chunk


def split_answer(data):
    head, _, body = data.partition(b"\r\n\r\n")
    lines = head.split(b"\r\n")
    headers = {}
    for line in lines[1:]:
        key, _, value = line.partition(b":")
        headers[key.strip().lower().decode()] = value.strip().decode(errors="replace")
    return lines[0], headers, body


def check_connection_close(site, version, extra, what):
    name = f"{version} {what}: answer, then the server closes"
    data = raw_exchange(
        site, f"GET /style.css {version}\r\nHost: {site.host}\r\n{extra}\r\n".encode())
    status, headers, body = split_answer(data)
    expected = site.file("style.css")
    if not status.startswith(b"HTTP/1.") or status.split()[1:2] != [b"200"]:
        return report(name, False, f"status line {status!r}")
    if body != expected or headers.get("content-length") != str(len(expected)):
        return report(name, False, f"body {len(body)} bytes, Content-Length "
                                   f"{headers.get('content-length')}, file {len(expected)}")
    report(name, True)


def check_accept_ranges(site):
    """With the settings as installed, only an answer to a Range request says
    that parts are served; the whole file goes out without that line."""
    name = "Accept-Ranges only on an answer to Range"
    conn = site.connect()
    try:
        whole, whole_body, _ = exchange(conn, "GET", "/style.css")
        conn.request("GET", "/style.css", headers={"Range": "bytes=0-9"})
        part = conn.getresponse()
        part_body = part.read()
        if whole.status != 200 or whole.getheader("Accept-Ranges") is not None:
            return report(name, False, f"whole file: {whole.status}, "
                                       f"Accept-Ranges {whole.getheader('Accept-Ranges')!r}")
        if part.status != 206 or part.getheader("Accept-Ranges") != "bytes":
            return report(name, False, f"part: {part.status}, "
                                       f"Accept-Ranges {part.getheader('Accept-Ranges')!r}")
        if part_body != whole_body[:10]:
            return report(name, False, f"part {part_body!r}")
        report(name, True)
    finally:
        conn.close()


def check_php(site):
    name = "GET /hello.php?name=Orvi runs the PHP page"
    conn = site.connect()
    try:
        conn.request("GET", "/hello.php?name=Orvi")
        answer = conn.getresponse()
        body = answer.read()
        if answer.status != 200 or b"Hello, Orvi!" not in body or b"6 times 7 is 42" not in body:
            return report(name, False, f"{answer.status}, {body[:200]!r}")
        report(name, True)
    finally:
        conn.close()


def main():
    if len(sys.argv) not in (4, 5) or (len(sys.argv) == 5 and sys.argv[4] != "--no-php"):
        sys.exit(__doc__)
    site = Site(sys.argv[1], int(sys.argv[2]), sys.argv[3])
    php = len(sys.argv) == 4
    run("keep-alive", lambda: check_keep_alive(site))
    run("HEAD file", lambda: check_head_like_get(site, "/style.css", "style.css", "a file"))
    run("HEAD escaped name",
        lambda: check_head_like_get(site, "/files/Tom%20%26%20Jerry.txt", "files/Tom & Jerry.txt",
                                    "a file with an escaped name"))
    run("HEAD listing", lambda: check_head_like_get(site, "/files/", None, "a listing"))
    run("Connection: close",
        lambda: check_connection_close(site, "HTTP/1.1", "Connection: close\r\n",
                                       "with Connection: close"))
    run("HTTP/1.0", lambda: check_connection_close(site, "HTTP/1.0", "", "without keep-alive"))
    run("Accept-Ranges", lambda: check_accept_ranges(site))
    if php:
        run("PHP page", lambda: check_php(site))
        run("HEAD PHP", lambda: check_head_like_get(site, "/hello.php", None, "the PHP page"))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
