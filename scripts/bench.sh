#!/usr/bin/env bash
# Builds, then runs every benchmark program (bench_*.exe in the build's bench folder) in the Wine test bed.
#   usage: scripts/bench.sh [NAME-FILTER]    e.g. scripts/bench.sh stream
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
if ! bash "$root/scripts/build.sh"; then
    # Someone's unfinished subsystem should not keep the benchmarks from running.
    echo "bench: the full build failed; building the bench folder and what it needs" >&2
    cmake --build "$build" --target help >/dev/null 2>&1 && [ -f "$build/bench/Makefile" ] || exit 1
    make -C "$build/bench" -j"$(nproc)" --no-print-directory all || exit 1
fi
filter=${1:-}
programs=()
for exe in "$build"/bench/bench_*.exe; do
    [ -e "$exe" ] || continue
    [ -z "$filter" ] || [[ $(basename "$exe") == *"$filter"* ]] || continue
    programs+=("$exe")
done
[ ${#programs[@]} -gt 0 ] || { echo "bench: no bench_*.exe in $build/bench" >&2; exit 1; }
exec bash "$root/scripts/testbed.sh" "$build" bash -c '
    status=0
    for exe in "$@"; do
        echo "== $(basename "$exe")"
        wine "$exe" || { echo "bench: $(basename "$exe") failed" >&2; status=1; }
    done
    exit $status' bench "${programs[@]}"
