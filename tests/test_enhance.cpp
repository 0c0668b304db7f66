// Satellite colour enhancement: bins from entries and files, count to
// colour tables, infrared temperature relations, half-tones, colouring.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "colors.h"
#include "dither.h"
#include "gks_fill.h"
#include "mess.h"
#include "resrc.h"
#include "sat_read.h"
#include "sat_tool.h"

namespace {

const std::string kData = std::string(ZEM_TEST_DATA) + "/colour";

std::string temp_path(const std::string& name) { return ::testing::TempDir() + "enh_" + name; }

std::string slurp(const std::string& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

struct Bin {
    int cut, fill, dither, second;
};

Bin bin(int b) {
    Bin r{};
    SAT_get_bin(b, &r.cut, &r.fill, &r.dither, &r.second);
    return r;
}

// The threshold matrices as documented for the half-tones, indexed
// [x mod n][y mod n]; kept here apart from the module's own copy.
const int kM3[3][3] = {{3, 7, 5}, {8, 1, 9}, {4, 6, 2}};
const int kM5[5][5] = {
    {2, 17, 7, 21, 12}, {20, 10, 14, 4, 24}, {11, 25, 1, 16, 6}, {15, 5, 22, 9, 19}, {13, 18, 3, 23, 8}};

class Enhance : public ::testing::Test {
protected:
    void SetUp() override {
        RES_clear();
        RES_put("file_path", kData.c_str());
        // enh.clr starts with END: loaded as "color_table" the fill count is 0.
        RES_put("color_table", "enh.clr");
        CLR_clear_table();
        CLR_read_table(nullptr);
        ASSERT_EQ(CLR_get_num_fill(), 0);
        SAT_reset_dither_mode();
        SAT_params p;
        SAT_get_params(&p);
        p.fill = 0;
        SAT_set_params(&p);
    }
    static int ind(const char* name) { return CLR_get_ind(name); }
};

TEST_F(Enhance, DefaultSixteenInterpolatingBins) {
    SAT_color_setup();
    EXPECT_EQ(SAT_get_num_bins(), 16);
    for (int b = 0; b < 16; ++b) {
        EXPECT_EQ(bin(b).cut, 16 * b) << b;
        EXPECT_EQ(bin(b).fill, 1000 + b) << b;
    }
    EXPECT_EQ(bin(16).cut, 256);
    for (int v = 0; v < 256; ++v) {
        EXPECT_EQ(SAT_get_color_ind(v), v / 16) << v;
        EXPECT_EQ(SAT_get_color_bin(v), v / 16) << v;
    }
}

// Fill colours of the table: bins 0..N-1 take colours 0..N-1, plus one
// default bin; breaks spread over N+1 bins.
TEST_F(Enhance, FillColoursOfTheTable) {
    RES_put("color_table", "fill4.clr");
    CLR_read_table(nullptr);
    ASSERT_EQ(CLR_get_num_fill(), 4);
    SAT_color_setup();
    EXPECT_EQ(SAT_get_num_bins(), 5);
    const int cuts[] = {0, 51, 102, 153, 204, 256};  // k*256/5
    const int fills[] = {0, 1, 2, 3, 1004};
    for (int b = 0; b < 5; ++b) {
        EXPECT_EQ(bin(b).cut, cuts[b]);
        EXPECT_EQ(bin(b).fill, fills[b]);
    }
    EXPECT_EQ(SAT_get_color_ind(50), 0);
    EXPECT_EQ(SAT_get_color_ind(51), 1);
    EXPECT_EQ(SAT_get_color_ind(255), 4);
}

// Breaks at temperatures for an AREA image: -30 C -> 174, -60 C -> 205.
TEST_F(Enhance, TemperatureBreaks) {
    if (SAT_get_imager_source() != 51) GTEST_SKIP() << "imager source is not AREA";
    RES_put("color_fill", "0:black,c-30:gray,c-60:red");
    SAT_color_setup();
    ASSERT_EQ(SAT_get_num_bins(), 3);
    EXPECT_EQ(bin(0).cut, 0);
    EXPECT_EQ(bin(1).cut, 174);
    EXPECT_EQ(bin(2).cut, 205);
    EXPECT_EQ(bin(1).fill, ind("gray"));
    EXPECT_EQ(SAT_get_color_ind(173), ind("black"));
    EXPECT_EQ(SAT_get_color_ind(174), ind("gray"));
    EXPECT_EQ(SAT_get_color_ind(204), ind("gray"));
    EXPECT_EQ(SAT_get_color_ind(205), ind("red"));
    EXPECT_EQ(SAT_get_color_bin(255), 2);
}

// red (3) to blue (7): five interpolating bins, breaks k*256/5.
TEST_F(Enhance, ColourRanges) {
    RES_put("color_fill", "red-blue");
    SAT_color_setup();
    ASSERT_EQ(SAT_get_num_bins(), 5);
    const int cuts[] = {0, 51, 102, 153, 204};
    for (int b = 0; b < 5; ++b) {
        EXPECT_EQ(bin(b).fill, 1003 + b);
        EXPECT_EQ(bin(b).cut, cuts[b]);
    }
    EXPECT_EQ(SAT_get_color_ind(101), 4);
    EXPECT_EQ(SAT_get_color_ind(102), 5);

    RES_put("color_fill", "blue-red,200:white");
    SAT_color_setup();
    ASSERT_EQ(SAT_get_num_bins(), 6);
    for (int b = 0; b < 5; ++b) EXPECT_EQ(bin(b).fill, 1007 - b);
    // Five unset breaks between 0 and 200: (k)*(200-0)/5.
    EXPECT_EQ(bin(1).cut, 40);
    EXPECT_EQ(bin(4).cut, 160);
    EXPECT_EQ(bin(5).cut, 200);
    EXPECT_EQ(bin(5).fill, ind("white"));
}

// A name beginning with "c" is never a range.
TEST_F(Enhance, CyanBlueIsOneName) {
    RES_put("color_fill", "cyan-blue");
    SAT_color_setup();
    ASSERT_EQ(SAT_get_num_bins(), 1);
    EXPECT_EQ(bin(0).fill, ind("cyan-blue"));
    EXPECT_EQ(bin(0).fill, 10);
    EXPECT_EQ(SAT_get_color_ind(255), 10);
}

TEST_F(Enhance, UnknownNamesGiveNoColour) {
    RES_put("color_fill", "0:nosuch,128:white");
    SAT_color_setup();
    EXPECT_EQ(bin(0).fill, -1);
    EXPECT_EQ(SAT_get_color_ind(0), 255);  // -1 stored as a byte
    EXPECT_EQ(SAT_get_color_ind(200), ind("white"));
}

TEST_F(Enhance, EnhancementFile) {
    RES_put("color_fill", "test.enh");
    std::string log = temp_path("file.log");
    ASSERT_EQ(MESS_file(log.c_str(), "w"), 0);
    SAT_color_setup();
    MESS_file_close();
    // "@label=relabelled..." renames; names keep 9 characters.
    EXPECT_STREQ(SAT_get_enhance_name(), "relabelle");
    EXPECT_NE(slurp(log).find("Enhancement: relabelle\n"), std::string::npos) << slurp(log);
    ASSERT_EQ(SAT_get_num_bins(), 3);
    EXPECT_EQ(bin(0).cut, 0);
    EXPECT_EQ(bin(1).cut, 100);
    EXPECT_EQ(bin(1).fill, ind("gray"));
    EXPECT_EQ(bin(2).cut, 205);
    EXPECT_EQ(bin(2).fill, ind("red"));
}

TEST_F(Enhance, MissingEnhancementFileWarns) {
    RES_put("color_fill", "nofile.enh");
    std::string log = temp_path("missing.log");
    ASSERT_EQ(MESS_file(log.c_str(), "w"), 0);
    EXPECT_EQ(SAT_color_setup(), 0);
    MESS_file_close();
    EXPECT_EQ(slurp(log), "SAT_color_setup: Unable to read enhancement file: " + kData + "/nofile.enh (using the default colours)\n");
}

// The shipped enhancement files load against the shipped colour table.
TEST_F(Enhance, ShippedFiles) {
    if (SAT_get_imager_source() != 51) GTEST_SKIP() << "imager source is not AREA";
    RES_put("file_path", ZEM_ETC_DIR);
    RES_put("color_table", "zem.clr");
    CLR_read_table(nullptr);
    struct Case {
        const char* file;
        const char* name;
        int bins;
    } cases[] = {{"vis.enh", "Visible", 64}, {"ir.enh", "IR_enhanced", 56}, {"wv.enh", "Water_vapour", 11}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        RES_put("color_fill", c.file);
        SAT_color_setup();
        EXPECT_STREQ(SAT_get_enhance_name(), std::string(c.name).substr(0, 9).c_str());
        EXPECT_EQ(SAT_get_num_bins(), c.bins);
        for (int b = 0; b < SAT_get_num_bins(); ++b) EXPECT_GE(bin(b).fill % 1000, 0) << "bin " << b;
    }
    // ir.enh: 0:level04, 48 level bins, then c-30:cyan at count 174.
    RES_put("color_fill", "ir.enh");
    SAT_color_setup();
    EXPECT_EQ(bin(49).cut, 174);
    EXPECT_EQ(bin(49).fill, CLR_get_ind("cyan"));
    EXPECT_EQ(SAT_get_color_ind(174), CLR_get_ind("cyan"));
    EXPECT_EQ(SAT_get_color_ind(255), CLR_get_ind("white"));
    EXPECT_EQ(SAT_get_color_ind(0), CLR_get_ind("level04"));
}

// Bad entries never crash and never make more than 256 bins.
TEST_F(Enhance, BadEntries) {
    RES_put("color_fill", "::::,%,-,c:red,99999999999:red,blue%,%5,c-:x,--,a-b-c,:,c,%%%%,5:");
    SAT_color_setup();
    EXPECT_GE(SAT_get_num_bins(), 1);
    EXPECT_LE(SAT_get_num_bins(), 256);

    std::string many;
    for (int i = 0; i < 300; ++i) many += (i ? "," : "") + std::to_string(i % 256) + ":white";
    RES_put("color_fill", many.c_str());
    SAT_color_setup();
    EXPECT_EQ(SAT_get_num_bins(), 256);

    // Ranges stop at the 256th bin.
    std::string table;
    for (int i = 0; i < 256; ++i) table += "n" + std::to_string(i) + " 0 0 0\n";
    std::string tp = temp_path("256.clr");
    std::ofstream(tp) << table;
    CLR_read_table(tp.c_str());
    RES_put("color_fill", "n0-n255,n255-n0");
    SAT_color_setup();
    EXPECT_EQ(SAT_get_num_bins(), 256);
    EXPECT_EQ(bin(255).fill, 1255);
    int n = 0;
    EXPECT_EQ(SAT_decode_colors("n0-n5", &n), 0);
    EXPECT_EQ(n, 6);
    n = 256;
    SAT_decode_colors("n0-n5", &n);
    SAT_decode_colors("3:n1", &n);
    EXPECT_EQ(n, 256);
    // A negative counter is no bin: nothing is written (before any table).
    n = -3;
    EXPECT_EQ(SAT_decode_colors("n0-n5", &n), 0);
    EXPECT_EQ(SAT_decode_colors("n0", &n), 0);
    EXPECT_EQ(n, -3);
}

// An enhancement file is read for at most 256 words (name + 255 entries).
TEST_F(Enhance, LongEnhancementFile) {
    std::string p = temp_path("long.enh");
    {
        std::ofstream out(p);
        out << "@long\n";
        for (int i = 0; i < 299; ++i) out << i << ":white\n";
        out << std::string(10000, 'x') << "\n";
    }
    RES_put("color_fill", p.c_str());
    SAT_color_setup();
    EXPECT_EQ(SAT_get_num_bins(), 255);
    EXPECT_STREQ(SAT_get_enhance_name(), "long");
}

// Relations written out by hand:
// AREA/GINI: T < -30: v = int(145 - T); else v = int(-2T) + 114.
// Unisys: values below were computed with python3 from
// 255 - int((50789.3/(exp(1344.3/(T+273.15)) - 1) + 15.68)/4) and its inverse.
TEST(Infrared, AreaAndGiniRelation) {
    for (int src : {51, 53}) {
        EXPECT_EQ(SAT_ir_ind_source(src, -30.0f), 174);
        EXPECT_EQ(SAT_ir_ind_source(src, -31.0f), 176);
        EXPECT_EQ(SAT_ir_ind_source(src, 0.0f), 114);
        EXPECT_EQ(SAT_ir_ind_source(src, 20.0f), 74);
        EXPECT_EQ(SAT_ir_ind_source(src, -29.5f), 173);   // int(59) + 114
        EXPECT_EQ(SAT_ir_ind_source(src, -30.5f), 175);   // int(175.5)
        EXPECT_EQ(SAT_ir_ind_source(src, 25.3f), 64);     // int(-50.6) + 114
        EXPECT_EQ(SAT_ir_ind_source(src, 50.0f), 14);
        EXPECT_EQ(SAT_ir_ind_source(src, -110.0f), 255);
        EXPECT_FLOAT_EQ(SAT_ind_ir_source(src, 175), -30.5f);
        EXPECT_FLOAT_EQ(SAT_ind_ir_source(src, 176), -31.0f);
        EXPECT_FLOAT_EQ(SAT_ind_ir_source(src, 114), 0.0f);
        EXPECT_FLOAT_EQ(SAT_ind_ir_source(src, 0), 57.0f);
        EXPECT_FLOAT_EQ(SAT_ind_ir_source(src, 255), -110.0f);
    }
}

TEST(Infrared, UnisysRelation) {
    const std::pair<float, int> fwd[] = {{-30, 201}, {0, 158}, {20, 121}, {-60, 228}, {-90, 243}, {40, 76}};
    for (auto [t, v] : fwd) EXPECT_EQ(SAT_ir_ind_source(55, t), v) << t;
    const std::pair<int, float> inv[] = {{0, 67.78708f}, {100, 29.40457f}, {200, -29.60717f}, {250, -129.71624f}};
    for (auto [v, t] : inv) EXPECT_NEAR(SAT_ind_ir_source(55, v), t, 1e-3) << v;
    // Counts from 252 up lie outside the relation.
    EXPECT_EQ(SAT_ind_ir_source(55, 255), -9999.0f);
}

TEST(Infrared, OtherSourcesGiveZero) {
    EXPECT_EQ(SAT_ir_ind_source(50, -30.0f), 0);
    EXPECT_EQ(SAT_ind_ir_source(60, 100), 0.0f);
    // The current source's relation is the one used by SAT_ir_ind.
    EXPECT_EQ(SAT_ir_ind(-40.0f), SAT_ir_ind_source(SAT_get_imager_source(), -40.0f));
}

TEST(Dither, Patterns) {
    for (int x = -4; x < 12; ++x)
        for (int y = -4; y < 12; ++y) {
            EXPECT_EQ(DITHER_val(3, 0, x, y), 0);
            EXPECT_EQ(DITHER_val(5, 25, x, y), 1);
            EXPECT_EQ(DITHER_val(0, 25, x, y), 0);
            EXPECT_EQ(DITHER_val(4, 5, x, y), 0);
        }
    // Level k shows exactly k cells, each level containing the last.
    for (int k = 0; k <= 9; ++k) {
        int count = 0;
        for (int x = 0; x < 3; ++x)
            for (int y = 0; y < 3; ++y) {
                int on = DITHER_val(3, k, x, y);
                count += on;
                EXPECT_EQ(on, kM3[x][y] <= k ? 1 : 0);
                if (k > 0 && DITHER_val(3, k - 1, x, y)) {
                    EXPECT_EQ(on, 1);
                }
            }
        EXPECT_EQ(count, k);
    }
    for (int k = 0; k <= 25; ++k) {
        int count = 0;
        for (int x = 0; x < 5; ++x)
            for (int y = 0; y < 5; ++y) {
                count += DITHER_val(5, k, x + 10, y + 5);
                EXPECT_EQ(DITHER_val(5, k, x, y), kM5[x][y] <= k ? 1 : 0);
            }
        EXPECT_EQ(count, k);
    }
    // Levels outside the range are clamped.
    EXPECT_EQ(DITHER_val(3, 40, 1, 2), 1);
    EXPECT_EQ(DITHER_val(5, -3, 2, 2), 0);
}

IMG_report make_image(int w, int h, unsigned char value) {
    IMG_report im{};
    im.width = w;
    im.height = h;
    im.depth = 8;
    im.bits_pixel = 8;
    im.bytes_line = w;
    im.byte_order = 1;
    im.color_type = 1;
    im.trans_color = -1;
    im.data = static_cast<unsigned char*>(std::malloc(static_cast<std::size_t>(w * h)));
    std::memset(im.data, value, static_cast<std::size_t>(w * h));
    return im;
}

void free_image(IMG_report& im) {
    std::free(im.data);
    std::free(im.colors);
    im.data = nullptr;
    im.colors = nullptr;
}

// 100:blue%5white: blue with white in 5 of every 9 pixels.
TEST_F(Enhance, HalfToneThreeByThree) {
    RES_put("color_fill", "0:black,100:blue%5white");
    SAT_color_setup();
    EXPECT_EQ(SAT_get_dither_mode(), 3);
    EXPECT_EQ(bin(1).dither, 5);
    EXPECT_EQ(bin(1).second, ind("white"));
    IMG_report im = make_image(9, 6, 150);
    SAT_color_image(&im);
    int white = 0;
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 9; ++x) {
            unsigned char p = im.data[y * 9 + x];
            const int want = kM3[x % 3][y % 3] <= 5 ? ind("white") : ind("blue");
            EXPECT_EQ(p, want) << x << "," << y;
            white += p == ind("white");
        }
    EXPECT_EQ(white, 5 * 6);
    free_image(im);
}

// The first half-tone entry fixes the mode: a letter level selects 5 by 5;
// a later digit level is read as a letter would be, clamped.
TEST_F(Enhance, HalfToneModeFixedByFirstEntry) {
    RES_put("color_fill", "0:black%mwhite,128:red%3blue");
    SAT_color_setup();
    EXPECT_EQ(SAT_get_dither_mode(), 5);
    EXPECT_EQ(bin(0).dither, 12);  // 'm' - 'a'
    EXPECT_EQ(bin(1).dither, 0);   // '3' - 'a' clamped
    int level = -1, second = -1;
    SAT_get_pixel_dither(10, &level, &second);
    EXPECT_EQ(level, 12);
    EXPECT_EQ(second, ind("white"));
    // Kept for the run: a new set-up reads digits in the 5 by 5 mode too.
    RES_put("color_fill", "0:gray%zblack,200:white");
    SAT_color_setup();
    EXPECT_EQ(SAT_get_dither_mode(), 5);
    EXPECT_EQ(bin(0).dither, 25);
}

TEST_F(Enhance, ColourImageAttachesTableAndMapsPixels) {
    SAT_color_setup();  // default: value v -> colour v / 16
    IMG_report im = make_image(256, 2, 0);
    for (int i = 0; i < 512; ++i) im.data[i] = static_cast<unsigned char>(i % 256);
    SAT_color_image(&im);
    ASSERT_EQ(im.num_colors, CLR_get_num());
    ASSERT_NE(im.colors, nullptr);
    for (int i = 0; i < im.num_colors; ++i) {
        float r, g, b;
        CLR_get_rgb(i, &r, &g, &b);
        EXPECT_EQ(im.colors[i].r, r);
        EXPECT_EQ(im.colors[i].g, g);
        EXPECT_EQ(im.colors[i].b, b);
    }
    for (int i = 0; i < 512; ++i) EXPECT_EQ(im.data[i], (i % 256) / 16) << i;
    free_image(im);

    // Other depths keep their pixels (the table is still attached).
    IMG_report rgb = make_image(4, 1, 77);
    rgb.depth = 24;
    SAT_color_image(&rgb);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(rgb.data[i], 77);
    EXPECT_EQ(rgb.num_colors, CLR_get_num());
    free_image(rgb);
}

// With a fill pattern, pixels outside the pattern become "black".
TEST_F(Enhance, FillPatternMasksWithBlack) {
    RES_put("color_fill", "0:white,255:white");
    SAT_color_setup();
    SAT_params p;
    SAT_get_params(&p);
    p.fill = 9;
    SAT_set_params(&p);
    IMG_report im = make_image(16, 16, 40);
    SAT_color_image(&im);
    int black = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const unsigned char want = gfill_test(9, x, y) ? ind("white") : ind("black");
            EXPECT_EQ(im.data[y * 16 + x], want);
            black += im.data[y * 16 + x] == ind("black");
        }
    EXPECT_GT(black, 0);
    EXPECT_LT(black, 256);
    free_image(im);
    p.fill = 0;
    SAT_set_params(&p);
}

