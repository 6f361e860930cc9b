#!/usr/bin/env python3
"""Draws Vantrel's icon and button images with the standard library only.

Every picture is a few flat shapes described by signed distance functions in a
100 x 100 design box, rasterised with one-pixel anti-aliasing. Areas that lie
wholly inside or outside a shape are found by a quad tree and filled as runs,
so even the very large cancel mark renders in seconds.

    scripts/render_images.py [app-dir]

writes app/images/*.png and app/icon.ico (the window icon that the program
reads from its working directory and also compiles in as a resource).
"""
import math
import os
import struct
import sys
import zlib

# ---------------------------------------------------------------- shapes ----
# A shape is a function (x, y) -> signed distance in design units, negative
# inside. min/max combinations keep the value a lower bound of the true
# distance, which is all the quad tree needs.


def circle(cx, cy, r):
    return lambda x, y: math.hypot(x - cx, y - cy) - r


def ring(cx, cy, r, width):
    half = width / 2.0
    return lambda x, y: abs(math.hypot(x - cx, y - cy) - r) - half


def box(cx, cy, hw, hh, radius=0.0, angle=0.0):
    c, s = math.cos(angle), math.sin(angle)
    ihw, ihh = hw - radius, hh - radius

    def f(x, y):
        dx, dy = x - cx, y - cy
        lx = abs(c * dx + s * dy) - ihw
        ly = abs(-s * dx + c * dy) - ihh
        outside = math.hypot(max(lx, 0.0), max(ly, 0.0))
        return outside + min(max(lx, ly), 0.0) - radius
    return f


def segment(ax, ay, bx, by, r):
    vx, vy = bx - ax, by - ay
    vv = vx * vx + vy * vy

    def f(x, y):
        px, py = x - ax, y - ay
        t = max(0.0, min(1.0, (px * vx + py * vy) / vv))
        return math.hypot(px - vx * t, py - vy * t) - r
    return f


def polyline(points, r):
    return union(*[segment(a[0], a[1], b[0], b[1], r)
                   for a, b in zip(points, points[1:])])


def polygon(points):
    pts = list(points)
    n = len(pts)

    def f(x, y):
        d = float('inf')
        inside = False
        j = n - 1
        for i in range(n):
            xi, yi = pts[i]
            xj, yj = pts[j]
            ex, ey = xj - xi, yj - yi
            wx, wy = x - xi, y - yi
            t = max(0.0, min(1.0, (wx * ex + wy * ey) / (ex * ex + ey * ey)))
            d = min(d, math.hypot(wx - ex * t, wy - ey * t))
            if (yi > y) != (yj > y) and x < xi + (y - yi) * ex / ey:
                inside = not inside
            j = i
        return -d if inside else d
    return f


def halfplane(px, py, nx, ny):
    """Inside where (p - point) . n < 0; n need not be normalised."""
    length = math.hypot(nx, ny)
    nx, ny = nx / length, ny / length
    return lambda x, y: (x - px) * nx + (y - py) * ny


def union(*shapes):
    return lambda x, y: min(s(x, y) for s in shapes)


def intersect(*shapes):
    return lambda x, y: max(s(x, y) for s in shapes)


def subtract(a, *b):
    return lambda x, y: max(a(x, y), -min(s(x, y) for s in b))


def grow(shape, amount):
    return lambda x, y: shape(x, y) - amount


# ----------------------------------------------------------------- paint ----
def hexrgb(text, alpha=255):
    text = text.lstrip('#')
    return (int(text[0:2], 16), int(text[2:4], 16), int(text[4:6], 16), alpha)


class Vertical:
    """A colour that runs from top to bottom of the design box."""

    def __init__(self, y0, c0, y1, c1):
        self.y0, self.c0, self.y1, self.c1 = y0, hexrgb(c0), y1, hexrgb(c1)

    def at(self, y):
        t = max(0.0, min(1.0, (y - self.y0) / (self.y1 - self.y0)))
        return tuple(int(round(a + (b - a) * t)) for a, b in zip(self.c0, self.c1))


class Flat:
    def __init__(self, colour, alpha=255):
        self.c = hexrgb(colour, alpha)

    def at(self, _y):
        return self.c


