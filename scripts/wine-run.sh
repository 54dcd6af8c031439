#!/bin/bash
# The cross-compiling emulator of the windows preset: runs one Windows program
# under Wine in the build tree's private prefix.
#   wine-run.sh <wineprefix> <program.exe> [arguments...]
set -u
prefix="$(realpath -m "$1")"
shift
export WINEPREFIX="$prefix"
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko installers: nothing here needs them, and they would prompt.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
"$(dirname "$0")/wine-prefix-init.sh" "$prefix" || exit 1
exec wine "$@"
