// Map projections: conversions between latitude/longitude and projected and
// grid coordinates for the one active domain, wind-direction rotation between
// true north and the grid, and station thinning on the domain's grid.
//
// Projected units are hundreds of kilometres for codes 1, 3, 4, 5, 7, 8, 9,
// degrees (relative to plon) for code 2, pixels for code 99 and data units
// for the diagram kinds. Points that a projection cannot show give -9999 in
// both outputs and a 0 result.
#ifndef ZEM_MAPTRAN_H
#define ZEM_MAPTRAN_H

#include "region.h"

// The projected extent of a domain (both x limits first).
struct MAP_limits {
    float x_min;
    float x_max;
    float y_min;
    float y_max;
};

// A latitude/longitude pair in degrees, longitude east-positive.
struct EarthPoint {
    float lat;
    float lon;
};

// A projected coordinate pair.
struct Point {
    float x;
    float y;
};

// Make `domain` the active domain (copied; unset plat/plon taken from the
// centre) and compute its limits. A null domain sets code -9999 and returns
// -1; otherwise 0.
int MAP_domain(const Domain* domain);
// Copy the active domain into `domain` and return it; with null, return the
// module's own active domain (valid until the next MAP_domain).
Domain* MAP_get_domain(Domain* domain);
// Change only the projection code / projection point / Lambert standard
// latitudes of the active domain; the limits are not recomputed. Return 0.
int MAP_proj(int proj);
int MAP_coord(float plat, float plon);
int MAP_proj_coord(float p1, float p2);
int MAP_get_proj();
float MAP_get_clat();
float MAP_get_clon();
int MAP_print_domain();
int MAP_proj_str(const char* name);

// Forward and inverse transforms of the active domain. Return 1 when
// converted, 0 when not visible (outputs -9999).
int MAP_tran(float lat, float lon, float* x, float* y);
int MAP_untran(float x, float y, float* lat, float* lon);
// Row forms for bulk callers such as the image remapper; point k gets
// exactly what the point-wise calls give it. MAP_untran_row: MAP_untran of
// (xs[k], y) into lat[k], lon[k] (-9999 both when not visible).
// MAP_tran_grid_row: MAP_tran then MAP_grid_untran of (lat[k], lon[k]) into
// gx[k], gy[k]; -9999 both when lat[k] is -9999, the point is not visible or
// the grid is degenerate. Both return the number of points converted.
int MAP_untran_row(const float* xs, int n, float y, float* lat, float* lon);
int MAP_tran_grid_row(const float* lat, const float* lon, int n, float* gx, float* gy);
int MAP_tran_ep(const EarthPoint* ep, Point* pt);
int MAP_tran_pe(const Point* pt, EarthPoint* ep);
int MAP_tran_center(float* x, float* y);

// Limits of the active domain; the view is the viewport extent used by the
// skew-T and tephigram kinds.
int MAP_set_limits();
int MAP_get_limits(MAP_limits* limits);
int MAP_set_view(const MAP_limits* view);
int MAP_get_up_left(float* x, float* y);
int MAP_in_domain(float x, float y);
int MAP_in_grid_domain(float x, float y);

// Grid column/row (row 0 at the top edge) to projected coordinates and back.
// Return -1 with -9999 outputs when the first input is -9999, else 0.
int MAP_grid_tran(float gx, float gy, float* x, float* y);
int MAP_grid_untran(float x, float y, float* gx, float* gy);

// Projected coordinates of domain d1 to those of domain d2; the active domain
// is kept. Returns the result of the forward transform (1 visible, 0 not).
int MAP_domain_tran(const Domain* d1, const Domain* d2, float x1, float y1,
                    float* x2, float* y2);
// The point `dist` km from (x, y) along bearing `dir` (degrees). Returns the
// forward transform's result.
int MAP_offset(float x, float y, float dir, float dist, float* xo, float* yo);
// Map scale factor used to size symbols.
float MAP_factor(float lat, float lon);

// Wind directions (degrees clockwise from north): true to grid, grid to
// true, the rotation for vector components, and a segment's direction.
float MAP_dir_adj(float dir, float x, float y);
float MAP_undir_adj(float dir, float x, float y);
float MAP_uvdir_adj(float u, float v, float x, float y);
float MAP_dir(float x1, float y1, float x2, float y2);

// Station thinning: one label per grid cell of the active domain (refined or
// coarsened by the limit).
int MAP_set_plot_limit(int limit);
int MAP_plot_grid_init();
int MAP_plot_grid(float x, float y);

#endif
