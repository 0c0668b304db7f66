// Remapping, zoom and plot-domain set-up. Expected pixels are recomputed in
// the test through the projection and navigation functions, one output
// pixel at a time, and compared with what the remapper produced.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "flag.h"
#include "img_tool.h"
#include "maptran.h"
#include "mess.h"
#include "region.h"
#include "resrc.h"
#include "sat_read.h"
#include "sat_tool.h"
#include "sat_tran.h"
#include "tools.h"

namespace {

const res_type kKeys[] = {RES_message, RES_geometry, RES_grid_domain, RES_plot_param, RES_null};
const res_type kPos[] = {RES_filenames, RES_null};

void decode(std::vector<std::string> args)
{
    args.insert(args.begin(), "test");
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    RES_init(static_cast<int>(args.size()), argv.data(), kKeys, kPos);
}

void set_params(int inc, int ave)
{
    SAT_reset_params();
    SAT_params p{};
    SAT_get_params(&p);
    p.remap_inc = inc;
    p.pix_ave = ave;
    SAT_set_params(&p);
}

// Three count classes [0, b1), [b1, b2), [b2, 256) with base value 0, as
// "cutoff=0:b1:b2" decodes them.
void set_classes(int b1, int b2)
{
    SAT_params p{};
    SAT_get_params(&p);
    p.cutbase = 0;
    p.numcut = 2;
    p.cutoff[0] = 0;
    p.cutoff[1] = b1;
    p.cutoff[2] = b2;
    p.cutoff[3] = 256;
    SAT_set_params(&p);
}

// An 8-bit image record owning a malloc'd copy of `pixels`.
IMG_report make_image(int w, int h, const std::vector<unsigned char>& pixels, const Domain& d)
{
    IMG_report img;
    IMG_init(&img);
    img.width = w;
    img.height = h;
    img.depth = 8;
    img.bits_pixel = 8;
    img.bytes_line = w;
    img.domain = d;
    img.source = 59;
    img.data = static_cast<unsigned char*>(std::malloc(pixels.size()));
    std::memcpy(img.data, pixels.data(), pixels.size());
    return img;
}

// Independent bilinear/nearest sample (no classes), edge pixels replicated.
int ref_sample(const std::vector<unsigned char>& px, int w, int h, float r, float c, bool ave)
{
    if (!(r >= 0.0f) || !(c >= 0.0f) || r > h - 1 || c > w - 1) return 0;
    int i = static_cast<int>(r), j = static_cast<int>(c);
    float fy = r - i, fx = c - j;
    int i1 = std::min(i + 1, h - 1), j1 = std::min(j + 1, w - 1);
    float p00 = px[i * w + j], p01 = px[i * w + j1], p10 = px[i1 * w + j], p11 = px[i1 * w + j1];
    if (!ave) {
        fx = fx > 0.5f ? 1.0f : 0.0f;
        fy = fy > 0.5f ? 1.0f : 0.0f;
    }
    float v = (1 - fy) * (1 - fx) * p00 + (1 - fy) * fx * p01 + fy * (1 - fx) * p10 + fy * fx * p11;
    return static_cast<int>(v);
}

class RemapTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        decode({"-me", "none"});
        SAT_set_tran_sat(1);
        set_params(20, 1);
    }
};

// ---- Pixel values from fractional positions ----

TEST_F(RemapTest, SampleBilinearNearestAndEdges)
{
    Domain d;
    DOM_init(&d);
    // 2x2 block [[0, 100], [200, 40]] in a 3x3 image.
    std::vector<unsigned char> px = {0, 100, 9, 200, 40, 9, 9, 9, 9};
    IMG_report img = make_image(3, 3, px, d);
    // (1 - .5)(1 - .25)0 + (.5)(.25)100 + (.5)(.75)200 + (.5)(.25)40 = 92.5
    EXPECT_EQ(SAT_sample_pixel(&img, 0.5f, 0.25f), 92);
    set_params(20, 0);
    EXPECT_EQ(SAT_sample_pixel(&img, 0.5f, 0.25f), 0);    // fractions snap to 0 at 0.5
    EXPECT_EQ(SAT_sample_pixel(&img, 0.6f, 0.75f), 40);   // and to 1 above it
    EXPECT_EQ(SAT_sample_pixel(&img, 0.0f, 0.51f), 100);
    // Four equal neighbours give their value whatever the fractions.
    EXPECT_EQ(SAT_sample_pixel(&img, 1.7f, 1.3f), 9);
    // Last line accepted, beyond it and before the first give 0.
    EXPECT_EQ(SAT_sample_pixel(&img, 2.0f, 2.0f), 9);
    EXPECT_EQ(SAT_sample_pixel(&img, -0.01f, 1.0f), 0);
    EXPECT_EQ(SAT_sample_pixel(&img, 2.01f, 1.0f), 0);
    EXPECT_EQ(SAT_sample_pixel(&img, 1.0f, 2.001f), 0);
    EXPECT_EQ(SAT_sample_pixel(&img, NAN, 1.0f), 0);
    IMG_free(&img);
}

