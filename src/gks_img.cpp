// Image display: converts a raster image record to the pixel format of the
// X11 visual and puts it into the current drawable, overlays an image with a
// transparent colour through a clip mask, and reads the picture back from the
// window so that it can be saved as an image file.
#define ZEM_GKS_INTERNAL
#include "gks_img.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "colors.h"
#include "gif.h"
#include "gks_colr.h"
#include "gks_priv.h"
#include "gks_x11.h"
#include "img_tool.h"
#include "mess.h"
#include "png.h"
#include "xdump.h"

namespace {

struct ImageState {
    int output_type = GKS_SAVE_GIF;
};

ImageState g_img;

struct XFreeDeleter {
    void operator()(void* p) const
    {
        if (p)
            XFree(p);
    }
};

bool have_drawable()
{
    return gget_display() != nullptr && gget_draw_window() != 0 &&
           (gtype_is_WIN() || gtype_is_PIX());
}

// Shift of the lowest set bit and number of set bits of a channel mask.
void mask_shape(unsigned long mask, int* shift, int* width)
{
    *shift = 0;
    *width = 0;
    if (mask == 0)
        return;
    while (!(mask & 1UL)) {
        mask >>= 1;
        (*shift)++;
    }
    while (mask & 1UL) {
        mask >>= 1;
        (*width)++;
    }
}

// The visual of the given depth and class on the workstation's screen, or
// the workstation's own visual when none matches.
Visual* visual_for(int depth)
{
    XVisualInfo info;
    if (XMatchVisualInfo(gget_display(), gget_screen(), depth, TrueColor, &info))
        return info.visual;
    return gget_visual();
}

// Colour of an image colour-table entry; indices beyond the table count as 0.
IMG_color entry_of(const IMG_report* img, int index)
{
    if (!img->colors || img->num_colors <= 0)
        return IMG_color{0.0f, 0.0f, 0.0f};
    if (index < 0 || index >= img->num_colors)
        index = 0;
    return img->colors[index];
}

// Component c (0-1, clamped so that a bad colour table cannot spill into
// the next channel) scaled to 0..top and truncated.
unsigned scaled(float c, unsigned top)
{
    const float v = std::isnan(c) ? 0.0f : std::clamp(c, 0.0f, 1.0f);
    return static_cast<unsigned>(v * static_cast<float>(top));
}

unsigned char channel255(float c) { return static_cast<unsigned char>(scaled(c, 255)); }

// Bits per pixel of an indexed image record (8 when unset).
int index_bits(const IMG_report* img) { return img->bits_pixel > 0 ? img->bits_pixel : 8; }

// True when every row of the record holds its pixels, so that walking
// width pixels per row of bytes_line bytes stays inside the buffer.
bool rows_fit(const IMG_report* img, int bits)
{
    if (img->width <= 0 || img->height <= 0 || img->bytes_line <= 0 || bits <= 0)
        return false;
    const std::size_t need = (static_cast<std::size_t>(img->width) * static_cast<std::size_t>(bits) + 7) / 8;
    return static_cast<std::size_t>(img->bytes_line) >= need;
}

// Where an image goes in the draw window: the image's own top-left corner
// (img_x, img_y; a clip mask is anchored there) and the part of it that
// falls inside the viewport (source offset src_x, src_y, size w x h). A
// negative offset first aligns the image's right (bottom) edge with the
// viewport's right (bottom) edge; whatever lies outside the viewport is cut.
struct Placement {
    int img_x, img_y;
    int src_x, src_y;
    int dst_x, dst_y;
    unsigned w, h;
};

Placement place(const IMG_report* img, int x, int y)
{
    XRectangle vp{0, 0, 0, 0};
    gget_xviewport(&vp);
    const long vx0 = vp.x, vy0 = vp.y;
    const long vx1 = vx0 + vp.width, vy1 = vy0 + vp.height;
    Placement p{};
    const long ix = x < 0 ? vx1 - img->width + x : vx0 + x;
    const long iy = y < 0 ? vy1 - img->height + y : vy0 + y;
    const long x0 = std::max(ix, vx0), y0 = std::max(iy, vy0);
    const long x1 = std::min(ix + img->width, vx1), y1 = std::min(iy + img->height, vy1);
    p.img_x = static_cast<int>(ix);
    p.img_y = static_cast<int>(iy);
    p.dst_x = static_cast<int>(x0);
    p.dst_y = static_cast<int>(y0);
    p.src_x = static_cast<int>(x0 - ix);
    p.src_y = static_cast<int>(y0 - iy);
    p.w = x1 > x0 ? static_cast<unsigned>(x1 - x0) : 0U;
    p.h = y1 > y0 ? static_cast<unsigned>(y1 - y0) : 0U;
    return p;
}

// Pixel value of a colour name for the overlay's transparent colour.
long transparent_pixel(const char* background)
{
    if (!background || !*background)
        return gget_back_color();
    int ind = CLR_get_ind(background);
    if (ind >= 0) {
        long pix = gget_color_ind(ind);
        if (pix >= 0)
            return pix;
    }
    XColor xc;
    Display* dpy = gget_display();
    if (XParseColor(dpy, gget_colormap(), background, &xc) &&
        XAllocColor(dpy, gget_colormap(), &xc))
        return static_cast<long>(xc.pixel);
    return gget_back_color();
}

// Pixel value stored at column i of a converted image row.
unsigned long pixel_at(const XImage* xi, const unsigned char* row, int i)
{
    switch (xi->bits_per_pixel) {
    case 32:
    case 24: {
        const int step = xi->bits_per_pixel / 8;
        const unsigned char* p = row + i * step;
        if (xi->byte_order == MSBFirst)
            return step == 4 ? (static_cast<unsigned long>(p[1]) << 16) | (p[2] << 8) | p[3]
                             : (static_cast<unsigned long>(p[0]) << 16) | (p[1] << 8) | p[2];
        return (static_cast<unsigned long>(p[2]) << 16) | (p[1] << 8) | p[0];
    }
    case 16:
    case 15: {
        const unsigned char* p = row + i * 2;
        return xi->byte_order == MSBFirst ? p[0] * 256UL + p[1] : p[1] * 256UL + p[0];
    }
    case 8:
        return row[i];
    case 4:
        return (i % 2 == 0) ? (row[i / 2] >> 4) : (row[i / 2] & 0x0F);
    default:
        return (row[i / 8] >> (i % 8)) & 1;
    }
}

// Puts an image (optionally through a transparency mask) into the draw
// window. The ximage must have been filled by gset_ximage_params.
void put_image(IMG_report* image, XImage* xi, int x, int y, const std::vector<unsigned char>* mask)
{
    Display* dpy = gget_display();
    GC gc = gget_root_gc();
    Placement p = place(image, x, y);
    if (p.w == 0 || p.h == 0)
        return;
    Pixmap clip = 0;
    if (mask) {
        clip = XCreateBitmapFromData(dpy, gget_draw_window(),
                                     reinterpret_cast<const char*>(mask->data()),
                                     static_cast<unsigned>(image->width),
                                     static_cast<unsigned>(image->height));
        XSetClipMask(dpy, gc, clip);
        XSetClipOrigin(dpy, gc, p.img_x, p.img_y);
    }
    XPutImage(dpy, gget_draw_window(), gc, xi, p.src_x, p.src_y, p.dst_x, p.dst_y, p.w, p.h);
    if (mask) {
        XSetClipMask(dpy, gc, None);
        XFreePixmap(dpy, clip);
    }
}

// Conversion buffer of gset_ximage_params, freed when it is not the image's.
struct ConvertedImage {
    XImage xi{};
    IMG_report* image = nullptr;
    bool ok = false;
    ~ConvertedImage()
    {
        if (ok && xi.data && image && xi.data != reinterpret_cast<char*>(image->data))
            std::free(xi.data);
    }
};

// Bits per pixel of the server's Z-format images of a depth (0 unknown).
int server_bits_per_pixel(int depth)
{
    int n = 0;
    XPixmapFormatValues* f = XListPixmapFormats(gget_display(), &n);
    int bpp = 0;
    for (int i = 0; f && i < n; i++)
        if (f[i].depth == depth)
            bpp = f[i].bits_per_pixel;
    if (f)
        XFree(f);
    return bpp;
}

// Component c (0-1) placed under a channel mask, truncated as c x 255.
unsigned long under_mask(float c, unsigned long mask)
{
    int shift = 0, width = 0;
    mask_shape(mask, &shift, &width);
    unsigned long v = channel255(c);
    if (width < 8)
        v >>= 8 - width;
    else
        v <<= width - 8;
    return (v << shift) & mask;
}

// An 8-bit image as 32-bit pixels of the visual, in the server's byte
// order, through a table of the 256 possible values.
void put_wide_pixels(const IMG_report* img, const Visual* vis, XImage* xi, unsigned char* out)
{
    std::array<std::uint32_t, 256> lut{};
    const bool table = img->colors && img->num_colors > 0;
    for (int i = 0; i < 256; i++) {
        const IMG_color c = table ? entry_of(img, i) : IMG_color{i / 255.0f, i / 255.0f, i / 255.0f};
        lut[static_cast<std::size_t>(i)] = static_cast<std::uint32_t>(
            under_mask(c.r, vis->red_mask) | under_mask(c.g, vis->green_mask) |
            under_mask(c.b, vis->blue_mask));
    }
    xi->byte_order = ImageByteOrder(gget_display());
    const bool msb = xi->byte_order == MSBFirst;
    for (int r = 0; r < img->height; r++) {
        const unsigned char* src = img->data + static_cast<std::size_t>(r) * img->bytes_line;
        unsigned char* dst = out + static_cast<std::size_t>(r) * xi->bytes_per_line;
        for (int c = 0; c < img->width; c++, dst += 4) {
            const std::uint32_t v = lut[src[c]];
            if (msb) {
                dst[0] = static_cast<unsigned char>(v >> 24);
                dst[1] = static_cast<unsigned char>(v >> 16);
                dst[2] = static_cast<unsigned char>(v >> 8);
                dst[3] = static_cast<unsigned char>(v);
            } else {
                dst[0] = static_cast<unsigned char>(v);
                dst[1] = static_cast<unsigned char>(v >> 8);
                dst[2] = static_cast<unsigned char>(v >> 16);
                dst[3] = static_cast<unsigned char>(v >> 24);
            }
        }
    }
}

}  // namespace

