#include "gks_x11.h"