TEST_F(RemapTest, SampleClassCutoffs)
{
    Domain d;
    DOM_init(&d);
    set_classes(100, 200);
    // Neighbours 0, 0, 150, 160 form class 1 with the base: zeros read as 100.
    IMG_report a = make_image(2, 2, {0, 0, 150, 160}, d);
    // 0.25 * (100 + 100 + 150 + 160) = 127.5
    EXPECT_EQ(SAT_sample_pixel(&a, 0.5f, 0.5f), 127);
    // A result of exactly the substitute is stored as the base value.
    EXPECT_EQ(SAT_sample_pixel(&a, 0.0f, 0.0f), 0);
    // Neighbours 50, 150, 160, 170 are mixed: nearest neighbour only.
    IMG_report b = make_image(2, 2, {50, 150, 160, 170}, d);
    EXPECT_EQ(SAT_sample_pixel(&b, 0.4f, 0.4f), 50);
    EXPECT_EQ(SAT_sample_pixel(&b, 0.6f, 0.6f), 170);
    // Without classes the same point is averaged: .36*50+.24*150+.24*160+.16*170 = 119.6
    set_params(20, 1);
    EXPECT_EQ(SAT_sample_pixel(&b, 0.4f, 0.4f), 119);
    IMG_free(&a);
    IMG_free(&b);
}

// ---- Domain sizing ----

TEST_F(RemapTest, DomainSizedToDefaultOrGeometry)
{
    Domain us;
    ASSERT_EQ(DOM_get_def_region("us", &us), 1);
    Domain d = us;
    SAT_domain_image(&d);
    EXPECT_EQ(d.nx, 640);
    EXPECT_EQ(d.ny, 427);
    MAP_domain(&us);
    MAP_limits lim{};
    MAP_get_limits(&lim);
    EXPECT_FLOAT_EQ(d.dx, (lim.x_max - lim.x_min) / 639.0f);
    EXPECT_FLOAT_EQ(d.dy, (lim.y_max - lim.y_min) / 426.0f);
    // 24 x 2.3 hundred km across the built-in "us" region.
    EXPECT_NEAR((d.nx - 1) * d.dx, 24 * 2.3, 1e-3);

    decode({"-me", "none", "-ge", "300x200+10+10"});
    d = us;
    SAT_domain_image(&d);
    EXPECT_EQ(d.nx, 300);
    EXPECT_EQ(d.ny, 200);

    Domain none;
    DOM_init(&none);
    SAT_domain_image(&none);
    EXPECT_EQ(none.nx, kMissing);
}

// ---- Remapping a map-projected image ----

// A 200 x 100 latitude-longitude image, half a degree apart, 40N 100W at
// its centre; every pixel differs from its neighbours.
struct LatLonSource {
    Domain dom;
    std::vector<unsigned char> px;
    LatLonSource()
    {
        DOM_init(&dom);
        dom.proj = 2;
        dom.clat = 40.0f;
        dom.clon = -100.0f;
        dom.dx = dom.dy = 0.5f;
        dom.nx = 200;
        dom.ny = 100;
        px.resize(200 * 100);
        for (int i = 0; i < 100; ++i)
            for (int j = 0; j < 200; ++j) px[i * 200 + j] = static_cast<unsigned char>(1 + (i * 7 + j * 13) % 250);
    }
};

