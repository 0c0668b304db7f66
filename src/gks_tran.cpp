#include "gks_tran.h"
