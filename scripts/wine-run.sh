#!/usr/bin/env bash
# Runs one Windows program under Wine inside the test bed that scripts/testbed.sh set up.
[ -n "${WINEPREFIX:-}" ] && [ -n "${DISPLAY:-}" ] || { echo "wine-run: run this inside scripts/testbed.sh" >&2; exit 2; }
exec wine "$@"
