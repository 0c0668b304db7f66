// Domain strings, then the domain printed back and decoded again.
#include "fuzz_util.h"
#include "region.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::quiet();
    const std::string s = fuzz::as_text(data, size);
    Domain d;
    DOM_init(&d);
    if (DOM_decode(s.c_str(), &d) == 1) {
        char out[512];
        DOM_sprint(&d, out, sizeof out);
        Domain e;
        DOM_init(&e);
        DOM_decode(out, &e);
        DOM_aspect(&d);
    }
    Domain r;
    DOM_init(&r);
    DOM_get_def_region(s.c_str(), &r);
    return 0;
}
