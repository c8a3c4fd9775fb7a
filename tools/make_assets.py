#!/usr/bin/env python3
"""Draws Corvalo's built-in pictures and writes them into resources/.

Re-run after changing a drawing (from anywhere; paths are relative to this script):

    python3 tools/make_assets.py          # rewrite the four files in resources/
    python3 tools/make_assets.py --check  # exit 1 if the committed files differ from a new drawing

The generated files are committed beside this script; corvalo.rc compiles them into the exe:

    resources/app_icon.ico         application icon, one 32 x 32 image, 32 bits per pixel with
                                   alpha and an AND mask
    resources/default_picture.bmp  picture shown on the desktop at the first start, 256 x 256,
                                   32 bits per pixel (alpha 255), bottom-up
    resources/glyph_tick.bmp       menu glyph: red tick on black, 32 x 32, 24 bits per pixel
    resources/glyph_gear.bmp       menu glyph: grey gear on black, 32 x 32, 24 bits per pixel

Only the Python 3 standard library is used, and the output is the same on every run: shapes are
signed-distance functions, and a pixel's coverage comes from the distance at its centre, which gives
anti-aliased edges without random sampling.

Constraints the pictures must keep (checked before anything is written):
  - default picture: its bottom-left pixel becomes the see-through colour once the user switches
    colour keying on, so the background is one flat colour that touches all four corners, and no
    pixel of that exact colour lies inside the motif (every background-coloured pixel is connected
    to the border through background-coloured pixels).
  - menu glyphs: black is their see-through colour, so the background is pure black and the motif
    never contains pure black; its edges are smoothed towards the menu's grey instead of towards
    black, so they don't leave a dark fringe once black is keyed out.
"""

import math
import os
import struct
import sys

# ---------------------------------------------------------------------------------------------
# Shapes: signed distance (negative inside, in pixels) and a bounding box.


def clamp(v, lo=0.0, hi=1.0):
    return lo if v < lo else hi if v > hi else v


def mix(a, b, t):
    """Colour a at t = 0, colour b at t = 1."""
    return tuple(x + (y - x) * t for x, y in zip(a, b))


class Shape:
    def __init__(self, dist, box):
        self.dist = dist  # (x, y) -> signed distance
        self.box = box  # (x0, y0, x1, y1), the shape lies inside it

    def grow(self, w):
        """The shape widened by w pixels all round; outlines are grown shapes drawn first."""
        d = self.dist
        x0, y0, x1, y1 = self.box
        return Shape(lambda x, y: d(x, y) - w, (x0 - w, y0 - w, x1 + w, y1 + w))

    def union(self, other, smooth=0.0):
        a, b = self.dist, other.dist
        box = _box_union(self.box, other.box)
        if smooth <= 0:
            return Shape(lambda x, y: min(a(x, y), b(x, y)), box)
        k = smooth

        def dist(x, y):
            da, db = a(x, y), b(x, y)
            h = clamp(0.5 + 0.5 * (db - da) / k)
            return db + (da - db) * h - k * h * (1.0 - h)

        return Shape(dist, box)

    def minus(self, other):
        a, b = self.dist, other.dist
        return Shape(lambda x, y: max(a(x, y), -b(x, y)), self.box)

    def clip(self, other):
        a, b = self.dist, other.dist
        return Shape(lambda x, y: max(a(x, y), b(x, y)), _box_meet(self.box, other.box))

    def rotated(self, degrees, cx, cy):
        """The shape turned clockwise on screen (y points down) about (cx, cy)."""
        c, s = math.cos(math.radians(degrees)), math.sin(math.radians(degrees))
        d = self.dist

        def dist(x, y):
            dx, dy = x - cx, y - cy
            return d(cx + c * dx + s * dy, cy - s * dx + c * dy)

        x0, y0, x1, y1 = self.box
        corners = [(x, y) for x in (x0, x1) for y in (y0, y1)]
        turned = [
            (cx + c * (x - cx) - s * (y - cy), cy + s * (x - cx) + c * (y - cy)) for x, y in corners
        ]
        xs, ys = [p[0] for p in turned], [p[1] for p in turned]
        return Shape(dist, (min(xs), min(ys), max(xs), max(ys)))

    def mirrored(self, axis_x):
        """The shape mirrored left to right about the vertical line x = axis_x."""
        d = self.dist
        x0, y0, x1, y1 = self.box
        return Shape(lambda x, y: d(2 * axis_x - x, y), (2 * axis_x - x1, y0, 2 * axis_x - x0, y1))


