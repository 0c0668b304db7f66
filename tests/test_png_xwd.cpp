// PNG and XWD files: real files against ImageMagick's decoding, round trips
// through the writers, outside checkers (pngcheck, xwdtopnm), and damaged
// files that must fail cleanly.
#include <gtest/gtest.h>
#include <zlib.h>

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "mess.h"
#include "png.h"
#include "resrc.h"
#include "sat_read.h"
#include "xdump.h"

namespace {

const std::string kImages = std::string(ZEM_TESTDATA_DIR) + "/images";

std::string temp_path(const std::string& name) { return ::testing::TempDir() + "pngxwd_" + name; }

std::string slurp(const std::string& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void spit(const std::string& p, const std::string& bytes) { std::ofstream(p, std::ios::binary) << bytes; }

bool exists(const std::string& p) {
    struct stat st;
    return stat(p.c_str(), &st) == 0;
}

// Runs a shell command; returns its standard output and sets *rc.
std::string run(const std::string& cmd, int* rc = nullptr) {
    std::string out;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) {
        if (rc) *rc = -1;
        return out;
    }
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    int st = pclose(p);
    if (rc) *rc = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return out;
}

std::string tool(const char* name) {
    for (std::string dir : {"/usr/bin/", "/bin/", "/usr/local/bin/"})
        if (access((dir + name).c_str(), X_OK) == 0) return dir + name;
    return {};
}

// ImageMagick's decoding as raw 8-bit RGB (alpha ignored).
std::string magick_rgb(const std::string& file) {
    std::string convert = tool("convert");
    return run(convert + " '" + file + "' -alpha off -depth 8 rgb:- 2>/dev/null");
}

IMG_report empty_record() {
    IMG_report im{};
    im.trans_color = -1;
    im.byte_order = 1;
    return im;
}

void release(IMG_report& im) {
    std::free(im.data);
    std::free(im.colors);
    im.data = nullptr;
    im.colors = nullptr;
}

struct Rgb8 {
    int r, g, b;
    bool operator==(const Rgb8& o) const { return r == o.r && g == o.g && b == o.b; }
};

int mask_shift(unsigned m) {
    int s = 0;
    while (m && !(m & 1u)) {
        m >>= 1;
        ++s;
    }
    return s;
}

// Colour of pixel (x, y) of a record, decoded from the layout fields: the
// colour table for indexed records, the masks for direct ones (a one-byte
// direct pixel is a grey level).
Rgb8 pixel_rgb(const IMG_report& im, int x, int y) {
    const unsigned char* row = im.data + static_cast<size_t>(y) * im.bytes_line;
    if (im.color_type == 1) {
        int v = im.depth == 8 ? row[x] : (im.depth == 4 ? ((x & 1) ? row[x / 2] & 15 : row[x / 2] >> 4) : -1);
        if (v < 0 || v >= im.num_colors) return {-1, -1, -1};
        const IMG_color& c = im.colors[v];
        return {static_cast<int>(c.r * 255.0f + 0.5f), static_cast<int>(c.g * 255.0f + 0.5f),
                static_cast<int>(c.b * 255.0f + 0.5f)};
    }
    const int bytes = im.bits_pixel / 8;
    if (bytes == 1) return {row[x], row[x], row[x]};
    const unsigned char* p = row + static_cast<size_t>(x) * bytes;
    unsigned v = 0;
    for (int i = 0; i < bytes; ++i) v = im.byte_order ? (v << 8 | p[i]) : (v | unsigned(p[i]) << (8 * i));
    return {static_cast<int>((v & im.red) >> mask_shift(im.red)), static_cast<int>((v & im.grn) >> mask_shift(im.grn)),
            static_cast<int>((v & im.blu) >> mask_shift(im.blu))};
}

// Counts pixels whose colour differs from ImageMagick's.
int diff_with_magick(const IMG_report& im, const std::string& file) {
    std::string ref = magick_rgb(file);
    if (ref.size() != static_cast<size_t>(im.width) * im.height * 3) return -1;
    int bad = 0;
    for (int y = 0; y < im.height; ++y)
        for (int x = 0; x < im.width; ++x) {
            const size_t o = (static_cast<size_t>(y) * im.width + x) * 3;
            Rgb8 want{static_cast<unsigned char>(ref[o]), static_cast<unsigned char>(ref[o + 1]),
                      static_cast<unsigned char>(ref[o + 2])};
            if (!(pixel_rgb(im, x, y) == want)) ++bad;
        }
    return bad;
}

class ImageFiles : public ::testing::Test {
protected:
    void SetUp() override {
        if (!exists(kImages)) GTEST_SKIP() << "test data not found: " << kImages;
        RES_clear();
    }
    static void need(const char* name) {
        if (tool(name).empty()) GTEST_SKIP() << name << " not installed";
    }
};

// ---- PNG reading -----------------------------------------------------------

struct PngCase {
    const char* file;
    int width, height, depth, bits_pixel, color_type;
};

void PrintTo(const PngCase& c, std::ostream* os) { *os << c.file; }

class RealPng : public ImageFiles, public ::testing::WithParamInterface<PngCase> {};

// Sizes and layouts as SOURCES.md describes the files (and identify shows).
TEST_P(RealPng, PixelsMatchImageMagick) {
    need("convert");
    const PngCase& c = GetParam();
    const std::string file = kImages + "/" + c.file;
    IMG_report im = empty_record();
    ASSERT_EQ(PNG_read(file.c_str(), &im, 0), 1);
    EXPECT_STREQ(im.info, "PNG");
    EXPECT_EQ(im.width, c.width);
    EXPECT_EQ(im.height, c.height);
    EXPECT_EQ(im.depth, c.depth);
    EXPECT_EQ(im.bits_pixel, c.bits_pixel);
    EXPECT_EQ(im.color_type, c.color_type);
    EXPECT_EQ(im.byte_order, 1);
    if (c.color_type == 0) {
        EXPECT_EQ(im.red, 0xFF0000u);
        EXPECT_EQ(im.grn, 0xFF00u);
        EXPECT_EQ(im.blu, 0xFFu);
    } else {
        EXPECT_GT(im.num_colors, 0);
    }
    EXPECT_EQ(diff_with_magick(im, file), 0);
    release(im);

    // Header only: sizes without pixels.
    IMG_report hd = empty_record();
    ASSERT_EQ(PNG_read(file.c_str(), &hd, 1), 1);
    EXPECT_EQ(hd.width, c.width);
    EXPECT_EQ(hd.data, nullptr);
    release(hd);
}

INSTANTIATE_TEST_SUITE_P(Files, RealPng,
                         ::testing::Values(PngCase{"hopper.png", 128, 128, 24, 24, 0},
                                           PngCase{"pal8.png", 127, 64, 8, 8, 1},
                                           PngCase{"bw_gradient.png", 256, 10, 8, 8, 0},
                                           PngCase{"ADD_CT_02_20120101_032800_00_DATA.png", 512, 512, 24, 32, 0}),
                         [](const auto& info) {
                             std::string n = info.param.file;
                             return n.substr(0, n.find_first_of("._"));
                         });

// RGBA: 32 bits per pixel with red, green, blue in bytes 1 to 3.
TEST_F(ImageFiles, RgbaLayout) {
    const std::string file = kImages + "/ADD_CT_02_20120101_032800_00_DATA.png";
    IMG_report im = empty_record();
    ASSERT_EQ(PNG_read(file.c_str(), &im, 0), 1);
    ASSERT_EQ(im.bits_pixel, 32);
    EXPECT_EQ(im.bytes_line, 4 * im.width);
    for (int i = 0; i < im.width * im.height; ++i) ASSERT_EQ(im.data[4 * i], 0) << i;
    release(im);
}

TEST_F(ImageFiles, InterlacedTwinReadsTheSame) {
    need("convert");
    need("pngcheck");
    const std::string plain = kImages + "/hopper.png";
    const std::string inter = temp_path("hopper_interlaced.png");
    run(tool("convert") + " '" + plain + "' -interlace PNG '" + inter + "'");
    ASSERT_NE(run(tool("pngcheck") + " '" + inter + "'").find("interlaced"), std::string::npos);
    IMG_report a = empty_record(), b = empty_record();
    ASSERT_EQ(PNG_read(plain.c_str(), &a, 0), 1);
    ASSERT_EQ(PNG_read(inter.c_str(), &b, 0), 1);
    ASSERT_EQ(a.bytes_line, b.bytes_line);
    ASSERT_EQ(a.height, b.height);
    EXPECT_EQ(std::memcmp(a.data, b.data, static_cast<size_t>(a.bytes_line) * a.height), 0);
    release(a);
    release(b);
}

// A PNG file built here from its published chunk layout: signature, IHDR,
// optional PLTE, one IDAT of the zlib-compressed rows (filter byte 0 each),
// IEND; every chunk with its CRC-32.
std::string be32(unsigned v) {
    return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}

std::string png_chunk(const std::string& type, const std::string& data) {
    const std::string td = type + data;
    const unsigned crc = static_cast<unsigned>(crc32(0, reinterpret_cast<const Bytef*>(td.data()), td.size()));
    return be32(static_cast<unsigned>(data.size())) + td + be32(crc);
}

std::string make_png(unsigned w, unsigned h, int depth, int ctype, const std::vector<std::string>& rows,
                     const std::string& plte) {
    std::string ihdr = be32(w) + be32(h);
    ihdr += {char(depth), char(ctype), 0, 0, 0};
    std::string raw;
    for (const std::string& r : rows) raw += '\0' + r;
    uLongf len = compressBound(raw.size());
    std::string z(len, '\0');
    compress(reinterpret_cast<Bytef*>(z.data()), &len, reinterpret_cast<const Bytef*>(raw.data()), raw.size());
    z.resize(len);
    std::string out = "\x89PNG\r\n\x1a\n" + png_chunk("IHDR", ihdr);
    if (!plte.empty()) out += png_chunk("PLTE", plte);
    return out + png_chunk("IDAT", z) + png_chunk("IEND", "");
}

// Palettes of 1 and 4 bits: PNG packs the leftmost pixel into the high bits.
// Read, the pixels are palette indices one byte each, and written again
// they keep their colours (palette 0 blue, 1 red, 2 green).
TEST_F(ImageFiles, PackedPalettesReadAndWriteBack) {
    const std::string plte{0, 0, '\xff', '\xff', 0, 0, 0, '\xff', 0};
    struct Case {
        int depth;
        std::vector<std::string> rows;
        std::vector<std::vector<int>> want;  // indices by hand from the bit layout
    } cases[] = {
        {1, {std::string{'\x80', '\x40'}, std::string{'\x01', '\x00'}},
         {{1, 0, 0, 0, 0, 0, 0, 0, 0, 1}, {0, 0, 0, 0, 0, 0, 0, 1, 0, 0}}},
        {4, {std::string{'\x12', '\x00', '\x00', '\x00', '\x01'}, std::string{'\x20', '\x00', '\x00', '\x00', '\x10'}},
         {{1, 2, 0, 0, 0, 0, 0, 0, 0, 1}, {2, 0, 0, 0, 0, 0, 0, 0, 1, 0}}},
    };
    const Rgb8 colour[3] = {{0, 0, 255}, {255, 0, 0}, {0, 255, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.depth);
        const std::string in = temp_path("packed" + std::to_string(c.depth) + ".png");
        spit(in, make_png(10, 2, c.depth, 3, c.rows, plte));
        IMG_report im = empty_record();
        ASSERT_EQ(PNG_read(in.c_str(), &im, 0), 1);
        EXPECT_EQ(im.depth, 8);
        EXPECT_EQ(im.bits_pixel, 8);
        EXPECT_EQ(im.bytes_line, 10);
        EXPECT_EQ(im.num_colors, c.depth == 1 ? 2 : 3);  // libpng keeps at most 2^depth entries
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 10; ++x) EXPECT_EQ(im.data[y * im.bytes_line + x], c.want[y][x]) << x << "," << y;
        const std::string out = temp_path("packed" + std::to_string(c.depth) + "_out.png");
        ASSERT_EQ(PNG_write(out.c_str(), &im), 1);
        IMG_report back = empty_record();
        ASSERT_EQ(PNG_read(out.c_str(), &back, 0), 1);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 10; ++x)
                EXPECT_TRUE(pixel_rgb(back, x, y) == colour[c.want[y][x]]) << x << "," << y;
        if (!tool("convert").empty()) {
            EXPECT_EQ(diff_with_magick(back, in), 0);
        }
        release(back);
        release(im);
    }
}

