#!/usr/bin/env python3
"""Draws the program's two pictures from geometry and writes them into resources/.

- logo.png: 227 x 57 RGBA, white on transparent: a four-pane window emblem in
  perspective followed by "Windows Phone" in a small stroke font defined below.
- busy.gif: 32 x 32, eight frames of 80 ms looping forever: a ring of eight dots
  whose large dots move on one place per frame.

Only the standard library is used and the output is the same bytes on every run.
Usage: make_resources.py [OUTPUT_DIR]   (default: resources/ beside scripts/)
"""

import math
import os
import struct
import sys
import zlib

# ---------------------------------------------------------------------------
# Coverage raster: shapes set samples of a supersampled grid; a pixel's
# coverage is the share of its samples that are set. Overlapping shapes form
# a union, so strokes that meet at joins do not darken each other.


class Coverage:
    def __init__(self, width, height, ss):
        self.width, self.height, self.ss = width, height, ss
        self.sw, self.sh = width * ss, height * ss
        self.rows = [bytearray(self.sw) for _ in range(self.sh)]

    def _span(self, j, lo, hi):
        # Samples whose centres lie in [lo, hi] (pixel units) on sample row j.
        s = self.ss
        i0 = max(0, math.ceil(lo * s - 0.5))
        i1 = min(self.sw - 1, math.floor(hi * s - 0.5))
        if i1 >= i0:
            self.rows[j][i0 : i1 + 1] = b"\x01" * (i1 - i0 + 1)

    def _rows_between(self, y0, y1):
        s = self.ss
        j0 = max(0, math.floor(y0 * s - 0.5))
        j1 = min(self.sh - 1, math.ceil(y1 * s - 0.5))
        for j in range(j0, j1 + 1):
            yield j, (j + 0.5) / s

    def capsule(self, p0, p1, r):
        """All points within r of the segment p0-p1 (a disk when p0 == p1)."""
        (x0, y0), (x1, y1) = p0, p1
        dx, dy = x1 - x0, y1 - y0
        ll = dx * dx + dy * dy
        length = math.sqrt(ll)
        for j, yc in self._rows_between(min(y0, y1) - r, max(y0, y1) + r):
            lo, hi = math.inf, -math.inf
            for cx, cy in (p0, p1):
                d = yc - cy
                if abs(d) <= r:
                    h = math.sqrt(r * r - d * d)
                    lo, hi = min(lo, cx - h), max(hi, cx + h)
            if ll > 0:
                # The band: 0 <= (p - p0).d <= ll and |cross(d, p - p0)| <= r * length,
                # each a linear condition a*x + b >= 0 along the row.
                conds = (
                    (dx, (yc - y0) * dy - x0 * dx),
                    (-dx, ll - (yc - y0) * dy + x0 * dx),
                    (-dy, r * length + dx * (yc - y0) + dy * x0),
                    (dy, r * length - dx * (yc - y0) - dy * x0),
                )
                blo, bhi, empty = -math.inf, math.inf, False
                for a, b in conds:
                    if a > 0:
                        blo = max(blo, -b / a)
                    elif a < 0:
                        bhi = min(bhi, -b / a)
                    elif b < 0:
                        empty = True
                if not empty and blo <= bhi:
                    lo, hi = min(lo, blo), max(hi, bhi)
            if lo <= hi:
                self._span(j, lo, hi)

    def polyline(self, points, width):
        r = width / 2
        if len(points) == 1:
            self.capsule(points[0], points[0], r)
        for a, b in zip(points, points[1:]):
            self.capsule(a, b, r)

    def convex_polygon(self, points):
        ys = [p[1] for p in points]
        n = len(points)
        for j, yc in self._rows_between(min(ys), max(ys)):
            xs = []
            for k in range(n):
                (xa, ya), (xb, yb) = points[k], points[(k + 1) % n]
                if (ya <= yc < yb) or (yb <= yc < ya):
                    xs.append(xa + (yc - ya) * (xb - xa) / (yb - ya))
            if len(xs) >= 2:
                self._span(j, min(xs), max(xs))

    def levels(self, top):
        """Per pixel coverage scaled to 0..top, rounded half up."""
        s = self.ss
        full = s * s
        out = []
        for y in range(self.height):
            band = self.rows[y * s : (y + 1) * s]
            line = []
            for x in range(self.width):
                n = sum(sum(row[x * s : (x + 1) * s]) for row in band)
                line.append((n * top * 2 + full) // (2 * full))
            out.append(line)
        return out


def arc(cx, cy, rx, ry, a0, a1, steps_per_turn=96):
    """Points on an ellipse from angle a0 to a1 in degrees (y up, counter-clockwise)."""
    n = max(2, math.ceil(abs(a1 - a0) / 360 * steps_per_turn))
    pts = []
    for k in range(n + 1):
        t = math.radians(a0 + (a1 - a0) * k / n)
        pts.append((cx + rx * math.cos(t), cy + ry * math.sin(t)))
    return pts


# ---------------------------------------------------------------------------
# The logo.

LOGO_W, LOGO_H = 227, 57
SUPERSAMPLE = 8

# Letter shapes in units of the cap height, y up from the baseline. Each glyph
# is (ink width, list of stroke paths); a path of one point is a dot.
X_HEIGHT = 0.74
ASCENDER = 1.04


def _glyphs():
    xh, asc = X_HEIGHT, ASCENDER
    g = {}
    g["W"] = (1.0, [[(0, 1), (0.24, 0), (0.5, 1), (0.76, 0), (1.0, 1)]])
    g["i"] = (0.0, [[(0, 0), (0, xh)], [(0, xh + 0.21)]])
    arch = arc(0.24, xh - 0.24, 0.24, 0.24, 180, 0) + [(0.48, 0)]
    g["n"] = (0.48, [[(0, 0), (0, xh)], arch])
    g["h"] = (0.48, [[(0, 0), (0, asc)], arch])
    g["d"] = (0.52, [arc(0.26, xh / 2, 0.26, xh / 2, 0, 360), [(0.52, 0), (0.52, asc)]])
    g["o"] = (0.6, [arc(0.3, xh / 2, 0.3, xh / 2, 0, 360)])
    g["w"] = (0.74, [[(0, xh), (0.18, 0), (0.37, xh), (0.56, 0), (0.74, xh)]])
    upper = arc(0.22, 0.75 * xh, 0.2, xh / 4, 25, 270)
    lower = arc(0.22, xh / 4, 0.22, xh / 4, 90, -155)
    g["s"] = (0.44, [upper + lower[1:]])
    bowl = [(0, 1), (0.26, 1)] + arc(0.26, 0.73, 0.24, 0.27, 90, -90) + [(0, 0.46)]
    g["P"] = (0.5, [[(0, 0), (0, 1)], bowl])
    g["e"] = (0.56, [[(0, xh / 2)] + arc(0.28, xh / 2, 0.28, xh / 2, 0, 318)])
    g[" "] = (0.28, [])
    return g


GLYPHS = _glyphs()
LETTER_GAP = 0.16  # between the ink of neighbouring letters, in cap heights
STROKE = 1.9  # pixels


def text_extent(text):
    """Width of the text in cap heights, from the first ink to the last."""
    return sum(GLYPHS[c][0] for c in text) + LETTER_GAP * (len(text) - 1)


def draw_text(cov, text, left, baseline, cap):
    x = left
    for c in text:
        width, paths = GLYPHS[c]
        for path in paths:
            pts = [(x + px * cap, baseline - py * cap) for px, py in path]
            if len(pts) == 1:
                cov.capsule(pts[0], pts[0], STROKE * 0.62)
            else:
                cov.polyline(pts, STROKE)
        x += (width + LETTER_GAP) * cap


def draw_emblem(cov, left, right, mid, half_left, half_right, split, gap):
    """Four panes: the window's outline narrows towards the left as if seen at an angle."""

    def top(x):
        t = (x - left) / (right - left)
        return mid - (half_left + (half_right - half_left) * t)

    def bottom(x):
        return 2 * mid - top(x)

    xd = left + split * (right - left)
    columns = ((left, xd - gap / 2), (xd + gap / 2, right))
    for x0, x1 in columns:
        cov.convex_polygon([(x0, top(x0)), (x1, top(x1)), (x1, mid - gap / 2), (x0, mid - gap / 2)])
        cov.convex_polygon(
            [(x0, mid + gap / 2), (x1, mid + gap / 2), (x1, bottom(x1)), (x0, bottom(x0))]
        )


def render_logo():
    cov = Coverage(LOGO_W, LOGO_H, SUPERSAMPLE)
    mid = LOGO_H / 2
    draw_emblem(cov, 1.5, 41.5, mid, 16.5, 22.0, 0.44, 2.6)
    text = "Windows Phone"
    left, right = 53.0, LOGO_W - 2.0
    # The stroke's round ends reach half a stroke past the path on either side.
    cap = (right - left - STROKE) / text_extent(text)
    draw_text(cov, text, left + STROKE / 2, mid + cap / 2, cap)
    return cov.levels(255)


def png_chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))


