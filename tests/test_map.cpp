// Map backgrounds and places as the user sees them: orlo runs under Xvfb
// writing PNG pictures whose map pixels are checked against PROJ positions
// of capes, the choice of map files by the map list rules, the breaks at the
// wrap-around edge and the limb, text against binary map files, the grid,
// broken map files, places found by identifier and the value print.
#include "geo_pic.h"

#include <functional>
#include <map>
#include <memory>
#include <tuple>

#include "cty_tool.h"
#include "map.h"
#include "maptran.h"
#include "plt_tool.h"

namespace {

using namespace geo;

// The real GOES-8 picture on "us": every cape (positions projected by PROJ
// on the package's sphere, true at 60 N) has a map line within 2 pixels; no
// line comes within 6 pixels of an open-sea point.
TEST(MapReference, GoesEightOnUsFollowsTheCoast) {
    const std::string area = zt::testdata("area/cmx3g8_wv_1998.260_0745_mcidas.ara");
    ZT_NEED_DATA(area);
    if (!zt::have_tool("proj")) GTEST_SKIP() << "proj not installed";
    const Drawn r = draw(area, "-pd us -com red");
    const std::vector<double> d = plot_domain(r.out);  // clat, clon, nx, ny, dx
    ASSERT_EQ(r.pic.w, d[2]) << r.out;
    const std::vector<std::tuple<const char*, double, double, bool>> places = {  // name, lat, lon, on the coast
        {"Cape Hatteras", 35.223, -75.529, true},   {"Cape Lookout", 34.583, -76.536, true},
        {"Cape Fear", 33.843, -77.961, true},       {"Cape May", 38.933, -74.961, true},
        {"Montauk Point", 41.071, -71.857, true},   {"Race Point", 42.062, -70.243, true},
        {"Cape Canaveral", 28.459, -80.534, true},  {"Cape San Blas", 29.672, -85.356, true},
        {"Cape Mendocino", 40.440, -124.409, true}, {"Point Conception", 34.449, -120.471, true},
        {"Cape Blanco", 42.837, -124.564, true},    {"Point Reyes", 37.996, -123.023, true},
        {"Cape Flattery", 48.383, -124.715, true},  {"Rio Grande mouth", 25.956, -97.146, true},
        {"Gulf of Mexico", 25.5, -90.0, false},     {"Atlantic off Carolina", 32.0, -74.0, false},
        {"Pacific", 35.0, -126.0, false},           {"Gulf of Maine", 42.5, -68.5, false},
    };
    std::vector<std::pair<double, double>> in{{d[1], d[0]}};
    for (const auto& [name, lat, lon, coast] : places) in.emplace_back(lon, lat);
    const auto xy = zt::proj("+proj=stere +lat_0=90 +lat_ts=60 +lon_0=-97 +R=6371220", in);
    ASSERT_EQ(xy.size(), in.size());
    for (std::size_t k = 0; k < places.size(); ++k) {
        const double col = (xy[k + 1].first - xy[0].first) / (d[4] * 1e5) + (d[2] - 1) / 2;
        const double row = (xy[0].second - xy[k + 1].second) / (d[4] * 1e5) + (d[3] - 1) / 2;
        const bool coast = std::get<3>(places[k]);
        EXPECT_EQ(r.pic.near(col, row, kRed, coast ? 2 : 6), coast) << std::get<0>(places[k]) << " " << col << "," << row;
    }
}

// The coast drawn on a real infrared GINI image (GOES, 28 Sep 2015 17:45,
// Baja California by day: warm land, cooler sea) lies on the image's own
// land/sea edge: the brightness range around coast pixels is well above
// that around the same pixels moved 10 pixels (32 km) any way (about 1.6 times).
TEST(MapReference, CoastLiesOnTheLandSeaEdgeOfTheImage) {
    const std::string gini = zt::testdata("gini/TIGN02");
    ZT_NEED_DATA(gini);
    const std::string args = "-if awip -pd ps:-112,28,-112,25,17,0.8,0.8 ";
    const Drawn img = draw(gini, args + "-dr data", 600, 400), map = draw(gini, args + "-dr map -mf cont.map:yellow", 600, 400);
    auto range = [&img](int x, int y) {  // of the image's brightness in a 5 x 5 square
        int lo = 255, hi = 0;
        for (int j = y - 2; j <= y + 2; ++j)
            for (int i = x - 2; i <= x + 2; ++i) lo = std::min<int>(lo, img.pic.at(i, j) >> 16), hi = std::max<int>(hi, img.pic.at(i, j) >> 16);
        return hi - lo;
    };
    for (const auto& [dx, dy] : std::vector<std::pair<int, int>>{{10, 0}, {-10, 0}, {0, 10}, {0, -10}}) {
        double on = 0, off = 0;
        for (int y = 12; y < map.pic.h - 12; ++y)
            for (int x = 12; x < map.pic.w - 12; ++x)
                if (map.pic.at(x, y) == kYellow) on += range(x, y), off += range(x + dx, y + dy);
        EXPECT_GT(on, 1.4 * off) << dx << "," << dy;
    }
}

// Which files a map list draws, and in which pass: files report themselves
// ("Map: path", "-" before a name: not reported); files under the image
// are hidden by it (colours: B blue, G green, Y yellow; "!" not seen).
TEST(MapList, ChoosesFilesByTheWrittenRules) {
    zt::TempDir dir;
    const char* names[] = {"zem.map", "cont.map", "country.map", "a.map", "b.map", "c.map", "county.map"};
    for (int k = 0; k < 7; ++k) {  // one line each, at its own latitude
        const std::string lat = std::to_string(33 + 2 * k);
        zt::spit(dir.file(names[k]), "3 0 0 0 0 0\n" + lat + " -110\n" + lat + " -100\n" + lat + " -90\n0 0 0 0 0 0\n");
    }
    zt::spit(dir.file("list.txt"), "s+50:a.map\nb.map  c.map\n");
    zt::spit(dir.file("obs.raw"), "# id lat lon value\nKDEN 39.86 -104.67 21\nBAD -9999 -9999 0\n");
    const char* us = "-pd us -mf ", *eu = "-pd ps:10,50,10,25,17,1,1 -mf ";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"-pd ps:-100,40,-100,25,17,1.6,1.6", "zem.map -cont.map -country.map"},
        {"-pd ps:-100,40,-100,25,17,7,7", "cont.map country.map -zem.map"},
        {"-pd ps:10,50,10,25,17,1,1", "cont.map country.map -zem.map"},
        {us + std::string(",-a.map:blue,+b.map:green,c.map:yellow"), "a.map b.map c.map G Y !B"},
        {"-dr map " + (us + std::string(",-a.map:blue,+b.map:green,c.map:yellow")), "B G Y"},
        {us + std::string("a.map,[20,55,-130,-60,40],county.map,[0,90,-180,180],c.map"), "a.map county.map -c.map"},
        {eu + std::string("a.map,[20,55,-130,-60,40],county.map,[0,90,-180,180],c.map"), "a.map c.map -county.map"},
        {us + std::string("a.map,[20,55,-130,-60,30],county.map,[],c.map"), "a.map c.map -county.map"},
        {us + std::string("'s-40:a.map,s-30:b.map,>30<40:c.map,<30>20:county.map'"), "a.map c.map -b.map -county.map"},
        {us + std::string("fi:list.txt"), "b.map c.map -a.map"},
        {"-dr map " + (us + std::string("rf:obs.raw")), "G"},
    };
    const std::map<char, std::uint32_t> colour = {{'B', kBlue}, {'G', kGreen}, {'Y', kYellow}};
    for (const auto& [args, expect] : cases) {
        const Drawn r = draw(demo_area(), args, 640, 427, dir.path());
        std::istringstream words(expect);
        for (std::string w; words >> w;) {
            if (w.size() <= 2)
                EXPECT_EQ(r.pic.has(colour.at(w.back())), w[0] != '!') << args << ": colour " << w;
            else if (w[0] == '-')
                EXPECT_EQ(zt::count_of(r.out, "/" + w.substr(1) + "\n"), 0) << args << ": " << w;
            else
                EXPECT_EQ(zt::count_of(r.out, "Map: " + dir.file(w) + "\n"), 1) << args << ": " << w;
        }
    }
    const Drawn missing = draw(demo_area(), "-pd us -mf nothere.map,fi:nolist", 640, 427, dir.path());
    EXPECT_NE(missing.out.find("MAP_process: Map file not found: " + dir.file("nothere.map")), std::string::npos);
    EXPECT_NE(missing.out.find("MAP_draw: Unable to open map list file: " + dir.file("nolist")), std::string::npos);
}