// A well-formed header (valid CRC) claiming 60000 x 60000 grey pixels over a
// tiny body: the reader refuses the 3.6 GB buffer with its message.
TEST_F(ImageFiles, OversizedPngHeaderRefused) {
    const std::string p = temp_path("huge.png");
    spit(p, make_png(60000, 60000, 8, 0, {std::string(10, '\0')}, ""));
    const std::string log = temp_path("huge.log");
    ASSERT_EQ(MESS_file(log.c_str(), "w"), 0);
    IMG_report im = empty_record();
    EXPECT_EQ(PNG_read(p.c_str(), &im, 0), 0);
    MESS_file_close();
    EXPECT_EQ(im.data, nullptr);
    EXPECT_NE(slurp(log).find("Unable to allocate data buffer.\n"), std::string::npos) << slurp(log);
    release(im);
}

// ---- PNG writing -------------------------------------------------------------

IMG_report indexed_image(int w, int h) {
    IMG_report im = empty_record();
    im.width = w;
    im.height = h;
    im.depth = im.bits_pixel = 8;
    im.bytes_line = w + 3;  // padding bytes at the end of each row
    im.color_type = 1;
    im.num_colors = 6;
    im.colors = static_cast<IMG_color*>(std::calloc(6, sizeof(IMG_color)));
    for (int i = 0; i < 6; ++i) im.colors[i] = {i * 51 / 255.0f, (255 - i * 40) / 255.0f, (i * 7) / 255.0f};
    im.data = static_cast<unsigned char*>(std::calloc(static_cast<size_t>(im.bytes_line) * h, 1));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < im.bytes_line; ++x)
            im.data[y * im.bytes_line + x] = static_cast<unsigned char>(x < w ? (x / 7 + y / 5) % 6 : 99);
    return im;
}

