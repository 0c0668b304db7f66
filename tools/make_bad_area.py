#!/usr/bin/env python3
"""Writes the malformed AREA files of tests/data/bad/.

Each file is a small little-endian AREA file (64-word directory, 512-byte
"GOES" navigation block, pixels) broken in one way, named for what it
breaks. Run from the repository root: python3 tools/make_bad_area.py
"""
import os
import struct
import sys


def area(lsiz=4, esiz=4, navkey=None, nav=True, data=None, dir_only=False):
    words = [0] * 64
    words[1] = 4            # AREA type word, little-endian here
    words[2] = 70
    words[3] = 124065       # 2024 day 65
    words[4] = 120000
    words[8] = lsiz
    words[9] = esiz
    words[10] = 1           # bytes per element
    words[11] = 1
    words[12] = 1
    nb = 512 if nav else 0
    words[33] = 256 + nb if navkey is None else navkey
    head = bytearray(struct.pack("<64I", *words))
    head[96:128] = b"BROKEN SAMPLE".ljust(32)
    if dir_only:
        return bytes(head)
    block = bytearray(b"GOES" + struct.pack("<127I", *range(1, 128))) if nav else b""
    if data is None:
        data = bytes((i * 37) & 0xFF for i in range(max(lsiz, 0) * max(esiz, 0)))
    return bytes(head) + bytes(block) + data


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "tests/data/bad"
    os.makedirs(out, exist_ok=True)
    files = {
        # lsiz 0: no image at all
        "area_zero_size.area": area(lsiz=0, data=b"\0" * 16),
        # esiz beyond 100000
        "area_huge_size.area": area(esiz=100001, data=b"\0" * 16),
        # the navigation block starts but the file ends inside it
        "area_nav_past_end.area": area()[:256 + 100],
        # the data offset points far past the end of the file
        "area_data_past_end.area": area(navkey=1 << 30),
        # words in no known byte order and no sync marker anywhere
        "area_sync_no_marker.area": bytes((i * 13 + 7) & 0x7F for i in range(3000)),
        # random-looking bytes
        "area_garbage.area": bytes((i * i * 31 + 11) & 0xFF for i in range(4096)),
    }
    for name, data in files.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
