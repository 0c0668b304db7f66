// AREA navigation: date/angle helpers, spin-scan and three-axis navigation
// (round trips and independent geometry from PROJ's `proj`), the map block
// types, the real GOES-8 file, and malformed navigation blocks.
//
// Reference numbers come from PROJ's `proj` (Debian proj-bin), run through
// popen with the exact command shown in each helper, or from the closed
// formulas written beside the expectation.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

#include "area_writer.h"
#include "maptran.h"
#include "mess.h"
#include "sat_read.h"
#include "sat_tool.h"
#include "sat_tran.h"

namespace {

constexpr double kDtr = M_PI / 180.0;
constexpr float kMiss = -9999.0f;

// ---- helpers -------------------------------------------------------------

struct AreaHolder {
    MC_area area{};
    bool loaded = false;
    ~AreaHolder() {
        if (loaded) SAT_free_AREA(&area);
    }
};

// Writes the description through the sample writer, reads it back with the
// AREA reader and makes it the active navigation. Returns AREA_init's result
// (or -100 when writing/reading failed).
int load_desc(const std::string& desc, AreaHolder* h) {
    std::string err;
    AreaDesc d;
    if (!area_desc_parse(desc, &d, &err)) {
        ADD_FAILURE() << "description: " << err;
        return -100;
    }
    std::vector<std::uint8_t> bytes;
    if (!area_desc_bytes(d, &bytes, &err)) {
        ADD_FAILURE() << "bytes: " << err;
        return -100;
    }
    std::unique_ptr<FILE, int (*)(FILE*)> f(std::tmpfile(), &std::fclose);
    if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f.get()) != bytes.size()) {
        ADD_FAILURE() << "tmpfile";
        return -100;
    }
    std::rewind(f.get());
    if (SAT_read_AREA(f.get(), &h->area) != 0) {
        ADD_FAILURE() << "SAT_read_AREA failed";
        return -100;
    }
    h->loaded = true;
    return AREA_init(&h->area);
}

bool have_proj() { return access("/usr/bin/proj", X_OK) == 0; }

// Runs `proj <args>` over the pairs; returns the output pairs (-9999 for
// "*" outputs). Inverse calls print longitude then latitude.
std::vector<std::pair<double, double>> run_proj(const std::string& args,
                                                const std::vector<std::pair<double, double>>& in) {
    char name[] = "/tmp/nav_projXXXXXX";
    int fd = mkstemp(name);
    std::vector<std::pair<double, double>> out;
    if (fd < 0) return out;
    close(fd);
    {
        std::ofstream o(name);
        o.precision(12);
        for (auto& p : in) o << p.first << ' ' << p.second << '\n';
    }
    std::string cmd = "proj " + args + " < " + name;
    FILE* p = popen(cmd.c_str(), "r");
    if (p != nullptr) {
        char line[256];
        while (std::fgets(line, sizeof line, p)) {
            double a = 0, b = 0;
            if (std::sscanf(line, "%lf %lf", &a, &b) == 2)
                out.emplace_back(a, b);
            else
                out.emplace_back(-9999.0, -9999.0);
        }
        pclose(p);
    }
    std::remove(name);
    return out;
}

bool have_python() { return access("/usr/bin/python3", X_OK) == 0; }

// Runs a reference script of tests/data/nav with /usr/bin/python3 and
// returns its output lines split into numbers.
std::vector<std::vector<double>> run_python(const std::string& script, const std::string& args) {
    std::string cmd =
        "/usr/bin/python3 " + std::string(ZEM_TEST_DATA) + "/nav/" + script + " " + args;
    std::vector<std::vector<double>> out;
    FILE* p = popen(cmd.c_str(), "r");
    if (p == nullptr) return out;
    char line[512];
    while (std::fgets(line, sizeof line, p)) {
        std::istringstream in(line);
        std::vector<double> v;
        double x = 0;
        while (in >> x) v.push_back(x);
        out.push_back(v);
    }
    pclose(p);
    return out;
}

// Great-circle distance in km on a 6371 km sphere.
double dist_km(double lat1, double lon1, double lat2, double lon2);

// Runs PROJ's inverse `args` on the map metres `in` and expects each of
// `mine` (latitude, longitude) within `tol_km` of PROJ's answer; prints
// the largest distance under `label`.
void expect_near_proj_geos(const std::string& args,
                           const std::vector<std::pair<double, double>>& in,
                           const std::vector<std::pair<float, float>>& mine, double tol_km,
                           const char* label) {
    auto ref = run_proj(args, in);
    ASSERT_EQ(ref.size(), in.size());
    double worst = 0;
    for (std::size_t i = 0; i < in.size(); ++i) {
        double dk = dist_km(mine[i].first, mine[i].second, ref[i].second, ref[i].first);
        worst = std::max(worst, dk);
        EXPECT_LT(dk, tol_km) << label << ": x=" << in[i].first << " y=" << in[i].second;
    }
    std::printf("%s: %zu pixels, largest distance to PROJ geos %.4f km\n", label, in.size(),
                worst);
}

// Great-circle distance in km on a 6371 km sphere.
double dist_km(double lat1, double lon1, double lat2, double lon2) {
    double p1 = lat1 * kDtr, p2 = lat2 * kDtr, dl = (lon2 - lon1) * kDtr;
    double h = std::sin((p2 - p1) / 2) * std::sin((p2 - p1) / 2) +
               std::cos(p1) * std::cos(p2) * std::sin(dl / 2) * std::sin(dl / 2);
    return 2 * 6371.0 * std::asin(std::min(1.0, std::sqrt(h)));
}

