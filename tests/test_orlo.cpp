// The orlo program: decoding of the driver's resources; the program run
// whole (help text, exit statuses, a real AREA file saved as an image file
// and dumped as PNG, checked through ImageMagick, a loop of frames, and
// interactive use driven by xdotool); and the driver's flows in this
// process on AREA samples made by the sample writer (sequences with
// unreadable files, refresh, re-plots, zoom and image output).
#include "zem_test.h"

#include <set>
#include <thread>

#include "area_writer.h"
#include "colors.h"
#include "files.h"
#include "flag.h"
#include "gks_loop.h"
#include "gks_tool.h"
#include "maptran.h"
#include "plt_labl.h"
#include "plt_tool.h"
#include "sat_tool.h"
#include "tools.h"

namespace {

// No resource file of the machine or the build folder takes part.
const int kNoDefaults = setenv("zemdefault", "/nonexistent", 1);
const std::string kArea = zt::testdata("area/cmx3g8_wv_1998.260_0745_mcidas.ara");

// Decodes a command line as orlo does (its declarations cover every switch
// used here).
void decode(std::vector<std::string> args) {
    static const res_type keys[] = {RES_message,  RES_file_path,  RES_image_path, RES_input,    RES_in_file,
                                    RES_out_file, RES_file_param, RES_current,    RES_num_hour, RES_plot_domain,
                                    RES_region,   RES_plot_param, RES_draw,       RES_geometry, RES_null};
    static const res_type pos[] = {RES_filenames, RES_null};
    zt::decode("orlo", std::move(args), keys, pos);
}

std::string current_conv() {
    char buf[FILE_NAME_LEN * 2 + 20] = {};
    FILE_get_name_conv(buf);
    return buf;
}
std::string conv_of(const char* name) {
    FILE_set_name(name);
    return current_conv();
}

// ---- Decoding -----------------------------------------------------------------

class Decode : public ::testing::Test {
protected:
    void SetUp() override {
        SAT_reset_params();
        decode({"-me", "none"});
    }
    static SAT_params params(const char* pp) {
        decode({"-pp", pp});
        SAT_plot_param();
        SAT_params p{};
        SAT_get_params(&p);
        return p;
    }
};

// Input words and in-file prefixes choose the input format (flag 14) and
// the naming convention; words compare whole, prefixes without regard to
// case; the last of several values decides.
TEST_F(Decode, InputAndInFile) {
    struct Case {
        const char *input, *in_file;
        int format;
        const char* conv;
    };
    const Case cases[] = {
        {nullptr, "awipz_vis", kFormatAwipZ, "vis"}, {nullptr, "Awip_ir", kFormatAwip, "ir"},
        {nullptr, "wv", kFormatArea, "sat_wv"},      {nullptr, "tiff_abc", kFormatTiff, "abc"},
        {nullptr, "unis_ab", kFormatUnisys, "ab"},   {nullptr, "IMG", kFormatArea, "sat_img"},
        {nullptr, "LRIT", kFormatLrit, "sat_vis"},   {nullptr, "my_conv", kFormatArea, "my_conv"},
        {"awip", "ir", kFormatAwip, "sat_ir"},       {"img", nullptr, kFormatImg, "sat_img"},
        {"UniSat", nullptr, kFormatUnisys, nullptr}, {"awi", nullptr, kFormatArea, nullptr},
        {"tiffs", nullptr, kFormatArea, nullptr},    {"tiff,lrit", nullptr, kFormatLrit, nullptr},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args;
        if (c.input) args.insert(args.end(), {"-inp", c.input});
        if (c.in_file) args.insert(args.end(), {"-if", c.in_file});
        decode(args);
        SAT_in_file();
        EXPECT_EQ(FLAG_get(14), c.format) << c.input << " " << c.in_file;
        if (c.conv) {
            const std::string got = current_conv();
            EXPECT_EQ(got, conv_of(c.conv)) << c.in_file;
            EXPECT_TRUE(std::string(c.conv) == "sat_vis" || got != conv_of("sat_vis")) << c.in_file;
        }
    }
}

TEST_F(Decode, OutFile) {
    struct Case {
        const char* out_file;
        int result;
        const char* conv;  // null: the convention is left alone
    };
    for (Case c :
         {Case{"imgz", 2, "sat_img"}, Case{"img_xyz", 1, "xyz"}, Case{"imgz_abc", 2, "abc"}, Case{"none", 0, nullptr},
          Case{"gif:name", 0, nullptr}, Case{"myconv", 1, "myconv"}, Case{"img_a,imgz_b", 2, "b"}}) {
        decode({"-of", c.out_file});
        const std::string before = conv_of("sat_vis");
        EXPECT_EQ(SAT_out_file(), c.result) << c.out_file;
        EXPECT_EQ(current_conv(), c.conv ? conv_of(c.conv) : before) << c.out_file;
    }
}

TEST_F(Decode, PlotParameters) {
    SAT_params p{};
    SAT_get_params(&p);
    p.remap_inc = 5;
    SAT_set_params(&p);
    // Member, parameter text, value; unknown and partial words change nothing.
    struct Case {
        int SAT_params::*field;
        const char* pp;
        int want;
    };
    for (Case c : {Case{&SAT_params::remap_inc, "remap", 20}, Case{&SAT_params::remap_inc, "remap=7", 7},
                   Case{&SAT_params::remap_inc, "remap=0", 0}, Case{&SAT_params::bar, "zoom=2,bar", 1},
                   Case{&SAT_params::bar, "irbar", 2}, Case{&SAT_params::pix_ave, "no_pixave", 0},
                   Case{&SAT_params::over, "over", 1}, Case{&SAT_params::pix_off, "pixoff=-12", -12},
                   Case{&SAT_params::refresh, "refreshed,zo", 0}, Case{&SAT_params::refresh, "refresh", 1},
                   Case{&SAT_params::fill, "fill=3", ATTR_parse_fill_pat("3")}})
        EXPECT_EQ(params(c.pp).*c.field, c.want) << c.pp;
    p = params("minlon=-120.5,maxlon=-60,remix,zo");
    EXPECT_EQ(std::vector<float>({p.min_lon, p.max_lon, p.zoom}), std::vector<float>({-120.5f, -60.0f, 2.0f}));
    for (int sat : {0, 1}) {
        params(sat ? "tran_sat" : "tran_zem");
        EXPECT_EQ(SAT_get_tran_sat(), sat);
    }
    // Cut-off tables: base, then up to three limits closed by 256.
    p = params("cutoff=5:60:120:180");
    EXPECT_EQ(std::vector<int>(p.cutoff, p.cutoff + 5), (std::vector<int>{0, 60, 120, 180, 256}));
    EXPECT_EQ(p.cutbase * 10 + p.numcut, 53);
    p = params("cutoff=0:100:200");
    EXPECT_EQ(std::vector<int>(p.cutoff, p.cutoff + 4), (std::vector<int>{0, 100, 200, 256}));
    EXPECT_EQ(p.numcut, 2);
}

// ---- The program run whole ------------------------------------------------------

// A square Mercator-navigated AREA file (100 x 100 by default) with an
// area_writer pattern ("constant 90", "ramp").
void make_area(const std::string& path, const std::string& pattern, int size = 100) {
    const std::string n = std::to_string(size);
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::string err;
    ASSERT_TRUE(area_make_file("lines " + n + "\nelements " + n +
                                   "\nnav MERC\nw1 100\nw2 100\nw4 20000\n"
                                   "w5 900000\nw6 6371200\npattern " +
                                   pattern + "\n",
                               path, &err))
        << err;
}

// An RGB raster decoded by ImageMagick, independent of the package's readers.
struct Raster {
    int w = 0, h = 0;
    zt::Bytes rgb;
    unsigned long at(int x, int y) const {
        const std::uint8_t* p = &rgb[(static_cast<std::size_t>(y) * w + x) * 3];
        return (static_cast<unsigned long>(p[0]) << 16) | (p[1] << 8) | p[2];
    }
};
Raster raster(const std::string& file) {
    Raster r;
    std::sscanf(zt::im_size(file).c_str(), "%d %d", &r.w, &r.h);
    r.rgb = zt::magick(file);
    if (r.rgb.size() != static_cast<std::size_t>(r.w) * r.h * 3) r.w = r.h = 0;
    return r;
}

bool close_rgb(unsigned long a, unsigned long b) {
    for (int s = 0; s < 24; s += 8)
        if (std::abs(static_cast<int>((a >> s) & 255) - static_cast<int>((b >> s) & 255)) > 1) return false;
    return true;
}

TEST(Program, HelpMatchesTheReviewedText) {
    const zt::RunResult r = zt::run("zemdefault=/nonexistent " + std::string(ORLO_BIN) + " -h");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, zt::slurp(std::string(ZEM_SOURCE_DIR) + "/tests/golden/orlo_help.txt"));
}

