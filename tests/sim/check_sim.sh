#!/bin/sh
# pellrun-sim across the tick count's wrap and with the data folder's own settings.
# usage: check_sim.sh PELLRUN_SIM DATA_DIR
set -eu
sim=$1
data=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

# The same meeting, started anywhere in the last minute before the wrap, prints the
# same lines and takes the same virtual time.
run() { "$sim" --seed 7 --races 2 --json --data "$data" "$@" >"$work/out" 2>"$work/err"; cat "$work/out" "$work/err"; }
run >"$work/reference"
[ "$(grep -c '"race"' "$work/reference")" = 2 ] || fail "no reference races"
for tick in 4294907296 4294967000 4294967295; do
    run --tick $tick >"$work/wrapped"
    cmp -s "$work/reference" "$work/wrapped" || { diff "$work/reference" "$work/wrapped"; fail "--tick $tick"; }
done

# Out-of-range values in the data folder's Setup.ini (interval 100, speed -1) give a
# meeting that runs and ends; the command line's speed overrides the file's.
mkdir "$work/data"
ln -s "$data"/*.dat "$work/data/"
printf '\002\377\144\001\001\001' >"$work/data/Setup.ini"
timeout 300 "$sim" --seed 7 --races 1 --json --data "$work/data" >"$work/out" 2>"$work/err" || fail "file settings"
grep -q '"race":1' "$work/out" || fail "no race with the file's settings"
# 101 minutes of board, then a race at 10 ms frames.
grep -Eq 'in (60[6-9][0-9]|6[1-9][0-9][0-9])\.' "$work/err" || { cat "$work/err"; fail "interval 100 not used"; }
timeout 300 "$sim" --seed 7 --races 1 --speed 4 --data "$work/data" 2>"$work/err4" >/dev/null || fail "override"
[ "$(cat "$work/err4")" != "$(cat "$work/err")" ] || fail "--speed did not override the file"
echo ok
