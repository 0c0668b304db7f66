// Map projections of the one active domain: forward and inverse transforms
// for every projection code (earth projections and diagram kinds), limits,
// grid conversions, wind-direction rotation and station thinning.
//
// Earth distances are hundreds of kilometres on a sphere of radius 63.7122
// (the satellite view alone may use the ellipsoid 63.781368 / 63.56752).
// Computation is in double; the interface is float as every caller stores it.
#include "maptran.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <new>
#include <vector>

#include "tools.h"

namespace {

// pi as the package has always written it, so that results are reproducible
// to the last float bit across the package's programs.
constexpr double kPi = 3.1415926535898;
constexpr double DTR = kPi / 180.0;
constexpr double RTD = 180.0 / kPi;

constexpr double kEarthRad = 63.7122;     // mean radius
constexpr double kEarthMaj = 63.781368;   // equatorial semi-axis
constexpr double kEarthMin = 63.56752;    // polar semi-axis
constexpr double kSatRadDefault = 421.61; // geostationary orbit radius
constexpr double kKmPerDeg = 111.195;     // km per degree of great circle
constexpr double kMiss = kMissingF;

struct MapState {
    Domain dom{};
    MAP_limits limits{0.0f, 0.0f, 0.0f, 0.0f};
    MAP_limits view{0.0f, 1.0f, 0.0f, 1.0f};
    double earth_ratio2 = (kEarthMin / kEarthMaj) * (kEarthMin / kEarthMaj);

    // Satellite constants.
    double sat_rad = kSatRadDefault;
    double sat_rad2 = kSatRadDefault * kSatRadDefault;
    double sat_rad4 = sat_rad2 * sat_rad2;
    double sat2_earth2 = sat_rad2 - kEarthMaj * kEarthMaj;
    double sat_ratio = kMiss;  // kMiss: lazy constants not yet computed
    double earth_ratio = 0.0;

    // Projection constants, computed lazily after every domain change.
    double tlat1 = 60.0, tlat2 = 60.0;
    double xfactor = kMiss;  // cone constant (4) or diagram x factor
    double yfactor = 0.0;
    double scale = 1.0;      // hemisphere sign
    double mult = 0.0;       // polar stereographic / Lambert factor
    double y_ref = 0.0;      // skew-T reference height
    bool ready = false;      // earth-projection constants computed

    // Station thinning.
    int plot_limit = 0;
    std::vector<int> plot_grid;

