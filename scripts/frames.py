#!/usr/bin/env python3
"""Compares the frame images of a capture with those of its replay, frame by frame, and puts a few
of them side by side in one PNG.

    frames.py CAPTURED_DIR REPLAYED_DIR [--min-frames N] [--side-by-side OUT.png]

An image's frame is the number that ends its name (`<name>_0004.png` is frame 4). The frames compared
are those the capture has images of, up to the replay's last. The check fails when they are fewer than
N or have a gap, when one was not replayed or its replayed image differs in a single pixel, when an
image is of one uniform colour (nothing was drawn), or when two consecutive frames are the same (the
program animates every frame). Exit code 0 when every
check holds, 1 otherwise, 2 for an unreadable image or bad arguments.

Only the standard library: PNG files are read and written with zlib and struct.
"""
import argparse
import os
import re
import struct
import sys
import zlib

PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"


class ImageError(Exception):
    pass


class Image:
    """8-bit RGB pixels, row by row, top row first."""

    def __init__(self, width, height, rgb):
        self.width, self.height, self.rgb = width, height, bytes(rgb)

    def uniform(self):
        first = self.rgb[:3]
        return self.rgb == first * (self.width * self.height)


def _unfilter(data, width, height, channels):
    stride = width * channels
    out = bytearray(stride * height)
    previous = bytearray(stride)
    at = 0
    for y in range(height):
        kind = data[at]
        line = bytearray(data[at + 1:at + 1 + stride])
        at += 1 + stride
        if kind == 1:
            for i in range(channels, stride):
                line[i] = (line[i] + line[i - channels]) & 0xFF
        elif kind == 2:
            line = bytearray((a + b) & 0xFF for a, b in zip(line, previous))
        elif kind == 3:
            for i in range(stride):
                left = line[i - channels] if i >= channels else 0
                line[i] = (line[i] + ((left + previous[i]) >> 1)) & 0xFF
        elif kind == 4:
            for i in range(stride):
                a = line[i - channels] if i >= channels else 0
                b = previous[i]
                c = previous[i - channels] if i >= channels else 0
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 0xFF
        elif kind != 0:
            raise ImageError("unknown row filter %d" % kind)
        out[y * stride:(y + 1) * stride] = line
        previous = line
    return out


def read_png(path):
    with open(path, "rb") as f:
        data = f.read()
    if not data.startswith(PNG_SIGNATURE):
        raise ImageError("%s: not a PNG file" % path)
    at, header, idat = len(PNG_SIGNATURE), None, bytearray()
    while at + 8 <= len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        at += 12 + length
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        elif kind == b"IEND":
            break
    if header is None:
        raise ImageError("%s: no IHDR" % path)
    width, height, depth, colour, _, _, interlace = header
    channels = {2: 3, 6: 4}.get(colour)
    if depth != 8 or channels is None or interlace != 0:
        raise ImageError("%s: only 8-bit RGB or RGBA without interlacing is read (depth %d, colour type %d)"
                         % (path, depth, colour))
    try:
        raw = zlib.decompress(bytes(idat))
    except zlib.error as e:
        raise ImageError("%s: %s" % (path, e))
    if len(raw) != height * (1 + width * channels):
        raise ImageError("%s: image data of the wrong size" % path)
    pixels = _unfilter(raw, width, height, channels)
    if channels == 4:
        del pixels[3::4]
    return Image(width, height, pixels)


def write_png(path, image):
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    stride = image.width * 3
    raw = b"".join(b"\0" + image.rgb[y * stride:(y + 1) * stride] for y in range(image.height))
    with open(path, "wb") as f:
        f.write(PNG_SIGNATURE + chunk(b"IHDR", struct.pack(">IIBBBBB", image.width, image.height, 8, 2, 0, 0, 0)) +
                chunk(b"IDAT", zlib.compress(raw, 6)) + chunk(b"IEND", b""))


def images_by_frame(folder):
    """{frame number: path} of the PNG files in a folder; two files of one frame are an error."""
    found = {}
    for name in sorted(os.listdir(folder)):
        match = re.search(r"_(\d+)\.png$", name)
        if not match:
            continue
        frame = int(match.group(1))
        if frame in found:
            raise ImageError("%s holds two images of frame %d: %s and %s (images of an earlier run?)"
                             % (folder, frame, os.path.basename(found[frame]), name))
        found[frame] = os.path.join(folder, name)
    return found


