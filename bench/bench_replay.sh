#!/usr/bin/env bash
# The replay's frame rate against the original program's own, in one run on this machine. glfw's gears
# runs plainly for a while; Wine's own trace of its swaps (with time stamps) gives its frame rate.
# The same program is captured for a few hundred frames and `kestrel replay --benchmark` draws the
# capture again, skipping the first frames (context and list set-up), several rounds over.
#   usage: bench_replay.sh [ROUNDS [FRAMES]]   (inside scripts/testbed.sh; default 3 rounds, 240 frames)
set -euo pipefail
rounds=${1:-3} frames=${2:-240}
build=${KESTREL_BUILD:?run inside scripts/testbed.sh}
kestrel=$build/bin/kestrel.exe
work=$(mktemp -d /tmp/kestrel-bench-replay.XXXXXX)
trap 'rm -rf "$work"' EXIT
cp /var/cache/kestrel/glfw-i686/examples/gears.exe "$work/"

# Frames per second between the 10th swap and the last one Wine traced.
swap_rate() {
    python3 - "$1" <<'PY'
import re, sys
times = [float(m.group(1)) for m in re.finditer(r'^(\d+\.\d+):[0-9a-f]+:trace:wgl:glxdrv_wglSwapBuffers',
                                                 open(sys.argv[1], errors='replace').read(), re.M)]
times = times[10:]
print(f'{(len(times) - 1) / (times[-1] - times[0]):.2f}' if len(times) > 10 else 0)
PY
}

original=() replayed=()
for ((round = 0; round < rounds; round++)); do
    WINEDEBUG=+timestamp,+wgl timeout 15 wine "$work/gears.exe" > /dev/null 2> "$work/trace.txt" || true
    original+=("$(swap_rate "$work/trace.txt")")
done
wine "$kestrel" capture --quiet --stop-after-frames "$frames" --out "Z:$work/gears.kcap" -- "Z:$work/gears.exe" > /dev/null
for ((round = 0; round < rounds; round++)); do
    rate=$(wine "$kestrel" replay "Z:$work/gears.kcap" --benchmark --frames 11- --loop 2 | tr -d '\r' |
           sed -n 's/^benchmark: .* s: \([0-9.]*\) frames per second$/\1/p')
    [ -n "$rate" ] || { echo "bench_replay: the replay reported no rate" >&2; exit 1; }
    replayed+=("$rate")
done

python3 - "${original[*]}" "${replayed[*]}" "$rounds" "$frames" <<'PY'
import statistics, sys
original = [float(x) for x in sys.argv[1].split()]
replayed = [float(x) for x in sys.argv[2].split()]
print(f'glfw gears: {sys.argv[3]} rounds each; the capture holds {sys.argv[4]} frames, replayed from frame 11, twice a round')
for name, rates in (('gears run plainly (Wine\'s swap trace)', original), ('kestrel replay --benchmark', replayed)):
    print(f'  {name:40} median {statistics.median(rates):8.2f} fps  (min {min(rates):.2f}, max {max(rates):.2f})')
ratio = statistics.median(replayed) / statistics.median(original)
print(f'  replay / original: {ratio:.2f}  goal >= 1.00: {"met" if ratio >= 1 else "missed"}')
PY
