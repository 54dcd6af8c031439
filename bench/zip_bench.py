#!/usr/bin/env python3
"""Times the root's .zip against its 100 piece files one by one over one
keep-alive connection. Called by zip-bench.sh as zip_bench.py PORT PID ROUNDS."""
import http.client
import io
import sys
import time
import zipfile


def fetch(connection, path):
    connection.request("GET", path)
    response = connection.getresponse()
    total = 0
    while True:
        piece = response.read(1 << 20)
        if not piece:
            break
        total += len(piece)
    if response.status != 200:
        sys.exit(f"{path}: status {response.status}")
    return total


def main():
    port, rounds = int(sys.argv[1]), int(sys.argv[3])
    names = [f"/piece{i:03d}.bin" for i in range(1, 101)]
    for round_number in range(1, rounds + 1):
        connection = http.client.HTTPConnection("127.0.0.1", port, timeout=120)
        start = time.monotonic()
        files = sum(fetch(connection, name) for name in names)
        one_by_one = time.monotonic() - start
        start = time.monotonic()
        archive = fetch(connection, "/?zip")
        whole = time.monotonic() - start
        connection.close()
        mib = 1024 * 1024
        print(f"round {round_number}: 100 files one by one {files / mib:.0f} MiB in "
              f"{one_by_one:.2f} s ({files / mib / one_by_one:.0f} MiB/s); "
              f"archive {archive / mib:.0f} MiB in {whole:.2f} s ({archive / mib / whole:.0f} MiB/s)")
    # The archive is sound: its directory lists every piece (1 GiB held in
    # memory once, after the timed rounds).
    connection = http.client.HTTPConnection("127.0.0.1", port, timeout=120)
    connection.request("GET", "/?zip")
    data = connection.getresponse().read()
    with zipfile.ZipFile(io.BytesIO(data)) as archive:
        listed = {info.filename for info in archive.infolist()}
    missing = [name for name in names if name[1:] not in listed]
    print("archive lists every piece" if not missing else f"archive lacks {missing[:3]}")
    return 1 if missing else 0


if __name__ == "__main__":
    sys.exit(main())