// Length of the longest run of colour c along a picture row.
int longest_run(const Pic& p, std::uint32_t c) {
    int best = 0;
    for (int y = 0; y < p.h; ++y)
        for (int x = 0, run = 0; x < p.w; ++x) best = std::max(best, run = p.at(x, y) == c ? run + 1 : 0);
    return best;
}

// World maps break lines at their wrap-around edge (no line across the
// picture); the satellite view keeps every line on the visible disk.
TEST(MapBreaks, NoLinesAcrossTheWrapAroundEdgeOrOffTheDisk) {
    for (const char* dom : {"ll:0,0,0,361,181,1,1", "ll:180,0,180,361,181,1,1", "me:150,0,150,401,301,1,1",
                            "mo:-100,0,-100,401,201,1,1"}) {
        const Drawn r = draw(demo_area(), std::string("-dr map -mf world.map:green -pd ") + dom, 800, 400);
        ASSERT_TRUE(r.pic.has(kGreen)) << dom;
        EXPECT_LT(longest_run(r.pic, kGreen), r.pic.w / 3) << dom;
    }
    // Disk radius from the picture's scale: satellite distance 421.61 and
    // earth radius 63.7122 units, 0.4 units a pixel.
    const Drawn r = draw(demo_area(), "-dr map -mf world.map:green -pd sat:0:-75,0,-75,401,401,0.4,0.4", 401, 401);
    const double radius = 421.61 * std::tan(std::asin(63.7122 / 421.61)) / 0.4;
    int off_disk = 0, on_disk = 0;
    for (int y = 0; y < r.pic.h; ++y)
        for (int x = 0; x < r.pic.w; ++x)
            if (r.pic.at(x, y) == kGreen) ++(std::hypot(x - 200, y - 200) > radius + 1.5 ? off_disk : on_disk);
    EXPECT_GT(on_disk, 1000);
    EXPECT_EQ(off_disk, 0);
}

