// GINI reader: the satellite products of the NOAAPORT broadcast (the AWIPS
// image format). A GINI image is already on a map grid, so the reader turns
// the product definition block into the image's own Domain and remapping
// goes through the map projections, not through satellite navigation.
//
// File layout (NOAAPORT GINI documents; byte numbers count from 1):
//   WMO heading, optional: "TIGE04 KNES 190215\r\r\n", or SOH CR CR LF and
//     a sequence-number line before it, or a "** TI..." comment line
//   product definition block, 512 bytes, big-endian:
//      2 creating entity (satellite)   3 sector   4 physical element
//      9 year - 1900   10..14 month, day, hour, minute, second
//     16 map projection: 1 Mercator, 3 Lambert conformal, 5 polar stereo
//     17-18 nx   19-20 ny   21-23 lat1   24-26 lon1 (signed 24-bit,
//       sign in the top bit, 1/10000 degree): the first grid point, the
//       south-west corner, whose pixel is the first of the last line
//     Mercator: 28-30 lat2, 31-33 lon2 (the grid point nx, ny counted from
//       the first one: 560 x 4 km exactly on the Hawaii sector)
//     Lambert, polar: 28-30 lov, 31-33 dx, 34-36 dy (1/10 m, unsigned),
//       37 polar / 38 Lambert projection centre (bit 0: south pole),
//       39-41 Lambert tangent latitude
//   pixels: nx x ny bytes, first line at the top; or a PNG stream in their
//     place; trailing records after them are ignored
// The compressed form: the heading line in plain text, then a run of zlib
// streams, the first holding heading and block, the others the pixels.
#define ZEM_SAT_READ_INTERNAL
#include "sat_read_priv.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "flag.h"
#include "img_tool.h"
#include "maptran.h"
#include "mess.h"

