// The package's image files (ZEMIMG): plain and compressed data checked
// against Python's zlib, both header versions, the separate-data form,
// comment lines and skip blocks, image-file recognition, pixel layouts
// converted on writing, and the record helpers. Header texts are written out
// by hand from the format ("%f" prints six decimals). Malformed files are
// rows of test_bad_input.cpp.
#include "zem_test.h"

#include <cstring>
#include <sstream>

#include "img_tool.h"
#include "sat_read.h"
#include "tools.h"

namespace {

using zt::Bytes;

Bytes ramp(std::size_t n) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(i);
    return b;
}

class ImgTest : public ::testing::Test {
protected:
    void SetUp() override {
        MESS_reset();
        IMG_set_read_wait(1.0f);
        IMG_init(&img_);
    }
    void TearDown() override { IMG_free(&img_); }

    // A w x h 8-bit image with a recognisable pattern.
    void make_image(int w, int h) {
        IMG_free(&img_);
        IMG_init(&img_);
        img_.width = img_.bytes_line = w;
        img_.height = h;
        img_.depth = img_.bits_pixel = 8;
        img_.data = static_cast<unsigned char*>(std::malloc(std::size_t(w) * h));
        for (int i = 0; i < w * h; ++i) img_.data[i] = static_cast<unsigned char>((i / w) * 3 + (i % w) / 5 + (i % 7 == 0));
        std::snprintf(img_.datim, sizeof img_.datim, "1200Z  5 MAR 24");
        std::snprintf(img_.info, sizeof img_.info, "test image");
    }
    Bytes pixels() const { return Bytes(img_.data, img_.data + std::size_t(img_.width) * img_.height); }
    // The file's first four lines and the bytes after them.
    static std::string header(const std::string& name) {
        const std::string t = zt::slurp(name);
        std::size_t at = 0;
        for (int n = 0; n < 4 && at != std::string::npos; ++n) at = t.find('\n', at) + 1;
        return t.substr(0, at);
    }
    static Bytes body(const std::string& name) {
        const Bytes all = zt::slurp_bytes(name);
        return Bytes(all.begin() + static_cast<long>(header(name).size()), all.end());
    }
    IMG_report read_back(const std::string& name) {
        IMG_report back;
        IMG_init(&back);
        EXPECT_EQ(IMG_read_zem(name.c_str(), &back, 0), 1) << header(name);
        return back;
    }
    zt::TempDir dir_;
    IMG_report img_;
};

// 307200 bytes go out in 10000-byte pieces, each its own zlib stream:
// 30 full ones and one of 7200, which Python's zlib decodes to the picture.
// A stream damaged or missing keeps what came before it.
TEST_F(ImgTest, CompressedPiecesAgreeWithPythonZlib) {
    make_image(640, 480);
    const std::string name = dir_.file("big.zem");
    ASSERT_EQ(IMG_write(name.c_str(), &img_, 1), 1);
    EXPECT_EQ(header(name), "ZEMIMGZ\n1200Z  5 MAR 24\ntest image\n640 480\n");
    const Bytes z = body(name);
    zt::spit(dir_.file("body.z"), z);
    const zt::RunResult py = zt::run("/usr/bin/python3 " + std::string(ZEM_TEST_DATA) + "/ref/zlib_streams.py " +
                                     dir_.file("body.z") + " " + dir_.file("py.raw"));
    ASSERT_EQ(py.status, 0) << py.out;
    std::istringstream lines(py.out);
    std::vector<std::size_t> decoded;
    std::size_t d = 0, c = 0, first_len = 0;
    while (lines >> d >> c) {
        decoded.push_back(d);
        if (!first_len) first_len = c;
    }
    std::vector<std::size_t> want(30, 10000);
    want.push_back(7200);
    EXPECT_EQ(decoded, want);
    EXPECT_EQ(zt::slurp_bytes(dir_.file("py.raw")), pixels());

    IMG_report back = read_back(name);
    EXPECT_EQ(std::vector<int>({back.source, back.width, back.height, back.bytes_line, back.depth, back.domain.nx,
                                back.domain.ny, back.domain.proj}),
              std::vector<int>({50, 640, 480, 640, 8, 640, 480, kMissing}));
    EXPECT_STREQ(back.info, "test image");
    EXPECT_STREQ(back.datim, "1200Z  5 MAR 24");
    EXPECT_EQ(Bytes(back.data, back.data + 307200), pixels());
    IMG_free(&back);

    ASSERT_GT(first_len, 0u);
    const std::string head = header(name);
    Bytes damaged = z;
    for (std::size_t i = first_len + 2; i < first_len + 40; ++i) damaged[i] ^= 0x5A;
    const struct {
        Bytes z;
        const char* message;
    } cases[] = {{damaged, "IMG_read_zem: Compressed data damaged"},
                 {Bytes(z.begin(), z.begin() + static_cast<long>(first_len)),
                  "IMG_read_zem: Compressed data end early: 10000 of 307200 bytes\n"}};
    IMG_set_read_wait(0.01f);  // the cut file is waited for: briefly
    for (const auto& k : cases) {
        Bytes f(head.begin(), head.end());
        f.insert(f.end(), k.z.begin(), k.z.end());
        zt::spit(name, f);
        zt::MessCapture cap;
        back = read_back(name);
        EXPECT_EQ(Bytes(back.data, back.data + 10000), Bytes(img_.data, img_.data + 10000));
        EXPECT_NE(cap.text().find(k.message), std::string::npos) << cap.text();
        IMG_free(&back);
    }
}

