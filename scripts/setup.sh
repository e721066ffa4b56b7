#!/usr/bin/env bash
# Installs what the build and the tests need on Debian 12, only what is
# missing, so that running it again costs nothing.
set -euo pipefail
as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }
export DEBIAN_FRONTEND=noninteractive

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev python3
  googletest libgtest-dev libbenchmark-dev libssl-dev
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-i686-dev mingw-w64-tools
  wine wine32:i386 libwine-dev xvfb xauth fonts-ipafont-gothic locales nsis
)

updated=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  as_root dpkg --add-architecture i386
  as_root apt-get update -q
  updated=1
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  [ $updated = 1 ] || as_root apt-get update -q
  as_root apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# Wine runs the Japanese user interface in code page 932.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  as_root localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
fi
