// File names and file sequences. A naming convention is a template whose
// "%" codes stand for date fields, resource paths and key values; this module
// looks conventions up in the name_conv table, expands them for a date,
// matches a user's partial request against them, finds the latest
// existing file, picks the input file at start-up and walks the sequence of
// files of an animation.
#include "files.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include <pwd.h>
#include <glob.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include "date.h"
#include "flag.h"
#include "mess.h"
#include "resrc.h"
#include "string.h"
#include "system.h"
#include "tools.h"

namespace {

constexpr int kDefaultLateOff = 3600;
constexpr int kUnknownOffset = 100000;  // FILE_get_offset without an interval
constexpr int kLatestSteps = 500;       // default reach of the latest-file search
// Longest reach a request may ask for ("la#N"): each step looks for a file,
// and a million of them keep the program busy for seconds to no purpose.
constexpr int kMaxLatestSteps = 10000;
constexpr int kRetries = 4;             // prompts before giving up at start-up
constexpr std::size_t kLineMax = 160;   // name_conv line length
constexpr std::size_t kExtMax = 19;     // extension from a partial convention match
constexpr long long kMaxSpan = 1000000000;  // bound of num_hour spans and steps, seconds

struct FileCloser {
    void operator()(FILE* fp) const noexcept {
        if (fp) std::fclose(fp);
    }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

Date missing_date() {
    Date d;
    d.year = d.month = d.day = d.jday = d.wday = d.hour = d.min = d.sec = kMissing;
    return d;
}

Date missing_setting() {
    Date d = missing_date();
    d.sec = 0;
    return d;
}

struct SavedConv {
    bool valid = false;
    int late_off = kDefaultLateOff;
    std::string conv, hconv, filename, extracted;
    int filename_type = 0;
};

struct FileState {
    std::string filename;
    int filename_type = 0;
    std::string conv, hconv;
    std::string ext;
    std::string ext_info;
    int late_off = kDefaultLateOff;
    int min_size = 0, rmin_size = 0;
    Date set = missing_setting();
    Date file_date = missing_date();
    std::array<std::string, 256> keys;
    Date first_date = missing_date();
    int secs = 0, nsecs = 0, offset = 0, skip = 0, num_hour = 0, def_hours = 0;
    std::vector<std::string> files;
    int file_ind = 0;
    int retry = kRetries;
    int header = 0, file_type = 0, shared = 1;
    std::string extracted;  // directory cut from a full-path input file
    SavedConv saved;
    std::set<FILE*> pipes;  // streams from popen, closed with pclose
};

FileState g_file;

// The naming state kept by FILE_save_name_conv, copied between the live
// state and the saved copy (both have these members).
template <class From, class To>
void copy_conv(const From& from, To& to) {
    to.late_off = from.late_off;
    to.conv = from.conv;
    to.hconv = from.hconv;
    to.filename = from.filename;
    to.filename_type = from.filename_type;
    to.extracted = from.extracted;
}

// ---- small text helpers -----------------------------------------------------

bool is_digit(char c) { return c >= '0' && c <= '9'; }

bool is_sep(char c) { return c == '/' || c == ':'; }

// Copies `s` into a caller's buffer of FILE_NAME_LEN bytes.
void put_out(char* out, const std::string& s) {
    if (!out) return;
    std::size_t n = std::min(s.size(), static_cast<std::size_t>(FILE_NAME_LEN - 1));
    std::memcpy(out, s.data(), n);
    out[n] = '\0';
}

// A name past the limit would be cut and then open some other file: it is
// reported, as given, instead of used.
bool too_long(const std::string& name) {
    if (name.size() < static_cast<std::size_t>(FILE_NAME_LEN)) return false;
    MESS_print(M_error, "File name too long (%zu characters, at most %d): %s\n", name.size(), FILE_NAME_LEN - 1,
               name.c_str());
    return true;
}

bool is_stdio(std::string_view name) {
    return name.empty() || name == "-" || str_iequal(name, "std") || str_iequal(name, "stdn");
}

bool is_full(std::string_view name) {
    return !name.empty() && (name[0] == '/' || name[0] == '.' || name[0] == '~');
}

std::string res_value(const char* name) {
    const char* v = RES_get(name);
    return v ? std::string(v) : std::string();
}

// Reads up to `maxdigits` digits at `pos`; false when there is none.
bool read_digits(std::string_view s, std::size_t& pos, std::size_t maxdigits, int& value) {
    std::size_t start = pos;
    value = 0;
    while (pos < s.size() && pos - start < maxdigits && is_digit(s[pos]))
        value = value * 10 + (s[pos++] - '0');
    return pos > start;
}

// "YYYY[MM[DD[HH[MM]]]]": each group only while digits follow. Fields not
// given stay untouched. Returns the position after the digits.
std::size_t read_abs_date(std::string_view s, std::size_t pos, Date& d) {
    int* fields[] = {&d.year, &d.month, &d.day, &d.hour, &d.min};
    const std::size_t widths[] = {4, 2, 2, 2, 2};
    for (int i = 0; i < 5; ++i) {
        int v;
        if (!read_digits(s, pos, widths[i], v)) break;
        *fields[i] = v;
    }
    return pos;
}

long to_secs(Date d) {  // by value: DATE_num_sec normalises in place
    return DATE_num_sec(&d);
}

Date from_secs(long secs) {
    Date d = missing_date();
    DATE_get_gmdate(&secs, &d);
    return d;
}

// ---- template language ------------------------------------------------------

// Resource behind each path code.
struct PathCode {
    char code;
    const char* resource;
};
constexpr PathCode kPathCodes[] = {
    {'C', "con_path"},   {'D', "data_path"},  {'F', "file_path"},
    {'R', "raw_path"},   {'G', "grid_path"},  {'I', "image_path"},
    {'W', "watch_path"}, {'T', "text_path"},  {'M', "model_path"},
    {'S', "sat_path"},
};

const char* path_resource(char c) {
    for (const PathCode& p : kPathCodes)
        if (p.code == c) return p.resource;
    return nullptr;
}

bool is_date_code(char c) { return c != '\0' && std::strchr("Yymbdjhn", c) != nullptr; }

// Fixed width of a date code's field in a file name.
std::size_t date_width(char c) {
    switch (c) {
        case 'Y': return 4;
        case 'j': case 'b': return 3;
        default: return 2;
    }
}

// The file interval met while expanding: the smallest contribution, unless
// an hour setting step forces one.
// Contributions are `n` units (seconds each), bounded to kMaxSpan so that
// a huge step from a template or an hour setting cannot overflow.
struct Interval {
    int normal = kMissing;
    int forced = kMissing;
    static int bounded(long long n, int unit) {
        return static_cast<int>(std::clamp(n * unit, -kMaxSpan, kMaxSpan));
    }
    void add(long long n, int unit) {
        int v = bounded(n, unit);
        if (v > 0 && (normal == kMissing || v < normal)) normal = v;
    }
    void force(long long n, int unit) {
        int v = bounded(n, unit);
        if (v > 0 && (forced == kMissing || v < forced)) forced = v;
    }
    int value() const { return forced != kMissing ? forced : normal; }
};

// Day, hour or minute under the hour setting `req`: fixed when 0 or
// more, the date's own when missing, else stepped (s, offset o).
int hour_field(int field, int req, int n, int unit, int next_unit, bool is_day, Interval& iv) {
    if (req >= 0) {
        iv.add(n, unit);
        return (req / n) * n;
    }
    if (req == kMissing) {
        iv.add(n, unit);
        return is_missing(field) ? kMissing : (field / n) * n;
    }
    const long long r = -static_cast<long long>(req);  // no overflow for INT_MIN
    const long long s = is_day ? r : r % 100;
    const int o = is_day ? 0 : static_cast<int>(r / 100);
    if (s == 0) {  // a fixed offset without a step repeats once per larger unit
        iv.force(1, next_unit);
        return o;
    }
    iv.force(s, unit);
    return is_missing(field) ? kMissing : static_cast<int>((field / s) * s) + o;
}

std::string two(int v, const char* absent = "00") {
    if (is_missing(v)) return absent;
    char buf[16];
    std::snprintf(buf, sizeof buf, "%2.2d", v);
    return buf;
}

// Text of one date code for `src`, storing the rounded value in `fd`.
std::string date_code_text(char c, int n, const Date& src, Date& fd, Interval& iv) {
    const Date& set = g_file.set;
    char buf[16];
    switch (c) {
        case 'Y':
        case 'y': {
            int y = set.year >= 0 ? set.year : src.year;
            if (is_missing(y)) return c == 'Y' ? "0000" : "00";
            y = (y / n) * n;
            fd.year = y;
            std::snprintf(buf, sizeof buf, c == 'Y' ? "%4.4d" : "%2.2d", c == 'Y' ? y : y % 100);
            return buf;
        }
        case 'm':
        case 'b': {
            int m = set.month >= 0 ? set.month : src.month;
            if (is_missing(m)) return c == 'm' ? "00" : "xxx";
            m = (m / n) * n;
            fd.month = m;
            return c == 'm' ? two(m) : std::string(DATE_month_lower(m));
        }
        case 'd': {
            int d = hour_field(src.day, set.day, n, 86400, 86400 * 28, true, iv);
            fd.day = d;
            return two(d);
        }
        case 'j': {
            iv.add(n, 86400);
            int d = set.day >= 0 ? set.day : src.day;
            int y = set.year >= 0 ? set.year : src.year;
            int m = set.month >= 0 ? set.month : src.month;
            if (is_missing(d) || is_missing(y) || is_missing(m)) return "000";
            d = (d / n) * n;
            fd.day = d;
            fd.month = m;
            fd.year = y;
            int j = 0;
            DATE_monday_julian(y, m, d, &j);
            std::snprintf(buf, sizeof buf, "%3.3d", j);
            return buf;
        }
        case 'h': {
            int h = hour_field(src.hour, set.hour, n, 3600, 86400, false, iv);
            fd.hour = h;
            return two(h);
        }
        case 'n': {
            int mi = hour_field(src.min, set.min, n, 60, 3600, false, iv);
            fd.min = mi;
            return two(mi);
        }
        default: return std::string();
    }
}

// Value of a path code or %{name}: the path extracted from a full-path
// input file when there is one, else the resource (or "." for path codes).
std::string path_text(const char* resource, bool dot_default) {
    if (!g_file.extracted.empty()) return g_file.extracted;
    std::string v = res_value(resource);
    if (v.empty() && dot_default) return ".";
    return v;
}

std::string key_text(unsigned char k, int n, bool has_n) {
    const std::string& v = g_file.keys[k];
    if (v.empty()) return "0";
    return has_n ? v.substr(0, static_cast<std::size_t>(std::max(n, 0))) : v;
}

// One parsed "%" code: step or width `n` (1 when absent), the code letter
// and, for %{name}, the name.
struct Code {
    int n = 1;
    bool has_n = false;
    char c = '\0';
    std::string name;
    std::size_t end = 0;  // template position after the code
};

Code parse_code(const std::string& t, std::size_t pos) {  // pos at '%'
    Code code;
    std::size_t i = pos + 1;
    if (i < t.size() && is_digit(t[i])) {
        int v = 0;
        for (; i < t.size() && is_digit(t[i]); ++i)  // every digit belongs to the code
            if (v < 1000000) v = v * 10 + (t[i] - '0');
        code.n = v > 0 ? v : 1;
        code.has_n = true;
        if (v == 0) code.n = 0;  // a width of 0 for keys
    }
    if (i < t.size()) {
        code.c = t[i++];
        if (code.c == '{') {
            std::size_t close = t.find('}', i);
            if (close == std::string::npos) close = t.size();
            code.name = t.substr(i, close - i);
            i = close < t.size() ? close + 1 : close;
        }
    }
    code.end = i;
    if (is_date_code(code.c) && code.n < 1) code.n = 1;
    return code;
}

// Copies `tmpl` with its literal rules (a blank becomes "_", "{" and "}"
// are dropped) and hands each "%" code to `on_code(code, out)`, which
// appends that code's text. Shared by the expansion and the file listing.
template <class OnCode>
std::string render_template(const std::string& tmpl, OnCode on_code) {
    std::string out;
    for (std::size_t i = 0; i < tmpl.size();) {
        char ch = tmpl[i];
        if (ch != '%') {
            if (ch == ' ')
                out += '_';
            else if (ch != '{' && ch != '}')
                out += ch;
            ++i;
            continue;
        }
        Code code = parse_code(tmpl, i);
        i = code.end;
        if (code.c == '%')
            out += '%';
        else
            on_code(code, out);
    }
    return out;
}

// Expands `tmpl` for `src`. `fd` receives the rounded date fields, `iv` the
// interval contributions.
std::string expand(const std::string& tmpl, const Date& src, Date& fd, Interval& iv) {
    return render_template(tmpl, [&](const Code& code, std::string& out) {
        if (is_date_code(code.c)) {
            out += date_code_text(code.c, code.n, src, fd, iv);
        } else if (code.c == 'e') {
            out += g_file.ext;
        } else if (code.c == '{') {
            out += path_text(code.name.c_str(), false);
        } else if (const char* res = path_resource(code.c)) {
            out += path_text(res, true);
        } else if (std::isalpha(static_cast<unsigned char>(code.c))) {
            out += key_text(static_cast<unsigned char>(code.c), code.n, code.has_n);
        }
    });
}

// The file interval of a template without expanding it for a real date.
int template_interval(const std::string& tmpl) {
    Date src = missing_date();
    src.year = 2000;
    src.month = src.day = 1;
    src.hour = src.min = 0;
    Date fd = missing_date();
    Interval iv;
    expand(tmpl, src, fd, iv);
    return iv.value();
}

const std::string& active_template() {
    return g_file.header ? g_file.hconv : g_file.conv;
}

// Expands the active template for `src` into `filename` and `file_date`.
// Returns 1 when the literal name was used, 0 for an expansion.
int expand_active(const Date* src, std::string& out) {
    const std::string& tmpl = active_template();
    if (tmpl.empty()) {
        out = g_file.filename.empty() ? "filename" : g_file.filename;
        g_file.filename_type = 1;
        return 1;
    }
    if (is_stdio(tmpl)) {
        out = "-";
        return 1;
    }
    Date base = src ? *src : g_file.file_date;
    if (is_missing(base.year) && !g_file.filename.empty()) {
        out = g_file.filename;
        g_file.filename_type = 1;
        return 1;
    }
    Date fd = g_file.file_date;
    fd.year = fd.month = fd.day = fd.hour = fd.min = kMissing;
    Interval iv;
    out = expand(tmpl, base, fd, iv);
    g_file.late_off = iv.value();
    g_file.file_date = fd;
    g_file.filename = out;
    g_file.filename_type = 0;
    return 0;
}

int interval_or_default() {
    return g_file.late_off > 0 ? g_file.late_off : kUnknownOffset;
}

// ---- convention table ------------------------------------------------------------

std::string conv_file_name() {
    std::string name = res_value("name_conv");
    if (name.empty()) name = "name_conv";
    std::string path = res_value("file_path");
    if (FILE_fullpath(name.c_str()) || path.empty()) return name;
    // file_path may list several directories separated by ":"; the first
    // that holds the table wins.
    std::string first;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t colon = path.find(':', start);
        std::string dir = path.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
        char buf[FILE_NAME_LEN];
        FILE_add_path(dir.c_str(), name.c_str(), buf);
        if (first.empty()) first = buf;
        if (FILE_is_file(buf)) return buf;
        if (colon == std::string::npos) break;
        start = colon + 1;
    }
    return first;
}

struct ConvLine {
    std::string name, tmpl, htmpl;
    int min_size = 0;
};

// Splits a table line "name template [header-template [min-size]]".
bool parse_conv_line(const std::string& line, ConvLine& cl) {
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < line.size() && words.size() < 4) {
        while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i]))) ++i;
        std::size_t b = i;
        while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i]))) ++i;
        if (i > b) words.emplace_back(line.substr(b, i - b));
    }
    if (words.size() < 2) return false;
    cl.name = words[0];
    cl.tmpl = words[1];
    cl.htmpl = words.size() > 2 && words[2] != "-" ? words[2] : std::string();
    cl.min_size = 0;
    if (words.size() > 3) {
        char* end = nullptr;
        long v = std::strtol(words[3].c_str(), &end, 10);
        if (*end != '\0') return false;
        cl.min_size = static_cast<int>(std::clamp(v, 0L, 2147483647L));
    }
    return true;
}

