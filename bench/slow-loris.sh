#!/bin/bash
# Opens slow-loris connections against the installed Linux build and reports
# normal-client latency, the server's thread count and when the slow
# connections were closed.
#   bench/slow-loris.sh [connections, default 1000] [seconds, default 30]
exec "$(dirname "$0")/with-installed-server.sh" "$(dirname "$0")/slow_loris.py" "${1:-1000}" "${2:-30}"
