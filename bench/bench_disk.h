// The case that the remapping benchmarks share: a 5424 x 5424 full-disk
// geostationary image (satellite-view projection, 56 microradians per
// pixel, sub-point 0N 75W) and a 2000 x 1500 Lambert conformal domain over
// North America (tangent at 25N, 3 km cells).
#ifndef ZEM_BENCH_DISK_H
#define ZEM_BENCH_DISK_H

#include "region.h"

namespace {

constexpr int kDisk = 5424;
constexpr int kOutW = 2000;
constexpr int kOutH = 1500;

inline Domain disk_domain()
{
    Domain d;
    DOM_init(&d);
    d.proj = 9;
    d.plat = 0.0f;
    d.plon = -75.0f;
    d.param[0] = 421.64f;  // satellite distance, hundreds of km
    d.param[1] = 1.0f;     // map units are scan angles x distance
    d.ellipse = 1;
    d.clat = 0.0f;
    d.clon = -75.0f;
    d.nx = d.ny = kDisk;
    d.dx = d.dy = 421.64f * 56e-6f;
    return d;
}

inline Domain lambert_domain()
{
    Domain d;
    DOM_init(&d);
    d.proj = 4;
    d.param[0] = d.param[1] = 25.0f;
    d.clat = 38.0f;
    d.clon = -95.0f;
    d.nx = kOutW;
    d.ny = kOutH;
    d.dx = d.dy = 0.03f;  // 3 km
    return d;
}

// Counts of the synthetic disk: stripes, shifted per loop frame.
inline unsigned char disk_count(int line, int elem, int shift)
{
    return static_cast<unsigned char>((line * 3 + elem * 5 + shift) & 255);
}

}  // namespace

#endif
