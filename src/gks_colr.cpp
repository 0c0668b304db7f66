// Colour table of the graphics kernel: colour indices to device colours,
// with private read-write cells where the visual has them and shared cells
// otherwise, the background entry and the private colormap.
#define ZEM_GKS_INTERNAL
#include "gks_colr.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <string>

#include "colors.h"
#include "gks_fill.h"
#include "gks_line.h"
#include "gks_mark.h"
#include "gks_obj.h"
#include "gks_priv.h"
#include "gks_text.h"
#include "gks_x11.h"
#include "mess.h"
#include "resrc.h"

namespace {

constexpr int kTable = 257;   // 0-255 and the background at 256
constexpr float kNear = 0.01f;

struct ColrState {
    std::array<float, kTable> red{}, grn{}, blu{};
    std::array<long, kTable> color_ind{};   // device pixel, -1 unallocated
    std::array<bool, kTable> rw_cell{};     // pixel is our read-write cell
    int max_color_ind = -1;
    Colormap def_colormap = 0;
    Colormap user_colormap = 0;
    bool local_cmap = false;
    bool rw_colors = true;
    bool inverse = false;
    std::string background;
    ColrState() { color_ind.fill(-1); }
};
ColrState g_clr;

bool x11_ready() { return gtype_is_WIN_PIX() && gget_display(); }

int table_slot(int ind) { return ind < 0 ? 256 : ind; }

unsigned short comp16(float v) {
    return static_cast<unsigned short>(std::clamp(v, 0.0f, 1.0f) * 65535.0f);
}

// Allocate or store one X11 colour for table slot ind; -1 on failure.
long x11_alloc(int ind, float r, float g, float b) {
    Display* dpy = gget_display();
    const Colormap cmap = gget_colormap();
    XColor xc{};
    xc.red = comp16(r);
    xc.green = comp16(g);
    xc.blue = comp16(b);
    xc.flags = DoRed | DoGreen | DoBlue;
    const std::size_t s = static_cast<std::size_t>(ind);
    if (g_clr.color_ind[s] < 0 && g_clr.rw_colors) {
        unsigned long pixel = 0;
        if (XAllocColorCells(dpy, cmap, False, nullptr, 0, &pixel, 1)) {
            g_clr.color_ind[s] = static_cast<long>(pixel);
            g_clr.rw_cell[s] = true;
        } else {
            g_clr.rw_colors = false;  // the visual has none: shared cells from now on
        }
    }
    if (g_clr.color_ind[s] >= 0 && g_clr.rw_cell[s]) {
        xc.pixel = static_cast<unsigned long>(g_clr.color_ind[s]);
        XStoreColor(dpy, cmap, &xc);
        return g_clr.color_ind[s];
    }
    if (!XAllocColor(dpy, cmap, &xc)) return -1;
    g_clr.color_ind[s] = static_cast<long>(xc.pixel);
    g_clr.rw_cell[s] = false;
    return g_clr.color_ind[s];
}

int mask_shift(unsigned long mask) {
    int s = 0;
    while (mask && !(mask & 1ul)) {
        mask >>= 1;
        ++s;
    }
    return s;
}

int mask_width(unsigned long mask) {
    int w = 0;
    mask >>= mask_shift(mask);
    while (mask & 1ul) {
        mask >>= 1;
        ++w;
    }
    return w;
}

bool name_means_none(const std::string& n) {
    return n == "none" || n == "def" || n == "over";
}

}  // namespace

long gks_pixel_of(int ind) {
    if (ind >= GKS_PRINT_FIRST && ind <= GKS_PRINT_LAST) ind = 1;
    if (ind < -1 || ind > 256) return -1;
    return g_clr.color_ind[static_cast<std::size_t>(table_slot(ind))];
}

