// Image display under Xvfb: an indexed image put into the map panel is read
// back with gget_image and compared pixel by pixel with its colour table, at
// positive and negative offsets, cut at the viewport, and as an overlay
// whose black pixels let the picture underneath through.
#include "plot_x_util.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <string>
#include <vector>

#include "gks_img.h"
#include "gks_loop.h"
#include "img_tool.h"
#include "png.h"
#include "sat_read.h"

using namespace plot_test;

namespace {

const auto* const kKeepServer = ::testing::AddGlobalTestEnvironment(new KeepServer);

// Owns an image record built by a test.
struct Image {
    IMG_report rec;
    Image() { IMG_init(&rec); }
    ~Image() { IMG_free(&rec); }
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;
};

struct Rgb {
    float r, g, b;
};

// An 8-bit indexed image whose pixel (c, r) holds index(c, r).
template <typename F>
void make_indexed(Image& img, int w, int h, std::initializer_list<Rgb> table, F index)
{
    IMG_report& r = img.rec;
    r.width = w;
    r.height = h;
    r.depth = 8;
    r.bits_pixel = 8;
    r.bytes_line = w;
    r.color_type = 1;
    r.num_colors = static_cast<int>(table.size());
    r.colors = static_cast<IMG_color*>(std::calloc(table.size(), sizeof(IMG_color)));
    int i = 0;
    for (const Rgb& c : table)
        r.colors[i++] = IMG_color{c.r, c.g, c.b};
    r.data = static_cast<unsigned char*>(std::malloc(static_cast<std::size_t>(w) * h));
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            r.data[y * w + x] = static_cast<unsigned char>(index(x, y));
}

// 0xRRGGBB of pixel (x, y) of a record read back from a 32-bit window.
unsigned long rgb_in(const IMG_report& img, int x, int y)
{
    const unsigned char* p = img.data + static_cast<std::size_t>(y) * img.bytes_line + x * 4;
    unsigned long v = img.byte_order ? (static_cast<unsigned long>(p[0]) << 24) |
                                           (static_cast<unsigned long>(p[1]) << 16) |
                                           (static_cast<unsigned long>(p[2]) << 8) | p[3]
                                     : (static_cast<unsigned long>(p[3]) << 24) |
                                           (static_cast<unsigned long>(p[2]) << 16) |
                                           (static_cast<unsigned long>(p[1]) << 8) | p[0];
    return rgb_of(v);
}

constexpr unsigned long kBlack = 0x000000, kRed = 0xFF0000, kGreen = 0x00FF00,
                        kBlue = 0x0000FF, kYellow = 0xFFFF00;

class ImageDisplay : public XWindowTest {
protected:
    XRectangle vp_{};

    void SetUp() override
    {
        XWindowTest::SetUp();
        if (HasFatalFailure())
            return;
        open_window(320, 240);
        if (IsSkipped() || HasFatalFailure())
            return;
        // Map panel: the middle of the unit square.
        const Glim win{0, 1, 0, 1}, vp{0.25f, 0.75f, 0.25f, 0.75f};
        gset_win(2, &win);
        gset_vp(2, &vp);
        gsel_norm_tran(2);
        gget_xviewport(&vp_);
        // The unit square is the window's largest square (240 x 240 px at
        // the left), so the panel is about 120 px wide from x = 60, y = 60.
        ASSERT_NEAR(vp_.x, 60, 1);
        ASSERT_NEAR(vp_.y, 60, 1);
        ASSERT_NEAR(vp_.width, 120, 2);
        ASSERT_NEAR(vp_.height, 120, 2);
    }

    // Reads the draw window back; fails the test when it cannot.
    void read_back(Image& out)
    {
        gsync();
        ASSERT_EQ(gget_image(&out.rec), 1);
        ASSERT_EQ(out.rec.width, width_);
        ASSERT_EQ(out.rec.height, height_);
        ASSERT_EQ(out.rec.bits_pixel, 32);
        ASSERT_NE(out.rec.data, nullptr);
    }

