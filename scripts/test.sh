#!/usr/bin/env bash
# Runs every test: the native suite, the Debian package run by the real xscreensaver,
# the native suite under AddressSanitizer and UndefinedBehaviorSanitizer, the sound
# stream's hand-off under ThreadSanitizer, a short fuzzing run of the song loader, the
# web edition in headless Chromium (about 11 minutes), the Windows cross build and its
# end-to-end run under Wine.
set -uo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
bash scripts/setup.sh || exit 1
failed=0
step() {
  echo "== $*"
  "$@" || { echo "!! failed: $*"; failed=1; }
}
step cmake --preset linux
step cmake --build --preset linux
step ctest --preset linux
# The package, installed into a scratch root, run by the real xscreensaver.
step bash tests/host/run.sh build/linux
step cmake --preset asan
step cmake --build --preset asan
step ctest --preset asan
step cmake --preset tsan
step cmake --build --preset tsan-sound
step ctest --preset tsan-sound
step cmake --preset fuzz
step cmake --build --preset fuzz
step ctest --preset fuzz
step cmake --preset web
step cmake --build --preset web
step node tests/web/check_web.mjs build/web build/linux/tools/sim/pellrun-sim
step cmake --preset windows
step cmake --build --preset windows
if [ -x tests/wine/run.sh ] || [ -f tests/wine/run.sh ]; then
  step bash tests/wine/run.sh "$here/build/windows"
fi
if [ $failed -ne 0 ]; then
  echo "Some steps failed."
  exit 1
fi
echo "All test steps passed."
