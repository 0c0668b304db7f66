// Colour table, colour names and attribute strings, and the satellite
// colour enhancement: bins from entries and files, count-to-colour tables,
// infrared temperature relations, half-tones and image colouring. The
// colour files are in tests/data/colour (make_colour.py writes the ones that
// break limits); the shipped table is compared with Debian's X11 rgb.txt.
#include "zem_test.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <set>

#include "colors.h"
#include "dither.h"
#include "gks_fill.h"
#include "sat_tool.h"
#include "tools.h"

// Records are built with designated initializers naming only the layout
// fields; the rest are zero.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace {

using Ints = std::vector<std::int64_t>;  // for comparing several fields at once
using Floats = std::vector<float>;

const std::string kData = std::string(ZEM_TEST_DATA) + "/colour";

std::vector<float> rgb(int ind) {
    std::vector<float> c(3);
    CLR_get_rgb(ind, &c[0], &c[1], &c[2]);
    return c;
}

class ColourTable : public ::testing::Test {
protected:
    void SetUp() override {
        RES_clear();
        RES_put("file_path", kData.c_str());
        CLR_clear_table();
    }
};

// Tables loaded through the resource "color_table" (which also sets the
// fill count: the entries before the first END) and then, if given, an
// argument list; the size, the fill count (-1: not checked) and where names
// landed (-1: not in the table).
TEST_F(ColourTable, FilesFillTheTable) {
    const struct {
        const char *resource, *arg;
        int num, fill;
        std::vector<std::pair<const char*, int>> names;
    } cases[] = {
        {"basic.clr", nullptr, 3, 2, {{"white", 0}, {"black", 1}, {"red", 2}}},
        // The second file follows the first; its END does not count.
        {"basic.clr,second.clr", nullptr, 5, 2, {{"blue", 3}, {"YELLOW", 4}}},
        {"fill4.clr", "basic.clr", 3, 4, {{"red", 2}}},  // an argument leaves the fill count
        // Entry numbers move the counter; the size is 1 + the highest
        // counter seen at the start of a line (7, before "2 two").
        {nullptr, "numbered.clr", 8, -1, {{"five", 5}, {"six", 6}, {"two", 2}}},
        // Missing files are skipped: the first that opens starts at 0.
        {nullptr, "does-not-exist.clr,second.clr", 2, -1, {{"blue", 0}, {"yellow", 1}}},
        // An entry number too large for any integer is ignored, not wrapped
        // onto "red"; the next line lands where the counter was.
        {nullptr, "basic.clr,huge.clr", 4, -1, {{"red", 2}, {"big", -1}, {"after", 3}, {"99999999999999999999", -1}}},
        {nullptr, "long.clr", 2, -1, {{"qqqqqqqqqqqqqqqqqqq", 0}, {"after", 1}}},  // names cut at 19
        {nullptr, "300.clr", 256, -1, {{"n255", 255}, {"n299", -1}, {"#abcdef", -1}}},
    };
    for (const auto& c : cases) {
        CLR_clear_table();
        RES_put("color_table", c.resource ? c.resource : "");
        if (c.resource) CLR_read_table(nullptr);
        if (c.arg) CLR_read_table(c.arg);
        EXPECT_EQ(CLR_get_num(), c.num) << (c.arg ? c.arg : c.resource);
        EXPECT_TRUE(c.fill < 0 || CLR_get_num_fill() == c.fill) << (c.arg ? c.arg : c.resource);
        for (auto [name, ind] : c.names) EXPECT_EQ(CLR_get_ind(name), ind) << name;
    }
    // basic.clr's red, huge.clr's "after 0 0 1"; numbered.clr's "six #060606" and "five 0.5 0.5 0.5".
    CLR_read_table("basic.clr,huge.clr,numbered.clr");
    EXPECT_EQ(Floats({rgb(2)[0], rgb(2)[1], rgb(3)[2], rgb(4 + 6)[0], rgb(4 + 5)[1]}),
              Floats({1, 0, 1, 6.0f / 255.0f, 0.5f}));
    // Full: an addition is refused instead of written past the end.
    CLR_read_table("300.clr");
    EXPECT_EQ(CLR_add("extra", 1, 1, 1), -1);
    // Entries past 256 or negative are ignored; "255 last" is stored but the
    // size covers only the counters seen at line starts (0). A following
    // file then starts at entry 1 and overwrites 255.
    CLR_read_table("bignum.clr");
    EXPECT_EQ(CLR_get_num(), 1);
    EXPECT_EQ(Ints({CLR_get_ind("n0"), CLR_get_ind("big"), CLR_get_ind("neg")}), Ints({0, -1, -1}));
    CLR_read_table("bignum2.clr,300.clr");
    EXPECT_STREQ(CLR_get_name(255), "n254");
    CLR_read_table("garbage.clr");
    EXPECT_GE(CLR_get_num(), 1);
    for (int i = 0; i < CLR_get_num(); ++i) EXPECT_LT(std::strlen(CLR_get_name(i)), 20u);
}

