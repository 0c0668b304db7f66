// Real AREA files published by other projects, and the same files turned by
// area_variant into the physical variants no public file exists for.
//
// Expected values were computed independently with /usr/bin/python3 from
// the raw bytes (struct unpacking; for pngarea the PNG stream was inflated
// with Python's zlib and unfiltered by hand):
//   cmx3g8: big-endian words; pixel (l, e) = byte 2816 + 2*(1800*l + e)
//           (high byte of the big-endian 16-bit count).
//   pngarea: little-endian words; PNG 640x350, 8-bit grey, at byte 1088.
// Checksums: sum of all pixels, and sum of (i % 251 + 1) * pixel[i] over the
// row-major pixel index i (catches misplaced rows and columns).
#include <gtest/gtest.h>

#include <ostream>

#include <cstring>
#include <filesystem>
#include <string>

#include "flag.h"
#include "img_tool.h"
#include "ingest_util.h"
#include "mess.h"
#include "resrc.h"
#include "sat_read.h"
#include "tools.h"

using namespace ingest_test;

namespace {

struct RealArea {
    const char* file;
    std::uint32_t lsiz, esiz, zsiz, ndate, ntime, satid;
    std::int32_t lcor, ecor;
    std::uint32_t lres, eres, navkey, filtmap;
    const char* type;
    const char* comment;  // 32 characters
    const char* stype;
    const char* ctype;
    int year, month, day, hour, min;
    std::uint64_t sum, weighted;
    struct Sample {
        int line, elem, value;
    } samples[3];
};

// Names the case by its file in test listings instead of dumping its bytes.
void PrintTo(const RealArea& area, std::ostream* os) { *os << area.file; }

const RealArea kFiles[] = {
    {"cmx3g8_wv_1998.260_0745_mcidas.ara", 400, 1800, 2, 98260, 74500, 70, 3797, 10881, 8, 4,
     2816, 4, "GVAR", "", "GVAR", "RAW ",
     // 1998 day 260: 243 days before September, so 17 September.
     1998, 9, 17, 7, 45, 20144520ULL, 2537834647ULL,
     {{0, 0, 30}, {199, 900, 23}, {123, 456, 32}}},
    {"pngarea", 350, 640, 1, 100137, 85900, 2, 6, -159, 5, 4, 768, 1, "PS",
     "MDR                             ", "VISR", "BRIT",
     // 2000 (leap) day 137: 121 days before May, so 16 May.
     2000, 5, 16, 8, 59, 561888ULL, 70753856ULL,
     {{0, 537, 32}, {151, 73, 32}, {349, 639, 0}}},
};

std::string data_dir() { return std::string(ZEM_TESTDATA_DIR) + "/area"; }

class AreaFileTest : public ::testing::TestWithParam<RealArea> {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(data_dir()))
            GTEST_SKIP() << "test data not found: " << data_dir();
        MESS_reset();
        RES_clear();
        FLAG_reset(kMissing);
        FLAG_set(14, kFormatArea);
        SAT_set_bit_shift(0);
    }
    std::string path() const { return data_dir() + "/" + GetParam().file; }

    // Checks `a` against the table row; `converted` relaxes the fields that
    // area_variant rewrites when it rebuilds a file.
    void check(const MC_area& a, bool rebuilt) {
        const RealArea& r = GetParam();
        ASSERT_NE(a.dir, nullptr);
        const MC_area_dir& d = *a.dir;
        EXPECT_EQ(d.type, 4u);
        EXPECT_EQ(d.satid, r.satid);
        EXPECT_EQ(d.ndate, r.ndate);
        EXPECT_EQ(d.ntime, r.ntime);
        EXPECT_EQ(d.lcor, r.lcor);
        EXPECT_EQ(d.ecor, r.ecor);
        EXPECT_EQ(d.lsiz, r.lsiz);
        EXPECT_EQ(d.esiz, r.esiz);
        EXPECT_EQ(d.lres, r.lres);
        EXPECT_EQ(d.eres, r.eres);
        EXPECT_EQ(d.filtmap, r.filtmap);
        if (!rebuilt) {
            EXPECT_EQ(d.zsiz, r.zsiz);
            EXPECT_EQ(d.navkey, r.navkey);
        }
        EXPECT_EQ(std::string(d.comments, 32).substr(0, std::strlen(r.comment)), r.comment);
        EXPECT_EQ(std::string(d.stype, 4), r.stype);
        EXPECT_EQ(std::string(d.ctype, 4), r.ctype);
        EXPECT_STREQ(a.type, r.type);
        std::uint64_t sum = 0, weighted = 0;
        const std::size_t n = static_cast<std::size_t>(r.lsiz) * r.esiz;
        for (std::size_t i = 0; i < n; ++i) {
            sum += a.image[i];
            weighted += (i % 251 + 1) * a.image[i];
        }
        EXPECT_EQ(sum, r.sum);
        EXPECT_EQ(weighted, r.weighted);
        for (const auto& s : r.samples)
            EXPECT_EQ(a.image[static_cast<std::size_t>(s.line) * r.esiz + s.elem], s.value)
                << s.line << "," << s.elem;
    }
};