    MapState() {
        DOM_init(&dom);
    }
};

MapState g_map;

bool is_miss(double v) { return v == kMiss; }

double wrap_once(double v, double half) {
    if (v > half) return v - 2.0 * half;
    if (v < -half) return v + 2.0 * half;
    return v;
}

void reset_lazy() {
    g_map.ready = false;
    g_map.xfactor = kMiss;
    g_map.sat_ratio = kMiss;
}

// The true or standard latitudes and the satellite distance of the domain
// just made active. They change only with a new domain (or, for Lambert,
// MAP_proj_coord); a bare change of the projection code keeps them.
void set_domain_constants() {
    const Domain& d = g_map.dom;
    switch (d.proj) {
        case DOM_PSTEREO:
            if (!is_missing(d.param[0]))
                g_map.tlat1 = d.param[0];
            else
                g_map.tlat1 = d.plat < 0.0f ? -60.0 : 60.0;
            break;
        case DOM_LAMB:
            if (!is_missing(d.param[0])) {
                g_map.tlat1 = d.param[0];
                // A lone first standard latitude makes a tangent cone.
                g_map.tlat2 = is_missing(d.param[1]) ? d.param[0] : d.param[1];
            } else {
                g_map.tlat1 = 30.0;
                g_map.tlat2 = 60.0;
            }
            break;
        case DOM_SAT:
            g_map.sat_rad = is_missing(d.param[0]) ? kSatRadDefault : d.param[0];
            g_map.sat_rad2 = g_map.sat_rad * g_map.sat_rad;
            g_map.sat_rad4 = g_map.sat_rad2 * g_map.sat_rad2;
            g_map.sat2_earth2 = g_map.sat_rad2 - kEarthMaj * kEarthMaj;
            break;
        default:
            break;
    }
}

// The derived constants of the earth projections. Computed on the first
// transform after a change and kept until the next change.
void setup_earth() {
    if (g_map.ready) return;
    Domain& d = g_map.dom;
    const double R = kEarthRad;
    switch (d.proj) {
        case DOM_PSTEREO:
            g_map.scale = d.plat >= 0.0f ? -1.0 : 1.0;
            g_map.mult = (1.0 + g_map.scale * std::sin(-g_map.tlat1 * DTR)) * R;
            break;
        case DOM_LAMB: {
            g_map.scale = d.plat >= 0.0f ? 1.0 : -1.0;
            // The cone is built for the pole side's hemisphere; standard
            // latitudes count from the equator towards that pole whatever
            // their sign, so a southern cone is the mirror of a northern one.
            const double t1 = std::fabs(g_map.tlat1), t2 = std::fabs(g_map.tlat2);
            double n;
            if (t1 != t2)
                n = (std::log(std::cos(t1 * DTR)) - std::log(std::cos(t2 * DTR))) /
                    (std::log(std::tan((45.0 - t1 / 2.0) * DTR)) -
                     std::log(std::tan((45.0 - t2 / 2.0) * DTR)));
            else
                n = std::cos((90.0 - t1) * DTR);
            g_map.xfactor = n;
            g_map.mult = std::cos(t1 * DTR) /
                         (std::pow(std::tan((45.0 - t1 / 2.0) * DTR), n) * n);
            break;
        }
        case DOM_ORTHO:
        case DOM_LAMBAZ:
            if (is_missing(d.plat)) d.plat = 0.0f;
            break;
        case DOM_SAT:
            g_map.sat_ratio = g_map.sat_rad / R;
            g_map.earth_ratio = R / g_map.sat_rad;
            break;
        default:
            break;
    }
    g_map.ready = true;
}

// Skew-T and tephigram factors depend on the limits and the view, both of
// which are known only after the limits have been set.
void setup_diagram() {
    if (!is_miss(g_map.xfactor)) return;
    const MAP_limits& L = g_map.limits;
    const MAP_limits& V = g_map.view;
    const double lw = L.x_max - L.x_min, lh = L.y_max - L.y_min;
    const double vw = V.x_max - V.x_min, vh = V.y_max - V.y_min;
    if (g_map.dom.proj == DOM_SKEWT) {
        const double vratio = vw != 0.0 ? vh / vw : 1.0;
        g_map.xfactor = lh != 0.0 ? lw * vratio / lh : 0.0;
        g_map.y_ref = L.y_min;
    } else {  // tephigram
        g_map.xfactor = lw != 0.0 ? vw / lw : 0.0;
        g_map.yfactor = lh != 0.0 ? vh / lh : 0.0;
    }
}

// Potential temperature of temperature t (K) at pressure p (hPa); -9999 when
// either is 0 or less.
double pot_temp(double t, double p) {
    if (t <= 0.0 || p <= 0.0) return kMiss;
    return t * std::pow(1000.0 / p, 0.286);
}

int not_visible(float* x, float* y) {
    *x = kMissingF;
    *y = kMissingF;
    return 0;
}

// ---- forward transforms of the earth projections --------------------------
// Each takes lat/lon in degrees (lon in [-180, 180]) and gives x/y.

int fwd_pstereo(double lat, double lon, double& x, double& y) {
    const double s = g_map.scale;
    if (s * lat > 75.0) lat = 75.0 * s;
    const double dl = (lon - g_map.dom.plon) * DTR;
    const double rho = g_map.mult * std::tan((s * lat + 90.0) * DTR / 2.0);
    x = rho * std::sin(dl);
    y = s * rho * std::cos(dl);
    return 1;
}

int fwd_latlon(double lat, double lon, double& x, double& y) {
    x = wrap_once(lon - g_map.dom.plon, 180.0);
    y = lat;
    return 1;
}

int fwd_merc(double lat, double lon, double& x, double& y) {
    const double R = kEarthRad;
    x = wrap_once(R * (lon - g_map.dom.plon) * DTR, 180.0 * R * DTR);
    lat = std::clamp(lat, -89.9, 89.9);
    y = -R * std::log(std::tan((45.0 - lat / 2.0) * DTR));
    return 1;
}

int fwd_lamb(double lat, double lon, double& x, double& y) {
    const double s = g_map.scale, n = g_map.xfactor;
    if (s > 0.0 && lat < -89.0) lat = -89.0;
    if (s < 0.0 && lat > 89.0) lat = 89.0;
    const double rho =
        g_map.mult * kEarthRad * std::pow(std::tan((45.0 - s * lat / 2.0) * DTR), n);
    double dl = lon - g_map.dom.plon;
    if (dl > 180.0) dl -= 360.0;
    else if (dl < -180.0) dl += 360.0;
    x = rho * std::sin(n * dl * DTR);
    y = -s * rho * std::cos(n * dl * DTR);
    return 1;
}

int fwd_ortho(double lat, double lon, double& x, double& y) {
    const double cp = std::cos(g_map.dom.plat * DTR), sp = std::sin(g_map.dom.plat * DTR);
    const double cl = std::cos(lat * DTR), sl = std::sin(lat * DTR);
    const double dl = (lon - g_map.dom.plon) * DTR;
    if (sp * sl + cp * cl * std::cos(dl) < 0.0) return 0;
    x = kEarthRad * cl * std::sin(dl);
    y = kEarthRad * (cp * sl - sp * cl * std::cos(dl));
    return 1;
}

int fwd_moll(double lat, double lon, double& x, double& y) {
    // Solve t + sin t = pi sin(lat) by Newton's method, t = 2 theta.
    double t = lat * DTR;
    const double k = kPi * std::sin(lat * DTR);
    for (int i = 0; i < 15; ++i) {
        const double den = 1.0 + std::cos(t);
        if (den == 0.0) break;  // at a pole t is already the answer
        const double step = -(t + std::sin(t) - k) / den;
        t += step;
        if (std::fabs(step) < 1e-10) break;
    }
    const double theta = t / 2.0;
    const double dl = wrap_once(lon - g_map.dom.plon, 180.0);
    x = std::fabs(lat) > 89.99 ? 0.0 : kEarthRad * dl / 90.0 * std::cos(theta);
    y = kEarthRad * std::sin(theta);
    return 1;
}

int fwd_lambaz(double lat, double lon, double& x, double& y) {
    const double pl = g_map.dom.plat * DTR, la = lat * DTR;
    const double dl = (lon - g_map.dom.plon) * DTR;
    const double c = std::sin(pl) * std::sin(la) + std::cos(pl) * std::cos(la) * std::cos(dl);
    if (c == -1.0) return 0;  // the antipode
    const double k = std::sqrt(2.0 / (1.0 + c));
    x = kEarthRad * k * std::cos(la) * std::sin(dl);
    y = kEarthRad * k * (std::cos(pl) * std::sin(la) - std::sin(pl) * std::cos(la) * std::cos(dl));
    return 1;
}

int fwd_sat(double lat, double lon, double& x, double& y) {
    const Domain& d = g_map.dom;
    const double dl = (lon - d.plon) * DTR;
    // Geocentric latitude phi, tan(phi) = (b/a)^2 tan(lat), taken through its
    // sine and cosine directly: this is the remapper's hottest line, and it
    // saves an atan, a tan and a sincos per point.
    double cphi = std::cos(lat * DTR), sphi = std::sin(lat * DTR);
    if (d.ellipse) {
        sphi *= g_map.earth_ratio2;
        const double h = std::sqrt(cphi * cphi + sphi * sphi);
        cphi /= h;
        sphi /= h;
    }
    // One cosine of the longitude difference serves the limb test and the
    // view vector (the compiler may not merge the calls itself while math
    // functions can set errno).
    const double cdl = std::cos(dl);
    if (cphi * cdl < g_map.earth_ratio) return 0;  // behind the limb
    const double r = d.ellipse
        ? kEarthMin / std::sqrt(1.0 - (1.0 - g_map.earth_ratio2) * cphi * cphi)
        : kEarthRad;
    const double dd = g_map.sat_rad - r * cphi * cdl;
    const double vy = r * std::sin(dl) * cphi;
    x = vy / dd;
    y = r * sphi / std::sqrt(dd * dd + vy * vy);
    if (d.param[1] == 1.0f) {  // scan angles instead of their tangents
        x = std::atan(x);
        y = std::atan(y);
    }
    x *= g_map.sat_rad;
    y *= g_map.sat_rad;
    return 1;
}

// ---- inverse transforms of the earth projections --------------------------

int inv_pstereo(double x, double y, double& lat, double& lon) {
    const double s = g_map.scale;
    const double rho = std::hypot(x, y);
    const double beta = (x == 0.0 && y == 0.0) ? 0.0 : RTD * std::atan2(x, s * y);
    lat = (2.0 * RTD * std::atan(rho / g_map.mult) - 90.0) * s;
    lon = g_map.dom.plon + beta;
    return 1;
}

int inv_latlon(double x, double y, double& lat, double& lon) {
    lon = wrap_once(g_map.dom.plon + x, 180.0);
    lat = y;
    return 1;
}

int inv_merc(double x, double y, double& lat, double& lon) {
    lon = wrap_once(g_map.dom.plon + x / (kEarthRad * DTR), 180.0);
    lat = 90.0 - 2.0 * RTD * std::atan(1.0 / std::exp(y / kEarthRad));
    return 1;
}

int inv_lamb(double x, double y, double& lat, double& lon) {
    const double s = g_map.scale, n = g_map.xfactor;
    const double rho = std::hypot(x, y);
    const double beta = (x == 0.0 && y == 0.0) ? 0.0 : RTD * std::atan2(x, -s * y);
    lat = -2.0 * s * RTD * std::atan(std::pow(rho / (kEarthRad * g_map.mult), 1.0 / n)) + 90.0 * s;
    lon = g_map.dom.plon + beta / n;
    return 1;
}

int inv_ortho(double x, double y, double& lat, double& lon) {
    const double R = kEarthRad;
    const double cp = std::cos(g_map.dom.plat * DTR), sp = std::sin(g_map.dom.plat * DTR);
    const double q = R * R - x * x - y * y;
    if (q < 0.0) return 0;
    const double sq = std::sqrt(q);
    lat = RTD * std::asin(std::clamp((cp * y + sp * sq) / R, -1.0, 1.0));
    lon = g_map.dom.plon + RTD * std::atan2(x, cp * sq - sp * y);
    return 1;
}

int inv_moll(double x, double y, double& lat, double& lon) {
    const double yr = y / kEarthRad;
    if (yr < -1.0 || yr > 1.0) return 0;
    const double theta = std::asin(yr);
    const double ct = std::cos(theta);
    double dl = ct > 0.0 ? 90.0 * x / (kEarthRad * ct) : 0.0;
    // Beyond the meridians of +-180 the point lies outside the ellipse; the
    // slack keeps points on the rim itself, which float rounding moves.
    constexpr double kRimSlack = 1e-4;
    if (dl < -180.0 - kRimSlack || dl > 180.0 + kRimSlack) return 0;
    dl = std::clamp(dl, -180.0, 180.0);
    const double t = (2.0 * theta + std::sin(2.0 * theta)) / kPi;
    if (t < -1.0 || t > 1.0) return 0;
    lon = g_map.dom.plon + dl;
    lat = RTD * std::asin(t);
    return 1;
}

int inv_lambaz(double x, double y, double& lat, double& lon) {
    const Domain& d = g_map.dom;
    const double rho = std::hypot(x, y);
    const double m = rho / (2.0 * kEarthRad);
    if (m > 1.0) return 0;
    if (rho < 1e-10) {
        lat = d.plat;
        lon = d.plon;
        return 1;
    }
    const double c = 2.0 * std::asin(m);
    const double pl = d.plat * DTR;
    const double sc = std::sin(c), cc = std::cos(c);
    const double sl = std::clamp(y * std::cos(pl) * sc / rho + std::sin(pl) * cc, -1.0, 1.0);
    lat = RTD * std::asin(sl);
    if (std::fabs(std::fabs(d.plat) - 90.0) < 1e-10) {
        lon = d.plat > 0.0f ? d.plon + RTD * std::atan2(x, -y) : d.plon - RTD * std::atan2(-x, y);
    } else {
        const double D = cc - std::sin(pl) * sl;
        lon = D != 0.0 ? d.plon + RTD * std::atan2(x * sc * std::cos(pl), D * rho) : d.plon;
    }
    return 1;
}

// The ray from the satellite along the scan angles a (east-west) and b
// (north-south) meets the earth's surface; both the sphere and the ellipsoid
// are solved this way so that the inverse undoes the forward transform
// exactly (the sphere is the ellipsoid with equal axes).
int inv_sat(double x, double y, double& lat, double& lon) {
    const Domain& d = g_map.dom;
    const double sr = g_map.sat_rad;
    double a, b;
    if (d.param[1] == 1.0f) {
        a = x / sr;
        b = y / sr;
    } else {
        a = std::atan(x / sr);
        b = std::atan(y / sr);
    }
    const double ca = std::cos(a), sa = std::sin(a), cb = std::cos(b), sb = std::sin(b);
    const double ratio2 = d.ellipse ? g_map.earth_ratio2 : 1.0;
    const double sat2_earth2 = d.ellipse ? g_map.sat2_earth2 : g_map.sat_rad2 - kEarthRad * kEarthRad;
    const double g = sb * sb / ratio2 + cb * cb;
    const double h = sr * ca * cb;
    const double q = h * h - sat2_earth2 * g;
    if (q < 0.0) return 0;  // the ray misses the earth
    const double k = (h - std::sqrt(q)) / g;
    const double X = sr - k * ca * cb, Y = k * sa * cb;
    lat = RTD * std::atan(k * sb / (ratio2 * std::hypot(X, Y)));
    lon = d.plon + RTD * std::atan(Y / X);
    return 1;
}

// Dispatch table of the earth projections (codes 1 to 9; 6 has none).
struct EarthProj {
    int code;
    int (*fwd)(double, double, double&, double&);
    int (*inv)(double, double, double&, double&);
};

constexpr EarthProj kEarthProjs[] = {
    {DOM_PSTEREO, fwd_pstereo, inv_pstereo},
    {DOM_LATLON, fwd_latlon, inv_latlon},
    {DOM_MERC, fwd_merc, inv_merc},
    {DOM_LAMB, fwd_lamb, inv_lamb},
    {DOM_ORTHO, fwd_ortho, inv_ortho},
    {DOM_MOLL, fwd_moll, inv_moll},
    {DOM_LAMBAZ, fwd_lambaz, inv_lambaz},
    {DOM_SAT, fwd_sat, inv_sat},
};

const EarthProj* find_earth(int code) {
    for (const auto& p : kEarthProjs)
        if (p.code == code) return &p;
    return nullptr;
}

bool is_earth(int code) { return code >= 1 && code <= 9; }

// ---- diagram kinds ----------------------------------------------------------

int fwd_diagram(double T, double p, double& x, double& y) {
    const MAP_limits& L = g_map.limits;
    const MAP_limits& V = g_map.view;
    switch (g_map.dom.proj) {
        case DOM_XY:
        case DOM_CAT:
            x = L.x_min + g_map.xfactor * (T - L.x_min);
            y = L.y_min + g_map.yfactor * (p - L.y_min);
            return 1;
        case DOM_XP:
            x = L.x_min + g_map.xfactor * (T - L.x_min);
            y = L.y_min + g_map.yfactor * (L.y_min - p);
            return 1;
        case DOM_XLOGP:
        case DOM_EMA:
            if (p <= 0.0) return 0;
            x = T;
            y = -std::log(p);
            return 1;
        case DOM_POLAR:
            x = p * std::sin(T * DTR);
            y = p * std::cos(T * DTR);
            return 1;
        case DOM_SKEWT:
            if (p <= 0.0) return 0;
            y = -std::log(p);
            if (g_map.xfactor == 0.0) {
                x = T;
            } else {
                setup_diagram();
                x = T + g_map.xfactor * (y - g_map.y_ref);
            }
            return 1;
        case DOM_STUVE:
            if (p < 0.0) return 0;
            x = T;
            y = -std::pow(p, 0.285714);
            return 1;
        case DOM_TEPH: {
            if (g_map.xfactor == 0.0) {  // limits being set up
                if (p <= 0.0) return 0;
                x = T;
                y = std::log(p);
                return 1;
            }
            setup_diagram();
            const double theta = pot_temp(is_miss(T) ? T : T + 273.15, p);
            if (is_miss(theta) || g_map.xfactor == 0.0 || g_map.yfactor == 0.0) return 0;
            const double X = g_map.xfactor * (T - L.x_min) + V.x_min;
            const double Y = g_map.yfactor * (std::log(theta) - L.y_min) + V.y_min;
            const double Xr = (Y - V.y_min) / 2.0 + (V.x_min + X) / 2.0;
            const double Yr = Y - (Xr - V.x_min);
            x = (Xr - V.x_min) / g_map.xfactor + L.x_min;
            y = (Yr - V.y_min) / g_map.yfactor + L.y_min;
            return 1;
        }
        case DOM_RTEPH: {
            const double theta = pot_temp(is_miss(T) ? T : T + 273.15, p);
            if (is_miss(theta)) return 0;
            x = T;
            y = std::log(theta);
            return 1;
        }
        case DOM_PIXEL:
            x = T;
            y = -p;
            return 1;
        default:  // kinds without a transform of their own are linear
            x = T;
            y = p;
            return 1;
    }
}

int inv_diagram(double x, double y, double& T, double& p) {
    const MAP_limits& L = g_map.limits;
    const MAP_limits& V = g_map.view;
    switch (g_map.dom.proj) {
        case DOM_XY:
        case DOM_CAT:
            if (g_map.xfactor == 0.0 || g_map.yfactor == 0.0 || is_miss(g_map.xfactor)) return 0;
            T = L.x_min + (x - L.x_min) / g_map.xfactor;
            p = L.y_min + (y - L.y_min) / g_map.yfactor;
            return 1;
        case DOM_XP:
            if (g_map.xfactor == 0.0 || g_map.yfactor == 0.0 || is_miss(g_map.xfactor)) return 0;
            T = L.x_min + (x - L.x_min) / g_map.xfactor;
            p = L.y_min - (y - L.y_min) / g_map.yfactor;
            return 1;
        case DOM_XLOGP:
        case DOM_EMA:
            T = x;
            p = std::exp(-y);
            return 1;
        case DOM_POLAR:
            T = (x == 0.0 && y == 0.0) ? 0.0 : RTD * std::atan2(x, y);
            if (T < 0.0) T += 360.0;
            p = std::hypot(x, y);
            return 1;
        case DOM_SKEWT:
            if (g_map.xfactor != 0.0) setup_diagram();
            T = x - (g_map.xfactor == 0.0 ? 0.0 : g_map.xfactor * (y - g_map.y_ref));
            p = std::exp(-y);
            return 1;
        case DOM_STUVE:
            if (y > 0.0) return 0;
            T = x;
            p = std::pow(-y, 3.5);
            return 1;
        case DOM_TEPH: {
            if (g_map.xfactor == 0.0) {
                T = x;
                p = std::exp(y);
                return 1;
            }
            setup_diagram();
            if (g_map.xfactor == 0.0 || g_map.yfactor == 0.0) return 0;
            const double Xr = g_map.xfactor * (x - L.x_min) + V.x_min;
            const double Yr = g_map.yfactor * (y - L.y_min) + V.y_min;
            const double Y = Yr + Xr - V.x_min;
            const double X = 2.0 * Xr - (Y - V.y_min) - V.x_min;
            T = (X - V.x_min) / g_map.xfactor + L.x_min;
            const double theta = std::exp((Y - V.y_min) / g_map.yfactor + L.y_min);
            p = 1000.0 * std::pow((T + 273.15) / theta, 3.5);
            return 1;
        }
        case DOM_RTEPH: {
            T = x;
            const double theta = std::exp(y);
            p = 1000.0 * std::pow((T + 273.15) / theta, 3.5);
            return 1;
        }
        case DOM_PIXEL:
            T = x;
            p = -y;
            return 1;
        default:
            T = x;
            p = y;
            return 1;
    }
}

bool finite_pair(double a, double b) { return std::isfinite(a) && std::isfinite(b); }

}  // namespace