// Reads one line of at most kLineMax characters. Returns false at end of
// file; `too_long` tells that the line was longer (its rest is skipped).
bool read_conv_line(FILE* fp, std::string& line, bool& too_long) {
    if (!read_text_line(fp, line, kLineMax + 1)) return false;
    too_long = line.size() > kLineMax;
    return true;
}

void use_template(const std::string& tmpl, const std::string& htmpl, int min_size) {
    g_file.conv = tmpl.substr(0, FILE_NAME_LEN - 1);
    g_file.hconv = htmpl.substr(0, FILE_NAME_LEN - 1);
    g_file.min_size = min_size;
    g_file.late_off = template_interval(g_file.conv);
}

// ---- current and latest file ------------------------------------------------------

// Days, hours and minutes of an offset text ("3", "1d6", "2:30", ":15",
// "1d6:30"); advances `pos`. Returns the seconds, 0 when nothing was read.
long read_span(std::string_view s, std::size_t& pos) {
    long days = 0, hours = 0, mins = 0;
    int v;
    std::size_t p = pos;
    bool any = false;
    if (read_digits(s, p, 9, v)) {
        any = true;
        if (p < s.size() && (s[p] == 'd' || s[p] == 'D')) {
            days = v;
            ++p;
            if (read_digits(s, p, 9, v)) hours = v;
        } else {
            hours = v;
        }
    }
    if (p + 1 < s.size() && s[p] == ':' && is_digit(s[p + 1])) {
        ++p;
        read_digits(s, p, 9, v);
        mins = v;
        any = true;
    }
    if (!any) return 0;
    pos = p;
    return days * 86400 + hours * 3600 + mins * 60;
}

