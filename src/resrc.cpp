#include "resrc.h"