std::string slurp(const std::string& path) {
    std::ifstream in(path);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

class NavTest : public ::testing::Test {
protected:
    void SetUp() override {
        MESS_reset();
        std::snprintf(msg_path_, sizeof msg_path_, "/tmp/nav_messXXXXXX");
        int fd = mkstemp(msg_path_);
        if (fd >= 0) close(fd);
        MESS_file(msg_path_, "w");
        AREA_set_res(0, 0, 1, 1);
    }
    void TearDown() override {
        MESS_file_close();
        std::remove(msg_path_);
        MESS_reset();
    }
    std::string messages() {
        MESS_file_close();
        std::string s = slurp(msg_path_);
        MESS_file(msg_path_, "a");
        return s;
    }
    char msg_path_[64] = {};
    float lat_sink_ = 0, lon_sink_ = 0, lin_sink_ = 0, ele_sink_ = 0;
};

// ---- date, angle and geometry helpers ------------------------------------

TEST(NavHelpers, PackedAnglesAndDates) {
    EXPECT_NEAR(int2deg(-1234530), -123.7583333333, 1e-9);
    EXPECT_EQ(deg2int(-123.7583333), -1234530);
    EXPECT_EQ(deg2int(12.5), 123000);
    EXPECT_NEAR(int2deg(171537), 17.260277777, 1e-8);  // 17 + 15/60 + 37/3600
    EXPECT_EQ(numdy(99365, 100001), 1);
    EXPECT_EQ(numdy(100001, 99365), -1);
    EXPECT_EQ(numdy(90001, 95100), 1826 + 99);  // 1990..1994: 5 x 365 + 1 leap day
    EXPECT_EQ(numyr(100), 366);
    EXPECT_EQ(numyr(2000), 366);
    EXPECT_EQ(numyr(1900), 365);
    EXPECT_EQ(numyr(99), 365);
    EXPECT_EQ(mdcon(1, 40301), 4061);
    EXPECT_EQ(mdcon(2, 4061), 40301);
    EXPECT_EQ(mdcon(2, 99400), 991231);  // day clamped to 365
    EXPECT_EQ(mdcon(1, 991399), mdcon(1, 991299));  // month clamped to 12
    EXPECT_NEAR(timdif(99365, 23.0, 100001, 1.0), 120.0, 1e-9);
    EXPECT_EQ(rnd(2.5), 3);
    EXPECT_EQ(rnd(-2.5), -3);
    EXPECT_EQ(rnd(0.0), 0);
    EXPECT_EQ(rnd(-0.4), 0);
    // (1 - f)^2 with f = (6378.388 - 6356.912) / 6378.388 relates the tangents.
    double gc = geolat(1, 45.0);
    EXPECT_NEAR(std::tan(gc * kDtr), std::pow(6356.912 / 6378.388, 2), 1e-12);
    EXPECT_NEAR(geolat(2, gc), 45.0, 1e-10);
    pt p{3, 4, 0};
    sp_pt s{};
    sphere_cvt(1, &p, &s);
    EXPECT_NEAR(s.hgt, 5.0, 1e-12);
    EXPECT_NEAR(s.lon, std::atan2(4.0, 3.0) / kDtr, 1e-10);
    EXPECT_NEAR(s.lat, 0.0, 1e-12);
}

TEST(NavHelpers, GvarTimesAndBounds) {
    EXPECT_DOUBLE_EQ(timex(1950, 1, 0, 0, 0), 0.0);
    EXPECT_DOUBLE_EQ(timex(1950, 2, 1, 30, 30.0f), 1530.5);
    // 1951 day 1 is 365 days after 1950 day 1.
    EXPECT_DOUBLE_EQ(timex(1951, 1, 0, 0, 0), 365 * 1440.0);
    unsigned int ep[2] = {0x19500201u, 0x23045678u};  // 1950 day 20, 12:30:45.678
    EXPECT_NEAR(time50(ep), 19 * 1440 + 12 * 60 + 30 + 45.678 / 60, 1e-6);
    ASSERT_EQ(set_gvar_con(0, 4, 3068, 2, 3068), 0);
    EXPECT_NEAR(elev_line(0, 4.5), 0.220896, 1e-12);   // (6136 x 4 + 3068) x 8e-6
    EXPECT_NEAR(scan_angle(0, 1.0), -0.24544, 1e-12);  // (6136 x 2 + 3068) x 1.6e-5
    ASSERT_EQ(set_gvar_con(0, 4, 0, 2, 3068), 0);      // a zero keeps the defaults
    EXPECT_NEAR(elev_line(0, 4.5), 0.220896, 1e-12);
    ASSERT_EQ(set_gvar_con(0, 5, 100, 3, 100), 0);
    EXPECT_NEAR(elev_line(0, 4.5), (6136 * 5 + 100) * 8e-6, 1e-12);
    EXPECT_NEAR(scan_angle(0, 1.0), -(6136 * 3 + 100) * 1.6e-5, 1e-12);
    // Sounder: elevation bound counts cycles from the other side.
    ASSERT_EQ(set_gvar_con(1, 4, 100, 2, 200), 0);
    EXPECT_NEAR(elev_line(1, 2.5), (2805 * 5 - 100) * 1.75e-5, 1e-12);
    EXPECT_NEAR(scan_angle(1, 1.0), -(2805 * 2 + 200) * 3.5e-5, 1e-12);
    EXPECT_EQ(set_gvar_con(2, 1, 1, 1, 1), -1);
    set_gvar_con(0, 0, 0, 0, 0);
    set_gvar_con(1, 0, 0, 0, 0);
}

TEST(NavHelpers, AttitudeSeries) {
    int w[55] = {};
    w[0] = 10000000;     // amplitude 1.0
    w[1] = 6000;         // 60 minutes
    w[2] = 5000000;      // constant 0.5
    w[3] = 2;            // two sinusoids
    w[4] = 1000000;      // i = 0: 0.1 x cos(0 + 0)
    w[6] = 2000000;      // i = 1: 0.2 x cos(wa + 0.3)
    w[7] = 3000000;
    w[34] = 1;           // one monomial: 0.05 x (wa - 0.0)^2 x cos(1 wa + 0)
    w[35] = 1;
    w[36] = 2;
    w[37] = 500000;
    ang_wds a{};
    gatt_init(&a, w);
    double wa = 0.7, te = 30;
    double expect = 0.5 + std::exp(-30.0 / 60.0) + 0.1 + 0.2 * std::cos(wa + 0.3) +
                    0.05 * wa * wa * std::cos(wa);
    EXPECT_NEAR(gatt(a, wa, te), expect, 1e-12);
    // Before the exponential start the exponential term is left out.
    EXPECT_NEAR(gatt(a, wa, -1), expect - std::exp(-0.5), 1e-12);
    // Counts beyond the tables are clamped instead of read past the arrays.
    w[3] = 1000;
    w[34] = -7;
    gatt_init(&a, w);
    EXPECT_EQ(a.nsinus, 15);
    EXPECT_EQ(a.nmsin, 0);
}

TEST_F(NavTest, LineElementMapping) {
    AREA_set_res(100, 200, 4, 2);
    float l = 0, e = 0;
    AREA_line_elem(1, 1, 1, &l, &e);
    EXPECT_FLOAT_EQ(l, 103);  // 100 - 1 + 4 x 1
    EXPECT_FLOAT_EQ(e, 201);
    AREA_line_elem(2, 100, 200, &l, &e);
    EXPECT_FLOAT_EQ(l, 1);
    EXPECT_FLOAT_EQ(e, 1);
    AREA_set_res(100, 200, 0, 0);  // zero resolution is taken as 1
    AREA_line_elem(2, 110, 210, &l, &e);
    EXPECT_FLOAT_EQ(l, 11);
    EXPECT_FLOAT_EQ(e, 11);
}

// ---- spin-scan ("GOES") ----------------------------------------------------

// A geostationary spin-scan satellite near `lon` east at 1995 day 100 12:00.
// The orbit radius makes the mean motion equal to the sidereal rate:
// a = 6378.388 (0.07436574 / 0.004375269512809179)^(2/3) = 42165.4102 km.
// The mean anomaly places the satellite at `lon` + earth angle at image time
// (perigee and node 0, circular equatorial orbit).
std::string goes_desc(double lon, const std::string& extra = "") {
    double minutes = numdy(90001, 95100) * 1440.0 + (12.0 - int2deg(171537)) * 60.0;
    double g = std::fmod(0.004375269512809179 * minutes, 2 * M_PI) / kDtr;
    double m0 = std::fmod(lon + g + 720.0, 360.0);
    std::ostringstream d;
    d << "lines 100\nelements 100\nlcor 1\necor 1\nlres 1\neres 1\n"
      << "nav GOES\n"
      << "iddate 95100\nitime 120000\nedate 950410\netime 120000\n"
      << "semima 4216541\neccen 0\norbinc 0\nmeana " << std::lround(m0 * 1000) << "\n"
      << "perigee 0\nasnode 0\ndeclin 900000\nrascen 0\n"
      << "piclin 7284\nspinp 600000\ndeglin 200000\nlintot 801821\n"
      << "degele 200000\neletot 15288\n"
      << extra;
    return d.str();
}

TEST_F(NavTest, SpinScanCentreAndSubpoint) {
    AreaHolder h;
    ASSERT_EQ(load_desc(goes_desc(-75.0), &h), 0);
    EXPECT_EQ(AREA_get_kind(), AREA_NAV_SPIN);
    float slat = 0, slon = 0, sl = 0, se = 0;
    ASSERT_EQ(AREA_tran(3, &slat, &slon, &sl, &se), 0);
    EXPECT_NEAR(slat, 0.0, 1e-4);
    EXPECT_NEAR(slon, -75.0, 0.01);  // meana is rounded to 0.001 degree
    // Centre line and element look straight down.
    float lat = 0, lon = 0, lin = 7284, ele = (15288 + 1) / 2.0f;
    ASSERT_EQ(AREA_tran(1, &lat, &lon, &lin, &ele), 0);
    EXPECT_NEAR(lat, slat, 1e-3);
    EXPECT_NEAR(lon, slon, 1e-3);
    // East is to higher elements, north to lower lines.
    lat = 0;
    lon = slon + 10;
    ASSERT_EQ(AREA_tran(2, &lat, &lon, &lin, &ele), 0);
    EXPECT_GT(ele, 7644.5f);
    EXPECT_NEAR(lin, 7284, 1.0);
    lat = 10;
    lon = slon;
    ASSERT_EQ(AREA_tran(2, &lat, &lon, &lin, &ele), 0);
    EXPECT_LT(lin, 7284.0f);
    // The far side of the earth is hidden.
    lat = 0;
    lon = slon + 180;
    EXPECT_EQ(AREA_tran(2, &lat, &lon, &lin, &ele), -1);
    EXPECT_EQ(lin, kMiss);
    EXPECT_EQ(ele, kMiss);
    // A line of sight past the limb misses the earth.
    lin = 10;
    ele = 10;
    EXPECT_EQ(AREA_tran(1, &lat, &lon, &lin, &ele), -1);
    EXPECT_EQ(lat, kMiss);
    EXPECT_EQ(lon, kMiss);
}

// Satellite -> earth -> satellite for pixels every `step` lines and
// elements of the spin-scan frame; at least `min_count` must see the earth.
void spin_frame_round_trip(int step, int min_count) {
    int n = 0;
    for (int l = 1284; l <= 13284; l += step) {
        for (int e = 1644; e <= 13644; e += step) {
            float lat = 0, lon = 0, lin = l, ele = e;
            if (AREA_tran(1, &lat, &lon, &lin, &ele) != 0) continue;
            float lin2 = 0, ele2 = 0;
            ASSERT_EQ(AREA_tran(2, &lat, &lon, &lin2, &ele2), 0);
            EXPECT_NEAR(lin2, l, 0.1);
            EXPECT_NEAR(ele2, e, 0.1);
            ++n;
        }
    }
    EXPECT_GT(n, min_count);
}

// At the debug level AREA_init lists the spin-scan values, one per line,
// the name padded to 16 characters, from the date to the atmosphere height.
TEST_F(NavTest, SpinScanDebugListing) {
    MESS_set_out(MESS_OUT_LOG_ONLY);  // the copy file still gets everything
    MESS_set(1, M_debug);
    AreaHolder h;
    ASSERT_EQ(load_desc(goes_desc(-75.0, "gamma 250\n"), &h), 0);
    std::string m = messages();
    EXPECT_EQ(m.rfind("date            = 95100\n", 0), 0u) << m;
    EXPECT_NE(m.find("\npict_time       = 12.000000\n"), std::string::npos);
    EXPECT_NE(m.find("\norb.sat_type    = 1\n"), std::string::npos);
    EXPECT_NE(m.find("\norb.semi_maj    = 42165.410000\n"), std::string::npos);
    EXPECT_NE(m.find("\nnav.deg_line    = 20.000000\n"), std::string::npos);  // 200000 DDDMMSS
    EXPECT_NE(m.find("\nnav.spin_rate   = 0.000167\n"), std::string::npos);   // 600000 us in h
    EXPECT_NE(m.find("\ngamma_init      = 2.500000\n"), std::string::npos);
    EXPECT_EQ(m.size() - m.rfind("atms_hght       = 0.000000\n"), 27u);  // the last line
}

TEST_F(NavTest, SpinScanRoundTrips) {
    AreaHolder h;
    ASSERT_EQ(load_desc(goes_desc(-75.0), &h), 0);
    float slat = 0, slon = 0, sl = 0, se = 0;
    AREA_tran(3, &slat, &slon, &sl, &se);
    int n = 0;
    double worst = 0;
    for (int la = -70; la <= 70; la += 10) {
        for (int dl = -70; dl <= 70; dl += 10) {
            if (dist_km(la, slon + dl, 0, slon) > 8000) continue;  // keep off the limb
            float lat = la, lon = slon + dl, lin = 0, ele = 0;
            ASSERT_EQ(AREA_tran(2, &lat, &lon, &lin, &ele), 0) << la << " " << dl;
            ASSERT_NE(lin, kMiss);
            float lat2 = 0, lon2 = 0;
            ASSERT_EQ(AREA_tran(1, &lat2, &lon2, &lin, &ele), 0);
            float lin2 = 0, ele2 = 0;
            ASSERT_EQ(AREA_tran(2, &lat2, &lon2, &lin2, &ele2), 0);
            worst = std::max({worst, static_cast<double>(std::fabs(lin2 - lin)),
                              static_cast<double>(std::fabs(ele2 - ele))});
            EXPECT_LT(dist_km(la, slon + dl, lat2, lon2), 1.0);
            ++n;
        }
    }
    EXPECT_GT(n, 80);
    EXPECT_LT(worst, 0.1);
    // satellite -> earth -> satellite over the frame.
    spin_frame_round_trip(1000, 80);
}

// Sensor misalignment and a tilted spin axis change the geometry; the two
// directions must still invert each other.
TEST_F(NavTest, SpinScanRoundTripWithMisalignment) {
    AreaHolder h;
    ASSERT_EQ(load_desc(goes_desc(-75.0, "pitch 1000\nyaw -500\nroll 2000\ndeclin 893000\n"
                                         "rascen 1200000\ngamma 250\ngamdot 10\n"),
                        &h),
              0);
    spin_frame_round_trip(1500, 40);
}

// With no misalignment, no gamma and the spin axis at the pole, a spin-scan
// pixel is a geostationary view whose element angle sweeps about the
// north-south axis: PROJ's geos with sweep=y, on the 6378.388/6356.912 km
// ellipsoid, seen from the orbit radius 42165.41 km.
TEST_F(NavTest, SpinScanAgreesWithProjGeos) {
    if (!have_proj()) GTEST_SKIP() << "proj (proj-bin) not installed";
    AreaHolder h;
    ASSERT_EQ(load_desc(goes_desc(-75.0), &h), 0);
    float slat = 0, slon = 0, sl = 0, se = 0;
    AREA_tran(3, &slat, &slon, &sl, &se);
    double rl = 20 * kDtr / (14568 - 1), re = 20 * kDtr / (15288 - 1);
    double hgt = 42165.41 * 1000 - 6378388;  // semima 4216541 km/100
    std::vector<std::pair<double, double>> in;
    std::vector<std::pair<float, float>> mine;
    for (int l = 2284; l <= 12284; l += 2000) {
        for (int e = 2644; e <= 12644; e += 2000) {
            float lat = 0, lon = 0, lin = l, ele = e;
            if (AREA_tran(1, &lat, &lon, &lin, &ele) != 0) continue;
            in.emplace_back((e - 7644.5) * re * hgt, -(l - 7284) * rl * hgt);
            mine.emplace_back(lat, lon);
        }
    }
    ASSERT_GT(in.size(), 20u);
    char args[256];
    std::snprintf(args, sizeof args,
                  "-I -f %%.8f +proj=geos +h=%.1f +a=6378388 +b=6356912 +lon_0=%.6f +sweep=y",
                  hgt, slon);
    expect_near_proj_geos(args, in, mine, 0.5, "spin-scan");
}

// A tilted spin axis, sensor misalignment, an element offset with drift,
// eight sensors per scan and a slightly eccentric, inclined orbit: every
// term of the satellite-to-earth direction against
// tests/data/nav/spin_scan_ref.py, an independent Python version of the
// scan model.
TEST_F(NavTest, SpinScanAgreesWithPython) {
    if (!have_python()) GTEST_SKIP() << "python3 not installed";
    std::string desc = goes_desc(-75.0, "pitch 1000\nyaw -500\nroll 2000\ndeclin 893000\n"
                                        "rascen 1200000\ngamma 250\ngamdot 10\norbinc 500\n"
                                        "eccen 300\n");
    AreaHolder h;
    ASSERT_EQ(load_desc(desc, &h), 0);
    // The block's words, as the description gives them, for the script.
    std::string args;
    std::istringstream in(desc.substr(desc.find("nav GOES\n") + 9));
    std::string key, value;
    while (in >> key >> value) args += " " + key + "=" + value;
    std::vector<std::pair<float, float>> pix;
    for (double l = 1284.5; l <= 13284; l += 1000)
        for (double e = 1644; e <= 13644; e += 1000) {
            pix.emplace_back(static_cast<float>(l), static_cast<float>(e));
            args += " " + std::to_string(l) + ":" + std::to_string(e);
        }
    auto ref = run_python("spin_scan_ref.py", args);
    ASSERT_EQ(ref.size(), pix.size());
    float slat = 0, slon = 0, sl = 0, se = 0;
    ASSERT_EQ(AREA_tran(3, &slat, &slon, &sl, &se), 0);
    int hits = 0, misses = 0;
    for (std::size_t i = 0; i < pix.size(); ++i) {
        float lat = 0, lon = 0, lin = pix[i].first, ele = pix[i].second;
        int rc = AREA_tran(1, &lat, &lon, &lin, &ele);
        if (ref[i].empty()) {
            EXPECT_EQ(rc, -1) << lin << " " << ele;
            ++misses;
            continue;
        }
        // Grazing rays are left out: the two models' miss tests differ there.
        if (dist_km(slat, slon, ref[i][0], ref[i][1]) > 78 * 111.2) continue;
        ASSERT_EQ(rc, 0) << lin << " " << ele;
        EXPECT_NEAR(lat, ref[i][0], 1e-4) << lin << " " << ele;
        EXPECT_NEAR(lon, ref[i][1], 1e-4) << lin << " " << ele;
        ++hits;
    }
    EXPECT_GT(hits, 80);
    EXPECT_GT(misses, 10);
}

TEST_F(NavTest, SpinScanGammaAndFrame) {
    AreaHolder h0;
    ASSERT_EQ(load_desc(goes_desc(-75.0), &h0), 0);
    float lat = 20, lon = -60, l0 = 0, e0 = 0;
    ASSERT_EQ(AREA_tran(2, &lat, &lon, &l0, &e0), 0);
    // An element offset of 100 elements moves every position by 100.
    AreaHolder h1;
    ASSERT_EQ(load_desc(goes_desc(-75.0, "gamma 10000\n"), &h1), 0);
    float l1 = 0, e1 = 0;
    ASSERT_EQ(AREA_tran(2, &lat, &lon, &l1, &e1), 0);
    EXPECT_NEAR(std::fabs(e1 - e0), 100.0, 0.5);
    EXPECT_NEAR(l1, l0, 0.5);
    // A 3-degree frame of about the same angular resolution does not hold
    // 20N 60W (2.4 degrees east of nadir): visible but outside the frame
    // gives -9999 and 0.
    AreaHolder h2;
    ASSERT_EQ(load_desc(goes_desc(-75.0, "degele 30000\neletot 2293\n"), &h2), 0);
    float l2 = 0, e2 = 0;
    EXPECT_EQ(AREA_tran(2, &lat, &lon, &l2, &e2), 0);
    EXPECT_EQ(l2, kMiss);
    EXPECT_EQ(e2, kMiss);
}

TEST_F(NavTest, SpinScanOrbitPosition) {
    AreaHolder h;
    ASSERT_EQ(load_desc(goes_desc(-75.0), &h), 0);
    // At the epoch the circular orbit puts the satellite at the mean anomaly
    // in inertial coordinates: a (cos M0, sin M0, 0). The perigee passage is
    // rounded to whole seconds: up to 0.5 s x 3.07 km/s along the orbit.
    double minutes = numdy(90001, 95100) * 1440.0 + (12.0 - int2deg(171537)) * 60.0;
    double g = std::fmod(0.004375269512809179 * minutes, 2 * M_PI);
    double m0 = std::lround(std::fmod(-75.0 + g / kDtr + 720.0, 360.0) * 1000) / 1000.0 * kDtr;
    datim t{95100, 12.0};
    pt p{};
    ASSERT_EQ(AREA_pos(&t, 1, &p), 0);
    EXPECT_NEAR(p.x, 42165.41 * std::cos(m0), 1.6);
    EXPECT_NEAR(p.y, 42165.41 * std::sin(m0), 1.6);
    EXPECT_NEAR(std::hypot(p.x, p.y), 42165.41, 0.01);
    EXPECT_NEAR(p.z, 0.0, 1e-6);
    ASSERT_EQ(AREA_pos(&t, 0, &p), 0);
    EXPECT_NEAR(std::atan2(p.y, p.x) / kDtr, -75.0, 0.01);
    // Six sidereal hours later the earth-fixed position has not moved.
    datim t2{95100, 18.0};
    pt p2{};
    ASSERT_EQ(AREA_pos(&t2, 0, &p2), 0);
    EXPECT_NEAR(p2.x, p.x, 0.5);
    EXPECT_NEAR(p2.y, p.y, 0.5);
}

std::string gvar_desc(int instr, const std::string& extra);

// An eccentric, inclined low orbit whose epoch (1995-01-01 00:30) lies 40
// minutes after the perigee passage, so the passage falls on the last day
// of 1994; the anomaly word (250 degrees) lies past apogee.
const char* kLowOrbit =
    "semima 700000\neccen 50000\norbinc 60000\nmeana 250000\nperigee 45000\n"
    "asnode 100000\nedate 950101\netime 3000\n";

// The true-anomaly and secular-perturbation paths of the orbit model
// against tests/data/nav/spin_orbit_ref.py, an independent Python model
// (datetime for the calendar, the half-angle formula for the anomaly,
// Newton's method for Kepler's equation).
TEST_F(NavTest, SpinScanOrbitModelsAgreeWithPython) {
    if (!have_python()) GTEST_SKIP() << "python3 not installed";
    AreaHolder h;
    ASSERT_EQ(load_desc(goes_desc(-75.0, kLowOrbit), &h), 0);
    const char* times[] = {"95100:12:1", "95100:12:0", "95001:0.25:1", "94365:23.9:1",
                           "95101:3.25:0", "96060:7.5:1"};
    struct When {
        int date;
        double hours;
        int coord;
    };
    const When whens[] = {{95100, 12, 1}, {95100, 12, 0}, {95001, 0.25, 1},
                          {94365, 23.9, 1}, {95101, 3.25, 0}, {96060, 7.5, 1}};
    pt kepler_mean{}, perturbed{};
    for (int anom_type : {0, 1}) {
        for (int sec_ord : {0, 1}) {
            SCOPED_TRACE("anom_type " + std::to_string(anom_type) + " sec_ord " +
                         std::to_string(sec_ord));
            ASSERT_EQ(AREA_set_orbit_model(anom_type, sec_ord), 0);
            goes_orbit o{};
            ASSERT_EQ(AREA_get_orbit(&o), 0);
            EXPECT_EQ(o.anom_type, anom_type);
            EXPECT_EQ(o.sec_ord, sec_ord);
            std::string args = "7000 0.05 60 250 45 100 " + std::to_string(anom_type) + " " +
                               std::to_string(sec_ord) + " 950101 3000";
            for (const char* t : times) args += std::string(" ") + t;
            auto ref = run_python("spin_orbit_ref.py", args);
            ASSERT_EQ(ref.size(), 1 + std::size(whens));
            ASSERT_EQ(ref[0].size(), 2u);
            EXPECT_NEAR(o.period, ref[0][0], 1e-6);
            EXPECT_NEAR(o.anom_per, ref[0][1], 1e-6);
            for (std::size_t i = 0; i < std::size(whens); ++i) {
                datim d{whens[i].date, whens[i].hours};
                pt p{};
                ASSERT_EQ(AREA_pos(&d, whens[i].coord, &p), 0);
                ASSERT_EQ(ref[i + 1].size(), 3u);
                // Agreement to a metre: the satellite moves 7 km a second,
                // so a perigee passage a second off would show.
                EXPECT_NEAR(p.x, ref[i + 1][0], 1e-3) << times[i];
                EXPECT_NEAR(p.y, ref[i + 1][1], 1e-3) << times[i];
                EXPECT_NEAR(p.z, ref[i + 1][2], 1e-3) << times[i];
                if (i == 5 && anom_type == 0) (sec_ord ? perturbed : kepler_mean) = p;
            }
        }
    }
    // Over 14 months the perturbations turn the node and perigee by tens of
    // degrees: the two models must really differ.
    EXPECT_GT(std::hypot(perturbed.x - kepler_mean.x, perturbed.y - kepler_mean.y), 1000.0);
    // Back to the block's own model; the switches need a spin-scan block.
    ASSERT_EQ(AREA_set_orbit_model(0, 0), 0);
    // A polar orbit with e = 0.999 just above the surface: the perturbed
    // mean motion n (1 + 0.00162342 s / p^2 (1 - 1.5)), s = sqrt(1 - e^2) =
    // 0.0447, p = 6400 / 6378.388 x s^2 = 0.002006, is negative (-8 n): the
    // switch is refused and the Kepler orbit stays.
    AreaHolder polar;
    ASSERT_EQ(load_desc(goes_desc(-75.0, "semima 640000\neccen 999000\norbinc 90000\n"), &polar),
              0);
    EXPECT_EQ(AREA_set_orbit_model(0, 1), -1);
    goes_orbit kept{};
    ASSERT_EQ(AREA_get_orbit(&kept), 0);
    EXPECT_EQ(kept.sec_ord, 0);
    EXPECT_EQ(AREA_set_orbit_model(1, 0), 0);
    AreaHolder g;
    ASSERT_EQ(load_desc(gvar_desc(1, ""), &g), 0);
    EXPECT_EQ(AREA_set_orbit_model(1, 1), -1);
    goes_orbit o{};
    EXPECT_EQ(AREA_get_orbit(&o), -1);
}

// ---- three-axis ("GVAR") ---------------------------------------------------

std::string gvar_desc(int instr, const std::string& extra = "") {
    std::ostringstream d;
    d << "lines 100\nelements 100\nlcor 1\necor 1\nlres 1\neres 1\n"
      << "nav GVAR\n"
      << "imcact 0x80\nreflon -13089969\netime0 0x19982601\netime1 0\n"
      << "imgday 98260\nimgtm 74514372\nimgsnd " << instr << "\n"
      << "iofnc 4\niofni 3068\niofec 2\niofei 3068\n"
      << extra;
    return d.str();
}

TEST_F(NavTest, GvarNadirSubpointAndHiddenPoints) {
    AreaHolder h;
    ASSERT_EQ(load_desc(gvar_desc(1), &h), 0);
    EXPECT_EQ(AREA_get_kind(), AREA_NAV_GVAR);
    EXPECT_DOUBLE_EQ(elev_delta(), 2.8e-5);
    EXPECT_DOUBLE_EQ(scan_delta(), 1.6e-5);
    float slat = 1, slon = 1, sl = 0, se = 0;
    ASSERT_EQ(AREA_tran(3, &slat, &slon, &sl, &se), 0);
    EXPECT_NEAR(slat, 0.0, 1e-6);
    EXPECT_NEAR(slon, -1.3089969 / kDtr, 1e-4);
    // Nadir: elevation 0 at line 0.220896 / 2.8e-5 + 4.5, scan 0 at pixel
    // 0.24544 / 1.6e-5 + 1.
    float lat = 0, lon = 0;
    ASSERT_EQ(sat2earth(0.220896f / 2.8e-5f + 4.5f, 0.24544f / 1.6e-5f + 1, &lat, &lon), 0);
    EXPECT_NEAR(lat, slat, 1e-3);
    EXPECT_NEAR(lon, slon, 1e-3);
    float line = 0, elem = 0;
    EXPECT_EQ(earth2sat(0, slon + 180, &line, &elem), -1);  // antipode
    EXPECT_EQ(line, kMiss);
    EXPECT_EQ(elem, kMiss);
    EXPECT_EQ(earth2sat(91, slon, &line, &elem), -1);
    EXPECT_EQ(line, kMiss);
    // Past the limb (elevation 0.2 rad) the line of sight misses.
    EXPECT_EQ(sat2earth(0.220896f / 2.8e-5f + 4.5f - 0.2f / 2.8e-5f, 15341, &lat, &lon), -1);
    EXPECT_EQ(lat, kMiss);
    // AREA_tran of a three-axis image always returns 0.
    lat = 0;
    lon = slon + 180;
    EXPECT_EQ(AREA_tran(2, &lat, &lon, &line, &elem), 0);
    EXPECT_EQ(line, kMiss);
}

void gvar_round_trips(double tol_units, double scale) {
    float slat = 0, slon = 0, sl = 0, se = 0;
    AREA_tran(3, &slat, &slon, &sl, &se);
    int n = 0;
    for (int la = -70; la <= 70; la += 10) {
        for (int dl = -70; dl <= 70; dl += 10) {
            if (dist_km(la, slon + dl, 0, slon) > 8000) continue;
            float line = 0, elem = 0;
            ASSERT_EQ(earth2sat(la, slon + dl, &line, &elem), 0) << la << " " << dl;
            float lat = 0, lon = 0;
            ASSERT_EQ(sat2earth(line, elem, &lat, &lon), 0);
            float line2 = 0, elem2 = 0;
            ASSERT_EQ(earth2sat(lat, lon, &line2, &elem2), 0);
            EXPECT_NEAR(line2, line, tol_units);
            EXPECT_NEAR(elem2, elem, tol_units);
            EXPECT_LT(dist_km(la, slon + dl, lat, lon), 0.1 * scale);
            ++n;
        }
    }
    EXPECT_GT(n, 80);
}

TEST_F(NavTest, GvarImagerRoundTrips) {
    AreaHolder h;
    ASSERT_EQ(load_desc(gvar_desc(1), &h), 0);
    gvar_round_trips(0.1, 10);
    int n = 0;
    for (int l = 1000; l <= 15000; l += 1000) {
        for (int e = 2000; e <= 28000; e += 2000) {
            float lat = 0, lon = 0;
            if (sat2earth(l, e, &lat, &lon) != 0) continue;
            float l2 = 0, e2 = 0;
            ASSERT_EQ(earth2sat(lat, lon, &l2, &e2), 0);
            EXPECT_NEAR(l2, l, 0.1);
            EXPECT_NEAR(e2, e, 0.1);
            ++n;
        }
    }
    EXPECT_GT(n, 60);
}

TEST_F(NavTest, GvarSounderRoundTrips) {
    AreaHolder h;
    ASSERT_EQ(load_desc(gvar_desc(2, "iofnc 0\n"), &h), 0);
    EXPECT_DOUBLE_EQ(elev_delta(), 2.8e-4);
    // Sounder coordinates are on a tenfold grid: a tenth of a pixel is 1.
    gvar_round_trips(1.0, 100);
    // Nadir of the sounder with default bounds.
    float lat = 0, lon = 0;
    float line = static_cast<float>((0.2208937 / 2.8e-4 + 2.5) * 10 - 9);
    float elem = static_cast<float>((0.2454375 / 2.8e-4 + 1) * 10 - 9);
    ASSERT_EQ(sat2earth(line, elem, &lat, &lon), 0);
    EXPECT_NEAR(lat, 0, 0.01);
    EXPECT_NEAR(lon, -75, 0.01);
}

// Attitude (roll, pitch, yaw constants of the series) and roll/pitch
// misalignment: lpoint and gpoint must stay inverse to each other, and the
// attitude must move the picture (a roll of 0.01 rad is about 360 lines).
TEST_F(NavTest, GvarRoundTripWithAttitude) {
    AreaHolder h0;
    ASSERT_EQ(load_desc(gvar_desc(1), &h0), 0);
    float l0 = 0, e0 = 0;
    ASSERT_EQ(earth2sat(20, -70, &l0, &e0), 0);
    AreaHolder h;
    ASSERT_EQ(load_desc(gvar_desc(1, "imcact 0\nw64 100000\nw131 -50000\nw186 30000\n"
                                     "w259 20000\nw314 -30000\n"),
                        &h),
              0);
    gvar_round_trips(0.1, 10);
    float l1 = 0, e1 = 0;
    ASSERT_EQ(earth2sat(20, -70, &l1, &e1), 0);
    EXPECT_GT(std::hypot(l1 - l0, e1 - e0), 100.0);
}

// With image motion compensation computed on the ground, the longitude
// series moves the sub-point: lam = reflon + ldr0 + te (ldr1 + te ldr2) with
// te = image time - epoch = 07:45:14.372 - 10:00 = -134.7604667 minutes, so
// -1.3089969 + 0.01 + 1e-4 te rad = -75.1991606 degrees.
TEST_F(NavTest, GvarLongitudeSeries) {
    AreaHolder h;
    std::string extra = "imcact 0\nldr 100000\nw19 1000\n";
    ASSERT_EQ(load_desc(gvar_desc(1, extra), &h), 0);
    float slat = 0, slon = 0, sl = 0, se = 0;
    AREA_tran(3, &slat, &slon, &sl, &se);
    EXPECT_NEAR(slon, -75.1991606, 1e-4);
    EXPECT_NEAR(slat, 0.0, 1e-6);
}

// Every term of the three-axis model switched on: ground motion
// compensation with all longitude, radius, latitude and yaw series terms,
// attitude series with exponential, sinusoid and monomial terms (the
// exponential start 300 minutes before the epoch, so that term is used),
// roll and pitch misalignment and the compensation angles. Word numbers of
// the block (0 = type text) with their values.
const std::vector<std::pair<int, std::int64_t>> kFullGvarWords = {
    {2, 0}, {5, -13089969}, {9, 300}, {10, -200}, {11, 500}, {12, 0x19982601}, {13, 0},
    {15, 150}, {16, -120}, {17, 80},
    // ldr
    {18, 10000}, {19, 3}, {20, 1}, {21, 400}, {22, -300}, {23, 200}, {24, 100}, {25, 50},
    {26, -60}, {27, 70}, {28, -80}, {29, 2}, {30, -1},
    // rddr (km x 1e7)
    {31, 50000000}, {32, 20000000}, {33, -30000000}, {34, 10000000}, {35, 15000000},
    {36, -10000000}, {37, 5000000}, {38, 8000000}, {39, -6000000}, {40, 100000}, {41, -80000},
    // dgl
    {42, 5000}, {43, 300}, {44, -200}, {45, 100}, {46, 50}, {47, 2}, {48, -1}, {49, 40},
    {50, 30},
    // doy
    {51, 8000}, {52, -300}, {53, 200}, {54, 100}, {55, -50}, {56, 1}, {57, 2}, {58, 30},
    {59, -20},
    {60, 43747}, {61, -30000},
    // roll series: exponential, 3 sinusoids, 2 monomials
    {62, 2000}, {63, 60000}, {64, 1000}, {65, 3}, {66, 500}, {67, 1000000}, {68, 300},
    {69, -2000000}, {70, 200}, {71, 500000}, {96, 2}, {97, 1}, {98, 1}, {99, 100},
    {100, 3000000}, {101, 0}, {102, 2}, {103, 2}, {104, 50}, {105, 0}, {106, 1000000},
    // pitch series
    {129, -1500}, {130, 30000}, {131, -800}, {132, 2}, {133, 400}, {134, 0}, {135, -250},
    {136, 7000000}, {163, 1}, {164, 1}, {165, 1}, {166, 200}, {167, 0}, {168, 0},
    // yaw series
    {184, 1000}, {185, 12000}, {186, 600}, {187, 1}, {188, 300}, {189, 0},
    // roll and pitch misalignment
    {259, 20000}, {260, 1}, {261, 400}, {262, 0},
    {314, -30000}, {315, 2}, {316, 100}, {317, 0}, {318, 200}, {319, 10000000},
    {367, 98260}, {368, 74514372}, {379, 4}, {380, 2}, {381, 3068}, {382, 3068},
};

// The full model for the imager (1) or the sounder (2) against
// tests/data/nav/gvar_ref.py, an independent Python version of the
// three-axis model (times through datetime): sub-point, instrument to earth
// over a grid of pixels, and earth to instrument for a grid of points.
void gvar_full_model_check(int instr, int step_l, int last_l, int step_e, int last_e) {
    std::ostringstream desc, args;
    desc << "lines 100\nelements 100\nnav GVAR\n";
    for (const auto& [word, value] : kFullGvarWords) {
        desc << 'w' << word << ' ' << value << '\n';
        args << word << '=' << value << ' ';
    }
    desc << "imgsnd " << instr << '\n';
    args << "369=" << instr;
    std::vector<std::pair<float, float>> pix, geo;
    for (int l = step_l; l <= last_l; l += step_l)
        for (int e = step_e; e <= last_e; e += step_e) {
            pix.emplace_back(static_cast<float>(l), static_cast<float>(e));
            args << " pix:" << l << ':' << e;
        }
    for (int la = -60; la <= 60; la += 20)
        for (int lo = -150; lo <= 0; lo += 25) {
            geo.emplace_back(static_cast<float>(la), static_cast<float>(lo));
            args << " geo:" << la << ':' << lo;
        }
    AreaHolder h;
    ASSERT_EQ(load_desc(desc.str(), &h), 0);
    auto ref = run_python("gvar_ref.py", args.str());
    ASSERT_EQ(ref.size(), 1 + pix.size() + geo.size());
    float slat = 0, slon = 0, sl = 0, se = 0;
    ASSERT_EQ(AREA_tran(3, &slat, &slon, &sl, &se), 0);
    ASSERT_EQ(ref[0].size(), 2u);
    EXPECT_NEAR(slat, ref[0][0], 1e-5);
    EXPECT_NEAR(slon, ref[0][1], 1e-5);
    int hits = 0, misses = 0;
    for (std::size_t i = 0; i < pix.size(); ++i) {
        const auto& r = ref[1 + i];
        float lat = 0, lon = 0;
        int rc = sat2earth(pix[i].first, pix[i].second, &lat, &lon);
        if (r.empty()) {  // "miss"
            EXPECT_EQ(rc, -1) << pix[i].first << " " << pix[i].second;
            EXPECT_EQ(lat, kMiss);
            ++misses;
            continue;
        }
        ASSERT_EQ(rc, 0) << pix[i].first << " " << pix[i].second;
        // 1e-4 degrees (11 m); within 10 degrees of the limb (81 degrees
        // from the sub-point) the float angles of the instrument interface
        // leave tens of metres, so 1e-3 there.
        double tol = dist_km(slat, slon, r[0], r[1]) > 71 * 111.2 ? 1e-3 : 1e-4;
        EXPECT_NEAR(lat, r[0], tol) << pix[i].first << " " << pix[i].second;
        EXPECT_NEAR(lon, r[1], tol) << pix[i].first << " " << pix[i].second;
        ++hits;
    }
    for (std::size_t i = 0; i < geo.size(); ++i) {
        const auto& r = ref[1 + pix.size() + i];
        float line = 0, elem = 0;
        int rc = earth2sat(geo[i].first, geo[i].second, &line, &elem);
        if (r.empty()) {
            EXPECT_EQ(rc, -1) << geo[i].first << " " << geo[i].second;
            EXPECT_EQ(line, kMiss);
            ++misses;
            continue;
        }
        ASSERT_EQ(rc, 0) << geo[i].first << " " << geo[i].second;
        double tol = instr == 2 ? 0.1 : 0.01;  // sounder units are tenths
        EXPECT_NEAR(line, r[0], tol) << geo[i].first << " " << geo[i].second;
        EXPECT_NEAR(elem, r[1], tol) << geo[i].first << " " << geo[i].second;
        ++hits;
    }
    // Both outcomes must occur, or the grids would not test what they claim.
    EXPECT_GT(hits, 50);
    EXPECT_GT(misses, 5);
}

TEST_F(NavTest, GvarFullModelAgreesWithPython) {
    if (!have_python()) GTEST_SKIP() << "python3 not installed";
    {
        SCOPED_TRACE("imager");
        gvar_full_model_check(1, 1500, 15000, 2500, 27500);
    }
    {
        SCOPED_TRACE("sounder");
        gvar_full_model_check(2, 1500, 15000, 1500, 16500);
    }
}

// The three-axis imager without attitude terms is PROJ's geos with sweep=x,
// seen from 42164.365 km on the 6378.388 km ellipsoid whose squared axis
// ratio is 1.0067391845079678 (b = 6357003.458 m).
TEST_F(NavTest, GvarAgreesWithProjGeos) {
    if (!have_proj()) GTEST_SKIP() << "proj (proj-bin) not installed";
    AreaHolder h;
    ASSERT_EQ(load_desc(gvar_desc(1), &h), 0);
    double hgt = 42164365.0 - 6378388.0;
    std::vector<std::pair<double, double>> in;
    std::vector<std::pair<float, float>> mine;
    for (int l = 1000; l <= 15000; l += 2000) {
        for (int e = 2000; e <= 28000; e += 3000) {
            float lat = 0, lon = 0;
            if (sat2earth(l, e, &lat, &lon) != 0) continue;
            double elev = 0.220896 - (l - 4.5) * 2.8e-5;
            double scan = (e - 1) * 1.6e-5 - 0.24544;
            in.emplace_back(scan * hgt, elev * hgt);
            mine.emplace_back(lat, lon);
        }
    }
    ASSERT_GT(in.size(), 20u);
    expect_near_proj_geos("-I -f %.8f +proj=geos +h=35785977 +a=6378388 +b=6357003.458 "
                          "+lon_0=-74.99999848 +sweep=x",
                          in, mine, 0.05, "three-axis");
}

// The real GOES-8 sample, below the test data folder.
constexpr const char* kGoes8File = "/area/cmx3g8_wv_1998.260_0745_mcidas.ara";

// Reads an AREA file into `h` (fatal failure when it cannot).
void read_area_file(const std::string& path, AreaHolder* h) {
    std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "rb"), &std::fclose);
    ASSERT_TRUE(f) << path;
    ASSERT_EQ(SAT_read_AREA(f.get(), &h->area), 0) << path;
    h->loaded = true;
}

