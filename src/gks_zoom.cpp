// Magnifier of the X11 window: a region of the picture is blown up by pixel
// replication into the base pixmap. The centre is kept in unmagnified
// pixels so that pointer positions can be mapped back (xZ_p, yZ_p).
#define ZEM_GKS_INTERNAL
#include "gks_zoom.h"

#include <X11/Xutil.h>

#include <algorithm>
#include <memory>

#include "gks_priv.h"
#include "gks_x11.h"
#include "mess.h"

namespace {

constexpr int kMaxZoom = 1024;

struct MagnifierState {
    int zoom = 1;
    float zoom_x = 0.0f, zoom_y = 0.0f;  // centre, unmagnified pixels
    Pixmap base_image = 0;              // unmagnified picture while magnified
};
MagnifierState g_zoom;

struct ImageDeleter {
    void operator()(XImage* im) const {
        if (im) XDestroyImage(im);
    }
};
using ImagePtr = std::unique_ptr<XImage, ImageDeleter>;

void free_base_image() {
    if (g_zoom.base_image && gget_display()) XFreePixmap(gget_display(), g_zoom.base_image);
    g_zoom.base_image = 0;
}

// Origin of a region of size/L pixels around c, kept inside 0 ... size.
int region_origin(int c, int size, int L) {
    int o = c - size / L / 2;
    if (o < 0) o = 0;
    if (size / L + o > size) o = size - (size + 1) / L;
    return std::max(o, 0);
}

}  // namespace

int gzoom(int ind, int x, int y, int factor, int flag) {
    if (!gtype_is_WIN() || !gget_display() || !gget_base_window()) return 0;
    if (g_zoom.zoom == 1 && flag) return 0;
    const int old = g_zoom.zoom;
    int nz = old;
    if (factor >= 0) nz = std::max(factor, 1);
    else if (factor < -1) nz = old * -factor;
    if (nz > kMaxZoom || (old >= kMaxZoom && nz > old)) {
        MESS_print(M_warn, "gzoom: Cannot zoom past 1024x\n");
        return 0;
    }
    Display* dpy = gget_display();
    int w = 0, h = 0;
    gget_win_size(&w, &h);
    if (w <= 0 || h <= 0) return 0;
    const GksFrameOps* fr = gks_frames();
    const bool frames = fr->get_num_images() > 0;
    // Frames hold unmagnified pictures; the base pixmap shows the current
    // magnification.
    const bool from_frame = frames && (fr->get_looping() || flag);
    Drawable src = gget_base_window();
    if (from_frame) {
        const int n = ind >= 0 ? ind : fr->get_cur_frame();
        if (Pixmap p = fr->get_frame_id(n)) src = p;
    }
    ImagePtr in(XGetImage(dpy, src, 0, 0, static_cast<unsigned>(w), static_cast<unsigned>(h), AllPlanes, ZPixmap));
    if (!in) return 0;
    if (!frames && old == 1 && !flag) {
        free_base_image();
        g_zoom.base_image = XCreatePixmap(dpy, gget_root_window(), static_cast<unsigned>(w),
                                          static_cast<unsigned>(h), static_cast<unsigned>(gget_win_depth()));
        XCopyArea(dpy, gget_base_window(), g_zoom.base_image, gget_root_gc(), 0, 0, static_cast<unsigned>(w),
                  static_cast<unsigned>(h), 0, 0);
    }
    // Replication factor and the clicked point in the source's pixels.
    const int L = from_frame ? nz : std::max(1, nz / old);
    float cx, cy;  // centre in source pixels
    if (x == -1) {
        if (from_frame) {
            cx = g_zoom.zoom_x;
            cy = g_zoom.zoom_y;
        } else {
            cx = static_cast<float>(w) / 2.0f;
            cy = static_cast<float>(h) / 2.0f;
        }
    } else if (from_frame && old > 1) {
        cx = static_cast<float>((x - w / 2) / old) + g_zoom.zoom_x;
        cy = static_cast<float>((y - h / 2) / old) + g_zoom.zoom_y;
    } else {
        cx = static_cast<float>(x);
        cy = static_cast<float>(y);
    }
    const int x0 = region_origin(static_cast<int>(cx), w, L);
    const int y0 = region_origin(static_cast<int>(cy), h, L);
    // New centre in unmagnified pixels.
    const float sx = static_cast<float>(w / L / 2 + x0), sy = static_cast<float>(h / L / 2 + y0);
    if (from_frame || old == 1) {
        g_zoom.zoom_x = sx;
        g_zoom.zoom_y = sy;
    } else {
        const float ox = g_zoom.zoom_x - static_cast<float>(w) / (2.0f * static_cast<float>(old));
        const float oy = g_zoom.zoom_y - static_cast<float>(h) / (2.0f * static_cast<float>(old));
        g_zoom.zoom_x = ox + sx / static_cast<float>(old);
        g_zoom.zoom_y = oy + sy / static_cast<float>(old);
    }
    g_zoom.zoom = nz;
    ImagePtr out(XSubImage(in.get(), 0, 0, static_cast<unsigned>(w), static_cast<unsigned>(h)));
    if (!out) return 0;
    for (int oy = 0; oy < h; ++oy) {
        const int sy2 = std::min(y0 + oy / L, h - 1);
        for (int ox = 0; ox < w; ++ox) {
            const int sx2 = std::min(x0 + ox / L, w - 1);
            XPutPixel(out.get(), ox, oy, XGetPixel(in.get(), sx2, sy2));
        }
    }
    XPutImage(dpy, gget_base_window(), gget_root_gc(), out.get(), 0, 0, 0, 0, static_cast<unsigned>(w),
              static_cast<unsigned>(h));
    gupdate_window();
    return 1;
}

int gunzoom() {
    if (gtype_is_PIX() || g_zoom.zoom <= 1) return 0;
    g_zoom.zoom = 1;
    g_zoom.zoom_x = g_zoom.zoom_y = 0.0f;
    Display* dpy = gget_display();
    if (g_zoom.base_image && dpy) {
        int w = 0, h = 0;
        gget_win_size(&w, &h);
        XCopyArea(dpy, g_zoom.base_image, gget_base_window(), gget_root_gc(), 0, 0, static_cast<unsigned>(w),
                  static_cast<unsigned>(h), 0, 0);
        free_base_image();
        gupdate_window();
    } else {
        gks_frames()->display_frame(-2);
    }
    return 1;
}

int greset_zoom() {
    if (g_zoom.zoom >= 2) free_base_image();
    g_zoom.zoom = 1;
    g_zoom.zoom_x = g_zoom.zoom_y = 0.0f;
    return 0;
}

int gget_zoom() { return g_zoom.zoom; }

float xZ_p(float p) {
    if (g_zoom.zoom <= 1) return p;
    const float z = static_cast<float>(g_zoom.zoom);
    return g_zoom.zoom_x - static_cast<float>(gget_window_width()) / (2.0f * z) + p / z;
}

float yZ_p(float p) {
    if (g_zoom.zoom <= 1) return p;
    const float z = static_cast<float>(g_zoom.zoom);
    return g_zoom.zoom_y - static_cast<float>(gget_window_height()) / (2.0f * z) + p / z;
}
