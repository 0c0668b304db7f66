#include "sat_read.h"
