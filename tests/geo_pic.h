// Pictures drawn by orlo for the map and label suites: an orlo run under
// the suite's X server writing a PNG that is read back as RGB values, the
// synthetic demo scene as input, and the plot domain the run printed.
#ifndef ZEM_GEO_PIC_H
#define ZEM_GEO_PIC_H

#include "zem_test.h"

#include <algorithm>
#include <regex>

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
        bool found = false;
        for (int j = -r; j <= r; ++j)
            for (int i = -r, px, py; i <= r; ++i)
                found |= (px = static_cast<int>(std::lround(x)) + i) >= 0 && (py = static_cast<int>(std::lround(y)) + j) >= 0 &&
                         px < w && py < h && i * i + j * j <= r * r && at(px, py) == c;
        return found;
    }
};

constexpr std::uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kYellow = 0xFFFF00;

// Reads a PNG file into `p`; false when it cannot be read.
inline bool read_pic(const std::string& path, Pic& p) {
    zt::Image img;
    if (!std::filesystem::exists(path) || PNG_read(path.c_str(), &img.rec, 0) != 1) return false;
    p = {img.rec.width, img.rec.height, {}};
    for (int y = 0; y < img.rec.height; ++y)
        for (int x = 0; x < img.rec.width; ++x) {
            const zt::Rgb c = zt::rgb_at(img.rec, x, y);
            p.rgb.push_back(static_cast<std::uint32_t>(c.r << 16 | c.g << 8 | c.b));
        }
    return true;
}

struct Drawn {
    Pic pic;                  // the picture (of a loop: its first frame)
    std::vector<Pic> frames;  // every frame of a loop
    std::string out;          // what orlo printed
};

// orlo on `images` with a picture of w x h pixels (plot parameters `pp`,
// by default no margins), file_path `fp`, dumped as PNG and read back.
inline Drawn draw(const std::string& images, const std::string& args, int w = 640, int h = 427,
                  const std::string& fp = ZEM_ETC_DIR, const std::string& pp = "full") {
    zt::TempDir dir;
    Drawn r;
    // Map files of a test's own folder are drawn with the package's colours.
    if (fp != ZEM_ETC_DIR)
        std::filesystem::copy_file(std::string(ZEM_ETC_DIR) + "/zem.clr", fp + "/zem.clr",
                                   std::filesystem::copy_options::skip_existing);
    r.out = zt::run_orlo("-fp " + fp + " -ip " + dir.path() + " -de d -ge " + std::to_string(w) + "x" +
                         std::to_string(h) + " -me +out3 -pp " + (pp.empty() ? "" : pp + ",") + "png:p%i " + args +
                         " " + images).out;
    for (const char* name : {"pwin", "p00", "p01", "p02"})
        if (Pic p; read_pic(dir.file(name), p)) r.frames.push_back(p);
    if (r.frames.empty()) ADD_FAILURE() << "no picture: " << r.out;
    r.pic = r.frames.empty() ? Pic{} : r.frames[0];
    return r;
}

// The demo scene: a synthetic AREA image of North America.
inline const std::string& demo_area() {
    static zt::TempDir dir;
    static const std::string path = dir.file("demo.area");
    if (!std::filesystem::exists(path)) zt::run(std::string(ZEM_DEMO_AREA) + " " + path + " 2024200 1745");
    return path;
}

// clat, clon, nx, ny, dx of the "Plot domain:" line (zeros when absent).
inline std::vector<double> plot_domain(const std::string& out) {
    std::smatch m;
    std::vector<double> v;
    if (std::regex_search(out, m, std::regex("Plot domain: [^,]*,([-0-9.]+),([-0-9.]+),([0-9]+),([0-9]+),([0-9.]+)")))
        for (int k = 1; k <= 5; ++k) v.push_back(std::stod(m[k]));
    v.resize(5);
    return v;
}

}  // namespace geo

#endif
