// PostScript workstation: opening with its option words and paper sizes,
// the prolog and trailer, grey or colour output, and the primitives written
// as PostScript paths. Also the output-file and paper helpers that the
// HP-GL/2 device shares.
#define ZEM_GKS_INTERNAL
#include "gks_ps.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <initializer_list>
#include <string>
#include <vector>

#include "gks_colr.h"
#include "gks_fill.h"
#include "gks_line.h"
#include "gks_priv.h"
#include "gks_text.h"
#include "gks_x11.h"
#include "mess.h"
#include "resrc.h"
#include "sat_read.h"
#include "string.h"

namespace {

constexpr float kPointsPerInch = 72.0f;
constexpr float kMarkerPoints = 7.2f;  // marker size 1.0 = 7.2 points
constexpr int kBack = 256;             // grey slot of the background (-1)

struct PsState {
    GksOutFile out;
    bool pr_color = false;
    bool pr_rev = false;
    bool pr_port = false;
    bool pr_eps = false;
    float pr_scale = 1.0f;
    int base_width = 1;
    float sx = 11.0f, sy = 8.5f;
    std::array<float, 257> gray{};
    float gray_level = 0.0f;  // grey in force; -1 while an RGB colour is
    int ps_col_ind = -1;      // index whose RGB colour is in force
    float line_width = 1.0f;  // width value in force (multiplier x width)
    int line_type = 1;
};
PsState g_ps;

struct Paper {
    const char* name;
    float w, h;
};
// First number: the drawing's width in the unrotated frame.
constexpr std::array<Paper, 12> kPapers = {{{"letter", 11.0f, 8.5f},
                                            {"legal", 14.0f, 8.5f},
                                            {"11x17", 17.0f, 11.0f},
                                            {"a4", 11.69f, 8.26f},
                                            {"a3", 16.54f, 11.69f},
                                            {"a2", 23.39f, 16.54f},
                                            {"a1", 33.11f, 23.39f},
                                            {"b4", 14.33f, 10.12f},
                                            {"b3", 20.27f, 14.33f},
                                            {"b2", 28.66f, 20.27f},
                                            {"b1", 40.55f, 28.66f},
                                            {"ansid", 34.0f, 22.0f}}};

int slot(int ind) { return ind < 0 ? kBack : std::min(ind, kBack); }
bool special(int ind) { return ind >= GKS_PRINT_FIRST && ind <= GKS_PRINT_LAST; }

void set_gray(float g, const char* text) {
    if (g_ps.gray_level == g) return;
    gps_printf("%s", text);
    g_ps.gray_level = g;
    g_ps.ps_col_ind = -1;
}

// Black, white or light grey for the print colours 500-508.
void special_color(int ind) {
    const int k = (ind - GKS_PRINT_FIRST) / 3;
    if (k == 0) set_gray(0.0f, "0 setgray\n");
    else if (k == 1) set_gray(1.0f, "1 setgray\n");
    else set_gray(0.7f, ".7 setgray\n");
}

void rgb_color(int ind) {
    if (g_ps.gray_level < 0.0f && g_ps.ps_col_ind == ind) return;
    float r = 0, g = 0, b = 0;
    gget_color_rgb(ind, &r, &g, &b);
    gps_printf("%4.2f %4.2f %4.2f setrgbcolor\n", r, g, b);
    g_ps.gray_level = -1.0f;
    g_ps.ps_col_ind = ind;
}

void path(Gint n, const Gpt* pts) {
    gps_printf("np\n");
    gps_move(pts[0].x, pts[0].y);
    for (Gint i = 1; i < n; ++i) gps_line(pts[i].x, pts[i].y);
}

void stroke_pts(const std::vector<Gpt>& run) {
    path(static_cast<Gint>(run.size()), run.data());
    gps_printf("stroke\n");
}

Gint ps_polyline(Gint n, const Gpt* pts) {
    const GksLineState s = gks_line_state();
    gps_printf("%%%%PL:%d\n", n);
    gps_set_width(s.color, s.width);
    gps_set_color(s.color);
    gps_set_type(s.type);
    path(n, pts);
    gps_printf("stroke\n");
    return 1;
}

Gint ps_polymarker(Gint n, const Gpt* pts) {
    const GksMarkState s = gks_marker_state();
    gps_printf("%%%%PM:%d\n", n);
    gps_set_width(s.color, s.width);
    gps_set_color(s.color);
    gps_set_type(1);
    const int h = static_cast<int>(s.size * 10.0f * kMarkerPoints / 2.0f);
    for (Gint i = 0; i < n; ++i) {
        const int x = static_cast<int>(xW_ps(pts[i].x)), y = static_cast<int>(yW_ps(pts[i].y));
        for (const GksStroke& st : gks_marker_strokes(s.type, x, y, h)) {
            gps_printf("np\n");
            gps_move_abs(static_cast<float>(st[0].first), static_cast<float>(st[0].second));
            // A single point is a zero-length line, which round caps show.
            for (std::size_t k = st.size() == 1 ? 0 : 1; k < st.size(); ++k)
                gps_line_abs(static_cast<float>(st[k].first), static_cast<float>(st[k].second));
            gps_printf("stroke\n");
        }
    }
    return 1;
}

Gint ps_fill_area(Gint n, const Gpt* pts) {
    const GksFillState s = gks_fill_state();
    if (s.style != GSOLID) return 0;
    gps_printf("%%%%FA:%d\n", n);
    path(n, pts);
    gps_printf("cp\n");
    gps_set_fill_color(s.color);
    gps_printf("fill\n");
    return 1;
}

Gint ps_text(const Gpt* pt, const char* str) {
    const GksTextState s = gks_text_state();
    gps_printf("%%%%TE:%f %f %s\n", static_cast<double>(pt->x), static_cast<double>(pt->y), str);
    gps_set_width(s.color, s.width);
    gps_set_color(s.color);
    gps_set_type(1);
    return gks_text_strokes(*pt, str, 30, stroke_pts) ? 1 : 0;
}

void rect_path(float x0, float y0, float x1, float y1) {
    gps_printf("np\n");
    gps_move_abs(x0, y0);
    gps_line_abs(x0, y1);
    gps_line_abs(x1, y1);
    gps_line_abs(x1, y0);
    gps_printf("cp\n");
}

void ps_clip() {
    const Glim vp = gks_cur_viewport();
    gps_printf("initclip\n");
    rect_path(xNDC_ps(vp.x_min) - 0.1f, yNDC_ps(vp.y_min) - 0.1f, xNDC_ps(vp.x_max) + 0.1f,
              yNDC_ps(vp.y_max) + 0.1f);
    gps_printf("clip\n");
}

void ps_colour_rep(int ind, const Gcolr_rep& rep) { gps_set_color_rep(ind, rep.red, rep.green, rep.blue); }

void ps_message(const char* text) { gps_printf("%%%%Message: %s\n", text); }

void ps_clear_region(const Glim& l) {
    gps_printf("%%%%CLR\n");
    rect_path(xW_ps(l.x_min), yW_ps(l.y_min), xW_ps(l.x_max), yW_ps(l.y_max));
    gps_set_fill_color(-1);
    gps_printf("fill\n");
}

// Option words: later words override earlier ones.
void apply_option(const char* w) {
    const char* arg = nullptr;
    float pw = 0, ph = 0;
    if (gks_opt(w, "port")) g_ps.pr_port = true;
    else if (gks_opt(w, "land")) g_ps.pr_port = false;
    else if (gks_opt(w, "noeps")) g_ps.pr_eps = false;
    else if (gks_opt(w, "eps")) g_ps.pr_eps = true;
    else if (gks_opt(w, "color")) {
        g_ps.pr_color = true;
        gset_inverse(1);
    } else if (gks_opt(w, "gray")) g_ps.pr_color = false;
    else if (gks_opt(w, "scale", &arg)) g_ps.pr_scale = static_cast<float>(std::atof(arg));
    else if (gks_opt(w, "lwidth", &arg)) g_ps.base_width = std::atoi(arg);
    else if (gks_paper_size(w, &pw, &ph)) gps_set_size(pw, ph);
}

void apply_options(const std::vector<std::string>& words) {
    for (const std::string& w : words) apply_option(w.c_str());
}

const char* first_env(std::initializer_list<const char*> names) {
    for (const char* n : names) {
        if (const char* v = std::getenv(n); v && *v) return v;
    }
    return nullptr;
}

// Device size and offset from the geometry: a panel of the page, or
// "WxH+X+Y" / "WxH" / "+X+Y" in hundredths of an inch.
void apply_geometry(int w, int h) {
    const char* geom = RES_get("geometry");
    if (!geom || !*geom) geom = first_env({"zemps_geometry", "PSGEOMETRY"});
    int pw = w, ph = h, px = 0, py = 0;
    if (geom && !gks_panel_geometry(geom, w, h, &pw, &ph, &px, &py)) {
        int a = 0, b = 0, c = 0, d = 0;
        const int n = std::sscanf(geom, "%dx%d%d%d", &a, &b, &c, &d);
        if (n >= 2 && a > 0 && b > 0) {
            pw = static_cast<int>(static_cast<float>(a) * 0.72f);
            ph = static_cast<int>(static_cast<float>(b) * 0.72f);
        }
        if (n == 4) {
            px = static_cast<int>(static_cast<float>(c) * 0.72f);
            py = static_cast<int>(static_cast<float>(d) * 0.72f);
        } else if (n < 2 && std::sscanf(geom, "%d%d", &c, &d) == 2) {
            px = static_cast<int>(static_cast<float>(c) * 0.72f);
            py = static_cast<int>(static_cast<float>(d) * 0.72f);
        }
    }
    gks_set_device_size(pw, ph, px, py);
}

// Device size of the page in points: the unrotated drawing is the paper's
// first size wide, less a quarter inch on every side; portrait turns it.
void page_points(int* w, int* h) {
    const int a = static_cast<int>((g_ps.sx - 0.5f) * kPointsPerInch);
    const int b = static_cast<int>((g_ps.sy - 0.5f) * kPointsPerInch);
    *w = g_ps.pr_port ? b : a;
    *h = g_ps.pr_port ? a : b;
}

Gint ps_open(Gws_type, const char* conn_id) {
    const std::vector<std::string> items = gks_split(conn_id ? conn_id : "", ',');
    std::string name = items[0];
    if (name.empty()) {
        const char* e = first_env({"zemps_print", "PSPRINT"});
        name = e ? e : "zem.ps";
    }
    if (!gps_open_file(name.c_str())) {
        gerr_printf("gopen_ws", "unable to open postscript file");
        return -1;
    }
    gps_init();
    if (const char* p = std::getenv("zemps_param")) apply_options(gks_split(p, ','));
    apply_options(std::vector<std::string>(items.begin() + 1, items.end()));
    int w = 0, h = 0;
    page_points(&w, &h);
    gps_init_file();
    apply_geometry(w, h);
    return 0;
}

Gint ps_close() { return gps_close_file(); }

std::string hex_table_entry(int v) {
    char b[3];
    std::snprintf(b, sizeof b, "%02X", std::clamp(v, 0, 255));
    return b;
}

}  // namespace

