#!/usr/bin/env python3
# Draws splash.png, the scan server's 120 by 120 splash image.
# Needs only python3 and its standard library (struct, zlib): no imaging package.
# Usage: python3 draw-splash.py [output path, default splash.png beside this script]
import math
import os
import struct
import sys
import zlib

SIZE = 120
SQUARE_COLOUR = (28, 30, 38)
SQUARE_ALPHA = 179
CORNER_RADIUS = 14
EMBLEM_CENTRE = (60.0, 44.0)
EMBLEM_RADIUS = 30.0
EMBLEM_COLOUR = (38, 150, 214)
RING_WIDTH = 3.0
WHITE = (255, 255, 255)
CAPTION = "Scanning..."
CAPTION_TOP = 82
CAPTION_SCALE = 2
SUPERSAMPLING = 4

# A proportional pixel font for the caption: rows 0-6 stand on the baseline,
# rows 7-8 hold descenders.
GLYPHS = {
    "S": [" ### ", "#   #", "#    ", " ### ", "    #", "#   #", " ### "],
    "c": ["", "", " ####", "#    ", "#    ", "#    ", " ####"],
    "a": ["", "", " ### ", "    #", " ####", "#   #", " ####"],
    "n": ["", "", "# ## ", "##  #", "#   #", "#   #", "#   #"],
    "i": ["#", "", "#", "#", "#", "#", "#"],
    "g": ["", "", " ####", "#   #", "#   #", "#   #", " ####", "    #", " ### "],
    ".": ["", "", "", "", "", "##", "##"],
}


def coverage(inside, x, y):
    """Fraction of the pixel at x, y for which inside(px, py) holds."""
    hits = 0
    for sy in range(SUPERSAMPLING):
        for sx in range(SUPERSAMPLING):
            if inside(x + (sx + 0.5) / SUPERSAMPLING, y + (sy + 0.5) / SUPERSAMPLING):
                hits += 1
    return hits / (SUPERSAMPLING * SUPERSAMPLING)


def over(pixel, colour, alpha):
    """Straight-alpha source-over of colour at alpha (0..1) onto pixel."""
    r, g, b, a = pixel
    below = a / 255.0
    out = alpha + below * (1.0 - alpha)
    if out == 0.0:
        return (0, 0, 0, 0)
    mixed = [
        (c * alpha + d * below * (1.0 - alpha)) / out for c, d in zip(colour, (r, g, b))
    ]
    return tuple(int(round(v)) for v in mixed) + (int(round(out * 255.0)),)


def in_rounded_square(px, py):
    nearest_x = min(max(px, CORNER_RADIUS), SIZE - CORNER_RADIUS)
    nearest_y = min(max(py, CORNER_RADIUS), SIZE - CORNER_RADIUS)
    return math.hypot(px - nearest_x, py - nearest_y) <= CORNER_RADIUS


def emblem_distance(px, py):
    return math.hypot(px - EMBLEM_CENTRE[0], py - EMBLEM_CENTRE[1])


def in_emblem(px, py):
    return emblem_distance(px, py) <= EMBLEM_RADIUS


def in_ring(px, py):
    d = emblem_distance(px, py)
    return EMBLEM_RADIUS - RING_WIDTH <= d <= EMBLEM_RADIUS


# A level meter of five rounded bars, the emblem's picture of sound being examined.
BAR_HEIGHTS = (14.0, 26.0, 36.0, 22.0, 10.0)
BAR_WIDTH = 5.0
BAR_GAP = 3.0


def in_bars(px, py):
    total = len(BAR_HEIGHTS) * BAR_WIDTH + (len(BAR_HEIGHTS) - 1) * BAR_GAP
    left = EMBLEM_CENTRE[0] - total / 2.0
    for index, height in enumerate(BAR_HEIGHTS):
        x0 = left + index * (BAR_WIDTH + BAR_GAP)
        half = BAR_WIDTH / 2.0
        top = EMBLEM_CENTRE[1] - height / 2.0 + half
        bottom = EMBLEM_CENTRE[1] + height / 2.0 - half
        cx = x0 + half
        nearest_y = min(max(py, top), bottom)
        if math.hypot(px - cx, py - nearest_y) <= half:
            return True
    return False


def caption_pixels():
    """The set of (x, y) image pixels covered by the caption, centred."""
    widths = [max(len(row) for row in GLYPHS[ch]) for ch in CAPTION]
    units = sum(widths) + len(widths) - 1
    x = (SIZE - units * CAPTION_SCALE) // 2
    covered = set()
    for ch, width in zip(CAPTION, widths):
        for row_index, row in enumerate(GLYPHS[ch]):
            for column, mark in enumerate(row):
                if mark != "#":
                    continue
                for dy in range(CAPTION_SCALE):
                    for dx in range(CAPTION_SCALE):
                        covered.add(
                            (
                                x + column * CAPTION_SCALE + dx,
                                CAPTION_TOP + row_index * CAPTION_SCALE + dy,
                            )
                        )
        x += (width + 1) * CAPTION_SCALE
    return covered


def draw():
    text = caption_pixels()
    rows = []
    for y in range(SIZE):
        row = []
        for x in range(SIZE):
            pixel = (0, 0, 0, 0)
            square = coverage(in_rounded_square, x, y)
            if square > 0.0:
                pixel = SQUARE_COLOUR + (int(round(SQUARE_ALPHA * square)),)
            emblem = coverage(in_emblem, x, y)
            if emblem > 0.0:
                pixel = over(pixel, EMBLEM_COLOUR, emblem)
                ring = coverage(in_ring, x, y)
                if ring > 0.0:
                    pixel = over(pixel, WHITE, ring)
                bars = coverage(in_bars, x, y)
                if bars > 0.0:
                    pixel = over(pixel, WHITE, bars)
            if (x, y) in text:
                pixel = WHITE + (255,)
            row.append(pixel)
        rows.append(row)
    return rows


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))


def encode_png(rows):
    raw = bytearray()
    for row in rows:
        raw.append(0)  # filter: none
        for pixel in row:
            raw.extend(pixel)
    header = struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0)  # 8-bit RGBA, not interlaced
    return (
        b"\x89PNG\r\n\x1a\n"
        + chunk(b"IHDR", header)
        + chunk(b"sRGB", b"\x00")  # perceptual rendering intent
        + chunk(b"IDAT", zlib.compress(bytes(raw), 9))
        + chunk(b"IEND", b"")
    )


def main():
    default = os.path.join(os.path.dirname(os.path.abspath(__file__)), "splash.png")
    path = sys.argv[1] if len(sys.argv) > 1 else default
    with open(path, "wb") as output:
        output.write(encode_png(draw()))


if __name__ == "__main__":
    main()