// ---- domain -----------------------------------------------------------------

int MAP_domain(const Domain* domain) {
    if (domain == nullptr) {
        g_map.dom.proj = kMissing;
        reset_lazy();
        return -1;
    }
    g_map.dom = *domain;
    if (is_missing(g_map.dom.plat)) g_map.dom.plat = g_map.dom.clat;
    if (is_missing(g_map.dom.plon)) g_map.dom.plon = g_map.dom.clon;
    set_domain_constants();
    reset_lazy();
    g_map.earth_ratio2 = (kEarthMin / kEarthMaj) * (kEarthMin / kEarthMaj);
    MAP_set_limits();
    return 0;
}

Domain* MAP_get_domain(Domain* domain) {
    if (domain == nullptr) return &g_map.dom;
    *domain = g_map.dom;
    return domain;
}

int MAP_proj(int proj) {
    g_map.dom.proj = proj;
    reset_lazy();
    return 0;
}

int MAP_coord(float plat, float plon) {
    g_map.dom.plat = plat;
    g_map.dom.plon = plon;
    reset_lazy();
    return 0;
}

int MAP_proj_coord(float p1, float p2) {
    if (g_map.dom.proj == DOM_LAMB) {
        g_map.dom.param[0] = p1;
        g_map.dom.param[1] = p2;
        g_map.tlat1 = p1;
        // As for a domain: a lone first standard latitude makes a tangent cone.
        g_map.tlat2 = is_missing(p2) ? p1 : p2;
    }
    reset_lazy();
    return 0;
}

