// The palette pass of the image writers: any IMG_report (1 to 32 bits per
// pixel, indexed or true colour) becomes at most 256 palette entries, in
// order of first appearance, and one index byte per pixel.
#define ZEM_IMG_INTERNAL
#include "img_priv.h"

#include <algorithm>

#include "mess.h"

namespace img {
namespace {

struct Mask {
    int shift = 0;
    int width = 0;
};

Mask mask_of(unsigned int m, int depth) {
    Mask r;
    if (m == 0) return r;
    while (r.shift < depth && r.shift < 32 && !((m >> r.shift) & 1u)) ++r.shift;
    for (unsigned int v = m >> r.shift; v & 1u; v >>= 1) ++r.width;
    return r;
}

// Component 0..1 to 0..255, truncated. The small allowance keeps values
// such as 128/255 or 32896/65535, which float arithmetic lands just below
// the integer, from losing one step.
std::uint8_t to_byte(float c) { return static_cast<std::uint8_t>(std::clamp(c, 0.0f, 1.0f) * 255.0f + 0.001f); }

std::uint8_t channel(std::uint32_t v, unsigned int mask, Mask m) {
    std::uint32_t c = (v & mask) >> m.shift;
    if (m.width == 0) return 0;
    c = m.width <= 8 ? c << (8 - m.width) : c >> (m.width - 8);
    return static_cast<std::uint8_t>(std::min<std::uint32_t>(c, 255));
}

// Pixel values to palette indices: open addressing over a table sixteen
// times the palette, so that a look-up (hit or miss) is a probe or two.
class ColourIndex {
public:
    int find(std::uint32_t v) const {
        for (std::size_t k = slot(v);; k = (k + 1) & kMask) {
            if (ind_[k] < 0) return -1;
            if (val_[k] == v) return ind_[k];
        }
    }
    void add(std::uint32_t v, int ind) {
        std::size_t k = slot(v);
        while (ind_[k] >= 0) k = (k + 1) & kMask;
        val_[k] = v;
        ind_[k] = static_cast<short>(ind);
    }

private:
    static constexpr std::size_t kSlots = 4096, kMask = kSlots - 1;
    static std::size_t slot(std::uint32_t v) { return (v * 2654435761u) >> 20 & kMask; }
    std::array<std::uint32_t, kSlots> val_{};
    std::array<short, kSlots> ind_ = [] {
        std::array<short, kSlots> a{};
        a.fill(-1);
        return a;
    }();
};

}  // namespace

bool index_image(const IMG_report* im, std::uint32_t trans_value, const char* who, Indexed* out) {
    const int bpp = im->bits_pixel;
    const int depth = im->depth;
    // A 15-bit screen (5-5-5) keeps each pixel in 16 bits like a 16-bit one.
    const int bytes_px = bpp == 32 ? 4 : depth == 24 ? 3 : (depth == 16 || depth == 15) ? 2 : depth == 8 ? 1 : 0;
    if (bytes_px == 0 && depth != 4 && depth != 1) {
        MESS_print(M_warn, "%s: unsupported pixel depth %d\n", who, depth);
        return false;
    }
    // Pixels per row including padding; the row must hold the width.
    const long long per_row = bytes_px > 0 ? im->bytes_line / bytes_px : static_cast<long long>(im->bytes_line) * 8 / depth;
    if (per_row < im->width) {
        MESS_print(M_warn, "%s: %d bytes per line cannot hold %d pixels\n", who, im->bytes_line, im->width);
        return false;
    }
    const bool msb = im->byte_order != 0;
    const bool indexed = im->color_type == 1;
    // An 8-bit or smaller direct image has no channels to speak of: it is
    // taken as grey levels.
    const bool grey = !indexed && depth <= 8;
    Mask mr = mask_of(im->red, depth), mg = mask_of(im->grn, depth), mb = mask_of(im->blu, depth);
    if (!indexed && !grey)
        MESS_print(M_debug, "mask: %d-%d %d-%d %d-%d\n", mr.shift, mr.width, mg.shift, mg.width, mb.shift, mb.width);

    out->width = im->width;
    out->height = im->height;
    out->num = 0;
    out->trans_index = 0;
    out->palette.fill(Rgb{});
    out->index.assign(static_cast<std::size_t>(im->width) * static_cast<std::size_t>(im->height), 0);
    ColourIndex known;
    // Neighbouring pixels mostly repeat: the last value found skips the map.
    std::uint32_t last_v = 0;
    std::uint8_t last_ind = 0;
    bool have_last = false;
    std::size_t o = 0;
    for (int y = 0; y < im->height; ++y) {
        const unsigned char* row = im->data + static_cast<std::size_t>(y) * static_cast<std::size_t>(im->bytes_line);
        for (int x = 0; x < im->width; ++x) {
            std::uint32_t v = 0;
            const unsigned char* p = row + static_cast<std::size_t>(x) * static_cast<std::size_t>(bytes_px);
            switch (bytes_px) {
            case 4: v = msb ? (p[1] << 16 | p[2] << 8 | p[3]) : (p[2] << 16 | p[1] << 8 | p[0]); break;
            case 3: v = msb ? (p[0] << 16 | p[1] << 8 | p[2]) : (p[2] << 16 | p[1] << 8 | p[0]); break;
            case 2: v = msb ? (p[0] << 8 | p[1]) : (p[1] << 8 | p[0]); break;
            case 1: v = p[0]; break;
            default:
                if (depth == 4) v = (x & 1) ? (row[x / 2] & 0x0F) : (row[x / 2] >> 4);
                else v = (row[x / 8] >> (x % 8)) & 1u;
                break;
            }
            if (have_last && v == last_v) {
                out->index[o++] = last_ind;
                continue;
            }
            const int found = known.find(v);
            std::uint8_t ind = 0;
            if (found >= 0) {
                ind = static_cast<std::uint8_t>(found);
            } else if (out->num < kMaxPalette) {
                ind = static_cast<std::uint8_t>(out->num);
                Rgb& c = out->palette[static_cast<std::size_t>(out->num++)];
                if (indexed) {
                    if (im->colors && v < static_cast<std::uint32_t>(im->num_colors)) {
                        c.r = to_byte(im->colors[v].r);
                        c.g = to_byte(im->colors[v].g);
                        c.b = to_byte(im->colors[v].b);
                    }
                } else if (grey) {
                    const int g = depth == 8 ? static_cast<int>(v) : static_cast<int>(v * 255 / ((1u << depth) - 1));
                    c.r = c.g = c.b = static_cast<std::uint8_t>(g);
                } else {
                    c.r = channel(v, im->red, mr);
                    c.g = channel(v, im->grn, mg);
                    c.b = channel(v, im->blu, mb);
                }
                known.add(v, ind);
                if (v == trans_value) out->trans_index = ind;
            }
            last_v = v;
            last_ind = ind;
            have_last = true;
            out->index[o++] = ind;
        }
    }
    MESS_print(M_debug, "num_color: %d\n", out->num);
    return true;
}

}  // namespace img