    void fill_window(unsigned long rgb)
    {
        long pix = galloc_colr(-1, ((rgb >> 16) & 255) / 255.0f, ((rgb >> 8) & 255) / 255.0f,
                               (rgb & 255) / 255.0f);
        XSetForeground(gget_display(), gget_root_gc(), static_cast<unsigned long>(pix));
        XFillRectangle(gget_display(), gget_draw_window(), gget_root_gc(), 0, 0,
                       static_cast<unsigned>(width_), static_cast<unsigned>(height_));
    }
};

TEST_F(ImageDisplay, LoadPutsTheColoursAtTheViewportCorner)
{
    // Columns 0-9 red, 10-19 green, 20-29 blue; row 0 all yellow.
    Image img;
    make_indexed(img, 30, 20, {{1, 1, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}},
                 [](int x, int y) { return y == 0 ? 0 : 1 + x / 10; });
    ASSERT_EQ(gload_image(&img.rec, 0, 0), 0);
    Image back;
    read_back(back);
    const int x0 = vp_.x, y0 = vp_.y;
    EXPECT_EQ(rgb_in(back.rec, x0, y0), kYellow);
    EXPECT_EQ(rgb_in(back.rec, x0 + 29, y0), kYellow);
    EXPECT_EQ(rgb_in(back.rec, x0, y0 + 1), kRed);
    EXPECT_EQ(rgb_in(back.rec, x0 + 9, y0 + 19), kRed);
    EXPECT_EQ(rgb_in(back.rec, x0 + 10, y0 + 5), kGreen);
    EXPECT_EQ(rgb_in(back.rec, x0 + 29, y0 + 19), kBlue);
    // Nothing outside the image.
    EXPECT_EQ(rgb_in(back.rec, x0 - 1, y0 + 5), kBlack);
    EXPECT_EQ(rgb_in(back.rec, x0 + 30, y0 + 5), kBlack);
    EXPECT_EQ(rgb_in(back.rec, x0 + 5, y0 + 20), kBlack);
}

TEST_F(ImageDisplay, PositiveAndNegativeOffsets)
{
    Image img;
    make_indexed(img, 20, 10, {{0, 0, 1}}, [](int, int) { return 0; });
    ASSERT_EQ(gload_image(&img.rec, 5, 7), 0);
    Image back;
    read_back(back);
    EXPECT_EQ(rgb_in(back.rec, vp_.x + 5, vp_.y + 7), kBlue);
    EXPECT_EQ(rgb_in(back.rec, vp_.x + 4, vp_.y + 7), kBlack);
    EXPECT_EQ(rgb_in(back.rec, vp_.x + 5, vp_.y + 6), kBlack);

    // -10, -3: the right edge 10 px left of the viewport's right edge, the
    // bottom edge 3 px above the viewport's bottom edge.
    gclear_frame(-3);
    Image red;
    make_indexed(red, 20, 10, {{1, 0, 0}}, [](int, int) { return 0; });
    ASSERT_EQ(gload_image(&red.rec, -10, -3), 0);
    Image back2;
    read_back(back2);
    const int right = vp_.x + vp_.width - 1 - 10;   // last image column
    const int bottom = vp_.y + vp_.height - 1 - 3;  // last image row
    EXPECT_EQ(rgb_in(back2.rec, right, bottom), kRed);
    EXPECT_EQ(rgb_in(back2.rec, right - 19, bottom - 9), kRed);
    EXPECT_EQ(rgb_in(back2.rec, right + 1, bottom), kBlack);
    EXPECT_EQ(rgb_in(back2.rec, right, bottom + 1), kBlack);
    EXPECT_EQ(rgb_in(back2.rec, right - 20, bottom), kBlack);
    EXPECT_EQ(rgb_in(back2.rec, right, bottom - 10), kBlack);
}

TEST_F(ImageDisplay, ImageLargerThanTheViewportIsCut)
{
    Image img;
    make_indexed(img, 300, 200, {{0, 1, 0}}, [](int, int) { return 0; });
    ASSERT_EQ(gload_image(&img.rec, 0, 0), 0);
    Image back;
    read_back(back);
    const int r = vp_.x + vp_.width - 1, b = vp_.y + vp_.height - 1;
    EXPECT_EQ(rgb_in(back.rec, vp_.x, vp_.y), kGreen);
    EXPECT_EQ(rgb_in(back.rec, r, b), kGreen);
    EXPECT_EQ(rgb_in(back.rec, r + 1, vp_.y + 5), kBlack);
    EXPECT_EQ(rgb_in(back.rec, vp_.x + 5, b + 1), kBlack);
    EXPECT_EQ(rgb_in(back.rec, width_ - 1, height_ - 1), kBlack);

    // Aligned right and bottom, a larger image is cut at the left and top
    // instead: its bottom-right corner pixel lands on the viewport's.
    gclear_frame(-3);
    Image marked;
    make_indexed(marked, 300, 200, {{0, 1, 0}, {1, 0, 0}},
                 [](int x, int y) { return x == 299 && y == 199 ? 1 : 0; });
    ASSERT_EQ(gload_image(&marked.rec, -1, -1), 0);
    Image back2;
    read_back(back2);
    EXPECT_EQ(rgb_in(back2.rec, r - 1, b - 1), kRed);
    EXPECT_EQ(rgb_in(back2.rec, vp_.x, vp_.y), kGreen);
    EXPECT_EQ(rgb_in(back2.rec, vp_.x - 1, vp_.y), kBlack);
    EXPECT_EQ(rgb_in(back2.rec, r, b), kBlack);
}

TEST_F(ImageDisplay, IndexBeyondTheTableDrawsColourZero)
{
    Image img;
    make_indexed(img, 10, 10, {{1, 1, 0}, {0, 0, 1}},
                 [](int x, int) { return x < 5 ? 1 : 200; });
    ASSERT_EQ(gload_image(&img.rec, 0, 0), 0);
    Image back;
    read_back(back);
    EXPECT_EQ(rgb_in(back.rec, vp_.x + 2, vp_.y + 2), kBlue);
    EXPECT_EQ(rgb_in(back.rec, vp_.x + 7, vp_.y + 2), kYellow);
}

TEST_F(ImageDisplay, GreyImageWithoutColourTable)
{
    Image img;
    make_indexed(img, 4, 4, {}, [](int x, int) { return 60 * x; });
    std::free(img.rec.colors);
    img.rec.colors = nullptr;
    img.rec.num_colors = 0;
    ASSERT_EQ(gload_image(&img.rec, 0, 0), 0);
    Image back;
    read_back(back);
    EXPECT_EQ(rgb_in(back.rec, vp_.x + 1, vp_.y), 0x3C3C3CUL);
    EXPECT_EQ(rgb_in(back.rec, vp_.x + 3, vp_.y + 3), 0xB4B4B4UL);
}

TEST_F(ImageDisplay, OverlayWithBlackLetsThePictureThrough)
{
    fill_window(kRed);
    // A checkerboard of black and blue 5 x 5 squares.
    Image img;
    make_indexed(img, 20, 20, {{0, 0, 0}, {0, 0, 1}},
                 [](int x, int y) { return ((x / 5) + (y / 5)) % 2; });
    ASSERT_EQ(goverlay_image(&img.rec, "black", 0, 0), 0);
    Image back;
    read_back(back);
    EXPECT_EQ(rgb_in(back.rec, vp_.x + 1, vp_.y + 1), kRed) << "black square: underneath shows";
    EXPECT_EQ(rgb_in(back.rec, vp_.x + 6, vp_.y + 1), kBlue);
    EXPECT_EQ(rgb_in(back.rec, vp_.x + 1, vp_.y + 6), kBlue);
    EXPECT_EQ(rgb_in(back.rec, vp_.x + 6, vp_.y + 6), kRed);
    EXPECT_EQ(rgb_in(back.rec, vp_.x + 19, vp_.y + 19), kRed);

    // A negative offset moves the mask with the image.
    fill_window(kGreen);
    Image img2;
    make_indexed(img2, 20, 20, {{0, 0, 0}, {0, 0, 1}},
                 [](int x, int y) { return ((x / 5) + (y / 5)) % 2; });
    ASSERT_EQ(goverlay_image(&img2.rec, "black", -1, -1), 0);
    Image back2;
    read_back(back2);
    const int x0 = vp_.x + vp_.width - 1 - 20, y0 = vp_.y + vp_.height - 1 - 20;
    EXPECT_EQ(rgb_in(back2.rec, x0 + 1, y0 + 1), kGreen);
    EXPECT_EQ(rgb_in(back2.rec, x0 + 6, y0 + 1), kBlue);
    EXPECT_EQ(rgb_in(back2.rec, x0 + 6, y0 + 6), kGreen);
}

TEST_F(ImageDisplay, ReadBackRecordDescribesTheWindow)
{
    gset_win_title("Read back");
    Image back;
    read_back(back);
    EXPECT_EQ(back.rec.depth, 24);
    EXPECT_EQ(back.rec.bytes_line, width_ * 4);
    EXPECT_EQ(back.rec.color_type, 0);
    EXPECT_EQ(back.rec.red, gget_red_mask());
    EXPECT_EQ(back.rec.blu, gget_blu_mask());
    EXPECT_STREQ(back.rec.info, "Read back");
}

TEST_F(ImageDisplay, ShortRowsAreRefusedNotOverread)
{
    Image img;
    make_indexed(img, 10, 10, {{1, 0, 0}}, [](int, int) { return 0; });
    img.rec.bytes_line = 5;  // claims rows shorter than the width
    ASSERT_EQ(gload_image(&img.rec, 0, 0), 0);
    Image back;
    read_back(back);
    EXPECT_EQ(rgb_in(back.rec, vp_.x + 1, vp_.y + 1), kBlack) << "nothing drawn";
}

TEST_F(ImageDisplay, SaveImageFileWritesTheChosenType)
{
    Image img;
    make_indexed(img, 10, 10, {{1, 0, 0}}, [](int, int) { return 0; });
    gload_image(&img.rec, 0, 0);
    gset_save_image_type(GKS_SAVE_PNG);
    EXPECT_EQ(gsave_image_file("saved.png"), 1);
    gset_save_image_type(1);
    EXPECT_EQ(gsave_image_file("saved.xwd"), 1);
    gset_save_image_type(GKS_SAVE_GIF);
    // The files are read back as images by the package's own readers.
    Image png, xwd;
    ASSERT_EQ(IMG_read("saved.png", &png.rec, 0), 1);
    EXPECT_EQ(png.rec.width, width_);
    ASSERT_EQ(IMG_read("saved.xwd", &xwd.rec, 0), 1);
    EXPECT_EQ(xwd.rec.height, height_);
}

TEST_F(ImageDisplay, UnreadableImageFilesDrawNothing)
{
    // A PNG signature followed by garbage, a truncated XWD header and an
    // empty file.
    {
        std::ofstream f("garbage.png", std::ios::binary);
        f << "\x89PNG\r\n\x1a\n" << std::string(100, '\x7f');
    }
    {
        std::ofstream f("short.xwd", std::ios::binary);
        f << std::string("\0\0\0\x64\0\0\0\x07", 8);
    }
    { std::ofstream f("empty.img", std::ios::binary); }
    for (const char* name : {"garbage.png", "short.xwd", "empty.img", "missing.png"}) {
        EXPECT_EQ(gload_image_file(name, 0, 0), 0) << name;
        EXPECT_EQ(goverlay_image_file(name, "black", 0, 0), 0) << name;
    }
    Image back;
    read_back(back);
    for (int y = 0; y < height_; y += 7)
        for (int x = 0; x < width_; x += 7)
            ASSERT_EQ(rgb_in(back.rec, x, y), kBlack) << x << "," << y;
}

TEST_F(ImageDisplay, ImageFileIsLoadedAtTheViewport)
{
    // A picture written by the package's PNG writer and loaded back.
    Image img;
    make_indexed(img, 16, 8, {{1, 0, 0}, {0, 0, 1}}, [](int x, int) { return x < 8 ? 0 : 1; });
    ASSERT_EQ(PNG_write("two.png", &img.rec), 1);
    EXPECT_EQ(gload_image_file("two.png", 0, 0), 1);
    Image back;
    read_back(back);
    EXPECT_EQ(rgb_in(back.rec, vp_.x + 2, vp_.y + 2), kRed);
    EXPECT_EQ(rgb_in(back.rec, vp_.x + 12, vp_.y + 7), kBlue);
    EXPECT_EQ(rgb_in(back.rec, vp_.x + 16, vp_.y + 2), kBlack);
}

// A true-colour record with one pixel colour per half: bytes per pixel
// `bytes` (3 or 4), least significant byte first, red in byte 0 (the
// reverse of the 24-bit Xvfb visual, whose red is byte 2).
void make_rgb_first(Image& img, int w, int h, int bytes)
{
    IMG_report& r = img.rec;
    r.width = w;
    r.height = h;
    r.depth = 24;
    r.bits_pixel = 8 * bytes;
    r.bytes_line = (w * bytes + 3) / 4 * 4;
    r.byte_order = 0;
    r.red = 0x0000FF;
    r.grn = 0x00FF00;
    r.blu = 0xFF0000;
    r.data = static_cast<unsigned char*>(std::calloc(static_cast<std::size_t>(r.bytes_line) * h, 1));
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            unsigned char* p = r.data + static_cast<std::size_t>(y) * r.bytes_line + x * bytes;
            if (bytes >= 3)
                p[x < w / 2 ? 0 : 2] = 0xFF;  // left half red, right half blue
        }
}

