// Text of the graphics kernel: the text attributes, the font list, the one
// resident stroke font (or X11 server font), and the stroking of strings
// into polylines that every device draws in its own way.
#define ZEM_GKS_INTERNAL
#include "gks_text.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "gks_obj.h"
#include "gks_priv.h"
#include "gks_x11.h"
#include "mess.h"
#include "resrc.h"
#include "string.h"

namespace {

// Font units: baseline at 35, half height 85, cap height 140, top 160; the
// character height is the 105 units from baseline to cap.
constexpr float kCapUnits = 105.0f;
constexpr int kSpaceWidth = 40;
constexpr int kNoGlyph = -1;
constexpr std::size_t kMaxFonts = 40;
constexpr std::size_t kMaxListFile = 10;
constexpr std::size_t kMaxFontName = 10;
constexpr std::size_t kMaxFontFile = 106;
constexpr std::size_t kMaxFontList = 80;
// Stroke bytes of one font. The largest generated font needs about 9000;
// the cap keeps a garbage file from growing the table without end.
constexpr std::size_t kMaxFontBytes = 65536;
constexpr std::size_t kMaxFontFileSize = 1 << 20;
constexpr std::size_t kX11StrokePts = 30;

struct FontEntry {
    std::string name;
    std::string file;
};

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

    std::vector<FontEntry> fonts;
    std::string font_list;
    int loaded = 0;  // list entry whose file is resident, 0 none
    std::vector<unsigned char> font_db;
    std::array<int, 256> font_index{};
    std::array<int, 256> font_size{};
    int font_type = 0;  // 1 stroke font, 2 X11 font
    XFontStruct* font_info = nullptr;
};
TextState g_text;

bool x11() { return gtype_is_WIN_PIX() && gget_display(); }

void free_x11_font() {
    if (g_text.font_info && gget_display()) XFreeFont(gget_display(), g_text.font_info);
    g_text.font_info = nullptr;
}

void clear_font() {
    g_text.font_db.clear();
    g_text.font_index.fill(kNoGlyph);
    g_text.font_size.fill(0);
    g_text.font_type = 0;
    free_x11_font();
}

bool read_int(std::istream& in, long* v) {
    std::string w;
    if (!(in >> w)) return false;
    char* end = nullptr;
    *v = std::strtol(w.c_str(), &end, 10);
    return end != w.c_str() && *end == '\0';
}

// A stroke font file: stroke bytes ending at 254, then 256 glyph offsets
// (see the header of the generated files in etc/). False when the text is
// not such a file; the tables are then left cleared.
bool parse_font(std::istream& in) {
    long v = 0;
    if (!read_int(in, &v)) return false;
    const bool labelled = v != 255;
    std::string word;
    if (labelled) {
        if (!(in >> word) || !read_int(in, &v)) return false;
    }
    std::vector<unsigned char> db;
    for (;;) {
        if (v < 0 || v > 255 || db.size() >= kMaxFontBytes) return false;
        if (v == 254) {
            db.push_back(255);
            break;
        }
        db.push_back(static_cast<unsigned char>(v));
        if (v == 255 && labelled && !(in >> word)) return false;
        if (!read_int(in, &v)) return false;
    }
    std::array<int, 256> index{};
    for (int& off : index) {
        if (!read_int(in, &v) || v < -1 || v >= static_cast<long>(db.size())) return false;
        off = static_cast<int>(v);
    }
    g_text.font_db = std::move(db);
    g_text.font_index = index;
    // Advance width: the largest x of the glyph's pairs.
    for (std::size_t c = 0; c < 256; ++c) {
        int w = 0;
        if (index[c] >= 0) {
            for (std::size_t k = static_cast<std::size_t>(index[c]);
                 k + 1 < g_text.font_db.size() && g_text.font_db[k] != 255; k += 2)
                w = std::max(w, g_text.font_db[k] & 127);
        }
        g_text.font_size[c] = w;
    }
    g_text.font_size[' '] = kSpaceWidth;
    g_text.font_type = 1;
    return true;
}