Domain small_ps()
{
    Domain d;
    DOM_init(&d);
    d.proj = 1;
    d.clat = 40.0f;
    d.clon = -100.0f;
    d.nx = 120;
    d.ny = 80;
    d.dx = d.dy = 0.3f;
    return d;
}

// Source row/column of output pixel (i, j) recomputed through the
// projections.
bool projected_source(const Domain& out, const Domain& src, int i, int j, float* r, float* c)
{
    float x, y, lat, lon, sx, sy;
    MAP_domain(&out);
    MAP_grid_tran(static_cast<float>(i), static_cast<float>(j), &x, &y);
    if (MAP_untran(x, y, &lat, &lon) == 0) return false;
    MAP_domain(&src);
    if (MAP_tran(lat, lon, &sx, &sy) == 0) return false;
    MAP_grid_untran(sx, sy, c, r);
    return true;
}

TEST_F(RemapTest, ProjectedImageNearestMatchesEveryPixel)
{
    LatLonSource s;
    SAT_set_tran_sat(0);
    set_params(1, 0);
    IMG_report img = make_image(200, 100, s.px, s.dom);
    Domain out = small_ps();
    ASSERT_EQ(SAT_remap_image(&img, &out), 1);
    ASSERT_EQ(img.width, 120);
    ASSERT_EQ(img.height, 80);
    EXPECT_EQ(img.source, 50);
    EXPECT_EQ(img.bytes_line, 120);
    EXPECT_FLOAT_EQ(img.domain.plon, -100.0f);  // unset plon takes clon
    int mismatches = 0, nonzero = 0;
    for (int j = 0; j < 80; ++j)
        for (int i = 0; i < 120; ++i) {
            float r = -1, c = -1;
            int want = projected_source(out, s.dom, i, j, &r, &c) ? ref_sample(s.px, 200, 100, r, c, false) : 0;
            int got = img.data[j * 120 + i];
            mismatches += got != want;
            nonzero += got != 0;
        }
    EXPECT_EQ(mismatches, 0);
    EXPECT_GT(nonzero, 80 * 120 / 2);  // the image covers most of the small domain
    IMG_free(&img);
}

TEST_F(RemapTest, ProjectedImageBilinearAndIncrements)
{
    LatLonSource s;
    SAT_set_tran_sat(0);
    Domain out = small_ps();
    // Bilinear with every pixel exact: equal to the independent blend
    // (float rounding may move a truncated value by one).
    set_params(1, 1);
    IMG_report a = make_image(200, 100, s.px, s.dom);
    ASSERT_EQ(SAT_remap_image(&a, &out), 1);
    int worst = 0;
    for (int j = 0; j < 80; j += 3)
        for (int i = 0; i < 120; i += 3) {
            float r = -1, c = -1;
            int want = projected_source(out, s.dom, i, j, &r, &c) ? ref_sample(s.px, 200, 100, r, c, true) : 0;
            worst = std::max(worst, std::abs(a.data[j * 120 + i] - want));
        }
    EXPECT_LE(worst, 1);

    // remap_inc 0 goes through the projections for every pixel as well.
    set_params(0, 1);
    IMG_report b = make_image(200, 100, s.px, s.dom);
    ASSERT_EQ(SAT_remap_image(&b, &out), 1);
    EXPECT_EQ(std::memcmp(a.data, b.data, 120 * 80), 0);

    // Interpolating between every 20th pixel stays within half a pixel.
    float worst_pos = 0.0f;
    std::vector<float> r1(120), c1(120), r20(120), c20(120);
    IMG_report src = make_image(200, 100, s.px, s.dom);
    for (int j = 0; j < 80; ++j) {
        set_params(1, 1);
        ASSERT_EQ(SAT_remap_source(&src, &out, j, r1.data(), c1.data()), 0);
        set_params(20, 1);
        ASSERT_EQ(SAT_remap_source(&src, &out, j, r20.data(), c20.data()), 0);
        for (int i = 0; i < 120; ++i) {
            if (r1[i] < 0 || r20[i] < 0) continue;
            worst_pos = std::max({worst_pos, std::fabs(r1[i] - r20[i]), std::fabs(c1[i] - c20[i])});
        }
    }
    EXPECT_LT(worst_pos, 0.5f);
    EXPECT_GT(worst_pos, 0.0f);  // the interpolation did run
    IMG_free(&src);
    IMG_free(&a);
    IMG_free(&b);
}

