// Builds the colour file "zem.clr" from the X11 colour name database
// (rgb.txt, lines "R G B name") and a fixed set of fill colours.
//
//   rgb2clr [rgb.txt] > etc/zem.clr
//
// The file starts with the 16 fill colours (a grey ramp "ramp00" black to
// "ramp15" white, which the default satellite enhancement spreads over the
// count range), then "END", then a fine grey ramp of 64 steps ("level00"
// black to "level63" white) for the shipped satellite enhancements, so that
// a visible image is not posterised into 16 bands, then every X11 name that the colour reader can
// hold: one word of at most 19 characters, each name once (case ignored),
// numbered variants left out except the grey steps gray0, gray10 ... gray100.
// The table holds 256 entries; names beyond that are dropped with a note on
// standard error.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <string>

namespace {

constexpr int kTable = 256;
constexpr int kFill = 16;
constexpr int kLevels = 64;
constexpr std::size_t kNameMax = 19;

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

// gray0, gray10, ... gray100 (and the grey spelling) are kept; other names
// ending in a digit (red1 ... red4, gray37) are variants and left out.
bool keep_numbered(const std::string& name) {
    std::string l = lower(name);
    for (const char* base : {"gray", "grey"}) {
        std::string b(base);
        if (l.compare(0, b.size(), b) != 0 || l.size() == b.size()) continue;
        std::string num = l.substr(b.size());
        if (num.size() > 3 || !std::all_of(num.begin(), num.end(), ::isdigit)) return false;
        int v = std::stoi(num);
        return v % 10 == 0 && v <= 100;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    const char* path = argc > 1 ? argv[1] : "/usr/share/X11/rgb.txt";
    std::ifstream in(path);
    if (!in) {
        std::cerr << "rgb2clr: cannot open " << path << "\n";
        return 1;
    }
    std::cout << "# zem.clr: colour table of the ZEM package.\n"
                 "# Made by tools/rgb2clr from the X11 colour names (" << path << ").\n"
                 "# One colour a line: name and #RRGGBB (or three floats 0 to 1), optionally\n"
                 "# after an entry number. The lines before END are the fill colours.\n"
                 "#\n# Fill colours: grey ramp for the default enhancement and area fills.\n";
    char buf[64];
    for (int i = 0; i < kFill; ++i) {
        int g = i * 255 / (kFill - 1);
        std::snprintf(buf, sizeof buf, "ramp%02d              #%02X%02X%02X\n", i, g, g, g);
        std::cout << buf;
    }
    std::cout << "END\n# Fine grey ramp for the satellite enhancements\n";
    for (int i = 0; i < kLevels; ++i) {
        int g = (i * 255 + (kLevels - 1) / 2) / (kLevels - 1);
        std::snprintf(buf, sizeof buf, "level%02d             #%02X%02X%02X\n", i, g, g, g);
        std::cout << buf;
    }
    std::cout << "# X11 colour names\n";

    int count = kFill + kLevels;
    int dropped = 0;
    std::set<std::string> seen;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '!') continue;
        std::istringstream ls(line);
        int r, g, b;
        std::string name, extra;
        if (!(ls >> r >> g >> b >> name) || (ls >> extra)) continue;  // names with spaces
        if (name.size() > kNameMax) continue;
        if (std::isdigit(static_cast<unsigned char>(name.back())) && !keep_numbered(name)) continue;
        if (!seen.insert(lower(name)).second) continue;
        if (count >= kTable) {
            ++dropped;
            continue;
        }
        std::snprintf(buf, sizeof buf, "%-19s #%02X%02X%02X\n", name.c_str(), r & 255, g & 255, b & 255);
        std::cout << buf;
        ++count;
    }
    if (dropped) std::cerr << "rgb2clr: table full, " << dropped << " names dropped\n";
    return 0;
}