int MAP_get_proj() { return g_map.dom.proj; }
float MAP_get_clat() { return g_map.dom.clat; }
float MAP_get_clon() { return g_map.dom.clon; }
int MAP_print_domain() { return DOM_print(M_print, &g_map.dom); }
int MAP_proj_str(const char* name) { return DOM_proj_str(name); }

// ---- transforms ---------------------------------------------------------------

int MAP_tran(float lat, float lon, float* x, float* y) {
    const int code = g_map.dom.proj;
    if (is_missing(code)) {
        *x = lat;
        *y = lon;
        return 1;
    }
    if (code == DOM_GNOM) return 1;  // no transform: outputs left as they were
    if (is_earth(code)) {
        double dlon = lon;
        // fmod first: subtracting 360 from a huge value changes nothing.
        if (std::fabs(dlon) > 720.0) dlon = std::fmod(dlon, 360.0);
        while (dlon > 180.0) dlon -= 360.0;
        while (dlon < -180.0) dlon += 360.0;
        if (!std::isfinite(dlon) || !std::isfinite(static_cast<double>(lat)))
            return not_visible(x, y);
        setup_earth();
        const EarthProj* p = find_earth(code);
        double ox = 0.0, oy = 0.0;
        if (p == nullptr || !p->fwd(lat, dlon, ox, oy) || !finite_pair(ox, oy))
            return not_visible(x, y);
        *x = static_cast<float>(ox);
        *y = static_cast<float>(oy);
        return 1;
    }
    double ox = 0.0, oy = 0.0;
    if (!fwd_diagram(lat, lon, ox, oy) || !finite_pair(ox, oy)) return not_visible(x, y);
    *x = static_cast<float>(ox);
    *y = static_cast<float>(oy);
    return 1;
}

