#include "lrit.h"
