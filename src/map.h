// Map backgrounds: the map list (outlines from map database files, image,
// metafile and raw-data layers) and the latitude/longitude grid drawn under
// and over a satellite image.
#ifndef ZEM_MAP_H
#define ZEM_MAP_H

#include <cstdio>

#include "gks_tran.h"
#include "maptran.h"

// Make `domain` active, set graphics window 2 to its limits and select
// normalisation transform 2. Returns 0, -1 for a null domain.
int MAP_setup(const Domain* domain);
// Draw the map list for one pass (1 under the image, 6 over it). Returns 0.
int MAP_draw(int pass);
// Draw one map list entry: 0 when drawn, -1 when skipped or failed.
int MAP_process(const char* entry);
// Draw one open map database file.
int MAP_map(std::FILE* fp);
// Keep (on != 0) or drop the lines of the map files last drawn, which
// MAP_map draws again while the file, the projection and the map window
// stay the same. Returns how many times kept lines were drawn again.
int MAP_map_cache(int on);
// Draw the latitude/longitude grid; -1 when either spacing is -9999.
int MAP_lines(float dlat, float dlon);
// Grid spacing, dot switch and extra-label spacing from the plot parameters.
int MAP_latlon(float dlat, float dlon, int dot, int extra);
int MAP_get_latlon(float* dlat, float* dlon, int* dot, int* extra);
// The map list, the default attribute string for map files, the
// contour-fill switch.
int MAP_file(const char* list);
int MAP_set_format(const char* format);
int MAP_fill_cont(int flag);
// The map window (graphics window 2) and its vertical/horizontal extents.
int MAP_get_window(Glim* lim);
float MAP_get_vert();
float MAP_get_hor();
// A circle of `radius` km around the projected point (x, y).
int MAP_draw_circle(float x, float y, float radius);

#endif
