// TIFF files: the directory and GeoKeys parsed here, pixels through libtiff.
#include "fuzz_sat.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return fuzz::read_sat(SAT_read_TIFF, data, size, ".tif");
}
