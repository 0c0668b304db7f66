#include "def_read.h"
