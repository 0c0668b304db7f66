// The AREA reader on the small synthetic files of tests/data/area (host-order, byte-reversed and
// sync-framed; raw, two-byte and prefixed data; make_area.py writes them and
// describes their records), and SAT_read_file's record, labels and output
// modes, and real AREA files. Expected pixels are worked out by hand in the
// comments. Broken files are rows of test_bad_input.cpp.
#include "zem_test.h"

#include <cstring>

#include "flag.h"
#include "plt_labl.h"
#include "tools.h"

namespace {

using Ints = std::vector<std::int64_t>;  // for comparing several fields at once
using Floats = std::vector<float>;

using zt::Bytes;

const Bytes kPlain = {1, 2, 3, 4, 10, 20, 30, 40, 200, 201, 202, 203};  // the 3 x 4 files' pixels
std::string synth(const std::string& name) { return std::string(ZEM_TEST_DATA) + "/area/" + name; }

using zt::read_area;

class ReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        MESS_reset();
        RES_clear();
        FLAG_reset(kMissing);
        FLAG_set(14, kFormatArea);
        PLT_init_labels();
        SAT_set_bit_shift(0);
        SAT_set_tran_sat(1);
    }
    static int read(const std::string& file, MC_area* area) { return read_area(synth(file), area); }
    // goes_le.area with another day stamp (word 3) or navigation type text,
    // read through SAT_read_file.
    int read_file(IMG_report* img, std::uint32_t ndate = 124065, const char* nav = "GOES") {
        std::string bytes = zt::slurp(synth("goes_le.area"));
        std::memcpy(bytes.data() + 12, &ndate, 4);  // a little-endian file
        std::memcpy(bytes.data() + 256, nav, 4);
        zt::spit(dir_.file("f.area"), bytes);
        IMG_init(img);
        return SAT_read_file(dir_.file("f.area").c_str(), img);
    }
    zt::TempDir dir_;
};

// ---- AREA reader --------------------------------------------------------------

struct Expected {
    std::string file, type;
    int shift = 0;
    Bytes pixels;
};
void PrintTo(const Expected& e, std::ostream* os) { *os << e.file << " shift " << e.shift; }

// The rows of tests/data/area/expect.txt: file | shift | type | pixels.
std::vector<Expected> expectations() {
    std::vector<Expected> rows;
    for (const auto& f : zt::cases("area/expect.txt")) {
        rows.push_back({f[0], f.at(2), std::stoi(f.at(1)), {}});
        std::istringstream px(f.at(3));
        for (std::string v; px >> v;) rows.back().pixels.push_back(static_cast<std::uint8_t>(std::stoi(v, nullptr, 0)));
    }
    return rows;
}

class AreaLayouts : public ReaderTest, public ::testing::WithParamInterface<Expected> {};

// The picture, and the navigation block on the pointer of its type.
TEST_P(AreaLayouts, PixelsAndNavigation) {
    const Expected& e = GetParam();
    SAT_set_bit_shift(e.shift);
    MC_area a{};
    ASSERT_EQ(read(e.file, &a), 0);
    const std::string t = e.type == "-" ? "" : e.type;
    EXPECT_EQ(t, a.type);
    EXPECT_EQ(std::vector<bool>({a.navg != nullptr, a.navgv != nullptr, a.navps != nullptr, a.navtanc != nullptr,
                                 a.nav != nullptr}),
              std::vector<bool>({t == "GOES", t == "GVAR", t == "PS" || t == "MSAT", t == "TANC", t == "MERC"}));
    // Words 1000 i + 7 after the type text: 639 in a GVAR block, 119 before
    // the memo text (left as it is) in the others.
    const auto* nav = reinterpret_cast<const std::uint8_t*>(a.navgv ? (void*)a.navgv : a.navg ? (void*)a.navg : a.navps);
    for (std::uint32_t i = 1, w; nav && i <= (a.navgv ? 639u : 119u); ++i) {
        std::memcpy(&w, nav + 4 * i, 4);
        ASSERT_EQ(w, 1000 * i + 7) << "navigation word " << i;
    }
    EXPECT_TRUE(!nav || a.navgv || std::memcmp(nav + 480, "MEMO TEXT", 9) == 0);
    Bytes want = e.pixels;
    want.resize(std::size_t{a.dir->lsiz} * a.dir->esiz, 0);
    EXPECT_EQ(Bytes(a.image, a.image + want.size()), want);
    SAT_free_AREA(&a);
}

