#!/usr/bin/env python3
"""make_art.py: draws the model editor's artwork and writes it next to itself:

- Quirla.ico, the program icon (32x32 and 16x16): the lit swirl sphere of the screensaver's icon
  with a paint brush across it;
- the tool-button icons (32x32 and 16x16) ColourMode.ico (a painter's palette), TextureMode.ico
  (a brick-textured square), LightMode.ico (a light bulb), Apply.ico (a texture square, a green
  arrow and a textured facet), Remove.ico (a textured facet being rubbed out) and Delete.ico (a
  texture square struck through in red);
- the monochrome 32x32 cursors Rotate.cur, ColourArea.cur, SelectArea.cur, SelectTri.cur,
  Paint.cur, ScaleTex.cur and MoveTex.cur, each with its hot spot in the file's header;
- Logo.bmp, the maker's logo for the About box (32x32, 8 bits).

Pictures are drawn from shapes given as signed distance functions in a 32-unit square (y down),
sampled 4x4 times per pixel. Icons get an 8-bit palette made for each image (median cut) and a
transparency mask; palette entry 0 is black, the colour of every transparent pixel. Run it from
any folder with the standard library only; the outputs are committed, so the build needs no
Python, and running it again writes the same bytes."""
import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

SUB = 4          # samples per pixel along each axis
DESIGN = 32.0    # pictures are drawn in a DESIGN x DESIGN square

# ---------------------------------------------------------------------------------------------
# Shapes: a signed distance function (negative inside, in design units) and a bounding box.


class Shape:
    def __init__(self, dist, box):
        self.dist = dist
        self.box = box  # (x0, y0, x1, y1), design units

    def grow(self, d):
        f = self.dist
        x0, y0, x1, y1 = self.box
        return Shape(lambda x, y: f(x, y) - d, (x0 - d, y0 - d, x1 + d, y1 + d))

    def outline(self, width):
        """A band of `width` centred on the shape's edge."""
        f = self.dist
        h = width / 2.0
        x0, y0, x1, y1 = self.box
        return Shape(lambda x, y: abs(f(x, y)) - h, (x0 - h, y0 - h, x1 + h, y1 + h))


def union(*shapes):
    fs = [s.dist for s in shapes]
    box = (min(s.box[0] for s in shapes), min(s.box[1] for s in shapes),
           max(s.box[2] for s in shapes), max(s.box[3] for s in shapes))
    return Shape(lambda x, y: min(f(x, y) for f in fs), box)


def intersect(a, b):
    fa, fb = a.dist, b.dist
    box = (max(a.box[0], b.box[0]), max(a.box[1], b.box[1]), min(a.box[2], b.box[2]), min(a.box[3], b.box[3]))
    return Shape(lambda x, y: max(fa(x, y), fb(x, y)), box)


def subtract(a, b):
    fa, fb = a.dist, b.dist
    return Shape(lambda x, y: max(fa(x, y), -fb(x, y)), a.box)


def disc(cx, cy, r):
    return Shape(lambda x, y: math.hypot(x - cx, y - cy) - r, (cx - r, cy - r, cx + r, cy + r))


def ellipse(cx, cy, rx, ry):
    m = min(rx, ry)
    return Shape(lambda x, y: (math.hypot((x - cx) / rx, (y - cy) / ry) - 1.0) * m,
                 (cx - rx, cy - ry, cx + rx, cy + ry))


def segment_distance(x, y, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)
    t = max(0.0, min(1.0, t))
    return math.hypot(x - ax - t * dx, y - ay - t * dy)


def capsule(ax, ay, bx, by, width):
    r = width / 2.0
    return Shape(lambda x, y: segment_distance(x, y, ax, ay, bx, by) - r,
                 (min(ax, bx) - r, min(ay, by) - r, max(ax, bx) + r, max(ay, by) + r))


def polyline(points, width):
    return union(*[capsule(a[0], a[1], b[0], b[1], width) for a, b in zip(points, points[1:])])


def polygon(points):
    pts = list(points)
    edges = list(zip(pts, pts[1:] + pts[:1]))

    def dist(x, y):
        d = min(segment_distance(x, y, a[0], a[1], b[0], b[1]) for a, b in edges)
        inside = False
        for (ax, ay), (bx, by) in edges:
            if (ay > y) != (by > y) and x < ax + (y - ay) * (bx - ax) / (by - ay):
                inside = not inside
        return -d if inside else d
    xs = [p[0] for p in pts]
    ys = [p[1] for p in pts]
    return Shape(dist, (min(xs), min(ys), max(xs), max(ys)))


