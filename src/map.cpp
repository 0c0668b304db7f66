// Map backgrounds: the map list (outlines from map database files, image,
// metafile and raw-data layers, latitude/longitude grids) drawn under and
// over a satellite image, and the reading of map database files.
#define ZEM_MAP_INTERNAL
#include "map.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "colors.h"
#include "files.h"
#include "flag.h"
#include "gks_fill.h"
#include "gks_img.h"
#include "gks_line.h"
#include "gks_meta.h"
#include "gks_tool.h"
#include "gks_tran.h"
#include "map_priv.h"
#include "mess.h"
#include "plt_tool.h"
#include "raw_plot.h"
#include "resrc.h"
#include "string.h"
#include "tools.h"

namespace {

constexpr Gint kMapTran = 2;          // normalisation transform of the map panel
constexpr M_type kReport = 0x100000;  // which layers were drawn (off by default)
constexpr float kJump = 20.0f;        // x jump taken as a wrap-around crossing
constexpr float kDefaultBlockSize = 1000.0f;

// Box and size of the default North American map.
constexpr float kNaLat0 = 25.0f, kNaLat1 = 80.0f, kNaLon0 = -160.0f, kNaLon1 = -65.0f;
constexpr float kNaMaxSize = 75.0f;

struct MapBgState {
    std::string list;    // map list set by MAP_file
    std::string format;  // default attribute string of map files
    float latln = 0.0f;  // grid spacings in degrees, 0 = no grid
    float lonln = 0.0f;
    int dot = 0;
    int extra = 0;
    int fill_cont = 0;
    int over = 0;       // pass mask of the MAP_draw in progress
    int reg_found = 1;  // region blocks: 1 open, 2 matched, 0 not matched, -1 closed
    bool fill = false;  // the file being drawn is filled
};

MapBgState g_bg;

bool earth_proj(int proj) { return proj >= 1 && proj <= 9; }

// Names a layer on the plot's message line and, for diagnostics, in the
// messages.
void report(const char* what, const char* name) {
    PLT_mess(what, name);
    const std::string line = std::string(what) + "\n";
    MESS_print(kReport, line.c_str(), name);
}

// Splits a map list at commas, keeping region headers such as
// "[20,55,-130,-60,30]" whole.
std::vector<std::string> split_list(const std::string& list) {
    std::vector<std::string> out;
    std::string cur;
    int depth = 0;
    for (char c : list) {
        if (c == '[') ++depth;
        if (c == ']' && depth > 0) --depth;
        if (c == ',' && depth == 0) {
            out.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    out.push_back(cur);
    return out;
}

// Region block header "[lat1,lat2,lon1,lon2[,size]": updates the block
// state (see MAP_process).
void region_header(const char* text) {
    if (g_bg.reg_found == 2) {
        g_bg.reg_found = -1;
        return;
    }
    float v[5] = {0.0f, 0.0f, 0.0f, 0.0f, kDefaultBlockSize};
    const int n = std::sscanf(text + 1, "%f,%f,%f,%f,%f", &v[0], &v[1], &v[2], &v[3], &v[4]);
    bool match = n < 4;
    if (!match) {
        const float lat = MAP_get_clat(), lon = MAP_get_clon();
        match = lat >= std::min(v[0], v[1]) && lat <= std::max(v[0], v[1]) &&
                lon >= std::min(v[2], v[3]) && lon <= std::max(v[2], v[3]) && MAP_get_vert() <= v[4];
    }
    if (match)
        g_bg.reg_found = 2;
    else if (g_bg.reg_found == 1)
        g_bg.reg_found = 0;
}

// Reads the number at p into v: the position after it, or null.
const char* read_number(const char* p, float* v) {
    char* end = nullptr;
    *v = std::strtof(p, &end);
    return end == p ? nullptr : end;
}

// One size condition "pre F:" (or "pre F op G:") at p. Absent: true and p
// stays; present: p moves past it and the result says whether the map size
// passes (at least F, and at most G, for `at_least`; the reverse otherwise).
bool condition(const char*& p, const char* pre, char op, bool at_least) {
    const std::size_t n = std::strlen(pre);
    if (std::strncmp(p, pre, n) != 0) return true;
    float f = 0.0f, g = 0.0f;
    const char* q = read_number(p + n, &f);
    if (q == nullptr) return true;
    const bool has_g = op != '\0' && *q == op;
    if (has_g && (q = read_number(q + 1, &g)) == nullptr) return true;
    if (*q != ':') return true;
    p = q + 1;
    const float size = MAP_get_vert();
    bool ok = at_least ? size >= f : size <= f;
    if (has_g) ok = ok && (at_least ? size <= g : size >= g);
    return ok;
}

// Size conditions in front of an entry, in their fixed order; false when
// one fails.
bool size_conditions(const char*& p) {
    return condition(p, "s+", '\0', true) && condition(p, ">", '<', true) &&
           condition(p, "s-", '\0', false) && condition(p, "<", '>', false) &&
           condition(p, "s+", '\0', true) && condition(p, ">", '\0', true);
}

// Attributes of the latitude/longitude grid: style 4 preset, then `str`
// when given, else "color_line" over the default.
Gattribs grid_attribs(const char* str) {
    Gattribs a;
    ATTRIB_init(&a);
    a.style = 4;
    if (str != nullptr && *str != '\0')
        ATTRIB_parse(str, &a);
    else
        ATTRIB_get("color_line", earth_proj(MAP_get_proj()) ? "magenta:s4" : "red", &a);
    return a;
}

// Draws a latitude/longitude grid with `attr` (grid labels sized to the map).
void draw_grid(Gattribs attr, float dlat, float dlon) {
    if (attr.color == -1) return;
    attr.height = (earth_proj(MAP_get_proj()) ? 0.018f : 0.015f) * MAP_get_vert();
    GPH_line_attr(&attr);
    GPH_text_attr(&attr, 1.0f);
    MAP_lines(dlat, dlon);
    GPH_line_attr(nullptr);
}

// "lalo" followed by one separator, then dlat[:dlon[:attributes]].
int lalo_layer(const char* p) {
    float dlat = 5.0f, dlon = 5.0f;
    const char* attr = nullptr;
    const char* q = *p != '\0' ? read_number(p + 1, &dlat) : nullptr;
    if (q == nullptr) {
        dlat = dlon = 5.0f;
    } else {
        dlon = dlat;
        if (*q == ':') {
            const char* r = read_number(q + 1, &dlon);
            if (r == nullptr) r = q;  // no second spacing: the rest is the attribute string
            if (*r == ':') attr = r + 1;
        }
    }
    PLT_mess("Map-lalo: %.1f,%.1f", dlat, dlon);
    MESS_print(kReport, "Map-lalo: %.1f,%.1f\n", dlat, dlon);
    draw_grid(grid_attribs(attr), dlat, dlon);
    return 0;
}

// "im:file[:colour[:x:y]]" (or "::x:y"): an image overlaid on the map;
// `normalised` draws it in the whole drawing area's coordinates.
int image_layer(const char* p, bool normalised) {
    std::vector<std::string> f;
    std::string cur;
    for (const char* c = p; *c; ++c) {
        if (*c == ':') {
            f.push_back(cur);
            cur.clear();
        } else {
            cur += *c;
        }
    }
    f.push_back(cur);
    if (f[0].empty()) return -1;
    int x = 0, y = 0;
    if (f.size() >= 4) {
        x = std::atoi(f[2].c_str());
        y = std::atoi(f[3].c_str());
    }
    char path[FILE_NAME_LEN] = {};
    FILE_add_path(RES_get("image_path"), f[0].c_str(), path);
    report("Map-image: %s", path);
    const char* colour = f.size() >= 2 && !f[1].empty() ? f[1].c_str() : nullptr;
    if (normalised) GPH_trans(1);
    const int r = goverlay_image_file(path, colour, x, y);
    if (normalised) GPH_trans(kMapTran);
    return r < 0 ? -1 : 0;
}

// A map database file with an optional attribute string behind ':'.
int file_layer(const char* p) {
    const char* colon = std::strchr(p, ':');
    const std::string name = colon ? std::string(p, colon) : std::string(p);
    if (name.empty()) return -1;
    Gattribs a;
    ATTRIB_init(&a);
    if (!g_bg.format.empty())
        ATTRIB_parse(g_bg.format.c_str(), &a);
    else if (g_bg.fill_cont)
        ATTRIB_get("color_cmap", "black", &a);
    else
        ATTRIB_get("color_map", "red", &a);
    if (colon != nullptr) ATTRIB_parse(colon + 1, &a);

    const std::string path = FILE_with_file_path(name.c_str());
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> fp(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!fp) {
        MESS_print(M_warn, "MAP_process: Map file not found: %s\n", path.c_str());
        return -1;
    }
    report("Map: %s", path.c_str());
    if (a.color == -1) return 0;
    g_bg.fill = !is_missing(a.fill_pat);
    GPH_line_attr(&a);
    if (g_bg.fill) GPH_fill_attr(&a);
    MAP_map(fp.get());
    g_bg.fill = false;
    GPH_line_attr(nullptr);
    return 0;
}

// The list's entries in order; "fi:" entries name a map list file whose
// words are entries.
void draw_list(const std::string& list) {
    for (const std::string& e : split_list(list)) {
        if (strnicmp(e.c_str(), "fi:", 3) != 0) {
            MAP_process(e.c_str());
            continue;
        }
        const std::string path = FILE_with_file_path(e.c_str() + 3);
        std::unique_ptr<std::FILE, int (*)(std::FILE*)> fp(std::fopen(path.c_str(), "r"), std::fclose);
        if (!fp) {
            MESS_print(M_warn, "MAP_draw: Unable to open map list file: %s\n", path.c_str());
            continue;
        }
        std::string word;
        for (int c = std::fgetc(fp.get());; c = std::fgetc(fp.get())) {
            if (c == EOF || std::isspace(c)) {
                if (!word.empty()) MAP_process(word.c_str());
                word.clear();
                if (c == EOF) break;
            } else if (word.size() < 4096) {
                word += static_cast<char>(c);
            }
        }
    }
}

// ---- Map database files ------------------------------------------------------
//
// A record is a header and its points; a record with 0 points ends the file.
//   text:   "count b1 b2 b3 b4 offset" then "lat lon" per point
//   binary: count u16, four f32 bounds, i32 offset (22 bytes, big-endian),
//           then lat, lon as f32 per point
// The bounds and offset are not used for drawing.

constexpr std::size_t kBinHeader = 22;

float be_float(const std::uint8_t* b) {
    const std::uint32_t u = (std::uint32_t{b[0]} << 24) | (std::uint32_t{b[1]} << 16) |
                            (std::uint32_t{b[2]} << 8) | std::uint32_t{b[3]};
    float f;
    std::memcpy(&f, &u, sizeof f);
    return f;
}

bool plausible(float lat, float lon) {
    return std::isfinite(lat) && std::isfinite(lon) && std::fabs(lat) <= 90.0f && std::fabs(lon) <= 720.0f;
}

class MapReader {
public:
    explicit MapReader(std::FILE* fp) : fp_(fp) {}

    // Point count of the next record; 0 at the closing record, -1 at the
    // end of the file, -2 for a header that cannot be read.
    int header() {
        if (first_) {
            first_ = false;
            const long pos = std::ftell(fp_);
            short n = 0;
            float b[4];
            long off = 0;
            if (std::fscanf(fp_, "%hd %f %f %f %f %ld", &n, &b[0], &b[1], &b[2], &b[3], &off) == 6)
                return n >= 0 ? n : -2;
            if (pos < 0 || std::fseek(fp_, pos, SEEK_SET) != 0) return -2;
            binary_ = true;
        }
        if (binary_) {
            std::array<std::uint8_t, kBinHeader> h{};
            const std::size_t got = std::fread(h.data(), 1, h.size(), fp_);
            if (got == 0) return -1;
            if (got < h.size()) return -2;
            return (h[0] << 8) | h[1];
        }
        short n = 0;
        float b[4];
        long off = 0;
        const int k = std::fscanf(fp_, "%hd %f %f %f %f %ld", &n, &b[0], &b[1], &b[2], &b[3], &off);
        if (k == EOF) return -1;
        return k == 6 && n >= 0 ? n : -2;
    }

    // The record's `n` points into lat/lon; the number read.
    int points(int n, std::vector<float>& lat, std::vector<float>& lon) {
        lat.resize(static_cast<std::size_t>(n));
        lon.resize(static_cast<std::size_t>(n));
        if (binary_) {
            buf_.resize(static_cast<std::size_t>(n) * 8);
            const std::size_t got = std::fread(buf_.data(), 8, static_cast<std::size_t>(n), fp_);
            for (std::size_t i = 0; i < got; ++i) {
                lat[i] = be_float(&buf_[i * 8]);
                lon[i] = be_float(&buf_[i * 8 + 4]);
            }
            return static_cast<int>(got);
        }
        for (int i = 0; i < n; ++i) {
            const auto k = static_cast<std::size_t>(i);
            if (std::fscanf(fp_, "%f %f", &lat[k], &lon[k]) != 2) return i;
        }
        return n;
    }

private:
    std::FILE* fp_;
    bool first_ = true;
    bool binary_ = false;
    std::vector<std::uint8_t> buf_;
};

// Draws one record's points, breaking the line at invisible points and at
// the wrap-around edge.
void draw_record(mapbg::Pen& pen, int proj, const std::vector<float>& lat, const std::vector<float>& lon,
                 int n) {
    bool have = false;
    float px = 0.0f;
    for (int i = 0; i < n; ++i) {
        const auto k = static_cast<std::size_t>(i);
        float x = 0.0f, y = 0.0f;
        if (!plausible(lat[k], lon[k]) || MAP_tran(lat[k], lon[k], &x, &y) != 1) {
            pen.flush();
            have = false;
            continue;
        }
        if (!have) {
            pen.move(x, y);
        } else if (std::fabs(x - px) > kJump) {
            const float period = mapbg::wrap_period(proj, y);
            if (period > 0.0f) {
                pen.draw(x + (px > x ? period : -period), y);
                pen.move(x, y);
            } else if (proj == 4) {
                pen.move(x, y);  // across the cut of the cone: no line across the map
            } else {
                pen.draw(x, y);
            }
        } else {
            pen.draw(x, y);
        }
        have = true;
        px = x;
    }
    pen.flush();
}

// Reads the records of a map file and draws them with `pen`: 0 at the
// closing record, -1 at the end of the file without one or when a damaged
// record stops the reading (which sets `damaged` and warns).
int read_map(std::FILE* fp, mapbg::Pen& pen, int proj, bool& damaged) {
    MapReader in(fp);
    std::vector<float> lat, lon;
    damaged = true;
    for (int rec = 0;; ++rec) {
        const int n = in.header();
        if (n == 0 || n == -1) {
            damaged = false;
            return n;
        }
        if (n < 0) {
            MESS_print(M_warn, "MAP_map: unreadable record header after %d records\n", rec);
            return -1;
        }
        const int got = in.points(n, lat, lon);
        draw_record(pen, proj, lat, lon, got);
        if (got < n) {
            MESS_print(M_warn, "MAP_map: record %d ends after %d of its %d points\n", rec + 1, got, n);
            return -1;
        }
    }
}

// ---- Lines of the last frames ------------------------------------------------
// The frames of a loop draw the same map files onto the same map: the
// projected and clipped lines of each file are kept with everything they
// depend on (the bytes read, the projection, the map window, lines or
// areas) and drawn again from there; any difference reads the file afresh.
// The bytes themselves are compared, not the file's size and time, which a
// rewrite within one clock tick can leave the same; reading them costs
// little next to projecting every point. Only files read to their end
// without a fault are kept, so that a damaged file warns at every frame.

struct LinesKey {
    std::string bytes;  // of the file, from where its reading starts
    Domain domain{};
    Glim window{};
    bool fill = false;

    bool operator==(const LinesKey& o) const {
        const Glim& w = o.window;
        const bool same_window = window.x_min == w.x_min && window.x_max == w.x_max && window.y_min == w.y_min &&
                                 window.y_max == w.y_max;
        return DOM_identical(&domain, &o.domain) && same_window && fill == o.fill && bytes == o.bytes;
    }
};

struct KeptLines {
    LinesKey key;
    mapbg::Lines lines;
    int status = 0;  // what MAP_map returned
};

// Map files whose lines are kept at once (the oldest goes first), and the
// largest file kept.
constexpr std::size_t kKeptFiles = 16;
constexpr std::size_t kMaxKeptBytes = std::size_t{32} << 20;
std::vector<KeptLines> g_kept;
bool g_lines_on = true;
long g_lines_hits = 0;

// The key of drawing `fp` now, leaving the stream where it was; none for a
// stream that cannot be read again (a pipe) or a file too large to keep.
std::optional<LinesKey> lines_key(std::FILE* fp, const Glim& window, bool fill) {
    const long start = std::ftell(fp);
    if (start < 0) return std::nullopt;
    LinesKey k;
    std::array<char, 65536> buf{};
    bool fits = true;
    for (std::size_t n; fits && (n = std::fread(buf.data(), 1, buf.size(), fp)) > 0;) {
        fits = k.bytes.size() + n <= kMaxKeptBytes;
        if (fits) k.bytes.append(buf.data(), n);
    }
    std::clearerr(fp);
    if (std::fseek(fp, start, SEEK_SET) != 0 || !fits) return std::nullopt;
    MAP_get_domain(&k.domain);
    k.window = window;
    k.fill = fill;
    return k;
}

// Hands kept primitives to the kernel as the pen first did.
void draw_lines(const mapbg::Lines& lines, bool fill) {
    const Gpt* p = lines.pts.data();
    for (const int n : lines.sizes) {
        if (fill)
            gfill_area(n, p);
        else
            gpolyline(n, p);
        p += n;
    }
}

}  // namespace

namespace mapbg {

float wrap_period(int proj, float y) {
    switch (proj) {
    case 2:
        return 360.0f;
    case 3:
        return 400.31555f;
    case 7: {
        const float r = y / 63.713f;
        return r < 1.0f ? 254.852f * std::sqrt(1.0f - r * r) : 0.0f;
    }
    default:
        return 0.0f;
    }
}

Pen::Pen(const Glim& w, bool fill) : fill_(fill) {
    const float wx = std::fabs(w.x_max - w.x_min), wy = std::fabs(w.y_max - w.y_min);
    x0_ = std::min(w.x_min, w.x_max) - wx;
    x1_ = std::max(w.x_min, w.x_max) + wx;
    y0_ = std::min(w.y_min, w.y_max) - wy;
    y1_ = std::max(w.y_min, w.y_max) + wy;
}

void Pen::move(float x, float y) {
    flush();
    last_ = {x, y};
    have_last_ = true;
    if (fill_) pts_.push_back(last_);
}

void Pen::draw(float x, float y) {
    if (!have_last_) {
        move(x, y);
        return;
    }
    Gpt a = last_, b{x, y};
    last_ = b;
    if (fill_) {
        pts_.push_back(b);
        return;
    }
    if (!clip(a, b)) {
        flush();
        have_last_ = true;
        return;
    }
    if (pts_.empty() || pts_.back().x != a.x || pts_.back().y != a.y) {
        flush();
        have_last_ = true;
        pts_.push_back(a);
    }
    pts_.push_back(b);
}

void Pen::flush() {
    if (pts_.size() >= 2) {
        const auto n = static_cast<Gint>(pts_.size());
        if (rec_ != nullptr) {
            rec_->pts.insert(rec_->pts.end(), pts_.begin(), pts_.end());
            rec_->sizes.push_back(n);
        }
        if ((fill_ ? gfill_area(n, pts_.data()) : gpolyline(n, pts_.data())) > 0) ++drawn_;
    }
    pts_.clear();
    have_last_ = false;
}

// Liang-Barsky clipping of the segment a-b to the clip box; false when
// nothing of it is inside.
bool Pen::clip(Gpt& a, Gpt& b) const {
    const float dx = b.x - a.x, dy = b.y - a.y;
    float t0 = 0.0f, t1 = 1.0f;
    const float p[4] = {-dx, dx, -dy, dy};
    const float q[4] = {a.x - x0_, x1_ - a.x, a.y - y0_, y1_ - a.y};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0.0f) {
            if (q[i] < 0.0f) return false;
            continue;
        }
        const float t = q[i] / p[i];
        if (p[i] < 0.0f)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        if (t0 > t1) return false;
    }
    const Gpt a0 = a;
    if (t1 < 1.0f) b = {a0.x + t1 * dx, a0.y + t1 * dy};
    if (t0 > 0.0f) a = {a0.x + t0 * dx, a0.y + t0 * dy};
    return true;
}

}  // namespace mapbg