TEST_F(ImageDisplay, TrueColourInTheOtherChannelOrderIsSwappedOnceOnly)
{
    // The screen's red mask (0xFF0000) differs from the record's (0xFF):
    // bytes 0 and 2 of every pixel are exchanged, for 3- and 4-byte pixels.
    // Loading the same record again must give the same colours.
    ASSERT_EQ(gget_red_mask(), 0xFF0000UL);
    for (int bytes : {3, 4}) {
        Image img;
        make_rgb_first(img, 20, 10, bytes);
        for (int pass = 0; pass < 2; pass++) {
            fill_window(kBlack);
            ASSERT_EQ(gload_image(&img.rec, 0, 0), 0);
            Image back;
            read_back(back);
            EXPECT_EQ(rgb_in(back.rec, vp_.x + 1, vp_.y + 1), kRed) << bytes << " pass " << pass;
            EXPECT_EQ(rgb_in(back.rec, vp_.x + 19, vp_.y + 9), kBlue) << bytes << " pass " << pass;
        }
        EXPECT_EQ(img.rec.red, 0xFF0000u) << "the record's masks follow its swapped bytes";
        EXPECT_EQ(img.rec.blu, 0x0000FFu);
    }
}

TEST_F(ImageDisplay, TrueColourRecordWithTwoBytePixelsIsRefused)
{
    // 24-bit depth claiming 16 bits per pixel: the 3-byte swap would run a
    // byte past every row; nothing is drawn.
    Image img;
    make_rgb_first(img, 20, 10, 2);
    std::memset(img.rec.data, 0xFF, static_cast<std::size_t>(img.rec.bytes_line) * 10);
    EXPECT_EQ(gload_image(&img.rec, 0, 0), 0);
    XImage xi;
    EXPECT_EQ(gset_ximage_params(&img.rec, &xi), 0);
    Image back;
    read_back(back);
    for (int y = 0; y < 10; y++)
        for (int x = 0; x < 20; x++)
            ASSERT_EQ(rgb_in(back.rec, vp_.x + x, vp_.y + y), kBlack) << x << "," << y;
}

