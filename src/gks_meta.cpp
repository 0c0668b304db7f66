#include "gks_meta.h"
