#!/bin/sh
# Includes point down the layers only: each layer names the project folders it may
# include from, and only the backends include OS or library headers.
cd "$1/src" || exit 2
bad=0
check() {  # layer, allowed folders (a regex alternation)
  hits=$(grep -rn '#include "' "$1" | grep -v -E "#include \"($2)/")
  [ -z "$hits" ] || { echo "$1 reaches outside $2:"; echo "$hits"; bad=1; }
}
check app 'app|race|sound|gfx|core|platform'
check race 'race|sound|gfx|core|platform'
check sound 'sound|gfx|core|platform'
check gfx 'gfx|core|platform'
check core 'core|platform'
os=$(grep -rln -E '#include <(windows|mmsystem|SDL[^>]*|ft2build|fontconfig/[^>]*|fluidsynth|unistd|pthread|X11/[^>]*)\.h>' \
     app race sound gfx core platform/platform.h)
[ -z "$os" ] || { echo "OS headers above the backends:"; echo "$os"; bad=1; }
exit $bad