const GksDevice kGksPsDevice = {4,        "PostScript",    2,           ps_open,         ps_close,
                                ps_polyline, ps_polymarker, ps_fill_area, ps_text,       gps_image,
                                nullptr,  ps_colour_rep, ps_clip,     nullptr,         ps_message,
                                ps_clear_region, nullptr};

// ---- Shared with the HP-GL/2 device --------------------------------------------------

bool GksOutFile::open(const char* name) {
    close();
    if (!name || !*name) return false;
    pipe = name[0] == '|';
    append = name[0] == '+';
    const char* file = (pipe || append) ? name + 1 : name;
    fp = pipe ? popen(file, "w") : std::fopen(file, append ? "a" : "w");
    return fp != nullptr;
}

void GksOutFile::close() {
    if (!fp) return;
    if (pipe) pclose(fp);
    else std::fclose(fp);
    fp = nullptr;
}

bool gks_opt(const char* word, const char* key, const char** arg) {
    const std::size_t n = std::strlen(key);
    if (!word || strnicmp(word, key, static_cast<int>(n)) != 0) return false;
    if (!arg) return word[n] == '\0';
    if (word[n] == '\0') return false;
    *arg = word + n + 1;
    return true;
}

bool gks_paper_size(const char* word, float* w, float* h) {
    const char* arg = nullptr;
    if (gks_opt(word, "sz", &arg)) {
        float a = 0, b = 0;
        if (std::sscanf(arg, "%fx%f", &a, &b) != 2 || !(a > 0.5f) || !(b > 0.5f) || a > 1000 || b > 1000)
            return false;
        *w = a;
        *h = b;
        return true;
    }
    for (const Paper& p : kPapers) {
        if (stricmp(word, p.name) == 0) {
            *w = p.w;
            *h = p.h;
            return true;
        }
    }
    return false;
}

