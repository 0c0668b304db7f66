// Ordered dither for half-toned enhancement bins: 3 by 3 (levels 0-9) and
// 5 by 5 (levels 0-25) threshold patterns.
#ifndef ZEM_DITHER_H
#define ZEM_DITHER_H

// Dither modes.
inline constexpr int kDitherNone = 0;
inline constexpr int kDither3 = 3;
inline constexpr int kDither5 = 5;

// 1 when pixel (x, y) shows the second colour at this level, else 0. The
// level is clamped to the mode's range; any mode but 3 and 5 gives 0.
int DITHER_val(int mode, int level, int x, int y);

#endif
