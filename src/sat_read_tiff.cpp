// TIFF and GeoTIFF reader. The first image directory is read here for the
// description, the date and the GeoTIFF georeferencing; the pixels come
// through libtiff, so that every layout real files use (strips or tiles,
// no compression, PackBits, LZW, Deflate, ...) reads the same.
//
// Layout (TIFF 6.0; GeoTIFF 1.0): "MM\0*" (big-endian) or "II*\0"
// (little-endian), the offset of the first directory; a directory is a
// 2-byte entry count, 12-byte entries (tag, type, count, value or offset of
// the values) and the offset of the next directory. Tags used here:
//   256/257 width/length   258 bits per sample   259 compression
//   270 description   271/272 make/model   305 software   306 "YYYY:MM:DD HH:MM:SS"
//   33550 pixel scale (Sx, Sy, Sz)   33922 tie points (I, J, K, X, Y, Z)
//   34264 model transformation (4 x 4, row major)
//   34735 GeoKey directory: version, revision, minor, key count, then per
//         key id, location (0: the value itself; 34736: an index into the
//         doubles), count, value   34736 GeoKey doubles
// GeoKeys: 1024 model type (1 projected, 2 geographic), 1025 raster type
// (1 pixel is area, 2 pixel is point), 2048 geographic type, 2057/2058/2059
// ellipsoid semi-major/semi-minor/inverse flattening, 3072 projected CS
// (3857 web Mercator), 3075 coordinate transformation (7 Mercator), 3076
// linear units (9001 metre, 9002 foot), 3078 standard parallel, 3080/3084/
// 3088 origin longitude, 3082/3083 false easting/northing, 3092 scale.
#define ZEM_SAT_READ_INTERNAL
#include "sat_read_priv.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <map>
#include <new>
#include <string>

#include <tiffio.h>

#include "img_tool.h"
#include "maptran.h"
#include "mess.h"

namespace {

using satread::Pixels;

constexpr M_type kDbg = M_debug & M_sub_a;
constexpr long long kMaxPixels = 1LL << 28;
// Bytes of a file read; a picture within the pixel limit fits easily.
constexpr std::size_t kFileLimit = std::size_t{1} << 31;
constexpr int kMaxEntries = 4096;  // directory entries looked at

constexpr double kPi = 3.1415926535898;
constexpr double DTR = kPi / 180.0;
constexpr double RTD = 180.0 / kPi;

// Bytes per value of the TIFF field types (0: unknown type).
int type_size(int type) {
    static constexpr std::array<int, 19> kSize = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8, 4, 0, 0, 8, 8, 8};
    return type >= 0 && type < static_cast<int>(kSize.size()) ? kSize[static_cast<std::size_t>(type)] : 0;
}

const char* type_name(int type) {
    static constexpr std::array<const char*, 13> kName = {
        "?", "BYTE", "ASCII", "SHORT", "LONG", "RATIONAL", "SBYTE",
        "UNDEFINED", "SSHORT", "SLONG", "SRATIONAL", "FLOAT", "DOUBLE"};
    return type > 0 && type < static_cast<int>(kName.size()) ? kName[static_cast<std::size_t>(type)] : "?";
}

// The first image directory, its values reached through bounded views.
class Directory {
public:
    Directory(ByteView file, ByteOrder order) : file_(file), order_(order) {}

    // Reads the entry table. False with a message when it lies past the end.
    bool parse() {
        const auto first = get_u32(file_, 4, order_);
        const auto count = first ? get_u16(file_, *first, order_) : std::nullopt;
        if (!count) {
            MESS_print(M_warn, "SAT_read_TIFF: Directory offset past the end of the file\n");
            return false;
        }
        MESS_print(kDbg, "Num tags: %d\n", *count);
        const int n = std::min<int>(*count, kMaxEntries);
        for (int i = 0; i < n; ++i) {
            const std::size_t at = *first + 2 + 12 * static_cast<std::size_t>(i);
            const auto tag = get_u16(file_, at, order_);
            const auto type = get_u16(file_, at + 2, order_);
            const auto cnt = get_u32(file_, at + 4, order_);
            if (!tag || !type || !cnt || !get_bytes(file_, at + 8, 4)) {
                MESS_print(M_warn, "SAT_read_TIFF: Directory cut short after %d of %d entries\n", i, n);
                return false;
            }
            Entry e{*tag, *type, *cnt, at + 8};
            const auto bytes = static_cast<unsigned long long>(type_size(e.type)) * e.count;
            if (bytes > 4) {
                const auto off = get_u32(file_, at + 8, order_);
                e.pos = *off;
            }
            entries_[e.tag] = e;
            print(e);
        }
        return true;
    }

