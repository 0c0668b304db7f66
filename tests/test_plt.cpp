// Plot session and labels: the plot parameters decoded from the command
// line, dump names and unwritable dumps, rubber-band zoom arithmetic and the
// re-plot callbacks, the label rows, format codes and the "label" resource.
// The cases that open a plot run under Xvfb.
#include "zem_test.h"

#include <algorithm>
#include <map>

#include "date.h"
#include "files.h"
#include "flag.h"
#include "gks_colr.h"
#include "gks_loop.h"
#include "gks_text.h"
#include "gks_tool.h"
#include "map.h"
#include "maptran.h"
#include "plt_labl.h"
#include "plt_tool.h"

namespace {

using Floats = std::vector<float>;  // for comparing several fields at once

// The resources the plot session reads.
const res_type kKeys[] = {RES_message, RES_file_path, RES_image_path, RES_out_file, RES_plot_type,
                          RES_plot_param, RES_draw, RES_label, RES_null};

// What the re-plot functions were called with.
std::vector<Domain> g_calls;
int record_domain(Domain* d) {
    g_calls.push_back(*d);
    return 0;
}

class PlotSession : public ::testing::Test {
protected:
    zt::TempDir dir_{true};
    zt::MessCapture mess_;
    int prior0_ = DOM_get_loc_prior();

