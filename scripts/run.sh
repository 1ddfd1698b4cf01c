#!/usr/bin/env bash
# Builds Pellrun and runs the screen saver: ./scripts/run.sh [pellrun's arguments], "/s"
# when none are given. On a display it opens full screen (a key, a click or a mouse move
# ends it); without one it records a race meeting on the headless platform as a GIF and
# says where it is. It installs only what building and running need, and builds only
# the programs (./scripts/test.sh installs and builds the tests).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
bash scripts/setup.sh scripts/run-packages.txt
cmake --preset linux >/dev/null
cmake --build --preset linux --target pellrun pellrun-sim
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  [ $# -gt 0 ] || set -- /s
  exec ./build/linux/pellrun "$@"
fi
[ $# -eq 0 ] || echo "No display here, so \"$*\" is not used."
mkdir -p out
echo "No display here: recording one race meeting with the headless program (about a minute)..."
sim=./build/linux/tools/sim/pellrun-sim
if "$sim" --races 1 --interval 0 --video out/pellrun-meeting.gif; then
  echo "The meeting is recorded in $here/out/pellrun-meeting.gif"
else
  "$sim" --seconds 150 --interval 0 --snapshot out/pellrun.png
  echo "No video could be made; the last picture of the race is $here/out/pellrun.png"
fi