// The shipped table: the fill ramp, then X11 names with rgb.txt's values.
TEST_F(ColourTable, ShippedTableMatchesRgbTxt) {
    RES_put("file_path", ZEM_ETC_DIR);
    RES_put("color_table", "zem.clr");
    CLR_read_table(nullptr);
    EXPECT_EQ(CLR_get_num_fill(), 16);
    EXPECT_GT(CLR_get_num(), 150);
    std::istringstream in(zt::slurp("/usr/share/X11/rgb.txt"));
    std::map<std::string, std::vector<float>> x11;
    for (std::string line; std::getline(in, line);) {
        std::istringstream ls(line);
        int r, g, b;
        std::string name, extra;
        if (ls >> r >> g >> b >> name && !(ls >> extra)) x11[name] = {r / 255.0f, g / 255.0f, b / 255.0f};
    }
    if (x11.empty()) GTEST_SKIP() << "rgb.txt not found: /usr/share/X11/rgb.txt";
    for (const char* name : {"red", "black", "white", "SteelBlue", "gray50", "DarkOliveGreen", "tan"}) {
        const int ind = CLR_get_ind(name);
        ASSERT_GE(ind, 16) << name;
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(rgb(ind)[std::size_t(k)], x11[name][std::size_t(k)], 1e-6) << name;
    }
    EXPECT_EQ(CLR_get_ind("steelblue"), CLR_get_ind("SteelBlue"));
}

// Special names, numbers, and "#rrggbb" / "#rrrgggbbb" triplets, added once.
TEST_F(ColourTable, NamesNumbersAndTriplets) {
    CLR_read_table("basic.clr");
    const std::pair<const char*, int> cases[] = {
        {"", -1},      {"none", -1}, {"OFF", -1}, {"back", -1}, {"End", -2},     {"pblk", 500},
        {"pwht", 503}, {"PTGRY", 508}, {"no-such-colour", -1}, {"12", 12}, {"#00ff00", 3}, {"#00ff00", 3},
        {"#255128000", 4}, {"#zzzzzz", -1}, {"#12345", -1},
    };
    for (auto [name, ind] : cases) EXPECT_EQ(CLR_get_ind(name), ind) << name;
    EXPECT_EQ(CLR_get_ind(nullptr), -1);
    EXPECT_EQ(CLR_get_num(), 5);
    EXPECT_EQ(rgb(3), Floats({0, 1, 0}));
    EXPECT_EQ(rgb(4), Floats({1, 128.0f / 255.0f, 0}));
    EXPECT_STREQ(CLR_get_name(4), "#255128000");
    EXPECT_STREQ(CLR_get_name(99), "#255128000");  // past the end: the last entry
    EXPECT_STREQ(CLR_get_name(-5), "white");        // before the start: the first
}