    bool has(int tag) const { return entries_.count(tag) != 0; }

    // Up to `max` values of a numeric tag as doubles; empty when absent or
    // when its values lie past the end of the file.
    std::vector<double> numbers(int tag, std::size_t max = 65536) const {
        std::vector<double> v;
        const auto it = entries_.find(tag);
        if (it == entries_.end()) return v;
        const Entry& e = it->second;
        const int size = type_size(e.type);
        if (size == 0 || e.type == 2) return v;
        const std::size_t n = std::min<std::size_t>(e.count, max);
        const auto span = get_bytes(file_, e.pos, n * static_cast<std::size_t>(size));
        if (!span) return v;
        for (std::size_t i = 0; i < n; ++i) v.push_back(value(*span, i * static_cast<std::size_t>(size), e.type));
        return v;
    }

    double number(int tag, double fallback) const {
        const auto v = numbers(tag, 1);
        return v.empty() ? fallback : v[0];
    }

    // An ASCII tag up to its first zero, at most `max` characters.
    std::string text(int tag, std::size_t max) const {
        const auto it = entries_.find(tag);
        if (it == entries_.end() || it->second.type != 2) return {};
        const auto span = get_bytes(file_, it->second.pos, std::min<std::size_t>(it->second.count, max));
        if (!span) return {};
        std::string s(span->begin(), span->end());
        return s.substr(0, s.find('\0'));
    }

private:
    struct Entry {
        int tag;
        int type;
        std::uint32_t count;
        std::size_t pos;  // file offset of the values
    };

    double value(ByteView b, std::size_t off, int type) const {
        switch (type) {
            case 1: case 7: return *get_u8(b, off);
            case 6: return static_cast<std::int8_t>(*get_u8(b, off));
            case 3: return *get_u16(b, off, order_);
            case 8: return *get_i16(b, off, order_);
            case 4: return *get_u32(b, off, order_);
            case 9: return *get_i32(b, off, order_);
            case 5: case 10: {
                const double num = type == 5 ? *get_u32(b, off, order_) : *get_i32(b, off, order_);
                const double den = type == 5 ? *get_u32(b, off + 4, order_) : *get_i32(b, off + 4, order_);
                return den != 0.0 ? num / den : 0.0;
            }
            case 11: {
                const std::uint32_t bits = *get_u32(b, off, order_);
                float f = 0.0f;
                std::memcpy(&f, &bits, 4);
                return f;
            }
            case 12: {
                const std::uint64_t hi = *get_u32(b, off, order_), lo = *get_u32(b, off + 4, order_);
                const std::uint64_t bits = order_ == ByteOrder::big ? (hi << 32) | lo : (lo << 32) | hi;
                double d = 0.0;
                std::memcpy(&d, &bits, 8);
                return d;
            }
            default: {
                const std::uint64_t hi = *get_u32(b, off, order_), lo = *get_u32(b, off + 4, order_);
                return static_cast<double>(order_ == ByteOrder::big ? (hi << 32) | lo : (lo << 32) | hi);
            }
        }
    }

    void print(const Entry& e) const {
        if (!MESS_check(kDbg)) return;
        if (e.type == 2) {
            MESS_print(kDbg, "Tag: %d ASCII %u %s\n", e.tag, e.count, text(e.tag, 200).c_str());
            return;
        }
        MESS_print(kDbg, "Tag: %d %s %u:  ", e.tag, type_name(e.type), e.count);
        for (double v : numbers(e.tag, 16)) MESS_print(kDbg, "%g,", v);
        MESS_print(kDbg, "\n");
    }

    ByteView file_;
    ByteOrder order_;
    std::map<int, Entry> entries_;
};