// The real GOES-8 water-vapour image (1998 day 260 07:45, big-endian AREA,
// three-axis navigation, on-board motion compensation): every sampled
// pixel lies within 50 m of the geostationary view from its reference
// longitude computed by PROJ from the block's own nadir cycles.
TEST_F(NavTest, RealGoes8File) {
    std::string path = std::string(ZEM_TESTDATA_DIR) + kGoes8File;
    if (access(path.c_str(), R_OK) != 0)
        GTEST_SKIP() << "test data not found: " << ZEM_TESTDATA_DIR;
    if (!have_proj()) GTEST_SKIP() << "proj (proj-bin) not installed";
    AreaHolder h;
    ASSERT_NO_FATAL_FAILURE(read_area_file(path, &h));
    ASSERT_STREQ(h.area.type, "GVAR");
    ASSERT_NE(h.area.navgv, nullptr);
    ASSERT_EQ(AREA_init(&h.area), 0);
    ASSERT_EQ(AREA_get_kind(), AREA_NAV_GVAR);
    const MC_nav_gvar& n = *h.area.navgv;
    EXPECT_EQ(n.imgday, 98260);
    EXPECT_EQ(n.imgsnd, 1);
    EXPECT_EQ(n.reflon, -13089962);
    EXPECT_EQ(n.more1, 0x4D4F5245);  // layout check: "MORE" in words 127, 255, 383
    EXPECT_EQ(n.more2, 0x4D4F5245);
    EXPECT_EQ(n.more3, 0x4D4F5245);
    float slat = 0, slon = 0, sl = 0, se = 0;
    AREA_tran(3, &slat, &slon, &sl, &se);
    EXPECT_NEAR(slon, -75.0, 0.001);
    EXPECT_NEAR(slat, 0.0, 1e-5);
    // Nadir cycles and increments of the block give the scan bounds.
    double ebnd = (6136.0 * n.iofnc + n.iofni) * 8e-6;
    double sbnd = (6136.0 * n.iofec + n.iofei) * 1.6e-5;
    double hgt = 42164365.0 - 6378388.0;
    std::vector<std::pair<double, double>> in;
    std::vector<std::pair<float, float>> mine;
    for (int row = 1; row <= 400; row += 57) {
        for (int col = 1; col <= 1800; col += 199) {
            float l = 0, e = 0, lat = 0, lon = 0;
            AREA_line_elem(1, row, col, &l, &e);
            EXPECT_FLOAT_EQ(l, 3797 - 1 + 8 * row);   // directory lcor 3797, lres 8
            EXPECT_FLOAT_EQ(e, 10881 - 1 + 4 * col);  // ecor 10881, eres 4
            ASSERT_EQ(AREA_tran(1, &lat, &lon, &l, &e), 0);
            if (lat == kMiss) continue;
            in.emplace_back(((e - 1) * 1.6e-5 - sbnd) * hgt, (ebnd - (l - 4.5) * 2.8e-5) * hgt);
            mine.emplace_back(lat, lon);
        }
    }
    ASSERT_GT(in.size(), 40u);
    char args[256];
    std::snprintf(args, sizeof args,
                  "-I -f %%.8f +proj=geos +h=%.0f +a=6378388 +b=6357003.458 +lon_0=%.8f "
                  "+sweep=x",
                  hgt, n.reflon / 1e7 / kDtr);
    expect_near_proj_geos(args, in, mine, 0.05, "GOES-8 file");
    // The image covers the northern tropics and mid-latitudes around 75 W.
    float l = 0, e = 0, lat = 0, lon = 0;
    AREA_line_elem(1, 200, 900, &l, &e);
    ASSERT_EQ(AREA_tran(1, &lat, &lon, &l, &e), 0);
    EXPECT_GT(lat, 10);
    EXPECT_LT(lat, 50);
    EXPECT_NEAR(lon, -75, 15);
    // Round trip through the real navigation.
    float l2 = 0, e2 = 0;
    ASSERT_EQ(AREA_tran(2, &lat, &lon, &l2, &e2), 0);
    EXPECT_NEAR(l2, l, 0.1);
    EXPECT_NEAR(e2, e, 0.1);
}

