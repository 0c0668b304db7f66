// GIF files, header only and whole.
#include "fuzz_util.h"
#include "gif.h"
#include "img_tool.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::quiet();
    const std::string& name = fuzz::as_file(data, size, ".gif");
    for (int type : {1, 0}) {
        IMG_report img;
        IMG_init(&img);
        GIF_read(name.c_str(), &img, type);
        IMG_free(&img);
    }
    return 0;
}
