// The workstation of the graphics kernel: kernel open/close, the single
// workstation (id 1) on a new X11 window with a backing pixmap (type 1), an
// existing window handed over by an owner program (type 6) or a file device
// (types 3-5, routed through the device table), plus names, sizes, cursors
// and the X11 error handlers.
#define ZEM_GKS_INTERNAL
#include "gks_x11.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "gks_colr.h"
#include "gks_evnt.h"
#include "gks_fill.h"
#include "gks_hpgl.h"
#include "gks_line.h"
#include "gks_mark.h"
#include "gks_meta.h"
#include "gks_obj.h"
#include "gks_priv.h"
#include "gks_ps.h"
#include "gks_text.h"
#include "gks_zoom.h"
#include "mess.h"
#include "resrc.h"
#include "system.h"

namespace {

constexpr int kNumCursors = 9;
constexpr int kIconSide = 48;
constexpr int kIconBytes = kIconSide * kIconSide / 8;  // 288
constexpr int kMaxXErrors = 25;
constexpr std::size_t kMaxProgName = 20;
constexpr std::size_t kMaxTitle = 60;
constexpr std::size_t kMaxGeometry = 40;

// X11 cursor-font shapes by cursor code 0-8.
constexpr std::array<unsigned, kNumCursors> kCursorShapes = {
    XC_X_cursor, XC_left_ptr, XC_fleur, XC_exchange, XC_dot, XC_pencil, XC_tcross, XC_xterm, XC_watch};

struct WsState {
    // Connection and drawables.
    Display* display = nullptr;
    int screen = 0;
    Visual* visual = nullptr;
    int depth = 0;
    Window root_window = 0;     // the window the user sees
    Pixmap base_window = 0;     // backing pixmap with the full picture
    Drawable draw_window = 0;   // where primitives go: base or a frame pixmap
    GC root_gc = nullptr;
    bool own_window = false;    // type 1: we created root_window and base_window
    bool own_base = false;
    bool root_is_window = false;  // type 6 may name only a pixmap

    // Workstation.
    Gws_type win_type = 0;
    bool open_graphics = false;
    bool gks_open = false;
    int pix_mode = 0;
    bool fixed_size = false;
    bool icon = false;
    int win_width = 640, win_height = 512;
    int root_width = 0, root_height = 0;
    int win_x = 0, win_y = 0;
    std::string geometry;
    unsigned long fore_colr = 0, back_colr = 0;
    unsigned long red_mask = 0, grn_mask = 0, blu_mask = 0;
    std::string prog_name = "Z11_Ereze";
    std::string win_title = "Z11_Ereze";
    std::array<Cursor, kNumCursors> cursors{};
    int cursor = 0;
    const GksDevice* dev = nullptr;   // the open workstation's row
    // The window's device and size while a print device stands in for it.
    struct Saved {
        const GksDevice* dev;
        Gws_type type;
        int w, h, x, y;
    } saved{};
    bool printing = false;
    bool offscreen = false;  // a window may fall back to the raster picture

    // Errors.
    FILE* err_file = nullptr;
    bool err_file_owned = false;
    bool Xerror = false;
    bool Xerror_print = true;
    int num_error = 0;

    std::array<unsigned char, kIconBytes> icon_bits{};
    bool icon_set = false;
};
WsState g_ws;

const GksFrameOps* g_frame_ops = nullptr;

// ---- Built-in single picture (no frame module) ---------------------------------
void nf_init() {}
int nf_zero() { return 0; }
int nf_zero_i(int) { return 0; }
int nf_zero_ii(int, int) { return 0; }
int nf_minus_one() { return -1; }
int nf_minus_one_i(int) { return -1; }
int nf_clear(int n) {
    if (n != -3) return 0;
    gks_clear_base();
    return 1;
}
int nf_display(int) {
    gupdate_window();
    return 0;
}
int nf_zero_f(float) { return 0; }
float nf_delay() { return 0.5f; }
Pixmap nf_frame_id(int) { return 0; }
void nf_sleep() {}

constexpr GksFrameOps kNoFrames = {
    nf_init,      nf_zero,      nf_clear,  nf_minus_one_i, nf_zero_i, nf_zero_ii, nf_zero_ii,
    nf_display,   nf_zero_i,    nf_zero_i, nf_zero_i,      nf_zero,   nf_zero_f,  nf_delay,
    nf_zero,      nf_minus_one, nf_frame_id, nf_sleep,     nf_minus_one_i};

// ---- Devices ------------------------------------------------------------------------
const GksDevice* const kDevices[] = {&kGksX11Device, &kGksMetaDevice, &kGksPsDevice, &kGksHpglDevice,
                                     &kGksRastDevice};

bool is_x11_type(Gws_type t) { return t == 1 || t == 6; }

void restore_print_state() {
    const auto& v = g_ws.saved;
    g_ws.dev = v.dev;
    g_ws.win_type = v.type;
    g_ws.win_width = v.w;
    g_ws.win_height = v.h;
    g_ws.win_x = v.x;
    g_ws.win_y = v.y;
}

}  // namespace

