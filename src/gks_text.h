// Text primitive and text attributes. The attribute state and the text
// graphics context are kept here; stroke-font drawing is not built yet.
#ifndef ZEM_GKS_TEXT_H
#define ZEM_GKS_TEXT_H

#include <X11/Xlib.h>

#include "gks_tran.h"

enum Gtext_hor { GNORMAL_HOR = 0, GLEFT_HOR = 1, GCENTER_HOR = 2, GRIGHT_HOR = 3 };
enum Gtext_ver {
    GNORMAL_VERT = 0, GTOP_VERT = 1, GCAP_VERT = 2, GHALF_VERT = 3, GBASE_VERT = 4, GBOTTOM_VERT = 5
};
enum Gtext_prec { GSTRING_PREC = 0, GCHAR_PREC = 1, GSTROKE_PREC = 2 };
enum Gtext_path { GRIGHT_PATH = 0, GLEFT_PATH = 1, GUP_PATH = 2, GDOWN_PATH = 3 };

struct Gtext_align {
    Gtext_hor hor;
    Gtext_ver vert;
};

struct Gfontprec {
    Gint font;
    Gtext_prec prec;
};

Gint gtext(const Gpt* pt, const char* str);
Gint gset_text_colr_ind(Gint ind);
Gint gset_char_ht(Gfloat height);
Gint gset_text_width(Gfloat width);
Gint gset_expan(Gfloat expan);
Gint gset_space(Gfloat space);
Gint gset_char_space(Gfloat space);
Gint gset_char_up_vec(const Gpt* up);
Gint gset_text_align(const Gtext_align* align);
Gint ginq_text_align(Gint* err, Gtext_align* align);
Gint gset_fontprec(const Gfontprec* fp);
Gint gset_text_path(Gtext_path path);
Gint gsetup_fonts();
Gint read_font(const char* name);
// Font number (from 1) of a font name; 1 when the name is unknown.
Gint gget_font_index(const char* name);
Gint gset_font_list(const char* list);
Gint gset_font_drop(int n);
int gget_font_drop();
Gint gget_text_colr();
GC gget_text_gc();
Gint ginit_text(int type);
Gint greset_text();
// Current text attributes, for callers that need them (height in world
// units of the current transform, up vector normalised).
Gfloat gget_char_ht();
Gint gget_font();

#endif
