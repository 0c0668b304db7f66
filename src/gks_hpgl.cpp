#include "gks_hpgl.h"
