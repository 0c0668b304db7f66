// Transform chain, clipping rectangle, aspect fitting, device letters, fill
// patterns and the failure paths that need no X server.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>

#include "gks_fill.h"
#include "gks_line.h"
#include "gks_tool.h"
#include "gks_tran.h"
#include "gks_x11.h"
#include "mess.h"

namespace {

std::string slurp(const std::string& path) {
    std::ifstream in(path);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

class Transforms : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(gopen_gks(nullptr, 0), 0);
        // A 640 x 512 device without opening any window.
        gset_win_size(640, 512);
        gset_xoff(0, 0);
        ginit_tran(0);
    }
    void TearDown() override { gclose_gks(); }
};

// 640 x 512 device: wkvp is 0..639 x 0..511, so a square workstation window
// maps onto 511 x 511 pixels anchored top-left (rx = 639 > ry = 511).
TEST_F(Transforms, UnitSquareOn640x512IsAnchoredTopLeft) {
    EXPECT_FLOAT_EQ(xW_p(0.0f), 0.0f);
    EXPECT_FLOAT_EQ(xW_p(1.0f), 511.0f);
    EXPECT_FLOAT_EQ(yW_p(1.0f), 0.0f);
    EXPECT_FLOAT_EQ(yW_p(0.0f), 511.0f);
    // Print units do not flip y.
    EXPECT_FLOAT_EQ(yW_ps(0.0f), 0.0f);
    EXPECT_FLOAT_EQ(yW_ps(1.0f), 511.0f);
    float xvp = 0, yvp = 0;
    ginq_maxview(1, &xvp, &yvp);
    EXPECT_FLOAT_EQ(xvp, 1.0f);
    EXPECT_FLOAT_EQ(yvp, 511.0f / 639.0f);
    Gint err = -1;
    Gdsp_size ds{};
    ginq_disp_space_size(1, &err, &ds);
    EXPECT_EQ(err, 0);
    EXPECT_EQ(ds.coord_units, GOTHER_UNIT);
    EXPECT_FLOAT_EQ(ds.coord_size.x, 639.0f);
    EXPECT_EQ(ds.ras_size.x_coord, 640);
    EXPECT_EQ(ds.ras_size.y_coord, 512);
}

// Window 10..20 x 100..200 on viewport 0.2..0.6 x 0.1..0.5: by hand,
// NDC x = (15-10)*0.04+0.2 = 0.4, y = (150-100)*0.004+0.1 = 0.3; pixels
// x = 0.4*511 = 204.4, y = (1-0.3)*511 = 357.7.
TEST_F(Transforms, WorldToNdcToPixelAndBack) {
    const Glim win{10.0f, 20.0f, 100.0f, 200.0f};
    const Glim vp{0.2f, 0.6f, 0.1f, 0.5f};
    ASSERT_EQ(gset_win(2, &win), 0);
    ASSERT_EQ(gset_vp(2, &vp), 0);
    ASSERT_EQ(gsel_norm_tran(2), 0);
    EXPECT_NEAR(xW_NDC(15.0f), 0.4f, 1e-6);
    EXPECT_NEAR(yW_NDC(150.0f), 0.3f, 1e-6);
    EXPECT_NEAR(xW_p(15.0f), 204.4f, 1e-3);
    EXPECT_NEAR(yW_p(150.0f), 357.7f, 1e-3);
    for (float v : {10.0f, 12.5f, 19.0f, 33.0f}) EXPECT_NEAR(xp_W(xW_p(v)), v, 1e-3);
    for (float v : {100.0f, 150.0f, 175.5f, 240.0f}) EXPECT_NEAR(yp_W(yW_p(v)), v, 1e-3);
    Gint err = -1, n = -1;
    ginq_cur_norm_tran_num(&err, &n);
    EXPECT_EQ(n, 2);
    Gtran t{};
    ASSERT_EQ(ginq_norm_tran(2, &err, &t), 0);
    EXPECT_EQ(err, 0);
    EXPECT_FLOAT_EQ(t.win.x_max, 20.0f);
    EXPECT_FLOAT_EQ(t.vp.y_min, 0.1f);
    // Transform 2 -> transform 0 (unit square): the NDC value itself.
    EXPECT_NEAR(xW_trans(15.0f, 2, 0), 0.4f, 1e-6);
    EXPECT_NEAR(yW_trans(0.3f, 0, 2), 150.0f, 1e-3);
}

// The clip rectangle of viewport 0.2..0.6 x 0.1..0.5 (hand arithmetic with
// the rounding rules): x = trunc(102.2+0.5) = 102, width = trunc(306.6-102
// +1.5) = 206, y = trunc(255.5+0.5) = 256, height = trunc(459.9-256+1.5) = 205.
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

