// The loop-window message queue on real System V queues: a window side made
// of MQ_create, MQ_sget and MQ_sput runs in one child process and answers a
// client in another that decodes its resources through a "#n" path entry.
// Every queue is removed however a case ends, and the suite checks that
// none of its window numbers still has one.
#include "zem_test.h"

#include <sys/msg.h>

#include <cstring>

#include "mqueue.h"

namespace {

// This process's window numbers. Other programs make and remove queues of
// their own while the suite runs, so only these are counted.
const int kBase = 0x4D5100 + static_cast<int>(getpid() & 0xFFF) * 64;
int queues() {
    int n = 0;
    for (int k = kBase; k < kBase + 64; ++k) n += MQ_open(k) >= 0;
    return n;
}

// No queue outlives the suite.
class NoQueueLeft : public ::testing::Environment {
public:
    void SetUp() override { before_ = queues(); }
    void TearDown() override { EXPECT_EQ(queues(), before_) << zt::run("ipcs -q").out; }

private:
    int before_ = 0;
};
const auto* const kNoLeft = ::testing::AddGlobalTestEnvironment(new NoQueueLeft);

// A free window number and, when made, its queue, removed at the end.
struct Queue {
    int num = MQ_find(kBase);
    int id = -1;
    explicit Queue(bool make) {
        if (make) id = MQ_create(num);
    }
    ~Queue() {
        if (id >= 0) MQ_del(id);
    }
};

// A forked process ended (if still running) when this goes.
struct Child {
    pid_t pid = -1;
    ~Child() {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
};

enum class Window { none, answers, not_running };

// The window side: logs every request, answers queries from its own
// values (followed by a comment line) and settings with an end code, or says the
// loop is not running; ends at "quit" or after 30 s.
void run_window(int qid, Window mode, const std::string& log) {
    alarm(30);
    std::ofstream out(log);
    char item[MQ_TEXT];
    for (;;) {
        const int c = MQ_sget(qid, item);
        if (c <= 0) {
            usleep(2000);
            continue;
        }
        out << item << "\n" << std::flush;
        if (std::strcmp(item, "quit") == 0) {
            MQ_sput(qid, c, -2, "bye");
            _exit(0);
        }
        if (mode == Window::not_running) {
            MQ_sput(qid, c, -3, "%s", "");
            continue;
        }
        const std::string q = item;
        if (q == "query res title" || q == "query res label") {
            MQ_sput(qid, c, 0, q == "query res title" ? "loop title\n" : "ul:from_window\n");
            MQ_sput(qid, c, 0, "! the window's %s\n", q.c_str() + 10);
        }
        MQ_sput(qid, c, 1, "%s", "");
    }
}

struct MqCase {
    const char* name;
    Window window;
    bool queue;
    int prefill;              // connections taken before ours
    int timeout;              // client time-out, seconds
    int status;               // client's exit status (99: ran to its end)
    const char* output;       // in the client's output
    const char* window_log;   // requests the window saw, in order
};

const MqCase kCases[] = {
    {"window answers", Window::answers, true, 0, 5, 99,
     "title=loop title label=ul:from_window plot_domain=us plot_param=full",
     "query res message\nquery res plot_domain\nquery res plot_param\nquery res title\nquery res label\n"
     "set res plot_param full\nset res message warn\nset res plot_domain us\nquit\n"},
    {"no queue", Window::none, false, 0, 5, 99, "ZEMloop window: N not running or no message queue exists", ""},
    {"all connections taken", Window::answers, true, 19, 5, 99,
     "ZEMloop window: N unable to connect\nconn 3 conn 4 conn 5 conn 6 conn 7 conn 8 conn 9 conn 10 conn 11 "
     "conn 12 conn 13 conn 14 conn 15 conn 16 conn 17 conn 18 conn 19 conn 20 conn 21 title=file_title", ""},
    // Without values from the window, ours go to it.
    {"loop not running", Window::not_running, true, 0, 5, 99, "ZEMloop not running!",
     "query res message\nquery res plot_domain\nquery res plot_param\nquery res title\nquery res label\n"
     "set res plot_param full\nset res title file_title\nset res message warn\nset res plot_domain us\nquit\n"},
    {"window silent", Window::none, true, 0, 1, 7, "Queue not responding!!", ""},
};

TEST(LoopWindowQueue, ResourceExchange) {
    for (const MqCase& c : kCases) {
        SCOPED_TRACE(c.name);
        zt::TempDir d(true);
        zt::spit(d.file(".zemdef"), "*plot_param: full\n*title: file_title\n");
        Queue q(c.queue);
        ASSERT_TRUE(!c.queue || q.id >= 0) << std::strerror(errno);
        Child window;
        if (c.window != Window::none) {
            window.pid = fork();
            if (window.pid == 0) run_window(q.id, c.window, d.file("window.log"));
        }
        const std::string num = std::to_string(q.num);
        const zt::RunResult r = zt::run_child([&] {
            MQ_timeout(c.timeout);
            for (int i = 0; i < c.prefill; ++i) std::printf("conn %d ", MQ_connect(MQ_open(q.num)));
            const res_type keys[] = {RES_message, RES_plot_domain, RES_plot_param, RES_title, RES_label, RES_null};
            zt::decode("orlo", {"-df", ".:#" + num, "-me", "warn", "-pd", "us"}, keys);
            std::printf("title=%s label=%s plot_domain=%s plot_param=%s\n", RES_get("title"), RES_get("label"),
                        RES_get("plot_domain"), RES_get("plot_param"));
        });
        EXPECT_EQ(r.status, c.status) << r.out << r.err;
        std::string out = r.err + r.out;
        for (std::size_t p; (p = out.find(num)) != std::string::npos;) out.replace(p, num.size(), "N");
        EXPECT_NE(out.find(c.output), std::string::npos) << out;
        EXPECT_EQ(zt::slurp(d.file("window.log")), c.window_log);
        // A missing or refusing window is reported once and decoding goes on.
        if (c.status != 7 && c.window != Window::not_running) {
            EXPECT_EQ(zt::count_of(out, "ZEMloop"), c.window_log[0] ? 0 : 1);
        }
    }
}

}  // namespace
