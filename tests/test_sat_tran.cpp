// AREA navigation against outside references: PROJ's geostationary view
// (`proj +proj=geos`) for the spin-scan and three-axis kinds, PROJ's map
// projections for the map blocks, independent Python models of the
// spin-scan and three-axis navigation (tests/data/nav), the real GOES-8
// and "pngarea" files; then the calendar helpers and malformed blocks.
#include "zem_test.h"

#include <cstring>
#include <tuple>

#include "area_writer.h"
#include "maptran.h"
#include "sat_tool.h"
#include "sat_tran.h"

namespace {

constexpr double kDtr = M_PI / 180.0;
constexpr float kMiss = -9999.0f;
using Pairs = std::vector<std::pair<double, double>>;
using Lines = std::vector<std::vector<double>>;

// An AREA file (a sample description, or a real file with `is_path`) read
// with the AREA reader and made the active navigation.
struct Sample {
    MC_area area{};
    bool loaded = false;
    int init = -100;  // AREA_init's result; -100 when the file was not read
    explicit Sample(const std::string& text, bool is_path = false) { load(text, is_path); }
    ~Sample() { if (loaded) SAT_free_AREA(&area); }
    void load(const std::string& text, bool is_path) {
        zt::TempDir dir;
        std::string err, path = is_path ? text : dir.file("sample.area");
        ASSERT_TRUE(is_path || area_make_file(text, path, &err)) << err;
        ASSERT_EQ(zt::read_area(path, &area), 0) << path;
        loaded = true;
        init = AREA_init(&area);
    }
};

// Great-circle distance in km on a 6371 km sphere.
double dist_km(double lat1, double lon1, double lat2, double lon2) {
    const double p1 = lat1 * kDtr, p2 = lat2 * kDtr, dl = (lon2 - lon1) * kDtr;
    const double h = std::pow(std::sin((p2 - p1) / 2), 2) + std::cos(p1) * std::cos(p2) * std::pow(std::sin(dl / 2), 2);
    return 2 * 6371.0 * std::asin(std::min(1.0, std::sqrt(h)));
}

// Output lines of a reference script of tests/data/nav as numbers ("miss"
// gives an empty line).
Lines nav_ref(const std::string& script, const std::string& args) {
    const zt::RunResult r = zt::run("/usr/bin/python3 " + std::string(ZEM_TEST_DATA) + "/nav/" + script + args);
    EXPECT_EQ(r.status, 0) << r.out;
    Lines out;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream in(line);
        out.emplace_back(std::istream_iterator<double>(in), std::istream_iterator<double>());
    }
    return out;
}

// Image line and element of points by the remapper's row form (which is
// earth to satellite followed by satellite to image coordinates).
Pairs image_row(const Pairs& latlon) {
    const std::size_t n = latlon.size();
    std::vector<float> lat(n), lon(n), line(n), elem(n);
    for (std::size_t k = 0; k < n; ++k) std::tie(lat[k], lon[k]) = latlon[k];
    AREA_image_row(lat.data(), lon.data(), static_cast<int>(n), line.data(), elem.data());
    Pairs out;
    for (std::size_t k = 0; k < n; ++k) out.emplace_back(line[k], elem[k]);
    return out;
}

Pairs grid(double a0, double a1, double as, double b0, double b1, double bs) {
    Pairs p;
    for (double a = a0; a <= a1; a += as)
        for (double b = b0; b <= b1; b += bs) p.emplace_back(a, b);
    return p;
}

// Pixels to earth against reference lines ("lat lon", empty for a miss)
// from index `first` (a line before them is the reference's sub-point, to
// 1e-5 degrees): within 1e-4 degrees (11 m), 1e-3 beyond 71 degrees of
// arc from the sub-point where the float instrument angles leave tens of
// metres; a miss gives -9999 and `miss_rc`. The reference positions of the
// nearer pixels must come back to those pixels within tol_pix through the
// row form. Returns the number of misses.
int expect_ref_pixels(const Pairs& pix, const Lines& ref, std::size_t first, int miss_rc, double tol_pix) {
    float slat = 0, slon = 0, sl = 0, se = 0;
    AREA_tran(3, &slat, &slon, &sl, &se);
    if (first == 1) {
        EXPECT_TRUE(std::hypot(slat - ref[0].at(0), slon - ref[0].at(1)) < 1e-5) << slat << " " << slon;
    }
    Pairs earth, at;
    int misses = 0;
    for (std::size_t i = 0; i < pix.size(); ++i) {
        const auto& r = ref.at(first + i);
        float lat = 0, lon = 0, lin = static_cast<float>(pix[i].first), ele = static_cast<float>(pix[i].second);
        const int rc = AREA_tran(1, &lat, &lon, &lin, &ele);
        SCOPED_TRACE(testing::Message() << "pixel " << lin << " " << ele);
        if (r.size() != 2) {
            EXPECT_TRUE(r.empty() && rc == miss_rc && lat == kMiss) << rc << " " << lat;
            ++misses;
            continue;
        }
        const bool near = dist_km(slat, slon, r[0], r[1]) < 71 * 111.2;
        EXPECT_NEAR(lat, r[0], near ? 1e-4 : 1e-3);
        EXPECT_NEAR(lon, r[1], near ? 1e-4 : 1e-3);
        if (!near) continue;
        earth.emplace_back(r[0], r[1]);
        at.push_back(pix[i]);
    }
    EXPECT_GT(at.size(), pix.size() / 3);
    const Pairs back = image_row(earth);
    for (std::size_t i = 0; i < at.size(); ++i) {
        EXPECT_NEAR(back[i].first, at[i].first, tol_pix) << at[i].first << " " << at[i].second;
        EXPECT_NEAR(back[i].second, at[i].second, tol_pix) << at[i].first << " " << at[i].second;
    }
    return misses;
}

