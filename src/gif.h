// GIF images: reading into an IMG_report and dumping the window frame.
#ifndef ZEM_GIF_H
#define ZEM_GIF_H

#include "sat_read.h"

// Reads a GIF file; type 1 reads the header only. 1 on success, 0 on
// failure. Not built yet: prints so and returns 0.
int GIF_read(const char* filename, IMG_report* image, int type);
// Writes `image` as a GIF file. 1 on success, 0 on failure. Not built yet.
int GIF_write(const char* filename, IMG_report* image);
// Writes the current window frame as a GIF file. 1 on success, 0 on
// failure. Not built yet.
int GIF_dump(const char* filename);

// Writer switches set from the plot parameters.
int GIF_interlace(int flag);
int GIF_transparent(int flag);

#endif
