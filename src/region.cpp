// Map domains: projection names, the domain-string templates, the region
// file ("zem.reg") with its menu, the built-in regions, comparison and
// printing of domains, and the label priorities that follow a domain's size.
#include "region.h"

#include <cctype>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "cty_tool.h"
#include "files.h"
#include "flag.h"
#include "mess.h"
#include "resrc.h"
#include "string.h"
#include "system.h"
#include "tools.h"

namespace {

constexpr int kFlagDomain = 5;          // flag carrying the last decode result
constexpr std::size_t kLineMax = 500;   // region-file line length considered
constexpr std::size_t kFieldMax = 79;   // region-file field length kept
constexpr std::size_t kAbbrMax = 5;     // menu abbreviation length
constexpr std::size_t kNameMax = 20;    // menu description length
constexpr int kMaxNesting = 8;          // regions naming regions
const char* const kRegionFile = "zem.reg";

// Projection names, tested in this order by case-insensitive prefix; the
// first match wins. "lambaz", the name the azimuthal projection is printed
// with, is tested whole before "lamb", or a printed domain would read back
// as the Lambert cone.
struct ProjName {
    const char* prefix;
    int code;
    bool whole;  // the name must equal the entry, not merely begin with it
};

constexpr ProjName kProjNames[] = {
    {"ll", DOM_LATLON, false},   {"lat", DOM_LATLON, false},
    {"polar", DOM_PSTEREO, false}, {"ps", DOM_PSTEREO, false},
    {"sat", DOM_SAT, false},     {"lambaz", DOM_LAMBAZ, true}, {"lamb", DOM_LAMB, false},
    {"lc", DOM_LAMB, false},     {"la", DOM_LAMBAZ, false},
    {"gn", DOM_GNOM, false},     {"or", DOM_ORTHO, false},
    {"mo", DOM_MOLL, false},     {"me", DOM_MERC, false},
    {"pix", DOM_PIXEL, false},   {"xy", DOM_XY, false},
    {"xlogy", DOM_XLOGP, false}, {"xlogp", DOM_XLOGP, false},
    {"cat", DOM_CAT, false},     {"skewt", DOM_SKEWT, false},
    {"ema", DOM_EMA, false},     {"teph", DOM_TEPH, false},
    {"rteph", DOM_RTEPH, false}, {"therm", DOM_SKEWT, false},
    {"stuve", DOM_STUVE, false}, {"hodo", DOM_POLAR, false},
    {"vert", DOM_XLOGP, false},  {"xp", DOM_XP, true},
    {"zoom", DOM_ZOOM, false},   {"size", DOM_SIZE, false},
    {"miss", kMissing, true},
};

// Names printed by DOM_print; codes not listed print nothing.
struct ProjPrint {
    int code;
    const char* name;
};

constexpr ProjPrint kProjPrint[] = {
    {DOM_LATLON, "latlon"}, {DOM_PSTEREO, "pstereo"}, {DOM_SAT, "sat"},
    {DOM_LAMB, "lamb"},     {DOM_LAMBAZ, "lambaz"},   {DOM_GNOM, "gnom"},
    {DOM_ORTHO, "ortho"},   {DOM_MOLL, "moll"},       {DOM_MERC, "merc"},
    {DOM_PIXEL, "pixel"},   {DOM_XY, "xy"},           {DOM_XZ, "xz"},
    {DOM_XLOGP, "xlogp"},   {DOM_CAT, "cat"},         {DOM_SKEWT, "skewt"},
    {DOM_EMA, "ema"},       {DOM_STUVE, "stuve"},     {DOM_POLAR, "polar"},
    {DOM_ZOOM, "zoom"},
};

// Built-in regions: polar stereographic, 25 by 17, plon = clon, dy = dx.
struct BuiltinRegion {
    const char* name;
    float clat;
    float clon;
    float dx;
};

constexpr BuiltinRegion kBuiltins[] = {
    {"us", 39.0f, -97.0f, 2.3f},  {"ne", 42.0f, -76.0f, 0.9f},
    {"at", 37.0f, -82.0f, 0.9f},  {"se", 31.0f, -88.0f, 1.1f},
    {"mw", 43.0f, -93.0f, 1.1f},  {"sp", 32.5f, -100.0f, 1.2f},
    {"nw", 44.0f, -112.0f, 1.0f}, {"sw", 37.0f, -112.0f, 1.0f},
};

// One domain-string template: its field codes, the defaults it implies and
// its debug text.
enum class Defaults { none, size25, dy_dx, ps, ps_dy_dx, size25_dy_dx, ps_12, ps_size25_dy_dx,
                      proj_clat_clon, ps_size25_12, region };

struct Template {
    int codes[8];
    Defaults defaults;
    const char* debug;
};

constexpr Template kTemplates[] = {
    {{DOM_F_PROJ, DOM_F_PLON, DOM_F_CLAT, DOM_F_CLON, DOM_F_NX, DOM_F_NY, DOM_F_DX, DOM_F_DY},
     Defaults::none, "%2d proj,plon,clat,clon,nx,ny,dx,dy\n"},
    {{DOM_F_PROJ, DOM_F_CLAT, DOM_F_CLON, DOM_F_NX, DOM_F_NY, DOM_F_DX, DOM_F_DY, 0},
     Defaults::none, "%2d proj,clat,clon,nx,ny,dx,dy\n"},
    {{DOM_F_PROJ, DOM_F_PLON, DOM_F_CLAT, DOM_F_CLON, DOM_F_DX, DOM_F_DY, 0, 0},
     Defaults::size25, "%2d proj,plon,clat,clon,dx,dy\n"},
    {{DOM_F_PROJ, DOM_F_CLAT, DOM_F_CLON, DOM_F_NX, DOM_F_NY, DOM_F_DX, 0, 0},
     Defaults::dy_dx, "%2d proj,clat,clon,nx,ny,dx\n"},
    {{DOM_F_CLAT, DOM_F_CLON, DOM_F_NX, DOM_F_NY, DOM_F_DX, DOM_F_DY, 0, 0},
     Defaults::ps, "%2d clat,clon,nx,ny,dx,dy\n"},
    {{DOM_F_PROJ, DOM_F_CLAT, DOM_F_CLON, DOM_F_DX, DOM_F_DY, 0, 0, 0},
     Defaults::size25, "%2d proj,clat,clon,dx,dy\n"},
    {{DOM_F_CLAT, DOM_F_CLON, DOM_F_NX, DOM_F_NY, DOM_F_DX, 0, 0, 0},
     Defaults::ps_dy_dx, "%2d clat,clon,nx,ny,dx\n"},
    {{DOM_F_PROJ, DOM_F_CLAT, DOM_F_CLON, DOM_F_DX, 0, 0, 0, 0},
     Defaults::size25_dy_dx, "%2d proj,clat,clon,dx\n"},
    {{DOM_F_CLAT, DOM_F_CLON, DOM_F_NX, DOM_F_NY, 0, 0, 0, 0},
     Defaults::ps_12, "%2d clat,clon,nx,ny\n"},
    {{DOM_F_CLAT, DOM_F_CLON, DOM_F_DX, 0, 0, 0, 0, 0},
     Defaults::ps_size25_dy_dx, "%2d clat,clon,dx\n"},
    {{DOM_F_PROJ, DOM_F_CLAT, DOM_F_CLON, 0, 0, 0, 0, 0},
     Defaults::proj_clat_clon, "%2d proj,clat,clon\n"},
    {{DOM_F_CLAT, DOM_F_CLON, 0, 0, 0, 0, 0, 0},
     Defaults::ps_size25_12, "%2d clat,clon\n"},
    {{DOM_F_LOC, 0, 0, 0, 0, 0, 0, 0},
     Defaults::ps_size25_12, "%2d id:###\n"},
    {{DOM_F_REGION, 0, 0, 0, 0, 0, 0, 0},
     Defaults::region, "%2d reg:REG\n"},
};

struct MenuEntry {
    std::string name;
    std::string abbr;
};

struct RegionState {
    int prior = 3;
    int loc_prior = 4;
    int nesting = 0;  // depth of region names decoding region names
    MENU_item menu[DOM_MENU_SIZE]{};
    MenuEntry text[DOM_MENU_SIZE];
    int num_regions = 0;  // first free menu entry; 0 while nothing is loaded

