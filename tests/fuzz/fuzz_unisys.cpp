// Unisys images: text header tokens, then pixels.
#include "fuzz_sat.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return fuzz::read_sat(SAT_read_Unisys, data, size, ".uni");
}
