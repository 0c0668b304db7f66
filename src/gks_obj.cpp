// Display list of the X11 window workstation: picture-changing kernel calls
// are recorded with a copy of their arguments and replayed to redraw the
// window after it changed size, or through the PostScript or metafile device
// to print the picture without running the plotting code again. Also the
// shared steps of the attribute setters, which record themselves here.
#define ZEM_GKS_INTERNAL
#include "gks_obj.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <list>
#include <new>
#include <string>
#include <vector>

#include "gks_colr.h"
#include "gks_evnt.h"
#include "gks_img.h"
#include "gks_fill.h"
#include "gks_line.h"
#include "gks_mark.h"
#include "gks_priv.h"
#include "gks_text.h"
#include "gks_x11.h"
#include "img_tool.h"
#include "mess.h"

namespace {

struct DrawObj {
    int type = 0;
    int value = 0;
    std::vector<unsigned char> data;
    Gredraw_func func = nullptr;  // code 999
    void* func_data = nullptr;    // code 999, malloc'd, owned by the list
};

struct ObjState {
    std::list<DrawObj> objs;
    bool action = true;   // cache: events are processed while drawing
    bool redraw = true;   // recording on
    int redrawn = 0;      // completed replays, to stop an outer replay early
    unsigned long calls = 0;
};
ObjState g_obj;

void free_obj(DrawObj& o) {
    if (o.type == 999) std::free(o.func_data);
    o.func_data = nullptr;
}

template <typename T>
T get(const DrawObj& o, std::size_t off = 0) {
    T v{};
    if (o.data.size() >= off + sizeof(T)) std::memcpy(&v, o.data.data() + off, sizeof(T));
    return v;
}

const Gpt* points(const DrawObj& o) {
    if (o.value <= 0 || o.data.size() < sizeof(Gpt) * static_cast<std::size_t>(o.value)) return nullptr;
    return reinterpret_cast<const Gpt*>(o.data.data());
}

// A recorded image: its header, colour table and pixels in one block.
struct ImageHead {
    int x, y, width, height, bytes_line, num_colors;
};

void replay_image(const DrawObj& o) {
    const ImageHead h = get<ImageHead>(o);
    const std::size_t ncol = static_cast<std::size_t>(std::max(h.num_colors, 0));
    const std::size_t pix = static_cast<std::size_t>(h.bytes_line) * static_cast<std::size_t>(h.height);
    const std::size_t off = sizeof(ImageHead) + ncol * sizeof(IMG_color);
    if (h.width <= 0 || h.height <= 0 || o.data.size() < off + pix) return;
    // The X11 path may rewrite pixels in place: replay from a copy.
    std::vector<IMG_color> colors(ncol);
    if (ncol) std::memcpy(colors.data(), o.data.data() + sizeof(ImageHead), ncol * sizeof(IMG_color));
    std::vector<unsigned char> data(o.data.begin() + static_cast<long>(off), o.data.begin() + static_cast<long>(off + pix));
    IMG_report img;
    IMG_init(&img);
    img.width = h.width;
    img.height = h.height;
    img.depth = img.bits_pixel = 8;
    img.bytes_line = h.bytes_line;
    img.color_type = 1;
    img.num_colors = h.num_colors;
    img.colors = ncol ? colors.data() : nullptr;
    img.data = data.data();
    if (o.type == 91)
        goverlay_image(&img, "black", h.x, h.y);
    else
        gload_image(&img, h.x, h.y);
    img.colors = nullptr;  // owned by the vectors above
    img.data = nullptr;
}

// Replay one record; codes without a call (segment marks, unknown) do nothing.
void replay(const DrawObj& o) {
    switch (o.type) {
    case 5: gmessage(1, reinterpret_cast<const char*>(o.data.data())); break;
    case 10: { const Glim l = get<Glim>(o); gset_ws_vp(1, &l); break; }
    case 11: { const Glim l = get<Glim>(o); gset_ws_win(1, &l); break; }
    case 15: gsel_norm_tran(o.value); break;
    case 16: { const Glim l = get<Glim>(o); gset_vp(o.value, &l); break; }
    case 17: { const Glim l = get<Glim>(o); gset_win(o.value, &l); break; }
    case 20: { const Gcolr_rep r = get<Gcolr_rep>(o); gset_colr_rep(1, o.value, &r); break; }
    case 25: { const Glim l = get<Glim>(o); gclear_region(&l); break; }
    case 30: if (const Gpt* p = points(o)) gpolyline(o.value, p); break;
    case 40: if (const Gpt* p = points(o)) gpolymarker(o.value, p); break;
    case 50:
        if (o.data.size() > sizeof(Gpt)) {
            const Gpt p = get<Gpt>(o);
            gtext(&p, reinterpret_cast<const char*>(o.data.data() + sizeof(Gpt)));
        }
        break;
    case 70: if (const Gpt* p = points(o)) gfill_area(o.value, p); break;
    case 90:
    case 91: replay_image(o); break;
    default:
        if (o.type >= 33 && o.type <= 76 && o.data.size() == sizeof(GksAttr)) gks_attr_apply(o.type, get<GksAttr>(o));
        break;
    case 999: if (o.func) o.func(o.func_data); break;
    }
}

}  // namespace

