#!/usr/bin/env python3
"""Draws the library's pictures: the logon banner, the logon logo and the icon.

Pure Python, no imaging library: the pictures are simple shapes, written as
palettised (mostly run-length encoded) or 24-bit BMP files, and ICO files, that the
resource compiler embeds.
Usage: make_artwork.py OUTPUT_DIR
"""
import math
import os
import struct
import sys
import zlib

KEY = (255, 0, 255)  # transparent colour of pictures drawn transparent


def rle8(rows):
    """BI_RLE8 data of 8-bit rows given bottom row first: runs of one index, literal
    stretches of at least three, an end of line after each row and an end of bitmap."""
    out = bytearray()
    for row in rows:
        i, width = 0, len(row)
        while i < width:
            run = 1
            while i + run < width and run < 255 and row[i + run] == row[i]:
                run += 1
            if run >= 2:
                out += bytes((run, row[i]))
                i += run
                continue
            # A literal stretch ends where a run of three begins.
            end = i
            while end < width and end - i < 255 and not (end + 2 < width and row[end] == row[end + 1] == row[end + 2]):
                end += 1
            if end - i < 3:
                for index in row[i:end]:
                    out += bytes((1, index))
            else:
                out += bytes((0, end - i)) + bytes(row[i:end]) + (b"\0" if (end - i) % 2 else b"")
            i = end
        out += b"\0\0"
    return bytes(out + b"\0\1")


def bmp_bytes(width, height, pixel, rle=False):
    """Bottom-up BMP; pixel(x, y) gives (r, g, b) with y from the top.

    Pictures of at most 256 colours (after dropping low bits of gradients if needed)
    are stored with a palette, 8 bits a pixel: the DLL is loaded into Explorer, so
    its pictures should cost a third of what 24-bit ones would. With rle, such a
    picture is also run-length encoded (BI_RLE8), which the system's bitmap loader
    expands, into a DIB section too: the gradients and flat panels shrink to a tenth.
    """
    pixels = [[pixel(x, y) for x in range(width)] for y in range(height)]
    for drop in range(0, 5):
        mask = 0xFF & ~((1 << drop) - 1)
        # Keep the exact colour keys (like the transparent colour) exact.
        snapped = [[c if c == KEY else tuple(v & mask for v in c) for c in row] for row in pixels]
        colours = sorted({c for row in snapped for c in row})
        if len(colours) <= 256:
            break
    else:
        colours = None
    if colours is None:
        bits, palette, rowbytes = 24, b"", lambda row: b"".join(bytes((b, g, r)) for r, g, b in row)
    else:
        index = {c: i for i, c in enumerate(colours)}
        pixels = snapped
        bits = 8
        palette = b"".join(bytes((b, g, r, 0)) for r, g, b in colours)
        rowbytes = lambda row: bytes(index[c] for c in row)
    stride = (width * bits // 8 + 3) & ~3
    compression = 0
    if rle and bits == 8:
        compression = 1  # BI_RLE8
        data = rle8([rowbytes(pixels[y]) for y in range(height - 1, -1, -1)])
    else:
        data = b"".join(rowbytes(pixels[y]).ljust(stride, b"\0") for y in range(height - 1, -1, -1))
    ncolours = len(palette) // 4
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, compression, len(data), 2835, 2835, ncolours, 0)
    offset = 14 + len(header) + len(palette)
    return struct.pack("<2sIHHI", b"BM", offset + len(data), 0, 0, offset) + header + palette + data


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


def remote_icon(screen, mark):
    """16 x 16 monitor of a remote session: a grey frame, a coloured screen with a
    white mark on it (a window for RDP, a pointer for RFB), a foot."""
    def pixels(n):
        px = []
        for y in range(n):
            for x in range(n):
                frame = 1 <= x <= 14 and 1 <= y <= 11
                inner = 2 <= x <= 13 and 2 <= y <= 10
                foot = (7 <= x <= 8 and 12 <= y <= 13) or (4 <= x <= 11 and y == 14)
                if inner:
                    px.append(mark(x, y) and (255, 255, 255, 255) or screen + (255,))
                elif frame or foot:
                    px.append((70, 70, 78, 255))
                else:
                    px.append((0, 0, 0, 0))
        return px
    return pixels


def rdp_mark(x, y):
    # A small window with a title bar.
    return (4 <= x <= 11 and 4 <= y <= 8) and (y == 4 or x in (4, 11) or y == 8)