bool load_x11_font(const char* name) {
    if (!x11() || !g_text.text_gc) return false;
    g_text.font_info = XLoadQueryFont(gget_display(), name);
    if (!g_text.font_info) return false;
    XSetFont(gget_display(), g_text.text_gc, g_text.font_info->fid);
    g_text.font_type = 2;
    return true;
}

std::string trim(const std::string& s) {
    const auto b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return "";
    return s.substr(b, s.find_last_not_of(" \t\r\n") - b + 1);
}

// Font list file lines: a name and a file name (the rest of the line when
// whole_line, else one word).
bool read_list_file(const std::string& name, std::size_t max, bool whole_line) {
    std::ifstream in(gks_find_file(name));
    if (!in) return false;
    std::string line;
    while (g_text.fonts.size() < max && std::getline(in, line)) {
        std::istringstream ls(line);
        FontEntry e;
        if (!(ls >> e.name)) continue;
        if (whole_line) {
            std::getline(ls, e.file);
            e.file = trim(e.file);
        } else {
            ls >> e.file;
        }
        if (e.file.empty()) continue;
        e.name = e.name.substr(0, kMaxFontName);
        e.file = e.file.substr(0, kMaxFontFile);
        g_text.fonts.push_back(std::move(e));
    }
    return true;
}

Gint load_entry(int ind) {
    if (ind < 1 || ind > static_cast<int>(g_text.fonts.size())) return -1;
    if (g_text.loaded == ind && g_text.font_type != 0) return 0;
    g_text.loaded = ind;
    return read_font(g_text.fonts[static_cast<std::size_t>(ind - 1)].file.c_str());
}

// Glyph width in font units of the last character of a string.
float glyph_width(unsigned char c) {
    if (g_text.text_char_space > 0.0f) return 100.0f * g_text.text_char_space;
    return static_cast<float>(g_text.font_size[c]);
}

float advance(unsigned char c) {
    if (g_text.text_char_space > 0.0f) return (100.0f * g_text.text_space + 100.0f) * g_text.text_char_space;
    return static_cast<float>(g_text.font_size[c]) + 100.0f * g_text.text_space;
}

Gint x11_font_text(const Gpt& pt, const char* str) {
    Display* dpy = gget_display();
    const int len = static_cast<int>(std::strlen(str));
    const int w = XTextWidth(g_text.font_info, str, len);
    const XPoint p = gks_world_to_xpoint(pt);
    int x = p.x, y = p.y;
    if (g_text.horiz_align == GCENTER_HOR) x -= w / 2;
    if (g_text.horiz_align == GRIGHT_HOR) x -= w;
    const int asc = g_text.font_info->ascent;
    if (g_text.vert_align == GTOP_VERT || g_text.vert_align == GCAP_VERT) y += asc;
    if (g_text.vert_align == GHALF_VERT) y += asc / 2;
    if (g_text.vert_align == GBOTTOM_VERT) y -= g_text.font_info->descent;
    const Drawable d = gget_draw_window();
    if (g_text.drop_shadow > 0) {
        XGCValues v{};
        XGetGCValues(dpy, g_text.text_gc, GCForeground, &v);
        XSetForeground(dpy, g_text.text_gc, BlackPixel(dpy, gget_screen()));
        for (int i = 1; i <= g_text.drop_shadow; ++i) XDrawString(dpy, d, g_text.text_gc, x + i, y + i, str, len);
        XSetForeground(dpy, g_text.text_gc, v.foreground);
    }
    XDrawString(dpy, d, g_text.text_gc, x, y, str, len);
    return 1;
}

}  // namespace

int gks_drop_shadow() { return g_text.drop_shadow; }

GksTextState gks_text_state() { return GksTextState{g_text.text_color, g_text.text_width}; }