TEST_F(ImageFiles, WrittenPngPassesPngcheckAndReadsBack) {
    need("pngcheck");
    IMG_report im = indexed_image(40, 30);
    const std::string out = temp_path("indexed.png");
    ASSERT_EQ(PNG_write(out.c_str(), &im), 1);

    int rc = -1;
    std::string check = run(tool("pngcheck") + " -t '" + out + "' 2>&1", &rc);
    EXPECT_EQ(rc, 0) << check;
    EXPECT_NE(check.find("OK:"), std::string::npos) << check;
    EXPECT_NE(check.find("Title"), std::string::npos) << check;
    EXPECT_NE(check.find("Software"), std::string::npos) << check;
    EXPECT_NE(check.find("Creation Time"), std::string::npos) << check;
    EXPECT_NE(check.find("GMT"), std::string::npos) << check;
    std::string verbose = run(tool("pngcheck") + " -v '" + out + "' 2>&1");
    EXPECT_NE(verbose.find("256 palette entries"), std::string::npos) << verbose;
    EXPECT_NE(verbose.find("8-bit palette"), std::string::npos) << verbose;

    IMG_report back = empty_record();
    ASSERT_EQ(PNG_read(out.c_str(), &back, 0), 1);
    EXPECT_EQ(back.width, 40);
    EXPECT_EQ(back.height, 30);
    EXPECT_EQ(back.color_type, 1);
    EXPECT_EQ(back.num_colors, 256);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) ASSERT_TRUE(pixel_rgb(back, x, y) == pixel_rgb(im, x, y)) << x << "," << y;
    // Palette in order of first appearance: pixel (0,0) is index 0.
    EXPECT_EQ(back.data[0], 0);
    // Entries beyond the colours found are black.
    EXPECT_EQ(back.colors[255].r, 0.0f);
    release(back);
    release(im);
}

