#include "sat_tran.h"