bool gks_text_strokes(const Gpt& pt, const char* str, std::size_t max_pts,
                      const std::function<void(const std::vector<Gpt>&)>& draw) {
    if (g_text.font_type != 1 || !str) return false;
    max_pts = std::max<std::size_t>(max_pts, 2);
    const std::size_t len = std::strlen(str);
    const float ex = g_text.text_expan;
    float width = 0.0f;
    for (std::size_t i = 0; i < len; ++i) {
        const auto c = static_cast<unsigned char>(str[i]);
        width += i + 1 < len ? advance(c) : glyph_width(c);
    }
    width = std::trunc(width * ex);
    float xo = 0.0f;
    if (g_text.horiz_align == GCENTER_HOR) xo = -width / 2.0f;
    if (g_text.horiz_align == GRIGHT_HOR) xo = -width;
    static constexpr std::array<float, 6> kVert = {-35.0f, -160.0f, -140.0f, -85.0f, -35.0f, 0.0f};
    const float yo = kVert[static_cast<std::size_t>(std::clamp(g_text.vert_align, 0, 5))];
    const float scale = g_text.text_height / kCapUnits;
    const float ux = g_text.upx, uy = g_text.upy;
    auto world = [&](int x, int y) {
        const float fx = (static_cast<float>(x) * ex + xo) * scale;
        const float fy = (static_cast<float>(y) + yo) * scale;
        return Gpt{pt.x + uy * fx + ux * fy, pt.y - ux * fx + uy * fy};
    };
    std::vector<Gpt> run;
    auto flush = [&]() {
        if (run.size() > 1) draw(run);
        run.clear();
    };
    const std::vector<unsigned char>& db = g_text.font_db;
    for (std::size_t i = 0; i < len; ++i) {
        const auto c = static_cast<unsigned char>(str[i]);
        const int off = g_text.font_index[c];
        if (off < 0) {
            if (c == ' ') {
                const float step = g_text.text_char_space > 0.0f
                                       ? (100.0f * g_text.text_space + 100.0f) * g_text.text_char_space
                                       : 100.0f * g_text.text_space + kSpaceWidth;
                xo += step * ex;
            }
            continue;
        }
        for (std::size_t k = static_cast<std::size_t>(off); k + 1 < db.size() && db[k] != 255; k += 2) {
            const int x = db[k], y = db[k + 1];
            if (x >= 128) {
                flush();
                run.push_back(world(x - 128, y));
                continue;
            }
            run.push_back(world(x, y));
            if (run.size() == max_pts) {
                // A full piece is drawn and the stroke goes on from its end.
                const Gpt last = run.back();
                draw(run);
                run.assign(1, last);
            }
        }
        flush();
        xo += advance(c) * ex;
    }
    return true;
}

Gint gtext(const Gpt* pt, const char* str) {
    if (!gks_opened("gtext")) return -1;
    if (!pt || !str) return -1;
    if (!*str) return 0;
    const std::size_t len = std::strlen(str);
    if (auto* block = static_cast<char*>(gnew_obj(50, 0, sizeof(Gpt) + len + 1, nullptr))) {
        std::memcpy(block, pt, sizeof(Gpt));
        std::memcpy(block + sizeof(Gpt), str, len + 1);
    }
    const GksDevice* d = gks_device();
    return d && d->text ? d->text(pt, str) : 0;
}

