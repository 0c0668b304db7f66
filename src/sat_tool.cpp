// Satellite plot driver, image remapping and zoom, and colour enhancement.
#include "sat_tool.h"

// ===== Plot driver =====
// The driver reads each file of the sequence into one image record, draws
// it as a frame (remap or zoom, colour, map layers, image, bar, labels) and
// hands the window to the plot session's hold loop. Everything here is
// single-instance state: the kernel calls back into SAT_plot on zoom and
// resize, and into SAT_plot_nextfile on refresh.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <string>
#include <vector>

#include "colors.h"
#include "date.h"
#include "files.h"
#include "flag.h"
#include "gks_img.h"
#include "gks_loop.h"
#include "gks_tran.h"
#include "gks_x11.h"
#include "img_tool.h"
#include "map.h"
#include "maptran.h"
#include "mess.h"
#include "plt_labl.h"
#include "plt_tool.h"
#include "resrc.h"
#include "sat_tran.h"
#include "string.h"
#include "tools.h"

namespace {

constexpr int kFlagInput = 14;      // input-format flag
constexpr int kDrawData = 7;        // "data" draw component
constexpr int kDefaultRemapInc = 20;
constexpr int kProjZoom = 50;       // domain kind: zoom of the image itself

SAT_params default_params()
{
    SAT_params p{};
    p.remap_inc = kDefaultRemapInc;
    p.pix_ave = 1;
    p.pix_off = 0;
    p.min_lon = kMissingF;
    p.max_lon = kMissingF;
    p.zoom = 1.0f;
    p.fill = 0;
    p.over = 0;
    p.bar = 0;
    p.refresh = 0;
    p.cutbase = 0;
    p.numcut = 0;
    p.cutoff[0] = 0;
    p.cutoff[1] = 256;
    return p;
}

struct Driver {
    Date file_date{};
    Date base_date{};
    IMG_report image{};
    bool image_ready = false;       // IMG_init has run on `image`
    Domain tmp_domain{};
    Domain plot_domain{};
    char filename[FILE_NAME_LEN]{};
    long fsecs = 0;
    SAT_params p = default_params();
};
Driver g_drv;

// Owns a list from RES_getvals / parse_string and frees it on scope exit.
class ParsedList {
public:
    explicit ParsedList(const char* resource) { RES_getvals(resource, &count_, &list_); }
    ~ParsedList()
    {
        if (list_ != nullptr) free_parsed_array(count_, list_);
    }
    ParsedList(const ParsedList&) = delete;
    ParsedList& operator=(const ParsedList&) = delete;
    int size() const { return list_ == nullptr ? 0 : count_; }
    const char* operator[](int i) const { return list_[i] != nullptr ? list_[i] : ""; }

private:
    int count_ = 0;
    char** list_ = nullptr;
};

// The argument of a keyword: the text from character `from` (0-based) on,
// or "" when the value is shorter.
const char* arg_from(const char* value, std::size_t from)
{
    return std::strlen(value) > from ? value + from : "";
}

IMG_report& driver_image()
{
    if (!g_drv.image_ready) {
        IMG_init(&g_drv.image);
        g_drv.image_ready = true;
    }
    return g_drv.image;
}

// ---- "input" / "in_file" ----

struct InputWord {
    const char* word;  // compared whole, case-insensitively
    int format;
    const char* conv;  // convention selected with it, or null
};
constexpr InputWord kInputWords[] = {
    {"area", kFormatArea, nullptr},  {"img", kFormatImg, "sat_img"},
    {"awipz", kFormatAwipZ, nullptr}, {"awip", kFormatAwip, nullptr},
    {"unisat", kFormatUnisys, nullptr}, {"tiff", kFormatTiff, nullptr},
    {"lrit", kFormatLrit, nullptr},
};

struct ChannelWord {
    const char* word;
    const char* conv;
};
constexpr ChannelWord kChannelWords[] = {
    {"vis", "sat_vis"}, {"ir", "sat_ir"}, {"wv", "sat_wv"}, {"img", "sat_img"}};

// In-file prefixes: the format they select and where the convention that
// may follow them starts (after the prefix and one separator, as in
// awip_vis or awipz_vis).
struct FilePrefix {
    const char* prefix;
    std::size_t n;
    int format;
    std::size_t conv_from;
};
constexpr FilePrefix kFilePrefixes[] = {
    {"awipz", 5, kFormatAwipZ, 6}, {"awip", 4, kFormatAwip, 5},
    {"unis", 4, kFormatUnisys, 5}, {"tiff", 4, kFormatTiff, 5},
    {"lrit", 4, kFormatLrit, 5},
};

void decode_in_file(const char* v)
{
    if (stricmp(v, "area") == 0) {
        FLAG_set(kFlagInput, kFormatArea);
        return;
    }
    for (const auto& c : kChannelWords) {
        if (stricmp(v, c.word) == 0) {
            FILE_set_name(c.conv);
            return;
        }
    }
    for (const auto& f : kFilePrefixes) {
        if (strnicmp(v, f.prefix, f.n) == 0) {
            FLAG_set(kFlagInput, f.format);
            if (std::strlen(v) > f.conv_from) FILE_set_name(v + f.conv_from);
            return;
        }
    }
    FILE_set_name(v);
}

// ---- "plot_param" ----

using ParamApply = void (*)(SAT_params& p, const char* value);

struct ParamKey {
    const char* key;
    std::size_t n;  // leading characters compared; 0 = the whole value
    ParamApply apply;
};

void set_cutoff(SAT_params& p, const char* value)
{
    int base = 0;
    int c[3] = {0, 0, 0};
    int n = std::sscanf(arg_from(value, 7), "%d:%d:%d:%d", &base, &c[0], &c[1], &c[2]);
    if (n < 1) return;  // nothing readable: keep the previous table
    p.cutbase = base;
    for (int k = 1; k < n; ++k) p.cutoff[k] = c[k - 1];
    p.cutoff[0] = 0;
    p.cutoff[n] = 256;
    p.numcut = n - 1;
}

const ParamKey kParamKeys[] = {
    {"remap", 5,
     [](SAT_params& p, const char* v) {
         p.remap_inc = std::strlen(v) > 5 ? std::atoi(arg_from(v, 6)) : kDefaultRemapInc;
         if (p.remap_inc < 0) p.remap_inc = 0;
     }},
    {"tran_sat", 8, [](SAT_params&, const char*) { SAT_set_tran_sat(1); }},
    {"tran_zem", 8, [](SAT_params&, const char*) { SAT_set_tran_sat(0); }},
    {"no_pixave", 8, [](SAT_params& p, const char*) { p.pix_ave = 0; }},
    {"zoom", 4,
     [](SAT_params& p, const char* v) {
         // A missing or non-positive factor would divide by zero later.
         float z = std::strtof(arg_from(v, 5), nullptr);
         if (z > 0.0f && std::isfinite(z)) p.zoom = z;
     }},
    {"fill", 4, [](SAT_params& p, const char* v) { p.fill = ATTR_parse_fill_pat(arg_from(v, 5)); }},
    {"over", 4, [](SAT_params& p, const char*) { p.over = 1; }},
    {"bar", 3, [](SAT_params& p, const char*) { p.bar = 1; }},
    {"irbar", 3, [](SAT_params& p, const char*) { p.bar = 2; }},
    {"pixoff", 6, [](SAT_params& p, const char* v) { p.pix_off = std::atoi(arg_from(v, 7)); }},
    {"minlon", 6, [](SAT_params& p, const char* v) { p.min_lon = std::strtof(arg_from(v, 7), nullptr); }},
    {"maxlon", 6, [](SAT_params& p, const char* v) { p.max_lon = std::strtof(arg_from(v, 7), nullptr); }},
    {"shift", 5, [](SAT_params&, const char* v) { SAT_set_bit_shift(std::atoi(arg_from(v, 6))); }},
    {"refresh", 0, [](SAT_params& p, const char*) { p.refresh = 1; }},
    {"cutoff", 6, set_cutoff},
};

const ParamKey* find_param_key(const char* v)
{
    for (const auto& k : kParamKeys) {
        bool hit = k.n == 0 ? stricmp(v, k.key) == 0 : strnicmp(v, k.key, k.n) == 0;
        if (hit) return &k;
    }
    return nullptr;
}

// Rounds a file time down to the convention's file interval; an interval
// that is not positive falls back to the file module's step.
long round_file_time(long secs)
{
    long step = FILE_get_late_off();
    if (step <= 0) step = FILE_get_offset();
    if (step <= 0) return secs;
    long q = secs / step;
    if (secs < 0 && q * step != secs) --q;
    return q * step;
}

}  // namespace

int SAT_get_params(SAT_params* out)
{
    if (out != nullptr) *out = g_drv.p;
    return 0;
}

int SAT_set_params(const SAT_params* in)
{
    if (in != nullptr) g_drv.p = *in;
    return 0;
}

int SAT_reset_params()
{
    g_drv.p = default_params();
    return 0;
}

int SAT_get_fill() { return g_drv.p.fill; }
int SAT_get_bar() { return g_drv.p.bar; }

int SAT_in_file()
{
    FILE_set_name("sat_vis");
    FLAG_set(kFlagInput, kFormatArea);

    ParsedList input("input");
    for (int i = 0; i < input.size(); ++i) {
        for (const auto& w : kInputWords) {
            if (stricmp(input[i], w.word) != 0) continue;
            if (w.conv != nullptr) FILE_set_name(w.conv);
            FLAG_set(kFlagInput, w.format);
            break;
        }
    }
    ParsedList in_file("in_file");
    for (int i = 0; i < in_file.size(); ++i) decode_in_file(in_file[i]);
    return 0;
}

