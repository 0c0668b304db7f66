// GIF files: the reader against ImageMagick on real files and their
// interlaced, local-table and commented variants; the writer on
// pathological pictures read back by ImageMagick, giflib's giftext and the
// reader. Broken files are rows of test_bad_input.cpp.
#include "zem_test.h"

#include <cstring>

#include "gif.h"

namespace {

using zt::Bytes;

// RGB of every pixel of an 8-bit indexed record.
Bytes rgb_of(const IMG_report& im) {
    Bytes out;
    for (int i = 0; i < im.width * im.height; ++i) {
        const IMG_color& c = im.colors[im.data[i]];
        for (float v : {c.r, c.g, c.b}) out.push_back(static_cast<std::uint8_t>(v * 255.0f + 0.5f));
    }
    return out;
}

using zt::magick;

// ---- Reading real files ----------------------------------------------------

enum class Variant { as_is, interlaced, local_table, comment };
struct RealCase {
    const char* file;
    Variant variant;
    int width, height;
};

// Moves the global colour table of a GIF into its first picture's
// descriptor, as a local table.
const char* kToLocal = R"(import sys
b = open(sys.argv[1], 'rb').read(); p = b[10]; n = 3 * (2 << (p & 7))
rest = b[13 + n:]; i = 0
while rest[i] != 0x2c:
    i += 2
    while rest[i]: i += rest[i] + 1
    i += 1
out = b[:10] + bytes([p & 0x7f]) + b[11:13] + rest[:i + 9] + bytes([rest[i + 9] | 0x80 | (p & 7)]) + b[13:13 + n] + rest[i + 10:]
open(sys.argv[2], 'wb').write(out))";

class GifRead : public ::testing::TestWithParam<RealCase> {};

TEST_P(GifRead, PixelsAndColoursAsImageMagickReadsThem) {
    const RealCase& c = GetParam();
    const std::string src = zt::testdata(std::string("images/") + c.file);
    if (!std::filesystem::exists(src)) GTEST_SKIP() << "test data not found: " << src;
    if (!zt::have_tool("convert")) GTEST_SKIP() << "ImageMagick not installed";
    zt::TempDir d;
    std::string file = src;
    if (c.variant == Variant::interlaced) {
        file = d.file("inter.gif");
        zt::run("convert '" + src + "' -interlace GIF " + file);
        ASSERT_NE(zt::run("giftext " + file).out.find("Image is Interlaced"), std::string::npos);
    } else if (c.variant == Variant::local_table) {
        file = d.file("local.gif");
        zt::python(kToLocal, src + " " + file);
        ASSERT_NE(zt::run("giftext " + file).out.find("Image Has Color Map"), std::string::npos)
            << zt::run("giftext " + file).out;
    } else if (c.variant == Variant::comment) {
        file = d.file("comment.gif");
        zt::spit(file, "** made by a satellite ingest\n" + zt::slurp(src));
    }
    zt::Image r;
    ASSERT_EQ(IMG_read(file.c_str(), &r.rec, 0), 1);
    EXPECT_EQ(r.rec.width, c.width);
    EXPECT_EQ(r.rec.height, c.height);
    EXPECT_EQ(r.rec.depth, 8);
    // The comment variant is not a GIF to ImageMagick: compare with the
    // file it was made from.
    EXPECT_TRUE(rgb_of(r.rec) == magick(c.variant == Variant::comment ? src : file))
        << "other colours than ImageMagick's";
    if (r.rec.trans_color < 0) return;
    const Bytes alpha = magick(file, 0, " -alpha extract gray:");
    ASSERT_EQ(alpha.size(), static_cast<std::size_t>(c.width) * c.height);
    for (std::size_t i = 0; i < alpha.size(); ++i)
        ASSERT_EQ(alpha[i] == 0, r.rec.data[i] == r.rec.trans_color) << "pixel " << i;
}

