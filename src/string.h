// Text helpers used by every parser: splitting a value at a delimiter,
// case-insensitive comparison and line reading with a length limit.
#ifndef ZEM_STRING_H
#define ZEM_STRING_H

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

// Splits a copy of `str` at every `delim`, after removing trailing delimiter
// characters. Empty fields between two delimiters stay; blanks are not
// trimmed; a value made only of delimiters gives one empty field. On success
// *count is the number of fields, *list a malloc'd array of pointers into one
// malloc'd copy, and the result is 0. A null or empty `str` gives -1 with
// *count 0 and *list null (as does running out of memory). Free the result
// with free_parsed_array.
int parse_string(const char* str, char delim, int* count, char*** list);
// Frees what parse_string returned (both blocks). Null is fine. Returns 0.
int free_parsed_array(int count, char** list);

// Case-insensitive comparisons (ASCII), with the sign convention of strcmp.
// A null string sorts before every other string.
int stricmp(const char* a, const char* b);
int strnicmp(const char* a, const char* b, int n);

// Reads one line of `fp` into `str` (at most n - 1 characters, always
// NUL-terminated); the line feed and a carriage return before it are
// dropped and the rest of a longer line is read and thrown away, so the next
// call starts on the next line. When `truncated` is not null it receives 1
// for a cut line, else 0. Returns `str`, or null at end of file (nothing
// read) or for n < 1 or a null stream.
char* fgetstring(char* str, int n, FILE* fp, int* truncated = nullptr);

// Shared helpers for C++ callers (ASCII case folding, no locale).
// True when a and b are equal ignoring case (lengths must match).
bool str_iequal(std::string_view a, std::string_view b);
// True when `text` begins with `prefix`, ignoring case. An empty prefix
// matches every text.
bool str_iprefix(std::string_view text, std::string_view prefix);
// Reads one line of `f` into `line` without its line feed. At most `max`
// characters are kept; the rest of a longer line is read and thrown away, so
// the next call starts on the next line. One carriage return that ends the
// line (just before the line feed or the end of file) is removed and does not
// count against `max`. Returns false at end of file when nothing was read
// (then `line` is empty), or for a null stream; an empty line gives true.
bool read_text_line(std::FILE* f, std::string& line, std::size_t max);

#endif
