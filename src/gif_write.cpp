// Writing GIF files: the LZW coder, single pictures (from an image record
// or from palette indices in memory), animated files and the window dumps.
// The coder follows the GIF89a document: variable-width codes from the
// code size plus one up to 12 bits, a clear code first and whenever the
// 4096-entry table is full, the end code last, bytes packed least
// significant bit first into data sub-blocks.
#include "gif.h"

#define ZEM_IMG_INTERNAL

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <new>

#include "gks_colr.h"
#include "gks_img.h"
#include "gks_loop.h"
#include "img_priv.h"
#include "img_tool.h"
#include "mess.h"

namespace {

struct GifSwitches {
    int interlace = 0;
    int transparent = 0;
};
GifSwitches g_gif;

constexpr int kMaxCodes = 4096;
constexpr std::size_t kSubBlock = 254;  // data bytes per sub-block written

// Packs codes into sub-blocks appended to `out`.
class CodeWriter {
public:
    explicit CodeWriter(std::vector<std::uint8_t>* out) : out_(out) {}
    void put(int code, int width) {
        acc_ |= static_cast<std::uint32_t>(code) << bits_;
        bits_ += width;
        while (bits_ >= 8) {
            byte(static_cast<std::uint8_t>(acc_));
            acc_ >>= 8;
            bits_ -= 8;
        }
    }
    // The last partial byte, the last sub-block and the terminator.
    void finish() {
        if (bits_ > 0) byte(static_cast<std::uint8_t>(acc_));
        flush();
        out_->push_back(0);
    }

private:
    void byte(std::uint8_t b) {
        block_[n_++] = b;
        if (n_ == kSubBlock) flush();
    }
    void flush() {
        if (n_ == 0) return;
        out_->push_back(static_cast<std::uint8_t>(n_));
        out_->insert(out_->end(), block_.begin(), block_.begin() + static_cast<std::ptrdiff_t>(n_));
        n_ = 0;
    }
    std::vector<std::uint8_t>* out_;
    std::array<std::uint8_t, kSubBlock> block_{};
    std::size_t n_ = 0;
    std::uint32_t acc_ = 0;
    int bits_ = 0;
};

// String table of the coder: (prefix code, next index) -> code, open
// addressing at most half full, emptied by bumping a generation number so
// that a clear costs nothing.
class StringTable {
public:
    StringTable() { reset(); }
    void reset() {
        if (++gen_ == 0) {  // wrapped: really empty every slot
            std::fill(slot_gen_.begin(), slot_gen_.end(), 0);
            gen_ = 1;
        }
    }
    // The slot of `key`: holds its code when found() says so.
    std::size_t find(std::uint32_t key) const {
        std::size_t h = (key * 2654435761u) >> (32 - kBits);
        while (slot_gen_[h] == gen_ && keys_[h] != key) h = (h + 1) & (kSize - 1);
        return h;
    }
    bool found(std::size_t slot) const { return slot_gen_[slot] == gen_; }
    int code(std::size_t slot) const { return codes_[slot]; }
    void add(std::size_t slot, std::uint32_t key, int code) {
        slot_gen_[slot] = gen_;
        keys_[slot] = key;
        codes_[slot] = static_cast<std::uint16_t>(code);
    }

private:
    static constexpr int kBits = 13;
    static constexpr std::size_t kSize = 1u << kBits;
    std::array<std::uint32_t, kSize> keys_{};
    std::array<std::uint16_t, kSize> codes_{};
    std::array<std::uint32_t, kSize> slot_gen_{};
    std::uint32_t gen_ = 0;
};

void put16(std::vector<std::uint8_t>* out, int v) {
    out->push_back(static_cast<std::uint8_t>(v & 0xFF));
    out->push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
}

// Bits of the smallest power-of-two table holding n colours (at least 2).
int table_bits(int n) {
    int bits = 1;
    while ((1 << bits) < n) ++bits;
    return bits;
}

bool valid(const GIF_picture& pic, const char* who) {
    if (pic.width < 1 || pic.width > 65535 || pic.height < 1 || pic.height > 65535 || !pic.index) {
        MESS_print(M_warn, "%s: cannot write a %dx%d picture\n", who, pic.width, pic.height);
        return false;
    }
    if (pic.num_colors < 1 || pic.num_colors > 256 || !pic.rgb) {
        MESS_print(M_warn, "%s: cannot write a palette of %d colours\n", who, pic.num_colors);
        return false;
    }
    return true;
}

void put_table(std::vector<std::uint8_t>* out, const GIF_picture& pic, int bits) {
    const std::size_t n = static_cast<std::size_t>(pic.num_colors) * 3;
    out->insert(out->end(), pic.rgb, pic.rgb + n);
    out->insert(out->end(), (static_cast<std::size_t>(1) << bits) * 3 - n, 0);
}

// Graphic control extension: delay and transparency. Pictures of an
// animation are left in place for the next to cover, or with transparency
// cleared to the background, so that no earlier picture shows through.
void put_control(std::vector<std::uint8_t>* out, const GIF_picture& pic, bool animated) {
    const bool trans = pic.transparent >= 0 && pic.transparent < 256;
    const int disposal = animated ? (trans ? 2 : 1) : 0;
    const std::uint8_t packed = static_cast<std::uint8_t>(disposal << 2 | (trans ? 1 : 0));
    out->insert(out->end(), {0x21, 0xF9, 0x04, packed});
    put16(out, std::clamp(pic.delay, 0, 65535));
    out->push_back(static_cast<std::uint8_t>(trans ? pic.transparent : 0));
    out->push_back(0);
}

// Image descriptor, the local table when given, and the coded pixels in
// file row order.
void put_image(std::vector<std::uint8_t>* out, const GIF_picture& pic, bool interlace, int local_bits) {
    out->push_back(0x2C);
    put16(out, 0);
    put16(out, 0);
    put16(out, pic.width);
    put16(out, pic.height);
    out->push_back(static_cast<std::uint8_t>((interlace ? 0x40 : 0) | (local_bits ? 0x80 | (local_bits - 1) : 0)));
    if (local_bits) put_table(out, pic, local_bits);
    const int code_size = std::max(2, table_bits(pic.num_colors));
    const std::size_t w = static_cast<std::size_t>(pic.width);
    if (!interlace) {
        GIF_lzw_encode(pic.index, w * static_cast<std::size_t>(pic.height), code_size, out);
        return;
    }
    std::vector<std::uint8_t> rows;
    rows.reserve(w * static_cast<std::size_t>(pic.height));
    static constexpr int kStart[4] = {0, 4, 2, 1};
    static constexpr int kStep[4] = {8, 8, 4, 2};
    for (int p = 0; p < 4; ++p)
        for (int y = kStart[p]; y < pic.height; y += kStep[p]) {
            const std::uint8_t* r = pic.index + static_cast<std::size_t>(y) * w;
            rows.insert(rows.end(), r, r + w);
        }
    GIF_lzw_encode(rows.data(), rows.size(), code_size, out);
}

// Header and logical screen descriptor with a global table of `bits`.
void put_header(std::vector<std::uint8_t>* out, const GIF_picture& pic, int bits) {
    const char sig[] = "GIF89a";
    out->insert(out->end(), sig, sig + 6);
    put16(out, pic.width);
    put16(out, pic.height);
    out->push_back(static_cast<std::uint8_t>(0x80 | (bits - 1) << 4 | (bits - 1)));
    out->push_back(0);  // background index
    out->push_back(0);  // no aspect ratio
    put_table(out, pic, bits);
}

bool write_all(std::FILE* f, const std::vector<std::uint8_t>& bytes) {
    return std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
}

// The record's picture as palette indices, the background colour's index
// as the transparent one.
bool index_record(const IMG_report* image, const char* who, img::Indexed* ix) {
    if (image->width <= 0 || image->height <= 0 || image->depth <= 0 || !image->data || image->bytes_line <= 0) {
        MESS_print(M_warn, "%s: no image to write\n", who);
        return false;
    }
    return img::index_image(image, static_cast<std::uint32_t>(gget_color_ind(-1)), who, ix);
}

GIF_picture picture_of(const img::Indexed& ix, std::vector<std::uint8_t>* rgb) {
    rgb->clear();
    for (int i = 0; i < std::max(ix.num, 1); ++i) {
        const img::Rgb& c = ix.palette[static_cast<std::size_t>(i)];
        rgb->insert(rgb->end(), {c.r, c.g, c.b});
    }
    GIF_picture pic;
    pic.width = ix.width;
    pic.height = ix.height;
    pic.index = ix.index.data();
    pic.rgb = rgb->data();
    pic.num_colors = std::max(ix.num, 1);
    return pic;
}

int write_gif(const char* filename, IMG_report* image) {
    MESS_print(M_debug, "width: %d\n", image->width);
    MESS_print(M_debug, "height: %d\n", image->height);
    MESS_print(M_debug, "depth: %d\n", image->depth);
    MESS_print(M_debug, "bytes_per_line: %d\n", image->bytes_line);
    img::Indexed ix;
    if (!index_record(image, "GIF_write", &ix)) return 0;
    std::vector<std::uint8_t> rgb;
    GIF_picture pic = picture_of(ix, &rgb);
    const int bits = table_bits(pic.num_colors);
    MESS_print(M_debug, "num_color+: %d\n", 1 << bits);
    MESS_print(M_debug, "code_size: %d\n", std::max(2, bits));
    if (g_gif.transparent) {
        pic.transparent = ix.trans_index;
        pic.delay = 10;
    }
    std::vector<std::uint8_t> bytes;
    if (!GIF_encode(pic, g_gif.interlace != 0, &bytes)) return 0;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(filename, "wb"), std::fclose);
    if (!f) {
        MESS_print(M_warn, "Unable to open GIF file\n");
        return 0;
    }
    if (!write_all(f.get(), bytes) || std::fclose(f.release()) != 0) {
        MESS_print(M_warn, "GIF_write: Unable to write %s\n", filename);
        return 0;
    }
    return 1;
}

}  // namespace

