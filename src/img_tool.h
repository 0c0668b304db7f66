// Image files: recognition of any supported image file by its first bytes,
// the package's own ZEMIMG format (plain, zlib-compressed, separate data),
// and the life cycle of an IMG_report's buffers.
#ifndef ZEM_IMG_TOOL_H
#define ZEM_IMG_TOOL_H

#include "mess.h"
#include "sat_read.h"

// Codes IMG_query gives for a file's kind.
inline constexpr int kImgUnknown = -1;   // cannot be opened or read
inline constexpr int kImgZem = 50;       // ZEMIMG
inline constexpr int kImgGif = 56;       // GIF
inline constexpr int kImgPng = 57;       // PNG
inline constexpr int kImgXwd = 58;       // anything else: taken as an X window dump

// Clears `image` to the empty record (no buffers; it does not free them).
int IMG_init(IMG_report* image);
// Releases `data` and `colors`, clears both, num_colors = 0. Returns 0.
int IMG_free(IMG_report* image);
// Copies `source` into `target` with a private copy of the pixel buffer
// (depth*(width+1)*height/8 bytes) and of the colour map. 1, or 0 when the
// copy cannot be allocated (target then owns no buffers).
int IMG_copy(IMG_report* target, const IMG_report* source);
// Prints the record's fields and domain at `mess`.
int IMG_print(M_type mess, const IMG_report* image);

// Recognises the kind of an image file from its first bytes (after an
// optional "** " comment line): one of the kImg codes above.
int IMG_query(const char* filename);
// Reads any supported image file. 1 on success; 0 or -1 on failure, with
// the record's buffers released. `type` 1 asks for the header only where the
// format reader supports it.
int IMG_read(const char* filename, IMG_report* image, int type);
// Reads a ZEMIMG file: 1 success, -1 unopenable/invalid file, 0 when the
// pixel buffer cannot be allocated.
int IMG_read_zem(const char* filename, IMG_report* image, int type);
// Writes `image` as ZEMIMG, zlib-compressed when bit 1 of `type` is set.
// The header is version 3 for unprojected images and projections 1, 2, 3,
// 4 and 9; version 4 (a domain string) for other projections or when bit 2
// of `type` is set. Images that are not plain 8-bit are converted to one
// byte per pixel. 1, or 0 when the file cannot be created or written.
int IMG_write(const char* filename, IMG_report* image, int type);
// Pause between reads while inflating a compressed file that is still being
// written (default 1 second, ten pauses at most). Returns 0.
int IMG_set_read_wait(float secs);
// Writes the image of the current window frame as an uncompressed ZEMIMG
// file: description "<upper-left label> [<lower-right label>]", date label
// the upper-right label, and the active map domain (sized to the picture)
// when the view offset is at most 0.7. 1, or 0 when there is no picture or
// the write fails.
int IMG_dump(const char* filename);

#endif