// The real GOES-8 block says the compensation was done on board (bit 7 of
// imcact), so its orbit and attitude series (8 and 6 sinusoids, 60-minute
// time constants, a 13 km daily radius term) are not used. With that bit
// cleared they are: the navigation must then agree with
// tests/data/nav/gvar_ref.py fed the same 640 words.
TEST_F(NavTest, RealGoes8SeriesAgreeWithPython) {
    std::string path = std::string(ZEM_TESTDATA_DIR) + kGoes8File;
    if (access(path.c_str(), R_OK) != 0)
        GTEST_SKIP() << "test data not found: " << ZEM_TESTDATA_DIR;
    if (!have_python()) GTEST_SKIP() << "python3 not installed";
    AreaHolder h;
    ASSERT_NO_FATAL_FAILURE(read_area_file(path, &h));
    ASSERT_NE(h.area.navgv, nullptr);
    ASSERT_EQ(h.area.navgv->imcact & 0x80, 0x80);
    h.area.navgv->imcact &= ~0x80;
    ASSERT_EQ(AREA_init(&h.area), 0);
    std::int32_t words[640];
    std::memcpy(words, h.area.navgv, sizeof words);
    std::string args;
    for (int i = 1; i < 640; ++i)
        if (words[i] != 0) args += " " + std::to_string(i) + "=" + std::to_string(words[i]);
    std::vector<std::pair<int, int>> pix;
    // The image's own frame: lines 3797 to 6989, elements 10881 to 18077.
    for (int l = 3800; l <= 6800; l += 500)
        for (int e = 11000; e <= 18000; e += 1000) {
            pix.emplace_back(l, e);
            args += " pix:" + std::to_string(l) + ":" + std::to_string(e);
        }
    auto ref = run_python("gvar_ref.py", args);
    ASSERT_EQ(ref.size(), 1 + pix.size());
    float slat = 0, slon = 0, sl = 0, se = 0;
    AREA_tran(3, &slat, &slon, &sl, &se);
    EXPECT_NEAR(slat, ref[0][0], 1e-5);
    EXPECT_NEAR(slon, ref[0][1], 1e-5);
    // Ground compensation moves the picture: the sub-point is no longer
    // the reference longitude exactly.
    EXPECT_GT(std::fabs(slon - words[5] / 1e7 / kDtr), 1e-4);
    for (std::size_t i = 0; i < pix.size(); ++i) {
        ASSERT_EQ(ref[1 + i].size(), 2u) << pix[i].first << " " << pix[i].second;
        float lat = 0, lon = 0;
        ASSERT_EQ(sat2earth(pix[i].first, pix[i].second, &lat, &lon), 0);
        EXPECT_NEAR(lat, ref[1 + i][0], 1e-4) << pix[i].first << " " << pix[i].second;
        EXPECT_NEAR(lon, ref[1 + i][1], 1e-4) << pix[i].first << " " << pix[i].second;
    }
}

