// The orlo program end to end under Xvfb on a real AREA file: a PNG dump
// whose pixels are the enhancement colours of the remapped image, a
// three-file loop dumped frame by frame, and interactive use driven by
// xdotool (quit keys, Shift-drag zoom, resize, Alt+x window dumps), plus the
// exit statuses for a missing display and an unreadable file, which run on
// files the tests make themselves (no real data needed).
#include "res_fixture.h"

#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <chrono>
#include <csignal>
#include <set>
#include <cstdio>
#include <thread>

#include "colors.h"
#include "img_tool.h"
#include "region.h"
#include "sat_read.h"
#include "sat_tool.h"
#include "area_writer.h"

namespace {

const std::string kArea = std::string(ZEM_TESTDATA_DIR) + "/area/cmx3g8_wv_1998.260_0745_mcidas.ara";

bool have(const char* tool)
{
    return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0;
}

std::string quote(const std::string& s) { return "'" + s + "'"; }

// Runs a shell command, returns its exit status; output goes to `log`.
int sh(const std::string& cmd, const std::string& log = "/dev/null")
{
    int st = std::system((cmd + " >" + quote(log) + " 2>&1 </dev/null").c_str());
    return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

std::string slurp(const std::filesystem::path& p)
{
    std::ifstream in(p);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// An RGB raster decoded by ImageMagick (independent of the package's own
// readers).
struct Raster {
    int w = 0, h = 0;
    std::vector<unsigned char> rgb;
    unsigned long at(int x, int y) const
    {
        const unsigned char* p = &rgb[(static_cast<std::size_t>(y) * w + x) * 3];
        return (static_cast<unsigned long>(p[0]) << 16) | (p[1] << 8) | p[2];
    }
};

bool read_raster(const std::filesystem::path& file, Raster* r)
{
    const std::filesystem::path ppm = file.string() + ".ppm";
    if (sh("convert " + quote(file.string()) + " -depth 8 ppm:" + quote(ppm.string())) != 0)
        return false;
    std::ifstream in(ppm, std::ios::binary);
    // Header fields separated by blanks, with "#" comment lines between.
    auto field = [&in]() {
        std::string tok;
        while (in >> tok) {
            if (tok[0] != '#')
                return tok;
            std::string rest;
            std::getline(in, rest);
        }
        return std::string();
    };
    const std::string magic = field();
    r->w = std::atoi(field().c_str());
    r->h = std::atoi(field().c_str());
    const int maxv = std::atoi(field().c_str());
    in.get();
    if (magic != "P6" || maxv != 255 || r->w <= 0 || r->h <= 0)
        return false;
    r->rgb.resize(static_cast<std::size_t>(r->w) * r->h * 3);
    in.read(reinterpret_cast<char*>(r->rgb.data()), static_cast<std::streamsize>(r->rgb.size()));
    return static_cast<bool>(in);
}

// A running orlo, its output in a file; killed if still running at the end.
class Orlo {
public:
    Orlo(const std::vector<std::string>& args, const std::filesystem::path& log)
    {
        std::vector<std::string> a{ORLO_BIN};
        a.insert(a.end(), args.begin(), args.end());
        pid_ = fork();
        if (pid_ == 0) {
            int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            int nul = open("/dev/null", O_RDONLY);
            dup2(nul, 0);
            dup2(fd, 1);
            dup2(fd, 2);
            std::vector<char*> argv;
            for (auto& s : a)
                argv.push_back(s.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
    }
    ~Orlo()
    {
        if (pid_ > 0 && status_ < -1) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    // Exit status, or -1 when it has not ended within `secs`.
    int wait(double secs)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(secs);
        while (status_ < -1) {
            int st = 0;
            pid_t r = waitpid(pid_, &st, WNOHANG);
            if (r == pid_) {
                status_ = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
                break;
            }
            if (std::chrono::steady_clock::now() > end)
                return -1;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return status_;
    }
    bool running() { return wait(0) == -1 && status_ < -1; }

private:
    pid_t pid_ = -1;
    int status_ = -2;
};

void pause_ms(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Runs of the program on files the test makes itself.
class OrloProgram : public ResTest {
protected:

    // The switches every run gets: the repository's etc/ as file path, the
    // scratch directory for images, an X11 window without asking.
    std::vector<std::string> base(std::vector<std::string> more) const
    {
        std::vector<std::string> a{"-fp", ZEM_ETC_DIR, "-ip", dir_.string(), "-ti", "Orlotest"};
        a.insert(a.end(), more.begin(), more.end());
        return a;
    }
    std::string cmdline(const std::vector<std::string>& a) const
    {
        std::string c = quote(ORLO_BIN);
        for (const auto& s : a)
            c += " " + quote(s);
        return c;
    }

    // A small navigated AREA file (Mercator, 100 x 100 pixels, ramp counts)
    // made by the sample writer.
    std::string small_area() const
    {
        const std::string path = (dir_ / "small.area").string();
        std::string err;
        EXPECT_TRUE(area_make_file("lines 100\nelements 100\nnav MERC\nw1 100\nw2 100\n"
                                   "w4 20000\nw5 900000\nw6 6371200\n",
                                   path, &err))
            << err;
        return path;
    }
};

// Runs on the real AREA sample.
class OrloRun : public OrloProgram {
protected:
    void SetUp() override
    {
        OrloProgram::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        if (!std::filesystem::exists(kArea))
            GTEST_SKIP() << "test data not found: " << ZEM_TESTDATA_DIR;
        if (!std::getenv("DISPLAY"))
            GTEST_SKIP() << "no X server (DISPLAY unset)";
    }
};

// The remapped, coloured image as the library makes it for the "us" domain.
struct Expected {
    IMG_report img;
    Expected() { IMG_init(&img); }
    ~Expected() { IMG_free(&img); }
};

TEST_F(OrloRun, PngDumpHoldsTheEnhancedRemappedImage)
{
    if (!have("convert"))
        GTEST_SKIP() << "ImageMagick convert not installed";
    const auto log = dir_ / "orlo.log";
    ASSERT_EQ(sh(cmdline(base({"-pd", "us", "-dr", "data,text", "-pp", "png:frame%i.png", kArea})), log.string()), 0)
        << slurp(log);
    const auto png = dir_ / "framewin.png";
    ASSERT_TRUE(std::filesystem::exists(png)) << slurp(log);
    EXPECT_NE(slurp(log).find("Wrote PNG file: " + png.string()), std::string::npos);
    if (have("pngcheck")) {
        EXPECT_EQ(sh("pngcheck " + quote(png.string())), 0);
    }
    Raster shot;
    ASSERT_TRUE(read_raster(png, &shot));
    ASSERT_EQ(shot.w, 640);
    ASSERT_EQ(shot.h, 512);

    // The same steps through the library: read, remap onto "us", colour.
    run(base({"-pd", "us", kArea}));
    SAT_in_file();
    CLR_read_table(nullptr);
    Domain dom;
    DOM_init(&dom);
    RES_getval("plot_domain", &dom, CV_domain);
    ASSERT_EQ(dom.proj, DOM_PSTEREO);
    Expected e;
    ASSERT_EQ(SAT_read_file(kArea.c_str(), &e.img), 1);
    SAT_color_setup();
    SAT_domain_image(&dom);
    ASSERT_EQ(SAT_remap_image(&e.img, &dom), 1);
    Domain plot_domain;
    DOM_init(&plot_domain);
    SAT_image_setup(&e.img, &plot_domain);
    SAT_color_image(&e.img);
    ASSERT_EQ(e.img.width, 640);
    ASSERT_EQ(e.img.height, 427);
    ASSERT_NE(e.img.colors, nullptr);
    auto expected_rgb = [&](int x, int y) {
        const IMG_color c = e.img.colors[e.img.data[y * e.img.bytes_line + x]];
        auto b = [](float v) { return static_cast<unsigned long>(v * 255.0f); };
        return (b(c.r) << 16) | (b(c.g) << 8) | b(c.b);
    };
    auto close_rgb = [](unsigned long a, unsigned long b) {
        for (int s = 0; s < 24; s += 8) {
            int d = static_cast<int>((a >> s) & 255) - static_cast<int>((b >> s) & 255);
            if (d < -1 || d > 1)
                return false;
        }
        return true;
    };

    // Find where the picture sits: the offset with the most matching
    // samples (the border line is drawn over the panel's outermost pixels).
    int best_oy = -1, best = -1, samples = 0;
    for (int oy = 0; oy + e.img.height <= shot.h; oy++) {
        int match = 0, n = 0;
        for (int y = 3; y < e.img.height - 3; y += 5)
            for (int x = 3; x < e.img.width - 3; x += 5, n++)
                match += close_rgb(shot.at(x, y + oy), expected_rgb(x, y));
        if (match > best) {
            best = match;
            best_oy = oy;
            samples = n;
        }
    }
    // The panel of aspect 1.5 is centred between the 4 % margins of the
    // 512-pixel window: (512 - 427) / 2 = 42.5.
    EXPECT_NEAR(best_oy, 42, 1);
    EXPECT_GE(best, samples * 99 / 100) << best << " of " << samples << " samples match";
    // The image is not one flat colour: the comparison means something
    // (the default enhancement, the colour table's fill colours, gives
    // this water-vapour image a few grey levels).
    std::set<unsigned long> distinct;
    for (int y = 0; y < e.img.height; y += 7)
        for (int x = 0; x < e.img.width; x += 7)
            distinct.insert(expected_rgb(x, y));
    EXPECT_GE(distinct.size(), 3u);
}

TEST_F(OrloRun, ThreeFilesLoopAsThreeDumpedFrames)
{
    for (const char* n : {"a1.area", "a2.area", "a3.area"})
        std::filesystem::copy_file(kArea, dir_ / n);
    const auto log = dir_ / "orlo.log";
    ASSERT_EQ(sh(cmdline(base({"-pd", "us", "-me", "mess,out4", "-pp", "png:loop%i", "a1.area",
                               "a2.area", "a3.area"})),
                 log.string()),
              0)
        << slurp(log);
    const std::string out = slurp(log);
    for (const char* n : {"loop00", "loop01", "loop02"}) {
        EXPECT_TRUE(std::filesystem::exists(dir_ / n)) << n << "\n" << out;
        if (have("pngcheck")) {
            EXPECT_EQ(sh("pngcheck " + quote((dir_ / n).string())), 0) << n;
        }
    }
    EXPECT_FALSE(std::filesystem::exists(dir_ / "loop03"));
    EXPECT_NE(out.find("Created frame: 3-"), std::string::npos) << out;
    EXPECT_NE(out.find("Looping initiated"), std::string::npos) << out;
    // The same file three times: the three frames are the same picture.
    if (have("convert")) {
        Raster a, c;
        ASSERT_TRUE(read_raster(dir_ / "loop00", &a));
        ASSERT_TRUE(read_raster(dir_ / "loop02", &c));
        EXPECT_EQ(a.rgb, c.rgb);
    }
}

TEST_F(OrloProgram, NoDisplayExitsFour)
{
    const std::string area = small_area();
    const auto log = dir_ / "orlo.log";
    EXPECT_EQ(sh("DISPLAY=:999 " + cmdline(base({"-pd", "us", area})), log.string()), 4)
        << slurp(log);
    EXPECT_NE(slurp(log).find("gopen_ws: unable to connect to display"), std::string::npos)
        << slurp(log);
    if (!std::getenv("DISPLAY"))
        return;
    // The same file is readable: with a display it is drawn and dumped.
    EXPECT_EQ(sh(cmdline(base({"-pd", "us", "-pp", "png:small.png", area})), log.string()), 0)
        << slurp(log);
    EXPECT_TRUE(std::filesystem::exists(dir_ / "small.png")) << slurp(log);
}

TEST_F(OrloProgram, UnreadableSingleFileExitsTen)
{
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "no X server (DISPLAY unset)";
    write(dir_ / "garbage.area", std::string(300, 'x'));
    const auto log = dir_ / "orlo.log";
    EXPECT_EQ(sh(cmdline(base({"-pd", "us", (dir_ / "garbage.area").string()})), log.string()), 10)
        << slurp(log);
}

// ---- Interactive: the window driven by xdotool -------------------------------

class OrloWindow : public OrloRun {
protected:
    std::string win_;

    void SetUp() override
    {
        OrloRun::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        if (!have("xdotool") || !have("convert"))
            GTEST_SKIP() << "xdotool or ImageMagick not installed";
    }

    // Waits for the window named Orlotest; "" when it does not appear.
    std::string find_window()
    {
        for (int i = 0; i < 100; i++) {
            const auto ids = dir_ / "ids";
            sh("xdotool search --name '^Orlotest'", ids.string());
            std::istringstream in(slurp(ids));
            std::string id;
            if (in >> id)
                return id;
            pause_ms(100);
        }
        return "";
    }
    int xdo(const std::string& args) { return sh("xdotool " + args); }

    // Alt+x until the window dump appears (keys count only once the
    // program holds the window); the dump is renamed to `as`.
    bool dump_window(const std::string& as)
    {
        const auto file = dir_ / "Orlot.xwd";
        std::filesystem::remove(file);
        for (int i = 0; i < 60; i++) {
            xdo("windowfocus --sync " + win_ + " key alt+x");
            for (int k = 0; k < 5; k++) {
                pause_ms(100);
                if (std::filesystem::exists(file)) {
                    pause_ms(200);  // let the writer finish
                    std::filesystem::rename(file, dir_ / as);
                    return true;
                }
            }
        }
        return false;
    }
};

TEST_F(OrloWindow, ReturnEndsWithStatusZero)
{
    Orlo p(base({"-pd", "us", kArea}), dir_ / "orlo.log");
    win_ = find_window();
    ASSERT_FALSE(win_.empty()) << slurp(dir_ / "orlo.log");
    ASSERT_TRUE(dump_window("first.xwd")) << slurp(dir_ / "orlo.log");
    // The dump is a real XWD file of the window.
    EXPECT_EQ(sh("identify " + quote((dir_ / "first.xwd").string()), (dir_ / "id").string()), 0);
    EXPECT_NE(slurp(dir_ / "id").find("640x512"), std::string::npos) << slurp(dir_ / "id");
    xdo("windowfocus --sync " + win_ + " key Return");
    EXPECT_EQ(p.wait(10), 0) << slurp(dir_ / "orlo.log");
}

TEST_F(OrloWindow, AltQEndsWithStatusZero)
{
    Orlo p(base({"-pd", "us", kArea}), dir_ / "orlo.log");
    win_ = find_window();
    ASSERT_FALSE(win_.empty()) << slurp(dir_ / "orlo.log");
    ASSERT_TRUE(dump_window("first.xwd"));
    EXPECT_TRUE(p.running());
    xdo("windowfocus --sync " + win_ + " key alt+q");
    EXPECT_EQ(p.wait(10), 0) << slurp(dir_ / "orlo.log");
}

TEST_F(OrloWindow, ThreeFilesAnimateInTheWindow)
{
    for (const char* n : {"a1.area", "a2.area", "a3.area"})
        std::filesystem::copy_file(kArea, dir_ / n);
    Orlo p(base({"-pd", "us", "a1.area", "a2.area", "a3.area"}), dir_ / "orlo.log");
    win_ = find_window();
    ASSERT_FALSE(win_.empty()) << slurp(dir_ / "orlo.log");
    // The window title carries the frame shown: "[0]", "[1]", "[2]" in
    // turn while the loop runs (0.5 s per frame, 1 s on the last).
    std::set<std::string> seen;
    for (int i = 0; i < 60 && seen.size() < 3; i++) {
        const auto name = dir_ / "name";
        sh("xdotool getwindowname " + win_, name.string());
        const std::string t = slurp(name);
        const std::size_t b = t.find(" [");
        if (b != std::string::npos)
            seen.insert(t.substr(b + 1, t.find(']', b) - b));
        pause_ms(100);
    }
    EXPECT_EQ(seen, (std::set<std::string>{"[0]", "[1]", "[2]"}));
    xdo("windowfocus --sync " + win_ + " key Return");
    EXPECT_EQ(p.wait(10), 0) << slurp(dir_ / "orlo.log");
}

TEST_F(OrloWindow, ShiftDragZoomsIntoTheBox)
{
    Orlo p(base({"-pd", "us", kArea}), dir_ / "orlo.log");
    win_ = find_window();
    ASSERT_FALSE(win_.empty()) << slurp(dir_ / "orlo.log");
    ASSERT_TRUE(dump_window("before.xwd")) << slurp(dir_ / "orlo.log");
    // A box of the panel's shape (3:2) around the middle of the picture:
    // x 240..400, y 200..306 2/3 of the 640 x 427 panel at y = 42.
    const int x0 = 240, y0 = 200, x1 = 400, y1 = 307;
    xdo("windowfocus --sync " + win_ + " mousemove --window " + win_ + " " +
        std::to_string(x0) + " " + std::to_string(y0) + " keydown shift mousedown 1 mousemove --window " +
        win_ + " " + std::to_string((x0 + x1) / 2) + " " + std::to_string((y0 + y1) / 2) +
        " mousemove --window " + win_ + " " + std::to_string(x1) + " " + std::to_string(y1) +
        " mouseup 1 keyup shift");
    pause_ms(500);
    ASSERT_TRUE(dump_window("after.xwd")) << slurp(dir_ / "orlo.log");
    xdo("windowfocus --sync " + win_ + " key Return");
    EXPECT_EQ(p.wait(10), 0);
    const std::string out = slurp(dir_ / "orlo.log");
    // The last domain printed is the zoomed one: its spacing is the box
    // width over the 639 steps of the 640-pixel grid, 160 of the 0.0864
    // spacing of the first plot (printed by the first remapping).
    const std::size_t at = out.rfind("New domain: ");
    ASSERT_NE(at, std::string::npos) << out;
    const std::string line = out.substr(at, out.find('\n', at) - at);
    const std::size_t comma = line.rfind(',');
    ASSERT_NE(comma, std::string::npos) << line;
    const float dy = std::strtof(line.c_str() + comma + 1, nullptr);
    EXPECT_NEAR(dy, 0.0864f * 160 / 639, 0.0005f) << line;

    Raster before, after;
    ASSERT_TRUE(read_raster(dir_ / "before.xwd", &before));
    ASSERT_TRUE(read_raster(dir_ / "after.xwd", &after));
    ASSERT_EQ(after.w, 640);
    ASSERT_EQ(after.h, 512);
    // Sample the panel of the new picture and compare it with the box of
    // the old one scaled up 4 times, and with the old picture unscaled. The
    // zoomed picture resembles the box far better than the whole.
    const int py0 = 42, pw = 640, ph = 427;
    long diff_box = 0, diff_same = 0, n = 0;
    auto grey = [](unsigned long c) {
        return static_cast<long>(((c >> 16) & 255) + ((c >> 8) & 255) + (c & 255));
    };
    for (int v = 8; v < ph - 8; v += 6)
        for (int u = 8; u < pw - 8; u += 6, n++) {
            const long now = grey(after.at(u, py0 + v));
            const int bx = x0 + u * (x1 - x0) / pw;
            const int by = y0 + v * (y1 - y0) / ph;
            diff_box += std::labs(now - grey(before.at(bx, by)));
            diff_same += std::labs(now - grey(before.at(u, py0 + v)));
        }
    ASSERT_GT(n, 0);
    EXPECT_NE(before.rgb, after.rgb);
    EXPECT_LT(diff_box * 2, diff_same) << "box " << diff_box / n << " whole " << diff_same / n;
}

TEST_F(OrloWindow, ResizeRelaysOutThePicture)
{
    Orlo p(base({"-pd", "us", kArea}), dir_ / "orlo.log");
    win_ = find_window();
    ASSERT_FALSE(win_.empty()) << slurp(dir_ / "orlo.log");
    ASSERT_TRUE(dump_window("before.xwd"));
    xdo("windowsize --sync " + win_ + " 900 700");
    pause_ms(500);
    ASSERT_TRUE(dump_window("after.xwd")) << slurp(dir_ / "orlo.log");
    xdo("windowfocus --sync " + win_ + " key alt+q");
    EXPECT_EQ(p.wait(10), 0);
    Raster after;
    ASSERT_TRUE(read_raster(dir_ / "after.xwd", &after));
    ASSERT_EQ(after.w, 900);
    ASSERT_EQ(after.h, 700);
    // The picture now reaches past the old 640-pixel width and 512-pixel
    // height: count non-black pixels there.
    int right = 0, below = 0;
    for (int y = 0; y < after.h; y += 4)
        for (int x = 650; x < 890; x += 4)
            right += after.at(x, y) != 0;
    for (int y = 520; y < 690; y += 4)
        for (int x = 0; x < after.w; x += 4)
            below += after.at(x, y) != 0;
    EXPECT_GT(right, 100);
    EXPECT_GT(below, 100);
}

}  // namespace
