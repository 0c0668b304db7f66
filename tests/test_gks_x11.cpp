// The X11 workstation under Xvfb: drawing in known colours at known world
// coordinates read back from the backing pixmap and the window, the
// magnifier, the graph set-up layout, and events driven by xdotool.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "flag.h"
#include "gks_colr.h"
#include "gks_evnt.h"
#include "gks_fill.h"
#include "gks_line.h"
#include "gks_loop.h"
#include "gks_mark.h"
#include "gks_text.h"
#include "gks_tool.h"
#include "gks_tran.h"
#include "gks_x11.h"
#include "gks_zoom.h"
#include "mess.h"
#include "resrc.h"

namespace {

// Xvfb regenerates whenever its last client leaves, refusing connections for
// a moment; one connection held for the whole run keeps the server steady
// while the tests open and close the workstation.
class KeepServer : public ::testing::Environment {
public:
    void SetUp() override {
        if (std::getenv("DISPLAY")) keeper_ = XOpenDisplay(nullptr);
    }
    void TearDown() override {
        if (keeper_) XCloseDisplay(keeper_);
        keeper_ = nullptr;
    }

private:
    Display* keeper_ = nullptr;
};
const auto* const kKeepServer = ::testing::AddGlobalTestEnvironment(new KeepServer);

struct ImageDeleter {
    void operator()(XImage* im) const {
        if (im) XDestroyImage(im);
    }
};
using ImagePtr = std::unique_ptr<XImage, ImageDeleter>;

ImagePtr grab(Drawable d) {
    int w = 0, h = 0;
    gget_win_size(&w, &h);
    gsync();
    return ImagePtr(XGetImage(gget_display(), d, 0, 0, static_cast<unsigned>(w), static_cast<unsigned>(h),
                              AllPlanes, ZPixmap));
}

// 0xRRGGBB of a pixel on the 24-bit TrueColor screen that the test runs on.
unsigned long rgb_at(XImage* im, int x, int y) {
    const unsigned long p = XGetPixel(im, x, y);
    auto part = [p](unsigned long mask) {
        int shift = 0;
        while (mask && !(mask & 1)) {
            mask >>= 1;
            ++shift;
        }
        return static_cast<unsigned long>((p >> shift) & mask);
    };
    return (part(gget_red_mask()) << 16) | (part(gget_grn_mask()) << 8) | part(gget_blu_mask());
}

constexpr unsigned long kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kWhite = 0xFFFFFF,
                        kBlack = 0x000000;

void set_colour(int ind, float r, float g, float b) {
    const Gcolr_rep rep{r, g, b};
    ASSERT_EQ(gset_colr_rep(1, ind, &rep), 0);
}

class Window640 : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X server (DISPLAY unset)";
        ASSERT_EQ(gopen_gks(nullptr, 0), 0);
        gset_geometry("");
        gset_xsize(640, 512);
        ASSERT_EQ(gopen_ws(1, "", 1), 0);
        ASSERT_EQ(gchk_graphics(), 1);
        int w = 0, h = 0;
        gget_win_size(&w, &h);
        ASSERT_EQ(w, 640);
        ASSERT_EQ(h, 512);
        ASSERT_EQ(gget_win_depth(), 24) << "the tests expect the 24-bit screen that zem_add_xtest starts";
        set_colour(0, 0, 0, 0);
        set_colour(1, 1, 1, 1);
        set_colour(2, 1, 0, 0);
        set_colour(3, 0, 1, 0);
        set_colour(4, 0, 0, 1);
        // Transform 1: world 0..100 on the whole unit square (511 x 511 px).
        const Glim win{0, 100, 0, 100}, vp{0, 1, 0, 1};
        gset_win(1, &win);
        gset_vp(1, &vp);
        gsel_norm_tran(1);
    }
    void TearDown() override {
        if (gchk_graphics()) gclose_ws(1);
        gclose_gks();
    }
};

// Pixel positions by hand: x = trunc(v * 5.11 + 0.5), y = trunc((100 - v)
// * 5.11 + 0.5) for world v in transform 1.
TEST_F(Window640, LinesFillsAndMarkersLandOnKnownPixels) {
    ASSERT_EQ(gset_line_colr_ind(2), 0);
    const Gpt line[2] = {{10, 50}, {90, 50}};  // y -> 256, x 51 .. 460
    EXPECT_EQ(gpolyline(2, line), 1);
    ASSERT_EQ(gset_fill_colr_ind(3), 0);
    const Gpt box[4] = {{20, 60}, {40, 60}, {40, 80}, {20, 80}};  // x 102..204, y 102..204
    EXPECT_EQ(gfill_area(4, box), 1);
    ASSERT_EQ(gset_marker_colr_ind(4), 0);
    ASSERT_EQ(gset_marker_type(2), 0);
    ASSERT_EQ(gset_marker_size(1.0f), 0);  // 10 px: arms of 5 px
    const Gpt mark{50, 20};                // (256, 409)
    EXPECT_EQ(gpolymarker(1, &mark), 1);

    ImagePtr im = grab(gget_base_window());
    ASSERT_TRUE(im);
    EXPECT_EQ(rgb_at(im.get(), 200, 256), kRed);
    EXPECT_EQ(rgb_at(im.get(), 51, 256), kRed);
    EXPECT_EQ(rgb_at(im.get(), 460, 256), kRed);
    EXPECT_EQ(rgb_at(im.get(), 461, 256), kBlack);
    EXPECT_EQ(rgb_at(im.get(), 200, 250), kBlack);
    EXPECT_EQ(rgb_at(im.get(), 153, 153), kGreen);
    EXPECT_EQ(rgb_at(im.get(), 102, 102), kGreen);  // the outline is painted too
    EXPECT_EQ(rgb_at(im.get(), 204, 204), kGreen);
    EXPECT_EQ(rgb_at(im.get(), 206, 153), kBlack);
    EXPECT_EQ(rgb_at(im.get(), 261, 409), kBlue);
    EXPECT_EQ(rgb_at(im.get(), 251, 409), kBlue);
    EXPECT_EQ(rgb_at(im.get(), 256, 404), kBlue);
    EXPECT_EQ(rgb_at(im.get(), 256, 414), kBlue);
    EXPECT_EQ(rgb_at(im.get(), 259, 412), kBlack);
    EXPECT_EQ(rgb_at(im.get(), 262, 409), kBlack);

    // The window shows the same picture once updated.
    gupdate_window();
    ImagePtr win = grab(gget_root_window());
    ASSERT_TRUE(win);
    EXPECT_EQ(rgb_at(win.get(), 200, 256), kRed);
    EXPECT_EQ(rgb_at(win.get(), 153, 153), kGreen);
    EXPECT_EQ(rgb_at(win.get(), 261, 409), kBlue);
}

