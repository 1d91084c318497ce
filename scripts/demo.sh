#!/usr/bin/env bash
# The main job: set up, build, capture glfw's offscreen example (a third-party OpenGL program built
# from Debian's sources) and show what was captured.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
bash "$root/scripts/build.sh"
demo=$build/demo
mkdir -p "$demo"
cp /var/cache/kestrel/glfw-i686/examples/offscreen.exe "$demo/"
cd "$demo"
bash "$root/scripts/testbed.sh" "$build" bash -c '
    set -e
    kestrel=$KESTREL_BUILD/bin/kestrel.exe
    wine "$kestrel" capture --out offscreen.kcap -- offscreen.exe
    echo
    wine "$kestrel" stats offscreen.kcap
    echo
    echo "The last records of the capture:"
    wine "$kestrel" dump offscreen.kcap | tail -n 30
'
echo
echo "Capture: $demo/offscreen.kcap (read it with ./kestrel dump or ./kestrel stats)"
