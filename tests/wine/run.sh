#!/bin/bash
# End-to-end checks of the real Pellrun.scr under Wine, in a private Xvfb.
#
# Usage: tests/wine/run.sh <build-dir>      (the directory that holds Pellrun.scr)
# Prints one line per check and a last line "N passed, M failed"; exits non-zero when
# a check failed or the run could not be set up. Set PELLRUN_WINE_ARTIFACTS=<dir> to
# keep the screenshots (PNG) there.
#
# wine's output always goes to files: its helper processes keep pipes open.
set -u

build=${1:?usage: run.sh <build-dir>}
scr="$(cd "$build" 2>/dev/null && pwd)/Pellrun.scr"
here=$(cd "$(dirname "$0")" && pwd)
if [ ! -f "$scr" ]; then
    echo "no Pellrun.scr in $build"
    echo "0 passed, 1 failed"
    exit 1
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/pellrun-wine.XXXXXX")
artifacts=${PELLRUN_WINE_ARTIFACTS:-$work/artifacts}
mkdir -p "$artifacts" "$work/run/Data" "$work/locale"
passed=0
failed=0
xvfb_pid=
locked=
export WINEPREFIX="$work/prefix" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

# Every process started here is ended by its own id; the prefix's server with -k.
started=()
cleanup() {
    local pid
    for pid in "${started[@]}"; do kill "$pid" 2>/dev/null; done
    [ -n "${locked:-}" ] && chattr -i "$locked" 2>/dev/null
    wineserver -k >/dev/null 2>&1
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    [ -n "${PELLRUN_WINE_KEEP:-}" ] || rm -rf "$work"
}
trap cleanup EXIT

result() {  # result <ok 0/1> <name> [detail]
    if [ "$1" = 0 ]; then
        passed=$((passed + 1))
        echo "PASS $2 ($(( $(now_ms) - run_start )) ms)"
    else
        failed=$((failed + 1))
        echo "FAIL $2${3:+: $3} ($(( $(now_ms) - run_start )) ms)"
    fi
}

now_ms() { date +%s%3N; }
run_start=$(now_ms)

# ---- Locale, X server and prefix ---------------------------------------------------
# Japanese locale (ANSI code page 932, as the program expects) without touching /etc.
if ! localedef -i ja_JP -f UTF-8 "$work/locale/ja_JP.UTF-8" >"$work/localedef.log" 2>&1; then
    echo "cannot make the ja_JP.UTF-8 locale:"; cat "$work/localedef.log"
    echo "0 passed, 1 failed"
    exit 1
fi
# Only Wine gets the locale; this shell keeps its own.
export LOCPATH="$work/locale"
japanese=(env LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8)
caption='PellrunスクリーンセーバーXP'

exec 3>"$work/xvfb.display"
Xvfb -displayfd 3 -noreset -screen 0 1024x768x24 >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
exec 3>&-
for _ in $(seq 50); do [ -s "$work/xvfb.display" ] && break; sleep 0.1; done
if [ ! -s "$work/xvfb.display" ]; then
    echo "Xvfb did not start"
    echo "0 passed, 1 failed"
    exit 1
fi
export DISPLAY=":$(head -n1 "$work/xvfb.display")"

# Making a prefix now and then fails on a busy machine (wineboot or the registry import
# gives up); a second try on a fresh prefix is enough, and the failure is shown.
prefix_ready=0
for attempt in 1 2; do
    if "${japanese[@]}" "$here/setup.sh" "$WINEPREFIX" >"$work/setup.out" 2>&1; then
        prefix_ready=1
        break
    fi
    echo "making the Wine prefix failed (try $attempt):"
    cat "$work/setup.out"
    tail -n 20 "$WINEPREFIX/setup.log" 2>/dev/null
    wineserver -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
done
if [ "$prefix_ready" != 1 ]; then
    echo "0 passed, 1 failed"
    exit 1
fi

