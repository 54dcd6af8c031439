#!/bin/bash
# Sends random byte blobs on fresh connections to the installed Linux build,
# then checks that it still serves a normal request.
#   bench/random-blobs.sh [count, default 10000] [seed, default 1] [--https]
# With --https the server also serves HTTPS (with the certificate it makes)
# and the blobs go to the HTTPS port.
if [ "${3:-}" = "--https" ]; then
  https_port="$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')"
  export SERVER_SETTINGS="HTTPS=Yes HTTPSPort=$https_port ${SERVER_SETTINGS:-}"
  export ORVI_BLOB_PORT="$https_port"
fi
exec "$(dirname "$0")/with-installed-server.sh" "$(dirname "$0")/random_blobs.py" "${1:-10000}" "${2:-1}"
