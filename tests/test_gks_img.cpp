// Image display under Xvfb: image records put into the map panel and read
// back with gget_image, at positive and negative offsets, cut at the
// viewport, as overlays whose black lets the picture through, in the other
// channel order, saved as files, and on 8- and 16-bit screens.
#include "zem_test.h"

#include <cstring>

#include "gks_colr.h"
#include "gks_img.h"
#include "gks_loop.h"
#include "gks_tran.h"
#include "png.h"

namespace {

using Ints = std::vector<std::int64_t>;  // for comparing several fields at once

constexpr unsigned long kBlack = 0, kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kYellow = 0xFFFF00;

using zt::Image;

// An 8-bit indexed w x h image whose pixel (x, y) holds index(x, y).
template <typename F>
void make_indexed(Image& img, int w, int h, std::initializer_list<IMG_color> table, F index) {
    IMG_report& r = img.rec;
    r.width = r.bytes_line = w;
    r.height = h;
    r.depth = r.bits_pixel = 8;
    r.color_type = 1;
    r.num_colors = static_cast<int>(table.size());
    r.colors = static_cast<IMG_color*>(std::calloc(table.size() + 1, sizeof(IMG_color)));
    std::copy(table.begin(), table.end(), r.colors);
    r.data = static_cast<unsigned char*>(std::malloc(static_cast<std::size_t>(w) * h));
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) r.data[y * w + x] = static_cast<unsigned char>(index(x, y));
}
auto flat(int v) {
    return [v](int, int) { return v; };
}

// 0xRRGGBB of pixel (x, y) of a record read back from the window.
unsigned long rgb_in(const IMG_report& img, int x, int y) {
    const zt::Rgb c = zt::rgb_at(img, x, y);
    return static_cast<unsigned long>(c.r << 16 | c.g << 8 | c.b);
}

// A 320 x 240 window whose map panel (transform 2, the middle of the unit
// square) is the 120 x 120 pixels from (60, 60): the unit square is the
// window's largest square, 240 px at the left.
class ImageDisplay : public ::testing::Test {
protected:
    XRectangle vp_{};
    Image back_;

    void SetUp() override {
        zt::open_window(320, 240);
        if (IsSkipped() || HasFatalFailure()) return;
        const Glim win{0, 1, 0, 1}, vp{0.25f, 0.75f, 0.25f, 0.75f};
        gset_win(2, &win);
        gset_vp(2, &vp);
        gsel_norm_tran(2);
        gget_xviewport(&vp_);
        // x = trunc(0.25 * 239 + 0.5) = 60, width = trunc(179.25 - 60 + 1.5).
        ASSERT_EQ(vp_.x, 60);
        ASSERT_EQ(vp_.y, 60);
        ASSERT_EQ(vp_.width, 120);
        ASSERT_EQ(vp_.height, 120);
    }
    void TearDown() override {
        if (gchk_graphics()) gclose_ws(1);
        gclose_gks();
    }
    // The draw window read back; colours at viewport-relative points.
    void expect_at(std::initializer_list<zt::RgbAt> want, bool from_right = false) {
        gsync();
        IMG_free(&back_.rec);
        ASSERT_EQ(gget_image(&back_.rec), 1);
        ASSERT_EQ(back_.rec.width, 320);
        ASSERT_EQ(back_.rec.height, 240);
        ASSERT_EQ(back_.rec.bits_pixel, 32);
        // From the right: offsets from the viewport's last column and row.
        const int x0 = from_right ? vp_.x + vp_.width - 1 : vp_.x, y0 = from_right ? vp_.y + vp_.height - 1 : vp_.y;
        for (const auto& p : want)
            EXPECT_EQ(rgb_in(back_.rec, x0 + p.x, y0 + p.y), p.rgb) << "at " << p.x << "," << p.y;
    }
    void fill_window(float r, float g, float b) {
        XSetForeground(gget_display(), gget_root_gc(), static_cast<unsigned long>(galloc_colr(-1, r, g, b)));
        XFillRectangle(gget_display(), gget_draw_window(), gget_root_gc(), 0, 0, 320, 240);
    }
};

