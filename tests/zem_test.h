// Helpers shared by every test suite: scratch folders, whole-file reads and
// writes, message capture, command lines decoded as a program does, image
// records freed at the end of a scope, running the program, a child process
// or an outside reference tool (PROJ, python3), the X server keep-alive, and
// comparisons of domains and pixels. Suites include only this header for such things, so
// that one way of doing each stays in one place.
#ifndef ZEM_TEST_H
#define ZEM_TEST_H

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "gks_x11.h"
#include "img_tool.h"
#include "mess.h"
#include "region.h"
#include "resrc.h"
#include "sat_read.h"

namespace zt {

using Bytes = std::vector<std::uint8_t>;

// ---- Files ---------------------------------------------------------------------

// The whole content of a file ("" when it cannot be read).
inline std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}
inline Bytes slurp_bytes(const std::string& path) {
    const std::string s = slurp(path);
    return Bytes(s.begin(), s.end());
}
// Writes `data` as the whole file, creating its folder.
inline void spit(const std::string& path, const std::string& data) {
    const auto parent = std::filesystem::path(path).parent_path();
    if (!parent.empty()) std::filesystem::create_directories(parent);
    std::ofstream(path, std::ios::binary) << data;
}
inline void spit(const std::string& path, const Bytes& data) {
    spit(path, std::string(data.begin(), data.end()));
}

inline int count_of(const std::string& text, const std::string& what) {
    int n = 0;
    for (auto p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
    return n;
}

// Rows of a case table under tests/data: fields separated by " | " (kept
// exactly, so a field may begin with a blank; "\n" in one is a line break);
// blank and "#" lines skipped.
inline std::vector<std::vector<std::string>> cases(const std::string& rel) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream in(slurp(std::string(ZEM_TEST_DATA) + "/" + rel));
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        for (std::size_t at; (at = line.find("\\n")) != std::string::npos;) line.replace(at, 2, "\n");
        rows.emplace_back();
        for (std::size_t p = 0, q = 0; q != std::string::npos; p = q + 3) {
            q = line.find(" | ", p);
            rows.back().push_back(line.substr(p, q == std::string::npos ? q : q - p));
        }
    }
    EXPECT_FALSE(rows.empty()) << "no cases in " << rel;
    return rows;
}
// Whitespace-separated integers of a field ("2024 3 5 -9999 0").
inline std::vector<int> ints(const std::string& field) {
    std::vector<int> v;
    std::istringstream in(field);
    for (int x; in >> x;) v.push_back(x);
    return v;
}

// A real data file of other people's (ZEM_TESTDATA_DIR/rel), or "" when the
// collection is absent; callers skip through ZT_NEED_DATA.
inline std::string testdata(const std::string& rel) { return std::string(ZEM_TESTDATA_DIR) + "/" + rel; }

// An AREA file read by the AREA reader: its status, -99 when it does not open.
inline int read_area(const std::string& path, MC_area* area) {
    FILE* f = std::fopen(path.c_str(), "rb");
    const int rc = f ? SAT_read_AREA(f, area) : -99;
    if (f) std::fclose(f);
    return rc;
}

