#!/bin/bash
# Acceptance run with real clients against the server as a user gets it: the
# README's run command builds, installs into a temporary folder and starts the
# host on a free port; curl, wget, headless Chromium and Python's http.client
# then use the sample site, and the server is stopped with SIGINT as Ctrl+C
# would. Nothing of the user's own configuration is touched, and nothing is
# left running, also when a check fails.
#
#   tests/acceptance/run-acceptance.sh [--windows]
#
#   --windows   the Windows build under Wine (no PHP there, so no PHP checks)
#
# Screenshots, page dumps and logs go to build/artifacts/acceptance[-windows]/.
# ORVI_ACCEPTANCE_BUILD_SECONDS bounds the wait while the run command builds
# (default 900).
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
tools="$here/acceptance_tools.py"
site="$root/sample-site"

windows=0
case "${1:-}" in
  --windows) windows=1 ;;
  "") ;;
  *) echo "run-acceptance.sh: unknown argument: $1" >&2; exit 2 ;;
esac
if [ "$windows" -eq 1 ]; then flavour=acceptance-windows; else flavour=acceptance; fi

artifacts="$root/build/artifacts/$flavour"
rm -rf "$artifacts"
mkdir -p "$artifacts"
# Every process of this run carries this folder in its environment, which is
# how the end of the run finds anything left behind.
work="$(mktemp -d "${TMPDIR:-/tmp}/orvi-acceptance.XXXXXX")"
server_folder="$work/server"
port="$(python3 "$tools" free-port)"
base="http://127.0.0.1:$port"

passed=0
failed=0
failures=()
pass() {
  passed=$((passed + 1))
  echo "PASS $1"
}
fail() {
  failed=$((failed + 1))
  failures+=("$1")
  echo "FAIL $1: $2"
}

# The server's environment: private configuration and data folders (the Linux
# registry substitute, Wine's menu entries), and no Wine menu builder.
server_env=(
  "XDG_CONFIG_HOME=$work/config" "XDG_DATA_HOME=$work/data" "XDG_CACHE_HOME=$work/cache"
  "WINEDLLOVERRIDES=mscoree,mshtml=;winemenubuilder.exe=d"
)
server_pid=""
server_group=""

server_running() {
  [ -n "$server_pid" ] || return 1
  local state
  state="$(awk '{print $3}' "/proc/$server_pid/stat" 2> /dev/null)" || return 1
  [ -n "$state" ] && [ "$state" != Z ]
}

# Waits up to $1 seconds for the run command to end; 0 when it did.
wait_server_end() {
  local tenths=$(($1 * 10))
  while server_running && [ "$tenths" -gt 0 ]; do
    sleep 0.1
    tenths=$((tenths - 1))
  done
  ! server_running
}

# Last resort when the run failed: ends every process of this run, one by one.
force_stop() {
  if [ -n "$server_group" ]; then
    kill -KILL -- "-$server_group" 2> /dev/null
  fi
  if [ "$windows" -eq 1 ]; then
    env "${server_env[@]}" WINEPREFIX="$server_folder/wineprefix" wineserver -k > /dev/null 2>&1
  fi
  local pid rest
  while read -r pid rest; do
    [ -n "$pid" ] && kill -KILL "$pid" 2> /dev/null
  done < <(python3 "$tools" leftovers "$work")
}

cleanup() {
  local code=$?
  if server_running; then
    echo "Stopping the server that is still running..." >&3
    kill -INT -- "-$server_group" 2> /dev/null
    wait_server_end 10 || force_stop
  fi
  [ -n "$server_pid" ] && wait "$server_pid" 2> /dev/null
  if [ -n "$(python3 "$tools" leftovers "$work")" ]; then
    force_stop
    sleep 1
  fi
  [ -f "$work/server.log" ] && cp "$work/server.log" "$artifacts/server.log"
  rm -rf "$work"
  exit "$code"
}
# An interrupt may land inside a command whose output goes elsewhere; the
# clean-up speaks on the run's own output.
exec 3>&1
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

# --- start ----------------------------------------------------------------

# Large files for resumed and segmented downloads, published beside the
# sample site, and a download cap under which 100 MiB take a few seconds.
big="$work/big.bin"
big_size=$((100 * 1024 * 1024))
head -c "$big_size" /dev/urandom > "$big"
resumable="$work/resumable.bin"
resumable_size=$((8 * 1024 * 1024))
head -c "$resumable_size" /dev/urandom > "$resumable"
max_down=20480
plugin_folder="$server_folder/Plugins/Orvi HTTP Server"
access_log="$plugin_folder/OrviHTTP.log"
mkdir -p "$plugin_folder"
# HTTPS beside HTTP on a second free port, with the certificate the server
# makes for this machine on its first start.
https_port="$(python3 "$tools" free-port)"
python3 "$root/scripts/set-ini-values.py" "$plugin_folder/OrviHTTP.ini" "MaxDown=$max_down" "Log=Yes" \
  "HTTPS=Yes" "HTTPSPort=$https_port" "FolderArchives=Yes"