    RegionState() {
        text[0] = MenuEntry{"Return to previous menu", "back"};
        menu[0] = MENU_item{text[0].name.c_str(), text[0].abbr.c_str(), 0, {0, 0}};
    }
};

RegionState g_reg;

// Split at `delim`, keeping empty fields between delimiters and dropping
// trailing empty ones.
std::vector<std::string> split(const std::string& s, char delim) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (;;) {
        const std::size_t pos = s.find(delim, start);
        out.push_back(s.substr(start, pos == std::string::npos ? std::string::npos : pos - start));
        if (pos == std::string::npos) break;
        start = pos + 1;
    }
    while (!out.empty() && out.back().empty()) out.pop_back();
    return out;
}

// "%f"-style: leading blanks, then a number; trailing text is ignored, but a
// value that is not finite does not count as read.
bool read_float(const char* s, float& v) {
    char* end = nullptr;
    const float f = std::strtof(s, &end);
    if (end == s || !std::isfinite(f)) return false;
    v = f;
    return true;
}

bool read_int(const char* s, int& v) {
    char* end = nullptr;
    const long l = std::strtol(s, &end, 10);
    if (end == s || l < -2147483647L || l > 2147483647L) return false;
    v = static_cast<int>(l);
    return true;
}

using FileHandle = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

