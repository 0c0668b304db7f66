#include "gks_line.h"
