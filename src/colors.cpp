#include "colors.h"
