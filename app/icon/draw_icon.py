#!/usr/bin/env python3
"""Draws the Ethernet Scout icon and writes app/scout.ico with its thirteen
images: 16, 24, 32 and 48 pixels at 16 colours, 256 colours and 32-bit colour,
and one 256 x 256 PNG. The picture: a blue controller box with three status
lights and a network plug, under a magnifying glass (a scout's search).
Run it again after changing the drawing:  python3 app/icon/draw_icon.py
"""

import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(os.path.dirname(HERE), "scout.ico")


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(4))


def over(dst, src):
    a = src[3] / 255.0
    out_a = a + dst[3] / 255.0 * (1 - a)
    if out_a == 0:
        return (0, 0, 0, 0)
    rgb = [(src[i] * a + dst[i] * dst[3] / 255.0 * (1 - a)) / out_a for i in range(3)]
    return (rgb[0], rgb[1], rgb[2], out_a * 255)


def rounded_box(x, y, x0, y0, x1, y1, r):
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    return math.hypot(x - cx, y - cy) <= r


def shade(x, y):
    """The colour at (x, y) in a unit square, as RGBA 0-255."""
    c = (0, 0, 0, 0)
    # Controller box with a darker rim.
    if rounded_box(x, y, 0.06, 0.22, 0.78, 0.80, 0.08):
        c = over(c, (20, 60, 130, 255))
    if rounded_box(x, y, 0.10, 0.26, 0.74, 0.76, 0.05):
        c = over(c, mix((60, 130, 220, 255), (30, 90, 180, 255), (y - 0.26) / 0.5))
    # Network plug below the box.
    if 0.32 <= x <= 0.52 and 0.80 <= y <= 0.94:
        c = over(c, (230, 230, 230, 255))
    if 0.36 <= x <= 0.48 and 0.84 <= y <= 0.94:
        c = over(c, (120, 120, 120, 255))
    # Three status lights.
    for i, light in enumerate(((80, 230, 90), (250, 210, 40), (80, 230, 90))):
        if math.hypot(x - (0.22 + 0.14 * i), y - 0.38) <= 0.045:
            c = over(c, light + (255,))
    # Magnifying glass: ring, lens and handle.
    d = math.hypot(x - 0.64, y - 0.50)
    if d <= 0.19:
        c = over(c, (200, 235, 255, 110))
    if 0.19 <= d <= 0.25:
        c = over(c, (40, 40, 45, 255))
    hx, hy = x - 0.82, y - 0.68
    along = (hx + hy) / math.sqrt(2)
    across = (hx - hy) / math.sqrt(2)
    if 0.0 <= along <= 0.24 and abs(across) <= 0.05:
        c = over(c, (60, 40, 25, 255))
    return c


def render(size, samples=4):
    pixels = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(samples):
                for sx in range(samples):
                    r, g, b, a = shade((px + (sx + 0.5) / samples) / size, (py + (sy + 0.5) / samples) / size)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            n = samples * samples
            alpha = acc[3] / n
            if acc[3] > 0:
                row.append((acc[0] / acc[3], acc[1] / acc[3], acc[2] / acc[3], alpha))
            else:
                row.append((0, 0, 0, 0))
        pixels.append(row)
    return pixels


VGA16 = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
         (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255), (255, 0, 255),
         (0, 255, 255), (255, 255, 255)]


def palette256():
    colours = [(r * 51, g * 51, b * 51) for r in range(6) for g in range(6) for b in range(6)]
    colours += [(i * 255 // 39, i * 255 // 39, i * 255 // 39) for i in range(40)]
    return colours[:256]


def nearest(palette, rgb):
    return min(range(len(palette)), key=lambda i: sum((palette[i][k] - rgb[k]) ** 2 for k in range(3)))


def bmp_image(pixels, bits):
    """An icon image in BMP form: header, palette, colour bitmap (bottom-up), AND mask."""
    size = len(pixels)
    palette = {4: VGA16, 8: palette256()}.get(bits)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0, 0, 0, 0,
                         len(palette) if palette else 0, 0)
    body = b""
    if palette:
        body += b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette)
    row_bytes = ((size * bits + 31) // 32) * 4
    colour = b""
    for row in reversed(pixels):
        if bits == 32:
            line = b"".join(struct.pack("<BBBB", int(b), int(g), int(r), int(a)) for (r, g, b, a) in row)
        else:
            indices = [nearest(palette, p[:3]) if p[3] >= 128 else 0 for p in row]
            if bits == 8:
                line = bytes(indices)
            else:
                line = bytes((indices[i] << 4) | (indices[i + 1] if i + 1 < size else 0) for i in range(0, size, 2))
        colour += line + b"\0" * (row_bytes - len(line))
    mask_row = ((size + 31) // 32) * 4
    mask = b""
    for row in reversed(pixels):
        bits_line = 0
        for i, p in enumerate(row):
            if p[3] < 128:
                bits_line |= 1 << (mask_row * 8 - 1 - i)
        mask += bits_line.to_bytes(mask_row, "big")
    return header + body + colour + mask


def png_image(pixels):
    size = len(pixels)
    raw = b"".join(b"\0" + b"".join(struct.pack("BBBB", int(r), int(g), int(b), int(a)) for (r, g, b, a) in row)
                   for row in pixels)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def main():
    images = []
    for bits in (4, 8, 32):
        for size in (16, 24, 32, 48):
            images.append((size, bits, bmp_image(render(size), bits)))
    images.append((256, 32, png_image(render(256, samples=2))))
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b""
    data = b""
    for size, bits, blob in images:
        colours = {4: 16, 8: 0}.get(bits, 0)
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, colours, 0, 1, bits, len(blob), offset + len(data))
        data += blob
    with open(OUT, "wb") as f:
        f.write(directory + entries + data)
    print("wrote %s with %d images" % (OUT, len(images)))


if __name__ == "__main__":
    main()
