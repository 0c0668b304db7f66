// AREA navigation: the active navigation of the last AREA_init, turned into
// conversions between satellite line/element and latitude/longitude.
//
// Spin-scan ("GOES"): the satellite position comes from a Kepler orbit; the
// scan frame from the spin axis, the spin phase at the pixel's time and the
// sensor misalignment. The earth-to-satellite direction is solved by
// iterating on the scan number, because the pixel time (and with it the
// satellite position and frame) depends on the answer.
//
// Three-axis ("GVAR"): the instrument frame from the orbit and attitude
// series evaluated once at the image time; line and pixel are linear in the
// instrument's elevation and scan angles.
//
// Map blocks: a linear grid in one of the projections of maptran.h; the
// conversions switch the projection module to the block's projection and
// back around each call.
#include "sat_tran.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "maptran.h"
#include "mess.h"
#include "sat_read.h"
#include "tools.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 2.0 * kPi;
constexpr double kDtr = kPi / 180.0;
constexpr double kRtd = 180.0 / kPi;

// Earth model of the spin-scan navigation (km).
constexpr double kEqRad = 6378.388;
constexpr double kPolRad = 6356.912;
constexpr double kFlat = 0.0033669949209737095;   // (a - b) / a
constexpr double kMeanRad = 6371.221;             // visibility test
constexpr double kEarthRotHour = 0.26251617076855077;  // radians per hour
constexpr double kGravity = 0.07436574;           // mean motion at one earth radius, rad/min
constexpr double kJ2 = 0.00162342;                // second-order orbit term
constexpr double kSiderealPerMin = 0.004375269512809179;

// Earth model of the three-axis navigation.
constexpr double kGvEqRad = 6378.388;
constexpr double kGvOrbit = 42164.365;
constexpr double kGvK = 1.0067391845079678;       // (a / b)^2
constexpr double kGvK1 = 0.006739184507967844;    // kGvK - 1
constexpr double kGvLatSeries = -0.01334333324545034;
constexpr double kGvEarthRate = 0.00437469;       // radians per minute

// Instrument constants of the three-axis imager (0) and sounder (1).
struct InstrConst {
    int inc_max;
    double elev_inc;
    double scan_inc;
    double elev_dln;
    double scan_pix;
    double elev_bnds;
    double scan_bnds;
    double line_off;
};
constexpr InstrConst kInstrDefault[2] = {
    {6136, 8e-6, 1.6e-5, 2.8e-5, 1.6e-5, 0.220896, 0.24544, 4.5},
    {2805, 1.75e-5, 3.5e-5, 2.8e-4, 2.8e-4, 0.2208937, 0.2454375, 2.5},
};

// Derived constants of the spin-scan scan geometry (first AREA_tran).
struct SpinScanDerived {
    bool ready = false;
    int sensors = 1;       // sensors per scan
    int lines = 0;         // total lines after the sensor expansion
    double cen_elem = 0;   // centre element
    double rad_line = 0;   // radians per line
    double rad_elem = 0;   // radians per element
    pt axis{};             // spin axis at 0 hours of the image date
    double mis[3][2]{};    // misalignment matrix
};

// Derived constants of the orbit (first AREA_pos).
struct OrbitDerived {
    bool ready = false;
    bool planes = false;   // P and Q computed at least once
    double mot = 0;        // anomalistic mean motion, rad/min
    double dw = 0;         // perigee rate, deg/min
    double dnode = 0;      // node rate, deg/min
    double ecc_fac = 0;    // sqrt(1 - e^2)
    datim perigee{};       // perigee passage
    double w0 = 0;         // perigee argument at passage, deg
    double node0 = 0;      // node at passage, deg
    pt p{}, q{};           // orbit-plane unit vectors
};

struct SpinScan {
    datim sat_time{};
    goes_orbit orb{};
    goes_navigate nav{};
    double gamma_init = 0;
    double gamma_dot = 0;
    double atms_hght = 0;
    datim ref{90001, 0};
    double earth_rot = kSiderealPerMin;
    double prec_veq = 0;
    SpinScanDerived scan;
    OrbitDerived orbit;
};

struct ThreeAxis {
    gvar_navigate rec{};
    int instr = 0;
    InstrConst con[2] = {kInstrDefault[0], kInstrDefault[1]};
    int imc = 1;
    double sublat = 0, sublon = 0;      // radians, geodetic
    double b[3][3]{};
    double bt[3][3]{};
    double xs[3]{};
    double q3 = 0;
    double roll = 0, pitch = 0, yaw = 0;
    double rma = 0, pma = 0;
    double phi = 0, psi = 0;
    double dr = 0;
};

// A map block: x = xoff + ax * element, y = yoff + ay * line in the map
// coordinates of `dom` (hundreds of km, or degrees for lat/lon grids).
struct MapGrid {
    Domain dom{};
    double ax = 1, xoff = 0, ay = 1, yoff = 0;
};

struct NavState {
    std::vector<unsigned char> block;  // the navigation block given to AREA_init
    int kind = AREA_NAV_NONE;
    float lcor = 0, ecor = 0, lres = 1, eres = 1;
    SpinScan spin;
    ThreeAxis gv;
    MapGrid map;
};

NavState g_nav;

void clear_domain(Domain* d) {
    d->proj = kMissing;
    d->plat = d->plon = kMissingF;
    for (float& p : d->param) p = kMissingF;
    d->clat = d->clon = kMissingF;
    d->dx = d->dy = kMissingF;
    d->nx = d->ny = kMissing;
    d->ellipse = 0;
}

double reduce(double v, double period) {
    double r = std::fmod(v, period);
    if (r < 0) r += period;
    return r;
}

// Longitude brought into -180..180 degrees.
double wrap_lon(double lon) {
    if (!std::isfinite(lon)) return lon;
    double r = std::remainder(lon, 360.0);
    return r == -180.0 ? 180.0 : r;
}

