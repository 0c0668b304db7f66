// Plot session: the thin layer between a plotting program and the graphics
// kernel. It opens, re-lays out and closes the plot through the graph set-up
// layer, keeps the plot's view rectangle and margins, dumps frames to image
// files, and turns the kernel's mouse and timer callbacks into zoom, resize,
// value print and refresh.
#include "plt_tool.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "cty_tool.h"
#include "date.h"
#include "files.h"
#include "flag.h"
#include "gif.h"
#include "gks_colr.h"
#include "gks_loop.h"
#include "gks_obj.h"
#include "gks_text.h"
#include "gks_tool.h"
#include "gks_x11.h"
#include "gks_evnt.h"
#include "gks_zoom.h"
#include "img_tool.h"
#include "map.h"
#include "maptran.h"
#include "mess.h"
#include "gks_ps.h"
#include "plt_labl.h"
#include "png.h"
#include "region.h"
#include "resrc.h"
#include "string.h"
#include "system.h"
#include "tools.h"
#include "xdump.h"

namespace {

// Dump types.
enum DumpType { kDumpNone = 0, kDumpXwd = 1, kDumpGif = 2, kDumpImg = 3, kDumpPng = 4 };

constexpr int kBusyCursor = 8;

struct PlotState {
    Gint work_id = 1;
    Gws_type wk_type = 0;
    Glim dis_view{0.0f, 1.0f, 0.0f, 1.0f};
    Glim view_off{0.0f, 0.0f, 0.04f, 0.04f};
    float view_offset = 0.04f;
    int border = 1;
    int zoom = 0;
    int dump = kDumpNone;
    std::string dump_file;
    int bar = 0;
    int full_lab = 0;
    int anim = 0;  // GIF dumps of a loop go into one animated file
    PLT_callback_func callback = nullptr;
    PLT_domain_func zoom_func = nullptr;
    PLT_domain_func resize_func = nullptr;
    PLT_refresh_func refresh_func = nullptr;
    // Rubber-band zoom.
    float xp = 0.0f, yp = 0.0f;
    int code = 0;
    Domain orig_dom{};  // the domain before the first zoom (while zoom > 0)
};

PlotState g_plt;

// Nothing is drawn when every draw component is off or the plot type is
// "none"; the plot is then never opened.
bool nothing_to_draw()
{
    return FLAG_getplot(12) == 0 || FLAG_get(11) == 99;
}

// The text after the first n characters of a plot parameter, or "" when the
// value is not that long.
const char* arg_from(const char* v, std::size_t n)
{
    return std::strlen(v) > n ? v + n : "";
}

void set_dump_from(int type, const char* v)
{
    PLT_set_dump(type, std::strlen(v) > 3 ? v + 4 : "");
}

// Decodes the "vp_size" value: columns x rows + column + row of the
// display, or a plain fraction.
void decode_view_size(const char* arg)
{
    float sx = 1.0f, sy = 1.0f, ox = 0.0f, oy = 0.0f;
    int n = std::sscanf(arg, "%fx%f+%f+%f", &sx, &sy, &ox, &oy);
    if (sx > 1.0f) {
        sx = std::clamp(sx, 1.0f, 8.0f);
        sy = std::clamp(sy, 1.0f, 8.0f);
        ox = ox / sx;
        oy = 1.0f - (oy + 1.0f) / sy;
        sx = 1.0f / sx;
        sy = 1.0f / sy;
    }
    if (n == 4)
        GPH_set_view_size(sx, sy, ox, oy);
}

// Redraws the plot on `domain` through one of the program's re-plot
// functions, with the busy cursor showing meanwhile.
void redraw_with(PLT_domain_func func, Domain* domain)
{
    if (!func)
        return;
    gsel_norm_tran(0);
    int old_cursor = gset_cursor(kBusyCursor);
    func(domain);
    gsel_norm_tran(2);
    gupdate_window();
    gset_cursor(old_cursor);
}

// The dump file name for frame key `key` (key "i"): the dump convention
// with the file module's date and the window title (key "p"), joined to
// "image_path". The file module's naming state is left as it was.
std::string dump_path(const char* key)
{
    Date date;
    FILE_get_date(&date);
    FILE_save_name_conv();
    FILE_set_name(const_cast<char*>(g_plt.dump_file.c_str()));
    FILE_set_key('i', key);
    const char* title = gget_win_title();
    FILE_set_key('p', title ? title : "");
    char name[512] = "";
    FILE_set_date(&date, name);
    char path[1024] = "";
    FILE_add_path(RES_get("image_path"), name, path);
    FILE_restore_name_conv();
    return path;
}

bool animated_dump()
{
    return g_plt.dump == kDumpGif && g_plt.anim != 0 && gget_num_images() > 0;
}

// The whole loop as one animated GIF; frame key "all".
void dump_loop()
{
    const std::string path = dump_path("all");
    if (GIF_dump_loop(path.c_str()))
        MESS_print(M_mess, "Wrote GIF file: %s (%d frames)\n", path.c_str(), gget_num_images());
    else
        MESS_print(M_warn, "PLT_dump: Unable to write GIF file: %s\n", path.c_str());
}

}  // namespace