void GIF_lzw_encode(const std::uint8_t* index, std::size_t count, int code_size, std::vector<std::uint8_t>* out) {
    out->push_back(static_cast<std::uint8_t>(code_size));
    const int clear = 1 << code_size, end = clear + 1;
    auto table = std::make_unique<StringTable>();
    CodeWriter w(out);
    int width = code_size + 1, next = end + 1;
    w.put(clear, width);
    if (count > 0) {
        int ent = index[0];
        for (std::size_t i = 1; i < count; ++i) {
            const int c = index[i];
            const std::uint32_t key = static_cast<std::uint32_t>(ent) << 8 | static_cast<std::uint32_t>(c);
            const std::size_t slot = table->find(key);
            if (table->found(slot)) {
                ent = table->code(slot);
                continue;
            }
            w.put(ent, width);
            // The reader widens its codes one entry behind us: it has
            // `next` entries once it has read this code.
            if (next == (1 << width) && width < 12) ++width;
            if (next < kMaxCodes) {
                table->add(slot, key, next++);
            } else {
                w.put(clear, width);
                table->reset();
                width = code_size + 1;
                next = end + 1;
            }
            ent = c;
        }
        w.put(ent, width);
        if (next == (1 << width) && width < 12) ++width;
    }
    w.put(end, width);
    w.finish();
}

