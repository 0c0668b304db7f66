// PNG image files through libpng: any PNG is read into an image record, and
// records are written as 8-bit palette PNGs of at most 256 colours, the
// palette built in order of first appearance. libpng reports errors by
// long jump, so every setjmp lives in a small function below that holds no
// C++ object; everything owning memory stays outside them.
#include "png.h"

#define ZEM_IMG_INTERNAL

#include <png.h>
#include <zlib.h>
#ifdef ZEM_HAVE_LIBDEFLATE
#include <libdeflate.h>
#endif

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <new>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "gks_img.h"
#include "gks_x11.h"
#include "img_priv.h"
#include "img_tool.h"
#include "mess.h"
#include "system.h"
#include "tools.h"

namespace {

// Largest pixel buffer a PNG may ask for; a header claiming more is
// treated as damaged rather than trusted.
constexpr long long kMaxBytes = 1LL << 29;
constexpr int kPaletteSize = 256;

struct FileCloser {
    void operator()(FILE* f) const {
        if (f) std::fclose(f);
    }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

// libpng's fatal errors are printed at the warning level and end the
// coding by long jump; its warnings are only of interest when debugging.
[[noreturn]] void on_error(png_structp png, png_const_charp msg) {
    MESS_print(M_warn, "libpng: %s\n", msg);
    png_longjmp(png, 1);
}

void on_warning(png_structp, png_const_charp msg) { MESS_print(M_debug, "libpng: %s\n", msg); }

// ---- Reading -------------------------------------------------------------

struct ReadHandles {
    png_structp png = nullptr;
    png_infop info = nullptr;
    png_infop end = nullptr;
    ~ReadHandles() {
        if (png) png_destroy_read_struct(&png, info ? &info : nullptr, end ? &end : nullptr);
    }
};

// IHDR as read, and the layout after the transformations chosen below.
struct PngHeader {
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int bit_depth = 0;
    int color_type = 0;
    int interlace = 0;
    int compression = 0;
    int filter = 0;
    int out_color_type = 0;  // colour type after transformations
    int out_bit_depth = 0;
    std::size_t rowbytes = 0;
    int passes = 1;
};

// Reads the header and sets up the transformations: 16-bit samples become
// 8-bit, grey below 8 bits is scaled to 8-bit grey, palettes of 1, 2 and 4
// bits are unpacked to one index byte per pixel, grey with alpha becomes
// RGBA. Unpacking keeps the packed pixel order (leftmost pixel in the high
// bits) out of the rest of the system, whose 1-bit layouts count bits from
// the low end.
bool safe_read_header(png_structp png, png_infop info, FILE* f, PngHeader* h) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_init_io(png, f);
    png_set_sig_bytes(png, 8);
    png_set_user_limits(png, 65535, 65535);
    png_read_info(png, info);
    png_get_IHDR(png, info, &h->width, &h->height, &h->bit_depth, &h->color_type, &h->interlace,
                 &h->compression, &h->filter);
    if (h->bit_depth == 16) png_set_strip_16(png);
    if (h->color_type == PNG_COLOR_TYPE_GRAY && h->bit_depth < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (h->color_type == PNG_COLOR_TYPE_PALETTE && h->bit_depth < 8) png_set_packing(png);
    if (h->color_type == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
    h->passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    h->out_color_type = png_get_color_type(png, info);
    h->out_bit_depth = png_get_bit_depth(png, info);
    h->rowbytes = png_get_rowbytes(png, info);
    return true;
}

// Every row of every pass into the image's own rows, so that an interlaced
// image is completed pass by pass.
bool safe_read_rows(png_structp png, png_infop end, png_bytep data, std::size_t bytes_line, png_uint_32 height,
                    int passes) {
    if (setjmp(png_jmpbuf(png))) return false;
    for (int p = 0; p < passes; ++p)
        for (png_uint_32 y = 0; y < height; ++y) png_read_row(png, data + y * bytes_line, nullptr);
    png_read_end(png, end);
    return true;
}

int read_png(const char* filename, IMG_report* image, int type) {
    FilePtr f(std::fopen(filename, "rb"));
    if (!f) {
        MESS_print(M_warn, "PNG_read: Unable to open file: %s\n", filename);
        return 0;
    }
    png_byte sig[8];
    if (std::fread(sig, 1, sizeof sig, f.get()) != sizeof sig || png_sig_cmp(sig, 0, sizeof sig) != 0) {
        MESS_print(M_warn, "PNG_read: Not a PNG file: %s\n", filename);
        return 0;
    }
    ReadHandles rh;
    rh.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, on_error, on_warning);
    if (!rh.png) return 0;
    rh.info = png_create_info_struct(rh.png);
    rh.end = png_create_info_struct(rh.png);
    if (!rh.info || !rh.end) return 0;

    PngHeader h;
    if (!safe_read_header(rh.png, rh.info, f.get(), &h)) return 0;
    MESS_print(M_debug, "%d %d %d - %d %d - %d %d\n", static_cast<int>(h.width), static_cast<int>(h.height),
               h.bit_depth, h.color_type, h.interlace, h.compression, h.filter);

    const int width = static_cast<int>(h.width);
    std::snprintf(image->info, sizeof image->info, "PNG");
    image->width = width;
    image->height = static_cast<int>(h.height);
    image->bytes_line = static_cast<int>(h.rowbytes);
    if (h.out_color_type == PNG_COLOR_TYPE_GRAY || h.out_color_type == PNG_COLOR_TYPE_PALETTE) {
        image->depth = image->bits_pixel = h.out_bit_depth;
    } else {
        image->depth = 3 * h.out_bit_depth;
        image->bits_pixel = 8 * (image->bytes_line / std::max(1, width));
    }
    image->byte_order = 1;
    img::report_layout(*image);
    if (type == 1) return 1;

    if (h.out_color_type == PNG_COLOR_TYPE_PALETTE) {
        png_colorp pal = nullptr;
        int n = 0;
        image->color_type = 1;
        image->red = image->grn = image->blu = 0;
        if (png_get_PLTE(rh.png, rh.info, &pal, &n) && n > 0 && pal) {
            image->colors = static_cast<IMG_color*>(std::calloc(static_cast<std::size_t>(n), sizeof(IMG_color)));
            if (!image->colors) throw std::bad_alloc();
            for (int i = 0; i < n; ++i) {
                image->colors[i].r = static_cast<float>(pal[i].red) / 255.0f;
                image->colors[i].g = static_cast<float>(pal[i].green) / 255.0f;
                image->colors[i].b = static_cast<float>(pal[i].blue) / 255.0f;
            }
            image->num_colors = n;
        }
        MESS_print(M_debug, "color table size: %d\n", image->num_colors);
    } else {
        image->color_type = 0;
        image->red = 0xFF0000;
        image->grn = 0xFF00;
        image->blu = 0xFF;
    }

    const auto bytes = checked_area(image->height, image->bytes_line, kMaxBytes);
    if (!bytes || *bytes == 0) {
        MESS_print(M_warn, "Unable to allocate data buffer.\n");
        return 0;
    }
    image->data = static_cast<unsigned char*>(std::calloc(*bytes, 1));
    if (!image->data) {
        MESS_print(M_warn, "Unable to allocate data buffer.\n");
        return 0;
    }
    if (!safe_read_rows(rh.png, rh.end, image->data, h.rowbytes, h.height, h.passes)) return 0;

    if (h.out_color_type == PNG_COLOR_TYPE_RGB_ALPHA) {
        // R G B A -> 0 R G B: the 32-bit, most-significant-first layout.
        for (std::size_t y = 0; y < h.height; ++y) {
            unsigned char* p = image->data + y * h.rowbytes;
            for (png_uint_32 x = 0; x < h.width; ++x, p += 4) {
                p[3] = p[2];
                p[2] = p[1];
                p[1] = p[0];
                p[0] = 0;
            }
        }
    }
    return 1;
}

// ---- Writing -------------------------------------------------------------

struct WriteHandles {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~WriteHandles() {
        if (png) png_destroy_write_struct(&png, info ? &info : nullptr);
    }
};

// Text chunk storage; plain arrays because libpng takes non-const keys.
struct TextChunks {
    char title_key[8] = "Title";
    char software_key[12] = "Software";
    char time_key[16] = "Creation Time";
    char title[128] = "";
    char software[64] = "";
    char time[48] = "";
    png_text text[3]{};
};

// ---- Image data ------------------------------------------------------------
// The rows (filter byte 0, then the indices) as one zlib stream, made by
// two threads at once: each deflates its own run of rows, the first
// ending on a byte boundary without closing the stream, and the parts'
// Adler-32 sums are combined for the trailer. Speed comes first: window
// dumps of whole loops are written frame after frame. Where libdeflate is
// built in, it makes the last part (its streams always end, which only the
// last part may); being more than twice as fast as zlib, it takes the
// larger share of the rows.
#ifdef ZEM_HAVE_LIBDEFLATE
constexpr double kFirstShare = 0.3;
#else
constexpr double kFirstShare = 0.5;
#endif

struct DeflatePart {
    const png_byte* index = nullptr;  // first row of the part
    int width = 0, rows = 0;
    bool last = false;
    std::vector<png_byte> out;
    uLong adler = 1;
    uLong length = 0;  // uncompressed bytes
    bool ok = false;
};

// Rows [r0, r0 + n) of a part with their filter bytes, into `in`.
void filtered_rows(const DeflatePart& p, int r0, int n, png_byte* in) {
    const std::size_t row = static_cast<std::size_t>(p.width) + 1;
    for (int r = 0; r < n; ++r) {
        in[static_cast<std::size_t>(r) * row] = 0;  // filter: none
        std::memcpy(&in[static_cast<std::size_t>(r) * row + 1],
                    p.index + static_cast<std::size_t>(r0 + r) * static_cast<std::size_t>(p.width),
                    static_cast<std::size_t>(p.width));
    }
}

void deflate_part_zlib(DeflatePart* p) {
    z_stream z{};
    if (deflateInit2(&z, Z_BEST_SPEED, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) return;
    const std::size_t row = static_cast<std::size_t>(p->width) + 1;
    std::vector<png_byte> in;
    try {
        in.resize(row * 64);
        p->out.resize(deflateBound(&z, static_cast<uLong>(row * static_cast<std::size_t>(p->rows))) + 64);
    } catch (const std::bad_alloc&) {
        deflateEnd(&z);
        return;
    }
    z.next_out = p->out.data();
    z.avail_out = static_cast<uInt>(p->out.size());
    int rc = Z_OK;
    for (int r0 = 0; r0 < p->rows && rc == Z_OK; r0 += 64) {
        const int n = std::min(64, p->rows - r0);
        filtered_rows(*p, r0, n, in.data());
        const uInt len = static_cast<uInt>(row * static_cast<std::size_t>(n));
        p->adler = adler32(p->adler, in.data(), len);
        p->length += len;
        z.next_in = in.data();
        z.avail_in = len;
        const bool end = r0 + n >= p->rows;
        rc = deflate(&z, end ? (p->last ? Z_FINISH : Z_SYNC_FLUSH) : Z_NO_FLUSH);
        if (rc == Z_STREAM_END || (rc == Z_BUF_ERROR && z.avail_in == 0)) rc = Z_OK;
    }
    p->out.resize(p->out.size() - z.avail_out);
    p->ok = rc == Z_OK && z.avail_in == 0;
    deflateEnd(&z);
}

#ifdef ZEM_HAVE_LIBDEFLATE
// The last part in one call: libdeflate compresses a whole buffer at once.
void deflate_part_last(DeflatePart* p) {
    struct Freer {
        void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
    };
    const std::unique_ptr<libdeflate_compressor, Freer> c(libdeflate_alloc_compressor(1));
    if (!c) return;
    const std::size_t len = (static_cast<std::size_t>(p->width) + 1) * static_cast<std::size_t>(p->rows);
    std::vector<png_byte> in;
    try {
        in.resize(len);
        p->out.resize(libdeflate_deflate_compress_bound(c.get(), len));
    } catch (const std::bad_alloc&) {
        return;
    }
    filtered_rows(*p, 0, p->rows, in.data());
    p->adler = libdeflate_adler32(1, in.data(), len);
    p->length = static_cast<uLong>(len);
    const std::size_t n = libdeflate_deflate_compress(c.get(), in.data(), len, p->out.data(), p->out.size());
    p->out.resize(n);
    p->ok = n > 0;
}
#else
void deflate_part_last(DeflatePart* p) { deflate_part_zlib(p); }
#endif

bool deflate_rows(const img::Indexed& ix, int width, int height, std::vector<png_byte>* stream) {
    std::array<DeflatePart, 2> part;
    const int first = static_cast<int>(height * kFirstShare);
    part[0] = {ix.index.data(), width, first, false, {}, 1, 0, false};
    part[1] = {ix.index.data() + static_cast<std::size_t>(first) * static_cast<std::size_t>(width), width,
               height - first, true, {}, 1, 0, false};
    std::thread helper;
    try {
        helper = std::thread(deflate_part_last, &part[1]);
    } catch (const std::system_error&) {
        deflate_part_last(&part[1]);
    }
    deflate_part_zlib(&part[0]);
    if (helper.joinable()) helper.join();
    if (!part[0].ok || !part[1].ok) return false;
    const uLong adler = adler32_combine(part[0].adler, part[1].adler, static_cast<z_off_t>(part[1].length));
    stream->clear();
    stream->push_back(0x78);  // deflate, 32 KB window
    stream->push_back(0x01);  // fastest level; header check bits
    for (const DeflatePart& p : part) stream->insert(stream->end(), p.out.begin(), p.out.end());
    for (int s = 24; s >= 0; s -= 8) stream->push_back(static_cast<png_byte>(adler >> s));
    return true;
}

bool safe_write(png_structp png, png_infop info, FILE* f, png_uint_32 width, png_uint_32 height,
                png_colorp palette, png_textp text, int num_text, const std::vector<png_byte>& idat) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_init_io(png, f);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_PLTE(png, info, palette, kPaletteSize);
    png_set_text(png, info, text, num_text);
    png_write_info(png, info);
    static const png_byte kIdat[5] = "IDAT", kIend[5] = "IEND";
    png_write_chunk(png, kIdat, idat.data(), idat.size());
    png_write_chunk(png, kIend, nullptr, 0);
    return true;
}


int write_png(const char* filename, const IMG_report* image) {
    MESS_print(M_debug, "width: %d\n", image->width);
    MESS_print(M_debug, "height: %d\n", image->height);
    MESS_print(M_debug, "depth: %d\n", image->depth);
    MESS_print(M_debug, "bytes_per_line: %d\n", image->bytes_line);
    if (image->width <= 0 || image->height <= 0 || image->depth <= 0 || !image->data ||
        !checked_area(image->height, image->bytes_line)) {
        MESS_print(M_warn, "PNG_write: no image to write\n");
        return 0;
    }
    FilePtr f(std::fopen(filename, "wb"));
    if (!f) {
        MESS_print(M_warn, "Unable to open PNG file\n");
        return 0;
    }
    img::Indexed ix;
    if (!img::index_image(image, 0, "PNG_write", &ix)) return 0;
    std::array<png_color, kPaletteSize> palette{};
    for (std::size_t i = 0; i < palette.size(); ++i)
        palette[i] = png_color{ix.palette[i].r, ix.palette[i].g, ix.palette[i].b};

    TextChunks tc;
    const char* title = gget_win_title();
    std::snprintf(tc.title, sizeof tc.title, "%s", title ? title : "");
    std::snprintf(tc.software, sizeof tc.software, "ZEM orlo %s", ZEM_version());
    std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    std::strftime(tc.time, sizeof tc.time, "%d %b %Y %H:%M:%S GMT", &utc);
    char* keys[3] = {tc.title_key, tc.software_key, tc.time_key};
    char* vals[3] = {tc.title, tc.software, tc.time};
    for (int i = 0; i < 3; ++i) {
        tc.text[i].compression = PNG_TEXT_COMPRESSION_NONE;
        tc.text[i].key = keys[i];
        tc.text[i].text = vals[i];
        tc.text[i].text_length = std::strlen(vals[i]);
    }

    std::vector<png_byte> idat;
    if (!deflate_rows(ix, image->width, image->height, &idat)) {
        MESS_print(M_warn, "PNG_write: Unable to compress %s\n", filename);
        return 0;
    }

    WriteHandles wh;
    wh.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, on_error, on_warning);
    if (!wh.png) return 0;
    wh.info = png_create_info_struct(wh.png);
    if (!wh.info) return 0;
    if (!safe_write(wh.png, wh.info, f.get(), static_cast<png_uint_32>(image->width),
                    static_cast<png_uint_32>(image->height), palette.data(), tc.text, 3, idat))
        return 0;
    if (std::fclose(f.release()) != 0) {
        MESS_print(M_warn, "PNG_write: Unable to write %s\n", filename);
        return 0;
    }
    return 1;
}

}  // namespace

int PNG_read(const char* filename, IMG_report* image, int type) {
    if (!filename || !image) return 0;
    return img::guard_alloc("Unable to allocate data buffer.\n", [&] { return read_png(filename, image, type); });
}

int PNG_write(const char* filename, const IMG_report* image) {
    if (!filename || !image) return 0;
    return img::guard_alloc("PNG_write: Unable to allocate memory\n", [&] { return write_png(filename, image); });
}

// Reads the current window frame back (the kernel's image display owns the
// copy it hands over) and writes it; the copy is released either way.
int PNG_dump(const char* filename) {
    return gwrite_window_image(filename,
                               [](const char* name, IMG_report* image) { return PNG_write(name, image); });
}
