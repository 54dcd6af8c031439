"""Protected folders against open ones, on the installed server: 1 KiB
keep-alive requests per second with a Basic credential on every request,
beside the same requests before any account existed, and the server's CPU
time for one sign-in (a password hash, as a wrong password always costs).

Run through bench/access-bench.sh, which starts the installed program."""
import base64
import os
import re
import subprocess
import sys
import time
import urllib.error
import urllib.request

CPU_TICKS = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / CPU_TICKS


def status_of(url, credentials=None):
    request = urllib.request.Request(url)
    if credentials:
        token = base64.b64encode(credentials.encode()).decode()
        request.add_header("Authorization", "Basic " + token)
    try:
        with urllib.request.urlopen(request, timeout=30) as response:
            return response.status
    except urllib.error.HTTPError as error:
        return error.code


def wrk(url, seconds, header=None):
    command = ["wrk", "-t2", "-c64", f"-d{seconds}s", url]
    if header:
        command[1:1] = ["-H", header]
    output = subprocess.run(command, capture_output=True, text=True, check=True).stdout
    return float(re.search(r"Requests/sec:\s+([\d.]+)", output).group(1))


def main():
    port, pid = sys.argv[1], int(sys.argv[2])
    seconds = int(sys.argv[3]) if len(sys.argv) > 3 else 5
    folder = os.environ["ORVI_SERVER_FOLDER"]
    plugin = os.path.join(folder, "Plugins", "Orvi HTTP Server")
    url = f"http://127.0.0.1:{port}/small.bin"
    password = "bench password"
    header = "Authorization: Basic " + base64.b64encode(f"alice:{password}".encode()).decode()

    subprocess.run([os.path.join(folder, "orvihttp-users"), os.path.join(plugin, "OrviHTTP.users"),
                    "add", "alice"], input=password + "\n", text=True, check=True,
                   capture_output=True)
    rights = os.path.join(plugin, "OrviHTTP.rights")

    def protect(on):
        if on:
            subprocess.run([os.path.join(folder, "orvihttp-dir"), os.path.join(plugin, "OrviHTTP.dir"),
                            "rights", "/", "see", "alice"], check=True, capture_output=True)
        elif os.path.exists(rights):
            os.remove(rights)
        for _ in range(100):
            if (status_of(url) == 401) == on:
                return
            time.sleep(0.1)
        sys.exit("the server did not take the changed right")

    # Turn about, so that a drift of the machine's speed touches both alike.
    open_rates, protected_rates = [], []
    for _ in range(2):
        protect(False)
        open_rates.append(wrk(url, seconds))
        protect(True)
        if status_of(url, f"alice:{password}") != 200:
            sys.exit("the account is not let in")
        protected_rates.append(wrk(url, seconds, header))

    tries = 10
    before = cpu_seconds(pid)
    for attempt in range(tries):
        status_of(url, f"alice:wrong{attempt}")
    sign_in_ms = (cpu_seconds(pid) - before) / tries * 1000

    best_open, best_protected = max(open_rates), max(protected_rates)
    print(f"| 1 KiB keep-alive req/s, 64 connections | {best_open:.0f} | {best_protected:.0f} | "
          f"{best_protected / best_open:.2f} |")
    print(f"One sign-in (a password checked against its hash): {sign_in_ms:.0f} ms of server CPU")


if __name__ == "__main__":
    main()