class Canvas:
    def __init__(self, width, height, margin=0.0):
        self.w, self.h = width, height
        self.px = bytearray(width * height * 4)
        # The 100 x 100 design box, centred, fills the shorter side.
        self.scale = (min(width, height) - 2 * margin) / 100.0
        self.ox = (width - 100.0 * self.scale) / 2.0
        self.oy = (height - 100.0 * self.scale) / 2.0

    def design(self, px, py):
        return (px - self.ox) / self.scale, (py - self.oy) / self.scale

    def paint(self, shape, paint):
        if isinstance(paint, str):
            paint = Flat(paint)
        self._rows = {}
        self._node(shape, paint, 0, 0, self.w, self.h)

    def _colour(self, paint, py):
        c = self._rows.get(py)
        if c is None:
            c = paint.at(self.design(0, py + 0.5)[1])
            self._rows[py] = c
        return c

    def _node(self, shape, paint, x0, y0, x1, y1):
        w, h = x1 - x0, y1 - y0
        if w <= 0 or h <= 0:
            return
        cx, cy = self.design((x0 + x1) / 2.0, (y0 + y1) / 2.0)
        d = shape(cx, cy) * self.scale
        reach = math.hypot(w, h) / 2.0 + 0.5
        if d >= reach:
            return
        if d <= -reach:
            for py in range(y0, y1):
                self._blend_run(x0, x1, py, self._colour(paint, py))
            return
        if w <= 4 and h <= 4:
            for py in range(y0, y1):
                colour = self._colour(paint, py)
                for px in range(x0, x1):
                    dx, dy = self.design(px + 0.5, py + 0.5)
                    cover = 0.5 - shape(dx, dy) * self.scale
                    if cover > 0.0:
                        self._blend(px, py, colour, min(cover, 1.0))
            return
        mx, my = (x0 + x1) // 2, (y0 + y1) // 2
        self._node(shape, paint, x0, y0, mx, my)
        self._node(shape, paint, mx, y0, x1, my)
        self._node(shape, paint, x0, my, mx, y1)
        self._node(shape, paint, mx, my, x1, y1)

    def _blend_run(self, x0, x1, py, colour):
        if colour[3] == 255:
            start = (py * self.w + x0) * 4
            self.px[start:start + (x1 - x0) * 4] = bytes(colour) * (x1 - x0)
        else:
            for px in range(x0, x1):
                self._blend(px, py, colour, 1.0)

    def _blend(self, px, py, colour, cover):
        i = (py * self.w + px) * 4
        sa = colour[3] / 255.0 * cover
        da = self.px[i + 3] / 255.0
        oa = sa + da * (1.0 - sa)
        if oa <= 0.0:
            return
        for k in range(3):
            self.px[i + k] = int(round((colour[k] * sa + self.px[i + k] * da * (1.0 - sa)) / oa))
        self.px[i + 3] = int(round(oa * 255.0))


# ------------------------------------------------------------- pictures ----
# Each picture is a function that paints onto a canvas.

def draw_check(cv):
    mark = [(12, 52), (38, 80), (90, 20)]
    cv.paint(polyline(mark, 12), '#1c7a2c')
    cv.paint(polyline(mark, 8.5), Vertical(15, '#7ee07a', 85, '#2ca838'))


def draw_cross(cv):
    strokes = lambda r: union(segment(14, 14, 86, 86, r), segment(86, 14, 14, 86, r))
    cv.paint(strokes(12), '#8c1414')
    cv.paint(strokes(8.5), Vertical(10, '#ff6a5a', 90, '#d41e1e'))


def draw_exit(cv):
    cv.paint(circle(50, 50, 46), '#8c1414')
    cv.paint(circle(50, 50, 42), Vertical(8, '#f0584a', 92, '#b81c1c'))
    arc = subtract(ring(50, 54, 24, 8), polygon([(50, 54), (30, 10), (70, 10)]))
    cv.paint(union(arc, segment(50, 18, 50, 50, 4.5)), '#ffffff')


def rotate(shape, angle, cx=50.0, cy=50.0):
    """The shape turned by angle (radians, clockwise on screen) about (cx, cy)."""
    c, sn = math.cos(angle), math.sin(angle)
    return lambda x, y: shape(cx + c * (x - cx) + sn * (y - cy), cy - sn * (x - cx) + c * (y - cy))


def plug(x_dir, cx, prongs):
    """A plug body with its cable; x_dir 1 points the prongs to the right."""
    parts = [box(cx, 50, 12, 17, 4), segment(cx - 30 * x_dir, 50, cx - 12 * x_dir, 50, 6)]
    if prongs:
        parts += [box(cx + 17 * x_dir, 41, 6, 3.2, 1), box(cx + 17 * x_dir, 59, 6, 3.2, 1)]
    else:
        parts += [subtract(box(cx + 10 * x_dir, 50, 4, 14, 2),
                           box(cx + 13 * x_dir, 41, 4, 3.6), box(cx + 13 * x_dir, 59, 4, 3.6))]
    return union(*parts)


