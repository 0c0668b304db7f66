// Colour bar and window dumps on a real X11 window (run under Xvfb).
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "colors.h"
#include "flag.h"
#include "gks_img.h"
#include "gks_tool.h"
#include "gks_tran.h"
#include "gks_x11.h"
#include "img_tool.h"
#include "plt_tool.h"
#include "png.h"
#include "resrc.h"
#include "sat_tool.h"
#include "xdump.h"

namespace {

const std::string kData = std::string(ZEM_TEST_DATA) + "/colour";

std::string temp_path(const std::string& name) { return ::testing::TempDir() + "colx_" + name; }

struct Rgb8 {
    int r, g, b;
    bool operator==(const Rgb8& o) const { return r == o.r && g == o.g && b == o.b; }
};

std::ostream& operator<<(std::ostream& os, const Rgb8& c) {
    return os << "(" << c.r << "," << c.g << "," << c.b << ")";
}

int shift_of(unsigned m) {
    int s = 0;
    while (m && !(m & 1u)) m >>= 1, ++s;
    return s;
}

// Colour of a pixel of a record read back from a window or a file.
Rgb8 pixel(const IMG_report& im, int x, int y) {
    const unsigned char* row = im.data + static_cast<size_t>(y) * im.bytes_line;
    if (im.color_type == 1) {
        const IMG_color& c = im.colors[row[x]];
        return {int(c.r * 255 + 0.5f), int(c.g * 255 + 0.5f), int(c.b * 255 + 0.5f)};
    }
    const int n = im.bits_pixel / 8;
    const unsigned char* p = row + static_cast<size_t>(x) * n;
    unsigned v = 0;
    for (int i = 0; i < n; ++i) v = im.byte_order ? (v << 8 | p[i]) : (v | unsigned(p[i]) << (8 * i));
    return {int((v & im.red) >> shift_of(im.red)), int((v & im.grn) >> shift_of(im.grn)),
            int((v & im.blu) >> shift_of(im.blu))};
}

const Rgb8 kRed{255, 0, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255}, kWhite{255, 255, 255};

class ColourWindow : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X server (DISPLAY unset)";
        RES_clear();
        RES_put("device", "display");
        RES_put("title", "colour_test");
        RES_put("file_path", kData.c_str());
        RES_put("color_table", "enh.clr");
        FLAG_set(2, 1);
        gset_xsize(640, 512);
        GPH_set_view_size(1, 1, 0, 0);
        ASSERT_EQ(PLT_open(0.0f), 0);
        ASSERT_EQ(gchk_graphics(), 1);
        opened_ = true;
    }
    void TearDown() override {
        if (opened_) GPH_end(1);
    }
    bool opened_ = false;
};

// The bar lies below the plot viewport; each pixel value's strip has the
// colour of its bin, tick marks and the outline are in the text colour.
TEST_F(ColourWindow, ColourBarShowsTheBins) {
    RES_put("color_fill", "0:red,64:green,128:blue,192:white");
    SAT_color_setup();
    Glim vp{}, win{};
    PLT_get_view(&vp);
    GPH_get_view_size(&win);
    const float h = std::min(vp.y_min - win.y_min, 0.035f);
    ASSERT_GE(h, 0.01f) << "the default view offsets leave room below the panel";
    ASSERT_EQ(SAT_color_bar(1), 0);
    gupdate_window();

    IMG_report im;
    ASSERT_EQ(gget_image(&im), 1);
    // Geometry written out: x0 = left + 3% of the width, the bar ends at
    // the centre, 256 values wide; strip from bottom - h to bottom - 0.15 h.
    const float x0 = vp.x_min + 0.03f * (vp.x_max - vp.x_min);
    const float w = ((vp.x_min + vp.x_max) / 2 - x0) / 256.0f;
    const float bottom = vp.y_min - h, top = vp.y_min - 0.15f * h;
    const float ymid = (top + bottom + 0.01f) / 2;  // above the 0.01 high value ticks
    GPH_trans(1);
    auto px = [&](float v) { return static_cast<int>(std::lround(xW_p(x0 + v * w))); };
    const int py = static_cast<int>(std::lround(yW_p(ymid)));
    const std::pair<int, Rgb8> strips[] = {{40, kRed}, {104, kGreen}, {168, kBlue}, {232, kWhite}};
    for (auto& [v, colour] : strips) EXPECT_EQ(pixel(im, px(v + 0.5f), py), colour) << "value " << v;
    // The outline's top edge and a 0 C tick (count 114 for AREA images)
    // reaching down from the top by 0.015.
    const int ytop = static_cast<int>(std::lround(yW_p(top)));
    EXPECT_EQ(pixel(im, px(100), ytop), kWhite);
    if (SAT_get_imager_source() == 51) {
        const int ytick = static_cast<int>(std::lround(yW_p(top - 0.008f)));
        bool found = false;
        for (int dx = -1; dx <= 1; ++dx) found |= pixel(im, px(114) + dx, ytick) == kWhite;
        EXPECT_TRUE(found);
        EXPECT_EQ(pixel(im, px(121), ytick), kGreen);
    }
    IMG_free(&im);
}

// Dumps of the window as XWD and PNG read back with the same size and the
// same colours, and a red rectangle where it was drawn.
TEST_F(ColourWindow, WindowDumps) {
    GPH_trans(1);
    Gattribs fill;
    ATTRIB_init(&fill);
    ATTRIB_parse("red:fi=sol", &fill);
    GPH_fill_attr(&fill);
    GPH_frect(0.2f, 0.2f, 0.4f, 0.3f);
    gupdate_window();
    const std::string xwd = temp_path("dump.xwd"), png = temp_path("dump.png");
    ASSERT_EQ(XWD_dump(xwd.c_str()), 1);
    ASSERT_EQ(PNG_dump(png.c_str()), 1);

    IMG_report a;
    IMG_init(&a);
    a.depth = 32;
    ASSERT_EQ(XWD_read(xwd.c_str(), &a, 0), 1);
    IMG_report b;
    IMG_init(&b);
    ASSERT_EQ(PNG_read(png.c_str(), &b, 0), 1);
    ASSERT_EQ(a.width, 640);
    ASSERT_EQ(a.height, 512);
    ASSERT_EQ(b.width, 640);
    ASSERT_EQ(b.height, 512);
    int differ = 0;
    for (int y = 0; y < 512; ++y)
        for (int x = 0; x < 640; ++x) differ += !(pixel(a, x, y) == pixel(b, x, y));
    EXPECT_EQ(differ, 0);
    const int cx = static_cast<int>(std::lround(xW_p(0.3f))), cy = static_cast<int>(std::lround(yW_p(0.25f)));
    EXPECT_EQ(pixel(a, cx, cy), kRed);

    if (access("/usr/bin/pngcheck", X_OK) == 0) {
        EXPECT_EQ(std::system(("/usr/bin/pngcheck -q '" + png + "' > /dev/null").c_str()), 0);
    }
    if (access("/usr/bin/convert", X_OK) == 0) {
        FILE* p = popen(("/usr/bin/convert '" + xwd + "' -depth 8 rgb:- 2>/dev/null | wc -c").c_str(), "r");
        ASSERT_NE(p, nullptr);
        long bytes = 0;
        EXPECT_EQ(std::fscanf(p, "%ld", &bytes), 1);
        pclose(p);
        EXPECT_EQ(bytes, 640L * 512 * 3);
    }
    IMG_free(&a);
    IMG_free(&b);
}

}  // namespace
