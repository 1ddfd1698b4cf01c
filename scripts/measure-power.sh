#!/bin/bash
# Side-by-side power measurement: Pellrun (Linux, music off and on; Windows edition
# under Wine, music on) and three peer xscreensaver hacks, each on its own Xvfb at
# 1024 x 768 (or $SIZE), all running at the same time so they share one machine load.
#
# Usage: scripts/measure-power.sh [linux-build-dir] [windows-build-dir]
#   (defaults build/linux and build/windows; a missing Pellrun.scr skips Wine)
# Environment: SECONDS_TOTAL (default 90) is how long everything runs; the board is
#   taken as BOARD_FROM..BOARD_TO seconds after the start (default 15..60; with an
#   interval setting of 0 the board is up from about 10 s to about 65 s).
#   PEERS (default "popsquares deco metaballs") names the hacks; empty runs none.
#   SCALES (default none) adds a Linux run with music off for each --scale value given
#   ("1 fill": one to one beside filled); SIZE (default 1024x768) is every screen's size.
#   SEED (default none) starts every Linux run with --seed SEED: the same meeting and the
#   same songs in each (the songs alone make music on differ by a factor of two).
#   BASE (default none) names another Linux build directory whose music-on run is added
#   (a change measured beside the build it changes, at the same load).
# Prints a Markdown table: CPU of one core for the whole run and for the board
# (process + its X server, + wineserver for Wine), main-thread wake-ups per second on
# the board (voluntary context switches of the thread-group leader) and peak RSS.
#
# Needs xvfb, wine64 (for the Windows edition), locales and the Debian packages
# xscreensaver-data and xscreensaver-data-extra (the hacks).
set -u

here=$(cd "$(dirname "$0")/.." && pwd)
linux_build=$(cd "${1:-$here/build/linux}" && pwd)
windows_build=$(cd "${2:-$here/build/windows}" 2>/dev/null && pwd || echo "")
total=${SECONDS_TOTAL:-90}
board_from=${BOARD_FROM:-15}
board_to=${BOARD_TO:-60}
peers=${PEERS-popsquares deco metaballs}
scales=${SCALES:-}
seed=${SEED:-}
base_build=${BASE:+$(cd "$BASE" && pwd)}
size=${SIZE:-1024x768}
hacks=/usr/libexec/xscreensaver

work=$(mktemp -d "${TMPDIR:-/tmp}/pellrun-power.XXXXXX")
started=()       # every process started here, ended by its own id
xvfbs=()
wine_prefix=
cleanup() {
    local pid
    for pid in "${started[@]}"; do kill "$pid" 2>/dev/null; done
    [ -n "$wine_prefix" ] && WINEPREFIX="$wine_prefix" wineserver -k >/dev/null 2>&1
    for pid in "${xvfbs[@]}"; do kill "$pid" 2>/dev/null; done
    [ -n "${PELLRUN_POWER_KEEP:-}" ] || rm -rf "$work"
}
trap cleanup EXIT

# start_x <name>: an Xvfb of its own; sets display and records "<name> xvfb <pid>".
start_x() {
    exec 3>"$work/$1.display"
    Xvfb -displayfd 3 -noreset -screen 0 "${size}x24" >"$work/$1.xvfb.log" 2>&1 &
    local pid=$!
    exec 3>&-
    xvfbs+=("$pid")
    for _ in $(seq 50); do [ -s "$work/$1.display" ] && break; sleep 0.1; done
    display=":$(head -n1 "$work/$1.display")"
    echo "$1 x $pid" >>"$work/pids"
}

