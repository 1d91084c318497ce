#!/usr/bin/env bash
# Builds, then runs every benchmark in the Wine test bed: the programs (bench_*.exe in the build's bench
# folder) and the scripts (bench/bench_*.sh, for benchmarks that need Linux tools beside Wine).
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
for exe in "$build"/bench/bench_*.exe "$root"/bench/bench_*.sh; do
    [ -e "$exe" ] || continue
    [ -z "$filter" ] || [[ $(basename "$exe") == *"$filter"* ]] || continue
    programs+=("$exe")
done
[ ${#programs[@]} -gt 0 ] || { echo "bench: no bench_*.exe in $build/bench, no bench/bench_*.sh" >&2; exit 1; }
exec bash "$root/scripts/testbed.sh" "$build" bash -c '
    status=0
    for exe in "$@"; do
        echo "== $(basename "$exe")"
        case $exe in
            *.sh) bash "$exe" ;;
            *) wine "$exe" ;;
        esac || { echo "bench: $(basename "$exe") failed" >&2; status=1; }
    done
    exit $status' bench "${programs[@]}"
