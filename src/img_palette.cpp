// The palette pass of the image writers: any IMG_report (1 to 32 bits per
// pixel, indexed or true colour) becomes at most 256 palette entries, in
// order of first appearance, and one index byte per pixel.
#define ZEM_IMG_INTERNAL
#include "img_priv.h"

#include <algorithm>
#include <bit>
#include <cstring>

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

// Palette entries in order of first appearance: the index of a pixel value,
// adding its colour while there is room (later new values index 0).
class PaletteBuilder {
public:
    PaletteBuilder(const IMG_report* im, std::uint32_t trans_value, Indexed* out)
        : im_(im), trans_value_(trans_value), out_(out), indexed_(im->color_type == 1),
          grey_(!indexed_ && im->depth <= 8), mr_(mask_of(im->red, im->depth)), mg_(mask_of(im->grn, im->depth)),
          mb_(mask_of(im->blu, im->depth)) {}

    std::uint8_t index_of(std::uint32_t v) {
        const int found = known_.find(v);
        if (found >= 0) return static_cast<std::uint8_t>(found);
        if (out_->num >= kMaxPalette) return 0;
        const auto ind = static_cast<std::uint8_t>(out_->num);
        out_->palette[static_cast<std::size_t>(out_->num++)] = colour_of(v);
        known_.add(v, ind);
        if (v == trans_value_) out_->trans_index = ind;
        return ind;
    }

    void report_masks() const {
        if (!indexed_ && !grey_)
            MESS_print(M_debug, "mask: %d-%d %d-%d %d-%d\n", mr_.shift, mr_.width, mg_.shift, mg_.width, mb_.shift,
                       mb_.width);
    }

private:
    Rgb colour_of(std::uint32_t v) const {
        Rgb c;
        if (indexed_) {
            if (im_->colors && v < static_cast<std::uint32_t>(im_->num_colors)) {
                c.r = to_byte(im_->colors[v].r);
                c.g = to_byte(im_->colors[v].g);
                c.b = to_byte(im_->colors[v].b);
            }
        } else if (grey_) {
            const int depth = im_->depth;
            const int g = depth == 8 ? static_cast<int>(v) : static_cast<int>(v * 255 / ((1u << depth) - 1));
            c.r = c.g = c.b = static_cast<std::uint8_t>(g);
        } else {
            c.r = channel(v, im_->red, mr_);
            c.g = channel(v, im_->grn, mg_);
            c.b = channel(v, im_->blu, mb_);
        }
        return c;
    }

    const IMG_report* im_;
    std::uint32_t trans_value_;
    Indexed* out_;
    bool indexed_, grey_;
    Mask mr_, mg_, mb_;
    ColourIndex known_;
};

// Every pixel's index, rows in order; `value(row, x)` reads pixel x of a
// row. Pictures change colour from pixel to pixel too often for a "same as
// the last one" test to pay: a direct-mapped memo of recent values answers
// most pixels with one compare that rarely fails. One instance per pixel
// layout keeps the reading out of the loop.
template <class Value>
void index_rows(const IMG_report* im, PaletteBuilder& palette, std::uint8_t* out, Value value) {
    constexpr std::size_t kMemo = 1024;
    // No pixel value has all 32 bits set (at most 24 are read).
    std::array<std::uint32_t, kMemo> memo_v;
    memo_v.fill(0xFFFFFFFFu);
    std::array<std::uint8_t, kMemo> memo_ind{};
    for (int y = 0; y < im->height; ++y) {
        const unsigned char* row = im->data + static_cast<std::size_t>(y) * static_cast<std::size_t>(im->bytes_line);
        for (int x = 0; x < im->width; ++x) {
            const std::uint32_t v = value(row, x);
            const std::size_t k = (v * 2654435761u) >> 22 & (kMemo - 1);
            if (memo_v[k] != v) {
                memo_v[k] = v;
                memo_ind[k] = palette.index_of(v);
            }
            *out++ = memo_ind[k];
        }
    }
}

std::uint32_t load32(const unsigned char* p) {
    std::uint32_t w;
    std::memcpy(&w, p, 4);
    return w;
}

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
    PaletteBuilder palette(im, trans_value, out);
    palette.report_masks();

    out->width = im->width;
    out->height = im->height;
    out->num = 0;
    out->trans_index = 0;
    out->palette.fill(Rgb{});
    out->index.assign(static_cast<std::size_t>(im->width) * static_cast<std::size_t>(im->height), 0);
    if (out->index.empty()) return true;
    std::uint8_t* o = out->index.data();
    using Row = const unsigned char*;
    switch (bytes_px) {
    case 4:
        // A little-endian word holds 0xXXRRGGBB as the bytes B G R X.
        if (!msb && std::endian::native == std::endian::little)
            index_rows(im, palette, o, [](Row r, int x) { return load32(r + 4 * x) & 0xFFFFFFu; });
        else if (msb)
            index_rows(im, palette, o, [](Row r, int x) {
                const Row p = r + 4 * x;
                return std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
            });
        else
            index_rows(im, palette, o, [](Row r, int x) {
                const Row p = r + 4 * x;
                return std::uint32_t{p[2]} << 16 | std::uint32_t{p[1]} << 8 | p[0];
            });
        break;
    case 3:
        index_rows(im, palette, o, [msb](Row r, int x) {
            const Row p = r + 3 * x;
            return msb ? (std::uint32_t{p[0]} << 16 | std::uint32_t{p[1]} << 8 | p[2])
                       : (std::uint32_t{p[2]} << 16 | std::uint32_t{p[1]} << 8 | p[0]);
        });
        break;
    case 2:
        index_rows(im, palette, o, [msb](Row r, int x) {
            const Row p = r + 2 * x;
            return msb ? (std::uint32_t{p[0]} << 8 | p[1]) : (std::uint32_t{p[1]} << 8 | p[0]);
        });
        break;
    case 1: index_rows(im, palette, o, [](Row r, int x) { return std::uint32_t{r[x]}; }); break;
    default:
        if (depth == 4)
            index_rows(im, palette, o, [](Row r, int x) {
                return std::uint32_t((x & 1) ? (r[x / 2] & 0x0F) : (r[x / 2] >> 4));
            });
        else
            index_rows(im, palette, o, [](Row r, int x) { return std::uint32_t((r[x / 8] >> (x % 8)) & 1u); });
        break;
    }
    MESS_print(M_debug, "num_color: %d\n", out->num);
    return true;
}

}  // namespace img
