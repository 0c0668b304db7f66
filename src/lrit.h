// LRIT satellite files (the low-rate image transmission of geostationary
// satellites): a chain of typed header records, then the pixels of one
// image segment, raw or JPEG-compressed. A "GEOS" navigation record puts
// the image in the satellite-view projection (code 9).
#ifndef ZEM_LRIT_H
#define ZEM_LRIT_H

#include "sat_read.h"

// Reads an LRIT file into `report`; 0 on success, -1 on failure (with a
// message). With segment assembly on (LRIT_set_assemble) the sibling
// segment files of the same image (the same name apart from the segment
// number) are read too and the record holds the whole image.
int SAT_read_LRIT(const char* filename, IMG_report* report);

// The step-by-step reader over one file. LRIT_open returns 1 when the file
// could be opened (every header field reset), else 0 with a message.
int LRIT_open(const char* name);
int LRIT_close();
// Reads one header record: 1, or 0 when the headers are finished, the
// chain breaks off or no file is open.
int LRIT_header();
// Reads every header record and fills the record's size, text, date and
// domain. Returns 0.
int LRIT_read_header(IMG_report* image);
// LRIT_read_header, then the pixels. 0, or -1 (with a message) when they
// cannot be decoded.
int LRIT_read(IMG_report* image);

// Segment assembly (plot_param "lrit_all"): 1 on, 0 off (the default).
// Returns the previous setting.
int LRIT_set_assemble(int on);
int LRIT_get_assemble();

#endif
