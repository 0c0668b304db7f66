// Navigation blocks: the first byte picks the block kind, the next 256
// bytes are the directory and the rest the block. A block the navigation
// accepts is driven through earth-to-image and image-to-earth round trips,
// a row transform and the map domain.
#include <cstring>
#include <vector>

#include "fuzz_util.h"
#include "region.h"
#include "sat_read.h"
#include "sat_tran.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::quiet();
    static const char* const kinds[] = {"GOES", "GVAR", "PS",   "MOLL", "MSAT",
                                        "RECT", "MERC", "LAMB", "TANC"};
    if (size < 1) return 0;
    const char* kind = kinds[data[0] % 9];
    ++data;
    --size;
    MC_area_dir dir{};
    std::memcpy(&dir, data, std::min(size, sizeof dir));
    const std::size_t used = std::min(size, sizeof dir);
    data += used;
    size -= used;
    std::vector<unsigned char> block(sizeof(MC_nav_gvar), 0);
    std::memcpy(block.data(), data, std::min(size, block.size()));
    std::memcpy(block.data(), kind, std::strlen(kind));

    MC_area area{};
    area.dir = &dir;
    std::snprintf(area.type, sizeof area.type, "%s", kind);
    void* b = block.data();
    if (!std::strcmp(kind, "GOES")) area.navg = static_cast<MC_nav_goes*>(b);
    else if (!std::strcmp(kind, "GVAR")) area.navgv = static_cast<MC_nav_gvar*>(b);
    else if (!std::strcmp(kind, "PS") || !std::strcmp(kind, "MSAT")) area.navps = static_cast<MC_nav_ps*>(b);
    else if (!std::strcmp(kind, "TANC")) area.navtanc = static_cast<MC_nav_tanc*>(b);
    else area.nav = static_cast<MC_nav*>(b);

    if (AREA_init(&area) != 0) return 0;
    const float lats[] = {0, 45, -60, 89.9f, 30};
    const float lons[] = {0, -75, 140, 10, -179.9f};
    for (int i = 0; i < 5; ++i) {
        float lat = lats[i], lon = lons[i], lin = 0, ele = 0;
        AREA_tran(1, &lat, &lon, &lin, &ele);
        AREA_tran(-1, &lat, &lon, &lin, &ele);
        float ol, oe;
        AREA_line_elem(1, lin, ele, &ol, &oe);
        AREA_line_elem(-1, lin, ele, &ol, &oe);
    }
    for (float l = -10; l < 2000; l += 397) {
        float lat = 0, lon = 0, lin = l, ele = l / 2;
        AREA_tran(-1, &lat, &lon, &lin, &ele);
        AREA_tran(1, &lat, &lon, &lin, &ele);
    }
    float line[5], elem[5];
    AREA_image_row(lats, lons, 5, line, elem);
    Domain d;
    DOM_init(&d);
    AREA_map_domain(&d);
    return 0;
}
