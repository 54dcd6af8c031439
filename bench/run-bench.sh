#!/bin/bash
# Measures the server as users run it: the installed host with the plugin,
# its default logging on (access log and binary log), beside nginx and
# lighttpd with their access logs on, with wrk on loopback. Also the Windows
# build of the same program under Wine, the headless harness orvihttp_serve
# (no host, no logs: a lower bound of the cost, not what users run), the
# memory of idle connections and a tiny PHP script against php-cgi alone.
#
#   bench/run-bench.sh [seconds per run, default 5] [--no-wine]
#
# Builds the presets `linux` and `windows` (in build/linux and build/windows,
# or where ORVI_BENCH_LINUX_BUILD and ORVI_BENCH_WINDOWS_BUILD say) and
# installs them into a temporary folder. Prints a
# Markdown report on standard output. Installs nginx, lighttpd and wrk with
# apt when missing, without starting their services. Not for CI: the figures
# only mean something side by side in one run; note how idle the machine was.
#
# ROUNDS=n (default 5): each small-file figure is taken n times, the three
# servers in turn within each round, and the median of each server's rounds
# is reported (timeouts summed over them): on a shared machine one figure
# of 5 s moves by a quarter from one run to the next. The last two columns
# are the medians of the rounds' own ratios, each taken from figures seconds
# apart, which a machine that speeds up or slows down over the run moves
# least; every round's ratio to lighttpd follows the table.
set -eu

source_dir="$(cd "$(dirname "$0")/.." && pwd)"
# shellcheck source=bench/nginx-config.sh
source "$source_dir/bench/nginx-config.sh"
# shellcheck source=bench/lighttpd-config.sh
source "$source_dir/bench/lighttpd-config.sh"
seconds="${1:-5}"
with_wine=1
[ "${2:-}" = "--no-wine" ] && with_wine=0
build="${ORVI_BENCH_LINUX_BUILD:-$source_dir/build/linux}"
win_build="${ORVI_BENCH_WINDOWS_BUILD:-$source_dir/build/windows}"
threads=2
small_counts=(8 64 512 2000)
rounds="${ROUNDS:-5}"

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
php_cgi="$(command -v php-cgi || true)"

work="$(mktemp -d "${TMPDIR:-/tmp}/orvi-bench.XXXXXX")"
# The other servers' workers run as unprivileged users: files must be readable.
chmod 755 "$work"

build_and_install() {  # preset build-dir install-dir targets...
  local preset="$1" dir="$2" prefix="$3"
  shift 3
  cmake --preset "$preset" -B "$dir" > /dev/null
  cmake --build "$dir" --target "$@" -j2 > /dev/null
  cmake --install "$dir" --prefix "$prefix" > /dev/null
}
echo "Building..." >&2
build_and_install linux "$build" "$work/linux" Trellan OrviHTTP orvihttp-dir orvihttp_serve
if [ "$with_wine" -eq 1 ]; then
  build_and_install windows "$win_build" "$work/windows" Trellan OrviHTTP orvihttp-dir \
    trellan-quit
fi

export WINEPREFIX="$win_build/bench-wineprefix"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export XDG_CONFIG_HOME="$work/config"

