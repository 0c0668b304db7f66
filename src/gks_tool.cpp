#include "gks_tool.h"