// The program run as a user runs it, from a scratch folder: exit statuses,
// the README's examples with the checkout's data named by one option, named
// files in a sequence, message levels, refused domains, colour files that
// cannot be used and more files than frames. Each row checks the messages
// (a text printed `times` times, -1 at least once; one never printed), the
// status and the files written. In commands {O} is orlo, {D} the folder and
// {E} the checkout's etc. A run that ends well prints no failure unless the
// row asks for it or names the one text it must not print.
TEST(Program, Runs) {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X server (DISPLAY unset)";
    const std::string area = zt::testdata("area/pngarea");
    ZT_NEED_DATA(area);
    zt::TempDir dir;
    namespace fs = std::filesystem;
    zt::spit(dir.file("garbage.ara"), std::string(4000, 'j'));
    make_area(dir.file("small.area"), "ramp");
    for (const char* f : {"data/sat_24030509.ara", "data/sat_24030510.ara"}) zt::spit(dir.file(f), std::string(300, 'x'));
    for (const char* f : {"ir/2403051330.area", "ir/2403051345.area", "ir/2403051400.area", "latest_ir.area", "cumulus.area"}) {
        fs::create_directories(fs::path(dir.file(f)).parent_path());
        fs::copy_file(area, dir.file(f));
    }
    fs::create_directories(dir.file("many"));
    for (int k = 100; k < 230; ++k) fs::create_symlink(area, dir.file("many/f" + std::to_string(k) + ".area"));
    zt::spit(dir.file("one.clr"), "white 1.0 1.0 1.0\n");  // one colour, no fill colours
    struct Case {
        std::string cmd, want;
        int times;
        std::string absent;
        std::vector<std::string> made;
        std::string not_made;
        int status;
    };
    const std::string o = "{O} -fp {E} -ip {D} ", u = "{O} -df {E} -ba -me ";
    const Case cases[] = {
        {o + "-ba -me none garbage.ara", "", 0, "", {}, "", 10},
        // Without a server or a dump to draw off-screen for, nothing can be drawn.
        {"env -u DISPLAY " + o + "-pd us small.area", "gopen_ws: unable to connect to display", 1, "", {}, "", 4},
        // A sequence of only unreadable files loops no frame and ends well.
        {"zemcurtime=202403051030 " + o +
             "-de d -if @{D}/data/sat_%y%m%d%h.ara -cu la -nh -1 -me mess,out4 -pp png:never%i.png",
         "Looping initiated", -1, "Created frame", {}, "never00.png", 0},
        {o + "-pd us -pp img:small.img small.area", "", 0, "", {"small.img"}, "", 0},
        // The README's examples, with the checkout's data through -df alone.
        {u + "warn -pd us latest_ir.area", "", 0, "", {}, "", 0},
        {u + "warn,out1 -pd us -cof ir.enh -pp bar cumulus.area", "Enhancement: IR_", 1, "", {}, "", 0},
        {u + "warn -pp png:{D}/frame%i.png latest_ir.area cumulus.area", "", 0, "", {"frame00.png", "frame01.png"}, "", 0},
        {"zemcurtime=202403051400 " + u + "warn -sp {D} -if ir -cu la -nh -0:30 -of img -ip {D}/out", "", 0, "",
         {"out/sat_2403051330.img", "out/sat_2403051345.img", "out/sat_2403051400.img"}, "", 0},
        // A named file keeps its date: the sequence steps back from it.
        {u + "warn -sp {D} -if ir -nh -0:30 -of img -ip {D}/named {D}/ir/2403051400.area", "", 0, "",
         {"named/sat_2403051330.img", "named/sat_2403051400.img"}, "named/sat_8001010000.img", 0},
        // Whole level words keep errors visible; an unknown word is named.
        // Missing files are named as typed, or as the convention built them.
        {u + "warning ./nosuch.area", "Unable to open file:./nosuch.area\n", 1, "", {}, "", 10},
        {u + "errors ../nosuch.area", "No image read from ../nosuch.area\n", 1, "", {}, "", 10},
        {u + "messages sub/nosuch.area", "Unable to open file:sub/nosuch.area\n", 1, "", {}, "", 10},
        {u + "warning -sp sat -if ir 2403051200", "Unable to open file:sat/ir/2403051200.area\n", 1, "", {}, "", 10},
        // A name past the limit is reported once as given, never cut into another.
        {u + "errors {D}/ir" + [] { std::string s; for (int k = 0; k < 25; ++k) s += "/../ir"; return s; }() +
             "/2403051400.area", "/../ir/2403051400.area\n", 1, "", {}, "", 10},
        {u + "bogus latest_ir.area", "Unknown message level \"bogus\"", 1, "", {}, "", 0},
        // Domains that cannot be drawn stop the program.
        {u + "warn -pd nosuch nofile.area", "plot domain cannot be drawn", 1, "", {}, "", 10},
        {u + "warn -pd ps:60:-100,95,-100,25,17,1.2,1.2 nofile.area", "plot domain cannot be drawn", 1, "", {}, "", 10},
        // Colour files that cannot be used: one warning each.
        {u + "warn -cof nosuch.enh latest_ir.area", "Unable to read enhancement file", 1, "", {}, "", 0},
        {u + "warn -ct {D}/one.clr -pp bar latest_ir.area", "SAT_color_bar", 1, "", {}, "", 0},
        // More files than frames: one warning, the last frame keeps its file.
        {u + "warn -ge 80x60 -pp png:{D}/fr%i.png many/*.area", "no room for frame", 1, "", {"fr127.png"}, "fr128.png", 0},
        // Three files loop as three frames.
        {u + "mess,out4 -pd us -pp png:{D}/loop%i latest_ir.area latest_ir.area latest_ir.area", "Created frame: 3-", 1,
         "", {"loop00", "loop02"}, "loop03", 0},
    };
    for (const Case& c : cases) {
        std::string cmd = c.cmd;
        for (const auto& [key, value] : {std::pair<std::string, std::string>{"{O}", ORLO_BIN}, {"{D}", dir.path()},
                                         {"{E}", ZEM_ETC_DIR}})
            for (std::size_t p; (p = cmd.find(key)) != std::string::npos;) cmd.replace(p, key.size(), value);
        const zt::RunResult r = zt::run("cd " + dir.path() + " && " + cmd);
        SCOPED_TRACE(c.cmd + "\n" + r.out);
        EXPECT_EQ(r.status, c.status);
        for (const std::string bad : {"Unable", "not found", "No file", "Unknown"}) {
            const bool check = c.status == 0 && c.absent.empty() && c.want.find(bad) == std::string::npos;
            EXPECT_TRUE(!check || r.out.find(bad) == std::string::npos) << bad;
        }
        const int seen = zt::count_of(r.out, c.want);
        EXPECT_TRUE(c.want.empty() || (c.times < 0 ? seen > 0 : seen == c.times)) << c.want << " printed " << seen;
        EXPECT_TRUE(c.absent.empty() || r.out.find(c.absent) == std::string::npos) << c.absent;
        for (const auto& f : c.made) EXPECT_TRUE(fs::exists(dir.file(f))) << f;
        EXPECT_FALSE(!c.not_made.empty() && fs::exists(dir.file(c.not_made))) << c.not_made;
    }
}

