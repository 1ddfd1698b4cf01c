#!/bin/bash
# Prepares a Wine prefix for running Pellrun.scr in tests: 64-bit, quiet, a virtual
# desktop of 1024 x 768 (keys arrive at once, closes are quick, display modes can
# change), the Japanese gothic font replacements and no audio driver.
#
# Usage: tests/wine/setup.sh <prefix-dir>
# Needs DISPLAY set to a running X server. Leaves a persistent wineserver running
# for the prefix; end it with `WINEPREFIX=<prefix-dir> wineserver -k`.
set -eu

prefix=${1:?usage: setup.sh <prefix-dir>}
mkdir -p "$prefix"
prefix=$(cd "$prefix" && pwd)

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
