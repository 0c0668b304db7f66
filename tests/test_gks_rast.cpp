// The off-screen raster workstation against the X server: every kind of
// primitive drawn once into an Xvfb window and once into the in-memory
// picture (no DISPLAY) must light up the same pixels; the whole GOES-8
// picture (map, labels, colour bar) dumped by orlo with and without a server
// must agree. (That a run without a server or dumps still fails is one of
// the program suite's runs.)
#include "zem_test.h"

#include "gks_colr.h"
#include "gks_fill.h"
#include "gks_img.h"
#include "gks_line.h"
#include "gks_mark.h"
#include "gks_text.h"
#include "gks_tran.h"

namespace {

// Pixels that differ, and pixels drawn (not background) in either picture.
struct Diff {
    int differ = 0, drawn = 0;
};
Diff compare(const zt::Image& a, const zt::Image& b) {
    Diff d;
    EXPECT_EQ(a.rec.width, b.rec.width);
    EXPECT_EQ(a.rec.height, b.rec.height);
    if (a.rec.width != b.rec.width || a.rec.height != b.rec.height || !a.rec.data || !b.rec.data) {
        d.differ = d.drawn = 1;
        return d;
    }
    for (int y = 0; y < a.rec.height; ++y)
        for (int x = 0; x < a.rec.width; ++x) {
            const zt::Rgb pa = zt::rgb_at(a.rec, x, y), pb = zt::rgb_at(b.rec, x, y), black{0, 0, 0};
            d.drawn += !(pa == black) || !(pb == black);
            d.differ += !(pa == pb);
        }
    return d;
}

using Scene = std::function<void()>;

// Opens a 320 x 240 window workstation (the raster one when offscreen),
// draws the scene in transform 0 and reads the picture back.
void draw(const Scene& scene, bool offscreen, zt::Image& out) {
    const std::string display = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "";
    if (offscreen) unsetenv("DISPLAY");
    gset_offscreen(offscreen ? 1 : 0);
    gset_win_size(320, 240);
    ASSERT_EQ(gopen_ws(1, "", 1), 0);
    EXPECT_EQ(gtype_is_RAST(), offscreen ? 1 : 0);
    const Gcolr_rep reps[] = {{1.0f, 1.0f, 1.0f}, {1.0f, 0.2f, 0.1f}, {0.3f, 0.7f, 0.9f}};
    for (int i = 0; i < 3; ++i) gset_colr_rep(1, i + 1, &reps[i]);
    gsel_norm_tran(0);
    scene();
    EXPECT_EQ(gget_image(&out.rec), 1);
    gclose_ws(1);
    gset_offscreen(0);
    if (offscreen && !display.empty()) setenv("DISPLAY", display.c_str(), 1);
}

Gpt P(float x, float y) { return Gpt{x, y}; }

struct SceneCase {
    const char* name;
    Scene scene;
};

// Lines from the centre to 72 points around it, in every octant and on the
// diagonals, so that each Bresenham tie rule is met.
void star(int type, float width) {
    gset_linetype(type);
    gset_linewidth(width);
    gset_line_colr_ind(2);
    for (int k = 0; k < 72; ++k) {
        const float a = static_cast<float>(k) * 5.0f * 3.14159265f / 180.0f;
        const Gpt l[2] = {P(0.5f, 0.5f), P(0.5f + 0.45f * std::cos(a), 0.5f + 0.45f * std::sin(a))};
        gpolyline(2, l);
    }
}

const SceneCase kScenes[] = {
    {"thin_star", [] { star(1, 0.0f); }},
    {"dashed_star", [] { star(4, 0.0f); }},
    {"zigzag_polyline",
     [] {
         gset_linewidth(2.0f);  // back to 1 below: a width the window has set
         gset_linewidth(1.0f);
         gset_linewidth(0.0f);
         const Gpt z[] = {P(0.05f, 0.1f), P(0.2f, 0.9f), P(0.33f, 0.12f), P(0.61f, 0.8f), P(0.95f, 0.3f)};
         gpolyline(5, z);
     }},
    {"wide_polyline",
     [] {
         gset_linewidth(4.0f);
         const Gpt z[] = {P(0.05f, 0.1f), P(0.2f, 0.9f), P(0.33f, 0.12f), P(0.95f, 0.3f)};
         gpolyline(4, z);
     }},
    {"markers",
     [] {
         gset_marker_colr_ind(3);
         for (int t = 1; t <= 9; ++t) {
             gset_marker_type(t);
             const Gpt m[] = {P(0.1f * static_cast<float>(t), 0.3f), P(0.1f * static_cast<float>(t), 0.7f)};
             gpolymarker(2, m);
         }
     }},
    {"fills",
     [] {
         gset_fill_colr_ind(2);
         gset_fill_int_style(GSOLID);
         const Gpt tri[] = {P(0.05f, 0.05f), P(0.45f, 0.1f), P(0.2f, 0.6f)};
         gfill_area(3, tri);
         gset_fill_colr_ind(3);
         gset_fill_int_style(GPAT);
         gset_fill_style_ind(6);
         // A concave outline: the even-odd rule and the spans both matter.
         const Gpt star5[] = {P(0.75f, 0.95f), P(0.62f, 0.55f), P(0.95f, 0.75f),
                              P(0.55f, 0.75f), P(0.88f, 0.55f)};
         gfill_area(5, star5);
     }},
    {"text",
     [] {
         gset_text_colr_ind(1);
         gset_char_ht(0.06f);
         const Gpt at = P(0.05f, 0.45f);
         gtext(&at, "Orlo 0745Z 17 SEP 98");
     }},
};

class RasterVsWindow : public ::testing::TestWithParam<SceneCase> {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X display";
        const res_type keys[] = {RES_file_path, RES_message, RES_null};
        zt::decode("test", {"-fp", ZEM_ETC_DIR, "-me", "none"}, keys);
        gopen_gks("", 0);
    }
};

