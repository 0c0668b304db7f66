// Shared pieces of the frame, image-display and plot-session tests that run
// under Xvfb: a connection that keeps the server alive, a window fixture,
// pixel read-back in 0xRRGGBB and message capture.
#ifndef ZEM_TEST_PLOT_X_UTIL_H
#define ZEM_TEST_PLOT_X_UTIL_H

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "gks_colr.h"
#include "gks_tran.h"
#include "gks_x11.h"
#include "mess.h"

namespace plot_test {

// Xvfb regenerates when its last client leaves and then refuses
// connections for a moment; holding one connection keeps it steady while
// tests open and close the workstation.
class KeepServer : public ::testing::Environment {
public:
    void SetUp() override
    {
        if (std::getenv("DISPLAY"))
            keeper_ = XOpenDisplay(nullptr);
    }
    void TearDown() override
    {
        if (keeper_)
            XCloseDisplay(keeper_);
        keeper_ = nullptr;
    }

private:
    Display* keeper_ = nullptr;
};

struct ImageDeleter {
    void operator()(XImage* im) const
    {
        if (im)
            XDestroyImage(im);
    }
};
using ImagePtr = std::unique_ptr<XImage, ImageDeleter>;

// The whole window-size area of a drawable.
inline ImagePtr grab(Drawable d)
{
    int w = 0, h = 0;
    gget_win_size(&w, &h);
    gsync();
    return ImagePtr(XGetImage(gget_display(), d, 0, 0, static_cast<unsigned>(w),
                              static_cast<unsigned>(h), AllPlanes, ZPixmap));
}

// 0xRRGGBB of a pixel value on the TrueColor screen.
inline unsigned long rgb_of(unsigned long p)
{
    auto part = [p](unsigned long mask) {
        unsigned long v = p;
        while (mask && !(mask & 1)) {
            mask >>= 1;
            v >>= 1;
        }
        return v & mask;
    };
    unsigned long r = part(gget_red_mask()), g = part(gget_grn_mask()),
                  b = part(gget_blu_mask());
    return (r << 16) | (g << 8) | b;
}

inline unsigned long rgb_at(XImage* im, int x, int y) { return rgb_of(XGetPixel(im, x, y)); }

inline void set_colour(int ind, float r, float g, float b)
{
    const Gcolr_rep rep{r, g, b};
    ASSERT_EQ(gset_colr_rep(1, ind, &rep), 0);
}

// A fresh 24-bit window of the given size; messages go to a copy file in a
// scratch directory that is also the current directory.
class XWindowTest : public ::testing::Test {
protected:
    int width_ = 320;
    int height_ = 240;
    std::filesystem::path dir_;
    std::filesystem::path old_cwd_;
    std::filesystem::path log_;

    void open_window(int w, int h)
    {
        if (!std::getenv("DISPLAY"))
            GTEST_SKIP() << "no X server (DISPLAY unset)";
        width_ = w;
        height_ = h;
        ASSERT_EQ(gopen_gks(nullptr, 0), 0);
        gset_geometry("");
        gset_xsize(w, h);
        ASSERT_EQ(gopen_ws(1, "", 1), 0);
        ASSERT_EQ(gchk_graphics(), 1);
        int ww = 0, wh = 0;
        gget_win_size(&ww, &wh);
        ASSERT_EQ(ww, w);
        ASSERT_EQ(wh, h);
        ASSERT_EQ(gget_win_depth(), 24) << "the tests expect the 24-bit Xvfb screen";
    }

    void SetUp() override
    {
        old_cwd_ = std::filesystem::current_path();
        char tmpl[] = "/tmp/zem_plot_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        std::filesystem::current_path(dir_);
        log_ = dir_ / "messages.log";
        MESS_reset();
        MESS_set_out(MESS_OUT_LOG_ONLY);
        ASSERT_EQ(MESS_file(log_.c_str(), "w"), 0);
    }

    void TearDown() override
    {
        if (gchk_graphics())
            gclose_ws(1);
        gclose_gks();
        MESS_file_close();
        MESS_reset();
        std::filesystem::current_path(old_cwd_);
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }

    std::string messages() const
    {
        std::ifstream in(log_);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
};

}  // namespace plot_test

#endif
