// HP-GL/2 device of the graphics kernel (not built yet: opening it fails).
#ifndef ZEM_GKS_HPGL_H
#define ZEM_GKS_HPGL_H

#include "gks_tran.h"

// Open the device on the connection items (file name first). Returns 0, or
// -1 with a message while the device is not built.
Gint ghpgl_open(Gws_type type, const char* conn_id);
Gint ghpgl_close();

#endif