int SAT_out_file()
{
    ParsedList out("out_file");
    int result = 0;
    std::string conv;
    for (int i = 0; i < out.size(); ++i) {
        const char* v = out[i];
        if (stricmp(v, "none") == 0 || strnicmp(v, "gif", 3) == 0) continue;
        std::size_t len = std::strlen(v);
        if (strnicmp(v, "imgz", 4) == 0) {
            result = 2;
            conv = len >= 5 ? v + 5 : "";
        } else if (strnicmp(v, "img", 3) == 0) {
            result = 1;
            conv = len >= 4 ? v + 4 : "";
        } else {
            result = 1;
            conv = v;
        }
        if (conv.empty()) conv = "sat_img";
    }
    if (result != 0) FILE_set_name(conv.c_str());
    return result;
}

int SAT_set_date(Date* datim)
{
    if (datim != nullptr)
        g_drv.base_date = *datim;
    else
        FILE_get_date(&g_drv.base_date);
    return 0;
}

int SAT_plot_param()
{
    ParsedList pp("plot_param");
    for (int i = 0; i < pp.size(); ++i) {
        const ParamKey* k = find_param_key(pp[i]);
        if (k != nullptr) k->apply(g_drv.p, pp[i]);
    }
    return 0;
}

void SAT_callback(int type, char* str, float x, float y)
{
    (void)type;
    PLT_print_values(str, x, y);
    PLT_plot_zoom(str, x, y);
    PLT_plot_resize(str, x, y);
}

int SAT_plot(Domain* domain)
{
    Domain requested;
    if (domain != nullptr)
        requested = *domain;
    else
        DOM_init(&requested);
    g_drv.tmp_domain = requested;

    bool opened = false;
    if (!gchk_graphics()) {
        SAT_plot_param();
        // Without any domain the image keeps its own shape, laid out later.
        float aspect = is_missing(requested.proj) && is_missing(requested.nx)
                           ? 1.5f
                           : DOM_aspect(&requested);
        PLT_open(aspect);
        PLT_set_callback(SAT_callback);
        PLT_set_zoom_func(SAT_plot);
        PLT_set_resize_func(SAT_plot);
        if (g_drv.p.refresh != 0) PLT_set_refresh_func(60, SAT_plot_nextfile);
        opened = true;
    } else {
        PLT_reset(is_missing(requested.proj) ? 1.5f : DOM_aspect(&requested));
    }

    IMG_report& image = driver_image();
    FILE_first(&g_drv.base_date);
    int frame = 0;
    while (FILE_get_next(g_drv.filename) != 0) {
        FILE_get_date(&g_drv.file_date);
        bool sequence = FILE_get_num_file() != 0;
        if (SAT_read_file(g_drv.filename, &image) != 1) {
            if (!sequence) PLT_exit(10);
            continue;
        }
        g_drv.fsecs = round_file_time(DATE_num_sec(&g_drv.file_date));
        if (sequence) gselect_frame(gcreate_frame(frame));
        SAT_plot_frame();
        if (sequence) gdisplay_frame(frame);
        PLT_dump(frame);
        ++frame;
    }
    if (FILE_get_num_file() != 0) {
        // A re-plot reuses the frames of the previous run; frames past the
        // files that read this time would loop stale pictures.
        while (gget_num_images() > frame) gdelete_frame(-1);
        gset_looping(1);
    }
    if (opened) PLT_close();
    return 0;
}

int SAT_plot_frame()
{
    IMG_report& image = driver_image();
    Domain& dom = g_drv.tmp_domain;
    SAT_color_setup();

    if (dom.proj >= 1 && dom.proj <= 9) {
        SAT_domain_image(&dom);
        SAT_remap_image(&image, &dom);
    }
    if (dom.proj == kProjZoom) SAT_zoom_image(&image, dom.clat, dom.clon, dom.dx);
    if (g_drv.p.zoom != 1.0f) SAT_zoom_image(&image, kMissingF, kMissingF, g_drv.p.zoom);

    // Optional copy of the remapped image in the package's own format,
    // named by the output convention and the file's date.
    FILE_save_name_conv();
    int t = SAT_out_file();
    if (t != 0) {
        char out[FILE_NAME_LEN] = {};
        FILE_set_date(&g_drv.file_date, out);
        int answer = FILE_overwrite(out, 1);
        if (answer == 0 || answer == 1) {
            MESS_print(M_print, "Writing image file: %s\n", out);
            IMG_write(out, &image, t == 2 ? 1 : 0);
        }
    }
    FILE_restore_name_conv();

    SAT_image_setup(&image, &g_drv.plot_domain);
    SAT_color_image(&image);
    // The layers under the image need the map window of this frame's plot
    // domain as much as those over it.
    MAP_setup(&g_drv.plot_domain);
    MAP_draw(1);
    if (FLAG_getplot(kDrawData) != 0) {
        gsel_norm_tran(2);
        if (g_drv.p.over != 0)
            goverlay_image(&image, "black", 0, 0);
        else
            gload_image(&image, 0, 0);
    }
    if (g_drv.p.bar != 0) SAT_color_bar(g_drv.p.bar - 1);
    IMG_free(&image);
    MAP_setup(&g_drv.plot_domain);
    MAP_draw(6);
    PLT_labels();
    return 0;
}

int SAT_plot_nextfile()
{
    char name[FILE_NAME_LEN] = {};
    long t = FILE_set_current(nullptr, name);
    if (t == g_drv.fsecs) return 0;
    IMG_report& image = driver_image();
    if (SAT_read_file(name, &image) != 1) return 0;
    SAT_set_date(nullptr);
    g_drv.file_date = g_drv.base_date;
    g_drv.fsecs = t;

    int n = gget_num_images();
    if (n >= 1) {
        for (int i = 0; i + 1 < n; ++i) gcopy_frame(i, i + 1);
        gselect_frame(gcreate_frame(n - 1));
    } else {
        gclear_frame(-3);
    }
    SAT_plot_frame();
    if (n >= 1) gdisplay_frame(n - 1);
    return 0;
}

// ===== Remapping and zoom =====
// Remapping walks the output domain row by row. Exact navigation (map
// inverse, then satellite or image-grid forward) runs only at the ends of
// remap_inc-pixel segments; the source line and element in between are
// interpolated linearly. Positions of a row are computed first, then the
// pixels are sampled, so the projection module's active domain is switched
// a few times per row rather than per pixel.

namespace {

constexpr M_type kDebugFinest = 0x80000000u;  // most detailed debug sub-level
constexpr int kProjSatellite = 9;
constexpr int kSourceArea = 51;
constexpr int kSourceUnisys = 55;
constexpr int kSourceRemapped = 50;
// Largest output raster accepted (pixels); far above any screen.
constexpr std::size_t kMaxOutputPixels = std::size_t{1} << 28;

// Reads the 8-bit pixels of a record with edge replication for the lower
// and right neighbours of the last row and column. A whole row of source
// positions is sampled at once: the averaging and class settings are fixed
// per call, so each mode runs its own tight loop instead of testing them per
// pixel.
struct Sampler {
    const unsigned char* data = nullptr;
    int width = 0;
    int height = 0;
    std::size_t stride = 0;
    bool average = true;
    int numcut = 0;
    int cutbase = 0;
    const int* cutoff = nullptr;

    // dst[k] = value at fractional line r[k], element c[k] (0 outside the
    // image, NaN included), for k < n.
    void row(const float* r, const float* c, unsigned char* dst, std::size_t n) const
    {
        if (numcut > 0) {
            for (std::size_t k = 0; k < n; ++k) dst[k] = static_cast<unsigned char>(at_classes(r[k], c[k]));
        } else if (!average) {
            nearest_row(r, c, dst, n);
        } else {
            for (std::size_t k0 = 0; k0 < n; k0 += kBlock)
                bilinear_block(r + k0, c + k0, dst + k0, std::min(kBlock, n - k0));
        }
    }

private:
    static constexpr std::size_t kBlock = 256;

    // Written so that NaN positions are outside too.
    bool inside(float r, float c) const
    {
        return r >= 0.0f && c >= 0.0f && r <= static_cast<float>(height - 1) &&
               c <= static_cast<float>(width - 1);
    }

    // Fractions above 0.5 step to the next row or column, which the edge
    // replicates onto the last one itself.
    void nearest_row(const float* r, const float* c, unsigned char* dst, std::size_t n) const
    {
        for (std::size_t k = 0; k < n; ++k) {
            const float rk = r[k], ck = c[k];
            if (!inside(rk, ck)) {
                dst[k] = 0;
                continue;
            }
            const int i = static_cast<int>(rk);
            const int j = static_cast<int>(ck);
            const int di = (rk - static_cast<float>(i) > 0.5f) & (i + 1 < height);
            const int dj = (ck - static_cast<float>(j) > 0.5f) & (j + 1 < width);
            dst[k] = data[static_cast<std::size_t>(i + di) * stride + static_cast<std::size_t>(j + dj)];
        }
    }

