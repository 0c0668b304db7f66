// Demo sample maker: writes an infrared AREA file of a synthetic scene over
// North America as seen by a geostationary satellite at 75 W, so that the
// program can be shown on data it makes itself.
//
//   demo_area OUT.area [YYYYDDD HHMM [COAST.map]]
//
// The navigation block is the Meteosat-layout geostationary scan (full disk
// of 2500 infrared pixels at twice that resolution in satellite
// coordinates), with the sub-satellite longitude moved to 75 W. Pixel
// positions come from the package's own projection of that scan, so the
// picture lands where the program's navigation puts it. Counts follow the
// usual 8-bit brightness relation (T >= 242 K: 660 - 2T; colder: 418 - T).
//
// The scene: surface temperatures falling with latitude, land warmer than
// sea by day (land inside the real coastline of the package's cont.map, or
// of COAST.map), a cold frontal cloud band curving from Texas to
// Newfoundland, convective cells over the south-east, thin cirrus streaks, low marine
// cloud off California, and a textured noise so that nothing is flat.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "area_writer.h"
#include "maptran.h"
#include "region.h"

namespace {

struct LatLon {
    float lat, lon;
};

// Land of the real coastline: a 0.1-degree grid over 0-90 N, 180 W-0 W,
// filled row by row by the even-odd rule from the closed lines of a map
// database (coastlines and lakes, big-endian binary map format). Only lines
// wholly in the western hemisphere take part, so that rings cut at the date
// line cannot upset the count.
class LandMask {
public:
    bool load(const char* path)
    {
        std::ifstream in(path, std::ios::binary);
        const std::vector<unsigned char> b((std::istreambuf_iterator<char>(in)), {});
        std::vector<std::vector<float>> cross(kRows);
        std::size_t p = 0;
        auto f32 = [&b](std::size_t at) {
            const std::uint32_t u = (std::uint32_t{b[at]} << 24) | (std::uint32_t{b[at + 1]} << 16) |
                                    (std::uint32_t{b[at + 2]} << 8) | b[at + 3];
            float f;
            std::memcpy(&f, &u, sizeof f);
            return f;
        };
        while (p + 22 <= b.size()) {
            const std::size_t n = (std::size_t{b[p]} << 8) | b[p + 1];
            p += 22;
            if (n == 0 || p + 8 * n > b.size()) break;
            std::vector<LatLon> ring(n);
            for (std::size_t k = 0; k < n; ++k) ring[k] = {f32(p + 8 * k), f32(p + 8 * k + 4)};
            p += 8 * n;
            if (std::all_of(ring.begin(), ring.end(), [](const LatLon& q) { return q.lon <= 0.0f; }))
                add_ring(ring, cross);
        }
        cells_.assign(static_cast<std::size_t>(kRows) * kCols, 0);
        for (int r = 0; r < kRows; ++r) {
            auto& c = cross[static_cast<std::size_t>(r)];
            if (c.size() % 2 != 0) continue;
            std::sort(c.begin(), c.end());
            for (std::size_t k = 0; k + 1 < c.size(); k += 2)
                for (int col = std::max(0, col_of(c[k])); col < std::min(kCols, col_of(c[k + 1])); ++col)
                    cells_[static_cast<std::size_t>(r) * kCols + col] = 1;
        }
        return p > 0;
    }

    bool land(float lat, float lon) const
    {
        const int r = static_cast<int>(lat * 10.0f), c = col_of(lon);
        return r >= 0 && r < kRows && c >= 0 && c < kCols && cells_[static_cast<std::size_t>(r) * kCols + c];
    }

private:
    static constexpr int kRows = 900, kCols = 1800;
    static int col_of(float lon) { return static_cast<int>(std::floor((lon + 180.0f) * 10.0f)); }

