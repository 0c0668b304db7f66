// Map projections against PROJ's `proj` (Debian proj-bin) both ways, with
// points the projections cannot show; then one table of edge cases
// (clamps, wraps, NaN, limbs), directions, limits and grids, the diagram
// kinds and the row transforms the remapper uses.
#include "zem_test.h"

#include <algorithm>
#include <cstring>
#include <tuple>

#include "maptran.h"

namespace {

constexpr double kR = 6371220.0;            // the module's sphere, metres
constexpr double kUnit = 1.0e5;             // metres per projection unit
constexpr double kDtr = 3.1415926535898 / 180.0;
constexpr double kSatRad = 421.61;          // default geostationary radius, units
constexpr float kMiss = -9999.0f;

using zt::dom;

double wrap180(double d) { return std::remainder(d, 360.0); }

// Ground distance in metres between two nearby points.
double ground_m(double lat1, double lon1, double lat2, double lon2) {
    return std::hypot((lat1 - lat2) * 111195.0, wrap180(lon1 - lon2) * 111195.0 * std::cos(lat1 * kDtr));
}

struct ProjCase {
    const char* label;
    const char* domain;
    std::string proj_args;
    double lat0, lon0, arc;  // points within `arc` degrees of (lat0, lon0)
    double scale = kUnit;    // PROJ metres per unit, or with `tangent` the
    bool tangent = false;    // satellite's height: units are sat_rad tan(scan angle)
    double horizon = 0;      // arc where visibility ends (0: none): points within 0.5
                             // degrees of it are left out, and within 10 degrees the
                             // grazing view leaves the float inverse tens of metres
};

double to_metres(const ProjCase& c, double v) { return c.tangent ? c.scale * std::atan(v / kSatRad) : v * c.scale; }
double from_metres(const ProjCase& c, double m) { return c.tangent ? kSatRad * std::tan(m / c.scale) : m / c.scale; }

// Arc in degrees between two points.
double arc_deg(double la1, double lo1, double la2, double lo2) {
    const double c = std::sin(la1 * kDtr) * std::sin(la2 * kDtr) +
                     std::cos(la1 * kDtr) * std::cos(la2 * kDtr) * std::cos((lo2 - lo1) * kDtr);
    return std::acos(std::clamp(c, -1.0, 1.0)) / kDtr;
}

// The row forms the remapper uses give, point for point, the very floats of
// the point-wise calls: the grid row (MAP_tran, MAP_grid_untran) over the
// points (lon, lat), hidden ones too (a -9999 latitude has no grid point),
// and the inverse row over lines of x and y from -150 to 150 units, off
// the earth in part.
void expect_rows_match(const std::vector<std::pair<double, double>>& lonlat) {
    const std::size_t n = lonlat.size();
    std::vector<float> la(n), lo(n), gx(n), gy(n), xs(301), rlat(301), rlon(301);
    for (std::size_t k = 0; k < n; ++k) std::tie(lo[k], la[k]) = lonlat[k];
    const int located = MAP_tran_grid_row(la.data(), lo.data(), static_cast<int>(n), gx.data(), gy.data());
    int want = 0;
    for (std::size_t k = 0; k < n; ++k) {
        float x = 0, y = 0, ex = kMiss, ey = kMiss;
        if (la[k] != kMiss && MAP_tran(la[k], lo[k], &x, &y) && MAP_grid_untran(x, y, &ex, &ey) == 0) ++want;
        ASSERT_TRUE(std::memcmp(&gx[k], &ex, 4) == 0 && std::memcmp(&gy[k], &ey, 4) == 0) << la[k] << "," << lo[k];
    }
    EXPECT_EQ(located, want);
    for (int k = 0; k <= 300; ++k) xs[k] = static_cast<float>(k - 150);
    for (float y = -150; y <= 150; y += 30) {
        MAP_untran_row(xs.data(), 301, y, rlat.data(), rlon.data());
        for (int k = 0; k <= 300; ++k) {
            float a = kMiss, b = kMiss;
            MAP_untran(xs[k], y, &a, &b);
            ASSERT_TRUE(std::memcmp(&rlat[k], &a, 4) == 0 && std::memcmp(&rlon[k], &b, 4) == 0) << xs[k] << " " << y;
        }
    }
}

std::vector<ProjCase> proj_cases() {
    const std::string R = " +R=6371220";
    const double hs = (kSatRad - 63.7122) * kUnit, he = kSatRad * kUnit - 6378136.8;
    // PROJ 9.1 projects points behind the limb of a spherical geos; on an
    // ellipsoid a millimetre short of the sphere it tests visibility.
    const std::string geos_s = "+proj=geos +h=" + std::to_string(hs) + " +lon_0=-75 +a=6371220 +b=6371219.999";
    const std::string geos_e = "+proj=geos +h=" + std::to_string(he) + " +a=6378136.8 +b=6356752 +lon_0=";
    // The satellite's limb lies acos(63.7122 / 421.61) = 81.3 degrees of arc
    // from the sub-point; the module's Mollweide is PROJ's on R / sqrt(2).
    const double limb = std::acos(63.7122 / kSatRad) / kDtr;
    const std::string st = "+proj=stere +lat_0=", lcc = "+proj=lcc +lat_1=", la = "+proj=laea +lat_0=";
    return {
        {"ps_north", "ps:60:-105,40,-100", st + "90 +lat_ts=60 +lon_0=-105" + R, 90, 0, 100},
        {"ps_south", "ps:-70:20,-70,20", st + "-90 +lat_ts=-60 +lon_0=20" + R, -90, 0, 100},
        {"ps_true_at_45N", "ps:60:-105:45,40,-100", st + "90 +lat_ts=45 +lon_0=-105" + R, 90, 0, 90},
        {"latlon", "ll:0:-100,0,-100", "+proj=eqc +lon_0=-100" + R, 0, 0, 180, kR * kDtr},
        {"Mercator", "merc:0:-90,20,-90", "+proj=merc +lon_0=-90" + R, 0, 0, 180},
        {"lcc_30_60_defaults", "lamb:40:-100,40,-100", lcc + "30 +lat_2=60 +lat_0=90 +lon_0=-100" + R, 90, 0, 120},
        {"lcc_tangent_25N", "lamb:40:-100:25:25,40,-100", lcc + "25 +lat_2=25 +lat_0=90 +lon_0=-100" + R, 90, 0, 120},
        {"lcc_south", "lamb:-40:140:-30:-60,-30,135", lcc + "-30 +lat_2=-60 +lat_0=-90 +lon_0=140" + R, -90, 0, 120},
        {"ortho", "ortho:40:-100,40,-100", "+proj=ortho +lat_0=40 +lon_0=-100" + R, 40, -100, 180, kUnit, false, 90},
        {"Mollweide", "mo:0:10,0,10", "+proj=moll +lon_0=10 +R=4505132.866", 0, 10, 180},
        {"laea", "la:45:10,45,10", la + "45 +lon_0=10" + R, 45, 10, 150},
        {"laea_north_pole", "la:90:-100,90,-100", la + "90 +lon_0=-100" + R, 90, -100, 130},
        {"sat_sphere_tangents", "sat:0:-75,0,-75", geos_s, 0, -75, 180, hs, true, limb},
        {"sat_sphere_angles", "sat:0:-75:421.61:1,0,-75", geos_s, 0, -75, 180, hs / kSatRad, false, limb},
        {"sat_ellipsoid_angles", "sat:e:0:-137.2:421.61:1,0,-137.2", geos_e + "-137.2", 0, -137.2, 180, he / kSatRad,
         false, limb},
        {"sat_ellipsoid_tangents", "sat:e:0:140.7,0,140.7", geos_e + "140.7", 0, 140.7, 180, he, true, limb},
    };
}

void PrintTo(const ProjCase& c, std::ostream* os) { *os << c.label; }
class ProjVsProj : public ::testing::TestWithParam<ProjCase> {};

// Forward against PROJ (a point is visible exactly when PROJ projects it),
// back to the start, PROJ's inverse of its own points against ours, and the
// row forms against the point-wise calls.
TEST_P(ProjVsProj, AgreesWithProj) {
    if (!zt::have_tool("proj")) GTEST_SKIP() << "proj (proj-bin) not installed";
    const ProjCase& c = GetParam();
    const Domain d = dom(c.domain);
    ASSERT_EQ(MAP_domain(&d), 0);
    // Longitudes never 180 degrees from a projection longitude, where the
    // two sides of the map meet.
    std::vector<std::pair<double, double>> in;  // lon, lat
    std::vector<bool> grazing;
    for (double la = -85; la <= 85; la += 5)
        for (double lo = -176.25; lo < 180; lo += 7.5) {
            const double arc = arc_deg(c.lat0, c.lon0, la, lo);
            if (arc >= c.arc || (c.horizon != 0 && std::fabs(arc - c.horizon) < 0.5)) continue;
            in.emplace_back(lo, la);
            grazing.push_back(c.horizon != 0 && arc > c.horizon - 10);
        }
    const auto fwd = zt::proj(c.proj_args, in);
    ASSERT_EQ(fwd.size(), in.size());
    std::vector<std::pair<double, double>> ref_pts;  // PROJ's points away from the horizon
    int hidden = 0, visible = 0;
    for (std::size_t i = 0; i < in.size(); ++i) {
        const float lat = static_cast<float>(in[i].second), lon = static_cast<float>(in[i].first);
        SCOPED_TRACE(testing::Message() << "at " << lat << "," << lon);
        float x = 0, y = 0;
        const int vis = MAP_tran(lat, lon, &x, &y);
        ASSERT_EQ(vis, std::isnan(fwd[i].first) ? 0 : 1);
        hidden += !vis;
        if (!vis) continue;
        EXPECT_NEAR(to_metres(c, x), fwd[i].first, 50.0);
        EXPECT_NEAR(to_metres(c, y), fwd[i].second, 50.0);
        ++visible;
        if (grazing[i]) continue;
        float blat = 0, blon = 0;
        ASSERT_EQ(MAP_untran(x, y, &blat, &blon), 1);
        EXPECT_LT(ground_m(lat, lon, blat, blon), 5.0) << "back at " << blat << "," << blon;
        ref_pts.push_back(fwd[i]);
    }
    EXPECT_GT(ref_pts.size(), 20u);
    expect_rows_match(in);
    if (c.horizon != 0) { EXPECT_TRUE(hidden > 20 && visible > static_cast<int>(ref_pts.size())) << hidden; }
    const auto inv = zt::proj("-I " + c.proj_args, ref_pts);
    ASSERT_EQ(inv.size(), ref_pts.size());
    for (std::size_t k = 0; k < inv.size(); ++k) {
        if (std::fabs(inv[k].second) > 89.0) continue;  // longitude means nothing at a pole
        float lat = 0, lon = 0;
        ASSERT_EQ(MAP_untran(static_cast<float>(from_metres(c, ref_pts[k].first)),
                             static_cast<float>(from_metres(c, ref_pts[k].second)), &lat, &lon), 1);
        EXPECT_LT(ground_m(inv[k].second, inv[k].first, lat, lon), 50.0) << inv[k].second << "," << inv[k].first;
    }
}

INSTANTIATE_TEST_SUITE_P(EarthProjections, ProjVsProj, ::testing::ValuesIn(proj_cases()),
                         [](const auto& i) { return std::string(i.param.label); });

// Edge cases of both directions from the case table
// (tests/data/maptran/edges.txt): clamps, wraps, NaN, limbs.
TEST(MapEdges, ClampsWrapsNaNAndLimbs) {
    for (const auto& r : zt::cases("maptran/edges.txt")) {
        Domain d;
        DOM_decode(r.at(1).c_str(), &d);
        MAP_domain(&d);
        const bool fwd = r.at(2).rfind("forward", 0) == 0;
        const auto run = [&](float a, float b, float* oa, float* ob) {
            std::tie(*oa, *ob) = std::make_pair(123.0f, 456.0f);
            return fwd ? MAP_tran(a, b, oa, ob) : MAP_untran(a, b, oa, ob);
        };
        // Two numbers ("inf", "nan"; "any" is NaN: not checked).
        const auto pair = [](const std::string& f) {
            std::string x, y;
            std::istringstream(f) >> x >> y;
            const auto num = [](const std::string& t) { return t == "any" ? NAN : std::stof(t); };
            return std::make_pair(num(x), num(y));
        };
        float oa = 0, ob = 0;
        const auto [a, b] = pair(r.at(3));
        auto [pa, pb] = pair(r.at(5));
        EXPECT_EQ(run(a, b, &oa, &ob), std::stoi(r.at(4))) << r[0];
        if (r[2].find("same") != std::string::npos) run(pa, pb, &pa, &pb);
        EXPECT_TRUE((std::isnan(pa) || std::fabs(oa - pa) < 1e-4) && (std::isnan(pb) || std::fabs(ob - pb) < 1e-4) &&
                    std::isfinite(oa) && std::isfinite(ob))
            << r[0] << ": " << oa << " " << ob << " against " << pa << " " << pb;
    }
    // The true latitude comes back exact to float precision, either pole.
    for (const char* text : {"ps:90:-105,60,-105", "ps:-90:20,-60,20"}) {
        const Domain d = dom(text);
        MAP_domain(&d);
        float x = 0, y = 0, blat = 0, blon = 0;
        MAP_tran(d.clat, d.clon, &x, &y);
        MAP_untran(x, y, &blat, &blon);
        EXPECT_TRUE(blat == d.clat && blon == d.clon) << text << " " << blat << " " << blon;
    }
}

// Wind directions: grid north against true north. Polar stereographic 30
// degrees east of plon turns by 30 (north) or -30 (south); at the origin the
// rotation is plon itself. Lambert tangent at 25N turns by n dlon with the
// cone constant n = cos 65 (10 n = 4.226183). The satellite view keeps east
// at the sub-point and has no direction off the disk. A segment one degree
// poleward along the meridian points true north (north pole domain) or
// true south; the symbol factor is 1.866 / (1 + sin 30) on either.
TEST(MapEdges, Directions) {
    enum Kind { adj, undir, uv, poleward, factor };
    constexpr float kOff = 12345;
    const struct {
        const char* domain;
        float lat, lon;  // the point (a kMiss latitude: the origin, kOff: x 300, off the disk)
        Kind kind;
        float dir, want;
    } rows[] = {
        {"ps:90:-100,60,-100", 50, -70, adj, 270, 240},   {"ps:90:-100,60,-100", 50, -70, undir, 240, 270},
        {"ps:90:-100,60,-100", 50, -70, uv, 0, -30},      {"ps:90:-100,60,-100", kMiss, 0, adj, 10, 110},
        {"ps:-90:20,-60,20", -50, 50, adj, 90, 120},      {"ps:-90:20,-60,20", -50, 50, undir, 120, 90},
        {"ps:-90:20,-60,20", kMiss, 0, adj, 10, 30},      {"ps:-90:20,-60,20", kMiss, 0, undir, 30, 10},
        {"ps:90:-100,60,-100", 50, -70, poleward, 0, 0},  {"ps:-90:20,-60,20", -50, 50, poleward, 0, 180},
        {"ps:90:-100,60,-100", 30, 0, factor, 0, 1.244f}, {"ps:-90:20,-60,20", 30, 0, factor, 0, 1.244f},
        {"lamb:25:-95:25:25,38,-97", 40, -85, adj, 90, 85.773817f},
        {"sat:0:-75,0,-75", 0, -75, adj, 90, 90},         {"sat:e:0:-137.2::1,0,-137.2", 0, -137.2f, adj, 0, 0},
        {"sat:0:-75,0,-75", 0, -75, uv, 0, 0},            {"sat:0:-75,0,-75", kOff, 0, adj, 0, kMiss},
        {"ll,0,0", 40, 10, adj, 33, 33},                  {"lamb:25:-95:25:25:1.5,38,-97", 40, 0, factor, 0, 1.5f},
    };
    for (const auto& r : rows) {
        const Domain d = dom(r.domain);
        MAP_domain(&d);
        float x = r.lat == kOff ? 300 : 0, y = 0, x2 = 0, y2 = 0;
        if (r.lat != kMiss && r.lat != kOff) MAP_tran(r.lat, r.lon, &x, &y);
        MAP_tran(r.lat + (r.lat > 0 ? 1 : -1), r.lon, &x2, &y2);
        const float got = r.kind == adj      ? MAP_dir_adj(r.dir, x, y)
                          : r.kind == undir  ? MAP_undir_adj(r.dir, x, y)
                          : r.kind == uv     ? MAP_uvdir_adj(1, 1, x, y)
                          : r.kind == factor ? MAP_factor(r.lat, r.lon)
                                             : std::fabs(MAP_dir(x, y, x2, y2));
        EXPECT_NEAR(got, r.want, 1e-2) << r.domain << " " << r.kind << " at " << r.lat << "," << r.lon;
    }
}

// Limits are the centre's transform plus and minus half the grid; grid
// point (0, 0) is the upper left corner; -9999 passes through as a failure;
// a degenerate grid converts nothing. Between domains the active one
// survives, a point the target cannot show is -9999 and 0, and equal
// domains copy.
TEST(MapEdges, LimitsGridAndDomainConversion) {
    const Domain d = dom("ps,39,-97,2.3");
    MAP_domain(&d);
    float xc = 0, yc = 0, x = 0, y = 0, gx = 0, gy = 0;
    MAP_tran_center(&xc, &yc);
    EXPECT_NEAR(xc, 0.0, 1e-5);  // unset plat and plon are the centre: its meridian is vertical
    MAP_limits L{};
    MAP_get_limits(&L);
    EXPECT_TRUE(std::fabs(L.x_min - (xc - 12 * 2.3)) < 1e-4 && std::fabs(L.x_max - (xc + 12 * 2.3)) < 1e-4 &&
                std::fabs(L.y_min - (yc - 8 * 2.3)) < 1e-4 && std::fabs(L.y_max - (yc + 8 * 2.3)) < 1e-4);
    float ux = 0, uy = 0;
    EXPECT_TRUE(MAP_grid_tran(0, 0, &x, &y) == 0 && MAP_get_up_left(&ux, &uy) == 0);
    EXPECT_TRUE(x == L.x_min && y == L.y_max && ux == x && uy == y);
    MAP_grid_tran(24, 16, &x, &y);
    MAP_grid_untran(L.x_min + 2.3f, L.y_max - 4.6f, &gx, &gy);
    EXPECT_TRUE(std::fabs(x - L.x_max) + std::fabs(y - L.y_min) + std::fabs(gx - 1) + std::fabs(gy - 2) < 1e-4)
        << x << " " << y << " " << gx << " " << gy;
    EXPECT_TRUE(MAP_grid_tran(kMiss, 3, &x, &y) == -1 && MAP_grid_untran(kMiss, 3, &gx, &gy) == -1 && y == kMiss &&
                gy == kMiss);
    EXPECT_TRUE(MAP_in_domain(xc, yc) == 1 && MAP_in_domain(L.x_max + 1, yc) == 0);
    EXPECT_TRUE(MAP_in_grid_domain(L.x_max + 1, yc) == 1 && MAP_in_grid_domain(L.x_max + 7, yc) == 0);  // 3 dx
    for (const char* text : {"xy,0,0,25,17,1,1", "pix,0,0,25,17,1,1"}) {  // row forms without an earth projection
        const Domain k = dom(text);
        MAP_domain(&k);
        expect_rows_match({{10, 20}, {-30, 1000}, {0, kMiss}});
    }
    Domain flat = dom("ll:0:0,0,0");  // zero spacing, which the decoder refuses, set by hand
    flat.dx = flat.dy = 0;
    MAP_domain(&flat);
    float la1 = 10, lo1 = 10;
    EXPECT_TRUE(MAP_tran_grid_row(&la1, &lo1, 1, &gx, &gy) == 0 && gx == kMiss);
    EXPECT_TRUE(MAP_domain(nullptr) == -1 && MAP_get_proj() == -9999);  // no domain: no projection
    MAP_domain(&d);
    const Domain ll = dom("ll:0:0,0,0"), orth = dom("ortho,40,-100"), me = dom("merc,0,0");
    MAP_tran(45, -90, &x, &y);
    MAP_domain(&me);
    float x2 = 0, y2 = 0;
    EXPECT_EQ(MAP_domain_tran(&d, &ll, x, y, &x2, &y2), 1);
    EXPECT_TRUE(std::fabs(x2 + 90) < 1e-3 && std::fabs(y2 - 45) < 1e-3) << x2 << " " << y2;
    EXPECT_TRUE(MAP_domain_tran(&ll, &orth, 80, -40, &x2, &y2) == 0 && x2 == kMiss);
    EXPECT_TRUE(MAP_domain_tran(&d, &d, 1.5f, 2.5f, &x2, &y2) == 1 && x2 == 1.5f);
    EXPECT_EQ(MAP_get_proj(), DOM_MERC);
    MAP_domain(&ll);  // 111.195 km of great circle per degree
    MAP_offset(10, 40, 0, 111.195f, &x, &y);
    MAP_offset(10, 60, 90, 111.195f, &x2, &y2);
    EXPECT_TRUE(std::fabs(y - 41) < 1e-4 && std::fabs(x2 - 12) < 1e-3) << y << " " << x2;
}

// Station thinning: steps in order, each limit starting a fresh grid over a
// 5 x 5 latitude-longitude domain (x and y from -2 to 2).
TEST(MapEdges, StationThinning) {
    const Domain d = dom("ll:0:0,0,0,5,5,1,1");
    MAP_domain(&d);
    EXPECT_TRUE(MAP_set_plot_limit(0) == 0 && MAP_plot_grid(0, 0) == 1);  // no limit: always yes
    const struct { int limit; float x, y; int want; } steps[] = {
        {1, 0.1f, 0.1f, 1},  {1, 0.2f, 0.2f, 0},  {1, 1.1f, 0.2f, 1},  {1, 9, 0, 0},  // one per cell, none outside
        {2, 0.1f, 0.1f, 1},  {2, 0.6f, 0.1f, 1},  {2, 0.7f, 0.1f, 0},                 // half cells
        {3, 2, -2, 1},       {3, 0, 0, 1},        {3, 0.1f, 0, 0},     {3, 0.34f, 0, 1},
        {-2, -2, 2, 1},      {-2, -1, 1, 0},      {-2, 0, 2, 1},                      // double cells
        {-1, 0.1f, 0.1f, 1}, {-1, 0.1f, 0.1f, 1}, {-1, 9, 0, 0},                      // no counting, inside only
        {0, 9, 0, 1},
    };
    int limit = 99;
    for (const auto& s : steps) {
        if (s.limit != limit) {
            MAP_set_plot_limit(limit = s.limit);
            ASSERT_EQ(MAP_plot_grid_init(), 0);
        }
        EXPECT_EQ(MAP_plot_grid(s.x, s.y), s.want) << "limit " << s.limit << " at " << s.x << "," << s.y;
    }
    MAP_set_plot_limit(0);
}

// The diagram kinds from their definitions (values by python3's math
// module): x = T, y = -ln p (xlogp, emagram), Stuve y = -p^0.285714, the
// unrotated tephigram y = ln theta, theta = (T + 273.15)(1000 / p)^0.286,
// the hodograph (direction, speed), the linear kinds scaled by nx/dx and
// ny/dy from their corner (downward for the cross-section), skew-T x = T +
// xfactor (y - y_min), xfactor from the limits and a view twice as wide as
// high. Each row: domain, (T, p) -> (x, y) (kAny: not checked), the
// pressure the inverse gives back, and the limits (x_min, x_max, y_min,
// y_max) unless kAny.
TEST(MapEdges, DiagramKinds) {
    const MAP_limits view{0.0f, 2.0f, 0.0f, 1.0f}, unit{0.0f, 1.0f, 0.0f, 1.0f};
    MAP_set_view(&view);
    constexpr float kAny = 12345.0f;
    const struct { const char* domain; float t, p, x, y, p_back, tol, x_min, x_max, y_min, y_max; } rows[] = {
        {"xlogp,-40,1000,80,-900", 20, 500, 20, -6.2146081f, 500, 1e-3f, -40, 40, -6.9077553f, -4.6051702f},
        {"ema,-40,1000,80,-900", 5, 250, 5, -5.5214609f, 250, 1e-3f, kAny, 0, 0, 0},
        {"stuve,-40,1000,80,-900", 0, 700, 0, -6.4995657f, 700, 0.05f, kAny, 0, 0, 0},
        {"rteph,-40,1000,80,-900", 10, 850, 10, 5.6924572f, 849.86187f, 0.02f, kAny, 0, 0, 0},
        {"teph,-40,1050,80,-950", 10, 700, kAny, kAny, 699.75037f, 0.02f, -40, 40, 4.6051702f, 6.9565454f},
        {"skewt,-40,1050,80,-950", -10, 500, 2.6213346f, -6.2146081f, 500, 0.05f, -40, 40, -6.9565454f, -4.6051702f},
        {"hodo,-30,-20,60,50", 270, 10, -10, 0, 10, 1e-3f, -30, 30, -20, 30},
        {"xy,0,0,100,50,10,5", 5, 2.5f, 50, 25, 2.5f, 1e-5f, 0, 100, 0, 50},
        {"cat,1,2,10,20,5,40", 3, 12, 5, 7, 12, 1e-5f, 1, 11, 2, 22},
        {"xp,1,2,10,20,5,40", 3, 10, 5, -8, 10, 1e-5f, 1, 11, -2, 18},
        {"pix,0,0", 12, 34, 12, -34, 34, 1e-5f, kAny, 0, 0, 0},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.domain);
        const Domain d = dom(r.domain);
        MAP_domain(&d);
        MAP_limits L{};
        MAP_get_limits(&L);
        EXPECT_TRUE(r.x_min == kAny || std::fabs(L.x_min - r.x_min) + std::fabs(L.x_max - r.x_max) +
                                               std::fabs(L.y_min - r.y_min) + std::fabs(L.y_max - r.y_max) < 1e-5)
            << L.x_min << " " << L.x_max << " " << L.y_min << " " << L.y_max;
        float x = 0, y = 0, t = 0, p = 0;
        ASSERT_EQ(MAP_tran(r.t, r.p, &x, &y), 1);
        MAP_untran(x, y, &t, &p);
        EXPECT_TRUE((r.x == kAny || std::fabs(x - r.x) < 1e-4) && (r.y == kAny || std::fabs(y - r.y) < 1e-4))
            << x << " " << y;
        EXPECT_TRUE(std::fabs(t - r.t) < 1e-3 && std::fabs(p - r.p_back) < r.tol) << t << " " << p;
        if (std::strstr(r.domain, "teph")) {  // the tephigrams do not plot a missing temperature
            EXPECT_TRUE(MAP_tran(kMiss, 700, &x, &y) == 0 && x == kMiss);
        }
    }
    MAP_set_view(&unit);
}

}  // namespace