// The remapper samples whole rows at once, in blocks; every output pixel
// must still be exactly the single-pixel value at the position the locator
// gives for it, across block boundaries, off-image positions and every
// averaging mode.
TEST_F(RemapTest, RowSamplingEqualsSinglePixelValues)
{
    LatLonSource s;
    // Plain zeros spread through the image so that four-equal and class
    // neighbourhoods occur next to averaged ones.
    for (std::size_t k = 0; k < s.px.size(); k += 3) s.px[k] = (k / 200) % 4 == 0 ? 0 : s.px[k];
    SAT_set_tran_sat(0);
    Domain wide = small_ps();
    wide.nx = 700;  // several sampling blocks per row
    wide.ny = 9;
    wide.dx = wide.dy = 0.15f;
    wide.clon = -70.0f;  // the eastern part lies beyond the image's 50W edge
    for (int ave : {0, 1})
        for (int classes : {0, 1}) {
            SCOPED_TRACE(testing::Message() << "ave " << ave << " classes " << classes);
            set_params(7, ave);
            if (classes) set_classes(90, 170);
            IMG_report src = make_image(200, 100, s.px, s.dom);
            IMG_report img = make_image(200, 100, s.px, s.dom);
            Domain out = wide;
            ASSERT_EQ(SAT_remap_image(&img, &out), 1);
            std::vector<float> r(700), c(700);
            int mismatches = 0, outside = 0, inside = 0;
            for (int j = 0; j < 9; ++j) {
                ASSERT_EQ(SAT_remap_source(&src, &out, j, r.data(), c.data()), 0);
                for (int i = 0; i < 700; ++i) {
                    mismatches += img.data[j * 700 + i] != SAT_sample_pixel(&src, r[i], c[i]);
                    const bool in = r[i] >= 0 && c[i] >= 0 && r[i] <= 99 && c[i] <= 199;
                    inside += in;
                    outside += !in;
                }
            }
            EXPECT_EQ(mismatches, 0);
            EXPECT_GT(inside, 9 * 256);   // more than a block of real samples
            EXPECT_GT(outside, 9 * 20);   // and positions off the image
            IMG_free(&src);
            IMG_free(&img);
        }
}

TEST_F(RemapTest, LongitudeWindowEmptiesPixelsOutside)
{
    LatLonSource s;
    SAT_set_tran_sat(0);
    set_params(20, 0);
    SAT_params p{};
    SAT_get_params(&p);
    p.min_lon = -100.0f;
    SAT_set_params(&p);
    IMG_report img = make_image(200, 100, s.px, s.dom);
    Domain out = small_ps();
    ASSERT_EQ(SAT_remap_image(&img, &out), 1);
    int west_set = 0, east_set = 0, east = 0;
    MAP_domain(&img.domain);
    for (int j = 0; j < 80; ++j)
        for (int i = 0; i < 120; ++i) {
            float x, y, lat, lon;
            MAP_grid_tran(i, j, &x, &y);
            MAP_untran(x, y, &lat, &lon);
            if (lon < -100.5f) west_set += img.data[j * 120 + i] != 0;
            if (lon > -99.5f) {
                ++east;
                east_set += img.data[j * 120 + i] != 0;
            }
        }
    EXPECT_EQ(west_set, 0);
    EXPECT_EQ(east_set, east);
    IMG_free(&img);
}

TEST_F(RemapTest, NoProjectionLeavesImage)
{
    LatLonSource s;
    IMG_report img = make_image(200, 100, s.px, s.dom);
    Domain none;
    DOM_init(&none);
    EXPECT_EQ(SAT_remap_image(&img, &none), 0);
    EXPECT_EQ(img.width, 200);
    EXPECT_EQ(std::memcmp(img.data, s.px.data(), s.px.size()), 0);
    IMG_free(&img);
}

// ---- Zoom ----

