#!/usr/bin/env bash
# Creates the build tree's Wine prefix once: Japanese font replacements, no
# crash dialog, no Mono/Gecko prompts. Tests never create it lazily.
set -eu
prefix=$1
# The stamp names this script's checksum, so a changed set-up makes a new prefix.
stamp=$(cksum < "$0" | cut -d' ' -f1)
[ "$(cat "$prefix/.tessaly-ready" 2>/dev/null)" = "$stamp" ] && exit 0
rm -rf "$prefix"
mkdir -p "$prefix"
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
run() { if [ -z "${DISPLAY:-}" ]; then xvfb-run -a wine "$@"; else wine "$@"; fi; }
run wineboot --init
wineserver -w
key='HKCU\Software\Wine\Fonts\Replacements'
for face in "MS UI Gothic" "ＭＳ Ｐゴシック" "MS PGothic" "MS Shell Dlg" "MS Shell Dlg 2"; do
  run reg add "$key" /v "$face" /t REG_SZ /d "IPAPGothic" /f >/dev/null
done
for face in "ＭＳ ゴシック" "MS Gothic"; do
  run reg add "$key" /v "$face" /t REG_SZ /d "IPAGothic" /f >/dev/null
done
run reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null
# Xvfb has no window manager: unmanaged windows spare Wine a wait at every hide.
run reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null
wineserver -w
echo "$stamp" > "$prefix/.tessaly-ready"
