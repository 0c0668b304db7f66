#!/usr/bin/env python3
"""Reference spin-scan navigation from satellite line/element to latitude and
longitude, written independently of the C++ code from the scan model's
description; the orbit comes from spin_orbit_ref.py beside this file.

Usage: spin_scan_ref.py NAME=VALUE ... LINE:ELEM ...
  NAME=VALUE  a word of the spin-scan block by its name (iddate, itime,
              edate, etime, semima, eccen, orbinc, meana, perigee, asnode,
              declin, rascen, piclin, spinp, deglin, lintot, degele,
              eletot, pitch, yaw, roll, gamma, gamdot), as stored
Prints "lat lon" (geodetic degrees) per pixel, or "miss" when the line of
sight passes the earth.
"""
import datetime
import math
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from spin_orbit_ref import (Orbit, from_yyddd, minutes, packed_to_value)  # noqa: E402

A_KM = 6378.388
B_KM = 6356.912
EARTH_ROT_HOUR = 0.26251617076855077
EARTH_ROT = 0.004375269512809179


def main(argv):
    w = {}
    pixels = []
    for a in argv[1:]:
        if "=" in a:
            k, v = a.split("=")
            w[k] = int(v, 0)
        else:
            lin, ele = a.split(":")
            pixels.append((float(lin), float(ele)))
    g = lambda k: w.get(k, 0)  # noqa: E731
    date = g("iddate") % 100000
    tim = packed_to_value(g("itime"))
    orbit = Orbit(g("semima") / 100.0, g("eccen") / 1e6, g("orbinc") / 1000.0,
                  g("meana") / 1000.0, g("perigee") / 1000.0, g("asnode") / 1000.0,
                  0, 0, g("edate"), g("etime"))
    sensors = max(1, g("lintot") // 100000 % 100)
    nlines = g("lintot") % 100000 * sensors
    nelem = g("eletot")
    deg_elem = packed_to_value(g("degele"))
    rl = math.radians(packed_to_value(g("deglin"))) / (nlines - 1)
    re = math.radians(deg_elem) / (nelem - 1)
    ce = (nelem + 1) / 2.0
    cl = g("piclin")
    spin_hours = g("spinp") / 3.6e9
    gam0, gamdot = g("gamma") / 100.0, g("gamdot") / 100.0
    day0 = from_yyddd(date, 0.0)
    ra = (math.radians(packed_to_value(g("rascen")))
          - EARTH_ROT * minutes(from_yyddd(90001, packed_to_value(171537)), day0))
    dec = math.radians(packed_to_value(g("declin")))
    axis = (math.cos(dec) * math.cos(ra), math.cos(dec) * math.sin(ra), math.sin(dec))
    r, p, y = (math.radians(packed_to_value(g(k))) for k in ("roll", "pitch", "yaw"))
    R = [[math.cos(r) * math.cos(p),
          math.sin(y) * math.sin(r) * math.cos(p) + math.cos(y) * math.sin(p)],
         [-math.sin(r), math.sin(y) * math.cos(r)],
         [-math.cos(r) * math.sin(p),
          math.cos(y) * math.cos(p) - math.sin(y) * math.sin(r) * math.sin(p)]]

    for lin, ele in pixels:
        scan = (math.floor(lin + 0.5) - 1) // sensors
        t = tim + spin_hours * (scan + (ele - 1) / (nelem - 1) * deg_elem / 360.0)
        G = (t * gamdot + gam0) * re
        H = t * EARTH_ROT_HOUR
        V = orbit.position(day0 + datetime.timedelta(hours=t), 0)
        vlen = math.sqrt(sum(c * c for c in V))
        U = [c / vlen for c in V]
        Z = (math.cos(H) * axis[0] + math.sin(H) * axis[1],
             -math.sin(H) * axis[0] + math.cos(H) * axis[1], axis[2])
        uz = sum(U[k] * Z[k] for k in range(3))
        X = [-(U[k] - uz * Z[k]) for k in range(3)]
        xl = math.sqrt(sum(c * c for c in X))
        X = [c / xl for c in X]
        Y = (Z[1] * X[2] - Z[2] * X[1], Z[2] * X[0] - Z[0] * X[2], Z[0] * X[1] - Z[1] * X[0])
        Xr = [X[k] * math.cos(G) - Y[k] * math.sin(G) for k in range(3)]
        Yr = [X[k] * math.sin(G) + Y[k] * math.cos(G) for k in range(3)]
        al = (lin - cl) * rl
        ae = (ele - ce) * re
        W = [R[k][0] * math.cos(al) - R[k][1] * math.sin(al) for k in range(3)]
        Wr = (math.cos(ae) * W[0] + math.sin(ae) * W[1],
              -math.sin(ae) * W[0] + math.cos(ae) * W[1], W[2])
        E = [Wr[0] * Xr[k] + Wr[1] * Yr[k] + Wr[2] * Z[k] for k in range(3)]
        # Ray V + k E on (x^2 + y^2) / a^2 + z^2 / b^2 = 1.
        qa = (E[0] ** 2 + E[1] ** 2) / A_KM ** 2 + E[2] ** 2 / B_KM ** 2
        qb = 2 * ((V[0] * E[0] + V[1] * E[1]) / A_KM ** 2 + V[2] * E[2] / B_KM ** 2)
        qc = (V[0] ** 2 + V[1] ** 2) / A_KM ** 2 + V[2] ** 2 / B_KM ** 2 - 1
        disc = qb * qb - 4 * qa * qc
        if disc < 0:
            print("miss")
            continue
        k = (-qb - math.sqrt(disc)) / (2 * qa)
        P = [V[i] + k * E[i] for i in range(3)]
        lat = math.degrees(math.atan2(P[2] * A_KM ** 2 / B_KM ** 2, math.hypot(P[0], P[1])))
        print("%.9f %.9f" % (lat, math.degrees(math.atan2(P[1], P[0]))))


if __name__ == "__main__":
    main(sys.argv)