double dot(const pt& a, const pt& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

pt unit(const pt& a) {
    double n = std::sqrt(dot(a, a));
    if (n == 0) return a;
    return {a.x / n, a.y / n, a.z / n};
}

// Full Gregorian year of a short year (below 50: 20xx, up to 199: 1900 +).
int full_year(int year) {
    if (year < 50) return 2000 + year;
    if (year < 200) return 1900 + year;
    return year;
}

bool leap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

// Days from 1970-01-01 to the first of January of the full year y.
long long days_to_year(long long y) {
    // Count of days in whole years, with the Gregorian leap rule.
    auto leaps_before = [](long long yr) {
        long long n = yr - 1;
        return n / 4 - n / 100 + n / 400;
    };
    return (y - 1970) * 365 + (leaps_before(y) - leaps_before(1970));
}

// A day stamp YYDDD/YYYDDD that any arithmetic can take: day 1..366 and a
// year that fits.
bool valid_yyddd(long long date) {
    if (date < 0 || date > 9999999) return false;
    int day = static_cast<int>(date % 1000);
    return day >= 1 && day <= 366;
}

// YYYDDD (year - 1900) of `date` moved by `days` days.
int add_days(int date, long long days) {
    int year = full_year(date / 1000);
    long long day = date % 1000 + days;
    while (day > numyr(year)) {
        day -= numyr(year);
        ++year;
    }
    while (day < 1) {
        --year;
        day += numyr(year);
    }
    return (year - 1900) * 1000 + static_cast<int>(day);
}

constexpr int kCumDays[2][13] = {
    {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365},
    {0, 31, 60, 91, 121, 152, 182, 213, 244, 274, 305, 335, 366},
};

bool finite3(const double* v) {
    return std::isfinite(v[0]) && std::isfinite(v[1]) && std::isfinite(v[2]);
}

int bad_block(const char* type, const char* why) {
    MESS_print(M_warn, "AREA_init: Invalid %s navigation: %s\n", type, why);
    g_nav.kind = AREA_NAV_NONE;
    return -1;
}

// ---- Spin-scan ---------------------------------------------------------

// The GOES values of AREA_init, printed at debug level one per line.
void print_spin(const SpinScan& s) {
    struct Item {
        const char* name;
        double value;
        bool integer;
    };
    const Item items[] = {
        {"date", static_cast<double>(s.sat_time.date), true},
        {"pict_time", s.sat_time.tim, false},
        {"orb.sat_type", static_cast<double>(s.orb.sat_type), true},
        {"orb.anom_type", static_cast<double>(s.orb.anom_type), true},
        {"orb.sec_ord", static_cast<double>(s.orb.sec_ord), true},
        {"orb.epoch_date", static_cast<double>(s.orb.epoch_date), true},
        {"orb.epoch_time", static_cast<double>(s.orb.epoch_time), true},
        {"orb.semi_maj", s.orb.semi_maj, false},
        {"orb.eccent", s.orb.eccent, false},
        {"orb.inclin", s.orb.inclin, false},
        {"orb.anomaly", s.orb.anomaly, false},
        {"orb.perigee", s.orb.perigee, false},
        {"orb.asc_node", s.orb.asc_node, false},
        {"nav.num_lines", static_cast<double>(s.nav.num_lines), true},
        {"nav.deg_line", s.nav.deg_line, false},
        {"nav.num_elem", static_cast<double>(s.nav.num_elem), true},
        {"nav.deg_elem", s.nav.deg_elem, false},
        {"nav.spin_rate", s.nav.spin_rate, false},
        {"nav.declin", s.nav.declin, false},
        {"nav.right_asc", s.nav.right_asc, false},
        {"nav.center_line", static_cast<double>(s.nav.center_line), true},
        {"nav.prec_rate", s.nav.prec_rate, false},
        {"nav.prec_dir", s.nav.prec_dir, false},
        {"nav.pitch", s.nav.pitch, false},
        {"nav.yaw", s.nav.yaw, false},
        {"nav.roll", s.nav.roll, false},
        {"ecor", static_cast<double>(g_nav.ecor), false},
        {"lcor", static_cast<double>(g_nav.lcor), false},
        {"eres", static_cast<double>(g_nav.eres), false},
        {"lres", static_cast<double>(g_nav.lres), false},
        {"gamma_init", s.gamma_init, false},
        {"gamma_dot", s.gamma_dot, false},
        {"atms_hght", s.atms_hght, false},
    };
    for (const Item& it : items) {
        if (it.integer)
            MESS_print(M_debug, "%-16s= %ld\n", it.name, static_cast<long>(it.value));
        else
            MESS_print(M_debug, "%-16s= %f\n", it.name, it.value);
    }
}

int init_spin(const MC_area* area) {
    const MC_nav_goes* n = area->navg;
    if (n == nullptr) return bad_block("GOES", "navigation block missing");
    if (!valid_yyddd(n->iddate % 100000))
        return bad_block("GOES", "image date out of range");
    int emon = static_cast<int>((n->edate / 100) % 100);
    int eday = static_cast<int>(n->edate % 100);
    if (n->edate > 9999999 || emon < 1 || emon > 12 || eday < 1 || eday > 31)
        return bad_block("GOES", "orbit epoch date out of range");
    double semi = n->semima / 100.0;
    double ecc = n->eccen / 1000000.0;
    if (semi <= kEqRad) return bad_block("GOES", "orbit inside the earth");
    if (ecc >= 1.0) return bad_block("GOES", "eccentricity not below 1");
    if (n->lintot % 100000 < 2 || n->eletot < 2 || n->eletot > 10000000)
        return bad_block("GOES", "too few scan lines or elements");
    if (n->deglin == 0 || n->degele == 0) return bad_block("GOES", "zero sweep angle");
    if (n->spinp == 0) return bad_block("GOES", "zero spin period");

    SpinScan s;
    s.sat_time.date = static_cast<int>(n->iddate % 100000);
    s.sat_time.tim = int2deg(static_cast<int>(n->itime % 10000000));
    s.orb.sat_type = 1;
    s.orb.anom_type = 0;
    s.orb.sec_ord = 0;
    s.orb.epoch_date = static_cast<int>(n->edate);
    s.orb.epoch_time = static_cast<int>(n->etime % 10000000);
    s.orb.semi_maj = semi;
    s.orb.eccent = ecc;
    s.orb.inclin = n->orbinc / 1000.0;
    s.orb.anomaly = n->meana / 1000.0;
    s.orb.perigee = n->perigee / 1000.0;
    s.orb.asc_node = n->asnode / 1000.0;
    s.nav.num_lines = static_cast<int>(n->lintot % 10000000);
    s.nav.deg_line = int2deg(n->deglin);
    s.nav.num_elem = static_cast<int>(n->eletot);
    s.nav.deg_elem = int2deg(n->degele);
    s.nav.spin_rate = n->spinp / 3600000000.0;
    s.nav.declin = int2deg(n->declin);
    s.nav.right_asc = int2deg(n->rascen);
    s.nav.center_line = static_cast<int>(n->piclin % 10000000);
    s.nav.prec_rate = 0;
    s.nav.prec_dir = 0;
    s.nav.pitch = int2deg(n->pitch);
    s.nav.yaw = int2deg(n->yaw);
    s.nav.roll = int2deg(n->roll);
    s.gamma_init = n->gamma / 100.0;
    s.gamma_dot = n->gamdot / 100.0;
    s.atms_hght = 0;
    s.ref = {90001, int2deg(171537)};
    s.earth_rot = kSiderealPerMin;
    s.prec_veq = 0;
    g_nav.spin = s;
    g_nav.kind = AREA_NAV_SPIN;
    print_spin(g_nav.spin);
    return 0;
}

// Mean anomaly at the epoch (degrees, 0..360) of the orbit's anomaly word.
double epoch_mean_anomaly(const goes_orbit& o) {
    double m0 = o.anomaly;
    if (o.anom_type != 0) {
        double e = o.eccent;
        double v = o.anomaly * kDtr;
        double c = std::clamp((e + std::cos(v)) / (1.0 + e * std::cos(v)), -1.0, 1.0);
        double big_e = std::acos(c);
        // acos only answers for the half orbit from perigee to apogee; past
        // apogee (sin v < 0) the eccentric anomaly is the mirrored one.
        if (std::sin(v) < 0) big_e = kTwoPi - big_e;
        m0 = (big_e - e * std::sin(big_e)) * kRtd;
    }
    return reduce(m0, 360.0);
}

// Motions of an orbit: Kepler mean motion and the anomalistic one (rad/min),
// perigee and node rates (deg/min), and sqrt(1 - e^2).
struct OrbitRates {
    double mean_mot = 0;
    double mot = 0;
    double dw = 0;
    double dnode = 0;
    double ecc_fac = 0;
};

OrbitRates orbit_rates(const goes_orbit& o) {
    OrbitRates r;
    double e = o.eccent;
    r.ecc_fac = std::sqrt(1.0 - e * e);
    r.mean_mot = std::pow(kEqRad / o.semi_maj, 1.5) * kGravity;
    r.mot = r.mean_mot;
    if (o.sec_ord != 0) {
        double semi_latus = o.semi_maj / kEqRad * r.ecc_fac * r.ecc_fac;
        double p2 = semi_latus * semi_latus;
        double si = std::sin(o.inclin * kDtr);
        r.mot = r.mean_mot * (1.0 + kJ2 * r.ecc_fac / p2 * (1.0 - 1.5 * si * si));
        r.dw = (2.0 - 2.5 * si * si) * kJ2 / p2 * r.mot * kRtd;
        r.dnode = -kJ2 * std::cos(o.inclin * kDtr) / p2 * r.mot * kRtd;
    }
    return r;
}

// Orbit constants at the first AREA_pos after AREA_init.
void derive_orbit(SpinScan& s) {
    goes_orbit& o = s.orb;
    OrbitDerived& d = s.orbit;
    o.sat_type = std::abs(o.sat_type);
    datim epoch{mdcon(1, o.epoch_date), int2deg(o.epoch_time)};
    double m0 = epoch_mean_anomaly(o);
    OrbitRates r = orbit_rates(o);
    d.ecc_fac = r.ecc_fac;
    d.mot = r.mot;
    d.dw = r.dw;
    d.dnode = r.dnode;
    o.period = kTwoPi / r.mean_mot;
    o.anom_per = kTwoPi / d.mot;
    o.nodal_per = o.anom_per;

    // Perigee passage: hours on the epoch day, moved to whole days. A
    // Kepler orbit of any block puts it less than 90 years away; the bound
    // only keeps the conversion to whole days defined for very slow
    // perturbed motions.
    constexpr double kMaxHours = 24.0 * 366.0 * 10000.0;
    double t = std::clamp(epoch.tim + m0 * kDtr / (d.mot * -60.0), -kMaxHours, kMaxHours);
    double sign = t < 0 ? -1.0 : 1.0;
    long long days = static_cast<long long>(sign * (std::fabs(t) / 24.0 + 1.0));
    if (t >= 0) days -= 1;
    t -= 24.0 * static_cast<double>(days);
    d.perigee.date = add_days(epoch.date, days);
    d.perigee.tim = int2deg(deg2int(t));
    double from_epoch = timdif(epoch.date, epoch.tim, d.perigee.date, d.perigee.tim);
    d.w0 = reduce(o.perigee + d.dw * from_epoch, 360.0);
    d.node0 = reduce(o.asc_node + d.dnode * from_epoch, 360.0);
    d.planes = false;
    d.ready = true;
}

void orbit_planes(SpinScan& s, double minutes) {
    OrbitDerived& d = s.orbit;
    double w = (d.dw * minutes + d.w0) * kDtr;
    double node = (d.dnode * minutes + d.node0) * kDtr;
    double inc = s.orb.inclin * kDtr;
    double cw = std::cos(w), sw = std::sin(w), cn = std::cos(node), sn = std::sin(node);
    double ci = std::cos(inc), si = std::sin(inc);
    d.p = {cw * cn - sw * sn * ci, cw * sn + sw * cn * ci, sw * si};
    d.q = {-sw * cn - cw * sn * ci, -sw * sn + cw * cn * ci, cw * si};
    d.planes = true;
}

pt spin_position(SpinScan& s, const datim& when, int coord) {
    if (!s.orbit.ready) derive_orbit(s);
    OrbitDerived& d = s.orbit;
    double m = timdif(d.perigee.date, d.perigee.tim, when.date, when.tim);
    if (s.orb.sec_ord != 0 || !d.planes) orbit_planes(s, m);
    double mean = std::fmod(d.mot * m, kTwoPi);
    double e = s.orb.eccent;
    double ecc_anom = mean;
    for (int i = 0; i < 20; ++i) {
        double next = e * std::sin(ecc_anom) + mean;
        double change = std::fabs(next - ecc_anom);
        ecc_anom = next;
        if (change < 1e-8) break;
    }
    double x = (std::cos(ecc_anom) - e) * s.orb.semi_maj;
    double y = std::sin(ecc_anom) * d.ecc_fac * s.orb.semi_maj;
    pt r{x * d.p.x + y * d.q.x, x * d.p.y + y * d.q.y, x * d.p.z + y * d.q.z};
    if (coord == 0) {
        double g = reduce((s.earth_rot - s.prec_veq) *
                              timdif(s.ref.date, s.ref.tim, when.date, when.tim),
                          kTwoPi);
        double cg = std::cos(g), sg = std::sin(g);
        r = {cg * r.x + sg * r.y, -sg * r.x + cg * r.y, r.z};
    }
    return r;
}

void derive_scan(SpinScan& s) {
    SpinScanDerived& d = s.scan;
    goes_navigate& n = s.nav;
    d.sensors = (n.num_lines / 100000) % 100;
    if (d.sensors < 1) d.sensors = 1;
    d.lines = (n.num_lines % 100000) * d.sensors;
    d.cen_elem = (n.num_elem + 1) / 2.0;
    d.rad_line = n.deg_line * kDtr / (d.lines - 1);
    d.rad_elem = n.deg_elem * kDtr / (n.num_elem - 1);
    double day_off = timdif(s.ref.date, s.ref.tim, s.sat_time.date, 0.0);
    double ra = reduce(n.right_asc * kDtr - (s.earth_rot - s.prec_veq) * day_off, kTwoPi);
    double dec = n.declin * kDtr;
    d.axis = {std::cos(dec) * std::cos(ra), std::cos(dec) * std::sin(ra), std::sin(dec)};
    double r = n.roll * kDtr, p = n.pitch * kDtr, y = n.yaw * kDtr;
    double cr = std::cos(r), sr = std::sin(r), cp = std::cos(p), sp = std::sin(p);
    double cy = std::cos(y), sy = std::sin(y);
    d.mis[0][0] = cr * cp;
    d.mis[0][1] = sy * sr * cp + cy * sp;
    d.mis[1][0] = -sr;
    d.mis[1][1] = sy * cr;
    d.mis[2][0] = -cr * sp;
    d.mis[2][1] = cy * cp - sy * sr * sp;
    d.ready = true;
}

// The scan frame of the pixel at (lin, ele): satellite position and the
// rotated frame axes.
struct ScanFrame {
    pt v, u, x, y, z;
};

ScanFrame scan_frame(SpinScan& s, double lin, double ele) {
    const SpinScanDerived& d = s.scan;
    int scan = (rnd(lin) - 1) / d.sensors;
    double frac = (ele - 1.0) / (s.nav.num_elem - 1) * s.nav.deg_elem / 360.0;
    double t = s.sat_time.tim + s.nav.spin_rate * (scan + frac);
    double gam = (t * s.gamma_dot + s.gamma_init) * d.rad_elem;
    double h = t * kEarthRotHour;
    ScanFrame f;
    f.v = spin_position(s, datim{s.sat_time.date, t}, 0);
    f.u = unit(f.v);
    double ch = std::cos(h), sh = std::sin(h);
    f.z = {ch * d.axis.x + sh * d.axis.y, -sh * d.axis.x + ch * d.axis.y, d.axis.z};
    double uz = dot(f.u, f.z);
    pt x0 = unit(pt{-(f.u.x - uz * f.z.x), -(f.u.y - uz * f.z.y), -(f.u.z - uz * f.z.z)});
    pt y0{f.z.y * x0.z - f.z.z * x0.y, f.z.z * x0.x - f.z.x * x0.z, f.z.x * x0.y - f.z.y * x0.x};
    double cg = std::cos(gam), sg = std::sin(gam);
    f.x = {x0.x * cg - y0.x * sg, x0.y * cg - y0.y * sg, x0.z * cg - y0.z * sg};
    f.y = {x0.x * sg + y0.x * cg, x0.y * sg + y0.y * cg, x0.z * sg + y0.z * cg};
    return f;
}

int scan_of(const SpinScan& s, double lin) { return (rnd(lin) - 1) / s.scan.sensors; }

int spin_to_earth(SpinScan& s, float* lat, float* lon, double lin, double ele) {
    const SpinScanDerived& d = s.scan;
    const auto& m = d.mis;
    ScanFrame f = scan_frame(s, lin, ele);
    double al = (lin - s.nav.center_line) * d.rad_line;
    double ae = (ele - d.cen_elem) * d.rad_elem;
    double cl = std::cos(al), sl = std::sin(al);
    double w[3] = {m[0][0] * cl - m[0][1] * sl, m[1][0] * cl - m[1][1] * sl,
                   m[2][0] * cl - m[2][1] * sl};
    double ce = std::cos(ae), se = std::sin(ae);
    double wx = ce * w[0] + se * w[1];
    double wy = -se * w[0] + ce * w[1];
    double wz = w[2];
    pt e{wx * f.x.x + wy * f.y.x + wz * f.z.x, wx * f.x.y + wy * f.y.y + wz * f.z.y,
         wx * f.x.z + wy * f.y.z + wz * f.z.z};
    double a = kEqRad + s.atms_hght, b = kPolRad + s.atms_hght;
    double q = (b * b) / (a * a);
    double qa = e.z * e.z * (1.0 - q) + q;
    double qb = 2.0 * ((e.x * f.v.x + e.y * f.v.y) * q + e.z * f.v.z);
    double qc = (f.v.x * f.v.x + f.v.y * f.v.y) * q + f.v.z * f.v.z - b * b;
    double disc = qb * qb - 4.0 * qa * qc;
    if (!(disc >= 1.0)) {
        *lat = *lon = kMissingF;
        return -1;
    }
    double k = -(qb + std::sqrt(disc)) / (2.0 * qa);
    pt p{f.v.x + k * e.x, f.v.y + k * e.y, f.v.z + k * e.z};
    double gclat = std::atan2(p.z, std::sqrt(p.x * p.x + p.y * p.y)) * kRtd;
    *lat = static_cast<float>(geolat(2, gclat));
    *lon = static_cast<float>(std::atan2(p.y, p.x) * kRtd);
    return 0;
}

// type 2 (earth to satellite) and type 3 (sub-point) of the spin-scan kind.
int spin_solve(SpinScan& s, int type, float* lat, float* lon, float* lin, float* ele) {
    const SpinScanDerived& d = s.scan;
    const auto& m = d.mis;
    double l = s.nav.center_line;
    double e = d.cen_elem;
    pt target{0, 0, 0};
    ScanFrame f{};
    if (type == 2 && !(std::fabs(*lat) <= 90.0 && std::isfinite(*lon))) {
        *lin = *ele = kMissingF;
        return -1;
    }
    for (int pass = 0; pass < 20; ++pass) {
        f = scan_frame(s, l, e);
        if (pass == 0 && type == 2) {
            double glat = geolat(1, *lat) * kDtr;
            double glon = *lon * kDtr;
            pt n{std::cos(glat) * std::cos(glon), std::cos(glat) * std::sin(glon), std::sin(glat)};
            double vlen = std::sqrt(dot(f.v, f.v));
            if (dot(n, f.u) < kMeanRad / vlen) {
                *lin = *ele = kMissingF;
                return -1;
            }
            double tn = std::tan(glat);
            double u = tn * tn;
            double rad = std::sqrt((u + 1.0) / (u * kEqRad * kEqRad + kPolRad * kPolRad)) *
                             kEqRad * kPolRad + s.atms_hght;
            target = {n.x * rad, n.y * rad, n.z * rad};
        }
        pt dir = unit(pt{target.x - f.v.x, target.y - f.v.y, target.z - f.v.z});
        double dx = dot(f.x, dir), dy = dot(f.y, dir), dz = dot(f.z, dir);
        double rr = m[2][0] * m[2][0] + m[2][1] * m[2][1] - dz * dz;
        double beta = std::atan2(dz, std::sqrt(rr > 0 ? rr : 0.0)) - std::atan2(m[2][0], m[2][1]);
        double x = m[0][0] * std::cos(beta) + m[0][1] * std::sin(beta);
        double y = m[1][0] * std::cos(beta) + m[1][1] * std::sin(beta);
        double phi = std::atan2(dy, dx) - std::atan2(y, x);
        int old_scan = scan_of(s, l);
        l = s.nav.center_line - beta / d.rad_line;
        e = d.cen_elem - phi / d.rad_elem;
        if (!std::isfinite(l) || !std::isfinite(e) || std::fabs(l) > 1e9 || std::fabs(e) > 1e9)
            break;
        if (scan_of(s, l) == old_scan) break;
    }
    if (type == 3) {
        sp_pt sub{};
        sphere_cvt(1, &f.v, &sub);
        *lat = static_cast<float>(sub.lat);
        *lon = static_cast<float>(sub.lon);
        *lin = static_cast<float>(l);
        *ele = static_cast<float>(e);
        return 0;
    }
    if (l >= 1 && l <= d.lines && e >= 1 && e <= s.nav.num_elem) {
        *lin = static_cast<float>(l);
        *ele = static_cast<float>(e);
    } else {
        *lin = *ele = kMissingF;
    }
    return 0;
}

// ---- Three-axis --------------------------------------------------------

// Decodes `n` binary-coded decimal digits from the top of `word`; false when
// a nibble is not a decimal digit.
bool bcd_digits(unsigned int word, int first, int n, long long* out) {
    long long v = 0;
    for (int i = first; i < first + n; ++i) {
        unsigned int nib = (word >> (28 - 4 * i)) & 0xFu;
        if (nib > 9) return false;
        v = v * 10 + nib;
    }
    *out = v;
    return true;
}

bool bcd_valid(const unsigned int* epoch) {
    long long dummy = 0;
    return bcd_digits(epoch[0], 0, 8, &dummy) && bcd_digits(epoch[1], 0, 8, &dummy);
}

void load_gvar(gvar_navigate& r, const MC_nav_gvar& n) {
    constexpr double kAng = 10000000.0;
    std::memcpy(r.sttype, n.sttype, 4);
    r.idntfr = n.idntfr;
    r.imcact = n.imcact;
    r.reflon = n.reflon / kAng;
    r.refdis = n.refdis / kAng;
    r.reflat = n.reflat / kAng;
    r.refyaw = n.refyaw / kAng;
    r.ratrol = n.ratrol / kAng;
    r.ratptc = n.ratptc / kAng;
    r.ratyaw = n.ratyaw / kAng;
    unsigned int et[2] = {n.etime[0], n.etime[1]};
    r.epoch = time50(et);
    r.edtime = n.edtime / 100.0;
    r.imcrol = n.imcrol / kAng;
    r.imcptc = n.imcptc / kAng;
    r.imcyaw = n.imcyaw / kAng;
    for (int i = 0; i < 13; ++i) r.ldr[i] = n.ldr[i] / kAng;
    for (int i = 0; i < 11; ++i) r.rddr[i] = n.rddr[i] / kAng;
    for (int i = 0; i < 9; ++i) r.dgl[i] = n.dgl[i] / kAng;
    for (int i = 0; i < 9; ++i) r.doy[i] = n.doy[i] / kAng;
    r.solinc = n.solinc / kAng;
    r.exptim = n.exptim / 100.0;
    int words[55];
    std::memcpy(words, n.raawds, sizeof words);
    gatt_init(&r.raawds, words);
    std::memcpy(words, n.paawds, sizeof words);
    gatt_init(&r.paawds, words);
    std::memcpy(words, n.yaawds, sizeof words);
    gatt_init(&r.yaawds, words);
    std::memcpy(words, n.rmawds, sizeof words);
    gatt_init(&r.rmawds, words);
    std::memcpy(words, n.pmawds, sizeof words);
    gatt_init(&r.pmawds, words);
    int day = n.imgday;
    int tm = n.imgtm;
    r.imgtim = timex(day / 1000 + 1900, day % 1000, tm / 10000000, (tm % 10000000) / 100000,
                     static_cast<float>((tm % 100000) / 1000.0));
    r.imgsnd = n.imgsnd - 1;
}

int init_gvar(const MC_area* area) {
    const MC_nav_gvar* n = area->navgv;
    if (n == nullptr) return bad_block("GVAR", "navigation block missing");
    if (n->imgsnd != 1 && n->imgsnd != 2) return bad_block("GVAR", "unknown instrument");
    unsigned int et[2] = {n->etime[0], n->etime[1]};
    if (!bcd_valid(et)) return bad_block("GVAR", "epoch time is not decimal");
    if (!valid_yyddd(n->imgday)) return bad_block("GVAR", "image day out of range");
    if (n->imgtm < 0 || n->imgtm / 10000000 > 23)
        return bad_block("GVAR", "image time out of range");

    ThreeAxis& g = g_nav.gv;
    g = ThreeAxis{};
    load_gvar(g.rec, *n);
    g.instr = g.rec.imgsnd;
    set_gvar_con(g.instr, n->iofnc, n->iofni, n->iofec, n->iofei);
    g.imc = (n->imcact & 0x80) ? 0 : 1;
    g_nav.kind = AREA_NAV_GVAR;
    GVAR_init();
    bool finite = finite3(g.xs) && std::isfinite(g.q3) && std::isfinite(g.sublat) &&
                  std::isfinite(g.sublon) && std::isfinite(g.rma) && std::isfinite(g.pma);
    for (int i = 0; i < 3 && finite; ++i) finite = finite3(g.bt[i]);
    if (!finite) return bad_block("GVAR", "orbit or attitude terms not finite");
    if (g.q3 <= 0) return bad_block("GVAR", "satellite position inside the earth");
    return 0;
}

const InstrConst& cur_con() { return g_nav.gv.con[g_nav.gv.instr == 1 ? 1 : 0]; }

// ---- Map blocks --------------------------------------------------------

double pow10i(int e) {
    double v = 1;
    for (int i = 0; i < e; ++i) v *= 10;
    return v;
}

// Word i (counted from 0, word 0 being the type text) of a generic block.
struct NavWords {
    const MC_nav* n;
    std::int32_t operator[](int i) const { return n->words[i - 1]; }
};

// Each map block type turns its words into a MapGrid; false with a reason
// for values no projection can use.
using MapSetup = bool (*)(const MC_area*, MapGrid*, const char**);

// The common grid of the projection blocks: s map units per satellite
// pixel, map origin at satellite element e0 and line l0, lines growing
// southward (map y upward).
void set_grid(MapGrid* m, double s, double e0, double l0) {
    m->ax = s;
    m->xoff = -s * e0;
    m->ay = -s;
    m->yoff = s * l0;
}

bool setup_ps(const MC_area* a, MapGrid* m, const char** why) {
    const MC_nav_ps* n = a->navps;
    if (n->equrad <= 0 || n->spacing <= 0) {
        *why = "zero grid spacing or earth radius";
        return false;
    }
    if (std::abs(static_cast<double>(n->stdlat)) > 900000) {
        *why = "standard latitude out of range";
        return false;
    }
    double s = 63.71 * n->spacing / n->equrad;
    m->dom.proj = DOM_PSTEREO;
    m->dom.plat = static_cast<float>(n->stdlat / 10000.0);
    // Longitudes are stored west-positive; dividing by a negative scale
    // flips the sign in floating point, where a word of -2^31 has a negation.
    m->dom.plon = static_cast<float>(n->nrmlon / -10000.0);
    m->dom.param[0] = m->dom.plat;
    set_grid(m, s, n->npelem, n->npline);
    return true;
}

bool setup_merc(const MC_area* a, MapGrid* m, const char** why) {
    const NavWords w{a->nav};
    if (w[4] <= 0 || w[6] <= 0) {
        *why = "zero grid spacing or earth radius";
        return false;
    }
    double s = 63.713 * w[4] / w[6];
    m->dom.proj = DOM_MERC;
    m->dom.plat = 0;
    m->dom.plon = static_cast<float>(w[5] / -10000.0);
    set_grid(m, s, w[2], w[1]);
    return true;
}

bool lambert_lat_ok(double lat) { return std::fabs(lat) > 0.001 && std::fabs(lat) < 89.999; }

bool setup_lamb(const MC_area* a, MapGrid* m, const char** why) {
    const NavWords w{a->nav};
    if (w[5] <= 0 || w[7] <= 0) {
        *why = "zero grid spacing or earth radius";
        return false;
    }
    double t1 = w[3] / 10000.0, t2 = w[4] / 10000.0;
    if (!lambert_lat_ok(t1) || !lambert_lat_ok(t2) || (t1 > 0) != (t2 > 0)) {
        *why = "standard latitudes out of range";
        return false;
    }
    double s = 63.713 * w[5] / w[7];
    m->dom.proj = DOM_LAMB;
    m->dom.plat = static_cast<float>(w[11] / 10000.0);
    if (std::fabs(m->dom.plat) > 90.0f) {
        *why = "projection latitude out of range";
        return false;
    }
    m->dom.plon = static_cast<float>(w[6] / -10000.0);
    m->dom.param[0] = static_cast<float>(t1);
    m->dom.param[1] = static_cast<float>(t2);
    set_grid(m, s, w[2], w[1]);
    return true;
}

bool setup_rect(const MC_area* a, MapGrid* m, const char** why) {
    const NavWords w{a->nav};
    int ex[4] = {w[11], w[12], w[13], w[14]};  // exponents of w2, w4, w5, w6
    for (int& e : ex) {
        if (e == 0) e = 4;
        if (e < 0 || e > 9) {
            *why = "decimal exponent out of range";
            return false;
        }
    }
    double lat0 = w[2] / pow10i(ex[0]);
    double lon0 = w[4] / -pow10i(ex[1]);
    double step_e = w[5] / pow10i(ex[2]);
    double step_l = w[6] / pow10i(ex[3]);
    if (step_e == 0 || step_l == 0) {
        *why = "zero grid spacing";
        return false;
    }
    if (std::fabs(lat0) > 90 || std::fabs(lon0) > 360) {
        *why = "reference point out of range";
        return false;
    }
    // Longitudes grow eastward with the element; the reference column's
    // longitude is the projection longitude so that grids across the date
    // line stay continuous.
    m->dom.proj = DOM_LATLON;
    m->dom.plat = 0;
    m->dom.plon = static_cast<float>(lon0);
    m->ax = step_e;
    m->xoff = -step_e * w[3];
    m->ay = -step_l;
    m->yoff = lat0 + step_l * w[1];
    return true;
}

bool setup_moll(const MC_area* a, MapGrid* m, const char** why) {
    const NavWords w{a->nav};
    double s = 0;
    if (w[14] == 0x4B4D5050) {
        if (w[3] == 0 || w[6] == 0) {
            *why = "zero resolution";
            return false;
        }
        s = 0.7071 * w[6] / 1000.0 / (380.344 * w[3]);
    } else {
        s = 0.62 * w[3] / 1000.0;
    }
    if (s <= 0) {
        *why = "zero resolution";
        return false;
    }
    m->dom.proj = DOM_MOLL;
    m->dom.plat = 0;
    m->dom.plon = static_cast<float>(w[4] / -10000.0);
    set_grid(m, s, w[2], w[1]);
    return true;
}

bool setup_tanc(const MC_area* a, MapGrid* m, const char** why) {
    const MC_nav_tanc* n = a->navtanc;
    if (n->spacing <= 0) {
        *why = "zero grid spacing";
        return false;
    }
    double lat = n->stdlat / 10000.0;
    if (!lambert_lat_ok(lat)) {
        *why = "standard latitude out of range";
        return false;
    }
    double s = n->spacing / 1000000.0;
    m->dom.proj = DOM_LAMB;
    m->dom.plat = static_cast<float>(lat);
    m->dom.plon = static_cast<float>(n->stdlon / -10000.0);
    m->dom.param[0] = m->dom.param[1] = static_cast<float>(lat);
    set_grid(m, s, n->npelem / 10000.0, n->npline / 10000.0);
    return true;
}

// Meteosat: scan angles of a full disk of 2500 infrared pixels, satellite
// coordinates at twice that resolution. The slots of the PS layout carry
// the sub-satellite longitude (equrad slot) and the line origin (nrmlon,
// spacing and stdlat slots).
bool setup_msat(const MC_area* a, MapGrid* m, const char** /*why*/) {
    const MC_nav_ps* n = a->navps;
    constexpr double kStep = 0.0529848;
    m->dom.proj = DOM_SAT;
    m->dom.plat = 0;
    m->dom.plon = static_cast<float>(n->equrad / -10000.0);
    m->dom.param[0] = 421.64f;
    m->dom.param[1] = 1.0f;
    m->dom.ellipse = 1;
    m->ax = -kStep / 2;
    m->xoff = 1250.5 * kStep;
    m->ay = -kStep / 2;
    m->yoff = (static_cast<double>(n->nrmlon) - n->spacing + n->stdlat) * kStep;
    return true;
}

struct MapType {
    const char* name;
    int cmp;          // characters compared
    MapSetup setup;
    bool uses_ps;     // block in navps
    bool uses_tanc;   // block in navtanc
};

constexpr MapType kMapTypes[] = {
    {"PS", 2, setup_ps, true, false},     {"MSAT", 4, setup_msat, true, false},
    {"MOLL", 4, setup_moll, false, false}, {"RECT", 4, setup_rect, false, false},
    {"MERC", 4, setup_merc, false, false}, {"LAMB", 4, setup_lamb, false, false},
    {"TANC", 4, setup_tanc, false, true},
};

int init_map(const MC_area* area, const MapType& t) {
    const void* block = t.uses_ps ? static_cast<const void*>(area->navps)
                        : t.uses_tanc ? static_cast<const void*>(area->navtanc)
                                      : static_cast<const void*>(area->nav);
    if (block == nullptr) return bad_block(t.name, "navigation block missing");
    MapGrid m;
    clear_domain(&m.dom);
    const char* why = "";
    if (!t.setup(area, &m, &why)) return bad_block(t.name, why);
    // A one-point domain at the projection point: enough for the transforms
    // and harmless for the limits.
    m.dom.clat = m.dom.plat;
    m.dom.clon = m.dom.plon;
    m.dom.nx = m.dom.ny = 1;
    m.dom.dx = m.dom.dy = 1;
    if (!std::isfinite(m.ax) || !std::isfinite(m.ay) || !std::isfinite(m.xoff) ||
        !std::isfinite(m.yoff))
        return bad_block(t.name, "grid terms not finite");
    g_nav.map = m;
    g_nav.kind = AREA_NAV_MAP;
    return 0;
}

// Runs `fn` with the map block's projection active and restores the
// caller's domain afterwards.
template <typename Fn>
int with_map_domain(Fn fn) {
    Domain saved{};
    MAP_get_domain(&saved);
    MAP_domain(&g_nav.map.dom);
    int r = fn();
    MAP_domain(&saved);
    return r;
}

}  // namespace