// GeoKeys with their values: a short, or a double from tag 34736.
std::map<int, double> geo_keys(const Directory& dir) {
    std::map<int, double> keys;
    const auto k = dir.numbers(34735);
    const auto doubles = dir.numbers(34736);
    if (k.size() < 4) return keys;
    for (double v : k)  // shorts only; another type is damage
        if (!(v >= 0.0 && v <= 65535.0)) return keys;
    const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(k[3]), (k.size() - 4) / 4);
    for (std::size_t i = 0; i < n; ++i) {
        const int id = static_cast<int>(k[4 + 4 * i]);
        const int loc = static_cast<int>(k[5 + 4 * i]);
        const auto val = static_cast<std::size_t>(k[7 + 4 * i]);
        MESS_print(kDbg, "   %d,%d,%d,%d\n", id, loc, static_cast<int>(k[6 + 4 * i]), static_cast<int>(val));
        if (loc == 0) keys[id] = static_cast<double>(val);
        else if (loc == 34736 && val < doubles.size()) keys[id] = doubles[val];
    }
    return keys;
}

double key(const std::map<int, double>& keys, int id, double fallback) {
    const auto it = keys.find(id);
    return it == keys.end() ? fallback : it->second;
}

// A key holding a code; a value that is no code (a double out of range,
// from a key pointing into the wrong table) counts as absent.
int code(const std::map<int, double>& keys, int id, int fallback) {
    const double v = key(keys, id, fallback);
    return v >= 0.0 && v <= 65535.0 * 65536.0 ? static_cast<int>(v) : fallback;
}

// Raster to model: x = a*u + b*v + c, y = d*u + e*v + f, with (u, v) the
// raster coordinate of a pixel's centre.
struct Affine {
    double a = 0, b = 0, c = 0, d = 0, e = 0, f = 0;
    double x(double u, double v) const { return a * u + b * v + c; }
    double y(double u, double v) const { return d * u + e * v + f; }
};

// The georeferencing of the pixel centres (column i, row j at u = i, v = j).
std::optional<Affine> raster_to_model(const Directory& dir, bool pixel_is_point) {
    Affine t;
    const auto m = dir.numbers(34264, 16);
    const auto tie = dir.numbers(33922, 6);
    const auto scale = dir.numbers(33550, 3);
    if (m.size() >= 8) {
        t = Affine{m[0], m[1], m[3], m[4], m[5], m[7]};
    } else if (tie.size() >= 6 && scale.size() >= 2) {
        t = Affine{scale[0], 0.0, tie[3] - tie[0] * scale[0], 0.0, -scale[1], tie[4] + tie[1] * scale[1]};
    } else {
        return std::nullopt;
    }
    // A pixel that is an area has its centre half a pixel inside its corner.
    if (!pixel_is_point) {
        t.c += 0.5 * (t.a + t.b);
        t.f += 0.5 * (t.d + t.e);
    }
    return t;
}

// Ellipsoidal (or, with e = 0, spherical) Mercator, inverse.
struct Mercator {
    double a = 6378137.0, e = 0.0, k0 = 1.0, lon0 = 0.0, fe = 0.0, fn = 0.0, unit = 1.0;

    double lon(double x) const { return lon0 + RTD * (x * unit - fe) / (a * k0); }
    double lat(double y) const {
        const double t = std::exp(-(y * unit - fn) / (a * k0));
        double phi = kPi / 2 - 2 * std::atan(t);
        for (int i = 0; i < 20 && e > 0.0; ++i) {
            const double es = e * std::sin(phi);
            const double next = kPi / 2 - 2 * std::atan(t * std::pow((1 - es) / (1 + es), e / 2));
            if (std::fabs(next - phi) < 1e-12) break;
            phi = next;
        }
        return RTD * phi;
    }
};

// Longitude of the prime meridian of the geographic system: its own key,
// else the meridian of the EPSG systems that do not count from Greenwich.
double prime_meridian(const std::map<int, double>& keys) {
    if (keys.count(2061)) return key(keys, 2061, 0);
    struct Meridian {
        int gcs;
        double lon;
    };
    static constexpr double kParis = 2.33722917, kJakarta = 106.80771944, kFerro = -17.66666667;
    static constexpr std::array<Meridian, 21> kMeridians = {{
        {4802, -74.08091667}, {4803, -9.13190611}, {4804, kJakarta}, {4805, kFerro}, {4806, 12.45233333},
        {4807, kParis}, {4808, kJakarta}, {4809, 4.367975}, {4810, kParis}, {4811, kParis}, {4813, kJakarta},
        {4814, 18.05827778}, {4815, 23.7163375}, {4816, kParis}, {4817, 10.72291667}, {4818, kFerro},
        {4820, kJakarta}, {4821, kParis}, {4902, kParis}, {4903, -3.68793889}, {4904, -9.13190611},
    }};
    const int gcs = code(keys, 2048, 0);
    for (const Meridian& m : kMeridians)
        if (m.gcs == gcs) return m.lon;
    return 0.0;
}