// 300 distinct colours: the first 256 keep their colours, the last 44 map
// to index 0 (the colour of the first pixel).
TEST_F(ImageFiles, MoreThan256ColoursMapToIndexZero) {
    IMG_report im = empty_record();
    im.width = 300;
    im.height = 2;
    im.depth = im.bits_pixel = 24;
    im.bytes_line = 900;
    im.color_type = 0;
    im.red = 0xFF0000;
    im.grn = 0xFF00;
    im.blu = 0xFF;
    std::vector<unsigned char> pix(1800);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 300; ++x) {
            pix[y * 900 + 3 * x] = static_cast<unsigned char>(x % 256);
            pix[y * 900 + 3 * x + 1] = static_cast<unsigned char>(x / 256 * 100 + 10);
            pix[y * 900 + 3 * x + 2] = 7;
        }
    im.data = pix.data();
    const std::string out = temp_path("300.png");
    ASSERT_EQ(PNG_write(out.c_str(), &im), 1);
    IMG_report back = empty_record();
    ASSERT_EQ(PNG_read(out.c_str(), &back, 0), 1);
    for (int x = 0; x < 300; ++x) {
        Rgb8 want = x < 256 ? pixel_rgb(im, x, 0) : pixel_rgb(im, 0, 0);
        EXPECT_TRUE(pixel_rgb(back, x, 1) == want) << x;
        EXPECT_EQ(back.data[back.bytes_line + x], x < 256 ? x : 0) << x;
    }
    release(back);
}