TEST_F(ImageDisplay, LoadPutsTheColoursAtTheViewportCorner) {
    // Columns 0-9 red, 10-19 green, 20-29 blue, 30-39 an index beyond the
    // table (drawn in colour 0); row 0 yellow.
    Image img;
    make_indexed(img, 40, 20, {{1, 1, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}},
                 [](int x, int y) { return y == 0 ? 0 : x < 30 ? 1 + x / 10 : 200; });
    ASSERT_EQ(gload_image(&img.rec, 0, 0), 0);
    gset_win_title("Read back");
    expect_at({{0, 0, kYellow}, {29, 0, kYellow}, {0, 1, kRed}, {9, 19, kRed}, {10, 5, kGreen}, {29, 19, kBlue},
               {35, 5, kYellow}, {-1, 5, kBlack}, {40, 5, kBlack}, {5, 20, kBlack}});
    EXPECT_STREQ(back_.rec.info, "Read back") << "the window's title";
}

// A negative offset aligns the image's right (bottom) edge that far inside
// the viewport's right (bottom) edge.
TEST_F(ImageDisplay, PositiveAndNegativeOffsets) {
    Image img;
    make_indexed(img, 20, 10, {{0, 0, 1}}, flat(0));
    ASSERT_EQ(gload_image(&img.rec, 5, 7), 0);
    expect_at({{5, 7, kBlue}, {4, 7, kBlack}, {5, 6, kBlack}, {24, 16, kBlue}, {25, 16, kBlack}});
    gclear_frame(-3);
    Image red;
    make_indexed(red, 20, 10, {{1, 0, 0}}, flat(0));
    ASSERT_EQ(gload_image(&red.rec, -10, -3), 0);
    expect_at({{-10, -3, kRed}, {-29, -12, kRed}, {-9, -3, kBlack}, {-10, -2, kBlack}, {-30, -3, kBlack},
               {-10, -13, kBlack}},
              true);
}

TEST_F(ImageDisplay, ImageLargerThanTheViewportIsCut) {
    Image img;
    make_indexed(img, 300, 200, {{0, 1, 0}}, flat(0));
    ASSERT_EQ(gload_image(&img.rec, 0, 0), 0);
    expect_at({{0, 0, kGreen}, {119, 119, kGreen}, {120, 5, kBlack}, {5, 120, kBlack}, {259, 179, kBlack}});
    // Aligned right and bottom, the cut is at the left and top: the image's
    // last pixel lands on the viewport's, one in from it.
    gclear_frame(-3);
    Image marked;
    make_indexed(marked, 300, 200, {{0, 1, 0}, {1, 0, 0}}, [](int x, int y) { return x == 299 && y == 199; });
    ASSERT_EQ(gload_image(&marked.rec, -1, -1), 0);
    expect_at({{-1, -1, kRed}, {0, 0, kBlack}, {-2, -1, kGreen}, {-119, -119, kGreen}, {-120, -119, kBlack}},
              true);
}

// Without a table the index is a grey level.
TEST_F(ImageDisplay, WithoutATableIndicesAreGreys) {
    Image grey;
    make_indexed(grey, 4, 4, {}, [](int x, int) { return 60 * x; });
    std::free(grey.rec.colors);
    grey.rec.colors = nullptr;
    ASSERT_EQ(gload_image(&grey.rec, 0, 0), 0);
    expect_at({{1, 0, 0x3C3C3C}, {3, 3, 0xB4B4B4}});
}

TEST_F(ImageDisplay, OverlayWithBlackLetsThePictureThrough) {
    // A checkerboard of black and blue 5 x 5 squares, at both corners.
    auto checker = [](int x, int y) { return ((x / 5) + (y / 5)) % 2; };
    for (int corner : {0, -1}) {
        fill_window(corner ? 0.0f : 1.0f, corner ? 1.0f : 0.0f, 0);
        const unsigned long under = corner ? kGreen : kRed;
        Image img;
        make_indexed(img, 20, 20, {{0, 0, 0}, {0, 0, 1}}, checker);
        ASSERT_EQ(goverlay_image(&img.rec, "black", corner, corner), 0);
        const int o = corner ? -20 : 0;  // top-left of the image
        expect_at({{o + 1, o + 1, under}, {o + 6, o + 1, kBlue}, {o + 1, o + 6, kBlue}, {o + 6, o + 6, under},
                   {o + 19, o + 19, under}},
                  corner != 0);
    }
}