TEST_P(AreaFileTest, DirectoryNavigationAndPixels) {
    MC_area a{};
    ASSERT_EQ(read_area_file(path(), &a), 0);
    check(a, false);
    const RealArea& r = GetParam();
    if (std::string(r.type) == "GVAR") {
        ASSERT_NE(a.navgv, nullptr);
        // Word 2 of the GVAR block (big-endian 131 in the file: python
        // struct.unpack('>640i', ...)[2]) and word 5 (-13089962).
        std::int32_t w2, w5;
        std::memcpy(&w2, reinterpret_cast<const char*>(a.navgv) + 8, 4);
        std::memcpy(&w5, reinterpret_cast<const char*>(a.navgv) + 20, 4);
        EXPECT_EQ(w2, 131);
        EXPECT_EQ(w5, -13089962);
    } else {
        ASSERT_NE(a.navps, nullptr);
        // PS block words 1..3 (little-endian -1530, 830, 600000).
        std::int32_t w[3];
        std::memcpy(w, reinterpret_cast<const char*>(a.navps) + 4, 12);
        EXPECT_EQ(w[0], -1530);
        EXPECT_EQ(w[1], 830);
        EXPECT_EQ(w[2], 600000);
    }
    SAT_free_AREA(&a);
}

TEST_P(AreaFileTest, RecordAndDateThroughReadFile) {
    const RealArea& r = GetParam();
    RES_put("output", "date");
    IMG_report img;
    IMG_init(&img);
    EXPECT_EQ(SAT_read_file(path().c_str(), &img), 0);  // "date" mode stops here
    EXPECT_EQ(img.date.year, r.year);
    EXPECT_EQ(img.date.month, r.month);
    EXPECT_EQ(img.date.day, r.day);
    EXPECT_EQ(img.date.hour, r.hour);
    EXPECT_EQ(img.date.min, r.min);
    EXPECT_EQ(img.width, static_cast<int>(r.esiz));
    EXPECT_EQ(img.height, static_cast<int>(r.lsiz));
    EXPECT_EQ(img.xoff, static_cast<float>(r.ecor));
    EXPECT_EQ(img.yoff, static_cast<float>(r.lcor));  // not "GOES": no startscan
    EXPECT_EQ(std::string(img.info).substr(0, std::strlen(r.comment)), r.comment);
    EXPECT_EQ(std::strlen(img.info), std::strlen(r.comment));
}

TEST_P(AreaFileTest, FullReadNavigatesAndOwnsPixels) {
    const RealArea& r = GetParam();
    SAT_set_tran_sat(1);
    IMG_report img;
    IMG_init(&img);
    ASSERT_EQ(SAT_read_file(path().c_str(), &img), 1);
    ASSERT_NE(img.data, nullptr);
    EXPECT_EQ(img.source, 51);
    EXPECT_EQ(img.xres, static_cast<float>(r.eres));
    EXPECT_EQ(img.yres, static_cast<float>(r.lres));
    for (const auto& s : r.samples)
        EXPECT_EQ(img.data[static_cast<std::size_t>(s.line) * r.esiz + s.elem], s.value);
    if (std::string(r.type) == "GVAR") {
        EXPECT_EQ(img.domain.proj, 9);      // satellite scan coordinates
        EXPECT_EQ(SAT_get_tran_sat(), 1);
    } else {
        EXPECT_EQ(img.domain.proj, 1);      // polar stereographic grid
        EXPECT_EQ(SAT_get_tran_sat(), 0);
    }
    IMG_free(&img);
}

TEST_P(AreaFileTest, EveryPhysicalVariantReadsTheSame) {
    TempDir tmp;
    for (const char* mode : {"host", "reversed", "sync"}) {
        const std::string out = tmp.file(std::string("v.") + mode);
        ASSERT_EQ(run(std::string(AREA_VARIANT_BIN) + " '" + path() + "' '" + out + "' " + mode),
                  0)
            << mode;
        MC_area a{};
        ASSERT_EQ(read_area_file(out, &a), 0) << mode;
        check(a, std::string(mode) == "sync");
        SAT_free_AREA(&a);
        // And back from the sync-framed form to a plain one.
        if (std::string(mode) == "sync") {
            const std::string back = tmp.file("back.area");
            ASSERT_EQ(run(std::string(AREA_VARIANT_BIN) + " '" + out + "' '" + back + "' big"), 0);
            ASSERT_EQ(read_area_file(back, &a), 0);
            check(a, true);
            SAT_free_AREA(&a);
        }
    }
    // The byte-reversed form really has the other word order.
    const Bytes host = read_file(tmp.file("v.host"));
    const Bytes rev = read_file(tmp.file("v.reversed"));
    ASSERT_GE(host.size(), 8u);
    std::uint32_t h1, r1;
    std::memcpy(&h1, host.data() + 4, 4);
    std::memcpy(&r1, rev.data() + 4, 4);
    EXPECT_EQ(h1, 4u);
    EXPECT_EQ(r1, 0x04000000u);
}

INSTANTIATE_TEST_SUITE_P(Real, AreaFileTest, ::testing::ValuesIn(kFiles),
                         [](const auto& info) {
                             return std::string(info.param.file).substr(0, 3) == "cmx"
                                        ? std::string("goes8_gvar")
                                        : std::string("pngarea");
                         });

}  // namespace