# ---- Helpers --------------------------------------------------------------------------
# start_scr <args...>: runs Pellrun.scr in the background from the run directory
# (whose Data directory is the program's); sets scr_pid.
run_index=0
start_scr() {
    run_index=$((run_index + 1))
    (cd "$work/run" && exec "${japanese[@]}" wine "$scr" "$@" >"$work/wine.$run_index.log" 2>&1) &
    scr_pid=$!
    started+=("$scr_pid")
}

# wait_exit <pid> <seconds>: waits for the process; sets exit_code (124 on timeout,
# after which the process is ended) and elapsed_ms.
wait_exit() {
    local pid=$1 limit=$(( $2 * 10 )) t0
    t0=$(now_ms)
    for _ in $(seq "$limit"); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$pid" 2>/dev/null; then
        kill "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
        exit_code=124
    else
        wait "$pid"
        exit_code=$?
    fi
    elapsed_ms=$(( $(now_ms) - t0 ))
}

# The program's top-level windows: the caption begins with "Pellrun".
scr_windows() { xdotool search --name '^Pellrun' 2>/dev/null; }

# wait_window <pid> <seconds>: sets window to the first window found, or empty when
# none appeared (or the process ended) in time.
wait_window() {
    local pid=$1 limit=$(( $2 * 20 ))
    window=
    for _ in $(seq "$limit"); do
        window=$(scr_windows | head -n1)
        [ -n "$window" ] && return 0
        kill -0 "$pid" 2>/dev/null || return 1
        sleep 0.05
    done
    return 1
}

# Runs to completion with no window ever seen: exit code 0 within a few seconds.
check_ends_at_once() {
    local name=$1; shift
    local seen=0 t0
    start_scr "$@"
    t0=$(now_ms)
    while kill -0 "$scr_pid" 2>/dev/null && [ $(( $(now_ms) - t0 )) -lt 8000 ]; do
        [ -n "$(scr_windows)" ] && seen=1
        sleep 0.05
    done
    wait_exit "$scr_pid" 2
    local ok=1
    [ "$exit_code" = 0 ] && [ "$seen" = 0 ] && [ "$elapsed_ms" -lt 8000 ] &&
        [ ! -e "$work/run/Data/Setup.ini" ] && ok=0
    result $ok "$name ends at once with 0 and no window" \
        "exit $exit_code, window seen $seen, settings file $( [ -e "$work/run/Data/Setup.ini" ] && echo written || echo absent)"
}

geometry() {  # geometry <window>: "WIDTHxHEIGHT+X+Y"
    xwininfo -id "$1" | awk '/Absolute upper-left X/{x=$NF} /Absolute upper-left Y/{y=$NF}
        /^ *Width:/{w=$NF} /^ *Height:/{h=$NF} END{print w "x" h "+" x "+" y}'
}

shot() {  # shot <name>: root screenshot as $work/<name>.xwd and <artifacts>/<name>.png
    xwd -root -silent -out "$work/$1.xwd"
    python3 "$here/xtool.py" png "$work/$1.xwd" "$artifacts/$1.png"
}

# ---- Checks ------------------------------------------------------------------------------
# A static GUI program that needs nothing beyond the system's own libraries.
headers=$(x86_64-w64-mingw32-objdump -p "$scr" 2>/dev/null)
imports=$(awk '/DLL Name:/{print toupper($3)}' <<<"$headers" | sort | tr '\n' ' ')
unexpected=$(awk '/DLL Name:/{print toupper($3)}' <<<"$headers" |
    grep -v -x -E 'KERNEL32\.DLL|USER32\.DLL|GDI32\.DLL|MSVCRT\.DLL|WINMM\.DLL')
[ -n "$imports" ] && [ -z "$unexpected" ]
result $? 'Pellrun.scr imports only KERNEL32, USER32, GDI32, msvcrt and WINMM' "$imports"
grep -q -E 'Subsystem[[:space:]]+0+2[[:space:]]' <<<"$headers"
result $? 'Pellrun.scr is a GUI-subsystem program'

