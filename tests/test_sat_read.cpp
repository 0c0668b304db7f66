// The buffered byte/nibble/sync reader, the AREA reader on small files built
// here from the AREA layout (host-order, byte-reversed and sync-framed; raw,
// two-byte and prefixed data), and SAT_read_file's record, labels, output
// modes and prints. Expected values are worked out by hand in the comments.
// Broken files are rows of test_bad_input.cpp, real files are read in
// test_area_files.cpp.
#include "zem_test.h"

#include <cstring>

#include "date.h"
#include "flag.h"
#include "img_tool.h"
#include "plt_labl.h"
#include "resrc.h"
#include "sat_read.h"
#include "tools.h"

namespace {

using zt::Bytes;

const bool kLittle = [] {
    const std::uint16_t one = 1;
    std::uint8_t first;
    std::memcpy(&first, &one, 1);
    return first == 1;
}();

void put32(Bytes& b, std::size_t off, std::uint32_t v, bool big) {
    for (int i = 0; i < 4; ++i) b[off + i] = static_cast<std::uint8_t>(big ? v >> (24 - 8 * i) : v >> (8 * i));
}

// A small AREA file: directory, navigation block of `nav_bytes` ("" none),
// data at `navkey` (0: right after the block).
struct Area {
    std::uint32_t lsiz = 3, esiz = 4, zsiz = 1, prefix = 0, navkey = 0, startscan = 0, ndate = 124065;
    std::string nav = "GOES";
    std::size_t nav_bytes = 512;
    Bytes data = {1, 2, 3, 4, 10, 20, 30, 40, 200, 201, 202, 203};
};
std::uint32_t nav_word(std::size_t i) { return static_cast<std::uint32_t>(1000 * i + 7); }

Bytes make_area(const Area& s, bool big) {
    const std::size_t nb = s.nav.empty() ? 0 : s.nav_bytes;
    Bytes f(256 + nb, 0);
    // Word: 1 type, 3 date, 4 time, 5 lcor, 6 ecor, 8 lsiz, 9 esiz, 10 zsiz,
    // 11 lres, 12 eres, 14 prefix, 18 filter map, 33 data offset, 47 startscan.
    const std::pair<int, std::uint32_t> words[] = {
        {1, 4}, {2, 70}, {3, s.ndate}, {4, 134500}, {5, 1001}, {6, 2001}, {8, s.lsiz}, {9, s.esiz},
        {10, s.zsiz}, {11, 2}, {12, 4}, {14, s.prefix}, {18, 0x2A},
        {33, s.navkey ? s.navkey : static_cast<std::uint32_t>(256 + nb)}, {47, s.startscan}};
    for (auto [w, v] : words) put32(f, 4 * static_cast<std::size_t>(w), v, big);
    std::memcpy(f.data() + 96, "SYNTHETIC TEST AREA             ", 32);
    std::memcpy(f.data() + 204, "VISRBRIT", 8);
    if (nb) {
        std::memcpy(f.data() + 256, s.nav.data(), std::min<std::size_t>(4, s.nav.size()));
        for (std::size_t i = 1; i <= (nb == 2560 ? 639u : 119u); ++i) put32(f, 256 + 4 * i, nav_word(i), big);
        if (nb == 512) std::memcpy(f.data() + 256 + 480, "MEMO TEXT", 9);
    }
    if (s.navkey > f.size()) f.resize(s.navkey, 0);
    f.insert(f.end(), s.data.begin(), s.data.end());
    return f;
}

const Bytes kMarker = {0x00, 0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0xFF};

// One sync-framed line record: marker, line number, `prefix` bytes, depth
// code, count of coded bytes, nibbles two per byte (an odd count padded with
// 0xF, which the decoder stops before once the line is full). Depth 0: the
// marker followed by `nibbles` as raw bytes.
struct Rec {
    std::uint32_t num;
    std::uint16_t depth;
    std::vector<int> nibbles;
};
void add_record(Bytes& out, const Rec& r, std::uint32_t prefix) {
    out.insert(out.end(), kMarker.begin(), kMarker.end());
    if (r.depth == 0) {
        out.insert(out.end(), r.nibbles.begin(), r.nibbles.end());
        return;
    }
    for (int i = 3; i >= 0; --i) out.push_back(static_cast<std::uint8_t>(r.num >> (8 * i)));
    out.insert(out.end(), prefix, 0xEE);
    std::vector<int> n = r.nibbles;
    if (n.size() % 2) n.push_back(0xF);
    const std::size_t count = n.size() / 2;
    for (std::size_t v : {std::size_t{r.depth}, count}) {
        out.push_back(static_cast<std::uint8_t>(v >> 8));
        out.push_back(static_cast<std::uint8_t>(v));
    }
    for (std::size_t k = 0; k < n.size(); k += 2) out.push_back(static_cast<std::uint8_t>((n[k] << 4) | n[k + 1]));
}

// Marker, big-endian directory, marker, navigation block, then the records.
Bytes make_sync(Area s, const std::vector<Rec>& recs) {
    s.navkey = 256 + 8 + 512;
    s.data.clear();
    const Bytes plain = make_area(s, true);
    Bytes out(kMarker);
    out.insert(out.end(), plain.begin(), plain.begin() + 256);
    out.insert(out.end(), kMarker.begin(), kMarker.end());
    out.insert(out.end(), plain.begin() + 256, plain.begin() + 256 + 512);
    for (const Rec& r : recs) add_record(out, r, s.prefix);
    return out;
}

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
    void TearDown() override {
        SAT_reader_open(nullptr);
        if (stream_) std::fclose(stream_);
    }
    // Points the buffered reader at a stream holding `bytes`.
    void feed(const Bytes& bytes) {
        if (stream_) std::fclose(stream_);
        stream_ = std::tmpfile();
        ASSERT_NE(stream_, nullptr);
        std::fwrite(bytes.data(), 1, bytes.size(), stream_);
        std::rewind(stream_);
        SAT_reader_open(stream_);
    }
    int read(const Bytes& bytes, MC_area* area) {
        zt::spit(dir_.file("in.area"), bytes);
        FILE* f = std::fopen(dir_.file("in.area").c_str(), "rb");
        const int rc = SAT_read_AREA(f, area);
        std::fclose(f);
        return rc;
    }
    int read_file(const Area& s, IMG_report* img) {
        zt::spit(dir_.file("f.area"), make_area(s, false));
        IMG_init(img);
        return SAT_read_file(dir_.file("f.area").c_str(), img);
    }
    zt::TempDir dir_;
    FILE* stream_ = nullptr;
};

