// HP-GL/2 workstation: option words, paper sizes and rotations, the PCL
// wrapper, and the primitives as pen moves, polygon fills and screened
// line shading.
#define ZEM_GKS_INTERNAL
#include "gks_hpgl.h"

#include <algorithm>
#include <array>
#include <cstdarg>
#include <cstdlib>
#include <string>
#include <vector>

#include "gks_colr.h"
#include "gks_fill.h"
#include "gks_line.h"
#include "gks_priv.h"
#include "gks_x11.h"
#include "mess.h"
#include "resrc.h"

namespace {

constexpr float kUnitsPerInch = 1015.0f;
constexpr float kMarkerUnits = 101.5f;  // marker size 1.0 = 101.5 units
constexpr int kOffset = 10;
constexpr char kEsc = '\033';

struct HpState {
    GksOutFile out;
    int pcl = 1;
    int pr_rot = 0;
    float base_width = 0.2f;
    float sx = 10.5f, sy = 8.0f;
    float line_width = -1.0f;
    int line_type = 1;
    float gray_level = 0.0f;
    float fill_level = -1.0f;
};
HpState g_hp;

bool special(int ind) { return ind >= GKS_PRINT_FIRST && ind <= GKS_PRINT_LAST; }

float gray_of(int ind) {
    float r = 0, g = 0, b = 0;
    gget_color_rgb(ind, &r, &g, &b);
    return (0.9f * r + g + 0.8f * b) / 2.7f;
}

void pen_path(Gint n, const Gpt* pts, bool breaks) {
    ghpgl_move(pts[0].x, pts[0].y);
    for (Gint i = 1; i < n; ++i) {
        ghpgl_line(pts[i].x, pts[i].y);
        if (breaks && i % 10 == 0) ghpgl_printf("\n");
    }
    ghpgl_printf("\n");
}

Gint hp_polyline(Gint n, const Gpt* pts) {
    const GksLineState s = gks_line_state();
    ghpgl_set_width(s.color, s.width);
    ghpgl_set_color(s.color);
    ghpgl_set_type(s.type);
    pen_path(n, pts, true);
    return 1;
}

Gint hp_polymarker(Gint n, const Gpt* pts) {
    const GksMarkState s = gks_marker_state();
    ghpgl_set_width(s.color, s.width);
    ghpgl_set_color(s.color);
    ghpgl_set_type(1);
    const int h = static_cast<int>(s.size * 10.0f * kMarkerUnits / 2.0f);
    for (Gint i = 0; i < n; ++i) {
        const int x = static_cast<int>(xW_ps(pts[i].x)), y = static_cast<int>(yW_ps(pts[i].y));
        for (const GksStroke& st : gks_marker_strokes(s.type, x, y, h)) {
            ghpgl_move_abs(static_cast<float>(st[0].first), static_cast<float>(st[0].second));
            for (std::size_t k = st.size() == 1 ? 0 : 1; k < st.size(); ++k)
                ghpgl_line_abs(static_cast<float>(st[k].first), static_cast<float>(st[k].second));
            ghpgl_printf("\n");
        }
    }
    return 1;
}

Gint hp_fill_area(Gint n, const Gpt* pts) {
    ghpgl_set_fill_color(gks_fill_state().color);
    ghpgl_move(pts[0].x, pts[0].y);
    ghpgl_printf("PM0;");
    for (Gint i = 1; i < n; ++i) ghpgl_line(pts[i].x, pts[i].y);
    ghpgl_printf("PM1;PM2;FP;\n");
    return 1;
}

Gint hp_text(const Gpt* pt, const char* str) {
    const GksTextState s = gks_text_state();
    ghpgl_set_width(s.color, s.width);
    ghpgl_set_color(s.color);
    ghpgl_set_type(1);
    return gks_text_strokes(*pt, str, 30,
                            [](const std::vector<Gpt>& run) {
                                pen_path(static_cast<Gint>(run.size()), run.data(), false);
                            })
               ? 1
               : 0;
}

void hp_clip() {
    const Glim vp = gks_cur_viewport();
    ghpgl_printf("IW %.0f,%.0f,%.0f,%.0f;\n", static_cast<double>(xNDC_ps(vp.x_min) - 0.1f),
                 static_cast<double>(yNDC_ps(vp.y_min) - 0.1f), static_cast<double>(xNDC_ps(vp.x_max) + 0.1f),
                 static_cast<double>(yNDC_ps(vp.y_max) + 0.1f));
}

void apply_option(const char* w) {
    const char* arg = nullptr;
    float pw = 0, ph = 0;
    if (gks_opt(w, "pcl")) g_hp.pcl = 1;
    else if (gks_opt(w, "nopcl")) g_hp.pcl = 0;
    else if (gks_opt(w, "lj")) g_hp.pcl = 2;
    else if (gks_opt(w, "port")) g_hp.pr_rot = 90;
    else if (gks_opt(w, "land")) g_hp.pr_rot = 0;
    else if (gks_opt(w, "rot", &arg)) ghpgl_set_rotate(std::atoi(arg));
    else if (gks_opt(w, "lwidth", &arg)) g_hp.base_width = static_cast<float>(std::atof(arg));
    else if (gks_opt(w, "roll", &arg)) {
        const float rw = static_cast<float>(std::atof(arg));
        if (rw > 0.5f && rw < 1000.0f) {
            g_hp.sx = 23.5f;
            g_hp.sy = rw;
        }
    } else if (gks_paper_size(w, &pw, &ph)) {
        g_hp.sx = pw;
        g_hp.sy = ph;
    }
}

void apply_geometry(int w, int h) {
    const char* geom = RES_get("geometry");
    if (!geom || !*geom) geom = std::getenv("zemhp_geometry");
    int pw = w, ph = h, px = kOffset, py = kOffset;
    if (geom && gks_panel_geometry(geom, w, h, &pw, &ph, &px, &py)) {
        px += kOffset;
        py += kOffset;
    } else if (geom) {
        int a = 0, b = 0, c = 0, d = 0;
        const int n = std::sscanf(geom, "%dx%d+%d+%d", &a, &b, &c, &d);
        if (n >= 2 && a > 0 && b > 0) {
            pw = static_cast<int>(static_cast<float>(a) * 10.15f);
            ph = static_cast<int>(static_cast<float>(b) * 10.15f);
        }
        if (n == 4 || (n < 2 && std::sscanf(geom, "+%d+%d", &c, &d) == 2)) {
            px = static_cast<int>(static_cast<float>(c) * 10.15f) + kOffset;
            py = static_cast<int>(static_cast<float>(d) * 10.15f) + kOffset;
        }
    }
    gks_set_device_size(pw, ph, px, py);
}

Gint hp_open(Gws_type, const char* conn_id) {
    const std::vector<std::string> items = gks_split(conn_id ? conn_id : "", ',');
    std::string name = items[0];
    if (name.empty()) {
        const char* e = std::getenv("zemhp_out");
        name = e && *e ? e : "zem.hpgl";
    }
    if (!ghpgl_open_file(name.c_str())) {
        gerr_printf("gopen_ws", "unable to open HPGL file");
        return -1;
    }
    g_hp.sx = 10.5f;
    g_hp.sy = 8.0f;
    ghpgl_init();
    if (const char* p = std::getenv("zemhp_param")) {
        for (const std::string& w : gks_split(p, ',')) apply_option(w.c_str());
    }
    for (std::size_t i = 1; i < items.size(); ++i) apply_option(items[i].c_str());
    int w = static_cast<int>((g_hp.sx - 0.5f) * kUnitsPerInch);
    int h = static_cast<int>((g_hp.sy - 0.5f) * kUnitsPerInch);
    // Turned a quarter, the drawing runs along the paper's other side.
    if (g_hp.pr_rot == 90 || g_hp.pr_rot == 270) std::swap(w, h);
    apply_geometry(w, h);
    ghpgl_init_file();
    return 0;
}

Gint hp_close() { return ghpgl_close_file(); }

}  // namespace