// Every layout the writer meets, from real files of at most 256 colours
// (counted with ImageMagick's identify -format %k): 8-bit pseudo colour,
// 32-bit true colour (both 24 and 32 deep), 24-bit direct colour with row
// padding, 8-bit grey and an 8-bit palette. Written as PNG and read back,
// the pixels equal ImageMagick's reading of the original.
TEST_F(ImageFiles, RealFilesWrittenAsPng) {
    need("convert");
    for (const char* name : {"depth8.xwd", "depth32.xwd", "Rhs2Gvs2Bhs10.xwd", "class5.xwd", "bw_gradient.png",
                             "pal8.png"}) {
        SCOPED_TRACE(name);
        const std::string file = kImages + "/" + name;
        IMG_report im = empty_record();
        const bool png = std::string(name).find(".png") != std::string::npos;
        ASSERT_EQ(png ? PNG_read(file.c_str(), &im, 0) : XWD_read(file.c_str(), &im, 0), 1);
        const std::string out = temp_path(std::string("w_") + name + ".png");
        ASSERT_EQ(PNG_write(out.c_str(), &im), 1);
        IMG_report back = empty_record();
        ASSERT_EQ(PNG_read(out.c_str(), &back, 0), 1);
        EXPECT_EQ(back.color_type, 1);
        EXPECT_EQ(back.num_colors, 256);
        EXPECT_EQ(diff_with_magick(back, file), 0);
        release(back);
        release(im);
    }
}

// 32-bit pixels in both byte orders and 16-bit 5-6-5 pixels: channels are
// taken through the masks and scaled to 8 bits by shifting left by 8 minus
// the mask width (31 -> 248, 63 -> 252 by hand).
TEST_F(ImageFiles, DirectLayoutsWrittenAsPng) {
    for (int order : {0, 1}) {
        SCOPED_TRACE(order);
        IMG_report im = empty_record();
        im.width = 16;
        im.height = 16;
        im.depth = 24;
        im.bits_pixel = 32;
        im.bytes_line = 64;
        im.byte_order = order;
        im.color_type = 0;
        im.red = 0xFF0000;
        im.grn = 0xFF00;
        im.blu = 0xFF;
        std::vector<unsigned char> pix(1024);
        for (int i = 0; i < 256; ++i) {
            const unsigned char r = static_cast<unsigned char>(i), g = static_cast<unsigned char>(255 - i), b = 9;
            unsigned char* p = &pix[4 * i];
            if (order) {
                p[0] = 0, p[1] = r, p[2] = g, p[3] = b;
            } else {
                p[0] = b, p[1] = g, p[2] = r, p[3] = 0;
            }
        }
        im.data = pix.data();
        const std::string out = temp_path("direct32.png");
        ASSERT_EQ(PNG_write(out.c_str(), &im), 1);
        IMG_report back = empty_record();
        ASSERT_EQ(PNG_read(out.c_str(), &back, 0), 1);
        for (int i = 0; i < 256; ++i) EXPECT_TRUE(pixel_rgb(back, i % 16, i / 16) == (Rgb8{i, 255 - i, 9})) << i;
        release(back);
    }
    IMG_report im = empty_record();
    im.width = 3;
    im.height = 1;
    im.depth = im.bits_pixel = 16;
    im.bytes_line = 6;
    im.byte_order = 1;
    im.color_type = 0;
    im.red = 0xF800;
    im.grn = 0x07E0;
    im.blu = 0x001F;
    unsigned char pix[6] = {0xF8, 0x00, 0x07, 0xE0, 0x00, 0x1F};  // pure red, green, blue
    im.data = pix;
    const std::string out = temp_path("direct16.png");
    ASSERT_EQ(PNG_write(out.c_str(), &im), 1);
    IMG_report back = empty_record();
    ASSERT_EQ(PNG_read(out.c_str(), &back, 0), 1);
    EXPECT_TRUE(pixel_rgb(back, 0, 0) == (Rgb8{248, 0, 0}));
    EXPECT_TRUE(pixel_rgb(back, 1, 0) == (Rgb8{0, 252, 0}));
    EXPECT_TRUE(pixel_rgb(back, 2, 0) == (Rgb8{0, 0, 248}));
    release(back);
}

