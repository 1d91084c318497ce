#!/usr/bin/env bash
# An unmodified GL program renders correctly with the recorder beside it as opengl32.dll.
#   dropin_test.sh APP.exe RECORDER.dll
set -u
dir=$(mktemp -d "${KESTREL_BUILD:-/tmp}/dropin.XXXXXX")
trap 'rm -rf "$dir"' EXIT
cp "$1" "$dir/app.exe" && cp "$2" "$dir/opengl32.dll" || exit 1
WINEDLLOVERRIDES="opengl32=n,b;${WINEDLLOVERRIDES:-}" wine "$dir/app.exe" --expect-recorder --frames 5
