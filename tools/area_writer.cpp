// AREA sample writer: description parser and byte writer (format in
// area_writer.h). The navigation word names come from the block layouts of
// sat_tran.h, so a sample written here has exactly the layout the
// navigation reads.
#include "area_writer.h"

#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sstream>

#include "sat_tran.h"

namespace {

// Directory words settable by name (byte offset / 4).
struct DirField {
    const char* name;
    int word;
};
constexpr DirField kDirFields[] = {
    {"satid", 2},     {"ndate", 3},     {"ntime", 4},  {"lcor", 5},
    {"ecor", 6},      {"lines", 8},     {"elements", 9}, {"zsiz", 10},
    {"lres", 11},     {"eres", 12},     {"yzprefix", 14}, {"startscan", 47},
};

// Named navigation words: block type, name, word number.
struct NavField {
    const char* type;
    const char* name;
    int word;
};

#define GOES_W(f) {"GOES", #f, static_cast<int>(offsetof(MC_nav_goes, f) / 4)}
#define GVAR_W(f) {"GVAR", #f, static_cast<int>(offsetof(MC_nav_gvar, f) / 4)}
#define PS_W(t, f) {t, #f, static_cast<int>(offsetof(MC_nav_ps, f) / 4)}
#define TANC_W(f) {"TANC", #f, static_cast<int>(offsetof(MC_nav_tanc, f) / 4)}

const NavField kNavFields[] = {
    GOES_W(iddate), GOES_W(itime), GOES_W(orbtyp), GOES_W(edate), GOES_W(etime),
    GOES_W(semima), GOES_W(eccen), GOES_W(orbinc), GOES_W(meana), GOES_W(perigee),
    GOES_W(asnode), GOES_W(declin), GOES_W(rascen), GOES_W(piclin), GOES_W(spinp),
    GOES_W(deglin), GOES_W(lintot), GOES_W(degele), GOES_W(eletot), GOES_W(pitch),
    GOES_W(yaw), GOES_W(roll), GOES_W(gamma), GOES_W(gamdot),
    GVAR_W(idntfr), GVAR_W(imcact), GVAR_W(reflon), GVAR_W(refdis), GVAR_W(reflat),
    GVAR_W(refyaw), GVAR_W(ratrol), GVAR_W(ratptc), GVAR_W(ratyaw),
    {"GVAR", "etime0", static_cast<int>(offsetof(MC_nav_gvar, etime) / 4)},
    {"GVAR", "etime1", static_cast<int>(offsetof(MC_nav_gvar, etime) / 4) + 1},
    GVAR_W(edtime), GVAR_W(imcrol), GVAR_W(imcptc), GVAR_W(imcyaw), GVAR_W(solinc),
    GVAR_W(exptim), GVAR_W(imgday), GVAR_W(imgtm), GVAR_W(imgsnd), GVAR_W(iofnc),
    GVAR_W(iofec), GVAR_W(iofni), GVAR_W(iofei),
    {"GVAR", "ldr", static_cast<int>(offsetof(MC_nav_gvar, ldr) / 4)},
    {"GVAR", "rddr", static_cast<int>(offsetof(MC_nav_gvar, rddr) / 4)},
    {"GVAR", "dgl", static_cast<int>(offsetof(MC_nav_gvar, dgl) / 4)},
    {"GVAR", "doy", static_cast<int>(offsetof(MC_nav_gvar, doy) / 4)},
    {"GVAR", "raawds", static_cast<int>(offsetof(MC_nav_gvar, raawds) / 4)},
    {"GVAR", "paawds", static_cast<int>(offsetof(MC_nav_gvar, paawds) / 4)},
    {"GVAR", "yaawds", static_cast<int>(offsetof(MC_nav_gvar, yaawds) / 4)},
    {"GVAR", "rmawds", static_cast<int>(offsetof(MC_nav_gvar, rmawds) / 4)},
    {"GVAR", "pmawds", static_cast<int>(offsetof(MC_nav_gvar, pmawds) / 4)},
    PS_W("PS", npline), PS_W("PS", npelem), PS_W("PS", stdlat), PS_W("PS", spacing),
    PS_W("PS", nrmlon), PS_W("PS", equrad), PS_W("PS", eccent),
    PS_W("MSAT", npline), PS_W("MSAT", npelem), PS_W("MSAT", stdlat), PS_W("MSAT", spacing),
    PS_W("MSAT", nrmlon), PS_W("MSAT", equrad), PS_W("MSAT", eccent),
    TANC_W(npline), TANC_W(npelem), TANC_W(spacing), TANC_W(stdlat), TANC_W(stdlon),
};

#undef GOES_W
#undef GVAR_W
#undef PS_W
#undef TANC_W

bool parse_int(const std::string& s, std::int64_t* v) {
    if (s.empty()) return false;
    errno = 0;
    char* end = nullptr;
    long long x = 0;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X'))
        x = static_cast<long long>(std::strtoull(s.c_str() + 2, &end, 16));
    else
        x = std::strtoll(s.c_str(), &end, 10);
    if (errno != 0 || end == nullptr || *end != '\0') return false;
    if (x < -2147483648LL || x > 4294967295LL) return false;
    *v = x;
    return true;
}

std::string rest_of(const std::string& line, const std::string& key) {
    std::size_t p = line.find(key);
    p += key.size();
    while (p < line.size() && (line[p] == ' ' || line[p] == '\t')) ++p;
    return line.substr(p);
}

// Words of a block including word 0 (the type text); 512-byte blocks stop
// before the memo.
int nav_words(const std::string& type) { return type == "GVAR" ? 640 : 120; }

bool fail(std::string* err, int line_no, const std::string& what) {
    if (err) *err = "line " + std::to_string(line_no) + ": " + what;
    return false;
}

void put_word(std::uint8_t* p, std::uint32_t v, AreaDesc::Order order) {
    bool big = order == AreaDesc::Order::big;
    if (order == AreaDesc::Order::native) {
        std::memcpy(p, &v, 4);
        return;
    }
    for (int i = 0; i < 4; ++i) {
        int shift = big ? 24 - 8 * i : 8 * i;
        p[i] = static_cast<std::uint8_t>(v >> shift);
    }
}

void put_text(std::uint8_t* p, const std::string& s, std::size_t n, char pad) {
    for (std::size_t i = 0; i < n; ++i) p[i] = static_cast<std::uint8_t>(i < s.size() ? s[i] : pad);
}

}  // namespace