    // Bilinear averaging in two passes over a block: gather the four
    // neighbours and the fractions, then weigh them in a loop without
    // branches or loads that the compiler vectorises. The arithmetic is the
    // same expression, in the same order, as for a single pixel.
    void bilinear_block(const float* r, const float* c, unsigned char* dst, std::size_t n) const
    {
        alignas(16) int p00[kBlock], p01[kBlock], p10[kBlock], p11[kBlock];
        alignas(16) float fy[kBlock], fx[kBlock];
        alignas(16) int ok[kBlock];
        for (std::size_t k = 0; k < n; ++k) {
            const bool in = inside(r[k], c[k]);
            // Outside positions read pixel (0, 0) and are masked below.
            const float rk = in ? r[k] : 0.0f, ck = in ? c[k] : 0.0f;
            const int i = static_cast<int>(rk);
            const int j = static_cast<int>(ck);
            const unsigned char* row0 = data + static_cast<std::size_t>(i) * stride;
            const unsigned char* row1 = i + 1 < height ? row0 + stride : row0;
            const std::size_t j0 = static_cast<std::size_t>(j);
            const std::size_t j1 = j + 1 < width ? j0 + 1 : j0;
            p00[k] = row0[j0];
            p01[k] = row0[j1];
            p10[k] = row1[j0];
            p11[k] = row1[j1];
            fy[k] = rk - static_cast<float>(i);
            fx[k] = ck - static_cast<float>(j);
            ok[k] = in ? -1 : 0;
        }
        // The tail of a short block is padded with masked zeros: a loop over
        // the whole block has a fixed trip count, which the compiler
        // vectorises even at its cheapest cost model.
        for (std::size_t k = n; k < kBlock; ++k) {
            p00[k] = p01[k] = p10[k] = p11[k] = 0;
            fy[k] = fx[k] = 0.0f;
            ok[k] = 0;
        }
        alignas(16) int out[kBlock];
        for (std::size_t k = 0; k < kBlock; ++k) {
            const float v = (1.0f - fy[k]) * (1.0f - fx[k]) * static_cast<float>(p00[k]) +
                            (1.0f - fy[k]) * fx[k] * static_cast<float>(p01[k]) +
                            fy[k] * (1.0f - fx[k]) * static_cast<float>(p10[k]) +
                            fy[k] * fx[k] * static_cast<float>(p11[k]);
            const bool same = p00[k] == p01[k] && p00[k] == p10[k] && p00[k] == p11[k];
            // Four equal neighbours give their value exactly, whatever the
            // rounding of the weights.
            const int o = same ? p00[k] : static_cast<int>(v);
            out[k] = std::clamp(o, 0, 255) & ok[k];
        }
        for (std::size_t k = 0; k < n; ++k) dst[k] = static_cast<unsigned char>(out[k]);
    }

    // One pixel with class cut-offs.
    int at_classes(float r, float c) const
    {
        if (!inside(r, c)) return 0;
        int i = static_cast<int>(r);
        int j = static_cast<int>(c);
        float fy = r - static_cast<float>(i);
        float fx = c - static_cast<float>(j);
        const unsigned char* row0 = data + static_cast<std::size_t>(i) * stride;
        const unsigned char* row1 = i + 1 < height ? row0 + stride : row0;
        int j1 = j + 1 < width ? j + 1 : j;
        int p00 = row0[j], p01 = row0[j1], p10 = row1[j], p11 = row1[j1];
        if (p00 == p01 && p00 == p10 && p00 == p11) return p00;

        int subst = -1;
        bool mixed = false;
        classify(p00, p01, p10, p11, subst, mixed);
        if (!average || mixed) {
            fx = fx > 0.5f ? 1.0f : 0.0f;
            fy = fy > 0.5f ? 1.0f : 0.0f;
        }
        float v = (1.0f - fy) * (1.0f - fx) * static_cast<float>(p00) +
                  (1.0f - fy) * fx * static_cast<float>(p01) +
                  fy * (1.0f - fx) * static_cast<float>(p10) + fy * fx * static_cast<float>(p11);
        int out = static_cast<int>(v);
        if (out == subst) out = cutbase;
        return std::clamp(out, 0, 255);
    }

    // Class cut-offs: neighbours that all share one class (the base value
    // joining any class) are averaged with the base read as the class's
    // lower bound; a neighbourhood split across classes is not averaged.
    void classify(int& p00, int& p01, int& p10, int& p11, int& subst, bool& mixed) const
    {
        for (int k = 0; k <= numcut; ++k) {
            int lo = cutoff[k];
            int hi = cutoff[k + 1];
            auto in = [&](int q) { return q == cutbase || (q >= lo && q < hi); };
            int count = in(p00) + in(p01) + in(p10) + in(p11);
            if (count == 4) {
                for (int* q : {&p00, &p01, &p10, &p11})
                    if (*q == cutbase) *q = lo;
                subst = lo;
                mixed = false;
                return;
            }
            if (count > 0) mixed = true;
        }
    }
};

Sampler make_sampler(const IMG_report& image, bool use_classes)
{
    Sampler s;
    s.data = image.data;
    s.width = image.width;
    s.height = image.height;
    s.stride = static_cast<std::size_t>(image.bytes_line > 0 ? image.bytes_line : image.width);
    s.average = g_drv.p.pix_ave != 0;
    if (use_classes) {
        s.numcut = std::clamp(g_drv.p.numcut, 0, 255);
        s.cutbase = g_drv.p.cutbase;
        s.cutoff = g_drv.p.cutoff;
    }
    return s;
}

struct Size2 {
    int w;
    int h;
};

// Pixels of the output: the viewport when a device is open, else the
// "geometry" resource, else 640 x 427.
Size2 target_size()
{
    if (gchk_graphics()) {
        Grectangle r{0, 0, 0, 0};
        gsel_norm_tran(2);
        gget_gviewport(&r);
        if (r.width > 0 && r.height > 0) return {r.width, r.height};
    }
    const char* geo = RES_get("geometry");
    int w = 0;
    int h = 0;
    if (geo != nullptr && std::sscanf(geo, "%dx%d", &w, &h) == 2 && w > 0 && h > 0) return {w, h};
    return {640, 427};
}

bool image_usable(const IMG_report* image, const char* func)
{
    if (image == nullptr || image->data == nullptr || image->width <= 0 || image->height <= 0 ||
        image->bytes_line < image->width) {
        MESS_print(M_warn, "%s: no 8-bit image to resample\n", func);
        return false;
    }
    return true;
}

unsigned char* alloc_pixels(int w, int h, const char* func)
{
    if (w <= 0 || h <= 0 ||
        static_cast<std::size_t>(w) > kMaxOutputPixels / static_cast<std::size_t>(h)) {
        MESS_print(M_warn, "%s: output size %dx%d out of range\n", func, w, h);
        return nullptr;
    }
    auto* p = static_cast<unsigned char*>(
        std::calloc(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), 1));
    if (p == nullptr) MESS_print(M_warn, "%s: out of memory for %dx%d image\n", func, w, h);
    return p;
}

// Where output pixels of the new domain come from in the image.
class RemapLocator {
public:
    RemapLocator(const IMG_report& image, const Domain& out, int inc)
        : img_dom_(image.domain), out_dom_(out), inc_(inc), tran_sat_(SAT_get_tran_sat() != 0),
          nx_(out.nx)
    {
        MAP_domain(&out_dom_);
        MAP_get_limits(&lim_);
        dx_ = out.dx;
        dy_ = out.dy;
        // With projections only, an image without a usable grid has no source.
        img_grid_ok_ = !(img_dom_.dx == 0.0f) && !is_missing(img_dom_.clat);
        build_segments();
        const std::size_t n = static_cast<std::size_t>(nx_);
        lat_.resize(n + 1);
        lon_.resize(n + 1);
        pr_.resize(n + 1);
        pc_.resize(n + 1);
        xs_.resize(n + 1);
        cols_.reserve(n);
    }

    // Source line and element of every column of output row j (-1 when the
    // pixel has no source). Leaves the new domain active.
    void row(int j, float* r, float* c)
    {
        const float y = lim_.y_max - static_cast<float>(j) * dy_;
        if (inc_ <= 0) {
            exact_columns_all(y, r, c, true);
            return;
        }
        if (inc_ == 1) {  // every pixel exact: no segments to interpolate
            exact_columns_all(y, r, c, !tran_sat_);
            return;
        }
        const std::size_t nb = bx_.size();
        untran(bx_.data(), nb, y);
        locate(nb, !tran_sat_);
        // Boundary positions are kept apart: the fall-back below reuses the
        // scratch arrays.
        br_.assign(pr_.begin(), pr_.begin() + static_cast<std::ptrdiff_t>(nb));
        bc_.assign(pc_.begin(), pc_.begin() + static_cast<std::ptrdiff_t>(nb));
        bvalid_.resize(nb);
        for (std::size_t k = 0; k < nb; ++k)
            bvalid_[k] = !is_missing(lat_[k]) && br_[k] >= 0.0f && bc_[k] >= 0.0f;

        cols_.clear();
        for (std::size_t s = 0; s + 1 < nb; ++s) {
            const int first = seg_col_[s];
            const int count = seg_count_[s];
            if (!bvalid_[s] || !bvalid_[s + 1]) {
                for (int k = 0; k < count; ++k) cols_.push_back(first + k);
                continue;
            }
            const float rs = br_[s], cs = bc_[s];
            const float drs = br_[s + 1] - rs, dcs = bc_[s + 1] - cs;
            const float len = seg_len_[s];
            const float inv = len > 0.0f ? 1.0f / len : 0.0f;
            for (int k = 0; k < count; ++k) {
                const float t = static_cast<float>(k) * inv;
                r[first + k] = rs + t * drs;
                c[first + k] = cs + t * dcs;
            }
        }
        if (!cols_.empty()) exact_columns(cols_, y, r, c);
    }

private:
    // Segment ends every inc_ columns; the last segment stops at x_max with
    // a fractional length.
    void build_segments()
    {
        if (inc_ <= 1 || nx_ <= 0) return;
        int b = 0;
        bx_.push_back(lim_.x_min);
        for (;;) {
            const float xb = lim_.x_min + static_cast<float>(b) * dx_;
            seg_col_.push_back(b);
            if (b + inc_ <= nx_ - 1) {
                bx_.push_back(xb + static_cast<float>(inc_) * dx_);
                seg_len_.push_back(static_cast<float>(inc_));
                seg_count_.push_back(inc_);
                b += inc_;
                continue;
            }
            bx_.push_back(lim_.x_max);
            seg_len_.push_back(dx_ != 0.0f ? (lim_.x_max - xb) / dx_ : 0.0f);
            seg_count_.push_back(nx_ - b);
            break;
        }
    }

