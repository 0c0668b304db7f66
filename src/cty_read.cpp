#include "cty_read.h"
