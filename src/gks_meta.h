// Metafile device of the graphics kernel (workstation type 3): the
// package's own line-oriented text metafile ("ZEMMETA"), which the kernel
// reads back and replays, or a small binary CGM picture (ISO 8632-3).
#ifndef ZEM_GKS_META_H
#define ZEM_GKS_META_H

#include <cstdio>

#include "gks_tran.h"

// "|command" pipes, "+name" appends, anything else creates the file.
std::FILE* gmeta_open_file(const char* name);
Gint gmeta_init_file();
Gint gmeta_close_file();
// Writes only on an open text metafile.
Gint gmeta_printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
Gint gmeta_set_type(int type);  // 0 text, 1 binary CGM
int gmeta_get_type();
// One CGM element header: class, element, parameter length (31 selects the
// long form), and the long-form length when long_length >= 1.
Gint gcgm_control(int cls, int element, int length, int long_length);
// A point as two 16-bit print units: from world coordinates / print units.
Gint gcgm_point(float x, float y);
Gint gcgm_ps_point(float x, float y);
// Replay a text metafile onto the open workstation in the current
// transform set-up. Returns 0 (a file that cannot be opened is reported).
Gint gread_metafile(const char* path);

#endif
