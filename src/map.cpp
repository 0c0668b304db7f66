// Map backgrounds. The map window set-up and the map-list settings exist;
// drawing the map list, map database files and the latitude/longitude grid
// is not built yet.
#include "map.h"

#include <string>

#include "gks_tool.h"
#include "gks_tran.h"
#include "mess.h"
#include "tools.h"

namespace {

constexpr Gint kMapTran = 2;  // normalisation transform of the map panel

struct MapBgState {
    std::string list;    // map list set by MAP_file
    std::string format;  // default attribute string of map files
    float latln = 0.0f;  // grid spacings in degrees, 0 = no grid
    float lonln = 0.0f;
    int dot = 0;
    int extra = 0;
    int fill_cont = 0;
    unsigned warned = 0;  // one bit per placeholder that has warned
};

MapBgState g_bg;

// Warns once per function and run: MAP_draw is called for every frame.
int not_built(const char* fn, unsigned bit) {
    if (!(g_bg.warned & bit)) {
        MESS_print(M_warn, "%s: map backgrounds not built yet\n", fn);
        g_bg.warned |= bit;
    }
    return -1;
}

}  // namespace

int MAP_setup(const Domain* domain) {
    if (MAP_domain(domain) != 0) return -1;
    MAP_limits lim{};
    MAP_get_limits(&lim);
    const Glim win{lim.x_min, lim.x_max, lim.y_min, lim.y_max};
    gset_win(kMapTran, &win);
    gsel_norm_tran(kMapTran);
    return 0;
}

int MAP_draw(int) {
    return not_built("MAP_draw", 1u << 0);
}
int MAP_process(const char*) {
    return not_built("MAP_process", 1u << 1);
}
int MAP_map(std::FILE*) {
    return not_built("MAP_map", 1u << 2);
}
int MAP_lines(float, float) {
    return not_built("MAP_lines", 1u << 3);
}
int MAP_draw_circle(float, float, float) {
    return not_built("MAP_draw_circle", 1u << 4);
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