# The backend on its own, when the build made its checking program.
check_exe="$(cd "$build" && pwd)/backend-check.exe"
if [ -f "$check_exe" ]; then
    mkdir -p "$work/backend"
    res_dir="Z:$(cd "$here/../../res" && pwd | tr / '\\')"
    (cd "$work/backend" && exec "${japanese[@]}" wine "$check_exe" "$res_dir" \
        >"$work/backend/wine.log" 2>&1) &
    started+=("$!")
    wait_exit "$!" 60
    while read -r line; do
        case "$line" in
            PASS\ *) passed=$((passed + 1)); echo "$line" ;;
            FAIL\ *) failed=$((failed + 1)); echo "$line" ;;
        esac
    done < <(cat "$work/backend/backend_check.log" 2>/dev/null)
    [ "$exit_code" = 0 ]; result $? 'the backend checks end with 0' "exit $exit_code"
fi

# The host's preview request and an unknown switch end the program untouched.
check_ends_at_once '"/p 1234"' /p 1234
check_ends_at_once '"x"' x

# The screen saver: popup of the desktop size, black at once, a second start refused.
xdotool mousemove 600 400
start_scr /s
saver=$scr_pid
if wait_window "$saver" 15; then
    geo=$(geometry "$window")
    [ "$geo" = "1024x768+0+0" ]; result $? '"/s" opens a popup of the desktop size' "$geo"
    name=$(xdotool getwindowname "$window")
    [ "$name" = "$caption" ]; result $? 'the window caption arrives whole' "$name"
    # The desktop is blue; once the first picture is up, everything around the
    # centred 800 x 640 playfield at (112, 64) is black, and stays black.
    other=unknown
    for _ in $(seq 10); do
        shot startup
        other=$(python3 "$here/xtool.py" count "$work/startup.xwd" 000000 \
            0 0 1024 64  0 704 1024 768  0 64 112 704  912 64 1024 704)
        [ "$other" = 0 ] && break
        sleep 0.2
    done
    [ "$other" = 0 ]; result $? 'the screen turns black at start-up' "$other pixels not black"

    start_scr /s
    second=$scr_pid
    wait_exit "$second" 8
    count=$(scr_windows | wc -l)
    [ "$exit_code" = 0 ] && [ "$count" = 1 ]
    result $? 'a second "/s" ends at once with 0 while one runs' "exit $exit_code, $count windows"
    start_scr /c
    wait_exit "$scr_pid" 8
    [ "$exit_code" = 0 ] && [ ! -e "$work/run/Data/Setup.ini" ]
    result $? 'a second "/c" ends at once with 0 and writes nothing' "exit $exit_code"

    # Past the 500 ms grace period a key press ends the run.
    sleep 1.5
    [ "$(python3 "$here/xtool.py" cursor)" = hidden ]
    result $? 'the cursor is hidden while the saver runs'
    shot running
    kill -0 "$saver" 2>/dev/null; result $? 'the saver keeps running without input'
    xdotool key space
    wait_exit "$saver" 8
    [ "$exit_code" = 0 ]; result $? 'a key press after the grace period ends "/s" with 0' "exit $exit_code"
else
    wait_exit "$saver" 2
    result 1 '"/s" opens a popup of the desktop size' "no window (exit $exit_code)"
fi

# The mouse rule: 4 pixels off the first reported position keep it running, 5 end it.
xdotool mousemove 600 400
start_scr /s
saver=$scr_pid
if wait_window "$saver" 15; then
    sleep 1.5
    xdotool mousemove 604 404
    sleep 1
    kill -0 "$saver" 2>/dev/null; result $? 'a 4-pixel mouse move keeps the saver running'
    xdotool mousemove 605 400
    wait_exit "$saver" 8
    [ "$exit_code" = 0 ]; result $? 'a 5-pixel mouse move ends "/s" with 0' "exit $exit_code"
    sleep 0.3
    [ "$(python3 "$here/xtool.py" cursor)" = visible ]
    result $? 'the cursor is shown again after the saver ends'
else
    wait_exit "$saver" 2
    result 1 'a 5-pixel mouse move ends "/s" with 0' "no window (exit $exit_code)"
fi