int gks_check_colr(const char* func, int ind) {
    if (!gis_valid_colr(ind)) {
        gerr_printf(func, "invalid color index: %d", ind);
        return 0;
    }
    // A metafile allocates nothing: its reader gives the colours again.
    if (ind >= GKS_PRINT_FIRST || gtype_is_META()) return 1;
    // Print devices have no pixels; the colour table entry is what counts.
    if (!gtype_is_WIN_PIX()) {
        if (ind < 0 || ind <= g_clr.max_color_ind) return 1;
    } else if (gks_pixel_of(ind) >= 0) {
        return 1;
    }
    gerr_printf(func, "color index not initialized");
    return 0;
}

void gks_init_context(GC gc, int ind) {
    Display* dpy = gget_display();
    if (!dpy || !gc) return;
    XRectangle r{};
    gget_xviewport(&r);
    XSetClipRectangles(dpy, gc, 0, 0, &r, 1, Unsorted);
    const long pix = gks_pixel_of(ind);
    XSetForeground(dpy, gc, pix >= 0 ? static_cast<unsigned long>(pix) : WhitePixel(dpy, gget_screen()));
    XSetBackground(dpy, gc, BlackPixel(dpy, gget_screen()));
}

void gks_set_gc_colour(GC gc, int ind) {
    if (!x11_ready() || !gc) return;
    const long pix = gks_pixel_of(ind);
    if (pix >= 0) XSetForeground(gget_display(), gc, static_cast<unsigned long>(pix));
}

void gks_colour_changed(int ind, unsigned long pixel) {
    Display* dpy = gget_display();
    if (!dpy) return;
    if (gget_line_colr() == ind && gget_line_gc()) XSetForeground(dpy, gget_line_gc(), pixel);
    if (gget_text_colr() == ind && gget_text_gc()) XSetForeground(dpy, gget_text_gc(), pixel);
    if (gget_marker_colr() == ind && gget_marker_gc()) XSetForeground(dpy, gget_marker_gc(), pixel);
    if (gget_fill_colr() == ind && gget_fill_gc()) XSetForeground(dpy, gget_fill_gc(), pixel);
}

Gint gset_colr_rep(Gint /*ws_id*/, Gint ind, const Gcolr_rep* rep) {
    if (ind >= GKS_PRINT_FIRST && ind <= GKS_PRINT_LAST) return 0;
    if (!rep || ind < -1 || ind > 256) {
        gerr_printf("gset_colr_rep", "invalid color index: %d", ind);
        return -1;
    }
    const GksDevice* d = gks_device();
    if (gtype_is_META()) {  // the record only
        if (d && d->colour_rep) d->colour_rep(ind, *rep);
        return 0;
    }
    (void)gnew_obj(20, ind, sizeof(Gcolr_rep), rep);
    const long pix = galloc_colr(ind, rep->red, rep->green, rep->blue);
    if (d && d->colour_rep) d->colour_rep(ind, *rep);
    return pix >= 0 ? 0 : -1;
}

long galloc_colr(int ind, float r, float g, float b) {
    if (ind < 0) {
        // Any index will do: reuse a colour that is close enough. The
        // highest index counts too, or asking twice for one new colour
        // would take a new index each time until the table is full.
        int found = -1;
        for (int i = 0; i <= g_clr.max_color_ind; ++i) {
            const std::size_t s = static_cast<std::size_t>(i);
            if (std::fabs(g_clr.red[s] - r) + std::fabs(g_clr.grn[s] - g) + std::fabs(g_clr.blu[s] - b) <= kNear)
                found = i;
        }
        if (found >= 0 && (!x11_ready() || g_clr.color_ind[static_cast<std::size_t>(found)] >= 0))
            return x11_ready() ? g_clr.color_ind[static_cast<std::size_t>(found)] : 1;
        ind = g_clr.max_color_ind + 1;
        if (ind > 255) return -1;
    }
    if (ind > 256) return -1;
    if (ind > g_clr.max_color_ind && ind < 256) g_clr.max_color_ind = ind;
    const std::size_t s = static_cast<std::size_t>(ind);
    g_clr.red[s] = r;
    g_clr.grn[s] = g;
    g_clr.blu[s] = b;
    if (!x11_ready()) {
        // A window being printed keeps its own pixels.
        if (gtype_is_PS() && g_clr.color_ind[s] == -1) g_clr.color_ind[s] = -2;
        return 1;
    }
    const long pix = x11_alloc(ind, r, g, b);
    if (pix >= 0) gks_colour_changed(ind, static_cast<unsigned long>(pix));
    return pix;
}

