// Polymarker primitive and its attributes.
#ifndef ZEM_GKS_MARK_H
#define ZEM_GKS_MARK_H

#include <X11/Xlib.h>

#include "gks_tran.h"

// Draw a marker at each of n world points. Returns 1 when drawn, 0 when the
// points miss the window, -1 on error.
Gint gpolymarker(Gint n, const Gpt* pts);
Gint gset_marker_type(Gint type);     // 1-9; others draw nothing
Gint gset_marker_size(Gfloat size);   // >= 0; 1.0 is 10 pixels on X11
Gint gset_marker_width(Gfloat width); // >= 0
Gint gset_marker_colr_ind(Gint ind);
Gint gget_marker_colr();
GC gget_marker_gc();
Gint ginit_marker(int type);
Gint greset_marker();

#endif