def s15f16(v):
    return struct.pack(">i", round(v * 65536))


def icc_profile():
    """A small ICC v2 display profile: sRGB primaries adapted to D50, gamma 2.2."""

    def xyz(x, y, z):
        return b"XYZ \0\0\0\0" + s15f16(x) + s15f16(y) + s15f16(z)

    name = b"sRGB-like, gamma 2.2"
    desc = b"desc\0\0\0\0" + struct.pack(">I", len(name) + 1) + name + b"\0"
    desc += b"\0" * 4 + b"\0" * 4 + b"\0" * 3 + b"\0" * 67
    tags = [
        (b"desc", desc),
        (b"wtpt", xyz(0.9642, 1.0, 0.8249)),
        (b"rXYZ", xyz(0.4361, 0.2225, 0.0139)),
        (b"gXYZ", xyz(0.3851, 0.7169, 0.0971)),
        (b"bXYZ", xyz(0.1431, 0.0606, 0.7141)),
        (b"rTRC", b"curv\0\0\0\0" + struct.pack(">IH", 1, 0x0233) + b"\0\0"),
        (b"cprt", b"text\0\0\0\0No copyright, use freely\0"),
    ]
    # The three curves are one and the same: gTRC and bTRC point at rTRC's data.
    table, data = [], b""
    offset = 128 + 4 + 12 * (len(tags) + 2)
    where = {}
    for sig, body in tags:
        while len(body) % 4:
            body += b"\0"
        where[sig] = (offset + len(data), len(body))
        data += body
    for sig, _ in tags:
        table.append((sig,) + where[sig])
        if sig == b"rTRC":
            table.append((b"gTRC",) + where[sig])
            table.append((b"bTRC",) + where[sig])
    tag_table = struct.pack(">I", len(table)) + b"".join(
        sig + struct.pack(">II", off, size) for sig, off, size in table
    )
    size = 128 + len(tag_table) + len(data)
    header = struct.pack(">I", size)
    header += b"\0\0\0\0"  # preferred CMM
    header += bytes([2, 0x10, 0, 0])  # version 2.1
    header += b"mntr" + b"RGB " + b"XYZ "
    header += struct.pack(">6H", 2013, 1, 1, 0, 0, 0)
    header += b"acsp" + b"\0\0\0\0"  # no primary platform
    header += struct.pack(">I", 0)  # flags
    header += b"\0" * 8  # manufacturer, model
    header += b"\0" * 8  # attributes
    header += struct.pack(">I", 0)  # perceptual intent
    header += s15f16(0.9642) + s15f16(1.0) + s15f16(0.8249)
    header += b"\0" * 4  # creator
    header += b"\0" * 16  # profile id (v4 only)
    header += b"\0" * (128 - len(header))
    return header + tag_table + data