long gget_color_ind(int ind) {
    if (ind < -1 || ind > 256) return -1;
    return g_clr.color_ind[static_cast<std::size_t>(table_slot(ind))];
}

Gint gget_color_rgb(int ind, float* r, float* g, float* b) {
    if (ind >= GKS_PRINT_FIRST && ind <= GKS_PRINT_LAST) ind = 1;
    if (ind < -1 || ind > 256) return -1;
    const std::size_t s = static_cast<std::size_t>(table_slot(ind));
    if (r) *r = g_clr.red[s];
    if (g) *g = g_clr.grn[s];
    if (b) *b = g_clr.blu[s];
    return 0;
}

Gint gget_color_rgb256(int ind, int* r, int* g, int* b) {
    float fr = 0, fg = 0, fb = 0;
    if (gget_color_rgb(ind, &fr, &fg, &fb) < 0) return -1;
    if (r) *r = static_cast<int>(fr * 255.0f);
    if (g) *g = static_cast<int>(fg * 255.0f);
    if (b) *b = static_cast<int>(fb * 255.0f);
    return 0;
}

long gget_back_color() { return g_clr.color_ind[256]; }
int gget_max_colr() { return g_clr.max_color_ind; }

int gis_valid_colr(int ind) {
    return (ind >= -1 && ind <= 256) || (ind >= GKS_PRINT_FIRST && ind <= GKS_PRINT_LAST);
}

int gis_color_near(int ind, float r, float g, float b, int by_pixel) {
    int slot = -1;
    if (by_pixel) {
        for (int i = 0; i < kTable; ++i) {
            if (g_clr.color_ind[static_cast<std::size_t>(i)] == ind) {
                slot = i;
                break;
            }
        }
    } else if (ind >= -1 && ind <= 256) {
        slot = table_slot(ind);
    }
    if (slot < 0) return 0;
    const std::size_t s = static_cast<std::size_t>(slot);
    return std::fabs(g_clr.red[s] - r) + std::fabs(g_clr.grn[s] - g) + std::fabs(g_clr.blu[s] - b) <= kNear ? 1 : 0;
}

unsigned long gget_color_rgb_Xval(unsigned r, unsigned g, unsigned b) {
    unsigned long out = 0;
    const unsigned comps[3] = {r & 0xFFFFu, g & 0xFFFFu, b & 0xFFFFu};
    const unsigned long masks[3] = {gget_red_mask(), gget_grn_mask(), gget_blu_mask()};
    for (int i = 0; i < 3; ++i) {
        const int width = mask_width(masks[i]);
        if (width == 0) continue;
        const unsigned long v = width >= 16 ? comps[i] : (comps[i] >> (16 - width));
        out |= (v << mask_shift(masks[i])) & masks[i];
    }
    return out;
}

Gint gquery_xcolor(int ind) {
    if (!x11_ready() || gget_color_ind(ind) < 0) return -1;
    XColor xc{};
    xc.pixel = static_cast<unsigned long>(gget_color_ind(ind));
    XQueryColor(gget_display(), gget_colormap(), &xc);
    MESS_print(M_debug, "Color %d: pixel %lu rgb %u %u %u\n", ind, xc.pixel, xc.red, xc.green, xc.blue);
    return 0;
}

Gint ginit_xcolr() {
    if (gtype_is_WIN() && gget_display() && !g_clr.user_colormap &&
        (g_clr.local_cmap || std::getenv("LOCAL_CMAP") || std::getenv("zemlocal_cmap"))) {
        Display* dpy = gget_display();
        g_clr.user_colormap = XCreateColormap(dpy, gget_root_window(), gget_visual(), AllocNone);
        XSetWindowColormap(dpy, gget_root_window(), g_clr.user_colormap);
    }
    g_clr.color_ind.fill(-1);
    g_clr.rw_cell.fill(false);
    g_clr.max_color_ind = -1;
    return 0;
}

