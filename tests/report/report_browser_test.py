"""kestrel report on a capture of glfw's gears, looked at in headless Chromium as a person would.

gears is captured for 30 frames with an image of each, beside the capture; kestrel report writes the
page, and the browser opens it from disk: the chart has a bar for each of frames 2 to 30, hovering
the tallest bar names the slowest frame (as kestrel stats finds it), clicking it shows that frame's
image (the recorder's PNG) and its calls exactly as kestrel dump writes them, draws marked, and the
filter box narrows the list. The page fetches nothing but itself and its data: URIs. A copy of the
capture cut short reports to its last whole record and says so on the page.
    usage: report_browser_test.py KESTREL.exe GEARS.exe SCREENSHOT.png   (inside scripts/testbed.sh)
"""
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import base64

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'support'))
from chromium_page import ChromiumPage, png_pixels  # noqa: E402

FRAMES = 30


def kestrel(exe, *words, timeout=600, check=True):
    run = subprocess.run(['wine', exe, *words], capture_output=True, text=True, errors='replace', timeout=timeout)
    if check and run.returncode != 0:
        raise AssertionError(f'kestrel {words[0]} exited {run.returncode}:\n{run.stdout}\n{run.stderr}')
    return run


def dump_calls(exe, capture, frame):
    """The call lines of one frame as kestrel dump writes them (the text after index, time and thread)."""
    out = kestrel(exe, 'dump', capture, '--frames', str(frame)).stdout
    calls = []
    for line in out.replace('\r', '').splitlines():
        m = re.match(r'^\s*\d+\s+-?\d+\s+(?:\d+|-)\s+(.*)$', line)
        if m and re.match(r'w?gl[A-Z]\w*\(', m.group(1)):
            calls.append(m.group(1))
    return calls


# What the page's canvas shows: the runs of bar-coloured pixels along the chart's bottom, each with
# its centre and the height of its bar in pixels.
BARS_JS = '''(() => {
  const c = document.getElementById('chart'), g = c.getContext('2d');
  const px = g.getImageData(0, 0, c.width, c.height).data;
  const colours = ['76,120,168', '217,72,15', '29,35,42'];
  const isBar = (x, y) => { const i = (y * c.width + x) * 4; return colours.includes(px[i] + ',' + px[i + 1] + ',' + px[i + 2]); };
  const y = c.height - 3, bars = [];
  for (let x = 0; x < c.width; x++) {
    if (!isBar(x, y)) continue;
    let end = x; while (end + 1 < c.width && isBar(end + 1, y)) end++;
    const mid = (x + end) >> 1; let top = 0; while (top < y && !isBar(mid, top)) top++;
    const r = c.getBoundingClientRect();
    bars.push({x: r.left + mid + 0.5, y: r.top + c.height - 6, height: y - top});
    x = end;
  }
  return bars;
})()'''

ROWS_JS = '''[...document.querySelectorAll('#calls .call')].filter(d => d.offsetParent !== null).map(d =>
  ({text: [...d.childNodes].filter(n => n.nodeType === 3).map(n => n.textContent).join(''), draw: d.classList.contains('draw')}))'''


def check(condition, message):
    if not condition:
        raise AssertionError(message)