def draw_connect(cv):
    both = rotate(union(plug(1, 32, True), plug(-1, 67, False)), -math.pi / 4)
    cv.paint(grow(both, 2.5), '#1d5a1d')
    cv.paint(both, Vertical(10, '#8fe07f', 90, '#2f9a2f'))


def draw_disconnect(cv):
    both = rotate(union(plug(1, 26, True), plug(-1, 76, False)), -math.pi / 4)
    cv.paint(grow(both, 2.5), '#5a1d1d')
    cv.paint(both, Vertical(10, '#f49a8a', 90, '#c23a2a'))
    spark = polygon([(46, 30), (40, 52), (49, 52), (43, 74), (60, 46), (51, 46), (55, 30)])
    cv.paint(grow(spark, 2), '#7a5a00')
    cv.paint(spark, '#ffd21e')


def draw_connect_auto(cv):
    # The connected plugs inside a turning arrow: connect by itself.
    turn = subtract(ring(50, 50, 42, 7), intersect(halfplane(50, 50, 1, 0), halfplane(50, 50, 0, 1)))
    head = polygon([(50, 84), (62, 100), (62, 68)])
    head2 = polygon([(50, 16), (38, 0), (38, 32)])
    arrows = union(intersect(turn, box(50, 50, 60, 60)), head, head2)
    cv.paint(grow(arrows, 1.5), '#14407a')
    cv.paint(arrows, Vertical(5, '#6aaaf0', 95, '#1f5fb4'))
    both = rotate(union(plug(1, 32, True), plug(-1, 67, False)), -math.pi / 4)
    small = lambda x, y: both(50 + (x - 50) / 0.6, 50 + (y - 50) / 0.6) * 0.6
    cv.paint(grow(small, 2), '#1d5a1d')
    cv.paint(small, Vertical(35, '#7fd36f', 65, '#2f9a2f'))


def draw_search(cv):
    cv.paint(segment(62, 62, 88, 88, 9), '#3a2a1a')
    cv.paint(segment(64, 64, 87, 87, 6.5), Vertical(60, '#a8743a', 90, '#6a4420'))
    cv.paint(circle(42, 42, 32), '#2a3a4a')
    cv.paint(circle(42, 42, 26), Vertical(14, '#e8f4ff', 70, '#9cc8ee'))
    cv.paint(subtract(ring(42, 42, 18, 5), halfplane(42, 42, 1, 1)), Flat('#ffffff', 190))


def draw_clear(cv):
    angle = -math.pi / 4
    cv.paint(box(50, 50, 40, 20, 5, angle), '#5a2a3a')
    cv.paint(intersect(box(50, 50, 37, 17, 3.5, angle), halfplane(50, 50, 1, 1)),
             Vertical(20, '#ff9cb8', 80, '#e0507a'))
    cv.paint(intersect(box(50, 50, 37, 17, 3.5, angle), halfplane(50, 50, -1, -1)),
             Vertical(20, '#ffffff', 80, '#c8d0dc'))
    cv.paint(segment(8, 94, 92, 94, 2), Flat('#7a8a9a', 200))


def gear(cx, cy, r_body, r_tip, teeth, hole):
    parts = [circle(cx, cy, r_body)]
    tooth_len = (r_tip - r_body) / 2.0 + 3
    for k in range(teeth):
        a = 2 * math.pi * k / teeth
        mid = r_body + tooth_len - 3
        parts.append(box(cx + mid * math.cos(a), cy + mid * math.sin(a), tooth_len, 6.5, 2, a))
    return subtract(union(*parts), circle(cx, cy, hole))


def draw_settings(cv):
    g = gear(50, 50, 32, 46, 8, 13)
    cv.paint(grow(g, 2.5), '#2a3440')
    cv.paint(g, Vertical(4, '#c8d2dc', 96, '#6a7888'))
    cv.paint(ring(50, 50, 21, 3), Flat('#ffffff', 120))


def draw_folder(cv):
    back = union(box(50, 55, 44, 30, 4), box(26, 24, 18, 6, 3))
    cv.paint(grow(back, 2), '#8a5a0a')
    cv.paint(back, Vertical(18, '#f0c040', 85, '#d89a18'))
    cv.paint(box(52, 50, 34, 20, 2), '#ffffff')
    front = polygon([(16, 42), (98, 42), (86, 86), (4, 86)])
    cv.paint(grow(front, 2), '#8a5a0a')
    cv.paint(front, Vertical(42, '#ffe07a', 86, '#f0b020'))