// ---- Geostationary views against PROJ ---------------------------------------

// A pixel is linear in the view's scan angles: north-south y = (l0 - line) rl,
// east-west x = (elem - e0) re, radians; PROJ's geos takes them times h.
struct ScanGrid { double l0, rl, e0, re, h; };

// The active navigation against PROJ's geos `args` both ways: pixels to
// earth within tol_km of PROJ's inverse, earth points to pixels within
// tol_pix of PROJ's forward, off-earth pixels and hidden points exactly
// where PROJ has none (AREA_tran then returns `hidden_rc`). The earth points
// lie around the sub-point longitude `lon`, some beyond the limb at 81.3
// degrees of arc: along the equator and the meridian out to 84.5, and
// diagonals.
void expect_geos(const std::string& args, const ScanGrid& g, const Pairs& pix, double lon, double tol_km,
                 double tol_pix, int hidden_rc) {
    Pairs in, ll, geo;
    for (double la : {-84.5, -79.0, -60.0, -30.0, 0.0, 30.0, 60.0, 79.0, 84.5})
        for (double dl : {-84.5, -79.0, -60.0, -30.0, 0.0, 30.0, 60.0, 79.0, 84.5}) geo.emplace_back(la, lon + dl);
    for (const auto& [l, e] : pix) in.emplace_back((e - g.e0) * g.re * g.h, (g.l0 - l) * g.rl * g.h);
    for (const auto& [la, lo] : geo) ll.emplace_back(lo, la);
    const Pairs inv = zt::proj("-I " + args, in), fwd = zt::proj(args, ll);
    ASSERT_TRUE(inv.size() == pix.size() && fwd.size() == geo.size()) << "proj missing?";
    int hits = 0, misses = 0;
    for (std::size_t i = 0; i < pix.size(); ++i) {
        float lat = 0, lon = 0, lin = static_cast<float>(pix[i].first), ele = static_cast<float>(pix[i].second);
        AREA_tran(1, &lat, &lon, &lin, &ele);
        ASSERT_EQ(lat != kMiss, !std::isnan(inv[i].first)) << "pixel " << lin << " " << ele;
        hits += lat != kMiss;
        if (lat != kMiss) { EXPECT_LT(dist_km(lat, lon, inv[i].second, inv[i].first), tol_km) << lin << " " << ele; }
    }
    const Pairs back = image_row(geo);
    for (std::size_t i = 0; i < geo.size(); ++i) {
        float lat = static_cast<float>(geo[i].first), lon = static_cast<float>(geo[i].second), lin = 0, ele = 0;
        const int rc = AREA_tran(2, &lat, &lon, &lin, &ele);
        SCOPED_TRACE(testing::Message() << "point " << lat << " " << lon);
        EXPECT_FLOAT_EQ(back[i].first, lin);  // image and satellite coordinates coincide here
        misses += std::isnan(fwd[i].first);
        if (std::isnan(fwd[i].first)) {
            EXPECT_TRUE(rc == hidden_rc && lin == kMiss) << rc << " " << lin;
            continue;
        }
        ASSERT_EQ(rc, 0);
        EXPECT_LT(std::hypot(lin - (g.l0 - fwd[i].second / g.h / g.rl), ele - (g.e0 + fwd[i].first / g.h / g.re)),
                  tol_pix) << lin << " " << ele;
    }
    EXPECT_GT(hits, 20);
    EXPECT_GT(misses, 4);  // the limb lies inside the grid of points
    float lat = 91, lo = static_cast<float>(lon), lin = 0, ele = 0;  // no such latitude
    EXPECT_TRUE(AREA_tran(2, &lat, &lo, &lin, &ele) == hidden_rc && lin == kMiss) << lin;
}

// A geostationary spin-scan satellite near `lon` east at 1995 day 100
// 12:00, 20 degrees of view in 14568 lines (1821 scans of 8 sensors) and
// 15288 elements. The orbit radius makes the mean motion the sidereal rate:
// a = 6378.388 (0.07436574 / 0.004375269512809179)^(2/3) = 42165.4102 km,
// and the mean anomaly puts the satellite over `lon` at image time
// (circular equatorial orbit, perigee and node 0).
std::string goes_desc(double lon, const std::string& extra = "") {
    const double minutes = numdy(90001, 95100) * 1440.0 + (12.0 - int2deg(171537)) * 60.0;
    const double g = std::fmod(0.004375269512809179 * minutes, 2 * M_PI) / kDtr;
    return "lines 100\nelements 100\nlcor 1\necor 1\nlres 1\neres 1\nnav GOES\niddate 95100\nitime 120000\n"
           "edate 950410\netime 120000\nsemima 4216541\neccen 0\norbinc 0\nmeana " +
           std::to_string(std::lround(std::fmod(lon + g + 720.0, 360.0) * 1000)) +
           "\nperigee 0\nasnode 0\ndeclin 900000\nrascen 0\npiclin 7284\nspinp 600000\ndeglin 200000\n"
           "lintot 801821\ndegele 200000\neletot 15288\n" + extra;
}

