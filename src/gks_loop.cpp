// Frames and the animation loop. Each frame is a window-size pixmap on the X
// server, so showing a frame is a server-side copy; the hold loop of the
// workstation steps through them with their delays.
#define ZEM_GKS_INTERNAL
#include "gks_loop.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

#include "gks_colr.h"
#include "gks_evnt.h"
#include "gks_obj.h"
#include "gks_priv.h"
#include "gks_x11.h"
#include "gks_zoom.h"
#include "mess.h"
#include "system.h"

namespace {

constexpr int kLast = -1;
constexpr int kCurrent = -2;
constexpr int kBase = -3;
constexpr M_type kTrace = 0x40000000;  // copy, display and step tracing
constexpr int kLoopCursor = 3;
constexpr int kStopCursor = 4;

struct Frame {
    char filename[50];
    char data[50];
    int data_size;
    Pixmap pixmap;
    int colormap;
    int flag;
    float delay;
};

struct LoopState {
    std::array<Frame, GKS_MAX_FRAMES> frames{};
    int num_images = 0;
    int cur_image = -1;
    int looping = 0;
    int loop_direct = 1;   // 0 back, 1 forward, 2 rocking back, 3 rocking forward
    float loop_delay = 0.5f;
    float loop_pause = 1.0f;
    int loop_title = 1;
};

LoopState g_loop;

// The X11 handles every frame call needs; false when there is no display
// or draw window (then frame calls do nothing).
bool have_x11()
{
    return gget_display() != nullptr && gget_draw_window() != 0 &&
           (gtype_is_WIN() || gtype_is_PIX());
}

// The in-memory picture of a window without a server: one picture that
// each new frame clears. Frames are numbered and timed as on a window, but
// a frame is only there until the next one is drawn (enough to dump each
// frame as it is finished).
bool raster() { return gtype_is_RAST() != 0; }

void window_area(int* x, int* y, unsigned* w, unsigned* h)
{
    int ww = 0, wh = 0;
    gget_win_size(&ww, &wh);
    int ox = 0, oy = 0;
    gget_win_offset(&ox, &oy);
    *x = ox;
    *y = oy;
    *w = static_cast<unsigned>(std::max(ww, 1));
    *h = static_cast<unsigned>(std::max(wh, 1));
}

// Frame number conventions to a table index; -3 stays -3.
int resolve(int n)
{
    if (n == kBase)
        return kBase;
    if (n == kCurrent)
        return g_loop.cur_image;
    if (n < 0)
        return g_loop.num_images - 1;
    return n;
}

Drawable drawable_of(int n)
{
    if (n == kBase)
        return gget_base_window();
    if (n < 0 || n >= GKS_MAX_FRAMES)
        return 0;
    return g_loop.frames[n].pixmap;
}

void fill_background(Drawable d)
{
    Display* dpy = gget_display();
    GC gc = gget_root_gc();
    int x, y;
    unsigned w, h;
    window_area(&x, &y, &w, &h);
    int ww = 0, wh = 0;
    gget_root_size(&ww, &wh);
    XSetForeground(dpy, gc, static_cast<unsigned long>(gget_back_color()));
    XFillRectangle(dpy, d, gc, 0, 0, static_cast<unsigned>(std::max(ww, static_cast<int>(w) + x)),
                   static_cast<unsigned>(std::max(wh, static_cast<int>(h) + y)));
}

void reset_record(Frame& f)
{
    f.filename[0] = '\0';
    f.data[0] = '\0';
    f.data_size = 0;
    f.colormap = 0;
    f.flag = 1;
    f.delay = 0.5f;
}

// The workstation reaches frames only through this table.
const GksFrameOps kOps = {
    ginit_loop,      gdelete_all_frames, gclear_frame,  gcreate_frame,   gselect_frame,
    gcopy_frame,     gswitch_frame,      gdisplay_frame, gdelete_frame,  gset_looping,
    gtoggle_loop,    gget_looping,       ginc_loop_delay, gget_loop_delay, gget_num_images,
    gget_cur_frame,  gget_frame_id,      gloop_sleep,    ginc_frame,
};
const bool kRegistered = gks_set_frame_ops(&kOps);

}  // namespace

