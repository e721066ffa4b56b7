#!/usr/bin/env bash
# Takes a picture of each of the library's dialogs, as the gallery program
# shows them on sample data under Wine, into docs/screenshots/. Not part of
# the tests: run it by hand after a Windows build when a dialog has changed.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }
# ImageMagick cuts the windows out of the screen.
command -v import >/dev/null || as_root apt-get install -y -q --no-install-recommends imagemagick

build=build/windows
[ -x "$build/bin/gallery.exe" ] || { cmake --preset windows >/dev/null && cmake --build --preset windows --target gallery wineprefix; }
out=docs/screenshots
mkdir -p "$out"

display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=$display WINEPREFIX=$PWD/$build/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
trap 'kill $xvfb 2>/dev/null; wineserver -k 2>/dev/null || true' EXIT
wineserver -p
wine wineboot </dev/null >/dev/null 2>&1

tmp=$(mktemp -d)
for name in password categories category-name delete-category columns gallery; do
  rect=$tmp/$name.rect
  # The rectangle file's name goes to Wine as a Windows path.
  wine "$build/bin/gallery.exe" --shot "$name" "Z:${rect//\//\\}" </dev/null >/dev/null 2>&1 &
  pid=$!
  for _ in $(seq 50); do [ -s "$rect" ] && break; sleep 0.2; done
  if [ -s "$rect" ]; then
    read -r x y w h < <(tr -d '\r' <"$rect")
    import -window root -crop "${w}x${h}+${x}+${y}" +repage "$out/$name.png"
    echo "screenshots: $out/$name.png"
  else
    echo "screenshots: $name did not show" >&2
  fi
  wait $pid || true
done
rm -rf "$tmp"
