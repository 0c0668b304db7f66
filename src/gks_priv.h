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

#include <array>
#include <cstdio>
#include <functional>
#include <string>
#include <utility>
#include <vector>

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

// ---- Devices --------------------------------------------------------------------
// Every workstation type is one row of a table of functions: the X11 window
// (types 1 and 6), PostScript (4), HP-GL/2 (5) and the metafile (3). The
// primitives and setters do the device-independent work (checks, display
// list, attribute state) and then hand the drawing to the current row. A
// null member means the device does nothing for that call. Another device
// (an off-screen raster, say) is one more row in gks_x11.cpp and a sibling
// gks_<name>.cpp that fills it.

// An attribute value as the setters record and the devices receive it; the
// display-list code says which fields are used (ints for indices, types,
// alignment and font; floats for widths, sizes, expansion, spacing and the
// up vector).
struct GksAttr {
    int i[2] = {0, 0};
    float f[2] = {0.0f, 0.0f};
};

struct IMG_report;
struct Gcolr_rep;

struct GksDevice {
    Gws_type type;
    const char* name;
    int init_code;  // ginit_plot code of the device
    // File devices open and close their output; X11 rows leave these null
    // (the workstation module opens the display itself).
    Gint (*open)(Gws_type type, const char* conn_id);
    Gint (*close)();
    // Primitives in world coordinates of the selected transform, already
    // checked and recorded. Return 1 when drawn.
    Gint (*polyline)(Gint n, const Gpt* pts);
    Gint (*polymarker)(Gint n, const Gpt* pts);
    Gint (*fill_area)(Gint n, const Gpt* pts);
    Gint (*text)(const Gpt* pt, const char* str);
    Gint (*image)(IMG_report* image, int x, int y);
    // An attribute setter changed a value (display-list code and value).
    void (*attribute)(int code, const GksAttr& v);
    // gset_colr_rep of an index (after the colour table took it).
    void (*colour_rep)(int ind, const Gcolr_rep& rep);
    // The clip region of the current viewport changed.
    void (*clip)();
    // Transform calls: code 10/11 workstation viewport/window, 16/17
    // viewport/window of transform n, 15 selection of transform n.
    void (*transform)(int code, int n, const Glim& lim);
    void (*message)(const char* text);
    void (*clear_region)(const Glim& lim);
    // Segment marks: code 81 create, 82 close, 83 delete.
    void (*segment)(int code, int n);
};
// The rows, each defined by its device file.
extern const GksDevice kGksX11Device;   // types 1 and 6, gks_x11.cpp
extern const GksDevice kGksMetaDevice;  // type 3, gks_meta.cpp
extern const GksDevice kGksPsDevice;    // type 4, gks_ps.cpp
extern const GksDevice kGksHpglDevice;  // type 5, gks_hpgl.cpp
extern const GksDevice kGksRastDevice;  // GKS_RASTER, gks_rast.cpp
// X11 drawing of each primitive, kept beside its graphics context.
Gint gks_x11_polyline(Gint n, const Gpt* pts);
Gint gks_x11_polymarker(Gint n, const Gpt* pts);
Gint gks_x11_fill_area(Gint n, const Gpt* pts);
Gint gks_x11_text(const Gpt* pt, const char* str);
Gint gks_x11_image(IMG_report* image, int x, int y);
void gks_x11_clip();
// The device of a workstation type, or null for unknown codes.
const GksDevice* gks_device_of(Gws_type type);
// The device of the open workstation, or null when none is open.
const GksDevice* gks_device();

// Device size and offset in device units, stored without touching the
// transforms (a file device's open sets them before its first ginit_plot).
void gks_set_device_size(int w, int h, int x, int y);

// Print a display list or a window through a file device: the workstation
// switches to the device (opened on conn_id, device size w x h when w > 0)
// until gks_print_end, which closes the file and restores the window's type,
// size and transforms. Returns 0, or -1 when the file cannot be opened.
Gint gks_print_begin(Gws_type type, const char* conn_id, int w, int h);
void gks_print_end();

