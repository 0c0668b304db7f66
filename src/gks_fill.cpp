#include "gks_fill.h"