INSTANTIATE_TEST_SUITE_P(Images, GifRead,
                         ::testing::Values(RealCase{"hopper.gif", Variant::as_is, 128, 128},
                                           RealCase{"chi.gif", Variant::as_is, 320, 240},
                                           RealCase{"test.colors.gif", Variant::as_is, 807, 606},
                                           RealCase{"test.colors.gif", Variant::interlaced, 807, 606},
                                           RealCase{"hopper.gif", Variant::local_table, 128, 128},
                                           RealCase{"hopper.gif", Variant::comment, 128, 128}),
                         [](const auto& info) { return "case" + std::to_string(info.index); });

// ---- Writing pathological pictures --------------------------------------------

struct WriteCase {
    const char* name;
    int width, height;
    int (*grey)(int x, int y, int i);  // grey level of pixel (x, y), raster number i
    int table_bits;                    // giftext's BitsPerPixel
    bool interlace;
    long max_bytes;                    // file size bound: the coder compresses
};

int noise(int, int, int i) { return static_cast<int>((static_cast<unsigned>(i) * 2654435761u) >> 24); }

const WriteCase kWrites[] = {
    {"one colour", 640, 480, [](int, int, int) { return 7; }, 1, false, 3000},
    {"three colours", 97, 31, [](int x, int y, int) { return (x / 5 + y) % 3 * 100; }, 2, false, 3000},
    {"129 values", 129, 40, [](int x, int, int) { return x; }, 8, false, 40000},
    {"all 256 values", 640, 480, [](int x, int y, int) { return (x + 3 * y) & 255; }, 8, false, 400000},
    {"noise", 640, 480, noise, 8, false, 460000},
    {"noise, interlaced", 333, 77, noise, 8, true, 460000},
    {"one pixel", 1, 1, [](int, int, int) { return 200; }, 1, false, 100},
};

TEST(GifWrite, PathologicalPicturesReadBackTheSame) {
    if (!zt::have_tool("convert") || !zt::have_tool("giftext")) GTEST_SKIP() << "ImageMagick or giftext missing";
    zt::TempDir d;
    for (const WriteCase& c : kWrites) {
        SCOPED_TRACE(c.name);
        zt::Image src;
        src.rec.width = src.rec.bytes_line = c.width;
        src.rec.height = c.height;
        src.rec.depth = src.rec.bits_pixel = 8;
        src.rec.color_type = 0;
        src.rec.data = static_cast<unsigned char*>(std::malloc(static_cast<std::size_t>(c.width) * c.height));
        Bytes want;
        for (int i = 0; i < c.width * c.height; ++i) {
            src.rec.data[i] = static_cast<unsigned char>(c.grey(i % c.width, i / c.width, i));
            want.insert(want.end(), 3, src.rec.data[i]);
        }
        const std::string file = d.file("w.gif");
        GIF_interlace(c.interlace);
        ASSERT_EQ(GIF_write(file.c_str(), &src.rec), 1);
        GIF_interlace(0);
        EXPECT_LE(static_cast<long>(std::filesystem::file_size(file)), c.max_bytes);
        EXPECT_TRUE(magick(file) == want) << "ImageMagick reads other colours";
        const std::string text = zt::run("giftext " + file).out;
        EXPECT_NE(text.find("BitsPerPixel = " + std::to_string(c.table_bits)), std::string::npos) << text;
        EXPECT_NE(text.find(c.interlace ? "Image is Interlaced" : "Image is Non Interlaced"), std::string::npos);
        zt::Image back;
        ASSERT_EQ(GIF_read(file.c_str(), &back.rec, 0), 1);
        EXPECT_EQ(back.rec.num_colors, 1 << c.table_bits);
        EXPECT_TRUE(rgb_of(back.rec) == want) << "the reader gives other colours";
        // giflib's decoder gives the same palette indices as ours (in file
        // row order, so only for pictures that are not interlaced).
        const std::string raw = zt::run("giftext -r " + file + " 2>/dev/null").out;
        if (!c.interlace) {
            EXPECT_TRUE(
                raw.compare(0, want.size() / 3, reinterpret_cast<const char*>(back.rec.data), want.size() / 3) == 0);
        }
    }
}

}  // namespace
