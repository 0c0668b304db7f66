// Plot labels and colour-bar numbers as drawn by orlo: texts above and
// below the panel where the label positions put them, numbers under the
// plain and the infrared colour bar, and loop frames that carry their own
// file's date. Texts are drawn green (-cot green) to tell them apart.
#include "geo_pic.h"

#include <tuple>

namespace {

using namespace geo;

constexpr std::uint32_t kText = 0x00FF00;

// Rows holding a run of at least `len` text pixels (the border, bar edges).
std::vector<int> long_rows(const Pic& p, int len) {
    std::vector<int> rows;
    for (int y = 0; y < p.h; ++y)
        for (int x = 0, run = 0; x < p.w && (rows.empty() || rows.back() != y); ++x)
            if ((run = p.at(x, y) == kText ? run + 1 : 0) == len) rows.push_back(y);
    return rows;
}

// Groups of text columns in x0..x1-1, rows y0..y1-1, apart by more than 4
// empty columns: one group per word or number.
int groups(const Pic& p, int x0, int x1, int y0, int y1) {
    int n = 0;
    for (int x = x0, gap = 5; x < std::min(x1, p.w); ++x) {
        bool ink = false;
        for (int y = std::max(y0, 0); y < std::min(y1, p.h); ++y) ink |= p.at(x, y) == kText;
        n += ink && gap > 4;
        gap = ink ? 0 : gap + 1;
    }
    return n;
}

// Texts at the corners (ul, ur, ll, lr present) and the numbers under the
// colour bar (plain: counts 0, 64, 128, 192; infrared: 50, 0, -50, -100),
// below the bar's lowest edge, left half.
TEST(PlotLabels, TextsSitAroundThePanelAndBarsCarryNumbers) {
    const std::vector<std::tuple<std::string, std::string, std::array<bool, 4>, int>> cases = {
        {"", "", {1, 1, 0, 0}, -1},
        {"", "-la ul:Visible_image,lr:lower_right", {1, 1, 0, 1}, -1},
        {"", "-la ll:left", {1, 1, 1, 0}, -1},
        {"", "-dr data,map,bord", {0, 0, 0, 0}, -1},
        {"bar", "-cof ir.enh", {1, 1, 1, 0}, 4},  // the bar itself is lower left
        {"irbar", "-cof ir.enh", {1, 1, 1, 0}, 4},
    };
    for (const auto& [pp, args, corners, numbers] : cases) {
        const Drawn d = draw(demo_area(), "-pd us -cot green " + args, 640, 512, ZEM_ETC_DIR, pp);
        const std::vector<int> border = long_rows(d.pic, 600), edges = long_rows(d.pic, 250);
        ASSERT_EQ(border.size(), 2u) << args << ": top and bottom of the panel";
        const int top = border[0] - 1, bottom = border[1] + 2;
        const bool seen[4] = {groups(d.pic, 0, 200, 0, top) > 0, groups(d.pic, 440, 640, 0, top) > 0,
                              groups(d.pic, 0, 200, bottom, d.pic.h) > 0, groups(d.pic, 440, 640, bottom, d.pic.h) > 0};
        for (int k = 0; k < 4; ++k) EXPECT_EQ(seen[k], corners[k]) << pp << args << " corner " << k;
        EXPECT_EQ(edges.size(), numbers < 0 ? 2u : 4u) << pp << args << ": bar outline";
        if (numbers >= 0) {
            EXPECT_EQ(groups(d.pic, 0, 330, edges.back() + 1, d.pic.h), numbers) << pp;
        }
    }
}

// Each frame of a loop shows its own file's date: the upper-right corner of
// every frame is that of its file drawn alone, and the two differ.
TEST(PlotLabels, LoopFramesShowTheirOwnDates) {
    zt::TempDir dir;
    const std::string b = dir.file("b.area");
    zt::run(std::string(ZEM_DEMO_AREA) + " " + b + " 2024201 0600");
    auto corner = [](const Pic& p) {
        std::vector<std::uint32_t> c;
        for (int y = 0; y < 40; ++y) c.insert(c.end(), p.rgb.begin() + y * p.w + 440, p.rgb.begin() + y * p.w + 640);
        return c;
    };
    const Drawn loop = draw(demo_area() + " " + b, "-pd us -cot green", 640, 512, ZEM_ETC_DIR, "");
    ASSERT_EQ(loop.frames.size(), 2u) << loop.out;
    EXPECT_NE(corner(loop.frames[0]), corner(loop.frames[1]));
    EXPECT_EQ(corner(loop.frames[0]), corner(draw(demo_area(), "-pd us -cot green", 640, 512, ZEM_ETC_DIR, "").pic));
    EXPECT_EQ(corner(loop.frames[1]), corner(draw(b, "-pd us -cot green", 640, 512, ZEM_ETC_DIR, "").pic));
}

}  // namespace
