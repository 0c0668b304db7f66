// Map database files drawn on a world map, and the same bytes taken as a
// map list (pass prefixes, region blocks, size conditions, layer kinds).
#include "fuzz_util.h"
#include "gks_x11.h"
#include "map.h"
#include "region.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::quiet();
    static bool open = gopen_gks(nullptr, 0) == 0;
    (void)open;
    Domain d;
    DOM_decode("ll:0,0,0,361,181,1,1", &d);
    MAP_setup(&d);
    const std::string& name = fuzz::as_file(data, size, ".map");
    if (FILE* f = std::fopen(name.c_str(), "rb")) {
        MAP_map(f);
        std::fclose(f);
    }
    MAP_file(fuzz::as_text(data, size).c_str());
    MAP_draw(7);
    return 0;
}