void ginit_loop()
{
    (void)kRegistered;
    g_loop.num_images = 0;
    g_loop.cur_image = -1;
    for (Frame& f : g_loop.frames)
        reset_record(f);
}

int gcreate_frame(int n)
{
    if (!have_x11() && !raster())
        return 0;
    if (n < 0 && n != kCurrent)
        n = g_loop.num_images;
    else if (n == kCurrent)
        n = std::max(g_loop.cur_image, 0);
    if (n >= GKS_MAX_FRAMES) {
        MESS_print(M_warn, "gcreate_frame: no room for frame %d (at most %d frames)\n", n,
                   GKS_MAX_FRAMES);
        return -1;
    }
    bool appended = n >= g_loop.num_images;
    if (appended)
        n = g_loop.num_images;
    Frame& f = g_loop.frames[n];
    Display* dpy = gget_display();
    if (raster())
        gks_rast_clear();
    else if (f.pixmap == 0) {
        int ww = 0, wh = 0;
        gget_root_size(&ww, &wh);
        int x, y;
        unsigned w, h;
        window_area(&x, &y, &w, &h);
        unsigned pw = std::max(static_cast<unsigned>(std::max(ww, 1)), w + x);
        unsigned ph = std::max(static_cast<unsigned>(std::max(wh, 1)), h + y);
        f.pixmap = XCreatePixmap(dpy, gget_root_window(), pw, ph,
                                 static_cast<unsigned>(gget_win_depth()));
    }
    if (!raster())
        fill_background(f.pixmap);
    int count = appended ? g_loop.num_images + 1 : g_loop.num_images;
    if (n > 0)
        g_loop.frames[n - 1].delay = g_loop.loop_delay;
    g_loop.frames[count - 1].delay = g_loop.loop_pause;
    if (dpy)
        XSync(dpy, False);
    MESS_print(M_out4, "Created frame: %d-%ld\n", count, static_cast<long>(f.pixmap));
    if (appended)
        g_loop.num_images++;
    return n;
}

int gselect_frame(int n)
{
    if (!have_x11())
        return 0;
    gset_redraw(0);
    int i = resolve(n);
    if (i == kBase) {
        gset_draw_window(0);
    } else {
        Drawable d = drawable_of(i);
        if (d == 0)
            return 0;
        gset_draw_window(d);
    }
    MESS_print(M_out4, "Selected frame: %d\n", n);
    return 0;
}

int gclear_frame(int n)
{
    if (raster())
        gks_rast_clear();
    if (!have_x11())
        return 0;
    int i = resolve(n);
    Drawable d = drawable_of(i);
    if (d == 0)
        return 0;
    fill_background(d);
    return 0;
}

int gcopy_frame(int dst, int src)
{
    if (!have_x11())
        return 0;
    Drawable d = drawable_of(resolve(dst));
    Drawable s = drawable_of(resolve(src));
    if (d == 0 || s == 0)
        return 0;
    MESS_print(kTrace, "Copy frame: %d->%d\n", src, dst);
    int x, y;
    unsigned w, h;
    window_area(&x, &y, &w, &h);
    XCopyArea(gget_display(), s, d, gget_root_gc(), x, y, w, h, x, y);
    return 0;
}

int gswitch_frame(int a, int b)
{
    if (!have_x11())
        return 0;
    int ia = resolve(a), ib = resolve(b);
    // Both must name a record (or the base pixmap): exchanging with nothing
    // would drop the other frame's pixmap without freeing it.
    auto valid = [](int i) { return i == kBase || (i >= 0 && i < GKS_MAX_FRAMES); };
    if (!valid(ia) || !valid(ib))
        return 0;
    Drawable da = drawable_of(ia), db = drawable_of(ib);
    Drawable draw = gget_draw_window();
    auto store = [](int i, Drawable d) {
        if (i == kBase)
            gset_base_window(static_cast<Pixmap>(d));
        else if (i >= 0 && i < GKS_MAX_FRAMES)
            g_loop.frames[i].pixmap = static_cast<Pixmap>(d);
    };
    store(ia, db);
    store(ib, da);
    if (draw == da)
        gset_draw_window(db);
    else if (draw == db)
        gset_draw_window(da);
    return 0;
}