Gint ginit_objs() {
    gclear_objs();
    g_obj.redraw = true;
    g_obj.action = true;
    const char* env = std::getenv("zemredraw");
    const char* xres = gget_display() ? XGetDefault(gget_display(), gget_prog_name(), "redraw") : nullptr;
    if ((env && std::strcmp(env, "no") == 0) || (xres && std::strcmp(xres, "no") == 0)) g_obj.redraw = false;
    return 0;
}

Gint gset_cache(int on) {
    g_obj.action = on != 0;
    return 0;
}

int gget_cache() { return g_obj.action ? 1 : 0; }

int gset_redraw(int on) {
    const int old = g_obj.redraw ? 1 : 0;
    g_obj.redraw = on != 0;
    return old;
}

int gget_redraw() { return g_obj.redraw ? 1 : 0; }

void* gnew_obj(int code, int value, std::size_t size, const void* data) {
    if (++g_obj.calls % 500 == 0 && g_obj.action && gtype_is_WIN_PIX() && gget_display()) gcheck_event();
    if (!g_obj.redraw || !gtype_is_WIN()) return nullptr;
    try {
        DrawObj o;
        o.type = code;
        o.value = value;
        if (size > 0) {
            o.data.resize(size);
            if (data) std::memcpy(o.data.data(), data, size);
        }
        g_obj.objs.push_back(std::move(o));
    } catch (const std::bad_alloc&) {
        gerr_printf("newobj", "malloc error");
        return nullptr;
    }
    DrawObj& last = g_obj.objs.back();
    // A record without data still hands back a non-null token.
    return last.data.empty() ? static_cast<void*>(&last) : static_cast<void*>(last.data.data());
}

Gint gset_redraw_func(Gredraw_func func, void* data) {
    if (!g_obj.redraw || !gtype_is_WIN()) return -1;
    try {
        DrawObj o;
        o.type = 999;
        o.func = func;
        o.func_data = data;
        g_obj.objs.push_back(std::move(o));
    } catch (const std::bad_alloc&) {
        gerr_printf("newobj", "malloc error");
        return -1;
    }
    return 0;
}

Gint gclear_objs() {
    for (DrawObj& o : g_obj.objs) free_obj(o);
    g_obj.objs.clear();
    return 0;
}

Gint gdel_seg_objs(int n) {
    if (!g_obj.redraw) return -1;
    g_obj.redraw = false;
    g_obj.action = false;
    auto it = g_obj.objs.begin();
    while (it != g_obj.objs.end() && !(it->type == 81 && it->value == n)) ++it;
    while (it != g_obj.objs.end()) {
        const bool end = (it->type == 82 && it->value == n);
        free_obj(*it);
        it = g_obj.objs.erase(it);
        if (end) break;
    }
    g_obj.redraw = true;
    g_obj.action = true;
    return 0;
}

Gint gobj_redraw_plot() {
    if (!g_obj.redraw || !gtype_is_WIN()) return -1;
    gresize_window(-1, -1);
    const int cursor = gset_cursor(8);
    ginit_plot(1);
    g_obj.redraw = false;
    g_obj.action = false;
    const int start = g_obj.redrawn;
    // Replay a snapshot: the list is not changed while recording is off,
    // but a nested replay may run from the event processing below.
    int count = 0;
    for (const DrawObj& o : g_obj.objs) {
        replay(o);
        if (++count % 200 == 0) {
            g_obj.action = true;
            gcheck_event();
            g_obj.action = false;
            if (g_obj.redrawn != start) break;  // a nested replay finished the picture
        }
    }
    g_obj.redraw = true;
    g_obj.action = true;
    gset_cursor(cursor);
    gupdate_window();
    gcheck_event();
    ++g_obj.redrawn;
    return 0;
}

namespace {

// Replays the whole list through a print device that stands in for the
// window; the attributes start from their reset values so that the first
// setter of every kind is written.
Gint print_list(Gws_type type, const char* name, int w, int h, const char* func, const char* fail,
                const char* empty) {
    if (!gtype_is_WIN()) return -1;
    const int cursor = gset_cursor(8);
    const bool rec = g_obj.redraw, act = g_obj.action;
    if (gks_print_begin(type, name, w, h) != 0) {
        gerr_printf(func, "%s", fail);
        gset_cursor(cursor);
        return -1;
    }
    g_obj.redraw = false;
    g_obj.action = false;
    greset_text();
    greset_line();
    greset_marker();
    greset_fill();
    ginit_tran(type == 4 ? 2 : 4);
    if (g_obj.objs.empty()) MESS_print(M_warn, "%s", empty);
    for (const DrawObj& o : g_obj.objs) replay(o);
    gks_print_end();
    g_obj.redraw = rec;
    g_obj.action = act;
    gset_cursor(cursor);
    gcheck_event();
    gbell(0);
    return 0;
}

std::string env_or(std::initializer_list<const char*> names, const char* fallback) {
    for (const char* n : names) {
        if (const char* v = std::getenv(n); v && *v) return v;
    }
    return fallback;
}

}  // namespace

