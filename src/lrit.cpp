// LRIT reader (CGMS LRIT/HRIT global specification). A file is a chain of
// header records, each a 1-byte type and a 2-byte big-endian length that
// counts these 3 bytes, then the data field:
//   0 primary: file type code, total header length (4), data length (8)
//   1 image structure: bits per pixel, columns (2), lines (2), compression
//     (0 none, 2 JPEG)
//   2 navigation: projection name (32 characters, "GEOS(128.2)"), then
//     CFAC, LFAC, COFF, LOFF as signed 32-bit numbers
//   3 image data function (text)   4 annotation (text)
//   5 time stamp: CDS P-field (1), days since 1958-01-01 (2), ms of day (4)
//   128 segment (COMS): segment number (1), segment count (1), number of
//     the segment's first line in the whole image (2)
//   others (7, 131, ...) are skipped.
// Navigation: scan angles x (east) and y (north) in degrees of a pixel in
// column c and line l of the whole image are (c - COFF) 2^16 / CFAC and
// (l - LOFF) 2^16 / LFAC. The real COMS full disk is centred on its
// middle: the limb of its earth disc is centred at 0-based pixel 1099.9
// for COFF = LOFF = 1099 of 2200, the crop of the northern hemisphere at
// 773.5 for COFF 773 of 1547; so c and l are taken as 0-based pixel
// centre numbers less one half, which puts the sub-satellite point at
// 1099.5, the middle of the disk (a 1-based count would put the disc two
// pixels off).
#include "lrit.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <csetjmp>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include <jpeglib.h>

#define ZEM_SAT_READ_INTERNAL
#include "date.h"
#include "img_tool.h"
#include "maptran.h"
#include "mess.h"
#include "sat_read_priv.h"

