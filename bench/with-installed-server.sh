#!/bin/bash
# Starts the installed Linux build in a private folder (through scripts/run.sh)
# with its default settings, runs a load script against it and stops it.
#   bench/with-installed-server.sh SCRIPT.py [ARGS...]
# The script is called as SCRIPT.py PORT SERVER_PID [ARGS...]; its exit status
# is this script's. Not for CI: figures only mean something on an idle machine.
# SERVER_SETTINGS="Key=Value ..." sets those keys in OrviHTTP.ini before the
# start (every other setting keeps its default). SERVER_PUBLISH="FILE ..."
# publishes those files at the top of the site. The script finds the install
# folder (with the files the server made, such as its certificate) in
# ORVI_SERVER_FOLDER.
set -eu
root="$(cd "$(dirname "$0")/.." && pwd)"
script="$1"
shift
work="$(mktemp -d)"
port="$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')"

if [ -n "${SERVER_SETTINGS:-}" ]; then
  mkdir -p "$work/server/Plugins/Orvi HTTP Server"
  # shellcheck disable=SC2086 # one word per Key=Value
  python3 "$root/scripts/set-ini-values.py" "$work/server/Plugins/Orvi HTTP Server/OrviHTTP.ini" \
    $SERVER_SETTINGS
fi
publish=()
for file in ${SERVER_PUBLISH:-}; do publish+=(--publish "$file"); done

set -m
XDG_CONFIG_HOME="$work/config" "$root/scripts/run.sh" --port "$port" --folder "$work/server" \
  --fresh "${publish[@]}" > "$work/server.log" 2>&1 &
run_pid=$!
set +m
group="$(ps -o pgid= -p "$run_pid" | tr -d ' ')"
stop() {
  kill -INT -- "-$group" 2> /dev/null || true
  for _ in $(seq 50); do kill -0 "$run_pid" 2> /dev/null || break; sleep 0.1; done
  kill -KILL -- "-$group" 2> /dev/null || true
  rm -rf "$work"
}
trap stop EXIT

for _ in $(seq 900); do
  curl -s -o /dev/null "http://127.0.0.1:$port/" && break
  sleep 1
done
server_pid="$(pgrep -g "$group" -x Trellan | head -1)"
echo "server pid $server_pid on port $port, descriptor limit $(awk '/open files/{print $4}' /proc/$server_pid/limits)"
ORVI_SERVER_FOLDER="$work/server" python3 "$script" "$port" "$server_pid" "$@"