// Attribute strings over enh.clr (black 0, white 1, red 3, blue 7): the
// fields they set, others left unset (-9999).
TEST_F(ColourTable, AttributeStrings) {
    CLR_read_table("enh.clr");
    const int M = kMissing, F = kMissing;
    const struct {
        const char* text;
        int color;
        float width, height, expan;
        int style, fill, font;
    } cases[] = {
        {"red:wi=2:st=dsh", 3, 2, F, F, 2, M, M},
        {"co=#ff8000:fi=hat", 11, F, F, F, M, 9, M},  // the triplet is added as entry 11
        {":wi=3:st=lsdsh", M, 3, F, F, 3, M, M},
        {"blue:w2:s5:fM", 7, 2, F, F, 5, M, M},
        // The first field holds "=": every field is a keyword; later wins.
        {"sc=1.5:te=0.8:fp=3%:st=llsdsh:t2:h2.5:e1.25:f7:x=1", M, F, 2.5f, 1.25f, 4, 7, 2},
        {"hi=4:te=0.5:fi=//:st=dot", M, F, 4, 0.5f, 5, 7, M},
        {"wi=abc:st=:fi=junk", M, 0, F, F, 0, 0, M},  // text that does not read gives 0
        {"nosuchcolour:zz=3", -1, F, F, F, M, M, M},
        {"", M, F, F, F, M, M, M},
    };
    for (const auto& c : cases) {
        Gattribs a;
        ATTRIB_init(&a);
        EXPECT_EQ(ATTRIB_parse(c.text, &a), 0);
        EXPECT_EQ(Floats({float(a.color), a.width, a.height, a.expan, float(a.style), float(a.fill_pat),
                                      float(a.font)}),
                  Floats({float(c.color), c.width, c.height, c.expan, float(c.style), float(c.fill),
                                      float(c.font)}))
            << c.text;
    }
    EXPECT_EQ(ATTRIB_parse("red", nullptr), -1);
    // Update copies the set fields only; get parses the default, then the resource.
    Gattribs a, src;
    ATTRIB_init(&a);
    ATTRIB_init(&src);
    src.width = 4;
    a.color = 1;
    ATTRIB_update(&a, &src);
    EXPECT_EQ(Floats({float(a.color), a.width, float(a.style)}), Floats({1, 4, float(M)}));
    RES_put("color_map", "green:st=dot");
    EXPECT_EQ(ATTRIB_get("color_map", "red:wi=3", &a), 1);
    EXPECT_EQ(Floats({float(a.color), a.width, float(a.style)}), Floats({6, 3, 5}));
}

// ---- Satellite colour enhancement ------------------------------------------------

struct Bin {
    int cut, fill, dither, second;
};
Bin bin(int b) {
    Bin r{};
    SAT_get_bin(b, &r.cut, &r.fill, &r.dither, &r.second);
    return r;
}

// Colour indices below refer to enh.clr (black 0, white 1, gray 2, red 3,
// blue 7, cyan 8, cyan-blue 10).
class Enhance : public ColourTable {
protected:
    void SetUp() override {
        ColourTable::SetUp();
        RES_put("color_table", "enh.clr");  // END first: no fill colours
        CLR_read_table(nullptr);
        SAT_reset_dither_mode();
        set_fill(0);
    }
    static void set_fill(int fill) {
        SAT_params p;
        SAT_get_params(&p);
        p.fill = fill;
        SAT_set_params(&p);
    }
    // A w x h image of `value` (one byte a pixel), coloured.
    static IMG_report coloured(int w, int h, unsigned char value, int depth = 8) {
        IMG_report im{.width = w, .height = h, .depth = depth, .bytes_line = w,
                      .data = static_cast<unsigned char*>(std::malloc(std::size_t(w) * h))};
        std::memset(im.data, value, std::size_t(w) * h);
        SAT_color_image(&im);
        return im;
    }
};