bool area_desc_parse(const std::string& text, AreaDesc* out, std::string* err) {
    AreaDesc d;
    d.dir[1] = 4;
    d.dir[8] = 10;
    d.dir[9] = 10;
    d.dir[10] = 1;
    d.dir[11] = 1;
    d.dir[12] = 1;
    std::istringstream in(text);
    std::string line;
    int no = 0;
    while (std::getline(in, line)) {
        ++no;
        std::size_t hash = line.find('#');
        std::string body = hash == std::string::npos ? line : line.substr(0, hash);
        std::istringstream ls(body);
        std::string key, val;
        if (!(ls >> key)) continue;
        ls >> val;
        std::int64_t v = 0;
        if (key == "order") {
            if (val == "big") d.order = AreaDesc::Order::big;
            else if (val == "little") d.order = AreaDesc::Order::little;
            else if (val == "native") d.order = AreaDesc::Order::native;
            else return fail(err, no, "order must be big, little or native");
            continue;
        }
        if (key == "comment") {
            d.comment = rest_of(line.substr(0, hash == std::string::npos ? line.size() : hash), key);
            continue;
        }
        if (key == "memo") {
            d.memo = rest_of(line.substr(0, hash == std::string::npos ? line.size() : hash), key);
            continue;
        }
        if (key == "nav") {
            if (val.empty() || val.size() > 4) return fail(err, no, "nav type must have 1 to 4 characters");
            d.nav_type = val;
            d.nav.assign(static_cast<std::size_t>(nav_words(val)), 0);
            continue;
        }
        if (key == "pattern") {
            std::string arg;
            ls >> arg;
            if (val == "ramp") d.pattern = AreaDesc::Pattern::ramp;
            else if (val == "zero") d.pattern = AreaDesc::Pattern::zero;
            else if (val == "constant" || val == "checker") {
                if (!parse_int(arg, &v) || v < 0 || v > 255)
                    return fail(err, no, "pattern " + val + " needs a value 0..255");
                d.pattern = val == "constant" ? AreaDesc::Pattern::constant : AreaDesc::Pattern::checker;
                if (d.pattern == AreaDesc::Pattern::checker && v == 0)
                    return fail(err, no, "checker size must be positive");
                d.pattern_value = static_cast<int>(v);
            } else {
                return fail(err, no, "unknown pattern " + val);
            }
            continue;
        }
        if (!parse_int(val, &v)) return fail(err, no, "bad value for " + key);
        bool done = false;
        for (const DirField& f : kDirFields) {
            if (key == f.name) {
                d.dir[f.word] = static_cast<std::uint32_t>(v);
                done = true;
            }
        }
        if (done) continue;
        if (key.size() > 3 && key.compare(0, 3, "dir") == 0) {
            std::int64_t w = 0;
            if (!parse_int(key.substr(3), &w) || w < 0 || w > 63 || (w >= 24 && w < 32))
                return fail(err, no, "directory word must be 0..23 or 32..63");
            d.dir[w] = static_cast<std::uint32_t>(v);
            continue;
        }
        if (d.nav_type.empty()) return fail(err, no, "\"" + key + "\" before \"nav\"");
        if (key.size() > 1 && key[0] == 'w') {
            std::int64_t w = 0;
            if (!parse_int(key.substr(1), &w) || w < 1 ||
                w >= static_cast<std::int64_t>(d.nav.size()))
                return fail(err, no, "navigation word out of range");
            d.nav[static_cast<std::size_t>(w)] = v;
            continue;
        }
        for (const NavField& f : kNavFields) {
            if (d.nav_type == f.type && key == f.name) {
                d.nav[static_cast<std::size_t>(f.word)] = v;
                done = true;
            }
        }
        if (!done) return fail(err, no, "unknown keyword \"" + key + "\" for nav " + d.nav_type);
    }
    *out = std::move(d);
    return true;
}