    // Map inverse in the new domain (which must be active) plus the
    // longitude window; fills lat_/lon_, -9999 latitude for no source.
    void untran(const float* xs, std::size_t n, float y)
    {
        const SAT_params& p = g_drv.p;
        const float clon = out_dom_.clon;
        MAP_untran_row(xs, static_cast<int>(n), y, lat_.data(), lon_.data());
        if (is_missing(p.min_lon) && is_missing(p.max_lon)) return;
        for (std::size_t k = 0; k < n; ++k) {
            const float lon = lon_[k];
            if (is_missing(lat_[k])) continue;
            if ((!is_missing(p.min_lon) && lon < p.min_lon && clon - lon < 180.0f) ||
                (!is_missing(p.max_lon) && lon > p.max_lon && lon - clon < 180.0f))
                lat_[k] = kMissingF;
        }
    }

    // Image line and element of the first n points of lat_/lon_ into
    // pr_/pc_ (-1 when none). `projected` uses the image domain's map
    // projection and grid instead of the satellite navigation.
    void locate(std::size_t n, bool projected)
    {
        if (projected) {
            MAP_domain(&img_dom_);
            // Grid column and row of the image domain, -9999 for no source.
            MAP_tran_grid_row(lat_.data(), lon_.data(), static_cast<int>(n), pc_.data(), pr_.data());
            for (std::size_t k = 0; k < n; ++k) {
                if (is_missing(pc_[k])) {
                    pr_[k] = -1.0f;
                    pc_[k] = -1.0f;
                }
            }
            MAP_domain(&out_dom_);
            return;
        }
        // Satellite navigation; a missing latitude has no source there either.
        AREA_image_row(lat_.data(), lon_.data(), static_cast<int>(n), pr_.data(), pc_.data());
        for (std::size_t k = 0; k < n; ++k) {
            if (is_missing(pr_[k]) || is_missing(pc_[k])) {
                pr_[k] = -1.0f;
                pc_[k] = -1.0f;
            }
        }
    }

    void exact_columns(const std::vector<int>& cols, float y, float* r, float* c)
    {
        const std::size_t n = cols.size();
        for (std::size_t k = 0; k < n; ++k)
            xs_[k] = lim_.x_min + static_cast<float>(cols[k]) * dx_;
        untran(xs_.data(), n, y);
        locate(n, !tran_sat_);
        for (std::size_t k = 0; k < n; ++k) {
            r[cols[k]] = pr_[k];
            c[cols[k]] = pc_[k];
        }
    }

    // Every pixel of the row exact; `projected` as for locate(). With
    // remap_inc 0 (projections only) an image without a usable grid has no
    // source.
    void exact_columns_all(float y, float* r, float* c, bool projected)
    {
        const std::size_t n = static_cast<std::size_t>(nx_);
        if (projected && inc_ <= 0 && !img_grid_ok_) {
            std::fill(r, r + n, -1.0f);
            std::fill(c, c + n, -1.0f);
            return;
        }
        for (std::size_t k = 0; k < n; ++k) xs_[k] = lim_.x_min + static_cast<float>(k) * dx_;
        untran(xs_.data(), n, y);
        locate(n, projected);
        std::copy(pr_.begin(), pr_.begin() + static_cast<std::ptrdiff_t>(n), r);
        std::copy(pc_.begin(), pc_.begin() + static_cast<std::ptrdiff_t>(n), c);
    }

    Domain img_dom_;
    Domain out_dom_;
    int inc_;
    bool tran_sat_;
    int nx_;
    MAP_limits lim_{};
    float dx_ = 0.0f;
    float dy_ = 0.0f;
    bool img_grid_ok_ = false;
    std::vector<float> bx_;        // x of the segment ends
    std::vector<int> seg_col_;     // first column of each segment
    std::vector<int> seg_count_;   // columns in each segment
    std::vector<float> seg_len_;   // interpolation length of each segment
    std::vector<float> lat_, lon_, pr_, pc_, xs_, br_, bc_;
    std::vector<char> bvalid_;
    std::vector<int> cols_;
};

}  // namespace

int SAT_sample_pixel(const IMG_report* image, float r, float c)
{
    if (image == nullptr || image->data == nullptr || image->width <= 0 || image->height <= 0)
        return 0;
    unsigned char v = 0;
    make_sampler(*image, true).row(&r, &c, &v, 1);
    return v;
}

int SAT_remap_source(const IMG_report* image, Domain* domain, int row, float* lines, float* elems)
{
    if (image == nullptr || domain == nullptr || lines == nullptr || elems == nullptr ||
        is_missing(domain->proj) || domain->nx <= 0 || row < 0 || row >= domain->ny)
        return -1;
    try {
        Domain out = *domain;
        if (is_missing(out.plon)) out.plon = out.clon;
        RemapLocator loc(*image, out, g_drv.p.remap_inc);
        loc.row(row, lines, elems);
    } catch (const std::bad_alloc&) {
        MESS_print(M_warn, "SAT_remap_source: out of memory\n");
        return -1;
    }
    return 0;
}

int SAT_domain_image(Domain* domain)
{
    if (domain == nullptr || is_missing(domain->proj)) return 0;
    Size2 size = target_size();
    MAP_domain(domain);
    MAP_limits lim{};
    MAP_get_limits(&lim);
    if (size.w > 1) domain->dx = (lim.x_max - lim.x_min) / static_cast<float>(size.w - 1);
    if (size.h > 1) domain->dy = (lim.y_max - lim.y_min) / static_cast<float>(size.h - 1);
    domain->nx = size.w;
    domain->ny = size.h;
    return 0;
}

int SAT_remap_image(IMG_report* image, Domain* domain)
{
    if (domain == nullptr || is_missing(domain->proj)) return 0;
    MESS_print(M_mess, "Remapping image...\n");
    MESS_print(M_out2, "New domain: ");
    DOM_print(M_out1, domain);
    if (!image_usable(image, "SAT_remap_image")) return 0;

    Domain out = *domain;
    if (is_missing(out.plon)) out.plon = out.clon;
    const int nx = out.nx;
    const int ny = out.ny;
    unsigned char* pixels = alloc_pixels(nx, ny, "SAT_remap_image");
    if (pixels == nullptr) return 0;

    try {
        const Sampler sampler = make_sampler(*image, true);
        RemapLocator loc(*image, out, g_drv.p.remap_inc);
        std::vector<float> r(static_cast<std::size_t>(nx)), c(static_cast<std::size_t>(nx));
        for (int j = 0; j < ny; ++j) {
            loc.row(j, r.data(), c.data());
            sampler.row(r.data(), c.data(), pixels + static_cast<std::size_t>(j) * static_cast<std::size_t>(nx),
                        static_cast<std::size_t>(nx));
        }
    } catch (const std::bad_alloc&) {
        std::free(pixels);
        MESS_print(M_warn, "SAT_remap_image: out of memory\n");
        return 0;
    }

    std::free(image->data);
    image->data = pixels;
    image->source = kSourceRemapped;
    image->width = nx;
    image->height = ny;
    image->bytes_line = image->depth * nx / 8;
    if (image->bytes_line < nx) image->bytes_line = nx;  // the buffer holds bytes
    image->domain = out;
    return 1;
}

