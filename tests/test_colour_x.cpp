// The colour bar and window dumps (XWD, PNG and the package's image format)
// on a real X11 window, run under Xvfb.
#include "zem_test.h"

#include "colors.h"
#include "flag.h"
#include "gks_img.h"
#include "gks_tool.h"
#include "gks_tran.h"
#include "maptran.h"
#include "plt_labl.h"
#include "plt_tool.h"
#include "png.h"
#include "sat_tool.h"
#include "tools.h"
#include "xdump.h"

namespace {

using Ints = std::vector<std::int64_t>;  // for comparing several fields at once

using zt::Rgb;
const Rgb kRed{255, 0, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255}, kWhite{255, 255, 255};

class Window : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X server (DISPLAY unset)";
        RES_clear();
        RES_put("device", "display");
        RES_put("title", "colour_test");
        RES_put("file_path", (std::string(ZEM_TEST_DATA) + "/colour").c_str());
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
    zt::TempDir tmp_;
};

// The colour bar lies below the plot viewport: x0 = left + 3% of the
// width, to the centre, 256 values wide; its strip from bottom - h to
// bottom - 0.15 h (h = the room below the panel, at most 0.035). Each
// value's strip has its bin's colour; the outline and ticks are in the text
// colour. A red rectangle beside it; the window dumped as XWD and PNG reads
// back alike.
TEST_F(Window, ColourBarAndDumps) {
    RES_put("color_fill", "0:red,64:green,128:blue,192:white");
    SAT_color_setup();
    Glim vp{}, win{};
    PLT_get_view(&vp);
    GPH_get_view_size(&win);
    const float h = std::min(vp.y_min - win.y_min, 0.035f);
    ASSERT_GE(h, 0.01f) << "the default view offsets leave room below the panel";
    ASSERT_EQ(SAT_color_bar(1), 0);
    GPH_trans(1);
    Gattribs fill;
    ATTRIB_init(&fill);
    ATTRIB_parse("red:fi=sol", &fill);
    GPH_fill_attr(&fill);
    GPH_frect(0.2f, 0.2f, 0.4f, 0.3f);
    gupdate_window();
    const std::string xwd = tmp_.file("dump.xwd"), png = tmp_.file("dump.png");
    ASSERT_EQ(XWD_dump(xwd.c_str()) + PNG_dump(png.c_str()), 2);
    zt::Image xwd_back, png_back;
    IMG_report &im = xwd_back.rec, &b = png_back.rec;
    im.depth = 32;
    ASSERT_EQ(XWD_read(xwd.c_str(), &im, 0) + PNG_read(png.c_str(), &b, 0), 2);
    ASSERT_EQ(Ints({im.width, im.height, b.width, b.height}), Ints({640, 512, 640, 512}));
    int differ = 0;
    for (int y = 0; y < 512; ++y)
        for (int x = 0; x < 640; ++x) differ += !(zt::rgb_at(im, x, y) == zt::rgb_at(b, x, y));
    EXPECT_EQ(differ, 0);
    const float x0 = vp.x_min + 0.03f * (vp.x_max - vp.x_min), w = ((vp.x_min + vp.x_max) / 2 - x0) / 256.0f;
    const float bottom = vp.y_min - h, top = vp.y_min - 0.15f * h;
    auto px = [&](float v) { return int(std::lround(xW_p(x0 + v * w))); };
    auto py = [&](float y) { return int(std::lround(yW_p(y))); };
    EXPECT_EQ(zt::rgb_at(im, int(std::lround(xW_p(0.3f))), py(0.25f)), kRed);
    const int ymid = py((top + bottom + 0.01f) / 2);  // above the 0.01 high value ticks
    for (auto [v, colour] : {std::pair{40, kRed}, {104, kGreen}, {168, kBlue}, {232, kWhite}})
        EXPECT_EQ(zt::rgb_at(im, px(v + 0.5f), ymid), colour) << "value " << v;
    EXPECT_EQ(zt::rgb_at(im, px(100), py(top)), kWhite);  // the outline's top edge
    // A 0 C tick (count 114 of AREA images) reaching down from the top.
    bool tick = false;
    for (int dx = -1; dx <= 1; ++dx) tick |= zt::rgb_at(im, px(114) + dx, py(top - 0.008f)) == kWhite;
    EXPECT_TRUE(tick);
    EXPECT_EQ(zt::rgb_at(im, px(121), py(top - 0.008f)), kGreen);
}

// A dump in the package's format carries the plot labels and, when the map
// panel fills the window (view offset at most 0.7), the active map domain
// widened to the whole window at the panel's spacing per pixel: at least the
// panel's extent 1.2 * 24 by 1.2 * 16 plus the margins; wider margins leave
// the domain out.
TEST_F(Window, PackageDumpCarriesLabelsAndDomain) {
    PLT_init_labels();
    PLT_label_up_left("GOES-16 band 2");
    PLT_label_low_right("zem");
    PLT_label_up_right("1745Z  5 MAR 24");
    Domain d;
    DOM_init(&d);
    ASSERT_EQ(DOM_decode("ps:60:-105,40,-100,25,17,1.2,1.2", &d), 1);
    MAP_domain(&d);
    for (float offset : {0.04f, 0.8f}) {
        PLT_set_view_offset(offset);
        ASSERT_EQ(IMG_dump(tmp_.file("dump.zem").c_str()), 1);
        zt::Image back;
        ASSERT_EQ(IMG_read_zem(tmp_.file("dump.zem").c_str(), &back.rec, 0), 1);
        ASSERT_GT(back.rec.width * back.rec.height, 1);
        EXPECT_STREQ(back.rec.info, "GOES-16 band 2 [zem]");
        EXPECT_STREQ(back.rec.datim, "1745Z  5 MAR 24");
        EXPECT_EQ(Ints({back.rec.domain.nx, back.rec.domain.ny}), Ints({back.rec.width, back.rec.height}));
        if (offset < 0.7f) {
            const Domain& d = back.rec.domain;
            EXPECT_TRUE(d.proj == 1 && std::fabs(d.clat - 40) + std::fabs(d.clon + 100) < 1e-4) << d.clat << " " << d.clon;
            EXPECT_GE(back.rec.domain.dx * (back.rec.width - 1), 1.2 * 24 - 1e-3);
            EXPECT_GE(back.rec.domain.dy * (back.rec.height - 1), 1.2 * 16 - 1e-3);
        } else {
            EXPECT_TRUE(is_missing(back.rec.domain.proj));
        }
    }
}

}  // namespace
