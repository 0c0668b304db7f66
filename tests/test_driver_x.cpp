// The orlo program run as a whole under an X server: exit statuses for input
// it cannot plot, and the remapped image it saves for a real AREA file.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "driver_run.h"
#include "flag.h"
#include "img_tool.h"
#include "mess.h"
#include "region.h"
#include "resrc.h"
#include "sat_read.h"
#include "sat_tool.h"

namespace {

std::string temp_path(const char* name)
{
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir != nullptr ? dir : "/tmp") + "/orlo_drv_" + std::to_string(getpid()) +
           "_" + name;
}

TEST(OrloExit, UnreadableSingleFileExitsTen)
{
    // 4000 bytes that are no AREA file: the reader rejects them.
    const std::string path = temp_path("garbage.ara");
    {
        std::ofstream f(path, std::ios::binary);
        for (int i = 0; i < 1000; ++i) f << "junk";
    }
    RunResult r = run_orlo("-me none -ba " + path);
    std::remove(path.c_str());
    if (r.status == 4)
        GTEST_SKIP() << "graphics workstation could not be opened, so the read "
                        "failure is never reached: "
                     << r.out;
    EXPECT_EQ(r.status, 10) << r.out;
}

TEST(OrloExit, MissingSingleFileExitsTen)
{
    RunResult r = run_orlo("-me none -ba " + temp_path("does_not_exist.ara"));
    if (r.status == 4)
        GTEST_SKIP() << "graphics workstation could not be opened: " << r.out;
    EXPECT_EQ(r.status, 10) << r.out;
}

// The only regular file in `dir`, or "" when there is not exactly one.
std::string only_file(const std::filesystem::path& dir)
{
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        if (e.is_regular_file()) names.push_back(e.path().string());
    return names.size() == 1 ? names[0] : "";
}

// A polar-stereographic AREA file plotted on the "us" domain with image-file
// output: the program must write the remapped counts (before colouring),
// named by the output convention, plain for "img_" and zlib-compressed for
// "imgz_". The expected pixels are remapped here again from the same file
// onto a domain of the saved image's size.
TEST(OrloRun, SavesRemappedImageNamedByOutputConvention)
{
    const std::string area = std::string(ZEM_TESTDATA_DIR) + "/area/pngarea";
    if (!std::filesystem::exists(area)) GTEST_SKIP() << "test data not found: " << area;

    for (const char* kind : {"img_", "imgz_"}) {
        SCOPED_TRACE(kind);
        const std::filesystem::path dir = temp_path(kind);
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        // "%y" puts the image's year into the name, so the name proves that
        // the file's date reached the output convention.
        RunResult r = run_orlo("-me print -ba -inp area -pd us -of " + std::string(kind) + "@" +
                               dir.string() + "/saved_%y.img " + area);
        if (r.status == 4) GTEST_SKIP() << "graphics workstation could not be opened: " << r.out;
        EXPECT_EQ(r.status, 0) << r.out;
        const std::string saved = only_file(dir);
        ASSERT_FALSE(saved.empty()) << r.out;
        EXPECT_NE(r.out.find("Writing image file: " + saved + "\n"), std::string::npos) << r.out;

        // The AREA directory's year (day 1980.xxx in this file) names it.
        EXPECT_EQ(std::filesystem::path(saved).filename().string(), "saved_80.img");

        // A compressed file is smaller than its pixels; a plain one is not.
        IMG_report got;
        IMG_init(&got);
        ASSERT_EQ(IMG_read(saved.c_str(), &got, 0), 1) << saved;
        const auto size = std::filesystem::file_size(saved);
        const auto pixels = static_cast<std::uintmax_t>(got.width) * got.height;
        if (std::string(kind) == "imgz_")
            EXPECT_LT(size, pixels);
        else
            EXPECT_GT(size, pixels);

        // Same remap in this process, on a geometry of the saved size.
        std::vector<std::string> args = {"test", "-me", "none", "-ge",
                                         std::to_string(got.width) + "x" + std::to_string(got.height)};
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        const res_type keys[] = {RES_message, RES_geometry, RES_null};
        const res_type pos[] = {RES_filenames, RES_null};
        RES_init(static_cast<int>(args.size()), argv.data(), keys, pos);
        SAT_reset_params();
        SAT_set_tran_sat(1);
        FLAG_set(14, 51);
        IMG_report want;
        IMG_init(&want);
        ASSERT_EQ(SAT_read_file(area.c_str(), &want), 1);
        Domain us;
        ASSERT_EQ(DOM_get_def_region("us", &us), 1);
        SAT_domain_image(&us);
        ASSERT_EQ(SAT_remap_image(&want, &us), 1);
        ASSERT_EQ(got.width, want.width);
        ASSERT_EQ(got.height, want.height);
        EXPECT_EQ(got.domain.proj, us.proj);
        int differ = 0, nonzero = 0;
        for (int k = 0; k < want.width * want.height; ++k) {
            differ += got.data[k] != want.data[k];
            nonzero += want.data[k] != 0;
        }
        EXPECT_EQ(differ, 0);
        EXPECT_GT(nonzero, want.width * want.height / 50) << "the image must cover part of the domain";
        IMG_free(&got);
        IMG_free(&want);
        std::filesystem::remove_all(dir);
    }
}

}  // namespace
