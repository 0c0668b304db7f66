// The display list of a window under Xvfb: what the window shows is printed
// through the list (Alt+p and the programmatic entry) and rendered by
// Ghostscript with the same colours in the same places, redrawn after a
// resize and an exposure; and the real GOES-8 picture in a window against
// the same plot written as PostScript.
#include "zem_test.h"

#include <X11/keysym.h>

#include "gks_colr.h"
#include "gks_evnt.h"
#include "gks_fill.h"
#include "gks_img.h"
#include "gks_line.h"
#include "gks_obj.h"
#include "gks_text.h"

namespace {

using zt::Rgb;
bool near(const Rgb& a, const Rgb& b) {
    return std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b) < 60;
}

// A page rendered by Ghostscript at 72 dpi, read back as RGB.
struct Page : zt::Image {
    IMG_report& img = rec;
    explicit Page(const std::string& ps, const std::string& png) {
        zt::run("gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=png16m -r72 -sPAPERSIZE=letter -sOutputFile=" + png +
                " " + ps);
        IMG_read(png.c_str(), &img, 0);
    }
    // Print units of a landscape letter page (turned a quarter, a quarter
    // inch in) to the rendered pixel.
    Rgb at_print(float px, float py) const {
        const int col = static_cast<int>(594.0f - py), row = static_cast<int>(792.0f - (px + 18.0f));
        if (!img.data || col < 0 || row < 0 || col >= img.width || row >= img.height) return {-1, -1, -1};
        const unsigned char* p = img.data + row * img.bytes_line + col * 3;
        return {p[0], p[1], p[2]};
    }
};

constexpr float kYvp = 511.0f / 639.0f;  // NDC height of the 640 x 512 window

class WindowPrint : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X display";
        RES_put("file_path", ZEM_ETC_DIR);
        gset_inverse(0);  // colour PostScript of an earlier case inverts
        ASSERT_EQ(gopen_gks(nullptr, 0), 0);
        ASSERT_EQ(gopen_ws(1, "", 1), 0);
        setenv("zemps_param", "color", 1);
    }
    void TearDown() override {
        if (gchk_graphics()) gclose_ws(1);
        gclose_gks();
        unsetenv("zemps_param");
        unsetenv("zemps_print");
    }
    zt::TempDir dir;
};

struct Sample {
    const char* what;
    float x, y;  // world point of transform 1, or image pixel (x, y) when image
    bool image;
    Rgb want;
};

