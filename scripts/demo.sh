#!/usr/bin/env bash
# The main job: set up, build, capture glfw's offscreen example (a third-party OpenGL program built
# from Debian's sources), show what was captured, and draw it again from the capture alone.
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
    wine "$kestrel" capture --images-every 1 --images-dir captured --out offscreen.kcap -- offscreen.exe
    echo
    wine "$kestrel" stats offscreen.kcap
    echo
    echo "The last records of the capture:"
    wine "$kestrel" dump offscreen.kcap | tail -n 30
    echo
    echo "The capture replayed on the system OpenGL:"
    wine "$kestrel" replay offscreen.kcap --images replayed
    if cmp -s captured/*_0001.png replayed/offscreen_0001.png; then
        echo "The replayed frame is, pixel for pixel, the frame the program drew."
    else
        echo "The replayed frame differs from the frame the program drew." >&2
        exit 1
    fi
'
echo
echo "Capture: $demo/offscreen.kcap (read it with ./kestrel dump or ./kestrel stats, draw it with ./kestrel replay)"
echo "Frame images: $demo/captured (as the program drew it) and $demo/replayed (as the replay drew it)"
