// The buffered byte/nibble/sync reader, the AREA reader on synthetic files
// in all three physical variants, its failure cases, and SAT_read_file.
// Every synthetic file is built byte by byte in ingest_util.h; expected
// values are worked out by hand in the comments.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <zlib.h>

#include "date.h"
#include "flag.h"
#include "img_tool.h"
#include "ingest_util.h"
#include "mess.h"
#include "plt_labl.h"
#include "resrc.h"
#include "sat_read.h"
#include "tools.h"

using namespace ingest_test;

namespace {

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
        SAT_reader_open(nullptr);
    }
    void TearDown() override { SAT_reader_open(nullptr); }

    // Points the buffered reader at a temporary stream holding `bytes`.
    void feed(const Bytes& bytes) {
        if (stream_) std::fclose(stream_);
        stream_ = std::tmpfile();
        ASSERT_NE(stream_, nullptr);
        std::fwrite(bytes.data(), 1, bytes.size(), stream_);
        std::rewind(stream_);
        SAT_reader_open(stream_);
    }
    ~ReaderTest() override {
        if (stream_) std::fclose(stream_);
    }

    // Reads `bytes` as an AREA file; rc, and the record in `area`.
    int read_bytes(const Bytes& bytes, MC_area* area) {
        const std::string name = dir_.file("in.area");
        write_file(name, bytes);
        return read_area_file(name, area);
    }

    TempDir dir_;
    FILE* stream_ = nullptr;
};

// ---- buffered reader -------------------------------------------------------

TEST_F(ReaderTest, NibblesComeHighFirstAndCountWholeBytes) {
    feed({0xAB, 0xCD});
    EXPECT_EQ(getnib(), 0xA);
    EXPECT_EQ(SAT_reader_nib_bytes(), 0);
    EXPECT_EQ(getnib(), 0xB);
    EXPECT_EQ(getnib(), 0xC);
    EXPECT_EQ(getnib(), 0xD);
    EXPECT_EQ(SAT_reader_nib_bytes(), 2);
    EXPECT_EQ(getnib(), -1);
    EXPECT_EQ(getbyte(), -1);
}

TEST_F(ReaderTest, SyncFoundOnSecondAttemptAfterOneStrayByte) {
    Bytes b = {0xAA};
    b.insert(b.end(), kMarker.begin(), kMarker.end());
    b.push_back(0x42);
    feed(b);
    EXPECT_EQ(getsync(), 1);
    EXPECT_EQ(getbyte(), 0x42);  // the marker, and nothing after it, was consumed
}

TEST_F(ReaderTest, SyncMissesMarkerStartingInsideAFailedAttempt) {
    // 00 00 FF 00 FF 00 FF 00 FF: the first attempt matches 00, fails on the
    // second 00 and consumes it, so the marker that starts there is lost;
    // what remains (FF 00 FF 00 FF 00 FF) never completes one.
    feed({0x00, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0xFF});
    EXPECT_EQ(getsync(), -1);
}

TEST_F(ReaderTest, SyncGivesUpAfter1024AttemptsAndAtEnd) {
    feed(Bytes(1500, 0xAA));
    EXPECT_EQ(getsync(), 0);
    // 1024 single-byte attempts consumed exactly 1024 bytes.
    int left = 0;
    while (getbyte() >= 0) ++left;
    EXPECT_EQ(left, 1500 - 1024);
    EXPECT_EQ(getsync(), -1);
}

TEST_F(ReaderTest, WordsAreInHostOrderAndRefillAcross20000Bytes) {
    Bytes b(20004, 0);
    for (std::size_t i = 0; i < b.size(); ++i) b[i] = static_cast<std::uint8_t>(i * 7);
    feed(b);
    unsigned expect = 0;
    std::memcpy(&expect, b.data(), 4);
    EXPECT_EQ(getword(), expect);
    for (int i = 4; i < 20000; ++i) ASSERT_EQ(getbyte(), b[i]) << i;
    EXPECT_EQ(getbyte(), b[20000]);  // read after a refill
    EXPECT_EQ(getword() & 0xFFu, 0u + (host_is_little() ? b[20001] : 0u));
}

// ---- AREA reader: plain variants -----------------------------------------

AreaFields small_area() {
    AreaFields s;
    s.data = {1, 2, 3, 4, 10, 20, 30, 40, 200, 201, 202, 203};  // 3 lines x 4
    return s;
}

