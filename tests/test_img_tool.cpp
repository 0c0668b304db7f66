// The package's image files (ZEMIMG): writing and reading back plain and
// compressed data, both header versions, the separate-data form, comment
// lines, skip blocks, image-file recognition, malformed files, and the
// record helpers. Header texts expected below are written out by hand from
// the format ("%f" prints six decimals).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <zlib.h>

#include "date.h"
#include "img_tool.h"
#include "ingest_util.h"
#include "mess.h"
#include "region.h"
#include "sat_read.h"
#include "tools.h"

using namespace ingest_test;

namespace {

class ImgTest : public ::testing::Test {
protected:
    void SetUp() override {
        MESS_reset();
        IMG_set_read_wait(1.0f);
        IMG_init(&img_);
    }
    void TearDown() override { IMG_free(&img_); }

    // A width x height 8-bit image with a recognisable pattern.
    void make_image(int w, int h) {
        IMG_free(&img_);
        IMG_init(&img_);
        img_.width = w;
        img_.height = h;
        img_.depth = 8;
        img_.bits_pixel = 8;
        img_.bytes_line = w;
        img_.data = static_cast<unsigned char*>(std::malloc(static_cast<std::size_t>(w) * h));
        for (int i = 0; i < w * h; ++i)
            img_.data[i] = static_cast<unsigned char>((i / w) * 3 + (i % w) / 5 + (i % 7 == 0));
        std::snprintf(img_.datim, sizeof(img_.datim), "%s", "1200Z  5 MAR 24");
        std::snprintf(img_.info, sizeof(img_.info), "%s", "test image");
    }

    // The bytes of `name` after its first `lines` newlines.
    static Bytes body(const std::string& name, int lines = 4) {
        const Bytes all = read_file(name);
        std::size_t at = 0;
        for (int n = 0; n < lines && at < all.size(); ++at)
            if (all[at] == '\n') ++n;
        return Bytes(all.begin() + static_cast<long>(at), all.end());
    }

    static std::string header(const std::string& name) {
        const std::string t = read_text(name);
        std::size_t at = 0;
        for (int n = 0; n < 4; ++n) at = t.find('\n', at) + 1;
        return t.substr(0, at);
    }