int gsetup_image_colors(IMG_report* image, int trans)
{
    if (!image || !image->data || !image->colors || image->num_colors <= 0)
        return 0;
    const int depth = gget_win_depth();
    if (depth != 8 && depth != 4 && depth != 1)
        return 0;
    const int bits = index_bits(image);
    if ((bits != 8 && bits != 4 && bits != 1) || !rows_fit(image, bits))
        return 0;
    std::array<long, 256> map;
    map.fill(-1);
    float tr = 0.0f, tg = 0.0f, tb = 0.0f;
    bool have_trans = false;
    if (trans >= 0) {
        XColor xc;
        xc.pixel = static_cast<unsigned long>(trans);
        XQueryColor(gget_display(), gget_colormap(), &xc);
        tr = xc.red / 65535.0f;
        tg = xc.green / 65535.0f;
        tb = xc.blue / 65535.0f;
        have_trans = true;
    }
    auto pixel_for = [&](int index) -> long {
        index &= 0xFF;
        if (map[index] < 0) {
            IMG_color c = entry_of(image, index);
            if (have_trans && std::fabs(c.r - tr) <= 0.01f && std::fabs(c.g - tg) <= 0.01f &&
                std::fabs(c.b - tb) <= 0.01f)
                map[index] = trans;
            else
                map[index] = galloc_colr(-1, c.r, c.g, c.b);
        }
        return map[index];
    };
    int count = 0;
    for (int row = 0; row < image->height; row++) {
        unsigned char* line = image->data + static_cast<std::size_t>(row) * image->bytes_line;
        for (int col = 0; col < image->width; col++, count++) {
            if (bits == 8) {
                line[col] = static_cast<unsigned char>(pixel_for(line[col]));
            } else if (bits == 4) {
                unsigned char& b = line[col / 2];
                if (col % 2 == 0)
                    b = static_cast<unsigned char>((b & 0x0F) | ((pixel_for(b >> 4) & 0x0F) << 4));
                else
                    b = static_cast<unsigned char>((b & 0xF0) | (pixel_for(b & 0x0F) & 0x0F));
            } else if (bits == 1) {
                unsigned char& b = line[col / 8];
                int bit = col % 8;
                long pix = pixel_for((b >> bit) & 1);
                b = static_cast<unsigned char>((b & ~(1 << bit)) | ((pix & 1) << bit));
            }
        }
    }
    return count;
}

