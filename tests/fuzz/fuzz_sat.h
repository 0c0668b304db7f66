// Shared by the satellite reader targets: the input as a file read by one
// reader, and a successful read navigated and remapped onto a small
// latitude/longitude grid, as the display would do with it.
#ifndef ZEM_FUZZ_SAT_H
#define ZEM_FUZZ_SAT_H

#include "fuzz_util.h"
#include "img_tool.h"
#include "maptran.h"
#include "region.h"
#include "sat_read.h"
#include "sat_tool.h"

namespace fuzz {

inline int read_sat(int (*reader)(const char*, IMG_report*), const std::uint8_t* data, std::size_t size,
                    const char* ext)
{
    quiet();
    const std::string& name = as_file(data, size, ext);
    IMG_report img;
    IMG_init(&img);
    if (reader(name.c_str(), &img) == 0 && img.data) {
        Domain grid;
        DOM_init(&grid);
        DOM_decode("latlon,40,-100,16,12,2,2", &grid);
        SAT_set_tran_sat(0);
        SAT_remap_image(&img, &grid);
    }
    IMG_free(&img);
    return 0;
}

}  // namespace fuzz

#endif
