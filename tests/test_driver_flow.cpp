// The plot driver's flows under Xvfb, in this process: a time sequence over
// dated AREA files some of which cannot be read, the refresh that appends
// the newest file, a plot without any domain, a zoom/resize re-run that
// rebuilds the frames, the driver's own plot parameters and its image-file
// output. The AREA files are made by the sample writer with one constant
// count each, so every file has its own picture. The plot is opened before
// SAT_plot where a test needs the frames afterwards: SAT_plot then takes the
// re-plot path and leaves the window open instead of holding it.
#include "res_fixture.h"
#include "plot_x_util.h"

#include <X11/Xlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>
#include <vector>

#include "area_writer.h"
#include "colors.h"
#include "driver_run.h"
#include "gks_loop.h"
#include "gks_tool.h"
#include "gks_x11.h"
#include "img_tool.h"
#include "maptran.h"
#include "plt_labl.h"
#include "plt_tool.h"
#include "png.h"
#include "region.h"
#include "sat_read.h"
#include "sat_tool.h"
#include "tools.h"

namespace {

const auto* const kKeepServer = ::testing::AddGlobalTestEnvironment(new plot_test::KeepServer);

// A square Mercator-navigated AREA file (100 x 100 by default); `pattern` is an area_writer
// pattern line ("constant 90", "ramp").
bool make_area(const std::filesystem::path& path, const std::string& pattern, std::string* err,
               int size = 100)
{
    const std::string n = std::to_string(size);
    return area_make_file("lines " + n + "\nelements " + n +
                              "\nnav MERC\nw1 100\nw2 100\nw4 20000\n"
                              "w5 900000\nw6 6371200\npattern " +
                              pattern + "\n",
                          path.string(), err);
}

// The bytes of a drawable of window size.
std::vector<char> pixels(Drawable d)
{
    plot_test::ImagePtr im = plot_test::grab(d);
    if (!im) return {};
    const std::size_t n = static_cast<std::size_t>(im->bytes_per_line) * im->height;
    return std::vector<char>(im->data, im->data + n);
}

// Number of bytes that differ between two frame sets (all of them when the
// frame counts differ), so failures print a count, not the pixels.
long frame_diff(const std::vector<std::vector<char>>& a, const std::vector<std::vector<char>>& b)
{
    if (a.size() != b.size()) return -1;
    long n = 0;
    for (std::size_t i = 0; i < a.size(); i++) {
        if (a[i].size() != b[i].size()) return -1;
        for (std::size_t k = 0; k < a[i].size(); k++) n += a[i][k] != b[i][k];
    }
    return n;
}

std::vector<std::vector<char>> all_frames()
{
    std::vector<std::vector<char>> out;
    for (int i = 0; i < gget_num_images(); i++) out.push_back(pixels(gget_frame_id(i)));
    return out;
}

// 0xRRGGBB the enhancement gives count `v` (set up for the current frame).
unsigned long enhanced_rgb(int v)
{
    float r = 0, g = 0, b = 0;
    if (CLR_get_rgb(SAT_get_color_ind(v), &r, &g, &b) != 0) return 0xFFFFFFFF;
    auto c = [](float f) { return static_cast<unsigned long>(f * 255.0f + 0.5f); };
    return (c(r) << 16) | (c(g) << 8) | c(b);
}

bool close_rgb(unsigned long a, unsigned long b)
{
    for (int s = 0; s < 24; s += 8) {
        int d = static_cast<int>((a >> s) & 255) - static_cast<int>((b >> s) & 255);
        if (d < -1 || d > 1) return false;
    }
    return true;
}

class DriverFlow : public ResTest {
protected:
    std::filesystem::path data_;  // the dated input files

    void SetUp() override
    {
        ResTest::SetUp();
        if (HasFatalFailure()) return;
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X server (DISPLAY unset)";
        data_ = dir_ / "data";
        std::filesystem::create_directories(data_);
        SAT_reset_params();
        SAT_set_tran_sat(1);
        SAT_set_bit_shift(0);
        PLT_set_view_offsets(0, 0, 0.04f, 0.04f);
        PLT_set_dump(0, "");
        PLT_set_zoom(0);
        PLT_init_labels();
        GPH_set_view_size(1, 1, 0, 0);
        FILE_set_min_size(0);
    }
    void TearDown() override
    {
        if (gchk_graphics()) GPH_end(1);
        ResTest::TearDown();
    }