Gint gobj_print_plot() {
    const std::string name = env_or({"zemps_print", "PSPRINT"}, "zem.ps");
    return print_list(4, name.c_str(), 757, 577, "gprint_plot", "unable to open postscript file",
                      "gobj_print_plot: No redraw data to make Postscript file from\n");
}

Gint gobj_print_meta() {
    const std::string name = env_or({"METAOUT"}, "zem.meta");
    return print_list(3, name.c_str(), 0, 0, "gprint_meta", "unable to open metafile",
                      "gobj_print_meta: No redraw data to make metafile from\n");
}

bool gks_opened(const char* func) {
    if (gchk_graphics()) return true;
    gerr_printf(func, "GKS not opened");
    return false;
}

void gks_attr_record(int code, const GksAttr& v) {
    (void)gnew_obj(code, v.i[0], sizeof(GksAttr), &v);
    if (const GksDevice* d = gks_device(); d && d->attribute) d->attribute(code, v);
}

bool gks_attr_int(int code, int& field, int value) {
    if (value == field) return false;
    GksAttr v;
    v.i[0] = value;
    field = value;
    gks_attr_record(code, v);
    return true;
}

bool gks_attr_float(int code, float& field, float value) {
    if (value == field) return false;
    GksAttr v;
    v.f[0] = value;
    field = value;
    gks_attr_record(code, v);
    return true;
}

Gint gks_attr_apply(int code, const GksAttr& v) {
    switch (code) {
    case 33: return gset_linetype(v.i[0]);
    case 34: return gset_linewidth(v.f[0]);
    case 35: return gset_line_colr_ind(v.i[0]);
    case 36: return gset_line_print_bold(v.i[0]);
    case 43: return gset_marker_type(v.i[0]);
    case 44: return gset_marker_size(v.f[0]);
    case 45: return gset_marker_colr_ind(v.i[0]);
    case 46: return gset_marker_width(v.f[0]);
    case 53: return gset_space(v.f[0]);
    case 54: return gset_char_space(v.f[0]);
    case 55: return gset_expan(v.f[0]);
    case 56: return gset_text_colr_ind(v.i[0]);
    case 57: return gset_char_ht(v.f[0]);
    case 58: {
        const Gpt up{v.f[0], v.f[1]};
        return gset_char_up_vec(&up);
    }
    case 59: {
        // Values from files: only the codes the enumerations hold.
        const int prec = v.i[1] >= GSTRING_PREC && v.i[1] <= GSTROKE_PREC ? v.i[1] : GSTROKE_PREC;
        const Gfontprec fp{v.i[0], static_cast<Gtext_prec>(prec)};
        return gset_fontprec(&fp);
    }
    case 60: {
        if (v.i[0] < GNORMAL_HOR || v.i[0] > GRIGHT_HOR || v.i[1] < GNORMAL_VERT || v.i[1] > GBOTTOM_VERT) {
            gerr_printf("gset_text_align", "invalid text alignment: %d %d", v.i[0], v.i[1]);
            return -1;
        }
        const Gtext_align a{static_cast<Gtext_hor>(v.i[0]), static_cast<Gtext_ver>(v.i[1])};
        return gset_text_align(&a);
    }
    case 61: return gset_text_width(v.f[0]);
    case 73: return gset_fill_int_style(v.i[0]);
    case 74: return gset_fill_style_ind(v.i[0]);
    case 75: return gset_fill_colr_ind(v.i[0]);
    case 76: return gset_fill_print_solid(v.i[0]);
    default: return -1;
    }
}

void gks_record_image(const IMG_report* image, int x, int y, bool overlay) {
    if (!g_obj.redraw || !gtype_is_WIN() || !image || !image->data || image->bits_pixel != 8) return;
    const ImageHead h{x, y, image->width, image->height, image->bytes_line,
                      image->colors ? std::max(image->num_colors, 0) : 0};
    const std::size_t ncol = static_cast<std::size_t>(h.num_colors) * sizeof(IMG_color);
    const std::size_t pix = static_cast<std::size_t>(h.bytes_line) * static_cast<std::size_t>(std::max(h.height, 0));
    auto* block = static_cast<unsigned char*>(gnew_obj(overlay ? 91 : 90, 0, sizeof h + ncol + pix, nullptr));
    if (!block) return;
    std::memcpy(block, &h, sizeof h);
    if (ncol) std::memcpy(block + sizeof h, image->colors, ncol);
    std::memcpy(block + sizeof h + ncol, image->data, pix);
}

int gget_num_objs() { return static_cast<int>(g_obj.objs.size()); }
