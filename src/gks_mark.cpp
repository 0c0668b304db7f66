// Polymarker primitive: markers are stroked in device units around each
// point, so their size does not depend on the transform.
#define ZEM_GKS_INTERNAL
#include "gks_mark.h"

#include <algorithm>
#include <array>
#include <vector>

#include "gks_colr.h"
#include "gks_obj.h"
#include "gks_priv.h"
#include "gks_x11.h"

namespace {

struct MarkState {
    int marker_color = 1;
    int marker_type = 1;
    float marker_width = 1.0f;
    float marker_height = 10.0f;  // marker size; 1.0 is 10 device pixels
    GC mark_gc = nullptr;
};
MarkState g_mark;

bool x11() { return gtype_is_WIN_PIX() && gget_display(); }

using Stroke = std::vector<XPoint>;

// Device point kept within the 16-bit X11 range (a large marker around a
// point near the clamp limit must not wrap to the other side).
XPoint pt(int x, int y) {
    XPoint p;
    p.x = static_cast<short>(std::clamp(x, -32768, 32767));
    p.y = static_cast<short>(std::clamp(y, -32768, 32767));
    return p;
}

// Strokes of one marker of half size h around (x, y), device units.
std::vector<Stroke> marker_strokes(int type, int x, int y, int h) {
    switch (type) {
    case 1: return {{pt(x, y), pt(x + 1, y), pt(x + 1, y + 1), pt(x, y + 1), pt(x, y)}};
    case 2: return {{pt(x - h, y), pt(x + h, y)}, {pt(x, y + h), pt(x, y - h)}};
    case 3:
        return {{pt(x - h, y), pt(x + h, y)},
                {pt(x, y + h), pt(x, y - h)},
                {pt(x - h, y - h), pt(x + h, y + h)},
                {pt(x + h, y - h), pt(x - h, y + h)}};
    case 4: {
        // 0, 30, ... 360 degrees with the rounded cosines of the table.
        static constexpr std::array<float, 13> c = {1.0f,  0.866f, 0.5f,  0.0f,   -0.5f, -0.866f, -1.0f,
                                                    -0.866f, -0.5f, 0.0f, 0.5f, 0.866f, 1.0f};
        static constexpr std::array<float, 13> s = {0.0f,  0.5f,  0.866f, 1.0f,   0.866f, 0.5f, 0.0f,
                                                    -0.5f, -0.866f, -1.0f, -0.866f, -0.5f, 0.0f};
        Stroke st;
        for (std::size_t i = 0; i < c.size(); ++i)
            st.push_back(pt(x + static_cast<int>(static_cast<float>(h) * c[i]),
                            y + static_cast<int>(static_cast<float>(h) * s[i])));
        return {st};
    }
    case 5: return {{pt(x - h, y - h), pt(x + h, y + h)}, {pt(x + h, y - h), pt(x - h, y + h)}};
    case 6: return {{pt(x - h, y + h), pt(x + h, y + h), pt(x + h, y - h), pt(x - h, y - h), pt(x - h, y + h)}};
    case 7: return {{pt(x - h, y + h), pt(x + h, y + h), pt(x, y - h), pt(x - h, y + h)}};
    case 8: return {{pt(x, y)}};
    case 9: return {{pt(x - h, y - h), pt(x + h, y - h), pt(x, y + h), pt(x - h, y - h)}};
    default: return {};
    }
}

void draw_marker(Display* dpy, Drawable d, GC gc, int x, int y, int h) {
    for (Stroke& st : marker_strokes(g_mark.marker_type, x, y, h)) {
        if (st.size() == 1)
            XDrawPoint(dpy, d, gc, st[0].x, st[0].y);
        else
            XDrawLines(dpy, d, gc, st.data(), static_cast<int>(st.size()), CoordModeOrigin);
    }
}

}  // namespace

