// Where remapped and zoomed pixels come from: the real GOES-8 image remapped
// onto "us" against an independent remap through PROJ's geos, satellite
// navigation decided per file, and zooms about the image centre.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "flag.h"
#include "img_tool.h"
#include "maptran.h"
#include "resrc.h"
#include "sat_read.h"
#include "sat_tool.h"
#include "sat_tran.h"
#include "tools.h"
#include "zem_test.h"

namespace {

constexpr const char* kGoes8 = "area/cmx3g8_wv_1998.260_0745_mcidas.ara";

void remap_settings(int inc, int ave, const char* plot_param = nullptr)
{
    SAT_reset_params();
    std::vector<std::string> args = {"test", "-me", "none", "-ge", "320x200"};
    if (plot_param != nullptr) args.insert(args.end(), {"-pp", plot_param});
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    const res_type keys[] = {RES_message, RES_geometry, RES_plot_param, RES_null};
    const res_type pos[] = {RES_filenames, RES_null};
    RES_init(static_cast<int>(argv.size()), argv.data(), keys, pos);
    SAT_plot_param();
    SAT_params p{};
    SAT_get_params(&p);
    p.remap_inc = inc;
    p.pix_ave = ave;
    SAT_set_params(&p);
}

struct Image {
    IMG_report r{};
    Image() { IMG_init(&r); }
    ~Image() { IMG_free(&r); }
};

bool read_image(const std::string& path, Image& img)
{
    FLAG_set(FLAG_INPUT, kFormatArea);
    return SAT_read_file(path.c_str(), &img.r) == 1;
}

// The GOES-8 water-vapour image remapped onto "us" (nearest neighbour, every
// pixel navigated) against a remap done here: each output pixel's latitude
// and longitude go through PROJ's geos built from the file's own reference
// longitude and nadir cycles to a satellite line and element, and the
// source row is (line - lcor) / lres, the column (element - ecor) / eres,
// from the file's directory.
TEST(RemapRows, GoesImageOntoUsAgreesWithProjGeos)
{
    const std::string path = zt::testdata(kGoes8);
    ZT_NEED_DATA(path);
    if (!zt::have_tool("proj")) GTEST_SKIP() << "proj (proj-bin) not installed";
    MC_area area{};
    {
        std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "rb"), &std::fclose);
        ASSERT_TRUE(f);
        ASSERT_EQ(SAT_read_AREA(f.get(), &area), 0);
    }
    const MC_area_dir dir = *area.dir;
    const MC_nav_gvar nav = *area.navgv;
    SAT_free_AREA(&area);

    remap_settings(1, 0);
    Image img;
    ASSERT_TRUE(read_image(path, img));
    const int w = img.r.width, h = img.r.height;
    const std::vector<unsigned char> src(img.r.data, img.r.data + static_cast<std::size_t>(w) * h);
    Domain us;
    ASSERT_EQ(DOM_get_def_region("us", &us), 1);
    SAT_domain_image(&us);
    ASSERT_EQ(SAT_remap_image(&img.r, &us), 1);

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
    std::snprintf(args, sizeof args, "+proj=geos +h=%.0f +a=6378388 +b=6357003.458 +lon_0=%.8f +sweep=x",
                  hgt, nav.reflon / 1e7 * 180.0 / 3.14159265358979);
    const auto xy = zt::proj(args, lonlat);
    ASSERT_EQ(xy.size(), lonlat.size());
    // Nadir: elevation and scan angles of the frame's first line and element.
    const double ebnd = (6136.0 * nav.iofnc + nav.iofni) * 8e-6;
    const double sbnd = (6136.0 * nav.iofec + nav.iofei) * 1.6e-5;
    int inside = 0, same = 0;
    for (std::size_t k = 0; k < xy.size(); ++k) {
        if (std::isnan(xy[k].first)) continue;
        const double line = 4.5 + (ebnd - xy[k].second / hgt) / 2.8e-5;
        const double elem = 1.0 + (xy[k].first / hgt + sbnd) / 1.6e-5;
        const long r = std::lround((line - dir.lcor) / dir.lres);
        const long c = std::lround((elem - dir.ecor) / dir.eres);
        if (r < 1 || c < 1 || r >= h - 1 || c >= w - 1) continue;
        ++inside;
        same += img.r.data[at[k]] == src[static_cast<std::size_t>(r) * w + static_cast<std::size_t>(c)];
    }
    ASSERT_GT(inside, 1000);
    EXPECT_GT(same, inside * 99 / 100) << same << " of " << inside << " pixels agree";
}

// Satellite navigation is decided for each file: a map-type image read
// before a three-axis one must not leave it remapped through the
// approximate satellite-view grid; "tran_zem" still switches it off.
TEST(RemapRows, SatelliteNavigationDecidedPerFile)
{
    struct Case {
        const char* plot_param;
        std::vector<const char*> files;
        int want;
    };
    const Case cases[] = {
        {nullptr, {kGoes8}, 1},
        {nullptr, {"area/pngarea"}, 0},
        {nullptr, {"area/pngarea", kGoes8}, 1},
        {"tran_zem", {kGoes8}, 0},
        {"tran_zem", {"area/pngarea", kGoes8}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.plot_param ? c.plot_param : "-") + " last " + c.files.back());
        remap_settings(20, 1, c.plot_param);
        for (const char* f : c.files) {
            ZT_NEED_DATA(zt::testdata(f));
            Image img;
            ASSERT_TRUE(read_image(zt::testdata(f), img));
        }
        EXPECT_EQ(SAT_get_tran_sat(), c.want);
    }
}

// "zoom=N" without a centre enlarges about the image centre: the middle of
// the zoomed picture shows the middle of the image, whatever part of the
// enlargement the viewport can hold.
TEST(RemapRows, ZoomAboutImageCentre)
{
    struct Case {
        int size;
        float zoom;
    };
    const Case cases[] = {{100, 2.0f}, {100, 4.0f}, {101, 3.0f}, {60, 2.0f}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.size << " zoom " << c.zoom);
        remap_settings(20, 0);  // viewport 320x200
        for (bool by_row : {false, true}) {
            Image img;
            img.r.width = img.r.height = img.r.bytes_line = c.size;
            img.r.depth = 8;
            const std::size_t n = static_cast<std::size_t>(c.size) * c.size;
            img.r.data = static_cast<unsigned char*>(std::malloc(n));
            for (std::size_t k = 0; k < n; ++k)
                img.r.data[k] = static_cast<unsigned char>(by_row ? k / c.size : k % c.size);
            ASSERT_EQ(SAT_zoom_image(&img.r, kMissingF, kMissingF, c.zoom), 0);
            const int mid = zt::pixel(img.r, img.r.width / 2, img.r.height / 2);
            EXPECT_NEAR(mid, c.size / 2, 1) << (by_row ? "row" : "column");
        }
    }
}

}  // namespace
