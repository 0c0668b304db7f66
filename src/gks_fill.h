// Fill-area primitive, its attributes and the 20 fill patterns.
#ifndef ZEM_GKS_FILL_H
#define ZEM_GKS_FILL_H

#include <X11/Xlib.h>

#include "gks_tran.h"

enum Gfill_int_style { GHOLLOW = 0, GSOLID = 1, GPAT = 2, GHATCH = 3 };

inline constexpr int GKS_NUM_FILL_PAT = 20;

// Fill the polygon of n world points (the outline is painted too). Returns 1
// when drawn, 0 when the points miss the window, -1 on error.
Gint gfill_area(Gint n, const Gpt* pts);
Gint gset_fill_int_style(Gint style);
Gint gset_fill_style_ind(Gint ind);   // pattern 0-19
Gint gset_fill_colr_ind(Gint ind);
Gint gset_fill_print_solid(int on);
Gint gget_fill_colr();
GC gget_fill_gc();
Gint gget_fill_print_solid();
// 1 when pattern pat has its bit set at pixel (x mod 8, y mod 8), else 0
// (also 0 for a pattern number outside 0-19).
int gfill_test(int pat, int x, int y);
Gint gdel_fill_pat();
Gint ginit_fill(int type);
Gint greset_fill();

#endif
