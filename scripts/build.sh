#!/usr/bin/env bash
# Sets the machine up (when needed), configures and builds both widths: the i686 tree in BUILD_DIR
# (default ./build) and the x86-64 tree in BUILD_DIR/x86_64. KESTREL_WIDTHS picks one alone, e.g.
# KESTREL_WIDTHS=x86_64 scripts/build.sh. Each tree's bin gets the other width's recorder in a folder
# named after that width (bin/x86_64/GLKESTREL.dll, bin/i686/GLKESTREL.dll), where kestrel looks for it.
#   usage: scripts/build.sh [TARGET...]   (no target: everything, tests and benchmarks included)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
widths=${KESTREL_WIDTHS:-i686 x86_64}
bash "$root/scripts/setup.sh"
targets=()
for t in "$@"; do targets+=(--target "$t"); done

tree() { if [ "$1" = i686 ]; then echo "$build"; else echo "$build/$1"; fi; }
for width in $widths; do
    case $width in i686|x86_64) ;; *) echo "build: unknown width '$width' (i686 or x86_64)" >&2; exit 2 ;; esac
    dir=$(tree "$width")
    if [ ! -f "$dir/CMakeCache.txt" ]; then
        cmake -S "$root" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$width.cmake" -DCMAKE_BUILD_TYPE=Release >/dev/null
    fi
    cmake --build "$dir" "${targets[@]}" -j"$(nproc)" -- --no-print-directory
done
# A tree whose other width was built too gets that width's recorder for the processes of that width.
for width in i686 x86_64; do
    for other in i686 x86_64; do
        [ "$width" != "$other" ] || continue
        recorder=$(tree "$other")/bin/GLKESTREL.dll
        if [ -d "$(tree "$width")/bin" ] && [ -f "$recorder" ]; then
            mkdir -p "$(tree "$width")/bin/$other"
            cp -p "$recorder" "$(tree "$width")/bin/$other/GLKESTREL.dll"
        fi
    done
done
