#!/usr/bin/env bash
# Builds both presets and runs every test: natively (with ASan and UBSan,
# fuzzers for a bounded time) and for 32-bit Windows under Wine.
set -uo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh || exit 1
jobs=$(nproc)
for preset in native windows; do
  cmake --preset "$preset" >/dev/null || exit 1
  cmake --build --preset "$preset" -j "$jobs" || exit 1
done

# One X server for all Windows tests.
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; wineserver -k 2>/dev/null' EXIT
export DISPLAY=$display
# A persistent Wine server saves its start-up at every test program. Its
# service processes start now, with no pipe of CTest's open, or CTest would
# wait for them to close it.
export WINEPREFIX=$PWD/build/windows/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wineserver -p
LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8 wine wineboot </dev/null >/dev/null 2>&1

status=0
ctest --preset native -j "$jobs" || status=1
# Windows tests run one at a time: their windows share one desktop and focus.
ctest --preset windows || status=1
exit $status
