#!/bin/bash
# The packages flavour: builds the packages with scripts/package.sh and checks
# each as a user gets it:
#   - the Linux archive unpacked on a clean path: serves, stops on SIGTERM;
#   - the Windows installer in a fresh Wine prefix: silent install, files,
#     Start menu shortcut, installed-programs entry, a served request, an
#     upgrade that keeps the settings, a silent uninstall;
#   - the portable zip in another fresh prefix: serves, and writes nothing
#     outside its folder but the registry value (before/after listing);
#   - in a third fresh prefix, folders recorded by a copy since deleted: the
#     installer's /RUN and a newly unpacked portable copy still serve, and
#     the uninstaller forgets the folders it removes;
#   - the imports and version resources of every Windows binary.
# Logs and the prefix listings go to build/artifacts/packages/.
set -uo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
cd "$root"
checks="$root/tests/packages/check_packages.py"
artifacts="$root/build/artifacts/packages"
rm -rf "$artifacts"
mkdir -p "$artifacts"
work="$(mktemp -d "${TMPDIR:-/tmp}/orvi-packages.XXXXXX")"
trap 'rm -rf "$work"' EXIT

rm -rf dist
if ! scripts/package.sh; then
  echo "FAIL building the packages"
  exit 1
fi
echo "Package sizes:"
for file in dist/*; do
  printf '  %-42s %8d bytes (%s KiB)\n' "$(basename "$file")" "$(stat -c %s "$file")" \
    "$(($(stat -c %s "$file") / 1024))"
done

# Wine's menu entries and caches go into the run's own folders, not the user's.
export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_CACHE_HOME="$work/cache"
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

status=0
run() {
  local name="$1"
  shift
  echo
  echo "=== $name ==="
  "$@" 2>&1 | tee "$artifacts/$name.log"
  [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
}
run linux python3 "$checks" linux dist "$work/linux"
run imports python3 "$checks" imports dist "$work/imports"
run windows-installer scripts/wine-session.sh "$work/installer" \
  python3 "$checks" windows-installer dist "$work/installer/checks"
run windows-portable scripts/wine-session.sh "$work/portable" \
  python3 "$checks" windows-portable dist "$work/portable/checks"
run windows-moved scripts/wine-session.sh "$work/moved" \
  python3 "$checks" windows-moved dist "$work/moved/checks"
cp "$work"/portable/checks/prefix-*.txt "$work"/moved/checks/*.png "$artifacts/" 2> /dev/null
cp "$work"/*/checks/*.log "$work"/linux/*.log "$artifacts/" 2> /dev/null
exit $status
