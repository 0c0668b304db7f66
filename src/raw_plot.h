// Raw (point) data files drawn as a map layer ("rf:" entries of a map list):
// one report per line, placed by its latitude and longitude.
#ifndef ZEM_RAW_PLOT_H
#define ZEM_RAW_PLOT_H

// Draw the reports of raw data file `path` on the active map domain. The
// file holds one report per line, "id lat lon [value ...]" separated by
// white space ('#' starts a comment line); reports at -9999 are skipped.
// Resources: "color_data" (default "green") the colour, "plot_scale"
// (default 1.0) the size, "plot_format" what is drawn at each report, a
// comma-separated list of "mark" (a plus sign), "id" (the identifier, above
// left) and "v1" ... "v9" (that value, right of the position; default
// "mark,v1"). `flag` is reserved. Returns the number of reports drawn, 0
// when the file cannot be opened.
int RAW_plot_file(const char* path, int flag);

#endif
