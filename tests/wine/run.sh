#!/bin/bash
# End-to-end checks of the real Pellrun.scr under Wine, in a private Xvfb.
# Usage: tests/wine/run.sh <build-dir holding Pellrun.scr>. One line per check, then
# "N passed, M failed"; exits non-zero on a failure. PELLRUN_WINE_ARTIFACTS=<dir> keeps
# the screenshots. Wine's output always goes to files: its helpers keep pipes open.
set -u
build=$(cd "${1:?usage: run.sh <build-dir>}" 2>/dev/null && pwd)
scr="$build/Pellrun.scr" here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/pellrun-wine.XXXXXX")
artifacts=${PELLRUN_WINE_ARTIFACTS:-$work}
mkdir -p "$artifacts" "$work/run/Data" "$work/locale"
passed=0 failed=0 xvfb_pid= locked= mounted= runs=0 started=()
export WINEPREFIX="$work/prefix" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {  # what was started here is ended by its id, the prefix's server with -k
    local pid; for pid in "${started[@]}"; do kill "$pid" 2>/dev/null; done
    [ -n "$locked" ] && chattr -i "$locked" 2>/dev/null
    [ -n "$mounted" ] && umount "$mounted"
    wineserver -k >/dev/null 2>&1
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    stop_monitors
    [ -n "${PELLRUN_WINE_KEEP:-}" ] || rm -rf "$work"
}
trap cleanup EXIT
. "$here/../support/checks.sh"
run_start=$(now)
result() {  # result <status> <name> [detail shown on failure]
    if [ "$1" = 0 ]; then passed=$((passed + 1)) line="PASS $2"
    else failed=$((failed + 1)) line="FAIL $2${3:+: $3}"; fi
    echo "$line ($(( $(now) - run_start )) ms)"
}
give_up() { echo "$1"; [ -n "${2:-}" ] && cat "$2"; echo "0 passed, 1 failed"; exit 1; }
ended() { ! kill -0 "$1" 2>/dev/null; }
. "$here/../support/monitors.sh"
[ -f "$scr" ] || give_up "no Pellrun.scr in $1"
# The version the build was made with, as Windows numbers files (1.0.0 -> 1.0.0.0).
release=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt" 2>/dev/null)
IFS=. read -r v1 v2 v3 v4 <<<"$release"; quad="$v1.${v2:-0}.${v3:-0}.${v4:-0}"

# A Japanese locale (ANSI code page 932) for Wine only, without touching /etc.
localedef -i ja_JP -f UTF-8 "$work/locale/ja_JP.UTF-8" >"$work/localedef.log" 2>&1 ||
    give_up "cannot make the ja_JP.UTF-8 locale:" "$work/localedef.log"
export LOCPATH="$work/locale"
japanese=(env LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8)
start_xvfb "$work" 1024x768
[ "$display" != : ] || give_up "Xvfb did not start"
export DISPLAY=$display
# Making a prefix now and then fails on a busy machine; a second, fresh try is enough.
for attempt in 1 2 0; do
    [ "$attempt" = 0 ] && give_up "no Wine prefix"
    "${japanese[@]}" "$here/setup.sh" "$WINEPREFIX" >"$work/setup.out" 2>&1 && break
    echo "making the Wine prefix failed (try $attempt):"
    cat "$work/setup.out"; tail -n 20 "$WINEPREFIX/setup.log" 2>/dev/null
    wineserver -k 2>/dev/null; rm -rf "$WINEPREFIX"
done