// The Mercator parameters of the keys, or nullopt for another projection.
std::optional<Mercator> mercator(const std::map<int, double>& keys) {
    Mercator m;
    const int pcs = code(keys, 3072, 0);
    if (pcs == 3857 || pcs == 3785 || pcs == 900913) return m;  // web Mercator: a sphere
    const bool world = pcs == 3395;
    if (!world && code(keys, 3075, 0) != 7) return std::nullopt;
    // Ellipsoid: its own keys, else by the geographic type, else WGS 84.
    double a = key(keys, 2057, 0), b = key(keys, 2058, 0), rf = key(keys, 2059, 0);
    if (a <= 0) {
        const int gcs = code(keys, 2048, 4326);
        a = gcs == 4267 ? 6378206.4 : 6378137.0;
        rf = gcs == 4267 ? 294.9786982 : gcs == 4269 ? 298.257222101 : 298.257223563;
    }
    const double f = b > 0 ? 1 - b / a : rf > 0 ? 1 / rf : 0.0;
    m.a = a;
    m.e = std::sqrt(std::max(0.0, 2 * f - f * f));
    m.lon0 = key(keys, 3080, key(keys, 3088, key(keys, 3084, 0))) + prime_meridian(keys);
    m.fe = key(keys, 3082, key(keys, 3086, 0));
    m.fn = key(keys, 3083, key(keys, 3087, 0));
    m.k0 = key(keys, 3092, 1.0);
    if (keys.count(3078)) {  // two standard parallels: the scale follows
        const double s = std::sin(key(keys, 3078, 0) * DTR);
        m.k0 = std::cos(key(keys, 3078, 0) * DTR) / std::sqrt(1 - m.e * m.e * s * s);
    }
    if (code(keys, 3076, 9001) == 9002) m.unit = 0.3048;
    if (m.a <= 0 || m.k0 <= 0) return std::nullopt;
    return m;
}

// Geographic grid: latitude/longitude (projection 2) straight from the
// pixel centres.
// True when every value is a plausible coordinate for a float field.
bool plausible(std::initializer_list<double> v) {
    return std::all_of(v.begin(), v.end(), [](double x) { return std::fabs(x) < 1e7; });
}

bool geographic_domain(const Affine& t, Domain* d) {
    const double um = (d->nx - 1) / 2.0, vm = (d->ny - 1) / 2.0;
    if (!plausible({t.y(um, vm), t.x(um, vm), t.a, t.e})) return false;
    d->proj = DOM_LATLON;
    d->plat = d->plon = 0.0f;
    d->clat = static_cast<float>(t.y(um, vm));
    d->clon = static_cast<float>(t.x(um, vm));
    d->dx = static_cast<float>(std::fabs(t.a));
    d->dy = static_cast<float>(std::fabs(t.e));
    return true;
}

// Mercator grid on the package's sphere: the outer edges of the image are
// placed exactly and the spacing follows from them (exact for spherical
// Mercator, within the ellipsoid's curvature over the image otherwise).
bool mercator_domain(const Affine& t, const Mercator& m, Domain* d) {
    const double um = (d->nx - 1) / 2.0, vm = (d->ny - 1) / 2.0;
    d->proj = DOM_MERC;
    d->plat = 0.0f;
    d->plon = static_cast<float>(m.lon0);
    d->ellipse = 1;
    MAP_domain(d);
    const double lat_top = m.lat(t.y(um, -0.5)), lat_bot = m.lat(t.y(um, d->ny - 0.5));
    const double lon_left = m.lon(t.x(-0.5, vm)), lon_right = m.lon(t.x(d->nx - 0.5, vm));
    if (!plausible({lat_top, lat_bot, lon_left, lon_right, m.lon(t.x(um, vm)), m.lon0})) return false;
    float x = 0, yt = 0, yb = 0;
    if (!MAP_tran(static_cast<float>(lat_top), d->plon, &x, &yt) ||
        !MAP_tran(static_cast<float>(lat_bot), d->plon, &x, &yb))
        return false;
    // Longitudes straight, so that a grid across 180 degrees keeps its width.
    const double width = (lon_right - lon_left) * DTR * 63.7122;
    d->dx = static_cast<float>(std::fabs(width) / d->nx);
    d->dy = static_cast<float>(std::fabs(yt - yb) / d->ny);
    float lat = 0, lon = 0;
    if (!MAP_untran(0.0f, (yt + yb) / 2.0f, &lat, &lon)) return false;
    d->clat = lat;
    d->clon = static_cast<float>(m.lon(t.x(um, vm)));
    MESS_print(kDbg, "Center: %.2f %.2f\n", d->clat, d->clon);
    return true;
}

