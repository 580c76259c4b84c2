#!/usr/bin/env python3
"""Writes lodevar.ico: an open passbook with printed lines and a magnetic stripe, at 16 and 32
pixels, 32 bits per pixel. Run again after changing the drawing; the .ico is committed."""
import struct
import sys


def draw(size):
    """Rows of (r, g, b, a) from the top, for a square icon of `size` pixels."""
    s = size / 32.0
    pixels = [[(0, 0, 0, 0)] * size for _ in range(size)]

    def rect(x0, y0, x1, y1, colour):
        for y in range(int(y0 * s), max(int(y1 * s), int(y0 * s) + 1)):
            for x in range(int(x0 * s), max(int(x1 * s), int(x0 * s) + 1)):
                if 0 <= x < size and 0 <= y < size:
                    pixels[y][x] = colour

    navy = (24, 52, 120, 255)
    paper = (250, 248, 240, 255)
    ink = (40, 40, 40, 255)
    red = (200, 30, 30, 255)
    stripe = (20, 20, 20, 255)
    rect(1, 4, 31, 29, navy)      # cover, seen around the pages
    rect(3, 6, 15, 27, paper)     # left page
    rect(17, 6, 29, 27, paper)    # right page
    rect(15, 6, 17, 27, navy)     # spine
    rect(3, 22, 15, 25, stripe)   # magnetic stripe on the left page
    for y in (9, 13, 17):         # printed lines on the right page
        rect(19, y, 27, y + 1.5, ink)
    rect(19, 21, 24, 22.5, red)   # the last line printed in red
    return pixels


def bitmap(size):
    pixels = draw(size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    body = bytearray()
    for row in reversed(pixels):  # bottom-up
        for r, g, b, a in row:
            body += bytes((b, g, r, a))
    mask_row = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(pixels):
        bits = bytearray(mask_row)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + bytes(body) + bytes(mask)


def main(path):
    images = [bitmap(16), bitmap(32)]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip((16, 32), images):
        out += struct.pack('<BBBBHHII', size, size, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    for image in images:
        out += image
    with open(path, 'wb') as f:
        f.write(out)


if __name__ == '__main__':
    main(sys.argv[1] if len(sys.argv) > 1 else 'lodevar.ico')
