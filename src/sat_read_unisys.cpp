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

// Applies one token; false when it is not a key.
bool apply(const std::string& t, IMG_report* r, UnisysHeader* u) {
    auto starts = [&](const char* key) { return t.compare(0, std::strlen(key), key) == 0; };
    auto num = [&](std::size_t from) { return std::strtof(t.c_str() + std::min(from, t.size()), nullptr); };
    Domain& d = r->domain;
    if (starts("id")) {
        std::snprintf(r->info, sizeof(r->info), "%s", t.c_str() + 2);
    } else if (starts("x")) {
        u->width = std::atoi(t.c_str() + 1);
    } else if (starts("y")) {
        u->height = std::atoi(t.c_str() + 1);
    } else if (t == "pl") {
        d.proj = DOM_LAMB;
        d.dx = d.dy = 0.08f;
    } else if (t == "range") {
        d.dx = d.dy = 0.08f;
    } else if (starts("lat")) {
        d.clat = num(3);
    } else if (starts("lon")) {
        d.clon = num(3);
    } else if (starts("ref1")) {
        d.plat = num(4);
    } else if (starts("ref2")) {
        d.plon = num(4);
    } else if (starts("ref3")) {
        d.param[0] = num(4);
    } else if (starts("ref4")) {
        d.param[1] = num(4);
    } else if (starts("ssn")) {
        u->ssn = num(3);
    } else if (starts("sln")) {
        u->sln = num(3);
    } else if (starts("esn")) {
        u->esn = num(3);
    } else if (starts("eln")) {
        u->eln = num(3);
    } else if (starts("sr")) {
        u->sr = num(2);
    } else if (starts("lr")) {
        u->lr = num(2);
    } else if (starts("f")) {
        // "f" alone or spelt out ("fld") before the number.
        const char* v = t.c_str() + 1;
        while (*v && !std::isdigit(static_cast<unsigned char>(*v)) && *v != '-') ++v;
        const long secs = std::strtol(v, nullptr, 10);
        DATE_get_gmdate(&secs, &r->date);
        DATE_make_label(&r->date, r->datim);
    } else {
        return false;
    }
    return true;
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
        else if (apply(t, r, &u)) ++keys;
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
    if (!report) return -1;
    IMG_init(report);
    satread::Stream in = satread::open_stream(filename);
    if (!in) {
        MESS_print(M_warn, "SAT_read_Unisys: Unable to open file:%s\n", filename ? filename : "");
        return -1;
    }
    int rc = -1;
    try {
        rc = read_unisys(in.get(), report);
    } catch (const std::bad_alloc&) {
        MESS_print(M_warn, "SAT_read_Unisys: Out of memory\n");
        rc = -1;
    }
    if (rc != 0) IMG_free(report);
    return rc;
}