namespace {

using satread::Pixels;

constexpr M_type kDbg = M_debug & M_sub_a;
constexpr M_type kDbgMost = M_debug & M_sub_d;
constexpr double kPi = 3.1415926535898;
constexpr double DTR = kPi / 180.0;
constexpr float kSatRad = 421.61f;        // orbit radius, hundreds of km
constexpr double kCentreShift = -0.5;      // 0-based pixel centre to CGMS number
constexpr int kDaysTo1970 = 4382;          // CDS day 4383 is 1970-01-01 (day 1)
constexpr long long kMaxPixels = 1LL << 28;
constexpr std::size_t kMaxJpeg = std::size_t{1} << 28;

// The header fields of one file.
struct Header {
    int data_type = 0;
    long long hdr_len = -1;   // -1 until the primary header is read
    int bits_pixel = 8;
    int ncol = 0, nrow = 0, compress = 0;
    std::string pname;
    std::int32_t cfac = 0, lfac = 0, coff = 0, loff = 0;
    std::string info;
    Date date{};
    int seg = 1, nseg = 1, lseg = 1;
};

struct LritState {
    satread::Stream in;
    bool opened = false;
    long long bytes = 0;   // header bytes consumed
    Header h;
    bool assemble = false;
    bool sibling = false;  // reading the other segments of a joined image
};
LritState g_lrit;

std::int32_t be32(const std::uint8_t* p) {
    return static_cast<std::int32_t>((std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) |
                                     (std::uint32_t{p[2]} << 8) | p[3]);
}
int be16(const std::uint8_t* p) { return (p[0] << 8) | p[1]; }

// Text of a record body up to its first zero, control characters and
// trailing blanks removed.
std::string clean(const std::uint8_t* p, std::size_t n) {
    std::string s;
    for (std::size_t i = 0; i < n && p[i]; ++i) s += (p[i] < 32 ? ' ' : static_cast<char>(p[i]));
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}

void decode_record(int type, const std::vector<std::uint8_t>& b) {
    Header& h = g_lrit.h;
    const std::size_t n = b.size();
    switch (type) {
        case 0:
            if (n < 5) break;
            h.data_type = b[0];
            h.hdr_len = static_cast<std::uint32_t>(be32(&b[1]));
            MESS_print(kDbg, "HDR0-Primary: %d len: %lld\n", h.data_type, h.hdr_len);
            break;
        case 1:
            if (n < 6) break;
            h.bits_pixel = b[0];
            h.ncol = be16(&b[1]);
            h.nrow = be16(&b[3]);
            h.compress = b[5];
            MESS_print(kDbg, "HDR1-Image Struct: bits/pixel: %d ncol: %d nrow: %d compress: %d\n",
                       h.bits_pixel, h.ncol, h.nrow, h.compress);
            break;
        case 2:
            if (n < 48) break;
            h.pname = clean(b.data(), 32);
            h.cfac = be32(&b[32]);
            h.lfac = be32(&b[36]);
            h.coff = be32(&b[40]);
            h.loff = be32(&b[44]);
            MESS_print(kDbg, "HDR2-Image Nav: %s cfac: %d lfac: %d coff: %d loff: %d\n", h.pname.c_str(),
                       h.cfac, h.lfac, h.coff, h.loff);
            break;
        case 3:
            MESS_print(kDbg, "HDR3-Image Data: %s\n", clean(b.data(), n).c_str());
            break;
        case 4:
            h.info = clean(b.data(), n);
            MESS_print(kDbg, "HDR4-Annotation: %s\n", h.info.c_str());
            break;
        case 5: {
            if (n < 7) break;
            const int days = be16(&b[1]);
            const std::int32_t ms = be32(&b[3]);
            MESS_print(kDbg, "HDR5-Time Stamp: %d %d\n", days, ms);
            DATE_init(&h.date);
            DATE_days_date(days - kDaysTo1970, &h.date.year, &h.date.month, &h.date.day);
            DATE_time_date(static_cast<int>((static_cast<std::uint32_t>(ms) / 1000) % 86400), &h.date.hour,
                           &h.date.min, &h.date.sec);
            DATE_print(g_lrit.sibling ? kDbg : M_out2, &h.date);
            break;
        }
        case 128:
            if (n < 4) break;
            h.seg = b[0];
            h.nseg = b[1];
            h.lseg = be16(&b[2]);
            MESS_print(kDbg, "HDR128-Image Segment: seg: %d nseg: %d lseg: %d\n", h.seg, h.nseg, h.lseg);
            break;
        default:
            MESS_print(kDbg, "HDR: %d %zu\n", type, n + 3);
    }
}

// The whole image a set of segments makes, and where its navigation puts
// the map.
struct Layout {
    int ncol = 0;
    int first_line = 1;   // number of the top line (1 = first of the image)
    int nrow = 0;
    bool mirror_x = false, flip_y = false;
};

// Fills the satellite-view domain of `lay` from the navigation of `h`;
// other projection names keep the cleared domain.
void lrit_domain(const Header& h, const Layout& lay, Domain* d) {
    if (h.pname.compare(0, 4, "GEOS") != 0 || h.cfac == 0 || h.lfac == 0) return;
    float plon = 0.0f;
    std::sscanf(h.pname.c_str(), "GEOS(%f", &plon);
    d->proj = DOM_SAT;
    d->plat = 0.0f;
    d->plon = plon;
    d->param[0] = kSatRad;
    d->param[1] = 1.0f;
    d->ellipse = 1;
    d->nx = lay.ncol;
    d->ny = lay.nrow;
    const double xstep = 65536.0 / h.cfac * DTR * kSatRad;   // east per column
    const double ystep = 65536.0 / h.lfac * DTR * kSatRad;   // north per line
    d->dx = static_cast<float>(std::fabs(xstep));
    d->dy = static_cast<float>(std::fabs(ystep));
    const double col = (lay.ncol - 1) / 2.0 + kCentreShift;
    const double line = lay.first_line - 1 + (lay.nrow - 1) / 2.0 + kCentreShift;
    satread::SavedProjection keep;
    MAP_domain(d);
    float lat = 0.0f, lon = 0.0f;
    // A grid is placed by its centre, which must be on the earth.
    if (!MAP_untran(static_cast<float>((col - h.coff) * xstep), static_cast<float>((line - h.loff) * ystep), &lat,
                    &lon)) {
        MESS_print(M_warn, "SAT_read_LRIT: Image centre off the earth: no navigation\n");
        DOM_init(d);
        return;
    }
    d->clat = lat;
    d->clon = lon;
}

// Pixels of one segment in file order. JPEG errors end in `err`.
struct JpegJob {
    jpeg_error_mgr pub;
    jmp_buf jump;
    char err[JMSG_LENGTH_MAX];
};

void jpeg_fail(j_common_ptr c) {
    auto* job = reinterpret_cast<JpegJob*>(c->err);
    (*c->err->format_message)(c, job->err);
    longjmp(job->jump, 1);
}

// Warnings (a stream that ends early, corrupt data) are kept: the
// decoder would otherwise fill the rest with grey.
void jpeg_warn(j_common_ptr c, int level) {
    if (level >= 0) return;
    auto* job = reinterpret_cast<JpegJob*>(c->err);
    if (c->err->num_warnings++ == 0) (*c->err->format_message)(c, job->err);
}

// Holds no C++ objects, so the jump skips no destructor.
bool jpeg_decode(const std::uint8_t* src, std::size_t len, std::uint8_t* out, int ncol, int nrow, JpegJob* job,
                 jpeg_decompress_struct* c) {
    c->err = jpeg_std_error(&job->pub);
    job->pub.error_exit = jpeg_fail;
    job->pub.emit_message = jpeg_warn;
    if (setjmp(job->jump)) {
        jpeg_destroy_decompress(c);
        return false;
    }
    jpeg_create_decompress(c);
    jpeg_mem_src(c, src, static_cast<unsigned long>(len));
    jpeg_read_header(c, TRUE);
    if (c->image_width > static_cast<JDIMENSION>(ncol) || c->image_height > static_cast<JDIMENSION>(nrow)) {
        std::snprintf(job->err, sizeof job->err, "JPEG image %ux%u larger than %dx%d", c->image_width,
                      c->image_height, ncol, nrow);
        jpeg_destroy_decompress(c);
        return false;
    }
    c->out_color_space = JCS_GRAYSCALE;
    jpeg_start_decompress(c);
    MESS_print(kDbgMost, "COLOR: %d %d %d %d\n", c->jpeg_color_space, c->out_color_space, c->num_components,
               c->output_components);
    const JDIMENSION w = c->output_width;
    JSAMPARRAY row = (*c->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(c), JPOOL_IMAGE, w, 1);
    while (c->output_scanline < c->output_height && job->pub.num_warnings == 0) {
        const JDIMENSION s = c->output_scanline;
        jpeg_read_scanlines(c, row, 1);
        if (s < static_cast<JDIMENSION>(nrow))
            std::memcpy(out + std::size_t{s} * ncol, row[0], std::min<std::size_t>(w, ncol));
    }
    if (job->pub.num_warnings == 0) jpeg_finish_decompress(c);
    jpeg_destroy_decompress(c);
    return job->pub.num_warnings == 0;
}

// Reads the pixels after the headers into `out` (ncol x nrow). False with
// a message.
bool read_segment_pixels(const Header& h, std::uint8_t* out) {
    const std::size_t npix = std::size_t(h.ncol) * std::size_t(h.nrow);
    if (h.compress == 2) {
        MESS_print(kDbgMost, "JPEG Compression\n");
        const std::vector<std::uint8_t> jpg = satread::read_rest(g_lrit.in.get(), kMaxJpeg);
        JpegJob job{};
        jpeg_decompress_struct c{};
        if (!jpeg_decode(jpg.data(), jpg.size(), out, h.ncol, h.nrow, &job, &c)) {
            MESS_print(M_warn, "SAT_read_LRIT: Bad JPEG data: %s\n", job.err);
            return false;
        }
        return true;
    }
    if (h.compress != 0 || (h.bits_pixel != 8 && h.bits_pixel != 16)) {
        MESS_print(M_warn, "SAT_read_LRIT: %d-bit pixels with compression %d cannot be decoded\n", h.bits_pixel,
                   h.compress);
        return false;
    }
    const std::size_t bpp = h.bits_pixel / 8;
    const std::vector<std::uint8_t> raw = satread::read_rest(g_lrit.in.get(), npix * bpp);
    if (raw.size() < npix * bpp) {
        MESS_print(M_warn, "SAT_read_LRIT: Image data truncated: %zu of %zu bytes\n", raw.size(), npix * bpp);
        return false;
    }
    if (bpp == 1) {
        std::memcpy(out, raw.data(), npix);
    } else {
        // 10-bit counts in 16-bit words keep their upper eight bits.
        for (std::size_t i = 0; i < npix; ++i)
            out[i] = static_cast<std::uint8_t>(((raw[2 * i] << 8) | raw[2 * i + 1]) >> 2);
    }
    return true;
}

// Mirrors and flips a picture so that north is up and east to the right.
void orient(std::uint8_t* px, int w, int h, bool mirror_x, bool flip_y) {
    if (mirror_x)
        for (int y = 0; y < h; ++y) std::reverse(px + std::size_t(y) * w, px + std::size_t(y + 1) * w);
    if (flip_y)
        for (int y = 0; y < h / 2; ++y)
            std::swap_ranges(px + std::size_t(y) * w, px + std::size_t(y + 1) * w, px + std::size_t(h - 1 - y) * w);
}

Layout layout_of(const Header& h) {
    Layout lay;
    lay.ncol = h.ncol;
    lay.nrow = h.nrow;
    lay.first_line = h.lseg;
    // Columns numbered westward (negative CFAC) are mirrored and lines
    // numbered northward (positive LFAC) flipped.
    lay.mirror_x = h.cfac < 0;
    lay.flip_y = h.lfac > 0;
    return lay;
}

// Text, date and size of the record from the header of the open file.
void fill_record(const Header& h, const Layout& lay, IMG_report* r) {
    std::snprintf(r->info, sizeof(r->info), "%s", h.info.c_str());
    r->date = h.date;
    if (!is_missing(h.date.year)) satread::set_image_date(r, h.date.year, h.date.month, h.date.day, h.date.hour,
                                                          h.date.min, h.date.sec);
    r->width = r->bytes_line = lay.ncol;
    r->height = lay.nrow;
    r->depth = r->bits_pixel = 8;
    lrit_domain(h, lay, &r->domain);
    MESS_print(kDbg, "Segment domain: ");
    DOM_print(kDbg, &r->domain);
}

// One file: headers, then its pixels into a new buffer (oriented).
int read_one(const char* name, IMG_report* r, Header* h, Pixels* px) {
    if (!LRIT_open(name)) {
        MESS_print(M_warn, "SAT_read_LRIT: Unable to open file:%s\n", name ? name : "");
        return -1;
    }
    const int rc = LRIT_read(r);
    if (rc == 0) {
        *h = g_lrit.h;
        px->reset(r->data);
        r->data = nullptr;
    }
    LRIT_close();
    return rc;
}

// The name of segment `k` of the image whose segment `seg` is `name`: the
// last run of digits in the file's own name that reads `seg` is replaced,
// with its width kept. Empty when the name has no such number.
std::string sibling(const std::string& name, int seg, int k) {
    const std::size_t base = name.rfind('/') == std::string::npos ? 0 : name.rfind('/') + 1;
    std::size_t end = name.size();
    while (end > base) {
        while (end > base && !std::isdigit(static_cast<unsigned char>(name[end - 1]))) --end;
        std::size_t start = end;
        while (start > base && std::isdigit(static_cast<unsigned char>(name[start - 1]))) --start;
        if (start == end) break;
        const std::string digits = name.substr(start, end - start);
        if (digits.size() <= 6 && std::stoi(digits) == seg) {
            char num[16];
            std::snprintf(num, sizeof num, "%0*d", static_cast<int>(digits.size()), k);
            if (std::strlen(num) != digits.size()) return {};
            return name.substr(0, start) + num + name.substr(end);
        }
        end = start;
    }
    return {};
}

// Reads every segment of the image of `first` (already read into
// `r`/`px`) and puts them together; segments that are missing or
// unreadable stay black, with a message.
void assemble(const std::string& name, const Header& h0, IMG_report* r, Pixels* px) {
    struct Piece {
        Header h;
        Pixels px;
    };
    std::vector<Piece> pieces;
    int bottom = h0.lseg - 1 + h0.nrow;
    int rows_each = h0.nrow;
    for (int k = 1; k <= h0.nseg; ++k) {
        if (k == h0.seg) continue;
        const std::string file = sibling(name, h0.seg, k);
        IMG_report seg;
        IMG_init(&seg);
        Piece p;
        g_lrit.sibling = true;
        const int rc = file.empty() ? -1 : read_one(file.c_str(), &seg, &p.h, &p.px);
        g_lrit.sibling = false;
        if (rc != 0) {
            MESS_print(M_warn, "SAT_read_LRIT: Segment %d of %d not read: %s\n", k, h0.nseg,
                       file.empty() ? name.c_str() : file.c_str());
            continue;
        }
        IMG_free(&seg);
        if (p.h.ncol != h0.ncol || p.h.cfac != h0.cfac || p.h.lfac != h0.lfac || p.h.coff != h0.coff ||
            p.h.loff != h0.loff || p.h.nseg != h0.nseg) {
            MESS_print(M_warn, "SAT_read_LRIT: Segment %d does not belong to the image: %s\n", k, file.c_str());
            continue;
        }
        bottom = std::max(bottom, p.h.lseg - 1 + p.h.nrow);
        if (k > h0.seg) rows_each = p.h.nrow;
        pieces.push_back(std::move(p));
    }
    // Segments missing at the end are taken as tall as the last one read.
    int last_read = h0.seg;
    for (const Piece& p : pieces) last_read = std::max(last_read, p.h.seg);
    bottom += (h0.nseg - last_read) * rows_each;
    Layout lay = layout_of(h0);
    lay.first_line = 1;
    lay.nrow = bottom;
    Pixels all = satread::new_pixels(lay.ncol, lay.nrow, kMaxPixels);
    if (!all) {
        MESS_print(M_warn, "SAT_read_LRIT: Joined image of %d x %d too large: segment %d alone\n", lay.ncol,
                   lay.nrow, h0.seg);
        return;
    }
    pieces.push_back(Piece{h0, std::move(*px)});
    for (Piece& p : pieces) {
        // Back to file order, then into the image's lines.
        Layout own = layout_of(p.h);
        orient(p.px.get(), p.h.ncol, p.h.nrow, own.mirror_x, own.flip_y);
        const int rows = std::min(p.h.nrow, lay.nrow - (p.h.lseg - 1));
        if (p.h.lseg < 1 || rows <= 0) continue;
        std::memcpy(all.get() + std::size_t(p.h.lseg - 1) * lay.ncol, p.px.get(), std::size_t(rows) * lay.ncol);
    }
    orient(all.get(), lay.ncol, lay.nrow, lay.mirror_x, lay.flip_y);
    fill_record(h0, lay, r);
    *px = std::move(all);
}

}  // namespace