TEST_F(Window640, PatternFillFollowsTheBitmap) {
    ASSERT_EQ(gset_fill_colr_ind(2), 0);
    ASSERT_EQ(gset_fill_int_style(GPAT), 0);
    ASSERT_EQ(gset_fill_style_ind(6), 0);
    const Gpt box[4] = {{60, 60}, {80, 60}, {80, 80}, {60, 80}};  // x 307..409, y 102..204
    EXPECT_EQ(gfill_area(4, box), 1);
    ImagePtr im = grab(gget_base_window());
    ASSERT_TRUE(im);
    int checked = 0;
    for (int y = 120; y < 136; ++y)
        for (int x = 330; x < 346; ++x) {
            const unsigned long want = gfill_test(6, x, y) ? kRed : kBlack;
            EXPECT_EQ(rgb_at(im.get(), x, y), want) << "at " << x << "," << y;
            ++checked;
        }
    EXPECT_EQ(checked, 256);
    EXPECT_EQ(gset_fill_style_ind(20), -1);
}

TEST_F(Window640, ViewportClipsAndPrintColoursDrawAsColourOne) {
    // Transform 2: world 0..1 on the right half, lower half of the NDC square.
    const Glim win{0, 1, 0, 1}, vp{0.5f, 1.0f, 0.0f, 0.5f};
    gset_win(2, &win);
    gset_vp(2, &vp);
    gsel_norm_tran(2);
    ASSERT_EQ(gset_line_colr_ind(503), 0);  // a print colour: colour 1 (white) on X11
    const Gpt across[2] = {{-1.0f, 0.5f}, {2.0f, 0.5f}};  // y = (1 - 0.25) * 511 = 383.25
    EXPECT_EQ(gpolyline(2, across), 1);
    ImagePtr im = grab(gget_base_window());
    ASSERT_TRUE(im);
    EXPECT_EQ(rgb_at(im.get(), 400, 383), kWhite);
    EXPECT_EQ(rgb_at(im.get(), 100, 383), kBlack);  // left of the viewport
    EXPECT_EQ(rgb_at(im.get(), 600, 383), kBlack);  // right of 511
    // A polyline wholly left of the window draws nothing and says so.
    const Gpt left[2] = {{-3.0f, 0.2f}, {-2.0f, 0.8f}};
    EXPECT_EQ(gpolyline(2, left), 0);
}

TEST_F(Window640, AttributeErrorsKeepState) {
    EXPECT_EQ(gset_linewidth(-1.0f), -1);
    EXPECT_EQ(gset_linetype(-2), -1);
    EXPECT_EQ(gset_line_colr_ind(300), -1);
    EXPECT_EQ(gset_line_colr_ind(77), -1);  // never given a colour
    EXPECT_EQ(gget_line_colr(), 1);
    EXPECT_EQ(gset_marker_size(-0.5f), -1);
    const Gpt one[1] = {{1, 1}};
    EXPECT_EQ(gpolyline(1, one), -1);
}

TEST_F(Window640, ColourAllocationReusesNearColours) {
    set_colour(7, 0.5f, 0.25f, 0.75f);
    set_colour(9, 0.1f, 0.2f, 0.3f);
    const int before = gget_max_colr();
    const long pix7 = gget_color_ind(7);
    ASSERT_GE(pix7, 0);
    EXPECT_EQ(galloc_colr(-1, 0.505f, 0.25f, 0.75f), pix7);
    EXPECT_EQ(gget_max_colr(), before);
    // A colour far from every entry takes a new index.
    EXPECT_GE(galloc_colr(-1, 0.9f, 0.9f, 0.1f), 0);
    EXPECT_EQ(gget_max_colr(), before + 1);
    EXPECT_EQ(gis_color_near(7, 0.5f, 0.25f, 0.755f, 0), 1);
    EXPECT_EQ(gis_color_near(7, 0.5f, 0.3f, 0.75f, 0), 0);
    EXPECT_EQ(gis_color_near(static_cast<int>(pix7), 0.5f, 0.25f, 0.75f, 1), 1);
    // TrueColor packing: 16-bit components into 8-bit fields.
    EXPECT_EQ(gget_color_rgb_Xval(0xFFFF, 0x8000, 0x0000) & 0xFFFFFF,
              (gget_red_mask() & 0xFF0000) | (0x80ul << 8));
    int r = 0, g = 0, b = 0;
    gget_color_rgb256(7, &r, &g, &b);
    EXPECT_EQ(r, 127);
    EXPECT_EQ(g, 63);
    EXPECT_EQ(b, 191);
    // Redefining the current line colour changes what the next line draws.
    ASSERT_EQ(gset_line_colr_ind(7), 0);
    set_colour(7, 0, 0, 1);
    const Gpt line[2] = {{10, 10}, {90, 10}};
    gpolyline(2, line);
    ImagePtr im = grab(gget_base_window());
    EXPECT_EQ(rgb_at(im.get(), 255, static_cast<int>(90 * 5.11f + 0.5f)), kBlue);
}