std::string gvar_desc(int instr, const std::string& extra = "") {
    return "lines 100\nelements 100\nlcor 1\necor 1\nlres 1\neres 1\nnav GVAR\nimcact 0x80\nreflon -13089969\n"
           "etime0 0x19982601\netime1 0\nimgday 98260\nimgtm 74514372\nimgsnd " + std::to_string(instr) +
           "\niofnc 4\niofni 3068\niofec 2\niofei 3068\n" + extra;
}

// With no misalignment and the spin axis at the pole, a spin-scan pixel is
// a geostationary view sweeping about the north-south axis: PROJ's geos with
// sweep=y on the 6378.388/6356.912 km ellipsoid from 42165.41 km. The
// three-axis imager without attitude terms is geos with sweep=x from
// 42164.365 km on the ellipsoid of squared axis ratio 1.0067391845079678
// (b = 6357003.458 m); its nadir is line 0.220896 / 2.8e-5 + 4.5 and
// element 0.24544 / 1.6e-5 + 1, with 2.8e-5 and 1.6e-5 rad per line and
// element. (The real file below is the big-endian three-axis block.)
TEST(GeosView, NavigationAgreesWithProj) {
    if (!zt::have_tool("proj")) GTEST_SKIP() << "proj (proj-bin) not installed";
    const double spin_h = 42165410.0 - 6378388.0;
    Sample s(goes_desc(-75.0));
    ASSERT_EQ(s.init, 0);
    float slat = 0, slon = 0, sl = 0, se = 0;
    ASSERT_EQ(AREA_tran(3, &slat, &slon, &sl, &se), 0);
    EXPECT_NEAR(slat, 0.0, 1e-4);
    EXPECT_NEAR(slon, -75.0, 0.01);  // the anomaly word holds 0.001 degree
    EXPECT_TRUE(std::fabs(sl - 7284) < 0.5 && std::fabs(se - 7644.5) < 0.5) << sl << " " << se;
    char args[160];
    std::snprintf(args, sizeof args, "+proj=geos +h=%.1f +a=6378388 +b=6356912 +lon_0=%.6f +sweep=y", spin_h, slon);
    expect_geos(args, {7284, 20 * kDtr / 14567, 7644.5, 20 * kDtr / 15287, spin_h},
                grid(1284, 13284, 1500, 1644, 13644, 1500), slon, 0.5, 0.5, -1);
    SCOPED_TRACE("three-axis imager");
    Sample g("order little\n" + gvar_desc(1));
    ASSERT_EQ(g.init, 0);
    expect_geos("+proj=geos +h=35785977 +a=6378388 +b=6357003.458 +lon_0=-74.99999848 +sweep=x",
                {0.220896 / 2.8e-5 + 4.5, 2.8e-5, 0.24544 / 1.6e-5 + 1, 1.6e-5, 35785977},
                grid(1000, 15000, 2000, 2000, 28000, 3000), -75, 0.05, 0.05, 0);
}

// The real GOES-8 water-vapour image (1998 day 260 07:45, big-endian,
// three-axis, motion compensation on board): the view from its reference
// longitude, with the scan bounds of its own nadir cycles and increments.
// With the on-board bit cleared the block's orbit and attitude series (8
// and 6 sinusoids, a 13 km daily radius term) are used, and the navigation
// must agree with tests/data/nav/gvar_ref.py fed the same 640 words.
TEST(GeosView, RealGoes8File) {
    const std::string path = zt::testdata("area/cmx3g8_wv_1998.260_0745_mcidas.ara");
    ZT_NEED_DATA(path);
    Sample s(path, true);
    ASSERT_TRUE(s.init == 0 && AREA_get_kind() == AREA_NAV_GVAR);
    const MC_nav_gvar& n = *s.area.navgv;
    float l = 0, e = 0;
    AREA_line_elem(1, 200, 900, &l, &e);
    EXPECT_TRUE(l == 3797 - 1 + 8 * 200 && e == 10881 - 1 + 4 * 900) << l << " " << e;  // lcor, lres, ecor, eres
    AREA_set_res(1, 1, 1, 1);  // image coordinates = satellite ones for the row form
    if (zt::have_tool("proj")) {
        char args[160];
        std::snprintf(args, sizeof args, "+proj=geos +h=35785977 +a=6378388 +b=6357003.458 +lon_0=%.8f +sweep=x",
                      n.reflon / 1e7 / kDtr);
        expect_geos(args, {(6136.0 * n.iofnc + n.iofni) * 8e-6 / 2.8e-5 + 4.5, 2.8e-5, 6136.0 * n.iofec + n.iofei + 1,
                           1.6e-5, 35785977},
                    grid(3797, 6989, 456, 10881, 18077, 800), -75, 0.05, 0.05, 0);
    }
    s.area.navgv->imcact &= ~0x80;
    ASSERT_EQ(AREA_init(&s.area), 0);
    AREA_set_res(1, 1, 1, 1);
    std::int32_t words[640];
    std::memcpy(words, s.area.navgv, sizeof words);
    std::string args;
    for (int i = 1; i < 640; ++i)
        if (words[i] != 0) args += " " + std::to_string(i) + "=" + std::to_string(words[i]);
    const Pairs pix = grid(3800, 6800, 500, 11000, 18000, 1000);
    for (const auto& [pl, pe] : pix) args += " pix:" + std::to_string(int(pl)) + ":" + std::to_string(int(pe));
    const Lines ref = nav_ref("gvar_ref.py", args);
    ASSERT_TRUE(ref.size() == 1 + pix.size() && ref[0].size() == 2);
    EXPECT_GT(std::fabs(ref[0][1] - words[5] / 1e7 / kDtr), 1e-4);  // the series moved the sub-point
    EXPECT_EQ(expect_ref_pixels(pix, ref, 1, 0, 0.01), 0);
}

