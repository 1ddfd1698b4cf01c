#!/bin/sh
# pellrun-sim across the tick count's wrap and with the data folder's own settings; its
# progress line on a terminal; --from.
# usage: check_sim.sh PELLRUN_SIM DATA_DIR
set -eu
sim=$1 data=$2
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

# Songs and effects of 2 GB (sparse, a valid song's header) are refused (unread, as the
# unit tests see) and leave the same meeting.
mkdir "$work/huge"
printf 'MThd\0\0\0\6\0\0\0\1\0\140MTrk\177\377\377\352\0\377\57\0' >"$work/huge/song"
truncate -s 2G "$work/huge/song"
for f in "$data"/*.dat; do ln -s "$work/huge/song" "$work/huge/${f##*/}"; done
run --data "$work/huge" | cmp -s "$work/reference" - || fail "the meeting differs with 2 GB files"

# Out-of-range values in the data folder's Setup.ini (interval 100, speed -1) give a
# meeting that runs and ends; the command line's speed overrides the file's.
mkdir "$work/data" && ln -s "$data"/*.dat "$work/data/"
printf '\002\377\144\001\001\001' >"$work/data/Setup.ini"
timeout 300 "$sim" --seed 7 --races 1 --json --data "$work/data" >"$work/out" 2>"$work/err" || fail "file settings"
grep -q '"race":1' "$work/out" || fail "no race with the file's settings"
# 101 minutes of board, then a race at 10 ms frames.
grep -Eq 'in (60[6-9][0-9]|6[1-9][0-9][0-9])\.' "$work/err" || { cat "$work/err"; fail "interval 100 not used"; }
timeout 300 "$sim" --seed 7 --races 1 --speed 4 --data "$work/data" 2>"$work/err4" >/dev/null || fail "override"
[ "$(cat "$work/err4")" != "$(cat "$work/err")" ] || fail "--speed did not override the file"

# On a terminal a long run shows its progress on one line and takes it away before each
# record and at the end; what is left is what a script sees, which gets no progress.
"$sim" --seed 7 --races 30 --json --data "$data" >"$work/out" 2>"$work/err" || fail "plain long run"
script -qec "'$sim' --seed 7 --races 30 --json --data '$data'" /dev/null >"$work/tty" || fail "run on a terminal"
grep -q "$(printf '\rframes [0-9]*  [0-9:]*\.[0-9] virtual  [0-9]* %%  about [0-9:]* left')" "$work/tty" ||
    fail "no progress line on the terminal"
sed "s/$(printf '\r')frames [^$(printf '\r')]*//g; s/$(printf '\r') *$(printf '\r')//g; s/$(printf '\r')\$//" \
    "$work/tty" >"$work/seen"
cat "$work/out" "$work/err" | cmp -s - "$work/seen" || fail "the terminal keeps more than a script sees"
! grep -q "$(printf '\r')" "$work/err" || fail "progress written without a terminal"

# --from: the frames of the last three seconds, and exactly those.
"$sim" --seed 7 --seconds 6 --frames "$work/all" --data "$data" 2>/dev/null || fail "frames"
"$sim" --seed 7 --seconds 6 --from 3 --frames "$work/tail" --data "$data" 2>/dev/null || fail "--from"
all=$(ls "$work/all" | wc -l) tail=$(ls "$work/tail" | wc -l)
[ "$tail" -gt 10 ] && [ "$tail" -lt $((all - 10)) ] &&
    cmp -s "$work/tail/frame-000000.png" "$work/all/$(printf 'frame-%06d.png' $((all - tail)))" ||
    fail "--from 3 gave $tail of $all frames, not the last ones"
echo ok
