// Plot session and labels: the plot-wide plot parameters, frame dumps named
// through the file module, rubber-band zoom arithmetic and the re-plot
// callbacks, the label rows and the "label" resource. The cases that open a
// plot run under Xvfb.
#include "res_fixture.h"
#include "plot_x_util.h"

#include <X11/Xlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "flag.h"
#include "gks_colr.h"
#include "gks_loop.h"
#include "gks_tool.h"
#include "gks_x11.h"
#include "map.h"
#include "maptran.h"
#include "gks_text.h"
#include "plt_labl.h"
#include "plt_tool.h"
#include "png.h"
#include "region.h"
#include "img_tool.h"

namespace {

// Xvfb refuses connections for a moment after its last client leaves.
const auto* const kKeepServer = ::testing::AddGlobalTestEnvironment(new plot_test::KeepServer);

// What the re-plot functions were called with.
std::vector<Domain> g_calls;
int record_domain(Domain* d)
{
    g_calls.push_back(*d);
    return 0;
}

class PlotSession : public ResTest {
protected:
    void SetUp() override
    {
        ResTest::SetUp();
        g_calls.clear();
        PLT_set_view_offsets(0, 0, 0.04f, 0.04f);
        PLT_set_dump(0, "");
        PLT_set_zoom(0);
        PLT_set_zoom_func(record_domain);
        PLT_set_resize_func(record_domain);
        PLT_init_labels();
        PLT_set_label_type(0);
        PLT_set_overlay(0);
        PLT_set_overlay_base(0);
        PLT_set_num_overlay(0);
        GPH_set_view_size(1, 1, 0, 0);
        FILE_set_min_size(0);
    }
    void TearDown() override
    {
        if (gchk_graphics())
            GPH_end(1);
        // The zoom statics: any plain event disarms the zoom box.
        PLT_plot_zoom(const_cast<char*>("x"), 0, 0);
        ResTest::TearDown();
    }

    // Decodes the resources with these switches (file path: the
    // repository's etc/, images written to the scratch directory).
    void args(std::vector<std::string> a)
    {
        a.insert(a.begin(), {"-fp", ZEM_ETC_DIR, "-ip", dir_.string()});
        run(a);
        FLAG_set(2, 1);  // an X11 window, without asking
    }

    // Opens the plot in a window; skips without an X server.
    bool open_plot(float aspect = 1.5f)
    {
        if (!std::getenv("DISPLAY"))
            return false;
        gset_xsize(320, 256);
        EXPECT_EQ(PLT_open(aspect), 0);
        return gchk_graphics() == 1;
    }