int gset_ximage_params(IMG_report* img, XImage* xi)
{
    if (!img || !xi || !img->data || img->width <= 0 || img->height <= 0)
        return 0;
    const int wdepth = gget_win_depth();
    const bool img24 = img->depth == 24 || img->depth == 32;
    std::memset(xi, 0, sizeof *xi);
    xi->width = img->width;
    xi->height = img->height;
    xi->xoffset = 0;
    xi->format = ZPixmap;
    xi->byte_order = img->byte_order ? MSBFirst : LSBFirst;
    xi->bitmap_unit = 32;
    xi->bitmap_bit_order = xi->byte_order;
    xi->bitmap_pad = 32;
    xi->depth = wdepth;
    if (img24)
        xi->bits_per_pixel = img->bits_pixel;
    else
        xi->bits_per_pixel = wdepth == 15 ? 16 : wdepth;

    const std::size_t w = static_cast<std::size_t>(img->width);
    if (img24)
        xi->bytes_per_line = img->bytes_line;
    else if (wdepth == 24)
        xi->bytes_per_line = static_cast<int>(w * 3);
    else if (wdepth == 15 || wdepth == 16)
        xi->bytes_per_line = static_cast<int>(w * 2);
    else if (wdepth == 8)
        xi->bytes_per_line = static_cast<int>(w);
    else if (wdepth == 4)
        xi->bytes_per_line = static_cast<int>((w + 1) / 2);
    else
        xi->bytes_per_line = static_cast<int>((w + 7) / 8);
    // An 8-bit image on a 24-bit screen becomes three bytes per pixel, or
    // whole 32-bit pixels when that is the server's own format (Xlib then
    // sends the rows as they are instead of converting pixel by pixel).
    const bool wide24 = wdepth == 24 && !img24 && server_bits_per_pixel(24) == 32;
    if (wdepth == 24 && !img24) {
        xi->bits_per_pixel = wide24 ? 32 : 24;
        if (wide24)
            xi->bytes_per_line = static_cast<int>(w * 4);
    }

    // A record whose rows are shorter than its pixels need would be read
    // past its end; true-colour records hold whole 3- or 4-byte pixels.
    const int bits = index_bits(img);
    if (!rows_fit(img, bits))
        return 0;
    if (img24 && bits != 24 && bits != 32)
        return 0;
    if (!img24 && bits != 8 && wdepth >= 15)
        return 0;  // only 8-bit indexed images convert to true colour

    unsigned char* out = img->data;
    const bool convert = (img24 ? 24 : img->depth) != wdepth && !(img24 && wdepth == 24);
    if (convert) {
        // Rows of our own buffer end on the 32-bit pad; Xlib refuses an
        // image whose rows are shorter than that.
        xi->bytes_per_line = (xi->bytes_per_line + 3) / 4 * 4;
    } else {
        // The caller's rows are used as they are, with the pad they have.
        xi->bytes_per_line = img->bytes_line;
        xi->bitmap_pad = img->bytes_line % 4 == 0 ? 32 : (img->bytes_line % 2 == 0 ? 16 : 8);
    }
    // The conversions below write the most significant byte first.
    if (convert && !img24)
        xi->byte_order = MSBFirst;
    if (convert) {
        std::size_t size = static_cast<std::size_t>(xi->bytes_per_line) * img->height;
        out = static_cast<unsigned char*>(std::malloc(size));
        if (!out)
            return 0;
        std::memset(out, 0, size);
    }
    xi->data = reinterpret_cast<char*>(out);

    if (wdepth == 24) {
        Visual* vis = visual_for(24);
        if (img24) {
            xi->red_mask = img->red;
            xi->green_mask = img->grn;
            xi->blue_mask = img->blu;
            if (img->red != vis->red_mask) {
                // Channel order differs from the screen's: swap bytes 0 and 2.
                const int step = img->bits_pixel / 8;
                for (int r = 0; r < img->height; r++) {
                    unsigned char* p = out + static_cast<std::size_t>(r) * xi->bytes_per_line;
                    for (int c = 0; c < img->width; c++, p += step)
                        std::swap(p[0], p[2]);
                }
                xi->red_mask = vis->red_mask;
                xi->green_mask = vis->green_mask;
                xi->blue_mask = vis->blue_mask;
                // The record's own pixels were exchanged: its masks now say
                // so, and loading it again does not swap them back.
                img->red = static_cast<unsigned>(vis->red_mask);
                img->grn = static_cast<unsigned>(vis->green_mask);
                img->blu = static_cast<unsigned>(vis->blue_mask);
            }
        } else {
            xi->red_mask = vis->red_mask;
            xi->green_mask = vis->green_mask;
            xi->blue_mask = vis->blue_mask;
            const bool bgr = vis->blue_mask != 255;
            if (wide24) {
                put_wide_pixels(img, vis, xi, out);
            } else {
                for (int r = 0; r < img->height; r++) {
                    const unsigned char* src = img->data + static_cast<std::size_t>(r) * img->bytes_line;
                    unsigned char* dst = out + static_cast<std::size_t>(r) * xi->bytes_per_line;
                    for (int c = 0; c < img->width; c++, dst += 3) {
                        unsigned char rr, gg, bb;
                        if (img->colors && img->num_colors > 0) {
                            IMG_color col = entry_of(img, src[c]);
                            rr = channel255(col.r);
                            gg = channel255(col.g);
                            bb = channel255(col.b);
                        } else {
                            rr = gg = bb = src[c];
                        }
                        if (bgr) {
                            dst[0] = bb;
                            dst[1] = gg;
                            dst[2] = rr;
                        } else {
                            dst[0] = rr;
                            dst[1] = gg;
                            dst[2] = bb;
                        }
                    }
                }
            }
        }
    } else if (wdepth == 15 || wdepth == 16) {
        Visual* vis = visual_for(wdepth);
        int sr, wr, sg, wg, sb, wb;
        mask_shape(vis->red_mask, &sr, &wr);
        mask_shape(vis->green_mask, &sg, &wg);
        mask_shape(vis->blue_mask, &sb, &wb);
        xi->red_mask = vis->red_mask;
        xi->green_mask = vis->green_mask;
        xi->blue_mask = vis->blue_mask;
        xi->byte_order = MSBFirst;
        for (int r = 0; r < img->height && !img24; r++) {
            const unsigned char* src = img->data + static_cast<std::size_t>(r) * img->bytes_line;
            unsigned char* dst = out + static_cast<std::size_t>(r) * xi->bytes_per_line;
            for (int c = 0; c < img->width; c++, dst += 2) {
                unsigned v;
                if (img->colors && img->num_colors > 0) {
                    IMG_color col = entry_of(img, src[c]);
                    v = (scaled(col.r, (1U << wr) - 1) << sr) + (scaled(col.g, (1U << wg) - 1) << sg) +
                        (scaled(col.b, (1U << wb) - 1) << sb);
                    dst[0] = static_cast<unsigned char>(v >> 8);
                    dst[1] = static_cast<unsigned char>(v & 0xFF);
                } else {
                    dst[0] = dst[1] = src[c];
                }
            }
        }
    }

    if (!XInitImage(xi)) {
        if (convert)
            std::free(out);
        xi->data = nullptr;
        return 0;
    }
    MESS_print(M_debug,
               "Image: %dx%d+%d format %d order %d unit %d bit order %d pad %d depth %d bpp %d "
               "bpl %d masks %lx %lx %lx\n",
               xi->width, xi->height, xi->xoffset, xi->format, xi->byte_order, xi->bitmap_unit,
               xi->bitmap_bit_order, xi->bitmap_pad, xi->depth, xi->bits_per_pixel,
               xi->bytes_per_line, xi->red_mask, xi->green_mask, xi->blue_mask);
    return 1;
}