def _box_union(a, b):
    return (min(a[0], b[0]), min(a[1], b[1]), max(a[2], b[2]), max(a[3], b[3]))


def _box_meet(a, b):
    return (max(a[0], b[0]), max(a[1], b[1]), min(a[2], b[2]), min(a[3], b[3]))


def circle(cx, cy, r):
    return Shape(lambda x, y: math.hypot(x - cx, y - cy) - r, (cx - r, cy - r, cx + r, cy + r))


def ellipse(cx, cy, rx, ry):
    # Distance estimate that is exact on the axes and close near the edge, which is where
    # coverage and outlines need it.
    def dist(x, y):
        px, py = x - cx, y - cy
        k0 = math.hypot(px / rx, py / ry)
        k1 = math.hypot(px / (rx * rx), py / (ry * ry))
        if k1 == 0.0:
            return -min(rx, ry)
        return k0 * (k0 - 1.0) / k1

    return Shape(dist, (cx - rx, cy - ry, cx + rx, cy + ry))


def rounded_box(cx, cy, half_w, half_h, radius):
    def dist(x, y):
        qx = abs(x - cx) - half_w + radius
        qy = abs(y - cy) - half_h + radius
        outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
        return outside + min(max(qx, qy), 0.0) - radius

    return Shape(dist, (cx - half_w, cy - half_h, cx + half_w, cy + half_h))


def _segment_distance(x, y, ax, ay, bx, by):
    ex, ey = bx - ax, by - ay
    wx, wy = x - ax, y - ay
    t = clamp((wx * ex + wy * ey) / (ex * ex + ey * ey))
    return math.hypot(wx - ex * t, wy - ey * t)


def stroke(points, width):
    """A line through the points, width pixels wide, with round caps and joins."""
    r = width / 2.0
    segments = list(zip(points, points[1:]))

    def dist(x, y):
        return min(_segment_distance(x, y, a[0], a[1], b[0], b[1]) for a, b in segments) - r

    xs, ys = [p[0] for p in points], [p[1] for p in points]
    return Shape(dist, (min(xs) - r, min(ys) - r, max(xs) + r, max(ys) + r))


def arc_points(cx, cy, rx, ry, start_deg, end_deg, count=16):
    """Points along an elliptic arc; angles clockwise on screen from the +x axis."""
    out = []
    for i in range(count + 1):
        a = math.radians(start_deg + (end_deg - start_deg) * i / count)
        out.append((cx + rx * math.cos(a), cy + ry * math.sin(a)))
    return out


def polygon(points):
    n = len(points)

    def dist(x, y):
        best = (x - points[0][0]) ** 2 + (y - points[0][1]) ** 2
        sign = 1.0
        j = n - 1
        for i in range(n):
            vx, vy = points[i]
            ux, uy = points[j]
            ex, ey = ux - vx, uy - vy
            wx, wy = x - vx, y - vy
            t = clamp((wx * ex + wy * ey) / (ex * ex + ey * ey))
            bx, by = wx - ex * t, wy - ey * t
            best = min(best, bx * bx + by * by)
            c1, c2, c3 = y >= vy, y < uy, ex * wy > ey * wx
            if (c1 and c2 and c3) or not (c1 or c2 or c3):
                sign = -sign
            j = i
        return sign * math.sqrt(best)

    xs, ys = [p[0] for p in points], [p[1] for p in points]
    return Shape(dist, (min(xs), min(ys), max(xs), max(ys)))


def below(y0):
    """Everything below the horizontal line y = y0 (for clipping)."""
    return Shape(lambda x, y: y0 - y, (-1e9, y0, 1e9, 1e9))


# ---------------------------------------------------------------------------------------------
# Canvas: premultiplied RGBA in floats, 0..255 for colour and 0..1 for alpha.