// The generated zem.map (binary) and the same data as text draw the same
// picture; a latitude/longitude grid draws its circles.
TEST(MapFiles, TextAndBinaryDrawAlikeAndTheGridLies) {
    zt::TempDir dir;
    const auto r = zt::run("/usr/bin/python3 " + std::string(ZEM_SOURCE_DIR) + "/tools/make_maps.py --to-text " +
                           ZEM_ETC_DIR + "/zem.map " + dir.file("zem.map"));
    ASSERT_EQ(r.status, 0) << r.out;
    const Drawn bin = draw(demo_area(), "-dr map -pd us");
    ASSERT_TRUE(bin.pic.has(kRed));
    EXPECT_TRUE(bin.pic.rgb == draw(demo_area(), "-dr map -pd us", 640, 427, dir.path()).pic.rgb);

    // Half a degree a pixel, row 0 at 90 N: circles every 30 degrees with
    // their labels at the left edge (glyphs above the line), meridians with
    // theirs at the bottom (glyphs beside the line).
    const Drawn grid = draw(demo_area(), "-dr map -mf lalo:30:30:green:s1 -pd ll:0,0,0,721,361,0.5,0.5", 721, 361);
    auto green = [&grid](int x0, int x1, int y0, int y1) {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) n += grid.pic.at(x, y) == kGreen;
        return n;
    };
    for (int lat = -60; lat <= 60; lat += 30) {
        EXPECT_GT(green(0, 721, 180 - 2 * lat, 181 - 2 * lat), 700) << "circle at " << lat;
        EXPECT_GT(green(2, 30, 176 - 2 * lat, 179 - 2 * lat), 0) << "label of " << lat;
    }
    for (int lon = -150; lon <= 150; lon += 30) EXPECT_GT(green(362 + 2 * lon, 372 + 2 * lon, 345, 358), 0) << lon;
}

