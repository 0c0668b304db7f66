// The package's image files (ZEMIMG): plain and compressed data checked
// against Python's zlib, both header versions, the separate-data form,
// comment lines and skip blocks, image-file recognition, pixel layouts
// converted on writing, and the record helpers. Header texts are written out
// by hand from the format ("%f" prints six decimals). Malformed files are
// rows of test_bad_input.cpp.
#include "zem_test.h"

#include <cstring>

#include "tools.h"

namespace {

using Ints = std::vector<std::int64_t>;  // for comparing several fields at once
using Floats = std::vector<float>;

using zt::Bytes;

Bytes pixels(const IMG_report& im) { return Bytes(im.data, im.data + std::size_t(im.width) * im.height); }

class ImgTest : public ::testing::Test {
protected:
    void SetUp() override {
        MESS_reset();
        IMG_set_read_wait(1.0f);
        IMG_init(&img_);
    }
    void TearDown() override { IMG_free(&img_); }

    // A w x h image of `data` (default: a recognisable 8-bit pattern).
    void make_image(int w, int h, Bytes data = {}, int depth = 8, int bits = 8, int order = 1) {
        if (data.empty())
            for (int i = 0; i < w * h; ++i) data.push_back(static_cast<std::uint8_t>((i / w) * 3 + (i % w) / 5 + (i % 7 == 0)));
        IMG_free(&img_);
        IMG_init(&img_);
        img_.width = w;
        img_.height = h;
        img_.bytes_line = int(data.size()) / h;
        img_.depth = depth;
        img_.bits_pixel = bits;
        img_.byte_order = order;
        img_.data = static_cast<unsigned char*>(std::malloc(data.size()));
        std::memcpy(img_.data, data.data(), data.size());
        std::snprintf(img_.datim, sizeof img_.datim, "1200Z  5 MAR 24");
        std::snprintf(img_.info, sizeof img_.info, "test image");
    }
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
    // Writes img_ as `type` and reads it back (the caller frees the copy).
    IMG_report round_trip(int type) {
        IMG_report back;
        IMG_init(&back);
        EXPECT_EQ(IMG_write(file_.c_str(), &img_, type), 1);
        EXPECT_EQ(IMG_read_zem(file_.c_str(), &back, 0), 1) << header(file_);
        return back;
    }
    zt::TempDir dir_;
    const std::string file_ = dir_.file("img.zem");
    IMG_report img_;
};

// 307200 bytes go out in 10000-byte pieces, each its own zlib stream:
// 30 full ones and one of 7200, which Python's zlib decodes to the picture.
// A stream damaged or missing keeps what came before it.
TEST_F(ImgTest, CompressedPiecesAgreeWithPythonZlib) {
    make_image(640, 480);
    IMG_report back = round_trip(1);
    EXPECT_EQ(header(file_), "ZEMIMGZ\n1200Z  5 MAR 24\ntest image\n640 480\n");
    EXPECT_EQ(Ints({back.source, back.width, back.height, back.bytes_line, back.depth, back.domain.nx,
                                back.domain.ny, back.domain.proj}),
              Ints({50, 640, 480, 640, 8, 640, 480, kMissing}));
    EXPECT_EQ(std::string(back.info) + "|" + back.datim, "test image|1200Z  5 MAR 24");
    EXPECT_EQ(pixels(back), pixels(img_));
    IMG_free(&back);
    const Bytes z = body(file_);
    zt::spit(dir_.file("body.z"), z);
    const zt::RunResult py = zt::run("/usr/bin/python3 " + std::string(ZEM_TEST_DATA) + "/ref/zlib_streams.py " +
                                     dir_.file("body.z") + " " + dir_.file("py.raw"));
    ASSERT_EQ(py.status, 0) << py.out;
    std::istringstream lines(py.out);
    std::vector<std::size_t> decoded, compressed;
    for (std::size_t d, c; lines >> d >> c;) decoded.push_back(d), compressed.push_back(c);
    std::vector<std::size_t> want(30, 10000);
    want.push_back(7200);
    EXPECT_EQ(decoded, want);
    EXPECT_EQ(zt::slurp_bytes(dir_.file("py.raw")), pixels(img_));
    ASSERT_FALSE(compressed.empty());
    const std::string head = header(file_);
    Bytes damaged = z;
    for (std::size_t i = compressed[0] + 2; i < compressed[0] + 40; ++i) damaged[i] ^= 0x5A;
    IMG_set_read_wait(0.01f);  // the cut file is waited for: briefly
    for (auto [data, message] : {std::pair{damaged, "IMG_read_zem: Compressed data damaged"},
                                 {Bytes(z.begin(), z.begin() + long(compressed[0])),
                                  "IMG_read_zem: Compressed data end early: 10000 of 307200 bytes\n"}}) {
        zt::spit(file_, head + std::string(data.begin(), data.end()));
        zt::MessCapture cap;
        IMG_init(&back);
        ASSERT_EQ(IMG_read_zem(file_.c_str(), &back, 0), 1);
        EXPECT_EQ(Bytes(back.data, back.data + 10000), Bytes(img_.data, img_.data + 10000));
        EXPECT_NE(cap.text().find(message), std::string::npos) << cap.text();
        IMG_free(&back);
    }
}

// Version 3 headers name five projections by a token, and what the token
// carries comes back; other projections (or a request with bit 2) go out
// as version 4 with a domain string.
TEST_F(ImgTest, ProjectionTokensAndDomainStrings) {
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
    make_image(5, 3);
    for (const auto& c : cases) {
        img_.domain = Domain{c.proj, c.plat, c.plon, {c.p0, c.p1, c.p2, M, M}, 40, -105, 1.5f, 2.25f, 5, 3, 0};
        IMG_report back = round_trip(0);
        EXPECT_EQ(header(file_), std::string("ZEMIMG\n1200Z  5 MAR 24\ntest image\n") + c.token +
                                     "40.000000 -105.000000 1.500000 2.250000 5 3\n");
        EXPECT_EQ(body(file_), pixels(img_));
        const Domain& b = back.domain;
        EXPECT_EQ(Floats({float(b.proj), b.clat, b.clon, b.dx, b.dy, float(back.width), float(back.height),
                                      b.plat, b.plon, b.param[0]}),
                  Floats({float(c.proj), 40, -105, 1.5f, 2.25f, 5, 3, c.back_plat, c.back_plon, c.back_p0}))
            << c.token;
        EXPECT_EQ(pixels(back), pixels(img_));
        IMG_free(&back);
    }
    img_.domain = Domain{2, M, M, {M, M, M, M, M}, 10, 20, 0.5f, 0.5f, 5, 3, 0};
    IMG_report back = round_trip(2);
    EXPECT_EQ(header(file_).rfind("ZEMIMG4\n", 0), 0u) << header(file_);
    EXPECT_EQ(Floats({float(back.version), float(back.domain.proj), back.domain.clon, back.domain.dy}),
              Floats({4, 2, 20, 0.5f}));
    EXPECT_EQ(pixels(back), pixels(img_));
    IMG_free(&back);
}

// Written by hand: unprojected, version 4 with a domain string, and a
// comment line with both skip blocks ("V" 1024 bytes; "C" 2 bytes, a 2-byte
// count n, 2n bytes). Read through the recognising entry point.
TEST_F(ImgTest, HandWrittenHeaders) {
    std::string skips(1024, '\xEE');
    skips += std::string("\xEE\xEE\x00\x03\x01\x02\x03\x04\x05\x06", 10);
    Bytes ramp(25 * 17);
    for (std::size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<std::uint8_t>(i);
    const struct {
        std::string head;
        Bytes pixels;
        std::vector<float> want;  // width, height, nx, ny, proj, clon, year, month, day, hour
    } cases[] = {
        {"ZEMIMG\n1200Z  5 MAR 24\nhand made\n512 512\n", Bytes(512 * 512, 7),
         {512, 512, 512, 512, kMissing, kMissing, 2024, 3, 5, 12}},
        {"ZEMIMG4\n1200Z  5 MAR 24\nv4\nps:60:-105,40,-100,25,17,1.2,1.2\n", ramp, {25, 17, 25, 17, 1, -100, 2024, 3, 5, 12}},
        {"** written by hand\nZEMIMGVC\n\ninfo\n2 2\n" + skips, {10, 20, 30, 40},
         {2, 2, 2, 2, kMissing, kMissing, kMissing, kMissing, kMissing, kMissing}},
    };
    for (const auto& c : cases) {
        zt::spit(file_, c.head + std::string(c.pixels.begin(), c.pixels.end()));
        ASSERT_EQ(IMG_read(file_.c_str(), &img_, 0), 1) << c.head;
        const Domain& d = img_.domain;
        const Date& t = img_.date;
        EXPECT_EQ(Floats({float(img_.width), float(img_.height), float(d.nx), float(d.ny), float(d.proj),
                                      d.clon, float(t.year), float(t.month), float(t.day), float(t.hour)}),
                  c.want);
        EXPECT_EQ(pixels(img_), c.pixels);
        IMG_free(&img_);
    }
    // Pixels in a separate file named after the header, beside it.
    zt::spit(dir_.file("s.zem"), "ZEMIMG*\n\nsplit\n3 2\npixels.bin\n");
    zt::spit(dir_.file("pixels.bin"), Bytes({9, 8, 7, 6, 5, 4}));
    ASSERT_EQ(IMG_read_zem(dir_.file("s.zem").c_str(), &img_, 0), 1);
    EXPECT_EQ(pixels(img_), Bytes({9, 8, 7, 6, 5, 4}));
}

TEST_F(ImgTest, RecognitionByLeadingBytes) {
    for (const auto& [text, code] : std::vector<std::pair<std::string, int>>{
             {"GIF89a....", kImgGif}, {"** a comment line\nGIF89a....", kImgGif},
             {"** x\nGIF89a", kImgGif},  // the newline inside the first six bytes
             {"\x89PNG\r\n\x1a\n", kImgPng}, {"ZEMIMGZ\n", kImgZem}, {std::string(100, '\0'), kImgXwd}}) {
        zt::spit(dir_.file("q"), text);
        EXPECT_EQ(IMG_query(dir_.file("q").c_str()), code) << text;
    }
    EXPECT_EQ(IMG_query(dir_.file("missing").c_str()), kImgUnknown);
}

// Layouts other than packed 8-bit rows go out one byte per pixel, as the
// header's size says; plain and compressed alike.
TEST_F(ImgTest, PixelLayoutsConvertedToBytes) {
    const struct {
        int width, depth, bits, order;
        Bytes row, want;
    } cases[] = {
        {2, 24, 24, 0, {1, 2, 3, 4, 5, 6}, {1, 4}},  // the first byte of each pixel
        {2, 24, 24, 1, {1, 2, 3, 4, 5, 6}, {3, 6}},
        {2, 24, 32, 1, {9, 3, 6, 9, 0, 30, 60, 90}, {6, 60}},   // (b1+b2+b3)/3
        {2, 24, 32, 0, {3, 6, 9, 99, 30, 60, 90, 0}, {6, 60}},  // (b0+b1+b2)/3
        {2, 16, 16, 1, {1, 2, 3, 4}, {2, 4}},
        {2, 16, 16, 0, {1, 2, 3, 4}, {1, 3}},
        {2, 4, 4, 1, {0xAB}, {0xA, 0xB}},
        {2, 1, 1, 1, {0x02}, {0, 1}},          // bit 0 first
        {3, 8, 8, 1, {1, 2, 3, 99}, {1, 2, 3}},  // a padded row
    };
    for (const auto& c : cases)
        for (int type : {0, 1}) {
            make_image(c.width, 1, c.row, c.depth, c.bits, c.order);
            IMG_report back = round_trip(type);
            EXPECT_EQ(pixels(back), c.want) << c.depth << "/" << c.bits << "/" << c.order << " type " << type;
            IMG_free(&back);
        }
}

TEST_F(ImgTest, CopyFreeAndWriteFailures) {
    make_image(3, 2);
    img_.num_colors = 2;
    img_.colors = static_cast<IMG_color*>(std::calloc(2, sizeof(IMG_color)));
    img_.colors[1].g = 0.5f;
    IMG_report copy;
    ASSERT_EQ(IMG_copy(&copy, &img_), 1);
    EXPECT_TRUE(copy.data != img_.data && copy.colors != img_.colors);  // buffers of its own
    EXPECT_EQ(pixels(copy), pixels(img_));
    EXPECT_EQ(copy.colors[1].g, 0.5f);
    EXPECT_STREQ(copy.info, "test image");
    IMG_free(&copy);
    EXPECT_TRUE(!copy.data && !copy.colors && !copy.num_colors);
    IMG_report fresh;
    IMG_init(&fresh);
    zt::MessCapture cap;
    EXPECT_EQ(IMG_write("/proc/version/cannot", &img_, 0) + IMG_write(dir_.file("e.zem").c_str(), &fresh, 0), 0);
    EXPECT_NE(cap.text().find("Unable to open: /proc/version/cannot\nIMG_write: No image to write: "), std::string::npos);
    EXPECT_EQ(IMG_dump(dir_.file("dump.zem").c_str()), 0);  // no window: no picture to dump
    EXPECT_FALSE(std::filesystem::exists(dir_.file("dump.zem")));
}

}  // namespace