// ---- Buffered reader ----------------------------------------------------------

TEST_F(ReaderTest, NibblesHighFirstAndWordsAcrossARefill) {
    feed({0xAB, 0xCD});
    for (int want : {0xA, 0xB, 0xC}) EXPECT_EQ(getnib(), want);
    EXPECT_EQ(SAT_reader_nib_bytes(), 1);
    EXPECT_EQ(getnib(), 0xD);
    EXPECT_EQ(SAT_reader_nib_bytes(), 2);
    EXPECT_EQ(getnib(), -1);
    Bytes b(20004);
    for (std::size_t i = 0; i < b.size(); ++i) b[i] = static_cast<std::uint8_t>(i * 7);
    feed(b);
    unsigned first = 0;
    std::memcpy(&first, b.data(), 4);
    EXPECT_EQ(getword(), first);  // host order
    for (int i = 4; i < 20001; ++i) ASSERT_EQ(getbyte(), b[static_cast<std::size_t>(i)]) << i;
    EXPECT_EQ(getword() & 0xFFu, kLittle ? b[20001] : 0u);  // 3 bytes left: a short word
    EXPECT_EQ(getbyte(), -1);
}

// getsync: its result and the bytes left after it.
TEST_F(ReaderTest, SyncMarkerSearch) {
    Bytes stray = {0xAA};
    stray.insert(stray.end(), kMarker.begin(), kMarker.end());
    stray.push_back(0x42);
    const struct {
        Bytes in;
        int sync, left;
    } cases[] = {
        {stray, 1, 1},  // found on the second attempt; nothing after it taken
        // The first attempt fails on the second 00 and consumes it, so the
        // marker starting there is lost and the rest never completes one.
        {{0x00, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0xFF}, -1, 0},
        {Bytes(1500, 0xAA), 0, 1500 - 1024},  // 1024 one-byte attempts
    };
    for (const auto& c : cases) {
        feed(c.in);
        EXPECT_EQ(getsync(), c.sync);
        int left = 0;
        while (getbyte() >= 0) ++left;
        EXPECT_EQ(left, c.left);
    }
}

