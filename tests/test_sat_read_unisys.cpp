// Unisys reader. No public Unisys file exists: tools/unisys_make writes
// one from a real GINI file (its header in front of the GINI pixels), and
// the reader must give back the GINI picture, black where the header
// stands, with the header's text, date and Lambert projection; the
// resource grid_domain replaces the domain.
#include "readers_ref.h"
#include <cstring>

namespace {

class UnisysFiles : public ::testing::TestWithParam<const char*> {};

TEST_P(UnisysFiles, GivesBackTheGiniPicture) {
    const std::string gini = zt::testdata(GetParam());
    ZT_NEED_DATA(gini);
    zt::TempDir dir;
    const std::string path = dir.file("sample.uni");
    ASSERT_EQ(zt::run(std::string(UNISYS_MAKE_BIN) + " " + gini + " " + path).status, 0);
    const std::string bytes = zt::slurp(path);
    const std::size_t head = bytes.find("end\n") + 4;
    ASSERT_NE(head, std::string::npos + 4);
    zt::MessCapture quiet;
    const rr::Read g(53, gini);
    const rr::Read u(55, path);
    ASSERT_EQ(u.rc, 1);
    ASSERT_EQ(u.img.width, g.img.width);
    ASSERT_EQ(u.img.height, g.img.height);
    const std::size_t n = std::size_t(g.img.width) * std::size_t(g.img.height);
    EXPECT_EQ(std::count(u.img.data, u.img.data + head, 0), static_cast<long>(head));
    EXPECT_TRUE(std::equal(u.img.data + head, u.img.data + n, g.img.data + head));
    std::string info = g.img.info;
    std::replace(info.begin(), info.end(), ' ', '_');
    EXPECT_EQ(std::string(u.img.info), info);
    EXPECT_STREQ(u.img.datim, g.img.datim);
    EXPECT_EQ(SAT_get_imager_source(), 55);
    // "pl" is a Lambert grid of 8 km; the reference point comes from ref1..4.
    const Domain& d = u.img.domain;
    EXPECT_EQ(d.proj, 4);
    EXPECT_FLOAT_EQ(d.dx, 0.08f);
    EXPECT_NEAR(d.plon, g.img.domain.plon, 1e-3);
    EXPECT_NEAR(d.param[0], g.img.domain.param[0], 1e-3);
    EXPECT_NEAR(d.clat, g.img.domain.clat, 1e-3);

    char grid[200];
    DOM_sprint(&g.img.domain, grid, sizeof grid);
    grid[std::strcspn(grid, "\n")] = 0;
    RES_put("grid_domain", grid);
    const rr::Read on_grid(55, path);
    RES_put("grid_domain", "");
    ASSERT_EQ(on_grid.rc, 1);
    EXPECT_EQ(zt::domain_text(on_grid.img.domain), zt::domain_text(g.img.domain));
}

INSTANTIATE_TEST_SUITE_P(Real, UnisysFiles, ::testing::Values("gini/tigw04.gini", "gini/tige04.gini"),
                         [](const auto& i) { return rr::name_of(i.param); });

}  // namespace