// ---- map-projection blocks -------------------------------------------------

// The real little-endian "pngarea" sample (a radar composite whose pixel
// block is a PNG stream, so the pixels are not read here): its directory
// and polar stereographic block are loaded by hand, byte by byte.
TEST_F(NavTest, RealPolarStereographicFile) {
    std::string dir = ZEM_TESTDATA_DIR;
    std::string path = dir + "/area/pngarea";
    if (access(path.c_str(), R_OK) != 0) GTEST_SKIP() << "test data not found: " << dir;
    std::string bytes = slurp(path);
    ASSERT_GE(bytes.size(), 768u);
    auto le32 = [&](std::size_t off) {
        std::uint32_t v = 0;
        for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(bytes[off + i]);
        return v;
    };
    MC_area_dir d{};
    std::uint32_t* dw = reinterpret_cast<std::uint32_t*>(&d);
    for (int w = 0; w < 64; ++w) dw[w] = le32(4 * w);
    MC_nav_ps ps{};
    std::memcpy(ps.type, bytes.data() + 256, 4);
    std::int32_t* pw = &ps.npline;
    for (int w = 1; w <= 7; ++w) pw[w - 1] = static_cast<std::int32_t>(le32(256 + 4 * w));
    ASSERT_EQ(ps.npline, -1530);
    ASSERT_EQ(ps.spacing, 2381);
    MC_area a{};
    a.dir = &d;
    std::strcpy(a.type, "PS");
    a.navps = &ps;
    ASSERT_EQ(AREA_init(&a), 0);
    ASSERT_EQ(AREA_get_kind(), AREA_NAV_MAP);
    // Image pixel (line, element) -> satellite coordinates -> earth. The
    // 640 x 350 image at 4 x 5 satellite pixels of 2.381 km covers the
    // conterminous United States: its centre near 40N 95W.
    struct Corner {
        float row, col;
    };
    float lat = 0, lon = 0, l = 0, e = 0;
    AREA_line_elem(1, 175, 320, &l, &e);
    EXPECT_FLOAT_EQ(l, 6 - 1 + 5 * 175);
    EXPECT_FLOAT_EQ(e, -159 - 1 + 4 * 320);
    ASSERT_EQ(AREA_map_tran(1, &lat, &lon, &l, &e), 0);
    EXPECT_NEAR(lat, 40, 5);
    EXPECT_NEAR(lon, -95, 5);
    // The pole's satellite position is the pole; line through it and the
    // normal longitude goes down the 105 W meridian.
    l = -1530;
    e = 830;
    ASSERT_EQ(AREA_map_tran(1, &lat, &lon, &l, &e), 0);
    EXPECT_NEAR(lat, 90, 1e-3);
    l = 500;
    ASSERT_EQ(AREA_map_tran(1, &lat, &lon, &l, &e), 0);
    EXPECT_NEAR(lon, -105, 1e-3);
    // Distance along the meridian: 2030 lines of 2.381 km... on the
    // projection plane, rho = 2030 x 63.71 x 2381 / 6378388 hundreds of km;
    // colatitude = 2 atan(rho / ((1 + sin 60) R)), R = 63.7122.
    double rho = 2030 * 63.71 * 2381.0 / 6378388.0;
    double colat = 2 * std::atan(rho / ((1 + std::sin(60 * kDtr)) * 63.7122)) / kDtr;
    EXPECT_NEAR(lat, 90 - colat, 1e-3);
    for (Corner c : {Corner{1, 1}, Corner{1, 640}, Corner{350, 1}, Corner{350, 640}}) {
        AREA_line_elem(1, c.row, c.col, &l, &e);
        ASSERT_EQ(AREA_map_tran(1, &lat, &lon, &l, &e), 0);
        std::printf("pngarea corner (%g, %g): %.3f %.3f\n", c.row, c.col, lat, lon);
        EXPECT_GT(lat, 15);
        EXPECT_LT(lat, 60);
        EXPECT_GT(lon, -140);
        EXPECT_LT(lon, -55);
    }
}