// The real AREA file on the "us" domain, saved as a compressed image file
// named by the output convention and dumped as PNG. The name's date is the
// file request's, not the image's: a positional name carries none, so "%y"
// shows the 1980 that stands in for a missing year. The PNG's pixels (read
// by ImageMagick) are the enhancement colours of the saved counts.
TEST(Program, RealFileSavedAndDumped) {
    ZT_NEED_DATA(kArea);
    if (!std::getenv("DISPLAY") || !zt::have_tool("convert")) GTEST_SKIP() << "no X server or ImageMagick";
    zt::TempDir dir;
    const zt::RunResult r =
        zt::run_orlo("-fp " + std::string(ZEM_ETC_DIR) + " -ip " + dir.path() + " -pd us -of imgz_@" + dir.path() +
                     "/saved_%y.img -dr data,text -pp png:frame%i.png " + kArea);
    ASSERT_EQ(r.status, 0) << r.out;
    const std::string saved = dir.file("saved_80.img"), png = dir.file("framewin.png");
    EXPECT_NE(r.out.find("Writing image file: " + saved + "\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Wrote PNG file: " + png), std::string::npos) << r.out;

    decode({"-fp", ZEM_ETC_DIR, "-me", "none"});
    SAT_reset_params();
    SAT_in_file();
    CLR_read_table(nullptr);
    zt::Image want;
    ASSERT_EQ(IMG_read(saved.c_str(), &want.rec, 0), 1);
    EXPECT_LT(std::filesystem::file_size(saved), static_cast<std::uintmax_t>(want.rec.width * want.rec.height))
        << "compressed";
    SAT_color_setup();
    Domain plot_domain;
    DOM_init(&plot_domain);
    SAT_image_setup(&want.rec, &plot_domain);
    SAT_color_image(&want.rec);
    ASSERT_EQ(want.rec.width * 1000 + want.rec.height, 640427);
    const Raster shot = raster(png);
    ASSERT_EQ(shot.w * 1000 + shot.h, 640512);
    auto colour = [&want](int x, int y) {
        const IMG_color c = want.rec.colors[zt::pixel(want.rec, x, y)];
        auto b = [](float v) { return static_cast<unsigned long>(v * 255.0f); };
        return (b(c.r) << 16) | (b(c.g) << 8) | b(c.b);
    };
    // The panel of aspect 1.5 is centred between the 4 % margins of the
    // 512-pixel window: (512 - 427) / 2 = 42.5; the border line covers its
    // outermost pixels.
    int match = 0, n = 0;
    std::set<unsigned long> distinct;
    for (int y = 3; y < want.rec.height - 3; y += 5)
        for (int x = 3; x < want.rec.width - 3; x += 5, ++n) {
            match += close_rgb(shot.at(x, y + 42), colour(x, y)) || close_rgb(shot.at(x, y + 43), colour(x, y));
            distinct.insert(colour(x, y));
        }
    EXPECT_GE(match, n * 99 / 100) << match << " of " << n << " samples match";
    EXPECT_GE(distinct.size(), 3u) << "the comparison means something";
}