INSTANTIATE_TEST_SUITE_P(Synthetic, AreaLayouts, ::testing::ValuesIn(expectations()), [](const auto& info) {
    return std::to_string(info.index) + "_" + info.param.file.substr(0, info.param.file.find('.'));
});

TEST(AreaLayoutTable, IsThere) { EXPECT_GE(expectations().size(), 20u); }

// ---- SAT_read_file ----------------------------------------------------------------

// Day stamps YYDDD, YYYDDD (years since 1900) and YYYYDDD; day 123 is 3 May
// outside leap years (31+28+31+30 = 120 days before May). The answer modes
// print one line for the image date (2024 day 65 = 5 March, 13:45) and
// hand back no picture.
TEST_F(ReaderTest, DayStampsAndAnswerModes) {
    RES_put("output", "date");  // stop before navigation
    for (auto [ndate, year, month, day] : {std::tuple{99123u, 1999, 5, 3}, {24060u, 2024, 2, 29}, {105123u, 2005, 5, 3},
                                           {2005123u, 2005, 5, 3}, {124060u, 2024, 2, 29}}) {
        IMG_report img;
        EXPECT_EQ(read_file(&img, ndate), 0);
        EXPECT_EQ(Ints({img.date.year, img.date.month, img.date.day, img.date.hour, img.date.min}),
                  Ints({year, month, day, 13, 45}))
            << ndate;
    }
    for (auto [mode, out_file, printed] : {std::tuple{"DATE", "", "1345Z  5 MAR 24\n"}, {"seq", "", "202403051345\n"},
                                           {"file", "img_%y%m%d%h%n.zem", "img_2403051345.zem\n"}}) {
        RES_put("output", mode);
        RES_put("out_file", out_file);
        zt::MessCapture cap;
        IMG_report img;
        EXPECT_EQ(read_file(&img), 0);
        EXPECT_EQ(img.data, nullptr);
        EXPECT_NE(cap.text().find(printed), std::string::npos) << mode << ": " << cap.text();
        EXPECT_EQ(std::string(PLT_get_label(0, 0)) + "|" + PLT_get_label(2, 0), "SYNTHETIC TEST AREA             |1345Z  5 MAR 24");
    }
}

TEST_F(ReaderTest, RecordOfAFullRead) {
    IMG_report img;
    ASSERT_EQ(read_file(&img, 124065, "RECT"), 1);  // a map grid: no satellite maths
    EXPECT_EQ(Ints({img.source, img.width, img.height, img.bytes_line, img.depth, img.byte_order,
                                SAT_get_imager_source()}),
              Ints({51, 4, 3, 4, 8, 1, 51}));
    EXPECT_EQ(Floats({img.xres, img.yres, img.xoff, img.yoff}), Floats({4, 2, 2001, 1001}));
    EXPECT_EQ(std::string(img.info) + "|" + img.datim, "SYNTHETIC TEST AREA             |1345Z  5 MAR 24");
    EXPECT_EQ(Bytes(img.data, img.data + 12), kPlain);
    IMG_free(&img);
    RES_put("output", "date");
    read_file(&img);
    EXPECT_EQ(img.yoff, 701.0f);  // GOES counts lines from the scan start: lcor 1001 - startscan 300
}

