#include "gks_text.h"