TEST_F(ImageDisplay, BrokenRecordsDrawNothing) {
    // Rows shorter than the width, and a 24-bit record claiming 2-byte pixels.
    Image img;
    make_indexed(img, 10, 10, {{1, 0, 0}}, flat(0));
    img.rec.bytes_line = 5;
    ASSERT_EQ(gload_image(&img.rec, 0, 0), 0);
    Image two;
    make_indexed(two, 40, 10, {}, flat(0xFF));
    two.rec.width = 20;
    two.rec.depth = 24;
    two.rec.bits_pixel = 16;
    EXPECT_EQ(gload_image(&two.rec, 0, 0), 0);
    XImage xi;
    EXPECT_EQ(gset_ximage_params(&two.rec, &xi), 0);
    // Unreadable files: a PNG signature and garbage, a cut XWD header, an
    // empty file and a missing one.
    zt::TempDir dir;
    zt::spit(dir.file("garbage.png"), "\x89PNG\r\n\x1a\n" + std::string(100, '\x7f'));
    zt::spit(dir.file("short.xwd"), std::string("\0\0\0\x64\0\0\0\x07", 8));
    zt::spit(dir.file("empty.img"), "");
    for (const char* name : {"garbage.png", "short.xwd", "empty.img", "missing.png"}) {
        EXPECT_EQ(gload_image_file(dir.file(name).c_str(), 0, 0), 0) << name;
        EXPECT_EQ(goverlay_image_file(dir.file(name).c_str(), "black", 0, 0), 0) << name;
    }
    gsync();
    ASSERT_EQ(gget_image(&back_.rec), 1);
    for (int y = 0; y < 240; y += 3)
        for (int x = 0; x < 320; x += 3) ASSERT_EQ(rgb_in(back_.rec, x, y), kBlack) << x << "," << y;
}

// Saved as PNG and XWD; ImageMagick reads both back with the image in place.
TEST_F(ImageDisplay, SavedFilesAndImageFilesRoundTrip) {
    zt::TempDir dir;
    Image img;
    make_indexed(img, 16, 8, {{1, 0, 0}, {0, 0, 1}}, [](int x, int) { return x < 8 ? 0 : 1; });
    ASSERT_EQ(PNG_write(dir.file("two.png").c_str(), &img.rec), 1);
    EXPECT_EQ(gload_image_file(dir.file("two.png").c_str(), 0, 0), 1);
    expect_at({{2, 2, kRed}, {12, 7, kBlue}, {16, 2, kBlack}});
    const std::string png = dir.file("saved.png"), xwd = dir.file("saved.xwd");
    gset_save_image_type(GKS_SAVE_PNG);
    EXPECT_EQ(gsave_image_file(png.c_str()), 1);
    gset_save_image_type(1);
    EXPECT_EQ(gsave_image_file(xwd.c_str()), 1);
    gset_save_image_type(GKS_SAVE_GIF);
    if (!zt::have_tool("identify")) GTEST_SKIP() << "ImageMagick not installed";
    for (const std::string& f : {png, xwd}) {
        EXPECT_EQ(zt::im_size(f), "320 240") << f;
        EXPECT_EQ(zt::im_rgb(f, vp_.x + 2, vp_.y + 2), "255,0,0") << f;
        EXPECT_EQ(zt::im_rgb(f, vp_.x + 12, vp_.y + 7), "0,0,255") << f;
        EXPECT_EQ(zt::im_rgb(f, vp_.x + 16, vp_.y + 2), "0,0,0") << f;
    }
}

// A true-colour record with red in byte 0 (the reverse of the screen's,
// whose red is byte 2), left half red and right half blue: bytes 0 and 2
// are exchanged once, for 3- and 4-byte pixels, and loading the same record
// again gives the same colours.
TEST_F(ImageDisplay, TrueColourInTheOtherChannelOrderIsSwappedOnceOnly) {
    ASSERT_EQ(gget_red_mask(), 0xFF0000UL);
    for (int bytes : {3, 4}) {
        Image img;
        IMG_report& r = img.rec;
        r.width = 20;
        r.height = 10;
        r.depth = 24;
        r.bits_pixel = 8 * bytes;
        r.bytes_line = (20 * bytes + 3) / 4 * 4;
        r.byte_order = 0;  // least significant byte first
        r.red = 0x0000FF;
        r.grn = 0x00FF00;
        r.blu = 0xFF0000;
        r.data = static_cast<unsigned char*>(std::calloc(static_cast<std::size_t>(r.bytes_line) * 10, 1));
        for (int y = 0; y < 10; y++)
            for (int x = 0; x < 20; x++) r.data[y * r.bytes_line + x * bytes + (x < 10 ? 0 : 2)] = 0xFF;
        for (int pass = 0; pass < 2; pass++) {
            SCOPED_TRACE(testing::Message() << bytes << " bytes, pass " << pass);
            fill_window(0, 0, 0);
            ASSERT_EQ(gload_image(&r, 0, 0), 0);
            expect_at({{1, 1, kRed}, {19, 9, kBlue}});
        }
    }
}

