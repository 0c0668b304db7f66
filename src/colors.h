// Colour table, colour files and names, and drawing attribute strings.
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

#endif