// ===== Entry points ======================================================

namespace {
void keep_bytes(std::vector<unsigned char>& v, const void* p, std::size_t n) {
    v.insert(v.end(), static_cast<const unsigned char*>(p), static_cast<const unsigned char*>(p) + n);
}
}  // namespace

std::vector<unsigned char> AREA_nav_key() {
    std::vector<unsigned char> key = g_nav.block;
    keep_bytes(key, &g_nav.kind, sizeof g_nav.kind);
    for (const float f : {g_nav.lcor, g_nav.ecor, g_nav.lres, g_nav.eres}) keep_bytes(key, &f, sizeof f);
    return key;
}

int AREA_init(MC_area* area) {
    g_nav.kind = AREA_NAV_NONE;
    g_nav.spin.scan.ready = false;
    g_nav.spin.orbit.ready = false;
    if (area == nullptr || area->dir == nullptr) {
        MESS_print(M_warn, "AREA_init: No AREA directory\n");
        return -1;
    }
    const MC_area_dir* d = area->dir;
    float lres = static_cast<float>(d->lres);
    float eres = static_cast<float>(d->eres);
    if (d->lres == 0 || d->eres == 0 || d->lres > 100000 || d->eres > 100000) {
        MESS_print(M_warn, "AREA_init: Invalid image resolution %ux%u, taken as 1\n", d->eres,
                   d->lres);
        if (d->lres == 0 || d->lres > 100000) lres = 1;
        if (d->eres == 0 || d->eres > 100000) eres = 1;
    }
    g_nav.lres = lres;
    g_nav.eres = eres;
    g_nav.ecor = static_cast<float>(d->ecor);
    g_nav.lcor = static_cast<float>(d->lcor);
    g_nav.block.clear();
    const auto keep = [](const void* b, std::size_t n) {
        if (b) g_nav.block.assign(static_cast<const unsigned char*>(b), static_cast<const unsigned char*>(b) + n);
    };
    if (area->navgv)
        keep(area->navgv, sizeof(MC_nav_gvar));
    else if (area->navg)
        keep(area->navg, sizeof(MC_nav_goes));
    else if (area->navps)
        keep(area->navps, sizeof(MC_nav_ps));
    else if (area->navtanc)
        keep(area->navtanc, sizeof(MC_nav_tanc));
    else if (area->nav)
        keep(area->nav, sizeof(MC_nav));
    const std::int32_t scan = static_cast<std::int32_t>(d->startscan);
    keep_bytes(g_nav.block, &scan, sizeof scan);

    if (std::strncmp(area->type, "GOES", 4) == 0) {
        g_nav.lcor = static_cast<float>(static_cast<double>(d->lcor) - d->startscan);
        return init_spin(area);
    }
    if (std::strncmp(area->type, "GVAR", 4) == 0) return init_gvar(area);
    for (const MapType& t : kMapTypes)
        if (std::strncmp(area->type, t.name, t.cmp) == 0) return init_map(area, t);
    MESS_print(M_warn, "AREA_init: Unknown navigation type, image is not navigated\n");
    return 0;
}

