// LRIT satellite files. The reader is later work; until then the entry
// point says so and fails, so the driver skips the file.
#include "lrit.h"

#include "mess.h"

int SAT_read_LRIT(const char* /*filename*/, IMG_report* /*report*/) {
    MESS_print(M_warn, "SAT_read_LRIT: LRIT reader not built yet\n");
    return -1;
}
