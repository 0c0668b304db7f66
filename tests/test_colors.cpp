// Colour table, colour names and attribute strings.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "colors.h"
#include "mess.h"
#include "resrc.h"

namespace {

const std::string kData = std::string(ZEM_TEST_DATA) + "/colour";

std::string temp_path(const std::string& name) {
    return ::testing::TempDir() + "colour_" + name;
}

std::string write_file(const std::string& name, const std::string& text) {
    std::string p = temp_path(name);
    std::ofstream(p, std::ios::binary) << text;
    return p;
}

std::string slurp(const std::string& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

struct Rgb {
    float r, g, b;
};

Rgb rgb(int ind) {
    Rgb c{};
    CLR_get_rgb(ind, &c.r, &c.g, &c.b);
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

// The four-line example: white, black, END, red loaded as "color_table".
TEST_F(ColourTable, ColorTableResourceSetsFillCount) {
    RES_put("color_table", "basic.clr");
    CLR_read_table(nullptr);
    EXPECT_EQ(CLR_get_num(), 3);
    EXPECT_EQ(CLR_get_num_fill(), 2);
    EXPECT_STREQ(CLR_get_name(0), "white");
    EXPECT_STREQ(CLR_get_name(1), "black");
    EXPECT_STREQ(CLR_get_name(2), "red");
    Rgb red = rgb(2);
    EXPECT_FLOAT_EQ(red.r, 1.0f);
    EXPECT_FLOAT_EQ(red.g, 0.0f);
    EXPECT_FLOAT_EQ(red.b, 0.0f);
    EXPECT_FLOAT_EQ(rgb(0).g, 1.0f);
}

// A list of files: the second file's entries follow the first's, and its
// END does not change the fill count.
TEST_F(ColourTable, SecondFileFollowsAndKeepsFillCount) {
    RES_put("color_table", "basic.clr,second.clr");
    CLR_read_table(nullptr);
    EXPECT_EQ(CLR_get_num_fill(), 2);
    // second.clr: comment, END, blue, yellow -> entries 3 and 4; size 3+1+1.
    EXPECT_STREQ(CLR_get_name(3), "blue");
    EXPECT_STREQ(CLR_get_name(4), "yellow");
    EXPECT_EQ(CLR_get_num(), 5);
    EXPECT_EQ(CLR_get_ind("YELLOW"), 4);
}

// An explicit argument does not touch the fill count.
TEST_F(ColourTable, ArgumentLeavesFillCount) {
    RES_put("color_table", "fill4.clr");
    CLR_read_table(nullptr);
    ASSERT_EQ(CLR_get_num_fill(), 4);
    CLR_read_table("basic.clr");
    EXPECT_EQ(CLR_get_num_fill(), 4);
    EXPECT_EQ(CLR_get_num(), 3);
}

// Entry numbers set the position counter; the size is 1 + the highest
// counter seen at the start of a line (7, before the line "2 two").
TEST_F(ColourTable, EntryNumbersMoveTheCounter) {
    CLR_read_table("numbered.clr");
    EXPECT_STREQ(CLR_get_name(5), "five");
    EXPECT_STREQ(CLR_get_name(6), "six");
    EXPECT_STREQ(CLR_get_name(2), "two");
    EXPECT_EQ(CLR_get_num(), 8);
    EXPECT_FLOAT_EQ(rgb(6).r, 6.0f / 255.0f);
    EXPECT_FLOAT_EQ(rgb(5).g, 0.5f);
}

// The shipped table: fill ramp first, then the X11 names with the values
// of Debian's rgb.txt (read here independently).
TEST_F(ColourTable, ShippedTableMatchesRgbTxt) {
    RES_put("file_path", ZEM_ETC_DIR);
    RES_put("color_table", "zem.clr");
    CLR_read_table(nullptr);
    EXPECT_EQ(CLR_get_num_fill(), 16);
    EXPECT_GT(CLR_get_num(), 150);
    EXPECT_LE(CLR_get_num(), 256);
    EXPECT_EQ(CLR_get_ind("ramp00"), 0);
    EXPECT_EQ(CLR_get_ind("ramp15"), 15);
    EXPECT_FLOAT_EQ(rgb(15).b, 1.0f);

    std::ifstream in("/usr/share/X11/rgb.txt");
    if (!in) GTEST_SKIP() << "rgb.txt not found: /usr/share/X11/rgb.txt";
    std::map<std::string, Rgb> x11;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream ls(line);
        int r, g, b;
        std::string name, extra;
        if (ls >> r >> g >> b >> name && !(ls >> extra))
            x11.emplace(name, Rgb{r / 255.0f, g / 255.0f, b / 255.0f});
    }
    for (const char* name : {"red", "black", "white", "SteelBlue", "gray50", "DarkOliveGreen", "tan"}) {
        SCOPED_TRACE(name);
        int ind = CLR_get_ind(name);
        ASSERT_GE(ind, 16);
        ASSERT_TRUE(x11.count(name));
        EXPECT_NEAR(rgb(ind).r, x11[name].r, 1e-6);
        EXPECT_NEAR(rgb(ind).g, x11[name].g, 1e-6);
        EXPECT_NEAR(rgb(ind).b, x11[name].b, 1e-6);
    }
    // Case is ignored in lookups.
    EXPECT_EQ(CLR_get_ind("steelblue"), CLR_get_ind("SteelBlue"));
}

TEST_F(ColourTable, SpecialNames) {
    CLR_read_table("basic.clr");
    EXPECT_EQ(CLR_get_ind(nullptr), -1);
    EXPECT_EQ(CLR_get_ind(""), -1);
    EXPECT_EQ(CLR_get_ind("none"), -1);
    EXPECT_EQ(CLR_get_ind("OFF"), -1);
    EXPECT_EQ(CLR_get_ind("back"), -1);
    EXPECT_EQ(CLR_get_ind("End"), -2);
    EXPECT_EQ(CLR_get_ind("pblk"), 500);
    EXPECT_EQ(CLR_get_ind("PTGRY"), 508);
    EXPECT_EQ(CLR_get_ind("pwht"), 503);
    EXPECT_EQ(CLR_get_ind("no-such-colour"), -1);
    // Numbers are not compared with the table size.
    EXPECT_EQ(CLR_get_ind("12"), 12);
    EXPECT_EQ(CLR_get_num(), 3);
    // Past the end: the last entry; before the start: the first.
    EXPECT_STREQ(CLR_get_name(99), "red");
    EXPECT_STREQ(CLR_get_name(-5), "white");
}

// A triplet is added once and found by name afterwards.
TEST_F(ColourTable, TripletsAddOnce) {
    CLR_read_table("basic.clr");
    int a = CLR_get_ind("#00ff00");
    EXPECT_EQ(a, 3);
    EXPECT_EQ(CLR_get_ind("#00ff00"), a);
    EXPECT_EQ(CLR_get_num(), 4);
    EXPECT_FLOAT_EQ(rgb(a).g, 1.0f);
    EXPECT_FLOAT_EQ(rgb(a).r, 0.0f);
    int d = CLR_get_ind("#255128000");
    EXPECT_EQ(d, 4);
    EXPECT_FLOAT_EQ(rgb(d).r, 1.0f);
    EXPECT_FLOAT_EQ(rgb(d).g, 128.0f / 255.0f);
    EXPECT_STREQ(CLR_get_name(d), "#255128000");
    // Malformed triplets add nothing.
    EXPECT_EQ(CLR_get_ind("#zzzzzz"), -1);
    EXPECT_EQ(CLR_get_ind("#12345"), -1);
    EXPECT_EQ(CLR_get_num(), 5);
}

// 300 colour lines: entries beyond the 256th are ignored; a full table
// refuses additions instead of writing past its end.
TEST_F(ColourTable, OversizedFileStopsAt256) {
    std::string text;
    for (int i = 0; i < 300; ++i) text += "n" + std::to_string(i) + " #010203\n";
    CLR_read_table(write_file("300.clr", text).c_str());
    EXPECT_EQ(CLR_get_num(), 256);
    EXPECT_STREQ(CLR_get_name(255), "n255");
    EXPECT_EQ(CLR_get_ind("n299"), -1);
    EXPECT_EQ(CLR_get_ind("#abcdef"), -1);
    EXPECT_EQ(CLR_add("extra", 1, 1, 1), -1);
    EXPECT_EQ(CLR_get_num(), 256);
    // Entry numbers at or past 256, or negative, are ignored. "255 last"
    // is stored, but the size only covers the counter values seen at the
    // start of lines (0 here), so the table has one entry.
    CLR_read_table(write_file("bignum.clr", "300 big 1 1 1\n-3 neg 1 1 1\n255 last 1 1 1\n").c_str());
    EXPECT_EQ(CLR_get_num(), 1);
    EXPECT_STREQ(CLR_get_name(0), "n0");
    EXPECT_EQ(CLR_get_ind("big"), -1);
    EXPECT_EQ(CLR_get_ind("neg"), -1);
    // A following file starts at entry 1 and overwrites nothing at 255.
    CLR_read_table(write_file("bignum2.clr", "255 last 1 1 1\n").c_str());
    CLR_read_table((temp_path("bignum2.clr") + "," + temp_path("300.clr")).c_str());
    EXPECT_EQ(CLR_get_num(), 256);
    EXPECT_STREQ(CLR_get_name(255), "n254");
}

// An entry number too large for any integer, in a file that follows
// another, is ignored like any number past 256: it must not wrap around to
// an entry of the first file ("red", entry 2 of basic.clr).
TEST_F(ColourTable, HugeEntryNumberInSecondFile) {
    const std::string huge = write_file("huge.clr", "99999999999999999999 big 1 1 1\nafter 0 0 1\n");
    CLR_read_table(("basic.clr," + huge).c_str());
    EXPECT_STREQ(CLR_get_name(2), "red");
    EXPECT_FLOAT_EQ(rgb(2).g, 0.0f);
    EXPECT_EQ(CLR_get_ind("big"), -1);
    // The next line still lands at the counter the file had (0): entry 3.
    EXPECT_EQ(CLR_get_ind("after"), 3);
    // A colour number that overflows an int is no entry at all either.
    EXPECT_LT(CLR_get_ind("99999999999999999999"), 0);
}

// Long lines are cut at 100 characters and names at 19; garbage bytes
// never crash the reader.
TEST_F(ColourTable, LongLinesAndGarbage) {
    std::string longname(400, 'q');
    CLR_read_table(write_file("long.clr", longname + " 1 0 0\nafter 0 0 1\n").c_str());
    EXPECT_EQ(std::string(CLR_get_name(0)), std::string(19, 'q'));
    EXPECT_STREQ(CLR_get_name(1), "after");
    EXPECT_FLOAT_EQ(rgb(1).b, 1.0f);

    std::string garbage;
    unsigned v = 12345;
    for (int i = 0; i < 20000; ++i) {
        v = v * 1103515245u + 12345u;
        garbage.push_back(static_cast<char>(v >> 16));
    }
    CLR_read_table(write_file("garbage.clr", garbage).c_str());
    EXPECT_LE(CLR_get_num(), 256);
    EXPECT_GE(CLR_get_num(), 1);
    for (int i = 0; i < CLR_get_num(); ++i) EXPECT_LT(std::string(CLR_get_name(i)).size(), 20u);
}

// Missing files are skipped silently; with no file the size stays.
TEST_F(ColourTable, MissingFilesSkipped) {
    CLR_read_table("basic.clr");
    ASSERT_EQ(CLR_get_num(), 3);
    CLR_read_table("does-not-exist.clr");
    EXPECT_EQ(CLR_get_num(), 3);
    // The first file that opens starts at entry 0: comment, END, blue and
    // yellow give the size 0 + 1 + 1 (the counter was 1 at yellow's line).
    CLR_read_table("does-not-exist.clr,second.clr");
    EXPECT_STREQ(CLR_get_name(0), "blue");
    EXPECT_STREQ(CLR_get_name(1), "yellow");
    EXPECT_EQ(CLR_get_num(), 2);
}

TEST(ColourKeywords, FillPatterns) {
    const std::pair<const char*, int> cases[] = {
        {"sol", 0}, {"ST", 1},  {"ost", 2}, {"rst", 3}, {"lst", 4},  {"vln", 5},  {"||", 5},
        {"dlr", 6}, {"\\\\", 6}, {"drl", 7}, {"//", 7},  {"hln", 8},  {"--", 8},   {"hat", 9},
        {"xx", 9},  {"clr", 10}, {"0%", 10}, {"1%", 11}, {"2%", 12},  {"3%", 13},  {"4%", 14},
        {"5%", 15}, {"6%", 16},  {"7%", 17}, {"8%", 18}, {"9%", 19},  {"17", 17},  {"solid", 0},
        {"junk", 0},
    };
    for (auto& [text, code] : cases) EXPECT_EQ(ATTR_parse_fill_pat(text), code) << text;
}

// Line styles of "st=": the five names (case ignored), else the number.
TEST(ColourKeywords, LineStyles) {
    const std::pair<const char*, int> cases[] = {
        {"sol", 1}, {"DSH", 2}, {"lsdsh", 3}, {"llsdsh", 4}, {"dot", 5}, {"7", 7}, {"dash", 0},
    };
    for (auto& [text, code] : cases) EXPECT_EQ(ATTR_parse_style(text), code) << text;
    Gattribs a;
    ATTRIB_init(&a);
    ATTRIB_parse(":st=lsdsh", &a);
    EXPECT_EQ(a.style, 3);
}

TEST(ColourKeywords, Markers) {
    const std::pair<const char*, int> cases[] = {
        {"pnt", 1}, {".", 1},    {"plus", 2}, {"+", 2},    {"Star", 3}, {"*", 3},    {"crcl", 4},
        {"circle", 4}, {"o", 4}, {"x", 5},    {"sqr", 6},  {"square", 6}, {"#", 6},  {"tri", 7},
        {"^", 7},   {"itri", 9}, {"v", 9},    {"dot", 8},  {"12", 12},  {"?", 0},
    };
    for (auto& [text, code] : cases) EXPECT_EQ(ATTR_parse_marker(text), code) << text;
}

class Attributes : public ColourTable {
protected:
    void SetUp() override {
        ColourTable::SetUp();
        CLR_read_table("enh.clr");
        ATTRIB_init(&a);
    }
    Gattribs a{};
};

TEST_F(Attributes, InitLeavesEverythingUnset) {
    EXPECT_EQ(a.color, -9999);
    EXPECT_EQ(a.width, -9999.0f);
    EXPECT_EQ(a.height, -9999.0f);
    EXPECT_EQ(a.expan, -9999.0f);
    EXPECT_EQ(a.style, -9999);
    EXPECT_EQ(a.fill_pat, -9999);
    EXPECT_EQ(a.font, -9999);
}

TEST_F(Attributes, ColourWidthStyle) {
    ATTRIB_parse("red:wi=2:st=dsh", &a);
    EXPECT_EQ(a.color, CLR_get_ind("red"));
    EXPECT_EQ(a.color, 3);
    EXPECT_FLOAT_EQ(a.width, 2.0f);
    EXPECT_EQ(a.style, 2);
    EXPECT_EQ(a.fill_pat, -9999);
}

TEST_F(Attributes, TripletColourAndFill) {
    int before = CLR_get_num();
    ATTRIB_parse("co=#ff8000:fi=hat", &a);
    EXPECT_EQ(a.color, before);
    EXPECT_STREQ(CLR_get_name(a.color), "#ff8000");
    EXPECT_EQ(a.fill_pat, 9);
}

TEST_F(Attributes, EmptyFirstFieldAndShortForms) {
    ATTRIB_parse(":wi=3", &a);
    EXPECT_EQ(a.color, -9999);
    EXPECT_FLOAT_EQ(a.width, 3.0f);

    Gattribs b;
    ATTRIB_init(&b);
    b.fill_pat = 4;
    ATTRIB_parse("blue:w2:s5:fM", &b);
    EXPECT_EQ(b.color, 7);
    EXPECT_FLOAT_EQ(b.width, 2.0f);
    EXPECT_EQ(b.style, 5);
    EXPECT_EQ(b.fill_pat, -9999);

    Gattribs c;
    ATTRIB_init(&c);
    ATTRIB_parse("sc=1.5:te=0.8:fp=3%:st=llsdsh:t2:h2.5:e1.25:f7:x=1", &c);
    EXPECT_FLOAT_EQ(c.expan, 1.25f);  // the later e1.25 wins over te=0.8
    EXPECT_FLOAT_EQ(c.height, 2.5f);
    EXPECT_EQ(c.fill_pat, 7);
    EXPECT_EQ(c.style, 4);
    EXPECT_EQ(c.font, 2);
    EXPECT_EQ(c.color, -9999);  // first field has "=": all fields are keywords
}

// Bad attribute strings change nothing they do not name and never crash.
TEST_F(Attributes, BadStrings) {
    const std::string long_field(5000, 'w');
    const char* bad[] = {"", ":", "::::", "=", "co=", "wi=abc", "st=", "fi=", "zz=3", "w", "sfoo",
                         long_field.c_str()};
    for (const char* s : bad) {
        Gattribs b;
        ATTRIB_init(&b);
        EXPECT_EQ(ATTRIB_parse(s, &b), 0) << s;
    }
    Gattribs b;
    ATTRIB_init(&b);
    ATTRIB_parse("wi=abc:st=", &b);
    EXPECT_FLOAT_EQ(b.width, 0.0f);  // text that does not read gives 0
    EXPECT_EQ(b.style, 0);
    ATTRIB_init(&b);
    ATTRIB_parse("nosuchcolour:zz=3", &b);
    EXPECT_EQ(b.color, -1);
    EXPECT_EQ(b.style, -9999);
    EXPECT_EQ(ATTRIB_parse("red", nullptr), -1);
}

TEST_F(Attributes, UpdateCopiesSetFields) {
    Gattribs src;
    ATTRIB_init(&src);
    src.width = 4;
    src.font = 2;
    a.color = 1;
    a.width = 1;
    ATTRIB_update(&a, &src);
    EXPECT_EQ(a.color, 1);
    EXPECT_FLOAT_EQ(a.width, 4.0f);
    EXPECT_EQ(a.font, 2);
    EXPECT_EQ(a.style, -9999);
}

TEST_F(Attributes, GetParsesDefaultThenResource) {
    EXPECT_EQ(ATTRIB_get("color_map", "white:wi=2", &a), 0);
    EXPECT_EQ(a.color, 1);
    EXPECT_FLOAT_EQ(a.width, 2.0f);
    RES_put("color_map", "green:st=dot");
    Gattribs b;
    ATTRIB_init(&b);
    EXPECT_EQ(ATTRIB_get("color_map", "white:wi=2", &b), 1);
    EXPECT_EQ(b.color, 6);
    EXPECT_FLOAT_EQ(b.width, 2.0f);
    EXPECT_EQ(b.style, 5);
}

TEST_F(Attributes, PrintFormat) {
    std::string log = temp_path("print.log");
    ASSERT_EQ(MESS_file(log.c_str(), "w"), 0);
    ATTRIB_parse("red:wi=2.5:h1:e0.5:f3:t2:s4", &a);
    ATTRIB_print(&a);
    MESS_file_close();
    EXPECT_EQ(slurp(log),
              "Color: 3\nStyle: 4\nHeight:  1.00\nWidth:  2.50\nExpansion:  0.50\nFill: 3\nFont: 2\n");
}

}  // namespace