// ---- Interactive use -------------------------------------------------------------

// Runs orlo on the real file in the window titled "Orlotest_1" (shown as
// "Orlotest 1": underscores are spaces) while `drive` acts on that window
// from another thread; the program's status (124 when it is still open
// after a minute).
class Window : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(kArea)) GTEST_SKIP() << "test data not found: " << kArea;
        if (!std::getenv("DISPLAY") || !zt::have_tool("xdotool") || !zt::have_tool("convert"))
            GTEST_SKIP() << "no X server, xdotool or ImageMagick";
    }
    int run_driven(const std::string& files, const std::function<void()>& drive) {
        std::thread t([&] {
            for (int i = 0; i < 100 && win_.empty(); ++i) {
                std::istringstream(zt::run("xdotool search --name '^Orlotest 1'").out) >> win_;
                if (win_.empty()) usleep(100000);
            }
            if (!win_.empty()) drive();
        });
        const zt::RunResult r = zt::run("timeout 60 " + std::string(ORLO_BIN) + " -fp " + ZEM_ETC_DIR + " -ip " +
                                        dir_.path() + " -ti Orlotest_1 -pd us " + files);
        t.join();
        EXPECT_FALSE(win_.empty()) << "no window: " << r.out;
        out_ = r.out;
        return r.status;
    }
    void xdo(const std::string& args) { zt::run("xdotool " + args); }
    void key(const std::string& k) { xdo("windowfocus --sync " + win_ + " key " + k); }
    // Alt+x until the window dump appears (keys count only once the program
    // holds the window); read back through ImageMagick.
    Raster dump() {
        const std::string file = dir_.file("Orlot.xwd");
        std::filesystem::remove(file);
        for (int i = 0; i < 300 && !std::filesystem::exists(file); ++i) {
            if (i % 5 == 0) key("alt+x");
            usleep(100000);
        }
        usleep(200000);  // let the writer finish
        Raster r = raster(file);
        std::filesystem::remove(file);
        return r;
    }
    zt::TempDir dir_;
    std::string win_, out_;
};

