// Remapping, zoom, plot-domain set-up and the remap cache of loop frames.
// Expected pixels come from an independent re-computation: each output
// pixel located through the point-wise projection and navigation calls and
// sampled by a plain bilinear/nearest formula, against the remapper's
// row-wise machinery.
#include "zem_test.h"

#include <algorithm>
#include <cstring>
#include <tuple>

#include "flag.h"
#include "img_tool.h"
#include "maptran.h"
#include "resrc.h"
#include "sat_tool.h"
#include "sat_tran.h"
#include "tools.h"

namespace {

using Pixels = std::vector<unsigned char>;

// remap_inc, pix_ave, the class bound b1 (> 0: classes [0, b1), [b1, 2 b1),
// [2 b1, 256) with base value 0, as "cutoff=0:b1:2b1" gives them) and the
// western longitude window.
struct Mode { int inc, ave, b1; float min_lon; };

void set_params(const Mode& m, int pix_off = 0) {
    SAT_reset_params();
    SAT_params p{};
    SAT_get_params(&p);
    p.remap_inc = m.inc;
    p.pix_ave = m.ave;
    p.min_lon = m.min_lon;
    p.pix_off = pix_off;
    p.numcut = m.b1 > 0 ? 2 : 0;
    const int cut[] = {0, m.b1, 2 * m.b1, 256};
    std::copy(cut, cut + 4, p.cutoff);
    SAT_set_params(&p);
}

// An 8-bit image of `px` on domain `d`, as a satellite reader makes it.
struct Image : zt::Image {
    IMG_report& img = rec;
    Image(int w, int h, const Pixels& px, const Domain& d) : zt::Image(w, h, px) {
        img.domain = d;
        img.source = 59;
    }
};

using zt::dom;

// A full disk of 600 x 600 pixels in the satellite view (`width` columns of
// it), with counts that differ by frame.
constexpr int kDisk = 600;
IMG_report disk(int shift, int width = kDisk) {
    Pixels px(static_cast<std::size_t>(width) * kDisk);
    for (std::size_t k = 0; k < px.size(); ++k)
        px[k] = static_cast<unsigned char>((k / width * 7 + k % width * 3 + shift) & 255);
    const Image tmp(width, kDisk, px, dom("sat:e:0:-75:421.64:1,0,-75," + std::to_string(width) + ",600,0.2134,0.2134"));
    IMG_report r;
    IMG_init(&r);
    IMG_copy(&r, &tmp.img);
    return r;
}
const char* const kLambert = "lamb:::25:25,38,-95,300,200,0.2,0.2";

// Plain bilinear or nearest sample (no classes), edge pixels replicated.
int ref_sample(const Pixels& px, int w, int h, float r, float c, bool ave) {
    if (!(r >= 0.0f) || !(c >= 0.0f) || r > h - 1 || c > w - 1) return 0;
    const int i = static_cast<int>(r), j = static_cast<int>(c);
    const int i1 = std::min(i + 1, h - 1), j1 = std::min(j + 1, w - 1);
    float fy = r - i, fx = c - j;
    if (!ave) {
        fx = fx > 0.5f ? 1.0f : 0.0f;
        fy = fy > 0.5f ? 1.0f : 0.0f;
    }
    return static_cast<int>((1 - fy) * (1 - fx) * px[i * w + j] + (1 - fy) * fx * px[i * w + j1] +
                            fy * (1 - fx) * px[i1 * w + j] + fy * fx * px[i1 * w + j1]);
}

// Source row and column of output pixel (i, j) and its longitude: the grid
// point to earth, then to the image through its map grid.
bool ref_source(const Domain& out, const Domain& src, int i, int j, float* r, float* c, float* lon) {
    float x, y, lat, sx, sy;
    MAP_domain(&out);
    MAP_grid_tran(static_cast<float>(i), static_cast<float>(j), &x, &y);
    if (MAP_untran(x, y, &lat, lon) == 0) return false;
    MAP_domain(&src);
    return MAP_tran(lat, *lon, &sx, &sy) != 0 && MAP_grid_untran(sx, sy, c, r) == 0;
}

// Remaps a copy of `src` (pixels `px`) onto `out` in mode `m` and checks
// every `step`-th row and column: each pixel is the single-pixel sample at
// the position the remapper reports for it; positions equal the point-wise
// ones (remap 1, remap 0 which uses the projections only, and every segment
// start) or lie within half a source pixel of them (inside a segment);
// pixels west of the window are 0; without classes exact positions give the
// plain sample (within 1 when averaging). Returns the pixels with a source.
int expect_remap(const IMG_report& src, const Pixels& px, Domain out, const Mode& m, int step) {
    SCOPED_TRACE(testing::Message() << "remap " << m.inc << " ave " << m.ave << " classes " << m.b1);
    set_params(m);
    IMG_report copy;
    IMG_init(&copy);
    IMG_copy(&copy, &src);
    EXPECT_EQ(SAT_remap_image(&copy, &out), 1);
    std::vector<float> r(out.nx), c(out.nx);
    int inside = 0;
    float worst = 0;
    for (int j = 0; j < out.ny; j += step) {
        std::fill(r.begin(), r.end(), -7.0f);  // every column must get a position
        EXPECT_EQ(SAT_remap_source(&src, &out, j, r.data(), c.data()), 0);
        for (int i = 0; i < out.nx; i += step) {
            const int got = zt::pixel(copy, i, j);
            EXPECT_NE(r[i], -7.0f) << i << " " << j;
            EXPECT_EQ(got, SAT_sample_pixel(&src, r[i], c[i])) << i << " " << j;
            float rr = -1, rc = -1, lon = 0;
            if (!ref_source(out, src.domain, i, j, &rr, &rc, &lon) || rr < 0 || rc < 0 ||
                rr > src.height - 1 || rc > src.width - 1)
                continue;
            const float dev = std::max(std::fabs(r[i] - rr), std::fabs(c[i] - rc));
            const bool exact = m.inc <= 1 || i % m.inc == 0, masked = lon < m.min_lon;
            inside += !masked;
            if (!exact && !masked) worst = std::max(worst, dev);
            if (masked) {
                EXPECT_EQ(got, 0) << i << " " << j;
            } else if (exact) {
                EXPECT_LT(dev, 1e-3) << i << " " << j;
            }
            if (!masked && m.b1 == 0 && m.inc <= 1) {
                EXPECT_NEAR(got, ref_sample(px, src.width, src.height, rr, rc, m.ave), m.ave) << i << " " << j;
            }
        }
    }
    EXPECT_LT(worst, 0.5f);
    if (m.inc > 1) { EXPECT_GT(worst, 0.0f); }  // the interpolation did run
    IMG_free(&copy);
    return inside;
}

class RemapTest : public ::testing::Test {
protected:
    void SetUp() override {
        RES_clear();  // no "geometry": the view is 640 x 427
        SAT_set_tran_sat(1);
    }
    void TearDown() override { RES_clear(); }
    zt::MessCapture quiet_;
};

TEST_F(RemapTest, SamplePixels) {
    // 3 x 3 [[0, 100, 9], [200, 40, 9], [9, 9, 9]]; 2 x 2 blocks with the
    // classes 0 / 100 / 200: 0 0 150 160 is one class with the base (the
    // zeros read as 100, a result of exactly 100 stored as 0), 50 150 160 170
    // is mixed (nearest neighbour).
    const Pixels a = {0, 100, 9, 200, 40, 9, 9, 9, 9}, one = {0, 0, 150, 160}, mixed = {50, 150, 160, 170};
    const struct { const Pixels* px; int ave, b1; float r, c; int want; } rows[] = {
        {&a, 1, 0, 0.5f, 0.25f, 92},  // .5 .75 0 + .5 .25 100 + .5 .75 200 + .5 .25 40 = 92.5
        {&a, 0, 0, 0.5f, 0.25f, 0},   // fractions of 0.5 snap down, above it up
        {&a, 0, 0, 0.6f, 0.75f, 40},       {&a, 0, 0, 0.0f, 0.51f, 100},      {&a, 0, 0, 1.7f, 1.3f, 9},
        {&a, 1, 0, 2.0f, 2.0f, 9},         {&a, 1, 0, -0.01f, 1.0f, 0},       {&a, 1, 0, 2.01f, 1.0f, 0},
        {&a, 1, 0, 1.0f, 2.001f, 0},       {&a, 1, 0, NAN, 1.0f, 0},          // the last line is inside
        {&one, 1, 100, 0.5f, 0.5f, 127},   {&one, 1, 100, 0.0f, 0.0f, 0},     // (100 + 100 + 150 + 160) / 4
        {&mixed, 1, 100, 0.4f, 0.4f, 50},  {&mixed, 1, 100, 0.6f, 0.6f, 170},
        {&mixed, 1, 0, 0.4f, 0.4f, 119},   // .36 50 + .24 150 + .24 160 + .16 170 = 119.6
    };
    Domain d;
    DOM_init(&d);
    for (const auto& r : rows) {
        set_params({20, r.ave, r.b1, kMissingF});
        const int w = r.px->size() == 9 ? 3 : 2;
        Image img(w, w, *r.px, d);
        EXPECT_EQ(SAT_sample_pixel(&img.img, r.r, r.c), r.want) << r.r << " " << r.c << " ave " << r.ave;
    }
}

// One pixel per view pixel: 640 x 427 without a device or "geometry".
TEST_F(RemapTest, DomainSizedToDefaultOrGeometry) {
    Domain d, none;
    DOM_get_def_region("us", &d);
    SAT_domain_image(&d);
    zt::expect_domain(d, "pstereo::-97.000:::,39.000,-97.000,640,427,0.0864,0.0864\n");  // 24 x 2.3 / 639
    RES_put("geometry", "300x200+10+10");
    DOM_init(&none);
    SAT_domain_image(&d);
    SAT_domain_image(&none);
    EXPECT_TRUE(d.nx == 300 && d.ny == 200 && none.nx == kMissing);
}

// A 200 x 100 latitude-longitude image, half a degree apart, 40N 100W at
// its centre (50W at its eastern edge); every pixel differs from its
// neighbours, and zeros are spread through it so that four-equal and class
// neighbourhoods occur next to averaged ones.
struct LatLonSource {
    Domain dom = zt::dom("ll:0:-100,40,-100,200,100,0.5,0.5");
    Pixels px = Pixels(200 * 100);
    LatLonSource() {
        for (int i = 0; i < 100; ++i)
            for (int j = 0; j < 200; ++j) px[i * 200 + j] = static_cast<unsigned char>(1 + (i * 7 + j * 13) % 250);
        for (std::size_t k = 0; k < px.size(); k += 3)
            if ((k / 200) % 4 == 0) px[k] = 0;
    }
};

// Every mode onto a polar stereographic domain of 300 x 40 pixels, 40 km
// apart, reaching past the image's eastern edge (more than one sampling
// block per row), and a window at 100W. The new record is the domain's.
TEST_F(RemapTest, ProjectedImageEveryMode) {
    LatLonSource s;
    Image src(200, 100, s.px, s.dom);
    SAT_set_tran_sat(0);
    Domain out = dom("ps,40,-85,300,40,0.4,0.4");
    const Mode modes[] = {{1, 0, 0, kMissingF}, {1, 1, 0, kMissingF},  {0, 1, 0, kMissingF},  {20, 1, 0, kMissingF},
                          {7, 0, 0, kMissingF}, {7, 1, 0, kMissingF},  {7, 0, 90, kMissingF}, {7, 1, 90, kMissingF},
                          {1, 0, 0, -100.0f}};
    for (const Mode& m : modes) {
        const int inside = expect_remap(src.img, s.px, out, m, 1);
        EXPECT_TRUE(inside > 2000 && inside < 300 * 40 - 2000) << inside;  // and positions off the image
    }
    Image img(200, 100, s.px, s.dom);
    ASSERT_EQ(SAT_remap_image(&img.img, &out), 1);
    EXPECT_TRUE(img.img.source == 50 && img.img.width == 300 && img.img.height == 40 && img.img.bytes_line == 300);
    zt::expect_domain(img.img.domain, "pstereo::-85.000:::,40.000,-85.000,300,40,0.4000,0.4000\n");  // plon = clon
    out.proj = -9999;  // no projection: nothing changes
    EXPECT_TRUE(SAT_remap_image(&img.img, &out) == 0 && img.img.width == 300);
}

// The full disk through the satellite-view projection: onto a Lambert
// domain (every 20th column and every column located), one reaching past
// the limb (columns placed one by one next to it), and an output four times
// finer over the image's right edge, where bilinear sampling meets the last
// column.
TEST_F(RemapTest, SatelliteViewImage) {
    SAT_set_tran_sat(0);
    IMG_report src = disk(3);
    const Pixels px(src.data, src.data + kDisk * kDisk);
    const std::pair<const char*, Mode> cases[] = {
        {kLambert, {20, 1, 0, kMissingF}}, {kLambert, {1, 0, 0, kMissingF}},
        {"lamb:::25:25,38,-150,300,200,0.2,0.2", {20, 1, 0, kMissingF}},
        {"sat:e:0:-75:421.64:1,0,0,240,160,0.05335,0.05335", {1, 1, 0, kMissingF}}};
    for (const auto& [out, m] : cases) {
        SCOPED_TRACE(out);
        EXPECT_GT(expect_remap(src, px, dom(out), m, 1), 3000);
    }
    IMG_free(&src);
}

// Zoom 2 of a 100 x 100 image in a 640 x 480 view gives 200 x 200 whose
// row j samples source row j / 2 (nearest), an odd row lies half-way
// (bilinear), and a zoom beyond the view is cut to it; about a centre of a
// latitude-longitude image the offsets put that centre in the middle.
TEST_F(RemapTest, Zoom) {
    RES_put("geometry", "640x480");
    Pixels px(100 * 100);
    for (int i = 0; i < 100; ++i)
        for (int j = 0; j < 100; ++j) px[i * 100 + j] = static_cast<unsigned char>((i * 31 + j * 17) % 256);
    Domain none, ll = dom("ll:0:-100,40,-100,100,100,1,1");
    DOM_init(&none);
    set_params({20, 0, 0, kMissingF});
    Image a(100, 100, px, none), z(100, 100, px, ll);
    SAT_zoom_image(&a.img, kMissingF, kMissingF, 2.0f);
    ASSERT_TRUE(a.img.width == 200 && a.img.height == 200);
    int bad = 0;
    for (int j = 0; j < 200; ++j)
        for (int k = 0; k < 200; ++k) bad += zt::pixel(a.img, k, j) != px[(j / 2) * 100 + k / 2];
    EXPECT_EQ(bad, 0);
    // 1 degree apart, centre 40N 100W: 45N 95W is grid (54.5, 44.5), so the
    // zoomed image starts at x0 = 4.5, y0 = -5.5.
    SAT_set_tran_sat(0);
    SAT_zoom_image(&z.img, 45.0f, -95.0f, 2.0f);
    zt::expect_pixels(z.img, {{0, 0, 0}, {0, 20, px[4 * 100 + 4]}, {3, 21, px[5 * 100 + 6]}});
    zt::expect_domain(z.img.domain, "latlon:0.000:-100.000:::,45.000,-95.000,200,200,0.5000,0.5000\n");
    set_params({20, 1, 0, kMissingF});
    Image b(100, 100, px, none), big(100, 100, px, none);
    SAT_zoom_image(&b.img, kMissingF, kMissingF, 2.0f);
    zt::expect_pixels(b.img, {{10, 7, (px[3 * 100 + 5] + px[4 * 100 + 5]) / 2}});
    SAT_zoom_image(&big.img, kMissingF, kMissingF, 8.0f);
    EXPECT_TRUE(big.img.width == 640 && big.img.height == 480);
    // Without a centre the zoom enlarges about the image centre, whatever
    // part of the enlargement a 320 x 200 view holds: its middle pixel shows
    // the middle row and column of ramps across and down.
    RES_put("geometry", "320x200");
    set_params({20, 0, 0, kMissingF});
    for (auto [size, zoom] : {std::pair{100, 2.0f}, {100, 4.0f}, {101, 3.0f}, {60, 2.0f}})
        for (bool down : {false, true}) {
            Pixels ramp(size * size);
            for (int k = 0; k < size * size; ++k) ramp[k] = static_cast<unsigned char>(down ? k / size : k % size);
            Image r(size, size, ramp, none);
            EXPECT_EQ(SAT_zoom_image(&r.img, kMissingF, kMissingF, zoom), 0);
            EXPECT_NEAR(zt::pixel(r.img, r.img.width / 2, r.img.height / 2), size / 2, 1) << size << " x" << zoom << down;
        }
}

// The plot domain is the view over the image domain centred on the view's
// middle grid point; a picture remapped onto a domain the size of the view
// comes back with that very domain, so re-plots do not creep. pix_off is
// added to every pixel, clamped.
TEST_F(RemapTest, ImageSetup) {
    LatLonSource s;
    std::tie(s.px[0], s.px[1]) = std::make_pair(250, 0);
    Image img(200, 100, s.px, s.dom);
    set_params({20, 1, 0, kMissingF}, 10);
    Domain plot;
    SAT_image_setup(&img.img, &plot);
    zt::expect_pixels(img.img, {{0, 0, 255}, {1, 0, 10}, {2, 0, std::min(255, s.px[2] + 10)}});
    // The middle grid point (319.5, 213) of a 640 x 427 view: x_min + 159.75
    // and y_max - 106.5 degrees from the image domain's corner (-149.75, 64.75).
    zt::expect_domain(plot, "latlon:0.000:-100.000:::,-41.750,10.000,640,427,0.5000,0.5000\n");
    SAT_set_tran_sat(0);
    set_params({20, 1, 0, kMissingF});
    Domain out = dom("lamb,41,-98,640,427,0.05,0.05");
    for (int pass = 0; pass < 3; ++pass) {
        Image im(200, 100, s.px, s.dom);
        ASSERT_EQ(SAT_remap_image(&im.img, &out), 1);
        SAT_image_setup(&im.img, &plot);
        EXPECT_LT(std::hypot(plot.clat - 41.0, plot.clon + 98.0), 1e-4) << pass << ": " << plot.clat << plot.clon;
        std::tie(out.clat, out.clon) = std::tie(plot.clat, plot.clon);  // the next re-plot starts from here
    }
}

// ---- Real AREA files ----

class AreaRemap : public RemapTest {
protected:
    void read(const char* name) {
        const std::string path = zt::testdata(std::string("area/") + name);
        ZT_NEED_DATA(path);
        FLAG_set(14, 51);
        IMG_init(&img_);
        ASSERT_EQ(SAT_read_file(path.c_str(), &img_), 1) << path;
        px_.assign(img_.data, img_.data + static_cast<std::size_t>(img_.width) * img_.height);
    }
    void TearDown() override { IMG_free(&img_); }
    IMG_report img_{};
    Pixels px_;
};

// The GOES-8 image remapped onto "us" (nearest neighbour, every pixel
// navigated) against a remap done here: each output pixel's latitude and
// longitude go through PROJ's geos built from the file's own reference
// longitude and nadir cycles to a satellite line and element, and the
// source row is (line - lcor) / lres, the column (element - ecor) / eres,
// from the file's directory.
TEST_F(AreaRemap, GvarImageOntoUsAgreesWithProjGeos) {
    if (!zt::have_tool("proj")) GTEST_SKIP() << "proj (proj-bin) not installed";
    read("cmx3g8_wv_1998.260_0745_mcidas.ara");
    if (IsSkipped() || HasFatalFailure()) return;
    MC_area area{};
    ASSERT_EQ(zt::read_area(zt::testdata("area/cmx3g8_wv_1998.260_0745_mcidas.ara"), &area), 0);
    const MC_area_dir dir = *area.dir;
    const MC_nav_gvar nav = *area.navgv;
    SAT_free_AREA(&area);
    const int w = img_.width, h = img_.height;
    RES_put("geometry", "320x200");
    set_params({1, 0, 0, kMissingF});
    Domain us;
    ASSERT_EQ(DOM_get_def_region("us", &us), 1);
    SAT_domain_image(&us);
    ASSERT_EQ(SAT_remap_image(&img_, &us), 1);
    std::vector<std::pair<double, double>> lonlat;
    std::vector<int> at;
    MAP_domain(&us);
    for (int j = 0; j < us.ny; j += 3)
        for (int i = 0; i < us.nx; i += 3) {
            float x = 0, y = 0, lat = 0, lon = 0;
            MAP_grid_tran(static_cast<float>(i), static_cast<float>(j), &x, &y);
            if (MAP_untran(x, y, &lat, &lon) == 0) continue;
            lonlat.emplace_back(lon, lat);
            at.push_back(j * us.nx + i);
        }
    const double hgt = 42164365.0 - 6378388.0;
    char args[200];
    std::snprintf(args, sizeof args, "+proj=geos +h=%.0f +a=6378388 +b=6357003.458 +lon_0=%.8f +sweep=x", hgt,
                  nav.reflon / 1e7 * 180.0 / 3.14159265358979);
    const auto xy = zt::proj(args, lonlat);
    ASSERT_EQ(xy.size(), lonlat.size());
    // Nadir: elevation and scan angles of the frame's first line and element.
    const double ebnd = (6136.0 * nav.iofnc + nav.iofni) * 8e-6, sbnd = (6136.0 * nav.iofec + nav.iofei) * 1.6e-5;
    int inside = 0, same = 0;
    for (std::size_t k = 0; k < xy.size(); ++k) {
        if (std::isnan(xy[k].first)) continue;
        const double line = 4.5 + (ebnd - xy[k].second / hgt) / 2.8e-5, elem = 1.0 + (xy[k].first / hgt + sbnd) / 1.6e-5;
        const long r = std::lround((line - dir.lcor) / dir.lres), c = std::lround((elem - dir.ecor) / dir.eres);
        if (r < 1 || c < 1 || r >= h - 1 || c >= w - 1) continue;
        ++inside;
        same += img_.data[at[k]] == px_[static_cast<std::size_t>(r) * w + static_cast<std::size_t>(c)];
    }
    ASSERT_GT(inside, 1000);
    EXPECT_GT(same, inside * 99 / 100) << same << " of " << inside << " pixels agree";
}

// Satellite navigation is decided for each file: a map-type image read
// before a three-axis one must not leave it remapped through the
// approximate satellite-view grid; "tran_zem" still switches it off.
TEST_F(AreaRemap, SatelliteNavigationDecidedPerFile) {
    const char *goes = "cmx3g8_wv_1998.260_0745_mcidas.ara", *ps = "pngarea";
    const struct { const char* pp; std::vector<const char*> files; int want; } cases[] = {
        {"", {goes}, 1}, {"", {ps}, 0}, {"", {ps, goes}, 1}, {"tran_zem", {goes}, 0}, {"tran_zem", {ps, goes}, 0}};
    for (const auto& c : cases) {
        RES_clear();
        RES_put("plot_param", c.pp);
        SAT_reset_params();
        SAT_plot_param();
        for (const char* f : c.files) {
            IMG_free(&img_);
            read(f);
            if (IsSkipped() || HasFatalFailure()) return;
        }
        EXPECT_EQ(SAT_get_tran_sat(), c.want) << c.pp << " " << c.files.size() << " files";
    }
    SAT_reset_params();  // "tran_zem" off again for the tests after this one
}

// Zooming a navigated image about a point re-targets the navigation: the
// zoomed centre pixel navigates back to that point and shows the source
// pixel there. A zoom whose result would be empty changes nothing.
TEST_F(AreaRemap, ZoomRetargetsNavigation) {
    read("cmx3g8_wv_1998.260_0745_mcidas.ara");
    if (IsSkipped() || HasFatalFailure()) return;
    RES_put("geometry", "400x300");
    const int w = img_.width, h = img_.height;
    float l0, e0, l1, e1, yoff = img_.yoff;
    AREA_line_elem(1, 10.0f, 20.0f, &l0, &e0);
    EXPECT_EQ(SAT_zoom_image(&img_, kMissingF, kMissingF, 1e-4f), 0);
    AREA_line_elem(1, 10.0f, 20.0f, &l1, &e1);
    EXPECT_TRUE(img_.width == w && l1 == l0 && e1 == e0 && img_.yoff == yoff);
    float lin, ele, lat, lon, sl, se, il, ie, zlat, zlon;
    AREA_line_elem(1, 100.0f, 900.0f, &lin, &ele);
    AREA_tran(1, &lat, &lon, &lin, &ele);
    ASSERT_FALSE(is_missing(lat));
    float slat = lat, slon = lon;
    AREA_tran(2, &slat, &slon, &sl, &se);
    AREA_line_elem(2, sl, se, &il, &ie);
    EXPECT_NEAR(il, 100.0f, 1.0f);
    const int expect = ref_sample(px_, w, h, il - 1.0f, ie - 1.0f, false);
    set_params({20, 0, 0, kMissingF});
    SAT_zoom_image(&img_, lat, lon, 2.0f);
    ASSERT_TRUE(img_.width == 400 && img_.height == 300);
    EXPECT_FLOAT_EQ(img_.domain.clat, lat);
    AREA_line_elem(1, 150.0f, 200.0f, &lin, &ele);
    AREA_tran(1, &zlat, &zlon, &lin, &ele);
    EXPECT_LT(std::hypot(zlat - lat, zlon - lon), 0.1) << zlat << " " << zlon;
    EXPECT_EQ(zt::pixel(img_, 200, 150), expect);
}

// ---- Remap cache of loop frames ----

// A loop frame reuses the source positions of the last frame only when
// nothing they depend on has changed: each case remaps a first frame,
// changes one thing (or nothing) for the second, and checks that the
// positions were reused or not, and that the second frame's pixels equal a
// remap that computes everything afresh (which keeps nothing).
std::vector<unsigned char> remap(IMG_report img, Domain out, bool fresh) {
    if (fresh) SAT_remap_cache(0);
    EXPECT_EQ(SAT_remap_image(&img, &out), 1);
    const std::vector<unsigned char> px(img.data, img.data + static_cast<std::size_t>(img.width) * img.height);
    IMG_free(&img);
    SAT_remap_cache(1);
    return px;
}

struct Change {
    const char* name;
    std::function<void(IMG_report&, Domain&)> second;  // applied to frame 2
    bool reused;
};

const Change kChanges[] = {
    {"same_navigation", [](IMG_report&, Domain&) {}, true},
    {"image_domain_spacing", [](IMG_report& i, Domain&) { i.domain.dx *= 1.0001f; }, false},
    {"image_subpoint", [](IMG_report& i, Domain&) { i.domain.plon = -75.2f; }, false},
    {"output_centre", [](IMG_report&, Domain& o) { o.clat = 38.5f; }, false},
    {"output_size", [](IMG_report&, Domain& o) { o.nx = 301; }, false},
    {"image_size",
     [](IMG_report& i, Domain&) {
         IMG_free(&i);
         i = disk(5, kDisk - 2);
         i.domain.nx = kDisk;  // same domain, narrower buffer
     },
     false},
};

class RemapCache : public ::testing::TestWithParam<Change> {
protected:
    void SetUp() override {
        SAT_reset_params();
        SAT_set_tran_sat(0);
        SAT_remap_cache(0);
        SAT_remap_cache(1);
    }
    zt::MessCapture quiet_;
};

TEST_P(RemapCache, ReusedOnlyWhenNothingChanged) {
    const int hits0 = SAT_remap_cache(1);
    const std::vector<unsigned char> first = remap(disk(0), dom(kLambert), false);
    IMG_report img = disk(99), copy;
    Domain out = dom(kLambert);
    GetParam().second(img, out);
    IMG_init(&copy);
    IMG_copy(&copy, &img);
    const std::vector<unsigned char> second = remap(img, out, false);
    EXPECT_EQ(SAT_remap_cache(1) - hits0, GetParam().reused ? 1 : 0);
    EXPECT_EQ(second, remap(copy, out, true));
    EXPECT_NE(second, first);  // new counts really went through
}

INSTANTIATE_TEST_SUITE_P(Changes, RemapCache, ::testing::ValuesIn(kChanges),
                         [](const auto& info) { return std::string(info.param.name); });

// Satellite navigation: the real GVAR file remapped twice reuses the
// positions; once its navigation is moved to other pixels (as a zoom does)
// they are computed again, and each result equals a fresh remap.
TEST_F(AreaRemap, CacheFollowsTheNavigation) {
    read("cmx3g8_wv_1998.260_0745_mcidas.ara");
    if (IsSkipped() || HasFatalFailure()) return;
    SAT_reset_params();
    const Domain us = dom("ps::-97,39,-97,320,240,0.12,0.12");
    auto remap_src = [&](bool fresh) {
        IMG_report img;
        IMG_init(&img);
        IMG_copy(&img, &img_);
        return remap(img, us, fresh);
    };
    SAT_remap_cache(0);
    const int hits0 = SAT_remap_cache(1);
    remap_src(false);
    const std::vector<unsigned char> again = remap_src(false);
    EXPECT_EQ(SAT_remap_cache(1) - hits0, 1);
    EXPECT_EQ(again, remap_src(true));
    float l0 = 0.0f, e0 = 0.0f, l1 = 0.0f, e1 = 0.0f;
    AREA_line_elem(1, 0.0f, 0.0f, &l0, &e0);
    AREA_line_elem(1, 1.0f, 1.0f, &l1, &e1);
    AREA_set_res(l0 + 1.0f + 40.0f * (l1 - l0), e0 + 1.0f, l1 - l0, e1 - e0);  // 40 lines down
    remap_src(false);
    const std::vector<unsigned char> moved = remap_src(false);
    EXPECT_EQ(SAT_remap_cache(1) - hits0, 2);  // the first after the move computed afresh
    EXPECT_NE(moved, again);
    EXPECT_EQ(moved, remap_src(true));
}

}  // namespace