// ---- Full models against the Python references --------------------------------

// A tilted spin axis, sensor misalignment, an element offset with drift and
// a slightly eccentric, inclined orbit: satellite to earth against
// tests/data/nav/spin_scan_ref.py, and the reference's earth points back to
// their pixels (the earth-to-satellite iteration of the row form). A
// 3-degree frame of the same resolution does not hold 20N 60W (2.4 degrees
// east of nadir): visible but outside the frame gives -9999 and 0.
TEST(SpinScan, FullModelAgreesWithPython) {
    const std::string desc = goes_desc(-75.0, "pitch 1000\nyaw -500\nroll 2000\ndeclin 893000\nrascen 1200000\n"
                                              "gamma 250\ngamdot 10\norbinc 500\neccen 300\n");
    Sample s(desc);
    ASSERT_EQ(s.init, 0);
    std::string args;
    std::istringstream in(desc.substr(desc.find("nav GOES\n") + 9));
    for (std::string key, value; in >> key >> value;) args += " " + key + "=" + value;
    const Pairs pix = grid(1284.5, 13284, 1000, 1644, 13644, 1000);
    for (const auto& [l, e] : pix) args += " " + std::to_string(l) + ":" + std::to_string(e);
    const Lines ref = nav_ref("spin_scan_ref.py", args);
    ASSERT_EQ(ref.size(), pix.size());
    EXPECT_GT(expect_ref_pixels(pix, ref, 0, -1, 0.05), 10);
    Sample narrow(goes_desc(-75.0, "degele 30000\neletot 2293\n"));
    float lat = 20, lon = -60, lin = 0, ele = 0;
    EXPECT_TRUE(AREA_tran(2, &lat, &lon, &lin, &ele) == 0 && lin == kMiss && ele == kMiss);
}

// The true-anomaly and secular-perturbation paths of the orbit model on an
// eccentric, inclined low orbit whose epoch (1995-01-01 00:30) lies 40
// minutes after the perigee passage (so the passage falls in 1994) and whose
// anomaly word (250 degrees) lies past apogee, against
// tests/data/nav/spin_orbit_ref.py (datetime calendar, half-angle anomaly,
// Newton's method for Kepler's equation).
TEST(SpinScan, OrbitModelsAgreeWithPython) {
    Sample s(goes_desc(-75.0, "semima 700000\neccen 50000\norbinc 60000\nmeana 250000\nperigee 45000\n"
                              "asnode 100000\nedate 950101\netime 3000\n"));
    ASSERT_EQ(s.init, 0);
    const datim whens[] = {{95100, 12}, {95100, 12}, {95001, 0.25}, {94365, 23.9}, {95101, 3.25}, {96060, 7.5}};
    const int coords[] = {1, 0, 1, 1, 0, 1};
    pt kepler{}, perturbed{};
    for (int anom_type : {0, 1})
        for (int sec_ord : {0, 1}) {
            SCOPED_TRACE(testing::Message() << "anom_type " << anom_type << " sec_ord " << sec_ord);
            ASSERT_EQ(AREA_set_orbit_model(anom_type, sec_ord), 0);
            goes_orbit o{};
            ASSERT_EQ(AREA_get_orbit(&o), 0);
            std::ostringstream args;
            args << " 7000 0.05 60 250 45 100 " << anom_type << " " << sec_ord << " 950101 3000";
            for (int i = 0; i < 6; ++i) args << " " << whens[i].date << ":" << whens[i].tim << ":" << coords[i];
            const Lines ref = nav_ref("spin_orbit_ref.py", args.str());
            ASSERT_TRUE(ref.size() == 7 && ref[0].size() == 2);
            EXPECT_LT(std::hypot(o.period - ref[0][0], o.anom_per - ref[0][1]), 1e-6) << o.period << " " << o.anom_per;
            for (int i = 0; i < 6; ++i) {
                datim d = whens[i];
                pt p{};
                ASSERT_TRUE(AREA_pos(&d, coords[i], &p) == 0 && ref[i + 1].size() == 3);
                // To a metre: at 7 km/s a perigee passage a second off would show.
                EXPECT_LT(std::hypot(p.x - ref[i + 1][0], p.y - ref[i + 1][1], p.z - ref[i + 1][2]), 1e-3) << i;
                if (i == 5 && anom_type == 0) (sec_ord ? perturbed : kepler) = p;
            }
        }
    // Over 14 months the perturbations turn node and perigee by tens of degrees.
    EXPECT_GT(std::hypot(perturbed.x - kepler.x, perturbed.y - kepler.y), 1000.0);
    // A polar orbit with e = 0.999 just above the surface: the perturbed mean
    // motion n (1 + 0.00162342 s / p^2 (1 - 1.5)), s = sqrt(1 - e^2) = 0.0447,
    // p = 6400 / 6378.388 s^2 = 0.002006, is -8 n: the switch is refused.
    Sample polar(goes_desc(-75.0, "semima 640000\neccen 999000\norbinc 90000\n"));
    goes_orbit kept{};
    EXPECT_TRUE(AREA_set_orbit_model(0, 1) == -1 && AREA_get_orbit(&kept) == 0 && kept.sec_ord == 0);
    EXPECT_EQ(AREA_set_orbit_model(1, 0), 0);
    Sample g(gvar_desc(1));  // the switches and the orbit need a spin-scan block
    datim t{95100, 12};
    pt p{1, 2, 3};
    EXPECT_TRUE(AREA_set_orbit_model(1, 1) == -1 && AREA_get_orbit(&kept) == -1 && AREA_pos(&t, 0, &p) == -1);
    EXPECT_EQ(p.x, 0);
}