def draw_firmware(cv):
    pins = []
    for k in range(4):
        p = 26 + k * 16
        pins += [box(p, 8, 3, 6, 1), box(p, 92, 3, 6, 1), box(8, p, 6, 3, 1), box(92, p, 6, 3, 1)]
    cv.paint(union(*pins), '#a0a8b0')
    cv.paint(box(50, 50, 38, 38, 6), '#1e2228')
    cv.paint(box(50, 50, 34, 34, 4), Vertical(16, '#4a525c', 84, '#2a3038'))
    arrow = union(box(50, 38, 8, 16, 2), polygon([(30, 50), (70, 50), (50, 74)]))
    cv.paint(grow(arrow, 2), '#0e4a16')
    cv.paint(arrow, Vertical(22, '#8ef07e', 74, '#2cb83a'))


def draw_app_icon(cv):
    """A serial plug feeding a CAN bus line with its nodes."""
    cv.paint(box(50, 50, 48, 48, 14), '#0c2a52')
    cv.paint(box(50, 50, 45, 45, 11.5), Vertical(4, '#3a86d8', 96, '#164c94'))
    shell = polygon([(20, 18), (80, 18), (72, 44), (28, 44)])
    cv.paint(grow(shell, 2.5), '#0c2a52')
    cv.paint(shell, Vertical(18, '#f4f8fc', 44, '#b8c8dc'))
    holes = [circle(32 + 9 * k, 26, 3) for k in range(5)] + [circle(36.5 + 9 * k, 36, 3) for k in range(4)]
    cv.paint(union(*holes), '#16325a')
    cv.paint(segment(50, 46, 50, 66, 3.5), '#ffffff')
    cv.paint(segment(14, 70, 86, 70, 4), '#ffd21e')
    for x in (24, 76):
        cv.paint(segment(x, 70, x, 82, 3), '#ffd21e')
        cv.paint(circle(x, 84, 6), '#ffd21e')
        cv.paint(circle(x, 84, 3), '#164c94')
    cv.paint(circle(50, 70, 6), '#ffffff')


# --------------------------------------------------------------- writers ----
def png_chunk(kind, data):
    return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data) & 0xffffffff)


def png_rgba(width, height, rgba):
    comp = zlib.compressobj(9)
    out = []
    stride = width * 4
    for y in range(height):
        out.append(comp.compress(b'\x00' + bytes(rgba[y * stride:(y + 1) * stride])))
    out.append(comp.flush())
    header = struct.pack('>IIBBBBB', width, height, 8, 6, 0, 0, 0)
    return (b'\x89PNG\r\n\x1a\n' + png_chunk(b'IHDR', header)
            + png_chunk(b'IDAT', b''.join(out)) + png_chunk(b'IEND', b''))


def png_palette(width, height, indices, palette, transparent, depth):
    rows = bytearray()
    per_byte = 8 // depth
    for y in range(height):
        rows.append(0)
        row = indices[y * width:(y + 1) * width]
        for x in range(0, width, per_byte):
            v = 0
            for k in range(per_byte):
                v = (v << depth) | (row[x + k] if x + k < width else 0)
            rows.append(v)
    plte = b''.join(bytes(c[:3]) for c in palette)
    trns = bytes(0 if i == transparent else 255 for i in range(len(palette)))
    header = struct.pack('>IIBBBBB', width, height, depth, 3, 0, 0, 0)
    return (b'\x89PNG\r\n\x1a\n' + png_chunk(b'IHDR', header) + png_chunk(b'PLTE', plte)
            + png_chunk(b'tRNS', trns) + png_chunk(b'IDAT', zlib.compress(bytes(rows), 9))
            + png_chunk(b'IEND', b''))


VGA = ['000000', '800000', '008000', '808000', '000080', '800080', '008080', 'c0c0c0',
       '808080', 'ff0000', '00ff00', 'ffff00', '0000ff', 'ff00ff', '00ffff', 'ffffff']


def palette_8bit():
    pal = [(r * 51, g * 51, b * 51) for r in range(6) for g in range(6) for b in range(6)]
    pal += [(v, v, v) for v in (round(k * 255 / 40) for k in range(1, 40))]
    pal.append((0, 0, 0))   # index 255: transparent in the PNG form
    assert len(pal) == 256
    return pal


def palette_4bit():
    return [tuple(int(c[i:i + 2], 16) for i in (0, 2, 4)) for c in VGA]


