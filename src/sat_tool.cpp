#include "sat_tool.h"