run_args=(--port "$port" --folder "$server_folder" --fresh --publish "$big" --publish "$resumable")
[ "$windows" -eq 1 ] && run_args+=(--windows)
echo "Starting: scripts/run.sh ${run_args[*]}"
# Job control gives the run command its own process group, so SIGINT reaches
# it (and all it started) as Ctrl+C in a terminal would. A terminal's Ctrl+C
# is never ignored, but this script may have been started in the background
# of a shell without job control, which ignores SIGINT for all it starts; a
# shell script cannot catch a signal ignored when it started.
set -m
env --default-signal=INT "${server_env[@]}" "$root/scripts/run.sh" "${run_args[@]}" \
  > "$work/server.log" 2>&1 &
server_pid=$!
set +m
server_group="$(ps -o pgid= -p "$server_pid" | tr -d ' ')"

build_seconds="${ORVI_ACCEPTANCE_BUILD_SECONDS:-900}"
if [ "$windows" -eq 1 ]; then start_seconds=90; else start_seconds=20; fi
started=$SECONDS
announced=""
until curl -s -o /dev/null --max-time 2 "$base/"; do
  if ! server_running; then
    # Its status tells a failed step (1) from a signal (128 and more).
    status=0
    wait "$server_pid" || status=$?
    server_pid=""
    echo "FAIL the run command ended with status $status before the server answered" \
      "on port $port; its output:"
    sed 's/^/  | /' "$work/server.log"
    exit 1
  fi
  if [ -z "$announced" ] && grep -q "Press Ctrl+C" "$work/server.log"; then
    announced=$SECONDS
  fi
  if [ -n "$announced" ] && [ $((SECONDS - announced)) -ge "$start_seconds" ]; then
    echo "FAIL the server did not answer on port $port within ${start_seconds}s after" \
      "the run command started it; its output:"
    sed 's/^/  | /' "$work/server.log"
    exit 1
  fi
  if [ -z "$announced" ] && [ $((SECONDS - started)) -ge "$build_seconds" ]; then
    echo "FAIL the run command did not start the server within ${build_seconds}s" \
      "(ORVI_ACCEPTANCE_BUILD_SECONDS); its output:"
    sed 's/^/  | /' "$work/server.log"
    exit 1
  fi
  sleep 0.2
done
echo "The server answers at $base/ (after $((SECONDS - started))s)"
checks_started=$SECONDS

# --- curl and wget --------------------------------------------------------

# fetch_both NAME URL EXPECTED_FILE: curl and wget each get exactly the file.
fetch_both() {
  local name="$1" url="$2" expected="$3" code
  code="$(curl -gsS -o "$work/curl.out" -w '%{http_code}' "$url")" || code="curl failed"
  if [ "$code" != 200 ]; then
    fail "curl $name" "status $code for $url"
  elif ! cmp -s "$work/curl.out" "$expected"; then
    fail "curl $name" "the bytes differ from $expected"
  else
    pass "curl $name"
  fi
  if ! wget -q -O "$work/wget.out" "$url"; then
    fail "wget $name" "wget failed for $url"
  elif ! cmp -s "$work/wget.out" "$expected"; then
    fail "wget $name" "the bytes differ from $expected"
  else
    pass "wget $name"
  fi
}

check_start_page() {
  fetch_both "start page /" "$base/" "$site/index.html"
  fetch_both "/style.css" "$base/style.css" "$site/style.css"
  local server
  server="$(curl -sS -D - -o /dev/null "$base/" | tr -d '\r' | sed -n 's/^Server: //Ip')"
  if [[ "$server" == "Orvi HTTP Server"* ]]; then
    pass "the answering server is Orvi HTTP Server"
  else
    fail "the answering server is Orvi HTTP Server" "Server header \"$server\""
  fi
}

