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
#include "zem_test.h"

#include <cstring>

#include "flag.h"
#include "img_tool.h"
#include "resrc.h"
#include "sat_read.h"
#include "tools.h"

namespace {

struct RealArea {
    const char* file;
    std::uint32_t lsiz, esiz, zsiz, ndate, ntime, satid;
    std::int32_t lcor, ecor;
    std::uint32_t lres, eres, navkey, filtmap;
    const char *type, *comment, *stype, *ctype;
    int year, month, day, hour, min;
    std::uint64_t sum, weighted;
    struct Sample {
        int line, elem, value;
    } samples[3];
    struct NavWord {
        std::size_t at;  // byte offset in the navigation block
        std::int32_t value;
    } nav[3];
};

void PrintTo(const RealArea& area, std::ostream* os) { *os << area.file; }

const RealArea kFiles[] = {
    // 1998 day 260: 243 days before September, so 17 September. GVAR block
    // words 2 and 5 (struct.unpack('>640i', ...)): 131, -13089962.
    {"cmx3g8_wv_1998.260_0745_mcidas.ara", 400, 1800, 2, 98260, 74500, 70, 3797, 10881, 8, 4, 2816, 4, "GVAR",
     "", "GVAR", "RAW ", 1998, 9, 17, 7, 45, 20144520ULL, 2537834647ULL, {{0, 0, 30}, {199, 900, 23}, {123, 456, 32}},
     {{8, 131}, {20, -13089962}, {8, 131}}},
    // 2000 (leap) day 137: 121 days before May, so 16 May. PS block words
    // 1..3: -1530, 830, 600000.
    {"pngarea", 350, 640, 1, 100137, 85900, 2, 6, -159, 5, 4, 768, 1, "PS", "MDR                             ",
     "VISR", "BRIT", 2000, 5, 16, 8, 59, 561888ULL, 70753856ULL, {{0, 537, 32}, {151, 73, 32}, {349, 639, 0}},
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

    static int read(const std::string& name, MC_area* a) {
        FILE* f = std::fopen(name.c_str(), "rb");
        const int rc = f ? SAT_read_AREA(f, a) : -2;
        if (f) std::fclose(f);
        return rc;
    }
    // Checks `a` against the row; `rebuilt` skips the fields area_variant
    // rewrites when it rebuilds a file.
    void check(const MC_area& a, bool rebuilt) {
        const RealArea& r = GetParam();
        ASSERT_NE(a.dir, nullptr);
        const MC_area_dir& d = *a.dir;
        EXPECT_EQ(std::vector<std::int64_t>({d.type, d.satid, d.ndate, d.ntime, d.lcor, d.ecor, d.lsiz, d.esiz,
                                             d.lres, d.eres, d.filtmap}),
                  std::vector<std::int64_t>({4, r.satid, r.ndate, r.ntime, r.lcor, r.ecor, r.lsiz, r.esiz,
                                             r.lres, r.eres, r.filtmap}));
        if (!rebuilt) {
            EXPECT_EQ(std::vector<std::uint32_t>({d.zsiz, d.navkey}), std::vector<std::uint32_t>({r.zsiz, r.navkey}));
        }
        EXPECT_EQ(std::string(d.comments, std::strlen(r.comment)), r.comment);
        EXPECT_EQ(std::string(d.stype, 4) + std::string(d.ctype, 4), std::string(r.stype) + r.ctype);
        EXPECT_STREQ(a.type, r.type);
        const void* nav = a.navgv ? static_cast<const void*>(a.navgv) : static_cast<const void*>(a.navps);
        ASSERT_NE(nav, nullptr);
        for (const auto& n : r.nav) {
            std::int32_t w;
            std::memcpy(&w, static_cast<const char*>(nav) + n.at, 4);
            EXPECT_EQ(w, n.value) << "navigation byte " << n.at;
        }
        std::uint64_t sum = 0, weighted = 0;
        for (std::size_t i = 0; i < std::size_t{r.lsiz} * r.esiz; ++i) {
            sum += a.image[i];
            weighted += (i % 251 + 1) * a.image[i];
        }
        EXPECT_EQ(sum, r.sum);
        EXPECT_EQ(weighted, r.weighted);
        for (const auto& s : r.samples)
            EXPECT_EQ(a.image[std::size_t(s.line) * r.esiz + s.elem], s.value) << s.line << "," << s.elem;
    }
};

TEST_P(AreaFileTest, DirectoryNavigationAndPixels) {
    MC_area a{};
    ASSERT_EQ(read(path(), &a), 0);
    check(a, false);
    SAT_free_AREA(&a);
}

TEST_P(AreaFileTest, RecordDateAndDomainThroughReadFile) {
    const RealArea& r = GetParam();
    RES_put("output", "date");  // stops after the record is filled
    IMG_report img;
    IMG_init(&img);
    EXPECT_EQ(SAT_read_file(path().c_str(), &img), 0);
    EXPECT_EQ(std::vector<int>({img.date.year, img.date.month, img.date.day, img.date.hour, img.date.min}),
              std::vector<int>({r.year, r.month, r.day, r.hour, r.min}));
    EXPECT_EQ(std::vector<float>({img.xoff, img.yoff}), std::vector<float>({float(r.ecor), float(r.lcor)}));
    EXPECT_STREQ(img.info, r.comment);
    RES_put("output", "");
    SAT_set_tran_sat(1);
    ASSERT_EQ(SAT_read_file(path().c_str(), &img), 1);
    EXPECT_EQ(std::vector<int>({img.width, img.height}), std::vector<int>({int(r.esiz), int(r.lsiz)}));
    for (const auto& s : r.samples) EXPECT_EQ(img.data[std::size_t(s.line) * r.esiz + s.elem], s.value);
    const bool gvar = std::string(r.type) == "GVAR";
    EXPECT_EQ(img.domain.proj, gvar ? 9 : 1);  // satellite scan, or the polar stereographic grid
    EXPECT_EQ(SAT_get_tran_sat(), gvar ? 1 : 0);
    IMG_free(&img);
}

TEST_P(AreaFileTest, EveryPhysicalVariantReadsTheSame) {
    zt::TempDir tmp;
    auto variant = [&](const std::string& in, const std::string& out, const char* mode) {
        ASSERT_EQ(zt::run(std::string(AREA_VARIANT_BIN) + " '" + in + "' '" + out + "' " + mode).status, 0) << mode;
        MC_area a{};
        ASSERT_EQ(read(out, &a), 0) << mode;
        check(a, std::string(mode) != "host" && std::string(mode) != "reversed");
        SAT_free_AREA(&a);
    };
    for (const char* mode : {"host", "reversed", "sync"}) variant(path(), tmp.file(mode), mode);
    variant(tmp.file("sync"), tmp.file("back"), "big");  // and back to a plain file
    // The byte-reversed form really has the other word order.
    std::uint32_t h1 = 0, r1 = 0;
    std::memcpy(&h1, zt::slurp(tmp.file("host")).data() + 4, 4);
    std::memcpy(&r1, zt::slurp(tmp.file("reversed")).data() + 4, 4);
    EXPECT_EQ(std::vector<std::uint32_t>({h1, r1}), std::vector<std::uint32_t>({4u, 0x04000000u}));
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
    FILE* f = std::fopen(file.c_str(), "rb");
    ASSERT_EQ(SAT_read_AREA(f, &orig), 0);
    std::fclose(f);
    f = std::fopen(tmp.file("wide").c_str(), "rb");
    ASSERT_EQ(SAT_read_AREA(f, &wide), 0);
    std::fclose(f);
    int wrong = 0;
    for (std::size_t l = 0; l < lsiz; ++l)
        for (std::size_t e = 0; e < esiz; ++e)
            wrong += wide.image[l * esiz + e] != (l < 350 && e < 640 ? orig.image[l * 640 + e] : 0);
    EXPECT_EQ(wrong, 0);
    SAT_free_AREA(&orig);
    SAT_free_AREA(&wide);
}

}  // namespace
