#include "plt_tool.h"
