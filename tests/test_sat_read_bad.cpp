// Broken GINI, LRIT and TIFF files made from the real files on the fly: cut
// short, sizes of zero or beyond reason, compressed streams that break off
// or are damaged, directory loops. Each gives its message and the status the
// entry point promises, never a crash, a hang or a huge allocation (the
// sanitizer build checks the rest). Broken files kept in tests/data/bad are
// rows of test_bad_input.cpp.

#include "lrit.h"
#include "readers_ref.h"

namespace {

using zt::Bytes;

Bytes real(const std::string& rel) { return zt::slurp_bytes(zt::testdata(rel)); }
Bytes cut(Bytes b, std::size_t n) {
    b.resize(std::min(n, b.size()));
    return b;
}
Bytes poke(Bytes b, std::size_t at, Bytes v) {
    if (b.size() >= at + v.size()) std::copy(v.begin(), v.end(), b.begin() + static_cast<long>(at));
    return b;
}
// What `tool IN OUT args` makes of the real file `rel`.
Bytes made(const std::string& rel, const std::string& tool, const std::string& args = "") {
    zt::TempDir dir;
    const std::string out = dir.file("out");
    if (zt::run(tool + " " + zt::testdata(rel) + " " + out + " " + args).status != 0) return {};
    return zt::slurp_bytes(out);
}

const std::string kFd5 = "lrit/IMG_FD_01_IR1_20120101_024020_05.lrit";
constexpr std::size_t kFdStruct = 16;  // image structure record of the COMS segments
constexpr std::size_t kGiniPdb = 21;   // product definition block after the WMO heading

struct BadCase {
    const char* name;
    int code;                      // input format
    std::function<Bytes()> make;   // empty result: the source is absent
    int rc;                        // SAT_read_file's answer
    const char* message;
};

const BadCase kBad[] = {
    {"gini_body_cut", 53, [] { return cut(real("gini/tige04.gini"), 600); }, 0,
     "SAT_read_AWIP: Image data truncated: 67 of 1638400 bytes"},
    {"gini_zero_width", 53, [] { return poke(real("gini/tige04.gini"), kGiniPdb + 16, {0, 0}); }, 0,
     "SAT_read_AWIP: Invalid image parameters"},
    {"gini_width_10001", 53, [] { return poke(real("gini/tige04.gini"), kGiniPdb + 16, {0x27, 0x11}); }, 0,
     "SAT_read_AWIP: Invalid image parameters"},
    // A zlib body that breaks off keeps the lines that arrived.
    {"gini_zlib_cut", 54, [] { return cut(real("gini/TIGN02"), 500000); }, 1,
     "SAT_read_AWIP: Image data incomplete"},
    {"gini_zlib_header_damaged", 54, [] { return poke(real("gini/TIGN02"), 30, Bytes(40, 0xFF)); }, 0,
     "SAT_read_AWIP: Compressed header too short"},
    {"gini_png_cut", 53, [] { return cut(real("gini/pnggini"), 100000); }, 0, "SAT_read_AWIP: Bad PNG stream"},
    {"lrit_pixels_cut", 60, [] { return cut(real(kFd5), 10000); }, 0,
     "SAT_read_LRIT: Image data truncated: 5029 of 484000 bytes"},
    {"lrit_huge_size", 60, [] { return poke(real(kFd5), kFdStruct + 4, {0xFF, 0xFF, 0xFF, 0xFF}); }, 0,
     "SAT_read_LRIT: Invalid image size 65535 x 65535"},
    {"lrit_zero_columns", 60, [] { return poke(real(kFd5), kFdStruct + 4, {0, 0}); }, 0,
     "SAT_read_LRIT: Invalid image size 0 x 220"},
    {"lrit_compression_5", 60, [] { return poke(real(kFd5), kFdStruct + 8, {5}); }, 0,
     "SAT_read_LRIT: 8-bit pixels with compression 5 cannot be decoded"},
    {"lrit_header_length_lies", 60, [] { return poke(real(kFd5), 7, {0x6C}); }, 0,
     "SAT_read_LRIT: Header records end at"},
    {"lrit_jpeg_cut", 60, [] { return cut(made(kFd5, LRIT_VARIANT_BIN, "jpeg 90"), 60000); }, 0,
     "SAT_read_LRIT: Bad JPEG data"},
    {"tiff_strips_cut", 59, [] { return cut(real("tiff/derived/tige04_lzw.tif"), 100000); }, 0,
     "SAT_read_TIFF: Pixels cannot be decoded"},
    {"tiff_deflate_damaged", 59, [] { return poke(real("tiff/derived/tige04_deflate.tif"), 80000, Bytes(64, 0x55)); },
     0, "SAT_read_TIFF: Pixels cannot be decoded"},
    {"tiff_three_bands", 59, [] { return made("tiff/pixel_is_point_wgs84.tif", "gdal_translate -q -b 1 -b 1 -b 1"); },
     0, "only single-band images are read"},
    // The next directory is this one again: only the first is ever read.
    {"tiff_directory_loop", 59, [] { return poke(real("tiff/pixel_is_point_wgs84.tif"), 12 + 2 + 14 * 12, {12, 0, 0, 0}); },
     1, ""},
};

class BadReaderInput : public ::testing::TestWithParam<BadCase> {};

TEST_P(BadReaderInput, FailsWithItsMessage) {
    const BadCase& c = GetParam();
    const Bytes bytes = c.make();
    if (bytes.empty()) GTEST_SKIP() << "test data or tool not found for " << c.name;
    zt::TempDir dir;
    const std::string path = dir.file(c.name);
    zt::spit(path, bytes);
    zt::MessCapture cap;
    const rr::Read r(c.code, path);
    EXPECT_EQ(r.rc, c.rc) << cap.text();
    EXPECT_NE(cap.text().find(c.message), std::string::npos) << cap.text();
    if (r.rc == 0) {
        EXPECT_EQ(r.img.data, nullptr);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, BadReaderInput, ::testing::ValuesIn(kBad),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
