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

// Device point kept within the 16-bit X11 range (a large marker around a
// point near the clamp limit must not wrap to the other side).
XPoint xpt(const std::pair<int, int>& p) {
    XPoint x;
    x.x = static_cast<short>(std::clamp(p.first, -32768, 32767));
    x.y = static_cast<short>(std::clamp(p.second, -32768, 32767));
    return x;
}

void draw_marker(Display* dpy, Drawable d, GC gc, int x, int y, int h) {
    for (const GksStroke& st : gks_marker_strokes(g_mark.marker_type, x, y, h)) {
        std::vector<XPoint> xp;
        for (const auto& p : st) xp.push_back(xpt(p));
        if (xp.size() == 1)
            XDrawPoint(dpy, d, gc, xp[0].x, xp[0].y);
        else
            XDrawLines(dpy, d, gc, xp.data(), static_cast<int>(xp.size()), CoordModeOrigin);
    }
}

}  // namespace

std::vector<GksStroke> gks_marker_strokes(int type, int x, int y, int h) {
    using P = std::pair<int, int>;
    switch (type) {
    case 1: return {{P(x, y), P(x + 1, y), P(x + 1, y + 1), P(x, y + 1), P(x, y)}};
    case 2: return {{P(x - h, y), P(x + h, y)}, {P(x, y + h), P(x, y - h)}};
    case 3:
        return {{P(x - h, y), P(x + h, y)},
                {P(x, y + h), P(x, y - h)},
                {P(x - h, y - h), P(x + h, y + h)},
                {P(x + h, y - h), P(x - h, y + h)}};
    case 4: {
        // 0, 30, ... 360 degrees with the rounded cosines of the table.
        static constexpr std::array<float, 13> c = {1.0f,  0.866f, 0.5f,  0.0f,   -0.5f, -0.866f, -1.0f,
                                                    -0.866f, -0.5f, 0.0f, 0.5f, 0.866f, 1.0f};
        static constexpr std::array<float, 13> s = {0.0f,  0.5f,  0.866f, 1.0f,   0.866f, 0.5f, 0.0f,
                                                    -0.5f, -0.866f, -1.0f, -0.866f, -0.5f, 0.0f};
        GksStroke st;
        for (std::size_t i = 0; i < c.size(); ++i)
            st.emplace_back(x + static_cast<int>(static_cast<float>(h) * c[i]),
                            y + static_cast<int>(static_cast<float>(h) * s[i]));
        return {st};
    }
    case 5: return {{P(x - h, y - h), P(x + h, y + h)}, {P(x + h, y - h), P(x - h, y + h)}};
    case 6: return {{P(x - h, y + h), P(x + h, y + h), P(x + h, y - h), P(x - h, y - h), P(x - h, y + h)}};
    case 7: return {{P(x - h, y + h), P(x + h, y + h), P(x, y - h), P(x - h, y + h)}};
    case 8: return {{P(x, y)}};
    case 9: return {{P(x - h, y - h), P(x + h, y - h), P(x, y + h), P(x - h, y - h)}};
    default: return {};
    }
}

GksMarkState gks_marker_state() {
    return GksMarkState{g_mark.marker_color, g_mark.marker_type, g_mark.marker_width, g_mark.marker_height};
}

Gint gpolymarker(Gint n, const Gpt* pts) {
    if (!gks_opened("gpolymarker")) return -1;
    if (n < 1 || !pts) {
        gerr_printf("gpolymarker", "invalid number of points: %d", n);
        return -1;
    }
    if (!gpts_in_win(n, pts)) return 0;
    (void)gnew_obj(40, n, sizeof(Gpt) * static_cast<std::size_t>(n), pts);
    const GksDevice* d = gks_device();
    return d && d->polymarker ? d->polymarker(n, pts) : 0;
}

Gint gks_x11_polymarker(Gint n, const Gpt* pts) {
    if (!x11() || !g_mark.mark_gc) return 0;
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
    if (!gks_opened("gset_marker_type")) return -1;
    gks_attr_int(43, g_mark.marker_type, type);
    return 0;
}

Gint gset_marker_size(Gfloat size) {
    if (!gks_opened("gset_marker_size")) return -1;
    if (size < 0.0f) {
        gerr_printf("gset_marker_size", "invalid marker size: %f", static_cast<double>(size));
        return -1;
    }
    gks_attr_float(44, g_mark.marker_height, size);
    return 0;
}

Gint gset_marker_width(Gfloat width) {
    if (!gks_opened("gset_marker_width")) return -1;
    if (width < 0.0f) {
        gerr_printf("gset_marker_width", "invalid marker width: %f", static_cast<double>(width));
        return -1;
    }
    if (gtype_is_PS() && width == 0.0f) width = 1.0f;
    if (gks_attr_float(46, g_mark.marker_width, width) && x11() && g_mark.mark_gc) {
        XGCValues v{};
        v.line_width = gks_pixels(width);
        XChangeGC(gget_display(), g_mark.mark_gc, GCLineWidth, &v);
    }
    return 0;
}

Gint gset_marker_colr_ind(Gint ind) {
    if (!gks_opened("gset_marker_colr_ind")) return -1;
    if (ind == g_mark.marker_color) return 0;
    if (!gks_check_colr("gset_marker_colr_ind", ind)) return -1;
    if (gks_attr_int(45, g_mark.marker_color, ind)) gks_set_gc_colour(g_mark.mark_gc, ind);
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