int PLT_param_decode()
{
    // Labels inside the view only while "fullab" is asked for.
    g_plt.full_lab = 0;
    g_plt.anim = 0;
    int count = 0;
    char** list = nullptr;
    if (RES_getvals("plot_param", &count, &list) > 0) {
        for (int i = 0; i < count; i++) {
            const char* v = list[i];
            if (stricmp(v, "full") == 0) {
                PLT_set_view_offsets(0, 0, 0, 0);
            } else if (stricmp(v, "fullab") == 0) {
                PLT_set_view_offsets(0, 0, 0, 0);
                g_plt.full_lab = 1;
            } else if (stricmp(v, "nopage") == 0) {
                MESS_set_page(0);
            } else if (stricmp(v, "page") == 0) {
                MESS_set_page(1);
            } else if (stricmp(v, "noredraw") == 0) {
                gset_redraw(0);
            } else if (stricmp(v, "id") == 0) {
                CTY_set_id_type(0);
            } else if (stricmp(v, "wmo") == 0) {
                CTY_set_id_type(1);
            } else if (stricmp(v, "cod_wmo") == 0) {
                CTY_set_id_type(2);
            } else if (strnicmp(v, "tz", 2) == 0) {
                DATE_set_TZ(const_cast<char*>(arg_from(v, 3)));
            } else if (strnicmp(v, "over", 4) == 0) {
                int base = 0, num = 0;
                int n = std::sscanf(arg_from(v, 5), "%d:%d", &base, &num);
                if (n >= 1)
                    PLT_set_overlay_base(base);
                if (n >= 2)
                    PLT_set_num_overlay(num);
            } else if (strnicmp(v, "lalo", 4) == 0) {
                float lat = 0.0f, lon = 0.0f;
                int a = 0, b = 0;
                int n = std::sscanf(arg_from(v, 5), "%f:%f:%d:%d", &lat, &lon, &a, &b);
                if (n >= 1) {
                    if (n < 2)
                        lon = lat;
                    MAP_latlon(lat, lon, a, b);
                }
            } else if (strnicmp(v, "gridx", 5) == 0 || strnicmp(v, "plt_skip", 8) == 0 ||
                       strnicmp(v, "plt_off", 8) == 0) {
                // Gridded-data settings of sibling programs.
            } else if (strnicmp(v, "plt_grid", 8) == 0) {
                int lim = 1;
                if (std::strlen(v) > 9)
                    lim = std::atoi(v + 9);
                MAP_set_plot_limit(lim);
            } else if (strnicmp(v, "loc_pr", 6) == 0) {
                DOM_set_loc_prior(std::atoi(arg_from(v, 7)));
            } else if (strnicmp(v, "vp_size", 7) == 0) {
                decode_view_size(arg_from(v, 8));
            } else if (strnicmp(v, "font", 4) == 0) {
                GPH_set_def_font(const_cast<char*>(arg_from(v, 5)));
            } else if (stricmp(v, "gif_inter") == 0) {
                GIF_interlace(1);
            } else if (stricmp(v, "gif_norm") == 0) {
                GIF_interlace(0);
            } else if (stricmp(v, "gif_trans") == 0) {
                GIF_transparent(1);
            } else if (stricmp(v, "gif_anim") == 0) {
                g_plt.anim = 1;
            } else if (stricmp(v, "inv") == 0) {
                gset_inverse(1);
            } else if (stricmp(v, "lcmap") == 0) {
                gset_local_colormap(1);
            } else if (stricmp(v, "nolcmap") == 0) {
                gset_local_colormap(0);
            } else if (stricmp(v, "rwclr") == 0) {
                gset_rw_colors(1);
            } else if (stricmp(v, "norwclr") == 0) {
                gset_rw_colors(0);
            } else if (stricmp(v, "nolooptitle") == 0) {
                gset_loop_title(0);
            } else if (stricmp(v, "pscolor") == 0) {
                // Colour PostScript also inverts the colours (dark on white).
                gset_inverse(1);
                gps_set_colorPS(1);
            } else if (stricmp(v, "psrev") == 0) {
                gps_set_reverse(1);
            } else if (stricmp(v, "clear") == 0) {
                gset_pix_mode(1);
            } else if (stricmp(v, "new") == 0) {
                gset_pix_mode(2);
            } else if (stricmp(v, "kill") == 0) {
                gset_pix_mode(9);
            } else if (strnicmp(v, "bar", 3) == 0) {
                g_plt.bar = 1;
            } else if (stricmp(v, "nobar") == 0) {
                g_plt.bar = 0;
            } else if (stricmp(v, "nohdr") == 0) {
                // Grid header files belong to sibling programs.
            } else if (strnicmp(v, "shadow", 6) == 0) {
                int drop = std::atoi(arg_from(v, 7));
                gset_font_drop(drop < 1 ? 4 : drop);
            } else if (strnicmp(v, "max_bad", 7) == 0) {
                // GRIB record limit of sibling programs.
            } else if (strnicmp(v, "min_size", 8) == 0) {
                int size = std::atoi(arg_from(v, 9));
                FILE_set_min_size(size < 1 ? 0 : size);
            } else if (strnicmp(v, "grdfmt", 6) == 0) {
                // Grid output format of sibling programs.
            } else if (strnicmp(v, "gif", 3) == 0) {
                set_dump_from(kDumpGif, v);
            } else if (strnicmp(v, "png", 3) == 0) {
                set_dump_from(kDumpPng, v);
            } else if (strnicmp(v, "img", 3) == 0) {
                set_dump_from(kDumpImg, v);
            } else if (strnicmp(v, "xwd", 3) == 0) {
                set_dump_from(kDumpXwd, v);
            }
        }
        free_parsed_array(count, list);
    }

    // Frame dumps may also be asked for through the output file type.
    if (RES_getvals("out_file", &count, &list) > 0) {
        for (int i = 0; i < count; i++) {
            if (strnicmp(list[i], "gif", 3) == 0)
                set_dump_from(kDumpGif, list[i]);
            else if (strnicmp(list[i], "png", 3) == 0)
                set_dump_from(kDumpPng, list[i]);
        }
        free_parsed_array(count, list);
    }
    return 0;
}