// A private scratch folder removed with everything in it at the end; with
// enter = true it is also the current directory meanwhile.
class TempDir {
public:
    explicit TempDir(bool enter = false) {
        char tmpl[] = "/tmp/zem_test_XXXXXX";
        const char* p = mkdtemp(tmpl);
        path_ = p ? p : "/tmp";
        if (enter && p) {
            old_ = std::filesystem::current_path();
            std::filesystem::current_path(path_);
        }
    }
    ~TempDir() {
        std::error_code ec;
        if (!old_.empty()) std::filesystem::current_path(old_, ec);
        if (path_ != "/tmp") std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    const std::string& path() const { return path_; }

private:
    std::string path_;
    std::filesystem::path old_;
};

// ---- Messages ------------------------------------------------------------------

// Everything the program prints through the message module while this lives
// goes to a copy file only (nothing on the screen); text() returns it so far.
// The message module is reset at both ends, so captures do not leak state.
class MessCapture {
public:
    MessCapture() : file_(dir_.file("messages.log")) {
        MESS_reset();
        MESS_set_out(MESS_OUT_LOG_ONLY);
        MESS_file(file_.c_str(), "w");
    }
    ~MessCapture() {
        MESS_file_close();
        MESS_reset();
    }
    MessCapture(const MessCapture&) = delete;
    MessCapture& operator=(const MessCapture&) = delete;
    std::string text() const {
        MESS_file_close();
        std::string t = slurp(file_);
        MESS_file(file_.c_str(), "a");
        return t;
    }
    void clear() const {
        MESS_file_close();
        MESS_file(file_.c_str(), "w");
    }

private:
    TempDir dir_;
    std::string file_;
};

// ---- Command lines and image records --------------------------------------------

// Decodes the command line `prog args...` against the program's resource
// keys and positional keys (each list closed by RES_null). The texts live
// until the next call, as the resource store may point into them.
inline void decode(const std::string& prog, std::vector<std::string> args, const res_type* keys,
                   const res_type* pos = nullptr) {
    static std::vector<std::string> store;
    static std::vector<char*> argv;
    store = std::move(args);
    store.insert(store.begin(), prog);
    argv.clear();
    for (auto& a : store) argv.push_back(a.data());
    argv.push_back(nullptr);
    RES_init(static_cast<int>(store.size()), argv.data(), keys, pos);
}

// An image record whose buffers are released at the end of the scope;
// optionally a w x h image of one byte a pixel holding a copy of `px`.
struct Image {
    IMG_report rec;
    Image() { IMG_init(&rec); }
    Image(int w, int h, const Bytes& px) : Image() {
        rec.width = rec.bytes_line = w;
        rec.height = h;
        rec.depth = rec.bits_pixel = 8;
        rec.data = static_cast<unsigned char*>(std::malloc(px.size()));
        std::copy(px.begin(), px.end(), rec.data);
    }
    ~Image() { IMG_free(&rec); }
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;
};

// ---- Processes -----------------------------------------------------------------

struct RunResult {
    int status = -1;   // exit status, -1 when the process did not exit normally
    std::string out;   // standard output (and error, for run())
    std::string err;   // standard error (run_child only)
};

// Runs a shell command with standard input from /dev/null; its output and
// error together. The command is one group, so that every part of a
// pipeline or list gets both.
inline RunResult run(const std::string& cmd) {
    RunResult r;
    FILE* p = popen(("(" + cmd + "\n) </dev/null 2>&1").c_str(), "r");
    if (!p) return r;
    std::array<char, 4096> buf{};
    std::size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0) r.out.append(buf.data(), n);
    const int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

// The built orlo program with these arguments (shell-quoted by the caller).
inline RunResult run_orlo(const std::string& args) { return run(std::string(ORLO_BIN) + " " + args); }

inline bool have_tool(const std::string& name) {
    return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

// Forks; the child reads `input` on standard input, runs `body` and ends
// with `fallthrough_status` when `body` returns, so a body that calls exit
// itself is told apart from one that returned. Its output and error go
// through scratch files; a child still running after 60 s is killed and
// reported with status -1.
inline RunResult run_child(const std::function<void()>& body, const std::string& input = "",
                           int fallthrough_status = 99) {
    RunResult r;
    TempDir dir;
    spit(dir.file("0"), input);
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid < 0) return r;
    if (pid == 0) {
        for (int fd = 0; fd < 3; ++fd) {
            const int f = open(dir.file(std::to_string(fd)).c_str(), fd ? O_WRONLY | O_CREAT : O_RDONLY, 0600);
            dup2(f, fd);
            close(f);
        }
        body();
        std::fflush(nullptr);
        _exit(fallthrough_status);
    }
    int st = 0;
    for (int ms = 0; waitpid(pid, &st, WNOHANG) == 0; ms += 10) {
        if (ms > 60000) kill(pid, SIGKILL);
        usleep(10000);
    }
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    r.out = slurp(dir.file("1"));
    r.err = slurp(dir.file("2"));
    return r;
}

// ---- Outside references --------------------------------------------------------

// Runs PROJ's `proj` (inverse with -I in args) over the pairs; "*" outputs
// (not projectable) come back as NaN. Empty when proj is missing.
inline std::vector<std::pair<double, double>> proj(const std::string& args,
                                                   const std::vector<std::pair<double, double>>& in) {
    std::vector<std::pair<double, double>> res;
    if (!have_tool("proj")) return res;
    TempDir dir;
    std::ostringstream os;
    os.precision(12);
    for (const auto& p : in) os << p.first << ' ' << p.second << '\n';
    spit(dir.file("in.txt"), os.str());
    const RunResult r = run("proj -f %.9f " + args + " " + dir.file("in.txt"));
    std::istringstream lines(r.out);
    std::string a, b;
    while (lines >> a >> b)
        res.emplace_back(a[0] == '*' ? NAN : std::atof(a.c_str()), b[0] == '*' ? NAN : std::atof(b.c_str()));
    EXPECT_EQ(res.size(), in.size()) << "proj " << args << ": " << r.out;
    return res;
}

// Runs a python3 program (text) under /usr/bin/python3, where Debian's
// python3 packages live, with the given arguments; its output.
inline RunResult python(const std::string& program, const std::string& args = "") {
    TempDir dir;
    spit(dir.file("ref.py"), program);
    return run("/usr/bin/python3 " + dir.file("ref.py") + " " + args);
}

// ---- The X server ----------------------------------------------------------------

// Xvfb regenerates when its last client leaves and then refuses connections
// for a moment; holding one connection keeps it steady while tests open and
// close the workstation. Every suite holds one while it runs (none without
// DISPLAY).
class KeepServer : public ::testing::Environment {
public:
    void SetUp() override {
        if (std::getenv("DISPLAY")) keeper_ = XOpenDisplay(nullptr);
    }
    void TearDown() override {
        if (keeper_) XCloseDisplay(keeper_);
        keeper_ = nullptr;
    }

private:
    Display* keeper_ = nullptr;
};
inline const auto* const kKeepServer = ::testing::AddGlobalTestEnvironment(new KeepServer);

// ---- Comparisons ---------------------------------------------------------------

// The domain a domain string decodes to (a failure to decode fails the test).
inline Domain dom(const std::string& text) {
    Domain d;
    EXPECT_GE(DOM_decode(text.c_str(), &d), 1) << text;
    return d;
}

// The domain as the program prints it, so a mismatch shows every field.
inline std::string domain_text(const Domain& d) {
    char buf[512] = {0};
    DOM_sprint(&d, buf, sizeof buf);
    return buf;
}
inline void expect_domain(const Domain& d, const std::string& want) {
    EXPECT_EQ(domain_text(d), want);
}

// Byte value of an 8-bit image record at column x, row y (row 0 on top).
inline int pixel(const IMG_report& img, int x, int y) {
    return img.data[static_cast<std::size_t>(y) * static_cast<std::size_t>(img.bytes_line) +
                    static_cast<std::size_t>(x)];
}
struct PixelAt {
    int x, y, value;
};
inline void expect_pixels(const IMG_report& img, std::initializer_list<PixelAt> want) {
    ASSERT_NE(img.data, nullptr);
    for (const auto& p : want) {
        ASSERT_TRUE(p.x >= 0 && p.x < img.width && p.y >= 0 && p.y < img.height)
            << "(" << p.x << "," << p.y << ") outside " << img.width << "x" << img.height;
        EXPECT_EQ(pixel(img, p.x, p.y), p.value) << "at (" << p.x << "," << p.y << ")";
    }
}

// Colour, 0-255 a channel, of pixel (x, y) of a record in any layout the
// readers give: the colour map of an indexed record, the channel masks of a
// direct one (a one-byte direct pixel is a grey level); -1s for an index
// outside the map.
struct Rgb {
    int r, g, b;
    bool operator==(const Rgb&) const = default;
};
inline std::ostream& operator<<(std::ostream& os, const Rgb& c) { return os << c.r << "," << c.g << "," << c.b; }
inline Rgb rgb_at(const IMG_report& im, int x, int y) {
    const unsigned char* row = im.data + static_cast<std::size_t>(y) * static_cast<std::size_t>(im.bytes_line);
    if (im.color_type == 1) {
        if (row[x] >= im.num_colors) return {-1, -1, -1};
        const IMG_color& c = im.colors[row[x]];
        return {int(c.r * 255 + 0.5f), int(c.g * 255 + 0.5f), int(c.b * 255 + 0.5f)};
    }
    const int n = im.bits_pixel / 8;
    if (n == 1) return {row[x], row[x], row[x]};
    unsigned v = 0;
    for (int i = 0; i < n; ++i) {
        const unsigned b = row[static_cast<std::size_t>(x * n + i)];
        v = im.byte_order ? (v << 8 | b) : (v | b << (8 * i));
    }
    auto chan = [v](unsigned m) {
        int s = 0;
        while (m && !((m >> s) & 1u)) ++s;
        return int((v & m) >> s);
    };
    return {chan(im.red), chan(im.grn), chan(im.blu)};
}

// ---- Window read-back (suites that draw under Xvfb) ----------------------------

// 0xRRGGBB of a device pixel value of the open workstation's TrueColor visual.
inline unsigned long rgb_of(unsigned long p) {
    auto part = [p](unsigned long mask) {
        unsigned long v = p;
        for (; mask && !(mask & 1); mask >>= 1) v >>= 1;
        return v & mask;
    };
    return (part(gget_red_mask()) << 16) | (part(gget_grn_mask()) << 8) | part(gget_blu_mask());
}

// A drawable of the open workstation (window, backing pixmap, frame) read
// back at the window size.
class Shot {
public:
    explicit Shot(Drawable d) {
        int w = 0, h = 0;
        gget_win_size(&w, &h);
        gsync();
        im_ = XGetImage(gget_display(), d, 0, 0, static_cast<unsigned>(w), static_cast<unsigned>(h), AllPlanes,
                        ZPixmap);
    }
    ~Shot() {
        if (im_) XDestroyImage(im_);
    }
    Shot(const Shot&) = delete;
    Shot& operator=(const Shot&) = delete;
    bool ok() const { return im_ != nullptr; }
    unsigned long rgb(int x, int y) const { return im_ ? rgb_of(XGetPixel(im_, x, y)) : 0xBAD000000ul; }

private:
    XImage* im_ = nullptr;
};

// Pixels of a drawable read back, each compared with its 0xRRGGBB colour.
struct RgbAt {
    int x, y;
    unsigned long rgb;
};
inline void expect_rgb(Drawable d, std::initializer_list<RgbAt> want) {
    const Shot s(d);
    ASSERT_TRUE(s.ok());
    for (const auto& p : want)
        EXPECT_EQ(s.rgb(p.x, p.y), p.rgb) << "at (" << p.x << "," << p.y << ")";
}

// Opens workstation 1 as a fresh w x h window on the 24-bit screen that the
// window suites run on; skips the test without an X server.
inline void open_window(int w, int h) {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X server (DISPLAY unset)";
    ASSERT_EQ(gopen_gks(nullptr, 0), 0);
    gset_geometry("");
    gset_xsize(w, h);
    ASSERT_EQ(gopen_ws(1, "", 1), 0);
    int ww = 0, wh = 0;
    gget_win_size(&ww, &wh);
    ASSERT_EQ(ww, w);
    ASSERT_EQ(wh, h);
    ASSERT_EQ(gget_win_depth(), 24) << "the window suites expect a 24-bit Xvfb screen";
}

// ImageMagick's reading of pixel (x, y) of an image file as "r,g,b" (0-255
// each), and of its size as "w h"; "" when it cannot read the file.
inline std::string im_rgb(const std::string& path, int x, int y) {
    std::string f;
    for (const char c : {'r', 'g', 'b'})
        f += std::string(f.empty() ? "" : ",") + "%[fx:int(255*p{" + std::to_string(x) + "," + std::to_string(y) +
             "}." + c + "+0.5)]";
    return run("identify -format '" + f + "' '" + path + "' 2>/dev/null").out;
}
inline std::string im_size(const std::string& path) {
    return run("identify -format '%w %h' '" + path + "' 2>/dev/null").out;
}
// ImageMagick's reading of picture `n` of an image file as 8-bit RGB, or
// with `op` " -alpha extract gray:" its alpha; empty when it cannot read it.
inline Bytes magick(const std::string& path, int n = 0, const std::string& op = " -alpha off -depth 8 rgb:") {
    const std::string out = run("(convert '" + path + "[" + std::to_string(n) + "]'" + op + "- 2>/dev/null)").out;
    return Bytes(out.begin(), out.end());
}

}  // namespace zt

// Skips the test, saying so, when a real data file is absent.
#define ZT_NEED_DATA(path)                                                     \
    do {                                                                       \
        if (!std::filesystem::exists(path)) GTEST_SKIP() << "test data not found: " << (path); \
    } while (0)

#endif
