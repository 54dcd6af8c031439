"""The host's memory while a folder far larger than memory streams as one
zip: the resident set before the request and its peak while the archive goes
to a client that reads it all. Run through bench/archive-memory.sh."""
import http.client
import sys
import time

from process_status import ResidentPeak


def main():
    port, pid = int(sys.argv[1]), int(sys.argv[2])
    started = time.monotonic()
    with ResidentPeak(pid) as memory:
        connection = http.client.HTTPConnection("127.0.0.1", port, timeout=600)
        connection.request("GET", "/?zip")
        response = connection.getresponse()
        received = 0
        while True:
            piece = response.read(1 << 20)
            if not piece:
                break
            received += len(piece)
    seconds = time.monotonic() - started
    before, peak = memory.before, memory.peak
    print(f"archive: status {response.status}, {received / 2**30:.2f} GiB in {seconds:.1f} s "
          f"({received / 2**20 / seconds:.0f} MiB/s)")
    print(f"host RSS: {before / 1024:.1f} MiB before, peak {peak / 1024:.1f} MiB while streaming, "
          f"growth {(peak - before) / 1024:.1f} MiB")
    return 0 if (peak - before) <= 16 * 1024 else 1


if __name__ == "__main__":
    sys.exit(main())