TEST_F(ImageFiles, PngWriteFailures) {
    IMG_report im = indexed_image(4, 4);
    const std::string log = temp_path("pngfail.log");
    ASSERT_EQ(MESS_file(log.c_str(), "w"), 0);
    EXPECT_EQ(PNG_write("/nonexistent-dir/x.png", &im), 0);
    MESS_file_close();
    EXPECT_NE(slurp(log).find("Unable to open PNG file\n"), std::string::npos) << slurp(log);
    IMG_report none = empty_record();
    EXPECT_EQ(PNG_write(temp_path("none.png").c_str(), &none), 0);
    release(im);
}

// ---- XWD reading ---------------------------------------------------------------

struct XwdCase {
    const char* file;
    int width, height, depth, bits_pixel, color_type, num_colors;
    const char* name;
};

void PrintTo(const XwdCase& c, std::ostream* os) { *os << c.file; }

class RealXwd : public ImageFiles, public ::testing::WithParamInterface<XwdCase> {};

// Header values as the files carry them (dumped with python3 struct.unpack).
TEST_P(RealXwd, PixelsMatchImageMagick) {
    need("convert");
    const XwdCase& c = GetParam();
    const std::string file = kImages + "/" + c.file;
    IMG_report im = empty_record();
    im.depth = 32;  // the display depth the caller presets
    ASSERT_EQ(XWD_read(file.c_str(), &im, 0), 1);
    EXPECT_EQ(im.width, c.width);
    EXPECT_EQ(im.height, c.height);
    EXPECT_EQ(im.depth, c.depth);
    EXPECT_EQ(im.bits_pixel, c.bits_pixel);
    EXPECT_EQ(im.color_type, c.color_type);
    EXPECT_EQ(im.num_colors, c.num_colors);
    EXPECT_EQ(im.byte_order, 0);
    EXPECT_STREQ(im.info, c.name);
    EXPECT_EQ(diff_with_magick(im, file), 0);
    release(im);
}

INSTANTIATE_TEST_SUITE_P(
    Files, RealXwd,
    ::testing::Values(XwdCase{"depth8.xwd", 40, 40, 8, 8, 1, 256, "xwud: ImageMagick: foo.png"},
                      XwdCase{"depth32.xwd", 40, 40, 32, 32, 0, 256, "xwud: ImageMagick: foo.png"},
                      XwdCase{"Rhs2Gvs2Bhs10.xwd", 40, 40, 24, 32, 0, 256, "ImageMagick: foo.png"},
                      XwdCase{"class5.xwd", 324, 342, 24, 24, 0, 256, "xmag"}),
    [](const auto& info) {
        std::string n = info.param.file;
        return n.substr(0, n.find('.'));
    });

std::array<unsigned, 25> xwd_header(const std::string& bytes) {
    std::array<unsigned, 25> h{};
    for (int i = 0; i < 25 && bytes.size() >= 100; ++i) {
        const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes.data()) + 4 * i;
        h[i] = unsigned(p[0]) << 24 | unsigned(p[1]) << 16 | unsigned(p[2]) << 8 | p[3];
    }
    return h;
}

