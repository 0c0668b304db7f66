// PostScript device of the graphics kernel (not built yet: opening it fails).
#ifndef ZEM_GKS_PS_H
#define ZEM_GKS_PS_H

#include "gks_tran.h"

// Open the device on the connection items (file name first). Returns 0, or
// -1 with a message while the device is not built.
Gint gps_open(Gws_type type, const char* conn_id);
Gint gps_close();

#endif
