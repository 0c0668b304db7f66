// Latitude/longitude grid of the map background: circles and meridians with
// their labels on the left and bottom edges, and the rectangular grid of
// diagram domains.
#define ZEM_MAP_INTERNAL
#include <cmath>
#include <cstdio>
#include <string>

#include "gks_text.h"
#include "gks_tool.h"
#include "map.h"
#include "map_priv.h"
#include "tools.h"

namespace {

constexpr float kGridJump = 50.0f;  // x jump of a grid segment taken as a wrap-around

// Period used to continue a grid segment across the wrap-around edge.
float grid_period(int proj) {
    switch (proj) {
    case 2: return 360.0f;
    case 3: return 400.31555f;
    case 4: return 1000.0f;
    default: return 0.0f;
    }
}

void label(float x, float y, int hor, int vert, const std::string& text) {
    GPH_text_align(hor, vert);
    Gpt p{x, y};
    GPH_pprint(&p, text.c_str());
}

std::string lat_label(float lat) {
    if (std::fabs(lat) < 1e-4f) return "EQ";
    char buf[32];
    std::snprintf(buf, sizeof buf, lat > 0.0f ? "%1.0fN" : "%1.0fS", std::fabs(lat));
    return buf;
}

std::string lon_label(float lon) {
    if (std::fabs(lon) < 1e-4f) return "PM";
    if (std::fabs(std::fabs(lon) - 180.0f) < 1e-4f) return "DL";
    char buf[32];
    std::snprintf(buf, sizeof buf, lon > 0.0f ? "%1.0fE" : "%1.0fW", std::fabs(lon));
    return buf;
}

// Follows one grid line through its points; `along` gives the n-th point's
// (lat, lon). Segments whose two ends are visible are drawn; a crossing of
// the left edge (circles) or bottom edge (meridians) gets the label.
template <typename Along>
void grid_line(mapbg::Pen& pen, const Glim& w, int proj, bool circle, int n, Along along,
               const std::string& text) {
    const float off = 0.01f * (w.x_max - w.x_min);
    const float period = circle ? grid_period(proj) : 0.0f;
    bool have = false;
    float px = 0.0f, py = 0.0f;
    for (int i = 0; i < n; ++i) {
        float lat = 0.0f, lon = 0.0f, x = 0.0f, y = 0.0f;
        along(i, lat, lon);
        if (MAP_tran(lat, lon, &x, &y) != 1) {
            pen.flush();
            have = false;
            continue;
        }
        if (!have) {
            pen.move(x, y);
        } else if (std::fabs(x - px) > kGridJump && period > 0.0f) {
            const float shift = px > x ? period : -period;
            pen.draw(x + shift, y);
            pen.move(px - shift, py);
            pen.draw(x, y);
        } else {
            pen.draw(x, y);
            if (circle && (px <= w.x_min) != (x <= w.x_min)) {
                const float yl = py + (w.x_min - px) * (y - py) / (x - px);
                if (yl > w.y_min && yl < w.y_max) label(w.x_min + off, yl, GLEFT_HOR, GHALF_VERT, text);
            }
            if (!circle && (py <= w.y_min) != (y <= w.y_min)) {
                const float xl = px + (w.y_min - py) * (x - px) / (y - py);
                if (xl > w.x_min && xl < w.x_max) label(xl, w.y_min + off, GCENTER_HOR, GBASE_VERT, text);
            }
        }
        have = true;
        px = x;
        py = y;
    }
    pen.flush();
}

// Labels repeated along a line every `extra` degrees (the second coordinate
// of `at`), centred on the line.
template <typename At>
void extra_labels(const Glim& w, int extra, float step, float limit, At at, const std::string& text) {
    const int q = -static_cast<int>(limit) / extra;
    const float e = static_cast<float>(extra);
    const float start = std::trunc((e * static_cast<float>(q) - e / 2.0f) / step) * step - step / 2.0f;
    for (float v = start; v < limit + 1.0f && v <= 180.0f; v += e) {
        float lat = 0.0f, lon = 0.0f, x = 0.0f, y = 0.0f;
        at(v, lat, lon);
        if (MAP_tran(lat, lon, &x, &y) != 1) continue;
        if (x > w.x_min && x < w.x_max && y > w.y_min && y < w.y_max)
            label(x, y, GCENTER_HOR, GHALF_VERT, text);
    }
}

// Rectangular grid of diagram domains: x lines every dlat, y lines every
// dlon; a negative spacing aligns the first line to a multiple of it.
int diagram_grid(const Glim& w, int proj, float dlat, float dlon) {
    auto first = [](float from, float step) {
        return step < 0.0f ? std::ceil(from / -step) * -step : from;
    };
    const float sx = std::fabs(dlat), sy = std::fabs(dlon);
    if (!(sx > 0.0f) || !(sy > 0.0f)) return -1;
    const float off = 0.01f * (w.x_max - w.x_min);
    char buf[32];
    const int nx = static_cast<int>((w.x_max - first(w.x_min, dlat)) / sx) + 1;
    for (int i = 0; i < nx && i < 10000; ++i) {
        const float x = first(w.x_min, dlat) + static_cast<float>(i) * sx;
        GPH_line(x, w.y_min, x, w.y_max);
        if (proj != 24) {
            std::snprintf(buf, sizeof buf, "%2.2f", static_cast<double>(x));
            label(x, w.y_min - off, GCENTER_HOR, GTOP_VERT, buf);
        }
    }
    const bool down = proj == 22 || proj == 41;
    const float y0 = down ? -first(-w.y_max, dlon) : first(w.y_min, dlon);
    const int ny = static_cast<int>((w.y_max - w.y_min) / sy) + 1;
    for (int i = 0; i < ny && i < 10000; ++i) {
        const float y = down ? y0 - static_cast<float>(i) * sy : y0 + static_cast<float>(i) * sy;
        if (y < w.y_min || y > w.y_max) continue;
        GPH_line(w.x_min, y, w.x_max, y);
        std::snprintf(buf, sizeof buf, "%2.2f", static_cast<double>(y));
        label(w.x_min - off, y, GRIGHT_HOR, GHALF_VERT, buf);
    }
    return 0;
}

}  // namespace

