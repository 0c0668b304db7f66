// PNG and XWD files: real files against ImageMagick's decoding, round trips
// through the writers checked by outside tools (ImageMagick, pngcheck,
// netpbm's xwdtopnm). Broken files are rows of test_bad_input.cpp.
#include "zem_test.h"

#include <cstring>

#include "png.h"
#include "xdump.h"

// Records are built with designated initializers naming only the layout
// fields; the rest are zero, as the writers need nothing else.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace {

using Ints = std::vector<std::int64_t>;  // for comparing several fields at once

using zt::Rgb;
const std::string kConvert = "/usr/bin/convert", kPngcheck = "/usr/bin/pngcheck";

// Pixels whose colour differs from ImageMagick's reading of `file` (-1 when
// the sizes differ).
int diff_with_magick(const IMG_report& im, const std::string& file) {
    const zt::Bytes ref = zt::magick(file);
    if (ref.size() != std::size_t(im.width) * im.height * 3) return -1;
    int bad = 0;
    for (int y = 0; y < im.height; ++y)
        for (int x = 0; x < im.width; ++x) {
            const std::uint8_t* o = ref.data() + (std::size_t(y) * im.width + x) * 3;
            bad += !(zt::rgb_at(im, x, y) == Rgb{o[0], o[1], o[2]});
        }
    return bad;
}

// A record read from `file` (PNG or XWD by its name), freed at the end.
struct Image : zt::Image {
    IMG_report& im = rec;
    int rc;
    explicit Image(const std::string& file, int preset_depth = 0) {
        im.depth = preset_depth;
        rc = file.find(".png") != file.npos ? PNG_read(file.c_str(), &im, 0) : XWD_read(file.c_str(), &im, 0);
    }
};

class ImageFiles : public ::testing::Test {
protected:
    void SetUp() override {
        ZT_NEED_DATA(dir_);
        if (!std::filesystem::exists(kConvert)) GTEST_SKIP() << "ImageMagick not installed: " << kConvert;
        RES_clear();
    }
    const std::string dir_ = zt::testdata("images/");
    zt::TempDir tmp_;
};

struct FileCase {
    const char* file;
    int width, height, depth, bits_pixel, color_type, num_colors;  // num_colors -1: any
    const char* info;  // PNG: "PNG"; XWD: the window name
};
void PrintTo(const FileCase& c, std::ostream* os) { *os << c.file; }

class RealFiles : public ImageFiles, public ::testing::WithParamInterface<FileCase> {};

// Layouts as SOURCES.md describes the files (XWD header values dumped with
// python3 struct.unpack).
TEST_P(RealFiles, PixelsMatchImageMagick) {
    const FileCase& c = GetParam();
    const bool png = std::string(c.info) == "PNG";
    Image f(dir_ + c.file, 32);  // XWD: the display depth the caller presets
    ASSERT_EQ(f.rc, 1);
    const IMG_report& im = f.im;
    EXPECT_EQ(Ints({im.width, im.height, im.depth, im.bits_pixel, im.color_type, im.byte_order}),
              Ints({c.width, c.height, c.depth, c.bits_pixel, c.color_type, png ? 1 : 0}));
    EXPECT_TRUE(c.num_colors < 0 || im.num_colors == c.num_colors) << im.num_colors;
    EXPECT_STREQ(im.info, c.info);
    EXPECT_EQ(diff_with_magick(im, dir_ + c.file), 0);
    zt::Image hd;  // header only: sizes without pixels
    EXPECT_EQ(png ? PNG_read((dir_ + c.file).c_str(), &hd.rec, 1) : XWD_read((dir_ + c.file).c_str(), &hd.rec, 1), 1);
    EXPECT_EQ(Ints({hd.rec.width, hd.rec.data != nullptr}), Ints({c.width, 0}));
}

INSTANTIATE_TEST_SUITE_P(
    Files, RealFiles,
    ::testing::Values(FileCase{"hopper.png", 128, 128, 24, 24, 0, 0, "PNG"},
                      FileCase{"pal8.png", 127, 64, 8, 8, 1, -1, "PNG"},
                      FileCase{"bw_gradient.png", 256, 10, 8, 8, 0, 0, "PNG"},
                      FileCase{"ADD_CT_02_20120101_032800_00_DATA.png", 512, 512, 24, 32, 0, 0, "PNG"},
                      FileCase{"depth8.xwd", 40, 40, 8, 8, 1, 256, "xwud: ImageMagick: foo.png"},
                      FileCase{"depth32.xwd", 40, 40, 32, 32, 0, 256, "xwud: ImageMagick: foo.png"},
                      FileCase{"Rhs2Gvs2Bhs10.xwd", 40, 40, 24, 32, 0, 256, "ImageMagick: foo.png"},
                      FileCase{"class5.xwd", 324, 342, 24, 24, 0, 256, "xmag"}),
    [](const auto& info) {
        const std::string n = info.param.file;
        return n.substr(0, n.find_first_of("._")) + (n.find(".png") != n.npos ? "_png" : "_xwd");
    });

