#include "gks_mark.h"
