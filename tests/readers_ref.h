// Shared by the satellite reader suites: the independent decodings they
// compare with (tests/data/readers/readers_ref.py under python3, GDAL's
// tools), a reader run through SAT_read_file and the checksum of its pixels.
#ifndef ZEM_READERS_REF_H
#define ZEM_READERS_REF_H

#include <zlib.h>

#include <cctype>
#include <map>

#include "flag.h"
#include "maptran.h"
#include "zem_test.h"

namespace rr {

using Fields = std::map<std::string, double>;

// key=value pairs printed by the python decoder; empty when it fails.
inline Fields ref_decode(const std::string& args) {
    const zt::RunResult r = zt::python(zt::slurp(std::string(ZEM_TEST_DATA) + "/readers/readers_ref.py"), args);
    Fields f;
    std::istringstream in(r.out);
    std::string kv;
    while (in >> kv)
        if (const auto eq = kv.find('='); eq != std::string::npos)
            f[kv.substr(0, eq)] = std::atof(kv.c_str() + eq + 1);
    EXPECT_EQ(r.status, 0) << r.out;
    return f;
}

// The image date against the decoder's year .. second fields.
inline void expect_date(const Date& d, const Fields& f) {
    EXPECT_EQ(std::vector<int>({d.year, d.month, d.day, d.hour, d.min, d.sec}),
              std::vector<int>({int(f.at("year")), int(f.at("month")), int(f.at("day")), int(f.at("hour")),
                                int(f.at("minute")), int(f.at("second"))}));
}

inline std::uint32_t crc(const unsigned char* p, std::size_t n) {
    return static_cast<std::uint32_t>(crc32(0L, p, static_cast<uInt>(n)));
}
inline std::uint32_t crc(const IMG_report& img) {
    return crc(img.data, static_cast<std::size_t>(img.width) * static_cast<std::size_t>(img.height));
}

// An image read through the entry point in input format `code`, freed at
// the end of the scope.
struct Read : zt::Image {
    IMG_report& img = rec;
    int rc;
    Read(int code, const std::string& path) {
        FLAG_set(14, code);
        rc = SAT_read_file(path.c_str(), &img);
    }
};

// Latitude and longitude of grid point (col, row) of `d`.
inline std::pair<double, double> grid_latlon(const Domain& d, float col, float row) {
    MAP_domain(&d);
    float x = 0, y = 0, lat = 0, lon = 0;
    MAP_grid_tran(col, row, &x, &y);
    MAP_untran(x, y, &lat, &lon);
    return {lat, lon};
}

// A test name from a file name: its last part, letters and digits only.
inline std::string name_of(std::string path) {
    path = path.substr(path.rfind('/') + 1);
    for (char& ch : path)
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
    return path;
}

// Skips the test unless the outside tools it compares with are there.
#define RR_NEED_TOOLS(...)                                                          \
    do {                                                                            \
        for (const char* t : {__VA_ARGS__})                                         \
            if (!zt::have_tool(t)) GTEST_SKIP() << "reference tool not found: " << t; \
    } while (0)

}  // namespace rr

#endif
