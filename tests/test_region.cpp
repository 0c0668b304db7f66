// Domains and regions as a user writes them: domain strings (every template,
// region files, built-in regions, places), the shipped region file, the
// region menu, comparison and printing, label priorities, and garbage.
#include "zem_test.h"

#include <cstring>

#include "cty_tool.h"
#include "flag.h"
#include "maptran.h"

namespace {

// A scratch folder on the file path holding the test region and place
// files of tests/data/geo (see its README).
class RegionTest : public ::testing::Test {
protected:
    void SetUp() override {
        RES_clear();
        DOM_set_prior(3);
        DOM_set_loc_prior(4);
        RES_put("file_path", (dir_.path() + "/").c_str());
        for (const auto& f : std::filesystem::directory_iterator(ZEM_TEST_DATA "/geo"))
            std::filesystem::copy_file(f.path(), dir_.file(f.path().filename()));
    }
    void TearDown() override { RES_clear(); }
    zt::TempDir dir_;
};

// Domain strings from the case table (tests/data/region/domains.txt): the
// result, the domain as the domain printer writes it, and for a refused
// string the fault its warning names.
TEST_F(RegionTest, DomainStringsDecode) {
    for (const auto& r : zt::cases("region/domains.txt")) {
        SCOPED_TRACE(r[0].substr(0, 40));
        zt::MessCapture mess;
        Domain d;
        FLAG_set(5, 77);
        const int result = std::stoi(r.at(1));
        EXPECT_EQ(DOM_decode(r[0].c_str(), &d), result);
        if (r.at(2) == "no projection") {
            EXPECT_EQ(d.proj, -1);
        } else if (r[2] != "-") {
            zt::expect_domain(d, r[2] + "\n");
        }
        EXPECT_EQ(FLAG_get(5), result == -9999 ? 77 : result);
        const std::string want = result != -1 ? "" : r.size() > 3 ? r[3] : "Invalid plot domain";
        const std::string text = mess.text();
        if (want.empty()) EXPECT_EQ(text.find("DOM_decode:"), std::string::npos) << text;
        else EXPECT_TRUE(text.find("DOM_decode: ") != std::string::npos && text.find(want) != std::string::npos) << text;
        if (r[0] == "bad") RES_put("city_file", "none");  // the rows after this one have no places
    }
    zt::MessCapture mess;
    Domain d;
    EXPECT_EQ(DOM_decode(std::string(5000, ',').c_str(), &d), -1);
    mess.clear();
    RES_put("city_file", "absent.cty");  // a missing place file is a warning
    EXPECT_EQ(CTY_get_loc(nullptr, "KDEN", nullptr, nullptr), 0);
    EXPECT_EQ(mess.text(), "CTY_open_file: Database file not found: " + dir_.file("absent.cty") + "\n");
}

// Projection names match by case-insensitive prefix in a fixed order, so
// that "lambert" is the Lambert cone and "la" the azimuthal projection;
// "lambaz", "xp" and "miss" must be the whole name.
TEST_F(RegionTest, ProjectionNamesAndPrinting) {
    const struct { const char* name; int code; } names[] = {
                 {"LatLon", 2}, {"PSTEREO", 1}, {"polar", 1}, {"satellite", 9}, {"lambaz", 8}, {"lambert", 4},
                 {"laea", 8},   {"therm", 40},  {"vert", 22},  {"xp", 25},      {"xpx", -1},    {"MISS", -9999},
                 {"missing", -1}, {"l", -1},    {"", -1},      {"foo", -1}};
    for (const auto& n : names) EXPECT_EQ(DOM_proj_str(n.name), n.code) << n.name;
    EXPECT_EQ(DOM_proj_str(nullptr), -1);
    // A printed domain decodes back to the same domain.
    for (const char* s : {"ps:60:-105,40,-100,25,17,1.2,1.2", "sat:e:0:-75:421.6:1,0,-75,41,41,3.3,3.3",
                          "ll,10,20,73,37,5,5", "merc:0:-90,20,-90,25,17,1,1", "lamb:40:-95:25:50,38,-97,30,20,1,1",
                          "ortho:40:-100,40,-100,25,17,1,1", "mo:0:10,0,10,25,17,5,5", "la:45:-100,45,-100,25,17,1,1"}) {
        Domain a, b;
        DOM_decode(s, &a);
        const std::string text = zt::domain_text(a);
        EXPECT_TRUE(DOM_decode(text.substr(0, text.size() - 1).c_str(), &b) == 1 && DOM_comp(&a, &b) == 1) << text;
    }
}

// Unset plat and plon compare as the centre; every other field counts.
TEST_F(RegionTest, CompareAndAspect) {
    Domain a, b;
    DOM_decode("ps,40,-100,25,17,1.2,1.2", &a);
    DOM_decode("ps:40:-100,40,-100,25,17,1.2,1.2", &b);
    EXPECT_TRUE(DOM_comp(&a, &b) == 1 && DOM_comp_proj(&a, &b) == 1);
    b.nx = 26;  // the grid is not the projection
    EXPECT_TRUE(DOM_comp(&a, &b) == 0 && DOM_comp_proj(&a, &b) == 1);
    for (int field = 0; field < 3; ++field) {
        b = a;
        (field == 0 ? b.param[0] : field == 1 ? b.dy : b.plon) = 45;
        EXPECT_EQ(DOM_comp(&a, &b) + DOM_comp_proj(&a, &b), field == 1 ? 1 : 0) << field;
    }
    b = a;
    b.ellipse = 1;
    EXPECT_EQ(DOM_comp_proj(&a, &b), 0);
    b.nx = b.ny = 1;
    EXPECT_TRUE(DOM_aspect(&a) == 1.5f && DOM_aspect(&b) == 1.0f);  // 24 / 16; a single row or column
}

// The shipped region file: every entry decodes to a usable domain whose
// centre is visible, and the US sectors equal the built-in regions.
TEST_F(RegionTest, ShippedRegionFile) {
    RES_put("file_path", ZEM_ETC_DIR "/");
    std::istringstream f(zt::slurp(ZEM_ETC_DIR "/zem.reg"));
    int regions = 0, builtin = 0;
    for (std::string line; std::getline(f, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream ws(line);
        std::string abbr, desc, flag, text;
        ws >> abbr >> desc >> flag >> text;
        Domain d, direct, def;
        float x = 0, y = 0;
        ASSERT_EQ(DOM_decode(abbr.c_str(), &d), 2) << abbr;
        EXPECT_TRUE(d.proj >= 1 && d.proj <= 9 && d.nx > 1 && d.dy > 0) << abbr;
        EXPECT_TRUE(DOM_decode(text.c_str(), &direct) == 1 && DOM_comp(&d, &direct) == 1) << abbr;
        EXPECT_TRUE(MAP_domain(&d) == 0 && MAP_tran_center(&x, &y) == 1) << abbr;
        if (DOM_get_def_region(abbr.c_str(), &def)) {
            EXPECT_EQ(DOM_comp(&d, &def), 1) << abbr;
            ++builtin;
        }
        ++regions;
    }
    EXPECT_GE(regions, 20);
    EXPECT_EQ(builtin, 8);
    ASSERT_EQ(DOM_read_menu("zem.reg"), 1);
    EXPECT_STREQ(DOM_get_menu()[1].abbr, "us");
    EXPECT_STREQ(DOM_get_region_name(1), "United States");
    EXPECT_STREQ(DOM_get_region_name(0), "Return to previous menu");
}

// The menu takes flagged lines in file order (abbreviation cut to 5, name
// to 20 with blanks for underscores), at most 19; the search skips comments
// and short lines; the listing names every line.
TEST_F(RegionTest, MenuSearchAndListing) {
    Domain d;
    EXPECT_TRUE(DOM_decode("zem.reg:", &d) == 2 && DOM_get_num_regions() == 3);  // "file:" loads its menu
    const MENU_item& e = DOM_get_menu()[2];
    EXPECT_EQ(std::string(e.abbr) + "|" + e.name, "veryl|A description longer");
    EXPECT_TRUE(e.disp[0] == 2 && e.index == 2 && !DOM_get_region_name(3) && !DOM_get_region_name(25));
    std::string many;
    for (int i = 0; i < 30; ++i) many += "r" + std::to_string(i) + " R 1 40,-100\n";
    zt::spit(dir_.file("many.reg"), many);
    EXPECT_TRUE(DOM_read_menu("many.reg") == 1 && DOM_get_num_regions() == 20 && DOM_read_menu("absent.reg") == 0);
    EXPECT_STREQ(DOM_get_menu()[19].abbr, "r18");
    const struct { const char* abbr; int found; const char* out; } searches[] = {
        {nullptr, 1, "ll,10,20,5,5,1,1"}, {"HID", 1, "merc,0,0,5,5,1,1"}, {"short", 0, ""}, {"none_such", 0, ""}};
    for (const auto& s : searches) {
        char out[DOM_FIELD_SIZE] = "";
        EXPECT_EQ(DOM_search_file("zem.reg", s.abbr, out), s.found) << (s.abbr ? s.abbr : "first");
        if (s.found) { EXPECT_STREQ(out, s.out); }
    }
    zt::MessCapture mess;
    EXPECT_EQ(DOM_print_file("other.reg"), 1);
    MESS_set(0, 0xFFFFFFFF);  // the missing file is a debug message
    char out[DOM_FIELD_SIZE];
    EXPECT_EQ(DOM_search_file("absent.reg", "us", out), 0);
    EXPECT_EQ(mess.text(), " Abbr    Description\nx1       First" + std::string(45, ' ') + "\nx2       Second" +
                               std::string(44, ' ') + "\nUnable to open region file: " + dir_.file("absent.reg") + "\n");
}

// Over-long and NUL-holding region files and absurd strings (the fuzz target
// for region files tries binary ones): no crash, no overflow of the
// caller's field.
TEST_F(RegionTest, GarbageRegionFiles) {
    zt::spit(dir_.file("long.reg"), "us Long 1 " + std::string(100000, 'x') + "\n" + std::string(600, ' ') +
                                        "far Far 1 40,-100\nok Ok 1 30,-90\n");
    zt::spit(dir_.file("nul.reg"), std::string("nu\0l Nul 1 40,-100\n", 19));
    zt::MessCapture quiet;
    Domain d;
    char out[DOM_FIELD_SIZE];
    for (const char* f : {"long.reg", "nul.reg"}) {
        DOM_search_file(f, "us", out);
        DOM_read_menu(f);
        DOM_print_file(f);
        DOM_decode((std::string(f) + ":us").c_str(), &d);
        EXPECT_TRUE(std::strlen(out) < DOM_FIELD_SIZE && DOM_get_num_regions() <= 20) << f;
    }
    EXPECT_TRUE(DOM_search_file("long.reg", "us", out) == 1 && out == std::string(79, 'x'));  // fields: 79 characters
    EXPECT_EQ(DOM_search_file("long.reg", "far", out), 0);  // past 500 characters of a line
    EXPECT_TRUE(DOM_search_file("long.reg", "ok", out) == 1 && out == std::string("30,-90"));
    std::string huge = "ps";
    for (int i = 0; i < 2000; ++i) huge += ",1e30";
    EXPECT_EQ(DOM_decode(huge.c_str(), &d), -1);
}

// Place records: the flag word (priority digit with optional leading and
// trailing stars, or a long word), elevations above 9000 as missing, a
// missing count as 0, lookups by identifier, name or five-digit WMO number.
TEST_F(RegionTest, PlaceRecords) {
    const struct { const char* file; const char* id; int prior; char mos, ua; float lat, el; int wmo, num; } rows[] = {
        {nullptr, "KDEN", 2, '*', '*', 39.86f, 1656, 72565, 0},  {nullptr, "KMWN", 5, ' ', ' ', 44.27f, -9999, 74491, 0},
        {nullptr, "NORMAN", 1, '*', ' ', 35.24f, 357, 72357, 0}, {"mine.cty", "LNGF", 3, ' ', ' ', 12.5f, 100, 12345, 0},
        {"mine.cty", "short", 4, ' ', ' ', -1.5f, -9999, -9999, 0},
        {"mine.cty", "12345", 3, ' ', ' ', 12.5f, 100, 12345, 0},
    };
    for (const auto& r : rows) {
        CTY_data c;
        ASSERT_EQ(CTY_get(r.file, r.id, &c), 1) << r.id;
        EXPECT_TRUE(c.prior == r.prior && c.mos == r.mos && c.ua == r.ua && c.lat == r.lat && c.el == r.el &&
                    c.wmo == r.wmo && c.num == r.num)
            << r.id << ": " << c.prior << " '" << c.mos << c.ua << "' " << c.lat << " " << c.el << " " << c.wmo;
    }
    CTY_data c;
    EXPECT_EQ(CTY_get("mine.cty", "1234", &c), 0);
    ASSERT_EQ(CTY_get(nullptr, "KDEN", &c), 1);
    EXPECT_STREQ(c.state, "CO");
}

// "var" asks for its centre on standard input.
TEST_F(RegionTest, VariableRegionPromptsForCentre) {
    zt::spit(dir_.file("answers.txt"), "40.5\n-99.25\n");
    ASSERT_NE(std::freopen(dir_.file("answers.txt").c_str(), "r", stdin), nullptr);
    zt::MessCapture mess;
    Domain d;
    EXPECT_EQ(DOM_get_def_region("var", &d), 1);
    zt::expect_domain(d, "pstereo::-99.250:::,40.500,-99.250,25,17,1.2000,1.2000\n");
    EXPECT_EQ(mess.text(), "Enter the central latitude: Enter the central longitude: ");
    std::freopen("/dev/null", "r", stdin);
    EXPECT_EQ(DOM_get_def_region("nowhere", &d), 0);
    zt::expect_domain(d, "pstereo:::::,-9999.000,-9999.000,25,17,1.2000,1.2000\n");
}

// The label priority steps with the domain's height (ny - 1) dy; the
// resource "stat_prior" shifts (+n, -n) or replaces (n) it.
TEST_F(RegionTest, LabelPriorities) {
    const struct { const char* stat_prior; float size; int prior; } steps[] = {
                 {nullptr, 60, 1}, {nullptr, 50, 2}, {nullptr, 26, 2}, {nullptr, 25, 3}, {nullptr, 13, 3},
                 {nullptr, 12.5f, 4}, {nullptr, 7, 4}, {nullptr, 6.25f, 5}, {nullptr, 3.1f, 5}, {nullptr, 3, 6},
                 {nullptr, 0, 6}, {"+1", 50, 3}, {"-2", 1, 4}, {"x", 100, 1}, {"7", 100, 7}};
    Domain d;
    DOM_decode("ne", &d);  // 16 x 0.9 = 14.4
    EXPECT_TRUE(DOM_get_prior() == 3 && CTY_get_prior() == 10);
    for (const auto& s : steps) {
        if (s.stat_prior) RES_put("stat_prior", s.stat_prior);
        EXPECT_EQ(DOM_set_base_prior(s.size), s.prior) << s.size << " " << (s.stat_prior ? s.stat_prior : "");
    }
    DOM_set_loc_prior(8);
    EXPECT_TRUE(CTY_get_prior() == 7 && DOM_get_loc_prior() == 8);
}

// "plot_domain" wins for flags 1, 3 and 4, "region" otherwise; with
// neither, flag 4 alone falls back to the first region of the menu.
TEST_F(RegionTest, RegionFromResources) {
    zt::spit(dir_.file("zem.reg"), "# menu\nfirst First 1 ll,1,2,3,3,1,1\n");
    zt::spit(dir_.file("empty.reg"), "# nothing\n");
    Domain d;
    ASSERT_EQ(DOM_read_menu("empty.reg"), 1);
    EXPECT_TRUE(DOM_get_region(&d, 1) == 0 && DOM_get_region(&d, 3) == 0 && DOM_get_num_regions() == 1);
    EXPECT_EQ(DOM_get_region(&d, 4), 2);  // loads zem.reg: entry 1
    EXPECT_TRUE(DOM_get_num_regions() == 2 && d.clat == 1.0f);
    RES_put("region", "ne");
    RES_put("plot_domain", "40,-100");
    for (int flag : {1, 2, 3, 4}) {
        EXPECT_EQ(DOM_get_region(&d, flag), flag == 2 ? 2 : 1) << flag;
        EXPECT_FLOAT_EQ(d.clat, flag == 2 ? 42.0f : 40.0f) << flag;
    }
}

}  // namespace
