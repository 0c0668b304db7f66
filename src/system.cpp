#include "system.h"
