// Plot session: opens, lays out, dumps and closes a plot through the graph
// set-up layer, decodes the plot-wide plot parameters, and turns the
// kernel's mouse and timer callbacks into zoom, resize, value print and
// refresh.
#ifndef ZEM_PLT_TOOL_H
#define ZEM_PLT_TOOL_H

#include "gks_tran.h"
#include "region.h"

typedef void (*PLT_callback_func)(int type, char* str, float x, float y);
typedef int (*PLT_domain_func)(Domain* domain);
typedef int (*PLT_refresh_func)();

int PLT_param_decode();
int PLT_open(float aspect);
int PLT_reset(float aspect);
int PLT_panel(float aspect);
int PLT_close();
void PLT_exit(int val);
int PLT_mess(const char* format, ...);

int PLT_set_view_offset(float v);
int PLT_set_view_offsets(float xn, float xx, float yn, float yx);
float PLT_get_view_offset();
int PLT_get_view_offsets(Glim* lim);
int PLT_get_view(Glim* lim);
Gws_type PLT_get_work_type();
int PLT_border(int on);
int PLT_set_bar(int v);
int PLT_bar();
int PLT_set_zoom(int v);
int PLT_get_zoom();
int PLT_get_full_lab();

int PLT_set_callback(PLT_callback_func func);
int PLT_set_zoom_func(PLT_domain_func func);
int PLT_set_resize_func(PLT_domain_func func);
int PLT_set_refresh_func(int sec, PLT_refresh_func func);

int PLT_print_values(char* event, float x, float y);
int PLT_print_location(char* event, float x, float y);
int PLT_plot_zoom(char* event, float x, float y);
int PLT_plot_resize(char* event, float x, float y);
void PLT_plot_refresh();

int PLT_set_dump(int type, const char* filename);
int PLT_dump(int frame);

// Plot-variable table of the data-overlay modules; in this program only the
// value printing consults it.
int VAR_set_type(int index, int type);

#endif
