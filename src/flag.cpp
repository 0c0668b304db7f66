#include "flag.h"
