// X Window System dump files (XWD, file version 7), read and written without
// Xlib so that dumps work on every device. Failures go straight to the
// standard error stream; the header report goes to the debug level.
//
// File layout (all integers big-endian):
//   offset  size
//        0   100  header: 25 unsigned 32-bit fields, in this order
//                 header_size (100 + window name incl. its zero byte),
//                 file_version (7), pixmap_format (2 = Z pixmap),
//                 pixmap_depth, pixmap_width, pixmap_height, xoffset,
//                 byte_order (0 LSB first, 1 MSB first), bitmap_unit,
//                 bitmap_bit_order, bitmap_pad, bits_per_pixel,
//                 bytes_per_line, visual_class (3 PseudoColor, 4 TrueColor,
//                 5 DirectColor), red_mask, green_mask, blue_mask,
//                 bits_per_rgb, colormap_entries, ncolors, window_width,
//                 window_height, window_x, window_y, window_bdrwidth
//      100     n  window name, zero terminated (n = header_size - 100)
//   header  12*nc colour records: pixel (u32), red, green, blue (u16 each),
//                 flags (u8, 7 = DoRed|DoGreen|DoBlue), pad (u8)
//      ...  height*bytes_per_line pixel bytes, rows from the top
#include "xdump.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "gks_img.h"
#include "img_tool.h"
#include "mess.h"
#include "tools.h"

namespace {

constexpr std::uint32_t kXwdVersion = 7;
constexpr std::size_t kHeaderBytes = 100;
constexpr std::size_t kColorBytes = 12;
constexpr std::size_t kInfoMax = sizeof(IMG_report::info) - 1;  // 74 characters
constexpr std::uint32_t kVisualPseudo = 3;
constexpr std::uint32_t kVisualTrue = 4;
constexpr std::uint32_t kVisualDirect = 5;
// Sanity limits for header fields before anything is allocated.
constexpr std::uint32_t kMaxSide = 65535;
constexpr std::uint32_t kMaxColors = 1u << 24;

enum Field {
    kHeaderSize, kFileVersion, kPixmapFormat, kPixmapDepth, kPixmapWidth, kPixmapHeight, kXoffset,
    kByteOrder, kBitmapUnit, kBitmapBitOrder, kBitmapPad, kBitsPerPixel, kBytesPerLine, kVisualClass,
    kRedMask, kGreenMask, kBlueMask, kBitsPerRgb, kColormapEntries, kNcolors, kWindowWidth,
    kWindowHeight, kWindowX, kWindowY, kWindowBdrwidth, kNumFields
};

using Header = std::array<std::uint32_t, kNumFields>;

struct FileCloser {
    void operator()(FILE* f) const {
        if (f) std::fclose(f);
    }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

void fail(const char* msg) { std::fputs(msg, stderr); }

void put_u32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v >> 24));
    out.push_back(static_cast<std::uint8_t>(v >> 16));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
    out.push_back(static_cast<std::uint8_t>(v));
}

void put_u16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v >> 8));
    out.push_back(static_cast<std::uint8_t>(v));
}

long file_size(FILE* f) {
    if (std::fseek(f, 0, SEEK_END) != 0) return -1;
    long n = std::ftell(f);
    if (std::fseek(f, 0, SEEK_SET) != 0) return -1;
    return n;
}

// Header plausibility before any allocation: the sizes must describe a
// pixmap that the bytes per line can hold.
bool header_sane(const Header& h) {
    const std::uint32_t bpp = h[kBitsPerPixel];
    if (h[kPixmapWidth] == 0 || h[kPixmapHeight] == 0) return false;
    if (h[kPixmapWidth] > kMaxSide || h[kPixmapHeight] > kMaxSide) return false;
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return false;
    const std::uint64_t row_bits = static_cast<std::uint64_t>(h[kPixmapWidth]) * bpp;
    if (h[kBytesPerLine] < (row_bits + 7) / 8 || h[kBytesPerLine] > 8u * kMaxSide) return false;
    return h[kNcolors] <= kMaxColors;
}