    TempDir dir_;
    IMG_report img_;
};

// Inflates back-to-back zlib streams; the decoded size of each.
std::vector<std::size_t> inflate_streams(const Bytes& in, Bytes& out) {
    std::vector<std::size_t> sizes;
    std::size_t at = 0;
    while (at < in.size()) {
        z_stream zs{};
        if (inflateInit(&zs) != Z_OK) break;
        zs.next_in = const_cast<Bytef*>(in.data() + at);
        zs.avail_in = static_cast<uInt>(in.size() - at);
        Bytes buf(65536);
        zs.next_out = buf.data();
        zs.avail_out = static_cast<uInt>(buf.size());
        const int rc = inflate(&zs, Z_FINISH);
        if (rc != Z_STREAM_END) {
            inflateEnd(&zs);
            sizes.push_back(static_cast<std::size_t>(-1));
            break;
        }
        out.insert(out.end(), buf.begin(), buf.begin() + static_cast<long>(zs.total_out));
        sizes.push_back(zs.total_out);
        at += zs.total_in;
        inflateEnd(&zs);
    }
    return sizes;
}

TEST_F(ImgTest, Compressed640x480Holds31StreamsAndReadsBack) {
    make_image(640, 480);
    const std::string name = dir_.file("big.zem");
    ASSERT_EQ(IMG_write(name.c_str(), &img_, 1), 1);
    EXPECT_EQ(header(name), "ZEMIMGZ\n1200Z  5 MAR 24\ntest image\n640 480\n");

    // 307200 bytes in 10000-byte pieces: 30 full streams and one of 7200.
    Bytes decoded;
    const auto sizes = inflate_streams(body(name), decoded);
    ASSERT_EQ(sizes.size(), 31u);
    for (int i = 0; i < 30; ++i) EXPECT_EQ(sizes[i], 10000u) << i;
    EXPECT_EQ(sizes[30], 7200u);
    ASSERT_EQ(decoded.size(), 307200u);
    EXPECT_EQ(std::memcmp(decoded.data(), img_.data, decoded.size()), 0);

    // An outside decoder agrees: Python's zlib, stream by stream.
    if (std::filesystem::exists("/usr/bin/python3")) {
        const std::string raw = dir_.file("body.z"), dec = dir_.file("py.raw");
        write_file(raw, body(name));
        const std::string py =
            "import sys, zlib\n"
            "d = open(sys.argv[1], 'rb').read(); out = b''; n = 0\n"
            "while d:\n"
            "    o = zlib.decompressobj(); out += o.decompress(d); n += 1\n"
            "    assert o.eof; d = o.unused_data\n"
            "open(sys.argv[2], 'wb').write(out); print(n)\n";
        const std::string script = dir_.file("dec.py");
        write_file(script, Bytes(py.begin(), py.end()));
        ASSERT_EQ(run("/usr/bin/python3 " + script + " " + raw + " " + dec + " > " +
                      dir_.file("n.txt")),
                  0);
        EXPECT_EQ(read_text(dir_.file("n.txt")), "31\n");
        EXPECT_EQ(read_file(dec), decoded);
    } else {
        ADD_FAILURE() << "/usr/bin/python3 missing: outside zlib check not run";
    }

    IMG_report back;
    IMG_init(&back);
    ASSERT_EQ(IMG_read_zem(name.c_str(), &back, 0), 1);
    EXPECT_EQ(back.source, 50);
    EXPECT_EQ(back.width, 640);
    EXPECT_EQ(back.height, 480);
    EXPECT_EQ(back.bytes_line, 640);
    EXPECT_EQ(back.depth, 8);
    EXPECT_TRUE(is_missing(back.domain.proj));
    EXPECT_EQ(back.domain.nx, 640);
    EXPECT_EQ(back.domain.ny, 480);
    EXPECT_STREQ(back.info, "test image");
    EXPECT_STREQ(back.datim, "1200Z  5 MAR 24");
    ASSERT_NE(back.data, nullptr);
    EXPECT_EQ(std::memcmp(back.data, img_.data, 307200), 0);
    IMG_free(&back);
}

TEST_F(ImgTest, PlainVersion3WithEveryProjectionToken) {
    struct Case {
        int proj;
        float plat, plon, p0, p1, p2;
        const char* token;
    };
    const float M = kMissingF;
    const Case cases[] = {
        {1, M, -105, M, M, M, "PS "},  // plon equal to clon
        {1, M, -100, M, M, M, "PS:-100.000000 "},
        {2, M, M, M, M, M, "LL "},
        {3, M, M, M, M, M, "ME "},
        {4, 25, -95, 25, 25, 0, "LC:25.000000:-95.000000:25.000000:25.000000:0.000000 "},
        {4, M, -95, M, M, M, "LC:-95.000000 "},
        {4, M, M, M, M, M, "LC "},
        {9, 0, -75, M, M, M, "SAT:0.000000:-75.000000 "},
        {9, 0, -75, 421.5f, M, M, "SAT:0.000000:-75.000000:421.500000 "},
    };
    for (const Case& c : cases) {
        make_image(5, 3);
        img_.domain.proj = c.proj;
        img_.domain.plat = c.plat;
        img_.domain.plon = c.plon;
        img_.domain.param[0] = c.p0;
        img_.domain.param[1] = c.p1;
        img_.domain.param[2] = c.p2;
        img_.domain.clat = 40;
        img_.domain.clon = -105;
        img_.domain.dx = 1.5f;
        img_.domain.dy = 2.25f;
        img_.domain.nx = 5;
        img_.domain.ny = 3;
        const std::string name = dir_.file("p.zem");
        ASSERT_EQ(IMG_write(name.c_str(), &img_, 0), 1);
        EXPECT_EQ(header(name), std::string("ZEMIMG\n1200Z  5 MAR 24\ntest image\n") + c.token +
                                    "40.000000 -105.000000 1.500000 2.250000 5 3\n");
        EXPECT_EQ(body(name), Bytes(img_.data, img_.data + 15));
        IMG_report back;
        IMG_init(&back);
        ASSERT_EQ(IMG_read_zem(name.c_str(), &back, 0), 1) << c.token;
        EXPECT_EQ(back.domain.proj, c.proj) << c.token;
        EXPECT_EQ(back.domain.clat, 40.0f);
        EXPECT_EQ(back.domain.dy, 2.25f);
        EXPECT_EQ(back.width, 5);
        EXPECT_EQ(back.height, 3);
        if (c.proj == 4 && !is_missing(c.p0)) {
            EXPECT_EQ(back.domain.plat, 25.0f);
            EXPECT_EQ(back.domain.param[2], 0.0f);
        }
        if (std::string(c.token) == "PS:-100.000000 ") {
            EXPECT_EQ(back.domain.plon, -100.0f);
        }
        if (c.proj == 9) {
            EXPECT_EQ(back.domain.param[0], c.p0);
        }
        EXPECT_EQ(std::memcmp(back.data, img_.data, 15), 0);
        IMG_free(&back);
    }
}

TEST_F(ImgTest, HandWrittenHeaders) {
    // "512 512": unprojected, nx = ny = 512.
    std::string text = "ZEMIMG\n1200Z  5 MAR 24\nhand made\n512 512\n";
    Bytes f(text.begin(), text.end());
    f.resize(f.size() + 512 * 512, 7);
    const std::string a = dir_.file("a.zem");
    write_file(a, f);
    ASSERT_EQ(IMG_read_zem(a.c_str(), &img_, 0), 1);
    EXPECT_EQ(img_.width, 512);
    EXPECT_EQ(img_.height, 512);
    EXPECT_TRUE(is_missing(img_.domain.proj));
    EXPECT_EQ(img_.domain.nx, 512);
    EXPECT_EQ(img_.domain.ny, 512);
    EXPECT_EQ(img_.data[512 * 512 - 1], 7);
    EXPECT_EQ(img_.date.year, 2024);
    EXPECT_EQ(img_.date.month, 3);
    EXPECT_EQ(img_.date.day, 5);
    EXPECT_EQ(img_.date.hour, 12);
    IMG_free(&img_);

    // Version 4 with a domain string: 25 by 17.
    text = "ZEMIMG4\n1200Z  5 MAR 24\nv4\nps:60:-105,40,-100,25,17,1.2,1.2\n";
    f.assign(text.begin(), text.end());
    for (int i = 0; i < 25 * 17; ++i) f.push_back(static_cast<std::uint8_t>(i));
    write_file(a, f);
    ASSERT_EQ(IMG_read_zem(a.c_str(), &img_, 0), 1);
    EXPECT_EQ(img_.width, 25);
    EXPECT_EQ(img_.height, 17);
    EXPECT_EQ(img_.domain.proj, 1);
    EXPECT_EQ(img_.domain.clon, -100.0f);
    EXPECT_EQ(img_.data[100], 100);
    IMG_free(&img_);

    // Comment line, skip blocks V (1024 bytes) and C (2 + 2 + 2*n bytes).
    text = "** written by hand\nZEMIMGVC\n\ninfo\n2 2\n";
    f.assign(text.begin(), text.end());
    f.resize(f.size() + 1024, 0xEE);
    f.insert(f.end(), {0xEE, 0xEE, 0x00, 0x03, 1, 2, 3, 4, 5, 6});
    f.insert(f.end(), {10, 20, 30, 40});
    write_file(a, f);
    ASSERT_EQ(IMG_read(a.c_str(), &img_, 0), 1);
    EXPECT_EQ(img_.width, 2);
    const std::uint8_t want[] = {10, 20, 30, 40};
    EXPECT_EQ(std::memcmp(img_.data, want, 4), 0);
    EXPECT_TRUE(is_missing(img_.date.year));  // empty date line
}

TEST_F(ImgTest, SeparateDataFile) {
    const std::string text = "ZEMIMG*\n\nsplit\n3 2\npixels.bin\n";
    write_file(dir_.file("s.zem"), Bytes(text.begin(), text.end()));
    write_file(dir_.file("pixels.bin"), {9, 8, 7, 6, 5, 4});
    ASSERT_EQ(IMG_read_zem(dir_.file("s.zem").c_str(), &img_, 0), 1);
    EXPECT_EQ(img_.data[0], 9);
    EXPECT_EQ(img_.data[5], 4);
    IMG_free(&img_);
    std::filesystem::remove(dir_.file("pixels.bin"));
    MessCapture cap(dir_.file("m.txt"));
    EXPECT_EQ(IMG_read_zem(dir_.file("s.zem").c_str(), &img_, 0), -1);
    EXPECT_EQ(img_.data, nullptr);
    EXPECT_NE(cap.text().find("Unable to open: pixels.bin\n"), std::string::npos);
}

TEST_F(ImgTest, RecognitionByLeadingBytes) {
    const auto put = [&](const std::string& n, const std::string& s) {
        write_file(dir_.file(n), Bytes(s.begin(), s.end()));
        return dir_.file(n);
    };
    EXPECT_EQ(IMG_query(put("g", "GIF89a....").c_str()), kImgGif);
    EXPECT_EQ(IMG_query(put("cg", "** a comment line\nGIF89a....").c_str()), kImgGif);
    EXPECT_EQ(IMG_query(put("c", "** x\nGIF89a").c_str()), kImgGif);  // newline inside 6 bytes
    EXPECT_EQ(IMG_query(put("p", "\x89PNG\r\n\x1a\n").c_str()), kImgPng);
    EXPECT_EQ(IMG_query(put("z", "ZEMIMGZ\n").c_str()), kImgZem);
    EXPECT_EQ(IMG_query(put("x", std::string(100, '\0')).c_str()), kImgXwd);
    EXPECT_EQ(IMG_query(dir_.file("missing").c_str()), kImgUnknown);
    const std::string real = std::string(ZEM_TESTDATA_DIR) + "/images";
    if (std::filesystem::exists(real)) {
        EXPECT_EQ(IMG_query((real + "/hopper.gif").c_str()), kImgGif);
        EXPECT_EQ(IMG_query((real + "/hopper.png").c_str()), kImgPng);
        EXPECT_EQ(IMG_query((real + "/depth8.xwd").c_str()), kImgXwd);
    }
    MessCapture cap(dir_.file("m.txt"));
    EXPECT_EQ(IMG_read(dir_.file("missing").c_str(), &img_, 0), 0);
    EXPECT_NE(cap.text().find("IMG_read: Unable to open image file: " + dir_.file("missing")),
              std::string::npos);
}

TEST_F(ImgTest, MalformedFilesFailWithoutBuffers) {
    struct Case {
        const char* what;
        std::string bytes;
        int rc;
        const char* message;
    };
    const Case cases[] = {
        {"bad magic", "ZEMIMX\n\n\n2 2\nabcd", -1, "IMG_read_zem: Invalid image type\n"},
        {"binary garbage", std::string(300, '\x01'), -1, "IMG_read_zem: Invalid image type\n"},
        {"header cut", "ZEMIMG\n1200Z  5 MAR 24\n", -1, "IMG_read_zem: Truncated header"},
        {"huge size", "ZEMIMG\n\n\n70000 70000\n", -1, "IMG_read_zem: Invalid image size"},
        {"zero size", "ZEMIMG\n\n\n0 5\n", -1, "IMG_read_zem: Invalid image size"},
        {"negative size", "ZEMIMG\n\n\n-4 5\n", -1, "IMG_read_zem: Invalid image size"},
        // 4294967300 wraps to 4 in a 32-bit int: it must not pass as a size.
        {"size past int", "ZEMIMG\n\n\n4294967300 1\nabcd", -1,
         "IMG_read_zem: Invalid image size line"},
        {"grid past int", "ZEMIMG\n\n\nLL 40 -100 1 1 4294967300 1\nabcd", -1,
         "IMG_read_zem: Invalid image size line"},
        {"no size", "ZEMIMG\n\n\nXX 1 2 3\n", -1, "IMG_read_zem: Invalid image size line"},
        {"bad token values", "ZEMIMG\n\n\nPS:abc 1 2 3 4 5 6\n", -1,
         "IMG_read_zem: Invalid image size line"},
        {"data cut", "ZEMIMG\n\n\n4 4\nabc", -1, "IMG_read_zem: Image data truncated"},
        {"empty v4 domain", "ZEMIMG4\n\n\n\n", -1, "IMG_read_zem: Invalid domain"},
        {"C block cut", "ZEMIMGC\n\n\n2 2\n\x01", -1, "IMG_read_zem: Truncated header"},
        {"V block cut", "ZEMIMGV\n\n\n2 2\n" + std::string(1000, 'v'), -1,
         "IMG_read_zem: Truncated header"},
        {"C count past end", "ZEMIMGC\n\n\n2 2\n\x01\x02\x01\x09" + std::string(10, 'c'), -1,
         "IMG_read_zem: Truncated header"},
    };
    for (const Case& c : cases) {
        const std::string name = dir_.file("bad.zem");
        write_file(name, Bytes(c.bytes.begin(), c.bytes.end()));
        MessCapture cap(dir_.file("m.txt"));
        IMG_report r;
        IMG_init(&r);
        EXPECT_EQ(IMG_read_zem(name.c_str(), &r, 0), c.rc) << c.what;
        EXPECT_EQ(r.data, nullptr) << c.what;
        EXPECT_NE(cap.text().find(c.message), std::string::npos) << c.what << ": " << cap.text();
    }
    MessCapture cap(dir_.file("m.txt"));
    EXPECT_EQ(IMG_read_zem(dir_.file("nothing").c_str(), &img_, 0), -1);
    EXPECT_NE(cap.text().find("Unable to open: " + dir_.file("nothing")), std::string::npos);
}

TEST_F(ImgTest, DamagedAndShortCompressedData) {
    make_image(100, 250);  // 25000 bytes: three streams
    const std::string name = dir_.file("z.zem");
    ASSERT_EQ(IMG_write(name.c_str(), &img_, 1), 1);
    const std::string head = header(name);
    Bytes zbody = body(name);

    // Damaged in the second stream: result 1 with the first 10000 bytes.
    Bytes broken(head.begin(), head.end());
    Bytes first;
    const auto sizes = inflate_streams(zbody, first);
    ASSERT_EQ(sizes.size(), 3u);
    // Length of the first stream's compressed bytes: re-deflate-independent,
    // found by inflating it alone.
    z_stream zs{};
    inflateInit(&zs);
    Bytes sink(20000);
    zs.next_in = zbody.data();
    zs.avail_in = static_cast<uInt>(zbody.size());
    zs.next_out = sink.data();
    zs.avail_out = static_cast<uInt>(sink.size());
    ASSERT_EQ(inflate(&zs, Z_FINISH), Z_STREAM_END);
    const std::size_t first_len = zs.total_in;
    inflateEnd(&zs);
    Bytes damaged = zbody;
    for (std::size_t i = first_len + 2; i < first_len + 40; ++i) damaged[i] ^= 0x5A;
    broken.insert(broken.end(), damaged.begin(), damaged.end());
    write_file(name, broken);
    {
        MessCapture cap(dir_.file("m.txt"));
        IMG_report r;
        IMG_init(&r);
        ASSERT_EQ(IMG_read_zem(name.c_str(), &r, 0), 1);
        EXPECT_EQ(std::memcmp(r.data, img_.data, 10000), 0);
        EXPECT_NE(cap.text().find("IMG_read_zem: Compressed data damaged"), std::string::npos)
            << cap.text();
        IMG_free(&r);
    }
    // Cut after the first stream: the reader waits for more (shortened
    // here), then keeps what it has.
    Bytes cut(head.begin(), head.end());
    cut.insert(cut.end(), zbody.begin(), zbody.begin() + static_cast<long>(first_len));
    write_file(name, cut);
    IMG_set_read_wait(0.01f);
    MessCapture cap(dir_.file("m.txt"));
    IMG_report r;
    IMG_init(&r);
    ASSERT_EQ(IMG_read_zem(name.c_str(), &r, 0), 1);
    EXPECT_EQ(std::memcmp(r.data, img_.data, 10000), 0);
    EXPECT_NE(cap.text().find("end early: 10000 of 25000 bytes"), std::string::npos)
        << cap.text();
    IMG_free(&r);
}

TEST_F(ImgTest, DeepPixelsAreConvertedToBytes) {
    struct Case {
        int depth, bits, order;
        std::vector<std::uint8_t> row;  // two pixels
        std::vector<std::uint8_t> want;
    };
    const Case cases[] = {
        {24, 24, 0, {1, 2, 3, 4, 5, 6}, {1, 4}},              // first byte of each pixel
        {24, 24, 1, {1, 2, 3, 4, 5, 6}, {3, 6}},
        {24, 32, 1, {9, 3, 6, 9, 0, 30, 60, 90}, {6, 60}},    // (b1+b2+b3)/3
        {24, 32, 0, {3, 6, 9, 99, 30, 60, 90, 0}, {6, 60}},   // (b0+b1+b2)/3
        {16, 16, 1, {1, 2, 3, 4}, {2, 4}},
        {16, 16, 0, {1, 2, 3, 4}, {1, 3}},
        {4, 4, 1, {0xAB}, {0xA, 0xB}},
        {1, 1, 1, {0x02}, {0, 1}},                            // bit 0 first
    };
    for (const Case& c : cases) {
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
        const std::string name = dir_.file("d.zem");
        ASSERT_EQ(IMG_write(name.c_str(), &img_, 0), 1) << c.depth;
        EXPECT_EQ(body(name), Bytes(c.want)) << c.depth << "/" << c.bits << "/" << c.order;
    }
}

TEST_F(ImgTest, OtherProjectionsGoOutAsVersion4) {
    make_image(4, 2);
    img_.domain.proj = 2;
    img_.domain.clat = 10;
    img_.domain.clon = 20;
    img_.domain.dx = 0.5f;
    img_.domain.dy = 0.5f;
    img_.domain.nx = 4;
    img_.domain.ny = 2;
    const std::string name = dir_.file("v4.zem");
    ASSERT_EQ(IMG_write(name.c_str(), &img_, 2), 1);  // bit 2: version 4 header
    const std::string h = header(name);
    EXPECT_EQ(h.rfind("ZEMIMG4\n", 0), 0u) << h;
    IMG_report back;
    IMG_init(&back);
    ASSERT_EQ(IMG_read_zem(name.c_str(), &back, 0), 1) << h;
    EXPECT_EQ(back.version, 4);
    EXPECT_EQ(back.domain.proj, 2);
    EXPECT_EQ(back.domain.clon, 20.0f);
    EXPECT_EQ(back.width, 4);
    EXPECT_EQ(back.height, 2);
    EXPECT_EQ(std::memcmp(back.data, img_.data, 8), 0);
    IMG_free(&back);
}

TEST_F(ImgTest, PaddedEightBitRowsGoOutPacked) {
    // Three pixels per row in rows of four bytes (the fourth is padding):
    // the file holds what its "3 2" header says, plain and compressed.
    IMG_free(&img_);
    IMG_init(&img_);
    img_.width = 3;
    img_.height = 2;
    img_.depth = 8;
    img_.bits_pixel = 8;
    img_.bytes_line = 4;
    const std::uint8_t rows[] = {1, 2, 3, 99, 4, 5, 6, 99};
    img_.data = static_cast<unsigned char*>(std::malloc(sizeof(rows)));
    std::memcpy(img_.data, rows, sizeof(rows));
    for (int type : {0, 1}) {
        const std::string name = dir_.file("pad.zem");
        ASSERT_EQ(IMG_write(name.c_str(), &img_, type), 1);
        EXPECT_EQ(header(name), std::string(type ? "ZEMIMGZ" : "ZEMIMG") + "\n\n\n3 2\n");
        IMG_report back;
        IMG_init(&back);
        ASSERT_EQ(IMG_read_zem(name.c_str(), &back, 0), 1) << type;
        const std::uint8_t want[] = {1, 2, 3, 4, 5, 6};
        EXPECT_EQ(std::memcmp(back.data, want, 6), 0) << type;
        IMG_free(&back);
    }
}

TEST_F(ImgTest, PrintListsEveryField) {
    make_image(7, 5);
    img_.source = 51;
    img_.version = 3;
    img_.type = 12;
    img_.xres = 4;
    img_.yres = 2.5f;
    img_.xoff = 2001;
    img_.yoff = -3.25f;
    img_.trans_color = 9;
    img_.domain.proj = 2;
    img_.domain.clat = 10;
    img_.domain.clon = 20;
    img_.domain.dx = 0.5f;
    img_.domain.dy = 0.25f;
    img_.domain.nx = 7;
    img_.domain.ny = 5;
    MESS_set(0, M_out3);
    MessCapture cap(dir_.file("m.txt"));
    IMG_print(M_out3, &img_);
    char dom[200];
    DOM_sprint(&img_.domain, dom, sizeof(dom));
    // The texts, one per field in record order ("%.2f" for the floats).
    const std::string want = std::string("Source: 51\nVersion: 3\nDate: 1200Z  5 MAR 24\n") +
                             "Info: test image\nType: 12\nSize: 7x5\n" +
                             "Resolution: 4.00x2.50\nOffset: 2001.00x-3.25\nDepth: 8\n" +
                             "Bits per pixel: 8\nBytes per line: 7\nBytes order: 1\n" +
                             "Number of colors: 0\nTranparent colors: 9\n" + dom;
    EXPECT_EQ(cap.text(), want);
    // Below its level nothing is printed.
    MESS_reset();
    MessCapture quiet(dir_.file("q.txt"));
    IMG_print(M_out3, &img_);
    EXPECT_EQ(quiet.text(), "");
}

TEST_F(ImgTest, InitCopyFreeAndWriteFailures) {
    make_image(3, 2);
    img_.num_colors = 2;
    img_.colors = static_cast<IMG_color*>(std::calloc(2, sizeof(IMG_color)));
    img_.colors[1].g = 0.5f;
    IMG_report copy;
    ASSERT_EQ(IMG_copy(&copy, &img_), 1);
    EXPECT_NE(copy.data, img_.data);
    EXPECT_EQ(std::memcmp(copy.data, img_.data, 6), 0);
    EXPECT_NE(copy.colors, img_.colors);
    EXPECT_EQ(copy.colors[1].g, 0.5f);
    EXPECT_STREQ(copy.info, "test image");
    IMG_free(&copy);
    EXPECT_EQ(copy.data, nullptr);
    EXPECT_EQ(copy.colors, nullptr);
    EXPECT_EQ(copy.num_colors, 0);

    IMG_report fresh;
    std::memset(&fresh, 0x55, sizeof(fresh));
    IMG_init(&fresh);
    EXPECT_EQ(fresh.byte_order, 1);
    EXPECT_EQ(fresh.trans_color, -1);
    EXPECT_EQ(fresh.width, 0);
    EXPECT_EQ(fresh.data, nullptr);
    EXPECT_EQ(fresh.colors, nullptr);
    EXPECT_STREQ(fresh.info, "");
    EXPECT_TRUE(is_missing(fresh.date.year));
    EXPECT_TRUE(is_missing(fresh.domain.proj));

    MessCapture cap(dir_.file("m.txt"));
    EXPECT_EQ(IMG_write("/proc/version/cannot", &img_, 0), 0);
    EXPECT_NE(cap.text().find("Unable to open: /proc/version/cannot"), std::string::npos);
    EXPECT_EQ(IMG_write(dir_.file("e.zem").c_str(), &fresh, 0), 0);
    // Without an open window there is no picture to dump.
    EXPECT_EQ(IMG_dump(dir_.file("dump.zem").c_str()), 0);
    EXPECT_FALSE(std::filesystem::exists(dir_.file("dump.zem")));
}

}  // namespace
