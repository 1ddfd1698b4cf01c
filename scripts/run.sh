#!/usr/bin/env bash
# Builds Pellrun and runs the screen saver. On a display it opens full screen (a key,
# a click or a mouse move ends it); without one it records a meeting on the headless
# platform and says where the picture is.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
bash scripts/setup.sh
cmake --preset linux >/dev/null
cmake --build --preset linux
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  exec ./build/linux/pellrun /s
fi
mkdir -p out
./build/linux/tools/sim/pellrun-sim --seconds 12 --snapshot out/pellrun.png "$@"
echo "No display here: the headless program ran the opening of a meeting."
echo "What it showed last: $here/out/pellrun.png"
