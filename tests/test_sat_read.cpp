// The buffered byte/nibble/sync reader, the AREA reader on the small
// synthetic files of tests/data/area (host-order, byte-reversed and
// sync-framed; raw, two-byte and prefixed data; make_area.py writes them and
// describes their records), and SAT_read_file's record, labels and output
// modes. Expected pixels are worked out by hand in the comments. Broken
// files are rows of test_bad_input.cpp, real files are read in
// test_area_files.cpp.
#include "zem_test.h"

#include <cstring>

#include "flag.h"
#include "img_tool.h"
#include "plt_labl.h"
#include "resrc.h"
#include "sat_read.h"
#include "tools.h"

namespace {

using zt::Bytes;

const Bytes kPlain = {1, 2, 3, 4, 10, 20, 30, 40, 200, 201, 202, 203};  // the 3 x 4 files' pixels
const bool kLittle = [] {
    const std::uint16_t one = 1;
    return *reinterpret_cast<const std::uint8_t*>(&one) == 1;
}();

std::string synth(const std::string& name) { return std::string(ZEM_TEST_DATA) + "/area/" + name; }

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
    static int read(const std::string& file, MC_area* area) {
        FILE* f = std::fopen(synth(file).c_str(), "rb");
        const int rc = f ? SAT_read_AREA(f, area) : -2;
        if (f) std::fclose(f);
        return rc;
    }
    // goes_le.area with little-endian words changed ({byte offset, value};
    // a value below 0 puts the navigation type text "RECT"), read through
    // SAT_read_file.
    int read_file(std::initializer_list<std::pair<std::size_t, std::int64_t>> patch, IMG_report* img) {
        std::string bytes = zt::slurp(synth("goes_le.area"));
        for (auto [at, v] : patch) {
            const auto w = static_cast<std::uint32_t>(v);
            std::memcpy(bytes.data() + at, v < 0 ? "RECT" : reinterpret_cast<const char*>(&w), 4);
        }
        zt::spit(dir_.file("f.area"), bytes);
        IMG_init(img);
        return SAT_read_file(dir_.file("f.area").c_str(), img);
    }
    zt::TempDir dir_;
    FILE* stream_ = nullptr;
};

constexpr std::size_t kNdate = 12, kNavText = 256;  // byte offsets in goes_le.area

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
    for (int i = 4; i < 20001; ++i) ASSERT_EQ(getbyte(), b[std::size_t(i)]) << i;
    EXPECT_EQ(getword() & 0xFFu, kLittle ? b[20001] : 0u);  // 3 bytes left: a short word
    EXPECT_EQ(getbyte(), -1);
}