TEST_F(ReaderTest, HostAndReversedFilesReadTheSame) {
    const AreaFields s = small_area();
    MC_area a{}, b{};
    ASSERT_EQ(read_bytes(make_area(s, !host_is_little()), &a), 0);
    ASSERT_EQ(read_bytes(make_area(s, host_is_little()), &b), 0);
    for (MC_area* r : {&a, &b}) {
        EXPECT_EQ(r->dir->type, 4u);
        EXPECT_EQ(r->dir->ndate, 124065u);
        EXPECT_EQ(r->dir->ntime, 134500u);
        EXPECT_EQ(r->dir->lcor, 1001);
        EXPECT_EQ(r->dir->esiz, 4u);
        EXPECT_EQ(r->dir->lsiz, 3u);
        EXPECT_EQ(r->dir->filtmap, 0x10u);
        EXPECT_EQ(std::string(r->dir->comments, 19), "SYNTHETIC TEST AREA");
        EXPECT_EQ(std::string(r->dir->stype, 4), "VISR");  // text: never swapped
        EXPECT_EQ(std::string(r->dir->ctype, 4), "BRIT");
        EXPECT_STREQ(r->type, "GOES");
        ASSERT_NE(r->navg, nullptr);
        const auto* nav = reinterpret_cast<const std::uint8_t*>(r->navg);
        EXPECT_EQ(std::memcmp(nav, "GOES", 4), 0);
        for (std::size_t i = 1; i <= 119; ++i) {
            std::uint32_t w;
            std::memcpy(&w, nav + 4 * i, 4);
            ASSERT_EQ(w, nav_word(i)) << "navigation word " << i;
        }
        EXPECT_EQ(std::memcmp(nav + 480, "MEMO TEXT", 9), 0);  // memo stays text
        EXPECT_EQ(std::memcmp(r->image, s.data.data(), 12), 0);
    }
    SAT_free_AREA(&a);
    SAT_free_AREA(&b);
}

TEST_F(ReaderTest, EachNavigationTypeLandsOnItsPointer) {
    struct Case {
        const char* text;
        std::size_t bytes;
        const char* type;
    };
    const Case cases[] = {{"GVAR", 2560, "GVAR"}, {"PS  ", 512, "PS"},   {"MSAT", 512, "MSAT"},
                          {"TANC", 512, "TANC"},  {"MERC", 512, "MERC"}, {"XXXX", 512, ""}};
    for (const Case& c : cases) {
        AreaFields s = small_area();
        s.nav = c.text;
        s.nav_bytes = c.bytes;
        MC_area a{};
        ASSERT_EQ(read_bytes(make_area(s, !host_is_little()), &a), 0) << c.text;
        EXPECT_STREQ(a.type, c.type);
        const std::string t = c.type;
        EXPECT_EQ(a.navgv != nullptr, t == "GVAR");
        EXPECT_EQ(a.navps != nullptr, t == "PS" || t == "MSAT");
        EXPECT_EQ(a.navtanc != nullptr, t == "TANC");
        EXPECT_EQ(a.nav != nullptr, t == "MERC");
        if (t == "GVAR") {
            // All 639 words after the type text are numbers.
            std::uint32_t w;
            std::memcpy(&w, reinterpret_cast<const std::uint8_t*>(a.navgv) + 4 * 639, 4);
            EXPECT_EQ(w, nav_word(639));
        }
        // Without a known type the bytes after the directory are not a
        // navigation block: the pixels still come from the data offset.
        EXPECT_EQ(a.image[5], 20);
        SAT_free_AREA(&a);
    }
}

TEST_F(ReaderTest, TwoBytePixelsKeepTheHighByteOrShift) {
    AreaFields s;
    s.lsiz = 1;
    s.esiz = 2;
    s.zsiz = 2;
    s.data = {0x12, 0x34, 0xAB, 0xCD};
    MC_area a{};
    ASSERT_EQ(read_bytes(make_area(s, host_is_little()), &a), 0);
    EXPECT_EQ(a.image[0], 0x12);
    EXPECT_EQ(a.image[1], 0xAB);
    SAT_free_AREA(&a);
    // Shift 4: (0x1234 << 4) >> 8 = 0x123, cut to 8 bits 0x23.
    SAT_set_bit_shift(4);
    ASSERT_EQ(read_bytes(make_area(s, host_is_little()), &a), 0);
    EXPECT_EQ(a.image[0], 0x23);
    EXPECT_EQ(a.image[1], 0xBC);
    SAT_free_AREA(&a);
}

