// Image files: recognising an image file by its first bytes and handing it
// to its reader, the package's own ZEMIMG format (text header; raw,
// zlib-compressed or separate pixel data), and the life cycle of the image
// record's buffers.
//
// ZEMIMG layout:
//   line 1  "ZEMIMG" + options: '4' header version 4, 'Z' zlib data,
//           '*' data in a separate file, 'V' 1024 bytes to skip, 'C' colour
//           block to skip
//   line 2  date label            e.g. "0745Z 17 SEP 98"
//   line 3  description text
//   line 4  version 4: domain string   e.g. "ps:60:-105,40,-100,25,17,1.2,1.2"
//           version 3: "W H"  or  token + "clat clon dx dy nx ny"
//   then    skip blocks, then width*height bytes (rows from the top): raw,
//           back-to-back zlib streams of 10000-byte pieces, or the name of
//           the data file
// An optional first line beginning "** " is a comment.
#include "img_tool.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include "date.h"
#include "files.h"
#include "gif.h"
#include "gks_img.h"
#include "gks_tran.h"
#include "gks_x11.h"
#include "maptran.h"
#include "mess.h"
#include "plt_labl.h"
#include "plt_tool.h"
#include "png.h"
#include "region.h"
#include "string.h"
#include "system.h"
#include "tools.h"
#include "xdump.h"

