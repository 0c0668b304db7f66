#include "maptran.h"
