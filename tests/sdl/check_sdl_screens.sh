#!/usr/bin/env bash
# The Linux edition's screens end to end on private X servers (one screen, a window to
# watch, two monitors on Xorg's dummy driver); each check names what it sees. A SCREENS
# folder gets the pictures and a race at 1080 lines (2 minutes more).
# usage: check_sdl_screens.sh PELLRUN PELLRUN_SIM DATA_DIR [SCREENS]
set -u
absolute() { case $1 in /*) echo "$1" ;; ?*) echo "$PWD/$1" ;; esac; }
pellrun=$(absolute "$1") sim=$(absolute "$2") data=$(absolute "$3") screens=$(absolute "${4:-}")
here=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d /tmp/pellrun-screens.XXXXXX)
mkdir "$work/Data"
cp "$data"/*.dat "$work/Data/"
xservers=() programs=()
trap 'kill "${programs[@]}" "${xservers[@]}" 2> /dev/null; stop_monitors; rm -rf "$work"' EXIT
. "$here/support/monitors.sh"
. "$here/support/checks.sh"
export XDG_CONFIG_HOME=$work/config SDL_AUDIODRIVER=dummy
cd "$work"

xvfb() { start_xvfb "$work" "$1"; xservers+=($xvfb_pid); }  # xvfb SIZE: its display in $display
# start DISPLAY ARGS...: pellrun on that display (each display a run-time folder of its
# own, where the instance markers are); its process id in $pid.
start() {
  local d=$1; shift
  mkdir -p -m 700 "$work/run$d"
  DISPLAY=$d XDG_RUNTIME_DIR="$work/run$d" "$pellrun" "$@" >> "$work/pellrun.log" 2>&1 &
  pid=$! programs+=($!)
}
# shot DISPLAY FILE [WINDOW]: the screen (or a window) as a PNG.
shot() {
  if [ -n "${3:-}" ]; then DISPLAY=$1 xwd -id "$3" -silent; else DISPLAY=$1 xwd -root -silent; fi |
    convert xwd:- "png:$2"
}
# box FILE [CROP]: the smallest rectangle holding every pixel that is not black.
box() { convert "$1" ${2:+-crop "$2" +repage} -format '%@' info: 2> /dev/null; }
within() { every=1 poll "$@"; }  # within SECONDS COMMAND...: COMMAND succeeds within SECONDS
# shows DISPLAY WANT SECONDS [CROP] [WINDOW]: waits until the picture's box is WANT.
shows() {
  local d=$1 want=$2 crop=${4:-} window=${5:-} got=
  within "$3" showing || { echo "  the picture's box is $got"; return 1; }
}
showing() { shot "$d" "$work/shot.png" "$window" && got=$(box "$work/shot.png" "$crop") && [ "$got" = "$want" ]; }
same() {  # same A B CROP...: the two pictures agree in each CROP
  local a=$1 b=$2 crop; shift 2
  for crop in "$@"; do
    convert "$a" -crop "$crop" +repage "$work/a.png" && convert "$b" -crop "$crop" +repage "$work/b.png" &&
      [ "$(compare -metric AE "$work/a.png" "$work/b.png" null: 2>&1)" = 0 ] || return 1
  done
}
black() { [ "$(convert "$1" -crop "$2" +repage -format '%[max]' info:)" = 0 ]; }  # black FILE CROP

# ---- One screen: filled, portrait, one to one and the simulator's meeting ----------------
xvfb 1920x1080; wide=$display; start "$wide" /s
xvfb 1080x1920; tall=$display; start "$tall" /s
xvfb 1920x1080; one=$display; start "$one" /s --scale 1 --seed 7
check "1920 x 1080: the playfield 1350 x 1080 at (285, 0)" shows "$wide" 1350x1080+285+0 30
check "1080 x 1920: the playfield 1080 x 864 at (0, 528)" shows "$tall" 1080x864+0+528 30
check "--scale 1: one to one, 800 x 640 at (560, 220)" shows "$one" 800x640+560+220 30
# The board is steady from about 10 s until its race; only the clock band differs.
"$sim" --seed 7 --size 1920x1080 --seconds 14 --snapshot "$work/sim.png" > /dev/null
seeded() { shot "$one" "$work/seed.png" && same "$work/seed.png" "$work/sim.png" 800x150+560+220 800x440+560+420; }
check "--seed 7 shows the board pellrun-sim --seed 7 draws" within 20 seeded
[ -n "$screens" ] && mkdir -p "$screens" && shot "$wide" "$screens/sdl-1920x1080-board.png" &&
  shot "$tall" "$work/tall.png" && convert "$work/tall.png" -resize 50% "$screens/sdl-portrait-1080x1920-half.png"
kill "${programs[@]}"

# ---- A window to watch -----------------------------------------------------------------
xvfb 1280x1024; desk=$display
find_window() { win=$(DISPLAY=$desk xdotool search --name '^Pellrun$' 2> /dev/null | head -1); [ -n "$win" ]; }
SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=$work/window.raw start "$desk" --window; watched=$pid
check "the window opens" within 10 find_window
check "the window is filled, 800 x 640" shows "$desk" 800x640+0+0 30 "" "$win"
DISPLAY=$desk xdotool mousemove --window "$win" 100 100 mousemove_relative 30 30 click 1 key space 2> /dev/null
check "a second window does not open" timeout 5 env DISPLAY="$desk" XDG_RUNTIME_DIR="$work/run$desk" "$pellrun" --window
sleep 1
check "input does not end the window" running "$watched"
DISPLAY=$desk xdotool windowsize "$win" 1000 500
check "resized to 1000 x 500, refilled 625 x 500 at (187, 0)" shows "$desk" 625x500+187+0 10 "" "$win"
[ -n "$screens" ] && cp "$work/shot.png" "$screens/sdl-window-1000x500.png"
start "$desk" /s; saver=$pid
check "a saver starts beside the window" shows "$desk" 1280x1024+0+0 30
DISPLAY=$desk xdotool key space
check "the saver ends on a key" ends "$saver" 5000
check "the window plays its sound" within 20 heard "$work/window.raw"
DISPLAY=$desk python3 "$here/sdl/wm_close.py" "$win"
check "closing the window ends it" ends "$watched" 5000
start "$desk" --window; watched=$pid
within 10 find_window && shows "$desk" 800x640+0+0 30 "" "$win"
DISPLAY=$desk xdotool mousemove --window "$win" 10 10 key alt+F4 2> /dev/null
check "Alt+F4 ends the window" ends "$watched" 5000

# ---- Two monitors ------------------------------------------------------------------------
start_monitors "1920x1080 1280x1024"; status=$? two=$DISPLAY
[ $status = 2 ] && echo "SKIP two monitors: $monitors_error"
[ $status = 2 ] || check "two monitors: Xorg with the dummy driver lays them out $monitors_error" [ $status = 0 ]
if [ $status = 0 ]; then
  # run_two ARGS...: the pointer on the second monitor, then the saver on both, until the
  # first shows the playfield (input before the program is up would be lost).
  run_two() {
    DISPLAY=$two xdotool mousemove 2500 500
    start "$two" /s "$@"
    shows "$two" 1350x1080+285+0 30 1920x1080+0+0
  }
  check "two monitors: the first filled 1350 x 1080 at (285, 0)" run_two
  check "two monitors: the second filled 1280 x 1024" shows "$two" 1280x1024+0+0 5 1280x1024+1920+0
  [ -n "$screens" ] && sleep 8 && shot "$two" "$work/two.png" &&
    convert "$work/two.png" -resize 50% "$screens/sdl-two-monitors-half.png"
  DISPLAY=$two xdotool mousemove_relative 4 4
  sleep 1
  check "a 4-pixel move on the second monitor does not end it" running "$pid"
  DISPLAY=$two xdotool mousemove_relative 1 0
  check "a 5-pixel move on the second monitor ends it" ends "$pid" 5000
  run_two
  DISPLAY=$two xdotool key space
  check "a key ends it" ends "$pid" 5000
  # The focus going from one monitor's window to the other's is kept; to another program's
  # window, it ends the saver.
  run_two
  ours=$(DISPLAY=$two xwininfo -root -children | awk '/pellrun/ {print $1}')
  for w in $ours $ours; do DISPLAY=$two xdotool windowfocus "$w"; sleep 0.3; done
  sleep 1
  check "the focus passing between the monitors' windows keeps it" running "$pid"
  DISPLAY=$two xmessage -geometry 200x100+2000+100 other 2> /dev/null &
  programs+=($!)
  other() { other=$(DISPLAY=$two xdotool search --name '^xmessage$' | head -1); [ -n "$other" ]; }
  within 5 other && DISPLAY=$two xdotool windowfocus "$other"
  check "the focus going to another program's window ends it" ends "$pid" 5000
  kill "${programs[-1]}"
  check "--monitors primary: the first filled" run_two --monitors primary
  check "--monitors primary: the second black" black "$work/shot.png" 1280x1024+1920+0
  DISPLAY=$two xdotool click 1
  check "a click on the black monitor ends it" ends "$pid" 5000
  stop_monitors
fi

# ---- The pictures, and a race at 1080 lines -------------------------------------------------
if [ -n "$screens" ]; then
  # Full screen on (the 640 x 480 view that follows the leader), fastest, 1 minute to the race.
  printf '\002\000\000\001\000\000' > Data/Setup.ini
  xvfb 1920x1080
  start "$display" /s
  sleep 100
  shot "$display" "$screens/sdl-1920x1080-race.png"
  kill "$pid"
fi
[ $failures -eq 0 ] && echo "screens: all passed" || echo "screens: $failures failed"
exit $((failures > 0))