// Written files: the header the writer promises, the same record read
// back, and netpbm's reader agreeing on the pixels.
TEST_F(ImageFiles, XwdRoundTrip) {
    for (const char* name : {"depth8.xwd", "depth32.xwd"}) {
        SCOPED_TRACE(name);
        const std::string file = kImages + "/" + name;
        IMG_report im = empty_record();
        ASSERT_EQ(XWD_read(file.c_str(), &im, 0), 1);
        const std::string out = temp_path(std::string("rt_") + name);
        ASSERT_EQ(XWD_write(out.c_str(), &im), 1);

        const std::string bytes = slurp(out);
        auto h = xwd_header(bytes);
        const unsigned name_len = static_cast<unsigned>(std::strlen(im.info));
        EXPECT_EQ(h[0], 100 + name_len + 1);  // header_size
        EXPECT_EQ(h[1], 7u);                   // file_version
        EXPECT_EQ(h[2], 2u);                   // Z pixmap
        EXPECT_EQ(h[3], unsigned(im.depth));
        EXPECT_EQ(h[4], unsigned(im.width));
        EXPECT_EQ(h[5], unsigned(im.height));
        EXPECT_EQ(h[7], unsigned(im.byte_order));
        EXPECT_EQ(h[8], 32u);
        EXPECT_EQ(h[9], unsigned(im.byte_order));
        EXPECT_EQ(h[10], 32u);
        EXPECT_EQ(h[11], unsigned(im.bits_pixel));
        EXPECT_EQ(h[12], unsigned(im.bytes_line));
        EXPECT_EQ(h[13], im.color_type == 1 ? 3u : 4u);
        EXPECT_EQ(h[17], 8u);
        EXPECT_EQ(h[18], unsigned(im.num_colors));
        EXPECT_EQ(h[19], unsigned(im.num_colors));
        EXPECT_EQ(bytes.size(), h[0] + 12u * h[19] + size_t(im.height) * im.bytes_line);
        EXPECT_EQ(bytes[h[0] - 1], '\0');
        // Colour record i: pixel i, flags 7.
        const unsigned char* rec = reinterpret_cast<const unsigned char*>(bytes.data()) + h[0] + 12 * 5;
        EXPECT_EQ(rec[3], 5);
        EXPECT_EQ(rec[10], 7);

        IMG_report back = empty_record();
        ASSERT_EQ(XWD_read(out.c_str(), &back, 0), 1);
        EXPECT_EQ(back.width, im.width);
        EXPECT_EQ(back.height, im.height);
        EXPECT_EQ(back.depth, im.depth);
        EXPECT_EQ(back.bits_pixel, im.bits_pixel);
        EXPECT_EQ(back.bytes_line, im.bytes_line);
        EXPECT_EQ(back.byte_order, im.byte_order);
        EXPECT_EQ(back.color_type, im.color_type);
        EXPECT_EQ(back.red, im.red);
        EXPECT_STREQ(back.info, im.info);
        ASSERT_EQ(back.num_colors, im.num_colors);
        for (int i = 0; i < im.num_colors; ++i) {
            // 16-bit components: written truncated, read back /65535.
            EXPECT_NEAR(back.colors[i].r, im.colors[i].r, 1.0 / 65535);
            EXPECT_NEAR(back.colors[i].b, im.colors[i].b, 1.0 / 65535);
        }
        EXPECT_EQ(std::memcmp(back.data, im.data, size_t(im.height) * im.bytes_line), 0);

        if (!tool("xwdtopnm").empty() && !tool("convert").empty()) {
            // netpbm reads the written file; its pixels agree with
            // ImageMagick's reading of the original.
            std::string ppm = run(tool("xwdtopnm") + " '" + out + "' 2>/dev/null | " + tool("convert") +
                                  " ppm:- -depth 8 rgb:-");
            EXPECT_EQ(ppm, magick_rgb(file));
        }
        release(back);
        release(im);
    }
}

std::string capture_xwd_read(const std::string& bytes, int preset_depth, int* result) {
    const std::string p = temp_path("bad.xwd");
    spit(p, bytes);
    IMG_report im = empty_record();
    im.depth = preset_depth;
    ::testing::internal::CaptureStderr();
    *result = XWD_read(p.c_str(), &im, 0);
    std::string err = ::testing::internal::GetCapturedStderr();
    release(im);
    return err;
}

void put_be32(std::string& b, size_t off, unsigned v) {
    b[off] = char(v >> 24);
    b[off + 1] = char(v >> 16);
    b[off + 2] = char(v >> 8);
    b[off + 3] = char(v);
}

