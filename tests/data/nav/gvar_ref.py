#!/usr/bin/env python3
"""Reference three-axis (imager/sounder) navigation, written independently of
the C++ code from the navigation model's description, standard library only
(times through datetime).

Usage: gvar_ref.py WORD=VALUE ... QUERY ...
  WORD=VALUE    a 32-bit word of the 2560-byte navigation block, numbered
                from 0 (word 0 is the type text); unset words are 0
  pix:LINE:ELEM instrument line/element -> "lat lon" in degrees
  geo:LAT:LON   degrees -> "line elem"
A point off the earth or hidden prints "miss". The first output line is the
sub-satellite point "lat lon" in degrees.
"""
import datetime
import math
import sys

# Word numbers of the block layout.
IMCACT, REFLON, REFDIS, REFLAT, REFYAW = 2, 5, 6, 7, 8
RATROL, RATPTC, RATYAW, ETIME, EDTIME = 9, 10, 11, 12, 14
IMCROL, IMCPTC, IMCYAW, LDR, RDDR, DGL, DOY = 15, 16, 17, 18, 31, 42, 51
SOLINC, EXPTIM = 60, 61
RAAWDS, PAAWDS, YAAWDS, RMAWDS, PMAWDS = 62, 129, 184, 257, 312
IMGDAY, IMGTM, IMGSND = 367, 368, 369
IOFNC, IOFEC, IOFNI, IOFEI = 379, 380, 381, 382

ANG = 1e7
EQ_RAD = 6378.388
ORBIT = 42164.365
K = 1.0067391845079678          # (a / b)^2
K1 = K - 1.0
LAT_SERIES = -0.01334333324545034
RATE = 0.00437469                # rad/min

# imager, sounder
INC_MAX = (6136, 2805)
ELEV_INC = (8e-6, 1.75e-5)
SCAN_INC = (1.6e-5, 3.5e-5)
ELEV_DLN = (2.8e-5, 2.8e-4)
SCAN_PIX = (1.6e-5, 2.8e-4)
ELEV_BNDS = (0.220896, 0.2208937)
SCAN_BNDS = (0.24544, 0.2454375)
LINE_OFF = (4.5, 2.5)

EPOCH50 = datetime.datetime(1950, 1, 1)


def minutes50(year, day, hour, minute, sec):
    t = datetime.datetime(year, 1, 1) + datetime.timedelta(
        days=day - 1, hours=hour, minutes=minute, seconds=sec)
    return (t - EPOCH50).total_seconds() / 60.0


def bcd(word, first, n):
    v = 0
    for i in range(first, first + n):
        v = v * 10 + ((word >> (28 - 4 * i)) & 0xF)
    return v


def signed(v):
    v &= 0xFFFFFFFF
    return v - (1 << 32) if v & 0x80000000 else v


class Series:
    def __init__(self, w):
        self.expn = (w[0] / ANG, w[1] / 100.0, w[2] / ANG)
        self.nsinus = w[3]
        self.sinus = [x / ANG for x in w[4:34]]
        self.nmsin = w[34]
        self.mono = []
        for i in range(4):
            m = w[35 + 5 * i:40 + 5 * i]
            self.mono.append((m[0], m[1], [x / ANG for x in m[2:5]]))

    def value(self, wa, te):
        att = self.expn[2]
        # A zero time constant makes exp(-te / 0) vanish for te > 0.
        if te >= 0 and self.expn[1] != 0:
            att += self.expn[0] * math.exp(-te / self.expn[1])
        for i in range(self.nsinus):
            att += self.sinus[2 * i] * math.cos(i * wa + self.sinus[2 * i + 1])
        for ordr, mord, s in self.mono[:self.nmsin]:
            att += s[0] * (wa - s[2]) ** mord * math.cos(ordr * wa + s[1])
        return att