// An optional signed offset; `sign` receives +1 or -1 (backward without a sign).
bool read_offset(std::string_view s, std::size_t& pos, long& secs, int& sign) {
    std::size_t p = pos;
    int sg = -1;
    if (p < s.size() && (s[p] == '+' || s[p] == '-')) {
        sg = s[p] == '+' ? 1 : -1;
        ++p;
    }
    std::size_t q = p;
    long v = read_span(s, q);
    if (q == p) return false;
    secs = v;
    sign = sg;
    pos = q;
    return true;
}

// The base time of FILE_set_current: "#YYYYMMDDHHMM", zemcurtime, or now.
Date base_time(std::string_view cur, std::size_t& pos) {
    Date d = missing_date();
    auto fill = [&](std::string_view s, std::size_t p) {
        Date r = missing_date();
        std::size_t e = read_abs_date(s, p, r);
        if (is_missing(r.year)) return std::size_t{0};
        r.month = is_missing(r.month) ? 1 : r.month;
        r.day = is_missing(r.day) ? 1 : r.day;
        r.hour = is_missing(r.hour) ? 0 : r.hour;
        r.min = is_missing(r.min) ? 0 : r.min;
        r.sec = 0;
        d = from_secs(to_secs(r));
        return e;
    };
    if (!cur.empty() && cur[0] == '#') {
        std::size_t e = fill(cur, 1);
        if (e) {
            pos = e;
            return d;
        }
        pos = 1;
    }
    if (const char* env = std::getenv("zemcurtime"); env && *env) {
        std::string_view s(env);
        if (fill(s, s[0] == '#' ? 1 : 0)) return d;
    }
    long now = DATE_get_time(nullptr);
    return from_secs(now);
}

// Moves `d` back to the last time whose fields match the fixed fields of
// the hour setting (a fixed hour later than now means yesterday, and
// so on up to the year), then puts those fields in.
void pull_back(Date& d) {
    const Date& s = g_file.set;
    int cand[5] = {d.year, d.month, d.day, d.hour, d.min};
    const int base[5] = {d.year, d.month, d.day, d.hour, d.min};
    const int fixed[5] = {s.year, s.month, s.day, s.hour, s.min};
    int largest = -1;  // index of the largest fixed field below the year
    for (int i = 0; i < 5; ++i) {
        if (fixed[i] < 0) continue;
        cand[i] = fixed[i];
        if (i > 0 && largest < 0) largest = i;
    }
    bool later = false;
    for (int i = 0; i < 5; ++i) {
        if (cand[i] == base[i]) continue;
        later = cand[i] > base[i];
        break;
    }
    Date r = missing_date();
    r.sec = 0;
    if (later && fixed[0] < 0 && largest == 1) {
        --cand[0];
    } else if (later && largest == 2) {
        if (--cand[1] < 1) {
            cand[1] = 12;
            if (fixed[0] < 0) --cand[0];
        }
    }
    r.year = cand[0];
    r.month = cand[1];
    r.day = cand[2];
    r.hour = cand[3];
    r.min = cand[4];
    long t = to_secs(r);
    if (later && largest == 3) t -= 86400;
    if (later && largest == 4) t -= 3600;
    d = from_secs(t);
}

bool big_enough(const std::string& name) {
    long size = FILE_size(name.c_str());
    if (g_file.rmin_size > 0) return size > g_file.rmin_size;
    return size > g_file.min_size;
}

// ---- file request walk -------------------------------------------------------

// Position in `req` before the `k`-th directory separator from its end,
// with `from` as the lower bound; npos when there are fewer.
std::size_t cut_components(std::string_view req, std::size_t from, int k) {
    std::size_t p = req.size();
    for (int i = 0; i < k; ++i) {
        std::size_t q = p;
        while (q > from && !is_sep(req[q - 1])) --q;
        if (q <= from) return std::string_view::npos;
        p = q - 1;
    }
    return p;
}

int count_seps(std::string_view t) {
    return static_cast<int>(std::count_if(t.begin(), t.end(), is_sep));
}

// Literal text of the template from `pos` up to its next code.
std::string next_literal(const std::string& t, std::size_t pos) {
    std::string lit;
    while (pos < t.size() && t[pos] != '%' && t[pos] != '*') {
        if (t[pos] != '{' && t[pos] != '}') lit += t[pos] == ' ' ? '_' : t[pos];
        ++pos;
    }
    return lit;
}

