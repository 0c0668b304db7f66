// The shipped enhancements against the shipped colour table: a visible image
// and warm infrared surfaces get a fine grey ramp, not 16 bands.
#include <set>
#include <string>

#include "colors.h"
#include "resrc.h"
#include "sat_read.h"
#include "sat_tool.h"
#include "zem_test.h"

namespace {

TEST(SatColorLevels, ShippedEnhancementsShowFineGreys)
{
    struct Case {
        const char* file;
        int first, last;  // counts looked at (inclusive)
        int min_greys;    // distinct grey levels at least
    };
    // Infrared counts below that of -30 C are the warm surfaces.
    const int warm = SAT_ir_ind_source(kFormatArea, -30.0f) - 1;
    const Case cases[] = {{"vis.enh", 0, 255, 64}, {"ir.enh", 0, warm, 45}};
    RES_clear();
    RES_put("file_path", ZEM_ETC_DIR);
    RES_put("color_table", "zem.clr");
    CLR_read_table(nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        RES_put("color_fill", c.file);
        zt::MessCapture cap;
        MESS_set(0, M_warn);
        SAT_color_setup();
        EXPECT_EQ(cap.text(), "");
        std::set<int> greys;
        float last = -1.0f;
        for (int v = c.first; v <= c.last; ++v) {
            float r = 0, g = 0, b = 0;
            ASSERT_EQ(CLR_get_rgb(SAT_get_color_ind(v), &r, &g, &b), 0) << v;
            EXPECT_TRUE(r == g && g == b) << "count " << v << " is not grey";
            EXPECT_GE(g, last) << "greys darken at count " << v;
            last = g;
            greys.insert(static_cast<int>(g * 255.0f + 0.5f));
        }
        EXPECT_GE(static_cast<int>(greys.size()), c.min_greys);
    }
}

}  // namespace