// Every term of the three-axis model (tests/data/nav/gvar_full.words: ground
// motion compensation with all series terms, attitude series with
// exponential, sinusoid and monomial terms, roll and pitch misalignment)
// against tests/data/nav/gvar_ref.py, for the imager, the sounder and the
// sounder with its default scan bounds (no nadir cycle words): sub-point,
// instrument to earth over a grid of pixels and the reference's positions
// back to the pixels (the misalignment terms are first-order, not exact
// inverses: within a tenth of a pixel), earth to instrument for a grid of
// points (sounder units are tenths of a pixel).
TEST(GvarFullModel, AgreesWithPython) {
    const struct { int instr; bool bounds; double step_e, last_e, tol, tol_back; } models[] = {
        {1, true, 2500, 27500, 0.01, 0.1}, {2, true, 1500, 16500, 0.1, 1.0}, {2, false, 1500, 16500, 0.1, 1.0}};
    for (const auto& m : models) {
        SCOPED_TRACE(testing::Message() << "instrument " << m.instr << " bounds " << m.bounds);
        std::ostringstream desc, args;
        desc << "lines 100\nelements 100\nlcor 1\necor 1\nlres 1\neres 1\nnav GVAR\nimgsnd " << m.instr << '\n';
        std::istringstream words(zt::slurp(ZEM_TEST_DATA "/nav/gvar_full.words"));
        for (std::string line, word, value; std::getline(words, line);) {
            std::istringstream(line) >> word >> value;
            if (line[0] == '#' || (std::stoi(word) >= 379 && !m.bounds)) continue;
            desc << 'w' << word << ' ' << value << '\n';
            args << ' ' << word << '=' << value;
        }
        args << " 369=" << m.instr;
        const Pairs pix = grid(1500, 15000, 1500, m.step_e, m.last_e, m.step_e), geo = grid(-60, 60, 20, -150, 0, 25);
        for (const auto& [l, e] : pix) args << " pix:" << l << ':' << e;
        for (const auto& [la, lo] : geo) args << " geo:" << la << ':' << lo;
        Sample s(desc.str());
        ASSERT_EQ(s.init, 0);
        const Lines ref = nav_ref("gvar_ref.py", args.str());
        ASSERT_TRUE(ref.size() == 1 + pix.size() + geo.size() && ref[0].size() == 2);
        int misses = expect_ref_pixels(pix, ref, 1, 0, m.tol_back);
        const Pairs lines = image_row(geo);
        for (std::size_t i = 0; i < geo.size(); ++i) {
            const auto& r = ref[1 + pix.size() + i];
            float line = 0, elem = 0;
            const int rc = earth2sat(static_cast<float>(geo[i].first), static_cast<float>(geo[i].second), &line, &elem);
            misses += r.empty();
            EXPECT_FLOAT_EQ(lines[i].first, line);
            EXPECT_TRUE(r.empty() ? rc == -1 && line == kMiss : std::hypot(line - r[0], elem - r[1]) < m.tol)
                << "point " << geo[i].first << " " << geo[i].second << ": " << rc << " " << line << " " << elem;
        }
        EXPECT_GT(misses, 5);
    }
}

// ---- Map blocks against PROJ --------------------------------------------------

// A map block's grid: map metres x = (elem - e0) m_elem, y = (l0 - line)
// m_line for PROJ's inverse of `proj`; a real file when `file` is set.
struct MapCase {
    const char *name, *desc, *file;
    std::string proj;
    double m_elem, m_line, e0, l0;
    int first, last, step;  // lines and elements sampled
    double tol_km;
};
void PrintTo(const MapCase& c, std::ostream* os) { *os << c.name; }