// The image domain from the GeoKeys; a georeferencing this reader does not
// know leaves the cleared domain, with a message.
void georeference(const Directory& dir, IMG_report* r) {
    if (!dir.has(34735)) return;
    const auto keys = geo_keys(dir);
    const auto t = raster_to_model(dir, code(keys, 1025, 1) == 2);
    Domain d = r->domain;
    d.nx = r->width;
    d.ny = r->height;
    const int model = code(keys, 1024, 0);
    const int proj = model == 2 ? 2 : code(keys, 3075, 0);
    MESS_print(kDbg, "Proj: %d\n", proj);
    if (!t || t->b != 0.0 || t->d != 0.0) {
        MESS_print(M_warn, "SAT_read_TIFF: No usable georeferencing (tie point and scale, or transformation without rotation)\n");
        return;
    }
    satread::SavedProjection keep;
    bool ok = false;
    if (model == 2) {
        ok = geographic_domain(*t, &d);
        d.clon += static_cast<float>(prime_meridian(keys));
    } else if (const auto m = mercator(keys)) {
        ok = mercator_domain(*t, *m, &d);
    } else {
        MESS_print(M_warn, "SAT_read_TIFF: GeoTIFF projection %d not supported: no map domain\n", proj);
        return;
    }
    ok = ok && d.dx > 0.0f && d.dy > 0.0f && std::isfinite(d.dx) && std::isfinite(d.dy) && std::isfinite(d.clat) &&
         std::isfinite(d.clon);
    if (ok) r->domain = d;
    else MESS_print(M_warn, "SAT_read_TIFF: Georeferencing cannot be projected: no map domain\n");
}

// ---- Pixels through libtiff ----------------------------------------------------

struct MemFile {
    ByteView data;
    toff_t pos = 0;
    std::string err;
};

tmsize_t mem_read(thandle_t h, void* buf, tmsize_t n) {
    auto* m = static_cast<MemFile*>(h);
    if (n < 0 || m->pos >= m->data.size()) return 0;
    const std::size_t k = std::min<std::size_t>(static_cast<std::size_t>(n), m->data.size() - m->pos);
    std::memcpy(buf, m->data.data() + m->pos, k);
    m->pos += k;
    return static_cast<tmsize_t>(k);
}
tmsize_t mem_write(thandle_t, void*, tmsize_t) { return 0; }
toff_t mem_seek(thandle_t h, toff_t off, int whence) {
    auto* m = static_cast<MemFile*>(h);
    const toff_t base = whence == SEEK_CUR ? m->pos : whence == SEEK_END ? m->data.size() : 0;
    m->pos = base + off;
    return m->pos;
}
int mem_close(thandle_t) { return 0; }
toff_t mem_size(thandle_t h) { return static_cast<MemFile*>(h)->data.size(); }
int mem_map(thandle_t h, void** base, toff_t* size) {
    auto* m = static_cast<MemFile*>(h);
    *base = const_cast<std::uint8_t*>(m->data.data());
    *size = m->data.size();
    return 1;
}
void mem_unmap(thandle_t, void*, toff_t) {}

int tiff_error(TIFF*, void* user, const char* module, const char* fmt, va_list ap) {
    auto* m = static_cast<MemFile*>(user);
    char buf[256];
    std::vsnprintf(buf, sizeof buf, fmt, ap);
    if (m->err.empty()) m->err = std::string(module ? module : "libtiff") + ": " + buf;
    return 1;
}
int tiff_warning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

