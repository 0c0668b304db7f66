// Satellite image ingest: the entry point that reads one satellite file of
// the run's input format into the image record, the buffered
// byte/nibble/sync reader, and the AREA reader with its three physical
// variants (host order, byte-reversed, sync-framed nibble-coded) plus the
// PNG-coded data block of the Unidata-Wisconsin feed.
#define ZEM_SAT_READ_INTERNAL
#include "sat_read.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "date.h"
#include "files.h"
#include "flag.h"
#include "img_tool.h"
#include "lrit.h"
#include "mess.h"
#include "plt_labl.h"
#include "region.h"
#include "resrc.h"
#include "sat_read_priv.h"
#include "sat_tool.h"
#include "sat_tran.h"
#include "string.h"
#include "tools.h"

namespace {

constexpr std::size_t kBufferBytes = 20000;   // one refill of the buffered reader
constexpr int kSyncAttempts = 1024;           // getsync gives up after this many
constexpr std::array<std::uint8_t, 8> kSyncMarker = {0x00, 0xFF, 0x00, 0xFF,
                                                     0x00, 0xFF, 0x00, 0xFF};
constexpr std::uint32_t kMaxAreaSize = 100000;  // lines or elements
// Pixels of one image. The largest real pictures (a 0.5 km full disk,
// 21696 x 21696) stay well below; a directory claiming more is refused
// before the buffer is taken, since the sync-framed variant would otherwise
// fill gigabytes of black for a file of a few hundred bytes.
constexpr long long kMaxAreaPixels = 1LL << 29;
constexpr std::size_t kPngSearch = 4096;     // bytes after the data offset searched
                                             // for a PNG signature
constexpr std::array<std::uint8_t, 8> kPngSignature = {0x89, 'P', 'N', 'G',
                                                       '\r', '\n', 0x1A, '\n'};

// The buffered reader over one input stream. `start` is the file offset of
// data[0], so positions can be given as absolute file offsets.
struct Reader {
    FILE* ifile = nullptr;
    std::vector<std::uint8_t> data = std::vector<std::uint8_t>(kBufferBytes);
    std::size_t dat_buf = 0;   // valid bytes in data
    std::size_t dat_ind = 0;   // read position in data
    long long start = 0;       // file offset of data[0]
    int low = 0;               // nibble phase: 0 = next nibble is the high one
    int nib_bytes = 0;         // bytes whose both nibbles were consumed
};

// Run-wide state of the satellite reading module.
struct SatState {
    Reader rd;
    int bshift = 0;            // left shift of AREA pixel values
    int tran_sat = 1;          // 1 = remap through satellite navigation
    int imager_source = kFormatArea;
    int imager_type = 0;
    MC_area last_area{};       // directory and navigation of the last AREA file,
                               // kept until the next one is read
};
SatState g_sat;

// Refills the buffer when it is used up. Returns false when nothing is left.
bool refill() {
    Reader& r = g_sat.rd;
    if (r.dat_ind < r.dat_buf) return true;
    r.start += static_cast<long long>(r.dat_buf);
    r.dat_ind = 0;
    r.dat_buf = r.ifile ? std::fread(r.data.data(), 1, kBufferBytes, r.ifile) : 0;
    return r.dat_buf > 0;
}

long long read_position() { return g_sat.rd.start + static_cast<long long>(g_sat.rd.dat_ind); }

// Reads up to `n` bytes through the buffer into `out` (may be null to skip).
// Returns the number of bytes taken; fewer than `n` only at end of input.
std::size_t take(std::uint8_t* out, std::size_t n) {
    Reader& r = g_sat.rd;
    std::size_t got = 0;
    while (got < n) {
        if (!refill()) break;
        const std::size_t k = std::min(n - got, r.dat_buf - r.dat_ind);
        if (out) std::memcpy(out + got, r.data.data() + r.dat_ind, k);
        r.dat_ind += k;
        got += k;
    }
    return got;
}

// Moves the read position to the absolute file offset `pos`: inside the
// buffer when it is there, else by seeking, else (pipes) by reading forward.
// Returns false when the offset lies past the end of the input.
bool seek_to(long long pos) {
    Reader& r = g_sat.rd;
    if (pos >= r.start && pos <= r.start + static_cast<long long>(r.dat_buf)) {
        r.dat_ind = static_cast<std::size_t>(pos - r.start);
        if (r.dat_ind < r.dat_buf) return true;
        // At the end of the buffer: true only if more data follow.
        return refill();
    }
    if (r.ifile && std::fseek(r.ifile, static_cast<long>(pos), SEEK_SET) == 0) {
        r.start = pos;
        r.dat_buf = r.dat_ind = 0;
        return refill();
    }
    const long long cur = read_position();
    if (pos < cur) return false;
    const auto skip = static_cast<std::size_t>(pos - cur);
    if (take(nullptr, skip) != skip) return false;
    return refill();
}

// Bytes at the read position, without consuming them: up to `n` bytes, as
// many as the current buffer holds after a refill.
ByteView peek(std::size_t n) {
    Reader& r = g_sat.rd;
    if (!refill()) return {};
    if (r.dat_buf - r.dat_ind < n && r.dat_ind > 0) {
        // Slide the unread tail to the front and top the buffer up, so a
        // short look-ahead never depends on where a refill happened to fall.
        const std::size_t keep = r.dat_buf - r.dat_ind;
        std::memmove(r.data.data(), r.data.data() + r.dat_ind, keep);
        r.start += static_cast<long long>(r.dat_ind);
        r.dat_ind = 0;
        r.dat_buf = keep;
        if (r.ifile)
            r.dat_buf += std::fread(r.data.data() + keep, 1, kBufferBytes - keep, r.ifile);
    }
    return ByteView(r.data.data() + r.dat_ind, std::min(n, r.dat_buf - r.dat_ind));
}

// ---- AREA directory and navigation blocks ---------------------------------

// Navigation block types, in the order they are tried, with the number of
// characters compared and the block size.
struct NavKind {
    const char* name;
    std::size_t match;
    std::size_t bytes;
};
constexpr std::array<NavKind, 9> kNavKinds = {{
    {"GOES", 4, kNavBlockBytes},
    {"GVAR", 4, kNavGvarBytes},
    {"PS", 2, kNavBlockBytes},
    {"MOLL", 4, kNavBlockBytes},
    {"MSAT", 4, kNavBlockBytes},
    {"RECT", 4, kNavBlockBytes},
    {"MERC", 4, kNavBlockBytes},
    {"LAMB", 4, kNavBlockBytes},
    {"TANC", 4, kNavBlockBytes},
}};

// Words of a 512-byte block swapped: bytes 4..479 (the type text and the
// 32-byte memo at the end stay text).
constexpr int kNavWordsSwapped = 119;
constexpr int kGvarWordsSwapped = 639;

void free_block(void* p) { std::free(p); }

// Hangs a freshly read navigation block on the pointer of its type.
void attach_nav(MC_area* area, const char* name, void* block) {
    const std::string n(name);
    if (n == "GOES") area->navg = static_cast<MC_nav_goes*>(block);
    else if (n == "GVAR") area->navgv = static_cast<MC_nav_gvar*>(block);
    else if (n == "PS" || n == "MSAT") area->navps = static_cast<MC_nav_ps*>(block);
    else if (n == "TANC") area->navtanc = static_cast<MC_nav_tanc*>(block);
    else area->nav = static_cast<MC_nav*>(block);
}

// Reads the directory at the read position into a new block, swapping the
// numeric words. False on a short file.
bool read_directory(MC_area* area) {
    auto* dir = static_cast<MC_area_dir*>(std::calloc(1, sizeof(MC_area_dir)));
    if (!dir) throw std::bad_alloc();
    area->dir = dir;
    auto* raw = reinterpret_cast<std::uint8_t*>(dir);
    if (take(raw, sizeof(MC_area_dir)) != sizeof(MC_area_dir)) return false;
    // Numeric words only: the comment (words 24-31) and the source and
    // calibration type texts (words 51, 52) are characters in every variant.
    swap_longs(raw, 24);
    swap_longs(raw + 128, 19);
    swap_longs(raw + 212, 11);
    return true;
}

// Reads the navigation block at the read position when its type text is
// one of the known kinds. False when the block is recognised but cut short.
bool read_navigation(MC_area* area) {
    const ByteView head = peek(4);
    for (const NavKind& k : kNavKinds) {
        if (head.size() < k.match || std::memcmp(head.data(), k.name, k.match) != 0) continue;
        auto* block = static_cast<std::uint8_t*>(std::calloc(1, k.bytes));
        if (!block) throw std::bad_alloc();
        if (take(block, k.bytes) != k.bytes) {
            free_block(block);
            MESS_print(M_warn, "SAT_read_AREA: Truncated %s navigation block\n", k.name);
            return false;
        }
        swap_longs(block + 4, k.bytes == kNavGvarBytes ? kGvarWordsSwapped : kNavWordsSwapped);
        std::snprintf(area->type, sizeof(area->type), "%s", k.name);
        attach_nav(area, k.name, block);
        return true;
    }
    return true;  // no known type: the image has no navigation
}

// ---- Pixels ---------------------------------------------------------------

// Applies the bit shift to one value and cuts it to 8 bits.
std::uint8_t shifted(unsigned v, int shift) {
    return static_cast<std::uint8_t>((v << shift) & 0xFFu);
}

// Host-order and byte-reversed variants, raw data: `block` holds
// lsiz*(yzprefix + esiz*zsiz) bytes from the data offset.
void decode_raw(const MC_area_dir& d, ByteView block, std::uint8_t* out) {
    const std::size_t esiz = d.esiz, lsiz = d.lsiz, pre = d.yzprefix;
    const int shift = g_sat.bshift;
    if (d.zsiz == 1 && pre == 0) {
        // One block of pixels; the bit shift does not apply here.
        std::memcpy(out, block.data(), esiz * lsiz);
        return;
    }
    const std::size_t line_bytes = pre + esiz * d.zsiz;
    for (std::size_t l = 0; l < lsiz; ++l) {
        const std::uint8_t* src = block.data() + l * line_bytes + pre;
        std::uint8_t* dst = out + l * esiz;
        if (d.zsiz == 1) {
            for (std::size_t e = 0; e < esiz; ++e) dst[e] = shifted(src[e], shift);
        } else {
            // Two-byte values are most significant byte first in every variant.
            for (std::size_t e = 0; e < esiz; ++e) {
                const unsigned v = (static_cast<unsigned>(src[2 * e]) << 8) | src[2 * e + 1];
                dst[e] = static_cast<std::uint8_t>(((v << shift) >> 8) & 0xFFu);
            }
        }
    }
}

// Decodes the PNG stream in `stream` into the esiz x lsiz pixel buffer.
// Rows or columns beyond the PNG's extent stay 0; a PNG larger than the
// directory's sizes is refused. False (with a message) on a bad stream.
bool decode_png(const MC_area_dir& d, ByteView stream, std::uint8_t* out) {
    satread::PngStream png(stream);
    if (!png.header()) {
        MESS_print(M_warn, "SAT_read_AREA: Bad PNG data block: %s\n", png.error().c_str());
        return false;
    }
    if (png.width() != d.esiz || png.height() != d.lsiz) {
        MESS_print(M_warn, "SAT_read_AREA: PNG data block is %ux%u, directory says %ux%u\n",
                   static_cast<unsigned>(png.width()), static_cast<unsigned>(png.height()),
                   static_cast<unsigned>(d.esiz), static_cast<unsigned>(d.lsiz));
        // A smaller block leaves black margins; a larger one is damage, and
        // its claimed size must not decide how much memory is taken.
        if (png.width() > d.esiz || png.height() > d.lsiz) return false;
    }
    if (!png.rows(out, d.esiz, d.lsiz)) {
        MESS_print(M_warn, "SAT_read_AREA: Bad PNG data block: %s\n", png.error().c_str());
        return false;
    }
    return true;
}

// Position of a PNG signature within the first kPngSearch bytes of `block`.
std::optional<std::size_t> find_png(ByteView block) {
    const std::size_t span = std::min(block.size(), kPngSearch + kPngSignature.size());
    const auto* end = block.data() + span;
    const auto* it = std::search(block.data(), end, kPngSignature.begin(), kPngSignature.end());
    if (it == end) return std::nullopt;
    return static_cast<std::size_t>(it - block.data());
}

// Reads up to `need` bytes from the read position, growing the buffer only
// as data arrive, so a lying directory cannot make it allocate more than the
// file holds.
std::vector<std::uint8_t> read_block(std::size_t need) {
    std::vector<std::uint8_t> block;
    constexpr std::size_t kChunk = 1 << 20;
    while (block.size() < need) {
        const std::size_t old = block.size();
        const std::size_t k = std::min(kChunk, need - old);
        block.resize(old + k);
        const std::size_t got = take(block.data() + old, k);
        block.resize(old + got);
        if (got < k) break;
    }
    return block;
}

// Host-order and byte-reversed variants: the pixels from the data offset.
bool read_pixels_plain(const MC_area_dir& d, std::uint8_t* out) {
    if (d.zsiz != 1 && d.zsiz != 2) {
        MESS_print(M_warn, "SAT_read_AREA: Unsupported element size %u\n",
                   static_cast<unsigned>(d.zsiz));
        return false;
    }
    const std::size_t line_bytes = static_cast<std::size_t>(d.yzprefix) +
                                   static_cast<std::size_t>(d.esiz) * d.zsiz;
    const std::size_t need = line_bytes * d.lsiz;
    std::vector<std::uint8_t> block = read_block(need);
    if (auto at = find_png(block)) {
        // The PNG stream of a small or noisy picture may be longer than its
        // raw pixels would be: take the rest of the input too. The signature
        // is eight bytes no raw picture is expected to start with, so a
        // stream that does not decode is damage, not pixels.
        if (block.size() == need) {
            const std::vector<std::uint8_t> tail = read_block(SIZE_MAX - need);
            block.insert(block.end(), tail.begin(), tail.end());
        }
        return decode_png(d, ByteView(block).subspan(*at), out);
    }
    if (block.size() < need) {
        MESS_print(M_warn, "SAT_read_AREA: Image data truncated: %zu of %zu bytes\n",
                   block.size(), need);
        return false;
    }
    decode_raw(d, block, out);
    return true;
}

// Reads an `nbytes` big-endian value through getbyte; false at end of input.
bool get_be(int nbytes, long long* v) {
    long long r = 0;
    for (int i = 0; i < nbytes; ++i) {
        const int b = getbyte();
        if (b < 0) return false;
        r = (r << 8) | b;
    }
    *v = r;
    return true;
}

// Skips `n` bytes (stops early at end of input).
void skip_bytes(std::size_t n) { take(nullptr, n); }

// Decodes one nibble-coded line into `line` (at least esiz + 3 bytes).
void decode_nibble_line(std::vector<std::uint8_t>& line, std::size_t esiz, long long count) {
    Reader& r = g_sat.rd;
    r.low = 0;
    r.nib_bytes = 0;
    std::size_t idx = 0;
    int value = 0;
    // Deltas for nibbles 1..12: pairs of -/+ 6, 5, 4, 3, 2, 1.
    static constexpr std::array<int, 13> kDelta = {0, -6, 6, -5, 5, -4, 4, -3, 3, -2, 2, -1, 1};
    while (r.nib_bytes < count && idx < esiz) {
        const int n = getnib();
        if (n < 0) break;
        if (n == 0) {
            const int hi = getnib();
            if (hi < 0) break;
            const int lo = getnib();
            if (lo < 0) break;
            value = (hi << 4) | lo;
            line[idx++] = static_cast<std::uint8_t>(value);
        } else if (n <= 12) {
            value = (value + kDelta[n]) & 0xFF;
            line[idx++] = static_cast<std::uint8_t>(value);
        } else {
            // 13, 14, 15 repeat the running value 1, 2, 3 times; the line
            // buffer has room for the two that may fall past esiz.
            for (int k = 0; k < n - 12; ++k) line[idx++] = static_cast<std::uint8_t>(value);
        }
    }
}

// Sync-framed variant: line records from the read position.
void read_pixels_sync(const MC_area_dir& d, std::uint8_t* out) {
    const std::size_t esiz = d.esiz;
    const long long lsiz = d.lsiz;
    const int shift = g_sat.bshift;
    std::vector<std::uint8_t> line(esiz + 3);
    long long last = 0;
    long long outl = 0;
    auto emit = [&](const std::uint8_t* src) {
        std::memcpy(out + static_cast<std::size_t>(outl) * esiz, src, esiz);
        ++outl;
    };
    while (outl < lsiz) {
        std::fill(line.begin(), line.end(), 0);
        long long num = lsiz;
        const int sync = getsync();
        // At the end of the input the lines not reached stay black as the
        // buffer was cleared: nothing is gained by writing them.
        if (sync < 0) break;
        if (sync == 1) {
            long long n = 0;
            const int first = getbyte();
            bool ok = first >= 0;
            if (ok && first != 0) {
                // A non-zero leading byte is not a line number: the real one
                // follows the next marker.
                ok = getsync() == 1 && get_be(4, &n);
            } else if (ok) {
                ok = get_be(3, &n);
            }
            if (!ok) {
                num = lsiz;
            } else if ((last > 0 && n > last + 10) || n > lsiz || n < last) {
                num = last;  // implausible: keep the last accepted number
            } else {
                num = n;
            }
        }
        skip_bytes(d.yzprefix);
        // Missing lines become black.
        std::vector<std::uint8_t> zeros;
        while (num - 1 > last && outl < lsiz) {
            if (zeros.empty()) zeros.assign(esiz, 0);
            emit(zeros.data());
            ++last;
        }
        last = num;
        if (outl >= lsiz) break;
        if (num != lsiz) {
            long long depth = 0;
            long long count = 0;
            if (get_be(2, &depth) && get_be(2, &count)) {
                decode_nibble_line(line, esiz, count);
                if (depth == 6)
                    for (std::size_t e = 0; e < esiz; ++e)
                        line[e] = static_cast<std::uint8_t>(line[e] * 4);
                if (shift != 0)
                    for (std::size_t e = 0; e < esiz; ++e) line[e] = shifted(line[e], shift);
            }
        }
        emit(line.data());
    }
}

// Reader body; throws std::bad_alloc only.
int read_area(FILE* file, MC_area* area) {
    SAT_reader_open(file);
    if (file) std::rewind(file);
    g_sat.rd.start = 0;

    getword();  // word 0 (status) says nothing about the variant
    const unsigned w1 = getword();
    bool sync = false;
    if (w1 == 4u) {
        swap_setup(-1);
    } else if (w1 == 0x04000000u) {
        swap_setup(0);
    } else {
        swap_setup(1);
        sync = true;
    }
    if (!seek_to(0)) {
        MESS_print(M_warn, "SAT_read_AREA: Empty file\n");
        return -1;
    }
    if (sync && getsync() != 1) return -1;
    const long long dir_start = read_position();
    if (!read_directory(area)) {
        MESS_print(M_warn, "SAT_read_AREA: Truncated directory\n");
        return -1;
    }
    if (sync && getsync() != 1) return -1;
    if (!read_navigation(area)) return -1;

    const MC_area_dir& d = *area->dir;
    if (d.esiz < 1 || d.esiz > kMaxAreaSize || d.lsiz < 1 || d.lsiz > kMaxAreaSize ||
        !checked_area(d.esiz, d.lsiz)) {
        MESS_print(M_warn, "SAT_read_AREA: Invalid image parameters\n");
        return -1;
    }
    if (!checked_area(d.esiz, d.lsiz, kMaxAreaPixels)) {
        MESS_print(M_warn, "SAT_read_AREA: Image of %u x %u pixels is larger than %lld pixels\n",
                   static_cast<unsigned>(d.esiz), static_cast<unsigned>(d.lsiz), kMaxAreaPixels);
        MESS_print(M_warn, "SAT_read_AREA: Invalid image parameters\n");
        return -1;
    }
    // The sync-framed variant finds its lines by their markers, so it only
    // moves forward to the data offset; the others must reach it.
    const long long data_at = dir_start + static_cast<long long>(d.navkey);
    const bool reached = sync && data_at <= read_position() ? true : seek_to(data_at);
    if (!reached) {
        MESS_print(M_warn, "SAT_read_AREA: Image data offset %u past the end of the file\n",
                   static_cast<unsigned>(d.navkey));
        return -1;
    }
    const std::size_t npix = static_cast<std::size_t>(d.esiz) * d.lsiz;
    auto* pixels = static_cast<unsigned char*>(std::calloc(npix, 1));
    if (!pixels) throw std::bad_alloc();
    area->image = pixels;
    if (sync) {
        read_pixels_sync(d, pixels);
        return 0;
    }
    return read_pixels_plain(d, pixels) ? 0 : -1;
}

using satread::Stream;

// Fixed-width text of at most `n` characters (shorter at a zero byte).
std::string fixed_text(const char* s, std::size_t n) { return std::string(s, strnlen(s, n)); }

// Day stamp YYDDD, YYYDDD (year - 1900) or YYYYDDD and time HHMMSS into a date.
void area_date(std::uint32_t ndate, std::uint32_t ntime, Date* date) {
    DATE_init(date);
    int year = static_cast<int>(ndate / 1000);
    if (year < 50) year += 2000;
    else if (year < 200) year += 1900;
    const int jday = static_cast<int>(ndate % 1000);
    date->year = year;
    date->jday = jday;
    DATE_julian_monday(year, jday, &date->month, &date->day);
    date->hour = static_cast<int>(ntime / 10000);
    date->min = static_cast<int>((ntime / 100) % 100);
    date->sec = static_cast<int>(ntime % 100);
}

// The "output" resource modes that answer a question about the file instead
// of plotting it. Returns true when one of them handled the image.
bool output_mode(IMG_report* image) {
    const char* mode = RES_get("output");
    if (!mode) return false;
    if (stricmp(mode, "date") == 0) {
        MESS_print(M_print, "%s\n", image->datim);
        return true;
    }
    if (stricmp(mode, "seq") == 0) {
        char seq[64] = {0};
        DATE_make_seq(&image->date, seq);
        MESS_print(M_print, "%s\n", seq);
        return true;
    }
    if (stricmp(mode, "file") == 0) {
        std::vector<char> name(4096, 0);
        const char* out = RES_get("out_file");
        FILE_save_name_conv();
        if (out && *out) FILE_set_name(out);
        FILE_set_date(&image->date, name.data());
        FILE_restore_name_conv();
        MESS_print(M_print, "%s\n", name.data());
        return true;
    }
    return false;
}

// AREA branch of SAT_read_file.
int read_file_area(const char* filename, IMG_report* image) {
    Stream in = satread::open_stream(filename);
    if (!in) {
        MESS_print(M_warn, "SAT_read_file: Unable to open file:%s\n", filename);
        return 0;
    }
    MC_area area{};
    if (SAT_read_AREA(in.get(), &area) != 0) {
        MESS_print(M_warn, "SAT_read_file: Unable to read image file\n");
        return 0;
    }
    in.reset();
    // Keep the directory and navigation alive for navigation until the next
    // AREA file; the pixels go to the record.
    SAT_free_AREA(&g_sat.last_area);
    const MC_area_dir& d = *area.dir;
    g_sat.imager_source = kFormatArea;
    g_sat.imager_type = 0;

    IMG_free(image);
    image->data = area.image;
    area.image = nullptr;
    image->source = kFormatArea;
    image->type = 0;
    image->width = static_cast<int>(d.esiz);
    image->height = static_cast<int>(d.lsiz);
    image->xres = static_cast<float>(d.eres);
    image->yres = static_cast<float>(d.lres);
    image->xoff = static_cast<float>(d.ecor);
    image->yoff = static_cast<float>(d.lcor);
    if (std::strncmp(area.type, "GOES", 4) == 0)
        image->yoff = static_cast<float>(static_cast<long long>(d.lcor) -
                                         static_cast<long long>(d.startscan));
    image->bytes_line = static_cast<int>(d.esiz);
    image->bits_pixel = 8;
    image->depth = 8;
    image->byte_order = 1;

    area_date(d.ndate, d.ntime, &image->date);
    std::snprintf(image->info, sizeof(image->info), "%s", fixed_text(d.comments, 32).c_str());
    DATE_make_label(&image->date, image->datim);
    PLT_label_up_left(image->info);
    PLT_label_up_right(image->datim);

    g_sat.last_area = area;
    if (output_mode(image)) {
        std::free(image->data);
        image->data = nullptr;
        return 0;
    }
    MESS_print(M_out2, "Date: %s\n", image->datim);
    MESS_print(M_out2, "Size: %dx%d\n", image->width, image->height);
    MESS_print(M_out3, "Resolution: %dx%d\n", static_cast<int>(d.eres), static_cast<int>(d.lres));
    MESS_print(M_out3, "Correction: %dx%d\n", static_cast<int>(d.ecor), static_cast<int>(d.lcor));
    MESS_print(M_out3, "Bands: %x\n", static_cast<unsigned>(d.filtmap));
    MESS_print(M_out3, "Source type: %4.4s\n", d.stype);
    MESS_print(M_out3, "Calibration type: %4.4s\n", d.ctype);
    MESS_print(M_out3, "Navigation type: %4.4s\n", g_sat.last_area.type);
    MESS_print(M_out2, "Comments: %32.32s\n", d.comments);
    AREA_init(&g_sat.last_area);
    AREA_calc_domain(image, &g_sat.last_area);
    return 1;
}

// Readers of the non-AREA formats behind one signature: true when the
// record was filled.
bool read_awip(const char* f, IMG_report* im) { return SAT_read_AWIP(f, im) == 0; }
bool read_unisys(const char* f, IMG_report* im) { return SAT_read_Unisys(f, im) == 0; }
bool read_package(const char* f, IMG_report* im) { return IMG_read_zem(f, im, 0) == 1; }
bool read_tiff(const char* f, IMG_report* im) { return SAT_read_TIFF(f, im) == 0; }
bool read_lrit(const char* f, IMG_report* im) { return SAT_read_LRIT(f, im) == 0; }

// How each non-AREA format is read and what it leaves in the run-wide state.
struct OtherFormat {
    int code;
    bool (*read)(const char*, IMG_report*);
    bool announce_first;  // "Reading image file" before reading; else
                          // "Processing image file" once it is read
    bool relabel;         // rebuild datim from a known date
    int imager_source;    // 0: the formats that leave imager_source alone
};
constexpr std::array<OtherFormat, 6> kOtherFormats = {{
    {kFormatAwip, read_awip, true, false, kFormatAwip},
    {kFormatAwipZ, read_awip, true, false, kFormatAwip},
    {kFormatUnisys, read_unisys, true, false, kFormatUnisys},
    {kFormatImg, read_package, true, true, 0},
    {kFormatTiff, read_tiff, false, true, 0},
    {kFormatLrit, read_lrit, false, true, 0},
}};

// Every non-AREA format: satellite remapping off, read, then the common
// prints, labels and domain print.
int read_file_other(const OtherFormat& f, const char* filename, IMG_report* image) {
    g_sat.tran_sat = 0;
    if (f.announce_first) MESS_print(M_mess, "Reading image file: %s\n", filename);
    if (!f.read(filename, image)) return 0;
    if (!f.announce_first) MESS_print(M_mess, "Processing image file: %s\n", filename);
    if (f.imager_source != 0) {
        g_sat.imager_source = f.imager_source;
        g_sat.imager_type = image->type;
    }
    // A Unisys image in satellite scan coordinates is navigated like AREA.
    if (f.code == kFormatUnisys && image->domain.proj == 9) {
        g_sat.tran_sat = 1;
        GVAR_calc_domain(image);
    }
    if (f.relabel && !is_missing(image->date.year)) DATE_make_label(&image->date, image->datim);
    image->byte_order = 1;
    MESS_print(M_out2, "Date: %s\n", image->datim);
    MESS_print(M_out2, "Info: %s\n", image->info);
    PLT_label_up_left(image->info);
    PLT_label_up_right(image->datim);
    MESS_print(M_out2, "Image domain: ");
    DOM_print(M_out2, &image->domain);
    return 1;
}

int read_file_dispatch(const char* filename, IMG_report* image) {
    const int format = FLAG_get(14);
    if (format == kFormatArea) return read_file_area(filename, image);
    for (const OtherFormat& f : kOtherFormats)
        if (f.code == format) return read_file_other(f, filename, image);
    return 0;
}

}  // namespace

