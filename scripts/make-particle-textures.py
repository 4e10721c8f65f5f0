#!/usr/bin/env python3
"""Writes the particle view's texture bitmaps into data/DezOzevev/.

All six pictures are drawn here (no outside images). The three ball
textures are stored with their pixel bytes XORed with the program's
ball-texture key (key table 3 of XorDescramble in engine/base/Utils.cpp); the
headers stay plain, so the files are still well-formed bitmaps.
"""
import math
import os
import random
import struct
import sys

KEY3 = bytes([
    0x5A, 0xC3, 0x17, 0x8E, 0x2B, 0xF0, 0x64, 0x9D, 0x31, 0xA7, 0x4C, 0xE9, 0x06, 0x7B, 0xD2, 0x58,
    0xB4, 0x1F, 0x83, 0x6E, 0xC9, 0x25, 0x9A, 0x47, 0xE1, 0x3C, 0x70, 0xAD, 0x12, 0xF6, 0x89, 0x5E,
])
SIZE = 64


def bmp24(pixels, w, h):
    """pixels[y][x] = (r, g, b), y = 0 the bottom row."""
    stride = (w * 3 + 3) // 4 * 4
    data = bytearray()
    for y in range(h):
        row = bytearray()
        for r, g, b in pixels[y]:
            row += bytes((b, g, r))
        row += b"\0" * (stride - len(row))
        data += row
    header = b"BM" + struct.pack("<IHHI", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    return header + info + bytes(data)


def scramble(bmp):
    offset = struct.unpack_from("<I", bmp, 10)[0]
    pixels = bytes(b ^ KEY3[i % len(KEY3)] for i, b in enumerate(bmp[offset:]))
    return bmp[:offset] + pixels


def clamp(v):
    return max(0, min(255, int(v)))


def ball(base, band):
    # s runs around the sphere, t from pole to pole: a band round the
    # equator and two spots make the spin visible.
    px = []
    for y in range(SIZE):
        row = []
        for x in range(SIZE):
            t = y / (SIZE - 1)
            s = x / SIZE
            shade = 0.75 + 0.25 * math.sin(math.pi * t)
            c = base
            if abs(t - 0.5) < 0.07:
                c = band
            for sx in (0.25, 0.75):
                if (s - sx) ** 2 * 4 + (t - 0.3) ** 2 < 0.008:
                    c = band
            row.append(tuple(clamp(k * shade) for k in c))
        px.append(row)
    return px


def back():
    return [[(clamp(70 + 120 * y / SIZE), clamp(110 + 100 * y / SIZE), 220) for x in range(SIZE)]
            for y in range(SIZE)]


def grass(rng):
    return [[(clamp(40 + rng.randint(0, 30)), clamp(120 + rng.randint(0, 60)), clamp(30 + rng.randint(0, 25)))
             for x in range(SIZE)] for y in range(SIZE)]


def brick():
    px = []
    for y in range(SIZE):
        row = []
        for x in range(SIZE):
            course = y // 16
            shift = 16 if course % 2 else 0
            mortar = y % 16 < 2 or (x + shift) % 32 < 2
            row.append((200, 200, 190) if mortar else (160 + (x * 7 + y * 3) % 20, 60, 45))
        px.append(row)
    return px


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    folder = os.path.join(root, "data", "DezOzevev")
    if len(sys.argv) > 1:
        folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    rng = random.Random(1241)
    files = {
        "Back.bmp": (back(), False),
        "Grass.bmp": (grass(rng), False),
        "Brick.bmp": (brick(), False),
        "RedBall.bmp": (ball((220, 40, 35), (255, 230, 120)), True),
        "BlkBall.bmp": (ball((60, 60, 70), (230, 230, 230)), True),
        "GrnBall.bmp": (ball((40, 180, 70), (250, 250, 255)), True),
    }
    for name, (px, scrambled) in files.items():
        data = bmp24(px, SIZE, SIZE)
        if scrambled:
            data = scramble(data)
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
