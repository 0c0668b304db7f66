// Frames and the animation loop under Xvfb: creation order and delays,
// stepping forward, backward and rocking, delay changes, copy/select/display
// and deletion, and the frame-table limit.
#include "plot_x_util.h"

#include <vector>

#include "gks_loop.h"
#include "system.h"

using namespace plot_test;

namespace {

const auto* const kKeepServer = ::testing::AddGlobalTestEnvironment(new KeepServer);

class Frames : public XWindowTest {
protected:
    void SetUp() override
    {
        XWindowTest::SetUp();
        if (HasFatalFailure())
            return;
        open_window(160, 120);
        if (IsSkipped() || HasFatalFailure())
            return;
        gset_loop_direct(1);
        gset_looping(0);
    }

    // Fills a rectangle of the current draw window with an RGB colour.
    void fill(float r, float g, float b, int x, int y, int w, int h)
    {
        long pix = galloc_colr(-1, r, g, b);
        ASSERT_GE(pix, 0);
        XSetForeground(gget_display(), gget_root_gc(), static_cast<unsigned long>(pix));
        XFillRectangle(gget_display(), gget_draw_window(), gget_root_gc(), x, y,
                       static_cast<unsigned>(w), static_cast<unsigned>(h));
    }

    // The frames shown by n successive steps with the given step value.
    std::vector<int> steps(int n, int step)
    {
        std::vector<int> seen;
        for (int i = 0; i < n; i++) {
            int f = ginc_frame(step);
            gdisplay_frame(f);
            seen.push_back(gget_cur_frame());
        }
        return seen;
    }
};

TEST_F(Frames, ThreeFramesInOrderGetLoopDelayThenPause)
{
    // Default loop delay 0.5 s for every frame but the last, pause 1.0 s.
    EXPECT_EQ(gcreate_frame(-1), 0);
    EXPECT_FLOAT_EQ(gget_frame_delay(0), 1.0f);
    EXPECT_EQ(gcreate_frame(-1), 1);
    EXPECT_EQ(gcreate_frame(-1), 2);
    EXPECT_EQ(gget_num_images(), 3);
    EXPECT_FLOAT_EQ(gget_frame_delay(0), 0.5f);
    EXPECT_FLOAT_EQ(gget_frame_delay(1), 0.5f);
    EXPECT_FLOAT_EQ(gget_frame_delay(2), 1.0f);
    // Each frame has its own pixmap.
    EXPECT_NE(gget_frame_id(0), 0u);
    EXPECT_NE(gget_frame_id(0), gget_frame_id(1));
    EXPECT_NE(gget_frame_id(1), gget_frame_id(2));
    EXPECT_NE(gget_frame_id(2), gget_base_window());
}

TEST_F(Frames, StepsForwardBackwardAndRocking)
{
    for (int i = 0; i < 4; i++)
        ASSERT_EQ(gcreate_frame(i), i);
    EXPECT_EQ(steps(6, 0), (std::vector<int>{0, 1, 2, 3, 0, 1}));
    gset_loop_direct(0);  // backwards from frame 1
    EXPECT_EQ(steps(5, 0), (std::vector<int>{0, 3, 2, 1, 0}));
    gset_loop_direct(3);  // rocking, currently forwards, from frame 0
    EXPECT_EQ(steps(8, 0), (std::vector<int>{1, 2, 3, 2, 1, 0, 1, 2}));
    EXPECT_EQ(gget_loop_direct(), 3);
    // An explicit step ignores the direction and wraps at the ends.
    gset_loop_direct(1);
    EXPECT_EQ(steps(2, -1), (std::vector<int>{1, 0}));
    EXPECT_EQ(steps(1, -1), (std::vector<int>{3}));
}

TEST_F(Frames, NoFramesGivesMinusOne) { EXPECT_EQ(ginc_frame(0), -1); }

TEST_F(Frames, LoopDelayDecrementStopsAtZeroWithMessage)
{
    MESS_set(1, M_out4);
    for (int i = 0; i < 3; i++)
        gcreate_frame(-1);
    const float before = gget_loop_delay();
    ASSERT_FLOAT_EQ(before, 0.5f);
    ginc_loop_delay(-1.0f);
    EXPECT_FLOAT_EQ(gget_loop_delay(), 0.0f);
    EXPECT_FLOAT_EQ(gget_frame_delay(0), 0.0f);
    EXPECT_FLOAT_EQ(gget_frame_delay(1), 0.0f);
    EXPECT_FLOAT_EQ(gget_frame_delay(2), 1.0f) << "the last frame keeps the pause";
    EXPECT_NE(messages().find("Loop delay decremented to: 0.00\n"), std::string::npos)
        << messages();
    ginc_loop_delay(0.25f);
    EXPECT_NE(messages().find("Loop delay incremented to: 0.25\n"), std::string::npos);
    ginc_loop_delay(0.25f);  // leave the module's default as the next test expects it
    EXPECT_FLOAT_EQ(gget_loop_delay(), 0.5f);
}

TEST_F(Frames, SelectDrawCopyAndDisplay)
{
    gcreate_frame(0);
    gcreate_frame(1);
    gselect_frame(1);
    EXPECT_EQ(gget_draw_window(), gget_frame_id(1));
    fill(1, 0, 0, 10, 20, 30, 40);
    gcopy_frame(0, 1);
    gselect_frame(-3);
    EXPECT_EQ(gget_draw_window(), gget_base_window());

    gdisplay_frame(0);
    EXPECT_EQ(gget_cur_frame(), 0);
    auto win = grab(gget_root_window());
    ASSERT_TRUE(win);
    EXPECT_EQ(rgb_at(win.get(), 15, 25), 0xFF0000UL);
    EXPECT_EQ(rgb_at(win.get(), 39, 59), 0xFF0000UL);
    EXPECT_EQ(rgb_at(win.get(), 40, 60), 0x000000UL) << "outside the rectangle: background";
    char extra[32] = "";
    gget_win_title_extra(extra, sizeof extra);
    EXPECT_STREQ(extra, "[0]");

    // Clearing frame 1 does not touch frame 0.
    gclear_frame(1);
    gdisplay_frame(1);
    win = grab(gget_root_window());
    EXPECT_EQ(rgb_at(win.get(), 15, 25), 0x000000UL);
    gdisplay_frame(0);
    win = grab(gget_root_window());
    EXPECT_EQ(rgb_at(win.get(), 15, 25), 0xFF0000UL);
}

TEST_F(Frames, SwitchExchangesPixmapsAndFollowsTheDrawWindow)
{
    gcreate_frame(0);
    gcreate_frame(1);
    const Pixmap a = gget_frame_id(0), b = gget_frame_id(1);
    gselect_frame(0);
    gswitch_frame(0, 1);
    EXPECT_EQ(gget_frame_id(0), b);
    EXPECT_EQ(gget_frame_id(1), a);
    EXPECT_EQ(gget_draw_window(), b);
}

TEST_F(Frames, DeletingTheOnlyFrameKeepsItsPixmapAndClearsTheWindow)
{
    gcreate_frame(0);
    gselect_frame(0);
    fill(0, 1, 0, 0, 0, 50, 50);
    gdisplay_frame(0);
    auto win = grab(gget_root_window());
    ASSERT_EQ(rgb_at(win.get(), 5, 5), 0x00FF00UL);
    const Pixmap kept = gget_frame_id(0);
    EXPECT_EQ(gdelete_frame(0), 1);
    EXPECT_EQ(gget_num_images(), 0);
    EXPECT_EQ(gget_frame_id(0), kept) << "the pixmap stays for the next image";
    win = grab(gget_root_window());
    EXPECT_EQ(rgb_at(win.get(), 5, 5), 0x000000UL);
    // The next frame reuses it, cleared.
    EXPECT_EQ(gcreate_frame(-1), 0);
    EXPECT_EQ(gget_frame_id(0), kept);
    auto img = grab(kept);
    EXPECT_EQ(rgb_at(img.get(), 5, 5), 0x000000UL);
}

TEST_F(Frames, DeletingMovesLaterFramesDownAndGivesTheNewLastThePause)
{
    for (int i = 0; i < 3; i++)
        gcreate_frame(-1);
    const Pixmap p1 = gget_frame_id(1), p2 = gget_frame_id(2);
    EXPECT_EQ(gdelete_frame(0), 1);
    EXPECT_EQ(gget_num_images(), 2);
    EXPECT_EQ(gget_frame_id(0), p1);
    EXPECT_EQ(gget_frame_id(1), p2);
    EXPECT_EQ(gget_frame_id(2), 0u);
    EXPECT_EQ(gdelete_frame(-1), 1);  // the last
    EXPECT_EQ(gget_num_images(), 1);
    EXPECT_FLOAT_EQ(gget_frame_delay(0), 1.0f);
    // A slot beyond the frames in use only loses its pixmap.
    EXPECT_EQ(gdelete_frame(5), 1);
    EXPECT_EQ(gget_num_images(), 1);
    // Numbers above the table are ignored.
    EXPECT_EQ(gdelete_frame(200), 0);
    EXPECT_EQ(gget_num_images(), 1);
}

TEST_F(Frames, The129thFrameIsRefused)
{
    for (int i = 0; i < GKS_MAX_FRAMES; i++)
        ASSERT_EQ(gcreate_frame(-1), i);
    EXPECT_EQ(gget_num_images(), GKS_MAX_FRAMES);
    EXPECT_EQ(gcreate_frame(-1), -1);
    EXPECT_EQ(gcreate_frame(GKS_MAX_FRAMES), -1);
    EXPECT_EQ(gcreate_frame(1000), -1);
    EXPECT_EQ(gget_num_images(), GKS_MAX_FRAMES);
    EXPECT_NE(messages().find("gcreate_frame: no room for frame 128"), std::string::npos)
        << messages();
    EXPECT_FLOAT_EQ(gget_frame_delay(GKS_MAX_FRAMES - 1), 1.0f);
    EXPECT_FLOAT_EQ(gget_frame_delay(GKS_MAX_FRAMES - 2), 0.5f);
    gset_loop_delay(200, 9.0f);  // ignored, no record beyond the table
    EXPECT_EQ(gdelete_all_frames(), 0);
    EXPECT_EQ(gget_num_images(), 0);
    EXPECT_EQ(gget_frame_id(0), 0u);
}

TEST_F(Frames, LoopingSwitchAndMessages)
{
    MESS_set(1, M_out4);
    gset_looping(1);
    EXPECT_EQ(gget_looping(), 1);
    EXPECT_EQ(gget_cursor_type(), 3);
    gtoggle_loop(7);  // any other value toggles
    EXPECT_EQ(gget_looping(), 0);
    EXPECT_EQ(gget_cursor_type(), 4);
    const std::string m = messages();
    EXPECT_NE(m.find("Looping initiated\n"), std::string::npos);
    EXPECT_NE(m.find("Looping stopped\n"), std::string::npos);
}

TEST_F(Frames, SleepWaitsOutTheCurrentFramesDelay)
{
    gcreate_frame(-1);
    gcreate_frame(-1);
    gset_loop_delay(0, 0.3f);
    gdisplay_frame(0);
    ZEM_init_time();
    gloop_sleep();
    EXPECT_GE(ZEM_elapse_time(), 0.29f);
    EXPECT_LT(ZEM_elapse_time(), 1.5f);
}

TEST_F(Frames, SwitchWithTheBasePixmapAndWithNothing)
{
    gcreate_frame(0);
    gcreate_frame(1);
    const Pixmap base = gget_base_window(), one = gget_frame_id(1), zero = gget_frame_id(0);
    gselect_frame(-3);
    ASSERT_EQ(gget_draw_window(), base);
    gswitch_frame(-3, 1);
    EXPECT_EQ(gget_base_window(), one);
    EXPECT_EQ(gget_frame_id(1), base);
    EXPECT_EQ(gget_draw_window(), one) << "the draw window follows the exchange";
    gswitch_frame(1, -3);
    EXPECT_EQ(gget_base_window(), base);
    EXPECT_EQ(gget_frame_id(1), one);
    // No frame shown yet: -2 names no record, and frame 0 keeps its pixmap.
    ASSERT_EQ(gget_cur_frame(), -1);
    gswitch_frame(-2, 0);
    EXPECT_EQ(gget_frame_id(0), zero);
    gswitch_frame(0, 300);
    EXPECT_EQ(gget_frame_id(0), zero);
}

TEST_F(Frames, DeletingTheShownFrameShowsItsSuccessor)
{
    for (int i = 0; i < 3; i++) {
        gcreate_frame(-1);
        gselect_frame(i);
        fill(i == 0 ? 1.0f : 0.0f, i == 1 ? 1.0f : 0.0f, i == 2 ? 1.0f : 0.0f, 0, 0, 20, 20);
    }
    gdisplay_frame(1);
    EXPECT_EQ(gdelete_frame(-2), 1);  // the current one
    EXPECT_EQ(gget_num_images(), 2);
    EXPECT_EQ(gget_cur_frame(), 1);
    auto win = grab(gget_root_window());
    EXPECT_EQ(rgb_at(win.get(), 5, 5), 0x0000FFUL) << "the former frame 2 is shown";
    // Deleting the shown last frame moves the current frame back.
    EXPECT_EQ(gdelete_frame(-1), 1);
    EXPECT_EQ(gget_cur_frame(), 0);
    EXPECT_FLOAT_EQ(gget_frame_delay(0), 1.0f);
}

TEST_F(Frames, SleepNeverWaitsWithoutACurrentFrame)
{
    gcreate_frame(-1);
    gset_loop_delay(0, 5.0f);
    ZEM_init_time();
    gloop_sleep();  // nothing displayed yet
    EXPECT_LT(ZEM_elapse_time(), 0.5f);
}

TEST(FramesClosed, WithoutAWorkstationNothingHappens)
{
    ASSERT_EQ(gchk_graphics(), 0);
    EXPECT_EQ(gcreate_frame(-1), 0);
    EXPECT_EQ(gget_num_images(), 0);
    EXPECT_EQ(gselect_frame(0), 0);
    EXPECT_EQ(gdisplay_frame(0), 0);
    EXPECT_EQ(gdelete_frame(0), 0);
    EXPECT_EQ(gcopy_frame(0, 1), 0);
}

}  // namespace