// ---- Buffered reader --------------------------------------------------------

int SAT_reader_open(FILE* file) {
    Reader& r = g_sat.rd;
    r.ifile = file;
    r.dat_buf = r.dat_ind = 0;
    r.start = 0;
    r.low = 0;
    r.nib_bytes = 0;
    return 0;
}

int SAT_reader_nib_bytes() { return g_sat.rd.nib_bytes; }

int getbyte() {
    Reader& r = g_sat.rd;
    if (!refill()) return -1;
    return r.data[r.dat_ind++];
}

int getnib() {
    Reader& r = g_sat.rd;
    if (!refill()) return -1;
    const std::uint8_t b = r.data[r.dat_ind];
    if (r.low == 0) {
        r.low = 1;
        return b >> 4;
    }
    ++r.dat_ind;
    ++r.nib_bytes;
    r.low = 0;
    return b & 0x0F;
}

unsigned int getword() {
    Reader& r = g_sat.rd;
    if (!refill()) return 0;
    std::array<std::uint8_t, 4> b{};
    const std::size_t k = std::min<std::size_t>(4, r.dat_buf - r.dat_ind);
    std::memcpy(b.data(), r.data.data() + r.dat_ind, k);
    r.dat_ind += k;
    unsigned int v = 0;
    std::memcpy(&v, b.data(), 4);
    return v;
}

