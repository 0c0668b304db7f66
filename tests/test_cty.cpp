// The place database seen from the value print (Alt+v): the nearest place
// of the generated sao.cty to a point of the map, found through the
// station table on the active domain.
#include "zem_test.h"

#include "cty_tool.h"
#include "maptran.h"
#include "plt_tool.h"
#include "resrc.h"

namespace {

TEST(Places, ValuePrintNamesTheNearestPlace) {
    RES_put("file_path", ZEM_ETC_DIR);
    Domain us;
    ASSERT_EQ(DOM_decode("us", &us), 2);
    ASSERT_EQ(MAP_domain(&us), 0);
    struct Case {
        float lat, lon;  // a point of the map
        const char* id;  // the place named (sao.cty positions)
    };
    const Case cases[] = {
        {39.867f, -104.667f, "KDEN"},  // on the station
        {41.95f, -87.93f, "KORD"},     // 3 km away
        {40.63f, -73.77f, "KJFK"},
        {47.45f, -122.31f, "KSEA"},
    };
    for (const auto& c : cases) {
        float x = 0, y = 0;
        ASSERT_EQ(MAP_tran(c.lat, c.lon, &x, &y), 1);
        zt::MessCapture cap;
        PLT_print_values(const_cast<char*>("v-Alt"), x, y);
        EXPECT_NE(cap.text().find(std::string("Id: ") + c.id + " "), std::string::npos) << cap.text();
    }
    // Without a place database there is no place to name.
    CTY_clear();
    RES_put("city_file", "none");
    CTY_data d;
    EXPECT_EQ(CTY_search_loc(0.0f, 0.0f, &d), 0);
}

}  // namespace
