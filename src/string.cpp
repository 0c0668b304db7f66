// Text helpers shared by every parser.
#include "string.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

int parse_string(const char* str, char delim, int* count, char*** list)
{
    if (count)
        *count = 0;
    if (list)
        *list = nullptr;
    if (!str || !*str || !count || !list)
        return -1;

    std::size_t len = std::strlen(str);
    // Trailing delimiters carry no field; a value made only of delimiters
    // keeps one empty field.
    while (len > 0 && str[len - 1] == delim)
        --len;

    char* copy = static_cast<char*>(std::malloc(len + 1));
    if (!copy)
        return -1;
    std::memcpy(copy, str, len);
    copy[len] = '\0';

    int n = 1;
    for (std::size_t i = 0; i < len; ++i)
        if (copy[i] == delim)
            ++n;

    char** fields = static_cast<char**>(std::malloc(sizeof(char*) * static_cast<std::size_t>(n)));
    if (!fields) {
        std::free(copy);
        return -1;
    }
    int k = 0;
    fields[k++] = copy;
    for (std::size_t i = 0; i < len; ++i) {
        if (copy[i] == delim) {
            copy[i] = '\0';
            fields[k++] = copy + i + 1;
        }
    }
    *count = n;
    *list = fields;
    return 0;
}

int free_parsed_array(int count, char** list)
{
    if (!list)
        return 0;
    // Every field points into the one copy that starts at the first field.
    if (count > 0)
        std::free(list[0]);
    std::free(list);
    return 0;
}

namespace {

int lower(char c)
{
    return std::tolower(static_cast<unsigned char>(c));
}

// One line reader for read_text_line and fgetstring; *cut (when given)
// tells whether characters past `max` were thrown away.
bool read_line_cut(std::FILE* f, std::string& line, std::size_t max, bool* cut)
{
    line.clear();
    if (cut)
        *cut = false;
    if (!f)
        return false;
    bool any = false;
    // A carriage return is held back until the next character shows whether
    // it ends the line (dropped) or sits inside it (kept like any other).
    bool pending_cr = false;
    auto keep = [&](char ch) {
        if (line.size() < max)
            line.push_back(ch);
        else if (cut)
            *cut = true;
    };
    int c = 0;
    while ((c = std::getc(f)) != EOF) {
        any = true;
        if (c == '\n')
            break;
        if (pending_cr) {
            pending_cr = false;
            keep('\r');
        }
        if (c == '\r')
            pending_cr = true;
        else
            keep(static_cast<char>(c));
    }
    return any;
}

}  // namespace

bool str_iequal(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i]))
            return false;
    return true;
}

bool str_iprefix(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && str_iequal(text.substr(0, prefix.size()), prefix);
}

bool read_text_line(std::FILE* f, std::string& line, std::size_t max)
{
    return read_line_cut(f, line, max, nullptr);
}

int stricmp(const char* a, const char* b)
{
    if (!a || !b)
        return a == b ? 0 : (a ? 1 : -1);
    for (;; ++a, ++b) {
        int d = lower(*a) - lower(*b);
        if (d != 0 || *a == '\0')
            return d;
    }
}

int strnicmp(const char* a, const char* b, int n)
{
    if (n <= 0)
        return 0;
    if (!a || !b)
        return a == b ? 0 : (a ? 1 : -1);
    for (int i = 0; i < n; ++i, ++a, ++b) {
        int d = lower(*a) - lower(*b);
        if (d != 0 || *a == '\0')
            return d;
    }
    return 0;
}

char* fgetstring(char* str, int n, FILE* fp, int* truncated)
{
    if (truncated)
        *truncated = 0;
    if (!str || n < 1 || !fp)
        return nullptr;
    std::string line;
    bool cut = false;
    bool any = read_line_cut(fp, line, static_cast<std::size_t>(n - 1), &cut);
    std::memcpy(str, line.data(), line.size());
    str[line.size()] = '\0';
    if (!any)
        return nullptr;
    if (truncated)
        *truncated = cut ? 1 : 0;
    return str;
}