def main():
    exe, gears, screenshot = sys.argv[1:4]
    work = tempfile.mkdtemp(prefix='kestrel-report-test-')
    page = None
    # ctest ends a test that runs too long with SIGTERM first: end the browser then too.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    try:
        os.mkdir(os.path.join(work, 'app'))
        shutil.copy(gears, os.path.join(work, 'app', 'gears.exe'))
        capture = f'Z:{work}/gears.kcap'
        kestrel(exe, 'capture', '--quiet', '--stop-after-frames', str(FRAMES), '--images-every', '1',
                '--images-dir', f'Z:{work}', '--out', capture, '--', f'Z:{work}/app/gears.exe')
        images = sorted(f for f in os.listdir(work) if re.fullmatch(r'gears-\d+_\d{4}\.png', f))
        check(len(images) >= FRAMES, f'the recorder wrote {len(images)} images')

        stats = kestrel(exe, 'stats', capture).stdout
        slowest = int(re.search(r'^worst frames .*?\(frame (\d+)\)', stats, re.M).group(1))
        report = kestrel(exe, 'report', capture)
        check(f'{FRAMES} frames, {FRAMES} frame images' in report.stdout, report.stdout)
        html = os.path.join(work, 'gears.html')
        check(os.path.getsize(html) < 20e6, 'the page is too large')

        page = ChromiumPage()
        page.send('Network.enable')
        page.open('file://' + html)
        fetched = {e['request']['url'].split(':', 1)[0] for e in page.events('Network.requestWillBeSent')}
        check(fetched <= {'file', 'data'}, f'the page fetched {fetched}')

        bars = page.evaluate(BARS_JS)
        check(len(bars) == FRAMES - 1, f'{len(bars)} bars, not one for each of frames 2 to {FRAMES}')

        # A bar other than the slowest first, so that what the slowest shows is seen to change.
        other = next(b for b in bars if b['height'] < max(x['height'] for x in bars))
        page.click(other['x'], other['y'])
        check(page.evaluate("document.getElementById('frame-title').textContent") != f'Frame {slowest}', 'no change')

        # Hovering names the frame under the pointer; among the tallest bars is the slowest frame.
        tallest = max(b['height'] for b in bars)
        target = None
        for bar in (b for b in bars if b['height'] >= tallest - 1):
            page.hover(bar['x'], bar['y'])
            tip = page.evaluate("document.getElementById('tip').style.display === 'block' && document.getElementById('tip').textContent")
            check(tip and re.match(r'frame [\d,]+: [\d.]+ m?s · [\d,]+ calls · [\d,]+ draws · [\d.]+ (B|kB|MB)$', tip), f'tooltip {tip!r}')
            if tip.startswith(f'frame {slowest}:'):
                target = bar
        check(target is not None, f'no tallest bar is frame {slowest}')
        page.click(target['x'], target['y'])
        check(page.evaluate("document.getElementById('frame-title').textContent") == f'Frame {slowest}', 'not selected')

        # Its image: the recorder's PNG of that frame, shown.
        image = next(f for f in images if f.endswith(f'_{slowest:04d}.png'))
        with open(os.path.join(work, image), 'rb') as f:
            expected = 'data:image/png;base64,' + base64.b64encode(f.read()).decode()
        shown = page.evaluate("(() => { const i = document.getElementById('frame-image'); return {src: i.src, "
                              "ok: !i.hidden && i.complete && i.naturalWidth > 0 && i.getBoundingClientRect().width > 50}; })()")
        check(shown['ok'] and shown['src'] == expected, f'frame {slowest}\'s image is not shown')

        # Its calls, as dump shows them, the draws marked.
        calls = dump_calls(exe, capture, slowest)
        rows = page.evaluate(ROWS_JS)
        check([r['text'] for r in rows] == calls, f'{len(rows)} rows against {len(calls)} calls of frame {slowest}')
        draws = [r['text'] for r in rows if r['draw']]
        # gears draws by its display lists, made of immediate-mode primitives in the first frames.
        check(draws and draws == [c for c in calls if c.startswith(('glCallList(', 'glEnd('))], f'draws marked: {draws}')
        check(calls[-1].startswith('wglSwapBuffers('), 'the frame ends at its swap')

        # The filter box narrows the list to the calls that contain its text.
        box = page.evaluate("(() => { const r = document.getElementById('filter').getBoundingClientRect(); return {x: r.left + 20, y: r.top + r.height / 2}; })()")
        page.click(box['x'], box['y'])
        page.type('glRotatef')
        narrowed = [r['text'] for r in page.evaluate(ROWS_JS)]
        check(narrowed == [c for c in calls if 'glRotatef' in c] and 0 < len(narrowed) < len(calls), f'filtered: {narrowed}')

        data = page.screenshot(screenshot)
        width, height, pixels = png_pixels(data)
        sample = [p for row in pixels[::8] for p in row[::8]]
        colours = len(set(sample))
        ink = sum(1 for p in sample if sum(p) < 600) / len(sample)
        check(colours > 50 and ink > 0.05, f'the screenshot looks blank: {colours} colours, {ink:.1%} ink')

        # Cut short: the report covers the whole records before the cut, and says so.
        with open(os.path.join(work, 'gears.kcap'), 'rb') as f:
            whole = f.read()
        with open(os.path.join(work, 'cut.kcap'), 'wb') as f:
            f.write(whole[:len(whole) * 2 // 3])
        cut = kestrel(exe, 'report', f'Z:{work}/cut.kcap', '--out', f'Z:{work}/cut.html', check=False)
        check(cut.returncode == 3 and 'stopped at' in cut.stderr, f'cut capture: {cut.returncode} {cut.stderr}')
        page.open('file://' + os.path.join(work, 'cut.html'))
        banner = page.evaluate("(() => { const d = document.getElementById('damage'); return !d.hidden && d.textContent; })()")
        check(banner and 'damaged' in banner, f'banner: {banner!r}')
        print(f'report ok: {len(bars)} bars, frame {slowest} slowest with {len(calls)} calls, {len(draws)} draws, '
              f'{len(narrowed)} after the filter; screenshot {width}x{height} with {colours} colours')
    finally:
        if page:
            page.close()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == '__main__':
    main()
