// Broken, truncated and oversized inputs of every image reader, kept under
// tests/data/bad/ and named for what they break (tests/data/bad/make_bad.py
// writes most of them; the fuzz targets found the rest). Each row names the
// reader, the status it must return and a text its messages must hold ("":
// it prints nothing); no row may leave a pixel buffer behind, and the
// sanitizer build turns any stray read into a failure.
#include "zem_test.h"

#include <cctype>
#include <cstdio>

#include "files.h"
#include "flag.h"
#include "img_tool.h"
#include "png.h"
#include "resrc.h"
#include "sat_read.h"
#include "sat_tran.h"
#include "tools.h"
#include "xdump.h"

namespace {

enum class Reader { area, read_file, zem, img, png, xwd, xwd_depth8 };

struct BadFile {
    const char* file;
    Reader reader;
    int status;
    const char* message;
};

const BadFile kBad[] = {
    {"area_empty.area", Reader::area, -1, "SAT_read_AREA: Empty file\n"},
    // Words in neither byte order: taken as sync-framed, and no marker
    // within the 1024 attempts.
    {"area_garbage.area", Reader::area, -1, ""},
    {"area_sync_no_marker.area", Reader::area, -1, ""},
    {"area_sync_marker_too_late.area", Reader::area, -1, ""},
    {"area_sync_no_second_marker.area", Reader::area, -1, ""},
    {"area_dir_cut.area", Reader::area, -1, "SAT_read_AREA: Truncated directory\n"},
    {"area_nav_past_end.area", Reader::area, -1, "SAT_read_AREA: Truncated GOES navigation block\n"},
    {"area_data_cut.area", Reader::area, -1, "SAT_read_AREA: Image data truncated: 9 of 12 bytes\n"},
    {"area_data_past_end.area", Reader::area, -1,
     "SAT_read_AREA: Image data offset 1073741824 past the end of the file\n"},
    {"area_element_size_3.area", Reader::area, -1, "SAT_read_AREA: Unsupported element size 3\n"},
    {"area_zero_size.area", Reader::area, -1, "SAT_read_AREA: Invalid image parameters\n"},
    {"area_elems_zero.area", Reader::area, -1, "SAT_read_AREA: Invalid image parameters\n"},
    {"area_huge_size.area", Reader::area, -1, "SAT_read_AREA: Invalid image parameters\n"},
    {"area_lines_too_many.area", Reader::area, -1, "SAT_read_AREA: Invalid image parameters\n"},
    {"area_pixels_too_many.area", Reader::area, -1, "SAT_read_AREA: Invalid image parameters\n"},
    // 803 bytes claiming 30000 x 30000: refused before 900 MB are taken.
    {"area_sync_huge_claim.area", Reader::area, -1,
     "SAT_read_AREA: Image of 30000 x 30000 pixels is larger than 536870912 pixels\n"
     "SAT_read_AREA: Invalid image parameters\n"},
    {"area_png_too_large.area", Reader::area, -1,
     "SAT_read_AREA: PNG data block is 64x64, directory says 4x3\n"},
    {"area_png_damaged.area", Reader::area, -1, "SAT_read_AREA: Bad PNG data block: "},
    {"area_garbage.area", Reader::read_file, 0, "SAT_read_file: Unable to read image file\n"},
    {"area_sync_huge_claim.area", Reader::read_file, 0, "SAT_read_file: Unable to read image file\n"},
    {"no_such_file.area", Reader::read_file, 0, "SAT_read_file: Unable to open file:"},
    {"zem_bad_magic.img", Reader::zem, -1, "IMG_read_zem: Invalid image type\n"},
    {"zem_garbage.img", Reader::zem, -1, "IMG_read_zem: Invalid image type\n"},
    {"zem_header_cut.img", Reader::zem, -1, "IMG_read_zem: Truncated header"},
    {"zem_huge_size.img", Reader::zem, -1, "IMG_read_zem: Invalid image size 70000x70000"},
    {"zem_zero_size.img", Reader::zem, -1, "IMG_read_zem: Invalid image size 0x5"},
    {"zem_negative_size.img", Reader::zem, -1, "IMG_read_zem: Invalid image size -4x5"},
    {"zem_size_past_int.img", Reader::zem, -1, "IMG_read_zem: Invalid image size line"},
    {"zem_grid_past_int.img", Reader::zem, -1, "IMG_read_zem: Invalid image size line"},
    {"zem_no_size.img", Reader::zem, -1, "IMG_read_zem: Invalid image size line"},
    {"zem_bad_token.img", Reader::zem, -1, "IMG_read_zem: Invalid image size line"},
    {"zem_data_cut.img", Reader::zem, -1, "IMG_read_zem: Image data truncated (3 of 16 bytes)"},
    {"zem_empty_domain.img", Reader::zem, -1, "IMG_read_zem: Invalid domain"},
    {"zem_c_block_cut.img", Reader::zem, -1, "IMG_read_zem: Truncated header"},
    {"zem_v_block_cut.img", Reader::zem, -1, "IMG_read_zem: Truncated header"},
    {"zem_c_count_past_end.img", Reader::zem, -1, "IMG_read_zem: Truncated header"},
    {"zem_data_file_missing.img", Reader::zem, -1, "Unable to open: no_such_pixels.bin\n"},
    {"no_such_file.img", Reader::zem, -1, "Unable to open: "},
    // 91 bytes of compressed body claiming 40000 x 50000 pixels.
    {"zemimgz_huge_claim.img", Reader::img, -1, "IMG_read_zem: Invalid image size 40000x50000 in "},
    {"no_such_file.png", Reader::img, 0, "IMG_read: Unable to open image file: "},
    {"png_not_png.png", Reader::png, 0, "PNG_read: Not a PNG file: "},
    {"png_huge_claim.png", Reader::png, 0, "Unable to allocate data buffer.\n"},
    {"png_cut.png", Reader::png, 0, "libpng: "},
    {"no_such_file.png", Reader::png, 0, "PNG_read: Unable to open file: "},
    {"xwd_version6.xwd", Reader::xwd, 0, "XWD file format version mismatch\n"},
    {"xwd_header_small.xwd", Reader::xwd, 0, "XWD header size is too small.\n"},
    {"xwd_depth32.xwd", Reader::xwd_depth8, 0, "Incorrect depth: 32 > 8\n"},
    {"xwd_header_cut.xwd", Reader::xwd, 0, "Unable to read dump file header\n"},
    {"xwd_name_cut.xwd", Reader::xwd, 0, "Unable to read window name from dump file.\n"},
    {"xwd_colormap_cut.xwd", Reader::xwd, 0, "Unable to read color map from dump file.\n"},
    {"xwd_pixmap_cut.xwd", Reader::xwd, 0, "Unable to read pixmap from dump file.\n"},
    {"xwd_huge_claim.xwd", Reader::xwd, 0, "Unable to allocate data buffer.\n"},
    {"xwd_ncolors_huge.xwd", Reader::xwd, 0, "Unable to read dump file header\n"},
    {"no_such_file.xwd", Reader::xwd, 0, "XWD_read: Unable to open dump file: "},
};

void PrintTo(const BadFile& c, std::ostream* os) { *os << c.file; }

std::string bad(const std::string& name) { return std::string(ZEM_TEST_DATA) + "/bad/" + name; }

// Runs the row's reader; its status. `said` gets everything printed through
// the message module and on standard error (the XWD reader's channel).
int read_bad(const BadFile& c, std::string* said) {
    const std::string path = bad(c.file);
    zt::MessCapture cap;
    ::testing::internal::CaptureStderr();
    IMG_report img;
    IMG_init(&img);
    int rc = 0;
    switch (c.reader) {
        case Reader::area: {
            MC_area a{};
            FILE* f = std::fopen(path.c_str(), "rb");
            rc = f ? SAT_read_AREA(f, &a) : -99;
            if (f) std::fclose(f);
            EXPECT_EQ(a.dir, nullptr);
            EXPECT_EQ(a.image, nullptr);
            break;
        }
        case Reader::read_file:
            RES_clear();
            FLAG_reset(kMissing);
            FLAG_set(14, kFormatArea);
            rc = SAT_read_file(path.c_str(), &img);
            break;
        case Reader::zem: rc = IMG_read_zem(path.c_str(), &img, 0); break;
        case Reader::img:
            IMG_set_read_wait(0);  // a short compressed body: do not wait for more
            rc = IMG_read(path.c_str(), &img, 0);
            IMG_set_read_wait(1);
            break;
        case Reader::png: rc = PNG_read(path.c_str(), &img, 0); break;
        case Reader::xwd_depth8: img.depth = 8; [[fallthrough]];
        case Reader::xwd: rc = XWD_read(path.c_str(), &img, 0); break;
    }
    // The readers the image module calls leave freeing to it; its own and
    // the satellite readers free before they return.
    if (c.reader != Reader::png && c.reader != Reader::xwd && c.reader != Reader::xwd_depth8) {
        EXPECT_EQ(img.data, nullptr);
    }
    IMG_free(&img);
    *said = cap.text() + ::testing::internal::GetCapturedStderr();
    return rc;
}

class BadInput : public ::testing::TestWithParam<BadFile> {};

TEST_P(BadInput, FailsWithItsMessage) {
    const BadFile& c = GetParam();
    if (std::string(c.file).rfind("no_such_file", 0) != 0) {
        ASSERT_TRUE(std::filesystem::exists(bad(c.file))) << "missing " << c.file;
    }
    std::string said;
    EXPECT_EQ(read_bad(c, &said), c.status);
    if (*c.message) {
        EXPECT_NE(said.find(c.message), std::string::npos) << said;
    } else {
        EXPECT_EQ(said, "");
    }
}

INSTANTIATE_TEST_SUITE_P(Files, BadInput, ::testing::ValuesIn(kBad), [](const auto& info) {
    std::string n = std::to_string(info.index) + "_" + info.param.file;
    for (char& ch : n)
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
    return n;
});

// Real PNG and XWD files cut anywhere, and noise, never read as an image.
TEST(BadInput, RealImagesCutShort) {
    const std::string dir = zt::testdata("images");
    ZT_NEED_DATA(dir);
    zt::TempDir tmp;
    const std::string p = tmp.file("cut");
    zt::MessCapture quiet;
    for (const char* f : {"hopper.png", "pal8.png", "depth8.xwd", "depth32.xwd", "class5.xwd"}) {
        const std::string good = zt::slurp(dir + "/" + f);
        const bool png = std::string(f).find(".png") != std::string::npos;
        std::string noise(3000, '\0');
        unsigned seed = 5;
        for (char& ch : noise) ch = static_cast<char>((seed = seed * 1103515245u + 12345u) >> 16);
        for (const std::string& bytes : {good.substr(0, 0), good.substr(0, 7), good.substr(0, 33),
                                         good.substr(0, 99), good.substr(0, 140), good.substr(0, good.size() / 2),
                                         good.substr(0, good.size() - 1), noise}) {
            zt::spit(p, bytes);
            IMG_report im;
            IMG_init(&im);
            ::testing::internal::CaptureStderr();
            EXPECT_EQ(png ? PNG_read(p.c_str(), &im, 0) : XWD_read(p.c_str(), &im, 0), 0) << f << " cut at " << bytes.size();
            ::testing::internal::GetCapturedStderr();
            IMG_free(&im);
        }
    }
}

// A polar stereographic block whose normal longitude is the most negative
// word: the longitude is the word over -10000 in floating point
// (+214748.3648), not the word negated as an int.
TEST(BadInput, PsBlockWithMostNegativeLongitudeWord) {
    FILE* f = std::fopen(bad("nav_ps_min_longitude.area").c_str(), "rb");
    ASSERT_NE(f, nullptr);
    MC_area area{};
    ASSERT_EQ(SAT_read_AREA(f, &area), 0);
    std::fclose(f);
    ASSERT_EQ(AREA_init(&area), 0);
    Domain d;
    DOM_init(&d);
    ASSERT_EQ(AREA_map_domain(&d), 0);
    EXPECT_EQ(d.proj, DOM_PSTEREO);
    EXPECT_FLOAT_EQ(d.plon, 214748.3648f);
    EXPECT_FLOAT_EQ(d.plat, 60.0f);
    SAT_free_AREA(&area);
}

// A latest-file request reaching back 999999 intervals is cut at 10000.
// From python: calendar.timegm((2024,3,5,12,0,0)) = 1709640000; 9999
// quarter hours earlier is 1700640900, 2023-11-22 08:15 UTC.
TEST(BadInput, LatestFileReachIsLimited) {
    const std::string text = zt::slurp(bad("filereq_latest_reach_huge.txt"));
    const auto nl = text.find('\n');
    ASSERT_NE(nl, std::string::npos);
    zt::MessCapture cap;
    FILE_set_name(text.substr(0, nl).c_str());
    char out[FILE_NAME_LEN * 2 + 20] = {0};
    const std::string request = text.substr(nl + 1, text.find('\n', nl + 1) - nl - 1);
    EXPECT_EQ(FILE_set_current(request.c_str(), out), 1700640900);
    EXPECT_STREQ(out, "/nonexistent/sat_2311220815.area");
    EXPECT_NE(cap.text().find("FILE_set_current: Latest-file search limited to 10000 steps\n"),
              std::string::npos);
    FILE_set_name("none");
}

}  // namespace