TEST_F(Window, ThreeFilesAnimateInTheWindow) {
    // The title carries the frame shown: "[0]", "[1]", "[2]" in turn; Alt+q
    // ends the program well.
    std::set<std::string> seen;
    const int status = run_driven(kArea + " " + kArea + " " + kArea, [&] {
        for (int i = 0; i < 60 && seen.size() < 3; ++i) {
            const std::string t = zt::run("xdotool getwindowname " + win_).out;
            const std::size_t b = t.find(" [");
            if (b != std::string::npos) seen.insert(t.substr(b + 1, t.find(']', b) - b));
            usleep(100000);
        }
        key("alt+q");
    });
    EXPECT_EQ(status, 0) << out_;
    EXPECT_EQ(seen, (std::set<std::string>{"[0]", "[1]", "[2]"}));
}

// A Shift-drag over a box of the panel's shape (3:2) zooms into it. Alt+x
// dumps the window as XWD; Return ends the program well.
TEST_F(Window, ShiftDragZooms) {
    const int x0 = 240, y0 = 200, x1 = 400, y1 = 307;  // of the 640 x 427 panel at y = 42
    Raster before, after;
    const int status = run_driven(kArea, [&] {
        before = dump();
        auto at = [&](int x, int y) {
            return " mousemove --window " + win_ + " " + std::to_string(x) + " " + std::to_string(y);
        };
        xdo("windowfocus --sync " + win_ + at(x0, y0) + " keydown shift mousedown 1" +
            at((x0 + x1) / 2, (y0 + y1) / 2) + at(x1, y1) + " mouseup 1 keyup shift");
        usleep(500000);
        after = dump();
        key("Return");
    });
    EXPECT_EQ(status, 0) << out_;
    // The last domain printed is the zoomed one: its spacing is the box
    // width over the 639 steps of the 640-pixel grid, 160 of the 0.0864
    // spacing of the first plot.
    const std::size_t at = out_.rfind("New domain: ");
    ASSERT_NE(at, std::string::npos) << out_;
    const std::string line = out_.substr(at, out_.find('\n', at) - at);
    EXPECT_NEAR(std::strtof(line.c_str() + line.rfind(',') + 1, nullptr), 0.0864f * 160 / 639, 0.0005f) << line;
    // The zoomed picture resembles the old box scaled up far better than
    // the old picture unscaled.
    ASSERT_EQ(before.w * 1000 + before.h, 640512);
    ASSERT_EQ(after.w, 640);
    long diff_box = 0, diff_same = 0;
    auto grey = [](unsigned long c) { return static_cast<long>(((c >> 16) & 255) + ((c >> 8) & 255) + (c & 255)); };
    for (int v = 8; v < 427 - 8; v += 6)
        for (int u = 8; u < 640 - 8; u += 6) {
            const long now = grey(after.at(u, 42 + v));
            diff_box += std::labs(now - grey(before.at(x0 + u * (x1 - x0) / 640, y0 + v * (y1 - y0) / 427)));
            diff_same += std::labs(now - grey(before.at(u, 42 + v)));
        }
    EXPECT_LT(diff_box * 2, diff_same) << "box " << diff_box << " whole " << diff_same;
}