// ---- AREA reader --------------------------------------------------------------

TEST_F(ReaderTest, DirectoryAndNavigationInBothByteOrders) {
    for (bool big : {false, true}) {
        MC_area a{};
        ASSERT_EQ(read(make_area(Area{}, big), &a), 0) << big;
        EXPECT_EQ(a.dir->type, 4u);
        EXPECT_EQ(a.dir->ndate, 124065u);
        EXPECT_EQ(a.dir->ntime, 134500u);
        EXPECT_EQ(a.dir->lcor, 1001);
        EXPECT_EQ(a.dir->ecor, 2001);
        EXPECT_EQ(a.dir->lsiz, 3u);
        EXPECT_EQ(a.dir->filtmap, 0x2Au);
        EXPECT_EQ(std::string(a.dir->comments, 19), "SYNTHETIC TEST AREA");
        EXPECT_EQ(std::string(a.dir->stype, 4) + std::string(a.dir->ctype, 4), "VISRBRIT");  // text: never swapped
        EXPECT_STREQ(a.type, "GOES");
        ASSERT_NE(a.navg, nullptr);
        const auto* nav = reinterpret_cast<const std::uint8_t*>(a.navg);
        for (std::size_t i = 1; i <= 119; ++i) {
            std::uint32_t w;
            std::memcpy(&w, nav + 4 * i, 4);
            ASSERT_EQ(w, nav_word(i)) << "navigation word " << i;
        }
        EXPECT_EQ(std::memcmp(nav + 480, "MEMO TEXT", 9), 0);  // the memo stays text
        SAT_free_AREA(&a);
    }
}

TEST_F(ReaderTest, EachNavigationTypeLandsOnItsPointer) {
    const struct {
        const char* text;
        std::size_t bytes;
        const char* type;
    } cases[] = {{"GVAR", 2560, "GVAR"}, {"PS  ", 512, "PS"},   {"MSAT", 512, "MSAT"},
                 {"TANC", 512, "TANC"},  {"MERC", 512, "MERC"}, {"XXXX", 512, ""}};
    for (const auto& c : cases) {
        MC_area a{};
        ASSERT_EQ(read(make_area(Area{.nav = c.text, .nav_bytes = c.bytes}, !kLittle), &a), 0) << c.text;
        const std::string t = c.type;
        EXPECT_EQ(t, a.type);
        EXPECT_EQ(a.navgv != nullptr, t == "GVAR") << t;
        EXPECT_EQ(a.navps != nullptr, t == "PS" || t == "MSAT") << t;
        EXPECT_EQ(a.navtanc != nullptr, t == "TANC") << t;
        EXPECT_EQ(a.nav != nullptr, t == "MERC") << t;
        if (a.navgv) {  // all 639 words after the type text are numbers
            std::uint32_t w;
            std::memcpy(&w, reinterpret_cast<const std::uint8_t*>(a.navgv) + 4 * 639, 4);
            EXPECT_EQ(w, nav_word(639));
        }
        EXPECT_EQ(a.image[5], 20) << t;  // pixels from the data offset either way
        SAT_free_AREA(&a);
    }
}

