#!/usr/bin/env python3
"""Writes the malformed GIF files of tests/data/bad/.

Each file is a small GIF89a picture (4 x 2 pixels, 4-colour global table)
broken in one way, named for what it breaks. The picture data are literal
LZW codes with a clear code after every second one, so that the code width
stays at 3 bits and no string table is needed to write them.
Run from the repository root: python3 tools/make_bad_gif.py
"""
import os
import struct

CLEAR, END = 4, 5
PIXELS = [0, 1, 2, 3, 3, 2, 1, 0]


def pack(codes, width=3):
    acc = bits = 0
    out = bytearray()
    for i, c in enumerate(codes):
        w = width if isinstance(width, int) else width[i]
        acc |= c << bits
        bits += w
        while bits >= 8:
            out.append(acc & 0xFF)
            acc >>= 8
            bits -= 8
    if bits:
        out.append(acc)
    return bytes(out)


def literal_codes(pixels):
    codes = [CLEAR]
    for i, p in enumerate(pixels):
        codes.append(p)
        if i % 2 == 1:
            codes.append(CLEAR)
    return codes + [END]


def deferred_clear(pixels):
    """Literal codes without any clear after the first: the reader's table
    fills up to 4096 entries and then must stop growing (the GIF89a
    document lets an encoder defer the clear code). Returns codes and the
    width of each, as a reader tracks them."""
    codes, widths = [CLEAR], [3]
    width, nxt = 3, END + 1
    for i, p in enumerate(pixels):
        codes.append(p)
        widths.append(width)
        if i > 0 and nxt < 4096:
            nxt += 1
            if nxt == 1 << width and width < 12:
                width += 1
    return codes + [END], widths + [width]


def sub_blocks(data):
    return b"".join(bytes([len(data[i:i + 255])]) + data[i:i + 255] for i in range(0, len(data), 255))


def gif(width=4, height=2, codes=None, code_size=2, table=True, blocks=b"",
        descriptor=True, terminator=True, trailer=True, widths=3, picture=(4, 2)):
    head = b"GIF89a" + struct.pack("<HHBBB", width, height, 0x81 if table else 0x01, 0, 0)
    if table:
        head += bytes([0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255])
    body = blocks
    if descriptor:
        data = pack(literal_codes(PIXELS) if codes is None else codes, widths)
        body += b"\x2c" + struct.pack("<HHHHB", 0, 0, *picture, 0) + bytes([code_size])
        body += sub_blocks(data) + (b"\x00" if terminator else b"")
    return head + body + (b"\x3b" if trailer else b"")


def main():
    good = gif()
    files = {
        "gif_garbage.gif": bytes(range(7, 250, 3)),
        "gif_truncated_header.gif": good[:9],
        "gif_truncated_table.gif": good[:17],
        "gif_truncated_data.gif": good[:-5],
        # After a clear the next free code is 6; 7 cannot be decoded.
        "gif_code_out_of_range.gif": gif(codes=[CLEAR, 1, 7, END]),
        "gif_bad_code_size.gif": gif(code_size=12),
        "gif_zero_size.gif": gif(width=0),
        "gif_huge_size.gif": gif(width=65535, height=65535),
        # 16 million pixels cannot come from 30 bytes of image data.
        "gif_size_past_data.gif": gif(width=4000, height=4000),
        "gif_no_image.gif": gif(descriptor=False),
        "gif_unknown_block.gif": gif(blocks=b"\x99\x01\x02"),
        "gif_short_data.gif": gif(codes=[CLEAR, 0, 1, CLEAR, 2, END]),
        "gif_truncated_extension.gif": gif(descriptor=False, trailer=False, blocks=b"\x21\xf9\x04\x01"),
        # Whole picture, but neither the block terminator nor the trailer.
        "gif_no_trailer.gif": gif(terminator=False, trailer=False),
        # Valid: 5000 pixels of literal codes, the last 900 past a full table.
        "gif_deferred_clear.gif": gif(100, 50, picture=(100, 50), **dict(zip(("codes", "widths"), deferred_clear(PIXELS * 625)))),
    }
    out = os.path.join("tests", "data", "bad")
    os.makedirs(out, exist_ok=True)
    for name, data in files.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