Gint gks_x11_text(const Gpt* pt, const char* str) {
    if (!x11() || !g_text.text_gc || !gget_draw_window()) return 0;
    if (g_text.font_type == 2 && g_text.font_info) return x11_font_text(*pt, str);
    Display* dpy = gget_display();
    const Drawable d = gget_draw_window();
    std::vector<std::vector<XPoint>> strokes;
    gks_text_strokes(*pt, str, kX11StrokePts, [&](const std::vector<Gpt>& run) {
        std::vector<XPoint> xp;
        for (const Gpt& p : run) xp.push_back(gks_world_to_xpoint(p));
        strokes.push_back(std::move(xp));
    });
    auto draw_all = [&](int off) {
        for (std::vector<XPoint> xp : strokes) {
            for (XPoint& p : xp) {
                p.x = static_cast<short>(p.x + off);
                p.y = static_cast<short>(p.y + off);
            }
            XDrawLines(dpy, d, g_text.text_gc, xp.data(), static_cast<int>(xp.size()), CoordModeOrigin);
        }
    };
    if (g_text.drop_shadow > 0) {
        XGCValues v{};
        XGetGCValues(dpy, g_text.text_gc, GCForeground, &v);
        XSetForeground(dpy, g_text.text_gc, BlackPixel(dpy, gget_screen()));
        for (int i = 1; i <= g_text.drop_shadow; ++i) draw_all(i);
        XSetForeground(dpy, g_text.text_gc, v.foreground);
    }
    draw_all(0);
    return 1;
}

Gint gset_text_colr_ind(Gint ind) {
    if (!gks_opened("gset_text_colr_ind")) return -1;
    if (ind == g_text.text_color) return 0;
    if (!gks_check_colr("gset_text_colr_ind", ind)) return -1;
    if (gks_attr_int(56, g_text.text_color, ind)) gks_set_gc_colour(g_text.text_gc, ind);
    return 0;
}

Gint gset_char_ht(Gfloat height) {
    if (!gks_opened("gset_char_ht")) return -1;
    if (height < 0.0f) {
        gerr_printf("gset_char_ht", "invalid character height: %f", static_cast<double>(height));
        return -1;
    }
    gks_attr_float(57, g_text.text_height, height);
    return 0;
}

Gint gset_text_width(Gfloat width) {
    if (!gks_opened("gset_text_width")) return -1;
    if (width < 0.0f) {
        gerr_printf("gset_text_width", "invalid text width: %f", static_cast<double>(width));
        return -1;
    }
    if (gtype_is_PS() && width == 0.0f) width = 1.0f;
    if (gks_attr_float(61, g_text.text_width, width) && x11() && g_text.text_gc) {
        XGCValues v{};
        v.line_width = gks_pixels(width);
        XChangeGC(gget_display(), g_text.text_gc, GCLineWidth, &v);
    }
    return 0;
}

Gint gset_expan(Gfloat expan) {
    if (!gks_opened("gset_expan")) return -1;
    if (expan < 0.0f) {
        gerr_printf("gset_expan", "invalid expansion factor: %f", static_cast<double>(expan));
        return -1;
    }
    gks_attr_float(55, g_text.text_expan, expan);
    return 0;
}

Gint gset_space(Gfloat space) {
    if (!gks_opened("gset_space")) return -1;
    gks_attr_float(53, g_text.text_space, space);
    return 0;
}

Gint gset_char_space(Gfloat space) {
    if (!gks_opened("gset_char_space")) return -1;
    gks_attr_float(54, g_text.text_char_space, space);
    return 0;
}

Gint gset_char_up_vec(const Gpt* up) {
    if (!gks_opened("gset_char_up_vec")) return -1;
    if (!up) return -1;
    const float len = std::hypot(up->x, up->y);
    if (len == 0.0f || !std::isfinite(len)) return -1;
    const float ux = up->x / len, uy = up->y / len;
    if (ux == g_text.upx && uy == g_text.upy) return 0;
    GksAttr v;
    v.f[0] = up->x;
    v.f[1] = up->y;
    g_text.upx = ux;
    g_text.upy = uy;
    gks_attr_record(58, v);
    return 0;
}