TEST_F(RemapTest, ZoomByTwoAboutImageCentre)
{
    decode({"-me", "none", "-ge", "640x480"});
    std::vector<unsigned char> px(100 * 100);
    for (int i = 0; i < 100; ++i)
        for (int j = 0; j < 100; ++j) px[i * 100 + j] = static_cast<unsigned char>((i * 31 + j * 17) % 256);
    Domain d;
    DOM_init(&d);
    set_params(20, 0);
    IMG_report img = make_image(100, 100, px, d);
    SAT_zoom_image(&img, kMissingF, kMissingF, 2.0f);
    ASSERT_EQ(img.width, 200);
    ASSERT_EQ(img.height, 200);
    int bad = 0;
    for (int j = 0; j < 200; ++j)
        for (int k = 0; k < 200; ++k) bad += img.data[j * 200 + k] != px[(j / 2) * 100 + k / 2];
    EXPECT_EQ(bad, 0);
    IMG_free(&img);

    // Bilinear: an odd output row lies half-way between two source rows.
    set_params(20, 1);
    img = make_image(100, 100, px, d);
    SAT_zoom_image(&img, kMissingF, kMissingF, 2.0f);
    EXPECT_EQ(img.data[7 * 200 + 10], (px[3 * 100 + 5] + px[4 * 100 + 5]) / 2);
    IMG_free(&img);

    // A zoom larger than the viewport is cut to it.
    img = make_image(100, 100, px, d);
    SAT_zoom_image(&img, kMissingF, kMissingF, 8.0f);
    EXPECT_EQ(img.width, 640);
    EXPECT_EQ(img.height, 480);
    IMG_free(&img);
}

TEST_F(RemapTest, ZoomAboutLatLonCentre)
{
    decode({"-me", "none", "-ge", "640x480"});
    // 100 x 100 latitude-longitude image, 1 degree apart, centre 40N 100W:
    // x_min = -49.5, y_max = 89.5 (degrees relative to plon).
    Domain d;
    DOM_init(&d);
    d.proj = 2;
    d.clat = 40.0f;
    d.clon = -100.0f;
    d.dx = d.dy = 1.0f;
    d.nx = d.ny = 100;
    std::vector<unsigned char> px(100 * 100);
    for (int i = 0; i < 100; ++i)
        for (int j = 0; j < 100; ++j) px[i * 100 + j] = static_cast<unsigned char>(1 + (i * 3 + j * 5) % 250);
    set_params(20, 0);
    SAT_set_tran_sat(0);
    IMG_report img = make_image(100, 100, px, d);
    SAT_zoom_image(&img, 45.0f, -95.0f, 2.0f);
    ASSERT_EQ(img.width, 200);
    // Centre (45N, 95W) is grid (54.5, 44.5): x0 = 4.5, y0 = -5.5.
    EXPECT_EQ(img.data[0], 0);                               // row -5.5
    EXPECT_EQ(img.data[20 * 200 + 0], px[4 * 100 + 4]);      // (4.5, 4.5) snaps down
    EXPECT_EQ(img.data[21 * 200 + 3], px[5 * 100 + 6]);      // (5.0, 6.0)
    EXPECT_FLOAT_EQ(img.domain.clat, 45.0f);
    EXPECT_FLOAT_EQ(img.domain.clon, -95.0f);
    EXPECT_FLOAT_EQ(img.domain.dx, 0.5f);
    EXPECT_EQ(img.domain.nx, 200);
    IMG_free(&img);
}

// ---- Plot domain and pixel offset ----

TEST_F(RemapTest, ImageSetupDomainAndPixelOffset)
{
    LatLonSource s;
    s.px[0] = 250;
    s.px[1] = 0;
    IMG_report img = make_image(200, 100, s.px, s.dom);
    SAT_params p{};
    SAT_get_params(&p);
    p.pix_off = 10;
    SAT_set_params(&p);
    Domain plot;
    SAT_image_setup(&img, &plot);
    EXPECT_EQ(img.data[0], 255);  // clamped
    EXPECT_EQ(img.data[1], 10);
    EXPECT_EQ(img.data[2], std::min(255, s.px[2] + 10));
    EXPECT_EQ(plot.proj, 2);
    EXPECT_EQ(plot.nx, 640);
    EXPECT_EQ(plot.ny, 427);
    EXPECT_FLOAT_EQ(plot.dx, 0.5f);
    // Centre: the middle grid point (319.5, 213) of a 640 x 427 view over the
    // image domain, i.e. x_min + 159.75 and y_max - 106.5 degrees:
    // lon -100 - 49.75 + 159.75, lat 64.75 - 106.5.
    EXPECT_NEAR(plot.clon, -100.0 - 49.75 + 159.75, 1e-3);
    EXPECT_NEAR(plot.clat, 40.0 + 24.75 - 106.5, 1e-3);
    IMG_free(&img);
}