int read_xwd(const char* filename, IMG_report* image, int type) {
    FilePtr f(std::fopen(filename, "rb"));
    if (!f) {
        std::fprintf(stderr, "XWD_read: Unable to open dump file: %s\n", filename);
        return 0;
    }
    const long total = file_size(f.get());

    std::array<std::uint8_t, kHeaderBytes> raw{};
    if (std::fread(raw.data(), 1, raw.size(), f.get()) != raw.size()) {
        fail("Unable to read dump file header\n");
        return 0;
    }
    Header h{};
    for (std::size_t i = 0; i < h.size(); ++i) h[i] = get_u32(raw, 4 * i, ByteOrder::big).value_or(0);

    if (h[kFileVersion] != kXwdVersion) {
        fail("XWD file format version mismatch\n");
        return 0;
    }
    if (h[kHeaderSize] < kHeaderBytes) {
        fail("XWD header size is too small.\n");
        return 0;
    }
    if (image->depth > 0 && h[kPixmapDepth] > static_cast<std::uint32_t>(image->depth)) {
        std::fprintf(stderr, "Incorrect depth: %u > %d\n", h[kPixmapDepth], image->depth);
        return 0;
    }

    // Window name; only its first 74 characters are kept.
    const std::uint32_t name_len = h[kHeaderSize] - static_cast<std::uint32_t>(kHeaderBytes);
    if (total < 0 || static_cast<std::uint64_t>(h[kHeaderSize]) > static_cast<std::uint64_t>(total)) {
        fail("Unable to read window name from dump file.\n");
        return 0;
    }
    std::vector<char> name(name_len + 1u, '\0');
    if (name_len > 0 && std::fread(name.data(), 1, name_len, f.get()) != name_len) {
        fail("Unable to read window name from dump file.\n");
        return 0;
    }
    std::snprintf(image->info, sizeof image->info, "%.*s", static_cast<int>(kInfoMax), name.data());

    if (!header_sane(h)) {
        fail("Unable to read dump file header\n");
        return 0;
    }
    image->width = static_cast<int>(h[kPixmapWidth]);
    image->height = static_cast<int>(h[kPixmapHeight]);
    image->byte_order = h[kByteOrder] ? 1 : 0;
    image->depth = static_cast<int>(h[kPixmapDepth]);
    image->bytes_line = static_cast<int>(h[kBytesPerLine]);
    image->bits_pixel = static_cast<int>(h[kBitsPerPixel]);
    // A DirectColor dump stores its channels in the pixel like a TrueColor
    // one; its colour map is almost always the identity ramp.
    const bool direct = h[kVisualClass] == kVisualTrue || h[kVisualClass] == kVisualDirect;
    image->color_type = direct ? 0 : 1;
    image->red = direct ? h[kRedMask] : 0;
    image->grn = direct ? h[kGreenMask] : 0;
    image->blu = direct ? h[kBlueMask] : 0;
    image->num_colors = static_cast<int>(h[kNcolors]);
    MESS_print(M_debug, "width: %d\n", image->width);
    MESS_print(M_debug, "height: %d\n", image->height);
    MESS_print(M_debug, "byte_order: %d\n", image->byte_order);
    MESS_print(M_debug, "depth: %d\n", image->depth);
    MESS_print(M_debug, "bytes_per_line: %d\n", image->bytes_line);
    MESS_print(M_debug, "bits_per_pixel: %d\n", image->bits_pixel);
    MESS_print(M_debug, "color type: %d\n", image->color_type);
    MESS_print(M_debug, "num_colors: %d\n", image->num_colors);

    // Colour map: each record sets the entry of its pixel value.
    const std::uint32_t nc = h[kNcolors];
    const std::uint64_t map_bytes = static_cast<std::uint64_t>(nc) * kColorBytes;
    if (static_cast<std::uint64_t>(h[kHeaderSize]) + map_bytes > static_cast<std::uint64_t>(total)) {
        fail("Unable to read color map from dump file.\n");
        return 0;
    }
    if (nc > 0) {
        std::vector<std::uint8_t> map(static_cast<std::size_t>(map_bytes));
        if (std::fread(map.data(), 1, map.size(), f.get()) != map.size()) {
            fail("Unable to read color map from dump file.\n");
            return 0;
        }
        image->colors = static_cast<IMG_color*>(std::calloc(nc, sizeof(IMG_color)));
        if (!image->colors) {
            fail("Unable to allocate color map.\n");
            return 0;
        }
        for (std::uint32_t i = 0; i < nc; ++i) {
            ByteView rec(map.data() + i * kColorBytes, kColorBytes);
            const std::uint32_t pixel = get_u32(rec, 0, ByteOrder::big).value_or(nc);
            if (pixel >= nc) continue;
            IMG_color& c = image->colors[pixel];
            c.r = static_cast<float>(get_u16(rec, 4, ByteOrder::big).value_or(0)) / 65535.0f;
            c.g = static_cast<float>(get_u16(rec, 6, ByteOrder::big).value_or(0)) / 65535.0f;
            c.b = static_cast<float>(get_u16(rec, 8, ByteOrder::big).value_or(0)) / 65535.0f;
        }
    }
    if (type == 1) return 1;

    const auto bytes = checked_area(image->height, image->bytes_line);
    if (!bytes) {
        fail("Unable to allocate data buffer.\n");
        return 0;
    }
    image->data = static_cast<unsigned char*>(std::malloc(*bytes));
    if (!image->data) {
        fail("Unable to allocate data buffer.\n");
        return 0;
    }
    if (std::fread(image->data, 1, *bytes, f.get()) != *bytes) {
        fail("Unable to read pixmap from dump file.\n");
        return 0;
    }
    return 1;
}

