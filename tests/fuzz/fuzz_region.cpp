// Region files: the menu, a search for the first region and for a name.
#include "fuzz_util.h"
#include "region.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::quiet();
    const std::string& name = fuzz::as_file(data, size, ".reg");
    DOM_read_menu(name.c_str());
    for (int i = -1; i <= DOM_get_num_regions(); ++i) DOM_get_region_name(i);
    char out[DOM_FIELD_SIZE];
    if (DOM_search_file(name.c_str(), nullptr, out) == 1) {
        Domain d;
        DOM_init(&d);
        DOM_decode(out, &d);
    }
    DOM_search_file(name.c_str(), "us", out);
    return 0;
}
