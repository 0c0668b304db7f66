// Reading GIF files: the first picture of a GIF87a or GIF89a file becomes
// an 8-bit image record of palette indices. The file is taken into memory
// whole and walked with bounds-checked reads, so truncated and garbage
// files end in a warning, never in a read past the end. Block layout and
// LZW variant as in the GIF89a document.
#include "gif.h"

#define ZEM_IMG_INTERNAL

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <optional>
#include <string>

#include "img_priv.h"
#include "mess.h"
#include "tools.h"

namespace {

// Largest pixel buffer and file a GIF may bring; past these it is taken as
// damaged rather than trusted.
constexpr long long kMaxPixels = 1LL << 29;
constexpr long kMaxFile = 1L << 28;
constexpr int kMaxCodes = 4096;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// The bytes of the file, read with checked getters.
class Bytes {
public:
    explicit Bytes(std::vector<std::uint8_t> b) : b_(std::move(b)) {}
    bool left(std::size_t n) const { return pos_ + n <= b_.size(); }
    std::optional<std::uint8_t> u8() {
        if (!left(1)) return std::nullopt;
        return b_[pos_++];
    }
    // Little-endian 16 bits (all GIF numbers are).
    std::optional<int> u16() {
        if (!left(2)) return std::nullopt;
        const int v = b_[pos_] | b_[pos_ + 1] << 8;
        pos_ += 2;
        return v;
    }
    const std::uint8_t* take(std::size_t n) {
        if (!left(n)) return nullptr;
        const std::uint8_t* p = b_.data() + pos_;
        pos_ += n;
        return p;
    }
    std::size_t pos() const { return pos_; }
    void seek(std::size_t p) { pos_ = std::min(p, b_.size()); }
    std::size_t size() const { return b_.size(); }
    const std::uint8_t* at(std::size_t p) const { return b_.data() + p; }

private:
    std::vector<std::uint8_t> b_;
    std::size_t pos_ = 0;
};

enum class Fail { none, truncated, code_range, code_size, short_data };

// Skips data sub-blocks up to and including the zero-length terminator.
bool skip_sub_blocks(Bytes& in) {
    for (;;) {
        auto n = in.u8();
        if (!n) return false;
        if (*n == 0) return true;
        if (!in.take(*n)) return false;
    }
}

bool read_table(Bytes& in, int n, IMG_report* image) {
    const std::uint8_t* t = in.take(static_cast<std::size_t>(3 * n));
    if (!t) return false;
    std::free(image->colors);
    image->colors = static_cast<IMG_color*>(std::calloc(static_cast<std::size_t>(n), sizeof(IMG_color)));
    if (!image->colors) throw std::bad_alloc();
    for (int i = 0; i < n; ++i) {
        image->colors[i].r = static_cast<float>(t[3 * i]) / 255.0f;
        image->colors[i].g = static_cast<float>(t[3 * i + 1]) / 255.0f;
        image->colors[i].b = static_cast<float>(t[3 * i + 2]) / 255.0f;
    }
    image->num_colors = n;
    return true;
}

// Reports an extension block's fields at the debug level and skips it. A
// graphic control extension's transparent index is returned through
// `trans` (-1 when it names none).
bool read_extension(Bytes& in, int* trans) {
    auto label = in.u8();
    if (!label) return false;
    MESS_print(M_debug, "Graphics Control Extension\n");
    MESS_print(M_debug, "Extension Label: %2X\n", *label);
    const std::size_t start = in.pos();
    auto size = in.u8();
    if (!size) return false;
    if (*label == 0xF9 && *size >= 4 && in.left(4)) {
        const std::uint8_t* f = in.at(in.pos());
        const int packed = f[0];
        const int delay = f[1] | f[2] << 8;
        MESS_print(M_debug, "Control Extension\n");
        MESS_print(M_debug, "Block size: %d\n", *size);
        static const char* const kDisposal[] = {"No disposal specified\n", "Do not dispose. graphic left in tact\n",
                                                "Restore to background color\n", "Restore to previous image\n"};
        const int disposal = (packed >> 2) & 7;
        if (disposal < 4) MESS_print(M_debug, "%s", kDisposal[disposal]);
        MESS_print(M_debug, (packed & 2) ? "User input expected\n" : "User input not expected\n");
        MESS_print(M_debug, (packed & 1) ? "Transparent index given\n" : "Transparent index not given\n");
        MESS_print(M_debug, "Delay time: %d %.2f\n", delay, delay / 100.0);
        MESS_print(M_debug, "Transparent color index: %d\n", f[3]);
        *trans = (packed & 1) ? f[3] : -1;
    } else if (*label == 0xFF && *size >= 11 && in.left(11)) {
        const char* f = reinterpret_cast<const char*>(in.at(in.pos()));
        MESS_print(M_debug, "Application Extension\n");
        MESS_print(M_debug, "Block size: %d\n", *size);
        MESS_print(M_debug, "Application identifier: %8.8s\n", f);
        MESS_print(M_debug, "Application authentication: %3.3s\n", f + 8);
    } else if (*label == 0xFE) {
        MESS_print(M_debug, "Comment Data\n");
        MESS_print(M_debug, "Block size: %d\n", *size);
    }
    // Every extension, known or not, is a chain of sub-blocks.
    in.seek(start);
    return skip_sub_blocks(in);
}

// Where decoded pixels go: rows in file order (the four passes when
// interlaced) of a w x h picture at (left, top) of the record's raster,
// clipped to it.
class PixelSink {
public:
    PixelSink(IMG_report* im, int left, int top, int w, int h, bool interlace)
        : im_(im), left_(left), top_(top), w_(w), h_(h), interlace_(interlace) {}
    bool full() const { return y_ >= h_; }
    long long stored() const { return count_; }
    void put(std::uint8_t v) {
        if (full()) return;  // pixels past the picture are dropped
        const int sx = left_ + x_, sy = top_ + row();
        if (sx < im_->width && sy < im_->height)
            im_->data[static_cast<std::size_t>(sy) * static_cast<std::size_t>(im_->bytes_line) +
                      static_cast<std::size_t>(sx)] = v;
        ++count_;
        if (++x_ < w_) return;
        x_ = 0;
        ++y_;
    }

private:
    // Picture row of the y_-th row in the file.
    int row() const {
        if (!interlace_) return y_;
        static constexpr int kStart[4] = {0, 4, 2, 1};
        static constexpr int kStep[4] = {8, 8, 4, 2};
        int k = y_;
        for (int p = 0; p < 4; ++p) {
            const int n = h_ > kStart[p] ? (h_ - kStart[p] + kStep[p] - 1) / kStep[p] : 0;
            if (k < n) return kStart[p] + k * kStep[p];
            k -= n;
        }
        return h_;  // unreachable while !full()
    }
    IMG_report* im_;
    int left_, top_, w_, h_;
    bool interlace_;
    int x_ = 0, y_ = 0;
    long long count_ = 0;
};

// Bits of the image data, least significant first, across sub-blocks.
class CodeReader {
public:
    explicit CodeReader(Bytes& in) : in_(in) {}
    // Next code of `width` bits; nullopt at the end of the data (a zero-
    // length sub-block) and sets `truncated` when the file ends first.
    std::optional<int> next(int width) {
        while (bits_ < width) {
            if (block_left_ == 0) {
                if (ended_) return std::nullopt;
                auto n = in_.u8();
                if (!n) return truncate();
                if (*n == 0) {
                    ended_ = true;
                    return std::nullopt;
                }
                block_left_ = *n;
            }
            auto b = in_.u8();
            if (!b) return truncate();
            --block_left_;
            acc_ |= static_cast<std::uint32_t>(*b) << bits_;
            bits_ += 8;
        }
        const int code = static_cast<int>(acc_ & ((1u << width) - 1));
        acc_ >>= width;
        bits_ -= width;
        return code;
    }
    bool truncated() const { return truncated_; }
    bool ended() const { return ended_; }
    // Skips what is left of the data after the end code.
    bool finish() {
        if (ended_) return true;
        if (block_left_ && !in_.take(block_left_)) return false;
        return skip_sub_blocks(in_);
    }

private:
    std::optional<int> truncate() {
        truncated_ = ended_ = true;
        return std::nullopt;
    }
    Bytes& in_;
    std::uint32_t acc_ = 0;
    int bits_ = 0;
    int block_left_ = 0;
    bool ended_ = false;
    bool truncated_ = false;
};

// LZW decoding of one picture's data into `sink`. The table stops growing
// at 4096 entries until the next clear code: the GIF89a document lets an
// encoder defer the clear, so a full table is not an error.
Fail decode_lzw(Bytes& in, PixelSink& sink) {
    auto cs = in.u8();
    if (!cs) return Fail::truncated;
    if (*cs < 2 || *cs > 8) {
        MESS_print(M_warn, "GIF_read: Bad LZW code size %d\n", *cs);
        return Fail::code_size;
    }
    const int clear = 1 << *cs, end = clear + 1;
    std::array<std::uint16_t, kMaxCodes> prefix{};
    std::array<std::uint8_t, kMaxCodes> suffix{}, first{};
    std::array<std::uint8_t, kMaxCodes> stack{};
    for (int i = 0; i < clear; ++i) suffix[static_cast<std::size_t>(i)] = first[static_cast<std::size_t>(i)] =
        static_cast<std::uint8_t>(i);
    int width = *cs + 1, next = end + 1, prev = -1;
    CodeReader bits(in);
    for (;;) {
        auto c = bits.next(width);
        if (!c) break;
        const int code = *c;
        if (code == clear) {
            width = *cs + 1;
            next = end + 1;
            prev = -1;
            continue;
        }
        if (code == end) break;
        if (code > next || (code == next && prev < 0) || (prev < 0 && code > end)) {
            MESS_print(M_warn, "GIF_read: LZW code %d out of range (next code %d)\n", code, next);
            return Fail::code_range;
        }
        // The string of `code`, last byte first; code == next is the string
        // of prev followed by its own first byte.
        int sp = 0, k = code;
        if (code == next) {
            stack[static_cast<std::size_t>(sp++)] = first[static_cast<std::size_t>(prev)];
            k = prev;
        }
        while (k >= clear) {
            stack[static_cast<std::size_t>(sp++)] = suffix[static_cast<std::size_t>(k)];
            k = prefix[static_cast<std::size_t>(k)];
        }
        stack[static_cast<std::size_t>(sp++)] = static_cast<std::uint8_t>(k);
        const std::uint8_t head = static_cast<std::uint8_t>(k);
        while (sp > 0) sink.put(stack[static_cast<std::size_t>(--sp)]);
        if (prev >= 0 && next < kMaxCodes) {
            prefix[static_cast<std::size_t>(next)] = static_cast<std::uint16_t>(prev);
            suffix[static_cast<std::size_t>(next)] = head;
            first[static_cast<std::size_t>(next)] = first[static_cast<std::size_t>(prev)];
            ++next;
            if (next == (1 << width) && width < 12) ++width;
        }
        prev = code;
    }
    if (bits.truncated()) return Fail::truncated;
    if (!sink.full()) return Fail::short_data;
    // A file cut just after the end code still holds the whole picture.
    bits.finish();
    return Fail::none;
}

int read_gif(const char* filename, IMG_report* image, int type) {
    std::unique_ptr<std::FILE, FileCloser> f(std::fopen(filename, "rb"));
    if (!f) {
        MESS_print(M_warn, "GIF_read: Unable to open file\n");
        return 0;
    }
    std::free(image->data);
    std::free(image->colors);
    image->data = nullptr;
    image->colors = nullptr;
    image->num_colors = 0;

    std::vector<std::uint8_t> raw;
    std::array<std::uint8_t, 65536> chunk;
    for (std::size_t n; (n = std::fread(chunk.data(), 1, chunk.size(), f.get())) > 0;) {
        if (raw.size() + n > static_cast<std::size_t>(kMaxFile)) {
            MESS_print(M_warn, "GIF_read: File too large: %s\n", filename);
            return 0;
        }
        raw.insert(raw.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(n));
    }
    f.reset();
    Bytes in(std::move(raw));
    // An optional "** " comment line goes before the signature.
    if (in.size() >= 3 && std::memcmp(in.at(0), "** ", 3) == 0) {
        std::size_t p = 3;
        while (p < in.size() && *in.at(p) != '\n') ++p;
        in.seek(p + 1);
    }
    const std::uint8_t* sig = in.take(3);
    if (!sig || std::memcmp(sig, "GIF", 3) != 0) {
        MESS_print(M_warn, "GIF_read: Not a GIF file\n");
        return 0;
    }
    const std::uint8_t* lsd = in.take(3 + 7);
    if (!lsd) {
        MESS_print(M_warn, "GIF_read: File ends in the header: %s\n", filename);
        return 0;
    }
    lsd += 3;  // the version ("87a", "89a") is not checked
    image->width = lsd[0] | lsd[1] << 8;
    image->height = lsd[2] | lsd[3] << 8;
    const int packed = lsd[4];
    const int background = lsd[5];
    const bool global = packed & 0x80;
    image->num_colors = 1 << ((packed & 7) + 1);
    image->depth = image->bits_pixel = 8;
    image->bytes_line = image->width;
    image->color_type = 1;
    image->trans_color = -1;
    std::snprintf(image->info, sizeof image->info, "GIF");
    img::report_layout(*image);
    if (type == 1) return 1;

    const int table_size = image->num_colors;
    image->num_colors = 0;
    if (global) {
        if (!read_table(in, table_size, image)) {
            MESS_print(M_warn, "GIF_read: File ends in the colour table: %s\n", filename);
            return 0;
        }
        MESS_print(M_debug, "color table size: %d\n", image->num_colors);
    }
    const auto bytes = checked_area(image->width, image->height, kMaxPixels);
    if (!bytes || *bytes == 0) {
        MESS_print(M_warn, "GIF_read: Bad image size %dx%d: %s\n", image->width, image->height, filename);
        return 0;
    }
    // Every code takes at least 3 bits and stands for at most 4096 pixels:
    // a screen larger than the rest of the file can fill is not believed.
    if (*bytes / kMaxCodes > (in.size() - in.pos()) * 8 / 3) {
        MESS_print(M_warn, "GIF_read: Image size %dx%d too large for a file of %ld bytes: %s\n", image->width,
                   image->height, static_cast<long>(in.size()), filename);
        return 0;
    }
    image->data = static_cast<unsigned char*>(std::malloc(*bytes));
    if (!image->data) {
        MESS_print(M_warn, "Unable to allocate data buffer.\n");
        return 0;
    }
    // What the picture does not cover shows the background colour.
    std::memset(image->data, background, *bytes);

    int trans = -1;
    for (;;) {
        auto block = in.u8();
        if (!block || *block == 0x3B) {
            MESS_print(M_warn, "GIF_read: No image in file: %s\n", filename);
            return 0;
        }
        if (*block == 0x21) {
            if (!read_extension(in, &trans)) {
                MESS_print(M_warn, "GIF_read: File ends in an extension block: %s\n", filename);
                return 0;
            }
            continue;
        }
        if (*block == 0x2C) break;
        MESS_print(M_warn, "GIF_read: Unknown block 0x%02X at byte %ld: %s\n", *block,
                   static_cast<long>(in.pos() - 1), filename);
        return 0;
    }
    const std::uint8_t* d = in.take(9);
    if (!d) {
        MESS_print(M_warn, "GIF_read: File ends in the image descriptor: %s\n", filename);
        return 0;
    }
    const int left = d[0] | d[1] << 8, top = d[2] | d[3] << 8;
    const int w = d[4] | d[5] << 8, h = d[6] | d[7] << 8;
    MESS_print(M_debug, "X: %3d Y: %3d W: %3d H: %3d\n", left, top, w, h);
    if (d[8] & 0x80) {
        // A picture's own table is the one it is shown with.
        if (!read_table(in, 1 << ((d[8] & 7) + 1), image)) {
            MESS_print(M_warn, "GIF_read: File ends in the colour table: %s\n", filename);
            return 0;
        }
    }
    image->trans_color = trans;
    PixelSink sink(image, left, top, w, h, (d[8] & 0x40) != 0);
    switch (decode_lzw(in, sink)) {
    case Fail::none: return 1;
    case Fail::truncated:
        MESS_print(M_warn, "GIF_read: File ends inside the image data: %s\n", filename);
        return 0;
    case Fail::short_data:
        MESS_print(M_warn, "GIF_read: Image data end after %lld of %lld pixels: %s\n", sink.stored(),
                   static_cast<long long>(w) * h, filename);
        return 0;
    default: return 0;  // already reported
    }
}

}  // namespace

int GIF_read(const char* filename, IMG_report* image, int type) {
    if (!filename || !image) return 0;
    return img::guard_alloc("Unable to allocate data buffer.\n", [&] { return read_gif(filename, image, type); });
}