int MAP_untran(float x, float y, float* lat, float* lon) {
    const int code = g_map.dom.proj;
    if (is_missing(code) || code == DOM_GNOM) return 1;  // no inverse
    double olat = 0.0, olon = 0.0;
    if (is_earth(code)) {
        setup_earth();
        const EarthProj* p = find_earth(code);
        if (p == nullptr || !p->inv(x, y, olat, olon) || !finite_pair(olat, olon))
            return not_visible(lat, lon);
    } else if (!inv_diagram(x, y, olat, olon) || !finite_pair(olat, olon)) {
        return not_visible(lat, lon);
    }
    *lat = static_cast<float>(olat);
    *lon = static_cast<float>(olon);
    return 1;
}

// ---- row transforms -------------------------------------------------------------
// The image remapper converts whole rows of points. These loops do, point for
// point, exactly the arithmetic of MAP_untran and of MAP_tran followed by
// MAP_grid_untran, but choose the projection and its constants once per row
// and let the compiler inline the projection into the loop.

namespace {

using EarthFn = int (*)(double, double, double&, double&);

template <EarthFn Inv>
int inv_row(const float* xs, int n, float y, float* lat, float* lon) {
    int done = 0;
    for (int k = 0; k < n; ++k) {
        double olat = 0.0, olon = 0.0;
        if (!Inv(xs[k], y, olat, olon) || !finite_pair(olat, olon)) {
            lat[k] = kMissingF;
            lon[k] = kMissingF;
            continue;
        }
        lat[k] = static_cast<float>(olat);
        lon[k] = static_cast<float>(olon);
        ++done;
    }
    return done;
}

template <EarthFn Fwd>
int fwd_grid_row(const float* lat, const float* lon, int n, float* gx, float* gy) {
    const float x_min = g_map.limits.x_min, y_max = g_map.limits.y_max;
    const float dx = g_map.dom.dx, dy = g_map.dom.dy;
    int done = 0;
    for (int k = 0; k < n; ++k) {
        gx[k] = kMissingF;
        gy[k] = kMissingF;
        if (is_missing(lat[k])) continue;
        double dlon = lon[k];
        if (std::fabs(dlon) > 720.0) dlon = std::fmod(dlon, 360.0);
        while (dlon > 180.0) dlon -= 360.0;
        while (dlon < -180.0) dlon += 360.0;
        if (!std::isfinite(dlon) || !std::isfinite(static_cast<double>(lat[k]))) continue;
        double ox = 0.0, oy = 0.0;
        if (!Fwd(lat[k], dlon, ox, oy) || !finite_pair(ox, oy)) continue;
        const float x = static_cast<float>(ox), y = static_cast<float>(oy);
        if (is_missing(x)) continue;
        gx[k] = (x - x_min) / dx;
        gy[k] = (y_max - y) / dy;
        ++done;
    }
    return done;
}

struct EarthRow {
    int code;
    int (*inv)(const float*, int, float, float*, float*);
    int (*fwd_grid)(const float*, const float*, int, float*, float*);
};

constexpr EarthRow kEarthRows[] = {
    {DOM_PSTEREO, inv_row<inv_pstereo>, fwd_grid_row<fwd_pstereo>},
    {DOM_LATLON, inv_row<inv_latlon>, fwd_grid_row<fwd_latlon>},
    {DOM_MERC, inv_row<inv_merc>, fwd_grid_row<fwd_merc>},
    {DOM_LAMB, inv_row<inv_lamb>, fwd_grid_row<fwd_lamb>},
    {DOM_ORTHO, inv_row<inv_ortho>, fwd_grid_row<fwd_ortho>},
    {DOM_MOLL, inv_row<inv_moll>, fwd_grid_row<fwd_moll>},
    {DOM_LAMBAZ, inv_row<inv_lambaz>, fwd_grid_row<fwd_lambaz>},
    {DOM_SAT, inv_row<inv_sat>, fwd_grid_row<fwd_sat>},
};

const EarthRow* find_earth_row(int code) {
    for (const auto& r : kEarthRows)
        if (r.code == code) return &r;
    return nullptr;
}

}  // namespace