// True when a date code follows position `pos` of the template.
bool date_code_ahead(const std::string& t, std::size_t pos) {
    for (std::size_t p = t.find('%', pos); p != std::string::npos; p = t.find('%', p + 1)) {
        Code code = parse_code(t, p);
        if (is_date_code(code.c)) return true;
        if (code.c == '%') ++p;  // skip the second "%" of "%%"
    }
    return false;
}

// Walks template and request together; see FILE_set_file. Returns 1
// when the request was taken literally; `date_read` tells whether a date
// code of the template took its digits from the request.
int walk_codes(const std::string& tmpl, const std::string& req, std::string& out, Date& fd, Interval& iv,
               bool& date_read) {
    const bool full = is_full(req);
    std::size_t i = 0, j = 0;
    date_read = false;
    bool consumed = false;  // some code has taken characters from the request
    int jday = kMissing;
    auto literal_rest = [&]() {
        out += req.substr(std::min(j, req.size()));
        j = req.size();
    };
    while (i < tmpl.size()) {
        char t = tmpl[i];
        MESS_print(0x40000000, "FILES:%s:%s:%s:%s:%s:%d\n", tmpl.c_str(), tmpl.c_str() + i,
                   req.c_str(), req.c_str() + std::min(j, req.size()), out.c_str(),
                   iv.value());
        if (t == '{') {
            std::size_t close = tmpl.find('}', i);
            if (close == std::string::npos) close = tmpl.size();
            out += tmpl.substr(i + 1, close - i - 1);
            i = close < tmpl.size() ? close + 1 : close;
            continue;
        }
        if (t == '}') {
            ++i;
            continue;
        }
        if (t == '*') {
            literal_rest();
            return 0;
        }
        if (t != '%' || (i + 1 < tmpl.size() && tmpl[i + 1] == '%')) {
            if (t == '%') ++i;  // "%%" stands for a literal percent sign
            char lit = t == ' ' ? '_' : t;
            ++i;
            if (j >= req.size()) {
                out += lit;
            } else if (req[j] == lit) {
                out += lit;
                ++j;
            } else if (is_sep(lit) && !full) {
                out += lit;  // a relative request names a file below the path code
            } else if (!consumed && is_digit(req[j]) && date_code_ahead(tmpl, i)) {
                out += lit;  // a date text: the name's leading part comes from the template
            } else if (date_read || !consumed) {
                literal_rest();
                return date_read ? 0 : 1;
            } else {
                out += lit;
                if (req.find('/', j) == std::string::npos) ++j;
            }
            continue;
        }
        Code code = parse_code(tmpl, i);
        i = code.end;
        if (is_date_code(code.c)) {
            if (j >= req.size()) {  // request exhausted: complete from the date
                Date src = fd;
                out += date_code_text(code.c, code.n, src, fd, iv);
                continue;
            }
            std::size_t w = date_width(code.c);
            std::string_view field = std::string_view(req).substr(j, w);
            bool ok = field.size() == w;
            for (char ch : field)
                if (code.c == 'b' ? !std::isalpha(static_cast<unsigned char>(ch)) : !is_digit(ch))
                    ok = false;
            int v = 0;
            if (ok && code.c == 'b') {
                v = DATE_decode_month(std::string(field).c_str());
                ok = v > 0;
            } else if (ok) {
                v = std::atoi(std::string(field).c_str());
            }
            if (!ok) {
                literal_rest();
                return date_read || consumed ? 0 : 1;
            }
            switch (code.c) {
                case 'Y': fd.year = v; break;
                case 'y': fd.year = v < 50 ? v + 2000 : v + 1900; break;
                case 'm': case 'b': fd.month = v; break;
                case 'd': fd.day = v; iv.add(code.n, 86400); break;
                case 'j': jday = v; iv.add(code.n, 86400); break;
                case 'h': fd.hour = v; iv.add(code.n, 3600); break;
                case 'n': fd.min = v; iv.add(code.n, 60); break;
                default: break;
            }
            out += field;
            j += w;
            date_read = consumed = true;
            continue;
        }
        if (code.c == 'e') {
            std::string lit = next_literal(tmpl, i);
            std::size_t stop = lit.empty() ? std::string::npos : req.find(lit, j);
            if (stop == std::string::npos) stop = req.size();
            if (g_file.ext.empty()) {
                g_file.ext = req.substr(j, stop - j);
                out += g_file.ext;
            } else {
                out += g_file.ext;
            }
            j = std::max(j, stop);
            consumed = true;
            continue;
        }
        const char* res = code.c == '{' ? code.name.c_str() : path_resource(code.c);
        if (res) {
            if (full && j < req.size()) {
                int k = count_seps(std::string_view(tmpl).substr(i));
                std::size_t p = cut_components(req, j, k);
                if (p != std::string_view::npos && p >= j) {
                    out += req.substr(j, p - j);
                    j = p;
                    consumed = true;
                    continue;
                }
            }
            out += path_text(res, code.c != '{');
            continue;
        }
        if (std::isalpha(static_cast<unsigned char>(code.c))) {
            std::string k = key_text(static_cast<unsigned char>(code.c), code.n, code.has_n);
            out += k;
            // The request holds the key only when it spells the whole name.
            if (req.compare(j, k.size(), k) == 0) {
                j += k.size();
                consumed = true;
            }
        }
    }
    if (j < req.size()) out += req.substr(j);
    if (!is_missing(jday)) {
        int year = is_missing(fd.year) ? 2001 : fd.year;  // a common year when unknown
        int m = 0, d = 0;
        DATE_julian_monday(year, jday, &m, &d);
        fd.month = m;
        fd.day = d;
    }
    MESS_print(0x40000000, "FILES:%s:%s:%d\n", req.c_str(), out.c_str(), iv.value());
    return 0;
}

// A request from which no date code took its digits says nothing the
// convention could build a name from: it is a file name, used (and
// reported) as the user typed it, not a template path wrapped around it.
int walk(const std::string& tmpl, const std::string& req, std::string& out, Date& fd, Interval& iv) {
    const Date fd_in = fd;
    const Interval iv_in = iv;
    bool date_read = false;
    std::string walked;
    const int literal = walk_codes(tmpl, req, walked, fd, iv, date_read);
    if (date_read) {
        out += walked;
        return literal;
    }
    fd = fd_in;
    iv = iv_in;
    out += req;
    return 1;
}

// ---- sequence helpers ----------------------------------------------------------------

// "[-]H[:M]" or ":M" in seconds.
int hours_minutes(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    bool neg = !s.empty() && s.front() == '-';
    std::size_t p = (neg || (!s.empty() && s.front() == '+')) ? 1 : 0;
    int h = 0, m = 0;
    read_digits(s, p, 9, h);
    if (p < s.size() && s[p] == ':') {
        ++p;
        read_digits(s, p, 9, m);
    }
    long long total = static_cast<long long>(h) * 3600 + static_cast<long long>(m) * 60;
    if (neg) total = -total;
    // Spans and steps past about 31 years mean nothing for an animation; the
    // bound keeps every sum of the sequence (span plus step) inside an int.
    return static_cast<int>(std::clamp(total, -kMaxSpan, kMaxSpan));
}

std::vector<std::string> filename_list() {
    std::vector<std::string> list;
    int n = 0;
    char** v = nullptr;
    if (RES_getvals("filename", &n, &v) > 0 && v) {
        for (int i = 0; i < n; ++i) list.emplace_back(v[i] ? v[i] : "");
        free_parsed_array(n, v);
    }
    return list;
}

// A request for the current or latest file ("cu...", "la...", "#date")
// rather than a file name: an existing file such as latest_ir.area or
// cumulus.area is always taken as the name it is.
bool current_request(const std::string& req) {
    if (req.empty() || FILE_is_file(req.c_str())) return false;
    return req[0] == '#' || str_iprefix(req, "cu") || str_iprefix(req, "la");
}