    // The file of hour `h` on 2024-03-05.
    std::filesystem::path hour_file(int h) const
    {
        char name[40];
        std::snprintf(name, sizeof name, "sat_240305%02d.ara", h);
        return data_ / name;
    }
    void good(int h, int count)
    {
        std::string err;
        ASSERT_TRUE(make_area(hour_file(h), "constant " + std::to_string(count), &err)) << err;
    }
    void garbage(int h) { write(hour_file(h), std::string(3000, 'x')); }
    // A real AREA file cut inside its pixel block.
    void truncated(int h)
    {
        good(h, 50);
        std::filesystem::resize_file(hour_file(h), 256 + 512 + 100);
    }

    // Decodes the switches as the program does and anchors the sequence at
    // the latest file before "now" (zemcurtime). Returns the requested domain.
    Domain start(std::vector<std::string> a, const char* now)
    {
        setenv("zemcurtime", now, 1);
        a.insert(a.begin(), {"-fp", ZEM_ETC_DIR, "-ip", dir_.string(), "-if",
                             "@" + data_.string() + "/sat_%y%m%d%h.ara", "-cu", "la"});
        run(a);
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
    // Opens the plot the way SAT_plot does and decodes the driver's
    // plot parameters.
    bool open_plot(float aspect = 1.5f)
    {
        gset_xsize(320, 256);
        EXPECT_EQ(PLT_open(aspect), 0);
        SAT_plot_param();
        return gchk_graphics() == 1;
    }
};

// ---- Sequences with unreadable files ----------------------------------------

TEST_F(DriverFlow, UnreadableFilesOfASequenceCostOneFrameEach)
{
    const int counts[] = {20, 0, 160, 0, 230};  // 0: a file that cannot be read
    good(9, 20);
    garbage(10);
    good(11, 160);
    truncated(12);
    good(13, 230);
    Domain dom = start({"-nh", "-4", "-me", "mess,out4"}, "202403051340");
    ASSERT_TRUE(open_plot());
    ASSERT_EQ(SAT_plot(&dom), 0);
    EXPECT_EQ(gchk_graphics(), 1) << "a re-plot call must not close the plot";
    ASSERT_EQ(gget_num_images(), 3) << messages();
    EXPECT_EQ(gget_looping(), 1);

    // Each frame shows its own file, oldest first: the 100 x 100 picture
    // (laid out at its own size in the panel) has the enhancement colour of
    // that file's count.
    SAT_color_setup();
    int w = 0, h = 0;
    gget_win_size(&w, &h);
    int frame = 0;
    for (int c : counts) {
        if (c == 0) continue;
        plot_test::ImagePtr im = plot_test::grab(gget_frame_id(frame));
        ASSERT_TRUE(im);
        const unsigned long want = enhanced_rgb(c);
        int hits = 0;
        for (int y = 0; y < h; y += 2)
            for (int x = 0; x < w; x += 2)
                hits += close_rgb(plot_test::rgb_at(im.get(), x, y), want);
        // 50 x 50 probes fall on the picture; labels take a few.
        EXPECT_GE(hits, 2400) << "frame " << frame << " count " << c << " rgb " << std::hex << want;
        EXPECT_LE(hits, 2700) << "frame " << frame << " count " << c << " rgb " << std::hex << want;
        frame++;
    }
    const auto f = all_frames();
    EXPECT_GT(frame_diff({f[0]}, {f[1]}), 0);
    EXPECT_GT(frame_diff({f[1]}, {f[2]}), 0);
    // The reader said so for each bad file.
    const std::string out = messages();
    int failed = 0;
    for (std::size_t p = out.find("Unable to read image file"); p != std::string::npos;
         p = out.find("Unable to read image file", p + 1))
        failed++;
    EXPECT_EQ(failed, 2) << out;
    EXPECT_NE(out.find("Image data truncated"), std::string::npos) << out;
}

// The same on copies of a real AREA file remapped onto the "us" domain.
TEST_F(DriverFlow, RealFileSequenceSkipsTheUnreadableCopy)
{
    const std::filesystem::path real =
        std::filesystem::path(ZEM_TESTDATA_DIR) / "area" / "cmx3g8_wv_1998.260_0745_mcidas.ara";
    if (!std::filesystem::exists(real)) GTEST_SKIP() << "test data not found: " << ZEM_TESTDATA_DIR;
    std::filesystem::copy_file(real, hour_file(9));
    garbage(10);
    std::filesystem::copy_file(real, hour_file(11));
    std::filesystem::copy_file(real, hour_file(12));
    std::filesystem::resize_file(hour_file(12), std::filesystem::file_size(real) / 2);
    Domain dom = start({"-nh", "-3", "-pd", "us"}, "202403051230");
    ASSERT_EQ(dom.proj, DOM_PSTEREO);
    ASSERT_TRUE(open_plot(DOM_aspect(&dom)));
    ASSERT_EQ(SAT_plot(&dom), 0);
    ASSERT_EQ(gget_num_images(), 2) << messages();
    // Both frames come from the same file: the same picture, and not an
    // empty one.
    const auto f = all_frames();
    EXPECT_EQ(frame_diff({f[0]}, {f[1]}), 0);
    plot_test::ImagePtr im = plot_test::grab(gget_frame_id(0));
    std::set<unsigned long> colours;
    for (int y = 0; y < 256; y += 3)
        for (int x = 0; x < 320; x += 3) colours.insert(plot_test::rgb_at(im.get(), x, y));
    EXPECT_GE(colours.size(), 4u);
}

TEST_F(DriverFlow, SequenceWithoutAReadableFileLeavesNoFramesAndCloses)
{
    garbage(9);
    garbage(10);
    truncated(11);
    Domain dom = start({"-nh", "-2", "-me", "mess,out4", "-pp", "png:never%i.png"}, "202403051130");
    // SAT_plot opens the plot itself; with a dump requested, closing does
    // not hold the window.
    ASSERT_EQ(gchk_graphics(), 0);
    gset_xsize(320, 256);
    ASSERT_EQ(SAT_plot(&dom), 0);
    EXPECT_EQ(gchk_graphics(), 0) << "the plot is closed";
    const std::string out = messages();
    EXPECT_EQ(out.find("Created frame"), std::string::npos) << out;
    EXPECT_NE(out.find("Looping initiated"), std::string::npos) << out;
    EXPECT_FALSE(std::filesystem::exists(dir_ / "never00.png"));
}

TEST_F(DriverFlow, ProgramWithOnlyUnreadableFilesExitsZero)
{
    garbage(9);
    garbage(10);
    setenv("zemcurtime", "202403051030", 1);
    const RunResult r = run_orlo("-fp " + std::string(ZEM_ETC_DIR) + " -ip " + dir_.string() +
                                 " -de d -if @" + data_.string() +
                                 "/sat_%y%m%d%h.ara -cu la -nh -1 -me mess,out4 -pp png:never");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("Looping initiated"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("Created frame"), std::string::npos) << r.out;
}

// ---- Refresh ----------------------------------------------------------------

TEST_F(DriverFlow, RefreshShiftsTheFramesAndDrawsTheNewestFile)
{
    good(9, 20);
    good(10, 90);
    good(11, 160);
    Domain dom = start({"-nh", "-2"}, "202403051130");
    ASSERT_TRUE(open_plot());
    ASSERT_EQ(SAT_plot(&dom), 0);
    ASSERT_EQ(gget_num_images(), 3) << messages();
    const auto before = all_frames();
    EXPECT_GT(frame_diff({before[0]}, {before[1]}), 0);
    EXPECT_GT(frame_diff({before[1]}, {before[2]}), 0);

    // Nothing newer than the last frame: nothing changes.
    ASSERT_EQ(SAT_plot_nextfile(), 0);
    EXPECT_EQ(frame_diff(all_frames(), before), 0);

    // A fourth file, one hour later.
    good(12, 230);
    setenv("zemcurtime", "202403051230", 1);
    ASSERT_EQ(SAT_plot_nextfile(), 0);
    ASSERT_EQ(gget_num_images(), 3);
    const auto after = all_frames();
    EXPECT_EQ(frame_diff({after[0]}, {before[1]}), 0);
    EXPECT_EQ(frame_diff({after[1]}, {before[2]}), 0);
    EXPECT_GT(frame_diff({after[2]}, {before[2]}), 0);
    EXPECT_GT(frame_diff({after[2]}, {before[0]}), 0);

    // A second call with nothing new changes nothing.
    ASSERT_EQ(SAT_plot_nextfile(), 0);
    EXPECT_EQ(frame_diff(all_frames(), after), 0);

    // The sequence is now anchored at 12:00: a re-plot rebuilds 10, 11, 12
    // and gives the refreshed frames again, so the last one is the 12:00
    // file drawn as any frame is.
    ASSERT_EQ(SAT_plot(&dom), 0);
    ASSERT_EQ(gget_num_images(), 3);
    EXPECT_EQ(frame_diff(all_frames(), after), 0);
}

TEST_F(DriverFlow, RefreshRetriesAnUnreadableNewestFile)
{
    good(9, 20);
    good(10, 90);
    Domain dom = start({"-nh", "-1"}, "202403051030");
    ASSERT_TRUE(open_plot());
    ASSERT_EQ(SAT_plot(&dom), 0);
    ASSERT_EQ(gget_num_images(), 2);
    const auto before = all_frames();

    garbage(11);
    setenv("zemcurtime", "202403051130", 1);
    ASSERT_EQ(SAT_plot_nextfile(), 0);
    EXPECT_EQ(frame_diff(all_frames(), before), 0) << "an unreadable file changes nothing";

    // The file is complete now: the next call takes it.
    good(11, 160);
    ASSERT_EQ(SAT_plot_nextfile(), 0);
    const auto after = all_frames();
    ASSERT_EQ(after.size(), 2u);
    EXPECT_EQ(frame_diff({after[0]}, {before[1]}), 0);
    EXPECT_GT(frame_diff({after[1]}, {before[1]}), 0);
}

TEST_F(DriverFlow, RefreshWithoutFramesRedrawsTheWindow)
{
    good(10, 20);
    Domain dom = start({}, "202403051030");
    ASSERT_TRUE(open_plot());
    ASSERT_EQ(SAT_plot(&dom), 0);
    ASSERT_EQ(gget_num_images(), 0);
    const auto first = pixels(gget_base_window());

    // A smaller picture: what the first one covered must be cleared.
    std::string err;
    ASSERT_TRUE(make_area(hour_file(11), "constant 230", &err, 60)) << err;
    setenv("zemcurtime", "202403051130", 1);
    ASSERT_EQ(SAT_plot_nextfile(), 0);
    EXPECT_EQ(gget_num_images(), 0) << "no frame is made for a single file";
    const auto second = pixels(gget_base_window());
    EXPECT_GT(frame_diff({second}, {first}), 0);

    // The new picture is the 11:00 file drawn afresh: the same as a plot of
    // that file from the start.
    ASSERT_EQ(SAT_plot(&dom), 0);
    EXPECT_EQ(frame_diff({pixels(gget_base_window())}, {second}), 0);
}

// ---- Domains ----------------------------------------------------------------

TEST_F(DriverFlow, WithoutADomainTheImageKeepsItsOwnGeometry)
{
    std::string err;
    ASSERT_TRUE(make_area(hour_file(10), "ramp", &err)) << err;
    Domain dom = start({"-of", "img", "-pf", "over", "-me", "mess,out2"}, "202403051030");
    EXPECT_TRUE(is_missing(dom.proj));
    EXPECT_TRUE(is_missing(dom.nx));
    ASSERT_TRUE(open_plot());
    ASSERT_EQ(SAT_plot(&dom), 0);
    // The saved image is the file's own 100 x 100 ramp, not remapped.
    const auto saved = dir_ / "sat_2403051000.img";
    ASSERT_TRUE(std::filesystem::exists(saved)) << messages();
    IMG_report img;
    IMG_init(&img);
    ASSERT_EQ(IMG_read(saved.c_str(), &img, 0), 1);
    EXPECT_EQ(img.width, 100);
    EXPECT_EQ(img.height, 100);
    int differ = 0;
    for (int y = 0; y < 100; y++)
        for (int x = 0; x < 100; x++) differ += img.data[y * img.bytes_line + x] != (x + y) % 256;
    EXPECT_EQ(differ, 0);
    IMG_free(&img);
    // The map background follows the image's own domain: Mercator with the
    // sample's 20 km spacing (navigation word 4, 20000 m = 0.2 hundred km).
    Domain cur;
    MAP_get_domain(&cur);
    EXPECT_EQ(cur.proj, DOM_MERC);
    EXPECT_NEAR(cur.dx, 0.2f, 1e-4f);
    EXPECT_NEAR(cur.dy, 0.2f, 1e-4f);
}

// Rows of an 8-bit PNG (read by the package's reader) that are bright over
// their whole width: the panel's top and bottom border lines.
std::vector<int> border_rows(const IMG_report& img)
{
    std::vector<int> rows;
    for (int y = 0; y < img.height; y++) {
        int lit = 0;
        for (int x = 0; x < img.width; x++) {
            const IMG_color c = img.colors[img.data[y * img.bytes_line + x]];
            lit += c.r + c.g + c.b > 2.5f;
        }
        if (lit == img.width) rows.push_back(y);
    }
    return rows;
}

TEST_F(DriverFlow, WithoutADomainThePlotOpensAtAspectOneAndAHalf)
{
    std::string err;
    ASSERT_TRUE(make_area(hour_file(10), "ramp", &err)) << err;
    Domain dom = start({"-dr", "data,text", "-pp", "png:nodom.png"}, "202403051030");
    // SAT_plot opens the plot itself here; with a dump it does not hold.
    gset_xsize(320, 256);
    ASSERT_EQ(SAT_plot(&dom), 0);
    ASSERT_EQ(gchk_graphics(), 0);
    IMG_report img;
    IMG_init(&img);
    ASSERT_EQ(PNG_read((dir_ / "nodom.png").c_str(), &img, 0), 1) << messages();
    ASSERT_EQ(img.width, 320);
    ASSERT_EQ(img.height, 256);
    ASSERT_NE(img.colors, nullptr);
    const std::vector<int> rows = border_rows(img);
    ASSERT_EQ(rows.size(), 2u) << "top and bottom border lines";
    // The panel spans the 320-pixel width; 1.5 makes it 213 high (a square
    // image's aspect would make it as high as the 235 pixels between the
    // 4 % margins).
    EXPECT_NEAR(rows[1] - rows[0], 320 / 1.5, 2.0);
    // Inside the panel the picture keeps its own 100 x 100 pixels.
    int x_min = img.width, x_max = -1, y_min = img.height, y_max = -1;
    for (int y = rows[0] + 1; y < rows[1]; y++)
        for (int x = 1; x < img.width - 1; x++) {
            const IMG_color c = img.colors[img.data[y * img.bytes_line + x]];
            if (c.r + c.g + c.b <= 0.0f) continue;
            x_min = std::min(x_min, x);
            x_max = std::max(x_max, x);
            y_min = std::min(y_min, y);
            y_max = std::max(y_max, y);
        }
    // The ramp's darkest corner may be black; allow its pixel.
    EXPECT_NEAR(x_max - x_min + 1, 100, 1);
    EXPECT_NEAR(y_max - y_min + 1, 100, 1);
    IMG_free(&img);
}

// ---- Re-plots ---------------------------------------------------------------

TEST_F(DriverFlow, ReplotRebuildsEveryFrameOnTheNewDomain)
{
    good(9, 20);
    good(10, 90);
    good(11, 160);
    Domain own = start({"-nh", "-2"}, "202403051130");
    ASSERT_TRUE(open_plot());
    ASSERT_EQ(SAT_plot(&own), 0);
    ASSERT_EQ(gget_num_images(), 3);
    const auto first = all_frames();

    // The Mercator sample lies in Central America: a Mercator domain around
    // it, 0.1 spacing (half the image's), is a zoom by two of its middle.
    Domain zoomed;
    ASSERT_EQ(DOM_decode("merc:0:-90,9.134,-99.173,200,140,0.1,0.1", &zoomed), 1);
    ASSERT_EQ(zoomed.nx, 200);
    ASSERT_EQ(SAT_plot(&zoomed), 0);
    EXPECT_EQ(gchk_graphics(), 1) << "a re-plot does not close the plot";
    ASSERT_EQ(gget_num_images(), 3) << "the frames are rebuilt, not appended";
    const auto second = all_frames();
    for (int i = 0; i < 3; i++) EXPECT_GT(frame_diff({second[i]}, {first[i]}), 0) << "frame " << i;

    // The same frames as a plot made on that domain from the start.
    GPH_end(1);
    ASSERT_TRUE(open_plot(DOM_aspect(&zoomed)));
    ASSERT_EQ(SAT_plot(&zoomed), 0);
    ASSERT_EQ(gget_num_images(), 3);
    EXPECT_EQ(frame_diff(all_frames(), second), 0);
}

// A window resize reaches the driver through its event callback: the plot
// session re-plots through the resize function on the current domain (the
// one the last plot left), and every frame is drawn again, here over frames
// the test wiped. The result is what a plot on that domain draws.
TEST_F(DriverFlow, ResizeEventRedrawsEveryFrame)
{
    good(9, 20);
    good(10, 90);
    good(11, 160);
    start({"-nh", "-2"}, "202403051130");
    Domain merc;
    ASSERT_EQ(DOM_decode("merc:0:-90,9.134,-99.173,320,214,0.1,0.1", &merc), 1);
    ASSERT_TRUE(open_plot(DOM_aspect(&merc)));
    PLT_set_resize_func(SAT_plot);
    ASSERT_EQ(SAT_plot(&merc), 0);
    ASSERT_EQ(gget_num_images(), 3);
    Domain current;
    MAP_get_domain(&current);
    EXPECT_EQ(current.proj, merc.proj);
    for (int i = 0; i < 3; i++) gclear_frame(i);
    const auto wiped = all_frames();

    SAT_callback(0, const_cast<char*>("size"), 0.0f, 0.0f);
    EXPECT_EQ(gchk_graphics(), 1);
    ASSERT_EQ(gget_num_images(), 3);
    const auto redrawn = all_frames();
    for (int i = 0; i < 3; i++) EXPECT_GT(frame_diff({redrawn[i]}, {wiped[i]}), 0) << "frame " << i;

    ASSERT_EQ(SAT_plot(&current), 0);
    EXPECT_EQ(frame_diff(all_frames(), redrawn), 0);
}

TEST_F(DriverFlow, ReplotDropsFramesOfFilesThatNoLongerRead)
{
    good(9, 20);
    good(10, 90);
    good(11, 160);
    Domain own = start({"-nh", "-2"}, "202403051130");
    ASSERT_TRUE(open_plot());
    ASSERT_EQ(SAT_plot(&own), 0);
    ASSERT_EQ(gget_num_images(), 3);
    const auto first = all_frames();

    // The oldest file went bad meanwhile: the re-plot has two frames, the
    // 10:00 and 11:00 pictures, and no stale third one.
    garbage(9);
    ASSERT_EQ(SAT_plot(&own), 0);
    ASSERT_EQ(gget_num_images(), 2);
    const auto second = all_frames();
    EXPECT_EQ(frame_diff({second[0]}, {first[1]}), 0);
    EXPECT_EQ(frame_diff({second[1]}, {first[2]}), 0);
}

// ---- Driver plot parameters and image-file output ---------------------------

// The count at source line r, element c of the ramp sample.
int ramp(double r, double c) { return static_cast<int>(r + c); }

TEST_F(DriverFlow, ZoomTwoAndBar)
{
    std::string err;
    ASSERT_TRUE(make_area(hour_file(10), "ramp", &err)) << err;
    Domain dom = start({"-pp", "zoom=2,bar", "-of", "img", "-pf", "over"}, "202403051030");
    ASSERT_TRUE(open_plot());
    SAT_params p{};
    SAT_get_params(&p);
    EXPECT_FLOAT_EQ(p.zoom, 2.0f);
    EXPECT_EQ(p.bar, 1);
    ASSERT_EQ(SAT_plot(&dom), 0);

    // The saved copy is the zoomed image: twice the size, each source pixel
    // spread over two (interpolated between neighbours).
    const auto saved = dir_ / "sat_2403051000.img";
    IMG_report img;
    IMG_init(&img);
    ASSERT_EQ(IMG_read(saved.c_str(), &img, 0), 1) << messages();
    EXPECT_EQ(img.width, 200);
    EXPECT_EQ(img.height, 200);
    int bad = 0;
    for (int y = 2; y < img.height - 2; y += 3)
        for (int x = 2; x < img.width - 2; x += 3) {
            const int want = ramp(y / 2.0, x / 2.0);
            bad += std::abs(img.data[y * img.bytes_line + x] - want) > 2;
        }
    EXPECT_EQ(bad, 0);
    IMG_free(&img);

    // The colour bar lies below the panel: lit pixels there with the bar,
    // none without it.
    auto lit_below_panel = [] {
        plot_test::ImagePtr im = plot_test::grab(gget_base_window());
        int w = 0, h = 0;
        gget_win_size(&w, &h);
        auto lit = [&](int x, int y) { return plot_test::rgb_at(im.get(), x, y) != 0; };
        // The bottom border: the lowest row lit over the whole width.
        int border = -1;
        for (int y = 0; y < h; y++) {
            int n = 0;
            for (int x = 0; x < w; x++) n += lit(x, y);
            if (n == w) border = y;
        }
        if (border < 0) return -1;
        int below = 0;
        for (int y = border + 1; y < h; y++)
            for (int x = 0; x < w; x++) below += lit(x, y);
        return below;
    };
    const int with_bar = lit_below_panel();
    p.bar = 0;
    SAT_set_params(&p);
    ASSERT_EQ(SAT_plot(&dom), 0);
    const int without_bar = lit_below_panel();
    // A bar half the plot wide and a few rows high, with its outline.
    EXPECT_GT(with_bar, 500);
    EXPECT_EQ(without_bar, 0);
}

TEST_F(DriverFlow, CompressedOutputNamedByTheImageConvention)
{
    std::string err;
    ASSERT_TRUE(make_area(hour_file(10), "ramp", &err)) << err;
    Domain dom = start({"-of", "imgz", "-pf", "over"}, "202403051030");
    ASSERT_TRUE(open_plot());
    ASSERT_EQ(SAT_plot(&dom), 0);
    // sat_img: the image path, "sat_", the file's date to 15 minutes.
    const auto saved = dir_ / "sat_2403051000.img";
    ASSERT_TRUE(std::filesystem::exists(saved)) << messages();
    EXPECT_NE(messages().find("Writing image file: " + saved.string() + "\n"), std::string::npos);
    std::ifstream in(saved, std::ios::binary);
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line.rfind("ZEMIMG", 0), 0u) << line;
    EXPECT_NE(line.find('Z', 6), std::string::npos) << "compressed: " << line;
    // 10000 ramp pixels compress well.
    EXPECT_LT(std::filesystem::file_size(saved), 10000u);
    IMG_report img;
    IMG_init(&img);
    ASSERT_EQ(IMG_read(saved.c_str(), &img, 0), 1);
    ASSERT_EQ(img.width, 100);
    int differ = 0;
    for (int y = 0; y < 100; y++)
        for (int x = 0; x < 100; x++) differ += img.data[y * img.bytes_line + x] != ramp(y, x);
    EXPECT_EQ(differ, 0);
    IMG_free(&img);
}

TEST_F(DriverFlow, ExistingOutputFollowsTheFileParameter)
{
    std::string err;
    ASSERT_TRUE(make_area(hour_file(10), "ramp", &err)) << err;
    const auto saved = dir_ / "sat_2403051000.img";
    const std::string old = "an older file\n";
    struct Case {
        const char* param;
        bool written;
    };
    for (const Case c : {Case{"use", false}, Case{"app", false}, Case{"over", true}}) {
        SCOPED_TRACE(c.param);
        write(saved, old);
        Domain dom = start({"-of", "img", "-pf", c.param}, "202403051030");
        ASSERT_TRUE(open_plot());
        clear_log();
        ASSERT_EQ(SAT_plot(&dom), 0);
        GPH_end(1);
        std::ifstream in(saved, std::ios::binary);
        const std::string now(std::istreambuf_iterator<char>(in), {});
        EXPECT_EQ(now == old, !c.written);
        EXPECT_EQ(messages().find("Writing image file:") != std::string::npos, c.written)
            << messages();
        if (c.written) {
            EXPECT_EQ(now.rfind("ZEMIMG", 0), 0u);
        }
    }
}

}  // namespace
