// Image domains at read time: the map domain that a freshly read AREA or
// three-axis image covers, worked out from its navigation block.
#define ZEM_SAT_INTERNAL
#include "sat_tool.h"
#include "sat_tool_priv.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "maptran.h"
#include "mess.h"
#include "resrc.h"
#include "sat_tran.h"
#include "tools.h"

namespace {

// The most detailed debug sub-level.
constexpr M_type kDebugFinest = M_debug & M_sub_d;
// Word 14 of a Mollweide block that gives the spacing in kilometres ("KMPP").
constexpr std::int32_t kTagKmpp = 0x4B4D5050;

// A navigation block as signed 32-bit words, word 0 being the type text.
struct NavWords {
    std::array<std::int32_t, 128> w{};
    explicit NavWords(const void* block)
    {
        if (block != nullptr) std::memcpy(w.data(), block, sizeof(std::int32_t) * w.size());
    }
    double operator[](std::size_t i) const { return static_cast<double>(w[i]); }
};

double pow10_exp(double e) { return std::pow(10.0, e == 0.0 ? 4.0 : e); }

bool grid_domain_override(IMG_report* image)
{
    const char* g = RES_get("grid_domain");
    if (g == nullptr) return false;
    Domain d;
    if (DOM_decode(g, &d) == -1) {
        MESS_print(M_warn, "grid_domain ignored: %s\n", g);
        return false;
    }
    SAT_set_tran_sat(0);
    image->domain = d;
    MESS_print(M_out2, "Image domain: ");
    DOM_print(M_out2, &image->domain);
    return true;
}

// Map coordinates of the image centre: x, y as the navigation-block formulas
// give them (y counted downward), turned into clat, clon.
void centre_from_map(Domain& d, double x, double y)
{
    float lat = kMissingF, lon = kMissingF;
    MAP_untran(static_cast<float>(x), static_cast<float>(-y), &lat, &lon);
    d.clat = lat;
    d.clon = lon;
}

}  // namespace