bool gks_panel_geometry(const char* geom, int w, int h, int* pw, int* ph, int* px, int* py) {
    if (!geom || (geom[0] != 'P' && geom[0] != 'p')) return false;
    float cols = 1, rows = 1, col = 0, row = 0;
    std::sscanf(geom + 1, "%fx%f+%f+%f", &cols, &rows, &col, &row);
    float fw, fh, fx, fy;
    if (cols > 1.0f) {
        cols = std::clamp(cols, 1.0f, 8.0f);
        rows = std::clamp(rows, 1.0f, 8.0f);
        fw = 1.0f / cols;
        fh = 1.0f / rows;
        fx = col / cols;
        fy = 1.0f - (row + 1.0f) / rows;
    } else {
        // One column or fewer: the numbers are fractions of the page.
        fw = cols;
        fh = rows;
        fx = col;
        fy = row;
    }
    *pw = static_cast<int>(static_cast<float>(w) * fw);
    *ph = static_cast<int>(static_cast<float>(h) * fh);
    *px = static_cast<int>(static_cast<float>(w) * fx);
    *py = static_cast<int>(static_cast<float>(h) * fy);
    return true;
}

// ---- The PostScript routines ------------------------------------------------------------

std::FILE* gps_open_file(const char* name) {
    if (!g_ps.out.open(name)) return nullptr;
    if (g_ps.out.pipe) MESS_print(M_mess, "Spooling to: %s\n", name + 1);
    else if (g_ps.out.append) MESS_print(M_mess, "Appending to: %s\n", name + 1);
    else MESS_print(M_mess, "Creating: %s\n", name);
    if (std::getenv("PSCOLOR")) g_ps.pr_color = true;
    return g_ps.out.fp;
}