// ---- The driver's flows in this process ---------------------------------------------

// The window-sized drawable as 0xRRGGBB values, row by row.
using Pixels = std::vector<unsigned long>;
Pixels grab(Drawable d) {
    const zt::Shot shot(d);
    int w = 0, h = 0;
    gget_win_size(&w, &h);
    Pixels px;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) px.push_back(shot.rgb(x, y));
    return px;
}
std::vector<Pixels> frames() {
    std::vector<Pixels> out;
    for (int i = 0; i < gget_num_images(); ++i) out.push_back(grab(gget_frame_id(i)));
    return out;
}
// Pixels that differ (-1 when the sizes differ), so failures print a count.
long diff(const Pixels& a, const Pixels& b) {
    if (a.size() != b.size()) return -1;
    long n = 0;
    for (std::size_t k = 0; k < a.size(); ++k) n += a[k] != b[k];
    return n;
}
long diff(const std::vector<Pixels>& a, const std::vector<Pixels>& b) {
    long n = a.size() == b.size() ? 0 : -1;
    for (std::size_t i = 0; n >= 0 && i < a.size(); ++i) n = diff(a[i], b[i]) < 0 ? -1 : n + diff(a[i], b[i]);
    return n;
}

class Flow : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X server (DISPLAY unset)";
        SAT_reset_params();
        SAT_set_tran_sat(1);
        SAT_set_bit_shift(0);
        PLT_set_view_offsets(0, 0, 0.04f, 0.04f);
        PLT_set_dump(0, "");
        PLT_set_zoom(0);
        PLT_init_labels();
        GPH_set_view_size(1, 1, 0, 0);
        FILE_reset();
        FILE_set_min_size(0);
    }
    void TearDown() override {
        if (gchk_graphics()) GPH_end(1);
        unsetenv("zemcurtime");
    }
    // The file of hour `h` on 2024-03-05.
    std::string hour_file(int h) const {
        char name[40];
        std::snprintf(name, sizeof name, "data/sat_240305%02d.ara", h);
        return dir_.file(name);
    }
    void good(int h, int count) { make_area(hour_file(h), "constant " + std::to_string(count)); }
    void garbage(int h) { zt::spit(hour_file(h), std::string(3000, 'x')); }
    // Decodes the switches as the program does and anchors the sequence at
    // the latest file before "now" (zemcurtime); the requested domain.
    Domain start(std::vector<std::string> a, const char* now) {
        setenv("zemcurtime", now, 1);
        a.insert(a.begin(), {"-fp", ZEM_ETC_DIR, "-ip", dir_.path(), "-if",
                             "@" + dir_.path() + "/data/sat_%y%m%d%h.ara", "-cu", "la"});
        decode(a);
        FLAG_set(2, 1);  // an X11 window, without asking
        SAT_in_file();
        Domain dom;
        DOM_init(&dom);
        RES_getval("region", &dom, CV_domain);
        RES_getval("plot_domain", &dom, CV_domain);
        char name[FILE_NAME_LEN] = {};
        FILE_get_file("file: ", name);
        Date d;
        FILE_get_date(&d);
        SAT_set_date(&d);
        return dom;
    }
    // Opens the plot as SAT_plot does, so that SAT_plot re-plots and leaves
    // the window open; decodes the driver's plot parameters.
    bool open_plot(float aspect = 1.5f) {
        gset_xsize(320, 256);
        EXPECT_EQ(PLT_open(aspect), 0);
        SAT_plot_param();
        return gchk_graphics() == 1;
    }
    // Frames shown after plotting `dom`, with the plot opened first.
    std::vector<Pixels> plot(Domain dom, std::size_t want) {
        EXPECT_TRUE(open_plot(is_missing(dom.proj) ? 1.5f : DOM_aspect(&dom)));
        EXPECT_EQ(SAT_plot(&dom), 0);
        EXPECT_EQ(gget_num_images(), static_cast<int>(want)) << mess_.text();
        return frames();
    }
    // Files at 09, 10 and 11 with counts 20, 90 and 160 in a two-hour
    // sequence anchored at 11:30, plotted: its three frames.
    std::vector<Pixels> three_hours(Domain* dom) {
        good(9, 20);
        good(10, 90);
        good(11, 160);
        *dom = start({"-nh", "-2"}, "202403051130");
        return plot(*dom, 3);
    }
    std::string saved() const { return dir_.file("sat_2403051000.img"); }

    zt::TempDir dir_;
    zt::MessCapture mess_;
};