class Canvas:
    def __init__(self, width, height, background=None):
        self.width, self.height = width, height
        n = width * height
        if background is None:
            self.rgb = [(0.0, 0.0, 0.0)] * n
            self.alpha = [0.0] * n
        else:
            self.rgb = [tuple(float(v) for v in background)] * n
            self.alpha = [1.0] * n

    def paint(self, shape, colour, opacity=1.0, softness=1.0):
        """Lays the shape over the canvas. colour is an (r, g, b) tuple or a function
        (x, y) -> colour; softness is the width of the edge ramp in pixels (1: a crisp,
        anti-aliased edge)."""
        x0, y0, x1, y1 = shape.box
        pad = softness + 1
        xa, xb = max(0, int(math.floor(x0 - pad))), min(self.width, int(math.ceil(x1 + pad)))
        ya, yb = max(0, int(math.floor(y0 - pad))), min(self.height, int(math.ceil(y1 + pad)))
        dist = shape.dist
        fill = colour if callable(colour) else (lambda x, y, c=colour: c)
        limit = 0.5 * softness
        for py in range(ya, yb):
            cy = py + 0.5
            row = py * self.width
            for px in range(xa, xb):
                cx = px + 0.5
                d = dist(cx, cy)
                if d >= limit:
                    continue
                cover = opacity * clamp(0.5 - d / softness)
                r, g, b = fill(cx, cy)
                i = row + px
                keep = 1.0 - cover
                dr, dg, db = self.rgb[i]
                self.rgb[i] = (r * cover + dr * keep, g * cover + dg * keep, b * cover + db * keep)
                self.alpha[i] = cover + self.alpha[i] * keep

    def straight(self, i):
        """Pixel i as straight (r, g, b, alpha) in 0..255 integers."""
        a = self.alpha[i]
        if a <= 0.0:
            return (0, 0, 0, 0)
        r, g, b = self.rgb[i]
        return (_byte(r / a), _byte(g / a), _byte(b / a), _byte(a * 255.0))


def _byte(v):
    return int(clamp(v, 0.0, 255.0) + 0.5)


def radial(c_inner, c_outer, cx, cy, radius):
    def fill(x, y):
        return mix(c_inner, c_outer, clamp(math.hypot(x - cx, y - cy) / radius))

    return fill


def vertical(c_top, c_bottom, y_top, y_bottom):
    def fill(x, y):
        return mix(c_top, c_bottom, clamp((y - y_top) / (y_bottom - y_top)))

    return fill


# ---------------------------------------------------------------------------------------------
# The default desktop picture: a friendly dog's head with floppy ears, collar and tag.

PICTURE_SIZE = 256
PICTURE_BACKGROUND = (214, 236, 250)  # soft sky blue, the see-through colour once keying is on

INK = (78, 46, 30)  # outlines
EAR = (122, 72, 42)
FUR_LIGHT = (246, 190, 118)
FUR_DARK = (222, 146, 74)
CREAM = (255, 243, 222)
PATCH = (178, 108, 56)
EYE = (46, 30, 28)
NOSE = (52, 34, 32)
TONGUE = (238, 112, 128)
TONGUE_LINE = (196, 72, 92)
BLUSH = (242, 136, 124)
COLLAR = (214, 58, 66)
TAG = (250, 200, 72)
TAG_SHADE = (214, 150, 40)


