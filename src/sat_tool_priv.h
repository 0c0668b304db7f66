// Helpers shared by the stages of the satellite plot driver (sat_tool.cpp:
// the file loop; sat_remap.cpp: remapping, zoom and the plot domain;
// sat_domain.cpp: image domains at read time; sat_color.cpp: colour
// enhancement). Nothing outside these files may include this header.
#ifndef ZEM_SAT_TOOL_PRIV_H
#define ZEM_SAT_TOOL_PRIV_H

#ifndef ZEM_SAT_INTERNAL
#error "sat_tool_priv.h is private to the satellite driver (sat_*.cpp); use sat_tool.h"
#endif

#include "flag.h"
#include "region.h"
#include "sat_read.h"
#include "sat_tool.h"

// The source code that an image carries once it has been resampled onto
// another domain: it is then a plain picture in the package's own format.
inline constexpr int kSourceRemapped = kFormatImg;

// The driver's current "plot_param" settings (read-only for the stages).
const SAT_params& sat_params();
// The user's choice between satellite navigation ("tran_sat", 1) and the
// image grid ("tran_zem", 0) for remapping; -1 when neither was given.
int sat_tran_choice();

// The satellite navigation's image grid: 0-based image row r lies on
// satellite line lcor + lres * r, column c on element ecor + eres * c.
struct SatGrid {
    float lcor, ecor, lres, eres;
};
SatGrid sat_grid();

// Pixels of the output: the viewport when a device is open, else the
// "geometry" resource, else 640 x 427.
struct SatSize {
    int w;
    int h;
};
SatSize sat_target_size();

#endif
