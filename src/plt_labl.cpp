#include "plt_labl.h"