// Hundreds of km per pixel: PS 63.71 x spacing / radius, MERC and LAMB
// 63.713 x spacing / radius, TANC km x 10000 / 1e6, MOLL 0.62 x word 3 /
// 1000 (the "KMPP" variant 0.7071 x word 6 / 1000 / (380.344 x word 3));
// map metres are 1e5 times those. The module's sphere is 6371220 m; its
// Mollweide (x = R dlon/90 cos t, y = R sin t) is PROJ's on R / sqrt(2).
// MSAT: x = (1250.5 - E/2) t, y = (1250 - L/2) t, t = 0.0529848, are
// 421.64 times the scan angles of PROJ's geos (sweep=y) over the
// 6378.1368/6356.752 km ellipsoid at 42164 - 6378.1368 km.
std::vector<MapCase> map_cases() {
    const double ps = 63.71 * 10000 / 6371200 * 1e5, me = 63.713 * 20000 / 6371200 * 1e5;
    const double mo = 0.62 * 100 / 1000 * 1e5, mk = 0.7071 * 5000 / 1000.0 / (380.344 * 2) * 1e5;
    const double real_ps = 63.71 * 2381 / 6378388.0 * 1e5, ms = 0.0529848 / 2 / 421.64 * (42164e3 - 6378136.8);
    const std::string R = " +R=6371220", moll = "+proj=moll +R=4505132.866";
    return {
        {"PS", "nav PS\nnpline 50\nnpelem 60\nstdlat 600000\nspacing 10000\nnrmlon 1050000\nequrad 6371200\n",
         nullptr, "+proj=stere +lat_0=90 +lat_ts=60 +lon_0=-105" + R, ps, ps, 60, 50, -50, 250, 60, 0.25},
        {"MERC", "nav MERC\nw1 100\nw2 100\nw4 20000\nw5 900000\nw6 6371200\n", nullptr,
         "+proj=merc +lon_0=-90" + R, me, me, 100, 100, -50, 250, 60, 0.25},
        {"LAMB", "nav LAMB\nw1 -300\nw2 100\nw3 330000\nw4 450000\nw5 20000\nw6 950000\nw7 6371200\nw11 390000\n",
         nullptr, "+proj=lcc +lat_1=33 +lat_2=45 +lat_0=90 +lon_0=-95" + R, me, me, 100, -300, -50, 250, 60, 0.25},
        {"TANC", "nav TANC\nnpline -5000000\nnpelem 1000000\nspacing 100000\nstdlat 250000\nstdlon 950000\n", nullptr,
         "+proj=lcc +lat_1=25 +lat_0=90 +lon_0=-95" + R, 1e4, 1e4, 100, -500, -50, 250, 60, 0.25},
        {"MOLL", "nav MOLL\nw1 200\nw2 400\nw3 100\nw4 0\n", nullptr, moll, mo, mo, 400, 200, -50, 250, 60, 0.25},
        {"MOLL_KMPP", "nav MOLL\nw1 200\nw2 400\nw3 2\nw4 -300000\nw6 5000\nw14 0x4B4D5050\n", nullptr,
         moll + " +lon_0=30", mk, mk, 400, 200, -50, 250, 60, 0.25},
        {"MSAT", "nav MSAT\nnrmlon 1250\nequrad 0\n", nullptr,
         "+proj=geos +h=35785863.2 +a=6378136.8 +b=6356752 +lon_0=0", -ms, ms, 2501, 2500, 100, 4900, 400, 0.5},
        // The real little-endian radar composite: npline -1530, npelem 830,
        // 60N true, 105W, 2.381 km on the 6378.388 km earth.
        {"pngarea", "", "area/pngarea", "+proj=stere +lat_0=90 +lat_ts=60 +lon_0=-105" + R, real_ps, real_ps, 830,
         -1530, -1500, 3000, 300, 0.25},
    };
}

class MapBlock : public ::testing::TestWithParam<MapCase> {};

// Satellite coordinates to earth against PROJ's inverse (off-map points
// where PROJ has none), and back to the same coordinates. A map block is no
// satellite navigation: the satellite calls leave their outputs alone and
// the row form locates nothing.
TEST_P(MapBlock, AgreesWithProj) {
    if (!zt::have_tool("proj")) GTEST_SKIP() << "proj (proj-bin) not installed";
    const MapCase& c = GetParam();
    const std::string path = c.file ? zt::testdata(c.file) : "";
    if (c.file) ZT_NEED_DATA(path);
    Sample s(c.file ? path : std::string("lines 100\nelements 100\n") + c.desc, c.file != nullptr);
    ASSERT_TRUE(s.init == 0 && AREA_get_kind() == AREA_NAV_MAP);
    const Pairs pix = grid(c.first, c.last, c.step, c.first, c.last, c.step);
    Pairs in;
    for (const auto& [l, e] : pix) in.emplace_back((e - c.e0) * c.m_elem, (c.l0 - l) * c.m_line);
    const Pairs ref = zt::proj("-I " + c.proj, in);
    ASSERT_EQ(ref.size(), pix.size());
    int hits = 0;
    for (std::size_t i = 0; i < pix.size(); ++i) {
        SCOPED_TRACE(testing::Message() << "line " << pix[i].first << " element " << pix[i].second);
        float lat = 0, lon = 0, lin = static_cast<float>(pix[i].first), ele = static_cast<float>(pix[i].second);
        const int rc = AREA_map_tran(1, &lat, &lon, &lin, &ele);
        ASSERT_EQ(rc == 0, !std::isnan(ref[i].first));
        hits += rc == 0;
        float l2 = 0, e2 = 0;  // and back to the same coordinates
        EXPECT_TRUE(rc == 0 ? dist_km(lat, lon, ref[i].second, ref[i].first) < c.tol_km &&
                                  AREA_map_tran(2, &lat, &lon, &l2, &e2) == 0 &&
                                  std::hypot(l2 - pix[i].first, e2 - pix[i].second) < 0.01
                            : lat == kMiss)
            << lat << " " << lon << " back " << l2 << " " << e2;
    }
    EXPECT_GT(hits, 20);
    float lat = 12, lon = 34, lin = 56, ele = 78;
    EXPECT_TRUE(AREA_tran(1, &lat, &lon, &lin, &ele) == 0 && lat == 12 && image_row({{40, -100}})[0].first == kMiss);
}