def box(x0, y0, x1, y1):
    return polygon([(x0, y0), (x1, y0), (x1, y1), (x0, y1)])


def arc(cx, cy, r, a0, a1, width):
    """A band of `width` along the circle of radius r from angle a0 to a1 (degrees, counted
    anticlockwise on the screen from the right), with square ends."""
    h = width / 2.0
    t0, t1 = math.radians(a0), math.radians(a1)

    def dist(x, y):
        dx, dy = x - cx, cy - y
        t = math.atan2(dy, dx)
        while t < t0:
            t += 2.0 * math.pi
        if t <= t1:
            return abs(math.hypot(dx, dy) - r) - h
        # Beyond the ends: the distance to the nearer end segment.
        best = 1e9
        for a in (t0, t1):
            ex, ey = math.cos(a), math.sin(a)
            best = min(best, segment_distance(dx, dy, ex * (r - h), ey * (r - h), ex * (r + h), ey * (r + h)))
        return best
    return Shape(dist, (cx - r - h, cy - r - h, cx + r + h, cy + r + h))


def arc_point(cx, cy, r, a):
    t = math.radians(a)
    return (cx + r * math.cos(t), cy - r * math.sin(t))


def arrow_head(tip, direction, length, half_width):
    """A triangle with its point at tip, pointing along direction (dx, dy on the screen)."""
    dx, dy = direction
    n = math.hypot(dx, dy)
    dx, dy = dx / n, dy / n
    bx, by = tip[0] - dx * length, tip[1] - dy * length
    return polygon([tip, (bx - dy * half_width, by + dx * half_width), (bx + dy * half_width, by - dx * half_width)])


# ---------------------------------------------------------------------------------------------
# Canvas: premultiplied colour and coverage per pixel.


class Canvas:
    def __init__(self, size):
        self.size = size
        self.scale = size / DESIGN
        self.pix = [[[0.0, 0.0, 0.0, 0.0] for _ in range(size)] for _ in range(size)]

    def px(self, n):
        """n pixels of this canvas in design units (keeps outlines one pixel wide at 16x16)."""
        return n / self.scale

    def paint(self, shape, colour):
        """Covers the shape with a colour, or with colour(x, y) in design units."""
        s = self.scale
        x0, y0, x1, y1 = shape.box
        ix0 = max(0, int(math.floor(x0 * s)) - 1)
        iy0 = max(0, int(math.floor(y0 * s)) - 1)
        ix1 = min(self.size, int(math.ceil(x1 * s)) + 1)
        iy1 = min(self.size, int(math.ceil(y1 * s)) + 1)
        f = shape.dist
        flat = None if callable(colour) else colour
        n = float(SUB * SUB)
        for py in range(iy0, iy1):
            for px in range(ix0, ix1):
                hits = 0
                acc = [0.0, 0.0, 0.0]
                for sy in range(SUB):
                    y = (py + (sy + 0.5) / SUB) / s
                    for sx in range(SUB):
                        x = (px + (sx + 0.5) / SUB) / s
                        if f(x, y) <= 0.0:
                            hits += 1
                            c = flat if flat is not None else colour(x, y)
                            acc[0] += c[0]
                            acc[1] += c[1]
                            acc[2] += c[2]
                if hits:
                    cov = hits / n
                    p = self.pix[py][px]
                    for i in range(3):
                        p[i] = p[i] * (1.0 - cov) + acc[i] / n
                    p[3] = p[3] * (1.0 - cov) + cov

    def outlined(self, shape, colour, line):
        """The shape with a one-pixel outline around it."""
        self.paint(shape.grow(self.px(1)), line)
        self.paint(shape, colour)

    def rgba(self):
        """Rows top-down of (r, g, b) or None for a transparent pixel."""
        rows = []
        for row in self.pix:
            out = []
            for r, g, b, a in row:
                if a < 0.5:
                    out.append(None)
                else:
                    out.append(tuple(max(0, min(255, int(round(v / a)))) for v in (r, g, b)))
            rows.append(out)
        return rows


def shaded(base, light=1.0):
    return tuple(min(255.0, c * light) for c in base)


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


# ---------------------------------------------------------------------------------------------
# Common motifs.