bool GIF_encode(const GIF_picture& pic, bool interlace, std::vector<std::uint8_t>* out) {
    if (!valid(pic, "GIF_encode")) return false;
    out->clear();
    put_header(out, pic, table_bits(pic.num_colors));
    if (pic.transparent >= 0 || pic.delay >= 0) put_control(out, pic, false);
    put_image(out, pic, interlace, 0);
    out->push_back(0x3B);
    return true;
}

// ---- Animations --------------------------------------------------------------

void GIF_animation::Closer::operator()(std::FILE* f) const { std::fclose(f); }

GIF_animation::~GIF_animation() = default;

bool GIF_animation::open(const char* filename, int width, int height) {
    file_.reset(std::fopen(filename, "wb"));
    if (!file_) {
        MESS_print(M_warn, "Unable to open GIF file\n");
        return false;
    }
    width_ = width;
    height_ = height;
    frames_ = 0;
    return true;
}

bool GIF_animation::add(const GIF_picture& pic) {
    if (!file_ || !valid(pic, "GIF_animation")) return false;
    if (pic.width != width_ || pic.height != height_) {
        MESS_print(M_warn, "GIF_animation: picture %d is %dx%d, not %dx%d\n", frames_, pic.width, pic.height, width_,
                   height_);
        return false;
    }
    std::vector<std::uint8_t> out;
    const int bits = table_bits(pic.num_colors);
    std::vector<std::uint8_t> table(pic.rgb, pic.rgb + static_cast<std::ptrdiff_t>(pic.num_colors) * 3);
    table.resize((static_cast<std::size_t>(1) << bits) * 3, 0);
    int local_bits = 0;
    if (frames_ == 0) {
        put_header(&out, pic, bits);
        global_ = table;
        // Netscape application extension: repeat for ever.
        out.insert(out.end(), {0x21, 0xFF, 0x0B});
        const char app[] = "NETSCAPE2.0";
        out.insert(out.end(), app, app + 11);
        out.insert(out.end(), {0x03, 0x01, 0x00, 0x00, 0x00});
    } else if (table.size() > global_.size() || !std::equal(table.begin(), table.end(), global_.begin())) {
        local_bits = bits;
    }
    put_control(&out, pic, true);
    put_image(&out, pic, false, local_bits);
    if (!write_all(file_.get(), out)) {
        MESS_print(M_warn, "GIF_animation: Unable to write picture %d\n", frames_);
        return false;
    }
    ++frames_;
    return true;
}