// The full name of a data file along the "file_path" resource.
// Open a region file along "file_path"; a file that is not there is only a
// debug message, since the built-in regions stand in for it.
FileHandle open_region_file(const char* name) {
    const std::string full = FILE_with_file_path(name);
    FileHandle fp(FILE_open(full.c_str(), "r"), FILE_close);
    if (!fp) MESS_print(M_debug, "Unable to open region file: %s\n", full.c_str());
    return fp;
}

// Whitespace-separated words of a line, each cut to kFieldMax characters.
std::vector<std::string> words(const std::string& line) {
    std::vector<std::string> out;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i]))) ++i;
        if (i >= line.size()) break;
        std::size_t j = i;
        while (j < line.size() && !std::isspace(static_cast<unsigned char>(line[j]))) ++j;
        out.push_back(line.substr(i, std::min(j - i, kFieldMax)));
        i = j;
    }
    return out;
}

void copy_field(const std::string& s, char* out) {
    const std::size_t n = std::min(s.size(), kFieldMax);
    std::memcpy(out, s.data(), n);
    out[n] = '\0';
    // A field holding a NUL byte stops there, as any C string would.
}

int decode(const char* str, Domain* domain);

// The projection field: name[:e][:plat[:plon[:p0[:p1[:p2[:p3]]]]]], or
// name:plon with a single value.
bool decode_proj(const std::string& field, Domain* d) {
    const std::vector<std::string> parts = split(field, ':');
    const std::string name = parts.empty() ? std::string() : parts[0];
    const int code = DOM_proj_str(name.c_str());
    if (code == -1) {
        d->proj = DOM_PSTEREO;
        return false;
    }
    d->proj = code;
    std::size_t i = 1;
    if (i < parts.size() && str_iequal(parts[i], "e")) {
        d->ellipse = 1;
        ++i;
    } else if (parts.size() == 2) {
        return parts[1].empty() || read_float(parts[1].c_str(), d->plon);
    }
    float* targets[] = {&d->plat, &d->plon, &d->param[0], &d->param[1], &d->param[2], &d->param[3]};
    for (std::size_t t = 0; t < 6 && i < parts.size(); ++t, ++i) {
        const std::string& v = parts[i];
        if (v.empty()) {
            if (t < 2) *targets[t] = 0.0f;  // an empty plat or plon reads as 0
            continue;
        }
        if (!read_float(v.c_str(), *targets[t])) return false;
    }
    return true;
}

