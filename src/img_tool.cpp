#include "img_tool.h"
