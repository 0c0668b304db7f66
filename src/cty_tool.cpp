// Place lookups by identifier, name or WMO number, and the station table:
// places by identifier and by projected position, for the nearest place to
// a point of the map.
#include "cty_tool.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "maptran.h"
#include "region.h"
#include "table.h"

#include "mess.h"
#include "resrc.h"
#include "string.h"
#include "tools.h"

namespace {

constexpr int kMinItemsWithPosition = 7;  // name ... flag lat lon

struct CtyToolState {
    int id_type = 0;
};

CtyToolState g_tool;

bool matches(const CTY_data& d, const char* want) {
    if (str_iequal(want, d.id) || str_iequal(want, d.name)) return true;
    if (is_missing(d.wmo)) return false;
    char wmo[16];
    std::snprintf(wmo, sizeof wmo, "%05d", d.wmo);
    return str_iequal(want, wmo);
}

// The station table: places keyed by identifier (key 0) and by position
// cell (key 1: the text "%5.0f%6.0f" of 10 x and 10 y, so a cell is a
// tenth of a projection unit).
constexpr int kBuckets = 4001;
struct StationTable {
    TAB_table* places = nullptr;
    Domain built_for{};  // domain of an automatically built table
    bool automatic = false;
};

StationTable g_tab;

constexpr int kRings = 50;  // cells searched around a point, each way

std::string cell_key(long cx, long cy) {
    char key[64];
    std::snprintf(key, sizeof key, "%5.0f%6.0f", static_cast<double>(cx), static_cast<double>(cy));
    return key;
}

long cell(float v) { return std::lround(10.0 * static_cast<double>(v)); }

// Fills the table with every place of the place file, placed on the active
// domain, unless it already holds them for this domain. Returns false when
// no place file can be read.
bool load_for_domain() {
    Domain now{};
    MAP_get_domain(&now);
    if (TAB_count(g_tab.places) > 0 && (!g_tab.automatic || DOM_comp(&now, &g_tab.built_for))) return true;
    CTY_clear();
    const int h = CTY_open_file(nullptr, nullptr);
    if (h < 0) return false;
    CTY_data d;
    int n;
    while ((n = CTY_read(h, &d)) >= 0) {
        float x = 0.0f, y = 0.0f;
        if (n >= kMinItemsWithPosition && MAP_tran(d.lat, d.lon, &x, &y) == 1) CTY_store(&d, x, y);
    }
    CTY_close(h);
    g_tab.built_for = now;
    g_tab.automatic = true;
    return true;
}

}  // namespace

int CTY_get(const char* file, const char* id, CTY_data* data) {
    if (id == nullptr || *id == '\0' || data == nullptr) return 0;
    const int h = CTY_open_file(file, nullptr);
    if (h < 0) return 0;
    MESS_print(M_mess, "Searching the city database file for: %s ...\n", id);
    int found = 0;
    CTY_data d;
    int n;
    while ((n = CTY_read(h, &d)) >= 0) {
        if (n >= kMinItemsWithPosition && matches(d, id)) {
            *data = d;
            found = 1;
            break;
        }
    }
    CTY_close(h);
    return found;
}

int CTY_get_loc(const char* file, const char* id, float* lat, float* lon) {
    CTY_data d;
    CTY_data_init(&d);
    if (!CTY_get(file, id, &d)) return 0;
    if (lat != nullptr) *lat = d.lat;
    if (lon != nullptr) *lon = d.lon;
    return 1;
}

int CTY_get_prior() {
    const char* s = RES_get("stat_prior");
    if (s == nullptr) return 10;
    char* end = nullptr;
    const long v = std::strtol(s, &end, 10);
    return end == s ? 10 : static_cast<int>(v);
}

int CTY_set_id_type(int type) {
    g_tool.id_type = type;
    return 0;
}

int CTY_store(const CTY_data* data, float x, float y) {
    if (data == nullptr || is_missing(x) || !std::isfinite(x) || !std::isfinite(y)) return 0;
    if (std::fabs(x) > 1e6f || std::fabs(y) > 1e6f) return 0;
    if (g_tab.places == nullptr) g_tab.places = TAB_create(kBuckets, sizeof(CTY_data), 2);
    const std::string cell_text = cell_key(cell(x), cell(y));
    const char* keys[2] = {data->id, cell_text.c_str()};
    if (TAB_add(g_tab.places, data, keys) < 0) return 0;
    g_tab.automatic = false;
    return 1;
}

int CTY_search(const char* id, CTY_data* data) {
    const void* found = TAB_find(g_tab.places, 0, id);
    if (found == nullptr || data == nullptr) return 0;
    std::memcpy(data, found, sizeof *data);
    return 1;
}

int CTY_search_loc(float x, float y, CTY_data* data) {
    if (data == nullptr || !std::isfinite(x) || !std::isfinite(y) || is_missing(x)) return 0;
    if (std::fabs(x) > 1e6f || std::fabs(y) > 1e6f) return 0;
    try {
        if (TAB_count(g_tab.places) == 0 || g_tab.automatic) {
            if (!load_for_domain()) return 0;
        }
        const long cx = cell(x), cy = cell(y);
        auto found = [&](long i, long j) {
            const void* p = TAB_find(g_tab.places, 1, cell_key(cx + i, cy + j).c_str());
            if (p != nullptr) std::memcpy(data, p, sizeof *data);
            return p != nullptr;
        };
        if (found(0, 0)) return 1;
        // Square rings of growing size; each ring's four sides in turn.
        for (long r = 1; r <= kRings; ++r) {
            for (long k = -r; k <= r; ++k)
                if (found(k, r)) return 1;
            for (long k = -r; k <= r; ++k)
                if (found(r, k)) return 1;
            for (long k = -r; k <= r; ++k)
                if (found(k, -r)) return 1;
            for (long k = -r; k <= r; ++k)
                if (found(-r, k)) return 1;
        }
    } catch (const std::bad_alloc&) {
        MESS_print(M_error, "CTY_search_loc: out of memory\n");
    }
    return 0;
}

int CTY_clear() {
    TAB_clear(g_tab.places);
    g_tab.automatic = false;
    return 0;
}