int AREA_get_kind() { return g_nav.kind; }

int AREA_tran(int type, float* lat, float* lon, float* lin, float* ele) {
    if (g_nav.kind != AREA_NAV_SPIN && g_nav.kind != AREA_NAV_GVAR) return 0;
    if (type < 1 || type > 3 || lat == nullptr || lon == nullptr || lin == nullptr ||
        ele == nullptr)
        return -1;
    if (g_nav.kind == AREA_NAV_GVAR) {
        switch (type) {
            case 1:
                sat2earth(*lin, *ele, lat, lon);
                break;
            case 2:
                earth2sat(*lat, *lon, lin, ele);
                break;
            default:
                GVAR_subpoint(lat, lon);
                break;
        }
        return 0;
    }
    SpinScan& s = g_nav.spin;
    if (!s.scan.ready) derive_scan(s);
    if (type == 1) {
        if (!std::isfinite(*lin) || !std::isfinite(*ele)) {
            *lat = *lon = kMissingF;
            return -1;
        }
        return spin_to_earth(s, lat, lon, *lin, *ele);
    }
    return spin_solve(s, type, lat, lon, lin, ele);
}

namespace {

// Satellite line/element to image line/element (AREA_line_elem's reverse
// direction), shared by the point and the row forms.
inline void sat_to_image(float ilin, float iele, float* olin, float* oele) {
    *olin = (ilin - g_nav.lcor) / g_nav.lres + 1;
    *oele = (iele - g_nav.ecor) / g_nav.eres + 1;
}

}  // namespace

