#!/usr/bin/env bash
# The Debian package, linted and unpacked into a scratch root, run by the real xscreensaver
# in Xvfb as a plain user: the board fills each screen size, the configuration file's
# options arrive, the hack ends cleanly. usage: tests/host/run.sh BUILD_DIR [SCREENS_DIR]
set -uo pipefail
build=$(cd "${1:?build directory}" && pwd) screens=${2:-} work=$(mktemp -d /tmp/pellrun-host.XXXXXX) xpid=
chmod 755 "$work"
. "$(dirname "$0")/../support/checks.sh"
cleanup() { [ -n "$xpid" ] && kill "$xpid" 2>/dev/null && wait "$xpid" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT

# ---- The package: lintian-clean, holding every installed file, unpacked into a scratch root
(cd "$build" && cpack -G DEB > "$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; echo "FAIL: cpack"; exit 1; }
deb=$(ls -t "$build"/pellrun_*.deb | head -1)
echo "package: $deb ($(stat -c %s "$deb") bytes)"
dpkg-deb -f "$deb" Depends
check "lintian reports no errors" lintian --fail-on error --tag-display-limit 0 "$deb"
dpkg-deb -c "$deb" > "$work/contents"
# The files the checks below neither run nor read (those they do, they find missing).
for path in usr/share/pellrun/Bgm0.dat usr/share/applications/pellrun.desktop \
            usr/share/applications/pellrun-window.desktop usr/share/icons/hicolor/48x48/apps/pellrun.png; do
  check "package holds $path" grep -q " ./$path" "$work/contents"
done
root="$work/root" hack="$work/root/usr/libexec/xscreensaver/pellrun"
dpkg-deb -x "$deb" "$root"
check "the desktop entries are valid" desktop-file-validate "$root"/usr/share/applications/*.desktop
# One version everywhere: the package, both programs, the manual pages; the MIT licence
# in the machine-readable copyright file; a real maintainer.
version=$(dpkg-deb -f "$deb" Version) bin="$root/usr/bin"
check "pellrun and pellrun-sim --version say $version" \
  [ "$("$bin/pellrun" --version)" = "pellrun $version" -a "$("$bin/pellrun-sim" --version)" = "pellrun-sim $version" ]
check "the manual pages name $version" \
  [ "$(zcat "$root"/usr/share/man/man6/pellrun*.6.gz | grep -c "^\.TH .*\"Pellrun $version\"")" = 2 ]
check "the copyright file says MIT (Expat)" grep -q '^License: Expat$' "$root/usr/share/doc/pellrun/copyright"
check "the maintainer is the project's" \
  [ "$(dpkg-deb -f "$deb" Maintainer)" = "Pellrun developers <developers@pellrun.org>" ]

# ---- A plain user (xscreensaver launches no hacks for root) ----------------------------
user=$(id -un) run_as=(env)
if [ "$(id -u)" -eq 0 ]; then
  user=pellrun-host-test run_as=(runuser -u pellrun-host-test -- env)
  id "$user" > /dev/null 2>&1 || useradd --no-create-home --shell /bin/sh "$user"
fi
home="$work/home" runtime="$work/run"
mkdir -p "$home" && mkdir -m 700 "$runtime"
chown -R "$user" "$home" "$runtime" 2>/dev/null
start_x() { start_xvfb "$work" "$1" -ac; xpid=$xvfb_pid; }  # start_x WxH: open to every local client
stop_x() { kill "$xpid" 2>/dev/null; wait "$xpid" 2>/dev/null; xpid=""; }
as_user() {  # as_user VAR=VALUE... COMMAND...: in the user's environment, sound to a file
  "${run_as[@]}" DISPLAY="$display" HOME="$home" XDG_RUNTIME_DIR="$runtime" XDG_CONFIG_HOME="$home/.config" \
    SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$runtime/audio.raw" PATH=/usr/bin:/bin "$@"
}
lit() { convert "$1" -crop "$2" +repage -fill white +opaque black -format '%[fx:int(mean*100)]' info:; }  # % not black
playing() { local n=0 f; for f; do heard "$runtime/audio-$f.raw" && n=$((n + 1)); done; echo $n; }  # how many play
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat" 2>/dev/null || echo 0; }
hack_pids() { pgrep -u "$user" -f "^$hack" | tr '\n' ' '; }
wait_hacks() { for _ in $(seq 50); do pids=$(hack_pids); [ "$1" = "${pids:+1}" ] && break; sleep 0.1; done; }
errors_in() { ! grep -E -i "X Error|BadWindow|BadDrawable|pellrun:" "$@"; }

# The command line the settings dialog builds from the configuration file for speed 5,
# interval 1, music off and text smoothing off.
xml="$root/usr/share/xscreensaver/config/pellrun.xml"
arg() { sed -n "/id=\"$1\"/,/\/>/s/.*$2=\"\([^\"]*\)\".*/\1/p" "$xml" | head -1; }
base=$(sed -n 's/.*<command arg="\([^"]*\)".*/\1/p' "$xml")
speed=$(arg speed arg) interval=$(arg interval arg)
options="$base ${speed/\%/5} ${interval/\%/1} $(arg music arg-unset) $(arg smooth arg-unset)"
echo "options from the configuration file: $options"
check "the configuration file offers filling the screen, by default" grep -q '<option id="fill" _label="[^"]*"/>' "$xml"

# run_host SIZE NAME ARGS...: xscreensaver with the hack given the arguments; activates,
# waits 14 s, takes $work/NAME.png and deactivates; sets $sound (yes/no).
run_host() {
  local size=$1 name=$2 host first t0 left
  shift 2
  start_x "$size"
  printf '%s\n' 'mode: one' 'selected: 0' 'lock: False' 'timeout: 0:30:00' 'splash: False' 'fade: False' \
    'unfade: False' "programs: \"Pellrun\" $hack $*  \\n" > "$home/.xscreensaver"
  chown "$user" "$home/.xscreensaver" 2>/dev/null
  rm -f "$runtime/audio.raw"
  as_user xscreensaver -no-splash > "$work/host.log" 2>&1 &
  host=$!
  sleep 2
  as_user xscreensaver-command -activate > /dev/null 2>&1
  wait_hacks 1
  check "$name: the hack started ($pids)" [ -n "$pids" ]
  first=${pids%% *} t0=$(cpu_ticks "${pids%% *}")
  sleep 14
  DISPLAY=$display xwd -root -silent | convert xwd:- "png:$work/$name.png"
  sound=no; heard "$runtime/audio.raw" && sound=yes  # before ending, whose effect always plays
  echo "$name: hack $first: CPU $(awk -v a="$t0" -v b="$(cpu_ticks "$first")" -v hz="$(getconf CLK_TCK)" \
       'BEGIN { printf "%.1f", (b - a) * 100 / hz / 14 }')% over the last 14 s," \
       "peak memory $(awk '/VmHWM/ {print int($2 / 1024)}' "/proc/$first/status") MB"
  as_user xscreensaver-command -deactivate > /dev/null 2>&1
  wait_hacks ""
  check "$name: the hack ended on deactivation ($pids)" [ -z "$pids" ]
  as_user xscreensaver-command -exit > /dev/null 2>&1
  wait "$host" 2>/dev/null
  stop_x
  check "$name: nothing printed" errors_in "$work/host.log"
  left=$(ls "$runtime" | grep -v '^audio.raw$')
  check "$name: no run-time files left $left" [ -z "$left" ]
}

# Per run: screen, name, the playfield's area in the screenshot, least % of it not black
# and least colours, sound heard ("-": not looked at), the hack's arguments. The preview
# size shows the picture reduced, the others filled (by default; 3840 x 2160: 2.7 times).
while read -r -u 4 size name area fill colours want args; do
  run_host "$size" "$name" $args
  f=$(lit "$work/$name.png" "$area")
  c=$(convert "$work/$name.png" -crop "$area" +repage -format '%k' info:)
  b=$(convert "$work/$name.png" -format '%@' info: 2> /dev/null)
  echo "$name: ${f}% of $area not black, $c colours, the picture at $b"
  check "$name: the picture is up and filled, black around" [ "$f" -ge "$fill" -a "$c" -ge "$colours" -a "$b" = "$area" ]
  [ "$want" = - ] || check "$name: sound $want" [ "$sound" = "$want" ]
done 4<<RUNS
1024x768 board 960x768+32+0 90 16 no $options
320x240 preview 320x240+0+0 60 0 - $base
3840x2160 4k 2700x2160+570+0 90 16 - $base
RUNS

# One hack per monitor: one on the root window ($XSCREENSAVER_WINDOW, hex), one on another
# (-window-id, decimal); only one of them plays.
start_x 1024x768
DISPLAY=$display xmessage -geometry 400x300+0+0 pellrun > /dev/null 2>&1 &
msg=$!
window_id() { DISPLAY=$display xwininfo "$@" 2> /dev/null | sed -n 's/.*Window id: \(0x[0-9a-f]*\).*/\1/p'; }
for _ in $(seq 50); do other=$(window_id -name xmessage); [ -n "$other" ] && break; sleep 0.1; done
rootwin=$(window_id -root)
as_user SDL_DISKAUDIOFILE="$runtime/audio-1.raw" XSCREENSAVER_WINDOW="$rootwin" "$hack" --root > "$work/hack1.log" 2>&1 &
sleep 1
as_user SDL_DISKAUDIOFILE="$runtime/audio-2.raw" "$hack" -window-id "$((other))" > "$work/hack2.log" 2>&1 &
sleep 14
players=$(playing 1 2) pids=$(hack_pids)
echo "two hacks ($pids) on windows $rootwin and $((other)): $players playing sound"
check "one of two hacks plays" [ "$(echo $pids | wc -w)" -eq 2 -a "$players" -eq 1 ]
kill -TERM $pids 2> /dev/null
wait_hacks ""
check "both hacks ended on SIGTERM" [ -z "$pids" ]
check "the two hacks printed no errors" errors_in "$work/hack1.log" "$work/hack2.log"
kill "$msg" 2>/dev/null; wait "$msg" 2>/dev/null
stop_x

# ---- Another local user can neither stop nor silence the saver. XDG_RUNTIME_DIR unset, a second
# user plants files and a link at /tmp/<uid>-*.lock and takes /tmp/pellrun-<uid> first (as nothing,
# a file, a link to a folder of theirs, a folder of theirs open to all). The user's "/s" still shows
# and plays, a hack beside it plays, nothing appears where the links point, no run-time file stays.
if [ "$(id -u)" -eq 0 ]; then
  intruder=pellrun-host-other uid=$(id -u "$user") marker=ORRIN_APPLICATION_GROUP_PELLRUNXP01
  id "$intruder" > /dev/null 2>&1 || useradd --no-create-home --shell /bin/sh "$intruder"
  exec 9> /tmp/pellrun-host-two-users.lock && flock 9  # the names are the machine's: one run at a time
  theirs="$work/theirs" own="/tmp/pellrun-$uid"
  mkdir -m 777 "$theirs" && chown "$intruder" "$theirs"
  start_x 1024x768
  rootwin=$(window_id -root)
  planted=("/tmp/$uid-$marker.lock" "/tmp/$uid-pellrun-sound.lock" "/tmp/$uid-$marker-${rootwin#0x}.lock" "$own")
  for form in none file link folder; do
    rm -rf "${planted[@]}" "$home/.cache" "$home/planted" "$runtime"/audio-*.raw
    runuser -u "$intruder" -- sh -c 'touch "$1" "$2" && ln -s "$4" "$3" && case $5 in file) touch "$6" ;;
      link) ln -s "$7" "$6" ;; folder) mkdir -m 777 "$6" ;; esac' - "${planted[@]:0:3}" "$home/planted" "$form" \
      "$own" "$theirs"
    for run in s:/s hack:--root; do
      (cd "$home" && as_user env -u XDG_RUNTIME_DIR SDL_DISKAUDIOFILE="$runtime/audio-${run%:*}.raw" \
        XSCREENSAVER_WINDOW="$rootwin" "$hack" "${run#*:}" > "$work/two-${run%:*}.log" 2>&1 &)
    done
    sleep 10
    DISPLAY=$display xwd -root -silent | convert xwd:- "png:$work/two-$form.png"
    f=$(lit "$work/two-$form.png" 800x640+112+64) shown=$(DISPLAY=$display xdotool search --name '^Pellrun' | wc -l)
    players=$(playing s hack) ours=$(hack_pids)
    kill -TERM $ours 2> /dev/null
    wait_hacks ""  # (it keeps its own list in pids)
    where=$home/.cache/pellrun look=("$theirs")
    [ "$form" = none ] && where=$own
    [ "$form" = folder ] && look+=("$own")
    left=$(ls -A "$where" 2> /dev/null | tr '\n' ' ') made=$(find "${look[@]}" -mindepth 1 | wc -l)
    echo "/tmp/pellrun-$uid $form: saver and hack ($ours), ${f}% not black, $players playing, left in $where: $left"
    check "$form: the saver starts and shows the meeting, it and a hack play" \
      [ "$(echo $ours | wc -w)" -eq 2 -a "$shown" -eq 1 -a "$f" -ge 50 -a "$players" -eq 2 ]
    check "$form: nothing made where the links point or in their folders, no run-time file left" \
      [ ! -e "$home/planted" -a "$made" -eq 0 -a -d "$where" -a -z "$left" ]
    check "$form: nothing printed" errors_in "$work/two-s.log" "$work/two-hack.log"
  done
  rm -rf "${planted[@]}"
  stop_x
  flock -u 9
fi

if [ -n "$screens" ]; then
  mkdir -p "$screens"
  cp "$work/board.png" "$screens/xscreensaver-board-1024x768.png"
  cp "$work/preview.png" "$screens/xscreensaver-preview-320x240.png"
  convert "$work/4k.png" -resize 50% "$screens/xscreensaver-3840x2160-half.png"
fi
[ $failures -eq 0 ] && echo "host end-to-end: all passed" || echo "host end-to-end: $failures failed"
exit $((failures > 0))
