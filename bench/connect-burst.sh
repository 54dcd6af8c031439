#!/bin/bash
# Connects many clients at once to the installed Linux build (default
# settings) and reports how many were answered, how long it took and whether
# the kernel dropped or sent again any SYN.
#   bench/connect-burst.sh [clients, default 2000] [rounds, default 3]
set -eu
here="$(cd "$(dirname "$0")" && pwd)"
clients="${1:-2000}"
rounds="${2:-3}"
echo "$(date '+%F %T'), $(nproc) cores, load:$(uptime | sed 's/.*load average//')"
echo "somaxconn $(cat /proc/sys/net/core/somaxconn), syncookies $(cat /proc/sys/net/ipv4/tcp_syncookies)," \
  "open files: soft $(ulimit -Sn), hard $(ulimit -Hn)"
if [ "$(ulimit -Hn)" -lt $((clients + 64)) ]; then
  echo "connect-burst: the hard limit of open files is below $((clients + 64))" >&2
  exit 1
fi
# One server, several bursts: the first also shows a cold start of threads.
cat > "${TMPDIR:-/tmp}/connect-burst-rounds.py" <<PY
import subprocess, sys, time
status = 0
for r in range($rounds):
    print(f"round {r + 1}:", flush=True)
    status |= subprocess.call([sys.executable, "$here/connect_burst.py", *sys.argv[1:3], "$clients"])
    time.sleep(7)  # lets the server's idle connections end between rounds
sys.exit(status)
PY
status=0
"$here/with-installed-server.sh" "${TMPDIR:-/tmp}/connect-burst-rounds.py" || status=$?
rm -f "${TMPDIR:-/tmp}/connect-burst-rounds.py"
echo "load after:$(uptime | sed 's/.*load average//')"
exit "$status"
