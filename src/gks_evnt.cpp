// X11 input of the graphics kernel: the event dispatcher (exposure, resize,
// owner messages, buttons, pointer motion, keys), rubber bands drawn with
// exclusive-or, the callbacks into the plot framework, and the hold loop
// that animates frames and runs the refresh timer until the user quits.
#define ZEM_GKS_INTERNAL
#include "gks_evnt.h"

#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <string>

#include "gif.h"
#include "gks_line.h"
#include "gks_obj.h"
#include "gks_priv.h"
#include "gks_x11.h"
#include "gks_zoom.h"
#include "mess.h"
#include "resrc.h"
#include "system.h"
#include "tools.h"
#include "xdump.h"

namespace {

using Clock = std::chrono::steady_clock;

enum InputMode { kIdle = 0, kWaiting = 1, kSeen = 2, kFinish = 3 };

struct EvState {
    bool mapped = true;
    bool focused = false;
    bool expose_run = false;     // inside a run of exposures already answered
    int expose_copies = 0;
    Gmouse_func mouse_CB = nullptr;
    int input_mode = kIdle;
    int user_event = 0;
    // Rubber band, in window pixels.
    int rubber_band = 0;         // 0 off, 1 line, 2 rectangle, 3 connected line
    int rubber_band_con = 0;     // 1 first point's x fixed, 2 its y fixed
    int rubber_band_num = 0;
    bool has_lim = false;
    std::array<XPoint, 2> rubber_band_lim{};
    std::array<XPoint, 5> pts{};
    int pt_ind = 0;
    bool band_started = false;   // a press recorded the start point
    bool band_drawn = false;     // the band is on the screen (xor)
    XPoint band_end{};
    int refresh = 0;             // seconds between refresh callbacks
    Grefresh_func refresh_CB = nullptr;
};
EvState g_ev;

XPoint xpt(int x, int y) {
    XPoint p;
    p.x = static_cast<short>(std::clamp(x, -32768, 32767));
    p.y = static_cast<short>(std::clamp(y, -32768, 32767));
    return p;
}

std::string modifiers(unsigned state) {
    std::string s;
    if (state & Mod1Mask) s += "-Alt";
    if (state & ShiftMask) s += "-Shft";
    if (state & ControlMask) s += "-Cntrl";
    return s;
}

float world_x(int px) { return xp_W(xZ_p(static_cast<float>(px))); }
float world_y(int py) { return yp_W(yZ_p(static_cast<float>(py))); }

void callback(int kind, const std::string& text, float x, float y) {
    if (!g_ev.mouse_CB) return;
    std::string copy = text;  // the callback takes a writable string
    g_ev.mouse_CB(kind, copy.data(), x, y);
}

XPoint clamp_to_limits(XPoint p) {
    if (!g_ev.has_lim) return p;
    const int x0 = std::min(g_ev.rubber_band_lim[0].x, g_ev.rubber_band_lim[1].x);
    const int x1 = std::max(g_ev.rubber_band_lim[0].x, g_ev.rubber_band_lim[1].x);
    const int y0 = std::min(g_ev.rubber_band_lim[0].y, g_ev.rubber_band_lim[1].y);
    const int y1 = std::max(g_ev.rubber_band_lim[0].y, g_ev.rubber_band_lim[1].y);
    return xpt(std::clamp<int>(p.x, x0, x1), std::clamp<int>(p.y, y0, y1));
}

// Draw (or, drawn a second time, erase) the band to end point e.
void draw_band(XPoint e) {
    const Window w = gget_root_window();
    const XPoint s = g_ev.pts[0];
    switch (g_ev.rubber_band) {
    case 1: gxline(w, &s, &e); break;
    case 2: gxrect(w, &s, &e); break;
    case 3: {
        XPoint m = e;
        if (g_ev.rubber_band_con == 1) m.x = s.x;
        if (g_ev.rubber_band_con == 2) m.y = s.y;
        gxline(w, &s, &m);
        if (g_ev.rubber_band_num > 2) {
            const XPoint& last = g_ev.pts[static_cast<std::size_t>(std::min(g_ev.rubber_band_num, 5) - 1)];
            gxline(w, &m, &last);
        }
        break;
    }
    default: break;
    }
}

void band_erase() {
    if (g_ev.band_drawn) draw_band(g_ev.band_end);
    g_ev.band_drawn = false;
}

void band_move(XPoint p) {
    if (!g_ev.band_started || g_ev.rubber_band == 0) return;
    if (gget_line_gc_func() != GXxor) gset_line_gc_func(GXxor);
    band_erase();
    g_ev.band_end = clamp_to_limits(p);
    draw_band(g_ev.band_end);
    g_ev.band_drawn = true;
    XFlush(gget_display());
}

// Buttons 1/3 and the keys [ and ]: slower/faster loop, or step a frame.
void step_or_delay(bool forward) {
    const GksFrameOps* fr = gks_frames();
    if (fr->get_looping()) {
        const float d = fr->get_loop_delay();
        if (forward)
            fr->inc_loop_delay(d <= 0.11f ? -0.05f : -0.1f);
        else
            fr->inc_loop_delay(d < 0.09f ? 0.05f : 0.1f);
    } else if (fr->get_num_images() > 0) {
        const int n = fr->inc_frame(forward ? 1 : -1);
        if (n >= 0) fr->display_frame(n);
    }
}

std::string dump_name(const char* ext, int frame) {
    std::string t = std::string(gget_win_title()).substr(0, 5);
    std::replace(t.begin(), t.end(), ' ', '_');
    char name[64];
    if (frame >= 0)
        std::snprintf(name, sizeof name, "%s-%2.2d.%s", t.c_str(), frame, ext);
    else
        std::snprintf(name, sizeof name, "%s.%s", t.c_str(), ext);
    std::string path;
    if (const char* p = RES_get("image_path"); p && *p) {
        path = p;
        if (path.back() != '/') path += '/';
    }
    return path + name;
}

// Alt+g / Alt+x: the picture as GIF or XWD files under "image_path".
void dump_files(bool gif) {
    const char* ext = gif ? "gif" : "xwd";
    const char* kind = gif ? "GIF" : "XWD";
    auto write = [&](const std::string& name) {
        const int ok = gif ? GIF_dump(name.c_str()) : XWD_dump(name.c_str());
        if (!ok) MESS_print(M_warn, "gprocess_x11_event: Unable to write %s file: %s\n", kind, name.c_str());
        return ok != 0;
    };
    const GksFrameOps* fr = gks_frames();
    const int n = fr->get_num_images();
    if (n < 2) {
        const std::string name = dump_name(ext, -1);
        if (write(name)) MESS_print(M_mess, "Created %s file: %s\n", kind, name.c_str());
        return;
    }
    const int cur = fr->get_cur_frame();
    if (fr->get_looping()) {
        MESS_print(M_mess, "Creating %s files:\n", kind);
        for (int i = 0; i < n; ++i) {
            fr->select_frame(i);
            const std::string name = dump_name(ext, i);
            if (write(name)) MESS_print(M_mess, "%s\n", name.c_str());
        }
    } else {
        fr->select_frame(cur);
        const std::string name = dump_name(ext, cur);
        if (write(name)) MESS_print(M_mess, "Created %s file: %s\n", kind, name.c_str());
    }
    fr->select_frame(-3);
}

void on_client_message(const XClientMessageEvent& ev) {
    const GksFrameOps* fr = gks_frames();
    switch (ev.data.b[0]) {
    case 9: g_ev.input_mode = kFinish; break;
    case 2: {
        gset_win_title_extra("+");
        if (fr->get_num_images() > 0) {
            const int last = fr->get_num_images() - 1;
            const int n = fr->create_frame(-1);
            fr->copy_frame(n, last);
            fr->select_frame(n);
            fr->clear_frame(n);
        } else {
            fr->create_frame(0);
            fr->set_looping(1);
            fr->select_frame(0);
        }
        gset_win_title_extra("");
        break;
    }
    default: break;
    }
}

void on_button_press(const XButtonEvent& ev) {
    const unsigned b = ev.button;
    if (!(ev.state & Mod1Mask)) {
        if (b == 1) step_or_delay(false);
        else if (b == 2) gks_frames()->toggle_loop(2);
        else if (b == 3) step_or_delay(true);
    }
    ++g_ev.user_event;
    g_ev.pts[0] = xpt(ev.x, ev.y);
    g_ev.pt_ind = 1;
    g_ev.band_started = true;
    g_ev.band_drawn = false;
    if (b >= 1 && b <= 3)
        callback(3, "B" + std::to_string(b) + "-P" + modifiers(ev.state), world_x(ev.x), world_y(ev.y));
}

void on_button_release(const XButtonEvent& ev) {
    ++g_ev.user_event;
    band_erase();
    gset_line_gc_func(GXcopy);
    XPoint end = xpt(ev.x, ev.y);
    if (g_ev.band_started && g_ev.rubber_band) end = clamp_to_limits(end);
    g_ev.band_started = false;
    g_ev.rubber_band = 0;
    const unsigned b = ev.button;
    if (b >= 1 && b <= 3)
        callback(3, "B" + std::to_string(b) + "-R" + modifiers(ev.state), world_x(end.x), world_y(end.y));
}

void on_key_press(XKeyEvent& ev) {
    if (g_ev.input_mode != kWaiting && g_ev.input_mode != kSeen) return;
    char buf[32] = "";
    KeySym sym = NoSymbol;
    const int len = XLookupString(&ev, buf, sizeof buf - 1, &sym, nullptr);
    buf[std::max(len, 0)] = '\0';
    if (IsModifierKey(sym)) return;
    if (g_ev.input_mode == kWaiting) g_ev.input_mode = kSeen;
    ++g_ev.user_event;
    std::string text = buf;
    bool call = true;
    if (sym == XK_Return || sym == XK_KP_Enter) {
        g_ev.input_mode = kFinish;
        text = "Ret";
    } else if (ev.state & Mod1Mask) {
        const GksFrameOps* fr = gks_frames();
        switch (sym) {
        case XK_q: g_ev.input_mode = kFinish; break;
        case XK_d: fr->delete_frame(-2); break;
        case XK_z: gzoom(fr->get_cur_frame(), ev.x, ev.y, -2, 0); break;
        case XK_u:
            call = gget_zoom() <= 1;
            gunzoom();
            break;
        case XK_m: gobj_print_meta(); break;
        case XK_p: gobj_print_plot(); break;
        case XK_g: dump_files(true); break;
        case XK_x: dump_files(false); break;
        case XK_l: fr->toggle_loop(2); break;
        case XK_bracketright: step_or_delay(true); break;
        case XK_bracketleft: step_or_delay(false); break;
        default: break;
        }
    }
    if (text.empty()) {
        // Keys without text (function keys): their keysym name.
        if (const char* s = XKeysymToString(sym)) text = s;
    }
    if (call) callback(2, text + modifiers(ev.state), world_x(ev.x), world_y(ev.y));
}

void on_configure(const XConfigureEvent& ev) {
    if (ev.window != gget_root_window()) return;
    if (gresize_window(-1, -1) <= 0) return;
    ginit_plot(1);
    if (g_ev.mouse_CB) {
        const int old = gset_cursor(1);
        callback(2, "size", static_cast<float>(gget_window_width()), static_cast<float>(gget_window_height()));
        gset_cursor(old);
    } else {
        // Nobody to lay the plot out again: the display list redraws it.
        gobj_redraw_plot();
    }
}

double now_seconds() {
    return std::chrono::duration<double>(Clock::now().time_since_epoch()).count();
}

}  // namespace