    void SetUp() override {
        setenv("zemdefault", dir_.path().c_str(), 1);  // no resource files but ours
        unsetenv("zemtz");
        reset();
    }
    void reset() {
        FILE_reset();
        DATE_set_TZ(nullptr);
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
        GPH_set_view_size(1, 1, 0, 0);
        FILE_set_min_size(0);
        gset_inverse(0);
        gset_font_drop(0);
        DOM_set_loc_prior(prior0_);
        MAP_latlon(0, 0, 0, 0);
    }
    void TearDown() override {
        if (gchk_graphics()) GPH_end(1);
        PLT_plot_zoom(const_cast<char*>("x"), 0, 0);  // any plain event disarms the zoom box
        reset();
    }
    // Decodes a command line of orlo with these switches (file path: the
    // repository's etc/, images to the scratch folder) for an X11 window.
    void args(std::vector<std::string> a) {
        a.insert(a.begin(), {"-fp", ZEM_ETC_DIR, "-ip", dir_.path()});
        zt::decode("orlo", std::move(a), kKeys);
        FLAG_set(FLAG_WS_TYPE, 1);
    }
    // Opens the plot in a 320 x 256 window; false without an X server.
    static bool open_plot(float aspect = 1.5f) {
        if (!std::getenv("DISPLAY")) return false;
        gset_xsize(320, 256);
        EXPECT_EQ(PLT_open(aspect), 0);
        return gchk_graphics() == 1;
    }
    static int event(const char* text, float x, float y) { return PLT_plot_zoom(const_cast<char*>(text), x, y); }
};

// The settings a plot parameter can change, by name.
std::map<std::string, double> settings() {
    Glim off{};
    PLT_get_view_offsets(&off);
    float dlat = 0, dlon = 0;
    int dot = 0, extra = 0;
    MAP_get_latlon(&dlat, &dlon, &dot, &extra);
    return {{"bottom", off.y_min}, {"top", off.y_max}, {"full_lab", PLT_get_full_lab()},
            {"tz", DATE_get_tz_off()}, {"min_size", FILE_get_min_size()}, {"inverse", gget_inverse()},
            {"over_base", PLT_get_overlay_base()}, {"num_over", PLT_get_num_over()}, {"dlat", dlat},
            {"dlon", dlon}, {"dot", dot}, {"extra", extra}, {"loc_prior", DOM_get_loc_prior()},
            {"drop", gget_font_drop()}};
}

TEST_F(PlotSession, PlotParametersSetWhatTheyName) {
    const struct {
        const char* pp;
        std::map<std::string, double> want;
    } cases[] = {
        {"full", {{"bottom", 0}, {"top", 0}, {"full_lab", 0}}},
        {"FULLAB", {{"bottom", 0}, {"top", 0}, {"full_lab", 1}}},
        {"fullness,remap", {{"bottom", 0.04}, {"top", 0.04}, {"full_lab", 0}}},  // no such words
        {"tz:EST:-5,min_size=1000", {{"tz", -5 * 3600}, {"min_size", 1000}}},
        {"min_size=-3", {{"min_size", 0}}},
        {"pscolor", {{"inverse", 1}}},
        {"psrev", {{"inverse", 0}}},
        // Arguments start after one separator; lalo's second spacing defaults
        // to the first; a shadow below 1 is 4.
        {"over=2:3,lalo:5,loc_pr=3,shadow=0",
         {{"over_base", 2}, {"num_over", 3}, {"dlat", 5}, {"dlon", 5}, {"loc_prior", 3}, {"drop", 4}}},
        {"lalo=10:20:1:2,shadow=2,LOC_PR=7",
         {{"dlat", 10}, {"dlon", 20}, {"dot", 1}, {"extra", 2}, {"drop", 2}, {"loc_prior", 7}}},
    };
    for (const auto& c : cases) {
        reset();
        args({"-pp", c.pp});
        PLT_param_decode();
        const auto got = settings();
        for (const auto& [name, value] : c.want) EXPECT_NEAR(got.at(name), value, 1e-6) << c.pp << ": " << name;
        if (std::string(c.pp).rfind("tz", 0) == 0) {
            EXPECT_STREQ(DATE_get_tz_str(), " EST");
        }
    }
    args({});
    PLT_param_decode();
    EXPECT_EQ(PLT_dump(0), -1) << "no dump unless asked for";
}

// vp_size=2x2+1+0: half wide from x = 1/2, half high from y = 1 - (0 + 1)/2,
// times the device's maximum view; the plot panel lies inside.
TEST_F(PlotSession, ViewSizeTwoByTwoIsTheUpperRightQuarter) {
    args({"-pp", "vp_size=2x2+1+0"});
    if (!open_plot()) GTEST_SKIP() << "no X server";
    Glim v{}, panel{};
    GPH_get_view_size(&v);
    ASSERT_GT(v.x_max, 0.0f);
    EXPECT_NEAR(v.x_min / v.x_max, 0.5f, 1e-5);
    EXPECT_NEAR(v.y_min / v.y_max, 0.5f, 1e-5);
    PLT_get_view(&panel);
    EXPECT_GE(panel.x_min, v.x_min - 1e-5f);
    EXPECT_GE(panel.y_min, v.y_min - 1e-5f);
}

TEST_F(PlotSession, DumpNamesWithoutFramesAndUnwritableDumps) {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X server";
    const struct {
        std::vector<std::string> args;
        bool default_xwd;  // then "xwd" alone
        const char* file;
    } cases[] = {
        {{"-pp", "xwd:pic_%i.xwd"}, true, "zem.xwd"},
        {{"-of", "png:out.png"}, false, "out.png"},
    };
    for (const auto& c : cases) {
        args(c.args);
        ASSERT_TRUE(open_plot());
        if (c.default_xwd) PLT_set_dump(1, "");
        EXPECT_EQ(PLT_dump(0), 0) << c.file;
        EXPECT_TRUE(std::filesystem::exists(dir_.file(c.file))) << c.file;
        GPH_end(1);
    }
    args({"-pp", "png:no_such_dir/x.png", "-me", "warn"});
    ASSERT_TRUE(open_plot());
    EXPECT_EQ(PLT_dump(0), -1);
    EXPECT_NE(mess_.text().find("PLT_dump: Unable to write PNG file: "), std::string::npos) << mess_.text();
}

TEST_F(PlotSession, NothingToDrawOpensNothing) {
    args({"-pl", "none"});
    EXPECT_EQ(PLT_open(1.5f), -1);
    EXPECT_EQ(gchk_graphics(), 0);
    EXPECT_EQ(PLT_close(), -1);
}

// ---- Rubber-band zoom ---------------------------------------------------------

// A Lambert domain of 101 x 101 points centred on 40 N 95 W, made the map.
Domain lambert101(float clat = 40.0f, float d = 0.4f) {
    Domain dom;
    DOM_init(&dom);
    dom.proj = DOM_LAMB;
    dom.plat = 40.0f;
    dom.plon = -95.0f;
    dom.param[0] = 33.0f;
    dom.param[1] = 45.0f;
    dom.clat = clat;
    dom.clon = -95.0f;
    dom.dx = dom.dy = d;
    dom.nx = dom.ny = 101;
    EXPECT_EQ(MAP_domain(&dom), 0);
    return dom;
}

TEST_F(PlotSession, ShiftDragOnLambertZoomsAndAltUGoesBack) {
    args({});
    lambert101();
    float cx = 0, cy = 0;  // the domain's centre, 40 N 95 W, in plot units
    MAP_tran(40.0f, -95.0f, &cx, &cy);
    ASSERT_TRUE(std::isfinite(cx) && std::isfinite(cy));
    EXPECT_EQ(event("B1-P-Shft", cx - 250, cy - 150), 0);
    EXPECT_EQ(event("B1-R-Shft", cx + 250, cy + 150), 1);
    ASSERT_EQ(g_calls.size(), 1u);
    // 500 / (101 - 1) = 5 and 300 / 100 = 3: the larger for both; the box
    // centre is the domain's.
    EXPECT_EQ(Floats({g_calls[0].dx, g_calls[0].dy, float(g_calls[0].nx), float(g_calls[0].proj)}),
              Floats({5, 5, 101, DOM_LAMB}));
    EXPECT_NEAR(g_calls[0].clat, 40.0f, 1e-3);
    EXPECT_NEAR(g_calls[0].clon, -95.0f, 1e-3);
    EXPECT_EQ(PLT_get_zoom(), 1);
    ASSERT_EQ(MAP_domain(&g_calls[0]), 0);
    EXPECT_EQ(event("u-Alt", 0, 0), 1);  // the domain before the first zoom
    ASSERT_EQ(g_calls.size(), 2u);
    EXPECT_EQ(Floats({g_calls[1].dx, g_calls[1].clat, float(PLT_get_zoom())}), Floats({0.4f, 40, 0}));
    // A restarted zoom count is a new first zoom: Alt+u returns to its domain.
    event("B1-P-Shft", -250, -150);
    event("B1-R", 250, 150);
    PLT_set_zoom(0);
    lambert101(35.0f, 0.8f);
    event("B1-P-Shft", -10, -10);
    event("B1-R", 10, 10);
    g_calls.clear();
    EXPECT_EQ(event("u-Alt", 0, 0), 1);
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_EQ(Floats({g_calls[0].clat, g_calls[0].dx}), Floats({35, 0.8f}));
}

TEST_F(PlotSession, BoxCentreZeroSizedBoxesAndStrayEvents) {
    args({});
    lambert101();
    EXPECT_EQ(event("u-Alt", 0, 0), 0);  // no zoom to undo
    EXPECT_EQ(event("B1-R", 100, 100), 0);  // no press before it
    event("B1-P-Shft", 0, 0);
    event("B2-P", 50, 50);  // any other event disarms
    EXPECT_EQ(event("B1-R", 100, 100), 0);
    EXPECT_TRUE(g_calls.empty());
    event("B1-P-Shft", 10, 20);
    EXPECT_EQ(event("B1-R-Shft", 10, 60), -1);  // zero width: nothing, still armed
    EXPECT_TRUE(g_calls.empty());
    EXPECT_EQ(event("B1-R", 30, 60), 1);  // 20 x 40: spacing max(0.2, 0.4)
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_FLOAT_EQ(g_calls[0].dx, 0.4f);
    float lat = 0, lon = 0;
    MAP_untran(20, 40, &lat, &lon);  // the box centre
    EXPECT_NEAR(g_calls[0].clat, lat, 1e-3);
    EXPECT_NEAR(g_calls[0].clon, lon, 1e-3);
    g_calls.clear();
    EXPECT_EQ(event("r-Alt", 0, 0), 1);  // redraw on the current domain
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_FLOAT_EQ(g_calls[0].clat, 40.0f);
}

// ---- Labels ---------------------------------------------------------------

std::vector<std::string> rows(int lab) {
    std::vector<std::string> r;
    for (int i = 0; i < 6; ++i) r.emplace_back(PLT_get_label(lab, i));
    return r;
}

TEST_F(PlotSession, LabelRowsAppendAndOverlay) {
    PLT_label_up_left("GOES-8 WV");
    // Appending overlays add to row 0 after the first text, replacing what
    // was appended before, up to 59 characters: 9 + 1 + 50 is too long.
    PLT_set_label_type(-1);
    EXPECT_EQ(PLT_next_overlay(), 1);
    EXPECT_EQ(PLT_get_label_type(), -2);
    PLT_label_up_left("and IR");
    EXPECT_STREQ(PLT_get_label(0, 0), "GOES-8 WV and IR");
    PLT_label_up_left("then VIS");
    EXPECT_EQ(PLT_label_up_left(std::string(50, 'x').c_str()), -1);
    EXPECT_EQ(rows(0), (std::vector<std::string>{"GOES-8 WV then VIS", "", "", "", "", ""}));
    EXPECT_EQ(PLT_label_up_left(std::string(49, 'x').c_str()), 0);
    // One row per overlay, at most row 5; texts of at most 68 characters.
    PLT_set_label_type(0);
    PLT_set_overlay(2);
    PLT_label_low_right("row two");
    PLT_set_overlay(9);
    PLT_label_low_right("row five");
    EXPECT_EQ(rows(5), (std::vector<std::string>{"", "", "row two", "", "", "row five"}));
    EXPECT_EQ(PLT_label_strcpy(1, std::string(69, 'y').c_str()), -1);
    EXPECT_EQ(PLT_label_strcpy(1, std::string(68, 'y').c_str()), 0);
    EXPECT_EQ(PLT_next_overlay(), 6);  // past the last row there is no next one
    EXPECT_EQ(PLT_next_overlay(), -1);
    PLT_set_overlay(-1);  // a negative overlay ignores labels
    PLT_label_up_center("ignored");
    EXPECT_EQ(rows(1)[0], "");
    EXPECT_STREQ(PLT_get_label(7, 0), "") << "unknown positions give an empty text";
}

TEST_F(PlotSession, LabelFormatCodes) {
    Date d;
    DATE_init(&d);
    d.year = 1998;
    d.month = 9;
    d.day = 17;
    d.hour = 7;
    d.min = 45;
    PLT_label_date(&d);
    const struct {
        std::string form;
        const char* want;
    } cases[] = {
        {"IR_%y%m%d_%h%nZ", "IR 980917 0745Z"}, {"%b 100%%", "SEP 100%"}, {"a%qb", "ab"},  // unknown code: nothing
        {"end%", "end"}, {std::string(200, 'z'), nullptr},  // cut to the 80-character buffer
    };
    for (const auto& c : cases) {
        char out[80];
        PLT_label_format(c.form.c_str(), out);
        EXPECT_EQ(std::string(out), c.want ? c.want : std::string(79, 'z')) << c.form;
    }
}

// The "label" resource overrides what readers stored and sets rows; a
// position with % but no row digit is ignored.
TEST_F(PlotSession, LabelResourceOverridesAndSetsRows) {
    args({"-la", "ul:Visible_image,lr2:x,uc%q:never,LR:lower_%%"});
    if (!open_plot()) GTEST_SKIP() << "no X server";
    PLT_label_up_left("GOES-8 WV");
    PLT_set_num_overlay(3);
    EXPECT_EQ(PLT_labels(), 0);
    EXPECT_STREQ(PLT_get_label(0, 0), "Visible image");
    EXPECT_STREQ(PLT_get_label(5, 2), "x");
    EXPECT_STREQ(PLT_get_label(5, 0), "lower %");
    EXPECT_STREQ(PLT_get_label(1, 0), "");
}

// Without margins (full, panel of the window's 320 x 256 shape) there is
// no room for labels, unless fullab puts them inside the view.
TEST_F(PlotSession, FullWithoutFullabHasNoRoomForLabels) {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X server";
    const struct {
        const char* pp;
        int want;
    } cases[] = {{"full", -1}, {"fullab", 0}, {"", 0}};
    for (const auto& c : cases) {
        reset();
        args({"-pp", c.pp});
        ASSERT_TRUE(open_plot(1.25f));
        PLT_label_up_left("text");
        EXPECT_EQ(PLT_labels(), c.want) << c.pp;
        GPH_end(1);
    }
}

}  // namespace
