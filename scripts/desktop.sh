#!/usr/bin/env bash
# The memo view as a person meets it: builds the Windows deliverables, sets up
# a Wine prefix of its own in the build tree as a PC with Palm Desktop and the
# HotSync Manager (their stand-ins), installs Tessaly with its setup program,
# makes a sample handheld from samples/memos.txt, runs the first HotSync
# operation for the user "Hanako" and opens Palm Desktop on that user with
# the Tessaly view. Type the sample password (samples/password.txt).
#
# With no X display it runs on a virtual one, photographs the window to
# build/windows/desktop.png and closes it again.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
cmake --preset windows >/dev/null
cmake --build --preset windows --target TessalySetup desktop PalmAddOn hotsync handheld CONDMGR HSAPI wineprefix

build=build/windows
bin=$PWD/$build/bin
prefix=$PWD/$build/desktop-prefix
user=Hanako
rm -rf "$prefix"
cp -a "$build/wineprefix" "$prefix"

shot=""
if [ -z "${DISPLAY:-}" ]; then
  display=:$((90 + RANDOM % 100))
  Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  export DISPLAY=$display
  shot=$build/desktop.png
fi
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
trap 'wineserver -k 2>/dev/null || true; [ -z "${xvfb:-}" ] || kill "$xvfb" 2>/dev/null || true' EXIT
wineserver -p
wine wineboot </dev/null >/dev/null 2>&1
# The tests share the build's prefix and may have left settings behind.
for key in 'HKCU\Software\Norvane' 'HKCU\Software\PalmDesktopStandIn' 'HKCU\Software\HotSync'; do
  wine reg delete "$key" /f >/dev/null 2>&1 || true
done

# The host's software, as the user has it before Tessaly is installed.
system32=$prefix/drive_c/windows/system32
cp "$bin/CONDMGR.dll" "$bin/HSAPI.dll" "$bin/PalmAddOn.dll" "$system32/"
wine regsvr32 /s 'C:\windows\system32\PalmAddOn.dll'

echo "== Installing Tessaly (TessalySetup.exe /S) =="
wine "$build/TessalySetup.exe" /S </dev/null

echo "== The handheld, and the first HotSync operation for $user =="
handheld_dir=$prefix/drive_c/handheld
mkdir -p "$handheld_dir"
source scripts/lib/sample-handheld.sh
make_sample_handheld 'C:\handheld' wine "$bin/handheld.exe"
wine "$bin/hotsync.exe" sync --user "$user" --handheld 'C:\handheld' --desktop 'C:\Palm' </dev/null

echo "== Palm Desktop on $user, with the Tessaly view; the password is: $(cat samples/password.txt) =="
wine "$bin/desktop.exe" --user "$user" --root 'C:\Palm' --handheld 'C:\handheld' --addon Tessaly </dev/null &
desktop=$!
if [ -n "$shot" ]; then
  sleep 8
  command -v import >/dev/null && import -window root "$shot" && echo "desktop: $shot"
  kill "$desktop" 2>/dev/null || true
fi
wait "$desktop" 2>/dev/null || true
