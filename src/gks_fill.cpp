// Fill-area primitive: solid or 8 x 8 pattern fills with the outline painted
// as well, and the pattern bitmaps.
#define ZEM_GKS_INTERNAL
#include "gks_fill.h"

#include <algorithm>
#include <array>
#include <new>
#include <vector>

#include "gks_colr.h"
#include "gks_obj.h"
#include "gks_priv.h"
#include "gks_x11.h"

namespace {

using Pattern = std::array<unsigned char, 8>;

// Row bytes, top row first; bit 0 is the leftmost pixel.
constexpr std::array<Pattern, GKS_NUM_FILL_PAT> kPatterns = {{
    {0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff},  // 0 solid
    {0xaa, 0x55, 0xaa, 0x55, 0xaa, 0x55, 0xaa, 0x55},  // 1 50 % checker
    {0x55, 0x00, 0x55, 0x00, 0x55, 0x00, 0x55, 0x00},  // 2 sparse dots
    {0x24, 0x11, 0x82, 0x48, 0x42, 0x11, 0x28, 0x84},  // 3 scattered dots
    {0x33, 0x33, 0x00, 0x00, 0xcc, 0xcc, 0x00, 0x00},  // 4 offset blocks
    {0x33, 0x33, 0x33, 0x33, 0x33, 0x33, 0x33, 0x33},  // 5 vertical bars
    {0x03, 0x06, 0x0c, 0x18, 0x30, 0x60, 0xc0, 0x81},  // 6 diagonal
    {0x81, 0xc0, 0x60, 0x30, 0x18, 0x0c, 0x06, 0x03},  // 7 other diagonal
    {0xff, 0xff, 0x00, 0x00, 0xff, 0xff, 0x00, 0x00},  // 8 horizontal bars
    {0xc3, 0x66, 0x3c, 0x18, 0x3c, 0x66, 0xc3, 0x81},  // 9 crosses
    {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00},  // 10 empty
    {0x40, 0x10, 0x20, 0x01, 0x00, 0x04, 0x08, 0x02},  // 11 very light stipple
    {0x08, 0xa0, 0x44, 0x11, 0x22, 0x10, 0x81, 0x44},  // 12 light stipple
    {0x45, 0x28, 0x94, 0x43, 0x50, 0x09, 0x52, 0xa8},  // 13 stipple
    {0x19, 0xca, 0x34, 0x1a, 0xe1, 0x32, 0xa5, 0xcc},  // 14 medium stipple
    {0x55, 0xdc, 0x3b, 0xe2, 0x97, 0xaa, 0x65, 0x3e},  // 15 medium-dense stipple
    {0x7a, 0xe5, 0x5f, 0xab, 0xf5, 0xeb, 0x5e, 0xb5},  // 16 dense stipple
    {0xfe, 0xbb, 0xf5, 0x6f, 0xfe, 0xd7, 0xbd, 0xeb},  // 17 denser stipple
    {0xfd, 0xff, 0xef, 0x7f, 0xdf, 0xfe, 0xf7, 0xaf},  // 18 nearly solid
    {0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff},  // 19 solid
}};

struct FillState {
    int fill_color = 1;
    int fill_inter_style = GSOLID;
    int fill_inter_index = 1;
    int print_solid = 0;
    GC fill_gc = nullptr;
    std::array<Pixmap, GKS_NUM_FILL_PAT> fill_pat{};
};
FillState g_fill;

bool x11() { return gtype_is_WIN_PIX() && gget_display(); }

void apply_style() {
    if (!x11() || !g_fill.fill_gc) return;
    Display* dpy = gget_display();
    if (g_fill.fill_inter_style == GSOLID) {
        XSetFillStyle(dpy, g_fill.fill_gc, FillSolid);
    } else if (g_fill.fill_inter_style == GPAT) {
        const Pixmap p = g_fill.fill_pat[static_cast<std::size_t>(g_fill.fill_inter_index)];
        if (p) XSetStipple(dpy, g_fill.fill_gc, p);
        XSetFillStyle(dpy, g_fill.fill_gc, FillStippled);
    }
}

}  // namespace

std::array<unsigned char, 8> gks_fill_pattern(int index) {
    return kPatterns[static_cast<std::size_t>(std::clamp(index, 0, GKS_NUM_FILL_PAT - 1))];
}

