// Graph set-up layer: choose and open the workstation, lay out the plot
// panel, and the short drawing and attribute calls of the plot framework.
#define ZEM_GKS_INTERNAL
#include "gks_tool.h"

#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <numbers>
#include <string>

#include "flag.h"
#include "gks_colr.h"
#include "gks_evnt.h"
#include "gks_fill.h"
#include "gks_line.h"
#include "gks_mark.h"
#include "gks_text.h"
#include "gks_x11.h"
#include "mess.h"
#include "resrc.h"
#include "system.h"
#include "tools.h"

namespace {

struct SetupState {
    bool ws_open = false;
    Gws_type wk_type = 0;
    Gws_type wk_itype = 0;
    float xvp = 1.0f, yvp = 1.0f;
    float sizex = 1.0f, sizey = 1.0f, offx = 0.0f, offy = 0.0f;
    std::string font_name;
};
SetupState g_gph;

// The program's own name, for window-system names when "name" is not set.
std::string own_program_name() {
    if (const char* p = program_invocation_short_name; p && *p) return p;
    return "orlo";
}

Gint polyline5(float x1, float y1, float x2, float y2, bool fill) {
    const Gpt pts[5] = {{x1, y1}, {x2, y1}, {x2, y2}, {x1, y2}, {x1, y1}};
    return fill ? gfill_area(5, pts) : gpolyline(5, pts);
}

Gint circle(float x, float y, float rad, bool fill) {
    Gpt pts[37];
    for (int i = 0; i < 37; ++i) {
        const double a = i * 10.0 * std::numbers::pi / 180.0;
        pts[i] = Gpt{x + rad * static_cast<float>(std::cos(a)), y + rad * static_cast<float>(std::sin(a))};
    }
    return fill ? gfill_area(37, pts) : gpolyline(37, pts);
}

}  // namespace

int gdevice_letter_type(int letter) {
    switch (letter) {
    case 'P': case 'p': return 4;
    case 'H': case 'h': case 'Q': case 'q': return 5;
    case 'M': case 'm': return 3;
    case 'W': case 'w': return 6;
    default: return 1;
    }
}

int gdevice_setup(const char* str, char* conn_id) {
    if (conn_id) conn_id[0] = '\0';
    if (!str) return 1;
    const char* comma = std::strchr(str, ',');
    if (comma && conn_id) std::strcpy(conn_id, comma + 1);
    return gdevice_letter_type(static_cast<unsigned char>(str[0]));
}

Gint GPH_device_prompt(int* ws_type) {
    if (!ws_type || *ws_type != 0) return 0;
    char answer[11] = "";
    ZEM_prompts("Display (D) or Postscript (P): ", answer, sizeof answer);
    *ws_type = (answer[0] == 'P' || answer[0] == 'p') ? 4 : 1;
    return 0;
}

Gint GPH_set_win_title() {
    std::string name;
    if (const char* r = RES_get("name"); r && *r) name = r;
    else name = own_program_name();
    gset_prog_name(name.c_str());
    std::string title;
    if (const char* t = RES_get("title"); t && *t) {
        title = t;
    } else if (const char* n = RES_get("name"); n && *n) {
        title = n;
        if (title[0] == '+') title.erase(0, 1);
    } else {
        title = own_program_name();
    }
    gset_win_title(title.c_str());
    return 0;
}

Gint GPH_setup(Gint* ws_id, Gws_type* ws_type, float asp_ratio, Glim* offset) {
    std::string conn;
    if (const char* dev = RES_get("device"); dev) {
        if (const char* comma = std::strchr(dev, ','); comma) conn = comma + 1;
        // The conversion stores the device letter's workstation type in flag 2.
        char* name = nullptr;
        RES_getval("device", &name, CV_device);
    }
    Gws_type type = 0;
    if (FLAG_get(FLAG_WS_TYPE) >= 1) type = FLAG_get(FLAG_WS_TYPE);
    else if (FLAG_batch()) type = 1;
    GPH_set_win_title();
    CLR_read_table(nullptr);
    Gint id = 1;
    GPH_begin(&id, conn.data(), &type);
    if (ws_id) *ws_id = id;
    if (ws_type) *ws_type = type;
    return GPH_reset(&id, &type, asp_ratio, offset);
}

Gint GPH_begin(Gint* ws_id, Gconn_id conn_id, Gws_type* ws_type) {
    if (std::remove("zemgks.err") != 0) errno = 0;  // a stale error file, if any
    if (ws_id) *ws_id = 1;
    Gws_type type = ws_type ? *ws_type : 1;
    g_gph.wk_itype = type;
    if (type == 0) {
        char answer[11] = "";
        ZEM_prompts("Display (D) or Postscript (P): ", answer, sizeof answer);
        type = gdevice_letter_type(static_cast<unsigned char>(answer[0]));
        FLAG_set(FLAG_WS_TYPE, type);
    }
    if (ws_type) *ws_type = type;
    if (!gchk_graphics()) {  // the kernel knows best whether one is open
        if (gopen_gks(nullptr, 0) != 0) {
            MESS_print(M_error, "GPH_begin: Error opening Kernel System\n");
            gemergency_close_gks();
            ZEM_exit(4);
        }
        if (gopen_ws(1, conn_id ? conn_id : "", type) != 0) {
            MESS_print(M_error, "GPH_begin: Error opening workstation\n");
            gemergency_close_gks();
            ZEM_exit(4);
        }
    }
    g_gph.ws_open = true;
    g_gph.wk_type = type;
    gactivate_ws(1);
    return 0;
}

