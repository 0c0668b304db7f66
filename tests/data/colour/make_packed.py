#!/usr/bin/env python3
"""Writes packed1.png and packed4.png: 10 x 2 palette PNGs of 1 and 4 bits
per pixel (palette 0 blue, 1 red, 2 green), built from the PNG
specification with Python's zlib. PNG packs the leftmost pixel into the
high bits, so the rows below hold these palette indices:
  packed1: 1 0 0 0 0 0 0 0 0 1 / 0 0 0 0 0 0 0 1 0 0
  packed4: 1 2 0 0 0 0 0 0 0 1 / 2 0 0 0 0 0 0 0 1 0
Run from anywhere: python3 tests/data/colour/make_packed.py
"""
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def png(depth, rows):
    ihdr = struct.pack(">IIBBBBB", 10, 2, depth, 3, 0, 0, 0)
    plte = bytes([0, 0, 255, 255, 0, 0, 0, 255, 0])
    raw = b"".join(b"\0" + r for r in rows)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"PLTE", plte)
            + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


files = {
    "packed1.png": png(1, [bytes([0x80, 0x40]), bytes([0x01, 0x00])]),
    "packed4.png": png(4, [bytes([0x12, 0, 0, 0, 0x01]), bytes([0x20, 0, 0, 0, 0x10])]),
}
for name, data in files.items():
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data)
