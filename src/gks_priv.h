// Kernel-internal interfaces shared by the gks_*.cpp files only: the frame
// operations that the animation module plugs into the workstation, the table
// of file devices, and small helpers between the kernel modules. Nothing
// outside the graphics kernel may include this header.
#ifndef ZEM_GKS_PRIV_H
#define ZEM_GKS_PRIV_H

#ifndef ZEM_GKS_INTERNAL
#error "gks_priv.h is private to the graphics kernel (gks_*.cpp); use the public gks_ headers"
#endif

#include <X11/Xlib.h>

#include "gks_tran.h"

// ---- Frames --------------------------------------------------------------------
// The workstation and the hold loop reach the animation frames only through
// this table, so that the kernel works (as a single picture) before and
// without the frame module. The frame module registers its table once, at
// static-initialisation time, e.g. in gks_loop.cpp:
//
//     namespace { const GksFrameOps kOps = { ginit_loop, ... };
//                 const bool kRegistered = gks_set_frame_ops(&kOps); }
//
// Every member must be non-null. Frame numbers: -1 last, -2 current, -3 the
// base pixmap. Contracts are those of the public gks_loop functions of the
// same names.
struct GksFrameOps {
    void (*init_loop)();               // ginit_loop: no frames (pixmaps kept)
    int (*delete_all_frames)();        // free every frame pixmap
    int (*clear_frame)(int n);         // fill frame n / base (-3) with background
    int (*create_frame)(int n);        // returns the frame number made
    int (*select_frame)(int n);        // draw into frame n (-3 base)
    int (*copy_frame)(int dst, int src);
    int (*switch_frame)(int a, int b);
    int (*display_frame)(int n);       // show frame n (-2 current)
    int (*delete_frame)(int n);
    int (*set_looping)(int on);
    int (*toggle_loop)(int v);         // 1 on, 0 off, else toggle
    int (*get_looping)();
    int (*inc_loop_delay)(float step);
    float (*get_loop_delay)();
    int (*get_num_images)();
    int (*get_cur_frame)();
    Pixmap (*get_frame_id)(int n);     // 0 when the frame has no pixmap
    void (*loop_sleep)();              // wait out the current frame's delay
    int (*inc_frame)(int step);        // next frame to show, -1 when none
};

// Install the frame module's table; null restores the built-in single
// picture (no frames: clear_frame(-3) clears the base pixmap, display_frame
// copies the base pixmap to the window). Returns true.
bool gks_set_frame_ops(const GksFrameOps* ops);
// Never null.
const GksFrameOps* gks_frames();

// ---- File devices ----------------------------------------------------------------
// PostScript, HP-GL/2 and metafile workstations sit behind this table; the
// X11 device is built into the workstation module. A null member means the
// device does not take that call.
struct GksDevice {
    Gws_type type;
    const char* name;
    Gint (*open)(Gws_type type, const char* conn_id);
    Gint (*close)();
};
// The device of a workstation type, or null for X11 types and unknown codes.
const GksDevice* gks_file_device(Gws_type type);

// ---- Between kernel modules ------------------------------------------------------
// Apply the clip region of the current viewport to the device (X11: the
// line, marker, fill and text contexts).
void gks_apply_clip();
// World point -> 16-bit X11 pixel (+0.5 truncated), as every primitive does.
XPoint gks_world_to_xpoint(const Gpt& p);
// Fill the base pixmap (or the draw window when to_draw) with the background.
void gks_clear_base();
// The pixel a colour index draws with on X11: 500-508 draw as index 1,
// -1 is the background. -1 when the index has no device colour.
long gks_pixel_of(int ind);
// 1 when the index may be used for drawing (valid and, outside 500-508,
// allocated); otherwise prints the error under func and returns 0.
int gks_check_colr(const char* func, int ind);
// (Re)initialise a primitive's context: clip rectangle of the current
// viewport, background the screen's black pixel, foreground the pixel of
// colour index ind when it has one, else the screen's white pixel. The
// attribute setters skip a value already in force, so a context re-set after
// a resize must already draw in the colour its index stands for.
void gks_init_context(GC gc, int ind);
// Set the foreground of a primitive's context to colour index ind's pixel
// (nothing when there is no X11 workstation, context or pixel).
void gks_set_gc_colour(GC gc, int ind);
// Refresh the foreground of the contexts whose current colour is ind.
void gks_colour_changed(int ind, unsigned long pixel);
// Restore the X11 drawing state after a device (re)initialisation; set by
// ginit_plot: line width 0, solid, bevel joins on every context.
void gks_gc_defaults(GC gc);
// Free the X11 resources of each primitive module (contexts, fill
// bitmaps) before the display connection closes; the handles become null.
void gks_line_release();
void gks_marker_release();
void gks_fill_release();
void gks_text_release();
// A width or size in pixels as the int X11 takes: truncated, and kept
// within the 16-bit range of the protocol (NaN and negatives give 0), so
// that a huge value from an attribute string cannot overflow.
int gks_pixels(float v);
// Current drop-shadow count of text and markers.
int gks_drop_shadow();

#endif