int AREA_line_elem(int type, float ilin, float iele, float* olin, float* oele) {
    if (type == 1) {
        *olin = g_nav.lcor - 1 + g_nav.lres * ilin;
        *oele = g_nav.ecor - 1 + g_nav.eres * iele;
    } else {
        sat_to_image(ilin, iele, olin, oele);
    }
    return 0;
}

int AREA_image_row(const float* lat, const float* lon, int n, float* line, float* elem) {
    if (lat == nullptr || lon == nullptr || line == nullptr || elem == nullptr || n <= 0) return 0;
    int done = 0;
    const bool gvar = g_nav.kind == AREA_NAV_GVAR;
    const bool spin = g_nav.kind == AREA_NAV_SPIN;
    for (int k = 0; k < n; ++k) {
        float la = lat[k], lo = lon[k], lin = kMissingF, ele = kMissingF;
        // The three-axis inverse is called directly: it is the remapper's
        // hottest path and, in this file, can be inlined into the loop.
        if (gvar)
            earth2sat(la, lo, &lin, &ele);
        else if (spin)
            AREA_tran(2, &la, &lo, &lin, &ele);
        if (is_missing(lin) || is_missing(ele)) {
            line[k] = kMissingF;
            elem[k] = kMissingF;
            continue;
        }
        sat_to_image(lin, ele, &line[k], &elem[k]);
        ++done;
    }
    return done;
}

