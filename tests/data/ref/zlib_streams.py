#!/usr/bin/python3
"""Independent reading of a ZEMIMGZ body: back-to-back zlib streams.

Usage: zlib_streams.py BODY OUT
Writes the concatenated decoded bytes to OUT and prints one line per
stream: "<decoded bytes> <compressed bytes>". Uses only Python's zlib.
"""
import sys
import zlib

data = open(sys.argv[1], "rb").read()
out = b""
while data:
    d = zlib.decompressobj()
    piece = d.decompress(data)
    assert d.eof, "stream does not end"
    print(len(piece), len(data) - len(d.unused_data))
    out += piece
    data = d.unused_data
open(sys.argv[2], "wb").write(out)