TEST_F(ImageFiles, InterlacedTwinReadsTheSame) {
    const std::string inter = tmp_.file("interlaced.png");
    zt::run(kConvert + " '" + dir_ + "hopper.png' -interlace PNG '" + inter + "'");
    ASSERT_NE(zt::run(kPngcheck + " '" + inter + "'").out.find("interlaced"), std::string::npos);
    Image a(dir_ + "hopper.png"), b(inter);
    ASSERT_EQ(a.rc + b.rc, 2);
    ASSERT_EQ(a.im.bytes_line * a.im.height, b.im.bytes_line * b.im.height);
    EXPECT_EQ(std::memcmp(a.im.data, b.im.data, std::size_t(a.im.bytes_line) * a.im.height), 0);
}

// Palettes of 1 and 4 bits (tests/data/colour/make_colour.py) read as one
// index byte per pixel.
TEST_F(ImageFiles, PackedPalettesRead) {
    for (const char* bits : {"1", "4"}) {
        const std::string in = std::string(ZEM_TEST_DATA) + "/colour/packed" + bits + ".png";
        Image f(in);
        ASSERT_EQ(f.rc, 1) << in;
        EXPECT_EQ(Ints({f.im.depth, f.im.bits_pixel, f.im.bytes_line, f.im.num_colors}),
                  Ints({8, 8, 10, *bits == '4' ? 3 : 2}));  // libpng keeps at most 2^depth entries
        EXPECT_EQ(diff_with_magick(f.im, in), 0) << in;
    }
}

// An indexed image with padded rows: pngcheck accepts the file and its text
// chunks; the 256-entry palette is built in order of first appearance.
TEST_F(ImageFiles, WrittenPngPassesPngcheckAndReadsBack) {
    std::vector<unsigned char> pix(43 * 30);
    for (std::size_t i = 0; i < pix.size(); ++i) pix[i] = static_cast<unsigned char>(i % 43 < 40 ? (i % 43 / 7 + i / 43 / 5) % 6 : 99);
    IMG_color cols[6];
    for (int i = 0; i < 6; ++i) cols[i] = {i * 51 / 255.0f, (255 - i * 40) / 255.0f, (i * 7) / 255.0f};
    const IMG_report im{.width = 40, .height = 30, .depth = 8, .bits_pixel = 8, .bytes_line = 43, .byte_order = 1,
                        .color_type = 1, .num_colors = 6, .colors = cols, .data = pix.data()};
    const std::string out = tmp_.file("indexed.png");
    ASSERT_EQ(PNG_write(out.c_str(), &im), 1);
    const zt::RunResult check = zt::run(kPngcheck + " -t '" + out + "'; " + kPngcheck + " -v '" + out + "'");
    EXPECT_EQ(check.status, 0) << check.out;
    for (const char* want : {"OK:", "Title", "Software", "Creation Time", "GMT", "256 palette entries", "8-bit palette"})
        EXPECT_NE(check.out.find(want), std::string::npos) << want << " in " << check.out;
    Image back(out);
    EXPECT_EQ(Ints({back.im.width, back.im.height, back.im.color_type, back.im.num_colors}), Ints({40, 30, 1, 256}));
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) ASSERT_EQ(zt::rgb_at(back.im, x, y), zt::rgb_at(im, x, y)) << x << "," << y;
    EXPECT_EQ(back.im.data[0], 0);           // pixel (0,0) came first
    EXPECT_EQ(back.im.colors[255].r, 0.0f);  // unused entries are black
}

// Real files of at most 256 colours (ImageMagick's identify -format %k) in
// every layout the writer meets, written as PNG: ImageMagick reads the
// original the same.
TEST_F(ImageFiles, RealFilesWrittenAsPng) {
    for (const char* name :
         {"depth8.xwd", "depth32.xwd", "Rhs2Gvs2Bhs10.xwd", "class5.xwd", "bw_gradient.png", "pal8.png"}) {
        Image f(dir_ + name);
        ASSERT_EQ(f.rc, 1) << name;
        ASSERT_EQ(PNG_write(tmp_.file("w.png").c_str(), &f.im), 1) << name;
        Image back(tmp_.file("w.png"));
        EXPECT_EQ(back.im.num_colors, 256) << name;
        EXPECT_EQ(diff_with_magick(back.im, dir_ + name), 0) << name;
    }
}