struct MapCase {
    const char* name;
    std::string desc;
    std::string proj_args;  // PROJ inverse of map metres, or "" for a hand formula
    double m_per_elem;      // map metres per satellite element (x)
    double m_per_line;      // map metres per satellite line (y, downward positive)
    double e0, l0;          // element and line of the map origin
};

// Hundreds of km per pixel from the block: PS 63.71 x spacing / radius,
// MERC/LAMB 63.713 x spacing / radius, TANC km x 10000 / 1e6, MOLL
// 0.62 x word 3 / 1000; map metres are 1e5 x those.
std::vector<MapCase> map_cases() {
    std::vector<MapCase> c;
    double ps = 63.71 * 10000 / 6371200 * 1e5;
    c.push_back({"PS",
                 "lines 100\nelements 120\nnav PS\nnpline 50\nnpelem 60\nstdlat 600000\n"
                 "spacing 10000\nnrmlon 1050000\nequrad 6371200\n",
                 "+proj=stere +lat_0=90 +lat_ts=60 +lon_0=-105 +R=6371220", ps, ps, 60, 50});
    double me = 63.713 * 20000 / 6371200 * 1e5;
    c.push_back({"MERC",
                 "lines 100\nelements 100\nnav MERC\nw1 100\nw2 100\nw4 20000\nw5 900000\n"
                 "w6 6371200\n",
                 "+proj=merc +R=6371220 +lon_0=-90", me, me, 100, 100});
    double la = 63.713 * 20000 / 6371200 * 1e5;
    c.push_back({"LAMB",
                 "lines 100\nelements 100\nnav LAMB\nw1 -300\nw2 100\nw3 330000\nw4 450000\n"
                 "w5 20000\nw6 950000\nw7 6371200\nw11 390000\n",
                 "+proj=lcc +lat_1=33 +lat_2=45 +lat_0=90 +lon_0=-95 +R=6371220", la, la, 100,
                 -300});
    double ta = 100000 / 1e6 * 1e5;
    c.push_back({"TANC",
                 "lines 100\nelements 100\nnav TANC\nnpline -5000000\nnpelem 1000000\n"
                 "spacing 100000\nstdlat 250000\nstdlon 950000\n",
                 "+proj=lcc +lat_1=25 +lat_0=90 +lon_0=-95 +R=6371220", ta, ta, 100, -500});
    double mo = 0.62 * 100 / 1000 * 1e5;
    // Mollweide with x = R dlon/90 cos t, y = R sin t is PROJ's moll on the
    // sphere R / sqrt(2) = 4505132.866 m.
    c.push_back({"MOLL",
                 "lines 100\nelements 100\nnav MOLL\nw1 200\nw2 400\nw3 100\nw4 0\n",
                 "+proj=moll +R=4505132.866", mo, mo, 400, 200});
    // The "KMPP" variant: word 6 is km per pixel x 1000 and the scale
    // 0.7071 x word 6 / 1000 / (380.344 x word 3); centre longitude 30 E.
    double mk = 0.7071 * 5000 / 1000.0 / (380.344 * 2) * 1e5;
    c.push_back({"MOLL",
                 "lines 100\nelements 100\nnav MOLL\nw1 200\nw2 400\nw3 2\nw4 -300000\n"
                 "w6 5000\nw14 0x4B4D5050\n",
                 "+proj=moll +R=4505132.866 +lon_0=30", mk, mk, 400, 200});
    return c;
}

TEST_F(NavTest, MapBlocksAgreeWithProj) {
    if (!have_proj()) GTEST_SKIP() << "proj (proj-bin) not installed";
    for (const MapCase& mc : map_cases()) {
        SCOPED_TRACE(mc.name);
        AreaHolder h;
        ASSERT_EQ(load_desc(mc.desc, &h), 0);
        ASSERT_EQ(AREA_get_kind(), AREA_NAV_MAP);
        ASSERT_STREQ(h.area.type, mc.name);
        std::vector<std::pair<double, double>> in;
        std::vector<std::pair<float, float>> mine, pix;
        for (int l = -50; l <= 250; l += 60) {
            for (int e = -40; e <= 240; e += 70) {
                float lat = 0, lon = 0, lin = l, ele = e;
                ASSERT_EQ(AREA_map_tran(1, &lat, &lon, &lin, &ele), 0) << l << " " << e;
                in.emplace_back((e - mc.e0) * mc.m_per_elem, -(l - mc.l0) * mc.m_per_line);
                mine.emplace_back(lat, lon);
                pix.emplace_back(static_cast<float>(l), static_cast<float>(e));
            }
        }
        auto ref = run_proj("-I -f %.8f " + mc.proj_args, in);
        ASSERT_EQ(ref.size(), in.size());
        for (std::size_t i = 0; i < in.size(); ++i) {
            EXPECT_NEAR(mine[i].first, ref[i].second, 2e-3) << i;
            double dlon = std::remainder(mine[i].second - ref[i].first, 360.0);
            EXPECT_NEAR(dlon, 0.0, 2e-3) << i;
            // And back to the same pixel.
            float lat = mine[i].first, lon = mine[i].second, lin = 0, ele = 0;
            ASSERT_EQ(AREA_map_tran(2, &lat, &lon, &lin, &ele), 0);
            EXPECT_NEAR(lin, pix[i].first, 0.01);
            EXPECT_NEAR(ele, pix[i].second, 0.01);
        }
    }
}

