// Metafile workstation: every kernel call as one line of the text metafile
// (or, in the binary form, the polylines and clip rectangles as CGM
// elements), and the reader that replays a text metafile.
#define ZEM_GKS_INTERNAL
#include "gks_meta.h"

#include <algorithm>
#include <array>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "gks_colr.h"
#include "gks_fill.h"
#include "gks_line.h"
#include "gks_mark.h"
#include "gks_priv.h"
#include "gks_text.h"
#include "gks_x11.h"
#include "mess.h"
#include "resrc.h"

namespace {

constexpr int kWidth = 1000;  // 10 x 8 inches at 100 units per inch
constexpr int kHeight = 800;
constexpr std::size_t kMaxText = 100;
// A CGM long-form partition holds at most 32767 bytes; polylines are split
// into partitions of whole points.
constexpr int kMaxPartition = 32764;

struct MetaState {
    GksOutFile out;
    int meta_type = 0;  // 0 text, 1 binary CGM
};
MetaState g_meta;

// How the value of an attribute record is written and read.
enum class Kind { I1, F1, I2, F2 };
struct AttrRecord {
    int code;
    const char* key;
    Kind kind;
};
constexpr std::array<AttrRecord, 19> kAttrs = {{
    {33, "PL_TYPE", Kind::I1}, {34, "PL_LW", Kind::F1},   {35, "PL_CLR", Kind::I1},  {43, "PM_TYPE", Kind::I1},
    {44, "PM_SIZE", Kind::F1}, {45, "PM_CLR", Kind::I1},  {46, "PM_WDTH", Kind::F1}, {53, "TE_SPC", Kind::F1},
    {54, "TE_CSPC", Kind::F1}, {55, "TE_EXP", Kind::F1},  {56, "TE_CLR", Kind::I1},  {57, "TE_HGHT", Kind::F1},
    {58, "TE_UP", Kind::F2},   {59, "TE_FNT", Kind::I2},  {60, "TE_ALGN", Kind::I2}, {61, "TE_WDTH", Kind::F1},
    {73, "FA_INT", Kind::I1},  {74, "FA_ST", Kind::I1},   {75, "FA_CLR", Kind::I1},
}};

bool text_form() { return g_meta.meta_type == 0; }

void put16(int v) {
    if (!g_meta.out.fp) return;
    const auto u = static_cast<unsigned>(static_cast<std::uint16_t>(static_cast<std::int16_t>(std::clamp(v, -32768, 32767))));
    std::fputc(static_cast<int>(u >> 8), g_meta.out.fp);
    std::fputc(static_cast<int>(u & 0xFF), g_meta.out.fp);
}

void put_bytes(std::initializer_list<int> bytes) {
    if (!g_meta.out.fp) return;
    for (int b : bytes) std::fputc(b, g_meta.out.fp);
}

// "%f,%f " per point, "\n   " after every fourth; a polyline never breaks
// after its last point and always ends its line.
void points_record(const char* key, Gint n, const Gpt* pts, bool polyline) {
    gmeta_printf("%s %d ", key, n);
    for (Gint i = 0; i < n; ++i) {
        gmeta_printf("%f,%f ", static_cast<double>(pts[i].x), static_cast<double>(pts[i].y));
        if ((i + 1) % 4 == 0 && !(polyline && i + 1 == n)) gmeta_printf("\n   ");
    }
    if (polyline || n % 4 != 0) gmeta_printf("\n");
}

Gint meta_polyline(Gint n, const Gpt* pts) {
    if (text_form()) {
        points_record("PL", n, pts, true);
        return 1;
    }
    const int per = kMaxPartition / 4;
    for (Gint first = 0; first < n; first += per) {
        const int k = std::min(per, n - first);
        const bool more = first + k < n;
        // The first partition carries the header; later ones only their
        // length word, with bit 15 set on every partition but the last.
        if (first == 0) put16(4 * 4096 + 1 * 32 + 31);
        put16((more ? 0x8000 : 0) | (4 * k));
        for (int i = 0; i < k; ++i) gcgm_point(pts[first + i].x, pts[first + i].y);
    }
    return 1;
}

Gint meta_polymarker(Gint n, const Gpt* pts) {
    points_record("PM", n, pts, false);
    return 1;
}

Gint meta_fill_area(Gint n, const Gpt* pts) {
    points_record("FA", n, pts, false);
    return 1;
}

Gint meta_text(const Gpt* pt, const char* str) {
    gmeta_printf("TE %f,%f %s\n", static_cast<double>(pt->x), static_cast<double>(pt->y), str);
    return 1;
}

void meta_attribute(int code, const GksAttr& v) {
    for (const AttrRecord& a : kAttrs) {
        if (a.code != code) continue;
        switch (a.kind) {
        case Kind::I1: gmeta_printf("%s %d\n", a.key, v.i[0]); break;
        case Kind::F1: gmeta_printf("%s %f\n", a.key, static_cast<double>(v.f[0])); break;
        case Kind::I2: gmeta_printf("%s %d %d\n", a.key, v.i[0], v.i[1]); break;
        case Kind::F2:
            gmeta_printf("%s %f,%f\n", a.key, static_cast<double>(v.f[0]), static_cast<double>(v.f[1]));
            break;
        }
    }
}

void meta_colour_rep(int ind, const Gcolr_rep& r) {
    gmeta_printf("CLR %d %d %f %f %f\n", 1, ind, static_cast<double>(r.red), static_cast<double>(r.green),
                 static_cast<double>(r.blue));
}

void meta_clip() {
    if (text_form() || !g_meta.out.fp) return;
    const Glim vp = gks_cur_viewport();
    gcgm_control(3, 5, 8, 0);
    gcgm_ps_point(xNDC_ps(vp.x_min), yNDC_ps(vp.y_min));
    gcgm_ps_point(xNDC_ps(vp.x_max), yNDC_ps(vp.y_max));
}

void meta_transform(int code, int n, const Glim& l) {
    const char* key = code == 10 ? "WS_VP" : code == 11 ? "WS_WIN" : code == 16 ? "VP" : code == 17 ? "WIN" : nullptr;
    if (code == 15) gmeta_printf("TR %d\n", n);
    if (key)
        gmeta_printf("%s %d %f %f %f %f\n", key, n, static_cast<double>(l.x_min), static_cast<double>(l.y_min),
                     static_cast<double>(l.x_max), static_cast<double>(l.y_max));
}

void meta_message(const char* text) { gmeta_printf("ME %s\n", text); }

void meta_clear_region(const Glim& l) {
    gmeta_printf("CLR_REG %f %f %f %f\n", static_cast<double>(l.x_min), static_cast<double>(l.y_min),
                 static_cast<double>(l.x_max), static_cast<double>(l.y_max));
}

void meta_segment(int code, int n) {
    gmeta_printf("%s %d\n", code == 81 ? "SEG_CR" : code == 82 ? "SEG_CL" : "SEG_DE", n);
}

// Geometry in inches: a panel, "WxH+X+Y" (or "WxH-X-Y"), "WxH", "+X+Y".
void apply_geometry() {
    const char* geom = RES_get("geometry");
    int pw = kWidth, ph = kHeight, px = 0, py = 0;
    if (geom && *geom && !gks_panel_geometry(geom, kWidth, kHeight, &pw, &ph, &px, &py)) {
        int a = 0, b = 0, c = 0, d = 0;
        const int n = std::sscanf(geom, "%dx%d%d%d", &a, &b, &c, &d);
        if (n >= 2 && a > 0 && b > 0 && a < 1000 && b < 1000) {
            pw = a * 100;
            ph = b * 100;
        }
        if (n == 4 || (n < 2 && std::sscanf(geom, "%d%d", &c, &d) == 2)) {
            px = std::clamp(c, -1000, 1000) * 100;
            py = std::clamp(d, -1000, 1000) * 100;
        }
    }
    gks_set_device_size(pw, ph, px, py);
}

Gint meta_open(Gws_type, const char* conn_id) {
    const std::vector<std::string> items = gks_split(conn_id ? conn_id : "", ',');
    g_meta.meta_type = 0;
    for (std::size_t i = 1; i < items.size(); ++i) {
        if (gks_opt(items[i].c_str(), "cgm")) g_meta.meta_type = 1;
        if (gks_opt(items[i].c_str(), "zem")) g_meta.meta_type = 0;
    }
    apply_geometry();
    std::string name = items[0];
    if (name.empty()) {
        const char* e = std::getenv("zemmeta_out");
        name = e && *e ? e : text_form() ? "zem.meta" : "zem.cgm";
    }
    if (!gmeta_open_file(name.c_str())) {
        gerr_printf("gopen_ws", "unable to open metafile");
        return -1;
    }
    gmeta_init_file();
    return 0;
}

// ---- Reading --------------------------------------------------------------------

void skip_line(std::FILE* fp) {
    int c;
    while ((c = std::fgetc(fp)) != EOF && c != '\n') {
    }
}

bool read_points(std::FILE* fp, std::vector<Gpt>* pts) {
    int n = 0;
    if (std::fscanf(fp, "%d", &n) != 1 || n < 1) return false;
    pts->clear();
    for (int i = 0; i < n; ++i) {
        Gpt p{};
        if (std::fscanf(fp, " %f,%f", &p.x, &p.y) != 2) return false;
        pts->push_back(p);
    }
    return true;
}

bool read_lim(std::FILE* fp, int* n, Glim* l) {
    return std::fscanf(fp, "%d %f %f %f %f", n, &l->x_min, &l->y_min, &l->x_max, &l->y_max) == 5;
}

bool read_attr(std::FILE* fp, Kind kind, GksAttr* v) {
    switch (kind) {
    case Kind::I1: return std::fscanf(fp, "%d", &v->i[0]) == 1;
    case Kind::F1: return std::fscanf(fp, "%f", &v->f[0]) == 1;
    case Kind::I2: return std::fscanf(fp, "%d %d", &v->i[0], &v->i[1]) == 2;
    case Kind::F2: return std::fscanf(fp, "%f,%f", &v->f[0], &v->f[1]) == 2;
    }
    return false;
}

// The text of a TE record: after the blanks, to the end of the line.
std::string read_text(std::FILE* fp) {
    std::string s;
    int c;
    while ((c = std::fgetc(fp)) == ' ' || c == '\t') {
    }
    for (; c != EOF && c != '\n'; c = std::fgetc(fp)) {
        if (c != '\r' && s.size() < kMaxText) s += static_cast<char>(c);
    }
    return s;
}

// One record after its keyword; false when its fields do not read.
bool replay_record(std::FILE* fp, const std::string& key, std::vector<Gpt>& pts) {
    Glim l{};
    int n = 0;
    if (key == "WS_WIN") return read_lim(fp, &n, &l);
    if (key == "VP" || key == "WIN") {
        if (!read_lim(fp, &n, &l)) return false;
        (key == "VP" ? gset_vp : gset_win)(n, &l);
        return true;
    }
    if (key == "TR") {
        if (std::fscanf(fp, "%d", &n) != 1) return false;
        gsel_norm_tran(n);
        return true;
    }
    if (key == "PL" || key == "FA" || key == "PM") {
        if (!read_points(fp, &pts)) return false;
        const Gint cnt = static_cast<Gint>(pts.size());
        if (key == "PL") gpolyline(cnt, pts.data());
        else if (key == "FA") gfill_area(cnt, pts.data());
        else gpolymarker(cnt, pts.data());
        return true;
    }
    if (key == "TE") {
        Gpt p{};
        if (std::fscanf(fp, "%f,%f", &p.x, &p.y) != 2) return false;
        const std::string s = read_text(fp);
        gtext(&p, s.c_str());
        return true;
    }
    if (key == "CLR") {
        Gcolr_rep r{};
        if (std::fscanf(fp, "%d %d %f %f %f", &n, &n, &r.red, &r.green, &r.blue) != 5) return false;
        gset_colr_rep(1, n, &r);
        return true;
    }
    for (const AttrRecord& a : kAttrs) {
        if (key != a.key) continue;
        GksAttr v;
        if (!read_attr(fp, a.kind, &v)) return false;
        gks_attr_apply(a.code, v);
        return true;
    }
    skip_line(fp);  // header lines, messages, segments, cleared regions
    return true;
}

}  // namespace

