// Runs a piece of test code in a forked child with its own standard input,
// output and error, so that code which prompts, pauses or ends the process
// can be checked from the outside; and small helpers shared by the message
// and file tests.
#ifndef ZEM_TEST_CHILD_RUN_H
#define ZEM_TEST_CHILD_RUN_H

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

struct ChildResult {
    int status = -1;      // exit status, or -1 when the child did not exit normally
    std::string out;      // everything written to standard output
    std::string err;      // everything written to standard error
};

// Forks; the child reads `input` on standard input, runs `body` and ends with
// `fallthrough_status` when `body` returns (so a body that calls exit itself
// is told apart from one that returned).
inline ChildResult run_child(const std::function<void()>& body, const std::string& input,
                             int fallthrough_status = 99) {
    ChildResult r;
    int in[2], out[2], err[2];
    if (pipe(in) || pipe(out) || pipe(err)) return r;
    std::fflush(nullptr);
    pid_t pid = fork();
    if (pid < 0) return r;
    if (pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        dup2(err[1], 2);
        close(in[0]); close(in[1]); close(out[0]); close(out[1]); close(err[0]); close(err[1]);
        body();
        std::fflush(nullptr);
        _exit(fallthrough_status);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    if (!input.empty()) {
        ssize_t w = write(in[1], input.data(), input.size());
        (void)w;
    }
    close(in[1]);
    struct pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    int open_fds = 2;
    while (open_fds > 0) {
        if (poll(fds, 2, 20000) <= 0) break;  // a hung child fails the test below
        for (int k = 0; k < 2; ++k) {
            if (fds[k].fd < 0 || !(fds[k].revents & (POLLIN | POLLHUP))) continue;
            char buf[4096];
            ssize_t n = read(fds[k].fd, buf, sizeof buf);
            if (n <= 0) {
                close(fds[k].fd);
                fds[k].fd = -1;
                --open_fds;
            } else {
                (k == 0 ? r.out : r.err).append(buf, static_cast<std::size_t>(n));
            }
        }
    }
    for (auto& f : fds)
        if (f.fd >= 0) {
            kill(pid, SIGKILL);
            close(f.fd);
        }
    int st = 0;
    waitpid(pid, &st, 0);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

// The whole content of a file ("" when it cannot be read).
inline std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

inline int count_of(const std::string& text, const std::string& what) {
    int n = 0;
    for (std::size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
    return n;
}

#endif