int MAP_setup(const Domain* domain) {
    if (MAP_domain(domain) != 0) return -1;
    MAP_limits lim{};
    MAP_get_limits(&lim);
    const Glim win{lim.x_min, lim.x_max, lim.y_min, lim.y_max};
    gset_win(kMapTran, &win);
    gsel_norm_tran(kMapTran);
    return 0;
}

int MAP_draw(int pass) {
    if (!FLAG_getplot(PLOT_MAP)) return 0;
    g_bg.over = pass;
    GPH_trans(kMapTran);
    GPH_line_attr(nullptr);
    GPH_text_font(nullptr);

    std::string list;
    if (const char* res = RES_get("map_file"); res != nullptr && *res != '\0') {
        list = res;
    } else if (!g_bg.list.empty()) {
        list = g_bg.list;
    } else {
        const float lat = MAP_get_clat(), lon = MAP_get_clon();
        const bool na = lat > kNaLat0 && lat < kNaLat1 && lon > kNaLon0 && lon < kNaLon1 &&
                        MAP_get_vert() < kNaMaxSize;
        list = na ? "zem.map" : "cont.map,country.map";
    }
    g_bg.reg_found = 1;
    try {
        draw_list(list);
    } catch (const std::bad_alloc&) {
        MESS_print(M_error, "MAP_draw: out of memory\n");
    }
    if (g_bg.latln > 0.0f) draw_grid(grid_attribs(nullptr), g_bg.latln, g_bg.lonln);
    return 0;
}

