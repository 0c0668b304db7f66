// Colour table files, then every lookup over the table they built.
#include "colors.h"
#include "fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::quiet();
    const std::string& name = fuzz::as_file(data, size, ".clr");
    CLR_clear_table();
    CLR_read_table(name.c_str());
    const int n = CLR_get_num();
    for (int i = -1; i <= n; ++i) {
        float r, g, b;
        CLR_get_rgb(i, &r, &g, &b);
        if (const char* s = CLR_get_name(i)) CLR_get_ind(s);
    }
    CLR_get_num_fill();
    return 0;
}
