#include "xdump.h"