// A picture remapped onto a domain the size of the view must come back with
// that very domain as its plot domain; otherwise every resize or redraw
// (which starts from the plot domain) moves the picture.
TEST_F(RemapTest, ImageSetupOfARemappedImageKeepsItsDomain)
{
    LatLonSource s;
    SAT_set_tran_sat(0);
    set_params(20, 1);
    Domain out;
    DOM_init(&out);
    out.proj = 4;
    out.clat = 41.0f;
    out.clon = -98.0f;
    out.nx = 640;  // the view size without a workstation
    out.ny = 427;
    out.dx = out.dy = 0.05f;
    for (int pass = 0; pass < 3; ++pass) {
        IMG_report img = make_image(200, 100, s.px, s.dom);
        ASSERT_EQ(SAT_remap_image(&img, &out), 1);
        Domain plot;
        SAT_image_setup(&img, &plot);
        EXPECT_NEAR(plot.clat, 41.0, 1e-4) << "pass " << pass;
        EXPECT_NEAR(plot.clon, -98.0, 1e-4) << "pass " << pass;
        EXPECT_EQ(plot.nx, 640);
        EXPECT_EQ(plot.ny, 427);
        out.clat = plot.clat;  // the next re-plot starts from here
        out.clon = plot.clon;
        IMG_free(&img);
    }
}

// ---- Real AREA files ----

std::string area_path(const char* name)
{
    return std::string(ZEM_TESTDATA_DIR) + "/area/" + name;
}

class AreaRemap : public RemapTest {
protected:
    void read(const char* name)
    {
        std::string path = area_path(name);
        if (!std::filesystem::exists(path)) GTEST_SKIP() << "test data not found: " << path;
        ready_ = true;
        FLAG_set(14, 51);
        IMG_init(&img_);
        ASSERT_EQ(SAT_read_file(path.c_str(), &img_), 1) << path;
        src_.assign(img_.data, img_.data + static_cast<std::size_t>(img_.width) * img_.height);
        w_ = img_.width;
        h_ = img_.height;
    }
    void TearDown() override { IMG_free(&img_); }

    // Satellite-navigated source position of output pixel (i, j).
    bool nav_source(const Domain& out, int i, int j, float* r, float* c) const
    {
        float x, y, lat, lon, lin, ele;
        MAP_domain(&out);
        MAP_grid_tran(static_cast<float>(i), static_cast<float>(j), &x, &y);
        if (MAP_untran(x, y, &lat, &lon) == 0) return false;
        AREA_tran(2, &lat, &lon, &lin, &ele);
        if (is_missing(lin) || is_missing(ele)) return false;
        AREA_line_elem(2, lin, ele, r, c);
        *r -= 1.0f;  // image lines count from 1, rows from 0
        *c -= 1.0f;
        return true;
    }

    IMG_report img_{};
    bool ready_ = false;
    std::vector<unsigned char> src_;
    int w_ = 0, h_ = 0;
};

Domain lambert_east()
{
    Domain d;
    DOM_init(&d);
    d.proj = 4;
    d.param[0] = d.param[1] = 25.0f;
    d.clat = 30.0f;
    d.clon = -75.0f;
    d.nx = 25;
    d.ny = 17;
    d.dx = d.dy = 1.0f;
    return d;
}

