// Message filtering and routing. A message is shown when its mask shares a
// bit with the current level; it is copied to the copy file, the log file
// and the screen according to the destination mode, with optional paging.
#include "mess.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>

#include "date.h"
#include "flag.h"
#include "string.h"
#include "system.h"

namespace {

struct FileCloser {
    void operator()(FILE* fp) const noexcept {
        if (fp) std::fclose(fp);
    }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

constexpr M_type kDefaultLevel = 0xFFFFF;  // print through out2
constexpr int kDefaultLines = 22;

struct MessState {
    M_type level = kDefaultLevel;
    int set = 0;         // explicit settings so far
    int out = MESS_OUT_SCREEN;
    int page = 1;
    int lines = 0;
    int max_lines = kDefaultLines;
    FilePtr ofile;       // copy file (MESS_file)
    FilePtr pfile;       // log file from the message resource
    std::string filename;  // log file reopened per message in mode 2
};

MessState g_mess;

// Level words of the message resource; `min` leading characters identify
// each (the four out levels need their digit).
struct LevelWord {
    const char* word;
    std::size_t min;
    M_type mask;
};
constexpr LevelWord kLevelWords[] = {
    {"none", 1, M_none},   {"print", 1, M_print}, {"error", 1, M_error},
    {"warn", 1, M_warn},   {"mess", 1, M_mess},   {"out1", 4, M_out1},
    {"out2", 4, M_out2},   {"out3", 4, M_out3},   {"out4", 4, M_out4},
    {"debug", 1, M_debug},
    // The whole words a user writes, with any of their leading parts.
    {"errors", 1, M_error}, {"warnings", 1, M_warn}, {"messages", 1, M_mess},
};

constexpr M_type kSubLevels[] = {M_sub_a, M_sub_b, M_sub_c, M_sub_d};

// The mask with every bit below its highest set bit added.
M_type fill_below(M_type mask) {
    if (mask == 0) return 0;
    M_type top = 0x80000000u;
    while (!(mask & top)) top >>= 1;
    return mask | (top - 1);
}

// Mask of a level word such as "warn", "out2", "debugd" or "de"; nothing
// when the word is none of them. A last letter a-d selects one sub-level
// unless it belongs to the word itself (as the "a" of a shortened "wa").
std::optional<M_type> level_mask(std::string_view w) {
    for (const LevelWord& lw : kLevelWords) {
        std::string_view full(lw.word);
        std::string_view body = w;
        int sub = -1;
        if (!w.empty()) {
            char last = static_cast<char>(std::tolower(static_cast<unsigned char>(w.back())));
            bool is_prefix = w.size() <= full.size() && str_iprefix(full, w);
            if (last >= 'a' && last <= 'd' && !is_prefix) {
                sub = last - 'a';
                body = w.substr(0, w.size() - 1);
            }
        }
        if (body.size() < lw.min || body.size() > full.size()) continue;
        if (!str_iprefix(full, body)) continue;
        return sub < 0 ? lw.mask : (lw.mask & kSubLevels[sub]);
    }
    return std::nullopt;
}

// Replaces the log file; a name that cannot be opened leaves none.
void open_log(const std::string& name, const char* mode) {
    g_mess.pfile.reset();
    if (!name.empty()) g_mess.pfile.reset(std::fopen(name.c_str(), mode));
}

// One item of the message resource.
void apply_item(std::string_view item) {
    // Blanks around an item (as in "warn, +debugd") are no part of it.
    while (!item.empty() && std::isspace(static_cast<unsigned char>(item.front()))) item.remove_prefix(1);
    while (!item.empty() && std::isspace(static_cast<unsigned char>(item.back()))) item.remove_suffix(1);
    if (item.empty()) return;
    auto name_from = [&](std::size_t pos) {
        return pos < item.size() ? std::string(item.substr(pos)) : std::string();
    };
    if (str_iprefix(item, "@fi")) {
        open_log(name_from(4), "a");
        g_mess.out = MESS_OUT_STAMPED;
    } else if (str_iprefix(item, "+fi")) {
        open_log(name_from(4), "a");
        g_mess.out = MESS_OUT_SCREEN;
    } else if (str_iprefix(item, "-fi")) {
        open_log(name_from(4), "w");
        g_mess.out = MESS_OUT_SCREEN;
    } else if (str_iprefix(item, "dfi")) {
        g_mess.pfile.reset();
        g_mess.filename = name_from(4);
        g_mess.out = MESS_OUT_PER_MESSAGE;
    } else if (str_iprefix(item, "fi")) {
        open_log(name_from(3), "a");
        g_mess.out = MESS_OUT_LOG_ONLY;
    } else if (str_iequal(item, "nopage")) {
        g_mess.page = 0;
    } else if (str_iequal(item, "page")) {
        g_mess.page = 2;
    } else if (str_iprefix(item, "line")) {
        int n = 0;
        if (item.size() > 5) n = std::atoi(std::string(item.substr(5)).c_str());
        g_mess.max_lines = n < 1 ? kDefaultLines : n;
    } else {
        char sign = item[0];
        if (sign == '+' || sign == '-') item.remove_prefix(1);
        const std::optional<M_type> found = level_mask(item);
        if (!found) {
            // Straight to standard error: a word that silenced everything
            // would hide fatal errors too, so it changes nothing.
            std::fprintf(stderr, "Unknown message level \"%.*s\" ignored\n",
                         static_cast<int>(item.size()), item.data());
            return;
        }
        const M_type mask = *found;
        if (sign == '+')
            g_mess.level |= mask;
        else if (sign == '-')
            g_mess.level &= ~mask;
        else
            g_mess.level = fill_below(mask);
    }
}

std::string format_message(const char* format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    char small[512];
    int n = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (n < 0) return std::string();
    if (static_cast<std::size_t>(n) < sizeof small) return std::string(small, n);
    std::string big(static_cast<std::size_t>(n) + 1, '\0');
    std::vsnprintf(big.data(), big.size(), format, args);
    big.resize(static_cast<std::size_t>(n));
    return big;
}

void put_text(FILE* fp, const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), fp);
}

}  // namespace

