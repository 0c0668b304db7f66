// Off-screen raster workstation: the picture of a window drawn into memory,
// for runs that dump frames to image files where no X server can be
// opened. It draws what the X11 device draws (lines, markers, fills, text
// strokes, images) with the same pixel rules as the X server's frame
// buffer, so that the dumps of both agree, and hands the picture back in
// the layout of a 24-bit TrueColor window read-back.
#define ZEM_GKS_INTERNAL
#include "gks_priv.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "colors.h"
#include "gks_colr.h"
#include "gks_fill.h"
#include "gks_img.h"
#include "gks_text.h"
#include "gks_x11.h"
#include "img_tool.h"
#include "mess.h"
#include "tools.h"

namespace {

// The line attributes of one drawing context as the X server holds them:
// a width in pixels (0 = the one-pixel "thin" line) and the dash list.
struct Context {
    int width = 0;
    bool dashed = false;
    std::vector<int> dashes{4, 4};
};

struct RastState {
    int w = 0, h = 0;
    std::vector<std::uint32_t> pix;  // 0x00RRGGBB, rows from the top
    XRectangle clip{0, 0, 0, 0};     // viewport of the selected transform
    Context line, marker, text, fill;
    bool stippled = false;                  // the fill context's style
    std::array<unsigned char, 8> stipple{};
};
RastState g_rast;

// Device colour of a colour index as a 24-bit TrueColor server allocates
// it: the 16-bit request truncated to the top 8 bits of each channel.
std::uint32_t channel_of(float c) {
    const float v = std::isnan(c) ? 0.0f : std::clamp(c, 0.0f, 1.0f);
    return static_cast<std::uint32_t>(v * 65535.0f) >> 8;
}
std::uint32_t rgb_of(float r, float g, float b) {
    return channel_of(r) << 16 | channel_of(g) << 8 | channel_of(b);
}
std::uint32_t pixel_of(int ind) {
    if (ind >= GKS_PRINT_FIRST && ind <= GKS_PRINT_LAST) ind = 1;
    float r = 0.0f, g = 0.0f, b = 0.0f;
    gget_color_rgb(ind, &r, &g, &b);
    return rgb_of(r, g, b);
}

// Everything a primitive paints goes through here: inside the picture and
// the clip rectangle only.
class Painter {
public:
    // With a stipple, only the pixels its 8 x 8 tiling sets are painted
    // (lines too, as the X server fills them through the context's style).
    Painter(std::uint32_t colour, bool clipped, const std::array<unsigned char, 8>* stipple = nullptr)
        : colour_(colour), stipple_(stipple) {
        x0_ = 0;
        y0_ = 0;
        x1_ = g_rast.w;
        y1_ = g_rast.h;
        if (clipped) {
            x0_ = std::max(x0_, static_cast<int>(g_rast.clip.x));
            y0_ = std::max(y0_, static_cast<int>(g_rast.clip.y));
            x1_ = std::min(x1_, g_rast.clip.x + static_cast<int>(g_rast.clip.width));
            y1_ = std::min(y1_, g_rast.clip.y + static_cast<int>(g_rast.clip.height));
        }
    }
    void plot(long x, long y) const {
        if (x >= x0_ && x < x1_ && y >= y0_ && y < y1_ && lit(x, y))
            g_rast.pix[static_cast<std::size_t>(y) * static_cast<std::size_t>(g_rast.w) +
                       static_cast<std::size_t>(x)] = colour_;
    }
    // Pixels xa..xb (inclusive) of row y.
    void span(long xa, long xb, long y) const {
        if (y < y0_ || y >= y1_) return;
        xa = std::max<long>(xa, x0_);
        xb = std::min<long>(xb, x1_ - 1);
        std::uint32_t* row = g_rast.pix.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(g_rast.w);
        for (long x = xa; x <= xb; ++x)
            if (lit(x, y)) row[x] = colour_;
    }
    // True when the box of the two points lies wholly on one outer side.
    bool outside(long xa, long ya, long xb, long yb, long margin) const {
        return (std::max(xa, xb) + margin < x0_) || (std::min(xa, xb) - margin >= x1_) ||
               (std::max(ya, yb) + margin < y0_) || (std::min(ya, yb) - margin >= y1_);
    }

private:
    bool lit(long x, long y) const {
        return !stipple_ || ((*stipple_)[static_cast<std::size_t>(y & 7)] >> (x & 7) & 1);
    }
    std::uint32_t colour_;
    const std::array<unsigned char, 8>* stipple_;
    int x0_, y0_, x1_, y1_;
};

// Dash state of one drawing request: the pattern restarts with each
// polyline and runs on across its segments.
struct DashWalk {
    const Context& gc;
    std::size_t index = 0;
    int left = 0;
    explicit DashWalk(const Context& c) : gc(c), left(c.dashes.empty() ? 0 : c.dashes[0]) {}
    bool on() const { return !gc.dashed || index % 2 == 0; }
    void step() {
        if (!gc.dashed || gc.dashes.empty()) return;
        if (--left <= 0) {
            index = (index + 1) % gc.dashes.size();
            left = gc.dashes[index];
        }
    }
};

// A one-pixel line from (x1, y1) to (x2, y2), end point included, with the
// Bresenham error bias of the X server's frame buffer (ties resolved per
// octant), so that the same pixels light up as in a window.
void thin_segment(const Painter& p, long x1, long y1, long x2, long y2, DashWalk& dash, bool last) {
    // Per-octant tie bias of the error term: none, as the frame buffer of the
    // X server does by default (compared pixel by pixel with Xvfb).
    constexpr int kYMajor = 1, kYDecreasing = 2, kXDecreasing = 4;
    constexpr unsigned kBias = 0;
    int octant = 0;
    long adx = x2 - x1, ady = y2 - y1, sx = 1, sy = 1;
    if (adx < 0) {
        adx = -adx;
        sx = -1;
        octant |= kXDecreasing;
    }
    if (ady < 0) {
        ady = -ady;
        sy = -1;
        octant |= kYDecreasing;
    }
    const bool xmajor = adx > ady;
    long e1, e2, e, len;
    if (xmajor) {
        e1 = ady << 1;
        e2 = e1 - (adx << 1);
        e = e1 - adx;
        len = adx;
    } else {
        e1 = adx << 1;
        e2 = e1 - (ady << 1);
        e = e1 - ady;
        octant |= kYMajor;
        len = ady;
    }
    e -= (kBias >> octant) & 1u;
    const long e3 = e2 - e1;
    e -= e1;
    if (last) ++len;
    if (!dash.gc.dashed && p.outside(x1, y1, x2, y2, 0)) return;
    long x = x1, y = y1;
    while (len-- > 0) {
        if (dash.on()) p.plot(x, y);
        dash.step();
        if (xmajor)
            x += sx;
        else
            y += sy;
        e += e1;
        if (e >= 0) {
            if (xmajor)
                y += sy;
            else
                x += sx;
            e += e3;
        }
    }
}

struct Vec {
    double x, y;
};

// Fills a polygon with the even-odd rule: pixel (x, y) is painted when the
// point (x, y) lies inside, a point on a left or top edge counting as
// inside and one on a right or bottom edge as outside.
void fill_polygon(const Painter& p, const std::vector<Vec>& v) {
    if (v.size() < 3) return;
    double ymin = v[0].y, ymax = v[0].y;
    for (const Vec& q : v) {
        ymin = std::min(ymin, q.y);
        ymax = std::max(ymax, q.y);
    }
    const long ya = std::max<long>(static_cast<long>(std::ceil(ymin)), 0);
    const long yb = std::min<long>(static_cast<long>(std::ceil(ymax)) - 1, g_rast.h - 1);
    std::vector<double> xs;
    for (long y = ya; y <= yb; ++y) {
        xs.clear();
        const double fy = static_cast<double>(y);
        for (std::size_t i = 0; i < v.size(); ++i) {
            const Vec& a = v[i];
            const Vec& b = v[(i + 1) % v.size()];
            if (a.y == b.y) continue;
            const Vec& lo = a.y < b.y ? a : b;
            const Vec& hi = a.y < b.y ? b : a;
            if (fy < lo.y || fy >= hi.y) continue;
            xs.push_back(lo.x + (fy - lo.y) * (hi.x - lo.x) / (hi.y - lo.y));
        }
        std::sort(xs.begin(), xs.end());
        for (std::size_t k = 0; k + 1 < xs.size(); k += 2) {
            const long xa = static_cast<long>(std::ceil(xs[k]));
            const long xb = static_cast<long>(std::ceil(xs[k + 1])) - 1;
            if (xb >= xa) p.span(xa, xb, y);
        }
    }
}

// A line of width w as the X server paints it: each segment the rectangle
// w/2 either side of its path (butt ends), the corners between segments
// filled with bevels.
void wide_polyline(const Painter& p, const std::vector<XPoint>& pts, int w) {
    const double hw = w / 2.0;
    std::vector<std::array<Vec, 4>> quads;
    for (std::size_t i = 0; i + 1 < pts.size(); ++i) {
        const double dx = pts[i + 1].x - pts[i].x, dy = pts[i + 1].y - pts[i].y;
        const double len = std::hypot(dx, dy);
        if (len == 0.0) continue;
        const double nx = -dy / len * hw, ny = dx / len * hw;
        const Vec a{pts[i].x + nx, pts[i].y + ny}, b{pts[i + 1].x + nx, pts[i + 1].y + ny};
        const Vec c{pts[i + 1].x - nx, pts[i + 1].y - ny}, d{pts[i].x - nx, pts[i].y - ny};
        quads.push_back({a, b, c, d});
    }
    for (std::size_t q = 0; q < quads.size(); ++q) {
        fill_polygon(p, {quads[q].begin(), quads[q].end()});
        if (q + 1 < quads.size()) {
            // Bevel: the triangle between the two segments' outer corners.
            const Vec centre{(quads[q][1].x + quads[q][2].x) / 2, (quads[q][1].y + quads[q][2].y) / 2};
            fill_polygon(p, {centre, quads[q][1], quads[q + 1][0]});
            fill_polygon(p, {centre, quads[q][2], quads[q + 1][3]});
        }
    }
}

// XDrawLines with a context: thin lines pixel by pixel, wide ones as
// polygons (a wide dashed line is drawn solid).
void draw_lines(const Context& gc, std::uint32_t colour, const std::vector<XPoint>& pts,
                const std::array<unsigned char, 8>* stipple = nullptr) {
    if (pts.empty() || g_rast.pix.empty()) return;
    const Painter p(colour, true, stipple);
    if (gc.width > 0 && pts.size() > 1) {
        wide_polyline(p, pts, gc.width);
        return;
    }
    DashWalk dash(gc);
    if (pts.size() == 1) {
        thin_segment(p, pts[0].x, pts[0].y, pts[0].x, pts[0].y, dash, true);
        return;
    }
    for (std::size_t i = 0; i + 1 < pts.size(); ++i)
        thin_segment(p, pts[i].x, pts[i].y, pts[i + 1].x, pts[i + 1].y, dash, i + 2 == pts.size());
}

std::vector<XPoint> device_points(Gint n, const Gpt* pts) {
    std::vector<XPoint> xp(static_cast<std::size_t>(n));
    for (Gint i = 0; i < n; ++i) xp[static_cast<std::size_t>(i)] = gks_world_to_xpoint(pts[i]);
    return xp;
}

Gint rast_polyline(Gint n, const Gpt* pts) {
    try {
        draw_lines(g_rast.line, pixel_of(gks_line_state().color), device_points(n, pts));
    } catch (const std::bad_alloc&) {
        gerr_printf("gpolyline", "malloc error");
        return -1;
    }
    return 1;
}

Gint rast_polymarker(Gint n, const Gpt* pts) {
    const GksMarkState m = gks_marker_state();
    if (m.type < 1 || m.type > 9) return 1;
    const int h = gks_pixels(m.size * 10.0f / 2.0f);
    const int shadow = gks_drop_shadow();
    const std::uint32_t colour = pixel_of(m.color);
    auto draw = [&](int x, int y, std::uint32_t c) {
        for (const GksStroke& st : gks_marker_strokes(m.type, x, y, h)) {
            std::vector<XPoint> xp;
            for (const auto& q : st)
                xp.push_back(XPoint{static_cast<short>(std::clamp(q.first, -32768, 32767)),
                                    static_cast<short>(std::clamp(q.second, -32768, 32767))});
            draw_lines(xp.size() == 1 ? Context{} : g_rast.marker, c, xp);
        }
    };
    for (Gint i = 0; i < n; ++i) {
        const XPoint p = gks_world_to_xpoint(pts[i]);
        for (int k = 0; k < shadow; ++k) draw(p.x + k, p.y + k, 0);
        draw(p.x, p.y, colour);
    }
    return 1;
}

Gint rast_fill_area(Gint n, const Gpt* pts) {
    const GksFillState f = gks_fill_state();
    const std::uint32_t colour = pixel_of(f.color);
    std::vector<XPoint> xp = device_points(n, pts);
    std::vector<Vec> v;
    for (const XPoint& q : xp) v.push_back(Vec{static_cast<double>(q.x), static_cast<double>(q.y)});
    // Hollow and hatch styles fill with whatever the context held last, as
    // the window does.
    const std::array<unsigned char, 8>* stipple = g_rast.stippled ? &g_rast.stipple : nullptr;
    fill_polygon(Painter(colour, true, stipple), v);
    draw_lines(g_rast.fill, colour, xp, stipple);
    return 1;
}

Gint rast_text(const Gpt* pt, const char* str) {
    std::vector<std::vector<XPoint>> strokes;
    gks_text_strokes(*pt, str, 4096, [&](const std::vector<Gpt>& run) {
        std::vector<XPoint> xp;
        for (const Gpt& q : run) xp.push_back(gks_world_to_xpoint(q));
        strokes.push_back(std::move(xp));
    });
    auto draw_all = [&](int off, std::uint32_t colour) {
        for (std::vector<XPoint> xp : strokes) {
            for (XPoint& q : xp) {
                q.x = static_cast<short>(q.x + off);
                q.y = static_cast<short>(q.y + off);
            }
            draw_lines(g_rast.text, colour, xp);
        }
    };
    for (int i = 1; i <= gks_drop_shadow(); ++i) draw_all(i, 0);
    draw_all(0, pixel_of(gks_text_state().color));
    return 1;
}

// The picture's pixel for every value of an 8-bit image: its colour-table
// entry (an index beyond the table counts as 0; no table: grey) truncated
// to 255 steps, as a 24-bit window converts it.
std::array<std::uint32_t, 256> image_lut(const IMG_report* img) {
    std::array<std::uint32_t, 256> lut{};
    const bool table = img->colors && img->num_colors > 0;
    auto c255 = [](float c) {
        const float v = std::isnan(c) ? 0.0f : std::clamp(c, 0.0f, 1.0f);
        return static_cast<std::uint32_t>(v * 255.0f);
    };
    for (int i = 0; i < 256; ++i) {
        IMG_color c{i / 255.0f, i / 255.0f, i / 255.0f};
        if (table) c = img->colors[i < img->num_colors ? i : 0];
        lut[static_cast<std::size_t>(i)] = c255(c.r) << 16 | c255(c.g) << 8 | c255(c.b);
    }
    return lut;
}

// Puts an 8-bit image at (x, y) of the viewport (negative: from the right
// or bottom edge), cut to the viewport; with `trans`, pixels of that colour
// leave the picture underneath.
int put_image(const IMG_report* img, int x, int y, const std::uint32_t* trans) {
    if (g_rast.pix.empty() || !img || !img->data || img->width <= 0 || img->height <= 0 ||
        (img->bits_pixel != 8 && img->bits_pixel != 0) || img->bytes_line < img->width)
        return 0;
    const std::array<std::uint32_t, 256> lut = image_lut(img);
    const XRectangle& vp = g_rast.clip;
    const long vx1 = vp.x + static_cast<long>(vp.width), vy1 = vp.y + static_cast<long>(vp.height);
    const long ix = x < 0 ? vx1 - img->width + x : vp.x + x;
    const long iy = y < 0 ? vy1 - img->height + y : vp.y + y;
    const long x0 = std::max({ix, static_cast<long>(vp.x), 0L});
    const long x1 = std::min({ix + img->width, vx1, static_cast<long>(g_rast.w)});
    const long y0 = std::max({iy, static_cast<long>(vp.y), 0L});
    const long y1 = std::min({iy + img->height, vy1, static_cast<long>(g_rast.h)});
    for (long r = y0; r < y1; ++r) {
        const unsigned char* src = img->data + static_cast<std::size_t>(r - iy) * static_cast<std::size_t>(img->bytes_line);
        std::uint32_t* dst = g_rast.pix.data() + static_cast<std::size_t>(r) * static_cast<std::size_t>(g_rast.w);
        for (long c = x0; c < x1; ++c) {
            const std::uint32_t v = lut[src[c - ix]];
            if (!trans || v != *trans) dst[c] = v;
        }
    }
    return 1;
}

Gint rast_image(IMG_report* image, int x, int y) { return put_image(image, x, y, nullptr); }

void rast_attribute(int code, const GksAttr& v) {
    switch (code) {
    case 33:  // line type: 1 solid, 2-5 the kernel's dash lists
        g_rast.line.dashed = v.i[0] != 1;
        if (v.i[0] >= 2 && v.i[0] <= 5) g_rast.line.dashes = gks_line_dashes(v.i[0]);
        break;
    case 34: g_rast.line.width = gks_pixels(v.f[0]); break;
    case 46: g_rast.marker.width = gks_pixels(v.f[0]); break;
    case 61: g_rast.text.width = gks_pixels(v.f[0]); break;
    case 73:  // fill style and pattern: hollow and hatch keep the last context
    case 74: {
        const GksFillState f = gks_fill_state();
        if (f.style == GSOLID) g_rast.stippled = false;
        if (f.style == GPAT) {
            g_rast.stippled = true;
            g_rast.stipple = gks_fill_pattern(f.index);
        }
        break;
    }
    default: break;
    }
}

void rast_clip() { gget_xviewport(&g_rast.clip); }

void rast_clear_region(const Glim& lim) {
    const XPoint a = gks_world_to_xpoint(Gpt{lim.x_min, lim.y_min});
    const XPoint b = gks_world_to_xpoint(Gpt{lim.x_max, lim.y_max});
    const Painter p(pixel_of(-1), false);
    for (long y = std::min(a.y, b.y); y <= std::max(a.y, b.y); ++y) p.span(std::min(a.x, b.x), std::max(a.x, b.x), y);
}

Gint rast_open(Gws_type, const char*) {
    int w = 0, h = 0;
    gget_win_size(&w, &h);
    try {
        const std::size_t n = static_cast<std::size_t>(std::max(w, 1)) * static_cast<std::size_t>(std::max(h, 1));
        g_rast.pix.reserve(n);
        advise_huge_pages(g_rast.pix.data(), n * sizeof(std::uint32_t));
        g_rast.pix.assign(n, 0);
    } catch (const std::bad_alloc&) {
        gerr_printf("gopen_ws", "no memory for a %dx%d picture", w, h);
        return -1;
    }
    g_rast.w = std::max(w, 1);
    g_rast.h = std::max(h, 1);
    gks_rast_defaults();
    return 0;
}

Gint rast_close() {
    g_rast.pix.clear();
    g_rast.pix.shrink_to_fit();
    g_rast.w = g_rast.h = 0;
    return 0;
}

}  // namespace

