"""A page in headless Chromium, driven over the DevTools protocol on a pipe (no port, no network).

Used by the tests and benchmarks that open kestrel's report pages as a person would: the browser is
started with a fresh profile and everything that could reach the network turned off, and it is ended
when the page is closed, when the Python process ends, and (by the kernel) when that process dies.
"""
import base64
import ctypes
import json
import os
import select
import shutil
import signal
import subprocess
import tempfile
import time
import zlib

FLAGS = ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
         '--disable-background-networking', '--disable-component-update', '--disable-sync',
         '--disable-default-apps', '--disable-extensions', '--mute-audio', '--hide-scrollbars']


def _die_with_parent():
    # PR_SET_PDEATHSIG: the browser gets SIGKILL when the process that started it ends, however it ends.
    ctypes.CDLL(None, use_errno=True).prctl(1, signal.SIGKILL)


class ChromiumPage:
    def __init__(self, width=1280, height=900, timeout=60):
        self.timeout = timeout
        self.profile = tempfile.mkdtemp(prefix='kestrel-chromium-')
        to_browser_r, self._to_browser = os.pipe()
        self._from_browser, from_browser_w = os.pipe()
        # Above 4, so that the child's dup2 onto 3 and 4 cannot overwrite one with the other; not
        # inheritable, so that only 3 and 4 reach the browser.
        high = [os.dup2(fd, 100 + k, inheritable=False) for k, fd in enumerate((to_browser_r, from_browser_w))]
        os.close(to_browser_r)
        os.close(from_browser_w)

        def child_setup():
            # The browser reads the protocol from fd 3 and writes to fd 4; dup2 makes them inheritable.
            os.dup2(100, 3)
            os.dup2(101, 4)
            _die_with_parent()

        binary = shutil.which('chromium') or shutil.which('chromium-browser')
        if not binary:
            raise RuntimeError('chromium is not installed (scripts/setup.sh installs it)')
        self.process = subprocess.Popen(
            [binary, *FLAGS, f'--user-data-dir={self.profile}', f'--window-size={width},{height}',
             '--remote-debugging-pipe', 'about:blank'],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            close_fds=False, preexec_fn=child_setup, start_new_session=True)
        for fd in high:
            os.close(fd)
        self._buffer = b''
        self._next_id = 0
        self._events = []
        self.session = None
        try:
            target = next(t for t in self.send('Target.getTargets')['targetInfos'] if t['type'] == 'page')
            self.session = self.send('Target.attachToTarget', targetId=target['targetId'], flatten=True)['sessionId']
            self.send('Page.enable')
            self.send('Runtime.enable')
        except BaseException:
            self.close()
            raise

    # --- the protocol
    def _read_message(self, deadline):
        while b'\0' not in self._buffer:
            left = deadline - time.monotonic()
            if left <= 0:
                raise TimeoutError('Chromium did not answer in time')
            ready, _, _ = select.select([self._from_browser], [], [], left)
            if ready:
                chunk = os.read(self._from_browser, 1 << 20)
                if not chunk:
                    raise RuntimeError('Chromium closed its end of the pipe')
                self._buffer += chunk
        message, self._buffer = self._buffer.split(b'\0', 1)
        return json.loads(message)

    def send(self, method, session=True, **params):
        self._next_id += 1
        message = {'id': self._next_id, 'method': method, 'params': params}
        if session and self.session:
            message['sessionId'] = self.session
        os.write(self._to_browser, json.dumps(message).encode() + b'\0')
        deadline = time.monotonic() + self.timeout
        while True:
            reply = self._read_message(deadline)
            if reply.get('id') == self._next_id:
                if 'error' in reply:
                    raise RuntimeError(f'{method}: {reply["error"]}')
                return reply.get('result', {})
            self._events.append(reply)

    def events(self, method):
        """The events of this kind received so far."""
        return [e['params'] for e in self._events if e.get('method') == method]

    # --- what a person does
    def open(self, url, ready='document.body && document.body.dataset.ready === "1"'):
        self.send('Page.navigate', url=url)
        self.wait_for(ready)

    def wait_for(self, expression, timeout=None):
        deadline = time.monotonic() + (timeout or self.timeout)
        while not self.evaluate(expression):
            if time.monotonic() > deadline:
                raise TimeoutError(f'never true: {expression}')
            time.sleep(0.05)

    def evaluate(self, expression):
        result = self.send('Runtime.evaluate', expression=expression, returnByValue=True, awaitPromise=True)
        if 'exceptionDetails' in result:
            raise RuntimeError(f'{expression}: {result["exceptionDetails"]}')
        return result['result'].get('value')

    def hover(self, x, y):
        self.send('Input.dispatchMouseEvent', type='mouseMoved', x=x, y=y)

    def click(self, x, y):
        self.hover(x, y)
        for kind in ('mousePressed', 'mouseReleased'):
            self.send('Input.dispatchMouseEvent', type=kind, x=x, y=y, button='left', clickCount=1)

    def type(self, text):
        self.send('Input.insertText', text=text)

    def screenshot(self, path, full_page=False):
        params = {'format': 'png'}
        if full_page:
            params['captureBeyondViewport'] = True
        data = base64.b64decode(self.send('Page.captureScreenshot', **params)['data'])
        with open(path, 'wb') as f:
            f.write(data)
        return data

    def close(self):
        try:
            if self.process.poll() is None:
                try:
                    self.session = None
                    self.send('Browser.close')
                except Exception:
                    pass
                try:
                    self.process.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    pass
        finally:
            if self.process.poll() is None:
                os.killpg(self.process.pid, signal.SIGKILL)
                self.process.wait()
            for fd in (self._to_browser, self._from_browser):
                try:
                    os.close(fd)
                except OSError:
                    pass
            shutil.rmtree(self.profile, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


def png_pixels(data):
    """Width, height and rows of (r, g, b) tuples of an 8-bit RGB or RGBA PNG, as Chromium writes them."""
    assert data[:8] == b'\x89PNG\r\n\x1a\n', 'not a PNG'
    at, idat, width = 8, b'', 0
    while at < len(data):
        length = int.from_bytes(data[at:at + 4], 'big')
        kind, body = data[at + 4:at + 8], data[at + 8:at + 8 + length]
        if kind == b'IHDR':
            width, height, depth, colour = int.from_bytes(body[0:4], 'big'), int.from_bytes(body[4:8], 'big'), body[8], body[9]
            assert depth == 8 and colour in (2, 6), f'PNG of depth {depth}, colour type {colour}'
            channels = 3 if colour == 2 else 4
        elif kind == b'IDAT':
            idat += body
        at += 12 + length
    raw, stride, rows, previous = zlib.decompress(idat), width * channels, [], bytearray(width * channels)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - channels] if i >= channels else 0
            b = previous[i]
            c = previous[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + a) & 255
            elif kind == 2:
                line[i] = (line[i] + b) & 255
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append([tuple(line[x * channels:x * channels + 3]) for x in range(width)])
        previous = line
    return width, height, rows