// Bins from "color_fill" (nullptr: the default 16 or the table's fill
// colours): their break values and colours (+1000: interpolating), and the
// colour of some pixel values. Unset breaks are spread evenly: k*256/n.
TEST_F(Enhance, BinsFromEntries) {
    const struct {
        const char *fill, *table;
        std::vector<int> cuts, fills;
        std::vector<std::pair<int, int>> colour_of;
    } cases[] = {
        {nullptr, "enh.clr", {0, 16, 32, 48, 64, 80, 96, 112, 128, 144, 160, 176, 192, 208, 224, 240, 256},
         {1000, 1001, 1002, 1003, 1004, 1005, 1006, 1007, 1008, 1009, 1010, 1011, 1012, 1013, 1014, 1015},
         {{0, 0}, {15, 0}, {16, 1}, {100, 6}, {255, 15}}},
        // fill4.clr has four fill colours: one bin each, plus a default bin.
        {nullptr, "fill4.clr", {0, 51, 102, 153, 204, 256}, {0, 1, 2, 3, 1004}, {{50, 0}, {51, 1}, {255, 4}}},
        // AREA counts of -30 C and -60 C: 174 and 205.
        {"0:black,c-30:gray,c-60:red", "enh.clr", {0, 174, 205, 256}, {0, 2, 3}, {{173, 0}, {174, 2}, {204, 2}, {205, 3}}},
        {"red-blue", "enh.clr", {0, 51, 102, 153, 204, 256}, {1003, 1004, 1005, 1006, 1007}, {{101, 4}, {102, 5}}},
        {"blue-red,200:white", "enh.clr", {0, 40, 80, 120, 160, 200, 256}, {1007, 1006, 1005, 1004, 1003, 1},
         {{39, 7}, {255, 1}}},
        {"cyan-blue", "enh.clr", {0, 256}, {10}, {{255, 10}}},  // a name starting "c" is never a range
        {"0:nosuch,128:white", "enh.clr", {0, 128, 256}, {-1, 1}, {{0, 255}, {200, 1}}},  // -1 stored as a byte
        {"0:300,128:1003", "enh.clr", {0, 128, 256}, {-1, -1}, {{0, 255}, {200, 255}}},  // past the table: refused
        // test.enh: name, comments, 0:black, a relabel, 100:gray, c-60:red.
        {"test.enh", "enh.clr", {0, 100, 205, 256}, {0, 2, 3}, {{99, 0}, {100, 2}, {255, 3}}},
    };
    for (const auto& c : cases) {
        RES_clear();
        RES_put("file_path", kData.c_str());
        RES_put("color_table", c.table);
        CLR_clear_table();
        CLR_read_table(nullptr);
        if (c.fill) RES_put("color_fill", c.fill);
        SAT_color_setup();
        const std::string what = c.fill ? c.fill : c.table;
        ASSERT_EQ(SAT_get_num_bins(), int(c.fills.size())) << what;
        for (std::size_t b = 0; b < c.fills.size(); ++b) EXPECT_EQ(bin(int(b)).fill, c.fills[b]) << what << " bin " << b;
        for (std::size_t b = 0; b < c.cuts.size(); ++b) EXPECT_EQ(bin(int(b)).cut, c.cuts[b]) << what << " bin " << b;
        for (auto [v, colour] : c.colour_of) EXPECT_EQ(SAT_get_color_ind(v), colour) << what << " value " << v;
        EXPECT_EQ(Ints({SAT_get_color_bin(0), SAT_get_color_bin(255)}), Ints({0, int(c.fills.size()) - 1})) << what;
    }
    EXPECT_STREQ(SAT_get_enhance_name(), "relabelle");  // "@label=relabelled...", 9 characters kept
}

// The shipped enhancement files against the shipped colour table. A
// visible image and warm infrared surfaces (counts up to that of -30 C) get
// a fine grey ramp, greys that never darken with the count.
TEST_F(Enhance, ShippedFiles) {
    RES_put("file_path", ZEM_ETC_DIR);
    RES_put("color_table", "zem.clr");
    CLR_read_table(nullptr);
    const int warm = SAT_ir_ind_source(kFormatArea, -30.0f) - 1;
    const struct {
        const char *file, *name;
        int bins, grey_to, greys;
    } cases[] = {{"vis.enh", "Visible", 64, 255, 64}, {"wv.enh", "Water_vap", 11, -1, 0},
                 {"ir.enh", "IR_enhanc", 56, warm, 45}};  // 9 characters of the name kept
    for (const auto& c : cases) {
        RES_put("color_fill", c.file);
        zt::MessCapture cap;
        SAT_color_setup();
        EXPECT_EQ(cap.text() + std::to_string(SAT_get_num_bins()), "Enhancement: " + std::string(c.name) + "\n" +
                                                                    std::to_string(c.bins));
        for (int b = 0; b < c.bins; ++b) EXPECT_GE(bin(b).fill % 1000, 0) << c.file << " bin " << b;
        std::set<int> greys;
        float last = -1.0f, r = 0, g = 0, b = 0;
        for (int v = 0; v <= c.grey_to; last = g, ++v) {
            ASSERT_EQ(CLR_get_rgb(SAT_get_color_ind(v), &r, &g, &b), 0) << v;
            EXPECT_TRUE(r == g && g == b && g >= last) << c.file << " count " << v << ": " << r << " " << g << " " << b;
            greys.insert(static_cast<int>(g * 255.0f + 0.5f));
        }
        EXPECT_GE(static_cast<int>(greys.size()), c.greys) << c.file;
    }
    // ir.enh (the last): 0:level04, 48 level bins, then c-30:cyan at count 174.
    EXPECT_EQ(Ints({bin(49).cut, bin(49).fill, SAT_get_color_ind(174), SAT_get_color_ind(0)}),
              Ints({174, CLR_get_ind("cyan"), CLR_get_ind("cyan"), CLR_get_ind("level04")}));
}

