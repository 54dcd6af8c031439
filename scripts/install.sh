#!/bin/bash
# Builds the native Linux flavour and installs both deliverables into a folder:
#   <folder>/Trellan
#   <folder>/Plugins/Orvi HTTP Server/OrviHTTP.so
#   scripts/install.sh [folder]   (default: ~/orvi-http-server)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
target="${1:-$HOME/orvi-http-server}"
cd "$root"
cmake --preset linux >/dev/null
cmake --build --preset linux -j"$(nproc)" --target Trellan OrviHTTP
cmake --install build/linux --prefix "$target" >/dev/null
echo "Installed Orvi HTTP Server into $target"
echo "Start the host with: \"$target/Trellan\""