TEST_F(Window640, MagnifierReplicatesAndRestores) {
    ASSERT_EQ(gset_line_colr_ind(2), 0);
    gsel_norm_tran(0);
    // One red pixel-wide vertical line at x = trunc(0.25 * 511 + 0.5) = 128.
    const Gpt line[2] = {{0.25f, 0.0f}, {0.25f, 1.0f}};
    gpolyline(2, line);
    gupdate_window();
    // Doubling around (256, 256): region origin (256 - 640/2/2, 256 - 512/2/2)
    // = (96, 128); source column 128 lands on output columns 64 and 65.
    EXPECT_EQ(gzoom(-1, 256, 256, -2, 0), 1);
    EXPECT_EQ(gget_zoom(), 2);
    ImagePtr im = grab(gget_base_window());
    EXPECT_EQ(rgb_at(im.get(), 63, 300), kBlack);
    EXPECT_EQ(rgb_at(im.get(), 64, 300), kRed);
    EXPECT_EQ(rgb_at(im.get(), 65, 300), kRed);
    EXPECT_EQ(rgb_at(im.get(), 66, 300), kBlack);
    EXPECT_FLOAT_EQ(xZ_p(64.0f), 128.0f);
    EXPECT_FLOAT_EQ(yZ_p(0.0f), 128.0f);
    EXPECT_EQ(gunzoom(), 1);
    EXPECT_EQ(gget_zoom(), 1);
    im = grab(gget_base_window());
    EXPECT_EQ(rgb_at(im.get(), 128, 300), kRed);
    EXPECT_EQ(rgb_at(im.get(), 64, 300), kBlack);
    EXPECT_FLOAT_EQ(xZ_p(64.0f), 64.0f);
}

// The panel with zero margins and ratio 2 on 640 x 512: xvp = 1, yvp =
// 511/639; the 2:1 rectangle is 1 x 0.5 centred vertically.
TEST_F(Window640, PanelLayout) {
    Gint id = 1;
    Gws_type type = 1;
    GPH_set_view_size(1, 1, 0, 0);
    RES_put("device", "d");
    GPH_begin(&id, nullptr, &type);  // reuses the open workstation
    Glim lim{0, 0, 0, 0};
    GPH_reset(&id, &type, 2.0f, &lim);
    const float yvp = 511.0f / 639.0f;
    EXPECT_FLOAT_EQ(GPH_get_vert_win_size(), yvp);
    EXPECT_FLOAT_EQ(lim.x_min, 0.0f);
    EXPECT_FLOAT_EQ(lim.x_max, 1.0f);
    EXPECT_NEAR(lim.y_min, yvp / 2 - 0.25f, 1e-6);
    EXPECT_NEAR(lim.y_max, yvp / 2 + 0.25f, 1e-6);
    Glim v2{};
    GPH_get_view(2, &v2);
    EXPECT_FLOAT_EQ(v2.y_max, lim.y_max);
    // Ratio 0: the sub-view's own shape, i.e. the whole view.
    Glim full{0, 0, 0, 0};
    GPH_panel(&id, &type, 0.0f, &full);
    EXPECT_NEAR(full.x_max, 1.0f, 1e-6);
    EXPECT_NEAR(full.y_max, yvp, 1e-6);
    // Margins of 10 % left and right on a half-width sub-view.
    GPH_set_view_size(0.5f, 1, 0.5f, 0);
    Glim m{0.1f, 0.1f, 0, 0};
    GPH_panel(&id, &type, 0.0f, &m);
    EXPECT_NEAR(m.x_min, 0.55f, 1e-6);
    EXPECT_NEAR(m.x_max, 0.95f, 1e-6);
    Glim vs{};
    GPH_get_view_size(&vs);
    EXPECT_NEAR(vs.x_min, 0.5f, 1e-6);
    GPH_set_view_size(1, 1, 0, 0);
    // Text attributes: a height of -9999 takes the scale itself.
    Gattribs a{-9999, -9999.0f, -9999.0f, -9999.0f, -9999, -9999, -9999};
    EXPECT_EQ(GPH_text_attr(&a, 0.03f), 0);
    EXPECT_EQ(GPH_text_attr(nullptr, 1.0f), -1);
}

