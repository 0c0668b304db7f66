// metafile workstation: opening it reports that the device is not built yet,
// so the kernel never routes drawing here.
#include "gks_meta.h"

#include "mess.h"

Gint gmeta_open(Gws_type, const char*) {
    MESS_print(M_warn, "gmeta_open: metafile device not built yet\n");
    return -1;
}

Gint gmeta_close() { return 0; }