OUTLINE = (36, 30, 28)
MORTAR = (226, 214, 190)
BRICKS = ((176, 58, 36), (196, 78, 46), (156, 48, 32))


def brick_fill(x0, y0, brick_w, brick_h, joint):
    """Colour function of a brick wall whose first course starts at (x0, y0)."""
    def colour(x, y):
        u, v = x - x0, y - y0
        row = int(math.floor(v / brick_h))
        u += (row % 2) * brick_w / 2.0
        col = int(math.floor(u / brick_w))
        if v - row * brick_h < joint or u - col * brick_w < joint:
            return MORTAR
        base = BRICKS[(row * 7 + col * 5) % 3]
        # A lit top-left edge on every brick.
        if v - row * brick_h < joint * 2 or u - col * brick_w < joint * 2:
            return shaded(base, 1.18)
        return base
    return colour


def brick_square(c, x0, y0, x1, y1, courses):
    """A square of brick texture with a dark frame; x0, y0 on pixel edges."""
    joint = c.px(1)
    c.paint(box(x0 - joint, y0 - joint, x1 + joint, y1 + joint), OUTLINE)
    c.paint(box(x0, y0, x1, y1), brick_fill(x0, y0 - joint, (x1 - x0) / 2.0, (y1 - y0 + joint) / courses, joint))


def sphere_colour(cx, cy, radius):
    """The screensaver icon's swirl sphere, lit from the upper left."""
    light = (-0.5, -0.6, 0.62)
    n = math.sqrt(sum(v * v for v in light))

    def colour(x, y):
        dx, dy = (x - cx) / radius, (y - cy) / radius
        d2 = min(1.0, dx * dx + dy * dy)
        dz = math.sqrt(1.0 - d2)
        diffuse = max(0.0, (dx * light[0] + dy * light[1] + dz * light[2]) / n)
        band = math.sin(math.atan2(dy, dx) * 2.0 + d2 * 7.0)
        base = (235, 140, 30) if band > 0.35 else (40, 90, 200)
        highlight = diffuse ** 24 * 255
        return tuple(min(255.0, v * (0.25 + 0.75 * diffuse) + highlight) for v in base)
    return colour


def brush(c, tip, end, paint_colour):
    """An artist's brush from its bristle tip to the end of its handle: a paint-loaded tuft, a
    metal ferrule and a lacquered handle, shaded across their width."""
    tx, ty = tip
    length = math.hypot(end[0] - tx, end[1] - ty)
    ux, uy = (end[0] - tx) / length, (end[1] - ty) / length   # towards the handle
    nx, ny = -uy, ux
    w = max(c.px(3), 3.2)    # handle width; the ferrule and tuft are wider

    def at(t, s=0.0):
        return (tx + ux * t + nx * s, ty + uy * t + ny * s)
    tuft_end, ferrule_end = length * 0.28, length * 0.46
    tuft = polygon([at(0.0), at(tuft_end * 0.45, w * 0.75), at(tuft_end, w * 0.7), at(tuft_end, -w * 0.7),
                    at(tuft_end * 0.45, -w * 0.75)])
    ferrule = polygon([at(tuft_end - 0.5, w * 0.7), at(ferrule_end, w * 0.55), at(ferrule_end, -w * 0.55),
                       at(tuft_end - 0.5, -w * 0.7)])
    handle = union(capsule(*at(ferrule_end), *at(length - w * 0.5), w),
                   polygon([at(ferrule_end, w * 0.55), at(ferrule_end + w, w * 0.5), at(ferrule_end + w, -w * 0.5),
                            at(ferrule_end, -w * 0.55)]))
    c.paint(union(tuft, ferrule, handle).grow(c.px(1)), OUTLINE)

    def lit(base):
        def colour(x, y):
            across = ((x - tx) * nx + (y - ty) * ny) / w    # -0.75 .. 0.75, lit side negative
            return shaded(base, 1.1 - 0.5 * across + (0.35 if abs(across + 0.25) < 0.15 else 0.0))
        return colour
    c.paint(handle, lit((180, 36, 28)))
    c.paint(ferrule, lit((170, 172, 184)))
    c.paint(tuft, lit((130, 90, 44)))
    c.paint(intersect(tuft, disc(tx, ty, tuft_end * 0.6)), lit(paint_colour))


# ---------------------------------------------------------------------------------------------
# The icons.