// Exposures: one copy per run of exposures, a new run after another event.
TEST_F(Window640, ExposureRunsCopyOnce) {
    gcheck_event();
    XEvent ev{};
    ev.type = Expose;
    ev.xexpose.window = gget_root_window();
    const int before = gget_expose_copies();
    gprocess_x11_event(&ev);
    gprocess_x11_event(&ev);
    EXPECT_EQ(gget_expose_copies(), before + 1);
    XEvent other{};
    other.type = FocusIn;
    gprocess_x11_event(&other);
    gprocess_x11_event(&ev);
    EXPECT_EQ(gget_expose_copies(), before + 2);
    // A configure event that keeps the size: no resize callback.
    static int calls = 0;
    calls = 0;
    gset_mouse_callback([](int, char*, float, float) { ++calls; });
    XEvent cfg{};
    cfg.type = ConfigureNotify;
    cfg.xconfigure.window = gget_root_window();
    cfg.xconfigure.width = 640;
    cfg.xconfigure.height = 512;
    gprocess_x11_event(&cfg);
    EXPECT_EQ(calls, 0);
    // A finish message from an owner program ends the hold.
    gset_input_mode(1);
    XEvent cm{};
    cm.type = ClientMessage;
    cm.xclient.format = 8;
    cm.xclient.data.b[0] = 9;
    gprocess_x11_event(&cm);
    EXPECT_EQ(gget_input_mode(), 0);
    gset_mouse_callback(nullptr);
}

// Marker strokes in device pixels around (256, 256) = world (50.1, 49.9)
// rounded; size 1.0 gives a half size of 5 pixels.
// After a re-initialisation (the resize path) the attribute state is back
// at colour index 1; since setting index 1 again is a no-op, the contexts
// themselves must already draw in index 1's colour (red here), not in the
// screen's white.
TEST_F(Window640, ReinitialisedContextsDrawInTheirColourIndex) {
    set_colour(1, 1, 0, 0);
    ASSERT_EQ(ginit_plot(1), 0);  // transforms back to the unit square, tran 0
    ASSERT_EQ(gset_line_colr_ind(1), 0);
    const Gpt line[2] = {{0.1f, 0.5f}, {0.9f, 0.5f}};  // y = trunc(0.5 * 511 + 0.5) = 256
    ASSERT_EQ(gpolyline(2, line), 1);
    const Gpt box[4] = {{0.1f, 0.1f}, {0.3f, 0.1f}, {0.3f, 0.3f}, {0.1f, 0.3f}};  // x, y 51..153 / 358..460
    ASSERT_EQ(gfill_area(4, box), 1);
    ASSERT_EQ(gset_marker_type(2), 0);
    ASSERT_EQ(gset_marker_size(1.0f), 0);
    const Gpt mark{0.8f, 0.8f};  // (409, 102)
    ASSERT_EQ(gpolymarker(1, &mark), 1);
    ImagePtr im = grab(gget_base_window());
    ASSERT_TRUE(im);
    EXPECT_EQ(rgb_at(im.get(), 200, 256), kRed);
    EXPECT_EQ(rgb_at(im.get(), 100, 400), kRed);
    EXPECT_EQ(rgb_at(im.get(), 412, 102), kRed);
}

// Sizes from attribute strings can be absurd: a marker of size 1e9 and a
// line width of 1e10 are kept to the 16-bit pixel range instead of
// overflowing the int conversion (the plus then spans the whole clip
// region, the line covers it).
TEST_F(Window640, HugeMarkerAndLineWidthStayInRange) {
    gsel_norm_tran(0);
    const Gpt at{256.0f / 511.0f, 1.0f - 256.0f / 511.0f};  // pixel (256, 256)
    ASSERT_EQ(gset_marker_colr_ind(2), 0);
    ASSERT_EQ(gset_marker_type(2), 0);
    ASSERT_EQ(gset_marker_size(1.0e9f), 0);
    ASSERT_EQ(gpolymarker(1, &at), 1);
    ImagePtr im = grab(gget_base_window());
    EXPECT_EQ(rgb_at(im.get(), 5, 256), kRed);
    EXPECT_EQ(rgb_at(im.get(), 505, 256), kRed);
    EXPECT_EQ(rgb_at(im.get(), 256, 5), kRed);
    EXPECT_EQ(rgb_at(im.get(), 100, 100), kBlack);
    gclear_ws(1, GALWAYS);
    ASSERT_EQ(gset_line_colr_ind(3), 0);
    ASSERT_EQ(gset_linewidth(1.0e10f), 0);
    const Gpt line[2] = {{0.2f, 0.5f}, {0.8f, 0.5f}};
    ASSERT_EQ(gpolyline(2, line), 1);
    im = grab(gget_base_window());
    EXPECT_EQ(rgb_at(im.get(), 256, 10), kGreen);   // far above the line's centre
    EXPECT_EQ(rgb_at(im.get(), 256, 500), kGreen);
    EXPECT_EQ(rgb_at(im.get(), 600, 256), kBlack);  // outside the clip region
}

