// Frames and the animation loop under Xvfb: creation order and delays,
// stepping forward, backward and rocking, exchange and deletion, and the
// loop's wait. (The program suite's driver flows select, copy and clear
// frames, and meet the frame-table limit with more files than frames.)
#include "zem_test.h"

#include "gks_colr.h"
#include "gks_loop.h"
#include "gks_tran.h"
#include "system.h"

namespace {

constexpr unsigned long kRed = 0xFF0000, kBlue = 0x0000FF;

class Frames : public ::testing::Test {
protected:
    zt::MessCapture mess;
    void SetUp() override {
        zt::open_window(160, 120);
        if (IsSkipped() || HasFatalFailure()) return;
        gset_loop_direct(1);
        gset_looping(0);
        MESS_set(1, M_out4);  // the frame and loop reports
        mess.clear();
    }
    void TearDown() override {
        if (gchk_graphics()) gclose_ws(1);
        gclose_gks();
    }
    // Fills the top-left w x h pixels of the draw window with an RGB colour.
    static void fill(float r, float g, float b, unsigned w, unsigned h) {
        XSetForeground(gget_display(), gget_root_gc(), static_cast<unsigned long>(galloc_colr(-1, r, g, b)));
        XFillRectangle(gget_display(), gget_draw_window(), gget_root_gc(), 0, 0, w, h);
    }
    // Frames 0 .. n-1, frame i's top-left 20 x 20 red, green, blue, red...
    static void make_frames(int n) {
        for (int i = 0; i < n; i++) {
            ASSERT_EQ(gcreate_frame(-1), i);
            gselect_frame(i);
            fill(i % 3 == 0, i % 3 == 1, i % 3 == 2, 20, 20);
        }
    }
    static std::vector<float> delays() {
        std::vector<float> d;
        for (int i = 0; i < gget_num_images(); i++) d.push_back(gget_frame_delay(i));
        return d;
    }
};

// Every frame but the last waits the loop delay (0.5 s), the last pauses 1 s.
TEST_F(Frames, FramesInOrderGetLoopDelayThenPause) {
    EXPECT_EQ(ginc_frame(0), -1);  // no frames yet
    EXPECT_EQ(gcreate_frame(-1), 0);
    EXPECT_EQ(delays(), std::vector<float>{1.0f});
    EXPECT_EQ(gcreate_frame(-1), 1);
    EXPECT_EQ(gcreate_frame(-1), 2);
    EXPECT_EQ(delays(), (std::vector<float>{0.5f, 0.5f, 1.0f}));
    ginc_loop_delay(-1.0f);  // down to zero with a message; the last frame keeps the pause
    EXPECT_EQ(delays(), (std::vector<float>{0.0f, 0.0f, 1.0f}));
    ginc_loop_delay(0.25f);
    EXPECT_NE(mess.text().find("Loop delay decremented to: 0.00\nLoop delay incremented to: 0.25\n"),
              std::string::npos)
        << mess.text();
    ginc_loop_delay(0.25f);  // back to the module's default for the next test
}

TEST_F(Frames, StepsForwardBackwardAndRocking) {
    for (int i = 0; i < 4; i++) ASSERT_EQ(gcreate_frame(i), i);
    const struct {
        int direct, n, step;
        std::vector<int> want;
    } cases[] = {
        {1, 6, 0, {0, 1, 2, 3, 0, 1}},
        {0, 5, 0, {0, 3, 2, 1, 0}},           // backwards from frame 1
        {3, 8, 0, {1, 2, 3, 2, 1, 0, 1, 2}},  // rocking, forwards first
        {1, 3, -1, {1, 0, 3}},                // an explicit step wraps
    };
    for (const auto& c : cases) {
        gset_loop_direct(c.direct);
        std::vector<int> seen;
        for (int i = 0; i < c.n; i++) {
            gdisplay_frame(ginc_frame(c.step));
            seen.push_back(gget_cur_frame());
        }
        EXPECT_EQ(seen, c.want) << "direction " << c.direct;
    }
}

TEST_F(Frames, SwitchExchangesPixmapsAndTheDrawWindowFollows) {
    gcreate_frame(0);
    gcreate_frame(1);
    const Pixmap zero = gget_frame_id(0), one = gget_frame_id(1), base = gget_base_window();
    gselect_frame(0);
    gswitch_frame(0, 1);
    EXPECT_EQ(std::vector<Pixmap>({gget_frame_id(0), gget_frame_id(1), gget_draw_window()}),
              std::vector<Pixmap>({one, zero, one}));
    gswitch_frame(0, 1);
    gselect_frame(-3);
    gswitch_frame(-3, 1);  // with the base pixmap
    EXPECT_EQ(std::vector<Pixmap>({gget_base_window(), gget_frame_id(1), gget_draw_window()}),
              std::vector<Pixmap>({one, base, one}));
    gswitch_frame(1, -3);
    gswitch_frame(-2, 0);  // no frame shown yet: -2 names no record
    gswitch_frame(0, 300);  // past the table
    EXPECT_EQ(std::vector<Pixmap>({gget_base_window(), gget_frame_id(0)}), std::vector<Pixmap>({base, zero}));
}

TEST_F(Frames, DeletingFrames) {
    // The only frame keeps its pixmap for the next one, cleared, and the
    // window is cleared.
    make_frames(1);
    gdisplay_frame(0);
    zt::expect_rgb(gget_root_window(), {{5, 5, kRed}});
    const Pixmap kept = gget_frame_id(0);
    EXPECT_EQ(gdelete_frame(0), 1);
    EXPECT_EQ(gget_num_images(), 0);
    zt::expect_rgb(gget_root_window(), {{5, 5, 0}});
    EXPECT_EQ(gcreate_frame(-1), 0);
    EXPECT_EQ(gget_frame_id(0), kept);
    zt::expect_rgb(kept, {{5, 5, 0}});
    gdelete_frame(0);
    // Later frames move down; the new last one gets the pause.
    make_frames(4);
    const Pixmap p2 = gget_frame_id(2), p3 = gget_frame_id(3);
    EXPECT_EQ(gdelete_frame(1), 1);
    EXPECT_EQ(std::vector<Pixmap>({gget_frame_id(1), gget_frame_id(2), gget_frame_id(3)}),
              std::vector<Pixmap>({p2, p3, 0}));
    EXPECT_EQ(gdelete_frame(-1), 1);  // the last
    EXPECT_EQ(delays(), (std::vector<float>{0.5f, 1.0f}));
    EXPECT_EQ(gdelete_frame(5), 1);    // a slot beyond the frames only loses its pixmap
    EXPECT_EQ(gdelete_frame(200), 0);  // past the table: ignored
    EXPECT_EQ(gget_num_images(), 2);
}

TEST_F(Frames, DeletingTheShownFrameShowsItsSuccessor) {
    make_frames(3);
    gdisplay_frame(1);
    EXPECT_EQ(gdelete_frame(-2), 1);  // the current one
    EXPECT_EQ(gget_num_images(), 2);
    EXPECT_EQ(gget_cur_frame(), 1);
    zt::expect_rgb(gget_root_window(), {{5, 5, kBlue}});  // the former frame 2
    EXPECT_EQ(gdelete_frame(-1), 1);  // the shown last one: back to frame 0
    EXPECT_EQ(gget_cur_frame(), 0);
    EXPECT_EQ(delays(), std::vector<float>{1.0f});
}

TEST_F(Frames, LoopingSwitchAndMessages) {
    gset_looping(1);
    gtoggle_loop(7);  // any value but 0 and 1 toggles
    EXPECT_EQ(gget_looping(), 0);
    EXPECT_NE(mess.text().find("Looping initiated\nLooping stopped\n"), std::string::npos) << mess.text();
}

// The wait is the shown frame's own delay; before a frame is shown there is
// nothing to wait for.
TEST_F(Frames, SleepWaitsOutTheCurrentFramesDelay) {
    make_frames(2);
    gset_loop_delay(0, 5.0f);
    ZEM_init_time();
    gloop_sleep();
    EXPECT_LT(ZEM_elapse_time(), 0.5f);
    gset_loop_delay(0, 0.3f);
    gdisplay_frame(0);
    ZEM_init_time();
    gloop_sleep();
    EXPECT_GE(ZEM_elapse_time(), 0.29f);
    EXPECT_LT(ZEM_elapse_time(), 1.5f);
}

}  // namespace