// getsync: its result and the bytes left after it.
TEST_F(ReaderTest, SyncMarkerSearch) {
    const struct {
        Bytes in;
        int sync, left;
    } cases[] = {
        // Found on the second attempt; nothing after it taken.
        {{0xAA, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x42}, 1, 1},
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
    for (const char* file : {"goes_le.area", "goes_be.area"}) {
        MC_area a{};
        ASSERT_EQ(read(file, &a), 0) << file;
        const MC_area_dir& d = *a.dir;
        EXPECT_EQ(std::vector<std::int64_t>({d.type, d.ndate, d.ntime, d.lcor, d.ecor, d.lsiz, d.esiz, d.filtmap}),
                  std::vector<std::int64_t>({4, 124065, 134500, 1001, 2001, 3, 4, 0x2A}));
        EXPECT_EQ(std::string(d.comments, 19) + std::string(d.stype, 8), "SYNTHETIC TEST AREAVISRBRIT");  // text
        EXPECT_STREQ(a.type, "GOES");
        ASSERT_NE(a.navg, nullptr);
        const auto* nav = reinterpret_cast<const std::uint8_t*>(a.navg);
        for (std::uint32_t i = 1, w; i <= 119; ++i) {
            std::memcpy(&w, nav + 4 * i, 4);
            ASSERT_EQ(w, 1000 * i + 7) << "navigation word " << i;
        }
        EXPECT_EQ(std::memcmp(nav + 480, "MEMO TEXT", 9), 0);  // the memo stays text
        SAT_free_AREA(&a);
    }
}

TEST_F(ReaderTest, EachNavigationTypeLandsOnItsPointer) {
    for (const std::string t : {"GVAR", "PS", "MSAT", "TANC", "MERC", ""}) {
        std::string file = "nav_" + (t.empty() ? std::string("unknown") : t) + ".area";
        for (char& ch : file) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        MC_area a{};
        ASSERT_EQ(read(file, &a), 0) << file;
        EXPECT_EQ(t, a.type);
        EXPECT_EQ(std::vector<bool>({a.navgv != nullptr, a.navps != nullptr, a.navtanc != nullptr, a.nav != nullptr}),
                  std::vector<bool>({t == "GVAR", t == "PS" || t == "MSAT", t == "TANC", t == "MERC"}))
            << t;
        if (a.navgv) {  // all 639 words after the type text are numbers
            std::uint32_t w;
            std::memcpy(&w, reinterpret_cast<const std::uint8_t*>(a.navgv) + 4 * 639, 4);
            EXPECT_EQ(w, 1000u * 639 + 7);
        }
        EXPECT_EQ(a.image[5], 20) << t;  // pixels from the data offset either way
        SAT_free_AREA(&a);
    }
}

// Each file with a bit shift, and the picture it gives (lines not listed are
// black). The records of the sync-framed files are listed in make_area.py.
TEST_F(ReaderTest, PixelLayoutsAndSyncFramedLines) {
    const struct {
        const char* file;
        int shift;
        Bytes want;
    } cases[] = {
        {"goes_le.area", 0, kPlain},
        {"goes_be.area", 0, kPlain},
        {"goes_le.area", 1, kPlain},  // one block without prefix: copied as it is
        {"far_data.area", 0, kPlain},
        {"two_byte.area", 0, {0x12, 0xAB}},  // the high byte of each value
        {"two_byte.area", 4, {0x23, 0xBC}},  // (0x1234 << 4) >> 8 = 0x123, cut to 8 bits
        {"prefix.area", 1, {0x22, 0x44, 0x66, 0x88, 0xAA, 0xCC}},
        {"sync_codes.area", 0, {0x64, 0x65, 0x65, 0x65, 0x65}},  // 0,6,4 sets 0x64; 12 adds 1; 15 repeats 3 times
        // 63; -6, +6, -5, +5; 14 repeats twice. Depth code 6: times 4.
        {"sync_steps.area", 0, {63, 57, 63, 58, 63, 63, 63, 252, 252}},
        {"sync_gap.area", 0, {0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0, 0, 0, 0x99}},
        // 17 is more than 10 past 5: taken as 5, so the line goes to slot 6.
        {"sync_jump.area", 0, {0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x77}},
        {"sync_second_marker.area", 0, {0x22, 0x33}},
        {"sync_prefix.area", 1, {0x82, 0x84}},
        // Steps -6..+1 around 0x80; then 2 - 6 = 252, 0xFD + 6 = 3 and
        // repeats that must not spill into the next line; then 0x42 alone.
        {"sync_every_code.area", 0, {0x80, 0x7A, 0x80, 0x7B, 0x80, 0x7C, 0x80, 0x7D, 0x80, 0x7E, 0x80, 0x7F, 0x80,
                                     0x80, 0x02, 252, 0xFD, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 0x42}},
    };
    for (const auto& c : cases) {
        SAT_set_bit_shift(c.shift);
        MC_area a{};
        ASSERT_EQ(read(c.file, &a), 0) << c.file;
        Bytes want = c.want;
        want.resize(std::size_t{a.dir->lsiz} * a.dir->esiz, 0);
        EXPECT_EQ(Bytes(a.image, a.image + want.size()), want) << c.file << " shift " << c.shift;
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
        EXPECT_EQ(read_file({{kNdate, c.ndate}}, &img), 0);
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
        EXPECT_EQ(read_file({}, &img), 0);
        EXPECT_EQ(img.data, nullptr);
        EXPECT_NE(cap.text().find(c.printed), std::string::npos) << c.mode << ": " << cap.text();
        EXPECT_STREQ(PLT_get_label(0, 0), "SYNTHETIC TEST AREA             ");
        EXPECT_STREQ(PLT_get_label(2, 0), "1345Z  5 MAR 24");
    }
}

TEST_F(ReaderTest, RecordOfAFullRead) {
    IMG_report img;
    ASSERT_EQ(read_file({{kNavText, -1}}, &img), 1);  // a map grid: no satellite maths
    EXPECT_EQ(std::vector<int>({img.source, img.width, img.height, img.bytes_line, img.depth, img.byte_order}),
              std::vector<int>({51, 4, 3, 4, 8, 1}));
    EXPECT_EQ(std::vector<float>({img.xres, img.yres, img.xoff, img.yoff}), std::vector<float>({4, 2, 2001, 1001}));
    EXPECT_STREQ(img.info, "SYNTHETIC TEST AREA             ");
    EXPECT_STREQ(img.datim, "1345Z  5 MAR 24");
    EXPECT_EQ(Bytes(img.data, img.data + 12), kPlain);
    EXPECT_EQ(SAT_get_imager_source(), 51);
    IMG_free(&img);
    // GOES navigation counts lines from the start of the scan.
    RES_put("output", "date");
    read_file({}, &img);
    EXPECT_EQ(img.yoff, 701.0f);  // lcor 1001 - startscan 300
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
        EXPECT_EQ(SAT_get_tran_sat(), code >= 53 ? 0 : 1) << code;
    }
    EXPECT_EQ(zt::count_of(cap.text(), "not built yet"), 5) << cap.text();
    zt::spit(dir_.file("in.zem"), "ZEMIMG\n1200Z  5 MAR 24\npackage image\n2 2\n\x01\x02\x03\x04");
    FLAG_set(14, kFormatImg);
    ASSERT_EQ(SAT_read_file(dir_.file("in.zem").c_str(), &img), 1);
    EXPECT_EQ(std::vector<int>({SAT_get_tran_sat(), img.source, img.data[3]}), std::vector<int>({0, 50, 4}));
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
    swap_setup(-1);
    swap_long(b);  // off: untouched
    EXPECT_EQ(Bytes(b, b + 8), Bytes({7, 8, 5, 6, 1, 2, 3, 4}));
    const std::uint8_t raw[] = {0x12, 0x34, 0x56, 0x78, 0x9A};
    const ByteView v(raw, 5);
    EXPECT_EQ(std::vector<std::int64_t>({*get_u32(v, 0, ByteOrder::big), *get_u32(v, 1, ByteOrder::little),
                                         *get_i16(v, 3, ByteOrder::big), std::int64_t(get_bytes(v, 4, 1)->size()),
                                         std::int64_t(*checked_area(640, 480))}),
              std::vector<std::int64_t>({0x12345678, 0x9A785634, 0x789A, 1, 307200}));
    EXPECT_FALSE(get_u32(v, 2, ByteOrder::big) || get_u8(v, 5) || get_bytes(v, 4, 2) ||
                 get_u16(v, static_cast<std::size_t>(-1), ByteOrder::big));
    EXPECT_FALSE(checked_area(70000, 70000) || checked_area(-1, 5) || checked_volume(2000, 2000, 1000));
}

}  // namespace
