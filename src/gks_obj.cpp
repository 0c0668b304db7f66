// Display list of the X11 window workstation: picture-changing kernel calls
// are recorded with a copy of their arguments and replayed to redraw the
// window after it changed size. Printing the list needs the PostScript and
// metafile devices, which are not built yet.
#define ZEM_GKS_INTERNAL
#include "gks_obj.h"

#include <cstdlib>
#include <cstring>
#include <list>
#include <new>
#include <vector>

#include "gks_colr.h"
#include "gks_evnt.h"
#include "gks_fill.h"
#include "gks_line.h"
#include "gks_mark.h"
#include "gks_priv.h"
#include "gks_text.h"
#include "gks_x11.h"
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
    case 33: gset_linetype(o.value); break;
    case 34: gset_linewidth(get<float>(o)); break;
    case 35: gset_line_colr_ind(o.value); break;
    case 36: gset_line_print_bold(o.value); break;
    case 40: if (const Gpt* p = points(o)) gpolymarker(o.value, p); break;
    case 43: gset_marker_type(o.value); break;
    case 44: gset_marker_size(get<float>(o)); break;
    case 45: gset_marker_colr_ind(o.value); break;
    case 46: gset_marker_width(get<float>(o)); break;
    case 50:
        if (o.data.size() > sizeof(Gpt)) {
            const Gpt p = get<Gpt>(o);
            gtext(&p, reinterpret_cast<const char*>(o.data.data() + sizeof(Gpt)));
        }
        break;
    case 53: gset_space(get<float>(o)); break;
    case 54: gset_char_space(get<float>(o)); break;
    case 55: gset_expan(get<float>(o)); break;
    case 56: gset_text_colr_ind(o.value); break;
    case 57: gset_char_ht(get<float>(o)); break;
    case 58: { const Gpt p = get<Gpt>(o); gset_char_up_vec(&p); break; }
    case 59: { const Gfontprec f = get<Gfontprec>(o); gset_fontprec(&f); break; }
    case 60: { const Gtext_align a = get<Gtext_align>(o); gset_text_align(&a); break; }
    case 61: gset_text_width(get<float>(o)); break;
    case 73: gset_fill_int_style(o.value); break;
    case 74: gset_fill_style_ind(o.value); break;
    case 75: gset_fill_colr_ind(o.value); break;
    case 76: gset_fill_print_solid(o.value); break;
    case 999: if (o.func) o.func(o.func_data); break;
    default: break;
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

Gint gobj_print_plot() {
    MESS_print(M_warn, "gobj_print_plot: PostScript printing not built yet\n");
    return -1;
}

Gint gobj_print_meta() {
    MESS_print(M_warn, "gobj_print_meta: metafile output not built yet\n");
    return -1;
}

int gget_num_objs() { return static_cast<int>(g_obj.objs.size()); }