// Each readable file of a sequence makes one frame showing its own picture
// (oldest first): the 100 x 100 picture in the enhancement colour of that
// file's count. A garbage file and a file cut inside its pixels cost a
// frame each, with the reader's messages.
TEST_F(Flow, UnreadableFilesOfASequenceCostOneFrameEach) {
    good(9, 20);
    garbage(10);
    good(11, 160);
    good(12, 50);
    std::filesystem::resize_file(hour_file(12), 256 + 512 + 100);
    good(13, 230);
    const auto f = plot(start({"-nh", "-4", "-me", "mess,out4"}, "202403051340"), 3);
    EXPECT_EQ(gchk_graphics(), 1) << "a re-plot call must not close the plot";
    EXPECT_EQ(gget_looping(), 1);
    SAT_color_setup();
    const int counts[] = {20, 160, 230};
    for (std::size_t i = 0; i < f.size(); ++i) {
        float r = 0, g = 0, b = 0;
        ASSERT_EQ(CLR_get_rgb(SAT_get_color_ind(counts[i]), &r, &g, &b), 0);
        auto c = [](float v) { return static_cast<unsigned long>(v * 255.0f + 0.5f); };
        const unsigned long want = (c(r) << 16) | (c(g) << 8) | c(b);
        int hits = 0;
        for (int y = 0; y < 256; y += 2)
            for (int x = 0; x < 320; x += 2) hits += close_rgb(f[i][static_cast<std::size_t>(y * 320 + x)], want);
        // 50 x 50 probes fall on the picture; labels take a few.
        EXPECT_TRUE(hits >= 2400 && hits <= 2700) << "frame " << i << ": " << hits;
    }
    EXPECT_GT(diff(f[0], f[1]) * diff(f[1], f[2]), 0);
    EXPECT_EQ(zt::count_of(mess_.text(), "Unable to read image file"), 2) << mess_.text();
    EXPECT_NE(mess_.text().find("Image data truncated"), std::string::npos) << mess_.text();
}

// Refresh: nothing newer changes nothing; a newer file shifts the frames
// and is drawn last, as a re-plot anchored there draws it; an unreadable
// newest file is retried on the next call.
TEST_F(Flow, RefreshShiftsTheFramesAndRetriesUnreadableFiles) {
    Domain dom;
    const auto before = three_hours(&dom);
    ASSERT_EQ(SAT_plot_nextfile(), 0);
    EXPECT_EQ(diff(frames(), before), 0);
    garbage(12);
    setenv("zemcurtime", "202403051230", 1);
    ASSERT_EQ(SAT_plot_nextfile(), 0);
    EXPECT_EQ(diff(frames(), before), 0) << "an unreadable file changes nothing";
    good(12, 230);
    ASSERT_EQ(SAT_plot_nextfile(), 0);
    const auto after = frames();
    ASSERT_EQ(after.size(), 3u);
    EXPECT_EQ(diff(after[0], before[1]) + diff(after[1], before[2]), 0);
    EXPECT_GT(diff(after[2], before[2]) * diff(after[2], before[0]), 0);
    ASSERT_EQ(SAT_plot_nextfile(), 0);
    EXPECT_EQ(diff(frames(), after), 0);
    ASSERT_EQ(SAT_plot(&dom), 0);
    EXPECT_EQ(diff(frames(), after), 0) << "a re-plot anchored at 12:00 draws the same frames";
}

TEST_F(Flow, RefreshWithoutFramesRedrawsTheWindow) {
    good(10, 20);
    Domain dom = start({}, "202403051030");
    plot(dom, 0);
    const Pixels first = grab(gget_base_window());
    // A smaller picture: what the first one covered must be cleared.
    make_area(hour_file(11), "constant 230", 60);
    setenv("zemcurtime", "202403051130", 1);
    ASSERT_EQ(SAT_plot_nextfile(), 0);
    EXPECT_EQ(gget_num_images(), 0) << "no frame is made for a single file";
    const Pixels second = grab(gget_base_window());
    EXPECT_GT(diff(second, first), 0);
    ASSERT_EQ(SAT_plot(&dom), 0);
    EXPECT_EQ(diff(grab(gget_base_window()), second), 0) << "the same as a plot of that file from the start";
}

