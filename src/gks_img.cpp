#include "gks_img.h"
