// unisys_make: writes a Unisys satellite image from a GINI file, as no
// public Unisys sample exists: the header tokens in front, then the GINI
// pixels from the byte after the header on, so that each pixel sits at its
// own offset in the file and the header stands in for the first ones.
//
//   unisys_make GINI OUT
//
// The header names the GINI file's description, size, date and, for a
// Lambert conformal grid, its projection (the Unisys "pl" key fixes the
// spacing at 8 km, so the grid itself is given to the reader through the
// "grid_domain" resource when it matters).
#include <cstdio>
#include <string>

#include "date.h"
#include "img_tool.h"
#include "mess.h"
#include "sat_read.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: unisys_make GINI OUT\n");
        return 2;
    }
    MESS_set_str("error,warn");
    IMG_report img;
    IMG_init(&img);
    if (SAT_read_AWIP(argv[1], &img) != 0) return 1;
    std::string id = img.info;
    for (char& c : id)
        if (c == ' ') c = '_';
    Date d = img.date;
    char head[512];
    int n = std::snprintf(head, sizeof head, "id%s x%d y%d f%ld", id.c_str(), img.width, img.height,
                          DATE_num_sec(&d));
    const Domain& g = img.domain;
    if (g.proj == 4)
        n += std::snprintf(head + n, sizeof head - static_cast<std::size_t>(n),
                           " pl lat%.4f lon%.4f ref1%.1f ref2%.4f ref3%.4f ref4%.4f", g.clat, g.clon, g.plat,
                           g.plon, g.param[0], g.param[1]);
    n += std::snprintf(head + n, sizeof head - static_cast<std::size_t>(n), " end\n");
    const std::size_t npix = static_cast<std::size_t>(img.width) * static_cast<std::size_t>(img.height);
    FILE* out = std::fopen(argv[2], "wb");
    const std::size_t at = static_cast<std::size_t>(n);
    const bool ok = out && at < npix && std::fwrite(head, 1, at, out) == at &&
                    std::fwrite(img.data + at, 1, npix - at, out) == npix - at;
    if (out) std::fclose(out);
    IMG_free(&img);
    if (!ok) std::fprintf(stderr, "unisys_make: cannot write %s\n", argv[2]);
    return ok ? 0 : 1;
}
