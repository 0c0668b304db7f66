// Resource files read entry by entry, directives included.
#include "def_read.h"
#include "fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::quiet();
    const std::string& name = fuzz::as_file(data, size, ".cfg");
    DEF_clr_tag();
    DEF_tag("x");
    if (DEF_open(name.c_str()) == 0) {
        char key[DEF_LINE_LEN];
        char value[DEF_LINE_LEN];
        for (int n = 0; n < 100000 && DEF_get(key, value) == 1; ++n) {
        }
        DEF_close();
    }
    return 0;
}
