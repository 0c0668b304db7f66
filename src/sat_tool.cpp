// Satellite plot driver: the per-file loop that reads each image, hands it
// to the remapping and colour stages and draws it as a frame.
#define ZEM_SAT_INTERNAL
#include "sat_tool.h"
#include "sat_tool_priv.h"

// The driver reads each file of the sequence into one image record, draws
// it as a frame (remap or zoom, colour, map layers, image, bar, labels) and
// hands the window to the plot session's hold loop. Everything here is
// single-instance state: the kernel calls back into SAT_plot on zoom and
// resize, and into SAT_plot_nextfile on refresh.
#include <algorithm>
#include <array>
#include <chrono>
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
#include "lrit.h"
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

constexpr int kDefaultRemapInc = 20;

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
    int tran_choice = -1;  // "tran_sat" 1, "tran_zem" 0, neither -1
};
Driver g_drv;

// Where the time of each frame goes, on standard error when zemtimes is set
// in the environment: a loop that has slowed down can be looked at without
// a profiler. Each lap charges the time since the last one to a stage.
enum Stage { kRead, kRemap, kColour, kDisplay, kEncode, kStages };

class StageClock {
public:
    void restart()
    {
        last_ = Clock::now();
        sec_.fill(0.0);
    }
    void lap(Stage s)
    {
        const Clock::time_point now = Clock::now();
        sec_[s] += std::chrono::duration<double>(now - last_).count();
        last_ = now;
    }
    void report(int frame) const
    {
        if (!on_) return;
        std::fprintf(stderr, "frame %d ms: read %.1f remap %.1f colour %.1f display %.1f encode %.1f\n", frame,
                     sec_[kRead] * 1e3, sec_[kRemap] * 1e3, sec_[kColour] * 1e3, sec_[kDisplay] * 1e3,
                     sec_[kEncode] * 1e3);
    }

private:
    using Clock = std::chrono::steady_clock;
    bool on_ = std::getenv("zemtimes") != nullptr;
    Clock::time_point last_ = Clock::now();
    std::array<double, kStages> sec_{};
};
StageClock g_clock;

void set_tran_choice(int v)
{
    g_drv.tran_choice = v;
    SAT_set_tran_sat(v);
}

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
        FLAG_set(FLAG_INPUT, kFormatArea);
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
            FLAG_set(FLAG_INPUT, f.format);
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
    {"tran_sat", 8, [](SAT_params&, const char*) { set_tran_choice(1); }},
    {"tran_zem", 8, [](SAT_params&, const char*) { set_tran_choice(0); }},
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
    // The sibling segment files of an LRIT image make one picture.
    {"lrit_all", 0, [](SAT_params&, const char*) { LRIT_set_assemble(1); }},
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
    g_drv.tran_choice = -1;
    return 0;
}

int SAT_get_fill() { return g_drv.p.fill; }
const SAT_params& sat_params() { return g_drv.p; }
int sat_tran_choice() { return g_drv.tran_choice; }
int SAT_get_bar() { return g_drv.p.bar; }

int SAT_in_file()
{
    FILE_set_name("sat_vis");
    FLAG_set(FLAG_INPUT, kFormatArea);

    ParsedList input("input");
    for (int i = 0; i < input.size(); ++i) {
        for (const auto& w : kInputWords) {
            if (stricmp(input[i], w.word) != 0) continue;
            if (w.conv != nullptr) FILE_set_name(w.conv);
            FLAG_set(FLAG_INPUT, w.format);
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
        g_clock.restart();
        FILE_get_date(&g_drv.file_date);
        bool sequence = FILE_get_num_file() != 0;
        if (SAT_read_file(g_drv.filename, &image) != 1) {
            if (sequence) continue;
            // The one file asked for ends the run: an error, so that a
            // user who asked for errors only still sees why.
            MESS_print(M_error, "SAT_plot: No image read from %s\n", g_drv.filename);
            PLT_exit(10);
        }
        g_clock.lap(kRead);
        g_drv.fsecs = round_file_time(DATE_num_sec(&g_drv.file_date));
        if (sequence) {
            const int id = gcreate_frame(frame);
            if (id < 0) {
                // The frame module has said there is no room; drawing on
                // would overwrite the last frame with every further file.
                IMG_free(&image);
                break;
            }
            gselect_frame(id);
        }
        SAT_plot_frame();
        if (sequence) gdisplay_frame(frame);
        g_clock.lap(kDisplay);
        PLT_dump(frame);
        g_clock.lap(kEncode);
        g_clock.report(frame);
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
    // Each frame sizes its own copy of the requested domain: sizing the
    // result of the last frame again could move the spacing by a rounding
    // step, and the frames of a loop must share one geometry.
    Domain dom = g_drv.tmp_domain;
    SAT_color_setup();

    if (dom.proj >= DOM_PSTEREO && dom.proj <= DOM_SAT) {
        SAT_domain_image(&dom);
        SAT_remap_image(&image, &dom);
    }
    if (dom.proj == DOM_ZOOM) SAT_zoom_image(&image, dom.clat, dom.clon, dom.dx);
    if (g_drv.p.zoom != 1.0f) SAT_zoom_image(&image, kMissingF, kMissingF, g_drv.p.zoom);
    g_clock.lap(kRemap);

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
    g_clock.lap(kColour);
    // The layers under the image need the map window of this frame's plot
    // domain as much as those over it.
    MAP_setup(&g_drv.plot_domain);
    MAP_draw(1);
    if (FLAG_getplot(PLOT_DATA) != 0) {
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