def quantise(rgba, palette, transparent):
    cache = {}
    out = []
    for i in range(0, len(rgba), 4):
        if rgba[i + 3] < 128:
            out.append(transparent)
            continue
        key = (rgba[i], rgba[i + 1], rgba[i + 2])
        idx = cache.get(key)
        if idx is None:
            idx = min((j for j in range(len(palette)) if j != transparent),
                      key=lambda j: sum((a - b) ** 2 for a, b in zip(key, palette[j])))
            cache[key] = idx
        out.append(idx)
    return out


def bmp_entry(size, rgba, depth):
    """One icon image in the device-independent bitmap form with its mask."""
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, depth, 0, 0, 0, 0, 0, 0)
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for y in reversed(range(size)):
        row = bytearray(mask_stride)
        for x in range(size):
            if rgba[(y * size + x) * 4 + 3] < 128:
                row[x // 8] |= 0x80 >> (x % 8)
        mask += row
    pixels = bytearray()
    if depth == 32:
        for y in reversed(range(size)):
            for x in range(size):
                i = (y * size + x) * 4
                pixels += bytes((rgba[i + 2], rgba[i + 1], rgba[i], rgba[i + 3]))
        table = b''
    else:
        palette = palette_8bit() if depth == 8 else palette_4bit()
        # Masked pixels are drawn black so the AND/XOR pair leaves the screen alone.
        indices = quantise(rgba, palette, len(palette) - 1 if depth == 8 else -1)
        indices = [0 if i < 0 or (depth == 8 and i == 255) else i for i in indices]
        table = b''.join(bytes((c[2], c[1], c[0], 0)) for c in palette)
        stride = ((size * depth + 31) // 32) * 4
        for y in reversed(range(size)):
            row = bytearray(stride)
            for x in range(size):
                v = indices[y * size + x]
                if depth == 8:
                    row[x] = v
                else:
                    row[x // 2] |= v << (4 if x % 2 == 0 else 0)
            pixels += row
    return header + table + bytes(pixels) + bytes(mask)


def png_entry(size, rgba, depth):
    if depth == 32:
        return png_rgba(size, size, rgba)
    if depth == 8:
        pal = palette_8bit()
        return png_palette(size, size, quantise(rgba, pal, 255), pal, 255, 8)
    pal = palette_4bit()
    # The 4-bit form gives up light grey for a transparent entry.
    pal = pal[:7] + pal[8:] + [(0, 0, 0)]
    return png_palette(size, size, quantise(rgba, pal, 15), pal, 15, 4)


def write_ico(path, draw):
    sizes = [16, 24, 32, 48, 64, 72, 96, 128, 256]
    rendered = {}
    for s in sizes:
        cv = Canvas(s, s)
        draw(cv)
        rendered[s] = cv.px
    # Readers that keep the last image of a size see the 32-bit one: the
    # fewer colours come first.
    entries = []
    for depth in (4, 8, 32):
        for s in sizes:
            data = png_entry(s, rendered[s], depth) if s == 256 else bmp_entry(s, rendered[s], depth)
            entries.append((s, depth, data))
    offset = 6 + 16 * len(entries)
    head = struct.pack('<HHH', 0, 1, len(entries))
    body = b''
    for s, depth, data in entries:
        head += struct.pack('<BBBBHHII', s % 256, s % 256, 16 if depth == 4 else 0, 0, 1, depth,
                            len(data), offset + len(body))
        body += data
    with open(path, 'wb') as f:
        f.write(head + body)


IMAGES = [
    ('Check_mark_green.png', 200, 179, draw_check),
    ('Firmware.png', 64, 64, draw_firmware),
    ('x_mark_red.png', 251, 256, draw_cross),
    ('application-exit.png', 128, 128, draw_exit),
    ('connect1.png', 128, 128, draw_connect_auto),
    ('search.png', 256, 256, draw_search),
    ('disconnect.png', 128, 128, draw_disconnect),
    ('connect.png', 128, 128, draw_connect),
    ('clear.png', 128, 128, draw_clear),
    ('settings.png', 128, 128, draw_settings),
    ('Folder-Open-icon.png', 256, 256, draw_folder),
]


def main():
    app = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'app')
    images = os.path.join(app, 'images')
    os.makedirs(images, exist_ok=True)
    only = set(sys.argv[2:])
    for name, w, h, draw in IMAGES:
        if only and name not in only:
            continue
        cv = Canvas(w, h)
        draw(cv)
        with open(os.path.join(images, name), 'wb') as f:
            f.write(png_rgba(w, h, cv.px))
        print(name)
    if not only or 'icon.ico' in only:
        write_ico(os.path.join(app, 'icon.ico'), draw_app_icon)
        print('icon.ico')


if __name__ == '__main__':
    main()