// "id:" [file ":"] identifier: the centre from the place database.
bool decode_location(const std::string& field, Domain* d) {
    if (!str_iprefix(field, "id:")) return false;
    const std::string rest = field.substr(3);
    const std::size_t colon = rest.find(':');
    std::string file, id = rest;
    if (colon != std::string::npos) {
        file = rest.substr(0, colon);
        id = rest.substr(colon + 1);
    }
    if (id.empty()) return false;
    float lat = kMissingF, lon = kMissingF;
    if (!CTY_get_loc(file.empty() ? nullptr : file.c_str(), id.c_str(), &lat, &lon)) return false;
    d->clat = lat;
    d->clon = lon;
    return true;
}

// A region field: a name in "zem.reg" or built in, "fi:file" (the file's
// first region), "file:abbr", or "file:" (load that file's menu).
bool decode_region(const std::string& field, Domain* d) {
    if (str_iprefix(field, "id:")) return false;
    if (g_reg.nesting >= kMaxNesting) {
        MESS_print(M_warn, "DOM_decode: Region definitions nest too deeply: %s\n", field.c_str());
        d->proj = -1;
        return true;
    }
    char out[DOM_FIELD_SIZE] = {0};
    std::string file = kRegionFile, abbr = field;
    bool first = false;
    if (str_iprefix(field, "fi:")) {
        file = field.substr(3);
        first = true;
    } else if (const std::size_t colon = field.find(':'); colon != std::string::npos) {
        file = field.substr(0, colon);
        abbr = field.substr(colon + 1);
        if (abbr.empty()) {
            DOM_read_menu(file.c_str());
            return true;
        }
    }
    if (DOM_search_file(file.c_str(), first ? nullptr : abbr.c_str(), out)) {
        ++g_reg.nesting;
        const int r = decode(out, d);
        --g_reg.nesting;
        if (r == -1) d->proj = -1;  // refused inside: the region is unusable
        FLAG_set(kFlagDomain, r);
        return true;
    }
    if (first || !DOM_get_def_region(abbr.c_str(), d)) {
        MESS_print(M_warn, "DOM_decode: Unknown region: %s\n", field.c_str());
        d->proj = -1;
    }
    return true;
}

// Why a decoded map or zoom domain cannot be drawn, or null when it can.
const char* impossible(const Domain& d) {
    const bool map = d.proj >= DOM_PSTEREO && d.proj <= DOM_SAT;
    if (!map && d.proj != DOM_ZOOM && d.proj != DOM_SIZE) return nullptr;
    if (!is_missing(d.nx) && d.nx <= 0) return "the width must be positive";
    if (!is_missing(d.ny) && d.ny <= 0) return "the height must be positive";
    if (d.proj == DOM_SIZE) return nullptr;
    if (!is_missing(d.dx) && !(d.dx > 0.0f)) return "the spacing must be positive";
    if (!is_missing(d.dy) && !(d.dy > 0.0f)) return "the spacing must be positive";
    if (!map) return nullptr;
    if (!is_missing(d.clat) && std::fabs(d.clat) > 90.0f) return "the centre lies beyond a pole";
    if (!is_missing(d.plat) && std::fabs(d.plat) > 90.0f) return "the reference latitude lies beyond a pole";
    // Standard latitudes symmetric about the equator (0:0 among them) give
    // a cone that is a cylinder: no Lambert conformal map.
    if (d.proj == DOM_LAMB && !is_missing(d.param[0]) && !is_missing(d.param[1]) &&
        std::fabs(d.param[0] + d.param[1]) < 1e-4f)
        return "Lambert standard latitudes must not be symmetric about the equator";
    return nullptr;
}

