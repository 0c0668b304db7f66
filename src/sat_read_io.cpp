// Input helpers of the satellite readers: streams, capped whole-file reads,
// pixel buffers, dates, the saved projection, PNG streams (AREA data
// blocks, GINI bodies) and runs of zlib streams (compressed GINI).
#define ZEM_SAT_READ_INTERNAL
#include "sat_read_priv.h"

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <new>

#include <png.h>
#include <zlib.h>

#include "files.h"
#include "img_tool.h"
#include "maptran.h"
#include "mess.h"

namespace satread {

void StreamCloser::operator()(FILE* f) const {
    if (f) FILE_close(f);
}

Stream open_stream(const char* name) { return Stream(name ? FILE_open(name, "r") : nullptr); }

int read_with(const char* who, const char* filename, IMG_report* report, const std::function<int(FILE*)>& body) {
    if (!report) return -1;
    IMG_init(report);
    Stream in = open_stream(filename);
    if (!in) {
        MESS_print(M_warn, "%s: Unable to open file:%s\n", who, filename ? filename : "");
        return -1;
    }
    int rc = -1;
    try {
        rc = body(in.get());
    } catch (const std::bad_alloc&) {
        MESS_print(M_warn, "%s: Out of memory\n", who);
        rc = -1;
    }
    if (rc != 0) IMG_free(report);
    return rc;
}

std::vector<std::uint8_t> read_rest(FILE* in, std::size_t limit, bool* cut) {
    std::vector<std::uint8_t> data;
    constexpr std::size_t kChunk = 1 << 20;
    if (cut) *cut = false;
    while (in && data.size() < limit) {
        const std::size_t old = data.size();
        const std::size_t k = std::min(kChunk, limit - old);
        data.resize(old + k);
        const std::size_t got = std::fread(data.data() + old, 1, k, in);
        data.resize(old + got);
        if (got < k) return data;
    }
    if (cut && in) {
        const int c = std::fgetc(in);
        *cut = c != EOF;
    }
    return data;
}

Pixels new_pixels(long long w, long long h, long long limit) {
    if (w < 1 || h < 1) return nullptr;
    const auto n = checked_area(w, h, limit);
    if (!n) return nullptr;
    Pixels p(static_cast<unsigned char*>(std::calloc(*n, 1)));
    if (!p) throw std::bad_alloc();
    return p;
}

void give_pixels(IMG_report* image, Pixels px, int w, int h) {
    std::free(image->data);
    image->data = px.release();
    image->width = w;
    image->height = h;
    image->bytes_line = w;
    image->depth = 8;
    image->bits_pixel = 8;
}

void set_image_date(IMG_report* image, int year, int month, int day, int hour, int min, int sec) {
    image->date = *DATE_to_struct(year, month, day, hour, min);
    image->date.sec = sec;
    DATE_make_label(&image->date, image->datim);
}

SavedProjection::SavedProjection() { MAP_get_domain(&saved_); }
SavedProjection::~SavedProjection() { MAP_domain(&saved_); }

// ---- PNG streams ---------------------------------------------------------------

struct PngStream::Job {
    ByteView src;
    std::size_t pos = 0;
    char err[160] = {0};
};

namespace {

void png_read_mem(png_structp png, png_bytep out, png_size_t n) {
    auto* job = static_cast<PngStream::Job*>(png_get_io_ptr(png));
    if (n > job->src.size() - job->pos) png_error(png, "PNG stream ends early");
    std::memcpy(out, job->src.data() + job->pos, n);
    job->pos += n;
}

void png_fail(png_structp png, png_const_charp msg) {
    auto* job = static_cast<PngStream::Job*>(png_get_error_ptr(png));
    std::snprintf(job->err, sizeof(job->err), "%s", msg ? msg : "libpng error");
    png_longjmp(png, 1);
}

void png_quiet(png_structp, png_const_charp) {}

// The two functions that set the jump point hold no C++ objects, so a
// libpng error never jumps across a destructor.
bool png_read_head(png_structp png, png_infop info) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_info(png, info);
    const int bit_depth = png_get_bit_depth(png, info);
    const int color = png_get_color_type(png, info);
    if (bit_depth == 16) png_set_strip_16(png);
    if (bit_depth < 8) png_set_packing(png);
    if (color & PNG_COLOR_MASK_ALPHA) png_set_strip_alpha(png);
    if (color == PNG_COLOR_TYPE_RGB || color == PNG_COLOR_TYPE_RGB_ALPHA)
        png_set_rgb_to_gray_fixed(png, 1, -1, -1);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    return true;
}

bool png_read_all(png_structp png, png_infop info, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_image(png, rows);
    png_read_end(png, info);
    return true;
}

}  // namespace

