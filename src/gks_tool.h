// Graph set-up layer of the graphics kernel: opens the kernel and the one
// workstation from the "device" resource, lays out the plot panel, and gives
// the plot framework short calls for transforms, shapes and attributes.
#ifndef ZEM_GKS_TOOL_H
#define ZEM_GKS_TOOL_H

#include "colors.h"
#include "gks_tran.h"

// Choose the workstation type (flag 2, batch mode, or ask), open everything
// and lay out the panel. offset holds margins on entry and the panel (NDC)
// on return, as for GPH_panel. Exits the process with status 4 when the
// kernel or the workstation cannot be opened.
Gint GPH_setup(Gint* ws_id, Gws_type* ws_type, float asp_ratio, Glim* offset);
// Open the kernel and workstation 1 unless already open (type 0 prompts).
Gint GPH_begin(Gint* ws_id, Gconn_id conn_id, Gws_type* ws_type);
// Fresh page: clear, transforms 1 and the workstation window from the
// device's maximum view, panel, colour table, default font.
Gint GPH_reset(Gint* ws_id, Gws_type* ws_type, float asp_ratio, Glim* offset);
// Panel of the given aspect inside the sub-view less the margins in offset
// (x_min left, x_max right, y_min bottom, y_max top, fractions of the
// sub-view); transforms 2 and 3 get it as window and viewport; the panel is
// returned in offset.
Gint GPH_panel(Gint* ws_id, Gws_type* ws_type, float asp_ratio, Glim* offset);
Gint GPH_end(Gint ws_id);
// Show the picture; on a new X11 window run the interactive hold loop.
Gint GPH_hold(Gint ws_id);

Gint GPH_set_view_size(float sx, float sy, float ox, float oy);
Gint GPH_get_view_size(Glim* lim);
float GPH_get_vert_win_size();
Gint GPH_set_win_title();
// Type 0: ask "Display (D) or Postscript (P): "; P gives 4, else 1.
Gint GPH_device_prompt(int* ws_type);
// Split "device,connection": copies the connection part (possibly empty)
// into conn_id, which must hold strlen(str) + 1 bytes; returns the type code
// of the device letter.
int gdevice_setup(const char* str, char* conn_id);
// Device letter -> workstation type: P 4; H, Q 5; M 3; W 6; else 1.
int gdevice_letter_type(int letter);

Gint GPH_trans(Gint n);
Gint GPH_view(Gint n, const Glim* lim);
Gint GPH_win(Gint n, const Glim* lim);
Gint GPH_get_view(Gint n, Glim* lim);
Gint GPH_get_win(Gint n, Glim* lim);
Gint GPH_print_view(const Glim* lim);

Gint GPH_line(float x1, float y1, float x2, float y2);
Gint GPH_mark(float x, float y);
Gint GPH_border(const Glim* lim);
Gint GPH_rect(float x1, float y1, float x2, float y2);
Gint GPH_frect(float x1, float y1, float x2, float y2);
Gint GPH_circle(float x, float y, float rad);
Gint GPH_fcircle(float x, float y, float rad);
Gint GPH_pprint(Gpt* pt, const char* str);
Gint GPH_pprintf(Gpt* pt, const char* format, ...) __attribute__((format(printf, 2, 3)));
Gint GPH_printf(float x, float y, const char* format, ...) __attribute__((format(printf, 3, 4)));

// Attribute records: a field holding -9999 is left unchanged; a null record
// gives the defaults listed with each function in gks_tool.cpp.
Gint GPH_line_attr(const Gattribs* attr);
Gint GPH_fill_attr(const Gattribs* attr);
Gint GPH_mark_attr(const Gattribs* attr, float scale);
Gint GPH_text_attr(const Gattribs* attr, float scale);
Gint GPH_text_font(const char* name);
Gint GPH_set_def_font(const char* name);
Gint GPH_text_align(int h, int v);
Gint GPH_get_text_align(int* h, int* v);
Gint GPH_text_rotate(float deg);
Gint GPH_set_color(int ind, float r, float g, float b);

#endif