TEST_F(ImageFiles, XwdHeaderChecks) {
    const std::string good = slurp(kImages + "/depth8.xwd");
    int r = -1;
    std::string v6 = good;
    put_be32(v6, 4, 6);
    EXPECT_EQ(capture_xwd_read(v6, 0, &r), "XWD file format version mismatch\n");
    EXPECT_EQ(r, 0);
    std::string small = good;
    put_be32(small, 0, 50);
    EXPECT_EQ(capture_xwd_read(small, 0, &r), "XWD header size is too small.\n");
    EXPECT_EQ(r, 0);
    EXPECT_EQ(capture_xwd_read(slurp(kImages + "/depth32.xwd"), 8, &r), "Incorrect depth: 32 > 8\n");
    EXPECT_EQ(r, 0);
    EXPECT_EQ(capture_xwd_read(good.substr(0, 60), 0, &r), "Unable to read dump file header\n");
    EXPECT_EQ(r, 0);
    EXPECT_EQ(capture_xwd_read(good.substr(0, 110), 0, &r), "Unable to read window name from dump file.\n");
    EXPECT_EQ(capture_xwd_read(good.substr(0, 127 + 100), 0, &r), "Unable to read color map from dump file.\n");
    EXPECT_EQ(capture_xwd_read(good.substr(0, good.size() - 1), 0, &r), "Unable to read pixmap from dump file.\n");
    EXPECT_EQ(r, 0);
    EXPECT_EQ(capture_xwd_read(good, 8, &r), "");
    EXPECT_EQ(r, 1);

    IMG_report im = empty_record();
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(XWD_read("/nonexistent-dir/none.xwd", &im, 0), 0);
    EXPECT_NE(::testing::internal::GetCapturedStderr(), "");
    IMG_report w = indexed_image(3, 3);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(XWD_write("/nonexistent-dir/x.xwd", &w), 0);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Unable to open dump file\n");
    release(w);
}

// ---- Damaged files ---------------------------------------------------------------

std::string noise(size_t n, unsigned seed) {
    std::string s(n, '\0');
    for (auto& c : s) {
        seed = seed * 1103515245u + 12345u;
        c = static_cast<char>(seed >> 16);
    }
    return s;
}

// Truncated copies must fail; garbage and flipped bytes may fail or read,
// but never crash or read out of bounds (run under the sanitizers).
TEST_F(ImageFiles, DamagedFilesFailCleanly) {
    const std::string p = temp_path("damaged");
    const char* files[] = {"hopper.png", "pal8.png", "bw_gradient.png", "depth8.xwd", "depth32.xwd", "class5.xwd"};
    ::testing::internal::CaptureStderr();  // XWD failures go to standard error
    const int saved = MESS_set_out(0);     // and PNG warnings to the log only
    for (const char* f : files) {
        const std::string good = slurp(kImages + "/" + f);
        const bool png = std::string(f).find(".png") != std::string::npos;
        auto read = [&](const std::string& bytes) {
            spit(p, bytes);
            IMG_report im = empty_record();
            int r = png ? PNG_read(p.c_str(), &im, 0) : XWD_read(p.c_str(), &im, 0);
            release(im);
            return r;
        };
        for (size_t len : {size_t(0), size_t(1), size_t(7), size_t(8), size_t(33), size_t(60), size_t(99),
                           size_t(100), size_t(140), good.size() / 3, good.size() / 2, good.size() - 13,
                           good.size() - 1})
            if (len < good.size()) {
                EXPECT_EQ(read(good.substr(0, len)), 0) << f << " cut at " << len;
            }
        for (unsigned seed = 1; seed <= 40; ++seed) {
            std::string bad = good;
            std::string n = noise(8, seed);
            const size_t at = (seed * 7919u) % (bad.size() - 8);
            bad.replace(at, 8, n);
            const int r = read(bad);
            EXPECT_TRUE(r == 0 || r == 1);
        }
        // Header kept, the rest garbage, and pure garbage.
        const size_t keep = png ? 33 : 100;
        const int r1 = read(good.substr(0, keep) + noise(5000, 99));
        EXPECT_TRUE(r1 == 0 || r1 == 1);
        EXPECT_EQ(read(noise(3000, 5)), 0);
    }
    // Oversized claims: a PNG header of 60000 x 60000 and an XWD header of
    // 65535 x 65535 both over short files.
    std::string big = slurp(kImages + "/bw_gradient.png");
    put_be32(big, 16, 60000);
    put_be32(big, 20, 60000);
    spit(p, big);
    IMG_report im = empty_record();
    EXPECT_EQ(PNG_read(p.c_str(), &im, 0), 0);
    release(im);
    std::string bigx = slurp(kImages + "/depth8.xwd");
    put_be32(bigx, 16, 65535);
    put_be32(bigx, 20, 65535);
    put_be32(bigx, 48, 65535);
    spit(p, bigx);
    EXPECT_EQ(XWD_read(p.c_str(), &im, 0), 0);
    release(im);
    put_be32(bigx, 76, 0xFFFFFFFF);  // ncolors
    spit(p, bigx);
    EXPECT_EQ(XWD_read(p.c_str(), &im, 0), 0);
    release(im);
    MESS_set_out(saved);
    ::testing::internal::GetCapturedStderr();
}

}  // namespace