Gint gset_mouse_callback(Gmouse_func func) {
    g_ev.mouse_CB = func;
    return 0;
}

Gint gset_refresh_callback(int seconds, Grefresh_func func) {
    g_ev.refresh = seconds > 0 ? seconds : 0;
    g_ev.refresh_CB = func;
    return 0;
}

int gprocess_x11_event(XEvent* event) {
    if (!event || !gtype_is_WIN() || !gget_cache() || !gget_display()) return 0;
    const int before = g_ev.user_event;
    if (event->type != Expose && event->type != ConfigureNotify) g_ev.expose_run = false;
    switch (event->type) {
    case Expose:
        if (!g_ev.expose_run) {
            gupdate_window();
            ++g_ev.expose_copies;
            g_ev.expose_run = true;
        }
        break;
    case ConfigureNotify: on_configure(event->xconfigure); break;
    case MapNotify: g_ev.mapped = true; break;
    case UnmapNotify: g_ev.mapped = false; break;
    case FocusIn: g_ev.focused = true; break;
    case FocusOut: g_ev.focused = false; break;
    case ClientMessage: on_client_message(event->xclient); break;
    case ButtonPress: on_button_press(event->xbutton); break;
    case MotionNotify: {
        XEvent last = *event;
        while (XCheckTypedWindowEvent(gget_display(), gget_root_window(), MotionNotify, &last)) {
        }
        band_move(xpt(last.xmotion.x, last.xmotion.y));
        break;
    }
    case ButtonRelease: on_button_release(event->xbutton); break;
    case KeyPress: on_key_press(event->xkey); break;
    default: break;
    }
    return g_ev.user_event - before;
}

