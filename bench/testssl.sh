#!/bin/bash
# Runs testssl (Debian package testssl.sh) against the installed Linux build
# with HTTPS on and the certificate it makes on its first start, keeps the
# full report and prints what matters: findings rated HIGH or CRITICAL and
# every vulnerability reported. Not part of CI: it takes minutes.
#   bench/testssl.sh
# The report (text and JSON) and the certificate it was run against go to
# build/artifacts/testssl/. Exit status 0 when nothing HIGH or CRITICAL
# (besides the chain of trust of a self-signed certificate) and no
# vulnerability was reported.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
if ! command -v testssl > /dev/null; then
  echo "testssl.sh: testssl is not installed (apt-get install testssl.sh)" >&2
  exit 2
fi
artefacts="$root/build/artifacts/testssl"
rm -rf "$artefacts"
mkdir -p "$artefacts"
https_port="$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')"
export SERVER_SETTINGS="HTTPS=Yes HTTPSPort=$https_port ${SERVER_SETTINGS:-}"
"$root/bench/with-installed-server.sh" "$root/bench/testssl_scan.py" "$https_port" "$artefacts" |
  tee "$artefacts/summary.txt"
