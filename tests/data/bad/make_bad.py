#!/usr/bin/env python3
"""Writes the broken AREA, ZEMIMG, PNG, XWD, GINI, LRIT, TIFF and Unisys
files of tests/data/bad/ (the broken GIF files come from tools/make_bad_gif.py).

Each file is broken in one way and named for what it breaks; the test that
reads them (tests/test_bad_input.cpp) lists the status and message each
reader must give. The AREA files build on tools/make_bad_area.py (which
writes the older area_*.area files); the files found by the fuzz targets
(area_sync_huge_claim.area, nav_ps_min_longitude.area,
zemimgz_huge_claim.img, filereq_latest_reach_huge.txt,
tiff_geokey_code_out_of_range.tif, unisys_time_stamp_out_of_range.uni,
metafile_align_out_of_range.meta) are kept as found.
Layouts: AREA directory words as in the McIDAS AREA format, PNG from the
PNG format document (chunks with CRC-32), XWD file version 7 (25 big-endian
header words). Run from anywhere: python3 tests/data/bad/make_bad.py
"""
import os
import struct
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "..", "tools"))
from make_bad_area import area  # noqa: E402

MARKER = bytes([0x00, 0xFF] * 4)


def with_word(data, word, value):
    b = bytearray(data)
    struct.pack_into("<I", b, 4 * word, value)
    return bytes(b)