def draw_program(c):
    """The screensaver's swirl sphere with a brush that has just laid a stroke of paint."""
    cx, cy, r = 12.5, 12.5, 11.2
    c.paint(disc(cx, cy, r + c.px(0.6)), (20, 24, 48))
    c.paint(disc(cx, cy, r), sphere_colour(cx, cy, r))
    green = (50, 200, 60)
    c.outlined(polyline([(3.5, 28.0), (8.0, 26.8), (12.5, 28.2), (17.5, 27.0)], c.px(2.4)), green, OUTLINE)
    brush(c, (18.0, 27.5), (30.5, 2.0), green)


def draw_colour_mode(c):
    """A painter's palette with five colours and a thumb hole."""
    wood = (228, 190, 128)
    board = subtract(subtract(ellipse(16.0, 16.5, 14.0, 11.5), disc(9.5, 21.0, 2.6 if c.size > 16 else 3.2)),
                     disc(3.0, 23.5, 4.5))

    def grain(x, y):
        d = math.hypot((x - 16.0) / 14.0, (y - 16.5) / 11.5)
        return shaded(wood, 1.08 - 0.22 * d * d + (0.05 if (x - y * 0.3) % 6.0 < 1.0 else 0.0))
    c.outlined(board, grain, (96, 60, 24))
    blobs = [((9.5, 11.5), (220, 30, 30)), ((15.5, 8.5), (250, 220, 30)), ((22.0, 9.0), (40, 170, 60)),
             ((25.5, 15.0), (40, 90, 220)), ((22.0, 21.0), (250, 250, 250))]
    r = 2.8 if c.size > 16 else 3.2

    def glossy(x, y, colour):
        return lambda px, py: shaded(colour, 1.25 if math.hypot(px - x + 0.9, py - y + 0.9) < 1.2 else 1.0)
    for (x, y), colour in blobs:
        c.outlined(disc(x, y, r), glossy(x, y, colour), OUTLINE)


def draw_texture_mode(c):
    """A square of brick texture."""
    brick_square(c, 4.0, 4.0, 28.0, 28.0, 5 if c.size > 16 else 3)


def draw_light_mode(c):
    """A shining light bulb."""
    cx, cy, r = 16.0, 12.5, 7.0
    glow = (255, 200, 40)
    for a in (0, 45, 90, 135, 180):
        p0 = arc_point(cx, cy, r + 2.8, a)
        p1 = arc_point(cx, cy, r + 5.6, a)
        c.outlined(capsule(p0[0], p0[1], p1[0], p1[1], c.px(2)), glow, (120, 80, 0))
    neck = polygon([(cx - 6.0, cy + 3.6), (cx + 6.0, cy + 3.6), (cx + 4.0, 21.5), (cx - 4.0, 21.5)])
    glass = union(disc(cx, cy, r), neck)

    def lit(x, y):
        d = math.hypot(x - (cx - 2.4), y - (cy - 2.6)) / (r * 1.6)
        return mix((255, 255, 230), (240, 190, 20), min(1.0, d))
    c.outlined(glass, lit, (110, 76, 0))
    base = box(cx - 4.5, 21.0, cx + 4.5, 27.0)

    def metal(x, y):
        ridge = 1.0 if int(math.floor((y - 21.0) / c.px(2))) % 2 == 0 else 0.72
        return shaded((196, 196, 204), ridge * (1.15 - 0.35 * (x - cx + 4.5) / 9.0))
    c.outlined(base, metal, OUTLINE)
    contact = polygon([(cx - 3.0, 27.0), (cx + 3.0, 27.0), (cx + 1.5, 29.0), (cx - 1.5, 29.0)])
    c.outlined(contact, (60, 60, 64), OUTLINE)


def facet_triangle(c, pts, fill):
    c.outlined(polygon(pts), fill, OUTLINE)


GREEN = (30, 190, 40)
DARK_GREEN = (0, 70, 0)
BARE_FACET = (172, 178, 194)


