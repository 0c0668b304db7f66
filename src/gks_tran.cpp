// Normalisation transforms of the graphics kernel: world -> NDC -> device
// coordinates with the device clip region of the current viewport, and the
// aspect and maximum-view helpers of the graph set-up.
#define ZEM_GKS_INTERNAL
#include "gks_tran.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "gks_colr.h"
#include "gks_fill.h"
#include "gks_line.h"
#include "gks_mark.h"
#include "gks_obj.h"
#include "gks_priv.h"
#include "gks_text.h"
#include "gks_x11.h"
#include "mess.h"

namespace {

// Limits of one rectangle with its extents kept in step.
struct Gcoords {
    float x_min = 0.0f, y_min = 0.0f, x_max = 1.0f, y_max = 1.0f;
    float x_ext = 1.0f, y_ext = 1.0f;
    void set(float x0, float y0, float x1, float y1) {
        x_min = x0; y_min = y0; x_max = x1; y_max = y1;
        x_ext = x_max - x_min; y_ext = y_max - y_min;
    }
    void set(const Glim& l) { set(l.x_min, l.y_min, l.x_max, l.y_max); }
    Glim lim() const { return Glim{x_min, x_max, y_min, y_max}; }
};

struct Gtransform {
    float x = 1.0f, y = 1.0f;
};

struct TranState {
    std::array<Gcoords, GKS_NUM_TRAN> wn{};
    std::array<Gcoords, GKS_NUM_TRAN> vp{};
    int cur_trans = 0;
    Gcoords cur_wn, cur_vp;
    Gcoords wkwn;        // NDC part shown on the device
    Gcoords wkvp;        // device rectangle, device units
    Gcoords plt;         // where wkwn lands on the device (aspect kept)
    Gtransform wn_vp;    // cur_vp extent / cur_wn extent
    Gtransform wkwn_plt; // plt extent / wkwn extent
};
TranState g_tr;

constexpr float kPixClamp = 30000.0f;
constexpr float kPrintClamp = 100000.0f;

float ratio(float num, float den) { return den != 0.0f ? num / den : 0.0f; }

void compute_wn_vp() {
    g_tr.wn_vp.x = ratio(g_tr.cur_vp.x_ext, g_tr.cur_wn.x_ext);
    g_tr.wn_vp.y = ratio(g_tr.cur_vp.y_ext, g_tr.cur_wn.y_ext);
}

// The workstation window is anchored at the minimum device corner with its
// aspect kept; the unused strip lies right of or beyond it.
void compute_plt() {
    const Gcoords& wv = g_tr.wkvp;
    const Gcoords& ww = g_tr.wkwn;
    const float rx = ratio(wv.x_ext, ww.x_ext);
    const float ry = ratio(wv.y_ext, ww.y_ext);
    float xe, ye;
    if (rx > ry) {
        xe = ratio(wv.y_ext * ww.x_ext, ww.y_ext);
        ye = wv.y_ext;
    } else {
        xe = wv.x_ext;
        ye = ratio(wv.x_ext * ww.y_ext, ww.x_ext);
    }
    int ox = 0, oy = 0;
    gget_win_offset(&ox, &oy);
    const float x0 = wv.x_min + static_cast<float>(ox);
    const float y0 = wv.y_min + static_cast<float>(oy);
    g_tr.plt.set(x0, y0, x0 + xe, y0 + ye);
    g_tr.wkwn_plt.x = ratio(g_tr.plt.x_ext, ww.x_ext);
    g_tr.wkwn_plt.y = ratio(g_tr.plt.y_ext, ww.y_ext);
    compute_wn_vp();
}

void set_device_viewport() {
    int w = 0, h = 0;
    gget_win_size(&w, &h);
    g_tr.wkvp.set(0.0f, 0.0f, static_cast<float>(w - 1), static_cast<float>(h - 1));
}

void select_quietly(int n) {
    g_tr.cur_trans = n;
    g_tr.cur_wn = g_tr.wn[n];
    g_tr.cur_vp = g_tr.vp[n];
    compute_wn_vp();
}

// A metafile writes the transform calls as records.
void tell_device(int code, int n, const Glim& lim) {
    if (const GksDevice* d = gks_device(); d && d->transform) d->transform(code, n, lim);
}

bool valid_tran(Gint n) { return n >= 0 && n < GKS_NUM_TRAN; }

// A NaN coordinate (a point that navigation could not place) goes off the
// device at the low limit instead of reaching an int conversion as NaN.
float clampf(float v, float lim) { return std::isnan(v) ? -lim : std::clamp(v, -lim, lim); }

}  // namespace

