// text metafile and CGM device of the graphics kernel (not built yet: opening it fails).
#ifndef ZEM_GKS_META_H
#define ZEM_GKS_META_H

#include "gks_tran.h"

// Open the device on the connection items (file name first). Returns 0, or
// -1 with a message while the device is not built.
Gint gmeta_open(Gws_type type, const char* conn_id);
Gint gmeta_close();

#endif