def draw_apply(c):
    """A texture square, a green arrow and the facet it lands on, now textured."""
    big = c.size > 16
    brick_square(c, 2.0, 2.0, 14.0, 14.0, 3 if big else 2)
    facet_triangle(c, [(9.5, 29.5), (29.5, 29.5), (29.5, 9.5)],
                   brick_fill(9.0, 9.0, 8.0 if big else 12.0, 20.5 / 5 if big else 20.5 / 3, c.px(1)))
    w = c.px(2.6) if big else c.px(1.6)
    arrow = union(polyline([(15.5, 8.0), (23.0, 8.0), (23.0, 15.0)], w),
                  arrow_head((23.0, 22.0), (0.0, 1.0), 7.5, 5.0 if big else 6.0))
    c.outlined(arrow, lambda x, y: shaded(GREEN, 1.25 if x < 22.0 and y < 16.0 else 1.0), DARK_GREEN)


def draw_remove(c):
    """A textured facet whose texture an eraser is rubbing away."""
    big = c.size > 16
    pts = [(2.5, 29.5), (29.5, 29.5), (12.0, 5.5)]
    textured = brick_fill(2.0, 5.0, 8.0 if big else 12.0, 24.5 / 6 if big else 24.5 / 3, c.px(1))

    def fill(x, y):
        # The bricks remain left of the rubbed edge; right of it is the bare facet.
        return textured(x, y) if x < 13.5 + (y - 16.0) * 0.45 else BARE_FACET
    facet_triangle(c, pts, fill)
    ex, ey, ang = 21.5, 11.0, math.radians(-38.0)
    ux, uy = math.cos(ang), math.sin(ang)
    vx, vy = -uy, ux

    def corner(a, b):
        return (ex + ux * a + vx * b, ey + uy * a + vy * b)

    def across(base, light):
        return lambda x, y: shaded(base, light - 0.3 * ((x - ex) * vx + (y - ey) * vy + 4.0) / 8.0)
    body = polygon([corner(-7.5, -4.0), corner(8.5, -4.0), corner(8.5, 4.0), corner(-7.5, 4.0)])
    sleeve = polygon([corner(1.0, -4.0), corner(8.5, -4.0), corner(8.5, 4.0), corner(1.0, 4.0)])
    c.paint(body.grow(c.px(1)), OUTLINE)
    c.paint(body, across((246, 150, 172), 1.1))
    c.paint(sleeve, across((60, 110, 224), 1.2))
    if big:
        c.paint(capsule(*corner(1.0, -4.0), *corner(1.0, 4.0), 1.0), OUTLINE)


def draw_delete(c):
    """A square of brick texture struck through with a red cross."""
    brick_square(c, 4.0, 4.0, 28.0, 28.0, 5 if c.size > 16 else 3)
    red = (224, 24, 24)
    w = c.px(4) if c.size > 16 else c.px(2.4)
    cross = union(capsule(5.0, 5.0, 27.0, 27.0, w), capsule(27.0, 5.0, 5.0, 27.0, w))
    c.outlined(cross, lambda x, y: shaded(red, 1.2 if (x + y) < 22.0 else 1.0), (90, 0, 0))


# ---------------------------------------------------------------------------------------------
# Cursors: white shapes with a black outline on a transparent ground, as standard cursors are.
# A pixel belongs to a shape when its centre does; outlines are the eight neighbours around it.


class Mono:
    """A 32x32 two-colour picture: None transparent, 0 black, 1 white."""

    def __init__(self):
        self.pix = [[None] * 32 for _ in range(32)]

    def cover(self, shape):
        x0, y0, x1, y1 = shape.box
        f = shape.dist
        return [(x, y) for y in range(max(0, int(y0) - 1), min(32, int(y1) + 2))
                for x in range(max(0, int(x0) - 1), min(32, int(x1) + 2)) if f(x + 0.5, y + 0.5) <= 0.0]

    def white(self, shape):
        """A white shape with a one-pixel black outline, drawn over what is there."""
        self.white_pixels(self.cover(shape))

    def white_pixels(self, inside):
        for x, y in inside:
            for dy in (-1, 0, 1):
                for dx in (-1, 0, 1):
                    if 0 <= x + dx < 32 and 0 <= y + dy < 32:
                        self.pix[y + dy][x + dx] = 0
        self.dots(inside, 1)

    def black(self, shape):
        self.dots(self.cover(shape), 0)

    def dots(self, points, value):
        for x, y in points:
            self.pix[y][x] = value

    def art(self, lines, x0, y0):
        """Pixel art: "X" black, "." white, anything else left as it is."""
        for y, line in enumerate(lines):
            for x, ch in enumerate(line):
                if ch in "X.":
                    self.pix[y0 + y][x0 + x] = 1 if ch == "." else 0

    def rows(self):
        return self.pix


