// Colour table, colour files and names, and drawing attribute strings.
//
// Every colour of the program is an index into one table of 256 named RGB
// entries, loaded from colour files ("zem.clr" by default) and extended at
// run time by colours written as "#rrggbb" or "#rrrgggbbb" triplets. Drawing
// elements take their look from a Gattribs record, written by users as a
// colon-separated attribute string such as "red:wi=2:st=dsh".
#ifndef ZEM_COLORS_H
#define ZEM_COLORS_H

// Drawing attributes of one element. Every field is -9999 when unset.
struct Gattribs {
    int color;       // colour index (0-255, -1 none, 500-508 print patterns)
    float width;     // line width
    float height;    // text or marker height (scale)
    float expan;     // text expansion factor
    int style;       // line style code
    int fill_pat;    // fill pattern code
    int font;        // font index of the graphics kernel
};

// One entry of the colour table: a name of up to 19 characters and the
// components 0 to 1.
struct RGB {
    char name[20];
    float red;
    float grn;
    float blu;
};

// Size of the colour table.
inline constexpr int kClrTableSize = 256;

// Colour index values with a meaning of their own.
inline constexpr int kClrNone = -1;        // do not draw
inline constexpr int kClrEnd = -2;         // end of a colour list ("end")
inline constexpr int kClrPattern0 = 500;   // "pblk"; the nine print patterns are 500-508

// Load the colour table from a comma-separated list of colour files (null
// or empty: the resource "color_table", else "zem.clr"), each found along
// the resource "file_path". Files that cannot be opened are skipped
// silently. Returns 0.
int CLR_read_table(const char* list);

// Set the table size to 0 (the entries keep their contents).
int CLR_clear_table();

// Append an entry at the current table size, hand it to the graphics
// kernel and return its index; -1 (nothing stored) when the table is full.
int CLR_add(const char* name, float red, float green, float blue);

// Colour name to index: -1 for null, empty, "none", "off", "back" and
// unknown names; -2 for "end"; 500-508 for the print patterns; a table
// name (case ignored); "#rrggbb" or "#rrrgggbbb" (added to the table the
// first time); a leading digit gives the number itself.
int CLR_get_ind(const char* name);

// Name and components of an entry. An index at or beyond the table size is
// replaced by the last entry; a negative index by entry 0. Returns the name
// ("" when the table is empty); CLR_get_rgb returns 0, or -1 (outputs 0)
// when the table is empty.
const char* CLR_get_name(int ind);
int CLR_get_rgb(int ind, float* red, float* green, float* blue);

// Table size and the number of leading fill colours.
int CLR_get_num();
int CLR_get_num_fill();

// Keyword tables of the attribute strings.
int ATTR_parse_fill_pat(const char* str);
int ATTR_parse_marker(const char* str);
int ATTR_parse_style(const char* str);

// Set every field of the record to unset (-9999). Returns 0.
int ATTRIB_init(Gattribs* attr);

// Apply an attribute string to the record; fields not named keep their
// values. Returns 0 (-1 for a null record).
int ATTRIB_parse(const char* str, Gattribs* attr);

// Copy every set field of `source` into `target`. Returns 0.
int ATTRIB_update(Gattribs* target, const Gattribs* source);

// Parse `def` into the record, then the value of resource `name` over it.
// Returns 1 when the resource was set, else 0. The record is not
// initialised first.
int ATTRIB_get(const char* name, const char* def, Gattribs* attr);

// Print the record's fields at the print level. Returns 0.
int ATTRIB_print(const Gattribs* attr);

#endif
