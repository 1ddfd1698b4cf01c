# Two monitors, sourced by run.sh at its end (its helpers and counters): Xorg with the dummy
# driver, 1920 x 1080 with 1280 x 1024 beside it, the pointer on the second before the start.
# Wine sees several monitors only without its virtual desktop; with its window manager mode
# off it places and focuses its windows itself, as Windows does (on a server without a window
# manager the focus otherwise follows the pointer, and every close waits 2 s for a manager).
two_windows() { [ "$(scr_windows | wc -l)" = 2 ] || ended "$1"; }
no_window() { [ -z "$(scr_windows)" ]; }
drawn() { shot two-monitors; lit=$(count two-monitors 000000 800x640+560+220); [ "$lit" -gt 1000 ]; }
two_monitors() {
    local status primary=1920x1080+0+0 second=1280x1024+1920+0 me action t0 gone left cur geos around other
    start_monitors "1920x1080 1280x1024"; status=$?
    if [ "$status" = 2 ]; then echo "SKIP two monitors under Wine: $monitors_error"; return; fi
    [ "$status" = 0 ]; result $? 'two monitors: Xorg with the dummy driver lays them out' "$monitors_error"
    [ "$status" = 0 ] || return
    wineserver -k; wineserver -w
    { wine reg delete 'HKCU\Software\Wine\Explorer' /v Desktop /f &&
        wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f; } >"$work/monitors-reg.log" 2>&1
    wineserver -k; wineserver -w; wineserver -p
    printf '\x02\x02\x01\x01\x01\x00' >"$work/run/Data/Setup.ini"   # music off, no display switch

    for action in 'mousemove 2505 500' 'key space' 'click 1' 'click 5'; do
        xdotool mousemove 2500 500
        start_scr /s; me=$pid
        poll 150 two_windows "$me"
        sleep 1
        if [ "$action" = 'mousemove 2505 500' ]; then
            geos=$(for w in $(scr_windows); do geometry "$w"; done | sort | tr '\n' ' ')
            poll 30 drawn
            around=$(count two-monitors 000000 "$primary" '560,220 1359,859')
            other=$(count two-monitors 000000 "$second") cur=$(cursor)
            [ "$geos" = "$second $primary " ] && [ "$lit" -gt 1000 ] && [ "$around" = 0 ] && [ "$other" = 0 ] &&
                [ "$cur" = hidden ]
            result $? 'two monitors: the meeting on the primary, the second black, the cursor hidden' \
                "windows $geos, $lit lit in the playfield, $around lit around it, $other on the second, cursor $cur"
            convert "$artifacts/two-monitors.png" -resize 50% "$artifacts/wine-two-monitors.png"
            xdotool mousemove 2504 504; sleep 0.6
            ! ended "$me"; result $? 'two monitors: a 4-pixel move on the second changes nothing'
        fi
        t0=$(now) gone=
        xdotool $action
        poll 10 no_window && gone=$(( $(now) - t0 ))
        wait_exit "$me" 8
        sleep 0.3; left=$(scr_windows | wc -l) cur=$(cursor)
        [ -n "$gone" ] && [ "$exit_code" = 0 ] && [ "$left" = 0 ] && [ "$cur" = visible ]
        result $? "two monitors: \"$action\" on the second ends it within a second, nothing left" \
            "gone after ${gone:-more than 1000} ms, exit $exit_code, $left windows left, cursor $cur"
    done
}
two_monitors
