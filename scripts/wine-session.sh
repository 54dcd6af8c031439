#!/bin/bash
# Runs a command (usually ctest) with everything the Windows tests need under
# Wine, and stops all of it afterwards, also when the command fails:
#   - an Xvfb display when DISPLAY is unset,
#   - the build tree's private prefix (<build>/wineprefix), initialised once,
#   - one persistent wineserver for the whole run.
#   wine-session.sh <build-dir> <command> [arguments...]
set -u
build="$(realpath "$1")"
shift
here="$(cd "$(dirname "$0")" && pwd)"

export WINEPREFIX="$build/wineprefix"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

xvfb_pid=""
cleanup() {
  wineserver -k >/dev/null 2>&1
  wineserver -w >/dev/null 2>&1
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" >/dev/null 2>&1
    wait "$xvfb_pid" 2>/dev/null
  fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

if [ -z "${DISPLAY:-}" ]; then
  for number in $(seq 90 140); do
    if [ ! -e "/tmp/.X${number}-lock" ] && [ ! -e "/tmp/.X11-unix/X${number}" ]; then
      Xvfb ":${number}" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
      xvfb_pid=$!
      for _ in $(seq 1 100); do
        [ -e "/tmp/.X11-unix/X${number}" ] && break
        sleep 0.1
      done
      if [ -e "/tmp/.X11-unix/X${number}" ] && kill -0 "$xvfb_pid" 2>/dev/null; then
        export DISPLAY=":${number}"
        break
      fi
      kill "$xvfb_pid" >/dev/null 2>&1
      xvfb_pid=""
    fi
  done
  if [ -z "${DISPLAY:-}" ]; then
    echo "wine-session: could not start Xvfb" >&2
    exit 1
  fi
fi

"$here/wine-prefix-init.sh" "$WINEPREFIX" || exit 1
wineserver -p >/dev/null 2>&1
# The first Wine program starts Wine's own services, which live on and keep
# the output they inherit open; start them here, away from the command's
# output, or a caller reading that output (ctest) would wait for them.
wine cmd /c exit </dev/null >/dev/null 2>&1

"$@"
