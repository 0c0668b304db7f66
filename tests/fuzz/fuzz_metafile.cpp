// Text metafiles replayed onto a metafile workstation writing to /dev/null:
// every record kind, broken counts and text, unknown keywords.
#include "fuzz_util.h"
#include "gks_meta.h"
#include "gks_x11.h"
#include "resrc.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::quiet();
    static const bool open = [] {
        RES_put("file_path", ZEM_ETC);
        return gopen_gks(nullptr, 0) == 0 && gopen_ws(1, "/dev/null", 3) == 0;
    }();
    if (!open) return 0;
    gread_metafile(fuzz::as_file(data, size, ".meta").c_str());
    return 0;
}
