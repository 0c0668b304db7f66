// PostScript workstation: opening it reports that the device is not built yet,
// so the kernel never routes drawing here.
#include "gks_ps.h"

#include "mess.h"

Gint gps_open(Gws_type, const char*) {
    MESS_print(M_warn, "gps_open: PostScript device not built yet\n");
    return -1;
}

Gint gps_close() { return 0; }
