// Raw data layer of the map background: point reports of a text file drawn
// as markers, identifiers and values at their map positions.
#include "raw_plot.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "colors.h"
#include "gks_text.h"
#include "gks_tool.h"
#include "map.h"
#include "mess.h"
#include "resrc.h"
#include "string.h"
#include "tools.h"

namespace {

constexpr std::size_t kLineMax = 1024;

// What "plot_format" asks to draw at each report.
struct Format {
    bool mark = false;
    bool id = false;
    int value = 0;  // 1-based value column, 0 none
};

Format read_format() {
    const char* res = RES_get("plot_format");
    Format f;
    std::stringstream items(res != nullptr && *res != '\0' ? res : "mark,v1");
    for (std::string item; std::getline(items, item, ',');) {
        if (str_iequal(item, "mark")) f.mark = true;
        if (str_iequal(item, "id")) f.id = true;
        if (item.size() == 2 && (item[0] == 'v' || item[0] == 'V') && item[1] >= '1' && item[1] <= '9')
            f.value = item[1] - '0';
    }
    return f;
}

}  // namespace

int RAW_plot_file(const char* path, int /*flag*/) {
    if (path == nullptr) return 0;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> fp(std::fopen(path, "r"), std::fclose);
    if (!fp) return 0;
    const Format fmt = read_format();
    float scale = 1.0f;
    if (const char* s = RES_get("plot_scale"); s != nullptr && std::atof(s) > 0.0) scale = static_cast<float>(std::atof(s));
    Gattribs a;
    ATTRIB_init(&a);
    ATTRIB_get("color_data", "green", &a);
    if (a.color == -1) return 0;
    a.style = 2;  // plus sign
    a.height = 0.012f * MAP_get_vert() * scale;
    GPH_mark_attr(&a, 1.0f);
    GPH_text_attr(&a, 1.0f);
    const float off = 0.5f * a.height;

    int drawn = 0;
    std::string line;
    while (read_text_line(fp.get(), line, kLineMax)) {
        std::istringstream in(line);
        std::string id;
        float lat = kMissingF, lon = kMissingF;
        if (line.empty() || line[0] == '#' || !(in >> id >> lat >> lon)) continue;
        std::vector<std::string> values;
        for (std::string v; in >> v;) values.push_back(v);
        float x = 0.0f, y = 0.0f;
        if (is_missing(lat) || is_missing(lon) || MAP_tran(lat, lon, &x, &y) != 1) continue;
        if (fmt.mark) GPH_mark(x, y);
        Gpt p{x - off, y + off};
        if (fmt.id) {
            GPH_text_align(GRIGHT_HOR, GBOTTOM_VERT);
            GPH_pprint(&p, id.c_str());
        }
        if (fmt.value > 0 && static_cast<std::size_t>(fmt.value) <= values.size()) {
            p = {x + off, y};
            GPH_text_align(GLEFT_HOR, GHALF_VERT);
            GPH_pprint(&p, values[static_cast<std::size_t>(fmt.value - 1)].c_str());
        }
        ++drawn;
    }
    return drawn;
}
