#!/usr/bin/env bash
# Sets the machine up (when needed), configures and builds. BUILD_DIR defaults to ./build.
#   usage: scripts/build.sh [TARGET...]   (no target: everything, tests and benchmarks included)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
bash "$root/scripts/setup.sh"
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
targets=()
for t in "$@"; do targets+=(--target "$t"); done
cmake --build "$build" "${targets[@]}" -j"$(nproc)" -- --no-print-directory