bool area_desc_bytes(const AreaDesc& desc, std::vector<std::uint8_t>* out, std::string* err) {
    std::uint32_t lines = desc.dir[8], elems = desc.dir[9], zsiz = desc.dir[10];
    std::uint32_t prefix = desc.dir[14];
    if (zsiz != 1 && zsiz != 2) {
        if (err) *err = "zsiz must be 1 or 2";
        return false;
    }
    // Invalid sizes are still written (for malformed samples) as long as
    // the pixel block stays small.
    unsigned long long line_bytes = static_cast<unsigned long long>(elems) * zsiz + prefix;
    unsigned long long pix = line_bytes * lines;
    if (pix > (256ull << 20)) {
        if (err) *err = "pixel block over 256 MB";
        return false;
    }
    // A 512-byte block is the type text, words 1..119 and a 32-byte memo;
    // a GVAR block the type text and words 1..639.
    std::size_t nav_bytes = desc.nav_type.empty() ? 0 : (desc.nav.size() == 120 ? 512 : 2560);
    std::size_t data_off = 256 + nav_bytes;
    std::vector<std::uint8_t> b(data_off + pix, 0);
    std::uint32_t dir[64];
    std::memcpy(dir, desc.dir, sizeof dir);
    dir[33] = static_cast<std::uint32_t>(data_off);  // navkey: pixel data offset
    dir[34] = 256;                                   // navigation block offset
    for (int w = 0; w < 64; ++w)
        if (w < 24 || w >= 32) put_word(&b[4 * w], dir[w], desc.order);
    put_text(&b[96], desc.comment, 32, ' ');
    if (!desc.nav_type.empty()) {
        put_text(&b[256], desc.nav_type, 4, ' ');
        for (std::size_t w = 1; w < desc.nav.size(); ++w)
            put_word(&b[256 + 4 * w], static_cast<std::uint32_t>(desc.nav[w]), desc.order);
        if (nav_bytes == 512) put_text(&b[256 + 480], desc.memo, 32, ' ');
    }
    for (std::uint32_t l = 0; l < lines; ++l) {
        std::uint8_t* row = &b[data_off + l * line_bytes + prefix];
        for (std::uint32_t e = 0; e < elems; ++e) {
            int v = 0;
            switch (desc.pattern) {
                case AreaDesc::Pattern::ramp: v = static_cast<int>((l + e) % 256); break;
                case AreaDesc::Pattern::zero: v = 0; break;
                case AreaDesc::Pattern::constant: v = desc.pattern_value; break;
                case AreaDesc::Pattern::checker: {
                    std::uint32_t n = static_cast<std::uint32_t>(desc.pattern_value);
                    v = ((l / n + e / n) % 2) ? 255 : 0;
                    break;
                }
            }
            if (zsiz == 1) {
                row[e] = static_cast<std::uint8_t>(v);
            } else {
                row[2 * e] = static_cast<std::uint8_t>(v);
                row[2 * e + 1] = 0;
            }
        }
    }
    *out = std::move(b);
    return true;
}

bool area_make_file(const std::string& text, const std::string& path, std::string* err) {
    AreaDesc d;
    if (!area_desc_parse(text, &d, err)) return false;
    std::vector<std::uint8_t> bytes;
    if (!area_desc_bytes(d, &bytes, err)) return false;
    std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "wb"), &std::fclose);
    if (!f) {
        if (err) *err = "cannot create " + path;
        return false;
    }
    if (std::fwrite(bytes.data(), 1, bytes.size(), f.get()) != bytes.size()) {
        if (err) *err = "cannot write " + path;
        return false;
    }
    return true;
}
