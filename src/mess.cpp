#include "mess.h"