// Without a domain the map follows the image's Mercator navigation (20 km:
// 0.2 hundred km) and the plot opens at aspect 1.5 (ImageFileOutput reads
// back the image's own pixels, not remapped). The dump keeps the plot from
// being held open for input.
TEST_F(Flow, WithoutADomainThePlotFollowsTheImage) {
    make_area(hour_file(10), "ramp");
    Domain dom = start({"-pp", "png:nodom.png"}, "202403051030");
    EXPECT_TRUE(is_missing(dom.proj));
    ASSERT_EQ(SAT_plot(&dom), 0);
    Domain cur;
    MAP_get_domain(&cur);
    EXPECT_EQ(cur.proj, DOM_MERC);
    EXPECT_NEAR(cur.dx, 0.2f, 1e-4f);
    Glim panel{};
    PLT_get_view(&panel);
    EXPECT_NEAR((panel.x_max - panel.x_min) / (panel.y_max - panel.y_min), 1.5f, 1e-3f);
}

// A re-plot on another domain rebuilds every frame (not appended), as a
// plot on that domain from the start draws them; a window resize reaches
// the driver through its event callback and redraws every frame on the
// current domain; frames of files that no longer read are dropped.
TEST_F(Flow, ReplotsRebuildTheFrames) {
    Domain own;
    const auto first = three_hours(&own);
    // The Mercator sample lies in Central America: 0.1 spacing (half the
    // image's) is a zoom by two of its middle.
    Domain zoomed;
    ASSERT_EQ(DOM_decode("merc:0:-90,9.134,-99.173,320,214,0.1,0.1", &zoomed), 1);
    ASSERT_EQ(SAT_plot(&zoomed), 0);
    EXPECT_EQ(gchk_graphics(), 1);
    const auto second = frames();
    ASSERT_EQ(second.size(), 3u);
    for (int i = 0; i < 3; ++i) EXPECT_GT(diff(second[i], first[i]), 0) << i;
    GPH_end(1);
    EXPECT_EQ(diff(plot(zoomed, 3), second), 0);

    PLT_set_resize_func(SAT_plot);
    for (int i = 0; i < 3; ++i) gclear_frame(i);
    const auto wiped = frames();
    SAT_callback(0, const_cast<char*>("size"), 0.0f, 0.0f);
    EXPECT_EQ(gchk_graphics(), 1);
    const auto redrawn = frames();
    ASSERT_EQ(redrawn.size(), 3u);
    for (int i = 0; i < 3; ++i) EXPECT_GT(diff(redrawn[i], wiped[i]), 0) << i;
    EXPECT_EQ(diff(redrawn, second), 0);

    garbage(9);
    ASSERT_EQ(SAT_plot(&zoomed), 0);
    const auto third = frames();
    ASSERT_EQ(third.size(), 2u) << "no stale third frame";
    EXPECT_EQ(diff(third[0], second[1]) + diff(third[1], second[2]), 0);
}

// Image-file output named by the convention (the image path, "sat_", the
// file's date to 15 minutes), compressed for "imgz"; an existing file is
// replaced only with the file parameter "over". Without a domain the file
// holds the image's own 100 x 100 pixels; zoom=2 saves it twice the size
// (the remap suite checks the interpolated values).
TEST_F(Flow, ImageFileOutput) {
    make_area(hour_file(10), "ramp");
    struct Case {
        const char *of, *pf, *pp;
        int side;  // of the image written; 0: the older file is kept
    };
    for (Case c : {Case{"imgz", "over", "", 100}, Case{"img", "use", "", 0}, Case{"img", "app", "", 0},
                   Case{"imgz", "over", "zoom=2", 200}}) {
        zt::spit(saved(), "an older file\n");
        Domain dom = start({"-of", c.of, "-pf", c.pf, "-pp", c.pp}, "202403051030");
        ASSERT_TRUE(open_plot());
        mess_.clear();
        ASSERT_EQ(SAT_plot(&dom), 0);
        GPH_end(1);
        EXPECT_EQ(mess_.text().find("Writing image file: " + saved() + "\n") != std::string::npos, c.side > 0)
            << c.pf << mess_.text();
        const std::string now = zt::slurp(saved());
        EXPECT_EQ(now == "an older file\n", c.side == 0) << c.pf;
        if (c.side == 0) continue;
        EXPECT_LT(now.size(), static_cast<std::size_t>(c.side * c.side)) << "compressed: ramp pixels compress well";
        zt::Image img;
        ASSERT_EQ(IMG_read(saved().c_str(), &img.rec, 0), 1);
        EXPECT_EQ(img.rec.width * 1000 + img.rec.height, c.side * 1001);
        int differ = 0;
        for (int y = 0; y < 100 && c.side == 100; ++y)
            for (int x = 0; x < 100; ++x) differ += zt::pixel(img.rec, x, y) != x + y;
        EXPECT_EQ(differ, 0);
    }
}

}  // namespace
