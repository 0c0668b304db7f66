// Broken, truncated and oversized inputs of every image reader, kept under
// tests/data/bad/ and named for what they break. The table there
// (expect.txt) names for each file the reader, the status it must return
// and a text its messages must hold; no row may leave a pixel buffer
// behind, and the sanitizer build turns any stray read into a failure.
#include "zem_test.h"

#include <cctype>
#include <cstdio>
#include <map>

#include "files.h"
#include "flag.h"
#include "img_tool.h"
#include "png.h"
#include "resrc.h"
#include "sat_read.h"
#include "sat_tran.h"
#include "tools.h"
#include "xdump.h"

namespace {

enum class Reader { area, read_file, zem, img, png, xwd, xwd_depth8 };

struct BadFile {
    std::string file;
    Reader reader;
    int status;
    std::string message;
};
void PrintTo(const BadFile& c, std::ostream* os) { *os << c.file; }

// The rows of tests/data/bad/expect.txt: file, reader, status, message.
std::vector<BadFile> expectations() {
    const std::map<std::string, Reader> readers = {
        {"area", Reader::area}, {"read_file", Reader::read_file}, {"zem", Reader::zem}, {"img", Reader::img},
        {"png", Reader::png},   {"xwd", Reader::xwd},             {"xwd_depth8", Reader::xwd_depth8}};
    std::vector<BadFile> rows;
    std::istringstream in(zt::slurp(std::string(ZEM_TEST_DATA) + "/bad/expect.txt"));
    for (std::string line; std::getline(in, line);) {
        std::istringstream ls(line);
        BadFile row;
        std::string reader;
        if (line.empty() || line[0] == '#' || !(ls >> row.file >> reader >> row.status)) continue;
        std::getline(ls >> std::ws, row.message);
        for (auto at = row.message.find("\\n"); at != std::string::npos; at = row.message.find("\\n", at))
            row.message.replace(at, 2, "\n");
        row.reader = readers.at(reader);
        rows.push_back(row);
    }
    return rows;
}

std::string bad(const std::string& name) { return std::string(ZEM_TEST_DATA) + "/bad/" + name; }

// Runs the row's reader; its status. `said` gets everything printed through
// the message module and on standard error (the XWD reader's channel).
int read_bad(const BadFile& c, std::string* said) {
    const std::string path = bad(c.file);
    zt::MessCapture cap;
    ::testing::internal::CaptureStderr();
    IMG_report img;
    IMG_init(&img);
    int rc = 0;
    switch (c.reader) {
        case Reader::area: {
            MC_area a{};
            FILE* f = std::fopen(path.c_str(), "rb");
            rc = f ? SAT_read_AREA(f, &a) : -99;
            if (f) std::fclose(f);
            EXPECT_EQ(a.dir, nullptr);
            EXPECT_EQ(a.image, nullptr);
            break;
        }
        case Reader::read_file:
            RES_clear();
            FLAG_reset(kMissing);
            FLAG_set(14, kFormatArea);
            rc = SAT_read_file(path.c_str(), &img);
            break;
        case Reader::zem: rc = IMG_read_zem(path.c_str(), &img, 0); break;
        case Reader::img:
            IMG_set_read_wait(0);  // a short compressed body: do not wait for more
            rc = IMG_read(path.c_str(), &img, 0);
            IMG_set_read_wait(1);
            break;
        case Reader::png: rc = PNG_read(path.c_str(), &img, 0); break;
        case Reader::xwd_depth8: img.depth = 8; [[fallthrough]];
        case Reader::xwd: rc = XWD_read(path.c_str(), &img, 0); break;
    }
    // The readers the image module calls leave freeing to it; its own and
    // the satellite readers free before they return.
    if (c.reader != Reader::png && c.reader != Reader::xwd && c.reader != Reader::xwd_depth8) {
        EXPECT_EQ(img.data, nullptr);
    }
    IMG_free(&img);
    *said = cap.text() + ::testing::internal::GetCapturedStderr();
    return rc;
}

class BadInput : public ::testing::TestWithParam<BadFile> {};

TEST_P(BadInput, FailsWithItsMessage) {
    const BadFile& c = GetParam();
    if (c.file.rfind("no_such_file", 0) != 0) {
        ASSERT_TRUE(std::filesystem::exists(bad(c.file))) << "missing " << c.file;
    }
    std::string said;
    EXPECT_EQ(read_bad(c, &said), c.status);
    if (!c.message.empty()) {
        EXPECT_NE(said.find(c.message), std::string::npos) << said;
    } else {
        EXPECT_EQ(said, "");
    }
}

INSTANTIATE_TEST_SUITE_P(Files, BadInput, ::testing::ValuesIn(expectations()), [](const auto& info) {
    std::string n = std::to_string(info.index) + "_" + info.param.file;
    for (char& ch : n)
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
    return n;
});

TEST(BadInput, TableIsThere) { EXPECT_GE(expectations().size(), 50u); }

// Real PNG and XWD files cut anywhere, and noise, never read as an image.
TEST(BadInput, RealImagesCutShort) {
    const std::string dir = zt::testdata("images");
    ZT_NEED_DATA(dir);
    zt::TempDir tmp;
    const std::string p = tmp.file("cut");
    zt::MessCapture quiet;
    for (const char* f : {"hopper.png", "pal8.png", "depth8.xwd", "depth32.xwd", "class5.xwd"}) {
        const std::string good = zt::slurp(dir + "/" + f);
        const bool png = std::string(f).find(".png") != std::string::npos;
        std::string noise(3000, '\0');
        unsigned seed = 5;
        for (char& ch : noise) ch = static_cast<char>((seed = seed * 1103515245u + 12345u) >> 16);
        for (const std::string& bytes : {good.substr(0, 0), good.substr(0, 7), good.substr(0, 33),
                                         good.substr(0, 99), good.substr(0, 140), good.substr(0, good.size() / 2),
                                         good.substr(0, good.size() - 1), noise}) {
            zt::spit(p, bytes);
            IMG_report im;
            IMG_init(&im);
            ::testing::internal::CaptureStderr();
            EXPECT_EQ(png ? PNG_read(p.c_str(), &im, 0) : XWD_read(p.c_str(), &im, 0), 0) << f << " cut at " << bytes.size();
            ::testing::internal::GetCapturedStderr();
            IMG_free(&im);
        }
    }
}

// A polar stereographic block whose normal longitude is the most negative
// word: the longitude is the word over -10000 in floating point
// (+214748.3648), not the word negated as an int.
TEST(BadInput, PsBlockWithMostNegativeLongitudeWord) {
    FILE* f = std::fopen(bad("nav_ps_min_longitude.area").c_str(), "rb");
    ASSERT_NE(f, nullptr);
    MC_area area{};
    ASSERT_EQ(SAT_read_AREA(f, &area), 0);
    std::fclose(f);
    ASSERT_EQ(AREA_init(&area), 0);
    Domain d;
    DOM_init(&d);
    ASSERT_EQ(AREA_map_domain(&d), 0);
    EXPECT_EQ(d.proj, DOM_PSTEREO);
    EXPECT_FLOAT_EQ(d.plon, 214748.3648f);
    EXPECT_FLOAT_EQ(d.plat, 60.0f);
    SAT_free_AREA(&area);
}

// A latest-file request reaching back 999999 intervals is cut at 10000.
// From python: calendar.timegm((2024,3,5,12,0,0)) = 1709640000; 9999
// quarter hours earlier is 1700640900, 2023-11-22 08:15 UTC.
TEST(BadInput, LatestFileReachIsLimited) {
    const std::string text = zt::slurp(bad("filereq_latest_reach_huge.txt"));
    const auto nl = text.find('\n');
    ASSERT_NE(nl, std::string::npos);
    zt::MessCapture cap;
    FILE_set_name(text.substr(0, nl).c_str());
    char out[FILE_NAME_LEN * 2 + 20] = {0};
    const std::string request = text.substr(nl + 1, text.find('\n', nl + 1) - nl - 1);
    EXPECT_EQ(FILE_set_current(request.c_str(), out), 1700640900);
    EXPECT_STREQ(out, "/nonexistent/sat_2311220815.area");
    EXPECT_NE(cap.text().find("FILE_set_current: Latest-file search limited to 10000 steps\n"),
              std::string::npos);
    FILE_set_name("none");
}

}  // namespace