TEST_F(ReaderTest, LinePrefixIsSkippedAndShiftAppliesOnlyWithIt) {
    AreaFields s;
    s.lsiz = 2;
    s.esiz = 3;
    s.yzprefix = 2;
    s.data = {9, 9, 0x11, 0x22, 0x33, 9, 9, 0x44, 0x55, 0x66};
    SAT_set_bit_shift(1);
    MC_area a{};
    ASSERT_EQ(read_bytes(make_area(s, false), &a), 0);
    const std::uint8_t want[] = {0x22, 0x44, 0x66, 0x88, 0xAA, 0xCC};
    EXPECT_EQ(std::memcmp(a.image, want, 6), 0);
    SAT_free_AREA(&a);
    // Without a prefix the block is copied as it is, shift or not.
    s = small_area();
    ASSERT_EQ(read_bytes(make_area(s, false), &a), 0);
    EXPECT_EQ(a.image[11], 203);
    SAT_free_AREA(&a);
}

TEST_F(ReaderTest, DataFarIntoTheFileAreFound) {
    AreaFields s = small_area();
    s.navkey = 50000;  // past the first 20000-byte buffer fill
    MC_area a{};
    ASSERT_EQ(read_bytes(make_area(s, false), &a), 0);
    EXPECT_EQ(std::memcmp(a.image, s.data.data(), 12), 0);
    SAT_free_AREA(&a);
}

// ---- AREA reader: sync-framed variant -------------------------------------

AreaFields sync_area(std::uint32_t lines, std::uint32_t elems) {
    AreaFields s;
    s.lsiz = lines;
    s.esiz = elems;
    return s;
}

TEST_F(ReaderTest, SyncLineDecodesNibbleCodes) {
    Bytes f = make_sync_head(sync_area(1, 5));
    add_sync_line(f, 0, 8, {0, 6, 4, 12, 15});
    MC_area a{};
    ASSERT_EQ(read_bytes(f, &a), 0);
    EXPECT_EQ(a.dir->esiz, 5u);
    EXPECT_STREQ(a.type, "GOES");
    const std::uint8_t want[] = {0x64, 0x65, 0x65, 0x65, 0x65};
    EXPECT_EQ(std::memcmp(a.image, want, 5), 0);
    SAT_free_AREA(&a);
}

TEST_F(ReaderTest, SyncStepsRepeatsAndSixBitDepth) {
    // 0,3,F = 63; then -6 (1) 57, +6 (2) 63, -5 (3) 58, +5 (4) 63, 14 repeats x2.
    Bytes f = make_sync_head(sync_area(2, 7));
    add_sync_line(f, 0, 8, {0, 3, 15, 1, 2, 3, 4, 14});
    // Depth code 6: every pixel times 4, so 63 becomes 252.
    add_sync_line(f, 1, 6, {0, 3, 15, 13});
    MC_area a{};
    ASSERT_EQ(read_bytes(f, &a), 0);
    const std::uint8_t line0[] = {63, 57, 63, 58, 63, 63, 63};
    EXPECT_EQ(std::memcmp(a.image, line0, 7), 0);
    EXPECT_EQ(a.image[7], 252);
    EXPECT_EQ(a.image[8], 252);
    EXPECT_EQ(a.image[9], 0);  // not coded: black
    SAT_free_AREA(&a);
}

TEST_F(ReaderTest, SyncGapOfThreeLinesIsFilledBlack) {
    // One pixel per line, so each line is complete after its absolute value.
    Bytes f = make_sync_head(sync_area(12, 1));
    for (int l = 0; l <= 5; ++l) add_sync_line(f, static_cast<std::uint32_t>(l), 8, {0, 1, l});
    add_sync_line(f, 9, 8, {0, 9, 9});
    MC_area a{};
    ASSERT_EQ(read_bytes(f, &a), 0);
    for (int l = 0; l <= 5; ++l) EXPECT_EQ(a.image[l], 0x10 + l) << l;
    for (int l = 6; l <= 8; ++l) EXPECT_EQ(a.image[l], 0) << l;
    EXPECT_EQ(a.image[9], 0x99);
    SAT_free_AREA(&a);
}

TEST_F(ReaderTest, SyncJumpPastTenIsRejectedAndLineTakesNextSlot) {
    Bytes f = make_sync_head(sync_area(30, 1));
    for (int l = 0; l <= 5; ++l) add_sync_line(f, static_cast<std::uint32_t>(l), 8, {0, 1, l});
    add_sync_line(f, 17, 8, {0, 7, 7});
    MC_area a{};
    ASSERT_EQ(read_bytes(f, &a), 0);
    EXPECT_EQ(a.image[5], 0x15);
    EXPECT_EQ(a.image[6], 0x77);  // no gap filled: output line 6
    for (int l = 7; l < 30; ++l) ASSERT_EQ(a.image[l], 0) << l;  // stream ended
    SAT_free_AREA(&a);
}