void apply_defaults(Defaults which, Domain* d, const std::vector<std::string>& fields) {
    auto size25 = [d] { d->nx = 25; d->ny = 17; };
    switch (which) {
        case Defaults::none:
        case Defaults::region:
            break;
        case Defaults::size25:
            size25();
            break;
        case Defaults::dy_dx:
            d->dy = d->dx;
            break;
        case Defaults::ps:
            d->proj = DOM_PSTEREO;
            break;
        case Defaults::ps_dy_dx:
            d->proj = DOM_PSTEREO;
            d->dy = d->dx;
            break;
        case Defaults::size25_dy_dx:
            size25();
            d->dy = d->dx;
            break;
        case Defaults::ps_12:
            d->proj = DOM_PSTEREO;
            d->dx = d->dy = 1.2f;
            break;
        case Defaults::ps_size25_dy_dx:
            d->proj = DOM_PSTEREO;
            size25();
            d->dy = d->dx;
            break;
        case Defaults::ps_size25_12:
            d->proj = DOM_PSTEREO;
            size25();
            d->dx = d->dy = 1.2f;
            break;
        case Defaults::proj_clat_clon:
            if (d->proj == DOM_SIZE) {
                // The two numbers are the output size.
                int v = 0;
                d->nx = fields.size() > 1 && read_int(fields[1].c_str(), v) ? v : kMissing;
                d->ny = fields.size() > 2 && read_int(fields[2].c_str(), v) ? v : kMissing;
                d->clat = kMissingF;
                d->clon = kMissingF;
            } else {
                size25();
                d->dx = d->dy = d->proj == DOM_ZOOM ? 1.0f : 1.2f;
            }
            break;
    }
}

int set_params(const std::vector<std::string>& fields, Domain* d, const int* codes_in) {
    std::vector<int> codes;
    for (int i = 0; i < 8 && codes_in[i] != DOM_F_END; ++i) codes.push_back(codes_in[i]);
    // Wherever clat and clon stand, one "id:" location field may stand instead.
    for (std::size_t i = 0; i < codes.size(); ++i) {
        if (codes[i] == DOM_F_CLAT && i < fields.size() && str_iprefix(fields[i], "id:")) {
            codes[i] = DOM_F_LOC;
            if (i + 1 < codes.size() && codes[i + 1] == DOM_F_CLON) codes.erase(codes.begin() + static_cast<long>(i) + 1);
        }
    }
    if (codes.size() != fields.size()) return -1;
    DOM_init(d);
    if (!fields.empty() && (str_iequal(fields[0], "miss") || str_iequal(fields[0], "none")))
        return 0;
    for (std::size_t i = 0; i < codes.size(); ++i) {
        const char* f = fields[i].c_str();
        bool ok = true;
        switch (codes[i]) {
            case DOM_F_PROJ: ok = decode_proj(fields[i], d); break;
            case DOM_F_PLON: ok = read_float(f, d->plon); break;
            case DOM_F_CLAT: ok = read_float(f, d->clat); break;
            case DOM_F_CLON: ok = read_float(f, d->clon); break;
            case DOM_F_DX: ok = read_float(f, d->dx); break;
            case DOM_F_DY: ok = read_float(f, d->dy); break;
            case DOM_F_NX: ok = read_int(f, d->nx); break;
            case DOM_F_NY: ok = read_int(f, d->ny); break;
            case DOM_F_LOC: ok = decode_location(fields[i], d); break;
            case DOM_F_REGION: ok = decode_region(fields[i], d); break;
            default: ok = false; break;
        }
        if (!ok) return codes[i];
    }
    return 0;
}

int decode(const char* str, Domain* domain) {
    DOM_init(domain);
    if (str == nullptr || *str == '\0' || str_iequal(str, "miss")) return kMissing;
    const std::vector<std::string> fields = split(str, ',');
    MESS_print(M_debug, "******** PARSING DOMAIN: %d %s\n", static_cast<int>(fields.size()), str);

    int result = -1;
    if (!fields.empty() && str_iequal(fields[0], "size")) {
        constexpr int size_codes[8] = {DOM_F_PROJ, DOM_F_NX, DOM_F_NY, 0, 0, 0, 0, 0};
        const int r = set_params(fields, domain, size_codes);
        if (r == 0) {
            MESS_print(M_debug, "%2d proj,nx,ny\n", r);
            result = 1;
        }
    }
    if (result == -1) {
        for (const Template& t : kTemplates) {
            const int r = set_params(fields, domain, t.codes);
            if (r != 0) continue;
            apply_defaults(t.defaults, domain, fields);
            MESS_print(M_debug, t.debug, r);
            result = t.defaults == Defaults::region ? 2 : 1;
            break;
        }
    }
    if (result == -1) {
        MESS_print(M_warn, "DOM_decode: Invalid plot domain\n");
    } else if (domain->proj == -1) {
        result = -1;  // an unknown region, named where it was looked up
    } else if (const char* why = impossible(*domain)) {
        MESS_print(M_warn, "DOM_decode: Impossible plot domain %s: %s\n", str, why);
        result = -1;
    }

    FLAG_set(kFlagDomain, result);
    FILE_set_key('r', str);
    if (!is_missing(domain->ny) && !is_missing(domain->dy))
        DOM_set_base_prior(static_cast<float>(domain->ny - 1) * domain->dy);
    return result;
}

