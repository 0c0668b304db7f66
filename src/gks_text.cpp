// Text attributes and the text graphics context. Stroke-font drawing and the
// font list are not built yet: gtext reports that once and draws nothing.
#define ZEM_GKS_INTERNAL
#include "gks_text.h"

#include <cmath>

#include "gks_obj.h"
#include "gks_priv.h"
#include "gks_x11.h"
#include "mess.h"

namespace {

struct TextState {
    int text_color = 1;
    float text_width = 1.0f;
    float text_height = 0.01f;
    float text_expan = 1.0f;
    float text_space = 0.25f;
    float text_char_space = 0.0f;
    int horiz_align = 0;
    int vert_align = 0;
    float upx = 0.0f, upy = 1.0f;
    int font_ind = 1;
    int prec = GSTROKE_PREC;
    int drop_shadow = 0;
    GC text_gc = nullptr;
    bool warned = false;
};
TextState g_text;

bool x11() { return gtype_is_WIN_PIX() && gget_display(); }

int not_open(const char* func) {
    gerr_printf(func, "GKS not opened");
    return -1;
}

}  // namespace

int gks_drop_shadow() { return g_text.drop_shadow; }

Gint gtext(const Gpt* pt, const char* str) {
    if (!gchk_graphics()) return not_open("gtext");
    if (!pt || !str) return -1;
    if (!g_text.warned) {
        MESS_print(M_warn, "gtext: stroke text not built yet\n");
        g_text.warned = true;
    }
    return -1;
}

Gint gset_text_colr_ind(Gint ind) {
    if (!gchk_graphics()) return not_open("gset_text_colr_ind");
    if (ind == g_text.text_color) return 0;
    if (!gks_check_colr("gset_text_colr_ind", ind)) return -1;
    (void)gnew_obj(56, ind, 0, nullptr);
    g_text.text_color = ind;
    gks_set_gc_colour(g_text.text_gc, ind);
    return 0;
}

Gint gset_char_ht(Gfloat height) {
    if (!gchk_graphics()) return not_open("gset_char_ht");
    if (height < 0.0f) {
        gerr_printf("gset_char_ht", "invalid character height: %f", static_cast<double>(height));
        return -1;
    }
    if (height == g_text.text_height) return 0;
    (void)gnew_obj(57, 0, sizeof(float), &height);
    g_text.text_height = height;
    return 0;
}

Gint gset_text_width(Gfloat width) {
    if (!gchk_graphics()) return not_open("gset_text_width");
    if (width < 0.0f) return -1;
    if (width == g_text.text_width) return 0;
    (void)gnew_obj(61, 0, sizeof(float), &width);
    g_text.text_width = width;
    return 0;
}

Gint gset_expan(Gfloat expan) {
    if (!gchk_graphics()) return not_open("gset_expan");
    if (expan == g_text.text_expan) return 0;
    (void)gnew_obj(55, 0, sizeof(float), &expan);
    g_text.text_expan = expan;
    return 0;
}

Gint gset_space(Gfloat space) {
    if (!gchk_graphics()) return not_open("gset_space");
    if (space == g_text.text_space) return 0;
    (void)gnew_obj(53, 0, sizeof(float), &space);
    g_text.text_space = space;
    return 0;
}

Gint gset_char_space(Gfloat space) {
    if (!gchk_graphics()) return not_open("gset_char_space");
    if (space == g_text.text_char_space) return 0;
    (void)gnew_obj(54, 0, sizeof(float), &space);
    g_text.text_char_space = space;
    return 0;
}

Gint gset_char_up_vec(const Gpt* up) {
    if (!gchk_graphics()) return not_open("gset_char_up_vec");
    if (!up) return -1;
    const float len = std::hypot(up->x, up->y);
    if (len == 0.0f) return -1;
    const float ux = up->x / len, uy = up->y / len;
    if (ux == g_text.upx && uy == g_text.upy) return 0;
    (void)gnew_obj(58, 0, sizeof(Gpt), up);
    g_text.upx = ux;
    g_text.upy = uy;
    return 0;
}

Gint gset_text_align(const Gtext_align* align) {
    if (!gchk_graphics()) return not_open("gset_text_align");
    if (!align) return -1;
    if (align->hor == g_text.horiz_align && align->vert == g_text.vert_align) return 0;
    (void)gnew_obj(60, 0, sizeof(Gtext_align), align);
    g_text.horiz_align = align->hor;
    g_text.vert_align = align->vert;
    return 0;
}

Gint ginq_text_align(Gint* err, Gtext_align* align) {
    if (err) *err = 0;
    if (!align) return -1;
    align->hor = static_cast<Gtext_hor>(g_text.horiz_align);
    align->vert = static_cast<Gtext_ver>(g_text.vert_align);
    return 0;
}

Gint gset_fontprec(const Gfontprec* fp) {
    if (!gchk_graphics()) return not_open("gset_fontprec");
    if (!fp) return -1;
    if (fp->font == g_text.font_ind && fp->prec == g_text.prec) return 0;
    (void)gnew_obj(59, fp->font, sizeof(Gfontprec), fp);
    g_text.font_ind = fp->font;
    g_text.prec = fp->prec;
    return 0;
}

Gint gset_text_path(Gtext_path) { return 0; }

Gint gsetup_fonts() { return 0; }

Gint read_font(const char*) {
    MESS_print(M_warn, "read_font: stroke fonts not built yet\n");
    return -1;
}

Gint gget_font_index(const char*) { return 1; }

Gint gset_font_list(const char*) { return 0; }

Gint gset_font_drop(int n) {
    g_text.drop_shadow = n > 0 ? n : 0;
    return 0;
}

int gget_font_drop() { return g_text.drop_shadow; }
Gint gget_text_colr() { return g_text.text_color; }
GC gget_text_gc() { return g_text.text_gc; }
Gfloat gget_char_ht() { return g_text.text_height; }
Gint gget_font() { return g_text.font_ind; }

Gint ginit_text(int type) {
    if (!x11()) return 0;
    Display* dpy = gget_display();
    if (type == 0) {
        gks_text_release();
        g_text.text_gc = XCreateGC(dpy, gget_root_window(), 0, nullptr);
    }
    if ((type == 0 || type == 1) && g_text.text_gc) {
        gks_init_context(g_text.text_gc, g_text.text_color);
        XSetLineAttributes(dpy, g_text.text_gc, 1, LineSolid, CapProjecting, JoinBevel);
    }
    return 0;
}

void gks_text_release() {
    if (g_text.text_gc && gget_display()) XFreeGC(gget_display(), g_text.text_gc);
    g_text.text_gc = nullptr;
}

Gint greset_text() {
    g_text.text_color = 1;
    g_text.text_width = 1.0f;
    g_text.text_height = 0.01f;
    g_text.text_expan = 1.0f;
    g_text.text_space = 0.25f;
    g_text.text_char_space = 0.0f;
    g_text.horiz_align = 0;
    g_text.vert_align = 0;
    g_text.upx = 0.0f;
    g_text.upy = 1.0f;
    g_text.font_ind = 1;
    return 0;
}
