// Far and unplaceable points, the clip rectangle, aspect fitting and the
// failure paths that need no X server; where drawing lands is checked on
// the window's pixels.
#include "zem_test.h"

#include <limits>

#include "gks_fill.h"
#include "gks_img.h"
#include "gks_line.h"
#include "gks_loop.h"
#include "gks_tool.h"
#include "gks_tran.h"

namespace {

// A 640 x 512 device without any window: wkvp 0..639 x 0..511, so the unit
// square lands on 511 x 511 pixels anchored top-left (639 > 511).
class Transforms : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(gopen_gks(nullptr, 0), 0);
        gset_win_size(640, 512);
        gset_xoff(0, 0);
        ginit_tran(0);
    }
    void TearDown() override { gclose_gks(); }
};

// Far and unplaceable points stay inside the int range of the primitives;
// NaN goes off the device at the low limit.
TEST_F(Transforms, FarAndNaNPointsAreClamped) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct {
        float (*f)(float);
        float in, want;
    } cases[] = {{xW_p, 1e6f, 30000},  {xW_p, -1e6f, -30000},  {yW_p, -1e6f, 30000},
                 {xW_ps, 1e9f, 1e5f},  {yW_ps, -1e9f, -1e5f},  {xW_p, nan, -30000},
                 {yW_p, nan, -30000}, {xW_ps, nan, -1e5f},    {yW_ps, nan, -1e5f}};
    for (const auto& c : cases) EXPECT_FLOAT_EQ(c.f(c.in), c.want) << c.in;
}

// Viewport 0.2..0.6 x 0.1..0.5 with the rounding rules: x = trunc(102.2 +
// 0.5) = 102, width = trunc(306.6 - 102 + 1.5) = 206, y = trunc(255.5 + 0.5)
// = 256, height = trunc(459.9 - 256 + 1.5) = 205.
TEST_F(Transforms, ViewportClipRectangle) {
    const Glim vp{0.2f, 0.6f, 0.1f, 0.5f};
    gset_vp(3, &vp);
    gsel_norm_tran(3);
    XRectangle r{};
    gget_xviewport(&r);
    EXPECT_EQ(r.x, 102);
    EXPECT_EQ(r.width, 206);
    EXPECT_EQ(r.y, 256);
    EXPECT_EQ(r.height, 205);
}

TEST_F(Transforms, BadTransformNumbersFailWithMessage) {
    zt::MessCapture mess;
    const Glim l{0, 1, 0, 1};
    Gint err = 0;
    Gtran t{};
    EXPECT_EQ(gsel_norm_tran(6) + gsel_norm_tran(-1) + gset_win(7, &l) + gset_vp(-2, &l), -4);
    EXPECT_EQ(ginq_norm_tran(6, &err, &t), -1);
    EXPECT_EQ(err, 1);
    EXPECT_EQ(mess.text(), "gsel_norm_tran: invalid transformation number: 6\n"
                           "gsel_norm_tran: invalid transformation number: -1\n"
                           "gset_win: invalid transformation number: 7\n"
                           "gset_vp: invalid transformation number: -2\n");
}

TEST_F(Transforms, PointsInWindow) {
    const Glim win{0, 10, 0, 10};
    gset_win(4, &win);
    gsel_norm_tran(4);
    // Left of it, touching its edge, spanning it without a vertex inside, above it.
    const Gpt cases[][2] = {{{-5, 1}, {-0.5f, 9}}, {{-5, 5}, {0, 5}}, {{-5, -5}, {15, 15}}, {{1, 10.5f}, {9, 20}}};
    const int want[] = {0, 1, 1, 0};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(gpts_in_win(2, cases[i]), want[i]) << i;
}

TEST(Aspect, FitsAndPlaces) {
    // 2:1 into 1 x 0.8: the width limits (1 x 0.5); 1:2 into 1 x 0.8: the
    // height limits (0.4 x 0.8). Centre codes: 2 middle, 3 far end, 0 origin.
    const struct {
        Glim in;
        Gaspect asp;
        Gcenter c;
        Glim want;
    } cases[] = {
        {{0, 1, 0, 0.8f}, {2, 1}, {2, 2}, {0, 1, 0.15f, 0.65f}},
        {{0, 1, 0, 0.8f}, {2, 1}, {3, 3}, {0, 1, 0.3f, 0.8f}},
        {{0.2f, 1.2f, 0, 0.8f}, {1, 2}, {0, 2}, {0, 0.4f, 0, 0.8f}},
        {{0.2f, 1.2f, 0, 0.8f}, {1, 2}, {2, 0}, {0.5f, 0.9f, 0, 0.8f}},
    };
    for (const auto& c : cases) {
        Glim o{};
        ASSERT_EQ(gset_aspect(&c.in, &o, c.asp, c.c), 0);
        const float err[] = {o.x_min - c.want.x_min, o.x_max - c.want.x_max, o.y_min - c.want.y_min,
                             o.y_max - c.want.y_max};
        for (float e : err) EXPECT_NEAR(e, 0.0f, 1e-6) << c.c.x << "," << c.c.y;
    }
    Glim out{};
    const Glim flat{0, 1, 0, 0};
    EXPECT_EQ(gset_aspect(&flat, &out, Gaspect{1, 1}, Gcenter{2, 2}), -1);
}

TEST(NoWorkstation, PrimitivesOpensFramesAndImagesFailCleanly) {
    ASSERT_EQ(gopen_gks(nullptr, 0), 0);
    const Gpt pts[2] = {{0, 0}, {1, 1}};
    EXPECT_EQ(gpolyline(2, pts), -1);
    EXPECT_EQ(gfill_area(2, pts), -1);
    EXPECT_EQ(gset_linewidth(2.0f), -1);
    EXPECT_EQ(gopen_ws(1, ":97", 1), -1);  // a display no server answers
    unsetenv("DISPLAY");
    EXPECT_EQ(gopen_ws(1, "", 1), -1);
    EXPECT_EQ(gopen_ws(1, "", 6), -1);
    EXPECT_EQ(gopen_ws(1, "/nonexistent-dir/never.ps", 4), -1);  // output cannot be created
    EXPECT_EQ(gchk_graphics(), 0);
    gclose_gks();
    // Frames and images with the kernel closed: nothing happens.
    zt::Image img;
    EXPECT_EQ(gcreate_frame(-1) + gget_num_images() + gselect_frame(0) + gdisplay_frame(0) + gdelete_frame(0) +
                  gcopy_frame(0, 1) + gload_image(&img.rec, 0, 0) + goverlay_image(&img.rec, "black", 0, 0) +
                  gget_image(&img.rec) + gload_image_file("/nonexistent.png", 0, 0),
              0);
}

}  // namespace