TEST_F(WindowPrint, PrintedAndRedrawnPicturesMatchTheWindow) {
    const Rgb red{255, 0, 0}, blue{0, 0, 255}, yellow{255, 255, 0}, green{0, 255, 0};
    const Gcolr_rep reps[] = {{1, 0, 0}, {0, 0, 1}, {1, 1, 0}, {0, 1, 0}};
    for (int i = 0; i < 4; ++i) gset_colr_rep(1, 2 + i, &reps[i]);
    const Glim ws{0, 1, 0, kYvp}, win{0, 10, 0, 8}, img_vp{0.55f, 0.95f, 0.05f, 0.35f};
    gset_ws_win(1, &ws);
    gset_win(1, &win);
    gset_vp(1, &ws);
    gsel_norm_tran(1);
    gset_fill_colr_ind(2);
    const Gpt block[] = {{1, 1}, {3, 1}, {3, 3}, {1, 3}};
    gfill_area(4, block);
    gset_line_colr_ind(3);
    gset_linewidth(6);
    const Gpt line[] = {{1, 6}, {5, 6}};
    gpolyline(2, line);
    gset_text_colr_ind(5);
    gset_char_ht(1.0f);
    const Gpt at{1, 4.5f};
    gtext(&at, "ZEM");
    // A 100 x 40 image: yellow left half, blue right half.
    gset_vp(2, &img_vp);
    gsel_norm_tran(2);
    std::vector<unsigned char> pix(100 * 40);
    for (int i = 0; i < 100 * 40; ++i) pix[static_cast<std::size_t>(i)] = (i % 100) < 50 ? 0 : 1;
    IMG_color colors[] = {{1, 1, 0}, {0, 0, 1}};
    IMG_report img;
    IMG_init(&img);
    img.width = img.bytes_line = 100;
    img.height = 40;
    img.depth = img.bits_pixel = 8;
    img.num_colors = 2;
    img.colors = colors;
    img.data = pix.data();
    gload_image(&img, 0, 0);  // the record's buffers are the locals: not freed
    gsel_norm_tran(1);
    gupdate_window();

    const Sample samples[] = {
        {"fill", 2, 2, false, red},       {"line", 3, 6, false, blue},
        {"image left", 20, 20, true, yellow}, {"image right", 80, 20, true, blue},
    };
    // Window pixel and print units of each sample, from NDC.
    auto ndc = [&](const Sample& s, float* nx, float* ny) {
        if (s.image) {
            *nx = img_vp.x_min + s.x / 639.0f;
            *ny = img_vp.y_max - s.y / 639.0f;
        } else {
            *nx = xW_NDC(s.x);
            *ny = yW_NDC(s.y);
        }
    };
    auto check_window = [&](const char* when, Drawable d) {
        const zt::Shot shot(d);
        for (const Sample& s : samples) {
            float nx, ny;
            ndc(s, &nx, &ny);
            // The image keeps its pixel size: its samples count from its corner.
            const int x = static_cast<int>(s.image ? xNDC_p(img_vp.x_min) + s.x : xNDC_p(nx) + 0.5f);
            const int y = static_cast<int>(s.image ? yNDC_p(img_vp.y_max) + s.y : yNDC_p(ny) + 0.5f);
            const unsigned long v = shot.rgb(x, y);
            const Rgb got{int(v >> 16), int(v >> 8 & 255), int(v & 255)};
            EXPECT_TRUE(near(got, s.want)) << when << " " << s.what << " at " << x << "," << y << ": " << got;
        }
    };
    check_window("window", gget_root_window());

    // Printed through the list: the same colours at the same places.
    const std::string ps = dir.file("print.ps");
    setenv("zemps_print", ps.c_str(), 1);
    ASSERT_EQ(gobj_print_plot(), 0);
    const std::string text = zt::slurp(ps);
    EXPECT_EQ(zt::count_of(text, "%%TE:"), 1);
    EXPECT_EQ(zt::count_of(text, "colorimage"), 1);
    {
        const Page page(ps, dir.file("print.png"));
        const float s = 576.0f / kYvp;  // print units per NDC unit on the 757 x 577 print device
        for (const Sample& smp : samples) {
            float nx, ny;
            ndc(smp, &nx, &ny);
            const float px = smp.image ? img_vp.x_min * s + smp.x : nx * s;
            const float py = smp.image ? img_vp.y_max * s - smp.y : ny * s;
            const Rgb got = page.at_print(px, py);
            EXPECT_TRUE(near(got, smp.want)) << "print " << smp.what << ": " << got;
        }
        // The text is drawn in green on the page as in the window.
        int strokes = 0;
        for (float x = 1; x < 4; x += 0.02f)
            for (float y = 4.4f; y < 5.6f; y += 0.02f) strokes += near(page.at_print(xW_NDC(x) * s, yW_NDC(y) * s), green);
        EXPECT_GT(strokes, 100);
    }
    // The window itself is unchanged by printing.
    check_window("after print", gget_root_window());

    // Alt+p prints the same list.
    const std::string ps2 = dir.file("key.ps");
    setenv("zemps_print", ps2.c_str(), 1);
    gset_input_mode(1);
    XEvent ev{};
    ev.xkey.type = KeyPress;
    ev.xkey.display = gget_display();
    ev.xkey.window = gget_root_window();
    ev.xkey.keycode = XKeysymToKeycode(gget_display(), XK_p);
    ev.xkey.state = Mod1Mask;
    gprocess_x11_event(&ev);
    const std::string keyed = zt::slurp(ps2);
    EXPECT_EQ(zt::count_of(keyed, "%%PL:"), zt::count_of(text, "%%PL:"));
    EXPECT_EQ(zt::count_of(keyed, "%%FA:"), 1);

    // Alt+m writes the list as a text metafile.
    const std::string meta = dir.file("list.meta");
    setenv("METAOUT", meta.c_str(), 1);
    ev.xkey.keycode = XKeysymToKeycode(gget_display(), XK_m);
    gprocess_x11_event(&ev);
    unsetenv("METAOUT");
    const std::string records = zt::slurp(meta);
    for (const char* r : {"\nPL 2 ", "\nFA 4 ", "\nTE 1.000000,4.500000 ZEM\n", "\nTE_CLR 5\n", "\nWIN 1 "})
        EXPECT_EQ(zt::count_of(records, r), 1) << r;

    // A resize is redrawn from the list.
    XResizeWindow(gget_display(), gget_root_window(), 800, 600);
    XSync(gget_display(), False);
    for (int i = 0; i < 100 && gget_window_width() != 800; ++i) {
        usleep(20000);
        gcheck_event();
    }
    ASSERT_EQ(gget_window_width(), 800);
    gupdate_window();
    check_window("resized", gget_base_window());

    // An exposure copies the picture back into the window.
    XClearArea(gget_display(), gget_root_window(), 0, 0, 0, 0, True);
    XSync(gget_display(), False);
    usleep(50000);
    gcheck_event();
    check_window("exposed", gget_root_window());
}