INSTANTIATE_TEST_SUITE_P(Types, MapBlock, ::testing::ValuesIn(map_cases()),
                         [](const auto& i) { return std::string(i.param.name); });

// The image domain worked out for a map-type AREA file must put every pixel
// where the navigation block puts it: columns grow eastward (x) and rows
// southward (-y) from the centre pixel (height / 2, width / 2), spaced by the
// domain's dx and dy. Resolution 2 makes image and satellite spacing
// differ, as the corner offsets (those of the real radar composite) put the
// image away from the block's origin; pixels away from the centre catch a
// mirrored image.
TEST(MapBlockDomain, ImageDomainAgreesWithNavigation) {
    const std::string head = "lines 60\nelements 80\nlcor 6\necor -159\neres 2\nlres 2\n";
    for (const std::string& desc :
         {head + "nav RECT\nw1 1\nw2 500000\nw3 11\nw4 1300000\nw5 1000\nw6 1000\n",
          head + "nav MOLL\nw1 30\nw2 40\nw3 100\n",
          head + "nav PS\nnpline 10\nnpelem 20\nstdlat 600000\nspacing 40000\nnrmlon 1050000\nequrad 6371200\n"}) {
        SCOPED_TRACE(desc);
        Sample s(desc);
        ASSERT_EQ(s.init, 0);
        IMG_report image{};
        std::tie(image.width, image.height) = std::make_pair(80, 60);
        AREA_calc_domain(&image, &s.area);
        const Domain d = image.domain;
        Domain md;  // the block's own projection (no centre or grid); RECT's image domain moves plon to the centre
        EXPECT_TRUE(AREA_map_domain(&md) == 0 && md.proj == d.proj && md.nx == -9999 &&
                    (md.proj == DOM_LATLON || DOM_comp_proj(&md, &d)));
        for (const auto& [r, col] : grid(5, 57, 26, 7, 78, 33)) {  // rows 5, 31, 57; columns 7, 40, 73
            float lin = 0, ele = 0, nlat = 0, nlon = 0, xc = 0, yc = 0, dlat = 0, dlon = 0;
            AREA_line_elem(1, static_cast<float>(r), static_cast<float>(col), &lin, &ele);
            ASSERT_EQ(AREA_map_tran(1, &nlat, &nlon, &lin, &ele), 0);
            MAP_domain(&d);
            ASSERT_EQ(MAP_tran(d.clat, d.clon, &xc, &yc), 1);
            MAP_untran(static_cast<float>(xc + (col - 40) * d.dx), static_cast<float>(yc - (r - 30) * d.dy), &dlat,
                       &dlon);
            EXPECT_LT(std::hypot(dlat - nlat, std::remainder(dlon - nlon, 360.0)), 0.02) << r << " " << col;
        }
    }
}

// RECT: latitude = lat0 - step (line - line0), longitude = lon0 + step
// (element - element0), words 2 and 4 (longitudes positive west) with the
// default exponent 4 or explicit ones (2 for the latitude, 3 for the steps).
// The caller's active projection survives a map conversion.
TEST(MapBlockDomain, RectGrid) {
    const char* deg4 = "nav RECT\nw1 1\nw2 500000\nw3 1\nw4 1300000\nw5 1000\nw6 1000\n";
    const struct { const char* desc; float line, elem, lat, lon; } rows[] = {
        {deg4, 1, 1, 50, -130}, {deg4, 300, 600, 20.1f, -70.1f},
        {"nav RECT\nw1 10\nw2 4500\nw3 20\nw4 9000000\nw5 250\nw6 500\nw11 2\nw12 5\nw13 3\nw14 3\n", 12, 24, 44, -89}};
    Domain mine;
    ASSERT_EQ(DOM_decode("merc,0,10,5,5,1,1", &mine), 1);
    for (const auto& r : rows) {
        Sample s(r.desc);
        MAP_domain(&mine);
        float lat = 0, lon = 0, lin = r.line, ele = r.elem, l2 = 0, e2 = 0;
        ASSERT_EQ(AREA_map_tran(1, &lat, &lon, &lin, &ele), 0) << r.desc;
        EXPECT_LT(std::hypot(lat - r.lat, lon - r.lon), 1e-4) << lat << " " << lon;
        ASSERT_EQ(AREA_map_tran(2, &lat, &lon, &l2, &e2), 0);
        EXPECT_LT(std::hypot(l2 - r.line, e2 - r.elem), 1e-2) << l2 << " " << e2;
        EXPECT_TRUE(MAP_get_proj() == DOM_MERC && MAP_get_clon() == 10);
    }
}

// ---- Helpers, malformed and random blocks --------------------------------------

