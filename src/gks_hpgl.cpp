// HPGL workstation: opening it reports that the device is not built yet,
// so the kernel never routes drawing here.
#include "gks_hpgl.h"

#include "mess.h"

Gint ghpgl_open(Gws_type, const char*) {
    MESS_print(M_warn, "ghpgl_open: HPGL device not built yet\n");
    return -1;
}

Gint ghpgl_close() { return 0; }
