// Map backgrounds as the user sees them: orlo runs under Xvfb writing PNG
// pictures whose map pixels are checked against PROJ positions of capes, the
// choice of map files by the map list rules, the breaks at the wrap-around
// edge and the limb, text against binary map files, the latitude/longitude
// grid, broken map files, and places found by identifier.
#include "zem_test.h"

#include <cmath>
#include <cstdint>
#include <regex>

#include "img_tool.h"
#include "png.h"

namespace {

const auto* const kKeep = ::testing::AddGlobalTestEnvironment(new zt::KeepServer);

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

struct Drawn {
    Pic pic;
    std::string out;
};

// orlo on `image` with a picture of w x h pixels and no margins, file_path
// `fp`, written as PNG and read back.
Drawn draw(const std::string& image, const std::string& args, int w = 640, int h = 427,
         const std::string& fp = ZEM_ETC_DIR) {
    zt::TempDir dir;
    Drawn r;
    // Map files of a test's own folder are drawn with the package's colours.
    if (fp != ZEM_ETC_DIR)
        std::filesystem::copy_file(std::string(ZEM_ETC_DIR) + "/zem.clr", fp + "/zem.clr",
                                   std::filesystem::copy_options::skip_existing);
    char ge[64];
    std::snprintf(ge, sizeof ge, "%dx%d", w, h);
    r.out = zt::run_orlo("-fp " + fp + " -ip " + dir.path() + " -de d -ge " + ge + " -me +out3 -pp full,png:p.png " +
                         args + " " + image).out;
    IMG_report img;
    IMG_init(&img);
    if (PNG_read(dir.file("p.png").c_str(), &img, 0) != 1) {
        ADD_FAILURE() << "no picture: " << r.out;
        return r;
    }
    r.pic.w = img.width;
    r.pic.h = img.height;
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x) {
            const IMG_color& c = img.colors[zt::pixel(img, x, y)];
            auto b = [](float v) { return static_cast<std::uint32_t>(std::lround(v * 255.0f)); };
            r.pic.rgb.push_back(b(c.r) << 16 | b(c.g) << 8 | b(c.b));
        }
    IMG_free(&img);
    return r;
}

