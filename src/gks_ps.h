// PostScript device of the graphics kernel (workstation type 4): a page or
// an Encapsulated PostScript file, written to a file, appended to one or
// piped to a command. Points (1/72 inch), y upwards, landscape by default.
#ifndef ZEM_GKS_PS_H
#define ZEM_GKS_PS_H

#include <cstdio>

#include "gks_tran.h"

struct IMG_report;

// "|command" pipes, "+name" appends, anything else creates the file.
// Returns the stream, or null when it cannot be opened.
std::FILE* gps_open_file(const char* name);
Gint gps_init();
Gint gps_set_size(float w, float h);  // paper size in inches
Gint gps_set_EPS(int on);
Gint gps_set_orient(int portrait);
Gint gps_set_scale(float scale);
Gint gps_set_colorPS(int on);
int gps_get_colorPS();
Gint gps_set_reverse(int on);
Gint gps_set_base_width(int w);
// Prolog and trailer; close returns -1 when no file is open.
Gint gps_init_file();
Gint gps_close_file();
Gint gps_printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
// World coordinates / print units directly.
Gint gps_move(float x, float y);
Gint gps_line(float x, float y);
Gint gps_move_abs(float x, float y);
Gint gps_line_abs(float x, float y);
Gint gps_set_color(int ind);
Gint gps_set_fill_color(int ind);
Gint gps_set_width(int ind, float width);
Gint gps_set_type(int type);
Gint gps_set_color_rep(int ind, float r, float g, float b);
float gps_get_gray(int ind);
// An 8-bit image into the current viewport, one sample per point.
Gint gps_image(IMG_report* image, int x, int y);

#endif
