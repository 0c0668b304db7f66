// The X11 workstation under Xvfb: drawing in known colours at known world
// coordinates read back from the backing pixmap and the window, the
// magnifier, panel margins, an owner program's window, and events driven by
// synthetic events and by xdotool. (Pattern fills are compared with the
// raster picture's in test_gks_rast.)
#include "zem_test.h"

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
#include "gks_zoom.h"

namespace {

using Ints = std::vector<std::int64_t>;  // for comparing several fields at once

constexpr unsigned long kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kWhite = 0xFFFFFF, kBlack = 0;

void set_colour(int ind, float r, float g, float b) {
    const Gcolr_rep rep{r, g, b};
    ASSERT_EQ(gset_colr_rep(1, ind, &rep), 0);
}

// Pixel positions in transform 1 by hand: x = trunc(v * 5.11 + 0.5) and
// y = trunc((100 - v) * 5.11 + 0.5) for world v (0..100 on 511 px).
class Window640 : public ::testing::Test {
protected:
    void SetUp() override {
        zt::open_window(640, 512);
        if (IsSkipped() || HasFatalFailure()) return;
        // Colours 0-4: black, white, red, green, blue.
        const float rgb[5][3] = {{0, 0, 0}, {1, 1, 1}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
        for (int i = 0; i < 5; ++i) set_colour(i, rgb[i][0], rgb[i][1], rgb[i][2]);
        const Glim win{0, 100, 0, 100}, vp{0, 1, 0, 1};
        gset_win(1, &win);
        gset_vp(1, &vp);
        gsel_norm_tran(1);
    }
    void TearDown() override {
        gset_mouse_callback(nullptr);
        if (gchk_graphics()) gclose_ws(1);
        gclose_gks();
    }
    static void box(float x0, float y0, float x1, float y1) {
        const Gpt b[4] = {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
        EXPECT_EQ(gfill_area(4, b), 1);
    }
    static void mark(int type, float size, Gpt at) {
        ASSERT_EQ(gset_marker_type(type), 0);
        ASSERT_EQ(gset_marker_size(size), 0);
        EXPECT_EQ(gpolymarker(1, &at), 1);
    }
};

// Pixel (256, 256) in transform 0.
constexpr Gpt kCentre{256.0f / 511.0f, 1.0f - 256.0f / 511.0f};

// Handles a synthetic pointer, exposure or focus event on the window as if
// the server had sent it (button and motion events share their layout).
void handle(int type, int x = 0, int y = 0, unsigned button = 0) {
    XEvent ev{};
    ev.type = type;
    ev.xbutton.window = gget_root_window();
    ev.xbutton.x = x;
    ev.xbutton.y = y;
    ev.xbutton.button = button;
    gprocess_x11_event(&ev);
}

TEST_F(Window640, LinesFillsAndMarkersLandOnKnownPixels) {
    ASSERT_EQ(gset_line_colr_ind(2), 0);
    const Gpt line[2] = {{10, 50}, {90, 50}};  // y 256, x 51 .. 460
    EXPECT_EQ(gpolyline(2, line), 1);
    ASSERT_EQ(gset_fill_colr_ind(3), 0);
    box(20, 60, 40, 80);  // x and y 102 .. 204, outline included
    ASSERT_EQ(gset_marker_colr_ind(4), 0);
    mark(2, 1.0f, {50, 20});  // plus of 10 px at (256, 409)
    zt::expect_rgb(gget_base_window(),
                   {{200, 256, kRed}, {51, 256, kRed}, {460, 256, kRed}, {461, 256, kBlack}, {200, 250, kBlack},
                    {153, 153, kGreen}, {102, 102, kGreen}, {204, 204, kGreen}, {206, 153, kBlack},
                    {261, 409, kBlue}, {251, 409, kBlue}, {256, 404, kBlue}, {256, 414, kBlue},
                    {259, 412, kBlack}, {262, 409, kBlack}});
}

TEST_F(Window640, ViewportClipsAndPrintColoursDrawAsColourOne) {
    // World 0..1 on the right half, lower half of the NDC square.
    const Glim win{0, 1, 0, 1}, vp{0.5f, 1.0f, 0.0f, 0.5f};
    gset_win(2, &win);
    gset_vp(2, &vp);
    gsel_norm_tran(2);
    ASSERT_EQ(gset_line_colr_ind(503), 0);  // a print colour: colour 1 on X11
    const Gpt across[2] = {{-1.0f, 0.5f}, {2.0f, 0.5f}};  // y = 0.75 * 511
    EXPECT_EQ(gpolyline(2, across), 1);
    zt::expect_rgb(gget_base_window(), {{400, 383, kWhite}, {100, 383, kBlack}, {600, 383, kBlack}});
    const Gpt left[2] = {{-3.0f, 0.2f}, {-2.0f, 0.8f}};  // wholly outside: nothing drawn
    EXPECT_EQ(gpolyline(2, left), 0);
}

// Refused attributes (index 77 was never given a colour, fill style 20 is
// past the patterns) keep the last; a polyline of one point is refused.
TEST_F(Window640, AttributeErrorsKeepState) {
    const Gpt one[1] = {{1, 1}};
    EXPECT_EQ(gset_linewidth(-1.0f) + gset_linetype(-2) + gset_line_colr_ind(300) + gset_line_colr_ind(77) +
                  gset_marker_size(-0.5f) + gset_fill_style_ind(20) + gpolyline(1, one),
              -7);
    EXPECT_EQ(gget_line_colr(), 1);
}

TEST_F(Window640, ColourAllocationReusesNearColours) {
    set_colour(7, 0.5f, 0.25f, 0.75f);
    set_colour(9, 0.1f, 0.2f, 0.3f);
    const int before = gget_max_colr();
    const long pix7 = gget_color_ind(7);
    ASSERT_GE(pix7, 0);
    EXPECT_EQ(galloc_colr(-1, 0.505f, 0.25f, 0.75f), pix7);  // 0.005 away: reused
    EXPECT_EQ(gget_max_colr(), before);
    const long added = galloc_colr(-1, 0.9f, 0.9f, 0.1f);  // far from all: a new index
    EXPECT_GE(added, 0);
    EXPECT_EQ(galloc_colr(-1, 0.9f, 0.9f, 0.1f), added) << "asked again: the same index";
    EXPECT_EQ(gget_max_colr(), before + 1);
    EXPECT_EQ(gis_color_near(7, 0.5f, 0.25f, 0.755f, 0), 1);
    EXPECT_EQ(gis_color_near(7, 0.5f, 0.3f, 0.75f, 0), 0);  // 0.05 away
    EXPECT_EQ(gis_color_near(static_cast<int>(pix7), 0.5f, 0.25f, 0.75f, 1), 1);
    // 16-bit components into the 8-bit fields of the 24-bit visual.
    EXPECT_EQ(gget_color_rgb_Xval(0xFFFF, 0x8000, 0x0000) & 0xFFFFFF, 0xFF8000ul);
    int r = 0, g = 0, b = 0;
    gget_color_rgb256(7, &r, &g, &b);  // trunc(0.5 * 255), trunc(0.25 * 255), trunc(0.75 * 255)
    EXPECT_EQ(Ints({r, g, b}), Ints({127, 63, 191}));
    // Redefining the current line colour changes what the next line draws.
    ASSERT_EQ(gset_line_colr_ind(7), 0);
    set_colour(7, 0, 0, 1);
    const Gpt line[2] = {{10, 10}, {90, 10}};  // y = trunc(90 * 5.11 + 0.5) = 460
    gpolyline(2, line);
    zt::expect_rgb(gget_base_window(), {{255, 460, kBlue}});
}

TEST_F(Window640, MagnifierReplicatesAndRestores) {
    ASSERT_EQ(gset_line_colr_ind(2), 0);
    gsel_norm_tran(0);
    const Gpt line[2] = {{0.25f, 0.0f}, {0.25f, 1.0f}};  // column trunc(0.25 * 511 + 0.5) = 128
    gpolyline(2, line);
    gupdate_window();
    // Doubling around (256, 256): the region starts at (256 - 640/2/2, 256 -
    // 512/2/2) = (96, 128), so column 128 lands on columns 64 and 65.
    EXPECT_EQ(gzoom(-1, 256, 256, -2, 0), 1);
    zt::expect_rgb(gget_base_window(), {{63, 300, kBlack}, {64, 300, kRed}, {65, 300, kRed}, {66, 300, kBlack}});
    EXPECT_EQ(std::vector<float>({float(gget_zoom()), xZ_p(64.0f), yZ_p(0.0f)}), std::vector<float>({2, 128, 128}));
    EXPECT_EQ(gunzoom(), 1);
    zt::expect_rgb(gget_base_window(), {{128, 300, kRed}, {64, 300, kBlack}});
    EXPECT_EQ(std::vector<float>({float(gget_zoom()), xZ_p(64.0f)}), std::vector<float>({1, 64}));
}

// A view of the right half with margins of 10 % of it: the panel spans
// 0.55 .. 0.95 of the width.
TEST_F(Window640, PanelMarginsAreOfItsView) {
    Gint id = 1;
    Gws_type type = 1;
    RES_put("device", "d");
    GPH_begin(&id, nullptr, &type);  // reuses the open workstation
    GPH_set_view_size(0.5f, 1, 0.5f, 0);
    Glim m{0.1f, 0.1f, 0, 0};
    GPH_reset(&id, &type, 0.0f, &m);
    GPH_set_view_size(1, 1, 0, 0);
    EXPECT_NEAR(m.x_min, 0.55f, 1e-6);
    EXPECT_NEAR(m.x_max, 0.95f, 1e-6);
}

TEST_F(Window640, EventsWithoutTheServer) {
    // A run of exposures copies once; another event starts a new run.
    gcheck_event();
    const int before = gget_expose_copies();
    handle(Expose);
    handle(Expose);
    EXPECT_EQ(gget_expose_copies(), before + 1);
    handle(FocusIn);
    handle(Expose);
    EXPECT_EQ(gget_expose_copies(), before + 2);
    // A configure event that keeps the size calls nobody.
    static int calls = 0;
    gset_mouse_callback([](int, char*, float, float) { ++calls; });
    XEvent ev{};
    ev.xconfigure.type = ConfigureNotify;
    ev.xconfigure.window = gget_root_window();
    ev.xconfigure.width = 640;
    ev.xconfigure.height = 512;
    gprocess_x11_event(&ev);
    EXPECT_EQ(calls, 0);
    // A finish message from an owner program ends the hold.
    gset_input_mode(1);
    ev = XEvent{};
    ev.xclient.type = ClientMessage;
    ev.xclient.format = 8;
    ev.xclient.data.b[0] = 9;
    gprocess_x11_event(&ev);
    EXPECT_EQ(gget_input_mode(), 0);
}

// After a re-initialisation (the resize path) the attributes are back at
// colour index 1, and setting index 1 again changes nothing: the contexts
// themselves must draw in index 1's colour (red here), not the screen white.
TEST_F(Window640, ReinitialisedContextsDrawInTheirColourIndex) {
    set_colour(1, 1, 0, 0);
    ASSERT_EQ(ginit_plot(1), 0);  // unit square, transform 0
    ASSERT_EQ(gset_line_colr_ind(1), 0);
    const Gpt line[2] = {{0.1f, 0.5f}, {0.9f, 0.5f}};
    ASSERT_EQ(gpolyline(2, line), 1);
    box(0.1f, 0.1f, 0.3f, 0.3f);
    mark(2, 1.0f, {0.8f, 0.8f});  // (409, 102)
    zt::expect_rgb(gget_base_window(), {{200, 256, kRed}, {100, 400, kRed}, {412, 102, kRed}});
}

// Absurd sizes from attribute strings are kept to the 16-bit pixel range:
// the plus spans the clip region, the line covers it.
TEST_F(Window640, HugeMarkerAndLineWidthStayInRange) {
    gsel_norm_tran(0);
    ASSERT_EQ(gset_marker_colr_ind(2), 0);
    mark(2, 1.0e9f, kCentre);
    zt::expect_rgb(gget_base_window(), {{5, 256, kRed}, {505, 256, kRed}, {256, 5, kRed}, {100, 100, kBlack}});
    gclear_ws(1, GALWAYS);
    ASSERT_EQ(gset_line_colr_ind(3), 0);
    ASSERT_EQ(gset_linewidth(1.0e10f), 0);
    const Gpt line[2] = {{0.2f, 0.5f}, {0.8f, 0.5f}};
    ASSERT_EQ(gpolyline(2, line), 1);
    zt::expect_rgb(gget_base_window(), {{256, 10, kGreen}, {256, 500, kGreen}, {600, 256, kBlack}});
}

TEST_F(Window640, MarkerShapesAndDropShadow) {
    gsel_norm_tran(0);
    ASSERT_EQ(gset_marker_colr_ind(2), 0);
    mark(6, 1.0f, kCentre);  // square of half size 5
    zt::expect_rgb(gget_base_window(), {{256, 261, kRed}, {251, 256, kRed}, {261, 251, kRed}, {256, 256, kBlack}});
    gclear_ws(1, GALWAYS);
    mark(7, 1.0f, kCentre);  // triangle pointing up: base at y + 5, apex at y - 5
    zt::expect_rgb(gget_base_window(), {{256, 261, kRed}, {256, 251, kRed}, {256, 256, kBlack}});
    gclear_ws(1, GALWAYS);
    mark(12, 1.0f, kCentre);  // an unknown type draws nothing
    {
        const zt::Shot s(gget_base_window());
        for (int y = 246; y <= 266; ++y)
            for (int x = 246; x <= 266; ++x) ASSERT_EQ(s.rgb(x, y), kBlack) << x << "," << y;
    }
    // Drop shadow 2 over green: black copies at +1 under the red plus, so
    // the pixel past the right arm's end and one down is black.
    gset_fill_colr_ind(3);
    box(0.3f, 0.3f, 0.7f, 0.7f);
    gset_font_drop(2);
    mark(2, 1.0f, kCentre);
    gset_font_drop(0);
    zt::expect_rgb(gget_base_window(),
                   {{261, 256, kRed}, {262, 257, kBlack}, {262, 256, kGreen}, {270, 270, kGreen}});
}

TEST_F(Window640, ClearRegionPaintsTheBackground) {
    gset_fill_colr_ind(3);
    box(10, 10, 90, 90);
    const Glim hole{40, 60, 40, 60};  // pixels 204 .. 307
    EXPECT_EQ(gclear_region(&hole), 0);
    zt::expect_rgb(gget_base_window(), {{255, 255, kBlack}, {204, 204, kBlack}, {307, 307, kBlack},
                                        {200, 255, kGreen}, {310, 255, kGreen}});
}

// A rubber band from synthesised pointer events: exclusive-or on the window
// only, erased at the release, the end point held to the limits.
TEST_F(Window640, RubberBandIsDrawnOnTheWindowAndErased) {
    gsel_norm_tran(0);
    gupdate_window();
    static std::vector<std::string> texts;
    static float end_x = 0.0f;
    gset_mouse_callback([](int, char* t, float x, float) {
        texts.emplace_back(t);
        if (texts.back() == "B1-P") gset_rubber_band(2);
        if (texts.back() == "B1-R") end_x = x;
    });
    gset_input_mode(1);
    handle(ButtonPress, 100, 100, 1);
    handle(MotionNotify, 200, 150);
    zt::expect_rgb(gget_root_window(), {{150, 100, kWhite}, {200, 125, kWhite}, {150, 125, kBlack}});
    zt::expect_rgb(gget_base_window(), {{150, 100, kBlack}});  // the picture is untouched
    const Gpt lim[2] = {{0.0f, 0.0f}, {0.25f, 1.0f}};  // x pixels 0 .. 128
    gset_rubber_band_limits(lim);
    handle(ButtonRelease, 200, 150, 1);
    zt::expect_rgb(gget_root_window(), {{150, 100, kBlack}, {200, 125, kBlack}});
    EXPECT_EQ(gget_line_gc_func(), GXcopy);
    EXPECT_EQ(texts, (std::vector<std::string>{"B1-P", "B1-R"}));
    EXPECT_NEAR(end_x, 128.0f / 511.0f, 1e-5);  // trunc(0.25 * 511 + 0.5) = 128
    gset_rubber_band_limits(nullptr);
}

// On the 1280 x 1024 screen, -10-10 places a 640 x 512 window at (1280 -
// 640 - 10, 1024 - 512 - 10); a size in the geometry wins over gset_xsize.
TEST(Geometry, OffsetsAndSize) {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X server (DISPLAY unset)";
    const struct {
        const char* geom;
        int x, y, w, h;
    } cases[] = {{"-10-10", 630, 502, 640, 512}, {"320x200+5+6", 5, 6, 320, 200}};
    for (const auto& c : cases) {
        ASSERT_EQ(gopen_gks(nullptr, 0), 0);
        gset_xsize(640, 512);
        gset_geometry(c.geom);
        ASSERT_EQ(gopen_ws(1, "", 1), 0);
        ASSERT_EQ(DisplayWidth(gget_display(), gget_screen()), 1280);
        XWindowAttributes wa{};
        ASSERT_TRUE(XGetWindowAttributes(gget_display(), gget_root_window(), &wa));
        EXPECT_EQ(Ints({wa.x, wa.y, wa.width, gget_window_height()}), Ints({c.x, c.y, c.w, c.h})) << c.geom;
        gclose_ws(1);
        gclose_gks();
    }
    gset_geometry("");
}

// An owner program's window and pixmap (filled with 0x123456), named through
// the environment or a window-id file.
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
        if (!owner) return;
        XFreePixmap(owner, pix);
        XDestroyWindow(owner, win);
        XCloseDisplay(owner);
    }
};

TEST_F(Existing, DrawsIntoTheOwnersPixmap) {
    setenv("zemwindow", ("+" + std::to_string(win) + ":" + std::to_string(pix) + ":300x200").c_str(), 1);
    ASSERT_EQ(gopen_ws(1, "", 6), 0);
    EXPECT_EQ(gtype_is_PIX(), 1);
    EXPECT_STREQ(gget_win_title(), "Owner");
    zt::expect_rgb(pix, {{10, 10, 0x123456}});  // kept: no clearing without pix mode 1
    set_colour(2, 1, 0, 0);
    gset_line_colr_ind(2);
    // 300 x 200: the unit square is 199 x 199 px, NDC y 0.5 -> row 100.
    const Gpt line[2] = {{0.0f, 0.5f}, {1.0f, 0.5f}};
    EXPECT_EQ(gpolyline(2, line), 1);
    zt::expect_rgb(pix, {{50, 100, kRed}, {50, 90, 0x123456}});
}

TEST_F(Existing, WindowIdFileAndBadParameters) {
    zt::TempDir dir;
    char id[64];
    std::snprintf(id, sizeof id, "0x%lx:300x200\n", static_cast<unsigned long>(pix));
    zt::spit(dir.file("zemloop.3"), id);
    RES_put("file_path", dir.path().c_str());
    setenv("zemwindow", "w3", 1);
    EXPECT_EQ(gopen_ws(1, "", 6), 0);
    EXPECT_EQ(gget_base_window(), pix);
    gclose_ws(1);
    for (const char* bad : {"w4", "0:300x200", ""}) {  // no such file, a zero id, nothing
        if (*bad) setenv("zemwindow", bad, 1);
        else unsetenv("zemwindow");
        unsetenv("WINDOW");
        EXPECT_EQ(gopen_ws(1, "", 6), -1) << bad;
    }
    EXPECT_EQ(gchk_graphics(), 0);
}

// ---- Input from the X server, typed by xdotool during the hold loop ---------

struct Seen {
    int kind;
    std::string text;
    float x, y;
};
std::vector<Seen> g_seen;

class Events : public Window640 {
protected:
    void SetUp() override {
        Window640::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        if (!zt::have_tool("xdotool")) GTEST_SKIP() << "xdotool not installed";
        g_seen.clear();
        gset_mouse_callback([](int k, char* t, float x, float y) { g_seen.push_back({k, t ? t : "", x, y}); });
        gsel_norm_tran(0);
        alarm(60);  // a hold that never ends fails the run instead of hanging
    }
    void TearDown() override {
        alarm(0);
        Window640::TearDown();
    }
    // Types in the background after a moment, so that the hold is waiting,
    // then holds until the input ends it.
    void hold_while(const std::string& actions) {
        const std::string w = std::to_string(gget_root_window());
        std::string cmd = actions;
        for (auto p = cmd.find("WIN"); p != std::string::npos; p = cmd.find("WIN")) cmd.replace(p, 3, w);
        ASSERT_EQ(std::system(("(sleep 0.5; " + cmd + ") >/dev/null 2>&1 &").c_str()), 0);
        ASSERT_EQ(ghold(1), 0);
    }
    static const Seen* find(const std::string& t) {
        for (const Seen& s : g_seen)
            if (s.text == t) return &s;
        return nullptr;
    }
};

TEST_F(Events, ButtonsAndKeysReachTheCallbackUntilReturn) {
    hold_while("xdotool mousemove --window WIN 100 100 click 1 sleep 0.2 keydown shift click 1 keyup shift "
               "sleep 0.2 keydown alt click 3 keyup alt sleep 0.2 keydown ctrl click 2 keyup ctrl sleep 0.2 "
               "key alt+u key alt+v key alt+r sleep 0.2 key Return");
    for (const char* t : {"B1-P", "B1-R", "B1-P-Shft", "B1-R-Shft", "B3-P-Alt", "B3-R-Alt", "B2-P-Cntrl",
                          "B2-R-Cntrl", "u-Alt", "v-Alt", "r-Alt", "Ret"})
        EXPECT_TRUE(find(t)) << "missing event text " << t;
    ASSERT_FALSE(g_seen.empty());
    EXPECT_EQ(g_seen.back().text, "Ret");
    EXPECT_EQ(g_seen.back().kind, 2);
    // Pointer (100, 100) in transform 0 on 511 px: x = 100/511, y = 1 - 100/511.
    EXPECT_EQ(g_seen.front().kind, 3);
    EXPECT_NEAR(g_seen.front().x, 100.0f / 511.0f, 1e-4);
    EXPECT_NEAR(g_seen.front().y, 1.0f - 100.0f / 511.0f, 1e-4);
}

TEST_F(Events, RefreshTimerRunsDuringTheHold) {
    static int refreshed = 0;
    gset_refresh_callback(1, [] { ++refreshed; });
    hold_while("sleep 2.3; xdotool mousemove --window WIN 10 10 key Return");
    gset_refresh_callback(0, nullptr);
    EXPECT_GE(refreshed, 2);
    EXPECT_LE(refreshed, 4);
}

// Frames registered by the animation module: frames 0 and 1 are shown for
// 0.05 s and the last pauses 2 s, so after 0.7 s the loop rests on frame 2.
TEST_F(Events, HoldLoopAnimatesFrames) {
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(gcreate_frame(-1), i);
        gselect_frame(i);
        gset_fill_colr_ind(2 + i);
        box(0, 0, 1, 1);
        gdisplay_frame(i);
    }
    gdisplay_frame(0);
    gset_loop_delay(-4, 0.05f);
    gset_loop_delay(-1, 2.0f);
    gset_looping(1);
    hold_while("sleep 0.7; xdotool mousemove --window WIN 600 500 key Return");
    gset_looping(0);
    EXPECT_EQ(gget_cur_frame(), 2);
    zt::expect_rgb(gget_root_window(), {{100, 100, kBlue}});
    char extra[16];
    gget_win_title_extra(extra, sizeof extra);
    EXPECT_STREQ(extra, "[2]");
}

}  // namespace