// Start-up: tries the current or latest file for rule 2 and 3.
bool try_current(const char* cur, char* outfile, bool warn) {
    FILE_set_current(cur, outfile);
    if (FILE_exist(outfile)) {
        MESS_print(M_mess, "Current filename: %s\n", outfile);
        return true;
    }
    if (warn) MESS_print(M_warn, "File not found: %s\n", outfile);
    return false;
}

// One answer at the start-up prompt: true when it named an existing file.
bool try_answer(const std::string& answer, char* outfile, bool warn) {
    if (!current_request(answer))
        FILE_set_file(answer.c_str(), outfile);
    else if (str_iprefix(answer, "cu"))
        FILE_set_current(answer.c_str() + 2, outfile);
    else
        FILE_set_current(answer.c_str(), outfile);
    if (FILE_exist(outfile)) return true;
    if (warn) MESS_print(M_warn, "File not found: %s\n", outfile);
    return false;
}

int select_file(const char* prompt, char* outfile, bool only) {
    std::vector<std::string> list = filename_list();
    if (!list.empty()) {
        if (list[0] == "list") {
            FILE_list_file();
            ZEM_exit(0);
        }
        // A name past the limit is reported once, here, and names no file.
        if (too_long(list[0])) {
            put_out(outfile, "");
            if (only) return 0;
            ZEM_exit(10);
        }
        FILE_set_file(list[0].c_str(), outfile);
        g_file.filename_type = 1;
        return FILE_exist(outfile);
    }
    if (const char* cur = RES_get("current")) {
        if (try_current(cur, outfile, !only)) return 1;
    } else if (FLAG_batch()) {
        if (try_current("la", outfile, !only)) return 1;
    } else {
        if (!only) {
            MESS_print(M_print, "List of available files:\n");
            FILE_list_file();
            MESS_print(M_print, "\n");
        }
        int tries = only ? 1 : g_file.retry;
        for (int t = 0; t < tries; ++t) {
            char answer[80] = "";
            ZEM_prompts(prompt ? prompt : "Enter the filename: ", answer, 80);
            std::string a(answer);
            // The prompt repeats on blank lines, so an empty answer means
            // the input ended: no file was chosen (not standard input).
            if (a.empty()) break;
            if (str_iequal(a, "exit")) ZEM_exit(0);
            if (str_iequal(a, "list")) {
                FILE_list_file();
                continue;
            }
            if (try_answer(a, outfile, !only)) return 1;
        }
    }
    if (only) return 0;
    ZEM_exit(10);
}

}  // namespace

// ---- conventions -----------------------------------------------------------------------

int FILE_set_name(const char* name_in) {
    try {
        g_file.filename.clear();
        g_file.extracted.clear();
        std::string name = name_in ? name_in : "";
        if (str_iequal(name, "none")) {
            use_template("", "", 0);
            return 0;
        }
        if (!name.empty() && name[0] == '@') {
            use_template(name.substr(1), "", 0);
            return 1;
        }
        // ":k=value" suffixes set keys; the name ends at the first ":".
        if (std::size_t colon = name.find(':'); colon != std::string::npos) {
            std::size_t p = colon;
            while (p != std::string::npos) {
                std::size_t next = name.find(':', p + 1);
                std::string item = name.substr(p + 1, next == std::string::npos ? std::string::npos : next - p - 1);
                if (item.size() >= 2 && item[1] == '=') {
                    FILE_set_key(item[0], item.c_str() + 2);
                    MESS_print(M_debug, "KEY: %c = %s\n", item[0], item.c_str() + 2);
                }
                p = next;
            }
            name.resize(colon);
        }

        std::string path = conv_file_name();
        FilePtr fp(std::fopen(path.c_str(), "r"));
        if (!fp) {
            MESS_print(M_warn, "FILE_set_name: No file name convention file: %s\n", path.c_str());
            use_template(name, "", 0);
            return 0;
        }
        MESS_print(M_debug, "Opening name convention file: %s\n", path.c_str());

        std::string line;
        bool too_long = false;
        int lineno = 0;
        while (read_conv_line(fp.get(), line, too_long)) {
            ++lineno;
            if (too_long) {
                MESS_print(M_warn, "FILE_set_name: line %d of %s is longer than %d characters, ignored\n",
                           lineno, path.c_str(), static_cast<int>(kLineMax));
                continue;
            }
            std::size_t b = line.find_first_not_of(" \t");
            if (b == std::string::npos || line[b] == '#') continue;
            ConvLine cl;
            if (!parse_conv_line(line, cl)) {
                MESS_print(M_warn, "FILE_set_name: malformed line %d of %s: %s\n", lineno,
                           path.c_str(), line.c_str());
                continue;
            }
            if (str_iequal(cl.name, name)) {
                use_template(cl.tmpl, cl.htmpl, cl.min_size);
                MESS_print(M_debug, "File name match for: %s\n", name.c_str());
                return 1;
            }
            if (str_iprefix(name, cl.name)) {
                use_template(cl.tmpl, cl.htmpl, cl.min_size);
                if (std::size_t us = name.rfind('_'); us != std::string::npos)
                    g_file.ext = name.substr(us + 1, kExtMax);
                MESS_print(M_debug, "File name partial match for: %s-%s ext: %s\n", name.c_str(),
                           cl.name.c_str(), g_file.ext.c_str());
                return 1;
            }
        }
        use_template(name, "", 0);
        MESS_print(M_debug, "No file name conversion for: %s\n", name.c_str());
        return 0;
    } catch (const std::bad_alloc&) {
        MESS_print(M_error, "FILE_set_name: out of memory\n");
        return 0;
    }
}

int FILE_set_name_conv(const char* str) {
    if (!str) return -1;
    int late = 0;
    char tmpl[FILE_NAME_LEN] = "", htmpl[FILE_NAME_LEN] = "";
    int n = std::sscanf(str, "%d %159s %159s", &late, tmpl, htmpl);
    if (n < 2) return -1;
    g_file.conv = std::strcmp(tmpl, "none") == 0 ? "" : tmpl;
    g_file.hconv = (n < 3 || std::strcmp(htmpl, "-") == 0) ? "" : htmpl;
    g_file.late_off = late;
    return 0;
}

int FILE_get_name_conv(char* str) {
    if (!str) return -1;
    std::snprintf(str, FILE_NAME_LEN * 2 + 20, "%d %s %s", g_file.late_off,
                  g_file.conv.empty() ? "none" : g_file.conv.c_str(),
                  g_file.hconv.empty() ? "-" : g_file.hconv.c_str());
    return 0;
}

int FILE_save_name_conv() {
    copy_conv(g_file, g_file.saved);
    g_file.saved.valid = true;
    return 0;
}

int FILE_restore_name_conv() {
    if (!g_file.saved.valid) return -1;
    copy_conv(g_file.saved, g_file);
    return 0;
}

int FILE_set_late_off(int secs) {
    g_file.late_off = secs;
    return 0;
}

int FILE_get_late_off() { return g_file.late_off; }

int FILE_get_offset() { return interval_or_default(); }

int FILE_set_min_size(int size) {
    g_file.rmin_size = size;
    return 0;
}

int FILE_get_min_size() { return g_file.rmin_size > 0 ? g_file.rmin_size : g_file.min_size; }

int FILE_set_key(char key, const char* str) {
    std::string v = str ? str : "";
    if (v.size() > FILE_KEY_LEN - 1) v.resize(FILE_KEY_LEN - 1);
    std::replace(v.begin(), v.end(), ' ', '_');
    g_file.keys[static_cast<unsigned char>(key)] = v;
    return 0;
}

