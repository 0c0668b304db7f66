// Display list of the X11 window workstation: every picture-changing kernel
// call is recorded so that the window can be redrawn after a resize.
#ifndef ZEM_GKS_OBJ_H
#define ZEM_GKS_OBJ_H

#include <cstddef>

#include "gks_tran.h"

typedef void (*Gredraw_func)(void* data);

Gint ginit_objs();
Gint gset_cache(int on);
int gget_cache();
// Returns the previous recording switch.
int gset_redraw(int on);
int gget_redraw();
// Record a call: code, an integer argument and a copy of size bytes of data
// (data may be null: the block is then zeroed for the caller to fill).
// Returns the record's data block, or null when recording is off or the
// record could not be made.
void* gnew_obj(int code, int value, std::size_t size, const void* data);
// Append a code-999 record: func(data) is called on replay; data (malloc'd)
// then belongs to the list and is freed with it.
Gint gset_redraw_func(Gredraw_func func, void* data);
Gint gclear_objs();
Gint gdel_seg_objs(int n);
Gint gobj_redraw_plot();
Gint gobj_print_plot();
Gint gobj_print_meta();
int gget_num_objs();

#endif