def sync_area(lines, elems, records=True):
    """Sync-framed stream: marker, big-endian directory, marker, GOES block,
    then (with `records`) one coded line per row (every pixel the absolute
    value 0x11)."""
    words = [0] * 64
    words[1], words[3], words[4] = 4, 124065, 120000
    words[8], words[9], words[10], words[11], words[12] = lines, elems, 1, 1, 1
    words[33] = 256 + 8 + 512
    head = struct.pack(">64I", *words)
    nav = b"GOES" + struct.pack(">127I", *range(1, 128))
    out = MARKER + head + MARKER + nav
    for n in range(lines if records else 0):
        nibbles = [0, 1, 1] + [15] * ((elems - 1 + 2) // 3)
        if len(nibbles) % 2:
            nibbles.append(15)
        coded = bytes((nibbles[k] << 4) | nibbles[k + 1] for k in range(0, len(nibbles), 2))
        out += MARKER + struct.pack(">IHH", n, 8, len(coded)) + coded
    return out


def png(width, height, value):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    raw = b"".join(b"\0" + bytes([value]) * width for _ in range(height))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 0, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


def xwd(width=4, height=2, depth=8, name=b"bad", ncolors=2, fields=None):
    """A PseudoColor (8-bit) or TrueColor (32-bit) dump; `fields` overrides
    header words by index."""
    bpp = 8 if depth == 8 else 32
    bpl = width * bpp // 8
    h = [100 + len(name) + 1, 7, 2, depth, width, height, 0, 1, 32, 1, 32, bpp, bpl,
         3 if depth == 8 else 4, 0, 0, 0, 8, ncolors, ncolors, width, height, 0, 0, 0]
    if depth != 8:
        h[14:17] = [0xFF0000, 0xFF00, 0xFF]
    for k, v in (fields or {}).items():
        h[k] = v
    colours = b"".join(struct.pack(">IHHHBB", i, 65535 * i, 0, 0, 7, 0) for i in range(ncolors))
    return struct.pack(">25I", *h) + name + b"\0" + colours + bytes(range(height * bpl))


def main():
    good_xwd = xwd()
    files = {
        "area_empty.area": b"",
        "area_dir_cut.area": area()[:100],
        "area_data_cut.area": area(lsiz=3, esiz=4)[:-3],
        "area_element_size_3.area": with_word(area(), 10, 3),
        "area_lines_too_many.area": area(lsiz=100001, data=b"\0" * 16),
        "area_elems_zero.area": area(esiz=0, data=b"\0" * 16),
        "area_pixels_too_many.area": area(lsiz=100000, esiz=100000, data=b"\0" * 16),
        # a marker 1100 bytes in: past the 1024 single-byte attempts
        "area_sync_marker_too_late.area": b"\x33" * 1100 + sync_area(1, 1),
        # no marker after the directory, and none later to resynchronise on
        "area_sync_no_second_marker.area": sync_area(1, 1, False)[:264] + b"\x11" + sync_area(1, 1, False)[265:],
        "area_png_too_large.area": area(lsiz=3, esiz=4, data=png(64, 64, 77)),
        "area_png_damaged.area": area(lsiz=3, esiz=4, data=b"\x89PNG\r\n\x1a\n" + b"\x5a" * 100),
        "zem_bad_magic.img": b"ZEMIMX\n\n\n2 2\nabcd",
        "zem_garbage.img": b"\x01" * 300,
        "zem_header_cut.img": b"ZEMIMG\n1200Z  5 MAR 24\n",
        "zem_huge_size.img": b"ZEMIMG\n\n\n70000 70000\n",
        "zem_zero_size.img": b"ZEMIMG\n\n\n0 5\n",
        "zem_negative_size.img": b"ZEMIMG\n\n\n-4 5\n",
        # 4294967300 wraps to 4 in a 32-bit int
        "zem_size_past_int.img": b"ZEMIMG\n\n\n4294967300 1\nabcd",
        "zem_grid_past_int.img": b"ZEMIMG\n\n\nLL 40 -100 1 1 4294967300 1\nabcd",
        "zem_no_size.img": b"ZEMIMG\n\n\nXX 1 2 3\n",
        "zem_bad_token.img": b"ZEMIMG\n\n\nPS:abc 1 2 3 4 5 6\n",
        "zem_data_cut.img": b"ZEMIMG\n\n\n4 4\nabc",
        "zem_empty_domain.img": b"ZEMIMG4\n\n\n\n",
        "zem_c_block_cut.img": b"ZEMIMGC\n\n\n2 2\n\x01",
        "zem_v_block_cut.img": b"ZEMIMGV\n\n\n2 2\n" + b"v" * 1000,
        "zem_c_count_past_end.img": b"ZEMIMGC\n\n\n2 2\n\x01\x02\x01\x09" + b"c" * 10,
        "zem_data_file_missing.img": b"ZEMIMG*\n\nsplit\n3 2\nno_such_pixels.bin\n",
        "png_not_png.png": b"GIF89a" + b"\0" * 40,
        "png_huge_claim.png": png(60000, 60000, 0)[:33] + png(1, 1, 0)[33:],
        "png_cut.png": png(16, 16, 200)[:60],
        "png_header_cut.png": png(16, 16, 200)[:20],  # inside the IHDR chunk
        "xwd_version6.xwd": xwd(fields={1: 6}),
        "xwd_header_small.xwd": xwd(fields={0: 50}),
        "xwd_depth32.xwd": xwd(depth=32, ncolors=0),
        "xwd_header_cut.xwd": good_xwd[:60],
        "xwd_name_cut.xwd": good_xwd[:102],
        "xwd_colormap_cut.xwd": good_xwd[:104 + 12],
        "xwd_pixmap_cut.xwd": good_xwd[:-1],
        "xwd_huge_claim.xwd": xwd(fields={4: 65535, 5: 65535, 12: 65535}),
        "xwd_ncolors_huge.xwd": xwd(fields={19: 0xFFFFFFFF}),
        "gini_empty.gini": b"",
        "gini_heading_unended.gini": b"T" * 300,
        "lrit_empty.lrit": b"",
        "tiff_wrong_magic.tif": b"II\0*" + b"\0" * 100,
        "tiff_directory_past_end.tif": b"II*\0\0\0\0\x7f",
        "unisys_two_keys_no_end.uni": b"idTest x640",
        "unisys_zero_size.uni": b"idTest x0 y0 end\n",
        "unisys_huge_size.uni": b"x100000 y100000 end\n",
        "unisys_pixels_short.uni": b"x64 y48 end\n" + b"a" * 100,
    }
    for name, data in files.items():
        with open(os.path.join(HERE, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
