#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the tests need, and those of
# any further list files named on the command line.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
sudo=""
if [ "$(id -u)" != 0 ]; then sudo="sudo"; fi
mapfile -t wanted < <(cat "$here/.ci/packages.txt" "$@" | grep -v -E '^\s*(#|$)')
missing=()
for p in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -q
  $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