int PLT_open(float aspect)
{
    PLT_param_decode();
    g_plt.dis_view = g_plt.view_off;
    if (nothing_to_draw())
        return -1;
    // Frames that only go to files can be drawn without an X server.
    gset_offscreen(g_plt.dump != kDumpNone ? 1 : 0);
    GPH_setup(&g_plt.work_id, &g_plt.wk_type, aspect, &g_plt.dis_view);
    return 0;
}

int PLT_reset(float aspect)
{
    g_plt.dis_view = g_plt.view_off;
    int lt = PLT_get_label_type();
    PLT_set_label_type(lt < 0 ? -1 : (lt > 0 ? 1 : 0));
    if (nothing_to_draw())
        return -1;
    GPH_reset(&g_plt.work_id, &g_plt.wk_type, aspect, &g_plt.dis_view);
    return 0;
}

int PLT_panel(float aspect)
{
    if (aspect == 0.0f) {
        float h = g_plt.dis_view.y_max - g_plt.dis_view.y_min;
        aspect = h != 0.0f ? (g_plt.dis_view.x_max - g_plt.dis_view.x_min) / h : 1.0f;
    }
    g_plt.dis_view = g_plt.view_off;
    GPH_panel(&g_plt.work_id, &g_plt.wk_type, aspect, &g_plt.dis_view);
    return 0;
}

int PLT_close()
{
    if (FLAG_batch()) {
        // The foreground process ends here; the child carries on.
        if (ZEM_back_proc() < 0)
            ZEM_exit(1);
    }
    if (FLAG_get(11) == 99)
        return -1;
    gsel_norm_tran(2);
    if (g_plt.dump == kDumpNone)
        GPH_hold(g_plt.work_id);
    if (animated_dump())
        dump_loop();
    gclear_ws(g_plt.work_id, GALWAYS);
    GPH_end(g_plt.work_id);
    PLT_init_labels();
    return 0;
}

void PLT_exit(int val)
{
    if (gchk_graphics())
        GPH_end(g_plt.work_id);
    ZEM_exit(val);
}

