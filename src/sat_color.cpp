// Colour enhancement: pixel counts to colour-table indices through bins,
// and the colour bar.
#include "sat_tool.h"

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
#include "gks_ps.h"
#include "gks_tran.h"
#include "gks_tool.h"
#include "mess.h"
#include "plt_tool.h"
#include "resrc.h"
#include "string.h"
#include "tools.h"

namespace {
namespace enh {

constexpr int kMaxBins = 256;
constexpr int kInterp = 1000;         // added to a colour entry of an interpolating bin
constexpr int kMaxFileWords = 256;    // words read from an enhancement file
constexpr std::size_t kMaxWord = 255; // longer words are cut
constexpr std::size_t kMaxName = 9;   // enhancement name length
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

// A bin's colour: a table index is one byte of the coloured image, so an
// index past the table (a number such as 300, a pattern colour) would wrap
// into some other colour. It is refused like an unknown name: no colour.
int bin_colour(const std::string& name) {
    const int ind = CLR_get_ind(name.c_str());
    if (ind >= -1 && ind <= 255) return ind;
    MESS_print(M_warn, "SAT_decode_colors: %s is no colour of the table (0 to 255)\n", name.c_str());
    return -1;
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
            second = bin_colour(colours.substr(pct + 2));
        }
    }
    g_enh.sat_cut[b] = cut;
    g_enh.color_fill_ind[b] = bin_colour(col1);
    g_enh.dither_ind[b] = level;
    g_enh.color_dith_ind[b] = second;
    ++*num;
}

// Colour mode of the PostScript device. The device does not report its
// mode yet, so a PostScript page is taken in its start-up mode, grey.
bool ps_colour_mode() { return gps_get_colorPS() != 0; }

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
        MESS_print(M_warn, "SAT_color_setup: Unable to read enhancement file: %s (using the default colours)\n",
                   path);
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
        int a = bin_colour(s.substr(0, dash));
        int b = bin_colour(s.substr(dash + 1));
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
    bool own = RES_getvals("color_fill", &count, &values) > 0;
    if (own) {
        const std::unique_ptr<char*[], ValuesFree> keep(values, ValuesFree{count});
        if (count == 1 && std::strchr(values[0], '-') == nullptr) {
            // An enhancement that cannot be read would leave every bin
            // black: the colour table's own fill colours are used instead.
            own = read_enhancement_file(values[0], &num);
            if (own) MESS_print(M_out1, "Enhancement: %s\n", e.enhance.c_str());
        } else {
            for (int i = 0; i < count && i < kMaxBins; ++i) SAT_decode_colors(values[i], &num);
        }
        if (num > 0) e.color_max = num - 1;  // no entry at all keeps the default bins
    }
    const int nf = std::min(CLR_get_num_fill(), kMaxBins - 1);
    if (!own && nf > 0) {
        for (int b = 0; b < nf; ++b) e.color_fill_ind[static_cast<std::size_t>(b)] = b;
        e.color_max = nf;
    }

    // Device values, one slot past the last bin so that the last bin can
    // interpolate on a grey page.
    const bool ps = PLT_get_work_type() == GWS_PS;
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
    if (!fill && mode != kDither3 && mode != kDither5) {
        // No half-tones and no fill pattern: each value has one colour.
        unsigned char* px = image->data;
        const auto& ind = g_enh.sat_ind;
        run_halves(total, std::size_t{1} << 20, [&](std::size_t a, std::size_t b) {
            for (std::size_t i = a; i < b; ++i) px[i] = ind[px[i]];
        });
        return 0;
    }
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
    case kFormatArea:
    case kFormatAwip:
        return t < -30.0 ? enh::trunc_count(145.0 - t) : enh::trunc_count(-2.0 * t) + 114;
    case kFormatUnisys: {
        const double k = is_missing(temp) ? static_cast<double>(kMissingF) : t + 273.15;
        return 255 - enh::trunc_count((50789.3 / (std::exp(1344.3 / k) - 1.0) + 15.68) / 4.0);
    }
    default:
        return 0;
    }
}

float SAT_ind_ir_source(int source, int ind) {
    switch (source) {
    case kFormatArea:
    case kFormatAwip:
        return ind < 176 ? static_cast<float>(114 - ind) / 2.0f : static_cast<float>(145 - ind);
    case kFormatUnisys: {
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
    const float top = vp.y_min - 0.15f * h;
    // The lower part of the room holds the numbers under the colour strip:
    // counts every 64 on the plain bar, degrees Celsius at the long ticks
    // (every 50) on the infrared bar.
    const float numbers = vp.y_min - h;
    const float bottom = numbers + 0.4f * h;
    const float w = (centre - x0) / 256.0f;

    Gattribs fill;
    ATTRIB_init(&fill);
    fill.fill_pat = 0;
    int unknown = 0;  // strips whose colour the table does not hold
    for (int v = 0; v < 256; ++v) {
        const int bin = g_enh.sat_color_ind[static_cast<std::size_t>(v)];
        const int ind = g_enh.color_fill_ind[static_cast<std::size_t>(bin)] % kInterp;
        if (ind < 0) continue;  // a bin without colour leaves its strip empty
        if (ind >= CLR_get_num()) {
            ++unknown;
            continue;
        }
        fill.color = ind;
        GPH_fill_attr(&fill);
        GPH_frect(x0 + static_cast<float>(v) * w, bottom, x0 + static_cast<float>(v + 1) * w, top);
    }

    if (unknown > 0)
        MESS_print(M_warn, "SAT_color_bar: %d of 256 values have no colour in the colour table\n", unknown);

    GPH_line_attr(&line);
    Gattribs text = line;
    text.height = 0.3f * h;
    GPH_text_attr(&text, 1.0f);
    GPH_text_font(nullptr);
    GPH_text_align(2, 1);  // centred, hanging from the strip
    if (flag) {
        for (int t = 50; t >= -110; t -= 10) {
            const float x = x0 + static_cast<float>(SAT_ir_ind(static_cast<float>(t))) * w;
            const float len = (t % 50 == 0) ? 0.015f : 0.01f;
            GPH_line(x, top, x, top - len);
            if (t % 50 == 0) GPH_printf(x, bottom - 0.05f * h, "%d", t);
        }
    }
    for (int k = 0; k < 16; ++k) {
        const float x = x0 + static_cast<float>(16 * k) * w;
        GPH_line(x, bottom, x, bottom + 0.01f);
        if (!flag && k % 4 == 0) GPH_printf(x, bottom - 0.05f * h, "%d", 16 * k);
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
