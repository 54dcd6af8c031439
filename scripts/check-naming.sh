#!/bin/bash
# Checks the names of the program's own code (not tests) against the rules of
# CONTRIBUTING.md with clang-tidy, using the compile commands of a native
# build, and of a Windows build for the Windows files when one is given.
# Usage: scripts/check-naming.sh <native build folder> [<windows build folder>]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
native="$(cd "${1:?native build folder}" && pwd)"
windows="${2:+$(cd "$2" && pwd)}"
tidy="$(command -v clang-tidy || command -v clang-tidy-14 || true)"
if [ -z "$tidy" ]; then
  echo "check-naming: clang-tidy is not installed" >&2
  exit 1
fi
cd "$root"
report="$native/naming-report.txt"
sources() { git ls-files 'host/*.cpp' 'foundation/*.cpp' 'desktop/*.cpp' 'orvihttp/*.cpp' 'tools/*.cpp'; }

# Headers are checked through the files that include them.
mapfile -t portable < <(sources | grep -v '_win32\.cpp$')
printf '%s\n' "${portable[@]}" | xargs -P "$(nproc)" -n 8 "$tidy" -p "$native" --quiet 2>/dev/null |
  grep -E 'warning:|error:' >"$report" || true
checked=${#portable[@]}

if [ -n "$windows" ]; then
  # clang reads the cross build's commands for the mingw-w64 target; it only
  # needs to be told where that compiler keeps its C++ headers.
  cxx="$(ls -d /usr/lib/gcc/x86_64-w64-mingw32/*-posix/include/c++ | head -1)"
  mapfile -t win32 < <(sources | grep '_win32\.cpp$')
  printf '%s\n' "${win32[@]}" | xargs -P "$(nproc)" -n 8 "$tidy" -p "$windows" --quiet \
    --extra-arg=--target=x86_64-w64-mingw32 --extra-arg=-isystem"$cxx" \
    --extra-arg=-isystem"$cxx/x86_64-w64-mingw32" 2>/dev/null |
    grep -E 'warning:|error:' | grep -v 'unknown argument' >>"$report" || true
  checked=$((checked + ${#win32[@]}))
fi

sort -u -o "$report" "$report"
if [ -s "$report" ]; then
  cat "$report"
  echo "check-naming: $(wc -l <"$report") names break the rules of CONTRIBUTING.md" >&2
  exit 1
fi
echo "check-naming: $checked files follow the naming rules"
