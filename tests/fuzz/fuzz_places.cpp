// Place files read to the end.
#include "cty_read.h"
#include "fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::quiet();
    const std::string& name = fuzz::as_file(data, size, ".cty");
    int h = CTY_open(name.c_str(), 0, 0);
    if (h < 0) return 0;
    CTY_data d;
    for (int n = 0; n < 1000000; ++n) {
        CTY_data_init(&d);
        if (CTY_read(h, &d) < 0) break;
    }
    const char* nm = nullptr;
    int count = 0;
    CTY_getinfo(h, &nm, &count);
    CTY_close(h);
    return 0;
}