int gload_image(IMG_report* image, int x, int y)
{
    if (!image || !gchk_graphics())
        return 0;
    gks_record_image(image, x, y, false);
    if (const GksDevice* d = gks_device(); d && d->image)
        d->image(image, x, y);
    return 0;
}

int gks_x11_image(IMG_report* image, int x, int y)
{
    if (!have_drawable())
        return 0;
    gsetup_image_colors(image, -1);
    ConvertedImage ci;
    ci.image = image;
    ci.ok = gset_ximage_params(image, &ci.xi) != 0;
    if (!ci.ok)
        return 0;
    put_image(image, &ci.xi, x, y, nullptr);
    return 1;
}

namespace {

// Reads an image file, hands it to `put`, and frees it: 1 when drawn, 0
// without a drawable or when the file cannot be read.
template <typename Put>
int with_image_file(const char* name, Put put)
{
    if (!have_drawable())
        return 0;
    IMG_report image;
    IMG_init(&image);
    const bool read = gread_image_file(name, &image) > 0;
    if (read)
        put(&image);
    IMG_free(&image);
    return read ? 1 : 0;
}

}  // namespace

int gload_image_file(const char* name, int x, int y)
{
    return with_image_file(name, [&](IMG_report* image) { gload_image(image, x, y); });
}

