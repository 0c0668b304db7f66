#include "mqueue.h"