// ---- Screens of depth 8 (PseudoColor) and 16 (TrueColor 5-6-5) ---------------

// A private 200 x 160 Xvfb of the given depth for one test; DISPLAY names it
// meanwhile.
class OtherDepth : public ::testing::Test {
protected:
    pid_t server_ = -1;
    std::string old_display_;

    void open_depth(int depth) {
        if (!zt::have_tool("Xvfb")) GTEST_SKIP() << "Xvfb not installed";
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        server_ = fork();
        if (server_ == 0) {
            close(fds[0]);
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, 2);
            const std::string fd = std::to_string(fds[1]), screen = "200x160x" + std::to_string(depth);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(), "-nolisten", "tcp",
                   static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        std::string num;
        char c;
        while (read(fds[0], &c, 1) == 1 && c != '\n') num += c;
        close(fds[0]);
        ASSERT_FALSE(num.empty()) << "no private Xvfb of depth " << depth;
        if (const char* d = std::getenv("DISPLAY")) old_display_ = d;
        setenv("DISPLAY", (":" + num).c_str(), 1);
        ASSERT_EQ(gopen_gks(nullptr, 0), 0);
        gset_geometry("");
        gset_xsize(200, 160);
        ASSERT_EQ(gopen_ws(1, "", 1), 0);
        ASSERT_EQ(gget_win_depth(), depth);
        const Glim win{0, 1, 0, 1};
        gset_win(2, &win);
        gset_vp(2, &win);
        gsel_norm_tran(2);
    }
    void TearDown() override {
        if (gchk_graphics()) gclose_ws(1);
        gclose_gks();
        if (server_ > 0) {
            kill(server_, SIGTERM);
            waitpid(server_, nullptr, 0);
        }
        if (!old_display_.empty()) setenv("DISPLAY", old_display_.c_str(), 1);
    }
    // Colour of a device pixel, components 0-1.
    static IMG_color colour_of(unsigned long pixel) {
        XColor xc{};
        xc.pixel = pixel;
        XQueryColor(gget_display(), gget_colormap(), &xc);
        return IMG_color{xc.red / 65535.0f, xc.green / 65535.0f, xc.blue / 65535.0f};
    }
};

TEST_F(OtherDepth, EightBitScreenMapsIndicesToAllocatedPixels) {
    open_depth(8);
    if (IsSkipped() || HasFatalFailure()) return;
    Image img;
    make_indexed(img, 6, 2, {{1, 0, 0}, {0, 1, 0}, {0.5f, 0.5f, 1}}, [](int x, int) { return x % 3; });
    const std::vector<unsigned char> indices(img.rec.data, img.rec.data + 12);
    EXPECT_EQ(gsetup_image_colors(&img.rec, -1), 12);
    for (int i = 0; i < 12; i++) {
        // Each slot now holds a device pixel of its table colour (8
        // significant bits per component on this screen).
        const IMG_color want = img.rec.colors[indices[i]], got = colour_of(img.rec.data[i]);
        EXPECT_NEAR(got.r, want.r, 1.0 / 255) << i;
        EXPECT_NEAR(got.g, want.g, 1.0 / 255) << i;
        EXPECT_NEAR(got.b, want.b, 1.0 / 255) << i;
    }
    EXPECT_EQ(img.rec.data[0], img.rec.data[3]) << "one pixel per colour index";
    EXPECT_NE(img.rec.data[0], img.rec.data[1]);
    // A colour within 0.01 of the transparent one takes its pixel; 0.02 does not.
    const long black = galloc_colr(-1, 0, 0, 0);
    ASSERT_GE(black, 0);
    Image near;
    make_indexed(near, 2, 1, {{0.008f, 0.0f, 0.008f}, {0.02f, 0.0f, 0.0f}}, [](int x, int) { return x; });
    EXPECT_EQ(gsetup_image_colors(&near.rec, static_cast<int>(black)), 2);
    EXPECT_EQ(near.rec.data[0], static_cast<unsigned char>(black));
    EXPECT_NE(near.rec.data[1], static_cast<unsigned char>(black));
    // Short rows and unknown packings are refused, nothing rewritten.
    Image bad;
    make_indexed(bad, 10, 10, {{1, 0, 0}}, flat(0));
    bad.rec.bytes_line = 5;
    EXPECT_EQ(gsetup_image_colors(&bad.rec, -1), 0);
    EXPECT_EQ(bad.rec.data[0], 0);
    bad.rec.bytes_line = 10;
    bad.rec.bits_pixel = 2;
    EXPECT_EQ(gsetup_image_colors(&bad.rec, -1), 0);
    // Read back, the picture carries the visual's map; 254/255 is above
    // 0.99 and comes back as 1.
    Image pic;
    make_indexed(pic, 4, 1, {{0.995f, 0, 0}, {0.5f, 0.25f, 0}}, [](int x, int) { return x / 2; });
    ASSERT_EQ(gload_image(&pic.rec, 0, 0), 0);
    gsync();
    Image back;
    ASSERT_EQ(gget_image(&back.rec), 1);
    EXPECT_EQ(Ints({back.rec.depth, back.rec.color_type, back.rec.num_colors}), Ints({8, 1, 256}));
    const IMG_color a = back.rec.colors[back.rec.data[0]], b = back.rec.colors[back.rec.data[3]];
    EXPECT_EQ(std::vector<float>({a.r, a.g}), std::vector<float>({1.0f, 0.0f}));
    EXPECT_NEAR(b.r, 0.5, 1.0 / 255);
    EXPECT_NEAR(b.g, 0.25, 1.0 / 255);
}

