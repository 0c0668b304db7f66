// Image display: puts a raster image record into the current drawable in the
// pixel format of the X11 visual, overlays an image with one colour
// transparent, and reads the picture back from the window into a record.
#ifndef ZEM_GKS_IMG_H
#define ZEM_GKS_IMG_H

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "sat_read.h"

// Image file type written by gsave_image_file: 56 GIF, 58 PNG, else XWD.
inline constexpr int GKS_SAVE_GIF = 56;
inline constexpr int GKS_SAVE_PNG = 58;

// Put the image at the viewport's top-left corner plus (x, y); a negative x
// (y) aligns the right (bottom) edges first. The image's colour indices are
// rewritten in place with device pixels on colour-indexed displays.
int gload_image(IMG_report* image, int x, int y);
int gload_image_file(const char* name, int x, int y);
// As gload_image, but pixels of the `background` colour let the picture
// underneath show through.
int goverlay_image(IMG_report* image, const char* background, int x, int y);
int goverlay_image_file(const char* name, const char* background, int x, int y);
int gread_image_file(const char* name, IMG_report* image);
int gquery_image_file(const char* name, IMG_report* image);
// Read the draw window back into `image` (which owns the copy); 1 or 0.
int gget_image(IMG_report* image);
int gsave_image_file(const char* name);
// Reads the draw window back and hands the picture to `write` (an image-file
// writer: 1 on success); the picture is freed afterwards. 0 when there is no
// picture to read. The writer may change the record's fields but not its
// pixels: the off-screen workstation lends its own picture.
typedef int (*Gimage_writer)(const char* name, IMG_report* image);
int gwrite_window_image(const char* name, Gimage_writer write);
int gset_save_image_type(int type);
int gget_save_image_type();
// Map the image's colours to device pixels (colour-indexed displays only);
// `trans` is the pixel that near colours of the transparent one map to.
int gsetup_image_colors(IMG_report* image, int trans);
// Fill `ximage` for the window's visual; returns 1, or 0 when a conversion
// buffer cannot be had. A buffer allocated here is left in ximage->data and
// must be freed by the caller when it differs from image->data.
int gset_ximage_params(IMG_report* image, XImage* ximage);

#endif