# ---- Helpers --------------------------------------------------------------------------
launch() {  # launch <dir> <program> <args...>: in the background; sets pid and log ($log.err)
    local dir=$1; shift
    runs=$((runs + 1)) log="$work/wine.$runs.log"
    (cd "$dir" && exec "${japanese[@]}" wine "$@" >"$log" 2>"$log.err") &
    pid=$!; started+=("$pid")
}
start_scr() { launch "$work/run" "$scr" "$@"; }  # the built saver, with Data of its own
wait_exit() {  # wait_exit <pid> <seconds>: sets exit_code (124: timed out and ended)
    if poll $(( $2 * 10 )) ended "$1"; then wait "$1"; exit_code=$?
    else kill "$1"; wait "$1" 2>/dev/null; exit_code=124; fi
}
scr_windows() { xdotool search --name '^Pellrun' 2>/dev/null; }  # the program's top-level windows
has_window() { window=$(scr_windows | head -n1); [ -n "$window" ] || ended "$1"; }
wait_window() { poll 150 has_window "$1" && [ -n "$window" ]; }  # sets window
geometry() {  # geometry <window>: "WIDTHxHEIGHT+X+Y"
    xwininfo -id "$1" | awk '/Absolute upper-left X/{x=$NF} /Absolute upper-left Y/{y=$NF}
        /^ *Width:/{w=$NF} /^ *Height:/{h=$NF} END{print w "x" h "+" x "+" y}'
}
has_desktop() {  # the desktop window can be missing for a moment
    local d; d=$(xdotool search --name ' - Wine desktop$' 2>/dev/null | head -n1)
    desk=$([ -n "$d" ] && geometry "$d" 2>/dev/null); [[ "$desk" =~ ^[0-9]+x[0-9]+\+ ]]
}
desktop_geometry() { poll 150 has_desktop; echo "$desk"; }  # slow to come back on a busy machine
shot() { xwd -root -silent | convert xwd:- "$artifacts/$1.png"; }  # the screen as <name>.png
count() {  # count <shot> <RRGGBB> <WxH+X+Y> [X0,Y0 X1,Y1]: pixels of the area not of the colour,
    # the given rectangle in it (inclusive) painted with the colour first
    convert "$artifacts/$1.png" -crop "$3" +repage +antialias -fill "#$2" ${4:+-draw "rectangle $4"} \
        -fill white +opaque "#$2" -fill black -opaque "#$2" -format '%[fx:int(mean*w*h+0.5)]' info:
}
cursor() {  # "hidden" when the pointer's cursor image is fully transparent
    python3 -c 'import ctypes as c
class I(c.Structure): _fields_ = [(n, t) for n, t in zip("xywhab", [c.c_short] * 2 + [c.c_ushort] * 4)] + \
    [("s", c.c_ulong), ("p", c.POINTER(c.c_ulong))]
x, f = c.CDLL("libX11.so.6"), c.CDLL("libXfixes.so.3")
x.XOpenDisplay.restype, f.XFixesGetCursorImage.argtypes = c.c_void_p, [c.c_void_p]
f.XFixesGetCursorImage.restype = c.POINTER(I)
i = f.XFixesGetCursorImage(x.XOpenDisplay(None)).contents
print("visible" if any(i.p[k] >> 24 for k in range(i.w * i.h)) else "hidden")'
}

# session <name> <geometry> <file> <bytes> <hook> <starter> <args...>: a run of the program
# whose window matches the geometry pattern; the hook runs 1.5 s in and ends the run (a
# settings window, "*+*": 1 s in). Afterwards the exit code is 0, the file holds the bytes
# ("=": as before) and, after a saver, the cursor and the desktop size are back.
key_hook() { xdotool key space; }
close_hook() { xdotool key alt+F4; }
session() {
    local name=$1 want=$2 file=$3 bytes=$4 hook=$5 geo=none desk=1024x768+0+0 cur=visible after me
    shift 5
    [ "$bytes" = = ] && bytes=$(hex "$file")
    xdotool mousemove 300 300
    "$@"; me=$pid
    if wait_window "$me"; then
        sleep 1
        [ "$want" = '*+*' ] || sleep 0.5  # past a saver's grace period
        geo=$(geometry "$window")
        $hook "$me"
    fi
    wait_exit "$me" 8
    [ "$want" = '*+*' ] || { sleep 0.3; desk=$(desktop_geometry) cur=$(cursor); }
    after=$(hex "$file")
    [[ "$geo" == $want ]] && [ "$exit_code" = 0 ] && [ "$desk" = 1024x768+0+0 ] &&
        [ "$cur" = visible ] && [ "$after" = "$bytes" ]
    result $? "$name" "window $geo, exit $exit_code; after: desktop $desk, cursor $cur, file $after (want $bytes)"
}
settings="$work/run/Data/Setup.ini"
saver() { session "$1" "$2" "$settings" = "${@:3}"; }  # saver <name> <geometry> <hook> <starter...>

checker() {  # checker <name> <dir> <results file, - for its output> <program> <args...>: its
    # PASS/FAIL lines count as checks, and it must end with 0
    local name=$1 dir=$2 out=$3 line
    shift 3
    mkdir -p "$dir"; launch "$dir" "$@"; wait_exit "$pid" 60
    [ "$out" = - ] && out=$log
    while read -r line; do
        case "$line" in PASS\ *) passed=$((passed + 1)) ;; FAIL\ *) failed=$((failed + 1)) ;; *) continue ;; esac
        echo "$line"
    done < <(tr -d '\r' <"$out" 2>/dev/null)
    [ "$exit_code" = 0 ]; result $? "$name end with 0" "exit $exit_code"
}

