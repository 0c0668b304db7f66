// GIF frame dumps of the orlo program under Xvfb: per-frame files, the
// interlaced and transparent variants, the whole loop as one animated GIF,
// each compared with the PNG dump of the same frames as ImageMagick reads
// both, and with giftext's and identify's view of the file's structure.
#include "zem_test.h"

#include "gif.h"

namespace {

using zt::magick;

// orlo with these arguments; one that would hold its window is ended.
zt::RunResult orlo(const std::string& args) { return zt::run(std::string("timeout 120 ") + ORLO_BIN + " " + args); }

struct DumpRun {
    const char* pp;        // plot_param value for the GIF dump
    const char* files[3];  // GIF files expected, one per frame or one animation
    const char* structure; // a line giftext or identify must print
};

// Runs in a scratch folder on the real GOES-8 file.
class GifDumps : public ::testing::Test {
protected:
    void SetUp() override {
        ZT_NEED_DATA(area);
        if (!std::getenv("DISPLAY") || !zt::have_tool("convert") || !zt::have_tool("giftext") ||
            !zt::have_tool("xdotool"))
            GTEST_SKIP() << "needs an X server, ImageMagick, giftext and xdotool";
    }
    const std::string area = zt::testdata("area/cmx3g8_wv_1998.260_0745_mcidas.ara");
    zt::TempDir d{true};
};

TEST_F(GifDumps, LoopFramesAsImageMagickSeesThePngDumps) {
    for (const char* n : {"a1.area", "a2.area", "a3.area"}) std::filesystem::copy_file(area, d.file(n));
    const std::string base = std::string("-df ") + ZEM_ETC_DIR + " -me warn,mess -pd us -ge 320x256 ";
    const std::string inputs = " a1.area a2.area a3.area";
    const zt::RunResult png = orlo(base + "-pp png:ref%i.png" + inputs);
    ASSERT_EQ(png.status, 0) << png.out;

    const DumpRun runs[] = {
        {"gif:fr%i.gif", {"fr00.gif", "fr01.gif", "fr02.gif"}, "Image is Non Interlaced"},
        {"gif:in%i.gif,gif_inter", {"in00.gif", "in01.gif", "in02.gif"}, "Image is Interlaced"},
        // Delays: 0.5 s per frame, the last one held for the loop pause.
        {"gif:loop_%i.gif,gif_anim", {"loop_all.gif"}, "50 50 100 "},
    };
    for (const DumpRun& r : runs) {
        SCOPED_TRACE(r.pp);
        const zt::RunResult run = orlo(base + "-pp " + r.pp + inputs);
        ASSERT_EQ(run.status, 0) << run.out;
        const bool anim = r.files[1] == nullptr;
        for (int f = 0; f < 3; ++f) {
            const std::string gif = anim ? r.files[0] : r.files[f];
            const std::string ref = "ref0" + std::to_string(f) + ".png";
            EXPECT_NE(run.out.find("Wrote GIF file: " + gif), std::string::npos) << run.out;
            EXPECT_TRUE(magick(gif, anim ? f : 0) == magick(ref)) << gif << " picture " << f;
        }
        const std::string text = anim ? zt::run("identify -format '%T ' " + std::string(r.files[0])).out
                                       : zt::run("giftext " + std::string(r.files[0])).out;
        EXPECT_NE(text.find(r.structure), std::string::npos) << text;
    }
}

TEST_F(GifDumps, TransparentBackgroundAndOutputFile) {
    const zt::RunResult run = orlo(std::string("-df ") + ZEM_ETC_DIR +
                                           " -me warn,mess -pd us -ge 320x256 -pp gif_trans -of gif:one.gif " + area);
    ASSERT_EQ(run.status, 0) << run.out;
    ASSERT_NE(run.out.find("Wrote GIF file: one.gif"), std::string::npos) << run.out;
    // Exactly the pixels of the background colour (the window's border
    // margins are background) are transparent.
    const zt::Bytes rgb = magick("one.gif"), alpha = magick("one.gif", 0, " -alpha extract gray:");
    ASSERT_EQ(rgb.size(), alpha.size() * 3);
    const zt::Bytes bg(rgb.begin(), rgb.begin() + 3);  // the top-left corner is margin
    std::size_t clear = 0;
    for (std::size_t i = 0; i < alpha.size(); ++i) {
        const bool is_bg = std::equal(bg.begin(), bg.end(), rgb.begin() + static_cast<std::ptrdiff_t>(3 * i));
        ASSERT_EQ(alpha[i] == 0, is_bg) << "pixel " << i;
        clear += is_bg;
    }
    EXPECT_GT(clear, alpha.size() / 20);
    EXPECT_LT(clear, alpha.size());
}

TEST_F(GifDumps, AltGWritesTheShownPicture) {
    const std::string args = std::string("-df ") + ZEM_ETC_DIR + " -me warn,mess -pd us -ge 320x256 -ti gifkeys ";
    ASSERT_EQ(orlo(args + "-pp png:ref.png " + area).status, 0);
    // The window is held until the keys arrive: Alt+g, then Return.
    zt::run("(sleep 0.5; timeout 20 xdotool search --sync --name gifkeys mousemove --window %1 20 20 "
            "key alt+g sleep 1 key Return) >/dev/null 2>&1 &");
    const zt::RunResult run = orlo(args + area);
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("Created GIF file: gifke.gif"), std::string::npos) << run.out;
    EXPECT_TRUE(magick("gifke.gif") == magick("ref.png"));
}

}  // namespace