int FILE_get_key(char key, char* str) {
    const std::string& v = g_file.keys[static_cast<unsigned char>(key)];
    if (str) std::memcpy(str, v.c_str(), v.size() + 1);
    return static_cast<int>(v.size());
}

int FILE_set_type(int type) {
    g_file.file_type = type;
    return 0;
}

char* FILE_get_ext_info() {
    static char info[40];
    std::snprintf(info, sizeof info, "%s", g_file.ext_info.c_str());
    return info;
}

int FILE_set_ext_info(const char* info) {
    g_file.ext_info = info ? std::string(info).substr(0, 39) : std::string();
    return 0;
}

int FILE_set_header(int header) {
    int old = g_file.header;
    g_file.header = header;
    return old;
}

int FILE_set_filename(const char* name) {
    g_file.filename = name ? std::string(name).substr(0, FILE_NAME_LEN - 1) : std::string();
    g_file.filename_type = 1;
    return 0;
}

int FILE_get_filename(char* name) {
    put_out(name, g_file.filename);
    return g_file.filename_type;
}

// ---- hour setting ---------------------------------------------------------------

int FILE_set_time(const Date* datim) {
    if (!datim) return -1;
    g_file.set = *datim;
    return 0;
}

int FILE_get_time(Date* datim) {
    if (!datim) return -1;
    *datim = g_file.set;
    return 0;
}

int FILE_reset_time() {
    Date& s = g_file.set;
    s.year = s.month = s.day = s.hour = s.min = kMissing;
    return 0;
}

// ---- names ----------------------------------------------------------------------------

int FILE_set_date(const Date* datim, char* out_file) {
    try {
        std::string out;
        int r = expand_active(datim, out);
        put_out(out_file, out);
        return r;
    } catch (const std::bad_alloc&) {
        MESS_print(M_error, "FILE_set_date: out of memory\n");
        put_out(out_file, "");
        return 1;
    }
}

int FILE_set_date_off(const Date* datim, int offset, char* out_file) {
    Date base = datim ? *datim : g_file.file_date;
    Date shifted = is_missing(base.year) ? base : from_secs(to_secs(base) + offset);
    FILE_set_date(&shifted, out_file);
    return offset / FILE_get_offset();
}

int FILE_set_file(const char* req_in, char* out) {
    try {
        std::string req = req_in ? req_in : "";
        if (too_long(req)) {
            put_out(out, "");
            return 1;
        }
        // An absolute date after the name, or extra information to cut off.
        if (g_file.file_type == 1) {
            std::size_t cut = req.size() > 2 ? req.find_first_of("#-+:", 2) : std::string::npos;
            if (cut != std::string::npos) {
                FILE_set_ext_info(req.c_str() + cut);
                req.resize(cut);
            }
        } else if (!current_request(req) || req[0] == '#') {
            std::size_t hash = req.size() > 1 ? req.find('#', 1) : std::string::npos;
            if (hash != std::string::npos) {
                read_abs_date(req, hash + 1, g_file.set);
                req.resize(hash);
            }
        }
        g_file.file_date = g_file.set;
        if (str_iequal(req, "exit")) ZEM_exit(0);

        std::string result;
        int literal = 1;
        const std::string& tmpl = active_template();
        if (!req.empty() && req[0] == '@') {
            result = req.substr(1);
        } else if (is_stdio(req)) {
            result = req;
        } else if (is_stdio(tmpl) && !tmpl.empty()) {
            result = "-";
        } else if (current_request(req)) {
            char name[FILE_NAME_LEN];
            FILE_set_current(str_iprefix(req, "cu") ? req.c_str() + 2 : req.c_str(), name);
            result = name;
            literal = 0;
            MESS_print(M_mess, "Current filename: %s\n", name);
        } else if (str_iequal(req, "none")) {
            result.clear();
        } else if (tmpl.empty() || (is_full(tmpl) && is_full(req)) || FILE_is_file(req.c_str())) {
            // No convention, both absolute, or a file that exists as given.
            // The name is kept as given, but its date is still read through
            // the convention, so that a sequence can step from it and saved
            // images are named by it.
            result = req;
            if (!tmpl.empty()) {
                Date fd = g_file.set;
                Interval iv;
                std::string walked;
                walk(tmpl, req, walked, fd, iv);
                if (!is_missing(fd.year)) g_file.file_date = fd;
            }
        } else {
            if (is_full(req)) {
                int k = count_seps(tmpl);
                std::size_t p = k > 0 ? cut_components(req, 0, k) : std::string::npos;
                if (p != std::string::npos && p > 0) g_file.extracted = req.substr(0, p);
            }
            Date fd = g_file.set;
            Interval iv;
            literal = walk(tmpl, req, result, fd, iv);
            g_file.file_date = fd;
            if (iv.value() != kMissing) g_file.late_off = iv.value();
        }
        if (literal && is_full(req) && g_file.extracted.empty() && !tmpl.empty()) {
            int k = count_seps(tmpl);
            std::size_t p = k > 0 ? cut_components(req, 0, k) : std::string::npos;
            if (p != std::string::npos && p > 0) g_file.extracted = req.substr(0, p);
        }
        if (!g_file.extracted.empty())
            MESS_print(M_debug, "Extracted path: %s\n", g_file.extracted.c_str());
        if (too_long(result)) result.clear();
        g_file.filename = result;
        g_file.filename_type = literal;
        put_out(out, result);
        return literal;
    } catch (const std::bad_alloc&) {
        MESS_print(M_error, "FILE_set_file: out of memory\n");
        put_out(out, "");
        return 1;
    }
}

int FILE_set_current(const char* cur_in, char* filename) {
    try {
        std::string_view cur = cur_in ? std::string_view(cur_in) : std::string_view("la");
        std::size_t pos = 0;
        Date base = base_time(cur, pos);
        pull_back(base);
        long t = to_secs(base);

        long secs = 0;
        int sign = -1;
        if (read_offset(cur, pos, secs, sign)) {
            t += sign * secs;
            MESS_print(M_debug, "CUR1:%d %d %d %d\n", static_cast<int>(secs / 86400),
                       static_cast<int>(secs % 86400 / 3600), static_cast<int>(secs % 3600 / 60), sign);
            MESS_print(M_debug, "CUR1:%s %d\n", std::string(cur).c_str(), static_cast<int>(t));
        }
        std::string name;
        if (pos < cur.size() && (cur[pos] == 'l' || cur[pos] == 'L')) {
            pos += str_iprefix(cur.substr(pos), "la") ? 2 : 1;
            int steps = kLatestSteps;
            if (pos < cur.size() && cur[pos] == '#') {
                ++pos;
                int v;
                if (read_digits(cur, pos, 6, v)) steps = std::max(v, 1);
                if (steps > kMaxLatestSteps) {
                    MESS_print(M_warn,
                               "FILE_set_current: Latest-file search limited to %d steps\n",
                               kMaxLatestSteps);
                    steps = kMaxLatestSteps;
                }
            }
            for (int s = 0; s < steps; ++s) {
                Date d = from_secs(t);
                expand_active(&d, name);
                MESS_print(M_debug, "LATE:%d %d %d %d %d\n", d.year, d.month, d.day, d.hour, d.min);
                MESS_print(M_debug, "LATE: %s\n", name.c_str());
                if (big_enough(name)) break;
                if (active_template().empty() || is_stdio(active_template())) break;
                if (s + 1 < steps) t += sign * static_cast<long>(interval_or_default());
            }
            MESS_print(M_debug, "LATEST: %s %s %d\n", active_template().c_str(), name.c_str(), static_cast<int>(t));
        }
        if (read_offset(cur, pos, secs, sign)) {
            t += sign * secs;
            MESS_print(M_debug, "CUR2:%d %d %d %d\n", static_cast<int>(secs / 86400),
                       static_cast<int>(secs % 86400 / 3600), static_cast<int>(secs % 3600 / 60), sign);
            MESS_print(M_debug, "CUR2:%d\n", static_cast<int>(t));
        }
        Date d = from_secs(t);
        expand_active(&d, name);
        put_out(filename, name);
        long step = interval_or_default();
        long rounded = (t / step) * step;
        return static_cast<int>(rounded);
    } catch (const std::bad_alloc&) {
        MESS_print(M_error, "FILE_set_current: out of memory\n");
        put_out(filename, "");
        return 0;
    }
}

