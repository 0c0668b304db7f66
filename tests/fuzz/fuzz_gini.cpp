// GINI files: plain, zlib or PNG bodies, with or without a WMO heading.
#include "fuzz_sat.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return fuzz::read_sat(SAT_read_AWIP, data, size, ".gini");
}
