// Polyline primitive: attribute state, the X11 line context with its dash
// patterns, and the pixel-space lines used for rubber bands.
#define ZEM_GKS_INTERNAL
#include "gks_line.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <new>
#include <vector>

#include "gks_colr.h"
#include "gks_obj.h"
#include "gks_priv.h"
#include "gks_x11.h"

namespace {

struct Dash {
    int n;
    std::array<char, 4> list;
};
// On/off lengths in pixels by line type 2-5; type 1 is solid.
constexpr std::array<Dash, 4> kDashes = {{{2, {6, 6, 0, 0}}, {2, {3, 6, 0, 0}}, {4, {6, 6, 3, 6}}, {2, {2, 2, 0, 0}}}};

struct LineState {
    int line_color = 1;
    int line_type = 1;
    float line_width = 1.0f;
    int print_bold = 1;
    GC line_gc = nullptr;
    int line_gc_function = GXcopy;
};
LineState g_line;

bool x11() { return gtype_is_WIN_PIX() && gget_display(); }

void apply_type(int type) {
    if (!x11() || !g_line.line_gc) return;
    Display* dpy = gget_display();
    XGCValues v{};
    if (type == 1) {
        v.line_style = LineSolid;
    } else {
        v.line_style = LineOnOffDash;
        if (type >= 2 && type <= 5) {
            const Dash& d = kDashes[static_cast<std::size_t>(type - 2)];
            XSetDashes(dpy, g_line.line_gc, 0, d.list.data(), d.n);
        }
    }
    XChangeGC(dpy, g_line.line_gc, GCLineStyle, &v);
}

}  // namespace

std::vector<int> gks_line_dashes(int type) {
    if (type < 2 || type > 5) return {4, 4};
    const Dash& d = kDashes[static_cast<std::size_t>(type - 2)];
    return std::vector<int>(d.list.begin(), d.list.begin() + d.n);
}

Gint gpolyline(Gint n, const Gpt* pts) {
    if (!gks_opened("gpolyline")) return -1;
    if (n < 2 || !pts) {
        gerr_printf("gpolyline", "invalid number of points: %d", n);
        return -1;
    }
    if (!gpts_in_win(n, pts)) return 0;
    (void)gnew_obj(30, n, sizeof(Gpt) * static_cast<std::size_t>(n), pts);
    const GksDevice* d = gks_device();
    return d && d->polyline ? d->polyline(n, pts) : 0;
}

Gint gks_x11_polyline(Gint n, const Gpt* pts) {
    if (!x11() || !g_line.line_gc) return 0;
    std::vector<XPoint> xp;
    try {
        xp.resize(static_cast<std::size_t>(n));
    } catch (const std::bad_alloc&) {
        gerr_printf("gpolyline", "malloc error");
        return -1;
    }
    for (Gint i = 0; i < n; ++i) xp[static_cast<std::size_t>(i)] = gks_world_to_xpoint(pts[i]);
    XDrawLines(gget_display(), gget_draw_window(), g_line.line_gc, xp.data(), n, CoordModeOrigin);
    return 1;
}

Gint gset_linetype(Gint type) {
    if (!gks_opened("gset_linetype")) return -1;
    if (type < 0) {
        gerr_printf("gset_linetype", "invalid line type: %d", type);
        return -1;
    }
    if (gks_attr_int(33, g_line.line_type, type)) apply_type(type);
    return 0;
}

Gint gset_linewidth(Gfloat width) {
    if (!gks_opened("gset_linewidth")) return -1;
    if (width < 0.0f) {
        gerr_printf("gset_linewidth", "invalid line width: %f", static_cast<double>(width));
        return -1;
    }
    if (gtype_is_PS() && width == 0.0f) width = 1.0f;
    if (gks_attr_float(34, g_line.line_width, width) && x11() && g_line.line_gc) {
        XGCValues v{};
        v.line_width = gks_pixels(width);
        XChangeGC(gget_display(), g_line.line_gc, GCLineWidth, &v);
    }
    return 0;
}

Gint gset_line_colr_ind(Gint ind) {
    if (!gks_opened("gset_line_colr_ind")) return -1;
    if (ind == g_line.line_color) return 0;
    if (!gks_check_colr("gset_line_colr_ind", ind)) return -1;
    if (gks_attr_int(35, g_line.line_color, ind)) gks_set_gc_colour(g_line.line_gc, ind);
    return 0;
}

Gint gset_line_print_bold(Gint bold) {
    gks_attr_int(36, g_line.print_bold, bold < 1 ? 1 : bold);
    return 0;
}

GksLineState gks_line_state() {
    return GksLineState{g_line.line_color, g_line.line_type, g_line.line_width, g_line.print_bold};
}

Gint gget_line_colr() { return g_line.line_color; }
GC gget_line_gc() { return g_line.line_gc; }
Gint gget_line_print_bold() { return g_line.print_bold; }

Gint gset_line_gc_func(int func) {
    g_line.line_gc_function = func;
    if (x11() && g_line.line_gc) XSetFunction(gget_display(), g_line.line_gc, func);
    return 0;
}

Gint gget_line_gc_func() { return g_line.line_gc_function; }

Gint gxline(Window win, const XPoint* a, const XPoint* b) {
    if (!x11() || !g_line.line_gc || !a || !b) return -1;
    XDrawLine(gget_display(), win, g_line.line_gc, a->x, a->y, b->x, b->y);
    return 0;
}

Gint gxrect(Window win, const XPoint* a, const XPoint* b) {
    if (!x11() || !g_line.line_gc || !a || !b) return -1;
    const int x0 = std::min(a->x, b->x), y0 = std::min(a->y, b->y);
    XDrawRectangle(gget_display(), win, g_line.line_gc, x0, y0, static_cast<unsigned>(std::abs(a->x - b->x)),
                   static_cast<unsigned>(std::abs(a->y - b->y)));
    return 0;
}

Gint ginit_line(int type) {
    if (!x11()) return 0;
    Display* dpy = gget_display();
    if (type == 0) {
        gks_line_release();
        g_line.line_gc = XCreateGC(dpy, gget_root_window(), 0, nullptr);
    }
    if ((type == 0 || type == 1) && g_line.line_gc) {
        gks_init_context(g_line.line_gc, g_line.line_color);
        XSetFunction(dpy, g_line.line_gc, GXcopy);
        g_line.line_gc_function = GXcopy;
    }
    return 0;
}

void gks_line_release() {
    if (g_line.line_gc && gget_display()) XFreeGC(gget_display(), g_line.line_gc);
    g_line.line_gc = nullptr;
}

Gint greset_line() {
    g_line.line_color = 1;
    g_line.line_type = 1;
    g_line.line_width = 1.0f;
    g_line.print_bold = 1;
    g_line.line_gc_function = GXcopy;
    return 0;
}
