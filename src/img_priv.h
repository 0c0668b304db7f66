// Image-file internals shared by the image-file modules (img_tool, gif,
// png, xdump): the palette pass that turns any IMG_report into palette
// indices, and the layout report of the readers. Nothing outside those
// modules may include it.
#ifndef ZEM_IMG_PRIV_H
#define ZEM_IMG_PRIV_H

#ifndef ZEM_IMG_INTERNAL
#error "img_priv.h is private to the image-file modules; use gif.h, png.h, xdump.h or img_tool.h"
#endif

#include <array>
#include <cstdint>
#include <new>
#include <vector>

#include "mess.h"
#include "sat_read.h"

namespace img {

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};

inline constexpr int kMaxPalette = 256;

// A picture as palette indices: width*height bytes, rows from the top, and
// its palette (entries past `num` are black).
struct Indexed {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> index;
    std::array<Rgb, kMaxPalette> palette{};
    int num = 0;            // palette entries in use
    int trans_index = 0;    // index of the pixel value asked for as transparent
};

// Palette pass over `im` (1 to 32 bits per pixel, indexed or true colour):
// pixel values in raster order, the first 256 distinct ones get their own
// index (colours from the colour table or the channel masks), later new
// ones index 0. `trans_value` is the pixel value whose index is reported in
// trans_index (0 when it never occurs). `who` prefixes the warnings. False,
// with a warning, for a layout that cannot be read; may throw bad_alloc.
bool index_image(const IMG_report* im, std::uint32_t trans_value, const char* who, Indexed* out);

// Runs a reader's or writer's body; running out of memory inside it becomes
// the warning `msg` and 0, so that no exception leaves an IMG_ or GIF_ call.
template <class Body>
int guard_alloc(const char* msg, Body body) {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        MESS_print(M_warn, "%s", msg);
        return 0;
    }
}

// The layout a reader found, reported at debug level.
inline void report_layout(const IMG_report& im) {
    MESS_print(M_debug, "type: %s\n", im.info);
    MESS_print(M_debug, "width: %d\n", im.width);
    MESS_print(M_debug, "height: %d\n", im.height);
    MESS_print(M_debug, "depth: %d\n", im.depth);
    MESS_print(M_debug, "bytes_per_line: %d\n", im.bytes_line);
}

}  // namespace img

#endif
