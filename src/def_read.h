// Resource ("defaults") files: lines of "name value" with conditional
// sections (DEF, UNDEF, IF, ELIF, ELSE, END on tags), names that are
// patterns over "program.resource" keys with "*" wild cards, and the
// program name those keys and the environment names are built from.
#ifndef ZEM_DEF_READ_H
#define ZEM_DEF_READ_H

// Longest line read from a resource file is DEF_LINE_LEN - 1 characters;
// the name and value buffers given to DEF_get must hold DEF_LINE_LEN bytes.
inline constexpr int DEF_LINE_LEN = 250;
// Most tags in the tag list, and deepest IF nesting.
inline constexpr int DEF_MAX_TAGS = 10;
inline constexpr int DEF_MAX_NEST = 10;

// Sets the program's base name (the key prefix when no -name was given).
// Null takes the base name of the command line's program. Returns 0.
int DEF_prog(const char* prog = nullptr);
// Sets the -name value: it replaces the base name in keys, or, when it
// begins with "+", is appended to it ("orlo" and "+x" give "orlo.x").
// Null or empty clears it. Returns 0.
int DEF_name(const char* name);
// The program part of keys ("orlo", "orlo.x", or the -name value).
const char* DEF_get_prog();

// Opens a resource file for DEF_get. Null or empty means ".zemdef"; a
// directory means the first existing of its "zem.cfg", ".zemdef", "Zem.res".
// Closes any file still open and clears the IF stack. Returns 0, -1 when the
// file cannot be opened.
int DEF_open(const char* path);
// Reads the next active entry: name (lower-cased, trailing ":" removed) and
// value (the text between double quotes when it begins with one). Both
// buffers must hold DEF_LINE_LEN bytes. Directives are handled here and
// never returned. Returns 1 with an entry, -1 at end of file or when no file
// is open.
int DEF_get(char* name, char* value);
// Closes the file (warning about IF blocks left open). Returns 0.
int DEF_close();

// 1 when the pattern `pattern` matches the key "<program>.<resource>";
// "*" skips to the first later occurrence of the text after it. Letters
// compare without regard to case. Else 0.
int DEF_cmp(const char* resource, const char* pattern);
// 1 when `pattern` applies to this program: DEF_cmp of its last component.
int DEF_valid(const char* pattern);
// The last component of a pattern: the text after its last "." or "*"
// (a pointer into `pattern`).
const char* DEF_parse_name(const char* pattern);

// Tags for IF/ELIF. DEF_tag adds one (at most DEF_MAX_TAGS; returns -1 and
// warns beyond); DEF_untag removes the first equal one (case-insensitive);
// DEF_check_tag is 1 when present; DEF_clr_tag empties the list.
int DEF_tag(const char* tag);
int DEF_untag(const char* tag);
int DEF_check_tag(const char* tag);
int DEF_clr_tag();

// The environment value for a resource: "zem<program>.<resource>", then
// `env` (the declared name), then "zem<resource>". Null when none is set.
const char* DEF_env(const char* resource, const char* env);

#endif
