#!/usr/bin/env bash
# Builds Pellrun and runs the screen saver. On a display it opens full screen (a key,
# a click or a mouse move ends it); without one it records a race meeting on the
# headless platform as a GIF and says where it is.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
bash scripts/setup.sh scripts/run-packages.txt
cmake --preset linux >/dev/null
cmake --build --preset linux --target pellrun pellrun-sim
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  exec ./build/linux/pellrun /s
fi
mkdir -p out
echo "No display here: recording one race meeting with the headless program (about a minute)..."
if ./build/linux/tools/sim/pellrun-sim --races 1 --interval 0 --video out/pellrun-meeting.gif "$@"; then
  echo "The meeting is recorded in $here/out/pellrun-meeting.gif"
else
  ./build/linux/tools/sim/pellrun-sim --seconds 150 --interval 0 --snapshot out/pellrun.png "$@"
  echo "No video could be made; the last picture of the race is $here/out/pellrun.png"
fi