TEST_F(ReaderTest, SyncLineNumberAfterSecondMarkerWhenFirstByteNonZero) {
    Bytes f = make_sync_head(sync_area(2, 1));
    add_sync_line(f, 0, 8, {0, 2, 2});
    // A record whose number field starts 0x80: the number follows a further
    // marker.
    f.insert(f.end(), kMarker.begin(), kMarker.end());
    f.insert(f.end(), {0x80, 0x11, 0x22, 0x33});
    add_sync_line(f, 1, 8, {0, 3, 3});
    MC_area a{};
    ASSERT_EQ(read_bytes(f, &a), 0);
    EXPECT_EQ(a.image[0], 0x22);
    EXPECT_EQ(a.image[1], 0x33);
    SAT_free_AREA(&a);
}

TEST_F(ReaderTest, SyncShiftAndPrefix) {
    AreaFields s = sync_area(1, 2);
    s.yzprefix = 3;
    Bytes f = make_sync_head(s);
    // marker, number, 3 prefix bytes, depth, count, nibbles
    Bytes rec;
    add_sync_line(rec, 0, 8, {0, 4, 1, 12});
    rec.insert(rec.begin() + 12, {0xEE, 0xEE, 0xEE});
    f.insert(f.end(), rec.begin(), rec.end());
    SAT_set_bit_shift(1);
    MC_area a{};
    ASSERT_EQ(read_bytes(f, &a), 0);
    EXPECT_EQ(a.image[0], 0x82);  // 0x41 << 1
    EXPECT_EQ(a.image[1], 0x84);  // 0x42 << 1
    SAT_free_AREA(&a);
}

// ---- failures ---------------------------------------------------------------

TEST_F(ReaderTest, SizeOutOfRangeIsRejected) {
    MessCapture cap(dir_.file("mess.txt"));
    for (auto [l, e] : {std::pair<std::uint32_t, std::uint32_t>{3, 0}, {3, 100001}, {0, 4},
                        {100001, 4}, {100000, 100000}}) {
        AreaFields s = small_area();
        s.lsiz = l;
        s.esiz = e;
        MC_area a{};
        EXPECT_EQ(read_bytes(make_area(s, false), &a), -1) << l << "x" << e;
        EXPECT_EQ(a.dir, nullptr);
        EXPECT_EQ(a.image, nullptr);
    }
    const std::string t = cap.text();
    std::size_t n = 0;
    for (std::size_t p = 0; (p = t.find("SAT_read_AREA: Invalid image parameters\n", p)) !=
                            std::string::npos;
         ++p)
        ++n;
    EXPECT_EQ(n, 5u) << t;
}

TEST_F(ReaderTest, BrokenFilesFailWithTheirMessage) {
    struct Case {
        const char* what;
        Bytes bytes;
        const char* message;  // null: no message from the reader
    };
    AreaFields s = small_area();
    Bytes good = make_area(s, false);
    Bytes short_dir(good.begin(), good.begin() + 100);
    Bytes short_nav(good.begin(), good.begin() + 300);
    Bytes short_data(good.begin(), good.end() - 3);
    AreaFields far = s;
    far.navkey = 900000;
    Bytes past = make_area(far, false);
    past.resize(2000);
    AreaFields z3 = s;
    z3.zsiz = 3;
    // A sync-framed stream whose first marker lies beyond the 1024 attempts.
    Bytes sync_nomark(1100, 0x33);
    Bytes body = make_sync_head(sync_area(1, 1));
    add_sync_line(body, 0, 8, {0, 1, 1});
    sync_nomark.insert(sync_nomark.end(), body.begin(), body.end());
    Bytes sync_no2 = make_sync_head(sync_area(1, 1));
    sync_no2[264] = 0x11;   // the marker between directory and navigation
    const Case cases[] = {
        {"empty", {}, "SAT_read_AREA: Empty file\n"},
        {"garbage", Bytes(5000, 0x5A), nullptr},
        {"directory cut", short_dir, "SAT_read_AREA: Truncated directory\n"},
        {"navigation cut", short_nav, "SAT_read_AREA: Truncated GOES navigation block\n"},
        {"data cut", short_data, "SAT_read_AREA: Image data truncated: 9 of 12 bytes\n"},
        {"data offset past end", past,
         "SAT_read_AREA: Image data offset 900000 past the end of the file\n"},
        {"element size 3", make_area(z3, false), "SAT_read_AREA: Unsupported element size 3\n"},
        {"sync without leading marker", sync_nomark, nullptr},
        {"sync without second marker", sync_no2, nullptr},
    };
    for (const Case& c : cases) {
        MessCapture cap(dir_.file("mess.txt"));
        MC_area a{};
        EXPECT_EQ(read_bytes(c.bytes, &a), -1) << c.what;
        EXPECT_EQ(a.dir, nullptr) << c.what;
        EXPECT_EQ(a.image, nullptr) << c.what;
        const std::string t = cap.text();
        if (c.message) {
            EXPECT_NE(t.find(c.message), std::string::npos) << c.what << ": " << t;
        } else {
            EXPECT_EQ(t.find("SAT_read_AREA"), std::string::npos) << c.what << ": " << t;
        }
    }
    EXPECT_EQ(SAT_read_AREA(nullptr, nullptr), -1);
    MC_area a{};
    EXPECT_EQ(SAT_read_AREA(nullptr, &a), -1);
}