// Version 3 headers name five projections by a token; what the token
// carries comes back.
TEST_F(ImgTest, Version3ProjectionTokens) {
    const float M = kMissingF;
    const struct {
        int proj;
        float plat, plon, p0, p1, p2;
        const char* token;
        float back_plat, back_plon, back_p0;
    } cases[] = {
        {1, M, -105, M, M, M, "PS ", M, M, M},  // plon equal to clon: not written
        {1, M, -100, M, M, M, "PS:-100.000000 ", M, -100, M},
        {2, M, M, M, M, M, "LL ", M, M, M},
        {3, M, M, M, M, M, "ME ", M, M, M},
        {4, 25, -95, 25, 25, 0, "LC:25.000000:-95.000000:25.000000:25.000000:0.000000 ", 25, -95, 25},
        {4, M, -95, M, M, M, "LC:-95.000000 ", M, -95, M},
        {4, M, M, M, M, M, "LC ", M, M, M},
        {9, 0, -75, M, M, M, "SAT:0.000000:-75.000000 ", 0, -75, M},
        {9, 0, -75, 421.5f, M, M, "SAT:0.000000:-75.000000:421.500000 ", 0, -75, 421.5f},
    };
    for (const auto& c : cases) {
        make_image(5, 3);
        img_.domain = Domain{c.proj, c.plat, c.plon, {c.p0, c.p1, c.p2, M, M}, 40, -105, 1.5f, 2.25f, 5, 3, 0};
        const std::string name = dir_.file("p.zem");
        ASSERT_EQ(IMG_write(name.c_str(), &img_, 0), 1);
        EXPECT_EQ(header(name), std::string("ZEMIMG\n1200Z  5 MAR 24\ntest image\n") + c.token +
                                    "40.000000 -105.000000 1.500000 2.250000 5 3\n");
        EXPECT_EQ(body(name), pixels());
        IMG_report back = read_back(name);
        const Domain& b = back.domain;
        EXPECT_EQ(std::vector<float>({float(b.proj), b.clat, b.clon, b.dx, b.dy, float(back.width),
                                      float(back.height), b.plat, b.plon, b.param[0]}),
                  std::vector<float>({float(c.proj), 40, -105, 1.5f, 2.25f, 5, 3, c.back_plat, c.back_plon,
                                      c.back_p0}))
            << c.token;
        EXPECT_EQ(Bytes(back.data, back.data + 15), pixels());
        IMG_free(&back);
    }
}