def rfb_mark(x, y):
    # An arrow pointer.
    return 5 <= y <= 10 and 5 <= x <= 5 + (y - 5) and not (y == 10 and x > 6)


def ico_bytes(sizes, pixels=None):
    images = []
    for n in sizes:
        px = (pixels or icon_pixels)(n)
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


def png_bytes(n, pixels=None):
    """The icon's picture as an RGBA PNG: the logos of the sparse package."""
    px = (pixels or icon_pixels)(n)
    raw = bytearray()
    for y in range(n):
        raw.append(0)  # no filter
        for x in range(n):
            raw += bytes(px[y * n + x])

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", n, n, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


# --- About window: background and edition pictures -------------------------------

# A 5 x 7 pixel font for the few capitals the About pictures spell.
GLYPHS = {
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    "B": ["11110", "10001", "10001", "11110", "10001", "10001", "11110"],
    "E": ["11111", "10000", "10000", "11110", "10000", "10000", "11111"],
    "I": ["01110", "00100", "00100", "00100", "00100", "00100", "01110"],
    "L": ["10000", "10000", "10000", "10000", "10000", "10000", "11111"],
    "M": ["10001", "11011", "10101", "10101", "10001", "10001", "10001"],
    "N": ["10001", "11001", "10101", "10011", "10001", "10001", "10001"],
    "O": ["01110", "10001", "10001", "10001", "10001", "10001", "01110"],
    "P": ["11110", "10001", "10001", "11110", "10000", "10000", "10000"],
    "Q": ["01110", "10001", "10001", "10001", "10101", "10010", "01101"],
    "R": ["11110", "10001", "10001", "11110", "10100", "10010", "10001"],
    "S": ["01111", "10000", "10000", "01110", "00001", "00001", "11110"],
    "T": ["11111", "00100", "00100", "00100", "00100", "00100", "00100"],
    "U": ["10001", "10001", "10001", "10001", "10001", "10001", "01110"],
}


def text_width(text, scale):
    return len(text) * 6 * scale - scale


def in_text(text, scale, left, top, x, y):
    """True when (x, y) is on a stroke of text drawn with its top-left at (left, top)."""
    if y < top or y >= top + 7 * scale or x < left:
        return False
    cell = (x - left) // (6 * scale)
    if cell >= len(text):
        return False
    gx = (x - left - cell * 6 * scale) // scale
    gy = (y - top) // scale
    return gx < 5 and GLYPHS[text[cell]][gy][gx] == "1"


ABOUT_PANEL = (240, 244, 250)  # where the edition, the version and OK sit


def about_back(x, y):
    # A deep blue field with the product's name and three stacked "desktops", and a
    # light panel on the right for the edition picture, the version text and OK.
    if x >= 280:
        return (206, 216, 232) if x == 280 else ABOUT_PANEL
    if in_text("QUILLMERE", 3, 24, 28, x, y):
        return (255, 255, 255)
    base = mix((16, 40, 96), (24, 120, 140), x / 280)
    base = mix(base, (8, 20, 50), (y / 270) * 0.4)
    for i, (bx, by) in enumerate(((40, 110), (70, 136), (100, 162))):
        if bx <= x < bx + 120 and by <= y < by + 72:
            if x in (bx, bx + 119) or y in (by, by + 71):
                return (250, 250, 250)
            if y < by + 12:
                return (70, 150, 220)
            shade = 235 - i * 25
            return (shade, shade, min(255, shade + 15))
    return base


def edition(text, colour, width):
    # A badge in the edition's colour with its name in white capitals.
    height, scale = 26, 2
    left = (width - text_width(text, scale)) // 2
    top = (height - 7 * scale) // 2
    dark = mix(colour, (0, 0, 0), 0.35)

    def pixel(x, y):
        if x in (0, width - 1) or y in (0, height - 1):
            return dark
        if in_text(text, scale, left, top, x, y):
            return (255, 255, 255)
        return colour
    return pixel


def bmp24_bytes(width, height, pixel):
    """24-bit bottom-up BMP, for pictures that keep every pixel's full colour."""
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(height - 1, -1, -1):
        row = b"".join(bytes((b, g, r)) for r, g, b in (pixel(x, y) for x in range(width)))
        rows.append(row.ljust(stride, b"\0"))
    data = b"".join(rows)
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    return struct.pack("<2sIHHI", b"BM", 14 + len(header) + len(data), 0, 0, 14 + len(header)) + header + data


# The 16 colours of the standard VGA palette, for the 4-bit menu bitmap.
VGA16 = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
         (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
         (255, 0, 255), (0, 255, 255), (255, 255, 255)]


