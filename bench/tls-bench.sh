#!/bin/bash
# HTTPS as users run it: the installed Linux host with HTTPS on and its
# default logging, beside nginx with the same certificate (the ECDSA P-256
# one the server makes), TLS 1.3 and its access log on, in one run:
#   - 1 KiB keep-alive requests per second at 64 connections (wrk)
#   - new TLS connections per second, one request each (wrk, Connection: close)
#   - MB/s of a 100 MiB file over one connection (curl, best of three)
# and the CPU seconds each server spent per figure, which says what bounds it.
#
#   bench/tls-bench.sh [seconds per run, default 5]
#
# Builds the preset `linux` (in build/linux, or ORVI_BENCH_LINUX_BUILD) and
# installs it into a temporary folder. Not for CI: figures only mean
# something side by side on an otherwise idle machine.
set -eu

source_dir="$(cd "$(dirname "$0")/.." && pwd)"
# shellcheck source=bench/nginx-config.sh
source "$source_dir/bench/nginx-config.sh"
seconds="${1:-5}"
build="${ORVI_BENCH_LINUX_BUILD:-$source_dir/build/linux}"
nginx_bin="$(command -v nginx || echo /usr/sbin/nginx)"
for tool in wrk curl "$nginx_bin"; do
  command -v "$tool" > /dev/null || { echo "needs $tool (bench/run-bench.sh installs it)" >&2; exit 1; }
done

