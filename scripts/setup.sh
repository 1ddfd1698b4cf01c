#!/usr/bin/env bash
# Installs the Debian packages of the list files named on the command line (one name a
# line, # comments); with none, those of .ci/packages.txt, which the tests need.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
sudo=""
if [ "$(id -u)" != 0 ]; then sudo="sudo"; fi
[ $# -gt 0 ] || set -- "$here/.ci/packages.txt"
mapfile -t wanted < <(cat "$@" | grep -v -E '^\s*(#|$)')
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