int FILE_get_date(Date* datim) {
    if (!datim) return -1;
    *datim = g_file.file_date;
    return 0;
}

// ---- selection and sequences --------------------------------------------------------

int FILE_get_file(const char* prompt, char* outfile) {
    try {
        return select_file(prompt, outfile, false);
    } catch (const std::bad_alloc&) {
        MESS_print(M_error, "FILE_get_file: out of memory\n");
        ZEM_exit(10);
    }
}

int FILE_get_file_only(const char* prompt, char* outfile) {
    try {
        return select_file(prompt, outfile, true);
    } catch (const std::bad_alloc&) {
        MESS_print(M_error, "FILE_get_file_only: out of memory\n");
        return 0;
    }
}

int FILE_list_file() {
    const std::string& tmpl = active_template();
    if (tmpl.empty() || is_stdio(tmpl)) return -1;
    std::string glob = render_template(tmpl, [](const Code& code, std::string& out) {
        switch (code.c) {
            case 'Y': out += "?[0-9]??"; break;
            case 'y': case 'm': case 'd': case 'h': case 'n': out += "[0-9]?"; break;
            case 'b': out += "?[a-z]?"; break;
            case 'j': out += "?[0-9]?"; break;
            case 'e': out += '*'; break;
            case '{': out += path_text(code.name.c_str(), false); break;
            default:
                if (const char* res = path_resource(code.c))
                    out += path_text(res, true);
                else if (std::isalpha(static_cast<unsigned char>(code.c)))
                    out += g_file.keys[static_cast<unsigned char>(code.c)].empty()
                               ? std::string("*")
                               : key_text(static_cast<unsigned char>(code.c), code.n, code.has_n);
                break;
        }
    });
    MESS_print(M_debug, "SEARCH: %s\n", glob.c_str());
    // Matched in the program: the pattern holds path resources, whose blanks
    // or shell characters must never reach a shell.
    glob_t found{};
    const int r = ::glob(glob.c_str(), 0, nullptr, &found);
    std::vector<std::string> names;
    if (r == 0)
        for (std::size_t k = 0; k < found.gl_pathc; ++k) names.emplace_back(found.gl_pathv[k]);
    globfree(&found);
    if (names.empty()) {
        MESS_print(M_warn, "No files match %s\n", glob.c_str());
        return -1;
    }
    // Across the line, as many columns as fit in 80 characters.
    std::size_t width = 0;
    for (const auto& n : names) width = std::max(width, n.size() + 2);
    const std::size_t per_line = std::max<std::size_t>(1, 80 / width);
    std::string line;
    for (std::size_t k = 0; k < names.size(); ++k) {
        line += names[k];
        if ((k + 1) % per_line == 0 || k + 1 == names.size()) {
            MESS_print(M_print, "%s\n", line.c_str());
            line.clear();
        } else {
            line.append(width - names[k].size(), ' ');
        }
    }
    return 0;
}

int FILE_first(const Date* datim) {
    g_file.files = filename_list();
    if (!g_file.files.empty() && current_request(g_file.files[0]) && g_file.files[0][0] != '#')
        g_file.files.clear();
    g_file.file_ind = 0;
    g_file.first_date = datim ? *datim : g_file.file_date;
    g_file.num_hour = FILE_num_hour();
    g_file.skip = FILE_get_skip();
    g_file.offset = FILE_get_offset();
    if (g_file.skip / g_file.offset >= 1) g_file.offset *= g_file.skip / g_file.offset;
    if (g_file.num_hour < 0)  // the first whole step at or before the span's start
        g_file.secs = static_cast<int>(
            g_file.offset * ((static_cast<long long>(g_file.num_hour) - g_file.offset + 1) / g_file.offset));
    else
        g_file.secs = 0;
    g_file.nsecs = g_file.secs;
    return FILE_get_num_file();
}

int FILE_get_next(char* file) {
    const int n = static_cast<int>(g_file.files.size());
    if (n > 1 || (n == 1 && g_file.num_hour == 0)) {
        while (g_file.file_ind < n) {
            const std::string& name = g_file.files[static_cast<std::size_t>(g_file.file_ind++)];
            FILE_set_file(name.c_str(), file);
            // A name too long to use was reported and names nothing: an
            // empty result would otherwise read standard input.
            if (file == nullptr || *file != '\0' || is_stdio(name)) return 1;
        }
        return 0;
    }
    if (g_file.num_hour < 0 && g_file.nsecs > 0) return 0;
    if (g_file.num_hour >= 0 && g_file.nsecs > g_file.num_hour) return 0;
    if (g_file.num_hour != 0) {
        FILE_set_date_off(&g_file.first_date, g_file.nsecs, file);
        MESS_print(M_debug, "NEXT: %d %d %d %d %d %s\n", g_file.first_date.year,
                   g_file.first_date.month, g_file.first_date.day, g_file.first_date.hour,
                   g_file.nsecs, file);
    } else {
        put_out(file, g_file.filename);
    }
    g_file.nsecs += g_file.offset;
    return 1;
}

int FILE_next_file(char* file) {
    FILE_set_date_off(nullptr, FILE_get_offset(), file);
    return FILE_exist(file);
}

int FILE_prev_file(char* file) {
    FILE_set_date_off(nullptr, -FILE_get_offset(), file);
    return FILE_exist(file);
}

int FILE_get_num_file() {
    const int n = static_cast<int>(g_file.files.size());
    if (n == 1 && g_file.num_hour != 0) return g_file.num_hour;
    if (n > 0) return n - 1;
    return g_file.num_hour;
}

int FILE_get_num_hour() { return g_file.num_hour; }

int FILE_num_hour() {
    const char* v = RES_get("num_hour");
    if (!v || !*v) return g_file.def_hours;
    std::string_view s(v);
    return hours_minutes(s.substr(0, s.find(',')));
}

int FILE_get_skip() {
    const char* v = RES_get("num_hour");
    std::string_view s = v ? std::string_view(v) : std::string_view();
    std::size_t comma = s.find(',');
    if (comma == std::string_view::npos) return interval_or_default();
    int skip = hours_minutes(s.substr(comma + 1));
    return skip < 0 ? -skip : skip;
}

int FILE_get_nsecs() { return g_file.nsecs; }

int FILE_set_nsecs(int nsecs) {
    g_file.nsecs = nsecs;
    return 0;
}

int FILE_set_def_hours(int hours) {
    g_file.def_hours = hours * 3600;
    return 0;
}

char* FILE_print_first_date(char* str) {
    Date d = g_file.first_date;
    char buf[32] = "";
    if (!is_missing(d.year)) DATE_make_seq(&d, buf);
    MESS_print(M_debug, "First date: %s\n", buf);
    if (str) std::memcpy(str, buf, std::strlen(buf) + 1);
    return str;
}

// ---- utilities -----------------------------------------------------------------------

