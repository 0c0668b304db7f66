// The orlo program's exit statuses for input it cannot plot. Runs under an
// X server (the plot is opened before the file is read).
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

struct RunResult {
    int status;
    std::string out;
};

RunResult run(const std::string& args)
{
    std::string cmd = std::string(ORLO_BIN) + " " + args + " </dev/null 2>&1";
    RunResult r{-1, {}};
    FILE* p = popen(cmd.c_str(), "r");
    if (p == nullptr) return r;
    std::array<char, 4096> buf{};
    std::size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0) r.out.append(buf.data(), n);
    int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

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
    RunResult r = run("-me none -ba " + path);
    std::remove(path.c_str());
    if (r.status == 4)
        GTEST_SKIP() << "graphics workstation could not be opened, so the read "
                        "failure is never reached: "
                     << r.out;
    EXPECT_EQ(r.status, 10) << r.out;
}

TEST(OrloExit, MissingSingleFileExitsTen)
{
    RunResult r = run("-me none -ba " + temp_path("does_not_exist.ara"));
    if (r.status == 4)
        GTEST_SKIP() << "graphics workstation could not be opened: " << r.out;
    EXPECT_EQ(r.status, 10) << r.out;
}

}  // namespace