    static void event(const char* text, float x, float y, int* ret = nullptr)
    {
        int r = PLT_plot_zoom(const_cast<char*>(text), x, y);
        if (ret)
            *ret = r;
    }
};

TEST_F(PlotSession, FullAndFullabRemoveTheMargins)
{
    args({"-pp", "full"});
    PLT_param_decode();
    Glim off{};
    PLT_get_view_offsets(&off);
    EXPECT_FLOAT_EQ(off.y_min, 0.0f);
    EXPECT_FLOAT_EQ(off.y_max, 0.0f);
    EXPECT_EQ(PLT_get_full_lab(), 0);

    PLT_set_view_offsets(0, 0, 0.04f, 0.04f);
    args({"-pp", "FULLAB"});
    PLT_param_decode();
    PLT_get_view_offsets(&off);
    EXPECT_FLOAT_EQ(off.y_max, 0.0f);
    EXPECT_EQ(PLT_get_full_lab(), 1);

    // Other values leave the margins alone.
    PLT_set_view_offset(0.04f);
    args({"-pp", "fullness,remap"});
    PLT_param_decode();
    PLT_get_view_offsets(&off);
    EXPECT_FLOAT_EQ(off.y_min, 0.04f);
    EXPECT_EQ(PLT_get_full_lab(), 0);
}

TEST_F(PlotSession, ZoneAndMinimumFileSize)
{
    args({"-pp", "tz:EST:-5,min_size=1000"});
    PLT_param_decode();
    EXPECT_EQ(DATE_get_tz_off(), -5 * 3600);
    EXPECT_STREQ(DATE_get_tz_str(), " EST");
    EXPECT_EQ(FILE_get_min_size(), 1000);
    args({"-pp", "min_size=-3"});
    PLT_param_decode();
    EXPECT_EQ(FILE_get_min_size(), 0);
}

TEST_F(PlotSession, ViewSizeTwoByTwoIsTheUpperRightQuarter)
{
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "no X server";
    args({"-pp", "vp_size=2x2+1+0"});
    ASSERT_TRUE(open_plot());
    Glim v{};
    GPH_get_view_size(&v);
    // 1/2 wide from x = 1/2, 1/2 high from y = 1 - (0 + 1)/2, times the
    // device's maximum view.
    ASSERT_GT(v.x_max, 0.0f);
    EXPECT_NEAR(v.x_min / v.x_max, 0.5f, 1e-5);
    EXPECT_NEAR(v.y_min / v.y_max, 0.5f, 1e-5);
    // The plot panel lies inside that quarter.
    Glim panel{};
    PLT_get_view(&panel);
    EXPECT_GE(panel.x_min, v.x_min - 1e-5f);
    EXPECT_GE(panel.y_min, v.y_min - 1e-5f);
}

TEST_F(PlotSession, DumpIsOffUntilAsked)
{
    args({});
    PLT_param_decode();
    EXPECT_EQ(PLT_dump(0), -1);
}

TEST_F(PlotSession, PngDumpsNamedByFrameNumber)
{
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "no X server";
    args({"-pp", "png:frame%i.png", "-me", "mess"});
    ASSERT_TRUE(open_plot());
    // Three frames in three colours.
    const float colours[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    for (int i = 0; i < 3; i++) {
        ASSERT_EQ(gcreate_frame(i), i);
        gselect_frame(i);
        long pix = galloc_colr(-1, colours[i][0], colours[i][1], colours[i][2]);
        XSetForeground(gget_display(), gget_root_gc(), static_cast<unsigned long>(pix));
        XFillRectangle(gget_display(), gget_draw_window(), gget_root_gc(), 0, 0, 40, 40);
        EXPECT_EQ(PLT_dump(i), 0);
    }
    for (int i = 0; i < 3; i++) {
        char name[32];
        std::snprintf(name, sizeof name, "frame%2.2d.png", i);
        const auto path = dir_ / name;
        ASSERT_TRUE(std::filesystem::exists(path)) << path;
        EXPECT_NE(messages().find("Wrote PNG file: " + path.string() + "\n"), std::string::npos)
            << messages();
        IMG_report img;
        IMG_init(&img);
        ASSERT_EQ(PNG_read(path.c_str(), &img, 0), 1);
        EXPECT_EQ(img.width, 320);
        EXPECT_EQ(img.height, 256);
        ASSERT_NE(img.colors, nullptr);
        ASSERT_EQ(img.bits_pixel, 8);
        const IMG_color c = img.colors[img.data[10 * img.bytes_line + 10]];
        EXPECT_FLOAT_EQ(c.r, colours[i][0]) << name;
        EXPECT_FLOAT_EQ(c.g, colours[i][1]) << name;
        EXPECT_FLOAT_EQ(c.b, colours[i][2]) << name;
        IMG_free(&img);
    }
    if (std::system("command -v pngcheck >/dev/null 2>&1") == 0) {
        const std::string cmd = "pngcheck -q " + (dir_ / "frame00.png").string() + " " +
                                (dir_ / "frame02.png").string() + " >/dev/null 2>&1";
        EXPECT_EQ(std::system(cmd.c_str()), 0);
    }
    EXPECT_FALSE(std::filesystem::exists(dir_ / "frame03.png"));
}

TEST_F(PlotSession, DumpWithoutFramesUsesWinAndDefaultNames)
{
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "no X server";
    args({"-pp", "xwd:pic_%i.xwd", "-me", "mess"});
    ASSERT_TRUE(open_plot());
    EXPECT_EQ(PLT_dump(0), 0);
    EXPECT_TRUE(std::filesystem::exists(dir_ / "pic_win.xwd"));
    // "xwd" alone: the default template.
    PLT_set_dump(1, "");
    EXPECT_EQ(PLT_dump(0), 0);
    EXPECT_TRUE(std::filesystem::exists(dir_ / "zem.xwd"));
    // A type asked for through out_file.
    GPH_end(1);
    args({"-of", "png:out.png"});
    ASSERT_TRUE(open_plot());
    EXPECT_EQ(PLT_dump(0), 0);
    EXPECT_TRUE(std::filesystem::exists(dir_ / "out.png"));
}

TEST_F(PlotSession, UnwritableDumpWarnsAndGoesOn)
{
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "no X server";
    args({"-pp", "png:no_such_dir/x.png", "-me", "warn"});
    ASSERT_TRUE(open_plot());
    EXPECT_EQ(PLT_dump(0), -1);
    EXPECT_NE(messages().find("PLT_dump: Unable to write PNG file: "), std::string::npos)
        << messages();
}

// A Lambert domain of 101 x 101 points made the active map domain.
Domain lambert101()
{
    Domain d;
    DOM_init(&d);
    d.proj = DOM_LAMB;
    d.plat = 40.0f;
    d.plon = -95.0f;
    d.param[0] = 33.0f;
    d.param[1] = 45.0f;
    d.clat = 40.0f;
    d.clon = -95.0f;
    d.dx = 0.4f;
    d.dy = 0.4f;
    d.nx = 101;
    d.ny = 101;
    return d;
}

TEST_F(PlotSession, ShiftDragOnLambertGivesTheLargerSpacing)
{
    args({});
    Domain d = lambert101();
    ASSERT_EQ(MAP_domain(&d), 0);
    int r = 0;
    event("B1-P-Shft", -250, -150, &r);
    event("B1-R-Shft", 250, 150, &r);
    EXPECT_EQ(r, 1);
    ASSERT_EQ(g_calls.size(), 1u);
    // 500 / (101 - 1) = 5 and 300 / (101 - 1) = 3: the larger wins for both.
    EXPECT_FLOAT_EQ(g_calls[0].dx, 5.0f);
    EXPECT_FLOAT_EQ(g_calls[0].dy, 5.0f);
    EXPECT_EQ(g_calls[0].nx, 101);
    EXPECT_EQ(g_calls[0].proj, DOM_LAMB);
    // The box centre (0, 0 after MAP_domain) is the domain centre.
    float lat = 0, lon = 0;
    MAP_untran(0, 0, &lat, &lon);
    EXPECT_NEAR(g_calls[0].clat, lat, 1e-3);
    EXPECT_NEAR(g_calls[0].clon, lon, 1e-3);
    EXPECT_EQ(PLT_get_zoom(), 1);

    // Alt+u goes back to the domain before the first zoom.
    ASSERT_EQ(MAP_domain(&g_calls[0]), 0);
    event("u-Alt", 0, 0, &r);
    EXPECT_EQ(r, 1);
    ASSERT_EQ(g_calls.size(), 2u);
    EXPECT_FLOAT_EQ(g_calls[1].dx, 0.4f);
    EXPECT_FLOAT_EQ(g_calls[1].clat, 40.0f);
    EXPECT_EQ(PLT_get_zoom(), 0);
}

TEST_F(PlotSession, BoxCentreOffOriginAndZeroSizedBox)
{
    args({});
    Domain d = lambert101();
    ASSERT_EQ(MAP_domain(&d), 0);
    int r = 0;
    event("B1-P-Shft", 10, 20, &r);
    event("B1-R-Shft", 10, 60, &r);  // zero width: nothing, still armed
    EXPECT_EQ(r, -1);
    EXPECT_TRUE(g_calls.empty());
    event("B1-R", 30, 60, &r);  // 20 x 40 box: spacing max(0.2, 0.4)
    EXPECT_EQ(r, 1);
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_FLOAT_EQ(g_calls[0].dx, 0.4f);
    float lat = 0, lon = 0;
    MAP_untran(20, 40, &lat, &lon);
    EXPECT_NEAR(g_calls[0].clat, lat, 1e-3);
    EXPECT_NEAR(g_calls[0].clon, lon, 1e-3);
}

TEST_F(PlotSession, UnarmedReleasesAndAltUWithoutZoomDoNothing)
{
    args({});
    Domain d = lambert101();
    ASSERT_EQ(MAP_domain(&d), 0);
    int r = 0;
    event("u-Alt", 0, 0, &r);
    EXPECT_EQ(r, 0);
    event("B1-R", 100, 100, &r);  // no press before it
    EXPECT_EQ(r, 0);
    event("B1-P-Shft", 0, 0, &r);
    event("B2-P", 50, 50, &r);  // any other event disarms
    event("B1-R", 100, 100, &r);
    EXPECT_EQ(r, 0);
    EXPECT_TRUE(g_calls.empty());
    EXPECT_EQ(PLT_get_zoom(), 0);
    // Alt+r redraws on the current domain.
    event("r-Alt", 0, 0, &r);
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_FLOAT_EQ(g_calls[0].dx, 0.4f);
}

TEST_F(PlotSession, ResizeRedrawsOnTheCurrentDomainOnlyForSize)
{
    args({});
    Domain d = lambert101();
    ASSERT_EQ(MAP_domain(&d), 0);
    EXPECT_EQ(PLT_plot_resize(const_cast<char*>("B1-P"), 0, 0), 0);
    EXPECT_TRUE(g_calls.empty());
    EXPECT_EQ(PLT_plot_resize(const_cast<char*>("size"), 800, 600), 1);
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_EQ(g_calls[0].nx, 101);
    EXPECT_FLOAT_EQ(g_calls[0].clon, -95.0f);
}

// A diagram domain: clat and dx along x, clon and dy along y.
Domain diagram(int proj, float clat, float clon, float dx, float dy)
{
    Domain d;
    DOM_init(&d);
    d.proj = proj;
    d.clat = clat;
    d.clon = clon;
    d.dx = dx;
    d.dy = dy;
    d.nx = 100;
    d.ny = 100;
    return d;
}

TEST_F(PlotSession, DiagramZoomMakesTheBoxTheNewLimits)
{
    // Whatever the diagram, the zoomed domain's plot limits must be the box
    // the user drew: x from -20 to 20 and y from -ln 800 to -ln 300 on the
    // T / -ln p diagram (code 22: x = T, y = -ln p), and x from 3 to 9, y
    // from -8 to -2 on the image diagram (code 99: lat = x, lon = -y).
    args({});
    struct Case {
        Domain d;
        float x0, y0, x1, y1;
    };
    const Case cases[] = {
        {diagram(22, -40, 1000, 80, -900), -20, -std::log(800.0f), 20, -std::log(300.0f)},
        {diagram(99, 0, 10, 12, -10), 3, -8, 9, -2},
    };
    for (const Case& c : cases) {
        g_calls.clear();
        PLT_set_zoom(0);
        ASSERT_EQ(MAP_domain(&c.d), 0) << c.d.proj;
        int r = 0;
        event("B1-P-Shft", c.x1, c.y0, &r);  // drawn from the lower right
        event("B1-R", c.x0, c.y1, &r);
        ASSERT_EQ(r, 1) << c.d.proj;
        ASSERT_EQ(g_calls.size(), 1u);
        ASSERT_EQ(MAP_domain(&g_calls[0]), 0);
        MAP_limits lim{};
        MAP_get_limits(&lim);
        EXPECT_NEAR(std::min(lim.x_min, lim.x_max), c.x0, 1e-3) << c.d.proj;
        EXPECT_NEAR(std::max(lim.x_min, lim.x_max), c.x1, 1e-3) << c.d.proj;
        EXPECT_NEAR(std::min(lim.y_min, lim.y_max), c.y0, 1e-3) << c.d.proj;
        EXPECT_NEAR(std::max(lim.y_min, lim.y_max), c.y1, 1e-3) << c.d.proj;
    }
    // Code 22 in numbers: T -20, p 800, 40 degrees wide, 500 hPa up.
    ASSERT_EQ(MAP_domain(&cases[0].d), 0);
    g_calls.clear();
    PLT_set_zoom(0);
    event("B1-P-Shft", -20, -std::log(800.0f));
    event("B1-R", 20, -std::log(300.0f));
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_NEAR(g_calls[0].clat, -20, 1e-3);
    EXPECT_NEAR(g_calls[0].clon, 800, 1e-1);
    EXPECT_NEAR(g_calls[0].dx, 40, 1e-3);
    EXPECT_NEAR(g_calls[0].dy, -500, 1e-1);
}

TEST_F(PlotSession, PolarAndSkewTZoomKeepPlotMeasures)
{
    args({});
    // Polar diagram (code 23): the corner and size in plot coordinates.
    Domain polar = diagram(DOM_POLAR, -50, -50, 100, 100);
    ASSERT_EQ(MAP_domain(&polar), 0);
    int r = 0;
    event("B1-P-Shft", 10, 30, &r);
    event("B1-R", -20, -10, &r);
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_FLOAT_EQ(g_calls[0].clat, -20);
    EXPECT_FLOAT_EQ(g_calls[0].clon, -10);
    EXPECT_FLOAT_EQ(g_calls[0].dx, 30);
    EXPECT_FLOAT_EQ(g_calls[0].dy, 40);

    // Skew-T (code 40): dx is the plot width; the pressure range follows y
    // (y = -ln p), so the new domain spans the box's height.
    g_calls.clear();
    PLT_set_zoom(0);
    Domain skew = diagram(DOM_SKEWT, -40, 1050, 80, -950);
    ASSERT_EQ(MAP_domain(&skew), 0);
    MAP_limits lim{};
    MAP_get_limits(&lim);
    const float ya = lim.y_min + 0.25f * (lim.y_max - lim.y_min);
    const float yb = lim.y_min + 0.75f * (lim.y_max - lim.y_min);
    const float xa = lim.x_min + 0.25f * (lim.x_max - lim.x_min);
    const float xb = lim.x_min + 0.5f * (lim.x_max - lim.x_min);
    event("B1-P-Shft", xa, ya, &r);
    event("B1-R", xb, yb, &r);
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_FLOAT_EQ(g_calls[0].dx, xb - xa);
    EXPECT_NEAR(g_calls[0].clon, std::exp(-ya), 1e-2) << "p of the lower edge";
    EXPECT_NEAR(g_calls[0].clon + g_calls[0].dy, std::exp(-yb), 1e-2) << "p of the upper edge";
}

TEST_F(PlotSession, AltUGoesBackToTheDomainBeforeTheLatestFirstZoom)
{
    // The zoom count restarted (PLT_set_zoom(0)) means a new first zoom:
    // its domain is the one Alt+u restores.
    args({});
    Domain a = lambert101();
    ASSERT_EQ(MAP_domain(&a), 0);
    event("B1-P-Shft", -250, -150);
    event("B1-R", 250, 150);
    ASSERT_EQ(PLT_get_zoom(), 1);
    PLT_set_zoom(0);
    Domain b = lambert101();
    b.clat = 35.0f;
    b.dx = b.dy = 0.8f;
    ASSERT_EQ(MAP_domain(&b), 0);
    event("B1-P-Shft", -10, -10);
    event("B1-R", 10, 10);
    g_calls.clear();
    int r = 0;
    event("u-Alt", 0, 0, &r);
    EXPECT_EQ(r, 1);
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_FLOAT_EQ(g_calls[0].clat, 35.0f);
    EXPECT_FLOAT_EQ(g_calls[0].dx, 0.8f);
}

TEST_F(PlotSession, PsColorInvertsTheColoursAndPsrevDoesNot)
{
    gset_inverse(0);
    args({"-pp", "psrev"});
    PLT_param_decode();
    EXPECT_EQ(gget_inverse(), 0);
    args({"-pp", "pscolor"});
    PLT_param_decode();
    EXPECT_EQ(gget_inverse(), 1);
    gset_inverse(0);
}

TEST_F(PlotSession, KeywordArgumentsStartAfterOneSeparator)
{
    // over=2:3 (argument from the 6th character), lalo:5 (second spacing
    // defaults to the first), loc_pr=3 (from the 8th), shadow=0 (4 when
    // below 1) and shadow=2.
    const int prior0 = DOM_get_loc_prior();
    args({"-pp", "over=2:3,lalo:5,loc_pr=3,shadow=0"});
    PLT_param_decode();
    EXPECT_EQ(PLT_get_overlay_base(), 2);
    EXPECT_EQ(PLT_get_num_over(), 3);
    float dlat = 0, dlon = 0;
    int dot = -1, extra = -1;
    MAP_get_latlon(&dlat, &dlon, &dot, &extra);
    EXPECT_FLOAT_EQ(dlat, 5.0f);
    EXPECT_FLOAT_EQ(dlon, 5.0f);
    EXPECT_EQ(DOM_get_loc_prior(), 3);
    EXPECT_EQ(gget_font_drop(), 4);
    args({"-pp", "lalo=10:20:1:2,shadow=2,LOC_PR=7"});
    PLT_param_decode();
    MAP_get_latlon(&dlat, &dlon, &dot, &extra);
    EXPECT_FLOAT_EQ(dlat, 10.0f);
    EXPECT_FLOAT_EQ(dlon, 20.0f);
    EXPECT_EQ(dot, 1);
    EXPECT_EQ(extra, 2);
    EXPECT_EQ(gget_font_drop(), 2);
    EXPECT_EQ(DOM_get_loc_prior(), 7) << "keywords compare without case";
    gset_font_drop(0);
    DOM_set_loc_prior(prior0);
    MAP_latlon(0, 0, 0, 0);
}

TEST_F(PlotSession, NothingToDrawOpensNothing)
{
    args({"-pl", "none"});
    EXPECT_EQ(PLT_open(1.5f), -1);
    EXPECT_EQ(gchk_graphics(), 0);
    EXPECT_EQ(PLT_close(), -1);
}

// ---- Labels ---------------------------------------------------------------

TEST_F(PlotSession, LabelRowsAppendAndOverlay)
{
    PLT_label_up_left("GOES-8 WV");
    EXPECT_STREQ(PLT_get_label(0, 0), "GOES-8 WV");
    // Appending overlays add to row 0 after the text of the first.
    PLT_set_label_type(-1);
    EXPECT_EQ(PLT_next_overlay(), 1);
    EXPECT_EQ(PLT_get_label_type(), -2);
    PLT_label_up_left("and IR");
    EXPECT_STREQ(PLT_get_label(0, 0), "GOES-8 WV and IR");
    EXPECT_STREQ(PLT_get_label(0, 1), "");
    PLT_label_up_left("then VIS");  // replaces the appended part
    EXPECT_STREQ(PLT_get_label(0, 0), "GOES-8 WV then VIS");
    // Row 0 may not pass 59 characters by appending.
    EXPECT_EQ(PLT_label_up_left(std::string(50, 'x').c_str()), -1);
    EXPECT_STREQ(PLT_get_label(0, 0), "GOES-8 WV then VIS");

    // One row per overlay.
    PLT_set_label_type(0);
    PLT_set_overlay(2);
    EXPECT_EQ(PLT_get_num_over(), 2);
    PLT_label_low_right("row two");
    EXPECT_STREQ(PLT_get_label(5, 2), "row two");
    EXPECT_STREQ(PLT_get_label(5, 0), "");
    PLT_set_overlay(9);  // limited to 5
    PLT_label_low_right("row five");
    EXPECT_STREQ(PLT_get_label(5, 5), "row five");
    // Texts longer than 68 characters are not stored.
    EXPECT_EQ(PLT_label_strcpy(1, std::string(69, 'y').c_str()), -1);
    EXPECT_EQ(PLT_label_strcpy(1, std::string(68, 'y').c_str()), 0);
    // A negative overlay ignores labels.
    PLT_set_overlay(-1);
    PLT_label_up_center("ignored");
    PLT_set_overlay(0);
    EXPECT_STREQ(PLT_get_label(1, 0), "");
    // Past the last row there is no next overlay.
    PLT_set_overlay(5);
    EXPECT_EQ(PLT_next_overlay(), 6);
    EXPECT_EQ(PLT_next_overlay(), -1);
    PLT_set_overlay(0);

    PLT_init_labels();
    EXPECT_STREQ(PLT_get_label(5, 2), "");
    EXPECT_EQ(PLT_get_num_over(), 0);
    EXPECT_STREQ(PLT_get_label(7, 0), "") << "unknown positions give an empty text";
}

TEST_F(PlotSession, LabelFormatCodes)
{
    Date d;
    DATE_init(&d);
    d.year = 1998;
    d.month = 9;
    d.day = 17;
    d.hour = 7;
    d.min = 45;
    PLT_label_date(&d);
    char out[80];
    PLT_label_format("IR_%y%m%d_%h%nZ", out);
    EXPECT_STREQ(out, "IR 980917 0745Z");
    PLT_label_format("%b 100%%", out);
    EXPECT_STREQ(out, "SEP 100%");
    PLT_label_format("a%qb", out);
    EXPECT_STREQ(out, "ab") << "an unknown code yields nothing";
    PLT_label_format("end%", out);
    EXPECT_STREQ(out, "end");
    // Long texts are cut to the 80-character buffer.
    PLT_label_format(std::string(200, 'z').c_str(), out);
    EXPECT_EQ(std::strlen(out), 79u);
}

TEST_F(PlotSession, LabelResourceOverridesAndSetsRows)
{
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "no X server";
    args({"-la", "ul:Visible_image,lr2:x,uc%q:never,LR:lower_%%"});
    ASSERT_TRUE(open_plot());
    PLT_label_up_left("GOES-8 WV");  // what a reader stores
    PLT_set_num_overlay(3);
    EXPECT_EQ(PLT_labels(), 0);
    EXPECT_STREQ(PLT_get_label(0, 0), "Visible image");
    EXPECT_STREQ(PLT_get_label(5, 2), "x");
    EXPECT_STREQ(PLT_get_label(5, 0), "lower %");
    EXPECT_STREQ(PLT_get_label(1, 0), "") << "uc% has no row digit: ignored";
}

TEST_F(PlotSession, FullWithoutFullabDrawsNoLabels)
{
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "no X server";
    // The panel has the window's shape (320 x 256), so without margins it
    // fills the whole height.
    args({"-pp", "full"});
    ASSERT_TRUE(open_plot(1.25f));
    PLT_label_up_left("text");
    EXPECT_EQ(PLT_labels(), -1) << "no bottom margin: no room for labels";
    GPH_end(1);

    args({"-pp", "fullab"});
    ASSERT_TRUE(open_plot(1.25f));
    EXPECT_EQ(PLT_labels(), 0);
    GPH_end(1);

    args({});
    ASSERT_TRUE(open_plot());
    EXPECT_EQ(PLT_labels(), 0);
    Glim panel{};
    PLT_get_view(&panel);
    EXPECT_GT(panel.y_min, 0.0f) << "default margins leave room below the panel";
}

// ---- Label layout: where PLT_labels prints each text ------------------------

struct Printed {
    int lab, row;
    float x, y, size;
    std::string text;
};
std::vector<Printed> g_printed;
void record_label(int lab, int row, float x, float y, float size, const char* text)
{
    g_printed.push_back({lab, row, x, y, size, text});
}

class LabelLayout : public PlotSession {
protected:
    Glim view_{}, disp_{};
    void SetUp() override
    {
        PlotSession::SetUp();
        g_printed.clear();
        PLT_set_label_observer(record_label);
    }
    void TearDown() override
    {
        PLT_set_label_observer(nullptr);
        PlotSession::TearDown();
    }
    // Opens the default plot and reads its view and the display's.
    bool open()
    {
        if (!open_plot())
            return false;
        PLT_get_view(&view_);
        GPH_get_view_size(&disp_);
        return true;
    }
    const Printed* find(int lab, int row) const
    {
        for (const auto& p : g_printed)
            if (p.lab == lab && p.row == row)
                return &p;
        return nullptr;
    }
};

TEST_F(LabelLayout, RowsGoUpwardFromTheMarginsEdges)
{
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "no X server";
    args({"-la", "lr2:x"});
    ASSERT_TRUE(open());
    PLT_set_num_overlay(3);
    PLT_label_up_left("ul0");
    PLT_label_low_right("lr0");
    PLT_set_overlay(1);
    PLT_label_up_left("ul1");
    PLT_label_low_center("lc1");
    PLT_set_overlay(0);
    ASSERT_EQ(PLT_labels(), 0);
    ASSERT_EQ(g_printed.size(), 5u);

    // The bottom margin M is what lies between the display's bottom and the
    // view; three rows share it, each at most 3 % of the view's height.
    const float H = view_.y_max - view_.y_min, W = view_.x_max - view_.x_min;
    const float M = view_.y_min - disp_.y_min;
    ASSERT_GT(M, 0.005f);
    const float h = std::min(M / 3, 0.03f * H), g = 0.2f * h;

    const Printed* ul0 = find(0, 0);
    const Printed* ul1 = find(0, 1);
    ASSERT_TRUE(ul0 && ul1);
    EXPECT_EQ(ul0->text, "ul0");
    EXPECT_NEAR(ul0->x, view_.x_min + 0.01f * W, 1e-5);
    EXPECT_NEAR(ul0->y, view_.y_max + g, 1e-5);
    EXPECT_NEAR(ul1->y, view_.y_max + g + h, 1e-5);
    EXPECT_NEAR(ul0->size, 0.75f * h, 1e-6);

    // Lower rows: row 0 lowest, row n-1 nearest the view.
    const Printed* lr0 = find(5, 0);
    const Printed* lr2 = find(5, 2);
    const Printed* lc1 = find(4, 1);
    ASSERT_TRUE(lr0 && lr2 && lc1);
    EXPECT_EQ(lr2->text, "x");
    EXPECT_NEAR(lr0->x, view_.x_max - 0.01f * W, 1e-5);
    EXPECT_NEAR(lr0->y, view_.y_min - g - 2 * h, 1e-5);
    EXPECT_NEAR(lr2->y, view_.y_min - g, 1e-5);
    EXPECT_LT(lr0->y, lr2->y);
    EXPECT_NEAR(lc1->x, 0.5f * (view_.x_min + view_.x_max), 1e-5);
    EXPECT_NEAR(lc1->y, view_.y_min - g - h, 1e-5);
}

TEST_F(LabelLayout, BaseShiftSingleRowAndAppendingType)
{
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "no X server";
    args({"-la", "ur:only_row_0"});
    ASSERT_TRUE(open());
    PLT_set_num_overlay(2);
    PLT_set_overlay_base(1);
    PLT_set_overlay(1);
    PLT_label_up_right("row 1, never drawn");
    PLT_label_up_left("ul1");
    PLT_set_overlay(0);
    ASSERT_EQ(PLT_labels(), 0);
    const float H = view_.y_max - view_.y_min;
    const float h = std::min((view_.y_min - disp_.y_min) / 2, 0.03f * H), g = 0.2f * h;
    const Printed* ur = find(2, 0);
    ASSERT_TRUE(ur);
    EXPECT_EQ(ur->text, "only row 0");
    EXPECT_EQ(find(2, 1), nullptr) << "a ur: label is a single-row position";
    const Printed* ul1 = find(0, 1);
    ASSERT_TRUE(ul1);
    // over_base 1 lifts the block by one row.
    EXPECT_NEAR(ul1->y, view_.y_max + g + h + 1 * h, 1e-5);
    EXPECT_NEAR(ur->y, view_.y_max + g + h, 1e-5);

    // A negative label type has one row whatever the overlay count.
    g_printed.clear();
    PLT_set_overlay_base(0);
    PLT_set_label_type(-1);
    ASSERT_EQ(PLT_labels(), 0);
    const float h1 = std::min(view_.y_min - disp_.y_min, 0.03f * H);
    ASSERT_TRUE(find(2, 0));
    EXPECT_NEAR(find(2, 0)->size, 0.75f * h1, 1e-6);
    EXPECT_EQ(find(0, 1), nullptr);
}

TEST_F(LabelLayout, FullabPutsTheRowsInsideTheView)
{
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "no X server";
    args({"-pp", "fullab"});
    ASSERT_TRUE(open_plot(1.25f));
    PLT_get_view(&view_);
    PLT_label_up_left("top");
    PLT_label_low_left("bottom");
    ASSERT_EQ(PLT_labels(), 0);
    // M is fixed at 0.06; one row; the gap -0.2h - h moves the baselines
    // inside the view's top and bottom.
    const float H = view_.y_max - view_.y_min;
    const float h = std::min(0.06f, 0.03f * H), g = -0.2f * h - h;
    ASSERT_TRUE(find(0, 0) && find(3, 0));
    EXPECT_NEAR(find(0, 0)->y, view_.y_max + g, 1e-5);
    EXPECT_NEAR(find(3, 0)->y, view_.y_min - g, 1e-5);
    EXPECT_LT(find(0, 0)->y, view_.y_max);
    EXPECT_GT(find(3, 0)->y, view_.y_min);
}

TEST_F(LabelLayout, RowCountAboveTheTableReadsOnlyStoredRows)
{
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "no X server";
    args({"-pp", "over=0:9"});
    ASSERT_TRUE(open());
    ASSERT_EQ(PLT_get_num_over(), 9);
    PLT_label_up_center("centre");
    PLT_label_low_right("right");
    ASSERT_EQ(PLT_labels(), 0);
    // Nine rows are spaced, but only the two stored texts are printed, each
    // at its own position (row 6 of one position is not row 0 of the next).
    ASSERT_EQ(g_printed.size(), 2u);
    EXPECT_TRUE(find(1, 0));
    EXPECT_TRUE(find(5, 0));
    for (const auto& p : g_printed)
        EXPECT_LT(p.row, 6) << p.lab << " " << p.text;
}

TEST_F(LabelLayout, SwitchedOffComponentsAreNotPrinted)
{
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "no X server";
    args({"-dr", "all,-text_ul"});
    ASSERT_TRUE(open());
    PLT_label_up_left("off");
    PLT_label_up_right("on");
    ASSERT_EQ(PLT_labels(), 0);
    EXPECT_EQ(find(0, 0), nullptr);
    ASSERT_TRUE(find(2, 0));
    g_printed.clear();
    FLAG_setplot(0, 0);  // all texts off
    EXPECT_EQ(PLT_labels(), 0);
    EXPECT_TRUE(g_printed.empty());
}

}  // namespace