PngStream::PngStream(ByteView stream) : job_(std::make_unique<Job>()) {
    job_->src = stream;
    png_structp png =
        png_create_read_struct(PNG_LIBPNG_VER_STRING, job_.get(), png_fail, png_quiet);
    if (!png) throw std::bad_alloc();
    png_ = png;
    info_ = png_create_info_struct(png);
    if (!info_) throw std::bad_alloc();
    png_set_read_fn(png, job_.get(), png_read_mem);
}

PngStream::~PngStream() {
    auto* png = static_cast<png_structp>(png_);
    auto* info = static_cast<png_infop>(info_);
    if (png) png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
}

bool PngStream::header() {
    auto* png = static_cast<png_structp>(png_);
    auto* info = static_cast<png_infop>(info_);
    if (job_->src.size() < 8 || png_sig_cmp(job_->src.data(), 0, 8) != 0) {
        err_ = "no PNG signature";
        return false;
    }
    if (!png_read_head(png, info)) {
        err_ = job_->err;
        return false;
    }
    width_ = png_get_image_width(png, info);
    height_ = png_get_image_height(png, info);
    bit_depth_ = png_get_bit_depth(png, info);
    color_type_ = png_get_color_type(png, info);
    interlace_ = png_get_interlace_type(png, info);
    compression_ = png_get_compression_type(png, info);
    filter_ = png_get_filter_type(png, info);
    rowbytes_ = png_get_rowbytes(png, info);
    return true;
}

bool PngStream::rows(std::uint8_t* out, std::size_t out_w, std::size_t out_h) {
    const std::size_t h = height_;
    if (interlace_ != PNG_INTERLACE_NONE && h > out_h) {
        err_ = "interlaced PNG taller than the image";
        return false;
    }
    // Rows that fit the image's lines are decoded in place, so a stream that
    // claims a large picture and then breaks off costs no buffer of that
    // size; wider rows get their own, and rows below the image share one.
    const bool in_place = rowbytes_ <= out_w;
    const std::size_t kept = std::min(h, out_h);
    std::vector<std::uint8_t> wide;
    if (!in_place) {
        const auto n = checked_area(static_cast<long long>(rowbytes_), static_cast<long long>(kept));
        if (!n) {
            err_ = "PNG rows too large";
            return false;
        }
        wide.resize(*n);
    }
    std::vector<std::uint8_t> spare(h > out_h ? rowbytes_ : 0);
    std::vector<png_bytep> rows(h);
    for (std::size_t y = 0; y < h; ++y)
        rows[y] = y >= out_h ? spare.data() : in_place ? out + y * out_w : wide.data() + y * rowbytes_;
    const bool ok = png_read_all(static_cast<png_structp>(png_), static_cast<png_infop>(info_),
                                 rows.data());
    if (!in_place) {
        const std::size_t w = std::min<std::size_t>(width_, out_w);
        for (std::size_t y = 0; y < kept; ++y) std::memcpy(out + y * out_w, rows[y], w);
    }
    if (!ok) err_ = job_->err;
    return ok;
}

// ---- zlib streams --------------------------------------------------------------

bool is_zlib_header(ByteView b) {
    if (b.size() < 2) return false;
    return (b[0] & 0x0F) == 8 && (b[0] >> 4) <= 7 && ((b[0] << 8) | b[1]) % 31 == 0;
}

std::size_t inflate_streams(ByteView in, std::uint8_t* out, std::size_t out_size,
                            std::size_t* used, std::string* err, bool one) {
    std::size_t pos = 0, made = 0;
    err->clear();
    // A full image ends the work: the records that may follow it are not
    // pixels.
    while (made < out_size && pos < in.size()) {
        z_stream z{};
        if (inflateInit(&z) != Z_OK) throw std::bad_alloc();
        int rc = Z_OK;
        // zlib counts in 32-bit words; feed and drain in bounded pieces.
        constexpr std::size_t kPiece = 1u << 30;
        while (rc == Z_OK && made < out_size) {
            z.next_in = const_cast<Bytef*>(in.data() + pos);
            z.avail_in = static_cast<uInt>(std::min(in.size() - pos, kPiece));
            z.next_out = out + made;
            z.avail_out = static_cast<uInt>(std::min(out_size - made, kPiece));
            const uInt in_before = z.avail_in, out_before = z.avail_out;
            rc = inflate(&z, Z_NO_FLUSH);
            pos += in_before - z.avail_in;
            made += out_before - z.avail_out;
            if (rc == Z_OK && in_before == z.avail_in && out_before == z.avail_out) rc = Z_BUF_ERROR;
        }
        const std::string msg = z.msg ? z.msg : "";
        inflateEnd(&z);
        if (rc == Z_STREAM_END && one) break;
        if (rc == Z_STREAM_END || made >= out_size) continue;
        *err = rc == Z_OK || rc == Z_BUF_ERROR ? "zlib stream breaks off"
                                               : (msg.empty() ? "zlib stream damaged" : msg);
        break;
    }
    *used = pos;
    return made;
}

}  // namespace satread
