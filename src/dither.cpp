#include "dither.h"