const GksDevice kGksMetaDevice = {3,
                                  "metafile",
                                  4,
                                  meta_open,
                                  gmeta_close_file,
                                  meta_polyline,
                                  meta_polymarker,
                                  meta_fill_area,
                                  meta_text,
                                  nullptr,
                                  meta_attribute,
                                  meta_colour_rep,
                                  meta_clip,
                                  meta_transform,
                                  meta_message,
                                  meta_clear_region,
                                  meta_segment};

std::FILE* gmeta_open_file(const char* name) {
    if (!g_meta.out.open(name)) return nullptr;
    MESS_print(M_mess, "Creating metafile: %s\n", name);
    return g_meta.out.fp;
}

Gint gmeta_init_file() {
    if (!g_meta.out.fp || g_meta.out.append) return 0;
    if (text_form()) {
        const std::time_t now = std::time(nullptr);
        gmeta_printf("ZEMMETA\n#Title: ZEM Graphics Display: %s\n#Creator: ZEM Metafile Processor-1.0\n"
                     "#CreationDate: %s",
                     gget_win_title(), std::ctime(&now));
        return 0;
    }
    gcgm_control(0, 1, 0, 0);  // BEGIN METAFILE
    gcgm_control(1, 1, 2, 0);  // METAFILE VERSION 1
    put16(1);
    gcgm_control(1, 2, 11, 0);  // METAFILE DESCRIPTION
    std::fputc(10, g_meta.out.fp);
    std::fputs("ZEMCGM-1.0", g_meta.out.fp);
    std::fputc(0, g_meta.out.fp);
    gcgm_control(1, 11, 6, 0);  // METAFILE ELEMENT LIST: the drawing set
    put16(1);
    put_bytes({0xFF, 0xFF, 0x00, 0x01});
    // No MAXIMUM COLOUR INDEX: nothing is drawn in colour, and LibreOffice
    // refuses a file that declares one.
    gcgm_control(2, 6, 8, 0);  // VDC EXTENT: the device in print units
    put16(0);
    put16(0);
    put16(kWidth);
    put16(kHeight);
    gcgm_control(0, 3, 0, 0);  // BEGIN PICTURE
    // Black lines of width 1 on white: with the defaults LibreOffice shows
    // hairlines in white on black, that is nothing.
    gcgm_control(2, 2, 2, 0);  // COLOUR SELECTION MODE direct
    put16(1);
    gcgm_control(2, 7, 3, 0);  // BACKGROUND COLOUR white
    put_bytes({255, 255, 255, 0});
    gcgm_control(0, 4, 0, 0);  // BEGIN PICTURE BODY
    gcgm_control(5, 4, 3, 0);  // LINE COLOUR black
    put_bytes({0, 0, 0, 0});
    gcgm_control(5, 3, 4, 0);  // LINE WIDTH 1.0 (16.16 fixed point)
    put16(1);
    put16(0);
    return 0;
}

