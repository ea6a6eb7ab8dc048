#!/usr/bin/env bash
# Installs every package Torvane's build, run and tests need (Debian). Safe to run again.
set -euo pipefail

packages=(
  cmake ninja-build python3
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-win32 binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
  googletest g++
  clang libclang-rt-dev
  zlib1g-dev libz-mingw-w64-dev
  clamav-daemon clamdscan
  wine64 fonts-wine xvfb xauth
  nsis imagemagick
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
[ -x /usr/lib/wine/wine64 ] || { echo "setup: /usr/lib/wine/wine64 is missing" >&2; exit 1; }
echo "setup: all packages present"