TEST_F(ReaderTest, CommittedBadFilesFailCleanly) {
    const std::string bad = std::string(ZEM_TEST_DATA) + "/bad";
    const char* files[] = {"area_zero_size.area", "area_huge_size.area", "area_nav_past_end.area",
                           "area_data_past_end.area", "area_sync_no_marker.area",
                           "area_garbage.area"};
    for (const char* name : files) {
        const std::string path = bad + "/" + name;
        ASSERT_TRUE(std::filesystem::exists(path)) << path;
        MessCapture cap(dir_.file("mess.txt"));
        IMG_report img;
        IMG_init(&img);
        EXPECT_EQ(SAT_read_file(path.c_str(), &img), 0) << name;
        EXPECT_EQ(img.data, nullptr) << name;
        EXPECT_NE(cap.text().find("SAT_read_file: Unable to read image file\n"), std::string::npos)
            << name;
    }
}

// ---- SAT_read_file ------------------------------------------------------------

class ReadFileTest : public ReaderTest {
protected:
    // Writes the synthetic file and reads it through SAT_read_file.
    int read_fields(const AreaFields& s, IMG_report* img) {
        const std::string name = dir_.file("file.area");
        write_file(name, make_area(s, false));
        IMG_init(img);
        return SAT_read_file(name.c_str(), img);
    }
};

TEST_F(ReadFileTest, DayStampsOfEveryWidth) {
    struct Case {
        std::uint32_t ndate;
        int year, month, day;
    };
    // Day 123 is 3 May in 1999 and 2005 (31+28+31+30 = 120 days before May).
    const Case cases[] = {{99123, 1999, 5, 3}, {105123, 2005, 5, 3}, {2005123, 2005, 5, 3},
                          {124060, 2024, 2, 29}};
    for (const Case& c : cases) {
        AreaFields s = small_area();
        s.ndate = c.ndate;
        s.ntime = 74500;
        s.nav = "";  // no navigation: nothing for the domain step to do
        IMG_report img;
        RES_put("output", "date");  // stop before navigation
        EXPECT_EQ(read_fields(s, &img), 0);
        EXPECT_EQ(img.date.year, c.year) << c.ndate;
        EXPECT_EQ(img.date.month, c.month) << c.ndate;
        EXPECT_EQ(img.date.day, c.day) << c.ndate;
        EXPECT_EQ(img.date.hour, 7);
        EXPECT_EQ(img.date.min, 45);
    }
}

TEST_F(ReadFileTest, OutputDatePrintsTheLabelAndReturnsZero) {
    AreaFields s = small_area();
    RES_put("output", "DATE");
    MessCapture cap(dir_.file("mess.txt"));
    IMG_report img;
    EXPECT_EQ(read_fields(s, &img), 0);
    EXPECT_EQ(img.data, nullptr);
    char label[64];
    DATE_make_label(&img.date, label);
    EXPECT_STREQ(img.datim, label);
    EXPECT_NE(cap.text().find(std::string(label) + "\n"), std::string::npos) << cap.text();
    EXPECT_STREQ(PLT_get_label(0, 0), "SYNTHETIC TEST AREA             ");
    EXPECT_STREQ(PLT_get_label(2, 0), label);
}

TEST_F(ReadFileTest, OutputSeqPrintsTheSequenceText) {
    AreaFields s = small_area();  // 2024 day 65 = 5 March, 13:45
    RES_put("output", "seq");
    MessCapture cap(dir_.file("mess.txt"));
    IMG_report img;
    EXPECT_EQ(read_fields(s, &img), 0);
    EXPECT_NE(cap.text().find("202403051345\n"), std::string::npos) << cap.text();
}

