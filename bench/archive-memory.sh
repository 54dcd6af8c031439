#!/bin/bash
# The installed Linux program's memory while the root folder, holding a
# sparse 10 GiB file beside the sample site, streams as one zip archive.
#   bench/archive-memory.sh [GiB, default 10]
# Not for CI: it streams the whole archive over loopback.
set -eu
here="$(cd "$(dirname "$0")" && pwd)"
big="$(mktemp -d)/big.bin"
trap 'rm -rf "$(dirname "$big")"' EXIT
truncate -s "${1:-10}G" "$big"
SERVER_SETTINGS="FolderArchives=Yes" SERVER_PUBLISH="$big" "$here/with-installed-server.sh" \
  "$here/archive_memory.py"