struct TiffCloser {
    void operator()(TIFF* t) const { TIFFClose(t); }
};

// Copies one decoded block (rows of `bw` samples) into the picture, clipped
// at its edges; 16-bit samples keep their high byte.
void place(const std::vector<std::uint8_t>& blk, int bits, std::uint32_t bw, std::uint32_t rows,
           std::uint32_t x0, std::uint32_t y0, std::uint32_t w, std::uint32_t h, unsigned char* out) {
    const std::size_t bps = bits / 8;
    for (std::uint32_t r = 0; r < rows && y0 + r < h; ++r) {
        const std::uint8_t* src = blk.data() + (std::size_t{r} * bw) * bps;
        unsigned char* dst = out + std::size_t{y0 + r} * w + x0;
        const std::uint32_t n = std::min(bw, w - x0);
        if (bps == 1) {
            std::memcpy(dst, src, n);
        } else {
            for (std::uint32_t c = 0; c < n; ++c) {
                std::uint16_t v = 0;
                std::memcpy(&v, src + 2 * c, 2);
                dst[c] = static_cast<unsigned char>(v >> 8);
            }
        }
    }
}

// Decodes every strip or tile into `out` (w x h). False with the reason.
bool decode_blocks(TIFF* t, int bits, std::uint32_t w, std::uint32_t h, unsigned char* out) {
    if (TIFFIsTiled(t)) {
        std::uint32_t tw = 0, th = 0;
        TIFFGetField(t, TIFFTAG_TILEWIDTH, &tw);
        TIFFGetField(t, TIFFTAG_TILELENGTH, &th);
        const tmsize_t size = TIFFTileSize(t);
        if (tw == 0 || th == 0 || size <= 0 || static_cast<std::uint64_t>(size) < std::uint64_t{tw} * th * (bits / 8))
            return false;
        std::vector<std::uint8_t> blk(static_cast<std::size_t>(size));
        for (std::uint32_t y = 0; y < h; y += th)
            for (std::uint32_t x = 0; x < w; x += tw) {
                if (TIFFReadTile(t, blk.data(), x, y, 0, 0) < 0) return false;
                place(blk, bits, tw, th, x, y, w, h, out);
            }
        return true;
    }
    std::uint32_t rps = h;
    TIFFGetFieldDefaulted(t, TIFFTAG_ROWSPERSTRIP, &rps);
    rps = std::clamp<std::uint32_t>(rps, 1, h);
    const tmsize_t size = TIFFStripSize(t);
    if (size <= 0 || static_cast<std::uint64_t>(size) < std::uint64_t{w} * rps * (bits / 8)) return false;
    std::vector<std::uint8_t> blk(static_cast<std::size_t>(size));
    for (std::uint32_t y = 0; y < h; y += rps) {
        if (TIFFReadEncodedStrip(t, TIFFComputeStrip(t, y, 0), blk.data(), -1) < 0) return false;
        place(blk, bits, w, rps, 0, y, w, h, out);
    }
    return true;
}

