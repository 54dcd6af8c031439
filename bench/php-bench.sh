#!/bin/bash
# PHP pages as users run them: a tiny script (<?php echo "hello";) through
# the installed Linux program with its default settings plus PHP on
# (/usr/bin/php-cgi), once with PHPMode=FastCGI (php-cgi kept running) and
# once with PHPMode=CGI (one php-cgi per request), beside nginx with Debian's
# php-fpm (its pool as Debian ships it, on a private Unix socket), with wrk on
# loopback at 8 keep-alive connections, in one run. Prints a Markdown report:
# requests per second, the ratios, wrk's timeouts and errors, and the CPU
# seconds each server spent (its PHP programs included).
#
#   bench/php-bench.sh [seconds per figure, default 8]
#
# Installs what is in build/linux (or ORVI_BENCH_LINUX_BUILD) into a temporary
# folder without building it: build the preset `linux` first. Installs wrk,
# nginx, php-cgi and php-fpm with apt when missing, without starting their
# services; nginx and php-fpm run as this script's own processes with their
# configuration in the temporary folder. Not for CI: figures only mean
# something side by side in one run; note how idle the machine was.
set -eu

source_dir="$(cd "$(dirname "$0")/.." && pwd)"
# shellcheck source=bench/nginx-config.sh
source "$source_dir/bench/nginx-config.sh"
seconds="${1:-8}"
build="${ORVI_BENCH_LINUX_BUILD:-$source_dir/build/linux}"
connections=8
php_cgi=/usr/bin/php-cgi

if [ ! -x "$build/bin/Trellan" ]; then
  echo "no Linux build in $build: run cmake --preset linux && cmake --build --preset linux" >&2
  exit 1
fi

