// Pictures drawn by orlo for the map and label suites: an orlo run under
// the suite's X server writing a PNG that is read back as RGB values, the
// synthetic demo scene as input, and the plot domain the run printed.
#ifndef ZEM_GEO_PIC_H
#define ZEM_GEO_PIC_H

#include "zem_test.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <regex>

#include "img_tool.h"
#include "png.h"

namespace geo {

// A picture as RGB values (0xRRGGBB).
struct Pic {
    int w = 0, h = 0;
    std::vector<std::uint32_t> rgb;
    std::uint32_t at(int x, int y) const { return rgb[static_cast<std::size_t>(y) * w + x]; }
    bool has(std::uint32_t c) const { return std::find(rgb.begin(), rgb.end(), c) != rgb.end(); }
    // Whether colour c lies within r pixels of (x, y).
    bool near(double x, double y, std::uint32_t c, int r) const {
        for (int j = -r; j <= r; ++j)
            for (int i = -r; i <= r; ++i) {
                const int px = static_cast<int>(std::lround(x)) + i, py = static_cast<int>(std::lround(y)) + j;
                if (px >= 0 && py >= 0 && px < w && py < h && i * i + j * j <= r * r && at(px, py) == c) return true;
            }
        return false;
    }
};

constexpr std::uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kYellow = 0xFFFF00;

// Reads a PNG file into `p`; false when it cannot be read.
inline bool read_pic(const std::string& path, Pic& p) {
    IMG_report img;
    IMG_init(&img);
    if (PNG_read(path.c_str(), &img, 0) != 1) return false;
    p.w = img.width;
    p.h = img.height;
    p.rgb.clear();
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x) {
            const IMG_color& c = img.colors[zt::pixel(img, x, y)];
            auto b = [](float v) { return static_cast<std::uint32_t>(std::lround(v * 255.0f)); };
            p.rgb.push_back(b(c.r) << 16 | b(c.g) << 8 | b(c.b));
        }
    IMG_free(&img);
    return true;
}

struct Drawn {
    Pic pic;
    std::string out;
};

// orlo on `image` with a picture of w x h pixels (plot parameters `pp`,
// by default no margins), file_path `fp`, written as PNG and read back.
inline Drawn draw(const std::string& image, const std::string& args, int w = 640, int h = 427,
                  const std::string& fp = ZEM_ETC_DIR, const std::string& pp = "full") {
    zt::TempDir dir;
    Drawn r;
    // Map files of a test's own folder are drawn with the package's colours.
    if (fp != ZEM_ETC_DIR)
        std::filesystem::copy_file(std::string(ZEM_ETC_DIR) + "/zem.clr", fp + "/zem.clr",
                                   std::filesystem::copy_options::skip_existing);
    char ge[64];
    std::snprintf(ge, sizeof ge, "%dx%d", w, h);
    r.out = zt::run_orlo("-fp " + fp + " -ip " + dir.path() + " -de d -ge " + ge + " -me +out3 -pp " + (pp.empty() ? "" : pp + ",") + "png:p.png " +
                         args + " " + image).out;
    if (!read_pic(dir.file("p.png"), r.pic)) ADD_FAILURE() << "no picture: " << r.out;
    return r;
}

// The demo scene: a synthetic AREA image of North America.
inline const std::string& demo_area() {
    static zt::TempDir dir;
    static const std::string path = dir.file("demo.area");
    if (!std::filesystem::exists(path)) zt::run(std::string(ZEM_DEMO_AREA) + " " + path + " 2024200 1745");
    return path;
}

// Centre and spacing of the "Plot domain:" line.
struct PlotDomain {
    double clat = 0, clon = 0, dx = 0;
    int nx = 0, ny = 0;
};
inline PlotDomain plot_domain(const std::string& out) {
    std::smatch m;
    PlotDomain d;
    if (std::regex_search(out, m, std::regex("Plot domain: [^,]*,([-0-9.]+),([-0-9.]+),([0-9]+),([0-9]+),([0-9.]+)"))) {
        d.clat = std::stod(m[1]);
        d.clon = std::stod(m[2]);
        d.nx = std::stoi(m[3]);
        d.ny = std::stoi(m[4]);
        d.dx = std::stod(m[5]);
    }
    return d;
}

}  // namespace geo

#endif