void append(std::string& s, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
void append(std::string& s, const char* fmt, ...) {
    char buf[128];
    va_list ap;
    va_start(ap, fmt);
    const int n = std::vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    if (n < 0) return;
    if (static_cast<std::size_t>(n) < sizeof buf) {
        s += buf;
        return;
    }
    // Only absurdly large numbers get here: format again at full size.
    std::vector<char> big(static_cast<std::size_t>(n) + 1);
    va_start(ap, fmt);
    std::vsnprintf(big.data(), big.size(), fmt, ap);
    va_end(ap);
    s += big.data();
}

std::string domain_text(const Domain* d) {
    std::string s;
    if (const char* name = DOM_proj_name(d->proj)) s += name;
    if (d->ellipse) s += ":e";
    const float vals[] = {d->plat, d->plon, d->param[0], d->param[1], d->param[2]};
    for (float v : vals) {
        if (is_missing(v))
            s += ":";
        else
            append(s, ":%3.3f", static_cast<double>(v));
    }
    append(s, ",%3.3f,%3.3f,%d,%d,%4.4f,%4.4f\n", static_cast<double>(d->clat),
           static_cast<double>(d->clon), d->nx, d->ny, static_cast<double>(d->dx),
           static_cast<double>(d->dy));
    return s;
}

bool same(float a, float b) { return a == b; }

}  // namespace

int DOM_init(Domain* domain) {
    if (domain == nullptr) return -1;
    domain->proj = kMissing;
    domain->plat = kMissingF;
    domain->plon = kMissingF;
    for (float& p : domain->param) p = kMissingF;
    domain->clat = kMissingF;
    domain->clon = kMissingF;
    domain->dx = kMissingF;
    domain->dy = kMissingF;
    domain->nx = kMissing;
    domain->ny = kMissing;
    domain->ellipse = 0;
    return 0;
}

int DOM_decode(const char* str, Domain* domain) {
    if (domain == nullptr) return -1;
    try {
        return decode(str, domain);
    } catch (const std::bad_alloc&) {
        MESS_print(M_error, "DOM_decode: Out of memory\n");
        return -1;
    }
}

int DOM_set_params(int count, char** fields, Domain* domain, int c1, int c2, int c3, int c4,
                   int c5, int c6, int c7, int c8) {
    if (domain == nullptr || count < 0 || (count > 0 && fields == nullptr)) return -1;
    const int codes[8] = {c1, c2, c3, c4, c5, c6, c7, c8};
    std::vector<std::string> f;
    for (int i = 0; i < count; ++i) f.emplace_back(fields[i] ? fields[i] : "");
    return set_params(f, domain, codes);
}

int DOM_proj_str(const char* name) {
    if (name == nullptr) return -1;
    for (const ProjName& p : kProjNames) {
        if (p.whole ? str_iequal(name, p.prefix) : str_iprefix(name, p.prefix)) return p.code;
    }
    return -1;
}

const char* DOM_proj_name(int proj) {
    for (const ProjPrint& p : kProjPrint)
        if (p.code == proj) return p.name;
    return nullptr;
}

int DOM_get_def_region(const char* name, Domain* domain) {
    DOM_init(domain);
    domain->proj = DOM_PSTEREO;
    domain->nx = 25;
    domain->ny = 17;
    domain->dx = domain->dy = 1.2f;
    if (name == nullptr) return 0;
    for (const BuiltinRegion& r : kBuiltins) {
        if (str_iequal(name, r.name)) {
            domain->clat = r.clat;
            domain->clon = r.clon;
            domain->plon = r.clon;
            domain->dx = domain->dy = r.dx;
            return 1;
        }
    }
    if (str_iequal(name, "var")) {
        domain->clat = ZEM_promptf("Enter the central latitude: ");
        domain->clon = ZEM_promptf("Enter the central longitude: ");
        domain->plon = domain->clon;
        return 1;
    }
    return 0;
}