const GksDevice kGksRastDevice = {
    GKS_RASTER, "raster",      0,         rast_open, rast_close, rast_polyline,     rast_polymarker,
    rast_fill_area, rast_text, rast_image, rast_attribute, nullptr, rast_clip, nullptr, nullptr,
    rast_clear_region, nullptr};

void gks_rast_defaults() {
    for (Context* c : {&g_rast.line, &g_rast.marker, &g_rast.text, &g_rast.fill}) *c = Context{};
    g_rast.stippled = false;
    rast_clip();
}

void gks_rast_clear() {
    std::fill(g_rast.pix.begin(), g_rast.pix.end(), pixel_of(-1));
}

int gks_rast_overlay(const IMG_report* image, const char* background, int x, int y) {
    std::uint32_t trans = pixel_of(-1);
    if (background && *background) {
        const int ci = CLR_get_ind(background);
        float r = 0, g = 0, b = 0;
        if (ci >= 0 && ci < 256 && CLR_get_rgb(ci, &r, &g, &b) == 0) trans = rgb_of(r, g, b);
    }
    return put_image(image, x, y, &trans);
}

namespace {

// The picture's layout as a 32-bit TrueColor read-back, least significant
// byte first; the data pointer is left to the caller.
void describe_picture(IMG_report* image) {
    image->width = g_rast.w;
    image->height = g_rast.h;
    image->bits_pixel = 32;
    image->bytes_line = g_rast.w * 4;
    image->byte_order = 0;
    image->depth = 24;
    image->red = 0xFF0000u;
    image->grn = 0xFF00u;
    image->blu = 0xFFu;
    image->color_type = 0;
}

}  // namespace

int gks_rast_get_image(IMG_report* image) {
    if (g_rast.pix.empty()) return 0;
    const std::size_t size = g_rast.pix.size() * 4;
    image->data = static_cast<unsigned char*>(std::malloc(size));
    if (!image->data) {
        MESS_print(M_warn, "gget_image: Unable to allocate data buffer.\n");
        return 0;
    }
    // Least significant byte first, as a little-endian server sends it.
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(image->data, g_rast.pix.data(), size);
    } else {
        unsigned char* d = image->data;
        for (const std::uint32_t v : g_rast.pix) {
            d[0] = static_cast<unsigned char>(v);
            d[1] = static_cast<unsigned char>(v >> 8);
            d[2] = static_cast<unsigned char>(v >> 16);
            d[3] = 0;
            d += 4;
        }
    }
    describe_picture(image);
    return 1;
}

int gks_rast_view_image(IMG_report* image) {
    // Only where the words of the picture already are the read-back's bytes.
    if constexpr (std::endian::native != std::endian::little) return 0;
    if (g_rast.pix.empty()) return 0;
    image->data = reinterpret_cast<unsigned char*>(g_rast.pix.data());
    describe_picture(image);
    return 1;
}