int gcheck_event() {
    Display* dpy = gget_display();
    if (!dpy || !gtype_is_WIN_PIX()) return 0;
    int n = 0;
    while (XPending(dpy) > 0) {
        XEvent ev;
        XNextEvent(dpy, &ev);
        n += gprocess_x11_event(&ev);
        if (!gget_display()) break;  // a callback closed the workstation
    }
    return n;
}

int gwait_event() {
    Display* dpy = gget_display();
    if (!dpy || !gtype_is_WIN_PIX()) return 0;
    XEvent ev;
    XNextEvent(dpy, &ev);
    int n = gprocess_x11_event(&ev);
    return n + gcheck_event();
}

int gis_mapped() { return g_ev.mapped ? 1 : 0; }

Gint gset_input_mode(int mode) {
    g_ev.input_mode = mode ? kWaiting : kIdle;
    return 0;
}

int gget_input_mode() { return g_ev.input_mode != kFinish ? 1 : 0; }

Gint gset_rubber_band(int kind) {
    g_ev.rubber_band = (kind >= 0 && kind <= 3) ? kind : 0;
    return 0;
}

Gint gset_rubber_band_points(const Gpt* pts, int n, int con) {
    if (!pts || n < 0) return -1;
    g_ev.rubber_band_num = std::min(n, 5);
    g_ev.rubber_band_con = con;
    for (int i = 0; i < g_ev.rubber_band_num; ++i)
        g_ev.pts[static_cast<std::size_t>(i)] = xpt(static_cast<int>(xW_p(pts[i].x) + 0.5f), static_cast<int>(yW_p(pts[i].y) + 0.5f));
    g_ev.pt_ind = g_ev.rubber_band_num;
    if (n > 0) g_ev.band_started = true;
    return 0;
}

