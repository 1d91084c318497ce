#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite in the Wine test bed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
bash "$root/scripts/build.sh"
exec bash "$root/scripts/testbed.sh" "$build" ctest --test-dir "$build" --output-on-failure -j2 "$@"