// Broken map files draw what they can and say what went wrong.
TEST(MapFiles, BrokenFilesWarnAndDrawWhatTheyCan) {
    const std::string good = zt::slurp(std::string(ZEM_ETC_DIR) + "/zem.map");
    const std::string text = "3 0 0 0 0 0\n40 -110\n40 -100\n40 -90\n";
    const std::vector<std::tuple<std::string, std::string, bool>> cases = {  // data, warning, draws
        {good.substr(0, 100001), "MAP_map: record ", true},
        {good.substr(0, 22 + 80) + "xxxxx", "of its", false},
        {text + "2 0 0 0 0 0\n41 -100\n", "MAP_map: record 2 ends after 1 of its 2 points", true},
        {text + "junk here\n", "MAP_map: unreadable record header after 1 records", true},
        {text, "", true},  // no closing record
        {std::string(5000, '\x7f'), "MAP_map: ", false},
        {"", "", false},
        {"2 0 0 0 0 0\nnan -100\n40 inf\n0 0 0 0 0 0\n", "", false},
    };
    for (const auto& [data, warning, draws] : cases) {
        zt::TempDir dir;
        zt::spit(dir.file("bad.map"), data);
        const Drawn r = draw(demo_area(), "-dr map -pd us -mf bad.map:green", 640, 427, dir.path());
        EXPECT_EQ(r.out.find(warning.empty() ? "MAP_map:" : warning) != std::string::npos, !warning.empty()) << r.out;
        EXPECT_EQ(r.pic.has(kGreen), draws) << data.substr(0, 40);
    }
}

// The frames of a loop draw their map files again from the lines kept at
// the first frame: the same pixels as the first frame, which read them.
TEST(MapFiles, LoopFramesDrawTheKeptLinesAlike) {
    const Drawn r = draw(demo_area() + " " + demo_area(), "-dr map -pd us -mf zem.map:green,lalo:10:10:red");
    ASSERT_EQ(r.frames.size(), 2u) << r.out;
    EXPECT_TRUE(r.frames[0].has(kGreen) && r.frames[0].has(kRed));
    EXPECT_TRUE(r.frames[1].rgb == r.frames[0].rgb);
}

// Kept lines are drawn again only while the file, the projection and the
// map window stay the same; a damaged file is read again every time.
TEST(MapFiles, KeptLinesOnlyWhileNothingChanged) {
    const std::string line = "3 0 0 0 0 0\n40 -110\n40 -100\n40 -90\n", more = line + "2 0 0 0 0 0\n30 -80\n31 -81\n";
    auto setup = [](Domain d) { MAP_setup(&d); };
    const std::vector<std::tuple<const char*, std::string, std::string, std::function<void(Domain)>, bool>> cases = {
        {"same", line, line, setup, true},
        {"file rewritten", line, more, setup, false},
        {"rewritten, same size", line, "3 0 0 0 0 0\n41 -110\n40 -100\n40 -90\n", setup, false},
        {"centre", line, line, [](Domain d) { d.clat += 1.0f; MAP_setup(&d); }, false},
        {"projection only", line, line, [](Domain d) { MAP_setup(&d); d.param[0] = 30.0f; MAP_domain(&d); }, false},
        {"window zoomed", line, line, [](Domain d) { MAP_setup(&d); const Glim w{-5, 5, -5, 5}; gset_win(2, &w); }, false},
        {"damaged", line + "junk\n", line + "junk\n", setup, false},
    };
    zt::TempDir dir;
    zt::MessCapture quiet;
    const std::string path = dir.file("a.map");
    auto draw_file = [&path] {
        std::unique_ptr<std::FILE, int (*)(std::FILE*)> fp(std::fopen(path.c_str(), "rb"), std::fclose);
        MAP_map(fp.get());
        return MAP_map_cache(1);
    };
    for (const auto& [what, first, second, change, reused] : cases) {
        const Domain d = zt::dom("ps:60:-97,39,-97,640,428,0.0864,0.0862");
        MAP_map_cache(0);
        MAP_map_cache(1);
        zt::spit(path, first);
        setup(d);
        const int hits = draw_file();
        if (second != first) zt::spit(path, second);
        change(d);
        EXPECT_EQ(draw_file() - hits, reused ? 1 : 0) << what;
    }
}

