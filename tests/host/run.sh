#!/usr/bin/env bash
# The Linux edition as installed software, end to end: builds the Debian package from a
# configured build tree, checks it with lintian, unpacks it into a scratch root, and runs
# the real xscreensaver in Xvfb as a plain user with the installed hack. Checks by
# screenshot that the race board comes up filled, that deactivating ends the hack
# cleanly, that the options the configuration file offers reach the program, and that a
# preview-sized and a 3840 x 2160 screen show the whole picture.
#
# usage: tests/host/run.sh BUILD_DIR [SCREENS_DIR]
set -uo pipefail
build=$(cd "${1:?build directory}" && pwd)
screens=${2:-}
here=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d /tmp/pellrun-host.XXXXXX)
chmod 755 "$work"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }
xpid=""
cleanup() {
  [ -n "$xpid" ] && kill "$xpid" 2>/dev/null && wait "$xpid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# ---- The package ------------------------------------------------------------------------
(cd "$build" && cpack -G DEB > "$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; fail "cpack"; exit 1; }
deb=$(ls -t "$build"/pellrun_*.deb | head -1)
echo "package: $deb ($(stat -c %s "$deb") bytes)"
dpkg-deb -f "$deb" Depends
lintian --fail-on error --tag-display-limit 0 "$deb" > "$work/lintian.log" 2>&1
status=$?
cat "$work/lintian.log"
[ $status -eq 0 ] && pass "lintian reports no errors" || fail "lintian errors"
dpkg-deb -c "$deb" > "$work/contents"
for path in usr/bin/pellrun usr/bin/pellrun-sim usr/libexec/xscreensaver/pellrun \
            usr/share/xscreensaver/config/pellrun.xml usr/share/pellrun/Bgm0.dat \
            usr/share/man/man6/pellrun.6.gz usr/share/applications/pellrun.desktop \
            usr/share/icons/hicolor/48x48/apps/pellrun.png; do
  grep -q " ./$path" "$work/contents" || fail "package lacks $path"
done

# A scratch root: the installed layout without touching the machine.
root="$work/root"
dpkg-deb -x "$deb" "$root"
hack="$root/usr/libexec/xscreensaver/pellrun"

# ---- A plain user ----------------------------------------------------------------------
# xscreensaver launches no hacks for root.
if [ "$(id -u)" -eq 0 ]; then
  user=pellrun-host-test
  id "$user" > /dev/null 2>&1 || useradd --no-create-home --shell /bin/sh "$user"
  as_user() { runuser -u "$user" -- env "$@"; }
else
  user=$(id -un)
  as_user() { env "$@"; }
fi
home="$work/home"
runtime="$work/run"
mkdir -p "$home" "$runtime"
chmod 700 "$runtime"
chown -R "$user" "$home" "$runtime" 2>/dev/null

# Starts Xvfb at $1 (WxH) with access for every local client; sets $display.
start_x() {
  rm -f "$work/display"
  Xvfb -displayfd 3 -screen 0 "$1x24" -ac -nolisten tcp -noreset 3> "$work/display" 2> /dev/null &
  xpid=$!
  for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
  display=":$(cat "$work/display")"
}
stop_x() { kill "$xpid" 2>/dev/null; wait "$xpid" 2>/dev/null; xpid=""; }
shot() { DISPLAY=$display xwd -root -silent | convert xwd:- "png:$1"; }
# The user's environment for the host and the hack.
user_env() {
  echo DISPLAY="$display" HOME="$home" XDG_RUNTIME_DIR="$runtime" XDG_CONFIG_HOME="$home/.config" \
       SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$runtime/audio.raw" PATH=/usr/bin:/bin
}
# True when the disk audio driver wrote something other than silence.
sound_heard() { [ -s "$runtime/audio.raw" ] && [ "$(tr -d '\0' < "$runtime/audio.raw" | head -c 1 | wc -c)" -gt 0 ]; }
# CPU ticks (user + system) of a process so far.
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat" 2>/dev/null || echo 0; }
hack_pids() { pgrep -u "$user" -f "^$hack" | tr '\n' ' '; }

# The fraction of pixels in a region (WxH+X+Y) that are not black, in percent, and the
# number of colours there.
filled() { convert "$1" -crop "$2" +repage -fill white +opaque black -format '%[fx:int(mean*100)]' info:; }
colours() { convert "$1" -crop "$2" +repage -format '%k' info:; }

# The command line the settings dialog builds from the configuration file for a choice
# of values: speed 5, interval 1, music off, text smoothing off.
xml="$root/usr/share/xscreensaver/config/pellrun.xml"
options=""
for id in speed interval; do
  arg=$(sed -n "/id=\"$id\"/,/\/>/p" "$xml" | sed -n 's/.*arg="\([^"]*\)".*/\1/p')
  [ "$id" = speed ] && value=5 || value=1
  options="$options ${arg/\%/$value}"
done
for id in music smooth; do
  options="$options $(sed -n "s/.*id=\"$id\".*arg-unset=\"\([^\"]*\)\".*/\1/p" "$xml")"
done
base=$(sed -n 's/.*<command arg="\([^"]*\)".*/\1/p' "$xml")
echo "options from the configuration file: $base$options"

# Runs xscreensaver with the hack given arguments; activates, waits, screenshots, and
# deactivates. $1 screen size, $2 screenshot file, $3 seconds shown, rest the arguments.
run_host() {
  local size=$1 picture=$2 seconds=$3
  shift 3
  start_x "$size"
  cat > "$home/.xscreensaver" <<CONF
mode: one
selected: 0
lock: False
timeout: 0:30:00
splash: False
fade: False
unfade: False
programs: "Pellrun" $hack $*  \n
CONF
  chown "$user" "$home/.xscreensaver" 2>/dev/null
  rm -f "$runtime/audio.raw"
  as_user $(user_env) xscreensaver -no-splash > "$work/host.log" 2>&1 &
  local host=$!
  sleep 2
  as_user $(user_env) xscreensaver-command -activate > /dev/null 2>&1
  local pids=""
  for _ in $(seq 50); do pids=$(hack_pids); [ -n "$pids" ] && break; sleep 0.1; done
  [ -n "$pids" ] && pass "$size: the hack started ($pids)" || fail "$size: no hack started"
  local first=${pids%% *} t0
  t0=$(cpu_ticks "$first")
  sleep "$seconds"
  shot "$picture"
  # Whether sound was heard while it ran (ending plays a short closing effect always).
  heard=no
  sound_heard && heard=yes
  echo "$size: hack $first: CPU $(awk -v a="$t0" -v b="$(cpu_ticks "$first")" -v hz="$(getconf CLK_TCK)" -v s="$seconds" \
       'BEGIN { printf "%.1f", (b - a) * 100 / hz / s }')% over the last $seconds s," \
       "peak memory $(awk '/VmHWM/ {print int($2 / 1024)}' "/proc/$first/status") MB"
  as_user $(user_env) xscreensaver-command -deactivate > /dev/null 2>&1
  local left=""
  for _ in $(seq 50); do left=$(hack_pids); [ -z "$left" ] && break; sleep 0.1; done
  [ -z "$left" ] && pass "$size: the hack ended on deactivation" || fail "$size: hack still running ($left)"
  as_user $(user_env) xscreensaver-command -exit > /dev/null 2>&1
  wait "$host" 2>/dev/null
  stop_x
  if grep -E -i "X Error|BadWindow|BadDrawable|pellrun:" "$work/host.log"; then
    fail "$size: the run printed errors"
  else
    pass "$size: nothing printed"
  fi
  local leftover
  leftover=$(ls "$runtime" | grep -v '^audio.raw$')
  [ -z "$leftover" ] && pass "$size: no run-time files left" || fail "$size: left behind: $leftover"
}

# First run: 1024 x 768, the race board after the opening, with the options above.
run_host 1024x768 "$work/board.png" 14 "$base$options"
f=$(filled "$work/board.png" 800x640+112+64)
c=$(colours "$work/board.png" 800x640+112+64)
echo "board: ${f}% of the playfield not black, $c colours"
[ "$f" -ge 90 ] && [ "$c" -ge 16 ] && pass "the race board is up and filled" || fail "board not filled"
[ "$heard" = no ] && pass "--no-music reached the program (no sound)" || fail "sound played with --no-music"

# The same without music off: the program plays (the disk audio driver writes samples).
run_host 1024x768 "$work/board-music.png" 14 "$base"
[ "$heard" = yes ] && pass "music plays by default" || fail "no sound by default"

# One hack per monitor: two hacks on one display, one on the root window (named by
# $XSCREENSAVER_WINDOW in hex) and one on another window (named by -window-id in
# decimal); only one of them plays.
start_x 1024x768
DISPLAY=$display xmessage -geometry 400x300+0+0 pellrun > /dev/null 2>&1 &
msg=$!
other=""
for _ in $(seq 50); do
  other=$(DISPLAY=$display xwininfo -name xmessage 2> /dev/null | sed -n 's/.*Window id: \(0x[0-9a-f]*\).*/\1/p')
  [ -n "$other" ] && break
  sleep 0.1
done
rootwin=$(DISPLAY=$display xwininfo -root | sed -n 's/.*Window id: \(0x[0-9a-f]*\).*/\1/p')
rm -f "$runtime"/audio-*.raw
as_user $(user_env) SDL_DISKAUDIOFILE="$runtime/audio-1.raw" XSCREENSAVER_WINDOW="$rootwin" "$hack" --root > "$work/hack1.log" 2>&1 &
sleep 1
as_user $(user_env) SDL_DISKAUDIOFILE="$runtime/audio-2.raw" "$hack" -window-id "$((other))" > "$work/hack2.log" 2>&1 &
sleep 14
players=0
for n in 1 2; do
  f="$runtime/audio-$n.raw"
  [ -s "$f" ] && [ "$(tr -d '\0' < "$f" | head -c 1 | wc -c)" -gt 0 ] && players=$((players + 1))
done
pids=$(hack_pids)
echo "two hacks ($pids) on windows $rootwin and $((other)): $players playing sound"
[ "$(echo $pids | wc -w)" -eq 2 ] && [ "$players" -eq 1 ] && pass "one of two hacks plays" || fail "two hacks: $players playing"
for p in $pids; do kill -TERM "$p"; done
for _ in $(seq 50); do [ -z "$(hack_pids)" ] && break; sleep 0.1; done
[ -z "$(hack_pids)" ] && pass "both hacks ended on SIGTERM" || fail "hacks left running"
cat "$work/hack1.log" "$work/hack2.log" | grep -E "X Error|BadWindow|^pellrun:" && fail "hacks printed errors"
kill "$msg" 2>/dev/null; wait "$msg" 2>/dev/null
stop_x
rm -f "$runtime"/audio-*.raw

# Second run: a preview-sized screen shows the whole picture reduced, and a 3840 x 2160
# screen the picture enlarged three times.
run_host 320x240 "$work/preview.png" 14 "$base"
f=$(filled "$work/preview.png" 320x240+0+0)
echo "preview: ${f}% not black"
[ "$f" -ge 60 ] && pass "the preview shows the whole picture" || fail "preview mostly black"
run_host 3840x2160 "$work/4k.png" 14 "$base"
f=$(filled "$work/4k.png" 2400x1920+720+120)
c=$(colours "$work/4k.png" 2400x1920+720+120)
echo "3840 x 2160: ${f}% of the enlarged playfield not black, $c colours"
[ "$f" -ge 90 ] && [ "$c" -ge 16 ] && pass "3840 x 2160 shows the board enlarged" || fail "4K picture wrong"

if [ -n "$screens" ]; then
  mkdir -p "$screens"
  cp "$work/board.png" "$screens/xscreensaver-board-1024x768.png"
  cp "$work/preview.png" "$screens/xscreensaver-preview-320x240.png"
  convert "$work/4k.png" -resize 50% "$screens/xscreensaver-3840x2160-half.png"
fi
[ $failures -eq 0 ] && echo "host end-to-end: all passed" || echo "host end-to-end: $failures failed"
exit $((failures > 0))
