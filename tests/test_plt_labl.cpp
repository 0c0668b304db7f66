// Plot labels and colour-bar numbers as drawn by orlo: texts above and
// below the panel where the label positions put them, numbers under the
// plain and the infrared colour bar, and loop frames that carry their own
// file's date. Texts are drawn green (-cot green) to tell them apart.
#include "geo_pic.h"

namespace {

using namespace geo;

constexpr std::uint32_t kText = 0x00FF00;

// Rows holding a run of at least `len` text pixels (the border, bar edges).
std::vector<int> long_rows(const Pic& p, int len) {
    std::vector<int> rows;
    for (int y = 0; y < p.h; ++y)
        for (int x = 0, run = 0; x < p.w; ++x)
            if ((run = p.at(x, y) == kText ? run + 1 : 0) == len) {
                rows.push_back(y);
                break;
            }
    return rows;
}

// Groups of text columns in rows y0..y1-1, x0..x1-1, separated by gaps of
// more than 4 empty columns: one group per word or number.
int groups(const Pic& p, int x0, int x1, int y0, int y1) {
    int n = 0, gap = 5;
    for (int x = std::max(x0, 0); x < std::min(x1, p.w); ++x) {
        bool ink = false;
        for (int y = std::max(y0, 0); y < std::min(y1, p.h) && !ink; ++y) ink = p.at(x, y) == kText;
        if (ink && gap > 4) ++n;
        gap = ink ? 0 : gap + 1;
    }
    return n;
}

TEST(PlotLabels, TextsSitAboveAndBelowThePanel) {
    struct Case {
        const char* args;
        bool ul, ur, ll, lr;  // texts present at the corners
    };
    const std::vector<Case> cases = {
        {"", true, true, false, false},
        {"-la ul:Visible_image,lr:lower_right", true, true, false, true},
        {"-la ll:left", true, true, true, false},
        {"-dr data,map,bord", false, false, false, false},
    };
    for (const auto& c : cases) {
        const Drawn d = draw(demo_area(), std::string("-pd us -cot green ") + c.args, 640, 512, ZEM_ETC_DIR, "");
        const std::vector<int> border = long_rows(d.pic, 600);
        ASSERT_EQ(border.size(), 2u) << c.args << ": top and bottom of the panel";
        const int top = border[0], bottom = border[1];
        EXPECT_EQ(groups(d.pic, 0, 200, 0, top - 1) > 0, c.ul) << c.args;
        EXPECT_EQ(groups(d.pic, 440, 640, 0, top - 1) > 0, c.ur) << c.args;
        EXPECT_EQ(groups(d.pic, 0, 200, bottom + 2, d.pic.h) > 0, c.ll) << c.args;
        EXPECT_EQ(groups(d.pic, 440, 640, bottom + 2, d.pic.h) > 0, c.lr) << c.args;
    }
}

TEST(PlotLabels, ColourBarsCarryTheirNumbers) {
    // Plain bar: counts 0, 64, 128, 192; infrared bar: 50, 0, -50, -100.
    for (const char* bar : {"bar", "irbar"}) {
        const Drawn d = draw(demo_area(), "-pd us -cot green -cof ir.enh", 640, 512, ZEM_ETC_DIR, bar);
        const std::vector<int> edges = long_rows(d.pic, 250);
        ASSERT_GE(edges.size(), 4u) << bar << ": panel border and bar outline";
        const int strip_bottom = edges.back();
        EXPECT_EQ(groups(d.pic, 0, 330, strip_bottom + 1, d.pic.h), 4) << bar;
    }
    const Drawn none = draw(demo_area(), "-pd us -cot green", 640, 512, ZEM_ETC_DIR, "");
    EXPECT_EQ(long_rows(none.pic, 250).size(), 2u) << "no bar: only the panel border";
}

// Each frame of a loop shows its own file's date: the upper-right corner of
// every frame is that of its file drawn alone, and the two differ.
TEST(PlotLabels, LoopFramesShowTheirOwnDates) {
    zt::TempDir dir;
    const std::string a = dir.file("a.area"), b = dir.file("b.area");
    zt::run(std::string(ZEM_DEMO_AREA) + " " + a + " 2024200 1745");
    zt::run(std::string(ZEM_DEMO_AREA) + " " + b + " 2024201 0600");
    auto corner = [](const Pic& p) {
        std::vector<std::uint32_t> c;
        for (int y = 0; y < 40; ++y)
            for (int x = 440; x < 640; ++x) c.push_back(p.at(x, y));
        return c;
    };
    const Drawn alone_a = draw(a, "-pd us -cot green", 640, 512, ZEM_ETC_DIR, "");
    const Drawn alone_b = draw(b, "-pd us -cot green", 640, 512, ZEM_ETC_DIR, "");
    const auto ca = corner(alone_a.pic), cb = corner(alone_b.pic);
    ASSERT_NE(ca, cb);
    const std::string loop = dir.file("loop");
    const zt::RunResult r = zt::run_orlo("-fp " + std::string(ZEM_ETC_DIR) + " -ip " + dir.path() +
                                         " -de d -ge 640x512 -pd us -cot green -pp png:loop%i " + a + " " + b);
    for (int k = 0; k < 2; ++k) {
        Pic p;
        ASSERT_TRUE(read_pic(dir.file("loop0" + std::to_string(k)), p)) << r.out;
        EXPECT_EQ(corner(p), k == 0 ? ca : cb) << "frame " << k;
    }
}

}  // namespace