Gint gps_init() {
    g_ps.gray_level = 0.0f;
    g_ps.ps_col_ind = -1;
    g_ps.line_width = 1.0f;
    g_ps.line_type = 1;
    g_ps.gray[kBack] = g_ps.pr_rev ? 0.0f : 1.0f;
    return 0;
}

Gint gps_set_size(float w, float h) {
    g_ps.sx = w;
    g_ps.sy = h;
    return 0;
}

Gint gps_set_EPS(int on) {
    g_ps.pr_eps = on != 0;
    return 0;
}

Gint gps_set_orient(int portrait) {
    g_ps.pr_port = portrait != 0;
    return 0;
}

Gint gps_set_scale(float scale) {
    g_ps.pr_scale = scale;
    return 0;
}

Gint gps_set_colorPS(int on) {
    g_ps.pr_color = on != 0;
    return 0;
}

int gps_get_colorPS() { return g_ps.pr_color ? 1 : 0; }

Gint gps_set_reverse(int on) {
    g_ps.pr_rev = on != 0;
    return 0;
}

Gint gps_set_base_width(int w) {
    g_ps.base_width = w;
    return 0;
}

Gint gps_printf(const char* format, ...) {
    if (!g_ps.out.fp) return -1;
    va_list ap;
    va_start(ap, format);
    std::vfprintf(g_ps.out.fp, format, ap);
    va_end(ap);
    return 0;
}