namespace {

constexpr std::size_t kLineMax = 160;       // header lines are cut here
constexpr std::size_t kPiece = 10000;       // raw bytes per zlib stream
constexpr std::size_t kZBuf = 12000;        // deflate/inflate output buffer
constexpr int kMaxWaits = 10;               // one-second waits for a growing file
// Pixels of one image. A compressed body of a few bytes may claim any size,
// and the claim alone decides the buffer: larger claims are refused.
constexpr long long kMaxPixels = 1LL << 29;
constexpr M_type kTrace = M_debug & M_sub_c;

// Module state.
struct ImgState {
    float wait_secs = 1.0f;   // pause between reads of a file still being written
};
ImgState g_img;

struct FileCloser {
    void operator()(FILE* f) const {
        if (f) FILE_close(f);
    }
};
using File = std::unique_ptr<FILE, FileCloser>;

// Reads one header line (without its newline), cut to kLineMax - 1
// characters; nullopt at the end of the input.
std::optional<std::string> read_line(FILE* f) {
    std::string s;
    if (!read_text_line(f, s, kLineMax - 1)) return std::nullopt;
    return s;
}

// Copies `s` into a fixed field of `n` bytes, cut and terminated.
void set_text(char* dst, std::size_t n, const std::string& s) {
    std::snprintf(dst, n, "%s", s.c_str());
}

// ---- version 3 projection tokens ------------------------------------------

// Floats of a token "NAME:v1:v2:..." after its name; nullopt when one does
// not read as a number.
std::optional<std::vector<float>> token_values(const std::string& tok) {
    std::vector<float> v;
    std::size_t at = tok.find(':');
    while (at != std::string::npos) {
        const std::size_t next = tok.find(':', at + 1);
        const std::string f = tok.substr(at + 1, next == std::string::npos ? next : next - at - 1);
        char* end = nullptr;
        const float x = std::strtof(f.c_str(), &end);
        if (f.empty() || end == f.c_str() || *end != '\0') return std::nullopt;
        v.push_back(x);
        at = next;
    }
    return v;
}

// Applies a version 3 token to `dom`. False for an unknown token.
bool apply_token(const std::string& tok, Domain* dom) {
    auto vals = token_values(tok);
    if (!vals) return false;
    const std::vector<float>& v = *vals;
    const std::string key = tok.substr(0, 2);
    if (key == "LL") dom->proj = 2;
    else if (key == "ME") dom->proj = 3;
    else if (key == "PS") {
        dom->proj = 1;
        if (!v.empty()) dom->plon = v[0];
    } else if (key == "LC") {
        dom->proj = 4;
        if (v.size() >= 5) {
            dom->plat = v[0];
            dom->plon = v[1];
            dom->param[0] = v[2];
            dom->param[1] = v[3];
            dom->param[2] = v[4];
        } else if (!v.empty()) {
            dom->plon = v[0];
        }
    } else if (key == "SA") {
        dom->proj = 9;
        if (v.size() >= 2) {
            dom->plat = v[0];
            dom->plon = v[1];
        }
        if (v.size() >= 3) dom->param[0] = v[2];
    } else {
        return false;
    }
    return true;
}

// Number readers for header lines: unlike sscanf's %d they refuse values
// that do not fit, which a damaged header may well hold.
bool next_int(const char*& p, int* out) {
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(p, &end, 10);
    if (end == p || errno == ERANGE || v < INT_MIN || v > INT_MAX) return false;
    *out = static_cast<int>(v);
    p = end;
    return true;
}

bool next_float(const char*& p, float* out) {
    char* end = nullptr;
    const float v = std::strtof(p, &end);
    if (end == p) return false;
    *out = v;
    p = end;
    return true;
}

bool only_blanks(const char* p) {
    while (*p && std::isspace(static_cast<unsigned char>(*p))) ++p;
    return *p == '\0';
}

// Version 3 line 4: "W H", or [token] clat clon dx dy nx ny.
bool parse_v3_geometry(const std::string& line, IMG_report* image) {
    int w = 0, h = 0;
    const char* p = line.c_str();
    if (next_int(p, &w) && next_int(p, &h) && only_blanks(p)) {
        image->width = w;
        image->height = h;
        image->domain.nx = w;
        image->domain.ny = h;
        return true;
    }
    const char* rest = line.c_str();
    char word[kLineMax] = {0};
    int used = 0;
    if (std::sscanf(rest, "%159s%n", word, &used) != 1) return false;
    char* end = nullptr;
    std::strtof(word, &end);
    if (end != word && *end == '\0') {
        used = 0;   // no token: a projection without a version 3 name
    } else if (!apply_token(word, &image->domain)) {
        return false;
    }
    float clat = 0, clon = 0, dx = 0, dy = 0;
    int nx = 0, ny = 0;
    const char* q = rest + used;
    if (!next_float(q, &clat) || !next_float(q, &clon) || !next_float(q, &dx) ||
        !next_float(q, &dy) || !next_int(q, &nx) || !next_int(q, &ny))
        return false;
    image->domain.clat = clat;
    image->domain.clon = clon;
    image->domain.dx = dx;
    image->domain.dy = dy;
    image->domain.nx = nx;
    image->domain.ny = ny;
    image->width = nx;
    image->height = ny;
    return true;
}

// The version 3 token of a domain, or nullopt for codes that have none.
std::optional<std::string> make_token(const Domain& d) {
    char buf[200];
    switch (d.proj) {
        case 2: return std::string("LL ");
        case 3: return std::string("ME ");
        case 1:
            if (!is_missing(d.plon) && d.plon != d.clon) {
                std::snprintf(buf, sizeof(buf), "PS:%f ", d.plon);
                return std::string(buf);
            }
            return std::string("PS ");
        case 4:
            if (!is_missing(d.param[0])) {
                std::snprintf(buf, sizeof(buf), "LC:%f:%f:%f:%f:%f ", d.plat, d.plon,
                              d.param[0], d.param[1], d.param[2]);
                return std::string(buf);
            }
            if (!is_missing(d.plon)) {
                std::snprintf(buf, sizeof(buf), "LC:%f ", d.plon);
                return std::string(buf);
            }
            return std::string("LC ");
        case 9: {
            std::snprintf(buf, sizeof(buf), "SAT:%f:%f", d.plat, d.plon);
            std::string s(buf);
            if (!is_missing(d.param[0])) {
                std::snprintf(buf, sizeof(buf), ":%f", d.param[0]);
                s += buf;
            }
            return s + " ";
        }
        default:
            return std::nullopt;
    }
}

// The domain as a domain string (the form DOM_print shows, without its
// line feed), for version 4 headers of projections without a version 3
// token; nullopt for a code that has no name to decode it by.
std::optional<std::string> domain_string(const Domain& d) {
    if (!DOM_proj_name(d.proj)) return std::nullopt;
    const int len = DOM_sprint(&d, nullptr, 0);
    if (len <= 0) return std::nullopt;
    std::string s(static_cast<std::size_t>(len) + 1, '\0');
    DOM_sprint(&d, s.data(), len + 1);
    s.resize(static_cast<std::size_t>(len));
    while (!s.empty() && s.back() == '\n') s.pop_back();
    return s;
}

// ---- pixel data ------------------------------------------------------------

// Inflates back-to-back zlib streams from `f` into `out` (`expected` bytes).
// Waits for a file that is still growing; an inflate error keeps what was
// decoded so far.
void inflate_data(FILE* f, std::uint8_t* out, std::size_t expected) {
    z_stream zs{};
    if (inflateInit(&zs) != Z_OK) throw std::bad_alloc();
    std::vector<std::uint8_t> in(kPiece);
    std::vector<std::uint8_t> obuf(kZBuf);
    std::size_t got = 0;
    int waits = 0;
    while (got < expected) {
        if (zs.avail_in == 0) {
            const std::size_t n = std::fread(in.data(), 1, kPiece, f);
            if (n == 0) {
                if (waits >= kMaxWaits) break;
                ++waits;
                std::clearerr(f);
                ZEM_sleep(g_img.wait_secs);
                continue;
            }
            zs.next_in = in.data();
            zs.avail_in = static_cast<uInt>(n);
        }
        zs.next_out = obuf.data();
        zs.avail_out = static_cast<uInt>(kZBuf);
        const int rc = inflate(&zs, Z_PARTIAL_FLUSH);
        const std::size_t produced = kZBuf - zs.avail_out;
        const std::size_t keep = std::min(produced, expected - got);
        std::memcpy(out + got, obuf.data(), keep);
        got += keep;
        MESS_print(kTrace, "Inflate+ %d = %d %d = %d %d - %d %d\n", rc,
                   static_cast<int>(zs.avail_in), static_cast<int>(zs.total_in),
                   static_cast<int>(zs.avail_out), static_cast<int>(zs.total_out),
                   static_cast<int>(got), static_cast<int>(expected));
        if (rc == Z_STREAM_END) {
            // The next piece is a stream of its own; the input left over
            // belongs to it.
            inflateReset(&zs);
        } else if (rc == Z_BUF_ERROR) {
            if (zs.avail_in != 0) break;  // no progress possible
        } else if (rc != Z_OK) {
            MESS_print(M_warn, "IMG_read_zem: Compressed data damaged (%s)\n",
                       zs.msg ? zs.msg : "inflate error");
            break;
        }
    }
    inflateEnd(&zs);
    if (got < expected)
        MESS_print(M_warn, "IMG_read_zem: Compressed data end early: %zu of %zu bytes\n", got,
                   expected);
}

// Reads up to `n` bytes from the stream's position into `out` and returns
// the count. Large reads of a regular file are split between two threads
// reading at their own offsets: most of a read's time is the kernel's copy
// into fresh pages, which then runs on both cores.
std::size_t read_fully(FILE* f, unsigned char* out, std::size_t n) {
    constexpr std::size_t kSplit = std::size_t{4} << 20;
    struct stat st {};
    const int fd = fileno(f);
    const long pos = std::ftell(f);
    if (n < kSplit || fd < 0 || pos < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return std::fread(out, 1, n, f);
    // Reads [from, to) of the request; the count read before an error or
    // the end of the file.
    auto read_part = [&](std::size_t from, std::size_t to) {
        std::size_t done = from;
        while (done < to) {
            const ssize_t k = pread(fd, out + done, to - done, static_cast<off_t>(pos) + static_cast<off_t>(done));
            if (k <= 0) break;
            done += static_cast<std::size_t>(k);
        }
        return done - from;
    };
    const std::size_t half = n / 2;
    std::size_t second = 0;
    std::thread helper;
    try {
        helper = std::thread([&] { second = read_part(half, n); });
    } catch (const std::system_error&) {
        second = read_part(half, n);
    }
    const std::size_t first = read_part(0, half);
    if (helper.joinable()) helper.join();
    const std::size_t got = first < half ? first : half + second;
    std::fseek(f, pos + static_cast<long>(got), SEEK_SET);
    return got;
}

// Reads and drops `n` bytes; false when the input ends first.
bool skip_input(FILE* f, std::size_t n) {
    char buf[1024];
    while (n > 0) {
        const std::size_t k = std::min(n, sizeof(buf));
        if (std::fread(buf, 1, k, f) != k) return false;
        n -= k;
    }
    return true;
}

// Opens the separate data file: as given, else beside the header file. The
// name comes from inside the image file, so it is only ever a file name:
// never a command to run (a leading "|") or standard input, as the names a
// user types may be.
File open_data_file(const std::string& name, const char* header) {
    File f(std::fopen(name.c_str(), "rb"));
    if (f || name.empty() || name[0] == '/') return f;
    const std::string h(header);
    const std::size_t slash = h.rfind('/');
    if (slash == std::string::npos) return f;
    return File(std::fopen((h.substr(0, slash + 1) + name).c_str(), "rb"));
}

// Reads a ZEMIMG file; throws only std::bad_alloc. `inited` tells the
// caller whether the record was cleared (and so may be freed on failure).
int read_zem(const char* filename, IMG_report* image, bool& inited) {
    File f(FILE_open(filename, "r"));
    if (!f) {
        MESS_print(M_warn, "Unable to open: %s\n", filename);
        return -1;
    }
    auto first = read_line(f.get());
    if (first && first->rfind("** ", 0) == 0) first = read_line(f.get());
    if (!first || first->rfind("ZEMIMG", 0) != 0) {
        MESS_print(M_warn, "IMG_read_zem: Invalid image type\n");
        return -1;
    }
    bool v4 = false, zipped = false, separate = false, skip_v = false, skip_c = false;
    for (char c : first->substr(6)) {
        switch (c) {
            case '4': v4 = true; break;
            case 'Z': zipped = true; break;
            case '*': separate = true; break;
            case 'V': skip_v = true; break;
            case 'C': skip_c = true; break;
            default: break;
        }
    }
    IMG_init(image);
    inited = true;
    image->source = kImgZem;
    image->version = v4 ? 4 : 3;
    auto datim = read_line(f.get());
    auto info = datim ? read_line(f.get()) : std::nullopt;
    auto geom = info ? read_line(f.get()) : std::nullopt;
    if (!geom) {
        MESS_print(M_warn, "IMG_read_zem: Truncated header: %s\n", filename);
        return -1;
    }
    set_text(image->datim, sizeof(image->datim), *datim);
    DATE_decode_label(image->datim, &image->date);
    set_text(image->info, sizeof(image->info), *info);
    if (v4) {
        if (DOM_decode(geom->c_str(), &image->domain) < 1) {
            MESS_print(M_warn, "IMG_read_zem: Invalid domain in %s\n", filename);
            return -1;
        }
        image->width = image->domain.nx;
        image->height = image->domain.ny;
    } else if (!parse_v3_geometry(*geom, image)) {
        MESS_print(M_warn, "IMG_read_zem: Invalid image size line in %s\n", filename);
        return -1;
    }
    image->depth = 8;
    image->bits_pixel = 8;
    image->bytes_line = image->width;
    const auto bytes = checked_area(image->width, image->height, kMaxPixels);
    if (image->width < 1 || image->height < 1 || !bytes) {
        MESS_print(M_warn, "IMG_read_zem: Invalid image size %dx%d in %s\n", image->width,
                   image->height, filename);
        return -1;
    }
    // Skip blocks: "V" 1024 bytes; "C" 2 bytes, a 2-byte count n (its second
    // byte), 2n bytes. Read rather than sought, so pipes work and a short
    // file is caught here.
    bool skipped = !skip_v || skip_input(f.get(), 1024);
    if (skipped && skip_c) {
        unsigned char hdr[4];
        skipped = std::fread(hdr, 1, 4, f.get()) == 4 && skip_input(f.get(), 2u * hdr[3]);
    }
    if (!skipped) {
        MESS_print(M_warn, "IMG_read_zem: Truncated header: %s\n", filename);
        return -1;
    }
    File data_file;
    FILE* src = f.get();
    if (separate) {
        char word[1024] = {0};
        if (std::fscanf(f.get(), " %1023s", word) != 1) {
            MESS_print(M_warn, "IMG_read_zem: No data file named in %s\n", filename);
            return -1;
        }
        data_file = open_data_file(word, filename);
        if (!data_file) {
            MESS_print(M_warn, "Unable to open: %s\n", word);
            return -1;
        }
        src = data_file.get();
    }
    // Compressed data that ends early leaves zeros; plain data fills every
    // byte or the image is refused, so its buffer needs no clearing.
    auto* pixels = static_cast<unsigned char*>(zipped ? std::calloc(*bytes, 1) : std::malloc(*bytes));
    if (!pixels) {
        MESS_print(M_warn, "IMG_read_zem: Unable to allocate %zu bytes for %s\n", *bytes, filename);
        return 0;
    }
    image->data = pixels;
    if (!zipped) advise_huge_pages(pixels, *bytes);
    if (zipped) {
        inflate_data(src, pixels, *bytes);
        return 1;
    }
    const std::size_t got = read_fully(src, pixels, *bytes);
    if (got < *bytes) {
        MESS_print(M_warn, "IMG_read_zem: Image data truncated (%zu of %zu bytes): %s\n", got,
                   *bytes, filename);
        IMG_free(image);
        return -1;
    }
    return 1;
}

// One byte per pixel for an image that is not plain 8-bit: `width` pixels
// per row, converted by the pixel layout.
std::vector<std::uint8_t> to_bytes(const IMG_report& im) {
    const std::size_t w = static_cast<std::size_t>(im.width);
    const std::size_t h = static_cast<std::size_t>(im.height);
    const std::size_t bl = static_cast<std::size_t>(im.bytes_line);
    std::vector<std::uint8_t> out(w * h);
    for (std::size_t y = 0; y < h; ++y) {
        const std::uint8_t* row = im.data + y * bl;
        std::uint8_t* o = out.data() + y * w;
        for (std::size_t x = 0; x < w; ++x) {
            std::uint8_t v = 0;
            if (im.bits_pixel == 32) {
                const std::uint8_t* p = row + 4 * x;
                v = static_cast<std::uint8_t>(im.byte_order == 1 ? (p[1] + p[2] + p[3]) / 3
                                                                 : (p[0] + p[1] + p[2]) / 3);
            } else if (im.depth == 24) {
                const std::uint8_t* p = row + 3 * x;
                v = im.byte_order == 1 ? p[2] : p[0];
            } else if (im.depth == 16) {
                const std::uint8_t* p = row + 2 * x;
                v = im.byte_order == 1 ? p[1] : p[0];
            } else if (im.depth == 8) {
                v = row[x];
            } else if (im.depth == 4) {
                const std::uint8_t b = row[x / 2];
                v = (x % 2 == 0) ? b >> 4 : b & 0x0F;
            } else if (im.depth == 1) {
                v = (row[x / 8] >> (x % 8)) & 1;
            }
            o[x] = v;
        }
    }
    return out;
}

// Bytes of one row that `to_bytes` reads for this layout (to check that the
// record's bytes_line really holds `width` pixels).
std::size_t row_bytes_needed(const IMG_report& im) {
    const std::size_t w = static_cast<std::size_t>(im.width);
    if (im.bits_pixel == 32) return 4 * w;
    switch (im.depth) {
        case 24: return 3 * w;
        case 16: return 2 * w;
        case 8: return w;
        case 4: return (w + 1) / 2;
        case 1: return (w + 7) / 8;
        default: return 0;
    }
}

// Writes `n` bytes, each kPiece piece compressed as its own zlib stream.
bool write_compressed(FILE* f, const std::uint8_t* p, std::size_t n) {
    std::vector<std::uint8_t> out(kZBuf);
    for (std::size_t at = 0; at < n; at += kPiece) {
        const std::size_t k = std::min(kPiece, n - at);
        z_stream zs{};
        if (deflateInit(&zs, Z_DEFAULT_COMPRESSION) != Z_OK) return false;
        zs.next_in = const_cast<Bytef*>(p + at);
        zs.avail_in = static_cast<uInt>(k);
        zs.next_out = out.data();
        zs.avail_out = static_cast<uInt>(kZBuf);
        const int rc = deflate(&zs, Z_FINISH);
        MESS_print(kTrace, "Deflate+ %d = %d %d = %d %d\n", rc, static_cast<int>(zs.avail_in),
                   static_cast<int>(zs.total_in), static_cast<int>(zs.avail_out),
                   static_cast<int>(zs.total_out));
        const std::size_t len = kZBuf - zs.avail_out;
        deflateEnd(&zs);
        if (rc != Z_STREAM_END) return false;
        if (std::fwrite(out.data(), 1, len, f) != len) return false;
    }
    return true;
}

int write_zem(const char* filename, IMG_report* image, int type) {
    if (!image->data || image->width < 1 || image->height < 1 || image->bytes_line < 1 ||
        !checked_area(image->bytes_line, image->height)) {
        MESS_print(M_warn, "IMG_write: No image to write: %s\n", filename);
        return 0;
    }
    const bool zipped = (type & 1) != 0;
    const Domain& d = image->domain;
    // Version 3 holds the five projections with a token; others (and
    // requests with bit 2) go out as version 4 with a domain string.
    std::optional<std::string> token;
    std::optional<std::string> domstr;
    if (!is_missing(d.proj)) {
        if ((type & 2) == 0) token = make_token(d);
        if (!token) domstr = domain_string(d);
    }
    // Rows go out `width` bytes long, as the header says: an 8-bit image
    // with padded rows is packed like the deeper layouts.
    const bool plain8 = image->depth == 8 && image->bits_pixel <= 8 && image->num_colors < 1 &&
                        image->bytes_line == image->width;
    std::vector<std::uint8_t> converted;
    if (!plain8) {
        if (row_bytes_needed(*image) == 0 ||
            row_bytes_needed(*image) > static_cast<std::size_t>(image->bytes_line)) {
            MESS_print(M_warn, "IMG_write: Unsupported pixel layout (depth %d, %d bits): %s\n",
                       image->depth, image->bits_pixel, filename);
            return 0;
        }
        converted = to_bytes(*image);
    }
    File f(FILE_open(filename, "w"));
    if (!f) {
        MESS_print(M_warn, "Unable to open: %s\n", filename);
        return 0;
    }
    std::string head = std::string("ZEMIMG") + (domstr ? "4" : "") + (zipped ? "Z" : "") + "\n";
    head += std::string(image->datim, strnlen(image->datim, sizeof(image->datim))) + "\n";
    head += std::string(image->info, strnlen(image->info, sizeof(image->info))) + "\n";
    char buf[256];
    if (domstr) {
        head += *domstr + "\n";
    } else if (is_missing(d.proj)) {
        std::snprintf(buf, sizeof(buf), "%d %d\n", image->width, image->height);
        head += buf;
    } else {
        if (token) head += *token;
        std::snprintf(buf, sizeof(buf), "%f %f %f %f %d %d\n", d.clat, d.clon, d.dx, d.dy, d.nx,
                      d.ny);
        head += buf;
    }
    bool ok = std::fwrite(head.data(), 1, head.size(), f.get()) == head.size();
    const std::uint8_t* px = plain8 ? image->data : converted.data();
    const std::size_t n = plain8 ? static_cast<std::size_t>(image->height) * image->bytes_line
                                 : converted.size();
    if (ok) ok = zipped ? write_compressed(f.get(), px, n) : std::fwrite(px, 1, n, f.get()) == n;
    if (ok) ok = std::fflush(f.get()) == 0;
    if (!ok) {
        MESS_print(M_warn, "IMG_write: Write error: %s\n", filename);
        return 0;
    }
    return 1;
}

// The first 6 bytes of an image file, after an optional "** " comment line.
std::optional<std::string> leading_bytes(const char* filename) {
    File f(FILE_open(filename, "r"));
    if (!f) return std::nullopt;
    char b[6] = {0};
    std::size_t n = std::fread(b, 1, 6, f.get());
    if (n >= 3 && std::memcmp(b, "** ", 3) == 0) {
        // The comment may already contain the newline within the 6 bytes.
        const char* nl = static_cast<const char*>(std::memchr(b, '\n', n));
        std::string rest(nl ? nl + 1 : b + n, nl ? b + n - (nl + 1) : 0);
        if (!nl) {
            int c;
            while ((c = std::fgetc(f.get())) != EOF && c != '\n') {}
        }
        while (rest.size() < 6) {
            const int c = std::fgetc(f.get());
            if (c == EOF) break;
            rest.push_back(static_cast<char>(c));
        }
        return rest;
    }
    return std::string(b, n);
}

// The active map domain widened from the map panel to the whole window
// dump: same spacing per screen pixel, centred where the window's centre
// lies on the map, so that every written pixel keeps its position. False
// when the panel's place in the window is not known.
bool window_domain(const IMG_report& image, Domain& d) {
    Gint err = 0, cur = 2;
    ginq_cur_norm_tran_num(&err, &cur);
    gsel_norm_tran(2);
    XRectangle vp{0, 0, 0, 0};
    gget_xviewport(&vp);
    gsel_norm_tran(cur);
    if (vp.width < 2 || vp.height < 2 || d.nx < 2 || d.ny < 2 || is_missing(d.dx) || is_missing(d.dy) ||
        is_missing(d.proj))
        return false;
    // Map grid columns and rows per window pixel.
    const float gx = static_cast<float>(d.nx - 1) / static_cast<float>(vp.width - 1);
    const float gy = static_cast<float>(d.ny - 1) / static_cast<float>(vp.height - 1);
    const float cx = (static_cast<float>(image.width - 1) / 2.0f - static_cast<float>(vp.x)) * gx;
    const float cy = (static_cast<float>(image.height - 1) / 2.0f - static_cast<float>(vp.y)) * gy;
    MAP_domain(&d);
    float x = 0.0f, y = 0.0f, lat = kMissingF, lon = kMissingF;
    MAP_grid_tran(cx, cy, &x, &y);
    if (MAP_untran(x, y, &lat, &lon) == 0) return false;
    d.clat = lat;
    d.clon = lon;
    d.dx *= gx;
    d.dy *= gy;
    d.nx = image.width;
    d.ny = image.height;
    return true;
}

// A window dump carries the plot's labels and, when the map panel fills
// most of the window (view offset at most 0.7), a map domain that covers
// the whole picture.
void describe_dump(IMG_report* image) {
    if (PLT_get_view_offset() <= 0.7f) {
        Domain d;
        MAP_get_domain(&d);
        if (d.nx == image->width && d.ny == image->height)
            image->domain = d;
        else if (window_domain(*image, d))
            image->domain = d;
    }
    std::snprintf(image->info, sizeof(image->info), "%s [%s]", PLT_get_label(0, 0),
                  PLT_get_label(5, 0));
    std::snprintf(image->datim, sizeof(image->datim), "%s", PLT_get_label(2, 0));
}

int query(const std::string& lead) {
    if (lead.rfind("GIF", 0) == 0) return kImgGif;
    if (lead.size() >= 4 && lead.compare(1, 3, "PNG") == 0) return kImgPng;
    if (lead.rfind("ZEM", 0) == 0) return kImgZem;
    return kImgXwd;
}

}  // namespace

int IMG_init(IMG_report* image) {
    if (!image) return -1;
    std::memset(image, 0, sizeof(*image));
    DATE_init(&image->date);
    DOM_init(&image->domain);
    image->byte_order = 1;
    image->trans_color = -1;
    image->colors = nullptr;
    image->data = nullptr;
    return 0;
}

int IMG_free(IMG_report* image) {
    if (!image) return -1;
    std::free(image->data);
    std::free(image->colors);
    image->data = nullptr;
    image->colors = nullptr;
    image->num_colors = 0;
    return 0;
}

int IMG_copy(IMG_report* target, const IMG_report* source) {
    if (!target || !source) return 0;
    *target = *source;
    target->data = nullptr;
    target->colors = nullptr;
    if (source->data) {
        // Room for depth*(width+1)*height/8 bytes; the source holds
        // height*bytes_line of them.
        const auto room = checked_volume(source->depth, source->width + 1LL, source->height);
        const auto held = checked_area(source->height, source->bytes_line);
        if (!room || !held) {
            target->num_colors = 0;
            return 0;
        }
        const std::size_t size = std::max(*room / 8, *held);
        target->data = static_cast<unsigned char*>(std::calloc(std::max<std::size_t>(size, 1), 1));
        if (!target->data) {
            target->num_colors = 0;
            return 0;
        }
        std::memcpy(target->data, source->data, *held);
    }
    if (source->colors && source->num_colors > 0) {
        target->colors = static_cast<IMG_color*>(
            std::calloc(static_cast<std::size_t>(source->num_colors), sizeof(IMG_color)));
        if (!target->colors) {
            IMG_free(target);
            return 0;
        }
        std::memcpy(target->colors, source->colors,
                    sizeof(IMG_color) * static_cast<std::size_t>(source->num_colors));
    } else {
        target->num_colors = source->colors ? source->num_colors : 0;
    }
    return 1;
}

int IMG_print(M_type mess, const IMG_report* image) {
    if (!image) return -1;
    MESS_print(mess, "Source: %d\n", image->source);
    MESS_print(mess, "Version: %d\n", image->version);
    MESS_print(mess, "Date: %s\n", image->datim);
    MESS_print(mess, "Info: %s\n", image->info);
    MESS_print(mess, "Type: %d\n", image->type);
    MESS_print(mess, "Size: %dx%d\n", image->width, image->height);
    MESS_print(mess, "Resolution: %.2fx%.2f\n", image->xres, image->yres);
    MESS_print(mess, "Offset: %.2fx%.2f\n", image->xoff, image->yoff);
    MESS_print(mess, "Depth: %d\n", image->depth);
    MESS_print(mess, "Bits per pixel: %d\n", image->bits_pixel);
    MESS_print(mess, "Bytes per line: %d\n", image->bytes_line);
    MESS_print(mess, "Bytes order: %d\n", image->byte_order);
    MESS_print(mess, "Number of colors: %d\n", image->num_colors);
    MESS_print(mess, "Tranparent colors: %d\n", image->trans_color);
    DOM_print(mess, &image->domain);
    return 0;
}

int IMG_query(const char* filename) {
    if (!filename) return kImgUnknown;
    auto lead = leading_bytes(filename);
    if (!lead) return kImgUnknown;
    return query(*lead);
}

int IMG_read(const char* filename, IMG_report* image, int type) {
    if (!filename || !image) return 0;
    std::optional<std::string> lead;
    try {
        lead = leading_bytes(filename);
    } catch (const std::bad_alloc&) {
        lead.reset();
    }
    if (!lead) {
        MESS_print(M_warn, "IMG_read: Unable to open image file: %s\n", filename);
        return 0;
    }
    IMG_init(image);
    image->depth = gget_win_depth();
    if (image->depth == 0 && type == 1) image->depth = 32;
    int rc = 0;
    switch (query(*lead)) {
        case kImgGif: rc = GIF_read(filename, image, type); break;
        case kImgPng: rc = PNG_read(filename, image, type); break;
        case kImgZem: rc = IMG_read_zem(filename, image, type); break;
        default: rc = XWD_read(filename, image, type); break;
    }
    if (rc != 1) IMG_free(image);
    return rc;
}

int IMG_read_zem(const char* filename, IMG_report* image, int /*type*/) {
    if (!filename || !image) return -1;
    bool inited = false;
    try {
        const int rc = read_zem(filename, image, inited);
        if (rc != 1 && inited) IMG_free(image);
        return rc;
    } catch (const std::bad_alloc&) {
        if (inited) IMG_free(image);
        MESS_print(M_warn, "IMG_read_zem: Out of memory reading %s\n", filename);
        return 0;
    }
}

int IMG_write(const char* filename, IMG_report* image, int type) {
    if (!filename || !image) return 0;
    try {
        return write_zem(filename, image, type);
    } catch (const std::bad_alloc&) {
        MESS_print(M_warn, "IMG_write: Out of memory writing %s\n", filename);
        return 0;
    }
}

int IMG_set_read_wait(float secs) {
    g_img.wait_secs = secs > 0 ? secs : 0.0f;
    return 0;
}

int IMG_dump(const char* filename) {
    return gwrite_window_image(filename, [](const char* name, IMG_report* image) {
        describe_dump(image);
        return IMG_write(name, image, 0);
    });
}