// A package image file read as input: satellite remapping goes off, the
// labels come from the file. The other formats' readers refuse it, saying
// so, and unknown codes read nothing.
TEST_F(ReaderTest, PackageImageAsInput) {
    zt::spit(dir_.file("in.zem"), "ZEMIMG\n1200Z  5 MAR 24\npackage image\n2 2\n\x01\x02\x03\x04");
    zt::Image img;
    zt::MessCapture cap;
    for (int code : {53, 54, 55, 59, 60, 52}) {
        FLAG_set(14, code);
        EXPECT_EQ(SAT_read_file(dir_.file("in.zem").c_str(), &img.rec), 0) << code;
    }
    EXPECT_NE(cap.text().find("Not a TIFF file"), std::string::npos) << cap.text();
    FLAG_set(14, kFormatImg);
    ASSERT_EQ(SAT_read_file(dir_.file("in.zem").c_str(), &img.rec), 1);
    EXPECT_EQ(Ints({SAT_get_tran_sat(), img.rec.source, img.rec.data[3]}), Ints({0, 50, 4}));
    EXPECT_EQ(std::string(PLT_get_label(0, 0)) + "|" + PLT_get_label(2, 0), "package image|1200Z  5 MAR 24");
}

// ---- Real AREA files -------------------------------------------------------------
// Real files published by other projects, and the same files turned by
// area_variant into the physical variants no public file exists for.
// Expected values were computed independently with /usr/bin/python3 from
// the raw bytes (struct unpacking; for pngarea the PNG stream was inflated
// with Python's zlib and unfiltered by hand):
//   cmx3g8: big-endian words; pixel (l, e) = byte 2816 + 2*(1800*l + e)
//           (high byte of the big-endian 16-bit count).
//   pngarea: little-endian words; PNG 640x350, 8-bit grey, at byte 1088.
// Checksums: sum of all pixels, and sum of (i % 251 + 1) * pixel[i] over the
// row-major pixel index i (catches misplaced rows and columns).

struct RealArea {
    const char* file;
    // Directory: satid, ndate, ntime, lcor, ecor, lsiz, esiz, lres, eres,
    // filtmap; then zsiz and navkey (rewritten by area_variant).
    std::int64_t dir[10], zsiz, navkey;
    const char *type, *comment, *stype_ctype;
    std::uint64_t sum, weighted;
    int samples[3][3];  // line, element, value
    std::int32_t nav[3][2];  // byte offset in the navigation block, word there
};
void PrintTo(const RealArea& area, std::ostream* os) { *os << area.file; }

const RealArea kFiles[] = {
    // GVAR block words 2 and 5 (struct.unpack('>640i', ...)): 131, -13089962.
    {"cmx3g8_wv_1998.260_0745_mcidas.ara", {70, 98260, 74500, 3797, 10881, 400, 1800, 8, 4, 4}, 2, 2816, "GVAR", "",
     "GVARRAW ", 20144520ULL, 2537834647ULL, {{0, 0, 30}, {199, 900, 23}, {123, 456, 32}},
     {{8, 131}, {20, -13089962}, {8, 131}}},
    // PS block words 1..3: -1530, 830, 600000.
    {"pngarea", {2, 100137, 85900, 6, -159, 350, 640, 5, 4, 1}, 1, 768, "PS", "MDR                             ",
     "VISRBRIT", 561888ULL, 70753856ULL, {{0, 537, 32}, {151, 73, 32}, {349, 639, 0}},
     {{4, -1530}, {8, 830}, {12, 600000}}},
};