Gint gmeta_close_file() {
    if (!g_meta.out.fp) return -1;
    if (!text_form() && !g_meta.out.append) {
        gcgm_control(0, 5, 0, 0);  // END PICTURE
        gcgm_control(0, 2, 0, 0);  // END METAFILE
    }
    g_meta.out.close();
    MESS_print(M_mess, "Created metafile\n");
    return 0;
}

Gint gmeta_printf(const char* format, ...) {
    if (!g_meta.out.fp || !text_form()) return -1;
    va_list ap;
    va_start(ap, format);
    std::vfprintf(g_meta.out.fp, format, ap);
    va_end(ap);
    return 0;
}

Gint gmeta_set_type(int type) {
    g_meta.meta_type = type != 0 ? 1 : 0;
    return 0;
}

int gmeta_get_type() { return g_meta.meta_type; }

Gint gcgm_control(int cls, int element, int length, int long_length) {
    if (!g_meta.out.fp) return -1;
    put16((cls << 12) | (element << 5) | std::clamp(length, 0, 31));
    if (length >= 31 || long_length >= 1) put16(long_length);
    return 0;
}

Gint gcgm_point(float x, float y) { return gcgm_ps_point(xW_ps(x), yW_ps(y)); }

Gint gcgm_ps_point(float x, float y) {
    put16(static_cast<int>(x));
    put16(static_cast<int>(y));
    return 0;
}

Gint gread_metafile(const char* path) {
    std::FILE* fp = path ? std::fopen(path, "r") : nullptr;
    if (!fp) {
        MESS_print(M_warn, "gread_metafile: Unable to open image file: %s\n", path ? path : "");
        return 0;
    }
    skip_line(fp);
    std::vector<Gpt> pts;
    char key[10];
    while (std::fscanf(fp, "%9s", key) == 1) {
        if (!replay_record(fp, key, pts)) {
            MESS_print(M_warn, "gread_metafile: bad %s record in %s\n", key, path);
            std::clearerr(fp);
            skip_line(fp);
        }
    }
    std::fclose(fp);
    return 0;
}
