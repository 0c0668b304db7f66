// AREA reader through a stream: every physical variant and the PNG data
// block are chosen by the bytes themselves. A successful read is also
// navigated, as the display would do.
#include <cstdio>

#include "fuzz_util.h"
#include "sat_read.h"
#include "sat_tran.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::quiet();
    FILE* f = fmemopen(const_cast<std::uint8_t*>(data), size ? size : 1, "rb");
    if (!f) return 0;
    if (size == 0) std::fgetc(f);  // an empty stream
    MC_area area{};
    if (SAT_read_AREA(f, &area) == 0) {
        if (AREA_init(&area) == 0) {
            float lat = 40, lon = -100, lin = 0, ele = 0;
            AREA_tran(1, &lat, &lon, &lin, &ele);
            lin = 10; ele = 10;
            AREA_tran(-1, &lat, &lon, &lin, &ele);
        }
        SAT_free_AREA(&area);
    }
    std::fclose(f);
    return 0;
}
