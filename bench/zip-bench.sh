#!/bin/bash
# A folder as one .zip against the same files one by one: 100 files of
# 10 MiB (1000 MiB, sparse, so they cost no disk) published at the top of the
# installed Linux build's site with FolderArchives on, then for a few rounds
# the root's archive in one GET and the 100 files by GET over one keep-alive
# connection. Not for CI: figures only mean something on an idle machine.
#   bench/zip-bench.sh [rounds, default 3]
set -eu
here="$(cd "$(dirname "$0")" && pwd)"
rounds="${1:-3}"
files="$(mktemp -d)"
trap 'rm -rf "$files"' EXIT
publish=""
for i in $(seq -w 1 100); do
  truncate -s 10M "$files/piece$i.bin"
  publish+=" $files/piece$i.bin"
done
echo "$(date '+%F %T'), $(nproc) cores, load:$(uptime | sed 's/.*load average//')"
SERVER_SETTINGS="FolderArchives=Yes Log=No" SERVER_PUBLISH="$publish" \
  "$here/with-installed-server.sh" "$here/zip_bench.py" "$rounds"
echo "load after:$(uptime | sed 's/.*load average//')"