TEST_F(Window640, MarkerShapesAndDropShadow) {
    gsel_norm_tran(0);
    const Gpt at{256.0f / 511.0f, 1.0f - 256.0f / 511.0f};
    ASSERT_EQ(gset_marker_colr_ind(2), 0);
    ASSERT_EQ(gset_marker_size(1.0f), 0);
    ASSERT_EQ(gset_marker_type(6), 0);  // square
    gpolymarker(1, &at);
    ImagePtr im = grab(gget_base_window());
    EXPECT_EQ(rgb_at(im.get(), 256, 261), kRed);
    EXPECT_EQ(rgb_at(im.get(), 251, 256), kRed);
    EXPECT_EQ(rgb_at(im.get(), 261, 251), kRed);
    EXPECT_EQ(rgb_at(im.get(), 256, 256), kBlack);
    gclear_ws(1, GALWAYS);
    // Triangle (type 7): base at y + h, apex at y - h, so it points up on
    // the screen whose y runs down.
    gset_marker_type(7);
    gpolymarker(1, &at);
    im = grab(gget_base_window());
    EXPECT_EQ(rgb_at(im.get(), 256, 261), kRed);
    EXPECT_EQ(rgb_at(im.get(), 256, 251), kRed);
    EXPECT_EQ(rgb_at(im.get(), 256, 256), kBlack);
    gclear_ws(1, GALWAYS);
    // An unknown marker type draws nothing.
    gset_marker_type(12);
    EXPECT_EQ(gpolymarker(1, &at), 1);
    im = grab(gget_base_window());
    int lit = 0;
    for (int y = 246; y <= 266; ++y)
        for (int x = 246; x <= 266; ++x) lit += rgb_at(im.get(), x, y) != kBlack;
    EXPECT_EQ(lit, 0);
    // Drop shadow 2 over a green area: black copies at +0 and +1 under the
    // red plus, so the pixel beyond the right arm's end at (262, 257) is black.
    gset_fill_colr_ind(3);
    const Gpt box[4] = {{0.3f, 0.3f}, {0.7f, 0.3f}, {0.7f, 0.7f}, {0.3f, 0.7f}};
    gfill_area(4, box);
    gset_font_drop(2);
    gset_marker_type(2);
    gpolymarker(1, &at);
    gset_font_drop(0);
    im = grab(gget_base_window());
    EXPECT_EQ(rgb_at(im.get(), 261, 256), kRed);
    EXPECT_EQ(rgb_at(im.get(), 262, 257), kBlack);
    EXPECT_EQ(rgb_at(im.get(), 262, 256), kGreen);
    EXPECT_EQ(rgb_at(im.get(), 270, 270), kGreen);
}

TEST_F(Window640, ClearRegionPaintsTheBackground) {
    gset_fill_colr_ind(3);
    const Gpt box[4] = {{10, 10}, {90, 10}, {90, 90}, {10, 90}};
    gfill_area(4, box);
    const Glim hole{40, 60, 40, 60};  // pixels 204 .. 307
    EXPECT_EQ(gclear_region(&hole), 0);
    ImagePtr im = grab(gget_base_window());
    EXPECT_EQ(rgb_at(im.get(), 255, 255), kBlack);
    EXPECT_EQ(rgb_at(im.get(), 204, 204), kBlack);
    EXPECT_EQ(rgb_at(im.get(), 307, 307), kBlack);
    EXPECT_EQ(rgb_at(im.get(), 200, 255), kGreen);
    EXPECT_EQ(rgb_at(im.get(), 310, 255), kGreen);
    // The device viewport of the whole unit square: 0, 0, 512 x 512.
    Grectangle r{-1, -1, -1, -1};
    gget_gviewport(&r);
    EXPECT_EQ(r.x, 0);
    EXPECT_EQ(r.y, 0);
    EXPECT_EQ(r.width, 512);
    EXPECT_EQ(r.height, 512);
}

// Rubber band from synthesized pointer events: drawn with exclusive-or on
// the window only, erased at the release, the end point clamped to limits.
TEST_F(Window640, RubberBandIsDrawnOnTheWindowAndErased) {
    gsel_norm_tran(0);
    gupdate_window();
    static std::vector<std::string> texts;
    static float end_x = 0.0f;
    texts.clear();
    gset_mouse_callback([](int, char* t, float x, float) {
        texts.emplace_back(t);
        if (std::string(t) == "B1-P") gset_rubber_band(2);
        if (std::string(t) == "B1-R") end_x = x;
    });
    gset_input_mode(1);
    XEvent ev{};
    ev.type = ButtonPress;
    ev.xbutton.window = gget_root_window();
    ev.xbutton.button = 1;
    ev.xbutton.x = 100;
    ev.xbutton.y = 100;
    gprocess_x11_event(&ev);
    XEvent mv{};
    mv.type = MotionNotify;
    mv.xmotion.window = gget_root_window();
    mv.xmotion.x = 200;
    mv.xmotion.y = 150;
    gprocess_x11_event(&mv);
    ImagePtr win = grab(gget_root_window());
    ImagePtr base = grab(gget_base_window());
    EXPECT_EQ(rgb_at(win.get(), 150, 100), kWhite);  // top edge, colour 1 xor black
    EXPECT_EQ(rgb_at(win.get(), 200, 125), kWhite);  // right edge
    EXPECT_EQ(rgb_at(win.get(), 150, 125), kBlack);  // inside
    EXPECT_EQ(rgb_at(base.get(), 150, 100), kBlack); // the picture itself is untouched
    // Limit the band to world x 0 .. 0.25 (pixels 0 .. 128) and release at 200.
    const Gpt lim[2] = {{0.0f, 0.0f}, {0.25f, 1.0f}};
    gset_rubber_band_limits(lim);
    ev.type = ButtonRelease;
    ev.xbutton.x = 200;
    ev.xbutton.y = 150;
    gprocess_x11_event(&ev);
    win = grab(gget_root_window());
    EXPECT_EQ(rgb_at(win.get(), 150, 100), kBlack);
    EXPECT_EQ(rgb_at(win.get(), 200, 125), kBlack);
    EXPECT_EQ(gget_line_gc_func(), GXcopy);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0], "B1-P");
    EXPECT_EQ(texts[1], "B1-R");
    // trunc(0.25 * 511 + 0.5) = 128 -> world 128 / 511.
    EXPECT_NEAR(end_x, 128.0f / 511.0f, 1e-5);
    gset_rubber_band_limits(nullptr);
    gset_mouse_callback(nullptr);
}