int MESS_vprint(M_type mess, const char* format, va_list args) {
    if (!(mess & g_mess.level) || !format) return 0;
    std::string text;
    try {
        text = format_message(format, args);
    } catch (const std::bad_alloc&) {
        text = "MESS_print: out of memory\n";
    }

    if (g_mess.ofile) {
        put_text(g_mess.ofile.get(), text);
        std::fflush(g_mess.ofile.get());
    }
    if (g_mess.out == MESS_OUT_PER_MESSAGE && !g_mess.filename.empty())
        g_mess.pfile.reset(std::fopen(g_mess.filename.c_str(), "a"));
    if (g_mess.pfile) {
        if (g_mess.out == MESS_OUT_STAMPED) {
            char stamp[64] = "";
            DATE_get_current_str(stamp);
            std::fprintf(g_mess.pfile.get(), "%s -- ", stamp);
        }
        put_text(g_mess.pfile.get(), text);
        std::fflush(g_mess.pfile.get());
    }
    if (g_mess.out == MESS_OUT_PER_MESSAGE) g_mess.pfile.reset();
    if (g_mess.out == MESS_OUT_LOG_ONLY) return 0;

    if (mess & (M_error | M_warn)) {
        std::fflush(stdout);  // keep the two streams in order on a terminal
        put_text(stderr, text);
    } else {
        put_text(stdout, text);
        std::fflush(stdout);
    }
    if (g_mess.page == 2) {
        for (const char* p = format; *p; ++p)
            if (*p == '\n') ++g_mess.lines;
        if (g_mess.lines > g_mess.max_lines) MESS_hold(mess, "Press return to continue\n");
    }
    return 1;
}

int MESS_print(M_type mess, const char* format, ...) {
    va_list args;
    va_start(args, format);
    int r = MESS_vprint(mess, format, args);
    va_end(args);
    return r;
}

int MESS_set(int code, M_type mask) {
    if (code < 5) ++g_mess.set;
    if (code > 15 && g_mess.set > 0) return 0;
    switch (code) {
        case 0: case 10: case 20: g_mess.level = fill_below(mask); break;
        case 1: case 11: case 21: g_mess.level |= mask; break;
        case -1: case 9: case 19: g_mess.level &= ~mask; break;
        default: break;
    }
    return 0;
}

int MESS_set_str(const char* str) {
    if (!str) return -1;
    ++g_mess.set;
    std::string_view rest(str);
    while (true) {
        std::size_t comma = rest.find(',');
        apply_item(rest.substr(0, comma));
        if (comma == std::string_view::npos) break;
        rest.remove_prefix(comma + 1);
    }
    return 0;
}

M_type MESS_get() { return g_mess.level; }

int MESS_check(M_type mask) { return (g_mess.level & mask) ? 1 : 0; }

int MESS_check_set() { return g_mess.set; }

int MESS_file(const char* name, const char* mode) {
    g_mess.ofile.reset();
    if (!name || !*name) return -1;
    g_mess.ofile.reset(std::fopen(name, mode && *mode ? mode : "w"));
    return g_mess.ofile ? 0 : -1;
}

int MESS_file_close() {
    bool had = static_cast<bool>(g_mess.ofile);
    g_mess.ofile.reset();
    return had ? 0 : -1;
}

int MESS_set_out(int out) {
    int old = g_mess.out;
    g_mess.out = out;
    return old;
}

int MESS_set_page(int page) {
    int old = g_mess.page;
    g_mess.page = page;
    g_mess.lines = 0;
    return old;
}

int MESS_hold(M_type mess, const char* str) {
    if (!(mess & g_mess.level) || g_mess.out == MESS_OUT_LOG_ONLY || FLAG_batch() ||
        g_mess.page == 0)
        return 0;
    FILE* screen = ((mess & M_error) && (mess & M_warn)) ? stderr : stdout;
    if (str) std::fputs(str, screen);
    std::fflush(screen);
    int c;
    while ((c = std::getchar()) != EOF && c != '\n') {
    }
    g_mess.lines = 0;
    return 1;
}

int MESS_get_max_lines() { return g_mess.max_lines; }

int MESS_print_prog(const char* name) {
    return MESS_print(M_mess, "      %s (Ver %s)\n\n", name ? name : "", ZEM_version());
}

int MESS_reset() {
    g_mess.level = kDefaultLevel;
    g_mess.set = 0;
    g_mess.out = MESS_OUT_SCREEN;
    g_mess.page = 1;
    g_mess.lines = 0;
    g_mess.max_lines = kDefaultLines;
    g_mess.ofile.reset();
    g_mess.pfile.reset();
    g_mess.filename.clear();
    return 0;
}
