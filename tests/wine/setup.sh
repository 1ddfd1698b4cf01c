#!/bin/bash
# Usage: tests/wine/setup.sh <prefix-dir>, with DISPLAY set: a quiet 64-bit Wine prefix for
# the tests, a 1024 x 768 virtual desktop (keys arrive at once, closes are quick, display
# modes can change), Japanese gothic font replacements, no audio driver. Leaves the
# prefix's wineserver running (end it with WINEPREFIX=<prefix-dir> wineserver -k).
set -eu

mkdir -p "${1:?usage: setup.sh <prefix-dir>}"
prefix=$(cd "$1" && pwd)

export WINEPREFIX="$prefix" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
log="$prefix/setup.log"

wineserver -p
wine wineboot -i >"$log" 2>&1

# wine reg import wants UTF-16 with a byte-order mark.
reg="$prefix/pellrun-test.reg"
{
    printf '\xff\xfe'
    sed 's/$/\r/' <<'REG' | iconv -f UTF-8 -t UTF-16LE
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\Wine\Explorer]
"Desktop"="Default"

[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]
"Default"="1024x768"

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"ＭＳ ゴシック"="IPAGothic"
"‚l‚r ƒSƒVƒbƒN"="IPAGothic"

[HKEY_CURRENT_USER\Software\Wine\Drivers]
"Audio"=""
REG
} >"$reg"
wine reg import "$reg" >>"$log" 2>&1

# Restart the server so the desktop reads the new settings.
wineserver -k || true
wineserver -w || true
wineserver -p