Gint gset_rubber_band_limits(const Gpt* lim) {
    if (!lim || is_missing(lim[0].x)) {
        g_ev.has_lim = false;
        return 0;
    }
    for (std::size_t i = 0; i < 2; ++i)
        g_ev.rubber_band_lim[i] = xpt(static_cast<int>(xW_p(lim[i].x) + 0.5f), static_cast<int>(yW_p(lim[i].y) + 0.5f));
    g_ev.has_lim = true;
    return 0;
}

Gint ginit_event(int type) {
    g_ev.rubber_band = 0;
    g_ev.band_started = false;
    g_ev.band_drawn = false;
    g_ev.has_lim = false;
    if (type == 0) {
        g_ev.input_mode = kIdle;
        g_ev.mapped = true;
        g_ev.expose_run = false;
    }
    return 0;
}

Gint ghold(Gint /*ws_id*/) {
    if (!gtype_is_WIN() || !gget_display()) return -1;
    const GksFrameOps* fr = gks_frames();
    gcheck_event();
    gsync();
    if (fr->get_looping()) ZEM_init_time();
    g_ev.input_mode = kWaiting;
    double next_refresh = now_seconds() + g_ev.refresh;
    int idle = 0;
    auto show_next = [&]() {
        gset_cursor(3);
        fr->loop_sleep();
        // The wait processes events: a quit that came meanwhile keeps the
        // frame the user was looking at.
        if (g_ev.input_mode == kFinish) return;
        if (g_ev.mapped) {
            const int n = fr->inc_frame(0);
            if (n >= 0) fr->display_frame(n);
        }
        ZEM_init_time();
        gcheck_event();
    };
    while (g_ev.input_mode != kFinish && gget_display()) {
        const int frames = fr->get_num_images();
        const bool looping = fr->get_looping() != 0;
        if (g_ev.refresh > 0) {
            if (frames >= 2 && looping) {
                show_next();
                idle = 0;
            } else {
                gset_cursor(frames >= 2 ? 4 : 6);
                ZEM_sleep(idle < 50 ? 0.1f : 0.5f);
                ++idle;
                if (gcheck_event() > 0) idle = 0;
            }
        } else if (frames < 2) {
            gset_cursor(6);
            gwait_event();
        } else if (looping) {
            show_next();
        } else {
            gset_cursor(4);
            gwait_event();
        }
        if (g_ev.refresh > 0 && now_seconds() >= next_refresh) {
            if (g_ev.refresh_CB) g_ev.refresh_CB();
            next_refresh += g_ev.refresh;
        }
    }
    g_ev.input_mode = kIdle;
    gbell(50);
    gset_cursor(0);
    gsync();
    return 0;
}

int gget_expose_copies() { return g_ev.expose_copies; }