TEST_F(Window640, TitleAndExtra) {
    gset_win_title("Sat_image");
    char* name = nullptr;
    ASSERT_TRUE(XFetchName(gget_display(), gget_root_window(), &name));
    EXPECT_STREQ(name, "Sat image");  // underscores shown as spaces
    XFree(name);
    gset_win_title_extra("[3]");
    char extra[32];
    gget_win_title_extra(extra, sizeof extra);
    EXPECT_STREQ(extra, "[3]");
    gset_win_title_extra("");
    gget_win_title_extra(extra, sizeof extra);
    EXPECT_STREQ(extra, "");
    EXPECT_EQ(gset_cursor(6), 8);  // the busy cursor was left by the open
    EXPECT_EQ(gget_cursor_type(), 6);
}

// A geometry of -10-10 on the 1280 x 1024 screen: (1280-640-10, 1024-512-10).
TEST(Geometry, NegativeOffsetsCountFromTheFarEdges) {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X server (DISPLAY unset)";
    ASSERT_EQ(gopen_gks(nullptr, 0), 0);
    gset_xsize(640, 512);
    gset_geometry("-10-10");
    ASSERT_EQ(gopen_ws(1, "", 1), 0);
    Display* dpy = gget_display();
    ASSERT_EQ(DisplayWidth(dpy, gget_screen()), 1280);
    XWindowAttributes wa{};
    ASSERT_TRUE(XGetWindowAttributes(dpy, gget_root_window(), &wa));
    EXPECT_EQ(wa.x, 630);
    EXPECT_EQ(wa.y, 502);
    EXPECT_EQ(wa.width, 640);
    gclose_ws(1);
    gset_geometry("320x200+5+6");
    ASSERT_EQ(gopen_ws(1, "", 1), 0);
    ASSERT_TRUE(XGetWindowAttributes(gget_display(), gget_root_window(), &wa));
    EXPECT_EQ(wa.x, 5);
    EXPECT_EQ(wa.y, 6);
    EXPECT_EQ(gget_window_width(), 320);
    EXPECT_EQ(gget_window_height(), 200);
    gclose_ws(1);
    gset_geometry("");
    gset_xsize(640, 512);
    gclose_gks();
}

// An owner program's window and pixmap, named through the environment.
class Existing : public ::testing::Test {
protected:
    Display* owner = nullptr;
    Window win = 0;
    Pixmap pix = 0;
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X server (DISPLAY unset)";
        owner = XOpenDisplay(nullptr);
        ASSERT_NE(owner, nullptr);
        const int scr = DefaultScreen(owner);
        win = XCreateSimpleWindow(owner, RootWindow(owner, scr), 0, 0, 300, 200, 0, 0, 0);
        XStoreName(owner, win, "Owner [2]");
        pix = XCreatePixmap(owner, win, 300, 200, static_cast<unsigned>(DefaultDepth(owner, scr)));
        GC gc = XCreateGC(owner, pix, 0, nullptr);
        XSetForeground(owner, gc, 0x123456);
        XFillRectangle(owner, pix, gc, 0, 0, 300, 200);
        XFreeGC(owner, gc);
        XSync(owner, False);
        ASSERT_EQ(gopen_gks(nullptr, 0), 0);
    }
    void TearDown() override {
        if (gchk_graphics()) gclose_ws(1);
        gclose_gks();
        unsetenv("zemwindow");
        if (owner) {
            XFreePixmap(owner, pix);
            XDestroyWindow(owner, win);
            XCloseDisplay(owner);
        }
    }
    unsigned long owner_pixel(int x, int y) {
        XImage* im = XGetImage(owner, pix, x, y, 1, 1, AllPlanes, ZPixmap);
        const unsigned long p = im ? XGetPixel(im, 0, 0) & 0xFFFFFF : 0xDEAD;
        if (im) XDestroyImage(im);
        return p;
    }
};

TEST_F(Existing, DrawsIntoTheOwnersPixmap) {
    const std::string param = "+" + std::to_string(win) + ":" + std::to_string(pix) + ":300x200";
    setenv("zemwindow", param.c_str(), 1);
    ASSERT_EQ(gopen_ws(1, "", 6), 0);
    EXPECT_EQ(gtype_is_PIX(), 1);
    EXPECT_EQ(gtype_is_WIN_PIX(), 1);
    EXPECT_STREQ(gget_win_title(), "Owner");
    EXPECT_EQ(gget_window_width(), 300);
    // The picture is kept (no clearing without pix mode 1).
    gsync();
    EXPECT_EQ(owner_pixel(10, 10), 0x123456u);
    set_colour(2, 1, 0, 0);
    gset_line_colr_ind(2);
    // 300 x 200: square window -> 199 x 199 px; NDC y 0.5 -> pixel 99.5 + 0.5.
    const Gpt line[2] = {{0.0f, 0.5f}, {1.0f, 0.5f}};
    EXPECT_EQ(gpolyline(2, line), 1);
    gsync();
    EXPECT_EQ(owner_pixel(50, 100), kRed);
    EXPECT_EQ(owner_pixel(50, 90), 0x123456u);
    gclose_ws(1);
}