# Every link of the /files/ listing leads to its file, byte for byte, and every
# file of the folder is linked.
check_listing_links() {
  local code
  code="$(curl -sS -o "$work/listing.html" -w '%{http_code}' "$base/files/")" || code="curl failed"
  cp "$work/listing.html" "$artifacts/files-listing.html" 2> /dev/null
  if [ "$code" != 200 ] || ! grep -q "Index of /files" "$work/listing.html"; then
    fail "curl /files/ listing" "status $code, or no \"Index of /files\" heading"
    return
  fi
  pass "curl /files/ listing"
  local href path linked=() parent=0
  while IFS=$'\t' read -r href path; do
    if [ "$href" = "/" ]; then
      parent=1
      continue
    fi
    # The folder's archive is checked by check_folder_archive.
    [[ "$href" == *"?zip" ]] && continue
    if [[ "$path" != /files/* ]] || [ ! -f "$site$path" ]; then
      fail "listing link $href" "does not name a file of sample-site/files (decodes to \"$path\")"
      continue
    fi
    linked+=("${path#/files/}")
    fetch_both "link $href" "$base$href" "$site$path"
  done < <(python3 "$tools" links "$work/listing.html")
  if [ "$parent" -eq 1 ]; then pass "listing links the parent folder"; else
    fail "listing links the parent folder" "no link to /"
  fi
  local expected actual
  expected="$(cd "$site/files" && find . -maxdepth 1 -type f -printf '%P\n' | LC_ALL=C sort)"
  actual="$(printf '%s\n' "${linked[@]}" | LC_ALL=C sort)"
  if [ "$expected" = "$actual" ]; then
    pass "listing links every file of the folder once (${#linked[@]} files)"
  else
    fail "listing links every file of the folder once" \
      "linked: $(echo "$actual" | tr '\n' '|') files: $(echo "$expected" | tr '\n' '|')"
  fi
}

# A recursive download from the start page gets the site. --no-iri: in its IRI
# mode wget reads the listing's percent escapes in the page's declared charset
# (ISO-8859-1) and first asks for a doubly encoded name; browsers and curl keep
# the escapes as they are, and so does wget without IRI.
check_wget_mirror() {
  local mirror="$work/mirror" name
  # The folders' archives hold the same files again (the root's the large
  # ones too): the mirror leaves them out.
  if wget --no-iri --recursive --level=2 --no-parent --no-host-directories -nv \
    --reject-regex '[?]zip$' \
    -P "$mirror" "$base/" > "$artifacts/wget-mirror.log" 2>&1; then
    pass "wget --recursive --level=2 --no-parent succeeds"
  else
    fail "wget --recursive --level=2 --no-parent succeeds" "see $artifacts/wget-mirror.log"
  fi
  local missing=() file
  for file in "$site/index.html" "$site/style.css" "$site"/files/*; do
    name="${file#"$site/"}"
    cmp -s "$mirror/$name" "$file" || missing+=("$name")
  done
  if [ ${#missing[@]} -eq 0 ]; then
    pass "the mirror holds the start page, the style sheet and every file, byte for byte"
  else
    fail "the mirror holds the start page, the style sheet and every file, byte for byte" \
      "missing or different: ${missing[*]}"
  fi
}

# --- resumed and segmented downloads -------------------------------------

# The status and size of the last access-log line for a GET of PATH, once
# the line is there (it is written after the body went out).
last_logged() {
  local path="$1" line="" tries=20
  while [ "$tries" -gt 0 ]; do
    line="$(grep -aF "\"GET $path " "$access_log" 2> /dev/null | tail -n 1 | tr -d '\r')"
    [ -n "$line" ] && [ "$line" != "${2:-}" ] && break
    sleep 0.1
    tries=$((tries - 1))
  done
  echo "${line##*\" }"
}

# The first attempt breaks off in the middle (the reader goes away after half
# the file, so the client fails mid-transfer); the second resumes it where it
# broke off.
check_curl_resume() {
  local out="$work/curl-resume.bin" cut code before logged
  curl -sS "$base/resumable.bin" 2> /dev/null | head -c $((resumable_size / 2)) > "$out"
  cut="$(stat -c %s "$out" 2> /dev/null || echo 0)"
  if [ "$cut" -le 0 ] || [ "$cut" -ge "$resumable_size" ]; then
    fail "curl -C - resumes a cut download" "the cut attempt got $cut of $resumable_size bytes"
    return
  fi
  sleep 0.2
  before="$(grep -aF '"GET /resumable.bin ' "$access_log" | tail -n 1 | tr -d '\r')"
  code="$(curl -sS -C - -o "$out" -w '%{http_code}' "$base/resumable.bin")" || code="curl failed"
  logged="$(last_logged /resumable.bin "$before")"
  if [ "$code" != 206 ]; then
    fail "curl -C - resumes a cut download" "status $code"
  elif ! cmp -s "$out" "$resumable"; then
    fail "curl -C - resumes a cut download" "the joined bytes differ from the file"
  elif [ "$logged" != "206 $((resumable_size - cut))" ]; then
    fail "curl -C - resumes a cut download" "access log says \"$logged\", not 206 $((resumable_size - cut))"
  else
    pass "curl -C - resumes a download cut after $cut of $resumable_size bytes: 206, byte-identical, logged"
  fi
}

# check_https: curl trusts only the certificate the server made, checks its
# name, and gets the same start page and the same resumed bytes as over HTTP.
check_https() {
  local made="$plugin_folder/OrviHTTP.crt" secure="https://localhost:$https_port"
  local out="$work/https-resume.bin" code
  if [ ! -f "$made" ]; then
    fail "HTTPS with the made certificate" "no OrviHTTP.crt beside the ini"
    return
  fi
  curl -sS --cacert "$made" -o "$work/https-start.html" "$secure/" 2> "$work/https.err" || true
  curl -sS -o "$work/http-start.html" "$base/" 2> /dev/null || true
  if ! cmp -s "$work/https-start.html" "$work/http-start.html"; then
    fail "HTTPS with the made certificate" "the start page differs or failed: $(head -c 300 "$work/https.err")"
    return
  fi
  head -c $((resumable_size / 3)) "$resumable" > "$out"
  code="$(curl -sS --cacert "$made" -C - -o "$out" -w '%{http_code}' "$secure/resumable.bin")" ||
    code="curl failed"
  if [ "$code" != 206 ] || ! cmp -s "$out" "$resumable"; then
    fail "HTTPS with the made certificate" "a resumed download over TLS: status $code or other bytes"
    return
  fi
  pass "HTTPS with the made certificate: name verified, same start page, resume byte-identical"
}

check_wget_resume() {
  local folder="$work/wget-resume" cut before logged
  mkdir -p "$folder"
  wget -q -O - "$base/resumable.bin" 2> /dev/null | head -c $((resumable_size / 2 + 12345)) \
    > "$folder/resumable.bin"
  sleep 0.2
  cut="$(stat -c %s "$folder/resumable.bin" 2> /dev/null || echo 0)"
  if [ "$cut" -le 0 ] || [ "$cut" -ge "$resumable_size" ]; then
    fail "wget -c resumes a cut download" "the cut attempt got $cut of $resumable_size bytes"
    return
  fi
  before="$(grep -aF '"GET /resumable.bin ' "$access_log" | tail -n 1 | tr -d '\r')"
  if ! wget -q -c -P "$folder" "$base/resumable.bin"; then
    fail "wget -c resumes a cut download" "wget failed"
    return
  fi
  logged="$(last_logged /resumable.bin "$before")"
  if ! cmp -s "$folder/resumable.bin" "$resumable"; then
    fail "wget -c resumes a cut download" "the joined bytes differ from the file"
  elif [ "$logged" != "206 $((resumable_size - cut))" ]; then
    fail "wget -c resumes a cut download" "access log says \"$logged\", not 206 $((resumable_size - cut))"
  else
    pass "wget -c resumes a download cut after $cut of $resumable_size bytes: 206, byte-identical, logged"
  fi
}

# A download manager's way: 8 parallel range requests for the segments of
# the 100 MiB file, joined afterwards; together they stay under MaxDown.
# Within a tenth: the cap is spent in 100 ms slots, each paid at the slot's
# start, so transfers that start together are a slot or so ahead over these
# five seconds (seen up to 8 % on a busy machine); a cap that does not hold
# gives many times MaxDown on loopback.
check_segments() {
  local segments=8 part=$((big_size / 8)) i first last pids=() codes="" started ended
  started="$(date +%s%N)"
  for ((i = 0; i < segments; i++)); do
    first=$((i * part))
    last=$(((i + 1) * part - 1))
    [ "$i" -eq $((segments - 1)) ] && last=$((big_size - 1))
    curl -sS -r "$first-$last" -o "$work/segment$i" -w '%{http_code}' "$base/big.bin" \
      > "$work/segment$i.code" 2> /dev/null &
    pids+=($!)
  done
  wait "${pids[@]}"
  ended="$(date +%s%N)"
  for ((i = 0; i < segments; i++)); do codes+="$(cat "$work/segment$i.code") "; done
  local joined="$work/segments.bin"
  for ((i = 0; i < segments; i++)); do cat "$work/segment$i"; done > "$joined"
  local ms=$(((ended - started) / 1000000))
  [ "$ms" -gt 0 ] || ms=1
  local rate=$((big_size / 1024 * 1000 / ms))
  local logged
  logged="$(grep -acF '"GET /big.bin ' "$access_log")"
  if [ "$codes" != "$(printf '206 %.0s' $(seq 1 $segments))" ]; then
    fail "8 parallel segments of a 100 MiB file" "statuses $codes"
  elif ! cmp -s "$joined" "$big"; then
    fail "8 parallel segments of a 100 MiB file" "the joined segments differ from the file"
  elif [ "$rate" -gt $((max_down * 110 / 100)) ]; then
    fail "8 parallel segments of a 100 MiB file" "$rate KB/s over the cap of $max_down KB/s"
  elif [ "$logged" -lt "$segments" ]; then
    fail "8 parallel segments of a 100 MiB file" "$logged access-log lines for them"
  else
    pass "8 parallel segments of a 100 MiB file join byte-identical in ${ms} ms: $rate KB/s under MaxDown $max_down KB/s"
  fi
}

# --- headless Chromium ----------------------------------------------------

# Chromium on Linux takes the certificates it trusts beyond the built-in ones
# from $HOME/.pki/nssdb: chromium_home picks that home for one run.
chromium_run() {
  local profile home="${chromium_home:-$work/home}"
  profile="$(mktemp -d "$work/chromium.XXXXXX")"
  HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_CACHE_HOME="$home/cache" \
    timeout 60 chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --user-data-dir="$profile" --window-size=1024,768 "$@" 2>> "$work/chromium.log"
}

# screenshot NAME URL: a PNG of more than 5 KB kept as an artefact.
screenshot() {
  local file="$artifacts/$1.png"
  chromium_run --screenshot="$file" "$2" > /dev/null
  local size
  size="$(stat -c %s "$file" 2> /dev/null || echo 0)"
  if [ "$size" -gt 5120 ] && [ "$(head -c 4 "$file" | od -An -tx1 | tr -d ' ')" = 89504e47 ]; then
    pass "Chromium screenshot of $2 ($size bytes, $1.png)"
  else
    fail "Chromium screenshot of $2" "no PNG over 5 KB ($size bytes)"
  fi
}

# rendered NAME URL TEXT...: the page as Chromium built it holds every TEXT.
rendered() {
  local name="$1" url="$2" text missing=()
  shift 2
  chromium_run --dump-dom "$url" > "$artifacts/$name.dom.html"
  for text in "$@"; do
    grep -qF -- "$text" "$artifacts/$name.dom.html" || missing+=("\"$text\"")
  done
  if [ ${#missing[@]} -eq 0 ]; then
    pass "Chromium renders $url with $*"
  else
    fail "Chromium renders $url" "the page lacks ${missing[*]} (see $name.dom.html)"
  fi
}

# The player page plays the clip and jumps near its end; the browser fetches
# the clip with range requests, which the access log shows answered 206.
check_video() {
  local before after
  before="$(grep -acF '"GET /media/clip.webm ' "$access_log")"
  local state attempt
  # The browser's media pipeline runs in real time, not in the virtual time
  # of the page: now and then the page is read before the seek has finished,
  # so a second try is allowed.
  for attempt in 1 2; do
    chromium_run --autoplay-policy=no-user-gesture-required --virtual-time-budget=15000 \
      --dump-dom "$base/media/player.html" > "$artifacts/video.dom.html"
    state="$(sed -n 's/.*<p id="state">\([^<]*\)<.*/\1/p' "$artifacts/video.dom.html")"
    [[ "$state" == "played to "*", seeked to 8 of 10 seconds" ]] && break
  done
  after="$(grep -aF '"GET /media/clip.webm ' "$access_log" | tail -n +$((before + 1)) | tr -d '\r')"
  echo "$after" > "$artifacts/video-requests.log"
  if [[ "$state" != "played to "*", seeked to 8 of 10 seconds" ]]; then
    fail "Chromium plays a video and seeks in it" "the page says \"$state\" (see video.dom.html)"
  elif ! grep -q '" 206 ' <<< "$after"; then
    fail "Chromium plays a video and seeks in it" "no 206 answer in the access log: $after"
  else
    local ranged
    ranged="$(grep -c '" 206 ' <<< "$after")"
    pass "Chromium plays a video and seeks in it ($state; $ranged range requests answered 206)"
  fi
}

# The HTTPS start page in Chromium, trusting the made certificate through an
# NSS database as a user would, with no switch that skips certificate errors.
# A self-signed server certificate is trusted as a peer ("P"): marked as a CA
# ("C") Chromium refuses it, since it says it is no CA. The same run without
# the database must be refused, or the trusted run would prove nothing.
check_chromium_https() {
  local made="$plugin_folder/OrviHTTP.crt" secure="https://localhost:$https_port/"
  local name="Chromium opens $secure trusting the made certificate through an NSS database"
  local trusted="$work/home-trusted" log_lines differing said
  if ! command -v certutil > /dev/null; then
    fail "$name" "certutil is not installed (scripts/setup-debian.sh installs libnss3-tools)"
    return
  fi
  if [ ! -f "$made" ]; then
    fail "$name" "no OrviHTTP.crt beside the ini"
    return
  fi
  mkdir -p "$trusted/.pki/nssdb"
  if ! { certutil -N -d "sql:$trusted/.pki/nssdb" --empty-password &&
    certutil -A -d "sql:$trusted/.pki/nssdb" -t "P,," -n "Orvi HTTP Server" -i "$made"; } \
    > "$work/certutil.log" 2>&1; then
    fail "$name" "certutil could not make the database: $(head -c 300 "$work/certutil.log")"
    return
  fi
  touch "$work/chromium.log"
  log_lines="$(wc -l < "$work/chromium.log")"
  chromium_run --dump-dom "$secure" > "$artifacts/https-untrusted.dom.html"
  if grep -qF "It works!" "$artifacts/https-untrusted.dom.html" ||
    ! tail -n +$((log_lines + 1)) "$work/chromium.log" | grep -q ERR_CERT_AUTHORITY_INVALID; then
    fail "$name" "without the database Chromium did not refuse the certificate (see https-untrusted.dom.html and chromium.log)"
    return
  fi
  log_lines="$(wc -l < "$work/chromium.log")"
  chromium_home="$trusted" chromium_run --dump-dom "$secure" > "$artifacts/https-start-page.dom.html"
  if ! grep -qF "<title>Welcome to Orvi HTTP Server</title>" "$artifacts/https-start-page.dom.html" ||
    ! grep -qF "It works!" "$artifacts/https-start-page.dom.html"; then
    said="$(tail -n +$((log_lines + 1)) "$work/chromium.log" | grep -o 'net::ERR_[A-Z_]*' | sort -u | tr '\n' ' ')"
    fail "$name" "the page lacks the start page's title or \"It works!\" (see https-start-page.dom.html; Chromium said: ${said:-no error})"
    return
  fi
  # What the user sees must be the page itself, pixel for pixel the start
  # page Chromium drew over plain HTTP, not a warning in front of it.
  chromium_home="$trusted" chromium_run --screenshot="$artifacts/https-start-page.png" "$secure" > /dev/null
  differing="$(compare -metric AE "$artifacts/https-start-page.png" "$artifacts/start-page.png" null: 2>&1)"
  if [ "$differing" != 0 ]; then
    fail "$name" "the screenshot https-start-page.png differs from start-page.png ($differing pixels)"
    return
  fi
  pass "$name (refused without it; screenshot https-start-page.png as over HTTP)"
}

check_chromium() {
  if ! command -v chromium > /dev/null; then
    fail "Chromium" "chromium is not installed (scripts/setup-debian.sh installs it)"
    return
  fi
  mkdir -p "$work/home"
  screenshot start-page "$base/"
  rendered start-page "$base/" "It works!"
  screenshot files-listing "$base/files/"
  # The listing is ISO-8859-1; the browser shows the accented name correctly.
  rendered files-listing "$base/files/" "Index of /files" "Tom &amp; Jerry.txt" "café.txt" \
    "notes #1.txt" "at port $port."
  if [ "$windows" -eq 0 ]; then
    screenshot hello-php "$base/hello.php"
    rendered hello-php "$base/hello.php?name=Orvi" "Hello, Orvi!" "6 times 7 is 42"
  fi
  check_video
  check_chromium_https
  cp "$work/chromium.log" "$artifacts/chromium.log" 2> /dev/null
}

# --- folder archives ------------------------------------------------------

# The listing Chromium shows links the folder as a .zip; following the link
# gets an archive that unzip checks and unpacks into the folder's files.
check_folder_archive() {
  local name="the listing's \"Download all as .zip\" link gets /files/ as a sound .zip"
  if ! command -v chromium > /dev/null || ! command -v unzip > /dev/null; then
    fail "$name" "chromium or unzip is not installed (scripts/setup-debian.sh installs them)"
    return
  fi
  mkdir -p "$work/home"
  rendered files-listing-zip-link "$base/files/" "Download all as .zip"
  local href code unpacked="$work/unpacked"
  href="$(sed -n 's/.*<a href="\([^"]*[?]zip\)">Download all as .zip.*/\1/p' \
    "$artifacts/files-listing-zip-link.dom.html" | head -n 1)"
  if [ -z "$href" ]; then
    fail "$name" "no link in files-listing-zip-link.dom.html"
    return
  fi
  code="$(curl -gsS -D "$work/zip.head" -o "$work/files.zip" -w '%{http_code}' "$base$href")" ||
    code="curl failed"
  cp "$work/zip.head" "$artifacts/files-zip.head" 2> /dev/null
  if [ "$code" != 200 ] || ! grep -qi '^Content-Type: application/zip' "$work/zip.head" ||
    ! grep -qi '^Content-Disposition: attachment; filename="files.zip"' "$work/zip.head"; then
    fail "$name" "status $code for $base$href, or not an attachment files.zip (see files-zip.head)"
    return
  fi
  # The browser itself follows the link and saves the archive.
  local line saved="$work/downloads/files.zip"
  mkdir -p "$work/downloads"
  while IFS= read -r line; do
    case "$line" in
      "PASS "*) pass "folder archive: Chromium: ${line#PASS }" ;;
      "FAIL "*) line="${line#FAIL }" && fail "folder archive: Chromium: ${line%%$'\t'*}" "${line#*$'\t'}" ;;
      *) echo "$line" ;;
    esac
  done < <(HOME="$work/home" /usr/bin/python3 "$here/archive_browser.py" "$base/files/" "$artifacts" \
    "$work/downloads" files.zip 2>> "$work/selenium.log")
  if [ ! -f "$saved" ]; then
    fail "$name" "Chromium saved no files.zip"
    return
  fi
  if ! cmp -s "$saved" "$work/files.zip"; then
    fail "$name" "Chromium's files.zip differs from curl's"
    return
  fi
  if ! LC_ALL=C.UTF-8 unzip -t "$saved" > "$artifacts/files-zip-test.log" 2>&1; then
    fail "$name" "unzip -t finds faults (see files-zip-test.log)"
    return
  fi
  mkdir -p "$unpacked"
  if ! LC_ALL=C.UTF-8 unzip -q "$saved" -d "$unpacked" > /dev/null 2>&1 ||
    ! diff -r "$unpacked" "$site/files" > "$artifacts/files-zip-diff.log" 2>&1; then
    fail "$name" "the unpacked archive differs from sample-site/files (see files-zip-diff.log)"
    return
  fi
  pass "$name: $(stat -c %s "$saved") bytes, unzip -t clean, unpacks byte for byte"
}

# --- accounts -------------------------------------------------------------

# Runs one of the installed command-line tools on a file of the install, the
# Windows one under Wine (with the file's path as Windows writes it).
installed_tool() {  # name file arguments...
  local name="$1" file="$2"
  shift 2
  if [ "$windows" -eq 1 ]; then
    file="$(env "${server_env[@]}" WINEPREFIX="$server_folder/wineprefix" winepath -w "$file")"
    env "${server_env[@]}" WINEPREFIX="$server_folder/wineprefix" wine "$server_folder/$name.exe" "$file" "$@"
  else
    "$server_folder/$name" "$file" "$@"
  fi
}

# An account and a protected folder, made with the tools while the server
# runs: tools and browsers are let in with the password and nobody without.
# HTTPS is on, so the password is asked for over HTTPS only.
check_accounts() {
  local users="$plugin_folder/OrviHTTP.users" password="Corr3ct horse" code tries=50
  local made="$plugin_folder/OrviHTTP.crt" secure="https://localhost:$https_port"
  local listing="$work/files-before.html"
  curl -sS -o "$listing" "$base/files/" 2> /dev/null
  if ! printf '%s\n' "$password" | installed_tool orvihttp-users "$users" add alice > "$work/users.out" 2>&1 ||
    ! installed_tool orvihttp-dir "$plugin_folder/OrviHTTP.dir" rights /files see alice >> "$work/users.out" 2>&1; then
    fail "accounts: the tools set an account and a right" "$(grep -v wine32 "$work/users.out" | tail -c 400)"
    return
  fi
  # The running server takes the changed files within a few seconds; over
  # plain HTTP it then sends whoever has no password to HTTPS.
  until [ "$(curl -s -o /dev/null -w '%{http_code}' "$base/files/")" = 301 ]; do
    tries=$((tries - 1))
    if [ "$tries" -le 0 ]; then
      fail "accounts: the running server takes the new right" "/files/ still answers without a password"
      return
    fi
    sleep 0.2
  done
  if curl -sS -D - -o /dev/null "$base/files/" | grep -qiE "^Location: https://[^/]*:$https_port/files/"; then
    pass "accounts: the running server takes the tools' account and right, and asks over HTTPS"
  else
    fail "accounts: the running server asks for the password over HTTPS" "no redirect to port $https_port"
  fi
  curl -sS --cacert "$made" -D "$work/challenge.head" -o /dev/null "$secure/files/read%20me.txt" 2> /dev/null
  if head -n 1 "$work/challenge.head" | grep -q '^HTTP/1.1 401' &&
    grep -qi '^WWW-Authenticate: Basic realm="Orvi HTTP Server"' "$work/challenge.head"; then
    pass "accounts: a tool without the password gets 401 and the Basic challenge"
  else
    fail "accounts: a tool without the password gets 401 and the Basic challenge" "$(head -c 300 "$work/challenge.head")"
  fi
  code="$(curl -sS --cacert "$made" -u "alice:$password" -o "$work/files-signed.html" -w '%{http_code}' "$secure/files/")"
  # The same rows as before; the folders' dates are the time of the answer.
  if [ "$code" = 200 ] && diff -q <(sed 's/<td>[^<]*GMT<\/td>//g' "$work/files-signed.html") \
    <(sed 's/<td>[^<]*GMT<\/td>//g' "$listing") > /dev/null; then
    pass "accounts: curl -u gets the folder's listing as it was"
  else
    fail "accounts: curl -u gets the folder's listing" "status $code or other bytes"
  fi
  if wget -q --ca-certificate="$made" --user alice --password "$password" -O "$work/wget-signed.txt" \
    "$secure/files/read%20me.txt" && cmp -s "$work/wget-signed.txt" "$site/files/read me.txt"; then
    pass "accounts: wget --user/--password downloads from the folder"
  else
    fail "accounts: wget --user/--password downloads from the folder" "failed or other bytes"
  fi
  code="$(curl -s --cacert "$made" -u "alice:wrong" -o /dev/null -w '%{http_code}' "$secure/files/")"
  [ "$code" = 401 ] && pass "accounts: a wrong password gets 401" ||
    fail "accounts: a wrong password gets 401" "status $code"
  if ! command -v chromedriver > /dev/null; then
    fail "accounts: Chromium signs in through the form" "chromedriver is not installed (scripts/setup-debian.sh installs chromium-driver)"
  elif [ ! -d "$work/home-trusted/.pki/nssdb" ]; then
    fail "accounts: Chromium signs in through the form" "no NSS database trusting the made certificate"
  else
    local line
    while IFS= read -r line; do
      case "$line" in
        "PASS "*) pass "accounts: Chromium: ${line#PASS }" ;;
        "FAIL "*) line="${line#FAIL }" && fail "accounts: Chromium: ${line%%$'\t'*}" "${line#*$'\t'}" ;;
        *) echo "$line" ;;
      esac
    done < <(HOME="$work/home-trusted" /usr/bin/python3 "$here/sign_in_browser.py" "$base" /files/ \
      alice "$password" "$artifacts" 2>> "$work/selenium.log")
    cp "$work/selenium.log" "$artifacts/selenium.log" 2> /dev/null
  fi
  # The password is nowhere in the logs or files the server and tools wrote.
  if grep -rlaF -e "$password" -e "Corr3ct" "$plugin_folder" "$work/server.log" > "$work/leaks" 2>/dev/null; then
    fail "accounts: no password in any log or file" "found in $(tr '\n' ' ' < "$work/leaks")"
  else
    pass "accounts: no password in any log or file"
  fi
}

