// Resource files and the names they are matched against.
//
// A resource file holds lines "name value". Names are patterns over the key
// "<program>.<resource>", so one file can serve several programs. Sections
// can be switched on and off with tags:
//
//   DEF tag          add a tag              UNDEF tag   remove it
//   IF tag           start a section        ELIF tag    alternative
//   ELSE             last alternative       END         end the section
//
// A line is active when every open section is taken. Lines beginning with
// "#" are comments.
#include "def_read.h"

#include <sys/stat.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "files.h"
#include "mess.h"
#include "resrc.h"
#include "string.h"

namespace {

struct FileCloser {
    void operator()(FILE* fp) const
    {
        if (fp)
            std::fclose(fp);
    }
};

// Condition stack values: taken, not taken, or "a branch was already taken"
// (later ELIF/ELSE of the same IF stay off).
constexpr char kTaken = 1;
constexpr char kNotTaken = 0;
constexpr char kDone = 'c';

struct DefState {
    std::string base;                  // program base name
    std::string name;                  // -name value, "" when not given
    std::vector<std::string> tags;
    std::unique_ptr<FILE, FileCloser> fp;
    std::string path;                  // file being read, for messages
    std::vector<char> stack;           // IF conditions
    int line = 0;
    bool warned_long = false;
};

DefState g_def;

bool is_dir(const char* path)
{
    struct stat st {};
    return ::stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

bool exists(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

bool active()
{
    for (char c : g_def.stack)
        if (c != kTaken)
            return false;
    return true;
}

int lower(char c) { return std::tolower(static_cast<unsigned char>(c)); }

// Case-insensitive search for the first `n` characters of `seg` in `text`.
const char* find_ci(const char* text, const char* seg, std::size_t n)
{
    if (n == 0)
        return text;
    for (; *text; ++text)
        if (strnicmp(text, seg, static_cast<int>(n)) == 0)
            return text;
    return nullptr;
}

// Matches `pattern` against `key`: "*" skips ahead to the first later
// occurrence of the literal text that follows it (up to the next "*"); a
// trailing "*" takes the rest of the key. The match holds only when both end
// together. There is no backtracking: the first occurrence is taken.
bool match_key(const std::string& key, const char* pattern)
{
    const char* k = key.c_str();
    const char* p = pattern;
    while (*p) {
        if (*p == '*') {
            ++p;
            if (*p == '\0')
                return true;
            if (*p == '*')
                continue;
            const char* end = std::strchr(p, '*');
            std::size_t n = end ? static_cast<std::size_t>(end - p) : std::strlen(p);
            const char* at = find_ci(k, p, n);
            if (!at)
                return false;
            k = at;
            continue;
        }
        if (*k == '\0' || lower(*k) != lower(*p))
            return false;
        ++k;
        ++p;
    }
    return *k == '\0';
}

std::string prog_key()
{
    if (g_def.name.empty())
        return g_def.base;
    if (g_def.name[0] == '+')
        return g_def.base + "." + g_def.name.substr(1);
    return g_def.name;
}

// Handles a directive line; false when the first word is no directive.
bool directive(const char* word, const char* arg, int nwords)
{
    auto& st = g_def.stack;
    if (std::strcmp(word, "DEF") == 0) {
        if (nwords >= 2 && active())
            DEF_tag(arg);
        return true;
    }
    if (std::strcmp(word, "UNDEF") == 0) {
        if (nwords >= 2 && active())
            DEF_untag(arg);
        return true;
    }
    if (std::strcmp(word, "IF") == 0) {
        if (static_cast<int>(st.size()) >= DEF_MAX_NEST) {
            // Keep the nesting balanced but never take a section we cannot
            // track within the limit.
            MESS_print(M_warn, "DEF_get: IF nested deeper than %d in %s line %d\n", DEF_MAX_NEST,
                       g_def.path.c_str(), g_def.line);
            st.push_back(kDone);
            return true;
        }
        st.push_back(nwords >= 2 && DEF_check_tag(arg) ? kTaken : kNotTaken);
        return true;
    }
    if (std::strcmp(word, "ELIF") == 0) {
        if (st.empty()) {
            MESS_print(M_warn, "DEF_get: elif without an if\n");
            return true;
        }
        if (st.back() == kNotTaken)
            st.back() = nwords >= 2 && DEF_check_tag(arg) ? kTaken : kNotTaken;
        else
            st.back() = kDone;
        return true;
    }
    if (std::strcmp(word, "ELSE") == 0) {
        if (st.empty()) {
            MESS_print(M_warn, "DEF_get: else without an if\n");
            return true;
        }
        st.back() = st.back() == kNotTaken ? kTaken : kDone;
        return true;
    }
    if (std::strcmp(word, "END") == 0) {
        if (st.empty()) {
            MESS_print(M_warn, "DEF_get: end without an if\n");
            return true;
        }
        st.pop_back();
        return true;
    }
    return false;
}

}  // namespace

int DEF_prog(const char* prog)
{
    if (prog) {
        const char* slash = std::strrchr(prog, '/');
        g_def.base = slash ? slash + 1 : prog;
    } else {
        char buf[RES_PROG_LEN];
        g_def.base = RES_get_progname(buf);
    }
    return 0;
}

int DEF_name(const char* name)
{
    g_def.name = name ? name : "";
    return 0;
}

const char* DEF_get_prog()
{
    static std::string key;
    key = prog_key();
    return key.c_str();
}

int DEF_open(const char* path)
{
    DEF_close();
    std::string file = (path && *path) ? path : ".zemdef";
    if (file[0] == '~') {
        char home[FILE_NAME_LEN];
        file = FILE_add_user_path(file.c_str(), home);
    }
    if (is_dir(file.c_str())) {
        std::string dir = file;
        if (dir.back() != '/')
            dir += '/';
        file = dir + "Zem.res";
        for (const char* cand : {"zem.cfg", ".zemdef"}) {
            if (exists(dir + cand)) {
                file = dir + cand;
                break;
            }
        }
    }
    // Only plain files are read: a directory, device, pipe or standard
    // stream ("-") would block or fail in odd ways, and a name is never run
    // as a command here.
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return -1;
    FILE* fp = std::fopen(file.c_str(), "r");
    if (!fp)
        return -1;
    g_def.fp.reset(fp);
    g_def.path = file;
    g_def.stack.clear();
    g_def.line = 0;
    g_def.warned_long = false;
    return 0;
}

int DEF_close()
{
    if (g_def.fp && !g_def.stack.empty())
        MESS_print(M_warn, "DEF_get: if without an end in %s\n", g_def.path.c_str());
    g_def.fp.reset();
    g_def.stack.clear();
    return 0;
}

int DEF_get(char* name, char* value)
{
    if (!g_def.fp || !name || !value)
        return -1;
    char line[DEF_LINE_LEN];
    int cut = 0;
    while (fgetstring(line, DEF_LINE_LEN, g_def.fp.get(), &cut)) {
        ++g_def.line;
        if (cut && !g_def.warned_long) {
            MESS_print(M_warn, "DEF_get: line %d of %s longer than %d characters, cut\n",
                       g_def.line, g_def.path.c_str(), DEF_LINE_LEN - 1);
            g_def.warned_long = true;
        }
        if (line[0] == '#')
            continue;
        name[0] = value[0] = '\0';
        int n = std::sscanf(line, "%249s %249s", name, value);
        if (n < 1)
            continue;
        if (directive(name, value, n))
            continue;
        if (n < 2 || !active())
            continue;
        if (value[0] == '"') {
            // Quoted values keep their blanks: take the text between the
            // quotes (to the end of the line without a closing quote).
            const char* q = line;
            while (std::isspace(static_cast<unsigned char>(*q)))
                ++q;
            while (*q && !std::isspace(static_cast<unsigned char>(*q)))
                ++q;
            while (std::isspace(static_cast<unsigned char>(*q)))
                ++q;
            const char* e = std::strchr(q + 1, '"');
            std::size_t len = e ? static_cast<std::size_t>(e - q - 1) : std::strlen(q + 1);
            std::memcpy(value, q + 1, len);
            value[len] = '\0';
        }
        for (char* c = name; *c; ++c)
            *c = static_cast<char>(lower(*c));
        std::size_t len = std::strlen(name);
        if (len > 0 && name[len - 1] == ':')
            name[len - 1] = '\0';
        return 1;
    }
    return -1;
}

int DEF_cmp(const char* resource, const char* pattern)
{
    if (!resource || !pattern)
        return 0;
    return match_key(prog_key() + "." + resource, pattern) ? 1 : 0;
}

int DEF_valid(const char* pattern)
{
    if (!pattern)
        return 0;
    return DEF_cmp(DEF_parse_name(pattern), pattern);
}

const char* DEF_parse_name(const char* pattern)
{
    if (!pattern)
        return nullptr;
    const char* last = pattern;
    for (const char* c = pattern; *c; ++c)
        if (*c == '.' || *c == '*')
            last = c + 1;
    return last;
}

int DEF_tag(const char* tag)
{
    if (!tag || !*tag)
        return -1;
    if (static_cast<int>(g_def.tags.size()) >= DEF_MAX_TAGS) {
        MESS_print(M_warn, "DEF_tag: more than %d tags, %s ignored\n", DEF_MAX_TAGS, tag);
        return -1;
    }
    g_def.tags.emplace_back(tag);
    return 0;
}

int DEF_untag(const char* tag)
{
    if (!tag)
        return -1;
    for (auto it = g_def.tags.begin(); it != g_def.tags.end(); ++it) {
        if (stricmp(it->c_str(), tag) == 0) {
            g_def.tags.erase(it);
            return 0;
        }
    }
    return -1;
}

int DEF_check_tag(const char* tag)
{
    if (!tag)
        return 0;
    for (const auto& t : g_def.tags)
        if (stricmp(t.c_str(), tag) == 0)
            return 1;
    return 0;
}

int DEF_clr_tag()
{
    g_def.tags.clear();
    return 0;
}

const char* DEF_env(const char* resource, const char* env)
{
    if (!resource || !*resource)
        return nullptr;
    std::string full = "zem" + prog_key() + "." + resource;
    if (const char* v = std::getenv(full.c_str()))
        return v;
    if (env && *env)
        if (const char* v = std::getenv(env))
            return v;
    std::string plain = std::string("zem") + resource;
    return std::getenv(plain.c_str());
}