const GksDevice kGksHpglDevice = {5,       "HPGL",       3,       hp_open, hp_close, hp_polyline,
                                  hp_polymarker, hp_fill_area, hp_text, nullptr, nullptr,  nullptr,
                                  hp_clip, nullptr,      nullptr, nullptr, nullptr};

std::FILE* ghpgl_open_file(const char* name) {
    if (!g_hp.out.open(name)) return nullptr;
    if (g_hp.out.pipe) MESS_print(M_mess, "Spooling to: %s\n", name + 1);
    else if (g_hp.out.append) MESS_print(M_mess, "Appending to: %s\n", name + 1);
    else MESS_print(M_mess, "Creating: %s\n", name);
    return g_hp.out.fp;
}

Gint ghpgl_init() {
    g_hp.pcl = 1;
    g_hp.pr_rot = 0;
    g_hp.base_width = 0.2f;
    g_hp.line_width = -1.0f;
    g_hp.line_type = 1;
    g_hp.gray_level = 0.0f;
    g_hp.fill_level = -1.0f;
    return 0;
}

Gint ghpgl_printf(const char* format, ...) {
    if (!g_hp.out.fp) return -1;
    va_list ap;
    va_start(ap, format);
    std::vfprintf(g_hp.out.fp, format, ap);
    va_end(ap);
    return 0;
}

