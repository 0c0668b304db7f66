#include "gks_colr.h"