def png_filter_rows(rows, bpp):
    """Filters each row with the filter that leaves the smallest sum of magnitudes."""
    out = bytearray()
    prior = bytes(len(rows[0]))
    for row in rows:
        n = len(row)
        cands = []
        left = lambda i: row[i - bpp] if i >= bpp else 0  # noqa: E731
        upleft = lambda i: prior[i - bpp] if i >= bpp else 0  # noqa: E731
        cands.append((0, bytes(row)))
        cands.append((1, bytes((row[i] - left(i)) & 255 for i in range(n))))
        cands.append((2, bytes((row[i] - prior[i]) & 255 for i in range(n))))
        cands.append((3, bytes((row[i] - ((left(i) + prior[i]) >> 1)) & 255 for i in range(n))))

        def paeth(i):
            a, b, c = left(i), prior[i], upleft(i)
            p = a + b - c
            pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
            return a if pa <= pb and pa <= pc else b if pb <= pc else c

        cands.append((4, bytes((row[i] - paeth(i)) & 255 for i in range(n))))
        cost = lambda data: sum(v if v < 128 else 256 - v for v in data)  # noqa: E731
        kind, data = min(cands, key=lambda c: (cost(c[1]), c[0]))
        out.append(kind)
        out += data
        prior = row
    return bytes(out)


def encode_png(alpha):
    h, w = len(alpha), len(alpha[0])
    rows = []
    for line in alpha:
        row = bytearray()
        for a in line:
            row += bytes((255, 255, 255, a))
        rows.append(bytes(row))
    ihdr = struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0)
    phys = struct.pack(">IIB", 3780, 3780, 1)  # 96 dpi
    iccp = b"ICC profile\0\0" + zlib.compress(icc_profile(), 9)
    chrm = struct.pack(">8I", 31270, 32900, 64000, 33000, 30000, 60000, 15000, 6000)
    idat = zlib.compress(png_filter_rows(rows, 4), 9)
    return (
        b"\x89PNG\r\n\x1a\n"
        + png_chunk(b"IHDR", ihdr)
        + png_chunk(b"pHYs", phys)
        + png_chunk(b"iCCP", iccp)
        + png_chunk(b"cHRM", chrm)
        + png_chunk(b"IDAT", idat)
        + png_chunk(b"IEND", b"")
    )