TEST_F(ReaderTest, PlainPixelLayouts) {
    const Bytes kPlain = Area{}.data;
    const Bytes two = {0x12, 0x34, 0xAB, 0xCD};
    const struct {
        const char* what;
        Area area;
        bool big;
        int shift;
        Bytes want;
    } cases[] = {
        {"host order", Area{}, !kLittle, 0, kPlain},
        {"byte-reversed", Area{}, kLittle, 0, kPlain},
        {"two-byte values keep the high byte", Area{.lsiz = 1, .esiz = 2, .zsiz = 2, .data = two}, false, 0,
         {0x12, 0xAB}},
        // (0x1234 << 4) >> 8 = 0x123, cut to 8 bits.
        {"two-byte values shifted", Area{.lsiz = 1, .esiz = 2, .zsiz = 2, .data = two}, false, 4, {0x23, 0xBC}},
        {"line prefix skipped, shift applied", Area{.lsiz = 2, .esiz = 3, .prefix = 2,
         .data = {9, 9, 0x11, 0x22, 0x33, 9, 9, 0x44, 0x55, 0x66}}, false, 1, {0x22, 0x44, 0x66, 0x88, 0xAA, 0xCC}},
        {"one block without prefix copied as it is", Area{}, false, 1, kPlain},
        {"data past the first buffer fill", Area{.navkey = 50000}, false, 0, kPlain},
    };
    for (const auto& c : cases) {
        SAT_set_bit_shift(c.shift);
        MC_area a{};
        ASSERT_EQ(read(make_area(c.area, c.big), &a), 0) << c.what;
        EXPECT_EQ(Bytes(a.image, a.image + c.want.size()), c.want) << c.what;
        SAT_free_AREA(&a);
    }
}

// Sync-framed files: rows of records and the picture they give (lines not
// listed are black).
TEST_F(ReaderTest, SyncFramedLines) {
    std::vector<Rec> ramp;
    for (std::uint32_t l = 0; l <= 5; ++l) ramp.push_back({l, 8, {0, 1, static_cast<int>(l)}});
    auto with = [&](Rec r) {
        auto v = ramp;
        v.push_back(std::move(r));
        return v;
    };
    const struct {
        const char* what;
        std::uint32_t lines, elems, prefix;
        int shift;
        std::vector<Rec> recs;
        Bytes want;
    } cases[] = {
        // 0,6,4 sets 0x64; 12 adds 1; 15 repeats three times.
        {"nibble codes", 1, 5, 0, 0, {{0, 8, {0, 6, 4, 12, 15}}}, {0x64, 0x65, 0x65, 0x65, 0x65}},
        // 63; -6, +6, -5, +5; 14 repeats twice. Depth code 6: times 4.
        {"steps, repeats, six-bit depth", 2, 7, 0, 0,
         {{0, 8, {0, 3, 15, 1, 2, 3, 4, 14}}, {1, 6, {0, 3, 15, 13}}},
         {63, 57, 63, 58, 63, 63, 63, 252, 252}},
        {"gap of three lines filled black", 12, 1, 0, 0, with({9, 8, {0, 9, 9}}),
         {0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0, 0, 0, 0x99}},
        // 17 is more than 10 past 5: taken as 5, so the line goes to slot 6.
        {"jump past ten rejected", 30, 1, 0, 0, with({17, 8, {0, 7, 7}}), {0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x77}},
        // A number field starting 0x80: the number follows a further marker.
        {"number after a second marker", 2, 1, 0, 0, {{0, 8, {0, 2, 2}}, {0, 0, {0x80, 0x11, 0x22, 0x33}},
         {1, 8, {0, 3, 3}}}, {0x22, 0x33}},
        {"prefix skipped, shift applied", 1, 2, 3, 1, {{0, 8, {0, 4, 1, 12}}}, {0x82, 0x84}},
        // From 0x80 every step code in turn, then a repeat; then wrapping:
        // 2 - 6 = 252, 0xFD + 6 = 3, and repeats past the line's end that
        // must not spill into the next line; then a line whose byte count
        // (1) ends it after 0, 4, 2.
        {"every code, wrap-around, line ends", 3, 14, 0, 0,
         {{0, 8, {0, 8, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}},
          {1, 8, {0, 0, 2, 1, 0, 15, 13, 2, 15, 15, 15}},
          {0, 0, {0, 0, 0, 2, 0, 8, 0, 1, 0x04, 0x2F}}},
         {0x80, 0x7A, 0x80, 0x7B, 0x80, 0x7C, 0x80, 0x7D, 0x80, 0x7E, 0x80, 0x7F, 0x80, 0x80,
          0x02, 252, 0xFD, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 0x42}},
    };
    for (const auto& c : cases) {
        SAT_set_bit_shift(c.shift);
        MC_area a{};
        ASSERT_EQ(read(make_sync(Area{.lsiz = c.lines, .esiz = c.elems, .prefix = c.prefix}, c.recs), &a), 0)
            << c.what;
        EXPECT_STREQ(a.type, "GOES");
        Bytes want = c.want;
        want.resize(std::size_t{c.lines} * c.elems, 0);
        EXPECT_EQ(Bytes(a.image, a.image + want.size()), want) << c.what;
        SAT_free_AREA(&a);
    }
}