bool GIF_animation::finish() {
    if (!file_) return false;
    const bool ok = frames_ > 0 && std::fputc(0x3B, file_.get()) != EOF;
    const bool closed = std::fclose(file_.release()) == 0;
    if (!ok || !closed) MESS_print(M_warn, "GIF_animation: Unable to finish the file\n");
    return ok && closed;
}

// ---- Image records and the window ----------------------------------------------

int GIF_write(const char* filename, IMG_report* image) {
    if (!filename || !image) return 0;
    return img::guard_alloc("GIF_write: Unable to allocate memory\n", [&] { return write_gif(filename, image); });
}

int GIF_dump(const char* filename) { return gwrite_window_image(filename, GIF_write); }

int GIF_dump_loop(const char* filename) {
    const int n = gget_num_images();
    if (n < 1 || !filename) return 0;
    return img::guard_alloc("GIF_dump_loop: Unable to allocate memory\n", [&] {
        GIF_animation anim;
        std::vector<std::uint8_t> rgb;
        for (int i = 0; i < n; ++i) {
            gselect_frame(i);
            IMG_report image;
            IMG_init(&image);
            img::Indexed ix;
            const bool got = gget_image(&image) && index_record(&image, "GIF_dump_loop", &ix);
            IMG_free(&image);
            if (!got || (i == 0 && !anim.open(filename, ix.width, ix.height))) return 0;
            GIF_picture pic = picture_of(ix, &rgb);
            pic.delay = static_cast<int>(std::lround(gget_frame_delay(i) * 100.0f));
            if (g_gif.transparent) pic.transparent = ix.trans_index;
            if (!anim.add(pic)) return 0;
        }
        return anim.finish() ? 1 : 0;
    });
}

int GIF_interlace(int flag) {
    g_gif.interlace = flag;
    return 0;
}

int GIF_transparent(int flag) {
    g_gif.transparent = flag;
    return 0;
}
