#!/usr/bin/env python3
"""Reference orbit of a spin-scan satellite, written independently of the
C++ navigation from the orbit model's description, with the standard
library only (dates through datetime, the true-to-mean anomaly through the
half-angle formula, Kepler's equation by Newton's method).

Usage: spin_orbit_ref.py SEMI_KM ECC INC_DEG ANOM_DEG PERIGEE_DEG NODE_DEG
                         ANOM_TYPE SEC_ORD EPOCH_YYMMDD EPOCH_HHMMSS
                         YYDDD:HOURS:COORD ...
Prints "period anom_per" (minutes), then "x y z" (km) per requested time;
COORD 0 gives earth-fixed coordinates, anything else inertial ones.
"""
import datetime
import math
import sys

EQ_RAD = 6378.388
GRAV = 0.07436574            # mean motion at one earth radius, rad/min
J2 = 0.00162342              # second-order term of the orbit model
EARTH_ROT = 0.004375269512809179   # sidereal rotation, rad/min


def full_year(y):
    if y < 50:
        return 2000 + y
    if y < 200:
        return 1900 + y
    return y


def from_yyddd(d, hours):
    day0 = datetime.datetime(full_year(d // 1000), 1, 1)
    return day0 + datetime.timedelta(days=d % 1000 - 1, hours=hours)


def minutes(a, b):
    return (b - a).total_seconds() / 60.0


def packed_to_value(v):
    """DDDMMSS / HHMMSS to decimal degrees / hours."""
    a = abs(v)
    r = a // 10000 + (a // 100 % 100) / 60.0 + (a % 100) / 3600.0
    return -r if v < 0 else r


def to_whole_seconds(h):
    """Hours truncated to the second after adding just under half a second."""
    a = abs(h) + 0.000138888
    deg = int(a)
    m = (a - deg) * 60.0
    mi = int(m)
    sec = int((m - mi) * 60.0)
    r = deg + mi / 60.0 + sec / 3600.0
    return -r if h < 0 else r


class Orbit:
    """The orbit model: elements in km and degrees, epoch YYMMDD / HHMMSS."""

    def __init__(self, semi, ecc, inc, anom, perig, node, anom_type, sec_ord, ed, et):
        self.semi, self.ecc, self.inc = semi, ecc, math.radians(inc)
        if anom_type != 0:
            v = math.radians(anom)
            big_e = 2.0 * math.atan2(math.sqrt(1 - ecc) * math.sin(v / 2),
                                     math.sqrt(1 + ecc) * math.cos(v / 2))
            m0 = math.degrees(big_e - ecc * math.sin(big_e))
        else:
            m0 = anom
        m0 %= 360.0
        self.s = math.sqrt(1 - ecc * ecc)
        p = semi / EQ_RAD * self.s * self.s
        n = (EQ_RAD / semi) ** 1.5 * GRAV
        si2 = math.sin(self.inc) ** 2
        if sec_ord:
            n1 = n * (1 + J2 * self.s / p ** 2 * (1 - 1.5 * si2))
            self.dw = math.degrees((2 - 2.5 * si2) * J2 / p ** 2 * n1)
            self.dnode = math.degrees(-J2 * math.cos(self.inc) / p ** 2 * n1)
        else:
            n1, self.dw, self.dnode = n, 0.0, 0.0
        self.n1 = n1
        self.period, self.anom_per = 2 * math.pi / n, 2 * math.pi / n1
        yy, mm, dd = ed // 10000, ed // 100 % 100, ed % 100
        epoch_day = datetime.datetime(full_year(yy), mm, dd)
        epoch = epoch_day + datetime.timedelta(hours=packed_to_value(et))
        # Perigee passage before the epoch, on whole seconds of its day.
        t = packed_to_value(et) + math.radians(m0) / (n1 * -60.0)
        days = math.floor(t / 24.0)
        self.passage = epoch_day + datetime.timedelta(
            days=days, hours=to_whole_seconds(t - 24.0 * days))
        from_epoch = minutes(epoch, self.passage)
        self.w0 = (perig + self.dw * from_epoch) % 360.0
        self.node0 = (node + self.dnode * from_epoch) % 360.0
        self.ref = from_yyddd(90001, packed_to_value(171537))

    def position(self, when, coord):
        """Position (km) at a datetime; coord 0 earth-fixed, else inertial."""
        i, ecc = self.inc, self.ecc
        m = minutes(self.passage, when)
        w = math.radians(self.dw * m + self.w0)
        om = math.radians(self.dnode * m + self.node0)
        P = (math.cos(w) * math.cos(om) - math.sin(w) * math.sin(om) * math.cos(i),
             math.cos(w) * math.sin(om) + math.sin(w) * math.cos(om) * math.cos(i),
             math.sin(w) * math.sin(i))
        Q = (-math.sin(w) * math.cos(om) - math.cos(w) * math.sin(om) * math.cos(i),
             -math.sin(w) * math.sin(om) + math.cos(w) * math.cos(om) * math.cos(i),
             math.cos(w) * math.sin(i))
        mean = math.fmod(self.n1 * m, 2 * math.pi)
        E = mean
        for _ in range(50):
            step = (E - ecc * math.sin(E) - mean) / (1 - ecc * math.cos(E))
            E -= step
            if abs(step) < 1e-14:
                break
        x = (math.cos(E) - ecc) * self.semi
        y = math.sin(E) * self.s * self.semi
        r = [x * P[k] + y * Q[k] for k in range(3)]
        if coord == 0:
            g = (EARTH_ROT * minutes(self.ref, when)) % (2 * math.pi)
            r = [math.cos(g) * r[0] + math.sin(g) * r[1],
                 -math.sin(g) * r[0] + math.cos(g) * r[1], r[2]]
        return r


def main(argv):
    semi, ecc, inc, anom, perig, node = (float(x) for x in argv[1:7])
    orbit = Orbit(semi, ecc, inc, anom, perig, node, int(argv[7]), int(argv[8]),
                  int(argv[9]), int(argv[10]))
    print("%.9f %.9f" % (orbit.period, orbit.anom_per))
    for item in argv[11:]:
        d, h, coord = item.split(":")
        r = orbit.position(from_yyddd(int(d), float(h)), int(coord))
        print("%.9f %.9f %.9f" % tuple(r))


if __name__ == "__main__":
    main(sys.argv)
