// PNG image files: reading any PNG into an image record, writing a record as
// an 8-bit palette PNG, and dumping the window frame. Coding is done by
// libpng (<png.h>; this header is the project's "png.h").
#ifndef ZEM_PNG_H
#define ZEM_PNG_H

#include "sat_read.h"

// Read a PNG file into `image`; type 1 reads the header only. Returns 1 on
// success, 0 on failure (buffers already attached are left for the caller
// to release with IMG_free).
int PNG_read(const char* filename, IMG_report* image, int type);

// Write `image` (1 to 32 bits per pixel, indexed or true colour) as an
// 8-bit palette PNG with at most 256 colours. The image is not modified.
// Returns 1 on success, 0 on failure.
int PNG_write(const char* filename, const IMG_report* image);

// Write the image of the current window frame as PNG. Returns 1 on success.
int PNG_dump(const char* filename);

#endif
