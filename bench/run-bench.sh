#!/bin/bash
# Compares the server with nginx and lighttpd on loopback, with wrk: requests
# per second for a 1 KiB file and MB/s for a 100 MiB file. Our Linux build,
# nginx, lighttpd and our Windows build under Wine are measured in the same
# run; the closing table gives the ratios of our Linux build to nginx and to
# lighttpd, and of the Wine build to the Linux build. Installs nginx,
# lighttpd and wrk with apt when missing, without starting their services.
#   bench/run-bench.sh [linux build dir, default build/bench-linux]
#                      [seconds per run, default 10]
#                      [windows build dir, default build/bench-windows]
# Not for CI: the numbers only mean something on an otherwise idle machine.
set -eu

source_dir="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$source_dir/build/bench-linux}"
seconds="${2:-10}"
win_build="${3:-$source_dir/build/bench-windows}"
connections=50
threads=2

need=()
command -v wrk > /dev/null || need+=(wrk)
[ -x /usr/sbin/nginx ] || command -v nginx > /dev/null || need+=(nginx)
[ -x /usr/sbin/lighttpd ] || command -v lighttpd > /dev/null || need+=(lighttpd)
if [ ${#need[@]} -gt 0 ]; then
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  $sudo_cmd apt-get update -q
  # Installing a web server must not start the system's own instance on
  # port 80.
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
lighttpd_bin="$(command -v lighttpd || echo /usr/sbin/lighttpd)"

cmake --preset linux -B "$build" > /dev/null
cmake --build "$build" --target orvihttp_serve -j2 > /dev/null
cmake --preset windows -B "$win_build" > /dev/null
cmake --build "$win_build" --target orvihttp_serve -j2 > /dev/null

# The Windows build runs in the build tree's private Wine prefix.
export WINEPREFIX="$(realpath -m "$win_build/wineprefix")"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

work="$(mktemp -d "${TMPDIR:-/tmp}/orvi-bench.XXXXXX")"
pids=()
wine_started=0
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2> /dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2> /dev/null || true; done
  # Wine's own services live on after the program; end the prefix's server
  # and wait until everything in it is gone.
  if [ "$wine_started" -eq 1 ]; then
    wineserver -k > /dev/null 2>&1 || true
    wineserver -w > /dev/null 2>&1 || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# The other servers' workers run as unprivileged users: the files must be
# readable.
chmod 755 "$work"
head -c 1024 /dev/urandom > "$work/small.bin"
head -c $((100 * 1024 * 1024)) /dev/urandom > "$work/large.bin"
chmod 644 "$work/small.bin" "$work/large.bin"

free_port() {
  python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'
}
ours_port="$(free_port)"
nginx_port="$(free_port)"
lighttpd_port="$(free_port)"
wine_port="$(free_port)"

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

# lighttpd in its usual single-process form, in the foreground (-D).
mkdir -p "$work/lighttpd"
cat > "$work/lighttpd/lighttpd.conf" << CONF
server.document-root = "$work"
server.bind = "127.0.0.1"
server.port = $lighttpd_port
server.errorlog = "$work/lighttpd/error.log"
server.max-keep-alive-requests = 1000000
server.max-keep-alive-idle = 30
CONF
"$lighttpd_bin" -D -f "$work/lighttpd/lighttpd.conf" > "$work/lighttpd/out.log" 2>&1 &
pids+=($!)

# The Windows build gets Windows paths to the same files.
"$source_dir/scripts/wine-prefix-init.sh" "$WINEPREFIX"
wine_started=1
# A server may still be finishing the prefix's first boot; that one will do.
wineserver -p > /dev/null 2>&1 || true
# Wine's services start with the first program and keep what they inherit
# open; start them here, away from the server's output.
wine cmd /c exit < /dev/null > /dev/null 2>&1 || true
small_win="$(winepath -w "$work/small.bin")"
large_win="$(winepath -w "$work/large.bin")"
wine "$win_build/bin/orvihttp_serve.exe" "$wine_port" "$small_win" "$large_win" \
  < /dev/null > "$work/wine.log" 2>&1 &
pids+=($!)

wait_for_port() {
  for _ in $(seq 300); do
    if curl -s -o /dev/null "http://127.0.0.1:$1/small.bin"; then return 0; fi
    sleep 0.1
  done
  echo "nothing answers on port $1" >&2
  exit 1
}
all_ports=("$ours_port" "$nginx_port" "$lighttpd_port" "$wine_port")
for port in "${all_ports[@]}"; do wait_for_port "$port"; done
# Every server must serve the files themselves, not error pages.
for port in "${all_ports[@]}"; do
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
small() { run_wrk "$connections" "http://127.0.0.1:$1/small.bin" | requests_per_second; }
large() { run_wrk 4 "http://127.0.0.1:$1/large.bin" | megabytes_per_second; }

echo "wrk: $threads threads, ${seconds}s per run, on $(nproc) cores"
ours_small="$(small "$ours_port")"
nginx_small="$(small "$nginx_port")"
lighttpd_small="$(small "$lighttpd_port")"
wine_small="$(small "$wine_port")"
ours_large="$(large "$ours_port")"
nginx_large="$(large "$nginx_port")"
lighttpd_large="$(large "$lighttpd_port")"
wine_large="$(large "$wine_port")"

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "n/a" }'; }
row() {
  printf '%-24s %12s %12s %12s %12s %9s %9s %9s\n' "$@"
}
row "" "orvihttp" "nginx" "lighttpd" "orvihttp" "ours/" "ours/" "Wine/"
row "" "(Linux)" "" "" "(Wine)" "nginx" "lighttpd" "Linux"
row "1 KiB file, requests/s" "$ours_small" "$nginx_small" "$lighttpd_small" "$wine_small" \
  "$(ratio "$ours_small" "$nginx_small")" "$(ratio "$ours_small" "$lighttpd_small")" \
  "$(ratio "$wine_small" "$ours_small")"
row "100 MiB file, MB/s" "$ours_large" "$nginx_large" "$lighttpd_large" "$wine_large" \
  "$(ratio "$ours_large" "$nginx_large")" "$(ratio "$ours_large" "$lighttpd_large")" \
  "$(ratio "$wine_large" "$ours_large")"