# --- uploads --------------------------------------------------------------

# A folder marked for uploads while the server runs: curl -T and a browser's
# form land byte for byte in the chosen real folder.
check_uploads() {
  local inbox="$work/inbox" tries=50 code line
  mkdir -p "$inbox" "$work/to-send"
  if ! installed_tool orvihttp-dir "$plugin_folder/OrviHTTP.dir" upload-to /media \
    "$([ "$windows" -eq 1 ] && env "${server_env[@]}" WINEPREFIX="$server_folder/wineprefix" \
      winepath -w "$inbox" || echo "$inbox")" > "$work/upload-to.out" 2>&1; then
    fail "uploads: orvihttp-dir marks a folder" "$(grep -v wine32 "$work/upload-to.out" | tail -c 300)"
    return
  fi
  head -c 3000000 /dev/urandom > "$work/to-send/photo one.jpg"
  until code="$(curl -s -o /dev/null -w '%{http_code}' -T "$work/to-send/photo one.jpg" \
    "$base/media/photo%20one.jpg")" && [ "$code" = 201 ]; do
    tries=$((tries - 1))
    if [ "$tries" -le 0 ]; then
      fail "uploads: curl -T into the marked folder" "status $code"
      return
    fi
    sleep 0.2
  done
  if cmp -s "$inbox/photo one.jpg" "$work/to-send/photo one.jpg" &&
    curl -s "$base/media/" | grep -qF "photo%20one.jpg"; then
    pass "uploads: curl -T lands byte for byte and is listed at once"
  else
    fail "uploads: curl -T lands byte for byte and is listed at once" "other bytes or not listed"
  fi
  if ! command -v chromedriver > /dev/null; then
    fail "uploads: Chromium sends files through the form" "chromedriver is not installed"
    return
  fi
  for name in a b c; do head -c 2000000 /dev/urandom > "$work/to-send/form-$name.bin"; done
  # Whoever may upload here may delete too, so the listing offers its buttons.
  installed_tool orvihttp-dir "$plugin_folder/OrviHTTP.dir" rights /media delete everyone \
    > /dev/null 2>&1
  tries=50
  until curl -s "$base/media/" | grep -qF 'class="delete"'; do
    tries=$((tries - 1))
    [ "$tries" -le 0 ] && break
    sleep 0.2
  done
  while IFS= read -r line; do
    case "$line" in
      "PASS "*) pass "uploads: Chromium: ${line#PASS }" ;;
      "FAIL "*) line="${line#FAIL }" && fail "uploads: Chromium: ${line%%$'\t'*}" "${line#*$'\t'}" ;;
      *) echo "$line" ;;
    esac
  done < <(HOME="$work/home" /usr/bin/python3 "$here/upload_browser.py" "$base/media/" "$artifacts" \
    "$work/to-send/form-a.bin" "$work/to-send/form-b.bin" "$work/to-send/form-c.bin" 2>> "$work/selenium.log")
  for name in a b; do
    if ! cmp -s "$inbox/form-$name.bin" "$work/to-send/form-$name.bin"; then
      fail "uploads: the form's files land byte for byte" "form-$name.bin differs or is missing"
      return
    fi
  done
  pass "uploads: the form's files land byte for byte"
  if [ -e "$inbox/form-c.bin" ]; then
    fail "uploads: a deleted upload is gone from the disk" "form-c.bin is still there"
  else
    pass "uploads: a deleted upload is gone from the disk"
  fi
}

