#!/usr/bin/env bash
# The report of a long capture: 100,000 frames of 500 calls (50 million calls) written by
# synthetic_capture.exe, made into a page by `kestrel report` and opened in headless Chromium.
# Measured: the page's size (goal under 20 MB), the time the browser takes from navigation to the
# chart drawn and the slowest frame's calls listed (goal under 2 s), and how long the report took.
#   usage: bench_report.sh [FRAMES [CALLS]]   (inside scripts/testbed.sh; default 100000 500)
set -euo pipefail
frames=${1:-100000} calls=${2:-500}
build=${KESTREL_BUILD:?run inside scripts/testbed.sh}
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d /tmp/kestrel-bench-report.XXXXXX)
trap 'rm -rf "$work"' EXIT

wine "$build/bench/synthetic_capture.exe" "Z:$work/long.kcap" "$frames" "$calls" | tr -d '\r'
start=$(date +%s.%N)
wine "$build/bin/kestrel.exe" report "Z:$work/long.kcap" | tr -d '\r'
made=$(date +%s.%N)

python3 - "$work/long.html" "$root/tests/support" "$start" "$made" <<'PY'
import os, sys, time
sys.path.insert(0, sys.argv[2])
from chromium_page import ChromiumPage
page_path, report_seconds = sys.argv[1], float(sys.argv[4]) - float(sys.argv[3])
size = os.path.getsize(page_path)
opens = []
with ChromiumPage() as page:
    for _ in range(3):
        page.open('file://' + page_path)
        # From navigation start to the first frame painted after the chart and the selected frame's calls.
        opens.append(page.evaluate('window.reportReadyMs') / 1000)
        bars = page.evaluate("document.getElementById('chartspace').style.width")
        listed = page.evaluate('document.querySelectorAll("#calls .call").length')
        page.send('Page.navigate', url='about:blank')
opens.sort()
print(f'kestrel report: {report_seconds:.1f} s to write the page (under Wine{", emulated" if os.path.exists("/proc/sys/fs/binfmt_misc/qemu-i386") else ""})')
print(f'  page size        {size / 1e6:8.2f} MB   goal < 20 MB: {"met" if size < 20e6 else "missed"}')
print(f'  open in Chromium {opens[1]:8.2f} s    (median of 3: {", ".join(f"{t:.2f}" for t in opens)}) goal < 2 s: {"met" if opens[1] < 2 else "missed"}')
print(f'  chart scroll width {bars}, {listed} calls of the selected frame shown')
PY
