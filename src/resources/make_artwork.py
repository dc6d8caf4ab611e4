#!/usr/bin/env python3
"""Draws the library's pictures: the logon banner, the logon logo and the icon.

Pure Python, no imaging library: the pictures are simple shapes, written as
24-bit BMP files (and a 32-bit ICO) that the resource compiler embeds.
Usage: make_artwork.py OUTPUT_DIR
"""
import math
import os
import struct
import sys

KEY = (255, 0, 255)  # transparent colour of pictures drawn transparent


def bmp_bytes(width, height, pixel):
    """24-bit bottom-up BMP; pixel(x, y) gives (r, g, b) with y from the top."""
    row_pad = (4 - (width * 3) % 4) % 4
    rows = []
    for y in range(height - 1, -1, -1):
        row = bytearray()
        for x in range(width):
            r, g, b = pixel(x, y)
            row += bytes((b, g, r))
        row += b"\0" * row_pad
        rows.append(bytes(row))
    data = b"".join(rows)
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    return struct.pack("<2sIHHI", b"BM", 14 + len(header) + len(data), 0, 0, 14 + len(header)) + header + data


def mix(a, b, t):
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


def banner(x, y):
    # A deep blue band with three overlapping "desktops", fading into a light strip
    # at the bottom where the prompt's text sits.
    if y >= 72 + 3 * math.sin(x / 41.0):
        return mix((236, 242, 250), (214, 226, 242), (y - 70) / 44)
    base = mix((16, 40, 96), (24, 120, 140), x / 410)
    base = mix(base, (8, 20, 50), (y / 72) * 0.3)
    for i, (bx, by) in enumerate(((14, 10), (28, 20), (42, 30))):
        if bx <= x < bx + 52 and by <= y < by + 34:
            edge = x in (bx, bx + 51) or y in (by, by + 33)
            title = by <= y < by + 7
            shade = 235 - i * 25
            if edge:
                return (250, 250, 250)
            if title:
                return (70, 150, 220)
            return (shade, shade, min(255, shade + 15))
    return base


def logo(x, y):
    # A ring of four coloured tiles on the transparent colour.
    cx, cy, size = 52, 52, 105
    d = math.hypot(x - cx, y - cy)
    if d > 50:
        return KEY
    if d > 46:
        return (240, 240, 240)
    quadrant = (x >= cx) + 2 * (y >= cy)
    colours = [(230, 80, 60), (90, 180, 70), (50, 120, 220), (245, 190, 40)]
    gap = abs(x - cx) < 3 or abs(y - cy) < 3
    return (240, 240, 240) if gap else colours[quadrant]


def icon_pixels(n):
    px = []
    for y in range(n):
        for x in range(n):
            s = n / 16.0
            inside = 1 * s <= x < 15 * s and 2 * s <= y < 14 * s
            title = inside and y < 5 * s
            border = inside and (x < 2 * s or x >= 14 * s - 0.01 or y >= 13 * s - 0.01)
            if not inside:
                px.append((0, 0, 0, 0))
            elif title or border:
                px.append((40, 90, 200, 255))
            else:
                px.append((235, 240, 250, 255))
    return px


def ico_bytes(sizes):
    images = []
    for n in sizes:
        px = icon_pixels(n)
        xor = bytearray()
        for y in range(n - 1, -1, -1):
            for x in range(n):
                r, g, b, a = px[y * n + x]
                xor += bytes((b, g, r, a))
        mask_row = ((n + 31) // 32) * 4
        andm = bytearray()
        for y in range(n - 1, -1, -1):
            row = bytearray(mask_row)
            for x in range(n):
                if px[y * n + x][3] == 0:
                    row[x // 8] |= 0x80 >> (x % 8)
            andm += row
        header = struct.pack("<IiiHHIIiiII", 40, n, n * 2, 1, 32, 0, len(xor) + len(andm), 0, 0, 0, 0)
        images.append((n, header + bytes(xor) + bytes(andm)))
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for n, data in images:
        out += struct.pack("<BBBBHHII", n, n, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for _, data in images:
        out += data
    return out


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    files = {
        "banner.bmp": bmp_bytes(411, 114, banner),
        "logo.bmp": bmp_bytes(105, 105, logo),
        "vexlo.ico": ico_bytes([16, 32]),
    }
    for name, data in files.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