Gint gps_init_file() {
    const char* title = gget_win_title();
    if (g_ps.out.append) {
        gps_printf(g_ps.pr_color ? "0 0 0 setrgbcolor\n" : "0 setgray\n");
        gps_printf("1 dot lw\n[] 0 setdash\n%%%%ZEM Plot: %s\n", title);
        return 0;
    }
    int w = 0, h = 0;
    page_points(&w, &h);
    if (g_ps.pr_eps) {
        // The page shows the drawing turned in landscape: the box is the
        // drawing's size as it lands on the page.
        gps_printf("%%!PS-Adobe-3.0 EPSF-3.0\n%%%%BoundingBox: 0 0 %d %d\n", g_ps.pr_port ? w : h,
                   g_ps.pr_port ? h : w);
    } else {
        gps_printf("%%!PS-Adobe-1.0\n");
    }
    const std::time_t now = std::time(nullptr);
    char date[64] = "";
    std::strftime(date, sizeof date, "%a %b %e %H:%M:%S %Y", std::localtime(&now));
    gps_printf("%%%%Title: ZEM Graphics Display: %s\n%%%%Creator: ZEM Postscript Processor-2.0\n", title);
    gps_printf("%%%%CreationDate: %s\n%%%%EndComments\n%%%%Postscript initialization\n", date);
    if (!g_ps.pr_eps) gps_printf("30 dict begin\n/saveobj save def\n");
    gps_printf("/inch {72 mul} def\n/dot {.33 mul} def\n/mv {moveto} def\n/ln {lineto} def\n"
               "/lw {setlinewidth} def\n/np {newpath} def\n/cp {closepath} def\n");
    if (!g_ps.pr_port) {
        // EPS: the drawing's height, so that it lands inside the box.
        if (g_ps.pr_eps)
            gps_printf("90 rotate\n0. inch -%.2f inch translate\n", static_cast<double>(h) / kPointsPerInch);
        else
            gps_printf("90 rotate\n.25 inch -%.2f inch translate\n", static_cast<double>(g_ps.sy - 0.25f));
    } else if (!g_ps.pr_eps) {
        gps_printf(".25 inch .25 inch translate\n");
    }
    gps_printf(g_ps.pr_color ? "0 0 0 setrgbcolor\n" : "0 setgray\n");
    gps_printf("2 setlinejoin\n1 dot lw\n[] 0 setdash\n");
    if (g_ps.pr_scale != 1.0f)
        gps_printf("%.2f %.2f scale\n", static_cast<double>(g_ps.pr_scale), static_cast<double>(g_ps.pr_scale));
    gps_printf("%%%%Begin plot\n%%%%ZEM Plot: %s\n", title);
    return 0;
}

Gint gps_close_file() {
    if (!g_ps.out.fp) return -1;
    gps_printf("%%%%End of plot\n");
    if (!g_ps.out.append) {
        gps_printf(g_ps.pr_eps ? "showpage\n" : "saveobj restore\nshowpage\nend\n");
        gps_printf("%%%%EOF\n");
    }
    g_ps.out.close();
    MESS_print(M_mess, "Created Postscript file\n");
    return 0;
}

Gint gps_move(float x, float y) { return gps_move_abs(xW_ps(x), yW_ps(y)); }
Gint gps_line(float x, float y) { return gps_line_abs(xW_ps(x), yW_ps(y)); }
Gint gps_move_abs(float x, float y) { return gps_printf("%3.2f %3.2f mv\n", static_cast<double>(x), static_cast<double>(y)); }
Gint gps_line_abs(float x, float y) { return gps_printf("%3.2f %3.2f ln\n", static_cast<double>(x), static_cast<double>(y)); }

Gint gps_set_color(int ind) {
    if (special(ind)) special_color(ind);
    else if (g_ps.pr_color) rgb_color(ind);
    else set_gray(0.0f, "0 setgray\n");
    return 0;
}

Gint gps_set_fill_color(int ind) {
    if (special(ind)) {
        special_color(ind);
    } else if (g_ps.pr_color) {
        rgb_color(ind);
    } else if (gget_fill_print_solid()) {
        set_gray(0.0f, "0 setgray\n");
    } else if (ind < 0) {
        set_gray(1.0f, "1 setgray\n");
    } else {
        const float g = g_ps.gray[static_cast<std::size_t>(slot(ind))];
        char text[32];
        std::snprintf(text, sizeof text, "%3.3f setgray\n", static_cast<double>(g));
        set_gray(g, text);
    }
    return 0;
}