// ---- Screens of depth 8 (PseudoColor) and 16 (TrueColor 5-6-5) ---------------

// A private Xvfb of the given depth for the duration of one test; DISPLAY
// points to it meanwhile.
class OtherDepth : public XWindowTest {
protected:
    pid_t server_ = -1;
    std::string old_display_;

    bool start_server(int depth)
    {
        if (std::system("command -v Xvfb >/dev/null 2>&1") != 0)
            return false;
        int fds[2];
        if (pipe(fds) != 0)
            return false;
        server_ = fork();
        if (server_ == 0) {
            close(fds[0]);
            const std::string fd = std::to_string(fds[1]);
            const std::string screen = "200x160x" + std::to_string(depth);
            int null = open("/dev/null", O_WRONLY);
            dup2(null, 2);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(),
                   "-nolisten", "tcp", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        std::string num;
        char c;
        while (read(fds[0], &c, 1) == 1 && c != '\n')
            num += c;
        close(fds[0]);
        if (num.empty())
            return false;
        if (const char* d = std::getenv("DISPLAY"))
            old_display_ = d;
        setenv("DISPLAY", (":" + num).c_str(), 1);
        return true;
    }

    void open_depth(int depth)
    {
        if (!start_server(depth))
            GTEST_SKIP() << "no private Xvfb of depth " << depth;
        ASSERT_EQ(gopen_gks(nullptr, 0), 0);
        gset_geometry("");
        gset_xsize(200, 160);
        ASSERT_EQ(gopen_ws(1, "", 1), 0);
        ASSERT_EQ(gget_win_depth(), depth);
        gsel_norm_tran(0);
    }

    void TearDown() override
    {
        XWindowTest::TearDown();
        if (server_ > 0) {
            kill(server_, SIGTERM);
            waitpid(server_, nullptr, 0);
        }
        if (!old_display_.empty())
            setenv("DISPLAY", old_display_.c_str(), 1);
    }

    // Colour of a device pixel, each component 0-65535.
    static XColor colour_of(unsigned long pixel)
    {
        XColor xc{};
        xc.pixel = pixel;
        XQueryColor(gget_display(), gget_colormap(), &xc);
        return xc;
    }
};

TEST_F(OtherDepth, EightBitScreenMapsIndicesToAllocatedPixels)
{
    open_depth(8);
    if (IsSkipped() || HasFatalFailure())
        return;
    Image img;
    make_indexed(img, 6, 2, {{1, 0, 0}, {0, 1, 0}, {0.5f, 0.5f, 1}},
                 [](int x, int) { return x % 3; });
    const std::vector<unsigned char> indices(img.rec.data, img.rec.data + 12);
    EXPECT_EQ(gsetup_image_colors(&img.rec, -1), 12);
    for (int i = 0; i < 12; i++) {
        // Every slot now holds a device pixel of its table colour (the X
        // server's 16-bit components, 8 significant bits on this screen).
        const IMG_color want = img.rec.colors[indices[i]];
        const XColor got = colour_of(img.rec.data[i]);
        EXPECT_NEAR(got.red / 65535.0, want.r, 1.0 / 255) << i;
        EXPECT_NEAR(got.green / 65535.0, want.g, 1.0 / 255) << i;
        EXPECT_NEAR(got.blue / 65535.0, want.b, 1.0 / 255) << i;
    }
    EXPECT_EQ(img.rec.data[0], img.rec.data[3]) << "one pixel per colour index";
    EXPECT_NE(img.rec.data[0], img.rec.data[1]);
}

TEST_F(OtherDepth, EightBitColourNearTheTransparentOneTakesItsPixel)
{
    open_depth(8);
    if (IsSkipped() || HasFatalFailure())
        return;
    const long black = galloc_colr(-1, 0, 0, 0);
    ASSERT_GE(black, 0);
    // 0.008 from black is within 0.01; 0.02 is not.
    Image img;
    make_indexed(img, 2, 1, {{0.008f, 0.0f, 0.008f}, {0.02f, 0.0f, 0.0f}},
                 [](int x, int) { return x; });
    EXPECT_EQ(gsetup_image_colors(&img.rec, static_cast<int>(black)), 2);
    EXPECT_EQ(img.rec.data[0], static_cast<unsigned char>(black));
    EXPECT_NE(img.rec.data[1], static_cast<unsigned char>(black));
}

TEST_F(OtherDepth, EightBitScreenPacksFourAndOneBitPixels)
{
    open_depth(8);
    if (IsSkipped() || HasFatalFailure())
        return;
    const long red = galloc_colr(-1, 1, 0, 0), blue = galloc_colr(-1, 0, 0, 1);
    ASSERT_GE(red, 0);
    ASSERT_GE(blue, 0);
    // 4 bits: three pixels, high nibble first: indices 1, 0 | 1.
    Image four;
    make_indexed(four, 2, 1, {{1, 0, 0}, {0, 0, 1}}, [](int, int) { return 0; });
    four.rec.width = 3;
    four.rec.bits_pixel = 4;
    four.rec.bytes_line = 2;
    four.rec.data[0] = 0x10;
    four.rec.data[1] = 0x10;
    EXPECT_EQ(gsetup_image_colors(&four.rec, -1), 3);
    EXPECT_EQ(four.rec.data[0] >> 4, blue & 0x0F);
    EXPECT_EQ(four.rec.data[0] & 0x0F, red & 0x0F);
    EXPECT_EQ(four.rec.data[1] >> 4, blue & 0x0F);
    EXPECT_EQ(four.rec.data[1] & 0x0F, 0) << "the pad nibble is left alone";
    // 1 bit: eight pixels, bit 0 first: index 1 at pixels 0 and 3.
    Image one;
    make_indexed(one, 1, 1, {{1, 0, 0}, {0, 0, 1}}, [](int, int) { return 0; });
    one.rec.width = 8;
    one.rec.bits_pixel = 1;
    one.rec.bytes_line = 1;
    one.rec.data[0] = 0x09;
    EXPECT_EQ(gsetup_image_colors(&one.rec, -1), 8);
    for (int bit = 0; bit < 8; bit++) {
        const long pix = (bit == 0 || bit == 3) ? blue : red;
        EXPECT_EQ((one.rec.data[0] >> bit) & 1, pix & 1) << bit;
    }
}

TEST_F(OtherDepth, EightBitShortRowsAreRefusedNotOverwritten)
{
    open_depth(8);
    if (IsSkipped() || HasFatalFailure())
        return;
    Image img;
    make_indexed(img, 10, 10, {{1, 0, 0}}, [](int, int) { return 0; });
    img.rec.bytes_line = 5;  // the last row would run 5 bytes past the buffer
    EXPECT_EQ(gsetup_image_colors(&img.rec, -1), 0);
    EXPECT_EQ(img.rec.data[0], 0) << "nothing rewritten";
    img.rec.bytes_line = 10;
    img.rec.bits_pixel = 2;  // no such packing
    EXPECT_EQ(gsetup_image_colors(&img.rec, -1), 0);
}

TEST_F(OtherDepth, EightBitReadBackCarriesTheColourMap)
{
    open_depth(8);
    if (IsSkipped() || HasFatalFailure())
        return;
    const Glim win{0, 1, 0, 1};
    gset_win(2, &win);
    gset_vp(2, &win);
    gsel_norm_tran(2);
    Image img;
    make_indexed(img, 4, 1, {{0.995f, 0, 0}, {0.5f, 0.25f, 0}}, [](int x, int) { return x / 2; });
    ASSERT_EQ(gload_image(&img.rec, 0, 0), 0);
    XRectangle vp{};
    gget_xviewport(&vp);
    gsync();
    Image back;
    ASSERT_EQ(gget_image(&back.rec), 1);
    EXPECT_EQ(back.rec.depth, 8);
    EXPECT_EQ(back.rec.color_type, 1);
    ASSERT_EQ(back.rec.num_colors, 256) << "the visual's map entries";
    ASSERT_NE(back.rec.colors, nullptr);
    const unsigned char* row = back.rec.data + static_cast<std::size_t>(vp.y) * back.rec.bytes_line;
    const IMG_color a = back.rec.colors[row[vp.x]];
    const IMG_color b = back.rec.colors[row[vp.x + 3]];
    // 0.995 is stored as 254/255 = 0.996, above 0.99: read back as 1.
    EXPECT_EQ(a.r, 1.0f);
    EXPECT_EQ(a.g, 0.0f);
    EXPECT_NEAR(b.r, 0.5, 1.0 / 255);
    EXPECT_NEAR(b.g, 0.25, 1.0 / 255);
}

TEST_F(OtherDepth, SixteenBitScreenPacksComponentsHighByteFirst)
{
    open_depth(16);
    if (IsSkipped() || HasFatalFailure())
        return;
    const Glim win{0, 1, 0, 1};
    gset_win(2, &win);
    gset_vp(2, &win);
    gsel_norm_tran(2);
    ASSERT_EQ(gget_red_mask(), 0xF800UL);
    ASSERT_EQ(gget_grn_mask(), 0x07E0UL);
    ASSERT_EQ(gget_blu_mask(), 0x001FUL);
    // (1, 0.5, 0.25): 31 << 11 | trunc(0.5 x 63) = 31 << 5 | trunc(0.25 x 31)
    // = 7, i.e. 0xFBE7. Components outside 0-1 are held at the ends:
    // (2, -1, 0.5) gives 31 << 11 | 0 | 15 = 0xF80F.
    Image img;
    make_indexed(img, 2, 1, {{1, 0.5f, 0.25f}, {2, -1, 0.5f}}, [](int x, int) { return x; });
    XImage xi;
    ASSERT_EQ(gset_ximage_params(&img.rec, &xi), 1);
    ASSERT_EQ(xi.bits_per_pixel, 16);
    const unsigned char* d = reinterpret_cast<unsigned char*>(xi.data);
    EXPECT_EQ(d[0] * 256 + d[1], 0xFBE7);
    EXPECT_EQ(d[2] * 256 + d[3], 0xF80F);
    std::free(xi.data);
    // And on the screen.
    ASSERT_EQ(gload_image(&img.rec, 0, 0), 0);
    XRectangle vp{};
    gget_xviewport(&vp);
    gsync();
    ImagePtr shot(XGetImage(gget_display(), gget_draw_window(), vp.x, vp.y, 2, 1, AllPlanes,
                            ZPixmap));
    ASSERT_TRUE(shot);
    EXPECT_EQ(XGetPixel(shot.get(), 0, 0), 0xFBE7UL);
    EXPECT_EQ(XGetPixel(shot.get(), 1, 0), 0xF80FUL);
}

TEST(ImageDisplayClosed, WithoutAWindowNothingIsDrawn)
{
    ASSERT_EQ(gchk_graphics(), 0);
    IMG_report img;
    IMG_init(&img);
    EXPECT_EQ(gload_image(&img, 0, 0), 0);
    EXPECT_EQ(goverlay_image(&img, "black", 0, 0), 0);
    EXPECT_EQ(gget_image(&img), 0);
    EXPECT_EQ(gload_image_file("/nonexistent.png", 0, 0), 0);
    IMG_free(&img);
}

}  // namespace
