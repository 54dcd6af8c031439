#!/bin/bash
# Builds Orvi HTTP Server, installs it into a folder, prepares it to publish
# the sample site shipped in this repository, and runs the host in the
# foreground until Ctrl+C.
#
#   scripts/run.sh [--port N] [--folder DIR] [--windows]
#
#   --port N      the HTTP port (default 8080; ports below 1024 need root)
#   --folder DIR  where to install (default ~/orvi-http-server, or
#                 ~/orvi-http-server-windows with --windows)
#   --windows     the Windows build, run under Wine (private prefix inside
#                 the install folder; a virtual display when DISPLAY is unset)
#   --fresh       rebuild OrviHTTP.dir from the sample site even if it exists
#   --publish F   also publish the file F at the top of the site (may be
#                 given more than once)
#
# OrviHTTP.ini keeps any settings you changed; the script only sets Active,
# FirstTime, Port and the PHP settings.
set -euo pipefail
# A step that fails must say which, or the run ends without a word.
trap 'echo "run.sh: line $LINENO: \"$BASH_COMMAND\" ended with status $?" >&2' ERR

root="$(cd "$(dirname "$0")/.." && pwd)"
port=8080
folder=""
windows=0
fresh=0
published=()
while [ $# -gt 0 ]; do
  case "$1" in
    --port) port="${2:?--port needs a number}"; shift 2 ;;
    --folder) folder="${2:?--folder needs a path}"; shift 2 ;;
    --windows) windows=1; shift ;;
    --fresh) fresh=1; shift ;;
    --publish) published+=("$(realpath "${2:?--publish needs a file}")"); shift 2 ;;
    -h|--help) sed -n '2,18p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "run.sh: unknown argument: $1 (try --help)" >&2; exit 2 ;;
  esac
done
if ! [[ "$port" =~ ^[0-9]+$ ]] || [ "$port" -lt 1 ] || [ "$port" -gt 65535 ]; then
  echo "run.sh: the port must be a number from 1 to 65535, not \"$port\"" >&2
  exit 2
fi

if [ "$windows" -eq 1 ]; then
  preset=windows
  folder="${folder:-$HOME/orvi-http-server-windows}"
  exe=.exe
  extra_targets=trellan-quit
else
  preset=linux
  folder="${folder:-$HOME/orvi-http-server}"
  exe=""
  extra_targets=""
fi
mkdir -p "$folder"
folder="$(cd "$folder" && pwd)"
plugin="$folder/Plugins/Orvi HTTP Server"

echo "Building the $preset flavour..."
# Quiet unless it fails: then the compiler's messages are what the user needs.
build_log="$(mktemp)"
if ! { cmake --preset "$preset" &&
  cmake --build --preset "$preset" -j"$(nproc)" --target Trellan OrviHTTP orvihttp-dir orvihttp-users $extra_targets &&
  cmake --install "build/$preset" --prefix "$folder"; } > "$build_log" 2>&1; then
  cat "$build_log" >&2
  rm -f "$build_log"
  echo "run.sh: building or installing the $preset flavour failed" >&2
  exit 1
fi
rm -f "$build_log"

# The settings file: keep what is there, set what this script is about.
php_enable=No
php_path=""
if [ "$windows" -eq 0 ] && [ -x /usr/bin/php-cgi ]; then
  php_enable=Yes
  php_path=/usr/bin/php-cgi
fi
python3 "$root/scripts/set-ini-values.py" "$plugin/OrviHTTP.ini" \
  "FirstTime=No" "Active=Yes" "Port=$port" "PHPEnable=$php_enable" "PHPPath=\"$php_path\""

if [ "$windows" -eq 1 ]; then
  export WINEPREFIX="$folder/wineprefix"
  export WINEDEBUG="${WINEDEBUG:--all}"
  export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
  "$root/scripts/wine-prefix-init.sh" "$WINEPREFIX"
  # Wine on a prefix just made now and then fails a command outright (seen
  # once in a whole test run, silently); a step is tried again once Wine has
  # settled, and its output is shown only when every try failed.
  wine_step() {
    local attempt output status=0
    for attempt in 1 2 3; do
      output="$("$@" 2>&1)" && return 0
      status=$?
      wineserver -w 2> /dev/null || true
    done
    printf '%s\n' "$output" >&2
    echo "run.sh: \"$*\" failed $attempt times, last with status $status" >&2
    exit 1
  }
  win_folder="$(winepath -w "$folder")"
  win_plugin="$(winepath -w "$plugin")"
  win_site="$(winepath -w "$root/sample-site")"
  # Both deliverables find their folders through the registry: point them here.
  wine_step wine reg add 'HKLM\SOFTWARE\Quintarvo\Trellan' /v Path /d "$win_folder" /f
  wine_step wine reg add 'HKLM\SOFTWARE\Quintarvo\Orvi HTTP Server' /v Path /d "$win_plugin" /f
  # Each step starts from the same state, so trying it again is harmless.
  import_site() {
    rm -f "$plugin/OrviHTTP.dir"
    wine "$folder/orvihttp-dir.exe" "$win_plugin\\OrviHTTP.dir" import / "$win_site"
  }
  publish_file() {
    wine "$folder/orvihttp-dir.exe" "$win_plugin\\OrviHTTP.dir" remove "/$(basename "$1")" > /dev/null 2>&1 || true
    wine "$folder/orvihttp-dir.exe" "$win_plugin\\OrviHTTP.dir" add-file / "$(winepath -w "$1")"
  }
  if [ "$fresh" -eq 1 ] || [ ! -f "$plugin/OrviHTTP.dir" ]; then
    wine_step import_site
  fi
  for file in "${published[@]}"; do
    wine_step publish_file "$file"
  done