int goverlay_image(IMG_report* image, const char* background, int x, int y)
{
    if (!image || !gchk_graphics())
        return 0;
    if (gtype_is_RAST())
        return gks_rast_overlay(image, background, x, y);
    // Print devices have no transparent pixels: the image goes in whole.
    if (!gtype_is_WIN_PIX()) {
        if (const GksDevice* d = gks_device(); d && d->image)
            d->image(image, x, y);
        return 0;
    }
    gks_record_image(image, x, y, true);
    if (!have_drawable())
        return 0;
    const long trans = transparent_pixel(background);
    gsetup_image_colors(image, static_cast<int>(trans));
    ConvertedImage ci;
    ci.image = image;
    ci.ok = gset_ximage_params(image, &ci.xi) != 0;
    if (!ci.ok)
        return 0;

    // One bit per pixel, rows padded to whole bytes, bit 0 first: set where
    // the picture is not the transparent colour.
    const std::size_t row_bytes = (static_cast<std::size_t>(image->width) + 7) / 8;
    std::vector<unsigned char> mask;
    try {
        mask.assign(row_bytes * image->height, 0);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    unsigned long tval = static_cast<unsigned long>(trans);
    if (ci.xi.bits_per_pixel >= 24)
        tval &= 0xFFFFFF;
    const unsigned char* base = reinterpret_cast<unsigned char*>(ci.xi.data);
    for (int r = 0; r < image->height; r++) {
        const unsigned char* row = base + static_cast<std::size_t>(r) * ci.xi.bytes_per_line;
        unsigned char* mrow = mask.data() + r * row_bytes;
        for (int c = 0; c < image->width; c++)
            if (pixel_at(&ci.xi, row, c) != tval)
                mrow[c / 8] |= static_cast<unsigned char>(1 << (c % 8));
    }
    put_image(image, &ci.xi, x, y, &mask);
    return 0;
}

int goverlay_image_file(const char* name, const char* background, int x, int y)
{
    return with_image_file(name,
                           [&](IMG_report* image) { goverlay_image(image, background, x, y); });
}

int gread_image_file(const char* name, IMG_report* image)
{
    return IMG_read(name, image, 0);
}

int gquery_image_file(const char* name, IMG_report* image)
{
    return IMG_read(name, image, 1);
}

namespace {

// The window title as the name of a picture read back from the raster.
void raster_title(IMG_report* image)
{
    std::snprintf(image->info, sizeof image->info, "%s", gget_win_title());
    std::replace(image->info, image->info + std::strlen(image->info), '_', ' ');
}

}  // namespace

int gget_image(IMG_report* image)
{
    if (!image)
        return 0;
    IMG_init(image);
    if (gtype_is_RAST()) {
        raster_title(image);
        return gks_rast_get_image(image);
    }
    if (!have_drawable())
        return 0;
    Display* dpy = gget_display();
    XWindowAttributes attr;
    if (!XGetWindowAttributes(dpy, gget_root_window(), &attr)) {
        MESS_print(M_warn, "gget_image: Can't get target window attributes\n");
        return 0;
    }
    char* name = nullptr;
    if (XFetchName(dpy, gget_root_window(), &name) && name) {
        std::snprintf(image->info, sizeof image->info, "%s", name);
        XFree(name);
    } else {
        std::snprintf(image->info, sizeof image->info, "xwdump");
    }

    int wx = 0, wy = 0;
    gget_win_offset(&wx, &wy);
    const unsigned w = static_cast<unsigned>(attr.width);
    const unsigned h = static_cast<unsigned>(attr.height);
    std::unique_ptr<XImage, int (*)(XImage*)> xi(
        XGetImage(dpy, gget_draw_window(), wx, wy, w, h, AllPlanes, ZPixmap),
        [](XImage* p) { return p ? XDestroyImage(p) : 0; });
    if (!xi) {
        MESS_print(M_warn, "gget_image: Unable to get image at %dx%d+%d+%d\n", attr.width,
                   attr.height, wx, wy);
        return 0;
    }
    const std::size_t size = static_cast<std::size_t>(xi->bytes_per_line) * xi->height;
    image->data = static_cast<unsigned char*>(std::malloc(size));
    if (!image->data) {
        MESS_print(M_warn, "gget_image: Unable to allocate data buffer.\n");
        return 0;
    }
    std::memcpy(image->data, xi->data, size);
    image->width = xi->width;
    image->height = xi->height;
    image->bits_pixel = xi->bits_per_pixel;
    image->bytes_line = xi->bytes_per_line;
    image->byte_order = xi->byte_order == MSBFirst ? 1 : 0;
    image->depth = xi->depth;
    image->red = static_cast<unsigned>(xi->red_mask);
    image->grn = static_cast<unsigned>(xi->green_mask);
    image->blu = static_cast<unsigned>(xi->blue_mask);

    Visual* vis = attr.visual ? attr.visual : gget_visual();
    if (vis->c_class == TrueColor) {
        image->color_type = 0;
        if (image->red == 0 && image->grn == 0 && image->blu == 0) {
            image->red = static_cast<unsigned>(vis->red_mask);
            image->grn = static_cast<unsigned>(vis->green_mask);
            image->blu = static_cast<unsigned>(vis->blue_mask);
        }
        return 1;
    }

    const int n = vis->map_entries;
    std::vector<XColor> xcolors;
    try {
        xcolors.resize(static_cast<std::size_t>(std::max(n, 0)));
    } catch (const std::bad_alloc&) {
        MESS_print(M_warn, "gget_image: Unable to allocate memory for Xcolors\n");
        return 1;
    }
    if (vis->c_class == DirectColor) {
        auto low_bit = [](unsigned long m) { return m & (~m + 1); };
        unsigned long r = 0, g = 0, b = 0;
        const unsigned long lr = low_bit(vis->red_mask), lg = low_bit(vis->green_mask),
                            lb = low_bit(vis->blue_mask);
        for (int i = 0; i < n; i++) {
            xcolors[i].pixel = r | g | b;
            xcolors[i].flags = DoRed | DoGreen | DoBlue;
            r = (r + lr) & vis->red_mask;
            g = (g + lg) & vis->green_mask;
            b = (b + lb) & vis->blue_mask;
        }
    } else {
        for (int i = 0; i < n; i++) {
            xcolors[i].pixel = static_cast<unsigned long>(i);
            xcolors[i].flags = DoRed | DoGreen | DoBlue;
        }
    }
    XQueryColors(dpy, attr.colormap ? attr.colormap : gget_colormap(), xcolors.data(), n);
    image->colors = static_cast<IMG_color*>(std::calloc(static_cast<std::size_t>(n), sizeof(IMG_color)));
    if (!image->colors) {
        MESS_print(M_warn, "gget_image: Unable to allocate memory for colors\n");
        return 1;
    }
    auto comp = [](unsigned short v) {
        float f = v / 65535.0f;
        return f > 0.99f ? 1.0f : f;
    };
    for (int i = 0; i < n; i++)
        image->colors[i] = IMG_color{comp(xcolors[i].red), comp(xcolors[i].green), comp(xcolors[i].blue)};
    image->num_colors = n;
    image->color_type = 1;
    return 1;
}

int gwrite_window_image(const char* name, Gimage_writer write)
{
    IMG_report image;
    IMG_init(&image);
    if (gtype_is_RAST()) {
        // The writers only read the pixels: the off-screen picture is handed
        // to them as it is, without the copy that gget_image makes.
        raster_title(&image);
        if (gks_rast_view_image(&image)) {
            const int result = write(name, &image);
            image.data = nullptr;
            IMG_free(&image);
            return result;
        }
    }
    const int result = gget_image(&image) ? write(name, &image) : 0;
    IMG_free(&image);
    return result;
}

int gsave_image_file(const char* name)
{
    switch (g_img.output_type) {
    case GKS_SAVE_GIF:
        return gwrite_window_image(name, GIF_write);
    case GKS_SAVE_PNG:
        return gwrite_window_image(name, [](const char* n, IMG_report* i) { return PNG_write(n, i); });
    default:
        return gwrite_window_image(name, [](const char* n, IMG_report* i) { return XWD_write(n, i); });
    }
}

int gset_save_image_type(int type)
{
    g_img.output_type = type;
    return 0;
}

int gget_save_image_type() { return g_img.output_type; }