int SAT_zoom_image(IMG_report* image, float cx, float cy, float zoom)
{
    MESS_print(M_out2, "Zooming image: %2.1fx...\n", zoom);
    if (!(zoom > 0.0f) || !std::isfinite(zoom)) {
        MESS_print(M_warn, "SAT_zoom_image: invalid zoom factor %g\n", zoom);
        return 0;
    }
    if (!image_usable(image, "SAT_zoom_image")) return 0;

    const float step = 1.0f / zoom;
    Size2 view = target_size();
    const double zw = std::floor(static_cast<double>(image->width) * zoom);
    const double zh = std::floor(static_cast<double>(image->height) * zoom);
    const int new_w = zw < view.w ? static_cast<int>(zw) : view.w;
    const int new_h = zh < view.h ? static_cast<int>(zh) : view.h;
    MESS_print(M_out4, "Old image size: %dx%d\n", image->width, image->height);
    MESS_print(M_out4, "New image size: %dx%d\n", new_w, new_h);

    // Everything that can fail comes before the navigation is re-targeted:
    // a zoom that gives up must leave the record and its navigation as they
    // were.
    unsigned char* pixels = alloc_pixels(new_w, new_h, "SAT_zoom_image");
    if (pixels == nullptr) return 0;
    const auto w = static_cast<std::size_t>(new_w);
    std::vector<float> cols, rows;
    try {
        cols.resize(w);
        rows.resize(w);
    } catch (const std::bad_alloc&) {
        std::free(pixels);
        MESS_print(M_warn, "SAT_zoom_image: out of memory\n");
        return 0;
    }

    Domain& dom = image->domain;
    const bool navigated =
        image->source == kSourceArea && dom.proj == kProjSatellite && SAT_get_tran_sat() != 0;
    const float half_w = static_cast<float>(new_w) / 2.0f / zoom;
    const float half_h = static_cast<float>(new_h) / 2.0f / zoom;
    float x0 = 0.0f, y0 = 0.0f;
    float clat = dom.clat, clon = dom.clon;
    const bool centred = !is_missing(cx);

    if (!navigated) {
        if (!is_missing(dom.proj)) {
            MAP_domain(&dom);
            if (centred) {
                float x = 0.0f, y = 0.0f, gx = 0.0f, gy = 0.0f;
                MAP_tran(cx, cy, &x, &y);
                MAP_grid_untran(x, y, &gx, &gy);
                x0 = gx - half_w;
                y0 = gy - half_h;
                clat = cx;
                clon = cy;
            } else {
                float x = 0.0f, y = 0.0f;
                MAP_grid_tran(half_w, half_h, &x, &y);
                MAP_untran(x, y, &clat, &clon);
            }
        } else if (centred) {
            clat = cx;
            clon = cy;
        }
    } else {
        // The navigation's current image-to-satellite mapping, read back so
        // that a second zoom starts from the first one's pixels.
        float l0 = 0.0f, e0 = 0.0f, l1 = 0.0f, e1 = 0.0f;
        AREA_line_elem(1, 0.0f, 0.0f, &l0, &e0);
        AREA_line_elem(1, 1.0f, 1.0f, &l1, &e1);
        const float lcor = l0 + 1.0f, ecor = e0 + 1.0f, lres = l1 - l0, eres = e1 - e0;
        if (centred) {
            float lat = cx, lon = cy, lin = kMissingF, ele = kMissingF, il = 0.0f, ie = 0.0f;
            AREA_tran(2, &lat, &lon, &lin, &ele);
            AREA_line_elem(2, lin, ele, &il, &ie);
            x0 = ie - half_w;
            y0 = il - half_h;
            clat = cx;
            clon = cy;
        } else {
            float lin = 0.0f, ele = 0.0f;
            AREA_line_elem(1, half_h, half_w, &lin, &ele);
            AREA_tran(1, &clat, &clon, &lin, &ele);
        }
        AREA_set_res(lcor + lres * y0, ecor + eres * x0, lres / zoom, eres / zoom);
        image->yoff = lcor + lres * y0;
        image->xoff = ecor + eres * x0;
    }

    // Every row samples the same columns; a column outside the image gets
    // position -1 (no source). Rows and columns between the last one and
    // the edge read the last one (the sampler replicates it).
    const Sampler s = make_sampler(*image, false);
    for (std::size_t k = 0; k < w; ++k) {
        const float x = x0 + static_cast<float>(k) * step;
        cols[k] = x >= 0.0f && x < static_cast<float>(image->width)
                      ? std::min(x, static_cast<float>(image->width - 1))
                      : -1.0f;
    }
    for (int j = 0; j < new_h; ++j) {
        const float y = y0 + static_cast<float>(j) * step;
        if (!(y >= 0.0f) || y >= static_cast<float>(image->height)) continue;
        std::fill(rows.begin(), rows.end(), std::min(y, static_cast<float>(image->height - 1)));
        s.row(rows.data(), cols.data(), pixels + static_cast<std::size_t>(j) * w, w);
    }

    dom.nx = new_w;
    dom.ny = new_h;
    if (!is_missing(dom.dx)) dom.dx /= zoom;
    if (!is_missing(dom.dy)) dom.dy /= zoom;
    dom.clat = clat;
    dom.clon = clon;
    MESS_print(M_out3, "Zoomed image domain: ");
    DOM_print(M_out3, &dom);

    std::free(image->data);
    image->data = pixels;
    image->width = new_w;
    image->height = new_h;
    image->bytes_line = image->depth * new_w / 8;
    if (image->bytes_line < new_w) image->bytes_line = new_w;
    return 0;
}

namespace {

// How many projection parameters (and whether the ellipse switch) a plot
// domain inherits from the image domain; count < 0: nothing but the code.
struct ParamCopy {
    int count;
    bool ellipse;
};

ParamCopy plot_param_copy(const IMG_report& image)
{
    const int proj = image.domain.proj;
    const bool navigated_kind =
        image.source == kSourceArea || image.source == kSourceUnisys || proj == kProjSatellite;
    if (!navigated_kind) return is_missing(proj) ? ParamCopy{-1, false} : ParamCopy{3, true};
    switch (proj) {
    case 1:
    case 2: return {1, false};
    case 3:
    case 4: return {2, false};
    case 7: return {0, false};
    case kProjSatellite:
        return image.source == kSourceArea && SAT_get_tran_sat() != 0 ? ParamCopy{3, true}
                                                                      : ParamCopy{2, true};
    default: return {-1, false};
    }
}

}  // namespace

int SAT_image_setup(IMG_report* image, Domain* domain)
{
    if (image == nullptr || domain == nullptr) return 0;
    Size2 view = target_size();
    DOM_init(domain);
    const Domain& src = image->domain;
    domain->proj = src.proj;

    ParamCopy copy = plot_param_copy(*image);
    if (copy.count >= 0) {
        MAP_domain(&src);
        domain->dx = src.dx;
        domain->dy = src.dy;
        float x = 0.0f, y = 0.0f, lat = kMissingF, lon = kMissingF;
        // The middle of a w-pixel row of grid points 0 .. w - 1 is (w - 1) / 2:
        // taking w / 2 would move the domain half a pixel on every re-plot
        // (each resize or redraw starts from this plot domain).
        MAP_grid_tran(static_cast<float>(view.w - 1) / 2.0f, static_cast<float>(view.h - 1) / 2.0f, &x,
                      &y);
        MAP_untran(x, y, &lat, &lon);
        domain->clat = lat;
        domain->clon = lon;
        domain->plat = src.plat;
        domain->plon = src.plon;
        for (int k = 0; k < copy.count && k < 5; ++k) domain->param[k] = src.param[k];
        if (copy.ellipse) domain->ellipse = src.ellipse;
        domain->nx = view.w;
        domain->ny = view.h;
        MESS_print(M_out2, "Plot domain: ");
        DOM_print(M_out1, domain);
    }

    const int off = g_drv.p.pix_off;
    if (off != 0 && image->data != nullptr && image->height > 0 && image->bytes_line > 0) {
        const std::size_t n =
            static_cast<std::size_t>(image->height) * static_cast<std::size_t>(image->bytes_line);
        for (std::size_t k = 0; k < n; ++k)
            image->data[k] = static_cast<unsigned char>(std::clamp(image->data[k] + off, 0, 255));
    }
    return 0;
}

// ---- Image domains at read time ----

namespace {

// A navigation block as signed 32-bit words, word 0 being the type text.
struct NavWords {
    std::array<std::int32_t, 128> w{};
    explicit NavWords(const void* block)
    {
        if (block != nullptr) std::memcpy(w.data(), block, sizeof(std::int32_t) * w.size());
    }
    double operator[](std::size_t i) const { return static_cast<double>(w[i]); }
};

double pow10_exp(double e) { return std::pow(10.0, e == 0.0 ? 4.0 : e); }

bool grid_domain_override(IMG_report* image)
{
    const char* g = RES_get("grid_domain");
    if (g == nullptr) return false;
    SAT_set_tran_sat(0);
    DOM_decode(g, &image->domain);
    MESS_print(M_out2, "Image domain: ");
    DOM_print(M_out2, &image->domain);
    return true;
}

// Map coordinates of the image centre: x, y as the navigation-block formulas
// give them (y counted downward), turned into clat, clon.
void centre_from_map(Domain& d, double x, double y)
{
    float lat = kMissingF, lon = kMissingF;
    MAP_untran(static_cast<float>(x), static_cast<float>(-y), &lat, &lon);
    d.clat = lat;
    d.clon = lon;
}

}  // namespace