Gint ginit_background() {
    std::string name = g_clr.background;
    if (name.empty()) {
        if (const char* r = RES_get("background"); r && *r) name = r;
    }
    if (name.empty() && gget_display()) {
        if (const char* d = XGetDefault(gget_display(), gget_prog_name(), "background"); d && *d) name = d;
    }
    if (gtype_is_PS()) {
        g_clr.red[256] = g_clr.grn[256] = g_clr.blu[256] = 1.0f;
        return 0;
    }
    if (gtype_is_RAST()) {
        // The picture's background: a colour-table name, else black (white
        // when inverse), as the server's pixel reads back.
        float r = g_clr.inverse ? 1.0f : 0.0f, g = r, b = r;
        const int ci = name.empty() || name_means_none(name) ? -1 : CLR_get_ind(name.c_str());
        if (ci >= 0 && ci < 256) CLR_get_rgb(ci, &r, &g, &b);
        g_clr.red[256] = static_cast<float>(comp16(r) >> 8) / 255.0f;
        g_clr.grn[256] = static_cast<float>(comp16(g) >> 8) / 255.0f;
        g_clr.blu[256] = static_cast<float>(comp16(b) >> 8) / 255.0f;
        gks_rast_clear();
        return 0;
    }
    if (!x11_ready()) return 0;
    if (name_means_none(name)) return 0;
    Display* dpy = gget_display();
    const Colormap cmap = gget_colormap();
    XColor xc{};
    bool have = false;
    if (!name.empty()) {
        const int ci = CLR_get_ind(name.c_str());
        float r = 0, g = 0, b = 0;
        if (ci >= 0 && ci < 256 && CLR_get_rgb(ci, &r, &g, &b) == 0) {
            xc.red = comp16(r);
            xc.green = comp16(g);
            xc.blue = comp16(b);
            have = true;
        } else if (XParseColor(dpy, cmap, name.c_str(), &xc)) {
            have = true;
        }
    }
    if (!have) {
        const int scr = gget_screen();
        xc.pixel = g_clr.inverse ? WhitePixel(dpy, scr) : BlackPixel(dpy, scr);
        XQueryColor(dpy, DefaultColormap(dpy, scr), &xc);
    }
    xc.flags = DoRed | DoGreen | DoBlue;
    if (XAllocColor(dpy, cmap, &xc)) {
        XQueryColor(dpy, cmap, &xc);  // the components the server really gave
        g_clr.color_ind[256] = static_cast<long>(xc.pixel);
        g_clr.red[256] = xc.red / 65535.0f;
        g_clr.grn[256] = xc.green / 65535.0f;
        g_clr.blu[256] = xc.blue / 65535.0f;
    }
    if (gtype_is_WIN()) gks_frames()->clear_frame(-3);
    return 0;
}

Gint gset_background(const char* name) {
    g_clr.background = name ? std::string(name).substr(0, 50) : std::string();
    return 0;
}

Gint gset_inverse(int on) {
    g_clr.inverse = on != 0;
    return 0;
}

Gint gset_rw_colors(int on) {
    g_clr.rw_colors = on != 0;
    return 0;
}

Gint gset_local_colormap(int on) {
    g_clr.local_cmap = on != 0;
    return 0;
}

Gint gset_def_cmap(Colormap cmap) {
    g_clr.def_colormap = cmap;
    return 0;
}

Gint gset_user_cmap(Colormap cmap) {
    g_clr.user_colormap = cmap;
    return 0;
}

int gget_inverse() { return g_clr.inverse ? 1 : 0; }
Colormap gget_def_cmap() { return g_clr.def_colormap; }
Colormap gget_user_cmap() { return g_clr.user_colormap; }
Colormap gget_colormap() { return g_clr.user_colormap ? g_clr.user_colormap : g_clr.def_colormap; }
