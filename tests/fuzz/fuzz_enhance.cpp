// Enhancement files and entry lists: the input is read once as a file named
// by "color_fill", once as its list of entries, and each resulting table
// colours a ramp image.
#include <cstdlib>

#include "colors.h"
#include "fuzz_util.h"
#include "img_tool.h"
#include "resrc.h"
#include "sat_tool.h"

namespace {
void colour_ramp()
{
    IMG_report img;
    IMG_init(&img);
    img.width = 256;
    img.height = 1;
    img.depth = 8;
    img.bits_pixel = 8;
    img.bytes_line = 256;
    img.data = static_cast<unsigned char*>(std::malloc(256));
    for (int i = 0; i < 256; ++i) img.data[i] = static_cast<unsigned char>(i);
    SAT_color_image(&img);
    IMG_free(&img);
    for (int v = -1; v <= 256; ++v) {
        int l, s;
        SAT_get_color_ind(v);
        SAT_get_pixel_dither(v, &l, &s);
    }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::quiet();
    static bool table = false;
    if (!table) {
        table = true;
        CLR_read_table(ZEM_ETC "/zem.clr");
    }
    const std::string& name = fuzz::as_file(data, size, ".enh");
    RES_put("color_fill", name.c_str());
    SAT_reset_dither_mode();
    SAT_color_setup();
    colour_ramp();

    std::string list = fuzz::as_text(data, size);
    for (char& c : list)
        if (c == '\n' || c == ' ') c = ',';
    RES_put("color_fill", list.c_str());
    SAT_reset_dither_mode();
    SAT_color_setup();
    colour_ramp();
    int num = 0;
    SAT_decode_colors(fuzz::as_text(data, size).c_str(), &num);
    return 0;
}