int MAP_untran_row(const float* xs, int n, float y, float* lat, float* lon) {
    if (xs == nullptr || lat == nullptr || lon == nullptr || n <= 0) return 0;
    const EarthRow* r = is_earth(g_map.dom.proj) ? find_earth_row(g_map.dom.proj) : nullptr;
    if (r != nullptr) {
        setup_earth();
        return r->inv(xs, n, y, lat, lon);
    }
    int done = 0;
    for (int k = 0; k < n; ++k) {
        lat[k] = kMissingF;
        lon[k] = kMissingF;
        done += MAP_untran(xs[k], y, &lat[k], &lon[k]) != 0;
    }
    return done;
}

int MAP_tran_grid_row(const float* lat, const float* lon, int n, float* gx, float* gy) {
    if (lat == nullptr || lon == nullptr || gx == nullptr || gy == nullptr || n <= 0) return 0;
    const bool grid_ok = g_map.dom.dx != 0.0f && g_map.dom.dy != 0.0f;
    const EarthRow* r = is_earth(g_map.dom.proj) ? find_earth_row(g_map.dom.proj) : nullptr;
    if (r != nullptr && grid_ok) {
        setup_earth();
        return r->fwd_grid(lat, lon, n, gx, gy);
    }
    int done = 0;
    for (int k = 0; k < n; ++k) {
        gx[k] = kMissingF;
        gy[k] = kMissingF;
        if (is_missing(lat[k])) continue;
        float x = 0.0f, y = 0.0f, cx = kMissingF, cy = kMissingF;
        if (MAP_tran(lat[k], lon[k], &x, &y) == 0 || MAP_grid_untran(x, y, &cx, &cy) != 0 ||
            is_missing(cx))
            continue;
        gx[k] = cx;
        gy[k] = cy;
        ++done;
    }
    return done;
}