# Full screen on: the display switches to 640 x 480 for the run and back at its end;
# the screen saver never writes the settings file.
settings="$work/run/Data/Setup.ini"
desktop_geometry() {
    local d
    d=$(xdotool search --name ' - Wine desktop$' 2>/dev/null | head -n1)
    [ -n "$d" ] && geometry "$d"
}
printf '\x02\x02\x01\x00\x00\x00' >"$settings"
xdotool mousemove 300 300
start_scr /s
saver=$scr_pid
if wait_window "$saver" 15; then
    sleep 1.5
    geo=$(geometry "$window")
    desk=$(desktop_geometry)
    [ "$geo" = "640x480+0+0" ] && [ "$desk" = "640x480+0+0" ]
    result $? 'full screen: the display and the popup are 640 x 480' "window $geo, desktop $desk"
    shot fullscreen
    xdotool key space
    wait_exit "$saver" 8
    sleep 0.3
    desk=$(desktop_geometry)
    [ "$exit_code" = 0 ] && [ "$desk" = "1024x768+0+0" ]
    result $? 'full screen: a key ends it with 0 and the display is restored' "exit $exit_code, desktop $desk"
    [ "$(od -An -tx1 "$settings" | tr -d ' ')" = 020201000000 ]
    result $? 'the screen saver leaves the settings file alone'
else
    wait_exit "$saver" 2
    result 1 'full screen: the display and the popup are 640 x 480' "no window (exit $exit_code)"
fi

# Settings screen: a centred captioned window with its OK button; clicks on the buttons
# choose values and OK saves exactly six bytes, also when the file was longer.
printf '\x02\x00\x02\x01\x00\x01XXXX' >"$settings"
start_scr /c
if wait_window "$scr_pid" 15; then
    sleep 1
    read -r w h x y < <(geometry "$window" | tr 'x+' '  ')
    [ "$x" = $(( (1024 - w) / 2 )) ] && [ "$y" = $(( (768 - h) / 2 )) ] && [ "$w" -gt 448 ] &&
        [ "$h" -gt 320 ]
    result $? '"/c" opens a centred captioned window' "${w}x${h}+${x}+${y}"
    shot settings
    # The client area is 448 x 320 inside equal side and bottom borders; the OK button
    # covers (144, 275)-(304, 315) of it.
    border=$(( (w - 448) / 2 ))
    top=$(( h - 320 - border ))
    # Game speed 5 and text smoothing on, through the hit map, then OK.
    xdotool mousemove $(( x + border + 129 )) $(( y + top + 156 )) click 1
    sleep 0.3
    xdotool mousemove $(( x + border + 255 )) $(( y + top + 246 )) click 1
    sleep 0.3
    shot settings-clicked
    xdotool mousemove $(( x + border + 224 )) $(( y + top + 295 )) click 1
    wait_exit "$scr_pid" 8
    bytes=$(od -An -tx1 "$settings" | tr -d ' \n')
    [ "$exit_code" = 0 ] && [ "$bytes" = 020402010000 ]
    result $? 'clicks on the setting buttons and OK write the chosen values in 6 bytes' "exit $exit_code, file $bytes"
else
    wait_exit "$scr_pid" 2
    result 1 '"/c" opens a centred captioned window' "no window (exit $exit_code)"
fi

# An empty command line opens the settings screen too; closing the window saves the
# defaults when there was no file.
rm -f "$settings"
start_scr
if wait_window "$scr_pid" 15; then
    sleep 1
    xdotool key alt+F4
    wait_exit "$scr_pid" 8
    bytes=$(od -An -tx1 "$settings" 2>/dev/null | tr -d ' \n')
    [ "$exit_code" = 0 ] && [ "$bytes" = 020201000100 ]
    result $? 'an empty command line opens the settings screen; closing it saves' "exit $exit_code, file $bytes"
else
    wait_exit "$scr_pid" 2
    result 1 'an empty command line opens the settings screen; closing it saves' "no window (exit $exit_code)"
fi