int AREA_calc_domain(IMG_report* image, MC_area* area)
{
    if (image == nullptr || area == nullptr || area->dir == nullptr) return 0;
    if (grid_domain_override(image)) return 0;

    Domain& d = image->domain;
    DOM_init(&d);
    const std::string type(area->type, strnlen(area->type, sizeof(area->type)));
    auto is = [&](const char* t, std::size_t n) { return type.compare(0, n, t, n) == 0; };

    const MC_area_dir& dir = *area->dir;
    const int width = static_cast<int>(dir.esiz);
    const int height = static_cast<int>(dir.lsiz);
    const double eres = dir.eres, lres = dir.lres;
    float Lc = 0.0f, Ec = 0.0f;
    AREA_line_elem(1, static_cast<float>(height / 2), static_cast<float>(width / 2), &Lc, &Ec);

    if (is("GVAR", 4)) return GVAR_calc_domain(image);

    if (is("TANC", 4) && area->navtanc != nullptr) {
        const MC_nav_tanc& t = *area->navtanc;
        SAT_set_tran_sat(0);
        d.proj = 4;
        d.plat = static_cast<float>(t.stdlat / 10000.0);
        d.param[0] = d.param[1] = d.plat;
        d.plon = static_cast<float>(-t.stdlon / 10000.0);
        MAP_domain(&d);
        const double s = t.spacing / 1000000.0;
        const double x = s * (Ec - t.npelem / 10000.0);
        const double y = s * (Lc - t.npline / 10000.0);
        d.dx = static_cast<float>(s * eres);
        d.dy = static_cast<float>(s * lres);
        centre_from_map(d, x, y);
        d.nx = width;
        d.ny = height;
        MESS_print(M_debug, "TANC: %s\n", type.c_str());
        MESS_print(M_debug, "NPLINE: %d\n", t.npline);
        MESS_print(M_debug, "NPELEM: %d\n", t.npelem);
        MESS_print(M_debug, "STDLAT: %d\n", t.stdlat);
        MESS_print(M_debug, "SPACE: %d\n", t.spacing);
        MESS_print(M_debug, "NRMLON: %d\n", t.stdlon);
        return 0;
    }

    if (is("MSAT", 2) && area->navps != nullptr) {
        const MC_nav_ps& m = *area->navps;
        SAT_set_tran_sat(0);
        d.proj = kProjSatellite;
        d.plat = 0.0f;
        d.plon = static_cast<float>(m.equrad / -10000.0);
        d.param[0] = 421.64f;
        d.param[1] = 1.0f;
        d.ellipse = 1;
        d.nx = width;
        d.ny = height;
        MAP_domain(&d);
        const double t = 0.0529848;
        const double lc = lres * height / 2.0 + dir.lcor - 1;
        const double ec = eres * width / 2.0 + dir.ecor - 1;
        const double x = (ec / -2.0 + 1250.5) * t;
        const double y = (m.nrmlon - ((m.spacing + lc / 2.0) - m.stdlat)) * t;
        float lat = kMissingF, lon = kMissingF;
        MAP_untran(static_cast<float>(x), static_cast<float>(y), &lat, &lon);
        d.clat = lat;
        d.clon = lon;
        d.dx = static_cast<float>(eres * t / 2.0);
        d.dy = static_cast<float>(lres * t / 2.0);
        MESS_print(M_out2, "Image domain: ");
        DOM_print(M_out2, &d);
        return 0;
    }

    // Reference point and projection of the remaining kinds.
    float ref_lat = 0.0f, ref_lon = 0.0f;
    int proj = kMissing;
    NavWords w(area->nav);
    if (is("GOES", 4)) {
        proj = kProjSatellite;
    } else if (is("PS", 2) && area->navps != nullptr) {
        SAT_set_tran_sat(0);
        proj = 1;
        ref_lat = static_cast<float>(area->navps->stdlat / 10000.0);
        ref_lon = static_cast<float>(-area->navps->nrmlon / 10000.0);
    } else if (is("MO", 2) && area->nav != nullptr) {
        SAT_set_tran_sat(0);
        proj = 7;
        ref_lon = static_cast<float>(-w[4] / 10000.0);
    } else if (is("RE", 2) && area->nav != nullptr) {
        SAT_set_tran_sat(0);
        proj = 2;
    } else if (is("ME", 2) && area->nav != nullptr) {
        SAT_set_tran_sat(0);
        proj = 3;
        ref_lon = static_cast<float>(w[5] / -10000.0);
    } else if (is("LA", 2) && area->nav != nullptr) {
        SAT_set_tran_sat(0);
        proj = 4;
        ref_lat = static_cast<float>(w[11] / 10000.0);
        ref_lon = static_cast<float>(w[6] / -10000.0);
    } else {
        MESS_print(M_out2, "Image domain: ");
        DOM_print(M_out2, &d);
        return 0;
    }

    MAP_proj(proj);
    if (proj == kProjSatellite) {
        // The sub-point is the reference of a satellite view; with tran_zem
        // it is looked up all the same, as nothing else defines it.
        float lat = kMissingF, lon = kMissingF, lin = 0.0f, ele = 0.0f;
        AREA_tran(3, &lat, &lon, &lin, &ele);
        ref_lat = lat;
        ref_lon = lon;
    }
    d.proj = proj;
    d.plat = ref_lat;
    d.plon = ref_lon;
    MAP_coord(ref_lat, ref_lon);
    d.nx = width;
    d.ny = height;

    double x = 0.0, y = 0.0;
    switch (proj) {
    case 1: {
        const MC_nav_ps& p = *area->navps;
        d.param[0] = ref_lat;
        MAP_domain(&d);
        const double s = p.equrad != 0 ? 63.71 * p.spacing / p.equrad : 0.0;
        x = s * (Ec - p.npelem);
        y = s * (Lc - p.npline);
        d.dx = static_cast<float>(s * eres);
        d.dy = static_cast<float>(s * lres);
        centre_from_map(d, x, y);
        MESS_print(M_debug, "PS: %s\n", type.c_str());
        MESS_print(M_debug, "NPLINE: %d\n", p.npline);
        MESS_print(M_debug, "NPELEM: %d\n", p.npelem);
        MESS_print(M_debug, "STDLAT: %d\n", p.stdlat);
        MESS_print(M_debug, "SPACE: %d\n", p.spacing);
        MESS_print(M_debug, "NRMLON: %d\n", p.nrmlon);
        MESS_print(M_debug, "EQURAD: %d\n", p.equrad);
        MESS_print(M_debug, "ECCENT: %d\n", p.eccent);
        break;
    }
    case 2: {
        MAP_domain(&d);
        const double estep = w[5] / pow10_exp(w[13]);
        const double lstep = w[6] / pow10_exp(w[14]);
        const double y0 = w[2] / pow10_exp(w[11]);
        const double x0 = -w[4] / pow10_exp(w[12]);
        // Longitude grows with the element (x0 is already east-positive) and
        // latitude falls with the line, so the centre is measured from the
        // reference element eastward.
        x = x0 + estep * (Ec - w[3]);
        y = y0 + lstep * (w[1] - Lc);
        d.dx = static_cast<float>(estep * eres);
        d.dy = static_cast<float>(lstep * lres);
        // y is already a latitude (north up), unlike the other kinds whose
        // y counts lines downward.
        centre_from_map(d, x, -y);
        d.plon = d.clon;
        break;
    }
    case 3:
    case 4: {
        if (proj == 4) {
            d.param[0] = static_cast<float>(w[3] / 10000.0);
            d.param[1] = static_cast<float>(w[4] / 10000.0);
        }
        MAP_domain(&d);
        const double s = proj == 3 ? (w[6] != 0.0 ? 63.713 * w[4] / w[6] : 0.0)
                                   : (w[7] != 0.0 ? 63.713 * w[5] / w[7] : 0.0);
        x = s * (Ec - w[2]);
        y = s * (Lc - w[1]);
        d.dx = static_cast<float>(s * eres);
        d.dy = static_cast<float>(s * lres);
        centre_from_map(d, x, y);
        break;
    }
    case 7: {
        const double s = w.w[14] == 0x4B4D5050
                             ? (w[3] != 0.0 ? 0.7071 * w[6] / 1000.0 / (380.344 * w[3]) : 0.0)
                             : 0.62 * w[3] / 1000.0;
        d.dx = static_cast<float>(s * eres);
        d.dy = static_cast<float>(s * lres);
        MAP_domain(&d);
        // Ec and Lc are already in full-resolution satellite units: the
        // spacing per satellite pixel applies, not the image spacing.
        x = s * (Ec - w[2]);
        y = s * (Lc - w[1]);
        centre_from_map(d, x, y);
        d.plon = ref_lon;
        break;
    }
    default: {  // satellite view of a spin-scan image
        MAP_domain(&d);
        float lat = kMissingF, lon = kMissingF, lin = Lc, ele = Ec;
        AREA_tran(1, &lat, &lon, &lin, &ele);
        d.clat = lat;
        d.clon = lon;
        float x1 = 0.0f, y1 = 0.0f, x2 = 0.0f, y2 = 0.0f, x3 = 0.0f, y3 = 0.0f;
        MAP_tran(lat, lon, &x1, &y1);
        float l2 = 0.0f, e2 = 0.0f, l3 = 0.0f, e3 = 0.0f;
        AREA_line_elem(1, static_cast<float>(height / 2), static_cast<float>(width / 2 - 10), &l2, &e2);
        AREA_line_elem(1, static_cast<float>(height / 2 + 10), static_cast<float>(width / 2), &l3, &e3);
        float la2 = kMissingF, lo2 = kMissingF, la3 = kMissingF, lo3 = kMissingF;
        AREA_tran(1, &la2, &lo2, &l2, &e2);
        AREA_tran(1, &la3, &lo3, &l3, &e3);
        MAP_tran(la2, lo2, &x2, &y2);
        MAP_tran(la3, lo3, &x3, &y3);
        d.dx = (x1 - x2) / 10.0f;
        d.dy = (y1 - y3) / 10.0f;
        break;
    }
    }
    MESS_print(M_out2, "Image domain: ");
    DOM_print(M_out2, &d);
    return 0;
}

int GVAR_calc_domain(IMG_report* image)
{
    if (image == nullptr) return 0;
    if (grid_domain_override(image)) return 0;
    Domain& d = image->domain;
    DOM_init(&d);
    d.proj = kProjSatellite;
    MAP_proj(kProjSatellite);
    // The sub-point is taken whatever tran_sat says: nothing else defines
    // the satellite's longitude.
    float slat = kMissingF, slon = kMissingF, sl = 0.0f, se = 0.0f;
    AREA_tran(3, &slat, &slon, &sl, &se);
    d.plat = slat;
    d.plon = slon;
    d.param[0] = 421.643f;
    d.param[1] = 1.0f;
    d.ellipse = 1;
    MAP_coord(d.plat, d.plon);

    float lin = 0.0f, ele = 0.0f, lat = kMissingF, lon = kMissingF;
    const float hl = static_cast<float>(image->height / 2), he = static_cast<float>(image->width / 2);
    AREA_line_elem(1, hl, he, &lin, &ele);
    MESS_print(kDebugFinest, "%f %f %f %f\n", hl, he, lin, ele);
    AREA_tran(1, &lat, &lon, &lin, &ele);
    MESS_print(kDebugFinest, "1: %f %f %f %f\n", lin, ele, lat, lon);
    d.clat = lat;
    d.clon = lon;
    d.nx = image->width;
    d.ny = image->height;
    d.dx = static_cast<float>(scan_delta() * image->xres * d.param[0]);
    d.dy = static_cast<float>(elev_delta() * image->yres * d.param[0]);
    MESS_print(M_out2, "Image domain: ");
    DOM_print(M_out2, &d);
    return 0;
}

// ===== Colour enhancement =====
// Counts become colour indices through bins: bin b covers pixel values from
// its break value up to the next bin's. Entries come from the resource
// "color_fill" (one entry per value, or an enhancement file) or from the
// colour table's fill colours; break values left unset are spread evenly.
// Device values are computed here so that a grey PostScript page gets
// grey levels instead of table indices.

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "colors.h"
#include "dither.h"
#include "files.h"
#include "gks_fill.h"
#include "gks_tool.h"
#include "mess.h"
#include "plt_tool.h"
#include "resrc.h"
#include "tools.h"