float xW_NDC(float x) { return (x - g_tr.cur_wn.x_min) * g_tr.wn_vp.x + g_tr.cur_vp.x_min; }
float yW_NDC(float y) { return (y - g_tr.cur_wn.y_min) * g_tr.wn_vp.y + g_tr.cur_vp.y_min; }

float xNDC_p(float x) {
    return clampf((x - g_tr.wkwn.x_min) * g_tr.wkwn_plt.x + g_tr.plt.x_min, kPixClamp);
}
float yNDC_p(float y) {
    return clampf((g_tr.wkwn.y_max - y) * g_tr.wkwn_plt.y + g_tr.plt.y_min, kPixClamp);
}
float xNDC_ps(float x) {
    return clampf((x - g_tr.wkwn.x_min) * g_tr.wkwn_plt.x + g_tr.plt.x_min, kPrintClamp);
}
float yNDC_ps(float y) {
    return clampf((y - g_tr.wkwn.y_min) * g_tr.wkwn_plt.y + g_tr.plt.y_min, kPrintClamp);
}

float xW_p(float x) { return xNDC_p(xW_NDC(x)); }
float yW_p(float y) { return yNDC_p(yW_NDC(y)); }
float xW_ps(float x) { return xNDC_ps(xW_NDC(x)); }
float yW_ps(float y) { return yNDC_ps(yW_NDC(y)); }

float xp_W(float x) {
    const float ndc = ratio(x - g_tr.plt.x_min, g_tr.wkwn_plt.x) + g_tr.wkwn.x_min;
    return ratio(ndc - g_tr.cur_vp.x_min, g_tr.wn_vp.x) + g_tr.cur_wn.x_min;
}
float yp_W(float y) {
    const float ndc = g_tr.wkwn.y_max - ratio(y - g_tr.plt.y_min, g_tr.wkwn_plt.y);
    return ratio(ndc - g_tr.cur_vp.y_min, g_tr.wn_vp.y) + g_tr.cur_wn.y_min;
}

float xW_trans(float v, int t1, int t2) {
    if (!valid_tran(t1) || !valid_tran(t2)) return v;
    const Gcoords &w1 = g_tr.wn[t1], &v1 = g_tr.vp[t1], &w2 = g_tr.wn[t2], &v2 = g_tr.vp[t2];
    const float ndc = (v - w1.x_min) * ratio(v1.x_ext, w1.x_ext) + v1.x_min;
    return (ndc - v2.x_min) * ratio(w2.x_ext, v2.x_ext) + w2.x_min;
}
float yW_trans(float v, int t1, int t2) {
    if (!valid_tran(t1) || !valid_tran(t2)) return v;
    const Gcoords &w1 = g_tr.wn[t1], &v1 = g_tr.vp[t1], &w2 = g_tr.wn[t2], &v2 = g_tr.vp[t2];
    const float ndc = (v - w1.y_min) * ratio(v1.y_ext, w1.y_ext) + v1.y_min;
    return (ndc - v2.y_min) * ratio(w2.y_ext, v2.y_ext) + w2.y_min;
}

Gint gset_win(Gint tran_num, const Glim* win_lim) {
    if (!valid_tran(tran_num) || !win_lim) {
        gerr_printf("gset_win", "invalid transformation number: %d", tran_num);
        return -1;
    }
    (void)gnew_obj(17, tran_num, sizeof(Glim), win_lim);
    tell_device(17, tran_num, *win_lim);
    g_tr.wn[tran_num].set(*win_lim);
    if (tran_num == g_tr.cur_trans) {
        g_tr.cur_wn = g_tr.wn[tran_num];
        compute_wn_vp();
    }
    return 0;
}

Gint gset_vp(Gint tran_num, const Glim* vp_lim) {
    if (!valid_tran(tran_num) || !vp_lim) {
        gerr_printf("gset_vp", "invalid transformation number: %d", tran_num);
        return -1;
    }
    (void)gnew_obj(16, tran_num, sizeof(Glim), vp_lim);
    tell_device(16, tran_num, *vp_lim);
    g_tr.vp[tran_num].set(*vp_lim);
    if (tran_num == g_tr.cur_trans) {
        g_tr.cur_vp = g_tr.vp[tran_num];
        compute_wn_vp();
        gks_apply_clip();
    }
    return 0;
}