TEST_F(ReadFileTest, OutputFilePrintsTheNameForTheImageDate) {
    AreaFields s = small_area();  // 2024-03-05 13:45
    RES_put("output", "file");
    RES_put("out_file", "img_%y%m%d%h%n.zem");
    MessCapture cap(dir_.file("mess.txt"));
    IMG_report img;
    EXPECT_EQ(read_fields(s, &img), 0);
    EXPECT_EQ(img.data, nullptr);
    EXPECT_NE(cap.text().find("img_2403051345.zem\n"), std::string::npos) << cap.text();
}

TEST_F(ReadFileTest, RecordFieldsAndGoesStartscanRule) {
    AreaFields s = small_area();
    s.startscan = 300;
    s.nav = "";
    IMG_report img;
    RES_put("output", "date");
    read_fields(s, &img);
    EXPECT_EQ(img.yoff, 1001.0f);  // not GOES navigation: lcor as it is
    s.nav = "GOES";
    read_fields(s, &img);
    EXPECT_EQ(img.source, 51);
    EXPECT_EQ(img.width, 4);
    EXPECT_EQ(img.height, 3);
    EXPECT_EQ(img.bytes_line, 4);
    EXPECT_EQ(img.depth, 8);
    EXPECT_EQ(img.byte_order, 1);
    EXPECT_EQ(img.xres, 4.0f);
    EXPECT_EQ(img.yres, 2.0f);
    EXPECT_EQ(img.xoff, 2001.0f);
    EXPECT_EQ(img.yoff, 701.0f);  // GOES: lcor 1001 - startscan 300
    EXPECT_STREQ(img.info, "SYNTHETIC TEST AREA             ");
    EXPECT_EQ(SAT_get_imager_source(), 51);
    EXPECT_EQ(SAT_get_imager_type(), 0);
}

TEST_F(ReadFileTest, FullReadHandsOverPixels) {
    AreaFields s = small_area();
    s.nav = "RECT";  // a map-projection block: no satellite maths needed
    IMG_report img;
    ASSERT_EQ(read_fields(s, &img), 1);
    ASSERT_NE(img.data, nullptr);
    EXPECT_EQ(std::memcmp(img.data, s.data.data(), 12), 0);
    IMG_free(&img);
}

TEST_F(ReadFileTest, UnopenableFileAndOtherFormats) {
    MessCapture cap(dir_.file("mess.txt"));
    IMG_report img;
    IMG_init(&img);
    const std::string missing = dir_.file("none.area");
    EXPECT_EQ(SAT_read_file(missing.c_str(), &img), 0);
    EXPECT_NE(cap.text().find("SAT_read_file: Unable to open file:" + missing + "\n"),
              std::string::npos);
    // Garbage in the other formats: their readers say so and nothing is read;
    // a non-AREA read always switches satellite remapping off first.
    const std::string name = dir_.file("x.gini");
    write_file(name, Bytes(100, 0));
    for (int code : {53, 54, 55, 59, 60}) {
        SAT_set_tran_sat(1);
        FLAG_set(14, code);
        EXPECT_EQ(SAT_read_file(name.c_str(), &img), 0) << code;
        EXPECT_EQ(SAT_get_tran_sat(), 0) << code;
    }
    EXPECT_NE(cap.text().find("Not a TIFF file"), std::string::npos);
    FLAG_set(14, 52);
    EXPECT_EQ(SAT_read_file(name.c_str(), &img), 0);
    FLAG_set(14, kMissing);
    EXPECT_EQ(SAT_read_file(name.c_str(), &img), 0);
}

TEST_F(ReadFileTest, PackageImageInput) {
    // A ZEMIMG file read as satellite input: remapping through the
    // satellite is switched off and the labels come from the file.
    const std::string text = "ZEMIMG\n1200Z  5 MAR 24\npackage image\n2 2\n";
    Bytes f(text.begin(), text.end());
    f.insert(f.end(), {1, 2, 3, 4});
    const std::string name = dir_.file("in.zem");
    write_file(name, f);
    FLAG_set(14, kFormatImg);
    IMG_report img;
    IMG_init(&img);
    ASSERT_EQ(SAT_read_file(name.c_str(), &img), 1);
    EXPECT_EQ(SAT_get_tran_sat(), 0);
    EXPECT_EQ(img.source, 50);
    EXPECT_EQ(img.byte_order, 1);
    EXPECT_EQ(img.data[3], 4);
    EXPECT_STREQ(PLT_get_label(0, 0), "package image");
    char label[64];
    DATE_make_label(&img.date, label);
    EXPECT_STREQ(img.datim, label);
    EXPECT_STREQ(PLT_get_label(2, 0), label);
    IMG_free(&img);
}

