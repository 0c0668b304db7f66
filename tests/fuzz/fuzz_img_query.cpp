// Recognition of an image file by its first bytes.
#include "fuzz_util.h"
#include "img_tool.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::quiet();
    IMG_query(fuzz::as_file(data, size).c_str());
    return 0;
}