# ---------------------------------------------------------------------------
# The busy animation.

BUSY_SIZE = 32
BUSY_FRAMES = 8
BUSY_DELAY = 8  # hundredths of a second
RING_RADIUS = 10.5
# Dot radii from the leading dot back along the tail.
DOT_RADII = (3.4, 3.0, 2.65, 2.35, 2.1, 1.85, 1.65, 1.45)
GREYS = 16  # palette: index k is grey 255 - 17 k, so 0 is white and 15 black


def ring_positions():
    # Position 0 at the top, then clockwise on screen (y grows downwards).
    c = BUSY_SIZE / 2
    out = []
    for p in range(8):
        t = math.radians(-90 + 45 * p)
        # Rounded so that positions a quarter turn apart are exact rotations.
        out.append((round(c + RING_RADIUS * math.cos(t), 9), round(c + RING_RADIUS * math.sin(t), 9)))
    return out


def render_busy_frame(frame):
    cov = Coverage(BUSY_SIZE, BUSY_SIZE, SUPERSAMPLE)
    for p, centre in enumerate(ring_positions()):
        age = (frame - p) % 8
        cov.capsule(centre, centre, DOT_RADII[age])
    return [idx for line in cov.levels(GREYS - 1) for idx in line]


def lzw_encode(indices, min_code_size):
    """GIF flavour of LZW: variable code width from min_code_size + 1 up to 12 bits."""
    clear, eoi = 1 << min_code_size, (1 << min_code_size) + 1
    out = bytearray()
    acc = nbits = 0

    def emit(code, width):
        nonlocal acc, nbits
        acc |= code << nbits
        nbits += width
        while nbits >= 8:
            out.append(acc & 255)
            acc >>= 8
            nbits -= 8

    def reset():
        return {}, eoi + 1, min_code_size + 1

    table, next_code, width = reset()
    emit(clear, width)
    prefix = indices[0]
    for k in indices[1:]:
        key = (prefix, k)
        if key in table:
            prefix = table[key]
            continue
        emit(prefix, width)
        if next_code < 4096:
            table[key] = next_code
            next_code += 1
            # The decoder adds each entry one code later, so it widens one code later too.
            if next_code > (1 << width) and width < 12:
                width += 1
        else:
            emit(clear, width)
            table, next_code, width = reset()
        prefix = k
    emit(prefix, width)
    emit(eoi, width)
    if nbits:
        out.append(acc & 255)
    return bytes(out)


def gif_sub_blocks(data):
    out = bytearray()
    for i in range(0, len(data), 255):
        part = data[i : i + 255]
        out.append(len(part))
        out += part
    out.append(0)
    return bytes(out)


def encode_gif(frames):
    size_bits = (GREYS - 1).bit_length()  # 16 entries: 4 bits
    out = bytearray(b"GIF89a")
    out += struct.pack("<HHBBB", BUSY_SIZE, BUSY_SIZE, 0x80 | 0x70 | (size_bits - 1), 0, 0)
    for k in range(GREYS):
        g = 255 - 17 * k
        out += bytes((g, g, g))
    # Loop forever.
    out += b"\x21\xff\x0bNETSCAPE2.0\x03\x01" + struct.pack("<H", 0) + b"\0"
    for indices in frames:
        # Disposal 1: leave the frame in place; each frame covers the whole screen anyway.
        out += b"\x21\xf9\x04" + struct.pack("<BHB", 1 << 2, BUSY_DELAY, 0) + b"\0"
        out += b"\x2c" + struct.pack("<HHHHB", 0, 0, BUSY_SIZE, BUSY_SIZE, 0)
        min_code_size = max(2, size_bits)
        out.append(min_code_size)
        out += gif_sub_blocks(lzw_encode(indices, min_code_size))
    out += b"\x3b"
    return bytes(out)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "resources")
    os.makedirs(out_dir, exist_ok=True)
    files = {
        "logo.png": encode_png(render_logo()),
        "busy.gif": encode_gif([render_busy_frame(f) for f in range(BUSY_FRAMES)]),
    }
    for name, data in files.items():
        path = os.path.join(out_dir, name)
        with open(path, "wb") as f:
            f.write(data)
        print(f"{os.path.normpath(path)}: {len(data)} bytes")


if __name__ == "__main__":
    main()