work="$(mktemp -d "${TMPDIR:-/tmp}/orvi-tls-bench.XXXXXX")"
chmod 755 "$work"
pids=()
host=""
cleanup() {
  set +e
  if [ -n "$host" ]; then kill -TERM "$host" 2> /dev/null; wait "$host" 2> /dev/null; fi
  for pid in "${pids[@]}"; do kill "$pid" 2> /dev/null; wait "$pid" 2> /dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

echo "Building..." >&2
cmake --preset linux -B "$build" > /dev/null
cmake --build "$build" --target Trellan OrviHTTP orvihttp-dir -j2 > /dev/null
cmake --install "$build" --prefix "$work/linux" > /dev/null

site="$work/site"
mkdir -p "$site"
head -c 1024 /dev/urandom > "$site/small.bin"
head -c $((100 * 1024 * 1024)) /dev/urandom > "$site/large.bin"
chmod 644 "$site"/*

free_port() {
  python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'
}
http_port="$(free_port)"
ours_port="$(free_port)"
nginx_port="$(free_port)"

# --- our installed host: defaults plus Active, the ports and HTTPS ---
export XDG_CONFIG_HOME="$work/config"
plugin="$work/linux/Plugins/Orvi HTTP Server"
mkdir -p "$XDG_CONFIG_HOME/Quintarvo/Trellan" "$XDG_CONFIG_HOME/Quintarvo/Orvi HTTP Server"
printf '%s' "$work/linux" > "$XDG_CONFIG_HOME/Quintarvo/Trellan/Path"
printf '%s' "$plugin" > "$XDG_CONFIG_HOME/Quintarvo/Orvi HTTP Server/Path"
python3 "$source_dir/scripts/set-ini-values.py" "$plugin/OrviHTTP.ini" FirstTime=No Active=Yes \
  "Port=$http_port" HTTPS=Yes "HTTPSPort=$ours_port"
"$work/linux/orvihttp-dir" "$plugin/OrviHTTP.dir" import / "$site" > /dev/null
"$work/linux/Trellan" > "$work/host.out" 2>&1 &
host=$!
for _ in $(seq 1 100); do
  curl -sk -o /dev/null "https://127.0.0.1:$ours_port/small.bin" && break
  sleep 0.1
done

# --- nginx with the certificate our server made ---
mkdir -p "$work/nginx"
cp "$plugin/OrviHTTP.crt" "$plugin/OrviHTTP.key" "$work/nginx/"
write_nginx_conf "$work/nginx" "" "  sendfile on;
  ssl_protocols TLSv1.2 TLSv1.3;
  ssl_session_tickets on;
  server {
    listen 127.0.0.1:$nginx_port ssl backlog=4096;
    ssl_certificate $work/nginx/OrviHTTP.crt;
    ssl_certificate_key $work/nginx/OrviHTTP.key;
    root $site;
  }"
"$nginx_bin" -c "$work/nginx/nginx.conf" -p "$work/nginx" &
pids+=($!)
for _ in $(seq 1 100); do
  curl -sk -o /dev/null "https://127.0.0.1:$nginx_port/small.bin" && break
  sleep 0.1
done

# CPU seconds (user + system) of a process and its children so far.
cpu_of() {  # pid...
  local total=0 pid
  for pid in "$@"; do
    total=$(awk -v t="$total" '{ print t + ($14 + $15) / 100 }' "/proc/$pid/stat" 2> /dev/null || echo "$total")
  done
  echo "$total"
}
# The master and its workers.
nginx_pids() { echo "${pids[0]} $(pgrep -P "${pids[0]}" | tr '\n' ' ')"; }

# wrk's requests per second, and the CPU the server spent meanwhile.
measure_wrk() {  # label port connections extra-args...
  local label="$1" port="$2" connections="$3"
  shift 3
  local server_pids before after rate
  if [ "$label" = ours ]; then server_pids="$(pgrep -x Trellan -P "$host" || echo "$host")"; else server_pids="$(nginx_pids)"; fi
  # shellcheck disable=SC2086 # a list of pids
  before="$(cpu_of $server_pids)"
  rate="$(wrk -t2 -c"$connections" -d"${seconds}s" "$@" "https://127.0.0.1:$port/small.bin" |
    awk '/Requests\/sec/ { print int($2) }')"
  # shellcheck disable=SC2086
  after="$(cpu_of $server_pids)"
  echo "$rate $(awk -v a="$after" -v b="$before" 'BEGIN { printf "%.1f", a - b }')"
}

measure_download() {  # port
  local best=0 speed
  for _ in 1 2 3; do
    speed="$(curl -sk -o /dev/null -w '%{speed_download}' "https://127.0.0.1:$1/large.bin")"
    best="$(awk -v a="$best" -v b="$speed" 'BEGIN { print (b > a) ? b : a }')"
  done
  awk -v b="$best" 'BEGIN { printf "%.0f", b / 1000000 }'
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }'; }

read -r ours_keep ours_keep_cpu <<< "$(measure_wrk ours "$ours_port" 64)"
read -r nginx_keep nginx_keep_cpu <<< "$(measure_wrk nginx "$nginx_port" 64)"
read -r ours_new ours_new_cpu <<< "$(measure_wrk ours "$ours_port" 16 -H 'Connection: close')"
read -r nginx_new nginx_new_cpu <<< "$(measure_wrk nginx "$nginx_port" 16 -H 'Connection: close')"
ours_big="$(measure_download "$ours_port")"
nginx_big="$(measure_download "$nginx_port")"

echo "# HTTPS run of $(date '+%Y-%m-%d %H:%M'), $(nproc) cores, load before: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "# commit $(git -C "$source_dir" rev-parse --short HEAD); wrk -t2, ${seconds}s per figure; ECDSA P-256, TLS 1.3"
echo
echo "| figure | ours | nginx | ours / nginx | server CPU s ours / nginx |"
echo "|---|---|---|---|---|"
echo "| 1 KiB keep-alive req/s, 64 connections | $ours_keep | $nginx_keep | $(ratio "$ours_keep" "$nginx_keep") | $ours_keep_cpu / $nginx_keep_cpu |"
echo "| new TLS connections/s, one request each, 16 at once | $ours_new | $nginx_new | $(ratio "$ours_new" "$nginx_new") | $ours_new_cpu / $nginx_new_cpu |"
echo "| 100 MiB over one connection, MB/s (best of 3) | $ours_big | $nginx_big | $(ratio "$ours_big" "$nginx_big") | |"
