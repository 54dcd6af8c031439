#!/bin/bash
# Measures the download cap of the installed Linux build: for each cap, the
# aggregate rate of 1, 4 and 32 downloads over 10 s, and how fast a download
# that joins running ones gets its share. Default settings except MaxDown.
#   bench/pacing.sh [caps in KB/s, default "2000 10000"] [counts, default 1,4,32]
set -eu
here="$(cd "$(dirname "$0")" && pwd)"
caps="${1:-2000 10000}"
counts="${2:-1,4,32}"
# Sparse, so it costs no disk; big enough for the largest cap over the whole
# run of one case (13 s at 10,000 KB/s is 130 MB).
file="$(mktemp -d)/pacing.bin"
trap 'rm -rf "$(dirname "$file")"' EXIT
truncate -s 1G "$file"
echo "$(date '+%F %T'), $(nproc) cores, load:$(uptime | sed 's/.*load average//')"
for cap in $caps; do
  SERVER_SETTINGS="MaxDown=$cap" SERVER_PUBLISH="$file" \
    "$here/with-installed-server.sh" "$here/pacing.py" "$cap" "/pacing.bin" "$counts"
done
echo "load after:$(uptime | sed 's/.*load average//')"
