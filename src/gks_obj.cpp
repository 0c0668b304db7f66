#include "gks_obj.h"
