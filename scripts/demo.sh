#!/usr/bin/env bash
# The main job: set up, build the recorder and the kestrel command, capture glfw's gears example (a
# third-party OpenGL program built from Debian's sources) for a number of frames with an image of
# each, show what was captured, draw it again from the capture alone and compare every frame.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
frames=${DEMO_FRAMES:-24}
start=$SECONDS
bash "$root/scripts/build.sh" kestrel
demo=$build/demo
# A run of its own: images left by an earlier one would be compared with this one's.
rm -rf "$demo"
mkdir -p "$demo"
cp /var/cache/kestrel/glfw-i686/examples/gears.exe "$demo/"
cd "$demo"
bash "$root/scripts/testbed.sh" "$build" bash -c '
    set -e
    kestrel=$KESTREL_BUILD/bin/kestrel.exe
    # The first frame gears presents is still empty: the images start after it.
    wine "$kestrel" capture --stop-after-frames '"$((frames + 1))"' --images-every 1 --images-first 1 \
        --images-dir captured --out gears.kcap -- gears.exe
    echo
    wine "$kestrel" stats gears.kcap
    echo
    echo "The capture replayed on the system OpenGL:"
    wine "$kestrel" replay gears.kcap --images replayed
'
echo
echo "Every frame, as the program drew it and as the replay drew it:"
python3 "$root/scripts/frames.py" captured replayed --min-frames "$frames" --side-by-side "$demo/side-by-side.png"
echo
echo "Done in $((SECONDS - start)) s. Files to open:"
echo "  $demo/side-by-side.png   four of the frames, each as captured (left) beside as replayed (right)"
echo "  $demo/captured/          every frame as the program drew it (the recorder's images)"
echo "  $demo/replayed/          every frame as the replay drew it from the capture alone"
echo "  $demo/gears.kcap         the capture: ./kestrel dump, ./kestrel stats, ./kestrel replay read it"
