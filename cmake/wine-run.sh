#!/usr/bin/env bash
# Runs one Windows program under Wine in the build tree's own prefix, with the
# Japanese ANSI code page. CTest uses this as the cross-compiling emulator.
set -u
here=$(cd "$(dirname "$0")" && pwd)
exe=$1; shift
dir=$(cd "$(dirname "$exe")" && pwd)
# The prefix lives in the build tree that holds the program (build/<preset>/).
tree=$dir
while [ "$tree" != / ] && [ ! -f "$tree/CMakeCache.txt" ]; do tree=$(dirname "$tree"); done
export WINEPREFIX="${TESSALY_WINEPREFIX:-$tree/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
if [ ! -f "$WINEPREFIX/.tessaly-ready" ]; then
  echo "wine-run: no Wine prefix at $WINEPREFIX; build the 'wineprefix' target first" >&2
  exit 125
fi
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" wine "$exe" "$@"
fi
exec wine "$exe" "$@"