// Off-screen raster workstation (gks_rast.cpp). Drawing contexts back to
// their start (thin solid lines, the viewport as clip), as ginit_plot does
// for the X11 contexts.
void gks_rast_defaults();
// Fill the whole picture with the background colour.
void gks_rast_clear();
// goverlay_image on the raster: pixels of the colour `background` names
// (the background colour when it names none) leave the picture as it was.
int gks_rast_overlay(const IMG_report* image, const char* background, int x, int y);
// gget_image on the raster: the picture as a 32-bit TrueColor window
// read-back (least significant byte first). 1, or 0 without a picture.
int gks_rast_get_image(IMG_report* image);
// The same picture lent without a copy: image->data points into the
// picture, stays valid until the next drawing and must not be freed or
// changed. 0 where the words of the picture are not the read-back's bytes
// (big-endian hosts) or without a picture.
int gks_rast_view_image(IMG_report* image);
// The 8 x 8 stipple of fill pattern index (row bytes, bit 0 leftmost) and
// the on/off dash lengths of line types 2-5, as the X11 contexts use them.
std::array<unsigned char, 8> gks_fill_pattern(int index);
std::vector<int> gks_line_dashes(int type);

// ---- Attribute setters ------------------------------------------------------------
// The steps every setter shares. gks_opened prints "GKS not opened" under
// func when the kernel is closed. gks_attr_int/gks_attr_float do nothing and
// return false when value is already in force; otherwise they record the
// call (display-list code), store the value and tell the device, and return
// true so that the caller can update its own X11 context.
bool gks_opened(const char* func);
bool gks_attr_int(int code, int& field, int value);
bool gks_attr_float(int code, float& field, float value);
// Record an attribute call and tell the device (for values the caller
// compares and stores itself).
void gks_attr_record(int code, const GksAttr& v);
// Apply a recorded attribute call again (display-list replay, metafile
// reading): calls the public setter of the code. Returns the setter's status.
Gint gks_attr_apply(int code, const GksAttr& v);

// Record an image put into the window (code 90, 91 for an overlay) with a
// copy of its pixels and colour table, so that redraws and prints show it.
void gks_record_image(const IMG_report* image, int x, int y, bool overlay);

// Attribute state the print devices read at drawing time.
struct GksLineState {
    int color;
    int type;
    float width;
    int print_bold;
};
GksLineState gks_line_state();
struct GksMarkState {
    int color;
    int type;
    float width;
    float size;
};
GksMarkState gks_marker_state();
struct GksFillState {
    int color;
    int style;
    int index;
    int print_solid;
};
GksFillState gks_fill_state();
struct GksTextState {
    int color;
    float width;
};
GksTextState gks_text_state();

// Strokes of one marker of type 1-9 and half size h around the device point
// (x, y), in device units; empty for other types.
using GksStroke = std::vector<std::pair<int, int>>;
std::vector<GksStroke> gks_marker_strokes(int type, int x, int y, int h);

// The strokes of a string in the current font and text attributes, in world
// coordinates, each handed to draw (a pen-down run of 2 or more points; runs
// longer than max_pts come as consecutive pieces that share their end
// points). Returns false when no stroke font is loaded.
bool gks_text_strokes(const Gpt& pt, const char* str, std::size_t max_pts,
                      const std::function<void(const std::vector<Gpt>&)>& draw);

// Output file of a print device: "|command" a pipe, "+name" appended,
// otherwise created. Messages name the kind ("Spooling to: %s" ...).
struct GksOutFile {
    std::FILE* fp = nullptr;
    bool pipe = false;
    bool append = false;
    bool open(const char* name);
    void close();
    ~GksOutFile() { close(); }
};
// Paper sizes of the print devices in inches (first = width of the
// unrotated drawing): the names letter ... ansid, or "sz" + separator +
// "WxH". False for other words.
bool gks_paper_size(const char* word, float* w, float* h);
// Case-insensitive: word starts with key and, when arg is set, *arg points
// behind key and one separator character.
bool gks_opt(const char* word, const char* key, const char** arg = nullptr);
// Panel geometry "P<cols>x<rows>+<col>+<row>" of a print page of w x h
// device units: sets size and offset; false when geom is not a panel.
bool gks_panel_geometry(const char* geom, int w, int h, int* pw, int* ph, int* px, int* py);
// The items of a list separated by delim (empty items kept).
std::vector<std::string> gks_split(const std::string& s, char delim);
// The viewport of the selected transform (NDC).
Glim gks_cur_viewport();
// A run-time data file along the resource "file_path" (the name itself
// when it is not found there).
std::string gks_find_file(const std::string& name);

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
