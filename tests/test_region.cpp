// Domains and regions: projection names, the domain-string templates, the
// region file and its menu, built-in regions, place lookups, comparison,
// printing and label priorities.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "cty_tool.h"
#include "flag.h"
#include "map.h"
#include "maptran.h"
#include "mess.h"
#include "region.h"
#include "resrc.h"
#include "table.h"

namespace {

std::string read_file(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

class RegionTest : public ::testing::Test {
protected:
    void SetUp() override {
        RES_clear();
        MESS_reset();
        DOM_set_prior(3);
        DOM_set_loc_prior(4);
        char tmpl[] = "/tmp/geo_regXXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        dir_ += "/";
    }
    void TearDown() override {
        MESS_file_close();
        RES_clear();
        std::system(("rm -rf '" + dir_ + "'").c_str());
    }
    std::string write(const std::string& name, const std::string& text) {
        std::ofstream f(dir_ + name, std::ios::binary);
        f << text;
        return dir_ + name;
    }
    // Runs `fn` while every message is copied to a file; returns the text.
    template <class F>
    std::string capture(F fn) {
        const std::string log = dir_ + "messages.log";
        EXPECT_EQ(MESS_file(log.c_str(), "w"), 0);
        fn();
        MESS_file_close();
        return read_file(log);
    }
    void use_dir() { RES_put("file_path", dir_.c_str()); }
    std::string dir_;
};

TEST_F(RegionTest, InitLeavesEverythingUnset) {
    Domain d;
    d.ellipse = 7;
    EXPECT_EQ(DOM_init(&d), 0);
    EXPECT_EQ(d.proj, -9999);
    EXPECT_EQ(d.nx, -9999);
    EXPECT_EQ(d.ny, -9999);
    EXPECT_FLOAT_EQ(d.plat, -9999.0f);
    EXPECT_FLOAT_EQ(d.clon, -9999.0f);
    EXPECT_FLOAT_EQ(d.dy, -9999.0f);
    for (float p : d.param) EXPECT_FLOAT_EQ(p, -9999.0f);
    EXPECT_EQ(d.ellipse, 0);
}

TEST_F(RegionTest, ProjectionNamesByPrefixInTableOrder) {
    const struct {
        const char* name;
        int code;
    } cases[] = {
        {"ll", 2},      {"LatLon", 2},  {"polar", 1},   {"ps", 1},      {"PSTEREO", 1},
        {"sat", 9},     {"satellite", 9}, {"lamb", 4},  {"lambert", 4}, {"lambaz", 4},
        {"lc", 4},      {"la", 8},      {"laea", 8},    {"gn", 6},      {"gnom", 6},
        {"or", 5},      {"ortho", 5},   {"mo", 7},      {"moll", 7},    {"me", 3},
        {"merc", 3},    {"pix", 99},    {"pixel", 99},  {"xy", 20},     {"xlogy", 22},
        {"xlogp", 22},  {"cat", 24},    {"skewt", 40},  {"ema", 42},    {"teph", 43},
        {"rteph", 44},  {"therm", 40},  {"stuve", 41},  {"hodo", 23},   {"vert", 22},
        {"xp", 25},     {"XP", 25},     {"xpx", -1},    {"zoom", 50},   {"size", 51},
        {"miss", -9999}, {"MISS", -9999}, {"missing", -1}, {"foo", -1},  {"", -1},
        {"l", -1},      {"x", -1},
    };
    for (const auto& c : cases) EXPECT_EQ(DOM_proj_str(c.name), c.code) << c.name;
    EXPECT_EQ(DOM_proj_str(nullptr), -1);
    EXPECT_EQ(MAP_proj_str("merc"), 3);
}

// The templates in order; a domain string picks the first that reads.
TEST_F(RegionTest, EveryTemplateDecodes) {
    struct Case {
        const char* str;
        int proj;
        float plat, plon, clat, clon;
        int nx, ny;
        float dx, dy;
    };
    const float U = -9999.0f;
    const Case cases[] = {
        // 1 proj,plon,clat,clon,nx,ny,dx,dy
        {"ps,-105,40,-100,30,20,1.5,1.6", 1, U, -105, 40, -100, 30, 20, 1.5f, 1.6f},
        // 2 proj,clat,clon,nx,ny,dx,dy
        {"ps:60:-105,40,-100,25,17,1.2,1.2", 1, 60, -105, 40, -100, 25, 17, 1.2f, 1.2f},
        // 3 proj,plon,clat,clon,dx,dy (six numeric fields behind a name)
        {"merc,-90,20,-95,0.5,0.6", 3, U, -90, 20, -95, 25, 17, 0.5f, 0.6f},
        // 4 proj,clat,clon,nx,ny,dx: reached with a location (below); 5:
        {"40,-100,30,20,1.5,1.6", 1, U, U, 40, -100, 30, 20, 1.5f, 1.6f},
        // 6 proj,clat,clon,dx,dy
        {"ortho,10,20,3,4", 5, U, U, 10, 20, 25, 17, 3, 4},
        // 7 clat,clon,nx,ny,dx
        {"40,-100,30,20,1.5", 1, U, U, 40, -100, 30, 20, 1.5f, 1.5f},
        // 8 proj,clat,clon,dx
        {"lamb:e:25:-95:25:25,38,-97,1.5", 4, 25, -95, 38, -97, 25, 17, 1.5f, 1.5f},
        // 9 clat,clon,nx,ny
        {"40,-100,30,20", 1, U, U, 40, -100, 30, 20, 1.2f, 1.2f},
        // 10 clat,clon,dx
        {"40,-100,2", 1, U, U, 40, -100, 25, 17, 2, 2},
        // 11 proj,clat,clon
        {"ll,10,20", 2, U, U, 10, 20, 25, 17, 1.2f, 1.2f},
        {"zoom,200,300", 50, U, U, 200, 300, 25, 17, 1.0f, 1.0f},
        // 12 clat,clon
        {"40,-100", 1, U, U, 40, -100, 25, 17, 1.2f, 1.2f},
    };
    for (const Case& c : cases) {
        Domain d;
        EXPECT_EQ(DOM_decode(c.str, &d), 1) << c.str;
        EXPECT_EQ(d.proj, c.proj) << c.str;
        EXPECT_FLOAT_EQ(d.plat, c.plat) << c.str;
        EXPECT_FLOAT_EQ(d.plon, c.plon) << c.str;
        EXPECT_FLOAT_EQ(d.clat, c.clat) << c.str;
        EXPECT_FLOAT_EQ(d.clon, c.clon) << c.str;
        EXPECT_EQ(d.nx, c.nx) << c.str;
        EXPECT_EQ(d.ny, c.ny) << c.str;
        EXPECT_FLOAT_EQ(d.dx, c.dx) << c.str;
        EXPECT_FLOAT_EQ(d.dy, c.dy) << c.str;
        EXPECT_EQ(FLAG_get(5), 1) << c.str;
    }
    Domain d;
    DOM_decode("lamb:e:25:-95:25:25,38,-97,1.5", &d);
    EXPECT_EQ(d.ellipse, 1);
    EXPECT_FLOAT_EQ(d.param[0], 25.0f);
    EXPECT_FLOAT_EQ(d.param[1], 25.0f);
    EXPECT_FLOAT_EQ(d.param[2], -9999.0f);
}

TEST_F(RegionTest, SizeZoomMissAndProjectionFields) {
    Domain d;
    EXPECT_EQ(DOM_decode("size,640,480", &d), 1);
    EXPECT_EQ(d.proj, 51);
    EXPECT_EQ(d.nx, 640);
    EXPECT_EQ(d.ny, 480);
    EXPECT_FLOAT_EQ(d.clat, -9999.0f);

    EXPECT_EQ(DOM_decode("", &d), -9999);
    EXPECT_EQ(d.proj, -9999);
    EXPECT_EQ(DOM_decode(nullptr, &d), -9999);
    EXPECT_EQ(DOM_decode("Miss", &d), -9999);
    EXPECT_EQ(d.nx, -9999);

    // One value after the name is the central meridian.
    EXPECT_EQ(DOM_decode("ps:-105,40,-100", &d), 1);
    EXPECT_FLOAT_EQ(d.plon, -105.0f);
    EXPECT_FLOAT_EQ(d.plat, -9999.0f);
    // Empty plat/plon read as 0, empty parameters stay unset.
    EXPECT_EQ(DOM_decode("sat:e::-75:421.6::3,0,-75", &d), 1);
    EXPECT_EQ(d.ellipse, 1);
    EXPECT_FLOAT_EQ(d.plat, 0.0f);
    EXPECT_FLOAT_EQ(d.plon, -75.0f);
    EXPECT_FLOAT_EQ(d.param[0], 421.6f);
    EXPECT_FLOAT_EQ(d.param[1], -9999.0f);
    EXPECT_FLOAT_EQ(d.param[2], 3.0f);
    // A "none" first field leaves the fields unset but the defaults of the
    // first template of that length apply (clat,clon,dx: polar stereographic).
    EXPECT_EQ(DOM_decode("none,1,2", &d), 1);
    EXPECT_EQ(d.nx, 25);
    EXPECT_EQ(d.proj, 1);
    EXPECT_FLOAT_EQ(d.clat, -9999.0f);
    // Trailing commas are dropped; empty middle fields are kept (and fail).
    EXPECT_EQ(DOM_decode("40,-100,,", &d), 1);
    EXPECT_FLOAT_EQ(d.clon, -100.0f);
}

TEST_F(RegionTest, BadStringsWarnAndFail) {
    const char* bad[] = {"40,,-100", "abc,def,ghi", "ps,40,x", "foo:1:2,3,4,5,6,7,8,9,10",
                         "1,2,3,4,5,6,7,8,9", "id:", ",,,", "ps:abc,40,-100"};
    for (const char* s : bad) {
        Domain d;
        int r = 0;
        const std::string text = capture([&] { r = DOM_decode(s, &d); });
        EXPECT_EQ(r, -1) << s;
        EXPECT_NE(text.find("DOM_decode: Invalid plot domain\n"), std::string::npos) << s << ": " << text;
        EXPECT_EQ(FLAG_get(5), -1) << s;
    }
    // The low-level matcher reports which field failed, or -1 for a count
    // mismatch without touching the domain.
    Domain d;
    d.proj = 77;
    char f0[] = "ps", f1[] = "40", f2[] = "x";
    char* fields[] = {f0, f1, f2};
    EXPECT_EQ(DOM_set_params(3, fields, &d, DOM_F_PROJ, DOM_F_CLAT, 0, 0, 0, 0, 0, 0), -1);
    EXPECT_EQ(d.proj, 77);
    EXPECT_EQ(DOM_set_params(3, fields, &d, DOM_F_PROJ, DOM_F_CLAT, DOM_F_CLON, 0, 0, 0, 0, 0), DOM_F_CLON);
    char g0[] = "bogus";
    char* gfields[] = {g0, f1, f1};
    EXPECT_EQ(DOM_set_params(3, gfields, &d, DOM_F_PROJ, DOM_F_CLAT, DOM_F_CLON, 0, 0, 0, 0, 0), DOM_F_PROJ);
    EXPECT_EQ(d.proj, 1);
    char n0[] = "12.5x";
    char* nfields[] = {n0};
    EXPECT_EQ(DOM_set_params(1, nfields, &d, DOM_F_NX, 0, 0, 0, 0, 0, 0, 0), 0);  // "%d" reads 12
    EXPECT_EQ(d.nx, 12);
}

TEST_F(RegionTest, BuiltinRegionsWithoutRegionFile) {
    use_dir();  // an empty directory: no zem.reg
    Domain d;
    EXPECT_EQ(DOM_decode("us", &d), 2);
    EXPECT_EQ(d.proj, 1);
    EXPECT_FLOAT_EQ(d.clat, 39.0f);
    EXPECT_FLOAT_EQ(d.clon, -97.0f);
    EXPECT_FLOAT_EQ(d.plon, -97.0f);
    EXPECT_FLOAT_EQ(d.dx, 2.3f);
    EXPECT_FLOAT_EQ(d.dy, 2.3f);
    EXPECT_EQ(d.nx, 25);
    EXPECT_EQ(d.ny, 17);
    EXPECT_EQ(FLAG_get(5), 2);
    EXPECT_EQ(DOM_decode("SW", &d), 2);
    EXPECT_FLOAT_EQ(d.clon, -112.0f);
    // Not found anywhere: refused, with no usable projection.
    EXPECT_EQ(DOM_decode("atlantis", &d), -1);
    EXPECT_EQ(d.proj, -1);
    EXPECT_EQ(DOM_get_def_region("nowhere", &d), 0);
    EXPECT_EQ(d.proj, 1);
    EXPECT_EQ(d.nx, 25);
    EXPECT_FLOAT_EQ(d.dx, 1.2f);
    EXPECT_FLOAT_EQ(d.clat, -9999.0f);
    char out[DOM_FIELD_SIZE];
    const std::string text = capture([&] {
        MESS_set(0, 0xFFFFFFFF);
        EXPECT_EQ(DOM_search_file("zem.reg", "us", out), 0);
    });
    EXPECT_NE(text.find("Unable to open region file: " + dir_ + "zem.reg"), std::string::npos) << text;
}

// The shipped region file: every entry decodes to a usable domain whose
// centre is visible, and the US sectors equal the built-in regions.
TEST_F(RegionTest, ShippedRegionFile) {
    RES_put("file_path", ZEM_ETC_DIR "/");
    std::ifstream f(ZEM_ETC_DIR "/zem.reg");
    ASSERT_TRUE(f) << "etc/zem.reg missing";
    std::string line;
    int regions = 0;
    while (std::getline(f, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream ws(line);
        std::string abbr, desc, flag, dom;
        ws >> abbr >> desc >> flag >> dom;
        Domain d;
        ASSERT_EQ(DOM_decode(abbr.c_str(), &d), 2) << abbr;
        EXPECT_GE(d.proj, 1) << abbr;
        EXPECT_LE(d.proj, 9) << abbr;
        EXPECT_GT(d.nx, 1) << abbr;
        EXPECT_GT(d.dy, 0.0f) << abbr;
        Domain direct;
        EXPECT_EQ(DOM_decode(dom.c_str(), &direct), 1) << dom;
        EXPECT_EQ(DOM_comp(&d, &direct), 1) << abbr;
        MAP_domain(&d);
        float x = 0, y = 0;
        EXPECT_EQ(MAP_tran_center(&x, &y), 1) << abbr;
        Domain builtin;
        if (DOM_get_def_region(abbr.c_str(), &builtin)) {
            EXPECT_EQ(DOM_comp(&d, &builtin), 1) << abbr;
        }
        ++regions;
    }
    EXPECT_GE(regions, 20);
    Domain d;
    DOM_decode("goese", &d);
    EXPECT_EQ(d.proj, 9);
    EXPECT_EQ(d.ellipse, 1);
    EXPECT_FLOAT_EQ(d.plon, -75.2f);
    DOM_decode("goesw", &d);
    EXPECT_FLOAT_EQ(d.plon, -137.2f);
    DOM_decode("sa", &d);
    EXPECT_EQ(d.proj, 8);

    ASSERT_EQ(DOM_read_menu("zem.reg"), 1);
    EXPECT_STREQ(DOM_get_menu()[1].abbr, "us");
    EXPECT_STREQ(DOM_get_region_name(1), "United States");
    EXPECT_STREQ(DOM_get_region_name(0), "Return to previous menu");
    EXPECT_LE(DOM_get_num_regions(), 20);
}

TEST_F(RegionTest, RegionFileFormsAndMenu) {
    use_dir();
    write("zem.reg",
          "# comment line 1 with four fields\n"
          "us    Test_US     1  ll,10,20,5,5,1,1\n"
          "\n"
          "short Too_short\n"
          "verylongabbr  A_description_longer_than_twenty 2 ps,50,10,25,17,1,1\n"
          "hid   Hidden      0  merc,0,0,5,5,1,1\n"
          "loop1 Loop        0  loop2\n"
          "loop2 Loop        0  loop1\n");
    write("other.reg", "x1 First 1 40,-100\nx2 Second 1 ortho,10,20\n");
    write("bare.reg", "# only a bare string\n45,-90,3\n");

    Domain d;
    EXPECT_EQ(DOM_decode("US", &d), 2);  // the file wins over the built-in
    EXPECT_EQ(d.proj, 2);
    EXPECT_FLOAT_EQ(d.clat, 10.0f);
    EXPECT_EQ(DOM_decode("hid", &d), 2);
    EXPECT_EQ(d.proj, 3);
    EXPECT_EQ(DOM_decode("ne", &d), 2);  // not in the file: built in
    EXPECT_FLOAT_EQ(d.clat, 42.0f);
    EXPECT_EQ(DOM_decode("fi:other.reg", &d), 2);
    EXPECT_FLOAT_EQ(d.clon, -100.0f);
    EXPECT_EQ(DOM_decode("other.reg:x2", &d), 2);
    EXPECT_EQ(d.proj, 5);
    EXPECT_EQ(DOM_decode("bare.reg:anything", &d), 2);
    EXPECT_FLOAT_EQ(d.clat, 45.0f);
    EXPECT_FLOAT_EQ(d.dx, 3.0f);
    // Regions naming each other in a ring end with no projection.
    EXPECT_EQ(DOM_decode("loop1", &d), -1);
    EXPECT_EQ(d.proj, -1);

    char out[DOM_FIELD_SIZE];
    EXPECT_EQ(DOM_search_file("zem.reg", nullptr, out), 1);
    EXPECT_STREQ(out, "ll,10,20,5,5,1,1");
    EXPECT_EQ(DOM_search_file("zem.reg", "HID", out), 1);
    EXPECT_STREQ(out, "merc,0,0,5,5,1,1");
    EXPECT_EQ(DOM_search_file("zem.reg", "short", out), 0);
    EXPECT_EQ(DOM_search_file("zem.reg", "none_such", out), 0);

    // "file:" loads that file's menu.
    EXPECT_EQ(DOM_decode("zem.reg:", &d), 2);
    EXPECT_EQ(DOM_get_num_regions(), 3);
    EXPECT_STREQ(DOM_get_menu()[1].abbr, "us");
    EXPECT_STREQ(DOM_get_menu()[2].abbr, "veryl");
    EXPECT_STREQ(DOM_get_menu()[2].name, "A description longer");
    EXPECT_EQ(std::string(DOM_get_menu()[2].name).size(), 20u);
    EXPECT_EQ(DOM_get_menu()[2].disp[0], 2);
    EXPECT_EQ(DOM_get_menu()[2].index, 2);
    EXPECT_EQ(DOM_get_region_name(3), nullptr);
    EXPECT_EQ(DOM_get_region_name(25), nullptr);

    // The menu keeps at most 19 regions.
    std::string many;
    for (int i = 0; i < 30; ++i) many += "r" + std::to_string(i) + " R 1 40,-100\n";
    write("many.reg", many);
    EXPECT_EQ(DOM_read_menu("many.reg"), 1);
    EXPECT_EQ(DOM_get_num_regions(), 20);
    EXPECT_STREQ(DOM_get_menu()[19].abbr, "r18");
    EXPECT_EQ(DOM_read_menu("absent.reg"), 0);

    const std::string listing = capture([] { EXPECT_EQ(DOM_print_file("other.reg"), 1); });
    EXPECT_NE(listing.find(" Abbr    Description\n"), std::string::npos);
    char line[128];
    std::snprintf(line, sizeof line, "%-8s %-50s\n", "x2", "Second");
    EXPECT_NE(listing.find(line), std::string::npos) << listing;
}

TEST_F(RegionTest, GarbageRegionFilesNeverCrash) {
    use_dir();
    std::mt19937 rng(12345);
    std::string bin(64 * 1024, '\0');
    for (char& c : bin) c = static_cast<char>(rng() & 0xFF);
    write("binary.reg", bin);
    std::string longl(100000, 'x');
    write("long.reg", "us Long 1 " + longl + "\n" + std::string(600, ' ') + "far Far 1 40,-100\n" +
                          "ok Ok 1 30,-90\n");
    std::string nul("nu\0l Nul 1 40,-100\n", 19);
    write("nul.reg", nul);

    Domain d;
    char out[DOM_FIELD_SIZE];
    for (const char* f : {"binary.reg", "long.reg", "nul.reg"}) {
        DOM_search_file(f, "us", out);
        EXPECT_LT(std::string(out).size(), static_cast<std::size_t>(DOM_FIELD_SIZE));
        DOM_read_menu(f);
        EXPECT_LE(DOM_get_num_regions(), 20);
        capture([&] { DOM_print_file(f); });
        capture([&] { DOM_decode((std::string(f) + ":us").c_str(), &d); });
    }
    // The over-long field is cut at 79 characters and does not decode.
    EXPECT_EQ(DOM_search_file("long.reg", "us", out), 1);
    EXPECT_EQ(std::string(out), std::string(79, 'x'));
    // Text past 500 characters of a line is not read as a region.
    EXPECT_EQ(DOM_search_file("long.reg", "far", out), 0);
    EXPECT_EQ(DOM_search_file("long.reg", "ok", out), 1);
    EXPECT_STREQ(out, "30,-90");
    // Long and garbage domain strings.
    EXPECT_EQ(DOM_decode(std::string(5000, ',').c_str(), &d), -1);
    std::string huge = "ps";
    for (int i = 0; i < 2000; ++i) huge += ",1e30";
    EXPECT_EQ(DOM_decode(huge.c_str(), &d), -1);
    EXPECT_EQ(DOM_decode("ps,nan,inf,1,1,1,1", &d), -1);
}

TEST_F(RegionTest, LocationFromPlaceFile) {
    use_dir();
    const std::string cty = read_file(ZEM_TEST_DATA "/geo/sao.cty");
    ASSERT_FALSE(cty.empty());
    write("sao.cty", cty);
    write("mine.cty", "HOME XX XX HOME 5 10.5 20.5 100 -9999 0\n");
    Domain d;
    EXPECT_EQ(DOM_decode("id:KDEN,1.0", &d), 1);
    EXPECT_EQ(d.proj, 1);
    EXPECT_FLOAT_EQ(d.clat, 39.86f);  // the fixture's KDEN line
    EXPECT_FLOAT_EQ(d.clon, -104.67f);
    EXPECT_EQ(d.nx, 25);
    EXPECT_FLOAT_EQ(d.dx, 1.0f);
    EXPECT_FLOAT_EQ(d.dy, 1.0f);
    EXPECT_EQ(DOM_decode("id:kden", &d), 1);  // any case
    EXPECT_FLOAT_EQ(d.clat, 39.86f);
    EXPECT_EQ(DOM_decode("id:denver", &d), 1);  // by name
    EXPECT_FLOAT_EQ(d.clon, -104.67f);
    EXPECT_EQ(DOM_decode("id:72518", &d), 1);  // by WMO number
    EXPECT_FLOAT_EQ(d.clat, 42.75f);
    EXPECT_EQ(DOM_decode("lamb,id:KOUN,30,20,0.5", &d), 1);  // template 4
    EXPECT_EQ(d.proj, 4);
    EXPECT_FLOAT_EQ(d.clat, 35.24f);
    EXPECT_EQ(d.nx, 30);
    EXPECT_FLOAT_EQ(d.dy, 0.5f);
    EXPECT_EQ(DOM_decode("id:mine.cty:home", &d), 1);
    EXPECT_FLOAT_EQ(d.clon, 20.5f);
    EXPECT_EQ(DOM_decode("id:NOWHERE,1.0", &d), -1);

    CTY_data c;
    ASSERT_EQ(CTY_get(nullptr, "KMWN", &c), 1);
    EXPECT_FLOAT_EQ(c.el, -9999.0f);  // 9999 in the file means missing
    EXPECT_EQ(c.prior, 5);
    EXPECT_EQ(c.mos, ' ');
    ASSERT_EQ(CTY_get(nullptr, "KDEN", &c), 1);
    EXPECT_EQ(c.prior, 2);
    EXPECT_EQ(c.mos, '*');
    EXPECT_EQ(c.ua, '*');
    EXPECT_STREQ(c.state, "CO");
    EXPECT_EQ(c.wmo, 72565);

    // "none" turns the place database off.
    RES_put("city_file", "none");
    EXPECT_EQ(DOM_decode("id:KDEN,1.0", &d), -1);
    RES_put("city_file", "absent.cty");
    const std::string text = capture([&] { EXPECT_EQ(CTY_get_loc(nullptr, "KDEN", nullptr, nullptr), 0); });
    EXPECT_NE(text.find("CTY_open_file: Database file not found: " + dir_ + "absent.cty"), std::string::npos)
        << text;
}

TEST_F(RegionTest, CompareAspectAndPrint) {
    Domain a, b;
    DOM_decode("ps,40,-100,25,17,1.2,1.2", &a);
    DOM_decode("ps:40:-100,40,-100,25,17,1.2,1.2", &b);
    EXPECT_EQ(DOM_comp(&a, &b), 1);  // unset plat/plon mean the centre
    EXPECT_EQ(DOM_comp_proj(&a, &b), 1);
    b.nx = 26;
    EXPECT_EQ(DOM_comp(&a, &b), 0);
    EXPECT_EQ(DOM_comp_proj(&a, &b), 1);
    b = a;
    b.param[0] = 45.0f;
    EXPECT_EQ(DOM_comp_proj(&a, &b), 0);
    b = a;
    b.ellipse = 1;
    EXPECT_EQ(DOM_comp(&a, &b), 0);

    EXPECT_FLOAT_EQ(DOM_aspect(&a), 1.5f);
    a.nx = a.ny = 1;
    EXPECT_FLOAT_EQ(DOM_aspect(&a), 1.0f);

    Domain p;
    DOM_decode("ps:60:-105,40,-100,25,17,1.2,1.2", &p);
    char text[256];
    DOM_sprint(&p, text, sizeof text);
    EXPECT_STREQ(text, "pstereo:60.000:-105.000:::,40.000,-100.000,25,17,1.2000,1.2000\n");
    // What is printed decodes back to the same domain.
    std::string s(text);
    s.pop_back();
    Domain q;
    EXPECT_EQ(DOM_decode(s.c_str(), &q), 1);
    EXPECT_EQ(DOM_comp(&p, &q), 1);

    DOM_decode("sat:e:0:-75:421.6:1,0,-75,41,41,3.3,3.3", &p);
    DOM_sprint(&p, text, sizeof text);
    EXPECT_STREQ(text, "sat:e:0.000:-75.000:421.600:1.000:,0.000,-75.000,41,41,3.3000,3.3000\n");
    Domain t;
    DOM_init(&t);
    t.proj = 43;  // the tephigram has no printed name
    DOM_sprint(&t, text, sizeof text);
    EXPECT_STREQ(text, ":::::,-9999.000,-9999.000,-9999,-9999,-9999.0000,-9999.0000\n");

    const std::string printed = capture([&] { EXPECT_EQ(DOM_print(M_print, &p), 1); });
    EXPECT_EQ(printed, "sat:e:0.000:-75.000:421.600:1.000:,0.000,-75.000,41,41,3.3000,3.3000\n");
    const std::string silent = capture([&] { EXPECT_EQ(DOM_print(M_debug, &p), 0); });
    EXPECT_EQ(silent, "");
}

// "var" asks for its centre on standard input.
TEST_F(RegionTest, VariableRegionPromptsForCentre) {
    const std::string in = write("answers.txt", "40.5\n-99.25\n");
    ASSERT_NE(std::freopen(in.c_str(), "r", stdin), nullptr);
    Domain d;
    std::string text = capture([&] { EXPECT_EQ(DOM_get_def_region("var", &d), 1); });
    EXPECT_FLOAT_EQ(d.clat, 40.5f);
    EXPECT_FLOAT_EQ(d.clon, -99.25f);
    EXPECT_FLOAT_EQ(d.plon, -99.25f);
    EXPECT_FLOAT_EQ(d.dx, 1.2f);
    EXPECT_EQ(d.nx, 25);
    EXPECT_NE(text.find("Enter the central latitude: "), std::string::npos) << text;
    EXPECT_NE(text.find("Enter the central longitude: "), std::string::npos) << text;
    std::freopen("/dev/null", "r", stdin);
}

TEST_F(RegionTest, LabelPriorities) {
    EXPECT_EQ(DOM_get_prior(), 3);
    EXPECT_EQ(DOM_get_loc_prior(), 4);
    const struct {
        float size;
        int prior;
    } steps[] = {{60, 1}, {50, 2}, {26, 2}, {25, 3}, {13, 3}, {12.5f, 4}, {7, 4}, {6.25f, 5}, {3.1f, 5}, {3, 6}, {0, 6}};
    for (const auto& s : steps) {
        EXPECT_EQ(DOM_set_base_prior(s.size), s.prior) << s.size;
        EXPECT_EQ(DOM_get_prior(), s.prior) << s.size;
    }
    RES_put("stat_prior", "+1");
    EXPECT_EQ(DOM_set_base_prior(50.0f), 3);
    RES_put("stat_prior", "-2");
    EXPECT_EQ(DOM_set_base_prior(1.0f), 4);
    RES_put("stat_prior", "7");
    EXPECT_EQ(DOM_set_base_prior(100.0f), 7);
    RES_put("stat_prior", "x");
    EXPECT_EQ(DOM_set_base_prior(100.0f), 1);
    RES_clear();
    // Decoding sets the base priority from (ny-1)*dy: 16 * 2.3 = 36.8.
    Domain d;
    DOM_decode("us", &d);
    EXPECT_EQ(DOM_get_prior(), 2);
    DOM_set_loc_prior(8);
    EXPECT_EQ(DOM_get_loc_prior(), 8);
}

TEST_F(RegionTest, RegionFromResources) {
    use_dir();
    write("zem.reg", "# menu\nfirst First 1 ll,1,2,3,3,1,1\n");
    Domain d;
    EXPECT_EQ(DOM_get_region(&d, 1), 0);
    RES_put("region", "ne");
    EXPECT_EQ(DOM_get_region(&d, 1), 2);
    EXPECT_FLOAT_EQ(d.clat, 42.0f);
    RES_put("plot_domain", "40,-100");
    EXPECT_EQ(DOM_get_region(&d, 1), 1);
    EXPECT_FLOAT_EQ(d.clat, 40.0f);
    EXPECT_EQ(DOM_get_region(&d, 2), 2);  // flag 2 ignores plot_domain
    EXPECT_FLOAT_EQ(d.clat, 42.0f);
    RES_clear();
    use_dir();
    ASSERT_EQ(DOM_read_menu("zem.reg"), 1);
    EXPECT_EQ(DOM_get_region(&d, 4), 2);  // menu entry 1
    EXPECT_EQ(d.proj, 2);
    EXPECT_FLOAT_EQ(d.clon, 2.0f);
    // With no regions loaded, flag 4 loads "zem.reg" itself; flags 2 and 3
    // have no such fallback.
    write("empty.reg", "# nothing\n");
    ASSERT_EQ(DOM_read_menu("empty.reg"), 1);
    EXPECT_EQ(DOM_get_num_regions(), 1);
    EXPECT_EQ(DOM_get_region_name(1), nullptr);
    EXPECT_EQ(DOM_get_region(&d, 2), 0);
    EXPECT_EQ(DOM_get_region(&d, 3), 0);
    EXPECT_EQ(DOM_get_num_regions(), 1);
    EXPECT_EQ(DOM_get_region(&d, 4), 2);
    EXPECT_EQ(DOM_get_num_regions(), 2);
    EXPECT_STREQ(DOM_get_region_name(1), "First");
    EXPECT_FLOAT_EQ(d.clat, 1.0f);
    RES_put("plot_domain", "40,-100");
    EXPECT_EQ(DOM_get_region(&d, 3), 1);  // flag 3 reads plot_domain
    EXPECT_FLOAT_EQ(d.clat, 40.0f);
}

// The map and place settings are kept.
TEST_F(RegionTest, PlaceholdersWarnOnceAndFail) {
    MAP_latlon(5.0f, 10.0f, 1, 20);
    float dlat = 0, dlon = 0;
    int dot = 0, extra = 0;
    MAP_get_latlon(&dlat, &dlon, &dot, &extra);
    EXPECT_FLOAT_EQ(dlat, 5.0f);
    EXPECT_FLOAT_EQ(dlon, 10.0f);
    EXPECT_EQ(dot, 1);
    EXPECT_EQ(extra, 20);
    // Key hash h = (h*257 + c) mod 35177, then modulo the buckets (worked
    // out with python3 for these keys).
    EXPECT_EQ(TAB_hash("KDEN", 101), 55);
    EXPECT_EQ(TAB_hash("72565", 1000), 445);
    EXPECT_EQ(CTY_get_prior(), 10);
    RES_put("stat_prior", "4");
    EXPECT_EQ(CTY_get_prior(), 4);
}

// Each template prints its own debug line with the matcher's result 0; the
// texts and their order are the ones the decoder documents.
TEST_F(RegionTest, TemplateDebugMessages) {
    use_dir();
    write("sao.cty", read_file(ZEM_TEST_DATA "/geo/sao.cty"));
    const struct {
        const char* str;
        const char* debug;
    } cases[] = {
        {"size,640,480", " 0 proj,nx,ny\n"},
        {"ps,-105,40,-100,30,20,1.5,1.6", " 0 proj,plon,clat,clon,nx,ny,dx,dy\n"},
        {"ps,40,-100,30,20,1.5,1.6", " 0 proj,clat,clon,nx,ny,dx,dy\n"},
        {"ps,-105,40,-100,1.5,1.6", " 0 proj,plon,clat,clon,dx,dy\n"},
        {"ps,id:KDEN,30,20,1.5", " 0 proj,clat,clon,nx,ny,dx\n"},
        {"40,-100,30,20,1.5,1.6", " 0 clat,clon,nx,ny,dx,dy\n"},
        {"ps,40,-100,1.5,1.6", " 0 proj,clat,clon,dx,dy\n"},
        {"40,-100,30,20,1.5", " 0 clat,clon,nx,ny,dx\n"},
        {"ps,40,-100,1.5", " 0 proj,clat,clon,dx\n"},
        {"40,-100,30,20", " 0 clat,clon,nx,ny\n"},
        {"40,-100,1.5", " 0 clat,clon,dx\n"},
        {"ps,40,-100", " 0 proj,clat,clon\n"},
        {"40,-100", " 0 clat,clon\n"},
        {"ne", " 0 reg:REG\n"},
    };
    for (const auto& c : cases) {
        Domain d;
        const std::string text = capture([&] {
            MESS_set(0, 0xFFFFFFFF);
            EXPECT_GE(DOM_decode(c.str, &d), 1) << c.str;
        });
        const std::string head = "******** PARSING DOMAIN: " +
                                 std::to_string(1 + std::count(c.str, c.str + std::strlen(c.str), ',')) + " " +
                                 c.str + "\n";
        EXPECT_EQ(text.find(head), 0u) << c.str << ": " << text;
        // Exactly one template line is printed, and it is this template's.
        std::istringstream lines(text);
        std::string line, got;
        int template_lines = 0;
        while (std::getline(lines, line))
            if (line.rfind(" 0 ", 0) == 0) {
                ++template_lines;
                got = line + "\n";
            }
        EXPECT_EQ(template_lines, 1) << c.str << ": " << text;
        EXPECT_EQ(got, c.debug) << c.str;
    }
    // A location in template 8's place: ps,id:KDEN,2.0 is projection, centre
    // and spacing.
    Domain d;
    EXPECT_EQ(DOM_decode("ps,id:KDEN,2.0", &d), 1);
    EXPECT_FLOAT_EQ(d.clat, 39.86f);
    EXPECT_FLOAT_EQ(d.dy, 2.0f);
    EXPECT_EQ(d.nx, 25);
}

// The printed name of every projection code, and the codes without one.
TEST_F(RegionTest, PrintedProjectionNames) {
    const struct {
        int code;
        const char* name;
    } named[] = {{1, "pstereo"}, {2, "latlon"}, {3, "merc"},   {4, "lamb"},  {5, "ortho"},
                 {6, "gnom"},    {7, "moll"},   {8, "lambaz"}, {9, "sat"},   {20, "xy"},
                 {21, "xz"},     {22, "xlogp"}, {23, "polar"}, {24, "cat"},  {40, "skewt"},
                 {41, "stuve"},  {42, "ema"},   {50, "zoom"},  {99, "pixel"}};
    for (const auto& n : named) EXPECT_STREQ(DOM_proj_name(n.code), n.name) << n.code;
    for (int code : {43, 44, 25, 51, -9999, -1, 0, 10}) EXPECT_EQ(DOM_proj_name(code), nullptr) << code;
    // Every printed name decodes back to its code (except those the prefix
    // order sends elsewhere: "lambaz" is Lambert conformal, "polar" is polar
    // stereographic, "xz" is no name).
    for (const auto& n : named) {
        const int back = DOM_proj_str(n.name);
        if (n.code == 8) EXPECT_EQ(back, 4);
        else if (n.code == 23) EXPECT_EQ(back, 1);
        else if (n.code == 21) EXPECT_EQ(back, -1);
        else EXPECT_EQ(back, n.code) << n.name;
    }
    Domain d;
    DOM_decode("ll,10,20,73,37,5,5", &d);
    char text[128];
    DOM_sprint(&d, text, sizeof text);
    EXPECT_STREQ(text, "latlon:::::,10.000,20.000,73,37,5.0000,5.0000\n");
}

// A region file that names nothing usable: "fi:" of a missing file, and a
// region whose domain string does not decode, are refused (-1).
TEST_F(RegionTest, UnusableRegionsGiveResultTwo) {
    use_dir();
    write("zem.reg", "bad Bad 0 ps,40,nonsense\n");
    Domain d;
    EXPECT_EQ(DOM_decode("fi:absent.reg", &d), -1);
    EXPECT_EQ(d.proj, -1);
    EXPECT_EQ(FLAG_get(5), -1);
    int r = 0;
    const std::string text = capture([&] { r = DOM_decode("bad", &d); });
    EXPECT_EQ(r, -1);
    EXPECT_NE(text.find("DOM_decode: Invalid plot domain\n"), std::string::npos) << text;
    EXPECT_EQ(DOM_decode("id:KDEN", &d), -1);  // no place file here
}

// A flag word longer than usual is one word: the position behind it is
// still read.
TEST_F(RegionTest, PlaceFileLongFlagWord) {
    use_dir();
    write("sao.cty", "LONGFLAG XX XX LNGF 3abcdefghijklmnopqrstuvwxyz 12.5 34.5 100 12345 0\n"
                     "SHORT YY YY SHRT 4 -1.5 -2.5 9001 -9999\n");
    CTY_data c;
    ASSERT_EQ(CTY_get(nullptr, "LNGF", &c), 1);
    EXPECT_FLOAT_EQ(c.lat, 12.5f);
    EXPECT_FLOAT_EQ(c.lon, 34.5f);
    EXPECT_EQ(c.wmo, 12345);
    EXPECT_EQ(c.prior, 3);
    EXPECT_EQ(c.mos, ' ');
    EXPECT_EQ(c.ua, ' ');
    ASSERT_EQ(CTY_get(nullptr, "short", &c), 1);
    EXPECT_EQ(c.prior, 4);
    EXPECT_FLOAT_EQ(c.el, -9999.0f);  // above 9000
    EXPECT_EQ(c.num, 0);              // absent count
    EXPECT_EQ(CTY_get(nullptr, "12345", &c), 1);  // WMO number
    EXPECT_EQ(CTY_get(nullptr, "1234", &c), 0);
}

// All built-in regions with their published centres and spacings: polar
// stereographic, 25 by 17, plon = clon, dy = dx, whatever the case of the
// name.
TEST_F(RegionTest, EveryBuiltinRegion) {
    const struct {
        const char* name;
        float clat, clon, dx;
    } table[] = {{"us", 39.0f, -97.0f, 2.3f},  {"ne", 42.0f, -76.0f, 0.9f},  {"at", 37.0f, -82.0f, 0.9f},
                 {"se", 31.0f, -88.0f, 1.1f},  {"mw", 43.0f, -93.0f, 1.1f},  {"sp", 32.5f, -100.0f, 1.2f},
                 {"nw", 44.0f, -112.0f, 1.0f}, {"sw", 37.0f, -112.0f, 1.0f}};
    for (const auto& r : table) {
        std::string upper = r.name;
        for (char& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        for (const std::string& name : {std::string(r.name), upper}) {
            Domain d;
            ASSERT_EQ(DOM_get_def_region(name.c_str(), &d), 1) << name;
            EXPECT_EQ(d.proj, 1) << name;
            EXPECT_EQ(d.nx, 25) << name;
            EXPECT_EQ(d.ny, 17) << name;
            EXPECT_FLOAT_EQ(d.clat, r.clat) << name;
            EXPECT_FLOAT_EQ(d.clon, r.clon) << name;
            EXPECT_FLOAT_EQ(d.plon, r.clon) << name;
            EXPECT_FLOAT_EQ(d.plat, -9999.0f) << name;
            EXPECT_FLOAT_EQ(d.dx, r.dx) << name;
            EXPECT_FLOAT_EQ(d.dy, r.dx) << name;
            for (float p : d.param) EXPECT_FLOAT_EQ(p, -9999.0f) << name;
        }
    }
}

}  // namespace