TEST_P(RasterVsWindow, SamePixels) {
    zt::Image win, ras;
    draw(GetParam().scene, false, win);
    draw(GetParam().scene, true, ras);
    const Diff d = compare(win, ras);
    EXPECT_GT(d.drawn, 20) << "nothing drawn";
    EXPECT_EQ(d.differ, 0) << d.differ << " of " << d.drawn << " drawn pixels differ";
}

INSTANTIATE_TEST_SUITE_P(Scenes, RasterVsWindow, ::testing::ValuesIn(kScenes),
                         [](const auto& info) { return std::string(info.param.name); });

// The real picture: the GOES-8 water-vapour image on "us" with the map
// background, the date label and the colour bar, dumped as PNG by orlo under
// the X server and without one.
TEST(RasterRun, GoesPictureMatchesTheWindow) {
    const std::string goes = zt::testdata("area/cmx3g8_wv_1998.260_0745_mcidas.ara");
    ZT_NEED_DATA(goes);
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X display";
    zt::TempDir dir;
    const std::string args = " -fp " + std::string(ZEM_ETC_DIR) + " -me none -ge 756x576 -de d -pd us -pp bar,png:" +
                             dir.path() + "/";
    const zt::RunResult w = zt::run_orlo(args + "win.png " + goes);
    ASSERT_EQ(w.status, 0) << w.out;
    const zt::RunResult r = zt::run("env -u DISPLAY " + std::string(ORLO_BIN) + args + "mem.png " + goes);
    ASSERT_EQ(r.status, 0) << r.out;
    zt::Image win, mem;
    ASSERT_EQ(IMG_read(dir.file("win.png").c_str(), &win.rec, 0), 1);
    ASSERT_EQ(IMG_read(dir.file("mem.png").c_str(), &mem.rec, 0), 1);
    const Diff d = compare(win, mem);
    const int total = win.rec.width * win.rec.height;
    std::printf("GOES-8 on us: %d of %d pixels differ (%d drawn)\n", d.differ, total, d.drawn);
    EXPECT_GT(d.drawn, total / 3);
    EXPECT_LE(d.differ, total / 200);
}

}  // namespace