TEST_F(Transforms, FarPointsClampInsteadOfWrapping) {
    EXPECT_FLOAT_EQ(xW_p(1.0e6f), 30000.0f);
    EXPECT_FLOAT_EQ(xW_p(-1.0e6f), -30000.0f);
    EXPECT_FLOAT_EQ(yW_p(-1.0e6f), 30000.0f);
    EXPECT_FLOAT_EQ(xW_ps(1.0e9f), 100000.0f);
    EXPECT_FLOAT_EQ(yW_ps(-1.0e9f), -100000.0f);
    // A NaN point must not reach the int conversion of the primitives as
    // NaN: it is sent off the device at the low limit.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_FLOAT_EQ(xW_p(nan), -30000.0f);
    EXPECT_FLOAT_EQ(yW_p(nan), -30000.0f);
    EXPECT_FLOAT_EQ(xW_ps(nan), -100000.0f);
}

// A workstation window of 1 x 0.5 on 640 x 512: rx = 639 < ry = 1022, so
// the width is used: plt 639 x 319.5 pixels.
TEST_F(Transforms, WorkstationWindowKeepsAspect) {
    const Glim ws{0.0f, 1.0f, 0.0f, 0.5f};
    gset_ws_win(1, &ws);
    EXPECT_FLOAT_EQ(xNDC_p(1.0f), 639.0f);
    EXPECT_FLOAT_EQ(yNDC_p(0.0f), 319.5f);
    EXPECT_FLOAT_EQ(yNDC_p(0.5f), 0.0f);
    // A size change keeps the transforms but rescales the device.
    const Glim win{0.0f, 50.0f, 0.0f, 50.0f};
    gset_win(0, &win);
    gset_win_size(320, 256);
    EXPECT_FLOAT_EQ(xW_p(50.0f), 319.0f);
    Gtran t{};
    Gint err = 0;
    ginq_norm_tran(0, &err, &t);
    EXPECT_FLOAT_EQ(t.win.x_max, 50.0f);
}

TEST_F(Transforms, BadTransformNumbersFailWithMessage) {
    char path[] = "/tmp/gks_tran_msgXXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    ASSERT_EQ(MESS_file(path, "w"), 0) << "MESS_file could not open " << path;
    const Glim l{0, 1, 0, 1};
    EXPECT_EQ(gsel_norm_tran(6), -1);
    EXPECT_EQ(gsel_norm_tran(-1), -1);
    EXPECT_EQ(gset_win(7, &l), -1);
    EXPECT_EQ(gset_vp(-2, &l), -1);
    Gint err = 0;
    Gtran t{};
    EXPECT_EQ(ginq_norm_tran(6, &err, &t), -1);
    MESS_file_close();
    const std::string text = slurp(path);
    std::remove(path);
    EXPECT_NE(text.find("gsel_norm_tran: invalid transformation number: 6\n"), std::string::npos) << text;
    EXPECT_NE(text.find("gsel_norm_tran: invalid transformation number: -1\n"), std::string::npos) << text;
}

TEST_F(Transforms, PointsInWindow) {
    const Glim win{0.0f, 10.0f, 0.0f, 10.0f};
    gset_win(4, &win);
    gsel_norm_tran(4);
    const Gpt left[3] = {{-5, 1}, {-3, 4}, {-0.5f, 9}};
    EXPECT_EQ(gpts_in_win(3, left), 0);
    const Gpt touching[2] = {{-5, 5}, {0, 5}};
    EXPECT_EQ(gpts_in_win(2, touching), 1);
    // A box that spans the window without a vertex inside it still overlaps.
    const Gpt spanning[2] = {{-5, -5}, {15, 15}};
    EXPECT_EQ(gpts_in_win(2, spanning), 1);
    const Gpt above[2] = {{1, 10.5f}, {9, 20}};
    EXPECT_EQ(gpts_in_win(2, above), 0);
}

