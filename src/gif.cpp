// GIF images. The codec is later work; until then every entry point says so
// and fails.
#include "gif.h"

#include "mess.h"

int GIF_read(const char* /*filename*/, IMG_report* /*image*/, int /*type*/) {
    MESS_print(M_warn, "GIF_read: GIF reader not built yet\n");
    return 0;
}

int GIF_write(const char* /*filename*/, IMG_report* /*image*/) {
    MESS_print(M_warn, "GIF_write: GIF writer not built yet\n");
    return 0;
}

int GIF_dump(const char* /*filename*/) {
    MESS_print(M_warn, "GIF_dump: GIF window dump not built yet\n");
    return 0;
}

// The switches are kept so that the writer honours them once it exists.
namespace {
struct GifSwitches {
    int interlace = 0;
    int transparent = 0;
};
GifSwitches g_gif;
}  // namespace

int GIF_interlace(int flag) {
    g_gif.interlace = flag;
    return 0;
}

int GIF_transparent(int flag) {
    g_gif.transparent = flag;
    return 0;
}