// Reads the pixels of the first image into a new w x h buffer.
Pixels read_pixels(ByteView file, const char* name, IMG_report* r) {
    MemFile mem;
    mem.data = file;
    TIFFOpenOptions* opts = TIFFOpenOptionsAlloc();
    if (!opts) throw std::bad_alloc();
    TIFFOpenOptionsSetErrorHandlerExtR(opts, tiff_error, &mem);
    TIFFOpenOptionsSetWarningHandlerExtR(opts, tiff_warning, &mem);
    TIFFOpenOptionsSetMaxSingleMemAlloc(opts, static_cast<tmsize_t>(kMaxPixels * 2));
    std::unique_ptr<TIFF, TiffCloser> t(TIFFClientOpenExt(name, "r", &mem, mem_read, mem_write, mem_seek,
                                                          mem_close, mem_size, mem_map, mem_unmap, opts));
    TIFFOpenOptionsFree(opts);
    if (!t) {
        MESS_print(M_warn, "SAT_read_TIFF: %s\n", mem.err.empty() ? "cannot read the directory" : mem.err.c_str());
        return nullptr;
    }
    std::uint32_t w = 0, h = 0;
    std::uint16_t bits = 1, spp = 1, fmt = SAMPLEFORMAT_UINT, comp = COMPRESSION_NONE, photo = PHOTOMETRIC_MINISBLACK;
    TIFFGetField(t.get(), TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(t.get(), TIFFTAG_IMAGELENGTH, &h);
    TIFFGetFieldDefaulted(t.get(), TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(t.get(), TIFFTAG_SAMPLESPERPIXEL, &spp);
    TIFFGetFieldDefaulted(t.get(), TIFFTAG_SAMPLEFORMAT, &fmt);
    TIFFGetFieldDefaulted(t.get(), TIFFTAG_COMPRESSION, &comp);
    TIFFGetField(t.get(), TIFFTAG_PHOTOMETRIC, &photo);
    MESS_print(kDbg, "compress %d\n", comp);
    const char* why = nullptr;
    if (spp != 1) why = "only single-band images are read";
    else if (bits != 8 && bits != 16) why = "only 8- and 16-bit samples are read";
    else if (fmt != SAMPLEFORMAT_UINT && fmt != SAMPLEFORMAT_INT && fmt != SAMPLEFORMAT_VOID)
        why = "only integer samples are read";
    else if (!TIFFIsCODECConfigured(comp)) why = "this compression cannot be decoded";
    if (why) {
        MESS_print(M_warn, "SAT_read_TIFF: %u x %u, %d samples of %d bits, compression %d: %s\n", w, h, spp,
                   bits, comp, why);
        return nullptr;
    }
    Pixels px = satread::new_pixels(w, h, kMaxPixels);
    if (!px) {
        MESS_print(M_warn, "SAT_read_TIFF: Invalid image size %u x %u\n", w, h);
        return nullptr;
    }
    if (!decode_blocks(t.get(), bits, w, h, px.get())) {
        MESS_print(M_warn, "SAT_read_TIFF: Pixels cannot be decoded: %s\n",
                   mem.err.empty() ? "bad strip or tile layout" : mem.err.c_str());
        return nullptr;
    }
    if (photo == PHOTOMETRIC_MINISWHITE)
        for (std::size_t i = 0, n = std::size_t{w} * h; i < n; ++i) px.get()[i] = static_cast<unsigned char>(255 - px.get()[i]);
    r->width = static_cast<int>(w);
    r->height = static_cast<int>(h);
    return px;
}

// Description: make and model, else the image description, else the
// software that wrote the file.
std::string describe(const Directory& dir) {
    std::string info = dir.text(271, 29);
    const std::string model = dir.text(272, 29);
    if (!model.empty()) info += (info.empty() ? "" : " ") + model;
    if (info.empty()) info = dir.text(270, 74);
    if (info.empty()) info = dir.text(305, 74);
    return info;
}

int read_tiff(ByteView file, const char* name, IMG_report* r) {
    r->source = kFormatTiff;
    ByteOrder order;
    if (file.size() >= 4 && std::memcmp(file.data(), "MM\0*", 4) == 0) {
        order = ByteOrder::big;
        MESS_print(kDbg, "TIFF big endian\n");
    } else if (file.size() >= 4 && std::memcmp(file.data(), "II*\0", 4) == 0) {
        order = ByteOrder::little;
        MESS_print(kDbg, "TIFF little endian\n");
    } else {
        MESS_print(M_warn, "Not a TIFF file\n");
        return -1;
    }
    Directory dir(file, order);
    if (!dir.parse()) return -1;
    Pixels px = read_pixels(file, name, r);
    if (!px) return -1;
    std::snprintf(r->info, sizeof(r->info), "%s", describe(dir).c_str());
    int f[6];
    if (std::sscanf(dir.text(306, 49).c_str(), "%4d:%2d:%2d %2d:%2d:%2d", &f[0], &f[1], &f[2], &f[3], &f[4], &f[5]) == 6)
        satread::set_image_date(r, f[0], f[1], f[2], f[3], f[4], f[5]);
    MESS_print(kDbg, "Height: %d\nWidth: %d\n", r->height, r->width);
    satread::give_pixels(r, std::move(px), r->width, r->height);
    georeference(dir, r);
    return 0;
}

}  // namespace

int SAT_read_TIFF(const char* filename, IMG_report* report) {
    return satread::read_with("SAT_read_TIFF", filename, report, [&](FILE* in) {
        return read_tiff(satread::read_rest(in, kFileLimit), filename, report);
    });
}