// ---- SAT_read_file ----------------------------------------------------------------

// Day stamps YYDDD, YYYDDD (years since 1900) and YYYYDDD; day 123 is 3 May
// outside leap years (31+28+31+30 = 120 days before May).
TEST_F(ReaderTest, DayStampsOfEveryWidth) {
    const struct {
        std::uint32_t ndate;
        int year, month, day;
    } cases[] = {{99123, 1999, 5, 3}, {24060, 2024, 2, 29}, {105123, 2005, 5, 3}, {2005123, 2005, 5, 3},
                 {124060, 2024, 2, 29}};
    RES_put("output", "date");  // stop before navigation
    for (const auto& c : cases) {
        IMG_report img;
        EXPECT_EQ(read_file(Area{.ndate = c.ndate}, &img), 0);
        EXPECT_EQ(std::vector<int>({img.date.year, img.date.month, img.date.day, img.date.hour, img.date.min}),
                  std::vector<int>({c.year, c.month, c.day, 13, 45}))
            << c.ndate;
    }
}

// The answer modes print one line for the image date (2024 day 65 = 5
// March, 13:45) and hand back no picture.
TEST_F(ReaderTest, OutputModesAnswerInsteadOfPlotting) {
    const struct {
        const char *mode, *out_file, *printed;
    } cases[] = {{"DATE", "", "1345Z  5 MAR 24\n"}, {"seq", "", "202403051345\n"},
                 {"file", "img_%y%m%d%h%n.zem", "img_2403051345.zem\n"}};
    for (const auto& c : cases) {
        RES_put("output", c.mode);
        RES_put("out_file", c.out_file);
        zt::MessCapture cap;
        IMG_report img;
        EXPECT_EQ(read_file(Area{}, &img), 0);
        EXPECT_EQ(img.data, nullptr);
        EXPECT_NE(cap.text().find(c.printed), std::string::npos) << c.mode << ": " << cap.text();
        EXPECT_STREQ(PLT_get_label(0, 0), "SYNTHETIC TEST AREA             ");
        EXPECT_STREQ(PLT_get_label(2, 0), "1345Z  5 MAR 24");
    }
}

TEST_F(ReaderTest, RecordOfAFullRead) {
    IMG_report img;
    ASSERT_EQ(read_file(Area{.nav = "RECT"}, &img), 1);  // map grid: no satellite maths
    EXPECT_EQ(std::vector<int>({img.source, img.width, img.height, img.bytes_line, img.depth, img.byte_order}),
              std::vector<int>({51, 4, 3, 4, 8, 1}));
    EXPECT_EQ(std::vector<float>({img.xres, img.yres, img.xoff, img.yoff}),
              std::vector<float>({4, 2, 2001, 1001}));
    EXPECT_STREQ(img.info, "SYNTHETIC TEST AREA             ");
    EXPECT_STREQ(img.datim, "1345Z  5 MAR 24");
    EXPECT_EQ(Bytes(img.data, img.data + 12), Area{}.data);
    EXPECT_EQ(SAT_get_imager_source(), 51);
    IMG_free(&img);
    // GOES navigation counts lines from the start of the scan.
    RES_put("output", "date");
    read_file(Area{.startscan = 300}, &img);
    EXPECT_EQ(img.yoff, 701.0f);  // lcor 1001 - startscan 300
}

// What a run prints at each level, in order (eres 4, lres 2, ecor 2001,
// lcor 1001, filter map 0x2A).
TEST_F(ReaderTest, PrintsAtTheirLevels) {
    const std::string out3 =
        "Date: 1345Z  5 MAR 24\nSize: 4x3\nResolution: 4x2\nCorrection: 2001x1001\nBands: 2a\n"
        "Source type: VISR\nCalibration type: BRIT\nNavigation type: RECT\n"
        "Comments: SYNTHETIC TEST AREA             \n";
    for (bool verbose : {true, false}) {
        zt::MessCapture cap;
        if (verbose) MESS_set(0, M_out3);
        IMG_report img;
        ASSERT_EQ(read_file(Area{.nav = "RECT"}, &img), 1);
        IMG_free(&img);
        const std::string t = cap.text();
        if (verbose) {
            EXPECT_NE(t.find(out3), std::string::npos) << t;
        }
        EXPECT_NE(t.find("Comments: SYNTHETIC TEST AREA"), std::string::npos) << t;
        EXPECT_EQ(t.find("Resolution:") != std::string::npos, verbose) << t;
    }
}