int AREA_set_res(float ilcor, float iecor, float ilres, float ieres) {
    g_nav.lcor = ilcor;
    g_nav.ecor = iecor;
    g_nav.lres = (ilres == 0 || !std::isfinite(ilres)) ? 1.0f : ilres;
    g_nav.eres = (ieres == 0 || !std::isfinite(ieres)) ? 1.0f : ieres;
    return 0;
}

int AREA_pos(datim* sattim, int coord, pt* sat) {
    if (sat == nullptr) return -1;
    if (g_nav.kind != AREA_NAV_SPIN || sattim == nullptr) {
        *sat = pt{0, 0, 0};
        return -1;
    }
    *sat = spin_position(g_nav.spin, *sattim, coord);
    return 0;
}

int AREA_set_orbit_model(int anom_type, int sec_ord) {
    if (g_nav.kind != AREA_NAV_SPIN) return -1;
    goes_orbit o = g_nav.spin.orb;
    o.anom_type = anom_type;
    o.sec_ord = sec_ord;
    OrbitRates r = orbit_rates(o);
    if (!(std::isfinite(r.mot) && r.mot > 0 && std::isfinite(r.dw) && std::isfinite(r.dnode)))
        return -1;
    g_nav.spin.orb = o;
    g_nav.spin.orbit.ready = false;
    return 0;
}

int AREA_get_orbit(goes_orbit* orb) {
    if (orb == nullptr || g_nav.kind != AREA_NAV_SPIN) return -1;
    if (!g_nav.spin.orbit.ready) derive_orbit(g_nav.spin);
    *orb = g_nav.spin.orb;
    return 0;
}

int AREA_map_tran(int type, float* lat, float* lon, float* lin, float* ele) {
    if (lat == nullptr || lon == nullptr || lin == nullptr || ele == nullptr) return -1;
    const MapGrid& m = g_nav.map;
    if (g_nav.kind != AREA_NAV_MAP || (type != 1 && type != 2)) {
        if (type == 1) *lat = *lon = kMissingF;
        if (type == 2) *lin = *ele = kMissingF;
        return -1;
    }
    if (type == 1) {
        double x = m.xoff + m.ax * *ele;
        double y = m.yoff + m.ay * *lin;
        return with_map_domain([&] {
            int ok = MAP_untran(static_cast<float>(x), static_cast<float>(y), lat, lon);
            if (ok != 1 || is_missing(*lat) || !std::isfinite(*lat) || !std::isfinite(*lon)) {
                *lat = *lon = kMissingF;
                return -1;
            }
            *lon = static_cast<float>(wrap_lon(*lon));
            return 0;
        });
    }
    if (!(std::fabs(*lat) <= 90.0f) || !std::isfinite(*lon)) {
        *lin = *ele = kMissingF;
        return -1;
    }
    return with_map_domain([&] {
        float x = 0, y = 0;
        int ok = MAP_tran(*lat, *lon, &x, &y);
        if (ok != 1 || is_missing(x)) {
            *lin = *ele = kMissingF;
            return -1;
        }
        *ele = static_cast<float>((x - m.xoff) / m.ax);
        *lin = static_cast<float>((y - m.yoff) / m.ay);
        return 0;
    });
}

int AREA_map_domain(Domain* domain) {
    if (domain == nullptr) return -1;
    if (g_nav.kind != AREA_NAV_MAP) {
        clear_domain(domain);
        return -1;
    }
    *domain = g_nav.map.dom;
    domain->clat = domain->clon = kMissingF;
    domain->dx = domain->dy = kMissingF;
    domain->nx = domain->ny = kMissing;
    return 0;
}

// ===== Date, angle and geometry helpers =================================

int numyr(int year) { return leap(full_year(year)) ? 366 : 365; }

int numdy(int date1, int date2) {
    auto days = [](int date) {
        return days_to_year(full_year(date / 1000)) + date % 1000;
    };
    return static_cast<int>(days(date2) - days(date1));
}