# ---- Preview pane ------------------------------------------------------------------------
# A window with a 152 x 112 pane (as the system's screen saver dialog has) starts the saver
# with "/p <its window>": the pane shows the whole picture scaled down, a "/s" still starts
# meanwhile, and closing the window ends the preview within a second.
host_exe="$(cd "$build" && pwd)/preview-host.exe"
if [ -f "$host_exe" ]; then
    mkdir -p "$work/host"
    (cd "$work/host" && exec "${japanese[@]}" wine "$host_exe" "Z:${scr//\//\\}" \
        >"$work/host/wine.log" 2>&1) &
    host_pid=$!
    started+=("$host_pid")
    pane=
    for _ in $(seq 150); do
        pane=$(awk '/^pane /{print $2, $3, $4, $5}' "$work/host/host.log" 2>/dev/null)
        [ -n "$pane" ] && break
        sleep 0.1
    done
    if [ -n "$pane" ]; then
        read -r px py pw ph <<<"$pane"
        # The picture fades in from black: wait until most of it is lit.
        for _ in $(seq 16); do
            sleep 0.5
            shot preview
            # 800 x 640 scaled into 152 x 112 keeps its proportions at 140 x 112: black
            # bars of 6 columns either side, the picture between, none of the pane's own
            # teal left.
            teal=$(python3 "$here/xtool.py" count "$work/preview.xwd" 008080 "$px" "$py" $((px + pw)) $((py + ph)))
            bars=$(python3 "$here/xtool.py" count "$work/preview.xwd" 000000 \
                "$px" "$py" $((px + 6)) $((py + ph))  $((px + 146)) "$py" $((px + pw)) $((py + ph)))
            picture=$(python3 "$here/xtool.py" count "$work/preview.xwd" 000000 \
                $((px + 6)) "$py" $((px + 146)) $((py + ph)))
            [ "$picture" -gt 8000 ] && break
        done
        python3 "$here/xtool.py" crop "$work/preview.xwd" "$px" "$py" "$pw" "$ph" \
            "$artifacts/wine-preview.png"
        [ "$teal" = $((pw * ph)) ] && [ "$bars" = 0 ] && [ "$picture" -gt 8000 ]
        result $? '"/p <window>" draws the scaled picture in the pane' \
            "pane $pw x $ph at $px,$py; $((pw * ph - teal)) teal, $bars lit in the bars, $picture lit in the picture"

        xdotool mousemove 600 400
        start_scr /s
        saver=$scr_pid
        if wait_window "$saver" 15; then
            geo=$(geometry "$window")
            sleep 1
            xdotool key space
            wait_exit "$saver" 8
            [ "$geo" = "1024x768+0+0" ] && [ "$exit_code" = 0 ]
            result $? 'a "/s" starts normally while the preview runs' "$geo, exit $exit_code"
        else
            wait_exit "$saver" 2
            result 1 'a "/s" starts normally while the preview runs' "no window (exit $exit_code)"
        fi

        touch "$work/host/close"
        wait_exit "$host_pid" 15
        read -r ended_ms ended_code < <(awk '/^ended /{print $2, $3}' "$work/host/host.log")
        [ "$exit_code" = 0 ] && [ "${ended_ms:--1}" -ge 0 ] && [ "$ended_ms" -lt 1000 ] &&
            [ "$ended_code" = 0 ]
        result $? 'closing the pane'"'"'s window ends the preview within a second with 0' \
            "host exit $exit_code, preview ended after ${ended_ms:-?} ms with ${ended_code:-?}"
    else
        wait_exit "$host_pid" 2
        result 1 '"/p <window>" draws the scaled picture in the pane' "the host made no pane (exit $exit_code)"
    fi
fi

