#!/bin/bash
# Sends random byte blobs on fresh connections to the installed Linux build,
# then checks that it still serves a normal request.
#   bench/random-blobs.sh [count, default 10000] [seed, default 1]
exec "$(dirname "$0")/with-installed-server.sh" "$(dirname "$0")/random_blobs.py" "${1:-10000}" "${2:-1}"