// Ratio 2:1 into 0..1 x 0..0.8: 1/0.8 < 2/1, so the width limits: 1 x 0.5.
TEST(Aspect, FitsAndPlaces) {
    const Glim in{0.0f, 1.0f, 0.0f, 0.8f};
    Glim out{};
    ASSERT_EQ(gset_aspect(&in, &out, Gaspect{2.0f, 1.0f}, Gcenter{2, 2}), 0);
    EXPECT_FLOAT_EQ(out.x_min, 0.0f);
    EXPECT_FLOAT_EQ(out.x_max, 1.0f);
    EXPECT_FLOAT_EQ(out.y_min, 0.15f);
    EXPECT_FLOAT_EQ(out.y_max, 0.65f);
    gset_aspect(&in, &out, Gaspect{2.0f, 1.0f}, Gcenter{3, 3});
    EXPECT_FLOAT_EQ(out.y_min, 0.3f);
    EXPECT_FLOAT_EQ(out.y_max, 0.8f);
    // Ratio 1:2 into the same box: the height limits, width 0.4.
    const Glim in2{0.2f, 1.2f, 0.0f, 0.8f};
    gset_aspect(&in2, &out, Gaspect{1.0f, 2.0f}, Gcenter{0, 2});
    EXPECT_FLOAT_EQ(out.x_min, 0.0f);
    EXPECT_FLOAT_EQ(out.x_max, 0.4f);
    EXPECT_FLOAT_EQ(out.y_min, 0.0f);
    EXPECT_FLOAT_EQ(out.y_max, 0.8f);
}

TEST(DeviceLetters, TableAndConnectionSplit) {
    char conn[64];
    EXPECT_EQ(gdevice_setup("P,out.ps,land", conn), 4);
    EXPECT_STREQ(conn, "out.ps,land");
    EXPECT_EQ(gdevice_setup("hpgl", conn), 5);
    EXPECT_STREQ(conn, "");
    EXPECT_EQ(gdevice_setup("q,plot.hp", conn), 5);
    EXPECT_EQ(gdevice_setup("meta,x.meta", conn), 3);
    EXPECT_EQ(gdevice_setup("w,+1:2:640x512", conn), 6);
    EXPECT_STREQ(conn, "+1:2:640x512");
    EXPECT_EQ(gdevice_setup("d", conn), 1);
    EXPECT_EQ(gdevice_setup(",:0", conn), 1);
    EXPECT_STREQ(conn, ":0");
}

// Rows from the pattern table: 1 is aa 55 ..., bit 0 the leftmost pixel.
TEST(FillPatterns, BitLookup) {
    EXPECT_EQ(gfill_test(1, 0, 0), 0);  // 0xaa bit 0
    EXPECT_EQ(gfill_test(1, 1, 0), 1);  // 0xaa bit 1
    EXPECT_EQ(gfill_test(1, 0, 1), 1);  // 0x55 bit 0
    EXPECT_EQ(gfill_test(1, 9, 8), 1);  // wraps to (1, 0)
    EXPECT_EQ(gfill_test(1, -1, 0), 1); // wraps to (7, 0): 0xaa bit 7
    EXPECT_EQ(gfill_test(6, 0, 0), 1);  // 0x03
    EXPECT_EQ(gfill_test(6, 2, 0), 0);
    EXPECT_EQ(gfill_test(6, 7, 7), 1);  // 0x81 bit 7
    int set10 = 0, set19 = 0;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            set10 += gfill_test(10, x, y);
            set19 += gfill_test(19, x, y);
        }
    EXPECT_EQ(set10, 0);
    EXPECT_EQ(set19, 64);
    EXPECT_EQ(gfill_test(20, 0, 0), 0);
    EXPECT_EQ(gfill_test(-1, 1, 0), 0);
}

TEST(NoWorkstation, PrimitivesRefuse) {
    ASSERT_EQ(gopen_gks(nullptr, 0), 0);
    ASSERT_EQ(gchk_graphics(), 0);
    const Gpt pts[2] = {{0, 0}, {1, 1}};
    EXPECT_EQ(gpolyline(2, pts), -1);
    EXPECT_EQ(gfill_area(2, pts), -1);
    EXPECT_EQ(gset_linewidth(2.0f), -1);
    gclose_gks();
}

TEST(NoDisplay, OpenFailsCleanly) {
    ASSERT_EQ(gopen_gks(nullptr, 0), 0);
    // An explicit display that no server answers.
    EXPECT_EQ(gopen_ws(1, ":97", 1), -1);
    EXPECT_EQ(gchk_graphics(), 0);
    unsetenv("DISPLAY");
    EXPECT_EQ(gopen_ws(1, "", 1), -1);
    EXPECT_EQ(gopen_ws(1, "", 6), -1);
    EXPECT_EQ(gchk_graphics(), 0);
    // A file device whose output cannot be created fails without a crash.
    EXPECT_EQ(gopen_ws(1, "/nonexistent-dir/never.ps", 4), -1);
    EXPECT_EQ(gopen_ws(1, "", 2), -1);
    gclose_gks();
}

TEST(NoDisplayDeathTest, BeginExitsWithStatus4) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            unsetenv("DISPLAY");
            Gint id = 0;
            Gws_type type = 1;
            char conn[] = ":97";
            GPH_begin(&id, conn, &type);
        },
        ::testing::ExitedWithCode(4), "GPH_begin: Error opening workstation");
}

}  // namespace