Gint ghpgl_init_file() {
    if (!g_hp.out.append) {
        if (g_hp.pcl) ghpgl_printf("%cE%c%%1B%c&l1O\n", kEsc, kEsc, kEsc);
        ghpgl_printf("IN;SP1;PA;\n");
        if (g_hp.pcl == 2) ghpgl_printf("RO90;\n");
        if (g_hp.pr_rot == 90 || g_hp.pr_rot == 180 || g_hp.pr_rot == 270) ghpgl_printf("RO%d;\n", g_hp.pr_rot);
    }
    return ghpgl_printf("PW%.1f;SV;LT;\n", static_cast<double>(g_hp.base_width));
}

Gint ghpgl_close_file() {
    if (!g_hp.out.fp) return -1;
    if (!g_hp.out.append) {
        ghpgl_printf("SP;PG;\n");
        if (g_hp.pcl) ghpgl_printf("%c%%0A%cE", kEsc, kEsc);
    }
    g_hp.out.close();
    MESS_print(M_mess, "Created HPGL file\n");
    return 0;
}

Gint ghpgl_move(float x, float y) { return ghpgl_move_abs(xW_ps(x), yW_ps(y)); }
Gint ghpgl_line(float x, float y) { return ghpgl_line_abs(xW_ps(x), yW_ps(y)); }
Gint ghpgl_move_abs(float x, float y) { return ghpgl_printf("PU%.0f,%.0f;", static_cast<double>(x), static_cast<double>(y)); }
Gint ghpgl_line_abs(float x, float y) { return ghpgl_printf("PD%.0f,%.0f;", static_cast<double>(x), static_cast<double>(y)); }

Gint ghpgl_set_color(int ind) {
    struct Shade {
        float level;
        const char* cmd;
    };
    static constexpr std::array<Shade, 3> kShades = {{{0.0f, "SV;\n"}, {1.0f, "SV1,0;\n"}, {0.7f, "SV1,30;\n"}}};
    const Shade& s = kShades[special(ind) ? static_cast<std::size_t>((ind - GKS_PRINT_FIRST) / 3) : 0];
    if (g_hp.gray_level == s.level) return 0;
    g_hp.gray_level = s.level;
    return ghpgl_printf("%s", s.cmd);
}

Gint ghpgl_set_fill_color(int ind) {
    if (gget_fill_print_solid()) return ghpgl_printf("FT1;\n");
    const float g = ind < 0 ? 1.0f : gray_of(ind);
    if (g_hp.fill_level == g) return 0;
    g_hp.fill_level = g;
    return ghpgl_printf("FT10,%.0f;\n", static_cast<double>(100.0f - 100.0f * g));
}

Gint ghpgl_set_width(int ind, float w) {
    if (w == 0.0f) w = 1.0f;
    const int k = special(ind) ? (ind - GKS_PRINT_FIRST) % 3 : 0;
    const float mult = k == 1 ? 2.0f : k == 2 ? 4.0f : static_cast<float>(gget_line_print_bold());
    if (g_hp.line_width == mult * w) return 0;
    g_hp.line_width = mult * w;
    return ghpgl_printf("PW%.1f;\n", static_cast<double>(mult * g_hp.base_width * w));
}

Gint ghpgl_set_type(int type) {
    static constexpr std::array<const char*, 5> kTypes = {"LT;\n", "LT2,5,1;\n", "LT5,8,1;\n", "LT6,10,1;\n",
                                                          "LT2,1,1;\n"};
    if (type == g_hp.line_type) return 0;
    g_hp.line_type = type;
    if (type >= 1 && type <= 5) ghpgl_printf("%s", kTypes[static_cast<std::size_t>(type - 1)]);
    return 0;
}

Gint ghpgl_set_pcl(int pcl) {
    g_hp.pcl = std::clamp(pcl, 0, 2);
    return 0;
}

Gint ghpgl_set_rotate(int degrees) {
    if (degrees == 0 || degrees == 90 || degrees == 180 || degrees == 270) g_hp.pr_rot = degrees;
    return 0;
}

Gint ghpgl_set_base_width(float w) {
    g_hp.base_width = w;
    return 0;
}
