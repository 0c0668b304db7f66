#include "gks_loop.h"