# --- http.client ----------------------------------------------------------

check_http_client() {
  local options=()
  [ "$windows" -eq 1 ] && options+=(--no-php)
  local line
  while IFS= read -r line; do
    case "$line" in
      "PASS "*) pass "http.client ${line#PASS }" ;;
      "FAIL "*) line="${line#FAIL }" && fail "http.client ${line%%$'\t'*}" "${line#*$'\t'}" ;;
      *) echo "$line" ;;
    esac
  done < <(python3 "$here/http_checks.py" 127.0.0.1 "$port" "$site" "${options[@]}" 2>&1)
}

# --- stop -----------------------------------------------------------------

check_stop() {
  echo "Stopping the server with SIGINT..."
  kill -INT -- "-$server_group" 2> /dev/null
  local limit=5
  [ "$windows" -eq 1 ] && limit=15
  if wait_server_end "$limit"; then
    wait "$server_pid"
    local code=$?
    if [ "$code" -eq 0 ]; then
      pass "SIGINT stops the server within ${limit}s, exit status 0"
    else
      fail "SIGINT stops the server cleanly" "exit status $code"
    fi
  else
    fail "SIGINT stops the server within ${limit}s" "still running; stopping it by force"
    if [ "$windows" -eq 1 ]; then
      # Where the host is stuck: the stack of every thread, kept as an artefact.
      env "${server_env[@]}" WINEPREFIX="$server_folder/wineprefix" timeout 60 \
        winedbg --command "bt all" > "$artifacts/host-threads-at-stop.txt" 2>&1 || true
    fi
    force_stop
    wait "$server_pid" 2> /dev/null
  fi
  server_pid=""
  # Give helpers (Wine's server) a moment to go after the host.
  local left="" tries=30
  while [ "$tries" -gt 0 ]; do
    left="$(python3 "$tools" leftovers "$work")" || true
    [ -z "$left" ] && break
    sleep 0.2
    tries=$((tries - 1))
  done
  if [ -z "$left" ]; then
    pass "nothing of the run is left running"
  else
    fail "nothing of the run is left running" "$(echo "$left" | tr '\n' ';')"
  fi
  if python3 "$tools" port-free "$port" > "$work/port.out"; then
    pass "port $port is free again"
  else
    fail "port $port is free again" "$(cat "$work/port.out")"
  fi
  # The host's own exit path unloads the plugins, removes their shadow copies
  # with the Temp folder and writes Trellan.ini; a killed host does none of it.
  local shadows ini=written
  shadows="$(find "$server_folder/Temp" -mindepth 1 -printf '%P ' 2> /dev/null)"
  [ -f "$server_folder/Trellan.ini" ] || ini="not written"
  if [ ! -e "$server_folder/Temp" ] && [ "$ini" = written ]; then
    pass "the host went through its exit: Temp folder removed, Trellan.ini written"
  else
    fail "the host went through its exit" \
      "Temp folder $([ -e "$server_folder/Temp" ] && echo "still there (${shadows:-empty})" ||
        echo removed), Trellan.ini $ini"
  fi
  if [ "$windows" -eq 0 ] && grep -q "tray removed" "$work/server.log"; then
    pass "the host removed its tray status on the way out"
  elif [ "$windows" -eq 0 ]; then
    fail "the host removed its tray status on the way out" "no \"tray removed\" line"
  fi
}

check_start_page
check_listing_links
check_wget_mirror
check_chromium
check_folder_archive
check_curl_resume
check_https
check_wget_resume
check_segments
check_http_client
check_accounts
check_uploads
check_stop

echo
echo "$flavour: $passed checks passed, $failed failed in $((SECONDS - checks_started))s" \
  "(artefacts in ${artifacts#"$root/"})"
for name in "${failures[@]}"; do
  echo "  failed: $name"
done
[ "$failed" -eq 0 ]
