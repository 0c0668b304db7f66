// Unisys satellite images: a short text header of blank-separated tokens,
// each a key with its value written straight after it ("x640", "y480",
// "idGOES-8_IR", "fld1038743400"), ended by "end" and one separator byte.
// The pixels fill the file from its first byte, the header standing in
// for the first pixels, which are shown black:
//   id<text>  x<width>  y<height>  pl (Lambert, 8 km)  range (8 km)
//   lat<centre latitude>  lon<centre longitude>  ref1..ref4<plat, plon,
//   param 0, param 1>  ssn, sln, esn, eln<start/end scan and line>
//   sr, lr<scan and line resolution>  f or fld<seconds since 1970, UTC>  end
#define ZEM_SAT_READ_INTERNAL
#include "sat_read_priv.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "date.h"
#include "img_tool.h"
#include "mess.h"
#include "resrc.h"
#include "sat_tran.h"

namespace {

constexpr int kMaxTokens = 30;
constexpr std::size_t kMaxToken = 500;
constexpr long long kMaxPixels = 1LL << 28;

// The header's values.
struct UnisysHeader {
    int width = 0, height = 0;
    float ssn = 0, sln = 0, esn = 0, eln = 0, sr = 0, lr = 0;
};

// The next blank-separated token of `in` (at most kMaxToken characters);
// empty at the end of the file.
std::string next_token(FILE* in) {
    std::string t;
    int c = std::fgetc(in);
    while (c != EOF && std::isspace(c)) c = std::fgetc(in);
    while (c != EOF && !std::isspace(c)) {
        if (t.size() < kMaxToken) t += static_cast<char>(c);
        c = std::fgetc(in);
    }
    if (c != EOF) std::ungetc(c, in);
    return t;
}

// What the header's keys fill.
struct Target {
    IMG_report* r;
    UnisysHeader* u;
};

float num(const char* v) { return std::strtof(v, nullptr); }

void set_date(Target t, const char* v) {
    // "f" alone or spelt out ("fld") before the number.
    while (*v && !std::isdigit(static_cast<unsigned char>(*v)) && *v != '-') ++v;
    const long secs = std::strtol(v, nullptr, 10);
    // Years 1902 to 2106: beyond them the number is no time stamp.
    if (secs < -(1L << 31) || secs > (1L << 32)) {
        MESS_print(M_warn, "SAT_read_Unisys: Time stamp %s out of range\n", v);
        return;
    }
    DATE_get_gmdate(&secs, &t.r->date);
    DATE_make_label(&t.r->date, t.r->datim);
}

// The keys in the order they are tried; a key is the whole token or its
// start, its value the rest of the token.
struct Key {
    const char* key;
    bool whole;
    void (*set)(Target, const char* value);
};
constexpr Key kKeys[] = {
    {"id", false, [](Target t, const char* v) { std::snprintf(t.r->info, sizeof(t.r->info), "%s", v); }},
    {"x", false, [](Target t, const char* v) { t.u->width = std::atoi(v); }},
    {"y", false, [](Target t, const char* v) { t.u->height = std::atoi(v); }},
    {"pl", true, [](Target t, const char*) {
         t.r->domain.proj = DOM_LAMB;
         t.r->domain.dx = t.r->domain.dy = 0.08f;
     }},
    {"range", true, [](Target t, const char*) { t.r->domain.dx = t.r->domain.dy = 0.08f; }},
    {"lat", false, [](Target t, const char* v) { t.r->domain.clat = num(v); }},
    {"lon", false, [](Target t, const char* v) { t.r->domain.clon = num(v); }},
    {"ref1", false, [](Target t, const char* v) { t.r->domain.plat = num(v); }},
    {"ref2", false, [](Target t, const char* v) { t.r->domain.plon = num(v); }},
    {"ref3", false, [](Target t, const char* v) { t.r->domain.param[0] = num(v); }},
    {"ref4", false, [](Target t, const char* v) { t.r->domain.param[1] = num(v); }},
    {"ssn", false, [](Target t, const char* v) { t.u->ssn = num(v); }},
    {"sln", false, [](Target t, const char* v) { t.u->sln = num(v); }},
    {"esn", false, [](Target t, const char* v) { t.u->esn = num(v); }},
    {"eln", false, [](Target t, const char* v) { t.u->eln = num(v); }},
    {"sr", false, [](Target t, const char* v) { t.u->sr = num(v); }},
    {"lr", false, [](Target t, const char* v) { t.u->lr = num(v); }},
    {"f", false, set_date},
};

// Applies one token; false when it is not a key.
bool apply(const std::string& token, Target t) {
    for (const Key& k : kKeys) {
        const std::size_t n = std::strlen(k.key);
        if (k.whole ? token == k.key : token.compare(0, n, k.key) == 0) {
            k.set(t, token.c_str() + n);
            return true;
        }
    }
    return false;
}

// Moves the AREA navigation to the picture's scans and lines.
void set_navigation(const UnisysHeader& u, int width, int height) {
    const float lr = u.lr * 2.0f;
    const float sl = (u.sln - 1.0f) * lr, el = (u.eln - 1.0f) * lr;
    const float ss = (u.ssn + 20.0f) * u.sr, es = (u.esn + 20.0f) * u.sr;
    AREA_set_res(sl, ss, (el - sl) / static_cast<float>(height), (es - ss) / static_cast<float>(width));
}

int read_unisys(FILE* in, IMG_report* r) {
    r->source = kFormatUnisys;
    r->depth = r->bits_pixel = 8;
    r->domain.proj = DOM_PIXEL;
    r->domain.clat = r->domain.clon = 0.0f;
    r->domain.dx = r->domain.dy = 1.0f;
    UnisysHeader u;
    int keys = 0;
    bool ended = false;
    for (int i = 0; i < kMaxTokens && !ended; ++i) {
        const std::string t = next_token(in);
        if (t.empty()) break;
        if (t == "end") ended = true;
        else if (apply(t, Target{r, &u})) ++keys;
    }
    if (keys < 3 && !ended) {
        MESS_print(M_warn, "SAT_read_Unisys: Unable to determine image parameters\n");
        return -1;
    }
    satread::Pixels px = satread::new_pixels(u.width, u.height, kMaxPixels);
    if (!px) {
        MESS_print(M_warn, "SAT_read_Unisys: Invalid image size %d x %d\n", u.width, u.height);
        return -1;
    }
    r->domain.nx = u.width;
    r->domain.ny = u.height;
    if (const char* grid = RES_get("grid_domain"); grid && *grid) DOM_decode(grid, &r->domain);
    std::fgetc(in);  // the separator after the header
    const long head = std::ftell(in);
    const std::size_t npix = std::size_t(u.width) * std::size_t(u.height);
    const std::size_t at = head > 0 ? std::min<std::size_t>(static_cast<std::size_t>(head), npix) : 0;
    const std::size_t got = std::fread(px.get() + at, 1, npix - at, in);
    if (got < npix - at)
        MESS_print(M_warn, "SAT_read_Unisys: Image data short: %zu of %zu bytes\n", got, npix - at);
    satread::give_pixels(r, std::move(px), u.width, u.height);
    if (u.lr > 0.0f) set_navigation(u, u.width, u.height);
    return 0;
}

}  // namespace

int SAT_read_Unisys(const char* filename, IMG_report* report) {
    return satread::read_with("SAT_read_Unisys", filename, report, [&](FILE* in) { return read_unisys(in, report); });
}
