#!/bin/bash
# Protected folders on the installed Linux program with its default settings:
# 1 KiB keep-alive requests per second (wrk, 64 connections) with a Basic
# credential on every request against the same requests without protection,
# in one run, and the server CPU time one sign-in costs.
#   bench/access-bench.sh [seconds per figure, default 5]
# Not for CI: figures only mean something on an otherwise idle machine.
set -eu
here="$(cd "$(dirname "$0")" && pwd)"
small="$(mktemp -d)/small.bin"
trap 'rm -rf "$(dirname "$small")"' EXIT
head -c 1024 /dev/urandom > "$small"
echo "| figure | open | protected, Basic on every request | protected / open |"
echo "|---|---|---|---|"
SERVER_PUBLISH="$small" "$here/with-installed-server.sh" "$here/access_bench.py" "${1:-5}"
