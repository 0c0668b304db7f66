#!/usr/bin/python3
"""Independent decoding of GINI and LRIT files for the reader tests.

Written from the NOAAPORT GINI and CGMS LRIT/HRIT format documents and the
PNG specification with nothing but struct, zlib and datetime; prints
key=value pairs, pixel checksums as zlib.crc32 of the decoded bytes.

  readers_ref.py gini FILE        header fields and pixel checksum
  readers_ref.py lrit FILE...     header fields of the first file and the
                                  checksum of all files' pixels joined
"""
import datetime
import struct
import sys
import zlib


def s24(b):
    v = ((b[0] & 0x7F) << 16) | (b[1] << 8) | b[2]
    return -v if b[0] & 0x80 else v


def u24(b):
    return (b[0] << 16) | (b[1] << 8) | b[2]


def skip_heading(b):
    """Offset of the product definition block after a WMO heading."""
    if b[:1] == b'T' or b[:5] == b'** TI':
        return b.index(b'\n') + 1
    if b[:3] == b'\x01\r\r':
        return b.index(b'\n', b.index(b'T')) + 1
    return 0


def png_grey(stream):
    """Rows of an 8-bit grey, non-interlaced PNG stream."""
    assert stream[:8] == b'\x89PNG\r\n\x1a\n'
    pos, idat = 8, b''
    while pos < len(stream):
        n, kind = struct.unpack('>I4s', stream[pos:pos + 8])
        body = stream[pos + 8:pos + 8 + n]
        if kind == b'IHDR':
            w, h, depth, ctype, _, _, inter = struct.unpack('>IIBBBBB', body)
            assert depth == 8 and ctype == 0 and inter == 0
        elif kind == b'IDAT':
            idat += body
        elif kind == b'IEND':
            break
        pos += 12 + n
    raw, rows, prev = zlib.decompress(idat), [], bytearray(w)
    for y in range(h):
        f, line = raw[y * (w + 1)], bytearray(raw[y * (w + 1) + 1:(y + 1) * (w + 1)])
        for x in range(w):
            a = line[x - 1] if x else 0
            b, c = prev[x], prev[x - 1] if x else 0
            if f == 1:
                line[x] = (line[x] + a) & 255
            elif f == 2:
                line[x] = (line[x] + b) & 255
            elif f == 3:
                line[x] = (line[x] + (a + b) // 2) & 255
            elif f == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[x] = (line[x] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(bytes(line))
        prev = line
    return rows


def gini(name):
    data = open(name, 'rb').read()
    start = skip_heading(data)
    body = data[start:]
    if body[:1] == b'x':  # a run of zlib streams, the first one the header
        parts = []
        while body:
            d = zlib.decompressobj()
            parts.append(d.decompress(body))
            body = d.unused_data
        head = parts[0]
        pdb = head[skip_heading(head):][:512]
        pixels = b''.join(parts[1:])
    else:
        pdb, pixels = body[:512], body[512:]
    nx, ny = struct.unpack('>HH', pdb[16:20])
    if pixels[1:4] == b'PNG':
        pixels = b''.join(png_grey(pixels)[:ny])
    year = pdb[8] + (1900 if pdb[8] > 79 else 2000)
    out = dict(nx=nx, ny=ny, year=year, month=pdb[9], day=pdb[10], hour=pdb[11], minute=pdb[12],
               second=pdb[13], entity=pdb[1], sector=pdb[2], element=pdb[3], proj=pdb[15],
               lat1=s24(pdb[20:23]) / 1e4, lon1=s24(pdb[23:26]) / 1e4,
               # Mercator: the second corner; Lambert and polar: lov, dx, dy
               lat2=s24(pdb[27:30]) / 1e4, lon2=s24(pdb[30:33]) / 1e4, lov=s24(pdb[27:30]) / 1e4,
               dx=u24(pdb[30:33]) / 10.0, dy=u24(pdb[33:36]) / 10.0, latin=s24(pdb[38:41]) / 1e4,
               res_km=pdb[41], crc=zlib.crc32(pixels[:nx * ny]), bytes=len(pixels[:nx * ny]))
    return out


def lrit(names):
    out, joined = {}, b''
    for k, name in enumerate(names):
        data = open(name, 'rb').read()
        pos, end = 0, None
        while end is None or pos < end:
            kind, length = struct.unpack('>BH', data[pos:pos + 3])
            body = data[pos + 3:pos + length]
            if kind == 0:
                end = struct.unpack('>I', body[1:5])[0]
                out.setdefault('hdr_len', end)
            elif kind == 1 and k == 0:
                out.update(bits=body[0], ncol=struct.unpack('>H', body[1:3])[0],
                           nrow=struct.unpack('>H', body[3:5])[0], compress=body[5])
            elif kind == 2 and k == 0:
                out.update(zip(('cfac', 'lfac', 'coff', 'loff'), struct.unpack('>4i', body[32:48])))
                out['sublon'] = float(body[:32].split(b'(')[1].split(b')')[0])
            elif kind == 5 and k == 0:
                days, ms = struct.unpack('>HI', body[1:7])
                t = datetime.datetime(1958, 1, 1) + datetime.timedelta(days=days, milliseconds=ms)
                out.update(year=t.year, month=t.month, day=t.day, hour=t.hour, minute=t.minute,
                           second=t.second)
            elif kind == 128 and k == 0:
                out.update(seg=body[0], nseg=body[1], lseg=struct.unpack('>H', body[2:4])[0])
            pos += length
        joined += data[end:]
    out.update(crc=zlib.crc32(joined), bytes=len(joined))
    return out


if __name__ == '__main__':
    result = gini(sys.argv[2]) if sys.argv[1] == 'gini' else lrit(sys.argv[2:])
    print(' '.join('%s=%s' % kv for kv in result.items()))
