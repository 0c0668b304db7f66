// Plot domains that cannot be drawn are refused with a message that names
// the fault, and the program stops instead of plotting something else.
#include <string>

#include "region.h"
#include "resrc.h"
#include "zem_test.h"

namespace {

struct DomainCase {
    const char* text;
    int status;           // what DOM_decode returns
    const char* message;  // part of the warning ("" for none)
};

class RegionRefuse : public ::testing::TestWithParam<DomainCase> {};

TEST_P(RegionRefuse, DecodeStatusAndMessage)
{
    const DomainCase& c = GetParam();
    zt::MessCapture cap;
    MESS_set(0, M_warn);
    Domain d;
    EXPECT_EQ(DOM_decode(c.text, &d), c.status) << c.text;
    const std::string text = cap.text();
    if (*c.message)
        EXPECT_NE(text.find(c.message), std::string::npos) << c.text << ": " << text;
    else
        EXPECT_EQ(text, "") << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Domains, RegionRefuse,
    ::testing::Values(
        DomainCase{"us", 2, ""},
        DomainCase{"lamb:40:-95:30:60,40,-95,80,60,0.5,0.5", 1, ""},
        DomainCase{"ps:60:-100,45,-100,25,17,1.2,1.2", 1, ""},
        DomainCase{"nosuch", -1, "Unknown region: nosuch"},
        DomainCase{"ps:60:-100,95,-100,25,17,1.2,1.2", -1, "beyond a pole"},
        DomainCase{"ps:60:-100,-91,-100,25,17,1.2,1.2", -1, "beyond a pole"},
        DomainCase{"ps:60:-100,45,-100,25,17,0,1.2", -1, "spacing must be positive"},
        DomainCase{"ps:60:-100,45,-100,25,17,1.2,-1", -1, "spacing must be positive"},
        DomainCase{"ps:60:-100,45,-100,25,17,nan,1.2", -1, "Invalid plot domain"},
        DomainCase{"ps:60:-100,45,-100,-25,17,1.2,1.2", -1, "width must be positive"},
        DomainCase{"ps:60:-100,45,-100,25,0,1.2,1.2", -1, "height must be positive"},
        DomainCase{"lamb:40:-95:0:0,40,-95,80,60,0.5,0.5", -1, "Lambert standard latitudes"},
        DomainCase{"lamb:40:-95:-30:30,40,-95,80,60,0.5,0.5", -1, "Lambert standard latitudes"},
        DomainCase{"zoom,40,-95,0", -1, "spacing must be positive"}));

// The program refuses to plot on a domain it cannot draw, saying why.
TEST(RegionRefuseRun, ProgramStopsOnBadDomain)
{
    for (const char* pd : {"nosuch", "ps:60:-100,95,-100,25,17,1.2,1.2"}) {
        const zt::RunResult r = zt::run_orlo(std::string("-me warn -ba -pd ") + pd + " nofile.area");
        EXPECT_EQ(r.status, 10) << pd << ": " << r.out;
        EXPECT_NE(r.out.find("plot domain cannot be drawn"), std::string::npos) << r.out;
    }
}

}  // namespace