Gint gset_text_align(const Gtext_align* align) {
    if (!gks_opened("gset_text_align")) return -1;
    if (!align) return -1;
    if (align->hor == g_text.horiz_align && align->vert == g_text.vert_align) return 0;
    GksAttr v;
    v.i[0] = align->hor;
    v.i[1] = align->vert;
    g_text.horiz_align = align->hor;
    g_text.vert_align = align->vert;
    gks_attr_record(60, v);
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
    if (!gks_opened("gset_fontprec")) return -1;
    if (!fp) return -1;
    if (fp->font == g_text.font_ind) return 0;
    GksAttr v;
    v.i[0] = fp->font;
    v.i[1] = fp->prec;
    if (gtype_is_META()) {
        g_text.font_ind = fp->font;
        gks_attr_record(59, v);
        return 0;
    }
    if (fp->font < 1 || fp->font > static_cast<int>(g_text.fonts.size())) {
        gerr_printf("gset_fontprec", "invalid font id: %d", fp->font);
        return -1;
    }
    g_text.font_ind = fp->font;
    g_text.prec = fp->prec;
    gks_attr_record(59, v);
    load_entry(fp->font);
    return 0;
}

Gint gset_text_path(Gtext_path) { return 0; }

Gint gsetup_fonts() {
    g_text.fonts.clear();
    g_text.loaded = 0;
    std::string list = g_text.font_list;
    if (list.empty()) {
        if (const char* r = RES_get("font_list"); r && *r) list = r;
    }
    if (list.empty() && gget_display()) {
        if (const char* d = XGetDefault(gget_display(), gget_prog_name(), "font_list"); d && *d) list = d;
    }
    if (strnicmp(list.c_str(), "fi:", 3) == 0) {
        if (!read_list_file(list.substr(3), kMaxListFile, false))
            MESS_print(M_warn, "gsetup_fonts: unable to load font list file: %s\n", list.c_str() + 3);
    } else if (!list.empty()) {
        std::istringstream in(list);
        std::string file;
        while (g_text.fonts.size() < kMaxFonts && std::getline(in, file, ','))
            if (!file.empty()) g_text.fonts.push_back(FontEntry{"", file.substr(0, kMaxFontFile)});
    } else {
        read_list_file("zem.fnl", kMaxFonts, true);
    }
    if (g_text.fonts.empty()) return read_font("modern.fnt") == 0 ? 0 : -1;
    const int ind = std::clamp(g_text.font_ind, 1, static_cast<int>(g_text.fonts.size()));
    return load_entry(ind);
}

Gint read_font(const char* name) {
    clear_font();
    if (!name) return -1;
    if (name[0] == '#') {
        if (load_x11_font(name + 1)) return 0;
        MESS_print(M_warn, "read_font: unable to load font: %s\n", name + 1);
        return -1;
    }
    std::ifstream in(gks_find_file(name), std::ios::binary);
    std::string text;
    if (in) {
        in.seekg(0, std::ios::end);
        const auto size = in.tellg();
        in.seekg(0);
        if (size > 0 && static_cast<std::size_t>(size) <= kMaxFontFileSize) {
            text.resize(static_cast<std::size_t>(size));
            in.read(text.data(), size);
        }
    }
    std::istringstream ts(text);
    if (!text.empty() && parse_font(ts)) return 0;
    clear_font();
    MESS_print(M_warn, "read_font: unable to load font file: %s\n", name);
    return -1;
}

Gint gget_font_index(const char* name) {
    if (!name || !*name) return 1;
    if (std::isdigit(static_cast<unsigned char>(name[0]))) return std::atoi(name);
    for (std::size_t i = 0; i < g_text.fonts.size(); ++i)
        if (stricmp(g_text.fonts[i].name.c_str(), name) == 0) return static_cast<Gint>(i + 1);
    return 1;
}

Gint gset_font_list(const char* list) {
    g_text.font_list = list ? std::string(list).substr(0, kMaxFontList) : std::string();
    return 0;
}

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
        if (g_text.font_info) XSetFont(dpy, g_text.text_gc, g_text.font_info->fid);
    }
    return 0;
}

void gks_text_release() {
    free_x11_font();
    if (g_text.font_type == 2) clear_font();
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
    // The resident font follows the number, so that a later request for
    // font 1 is not taken as already in force.
    if (g_text.loaded > 1) load_entry(1);
    return 0;
}
