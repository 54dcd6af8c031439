"""The host's memory while a folder far larger than memory streams as one
zip: the resident set before the request and its peak while the archive goes
to a client that reads it all. Run through bench/archive-memory.sh."""
import http.client
import sys
import threading
import time


def resident_kib(pid):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return -1


def main():
    port, pid = int(sys.argv[1]), int(sys.argv[2])
    before = resident_kib(pid)
    peak = before
    done = threading.Event()

    def sample():
        nonlocal peak
        while not done.is_set():
            peak = max(peak, resident_kib(pid))
            time.sleep(0.05)

    sampler = threading.Thread(target=sample)
    sampler.start()
    started = time.monotonic()
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
    done.set()
    sampler.join()
    print(f"archive: status {response.status}, {received / 2**30:.2f} GiB in {seconds:.1f} s "
          f"({received / 2**20 / seconds:.0f} MiB/s)")
    print(f"host RSS: {before / 1024:.1f} MiB before, peak {peak / 1024:.1f} MiB while streaming, "
          f"growth {(peak - before) / 1024:.1f} MiB")
    return 0 if (peak - before) <= 16 * 1024 else 1


if __name__ == "__main__":
    sys.exit(main())
