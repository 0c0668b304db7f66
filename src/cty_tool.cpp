// Place lookups by identifier, name or WMO number, and the placeholders of
// the data overlays' station table.
#include "cty_tool.h"

#include <cstdio>
#include <cstdlib>

#include "mess.h"
#include "resrc.h"
#include "string.h"
#include "tools.h"

namespace {

constexpr int kMinItemsWithPosition = 7;  // name ... flag lat lon

struct CtyToolState {
    int id_type = 0;
    unsigned warned = 0;  // one bit per placeholder that has warned
};

CtyToolState g_tool;

bool matches(const CTY_data& d, const char* want) {
    if (str_iequal(want, d.id) || str_iequal(want, d.name)) return true;
    if (is_missing(d.wmo)) return false;
    char wmo[16];
    std::snprintf(wmo, sizeof wmo, "%05d", d.wmo);
    return str_iequal(want, wmo);
}

// Warns once per function and run; the callers ask once per station.
int table_not_built(const char* fn, unsigned bit) {
    if (!(g_tool.warned & bit)) {
        MESS_print(M_warn, "%s: station table not built yet\n", fn);
        g_tool.warned |= bit;
    }
    return 0;
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

int CTY_store(const CTY_data*, float, float) {
    return table_not_built("CTY_store", 1u << 0);
}
int CTY_search(const char*, CTY_data*) {
    return table_not_built("CTY_search", 1u << 1);
}
int CTY_search_loc(float, float, CTY_data*) {
    return table_not_built("CTY_search_loc", 1u << 2);
}
int CTY_clear() { return 0; }