Gint gsel_norm_tran(Gint tran_num) {
    if (!valid_tran(tran_num)) {
        gerr_printf("gsel_norm_tran", "invalid transformation number: %d", tran_num);
        return -1;
    }
    if (tran_num == g_tr.cur_trans) return 0;
    (void)gnew_obj(15, tran_num, 0, nullptr);
    tell_device(15, tran_num, Glim{});
    select_quietly(tran_num);
    gks_apply_clip();
    return 0;
}

Gint gset_ws_win(Gint /*ws_id*/, const Glim* lim) {
    if (!lim) return -1;
    (void)gnew_obj(11, 1, sizeof(Glim), lim);
    tell_device(11, 1, *lim);
    g_tr.wkwn.set(*lim);
    compute_plt();
    gks_apply_clip();
    return 0;
}

Gint gset_ws_vp(Gint /*ws_id*/, const Glim* lim) {
    if (!lim) return -1;
    (void)gnew_obj(10, 1, sizeof(Glim), lim);
    tell_device(10, 1, *lim);
    g_tr.wkvp.set(*lim);
    compute_plt();
    gks_apply_clip();
    return 0;
}

Gint ginq_norm_tran(Gint n, Gint* err_ind, Gtran* tran) {
    if (!valid_tran(n) || !tran) {
        if (err_ind) *err_ind = 1;
        return -1;
    }
    if (err_ind) *err_ind = 0;
    tran->win = g_tr.wn[n].lim();
    tran->vp = g_tr.vp[n].lim();
    return 0;
}

Gint ginq_cur_norm_tran_num(Gint* err_ind, Gint* n) {
    if (err_ind) *err_ind = 0;
    if (n) *n = g_tr.cur_trans;
    return 0;
}

Gint ginq_disp_space_size(Gws_type /*type*/, Gint* err_ind, Gdsp_size* size) {
    if (err_ind) *err_ind = 0;
    if (!size) return -1;
    int w = 0, h = 0;
    gget_win_size(&w, &h);
    size->coord_units = GOTHER_UNIT;
    size->coord_size = Gpt{static_cast<float>(w - 1), static_cast<float>(h - 1)};
    size->ras_size = Gint_pt{w, h};
    return 0;
}

int gpts_in_win(Gint n, const Gpt* pts) {
    if (n <= 0 || !pts) return 0;
    float x0 = pts[0].x, x1 = pts[0].x, y0 = pts[0].y, y1 = pts[0].y;
    for (Gint i = 1; i < n; ++i) {
        x0 = std::min(x0, pts[i].x); x1 = std::max(x1, pts[i].x);
        y0 = std::min(y0, pts[i].y); y1 = std::max(y1, pts[i].y);
    }
    // A window may run either way along an axis.
    const Gcoords& w = g_tr.cur_wn;
    const float wx0 = std::min(w.x_min, w.x_max), wx1 = std::max(w.x_min, w.x_max);
    const float wy0 = std::min(w.y_min, w.y_max), wy1 = std::max(w.y_min, w.y_max);
    return (x1 >= wx0 && x0 <= wx1 && y1 >= wy0 && y0 <= wy1) ? 1 : 0;
}

Gint gget_xviewport(XRectangle* rect) {
    if (!rect) return -1;
    const Gcoords& vp = g_tr.cur_vp;
    const int x = static_cast<int>(xNDC_p(vp.x_min) + 0.5f);
    const int w = static_cast<int>(xNDC_p(vp.x_max) - static_cast<float>(x) + 1.5f);
    const int y = static_cast<int>(yNDC_p(vp.y_max) + 0.5f);
    const int h = static_cast<int>(yNDC_p(vp.y_min) - static_cast<float>(y) + 1.5f);
    rect->x = static_cast<short>(x);
    rect->y = static_cast<short>(y);
    rect->width = static_cast<unsigned short>(std::max(w, 0));
    rect->height = static_cast<unsigned short>(std::max(h, 0));
    return 0;
}

