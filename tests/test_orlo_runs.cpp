// The program run as a new user runs it, from a scratch folder with the
// checkout's data named by one option: the README's examples, named files in
// a sequence, message levels, missing or short colour files and a loop of
// more files than frames. Each row checks what the user sees: messages,
// exit status and the files written.
#include <filesystem>
#include <string>
#include <vector>

#include "zem_test.h"

namespace {

const auto* const kKeep = ::testing::AddGlobalTestEnvironment(new zt::KeepServer);

struct UserRun {
    const char* args;        // {D} scratch folder, {E} the checkout's etc
    const char* now;         // zemcurtime, "" for none
    const char* want;        // text that must be printed ("" for none)
    int times;               // how often (-1: at least once)
    std::vector<const char*> made;    // files that must exist afterwards
    const char* not_made;    // a file that must not ("" for none)
    int status = 0;          // exit status
};

std::string fill(std::string s, const std::string& dir)
{
    for (auto [key, value] : {std::pair<std::string, std::string>{"{D}", dir}, {"{E}", ZEM_ETC_DIR}})
        for (std::size_t p; (p = s.find(key)) != std::string::npos;) s.replace(p, key.size(), value);
    return s;
}

class OrloRuns : public ::testing::TestWithParam<UserRun> {};

TEST_P(OrloRuns, WhatTheUserSees)
{
    const UserRun& c = GetParam();
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X server (DISPLAY unset)";
    const std::string area = zt::testdata("area/pngarea");
    ZT_NEED_DATA(area);
    zt::TempDir dir(true);
    namespace fs = std::filesystem;
    for (const char* f : {"ir/2403051330.area", "ir/2403051345.area", "ir/2403051400.area", "latest_ir.area",
                          "cumulus.area"}) {
        fs::create_directories(fs::path(dir.file(f)).parent_path());
        fs::copy_file(area, dir.file(f));
    }
    fs::create_directories(dir.file("many"));
    for (int k = 100; k < 230; ++k) fs::create_symlink(area, dir.file("many/f" + std::to_string(k) + ".area"));
    zt::spit(dir.file("one.clr"), "white 1.0 1.0 1.0\n");  // one colour, no fill colours

    const std::string env = *c.now ? std::string("zemcurtime=") + c.now + " " : "";
    const zt::RunResult r = zt::run("cd " + dir.path() + " && " + env + ORLO_BIN + " " + fill(c.args, dir.path()));
    SCOPED_TRACE(std::string(c.args) + "\n" + r.out);
    EXPECT_EQ(r.status, c.status);
    // Nothing the user asked for may be missing.
    for (const char* bad : {"Unable", "not found", "No file", "Unknown"}) {
        if (c.status != 0 || std::string(c.want).find(bad) != std::string::npos) continue;
        EXPECT_EQ(zt::count_of(r.out, bad), 0) << bad;
    }
    const int seen = zt::count_of(r.out, c.want);
    EXPECT_TRUE(!*c.want || (c.times < 0 ? seen > 0 : seen == c.times)) << c.want << " printed " << seen << " times";
    for (const char* f : c.made) EXPECT_TRUE(fs::exists(dir.file(f))) << f;
    EXPECT_FALSE(*c.not_made && fs::exists(dir.file(c.not_made))) << c.not_made;
}

INSTANTIATE_TEST_SUITE_P(
    Runs, OrloRuns,
    ::testing::Values(
        // The README's examples, with the checkout's data through -df alone.
        UserRun{"-df {E} -ba -me warn -pd us latest_ir.area", "", "", 0, {}, ""},
        UserRun{"-df {E} -ba -me warn,out1 -pd us -cof ir.enh -pp bar cumulus.area", "", "Enhancement: IR_", 1,
                {}, ""},
        UserRun{"-df {E} -ba -me warn -pp png:{D}/frame%i.png latest_ir.area cumulus.area", "", "", 0,
                {"frame00.png", "frame01.png"}, ""},
        UserRun{"-df {E} -ba -me warn -sp {D} -if ir -cu la -nh -0:30 -of img -ip {D}/out", "202403051400", "", 0,
                {"out/sat_2403051330.img", "out/sat_2403051345.img", "out/sat_2403051400.img"}, ""},
        // A named file keeps its date: the sequence steps back from it.
        UserRun{"-df {E} -ba -me warn -sp {D} -if ir -nh -0:30 -of img -ip {D}/out {D}/ir/2403051400.area", "", "",
                0, {"out/sat_2403051330.img", "out/sat_2403051400.img"}, "out/sat_8001010000.img"},
        // Whole level words keep errors visible; an unknown word is named.
        UserRun{"-df {E} -ba -me warning nosuch.area", "", "Unable to open file", 1, {}, "", 10},
        UserRun{"-df {E} -ba -me errors nosuch.area", "", "No image read from", 1, {}, "", 10},
        UserRun{"-df {E} -ba -me messages nosuch.area", "", "Unable to open file", 1, {}, "", 10},
        // A name past the limit is reported as given, never cut into another.
        UserRun{"-df {E} -ba -me errors {D}/ir/../ir/../ir/../ir/../ir/../ir/../ir/../ir/../ir/../ir/../ir/../ir/../ir/"
                "../ir/../ir/../ir/../ir/../ir/../ir/../ir/../ir/../ir/../ir/../ir/../ir/../ir/2403051400.area",
                "", "/../ir/2403051400.area", -1, {}, "", 10},
        UserRun{"-df {E} -ba -me bogus latest_ir.area", "", "Unknown message level \"bogus\"", 1, {}, ""},
        // Colour files that cannot be used: one warning each.
        UserRun{"-df {E} -ba -me warn -cof nosuch.enh latest_ir.area", "", "Unable to read enhancement file", 1, {}, ""},
        UserRun{"-df {E} -ba -me warn -ct {D}/one.clr -pp bar latest_ir.area", "", "SAT_color_bar", 1, {}, ""},
        // More files than frames: one warning, the last frame keeps its file.
        UserRun{"-df {E} -ba -me warn -ge 80x60 -pp png:{D}/fr%i.png many/*.area", "", "no room for frame", 1,
                {"fr127.png"}, "fr128.png"}));

}  // namespace

namespace {

// A window dump in the package's image format describes the whole window it
// holds, not only the map panel: its domain has the window's size, and its
// centre lies within a pixel of the panel's centre (the labels take equal
// margins above and below).
TEST(OrloDump, ImageDumpDomainCoversTheWindow)
{
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X server (DISPLAY unset)";
    const std::string area = zt::testdata("area/pngarea");
    ZT_NEED_DATA(area);
    zt::TempDir dir;
    const zt::RunResult r = zt::run_orlo(std::string("-df ") + ZEM_ETC_DIR + " -ba -me warn -ge 640x512 -pd us -pp img:" +
                                         dir.file("d") + " " + area);
    ASSERT_EQ(r.status, 0) << r.out;
    std::istringstream head(zt::slurp(dir.file("d")));
    std::string line, proj;
    for (int k = 0; k < 4; ++k) std::getline(head, line);
    float clat = 0, clon = 0, dx = 0, dy = 0;
    int nx = 0, ny = 0;
    std::istringstream(line) >> proj >> clat >> clon >> dx >> dy >> nx >> ny;
    EXPECT_EQ(nx, 640) << line;
    EXPECT_EQ(ny, 512) << line;
    EXPECT_NEAR(clat, 39.0f, 0.1f) << line;  // "us" is centred on 39 N, 97 W
    EXPECT_NEAR(clon, -97.0f, 0.1f) << line;
}

}  // namespace
