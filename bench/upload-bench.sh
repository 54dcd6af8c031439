#!/bin/bash
# Uploads to the installed Linux program with its default settings, a folder
# marked for them: a 1 GiB `curl -T` beside the same PUT to nginx's WebDAV
# module and `dd` writing the same bytes to the same disk, a few rounds in one
# run; then a 4 GiB `curl -T` while the host's memory is sampled, and the
# landed file's SHA-256 against the sent one's.
#   bench/upload-bench.sh [rounds, default 3]
# Not for CI: it writes some 10 GiB and its figures only mean something on an
# idle machine. Installs nginx-light when no nginx with WebDAV is there.
set -eu
here="$(cd "$(dirname "$0")" && pwd)"
rounds="${1:-3}"
if ! nginx -V 2>&1 | grep -q http_dav_module; then
  apt-get install -y nginx-light > /dev/null
fi
work="$(mktemp -d)"
nginx_pid=""
cleanup() {
  [ -n "$nginx_pid" ] && kill "$nginx_pid" 2> /dev/null && wait "$nginx_pid" 2> /dev/null
  rm -rf "$work"
}
trap cleanup EXIT

echo "$(date '+%F %T'), $(nproc) cores, load:$(uptime | sed 's/.*load average//')"
echo "making the files to send (1 GiB and 4 GiB of random bytes)..."
head -c 1G /dev/urandom > "$work/one.bin"
head -c 4G /dev/urandom > "$work/four.bin"
four_sha="$(sha256sum "$work/four.bin" | cut -d' ' -f1)"

# nginx takes PUTs into a folder of its own on the same disk, the body first
# in its temporary folder beside it, as ours does.
mkdir -p "$work/nginx/inbox" "$work/nginx/body"
nginx_port="$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')"
# Its workers write as this user, as ours does (run as root, nginx would
# otherwise hand them to nobody, who may not write here).
cat > "$work/nginx/nginx.conf" << CONF
daemon off;
user $(id -un) $(id -gn);
worker_processes auto;
pid $work/nginx/nginx.pid;
error_log $work/nginx/error.log;
events { worker_connections 1024; }
http {
  access_log $work/nginx/access.log;
  client_body_temp_path $work/nginx/body;
  proxy_temp_path $work/nginx/body;
  fastcgi_temp_path $work/nginx/body;
  uwsgi_temp_path $work/nginx/body;
  scgi_temp_path $work/nginx/body;
  server {
    listen 127.0.0.1:$nginx_port;
    root $work/nginx/inbox;
    client_max_body_size 0;
    dav_methods PUT;
  }
}
CONF
nginx -c "$work/nginx/nginx.conf" -p "$work/nginx" &
nginx_pid=$!

mkdir -p "$work/ours" "$work/dd"
"$here/with-installed-server.sh" "$here/upload_bench.py" "$rounds" "$work" "$nginx_port" "$four_sha"
echo "load after:$(uptime | sed 's/.*load average//')"
