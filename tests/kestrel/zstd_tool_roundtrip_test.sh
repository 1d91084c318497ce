#!/usr/bin/env bash
# The zstd command-line tool alone turns a compressed capture back into the raw record stream: the
# same program captured compressed and with --compress none gives the same records, and the tool's
# output reads, record for record, as kestrel reads the compressed file itself.
#   usage: zstd_tool_roundtrip_test.sh KESTREL.exe APP.exe   (inside scripts/testbed.sh)
set -euo pipefail
kestrel=$1 app=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
run() { wine "$kestrel" "$@"; }
args=(--calls 40 --threads 1 --frames 6)

run capture --quiet --out "Z:$work/packed.kcap" -- "Z:$app" "${args[@]}" >/dev/null
run capture --quiet --compress none --out "Z:$work/raw.kcap" -- "Z:$app" "${args[@]}" >/dev/null
zstd -q -d "$work/packed.kcap" -o "$work/unpacked.kcap"

# Time stamps, thread ids and handles differ between runs: the records' kinds and sizes do not.
python3 - "$work/unpacked.kcap" "$work/raw.kcap" <<'PY'
import struct, sys
def records(path):
    data = open(path, 'rb').read()
    out, at = [], 0
    while at + 16 <= len(data):
        rid, size = struct.unpack_from('<II', data, at)
        out.append((rid, size))
        at += 16 + (8 if rid == 119 else size)  # an alias marker's size covers the record it marks
    assert at == len(data), f'{path}: {len(data) - at} bytes after the last whole record'
    return out
unpacked, raw = records(sys.argv[1]), records(sys.argv[2])
assert len(unpacked) > 100, f'only {len(unpacked)} records'
assert unpacked == raw, f'{len(unpacked)} records against {len(raw)}; first difference at ' + str(
    next(i for i, (a, b) in enumerate(zip(unpacked + [None], raw + [None])) if a != b))
PY

# The tool's output is the very stream that kestrel reads from the compressed file.
run dump "Z:$work/packed.kcap" > "$work/packed.txt"
run dump "Z:$work/unpacked.kcap" > "$work/unpacked.txt"
cmp "$work/packed.txt" "$work/unpacked.txt"
run stats "Z:$work/packed.kcap" | grep -q '^file         zstd level '
run stats "Z:$work/unpacked.kcap" | grep -q '^file         uncompressed record stream'
echo "round trip ok: $(wc -l < "$work/packed.txt") records"