int AREA_calc_domain(IMG_report* image, MC_area* area)
{
    if (image == nullptr || area == nullptr || area->dir == nullptr) return 0;
    // Decided per file: a map-type image before this one turned satellite
    // navigation off for itself only.
    SAT_set_tran_sat(sat_tran_choice() == 0 ? 0 : 1);
    if (grid_domain_override(image)) return 0;

    Domain& d = image->domain;
    DOM_init(&d);
    const std::string type(area->type, strnlen(area->type, sizeof(area->type)));
    auto is = [&](const char* t, std::size_t n) { return type.compare(0, n, t, n) == 0; };

    const MC_area_dir& dir = *area->dir;
    const int width = static_cast<int>(dir.esiz);
    const int height = static_cast<int>(dir.lsiz);
    const double eres = dir.eres, lres = dir.lres;
    // Satellite line and element of the image centre: the middle of rows and
    // columns 0 .. n - 1, where the image domain's grid is centred too.
    const SatGrid g = sat_grid();
    const float Lc = g.lcor + g.lres * static_cast<float>(height - 1) / 2.0f;
    const float Ec = g.ecor + g.eres * static_cast<float>(width - 1) / 2.0f;

    if (is("GVAR", 4)) return GVAR_calc_domain(image);

    if (is("TANC", 4) && area->navtanc != nullptr) {
        const MC_nav_tanc& t = *area->navtanc;
        SAT_set_tran_sat(0);
        d.proj = DOM_LAMB;
        d.plat = static_cast<float>(t.stdlat / 10000.0);
        d.param[0] = d.param[1] = d.plat;
        d.plon = static_cast<float>(-t.stdlon / 10000.0);
        MAP_domain(&d);
        const double s = t.spacing / 1000000.0;
        const double x = s * (Ec - t.npelem / 10000.0);
        const double y = s * (Lc - t.npline / 10000.0);
        d.dx = static_cast<float>(s * eres);
        d.dy = static_cast<float>(s * lres);
        centre_from_map(d, x, y);
        d.nx = width;
        d.ny = height;
        MESS_print(M_debug, "TANC: %s\n", type.c_str());
        MESS_print(M_debug, "NPLINE: %d\n", t.npline);
        MESS_print(M_debug, "NPELEM: %d\n", t.npelem);
        MESS_print(M_debug, "STDLAT: %d\n", t.stdlat);
        MESS_print(M_debug, "SPACE: %d\n", t.spacing);
        MESS_print(M_debug, "NRMLON: %d\n", t.stdlon);
        return 0;
    }

    if (is("MSAT", 2) && area->navps != nullptr) {
        const MC_nav_ps& m = *area->navps;
        SAT_set_tran_sat(0);
        d.proj = DOM_SAT;
        d.plat = 0.0f;
        d.plon = static_cast<float>(m.equrad / -10000.0);
        d.param[0] = 421.64f;
        d.param[1] = 1.0f;
        d.ellipse = 1;
        d.nx = width;
        d.ny = height;
        MAP_domain(&d);
        const double t = 0.0529848;
        const double lc = lres * height / 2.0 + dir.lcor - 1;
        const double ec = eres * width / 2.0 + dir.ecor - 1;
        const double x = (ec / -2.0 + 1250.5) * t;
        const double y = (m.nrmlon - ((m.spacing + lc / 2.0) - m.stdlat)) * t;
        float lat = kMissingF, lon = kMissingF;
        MAP_untran(static_cast<float>(x), static_cast<float>(y), &lat, &lon);
        d.clat = lat;
        d.clon = lon;
        d.dx = static_cast<float>(eres * t / 2.0);
        d.dy = static_cast<float>(lres * t / 2.0);
        MESS_print(M_out2, "Image domain: ");
        DOM_print(M_out2, &d);
        return 0;
    }

    // Reference point and projection of the remaining kinds.
    float ref_lat = 0.0f, ref_lon = 0.0f;
    int proj = kMissing;
    NavWords w(area->nav);
    if (is("GOES", 4)) {
        proj = DOM_SAT;
    } else if (is("PS", 2) && area->navps != nullptr) {
        SAT_set_tran_sat(0);
        proj = DOM_PSTEREO;
        ref_lat = static_cast<float>(area->navps->stdlat / 10000.0);
        ref_lon = static_cast<float>(-area->navps->nrmlon / 10000.0);
    } else if (is("MO", 2) && area->nav != nullptr) {
        SAT_set_tran_sat(0);
        proj = DOM_MOLL;
        ref_lon = static_cast<float>(-w[4] / 10000.0);
    } else if (is("RE", 2) && area->nav != nullptr) {
        SAT_set_tran_sat(0);
        proj = DOM_LATLON;
    } else if (is("ME", 2) && area->nav != nullptr) {
        SAT_set_tran_sat(0);
        proj = DOM_MERC;
        ref_lon = static_cast<float>(w[5] / -10000.0);
    } else if (is("LA", 2) && area->nav != nullptr) {
        SAT_set_tran_sat(0);
        proj = DOM_LAMB;
        ref_lat = static_cast<float>(w[11] / 10000.0);
        ref_lon = static_cast<float>(w[6] / -10000.0);
    } else {
        MESS_print(M_out2, "Image domain: ");
        DOM_print(M_out2, &d);
        return 0;
    }

    MAP_proj(proj);
    if (proj == DOM_SAT) {
        // The sub-point is the reference of a satellite view; with tran_zem
        // it is looked up all the same, as nothing else defines it.
        float lat = kMissingF, lon = kMissingF, lin = 0.0f, ele = 0.0f;
        AREA_tran(3, &lat, &lon, &lin, &ele);
        ref_lat = lat;
        ref_lon = lon;
    }
    d.proj = proj;
    d.plat = ref_lat;
    d.plon = ref_lon;
    MAP_coord(ref_lat, ref_lon);
    d.nx = width;
    d.ny = height;

    double x = 0.0, y = 0.0;
    switch (proj) {
    case DOM_PSTEREO: {
        const MC_nav_ps& p = *area->navps;
        d.param[0] = ref_lat;
        MAP_domain(&d);
        const double s = p.equrad != 0 ? 63.71 * p.spacing / p.equrad : 0.0;
        x = s * (Ec - p.npelem);
        y = s * (Lc - p.npline);
        d.dx = static_cast<float>(s * eres);
        d.dy = static_cast<float>(s * lres);
        centre_from_map(d, x, y);
        MESS_print(M_debug, "PS: %s\n", type.c_str());
        MESS_print(M_debug, "NPLINE: %d\n", p.npline);
        MESS_print(M_debug, "NPELEM: %d\n", p.npelem);
        MESS_print(M_debug, "STDLAT: %d\n", p.stdlat);
        MESS_print(M_debug, "SPACE: %d\n", p.spacing);
        MESS_print(M_debug, "NRMLON: %d\n", p.nrmlon);
        MESS_print(M_debug, "EQURAD: %d\n", p.equrad);
        MESS_print(M_debug, "ECCENT: %d\n", p.eccent);
        break;
    }
    case DOM_LATLON: {
        MAP_domain(&d);
        const double estep = w[5] / pow10_exp(w[13]);
        const double lstep = w[6] / pow10_exp(w[14]);
        const double y0 = w[2] / pow10_exp(w[11]);
        const double x0 = -w[4] / pow10_exp(w[12]);
        // Longitude grows with the element (x0 is already east-positive) and
        // latitude falls with the line, so the centre is measured from the
        // reference element eastward.
        x = x0 + estep * (Ec - w[3]);
        y = y0 + lstep * (w[1] - Lc);
        d.dx = static_cast<float>(estep * eres);
        d.dy = static_cast<float>(lstep * lres);
        // y is already a latitude (north up), unlike the other kinds whose
        // y counts lines downward.
        centre_from_map(d, x, -y);
        d.plon = d.clon;
        break;
    }
    case DOM_MERC:
    case DOM_LAMB: {
        if (proj == DOM_LAMB) {
            d.param[0] = static_cast<float>(w[3] / 10000.0);
            d.param[1] = static_cast<float>(w[4] / 10000.0);
        }
        MAP_domain(&d);
        const double s = proj == DOM_MERC ? (w[6] != 0.0 ? 63.713 * w[4] / w[6] : 0.0)
                                   : (w[7] != 0.0 ? 63.713 * w[5] / w[7] : 0.0);
        x = s * (Ec - w[2]);
        y = s * (Lc - w[1]);
        d.dx = static_cast<float>(s * eres);
        d.dy = static_cast<float>(s * lres);
        centre_from_map(d, x, y);
        break;
    }
    case DOM_MOLL: {
        const double s = w.w[14] == kTagKmpp
                             ? (w[3] != 0.0 ? 0.7071 * w[6] / 1000.0 / (380.344 * w[3]) : 0.0)
                             : 0.62 * w[3] / 1000.0;
        d.dx = static_cast<float>(s * eres);
        d.dy = static_cast<float>(s * lres);
        MAP_domain(&d);
        // Ec and Lc are already in full-resolution satellite units: the
        // spacing per satellite pixel applies, not the image spacing.
        x = s * (Ec - w[2]);
        y = s * (Lc - w[1]);
        centre_from_map(d, x, y);
        d.plon = ref_lon;
        break;
    }
    default: {  // satellite view of a spin-scan image
        MAP_domain(&d);
        float lat = kMissingF, lon = kMissingF, lin = Lc, ele = Ec;
        AREA_tran(1, &lat, &lon, &lin, &ele);
        d.clat = lat;
        d.clon = lon;
        float x1 = 0.0f, y1 = 0.0f, x2 = 0.0f, y2 = 0.0f, x3 = 0.0f, y3 = 0.0f;
        MAP_tran(lat, lon, &x1, &y1);
        // Ten pixels west and ten pixels south of the centre.
        float l2 = Lc, e2 = Ec - 10.0f * g.eres, l3 = Lc + 10.0f * g.lres, e3 = Ec;
        float la2 = kMissingF, lo2 = kMissingF, la3 = kMissingF, lo3 = kMissingF;
        AREA_tran(1, &la2, &lo2, &l2, &e2);
        AREA_tran(1, &la3, &lo3, &l3, &e3);
        MAP_tran(la2, lo2, &x2, &y2);
        MAP_tran(la3, lo3, &x3, &y3);
        d.dx = (x1 - x2) / 10.0f;
        d.dy = (y1 - y3) / 10.0f;
        break;
    }
    }
    MESS_print(M_out2, "Image domain: ");
    DOM_print(M_out2, &d);
    return 0;
}

