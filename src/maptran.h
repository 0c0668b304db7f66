// Map projections: conversions between latitude/longitude and projected and
// grid coordinates for the one active domain.
#ifndef ZEM_MAPTRAN_H
#define ZEM_MAPTRAN_H

#include "region.h"

// The projected extent of a domain (both x limits first).
struct MAP_limits {
    float x_min;
    float x_max;
    float y_min;
    float y_max;
};

// A latitude/longitude pair in degrees, longitude east-positive.
struct EarthPoint {
    float lat;
    float lon;
};

// A projected coordinate pair.
struct Point {
    float x;
    float y;
};

#endif