// Written by hand: unprojected, version 4 with a domain string, and a
// comment line with both skip blocks ("V" 1024 bytes; "C" 2 bytes, a 2-byte
// count n, 2n bytes). Read through the recognising entry point.
TEST_F(ImgTest, HandWrittenHeaders) {
    std::string skips(1024, '\xEE');
    skips += std::string("\xEE\xEE\x00\x03\x01\x02\x03\x04\x05\x06", 10);
    const struct {
        std::string head;
        Bytes pixels;
        int width, height, proj, year;
        float clon;
    } cases[] = {
        {"ZEMIMG\n1200Z  5 MAR 24\nhand made\n512 512\n", Bytes(512 * 512, 7), 512, 512, kMissing, 2024, kMissingF},
        {"ZEMIMG4\n1200Z  5 MAR 24\nv4\nps:60:-105,40,-100,25,17,1.2,1.2\n", ramp(25 * 17), 25, 17, 1, 2024,
         -100},
        {"** written by hand\nZEMIMGVC\n\ninfo\n2 2\n" + skips, {10, 20, 30, 40}, 2, 2, kMissing, kMissing, kMissingF},
    };
    for (const auto& c : cases) {
        std::string f = c.head;
        f.append(c.pixels.begin(), c.pixels.end());
        zt::spit(dir_.file("a.zem"), f);
        ASSERT_EQ(IMG_read(dir_.file("a.zem").c_str(), &img_, 0), 1) << c.head;
        EXPECT_EQ(std::vector<float>({float(img_.width), float(img_.height), float(img_.domain.nx),
                                      float(img_.domain.ny), float(img_.domain.proj), float(img_.date.year),
                                      img_.domain.clon}),
                  std::vector<float>({float(c.width), float(c.height), float(c.width), float(c.height),
                                      float(c.proj), float(c.year), c.clon}));
        EXPECT_EQ(pixels(), c.pixels);
        if (c.year == 2024) {
            EXPECT_EQ(std::vector<int>({img_.date.month, img_.date.day, img_.date.hour}), std::vector<int>({3, 5, 12}));
        }
        IMG_free(&img_);
    }
    // Pixels in a separate file named after the header, beside it.
    zt::spit(dir_.file("s.zem"), "ZEMIMG*\n\nsplit\n3 2\npixels.bin\n");
    zt::spit(dir_.file("pixels.bin"), Bytes({9, 8, 7, 6, 5, 4}));
    ASSERT_EQ(IMG_read_zem(dir_.file("s.zem").c_str(), &img_, 0), 1);
    EXPECT_EQ(pixels(), Bytes({9, 8, 7, 6, 5, 4}));
}

TEST_F(ImgTest, RecognitionByLeadingBytes) {
    const std::pair<std::string, int> cases[] = {
        {"GIF89a....", kImgGif},         {"** a comment line\nGIF89a....", kImgGif},
        {"** x\nGIF89a", kImgGif},       // the newline inside the first six bytes
        {"\x89PNG\r\n\x1a\n", kImgPng},  {"ZEMIMGZ\n", kImgZem},
        {std::string(100, '\0'), kImgXwd},
    };
    for (const auto& [text, code] : cases) {
        zt::spit(dir_.file("q"), text);
        EXPECT_EQ(IMG_query(dir_.file("q").c_str()), code) << text;
    }
    EXPECT_EQ(IMG_query(dir_.file("missing").c_str()), kImgUnknown);
    const std::string real = zt::testdata("images/");
    ZT_NEED_DATA(real);
    EXPECT_EQ(std::vector<int>({IMG_query((real + "hopper.gif").c_str()), IMG_query((real + "hopper.png").c_str()),
                                IMG_query((real + "depth8.xwd").c_str())}),
              std::vector<int>({kImgGif, kImgPng, kImgXwd}));
}

// Deeper layouts go out one byte per pixel: rows of two pixels.
TEST_F(ImgTest, DeepPixelsAreConvertedToBytes) {
    const struct {
        int depth, bits, order;
        Bytes row, want;
    } cases[] = {
        {24, 24, 0, {1, 2, 3, 4, 5, 6}, {1, 4}},  // the first byte of each pixel
        {24, 24, 1, {1, 2, 3, 4, 5, 6}, {3, 6}},
        {24, 32, 1, {9, 3, 6, 9, 0, 30, 60, 90}, {6, 60}},   // (b1+b2+b3)/3
        {24, 32, 0, {3, 6, 9, 99, 30, 60, 90, 0}, {6, 60}},  // (b0+b1+b2)/3
        {16, 16, 1, {1, 2, 3, 4}, {2, 4}},
        {16, 16, 0, {1, 2, 3, 4}, {1, 3}},
        {4, 4, 1, {0xAB}, {0xA, 0xB}},
        {1, 1, 1, {0x02}, {0, 1}},  // bit 0 first
    };
    for (const auto& c : cases) {
        IMG_free(&img_);
        IMG_init(&img_);
        img_.width = 2;
        img_.height = 1;
        img_.depth = c.depth;
        img_.bits_pixel = c.bits;
        img_.byte_order = c.order;
        img_.bytes_line = static_cast<int>(c.row.size());
        img_.data = static_cast<unsigned char*>(std::malloc(c.row.size()));
        std::memcpy(img_.data, c.row.data(), c.row.size());
        ASSERT_EQ(IMG_write(dir_.file("d.zem").c_str(), &img_, 0), 1) << c.depth;
        EXPECT_EQ(body(dir_.file("d.zem")), c.want) << c.depth << "/" << c.bits << "/" << c.order;
    }
}

