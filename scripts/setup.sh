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
  wine32:i386
)

sudo_cmd=""
[ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
# The Windows 95/98 program runs under 32-bit Wine, which Debian builds for its i386 architecture.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "setup: adding the i386 architecture for 32-bit Wine"
  $sudo_cmd dpkg --add-architecture i386
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
for wine in /usr/lib/wine/wine64 /usr/lib/wine/wine; do
  [ -x "$wine" ] || { echo "setup: $wine is missing" >&2; exit 1; }
done
echo "setup: all packages present"
