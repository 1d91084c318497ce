#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite in the Wine test bed: the i686 tree's tests, then the
# x86-64 tree's (each in a test bed of its width); fails when either fails. KESTREL_WIDTHS picks one.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
widths=${KESTREL_WIDTHS:-i686 x86_64}
bash "$root/scripts/build.sh"
status=0
for width in $widths; do
    if [ "$width" = i686 ]; then dir=$build; else dir=$build/$width; fi
    echo "== tests of the $width build ($dir)"
    bash "$root/scripts/testbed.sh" "$dir" ctest --test-dir "$dir" --output-on-failure -j2 "$@" || status=1
done
exit $status
