"""1 GiB PUTs to the installed program, to nginx and with dd, then a 4 GiB PUT
to the program while its memory is sampled. Run through bench/upload-bench.sh,
which makes the files and starts nginx."""
import hashlib
import os
import subprocess
import sys
import time

from process_status import ResidentPeak


def put(source, url):
    """Seconds curl took to send `source`; fails unless the server said 201."""
    started = time.monotonic()
    result = subprocess.run(["curl", "-s", "-o", "/dev/null", "-w", "%{http_code}", "-T", source, url],
                            capture_output=True, text=True, check=False)
    seconds = time.monotonic() - started
    if result.stdout not in ("201", "204"):
        raise SystemExit(f"PUT {url}: status {result.stdout} {result.stderr}")
    return seconds


def dd(source, target):
    """Seconds dd took to write `source` to `target` and flush it to the disk,
    as the program does before it names an upload."""
    started = time.monotonic()
    subprocess.run(["dd", f"if={source}", f"of={target}", "bs=1M", "conv=fsync", "status=none"],
                   check=True)
    return time.monotonic() - started


def mark_for_uploads(port, inbox):
    """Marks the root for uploads with the installed tool while the server
    runs; the server picks it up within a second or two."""
    folder = os.environ["ORVI_SERVER_FOLDER"]
    subprocess.run([os.path.join(folder, "orvihttp-dir"),
                    os.path.join(folder, "Plugins", "Orvi HTTP Server", "OrviHTTP.dir"),
                    "upload-to", "/", inbox], check=True, capture_output=True)
    probe = os.path.join(inbox, "..", "probe.txt")
    with open(probe, "w") as file:
        file.write("probe")
    for _ in range(100):
        code = subprocess.run(["curl", "-s", "-o", "/dev/null", "-w", "%{http_code}", "-T", probe,
                               f"http://127.0.0.1:{port}/probe.txt"],
                              capture_output=True, text=True, check=False).stdout
        if code == "201":
            return
        time.sleep(0.1)
    raise SystemExit("the server did not take uploads after orvihttp-dir upload-to")


def main():
    port, pid, rounds = int(sys.argv[1]), int(sys.argv[2]), int(sys.argv[3])
    work, nginx_port, four_sha = sys.argv[4], int(sys.argv[5]), sys.argv[6]
    one, four = os.path.join(work, "one.bin"), os.path.join(work, "four.bin")
    ours_inbox = os.path.join(work, "ours")
    mark_for_uploads(port, ours_inbox)
    mib = os.path.getsize(one) / 2**20

    print()
    print("| round | ours MiB/s | nginx MiB/s | dd MiB/s | ours / nginx | ours / dd |")
    print("|---|---|---|---|---|---|")
    ratios = []
    for round_number in range(1, rounds + 1):
        name = f"round{round_number}.bin"
        subprocess.run(["cat", one], stdout=subprocess.DEVNULL, check=True)  # into the cache
        ours = mib / put(one, f"http://127.0.0.1:{port}/{name}")
        os.remove(os.path.join(ours_inbox, name))
        nginx = mib / put(one, f"http://127.0.0.1:{nginx_port}/{name}")
        os.remove(os.path.join(work, "nginx", "inbox", name))
        written = mib / dd(one, os.path.join(work, "dd", name))
        os.remove(os.path.join(work, "dd", name))
        ratios.append(ours / nginx)
        print(f"| {round_number} | {ours:.0f} | {nginx:.0f} | {written:.0f} | {ours / nginx:.2f} | "
              f"{ours / written:.2f} |")

    with ResidentPeak(pid) as memory:
        seconds = put(four, f"http://127.0.0.1:{port}/four.bin")
    before, peak = memory.before, memory.peak
    landed = hashlib.sha256()
    with open(os.path.join(ours_inbox, "four.bin"), "rb") as file:
        while piece := file.read(1 << 22):
            landed.update(piece)
    same = landed.hexdigest() == four_sha
    print()
    print(f"4 GiB curl -T: {4096 / seconds:.0f} MiB/s; host RSS {before / 1024:.1f} MiB before, "
          f"peak {peak / 1024:.1f} MiB, growth {(peak - before) / 1024:.1f} MiB (at most 16 asked); "
          f"SHA-256 {'matches' if same else 'DIFFERS'}")
    os.remove(os.path.join(ours_inbox, "four.bin"))
    return 0 if same and peak - before <= 16 * 1024 and min(ratios) >= 0.8 else 1


if __name__ == "__main__":
    sys.exit(main())
