// Satellite image ingest: the in-memory image record every reader fills, the
// reading entry point that dispatches on the input format, the buffered
// byte/nibble/sync reader and the AREA file reader.
#ifndef ZEM_SAT_READ_H
#define ZEM_SAT_READ_H

#include <cstdint>

#include "date.h"
#include "region.h"

// One colour-map entry, channels 0.0 to 1.0.
struct IMG_color {
    float r;
    float g;
    float b;
};

// A raster image in memory. `colors` and `data` are owned by the record and
// released by IMG_free (allocated with malloc/calloc, released with free).
struct IMG_report {
    int source;            // format or origin code (51 AREA, 53 GINI, 50 remapped, ...)
    int type;              // product code
    int version;           // format version of the source
    char datim[50];        // date/time label built from `date`
    Date date;             // nominal date; year -9999 = unknown
    char info[75];         // one-line description
    int width;             // pixels per line
    int height;            // lines
    int depth;             // bits of colour depth
    float xres, yres;      // element and line resolution
    float xoff, yoff;      // satellite element/line of the first pixel/line
    int bits_pixel;        // bits per stored pixel
    int bytes_line;        // bytes per image line
    int byte_order;        // 1 = most significant byte first
    int color_type;        // 1 = indexed (colors), 0 = direct (masks)
    int num_colors;        // entries in `colors`
    unsigned int red, grn, blu;  // channel masks of a direct-colour image
    IMG_color* colors;     // colour map, null when none
    int trans_color;       // transparent colour index, -1 = none
    Domain domain;         // map domain covered by the image (proj 9 = satellite scan)
    unsigned char* data;   // pixels, height lines of bytes_line bytes, top first
};

#endif