def crosshair(m, cx, cy, arm):
    """A crosshair of one-pixel white lines centred on pixel (cx, cy), open around the centre,
    where a single white pixel marks the hot spot."""
    arms = []
    for d in range(3, arm + 1):
        arms += [(cx + d, cy), (cx - d, cy), (cx, cy + d), (cx, cy - d)]
    m.white_pixels(arms)
    m.white_pixels([(cx, cy)])


def cursor_rotate(m):
    """Two arrows chasing each other round the centre."""
    cx, cy, r = 15.5, 15.5, 9.5
    for start in (20.0, 200.0):
        end = start + 125.0
        t = math.radians(end)
        base = arc_point(cx, cy, r, end)
        tangent = (-math.sin(t), -math.cos(t))   # anticlockwise on the screen, y down
        tip = (base[0] + tangent[0] * 5.0, base[1] + tangent[1] * 5.0)
        m.white(union(arc(cx, cy, r, start, end + 2.0, 1.6), arrow_head(tip, tangent, 5.0, 3.6)))
    m.white_pixels([(15, 15)])
    return (15, 15)


BUCKET = [
    "    XXXXX    ",
    "   X     X   ",
    "  X       X  ",
    " XXXXXXXXXXX ",
    "X.XXXXXXXXX.X",
    "X..XXXXXXX..X",
    "X..X.......X ",
    " X.X.......X ",
    " X.X.......X ",
    " X.........X ",
    " X.........X ",
    " X.........X ",
    "  X.......X  ",
    "  XXXXXXXXX  ",
]


def cursor_colour_area(m):
    crosshair(m, 9, 9, 8)
    m.art(BUCKET, 18, 17)
    return (9, 9)


def cursor_select_area(m):
    crosshair(m, 9, 9, 8)
    # A dotted rectangle, as drawn while an area is dragged.
    x0, y0, x1, y1 = 16, 18, 30, 29
    frame = [(x, y) for x in range(x0, x1 + 1) for y in (y0, y1)]
    frame += [(x, y) for y in range(y0 + 1, y1) for x in (x0, x1)]
    m.dots([p for p in frame if (p[0] + p[1]) % 2 == 0], 0)
    m.dots([p for p in frame if (p[0] + p[1]) % 2 == 1], 1)
    return (9, 9)


ARROW = [
    "X",
    "XX",
    "X.X",
    "X..X",
    "X...X",
    "X....X",
    "X.....X",
    "X......X",
    "X.......X",
    "X........X",
    "X.........X",
    "X......XXXXX",
    "X...X..X",
    "X..XX..X",
    "X.X  X..X",
    "XX   X..X",
    "X     X..X",
    "      X..X",
    "       XX",
]


def cursor_select_tri(m):
    m.art(ARROW, 0, 0)
    # A facet below the arrow.
    m.white(polygon([(15.0, 30.0), (31.0, 30.0), (23.0, 16.0)]))
    return (0, 0)


def cursor_paint(m):
    """A brush from its tip at the lower left to its handle at the upper right."""
    tip = (1.5, 30.5)
    ux, uy = math.sqrt(0.5), -math.sqrt(0.5)
    nx, ny = -uy, ux

    def at(t, s=0.0):
        return (tip[0] + ux * t + nx * s, tip[1] + uy * t + ny * s)
    m.white(capsule(*at(15.0), *at(38.0), 2.6))
    m.white(polygon([at(0.0), at(3.0, 2.0), at(9.0, 2.6), at(15.0, 2.2), at(15.0, -2.2), at(9.0, -2.6), at(3.0, -2.0)]))
    m.black(polygon([at(9.5, 3.0), at(14.5, 2.6), at(14.5, -2.6), at(9.5, -3.0)]))
    m.black(polygon([at(0.0), at(3.0, 2.1), at(4.6, 2.3), at(4.6, -2.3), at(3.0, -2.1)]))
    return (1, 30)


def cursor_scale_tex(m):
    """The texture's square with a diagonal double arrow through it."""
    m.white(box(10.5, 10.5, 20.5, 20.5).outline(1.0))
    m.white(union(capsule(6.5, 6.5, 24.5, 24.5, 1.2), polygon([(2.5, 2.5), (9.5, 2.5), (2.5, 9.5)]),
                  polygon([(28.5, 28.5), (21.5, 28.5), (28.5, 21.5)])))
    return (15, 15)


