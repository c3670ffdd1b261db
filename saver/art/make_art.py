#!/usr/bin/env python3
"""make_art.py: draws the screensaver's icon (Quirla.ico, 32x32 and 16x16) and its dialog logo
(Logo.bmp, 32x32) as 8-bit pictures: a lit sphere with a swirl band. Run it from any folder; it
writes next to itself. The outputs are committed, so the build needs no Python."""
import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

# A 6 x 7 x 6 colour cube (252 entries) padded to 256 with greys.
LEVELS_R, LEVELS_G, LEVELS_B = 6, 7, 6
PALETTE = []
for r in range(LEVELS_R):
    for g in range(LEVELS_G):
        for b in range(LEVELS_B):
            PALETTE.append((r * 255 // (LEVELS_R - 1), g * 255 // (LEVELS_G - 1), b * 255 // (LEVELS_B - 1)))
while len(PALETTE) < 256:
    v = (len(PALETTE) - 252) * 64
    PALETTE.append((v, v, v))


def index_of(rgb):
    r, g, b = (max(0, min(255, int(round(c)))) for c in rgb)
    ri = round(r * (LEVELS_R - 1) / 255)
    gi = round(g * (LEVELS_G - 1) / 255)
    bi = round(b * (LEVELS_B - 1) / 255)
    return (ri * LEVELS_G + gi) * LEVELS_B + bi


def shade(size, x, y, backdrop):
    """Colour of pixel (x, y) (y down) of a picture of `size`, or None outside the sphere."""
    c = (size - 1) / 2.0
    radius = size * 0.46
    dx, dy = (x - c) / radius, (y - c) / radius
    d2 = dx * dx + dy * dy
    if d2 > 1.0:
        return backdrop
    dz = math.sqrt(1.0 - d2)
    light = (-0.5, -0.6, 0.62)
    n = math.sqrt(sum(v * v for v in light))
    diffuse = max(0.0, (dx * light[0] + dy * light[1] + dz * light[2]) / n)
    # The swirl: a band that winds around the sphere.
    angle = math.atan2(dy, dx)
    band = math.sin(angle * 2.0 + d2 * 7.0)
    base = (235, 140, 30) if band > 0.35 else (40, 90, 200)
    highlight = max(0.0, diffuse) ** 24 * 255
    return tuple(min(255, v * (0.25 + 0.75 * diffuse) + highlight) for v in base)


def rows_bottom_up(size, backdrop):
    return [[shade(size, x, y, backdrop) for x in range(size)] for y in reversed(range(size))]


def palette_bytes():
    return b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)


def pixel_bytes(rows):
    out = b""
    for row in rows:
        line = bytes(index_of(p) if p is not None else 0 for p in row)
        out += line + b"\0" * ((4 - len(line) % 4) % 4)
    return out


def mask_bytes(rows):
    out = b""
    for row in rows:
        bits = 0
        line = b""
        for i, p in enumerate(row):
            bits = (bits << 1) | (1 if p is None else 0)
            if i % 8 == 7:
                line += bytes([bits])
                bits = 0
        out += line + b"\0" * ((4 - len(line) % 4) % 4)
    return out


def info_header(width, height, image_size):
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 0, image_size, 0, 0, 256, 0)


def write_logo(path, size=32):
    rows = rows_bottom_up(size, (16, 24, 64))
    pixels = pixel_bytes(rows)
    header = info_header(size, size, len(pixels))
    offset = 14 + len(header) + 1024
    with open(path, "wb") as f:
        f.write(struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset))
        f.write(header + palette_bytes() + pixels)


def icon_image(size):
    rows = rows_bottom_up(size, None)
    pixels = pixel_bytes(rows)
    mask = mask_bytes(rows)
    # An icon's header counts the colour picture and the mask together.
    return info_header(size, size * 2, len(pixels) + len(mask)) + palette_bytes() + pixels + mask


def write_icon(path, sizes=(32, 16)):
    images = [icon_image(s) for s in sizes]
    offset = 6 + 16 * len(images)
    directory = b""
    for size, image in zip(sizes, images):
        directory += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 8, len(image), offset)
        offset += len(image)
    with open(path, "wb") as f:
        f.write(struct.pack("<HHH", 0, 1, len(images)) + directory + b"".join(images))


if __name__ == "__main__":
    write_logo(os.path.join(HERE, "Logo.bmp"))
    write_icon(os.path.join(HERE, "Quirla.ico"))