namespace {
namespace enh {

constexpr int kMaxBins = 256;
constexpr int kInterp = 1000;         // added to a colour entry of an interpolating bin
constexpr int kMaxFileWords = 256;    // words read from an enhancement file
constexpr std::size_t kMaxWord = 255; // longer words are cut
constexpr std::size_t kMaxName = 9;   // enhancement name length
constexpr int kPsType = 4;            // PostScript workstation type
constexpr long kBreakLimit = 100000;  // bound on break values read from entries

// Truncation toward zero of a count worked out in floating point; values
// far outside any count (and NaN) are bounded instead of overflowing.
int trunc_count(double v) {
    if (!(v == v)) return 0;
    return static_cast<int>(std::clamp(v, -1.0e6, 1.0e6));
}

struct EnhanceState {
    // Per bin; one slot more for the end of the last bin.
    std::array<int, kMaxBins + 1> sat_cut{};         // break values, -9999 unset
    std::array<int, kMaxBins + 1> color_fill_ind{};  // colour (+1000 interpolating)
    std::array<int, kMaxBins + 1> dither_ind{};      // half-tone level
    std::array<int, kMaxBins + 1> color_dith_ind{};  // half-tone second colour
    std::array<int, kMaxBins + 1> color_ind{};       // device value (+1000 interpolating)
    // Per pixel value.
    std::array<unsigned char, 256> sat_ind{};
    std::array<unsigned char, 256> sat_dither{};
    std::array<unsigned char, 256> sat_dith_ind{};
    std::array<int, 256> sat_color_ind{};
    int color_max = 15;   // bins - 1
    int dither = 0;       // 0, 3 or 5; fixed by the first half-tone entry
    std::string enhance;  // name of the enhancement file's table
    bool built = false;   // tables of at least one set-up exist
};
EnhanceState g_enh;

struct FileCloser {
    void operator()(FILE* f) const {
        if (f) FILE_close(f);
    }
};

// Next white-space separated word (cut at kMaxWord characters); false at
// the end of the file.
bool next_word(FILE* f, std::string& word) {
    word.clear();
    int c;
    while ((c = std::fgetc(f)) != EOF && std::isspace(c)) {
    }
    if (c == EOF) return false;
    do {
        if (word.size() < kMaxWord) word.push_back(static_cast<char>(c));
    } while ((c = std::fgetc(f)) != EOF && !std::isspace(c));
    return true;
}

// Releases a list from RES_getvals.
struct ValuesFree {
    int count;
    void operator()(char** list) const { free_parsed_array(count, list); }
};

// Without any colour table (no colour file found along "file_path") the
// default bins would name colours that neither the image's colour map nor
// the workstation has: the picture comes out black and every strip of the
// colour bar is refused by the kernel. A grey ramp of 16 entries takes
// their place, once, with a warning that says why.
void add_grey_ramp() {
    MESS_print(M_warn, "SAT_color_setup: no colour table loaded, using a grey ramp\n");
    for (int i = 0; i < 16; ++i) {
        char name[8];
        std::snprintf(name, sizeof name, "ramp%02d", i);
        const float g = static_cast<float>(i * 17) / 255.0f;
        CLR_add(name, g, g, g);
    }
}

void set_name(const char* name) { g_enh.enhance.assign(name, strnlen(name, kMaxName)); }

// Half-tone level character in the run's dither mode; the first half-tone
// entry picks the mode (digit: 3 by 3, anything else: 5 by 5).
int dither_level(char l) {
    if (g_enh.dither == 0) g_enh.dither = (l >= '0' && l <= '9') ? kDither3 : kDither5;
    if (g_enh.dither == kDither3) return std::clamp(l - '0', 0, 9);
    return std::clamp(l - 'a', 0, 25);
}

// Adds one bin "col" or "col1%lcol2" with the given break value.
void add_bin(int* num, int cut, const std::string& colours) {
    if (*num < 0 || *num >= kMaxBins) return;
    const auto b = static_cast<std::size_t>(*num);
    std::string col1 = colours;
    int level = 0;
    int second = 0;
    auto pct = colours.find('%');
    if (pct != std::string::npos) {
        col1 = colours.substr(0, pct);
        if (pct + 1 < colours.size()) {
            level = dither_level(colours[pct + 1]);
            second = CLR_get_ind(colours.substr(pct + 2).c_str());
        }
    }
    g_enh.sat_cut[b] = cut;
    g_enh.color_fill_ind[b] = CLR_get_ind(col1.c_str());
    g_enh.dither_ind[b] = level;
    g_enh.color_dith_ind[b] = second;
    ++*num;
}

// Colour mode of the PostScript device. The device does not report its
// mode yet, so a PostScript page is taken in its start-up mode, grey.
bool ps_colour_mode() { return false; }

int grey_level(int ind) {
    float r, g, b;
    CLR_get_rgb(ind, &r, &g, &b);
    return static_cast<int>(((0.9f * r + g + 0.8f * b) / 2.7f) * 255.0f);
}

// Reads an enhancement file into bins; false when it cannot be opened.
bool read_enhancement_file(const std::string& name, int* num) {
    char path[FILE_NAME_LEN];
    FILE_add_path(RES_get("file_path"), name.c_str(), path);
    std::unique_ptr<FILE, FileCloser> f(FILE_open(path, "r"));
    if (!f) {
        MESS_print(M_warn, "SAT_color_setup: Unable to read enhancement file: %s\n", path);
        return false;
    }
    std::string word;
    for (int n = 0; n < kMaxFileWords && next_word(f.get(), word); ++n) {
        if (n == 0) {
            set_name(word[0] == '@' ? word.c_str() + 1 : word.c_str());
        } else if (word.compare(0, 6, "@label") == 0) {
            set_name(word.size() > 7 ? word.c_str() + 7 : "");
        } else if (word[0] == '@' || word[0] == '#') {
            continue;
        } else {
            SAT_decode_colors(word.c_str(), num);
        }
    }
    return true;
}

void print_tables() {
    if (!MESS_check(M_debug)) return;
    MESS_print(M_debug, "Table of color breakoff values\n");
    for (int b = 0; b <= g_enh.color_max; ++b)
        MESS_print(M_debug, "BREAK: %d COLOR: %d\n", g_enh.sat_cut[static_cast<std::size_t>(b)],
                   g_enh.color_ind[static_cast<std::size_t>(b)]);
    MESS_print(M_debug, "Table of color bin indicies for each sat pix value\n");
    for (int v = 0; v < 256; v += 10) {
        std::string line;
        char buf[32];
        std::snprintf(buf, sizeof buf, "%3d: ", v);
        line += buf;
        for (int k = v; k < v + 10 && k < 256; ++k) {
            std::snprintf(buf, sizeof buf, "%3d:%3d ", g_enh.sat_ind[static_cast<std::size_t>(k)],
                          g_enh.sat_color_ind[static_cast<std::size_t>(k)]);
            line += buf;
        }
        MESS_print(M_debug, "%s\n", line.c_str());
    }
}

}  // namespace enh
}  // namespace

int SAT_decode_colors(const char* str, int* num) {
    using namespace enh;
    if (!str || !num || *num < 0) return 0;  // a negative counter names no bin
    std::string s(str);
    auto dash = s.find('-');
    if (dash != std::string::npos && s[0] != 'c') {
        // Colour range: one interpolating bin per table index from A to B.
        int a = CLR_get_ind(s.substr(0, dash).c_str());
        int b = CLR_get_ind(s.substr(dash + 1).c_str());
        if (a < 0 || b < 0) {
            add_bin(num, kMissing, "");  // unknown end: one bin without colour
            return 0;
        }
        int step = b >= a ? 1 : -1;
        for (int i = a; *num < kMaxBins; i += step) {
            auto k = static_cast<std::size_t>(*num);
            g_enh.sat_cut[k] = kMissing;
            g_enh.color_fill_ind[k] = i + kInterp;
            g_enh.dither_ind[k] = 0;
            g_enh.color_dith_ind[k] = 0;
            ++*num;
            if (i == b) break;
        }
        return 0;
    }
    auto colon = s.find(':');
    if (colon != std::string::npos) {
        std::string head = s.substr(0, colon);
        // Breaks far outside the counts only matter as "below" or "above";
        // bounding them keeps the spreading arithmetic in range.
        long cut = (!head.empty() && (head[0] == 'c' || head[0] == 'C'))
                       ? SAT_ir_ind(std::strtof(head.c_str() + 1, nullptr))
                       : std::strtol(head.c_str(), nullptr, 10);
        cut = std::clamp(cut, -kBreakLimit, kBreakLimit);
        add_bin(num, static_cast<int>(cut), s.substr(colon + 1));
        return 0;
    }
    add_bin(num, kMissing, s);
    return 0;
}

