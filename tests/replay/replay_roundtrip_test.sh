#!/usr/bin/env bash
# kestrel replay draws a capture again with the system OpenGL: the replay's frame images are byte for
# byte those the recorder saved while the program drew, frame by frame, and no call is left out.
#   modes: every mode of replay_app; one capture also replayed for a range of frames (--frames), twice
#          over (--loop) and cut short in the middle of a record.
#   frame-ends: frames that end otherwise than by a plain swap, and captures stopped while the program
#          goes on: a spinning cube whose pixel format is chosen as SDL chooses it, over 30 frames; a
#          single-buffered window, whose frames end at glFlush and glFinish, whole and stopped after 5
#          frames; two threads drawing into two windows, stopped after 6 frames.
#   persistent: buffers written while they stay mapped persistently (APP is persistent_app): a
#          renderer's rings over 30 frames; one byte a frame of a 64 KiB buffer, recorded as that byte;
#          a mapping nothing draws from; persistent mappings unmapped every frame, recorded at unmap;
#          texture images uploaded from a persistent unpack buffer, whose writes the upload reads; a
#          readable mapping the GL copies into, read after the fence is polled signalled.
#   usage: replay_roundtrip_test.sh KESTREL.exe APP.exe modes|frame-ends|persistent   (inside scripts/testbed.sh)
set -euo pipefail
kestrel=$1 app=$2 part=${3:-modes}
work=$(mktemp -d /tmp/kestrel-replay.XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() { echo "replay_roundtrip_test: $*" >&2; exit 1; }

# Frame images are matched by the frame number that ends their names (_NNNN.png): capture and replay
# name them after different things.
#   images expect DIR FIRST LAST   the images are exactly those of frames FIRST to LAST
#   images distinct DIR            each frame differs from the one before it
#   images same DIR REFERENCE      the same frames as REFERENCE, byte for byte
#   images within DIR REFERENCE    every frame is in REFERENCE, byte for byte
images() {
    python3 - "$@" <<'PY'
import os, re, sys
def frames(folder):
    found = {}
    for name in os.listdir(folder):
        match = re.search(r'_(\d{4})\.png$', name)
        if not match:
            continue
        number = int(match.group(1))
        if number in found:
            sys.exit(f'{folder}: two images of frame {number}')
        found[number] = open(os.path.join(folder, name), 'rb').read()
    return found
command, folder, *rest = sys.argv[1:]
got = frames(folder)
name = os.path.basename(folder)
if command == 'expect':
    first, last = int(rest[0]), int(rest[1])
    if sorted(got) != list(range(first, last + 1)):
        sys.exit(f'{name}: images of frames {sorted(got)}, expected {first} to {last}')
elif command == 'distinct':
    same = [n for n in sorted(got) if n - 1 in got and got[n] == got[n - 1]]
    if same:
        sys.exit(f'{name}: frames {same} are the same as the frame before')
else:
    reference = frames(rest[0])
    if command == 'same' and sorted(got) != sorted(reference):
        sys.exit(f'{name}: frames {sorted(got)}, but {os.path.basename(rest[0])} has {sorted(reference)}')
    missing = sorted(set(got) - set(reference))
    if missing:
        sys.exit(f'{name}: frames {missing} are not in {os.path.basename(rest[0])}')
    differ = [n for n in sorted(got) if got[n] != reference[n]]
    if differ:
        sys.exit(f'{name}: frames {differ} differ from those of {os.path.basename(rest[0])}')
PY
}

# capture NAME MODE FRAMES [KESTREL OPTIONS...]: NAME.kcap, with an image of every frame in NAME.captured.
capture() {
    local name=$1 mode=$2 frames=$3
    shift 3
    wine "$kestrel" capture --quiet --images-every 1 --images-dir "Z:$work/$name.captured" --out "Z:$work/$name.kcap" \
        "$@" -- "Z:$app" "$mode" --frames "$frames" > "$work/$name.capture.txt" 2>&1 \
        || fail "capture of $mode failed: $(cat "$work/$name.capture.txt")"
}

# replay CAPTURE IMAGES [OPTIONS...]: images into IMAGES, the output in IMAGES.out and IMAGES.err, the
# exit code in $code.
replay() {
    local capture=$1 images=$2
    shift 2
    mkdir -p "$work/$images"
    set +e
    wine "$kestrel" replay "Z:$work/$capture.kcap" --images "Z:$work/$images" "$@" \
        > "$work/$images.out" 2> "$work/$images.err"
    code=$?
    set -e
    tr -d '\r' < "$work/$images.out" > "$work/$images.txt"
}

# The replay's last line: "replayed N calls, M not replayed". Prints N after checking that M is 0.
replayed_calls() {
    local images=$1 line replayed skipped
    line=$(grep -E '^replayed [0-9]+ calls, [0-9]+ not replayed$' "$work/$images.txt" | tail -n 1) \
        || fail "$images: no line 'replayed N calls, M not replayed': $(cat "$work/$images.txt" "$work/$images.err")"
    read -r _ replayed _ skipped _ <<< "$line"
    [ "$skipped" = 0 ] || fail "$images: $line: $(cat "$work/$images.err")"
    echo "$replayed"
}

# A whole replay: exit code 0, every call replayed.
replayed_whole() {
    local images=$1
    [ "$code" = 0 ] || fail "$images: exit code $code: $(cat "$work/$images.err")"
    replayed_calls "$images" > /dev/null
}

# The calls the capture holds, as kestrel stats counts them.
calls_in() {
    wine "$kestrel" stats "Z:$work/$1.kcap" | tr -d '\r' | sed -n 's/^records .*(\([0-9]*\) calls.*/\1/p'
}

# round_trip NAME FRAMES: the capture NAME holds FRAMES frames, each with its image, each differing
# from the one before; replayed, every call is either re-issued or a read-back the replay leaves out,
# and the replay's frames are the capture's, byte for byte.
round_trip() {
    local name=$1 frames=$2 calls replayed readbacks held
    images expect "$work/$name.captured" 1 "$frames"
    images distinct "$work/$name.captured"
    held=$(wine "$kestrel" stats "Z:$work/$name.kcap" | tr -d '\r' | sed -n 's/^frames *\([0-9]*\).*/\1/p')
    [ "$held" = "$frames" ] || fail "$name: kestrel stats counts ${held:-no} frames, not $frames"
    replay "$name" "$name.replayed"
    [ "$code" = 0 ] || fail "$name: replay exit code $code: $(cat "$work/$name.replayed.err")"
    calls=$(calls_in "$name" || true)
    [ -n "$calls" ] || fail "$name: kestrel stats gave no count of calls"
    replayed=$(replayed_calls "$name.replayed")
    readbacks=$(sed -n 's/^\([0-9]*\) read-backs left out.*/\1/p' "$work/$name.replayed.txt")
    [ $((replayed + readbacks)) = "$calls" ] ||
        fail "$name: $replayed calls replayed and $readbacks read-backs of the capture's $calls"
    images same "$work/$name.replayed" "$work/$name.captured"
}

# stopped NAME FRAMES: the capture of a program that went on drawing was stopped after FRAMES
# frames: kestrel says so, and that it left exactly the images of those frames.
stopped() {
    local name=$1 frames=$2
    grep -q "stopped .* after frame $frames," "$work/$name.capture.txt" ||
        fail "$name: not stopped after frame $frames: $(cat "$work/$name.capture.txt")"
    grep -q " $frames frames -> " "$work/$name.capture.txt" ||
        fail "$name: the capture does not hold $frames frames: $(cat "$work/$name.capture.txt")"
    grep -q "^kestrel: $frames frame images -> " "$work/$name.capture.txt" ||
        fail "$name: not $frames frame images: $(cat "$work/$name.capture.txt")"
}

if [ "$part" = frame-ends ]; then
    # The cube's edges, where the depth test decides between two faces, show any difference between
    # the depth buffer the program drew with and the replay's.
    capture cube cube 30
    round_trip cube 30
    # Set-up flushes before any drawing end no frame, a second flush with nothing drawn ends none.
    capture single single-buffered 5
    round_trip single 5
    capture single-stopped single-buffered 100000 --stop-after-frames 5
    stopped single-stopped 5
    round_trip single-stopped 5
    images same "$work/single-stopped.captured" "$work/single.captured"
    # Two threads, a window each, drawing on after the capture has ended.
    capture threads-stopped threads 100000 --stop-after-frames 6
    stopped threads-stopped 6
    round_trip threads-stopped 6
    echo "replay round trip ok: a cube of 30 frames, single-buffered frames whole and stopped, two threads stopped"
    exit 0
fi

# mapped_writes NAME: the mapped-write lines of kestrel dump, one a record.
mapped_writes() {
    wine "$kestrel" dump "Z:$work/$1.kcap" --grep "mapped write" | tr -d '\r' | grep "mapped write: " || true
}

if [ "$part" = persistent ]; then
    capture renderer renderer 30
    round_trip renderer 30
    # Every frame writes each ring's part and the flushed buffer's: at least three records a frame.
    writes=$(mapped_writes renderer | wc -l)
    [ "$writes" -ge 90 ] || fail "renderer: $writes mapped-write records for 30 frames"

    # After the first frame (the triangle and the byte), one run of one byte a frame.
    capture one-byte one-byte 12
    round_trip one-byte 12
    mapped_writes one-byte > "$work/one-byte.writes"
    single=$(grep -cE 'mapped write: buffer [0-9]+, 1 run \([0-9]+\+1\), 1 bytes$' "$work/one-byte.writes" || true)
    [ "$single" -ge 11 ] && [ "$(wc -l < "$work/one-byte.writes")" -le 12 ] ||
        fail "one-byte: not one byte a frame: $(cat "$work/one-byte.writes")"
    wine "$kestrel" stats "Z:$work/one-byte.kcap" | tr -d '\r' > "$work/one-byte.stats"
    mapped=$(sed -n 's/^ *\([0-9]*\) .*mapped writes.*/\1/p' "$work/one-byte.stats")
    [ -n "$mapped" ] && [ "$mapped" -lt 200 ] || fail "one-byte: stats counts ${mapped:-no} mapped bytes: $(cat "$work/one-byte.stats")"
    wine "$kestrel" dump "Z:$work/one-byte.kcap" --json | tr -d '\r' | grep '"record":"mapped write"' | tail -n 1 \
        | grep -qE '"runs":\[\{"offset":[0-9]+,"length":1\}\],"data":\{"bytes":1,' ||
        fail "one-byte: the JSON dump does not give the last record's run and bytes"

    # Never drawn from, never unmapped: the swaps take its writes, and the program ends normally.
    capture no-draw no-draw 6
    round_trip no-draw 6
    [ "$(mapped_writes no-draw | wc -l)" -ge 6 ] || fail "no-draw: not a mapped-write record a frame"

    # Unmapped every frame with nothing in between to read it: the unmap records carry the bytes.
    capture unmap unmap 6
    round_trip unmap 6
    [ -z "$(mapped_writes unmap)" ] || fail "unmap: mapped-write records: $(mapped_writes unmap)"
    wine "$kestrel" stats "Z:$work/unmap.kcap" | tr -d '\r' > "$work/unmap.stats"
    grep -qE '^ *24576 .*mapped writes \(6 ' "$work/unmap.stats" ||
        fail "unmap: not 6 unmaps of 4096 bytes: $(cat "$work/unmap.stats")"
    # The upload reads the mapping first: its writes are recorded before it, not at the draw after it.
    capture texture texture 8
    round_trip texture 8
    # Each frame's upload comes right after the record of that frame's writes.
    wine "$kestrel" dump "Z:$work/texture.kcap" | tr -d '\r' | grep -E "mapped write: |glTexSubImage2D\(" > "$work/texture.order"
    led=$(paste - - < "$work/texture.order" | grep -cP "mapped write: .*\t.*glTexSubImage2D\(" || true)
    [ "$led" = 8 ] && [ "$(wc -l < "$work/texture.order")" = 16 ] ||
        fail "texture: $led of 8 uploads follow their frame's mapped write: $(cat "$work/texture.order")"
    # The program checks what it reads; the replay clears to the colours the capture holds.
    capture poll poll 6
    round_trip poll 6
    echo "replay round trip ok: persistent rings of 30 frames, one byte a frame, a mapping never drawn from, unmaps," \
        "uploads from a persistent unpack buffer, a polled fence"
    exit 0
fi

# Every mode: what the replay draws is what the program drew. shared and threads swap twice an iteration.
for entry in immediate:5:5 client-arrays:5:5 buffers:8:8 textures:5:5 shaders:5:5 shared:5:10 threads:5:10 fonts:4:4; do
    IFS=: read -r mode frames swaps <<< "$entry"
    capture "$mode" "$mode" "$frames"
    round_trip "$mode" "$swaps"
done

# A range of frames: those frames alone, as the whole replay drew them.
replay buffers range --frames 3-5
replayed_whole range
images expect "$work/range" 3 5
images within "$work/range" "$work/buffers.replayed"

# Two passes: the second draws each frame as the first did.
replay buffers twice --loop 2
replayed_whole twice
images same "$work/twice" "$work/buffers.replayed"

# Cut inside a record of frames 3 to 6: the replay draws every frame before that record's frame, says
# at which record it stopped and exits 3.
capture raw buffers 8 --compress none
wine "$kestrel" dump --json "Z:$work/raw.kcap" > "$work/raw.jsonl"
seed=$RANDOM
picked=$(python3 - "$work/raw.kcap" "$work/raw.jsonl" "$seed" <<'PY'
import json, random, struct, sys
data = open(sys.argv[1], 'rb').read()
frame_of = {}
for line in open(sys.argv[2]):
    record = json.loads(line)
    frame_of[record['n']] = record['frame']
# An alias marker's size covers the record it marks: a cut in either stops the reader at the marker.
units, at, n = [], 0, 0
while at + 16 <= len(data):
    rid, size = struct.unpack_from('<II', data, at)
    units.append((at, 16 + size, frame_of[n]))
    n += 2 if rid == 119 else 1
    at += 16 + size
assert at == len(data) and n == len(frame_of), 'the raw capture does not walk record by record'
rng = random.Random(int(sys.argv[3]))
start, length, frame = rng.choice([u for u in units if 3 <= u[2] <= 6])
print(start + rng.randrange(1, length), start, frame)
PY
) || fail "no place to cut the raw capture"
read -r cut stop frame <<< "$picked"
head -c "$cut" "$work/raw.kcap" > "$work/cut.kcap"
replay cut cut.replayed
where="cut at byte $cut (seed $seed) inside the record at byte $stop, of frame $frame"
[ "$code" = 3 ] || fail "$where: exit code $code, not 3: $(cat "$work/cut.replayed.err")"
grep -q "stopped at byte $stop " "$work/cut.replayed.err" \
    || fail "$where: stderr does not say it stopped at byte $stop: $(cat "$work/cut.replayed.err")"
images expect "$work/cut.replayed" 1 $((frame - 1))
images within "$work/cut.replayed" "$work/buffers.replayed"
echo "replay round trip ok: 8 modes, a frame range, a loop, and a capture $where"
