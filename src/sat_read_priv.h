// Helpers shared by the satellite readers (sat_read*.cpp and lrit.cpp) only:
// the input stream handle, whole-file reads with a size cap, the pixel
// buffer, the PNG stream decoder, zlib streams in memory, the saved map
// projection and the date fill. Nothing outside the readers includes this.
#ifndef ZEM_SAT_READ_PRIV_H
#define ZEM_SAT_READ_PRIV_H

#ifndef ZEM_SAT_READ_INTERNAL
#error "sat_read_priv.h is private to the satellite readers; use sat_read.h"
#endif

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "date.h"
#include "region.h"
#include "sat_read.h"
#include "tools.h"

namespace satread {

// Closes a stream opened with FILE_open.
struct StreamCloser {
    void operator()(FILE* f) const;
};
using Stream = std::unique_ptr<FILE, StreamCloser>;

// Opens `name` for reading through the file module (paths, pipes).
Stream open_stream(const char* name);

// The frame of a reader's entry point: clears `report`, opens `filename`
// ("<who>: Unable to open file:<name>" when it cannot), runs `body` on the
// stream and turns a shortage of memory into a message. The record keeps
// no buffer unless the result is 0.
int read_with(const char* who, const char* filename, IMG_report* report, const std::function<int(FILE*)>& body);

// The rest of `in` from its position, at most `limit` bytes; `*cut` (when
// given) tells whether more bytes followed. Grows with the data, so a file
// that lies about its size costs only what it holds.
std::vector<std::uint8_t> read_rest(FILE* in, std::size_t limit, bool* cut = nullptr);

// A zero-filled pixel buffer of w x h bytes taken with calloc, as the image
// record frees it with free. Null when a size is below 1 or the product
// exceeds `limit`; throws std::bad_alloc when memory is short.
struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
using Pixels = std::unique_ptr<unsigned char, FreeDeleter>;
Pixels new_pixels(long long w, long long h, long long limit = 1LL << 30);

// Hands `px` (w x h, one byte per pixel) to `image` as an 8-bit picture.
void give_pixels(IMG_report* image, Pixels px, int w, int h);

// Makes the date complete (day of year, week day) from its calendar fields
// and builds the record's label.
void set_image_date(IMG_report* image, int year, int month, int day, int hour, int min, int sec);

// Saves the active map domain and makes it active again when it goes.
class SavedProjection {
public:
    SavedProjection();
    ~SavedProjection();
    SavedProjection(const SavedProjection&) = delete;
    SavedProjection& operator=(const SavedProjection&) = delete;

private:
    Domain saved_;
};

// One PNG stream in memory decoded to one byte per pixel: grey or palette
// index, 16-bit samples cut to their high byte, colour turned to grey,
// alpha dropped. libpng errors end in error() text, never in a jump past
// a destructor.
class PngStream {
public:
    explicit PngStream(ByteView stream);
    ~PngStream();
    PngStream(const PngStream&) = delete;
    PngStream& operator=(const PngStream&) = delete;

    // Reads the signature and header. False with error() on a bad stream.
    bool header();
    std::uint32_t width() const { return width_; }
    std::uint32_t height() const { return height_; }
    int bit_depth() const { return bit_depth_; }
    int color_type() const { return color_type_; }
    int interlace() const { return interlace_; }
    int compression() const { return compression_; }
    int filter() const { return filter_; }

    // Decodes every row: row y < out_h goes to out + y * out_w (its first
    // min(width, out_w) bytes), later rows are dropped (an interlaced
    // stream with such rows is refused). False with error() when the
    // stream is damaged or ends early; rows decoded before stay.
    bool rows(std::uint8_t* out, std::size_t out_w, std::size_t out_h);
    const std::string& error() const { return err_; }

    struct Job;  // libpng's side (read position, error text)

private:
    std::unique_ptr<Job> job_;
    void* png_ = nullptr;
    void* info_ = nullptr;
    std::uint32_t width_ = 0, height_ = 0;
    int bit_depth_ = 0, color_type_ = 0, interlace_ = 0, compression_ = 0, filter_ = 0;
    std::size_t rowbytes_ = 0;
    std::string err_;
};

// True when `b` starts with a zlib stream header (deflate, valid check bits).
bool is_zlib_header(ByteView b);

// Inflates consecutive zlib streams from `in` into `out` until `out` is
// full or the input ends (after the first stream with `one`). `*used` is
// the input consumed. Returns the bytes written; `*err` says why a stream
// stopped early (empty when none did).
std::size_t inflate_streams(ByteView in, std::uint8_t* out, std::size_t out_size,
                            std::size_t* used, std::string* err, bool one = false);

}  // namespace satread

#endif
