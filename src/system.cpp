// Process utilities: exit, version, prompts, sleeping and elapsed time, and
// detaching into the background. Prompts recognise two commands anywhere
// the program asks a question: "set name=value" and "exit".
#include "system.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include <fcntl.h>
#include <sys/time.h>
#include <unistd.h>

#include "mess.h"
#include "resrc.h"
#include "string.h"

namespace {

constexpr const char* kVersion = "5.59-LINUX-X11";
constexpr std::size_t kLineMax = 80;     // characters kept of a prompt answer
constexpr M_type kSetListLevel = 0x800;  // "set" without a name lists resources

struct SystemState {
    struct timeval start {};
    double slept = 0.0;  // accumulated sleep since ZEM_init_time
};

SystemState g_sys;

// Reads one line from standard input; the whole line is consumed but at
// most kLineMax characters are kept, without line feed or carriage returns.
// Returns false at end of input with nothing read.
bool read_line(std::string& line) {
    if (!read_text_line(stdin, line, kLineMax)) return false;
    line.erase(std::remove(line.begin(), line.end(), '\r'), line.end());
    return true;
}

bool is_blank(char c) { return c == ' ' || c == '\t'; }

// True when `line` begins with `word` (case-insensitive) followed by a
// blank or the end, so that a file name such as "settings.dat" is not taken
// for a command.
bool begins_with_word(std::string_view line, std::string_view word) {
    return str_iprefix(line, word) && (line.size() == word.size() || is_blank(line[word.size()]));
}

// First blank-separated word of `line`, at most `width` characters.
std::string first_word(const std::string& line, std::size_t width) {
    std::size_t b = 0;
    while (b < line.size() && is_blank(line[b])) ++b;
    std::size_t e = b;
    while (e < line.size() && !is_blank(line[e])) ++e;
    return line.substr(b, std::min(e - b, width));
}

// Shared prompt loop: prints the prompt, reads lines until one is neither
// empty nor a command. Returns false at end of input.
bool prompt_line(const char* prompt, std::string& line) {
    while (true) {
        if (prompt) MESS_print(M_print, "%s", prompt);
        if (!read_line(line)) return false;
        if (first_word(line, kLineMax).empty()) continue;
        if (ZEM_set_command(line.c_str())) continue;
        return true;
    }
}

}  // namespace

void ZEM_exit(int status) {
    std::fflush(stdout);
    std::fflush(stderr);
    std::exit(status);
}

const char* ZEM_version() { return kVersion; }

char* ZEM_prompts(const char* prompt, char* str, int length) {
    if (length < 2) length = 2;
    if (!str) {
        str = static_cast<char*>(std::calloc(static_cast<std::size_t>(length), 1));
        if (!str) return nullptr;
    }
    std::string line;
    std::string word;
    if (prompt_line(prompt, line)) word = first_word(line, static_cast<std::size_t>(length - 1));
    std::memcpy(str, word.c_str(), word.size() + 1);
    return str;
}

char* ZEM_promptl(const char* prompt, char* str) {
    constexpr int kWord = 20;  // 19 characters and the terminator
    if (!str) {
        str = static_cast<char*>(std::calloc(kLineMax + 1, 1));
        if (!str) return nullptr;
    }
    return ZEM_prompts(prompt, str, kWord);
}

float ZEM_promptf(const char* prompt) {
    std::string line;
    while (prompt_line(prompt, line)) {
        char* end = nullptr;
        float v = std::strtof(line.c_str(), &end);
        if (end != line.c_str()) return v;
    }
    return 0.0f;
}

int ZEM_promptd(const char* prompt) {
    std::string line;
    while (prompt_line(prompt, line)) {
        char* end = nullptr;
        long v = std::strtol(line.c_str(), &end, 10);
        if (end != line.c_str()) return static_cast<int>(v);
    }
    return 0;
}

int ZEM_set_command(const char* string) {
    if (!string) return 0;
    std::string_view line(string);
    while (!line.empty() && is_blank(line.front())) line.remove_prefix(1);
    if (begins_with_word(line, "exit")) ZEM_exit(0);
    if (!begins_with_word(line, "set")) return 0;

    line.remove_prefix(3);
    while (!line.empty() && is_blank(line.front())) line.remove_prefix(1);
    std::size_t e = 0;
    while (e < line.size() && line[e] != '=' && !is_blank(line[e])) ++e;
    if (e == 0) {  // no name: list what is set
        MESS_print(kSetListLevel, "Set resources\n");
        RES_list();
        MESS_print(kSetListLevel, "\n");
        return 1;
    }
    std::string name(line.substr(0, e));
    line.remove_prefix(e);
    while (!line.empty() && is_blank(line.front())) line.remove_prefix(1);
    if (!line.empty() && line.front() == '=') line.remove_prefix(1);
    while (!line.empty() && is_blank(line.front())) line.remove_prefix(1);
    while (!line.empty() && is_blank(line.back())) line.remove_suffix(1);
    std::string value(line);
    RES_put(name.c_str(), value.c_str());
    return 1;
}

int ZEM_sleep(float secs) {
    if (!(secs > 0.0f)) return -1;
    g_sys.slept += secs;
    double us = static_cast<double>(secs) * 1e6;
    // usleep is limited to under a second on some systems; sleep whole
    // seconds first.
    while (us >= 1e6) {
        usleep(999999);
        us -= 999999.0;
    }
    if (us >= 1.0) usleep(static_cast<useconds_t>(us));
    return 0;
}

int ZEM_init_time() {
    gettimeofday(&g_sys.start, nullptr);
    g_sys.slept = 0.0;
    return 0;
}

float ZEM_elapse_time() {
    struct timeval now {};
    gettimeofday(&now, nullptr);
    // A clock whose microseconds read exactly 0 has no sub-second resolution;
    // the accumulated sleep is the better measure then.
    if (now.tv_usec == 0) return static_cast<float>(g_sys.slept);
    double secs = static_cast<double>(now.tv_sec - g_sys.start.tv_sec) +
                  static_cast<double>(now.tv_usec - g_sys.start.tv_usec) * 1e-6;
    return static_cast<float>(secs);
}

int ZEM_back_proc() {
    std::fflush(nullptr);  // pending output must not be written twice
    pid_t pid = fork();
    if (pid < 0) {
        MESS_print(M_error, "ZEM_back_proc: cannot fork: %s\n", std::strerror(errno));
        ZEM_exit(1);
    }
    if (pid > 0) std::exit(0);

    std::signal(SIGINT, SIG_DFL);
    close(STDIN_FILENO);
    close(STDOUT_FILENO);
    close(STDERR_FILENO);
    int fd = open("/dev/null", O_RDWR);
    if (fd < 0) return 0;
    if (fd != STDIN_FILENO) {
        dup2(fd, STDIN_FILENO);
        close(fd);
    }
    dup2(STDIN_FILENO, STDOUT_FILENO);
    dup2(STDIN_FILENO, STDERR_FILENO);
    setpgid(0, 0);
    return 1;
}