TEST_F(ReadFileTest, PrintsComeInOrderAtTheirLevels) {
    AreaFields s = small_area();
    s.nav = "RECT";
    s.filtmap = 0x2A;
    // Every level up to out3: the whole list, in order. Expected texts follow
    // from the synthetic fields (eres 4, lres 2, ecor 2001, lcor 1001).
    MESS_set(0, M_out3);
    IMG_report img;
    std::string t;
    {
        MessCapture cap(dir_.file("mess.txt"));
        ASSERT_EQ(read_fields(s, &img), 1);
        t = cap.text();
    }
    IMG_free(&img);
    char label[64];
    DATE_make_label(&img.date, label);
    const std::string want[] = {std::string("Date: ") + label + "\n",
                                "Size: 4x3\n",
                                "Resolution: 4x2\n",
                                "Correction: 2001x1001\n",
                                "Bands: 2a\n",
                                "Source type: VISR\n",
                                "Calibration type: BRIT\n",
                                "Navigation type: RECT\n",
                                "Comments: SYNTHETIC TEST AREA             \n"};
    std::size_t at = 0;
    for (const std::string& w : want) {
        const std::size_t p = t.find(w, at);
        ASSERT_NE(p, std::string::npos) << "missing or out of order: " << w << "in:\n" << t;
        at = p + w.size();
    }
    // At the start-up level (print to out2) only the out2 lines appear.
    MESS_reset();
    {
        MessCapture cap(dir_.file("mess2.txt"));
        ASSERT_EQ(read_fields(s, &img), 1);
        t = cap.text();
    }
    IMG_free(&img);
    EXPECT_NE(t.find("Size: 4x3\n"), std::string::npos) << t;
    EXPECT_NE(t.find("Comments: SYNTHETIC TEST AREA"), std::string::npos) << t;
    EXPECT_EQ(t.find("Resolution:"), std::string::npos) << t;
    EXPECT_EQ(t.find("Navigation type:"), std::string::npos) << t;
}

// Every nibble code: the running value moves by the table's steps and wraps
// modulo 256 at both ends; repeats may pass the line's end without spilling
// into the next line.
TEST_F(ReaderTest, EveryNibbleCodeAndWrapAround) {
    Bytes f = make_sync_head(sync_area(3, 14));
    // From 0x80: -6 (1) 0x7A, +6 (2) 0x80, -5 (3) 0x7B, +5 (4) 0x80, -4 (5)
    // 0x7C, +4 (6) 0x80, -3 (7) 0x7D, +3 (8) 0x80, -2 (9) 0x7E, +2 (10) 0x80,
    // -1 (11) 0x7F, +1 (12) 0x80, repeat (13) 0x80: 14 pixels.
    add_sync_line(f, 0, 8, {0, 8, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13});
    // 0x02 - 6 = -4 -> 252; 0xFD + 6 = 259 -> 3; then 15 (x3) fills to 14 and
    // beyond: the two extra repeats of the line stay out of the image.
    std::vector<int> wrap = {0, 0, 2, 1, 0, 15, 13, 2};
    for (int k = 0; k < 3; ++k) wrap.push_back(15);
    add_sync_line(f, 1, 8, wrap);
    // Line 2 holds one pixel: a count of one byte ends it after 0, 4 and
    // the high nibble 2 of the next byte.
    f.insert(f.end(), kMarker.begin(), kMarker.end());
    f.insert(f.end(), {0, 0, 0, 2, 0, 8, 0, 1, 0x04, 0x2F});
    MC_area a{};
    ASSERT_EQ(read_bytes(f, &a), 0);
    const std::uint8_t line0[14] = {0x80, 0x7A, 0x80, 0x7B, 0x80, 0x7C, 0x80,
                                    0x7D, 0x80, 0x7E, 0x80, 0x7F, 0x80, 0x80};
    EXPECT_EQ(std::memcmp(a.image, line0, 14), 0);
    // Line 1: 0x02, 252, 0xFD, 3 (indices 0-3), then four repeats of three
    // (the last one the pad nibble) write indices 4-15: 14 and 15 fall past
    // the line and are not emitted.
    EXPECT_EQ(a.image[14], 0x02);
    EXPECT_EQ(a.image[15], 252);
    EXPECT_EQ(a.image[16], 0xFD);
    for (int e = 3; e < 14; ++e) EXPECT_EQ(a.image[14 + e], 3) << e;
    EXPECT_EQ(a.image[28], 0x42);
    for (int e = 1; e < 14; ++e) EXPECT_EQ(a.image[28 + e], 0) << e;  // starts clean
    SAT_free_AREA(&a);
}

