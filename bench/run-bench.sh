#!/bin/bash
# Compares the Linux build of the server with nginx on loopback, with wrk:
# requests per second for a 1 KiB file and MB/s for a 100 MiB file, and the
# ratios (ours / nginx). Installs nginx and wrk with apt when missing.
#   bench/run-bench.sh [build-dir, default build/bench-linux] [seconds, default 10]
set -eu

source_dir="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$source_dir/build/bench-linux}"
seconds="${2:-10}"
connections=50
threads=2

need=()
command -v wrk > /dev/null || need+=(wrk)
[ -x /usr/sbin/nginx ] || command -v nginx > /dev/null || need+=(nginx)
if [ ${#need[@]} -gt 0 ]; then
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  $sudo_cmd apt-get update -q
  # Installing nginx must not start the system's own instance on port 80.
  policy_added=0
  if [ ! -e /usr/sbin/policy-rc.d ]; then
    printf '#!/bin/sh\nexit 101\n' | $sudo_cmd tee /usr/sbin/policy-rc.d > /dev/null
    $sudo_cmd chmod 755 /usr/sbin/policy-rc.d
    policy_added=1
  fi
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -q "${need[@]}"
  [ "$policy_added" -eq 0 ] || $sudo_cmd rm -f /usr/sbin/policy-rc.d
fi
nginx_bin="$(command -v nginx || echo /usr/sbin/nginx)"

cmake --preset linux -B "$build" > /dev/null
cmake --build "$build" --target orvihttp_serve -j2 > /dev/null

work="$(mktemp -d "${TMPDIR:-/tmp}/orvi-bench.XXXXXX")"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2> /dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2> /dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# nginx's workers run as an unprivileged user: the files must be readable.
chmod 755 "$work"
head -c 1024 /dev/urandom > "$work/small.bin"
head -c $((100 * 1024 * 1024)) /dev/urandom > "$work/large.bin"
chmod 644 "$work/small.bin" "$work/large.bin"

free_port() {
  python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'
}
ours_port="$(free_port)"
nginx_port="$(free_port)"

"$build/bin/orvihttp_serve" "$ours_port" "$work/small.bin" "$work/large.bin" > "$work/ours.log" 2>&1 &
pids+=($!)

mkdir -p "$work/nginx"
cat > "$work/nginx/nginx.conf" << CONF
daemon off;
master_process on;
worker_processes auto;
pid $work/nginx/nginx.pid;
error_log $work/nginx/error.log;
events { worker_connections 1024; }
http {
  access_log off;
  sendfile on;
  keepalive_requests 1000000;
  client_body_temp_path $work/nginx;
  proxy_temp_path $work/nginx;
  fastcgi_temp_path $work/nginx;
  uwsgi_temp_path $work/nginx;
  scgi_temp_path $work/nginx;
  server {
    listen 127.0.0.1:$nginx_port;
    root $work;
  }
}
CONF
"$nginx_bin" -c "$work/nginx/nginx.conf" -p "$work/nginx" &
pids+=($!)

wait_for_port() {
  for _ in $(seq 100); do
    if curl -s -o /dev/null "http://127.0.0.1:$1/small.bin"; then return 0; fi
    sleep 0.1
  done
  echo "nothing answers on port $1" >&2
  exit 1
}
wait_for_port "$ours_port"
wait_for_port "$nginx_port"
# Both must serve the files themselves, not error pages.
for port in "$ours_port" "$nginx_port"; do
  for file in small.bin large.bin; do
    if ! curl -s "http://127.0.0.1:$port/$file" | cmp -s - "$work/$file"; then
      echo "port $port does not serve $file correctly" >&2
      exit 1
    fi
  done
done

# wrk's "Requests/sec:" and "Transfer/sec:" (converted to MB/s).
requests_per_second() { awk '/^Requests\/sec:/ { print $2 }'; }
megabytes_per_second() {
  awk '/^Transfer\/sec:/ {
    v = $2; unit = v; sub(/[0-9.]+/, "", unit); sub(/[A-Za-z]+$/, "", v);
    f = 1 / (1024 * 1024);
    if (unit == "KB") f = 1 / 1024; else if (unit == "MB") f = 1; else if (unit == "GB") f = 1024;
    printf "%.1f\n", v * f }'
}
run_wrk() { wrk -t"$threads" -c"$1" -d"${seconds}s" "$2"; }

echo "wrk: $threads threads, ${seconds}s per run, on $(nproc) cores"
ours_small="$(run_wrk "$connections" "http://127.0.0.1:$ours_port/small.bin" | requests_per_second)"
nginx_small="$(run_wrk "$connections" "http://127.0.0.1:$nginx_port/small.bin" | requests_per_second)"
ours_large="$(run_wrk 4 "http://127.0.0.1:$ours_port/large.bin" | megabytes_per_second)"
nginx_large="$(run_wrk 4 "http://127.0.0.1:$nginx_port/large.bin" | megabytes_per_second)"

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "n/a" }'; }
printf '%-28s %14s %14s %8s\n' "" "orvihttp" "nginx" "ratio"
printf '%-28s %14s %14s %8s\n' "1 KiB file, requests/s" "$ours_small" "$nginx_small" \
  "$(ratio "$ours_small" "$nginx_small")"
printf '%-28s %14s %14s %8s\n' "100 MiB file, MB/s" "$ours_large" "$nginx_large" \
  "$(ratio "$ours_large" "$nginx_large")"
