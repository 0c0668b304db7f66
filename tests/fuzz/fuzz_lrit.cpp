// LRIT segments: header records, raw or JPEG pixels, GEOS navigation.
#include "fuzz_sat.h"
#include "lrit.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    LRIT_set_assemble(1);  // sibling segments are looked for, and missed
    return fuzz::read_sat(SAT_read_LRIT, data, size, ".lrit");
}