else
  config="${XDG_CONFIG_HOME:-$HOME/.config}/Quintarvo"
  mkdir -p "$config/Trellan" "$config/Orvi HTTP Server"
  printf '%s' "$folder" > "$config/Trellan/Path"
  printf '%s' "$plugin" > "$config/Orvi HTTP Server/Path"
  if [ "$fresh" -eq 1 ] || [ ! -f "$plugin/OrviHTTP.dir" ]; then
    rm -f "$plugin/OrviHTTP.dir"
    # Linux file names are UTF-8; the server's names are Latin-1, as it decodes URLs.
    "$folder/orvihttp-dir" --latin1-names "$plugin/OrviHTTP.dir" import / "$root/sample-site" > /dev/null
  fi
  for file in "${published[@]}"; do
    "$folder/orvihttp-dir" "$plugin/OrviHTTP.dir" remove "/$(basename "$file")" > /dev/null 2>&1 || true
    "$folder/orvihttp-dir" "$plugin/OrviHTTP.dir" add-file / "$file" > /dev/null
  done
fi

echo
echo "Orvi HTTP Server is installed in $folder"
echo "Open http://localhost:$port/ in your browser. Press Ctrl+C to stop the server."
echo

if [ "$windows" -eq 1 ]; then
  xvfb_pid=""
  stop_wine() {
    wineserver -k > /dev/null 2>&1 || true
    if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2> /dev/null || true; fi
  }
  trap stop_wine EXIT
  # Ctrl+C asks the host to exit as its tray menu's Exit does, so it unloads
  # its plugins and saves its settings before Wine is shut down.
  host_pid=""
  stop_host() {
    # Asked again while it still runs: a request that did not reach the host
    # (seen now and then on a fresh prefix) must not leave it running.
    local attempt
    for attempt in 1 2 3 4; do
      [ -n "$host_pid" ] && kill -0 "$host_pid" 2> /dev/null || return 0
      timeout 10 wine "$folder/trellan-quit.exe" > /dev/null ||
        echo "run.sh: trellan-quit attempt $attempt ended with status $?" >&2
      for _ in $(seq 1 15); do
        kill -0 "$host_pid" 2> /dev/null || return 0
        sleep 0.2
      done
    done
  }
  trap 'stop_host; exit 0' INT TERM
  if [ -z "${DISPLAY:-}" ]; then
    for number in $(seq 90 140); do
      if [ ! -e "/tmp/.X${number}-lock" ] && [ ! -e "/tmp/.X11-unix/X${number}" ]; then
        # In its own session: Ctrl+C must not take the display from the host
        # while it is still exiting.
        setsid Xvfb ":$number" -screen 0 1280x1024x24 -nolisten tcp > /dev/null 2>&1 &
        xvfb_pid=$!
        # Ready once it answers a client (its socket appears earlier), unless
        # another display won the number meanwhile.
        for _ in $(seq 1 100); do
          kill -0 "$xvfb_pid" 2> /dev/null || break
          if xdpyinfo -display ":$number" > /dev/null 2>&1; then
            export DISPLAY=":$number"
            break
          fi
          sleep 0.1
        done
        [ -n "${DISPLAY:-}" ] && break
        kill "$xvfb_pid" 2> /dev/null || true
        xvfb_pid=""
      fi
    done
    if [ -z "${DISPLAY:-}" ]; then
      echo "run.sh: could not start a virtual display (Xvfb)" >&2
      exit 1
    fi
  fi
  # The wine commands above ran without a display; their wineserver, still
  # lingering, would give the host a desktop without one. Let it end first.
  wineserver -w
  setsid wine "$folder/Trellan.exe" &
  host_pid=$!
  wait "$host_pid" || true
  # Ctrl+C interrupts the wait above; let the host finish its exit.
  stop_host
else
  exec "$folder/Trellan$exe"
fi
