// LRIT reader over the real COMS-1 segments and the forms no public file
// exists of (made from them by tools/lrit_variant: JPEG-compressed,
// 16-bit, mirrored): header facts and pixels against an independent python
// decoding (djpeg for JPEG), navigation against PROJ geos (sweep y), whole
// images put together from their sibling segments, and the earth's limb in
// the real full disk where the navigation says it is.

#include "lrit.h"
#include "readers_ref.h"

namespace {

const std::string kFd = "lrit/IMG_FD_01_IR1_20120101_024020_";
const std::string kEnh = "lrit/IMG_ENH_01_IR1_20120101_000920_";

struct LritCase {
    std::string first;    // the file named (segment)
    const char* variant;  // lrit_variant mode, "" for the real file
    int segments;         // segments joined into the image (1: read alone)
};

const LritCase kLrit[] = {
    {kFd + "01.lrit", "", 1},      {kFd + "05.lrit", "", 1},     {kFd + "10.lrit", "", 1},
    {kEnh + "04.lrit", "", 1},     {kFd + "06.lrit", "jpeg", 1}, {kFd + "06.lrit", "raw16", 1},
    {kFd + "06.lrit", "mirror", 1}, {kFd + "05.lrit", "", 10},   {kEnh + "02.lrit", "", 4},
};

// The files of segments 1..n of the image `first` belongs to.
std::string segment_files(const std::string& first, int n) {
    std::string all;
    for (int k = 1; k <= n; ++k) {
        char num[16];
        std::snprintf(num, sizeof num, "%02d", k);
        all += " " + zt::testdata(first.substr(0, first.size() - 7) + num + ".lrit");
    }
    return all;
}

class LritFiles : public ::testing::TestWithParam<LritCase> {
protected:
    void TearDown() override { LRIT_set_assemble(0); }
};

TEST_P(LritFiles, MatchIndependentDecodingAndProjGeos) {
    const LritCase& c = GetParam();
    const std::string real = zt::testdata(c.first);
    ZT_NEED_DATA(real);
    RR_NEED_TOOLS("/usr/bin/python3", "proj", "djpeg");
    const rr::Fields f = rr::ref_decode("lrit" + (c.segments > 1 ? segment_files(c.first, c.segments) : " " + real));
    zt::TempDir dir;
    std::string path = real;
    std::uint32_t want = static_cast<std::uint32_t>(f.at("crc"));
    if (*c.variant) {
        path = dir.file("variant.lrit");
        ASSERT_EQ(zt::run(std::string(LRIT_VARIANT_BIN) + " " + real + " " + path + " " + c.variant).status, 0);
        if (std::string(c.variant) == "jpeg") {
            // What libjpeg's own decoder makes of the stream after the headers.
            const zt::RunResult d =
                zt::run("(tail -c +" + std::to_string(int(f.at("hdr_len")) + 1) + " " + path + " | djpeg -grayscale -pnm)");
            const std::size_t n = std::size_t(f.at("ncol") * f.at("nrow"));
            ASSERT_GE(d.out.size(), n);
            want = rr::crc(reinterpret_cast<const unsigned char*>(d.out.data()) + d.out.size() - n, n);
        }
    }
    LRIT_set_assemble(c.segments > 1);
    zt::MessCapture quiet;
    const rr::Read r(60, path);
    ASSERT_EQ(r.rc, 1);
    const IMG_report& img = r.img;
    EXPECT_EQ(img.width, f.at("ncol"));
    EXPECT_EQ(img.height, f.at("bytes") / f.at("ncol"));
    EXPECT_EQ(rr::crc(img), want);
    rr::expect_date(img.date, f);
    EXPECT_EQ(std::string(img.info), c.first.substr(5));
    ASSERT_EQ(img.domain.proj, 9);
    // A mirrored segment keeps its place in the image: only its pixels
    // are comparable.
    if (std::string(c.variant) == "mirror") return;

    // Scan angles of the CGMS rule, pixel centres half a unit below the
    // column and line numbers; PROJ takes angles times the height. PROJ's
    // earth and orbit are CGMS's; ours (orbit radius 42161 km) puts points
    // at 60 degrees latitude a tenth of a pixel apart from them.
    const double h = 35785831.0, a = 65536.0 / f.at("cfac"), b = 65536.0 / f.at("lfac");
    const int first_line = c.segments > 1 ? 0 : int(f.at("lseg")) - 1;
    const std::string geos = "+proj=geos +sweep=y +h=35785831 +a=6378169 +b=6356583.8 +lon_0=" +
                             std::to_string(f.at("sublon"));
    std::vector<std::pair<double, double>> ours, want_px;
    for (auto [col, row] : std::vector<std::pair<int, int>>{
             {img.width / 2, img.height / 2}, {img.width / 4, img.height - 1}, {img.width * 3 / 4, 0}, {400, img.height / 3}}) {
        const auto [lat, lon] = rr::grid_latlon(img.domain, col, row);
        if (lat < -90) continue;  // off the earth
        ours.emplace_back(lon, lat);
        want_px.emplace_back(col, row);
    }
    ASSERT_GE(ours.size(), 2u);
    const auto xy = zt::proj(geos, ours);
    ASSERT_EQ(xy.size(), ours.size());
    for (std::size_t k = 0; k < xy.size(); ++k) {
        const double col = f.at("coff") + xy[k].first / h * 180 / M_PI / a + 0.5;
        const double line = f.at("loff") + xy[k].second / h * 180 / M_PI / b + 0.5 - first_line;
        EXPECT_NEAR(col, want_px[k].first, 0.2) << "column at " << ours[k].second << "," << ours[k].first;
        EXPECT_NEAR(line, want_px[k].second, 0.2) << "line at " << ours[k].second << "," << ours[k].first;
    }
}

INSTANTIATE_TEST_SUITE_P(Real, LritFiles, ::testing::ValuesIn(kLrit), [](const auto& i) {
    return rr::name_of(i.param.first) + i.param.variant + (i.param.segments > 1 ? "all" : "");
});

// Independent of any numbering rule: across the joined full disk, along
// lines and along columns, the middle of the pixels with data (the earth
// as the data provider cut it out of space) and the middle of the pixels
// the navigation puts on the earth lie within a pixel of each other.
// (Their ends do too near the equator; towards the poles the provider's
// mask is a few pixels inside the geometric limb.)
TEST(LritLimb, FullDiskCentredWhereTheEarthIs) {
    const std::string first = zt::testdata(kFd + "01.lrit");
    ZT_NEED_DATA(first);
    LRIT_set_assemble(1);
    zt::MessCapture quiet;
    const rr::Read r(60, first);
    LRIT_set_assemble(0);
    ASSERT_EQ(r.rc, 1);
    ASSERT_EQ(r.img.height, 2200);
    MAP_domain(&r.img.domain);
    for (const bool along_line : {true, false}) {
        for (int k = 100; k < 2100; k += 50) {
            double data0 = -1, data1 = -1, nav0 = -1, nav1 = -1;
            for (int i = 0; i < 2200; ++i) {
                const int col = along_line ? i : k, row = along_line ? k : i;
                float x = 0, y = 0, lat = 0, lon = 0;
                MAP_grid_tran(col, row, &x, &y);
                if (r.img.data[std::size_t(row) * 2200 + col]) {
                    if (data0 < 0) data0 = i;
                    data1 = i;
                }
                if (MAP_untran(x, y, &lat, &lon)) {
                    if (nav0 < 0) nav0 = i;
                    nav1 = i;
                }
            }
            EXPECT_NEAR((data0 + data1) / 2, (nav0 + nav1) / 2, 1.0) << (along_line ? "line " : "column ") << k;
        }
    }
}

// A segment missing from the folder leaves its lines black and says so.
TEST(LritJoin, MissingSegmentStaysBlack) {
    ZT_NEED_DATA(zt::testdata(kFd + "01.lrit"));
    zt::TempDir dir;
    for (int k = 1; k <= 10; ++k) {
        if (k == 7) continue;
        char name[64];
        std::snprintf(name, sizeof name, "IMG_FD_01_IR1_20120101_024020_%02d.lrit", k);
        std::filesystem::create_symlink(zt::testdata("lrit/" + std::string(name)), dir.file(name));
    }
    LRIT_set_assemble(1);
    zt::MessCapture cap;
    const rr::Read r(60, dir.file("IMG_FD_01_IR1_20120101_024020_02.lrit"));
    LRIT_set_assemble(0);
    ASSERT_EQ(r.rc, 1);
    ASSERT_EQ(r.img.height, 2200);
    EXPECT_NE(cap.text().find("SAT_read_LRIT: Segment 7 of 10 not read"), std::string::npos) << cap.text();
    const auto lit = [&](int row) { return *std::max_element(r.img.data + row * 2200, r.img.data + row * 2200 + 2200); };
    EXPECT_EQ(lit(6 * 220), 0);
    EXPECT_EQ(lit(7 * 220 - 1), 0);
    EXPECT_GT(lit(6 * 220 - 1), 0);
    EXPECT_GT(lit(7 * 220), 0);
}

}  // namespace