int FILE_fullpath(const char* name) { return name && is_full(name) ? 1 : 0; }

namespace {

std::string join_path(const char* path, const char* name) {
    std::string n = name ? name : "";
    if (is_stdio(n) || is_full(n) || !path || !*path) return n;
    std::string result = path;
    if (result.back() != '/') result += '/';
    return result + n;
}

}  // namespace

char* FILE_add_path(const char* path, const char* name, char* out) {
    if (!out) return nullptr;
    put_out(out, join_path(path, name));
    return out;
}

std::string FILE_with_file_path(const char* name) {
    return join_path(RES_get("file_path"), name);
}

char* FILE_add_path_delim(const char* path) {
    if (!path) return nullptr;
    std::size_t len = std::strlen(path);
    bool add = len > 0 && path[len - 1] != '/';
    char* copy = static_cast<char*>(std::malloc(len + (add ? 2 : 1)));
    if (!copy) return nullptr;
    std::memcpy(copy, path, len);
    if (add) copy[len++] = '/';
    copy[len] = '\0';
    return copy;
}

char* FILE_add_user_path(const char* name, char* out) {
    if (!out) return nullptr;
    std::string n = name ? name : "";
    if (n.empty() || n[0] != '~') {
        put_out(out, n);
        return out;
    }
    std::size_t slash = n.find('/');
    std::string user = n.substr(1, slash == std::string::npos ? std::string::npos : slash - 1);
    struct passwd* pw = user.empty() ? getpwuid(getuid()) : getpwnam(user.c_str());
    if (!pw || !pw->pw_dir) {
        put_out(out, n);
        return out;
    }
    std::string rest = slash == std::string::npos ? std::string() : n.substr(slash);
    put_out(out, std::string(pw->pw_dir) + rest);
    return out;
}

FILE* FILE_open(const char* name, const char* mode) {
    const char* m = mode && *mode ? mode : "r";
    std::string n = name ? name : "";
    if (is_stdio(n)) return m[0] == 'r' ? stdin : stdout;
    if (n[0] == '|') {
        FILE* fp = popen(n.c_str() + 1, m[0] == 'r' ? "r" : "w");
        if (fp) g_file.pipes.insert(fp);
        return fp;
    }
    char path[FILE_NAME_LEN];
    FILE_add_user_path(n.c_str(), path);
    if (m[0] == 'w' || m[0] == 'a') FILE_make_dir(path, 1);
    return std::fopen(path, m);
}

int FILE_close(FILE* fp) {
    if (!fp) return -1;
    if (fp == stdin || fp == stdout || fp == stderr) {
        std::fflush(fp);
        return 0;
    }
    if (g_file.pipes.erase(fp)) return pclose(fp);
    return std::fclose(fp);
}

int FILE_exist(const char* name) {
    if (!name || is_stdio(name)) return 1;
    char path[FILE_NAME_LEN];
    FILE_add_user_path(name, path);
    struct stat st {};
    return stat(path, &st) == 0 ? 1 : 0;
}

int FILE_is_stdio(const char* name) { return !name || is_stdio(name) ? 1 : 0; }

namespace {
bool stat_name(const char* name, struct stat& st) {
    if (!name || !*name) return false;
    char path[FILE_NAME_LEN];
    FILE_add_user_path(name, path);
    return stat(path, &st) == 0;
}
}  // namespace

int FILE_is_dir(const char* name) {
    struct stat st {};
    return stat_name(name, st) && S_ISDIR(st.st_mode) ? 1 : 0;
}

int FILE_is_file(const char* name) {
    struct stat st {};
    return stat_name(name, st) && S_ISREG(st.st_mode) ? 1 : 0;
}

int FILE_is_fifo(const char* name) {
    struct stat st {};
    return stat_name(name, st) && S_ISFIFO(st.st_mode) ? 1 : 0;
}

int FILE_is_device(const char* name) {
    struct stat st {};
    return stat_name(name, st) && (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) ? 1 : 0;
}

long FILE_size(const char* name) {
    struct stat st {};
    return stat_name(name, st) ? static_cast<long>(st.st_size) : -1;
}

long FILE_modtime(const char* name) {
    struct stat st {};
    return stat_name(name, st) ? static_cast<long>(st.st_mtime) : -1;
}

int FILE_delete(const char* name) {
    if (!name || is_stdio(name)) return -1;
    char path[FILE_NAME_LEN];
    FILE_add_user_path(name, path);
    return unlink(path) == 0 ? 0 : -1;
}

int FILE_make_dir(const char* path_in, int flag) {
    if (!path_in || !*path_in) return -1;
    std::string path = path_in;
    if (flag == 1) {
        std::size_t slash = path.rfind('/');
        if (slash == std::string::npos || slash == 0) return 0;
        path.resize(slash);
    }
    for (std::size_t p = 1; p <= path.size(); ++p) {
        if (p < path.size() && path[p] != '/') continue;
        std::string part = path.substr(0, p);
        if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return -1;
    }
    return FILE_is_dir(path.c_str()) ? 0 : -1;
}

int FILE_overwrite(const char* name, int flag) {
    if (!name || is_stdio(name) || !FILE_exist(name)) return 1;
    int param = FLAG_get(FLAG_FILE_PARAM);
    if (param >= 1) return param;
    if (FLAG_batch()) return 3;
    char answer[8] = "";
    char prompt[FILE_NAME_LEN + 48];
    if (flag == 1) {
        std::snprintf(prompt, sizeof prompt, "%s: exists overwrite (Y,N,Use,Over): ", name);
        ZEM_prompts(prompt, answer, sizeof answer);
        char c = static_cast<char>(std::toupper(static_cast<unsigned char>(answer[0])));
        return c == 'Y' || c == 'O' ? 1 : 3;
    }
    if (flag == 2) {
        std::snprintf(prompt, sizeof prompt, "%s: exists overwrite (Y,N,Use,Over,App): ", name);
        ZEM_prompts(prompt, answer, sizeof answer);
        char c = static_cast<char>(std::toupper(static_cast<unsigned char>(answer[0])));
        if (c == 'Y' || c == 'O') return 1;
        return c == 'A' ? 2 : 3;
    }
    return 0;
}

int FILE_type(const char* name) {
    struct Kind {
        const char* magic;
        int type;
    };
    static constexpr Kind kKinds[] = {
        {"ZEMSFC", 11}, {"ZEMUPA", 12}, {"ZEMRAW", 5}, {"ZEMGRID", 6}, {"ZEMMETA", 8}, {"ZEMIMG", 9},
    };
    if (!name || !*name) return -1;
    // Plain files only: a probe must not run a "|" command or read from
    // standard input.
    auto open_plain = [](const std::string& n) -> FILE* {
        if (n.empty() || n[0] == '|' || is_stdio(n)) return nullptr;
        char path[FILE_NAME_LEN];
        FILE_add_user_path(n.c_str(), path);
        return std::fopen(path, "r");
    };
    std::string n = name;
    FILE* fp = open_plain(n);
    if (!fp) {
        std::size_t dash = n.find('-');
        if (dash == std::string::npos || dash == 0) return -1;
        n.resize(dash);
        fp = open_plain(n);
        if (!fp) return -1;
    }
    char head[11] = "";
    std::size_t got = std::fread(head, 1, 10, fp);
    std::fclose(fp);
    head[got] = '\0';
    for (const Kind& k : kKinds)
        if (std::strncmp(head, k.magic, std::strlen(k.magic)) == 0) return k.type;
    return -1;
}

int FILE_reset() {
    for (FILE* fp : g_file.pipes) pclose(fp);
    g_file.pipes.clear();
    g_file = FileState();
    return 0;
}