Gint gps_set_width(int ind, float width) {
    const int k = special(ind) ? (ind - GKS_PRINT_FIRST) % 3 : 0;
    if (k == 1 || k == 2) {
        const float mult = k == 1 ? 2.0f : 4.0f;
        if (g_ps.line_width == mult * width) return 0;
        g_ps.line_width = mult * width;
        return gps_printf("%d dot lw\n", static_cast<int>(mult * static_cast<float>(g_ps.base_width) * width));
    }
    const float bold = static_cast<float>(gget_line_print_bold());
    if (g_ps.line_width == bold * width) return 0;
    g_ps.line_width = bold * width;
    return gps_printf("%2.1f dot lw\n", static_cast<double>(bold * (static_cast<float>(g_ps.base_width) * width)));
}

Gint gps_set_type(int type) {
    static constexpr std::array<const char*, 5> kDash = {"[] 0 setdash\n", "[6] 0 setdash\n", "[3 6] 0 setdash\n",
                                                         "[6 6 3 6] 0 setdash\n", "[2] 0 setdash\n"};
    if (type == g_ps.line_type) return 0;
    g_ps.line_type = type;
    if (type >= 1 && type <= 5) gps_printf("%s", kDash[static_cast<std::size_t>(type - 1)]);
    return 0;
}

Gint gps_set_color_rep(int ind, float r, float g, float b) {
    if (ind < -1 || ind > kBack) return -1;
    const float v = (0.9f * r + g + 0.8f * b) / 2.7f;
    g_ps.gray[static_cast<std::size_t>(slot(ind))] = g_ps.pr_rev ? 1.0f - v : v;
    return 0;
}

float gps_get_gray(int ind) {
    if (ind < -1 || ind > kBack) return 0.0f;
    return g_ps.gray[static_cast<std::size_t>(slot(ind))];
}

Gint gps_image(IMG_report* image, int x, int y) {
    if (!g_ps.out.fp || !image || !image->data || image->bits_pixel != 8 || image->width <= 0 ||
        image->height <= 0)
        return 0;
    Grectangle vp{};
    gget_gviewport(&vp);
    if (vp.width <= 0 || vp.height <= 0) return 0;
    const bool color = g_ps.pr_color;
    // One sample text per pixel value. In colour the value is an index of
    // the image's colour table (beyond it: entry 0; no table: a grey); on a
    // grey page the enhancement has already made it the grey level.
    std::array<std::string, 256> sample;
    for (int i = 0; i < 256; ++i) {
        if (!color) {
            sample[static_cast<std::size_t>(i)] = hex_table_entry(i);
            continue;
        }
        float r = static_cast<float>(i) / 255.0f, g = r, b = r;
        if (image->colors && image->num_colors > 0) {
            const IMG_color& c = image->colors[i < image->num_colors ? i : 0];
            r = c.r;
            g = c.g;
            b = c.b;
        }
        auto c8 = [](float v) { return hex_table_entry(static_cast<int>(std::clamp(v, 0.0f, 1.0f) * 255.0f)); };
        sample[static_cast<std::size_t>(i)] = c8(r) + c8(g) + c8(b);
    }
    const std::string white = color ? "FFFFFF" : "FF";
    gps_printf("gsave\n%d %d translate\n%d %d scale\n/picstr %d string def\n", vp.x, vp.y, vp.width,
               vp.height, vp.width);
    gps_printf("%d %d 8 [ %d 0 0 %d 0 %d ]\n{ currentfile picstr readhexstring pop }\n%s\n", vp.width,
               vp.height, vp.width, -vp.height, vp.height, color ? "false 3 colorimage" : "image");
    std::string row;
    row.reserve(static_cast<std::size_t>(vp.width) * (white.size() + 1) + 8);
    for (int j = 0; j < vp.height; ++j) {
        row.clear();
        const int src_y = y + j;
        const bool have_row = src_y >= 0 && src_y < image->height;
        const unsigned char* line =
            have_row ? image->data + static_cast<std::size_t>(src_y) * static_cast<std::size_t>(image->bytes_line)
                     : nullptr;
        for (int i = 0; i < vp.width; ++i) {
            const int src_x = x + i;
            if (line && src_x >= 0 && src_x < image->width)
                row += sample[line[src_x]];
            else
                row += white;
            if ((i + 1) % 80 == 0 && i + 1 < vp.width) row += '\n';
        }
        row += '\n';
        std::fwrite(row.data(), 1, row.size(), g_ps.out.fp);
    }
    gps_printf("grestore\n");
    return 1;
}
