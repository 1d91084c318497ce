#!/usr/bin/env bash
# Builds, then runs every benchmark in the Wine test bed, for each width built (KESTREL_WIDTHS picks
# one): the programs (bench_*.exe in the tree's bench folder; the x86-64 ones run natively, the i686
# ones under emulation where the machine has no 32-bit mode) and the scripts (bench/bench_*.sh, for
# benchmarks that need Linux tools beside Wine, run once with the i686 tree).
#   usage: scripts/bench.sh [NAME-FILTER]    e.g. scripts/bench.sh stream
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
widths=${KESTREL_WIDTHS:-i686 x86_64}
tree() { if [ "$1" = i686 ]; then echo "$build"; else echo "$build/$1"; fi; }
if ! bash "$root/scripts/build.sh"; then
    # Someone's unfinished subsystem should not keep the benchmarks from running.
    echo "bench: the full build failed; building the bench folders and what they need" >&2
    built=0
    for width in $widths; do
        dir=$(tree "$width")
        [ -f "$dir/bench/Makefile" ] && make -C "$dir/bench" -j"$(nproc)" --no-print-directory all && built=1
    done
    [ $built = 1 ] || exit 1
fi
filter=${1:-}
status=0
for width in $widths; do
    dir=$(tree "$width")
    programs=()
    for exe in "$dir"/bench/bench_*.exe; do
        [ -e "$exe" ] || continue
        [ -z "$filter" ] || [[ $(basename "$exe") == *"$filter"* ]] || continue
        programs+=("$exe")
    done
    if [ "$width" = "${widths%% *}" ]; then
        for script in "$root"/bench/bench_*.sh; do
            [ -e "$script" ] || continue
            [ -z "$filter" ] || [[ $(basename "$script") == *"$filter"* ]] || continue
            programs+=("$script")
        done
    fi
    [ ${#programs[@]} -gt 0 ] || { echo "bench: nothing to run for $width in $dir/bench" >&2; continue; }
    echo "==== $width"
    bash "$root/scripts/testbed.sh" "$dir" bash -c '
        status=0
        for exe in "$@"; do
            echo "== $(basename "$exe")"
            case $exe in
                *.sh) bash "$exe" ;;
                *) wine "$exe" ;;
            esac || { echo "bench: $(basename "$exe") failed" >&2; status=1; }
        done
        exit $status' bench "${programs[@]}" || status=1
done
exit $status