int LRIT_open(const char* name) {
    g_lrit.in = satread::open_stream(name);
    g_lrit.opened = static_cast<bool>(g_lrit.in);
    g_lrit.bytes = 0;
    g_lrit.h = Header{};
    DATE_init(&g_lrit.h.date);
    if (!g_lrit.opened) {
        MESS_print(M_warn, "Unable to open LRIT file: %s\n", name ? name : "");
        return 0;
    }
    return 1;
}

int LRIT_close() {
    g_lrit.in.reset();
    g_lrit.opened = false;
    return 0;
}

int LRIT_header() {
    if (!g_lrit.opened) return 0;
    // The primary header says where the headers end; a chain that runs
    // past that point is broken and ends here.
    if (g_lrit.h.hdr_len >= 0 && g_lrit.bytes >= g_lrit.h.hdr_len) return 0;
    std::uint8_t head[3];
    if (std::fread(head, 1, 3, g_lrit.in.get()) != 3) return 0;
    const int type = head[0];
    const int len = be16(head + 1);
    if (len < 3) return 0;
    std::vector<std::uint8_t> body(static_cast<std::size_t>(len - 3));
    if (std::fread(body.data(), 1, body.size(), g_lrit.in.get()) != body.size()) return 0;
    g_lrit.bytes += len;
    decode_record(type, body);
    return 1;
}