int PLT_mess(const char* format, ...)
{
    char text[80];
    va_list ap;
    va_start(ap, format);
    std::vsnprintf(text, sizeof text, format, ap);
    va_end(ap);
    return gmessage(g_plt.work_id, text);
}

int PLT_set_view_offset(float v)
{
    g_plt.view_offset = v;
    g_plt.view_off = Glim{0.0f, 0.0f, v, v};
    return 0;
}

int PLT_set_view_offsets(float xn, float xx, float yn, float yx)
{
    g_plt.view_off = Glim{xn, xx, yn, yx};
    return 0;
}

float PLT_get_view_offset() { return g_plt.view_offset; }

int PLT_get_view_offsets(Glim* lim)
{
    if (lim)
        *lim = g_plt.view_off;
    return 0;
}

int PLT_get_view(Glim* lim)
{
    if (lim)
        *lim = g_plt.dis_view;
    return 0;
}

Gws_type PLT_get_work_type() { return g_plt.wk_type; }

int PLT_border(int on)
{
    if (on >= 0)
        g_plt.border = on;
    return g_plt.border;
}

int PLT_set_bar(int v)
{
    g_plt.bar = v;
    return 0;
}

int PLT_bar()
{
    // No contour module in this program: a bar is never pending.
    return 0;
}

int PLT_set_zoom(int v)
{
    g_plt.zoom = v;
    return 0;
}

int PLT_get_zoom() { return g_plt.zoom; }
int PLT_get_full_lab() { return g_plt.full_lab; }

int PLT_set_callback(PLT_callback_func func)
{
    g_plt.callback = func;
    gset_mouse_callback(func);
    return 0;
}

int PLT_set_zoom_func(PLT_domain_func func)
{
    g_plt.zoom_func = func;
    return 0;
}

int PLT_set_resize_func(PLT_domain_func func)
{
    g_plt.resize_func = func;
    return 0;
}

int PLT_set_refresh_func(int sec, PLT_refresh_func func)
{
    g_plt.refresh_func = func;
    gset_refresh_callback(sec, PLT_plot_refresh);
    return 0;
}

int PLT_print_location(char* event, float x, float y)
{
    (void)event;
    float lat = kMissingF, lon = kMissingF;
    MAP_untran(x, y, &lat, &lon);
    float px = x, py = y;
    MAP_grid_untran(x, y, &px, &py);
    MESS_print(8, "Lat: %6.2f Lon: %7.2f XY: %6.2f %6.2f Pixel: %6.2f %6.2f\n", lat, lon, x, y,
               px, py);
    return 0;
}

int PLT_print_values(char* event, float x, float y)
{
    if (!event || std::strcmp(event, "v-Alt") != 0)
        return 0;
    PLT_print_location(event, x, y);
    CTY_data place;
    if (CTY_search_loc(x, y, &place) > 0) {
        MESS_print(8, "Id: %s Lat: %6.2f Lon: %7.2f ", place.id, place.lat, place.lon);
        if (gget_num_images() > 1)
            MESS_print(8, "\n");
    }
    return 1;
}

