"""What the bench scripts read of a running server from /proc."""
import threading
import time


def threads_of(pid):
    """The server's thread count, or -1 when it cannot be read."""
    try:
        with open(f"/proc/{pid}/status") as status:
            for line in status:
                if line.startswith("Threads:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return -1


def resident_kib(pid):
    """The server's resident set in KiB, or -1 when it cannot be read."""
    try:
        with open(f"/proc/{pid}/status") as status:
            for line in status:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return -1


class ResidentPeak:
    """Samples the server's resident set every 50 ms while in a `with`
    block; `before` and `peak` in KiB afterwards."""

    def __init__(self, pid):
        self.pid = pid
        self.before = self.peak = resident_kib(pid)
        self._done = threading.Event()
        self._sampler = threading.Thread(target=self._sample)

    def _sample(self):
        while not self._done.is_set():
            self.peak = max(self.peak, resident_kib(self.pid))
            time.sleep(0.05)

    def __enter__(self):
        self._sampler.start()
        return self

    def __exit__(self, *_):
        self._done.set()
        self._sampler.join()