int MAP_tran_ep(const EarthPoint* ep, Point* pt) {
    return MAP_tran(ep->lat, ep->lon, &pt->x, &pt->y);
}

int MAP_tran_pe(const Point* pt, EarthPoint* ep) {
    return MAP_untran(pt->x, pt->y, &ep->lat, &ep->lon);
}

int MAP_tran_center(float* x, float* y) {
    return MAP_tran(g_map.dom.clat, g_map.dom.clon, x, y);
}

// ---- limits -------------------------------------------------------------------

int MAP_set_limits() {
    const Domain& d = g_map.dom;
    MAP_limits& L = g_map.limits;
    float x1 = 0.0f, y1 = 0.0f, x2 = 0.0f, y2 = 0.0f;
    if (is_earth(d.proj)) {
        float xc = 0.0f, yc = 0.0f;
        MAP_tran(d.clat, d.clon, &xc, &yc);
        const float hx = static_cast<float>((d.nx - 1) / 2.0 * d.dx);
        const float hy = static_cast<float>((d.ny - 1) / 2.0 * d.dy);
        L = MAP_limits{xc - hx, xc + hx, yc - hy, yc + hy};
        return 0;
    }
    switch (d.proj) {
        case DOM_SKEWT:
        case DOM_TEPH:
        case DOM_RTEPH: {
            g_map.xfactor = 0.0;
            g_map.yfactor = 0.0;
            float tx = 0.0f, ty = 0.0f;
            MAP_tran(d.clat, d.clon, &x1, &y1);
            MAP_tran(d.clat + d.dx, d.clon, &x2, &ty);
            MAP_tran(d.clat, d.clon + d.dy, &tx, &y2);
            g_map.xfactor = kMiss;
            break;
        }
        case DOM_POLAR:
            x1 = d.clat;
            y1 = d.clon;
            x2 = d.clat + d.dx;
            y2 = d.clon + d.dy;
            break;
        case DOM_XY:
        case DOM_CAT:
        case DOM_XP:
            x1 = d.clat;
            x2 = d.clat + static_cast<float>(d.nx);
            g_map.xfactor = d.dx != 0.0f ? static_cast<double>(d.nx) / d.dx : 0.0;
            g_map.yfactor = d.dy != 0.0f ? static_cast<double>(d.ny) / d.dy : 0.0;
            y1 = d.proj == DOM_XP ? -d.clon : d.clon;
            y2 = y1 + static_cast<float>(d.ny);
            break;
        default:
            MAP_tran(d.clat, d.clon, &x1, &y1);
            MAP_tran(d.clat + d.dx, d.clon + d.dy, &x2, &y2);
            break;
    }
    L = MAP_limits{std::min(x1, x2), std::max(x1, x2), std::min(y1, y2), std::max(y1, y2)};
    return 0;
}

int MAP_get_limits(MAP_limits* limits) {
    if (limits == nullptr) return -1;
    *limits = g_map.limits;
    return 0;
}

int MAP_set_view(const MAP_limits* view) {
    if (view == nullptr) return -1;
    g_map.view = *view;
    if (g_map.dom.proj == DOM_SKEWT || g_map.dom.proj == DOM_TEPH) g_map.xfactor = kMiss;
    return 0;
}

int MAP_get_up_left(float* x, float* y) {
    *x = g_map.limits.x_min;
    *y = g_map.limits.y_max;
    return 0;
}

int MAP_in_domain(float x, float y) {
    if (is_missing(g_map.dom.proj)) return 1;
    const MAP_limits& L = g_map.limits;
    return (x >= L.x_min && x <= L.x_max && y >= L.y_min && y <= L.y_max) ? 1 : 0;
}

int MAP_in_grid_domain(float x, float y) {
    if (is_missing(g_map.dom.proj)) return 1;
    const MAP_limits& L = g_map.limits;
    const float wx = 3.0f * g_map.dom.dx, wy = 3.0f * g_map.dom.dy;
    return (x >= L.x_min - wx && x <= L.x_max + wx && y >= L.y_min - wy && y <= L.y_max + wy) ? 1 : 0;
}

// ---- grid -----------------------------------------------------------------------

int MAP_grid_tran(float gx, float gy, float* x, float* y) {
    if (is_missing(gx)) {
        *x = kMissingF;
        *y = kMissingF;
        return -1;
    }
    *x = g_map.limits.x_min + g_map.dom.dx * gx;
    *y = g_map.limits.y_max - g_map.dom.dy * gy;
    return 0;
}

int MAP_grid_untran(float x, float y, float* gx, float* gy) {
    if (is_missing(x) || g_map.dom.dx == 0.0f || g_map.dom.dy == 0.0f) {
        *gx = kMissingF;
        *gy = kMissingF;
        return -1;
    }
    *gx = (x - g_map.limits.x_min) / g_map.dom.dx;
    *gy = (g_map.limits.y_max - y) / g_map.dom.dy;
    return 0;
}

int MAP_domain_tran(const Domain* d1, const Domain* d2, float x1, float y1, float* x2,
                    float* y2) {
    if (DOM_comp(d1, d2)) {
        *x2 = x1;
        *y2 = y1;
        return 1;
    }
    Domain saved;
    MAP_get_domain(&saved);
    const MAP_limits saved_view = g_map.view;
    float lat = kMissingF, lon = kMissingF;
    MAP_domain(d1);
    int ok = MAP_untran(x1, y1, &lat, &lon);
    MAP_domain(d2);
    if (ok)
        ok = MAP_tran(lat, lon, x2, y2);
    else
        not_visible(x2, y2);
    MAP_domain(&saved);
    g_map.view = saved_view;
    return ok;
}

