#!/bin/bash
# Installs what a fresh Debian 12 machine lacks to build and test every
# flavour. Safe to run again: it only installs what is missing.
set -euo pipefail
packages=(
  cmake ninja-build g++ clang clang-tidy libclang-rt-14-dev
  g++-mingw-w64-x86-64-posix wine wine64 xvfb xauth x11-utils imagemagick
  googletest libgtest-dev php-cgi curl wget python3 binutils chromium
  nsis zip unzip file
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