def draw_default_picture():
    c = Canvas(PICTURE_SIZE, PICTURE_SIZE, PICTURE_BACKGROUND)
    mid = PICTURE_SIZE / 2.0
    line = 3.5

    # Collar first: the head hides its upper half.
    collar = rounded_box(mid, 206, 56, 10, 10)
    c.paint(collar.grow(line), INK)
    c.paint(collar, vertical((232, 78, 84), (190, 44, 54), 196, 216))

    # Floppy ears hang behind the head: tucked in at the top, tips swinging outwards.
    left_ear = ellipse(60, 114, 28, 56).rotated(24, 60, 114)
    right_ear = left_ear.mirrored(mid)
    for ear in (left_ear, right_ear):
        c.paint(ear.grow(line), INK)
        c.paint(ear, EAR)

    # Head: a round skull merged smoothly with fuller cheeks.
    skull = ellipse(mid, 110, 70, 64)
    cheeks = ellipse(mid, 156, 72, 48)
    head = skull.union(cheeks, smooth=18)
    c.paint(head.grow(line), INK)
    c.paint(head, radial(FUR_LIGHT, FUR_DARK, mid - 28, 86, 130))

    # A darker patch over the right eye, kept inside the head.
    patch = ellipse(157, 116, 25, 23).rotated(-15, 157, 116).clip(head.grow(-1.0))
    c.paint(patch, PATCH)

    # Light blaze down the forehead into the muzzle.
    blaze = ellipse(mid, 92, 11, 40)
    muzzle = ellipse(mid, 164, 46, 34)
    c.paint(blaze.union(muzzle, smooth=16), CREAM)

    # Eyes with a catch light each, and friendly raised brows.
    for ex in (100, 156):
        c.paint(circle(ex, 122, 10.5), EYE)
        c.paint(circle(ex + 3.5, 118, 3.6), (255, 255, 255))
        c.paint(circle(ex - 3.5, 126.5, 1.6), (190, 190, 200))
    c.paint(stroke(arc_points(100, 112, 13, 8, 215, 320, 8), 4.0), INK)
    c.paint(stroke(arc_points(156, 112, 13, 8, 220, 325, 8), 4.0), INK)

    # Cheeks blush.
    for bx in (82, 174):
        c.paint(ellipse(bx, 160, 11, 7), BLUSH, opacity=0.45, softness=3.0)

    # Tongue, peeking out of the smile.
    tongue = ellipse(mid, 181, 12, 14).clip(below(173))
    c.paint(tongue.grow(2.0), INK)
    c.paint(tongue, TONGUE)
    c.paint(stroke([(mid, 177), (mid, 187)], 2.0), TONGUE_LINE)

    # Mouth: down from the nose, then a smile to each side.
    smile_left = arc_points(mid - 12, 168, 12, 8, 0, 160, 10)
    smile_right = arc_points(mid + 12, 168, 12, 8, 180, 20, 10)
    c.paint(stroke([(mid, 152), (mid, 170)], 3.2), INK)
    c.paint(stroke(smile_left, 3.2), INK)
    c.paint(stroke(smile_right, 3.2), INK)

    # Nose with a soft shine.
    nose = ellipse(mid, 150, 17, 11.5).union(ellipse(mid, 156, 8, 6), smooth=6)
    c.paint(nose, NOSE)
    c.paint(ellipse(mid - 5, 146, 6, 2.8), (132, 112, 112))

    # Tag on the collar.
    ring = circle(mid, 218, 4.5).minus(circle(mid, 218, 2.2))
    c.paint(ring, INK)
    tag = circle(mid, 230, 11)
    c.paint(tag.grow(line - 0.5), INK)
    c.paint(tag, radial(TAG, TAG_SHADE, mid - 4, 226, 14))
    c.paint(circle(mid - 4, 226, 2.5), (255, 238, 170))
    return c


# ---------------------------------------------------------------------------------------------
# The application icon: a little rocket on a rounded blue square.

ICON_SIZE = 32


def draw_icon():
    c = Canvas(ICON_SIZE, ICON_SIZE)
    tile = rounded_box(16, 16, 15, 15, 6.5)
    c.paint(tile, vertical((72, 110, 230), (38, 52, 150), 1, 31))
    # A few stars.
    for sx, sy, r in ((7.5, 8.5, 1.0), (24.5, 25.0, 0.9), (10.0, 23.5, 0.7), (26.0, 10.0, 0.6)):
        c.paint(circle(sx, sy, r), (236, 240, 255))

    # The rocket is drawn pointing straight up about (16, 16), then turned towards the top right.
    angle, cx, cy = 45, 16.0, 16.5
    flame_outer = polygon([(13.2, 21.5), (18.8, 21.5), (16.0, 29.5)])
    flame_inner = polygon([(14.6, 21.5), (17.4, 21.5), (16.0, 26.0)])
    fins = polygon([(12.0, 13.0), (8.2, 22.5), (12.5, 21.0)]).union(
        polygon([(20.0, 13.0), (23.8, 22.5), (19.5, 21.0)])
    )
    body = ellipse(16, 13.0, 4.8, 10.0).clip(Shape(lambda x, y: y - 21.0, (0, 0, 32, 21.0)))
    nozzle = rounded_box(16, 21.2, 2.6, 1.2, 0.6)
    window = circle(16, 12.0, 2.4)
    for shape, colour in (
        (flame_outer, (255, 150, 40)),
        (flame_inner, (255, 236, 120)),
        (fins, (232, 62, 72)),
        (nozzle, (120, 128, 150)),
        (body, vertical((255, 255, 255), (206, 214, 232), 4, 21)),
        (window.grow(0.9), (62, 76, 120)),
        (window, (120, 206, 255)),
    ):
        c.paint(shape.rotated(angle, cx, cy), colour)
    # Nose cone tip in red.
    tip = ellipse(16, 13.0, 4.8, 10.0).clip(Shape(lambda x, y: y - 7.5, (0, 0, 32, 7.5)))
    c.paint(tip.rotated(angle, cx, cy), (232, 62, 72))
    return c


