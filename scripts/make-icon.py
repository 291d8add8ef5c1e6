#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Draws the Varnoket icon, a black and a white Go stone, from one design.

Writes, under res/icon/:
  varnoket.svg      the design as a scalable picture (for the Linux front end)
  varnoket-256.png  256x256, true colour with alpha
  varnoket.ico      the Windows icon group: 32x32 and 16x16, 16 colours each

The design below is the source; every file is drawn from it, so they cannot
drift apart. Only the standard library is used. Run it again after changing
the design and commit its output.
"""

import math
import os
import struct
import sys
import zlib

# The design, in units of a 256x256 canvas.
CANVAS = 256.0
BLACK = {"cx": 92.0, "cy": 92.0, "r": 82.0}
WHITE = {"cx": 164.0, "cy": 164.0, "r": 82.0}
OUTLINE = 5.0  # the white stone's rim, so it shows on a white background
# Where the light comes from, as a fraction of the radius from the centre.
HIGHLIGHT = (-0.38, -0.42)

# Colours as (red, green, blue).
BLACK_LIGHT = (92, 92, 92)
BLACK_DARK = (8, 8, 8)
WHITE_LIGHT = (255, 255, 255)
WHITE_DARK = (196, 196, 190)
RIM = (96, 96, 96)

# The 16 colours of the classic Windows palette, in palette order.
PALETTE16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
# The greys a stone is drawn with in 16 colours.
GREYS16 = [0, 8, 7, 15]


def mix(a, b, t):
    t = min(max(t, 0.0), 1.0)
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def stone_shade(stone, x, y, light, dark):
    """The colour of a stone at canvas point (x, y): a radial gradient from
    the highlight to the far edge."""
    hx = stone["cx"] + HIGHLIGHT[0] * stone["r"]
    hy = stone["cy"] + HIGHLIGHT[1] * stone["r"]
    # The far edge is 1 + |highlight offset| radii away from the highlight.
    reach = stone["r"] * (1.0 + math.hypot(*HIGHLIGHT))
    t = math.hypot(x - hx, y - hy) / reach
    if isinstance(light, float):
        return min(max(t, 0.0), 1.0)
    return mix(light, dark, t)


def flat_shade(stone, x, y, light, dark, band):
    """The 16-colour form of stone_shade: "light" near the highlight, "dark"
    in the far part, the gradient cut at fraction "band" of its length."""
    return dark if stone_shade(stone, x, y, 0.0, 1.0) >= band else light


def sample(x, y, rim_width, flat):
    """The colour and opacity of the design at canvas point (x, y)."""
    w = WHITE
    dw = math.hypot(x - w["cx"], y - w["cy"])
    if dw <= w["r"]:
        if dw >= w["r"] - rim_width:
            return RIM, 1.0
        if flat:
            return flat_shade(w, x, y, PALETTE16[15], PALETTE16[7], 0.62), 1.0
        return stone_shade(w, x, y, WHITE_LIGHT, WHITE_DARK), 1.0
    b = BLACK
    if math.hypot(x - b["cx"], y - b["cy"]) <= b["r"]:
        if flat:
            return flat_shade(b, x, y, PALETTE16[8], PALETTE16[0], 0.14), 1.0
        return stone_shade(b, x, y, BLACK_LIGHT, BLACK_DARK), 1.0
    return (0, 0, 0), 0.0


def render(size, rim_pixels=None, samples=4, flat=False):
    """Rows of (r, g, b, a) floats for a size x size picture, each pixel the
    average of samples x samples points. "flat" draws with the few greys of
    the 16-colour palette instead of gradients."""
    scale = CANVAS / size
    rim_width = OUTLINE if rim_pixels is None else max(OUTLINE, rim_pixels * scale)
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            r = g = b = a = 0.0
            for sy in range(samples):
                for sx in range(samples):
                    x = (px + (sx + 0.5) / samples) * scale
                    y = (py + (sy + 0.5) / samples) * scale
                    colour, alpha = sample(x, y, rim_width, flat)
                    r += colour[0] * alpha
                    g += colour[1] * alpha
                    b += colour[2] * alpha
                    a += alpha
            n = samples * samples
            if a > 0:
                row.append((r / a, g / a, b / a, a / n))
            else:
                row.append((0.0, 0.0, 0.0, 0.0))
        rows.append(row)
    return rows


def png_bytes(rows):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    size = len(rows)
    raw = bytearray()
    for row in rows:
        raw.append(0)  # no filter
        for r, g, b, a in row:
            raw += bytes(round(min(max(v, 0), 255)) for v in (r, g, b, a * 255))
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def nearest_grey(colour):
    return min(GREYS16, key=lambda i: sum((colour[k] - PALETTE16[i][k]) ** 2 for k in range(3)))


def icon_image(size):
    """One 16-colour image of an icon resource: BITMAPINFOHEADER (height
    doubled for the mask), palette, 4-bit colour rows and the 1-bit
    transparency mask, both bottom-up with rows padded to 4 bytes."""
    rows = render(size, rim_pixels=1.0, samples=6, flat=True)
    colour_stride = (size * 4 + 31) // 32 * 4
    mask_stride = (size + 31) // 32 * 4
    colour_bits = bytearray()
    mask_bits = bytearray()
    for row in reversed(rows):
        line = bytearray(colour_stride)
        mask = bytearray(mask_stride)
        for x, (r, g, b, a) in enumerate(row):
            index = nearest_grey((r, g, b)) if a >= 0.5 else 0
            if a < 0.5:
                mask[x // 8] |= 0x80 >> (x % 8)
            line[x // 2] |= index << (4 if x % 2 == 0 else 0)
        colour_bits += line
        mask_bits += mask
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0,
                         len(colour_bits) + len(mask_bits), 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE16)
    return header + palette + bytes(colour_bits) + bytes(mask_bits)


def ico_bytes(sizes):
    images = [icon_image(size) for size in sizes]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, image in zip(sizes, images):
        out += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(image), offset)
        offset += len(image)
    for image in images:
        out += image
    return bytes(out)


def svg_text():
    def gradient(name, stone, light, dark):
        fx = 0.5 + HIGHLIGHT[0] / 2
        fy = 0.5 + HIGHLIGHT[1] / 2
        radius = (1.0 + math.hypot(*HIGHLIGHT)) / 2
        hexes = ["#%02x%02x%02x" % c for c in (light, dark)]
        return (f'    <radialGradient id="{name}" cx="{fx:.3f}" cy="{fy:.3f}" r="{radius:.3f}">\n'
                f'      <stop offset="0" stop-color="{hexes[0]}"/>\n'
                f'      <stop offset="1" stop-color="{hexes[1]}"/>\n'
                f'    </radialGradient>\n')

    rim = "#%02x%02x%02x" % RIM
    b, w = BLACK, WHITE
    return (
        '<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 256 256">\n'
        '  <title>Varnoket</title>\n'
        '  <defs>\n'
        + gradient("black", b, BLACK_LIGHT, BLACK_DARK)
        + gradient("white", w, WHITE_LIGHT, WHITE_DARK) +
        '  </defs>\n'
        f'  <circle cx="{b["cx"]:g}" cy="{b["cy"]:g}" r="{b["r"]:g}" fill="url(#black)"/>\n'
        f'  <circle cx="{w["cx"]:g}" cy="{w["cy"]:g}" r="{w["r"] - OUTLINE / 2:g}" fill="url(#white)"'
        f' stroke="{rim}" stroke-width="{OUTLINE:g}"/>\n'
        '</svg>\n')


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    out = os.path.join(root, "res", "icon")
    if len(sys.argv) > 1:
        out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    with open(os.path.join(out, "varnoket.svg"), "w", encoding="utf-8", newline="\n") as f:
        f.write(svg_text())
    with open(os.path.join(out, "varnoket-256.png"), "wb") as f:
        f.write(png_bytes(render(256, samples=3)))
    with open(os.path.join(out, "varnoket.ico"), "wb") as f:
        f.write(ico_bytes([32, 16]))
    print("wrote varnoket.svg, varnoket-256.png and varnoket.ico to", out)


if __name__ == "__main__":
    main()
