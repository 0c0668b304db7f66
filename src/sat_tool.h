// Satellite plot driver, image remapping and zoom, and colour enhancement.
// Implemented by stage: sat_tool.cpp (the file loop), sat_remap.cpp
// (remapping, zoom, plot domain), sat_domain.cpp (image domains at read
// time) and sat_color.cpp (colour enhancement).
#ifndef ZEM_SAT_TOOL_H
#define ZEM_SAT_TOOL_H

#include "region.h"
#include "sat_read.h"

// ===== Plot driver =====
// The program's per-file plotting loop. One image record, one requested
// domain and one plot domain live here for the whole run; every function
// works on that hidden state.

// Reads the resources "input" and "in_file": sets the input-format flag (14)
// and the input file-name convention. Returns 0.
int SAT_in_file();
// Reads "out_file": sets the output naming convention. Returns 0 (no image
// file), 1 (package image format, plain) or 2 (compressed).
int SAT_out_file();
// Anchors the file sequence at `datim`; null takes the file module's current
// file date. Returns 0.
int SAT_set_date(Date* datim);
// Decodes the "plot_param" resource into the driver's settings. Returns 0.
int SAT_plot_param();
// The plot loop over the file sequence; also the zoom and resize function of
// the plot session, which calls it again with a new domain. Returns 0.
int SAT_plot(Domain* domain);
// Draws the current image as one frame and frees its pixels. Returns 0.
int SAT_plot_frame();
// The 60-second refresh: appends the newest file to the animation. Returns 0.
int SAT_plot_nextfile();
// Mouse and event callback: value print, zoom, resize in that order.
void SAT_callback(int type, char* str, float x, float y);

// The settings that "plot_param" decodes, kept by the driver. `cutoff` has a
// slot per class boundary: classes are cutoff[k] <= v < cutoff[k + 1] for
// k = 0..numcut. -9999 in min_lon / max_lon means no limit.
struct SAT_params {
    int remap_inc;     // navigate every N-th output pixel of a row (0: projections only)
    int pix_ave;       // 1 bilinear, 0 nearest neighbour
    int pix_off;       // added to every plotted pixel, clamped to 0..255
    float min_lon;     // longitude window, -9999 = none
    float max_lon;
    float zoom;        // extra zoom applied to every image
    int fill;          // fill pattern index of the enhancement
    int over;          // 1: image drawn as overlay, black shows the background
    int bar;           // 0 none, 1 colour bar, 2 infrared bar
    int refresh;       // 1: refresh every 60 seconds
    int cutbase;       // value that may join any class
    int cutoff[257];   // class boundaries
    int numcut;        // number of classes - 1; 0 = no classes
};

// Copies the current settings out / replaces them. Return 0.
int SAT_get_params(SAT_params* out);
int SAT_set_params(const SAT_params* in);
// Back to the start-up settings (remap 20, averaging on, no window, zoom 1).
int SAT_reset_params();
// Single settings read by the colour enhancement.
int SAT_get_fill();
int SAT_get_bar();

// ===== Remapping and zoom =====
// Works out the map domain of a freshly read image, resamples an image onto
// another domain or enlarges part of it, and sets the plot domain.


// Fills image->domain for an AREA image from its navigation block. Returns 0.
int AREA_calc_domain(IMG_report* image, MC_area* area);
// Fills image->domain (satellite view) for a three-axis navigated image.
// Returns 0.
int GVAR_calc_domain(IMG_report* image);
// Sizes the requested domain so that it has one pixel per screen pixel (the
// viewport, else the "geometry" resource, else 640x427). Returns 0.
int SAT_domain_image(Domain* domain);
// Resamples `image` onto `domain` in place (the old pixels are freed).
// Returns 1 after remapping, 0 when domain has no projection.
int SAT_remap_image(IMG_report* image, Domain* domain);
// Enlarges `image` by `zoom` around latitude cx, longitude cy (-9999: the
// image centre), in place; AREA navigation is re-targeted to the new pixels.
// Returns 0.
int SAT_zoom_image(IMG_report* image, float cx, float cy, float zoom);
// Builds the plot domain from the image's domain and the viewport, and adds
// the pixel offset. Returns 0.
int SAT_image_setup(IMG_report* image, Domain* domain);
// The value the remapper stores for fractional source line `r`, element `c`
// of an 8-bit image (0 outside), under the current averaging and class
// settings.
int SAT_sample_pixel(const IMG_report* image, float r, float c);
// Fills lines[] and elems[] (domain->nx entries each) with the fractional
// source line and element that remapping `image` onto `domain` (already
// sized) uses for output row `row`; -1 marks a pixel without a source.
// Returns 0, -1 for bad arguments.
int SAT_remap_source(const IMG_report* image, Domain* domain, int row, float* lines,
                     float* elems);
// Keeping the source positions of the last remap for the next frame (on by
// default): on = 0 drops them and stops keeping them. Returns how many
// remaps have reused kept positions so far.
int SAT_remap_cache(int on);

// ===== Colour enhancement =====
// Turns 8-bit image counts into colour-table indices through an ordered
// list of bins (break value, colour, optional half-tone), built per frame
// from the resource "color_fill" or the colour table's fill colours, and
// draws the colour bar.

// Builds the enhancement tables for the next frame. Returns 0 (also when an
// enhancement file cannot be read: a warning is printed and the tables are
// left half built).
int SAT_color_setup();
// Adds the bin(s) of one enhancement entry at bin `*num`, advancing it.
// Returns 0.
int SAT_decode_colors(const char* str, int* num);
// Colours an 8-bit image in place and attaches a copy of the colour table
// (released with the record). Other depths keep their pixels. Returns 0.
int SAT_color_image(IMG_report* image);
// Infrared temperature (degrees C) to pixel value and back, by the source
// of the last image read (51 AREA, 53 GINI, 55 Unisys; others give 0).
int SAT_ir_ind(float temp);
float SAT_ind_ir(int ind);
// The same relations for an explicit source code.
int SAT_ir_ind_source(int source, float temp);
float SAT_ind_ir_source(int source, int ind);
// Draws the colour bar below the plot viewport; flag 1 adds temperature
// ticks. Returns -1 when there is no room below the viewport, else 0.
int SAT_color_bar(int flag);

// Read-only views of the tables, for value printing and tests.
// Colour index of pixel value v (0-255); -1 outside.
int SAT_get_color_ind(int v);
// Bin number of pixel value v; -1 outside.
int SAT_get_color_bin(int v);
// Break value, colour entry (1000 added for interpolating bins), dither
// level and second colour of bin b; -1 (break: -9999) outside the bins.
int SAT_get_bin(int b, int* cut, int* fill_ind, int* dither, int* dith_ind);
// Number of bins, dither mode and enhancement name.
int SAT_get_num_bins();
int SAT_get_dither_mode();
const char* SAT_get_enhance_name();
// Per pixel value dither level and second colour; -1 outside.
int SAT_get_pixel_dither(int v, int* level, int* second);
// Forget the dither mode chosen by the first half-tone entry (it is
// otherwise kept for the run).
int SAT_reset_dither_mode();

#endif