# ---- The program file and the backend alone --------------------------------------------
headers=$(x86_64-w64-mingw32-objdump -p "$scr" 2>/dev/null)
dlls=$(awk '/DLL Name:/{print toupper($3)}' <<<"$headers" | sort)
[ -n "$dlls" ] && ! grep -q -v -x -E 'KERNEL32\.DLL|USER32\.DLL|GDI32\.DLL|MSVCRT\.DLL|WINMM\.DLL' <<<"$dlls" &&
    grep -q -E 'Subsystem[[:space:]]+0+2[[:space:]]' <<<"$headers"
result $? 'Pellrun.scr is a GUI program importing only KERNEL32, USER32, GDI32, msvcrt and WINMM' "$(echo $dlls)"
# pipe.dat: a FIFO held open by a writer, so that a read of it would wait; two waves.
mkdir -p "$work/backend"; mkfifo "$work/backend/pipe.dat"; exec {held}<>"$work/backend/pipe.dat"
for s in 0.1:short 60:minute; do python3 "$here/../support/wave.py" "${s%:*}" >"$work/backend/${s#*:}.wav"; done
[ -f "$build/backend-check.exe" ] && checker 'the backend checks' "$work/backend" "$work/backend/backend_check.log" \
    "$build/backend-check.exe" "Z:$(cd "$here/../../res" && pwd | tr / '\\')"
exec {held}>&-

# ---- The saver ----------------------------------------------------------------------------
# A preview request without a window and an unknown switch: exit 0 at once, untouched.
for args in '/p 1234' x; do
    seen=0 t0=$(now)
    start_scr $args
    while ! ended "$pid" && [ $(( $(now) - t0 )) -lt 8000 ]; do [ -n "$(scr_windows)" ] && seen=1; sleep 0.05; done
    wait_exit "$pid" 2
    [ "$exit_code" = 0 ] && [ "$seen" = 0 ] && [ $(( $(now) - t0 )) -lt 8000 ] && [ ! -e "$settings" ]
    result $? "\"$args\" ends at once with 0, no window and no file" "exit $exit_code, window seen $seen"
done

# The playfield, 800 x 640, is centred at (112, 64); the window repaints the rows that change.
black_around() { shot startup; other=$(count startup 000000 1024x768+0+0 '112,64 911,703'); [ "$other" = 0 ]; }
first_hook() {
    local name codes= args
    name=$(xdotool getwindowname "$window")
    poll 10 black_around
    [ "$name" = 'PellrunスクリーンセーバーXP' ] && [ "$other" = 0 ]
    result $? '"/s": the caption arrives whole and the screen turns black' "'$name', $other pixels not black"
    for args in /s /c; do start_scr $args; wait_exit "$pid" 8; codes="$codes $exit_code"; done
    [ "$codes" = ' 0 0' ] && [ "$(scr_windows | wc -l)" = 1 ] && [ "$(cursor)" = hidden ] && ! ended "$1"
    result $? 'while it runs: a second "/s" and "/c" end with 0, the cursor is hidden' \
        "exits$codes, $(scr_windows | wc -l) windows, cursor $(cursor)"
    shot running; lit=$(count running 000000 800x640+112+64)
    [ "$lit" -gt 1000 ]; result $? 'the playfield is drawn as the run goes on' "$lit pixels lit"
    xdotool mousemove 305 300
}
full_hook() {  # full screen (the settings file asks for it): the display switches to 640 x 480
    local desk; desk=$(desktop_geometry); shot fullscreen
    [ "$desk" = 640x480+0+0 ]; result $? 'full screen: the display is 640 x 480' "$desk"
    key_hook
}
saver '"/s" opens a popup of the desktop size; a 5-pixel mouse move ends it' 1024x768+0+0 first_hook start_scr /s