def main(argv):
    w = [0] * 640
    queries = []
    for a in argv[1:]:
        if "=" in a:
            k, v = a.split("=")
            w[int(k)] = signed(int(v, 0))
        else:
            queries.append(a)
    instr = w[IMGSND] - 1
    imc = 0 if w[IMCACT] & 0x80 else 1

    e0, e1 = w[ETIME] & 0xFFFFFFFF, w[ETIME + 1] & 0xFFFFFFFF
    epoch = minutes50(bcd(e0, 0, 4), bcd(e0, 4, 3), bcd(e0, 7, 1) * 10 + bcd(e1, 0, 1),
                      bcd(e1, 1, 2), bcd(e1, 3, 2) + bcd(e1, 5, 3) / 1000.0)
    day, tm = w[IMGDAY], w[IMGTM]
    imgtim = minutes50(day // 1000 + 1900, day % 1000, tm // 10000000,
                       tm % 10000000 // 100000, tm % 100000 / 1000.0)

    elev_bnds, scan_bnds = ELEV_BNDS[instr], SCAN_BNDS[instr]
    if w[IOFNC] and w[IOFNI] and w[IOFEC] and w[IOFEI]:
        if instr == 0:
            ns = INC_MAX[0] * w[IOFNC] + w[IOFNI]
        else:
            ns = INC_MAX[1] * (9 - w[IOFNC]) - w[IOFNI]
        elev_bnds = ns * ELEV_INC[instr]
        scan_bnds = (INC_MAX[instr] * w[IOFEC] + w[IOFEI]) * SCAN_INC[instr]

    lam, phi, psi = w[REFLON] / ANG, w[REFLAT] / ANG, w[REFYAW] / ANG
    roll, pitch, yaw = w[RATROL] / ANG, w[RATPTC] / ANG, w[RATYAW] / ANG
    rma = pma = 0.0
    r = w[REFDIS] / ANG
    te = imgtim - epoch
    if imc:
        ldr = [x / ANG for x in w[LDR:LDR + 13]]
        rd = [x / ANG for x in w[RDDR:RDDR + 11]]
        dg = [x / ANG for x in w[DGL:DGL + 9]]
        dy = [x / ANG for x in w[DOY:DOY + 9]]
        wa = RATE * te
        s1, c1 = math.sin(wa), math.cos(wa)
        s2, c2 = math.sin(2 * wa), math.cos(2 * wa)
        s3, c3 = math.sin(0.927 * wa), math.cos(0.927 * wa)
        s4, c4 = math.sin(1.9268 * wa), math.cos(1.9268 * wa)
        lam += (ldr[0] + te * (ldr[1] + te * ldr[2])
                + 2 * (ldr[3] * s1 + ldr[4] * c1 + ldr[5] * s2 + ldr[6] * c2
                       + ldr[7] * s4 + ldr[8] * c4 + ldr[9] * s3 + ldr[10] * c3
                       + te * (ldr[11] * s1 + ldr[12] * c1)))
        r = (rd[0] + rd[1] * c1 + rd[2] * s1 + rd[3] * c2 + rd[4] * s2 + rd[5] * c4
             + rd[6] * s4 + rd[7] * c3 + rd[8] * s3 + te * (rd[9] * c1 + rd[10] * s1))
        dlat = (dg[0] + dg[1] * c1 + dg[2] * s1 + dg[3] * c2 + dg[4] * s2
                + te * (dg[5] * c1 + dg[6] * s1) + dg[7] * c3 + dg[8] * s3)
        phi = dlat * (1 + dlat * dlat / 6)
        dyaw = (dy[0] + dy[1] * s1 + dy[2] * c1 + dy[3] * s2 + dy[4] * c2
                + te * (dy[5] * s1 + dy[6] * c1) + dy[7] * s3 + dy[8] * c3)
        psi = dyaw * (1 + dyaw * dyaw / 6)

    sa = math.sin(psi) ** 2 + math.sin(phi) ** 2
    cb, sb = math.sqrt(1 - sa), math.sqrt(sa)
    u = 0.0 if sa == 0 else math.atan2(math.sin(phi), math.sin(psi))
    asc = lam - u
    sublat = math.atan(K * math.tan(phi))
    sublon = asc + math.atan2(math.sin(u) * cb, math.cos(u))
    su, cu, sasc, casc = math.sin(u), math.cos(u), math.sin(asc), math.cos(asc)
    b = [[-su * casc - cb * cu * sasc, -sb * sasc, cb * su * sasc - cu * casc],
         [cb * cu * casc - su * sasc, sb * casc, -cu * sasc - cb * su * casc],
         [sb * cu, -cb, -math.sin(phi)]]
    rn = (r + ORBIT) / EQ_RAD
    xs = [-rn * b[i][2] for i in range(3)]
    q3 = K * xs[2] ** 2 + xs[1] ** 2 + xs[0] ** 2 - 1

    if imc:
        wa2, te2 = (w[SOLINC] / ANG) * te, te - w[EXPTIM] / 100.0
        roll += Series(w[RAAWDS:RAAWDS + 55]).value(wa2, te2)
        pitch += Series(w[PAAWDS:PAAWDS + 55]).value(wa2, te2)
        yaw += Series(w[YAAWDS:YAAWDS + 55]).value(wa2, te2)
        rma = Series(w[RMAWDS:RMAWDS + 55]).value(wa2, te2)
        pma = Series(w[PMAWDS:PMAWDS + 55]).value(wa2, te2)
        roll += w[IMCROL] / ANG
        pitch += w[IMCPTC] / ANG
        yaw += w[IMCYAW] / ANG
    rr, pp, yy = roll, pitch, yaw
    att = [[1 - (pp * pp + yy * yy) / 2, -yy, pp],
           [rr * pp + yy, 1 - (yy * yy + rr * rr) / 2, -rr],
           [yy * rr - pp, pp * yy + rr, 1 - (pp * pp + rr * rr) / 2]]
    bt = [[sum(b[i][k] * att[k][j] for k in range(3)) for j in range(3)] for i in range(3)]

    print("%.9f %.9f" % (math.degrees(sublat), math.degrees(sublon)))
    for q in queries:
        kind, x, y = q.split(":")
        x, y = float(x), float(y)
        if kind == "pix":
            if instr == 1:
                x, y = (x + 9) / 10, (y + 9) / 10
            elev = elev_bnds - (x - LINE_OFF[instr]) * ELEV_DLN[instr]
            scan = (y - 1) * SCAN_PIX[instr] - scan_bnds
            e2 = (elev - (math.tan(scan) + 1 / math.cos(scan)) * pma * math.sin(elev)
                  - rma * (1 - math.cos(elev) / math.cos(scan)))
            s2 = scan + rma * math.sin(elev)
            g = (math.sin(s2), -math.cos(s2) * math.sin(e2), math.cos(s2) * math.cos(e2))
            uu = [sum(bt[i][k] * g[k] for k in range(3)) for i in range(3)]
            q1 = uu[0] ** 2 + uu[1] ** 2 + K * uu[2] ** 2
            q2 = xs[0] * uu[0] + xs[1] * uu[1] + K * xs[2] * uu[2]
            d = q2 * q2 - q1 * q3
            if abs(d) < 1e-9:
                d = 0.0
            if d < 0:
                print("miss")
                continue
            h = -(q2 + math.sqrt(d)) / q1
            p = [xs[i] + h * uu[i] for i in range(3)]
            z = p[2] / math.sqrt(sum(c * c for c in p))
            print("%.9f %.9f" % (math.degrees(math.atan(K * z / math.sqrt(1 - z * z))),
                                 math.degrees(math.atan2(p[1], p[0]))))
        else:
            lat, lon = math.radians(x), math.radians(y)
            s = math.sin(lat)
            t = LAT_SERIES * s * s
            f = ((0.375 * t - 0.5) * t + 1) * s / K
            ww = K1 * f * f
            gg = (0.375 * ww - 0.5) * ww + 1
            qv = (math.cos(lon) * math.sqrt(1 - f * f) * gg,
                  math.sin(lon) * math.sqrt(1 - f * f) * gg, f * gg)
            wv = [qv[i] - xs[i] for i in range(3)]
            if qv[0] * wv[0] + qv[1] * wv[1] + K * qv[2] * wv[2] > 0:
                print("miss")
                continue
            v = [sum(bt[k][j] * wv[k] for k in range(3)) for j in range(3)]
            scan = math.atan(v[0] / math.sqrt(v[1] ** 2 + v[2] ** 2))
            elev = -math.atan(v[1] / v[2])
            e2 = (elev + rma * (1 - math.cos(elev) / math.cos(scan))
                  + pma * math.sin(elev) * (math.tan(scan) + 1 / math.cos(scan)))
            s2 = scan - rma * math.sin(elev)
            line = (elev_bnds - e2) / ELEV_DLN[instr] + LINE_OFF[instr]
            elem = (scan_bnds + s2) / SCAN_PIX[instr] + 1
            if instr == 1:
                line, elem = 10 * line - 9, 10 * elem - 9
            print("%.6f %.6f" % (line, elem))


if __name__ == "__main__":
    main(sys.argv)