// RECT: latitude = 50 - 0.1 (line - 1), longitude = -130 + 0.1 (element - 1)
// (words 2 and 4 with the default exponent 4, longitudes positive west).
// The image domain worked out for a map-type AREA file must put every pixel
// where the navigation block puts it: columns grow eastward (x) and rows
// southward (-y) from the centre pixel at (height / 2, width / 2), spaced by
// the domain's dx and dy. Element resolution 2 makes image and satellite
// spacing differ; reference elements away from the centre catch a mirrored
// image.
TEST_F(NavTest, ImageDomainAgreesWithMapNavigation) {
    const struct {
        const char* name;
        const char* desc;
    } cases[] = {
        {"RECT", "lines 60\nelements 80\neres 2\nlres 2\nnav RECT\nw1 1\nw2 500000\nw3 11\n"
                 "w4 1300000\nw5 1000\nw6 1000\n"},
        {"MOLL", "lines 60\nelements 80\neres 2\nlres 2\nnav MOLL\nw1 30\nw2 40\nw3 100\n"
                 "w4 0\n"},
        {"PS", "lines 60\nelements 80\neres 2\nlres 2\nnav PS\nnpline 10\nnpelem 20\n"
               "stdlat 600000\nspacing 40000\nnrmlon 1050000\nequrad 6371200\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        AreaHolder h;
        ASSERT_EQ(load_desc(c.desc, &h), 0);
        IMG_report image{};
        image.width = static_cast<int>(h.area.dir->esiz);
        image.height = static_cast<int>(h.area.dir->lsiz);
        AREA_calc_domain(&image, &h.area);
        Domain d = image.domain;
        ASSERT_GE(d.proj, 1);
        for (int r : {image.height / 2, 5, image.height - 3}) {
            for (int col : {image.width / 2, 7, image.width - 2}) {
                float lin = 0, ele = 0;
                AREA_line_elem(1, static_cast<float>(r), static_cast<float>(col), &lin, &ele);
                float nlat = 0, nlon = 0;
                ASSERT_EQ(AREA_map_tran(1, &nlat, &nlon, &lin, &ele), 0);
                // AREA_map_tran switches the active projection; the domain's
                // comes back for the grid arithmetic.
                MAP_domain(&d);
                float xc = 0, yc = 0;
                ASSERT_EQ(MAP_tran(d.clat, d.clon, &xc, &yc), 1);
                const float x = xc + (col - image.width / 2) * d.dx;
                const float y = yc - (r - image.height / 2) * d.dy;
                float dlat = 0, dlon = 0;
                MAP_untran(x, y, &dlat, &dlon);
                EXPECT_NEAR(dlat, nlat, 0.02) << "row " << r << " col " << col;
                EXPECT_NEAR(std::remainder(dlon - nlon, 360.0), 0.0, 0.02)
                    << "row " << r << " col " << col;
            }
        }
    }
}

TEST_F(NavTest, RectBlock) {
    AreaHolder h;
    ASSERT_EQ(load_desc("lines 100\nelements 100\nnav RECT\nw1 1\nw2 500000\nw3 1\n"
                        "w4 1300000\nw5 1000\nw6 1000\n",
                        &h),
              0);
    for (int l : {1, 51, 300}) {
        for (int e : {1, 77, 600}) {
            float lat = 0, lon = 0, lin = l, ele = e;
            ASSERT_EQ(AREA_map_tran(1, &lat, &lon, &lin, &ele), 0);
            EXPECT_NEAR(lat, 50 - 0.1 * (l - 1), 1e-4);
            EXPECT_NEAR(std::remainder(lon - (-130 + 0.1 * (e - 1)), 360.0), 0, 1e-4);
            float l2 = 0, e2 = 0;
            ASSERT_EQ(AREA_map_tran(2, &lat, &lon, &l2, &e2), 0);
            EXPECT_NEAR(l2, l, 1e-2);
            EXPECT_NEAR(e2, e, 1e-2);
        }
    }
    // Explicit exponents: 2 decimals for the latitude, 3 for the steps.
    AreaHolder h2;
    ASSERT_EQ(load_desc("nav RECT\nw1 10\nw2 4500\nw3 20\nw4 9000000\nw5 250\nw6 500\n"
                        "w11 2\nw12 5\nw13 3\nw14 3\n",
                        &h2),
              0);
    float lat = 0, lon = 0, lin = 12, ele = 24;
    ASSERT_EQ(AREA_map_tran(1, &lat, &lon, &lin, &ele), 0);
    EXPECT_NEAR(lat, 45 - 0.5 * 2, 1e-4);
    EXPECT_NEAR(lon, -90 + 0.25 * 4, 1e-4);
}

// Meteosat: x = (1250.5 - E/2) t, y = (1250 - L/2) t with t = 0.0529848
// hundreds of km (nrmlon slot 1250, spacing and stdlat slots 0) are
// sat_rad (421.64) times the scan angles, PROJ's geos with sweep=y over
// the 6378.1368/6356.752 km ellipsoid at height 42164 - 6378.1368 km.
TEST_F(NavTest, MsatBlock) {
    if (!have_proj()) GTEST_SKIP() << "proj (proj-bin) not installed";
    AreaHolder h;
    ASSERT_EQ(load_desc("lines 100\nelements 100\nnav MSAT\nnrmlon 1250\nequrad 0\n", &h), 0);
    constexpr double t = 0.0529848;
    std::vector<std::pair<double, double>> in;
    std::vector<std::pair<float, float>> mine;
    for (int l = 1000; l <= 4000; l += 500) {
        for (int e = 1000; e <= 4000; e += 500) {
            float lat = 0, lon = 0, lin = l, ele = e;
            if (AREA_map_tran(1, &lat, &lon, &lin, &ele) != 0) continue;
            double ax = (1250.5 - e / 2.0) * t / 421.64, ay = (1250 - l / 2.0) * t / 421.64;
            in.emplace_back(ax * (42164e3 - 6378136.8), ay * (42164e3 - 6378136.8));
            mine.emplace_back(lat, lon);
            float l2 = 0, e2 = 0;
            ASSERT_EQ(AREA_map_tran(2, &lat, &lon, &l2, &e2), 0);
            EXPECT_NEAR(l2, l, 0.01);
            EXPECT_NEAR(e2, e, 0.01);
        }
    }
    ASSERT_GT(in.size(), 30u);
    auto ref = run_proj("-I -f %.8f +proj=geos +h=35785863.2 +a=6378136.8 +b=6356752 +lon_0=0",
                        in);
    ASSERT_EQ(ref.size(), in.size());
    for (std::size_t i = 0; i < in.size(); ++i)
        EXPECT_LT(dist_km(mine[i].first, mine[i].second, ref[i].second, ref[i].first), 0.5);
    // The disk centre (line 2500, element 2501) is the sub-satellite point.
    float lat = 1, lon = 1, lin = 2500, ele = 2501;
    ASSERT_EQ(AREA_map_tran(1, &lat, &lon, &lin, &ele), 0);
    EXPECT_NEAR(lat, 0, 1e-4);
    EXPECT_NEAR(lon, 0, 1e-4);
    // Off the disk.
    lin = 10;
    ele = 10;
    EXPECT_EQ(AREA_map_tran(1, &lat, &lon, &lin, &ele), -1);
    EXPECT_EQ(lat, kMiss);
}

TEST_F(NavTest, MapDomainAndNoOpSatelliteCalls) {
    AreaHolder h;
    ASSERT_EQ(load_desc(map_cases()[0].desc, &h), 0);
    Domain d{};
    ASSERT_EQ(AREA_map_domain(&d), 0);
    EXPECT_EQ(d.proj, 1);
    EXPECT_FLOAT_EQ(d.plat, 60);
    EXPECT_FLOAT_EQ(d.plon, -105);
    EXPECT_FLOAT_EQ(d.param[0], 60);
    // Map blocks are not satellite navigation: AREA_tran leaves its outputs.
    float lat = 12, lon = 34, lin = 56, ele = 78;
    EXPECT_EQ(AREA_tran(1, &lat, &lon, &lin, &ele), 0);
    EXPECT_EQ(lat, 12);
    EXPECT_EQ(lon, 34);
    // The caller's active projection domain survives a map conversion.
    Domain mine{};
    mine.proj = 3;
    mine.plat = 0;
    mine.plon = 10;
    for (float& p : mine.param) p = kMiss;
    mine.clat = 0;
    mine.clon = 10;
    mine.dx = mine.dy = 1;
    mine.nx = mine.ny = 5;
    mine.ellipse = 0;
    MAP_domain(&mine);
    lin = 50;
    ele = 60;
    ASSERT_EQ(AREA_map_tran(1, &lat, &lon, &lin, &ele), 0);
    EXPECT_NEAR(lat, 90, 1e-3);
    EXPECT_EQ(MAP_get_proj(), 3);
    EXPECT_FLOAT_EQ(MAP_get_clon(), 10);
}

// ---- malformed navigation --------------------------------------------------

struct BadCase {
    const char* what;
    std::string desc;
    const char* message;
};

TEST_F(NavTest, BadBlocksAreRejectedWithAMessage) {
    const BadCase cases[] = {
        {"orbit in earth", goes_desc(-75, "semima 0\n"),
         "AREA_init: Invalid GOES navigation: orbit inside the earth\n"},
        {"eccentricity", goes_desc(-75, "eccen 1000000\n"),
         "AREA_init: Invalid GOES navigation: eccentricity not below 1\n"},
        {"no lines", goes_desc(-75, "lintot 800001\n"),
         "AREA_init: Invalid GOES navigation: too few scan lines or elements\n"},
        {"zero sweep", goes_desc(-75, "deglin 0\n"),
         "AREA_init: Invalid GOES navigation: zero sweep angle\n"},
        {"zero spin", goes_desc(-75, "spinp 0\n"),
         "AREA_init: Invalid GOES navigation: zero spin period\n"},
        {"bad image day", goes_desc(-75, "iddate 95400\n"),
         "AREA_init: Invalid GOES navigation: image date out of range\n"},
        {"bad epoch", goes_desc(-75, "edate 951340\n"),
         "AREA_init: Invalid GOES navigation: orbit epoch date out of range\n"},
        {"instrument", gvar_desc(3), "AREA_init: Invalid GVAR navigation: unknown instrument\n"},
        {"bcd", gvar_desc(1, "etime1 0x00A00000\n"),
         "AREA_init: Invalid GVAR navigation: epoch time is not decimal\n"},
        {"gvar day", gvar_desc(1, "imgday 98999\n"),
         "AREA_init: Invalid GVAR navigation: image day out of range\n"},
        {"attitude overflow",
         // Pitch misalignment monomial 1.0 x (wa - 0)^2000000000 with the solar
         // angle of a 134-minute offset overflows to infinity.
         gvar_desc(1, "imcact 0\nsolinc 10000000\nw346 1\nw347 1\nw348 2000000000\n"
                      "w349 10000000\n"),
         "AREA_init: Invalid GVAR navigation: orbit or attitude terms not finite\n"},
        {"ps radius", "nav PS\nnpline 1\nnpelem 1\nstdlat 600000\nspacing 1000\nequrad 0\n",
         "AREA_init: Invalid PS navigation: zero grid spacing or earth radius\n"},
        {"merc spacing", "nav MERC\nw6 6371200\n",
         "AREA_init: Invalid MERC navigation: zero grid spacing or earth radius\n"},
        {"lamb latitudes", "nav LAMB\nw3 0\nw4 0\nw5 1000\nw7 6371200\n",
         "AREA_init: Invalid LAMB navigation: standard latitudes out of range\n"},
        {"lamb opposite", "nav LAMB\nw3 300000\nw4 -300000\nw5 1000\nw7 6371200\n",
         "AREA_init: Invalid LAMB navigation: standard latitudes out of range\n"},
        {"rect step", "nav RECT\nw5 0\nw6 100\n",
         "AREA_init: Invalid RECT navigation: zero grid spacing\n"},
        {"rect exponent", "nav RECT\nw5 1\nw6 1\nw13 12\n",
         "AREA_init: Invalid RECT navigation: decimal exponent out of range\n"},
        {"moll resolution", "nav MOLL\nw3 0\n",
         "AREA_init: Invalid MOLL navigation: zero resolution\n"},
        {"tanc spacing", "nav TANC\nstdlat 250000\n",
         "AREA_init: Invalid TANC navigation: zero grid spacing\n"},
        {"tanc latitude", "nav TANC\nspacing 1000\nstdlat 900000\n",
         "AREA_init: Invalid TANC navigation: standard latitude out of range\n"},
    };
    for (const BadCase& c : cases) {
        SCOPED_TRACE(c.what);
        messages();  // drain
        MESS_file(msg_path_, "w");
        AreaHolder h;
        EXPECT_EQ(load_desc(c.desc, &h), -1);
        EXPECT_EQ(messages(), c.message);
        EXPECT_EQ(AREA_get_kind(), AREA_NAV_NONE);
        float lat = 1, lon = 2, lin = 3, ele = 4;
        EXPECT_EQ(AREA_tran(2, &lat, &lon, &lin, &ele), 0);
        EXPECT_EQ(lin, 3);
        EXPECT_EQ(AREA_map_tran(1, &lat, &lon, &lin, &ele), -1);
        EXPECT_EQ(lat, kMiss);
    }
}

// Random navigation words (fixed seed) for every block type: AREA_init
// either accepts or rejects the block, and every conversion afterwards
// gives finite numbers or -9999, never NaN, a crash or undefined behaviour
// (this test is meant to run under the sanitizers too).
TEST_F(NavTest, GarbageBlocksNeverGiveNaN) {
    MESS_set(0, M_print);  // keep the hundreds of warnings off the screen
    std::uint32_t seed = 12345;
    auto rnd32 = [&seed]() {
        seed = seed * 1664525u + 1013904223u;
        return seed;
    };
    auto ok = [](float v) { return std::isfinite(v) || v == kMiss; };
    const char* types[] = {"GOES", "GVAR", "PS", "MSAT", "MOLL", "RECT", "MERC", "LAMB", "TANC"};
    int accepted = 0;
    for (const char* t : types) {
        SCOPED_TRACE(t);
        for (int iter = 0; iter < 150; ++iter) {
            MC_area_dir dir{};
            dir.lres = 1 + rnd32() % 8;
            dir.eres = 1 + rnd32() % 8;
            dir.lcor = static_cast<std::int32_t>(rnd32() % 20000);
            dir.ecor = static_cast<std::int32_t>(rnd32() % 20000);
            alignas(8) std::uint32_t block[640];
            for (auto& w : block) {
                // Mostly small values (plausible magnitudes), some anything.
                std::uint32_t r = rnd32();
                w = (r & 3) == 0 ? rnd32() : rnd32() % 2000000;
            }
            std::memcpy(block, t, std::strlen(t));
            MC_area a{};
            a.dir = &dir;
            std::strcpy(a.type, t);
            if (std::strcmp(t, "GOES") == 0) {
                block[1] = 95100;  // keep the dates valid so the maths runs
                block[4] = 950410;
                block[6] = 4216541 + rnd32() % 100000;
                block[7] = rnd32() % 100000;
                a.navg = reinterpret_cast<MC_nav_goes*>(block);
            } else if (std::strcmp(t, "GVAR") == 0) {
                block[12] = 0x19982601;
                block[13] = 0;
                block[367] = 98260;
                block[368] = 74514372;
                block[369] = 1 + rnd32() % 2;
                if (iter % 2) block[2] = 0x80;
                a.navgv = reinterpret_cast<MC_nav_gvar*>(block);
            } else if (std::strcmp(t, "PS") == 0 || std::strcmp(t, "MSAT") == 0) {
                a.navps = reinterpret_cast<MC_nav_ps*>(block);
            } else if (std::strcmp(t, "TANC") == 0) {
                a.navtanc = reinterpret_cast<MC_nav_tanc*>(block);
            } else {
                a.nav = reinterpret_cast<MC_nav*>(block);
            }
            int r = AREA_init(&a);
            ASSERT_TRUE(r == 0 || r == -1);
            if (r == 0) ++accepted;
            // Half the spin-scan blocks run the true-anomaly and perturbed
            // orbit paths too.
            if (r == 0 && AREA_get_kind() == AREA_NAV_SPIN && iter % 2 == 1) {
                int m = AREA_set_orbit_model(iter % 4 == 1 ? 1 : 0, 1);
                EXPECT_TRUE(m == 0 || m == -1);
            }
            for (int k = 0; k < 4; ++k) {
                float lat = static_cast<float>(rnd32() % 180) - 90;
                float lon = static_cast<float>(rnd32() % 360) - 180;
                float lin = static_cast<float>(rnd32() % 30000);
                float ele = static_cast<float>(rnd32() % 30000);
                float la = 0, lo = 0, l = lin, e = ele;
                AREA_tran(1, &la, &lo, &l, &e);
                EXPECT_TRUE(ok(la) && ok(lo)) << la << " " << lo;
                AREA_tran(2, &lat, &lon, &l, &e);
                EXPECT_TRUE(ok(l) && ok(e)) << l << " " << e;
                l = lin;
                e = ele;
                AREA_map_tran(1, &la, &lo, &l, &e);
                EXPECT_TRUE(ok(la) && ok(lo)) << la << " " << lo;
                AREA_map_tran(2, &lat, &lon, &l, &e);
                EXPECT_TRUE(ok(l) && ok(e)) << l << " " << e;
            }
            AREA_tran(3, &lat_sink_, &lon_sink_, &lin_sink_, &ele_sink_);
            EXPECT_TRUE(ok(lat_sink_) && ok(lon_sink_));
        }
    }
    EXPECT_GT(accepted, 100);  // the maths ran on many of them
}

TEST_F(NavTest, UnknownTypeMissingDirectoryAndZeroResolution) {
    AreaHolder h;
    EXPECT_EQ(load_desc("nav ABCD\nlres 0\neres 0\nlcor 10\necor 20\n", &h), 0);
    EXPECT_EQ(h.area.type[0], '\0');
    EXPECT_EQ(messages(),
              "AREA_init: Invalid image resolution 0x0, taken as 1\n"
              "AREA_init: Unknown navigation type, image is not navigated\n");
    EXPECT_EQ(AREA_get_kind(), AREA_NAV_NONE);
    float l = 0, e = 0;
    AREA_line_elem(2, 15, 25, &l, &e);
    EXPECT_FLOAT_EQ(l, 6);
    EXPECT_FLOAT_EQ(e, 6);
    EXPECT_EQ(AREA_init(nullptr), -1);
    MC_area empty{};
    EXPECT_EQ(AREA_init(&empty), -1);
    EXPECT_EQ(messages(),
              "AREA_init: Invalid image resolution 0x0, taken as 1\n"
              "AREA_init: Unknown navigation type, image is not navigated\n"
              "AREA_init: No AREA directory\n"
              "AREA_init: No AREA directory\n");
    // A type the reader knows but whose block is absent.
    MC_area_dir dir{};
    dir.lres = dir.eres = 1;
    MC_area a{};
    a.dir = &dir;
    std::strcpy(a.type, "GVAR");
    EXPECT_EQ(AREA_init(&a), -1);
    datim t{95100, 12};
    pt p{1, 2, 3};
    EXPECT_EQ(AREA_pos(&t, 0, &p), -1);
    EXPECT_EQ(p.x, 0);
}

// The same sample written in both byte orders navigates identically.
TEST_F(NavTest, ByteOrderDoesNotMatter) {
    AreaHolder big, little;
    ASSERT_EQ(load_desc("order big\n" + gvar_desc(1), &big), 0);
    float l1 = 0, e1 = 0;
    ASSERT_EQ(earth2sat(30, -80, &l1, &e1), 0);
    ASSERT_EQ(load_desc("order little\n" + gvar_desc(1), &little), 0);
    float l2 = 0, e2 = 0;
    ASSERT_EQ(earth2sat(30, -80, &l2, &e2), 0);
    EXPECT_FLOAT_EQ(l1, l2);
    EXPECT_FLOAT_EQ(e1, e2);
    EXPECT_EQ(std::memcmp(big.area.navgv, little.area.navgv, sizeof(MC_nav_gvar)), 0);
}

// The command-line sample maker writes the same bytes as the writer.
TEST(AreaMake, ToolWritesFile) {
    std::string desc = "lines 3\nelements 4\nnav PS\nnpline 5\nmemo hello\npattern checker 2\n";
    char in[] = "/tmp/nav_descXXXXXX";
    int fd = mkstemp(in);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, desc.data(), desc.size()), static_cast<ssize_t>(desc.size()));
    close(fd);
    std::string out = std::string(in) + ".area";
    std::string cmd = std::string(AREA_MAKE_BIN) + " " + in + " " + out;
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    std::string bytes = slurp(out);
    ASSERT_EQ(bytes.size(), 256u + 512u + 12u);
    EXPECT_EQ(bytes.substr(256, 4), "PS  ");
    EXPECT_EQ(bytes.substr(256 + 480, 5), "hello");
    EXPECT_EQ(static_cast<unsigned char>(bytes[7]), 4);  // big-endian type word
    EXPECT_EQ(static_cast<unsigned char>(bytes[256 + 7]), 5);  // npline
    // checker 2: rows 0-1 start 0 0 255 255.
    EXPECT_EQ(static_cast<unsigned char>(bytes[768 + 0]), 0);
    EXPECT_EQ(static_cast<unsigned char>(bytes[768 + 2]), 255);
    EXPECT_EQ(static_cast<unsigned char>(bytes[768 + 8]), 255);  // row 2, column 0
    std::string bad = std::string(AREA_MAKE_BIN) + " " + in + ".missing " + out + " 2>/dev/null";
    EXPECT_NE(std::system(bad.c_str()), 0);
    std::remove(in);
    std::remove(out.c_str());
    AreaDesc d;
    std::string err;
    EXPECT_FALSE(area_desc_parse("nav PS\nbogus 1\n", &d, &err));
    EXPECT_EQ(err, "line 2: unknown keyword \"bogus\" for nav PS");
    EXPECT_FALSE(area_desc_parse("npline 1\n", &d, &err));
    EXPECT_EQ(err, "line 1: \"npline\" before \"nav\"");
}

