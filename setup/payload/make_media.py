#!/usr/bin/env python3
"""Draws the payload's binary files: BMP pictures, Radiance HDR environment maps and
3ds Max scene files that carry a release marker.

    make_media.py --list     prints the relative paths it writes, one a line
    make_media.py OUTDIR     writes them below OUTDIR
"""
import math
import os
import struct
import sys


def bmp(width, height, colour_of, bits=24):
    """A bottom-up BMP. colour_of(x, y) gives (r, g, b) for 24 bits, a palette index
    for 8 bits (the palette is then colour_of.palette)."""
    rows = []
    for y in reversed(range(height)):
        if bits == 24:
            row = b"".join(bytes((b, g, r)) for r, g, b in (colour_of(x, y) for x in range(width)))
        else:
            row = bytes(colour_of(x, y) for x in range(width))
        rows.append(row + bytes((-len(row)) % 4))
    data = b"".join(rows)
    palette = b""
    if bits == 8:
        palette = b"".join(bytes((b, g, r, 0)) for r, g, b in colour_of.palette)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, len(data), 2835, 2835,
                       len(palette) // 4, 0)
    offset = 14 + len(info) + len(palette)
    return b"BM" + struct.pack("<IHHI", offset + len(data), 0, 0, offset) + info + palette + data


def gradient(top, bottom, height):
    def colour(x, y):
        t = y / max(height - 1, 1)
        return tuple(round(a + (b - a) * t) for a, b in zip(top, bottom))
    return colour


def checker(size, light, dark):
    return lambda x, y: light if (x // size + y // size) % 2 == 0 else dark


def splash(width, height):
    def colour(x, y):
        u, v = x / width, y / height
        ring = (math.sin(u * 9.0) + math.cos(v * 7.0)) * 0.5
        return (round(20 + 30 * u), round(60 + 50 * v + 30 * ring), round(120 + 100 * u * v))
    return colour


def toolbar_icons(count, size):
    """A strip of button pictures in a 16-colour palette, magenta as the mask colour."""
    def colour(x, y):
        button, bx = divmod(x, size)
        cx, cy = bx - size / 2 + 0.5, y - size / 2 + 0.5
        if cx * cx + cy * cy > (size / 2 - 2) ** 2:
            return 1  # mask
        return 2 + button % 14
    colour.palette = [(0, 0, 0), (255, 0, 255)] + [
        (round(127 + 120 * math.cos(i)), round(127 + 120 * math.cos(i + 2.1)),
         round(127 + 120 * math.cos(i + 4.2))) for i in range(14)]
    return colour


def rgbe(r, g, b):
    top = max(r, g, b)
    if top < 1e-32:
        return bytes(4)
    mantissa, exponent = math.frexp(top)
    scale = mantissa * 256.0 / top
    return bytes((int(r * scale), int(g * scale), int(b * scale), exponent + 128))


def hdr(width, height, radiance_of):
    """A Radiance picture, flat (not run-length encoded) scanlines, top row first."""
    head = (b"#?RADIANCE\n# Environment map of the Tarvo sample presets\n"
            b"FORMAT=32-bit_rle_rgbe\nEXPOSURE=1.000000\n\n"
            + f"-Y {height} +X {width}\n".encode("ascii"))
    rows = []
    for y in range(height):
        row = b"".join(rgbe(*radiance_of(x / width, y / height)) for x in range(width))
        # A scanline that opened with 2, 2 and a small third byte would read as run-length encoded.
        assert not (row[0] == 2 and row[1] == 2 and row[2] < 128)
        rows.append(row)
    return head + b"".join(rows)


def studio_light(u, v):
    spot = math.exp(-((u - 0.5) ** 2 + (v - 0.3) ** 2) * 40) * 30.0
    return (0.6 + spot, 0.55 + spot, 0.5 + spot * 0.9)


def sky_light(u, v):
    if v > 0.5:
        return (0.25, 0.2, 0.15)  # ground
    sun = math.exp(-((u - 0.7) ** 2 + (v - 0.15) ** 2) * 200) * 500.0
    return (0.3 + v + sun, 0.5 + v + sun, 1.2 + sun * 0.8)


MARKER = bytes((0x42, 0x30, 0x60, 0x11, 0x00, 0x00, 0x00, 0x00))


def filler(length, seed):
    out = bytearray()
    state = seed
    while len(out) < length:
        state = (state * 1103515245 + 12345) & 0x7FFFFFFF
        out.append(state >> 16 & 0xFF)
    return bytes(out)


def max_scene(release, before, after, seed):
    """Bytes of a scene file: filler, then the marker, 2 bytes and the release number."""
    head = filler(before, seed)
    tail = filler(after, seed + 1)
    assert MARKER not in head
    return head + MARKER + b"\x02\x00" + struct.pack("<H", release) + tail


MEDIA = {
    "config/bg_light.bmp": lambda: bmp(128, 96, gradient((235, 240, 248), (190, 200, 220), 96)),
    "config/bg_dark.bmp": lambda: bmp(128, 96, gradient((60, 64, 72), (20, 22, 26), 96)),
    "config/nothumb.bmp": lambda: bmp(96, 72, checker(8, (230, 230, 230), (200, 200, 200))),
    "config/studio.hdr": lambda: hdr(32, 16, studio_light),
    "config/sky.hdr": lambda: hdr(64, 32, sky_light),
    # Marker positions vary, one of them across a 4 KiB boundary.
    "config/light_studio.max": lambda: max_scene(12000, 1500, 3000, 1),
    "config/light_sky.max": lambda: max_scene(11000, 4090, 2000, 2),
    "config/camera.max": lambda: max_scene(14000, 70000, 500, 3),
    "images/splash.bmp": lambda: bmp(240, 160, splash(240, 160)),
    "images/about.bmp": lambda: bmp(101, 61, gradient((250, 250, 255), (150, 170, 210), 61)),
    "images/toolbar.bmp": lambda: bmp(16 * 12, 16, toolbar_icons(12, 16), bits=8),
}


def main(argv):
    if argv == ["--list"]:
        print("\n".join(MEDIA))
        return 0
    if len(argv) != 1:
        print(__doc__, file=sys.stderr)
        return 2
    for relative, make in MEDIA.items():
        path = os.path.join(argv[0], relative)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(make())
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
