// Plot labels: the six corner texts of a plot, with overlay rows, and their
// drawing at the end of every frame.
#ifndef ZEM_PLT_LABL_H
#define ZEM_PLT_LABL_H

#include "date.h"

int PLT_init_labels();
int PLT_label_up_left(const char* str);
int PLT_label_up_center(const char* str);
int PLT_label_up_right(const char* str);
int PLT_label_low_left(const char* str);
int PLT_label_low_center(const char* str);
int PLT_label_low_right(const char* str);
int PLT_label_strcpy(int lab, const char* str);
int PLT_label_strcat(int lab, const char* str);
const char* PLT_get_label(int lab, int row);
int PLT_set_overlay(int n);
int PLT_set_overlay_base(int n);
int PLT_set_num_overlay(int n);
int PLT_next_overlay();
int PLT_get_overlay_base();
int PLT_get_num_over();
int PLT_get_label_type();
int PLT_set_label_type(int v);
int PLT_label_date(Date* date);
int PLT_label_for_time(long fhour);
// Formats a label text with date codes into `str` (at least 80 chars).
int PLT_label_format(const char* form, char* str);
int PLT_labels();
// Called by PLT_labels with each label it prints: position (0-5), row, the
// text's reference point in normalised coordinates (transform 1), the text
// height and the text. For diagnostics and tests; null switches it off.
// Returns the previous observer.
typedef void (*PLT_label_observer)(int lab, int row, float x, float y, float size,
                                   const char* text);
PLT_label_observer PLT_set_label_observer(PLT_label_observer func);

#endif