int getsync() {
    for (int attempt = 0; attempt < kSyncAttempts; ++attempt) {
        std::size_t i = 0;
        for (; i < kSyncMarker.size(); ++i) {
            const int b = getbyte();
            if (b < 0) {
                if (i == 0) return -1;
                break;
            }
            if (b != kSyncMarker[i]) break;
        }
        if (i == kSyncMarker.size()) return 1;
    }
    return 0;
}

// ---- AREA reader --------------------------------------------------------------

int SAT_set_bit_shift(int val) {
    g_sat.bshift = std::clamp(val, 0, 31);
    return 0;
}

int SAT_free_AREA(MC_area* area) {
    if (!area) return 0;
    std::free(area->dir);
    std::free(area->navg);
    std::free(area->navgv);
    std::free(area->navps);
    std::free(area->navtanc);
    std::free(area->nav);
    std::free(area->image);
    void* priv = area->priv;
    *area = MC_area{};
    area->priv = priv;
    return 0;
}

int SAT_read_AREA(FILE* file, MC_area* area) {
    if (!area) return -1;
    *area = MC_area{};
    if (!file) return -1;
    int rc = -1;
    try {
        rc = read_area(file, area);
    } catch (const std::bad_alloc&) {
        MESS_print(M_warn, "SAT_read_AREA: Out of memory\n");
        rc = -1;
    }
    if (rc != 0) SAT_free_AREA(area);
    // The stream belongs to the caller: forget it so no later getter reads it.
    SAT_reader_open(nullptr);
    return rc;
}

// ---- Entry point -------------------------------------------------------------

int SAT_read_file(const char* filename, IMG_report* image) {
    if (!filename || !image) return 0;
    try {
        return read_file_dispatch(filename, image);
    } catch (const std::bad_alloc&) {
        MESS_print(M_warn, "SAT_read_file: Out of memory reading %s\n", filename);
        return 0;
    }
}

int SAT_get_tran_sat() { return g_sat.tran_sat; }

int SAT_set_tran_sat(int val) {
    const int old = g_sat.tran_sat;
    g_sat.tran_sat = val;
    return old;
}

int SAT_get_imager_source() { return g_sat.imager_source; }
int SAT_get_imager_type() { return g_sat.imager_type; }