def first_difference(a, b):
    for i in range(0, len(a.rgb), 3):
        if a.rgb[i:i + 3] != b.rgb[i:i + 3]:
            return (i // 3) % a.width, (i // 3) // a.width
    return None


def compared_frames(captured, replayed):
    """The frames to compare: those the capture has images of, up to the replay's last frame (the
    recorder may go on saving frames while the program is being closed)."""
    last = max(replayed, default=0)
    return [f for f in sorted(captured) if f <= last]


def check(captured_dir, replayed_dir, min_frames):
    """The list of faults found; empty when the replay draws every captured frame."""
    captured, replayed = images_by_frame(captured_dir), images_by_frame(replayed_dir)
    faults = []
    frames = compared_frames(captured, replayed)
    if len(frames) < min_frames:
        faults.append("%d frames to compare, fewer than %d" % (len(frames), min_frames))
    if frames and frames != list(range(frames[0], frames[-1] + 1)):
        faults.append("the captured frames are not %d to %d without a gap: %s" % (frames[0], frames[-1], frames))
    previous = None
    for frame in frames:
        mine = read_png(captured[frame])
        if mine.uniform():
            faults.append("frame %d: the captured image is one uniform colour %s" % (frame, tuple(mine.rgb[:3])))
        if previous is not None and previous.rgb == mine.rgb:
            faults.append("frames %d and %d are the same, where the program draws every frame anew" % (frame - 1, frame))
        previous = mine
        if frame not in replayed:
            faults.append("frame %d: captured but not replayed" % frame)
            continue
        theirs = read_png(replayed[frame])
        if theirs.uniform():
            faults.append("frame %d: the replayed image is one uniform colour %s" % (frame, tuple(theirs.rgb[:3])))
        if (mine.width, mine.height) != (theirs.width, theirs.height):
            faults.append("frame %d: captured %dx%d, replayed %dx%d" % (frame, mine.width, mine.height,
                                                                        theirs.width, theirs.height))
        elif mine.rgb != theirs.rgb:
            x, y = first_difference(mine, theirs)
            faults.append("frame %d: the replayed image differs from the captured one, first at (%d, %d)" % (frame, x, y))
    return faults


def side_by_side(pairs, gap=4, spacing=16, background=(48, 48, 48)):
    """One image: each (captured, replayed) pair beside each other, the pairs in a row."""
    width = sum(a.width + gap + b.width for a, b in pairs) + spacing * (len(pairs) - 1)
    height = max(max(a.height, b.height) for a, b in pairs)
    canvas = bytearray(bytes(background) * (width * height))
    x = 0
    for a, b in pairs:
        for image, left in ((a, x), (b, x + a.width + gap)):
            stride = image.width * 3
            for y in range(image.height):
                at = (y * width + left) * 3
                canvas[at:at + stride] = image.rgb[y * stride:(y + 1) * stride]
        x += a.width + gap + b.width + spacing
    return Image(width, height, canvas)


def spread(frames, count):
    """Up to `count` frames from first to last, evenly spaced."""
    if len(frames) <= count:
        return list(frames)
    return [frames[i * (len(frames) - 1) // (count - 1)] for i in range(count)]


def main(argv):
    parser = argparse.ArgumentParser(description="Compare a capture's frame images with its replay's.")
    parser.add_argument("captured")
    parser.add_argument("replayed")
    parser.add_argument("--min-frames", type=int, default=1)
    parser.add_argument("--side-by-side", metavar="OUT.png")
    parser.add_argument("--pairs", type=int, default=4, help="frames in the side-by-side picture")
    args = parser.parse_args(argv)
    try:
        faults = check(args.captured, args.replayed, args.min_frames)
        captured, replayed = images_by_frame(args.captured), images_by_frame(args.replayed)
        frames = [f for f in compared_frames(captured, replayed) if f in replayed]
        if args.side_by_side and frames:
            chosen = spread(frames, args.pairs)
            pairs = [(read_png(captured[f]), read_png(replayed[f])) for f in chosen]
            write_png(args.side_by_side, side_by_side(pairs))
            print("side by side (captured | replayed), frames %s: %s" % (", ".join(map(str, chosen)), args.side_by_side))
    except (ImageError, OSError) as e:
        print("frames: %s" % e, file=sys.stderr)
        return 2
    for fault in faults:
        print("FAIL: %s" % fault, file=sys.stderr)
    if faults:
        return 1
    print("%d frames compared: none of one colour, each differs from the one before, and every replayed frame is, "
          "pixel for pixel, the captured one" % len(frames))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
