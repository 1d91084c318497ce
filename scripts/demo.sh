#!/usr/bin/env bash
# Sets up, builds and runs the main job.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
bash "$root/scripts/build.sh"
exec bash "$root/scripts/testbed.sh" "$build" wine "$build/tests/gl/gl_under_wine_test.exe"