int LRIT_read_header(IMG_report* image) {
    while (LRIT_header()) {
    }
    fill_record(g_lrit.h, layout_of(g_lrit.h), image);
    return 0;
}

int LRIT_read(IMG_report* image) {
    LRIT_read_header(image);
    const Header& h = g_lrit.h;
    if (h.hdr_len < 0 || g_lrit.bytes != h.hdr_len) {
        MESS_print(M_warn, "SAT_read_LRIT: Header records end at %lld, primary header says %lld\n", g_lrit.bytes,
                   h.hdr_len);
        return -1;
    }
    Pixels px = satread::new_pixels(h.ncol, h.nrow, kMaxPixels);
    if (!px) {
        MESS_print(M_warn, "SAT_read_LRIT: Invalid image size %d x %d\n", h.ncol, h.nrow);
        return -1;
    }
    if (!read_segment_pixels(h, px.get())) return -1;
    const Layout lay = layout_of(h);
    orient(px.get(), h.ncol, h.nrow, lay.mirror_x, lay.flip_y);
    std::free(image->data);
    image->data = px.release();
    return 0;
}

int LRIT_set_assemble(int on) {
    const int old = g_lrit.assemble ? 1 : 0;
    g_lrit.assemble = on != 0;
    return old;
}

int LRIT_get_assemble() { return g_lrit.assemble ? 1 : 0; }

int SAT_read_LRIT(const char* filename, IMG_report* report) {
    if (!report) return -1;
    IMG_init(report);
    int rc = -1;
    try {
        Header h;
        Pixels px;
        rc = read_one(filename, report, &h, &px);
        if (rc == 0 && g_lrit.assemble && h.nseg > 1) assemble(filename, h, report, &px);
        if (rc == 0) report->data = px.release();
    } catch (const std::bad_alloc&) {
        MESS_print(M_warn, "SAT_read_LRIT: Out of memory\n");
        LRIT_close();
        rc = -1;
    }
    if (rc != 0) IMG_free(report);
    return rc;
}
