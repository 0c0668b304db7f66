// The remap of a loop frame reuses the source positions of the last frame
// only when nothing they depend on has changed: each case remaps a first
// frame, changes one thing (or nothing) for the second, and checks that the
// positions were reused or not, and that the second frame's pixels equal a
// remap that computes everything afresh.
#include "zem_test.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "flag.h"
#include "img_tool.h"
#include "resrc.h"
#include "sat_tool.h"
#include "sat_tran.h"

namespace {

constexpr int kDisk = 600;

// A small full disk in the satellite view with counts that differ by frame.
IMG_report disk(int shift, int width = kDisk) {
    IMG_report img;
    IMG_init(&img);
    img.width = width;
    img.height = kDisk;
    img.depth = img.bits_pixel = 8;
    img.bytes_line = width;
    Domain& d = img.domain;
    DOM_init(&d);
    d.proj = 9;
    d.plat = 0.0f;
    d.plon = -75.0f;
    d.param[0] = 421.64f;
    d.param[1] = 1.0f;
    d.ellipse = 1;
    d.clat = 0.0f;
    d.clon = -75.0f;
    d.nx = width;
    d.ny = kDisk;
    d.dx = d.dy = 421.64f * 56e-6f * 5424.0f / kDisk;
    img.data = static_cast<unsigned char*>(std::malloc(static_cast<std::size_t>(width) * kDisk));
    for (int i = 0; i < kDisk; ++i)
        for (int j = 0; j < width; ++j)
            img.data[static_cast<std::size_t>(i) * width + j] = static_cast<unsigned char>((i * 7 + j * 3 + shift) & 255);
    return img;
}

Domain lambert() {
    Domain d;
    DOM_init(&d);
    d.proj = 4;
    d.param[0] = d.param[1] = 25.0f;
    d.clat = 38.0f;
    d.clon = -95.0f;
    d.nx = 300;
    d.ny = 200;
    d.dx = d.dy = 0.2f;
    return d;
}

std::vector<unsigned char> pixels_of(const IMG_report& img) {
    return {img.data, img.data + static_cast<std::size_t>(img.width) * img.height};
}

// Remaps `img` onto `out` and returns the pixels; `fresh` computes every
// position without the kept ones (and keeps none).
std::vector<unsigned char> remap(IMG_report img, Domain out, bool fresh) {
    if (fresh) SAT_remap_cache(0);
    EXPECT_EQ(SAT_remap_image(&img, &out), 1);
    std::vector<unsigned char> px = pixels_of(img);
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
        MESS_set_str("none");
        SAT_reset_params();
        SAT_set_tran_sat(0);
        SAT_remap_cache(0);
        SAT_remap_cache(1);
    }
};

TEST_P(RemapCache, ReusedOnlyWhenNothingChanged) {
    const int hits0 = SAT_remap_cache(1);
    const std::vector<unsigned char> first = remap(disk(0), lambert(), false);
    IMG_report img = disk(99);
    Domain out = lambert();
    GetParam().second(img, out);
    IMG_report copy;
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
TEST(RemapCacheNavigation, GvarBlockAndGrid) {
    const std::string path = zt::testdata("area/cmx3g8_wv_1998.260_0745_mcidas.ara");
    ZT_NEED_DATA(path);
    MESS_set_str("none");
    SAT_reset_params();
    SAT_set_tran_sat(1);
    FLAG_set(14, 51);
    IMG_report src;
    IMG_init(&src);
    ASSERT_EQ(SAT_read_file(path.c_str(), &src), 1);
    Domain us;
    DOM_get_def_region("us", &us);
    us.nx = 320;
    us.ny = 240;
    us.dx = us.dy = 0.12f;
    auto remap_src = [&](bool fresh) {
        IMG_report img;
        IMG_init(&img);
        IMG_copy(&img, &src);
        return remap(img, us, fresh);
    };
    SAT_remap_cache(0);
    SAT_remap_cache(1);
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
    IMG_free(&src);
}

// Every remapped pixel equals the one-pixel sampler at the source position
// that a remap of its row alone reports: the rows located together (on two
// threads) and sampled eight at a time must give the same bytes as the
// plain per-pixel path. Cases: navigation every 20th and every column, a
// domain reaching past the limb (columns placed one by one), and an output
// finer than the image over its right edge (last column).
struct Sampled {
    const char* name;
    int remap_inc;
    Domain (*out)();
};

Domain past_limb() {
    Domain d = lambert();
    d.clon = -150.0f;
    d.dx = d.dy = 0.4f;
    return d;
}

Domain image_edge() {
    IMG_report img = disk(0);  // same projection as the image, four times finer,
    Domain d = img.domain;      // centred on its right edge (the limb at 0E)
    IMG_free(&img);
    d.clat = 0.0f;
    d.clon = 0.0f;
    d.nx = 240;
    d.ny = 160;
    d.dx = d.dy = d.dx / 4.0f;
    return d;
}

const Sampled kSampled[] = {
    {"every_20th", 20, lambert},
    {"every_column", 1, lambert},
    {"past_limb", 20, past_limb},
    {"image_edge", 20, image_edge},
};

class RemapSampled : public ::testing::TestWithParam<Sampled> {};

TEST_P(RemapSampled, EqualsOnePixelSampler) {
    MESS_set_str("none");
    SAT_reset_params();
    SAT_set_tran_sat(0);
    SAT_params p{};
    SAT_get_params(&p);
    p.remap_inc = GetParam().remap_inc;
    SAT_set_params(&p);
    IMG_report src = disk(3);
    Domain out = GetParam().out();
    const std::vector<unsigned char> px = remap([&] {
        IMG_report copy;
        IMG_init(&copy);
        IMG_copy(&copy, &src);
        return copy;
    }(), out, true);
    std::vector<float> lines(static_cast<std::size_t>(out.nx)), elems(lines.size());
    int mismatches = 0, edge = 0, sourced = 0, unset = 0;
    for (int j = 0; j < out.ny; ++j) {
        std::fill(lines.begin(), lines.end(), -7.0f);  // every column must get a position
        ASSERT_EQ(SAT_remap_source(&src, &out, j, lines.data(), elems.data()), 0);
        for (int i = 0; i < out.nx; ++i) {
            const float r = lines[static_cast<std::size_t>(i)], c = elems[static_cast<std::size_t>(i)];
            unset += r == -7.0f;
            sourced += r >= 0.0f;
            edge += r > kDisk - 2 || c > kDisk - 2;
            mismatches += px[static_cast<std::size_t>(j) * out.nx + i] != SAT_sample_pixel(&src, r, c);
        }
    }
    EXPECT_EQ(mismatches, 0);
    EXPECT_EQ(unset, 0);
    EXPECT_GT(sourced, out.nx);  // the cases do draw the image
    if (std::string(GetParam().name) == "image_edge") {
        EXPECT_GT(edge, 0);
    }
    IMG_free(&src);
}

INSTANTIATE_TEST_SUITE_P(Cases, RemapSampled, ::testing::ValuesIn(kSampled),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
