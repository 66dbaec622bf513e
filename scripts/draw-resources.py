#!/usr/bin/env python3
"""Draws the toolbar bitmaps and the program icon of the windowed program.

Writes ui/bitmaps/scan.bmp and ui/bitmaps/settings.bmp (47x37, 8-bit with a
palette, on the grey that the loader turns into the button face colour) and
ui/icon.ico (16 and 32 pixels, 32-bit with alpha). The outputs are kept in
the repository, so the build needs neither this script nor any image tool.
"""
import math
import os
import struct
import sys

FACE = (192, 192, 192)  # replaced by the button face colour when loaded
# Greys that the loader would also replace with system colours.
MAPPED_GREYS = {(128, 128, 128), (223, 223, 223)}
SUPERSAMPLE = 4


def capsule(ax, ay, bx, by, radius):
    """Inside test of a thick line with round ends."""
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy

    def inside(x, y):
        t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / length2))
        px, py = ax + t * dx - x, ay + t * dy - y
        return px * px + py * py <= radius * radius

    return inside


def disc(cx, cy, radius):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius


def ring(cx, cy, inner, outer):
    return lambda x, y: inner * inner < (x - cx) ** 2 + (y - cy) ** 2 <= outer * outer


def render(width, height, layers):
    """layers: (colour, inside) from bottom to top, in pixel coordinates.
    Answers rows of (r, g, b, coverage)."""
    rows = []
    n = SUPERSAMPLE
    for py in range(height):
        row = []
        for px in range(width):
            samples = []
            for sy in range(n):
                for sx in range(n):
                    x, y = px + (sx + 0.5) / n, py + (sy + 0.5) / n
                    colour = None
                    for c, inside in layers:
                        if inside(x, y):
                            colour = c
                    if colour is not None:
                        samples.append(colour)
            coverage = len(samples) / (n * n)
            if samples:
                r, g, b = (round(sum(s[i] for s in samples) / len(samples)) for i in range(3))
            else:
                r, g, b = FACE
            row.append((r, g, b, coverage))
        rows.append(row)
    return rows


def toolbar_pixels(rows):
    """Hard outer edge: the face colour differs between systems, so nothing
    is blended with it; inside the shapes the colours are smoothed."""
    out = []
    for row in rows:
        line = []
        for r, g, b, coverage in row:
            if coverage < 0.5:
                line.append(FACE)
            else:
                c = (r & ~3, g & ~3, b & ~3)
                if c == FACE or c in MAPPED_GREYS:
                    c = (c[0] + 4, c[1] + 4, c[2] + 4)
                line.append(c)
        out.append(line)
    return out


def write_bmp8(path, pixels):
    height, width = len(pixels), len(pixels[0])
    palette = [FACE] + sorted({c for row in pixels for c in row} - {FACE})
    if len(palette) > 256:
        sys.exit(f"{path}: {len(palette)} colours do not fit a palette")
    index = {c: i for i, c in enumerate(palette)}
    stride = (width + 3) & ~3
    body = bytearray()
    for row in reversed(pixels):  # bottom-up
        body += bytes(index[c] for c in row) + bytes(stride - width)
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 0, len(body), 2835, 2835, len(palette), 0)
    offset = 14 + len(info) + len(table)
    header = struct.pack("<2sIHHI", b"BM", offset + len(body), 0, 0, offset)
    with open(path, "wb") as f:
        f.write(header + info + table + body)


def icon_image(size, layers_for):
    rows = render(size, size, layers_for(size))
    xor = bytearray()
    mask = bytearray()
    mask_stride = ((size + 31) // 32) * 4
    for row in reversed(rows):
        bits = 0
        line = bytearray(mask_stride)
        for x, (r, g, b, coverage) in enumerate(row):
            alpha = round(coverage * 255)
            xor += struct.pack("<BBBB", b, g, r, alpha)
            if alpha < 128:
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return info + bytes(xor) + bytes(mask)


def write_ico(path, sizes, layers_for):
    images = [icon_image(s, layers_for) for s in sizes]
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b""
    for size, data in zip(sizes, images):
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(path, "wb") as f:
        f.write(header + entries + b"".join(images))


def magnifier():
    cx, cy = 19.5, 15.5
    handle_dir = (math.sqrt(0.5), math.sqrt(0.5))
    start = (cx + handle_dir[0] * 10.5, cy + handle_dir[1] * 10.5)
    return [
        ((176, 212, 240), disc(cx, cy, 9.0)),                      # glass
        ((236, 246, 255), capsule(14.5, 13.0, 17.0, 10.5, 1.6)),   # glint
        ((36, 56, 108), ring(cx, cy, 8.0, 11.5)),                  # rim
        ((36, 56, 108), capsule(start[0], start[1], start[0] + 3, start[1] + 3, 2.6)),
        ((96, 58, 28), capsule(start[0] + 3.5, start[1] + 3.5, 39.0, 33.0, 3.4)),   # handle
        ((150, 98, 56), capsule(start[0] + 4.0, start[1] + 3.0, 38.5, 31.5, 1.1)),  # its shine
    ]


def gear():
    cx, cy = 23.5, 18.5
    teeth = 8

    def tooth(x, y):
        dx, dy = x - cx, y - cy
        r = math.hypot(dx, dy)
        if r > 16.5:
            return False
        step = 2 * math.pi / teeth
        a = math.atan2(dy, dx) + step / 2
        da = (a % step) - step / 2
        along, across = r * math.cos(da), abs(r * math.sin(da))
        return along <= 16.0 and across <= 3.4 - max(0.0, along - 11.0) * 0.3

    body = disc(cx, cy, 12.0)
    hole = disc(cx, cy, 4.6)
    return [
        ((64, 80, 108), lambda x, y: (tooth(x, y) or body(x, y)) and not hole(x, y)),
        ((120, 138, 168), lambda x, y: ring(cx, cy, 6.6, 9.2)(x, y)),
    ]


def shield(size):
    s = float(size)

    def inside(x, y, grow=0.0):
        u, v = x / s - 0.5, y / s
        half = 0.42 + grow
        if v < 0.04 - grow:
            return False
        if v <= 0.52:
            return abs(u) <= half
        depth = 0.45 + grow
        t = (v - 0.52) / depth
        return t <= 1.0 and abs(u) <= half * math.sqrt(max(0.0, 1 - t * t))

    check_width = 0.075 if size >= 32 else 0.1
    check = [
        capsule(0.28 * s, 0.50 * s, 0.44 * s, 0.67 * s, check_width * s),
        capsule(0.44 * s, 0.67 * s, 0.73 * s, 0.31 * s, check_width * s),
    ]
    rim = 0.06 if size >= 32 else 0.08
    return [
        ((22, 52, 112), lambda x, y: inside(x, y)),
        ((46, 104, 190), lambda x, y: inside(x, y, -rim)),
        ((255, 255, 255), lambda x, y: check[0](x, y) or check[1](x, y)),
    ]


def main():
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "ui")
    os.makedirs(os.path.join(root, "bitmaps"), exist_ok=True)
    write_bmp8(os.path.join(root, "bitmaps", "scan.bmp"), toolbar_pixels(render(47, 37, magnifier())))
    write_bmp8(os.path.join(root, "bitmaps", "settings.bmp"), toolbar_pixels(render(47, 37, gear())))
    write_ico(os.path.join(root, "icon.ico"), [16, 32], shield)


if __name__ == "__main__":
    main()
