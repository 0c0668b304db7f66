// Satellite colour enhancement: bins from entries and files, count-to-colour
// tables, infrared temperature relations, half-tones and image colouring.
// Colour indices refer to tests/data/colour/enh.clr (black 0, white 1, gray
// 2, red 3, blue 7, cyan 8, cyan-blue 10).
#include "zem_test.h"

#include <cstring>

#include "colors.h"
#include "dither.h"
#include "gks_fill.h"
#include "img_tool.h"
#include "resrc.h"
#include "sat_read.h"
#include "sat_tool.h"

namespace {

const std::string kData = std::string(ZEM_TEST_DATA) + "/colour";

struct Bin {
    int cut, fill, dither, second;
};
Bin bin(int b) {
    Bin r{};
    SAT_get_bin(b, &r.cut, &r.fill, &r.dither, &r.second);
    return r;
}

class Enhance : public ::testing::Test {
protected:
    void SetUp() override {
        RES_clear();
        RES_put("file_path", kData.c_str());
        RES_put("color_table", "enh.clr");  // END first: no fill colours
        CLR_clear_table();
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
    // A w x h 8-bit image of `value`, coloured.
    static IMG_report coloured(int w, int h, unsigned char value) {
        IMG_report im;
        IMG_init(&im);
        im.width = im.bytes_line = w;
        im.height = h;
        im.depth = im.bits_pixel = 8;
        im.data = static_cast<unsigned char*>(std::malloc(std::size_t(w) * h));
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
    }
    EXPECT_STREQ(SAT_get_enhance_name(), "relabelle");  // "@label=relabelled...", 9 characters kept
}

// The shipped enhancement files against the shipped colour table.
TEST_F(Enhance, ShippedFiles) {
    RES_put("file_path", ZEM_ETC_DIR);
    RES_put("color_table", "zem.clr");
    CLR_read_table(nullptr);
    const struct {
        const char *file, *name;
        int bins;
    } cases[] = {{"vis.enh", "Visible", 16}, {"wv.enh", "Water_vap", 11}, {"ir.enh", "IR_enhanc", 20}};  // 9 characters kept
    for (const auto& c : cases) {
        RES_put("color_fill", c.file);
        zt::MessCapture cap;
        SAT_color_setup();
        EXPECT_EQ(cap.text(), std::string("Enhancement: ") + c.name + "\n");
        EXPECT_STREQ(SAT_get_enhance_name(), c.name);
        EXPECT_EQ(SAT_get_num_bins(), c.bins);
        for (int b = 0; b < c.bins; ++b) EXPECT_GE(bin(b).fill % 1000, 0) << c.file << " bin " << b;
    }
    // ir.enh (the last): 0:ramp01, 12 ramp bins, then c-30:cyan at count 174.
    EXPECT_EQ(std::vector<int>({bin(13).cut, bin(13).fill, SAT_get_color_ind(174), SAT_get_color_ind(0)}),
              std::vector<int>({174, CLR_get_ind("cyan"), CLR_get_ind("cyan"), CLR_get_ind("ramp01")}));
}

// Bad entries never crash and never make more than 256 bins; an
// enhancement file is read for at most 256 words (name + 255 entries).
TEST_F(Enhance, BadAndOversizedEntries) {
    RES_put("color_fill", "::::,%,-,c:red,99999999999:red,blue%,%5,c-:x,--,a-b-c,:,c,%%%%,5:");
    SAT_color_setup();
    EXPECT_GE(SAT_get_num_bins(), 1);
    EXPECT_LE(SAT_get_num_bins(), 256);
    std::string many;
    for (int i = 0; i < 300; ++i) many += (i ? "," : "") + std::to_string(i % 256) + ":white";
    RES_put("color_fill", many.c_str());
    SAT_color_setup();
    EXPECT_EQ(SAT_get_num_bins(), 256);
    zt::TempDir tmp;
    std::string text = "@long\n";
    for (int i = 0; i < 299; ++i) text += std::to_string(i) + ":white\n";
    zt::spit(tmp.file("long.enh"), text + std::string(10000, 'x') + "\n");
    RES_put("color_fill", tmp.file("long.enh").c_str());
    SAT_color_setup();
    EXPECT_EQ(SAT_get_num_bins(), 255);
    EXPECT_STREQ(SAT_get_enhance_name(), "long");
    CLR_read_table("256.clr");  // n0 .. n255: ranges stop at the 256th bin
    RES_put("color_fill", "n0-n255,n255-n0");
    SAT_color_setup();
    EXPECT_EQ(std::vector<int>({SAT_get_num_bins(), bin(255).fill}), std::vector<int>({256, 1255}));
    for (auto [start, entry, want] : {std::tuple{0, "n0-n5", 6}, {256, "n0-n5", 256}, {256, "3:n1", 256},
                                      {-3, "n0-n5", -3}, {-3, "n0", -3}}) {
        int n = start;
        EXPECT_EQ(SAT_decode_colors(entry, &n), 0);
        EXPECT_EQ(n, want) << entry << " from " << start;
    }
    RES_put("color_fill", "nofile.enh");
    zt::MessCapture cap;
    EXPECT_EQ(SAT_color_setup(), 0);
    EXPECT_EQ(cap.text(), "SAT_color_setup: Unable to read enhancement file: " + kData + "/nofile.enh\n");
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
    EXPECT_EQ(SAT_ir_ind(-40.0f), SAT_ir_ind_source(SAT_get_imager_source(), -40.0f));
}

// Ordered dither: level k lights exactly k cells of every n x n tile, each
// level holding the cells of the one below; the tiles repeat at negative
// coordinates too, and levels outside 0..n*n are clamped.
TEST(Dither, LevelsLightNestedCells) {
    for (int n : {3, 5}) {
        for (int k = 0; k <= n * n; ++k) {
            int lit = 0;
            for (int x = 0; x < n; ++x)
                for (int y = 0; y < n; ++y) {
                    const int on = DITHER_val(n, k, x, y);
                    lit += on;
                    EXPECT_EQ(DITHER_val(n, k, x - 2 * n, y + 3 * n), on);
                    if (k > 0 && DITHER_val(n, k - 1, x, y)) {
                        EXPECT_EQ(on, 1) << n << " level " << k;
                    }
                }
            EXPECT_EQ(lit, k) << n;
        }
        for (int x = 0; x < n; ++x)
            for (int y = 0; y < n; ++y) {
                EXPECT_EQ(DITHER_val(n, -3, x, y), 0);
                EXPECT_EQ(DITHER_val(n, 40, x, y), 1);
                EXPECT_EQ(DITHER_val(4, 5, x, y) + DITHER_val(0, 25, x, y), 0);  // no such mode
            }
    }
}

// "blue%4white": blue with white where the 3 by 3 pattern of level 4 is lit
// (4 of 9 cells, not symmetric under swapping x and y).
TEST_F(Enhance, HalfTonesColourTheImage) {
    RES_put("color_fill", "0:black,100:blue%4white");
    SAT_color_setup();
    EXPECT_EQ(std::vector<int>({SAT_get_dither_mode(), bin(1).dither, bin(1).second}), std::vector<int>({3, 4, 1}));
    IMG_report im = coloured(9, 6, 150);
    int white = 0;
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 9; ++x) {
            EXPECT_EQ(im.data[y * 9 + x], DITHER_val(3, 4, x, y) ? 1 : 7) << x << "," << y;
            white += im.data[y * 9 + x] == 1;
        }
    EXPECT_EQ(white, 4 * 6);
    IMG_free(&im);
    // The first half-tone entry fixes the mode for the run: a letter picks
    // 5 by 5 ('m' - 'a' = 12), and later digits are read as letters, clamped.
    SAT_reset_dither_mode();
    RES_put("color_fill", "0:black%mwhite,128:red%3blue");
    SAT_color_setup();
    int level = -1, second = -1;
    SAT_get_pixel_dither(10, &level, &second);
    EXPECT_EQ(std::vector<int>({SAT_get_dither_mode(), bin(0).dither, bin(1).dither, level, second}),
              std::vector<int>({5, 12, 0, 12, 1}));
    RES_put("color_fill", "0:gray%zblack,200:white");
    SAT_color_setup();
    EXPECT_EQ(std::vector<int>({SAT_get_dither_mode(), bin(0).dither}), std::vector<int>({5, 25}));
}

TEST_F(Enhance, ColouringMapsPixelsAndAttachesTheTable) {
    SAT_color_setup();  // default: value v -> colour v / 16
    IMG_report im = coloured(256, 2, 0);
    for (int i = 0; i < 512; ++i) im.data[i] = static_cast<unsigned char>(i % 256);
    SAT_color_image(&im);
    ASSERT_EQ(im.num_colors, CLR_get_num());
    for (int i = 0; i < im.num_colors; ++i) {
        float r, g, b;
        CLR_get_rgb(i, &r, &g, &b);
        EXPECT_EQ(std::vector<float>({im.colors[i].r, im.colors[i].g, im.colors[i].b}), std::vector<float>({r, g, b}));
    }
    for (int i = 0; i < 512; ++i) EXPECT_EQ(im.data[i], (i % 256) / 16) << i;
    IMG_free(&im);
    IMG_report rgb;  // other depths keep their pixels and get the table
    IMG_init(&rgb);
    rgb.depth = 24;
    rgb.width = rgb.height = rgb.bytes_line = 1;
    rgb.data = static_cast<unsigned char*>(std::malloc(1));
    rgb.data[0] = 77;
    SAT_color_image(&rgb);
    EXPECT_EQ(std::vector<int>({rgb.data[0], rgb.num_colors}), std::vector<int>({77, CLR_get_num()}));
    IMG_free(&rgb);
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
    EXPECT_GT(black, 0);
    EXPECT_LT(black, 256);
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
    EXPECT_EQ(std::vector<float>({im.colors[8].g, im.colors[15].r}), std::vector<float>({136.0f / 255.0f, 1}));
    IMG_free(&im);
}

}  // namespace