Gint gpolymarker(Gint n, const Gpt* pts) {
    if (!gchk_graphics()) {
        gerr_printf("gpolymarker", "GKS not opened");
        return -1;
    }
    if (n < 1 || !pts) {
        gerr_printf("gpolymarker", "invalid number of points: %d", n);
        return -1;
    }
    if (!gpts_in_win(n, pts)) return 0;
    if (!x11()) return 0;  // file devices are not built yet
    (void)gnew_obj(40, n, sizeof(Gpt) * static_cast<std::size_t>(n), pts);
    if (g_mark.marker_type < 1 || g_mark.marker_type > 9) return 1;
    Display* dpy = gget_display();
    const Drawable d = gget_draw_window();
    const int h = gks_pixels(g_mark.marker_height * 10.0f / 2.0f);
    const int shadow = gks_drop_shadow();
    unsigned long fg = 0;
    if (shadow > 0) {
        XGCValues v{};
        XGetGCValues(dpy, g_mark.mark_gc, GCForeground, &v);
        fg = v.foreground;
    }
    for (Gint i = 0; i < n; ++i) {
        const XPoint p = gks_world_to_xpoint(pts[i]);
        if (shadow > 0) {
            XSetForeground(dpy, g_mark.mark_gc, BlackPixel(dpy, gget_screen()));
            for (int k = 0; k < shadow; ++k) draw_marker(dpy, d, g_mark.mark_gc, p.x + k, p.y + k, h);
            XSetForeground(dpy, g_mark.mark_gc, fg);
        }
        draw_marker(dpy, d, g_mark.mark_gc, p.x, p.y, h);
    }
    return 1;
}

Gint gset_marker_type(Gint type) {
    if (!gchk_graphics()) {
        gerr_printf("gset_marker_type", "GKS not opened");
        return -1;
    }
    if (type == g_mark.marker_type) return 0;
    (void)gnew_obj(43, type, 0, nullptr);
    g_mark.marker_type = type;
    return 0;
}

Gint gset_marker_size(Gfloat size) {
    if (!gchk_graphics()) {
        gerr_printf("gset_marker_size", "GKS not opened");
        return -1;
    }
    if (size < 0.0f) {
        gerr_printf("gset_marker_size", "invalid marker size: %f", static_cast<double>(size));
        return -1;
    }
    if (size == g_mark.marker_height) return 0;
    (void)gnew_obj(44, 0, sizeof(float), &size);
    g_mark.marker_height = size;
    return 0;
}

Gint gset_marker_width(Gfloat width) {
    if (!gchk_graphics()) {
        gerr_printf("gset_marker_width", "GKS not opened");
        return -1;
    }
    if (width < 0.0f) {
        gerr_printf("gset_marker_width", "invalid marker width: %f", static_cast<double>(width));
        return -1;
    }
    if (gtype_is_PS() && width == 0.0f) width = 1.0f;
    if (width == g_mark.marker_width) return 0;
    (void)gnew_obj(46, 0, sizeof(float), &width);
    g_mark.marker_width = width;
    if (x11() && g_mark.mark_gc) {
        XGCValues v{};
        v.line_width = gks_pixels(width);
        XChangeGC(gget_display(), g_mark.mark_gc, GCLineWidth, &v);
    }
    return 0;
}

Gint gset_marker_colr_ind(Gint ind) {
    if (!gchk_graphics()) {
        gerr_printf("gset_marker_colr_ind", "GKS not opened");
        return -1;
    }
    if (ind == g_mark.marker_color) return 0;
    if (!gks_check_colr("gset_marker_colr_ind", ind)) return -1;
    (void)gnew_obj(45, ind, 0, nullptr);
    g_mark.marker_color = ind;
    gks_set_gc_colour(g_mark.mark_gc, ind);
    return 0;
}

Gint gget_marker_colr() { return g_mark.marker_color; }
GC gget_marker_gc() { return g_mark.mark_gc; }

Gint ginit_marker(int type) {
    if (!x11()) return 0;
    Display* dpy = gget_display();
    if (type == 0) {
        gks_marker_release();
        g_mark.mark_gc = XCreateGC(dpy, gget_root_window(), 0, nullptr);
    }
    if ((type == 0 || type == 1) && g_mark.mark_gc) {
        gks_init_context(g_mark.mark_gc, g_mark.marker_color);
    }
    return 0;
}

void gks_marker_release() {
    if (g_mark.mark_gc && gget_display()) XFreeGC(gget_display(), g_mark.mark_gc);
    g_mark.mark_gc = nullptr;
}

Gint greset_marker() {
    g_mark.marker_color = 1;
    g_mark.marker_type = 1;
    g_mark.marker_width = 1.0f;
    g_mark.marker_height = 10.0f;
    return 0;
}
