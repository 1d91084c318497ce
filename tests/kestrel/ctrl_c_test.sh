#!/usr/bin/env bash
# Ctrl-C ends a capture at once and whole: kestrel, sent the interrupt as a terminal sends it (Wine
# turns SIGINT into the console's Ctrl-C) while a small ring is kept full, closes the application,
# drains and writes everything the ring held, takes the recorder away from beside the application
# and exits with 130. The application numbers its calls, so a lost one shows as a gap.
#   usage: ctrl_c_test.sh KESTREL.exe APP.exe   (inside scripts/testbed.sh)
set -euo pipefail
kestrel=$1 app=$2
work=$(mktemp -d /tmp/kestrel-ctrl-c.XXXXXX)
runner=
# kestrel, whatever happens to this script: its end takes the application with it (its job).
trap '[ -n "$runner" ] && kill -KILL $runner 2>/dev/null; rm -rf "$work"' EXIT
fail() { echo "ctrl_c_test: $1" >&2; [ -f "$work/out.txt" ] && cat "$work/out.txt" >&2; exit 1; }

wine "$kestrel" capture --ring-mib 1 --out "Z:$work/interrupted.kcap" -- "Z:$app" --forever --frame-pattern 2000 \
    > "$work/out.txt" 2>&1 &
runner=$!
# Frames are being captured once the file has its first drained bytes. The time limits only guard
# against a hang: they hold under emulation with the other core busy.
for _ in $(seq 1 1200); do
    [ -s "$work/interrupted.kcap" ] && break
    kill -0 $runner 2>/dev/null || fail "kestrel ended before it was interrupted"
    sleep 0.5
done
[ -s "$work/interrupted.kcap" ] || fail "no capture was written within 10 minutes"
sleep 2
# The emulated process of this run's kestrel: its command line names this run's folder.
pid=$(pgrep -f "kestrel.exe capture .*Z:$work/" | head -n 1 || true)
[ -n "$pid" ] || fail "kestrel's process not found"
kill -INT "$pid"
for _ in $(seq 1 600); do kill -0 $runner 2>/dev/null || break; sleep 0.5; done
kill -0 $runner 2>/dev/null && fail "kestrel still runs 5 minutes after Ctrl-C"
set +e
wait $runner
code=$?
runner=
set -e
[ $code = 130 ] || fail "exit code $code, not 130"
grep -q "interrupted" "$work/out.txt" || fail "the message does not say the run was interrupted"
for left in opengl32.dll opengl32.dll.kestrel-placed; do
    [ -e "$(dirname "$app")/$left" ] && fail "the recorder's placement was left beside the application ($left)"
done
pgrep -f "$(basename "$app") --forever" >/dev/null && fail "the application still runs"

# The file reads whole: its last record complete, frames in it.
wine "$kestrel" stats "Z:$work/interrupted.kcap" > "$work/stats.txt" 2>&1 || fail "stats could not read the capture: $(cat "$work/stats.txt")"
frames=$(sed -n 's/^frames *\([0-9][0-9]*\).*/\1/p' "$work/stats.txt" | head -n 1)
[ -n "$frames" ] && [ "$frames" -gt 0 ] || fail "no frames in the capture: $(cat "$work/stats.txt")"
# Every numbered call from the first on, none missing, none altered: glTexCoord4i(process, n, ~n, 0x5A5A5A5A).
wine "$kestrel" dump --json "Z:$work/interrupted.kcap" > "$work/dump.json" 2>/dev/null || fail "dump could not read the capture"
calls=$(python3 - "$work/dump.json" <<'PY'
import json, sys
expected = 0
for line in open(sys.argv[1]):
    record = json.loads(line)
    if record.get("function") != "glTexCoord4i":
        continue
    s, t, r, q = (int(v) for v in record["args"].values())
    assert t == expected and r == ~expected and q == 0x5A5A5A5A, f"call {expected}: found {s} {t} {r} {q}"
    expected += 1
assert expected >= 2000, f"only {expected} numbered calls"
print(expected)
PY
) || fail "the numbered calls are not whole: $calls"
echo "ctrl_c_test: exit 130, $frames frames, $calls numbered calls without a gap, the file whole"
