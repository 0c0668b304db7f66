// X Window System dump files (XWD, file version 7): reading, writing and
// dumping the window frame.
#ifndef ZEM_XDUMP_H
#define ZEM_XDUMP_H

#include "sat_read.h"

// Read an XWD file into `image`; type 1 reads the header and colour map
// only. The record's `depth`, when above 0, is the largest pixmap depth
// accepted. Returns 1 on success, 0 on failure; failures are written to the
// standard error stream.
int XWD_read(const char* filename, IMG_report* image, int type);

// Write `image` as an XWD file. Returns 1 on success, 0 on failure.
int XWD_write(const char* filename, const IMG_report* image);

// Write the image of the current window frame as XWD. Returns 1 on success.
int XWD_dump(const char* filename);

#endif