// The demo scene: a synthetic AREA image of North America.
const std::string& demo_area() {
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
PlotDomain plot_domain(const std::string& out) {
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

// The real GOES-8 picture on "us": every cape (positions projected by PROJ
// on the sphere of the package, true at 60 N) has a map line within 2
// pixels, and no map line comes within 6 pixels of an open-sea point.
TEST(MapReference, GoesEightOnUsFollowsTheCoast) {
    const std::string area = zt::testdata("area/cmx3g8_wv_1998.260_0745_mcidas.ara");
    ZT_NEED_DATA(area);
    if (!zt::have_tool("proj")) GTEST_SKIP() << "proj not installed";
    const Drawn r = draw(area, "-pd us -com red");
    const PlotDomain d = plot_domain(r.out);
    ASSERT_GT(d.dx, 0.0) << r.out;
    ASSERT_EQ(r.pic.w, d.nx);
    struct Place {
        const char* name;
        double lat, lon;
        bool coast;
    };
    const std::vector<Place> places = {
        {"Cape Hatteras", 35.223, -75.529, true},   {"Cape Lookout", 34.583, -76.536, true},
        {"Cape Fear", 33.843, -77.961, true},       {"Cape May", 38.933, -74.961, true},
        {"Montauk Point", 41.071, -71.857, true},   {"Cape Cod, Race Point", 42.062, -70.243, true},
        {"Cape Canaveral", 28.459, -80.534, true},  {"Cape San Blas", 29.672, -85.356, true},
        {"Cape Mendocino", 40.440, -124.409, true}, {"Point Conception", 34.449, -120.471, true},
        {"Cape Blanco", 42.837, -124.564, true},    {"Point Reyes", 37.996, -123.023, true},
        {"Cape Flattery", 48.383, -124.715, true},  {"Brownsville, Rio Grande mouth", 25.956, -97.146, true},
        {"Gulf of Mexico", 25.5, -90.0, false},     {"Atlantic off Carolina", 32.0, -74.0, false},
        {"Pacific off California", 35.0, -126.0, false}, {"Gulf of Maine", 42.5, -68.5, false},
    };
    std::vector<std::pair<double, double>> in{{d.clon, d.clat}};
    for (const auto& p : places) in.emplace_back(p.lon, p.lat);
    const auto xy = zt::proj("+proj=stere +lat_0=90 +lat_ts=60 +lon_0=-97 +R=6371220", in);
    ASSERT_EQ(xy.size(), in.size());
    const double m = d.dx * 1e5;  // metres per pixel
    for (std::size_t k = 0; k < places.size(); ++k) {
        const double col = (xy[k + 1].first - xy[0].first) / m + (d.nx - 1) / 2.0;
        const double row = (xy[0].second - xy[k + 1].second) / m + (d.ny - 1) / 2.0;
        if (places[k].coast)
            EXPECT_TRUE(r.pic.near(col, row, kRed, 2)) << places[k].name << " at " << col << "," << row;
        else
            EXPECT_FALSE(r.pic.near(col, row, kRed, 6)) << places[k].name << " at " << col << "," << row;
    }
}

// Which files a map list draws, and in which pass: files report themselves
// ("Map: path"); files under the image are hidden by it.
TEST(MapList, ChoosesFilesByTheWrittenRules) {
    zt::TempDir dir;
    // One line each, at its own latitude across the middle of the US.
    const char* names[] = {"zem.map", "cont.map", "country.map", "a.map", "b.map", "c.map", "county.map"};
    for (int k = 0; k < 7; ++k) {
        const double lat = 33.0 + 2.0 * k;
        zt::spit(dir.file(names[k]), "3 0 0 0 0 0\n" + std::to_string(lat) + " -110\n" + std::to_string(lat) +
                                         " -100\n" + std::to_string(lat) + " -90\n0 0 0 0 0 0\n");
    }
    struct Case {
        std::string args;
        std::vector<std::string> drawn, skipped;
        std::vector<std::uint32_t> seen, hidden;
    };
    const std::vector<Case> cases = {
        {"-pd ps:-100,40,-100,25,17,1.6,1.6", {"zem.map"}, {"cont.map", "country.map"}, {}, {}},
        {"-pd ps:-100,40,-100,25,17,7,7", {"cont.map", "country.map"}, {"zem.map"}, {}, {}},
        {"-pd ps:10,50,10,25,17,1,1", {"cont.map", "country.map"}, {"zem.map"}, {}, {}},
        {"-pd us -mf ,-a.map:blue,+b.map:green,c.map:yellow", {"a.map", "b.map", "c.map"}, {},
         {kGreen, kYellow}, {kBlue}},
        {"-pd us -dr map -mf ,-a.map:blue,+b.map:green,c.map:yellow", {}, {}, {kBlue, kGreen, kYellow}, {}},
        {"-pd us -mf a.map,[20,55,-130,-60,40],county.map,[0,90,-180,180],c.map", {"a.map", "county.map"},
         {"c.map"}, {}, {}},
        {"-pd ps:10,50,10,25,17,1,1 -mf a.map,[20,55,-130,-60,40],county.map,[0,90,-180,180],c.map",
         {"a.map", "c.map"}, {"county.map"}, {}, {}},
        {"-pd us -mf a.map,[20,55,-130,-60,30],county.map,[],c.map", {"a.map", "c.map"}, {"county.map"}, {}, {}},
        {"-pd us -mf 's-40:a.map,s-30:b.map,>30<40:c.map,<30>20:county.map'", {"a.map", "c.map"},
         {"b.map", "county.map"}, {}, {}},
        {"-pd us -mf fi:list.txt", {"b.map", "c.map"}, {"a.map"}, {}, {}},
    };
    zt::spit(dir.file("list.txt"), "s+50:a.map\nb.map  c.map\n");
    for (const auto& c : cases) {
        const Drawn r = draw(demo_area(), c.args, 640, 427, dir.path());
        for (const auto& f : c.drawn)
            EXPECT_EQ(zt::count_of(r.out, "Map: " + dir.file(f) + "\n"), 1) << c.args << " should draw " << f;
        for (const auto& f : c.skipped) EXPECT_EQ(zt::count_of(r.out, "/" + f + "\n"), 0) << c.args << ": " << f;
        for (auto col : c.seen) EXPECT_TRUE(r.pic.has(col)) << c.args << std::hex << " colour " << col;
        for (auto col : c.hidden) EXPECT_FALSE(r.pic.has(col)) << c.args << std::hex << " colour " << col;
    }
    const Drawn missing = draw(demo_area(), "-pd us -mf nothere.map,fi:nolist", 640, 427, dir.path());
    EXPECT_NE(missing.out.find("MAP_process: Map file not found: " + dir.file("nothere.map")), std::string::npos);
    EXPECT_NE(missing.out.find("MAP_draw: Unable to open map list file: " + dir.file("nolist")), std::string::npos);
}

// Longest run of colour c along one picture row.
int longest_row_run(const Pic& p, std::uint32_t c) {
    int best = 0;
    for (int y = 0; y < p.h; ++y)
        for (int x = 0, run = 0; x < p.w; ++x) best = std::max(best, run = p.at(x, y) == c ? run + 1 : 0);
    return best;
}

// World maps broken at their wrap-around edge: no line runs across the
// picture; the satellite view keeps every line on the visible disk.
TEST(MapBreaks, NoLinesAcrossTheWrapAroundEdgeOrOffTheDisk) {
    struct Case {
        const char* domain;
    };
    for (const char* dom : {"ll:0,0,0,361,181,1,1", "ll:180,0,180,361,181,1,1", "me:150,0,150,401,301,1,1",
                            "mo:-100,0,-100,401,201,1,1"}) {
        const Drawn r = draw(demo_area(), std::string("-dr map -mf world.map:green -pd ") + dom, 800, 400);
        ASSERT_TRUE(r.pic.has(kGreen)) << dom;
        EXPECT_LT(longest_row_run(r.pic, kGreen), r.pic.w / 3) << dom;
    }
    // Full disk seen from 75 W: radius of the earth's disk from the picture's
    // own scale (satellite distance 421.61 and earth radius 63.7122 units).
    const Drawn r = draw(demo_area(), "-dr map -mf world.map:green -pd sat:0:-75,0,-75,401,401,0.4,0.4", 401, 401);
    ASSERT_TRUE(r.pic.has(kGreen));
    const double radius = 421.61 * std::tan(std::asin(63.7122 / 421.61)) / 0.4;
    for (int y = 0; y < r.pic.h; ++y)
        for (int x = 0; x < r.pic.w; ++x)
            if (r.pic.at(x, y) == kGreen) {
                ASSERT_LE(std::hypot(x - 200, y - 200), radius + 1.5) << x << "," << y;
            }
}

// The same map data as binary (the generated zem.map) and as text draw the
// same picture; a latitude/longitude grid draws its circles.
TEST(MapFiles, TextAndBinaryDrawAlikeAndTheGridLies) {
    zt::TempDir dir;
    const auto r = zt::python(R"(
import struct, sys
d = open(sys.argv[1], 'rb').read(); o = open(sys.argv[2], 'w'); p = 0
while p + 22 <= len(d):
    h = struct.unpack('>H4fi', d[p:p + 22]); p += 22
    o.write('%d %r %r %r %r %d\n' % h)
    for k in range(h[0]):
        o.write('%r %r\n' % struct.unpack('>2f', d[p:p + 8])); p += 8
    if h[0] == 0: break
)", std::string(ZEM_ETC_DIR) + "/zem.map " + dir.file("zem.map"));
    ASSERT_EQ(r.status, 0) << r.out;
    const Drawn bin = draw(demo_area(), "-dr map -pd us");
    const Drawn text = draw(demo_area(), "-dr map -pd us", 640, 427, dir.path());
    ASSERT_TRUE(bin.pic.has(kRed));
    EXPECT_TRUE(bin.pic.rgb == text.pic.rgb);

    // Latitude circles every 10 degrees on a latitude-longitude world map
    // of one pixel per degree (row 0 at 90 N).
    const Drawn grid = draw(demo_area(), "-dr map -mf lalo:10:30:green:s1 -pd ll:0,0,0,361,181,1,1", 361, 181);
    for (int lat = -80; lat <= 80; lat += 10) {
        int n = 0;
        for (int x = 0; x < 361; ++x) n += grid.pic.at(x, 90 - lat) == kGreen;
        EXPECT_GT(n, 300) << "circle at " << lat;
    }
}

// Broken map files draw what they can and say what went wrong.
TEST(MapFiles, BrokenFilesWarnAndDrawWhatTheyCan) {
    const std::string good = zt::slurp(std::string(ZEM_ETC_DIR) + "/zem.map");
    ASSERT_GT(good.size(), 100000u);
    const std::string text = "3 0 0 0 0 0\n40 -110\n40 -100\n40 -90\n";
    struct Case {
        const char* name;
        std::string data;
        const char* message;  // empty: no warning
        bool draws;
    };
    const std::vector<Case> cases = {
        {"binary cut inside a record", good.substr(0, 100001), "MAP_map: record ", true},
        {"binary cut after a header", good.substr(0, 22 + 8 * 10) + std::string(5, 'x'), "of its", false},
        {"text cut inside a record", text + "2 0 0 0 0 0\n41 -100\n", "MAP_map: record 2 ends after 1 of its 2 points",
         true},
        {"text with a garbage header", text + "junk here\n", "MAP_map: unreadable record header after 1 records",
         true},
        {"text without its closing record", text, "", true},
        {"garbage", std::string(5000, '\x7f'), "MAP_map: ", false},
        {"empty", "", "", false},
        {"nan points", "2 0 0 0 0 0\nnan -100\n40 inf\n0 0 0 0 0 0\n", "", false},
    };
    for (const auto& c : cases) {
        zt::TempDir dir;
        zt::spit(dir.file("bad.map"), c.data);
        const Drawn r = draw(demo_area(), "-dr map -pd us -mf bad.map:green", 640, 427, dir.path());
        if (*c.message) {
            EXPECT_NE(r.out.find(c.message), std::string::npos) << c.name << ": " << r.out;
        } else {
            EXPECT_EQ(r.out.find("MAP_map:"), std::string::npos) << c.name << ": " << r.out;
        }
        EXPECT_EQ(r.pic.has(kGreen), c.draws) << c.name;
    }
}

// "-pd id:..." centres the domain on the place: published airport positions
// (FAA / AIP reference points) within 0.05 degree.
TEST(Places, IdentifiersAndNamesCentreTheDomain) {
    struct Case {
        const char* id;
        double lat, lon;
    };
    const std::vector<Case> cases = {
        {"KDEN", 39.8617, -104.6731}, {"kden", 39.8617, -104.6731}, {"KJFK", 40.6398, -73.7789},
        {"KORD", 41.9786, -87.9048},  {"KSEA", 47.4502, -122.3088}, {"CYYZ", 43.6777, -79.6248},
        {"EGLL", 51.4700, -0.4543},   {"RJTT", 35.5523, 139.7798},  {"Kennedy", 40.6398, -73.7789},
    };
    for (const auto& c : cases) {
        const Drawn r = draw(demo_area(), std::string("-dr map -pd id:") + c.id + ",1.0");
        const PlotDomain d = plot_domain(r.out);
        EXPECT_NEAR(d.clat, c.lat, 0.05) << c.id << ": " << r.out;
        EXPECT_NEAR(d.clon, c.lon, 0.05) << c.id;
    }
    // A place file of the written format with WMO numbers: found by the
    // number written to five digits; an unknown identifier is not read.
    zt::TempDir dir;
    zt::spit(dir.file("my.cty"), "London -- GB EGLL *3* 51.48 -0.45 24 3772 0\nNowhere XX XX NOPE 4 10 10\n");
    const Drawn wmo = draw(demo_area(), "-dr map -pd id:my.cty:03772,1.0", 640, 427, dir.path());
    EXPECT_NEAR(plot_domain(wmo.out).clat, 51.48, 1e-3) << wmo.out;
    // The program refuses such a domain and draws nothing.
    const zt::RunResult none = zt::run_orlo("-fp " + dir.path() + " -de d -me warn -pd id:my.cty:KXYZ,1.0 " + demo_area());
    EXPECT_EQ(none.status, 10) << none.out;
    EXPECT_NE(none.out.find("Invalid plot domain"), std::string::npos) << none.out;
}

}  // namespace
