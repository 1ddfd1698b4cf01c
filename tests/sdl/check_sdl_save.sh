#!/bin/bash
# Saving the settings on the Linux edition, on a private X server: on a full disk (a tmpfs
# of its own) and with a link in the file's place the old Setup.ini stays whole and the
# settings window ends with 1 and says why; killed by strace at its flush or its rename it
# stays whole too (a save that works is the unit tests'). usage: check_sdl_save.sh PELLRUN
set -u
pellrun=$(realpath "$1") work=$(mktemp -d)
. "$(dirname "$0")/../support/checks.sh"
start_xvfb "$work" 1024x768
trap 'kill $xvfb_pid 2>/dev/null; rm -rf "$work"' EXIT
# Run-time files of its own: the killed runs leave their instance marker behind.
mkdir -m 700 "$work/run"
export DISPLAY=$display XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/run" \
    SDL_AUDIODRIVER=dummy
old='\002\001\001\001\001\001XX'  # a save makes it six bytes

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
# SIGKILL at the program's first flush, or at its first rename (kill_at:fsync in the table).
kill_at() {
    local call=$1; shift
    plain strace -f -qq -o /dev/null -e trace="$call" -e inject="$call":signal=KILL "$@"
}

as_wanted() { [ "$got" = "$code $want $left" ] && [[ "$line" == $says ]]; }
# Per case: exit status, the file's bytes, the number of new files left beside it (a killed
# run leaves its unnamed one) and what the program says on stderr ("*": a killed one says
# nothing, the shell does).
while read -r name code want left run says; do
    dir="$work/$name"
    mkdir -p "$dir/Data"
    printf "$old" >"$dir/Data/Setup.ini"
    [ "$name" = link ] && mv "$dir/Data/Setup.ini" "$dir/outside" && ln -s ../outside "$dir/Data/Setup.ini"
    (cd "$dir" && ${run/:/ } timeout 30 "$pellrun" /c >out 2>err) &
    pid=$!
    id=$(timeout 20 xdotool search --sync --name '^Pellrun' | head -n1)  # OK at (224, 295) of its window
    [ -n "$id" ] && xdotool mousemove --window "$id" 224 295 click 1
    wait $pid
    got="$? $(hex "$dir/after") $(grep -c '^Setup\.ini\.' "$dir/listing")"
    [ "$name" != link ] || [ -L "$dir/Data/Setup.ini" ] || got="$got, the link replaced"
    [ "$says" = '*' ] || says="pellrun: the settings were not saved: $dir/Data/Setup.ini: $says"
    line=$(cat "$dir/err")
    check "$name: exit, file, new files left: $got (want $code $want $left); said '$line'" as_wanted
done <<'CASES'
full   1   0201010101015858 0 full_disk      No space left on device
link   1   0201010101015858 0 plain          is a symbolic link
fsync  137 0201010101015858 1 kill_at:fsync  *
rename 137 0201010101015858 1 kill_at:rename *
CASES
[ $failures = 0 ] && echo ok
exit $((failures > 0))