double timdif(int date1, double time1, int date2, double time2) {
    return numdy(date1, date2) * 1440.0 + (time2 - time1) * 60.0;
}

int mdcon(int type, int date) {
    if (type == 1) {
        int year = date / 10000;
        int month = (date / 100) % 100;
        int day = date % 100;
        if (month < 1) month = 1;
        if (month > 12) month = 12;
        return year * 1000 + kCumDays[leap(full_year(year)) ? 1 : 0][month - 1] + day;
    }
    int year = date / 1000;
    int day = date % 1000;
    const int* cum = kCumDays[leap(full_year(year)) ? 1 : 0];
    if (day < 1) day = 1;
    if (day > cum[12]) day = cum[12];
    int month = 1;
    while (month < 12 && day > cum[month]) ++month;
    return year * 10000 + month * 100 + (day - cum[month - 1]);
}

double int2deg(int ang) {
    long long a = std::llabs(static_cast<long long>(ang));
    double v = static_cast<double>(a / 10000) + static_cast<double>((a / 100) % 100) / 60.0 +
               static_cast<double>(a % 100) / 3600.0;
    return ang < 0 ? -v : v;
}

int deg2int(double ang) {
    if (!std::isfinite(ang)) return 0;
    double a = std::fabs(ang) + 0.000138888;
    if (a > 200000.0) a = 200000.0;  // keeps DDDMMSS within an int
    int deg = static_cast<int>(a);
    double m = (a - deg) * 60.0;
    int min = static_cast<int>(m);
    int sec = static_cast<int>((m - min) * 60.0);
    int v = deg * 10000 + min * 100 + sec;
    return ang < 0 ? -v : v;
}

double geolat(int type, double lat) {
    double f2 = (1.0 - kFlat) * (1.0 - kFlat);
    double t = std::tan(lat * kDtr);
    return (type == 1 ? std::atan(t * f2) : std::atan(t / f2)) * kRtd;
}

int sphere_cvt(int type, pt* pnt, sp_pt* sph) {
    if (type != 1 || pnt == nullptr || sph == nullptr) return 0;
    sph->lat = std::atan2(pnt->z, std::sqrt(pnt->x * pnt->x + pnt->y * pnt->y)) * kRtd;
    sph->lon = std::atan2(pnt->y, pnt->x) * kRtd;
    sph->hgt = std::sqrt(dot(*pnt, *pnt));
    return 0;
}

int rnd(double x) {
    if (!std::isfinite(x)) return 0;
    constexpr double kMax = static_cast<double>(std::numeric_limits<int>::max());
    if (x >= kMax) return std::numeric_limits<int>::max();
    if (x <= -kMax) return -std::numeric_limits<int>::max();
    return static_cast<int>(x < 0 ? -std::floor(-x + 0.5) : std::floor(x + 0.5));
}

// ===== Three-axis navigation =============================================

int set_gvar_con(int instr, int nadnsc, int nadnsi, int nadewc, int nadewi) {
    if (instr != 0 && instr != 1) return -1;
    InstrConst& c = g_nav.gv.con[instr];
    c = kInstrDefault[instr];
    if (nadnsc != 0 && nadnsi != 0 && nadewc != 0 && nadewi != 0) {
        double ns = instr == 0 ? static_cast<double>(c.inc_max) * nadnsc + nadnsi
                               : static_cast<double>(c.inc_max) * (9 - nadnsc) - nadnsi;
        c.elev_bnds = ns * c.elev_inc;
        c.scan_bnds = (static_cast<double>(c.inc_max) * nadewc + nadewi) * c.scan_inc;
    }
    return 0;
}

int GVAR_init() {
    ThreeAxis& g = g_nav.gv;
    const gvar_navigate& r = g.rec;
    double lam = r.reflon;
    double phi = r.reflat;
    double psi = r.refyaw;
    g.roll = r.ratrol;
    g.pitch = r.ratptc;
    g.yaw = r.ratyaw;
    g.rma = g.pma = 0;
    double rad = r.refdis;
    double te = r.imgtim - r.epoch;
    if (g.imc == 1) {
        phi = psi = 0;
        double wa = kGvEarthRate * te;
        double s1 = std::sin(wa), c1 = std::cos(wa);
        double s2 = std::sin(2 * wa), c2 = std::cos(2 * wa);
        double s3 = std::sin(0.927 * wa), c3 = std::cos(0.927 * wa);
        double s4 = std::sin(1.9268 * wa), c4 = std::cos(1.9268 * wa);
        const double* l = r.ldr;
        lam += l[0] + te * (l[1] + te * l[2]) +
               2 * (l[3] * s1 + l[4] * c1 + l[5] * s2 + l[6] * c2 + l[7] * s4 + l[8] * c4 +
                    l[9] * s3 + l[10] * c3 + te * (l[11] * s1 + l[12] * c1));
        const double* d = r.rddr;
        rad = d[0] + d[1] * c1 + d[2] * s1 + d[3] * c2 + d[4] * s2 + d[5] * c4 + d[6] * s4 +
              d[7] * c3 + d[8] * s3 + te * (d[9] * c1 + d[10] * s1);
        const double* gl = r.dgl;
        double dlat = gl[0] + gl[1] * c1 + gl[2] * s1 + gl[3] * c2 + gl[4] * s2 +
                      te * (gl[5] * c1 + gl[6] * s1) + gl[7] * c3 + gl[8] * s3;
        phi = dlat * (1 + dlat * dlat / 6);
        const double* y = r.doy;
        double dyaw = y[0] + y[1] * s1 + y[2] * c1 + y[3] * s2 + y[4] * c2 +
                      te * (y[5] * s1 + y[6] * c1) + y[7] * s3 + y[8] * c3;
        psi = dyaw * (1 + dyaw * dyaw / 6);
    }
    g.phi = phi;
    g.psi = psi;
    g.dr = rad;
    double sphi = std::sin(phi), spsi = std::sin(psi);
    double sa = spsi * spsi + sphi * sphi;
    double cb = std::sqrt(std::max(0.0, 1 - sa));
    double sb = std::sqrt(sa);
    double u = (sphi == 0 && spsi == 0) ? 0.0 : std::atan2(sphi, spsi);
    double asc = lam - u;
    double su = std::sin(u), cu = std::cos(u), sasc = std::sin(asc), casc = std::cos(asc);
    g.sublat = std::atan(kGvK * std::tan(phi));
    g.sublon = asc + std::atan2(su * cb, cu);
    double b[3][3] = {
        {-su * casc - cb * cu * sasc, -sb * sasc, cb * su * sasc - cu * casc},
        {cb * cu * casc - su * sasc, sb * casc, -cu * sasc - cb * su * casc},
        {sb * cu, -cb, -sphi},
    };
    std::memcpy(g.b, b, sizeof b);
    double rn = (g.dr + kGvOrbit) / kGvEqRad;
    for (int i = 0; i < 3; ++i) g.xs[i] = -rn * g.b[i][2];
    g.q3 = kGvK * g.xs[2] * g.xs[2] + g.xs[1] * g.xs[1] + g.xs[0] * g.xs[0] - 1;
    if (g.imc == 1) {
        double wa = r.solinc * te;
        double te2 = te - r.exptim;
        g.roll += gatt(r.raawds, wa, te2);
        g.pitch += gatt(r.paawds, wa, te2);
        g.yaw += gatt(r.yaawds, wa, te2);
        g.rma = static_cast<float>(gatt(r.rmawds, wa, te2));
        g.pma = static_cast<float>(gatt(r.pmawds, wa, te2));
        g.roll += r.imcrol;
        g.pitch += r.imcptc;
        g.yaw += r.imcyaw;
    }
    inst2e(g.roll, g.pitch, g.yaw, g.b, g.bt);
    return 0;
}

double elev_delta() { return cur_con().elev_dln; }
double scan_delta() { return cur_con().scan_pix; }

double elev_line(int instr, double line) {
    const InstrConst& c = g_nav.gv.con[instr == 1 ? 1 : 0];
    return c.elev_bnds - (line - c.line_off) * c.elev_dln;
}

double scan_angle(int instr, double pixel) {
    const InstrConst& c = g_nav.gv.con[instr == 1 ? 1 : 0];
    return (pixel - 1) * c.scan_pix - c.scan_bnds;
}

int elev_scan2line_pix(float elev, float scan, float* line, float* elem) {
    const InstrConst& c = cur_con();
    *line = static_cast<float>((c.elev_bnds - elev) / c.elev_dln + c.line_off);
    *elem = static_cast<float>((c.scan_bnds + scan) / c.scan_pix + 1);
    return 0;
}

