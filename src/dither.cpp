// Ordered dither: threshold matrices in which level k marks exactly k cells,
// each level adding one cell to the cells of the level below, so a bin
// half-toned at level k shows its second colour in k of every 9 (or 25)
// pixels.
#include "dither.h"

#include <algorithm>

namespace {

// Indexed [x mod 3][y mod 3].
constexpr int kMatrix3[3][3] = {
    {3, 7, 5},
    {8, 1, 9},
    {4, 6, 2},
};

// Indexed [x mod 5][y mod 5].
constexpr int kMatrix5[5][5] = {
    {2, 17, 7, 21, 12},
    {20, 10, 14, 4, 24},
    {11, 25, 1, 16, 6},
    {15, 5, 22, 9, 19},
    {13, 18, 3, 23, 8},
};

// Non-negative remainder, so that negative coordinates still tile.
int wrap(int v, int n) {
    int r = v % n;
    return r < 0 ? r + n : r;
}

}  // namespace

int DITHER_val(int mode, int level, int x, int y) {
    switch (mode) {
    case kDither3:
        return kMatrix3[wrap(x, 3)][wrap(y, 3)] <= std::clamp(level, 0, 9) ? 1 : 0;
    case kDither5:
        return kMatrix5[wrap(x, 5)][wrap(y, 5)] <= std::clamp(level, 0, 25) ? 1 : 0;
    default:
        return 0;
    }
}
