// Stroke font files, then a string drawn with whatever was loaded, on a
// PostScript workstation writing to /dev/null.
#include "fuzz_util.h"
#include "gks_text.h"
#include "gks_x11.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::quiet();
    static const bool open = gopen_gks(nullptr, 0) == 0 && gopen_ws(1, "/dev/null", 4) == 0;
    if (!open) return 0;
    read_font(fuzz::as_file(data, size, ".fnt").c_str());
    const Gpt at{0.5f, 0.5f};
    gtext(&at, " !AZaz09~\x7f\xff");
    return 0;
}
