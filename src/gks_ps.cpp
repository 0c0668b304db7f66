#include "gks_ps.h"
