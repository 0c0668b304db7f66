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

#include "mess.h"
#include "region.h"
#include "sat_read.h"
#include "sat_tran.h"

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

}  // namespace
