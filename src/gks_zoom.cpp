#include "gks_zoom.h"