# ---- Installer ------------------------------------------------------------------------------
# Silent install into the prefix, the installed saver started the way Windows starts it
# (from the system folder), settings kept per user when Data is not writable, and a silent
# uninstall that leaves nothing behind.
setup_exe="$(cd "$build" && pwd)/PellrunSetup.exe"
reg_value() {  # reg_value <key> <name>: the value's data, empty when there is none
    wine reg query "$1" /v "$2" >"$work/reg.out" 2>&1 || return 0
    tr -d '\r' <"$work/reg.out" | awk -v n="$2" '$1 == n {sub(/^ *[^ ]+ +[^ ]+ +/, ""); print}'
}
reg_has() { wine reg query "$1" >"$work/reg.out" 2>&1; }
if [ -f "$setup_exe" ]; then
    pf="$WINEPREFIX/drive_c/Program Files/Pellrun"
    menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Pellrun"
    uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Pellrun'
    desktop_key='HKCU\Control Panel\Desktop'
    sys32="$WINEPREFIX/drive_c/windows/system32"
    saver_before=$(reg_value "$desktop_key" SCRNSAVE.EXE)
    active_before=$(reg_value "$desktop_key" ScreenSaveActive)

    t0=$(now_ms)
    (cd "$work" && exec "${japanese[@]}" wine "$setup_exe" /S >"$work/setup-run.log" 2>&1) &
    started+=("$!")
    wait_exit "$!" 120
    install_ms=$(( $(now_ms) - t0 ))
    same=0
    for f in "$here"/../../Data/*.dat; do
        cmp -s "$f" "$pf/Data/$(basename "$f")" && same=$((same + 1))
    done
    [ "$exit_code" = 0 ] && cmp -s "$scr" "$pf/Pellrun.scr" && [ -f "$pf/Uninstall.exe" ] &&
        [ "$same" = 18 ]
    result $? 'a silent install puts Pellrun.scr, its 18 data files and the uninstaller in Program Files' \
        "exit $exit_code in $install_ms ms, $same data files"
    name=$(reg_value "$uninstall_key" DisplayName)
    version=$(reg_value "$uninstall_key" DisplayVersion)
    publisher=$(reg_value "$uninstall_key" Publisher)
    icon=$(reg_value "$uninstall_key" DisplayIcon)
    remover=$(reg_value "$uninstall_key" UninstallString)
    size=$(reg_value "$uninstall_key" EstimatedSize)
    entry="$name|$version|$publisher|$icon|$remover|$size"
    [ "$name" = Pellrun ] && [ -n "$version" ] && [ -n "$publisher" ] &&
        [ "$icon" = 'C:\Program Files\Pellrun\Pellrun.scr,0' ] &&
        [ "$remover" = '"C:\Program Files\Pellrun\Uninstall.exe"' ] && [ $((size)) -gt 1000 ]
    result $? 'the uninstall entry has name, version, publisher, icon and size' "$entry"
    [ -f "$menu/Pellrun settings.lnk" ] && tr -d '\0' <"$menu/Pellrun settings.lnk" | grep -q '/c'
    result $? 'the Start menu has "Pellrun settings", which runs the saver with /c'
    saver_now=$(reg_value "$desktop_key" SCRNSAVE.EXE)
    active_now=$(reg_value "$desktop_key" ScreenSaveActive)
    [[ "${saver_now,,}" == *'\pellrun\pellrun.scr' ]] && [ "$active_now" = 1 ]
    result $? 'Pellrun becomes the current screen saver' "SCRNSAVE.EXE=$saver_now ScreenSaveActive=$active_now"

    # installed <log> <args...>: the installed saver started from the system folder;
    # sets scr_pid.
    installed() {
        local log=$1
        shift
        (cd "$sys32" && exec "${japanese[@]}" wine 'C:\Program Files\Pellrun\Pellrun.scr' "$@" \
            >"$work/$log" 2>&1) &
        scr_pid=$!
        started+=("$scr_pid")
    }

    # installed_saver <name> <log>: "/s" of the installed saver, from the system folder,
    # shows the 640 x 480 display (full screen on in the settings it is to read) and ends
    # on a key with 0.
    installed_saver() {
        xdotool mousemove 300 300
        installed "$2" /s
        geo=none
        if wait_window "$scr_pid" 15; then
            sleep 1.5
            geo=$(geometry "$window")
            xdotool key space
        fi
        wait_exit "$scr_pid" 8
        [ "$geo" = "640x480+0+0" ] && [ "$exit_code" = 0 ]
        result $? "$1" "$geo, exit $exit_code"
    }

    # Its data from beside the program (the effect played at the end is opened there; no
    # song is opened without a MIDI device), its settings from there too.
    printf '\x02\x02\x01\x00\x00\x00' >"$pf/Data/Setup.ini"
    WINEDEBUG=trace+file installed_saver \
        'from the system folder the installed saver reads its Setup.ini (full screen: 640 x 480)' \
        installed-saver.log
    grep -a -i -q 'Program Files\\\\Pellrun\\\\Data\\\\Snd0.dat' "$work/installed-saver.log"
    result $? 'from the system folder the installed saver opens its effects in Program Files\Pellrun\Data'

    # Data not writable (as Program Files is for a user): settings go to
    # %APPDATA%\Pellrun\Setup.ini, made by "/c" and read back by "/s".
    printf '\x02\x04\x01\x00\x01\x00' >"$pf/Data/Setup.ini"
    chmod a-w "$pf/Data"
    [ "$(id -u)" = 0 ] && chattr +i "$pf/Data" 2>/dev/null && locked="$pf/Data"
    if touch "$pf/Data/probe" 2>/dev/null; then
        rm -f "$pf/Data/probe"
        result 1 '"/c" writes the per-user settings when Data is not writable' "Data could not be made read-only"
    else
        installed installed-settings.log /c
        if wait_window "$scr_pid" 15; then
            sleep 1
            xdotool key alt+F4
            wait_exit "$scr_pid" 8
            per_user=$(find "$WINEPREFIX/drive_c/users" -path '*/AppData/Roaming/Pellrun/Setup.ini' | head -n1)
            bytes=$(od -An -tx1 "$per_user" 2>/dev/null | tr -d ' \n')
            [ "$exit_code" = 0 ] && [ "$bytes" = 020201000100 ] &&
                [ "$(od -An -tx1 "$pf/Data/Setup.ini" | tr -d ' \n')" = 020401000100 ]
            result $? '"/c" writes the per-user settings when Data is not writable' \
                "exit $exit_code, ${per_user#"$WINEPREFIX/"}: $bytes"
            printf '\x02\x02\x01\x00\x00\x00' >"$per_user"
            installed_saver '"/s" reads the per-user settings back (full screen: 640 x 480)' \
                installed-peruser.log
        else
            wait_exit "$scr_pid" 2
            result 1 '"/c" writes the per-user settings when Data is not writable' "no window (exit $exit_code)"
        fi
    fi
    [ -n "${locked:-}" ] && chattr -i "$locked" && locked=
    chmod u+w "$pf/Data"

    # The uninstaller copies itself away and returns at once; wait for the folder to go.
    t0=$(now_ms)
    (cd "$work" && exec "${japanese[@]}" wine "$pf/Uninstall.exe" /S >"$work/uninstall.log" 2>&1) &
    started+=("$!")
    wait_exit "$!" 60
    for _ in $(seq 150); do
        [ -e "$pf" ] || [ -e "$menu" ] || reg_has "$uninstall_key" || break
        sleep 0.1
    done
    uninstall_ms=$(( $(now_ms) - t0 ))
    left=$(find "$pf" "$menu" "$WINEPREFIX/drive_c/users" -iname '*pellrun*' 2>/dev/null | wc -l)
    reg_has "$uninstall_key"; entry_left=$?
    reg_has 'HKCU\Software\Pellrun'; state_left=$?
    saver_after=$(reg_value "$desktop_key" SCRNSAVE.EXE)
    active_after=$(reg_value "$desktop_key" ScreenSaveActive)
    [ "$left" = 0 ] && [ "$entry_left" != 0 ] && [ "$state_left" != 0 ] &&
        [ "$saver_after" = "$saver_before" ] && [ "$active_after" = "$active_before" ]
    result $? 'a silent uninstall removes files, settings and entries and restores the previous saver' \
        "$left files left, in $uninstall_ms ms; SCRNSAVE.EXE '$saver_after' (was '$saver_before'), ScreenSaveActive '$active_after' (was '$active_before')"
