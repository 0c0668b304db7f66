// Polyline primitive and its attributes.
#ifndef ZEM_GKS_LINE_H
#define ZEM_GKS_LINE_H

#include <X11/Xlib.h>

#include "gks_tran.h"

// Draw n >= 2 world points of the selected transform as connected lines.
// Returns 1 when drawn, 0 when the points miss the window, -1 on error.
Gint gpolyline(Gint n, const Gpt* pts);
Gint gset_linetype(Gint type);        // 1 solid, 2-5 dash patterns
Gint gset_linewidth(Gfloat width);    // >= 0
Gint gset_line_colr_ind(Gint ind);
Gint gset_line_print_bold(Gint bold); // print-device width multiplier, >= 1
Gint gget_line_colr();
GC gget_line_gc();
Gint gget_line_print_bold();
// X11 drawing function of the line context (3 copy, 6 exclusive-or).
Gint gset_line_gc_func(int func);
Gint gget_line_gc_func();
// Pixel-space line / rectangle (corners in any order) with the line context
// into window win; used for rubber bands.
Gint gxline(Window win, const XPoint* a, const XPoint* b);
Gint gxrect(Window win, const XPoint* a, const XPoint* b);
Gint ginit_line(int type);
Gint greset_line();

#endif
