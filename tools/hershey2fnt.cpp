// Builds a stroke font file of the graphics kernel from a Hershey font in
// the .jhf form of Debian's hershey-fonts-data (James Hurt's format: per
// glyph a 5-character number, a 3-character vertex count and pairs of
// characters, each coordinate written as its offset from 'R'; the first
// pair holds the left and right bearings, " R" lifts the pen; long records
// wrap onto following lines).
//
//   hershey2fnt /usr/share/hershey-fonts/futural.jhf modern > etc/modern.fnt
//
// The records are the printable characters from the space on. Output is a
// labelled font file: "count name", then the stroke bytes of each glyph
// (pairs x y, x + 128 for a pen-up move, a glyph ending at 255 followed by
// its label word), 254, and the 256 glyph offsets (-1 none). Hershey's
// baseline (y = 9) becomes 35 and its cap height (21 units up) 140; one
// scale for the whole font keeps every glyph within the 0-125 x range the
// file format allows, so fonts with very wide glyphs come out a little
// smaller. Each glyph starts at x = 0.
#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int kBaseline = 35;
constexpr double kFullScale = 5.0;  // 21 Hershey units to 105 font units
constexpr int kMaxX = 125;
constexpr int kFirstChar = 32;

struct Vertex {
    bool up;
    int x, y;
};
using Glyph = std::vector<Vertex>;

// The glyph records of a .jhf file; false on a malformed record.
bool read_jhf(std::istream& in, std::vector<Glyph>* glyphs) {
    std::string text, line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        text += line + '\n';
    }
    std::size_t p = 0;
    while (p < text.size()) {
        if (text[p] == '\n') {
            ++p;
            continue;
        }
        if (p + 8 > text.size()) return false;
        const int n = std::atoi(text.substr(p + 5, 3).c_str());
        p += 8;
        std::string pairs;
        while (pairs.size() < static_cast<std::size_t>(2 * n) && p < text.size()) {
            if (text[p] != '\n') pairs += text[p];
            ++p;
        }
        if (n < 1 || pairs.size() < static_cast<std::size_t>(2 * n)) return false;
        Glyph g;
        bool up = true;
        for (int k = 1; k < n; ++k) {
            const char a = pairs[static_cast<std::size_t>(2 * k)], b = pairs[static_cast<std::size_t>(2 * k + 1)];
            if (a == ' ' && b == 'R') {
                up = true;
                continue;
            }
            g.push_back(Vertex{up, a - 'R', b - 'R'});
            up = false;
        }
        glyphs->push_back(std::move(g));
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: hershey2fnt font.jhf name > name.fnt\n";
        return 2;
    }
    std::ifstream in(argv[1]);
    std::vector<Glyph> glyphs;
    if (!in || !read_jhf(in, &glyphs)) {
        std::cerr << "hershey2fnt: cannot read " << argv[1] << "\n";
        return 1;
    }
    int span = 1;
    for (const Glyph& g : glyphs) {
        if (g.empty()) continue;
        const auto [lo, hi] = std::minmax_element(g.begin(), g.end(), [](auto& a, auto& b) { return a.x < b.x; });
        span = std::max(span, hi->x - lo->x);
    }
    const double scale = std::min(kFullScale, static_cast<double>(kMaxX) / span);
    std::array<int, 256> index;
    index.fill(-1);
    std::ostringstream body;
    int bytes = 0, column = 0;
    auto put = [&](const std::string& word) {
        body << word << (++column % 16 == 0 ? '\n' : ' ');
    };
    for (std::size_t c = 0; c < glyphs.size() && kFirstChar + c < 127; ++c) {
        const Glyph& g = glyphs[c];
        if (g.empty()) continue;  // the space: the kernel gives it a fixed width
        int minx = g[0].x;
        for (const Vertex& v : g) minx = std::min(minx, v.x);
        index[kFirstChar + c] = bytes;
        for (const Vertex& v : g) {
            const int x = std::clamp(static_cast<int>(std::lround((v.x - minx) * scale)), 0, kMaxX);
            const int y = std::clamp(static_cast<int>(std::lround(kBaseline + (9 - v.y) * scale)), 0, 253);
            put(std::to_string(v.up ? x + 128 : x));
            put(std::to_string(y));
            bytes += 2;
        }
        put("255");
        put("c" + std::to_string(kFirstChar + c));
        ++bytes;
    }
    put("254");
    std::cout << glyphs.size() << ' ' << argv[2] << '\n' << body.str() << '\n';
    for (std::size_t i = 0; i < index.size(); ++i) std::cout << index[i] << ((i + 1) % 16 == 0 ? '\n' : ' ');
    return 0;
}