TEST_F(AreaRemap, GvarImageOntoUsAndLambertMatchesNavigation)
{
    read("cmx3g8_wv_1998.260_0745_mcidas.ara");
    if (!ready_ || HasFatalFailure()) return;
    ASSERT_EQ(img_.domain.proj, 9);
    ASSERT_EQ(SAT_get_tran_sat(), 1);
    Domain us;
    ASSERT_EQ(DOM_get_def_region("us", &us), 1);
    for (const Domain& want : {us, lambert_east()}) {
        for (int ave : {0, 1}) {
            SCOPED_TRACE(testing::Message() << "proj " << want.proj << " ave " << ave);
            set_params(1, ave);
            IMG_report copy;
            IMG_init(&copy);
            IMG_copy(&copy, &img_);
            Domain out = want;
            SAT_domain_image(&out);
            ASSERT_EQ(SAT_remap_image(&copy, &out), 1);
            int checked = 0, covered = 0, worst = 0;
            for (int j = 0; j < out.ny; j += 7)
                for (int i = 0; i < out.nx; i += 7) {
                    float r = -1, c = -1;
                    int expect = nav_source(out, i, j, &r, &c) ? ref_sample(src_, w_, h_, r, c, ave != 0) : 0;
                    int got = copy.data[j * out.nx + i];
                    worst = std::max(worst, std::abs(got - expect));
                    ++checked;
                    covered += r >= 0 && c >= 0 && r <= h_ - 1 && c <= w_ - 1;
                }
            EXPECT_GT(checked, 1000);
            EXPECT_GT(covered, 50) << "the image must overlap the domain";
            EXPECT_LE(worst, ave ? 1 : 0);
            IMG_free(&copy);
        }
    }
}

TEST_F(AreaRemap, GvarIncrementTwentyWithinHalfPixel)
{
    read("cmx3g8_wv_1998.260_0745_mcidas.ara");
    if (!ready_ || HasFatalFailure()) return;
    Domain out = lambert_east();
    SAT_domain_image(&out);
    std::vector<float> r1(out.nx), c1(out.nx), r20(out.nx), c20(out.nx);
    float worst = 0.0f;
    int compared = 0;
    for (int j = 0; j < out.ny; j += 5) {
        set_params(1, 1);
        ASSERT_EQ(SAT_remap_source(&img_, &out, j, r1.data(), c1.data()), 0);
        set_params(20, 1);
        ASSERT_EQ(SAT_remap_source(&img_, &out, j, r20.data(), c20.data()), 0);
        for (int i = 0; i < out.nx; ++i) {
            if (r1[i] < 0 || r20[i] < 0 || r1[i] > h_ - 1 || c1[i] > w_ - 1) continue;
            worst = std::max({worst, std::fabs(r1[i] - r20[i]), std::fabs(c1[i] - c20[i])});
            ++compared;
        }
    }
    EXPECT_GT(compared, 1000);
    EXPECT_LT(worst, 0.5f);
}

TEST_F(AreaRemap, PolarStereographicAreaOntoUs)
{
    read("pngarea");
    if (!ready_ || HasFatalFailure()) return;
    ASSERT_EQ(img_.domain.proj, 1);
    EXPECT_EQ(SAT_get_tran_sat(), 0);  // map-projection navigation
    Domain us;
    ASSERT_EQ(DOM_get_def_region("us", &us), 1);
    set_params(1, 0);
    Domain out = us;
    SAT_domain_image(&out);
    IMG_report copy;
    IMG_init(&copy);
    IMG_copy(&copy, &img_);
    ASSERT_EQ(SAT_remap_image(&copy, &out), 1);
    int mismatches = 0, covered = 0;
    for (int j = 0; j < out.ny; j += 3)
        for (int i = 0; i < out.nx; i += 3) {
            float r = -1, c = -1;
            int expect = projected_source(out, img_.domain, i, j, &r, &c) ? ref_sample(src_, w_, h_, r, c, false) : 0;
            mismatches += copy.data[j * out.nx + i] != expect;
            covered += r >= 0 && c >= 0 && r <= h_ - 1 && c <= w_ - 1;
        }
    EXPECT_EQ(mismatches, 0);
    EXPECT_GT(covered, 100);
    IMG_free(&copy);
}