fi

# ---- pellrun-sim.exe -----------------------------------------------------------------
# The soft layer and headless platform under the Windows simulator, and the simulator
# itself: the same options give the same meeting as the native pellrun-sim, line for
# line (the console's carriage returns aside). Neither needs the display. The native
# simulator is $PELLRUN_SIM, else the one of the linux preset's build.
soft_check="$(cd "$build" && pwd)/soft-check.exe"
if [ -f "$soft_check" ]; then
    mkdir -p "$work/soft"
    (cd "$work/soft" && exec "${japanese[@]}" wine "$soft_check" >"$work/soft/out.txt" 2>&1) &
    started+=("$!")
    wait_exit "$!" 60
    while read -r line; do
        case "$line" in
            PASS\ *) passed=$((passed + 1)); echo "$line" ;;
            FAIL\ *) failed=$((failed + 1)); echo "$line" ;;
        esac
    done < <(tr -d '\r' <"$work/soft/out.txt")
    [ "$exit_code" = 0 ]; result $? 'the soft checks end with 0' "exit $exit_code"
fi

sim_exe="$(cd "$build" && pwd)/tools/sim/pellrun-sim.exe"
native_sim=${PELLRUN_SIM:-$here/../../build/linux/tools/sim/pellrun-sim}
source_dir=$(cd "$here/../.." && pwd)
sim_run=0
# run_sim <wine|native> <directory> <options...>: runs a simulator in the directory
# (whose Data directory it reads); sets sim_out (the stem of its .out and .err files),
# sim_code and sim_ms.
run_sim() {
    local kind=$1 dir=$2 t0
    shift 2
    sim_run=$((sim_run + 1))
    sim_out="$work/sim/$sim_run.$kind"
    t0=$(now_ms)
    if [ "$kind" = wine ]; then
        (cd "$dir" && exec "${japanese[@]}" wine "$sim_exe" "$@" >"$sim_out.out" 2>"$sim_out.err") &
        started+=("$!")
        wait_exit "$!" 120
        sim_code=$exit_code
    else
        (cd "$dir" && exec "$native_sim" "$@" >"$sim_out.out" 2>"$sim_out.err")
        sim_code=$?
    fi
    sim_ms=$(( $(now_ms) - t0 ))
}
if [ -f "$sim_exe" ]; then
    mkdir -p "$work/sim"
    if [ ! -x "$native_sim" ]; then
        result 1 'pellrun-sim.exe gives the native meetings' "no native pellrun-sim at $native_sim (set PELLRUN_SIM)"
    else
        for options in '--seed 7 --races 3' \
                       '--seed 12345 --races 2 --size 640x480 --speed 4 --interval 0' \
                       '--seed 4000000000 --races 1 --size 800x600 --speed 0 --interval 2 --anti-alias on'; do
            read -r -a args <<<"$options"
            run_sim wine "$source_dir" "${args[@]}" --json
            wine_out=$sim_out.out wine_code=$sim_code wine_ms=$sim_ms
            run_sim native "$source_dir" "${args[@]}" --json
            lines=$(wc -l <"$sim_out.out")
            want=$(awk '{for (i = 1; i < NF; ++i) if ($i == "--races") print $(i + 1)}' <<<"$options")
            tr -d '\r' <"$wine_out" | cmp -s - "$sim_out.out"
            same=$?
            [ "$same" = 0 ] && [ "$wine_code" = 0 ] && [ "$sim_code" = 0 ] && [ "$lines" = "$want" ]
            result $? "pellrun-sim.exe $options --json prints the native lines" \
                "exit $wine_code/$sim_code, $lines lines, $( [ "$same" = 0 ] && echo same || echo different); wine ${wine_ms} ms, native ${sim_ms} ms"
        done
    fi
    # Picture output is refused in plain words, and no working directory is left behind.
    run_sim wine "$work/sim" --seed 7 --snapshot shot.png
    grep -q 'no PNG or video output' "$sim_out.err" && [ "$sim_code" = 1 ] && [ ! -e "$work/sim/shot.png" ]
    result $? 'pellrun-sim.exe refuses --snapshot: this build has no PNG output' "exit $sim_code"
    left=$(find "$WINEPREFIX/drive_c/users" -maxdepth 5 -name 'pellrun-sim-*' 2>/dev/null | wc -l)
    [ "$left" = 0 ]; result $? 'pellrun-sim.exe removes its working directory' "$left left"
fi

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