int SAT_color_setup() {
    using namespace enh;
    EnhanceState& e = g_enh;
    e.built = true;
    e.color_max = 15;
    e.enhance.clear();
    e.sat_cut.fill(kMissing);
    for (int b = 0; b <= kMaxBins; ++b) {
        auto k = static_cast<std::size_t>(b);
        e.color_fill_ind[k] = b + kInterp;
        e.dither_ind[k] = 0;
        e.color_dith_ind[k] = 0;
    }

    if (CLR_get_num() == 0) add_grey_ramp();

    int count = 0;
    char** values = nullptr;
    int num = 0;
    if (RES_getvals("color_fill", &count, &values) > 0) {
        const std::unique_ptr<char*[], ValuesFree> keep(values, ValuesFree{count});
        if (count == 1 && std::strchr(values[0], '-') == nullptr) {
            if (!read_enhancement_file(values[0], &num)) return 0;
            MESS_print(M_out1, "Enhancement: %s\n", e.enhance.c_str());
        } else {
            for (int i = 0; i < count && i < kMaxBins; ++i) SAT_decode_colors(values[i], &num);
        }
        if (num > 0) e.color_max = num - 1;  // no entry at all keeps the default bins
    } else if (int nf = std::min(CLR_get_num_fill(), kMaxBins - 1); nf > 0) {
        for (int b = 0; b < nf; ++b) e.color_fill_ind[static_cast<std::size_t>(b)] = b;
        e.color_max = nf;
    }

    // Device values, one slot past the last bin so that the last bin can
    // interpolate on a grey page.
    const bool ps = PLT_get_work_type() == kPsType;
    const bool grey = ps && !ps_colour_mode();
    for (int b = 0; b <= e.color_max + 1 && b <= kMaxBins; ++b) {
        auto k = static_cast<std::size_t>(b);
        int fill = e.color_fill_ind[k];
        int ind = fill >= kInterp ? fill - kInterp : fill;
        int dev = grey ? grey_level(ind) : ind;
        e.color_ind[k] = dev + (fill >= kInterp ? kInterp : 0);
    }

    // Break values: spread every run of unset breaks evenly between the
    // set ones around it.
    const int last = e.color_max + 1;
    if (is_missing(e.sat_cut[0])) e.sat_cut[0] = 0;
    e.sat_cut[static_cast<std::size_t>(last)] = 256;
    for (int i = 1; i < last; ++i) {
        if (!is_missing(e.sat_cut[static_cast<std::size_t>(i)])) continue;
        int j = i;
        while (is_missing(e.sat_cut[static_cast<std::size_t>(j)])) ++j;
        const int lo = e.sat_cut[static_cast<std::size_t>(i - 1)];
        const int hi = e.sat_cut[static_cast<std::size_t>(j)];
        for (int k = i; k < j; ++k)
            e.sat_cut[static_cast<std::size_t>(k)] = (k - i + 1) * (hi - lo) / (j - i + 1) + lo;
        i = j;
    }

    // Per pixel value tables.
    auto mod = [](int v) { return v >= kInterp ? v - kInterp : v; };
    int b = 0;
    for (int v = 0; v < 256; ++v) {
        auto vk = static_cast<std::size_t>(v);
        if (b < last && v == e.sat_cut[static_cast<std::size_t>(b + 1)]) ++b;
        auto bk = static_cast<std::size_t>(b);
        e.sat_dither[vk] = 0;
        e.sat_dith_ind[vk] = 0;
        if (v < e.sat_cut[0]) {
            e.sat_ind[vk] = static_cast<unsigned char>(mod(e.color_ind[0]));
            e.sat_color_ind[vk] = 0;
            continue;
        }
        int dev = mod(e.color_ind[bk]);
        if (grey && e.color_fill_ind[bk] >= kInterp && e.color_fill_ind[bk + 1] >= kInterp) {
            const int c0 = e.sat_cut[bk];
            const int c1 = e.sat_cut[bk + 1];
            if (c1 != c0)
                dev = (mod(e.color_ind[bk]) * (c1 - v) + mod(e.color_ind[bk + 1]) * (v - c0)) / (c1 - c0);
        } else if (!ps) {
            e.sat_dither[vk] = static_cast<unsigned char>(e.dither_ind[bk]);
            e.sat_dith_ind[vk] = static_cast<unsigned char>(e.color_dith_ind[bk]);
        }
        e.sat_ind[vk] = static_cast<unsigned char>(dev);
        e.sat_color_ind[vk] = b;
    }
    print_tables();
    return 0;
}

int SAT_color_image(IMG_report* image) {
    using namespace enh;
    if (!image) return -1;
    if (!g_enh.built) SAT_color_setup();
    try {
        const int n = CLR_get_num();
        IMG_color* colors = nullptr;
        if (n > 0) {
            colors = static_cast<IMG_color*>(std::calloc(static_cast<std::size_t>(n), sizeof(IMG_color)));
            if (!colors) throw std::bad_alloc();
            for (int i = 0; i < n; ++i) CLR_get_rgb(i, &colors[i].r, &colors[i].g, &colors[i].b);
        }
        std::free(image->colors);
        image->colors = colors;
        image->num_colors = n;
    } catch (const std::bad_alloc&) {
        MESS_print(M_warn, "SAT_color_image: Unable to allocate color table\n");
        return -1;
    }
    if (image->depth != 8 || !image->data || image->bytes_line <= 0 || image->height <= 0) return 0;

    const int fill = SAT_get_fill();
    const unsigned char black = static_cast<unsigned char>(fill ? CLR_get_ind("black") : 0);
    const int mode = g_enh.dither;
    const std::size_t total = static_cast<std::size_t>(image->bytes_line) * static_cast<std::size_t>(image->height);
    int x = 0;
    int y = 0;
    for (std::size_t i = 0; i < total; ++i) {
        const unsigned char v = image->data[i];
        unsigned char out = DITHER_val(mode, g_enh.sat_dither[v], x, y) ? g_enh.sat_dith_ind[v] : g_enh.sat_ind[v];
        if (fill && gfill_test(fill, x, y) == 0) out = black;
        image->data[i] = out;
        if (++x == image->bytes_line) {
            x = 0;
            ++y;
        }
    }
    return 0;
}

int SAT_ir_ind(float temp) { return SAT_ir_ind_source(SAT_get_imager_source(), temp); }
float SAT_ind_ir(int ind) { return SAT_ind_ir_source(SAT_get_imager_source(), ind); }

int SAT_ir_ind_source(int source, float temp) {
    const double t = temp;
    switch (source) {
    case 51:
    case 53:
        return t < -30.0 ? enh::trunc_count(145.0 - t) : enh::trunc_count(-2.0 * t) + 114;
    case 55: {
        const double k = is_missing(temp) ? static_cast<double>(kMissingF) : t + 273.15;
        return 255 - enh::trunc_count((50789.3 / (std::exp(1344.3 / k) - 1.0) + 15.68) / 4.0);
    }
    default:
        return 0;
    }
}

float SAT_ind_ir_source(int source, int ind) {
    switch (source) {
    case 51:
    case 53:
        return ind < 176 ? static_cast<float>(114 - ind) / 2.0f : static_cast<float>(145 - ind);
    case 55: {
        // Counts from 252 up lie beyond the relation's range (the logarithm's
        // argument is negative) and have no temperature.
        const double arg = 50789.3 / ((255 - ind) * 4 - 15.68) + 1.0;
        if (!(arg > 0.0)) return kMissingF;
        const double k = 1344.3 / std::log(arg);
        if (!std::isfinite(k)) return kMissingF;
        return static_cast<float>(k - 273.15);
    }
    default:
        return 0.0f;
    }
}

int SAT_color_bar(int flag) {
    using namespace enh;
    Glim vp{};
    Glim win{};
    PLT_get_view(&vp);
    GPH_get_view_size(&win);
    const float h = std::min(vp.y_min - win.y_min, 0.035f);
    if (h < 0.01f) return -1;

    GPH_trans(1);
    Gattribs line;
    ATTRIB_init(&line);
    ATTRIB_get("color_text", "white", &line);

    const float x0 = vp.x_min + 0.03f * (vp.x_max - vp.x_min);
    const float centre = (vp.x_min + vp.x_max) / 2.0f;
    const float bottom = vp.y_min - h;
    const float top = vp.y_min - 0.15f * h;
    const float w = (centre - x0) / 256.0f;

    Gattribs fill;
    ATTRIB_init(&fill);
    fill.fill_pat = 0;
    for (int v = 0; v < 256; ++v) {
        const int bin = g_enh.sat_color_ind[static_cast<std::size_t>(v)];
        const int ind = g_enh.color_fill_ind[static_cast<std::size_t>(bin)] % kInterp;
        if (ind < 0) continue;  // a bin without colour leaves its strip empty
        fill.color = ind;
        GPH_fill_attr(&fill);
        GPH_frect(x0 + static_cast<float>(v) * w, bottom, x0 + static_cast<float>(v + 1) * w, top);
    }

    GPH_line_attr(&line);
    if (flag) {
        for (int t = 50; t >= -110; t -= 10) {
            const float x = x0 + static_cast<float>(SAT_ir_ind(static_cast<float>(t))) * w;
            const float len = (t % 50 == 0) ? 0.015f : 0.01f;
            GPH_line(x, top, x, top - len);
        }
    }
    for (int k = 0; k < 16; ++k) {
        const float x = x0 + static_cast<float>(16 * k) * w;
        GPH_line(x, bottom, x, bottom + 0.01f);
    }
    GPH_rect(x0, bottom, centre, top);
    GPH_trans(2);
    return 0;
}

int SAT_get_color_ind(int v) { return (v < 0 || v > 255) ? -1 : enh::g_enh.sat_ind[static_cast<std::size_t>(v)]; }

int SAT_get_color_bin(int v) {
    return (v < 0 || v > 255) ? -1 : enh::g_enh.sat_color_ind[static_cast<std::size_t>(v)];
}

int SAT_get_bin(int b, int* cut, int* fill_ind, int* dither, int* dith_ind) {
    using namespace enh;
    const bool in = b >= 0 && b <= g_enh.color_max + 1 && b <= kMaxBins;
    const auto k = static_cast<std::size_t>(in ? b : 0);
    if (cut) *cut = in ? g_enh.sat_cut[k] : kMissing;
    if (fill_ind) *fill_ind = in ? g_enh.color_fill_ind[k] : -1;
    if (dither) *dither = in ? g_enh.dither_ind[k] : -1;
    if (dith_ind) *dith_ind = in ? g_enh.color_dith_ind[k] : -1;
    return in ? 0 : -1;
}

int SAT_get_num_bins() { return enh::g_enh.color_max + 1; }
int SAT_get_dither_mode() { return enh::g_enh.dither; }
const char* SAT_get_enhance_name() { return enh::g_enh.enhance.c_str(); }

int SAT_get_pixel_dither(int v, int* level, int* second) {
    const bool in = v >= 0 && v <= 255;
    const auto k = static_cast<std::size_t>(in ? v : 0);
    if (level) *level = in ? enh::g_enh.sat_dither[k] : -1;
    if (second) *second = in ? enh::g_enh.sat_dith_ind[k] : -1;
    return in ? 0 : -1;
}

int SAT_reset_dither_mode() {
    enh::g_enh.dither = 0;
    return 0;
}
