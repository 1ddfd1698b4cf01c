# Several monitors side by side on a real X server, for end-to-end runs. Source this file.
#   start_monitors LAYOUT [Xorg arguments...]: LAYOUT lists sizes ("1920x1080 1280x1024"), one
#       monitor each, left to right from (0, 0), tops aligned, the first the primary: Xorg with
#       the dummy driver on a free display, laid out with xrandr, DISPLAY exported. The bare root
#       shows a stipple (-retro), easy to tell from a black window. Returns 0 when the layout is
#       in place; 2 when Xorg cannot run here (it needs root); 1 when it failed. On 2 and 1,
#       monitors_error says why (with the end of the server's output and log on a failure).
#   stop_monitors: ends exactly that server (by its PID), removes its files and gives DISPLAY
#       back its value from before; for the caller's EXIT trap, it does nothing when none runs.
# Needs xserver-xorg-core, xserver-xorg-video-dummy and x11-xserver-utils (xrandr). SDL,
# Xinerama queries and Wine (without its virtual desktop) all see the monitors.
monitors_pid= monitors_dir= monitors_error= monitors_geometry=() monitors_display=

monitors_failed() {  # monitors_failed <status> <message>: tidies up, keeps the message
    local file; monitors_error=$2
    for file in "$monitors_dir"/xorg.{out,log}; do
        [ "$1" = 1 ] && [ -s "$file" ] && monitors_error+=$'\n'$(tail -n 12 "$file")
    done
    stop_monitors
    return "$1"
}

start_monitors() {
    local layout=$1 size width height x=0 tallest=768 n=0 outputs clock listed arguments=()
    shift
    monitors_geometry=() monitors_error=
    [ "$(id -u)" = 0 ] || { monitors_error="Xorg with the dummy driver needs root"; return 2; }
    for size in $layout; do
        [[ "$size" =~ ^([0-9]+)x([0-9]+)$ ]] || { monitors_error="not a size: $size"; return 1; }
        monitors_geometry+=("$size+$x+0")
        x=$((x + BASH_REMATCH[1])) tallest=$((BASH_REMATCH[2] > tallest ? BASH_REMATCH[2] : tallest))
    done
    monitors_dir=$(mktemp -d "${TMPDIR:-/tmp}/pellrun-monitors.XXXXXX") monitors_display=${DISPLAY-}
    # The framebuffer holds the whole layout; no input devices are taken from the machine.
    cat >"$monitors_dir/xorg.conf" <<EOF
Section "ServerFlags" Option "AutoAddDevices" "false" EndSection
Section "Device" Identifier "dummy" Driver "dummy" VideoRam 256000 EndSection
Section "Screen" Identifier "screen" Device "dummy" DefaultDepth 24
    SubSection "Display" Virtual $((x > 1024 ? x : 1024)) $tallest EndSubSection
EndSection
EOF
    Xorg -displayfd 3 -config "$monitors_dir/xorg.conf" -noreset -nolisten tcp -novtswitch -sharevts -retro \
        -logfile "$monitors_dir/xorg.log" "$@" 3>"$monitors_dir/display" >"$monitors_dir/xorg.out" 2>&1 &
    monitors_pid=$!
    for _ in $(seq 100); do [ ! -s "$monitors_dir/display" ] && kill -0 "$monitors_pid" 2>/dev/null && sleep 0.1; done
    [ -s "$monitors_dir/display" ] || monitors_failed 1 "Xorg did not start" || return
    export DISPLAY=":$(head -n1 "$monitors_dir/display")"

    # The dummy driver offers outputs DUMMY0, DUMMY1, ...; each size is made a mode
    # (reduced blanking, 60 Hz: any timing does for a driver without a screen) unless the
    # server has it already.
    mapfile -t outputs < <(xrandr 2>/dev/null | awk '$2 == "connected" || $2 == "disconnected" {print $1}')
    for size in $layout; do
        width=${size%x*} height=${size#*x}
        clock=$(( (width + 160) * (height + 40) * 60 / 1000 ))   # kHz
        xrandr --newmode "$size" "$((clock / 1000)).$(printf %03d $((clock % 1000)))" "$width" $((width + 48)) \
            $((width + 80)) $((width + 160)) "$height" $((height + 3)) $((height + 8)) $((height + 40)) 2>/dev/null
        xrandr --addmode "${outputs[n]}" "$size" 2>/dev/null ||
            monitors_failed 1 "xrandr cannot give output ${outputs[n]:-$n} the mode $size" || return
        x=${monitors_geometry[n]#*+}
        arguments+=(--output "${outputs[n]}" --mode "$size" --pos "${x/+/x}")
        [ "$n" = 0 ] && arguments+=(--primary)
        n=$((n + 1))
    done
    xrandr "${arguments[@]}" 2>"$monitors_dir/xrandr.err" ||
        monitors_failed 1 "xrandr refused the layout: $(cat "$monitors_dir/xrandr.err")" || return
    # The layout as the server reports it. This query also has the server probe its outputs
    # again: without it, programs that read only the current state (Wine) see one monitor.
    listed=$(xrandr --listmonitors 2>/dev/null |
        awk 'NR > 1 {split($3, g, "[/x+]"); print g[1] "x" g[3] "+" g[5] "+" g[6]}')
    [ "$(sort -t+ -k2,2n <<<"$listed" | tr '\n' ' ')" = "${monitors_geometry[*]} " ] ||
        monitors_failed 1 "the server lays out $(echo $listed), not ${monitors_geometry[*]}"
}

stop_monitors() {
    if [ -n "$monitors_pid" ] && kill "$monitors_pid" 2>/dev/null; then
        for _ in $(seq 50); do kill -0 "$monitors_pid" 2>/dev/null || break; sleep 0.1; done
        kill -9 "$monitors_pid" 2>/dev/null
        wait "$monitors_pid" 2>/dev/null
    fi
    [ -n "$monitors_dir" ] && rm -rf "$monitors_dir" && export DISPLAY=$monitors_display
    monitors_pid= monitors_dir=
}
