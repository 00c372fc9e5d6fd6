#!/usr/bin/env python3
"""Draws the programs' picture, a shaded cube: as a .ico with 256-colour images of 48 and
32 pixels and 32-bit images of 128, 48 and 32 pixels, or, for a .bmp target, as the
setup program's 72-pixel logo on white."""
import struct
import sys

TOP, LEFT, RIGHT = (0x3C, 0xB4, 0xE6), (0x1E, 0x78, 0xB4), (0x0F, 0x46, 0x78)


def pixel(x, y, size):
    """Colour of a pixel (RGB) or None where the icon is transparent."""
    u = (x + 0.5) / size * 2 - 1  # -1..1, left to right
    v = (y + 0.5) / size * 2 - 1  # -1..1, top to bottom
    w = 0.86
    if abs(u) > w:
        return None
    edge = abs(u) * 0.5
    if -0.5 - 0.5 + edge <= v < -0.5 + 0.5 - edge and v < 0.0 - edge + 0.0:
        return TOP
    if v >= -edge and v <= 0.95 - edge:
        return LEFT if u < 0 else RIGHT
    return None


def mask_rows(size, image):
    row_bytes = ((size + 31) // 32) * 4
    out = b""
    for y in reversed(range(size)):
        bits = bytearray(row_bytes)
        for x in range(size):
            if image[y][x] is None:
                bits[x // 8] |= 0x80 >> (x % 8)
        out += bytes(bits)
    return out


def entry_32(size):
    image = [[pixel(x, y, size) for x in range(size)] for y in range(size)]
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    data = b""
    for y in reversed(range(size)):
        for x in range(size):
            c = image[y][x]
            data += bytes((0, 0, 0, 0)) if c is None else bytes((c[2], c[1], c[0], 255))
    return header + data + mask_rows(size, image)


def entry_8(size):
    image = [[pixel(x, y, size) for x in range(size)] for y in range(size)]
    palette = [(0, 0, 0), TOP, LEFT, RIGHT] + [(0, 0, 0)] * 252
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 8, 0, 0, 0, 0, 256, 0)
    pal = b"".join(bytes((b, g, r, 0)) for (r, g, b) in palette)
    data = b""
    for y in reversed(range(size)):
        row = bytes(0 if c is None else palette.index(c) for c in image[y])
        data += row + bytes((-len(row)) % 4)
    return header + pal + data + mask_rows(size, image)


def logo_bmp(size):
    row_pad = (-size * 3) % 4
    data = b""
    for y in reversed(range(size)):
        for x in range(size):
            c = pixel(x, y, size) or (255, 255, 255)
            data += bytes((c[2], c[1], c[0]))
        data += bytes(row_pad)
    info = struct.pack("<IiiHHIIiiII", 40, size, size, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    return b"BM" + struct.pack("<IHHI", 14 + len(info) + len(data), 0, 0, 14 + len(info)) + info + data


def main(path):
    if path.endswith(".bmp"):
        with open(path, "wb") as f:
            f.write(logo_bmp(72))
        return
    images = [(48, 256, 8, entry_8(48)), (32, 256, 8, entry_8(32)),
              (128, 0, 32, entry_32(128)), (48, 0, 32, entry_32(48)), (32, 0, 32, entry_32(32))]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, colours, bits, blob in images:
        out += struct.pack("<BBBBHHII", size % 256, size % 256, colours % 256, 0, 1, bits,
                           len(blob), offset)
        offset += len(blob)
    out += b"".join(blob for *_, blob in images)
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main(sys.argv[1])