// No colour file found: the default bins get a 16-step grey ramp to point
// at (entry i = i*17/255 grey, so ramp15 is white), with one warning, and
// a coloured image carries that ramp as its colour map instead of none.
TEST_F(Enhance, EmptyColourTableGetsGreyRamp) {
    CLR_clear_table();
    ASSERT_EQ(CLR_get_num(), 0);
    std::string log = temp_path("ramp.log");
    ASSERT_EQ(MESS_file(log.c_str(), "w"), 0);
    SAT_color_setup();
    SAT_color_setup();  // the table is no longer empty: no second warning
    MESS_file_close();
    EXPECT_EQ(slurp(log), "SAT_color_setup: no colour table loaded, using a grey ramp\n");
    ASSERT_EQ(CLR_get_num(), 16);
    EXPECT_STREQ(CLR_get_name(15), "ramp15");
    float r, g, b;
    CLR_get_rgb(8, &r, &g, &b);
    EXPECT_FLOAT_EQ(g, 136.0f / 255.0f);

    IMG_report im = make_image(2, 1, 0);
    im.data[1] = 255;
    SAT_color_image(&im);
    ASSERT_EQ(im.num_colors, 16);
    ASSERT_NE(im.colors, nullptr);
    EXPECT_EQ(im.data[0], 0);
    EXPECT_EQ(im.data[1], 15);
    EXPECT_FLOAT_EQ(im.colors[im.data[1]].r, 1.0f);
    free_image(im);
}