int GVAR_calc_domain(IMG_report* image)
{
    if (image == nullptr) return 0;
    if (grid_domain_override(image)) return 0;
    Domain& d = image->domain;
    DOM_init(&d);
    d.proj = DOM_SAT;
    MAP_proj(DOM_SAT);
    // The sub-point is taken whatever tran_sat says: nothing else defines
    // the satellite's longitude.
    float slat = kMissingF, slon = kMissingF, sl = 0.0f, se = 0.0f;
    AREA_tran(3, &slat, &slon, &sl, &se);
    d.plat = slat;
    d.plon = slon;
    d.param[0] = 421.643f;
    d.param[1] = 1.0f;
    d.ellipse = 1;
    MAP_coord(d.plat, d.plon);

    float lin = 0.0f, ele = 0.0f, lat = kMissingF, lon = kMissingF;
    const SatGrid g = sat_grid();
    const float hl = static_cast<float>(image->height - 1) / 2.0f;
    const float he = static_cast<float>(image->width - 1) / 2.0f;
    lin = g.lcor + g.lres * hl;
    ele = g.ecor + g.eres * he;
    MESS_print(kDebugFinest, "%f %f %f %f\n", hl, he, lin, ele);
    AREA_tran(1, &lat, &lon, &lin, &ele);
    MESS_print(kDebugFinest, "1: %f %f %f %f\n", lin, ele, lat, lon);
    d.clat = lat;
    d.clon = lon;
    d.nx = image->width;
    d.ny = image->height;
    d.dx = static_cast<float>(scan_delta() * image->xres * d.param[0]);
    d.dy = static_cast<float>(elev_delta() * image->yres * d.param[0]);
    MESS_print(M_out2, "Image domain: ");
    DOM_print(M_out2, &d);
    return 0;
}
