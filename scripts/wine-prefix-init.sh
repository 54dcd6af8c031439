#!/bin/bash
# Creates the private Wine prefix once; concurrent callers wait for the first.
#   wine-prefix-init.sh <wineprefix>
set -u
prefix="$(realpath -m "$1")"
mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
if [ ! -f "$prefix/.initialised" ]; then
  export WINEPREFIX="$prefix"
  export WINEDEBUG="${WINEDEBUG:--all}"
  export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
  wineboot --init >/dev/null 2>&1 || { echo "wineboot failed for $prefix" >&2; exit 1; }
  touch "$prefix/.initialised"
fi
