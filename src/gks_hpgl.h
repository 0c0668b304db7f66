// HP-GL/2 device of the graphics kernel (workstation type 5): plotter
// commands in 1015 units per inch, optionally wrapped in PCL printer escapes.
#ifndef ZEM_GKS_HPGL_H
#define ZEM_GKS_HPGL_H

#include <cstdio>

#include "gks_tran.h"

// "|command" pipes, "+name" appends, anything else creates the file.
std::FILE* ghpgl_open_file(const char* name);
Gint ghpgl_init();
// Prolog and trailer; close returns -1 when no file is open.
Gint ghpgl_init_file();
Gint ghpgl_close_file();
Gint ghpgl_printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
// World coordinates / plotter units directly; no line break.
Gint ghpgl_move(float x, float y);
Gint ghpgl_line(float x, float y);
Gint ghpgl_move_abs(float x, float y);
Gint ghpgl_line_abs(float x, float y);
Gint ghpgl_set_color(int ind);
Gint ghpgl_set_fill_color(int ind);
Gint ghpgl_set_width(int ind, float width);
Gint ghpgl_set_type(int type);
// 0 no PCL wrapper, 1 PCL wrapper, 2 PCL for a LaserJet turned 90 degrees.
Gint ghpgl_set_pcl(int pcl);
Gint ghpgl_set_rotate(int degrees);  // 0, 90, 180 or 270
Gint ghpgl_set_base_width(float w);

#endif