TEST_F(Existing, WindowIdFileAlongTheFilePath) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("gks_win_" + std::to_string(getpid()));
    fs::create_directories(dir);
    {
        FILE* f = std::fopen((dir / "zemloop.3").c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fprintf(f, "0x%lx:300x200\n", static_cast<unsigned long>(pix));
        std::fclose(f);
    }
    RES_put("file_path", dir.c_str());
    setenv("zemwindow", "w3", 1);
    EXPECT_EQ(gopen_ws(1, "", 6), 0);
    EXPECT_EQ(gget_base_window(), pix);
    gclose_ws(1);
    setenv("zemwindow", "w4", 1);  // no such file
    EXPECT_EQ(gopen_ws(1, "", 6), -1);
    setenv("zemwindow", "0:300x200", 1);  // a zero id
    EXPECT_EQ(gopen_ws(1, "", 6), -1);
    unsetenv("zemwindow");
    unsetenv("WINDOW");
    EXPECT_EQ(gopen_ws(1, "", 6), -1);
    EXPECT_EQ(gchk_graphics(), 0);
    fs::remove_all(dir);
}

struct Seen {
    int kind;
    std::string text;
    float x, y;
};
std::vector<Seen> g_seen;
void record(int kind, char* text, float x, float y) { g_seen.push_back(Seen{kind, text ? text : "", x, y}); }

bool have_xdotool() { return std::system("command -v xdotool > /dev/null 2>&1") == 0; }

// Runs xdotool in the background after a short delay, so that the hold
// loop is already waiting when the input arrives.
void drive(const std::string& actions) {
    const std::string cmd = "(sleep 0.5; " + actions + ") > /dev/null 2>&1 &";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
}

bool has_text(const std::string& t) {
    for (const Seen& s : g_seen)
        if (s.text == t) return true;
    return false;
}

class Events : public Window640 {
protected:
    void SetUp() override {
        Window640::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        if (!have_xdotool()) GTEST_SKIP() << "xdotool not installed";
        g_seen.clear();
        gset_mouse_callback(record);
        gsel_norm_tran(0);
        alarm(60);  // a hold that never ends fails the run instead of hanging
    }
    void TearDown() override {
        alarm(0);
        gset_mouse_callback(nullptr);
        Window640::TearDown();
    }
    std::string wid() const { return std::to_string(gget_root_window()); }
};

TEST_F(Events, ButtonsAndKeysReachTheCallbackUntilReturn) {
    const std::string w = wid();
    drive("xdotool mousemove --window " + w + " 100 100 click 1 sleep 0.2 keydown shift click 1 keyup shift "
          "sleep 0.2 keydown alt click 3 keyup alt sleep 0.2 keydown ctrl click 2 keyup ctrl sleep 0.2 "
          "key alt+u key alt+v key alt+r sleep 0.2 key Return");
    ASSERT_EQ(ghold(1), 0);
    for (const char* t : {"B1-P", "B1-R", "B1-P-Shft", "B1-R-Shft", "B3-P-Alt", "B3-R-Alt", "B2-P-Cntrl",
                          "B2-R-Cntrl", "u-Alt", "v-Alt", "r-Alt", "Ret"}) {
        EXPECT_TRUE(has_text(t)) << "missing event text " << t;
    }
    if (HasFailure())
        for (const Seen& s : g_seen) std::fprintf(stderr, "seen: %d %s\n", s.kind, s.text.c_str());
    ASSERT_FALSE(g_seen.empty());
    EXPECT_EQ(g_seen.back().text, "Ret");
    EXPECT_EQ(g_seen.back().kind, 2);
    // Pointer (100, 100) in transform 0 on 511 px: x = 100/511, y = 1 - 100/511.
    EXPECT_EQ(g_seen.front().kind, 3);
    EXPECT_NEAR(g_seen.front().x, 100.0f / 511.0f, 1e-4);
    EXPECT_NEAR(g_seen.front().y, 1.0f - 100.0f / 511.0f, 1e-4);
}

TEST_F(Events, AltQEndsTheHoldAndResizeSaysSize) {
    const std::string w = wid();
    drive("xdotool windowsize " + w + " 500 400 sleep 0.5 mousemove --window " + w + " 50 50 key alt+q");
    ASSERT_EQ(ghold(1), 0);
    bool size_seen = false;
    for (const Seen& s : g_seen) {
        if (s.text == "size") {
            size_seen = true;
            EXPECT_EQ(s.kind, 2);
            EXPECT_FLOAT_EQ(s.x, 500.0f);
            EXPECT_FLOAT_EQ(s.y, 400.0f);
        }
    }
    EXPECT_TRUE(size_seen);
    EXPECT_TRUE(has_text("q-Alt"));
    EXPECT_EQ(gget_window_width(), 500);
    EXPECT_EQ(gget_window_height(), 400);
}

TEST_F(Events, RefreshTimerRunsDuringTheHold) {
    static int refreshed = 0;
    refreshed = 0;
    gset_refresh_callback(1, [] { ++refreshed; });
    drive("sleep 2.3; xdotool mousemove --window " + wid() + " 10 10 key Return");
    ASSERT_EQ(ghold(1), 0);
    gset_refresh_callback(0, nullptr);
    EXPECT_GE(refreshed, 2);
    EXPECT_LE(refreshed, 4);
}

