#!/usr/bin/env python3
"""Writes the generated files of tests/data/colour/.

Colour files that break the reader's limits:
  300.clr     300 lines "nN #010203": more than the 256 table entries
  256.clr     256 lines "nN 0 0 0": a full table
  bignum.clr  entry numbers past the table (300), negative (-3), and 255
  bignum2.clr only "255 last"
  huge.clr    an entry number too large for any integer, then "after"
  long.clr    a 400-character name (cut at 19), then "after 0 0 1"
  garbage.clr 20000 bytes of a linear congruential sequence
  long.enh    an enhancement file of a name, 299 entries and a 10000-character
              word: more than the 256 words read

packed1.png and packed4.png: 10 x 2 palette PNGs of 1 and 4 bits
per pixel (palette 0 blue, 1 red, 2 green), built from the PNG
format document with Python's zlib. PNG packs the leftmost pixel into the
high bits, so the rows below hold these palette indices:
  packed1: 1 0 0 0 0 0 0 0 0 1 / 0 0 0 0 0 0 0 1 0 0
  packed4: 1 2 0 0 0 0 0 0 0 1 / 2 0 0 0 0 0 0 0 1 0
Run from anywhere: python3 tests/data/colour/make_colour.py
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


seed, garbage = 12345, bytearray()
for _ in range(20000):
    seed = (seed * 1103515245 + 12345) & 0xFFFFFFFF
    garbage.append((seed >> 16) & 0xFF)

files = {
    "300.clr": b"".join(b"n%d #010203\n" % i for i in range(300)),
    "256.clr": b"".join(b"n%d 0 0 0\n" % i for i in range(256)),
    "bignum.clr": b"300 big 1 1 1\n-3 neg 1 1 1\n255 last 1 1 1\n",
    "bignum2.clr": b"255 last 1 1 1\n",
    "huge.clr": b"99999999999999999999 big 1 1 1\nafter 0 0 1\n",
    "long.clr": b"q" * 400 + b" 1 0 0\nafter 0 0 1\n",
    "garbage.clr": bytes(garbage),
    "long.enh": b"@long\n" + b"".join(b"%d:white\n" % i for i in range(299)) + b"x" * 10000 + b"\n",
    "packed1.png": png(1, [bytes([0x80, 0x40]), bytes([0x01, 0x00])]),
    "packed4.png": png(4, [bytes([0x12, 0, 0, 0, 0x01]), bytes([0x20, 0, 0, 0, 0x10])]),
}
for name, data in files.items():
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data)