def cursor_move_tex(m):
    """A four-way arrow round the texture's square."""
    cx = cy = 15.5
    parts = []
    for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)):
        tip = (cx + dx * 14.0, cy + dy * 14.0)
        parts.append(capsule(cx + dx * 4.0, cy + dy * 4.0, cx + dx * 10.0, cy + dy * 10.0, 1.2))
        parts.append(polygon([tip, (tip[0] - dx * 4.0 - dy * 3.5, tip[1] - dy * 4.0 - dx * 3.5),
                              (tip[0] - dx * 4.0 + dy * 3.5, tip[1] - dy * 4.0 + dx * 3.5)]))
    m.white(union(*parts))
    m.white(box(cx - 4.0, cy - 4.0, cx + 4.0, cy + 4.0).outline(1.0))
    m.white_pixels([(15, 15)])
    return (15, 15)


# ---------------------------------------------------------------------------------------------
# The maker's logo.

def draw_logo():
    """32x32, the size the About box keeps for it: a block of three lit faces, its front edges
    catching the light (the maker's "edge"), on a night-blue tile."""
    c = Canvas(32)
    c.paint(box(0.0, 0.0, 32.0, 32.0), lambda x, y: mix((26, 40, 96), (6, 10, 30), y / 32.0))
    c.paint(box(0.5, 0.5, 31.5, 31.5).outline(1.0), (70, 100, 180))
    top = polygon([(16.0, 3.5), (27.5, 9.5), (16.0, 15.5), (4.5, 9.5)])
    left = polygon([(4.5, 9.5), (16.0, 15.5), (16.0, 28.5), (4.5, 22.5)])
    right = polygon([(16.0, 15.5), (27.5, 9.5), (27.5, 22.5), (16.0, 28.5)])
    c.paint(union(top, left, right).grow(0.8), (0, 0, 8))
    c.paint(top, lambda x, y: mix((255, 216, 124), (236, 150, 40), (y - 3.5) / 12.0))
    c.paint(left, lambda x, y: mix((204, 112, 24), (140, 66, 12), (x - 4.5) / 11.5))
    c.paint(right, lambda x, y: mix((72, 124, 232), (30, 60, 150), (x - 16.0) / 11.5))
    c.paint(capsule(16.0, 15.5, 16.0, 28.0, 1.0), (255, 240, 200))
    c.paint(capsule(4.8, 9.6, 16.0, 15.5, 0.7), (255, 236, 180))
    c.paint(capsule(16.0, 15.5, 27.2, 9.6, 0.7), (255, 236, 180))
    return c.rgba()


# ---------------------------------------------------------------------------------------------
# Palettes: black first, then up to 255 colours by median cut, then black to fill 256 entries.


def median_cut(counts, limit):
    boxes = [sorted(counts.items())]
    while len(boxes) < limit:
        best, best_score = None, 0
        for i, b in enumerate(boxes):
            if len(b) < 2:
                continue
            spans = [max(c[0][k] for c in b) - min(c[0][k] for c in b) for k in range(3)]
            score = max(spans) * sum(n for _, n in b)
            if score > best_score:
                best, best_score = i, score
        if best is None:
            break
        b = boxes.pop(best)
        spans = [max(c[0][k] for c in b) - min(c[0][k] for c in b) for k in range(3)]
        axis = spans.index(max(spans))
        b.sort(key=lambda c: (c[0][axis], c[0]))
        total = sum(n for _, n in b)
        run, cut = 0, 1
        for i, (_, n) in enumerate(b):
            run += n
            if run * 2 >= total:
                cut = max(1, min(len(b) - 1, i + 1))
                break
        boxes[best:best] = [b[:cut], b[cut:]]
    palette = []
    for b in boxes:
        total = sum(n for _, n in b)
        palette.append(tuple(int(round(sum(c[k] * n for c, n in b) / total)) for k in range(3)))
    return palette


def make_palette(images):
    counts = {}
    for rows in images:
        for row in rows:
            for p in row:
                if p is not None:
                    counts[p] = counts.get(p, 0) + 1
    counts.pop((0, 0, 0), None)
    if len(counts) <= 255:
        colours = sorted(counts)
    else:
        colours = median_cut(counts, 255)
    palette = [(0, 0, 0)] + colours
    return palette + [(0, 0, 0)] * (256 - len(palette))


