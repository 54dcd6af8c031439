#!/bin/bash
# Counts the processor instructions each server runs in user space for one
# request for a 1 KiB file over keep-alive connections, under valgrind's
# callgrind: the installed host with the plugin and its default logging, and
# lighttpd with its access log on. Unlike requests per second, the count does
# not depend on what else the machine is doing, so it shows what a change to
# the request path gained even on a busy machine. System calls are not
# counted (see the `perf stat` figures in bench/RESULTS.md for those).
#
#   bench/instructions-per-request.sh [seconds of load, default 5]
#
# Installs the preset `linux` (build/linux, or ORVI_BENCH_LINUX_BUILD) into a
# temporary folder; installs valgrind, lighttpd and wrk with apt when
# missing. Prints the counts and, with TOP=n, each server's n costliest
# functions (their own instructions per request).
set -eu
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-5}"
build="${ORVI_BENCH_LINUX_BUILD:-$root/build/linux}"
# shellcheck source=bench/lighttpd-config.sh
source "$root/bench/lighttpd-config.sh"
for tool in valgrind:valgrind lighttpd:lighttpd wrk:wrk; do
  command -v "${tool%%:*}" > /dev/null || PATH="$PATH:/usr/sbin" command -v "${tool%%:*}" > /dev/null ||
    apt-get install -y "${tool##*:}" > /dev/null
done
work="$(mktemp -d)"
chmod 755 "$work"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill -TERM "$pid" 2> /dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2> /dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
site="$work/site"
mkdir -p "$site"
head -c 1024 /dev/urandom > "$site/small.bin"
chmod 644 "$site/small.bin"

# Starts the command under callgrind, loads it once to warm it up, counts a
# second load only, and prints "requests instructions".
measure() {
  local name="$1" port="$2"
  shift 2
  valgrind --tool=callgrind --callgrind-out-file="$work/$name.out" "$@" > "$work/$name.log" 2>&1 &
  local pid=$!
  pids+=("$pid")
  for _ in $(seq 300); do
    curl -s -o /dev/null "http://127.0.0.1:$port/small.bin" && break
    sleep 0.2
  done
  wrk -t1 -c8 -d2s "http://127.0.0.1:$port/small.bin" > /dev/null
  callgrind_control -z "$pid" > /dev/null 2>&1
  local requests
  requests="$(wrk -t1 -c8 -d"${seconds}s" "http://127.0.0.1:$port/small.bin" |
    awk '/requests in/{print $1}')"
  callgrind_control -d "$pid" > /dev/null 2>&1
  sleep 1
  local dump
  dump="$(find "$work" -maxdepth 1 -name "$name.out.*" | head -1)"
  local total
  total="$(callgrind_annotate "$dump" 2> /dev/null | awk '/PROGRAM TOTALS/{gsub(",","",$1); print $1}')"
  echo "$name: $((total / requests)) instructions per request ($requests requests)"
  if [ -n "${TOP:-}" ]; then
    callgrind_annotate --threshold=100 "$dump" 2> /dev/null | grep -E '^ *[0-9,]+ ' | grep -v '(100.0%)' | head -n "$TOP" |
      awk -v r="$requests" '{gsub(",","",$1); $1=sprintf("  %7.0f", $1/r); print}' | cut -c1-160
  fi
}

cmake --install "$build" --prefix "$work/ours" > /dev/null
export XDG_CONFIG_HOME="$work/config"
plugin="$work/ours/Plugins/Orvi HTTP Server"
ours_port="$(free_port)"
mkdir -p "$XDG_CONFIG_HOME/Quintarvo/Trellan" "$XDG_CONFIG_HOME/Quintarvo/Orvi HTTP Server"
printf '%s' "$work/ours" > "$XDG_CONFIG_HOME/Quintarvo/Trellan/Path"
printf '%s' "$plugin" > "$XDG_CONFIG_HOME/Quintarvo/Orvi HTTP Server/Path"
python3 "$root/scripts/set-ini-values.py" "$plugin/OrviHTTP.ini" FirstTime=No Active=Yes \
  "Port=$ours_port"
"$work/ours/orvihttp-dir" "$plugin/OrviHTTP.dir" import / "$site" > /dev/null
measure ours "$ours_port" "$work/ours/Trellan"

lighttpd_port="$(free_port)"
mkdir -p "$work/lighttpd"
write_lighttpd_conf "$work/lighttpd" "$site" "$lighttpd_port"
measure lighttpd "$lighttpd_port" /usr/sbin/lighttpd -D -f "$work/lighttpd/lighttpd.conf"