// "-pd id:..." centres the domain on the place: published airport positions
// (FAA / AIP reference points) within 0.05 degree; a place file with WMO
// numbers finds them written to five digits.
TEST(Places, IdentifiersNamesAndNumbersCentreTheDomain) {
    zt::TempDir dir;
    zt::spit(dir.file("my.cty"), "London -- GB EGLL *3* 51.48 -0.45 24 3772 0\n");
    const std::vector<std::tuple<std::string, double, double>> cases = {
        {"KDEN", 39.8617, -104.6731}, {"kden", 39.8617, -104.6731}, {"KJFK", 40.6398, -73.7789},
        {"KORD", 41.9786, -87.9048},  {"KSEA", 47.4502, -122.3088}, {"CYYZ", 43.6777, -79.6248},
        {"EGLL", 51.4700, -0.4543},   {"RJTT", 35.5523, 139.7798},  {"Kennedy", 40.6398, -73.7789},
        {dir.file("my.cty") + ":03772", 51.48, -0.45},
    };
    for (const auto& [id, lat, lon] : cases) {
        const std::vector<double> d = plot_domain(draw(demo_area(), "-dr map -pd id:" + id + ",1.0").out);
        EXPECT_NEAR(d[0], lat, 0.05) << id;
        EXPECT_NEAR(d[1], lon, 0.05) << id;
    }
    // The program refuses an unknown place and draws nothing.
    const zt::RunResult none = zt::run_orlo("-fp " + std::string(ZEM_ETC_DIR) + " -de d -me warn -pd id:KXYZ,1.0 " + demo_area());
    EXPECT_EQ(none.status, 10) << none.out;
    EXPECT_NE(none.out.find("Invalid plot domain"), std::string::npos) << none.out;
}

// The value print (Alt+v) names the place of sao.cty nearest the pointer.
TEST(Places, ValuePrintNamesTheNearestPlace) {
    RES_put("file_path", ZEM_ETC_DIR);
    Domain us;
    ASSERT_TRUE(DOM_decode("us", &us) == 2 && MAP_domain(&us) == 0);
    const std::vector<std::tuple<float, float, std::string>> cases = {
        {39.867f, -104.667f, "KDEN"}, {41.95f, -87.93f, "KORD"}, {40.63f, -73.77f, "KJFK"}, {47.45f, -122.31f, "KSEA"}};
    for (const auto& [lat, lon, id] : cases) {
        float x = 0, y = 0;
        zt::MessCapture cap;
        MAP_tran(lat, lon, &x, &y);
        PLT_print_values(const_cast<char*>("v-Alt"), x, y);
        EXPECT_NE(cap.text().find("Id: " + id + " "), std::string::npos) << cap.text();
    }
    CTY_data d;
    EXPECT_TRUE(CTY_search("EGLL", &d) == 1 && std::fabs(d.lat - 51.48f) < 0.01f) << d.lat;
    CTY_clear();
    RES_put("city_file", "none");  // no database: no place to name
    EXPECT_EQ(CTY_search_loc(0.0f, 0.0f, &d) + CTY_search("EGLL", &d), 0);
}

}  // namespace