int MAP_lines(float dlat, float dlon) {
    if (is_missing(dlat) || is_missing(dlon)) return -1;
    Glim w{};
    if (MAP_get_window(&w) != 0) return -1;
    const int proj = MAP_get_proj();
    if (proj < 1 || proj > 9) return diagram_grid(w, proj, dlat, dlon);
    if (!(dlat > 0.0f) || !(dlon > 0.0f) || dlat > 90.0f || dlon > 360.0f) return -1;
    int extra = 0;
    MAP_get_latlon(nullptr, nullptr, nullptr, &extra);
    mapbg::Pen pen(w, false);

    // Latitude circles: 0, dlat, ... below 90, then -dlat, ... above -90;
    // each from -180 to -175 and on in steps of 2.5 to 180.
    constexpr int kCirclePoints = 2 + 142;
    auto circle = [&](float lat) {
        const std::string text = lat_label(lat);
        grid_line(pen, w, proj, true, kCirclePoints,
                  [lat](int i, float& la, float& lo) {
                      la = lat;
                      lo = i == 0 ? -180.0f : -175.0f + 2.5f * static_cast<float>(i - 1);
                  },
                  text);
        if (extra > 0)
            extra_labels(w, extra, dlon, 180.0f, [lat](float v, float& la, float& lo) { la = lat; lo = v; }, text);
    };
    for (int k = 0; static_cast<float>(k) * dlat < 90.0f; ++k) circle(static_cast<float>(k) * dlat);
    for (int k = 1; -static_cast<float>(k) * dlat > -90.0f; ++k) circle(-static_cast<float>(k) * dlat);

    // Meridians: 0, dlon, ... up to 180, then -dlon, ... above -180; each
    // from -L to L in steps of dlat.
    const float top = (proj == 1 || proj == 4 || proj == 9) ? std::trunc(89.0f / dlat) * dlat : 90.0f;
    const int n = static_cast<int>(std::lround(2.0f * top / dlat)) + 1;
    auto meridian = [&](float lon) {
        const std::string text = lon_label(lon);
        grid_line(pen, w, proj, false, n,
                  [lon, top, dlat](int i, float& la, float& lo) {
                      la = -top + dlat * static_cast<float>(i);
                      lo = lon;
                  },
                  text);
        if (extra > 0)
            extra_labels(w, extra, dlat, 89.0f, [lon](float v, float& la, float& lo) { la = v; lo = lon; }, text);
    };
    for (int k = 0; static_cast<float>(k) * dlon <= 180.0f; ++k) meridian(static_cast<float>(k) * dlon);
    for (int k = 1; -static_cast<float>(k) * dlon > -180.0f; ++k) meridian(-static_cast<float>(k) * dlon);
    return 0;
}