// Bad entries never crash and never make more than 256 bins; an
// enhancement file is read for at most 256 words (name + 255 entries).
TEST_F(Enhance, BadAndOversizedEntries) {
    RES_put("color_fill", "::::,%,-,c:red,99999999999:red,blue%,%5,c-:x,--,a-b-c,:,c,%%%%,5:");
    SAT_color_setup();
    EXPECT_TRUE(SAT_get_num_bins() >= 1 && SAT_get_num_bins() <= 256) << SAT_get_num_bins();
    std::string many;
    for (int i = 0; i < 300; ++i) many += (i ? "," : "") + std::to_string(i % 256) + ":white";
    RES_put("color_fill", many.c_str());
    SAT_color_setup();
    EXPECT_EQ(SAT_get_num_bins(), 256);
    RES_put("color_fill", "long.enh");
    SAT_color_setup();
    EXPECT_EQ(std::string(SAT_get_enhance_name()) + " " + std::to_string(SAT_get_num_bins()), "long 255");
    CLR_read_table("256.clr");  // n0 .. n255: ranges stop at the 256th bin
    RES_put("color_fill", "n0-n255,n255-n0");
    SAT_color_setup();
    EXPECT_EQ(Ints({SAT_get_num_bins(), bin(255).fill}), Ints({256, 1255}));
    for (auto [start, entry, want] : {std::tuple{0, "n0-n5", 6}, {256, "n0-n5", 256}, {256, "3:n1", 256},
                                      {-3, "n0-n5", -3}, {-3, "n0", -3}}) {
        int n = start;
        EXPECT_EQ(SAT_decode_colors(entry, &n), 0);
        EXPECT_EQ(n, want) << entry << " from " << start;
    }
    RES_put("color_fill", "nofile.enh");
    zt::MessCapture cap;
    EXPECT_EQ(SAT_color_setup(), 0);
    EXPECT_EQ(cap.text(), "SAT_color_setup: Unable to read enhancement file: " + kData + "/nofile.enh (using the default colours)\n");
}

// AREA/GINI: T < -30: v = int(145 - T), else int(-2T) + 114. Unisys
// values computed with python3 from 255 - int((50789.3/(exp(1344.3/(T +
// 273.15)) - 1) + 15.68)/4) and its inverse; counts from 252 up have none.
TEST(Infrared, TemperatureRelations) {
    const std::tuple<int, float, int> fwd[] = {
        {51, -30, 174}, {51, -31, 176}, {51, 0, 114},   {51, 20, 74},   {51, -29.5f, 173}, {51, -30.5f, 175},
        {53, 25.3f, 64}, {53, 50, 14},  {53, -110, 255}, {55, -30, 201}, {55, 0, 158},     {55, 20, 121},
        {55, -60, 228},  {55, -90, 243}, {55, 40, 76},   {50, -30, 0}};
    for (auto [src, t, v] : fwd) EXPECT_EQ(SAT_ir_ind_source(src, t), v) << src << " " << t;
    const std::tuple<int, int, float> inv[] = {
        {51, 175, -30.5f}, {51, 176, -31}, {53, 114, 0},      {53, 0, 57},          {53, 255, -110},
        {55, 0, 67.78708f}, {55, 100, 29.40457f}, {55, 200, -29.60717f}, {55, 250, -129.71624f}, {55, 255, -9999},
        {60, 100, 0}};
    for (auto [src, v, t] : inv) EXPECT_NEAR(SAT_ind_ir_source(src, v), t, 1e-3) << src << " " << v;
}

// Ordered dither: level k lights exactly k cells of every n x n tile (levels
// outside 0..n*n clamped), each level holding the cells of the one below;
// the tiles repeat at negative coordinates too. Other modes light nothing.
TEST(Dither, LevelsLightNestedCells) {
    for (int n : {3, 5})
        for (int k = -1; k <= n * n + 1; ++k) {
            int lit = 0;
            for (int x = 0; x < n; ++x)
                for (int y = 0; y < n; ++y) {
                    const int on = DITHER_val(n, k, x, y);
                    lit += on;
                    EXPECT_EQ(DITHER_val(n, k, x - 2 * n, y + 3 * n), on);
                    EXPECT_TRUE(on || !DITHER_val(n, k - 1, x, y)) << n << " level " << k;
                    EXPECT_EQ(DITHER_val(4, k, x, y) + DITHER_val(0, k, x, y), 0);
                }
            EXPECT_EQ(lit, std::clamp(k, 0, n * n)) << n << " level " << k;
        }
}

