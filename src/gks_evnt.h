// X11 event dispatch, rubber bands, callbacks into the plot framework and
// the interactive hold loop.
#ifndef ZEM_GKS_EVNT_H
#define ZEM_GKS_EVNT_H

#include <X11/Xlib.h>

#include "gks_tran.h"

// Mouse/key callback: kind 3 buttons, 2 keys and resize; text such as
// "B1-P-Shft", "B3-R", "u-Alt", "size"; x, y in world coordinates of the
// current transform (a resize passes the new width and height in pixels).
typedef void (*Gmouse_func)(int kind, char* text, float x, float y);
typedef void (*Grefresh_func)();

Gint gset_mouse_callback(Gmouse_func func);
// Call func every seconds seconds while the hold loop runs (0: none).
Gint gset_refresh_callback(int seconds, Grefresh_func func);

// Process all pending events; returns the number of user events seen.
int gcheck_event();
// Block for at least one event, then drain the queue.
int gwait_event();
int gprocess_x11_event(XEvent* event);
int gis_mapped();
Gint gset_input_mode(int mode);   // 1 waiting for input, 0 idle
// False (0) once the hold was asked to finish, else true.
int gget_input_mode();
Gint gset_rubber_band(int kind);  // 0 off, 1 line, 2 rectangle, 3 connected line
Gint gset_rubber_band_points(const Gpt* pts, int n, int con);
// Two world corners limiting the band; x_min of kMissing means no limit.
Gint gset_rubber_band_limits(const Gpt* lim);
Gint ginit_event(int type);
// How many runs of exposures have copied the backing pixmap to the window
// (one copy per run, however many exposures it has).
int gget_expose_copies();
// The interactive loop of a new X11 window: animation, refresh timer,
// events, until Return, Alt+q or a finish message.
Gint ghold(Gint ws_id);

#endif