int MAP_process(const char* entry) {
    if (entry == nullptr || *entry == '\0') return -1;
    const char* p = entry;
    const int bit = *p == '-' ? 1 : *p == '+' ? 2 : 4;
    if (bit != 4) ++p;
    if (!(g_bg.over & bit)) return -1;
    if (*p == '[') {
        region_header(p);
        return -1;
    }
    if (g_bg.reg_found != 1 && g_bg.reg_found != 2) return -1;
    if (!size_conditions(p) || *p == '\0') return -1;
    try {
        if (strnicmp(p, "im:", 3) == 0) return image_layer(p + 3, false);
        if (strnicmp(p, "if:", 3) == 0) return image_layer(p + 3, true);
        if (strnicmp(p, "mf:", 3) == 0) {
            const std::string path = FILE_with_file_path(p + 3);
            report("Map-metafile: %s", path.c_str());
            gread_metafile(path.c_str());
            return 0;
        }
        if (strnicmp(p, "rf:", 3) == 0) {
            const std::string path = FILE_with_file_path(p + 3);
            report("Map-rawfile: %s", path.c_str());
            RAW_plot_file(path.c_str(), 0);
            return 0;
        }
        if (strnicmp(p, "lalo", 4) == 0) return lalo_layer(p + 4);
        return file_layer(p);
    } catch (const std::bad_alloc&) {
        MESS_print(M_error, "MAP_process: out of memory for %s\n", p);
        return -1;
    }
}