// The debug tables: one BREAK line per bin with its device value, then the
// per-value table, ten "index:bin" pairs a line. Written out by hand for
// 0:black,128:white over enh.clr (black 0, white 1).
TEST_F(Enhance, DebugTables) {
    RES_put("color_fill", "0:black,128:white");
    std::string log = temp_path("debug.log");
    ASSERT_EQ(MESS_file(log.c_str(), "w"), 0);
    const int out = MESS_set_out(0);
    MESS_set(1, M_debug);
    SAT_color_setup();
    MESS_set(-1, M_debug);
    MESS_set_out(out);
    MESS_file_close();
    std::string want = "Table of color breakoff values\nBREAK: 0 COLOR: 0\nBREAK: 128 COLOR: 1\n"
                       "Table of color bin indicies for each sat pix value\n";
    for (int v = 0; v < 256; v += 10) {
        char head[8];
        std::snprintf(head, sizeof head, "%3d: ", v);
        want += head;
        for (int k = v; k < v + 10 && k < 256; ++k) want += k < 128 ? "  0:  0 " : "  1:  1 ";
        want += "\n";
    }
    EXPECT_EQ(slurp(log), want);
}

// Without a plot there is no room below a viewport: nothing is drawn.
TEST_F(Enhance, ColourBarNeedsRoom) {
    SAT_color_setup();
    EXPECT_EQ(SAT_color_bar(0), -1);
}

}  // namespace