// Blocks no navigation can use are refused with a message naming the
// reason, and leave the image un-navigated.
TEST(NavHelpers, BadBlocksAreRefusedWithAMessage) {
    for (const auto& r : zt::cases("nav/bad_blocks.txt")) {
        std::string desc = r.at(1) + "\n", message = r.at(3);
        for (std::size_t p; (p = desc.find("; ")) != std::string::npos;) desc.replace(p, 2, "\n");
        if (r[0] != "-") desc = r[0] == "goes" ? goes_desc(-75, desc) : gvar_desc(1, desc);
        SCOPED_TRACE(desc);
        zt::MessCapture mess;
        Sample s(desc);
        EXPECT_TRUE(s.init == std::stoi(r.at(2)) && AREA_get_kind() == AREA_NAV_NONE) << s.init;
        EXPECT_EQ(mess.text(), "AREA_init: Invalid " + message + "\n");
        float lat = 1, lon = 2, lin = 3, ele = 4;
        EXPECT_TRUE(AREA_tran(2, &lat, &lon, &lin, &ele) == 0 && lin == 3);
        Domain md;
        EXPECT_TRUE(AREA_map_tran(1, &lat, &lon, &lin, &ele) == -1 && lat == kMiss && AREA_map_domain(&md) == -1);
    }
    float l = 0, e = 0;
    AREA_line_elem(2, 15, 25, &l, &e);
    EXPECT_FLOAT_EQ(l, 16);  // zero resolution taken as 1: (15 - lcor 0) / 1 + 1
    zt::MessCapture mess;
    MC_area none{};
    EXPECT_TRUE(AREA_init(nullptr) == -1 && AREA_init(&none) == -1);
    EXPECT_EQ(mess.text(), "AREA_init: No AREA directory\nAREA_init: No AREA directory\n");
}

// Random navigation words (fixed seed) for every block type: AREA_init
// accepts or refuses the block, and every conversion afterwards gives
// finite numbers or -9999, never NaN, a crash or undefined behaviour (this
// runs under the sanitizers too).
TEST(NavHelpers, RandomBlocksNeverGiveNaN) {
    zt::MessCapture quiet;
    std::uint32_t seed = 12345;
    auto rnd32 = [&seed] { return seed = seed * 1664525u + 1013904223u; };
    auto ok = [](float v) { return std::isfinite(v) || v == kMiss; };
    int accepted = 0;
    for (const char* t : {"GOES", "GVAR", "PS", "MSAT", "MOLL", "RECT", "MERC", "LAMB", "TANC"}) {
        SCOPED_TRACE(t);
        for (int iter = 0; iter < 150; ++iter) {
            MC_area_dir dir{};
            const std::uint32_t r1 = rnd32(), r2 = rnd32(), r3 = rnd32(), r4 = rnd32();  // in this order
            std::tie(dir.lres, dir.eres, dir.lcor, dir.ecor) =
                std::make_tuple(1 + r1 % 8, 1 + r2 % 8, r3 % 20000, r4 % 20000);
            alignas(8) std::uint32_t block[640];
            for (auto& w : block) w = (rnd32() & 3) == 0 ? rnd32() : rnd32() % 2000000;  // mostly plausible
            std::memcpy(block, t, std::strlen(t));
            const bool goes = std::strcmp(t, "GOES") == 0, gvar = std::strcmp(t, "GVAR") == 0;
            // Valid dates, a plausible orbit and a known instrument, so that the maths runs.
            const std::uint32_t r5 = rnd32(), r6 = rnd32();
            if (goes) std::tie(block[1], block[4], block[6], block[7]) =
                          std::make_tuple(95100u, 950410u, 4216541 + r5 % 100000, r6 % 100000);
            if (gvar) std::tie(block[2], block[12], block[13], block[367], block[368], block[369]) =
                          std::make_tuple(iter % 2 ? 0x80u : 0u, 0x19982601u, 0u, 98260u, 74514372u, 1 + r5 % 2);
            // Every layout over the one block: AREA_init reads the type's own.
            MC_area a{};
            a.dir = &dir;
            std::strcpy(a.type, t);
            a.navg = reinterpret_cast<MC_nav_goes*>(block);
            a.navgv = reinterpret_cast<MC_nav_gvar*>(block);
            a.navps = reinterpret_cast<MC_nav_ps*>(block);
            a.navtanc = reinterpret_cast<MC_nav_tanc*>(block);
            a.nav = reinterpret_cast<MC_nav*>(block);
            const int r = AREA_init(&a);
            ASSERT_TRUE(r == 0 || r == -1);
            accepted += r == 0;
            // Half the spin-scan blocks run the true-anomaly and perturbed orbits.
            const bool orbit = r == 0 && AREA_get_kind() == AREA_NAV_SPIN && iter % 2 == 1;
            const int m = orbit ? AREA_set_orbit_model(iter % 4 == 1 ? 1 : 0, 1) : 0;
            EXPECT_TRUE(m == 0 || m == -1);
            for (int k = 0; k < 4; ++k) {
                const float lat = static_cast<float>(rnd32() % 180) - 90, lon = static_cast<float>(rnd32() % 360) - 180;
                const float lin = static_cast<float>(rnd32() % 30000), ele = static_cast<float>(rnd32() % 30000);
                for (auto* tran : {&AREA_tran, &AREA_map_tran}) {
                    float la = 0, lo = 0, l = lin, e = ele, la2 = lat, lo2 = lon;
                    tran(1, &la, &lo, &l, &e);
                    tran(2, &la2, &lo2, &l, &e);
                    EXPECT_TRUE(ok(la) && ok(lo) && ok(l) && ok(e)) << la << " " << lo << " " << l << " " << e;
                }
            }
            float sla = 0, slo = 0, sl = 0, se = 0;
            AREA_tran(3, &sla, &slo, &sl, &se);
            EXPECT_TRUE(ok(sla) && ok(slo));
        }
    }
    EXPECT_GT(accepted, 100);  // the maths ran on many of them
}

}  // namespace