    static void add_ring(const std::vector<LatLon>& ring, std::vector<std::vector<float>>& cross)
    {
        for (std::size_t i = 0, j = ring.size() - 1; i < ring.size(); j = i++) {
            const LatLon& a = ring[j];
            const LatLon& b = ring[i];
            const int r0 = static_cast<int>(std::ceil(std::min(a.lat, b.lat) * 10.0f - 0.5f));
            const int r1 = static_cast<int>(std::ceil(std::max(a.lat, b.lat) * 10.0f - 0.5f));
            for (int r = std::max(r0, 0); r < std::min(r1, kRows); ++r) {
                const float lat = (static_cast<float>(r) + 0.5f) / 10.0f;
                cross[static_cast<std::size_t>(r)].push_back(a.lon + (lat - a.lat) * (b.lon - a.lon) / (b.lat - a.lat));
            }
        }
    }

    std::vector<std::uint8_t> cells_;
};

LandMask g_land;

// Smooth value noise in [0, 1] on a lattice of the given cell size.
float hash01(int x, int y, int seed)
{
    std::uint32_t h = static_cast<std::uint32_t>(x) * 374761393u +
                      static_cast<std::uint32_t>(y) * 668265263u +
                      static_cast<std::uint32_t>(seed) * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return static_cast<float>((h ^ (h >> 16)) & 0xFFFF) / 65535.0f;
}

float noise(float x, float y, int seed)
{
    const int xi = static_cast<int>(std::floor(x)), yi = static_cast<int>(std::floor(y));
    const float fx = x - xi, fy = y - yi;
    const float sx = fx * fx * (3 - 2 * fx), sy = fy * fy * (3 - 2 * fy);
    const float a = hash01(xi, yi, seed), b = hash01(xi + 1, yi, seed);
    const float c = hash01(xi, yi + 1, seed), d = hash01(xi + 1, yi + 1, seed);
    return (a + (b - a) * sx) * (1 - sy) + (c + (d - c) * sx) * sy;
}

// Fractal noise over lat/lon, about 0..1.
float fbm(float lat, float lon, int seed)
{
    float v = 0, amp = 0.5f, f = 0.25f;
    for (int o = 0; o < 5; o++, amp *= 0.5f, f *= 2.0f)
        v += amp * noise(lon * f, lat * f, seed + o);
    return v / 0.97f;
}

float gauss(float d2, float r) { return std::exp(-d2 / (r * r)); }

// Brightness temperature (K) of the scene at a point.
float scene_kelvin(float lat, float lon)
{
    const bool land = g_land.land(lat, lon);
    // Surface: warm tropics, cooler towards the pole; land warmer by day,
    // Greenland's ice cold.
    float t = 301.0f - 0.45f * std::max(0.0f, std::fabs(lat) - 15.0f);
    if (land)
        t += 12.0f - 0.3f * std::max(0.0f, lat - 30.0f) + 5.0f * (fbm(lat, lon, 11) - 0.5f);
    if (land && lat > 60.0f && lon > -75.0f && lon < -10.0f)
        t = 245.0f + 6.0f * fbm(lat, lon, 12);
    t += 1.5f * (fbm(lat, lon, 3) - 0.5f);

    // Cloud top temperature and cover; the colder of surface and cloud wins.
    float cloud = 0.0f, top = 300.0f;
    auto add = [&](float cover, float kelvin) {
        cover = std::clamp(cover, 0.0f, 1.0f);
        if (cover > 0.02f) {
            top = std::min(top, kelvin + (1.0f - cover) * 25.0f);
            cloud = std::max(cloud, cover);
        }
    };
    // Frontal band: a curve lat = 28 + 0.0035 (lon + 100)^2 + (lon + 100) *
    // 0.55 from about 100 W to 50 W, 4 degrees wide, coldest in the middle.
    if (lon > -104 && lon < -45) {
        const float u = lon + 100.0f;
        const float axis = 29.0f + 0.55f * u + 0.0025f * u * u;
        const float d = (lat - axis) / (3.5f + 0.03f * u);
        const float wiggle = fbm(lat, lon, 21);
        add(gauss(d * d, 1.0f) * (0.6f + 0.7f * wiggle), 222.0f + 12.0f * (1 - wiggle));
    }
    // Comma head of the low over the Great Lakes.
    {
        const float d2 = (lat - 47) * (lat - 47) + 0.5f * (lon + 84) * (lon + 84);
        add(gauss(d2, 6.0f) * (0.5f + 0.6f * fbm(lat, lon, 22)), 228.0f);
    }
    // Convective cells over the south-east and the Gulf: cold, sharp tops.
    const LatLon cells[] = {{32, -88}, {30.5f, -91}, {34, -84}, {27, -94}, {29, -86}, {25, -80}};
    const float size[] = {1.2f, 0.9f, 1.0f, 0.7f, 0.8f, 0.6f};
    for (int i = 0; i < 6; i++) {
        const float dl = lat - cells[i].lat, dn = (lon - cells[i].lon) * 0.85f;
        const float d2 = dl * dl + dn * dn;
        add(gauss(d2, size[i]) * 1.3f, 198.0f + 4.0f * i);
        // Anvil drifting north-east.
        const float al = dl - 0.6f, an = dn - 0.9f;
        add(gauss(al * al + an * an, size[i] * 2.2f) * 0.8f, 215.0f);
    }
    // Cirrus streaks over the Rockies and the plains.
    {
        const float s = std::sin((lat * 1.8f + lon * 0.6f) * 0.9f);
        const float c = gauss((lat - 42) * (lat - 42) / 25.0f + (lon + 108) * (lon + 108) / 80.0f, 1.0f);
        add(c * std::max(0.0f, s) * 0.55f * fbm(lat, lon, 31), 235.0f);
    }
    // Marine stratocumulus off California and Baja: low, barely colder than
    // the sea.
    if (!land && lon < -116 && lon > -135 && lat > 20 && lat < 40) {
        const float cov = fbm(lat, lon, 41) * 1.4f - 0.35f;
        add(cov, 283.0f);
    }
    // Scattered trade cumulus.
    if (!land && lat < 25) {
        const float cov = fbm(lat * 3, lon * 3, 51) * 1.6f - 1.0f;
        add(cov, 288.0f);
    }
    if (cloud > 0.0f)
        t = std::min(t, top * cloud + t * (1.0f - cloud));
    return t;
}

int count_of(float kelvin)
{
    const double c = kelvin >= 242.0f ? 660.0 - 2.0 * kelvin : 418.0 - kelvin;
    return static_cast<int>(std::clamp(std::lround(c), 0L, 255L));
}

// Meteosat-layout scan: map units are scan angle x satellite distance.
constexpr double kStep = 0.0529848;  // one infrared pixel
constexpr int kNavRes = 2;           // satellite coordinates per IR pixel

Domain scan_domain()
{
    Domain d;
    DOM_init(&d);
    d.proj = DOM_SAT;
    d.plat = 0;
    d.plon = -75;
    d.param[0] = 421.64f;
    d.param[1] = 1.0f;
    d.ellipse = 1;
    d.clat = 0;
    d.clon = -75;
    d.nx = d.ny = 5000;
    d.dx = d.dy = static_cast<float>(kStep / kNavRes);
    return d;
}

// Satellite element/line (the scan's own coordinates) of map point (x, y).
double elem_of(double x) { return (1250.5 * kStep - x) / (kStep / 2); }
double line_of(double y) { return (1250.0 * kStep - y) / (kStep / 2); }
double x_of(double elem) { return 1250.5 * kStep - elem * kStep / 2; }
double y_of(double line) { return 1250.0 * kStep - line * kStep / 2; }

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2 && argc != 4 && argc != 5) {
        std::fprintf(stderr, "usage: %s OUT.area [YYYYDDD HHMM [COAST.map]]\n", argv[0]);
        return 2;
    }
    const long yyyyddd = argc >= 4 ? std::atol(argv[2]) : 2024200;
    const long hhmm = argc >= 4 ? std::atol(argv[3]) : 1745;
    const char* coast = argc == 5 ? argv[4] : ZEM_ETC_DIR "/cont.map";
    if (!g_land.load(coast)) {
        std::fprintf(stderr, "%s: cannot read the coastline %s\n", argv[0], coast);
        return 1;
    }
    if (yyyyddd < 1900001 || yyyyddd % 1000 < 1 || yyyyddd % 1000 > 366 || hhmm < 0 ||
        hhmm > 2359 || hhmm % 100 > 59) {
        std::fprintf(stderr, "%s: bad date or time\n", argv[0]);
        return 2;
    }

    Domain scan = scan_domain();
    if (MAP_domain(&scan) != 0) {
        std::fprintf(stderr, "%s: projection set-up failed\n", argv[0]);
        return 1;
    }
    // The image covers 5 N to 62 N, 140 W to 50 W at infrared resolution:
    // the extent of those corners and edge midpoints in scan coordinates.
    double e0 = 1e9, e1 = -1e9, l0 = 1e9, l1 = -1e9;
    for (float lat : {5.0f, 35.0f, 62.0f})
        for (float lon : {-140.0f, -95.0f, -50.0f}) {
            float x = 0, y = 0;
            if (!MAP_tran(lat, lon, &x, &y)) {
                std::fprintf(stderr, "%s: %g %g not seen from 75 W\n", argv[0], lat, lon);
                return 1;
            }
            e0 = std::min(e0, elem_of(x));
            e1 = std::max(e1, elem_of(x));
            l0 = std::min(l0, line_of(y));
            l1 = std::max(l1, line_of(y));
        }
    const int ecor = static_cast<int>(e0) / kNavRes * kNavRes;
    const int lcor = static_cast<int>(l0) / kNavRes * kNavRes;
    const int esiz = static_cast<int>((e1 - ecor) / kNavRes) + 1;
    const int lsiz = static_cast<int>((l1 - lcor) / kNavRes) + 1;

    std::ostringstream desc;
    desc << "order big\n"
         << "lines " << lsiz << "\nelements " << esiz << "\nzsiz 1\n"
         << "satid 70\nndate " << (yyyyddd - 1900000) << "\nntime " << hhmm * 100 << "\n"
         << "lcor " << lcor << "\necor " << ecor << "\nlres " << kNavRes << "\neres " << kNavRes
         << "\n"
         << "dir18 8\n"            // band map: band 4
         << "dir51 0x47564152\n"   // source type "GVAR"
         << "dir52 0x42524954\n"   // calibration "BRIT"
         << "comment DEMO IR 10.7 UM SYNTHETIC SCENE\n"
         << "nav MSAT\n"
         << "nrmlon 1250\nspacing 0\nstdlat 0\n"
         << "equrad 750000\n"      // sub-satellite longitude, west positive x 10000
         << "pattern zero\n";
    AreaDesc d;
    std::string err;
    std::vector<std::uint8_t> bytes;
    if (!area_desc_parse(desc.str(), &d, &err) || !area_desc_bytes(d, &bytes, &err)) {
        std::fprintf(stderr, "%s: %s\n", argv[0], err.c_str());
        return 1;
    }
    const std::size_t data = 256 + 512;
    if (bytes.size() < data + static_cast<std::size_t>(lsiz) * esiz) {
        std::fprintf(stderr, "%s: unexpected AREA layout\n", argv[0]);
        return 1;
    }
    // The scan's elements run east to west, but the program remaps an
    // image across its domain with columns west to east about the same
    // centre; columns are written mirrored so that the remapped picture
    // shows the scene where it belongs.
    for (int r = 0; r < lsiz; r++)
        for (int c = 0; c < esiz; c++) {
            float lat = 0, lon = 0;
            int v = 255;  // space is cold
            if (MAP_untran(static_cast<float>(x_of(ecor + (esiz - 1 - c) * kNavRes)),
                           static_cast<float>(y_of(lcor + r * kNavRes)), &lat, &lon))
                v = count_of(scene_kelvin(lat, lon));
            bytes[data + static_cast<std::size_t>(r) * esiz + c] = static_cast<std::uint8_t>(v);
        }
    std::ofstream out(argv[1], std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[1]);
        return 1;
    }
    std::printf("%s: %d lines x %d elements, satellite line %d element %d\n", argv[1], lsiz, esiz,
                lcor, ecor);
    return 0;
}
