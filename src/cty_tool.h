// Place lookups: the position of a place by identifier, name or WMO number
// (used by "id:" fields of domain strings), the station priority, and the
// station table of the data overlays.
#ifndef ZEM_CTY_TOOL_H
#define ZEM_CTY_TOOL_H

#include "cty_read.h"

// A placed station of the station table.
struct CTY_locate {
    char id[10];
    int wmo;
    float x;
    float y;
    float el;
    int pr;
};

// Look `id` up in place file `file` (null: the default). Returns 1 and the
// position when found, else 0.
int CTY_get_loc(const char* file, const char* id, float* lat, float* lon);
// The same with the whole place record.
int CTY_get(const char* file, const char* id, CTY_data* data);
// The resource "stat_prior" as an integer, 10 when unset.
int CTY_get_prior();
// Which identifier the station table is keyed by.
int CTY_set_id_type(int type);

// Station table of the data overlays. Not built yet: each prints a warning
// and fails.
int CTY_store(const CTY_data* data, float x, float y);
int CTY_search(const char* id, CTY_data* data);
// The station nearest to projected point (x, y); 1 when found, else 0.
int CTY_search_loc(float x, float y, CTY_data* data);
int CTY_clear();

#endif
