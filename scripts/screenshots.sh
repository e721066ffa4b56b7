#!/usr/bin/env bash
# Takes a picture of each of the library's dialogs, as the gallery program
# shows them on sample data under Wine, and of two pages of the setup program,
# into docs/screenshots/. Not part of the tests: run it by hand after a
# Windows build when a dialog has changed.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }
# ImageMagick cuts the windows out of the screen.
command -v import >/dev/null || as_root apt-get install -y -q --no-install-recommends imagemagick
# xdotool presses the setup program's buttons.
command -v xdotool >/dev/null || as_root apt-get install -y -q --no-install-recommends xdotool

build=build/windows
[ -x "$build/bin/gallery.exe" ] && [ -f "$build/TessalySetup.exe" ] ||
  { cmake --preset windows >/dev/null && cmake --build --preset windows --target gallery TessalySetup wineprefix; }
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

# The setup program, in a prefix of its own with the HotSync Manager's
# libraries: the folder page, then the steps once the installation is done.
wineserver -k
prefix=$(mktemp -d)
cp -a "$build/wineprefix/." "$prefix"
cp "$build/bin/CONDMGR.dll" "$build/bin/HSAPI.dll" "$prefix/drive_c/windows/system32/"
export WINEPREFIX=$prefix
trap 'kill $xvfb 2>/dev/null; wineserver -k 2>/dev/null || true; rm -rf "$prefix"' EXIT
wineserver -p
wine wineboot </dev/null >/dev/null 2>&1
wine "$build/TessalySetup.exe" </dev/null >/dev/null 2>&1 &
pid=$!
shot() {
  local win
  win=$(xdotool search --name "Tessaly" | head -1)
  eval "$(xdotool getwindowgeometry --shell "$win")"
  import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$out/$1.png"
  echo "screenshots: $out/$1.png"
}
sleep 5; xdotool key Return      # welcome page -> folder page
sleep 2; shot setup-folder
xdotool key Return; sleep 8      # install; the steps stay on screen
shot setup-progress
xdotool key Return; sleep 1; xdotool key Return   # finish page, then close
wait $pid || true

# The memo view inside Palm Desktop's stand-in, played by xdotool.
wineserver -k 2>/dev/null || true
./scripts/desktop.sh --shots "$out"
