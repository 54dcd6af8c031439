#!/bin/bash
# Installs what a fresh Debian 12 machine lacks to build and test every
# flavour. Safe to run again: it only installs what is missing.
set -euo pipefail
packages=(
  cmake ninja-build g++ clang clang-tidy libclang-rt-14-dev
  g++-mingw-w64-x86-64-posix wine wine64 xvfb xauth x11-utils imagemagick
  googletest libgtest-dev php-cgi curl wget python3 binutils chromium
  nsis zip unzip file libnss3-tools python3-selenium chromium-driver
  zlib1g-dev libz-mingw-w64-dev patch
)
missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  echo "Installing: ${missing[*]}"
  $sudo_cmd apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y --no-install-recommends "${missing[@]}"
fi

# mbedTLS 3.6 for both builds. Debian 12 ships only the 2.28 line and has no
# mingw-w64 build of any TLS library, so the build compiles mbedTLS itself
# from Debian's source package of the current stable release. The entry for
# it lists sources only: no binary package of that release can be installed
# through it. apt checks the release's signature and the files' checksums.
mbedtls_root=/usr/local/src/orvi-mbedtls
mbedtls_sources=/etc/apt/sources.list.d/orvi-mbedtls-src.sources
if [ ! -f "$mbedtls_root/source/include/mbedtls/build_info.h" ]; then
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  if ! dpkg-query -W -f='${Status}' dpkg-dev 2>/dev/null | grep -q "install ok installed"; then
    $sudo_cmd apt-get update
    DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y --no-install-recommends dpkg-dev
  fi
  if [ ! -f "$mbedtls_sources" ]; then
    printf '%s\n' 'Types: deb-src' 'URIs: http://deb.debian.org/debian' 'Suites: trixie' \
      'Components: main' 'Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg' |
      $sudo_cmd tee "$mbedtls_sources" >/dev/null
    $sudo_cmd apt-get update
  fi
  $sudo_cmd mkdir -p "$mbedtls_root"
  $sudo_cmd rm -rf "$mbedtls_root/download" "$mbedtls_root/source.new"
  $sudo_cmd mkdir -p "$mbedtls_root/download"
  # apt fetches as its own user where it can, which needs to write here.
  if id _apt >/dev/null 2>&1; then $sudo_cmd chown _apt "$mbedtls_root/download"; fi
  # Only the 3.x line will do; the trixie entry is the only one offering it.
  (cd "$mbedtls_root/download" && $sudo_cmd apt-get source --download-only 'mbedtls/trixie')
  orig="$(ls "$mbedtls_root"/download/mbedtls_3.*.orig.tar.* | head -1)"
  $sudo_cmd mkdir -p "$mbedtls_root/source.new"
  $sudo_cmd tar -xf "$orig" -C "$mbedtls_root/source.new" --strip-components=1
  # Unpacked in full first, then put in place, so a broken run leaves no half tree.
  $sudo_cmd rm -rf "$mbedtls_root/source"
  $sudo_cmd mv "$mbedtls_root/source.new" "$mbedtls_root/source"
  echo "mbedTLS source: $(basename "$orig") in $mbedtls_root/source"
fi
