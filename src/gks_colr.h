// Colour table of the graphics kernel: colour indices 0-255, the background
// (256, also addressed as -1) and the print colours 500-508, mapped to
// device pixels.
#ifndef ZEM_GKS_COLR_H
#define ZEM_GKS_COLR_H

#include <X11/Xlib.h>

#include "gks_tran.h"

struct Gcolr_rep {
    Gfloat red;    // 0-1
    Gfloat green;
    Gfloat blue;
};

inline constexpr int GKS_BACK_IND = 256;       // background entry
inline constexpr int GKS_PRINT_FIRST = 500;    // print colours 500-508
inline constexpr int GKS_PRINT_LAST = 508;

// Give colour index ind the colour rep (500-508 are never redefined).
Gint gset_colr_rep(Gint ws_id, Gint ind, const Gcolr_rep* rep);
// Find or allocate a device colour for index ind (ind < 0: reuse an index of
// a colour within 0.01, else take a new one). Returns the device pixel
// (1 on print devices), or -1 when no colour can be had.
long galloc_colr(int ind, float r, float g, float b);
// Device pixel of an index (-1 gives the background's); -1 when unallocated.
long gget_color_ind(int ind);
Gint gget_color_rgb(int ind, float* r, float* g, float* b);
Gint gget_color_rgb256(int ind, int* r, int* g, int* b);
long gget_back_color();
int gget_max_colr();
// 1 for -1 ... 256 and 500-508.
int gis_valid_colr(int ind);
// 1 when colour ind (a device pixel when by_pixel is set) lies within 0.01
// of (r, g, b), summed over the components.
int gis_color_near(int ind, float r, float g, float b, int by_pixel);
// Pack 16-bit components into a TrueColor pixel with the visual's masks.
unsigned long gget_color_rgb_Xval(unsigned r, unsigned g, unsigned b);
Gint gquery_xcolor(int ind);
Gint ginit_xcolr();
Gint ginit_background();
Gint gset_background(const char* name);
Gint gset_inverse(int on);
Gint gset_rw_colors(int on);
Gint gset_local_colormap(int on);
Gint gset_def_cmap(Colormap cmap);
Gint gset_user_cmap(Colormap cmap);
int gget_inverse();
Colormap gget_def_cmap();
Colormap gget_user_cmap();
Colormap gget_colormap();

#endif