TEST_F(AreaRemap, PolarStereographicDomainPutsPoleAtNavigatedPixel)
{
    read("pngarea");
    if (!ready_ || HasFatalFailure()) return;
    // The pole's satellite line and element straight from the block.
    std::FILE* f = std::fopen(area_path("pngarea").c_str(), "rb");
    ASSERT_NE(f, nullptr);
    MC_area area{};
    ASSERT_EQ(SAT_read_AREA(f, &area), 0);
    std::fclose(f);
    ASSERT_NE(area.navps, nullptr);
    const MC_area_dir& dir = *area.dir;
    const double pole_elem = (area.navps->npelem - dir.ecor) / static_cast<double>(dir.eres);
    const double pole_line = (area.navps->npline - dir.lcor) / static_cast<double>(dir.lres);
    const float west_lon = area.navps->nrmlon / 10000.0f;  // west positive in the block
    SAT_free_AREA(&area);
    // The same point through the image domain worked out at read time.
    float x, y, gx, gy;
    MAP_domain(&img_.domain);
    ASSERT_EQ(MAP_tran(90.0f, 0.0f, &x, &y), 1);
    MAP_grid_untran(x, y, &gx, &gy);
    EXPECT_NEAR(gx, pole_elem, 1.0);
    EXPECT_NEAR(gy, pole_line, 1.0);
    EXPECT_EQ(img_.domain.nx, w_);
    EXPECT_EQ(img_.domain.ny, h_);
    EXPECT_FLOAT_EQ(img_.domain.plon, -west_lon);
}

TEST_F(AreaRemap, ZoomRetargetsNavigation)
{
    read("cmx3g8_wv_1998.260_0745_mcidas.ara");
    if (!ready_ || HasFatalFailure()) return;
    decode({"-me", "none", "-ge", "400x300"});
    // Latitude and longitude of image pixel (100, 900).
    float lin, ele, lat, lon;
    AREA_line_elem(1, 100.0f, 900.0f, &lin, &ele);
    AREA_tran(1, &lat, &lon, &lin, &ele);
    ASSERT_FALSE(is_missing(lat));
    // Its image position as the zoom finds it (navigation inverse).
    float slat = lat, slon = lon, sl, se, il, ie;
    AREA_tran(2, &slat, &slon, &sl, &se);
    AREA_line_elem(2, sl, se, &il, &ie);
    const int expect = ref_sample(src_, w_, h_, il - 1.0f, ie - 1.0f, false);
    set_params(20, 0);
    SAT_zoom_image(&img_, lat, lon, 2.0f);
    ASSERT_EQ(img_.width, 400);
    ASSERT_EQ(img_.height, 300);
    EXPECT_FLOAT_EQ(img_.domain.clat, lat);
    // The zoomed image's centre pixel navigates back to that point, and it
    // shows the source pixel found there.
    float zl, ze, zlat, zlon;
    AREA_line_elem(1, 150.0f, 200.0f, &zl, &ze);
    AREA_tran(1, &zlat, &zlon, &zl, &ze);
    EXPECT_NEAR(zlat, lat, 0.1);
    EXPECT_NEAR(zlon, lon, 0.1);
    // Output (150, 200) lies half the new size / zoom (75, 100) past the
    // start offsets, i.e. on that position.
    EXPECT_NEAR(il, 100.0f, 1.0f);
    EXPECT_EQ(img_.data[150 * 400 + 200], expect);
}

// A zoom whose result would be empty (here 1/10000 of the image) changes
// nothing: neither the pixels nor the navigation, which must keep
// describing the pixels the record still holds.
TEST_F(AreaRemap, FailedZoomLeavesNavigationAlone)
{
    read("cmx3g8_wv_1998.260_0745_mcidas.ara");
    if (!ready_ || HasFatalFailure()) return;
    float l0 = 0, e0 = 0;
    AREA_line_elem(1, 10.0f, 20.0f, &l0, &e0);
    const float yoff = img_.yoff, xoff = img_.xoff;
    EXPECT_EQ(SAT_zoom_image(&img_, kMissingF, kMissingF, 1e-4f), 0);
    EXPECT_EQ(img_.width, w_);
    EXPECT_EQ(img_.height, h_);
    float l1 = 0, e1 = 0;
    AREA_line_elem(1, 10.0f, 20.0f, &l1, &e1);
    EXPECT_FLOAT_EQ(l1, l0);
    EXPECT_FLOAT_EQ(e1, e0);
    EXPECT_FLOAT_EQ(img_.yoff, yoff);
    EXPECT_FLOAT_EQ(img_.xoff, xoff);
}

}  // namespace
