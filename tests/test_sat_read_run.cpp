// orlo itself on every format, as a forecaster runs it: files found through
// their naming conventions (a GINI visible loop of two times, a COMS full
// disk joined from its segments), read, remapped onto a domain, zoomed and
// drawn into a PostScript file, one image per frame.
#include "readers_ref.h"

namespace {

struct RunCase {
    const char* name;
    const char* args;     // after -fp etc -sp <folder>
    int frames;           // images drawn
    const char* expect;   // printed on the way
};

const RunCase kRuns[] = {
    {"gini_vis_loop", "-if awip_vis -cu '#200204032330' -nh -0:15 -pd us -pp zoom=2", 2, "Info: GOES NH Visible"},
    {"lrit_full_disk", "-if lrit_coms_IR1 -cu '#201201010240' -pp lrit_all -pd lamb:-25:135:-10:-40,-25,135,640,480,0.07,0.07",
     1, ",2200,2200,0.0590,0.0590"},
    {"tiff", "-inp tiff -pd us gtiff/tige04.tif", 1, "Processing image file:"},
    {"gini_zlib", "-inp awipz -pd us gini/TIGN02", 1, "Info: GOES NC Infrared 11um"},
};

class OrloRuns : public ::testing::TestWithParam<RunCase> {};

TEST_P(OrloRuns, ReadRemapAndDraw) {
    ZT_NEED_DATA(zt::testdata("lrit"));
    zt::TempDir dir;
    namespace fs = std::filesystem;
    // The folder a feed fills: GINI and LRIT files under their KMA and LDM names.
    fs::create_directories(dir.file("gini"));
    fs::create_directories(dir.file("gtiff"));
    fs::create_symlink(zt::testdata("gini/pnggini"), dir.file("gini/VIS_20020403_2315.gini"));
    fs::create_symlink(zt::testdata("gini/pnggini"), dir.file("gini/VIS_20020403_2330.gini"));
    fs::create_symlink(zt::testdata("gini/TIGN02"), dir.file("gini/TIGN02"));
    fs::create_symlink(zt::testdata("tiff/tige04.tif"), dir.file("gtiff/tige04.tif"));
    fs::create_directory_symlink(zt::testdata("lrit"), dir.file("lrit"));
    const std::string ps = dir.file("out.ps");
    const zt::RunResult r = zt::run("cd " + dir.path() + " && " + ORLO_BIN + " -fp " + ZEM_ETC_DIR + " -sp " +
                                    dir.path() + " -me print,error,warn,mess,out2 -de p," + ps + " " + GetParam().args);
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find(GetParam().expect), std::string::npos) << r.out;
    EXPECT_EQ(zt::count_of(r.out, "Remapping image..."), GetParam().frames) << r.out;
    EXPECT_EQ(zt::count_of(zt::slurp(ps), "\nimage\n"), GetParam().frames);
}

INSTANTIATE_TEST_SUITE_P(Formats, OrloRuns, ::testing::ValuesIn(kRuns),
                         [](const auto& i) { return std::string(i.param.name); });

}  // namespace