int MAP_map(std::FILE* fp) {
    const int proj = MAP_get_proj();
    if (!earth_proj(proj)) return 1;
    if (fp == nullptr) return -1;
    Glim win{};
    MAP_get_window(&win);
    std::optional<LinesKey> key = g_lines_on ? lines_key(fp, win, g_bg.fill) : std::nullopt;
    if (key) {
        for (const KeptLines& k : g_kept) {
            if (!(k.key == *key)) continue;
            ++g_lines_hits;
            draw_lines(k.lines, key->fill);
            return k.status;
        }
    }
    KeptLines kept;
    bool damaged = false;
    {
        mapbg::Pen pen(win, g_bg.fill);
        if (key) pen.record(&kept.lines);
        kept.status = read_map(fp, pen, proj, damaged);
    }
    const int status = kept.status;
    if (key && !damaged) {
        if (g_kept.size() >= kKeptFiles) g_kept.erase(g_kept.begin());
        kept.key = std::move(*key);
        g_kept.push_back(std::move(kept));
    }
    return status;
}

int MAP_map_cache(int on) {
    g_lines_on = on != 0;
    if (!g_lines_on) g_kept.clear();
    return static_cast<int>(g_lines_hits);
}

int MAP_draw_circle(float x, float y, float radius) {
    std::array<Gpt, 49> pts{};
    int n = 0;
    for (int i = 0; i < 49; ++i) {
        float px = 0.0f, py = 0.0f;
        MAP_offset(x, y, 7.5f * static_cast<float>(i), radius, &px, &py);
        if (is_missing(px)) continue;
        pts[static_cast<std::size_t>(n++)] = {px, py};
    }
    return n >= 2 ? gpolyline(n, pts.data()) : -1;
}