php_fpm_bin() { find /usr/sbin -maxdepth 1 -name 'php-fpm*' -type f 2> /dev/null | sort -V | tail -1; }
need=()
command -v wrk > /dev/null || need+=(wrk)
[ -x /usr/sbin/nginx ] || command -v nginx > /dev/null || need+=(nginx)
[ -x "$php_cgi" ] || need+=(php-cgi)
[ -n "$(php_fpm_bin)" ] || need+=(php-fpm)
if [ ${#need[@]} -gt 0 ]; then
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  $sudo_cmd apt-get update -q > /dev/null
  # Installing nginx and php-fpm must not start the system's own services.
  policy_added=0
  if [ ! -e /usr/sbin/policy-rc.d ]; then
    printf '#!/bin/sh\nexit 101\n' | $sudo_cmd tee /usr/sbin/policy-rc.d > /dev/null
    $sudo_cmd chmod 755 /usr/sbin/policy-rc.d
    policy_added=1
  fi
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -q "${need[@]}" > /dev/null
  [ "$policy_added" -eq 0 ] || $sudo_cmd rm -f /usr/sbin/policy-rc.d
fi
nginx_bin="$(command -v nginx || echo /usr/sbin/nginx)"
fpm_bin="$(php_fpm_bin)"
fpm_version="$(basename "$fpm_bin" | sed 's/^php-fpm//')"
fpm_pool="/etc/php/$fpm_version/fpm/pool.d/www.conf"
[ -f "$fpm_pool" ] || { echo "no Debian pool file $fpm_pool" >&2; exit 1; }

work="$(mktemp -d "${TMPDIR:-/tmp}/orvi-php-bench.XXXXXX")"
# Readable whichever user nginx and php-fpm serve it as.
chmod 755 "$work"
hosts=()
pids=()
host_children=()
cleanup() {
  set +e
  # The hosts end as a user ends them, so they end their PHP programs too;
  # any program still there afterwards is ended here.
  for pid in "${hosts[@]}"; do
    # shellcheck disable=SC2207 # one pid a word
    host_children+=($(pgrep -P "$pid"))
    kill -TERM "$pid" 2> /dev/null
  done
  for pid in "${pids[@]}"; do kill -TERM "$pid" 2> /dev/null; done
  for pid in "${hosts[@]}" "${pids[@]}"; do wait "$pid" 2> /dev/null; done
  for pid in "${host_children[@]}"; do
    [ "$(cat "/proc/$pid/comm" 2> /dev/null)" = php-cgi ] && kill -KILL "$pid" 2> /dev/null
  done
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

site="$work/site"
mkdir -p "$site"
printf '<?php echo "hello";\n' > "$site/tiny.php"
chmod 644 "$site/tiny.php"

free_port() {
  python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'
}

# --- the installed program, twice: defaults plus Active, port and PHP ---
start_host() {  # name PHPMode port
  local folder="$work/$1" config="$work/$1-config"
  local plugin="$folder/Plugins/Orvi HTTP Server"
  cmake --install "$build" --prefix "$folder" > /dev/null
  mkdir -p "$config/Quintarvo/Trellan" "$config/Quintarvo/Orvi HTTP Server"
  printf '%s' "$folder" > "$config/Quintarvo/Trellan/Path"
  printf '%s' "$plugin" > "$config/Quintarvo/Orvi HTTP Server/Path"
  python3 "$source_dir/scripts/set-ini-values.py" "$plugin/OrviHTTP.ini" FirstTime=No Active=Yes \
    "Port=$3" PHPEnable=Yes "PHPPath=\"$php_cgi\"" "PHPMode=\"$2\""
  "$folder/orvihttp-dir" "$plugin/OrviHTTP.dir" import / "$site" > /dev/null
  # Each host has its own settings folder: the two do not see each other.
  XDG_CONFIG_HOME="$config" "$folder/Trellan" > "$work/$1.out" 2>&1 &
  hosts+=($!)
}
fastcgi_port="$(free_port)"
start_host fastcgi FastCGI "$fastcgi_port"
fastcgi_host="${hosts[0]}"
cgi_port="$(free_port)"
start_host cgi CGI "$cgi_port"
cgi_host="${hosts[1]}"

# --- php-fpm: Debian's pool, but on a socket here and as this user ---
user="$(id -un)"
group="$(id -gn)"
mkdir -p "$work/php-fpm"
sed -e "s|^user = .*|user = $user|" -e "s|^group = .*|group = $group|" \
  -e "s|^listen = .*|listen = $work/php-fpm/php.sock|" \
  -e "s|^listen.owner = .*|listen.owner = $user|" -e "s|^listen.group = .*|listen.group = $group|" \
  "$fpm_pool" > "$work/php-fpm/www.conf"
cat > "$work/php-fpm/php-fpm.conf" << CONF
[global]
pid = $work/php-fpm/php-fpm.pid
error_log = $work/php-fpm/error.log
daemonize = no
include = $work/php-fpm/www.conf
CONF
as_root=()
[ "$(id -u)" -ne 0 ] || as_root=(--allow-to-run-as-root)
"$fpm_bin" --nodaemonize "${as_root[@]}" --fpm-config "$work/php-fpm/php-fpm.conf" \
  > "$work/php-fpm/out.log" 2>&1 &
pids+=($!)
fpm_pid=$!

# --- nginx, access log on, PHP to php-fpm ---
nginx_port="$(free_port)"
mkdir -p "$work/nginx"
nginx_user=""
[ "$(id -u)" -ne 0 ] || nginx_user="user $user $group;"
write_nginx_conf "$work/nginx" "$nginx_user" "  server {
    listen 127.0.0.1:$nginx_port backlog=4096;
    root $site;
    location ~ \\.php\$ {
      include /etc/nginx/fastcgi_params;
      fastcgi_param SCRIPT_FILENAME \$document_root\$fastcgi_script_name;
      fastcgi_pass unix:$work/php-fpm/php.sock;
    }
  }"
"$nginx_bin" -c "$work/nginx/nginx.conf" -p "$work/nginx" &
pids+=($!)
nginx_pid=$!

# Each must answer the script's own output, so a broken setup (PHP source
# sent back, an error page) cannot pass for a fast one.
check_hello() {  # port label
  local body=""
  for _ in $(seq 300); do
    body="$(curl -s --max-time 5 "http://127.0.0.1:$1/tiny.php" || true)"
    [ "$body" = hello ] && return 0
    sleep 0.1
  done
  echo "$2 does not answer \"hello\" for tiny.php (got: $(printf '%s' "$body" | head -c 200))" >&2
  exit 1
}
check_hello "$fastcgi_port" "ours, PHPMode=FastCGI"
check_hello "$cgi_port" "ours, PHPMode=CGI"
check_hello "$nginx_port" "nginx with php-fpm"
# The FastCGI host keeps its php-cgi running after a request; without one
# it fell back to a program per request and the figure would be CGI's.
if [ "$(pgrep -c -P "$fastcgi_host" -x php-cgi || true)" -eq 0 ]; then
  echo "ours with PHPMode=FastCGI kept no php-cgi running: not in FastCGI mode" >&2
  exit 1
fi

# CPU seconds (user + system) of a process, its children and its reaped
# children so far: a host's php-cgi, nginx's workers, php-fpm's children.
tree_cpu() {  # pid...
  local pid list=() queue=("$@")
  while [ ${#queue[@]} -gt 0 ]; do
    pid="${queue[0]}"
    queue=("${queue[@]:1}")
    list+=("$pid")
    # shellcheck disable=SC2207 # one pid a word
    queue+=($(pgrep -P "$pid" || true))
  done
  local clock
  clock="$(getconf CLK_TCK)"
  for pid in "${list[@]}"; do
    # The fields after the command's name, which may hold spaces.
    sed 's/.*) //' "/proc/$pid/stat" 2> /dev/null || true
  done | awk -v hz="$clock" '{ t += $12 + $13 + $14 + $15 } END { printf "%.2f", t / hz }'
}

# wrk's figures: requests/s, timeouts, other socket errors, error statuses.
wrk_figures() {
  awk '
    /^Requests\/sec:/ { rate = $2 }
    /Socket errors/ {
      for (i = 1; i <= NF; i++) {
        gsub(",", "", $(i + 1))
        if ($i == "timeout") timeout = $(i + 1)
        else if ($i == "connect" || $i == "read" || $i == "write") other += $(i + 1)
      }
    }
    /Non-2xx or 3xx responses:/ { bad = $NF }
    END { printf "%d %d %d %d\n", rate, timeout, other, bad }'
}
measure() {  # port server-pid... -> "req/s timeouts socket-errors bad-statuses cpu-seconds"
  local url="http://127.0.0.1:$1/tiny.php" before after figures
  shift
  # A short warm-up: the pools start their programs, PHP loads its caches.
  wrk -t2 -c"$connections" -d2s "$url" > /dev/null 2>&1 || true
  before="$(tree_cpu "$@")"
  figures="$(wrk -t2 -c"$connections" -d"${seconds}s" "$url" 2>&1 | wrk_figures)"
  after="$(tree_cpu "$@")"
  echo "$figures $(awk -v a="$after" -v b="$before" 'BEGIN { printf "%.1f", a - b }')"
}
# Small ratios (CGI against FastCGI) with digits enough to read.
ratio() {
  awk -v a="$1" -v b="$2" 'BEGIN { if (b <= 0) print "n/a"; else if (a / b < 0.1) printf "%.4f", a / b; else printf "%.2f", a / b }'
}

load_before="$(cut -d' ' -f1-3 /proc/loadavg)"
read -r f_rate f_to f_err f_bad f_cpu <<< "$(measure "$fastcgi_port" "$fastcgi_host")"
fastcgi_programs="$(pgrep -c -P "$fastcgi_host" -x php-cgi || true)"
read -r c_rate c_to c_err c_bad c_cpu <<< "$(measure "$cgi_port" "$cgi_host")"
# php-fpm's CPU counts with nginx's.
read -r n_rate n_to n_err n_bad n_cpu <<< "$(measure "$nginx_port" "$nginx_pid" "$fpm_pid")"
load_after="$(cut -d' ' -f1-3 /proc/loadavg)"

echo "# PHP run of $(date '+%Y-%m-%d %H:%M'), $(uname -srm), $(nproc) cores, load before: $load_before, after: $load_after"
echo "# commit $(git -C "$source_dir" rev-parse --short HEAD 2> /dev/null || echo unknown); wrk -t2 -c$connections, ${seconds}s per figure after 2s of warm-up; $(php-cgi -v | head -1 | cut -d' ' -f1-2), $("$nginx_bin" -v 2>&1 | sed 's/.*: //'), $(basename "$fpm_bin") pool pm=$(awk -F' = ' '/^pm = /{print $2}' "$work/php-fpm/www.conf") max_children=$(awk -F' = ' '/^pm.max_children/{print $2}' "$work/php-fpm/www.conf"); php-cgi kept by ours-FastCGI after its figure: $fastcgi_programs"
echo
echo "| tiny.php, $connections keep-alive connections | req/s | timeouts | socket errors | non-2xx/3xx | server CPU s |"
echo "|---|---|---|---|---|---|"
echo "| ours, PHPMode=FastCGI | $f_rate | $f_to | $f_err | $f_bad | $f_cpu |"
echo "| ours, PHPMode=CGI (default mode) | $c_rate | $c_to | $c_err | $c_bad | $c_cpu |"
echo "| nginx + php-fpm | $n_rate | $n_to | $n_err | $n_bad | $n_cpu |"
echo
echo "ours-FastCGI / nginx+php-fpm: $(ratio "$f_rate" "$n_rate"); ours-CGI / ours-FastCGI: $(ratio "$c_rate" "$f_rate")"
