#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes busy.gif: the testing window's busy animation.

32 x 32 pixels, 31 frames of 50 ms each, looping for ever, a global table of
128 grey tones with index 0 transparent. Eight grey dots sit in a ring; a dark
highlight runs clockwise round it, a little over one and a half seconds per
turn (31 frames * 50 ms = 1.55 s). Plain Python, no imaging library: the
pixel data is LZW-coded with a clear code before the table would grow, which
every GIF decoder reads.

Usage: make_busy_gif.py [OUTPUT]   (default: busy.gif beside this script)
"""
import math
import os
import struct
import sys

SIZE = 32
FRAMES = 31
DELAY_CS = 5          # hundredths of a second per frame
COLOURS = 128         # global colour table size; index 0 is transparent
DOTS = 8
RING_RADIUS = 11.0
DOT_RADIUS = 3.2


def grey_index(darkness):
    """Maps darkness 0..1 to a palette index 1..127 (1 lightest, 127 darkest)."""
    return 1 + int(round(max(0.0, min(1.0, darkness)) * (COLOURS - 2)))


def palette():
    out = bytearray()
    for i in range(COLOURS):
        if i == 0:
            out += bytes((255, 255, 255))
        else:
            v = 230 - int((i - 1) * 200 / (COLOURS - 2))  # 230 light ... 30 dark
            out += bytes((v, v, v))
    return bytes(out)


def frame_pixels(frame):
    head = frame * DOTS / FRAMES  # position of the highlight in dot units, clockwise
    pixels = bytearray(SIZE * SIZE)
    c = (SIZE - 1) / 2.0
    for d in range(DOTS):
        # Dot 0 at the top, the rest clockwise (screen y grows downwards).
        angle = -math.pi / 2 + d * 2 * math.pi / DOTS
        dx, dy = c + RING_RADIUS * math.cos(angle), c + RING_RADIUS * math.sin(angle)
        behind = (head - d) % DOTS  # how far the highlight has moved past this dot
        darkness = 0.25 + 0.75 * max(0.0, 1.0 - behind / 3.0)
        for y in range(SIZE):
            for x in range(SIZE):
                dist = math.hypot(x - dx, y - dy)
                if dist <= DOT_RADIUS:
                    edge = min(1.0, DOT_RADIUS - dist + 0.5)  # soft edge
                    pixels[y * SIZE + x] = grey_index(darkness * edge)
    return bytes(pixels)


def lzw(pixels, min_code_size=7):
    """Codes pixels with fixed-width codes, clearing the table before it grows."""
    clear, end = 1 << min_code_size, (1 << min_code_size) + 1
    width = min_code_size + 1
    limit = (1 << width) - 2 - end  # literals we may send before the width would grow
    codes = [clear]
    run = 0
    for p in pixels:
        if run == limit:
            codes.append(clear)
            run = 0
        codes.append(p)
        run += 1
    codes.append(end)
    out, acc, bits = bytearray(), 0, 0
    for code in codes:
        acc |= code << bits
        bits += width
        while bits >= 8:
            out.append(acc & 0xFF)
            acc >>= 8
            bits -= 8
    if bits:
        out.append(acc & 0xFF)
    blocks = bytearray((min_code_size,))
    for i in range(0, len(out), 255):
        chunk = out[i:i + 255]
        blocks += bytes((len(chunk),)) + chunk
    return bytes(blocks + b"\x00")


def build():
    data = bytearray(b"GIF89a")
    # Logical screen: global table present, 7 bits of colour resolution, 128 entries.
    data += struct.pack("<HHBBB", SIZE, SIZE, 0x80 | (6 << 4) | 6, 0, 0)
    data += palette()
    data += b"\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00"  # loop for ever
    for f in range(FRAMES):
        # Graphic control: disposal 2 (restore to background), transparent index 0.
        data += b"\x21\xF9\x04" + bytes((0x08 | 0x01,)) + struct.pack("<H", DELAY_CS) + b"\x00\x00"
        data += b"\x2C" + struct.pack("<HHHHB", 0, 0, SIZE, SIZE, 0)
        data += lzw(frame_pixels(f))
    data += b"\x3B"
    return bytes(data)


if __name__ == "__main__":
    target = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "busy.gif")
    with open(target, "wb") as fh:
        fh.write(build())