def bmp4_bytes(width, height, pixel):
    """Bottom-up 4-bit BMP with the VGA palette; pixel(x, y) gives a colour of VGA16."""
    stride = ((width + 1) // 2 + 3) & ~3
    rows = []
    for y in range(height - 1, -1, -1):
        idx = [VGA16.index(pixel(x, y)) for x in range(width)] + [0]
        row = bytes((idx[i] << 4) | idx[i + 1] for i in range(0, width, 2))
        rows.append(row.ljust(stride, b"\0"))
    data = b"".join(rows)
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in VGA16)
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 4, 0, len(data), 2835, 2835, 16, 0)
    offset = 14 + len(header) + len(palette)
    return struct.pack("<2sIHHI", b"BM", offset + len(data), 0, 0, offset) + header + palette + data


def menu_mark(x, y):
    # Two overlapping desktops, the back one teal, the front one blue, on the menu's grey.
    def screen(left, top, colour):
        if left <= x <= left + 9 and top <= y <= top + 7:
            if y == top or y == top + 1 or x in (left, left + 9) or y == top + 7:
                return colour
            return (255, 255, 255)
        return None
    return screen(5, 3, (0, 0, 128)) or screen(1, 7, (0, 128, 128)) or (192, 192, 192)


def open_folder(x, y):
    # An opening folder on the button's face colour (mapped to the system's at load).
    face = (192, 192, 192)
    if 2 <= y <= 3 and 1 <= x <= 6:
        return (128, 128, 0)
    if 4 <= y <= 13 and 1 <= x <= 13:
        if y in (4, 13) or x in (1, 13):
            return (128, 128, 0)
        return (255, 255, 0) if y >= 7 else (255, 255, 255)
    return face
def app_window_pixels(n):
    """A plain application window: grey frame, navy title bar with three small grey
    buttons, white client area. Stands in for windows whose class has no icon."""
    def px(x, y):
        if not (1 <= x <= 30 and 3 <= y <= 28):
            return (0, 0, 0, 0)
        if x in (1, 30) or y in (3, 28):
            return (128, 128, 128, 255)
        if 4 <= y <= 9:
            for left in (17, 21, 25):
                if left <= x <= left + 2 and 5 <= y <= 8:
                    return (192, 192, 192, 255)
            return (0, 0, 128, 255)
        return (255, 255, 255, 255)
    return [px(x, y) for y in range(n) for x in range(n)]


def switcher_picture(x, y):
    # Three cascading windows with blue title bars on black, which the button leaves clear.
    colour = (0, 0, 0)
    for left, top in ((0, 0), (3, 3), (6, 6)):
        if left <= x < left + 10 and top <= y < top + 10:
            if x in (left, left + 9) or y in (top, top + 9):
                colour = (64, 64, 64)
            elif y <= top + 2:
                colour = (0, 64, 220)
            else:
                colour = (255, 255, 255)
    return colour


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    files = {
        # The form pictures are run-length encoded; the menu and button bitmaps, loaded
        # by other means, stay plain.
        "banner.bmp": bmp_bytes(411, 114, banner, rle=True),
        "logo.bmp": bmp_bytes(105, 105, logo, rle=True),
        "vexlo.ico": ico_bytes([16, 32]),
        "rdp.ico": ico_bytes([16], remote_icon((30, 90, 200), rdp_mark)),
        "rfb.ico": ico_bytes([16], remote_icon((20, 140, 110), rfb_mark)),
        "about.bmp": bmp_bytes(430, 270, about_back, rle=True),
        "ver_1.bmp": bmp_bytes(120, 26, edition("PERSONAL", (40, 110, 200), 120), rle=True),
        "ver_2.bmp": bmp_bytes(120, 26, edition("BUSINESS", (150, 40, 60), 120), rle=True),
        "ver_3.bmp": bmp_bytes(50, 26, edition("LITE", (230, 130, 30), 50), rle=True),
        "icon.bmp": bmp4_bytes(16, 16, menu_mark),
        "runas_open.bmp": bmp_bytes(16, 16, open_folder),
        "appwindow.ico": ico_bytes([32], app_window_pixels),
        "switcher.bmp": bmp24_bytes(16, 16, switcher_picture),
        # Not in the library: the logos that Windows 11's package manifest names.
        "logo44.png": png_bytes(44),
        "logo50.png": png_bytes(50),
        "logo150.png": png_bytes(150),
    }
    for name, data in files.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()

