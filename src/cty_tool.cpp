#include "cty_tool.h"
