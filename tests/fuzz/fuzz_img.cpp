// Any image file through IMG_read (the package's own format, plain and
// compressed, and whatever the recogniser sends elsewhere), header only and
// whole.
#include "fuzz_util.h"
#include "img_tool.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::quiet();
    // A compressed file that ends early is waited for as a file still being
    // written; here no file ever grows.
    IMG_set_read_wait(0);
    const std::string& name = fuzz::as_file(data, size);
    for (int type : {1, 0}) {
        IMG_report img;
        IMG_init(&img);
        IMG_read(name.c_str(), &img, type);
        IMG_free(&img);
    }
    return 0;
}