Gint gfill_area(Gint n, const Gpt* pts) {
    if (!gks_opened("gfill_area")) return -1;
    if (n < 1 || !pts) {
        gerr_printf("gfill_area", "invalid number of points: %d", n);
        return -1;
    }
    if (!gpts_in_win(n, pts)) return 0;
    (void)gnew_obj(70, n, sizeof(Gpt) * static_cast<std::size_t>(n), pts);
    const GksDevice* d = gks_device();
    return d && d->fill_area ? d->fill_area(n, pts) : 0;
}

Gint gks_x11_fill_area(Gint n, const Gpt* pts) {
    if (!x11() || !g_fill.fill_gc) return 0;
    std::vector<XPoint> xp;
    try {
        xp.resize(static_cast<std::size_t>(n));
    } catch (const std::bad_alloc&) {
        gerr_printf("gfill_area", "malloc error");
        return -1;
    }
    for (Gint i = 0; i < n; ++i) xp[static_cast<std::size_t>(i)] = gks_world_to_xpoint(pts[i]);
    Display* dpy = gget_display();
    const Drawable d = gget_draw_window();
    XFillPolygon(dpy, d, g_fill.fill_gc, xp.data(), n, Complex, CoordModeOrigin);
    XDrawLines(dpy, d, g_fill.fill_gc, xp.data(), n, CoordModeOrigin);
    return 1;
}

Gint gset_fill_int_style(Gint style) {
    if (!gks_opened("gset_fill_int_style")) return -1;
    if (gks_attr_int(73, g_fill.fill_inter_style, style)) apply_style();
    return 0;
}

Gint gset_fill_style_ind(Gint ind) {
    if (!gks_opened("gset_fill_style_ind")) return -1;
    if (ind < 0 || ind >= GKS_NUM_FILL_PAT) {
        gerr_printf("gset_fill_style_ind", "invalid style index: %d", ind);
        return -1;
    }
    if (gks_attr_int(74, g_fill.fill_inter_index, ind)) apply_style();
    return 0;
}

Gint gset_fill_colr_ind(Gint ind) {
    if (ind == g_fill.fill_color) return 0;
    if (!gks_opened("gset_fill_colr_ind")) return -1;
    if (!gks_check_colr("gset_fill_colr_ind", ind)) return -1;
    if (gks_attr_int(75, g_fill.fill_color, ind)) gks_set_gc_colour(g_fill.fill_gc, ind);
    return 0;
}

Gint gset_fill_print_solid(int on) {
    gks_attr_int(76, g_fill.print_solid, on != 0 ? 1 : 0);
    return 0;
}

GksFillState gks_fill_state() {
    return GksFillState{g_fill.fill_color, g_fill.fill_inter_style, g_fill.fill_inter_index, g_fill.print_solid};
}

Gint gget_fill_colr() { return g_fill.fill_color; }
GC gget_fill_gc() { return g_fill.fill_gc; }
Gint gget_fill_print_solid() { return g_fill.print_solid; }

int gfill_test(int pat, int x, int y) {
    if (pat < 0 || pat >= GKS_NUM_FILL_PAT) return 0;
    const unsigned row = kPatterns[static_cast<std::size_t>(pat)][static_cast<std::size_t>(((y % 8) + 8) % 8)];
    return (row >> (((x % 8) + 8) % 8)) & 1u;
}

Gint gdel_fill_pat() {
    Display* dpy = gget_display();
    for (Pixmap& p : g_fill.fill_pat) {
        if (p && dpy) XFreePixmap(dpy, p);
        p = 0;
    }
    return 0;
}

void gks_fill_release() {
    gdel_fill_pat();
    if (g_fill.fill_gc && gget_display()) XFreeGC(gget_display(), g_fill.fill_gc);
    g_fill.fill_gc = nullptr;
}

Gint ginit_fill(int type) {
    if (!x11()) return 0;
    Display* dpy = gget_display();
    if (type == 0) {
        gks_fill_release();
        const Window w = gget_root_window();
        g_fill.fill_gc = XCreateGC(dpy, w, 0, nullptr);
        for (std::size_t i = 0; i < kPatterns.size(); ++i)
            g_fill.fill_pat[i] = XCreateBitmapFromData(dpy, w, reinterpret_cast<const char*>(kPatterns[i].data()), 8, 8);
    }
    if ((type == 0 || type == 1) && g_fill.fill_gc) {
        gks_init_context(g_fill.fill_gc, g_fill.fill_color);
        apply_style();
    }
    return 0;
}

Gint greset_fill() {
    g_fill.fill_color = 1;
    g_fill.fill_inter_style = GSOLID;
    g_fill.fill_inter_index = 1;
    g_fill.print_solid = 0;
    return 0;
}