std::vector<std::string> gks_split(const std::string& s, char delim) {
    std::vector<std::string> out;
    std::string cur;
    for (char c : s) {
        if (c == delim) {
            out.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    out.push_back(cur);
    return out;
}

namespace {

bool iequals(const char* a, const char* b) {
    if (!a || !b) return false;
    for (; *a && *b; ++a, ++b) {
        if (std::tolower(static_cast<unsigned char>(*a)) != std::tolower(static_cast<unsigned char>(*b)))
            return false;
    }
    return *a == *b;
}

std::string title_for_window(const std::string& t) {
    std::string s = t;
    std::replace(s.begin(), s.end(), '_', ' ');
    return s;
}

// A 48 x 48 picture of a globe with an equator and a meridian, built rather
// than stored (X11 bitmap order: bit 0 leftmost).
void make_default_icon(std::array<unsigned char, kIconBytes>& bits) {
    bits.fill(0);
    auto set = [&bits](int x, int y) {
        if (x < 0 || y < 0 || x >= kIconSide || y >= kIconSide) return;
        bits[static_cast<std::size_t>(y * (kIconSide / 8) + x / 8)] |= static_cast<unsigned char>(1u << (x % 8));
    };
    for (int y = 0; y < kIconSide; ++y) {
        for (int x = 0; x < kIconSide; ++x) {
            const double dx = x - 23.5, dy = y - 23.5;
            const double r = std::sqrt(dx * dx + dy * dy);
            const bool ring = r >= 20.0 && r <= 22.0;
            const bool equator = std::abs(dy) < 1.0 && r < 21.0;
            const bool meridian = r < 21.0 && std::abs(std::abs(dx) - 10.0 * std::sqrt(std::max(0.0, 1.0 - dy * dy / 441.0))) < 0.9;
            if (ring || equator || meridian) set(x, y);
        }
    }
}

int x_error_handler(Display* dpy, XErrorEvent* ev) {
    g_ws.Xerror = true;
    ++g_ws.num_error;
    if (g_ws.Xerror_print) {
        char text[256] = "";
        char req[256] = "";
        char code[32];
        XGetErrorText(dpy, ev->error_code, text, sizeof text);
        std::snprintf(code, sizeof code, "%d", ev->request_code);
        XGetErrorDatabaseText(dpy, "XRequest", code, code, req, sizeof req);
        MESS_print(M_warn, "X11 error: %s in %s\n", text, req);
    }
    if (g_ws.num_error >= kMaxXErrors) {
        MESS_print(M_error, "X11 error: too many errors\n");
        if (g_ws.win_type == 1) gks_frames()->delete_all_frames();
        ZEM_exit(4);
    }
    return 0;
}

int x_io_error_handler(Display*) {
    // The connection is gone: no further X11 request may be made, so the
    // frame pixmaps die with the server side of the connection.
    MESS_print(M_error, "Fatal X11 Error\n");
    ZEM_exit(4);
    return 0;
}

void install_error_handlers() {
    XSetErrorHandler(x_error_handler);
    XSetIOErrorHandler(x_io_error_handler);
}

// First readable file of the name along the "file_path" resource, else the
// name itself.
std::string find_on_path(const std::string& name) {
    if (!name.empty() && name[0] == '/') return name;
    if (const char* path = RES_get("file_path"); path && *path) {
        for (const std::string& dir : gks_split(path, ':')) {
            if (dir.empty()) continue;
            std::string full = dir + (dir.back() == '/' ? "" : "/") + name;
            if (FILE* fp = std::fopen(full.c_str(), "r")) {
                std::fclose(fp);
                return full;
            }
        }
    }
    return name;
}

void read_visual_masks() {
    g_ws.red_mask = g_ws.visual ? g_ws.visual->red_mask : 0;
    g_ws.grn_mask = g_ws.visual ? g_ws.visual->green_mask : 0;
    g_ws.blu_mask = g_ws.visual ? g_ws.visual->blue_mask : 0;
}

void set_screen_pixels() {
    const unsigned long black = BlackPixel(g_ws.display, g_ws.screen);
    const unsigned long white = WhitePixel(g_ws.display, g_ws.screen);
    g_ws.back_colr = gget_inverse() ? white : black;
    g_ws.fore_colr = gget_inverse() ? black : white;
}

void create_cursors() {
    for (int i = 0; i < kNumCursors; ++i) g_ws.cursors[static_cast<std::size_t>(i)] = XCreateFontCursor(g_ws.display, kCursorShapes[static_cast<std::size_t>(i)]);
}

// The program's geometry, else the resource "geometry" ("" when neither).
std::string requested_geometry() {
    if (!g_ws.geometry.empty()) return g_ws.geometry;
    const char* r = RES_get("geometry");
    return r && *r ? r : "";
}

// Type 1: a new top-level window with a backing pixmap of its size.
int open_new_window() {
    Display* dpy = g_ws.display;
    const int sw = DisplayWidth(dpy, g_ws.screen), sh = DisplayHeight(dpy, g_ws.screen);
    int x = 100, y = 100;
    unsigned w = static_cast<unsigned>(g_ws.win_width), h = static_cast<unsigned>(g_ws.win_height);
    std::string geom = requested_geometry();
    if (geom.empty()) {
        if (const char* d = XGetDefault(dpy, g_ws.prog_name.c_str(), "geometry"); d && *d) geom = d;
    }
    XSizeHints hints{};
    if (!geom.empty()) {
        int gx = 0, gy = 0;
        unsigned gw = 0, gh = 0;
        const int mask = XParseGeometry(geom.c_str(), &gx, &gy, &gw, &gh);
        if ((mask & WidthValue) && (mask & HeightValue) && gw > 0 && gh > 0) {
            w = gw;
            h = gh;
            hints.flags |= USSize;
        }
        if ((mask & XValue) && (mask & YValue)) {
            x = gx;
            y = gy;
            if (mask & XNegative) x += sw - static_cast<int>(w);
            if (mask & YNegative) y += sh - static_cast<int>(h);
            hints.flags |= USPosition;
        }
    }
    if (std::getenv("zeminverse")) gset_inverse(1);
    set_screen_pixels();

    XSetWindowAttributes attr{};
    attr.background_pixel = g_ws.back_colr;
    attr.border_pixel = g_ws.fore_colr;
    attr.backing_store = Always;
    attr.event_mask = KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask | EnterWindowMask |
                      LeaveWindowMask | ButtonMotionMask | ExposureMask | StructureNotifyMask |
                      FocusChangeMask;
    g_ws.Xerror = false;
    Window win = XCreateWindow(dpy, RootWindow(dpy, g_ws.screen), x, y, w, h, 5, CopyFromParent,
                               InputOutput, CopyFromParent,
                               CWBackPixel | CWBorderPixel | CWBackingStore | CWEventMask, &attr);
    XSync(dpy, False);
    if (!win || g_ws.Xerror) {
        gerr_printf("gopen_ws", "unable to open window");
        return -1;
    }
    g_ws.root_window = win;
    g_ws.own_window = true;
    g_ws.root_is_window = true;
    g_ws.win_x = 0;
    g_ws.win_y = 0;

    hints.x = x;
    hints.y = y;
    hints.width = static_cast<int>(w);
    hints.height = static_cast<int>(h);
    if (g_ws.fixed_size) {
        hints.flags |= PMinSize | PMaxSize;
        hints.min_width = hints.max_width = static_cast<int>(w);
        hints.min_height = hints.max_height = static_cast<int>(h);
    }
    if (!g_ws.icon_set) make_default_icon(g_ws.icon_bits);
    Pixmap icon_pix = XCreateBitmapFromData(dpy, win, reinterpret_cast<const char*>(g_ws.icon_bits.data()),
                                            kIconSide, kIconSide);
    const std::string title = title_for_window(g_ws.win_title);
    XSetStandardProperties(dpy, win, title.c_str(), title.c_str(), icon_pix, nullptr, 0, &hints);
    XSetWMNormalHints(dpy, win, &hints);

    bool iconic = g_ws.icon;
    if (const char* d = XGetDefault(dpy, g_ws.prog_name.c_str(), "iconic"); d && iequals(d, "on")) iconic = true;
    if (const char* r = RES_get("icon"); r && !iequals(r, "0") && !iequals(r, "off") && !iequals(r, "no"))
        iconic = true;
    XWMHints wm{};
    wm.flags = InputHint | StateHint | IconPixmapHint;
    wm.input = True;
    wm.initial_state = iconic ? IconicState : NormalState;
    wm.icon_pixmap = icon_pix;
    XSetWMHints(dpy, win, &wm);
    std::string res_name = g_ws.prog_name, res_class = "Zem";
    XClassHint ch{res_name.data(), res_class.data()};
    XSetClassHint(dpy, win, &ch);

    g_ws.root_gc = XCreateGC(dpy, win, 0, nullptr);
    g_ws.base_window = XCreatePixmap(dpy, win, w, h, static_cast<unsigned>(g_ws.depth));
    g_ws.own_base = true;
    g_ws.draw_window = g_ws.base_window;
    XMapWindow(dpy, win);
    if (!iconic) {
        XEvent ev;
        XWindowEvent(dpy, win, ExposureMask | StructureNotifyMask, &ev);
        // The first exposure is answered by the hold loop or gupdate_window;
        // put it back so that the dispatcher sees it.
        XPutBackEvent(dpy, &ev);
    }
    ginit_xcolr();
    XWindowAttributes wa{};
    if (XGetWindowAttributes(dpy, win, &wa)) {
        g_ws.win_width = wa.width;
        g_ws.win_height = wa.height;
    } else {
        g_ws.win_width = static_cast<int>(w);
        g_ws.win_height = static_cast<int>(h);
    }
    g_ws.root_width = g_ws.win_width;
    g_ws.root_height = g_ws.win_height;
    read_visual_masks();
    XClearWindow(dpy, win);
    XSetForeground(dpy, g_ws.root_gc, g_ws.back_colr);
    XFillRectangle(dpy, g_ws.base_window, g_ws.root_gc, 0, 0, w, h);
    create_cursors();
    return 0;
}

// Tells the program that owns an existing window what we need: 2 a new
// frame, 9 the end of this program (first byte of a client message).
void send_owner_message(Display* dpy, char code)
{
    XEvent ev{};
    ev.xclient.type = ClientMessage;
    ev.xclient.window = g_ws.root_window;
    ev.xclient.message_type = XA_STRING;
    ev.xclient.format = 8;
    ev.xclient.data.b[0] = code;
    XSendEvent(dpy, g_ws.root_window, False, NoEventMask, &ev);
}

// Type 6: parse the window parameter "+root:base:WxH:cmap", "0xbase:WxH:cmap"
// or "base:WxH:cmap", possibly read from a window-id file.
int open_existing_window(const std::vector<std::string>& items) {
    std::string param = items.size() > 1 ? items[1] : "";
    if (param.empty()) {
        if (const char* e = std::getenv("zemwindow"); e && *e) param = e;
        else if (const char* e2 = std::getenv("WINDOW"); e2 && *e2) param = e2;
    }
    if (param.empty()) {
        gerr_printf("gopen_ws", "window parameters not specified");
        return -1;
    }
    if (!std::isdigit(static_cast<unsigned char>(param[0])) && param[0] != '+') {
        std::string fname = param;
        if (param[0] == 'w' || param[0] == 'W') {
            if (param.size() > 1 && std::isdigit(static_cast<unsigned char>(param[1])))
                fname = "zemloop." + std::to_string(std::atoi(param.c_str() + 1));
            else if (param.size() == 1)
                fname = "zemloop.win";
        }
        FILE* fp = std::fopen(find_on_path(fname).c_str(), "r");
        char word[128] = "";
        const bool ok = fp && std::fscanf(fp, "%127s", word) == 1;
        if (fp) std::fclose(fp);
        if (!ok) {
            gerr_printf("gopen_ws", "unable to open window id file");
            return -1;
        }
        param = word;
    }
    long root = 0, base = 0, cmap = 0;
    int w = 640, h = 512;
    unsigned long ubase = 0;
    if (param[0] == '+') {
        std::sscanf(param.c_str() + 1, "%ld:%ld:%dx%d:%ld", &root, &base, &w, &h, &cmap);
    } else if (param.rfind("0x", 0) == 0) {
        std::sscanf(param.c_str() + 2, "%lx:%dx%d:%ld", &ubase, &w, &h, &cmap);
        base = static_cast<long>(ubase);
    } else {
        std::sscanf(param.c_str(), "%ld:%dx%d:%ld", &base, &w, &h, &cmap);
    }
    if (base == 0) {
        gerr_printf("gopen_ws", "window id not specified");
        return -1;
    }
    g_ws.root_is_window = root != 0;
    if (root == 0) root = base;
    if (w <= 0 || h <= 0) {
        w = 640;
        h = 512;
    }
    Display* dpy = g_ws.display;
    g_ws.root_window = static_cast<Window>(root);
    g_ws.base_window = static_cast<Pixmap>(base);
    g_ws.draw_window = g_ws.base_window;
    g_ws.own_window = false;
    g_ws.own_base = false;
    g_ws.root_width = g_ws.win_width = w;
    g_ws.root_height = g_ws.win_height = h;
    g_ws.win_x = g_ws.win_y = 0;
    if (cmap) gset_user_cmap(static_cast<Colormap>(cmap));
    gset_rw_colors(0);
    char* name = nullptr;
    if (g_ws.root_is_window && XFetchName(dpy, g_ws.root_window, &name) && name) {
        std::string t = name;
        XFree(name);
        if (auto pos = t.find(" ["); pos != std::string::npos) t.erase(pos);
        g_ws.win_title = t.substr(0, kMaxTitle);
    }
    if (std::getenv("zeminverse")) gset_inverse(1);
    set_screen_pixels();
    g_ws.root_gc = XCreateGC(dpy, g_ws.root_window, 0, nullptr);
    read_visual_masks();
    if (g_ws.pix_mode == 2 && g_ws.root_is_window) {
        send_owner_message(dpy, 2);
        XFlush(dpy);
        for (int tries = 0; tries < 150; ++tries) {  // at most 30 s
            char extra[128];
            gget_win_title_extra(extra, sizeof extra);
            if (extra[0] != '+') break;
            ZEM_sleep(0.2f);
        }
    }
    // A drawing area inside the window: "WxH+X+Y", "WxH" or a panel
    // "Pcolsxrows+col+row".
    const std::string geom = requested_geometry();
    if (!geom.empty()) {
        if (geom[0] == 'P' || geom[0] == 'p') {
            float cols = 1, rows = 1, col = 0, row = 0;
            std::sscanf(geom.c_str() + 1, "%fx%f+%f+%f", &cols, &rows, &col, &row);
            cols = std::clamp(cols, 1.0f, 8.0f);
            rows = std::clamp(rows, 1.0f, 8.0f);
            // One column or fewer: the whole width, the rows as given.
            g_ws.win_width = static_cast<int>(static_cast<float>(w) / cols);
            g_ws.win_height = static_cast<int>(static_cast<float>(h) / rows);
            g_ws.win_x = static_cast<int>(static_cast<float>(w) * col / cols);
            g_ws.win_y = static_cast<int>(static_cast<float>(h) * row / rows);
        } else {
            int gw = 0, gh = 0, gx = 0, gy = 0;
            const int n = std::sscanf(geom.c_str(), "%dx%d+%d+%d", &gw, &gh, &gx, &gy);
            if (n >= 2 && gw > 0 && gh > 0) {
                g_ws.win_width = std::min(gw, w);
                g_ws.win_height = std::min(gh, h);
                if (n == 4) {
                    g_ws.win_x = gx;
                    g_ws.win_y = gy;
                }
            }
        }
    }
    create_cursors();
    return 0;
}

void free_x11() {
    Display* dpy = g_ws.display;
    if (!dpy) return;
    if (g_ws.own_window) {
        gks_frames()->delete_all_frames();
        XUnmapWindow(dpy, g_ws.root_window);
        XDestroyWindow(dpy, g_ws.root_window);
    }
    if (g_ws.own_base && g_ws.base_window) XFreePixmap(dpy, g_ws.base_window);
    gks_line_release();
    gks_marker_release();
    gks_fill_release();
    gks_text_release();
    if (g_ws.root_gc) XFreeGC(dpy, g_ws.root_gc);
    if (g_ws.win_type == 1 && gget_user_cmap()) {
        XFreeColormap(dpy, gget_user_cmap());
    }
    gset_user_cmap(0);
    for (Cursor& c : g_ws.cursors) {
        if (c) XFreeCursor(dpy, c);
        c = 0;
    }
    XSync(dpy, False);
    if (g_ws.win_type == 6 && g_ws.pix_mode == 9 && g_ws.root_is_window) {
        send_owner_message(dpy, 9);
        XSync(dpy, False);
    }
    XCloseDisplay(dpy);
    g_ws.display = nullptr;
    g_ws.visual = nullptr;
    g_ws.root_window = 0;
    g_ws.base_window = 0;
    g_ws.draw_window = 0;
    g_ws.root_gc = nullptr;
    g_ws.own_window = g_ws.own_base = false;
    g_ws.root_is_window = false;
}

}  // namespace

// ---- Internal ----------------------------------------------------------------------

bool gks_set_frame_ops(const GksFrameOps* ops) {
    g_frame_ops = ops;
    return true;
}

const GksFrameOps* gks_frames() { return g_frame_ops ? g_frame_ops : &kNoFrames; }

const GksDevice* gks_device_of(Gws_type type) {
    if (type == 6) return &kGksX11Device;
    for (const GksDevice* d : kDevices) {
        if (d->type == type) return d;
    }
    return nullptr;
}

void gks_set_device_size(int w, int h, int x, int y) {
    g_ws.win_width = w;
    g_ws.win_height = h;
    g_ws.win_x = x;
    g_ws.win_y = y;
}

const GksDevice* gks_device() { return g_ws.open_graphics ? g_ws.dev : nullptr; }

std::string gks_find_file(const std::string& name) { return find_on_path(name); }

Gint gks_print_begin(Gws_type type, const char* conn_id, int w, int h) {
    const GksDevice* dev = gks_device_of(type);
    if (!dev || !dev->open || !g_ws.open_graphics) return -1;
    g_ws.saved = {g_ws.dev, g_ws.win_type, g_ws.win_width, g_ws.win_height, g_ws.win_x, g_ws.win_y};
    g_ws.win_x = g_ws.win_y = 0;
    if (dev->open(type, conn_id ? conn_id : "") < 0) {
        restore_print_state();
        return -1;
    }
    g_ws.dev = dev;
    g_ws.win_type = type;
    if (w > 0 && h > 0) {
        g_ws.win_width = w;
        g_ws.win_height = h;
    }
    g_ws.printing = true;
    return 0;
}

void gks_print_end() {
    if (!g_ws.printing) return;
    g_ws.printing = false;
    if (g_ws.dev && g_ws.dev->close) g_ws.dev->close();
    restore_print_state();
    ginit_tran(10);
    gks_apply_clip();
}

void gks_clear_base() {
    if (!g_ws.display || !g_ws.base_window || !g_ws.root_gc) return;
    long pix = gget_back_color();
    XSetForeground(g_ws.display, g_ws.root_gc, pix >= 0 ? static_cast<unsigned long>(pix) : g_ws.back_colr);
    XFillRectangle(g_ws.display, g_ws.base_window, g_ws.root_gc, g_ws.win_x, g_ws.win_y,
                   static_cast<unsigned>(g_ws.win_width), static_cast<unsigned>(g_ws.win_height));
}

XPoint gks_world_to_xpoint(const Gpt& p) {
    XPoint xp;
    xp.x = static_cast<short>(static_cast<int>(xW_p(p.x) + 0.5f));
    xp.y = static_cast<short>(static_cast<int>(yW_p(p.y) + 0.5f));
    return xp;
}

int gks_pixels(float v) {
    if (!(v > 0.0f)) return 0;
    return v >= 32767.0f ? 32767 : static_cast<int>(v);
}

void gks_gc_defaults(GC gc) {
    if (gc && g_ws.display) XSetLineAttributes(g_ws.display, gc, 0, LineSolid, CapButt, JoinBevel);
}

// ---- Kernel and workstation -----------------------------------------------------------

Gint gopen_gks(const Gchar* err_f, Gint /*mem*/) {
    if (g_ws.err_file_owned && g_ws.err_file) std::fclose(g_ws.err_file);
    g_ws.err_file_owned = false;
    if (err_f && *err_f) {
        g_ws.err_file = std::fopen(err_f, "w");
        if (!g_ws.err_file) return 1;
        g_ws.err_file_owned = true;
    } else {
        g_ws.err_file = stderr;
    }
    g_ws.gks_open = true;
    return 0;
}

Gint gclose_gks() {
    if (g_ws.err_file_owned && g_ws.err_file) std::fclose(g_ws.err_file);
    g_ws.err_file = nullptr;
    g_ws.err_file_owned = false;
    g_ws.gks_open = false;
    return 0;
}

Gint gemergency_close_gks() { return 0; }

namespace {

// Opens a device row that has its own output (a file, or the in-memory
// picture): its size stands in for the window size until it closes.
Gint open_device(const GksDevice* dev, Gws_type ws_type, const Gchar* conn_id) {
    g_ws.saved = {nullptr, 0, g_ws.win_width, g_ws.win_height, g_ws.win_x, g_ws.win_y};
    g_ws.win_x = g_ws.win_y = 0;
    if (ws_type == GKS_RASTER) {
        g_ws.root_width = g_ws.win_width;
        g_ws.root_height = g_ws.win_height;
    }
    if (dev->open(ws_type, conn_id ? conn_id : "") < 0) {
        restore_print_state();
        return -1;
    }
    g_ws.dev = dev;
    g_ws.win_type = ws_type;
    g_ws.open_graphics = true;
    ginit_objs();
    gset_redraw(0);
    gset_cache(0);
    ginit_plot(dev->init_code);
    gsetup_fonts();
    ginit_background();
    return 0;
}

}  // namespace

Gint gopen_ws(Gint /*ws_id*/, const Gchar* conn_id, Gws_type ws_type) {
    if (g_ws.open_graphics) {
        gerr_printf("gopen_ws", "workstation already open");
        return -1;
    }
    const std::vector<std::string> items = gks_split(conn_id ? conn_id : "", ',');
    if (ws_type == 4) {
        if (const char* p = std::getenv("zemprint"); p && iequals(p, "hpgl")) ws_type = 5;
    }
    g_ws.dev = nullptr;
    const GksDevice* dev = gks_device_of(ws_type);
    if (dev && dev->open) return open_device(dev, ws_type, conn_id);
    if (!is_x11_type(ws_type)) {
        gerr_printf("gopen_ws", "invalid workstation type: %d", ws_type);
        return -1;
    }
    install_error_handlers();
    const char* dname = items[0].empty() ? nullptr : items[0].c_str();
    // A server whose last client has just gone regenerates for a moment and
    // refuses connections meanwhile, so try a few times before giving up.
    // Without any display name there is nothing to wait for.
    const char* env_display = std::getenv("DISPLAY");
    const int attempts = dname || (env_display && *env_display) ? 4 : 1;
    Display* dpy = nullptr;
    for (int attempt = 0; attempt < attempts && !dpy; ++attempt) {
        if (attempt > 0) usleep(100000);
        dpy = XOpenDisplay(dname);
    }
    if (!dpy && ws_type == GWS_X11 && g_ws.offscreen) {
        // Frames go to files only: draw the window's picture in memory.
        MESS_print(M_mess, "gopen_ws: no display, drawing off-screen\n");
        std::string geom = requested_geometry();
        int gx = 0, gy = 0;
        unsigned gw = 0, gh = 0;
        const int mask = geom.empty() ? 0 : XParseGeometry(geom.c_str(), &gx, &gy, &gw, &gh);
        if ((mask & WidthValue) && (mask & HeightValue) && gw > 0 && gh > 0) {
            g_ws.win_width = static_cast<int>(gw);
            g_ws.win_height = static_cast<int>(gh);
        }
        if (std::getenv("zeminverse")) gset_inverse(1);
        return open_device(&kGksRastDevice, GKS_RASTER, conn_id);
    }
    if (!dpy) {
        gerr_printf("gopen_ws", "unable to connect to display");
        return -1;
    }
    g_ws.display = dpy;
    g_ws.screen = DefaultScreen(dpy);
    g_ws.depth = DefaultDepth(dpy, g_ws.screen);
    g_ws.visual = DefaultVisual(dpy, g_ws.screen);
    gset_def_cmap(DefaultColormap(dpy, g_ws.screen));
    g_ws.win_type = ws_type;
    const int rc = ws_type == 1 ? open_new_window() : open_existing_window(items);
    if (rc < 0) {
        XCloseDisplay(dpy);
        g_ws.display = nullptr;
        g_ws.win_type = 0;
        return -1;
    }
    g_ws.open_graphics = true;
    g_ws.dev = &kGksX11Device;
    ginit_objs();
    if (ws_type == 6) {
        gset_redraw(0);
        gset_cache(0);
    }
    ginit_plot(0);
    gsetup_fonts();
    ginit_background();
    if (ws_type == 6 && g_ws.pix_mode == 1) gks_frames()->clear_frame(-3);
    XSync(dpy, False);
    gcheck_event();
    gset_cursor(8);
    return 0;
}

Gint gactivate_ws(Gint) { return 0; }
Gint gdeactivate_ws(Gint) { return 0; }

Gint gclose_ws(Gint /*ws_id*/) {
    if (!g_ws.open_graphics) return -1;
    greset_zoom();
    if (is_x11_type(g_ws.win_type)) free_x11();
    if (g_ws.win_type == 1) gclear_objs();
    const bool file = g_ws.dev && g_ws.dev->close;
    if (file) g_ws.dev->close();
    g_ws.dev = nullptr;
    if (file) restore_print_state();
    g_ws.open_graphics = false;
    g_ws.win_type = 0;
    return 0;
}

Gint gclear_ws(Gint /*ws_id*/, Gclear_flag /*flag*/) {
    if (g_ws.win_type != 1 || !g_ws.display) return 0;
    gks_clear_base();
    gclear_objs();
    return 0;
}

Gint gmessage(Gint /*ws_id*/, const char* text) {
    if (!text) return -1;
    (void)gnew_obj(5, 0, std::strlen(text) + 1, text);
    if (const GksDevice* d = gks_device(); d && d->message) d->message(text);
    return 0;
}

namespace {

// Segments live in the display list; a metafile writes their records and
// reports -1 (it keeps no list).
Gint segment(int code, Gint n) {
    if (const GksDevice* d = gks_device(); d && d->segment) {
        d->segment(code, n);
        return -1;
    }
    if (code == 83) return gdel_seg_objs(n);
    (void)gnew_obj(code, n, 0, nullptr);
    return 0;
}

void x11_clear_region(const Glim& lim) {
    if (!g_ws.display || !g_ws.draw_window) return;
    const XPoint a = gks_world_to_xpoint(Gpt{lim.x_min, lim.y_min});
    const XPoint b = gks_world_to_xpoint(Gpt{lim.x_max, lim.y_max});
    const int x0 = std::min(a.x, b.x), y0 = std::min(a.y, b.y);
    const unsigned w = static_cast<unsigned>(std::abs(a.x - b.x)) + 1;
    const unsigned h = static_cast<unsigned>(std::abs(a.y - b.y)) + 1;
    const long pix = gget_back_color();
    XSetForeground(g_ws.display, g_ws.root_gc, pix >= 0 ? static_cast<unsigned long>(pix) : g_ws.back_colr);
    XFillRectangle(g_ws.display, g_ws.draw_window, g_ws.root_gc, x0, y0, w, h);
}

}  // namespace

Gint gcreate_seg(Gint n) { return segment(81, n); }
Gint gclose_seg(Gint n) { return segment(82, n); }
Gint gdel_seg(Gint n) { return segment(83, n); }

Gint gclear_region(const Glim* lim) {
    if (!lim) return -1;
    (void)gnew_obj(25, 0, sizeof(Glim), lim);
    if (const GksDevice* d = gks_device(); d && d->clear_region) d->clear_region(*lim);
    return 0;
}

const GksDevice kGksX11Device = {
    1, "X11", 0, nullptr, nullptr, gks_x11_polyline, gks_x11_polymarker, gks_x11_fill_area, gks_x11_text,
    gks_x11_image, nullptr, nullptr, gks_x11_clip, nullptr, nullptr, x11_clear_region, nullptr};

Gint ginit_plot(int code) {
    if (code < 0) return -1;
    greset_text();
    greset_line();
    greset_marker();
    greset_fill();
    gks_frames()->init_loop();
    ginit_tran(code);
    ginit_text(code);
    ginit_line(code);
    ginit_marker(code);
    ginit_fill(code);
    if (code == 0) {
        g_ws.Xerror = false;
        g_ws.num_error = 0;
        g_ws.Xerror_print = true;
        if (g_ws.win_type == 6) gset_rw_colors(0);
    }
    if (g_ws.win_type == GKS_RASTER) gks_rast_defaults();
    if ((code == 0 || code == 1) && g_ws.display) {
        ginit_event(code);
        for (GC gc : {gget_line_gc(), gget_marker_gc(), gget_text_gc(), gget_fill_gc()}) gks_gc_defaults(gc);
        XSync(g_ws.display, False);
    }
    return 0;
}

Gint gupdate_window() {
    if (!is_x11_type(g_ws.win_type) || !g_ws.display || !g_ws.base_window) return 0;
    if (g_ws.base_window != g_ws.root_window) {
        XCopyArea(g_ws.display, g_ws.base_window, g_ws.root_window, g_ws.root_gc, 0, 0,
                  static_cast<unsigned>(g_ws.root_width), static_cast<unsigned>(g_ws.root_height), 0, 0);
    }
    XSync(g_ws.display, False);
    return 0;
}

Gint gsync() {
    if (is_x11_type(g_ws.win_type) && g_ws.display) XSync(g_ws.display, False);
    return 0;
}

Gint gbell(int percent) {
    if (!is_x11_type(g_ws.win_type) || !g_ws.display) return 0;
    XBell(g_ws.display, percent == 0 ? 50 : std::clamp(percent, -100, 100));
    return 0;
}

// ---- Sizes ------------------------------------------------------------------------

Gint gget_win_size(int* w, int* h) {
    if (w) *w = g_ws.win_width;
    if (h) *h = g_ws.win_height;
    return 0;
}

Gint gget_win_offset(int* x, int* y) {
    if (x) *x = g_ws.win_x;
    if (y) *y = g_ws.win_y;
    return 0;
}

Gint gget_root_size(int* w, int* h) {
    if (w) *w = g_ws.root_width;
    if (h) *h = g_ws.root_height;
    return 0;
}

int gget_window_width() { return g_ws.win_width; }
int gget_window_height() { return g_ws.win_height; }

Gint gset_win_size(int w, int h) {
    if (w <= 0 || h <= 0) return -1;
    g_ws.win_width = w;
    g_ws.win_height = h;
    ginit_tran(10);
    return 0;
}

Gint gset_xsize(int w, int h) {
    if (w <= 0 || h <= 0) return -1;
    if (g_ws.open_graphics && g_ws.win_type == 1 && g_ws.display) return gresize_window(w, h) >= 0 ? 0 : -1;
    g_ws.win_width = w;
    g_ws.win_height = h;
    return 0;
}

Gint gset_xoff(int x, int y) {
    g_ws.win_x = x;
    g_ws.win_y = y;
    return 0;
}

Gint gresize_window(int w, int h) {
    if (g_ws.win_type != 1 || !g_ws.display || !g_ws.root_window) return 0;
    Display* dpy = g_ws.display;
    int nw = w, nh = h;
    if (w > 0) {
        if (h <= 0) return 0;
        XClearWindow(dpy, g_ws.root_window);
        XResizeWindow(dpy, g_ws.root_window, static_cast<unsigned>(w), static_cast<unsigned>(h));
    } else {
        XWindowAttributes wa{};
        if (!XGetWindowAttributes(dpy, g_ws.root_window, &wa)) return 0;
        nw = wa.width;
        nh = wa.height;
        if (nw == g_ws.root_width && nh == g_ws.root_height) return 0;
        XClearWindow(dpy, g_ws.root_window);
    }
    if (w > 0 || w == -1) {
        // The new backing pixmap keeps the old picture in its top-left part.
        Pixmap pix = XCreatePixmap(dpy, g_ws.root_window, static_cast<unsigned>(nw), static_cast<unsigned>(nh),
                                   static_cast<unsigned>(g_ws.depth));
        const long back = gget_back_color();
        XSetForeground(dpy, g_ws.root_gc, back >= 0 ? static_cast<unsigned long>(back) : g_ws.back_colr);
        XFillRectangle(dpy, pix, g_ws.root_gc, 0, 0, static_cast<unsigned>(nw), static_cast<unsigned>(nh));
        XCopyArea(dpy, g_ws.base_window, pix, g_ws.root_gc, 0, 0,
                  static_cast<unsigned>(std::min(nw, g_ws.root_width)),
                  static_cast<unsigned>(std::min(nh, g_ws.root_height)), 0, 0);
        if (g_ws.draw_window == g_ws.base_window) g_ws.draw_window = pix;
        XFreePixmap(dpy, g_ws.base_window);
        g_ws.base_window = pix;
    }
    g_ws.win_width = g_ws.root_width = nw;
    g_ws.win_height = g_ws.root_height = nh;
    greset_zoom();
    gks_frames()->delete_all_frames();
    return 1;
}

// ---- Names --------------------------------------------------------------------------

Gint gset_prog_name(const char* name) {
    if (!name) return -1;
    g_ws.prog_name = std::string(name).substr(0, kMaxProgName);
    return 0;
}

const char* gget_prog_name() { return g_ws.prog_name.c_str(); }

Gint gset_win_title(const char* title) {
    if (!title) return -1;
    g_ws.win_title = std::string(title).substr(0, kMaxTitle);
    if (g_ws.win_type == 1 && g_ws.display && g_ws.root_window) {
        const std::string t = title_for_window(g_ws.win_title);
        XStoreName(g_ws.display, g_ws.root_window, t.c_str());
        XSetIconName(g_ws.display, g_ws.root_window, t.c_str());
    }
    return 0;
}

const char* gget_win_title() { return g_ws.win_title.c_str(); }

Gint gset_win_title_extra(const char* str) {
    if (!is_x11_type(g_ws.win_type) || !g_ws.display || !g_ws.root_is_window) return 0;
    std::string name = title_for_window(g_ws.win_title);
    if (str && *str) name += std::string(" ") + str;
    XStoreName(g_ws.display, g_ws.root_window, name.c_str());
    XFlush(g_ws.display);
    return 0;
}

Gint gget_win_title_extra(char* buf, int size) {
    if (!buf || size <= 0) return -1;
    buf[0] = '\0';
    if (!g_ws.display || !g_ws.root_is_window) return 0;
    char* name = nullptr;
    if (!XFetchName(g_ws.display, g_ws.root_window, &name) || !name) return 0;
    const std::string full = name;
    XFree(name);
    const std::string title = title_for_window(g_ws.win_title);
    std::string extra;
    if (full.rfind(title, 0) == 0 && full.size() > title.size() + 1) extra = full.substr(title.size() + 1);
    std::snprintf(buf, static_cast<std::size_t>(size), "%s", extra.c_str());
    return 0;
}

// ---- Settings before opening ------------------------------------------------------------

Gint gset_geometry(const char* str) {
    g_ws.geometry = str ? std::string(str).substr(0, kMaxGeometry) : std::string();
    return 0;
}

Gint gset_iconic(int flag) {
    g_ws.icon = flag != 0;
    return 0;
}

Gint gset_fixed_size() {
    g_ws.fixed_size = true;
    return 0;
}

Gint gset_pix_mode(int mode) {
    g_ws.pix_mode = mode;
    return 0;
}

Gint gset_icon_bitmap(const unsigned char* bits) {
    if (!bits) return -1;
    std::copy(bits, bits + kIconBytes, g_ws.icon_bits.begin());
    g_ws.icon_set = true;
    return 0;
}

Gint gset_win_type(Gws_type type) {
    g_ws.win_type = type;
    return 0;
}

Gws_type gget_win_type() { return g_ws.win_type; }
Gint gget_ws_id() { return 1; }
int gchk_graphics() { return g_ws.open_graphics ? 1 : 0; }

// ---- Accessors ------------------------------------------------------------------------

Display* gget_display() { return g_ws.display; }
int gget_screen() { return g_ws.screen; }
Visual* gget_visual() { return g_ws.visual; }
int gget_win_depth() { return g_ws.depth; }
Window gget_root_window() { return g_ws.root_window; }
Pixmap gget_base_window() { return g_ws.base_window; }

Gint gset_base_window(Pixmap pix) {
    if (g_ws.draw_window == g_ws.base_window) g_ws.draw_window = pix;
    g_ws.base_window = pix;
    return 0;
}

Drawable gget_draw_window() { return g_ws.draw_window; }

Gint gset_draw_window(Drawable win) {
    g_ws.draw_window = win ? win : g_ws.base_window;
    return 0;
}

GC gget_root_gc() { return g_ws.root_gc; }
unsigned long gget_red_mask() { return g_ws.red_mask; }
unsigned long gget_grn_mask() { return g_ws.grn_mask; }
unsigned long gget_blu_mask() { return g_ws.blu_mask; }
int gtype_is_WIN() { return g_ws.win_type == 1; }
int gtype_is_PIX() { return g_ws.win_type == 6; }
int gtype_is_WIN_PIX() { return is_x11_type(g_ws.win_type) ? 1 : 0; }
int gtype_is_PS() { return g_ws.win_type == 4; }
int gtype_is_HPGL() { return g_ws.win_type == 5; }
int gtype_is_META() { return g_ws.win_type == 3; }
int gtype_is_RAST() { return g_ws.win_type == GKS_RASTER; }

Gint gset_offscreen(int on) {
    g_ws.offscreen = on != 0;
    return 0;
}

// ---- Cursors --------------------------------------------------------------------------

int gset_cursor_type(int code) {
    const int old = g_ws.cursor;
    if (code < 0 || code >= kNumCursors) return old;
    g_ws.cursor = code;
    if (is_x11_type(g_ws.win_type) && g_ws.display && g_ws.root_is_window && g_ws.cursors[static_cast<std::size_t>(code)])
        XDefineCursor(g_ws.display, g_ws.root_window, g_ws.cursors[static_cast<std::size_t>(code)]);
    return old;
}

int gset_cursor(int code) {
    const int old = gset_cursor_type(code);
    if (is_x11_type(g_ws.win_type) && g_ws.display) XSync(g_ws.display, False);
    return old;
}

int gget_cursor_type() { return g_ws.cursor; }

// ---- Errors -----------------------------------------------------------------------------

Gint gerr_printf(const char* func, const char* format, ...) {
    if (!g_ws.err_file || !format) return 0;
    char msg[512];
    va_list ap;
    va_start(ap, format);
    std::vsnprintf(msg, sizeof msg, format, ap);
    va_end(ap);
    const std::size_t len = std::strlen(msg);
    const char* nl = (len > 0 && msg[len - 1] == '\n') ? "" : "\n";
    if (g_ws.err_file_owned) std::fprintf(g_ws.err_file, "%s: %s%s", func ? func : "gks", msg, nl);
    MESS_print(M_warn, "%s: %s%s", func ? func : "gks", msg, nl);
    return 0;
}
