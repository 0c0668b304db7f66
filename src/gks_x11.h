// Workstation layer of the graphics kernel: the kernel and its single
// workstation (id 1), the X11 window with its backing pixmap or an existing
// window handed over through the environment, names, sizes, cursors and X11
// error handling. File devices are routed from here as well.
#ifndef ZEM_GKS_X11_H
#define ZEM_GKS_X11_H

#include <X11/Xlib.h>

#include "gks_tran.h"

// ---- Kernel and workstation (0 success, -1 failure) --------------------------
// Error stream: the named file (created) or standard error when err_f is
// null or empty. Returns non-zero when the file cannot be opened.
Gint gopen_gks(const Gchar* err_f, Gint mem);
Gint gclose_gks();
Gint gemergency_close_gks();
// Open workstation ws_id of the given type on connection "name,options...".
Gint gopen_ws(Gint ws_id, const Gchar* conn_id, Gws_type ws_type);
Gint gactivate_ws(Gint ws_id);
Gint gdeactivate_ws(Gint ws_id);
Gint gclose_ws(Gint ws_id);
// X11 window: fill the backing pixmap with the background, empty the
// display list.
Gint gclear_ws(Gint ws_id, Gclear_flag flag);
Gint gmessage(Gint ws_id, const char* text);
Gint gcreate_seg(Gint n);
Gint gclose_seg(Gint n);
Gint gdel_seg(Gint n);
Gint gclear_region(const Glim* lim);
// Device re-initialisation: -1 nothing, 0 new X11 window, 1 X11 redraw,
// 2 PostScript, 3 HPGL, 4 metafile.
Gint ginit_plot(int code);

Gint gupdate_window();
Gint gsync();
Gint gbell(int percent);

// ---- Sizes --------------------------------------------------------------------
Gint gget_win_size(int* w, int* h);
Gint gget_win_offset(int* x, int* y);
Gint gget_root_size(int* w, int* h);
int gget_window_width();
int gget_window_height();
Gint gset_win_size(int w, int h);
Gint gset_xsize(int w, int h);
Gint gset_xoff(int x, int y);
// w > 0: resize to w x h; w <= 0: adopt the window's real size (w = -1
// keeps the old picture). Returns 1 when the size changed, else 0.
Gint gresize_window(int w, int h);

// ---- Names ----------------------------------------------------------------------
Gint gset_prog_name(const char* name);
const char* gget_prog_name();
Gint gset_win_title(const char* title);
const char* gget_win_title();
Gint gset_win_title_extra(const char* str);
// Copies the part of the window name after the title and one space into
// buf (size bytes, always terminated); empty when there is none.
Gint gget_win_title_extra(char* buf, int size);

// ---- Settings before opening --------------------------------------------------
Gint gset_geometry(const char* str);
Gint gset_iconic(int flag);
Gint gset_fixed_size();
Gint gset_pix_mode(int mode);
Gint gset_icon_bitmap(const unsigned char* bits);  // 288 bytes, 48 x 48
Gint gset_win_type(Gws_type type);
Gws_type gget_win_type();
Gint gget_ws_id();
// 1 while a workstation is open, else 0.
int gchk_graphics();

// ---- Accessors for the other modules --------------------------------------------
Display* gget_display();
int gget_screen();
Visual* gget_visual();
int gget_win_depth();
Window gget_root_window();
Pixmap gget_base_window();
Gint gset_base_window(Pixmap pix);
Drawable gget_draw_window();
Gint gset_draw_window(Drawable win);  // 0 selects the base pixmap
GC gget_root_gc();
unsigned long gget_red_mask();
unsigned long gget_grn_mask();
unsigned long gget_blu_mask();
int gtype_is_WIN();
int gtype_is_PIX();
int gtype_is_WIN_PIX();
int gtype_is_PS();
int gtype_is_HPGL();
int gtype_is_META();
// The workstation is the in-memory picture that stands in for a window.
int gtype_is_RAST();
// With on set, a new window (type 1) that finds no X server becomes the
// in-memory picture instead of failing: for runs whose frames are only
// written to image files. Returns 0.
Gint gset_offscreen(int on);
// The current viewport as an X11 rectangle (rounded as the clip region).
Gint gget_xviewport(XRectangle* rect);

// ---- Cursors: 0 X, 1 pointer, 2 move, 3 loop running, 4 loop stopped,
// 5 draw, 6 rectangle, 7 text, 8 busy. -----------------------------------------
int gset_cursor(int code);        // sets and synchronises; returns the old code
int gset_cursor_type(int code);   // sets without synchronising
int gget_cursor_type();

// ---- Errors -------------------------------------------------------------------
// "func: message\n" at level warn, when an error stream is set.
Gint gerr_printf(const char* func, const char* format, ...) __attribute__((format(printf, 2, 3)));

#endif