# Settings screen: a centred captioned window whose client area is 448 x 320 inside equal
# side and bottom borders. Game speed 5 and text smoothing on through the hit map, then
# OK at (224, 295): exactly six bytes are written, also when the file was longer.
click_hook() {
    local w h x y at
    read -r w h x y < <(geometry "$window" | tr 'x+' '  ')
    [ "$x" = $(( (1024 - w) / 2 )) ] && [ "$y" = $(( (768 - h) / 2 )) ] && [ "$w" -gt 448 ] && [ "$h" -gt 320 ]
    result $? '"/c" opens a centred captioned window' "${w}x${h}+${x}+${y}"
    shot settings
    for at in 129,156 255,246 224,295; do
        xdotool mousemove $(( x + (w - 448) / 2 + ${at%,*} )) $(( y + h - 320 - (w - 448) / 2 + ${at#*,} )) click 1
        sleep 0.3
    done
}
printf '\x02\x00\x02\x01\x00\x01XXXX' >"$settings"
session 'clicks on the setting buttons and OK write the chosen values' '*+*' "$settings" 020402010000 \
    click_hook start_scr /c
printf '\x02\x02\x01\x00\x01\x00' >"$settings"  # the defaults, for the runs that follow

# A save that cannot finish keeps the old Setup.ini whole: on a full disk (a small tmpfs,
# filled up; exit 1), killed at its flush, before Wine's server moves the new file over the
# old (it stays, unnamed), and with a link in its place (Wine shows a link as no reparse
# point: the new file replaces the link itself, and its target stays untouched); a
# read-only one is kept (exit 1).
kill_at_flush() {
    strace -f -qq -o /dev/null -e trace=fsync -e inject=fsync:signal=KILL -p "$1" & started+=("$!")
    poll 50 grep -q '^TracerPid:[[:space:]]*[1-9]' "/proc/$1/status"
}
while read -r name code left file; do
    dir="$work/save-$name"; mkdir -p "$dir/Data"
    if [ "$name" = full ]; then
        [ "$(id -u)" = 0 ] || { echo "SKIP a full disk (mounting a tmpfs needs root)"; continue; }
        mount -t tmpfs -o size=64k tmpfs "$dir/Data" && mounted="$dir/Data"
    fi
    printf '\002\001\001\001\001\001XX' >"$dir/$file"  # a save makes it six bytes
    [ "$name" = link ] && ln -s ../outside "$dir/Data/Setup.ini"
    [ "$name" = read-only ] && chmod a-w "$dir/$file"
    [ "$name" = full ] && { cat /dev/zero >"$dir/Data/fill"; } 2>/dev/null
    launch "$dir" "$scr" /c
    wait_window "$pid" && { [ "$name" != kill ] || kill_at_flush "$pid"; } && sleep 1 && close_hook
    wait_exit "$pid" 8
    got="$exit_code $(hex "$dir/$file") $(ls "$dir/Data" | grep -c '^Setup\.ini\.')"
    [[ "$got" == $code" 0201010101015858 $left" ]]  # exit, the file, new files left beside it
    result $? "a save that cannot finish keeps the old file ($name)" "$got"
    [ -n "$mounted" ] && umount "$mounted" && mounted=
done <<'CASES'
full 1   0 Data/Setup.ini
kill 137 1 Data/Setup.ini
link *   0 outside
read-only 1 0 Data/Setup.ini
CASES

# ---- Preview: a window with a 152 x 112 pane starts the saver with "/p <its window>"; the
# picture shows scaled down, a "/s" still starts, closing the window ends it within a second.
host_says() { awk -v w="$1" '$1 == w {$1 = ""; print substr($0, 2)}' "$work/host/host.log" 2>/dev/null; }
has_pane() { pane=$(host_says pane); [ -n "$pane" ]; }
# The picture fades in from black. 800 x 640 scaled into 152 x 112 keeps its proportions
# at 140 x 112: black bars of 6 columns either side, none of the pane's teal left.
previewed() {
    sleep 0.5; shot preview
    teal=$(count preview 008080 "${pw}x${ph}+$px+$py")
    bars=$(count preview 000000 "${pw}x${ph}+$px+$py" "6,0 145,$ph")
    picture=$(count preview 000000 "140x$ph+$((px + 6))+$py")
    [ "$picture" -gt 8000 ]
}
if [ -f "$build/preview-host.exe" ]; then
    mkdir -p "$work/host"
    launch "$work/host" "$build/preview-host.exe" "Z:${scr//\//\\}"
    host_pid=$pid
    if poll 150 has_pane; then
        read -r px py pw ph <<<"$pane"
        [ -n "$release" ] && [ "$(host_says version)" = \
            "$quad|$release|Pellrun developers|Pellrun|Copyright (c) 2026 Pellrun developers|$quad" ]
        result $? "the saver's version resource (its file properties) says $release" "$(host_says version)"
        poll 16 previewed
        [ "$teal" = $((pw * ph)) ] && [ "$bars" = 0 ] && [ "$picture" -gt 8000 ]
        result $? '"/p <window>" draws the scaled picture in the pane' \
            "$((pw * ph - teal)) teal, $bars lit in the bars, $picture lit in the picture"
        convert "$artifacts/preview.png" -crop "${pw}x${ph}+$px+$py" "$artifacts/wine-preview.png"
        saver 'a "/s" starts normally while the preview runs' 1024x768+0+0 key_hook start_scr /s
    fi  # without a pane the host failed: its end below says how
    touch "$work/host/close"
    wait_exit "$host_pid" 15
    read -r ended_ms ended_code <<<"$(host_says ended)"
    [ "$exit_code" = 0 ] && [ "${ended_ms:--1}" -ge 0 ] && [ "$ended_ms" -lt 1000 ] && [ "$ended_code" = 0 ]
    result $? 'closing the pane'"'"'s window ends the preview within a second with 0' \
        "host exit $exit_code, preview ended after ${ended_ms:-?} ms with ${ended_code:-?}"
fi

# ---- Installer ------------------------------------------------------------------------------
reg_values() {  # reg_values <key> <names...>: the values' data joined by "|"
    wine reg query "$1" 2>&1 | tr -d '\r' | awk -v names="${*:2}" 'BEGIN{n = split(names, want, " ")}
        {v[$1] = $0; sub(/^ *[^ ]+ +[^ ]+ +/, "", v[$1])}
        END{for (i = 1; i <= n; ++i) printf "%s%s", (i > 1 ? "|" : ""), v[want[i]]; print ""}'
}
app='C:\Program Files\Pellrun'
installed() { launch "$WINEPREFIX/drive_c/windows/system32" "$app\Pellrun.scr" "$@"; }
if [ -f "$build/PellrunSetup.exe" ]; then
    pf="$WINEPREFIX/drive_c/Program Files/Pellrun"
    menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Pellrun"
    uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Pellrun'
    desktop_key='HKCU\Control Panel\Desktop'
    saver_before=$(reg_values "$desktop_key" SCRNSAVE.EXE ScreenSaveActive)
    launch "$work" "$build/PellrunSetup.exe" /S
    wait_exit "$pid" 120
    same=0
    for f in "$here"/../../Data/*.dat; do cmp -s "$f" "$pf/Data/${f##*/}" && same=$((same + 1)); done
    entry=$(reg_values "$uninstall_key" DisplayName DisplayVersion Publisher DisplayIcon UninstallString)
    IFS='|' read -r size comments < <(reg_values "$uninstall_key" EstimatedSize Comments)
    IFS='|' read -r saver_now active_now < <(reg_values "$desktop_key" SCRNSAVE.EXE ScreenSaveActive)
    [ "$exit_code" = 0 ] && cmp -s "$scr" "$pf/Pellrun.scr" && [ -f "$pf/Uninstall.exe" ] && [ "$same" = 18 ] &&
        [ "$entry" = "Pellrun|$release|Pellrun developers|$app\Pellrun.scr,0|\"$app\Uninstall.exe\"" ] &&
        [[ "$comments" == *'MIT licence'* ]] && [ $((size)) -gt 1000 ] &&
        grep -q '^MIT License' "$pf/LICENSE.txt" && [ -s "$pf/NOTICES.txt" ] &&
        tr -d '\0' <"$menu/Pellrun settings.lnk" 2>/dev/null | grep -q '/c' &&
        [[ "${saver_now,,}" == *'\pellrun\pellrun.scr' ]] && [ "$active_now" = 1 ]
    result $? 'a silent install: program, 18 data files, licence, uninstaller, entry, Start menu "/c", current saver' \
        "exit $exit_code, $same data files; $entry|$comments|$size; $saver_now $active_now"

    # From the system folder the installed saver takes its data and settings from beside
    # the program (the effect played at the end is opened there; no song without a MIDI device).
    settings="$pf/Data/Setup.ini"
    printf '\x02\x02\x01\x00\x00\x00' >"$settings"
    WINEDEBUG=trace+file saver 'from the system folder the installed saver reads its Setup.ini (640 x 480)' \
        640x480+0+0 full_hook installed /s
    grep -a -i -q 'Program Files\\\\Pellrun\\\\Data\\\\Snd0.dat' "$log.err"
    result $? 'from the system folder the installed saver opens its effects in Program Files\Pellrun\Data'

    # Data not writable (as Program Files is for a user): settings go to
    # %APPDATA%\Pellrun\Setup.ini, made by "/c" and read back by "/s".
    printf '\x02\x04\x01\x00\x01\x00' >"$settings"
    chmod a-w "$pf/Data"
    [ "$(id -u)" = 0 ] && chattr +i "$pf/Data" 2>/dev/null && locked="$pf/Data"
    appdata=$(find "$WINEPREFIX/drive_c/users" -maxdepth 3 -path '*/AppData/Roaming' ! -path '*/Public/*' | head -n1)
    session '"/c" writes the per-user settings when Data is not writable' '*+*' \
        "$appdata/Pellrun/Setup.ini" 020201000100 close_hook installed /c
    [ "$(hex "$settings")" = 020401000100 ]; result $? '"/c" leaves the read-only Setup.ini alone'
    settings="$appdata/Pellrun/Setup.ini"
    printf '\x02\x02\x01\x00\x00\x00' >"$settings"
    saver '"/s" reads the per-user settings back (640 x 480)' 640x480+0+0 key_hook installed /s
    [ -n "$locked" ] && chattr -i "$locked" && locked=
    chmod u+w "$pf/Data"

    # The uninstaller copies itself away and returns at once; wait for the folder to go.
    launch "$work" "$pf/Uninstall.exe" /S
    wait_exit "$pid" 60
    uninstalled() { [ ! -e "$pf" ] && [ ! -e "$menu" ] && ! wine reg query "$uninstall_key" >/dev/null 2>&1; }
    poll 150 uninstalled; gone=$?
    left=$(find "$WINEPREFIX/drive_c/users" -iname '*pellrun*' 2>/dev/null | wc -l)
    saver_after=$(reg_values "$desktop_key" SCRNSAVE.EXE ScreenSaveActive)
    [ "$gone" = 0 ] && [ "$left" = 0 ] && ! wine reg query 'HKCU\Software\Pellrun' >/dev/null 2>&1 &&
        [ "$saver_after" = "$saver_before" ]
    result $? 'a silent uninstall removes files, settings and entries and restores the previous saver' \
        "program, menu or entry left: $gone; $left files left for users; saver '$saver_after' (was '$saver_before')"
fi

# ---- pellrun-sim.exe and what it stands on: the same meeting as the native pellrun-sim
# ($PELLRUN_SIM, else the linux preset's), line for line but for carriage returns.
[ -f "$build/soft-check.exe" ] && checker 'the soft checks' "$work/soft" - "$build/soft-check.exe"
sim_exe="$build/tools/sim/pellrun-sim.exe"
native_sim=${PELLRUN_SIM:-$here/../../build/linux/tools/sim/pellrun-sim}
if [ -f "$sim_exe" ]; then
    mkdir -p "$work/sim"
    for options in '--seed 7 --races 3' \
                   '--seed 4000000000 --races 1 --size 640x480 --speed 0 --interval 2 --anti-alias on'; do
        read -r -a args <<<"$options"
        launch "$here/../.." "$sim_exe" "${args[@]}" --json
        wait_exit "$pid" 120
        (cd "$here/../.." && exec "$native_sim" "${args[@]}" --json >"$work/sim/native" 2>"$work/sim/native.err")
        native_code=$? lines=$(wc -l <"$work/sim/native")
        tr -d '\r' <"$log" | cmp -s - "$work/sim/native"; same=$?
        [ "$same" = 0 ] && [ "$exit_code" = 0 ] && [ "$native_code" = 0 ] && [ "$lines" = "${args[3]}" ]
        result $? "pellrun-sim.exe $options --json prints the native lines" \
            "exit $exit_code/$native_code, $lines lines, $( [ "$same" = 0 ] && echo same || echo different)"
    done
    launch "$work/sim" "$sim_exe" --seed 7 --snapshot shot.png
    wait_exit "$pid" 60
    left=$(find "$WINEPREFIX/drive_c/users" -maxdepth 5 -name 'pellrun-sim-*' 2>/dev/null | wc -l)
    grep -q 'no PNG or video output' "$log.err" && [ "$exit_code" = 1 ] && [ ! -e "$work/sim/shot.png" ] &&
        [ "$left" = 0 ]
    result $? 'pellrun-sim.exe refuses --snapshot in plain words and leaves no working directory' \
        "exit $exit_code, $left left"
fi

# ---- Last, as it leaves the virtual desktop: two monitors on another X server.
. "$here/monitors.sh"
echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
