#!/bin/bash
# Builds the release packages and leaves them in dist/:
#   OrviHTTP-<version>-setup.exe          Windows installer (per user, no admin rights)
#   OrviHTTP-<version>-portable.zip       Windows, runs from any writable folder
#   OrviHTTP-<version>-linux-x86_64.tar.gz  Linux, with a systemd user unit
# It builds in the linux and windows preset folders (RelWithDebInfo; cpack
# strips the binaries), so a test run that already built them costs little.
#   scripts/package.sh [linux|windows]...   (default: both)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
jobs="${ORVI_JOBS:-$(nproc)}"
platforms=("$@")
[ ${#platforms[@]} -eq 0 ] && platforms=(linux windows)

mkdir -p dist
for platform in "${platforms[@]}"; do
  case "$platform" in
    linux) targets=(Trellan OrviHTTP orvihttp-dir orvihttp-users) ;;
    windows)
      targets=(Trellan OrviHTTP orvihttp-dir orvihttp-users trellan-quit)
      command -v makensis > /dev/null || {
        echo "package.sh: makensis is missing (scripts/setup-debian.sh installs nsis)" >&2
        exit 1
      }
      ;;
    *) echo "package.sh: unknown platform $platform" >&2; exit 2 ;;
  esac
  echo "== $platform packages"
  log="$(mktemp)"
  if ! { cmake --preset "$platform" && cmake --build --preset "$platform" -j"$jobs" --target "${targets[@]}" &&
    (cd "build/$platform" && cpack -C RelWithDebInfo); } > "$log" 2>&1; then
    cat "$log" >&2
    rm -f "$log"
    echo "package.sh: building the $platform packages failed" >&2
    exit 1
  fi
  grep -E 'package: .* generated' "$log" | sed 's/^CPack: - package: /  /'
  rm -f "$log"
done
rm -rf dist/_CPack_Packages
ls -l dist/ | sed 1d