Gint GPH_reset(Gint* ws_id, Gws_type* ws_type, float asp_ratio, Glim* offset) {
    gclear_ws(1, GALWAYS);
    ginq_maxview(g_gph.wk_type, &g_gph.xvp, &g_gph.yvp);
    const Glim all{0.0f, g_gph.xvp, 0.0f, g_gph.yvp};
    gset_ws_win(1, &all);
    gset_win(1, &all);
    gset_vp(1, &all);
    Glim margins{0.0f, 0.0f, 0.0f, 0.0f};
    Glim* lim = offset ? offset : &margins;
    GPH_panel(ws_id, ws_type, asp_ratio, lim);
    const int n = CLR_get_num();
    for (int i = 0; i < n && i < 256; ++i) {
        Gcolr_rep rep{};
        if (CLR_get_rgb(i, &rep.red, &rep.green, &rep.blue) == 0) gset_colr_rep(1, i, &rep);
    }
    GPH_text_font(nullptr);
    return 0;
}

Gint GPH_panel(Gint*, Gws_type*, float asp_ratio, Glim* offset) {
    const Glim m = offset ? *offset : Glim{0.0f, 0.0f, 0.0f, 0.0f};
    const float xvp = g_gph.xvp, yvp = g_gph.yvp;
    Glim rect{};
    rect.x_min = xvp * (g_gph.offx + g_gph.sizex * m.x_min);
    rect.x_max = xvp * ((g_gph.sizex + g_gph.offx) - g_gph.sizex * m.x_max);
    rect.y_min = yvp * (g_gph.offy + g_gph.sizey * m.y_min);
    rect.y_max = yvp * ((g_gph.sizey + g_gph.offy) - g_gph.sizey * m.y_max);
    Gaspect asp{asp_ratio, 1.0f};
    if (asp_ratio == 0.0f) asp = Gaspect{g_gph.sizex * xvp, g_gph.sizey * yvp};
    Glim out = rect;
    gset_aspect(&rect, &out, asp, Gcenter{2, 2});
    gset_vp(2, &out);
    gset_win(2, &out);
    gset_vp(3, &out);
    gset_win(3, &out);
    GPH_line_attr(nullptr);
    GPH_fill_attr(nullptr);
    GPH_mark_attr(nullptr, 1.0f);
    GPH_text_attr(nullptr, 1.0f);
    if (offset) *offset = out;
    return 0;
}

Gint GPH_end(Gint ws_id) {
    gdeactivate_ws(ws_id);
    gclose_ws(ws_id);
    gclose_gks();
    g_gph.ws_open = false;
    FLAG_set(FLAG_WS_TYPE, g_gph.wk_itype);
    return 0;
}

Gint GPH_hold(Gint ws_id) {
    gupdate_window();
    if (g_gph.wk_type == 1) return ghold(ws_id);
    return 0;
}

Gint GPH_set_view_size(float sx, float sy, float ox, float oy) {
    g_gph.sizex = sx;
    g_gph.sizey = sy;
    g_gph.offx = ox;
    g_gph.offy = oy;
    return 0;
}

Gint GPH_get_view_size(Glim* lim) {
    if (!lim) return -1;
    lim->x_min = g_gph.xvp * g_gph.offx;
    lim->x_max = g_gph.xvp * (g_gph.offx + g_gph.sizex);
    lim->y_min = g_gph.yvp * g_gph.offy;
    lim->y_max = g_gph.yvp * (g_gph.offy + g_gph.sizey);
    return 0;
}

float GPH_get_vert_win_size() { return g_gph.yvp; }

Gint GPH_trans(Gint n) { return gsel_norm_tran(n); }
Gint GPH_view(Gint n, const Glim* lim) { return gset_vp(n, lim); }
Gint GPH_win(Gint n, const Glim* lim) { return gset_win(n, lim); }

Gint GPH_get_view(Gint n, Glim* lim) {
    Gint err = 0;
    Gtran t{};
    if (!lim || ginq_norm_tran(n, &err, &t) < 0) return -1;
    *lim = t.vp;
    return 0;
}

Gint GPH_get_win(Gint n, Glim* lim) {
    Gint err = 0;
    Gtran t{};
    if (!lim || ginq_norm_tran(n, &err, &t) < 0) return -1;
    *lim = t.win;
    return 0;
}

Gint GPH_print_view(const Glim* lim) {
    if (!lim) return -1;
    MESS_print(M_print, "%5.2f %5.2f %5.2f %5.2f\n", lim->x_min, lim->x_max, lim->y_min, lim->y_max);
    return 0;
}

Gint GPH_line(float x1, float y1, float x2, float y2) {
    const Gpt pts[2] = {{x1, y1}, {x2, y2}};
    return gpolyline(2, pts);
}