int MAP_offset(float x, float y, float dir, float dist, float* xo, float* yo) {
    float lat = 0.0f, lon = 0.0f;
    if (!MAP_untran(x, y, &lat, &lon)) return not_visible(xo, yo);
    const double c = std::cos(lat * DTR);
    double nlon = lon;
    if (c != 0.0) nlon += std::sin(dir * DTR) * dist / (c * kKmPerDeg);
    const double nlat = lat + std::cos(dir * DTR) * dist / kKmPerDeg;
    return MAP_tran(static_cast<float>(nlat), static_cast<float>(nlon), xo, yo);
}

float MAP_factor(float lat, float /*lon*/) {
    switch (g_map.dom.proj) {
        case DOM_PSTEREO:
            return static_cast<float>(1.866 / (1.0 + std::sin(lat * DTR)));
        case DOM_LAMB:
            return is_missing(g_map.dom.param[2]) ? 1.0f : g_map.dom.param[2];
        default:
            return 1.0f;
    }
}

// ---- directions -------------------------------------------------------------------

float MAP_dir_adj(float dir, float x, float y) {
    const Domain& d = g_map.dom;
    switch (d.proj) {
        case DOM_PSTEREO: {
            const bool north = d.plat >= 0.0f;
            if (x == 0.0f && y == 0.0f) return north ? dir - d.plon : dir + d.plon;
            return static_cast<float>(north ? dir - RTD * std::atan2(x, -y) : dir + RTD * std::atan2(x, y));
        }
        case DOM_LAMB:
            setup_earth();
            return static_cast<float>(dir - RTD * std::atan2(x, -g_map.scale * y));
        case DOM_SAT: {
            float lat = 0.0f, lon = 0.0f, x2 = 0.0f, y2 = 0.0f;
            if (!MAP_untran(x, y, &lat, &lon)) return kMissingF;
            const double c = std::cos(lat * DTR);
            const double nlon = lon + (c != 0.0 ? std::sin(dir * DTR) / (c * kKmPerDeg) : 0.0);
            const double nlat = lat + std::cos(dir * DTR) / kKmPerDeg;
            if (!MAP_tran(static_cast<float>(nlat), static_cast<float>(nlon), &x2, &y2)) return kMissingF;
            return static_cast<float>(RTD * std::atan2(static_cast<double>(x2) - x, static_cast<double>(y2) - y));
        }
        default:
            return dir;
    }
}

float MAP_undir_adj(float dir, float x, float y) {
    const Domain& d = g_map.dom;
    switch (d.proj) {
        case DOM_PSTEREO: {
            const bool north = d.plat >= 0.0f;
            if (x == 0.0f && y == 0.0f) return north ? dir + d.plon : dir - d.plon;
            return static_cast<float>(north ? dir + RTD * std::atan2(x, -y) : dir - RTD * std::atan2(x, y));
        }
        case DOM_LAMB:
            setup_earth();
            return static_cast<float>(dir + RTD * std::atan2(x, -g_map.scale * y));
        default:
            return dir;
    }
}

float MAP_uvdir_adj(float /*u*/, float /*v*/, float x, float y) {
    if (g_map.dom.proj != DOM_PSTEREO) return 0.0f;
    return MAP_dir_adj(0.0f, x, y);
}

float MAP_dir(float x1, float y1, float x2, float y2) {
    double dir = RTD * std::atan2(static_cast<double>(x2) - x1, static_cast<double>(y2) - y1);
    if (g_map.dom.proj == DOM_PSTEREO) {
        if (g_map.dom.plat >= 0.0f)
            dir += RTD * std::atan2(x1, -y1);
        else
            dir -= RTD * std::atan2(x1, y1);
    }
    return static_cast<float>(dir);
}

// ---- station thinning -----------------------------------------------------------------

int MAP_set_plot_limit(int limit) {
    g_map.plot_limit = limit;
    return 0;
}

int MAP_plot_grid_init() {
    g_map.plot_grid.clear();
    const Domain& d = g_map.dom;
    if (d.nx <= 0 || d.ny <= 0) return -1;
    std::size_t n = static_cast<std::size_t>(d.nx) * static_cast<std::size_t>(d.ny);
    const int L = g_map.plot_limit;
    if (L > 1) n *= static_cast<std::size_t>(L) * static_cast<std::size_t>(L);
    if (n > (std::size_t{1} << 28)) return -1;  // a label grid this fine is a mistake
    try {
        g_map.plot_grid.assign(n, 0);
    } catch (const std::bad_alloc&) {
        g_map.plot_grid.clear();
        return -1;
    }
    return 0;
}

int MAP_plot_grid(float x, float y) {
    const int L = g_map.plot_limit;
    if (L == 0 || g_map.plot_grid.empty()) return 1;
    float gx = 0.0f, gy = 0.0f;
    if (MAP_grid_untran(x, y, &gx, &gy) != 0) return 0;
    const Domain& d = g_map.dom;
    if (!(gx >= 0.0f && gx <= d.nx - 1 && gy >= 0.0f && gy <= d.ny - 1)) return 0;
    if (L >= -1 && L < 1) return 1;
    long long cell;
    if (L < -1) {
        const int a = -L;
        cell = static_cast<long long>(gy / a) * d.nx + static_cast<long long>(gx / a);
    } else {
        cell = static_cast<long long>(gy * L) * d.nx * L + static_cast<long long>(gx * L);
    }
    if (cell < 0 || cell >= static_cast<long long>(g_map.plot_grid.size())) return 0;
    int& count = g_map.plot_grid[static_cast<std::size_t>(cell)];
    if (count > 0) return 0;
    ++count;
    return 1;
}