// A font name starting with "#" is a font of the X server.
TEST_F(WindowPrint, ServerFontDrawsText) {
    gclose_ws(1);
    gset_font_list("#fixed,modern.fnt");
    ASSERT_EQ(gopen_ws(1, "", 1), 0);
    gset_font_list(nullptr);
    const Gpt at{0.1f, 0.5f};
    ASSERT_EQ(gtext(&at, "XFONT"), 1);
    const int x0 = static_cast<int>(xW_p(at.x)), y0 = static_cast<int>(yW_p(at.y)) - 30;
    XImage* im = XGetImage(gget_display(), gget_base_window(), x0, y0, 60, 40, AllPlanes, ZPixmap);
    ASSERT_NE(im, nullptr);
    int lit = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 60; ++x) lit += XGetPixel(im, x, y) != static_cast<unsigned long>(gget_back_color());
    XDestroyImage(im);
    EXPECT_GT(lit, 20);  // the glyphs of the server font
}

// The real picture: a window dump and the PostScript of the same plot.
TEST(GoesPrint, PostScriptMatchesTheWindowDump) {
    const std::string goes = zt::testdata("area/cmx3g8_wv_1998.260_0745_mcidas.ara");
    ZT_NEED_DATA(goes);
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X display";
    zt::TempDir dir;
    const std::string args = " -fp " + std::string(ZEM_ETC_DIR) + " -ip " + dir.path() + " -pd us -pp bar ";
    // The window is the page's drawing size, so that both plots lay out the
    // same panel in pixels and points.
    const zt::RunResult w = zt::run_orlo(args + "-ge 756x576 -de d -pp png:win.png " + goes);
    ASSERT_EQ(w.status, 0) << w.out;
    const std::string ps = dir.file("plot.ps");
    ASSERT_EQ(zt::run_orlo(args + "-pp pscolor -de p," + ps + " " + goes).status, 0);
    zt::Image win;
    ASSERT_GT(IMG_read(dir.file("win.png").c_str(), &win.rec, 0), 0);
    ASSERT_EQ(win.rec.width, 756);
    const Page page(ps, dir.file("page.png"));
    ASSERT_NE(page.img.data, nullptr);
    int same = 0, image = 0;
    for (int y = 0; y < win.rec.height; ++y) {
        for (int x = 0; x < win.rec.width; ++x) {
            const Rgb wp = zt::rgb_at(win.rec, x, y);
            if (wp.r + wp.g + wp.b <= 0) continue;  // window background
            ++image;
            // Lines may land one pixel apart between the two rasterisers.
            bool hit = false;
            for (int dy = -1; dy <= 1 && !hit; ++dy)
                for (int dx = -1; dx <= 1 && !hit; ++dx)
                    hit = near(wp, page.at_print(static_cast<float>(x + dx), static_cast<float>(575 - y + dy)));
            same += hit;
        }
    }
    ASSERT_GT(image, 100000);
    // Printed to the report: how close the two pictures are.
    std::printf("GOES-8 on us: %d of %d non-background window pixels match the PostScript page"
                " within a pixel\n", same, image);
    EXPECT_GT(same, image * 98 / 100);
}

}  // namespace