int DOM_search_file(const char* file, const char* abbr, char* out) {
    if (file == nullptr || out == nullptr) return 0;
    try {
        FileHandle fp = open_region_file(file);
        if (!fp) return 0;
        std::string line;
        while (read_text_line(fp.get(), line, kLineMax)) {
            if (!line.empty() && line[0] == '#') continue;
            const std::vector<std::string> w = words(line);
            if (w.empty()) continue;  // blank lines are layout, not an end
            if (w.size() == 1) {      // a bare domain string answers any name
                copy_field(w[0], out);
                return 1;
            }
            if (w.size() < 4) continue;  // not a region line
            if (abbr == nullptr || str_iequal(w[0], abbr)) {
                copy_field(w[3], out);
                return 1;
            }
        }
    } catch (const std::bad_alloc&) {
        MESS_print(M_error, "DOM_search_file: Out of memory\n");
    }
    return 0;
}

int DOM_read_menu(const char* file) {
    if (file == nullptr) return 0;
    try {
        FileHandle fp = open_region_file(file);
        if (!fp) return 0;
        for (int i = 1; i < DOM_MENU_SIZE; ++i) {
            g_reg.text[i] = MenuEntry{};
            g_reg.menu[i] = MENU_item{nullptr, nullptr, 0, {0, 0}};
        }
        int n = 1;
        std::string line;
        while (n < DOM_MENU_SIZE && read_text_line(fp.get(), line, kLineMax)) {
            if (!line.empty() && line[0] == '#') continue;
            const std::vector<std::string> w = words(line);
            int flag = 0;
            if (w.size() < 3 || !read_int(w[2].c_str(), flag) || flag == 0) continue;
            MenuEntry& t = g_reg.text[n];
            t.abbr = w[0].substr(0, kAbbrMax);
            t.name = w[1].substr(0, kNameMax);
            for (char& c : t.name)
                if (c == '_') c = ' ';
            g_reg.menu[n] = MENU_item{t.name.c_str(), t.abbr.c_str(), n, {flag, 0}};
            ++n;
        }
        g_reg.num_regions = n;
        return 1;
    } catch (const std::bad_alloc&) {
        MESS_print(M_error, "DOM_read_menu: Out of memory\n");
        return 0;
    }
}

int DOM_get_region(Domain* domain, int flag) {
    if (domain == nullptr) return 0;
    if (flag == 1 || flag == 3 || flag == 4) {
        const char* pd = RES_get("plot_domain");
        if (pd != nullptr && *pd != '\0') return DOM_decode(pd, domain);
    }
    const char* reg = RES_get("region");
    if (reg != nullptr && *reg != '\0') return DOM_decode(reg, domain);
    if (flag == 4) {
        if (g_reg.num_regions < 2) DOM_read_menu(kRegionFile);
        if (g_reg.num_regions >= 2 && g_reg.menu[1].abbr != nullptr)
            return DOM_decode(g_reg.menu[1].abbr, domain);
    }
    return 0;
}

int DOM_comp_proj(const Domain* d1, const Domain* d2) {
    if (d1 == nullptr || d2 == nullptr) return 0;
    const float plat1 = is_missing(d1->plat) ? d1->clat : d1->plat;
    const float plat2 = is_missing(d2->plat) ? d2->clat : d2->plat;
    const float plon1 = is_missing(d1->plon) ? d1->clon : d1->plon;
    const float plon2 = is_missing(d2->plon) ? d2->clon : d2->plon;
    if (d1->proj != d2->proj || !same(plat1, plat2) || !same(plon1, plon2) || d1->ellipse != d2->ellipse)
        return 0;
    for (int i = 0; i < 5; ++i)
        if (!same(d1->param[i], d2->param[i])) return 0;
    return 1;
}