TEST_F(OtherDepth, EightBitScreenPacksFourAndOneBitPixels) {
    open_depth(8);
    if (IsSkipped() || HasFatalFailure()) return;
    const long red = galloc_colr(-1, 1, 0, 0), blue = galloc_colr(-1, 0, 0, 1);
    // 4 bits: three pixels, high nibble first, indices 1 0 | 1 and a pad.
    Image four;
    make_indexed(four, 2, 1, {{1, 0, 0}, {0, 0, 1}}, flat(0x10));
    four.rec.width = 3;
    four.rec.bits_pixel = 4;
    four.rec.bytes_line = 2;
    EXPECT_EQ(gsetup_image_colors(&four.rec, -1), 3);
    EXPECT_EQ(four.rec.data[0] >> 4, blue & 0x0F);
    EXPECT_EQ(four.rec.data[0] & 0x0F, red & 0x0F);
    EXPECT_EQ(four.rec.data[1] >> 4, blue & 0x0F);
    EXPECT_EQ(four.rec.data[1] & 0x0F, 0) << "the pad nibble is left alone";
    // 1 bit: eight pixels, bit 0 first, index 1 at pixels 0 and 3.
    Image one;
    make_indexed(one, 1, 1, {{1, 0, 0}, {0, 0, 1}}, flat(0x09));
    one.rec.width = 8;
    one.rec.bits_pixel = 1;
    EXPECT_EQ(gsetup_image_colors(&one.rec, -1), 8);
    for (int bit = 0; bit < 8; bit++)
        EXPECT_EQ((one.rec.data[0] >> bit) & 1, ((bit == 0 || bit == 3) ? blue : red) & 1) << bit;
}

// (1, 0.5, 0.25) is 31 << 11 | trunc(0.5 * 63) << 5 | trunc(0.25 * 31) =
// 0xFBE7; components outside 0-1 are held at the ends: (2, -1, 0.5) is
// 31 << 11 | 0 | 15 = 0xF80F.
TEST_F(OtherDepth, SixteenBitScreenPacksComponentsHighByteFirst) {
    open_depth(16);
    if (IsSkipped() || HasFatalFailure()) return;
    ASSERT_EQ(gget_red_mask(), 0xF800UL);
    Image img;
    make_indexed(img, 2, 1, {{1, 0.5f, 0.25f}, {2, -1, 0.5f}}, [](int x, int) { return x; });
    XImage xi;
    ASSERT_EQ(gset_ximage_params(&img.rec, &xi), 1);
    ASSERT_EQ(xi.bits_per_pixel, 16);
    const auto* d = reinterpret_cast<unsigned char*>(xi.data);
    EXPECT_EQ(d[0] * 256 + d[1], 0xFBE7);
    EXPECT_EQ(d[2] * 256 + d[3], 0xF80F);
    std::free(xi.data);
    ASSERT_EQ(gload_image(&img.rec, 0, 0), 0);
    gsync();
    XImage* shot = XGetImage(gget_display(), gget_draw_window(), 0, 0, 2, 1, AllPlanes, ZPixmap);
    ASSERT_TRUE(shot);
    EXPECT_EQ(XGetPixel(shot, 0, 0), 0xFBE7UL);
    EXPECT_EQ(XGetPixel(shot, 1, 0), 0xF80FUL);
    XDestroyImage(shot);
}

}  // namespace
