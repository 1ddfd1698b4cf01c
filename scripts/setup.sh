#!/usr/bin/env bash
# Installs the Debian packages of the list files named on the command line (one name a
# line, # comments); with none, those of .ci/packages.txt, which the tests need, and the
# web edition's npm packages (pinned in package-lock.json: its page script's libraries,
# its bundler and its browser tests' driver).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
sudo=""
if [ "$(id -u)" != 0 ]; then sudo="sudo"; fi
tests=0
[ $# -gt 0 ] || { tests=1; set -- "$here/.ci/packages.txt"; }
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

if [ $tests = 1 ]; then
  # Debian's nodejs has npm in a package of its own; NodeSource's brings it along.
  command -v npm >/dev/null || $sudo apt-get install -y -q --no-install-recommends npm
  # npm ci starts from nothing each time: it runs only when the lock file changed.
  if ! cmp -s "$here/package-lock.json" "$here/node_modules/.pellrun-lock.json"; then
    (cd "$here" && npm ci --no-audit --no-fund --prefer-offline &&
     cp package-lock.json node_modules/.pellrun-lock.json)
  fi
fi
