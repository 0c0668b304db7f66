#!/usr/bin/python3
"""Makes orlo's map database files from GSHHG (Debian gmt-gshhg-low) through
Debian's `gmt coast`, which dumps the shorelines (-W level), political
borders (-N) and rivers (-I) of its binned netCDF files as text lines.

GMT cuts every line at the edges of its storage bins; the pieces are joined
again here wherever one ends where another starts, so that a coastline is a
few long records instead of thousands of short ones. Lines are then clipped
to the file's box and written in the package's big-endian binary map format
(or, with --text, in its text format):

  record header: point count (u16, 0 ends the file), lat_min, lat_max,
                 lon_min, lon_max (f32), byte offset of the record (i32)
  points:        latitude, longitude (f32 each)

Usage: make_maps.py OUTDIR [--text] [NAME ...]   (all files when no NAME)
       make_maps.py --to-text BINARY.map TEXT.map (the same data as text)
"""
import os
import struct
import subprocess
import sys
import tempfile

# Box of the North American files: 0-90N, 160E eastward to 30W, so that the
# Aleutians across the date line stay in.
NA = (0.0, 90.0, 160.0, -30.0)
WORLD = None

# name: (GSHHG resolution c/l/i, box, gmt layer options); lakes (level 2)
# smaller than -A km2 are left out, they would only clutter the map.
FILES = {
    # Default of North American domains: coast, lakes, countries, states.
    "zem.map": ("l", NA, ["-W1/0.1p", "-W2/0.1p -A2000", "-N1", "-N2"]),
    # The same at the finer resolution, for maps a few hundred km tall.
    "zemhi.map": ("i", NA, ["-W1/0.1p", "-W2/0.1p -A100", "-N1", "-N2"]),
    # Default elsewhere: continents with lakes, and country borders.
    "cont.map": ("l", WORLD, ["-W1/0.1p", "-W2/0.1p -A2000"]),
    "country.map": ("l", WORLD, ["-N1"]),
    # Extra layers for map lists.
    "states.map": ("l", WORLD, ["-N2"]),
    "rivers.map": ("l", WORLD, ["-I1", "-I2"]),
    "world.map": ("c", WORLD, ["-W1/0.1p", "-N1"]),
}

MAX_POINTS = 65535  # the count field is 16 bits


def gmt_lines(res, option, workdir):
    """The lines of one gmt layer as lists of (lat, lon)."""
    out = subprocess.run(["gmt", "coast", "-Rg", "-D" + res, "-M"] + option.split(),
                         cwd=workdir, check=True, capture_output=True, text=True).stdout
    lines, cur = [], []
    for row in out.splitlines():
        if row.startswith(">"):
            if len(cur) > 1:
                lines.append(cur)
            cur = []
            continue
        f = row.split()
        if len(f) >= 2:
            lon, lat = float(f[0]), float(f[1])
            if lon > 180.0:
                lon -= 360.0
            cur.append((lat, lon))
    if len(cur) > 1:
        lines.append(cur)
    return lines


def key(p):
    return (round(p[0], 6), round(p[1], 6))


def join(lines):
    """Joins pieces whose ends meet (in either direction)."""
    ends = {}
    for i, ln in enumerate(lines):
        ends.setdefault(key(ln[0]), []).append(i)
        ends.setdefault(key(ln[-1]), []).append(i)
    used = [False] * len(lines)

    def take(pt):
        for j in ends.get(key(pt), []):
            if not used[j]:
                used[j] = True
                return j
        return None

    out = []
    for i, ln in enumerate(lines):
        if used[i]:
            continue
        used[i] = True
        cur = list(ln)
        for forward in (True, False):
            while True:
                j = take(cur[-1] if forward else cur[0])
                if j is None:
                    break
                nxt = lines[j]
                if forward:
                    cur += (nxt if key(nxt[0]) == key(cur[-1]) else nxt[::-1])[1:]
                else:
                    cur = (nxt if key(nxt[-1]) == key(cur[0]) else nxt[::-1])[:-1] + cur
        out.append(cur)
    return out


def inside(box, p):
    if box is None:
        return True
    lat0, lat1, lon0, lon1 = box
    if not lat0 <= p[0] <= lat1:
        return False
    return p[1] >= lon0 or p[1] <= lon1 if lon0 > lon1 else lon0 <= p[1] <= lon1


def clip(lines, box):
    out = []
    for ln in lines:
        cur = []
        for p in ln:
            if inside(box, p):
                cur.append(p)
            else:
                if len(cur) > 1:
                    out.append(cur)
                cur = []
        if len(cur) > 1:
            out.append(cur)
    return out


def records(lines):
    for ln in lines:
        for s in range(0, len(ln) - 1, MAX_POINTS - 1):
            yield ln[s:s + MAX_POINTS]


def write(path, lines, text):
    with open(path, "w" if text else "wb") as f:
        offset = 0
        for rec in records(lines):
            lats = [p[0] for p in rec]
            lons = [p[1] for p in rec]
            bounds = (min(lats), max(lats), min(lons), max(lons))
            if text:
                f.write("%d %.4f %.4f %.4f %.4f 0\n" % ((len(rec),) + bounds))
                f.writelines("%.4f %.4f\n" % p for p in rec)
            else:
                f.write(struct.pack(">H4fi", len(rec), *bounds, offset))
                f.write(b"".join(struct.pack(">2f", *p) for p in rec))
                offset += 22 + 8 * len(rec)
        if text:
            f.write("0 0 0 0 0 0\n")
        else:
            f.write(struct.pack(">H4fi", 0, 0, 0, 0, 0, offset))


def to_text(binary, text):
    """Writes the records of a binary map file in the text format."""
    d = open(binary, "rb").read()
    p = 0
    with open(text, "w") as o:
        while p + 22 <= len(d):
            h = struct.unpack(">H4fi", d[p:p + 22])
            o.write("%d %r %r %r %r %d\n" % h)
            o.writelines("%r %r\n" % struct.unpack(">2f", d[p + 22 + 8 * k:p + 30 + 8 * k]) for k in range(h[0]))
            p += 22 + 8 * h[0]


def main(argv):
    if len(argv) == 4 and argv[1] == "--to-text":
        return to_text(argv[2], argv[3])
    text = "--text" in argv
    args = [a for a in argv[1:] if a != "--text"]
    if not args:
        sys.exit(__doc__)
    outdir, names = args[0], args[1:] or list(FILES)
    with tempfile.TemporaryDirectory() as work:
        for name in names:
            res, box, options = FILES[name]
            lines = []
            for opt in options:
                lines += join(gmt_lines(res, opt, work))
            lines = clip(lines, box)
            write(os.path.join(outdir, name), lines, text)
            print("%s: %d lines, %d points" % (name, len(lines), sum(map(len, lines))))


if __name__ == "__main__":
    main(sys.argv)
