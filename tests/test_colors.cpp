// Colour table, colour names and attribute strings. The colour files are in
// tests/data/colour (make_colour.py writes the ones that break limits); the
// shipped table is compared with Debian's X11 rgb.txt.
#include "zem_test.h"

#include <cstring>
#include <map>

#include "colors.h"
#include "resrc.h"
#include "tools.h"

namespace {

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
        if (c.fill >= 0) {
            EXPECT_EQ(CLR_get_num_fill(), c.fill) << (c.arg ? c.arg : c.resource);
        }
        for (auto [name, ind] : c.names) EXPECT_EQ(CLR_get_ind(name), ind) << name;
    }
    // basic.clr's red; numbered.clr's "six #060606" and "five 0.5 0.5 0.5".
    CLR_read_table("basic.clr,huge.clr");
    EXPECT_EQ(rgb(2), std::vector<float>({1, 0, 0}));
    EXPECT_EQ(rgb(3), std::vector<float>({0, 0, 1}));
    CLR_read_table("numbered.clr");
    EXPECT_FLOAT_EQ(rgb(6)[0], 6.0f / 255.0f);
    EXPECT_FLOAT_EQ(rgb(5)[1], 0.5f);
    // Full: an addition is refused instead of written past the end.
    CLR_read_table("300.clr");
    EXPECT_EQ(CLR_add("extra", 1, 1, 1), -1);
    // Entries past 256 or negative are ignored; "255 last" is stored but the
    // size covers only the counters seen at line starts (0). A following
    // file then starts at entry 1 and overwrites 255.
    CLR_read_table("bignum.clr");
    EXPECT_EQ(CLR_get_num(), 1);
    EXPECT_EQ(std::vector<int>({CLR_get_ind("n0"), CLR_get_ind("big"), CLR_get_ind("neg")}),
              std::vector<int>({0, -1, -1}));
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
    EXPECT_EQ(std::vector<int>({CLR_get_ind("ramp00"), CLR_get_ind("ramp15")}), std::vector<int>({0, 15}));
    EXPECT_FLOAT_EQ(rgb(15)[2], 1.0f);
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
    EXPECT_EQ(rgb(3), std::vector<float>({0, 1, 0}));
    EXPECT_EQ(rgb(4), std::vector<float>({1, 128.0f / 255.0f, 0}));
    EXPECT_STREQ(CLR_get_name(4), "#255128000");
    EXPECT_STREQ(CLR_get_name(99), "#255128000");  // past the end: the last entry
    EXPECT_STREQ(CLR_get_name(-5), "white");        // before the start: the first
}

// Attribute strings over enh.clr (black 0, white 1, red 3, blue 7): the
// fields they set, others left unset (-9999).
TEST_F(ColourTable, AttributeStrings) {
    CLR_read_table("enh.clr");
    const int M = kMissing;
    const float F = kMissingF;
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
        {"::::", M, F, F, F, M, M, M},
    };
    for (const auto& c : cases) {
        Gattribs a;
        ATTRIB_init(&a);
        EXPECT_EQ(ATTRIB_parse(c.text, &a), 0);
        EXPECT_EQ(std::vector<float>({float(a.color), a.width, a.height, a.expan, float(a.style), float(a.fill_pat),
                                      float(a.font)}),
                  std::vector<float>({float(c.color), c.width, c.height, c.expan, float(c.style), float(c.fill),
                                      float(c.font)}))
            << c.text;
    }
    EXPECT_EQ(ATTRIB_parse("red", nullptr), -1);
    // Update copies the set fields; get parses the default, then the resource.
    Gattribs a, src;
    ATTRIB_init(&a);
    ATTRIB_init(&src);
    src.width = 4;
    src.font = 2;
    a.color = 1;
    ATTRIB_update(&a, &src);
    EXPECT_EQ(std::vector<float>({float(a.color), a.width, float(a.font), float(a.style)}),
              std::vector<float>({1, 4, 2, float(M)}));
    ATTRIB_init(&a);
    EXPECT_EQ(ATTRIB_get("color_map", "white:wi=2", &a), 0);
    EXPECT_EQ(std::vector<float>({float(a.color), a.width}), std::vector<float>({1, 2}));
    RES_put("color_map", "green:st=dot");
    EXPECT_EQ(ATTRIB_get("color_map", "white:wi=2", &a), 1);
    EXPECT_EQ(std::vector<float>({float(a.color), a.width, float(a.style)}), std::vector<float>({6, 2, 5}));
}

}  // namespace