// Direct layouts built here: 32-bit pixels in both byte orders, 5-6-5
// pixels (channels scaled by shifting: 31 -> 248, 63 -> 252), the 5-5-5
// pixels of a 15-bit screen in both orders with padded rows. (Pictures of
// more than 256 colours are the palette suite's.)
TEST_F(ImageFiles, DirectLayoutsWrittenAsPng) {
    const struct {
        int width, depth, bits, order;
        unsigned red, grn, blu;
        std::vector<unsigned char> pix;
        std::vector<Rgb> want;
    } cases[] = {
        {2, 24, 32, 1, 0xFF0000, 0xFF00, 0xFF, {0, 10, 245, 9, 0, 200, 55, 9}, {{10, 245, 9}, {200, 55, 9}}},
        {2, 24, 32, 0, 0xFF0000, 0xFF00, 0xFF, {9, 245, 10, 0, 9, 55, 200, 0}, {{10, 245, 9}, {200, 55, 9}}},
        {3, 16, 16, 1, 0xF800, 0x07E0, 0x001F, {0xF8, 0, 0x07, 0xE0, 0, 0x1F}, {{248, 0, 0}, {0, 252, 0}, {0, 0, 248}}},
        {5, 15, 16, 1, 0x7C00, 0x03E0, 0x001F, {0x7C, 0, 0x03, 0xE0, 0, 0x1F, 0x7F, 0xFF, 0x42, 0x10, 0, 0, 0, 0},
         {{248, 0, 0}, {0, 248, 0}, {0, 0, 248}, {248, 248, 248}, {128, 128, 128}}},
        {5, 15, 16, 0, 0x7C00, 0x03E0, 0x001F, {0, 0x7C, 0xE0, 0x03, 0x1F, 0, 0xFF, 0x7F, 0x10, 0x42, 0, 0, 0, 0},
         {{248, 0, 0}, {0, 248, 0}, {0, 0, 248}, {248, 248, 248}, {128, 128, 128}}},
    };
    for (auto c : cases) {
        const IMG_report im{.width = c.width, .height = 1, .depth = c.depth, .bits_pixel = c.bits,
                            .bytes_line = int(c.pix.size()), .byte_order = c.order, .red = c.red, .grn = c.grn,
                            .blu = c.blu, .data = c.pix.data()};
        ASSERT_EQ(PNG_write(tmp_.file("d.png").c_str(), &im), 1);
        Image back(tmp_.file("d.png"));
        for (int x = 0; x < c.width; ++x) EXPECT_EQ(zt::rgb_at(back.im, x, 0), c.want[std::size_t(x)]) << c.bits << " " << x;
    }
}

TEST_F(ImageFiles, WriteFailures) {
    Image f(dir_ + "depth8.xwd");
    zt::MessCapture cap;
    zt::Image none;
    EXPECT_EQ(PNG_write("/nonexistent-dir/x.png", &f.im) + PNG_write(tmp_.file("none.png").c_str(), &none.rec), 0);
    EXPECT_NE(cap.text().find("Unable to open PNG file\nPNG_write: no image to write\n"), std::string::npos);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(XWD_write("/nonexistent-dir/x.xwd", &f.im), 0);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Unable to open dump file\n");
}

// Written dumps: netpbm's reader agrees with ImageMagick's reading of the
// original, and ours finds the window name again.
TEST_F(ImageFiles, XwdRoundTrip) {
    for (const char* name : {"depth8.xwd", "depth32.xwd"}) {
        Image f(dir_ + name);
        ASSERT_EQ(f.rc, 1);
        const std::string out = tmp_.file(name);
        ASSERT_EQ(XWD_write(out.c_str(), &f.im), 1);
        EXPECT_STREQ(Image(out).im.info, f.im.info);
        const std::string ppm = zt::run("(/usr/bin/xwdtopnm '" + out + "' 2>/dev/null | " + kConvert + " ppm:- -depth 8 rgb:-)").out;
        EXPECT_TRUE(zt::Bytes(ppm.begin(), ppm.end()) == zt::magick(dir_ + name)) << name;
    }
}

}  // namespace