int PLT_plot_zoom(char* event, float x, float y)
{
    if (!event)
        return 0;
    if (std::strcmp(event, "B1-P-Shft") == 0) {
        g_plt.xp = x;
        g_plt.yp = y;
        g_plt.code = 1;
        gset_rubber_band(2);
        return 0;
    }
    if (std::strncmp(event, "B1-R", 4) == 0 && g_plt.code == 1) {
        float w = std::fabs(x - g_plt.xp);
        float h = std::fabs(y - g_plt.yp);
        if (w == 0.0f || h == 0.0f)
            return -1;
        Domain dom;
        MAP_get_domain(&dom);
        if (g_plt.zoom == 0)
            g_plt.orig_dom = dom;
        int proj = MAP_get_proj();
        if (proj >= 1 && proj <= 9) {
            float lat = 0.0f, lon = 0.0f;
            MAP_untran(0.5f * (x + g_plt.xp), 0.5f * (y + g_plt.yp), &lat, &lon);
            dom.clat = lat;
            dom.clon = lon;
            // A domain without a grid size counts as one step across.
            const float sx = dom.nx > 1 ? static_cast<float>(dom.nx - 1) : 1.0f;
            const float sy = dom.ny > 1 ? static_cast<float>(dom.ny - 1) : 1.0f;
            float d = std::max(w / sx, h / sy);
            dom.dx = d;
            dom.dy = d;
            DOM_set_base_prior(h);
        } else {
            // Image and diagram domains: the lower-left corner and the size
            // of the box in the domain's own coordinates. Their first
            // coordinate (clat, extended by dx) runs along x and the second
            // (clon, extended by dy) along y; the polar diagram keeps plot
            // coordinates and the skew-T takes the plot width, its x
            // coordinate depending on y.
            const float x0 = std::min(x, g_plt.xp), y0 = std::min(y, g_plt.yp);
            const float x1 = std::max(x, g_plt.xp), y1 = std::max(y, g_plt.yp);
            if (proj == DOM_POLAR) {
                dom.clat = x0;
                dom.clon = y0;
                dom.dx = w;
                dom.dy = h;
            } else {
                float la0 = kMissingF, lo0 = kMissingF, la1 = kMissingF, lo1 = kMissingF;
                MAP_untran(x0, y0, &la0, &lo0);
                MAP_untran(x1, y1, &la1, &lo1);
                dom.clat = la0;
                dom.clon = lo0;
                dom.dx = proj == DOM_SKEWT ? w : la1 - la0;
                dom.dy = lo1 - lo0;
            }
        }
        g_plt.zoom++;
        MESS_print(0x200, "New domain: ");
        DOM_print(0x100, &dom);
        g_plt.code = 0;
        redraw_with(g_plt.zoom_func, &dom);
        return 1;
    }
    if (std::strcmp(event, "u-Alt") == 0 && gget_zoom() <= 1 && g_plt.zoom != 0) {
        MESS_print(0x200, "Original domain: ");
        Domain dom = g_plt.orig_dom;
        int proj = dom.proj;
        if (proj >= 1 && proj <= 9)
            DOM_set_base_prior(dom.dy * (dom.ny - 1));
        DOM_print(0x100, &dom);
        g_plt.zoom = 0;
        redraw_with(g_plt.zoom_func, &dom);
        return 1;
    }
    if (std::strcmp(event, "r-Alt") == 0) {
        Domain dom;
        MAP_get_domain(&dom);
        redraw_with(g_plt.zoom_func, &dom);
        return 1;
    }
    g_plt.code = 0;
    return 0;
}

int PLT_plot_resize(char* event, float x, float y)
{
    (void)x;
    (void)y;
    if (!event || std::strcmp(event, "size") != 0)
        return 0;
    Domain dom;
    MAP_get_domain(&dom);
    redraw_with(g_plt.resize_func, &dom);
    return 1;
}

void PLT_plot_refresh()
{
    if (!g_plt.refresh_func)
        return;
    gsel_norm_tran(0);
    int old_cursor = gset_cursor(kBusyCursor);
    g_plt.refresh_func();
    gsel_norm_tran(2);
    gupdate_window();
    gset_cursor(old_cursor);
}

int PLT_set_dump(int type, const char* filename)
{
    g_plt.dump = type;
    if (filename && *filename)
        g_plt.dump_file = filename;
    else if (type == kDumpGif)
        g_plt.dump_file = "zem.gif";
    else if (type == kDumpPng)
        g_plt.dump_file = "zem.png";
    else
        g_plt.dump_file = "zem.xwd";
    return 0;
}

int PLT_dump(int frame)
{
    if (g_plt.dump == kDumpNone)
        return -1;
    // The frames of an animated GIF are written together when the plot
    // closes, with their final delays.
    if (animated_dump())
        return 0;
    const bool frames = gget_num_images() > 0;
    char key[16];
    if (frames)
        std::snprintf(key, sizeof key, "%2.2d", frame);
    else
        std::snprintf(key, sizeof key, "win");
    const std::string path = dump_path(key);
    if (frames)
        gselect_frame(frame);

    int ok = 0;
    const char* kind = "xdump";
    switch (g_plt.dump) {
    case kDumpGif: kind = "GIF"; ok = GIF_dump(path.c_str()); break;
    case kDumpImg: kind = "IMG"; ok = IMG_dump(path.c_str()); break;
    case kDumpPng: kind = "PNG"; ok = PNG_dump(path.c_str()); break;
    default: kind = "xdump"; ok = XWD_dump(path.c_str()); break;
    }
    if (ok)
        MESS_print(M_mess, "Wrote %s file: %s\n", kind, path.c_str());
    else
        MESS_print(M_warn, "PLT_dump: Unable to write %s file: %s\n", kind, path.c_str());
    return ok ? 0 : -1;
}

int VAR_set_type(int index, int type)
{
    // The plot-variable table belongs to the data overlays; this program has
    // none, so only the call's shape is kept.
    (void)index;
    (void)type;
    return 0;
}
