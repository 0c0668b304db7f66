#include "map.h"
