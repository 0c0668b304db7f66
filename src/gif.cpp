#include "gif.h"