// Builds a PNG file of an 8-bit grey picture (no filtering), with CRCs from
// zlib; independent of the reader's libpng use.
Bytes make_png(std::uint32_t w, std::uint32_t h, std::uint8_t value) {
    auto chunk = [](Bytes& out, const char* type, const Bytes& data) {
        Bytes len(4);
        put32(len, 0, static_cast<std::uint32_t>(data.size()), true);
        out.insert(out.end(), len.begin(), len.end());
        Bytes body(type, type + 4);
        body.insert(body.end(), data.begin(), data.end());
        out.insert(out.end(), body.begin(), body.end());
        Bytes crc(4);
        put32(crc, 0, static_cast<std::uint32_t>(crc32(0L, body.data(), static_cast<uInt>(body.size()))),
              true);
        out.insert(out.end(), crc.begin(), crc.end());
    };
    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes ihdr(13, 0);
    put32(ihdr, 0, w, true);
    put32(ihdr, 4, h, true);
    ihdr[8] = 8;  // bit depth; colour type 0 (grey), no interlace
    chunk(png, "IHDR", ihdr);
    Bytes raw;
    for (std::uint32_t y = 0; y < h; ++y) {
        raw.push_back(0);  // filter type none
        raw.insert(raw.end(), w, value);
    }
    uLongf zlen = compressBound(static_cast<uLong>(raw.size()));
    Bytes z(zlen);
    compress(z.data(), &zlen, raw.data(), static_cast<uLong>(raw.size()));
    z.resize(zlen);
    chunk(png, "IDAT", z);
    chunk(png, "IEND", {});
    return png;
}

TEST_F(ReaderTest, PngDataBlockSizesAgainstTheDirectory) {
    AreaFields s = small_area();  // 3 lines x 4 elements
    // Smaller than the directory: black margins.
    s.data = make_png(2, 2, 77);
    MC_area a{};
    ASSERT_EQ(read_bytes(make_area(s, false), &a), 0);
    const std::uint8_t want[12] = {77, 77, 0, 0, 77, 77, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(a.image, want, 12), 0);
    SAT_free_AREA(&a);
    // Larger than the directory: refused before its size is allocated.
    s.data = make_png(64, 64, 77);
    MessCapture cap(dir_.file("mess.txt"));
    EXPECT_EQ(read_bytes(make_area(s, false), &a), -1);
    EXPECT_EQ(a.image, nullptr);
    const std::string t = cap.text();
    EXPECT_NE(t.find("SAT_read_AREA: PNG data block is 64x64, directory says 4x3\n"),
              std::string::npos)
        << t;
}

TEST(SwapTest, SetupFlagsFollowTheHostOrder) {
    const bool little = host_is_little();
    EXPECT_EQ(swap_setup(-1), 0);
    EXPECT_EQ(swap_setup(0), 1);
    EXPECT_EQ(swap_setup(1), little ? 1 : 0);
    EXPECT_EQ(swap_setup(2), little ? 0 : 1);
    swap_setup(0);
    std::uint8_t b[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    swap_long(b);
    EXPECT_EQ(b[0], 4);
    EXPECT_EQ(b[3], 1);
    swap_shorts(b + 4, 2);
    EXPECT_EQ(b[4], 6);
    EXPECT_EQ(b[7], 7);
    swap_double(b);
    EXPECT_EQ(b[0], 7);
    swap_setup(-1);
    swap_long(b);
    EXPECT_EQ(b[0], 7);  // off: untouched
}

TEST(ByteGetterTest, RefuseReadsPastTheEnd) {
    const std::uint8_t raw[] = {0x12, 0x34, 0x56, 0x78, 0x9A};
    const ByteView v(raw, 5);
    EXPECT_EQ(get_u32(v, 0, ByteOrder::big).value(), 0x12345678u);
    EXPECT_EQ(get_u32(v, 1, ByteOrder::little).value(), 0x9A785634u);
    EXPECT_EQ(get_i16(v, 3, ByteOrder::big).value(), static_cast<std::int16_t>(0x789A));
    EXPECT_FALSE(get_u32(v, 2, ByteOrder::big).has_value());
    EXPECT_FALSE(get_u8(v, 5).has_value());
    EXPECT_FALSE(get_u16(v, static_cast<std::size_t>(-1), ByteOrder::big).has_value());
    EXPECT_FALSE(get_bytes(v, 4, 2).has_value());
    EXPECT_EQ(get_bytes(v, 4, 1)->size(), 1u);
    EXPECT_FALSE(checked_area(70000, 70000).has_value());
    EXPECT_EQ(checked_area(640, 480).value(), 307200u);
    EXPECT_FALSE(checked_area(-1, 5).has_value());
    EXPECT_FALSE(checked_volume(2000, 2000, 1000).has_value());
}

}  // namespace