def nearest(palette, p, cache):
    if p is None:
        return 0
    if p not in cache:
        best, best_d = 0, None
        for i, q in enumerate(palette):
            d = 3 * (p[0] - q[0]) ** 2 + 4 * (p[1] - q[1]) ** 2 + 2 * (p[2] - q[2]) ** 2
            if best_d is None or d < best_d:
                best, best_d = i, d
        cache[p] = best
    return cache[p]


def palette_bytes(palette):
    return b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette)


def padded(line):
    return line + b"\0" * ((4 - len(line) % 4) % 4)


def index_rows(rows, palette):
    """8-bit pixel rows, bottom row first."""
    cache = {}
    return b"".join(padded(bytes(nearest(palette, p, cache) for p in row)) for row in reversed(rows))


def bit_rows(rows, bit_of):
    """1-bit rows, bottom row first, the leftmost pixel in the top bit."""
    out = b""
    for row in reversed(rows):
        line = bytearray((len(row) + 7) // 8)
        for x, p in enumerate(row):
            if bit_of(p):
                line[x // 8] |= 0x80 >> (x % 8)
        out += padded(bytes(line))
    return out


def info_header(width, height, bits, image_size, colours):
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, image_size, 0, 0, colours, 0)


def icon_image(rows):
    """One 8-bit icon image: header with doubled height, palette, colour (XOR) rows, AND mask."""
    size = len(rows)
    palette = make_palette([rows])
    pixels = index_rows(rows, palette)
    mask = bit_rows(rows, lambda p: p is None)
    return info_header(size, size * 2, 8, len(pixels) + len(mask), 256) + palette_bytes(palette) + pixels + mask


def write_icon(path, draw, sizes=(32, 16)):
    images = []
    for size in sizes:
        c = Canvas(size)
        draw(c)
        images.append(icon_image(c.rgba()))
    offset = 6 + 16 * len(images)
    directory = b""
    for size, image in zip(sizes, images):
        directory += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 8, len(image), offset)
        offset += len(image)
    with open(path, "wb") as f:
        f.write(struct.pack("<HHH", 0, 1, len(images)) + directory + b"".join(images))


def write_cursor(path, draw):
    """A 32x32 monochrome cursor: black and white colour table, XOR rows (1 white), AND rows (1
    transparent); the hot spot goes in the directory entry."""
    m = Mono()
    hot_x, hot_y = draw(m)
    rows = m.rows()
    xor = bit_rows(rows, lambda p: p == 1)
    mask = bit_rows(rows, lambda p: p is None)
    image = info_header(32, 64, 1, len(xor) + len(mask), 2) + palette_bytes([(0, 0, 0), (255, 255, 255)]) + xor + mask
    entry = struct.pack("<BBBBHHII", 32, 32, 2, 0, hot_x, hot_y, len(image), 6 + 16)
    with open(path, "wb") as f:
        f.write(struct.pack("<HHH", 0, 2, 1) + entry + image)


def write_bitmap(path, rows):
    size = len(rows)
    palette = make_palette([rows])
    pixels = index_rows(rows, palette)
    header = info_header(size, size, 8, len(pixels), 256)
    offset = 14 + len(header) + 1024
    with open(path, "wb") as f:
        f.write(struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset))
        f.write(header + palette_bytes(palette) + pixels)


ICONS = [
    ("Quirla.ico", draw_program),
    ("ColourMode.ico", draw_colour_mode),
    ("TextureMode.ico", draw_texture_mode),
    ("LightMode.ico", draw_light_mode),
    ("Apply.ico", draw_apply),
    ("Remove.ico", draw_remove),
    ("Delete.ico", draw_delete),
]

CURSORS = [
    ("Rotate.cur", cursor_rotate),
    ("ColourArea.cur", cursor_colour_area),
    ("SelectArea.cur", cursor_select_area),
    ("SelectTri.cur", cursor_select_tri),
    ("Paint.cur", cursor_paint),
    ("ScaleTex.cur", cursor_scale_tex),
    ("MoveTex.cur", cursor_move_tex),
]

if __name__ == "__main__":
    for name, draw in ICONS:
        write_icon(os.path.join(HERE, name), draw)
    for name, draw in CURSORS:
        write_cursor(os.path.join(HERE, name), draw)
    write_bitmap(os.path.join(HERE, "Logo.bmp"), draw_logo())