class AreaFileTest : public ::testing::TestWithParam<RealArea> {
protected:
    void SetUp() override {
        ZT_NEED_DATA(zt::testdata("area"));
        MESS_reset();
        RES_clear();
        FLAG_reset(kMissing);
        FLAG_set(14, kFormatArea);
        SAT_set_bit_shift(0);
    }
    std::string path() const { return zt::testdata("area/") + GetParam().file; }
    // Checks `a` against the row; `rebuilt` skips zsiz and navkey.
    static void check(const MC_area& a, bool rebuilt) {
        const RealArea& r = GetParam();
        ASSERT_NE(a.dir, nullptr);
        const MC_area_dir& d = *a.dir;
        EXPECT_EQ(Ints({d.type, d.satid, d.ndate, d.ntime, d.lcor, d.ecor, d.lsiz, d.esiz, d.lres,
                                             d.eres, d.filtmap, rebuilt ? r.zsiz : d.zsiz, rebuilt ? r.navkey : d.navkey}),
                  Ints({4, r.dir[0], r.dir[1], r.dir[2], r.dir[3], r.dir[4], r.dir[5], r.dir[6],
                                             r.dir[7], r.dir[8], r.dir[9], r.zsiz, r.navkey}));
        EXPECT_EQ(std::string(d.comments, std::strlen(r.comment)) + std::string(d.stype, 8) + a.type,
                  std::string(r.comment) + r.stype_ctype + r.type);
        const char* nav = a.navgv ? reinterpret_cast<const char*>(a.navgv) : reinterpret_cast<const char*>(a.navps);
        ASSERT_NE(nav, nullptr);
        for (const auto& n : r.nav) {
            std::int32_t w;
            std::memcpy(&w, nav + n[0], 4);
            EXPECT_EQ(w, n[1]) << "navigation byte " << n[0];
        }
        std::uint64_t sum = 0, weighted = 0;
        for (std::size_t i = 0; i < std::size_t(r.dir[5] * r.dir[6]); ++i) {
            sum += a.image[i];
            weighted += (i % 251 + 1) * a.image[i];
        }
        EXPECT_EQ(std::vector<std::uint64_t>({sum, weighted}), std::vector<std::uint64_t>({r.sum, r.weighted}));
        for (const auto& s : r.samples) EXPECT_EQ(a.image[s[0] * r.dir[6] + s[1]], s[2]) << s[0] << "," << s[1];
    }
};

// The file itself, and its physical variants (sync-framed and back).
TEST_P(AreaFileTest, EveryPhysicalVariantReadsTheSame) {
    zt::TempDir tmp;
    for (const std::string mode : {"", "host", "reversed", "sync", "big"}) {
        const std::string in = mode == "big" ? tmp.file("sync") : path(), out = mode.empty() ? path() : tmp.file(mode);
        ASSERT_TRUE(mode.empty() || zt::run(std::string(AREA_VARIANT_BIN) + " '" + in + "' '" + out + "' " + mode).status == 0);
        MC_area a{};
        ASSERT_EQ(read_area(out, &a), 0) << mode;
        check(a, mode == "sync" || mode == "big");
        SAT_free_AREA(&a);
    }
}

INSTANTIATE_TEST_SUITE_P(Real, AreaFileTest, ::testing::ValuesIn(kFiles), [](const auto& info) {
    return std::string(info.param.file).rfind("cmx", 0) == 0 ? std::string("goes8_gvar") : std::string("pngarea");
});

// pngarea with a directory two lines and two elements larger than its PNG
// block: the picture keeps its place and the margins stay black.
TEST(AreaPngBlock, SmallerThanTheDirectoryLeavesBlackMargins) {
    const std::string file = zt::testdata("area/pngarea");
    ZT_NEED_DATA(file);
    std::string bytes = zt::slurp(file);
    const std::uint32_t lsiz = 352, esiz = 642;  // little-endian words 8 and 9
    std::memcpy(bytes.data() + 32, &lsiz, 4);
    std::memcpy(bytes.data() + 36, &esiz, 4);
    zt::TempDir tmp;
    zt::spit(tmp.file("wide"), bytes);
    MC_area orig{}, wide{};
    ASSERT_EQ(read_area(file, &orig) + read_area(tmp.file("wide"), &wide), 0);
    int wrong = 0;
    for (std::size_t l = 0; l < lsiz; ++l)
        for (std::size_t e = 0; e < esiz; ++e)
            wrong += wide.image[l * esiz + e] != (l < 350 && e < 640 ? orig.image[l * 640 + e] : 0);
    EXPECT_EQ(wrong, 0);
    SAT_free_AREA(&orig);
    SAT_free_AREA(&wide);
}

}  // namespace
