#include "gks_evnt.h"