namespace {

using satread::Pixels;

constexpr std::size_t kPdbBytes = 512;
constexpr int kMaxSize = 10000;                 // pixels per line or lines
constexpr std::size_t kWmoSearch = 100;         // heading bytes searched for its end
constexpr std::size_t kHeaderInflate = 10000;   // the inflated heading and block
// A plain file holds at most a 10000 x 10000 picture; more is not read.
constexpr std::size_t kFileLimit = 100000000 + (1u << 20);
constexpr M_type kDbg = M_debug & M_sub_b;
constexpr M_type kDbgInflate = M_debug & M_sub_c;

// Satellite names by creating entity (GOES 14 and 15 follow the numbering
// of the NOAAPORT tables beyond the older list).
struct Named {
    int code;
    const char* name;
};
constexpr std::array<Named, 13> kEntities = {{
    {7, "DMSP "}, {8, "GMS "}, {9, "METEOSAT "}, {10, "GOES 7 "}, {11, "GOES 8 "},
    {12, "GOES 9 "}, {13, "GOES 10 "}, {14, "GOES 11 "}, {15, "GOES 12 "},
    {16, "GOES 13 "}, {17, "GOES 14 "}, {18, "GOES 15 "}, {99, "Gempak "},
}};

constexpr std::array<Named, 24> kElements = {{
    {1, "Visible"}, {2, "Infrared 3.9um"}, {3, "Water Vapor"}, {4, "Infrared 11um"},
    {5, "Infrared 12um"}, {6, "Infrared 13um"}, {7, "Infrared 1.3um"},
    {13, "Imager lifted index"}, {14, "Imager precipitable water"},
    {15, "Imager surface skin temperature"}, {16, "Sounder lifted index"},
    {17, "Sounder precipitable water"}, {18, "Sounder surface skin temperature"},
    {27, "Gridded cloud top height"}, {28, "Gridded cloud amount"}, {40, "Low cloud base"},
    {43, "Sounder 14.06um"}, {48, "Sounder 11.03um"}, {50, "Sounder 7.43um"},
    {51, "Sounder 7.02um"}, {52, "Sounder 6.51um"}, {55, "Sounder 4.45um"},
    {57, "Sounder 3.98um"}, {59, "Sounder visible"},
}};

const char* name_of(const Named* begin, const Named* end, int code) {
    for (const Named* n = begin; n != end; ++n)
        if (n->code == code) return n->name;
    return nullptr;
}

// The product definition block with 1-based byte access.
class Pdb {
public:
    explicit Pdb(ByteView b) : b_(b) {}
    int u8(int k) const { return b_[static_cast<std::size_t>(k - 1)]; }
    int u16(int k) const { return (u8(k) << 8) | u8(k + 1); }
    int u24(int k) const { return (u8(k) << 16) | (u8(k + 1) << 8) | u8(k + 2); }
    // Sign bit on top of a 23-bit magnitude, in 1/10000 degree.
    double deg24(int k) const {
        const int mag = u24(k) & 0x7FFFFF;
        return ((u8(k) & 0x80) ? -mag : mag) / 10000.0;
    }

private:
    ByteView b_;
};

// Length of the WMO heading in front of `b` (0 when there is none), or
// nullopt when a heading starts but does not end within its search range.
std::optional<std::size_t> wmo_length(ByteView b) {
    const std::size_t n = std::min(b.size(), kWmoSearch);
    auto find = [&](std::size_t from, std::uint8_t c) -> std::optional<std::size_t> {
        for (std::size_t i = from; i < n; ++i)
            if (b[i] == c) return i;
        return std::nullopt;
    };
    if (b.empty()) return 0;
    if (b[0] == '\n') {
        std::size_t p = 0;
        while (p < n && b[p] == '\n') ++p;
        return p < n ? std::optional<std::size_t>(p) : std::nullopt;
    }
    const bool comment = b.size() >= 5 && std::memcmp(b.data(), "** TI", 5) == 0;
    if (b[0] == 'T' || comment) {
        const auto lf = find(0, '\n');
        return lf ? std::optional<std::size_t>(*lf + 1) : std::nullopt;
    }
    if (b.size() >= 3 && b[0] == 1 && b[1] == 13 && b[2] == 13) {
        const auto t = find(3, 'T');
        const auto lf = t ? find(*t, '\n') : std::nullopt;
        return lf ? std::optional<std::size_t>(*lf + 1) : std::nullopt;
    }
    return 0;
}

// The description: satellite (or sector composite) and channel.
std::string describe(const Pdb& p) {
    std::string info;
    if (const char* s = name_of(kEntities.begin(), kEntities.end(), p.u8(2))) info = s;
    if (p.u8(2) == 99 && p.u8(4) == 27) info += "Base reflectivity (Dbz)";
    if (p.u8(2) == 99 && p.u8(4) == 26) info += "Echo tops";
    if (p.u8(3) == 0) info = "GOES NH ";
    if (p.u8(3) == 9) info = "GOES NC ";
    if (const char* e = name_of(kElements.begin(), kElements.end(), p.u8(4)))
        info += e;
    else
        info += std::to_string(p.u8(4));
    return info;
}

float west_of_180(double lon) { return static_cast<float>(lon > 180.0 ? lon - 360.0 : lon); }

// SAT_FUDGE="dlat,dlon" moves the centre of every GINI domain.
void fudge(Domain* d) {
    const char* f = std::getenv("SAT_FUDGE");
    float dlat = 0.0f, dlon = 0.0f;
    if (!f || std::sscanf(f, "%f,%f", &dlat, &dlon) < 1) return;
    d->clat += dlat;
    d->clon += dlon;
}

// Centre of a grid whose first point (the south-west corner pixel) is at
// map (x1, y1): the grid is centred on its middle point, so the centre lies
// (n - 1) / 2 spacings away even for even n.
bool set_centre(Domain* d, float x1, float y1) {
    float lat = 0.0f, lon = 0.0f;
    const float xc = x1 + d->dx * static_cast<float>(d->nx - 1) / 2.0f;
    const float yc = y1 + d->dy * static_cast<float>(d->ny - 1) / 2.0f;
    if (!MAP_untran(xc, yc, &lat, &lon)) return false;
    d->clat = lat;
    d->clon = lon;
    return true;
}

// Domain of the polar stereographic (5) and Lambert conformal (3) grids.
bool conic_domain(const Pdb& p, bool lambert, Domain* d) {
    d->proj = lambert ? DOM_LAMB : DOM_PSTEREO;
    d->plon = west_of_180(p.deg24(28));
    d->plat = (p.u8(lambert ? 38 : 37) & 1) ? -90.0f : 90.0f;
    if (lambert) {
        const auto latin = static_cast<float>(p.deg24(39));
        MESS_print(kDbg, "Lambert Conformal Grid\n");
        MESS_print(kDbg, "Grid parallels: %3.2f N, %3.2f N\n", latin, latin);
        d->param[0] = d->param[1] = latin;
        d->param[2] = 1.0f;
    } else {
        MESS_print(kDbg, "Polar Stereographic Grid\n");
    }
    MAP_domain(d);
    const auto lat1 = static_cast<float>(p.deg24(21));
    const auto lon1 = static_cast<float>(p.deg24(24));
    float x1 = 0.0f, y1 = 0.0f;
    if (!MAP_tran(lat1, lon1, &x1, &y1)) return false;
    // 1/10 metre to the hundreds of kilometres of the map projections.
    d->dx = static_cast<float>(p.u24(31) / 1.0e6);
    d->dy = static_cast<float>(p.u24(34) / 1.0e6);
    MESS_print(kDbg, "Grid size: %3.2fx%3.2f\n", d->dx, d->dy);
    if (!set_centre(d, x1, y1)) return false;
    MESS_print(kDbg, "Grid locate: %3.2f N, %3.2f E\n", d->clat, d->clon);
    return true;
}

// Domain of the Mercator grid (1), from its two corners.
bool mercator_domain(const Pdb& p, Domain* d) {
    MESS_print(kDbg, "Mercator Grid\n");
    const auto lat1 = static_cast<float>(p.deg24(21));
    const float lon1 = west_of_180(p.deg24(24));
    const auto lat2 = static_cast<float>(p.deg24(28));
    const float lon2 = west_of_180(p.deg24(31));
    d->proj = DOM_MERC;
    d->plat = 0.0f;
    float plon = (lon1 + lon2) / 2.0f;
    if (lon1 > lon2) {  // across 180 degrees
        plon = (lon1 - 360.0f + lon2) / 2.0f;
        if (plon < -180.0f) plon += 360.0f;
    }
    d->plon = plon;
    MAP_domain(d);
    float x1 = 0.0f, y1 = 0.0f, x2 = 0.0f, y2 = 0.0f;
    if (!MAP_tran(lat1, lon1, &x1, &y1) || !MAP_tran(lat2, lon2, &x2, &y2)) return false;
    // The second corner lies nx and ny spacings from the first: the real
    // sectors come out at their nominal resolution only so.
    d->dx = (x2 - x1) / static_cast<float>(d->nx);
    d->dy = (y2 - y1) / static_cast<float>(d->ny);
    MESS_print(kDbg, "Grid size: %3.2fx%3.2f\n", d->dx, d->dy);
    if (!set_centre(d, x1, y1)) return false;
    MESS_print(kDbg, "Grid locate: %3.2f N, %3.2f E\n", d->clat, d->clon);
    return true;
}

// Fills the record's text, date and size from the block. False (with the
// message) for sizes outside 1..10000.
bool read_pdb(const Pdb& p, IMG_report* r) {
    r->source = kFormatAwip;
    r->type = 100 * p.u8(2) + p.u8(4);
    const int yy = p.u8(9);
    satread::set_image_date(r, yy > 79 ? 1900 + yy : 2000 + yy, p.u8(10), p.u8(11), p.u8(12),
                            p.u8(13), p.u8(14));
    std::snprintf(r->info, sizeof(r->info), "%s", describe(p).c_str());
    const int nx = p.u16(17), ny = p.u16(19);
    if (nx < 1 || nx > kMaxSize || ny < 1 || ny > kMaxSize) {
        MESS_print(M_warn, "SAT_read_AWIP: Invalid image parameters\n");
        return false;
    }
    r->width = r->bytes_line = nx;
    r->height = ny;
    r->bits_pixel = r->depth = 8;
    r->domain.nx = nx;
    r->domain.ny = ny;
    MESS_print(kDbg, "Image size: %dx%d\n", nx, ny);
    return true;
}

// The image domain by the block's projection byte; other projections keep
// the cleared domain. False when a corner cannot be projected.
bool grid_domain(const Pdb& p, Domain* d) {
    satread::SavedProjection keep;
    bool ok = true;
    switch (p.u8(16)) {
        case 5: ok = conic_domain(p, false, d); break;
        case 3: ok = conic_domain(p, true, d); break;
        case 1: ok = mercator_domain(p, d); break;
        default: return true;
    }
    if (!ok) {
        MESS_print(M_warn, "SAT_read_AWIP: Grid corner cannot be projected\n");
        return false;
    }
    if (!(d->dx > 0.0f && d->dy > 0.0f && std::isfinite(d->dx) && std::isfinite(d->dy))) {
        MESS_print(M_warn, "SAT_read_AWIP: Invalid grid spacing %g x %g\n", d->dx, d->dy);
        return false;
    }
    fudge(d);
    return true;
}

// A PNG stream in place of the pixels: grey only, rows past the image
// (the trailing record) dropped.
bool decode_png(ByteView stream, IMG_report* r) {
    MESS_print(M_mess, "PNG compressed\n");
    satread::PngStream png(stream);
    if (!png.header()) {
        MESS_print(M_warn, "SAT_read_AWIP: Bad PNG stream: %s\n", png.error().c_str());
        return false;
    }
    MESS_print(M_debug, "%u %u %d - %d %d - %d %d\n", static_cast<unsigned>(png.width()),
               static_cast<unsigned>(png.height()), png.bit_depth(), png.color_type(),
               png.interlace(), png.compression(), png.filter());
    if (png.color_type() != 0) {
        MESS_print(M_warn, "SAT_read_AWIP: PNG stream is not grey (colour type %d)\n",
                   png.color_type());
        return false;
    }
    if (!png.rows(r->data, static_cast<std::size_t>(r->width), static_cast<std::size_t>(r->height))) {
        MESS_print(M_warn, "SAT_read_AWIP: Bad PNG stream: %s\n", png.error().c_str());
        return false;
    }
    return true;
}

// Reads one GINI file that is wholly in `file`.
int read_gini(ByteView file, IMG_report* r) {
    const auto head = wmo_length(file);
    if (!head) {
        MESS_print(M_warn, "SAT_read_AWIP: WMO heading does not end\n");
        return -1;
    }
    ByteView rest = file.subspan(*head);
    const bool packed = satread::is_zlib_header(rest);
    std::vector<std::uint8_t> header;
    std::size_t pdb_at = 0;
    std::string err;
    if (packed) {
        // The first stream holds the heading again and the block.
        header.resize(kHeaderInflate);
        std::size_t used = 0;
        const std::size_t got =
            satread::inflate_streams(rest, header.data(), header.size(), &used, &err, true);
        header.resize(got);
        const auto inner = wmo_length(header);
        pdb_at = inner ? *inner : header.size();
        rest = rest.subspan(used);
        if (header.size() < kPdbBytes || header.size() - pdb_at < kPdbBytes) {
            MESS_print(M_warn, "SAT_read_AWIP: Compressed header too short\n");
            return -1;
        }
    } else if (rest.size() < kPdbBytes) {
        MESS_print(M_warn, "SAT_read_AWIP: File too short for a product definition block\n");
        return -1;
    }
    const Pdb pdb(packed ? ByteView(header).subspan(pdb_at, kPdbBytes) : rest.first(kPdbBytes));
    if (!read_pdb(pdb, r) || !grid_domain(pdb, &r->domain)) return -1;

    Pixels px = satread::new_pixels(r->width, r->height);
    const std::size_t need = static_cast<std::size_t>(r->width) * static_cast<std::size_t>(r->height);
    r->data = px.release();
    if (packed) {
        std::size_t used = 0;
        const std::size_t got = satread::inflate_streams(rest, r->data, need, &used, &err);
        MESS_print(kDbgInflate, "Inf: %zu of %zu bytes from %zu\n", got, need, used);
        if (got == 0) {
            MESS_print(M_warn, "SAT_read_AWIP: No image data%s%s\n", err.empty() ? "" : ": ",
                       err.c_str());
            return -1;
        }
        // A broken stream still shows the lines that arrived.
        if (got < need)
            MESS_print(M_warn, "SAT_read_AWIP: Image data incomplete: %zu of %zu bytes%s%s\n", got,
                       need, err.empty() ? "" : ": ", err.c_str());
        return 0;
    }
    const ByteView body = rest.subspan(kPdbBytes);
    if (body.size() >= 4 && std::memcmp(body.data() + 1, "PNG", 3) == 0)
        return decode_png(body, r) ? 0 : -1;
    if (body.size() < need) {
        MESS_print(M_warn, "SAT_read_AWIP: Image data truncated: %zu of %zu bytes\n", body.size(), need);
        return -1;
    }
    std::memcpy(r->data, body.data(), need);
    return 0;
}

}  // namespace

int SAT_read_AWIP(const char* filename, IMG_report* report) {
    return satread::read_with("SAT_read_AWIP", filename, report, [&](FILE* in) {
        return read_gini(satread::read_rest(in, kFileLimit), report);
    });
}
