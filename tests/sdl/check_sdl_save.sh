#!/bin/bash
# Saving the settings on the Linux edition, on a private X server. A save that cannot
# finish leaves the old Setup.ini whole and ends the settings screen with 1 and one line
# on stderr: a full disk (a small tmpfs of its own, filled up), a link in the file's place
# (its target untouched); a kill just before the new file takes the name (strace stops
# the program at its flush, or at the move) leaves it whole too. A save that works
# replaces the file. usage: check_sdl_save.sh PELLRUN
set -u
pellrun=$(realpath "$1")
work=$(mktemp -d)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
# Run-time files of its own: the killed runs leave their instance marker behind.
mkdir -m 700 "$work/run"
export DISPLAY=:$(cat "$work/display") XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/run" SDL_AUDIODRIVER=dummy
failures=0
old='\002\001\001\001\001\001XX'  # a save makes it six bytes
hex() { od -An -tx1 "$1" 2>/dev/null | tr -d ' \n'; }

# Wrappers of the program's run in the case's folder: each copies Setup.ini to ./after
# and lists Data in ./listing.
plain() { "$@"; local code=$?; cp Data/Setup.ini after; ls Data >listing; return $code; }
# Data on a tmpfs of its own, filled up, in a mount namespace (a user namespace when not root).
full_disk() {
    local ns=(unshare -m); [ "$(id -u)" = 0 ] || ns=(unshare -rm)
    "${ns[@]}" sh -c 'mount -t tmpfs -o size=64k tmpfs Data && printf "$0" >Data/Setup.ini &&
        { cat /dev/zero >Data/fill; } 2>/dev/null; "$@"; code=$?; cp Data/Setup.ini after; ls Data >listing
        exit $code' "$old" "$@"
}
# SIGKILL at the program's first flush, or at its first rename.
kill_at() {
    local call=$1; shift
    plain strace -f -qq -o /dev/null -e trace="$call" -e inject="$call":signal=KILL "$@"
}
kill_at_fsync() { kill_at fsync "$@"; }
kill_at_rename() { kill_at rename "$@"; }
# The settings window's OK button, at (224, 295) of its client area.
press_ok() {
    local id; id=$(timeout 20 xdotool search --sync --name '^Pellrun' | head -n1)
    [ -n "$id" ] && xdotool mousemove --window "$id" 224 295 click 1
}

# The program's last words and the new file: after a kill only the shell speaks, and the
# new file is left without the name; otherwise no new file is left, and only a failure speaks.
said_right() {
    [ "$code" = 137 ] && return 0
    [ "$left" = 0 ] || return 1
    if [ "$says" = - ]; then [ -z "$line" ]; else
        [ "$line" = "pellrun: the settings were not saved: $dir/Data/Setup.ini: $says" ]; fi
}

while read -r name code want run says; do
    dir="$work/$name"
    mkdir -p "$dir/Data"
    printf "$old" >"$dir/Data/Setup.ini"
    [ "$name" = link ] && mv "$dir/Data/Setup.ini" "$dir/outside" && ln -s ../outside "$dir/Data/Setup.ini"
    (cd "$dir" && $run timeout 30 "$pellrun" /c >out 2>err) &
    pid=$!
    press_ok
    wait $pid
    got=$?
    [ "$name" != link ] || [ -L "$dir/Data/Setup.ini" ] || got="$got (the link was replaced)"
    line=$(cat "$dir/err")
    left=$(grep -c '^Setup\.ini\.' "$dir/listing")
    if [ "$got" = "$code" ] && [ "$(hex "$dir/after")" = "$want" ] &&
        said_right; then
        echo "ok: $name"
    else
        echo "FAIL: $name: exit $got (want $code), file $(hex "$dir/after") (want $want), $left left, said '$line'"
        failures=$((failures + 1))
    fi
done <<'CASES'
saved  0   020101010101     plain          -
full   1   0201010101015858 full_disk      No space left on device
link   1   0201010101015858 plain          is a symbolic link
fsync  137 0201010101015858 kill_at_fsync  -
rename 137 0201010101015858 kill_at_rename -
CASES
[ $failures = 0 ] && echo ok
exit $((failures > 0))
