#!/bin/sh
# The Linux edition on a private X server: an over-long command line starts nothing; a key
# ends the saver, gone within 300 ms, or within a second with a Snd0.dat (played as it ends)
# that is a FIFO (whose open waits for a writer), a wave of a minute or of two minutes at 1 Hz.
# usage: check_sdl_input.sh PELLRUN
set -eu
pellrun=$1
support=$(cd "$(dirname "$0")/../support" && pwd)
. "$support/checks.sh"
work=$(mktemp -d) && mkdir "$work/Data"
start_xvfb "$work" 1024x768
saver=
trap 'kill $xvfb_pid 2>/dev/null; [ -n "$saver" ] && kill $saver 2>/dev/null; rm -rf "$work"' EXIT
export DISPLAY=$display XDG_CONFIG_HOME="$work/config" SDL_AUDIODRIVER=dummy
cd "$work"
fail() { echo "FAIL: $*"; exit 1; }

long=$(head -c 5000 /dev/zero | tr '\0' x)
timeout 10 "$pellrun" "/c$long" || fail "an over-long command line did not end at once"
[ -z "$(find "$work" -name Setup.ini)" ] || fail "an over-long command line wrote settings"

# keyed_end <most ms>: a saver here, keyed, ends in time.
keyed_end() {
    "$pellrun" /s &
    saver=$!
    sleep 2
    xdotool key space
    ends $saver "$1" || fail "the process lived over $1 ms after the key"
    { kill $saver; wait $saver; } 2>/dev/null || true
    saver=
}
keyed_end 300
mkfifo Data/Snd0.dat
keyed_end 1000
for wave in "60 8000" "120 1"; do
    python3 "$support/wave.py" $wave >Data/Snd0.wav && mv Data/Snd0.wav Data/Snd0.dat
    keyed_end 1000
done
echo ok