// Formats not built yet say so and read nothing; any non-AREA read first
// switches satellite remapping off. A package image file is read as input.
TEST_F(ReaderTest, OtherFormats) {
    zt::MessCapture cap;
    zt::spit(dir_.file("x.gini"), Bytes(100, 0));
    IMG_report img;
    IMG_init(&img);
    for (int code : {53, 54, 55, 59, 60, 52, kMissing}) {
        SAT_set_tran_sat(1);
        FLAG_set(14, code);
        EXPECT_EQ(SAT_read_file(dir_.file("x.gini").c_str(), &img), 0) << code;
        if (code >= 53) {
            EXPECT_EQ(SAT_get_tran_sat(), 0) << code;
        }
    }
    EXPECT_EQ(zt::count_of(cap.text(), "not built yet"), 5) << cap.text();
    zt::spit(dir_.file("in.zem"), "ZEMIMG\n1200Z  5 MAR 24\npackage image\n2 2\n\x01\x02\x03\x04");
    FLAG_set(14, kFormatImg);
    SAT_set_tran_sat(1);
    ASSERT_EQ(SAT_read_file(dir_.file("in.zem").c_str(), &img), 1);
    EXPECT_EQ(SAT_get_tran_sat(), 0);
    EXPECT_EQ(img.source, 50);
    EXPECT_EQ(img.data[3], 4);
    EXPECT_STREQ(PLT_get_label(0, 0), "package image");
    EXPECT_STREQ(PLT_get_label(2, 0), "1200Z  5 MAR 24");
    IMG_free(&img);
}

// ---- Byte order and bounded getters ---------------------------------------------

TEST(ByteTools, SwapsFollowTheHostOrderAndGettersStopAtTheEnd) {
    EXPECT_EQ(std::vector<int>({swap_setup(-1), swap_setup(0), swap_setup(1), swap_setup(2)}),
              std::vector<int>({0, 1, kLittle ? 1 : 0, kLittle ? 0 : 1}));
    swap_setup(0);
    std::uint8_t b[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    swap_long(b);
    swap_shorts(b + 4, 2);
    EXPECT_EQ(Bytes(b, b + 8), Bytes({4, 3, 2, 1, 6, 5, 8, 7}));
    swap_double(b);
    EXPECT_EQ(Bytes(b, b + 8), Bytes({7, 8, 5, 6, 1, 2, 3, 4}));
    swap_setup(-1);
    swap_long(b);
    EXPECT_EQ(b[0], 7);  // off: untouched
    const std::uint8_t raw[] = {0x12, 0x34, 0x56, 0x78, 0x9A};
    const ByteView v(raw, 5);
    EXPECT_EQ(get_u32(v, 0, ByteOrder::big).value(), 0x12345678u);
    EXPECT_EQ(get_u32(v, 1, ByteOrder::little).value(), 0x9A785634u);
    EXPECT_EQ(get_i16(v, 3, ByteOrder::big).value(), static_cast<std::int16_t>(0x789A));
    EXPECT_FALSE(get_u32(v, 2, ByteOrder::big));
    EXPECT_FALSE(get_u8(v, 5));
    EXPECT_FALSE(get_u16(v, static_cast<std::size_t>(-1), ByteOrder::big));
    EXPECT_FALSE(get_bytes(v, 4, 2));
    EXPECT_EQ(get_bytes(v, 4, 1)->size(), 1u);
    EXPECT_EQ(checked_area(640, 480).value(), 307200u);
    EXPECT_FALSE(checked_area(70000, 70000));
    EXPECT_FALSE(checked_area(-1, 5));
    EXPECT_FALSE(checked_volume(2000, 2000, 1000));
}

}  // namespace
