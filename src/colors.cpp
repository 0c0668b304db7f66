// Colour table, colour files and names, and drawing attribute strings.
//
// The table is the single palette every drawing refers to by index. Colour
// files fill it line by line (optionally at explicit entry numbers); lookups
// of "#rrggbb" / "#rrrgggbbb" names grow it at run time. Attribute strings
// ("red:wi=2:st=dsh") decode into Gattribs records through small keyword
// tables.
#include "colors.h"

#include <strings.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "files.h"
#include "gks_text.h"
#include "gks_tool.h"
#include "mess.h"
#include "resrc.h"
#include "string.h"
#include "tools.h"

namespace {

// Colour lines are read up to this many characters; the rest of a longer
// line is dropped.
constexpr std::size_t kMaxLine = 100;

struct ClrState {
    std::array<RGB, kClrTableSize> table{};  // entries start all-zero
    int num = 0;       // table size
    int num_fill = 0;  // leading fill colours
};
ClrState g_clr;

struct FileCloser {
    void operator()(FILE* f) const {
        if (f) FILE_close(f);
    }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

void set_entry(int ind, const char* name, float r, float g, float b) {
    RGB& e = g_clr.table[static_cast<std::size_t>(ind)];
    std::snprintf(e.name, sizeof e.name, "%s", name);
    e.red = r;
    e.grn = g;
    e.blu = b;
}

// The fields of `text` split at `delim` (empty fields kept, trailing
// delimiters dropped), through the shared value splitter.
std::vector<std::string> fields_of(const char* text, char delim) {
    int count = 0;
    char** list = nullptr;
    std::vector<std::string> out;
    if (parse_string(text, delim, &count, &list) != 0) return out;
    for (int i = 0; i < count; ++i) out.emplace_back(list[i] ? list[i] : "");
    free_parsed_array(count, list);
    return out;
}

std::string trim(const std::string& s) {
    const char* ws = " \t\r\n\f\v";
    auto b = s.find_first_not_of(ws);
    if (b == std::string::npos) return {};
    auto e = s.find_last_not_of(ws);
    return s.substr(b, e - b + 1);
}

// True when the text starts with an integer (optional sign, then a digit).
bool starts_with_int(const std::string& s) {
    std::size_t i = (!s.empty() && (s[0] == '-' || s[0] == '+')) ? 1 : 0;
    return i < s.size() && s[i] >= '0' && s[i] <= '9';
}

// Decodes a colour line (the entry number, if any, already consumed into
// `rest`): name + three floats, else name + "#RRGGBB". A line matching
// neither still yields its first word as the name; components not read
// are 0.
void decode_colour(const char* rest, char* name, float rgb[3]) {
    rgb[0] = rgb[1] = rgb[2] = 0.0f;
    name[0] = '\0';
    int n = std::sscanf(rest, "%19s %f %f %f", name, &rgb[0], &rgb[1], &rgb[2]);
    if (n >= 4) return;
    unsigned int hex[3] = {0, 0, 0};
    char name2[20] = "";
    n = std::sscanf(rest, "%19s #%2X%2X%2X", name2, &hex[0], &hex[1], &hex[2]);
    if (n >= 2) {
        for (int k = 0; k < 3; ++k) rgb[k] = (k < n - 1) ? static_cast<float>(hex[k]) / 255.0f : 0.0f;
    }
}

// One colour file. Returns the highest counter value seen at the start of
// a line (-1 when the file has no lines) and the counter at "END" (-1 when
// none).
struct FileResult {
    int max_counter = -1;
    int end_counter = -1;
};

FileResult read_colour_file(FILE* f, int offset) {
    FileResult res;
    int counter = 0;
    std::string raw;
    while (read_text_line(f, raw, kMaxLine)) {
        if (offset + counter >= kClrTableSize) continue;
        std::string line = trim(raw);
        if (line.empty()) continue;  // blank lines neither take nor move an entry
        res.max_counter = std::max(res.max_counter, counter);
        if (line[0] == '#') continue;
        if (str_iequal(line, "END")) {
            if (res.end_counter < 0) res.end_counter = counter;
            continue;
        }
        const char* rest = line.c_str();
        if (starts_with_int(line)) {
            char* after = nullptr;
            long n = std::strtol(line.c_str(), &after, 10);
            if (n < 0 || n >= kClrTableSize - offset) continue;  // entry would fall outside
            counter = static_cast<int>(n);
            rest = after;
        }
        char name[20];
        float rgb[3];
        decode_colour(rest, name, rgb);
        set_entry(offset + counter, name, rgb[0], rgb[1], rgb[2]);
        ++counter;
    }
    return res;
}

// Keyword tables.
struct Keyword {
    const char* text;
    int code;
};

constexpr Keyword kFillPatterns[] = {
    {"sol", 0}, {"st", 1},   {"ost", 2},  {"rst", 3},   {"lst", 4},  {"vln", 5},  {"||", 5},
    {"dlr", 6}, {"\\\\", 6}, {"drl", 7},  {"//", 7},    {"hln", 8},  {"--", 8},   {"hat", 9},
    {"XX", 9},  {"clr", 10}, {"0%", 10},  {"1%", 11},   {"2%", 12},  {"3%", 13},  {"4%", 14},
    {"5%", 15}, {"6%", 16},  {"7%", 17},  {"8%", 18},   {"9%", 19},
};

// Compared by their leading characters, in this order.
constexpr Keyword kMarkers[] = {
    {"pnt", 1},  {".", 1},      {"plus", 2}, {"+", 2}, {"star", 3}, {"*", 3},   {"crcl", 4},
    {"circle", 4}, {"o", 4},    {"x", 5},    {"sqr", 6}, {"square", 6}, {"#", 6}, {"tri", 7},
    {"^", 7},    {"itri", 9},   {"v", 9},    {"dot", 8},
};

constexpr Keyword kLineStyles[] = {
    {"sol", 1}, {"dsh", 2}, {"lsdsh", 3}, {"llsdsh", 4}, {"dot", 5},
};

constexpr const char* kPatternColours[] = {
    "pblk", "pbblk", "ptblk", "pwht", "pbwht", "ptwht", "pgry", "pbgry", "ptgry",
};

// Numbers in attribute strings: text that does not read gives 0; numbers
// beyond an int stay at its ends rather than wrapping into a small index.
int to_int(const char* s) {
    return static_cast<int>(std::clamp(std::strtol(s, nullptr, 10), long{INT_MIN}, long{INT_MAX}));
}
float to_float(const char* s) { return std::strtof(s, nullptr); }

}  // namespace

// ---- Colour table --------------------------------------------------------

int CLR_read_table(const char* list) {
    const bool from_arg = list && *list;
    const char* res = RES_get("color_table");
    const bool from_res = !from_arg && res && *res;
    std::string files = from_arg ? list : (from_res ? res : "zem.clr");

    for (int i = 16; i < kClrTableSize; ++i) g_clr.table[static_cast<std::size_t>(i)].name[0] = '\0';

    bool first = true;
    int offset = 0;
    for (const std::string& name : fields_of(files.c_str(), ',')) {
        if (name.empty()) continue;
        char path[FILE_NAME_LEN];
        FilePtr f(FILE_open(FILE_add_path(RES_get("file_path"), name.c_str(), path), "r"));
        if (!f) continue;
        FileResult r = read_colour_file(f.get(), offset);
        if (r.max_counter >= 0) {
            offset = std::min(kClrTableSize, offset + 1 + r.max_counter);
            g_clr.num = offset;
        }
        if (first && from_res) g_clr.num_fill = r.end_counter >= 0 ? r.end_counter : std::max(0, r.max_counter);
        first = false;
    }
    return 0;
}

int CLR_clear_table() {
    g_clr.num = 0;
    return 0;
}

int CLR_add(const char* name, float red, float green, float blue) {
    if (g_clr.num >= kClrTableSize) {
        MESS_print(M_warn, "CLR_add: color table full, %s not added\n", name ? name : "");
        return kClrNone;
    }
    int ind = g_clr.num++;
    set_entry(ind, name ? name : "", red, green, blue);
    GPH_set_color(ind, red, green, blue);
    return ind;
}

int CLR_get_ind(const char* name) {
    if (!name || !*name) return kClrNone;
    std::string_view s(name);
    if (str_iequal(s, "end")) return kClrEnd;
    if (str_iequal(s, "none") || str_iequal(s, "off") || str_iequal(s, "back")) return kClrNone;
    for (int i = 0; i < 9; ++i)
        if (str_iequal(s, kPatternColours[i])) return kClrPattern0 + i;
    for (int i = 0; i < g_clr.num; ++i)
        if (str_iequal(s, g_clr.table[static_cast<std::size_t>(i)].name)) return i;
    if (s[0] == '#' && (s.size() == 7 || s.size() == 10)) {
        int c[3];
        int n;
        if (s.size() == 7) {
            unsigned int h[3];
            n = std::sscanf(name + 1, "%2x%2x%2x", &h[0], &h[1], &h[2]);
            for (int k = 0; k < 3; ++k) c[k] = static_cast<int>(h[k]);
        } else {
            n = std::sscanf(name + 1, "%3d%3d%3d", &c[0], &c[1], &c[2]);
        }
        if (n == 3)
            return CLR_add(name, static_cast<float>(c[0]) / 255.0f, static_cast<float>(c[1]) / 255.0f,
                           static_cast<float>(c[2]) / 255.0f);
        return kClrNone;
    }
    if (s[0] >= '0' && s[0] <= '9') {
        // A number past any int names no index (not a wrapped small one).
        const long v = std::strtol(name, nullptr, 10);
        return v <= INT_MAX ? static_cast<int>(v) : kClrNone;
    }
    return kClrNone;
}

namespace {
const RGB* entry_for(int ind) {
    if (g_clr.num <= 0) return nullptr;
    ind = std::clamp(ind, 0, g_clr.num - 1);
    return &g_clr.table[static_cast<std::size_t>(ind)];
}
}  // namespace

const char* CLR_get_name(int ind) {
    const RGB* e = entry_for(ind);
    return e ? e->name : "";
}

int CLR_get_rgb(int ind, float* red, float* green, float* blue) {
    const RGB* e = entry_for(ind);
    if (red) *red = e ? e->red : 0.0f;
    if (green) *green = e ? e->grn : 0.0f;
    if (blue) *blue = e ? e->blu : 0.0f;
    return e ? 0 : -1;
}

int CLR_get_num() { return g_clr.num; }
int CLR_get_num_fill() { return g_clr.num_fill; }

// ---- Keyword tables ------------------------------------------------------

int ATTR_parse_fill_pat(const char* str) {
    if (!str) return 0;
    for (const Keyword& k : kFillPatterns)
        if (str_iequal(str, k.text)) return k.code;
    return to_int(str);
}

int ATTR_parse_marker(const char* str) {
    if (!str) return 0;
    for (const Keyword& k : kMarkers)
        if (str_iprefix(str, k.text)) return k.code;
    return to_int(str);
}

int ATTR_parse_style(const char* str) {
    if (!str) return 0;
    for (const Keyword& k : kLineStyles)
        if (str_iequal(str, k.text)) return k.code;
    return to_int(str);
}

// ---- Attribute records ---------------------------------------------------

int ATTRIB_init(Gattribs* attr) {
    if (!attr) return -1;
    *attr = Gattribs{kMissing, kMissingF, kMissingF, kMissingF, kMissing, kMissing, kMissing};
    return 0;
}

namespace {

// One "key=value" or single-letter field. Fields matching nothing are
// ignored. The tests run in a fixed order: longer keywords before the
// single letters they start with.
void apply_field(const std::string& field, Gattribs* a) {
    if (field.empty()) return;
    const char* f = field.c_str();
    std::string_view s(field);
    if (str_iprefix(s, "co=")) {
        a->color = CLR_get_ind(f + 3);
    } else if (str_iprefix(s, "wi=")) {
        a->width = to_float(f + 3);
    } else if (str_iprefix(s, "st=")) {
        a->style = ATTR_parse_style(f + 3);
    } else if (str_iprefix(s, "fo=")) {
        std::string font(f + 3);
        a->font = gget_font_index(font.data());
    } else if (str_iprefix(s, "fi=") || str_iprefix(s, "fp=")) {
        a->fill_pat = ATTR_parse_fill_pat(f + 3);
    } else if (str_iprefix(s, "sc=") || str_iprefix(s, "hi=")) {
        a->height = to_float(f + 3);
    } else if (str_iprefix(s, "te=")) {
        a->expan = to_float(f + 3);
    } else {
        switch (f[0]) {
        case 'w': case 'W': a->width = to_float(f + 1); break;
        case 's': case 'S': a->style = to_int(f + 1); break;
        case 't': case 'T': a->font = to_int(f + 1); break;
        case 'f': case 'F':
            a->fill_pat = (f[1] == 'M' || f[1] == 'm') ? kMissing : to_int(f + 1);
            break;
        case 'h': case 'H': a->height = to_float(f + 1); break;
        case 'e': case 'E': a->expan = to_float(f + 1); break;
        default: break;
        }
    }
}

}  // namespace

int ATTRIB_parse(const char* str, Gattribs* attr) {
    if (!attr) return -1;
    if (!str) return 0;
    std::vector<std::string> fields = fields_of(str, ':');
    std::size_t first = 0;
    if (!fields.empty() && !fields[0].empty() && fields[0].find('=') == std::string::npos) {
        attr->color = CLR_get_ind(fields[0].c_str());
        first = 1;
    }
    for (std::size_t i = first; i < fields.size(); ++i) apply_field(fields[i], attr);
    return 0;
}

int ATTRIB_update(Gattribs* target, const Gattribs* source) {
    if (!target || !source) return -1;
    if (!is_missing(source->color)) target->color = source->color;
    if (!is_missing(source->width)) target->width = source->width;
    if (!is_missing(source->height)) target->height = source->height;
    if (!is_missing(source->expan)) target->expan = source->expan;
    if (!is_missing(source->style)) target->style = source->style;
    if (!is_missing(source->fill_pat)) target->fill_pat = source->fill_pat;
    if (!is_missing(source->font)) target->font = source->font;
    return 0;
}

int ATTRIB_get(const char* name, const char* def, Gattribs* attr) {
    if (!attr) return 0;
    ATTRIB_parse(def, attr);
    const char* val = name ? RES_get(name) : nullptr;
    if (!val) return 0;
    ATTRIB_parse(val, attr);
    return 1;
}

int ATTRIB_print(const Gattribs* attr) {
    if (!attr) return -1;
    MESS_print(M_print, "Color: %d\n", attr->color);
    MESS_print(M_print, "Style: %d\n", attr->style);
    MESS_print(M_print, "Height: %5.2f\n", static_cast<double>(attr->height));
    MESS_print(M_print, "Width: %5.2f\n", static_cast<double>(attr->width));
    MESS_print(M_print, "Expansion: %5.2f\n", static_cast<double>(attr->expan));
    MESS_print(M_print, "Fill: %d\n", attr->fill_pat);
    MESS_print(M_print, "Font: %d\n", attr->font);
    return 0;
}
