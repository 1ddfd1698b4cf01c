#!/bin/bash
# Usage: tests/wine/setup.sh <prefix-dir>, with DISPLAY set and a UTF-8 locale: a quiet
# 64-bit Wine prefix for the tests, a 1024 x 768 virtual desktop (keys arrive at once, closes
# are quick, display modes can change), Japanese gothic font replacements, no audio driver.
# Leaves the prefix's wineserver running (end it with WINEPREFIX=<prefix-dir> wineserver -k).
set -eu

mkdir -p "${1:?usage: setup.sh <prefix-dir>}"
prefix=$(cd "$1" && pwd)

export WINEPREFIX="$prefix" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
log="$prefix/setup.log"

wineserver -p
wine wineboot -i >"$log" 2>&1

set_wine() { wine reg add "HKCU\\Software\\Wine\\$1" /v "$2" /d "$3" /f >>"$log" 2>&1; }
set_wine Explorer Desktop Default
set_wine 'Explorer\Desktops' Default 1024x768
set_wine 'Fonts\Replacements' 'ＭＳ ゴシック' IPAGothic
set_wine 'Fonts\Replacements' '‚l‚r ƒSƒVƒbƒN' IPAGothic  # the name read as code page 1252
set_wine Drivers Audio ''

# Restart the server so the desktop reads the new settings.
wineserver -k || true
wineserver -w || true
wineserver -p