Gint GPH_mark(float x, float y) {
    const Gpt p{x, y};
    return gpolymarker(1, &p);
}

Gint GPH_border(const Glim* lim) {
    if (!lim) return -1;
    return polyline5(lim->x_min, lim->y_min, lim->x_max, lim->y_max, false);
}

Gint GPH_rect(float x1, float y1, float x2, float y2) { return polyline5(x1, y1, x2, y2, false); }
Gint GPH_frect(float x1, float y1, float x2, float y2) { return polyline5(x1, y1, x2, y2, true); }
Gint GPH_circle(float x, float y, float rad) { return circle(x, y, rad, false); }
Gint GPH_fcircle(float x, float y, float rad) { return circle(x, y, rad, true); }

Gint GPH_pprint(Gpt* pt, const char* str) { return gtext(pt, str); }

Gint GPH_pprintf(Gpt* pt, const char* format, ...) {
    char buf[60];
    va_list ap;
    va_start(ap, format);
    std::vsnprintf(buf, sizeof buf, format, ap);
    va_end(ap);
    return gtext(pt, buf);
}

Gint GPH_printf(float x, float y, const char* format, ...) {
    char buf[100];
    va_list ap;
    va_start(ap, format);
    std::vsnprintf(buf, sizeof buf, format, ap);
    va_end(ap);
    const Gpt p{x, y};
    return gtext(&p, buf);
}

// No record: solid line of width 0.
Gint GPH_line_attr(const Gattribs* attr) {
    if (!attr) {
        gset_linetype(1);
        gset_linewidth(0.0f);
        return 0;
    }
    if (!is_missing(attr->color) && attr->color >= 0) gset_line_colr_ind(attr->color);
    if (!is_missing(attr->style)) gset_linetype(attr->style);
    if (!is_missing(attr->width)) gset_linewidth(attr->width);
    return 0;
}

// No record: solid interior.
Gint GPH_fill_attr(const Gattribs* attr) {
    if (!attr) {
        gset_fill_int_style(GSOLID);
        return 0;
    }
    if (!is_missing(attr->color) && attr->color >= 0) gset_fill_colr_ind(attr->color);
    if (attr->fill_pat == 0) {
        gset_fill_int_style(GSOLID);
    } else if (!is_missing(attr->fill_pat)) {
        gset_fill_int_style(GPAT);
        gset_fill_style_ind(attr->fill_pat);
    }
    return 0;
}

// No record: marker line width 0.
Gint GPH_mark_attr(const Gattribs* attr, float scale) {
    if (!attr) {
        gset_marker_width(0.0f);
        return 0;
    }
    if (!is_missing(attr->color) && attr->color >= 0) gset_marker_colr_ind(attr->color);
    if (!is_missing(attr->style)) gset_marker_type(attr->style);
    if (!is_missing(attr->height)) gset_marker_size(attr->height * scale);
    else if (scale > 0.0f) gset_marker_size(scale);
    if (!is_missing(attr->width)) gset_marker_width(attr->width);
    return 0;
}

// No record: text line width 0, expansion 1, and -1.
Gint GPH_text_attr(const Gattribs* attr, float scale) {
    if (!attr) {
        gset_text_width(0.0f);
        gset_expan(1.0f);
        return -1;
    }
    if (!is_missing(attr->color) && attr->color >= 0) gset_text_colr_ind(attr->color);
    gset_char_ht(is_missing(attr->height) ? scale : attr->height * scale);
    if (!is_missing(attr->width)) gset_text_width(attr->width);
    if (!is_missing(attr->expan)) gset_expan(attr->expan);
    if (!is_missing(attr->font)) {
        const Gfontprec fp{attr->font, GSTROKE_PREC};
        gset_fontprec(&fp);
    }
    gset_space(0.25f);
    return 0;
}

Gint GPH_text_font(const char* name) {
    const std::string n = (name && *name) ? name : g_gph.font_name;
    const Gfontprec fp{gget_font_index(n.c_str()), GSTROKE_PREC};
    return gset_fontprec(&fp);
}

Gint GPH_set_def_font(const char* name) {
    g_gph.font_name = name ? std::string(name).substr(0, 20) : std::string();
    return 0;
}

Gint GPH_text_align(int h, int v) {
    const Gtext_align a{static_cast<Gtext_hor>(h), static_cast<Gtext_ver>(v)};
    return gset_text_align(&a);
}

Gint GPH_get_text_align(int* h, int* v) {
    Gint err = 0;
    Gtext_align a{};
    ginq_text_align(&err, &a);
    if (h) *h = a.hor;
    if (v) *v = a.vert;
    return 0;
}

Gint GPH_text_rotate(float deg) {
    const double r = deg * std::numbers::pi / 180.0;
    const Gpt up{static_cast<float>(std::sin(r)), static_cast<float>(std::cos(r))};
    return gset_char_up_vec(&up);
}

Gint GPH_set_color(int ind, float r, float g, float b) {
    const Gcolr_rep rep{r, g, b};
    return gset_colr_rep(1, ind, &rep);
}
