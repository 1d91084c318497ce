#!/usr/bin/env python3
"""The demo's frame check: it passes on a capture and replay that agree frame for frame, and fails on
every fault that would make the comparison a lie (a black frame, a frame that does not move, one
pixel off, a frame missing)."""
import os
import shutil
import struct
import sys
import tempfile
import unittest
import zlib

sys.dont_write_bytecode = True  # nothing of a test run stays in the tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
import frames  # noqa: E402

W, H, COUNT = 16, 12, 20


def frame_image(n):
    """A grey background with a square that moves one pixel per frame, as an animation does."""
    rgb = bytearray(b"\x20\x30\x40" * (W * H))
    for y in range(3, 7):
        for x in range(n % (W - 4), n % (W - 4) + 4):
            rgb[(y * W + x) * 3:(y * W + x) * 3 + 3] = bytes((200, 10 * n % 256, 50))
    return frames.Image(W, H, rgb)


def paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    return a if pa <= pb and pa <= pc else b if pb <= pc else c


def filtered_png(path, image, channels):
    """A PNG whose rows use every filter type in turn, as libpng's adaptive filtering writes them."""
    stride = image.width * channels
    pixels = bytearray()
    for i in range(0, len(image.rgb), 3):
        pixels += image.rgb[i:i + 3] + (b"\x80" if channels == 4 else b"")
    raw, previous = bytearray(), bytes(stride)
    for y in range(image.height):
        line = pixels[y * stride:(y + 1) * stride]
        kind = y % 5
        out = bytearray()
        for i, x in enumerate(line):
            a = line[i - channels] if i >= channels else 0
            b = previous[i]
            c = previous[i - channels] if i >= channels else 0
            predictor = (0, a, b, (a + b) >> 1, paeth(a, b, c))[kind]
            out.append((x - predictor) & 0xFF)
        raw += bytes([kind]) + out
        previous = line

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
    colour = 2 if channels == 3 else 6
    with open(path, "wb") as f:
        f.write(frames.PNG_SIGNATURE + chunk(b"IHDR", struct.pack(">IIBBBBB", image.width, image.height, 8, colour, 0, 0, 0))
                + chunk(b"IDAT", zlib.compress(bytes(raw))) + chunk(b"IEND", b""))


class FrameCheckTest(unittest.TestCase):
    def setUp(self):
        self.root = tempfile.mkdtemp(prefix="frame-check-")
        self.fresh("frames")

    def fresh(self, name):
        """Folders of agreeing frames, as a capture and its replay write them."""
        self.captured = os.path.join(self.root, name, "captured")
        self.replayed = os.path.join(self.root, name, "replayed")
        os.makedirs(self.captured)
        os.makedirs(self.replayed)
        for n in range(1, COUNT + 1):
            frames.write_png(self.captured_path(n), frame_image(n))
            frames.write_png(self.replayed_path(n), frame_image(n))

    def tearDown(self):
        shutil.rmtree(self.root)

    def captured_path(self, n):
        return os.path.join(self.captured, "gears-1234_%04d.png" % n)

    def replayed_path(self, n):
        return os.path.join(self.replayed, "gears_%04d.png" % n)

    def test_agreeing_frames_pass_and_every_fault_fails(self):
        black = frames.Image(W, H, bytes(W * H * 3))

        def one_pixel_off(t):
            image = frame_image(3)
            rgb = bytearray(image.rgb)
            rgb[((H - 1) * W + 5) * 3 + 1] ^= 1
            frames.write_png(t.replayed_path(3), frames.Image(W, H, rgb))

        def standing_still(t):
            for path in (t.captured_path(5), t.replayed_path(5)):
                frames.write_png(path, frame_image(4))

        cases = [
            ("agreeing", lambda t: None, COUNT, None),
            ("replayed frame black", lambda t: frames.write_png(t.replayed_path(7), black), COUNT,
             "frame 7: the replayed image is one uniform colour"),
            ("captured frame black", lambda t: frames.write_png(t.captured_path(7), black), COUNT,
             "frame 7: the captured image is one uniform colour"),
            ("both black", lambda t: [frames.write_png(p, black) for p in (t.captured_path(2), t.replayed_path(2))],
             COUNT, "frame 2: the captured image is one uniform colour"),
            ("one pixel off", one_pixel_off, COUNT, "frame 3: the replayed image differs from the captured one, first at (5, 11)"),
            ("standing still", standing_still, COUNT, "frames 4 and 5 are the same"),
            ("replayed frame missing", lambda t: os.remove(t.replayed_path(9)), 1, "frame 9: captured but not replayed"),
            ("captured frame missing", lambda t: os.remove(t.captured_path(9)), 1, "without a gap"),
            ("too few frames", lambda t: None, COUNT + 1, "fewer than %d" % (COUNT + 1)),
            # Images that start after a first frame, and frames saved while the program was being closed.
            ("images from frame 2 on", lambda t: [os.remove(t.captured_path(1)), frames.write_png(t.captured_path(COUNT + 1), black)],
             COUNT - 1, None),
            ("too few from frame 2 on", lambda t: os.remove(t.captured_path(1)), COUNT, "fewer than %d" % COUNT),
        ]
        for name, spoil, minimum, fault in cases:
            with self.subTest(name):
                self.fresh(name)
                spoil(self)
                found = frames.check(self.captured, self.replayed, minimum)
                if fault is None:
                    self.assertEqual(found, [])
                else:
                    self.assertTrue(any(fault in f for f in found), found)
                self.assertEqual(frames.main([self.captured, self.replayed, "--min-frames", str(minimum)]),
                                 0 if fault is None else 1)

    def test_images_of_an_earlier_run_are_refused(self):
        frames.write_png(os.path.join(self.replayed, "gears_older_0001.png"), frame_image(1))
        with self.assertRaises(frames.ImageError):
            frames.check(self.captured, self.replayed, 1)
        self.assertEqual(frames.main([self.captured, self.replayed]), 2)

    def test_rows_of_every_filter_type_read_back_exactly(self):
        image = frame_image(6)
        for channels in (3, 4):
            path = os.path.join(self.root, "filtered-%d.png" % channels)
            filtered_png(path, image, channels)
            back = frames.read_png(path)
            self.assertEqual((back.width, back.height, back.rgb), (image.width, image.height, image.rgb))

    def test_side_by_side_puts_each_replayed_frame_beside_its_captured_one(self):
        out = os.path.join(self.root, "side.png")
        self.assertEqual(frames.main([self.captured, self.replayed, "--side-by-side", out, "--pairs", "3"]), 0)
        picture = frames.read_png(out)
        gap, spacing = 4, 16
        self.assertEqual((picture.width, picture.height), (3 * (2 * W + gap) + 2 * spacing, H))
        for column, n in enumerate((1, 10, 20)):  # first, middle and last frame
            for side in (0, 1):
                left = column * (2 * W + gap + spacing) + side * (W + gap)
                for y in range(H):
                    row = picture.rgb[(y * picture.width + left) * 3:(y * picture.width + left + W) * 3]
                    self.assertEqual(row, frame_image(n).rgb[y * W * 3:(y + 1) * W * 3], (n, side, y))


if __name__ == "__main__":
    unittest.main()
