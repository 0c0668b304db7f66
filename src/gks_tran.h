// Graphics kernel shared types, normalisation transforms with clipping, and
// the graph-setup layer (GPH_) used to open and lay out a plot.
#ifndef ZEM_GKS_TRAN_H
#define ZEM_GKS_TRAN_H

#include <cstdint>

typedef std::int32_t Gint;
typedef float Gfloat;
typedef char Gchar;

struct Gpt {
    Gfloat x;
    Gfloat y;
};

// A rectangle; both x limits come first.
struct Glim {
    Gfloat x_min;
    Gfloat x_max;
    Gfloat y_min;
    Gfloat y_max;
};

struct Gtran {
    Glim win;
    Glim vp;
};

struct Grectangle {
    Gint x;
    Gint y;
    Gint width;
    Gint height;
};

struct Gint_pt {
    Gint x_coord;
    Gint y_coord;
};

struct Gaspect {
    Gfloat x;
    Gfloat y;
};

struct Gcenter {
    Gint x;
    Gint y;
};

enum Gcoord_unit { GMETER_UNIT = 0, GOTHER_UNIT = 1 };

struct Gdsp_size {
    Gcoord_unit coord_units;
    Gpt coord_size;
    Gint_pt ras_size;
};

typedef Gint Gws_type;
typedef Gchar* Gconn_id;

enum Gclear_flag { GCOND = 0, GALWAYS = 1 };

// Workstation type codes (Gws_type).
inline constexpr Gws_type GWS_ASK = 0;      // not chosen yet: GPH_begin prompts
inline constexpr Gws_type GWS_X11 = 1;      // new X11 window with a backing pixmap
inline constexpr Gws_type GWS_META = 3;     // text metafile or binary CGM
inline constexpr Gws_type GWS_PS = 4;       // PostScript file
inline constexpr Gws_type GWS_HPGL = 5;     // HP-GL/2 file
inline constexpr Gws_type GWS_PIX = 6;      // an existing X11 window named by the environment
// The picture of a new window drawn in memory, taken instead of GWS_X11
// when no X server can be opened and frames are only written to files.
inline constexpr Gws_type GKS_RASTER = 7;

// Number of normalisation transforms (0 unit square, 1 whole drawing area,
// 2 map and image panel, 3 contour and vector panel, 4-5 spare).
inline constexpr int GKS_NUM_TRAN = 6;

// ---- Coordinate transforms -------------------------------------------------
// World coordinates of the selected transform -> NDC.
float xW_NDC(float x);
float yW_NDC(float y);
// World -> X11 pixel (y runs down), clamped to -30000 ... 30000.
float xW_p(float x);
float yW_p(float y);
// Exact inverse of xW_p/yW_p, not clamped.
float xp_W(float x);
float yp_W(float y);
// World -> print units (y runs up), clamped to -100000 ... 100000.
float xW_ps(float x);
float yW_ps(float y);
// NDC -> X11 pixel / print units (second halves of the above, same clamps).
float xNDC_p(float x);
float yNDC_p(float y);
float xNDC_ps(float x);
float yNDC_ps(float y);
// A world coordinate of transform t1 -> world coordinate of transform t2,
// from the stored windows and viewports, whatever transform is selected.
float xW_trans(float v, int t1, int t2);
float yW_trans(float v, int t1, int t2);

// ---- Transform calls (0 success, -1 failure) ---------------------------------
// Store the window (world limits) or viewport (NDC) of transform 0-5. When
// it is the selected one the current copies and the device clip follow.
Gint gset_win(Gint tran_num, const Glim* win_lim);
Gint gset_vp(Gint tran_num, const Glim* vp_lim);
// Select a transform; re-selecting the current one does nothing at all.
Gint gsel_norm_tran(Gint tran_num);
// Workstation window (NDC part shown) and viewport (device units).
Gint gset_ws_win(Gint ws_id, const Glim* lim);
Gint gset_ws_vp(Gint ws_id, const Glim* lim);
Gint ginq_norm_tran(Gint n, Gint* err_ind, Gtran* tran);
Gint ginq_cur_norm_tran_num(Gint* err_ind, Gint* n);
Gint ginq_disp_space_size(Gws_type type, Gint* err_ind, Gdsp_size* size);
// 1 when the bounding box of the points overlaps the current window
// (touching edges count), else 0.
int gpts_in_win(Gint n, const Gpt* pts);
// The current viewport in device units (X11 types, PostScript, HPGL);
// other types leave the record unchanged. The X11 form is gget_xviewport in
// gks_x11.h.
Gint gget_gviewport(Grectangle* rect);
// (Re)initialise the transforms for a device: 0 X11 window, 1 X11 redraw,
// 2 PostScript, 3 HPGL, 4 metafile, 10 window size change (keeps transforms).
Gint ginit_tran(int type);
// Debug print of the current window and windows 0-3.
Gint gprint_win();
// Fit the largest rectangle of ratio asp into vin; placement per axis:
// 2 centre, 3 flush with the upper limit, else from 0.
Gint gset_aspect(const Glim* vin, Glim* vout, Gaspect asp, Gcenter center);
// Largest NDC extent of the current device: 1.0 along its longer side.
Gint ginq_maxview(Gws_type type, float* xvp, float* yvp);

#endif