// Rows padded to four bytes go out as the "3 2" header says, plain and
// compressed; a projection without a version 3 token (or a request with
// bit 2) goes out as version 4 with a domain string.
TEST_F(ImgTest, PaddedRowsAndVersion4) {
    IMG_free(&img_);
    IMG_init(&img_);
    img_.width = 3;
    img_.height = 2;
    img_.depth = img_.bits_pixel = 8;
    img_.bytes_line = 4;
    const std::uint8_t rows[] = {1, 2, 3, 99, 4, 5, 6, 99};
    img_.data = static_cast<unsigned char*>(std::malloc(sizeof rows));
    std::memcpy(img_.data, rows, sizeof rows);
    for (int type : {0, 1}) {
        const std::string name = dir_.file("pad.zem");
        ASSERT_EQ(IMG_write(name.c_str(), &img_, type), 1);
        EXPECT_EQ(header(name), std::string(type ? "ZEMIMGZ" : "ZEMIMG") + "\n\n\n3 2\n");
        IMG_report back = read_back(name);
        EXPECT_EQ(Bytes(back.data, back.data + 6), Bytes({1, 2, 3, 4, 5, 6})) << type;
        IMG_free(&back);
    }
    make_image(4, 2);
    img_.domain.proj = 2;
    img_.domain.clat = 10;
    img_.domain.clon = 20;
    img_.domain.dx = img_.domain.dy = 0.5f;
    img_.domain.nx = 4;
    img_.domain.ny = 2;
    const std::string name = dir_.file("v4.zem");
    ASSERT_EQ(IMG_write(name.c_str(), &img_, 2), 1);
    EXPECT_EQ(header(name).rfind("ZEMIMG4\n", 0), 0u) << header(name);
    IMG_report back = read_back(name);
    EXPECT_EQ(std::vector<float>({float(back.version), float(back.domain.proj), back.domain.clon,
                                  float(back.width), float(back.height)}),
              std::vector<float>({4, 2, 20, 4, 2}));
    EXPECT_EQ(Bytes(back.data, back.data + 8), pixels());
    IMG_free(&back);
}

TEST_F(ImgTest, InitCopyFreeAndWriteFailures) {
    make_image(3, 2);
    img_.num_colors = 2;
    img_.colors = static_cast<IMG_color*>(std::calloc(2, sizeof(IMG_color)));
    img_.colors[1].g = 0.5f;
    IMG_report copy;
    ASSERT_EQ(IMG_copy(&copy, &img_), 1);
    EXPECT_TRUE(copy.data != img_.data && copy.colors != img_.colors);  // buffers of its own
    EXPECT_EQ(Bytes(copy.data, copy.data + 6), pixels());
    EXPECT_EQ(copy.colors[1].g, 0.5f);
    EXPECT_STREQ(copy.info, "test image");
    IMG_free(&copy);
    EXPECT_TRUE(!copy.data && !copy.colors && !copy.num_colors);
    IMG_report fresh;
    std::memset(&fresh, 0x55, sizeof fresh);
    IMG_init(&fresh);
    EXPECT_EQ(std::vector<int>({fresh.byte_order, fresh.trans_color, fresh.width, fresh.info[0], fresh.date.year,
                                fresh.domain.proj, !fresh.data && !fresh.colors}),
              std::vector<int>({1, -1, 0, 0, kMissing, kMissing, 1}));
    zt::MessCapture cap;
    EXPECT_EQ(IMG_write("/proc/version/cannot", &img_, 0) + IMG_write(dir_.file("e.zem").c_str(), &fresh, 0), 0);
    EXPECT_NE(cap.text().find("Unable to open: /proc/version/cannot\nIMG_write: No image to write: "), std::string::npos);
    EXPECT_EQ(IMG_dump(dir_.file("dump.zem").c_str()), 0);  // no window: no picture to dump
    EXPECT_FALSE(std::filesystem::exists(dir_.file("dump.zem")));
}

}  // namespace