Gint gget_gviewport(Grectangle* rect) {
    if (!rect) return -1;
    if (gtype_is_WIN_PIX() || gtype_is_RAST()) {
        XRectangle xr{};
        gget_xviewport(&xr);
        *rect = Grectangle{xr.x, xr.y, xr.width, xr.height};
    } else if (gtype_is_PS() || gtype_is_HPGL()) {
        const Gcoords& vp = g_tr.cur_vp;
        const float x0 = xNDC_ps(vp.x_min), y0 = yNDC_ps(vp.y_min);
        const float x1 = xNDC_ps(vp.x_max), y1 = yNDC_ps(vp.y_max);
        rect->x = static_cast<Gint>(x0);
        rect->y = static_cast<Gint>(y0);
        rect->width = static_cast<Gint>(x1 - x0 + 1.5f);
        rect->height = static_cast<Gint>(y1 - y0 + 1.5f);
    }
    return 0;
}

Glim gks_cur_viewport() { return g_tr.cur_vp.lim(); }

void gks_apply_clip() {
    if (const GksDevice* d = gks_device(); d && d->clip) d->clip();
}

void gks_x11_clip() {
    if (!gtype_is_WIN_PIX() || !gget_display()) return;
    XRectangle r{};
    gget_xviewport(&r);
    Display* dpy = gget_display();
    for (GC gc : {gget_line_gc(), gget_marker_gc(), gget_fill_gc(), gget_text_gc()}) {
        if (gc) XSetClipRectangles(dpy, gc, 0, 0, &r, 1, Unsorted);
    }
}

Gint ginit_tran(int type) {
    const bool resize = (type == 10);
    if (!resize) {
        g_tr.wkwn.set(0.0f, 0.0f, 1.0f, 1.0f);
        for (int i = 0; i < GKS_NUM_TRAN; ++i) {
            g_tr.wn[i].set(0.0f, 0.0f, 1.0f, 1.0f);
            g_tr.vp[i].set(0.0f, 0.0f, 1.0f, 1.0f);
        }
    }
    set_device_viewport();
    compute_plt();
    if (!resize) select_quietly(0);
    gks_apply_clip();
    return 0;
}

Gint gprint_win() {
    const Gcoords& c = g_tr.cur_wn;
    MESS_print(M_print, "C-%d: %7.3f %7.3f %7.3f %7.3f\n", g_tr.cur_trans, c.x_min, c.x_max, c.y_min,
               c.y_max);
    for (int i = 0; i < 4; ++i) {
        const Gcoords& w = g_tr.wn[i];
        MESS_print(M_print, "W-%d: %7.3f %7.3f %7.3f %7.3f\n", i, w.x_min, w.x_max, w.y_min, w.y_max);
    }
    return 0;
}

Gint gset_aspect(const Glim* vin, Glim* vout, Gaspect asp, Gcenter center) {
    if (!vin || !vout || asp.x == 0.0f || asp.y == 0.0f) return -1;
    const float xdiff = vin->x_max - vin->x_min;
    const float ydiff = vin->y_max - vin->y_min;
    if (xdiff == 0.0f || ydiff == 0.0f) return -1;
    float xview, yview;
    if (asp.y / ydiff > asp.x / xdiff) {
        xview = asp.x * ydiff / asp.y;
        yview = ydiff;
    } else {
        xview = xdiff;
        yview = asp.y * xdiff / asp.x;
    }
    auto place = [](int code, float mn, float mx, float diff, float view, float* omin, float* omax) {
        if (code == 2) {
            *omin = mn + diff / 2.0f - view / 2.0f;
            *omax = mn + diff / 2.0f + view / 2.0f;
        } else if (code == 3) {
            *omin = mx - view;
            *omax = mx;
        } else {
            *omin = 0.0f;
            *omax = view;
        }
    };
    Glim out{};
    place(center.x, vin->x_min, vin->x_max, xdiff, xview, &out.x_min, &out.x_max);
    place(center.y, vin->y_min, vin->y_max, ydiff, yview, &out.y_min, &out.y_max);
    *vout = out;
    return 0;
}

Gint ginq_maxview(Gws_type type, float* xvp, float* yvp) {
    Gint err = 0;
    Gdsp_size ds{};
    ginq_disp_space_size(type, &err, &ds);
    const float w = ds.coord_size.x, h = ds.coord_size.y;
    float xv = 1.0f, yv = 1.0f;
    if (w > h) {
        yv = ratio(h, w);
    } else {
        xv = ratio(w, h);
    }
    if (xvp) *xvp = xv;
    if (yvp) *yvp = yv;
    return 0;
}