// "blue%4white": blue with white where the 3 by 3 pattern of level 4 is lit
// (4 of 9 cells, not symmetric under swapping x and y).
TEST_F(Enhance, HalfTonesColourTheImage) {
    RES_put("color_fill", "0:black,100:blue%4white");
    SAT_color_setup();
    EXPECT_EQ(Ints({SAT_get_dither_mode(), bin(1).dither, bin(1).second}), Ints({3, 4, 1}));
    IMG_report im = coloured(9, 6, 150);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 9; ++x) EXPECT_EQ(im.data[y * 9 + x], DITHER_val(3, 4, x, y) ? 1 : 7) << x << "," << y;
    IMG_free(&im);
    // The first half-tone entry fixes the mode for the run: a letter picks
    // 5 by 5 ('m' - 'a' = 12), and later digits are read as letters, clamped.
    SAT_reset_dither_mode();
    RES_put("color_fill", "0:black%mwhite,128:red%3blue");
    SAT_color_setup();
    int level = -1, second = -1;
    SAT_get_pixel_dither(10, &level, &second);
    EXPECT_EQ(Ints({SAT_get_dither_mode(), bin(0).dither, bin(1).dither, level, second}), Ints({5, 12, 0, 12, 1}));
    RES_put("color_fill", "0:gray%zblack,200:white");
    SAT_color_setup();
    EXPECT_EQ(Ints({SAT_get_dither_mode(), bin(0).dither}), Ints({5, 25}));
}

TEST_F(Enhance, ColouringMapsPixelsAndAttachesTheTable) {
    SAT_color_setup();  // default: value v -> colour v / 16
    IMG_report im = coloured(256, 2, 0);
    for (int i = 0; i < 512; ++i) im.data[i] = static_cast<unsigned char>(i % 256);
    SAT_color_image(&im);
    ASSERT_EQ(im.num_colors, CLR_get_num());
    EXPECT_EQ(Floats({im.colors[3].r, im.colors[3].g, im.colors[7].b}), Floats({rgb(3)[0], rgb(3)[1], rgb(7)[2]}));
    for (int i = 0; i < 512; ++i) EXPECT_EQ(im.data[i], (i % 256) / 16) << i;
    IMG_free(&im);
    im = coloured(1, 1, 77, 24);  // other depths keep their pixels and get the table
    EXPECT_EQ(Ints({im.data[0], im.num_colors}), Ints({77, CLR_get_num()}));
    IMG_free(&im);
    // With a fill pattern, pixels outside it become "black".
    RES_put("color_fill", "0:white,255:white");
    SAT_color_setup();
    set_fill(9);
    im = coloured(16, 16, 40);
    int black = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            EXPECT_EQ(im.data[y * 16 + x], gfill_test(9, x, y) ? 1 : 0);
            black += im.data[y * 16 + x] == 0;
        }
    EXPECT_TRUE(black > 0 && black < 256) << black;
    IMG_free(&im);
    EXPECT_EQ(SAT_color_bar(0), -1);  // without a plot there is no room for a bar
}

// No colour file found: a 16-step grey ramp (entry i = i*17/255), with one
// warning, and a coloured image carries it as its colour map.
TEST_F(Enhance, EmptyColourTableGetsGreyRamp) {
    CLR_clear_table();
    zt::MessCapture cap;
    SAT_color_setup();
    SAT_color_setup();  // the table is no longer empty: no second warning
    EXPECT_EQ(cap.text(), "SAT_color_setup: no colour table loaded, using a grey ramp\n");
    ASSERT_EQ(CLR_get_num(), 16);
    EXPECT_STREQ(CLR_get_name(15), "ramp15");
    IMG_report im = coloured(2, 1, 255);
    ASSERT_EQ(im.num_colors, 16);
    EXPECT_EQ(im.data[0], 15);
    EXPECT_EQ(Floats({im.colors[8].g, im.colors[15].r}), Floats({136.0f / 255.0f, 1}));
    IMG_free(&im);
}

}  // namespace
