// Runs the built orlo program with arguments and collects its exit status
// and everything it printed (standard output and error together).
#ifndef ZEM_TEST_DRIVER_RUN_H
#define ZEM_TEST_DRIVER_RUN_H

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>

struct RunResult {
    int status;       // exit status, -1 when the program did not exit normally
    std::string out;  // standard output and error
};

// Standard input is /dev/null, so a prompt cannot wait for a terminal.
inline RunResult run_orlo(const std::string& args)
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

#endif