pids=()
linux_host=""
wine_host=""
xvfb_pid=""
cleanup() {
  set +e
  # The hosts end as a user ends them, so they close their logs and files.
  if [ -n "$linux_host" ]; then kill -TERM "$linux_host" 2> /dev/null; fi
  if [ -n "$wine_host" ]; then wine "$work/windows/trellan-quit.exe" > /dev/null 2>&1; fi
  for pid in "${pids[@]}"; do kill "$pid" 2> /dev/null; done
  for pid in "${pids[@]}" $linux_host $wine_host; do wait "$pid" 2> /dev/null; done
  if [ "$with_wine" -eq 1 ]; then
    wineserver -k > /dev/null 2>&1
    wineserver -w > /dev/null 2>&1
  fi
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2> /dev/null
    wait "$xvfb_pid" 2> /dev/null
  fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

site="$work/site"
mkdir -p "$site"
head -c 1024 /dev/urandom > "$site/small.bin"
head -c $((100 * 1024 * 1024)) /dev/urandom > "$site/large.bin"
printf '<?php echo "hello";\n' > "$site/tiny.php"
chmod 644 "$site"/*

free_port() {
  python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'
}
ours_port="$(free_port)"
nginx_port="$(free_port)"
lighttpd_port="$(free_port)"
wine_port="$(free_port)"
serve_port="$(free_port)"

# --- our installed host, Linux build: defaults plus Active, port and PHP ---
plugin="$work/linux/Plugins/Orvi HTTP Server"
mkdir -p "$XDG_CONFIG_HOME/Quintarvo/Trellan" "$XDG_CONFIG_HOME/Quintarvo/Orvi HTTP Server"
printf '%s' "$work/linux" > "$XDG_CONFIG_HOME/Quintarvo/Trellan/Path"
printf '%s' "$plugin" > "$XDG_CONFIG_HOME/Quintarvo/Orvi HTTP Server/Path"
php_enable=No
[ -n "$php_cgi" ] && php_enable=Yes
python3 "$source_dir/scripts/set-ini-values.py" "$plugin/OrviHTTP.ini" FirstTime=No Active=Yes \
  "Port=$ours_port" "PHPEnable=$php_enable" "PHPPath=\"$php_cgi\""
"$work/linux/orvihttp-dir" "$plugin/OrviHTTP.dir" import / "$site" > /dev/null
"$work/linux/Trellan" > "$work/linux.out" 2>&1 &
linux_host=$!

# --- the harness, for the lower bound ---
"$build/bin/orvihttp_serve" "$serve_port" "$site/small.bin" "$site/large.bin" \
  > "$work/serve.log" 2>&1 &
pids+=($!)

# --- nginx and lighttpd, access logs on ---
mkdir -p "$work/nginx"
write_nginx_conf "$work/nginx" "" "  sendfile on;
  server {
    listen 127.0.0.1:$nginx_port backlog=4096;
    root $site;
  }"
"$nginx_bin" -c "$work/nginx/nginx.conf" -p "$work/nginx" &
pids+=($!)

mkdir -p "$work/lighttpd"
write_lighttpd_conf "$work/lighttpd" "$site" "$lighttpd_port"
"$lighttpd_bin" -D -f "$work/lighttpd/lighttpd.conf" > "$work/lighttpd/out.log" 2>&1 &
pids+=($!)

# --- our installed host, Windows build under Wine ---
if [ "$with_wine" -eq 1 ]; then
  if [ -z "${DISPLAY:-}" ]; then
    for number in $(seq 90 140); do
      if [ ! -e "/tmp/.X${number}-lock" ] && [ ! -e "/tmp/.X11-unix/X${number}" ]; then
        Xvfb ":$number" -screen 0 1024x768x24 -nolisten tcp > /dev/null 2>&1 &
        xvfb_pid=$!
        for _ in $(seq 1 100); do
          [ -e "/tmp/.X11-unix/X${number}" ] && break
          sleep 0.1
        done
        if [ -e "/tmp/.X11-unix/X${number}" ]; then
          export DISPLAY=":$number"
          break
        fi
        kill "$xvfb_pid" 2> /dev/null || true
        xvfb_pid=""
      fi
    done
  fi
  "$source_dir/scripts/wine-prefix-init.sh" "$WINEPREFIX"
  wineserver -p > /dev/null 2>&1 || true
  wine cmd /c exit < /dev/null > /dev/null 2>&1 || true
  win_plugin="$work/windows/Plugins/Orvi HTTP Server"
  wine reg add 'HKLM\SOFTWARE\Quintarvo\Trellan' /v Path /d "$(winepath -w "$work/windows")" \
    /f > /dev/null 2>&1
  wine reg add 'HKLM\SOFTWARE\Quintarvo\Orvi HTTP Server' /v Path \
    /d "$(winepath -w "$win_plugin")" /f > /dev/null 2>&1
  python3 "$source_dir/scripts/set-ini-values.py" "$win_plugin/OrviHTTP.ini" FirstTime=No \
    Active=Yes "Port=$wine_port"
  wine "$work/windows/orvihttp-dir.exe" "$(winepath -w "$win_plugin")\\OrviHTTP.dir" import / \
    "$(winepath -w "$site")" > /dev/null 2>&1
  wine "$work/windows/Trellan.exe" < /dev/null > "$work/wine.out" 2>&1 &
  wine_host=$!
fi

wait_for_port() {
  for _ in $(seq 600); do
    if curl -s -o /dev/null "http://127.0.0.1:$1/small.bin"; then return 0; fi
    sleep 0.1
  done
  echo "nothing answers on port $1" >&2
  exit 1
}
ports=("$ours_port" "$nginx_port" "$lighttpd_port" "$serve_port")
[ "$with_wine" -eq 1 ] && ports+=("$wine_port")
for port in "${ports[@]}"; do wait_for_port "$port"; done
for port in "${ports[@]}"; do
  for file in small.bin large.bin; do
    if ! curl -s "http://127.0.0.1:$port/$file" | cmp -s - "$site/$file"; then
      echo "port $port does not serve $file correctly" >&2
      exit 1
    fi
  done
done

# wrk's "Requests/sec:", "Transfer/sec:" (as MB/s) and timeouts.
# wrk needs at least one connection per thread.
run_wrk() {
  local t="$threads"
  [ "$1" -lt "$t" ] && t="$1"
  wrk -t"$t" -c"$1" -d"${seconds}s" "$2" 2>&1 || true
}
requests_per_second() { awk '/^Requests\/sec:/ { printf "%d", $2 }'; }
megabytes_per_second() {
  awk '/^Transfer\/sec:/ {
    v = $2; unit = v; sub(/[0-9.]+/, "", unit); sub(/[A-Za-z]+$/, "", v);
    f = 1 / (1024 * 1024);
    if (unit == "KB") f = 1 / 1024; else if (unit == "MB") f = 1; else if (unit == "GB") f = 1024;
    printf "%.0f", v * f }'
}
timeouts() { awk '/Socket errors/ { for (i = 1; i <= NF; i++) if ($i == "timeout") t = $(i - 1) } END { print t + 0 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "n/a" }'; }
small() {  # port connections -> "req/s timeouts"
  local out
  out="$(run_wrk "$2" "http://127.0.0.1:$1/small.bin")"
  echo "$(echo "$out" | requests_per_second) $(echo "$out" | timeouts)"
}
large() { run_wrk "$2" "http://127.0.0.1:$1/large.bin" | megabytes_per_second; }
rss_kib() { awk '/^VmRSS:/ { print $2 }' "/proc/$1/status"; }
socket_count() { find "/proc/$1/fd" -lname 'socket:*' 2> /dev/null | wc -l; }

echo "# Run of $(date '+%Y-%m-%d %H:%M'), $(uname -srm), $(nproc) cores, load before: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "# commit $(git -C "$source_dir" rev-parse --short HEAD 2> /dev/null || echo unknown); wrk -t$threads, ${seconds}s per figure; small files: median of $rounds rounds"
echo
# Memory of the Linux host before any load, with 2,000 idle keep-alive
# connections (measured within the server's 5 s idle time), and 10 s after
# they closed.
base="$(rss_kib "$linux_host")"
base_sockets="$(socket_count "$linux_host")"
coproc clients { python3 "$source_dir/bench/idle_clients.py" "$ours_port" 2000 /small.bin 2; }
read -r _ opened <&"${clients[0]}" || opened=0
loaded="$(rss_kib "$linux_host")"
# Connections the server still held when it was measured (a socket each).
held=$(($(socket_count "$linux_host") - base_sockets))
# shellcheck disable=SC2154 # clients_PID is set by coproc
wait "$clients_PID" 2> /dev/null || true
peak="$loaded"
sleep 10
after="$(rss_kib "$linux_host")"
per="$(awk -v a="$loaded" -v b="$base" -v n="$held" 'BEGIN { if (n > 0) printf "%.1f", (a - b) / n; else print "n/a" }')"
echo "| host RSS | KiB |"
echo "|---|---|"
echo "| idle | $base |"
echo "| $opened idle keep-alive connections answered, $held held at the measurement | $peak ($per KiB per held connection) |"
echo "| 10 s after they closed | $after ($(ratio "$after" "$base") of idle) |"
echo

echo "| 1 KiB file, keep-alive connections | ours req/s (timeouts) | nginx req/s (timeouts) | lighttpd req/s (timeouts) | ours / nginx | ours / lighttpd | per round: ours / nginx | per round: ours / lighttpd |"
echo "|---|---|---|---|---|---|---|---|"
# The median of the rounds' req/s and the sum of their timeouts, from lines
# "req/s timeouts".
median_of_rounds() {
  sort -n | awk '{ v[NR] = $1; t += $2 } END { printf "%d %d", v[int((NR + 1) / 2)], t }'
}
# The median of the ratios in lines "ratio".
median_ratio() { sort -n | awk '{ v[NR] = $1 } END { printf "%.2f", v[int((NR + 1) / 2)] }'; }
round_ratios=""
for count in "${small_counts[@]}"; do
  o_rounds="" n_rounds="" l_rounds="" on_ratios="" ol_ratios=""
  for _ in $(seq "$rounds"); do
    read -r o ot <<< "$(small "$ours_port" "$count")"
    read -r n nt <<< "$(small "$nginx_port" "$count")"
    read -r l lt <<< "$(small "$lighttpd_port" "$count")"
    o_rounds+="$o $ot"$'\n'
    n_rounds+="$n $nt"$'\n'
    l_rounds+="$l $lt"$'\n'
    on_ratios+="$(ratio "$o" "$n")"$'\n'
    ol_ratios+="$(ratio "$o" "$l")"$'\n'
  done
  read -r o ot <<< "$(printf '%s' "$o_rounds" | median_of_rounds)"
  read -r n nt <<< "$(printf '%s' "$n_rounds" | median_of_rounds)"
  read -r l lt <<< "$(printf '%s' "$l_rounds" | median_of_rounds)"
  echo "| $count | $o ($ot) | $n ($nt) | $l ($lt) | $(ratio "$o" "$n") | $(ratio "$o" "$l") |" \
    "$(printf '%s' "$on_ratios" | median_ratio) | $(printf '%s' "$ol_ratios" | median_ratio) |"
  round_ratios+=" $count: $(printf '%s' "$ol_ratios" | tr '\n' ' ')"$'\n'
done
echo
echo "Each round's ours / lighttpd, in the order taken:"
printf '%s' "$round_ratios"
echo
echo "| 100 MiB file, connections | ours MB/s | nginx MB/s | lighttpd MB/s | ours / nginx | ours / lighttpd |"
echo "|---|---|---|---|---|---|"
for count in 1 8; do
  o="$(large "$ours_port" "$count")"
  n="$(large "$nginx_port" "$count")"
  l="$(large "$lighttpd_port" "$count")"
  echo "| $count | $o | $n | $l | $(ratio "$o" "$n") | $(ratio "$o" "$l") |"
done
echo
read -r h ht <<< "$(small "$serve_port" 64)"
hl="$(large "$serve_port" 1)"
read -r o ot <<< "$(small "$ours_port" 64)"
echo "Harness orvihttp_serve (no host, no logs; a lower bound of the cost): $h req/s at 64 connections ($ht timeouts), $hl MB/s on 100 MiB over 1 connection; the installed host in the same minute: $o req/s."

if [ "$with_wine" -eq 1 ]; then
  echo
  echo "| Windows build under Wine | Wine | Linux build | Wine / Linux |"
  echo "|---|---|---|---|"
  read -r w wt <<< "$(small "$wine_port" 64)"
  read -r o ot <<< "$(small "$ours_port" 64)"
  echo "| 1 KiB, 64 connections, req/s (timeouts) | $w ($wt) | $o ($ot) | $(ratio "$w" "$o") |"
  w="$(large "$wine_port" 1)"
  o="$(large "$ours_port" 1)"
  echo "| 100 MiB, 1 connection, MB/s | $w | $o | $(ratio "$w" "$o") |"
fi

if [ -n "$php_cgi" ]; then
  echo
  o="$(run_wrk 8 "http://127.0.0.1:$ours_port/tiny.php" | requests_per_second)"
  runs=200
  start="$(date +%s.%N)"
  for _ in $(seq "$runs"); do
    REDIRECT_STATUS=200 GATEWAY_INTERFACE=CGI/1.1 REQUEST_METHOD=GET SCRIPT_FILENAME="$site/tiny.php" \
      "$php_cgi" < /dev/null > /dev/null 2>&1
  done
  end="$(date +%s.%N)"
  alone="$(awk -v n="$runs" -v s="$start" -v e="$end" 'BEGIN { printf "%d", n / (e - s) }')"
  echo "PHP: tiny script through the server, 8 connections: $o req/s; the same php-cgi started $runs times in a shell loop, one at a time: $alone runs/s (ratio $(ratio "$o" "$alone"))."
fi
