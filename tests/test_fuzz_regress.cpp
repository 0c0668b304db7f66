// Inputs that once crashed a reader or made it misbehave, kept under
// tests/data/bad/ and named for what they break. Each case checks the status
// the reader returns and the message it prints; the sanitizer build
// (-DORLO_SANITIZE=ON) also turns any undefined behaviour left into a failure.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "files.h"
#include "flag.h"
#include "img_tool.h"
#include "mess.h"
#include "region.h"
#include "resrc.h"
#include "sat_read.h"
#include "sat_tran.h"
#include "tools.h"

namespace {

std::string bad(const std::string& name) { return std::string(ZEM_TEST_DATA) + "/bad/" + name; }

struct FileCloser {
    void operator()(FILE* f) const { if (f) std::fclose(f); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

// Collects what MESS_print writes while it lives.
class Messages {
public:
    Messages() : name_("/tmp/zem_fuzz_regress_" + std::to_string(getpid()) + ".txt")
    {
        MESS_file(name_.c_str(), "w");
    }
    ~Messages()
    {
        MESS_file_close();
        std::remove(name_.c_str());
    }
    std::string text()
    {
        MESS_file_close();
        std::ifstream in(name_);
        std::string t((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        MESS_file(name_.c_str(), "a");
        return t;
    }

private:
    std::string name_;
};

class FuzzRegress : public ::testing::Test {
protected:
    void SetUp() override { MESS_reset(); }
    void TearDown() override { MESS_reset(); }
};

// ---- navigation blocks ------------------------------------------------------

// A polar stereographic block whose normal longitude is the most negative
// word: the longitude must come out as +214748.3648 degrees (the word over
// -10000, computed in floating point) instead of negating the word as int.
TEST_F(FuzzRegress, PsBlockWithMostNegativeLongitudeWord)
{
    FilePtr f(std::fopen(bad("nav_ps_min_longitude.area").c_str(), "rb"));
    ASSERT_TRUE(f);
    MC_area area{};
    ASSERT_EQ(SAT_read_AREA(f.get(), &area), 0);
    ASSERT_EQ(AREA_init(&area), 0);
    Domain d;
    DOM_init(&d);
    ASSERT_EQ(AREA_map_domain(&d), 0);
    EXPECT_EQ(d.proj, DOM_PSTEREO);
    EXPECT_FLOAT_EQ(d.plon, 214748.3648f);
    EXPECT_FLOAT_EQ(d.plat, 60.0f);
    SAT_free_AREA(&area);
}

// ---- AREA files ----------------------------------------------------------------

// An 803-byte sync-framed file whose directory claims 30000 x 30000 pixels
// (one coded line, then the end): the reader used to take 900 MB and
// write black into all of it. A claim above 2^29 pixels is refused first.
TEST_F(FuzzRegress, SyncFileClaimingHugeImageIsRefused)
{
    Messages m;
    FilePtr f(std::fopen(bad("area_sync_huge_claim.area").c_str(), "rb"));
    ASSERT_TRUE(f);
    MC_area area{};
    EXPECT_EQ(SAT_read_AREA(f.get(), &area), -1);
    EXPECT_EQ(area.dir, nullptr);
    EXPECT_EQ(area.image, nullptr);
    const std::string t = m.text();
    EXPECT_NE(t.find("SAT_read_AREA: Image of 30000 x 30000 pixels is larger than 536870912 "
                     "pixels\n"),
              std::string::npos)
        << t;
    EXPECT_NE(t.find("SAT_read_AREA: Invalid image parameters\n"), std::string::npos) << t;

    // The same through the file entry point, with AREA as the input format.
    RES_clear();
    FLAG_reset(kMissing);
    FLAG_set(14, kFormatArea);
    IMG_report img;
    IMG_init(&img);
    EXPECT_EQ(SAT_read_file(bad("area_sync_huge_claim.area").c_str(), &img), 0);
    EXPECT_EQ(img.data, nullptr);
    EXPECT_NE(m.text().find("SAT_read_file: Unable to read image file\n"), std::string::npos);
    IMG_free(&img);
}

// ---- package image files ---------------------------------------------------------

// A 91-byte compressed image whose size line claims 40000 x 50000 pixels:
// the reader used to take a 2 GB buffer, inflate 10000 bytes into it and
// report success. Claims above 2^29 pixels are refused.
TEST_F(FuzzRegress, CompressedImageClaimingHugeSizeIsRefused)
{
    Messages m;
    IMG_set_read_wait(0);  // the body is short: do not wait for it to grow
    const std::string name = bad("zemimgz_huge_claim.img");
    IMG_report img;
    IMG_init(&img);
    EXPECT_NE(IMG_read(name.c_str(), &img, 0), 1);
    EXPECT_EQ(img.data, nullptr);
    IMG_free(&img);
    const std::string t = m.text();
    EXPECT_NE(t.find("IMG_read_zem: Invalid image size 40000x50000 in " + name + "\n"),
              std::string::npos)
        << t;
    IMG_set_read_wait(1);
}

// ---- file specifications -----------------------------------------------------------

// A latest-file request reaching back 999999 intervals (file: convention
// line, then the request) made a million file look-ups. The reach is cut at
// 10000 intervals with a warning. Expected values from Python:
// calendar.timegm((2024,3,5,12,0,0)) = 1709640000; 9999 quarter hours
// earlier is 1700640900, 2023-11-22 08:15 UTC.
TEST_F(FuzzRegress, LatestFileReachIsLimited)
{
    std::ifstream in(bad("filereq_latest_reach_huge.txt"));
    std::string conv, request;
    ASSERT_TRUE(std::getline(in, conv));
    ASSERT_TRUE(std::getline(in, request));
    Messages m;
    FILE_set_name(conv.c_str());
    char out[FILE_NAME_LEN * 2 + 20] = {0};
    EXPECT_EQ(FILE_set_current(request.c_str(), out), 1700640900);
    EXPECT_STREQ(out, "/nonexistent/sat_2311220815.area");
    EXPECT_NE(m.text().find("FILE_set_current: Latest-file search limited to 10000 steps\n"),
              std::string::npos);
    FILE_set_name("none");
}

}  // namespace
