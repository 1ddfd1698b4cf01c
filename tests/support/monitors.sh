# Several monitors side by side on one X server: Xorg with the dummy video driver (Xvfb
# cannot place screens side by side). Needs root and the packages xserver-xorg-core and
# xserver-xorg-video-dummy. Source it, then:
#   start_monitors DIR WxH [WxH...]  monitors left to right from (0, 0), the first the
#                                    primary; sets DISPLAY and MONITORS_PID (0 on failure,
#                                    with the server's log in DIR/xorg.log)
#   stop_monitors                    ends that server
start_monitors() {
  local dir=$1 width=0 height=0 size w h i x
  shift
  for size in "$@"; do
    w=${size%x*} h=${size#*x}
    width=$((width + w))
    [ "$h" -gt "$height" ] && height=$h
  done
  cat > "$dir/xorg.conf" <<CONF
Section "ServerFlags"
  Option "AutoAddDevices" "false"
  Option "DontVTSwitch" "true"
EndSection
Section "Device"
  Identifier "dummy"
  Driver "dummy"
  VideoRam 256000
EndSection
Section "Screen"
  Identifier "screen"
  Device "dummy"
  DefaultDepth 24
  SubSection "Display"
    Depth 24
    Virtual $width $height
  EndSubSection
EndSection
CONF
  rm -f "$dir/xorg.display"
  Xorg -displayfd 3 -config "$dir/xorg.conf" -noreset -nolisten tcp -novtswitch -sharevts \
    -logfile "$dir/xorg.log" 3> "$dir/xorg.display" 2> /dev/null &
  MONITORS_PID=$!
  for _ in $(seq 100); do [ -s "$dir/xorg.display" ] && break; sleep 0.1; done
  if [ ! -s "$dir/xorg.display" ]; then
    kill "$MONITORS_PID" 2> /dev/null
    MONITORS_PID=0
    return 1
  fi
  export DISPLAY=":$(cat "$dir/xorg.display")"
  # Each monitor an output of the dummy card at its size (a mode made when the card has
  # none of that size), placed right of the one before.
  set -- $(printf '%s\n' "$@")
  i=0 x=0
  for size in "$@"; do
    w=${size%x*} h=${size#*x}
    if ! xrandr --addmode "DUMMY$i" "$size" 2> /dev/null; then
      xrandr --newmode "$size" $(gtf "$w" "$h" 60 | sed -n 's/.*Modeline "[^"]*" *//p') 2> /dev/null
      xrandr --addmode "DUMMY$i" "$size" || return 1
    fi
    xrandr --output "DUMMY$i" --mode "$size" --pos "${x}x0" || return 1
    [ $i -eq 0 ] && xrandr --output DUMMY0 --primary
    i=$((i + 1)) x=$((x + w))
  done
  # Clients that read the current layout without asking the server to look again (SDL)
  # see the last monitors only after one that does.
  xrandr -q > /dev/null
}

stop_monitors() {
  [ "${MONITORS_PID:-0}" -gt 0 ] && kill "$MONITORS_PID" 2> /dev/null && wait "$MONITORS_PID" 2> /dev/null
  MONITORS_PID=0
}
