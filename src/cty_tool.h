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

// Station table: places stored at projected positions. CTY_store adds one
// (1, or 0 for a position that is not on the map); CTY_search finds one by
// identifier (1 when found).
int CTY_store(const CTY_data* data, float x, float y);
int CTY_search(const char* id, CTY_data* data);
// The stored place nearest to projected point (x, y), searching square
// rings of cells a tenth of a unit wide, 50 of them at most; 1 when found.
// With nothing stored by the caller the table is filled with every place
// of the place file on the active domain (and refilled when it changes).
int CTY_search_loc(float x, float y, CTY_data* data);
// Empties the table.
int CTY_clear();

#endif