int gdisplay_frame(int n)
{
    if (!have_x11() && !raster())
        return 0;
    if (n < 0)
        n = std::max(g_loop.cur_image, 0);
    if (n >= GKS_MAX_FRAMES)
        return 0;
    if (raster()) {
        g_loop.cur_image = n;
        return 0;
    }
    MESS_print(kTrace, "Display frame: %d\n", n);
    if (gget_zoom() > 1) {
        gzoom(n, -1, -1, -1, 1);
    } else if (g_loop.frames[n].pixmap != 0) {
        int x, y;
        unsigned w, h;
        window_area(&x, &y, &w, &h);
        XCopyArea(gget_display(), g_loop.frames[n].pixmap, gget_base_window(), gget_root_gc(), x,
                  y, w, h, x, y);
    }
    gupdate_window();
    if (g_loop.loop_title && g_loop.num_images > 0) {
        char extra[16];
        std::snprintf(extra, sizeof extra, "[%d]", n);
        gset_win_title_extra(extra);
    }
    g_loop.cur_image = n;
    return 0;
}

int gdelete_frame(int n)
{
    if (!have_x11() && !raster())
        return 0;
    if (n == kCurrent)
        n = g_loop.cur_image;
    else if (n < 0)
        n = g_loop.num_images - 1;
    if (n < 0 || n >= GKS_MAX_FRAMES)
        return 0;
    Display* dpy = gget_display();
    if (n >= g_loop.num_images && n != 0) {
        if (g_loop.frames[n].pixmap != 0) {
            XFreePixmap(dpy, g_loop.frames[n].pixmap);
            g_loop.frames[n].pixmap = 0;
        }
        return 1;
    }
    bool only_first = n == 0 && g_loop.num_images <= 1;
    Pixmap kept = g_loop.frames[n].pixmap;
    if (!only_first && kept != 0) {
        XFreePixmap(dpy, kept);
        kept = 0;
    }
    int last = std::max(g_loop.num_images - 1, 0);
    for (int i = n; i < last; i++)
        g_loop.frames[i] = g_loop.frames[i + 1];
    if (only_first) {
        g_loop.frames[0].pixmap = kept;
    } else {
        reset_record(g_loop.frames[last]);
        g_loop.frames[last].pixmap = 0;
    }
    if (n == last && g_loop.num_images > 1)
        g_loop.frames[last - 1].delay = g_loop.loop_pause;
    if (g_loop.num_images > 0)
        g_loop.num_images--;
    if (g_loop.num_images == 0) {
        gclear_frame(kBase);
        gupdate_window();
    }
    if (g_loop.cur_image == last)
        g_loop.cur_image--;
    if (g_loop.num_images > 0 && g_loop.cur_image == n)
        gdisplay_frame(n);
    return 1;
}

int gdelete_all_frames()
{
    Display* dpy = gget_display();
    for (Frame& f : g_loop.frames) {
        if (f.pixmap != 0 && dpy != nullptr)
            XFreePixmap(dpy, f.pixmap);
        f.pixmap = 0;
    }
    g_loop.num_images = 0;
    g_loop.cur_image = -1;
    return 0;
}

int gset_looping(int on)
{
    g_loop.looping = on ? 1 : 0;
    if (!have_x11())
        return 0;
    gset_cursor_type(g_loop.looping ? kLoopCursor : kStopCursor);
    MESS_print(M_out4, g_loop.looping ? "Looping initiated\n" : "Looping stopped\n");
    return 0;
}

int gtoggle_loop(int v)
{
    int on = v == 1 ? 1 : (v == 0 ? 0 : !g_loop.looping);
    gset_looping(on);
    if (have_x11())
        XSync(gget_display(), False);
    return 0;
}

int gget_looping() { return g_loop.looping; }

int gset_loop_delay(int n, float d)
{
    if (n == -4) {
        for (int i = 0; i + 1 < g_loop.num_images; i++)
            g_loop.frames[i].delay = d;
        return 0;
    }
    n = resolve(n);
    if (n < 0 || n >= GKS_MAX_FRAMES)
        return 0;
    g_loop.frames[n].delay = d;
    return 0;
}