# ---------------------------------------------------------------------------------------------
# Menu glyphs: 32 x 32 on black, which the menu treats as see-through.

GLYPH_SIZE = 32
MENU_FACE = (240, 240, 240)  # the usual menu background the edges are smoothed towards
GLYPH_CUTOFF = 0.3  # coverage below this stays black (see-through)


def draw_tick():
    c = Canvas(GLYPH_SIZE, GLYPH_SIZE)
    tick = stroke([(6.5, 17.0), (13.0, 23.5), (25.5, 8.5)], 5.6)
    c.paint(tick, vertical((236, 56, 48), (196, 24, 32), 6, 27))
    return c


def draw_gear():
    c = Canvas(GLYPH_SIZE, GLYPH_SIZE)
    centre = 16.0
    wheel = circle(centre, centre, 10.5)
    # Short, broad teeth keep it a gear rather than a star when the menu shrinks it.
    tooth = polygon([(centre - 3.6, centre - 9.0), (centre + 3.6, centre - 9.0),
                     (centre + 2.6, centre - 14.3), (centre - 2.6, centre - 14.3)])
    for k in range(8):
        wheel = wheel.union(tooth.rotated(45.0 * k, centre, centre))
    hub = circle(centre, centre, 4.0)
    c.paint(wheel.minus(hub), vertical((168, 170, 178), (112, 114, 124), 2, 30))
    # A darker ring around the axle hole gives the wheel some depth.
    c.paint(circle(centre, centre, 6.4).minus(hub), (96, 98, 108))
    return c


def glyph_pixels(canvas):
    """24-bit rows top-down: black where the glyph is (nearly) absent, otherwise the glyph laid
    over the menu's grey, so its anti-aliased edge matches the menu once black is keyed out."""
    out = []
    for i in range(canvas.width * canvas.height):
        a = canvas.alpha[i]
        if a < GLYPH_CUTOFF:
            out.append((0, 0, 0))
            continue
        r, g, b = canvas.rgb[i]  # premultiplied
        keep = 1.0 - a
        out.append(
            (_byte(r + MENU_FACE[0] * keep), _byte(g + MENU_FACE[1] * keep),
             _byte(b + MENU_FACE[2] * keep)))
    return out


# ---------------------------------------------------------------------------------------------
# File formats (little-endian, rows bottom-up as BMP and ICO store them).


def _info_header(width, height, bits, image_size):
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, image_size, 3780, 3780, 0, 0)