int DOM_comp(const Domain* d1, const Domain* d2) {
    if (!DOM_comp_proj(d1, d2)) return 0;
    return (same(d1->clat, d2->clat) && same(d1->clon, d2->clon) && same(d1->dx, d2->dx) &&
            same(d1->dy, d2->dy) && d1->nx == d2->nx && d1->ny == d2->ny)
               ? 1
               : 0;
}

int DOM_identical(const Domain* d1, const Domain* d2) {
    if (d1 == nullptr || d2 == nullptr) return 0;
    bool same = d1->proj == d2->proj && d1->plat == d2->plat && d1->plon == d2->plon && d1->clat == d2->clat &&
                d1->clon == d2->clon && d1->dx == d2->dx && d1->dy == d2->dy && d1->nx == d2->nx &&
                d1->ny == d2->ny && d1->ellipse == d2->ellipse;
    for (int k = 0; k < 5; ++k) same = same && d1->param[k] == d2->param[k];
    return same ? 1 : 0;
}

int DOM_sprint(const Domain* domain, char* out, int size) {
    if (domain == nullptr) return 0;
    try {
        const std::string s = domain_text(domain);
        if (out != nullptr && size > 0) std::snprintf(out, static_cast<std::size_t>(size), "%s", s.c_str());
        return static_cast<int>(s.size());
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

int DOM_print(M_type severity, const Domain* domain) {
    if (domain == nullptr || !MESS_check(severity)) return 0;
    try {
        MESS_print(severity, "%s", domain_text(domain).c_str());
    } catch (const std::bad_alloc&) {
        return 0;
    }
    return 1;
}

float DOM_aspect(const Domain* domain) {
    if (domain == nullptr || domain->nx < 2 || domain->ny < 2) return 1.0f;
    return static_cast<float>(domain->nx - 1) / static_cast<float>(domain->ny - 1);
}

int DOM_set_base_prior(float size) {
    struct Step {
        float above;
        int prior;
    };
    static constexpr Step kSteps[] = {{50.0f, 1}, {25.0f, 2}, {12.5f, 3}, {6.25f, 4}, {3.0f, 5}};
    int prior = 6;
    for (const Step& s : kSteps) {
        if (size > s.above) {
            prior = s.prior;
            break;
        }
    }
    // The user's "stat_prior" shifts or replaces the size-derived priority.
    if (const char* sp = RES_get("stat_prior")) {
        const auto digit = [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; };
        if (sp[0] == '+' && digit(sp[1]))
            prior += sp[1] - '0';
        else if (sp[0] == '-' && digit(sp[1]))
            prior -= sp[1] - '0';
        else if (digit(sp[0]))
            prior = sp[0] - '0';
    }
    g_reg.prior = prior;
    return prior;
}

int DOM_set_prior(int prior) {
    g_reg.prior = prior;
    return prior;
}

int DOM_get_prior() { return g_reg.prior; }

int DOM_set_loc_prior(int prior) {
    g_reg.loc_prior = prior;
    return prior;
}

int DOM_get_loc_prior() { return g_reg.loc_prior; }

int DOM_print_file(const char* file) {
    if (file == nullptr) return 0;
    try {
        FileHandle fp = open_region_file(file);
        if (!fp) return 0;
        MESS_print(M_print, " Abbr    Description\n");
        std::string line;
        while (read_text_line(fp.get(), line, kLineMax)) {
            if (!line.empty() && line[0] == '#') continue;
            const std::vector<std::string> w = words(line);
            if (w.size() < 2) continue;
            MESS_print(M_print, "%-8s %-50s\n", w[0].c_str(), w[1].c_str());
        }
        return 1;
    } catch (const std::bad_alloc&) {
        MESS_print(M_error, "DOM_print_file: Out of memory\n");
        return 0;
    }
}

const char* DOM_get_region_name(int entry) {
    if (entry < 0 || entry >= DOM_MENU_SIZE) return nullptr;
    return g_reg.menu[entry].name;
}

const MENU_item* DOM_get_menu() { return g_reg.menu; }

int DOM_get_num_regions() { return g_reg.num_regions; }