# A run directory with the songs and a settings file (Setup.ini: version 2, speed 2,
# interval 0, music on 0 / off 1, full screen, no smoothing). The file is also put
# where an installed Linux edition reads it.
make_run_dir() {  # make_run_dir <name> <music byte>
    mkdir -p "$work/$1/Data" "$work/$1/config/pellrun" "$work/$1/runtime"
    chmod 700 "$work/$1/runtime"
    cp "$here"/Data/*.dat "$work/$1/Data/"
    printf "\\x02\\x02\\x00\\x$2\\x01\\x00" >"$work/$1/Data/Setup.ini"
    cp "$work/$1/Data/Setup.ini" "$work/$1/config/pellrun/Setup.ini"
}

start_linux() {  # start_linux <name> <music byte> [option...]
    make_run_dir "$1" "$2"
    start_x "$1"
    local name=$1 build=$linux_build
    shift 2
    [ "$name" = base-music-on ] && build=$base_build
    (cd "$work/$name" && exec env DISPLAY="$display" SDL_AUDIODRIVER=dummy \
        XDG_RUNTIME_DIR="$work/$name/runtime" XDG_CONFIG_HOME="$work/$name/config" \
        "$build/pellrun" /s ${seed:+--seed "$seed"} "$@" >"$work/$name.log" 2>&1) &
    started+=("$!")
    echo "$name p $!" >>"$work/pids"
}

: >"$work/pids"
names=()

# Wine first: its prefix takes several seconds to make, the others start after it.
if [ -n "$windows_build" ] && [ -f "$windows_build/Pellrun.scr" ] && command -v wine >/dev/null; then
    make_run_dir wine 00
    start_x wine
    wine_prefix="$work/wine/prefix"
    mkdir -p "$work/locale"
    if localedef -i ja_JP -f UTF-8 "$work/locale/ja_JP.UTF-8" >"$work/localedef.log" 2>&1 &&
        DISPLAY="$display" LOCPATH="$work/locale" LANG=ja_JP.UTF-8 \
            "$here/tests/wine/setup.sh" "$wine_prefix" >"$work/wine.setup.log" 2>&1; then
        (cd "$work/wine" && exec env DISPLAY="$display" WINEPREFIX="$wine_prefix" \
            WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
            LOCPATH="$work/locale" LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8 \
            wine "$windows_build/Pellrun.scr" /s >"$work/wine.log" 2>&1) &
        started+=("$!")
        echo "wine p $!" >>"$work/pids"
        names+=(wine)
    else
        echo "Wine prefix could not be made; the Windows edition is left out" >&2
    fi
fi

start_linux music-off 01; names+=(music-off)
start_linux music-on 00; names+=(music-on)
[ -n "$base_build" ] && { start_linux base-music-on 00; names+=(base-music-on); }
for scale in $scales; do start_linux "scale-$scale" 01 --scale "$scale"; names+=("scale-$scale"); done
for hack in $peers; do
    if [ ! -x "$hacks/$hack" ]; then
        echo "no $hacks/$hack (packages xscreensaver-data, xscreensaver-data-extra)" >&2
        continue
    fi
    start_x "$hack"
    env DISPLAY="$display" "$hacks/$hack" -root >"$work/$hack.log" 2>&1 &
    started+=("$!")
    echo "$hack p $!" >>"$work/pids"
    names+=("$hack")
done

echo "measuring ${names[*]} for $total s (board $board_from..$board_to s), load $(cut -d' ' -f1-3 /proc/loadavg)" >&2
WINE_PREFIX="$wine_prefix" python3 - "$work/pids" "$total" "$board_from" "$board_to" "$(uptime)" <<'PY'
import os, sys, time

pid_file, total, board_from, board_to, uptime = sys.argv[1], float(sys.argv[2]), float(sys.argv[3]), float(sys.argv[4]), sys.argv[5]
tick = os.sysconf("SC_CLK_TCK")
wine_prefix = os.environ.get("WINE_PREFIX", "")
procs = {}   # name -> {"x": pid, "p": pid}
for line in open(pid_file):
    name, kind, pid = line.split()
    procs.setdefault(name, {})[kind] = int(pid)

def cpu(pid):
    try:
        with open(f"/proc/{pid}/stat") as f:
            fields = f.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / tick
    except OSError:
        return None

def status(pid, key):
    try:
        for line in open(f"/proc/{pid}/status"):
            if line.startswith(key + ":"):
                return int(line.split()[1])
    except OSError:
        pass
    return None

def prefix_processes():
    """The Windows program and the wineserver of our prefix (found by environment)."""
    found = {}
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            env = open(f"/proc/{entry}/environ", "rb").read().split(b"\0")
            comm = open(f"/proc/{entry}/comm").read().strip()
        except OSError:
            continue
        if ("WINEPREFIX=" + wine_prefix).encode() not in env:
            continue
        if comm == "wineserver":
            found["server"] = int(entry)
        elif comm.lower().startswith("pellrun"):
            found["program"] = int(entry)
    return found

def members(name):
    """(main process, [pids whose CPU counts])."""
    p = procs[name]
    if name == "wine":
        found = prefix_processes()
        main = found.get("program")
        return main, [x for x in (main, found.get("server"), p["x"]) if x]
    return p["p"], [p["p"], p["x"]]

def sample():
    now = time.monotonic()
    out = {}
    for name in procs:
        if "p" not in procs[name]:
            continue
        main, pids = members(name)
        out[name] = {"cpu": sum(cpu(x) or 0 for x in pids), "csw": status(main, "voluntary_ctxt_switches") if main else None,
                     "hwm": status(main, "VmHWM") if main else None, "main": main}
    return now, out

start = time.monotonic()
trace = []
while True:
    now, s = sample()
    trace.append((now - start, s))
    if now - start >= total:
        break
    time.sleep(1.0)

def at(t):
    return min(trace, key=lambda e: abs(e[0] - t))

def rate(name, key, t0, t1):
    a, b = at(t0), at(t1)
    va, vb = a[1][name][key], b[1][name][key]
    if va is None or vb is None or a[1][name]["main"] != b[1][name]["main"]:
        return None
    return (vb - va) / (b[0] - a[0])

first = trace[min(2, len(trace) - 1)][0]   # the first samples may miss a slow starter
labels = {"music-off": "`pellrun /s`, music off (process + X)",
          "scale-1": "`pellrun /s --scale 1`, music off (process + X)",
          "scale-fill": "`pellrun /s --scale fill`, music off (process + X)",
          "music-on": "`pellrun /s`, music on (process + X)",
          "base-music-on": "`pellrun /s` of BASE, music on (process + X)",
          "wine": "`Pellrun.scr /s` under Wine, music on (process + wineserver + X)"}
print(f"Measured {time.strftime('%Y-%m-%d %H:%M UTC', time.gmtime())}, {trace[-1][0]:.0f} s, board {board_from:.0f}-{board_to:.0f} s;{uptime.split('load')[-1].replace('average:', ' load')}")
print()
print("| program | CPU, whole run | CPU, board | wake-ups/s, board | peak RSS |")
print("|---|---|---|---|---|")
for name in procs:
    if "p" not in procs[name]:
        continue
    whole = rate(name, "cpu", first, trace[-1][0])
    board = rate(name, "cpu", board_from, board_to)
    wakes = rate(name, "csw", board_from, board_to)
    hwm = trace[-1][1][name]["hwm"]
    label = labels.get(name, f"`{name}` (process + X)")
    pct = lambda v: "-" if v is None else f"{100 * v:.2f} %"
    print(f"| {label} | {pct(whole)} | {pct(board)} | {'-' if wakes is None else f'{wakes:.0f}'} | "
          f"{'-' if hwm is None else f'{hwm / 1024:.1f} MB'} |")
PY
