// Shared inside the map background module only (map.cpp, map_grid.cpp):
// the pen that turns projected points into kernel polylines.
#ifndef ZEM_MAP_PRIV_H
#define ZEM_MAP_PRIV_H

#ifndef ZEM_MAP_INTERNAL
#error "map_priv.h is private to the map background module"
#endif

#include <vector>

#include "gks_tran.h"

namespace mapbg {

// The primitives a pen handed to the kernel, to hand them over again: the
// points of each in turn, and their counts.
struct Lines {
    std::vector<Gpt> pts;
    std::vector<int> sizes;
};

// Collects connected points into polylines (or, for filled files, areas)
// and hands them to the kernel. Lines are clipped to the map window widened
// by one window size on every side: what lies beyond can never show, and
// the X11 device keeps pixel positions in 16 bits, so points far off a
// zoomed map would wrap around onto it.
class Pen {
public:
    Pen(const Glim& window, bool fill);
    Pen(const Pen&) = delete;
    Pen& operator=(const Pen&) = delete;
    ~Pen() { flush(); }

    // Start a new line at (x, y), drawing what was pending.
    void move(float x, float y);
    // Extend the current line to (x, y); without a current line, start one.
    void draw(float x, float y);
    // Draw what is pending; the next draw starts a new line.
    void flush();
    // Number of kernel primitives drawn so far.
    int count() const { return drawn_; }
    // Also appends every primitive drawn from now on to `lines` (null: stop).
    void record(Lines* lines) { rec_ = lines; }

private:
    bool clip(Gpt& a, Gpt& b) const;

    float x0_, x1_, y0_, y1_;  // clip box
    bool fill_;
    bool have_last_ = false;
    Gpt last_{0.0f, 0.0f};
    std::vector<Gpt> pts_;
    int drawn_ = 0;
    Lines* rec_ = nullptr;
};

// Period of the wrap-around edge at height y for projections that have one
// (latitude-longitude, Mercator, Mollweide), else 0.
float wrap_period(int proj, float y);

}  // namespace mapbg

#endif