TEST_F(Events, AltXDumpsAnXwdNamedAfterTheTitle) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("gks_dump_" + std::to_string(getpid()));
    fs::create_directories(dir);
    RES_put("image_path", dir.c_str());
    gset_win_title("Sat image");
    gset_line_colr_ind(2);
    const Gpt line[2] = {{0.1f, 0.5f}, {0.9f, 0.5f}};
    gpolyline(2, line);
    gupdate_window();
    const fs::path log = dir / "messages.txt";
    ASSERT_EQ(MESS_file(log.c_str(), "w"), 0);
    drive("xdotool mousemove --window " + wid() + " 20 20 key alt+x sleep 0.5 key Return");
    ASSERT_EQ(ghold(1), 0);
    MESS_file_close();
    std::string text;
    if (FILE* f = std::fopen(log.c_str(), "r")) {
        char buf[512];
        while (std::fgets(buf, sizeof buf, f)) text += buf;
        std::fclose(f);
    }
    const fs::path file = dir / "Sat_i.xwd";
    // The dump goes through the image writers; the kernel's part is the
    // file name and the report of the result.
    const bool created = text.find("Created XWD file: " + file.string() + "\n") != std::string::npos;
    const bool failed =
        text.find("gprocess_x11_event: Unable to write XWD file: " + file.string() + "\n") != std::string::npos;
    EXPECT_TRUE(created || failed) << text;
    EXPECT_EQ(created, fs::exists(file));
    if (created) {
        // ImageMagick must read it back at the window size.
        const std::string cmd = "identify -format '%w %h' " + file.string() + " 2>/dev/null";
        FILE* p = popen(cmd.c_str(), "r");
        char buf[64] = "";
        if (p) {
            if (!fgets(buf, sizeof buf, p)) buf[0] = '\0';
            pclose(p);
        }
        EXPECT_STREQ(buf, "640 512");
    }
    fs::remove_all(dir);
}

// The whole set-up path from the "device" resource and flag 2, then the end.
TEST(Setup, OpensFromTheDeviceResourceAndEnds) {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X server (DISPLAY unset)";
    RES_put("device", "display");
    RES_put("title", "Kernel_setup");
    FLAG_set(FLAG_WS_TYPE, 1);
    gset_xsize(640, 512);
    Gint id = 0;
    Gws_type type = 0;
    Glim lim{0.0f, 0.0f, 0.0f, 0.0f};
    GPH_set_view_size(1, 1, 0, 0);
    ASSERT_EQ(GPH_setup(&id, &type, 0.0f, &lim), 0);
    EXPECT_EQ(id, 1);
    EXPECT_EQ(type, 1);
    EXPECT_EQ(gchk_graphics(), 1);
    EXPECT_STREQ(gget_win_title(), "Kernel_setup");
    EXPECT_NEAR(lim.x_max, 1.0f, 1e-6);
    EXPECT_NEAR(lim.y_max, 511.0f / 639.0f, 1e-6);
    Glim w1{};
    GPH_get_win(1, &w1);
    EXPECT_NEAR(w1.y_max, 511.0f / 639.0f, 1e-6);
    // The drawing area of transform 1 reaches the bottom-right pixel.
    GPH_trans(1);
    EXPECT_NEAR(xW_p(1.0f), 639.0f, 1e-3);
    EXPECT_NEAR(yW_p(0.0f), 511.0f, 1e-3);
    FLAG_set(FLAG_WS_TYPE, 5);  // changed meanwhile; GPH_end puts the original back
    GPH_end(id);
    EXPECT_EQ(gchk_graphics(), 0);
    EXPECT_EQ(FLAG_get(FLAG_WS_TYPE), 1);
}

// Frames registered by the animation module: the hold loop steps through
// them and the window ends up showing the frame that is current.
TEST_F(Events, HoldLoopAnimatesFrames) {
    const unsigned long colours[3] = {kRed, kGreen, kBlue};
    for (int i = 0; i < 3; ++i) {
        const int n = gcreate_frame(-1);
        ASSERT_EQ(n, i);
        gselect_frame(n);
        gset_fill_colr_ind(2 + i);
        const Gpt box[4] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
        gfill_area(4, box);
        gdisplay_frame(n);
    }
    ASSERT_EQ(gget_num_images(), 3);
    // Start at frame 0; frames 0 and 1 are shown for 0.05 s, the last one
    // pauses 2 s, so after 0.7 s the loop must be resting on frame 2.
    gdisplay_frame(0);
    ASSERT_EQ(gget_cur_frame(), 0);
    gset_loop_delay(-4, 0.05f);
    gset_loop_delay(-1, 2.0f);
    gset_looping(1);
    drive("sleep 0.7; xdotool mousemove --window " + wid() + " 600 500 key Return");
    ASSERT_EQ(ghold(1), 0);
    EXPECT_EQ(gget_cur_frame(), 2);
    ImagePtr win = grab(gget_root_window());
    EXPECT_EQ(rgb_at(win.get(), 100, 100), colours[2]);
    char extra[16];
    gget_win_title_extra(extra, sizeof extra);
    EXPECT_STREQ(extra, "[2]");
    gset_looping(0);
}

}  // namespace