int lpoint(float elev, float scan, float* lat, float* lon) {
    const ThreeAxis& g = g_nav.gv;
    double e = elev, s = scan;
    double e2 = e - (std::tan(s) + 1 / std::cos(s)) * g.pma * std::sin(e) -
                g.rma * (1 - std::cos(e) / std::cos(s));
    double s2 = s + g.rma * std::sin(e);
    double gv[3] = {std::sin(s2), -std::cos(s2) * std::sin(e2), std::cos(s2) * std::cos(e2)};
    double u[3];
    for (int i = 0; i < 3; ++i)
        u[i] = g.bt[i][0] * gv[0] + g.bt[i][1] * gv[1] + g.bt[i][2] * gv[2];
    double q1 = u[0] * u[0] + u[1] * u[1] + kGvK * u[2] * u[2];
    double q2 = g.xs[0] * u[0] + g.xs[1] * u[1] + kGvK * g.xs[2] * u[2];
    double d = q2 * q2 - q1 * g.q3;
    if (std::fabs(d) < 1e-9) d = 0;
    if (!(d >= 0) || q1 == 0) {
        *lat = *lon = kMissingF;
        return 1;
    }
    double h = -(q2 + std::sqrt(d)) / q1;
    double p[3] = {g.xs[0] + h * u[0], g.xs[1] + h * u[1], g.xs[2] + h * u[2]};
    double z = p[2] / std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
    *lat = static_cast<float>(std::atan(kGvK * z / std::sqrt(1 - z * z)));
    *lon = static_cast<float>(std::atan2(p[1], p[0]));
    return 0;
}

int gpoint(float lat, float lon, float* elev, float* scan) {
    const ThreeAxis& g = g_nav.gv;
    double s = std::sin(static_cast<double>(lat));
    double t = kGvLatSeries * s * s;
    double f = ((0.375 * t - 0.5) * t + 1) * s / kGvK;
    double w = kGvK1 * f * f;
    double gg = (0.375 * w - 0.5) * w + 1;
    double cf = std::sqrt(1 - f * f);
    double q[3] = {std::cos(static_cast<double>(lon)) * cf * gg,
                   std::sin(static_cast<double>(lon)) * cf * gg, f * gg};
    double wv[3] = {q[0] - g.xs[0], q[1] - g.xs[1], q[2] - g.xs[2]};
    if (q[0] * wv[0] + q[1] * wv[1] + kGvK * q[2] * wv[2] > 0) {
        *elev = *scan = kMissingF;
        return 1;
    }
    double v[3];
    for (int j = 0; j < 3; ++j)
        v[j] = g.bt[0][j] * wv[0] + g.bt[1][j] * wv[1] + g.bt[2][j] * wv[2];
    double sc = std::atan(v[0] / std::sqrt(v[1] * v[1] + v[2] * v[2]));
    double el = -std::atan(v[1] / v[2]);
    // Without roll and pitch misalignment the corrections below add exact
    // zeros (their trigonometric factors are finite for |sc| < pi/2), so the
    // four extra trigonometric calls are skipped.
    if (g.rma == 0 && g.pma == 0) {
        *elev = static_cast<float>(el);
        *scan = static_cast<float>(sc);
        return 0;
    }
    // Each factor once: the compiler does not merge repeated math calls
    // while they may set errno.
    const double cel = std::cos(el), sel = std::sin(el), csc = std::cos(sc);
    double el2 = el + g.rma * (1 - cel / csc) + g.pma * sel * (std::tan(sc) + 1 / csc);
    double sc2 = sc - g.rma * sel;
    *elev = static_cast<float>(el2);
    *scan = static_cast<float>(sc2);
    return 0;
}

int sat2earth(float line, float elem, float* lat, float* lon) {
    const ThreeAxis& g = g_nav.gv;
    double l = line, e = elem;
    if (g.instr == 1) {
        l = (l + 9) / 10;
        e = (e + 9) / 10;
    }
    float elev = static_cast<float>(elev_line(g.instr, l));
    float scan = static_cast<float>(scan_angle(g.instr, e));
    float rlat = 0, rlon = 0;
    if (lpoint(elev, scan, &rlat, &rlon) != 0) {
        *lat = *lon = kMissingF;
        return -1;
    }
    *lat = static_cast<float>(rlat * kRtd);
    *lon = static_cast<float>(rlon * kRtd);
    return 0;
}

int earth2sat(float lat, float lon, float* line, float* elem) {
    if (!(lat >= -90.0f && lat <= 90.0f) || !std::isfinite(lon)) {
        *line = *elem = kMissingF;
        return -1;
    }
    float elev = 0, scan = 0;
    if (gpoint(static_cast<float>(lat * kDtr), static_cast<float>(lon * kDtr), &elev, &scan) != 0) {
        *line = *elem = kMissingF;
        return -1;
    }
    elev_scan2line_pix(elev, scan, line, elem);
    if (g_nav.gv.instr == 1) {
        *line = 10 * *line - 9;
        *elem = 10 * *elem - 9;
    }
    return 0;
}

double gatt(ang_wds parms, double wa, double te) {
    double att = parms.expn[2];
    // A zero time constant would divide by zero: the term is left out.
    if (te >= 0 && parms.expn[1] != 0) att += parms.expn[0] * std::exp(-te / parms.expn[1]);
    int ns = std::clamp(parms.nsinus, 0, 15);
    for (int i = 0; i < ns; ++i)
        att += parms.sinus[2 * i] * std::cos(i * wa + parms.sinus[2 * i + 1]);
    int nm = std::clamp(parms.nmsin, 0, 4);
    for (int i = 0; i < nm; ++i) {
        const mono_sin& m = parms.msin[i];
        att += m.sinus[0] * std::pow(wa - m.sinus[2], m.mord) * std::cos(m.ord * wa + m.sinus[1]);
    }
    return att;
}

int gatt_init(ang_wds* words, int* data) {
    constexpr double kAng = 10000000.0;
    words->expn[0] = data[0] / kAng;
    words->expn[1] = data[1] / 100.0;
    words->expn[2] = data[2] / kAng;
    words->nsinus = std::clamp(data[3], 0, 15);
    for (int i = 0; i < 30; ++i) words->sinus[i] = data[4 + i] / kAng;
    words->nmsin = std::clamp(data[34], 0, 4);
    for (int i = 0; i < 4; ++i) {
        const int* m = data + 35 + 5 * i;
        words->msin[i].ord = m[0];
        words->msin[i].mord = m[1];
        for (int k = 0; k < 3; ++k) words->msin[i].sinus[k] = m[2 + k] / kAng;
    }
    return 0;
}

int inst2e(double roll, double pitch, double yaw, double a[3][3], double at[3][3]) {
    double r = roll, p = pitch, y = yaw;
    double rm[3][3] = {
        {1 - (p * p + y * y) / 2, -y, p},
        {r * p + y, 1 - (y * y + r * r) / 2, -r},
        {y * r - p, p * y + r, 1 - (p * p + r * r) / 2},
    };
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            at[i][j] = a[i][0] * rm[0][j] + a[i][1] * rm[1][j] + a[i][2] * rm[2][j];
    return 0;
}

double time50(unsigned int* epoch) {
    long long year = 0, day = 0, h10 = 0, h1 = 0, mi = 0, se = 0, ms = 0;
    // Non-decimal nibbles read as their values; AREA_init rejects such blocks.
    auto digits = [](unsigned int word, int first, int n) {
        long long v = 0;
        for (int i = first; i < first + n; ++i) v = v * 10 + ((word >> (28 - 4 * i)) & 0xFu);
        return v;
    };
    year = digits(epoch[0], 0, 4);
    day = digits(epoch[0], 4, 3);
    h10 = digits(epoch[0], 7, 1);
    h1 = digits(epoch[1], 0, 1);
    mi = digits(epoch[1], 1, 2);
    se = digits(epoch[1], 3, 2);
    ms = digits(epoch[1], 5, 3);
    return timex(static_cast<int>(year), static_cast<int>(day), static_cast<int>(h10 * 10 + h1),
                 static_cast<int>(mi), static_cast<float>(se + ms / 1000.0));
}

double timex(int year, int day, int hour, int min, float sec) {
    long long j = (1461LL * year + 7011339) / 4 + day - ((year + 4899LL) / 100 * 3) / 4 - 2465022;
    return 1440.0 * static_cast<double>(j) + 60.0 * hour + min + sec / 60.0;
}

int GVAR_subpoint(float* lat, float* lon) {
    *lat = static_cast<float>(g_nav.gv.sublat * kRtd);
    *lon = static_cast<float>(wrap_lon(g_nav.gv.sublon * kRtd));
    return 0;
}
