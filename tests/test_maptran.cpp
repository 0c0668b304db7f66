// Map projections against PROJ's `proj` program (Debian proj-bin) and
// against values worked out by hand from the projection formulas.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "maptran.h"
#include "region.h"

namespace {

constexpr double kR = 6371220.0;           // the sphere the module uses, metres
constexpr double kUnit = 1.0e5;            // metres per projection unit
constexpr double kPiPkg = 3.1415926535898;  // the module's pi
constexpr double kDtr = kPiPkg / 180.0;
constexpr double kTolM = 50.0;              // agreement with PROJ, metres
constexpr double kSatRad = 421.61;          // default geostationary radius, units
constexpr double kMiss = -9999.0;

struct LL {
    double lat, lon;
};

Domain make_domain(int proj, float plat, float plon, float clat, float clon) {
    Domain d;
    DOM_init(&d);
    d.proj = proj;
    d.plat = plat;
    d.plon = plon;
    d.clat = clat;
    d.clon = clon;
    d.nx = 25;
    d.ny = 17;
    d.dx = d.dy = 1.0f;
    return d;
}

bool have_proj() { return std::system("command -v proj >/dev/null 2>&1") == 0; }

// Runs `proj <args>` (forward, or inverse with -I) over the pairs and returns
// its output pairs; "*" outputs (not projectable) come back as NaN.
std::vector<std::pair<double, double>> run_proj(const std::string& args,
                                                const std::vector<std::pair<double, double>>& in,
                                                bool inverse) {
    char name[] = "/tmp/geo_projXXXXXX";
    const int fd = mkstemp(name);
    EXPECT_GE(fd, 0);
    {
        std::ostringstream os;
        os.precision(12);
        for (const auto& p : in) os << p.first << ' ' << p.second << '\n';
        const std::string s = os.str();
        EXPECT_EQ(write(fd, s.data(), s.size()), static_cast<ssize_t>(s.size()));
        close(fd);
    }
    const std::string cmd = std::string("proj ") + (inverse ? "-I " : "") + "-f %.6f " + args + " " + name;
    std::vector<std::pair<double, double>> out;
    if (FILE* p = popen(cmd.c_str(), "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, p)) {
            char a[64] = {0}, b[64] = {0};
            if (std::sscanf(line, "%63s %63s", a, b) != 2) continue;
            const double x = a[0] == '*' ? NAN : std::atof(a);
            const double y = b[0] == '*' ? NAN : std::atof(b);
            out.emplace_back(x, y);
        }
        pclose(p);
    }
    unlink(name);
    EXPECT_EQ(out.size(), in.size()) << cmd;
    return out;
}

double wrap180(double d) {
    while (d > 180.0) d -= 360.0;
    while (d < -180.0) d += 360.0;
    return d;
}

// Ground distance in metres between two nearby latitude/longitude points.
double ground_m(double lat1, double lon1, double lat2, double lon2) {
    const double dlat = (lat1 - lat2) * 111195.0;
    const double dlon = wrap180(lon1 - lon2) * 111195.0 * std::cos(lat1 * kDtr);
    return std::hypot(dlat, dlon);
}

// How a projection's units relate to PROJ's metres.
enum class Conv { linear, latlon, sat_tan, sat_angle };

struct ProjCase {
    const char* label;
    Domain dom;
    std::string proj_args;
    Conv conv;
    double scale;  // metres per unit (linear); h in metres for the satellite
    std::vector<LL> points;
};

double to_metres(const ProjCase& c, double v) {
    switch (c.conv) {
        case Conv::linear: return v * c.scale;
        case Conv::latlon: return v * kR * kDtr;
        case Conv::sat_tan: return c.scale * std::atan(v / kSatRad);
        case Conv::sat_angle: return c.scale * v / kSatRad;
    }
    return NAN;
}

double from_metres(const ProjCase& c, double m) {
    switch (c.conv) {
        case Conv::linear: return m / c.scale;
        case Conv::latlon: return m / (kR * kDtr);
        case Conv::sat_tan: return kSatRad * std::tan(m / c.scale);
        case Conv::sat_angle: return kSatRad * m / c.scale;
    }
    return NAN;
}

std::vector<LL> grid(double lat0, double lat1, double dlat, double lon0, double lon1, double dlon) {
    std::vector<LL> v;
    for (double la = lat0; la <= lat1 + 1e-9; la += dlat)
        for (double lo = lon0; lo <= lon1 + 1e-9; lo += dlon) v.push_back({la, lo});
    return v;
}

// Points within `deg` degrees of great circle from (lat0, lon0).
std::vector<LL> cap(double lat0, double lon0, double deg) {
    std::vector<LL> v;
    for (const LL& p : grid(-85, 85, 5, -180, 175, 7.5)) {
        const double c = std::sin(lat0 * kDtr) * std::sin(p.lat * kDtr) +
                         std::cos(lat0 * kDtr) * std::cos(p.lat * kDtr) * std::cos((p.lon - lon0) * kDtr);
        if (std::acos(std::min(1.0, std::max(-1.0, c))) < deg * kDtr) v.push_back(p);
    }
    return v;
}

std::vector<ProjCase> proj_cases() {
    const std::string R = " +R=6371220";
    const double h_sphere = (kSatRad - 63.7122) * kUnit;
    const double h_ell = kSatRad * kUnit - 6378136.8;
    std::vector<ProjCase> cs;

    Domain ps = make_domain(DOM_PSTEREO, 60.0f, -105.0f, 40.0f, -100.0f);
    cs.push_back({"polar stereographic north", ps,
                  "+proj=stere +lat_0=90 +lat_ts=60 +lon_0=-105" + R, Conv::linear, kUnit,
                  grid(-10, 85, 5, -180, 170, 10)});
    Domain pss = make_domain(DOM_PSTEREO, -70.0f, 20.0f, -70.0f, 20.0f);
    cs.push_back({"polar stereographic south", pss,
                  "+proj=stere +lat_0=-90 +lat_ts=-60 +lon_0=20" + R, Conv::linear, kUnit,
                  grid(-85, 10, 5, -180, 170, 10)});
    Domain ps45 = ps;
    ps45.param[0] = 45.0f;
    cs.push_back({"polar stereographic true at 45N", ps45,
                  "+proj=stere +lat_0=90 +lat_ts=45 +lon_0=-105" + R, Conv::linear, kUnit,
                  grid(0, 85, 5, -180, 170, 20)});
    Domain ll = make_domain(DOM_LATLON, 0.0f, -100.0f, 0.0f, -100.0f);
    cs.push_back({"latitude-longitude", ll, "+proj=eqc +lon_0=-100" + R, Conv::latlon, 0.0,
                  grid(-90, 90, 10, -175, 175, 12.5)});
    Domain me = make_domain(DOM_MERC, 0.0f, -90.0f, 20.0f, -90.0f);
    cs.push_back({"Mercator", me, "+proj=merc +lon_0=-90" + R, Conv::linear, kUnit,
                  grid(-85, 85, 5, -175, 175, 12.5)});
    Domain lc = make_domain(DOM_LAMB, 40.0f, -100.0f, 40.0f, -100.0f);
    cs.push_back({"Lambert conformal 30/60 (defaults)", lc,
                  "+proj=lcc +lat_1=30 +lat_2=60 +lat_0=90 +lon_0=-100" + R, Conv::linear, kUnit,
                  grid(-30, 85, 5, -180, 170, 10)});
    Domain lc25 = lc;
    lc25.param[0] = lc25.param[1] = 25.0f;
    cs.push_back({"Lambert conformal tangent at 25N", lc25,
                  "+proj=lcc +lat_1=25 +lat_2=25 +lat_0=90 +lon_0=-100" + R, Conv::linear, kUnit,
                  grid(-30, 85, 5, -180, 170, 10)});
    Domain lcs = make_domain(DOM_LAMB, -40.0f, 140.0f, -30.0f, 135.0f);
    lcs.param[0] = -30.0f;
    lcs.param[1] = -60.0f;
    cs.push_back({"Lambert conformal south -30/-60", lcs,
                  "+proj=lcc +lat_1=-30 +lat_2=-60 +lat_0=-90 +lon_0=140" + R, Conv::linear, kUnit,
                  grid(-85, 30, 5, -180, 170, 10)});
    Domain orth = make_domain(DOM_ORTHO, 40.0f, -100.0f, 40.0f, -100.0f);
    cs.push_back({"orthographic", orth, "+proj=ortho +lat_0=40 +lon_0=-100" + R, Conv::linear, kUnit,
                  cap(40, -100, 85)});
    Domain mo = make_domain(DOM_MOLL, 0.0f, 10.0f, 0.0f, 10.0f);
    // The module's Mollweide is the standard one shrunk by sqrt(2) (x =
    // R lon/90 cos(theta), y = R sin(theta)), i.e. PROJ's on a sphere of
    // radius R/sqrt(2).
    cs.push_back({"Mollweide", mo, "+proj=moll +lon_0=10 +R=" + std::to_string(kR / std::sqrt(2.0)),
                  Conv::linear, kUnit, grid(-85, 85, 5, -165, 175, 10)});  // PROJ refuses the rim itself
    Domain la = make_domain(DOM_LAMBAZ, 45.0f, 10.0f, 45.0f, 10.0f);
    cs.push_back({"Lambert azimuthal equal-area", la, "+proj=laea +lat_0=45 +lon_0=10" + R,
                  Conv::linear, kUnit, cap(45, 10, 150)});
    Domain lan = make_domain(DOM_LAMBAZ, 90.0f, -100.0f, 90.0f, -100.0f);
    cs.push_back({"Lambert azimuthal equal-area, north pole", lan,
                  "+proj=laea +lat_0=90 +lon_0=-100" + R, Conv::linear, kUnit, grid(-40, 85, 5, -180, 170, 10)});
    Domain sat = make_domain(DOM_SAT, 0.0f, -75.0f, 0.0f, -75.0f);
    cs.push_back({"satellite view, sphere, tangent units", sat,
                  "+proj=geos +h=" + std::to_string(h_sphere) + " +lon_0=-75" + R, Conv::sat_tan,
                  h_sphere, cap(0, -75, 70)});
    Domain sata = sat;
    sata.param[1] = 1.0f;
    cs.push_back({"satellite view, sphere, scan angles", sata,
                  "+proj=geos +h=" + std::to_string(h_sphere) + " +lon_0=-75" + R, Conv::sat_angle,
                  h_sphere, cap(0, -75, 70)});
    Domain sate = make_domain(DOM_SAT, 0.0f, -137.2f, 0.0f, -137.2f);
    sate.ellipse = 1;
    sate.param[1] = 1.0f;
    cs.push_back({"satellite view, ellipsoid, scan angles", sate,
                  "+proj=geos +h=" + std::to_string(h_ell) + " +lon_0=-137.2 +a=6378136.8 +b=6356752",
                  Conv::sat_angle, h_ell, cap(0, -137.2, 70)});
    Domain sate2 = sate;
    sate2.param[1] = kMiss;
    sate2.plon = sate2.clon = 140.7f;
    cs.push_back({"satellite view, ellipsoid, tangent units", sate2,
                  "+proj=geos +h=" + std::to_string(h_ell) + " +lon_0=140.7 +a=6378136.8 +b=6356752",
                  Conv::sat_tan, h_ell, cap(0, 140.7, 70)});
    return cs;
}

void PrintTo(const ProjCase& c, std::ostream* os) { *os << c.label; }

class ProjVsProj : public ::testing::TestWithParam<ProjCase> {
protected:
    void SetUp() override {
        if (!have_proj()) GTEST_SKIP() << "PROJ's proj program not found";
    }
};

TEST_P(ProjVsProj, ForwardInverseAndRoundTripAgreeWithProj) {
    const ProjCase& c = GetParam();
    ASSERT_EQ(MAP_domain(&c.dom), 0);
    std::vector<std::pair<double, double>> in;
    for (const LL& p : c.points) in.emplace_back(p.lon, p.lat);
    const auto fwd = run_proj(c.proj_args, in, false);
    ASSERT_EQ(fwd.size(), in.size());

    int checked = 0;
    std::vector<std::pair<double, double>> inv_in;
    std::vector<std::size_t> inv_idx;
    for (std::size_t i = 0; i < c.points.size(); ++i) {
        const LL& p = c.points[i];
        float x = 0, y = 0;
        const int vis = MAP_tran(static_cast<float>(p.lat), static_cast<float>(p.lon), &x, &y);
        ASSERT_EQ(vis, 1) << c.label << " at " << p.lat << "," << p.lon;
        ASSERT_TRUE(std::isfinite(fwd[i].first)) << c.label << ": PROJ refused " << p.lat << "," << p.lon;
        EXPECT_NEAR(to_metres(c, x), fwd[i].first, kTolM) << c.label << " x at " << p.lat << "," << p.lon;
        EXPECT_NEAR(to_metres(c, y), fwd[i].second, kTolM) << c.label << " y at " << p.lat << "," << p.lon;

        // Back to the starting point.
        float lat = 0, lon = 0;
        ASSERT_EQ(MAP_untran(x, y, &lat, &lon), 1) << c.label;
        if (std::fabs(p.lat) < 89.0) {
            EXPECT_LT(ground_m(p.lat, p.lon, lat, lon), 5.0) << c.label << " round trip " << p.lat << "," << p.lon
                                                             << " -> " << lat << "," << lon;
        }
        inv_in.push_back(fwd[i]);
        inv_idx.push_back(i);
        ++checked;
    }
    EXPECT_GT(checked, 20) << c.label;

    // Inverse: PROJ's own inverse of its projected points against ours.
    const auto inv = run_proj(c.proj_args, inv_in, true);
    ASSERT_EQ(inv.size(), inv_in.size());
    for (std::size_t k = 0; k < inv.size(); ++k) {
        const double plon = inv[k].first, plat = inv[k].second;
        if (std::fabs(plat) > 89.0) continue;  // longitude is meaningless at a pole
        float lat = 0, lon = 0;
        ASSERT_EQ(MAP_untran(static_cast<float>(from_metres(c, inv_in[k].first)),
                             static_cast<float>(from_metres(c, inv_in[k].second)), &lat, &lon),
                  1)
            << c.label;
        EXPECT_LT(ground_m(plat, plon, lat, lon), kTolM)
            << c.label << " inverse of point " << inv_idx[k] << ": PROJ " << plat << "," << plon << " ours "
            << lat << "," << lon;
    }
}

INSTANTIATE_TEST_SUITE_P(AllEarthProjections, ProjVsProj, ::testing::ValuesIn(proj_cases()),
                         [](const ::testing::TestParamInfo<ProjCase>& i) {
                             std::string s = i.param.label;
                             for (char& ch : s)
                                 if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             return s;
                         });

class MapTran : public ::testing::Test {
protected:
    void SetUp() override {
        MAP_domain(nullptr);
        MAP_set_plot_limit(0);
    }
};

// Polar stereographic true at 60N: the pole is the origin and (60N, plon) lies
// R (1 + sin 60) tan 15 below it (worked from the projection formula).
TEST_F(MapTran, PolarStereographicPoleAndTrueLatitude) {
    Domain d = make_domain(DOM_PSTEREO, 90.0f, -105.0f, 60.0f, -105.0f);
    MAP_domain(&d);
    float x = 1, y = 1;
    EXPECT_EQ(MAP_tran(90.0f, 10.0f, &x, &y), 1);
    EXPECT_NEAR(x, 0.0, 1e-5);
    EXPECT_NEAR(y, 0.0, 1e-5);
    EXPECT_EQ(MAP_tran(60.0f, -105.0f, &x, &y), 1);
    const double expect_y = -63.7122 * (1.0 + std::sin(60.0 * kDtr)) * std::tan(15.0 * kDtr);
    EXPECT_NEAR(x, 0.0, 1e-5);
    EXPECT_NEAR(y, expect_y, 1e-4);
    float lat = 0, lon = 0;
    EXPECT_EQ(MAP_untran(x, y, &lat, &lon), 1);
    EXPECT_NEAR(lat, 60.0, 1e-4);
    EXPECT_NEAR(lon, -105.0, 1e-4);
    // Far into the other hemisphere the latitude is pulled back to 75S.
    float x75 = 0, y75 = 0, xa = 0, ya = 0;
    MAP_tran(-80.0f, -60.0f, &x, &y);
    MAP_tran(-75.0f, -60.0f, &x75, &y75);
    EXPECT_FLOAT_EQ(x, x75);
    EXPECT_FLOAT_EQ(y, y75);
    // Absurd inputs come back without hanging.
    EXPECT_EQ(MAP_tran(50.0f, 1e30f, &xa, &ya), 1);
    EXPECT_EQ(MAP_tran(50.0f, INFINITY, &xa, &ya), 0);
    EXPECT_EQ(MAP_tran(NAN, 0.0f, &xa, &ya), 0);
    // A longitude given as 255 is the same meridian as -105.
    MAP_tran(50.0f, 255.0f, &xa, &ya);
    MAP_tran(50.0f, -105.0f, &x, &y);
    EXPECT_NEAR(xa, x, 1e-4);
    EXPECT_NEAR(ya, y, 1e-4);
}

TEST_F(MapTran, LatLonMercatorWrapAndClamp) {
    Domain d = make_domain(DOM_LATLON, 0.0f, -100.0f, 0.0f, -100.0f);
    MAP_domain(&d);
    float x = 0, y = 0;
    MAP_tran(10.0f, 170.0f, &x, &y);  // 270 east of plon is 90 west of it
    EXPECT_FLOAT_EQ(x, -90.0f);
    EXPECT_FLOAT_EQ(y, 10.0f);
    float lat = 0, lon = 0;
    MAP_untran(-90.0f, 10.0f, &lat, &lon);
    EXPECT_FLOAT_EQ(lon, 170.0f);

    Domain m = make_domain(DOM_MERC, 0.0f, 0.0f, 0.0f, 0.0f);
    MAP_domain(&m);
    float x90 = 0, y90 = 0, x899 = 0, y899 = 0;
    MAP_tran(90.0f, 20.0f, &x90, &y90);
    MAP_tran(89.9f, 20.0f, &x899, &y899);
    EXPECT_FLOAT_EQ(y90, y899);
    EXPECT_TRUE(std::isfinite(y90));
}

// Satellite over (0, -75): the sub-point is the origin, a point 90 degrees
// away is behind the limb, and scan-angle output is sat_rad times the angle.
TEST_F(MapTran, SatelliteViewSubPointLimbAndScanAngle) {
    Domain d = make_domain(DOM_SAT, 0.0f, -75.0f, 0.0f, -75.0f);
    MAP_domain(&d);
    float x = 5, y = 5;
    EXPECT_EQ(MAP_tran(0.0f, -75.0f, &x, &y), 1);
    EXPECT_NEAR(x, 0.0, 1e-5);
    EXPECT_NEAR(y, 0.0, 1e-5);
    EXPECT_EQ(MAP_tran(0.0f, 15.0f, &x, &y), 0);
    EXPECT_FLOAT_EQ(x, -9999.0f);
    EXPECT_FLOAT_EQ(y, -9999.0f);
    float lat = 5, lon = 5;
    EXPECT_EQ(MAP_untran(0.0f, 0.0f, &lat, &lon), 1);
    EXPECT_NEAR(lat, 0.0, 1e-5);
    EXPECT_NEAR(lon, -75.0, 1e-5);
    // A ray that misses the earth.
    EXPECT_EQ(MAP_untran(80.0f, 0.0f, &lat, &lon), 0);
    EXPECT_FLOAT_EQ(lat, -9999.0f);

    // On the equator 30 degrees east the east-west scan angle is
    // atan(R sin 30 / (S - R cos 30)) (plane geometry of the equator).
    const double ang = std::atan(63.7122 * 0.5 / (kSatRad - 63.7122 * std::cos(30.0 * kDtr)));
    MAP_tran(0.0f, -45.0f, &x, &y);
    EXPECT_NEAR(x, kSatRad * std::tan(ang), 1e-4);
    d.param[1] = 1.0f;
    MAP_domain(&d);
    MAP_tran(0.0f, -45.0f, &x, &y);
    EXPECT_NEAR(x, kSatRad * ang, 1e-4);
    EXPECT_NEAR(y, 0.0, 1e-5);
}

// Lambert with equal standard latitudes 25 has cone constant cos 65: the
// angle between the images of two meridians 10 degrees apart is 10 cos 65.
TEST_F(MapTran, LambertTangentConeConstant) {
    Domain d = make_domain(DOM_LAMB, 25.0f, -95.0f, 38.0f, -97.0f);
    d.param[0] = d.param[1] = 25.0f;
    MAP_domain(&d);
    float x = 0, y = 0;
    MAP_tran(40.0f, -85.0f, &x, &y);
    const double angle = std::atan2(x, -y) / kDtr;
    EXPECT_NEAR(angle, 10.0 * std::cos(65.0 * kDtr), 1e-4);
    // Direction rotation uses the same angle and undoes itself.
    EXPECT_NEAR(MAP_dir_adj(90.0f, x, y), 90.0 - angle, 1e-3);
    EXPECT_NEAR(MAP_undir_adj(MAP_dir_adj(90.0f, x, y), x, y), 90.0, 1e-3);
}

// Changing only the code, the projection point or the standard latitudes
// of the active domain.
TEST_F(MapTran, PartialChangesOfTheActiveDomain) {
    Domain lc = make_domain(DOM_LAMB, 40.0f, -95.0f, 38.0f, -97.0f);
    MAP_domain(&lc);
    EXPECT_FLOAT_EQ(MAP_get_clat(), 38.0f);
    EXPECT_FLOAT_EQ(MAP_get_clon(), -97.0f);
    MAP_proj_coord(25.0f, 25.0f);
    float x = 0, y = 0;
    MAP_tran(40.0f, -85.0f, &x, &y);
    EXPECT_NEAR(std::atan2(x, -y) / kDtr, 10.0 * std::cos(65.0 * kDtr), 1e-4);
    Domain active;
    MAP_get_domain(&active);
    EXPECT_FLOAT_EQ(active.param[0], 25.0f);
    // A lone first standard latitude is a tangent cone here too, as it is for
    // a domain whose second parameter is unset.
    float xt = 0, yt = 0;
    MAP_proj_coord(25.0f, -9999.0f);
    MAP_tran(40.0f, -85.0f, &xt, &yt);
    EXPECT_NEAR(xt, x, 1e-4);
    EXPECT_NEAR(yt, y, 1e-4);

    Domain ps = make_domain(DOM_PSTEREO, 90.0f, -100.0f, 40.0f, -100.0f);
    MAP_domain(&ps);
    MAP_coord(90.0f, -80.0f);
    MAP_tran(50.0f, -80.0f, &x, &y);
    EXPECT_NEAR(x, 0.0, 1e-5);
    EXPECT_LT(y, 0.0f);

    Domain ll = make_domain(DOM_LATLON, 0.0f, 0.0f, 0.0f, 0.0f);
    MAP_domain(&ll);
    MAP_proj(DOM_MERC);
    EXPECT_EQ(MAP_get_proj(), DOM_MERC);
    MAP_tran(45.0f, 10.0f, &x, &y);
    EXPECT_NEAR(y, -63.7122 * std::log(std::tan(22.5 * kDtr)), 1e-4);
    EXPECT_NEAR(x, 63.7122 * 10.0 * kDtr, 1e-4);
}

TEST_F(MapTran, InvisiblePointsGiveMissing) {
    float x = 0, y = 0, lat = 0, lon = 0;
    Domain o = make_domain(DOM_ORTHO, 40.0f, -100.0f, 40.0f, -100.0f);
    MAP_domain(&o);
    EXPECT_EQ(MAP_tran(-40.0f, 80.0f, &x, &y), 0);  // the far side
    EXPECT_FLOAT_EQ(x, -9999.0f);
    EXPECT_EQ(MAP_untran(70.0f, 0.0f, &lat, &lon), 0);  // off the disk
    EXPECT_FLOAT_EQ(lon, -9999.0f);

    Domain l = make_domain(DOM_LAMBAZ, 0.0f, 0.0f, 0.0f, 0.0f);
    MAP_domain(&l);
    EXPECT_EQ(MAP_tran(0.0f, 180.0f, &x, &y), 0);  // the antipode
    EXPECT_EQ(MAP_untran(130.0f, 0.0f, &lat, &lon), 0);

    Domain m = make_domain(DOM_MOLL, 0.0f, 0.0f, 0.0f, 0.0f);
    MAP_domain(&m);
    EXPECT_EQ(MAP_untran(0.0f, 64.0f, &lat, &lon), 0);   // above the ellipse
    EXPECT_EQ(MAP_untran(127.0f, 50.0f, &lat, &lon), 0); // beside it
    EXPECT_EQ(MAP_untran(127.0f, 0.0f, &lat, &lon), 1);  // inside, near the rim
    EXPECT_NEAR(lon, 180.0 * 127.0 / (2 * 63.7122), 1e-3);
}

TEST_F(MapTran, GnomonicAndUnsetLeaveOrCopy) {
    Domain g = make_domain(DOM_GNOM, 40.0f, -100.0f, 40.0f, -100.0f);
    MAP_domain(&g);
    float x = 123.0f, y = 456.0f;
    EXPECT_EQ(MAP_tran(40.0f, -100.0f, &x, &y), 1);
    EXPECT_FLOAT_EQ(x, 123.0f);
    EXPECT_FLOAT_EQ(y, 456.0f);
    float lat = 7.0f, lon = 8.0f;
    MAP_untran(1.0f, 2.0f, &lat, &lon);
    EXPECT_FLOAT_EQ(lat, 7.0f);
    EXPECT_FLOAT_EQ(lon, 8.0f);

    EXPECT_EQ(MAP_domain(nullptr), -1);
    EXPECT_EQ(MAP_get_proj(), -9999);
    MAP_tran(12.0f, 34.0f, &x, &y);
    EXPECT_FLOAT_EQ(x, 12.0f);
    EXPECT_FLOAT_EQ(y, 34.0f);
    EXPECT_EQ(MAP_in_domain(1e6f, -1e6f), 1);
}

TEST_F(MapTran, LimitsAndGridConversions) {
    Domain d = make_domain(DOM_PSTEREO, kMiss, kMiss, 39.0f, -97.0f);
    d.dx = d.dy = 2.3f;
    MAP_domain(&d);
    float xc = 0, yc = 0;
    MAP_tran_center(&xc, &yc);
    MAP_limits L{};
    MAP_get_limits(&L);
    EXPECT_NEAR(L.x_min, xc - 12 * 2.3, 1e-4);
    EXPECT_NEAR(L.x_max, xc + 12 * 2.3, 1e-4);
    EXPECT_NEAR(L.y_min, yc - 8 * 2.3, 1e-4);
    EXPECT_NEAR(L.y_max, yc + 8 * 2.3, 1e-4);
    // Unset plat/plon are the centre: the centre's meridian is vertical.
    EXPECT_NEAR(xc, 0.0, 1e-5);
    Domain active;
    MAP_get_domain(&active);
    EXPECT_FLOAT_EQ(active.plat, 39.0f);
    EXPECT_FLOAT_EQ(active.plon, -97.0f);
    EXPECT_EQ(MAP_get_domain(nullptr)->proj, DOM_PSTEREO);

    float x = 0, y = 0, gx = 0, gy = 0;
    EXPECT_EQ(MAP_grid_tran(0, 0, &x, &y), 0);
    EXPECT_FLOAT_EQ(x, L.x_min);
    EXPECT_FLOAT_EQ(y, L.y_max);
    MAP_grid_tran(24, 16, &x, &y);
    EXPECT_NEAR(x, L.x_max, 1e-4);
    EXPECT_NEAR(y, L.y_min, 1e-4);
    MAP_grid_untran(x, y, &gx, &gy);
    EXPECT_NEAR(gx, 24.0, 1e-4);
    EXPECT_NEAR(gy, 16.0, 1e-4);
    EXPECT_EQ(MAP_grid_tran(-9999.0f, 3.0f, &x, &y), -1);
    EXPECT_FLOAT_EQ(x, -9999.0f);
    EXPECT_FLOAT_EQ(y, -9999.0f);
    EXPECT_EQ(MAP_grid_untran(-9999.0f, 3.0f, &gx, &gy), -1);
    EXPECT_FLOAT_EQ(gy, -9999.0f);

    float ux = 0, uy = 0;
    MAP_get_up_left(&ux, &uy);
    EXPECT_FLOAT_EQ(ux, L.x_min);
    EXPECT_FLOAT_EQ(uy, L.y_max);
    EXPECT_EQ(MAP_in_domain(xc, yc), 1);
    EXPECT_EQ(MAP_in_domain(L.x_max + 1.0f, yc), 0);
    EXPECT_EQ(MAP_in_grid_domain(L.x_max + 1.0f, yc), 1);  // within 3 dx
    EXPECT_EQ(MAP_in_grid_domain(L.x_max + 7.0f, yc), 0);
}

TEST_F(MapTran, DomainConversionKeepsActiveDomain) {
    Domain ps = make_domain(DOM_PSTEREO, kMiss, kMiss, 39.0f, -97.0f);
    Domain ll = make_domain(DOM_LATLON, 0.0f, 0.0f, 0.0f, 0.0f);
    Domain me = make_domain(DOM_MERC, 0.0f, 0.0f, 0.0f, 0.0f);
    MAP_domain(&me);
    float x = 0, y = 0;
    MAP_domain(&ps);
    MAP_tran(45.0f, -90.0f, &x, &y);
    MAP_domain(&me);
    float x2 = 0, y2 = 0;
    EXPECT_EQ(MAP_domain_tran(&ps, &ll, x, y, &x2, &y2), 1);
    EXPECT_NEAR(x2, -90.0, 1e-3);
    EXPECT_NEAR(y2, 45.0, 1e-3);
    EXPECT_EQ(MAP_get_proj(), DOM_MERC);
    // Equal domains copy.
    EXPECT_EQ(MAP_domain_tran(&ps, &ps, 1.5f, 2.5f, &x2, &y2), 1);
    EXPECT_FLOAT_EQ(x2, 1.5f);
    EXPECT_FLOAT_EQ(y2, 2.5f);
}

TEST_F(MapTran, OffsetFactorAndDirections) {
    Domain ll = make_domain(DOM_LATLON, 0.0f, 0.0f, 0.0f, 0.0f);
    MAP_domain(&ll);
    float x = 0, y = 0;
    MAP_offset(10.0f, 40.0f, 0.0f, 111.195f, &x, &y);  // one degree north
    EXPECT_NEAR(x, 10.0, 1e-4);
    EXPECT_NEAR(y, 41.0, 1e-4);
    MAP_offset(10.0f, 60.0f, 90.0f, 111.195f, &x, &y);  // two degrees east at 60N
    EXPECT_NEAR(x, 12.0, 1e-3);
    EXPECT_FLOAT_EQ(MAP_factor(40.0f, 0.0f), 1.0f);
    EXPECT_FLOAT_EQ(MAP_dir_adj(33.0f, 1.0f, 1.0f), 33.0f);

    Domain ps = make_domain(DOM_PSTEREO, 90.0f, -100.0f, 60.0f, -100.0f);
    MAP_domain(&ps);
    EXPECT_NEAR(MAP_factor(60.0f, 0.0f), 1.866 / (1 + std::sin(60 * kDtr)), 1e-6);
    // 30 degrees east of the central meridian grid north is turned by 30.
    MAP_tran(50.0f, -70.0f, &x, &y);
    EXPECT_NEAR(MAP_dir_adj(270.0f, x, y), 240.0, 1e-3);
    EXPECT_NEAR(MAP_undir_adj(240.0f, x, y), 270.0, 1e-3);
    EXPECT_NEAR(MAP_uvdir_adj(1.0f, 1.0f, x, y), -30.0, 1e-3);
    EXPECT_NEAR(MAP_dir_adj(10.0f, 0.0f, 0.0f), 110.0, 1e-4);  // origin: dir - plon
    // A segment along the local meridian points true north.
    float x2 = 0, y2 = 0;
    MAP_tran(51.0f, -70.0f, &x2, &y2);
    EXPECT_NEAR(MAP_dir(x, y, x2, y2), 0.0, 1e-2);

    Domain sat = make_domain(DOM_SAT, 0.0f, -75.0f, 0.0f, -75.0f);
    MAP_domain(&sat);
    MAP_tran(0.0f, -75.0f, &x, &y);
    EXPECT_NEAR(MAP_dir_adj(90.0f, x, y), 90.0, 1e-2);  // east is east at the sub-point
    EXPECT_FLOAT_EQ(MAP_dir_adj(0.0f, 300.0f, 0.0f), -9999.0f);
}

TEST_F(MapTran, StationThinning) {
    Domain d = make_domain(DOM_LATLON, 0.0f, 0.0f, 0.0f, 0.0f);
    d.nx = 5;
    d.ny = 5;
    d.dx = d.dy = 1.0f;
    MAP_domain(&d);  // x and y from -2 to 2
    EXPECT_EQ(MAP_plot_grid(0.0f, 0.0f), 1);  // no limit: always yes
    MAP_set_plot_limit(1);
    ASSERT_EQ(MAP_plot_grid_init(), 0);
    EXPECT_EQ(MAP_plot_grid(0.1f, 0.1f), 1);
    EXPECT_EQ(MAP_plot_grid(0.2f, 0.2f), 0);   // same cell
    EXPECT_EQ(MAP_plot_grid(1.1f, 0.2f), 1);   // next cell
    EXPECT_EQ(MAP_plot_grid(9.0f, 0.0f), 0);   // outside the grid
    MAP_set_plot_limit(2);                      // half cells
    ASSERT_EQ(MAP_plot_grid_init(), 0);
    EXPECT_EQ(MAP_plot_grid(0.1f, 0.1f), 1);
    EXPECT_EQ(MAP_plot_grid(0.6f, 0.1f), 1);
    EXPECT_EQ(MAP_plot_grid(0.7f, 0.1f), 0);
    MAP_set_plot_limit(-2);                     // double cells
    ASSERT_EQ(MAP_plot_grid_init(), 0);
    EXPECT_EQ(MAP_plot_grid(-2.0f, 2.0f), 1);
    EXPECT_EQ(MAP_plot_grid(-1.0f, 1.0f), 0);
    EXPECT_EQ(MAP_plot_grid(0.0f, 2.0f), 1);
}

// Diagram kinds, worked from their definitions.
TEST_F(MapTran, DiagramKinds) {
    float x = 0, y = 0, a = 0, b = 0;
    Domain d = make_domain(DOM_XLOGP, kMiss, kMiss, -40.0f, 1000.0f);
    d.dx = 80.0f;
    d.dy = -900.0f;
    MAP_domain(&d);
    MAP_tran(20.0f, 500.0f, &x, &y);
    EXPECT_FLOAT_EQ(x, 20.0f);
    EXPECT_NEAR(y, -std::log(500.0), 1e-6);
    MAP_untran(x, y, &a, &b);
    EXPECT_NEAR(b, 500.0, 1e-3);
    MAP_limits L{};
    MAP_get_limits(&L);  // corners (-40, 1000) and (40, 100), sorted
    EXPECT_FLOAT_EQ(L.x_min, -40.0f);
    EXPECT_FLOAT_EQ(L.x_max, 40.0f);
    EXPECT_NEAR(L.y_min, -std::log(1000.0), 1e-5);
    EXPECT_NEAR(L.y_max, -std::log(100.0), 1e-5);

    Domain h = make_domain(DOM_POLAR, kMiss, kMiss, -30.0f, -30.0f);
    h.dx = h.dy = 60.0f;
    MAP_domain(&h);
    MAP_tran(270.0f, 10.0f, &x, &y);  // a west wind direction of 10
    EXPECT_NEAR(x, -10.0, 1e-4);
    EXPECT_NEAR(y, 0.0, 1e-4);
    MAP_untran(x, y, &a, &b);
    EXPECT_NEAR(a, 270.0, 1e-3);
    EXPECT_NEAR(b, 10.0, 1e-4);

    Domain s = make_domain(DOM_STUVE, kMiss, kMiss, -40.0f, 1000.0f);
    s.dx = 80.0f;
    s.dy = -900.0f;
    MAP_domain(&s);
    MAP_tran(0.0f, 700.0f, &x, &y);
    EXPECT_NEAR(y, -std::pow(700.0, 0.285714), 1e-4);
    MAP_untran(x, y, &a, &b);
    EXPECT_NEAR(b, 700.0, 0.05);

    // Unrotated tephigram: y = ln(theta), theta = T (1000/p)^0.286.
    Domain t = make_domain(DOM_RTEPH, kMiss, kMiss, -40.0f, 1000.0f);
    t.dx = 80.0f;
    t.dy = -900.0f;
    MAP_domain(&t);
    MAP_tran(10.0f, 850.0f, &x, &y);
    EXPECT_NEAR(y, std::log(283.15 * std::pow(1000.0 / 850.0, 0.286)), 1e-5);
    MAP_untran(x, y, &a, &b);
    EXPECT_NEAR(a, 10.0, 1e-4);
    EXPECT_NEAR(b, 1000.0 * std::pow(283.15 / (283.15 * std::pow(1000.0 / 850.0, 0.286)), 3.5), 0.1);
    EXPECT_EQ(MAP_tran(-9999.0f, 850.0f, &x, &y), 0);

    // Linear diagram: x from clat to clat + nx, scaled by nx/dx.
    Domain xy = make_domain(DOM_XY, kMiss, kMiss, 0.0f, 0.0f);
    xy.nx = 100;
    xy.ny = 50;
    xy.dx = 10.0f;
    xy.dy = 5.0f;
    MAP_domain(&xy);
    MAP_tran(5.0f, 2.5f, &x, &y);
    EXPECT_FLOAT_EQ(x, 50.0f);
    EXPECT_FLOAT_EQ(y, 25.0f);
    MAP_untran(x, y, &a, &b);
    EXPECT_FLOAT_EQ(a, 5.0f);
    EXPECT_FLOAT_EQ(b, 2.5f);

    Domain px = make_domain(DOM_PIXEL, kMiss, kMiss, 0.0f, 0.0f);
    MAP_domain(&px);
    MAP_tran(12.0f, 34.0f, &x, &y);
    EXPECT_FLOAT_EQ(x, 12.0f);
    EXPECT_FLOAT_EQ(y, -34.0f);
    MAP_untran(x, y, &a, &b);
    EXPECT_FLOAT_EQ(b, 34.0f);
}

// Skew-T and tephigram depend on the viewport: checked by round trips and by
// the 45-degree rotation of the tephigram's isotherm/isentrope axes.
TEST_F(MapTran, SkewTAndTephigramRoundTrip) {
    const MAP_limits view{0.1f, 0.9f, 0.1f, 0.9f};
    MAP_set_view(&view);
    float x = 0, y = 0, a = 0, b = 0;
    Domain sk = make_domain(DOM_SKEWT, kMiss, kMiss, -40.0f, 1050.0f);
    sk.dx = 80.0f;
    sk.dy = -950.0f;
    MAP_domain(&sk);
    float x1 = 0, y1 = 0;
    MAP_tran(0.0f, 1000.0f, &x1, &y1);
    MAP_tran(0.0f, 500.0f, &x, &y);
    EXPECT_GT(x, x1);  // isotherms lean to the right with height
    MAP_untran(x, y, &a, &b);
    EXPECT_NEAR(a, 0.0, 1e-3);
    EXPECT_NEAR(b, 500.0, 0.05);

    Domain te = make_domain(DOM_TEPH, kMiss, kMiss, -40.0f, 1050.0f);
    te.dx = 80.0f;
    te.dy = -950.0f;
    MAP_domain(&te);
    EXPECT_EQ(MAP_tran(10.0f, 700.0f, &x, &y), 1);
    MAP_untran(x, y, &a, &b);
    EXPECT_NEAR(a, 10.0, 1e-3);
    // Potential temperature uses the exponent 0.286 and its inverse 3.5, so
    // the pressure comes back as 1000 (T / theta)^3.5, not exactly 700.
    const double theta = 283.15 * std::pow(1000.0 / 700.0, 0.286);
    EXPECT_NEAR(b, 1000.0 * std::pow(283.15 / theta, 3.5), 0.02);
}

// The southern polar stereographic: plat negative makes the true latitude
// 60S, so (60S, plon) lies R (1 + sin 60) tan 15 above the pole (s = +1 in
// the projection formula), and points past 75N are pulled back to 75N.
TEST_F(MapTran, PolarStereographicSouth) {
    Domain d = make_domain(DOM_PSTEREO, -90.0f, 20.0f, -60.0f, 20.0f);
    MAP_domain(&d);
    float x = 1, y = 1;
    EXPECT_EQ(MAP_tran(-90.0f, 0.0f, &x, &y), 1);
    EXPECT_NEAR(x, 0.0, 1e-5);
    EXPECT_NEAR(y, 0.0, 1e-5);
    EXPECT_EQ(MAP_tran(-60.0f, 20.0f, &x, &y), 1);
    EXPECT_NEAR(x, 0.0, 1e-5);
    EXPECT_NEAR(y, 63.7122 * (1.0 + std::sin(60.0 * kDtr)) * std::tan(15.0 * kDtr), 1e-4);
    float lat = 0, lon = 0;
    EXPECT_EQ(MAP_untran(x, y, &lat, &lon), 1);
    EXPECT_FLOAT_EQ(lat, -60.0f);
    EXPECT_FLOAT_EQ(lon, 20.0f);
    float x75 = 0, y75 = 0;
    MAP_tran(80.0f, 50.0f, &x, &y);
    MAP_tran(75.0f, 50.0f, &x75, &y75);
    EXPECT_FLOAT_EQ(x, x75);
    EXPECT_FLOAT_EQ(y, y75);
    // Wind directions: at a point 30 degrees east of plon the local meridian
    // runs towards the origin at 30 degrees east of grid north's opposite, so
    // grid directions are true ones plus 30; at the origin the rotation is
    // plon itself.
    MAP_tran(-50.0f, 50.0f, &x, &y);
    EXPECT_NEAR(MAP_dir_adj(90.0f, x, y), 120.0, 1e-3);
    EXPECT_NEAR(MAP_undir_adj(120.0f, x, y), 90.0, 1e-3);
    EXPECT_NEAR(MAP_dir_adj(10.0f, 0.0f, 0.0f), 30.0, 1e-4);
    EXPECT_NEAR(MAP_undir_adj(30.0f, 0.0f, 0.0f), 10.0, 1e-4);
    // A segment along the local meridian towards the pole points true south.
    float x2 = 0, y2 = 0;
    MAP_tran(-51.0f, 50.0f, &x2, &y2);
    EXPECT_NEAR(std::fabs(MAP_dir(x, y, x2, y2)), 180.0, 1e-2);
    // The symbol scale factor is 1.866 / (1 + sin lat) whatever the hemisphere.
    EXPECT_NEAR(MAP_factor(30.0f, 0.0f), 1.866 / 1.5, 1e-6);
}

// The pole-side inverse of the true latitude comes back exact to float.
TEST_F(MapTran, PolarStereographicInverseIsFloatExact) {
    Domain d = make_domain(DOM_PSTEREO, 90.0f, -105.0f, 60.0f, -105.0f);
    MAP_domain(&d);
    float x = 0, y = 0, lat = 0, lon = 0;
    MAP_tran(60.0f, -105.0f, &x, &y);
    MAP_untran(x, y, &lat, &lon);
    EXPECT_FLOAT_EQ(lat, 60.0f);
    EXPECT_FLOAT_EQ(lon, -105.0f);
}

// The ellipsoidal satellite view: the sub-point is the origin both ways, and
// the default satellite distance is 421.61 (the scan angle of the equator's
// limb is asin(a / 421.61) with a the equatorial semi-axis 63.781368).
TEST_F(MapTran, SatelliteEllipsoidSubPointAndDefaults) {
    Domain d = make_domain(DOM_SAT, 0.0f, -137.2f, 0.0f, -137.2f);
    d.ellipse = 1;
    d.param[1] = 1.0f;
    MAP_domain(&d);
    float x = 5, y = 5, lat = 5, lon = 5;
    EXPECT_EQ(MAP_tran(0.0f, -137.2f, &x, &y), 1);
    EXPECT_NEAR(x, 0.0, 1e-5);
    EXPECT_NEAR(y, 0.0, 1e-5);
    EXPECT_EQ(MAP_untran(0.0f, 0.0f, &lat, &lon), 1);
    EXPECT_NEAR(lat, 0.0, 1e-5);
    EXPECT_NEAR(lon, -137.2, 1e-4);
    // Just inside and just outside the limb along the equator.
    const double limb = kSatRad * std::asin(63.781368 / kSatRad);
    EXPECT_EQ(MAP_untran(static_cast<float>(limb - 0.01), 0.0f, &lat, &lon), 1);
    EXPECT_EQ(MAP_untran(static_cast<float>(limb + 0.01), 0.0f, &lat, &lon), 0);
    EXPECT_FLOAT_EQ(lon, -9999.0f);
    // An explicit satellite distance replaces the default.
    d.param[0] = 500.0f;
    MAP_domain(&d);
    EXPECT_EQ(MAP_untran(static_cast<float>(500.0 * std::asin(63.781368 / 500.0) - 0.01), 0.0f, &lat, &lon), 1);
    EXPECT_EQ(MAP_untran(static_cast<float>(limb - 0.01), 0.0f, &lat, &lon), 0);
    // Wind directions on the satellite view: north is up at the sub-point.
    EXPECT_NEAR(MAP_dir_adj(0.0f, 0.0f, 0.0f), 0.0, 1e-2);
    EXPECT_FLOAT_EQ(MAP_uvdir_adj(1.0f, 1.0f, 0.0f, 0.0f), 0.0f);  // only polar stereographic
}

// Converting between domains: a point the target cannot show comes back
// -9999 with 0, and the active domain survives.
TEST_F(MapTran, DomainConversionOfAnInvisiblePoint) {
    Domain ll = make_domain(DOM_LATLON, 0.0f, 0.0f, 0.0f, 0.0f);
    Domain orth = make_domain(DOM_ORTHO, 40.0f, -100.0f, 40.0f, -100.0f);
    Domain me = make_domain(DOM_MERC, 0.0f, 0.0f, 0.0f, 0.0f);
    MAP_domain(&me);
    float x2 = 1, y2 = 1;
    // (lat -40, lon 80) is on the far side of the globe.
    EXPECT_EQ(MAP_domain_tran(&ll, &orth, 80.0f, -40.0f, &x2, &y2), 0);
    EXPECT_FLOAT_EQ(x2, -9999.0f);
    EXPECT_FLOAT_EQ(y2, -9999.0f);
    EXPECT_EQ(MAP_get_proj(), DOM_MERC);
    float x = 0, y = 0;
    MAP_tran(45.0f, 10.0f, &x, &y);
    EXPECT_NEAR(x, 63.7122 * 10.0 * kDtr, 1e-4);
}

// Station thinning between -1 and 1 only keeps labels inside the grid.
TEST_F(MapTran, StationThinningFineLimits) {
    Domain d = make_domain(DOM_LATLON, 0.0f, 0.0f, 0.0f, 0.0f);
    d.nx = d.ny = 5;
    MAP_domain(&d);
    for (int limit : {-1, 0}) {
        MAP_set_plot_limit(limit);
        ASSERT_EQ(MAP_plot_grid_init(), 0);
        EXPECT_EQ(MAP_plot_grid(0.1f, 0.1f), 1) << limit;
        EXPECT_EQ(MAP_plot_grid(0.1f, 0.1f), 1) << limit;  // no counting
        EXPECT_EQ(MAP_plot_grid(9.0f, 0.0f), limit == 0 ? 1 : 0) << limit;
    }
    // With L 3 the grid has nx*ny*9 cells: a third of a grid step apart is
    // a new cell, a tenth is not.
    MAP_set_plot_limit(3);
    ASSERT_EQ(MAP_plot_grid_init(), 0);
    EXPECT_EQ(MAP_plot_grid(2.0f, -2.0f), 1);  // the last grid point itself
    EXPECT_EQ(MAP_plot_grid(0.0f, 0.0f), 1);
    EXPECT_EQ(MAP_plot_grid(0.1f, 0.0f), 0);
    EXPECT_EQ(MAP_plot_grid(0.34f, 0.0f), 1);
}

// The linear diagrams with their limits: x runs from clat to clat + nx and
// y from clon to clon + ny (from -clon for the cross-section, whose y axis
// points down), scaled by nx/dx and ny/dy.
TEST_F(MapTran, LinearDiagramLimits) {
    float x = 0, y = 0, a = 0, b = 0;
    MAP_limits L{};
    Domain cat = make_domain(DOM_CAT, kMiss, kMiss, 1.0f, 2.0f);
    cat.nx = 10;
    cat.ny = 20;
    cat.dx = 5.0f;
    cat.dy = 40.0f;
    MAP_domain(&cat);
    MAP_get_limits(&L);
    EXPECT_FLOAT_EQ(L.x_min, 1.0f);
    EXPECT_FLOAT_EQ(L.x_max, 11.0f);
    EXPECT_FLOAT_EQ(L.y_min, 2.0f);
    EXPECT_FLOAT_EQ(L.y_max, 22.0f);
    MAP_tran(3.0f, 12.0f, &x, &y);  // 1 + 2*(3-1), 2 + 0.5*(12-2)
    EXPECT_FLOAT_EQ(x, 5.0f);
    EXPECT_FLOAT_EQ(y, 7.0f);
    MAP_untran(x, y, &a, &b);
    EXPECT_FLOAT_EQ(a, 3.0f);
    EXPECT_FLOAT_EQ(b, 12.0f);

    Domain xp = cat;
    xp.proj = DOM_XP;
    MAP_domain(&xp);
    MAP_get_limits(&L);
    EXPECT_FLOAT_EQ(L.y_min, -2.0f);
    EXPECT_FLOAT_EQ(L.y_max, 18.0f);
    MAP_tran(3.0f, 10.0f, &x, &y);  // y = -2 + 0.5*(-2 - 10)
    EXPECT_FLOAT_EQ(x, 5.0f);
    EXPECT_FLOAT_EQ(y, -8.0f);
    MAP_untran(x, y, &a, &b);
    EXPECT_FLOAT_EQ(b, 10.0f);

    // The hodograph's limits are its two corners as given.
    Domain h = make_domain(DOM_POLAR, kMiss, kMiss, -30.0f, -20.0f);
    h.dx = 60.0f;
    h.dy = 50.0f;
    MAP_domain(&h);
    MAP_get_limits(&L);
    EXPECT_FLOAT_EQ(L.x_min, -30.0f);
    EXPECT_FLOAT_EQ(L.x_max, 30.0f);
    EXPECT_FLOAT_EQ(L.y_min, -20.0f);
    EXPECT_FLOAT_EQ(L.y_max, 30.0f);
    MAP_untran(0.0f, 0.0f, &a, &b);  // direction 0 at the origin
    EXPECT_FLOAT_EQ(a, 0.0f);
    EXPECT_FLOAT_EQ(b, 0.0f);
    MAP_untran(-1.0f, 1.0f, &a, &b);  // north-west: 315, not -45
    EXPECT_NEAR(a, 315.0, 1e-4);

    // The emagram is x = T, y = -ln p like xlogp.
    Domain e = make_domain(DOM_EMA, kMiss, kMiss, -40.0f, 1000.0f);
    e.dx = 80.0f;
    e.dy = -900.0f;
    MAP_domain(&e);
    MAP_tran(5.0f, 250.0f, &x, &y);
    EXPECT_FLOAT_EQ(x, 5.0f);
    EXPECT_NEAR(y, -std::log(250.0), 1e-6);
    MAP_untran(x, y, &a, &b);
    EXPECT_NEAR(b, 250.0, 1e-3);
}

// Skew-T: x = T + xfactor (y - y_min) with xfactor = (x_max - x_min) *
// (view height / view width) / (y_max - y_min), worked out here from the
// limits (x from clat to clat + dx, y = -ln p of clon and clon + dy).
TEST_F(MapTran, SkewTFactorFromLimitsAndView) {
    const MAP_limits view{0.0f, 2.0f, 0.0f, 1.0f};  // twice as wide as high
    MAP_set_view(&view);
    Domain sk = make_domain(DOM_SKEWT, kMiss, kMiss, -40.0f, 1050.0f);
    sk.dx = 80.0f;
    sk.dy = -950.0f;
    MAP_domain(&sk);
    MAP_limits L{};
    MAP_get_limits(&L);
    EXPECT_FLOAT_EQ(L.x_min, -40.0f);
    EXPECT_FLOAT_EQ(L.x_max, 40.0f);
    EXPECT_NEAR(L.y_min, -std::log(1050.0), 1e-5);
    EXPECT_NEAR(L.y_max, -std::log(100.0), 1e-5);
    const double xf = 80.0 * (1.0 / 2.0) / (std::log(1050.0) - std::log(100.0));
    float x = 0, y = 0;
    MAP_tran(-10.0f, 500.0f, &x, &y);
    EXPECT_NEAR(y, -std::log(500.0), 1e-6);
    EXPECT_NEAR(x, -10.0 + xf * (std::log(1050.0) - std::log(500.0)), 1e-4);

    // Tephigram limits are set up with x = T and y = ln p.
    Domain te = make_domain(DOM_TEPH, kMiss, kMiss, -40.0f, 1050.0f);
    te.dx = 80.0f;
    te.dy = -950.0f;
    MAP_domain(&te);
    MAP_get_limits(&L);
    EXPECT_FLOAT_EQ(L.x_min, -40.0f);
    EXPECT_FLOAT_EQ(L.x_max, 40.0f);
    EXPECT_NEAR(L.y_min, std::log(100.0), 1e-5);
    EXPECT_NEAR(L.y_max, std::log(1050.0), 1e-5);
    // A missing temperature stays missing: not plotted.
    EXPECT_EQ(MAP_tran(-9999.0f, 700.0f, &x, &y), 0);
    EXPECT_FLOAT_EQ(x, -9999.0f);
}

// The row transforms used by the image remapper must give, point for point,
// the very floats of the point-wise calls (the remapped pixels are checked
// against the point-wise calls elsewhere); the rows reach past the domain so
// that points the projections cannot show are part of them.
TEST_F(MapTran, RowTransformsEqualPointwiseCalls) {
    std::vector<Domain> doms = {
        make_domain(DOM_PSTEREO, 90.0f, -100.0f, 50.0f, -100.0f),
        make_domain(DOM_PSTEREO, -90.0f, 30.0f, -60.0f, 30.0f),
        make_domain(DOM_LATLON, 0.0f, 170.0f, 20.0f, 170.0f),
        make_domain(DOM_MERC, 0.0f, -60.0f, 10.0f, -60.0f),
        make_domain(DOM_LAMB, 40.0f, -95.0f, 38.0f, -95.0f),
        make_domain(DOM_ORTHO, 45.0f, 10.0f, 45.0f, 10.0f),
        make_domain(DOM_MOLL, 0.0f, 0.0f, 0.0f, 0.0f),
        make_domain(DOM_LAMBAZ, 60.0f, 20.0f, 60.0f, 20.0f),
        make_domain(DOM_SAT, 0.0f, -75.0f, 0.0f, -75.0f),
        make_domain(DOM_SAT, 0.0f, -137.0f, 10.0f, -130.0f),
        make_domain(DOM_XY, 0.0f, 0.0f, 0.0f, 0.0f),
        make_domain(DOM_PIXEL, 0.0f, 0.0f, 0.0f, 0.0f),
    };
    doms[4].param[0] = 25.0f;
    doms[4].param[1] = 50.0f;
    doms[6].dx = doms[6].dy = 5.0f;
    doms[8].param[0] = 421.64f;  // scan angles on the ellipsoid
    doms[8].param[1] = 1.0f;
    doms[8].ellipse = 1;
    doms[8].dx = doms[8].dy = 4.0f;
    doms[9].dx = doms[9].dy = 4.0f;  // tangents of the angles on the sphere
    const int n = 301;
    int hidden_inv = 0, hidden_fwd = 0;
    for (const Domain& d : doms) {
        SCOPED_TRACE(testing::Message() << "projection " << d.proj << " plon " << d.plon);
        ASSERT_EQ(MAP_domain(&d), 0);
        MAP_limits lim{};
        MAP_get_limits(&lim);
        const float wx = lim.x_max - lim.x_min, wy = lim.y_max - lim.y_min;
        std::vector<float> xs(n), lat(n), lon(n), plat(n), plon(n);
        for (int k = 0; k < n; ++k) xs[k] = lim.x_min - wx + 3.0f * wx * static_cast<float>(k) / (n - 1);
        for (int j = 0; j <= 10; ++j) {
            const float y = lim.y_min - wy + 3.0f * wy * static_cast<float>(j) / 10.0f;
            int want = 0;
            for (int k = 0; k < n; ++k) {
                plat[k] = plon[k] = -9999.0f;
                want += MAP_untran(xs[k], y, &plat[k], &plon[k]) != 0;
            }
            hidden_inv += n - want;
            EXPECT_EQ(MAP_untran_row(xs.data(), n, y, lat.data(), lon.data()), want);
            for (int k = 0; k < n; ++k) {
                ASSERT_EQ(std::memcmp(&lat[k], &plat[k], sizeof(float)), 0) << "x " << xs[k] << " y " << y;
                ASSERT_EQ(std::memcmp(&lon[k], &plon[k], sizeof(float)), 0) << "x " << xs[k] << " y " << y;
            }
        }
        // Forward and grid over the whole globe, odd longitudes and a missing
        // latitude included.
        std::vector<float> la, lo;
        for (int i = -18; i <= 18; ++i)
            for (int k = -40; k <= 40; ++k) {
                la.push_back(5.0f * static_cast<float>(i) + 0.37f);
                lo.push_back(9.5f * static_cast<float>(k) + 0.21f);
            }
        la.push_back(-9999.0f);
        lo.push_back(10.0f);
        la.push_back(30.0f);
        lo.push_back(1000.0f);
        const int m = static_cast<int>(la.size());
        std::vector<float> gx(m), gy(m);
        int want = 0;
        const int got = MAP_tran_grid_row(la.data(), lo.data(), m, gx.data(), gy.data());
        for (int k = 0; k < m; ++k) {
            float x = 0.0f, y = 0.0f, ex = -9999.0f, ey = -9999.0f;
            if (la[k] != -9999.0f && MAP_tran(la[k], lo[k], &x, &y) != 0 &&
                MAP_grid_untran(x, y, &ex, &ey) == 0 && ex != -9999.0f) {
                ++want;
            } else {
                ex = ey = -9999.0f;
            }
            ASSERT_EQ(std::memcmp(&gx[k], &ex, sizeof(float)), 0) << la[k] << " " << lo[k];
            ASSERT_EQ(std::memcmp(&gy[k], &ey, sizeof(float)), 0) << la[k] << " " << lo[k];
        }
        EXPECT_EQ(got, want);
        EXPECT_LT(got, m);  // the missing latitude at least
        hidden_fwd += m - got;
    }
    // Both directions met points that the projections cannot show.
    EXPECT_GT(hidden_inv, 100);
    EXPECT_GT(hidden_fwd, 1000);
    // A degenerate grid converts nothing.
    Domain flat = make_domain(DOM_LATLON, 0.0f, 0.0f, 0.0f, 0.0f);
    flat.dx = 0.0f;
    MAP_domain(&flat);
    float la1 = 10.0f, lo1 = 10.0f, gx1 = 0.0f, gy1 = 0.0f;
    EXPECT_EQ(MAP_tran_grid_row(&la1, &lo1, 1, &gx1, &gy1), 0);
    EXPECT_FLOAT_EQ(gx1, -9999.0f);
}

}  // namespace