int ginc_loop_delay(float step)
{
    g_loop.loop_delay = std::max(g_loop.loop_delay + step, 0.0f);
    for (int i = 0; i + 1 < g_loop.num_images; i++)
        g_loop.frames[i].delay = g_loop.loop_delay;
    MESS_print(M_out4,
               step > 0 ? "Loop delay incremented to: %2.2f\n" : "Loop delay decremented to: %2.2f\n",
               g_loop.loop_delay);
    return 0;
}

float gget_loop_delay() { return g_loop.loop_delay; }

float gget_frame_delay(int n)
{
    n = resolve(n);
    if (n < 0 || n >= GKS_MAX_FRAMES)
        return 0.0f;
    return g_loop.frames[n].delay;
}

int gset_loop_direct(int direct)
{
    g_loop.loop_direct = direct;
    return 0;
}

int gget_loop_direct() { return g_loop.loop_direct; }
int gget_num_images() { return g_loop.num_images; }
int gget_cur_frame() { return g_loop.cur_image; }

Pixmap gget_frame_id(int n)
{
    n = resolve(n);
    if (n == kBase)
        return gget_base_window();
    if (n < 0 || n >= GKS_MAX_FRAMES)
        return 0;
    return g_loop.frames[n].pixmap;
}

int gset_frame_id(int n, Pixmap pixmap)
{
    n = resolve(n);
    if (n < 0 || n >= GKS_MAX_FRAMES)
        return 0;
    g_loop.frames[n].pixmap = pixmap;
    return 0;
}

int gset_loop_title(int flag)
{
    g_loop.loop_title = flag;
    return 0;
}

int gprint_frame_ids()
{
    MESS_print(M_debug, "ROOT: %d\n", static_cast<int>(gget_root_window()));
    MESS_print(M_debug, " WIN: %d\n", static_cast<int>(gget_base_window()));
    for (int i = 0; i < g_loop.num_images; i++)
        MESS_print(M_debug, "%4d: %d\n", i, static_cast<int>(g_loop.frames[i].pixmap));
    return 0;
}

int gset_image_data(int n, const char* bytes, int size)
{
    n = resolve(n);
    if (n < 0 || n >= GKS_MAX_FRAMES || !bytes || size < 0)
        return 0;
    Frame& f = g_loop.frames[n];
    f.data_size = std::min(size, static_cast<int>(sizeof f.data));
    std::memcpy(f.data, bytes, static_cast<std::size_t>(f.data_size));
    return f.data_size;
}

int gget_image_data(int n, char* out)
{
    n = resolve(n);
    if (n < 0 || n >= GKS_MAX_FRAMES || !out)
        return 0;
    const Frame& f = g_loop.frames[n];
    std::memcpy(out, f.data, static_cast<std::size_t>(f.data_size));
    return f.data_size;
}

void gloop_sleep()
{
    int n = g_loop.cur_image;
    if (n < 0 || n >= g_loop.num_images)
        return;
    const float delay = g_loop.frames[n].delay;
    for (;;) {
        float left = delay - ZEM_elapse_time();
        if (left <= 0.0f)
            break;
        if (have_x11())
            gcheck_event();
        ZEM_sleep(std::min(left, 0.2f));
    }
}

int ginc_frame(int step)
{
    if (g_loop.num_images <= 0)
        return -1;
    int cur = g_loop.cur_image;
    int cand;
    if (cur < 0)
        cand = 0;
    else if (step == 0)
        cand = (g_loop.loop_direct % 2 == 1) ? cur + 1 : cur - 1;
    else
        cand = cur + step;
    const int start = 0;
    const int end = g_loop.num_images - 1;
    const int before = cand;
    const bool rocking = g_loop.loop_direct >= 2;
    if (cand > end) {
        if (rocking) {
            cand = std::max(end - 1, start);
            g_loop.loop_direct = 2;
        } else {
            cand = start;
        }
    } else if (cand < start) {
        if (rocking) {
            cand = std::min(start + 1, end);
            g_loop.loop_direct = 3;
        } else {
            cand = end;
        }
    }
    MESS_print(kTrace, "INC: %d-%d %d-%d\n", step, g_loop.loop_direct, cur, before);
    return cand;
}
