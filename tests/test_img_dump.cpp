// Window dumps in the package's image format, on a real X11 window (run
// under Xvfb): the picture's size, the plot labels and the active map domain
// stretched to the picture.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "flag.h"
#include "gks_tool.h"
#include "gks_x11.h"
#include "img_tool.h"
#include "ingest_util.h"
#include "maptran.h"
#include "mess.h"
#include "plt_labl.h"
#include "plt_tool.h"
#include "region.h"
#include "resrc.h"
#include "tools.h"

using namespace ingest_test;

namespace {

class DumpWindow : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X server (DISPLAY unset)";
        MESS_reset();
        RES_clear();
        RES_put("device", "display");
        RES_put("title", "dump_test");
        FLAG_set(2, 1);
        gset_xsize(320, 256);
        GPH_set_view_size(1, 1, 0, 0);
        ASSERT_EQ(PLT_open(0.0f), 0);
        ASSERT_EQ(gchk_graphics(), 1);
        opened_ = true;
        PLT_init_labels();
        PLT_label_up_left("GOES-16 band 2");
        PLT_label_low_right("zem");
        PLT_label_up_right("1745Z  5 MAR 24");
        // A 25 x 17 polar stereographic domain, 1.2 apart.
        Domain d;
        DOM_init(&d);
        ASSERT_EQ(DOM_decode("ps:60:-105,40,-100,25,17,1.2,1.2", &d), 1);
        MAP_domain(&d);
    }
    void TearDown() override {
        if (opened_) GPH_end(1);
    }
    bool opened_ = false;
    TempDir dir_;
};

TEST_F(DumpWindow, CarriesLabelsAndTheStretchedDomain) {
    PLT_set_view_offset(0.04f);
    const std::string name = dir_.file("dump.zem");
    ASSERT_EQ(IMG_dump(name.c_str()), 1);
    IMG_report back;
    IMG_init(&back);
    ASSERT_EQ(IMG_read_zem(name.c_str(), &back, 0), 1);
    ASSERT_GT(back.width, 1);
    ASSERT_GT(back.height, 1);
    EXPECT_STREQ(back.info, "GOES-16 band 2 [zem]");
    EXPECT_STREQ(back.datim, "1745Z  5 MAR 24");
    EXPECT_EQ(back.domain.proj, 1);
    EXPECT_FLOAT_EQ(back.domain.clat, 40.0f);
    EXPECT_FLOAT_EQ(back.domain.clon, -100.0f);
    EXPECT_EQ(back.domain.nx, back.width);
    EXPECT_EQ(back.domain.ny, back.height);
    // The domain covers the whole window at the panel's spacing per pixel:
    // at least the panel's extent 1.2 * 24 by 1.2 * 16, plus the margins.
    EXPECT_GE(back.domain.dx * (back.width - 1), 1.2 * 24 - 1e-3);
    EXPECT_GE(back.domain.dy * (back.height - 1), 1.2 * 16 - 1e-3);
    IMG_free(&back);
}

TEST_F(DumpWindow, WideMarginsLeaveTheDomainOut) {
    PLT_set_view_offset(0.8f);
    const std::string name = dir_.file("dump.zem");
    ASSERT_EQ(IMG_dump(name.c_str()), 1);
    IMG_report back;
    IMG_init(&back);
    ASSERT_EQ(IMG_read_zem(name.c_str(), &back, 0), 1);
    EXPECT_TRUE(is_missing(back.domain.proj));
    EXPECT_EQ(back.domain.nx, back.width);  // the "width height" header form
    EXPECT_STREQ(back.info, "GOES-16 band 2 [zem]");
    IMG_free(&back);
}

}  // namespace
