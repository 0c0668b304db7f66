// LRIT satellite files (segmented, CGMS header records).
#ifndef ZEM_LRIT_H
#define ZEM_LRIT_H

#include "sat_read.h"

// Reads an LRIT image into `report`; 0 on success, -1 on failure. Not built
// yet: prints so and returns -1.
int SAT_read_LRIT(const char* filename, IMG_report* report);

#endif