int MAP_latlon(float dlat, float dlon, int dot, int extra) {
    g_bg.latln = dlat;
    g_bg.lonln = dlon;
    g_bg.dot = dot;
    g_bg.extra = extra;
    return 0;
}

int MAP_get_latlon(float* dlat, float* dlon, int* dot, int* extra) {
    if (dlat != nullptr) *dlat = g_bg.latln;
    if (dlon != nullptr) *dlon = g_bg.lonln;
    if (dot != nullptr) *dot = g_bg.dot;
    if (extra != nullptr) *extra = g_bg.extra;
    return 0;
}

int MAP_file(const char* list) {
    g_bg.list = list != nullptr ? list : "";
    return 0;
}

int MAP_set_format(const char* format) {
    g_bg.format = format != nullptr ? format : "";
    return 0;
}

int MAP_fill_cont(int flag) {
    g_bg.fill_cont = flag;
    return 0;
}

int MAP_get_window(Glim* lim) {
    if (lim == nullptr) return -1;
    return GPH_get_win(kMapTran, lim);
}

float MAP_get_vert() {
    Glim lim{};
    if (GPH_get_win(kMapTran, &lim) != 0) return 0.0f;
    return lim.y_max - lim.y_min;
}

float MAP_get_hor() {
    Glim lim{};
    if (GPH_get_win(kMapTran, &lim) != 0) return 0.0f;
    return lim.x_max - lim.x_min;
}