int write_xwd(const char* filename, const IMG_report* image) {
    const auto bytes = checked_area(image->height, image->bytes_line);
    if (image->width <= 0 || image->height <= 0 || !bytes || !image->data ||
        (image->num_colors > 0 && !image->colors)) {
        fail("Unable to write dump file header\n");
        return 0;
    }
    FilePtr f(std::fopen(filename, "wb"));
    if (!f) {
        fail("Unable to open dump file\n");
        return 0;
    }
    const std::size_t name_len = strnlen(image->info, sizeof image->info);
    const std::uint32_t ncolors = static_cast<std::uint32_t>(std::max(0, image->num_colors));
    const std::uint32_t order = image->byte_order ? 1 : 0;
    Header h{};
    h[kHeaderSize] = static_cast<std::uint32_t>(kHeaderBytes + name_len + 1);
    h[kFileVersion] = kXwdVersion;
    h[kPixmapFormat] = 2;
    h[kPixmapDepth] = static_cast<std::uint32_t>(image->depth);
    h[kPixmapWidth] = static_cast<std::uint32_t>(image->width);
    h[kPixmapHeight] = static_cast<std::uint32_t>(image->height);
    h[kXoffset] = 0;
    h[kByteOrder] = order;
    h[kBitmapUnit] = 32;
    h[kBitmapBitOrder] = order;
    h[kBitmapPad] = 32;
    h[kBitsPerPixel] = static_cast<std::uint32_t>(image->bits_pixel);
    h[kBytesPerLine] = static_cast<std::uint32_t>(image->bytes_line);
    h[kVisualClass] = image->color_type == 1 ? kVisualPseudo : kVisualTrue;
    h[kRedMask] = image->red;
    h[kGreenMask] = image->grn;
    h[kBlueMask] = image->blu;
    h[kBitsPerRgb] = 8;
    h[kColormapEntries] = ncolors;
    h[kNcolors] = ncolors;
    h[kWindowWidth] = static_cast<std::uint32_t>(image->width);
    h[kWindowHeight] = static_cast<std::uint32_t>(image->height);

    std::vector<std::uint8_t> out;
    for (std::uint32_t v : h) put_u32(out, v);
    if (std::fwrite(out.data(), 1, out.size(), f.get()) != out.size()) {
        fail("Unable to write dump file header\n");
        return 0;
    }
    MESS_print(M_debug, "width: %d\n", image->width);
    MESS_print(M_debug, "height: %d\n", image->height);
    MESS_print(M_debug, "byte_order: %d\n", image->byte_order);
    MESS_print(M_debug, "bits_pixel: %d\n", image->bits_pixel);
    MESS_print(M_debug, "depth: %d\n", image->depth);
    MESS_print(M_debug, "bytes_per_line: %d\n", image->bytes_line);
    MESS_print(M_debug, "num colors: %d\n", image->num_colors);

    if (std::fwrite(image->info, 1, name_len, f.get()) != name_len || std::fputc(0, f.get()) == EOF) {
        fail("Unable to write window name to dump file.\n");
        return 0;
    }
    out.clear();
    for (std::uint32_t i = 0; i < ncolors; ++i) {
        const IMG_color& c = image->colors[i];
        auto comp = [](float v) { return static_cast<std::uint16_t>(std::clamp(v, 0.0f, 1.0f) * 65535.0f); };
        put_u32(out, i);
        put_u16(out, comp(c.r));
        put_u16(out, comp(c.g));
        put_u16(out, comp(c.b));
        out.push_back(7);
        out.push_back(0);
    }
    if (!out.empty() && std::fwrite(out.data(), 1, out.size(), f.get()) != out.size()) {
        fail("Unable to write color map to dump file.\n");
        return 0;
    }
    if (std::fwrite(image->data, 1, *bytes, f.get()) != *bytes) {
        fail("Unable to write to XWD file.\n");
        return 0;
    }
    if (std::fclose(f.release()) != 0) {
        fail("Unable to write to XWD file.\n");
        return 0;
    }
    return 1;
}

}  // namespace

int XWD_read(const char* filename, IMG_report* image, int type) {
    if (!filename || !image) return 0;
    try {
        return read_xwd(filename, image, type);
    } catch (const std::bad_alloc&) {
        fail("Unable to allocate data buffer.\n");
        return 0;
    }
}

int XWD_write(const char* filename, const IMG_report* image) {
    if (!filename || !image) return 0;
    try {
        return write_xwd(filename, image);
    } catch (const std::bad_alloc&) {
        fail("Unable to write dump file header\n");
        return 0;
    }
}

// Reads the current window frame back (the kernel's image display owns the
// copy it hands over) and writes it; the copy is released either way.
int XWD_dump(const char* filename) {
    return gwrite_window_image(filename,
                               [](const char* name, IMG_report* image) { return XWD_write(name, image); });
}