// The remapper's row form gives, point for point, the floats of AREA_tran
// type 2 followed by AREA_line_elem type 2, -9999 where those give none:
// three-axis (with and without attitude terms), spin-scan, and a map block
// (no satellite navigation) under a shifted, subsampled image mapping.
void image_row_matches_pointwise(int min_located, int min_missing) {
    AREA_set_res(11, 21, 2, 4);
    float slat = 0, slon = 0, sl = 0, se = 0;
    AREA_tran(3, &slat, &slon, &sl, &se);
    if (AREA_get_kind() != AREA_NAV_SPIN && AREA_get_kind() != AREA_NAV_GVAR) slon = -75;
    std::vector<float> lat, lon;
    for (int la = -88; la <= 88; la += 4)
        for (int dl = -110; dl <= 110; dl += 3) {
            lat.push_back(static_cast<float>(la) + 0.3f);
            lon.push_back(slon + static_cast<float>(dl) + 0.7f);
        }
    lat.push_back(kMiss);
    lon.push_back(slon);
    lat.push_back(95);
    lon.push_back(slon);
    const int n = static_cast<int>(lat.size());
    std::vector<float> line(n), elem(n);
    const int got = AREA_image_row(lat.data(), lon.data(), n, line.data(), elem.data());
    int want = 0;
    for (int k = 0; k < n; ++k) {
        float la = lat[k], lo = lon[k], l = kMiss, e = kMiss, il = kMiss, ie = kMiss;
        AREA_tran(2, &la, &lo, &l, &e);
        if (l != kMiss && e != kMiss) {
            AREA_line_elem(2, l, e, &il, &ie);
            ++want;
        }
        ASSERT_EQ(std::memcmp(&line[k], &il, sizeof(float)), 0) << lat[k] << " " << lon[k];
        ASSERT_EQ(std::memcmp(&elem[k], &ie, sizeof(float)), 0) << lat[k] << " " << lon[k];
    }
    EXPECT_EQ(got, want);
    EXPECT_GE(got, min_located);
    EXPECT_GE(n - got, min_missing);
}

TEST_F(NavTest, ImageRowEqualsPointwiseNavigation) {
    {
        AreaHolder h;
        ASSERT_EQ(load_desc(gvar_desc(1), &h), 0);
        SCOPED_TRACE("GVAR imager");
        image_row_matches_pointwise(1000, 1000);
    }
    {
        AreaHolder h;
        ASSERT_EQ(load_desc(gvar_desc(2, "imcact 0\nw64 100000\nw131 -50000\nw186 30000\n"
                                         "w259 20000\nw314 -30000\n"),
                            &h),
                  0);
        SCOPED_TRACE("GVAR sounder with attitude");
        image_row_matches_pointwise(1000, 1000);
    }
    {
        AreaHolder h;
        ASSERT_EQ(load_desc(goes_desc(-75), &h), 0);
        SCOPED_TRACE("spin-scan");
        image_row_matches_pointwise(100, 1000);
    }
    {
        // A map block has no satellite navigation: nothing is located.
        AreaHolder h;
        ASSERT_EQ(load_desc(map_cases().front().desc, &h), 0);
        SCOPED_TRACE(map_cases().front().name);
        image_row_matches_pointwise(0, 3000);
        float la = 40, lo = -100, l = 0, e = 0;
        EXPECT_EQ(AREA_image_row(&la, &lo, 1, &l, &e), 0);
    }
}

}  // namespace
