#!/usr/bin/env python3
"""Writes the small synthetic AREA files of tests/data/area/, read by
tests/test_sat_read.cpp, which lists the pixels each must give.

Layout (McIDAS AREA format): a 64-word directory (word 1 type 4, 3 date
YYYDDD, 4 time HHMMSS, 5/6 line and element of the corner, 8/9 lines and
elements, 10 bytes per element, 11/12 line and element resolution, 14 line
prefix bytes, 18 filter map, 33 data offset, 47 start scan; comment text at
byte 96, source and calibration type text at 204 and 208), a navigation block
(type text, then words 1000*i + 7; a 512-byte block ends in a 32-byte memo
text), then the pixels. Sync-framed files: an 8-byte marker 00 FF 00 FF...,
the big-endian directory, a marker, the navigation block, then one record per
line: marker, 4-byte line number, prefix bytes, 2-byte depth code, 2-byte
count of coded bytes, nibbles two per byte (an odd count padded with 0xF).
Run from anywhere: python3 tests/data/area/make_area.py
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
MARKER = bytes([0x00, 0xFF] * 4)
PLAIN = bytes([1, 2, 3, 4, 10, 20, 30, 40, 200, 201, 202, 203])


def area(order="<", lsiz=3, esiz=4, zsiz=1, prefix=0, navkey=0, nav=b"GOES", nav_bytes=512, data=PLAIN):
    nb = nav_bytes if nav else 0
    words = [0] * 64
    for w, v in {1: 4, 2: 70, 3: 124065, 4: 134500, 5: 1001, 6: 2001, 8: lsiz, 9: esiz, 10: zsiz, 11: 2,
                 12: 4, 14: prefix, 18: 0x2A, 33: navkey or 256 + nb, 47: 300}.items():
        words[w] = v
    head = bytearray(struct.pack(order + "64I", *words))
    head[96:128] = b"SYNTHETIC TEST AREA".ljust(32)
    head[204:212] = b"VISRBRIT"
    block = b""
    if nb:
        n = nb // 4 - 1
        block = bytearray(nav.ljust(4) + struct.pack(order + "%dI" % n, *[1000 * i + 7 for i in range(1, n + 1)]))
        if nb == 512:
            block[480:489] = b"MEMO TEXT"
    out = bytes(head) + bytes(block)
    return out + bytes(max(0, navkey - len(out))) + data


def record(num, depth, nibbles, prefix=0):
    if len(nibbles) % 2:
        nibbles = nibbles + [15]
    coded = bytes((nibbles[k] << 4) | nibbles[k + 1] for k in range(0, len(nibbles), 2))
    return MARKER + struct.pack(">I", num) + b"\xee" * prefix + struct.pack(">HH", depth, len(coded)) + coded


def sync(lines, elems, records, prefix=0):
    plain = area(">", lines, elems, prefix=prefix, navkey=256 + 8 + 512, data=b"")
    return MARKER + plain[:256] + MARKER + plain[256:256 + 512] + b"".join(records)


RAMP = [record(n, 8, [0, 1, n]) for n in range(6)]  # lines 0-5: 0x10..0x15

FILES = {
    "goes_le.area": area("<"),
    "goes_be.area": area(">"),
    "nav_gvar.area": area(">", nav=b"GVAR", nav_bytes=2560),
    "nav_ps.area": area(">", nav=b"PS"),
    "nav_msat.area": area(">", nav=b"MSAT"),
    "nav_tanc.area": area(">", nav=b"TANC"),
    "nav_merc.area": area(">", nav=b"MERC"),
    "nav_unknown.area": area(">", nav=b"XXXX"),
    "two_byte.area": area(lsiz=1, esiz=2, zsiz=2, data=bytes([0x12, 0x34, 0xAB, 0xCD])),
    "prefix.area": area(lsiz=2, esiz=3, prefix=2, data=bytes([9, 9, 0x11, 0x22, 0x33, 9, 9, 0x44, 0x55, 0x66])),
    "far_data.area": area(navkey=25000),  # past the reader's first 20000-byte fill
    "sync_codes.area": sync(1, 5, [record(0, 8, [0, 6, 4, 12, 15])]),
    "sync_steps.area": sync(2, 7, [record(0, 8, [0, 3, 15, 1, 2, 3, 4, 14]), record(1, 6, [0, 3, 15, 13])]),
    "sync_gap.area": sync(12, 1, RAMP + [record(9, 8, [0, 9, 9])]),
    "sync_jump.area": sync(30, 1, RAMP + [record(17, 8, [0, 7, 7])]),
    # a record whose number field starts 0x80, then the real line
    "sync_second_marker.area": sync(2, 1, [record(0, 8, [0, 2, 2]), MARKER + bytes([0x80, 0x11, 0x22, 0x33]),
                                           record(1, 8, [0, 3, 3])]),
    "sync_prefix.area": sync(1, 2, [record(0, 8, [0, 4, 1, 12], prefix=3)], prefix=3),
    # every step code from 0x80; wrapping and repeats past the line's end;
    # a line whose byte count (1) ends it after the nibbles 0, 4, 2
    "sync_every_code.area": sync(3, 14, [record(0, 8, [0, 8, 0] + list(range(1, 14))),
                                         record(1, 8, [0, 0, 2, 1, 0, 15, 13, 2, 15, 15, 15]),
                                         MARKER + bytes([0, 0, 0, 2, 0, 8, 0, 1, 0x04, 0x2F])]),
}

for name, data in FILES.items():
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data)