def bmp_bytes(width, height, pixels, bits):
    """pixels: top-down list of (r, g, b); bits 24 or 32 (32 writes alpha 255)."""
    stride = (width * bits // 8 + 3) & ~3
    rows = []
    for y in range(height - 1, -1, -1):
        row = bytearray()
        for r, g, b in pixels[y * width:(y + 1) * width]:
            row += bytes((b, g, r, 255)) if bits == 32 else bytes((b, g, r))
        row += b"\0" * (stride - len(row))
        rows.append(bytes(row))
    data = b"".join(rows)
    offset = 14 + 40
    file_header = struct.pack("<2sIHHI", b"BM", offset + len(data), 0, 0, offset)
    return file_header + _info_header(width, height, bits, len(data)) + data


def ico_bytes(canvas):
    """One 32-bit image with straight alpha, plus the AND mask older code paths draw with."""
    w, h = canvas.width, canvas.height
    colour = bytearray()
    mask = bytearray()
    mask_stride = ((w + 31) // 32) * 4
    for y in range(h - 1, -1, -1):
        bits = bytearray(mask_stride)
        for x in range(w):
            r, g, b, a = canvas.straight(y * w + x)
            colour += bytes((b, g, r, a))
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    image = _info_header(w, h * 2, 32, len(colour) + len(mask)) + bytes(colour) + bytes(mask)
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, 1, 32, len(image), 6 + 16)
    return directory + entry + image


# ---------------------------------------------------------------------------------------------
# Checks of the constraints named at the top.


def check_picture(pixels, width, height, background):
    corners = [pixels[0], pixels[width - 1], pixels[(height - 1) * width],
               pixels[height * width - 1]]
    if any(p != background for p in corners):
        raise SystemExit("default picture: a corner is not the background colour")
    # Flood the background from the border; any background-coloured pixel it can't reach sits
    # inside the motif and would turn see-through with colour keying.
    seen = bytearray(width * height)
    todo = [i for i in range(width * height)
            if (i < width or i >= (height - 1) * width or i % width in (0, width - 1))
            and pixels[i] == background]
    for i in todo:
        seen[i] = 1
    while todo:
        i = todo.pop()
        x, y = i % width, i // width
        for nx, ny in ((x - 1, y), (x + 1, y), (x, y - 1), (x, y + 1)):
            if 0 <= nx < width and 0 <= ny < height:
                j = ny * width + nx
                if not seen[j] and pixels[j] == background:
                    seen[j] = 1
                    todo.append(j)
    inside = sum(1 for i, p in enumerate(pixels) if p == background and not seen[i])
    if inside:
        raise SystemExit(f"default picture: {inside} background-coloured pixels inside the motif")


def check_glyph(name, pixels, size):
    if any(pixels[i] != (0, 0, 0) for i in (0, size - 1, size * (size - 1), size * size - 1)):
        raise SystemExit(f"{name}: a corner is not black")
    drawn = [p for p in pixels if p != (0, 0, 0)]
    if len(drawn) < size * size // 10:
        raise SystemExit(f"{name}: almost nothing drawn")
    # Channels can't all reach 0 through the blend towards the menu grey, but keep it explicit:
    # a motif pixel darker than this would look like a hole next to the see-through black.
    if min(max(p) for p in drawn) < 40:
        raise SystemExit(f"{name}: motif pixel too close to the see-through black")


def _read_bmp(name, data, width, height, bits):
    """Reads a BMP back as Windows will: header fields, then rows bottom-up. Returns a function
    (x, y) -> (r, g, b, a or None) in top-down coordinates."""
    def fail(why):
        raise SystemExit(f"{name}: {why}")

    if len(data) < 54 or data[:2] != b"BM":
        fail("not a BMP")
    size, offset = struct.unpack_from("<I4xI", data, 2)
    header = struct.unpack_from("<IiiHHIIiiII", data, 14)
    stride = (width * bits // 8 + 3) & ~3
    if size != len(data) or offset != 54 or header[0] != 40:
        fail("bad file header")
    if header[1:6] != (width, height, 1, bits, 0):  # positive height: rows bottom-up; BI_RGB
        fail(f"expected {width} x {height}, {bits} bits, BI_RGB, bottom-up")
    if header[6] != stride * height or offset + stride * height != len(data):
        fail("pixel data size does not match the header")

    def pixel(x, y):
        i = offset + (height - 1 - y) * stride + x * bits // 8
        b, g, r = data[i], data[i + 1], data[i + 2]
        return (r, g, b, data[i + 3] if bits == 32 else None)

    return pixel


def verify_files(files):
    """Checks the encoded files themselves, so a fault in the writers can't hide behind checks
    of the drawings."""
    n = PICTURE_SIZE
    pixel = _read_bmp("default_picture.bmp", files["default_picture.bmp"], n, n, 32)
    if any(pixel(x, y)[3] != 255 for y in range(n) for x in range(n)):
        raise SystemExit("default_picture.bmp: alpha must be 255 everywhere")
    if pixel(0, n - 1)[:3] != PICTURE_BACKGROUND:
        raise SystemExit("default_picture.bmp: bottom-left pixel is not the background colour")
    # The golden tag hangs at the bottom: proves the rows are stored the right way up.
    r, g, b, _ = pixel(n // 2, 230)
    if not (r > 200 and b < 120):
        raise SystemExit("default_picture.bmp: picture is upside down")

    for name in ("glyph_tick.bmp", "glyph_gear.bmp"):
        pixel = _read_bmp(name, files[name], GLYPH_SIZE, GLYPH_SIZE, 24)
        if pixel(0, GLYPH_SIZE - 1)[:3] != (0, 0, 0):
            raise SystemExit(f"{name}: bottom-left pixel is not black")

    data = files["app_icon.ico"]
    if struct.unpack_from("<HHH", data, 0) != (0, 1, 1):
        raise SystemExit("app_icon.ico: expected an icon file with one image")
    w, h, colours, _, planes, bits, size, offset = struct.unpack_from("<BBBBHHII", data, 6)
    if (w, h, colours, planes, bits) != (ICON_SIZE, ICON_SIZE, 0, 1, 32):
        raise SystemExit("app_icon.ico: expected one 32 x 32 image with 32 bits per pixel")
    if offset + size != len(data):
        raise SystemExit("app_icon.ico: image size does not match the file")
    header = struct.unpack_from("<IiiHHI", data, offset)
    if header != (40, ICON_SIZE, 2 * ICON_SIZE, 1, 32, 0):
        raise SystemExit("app_icon.ico: bad image header (height counts colour and mask)")
    colour_at = offset + 40
    mask_at = colour_at + ICON_SIZE * ICON_SIZE * 4
    mask_stride = ((ICON_SIZE + 31) // 32) * 4
    if mask_at + mask_stride * ICON_SIZE != len(data):
        raise SystemExit("app_icon.ico: AND mask missing or too long")
    for y in range(ICON_SIZE):
        for x in range(ICON_SIZE):
            alpha = data[colour_at + (y * ICON_SIZE + x) * 4 + 3]
            masked = data[mask_at + y * mask_stride + x // 8] & (0x80 >> (x % 8))
            if bool(masked) != (alpha == 0):
                raise SystemExit("app_icon.ico: AND mask disagrees with the alpha channel")
    corner_alpha = data[colour_at + 3]
    centre_alpha = data[colour_at + (ICON_SIZE // 2 * ICON_SIZE + ICON_SIZE // 2) * 4 + 3]
    if corner_alpha != 0 or centre_alpha != 255:
        raise SystemExit("app_icon.ico: expected see-through corners and an opaque middle")


# ---------------------------------------------------------------------------------------------


def build():
    files = {}

    picture = draw_default_picture()
    pixels = [picture.straight(i)[:3] for i in range(PICTURE_SIZE * PICTURE_SIZE)]
    check_picture(pixels, PICTURE_SIZE, PICTURE_SIZE, PICTURE_BACKGROUND)
    files["default_picture.bmp"] = bmp_bytes(PICTURE_SIZE, PICTURE_SIZE, pixels, 32)

    for name, draw in (("glyph_tick.bmp", draw_tick), ("glyph_gear.bmp", draw_gear)):
        pixels = glyph_pixels(draw())
        check_glyph(name, pixels, GLYPH_SIZE)
        files[name] = bmp_bytes(GLYPH_SIZE, GLYPH_SIZE, pixels, 24)

    files["app_icon.ico"] = ico_bytes(draw_icon())
    verify_files(files)
    return files


def main(argv):
    check_only = "--check" in argv[1:]
    unknown = [a for a in argv[1:] if a != "--check"]
    if unknown:
        print(__doc__)
        return 2
    out_dir = os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "resources")
    out_dir = os.path.normpath(out_dir)
    stale = []
    for name, data in build().items():
        path = os.path.join(out_dir, name)
        if check_only:
            try:
                with open(path, "rb") as f:
                    same = f.read() == data
            except OSError:
                same = False
            if not same:
                stale.append(path)
        else:
            with open(path, "wb") as f:
                f.write(data)
            print(f"wrote {path} ({len(data)} bytes)")
    if stale:
        print("out of date, re-run tools/make_assets.py:", *stale, sep="\n  ")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
