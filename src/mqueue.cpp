// The loop window's System V message queue: the client calls a plotting
// program uses to exchange resources with a running loop window, and the
// window-side calls that answer them. Every wait of the client runs under
// an alarm, so a window that stops answering ends the program (status 7)
// instead of hanging it.
#include "mqueue.h"

#include <sys/ipc.h>
#include <sys/msg.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "mess.h"

namespace {

// The queue's message: a type and the text area, of which MQ_TEXT bytes
// are sent and received.
struct mqueuebuf {
    long mtype;
    char mtext[124];
};

constexpr int kConnectCode = -1;  // "/": a connection request
constexpr int kNotRunning = -3;   // "-": the loop is not running
constexpr int kConnectReply = 2;  // type and code of connection replies
constexpr int kSlots = 25;        // connection table; slots 1-19 are handed out
constexpr int kFirstSlot = 1, kLastSlot = 19;
constexpr M_type kTrace = 0x80000000u;

struct MqState {
    int offset = 0;                        // added to the window number to form the queue key
    int timeout = 20;                      // seconds any wait may take
    void (*to_func)(int) = nullptr;        // time-out handler, MQ_intrp when none
    std::array<bool, kSlots> conn{};       // window side: connection slots in use
};

MqState g_mq;

char code_char(int code) { return static_cast<char>('0' + code); }

// Formats code character and text into a message of type `type`.
void fill(mqueuebuf* m, long type, int code, const char* format, va_list ap) {
    std::memset(m, 0, sizeof *m);
    m->mtype = type;
    m->mtext[0] = code_char(code);
    std::vsnprintf(m->mtext + 1, MQ_TEXT - 1, format, ap);
}

int send(int msgqid, mqueuebuf* m, int flags) { return ::msgsnd(msgqid, m, MQ_TEXT, flags); }

// One message of type `type` without waiting: 1 got one, 0 none waiting,
// -1 a receive error.
int receive(int msgqid, long type, mqueuebuf* m) {
    if (::msgrcv(msgqid, m, MQ_TEXT, type, IPC_NOWAIT | MSG_NOERROR) >= 0) {
        m->mtext[MQ_TEXT - 1] = '\0';
        return 1;
    }
    return errno == ENOMSG ? 0 : -1;
}

// The text after the code character (receive() ends it within MQ_TEXT).
void text_of(const mqueuebuf& m, char* item) {
    std::memcpy(item, m.mtext + 1, MQ_TEXT - 1);
    item[MQ_TEXT - 1] = '\0';
}

key_t key_of(int num) { return static_cast<key_t>(g_mq.offset + num); }

}  // namespace

// ---- Client side ----------------------------------------------------------------

int MQ_open(int num) {
    std::signal(SIGALRM, MQ_intrp);
    // Queue id 0 is a real queue on Linux (the first one of an IPC
    // namespace), so every failure is reported as -1, like a missing queue.
    // The key 0 is IPC_PRIVATE, for which msgget always makes a new queue:
    // no window can listen there, and a look-up must never create one.
    const key_t key = key_of(num);
    if (key == IPC_PRIVATE) return -1;
    const int id = ::msgget(key, 0);
    return id >= 0 ? id : -1;
}

int MQ_connect(int msgqid) {
    // A reply left over from an earlier client would be taken for ours.
    MQ_clear(msgqid, kConnectReply);
    mqueuebuf m{};
    m.mtype = 1;
    m.mtext[0] = code_char(kConnectCode);
    std::snprintf(m.mtext + 1, MQ_TEXT - 1, "%d", static_cast<int>(::getuid()));
    MQ_enable_alarm();
    const int sent = send(msgqid, &m, 0);
    MQ_disable_alarm();
    if (sent < 0) return -1;
    char item[MQ_TEXT];
    if (MQ_get(msgqid, kConnectReply, item) != kConnectReply) return -1;
    const int conn = std::atoi(item);
    if (conn <= kConnectReply) return -1;
    MQ_clear(msgqid, conn);
    return conn;
}

int MQ_put(int msgqid, int conn_id, const char* format, ...) {
    mqueuebuf m;
    va_list ap;
    va_start(ap, format);
    fill(&m, 1, conn_id, format, ap);
    va_end(ap);
    MESS_print(kTrace, "PUT:%d:%s\n", msgqid, m.mtext);
    MQ_enable_alarm();
    const int rc = send(msgqid, &m, 0);
    MQ_disable_alarm();
    return rc;
}

int MQ_get(int msgqid, int msgtyp, char* item) {
    mqueuebuf m{};
    MQ_enable_alarm();
    int got = 0;
    // Polls without blocking: at first at once, then every 0.1 s, and after
    // 200 empty polls every second, until the alarm ends the wait.
    for (int polls = 0; (got = receive(msgqid, msgtyp, &m)) == 0; ++polls) {
        MESS_print(kTrace, "GET-MSG:%d %d %d %d\n", msgqid, msgtyp, polls, errno);
        if (polls >= 200) ::usleep(1000000);
        else if (polls >= 1) ::usleep(100000);
    }
    MQ_disable_alarm();
    if (got < 0) {
        item[0] = '\0';
        return -1;
    }
    MESS_print(kTrace, "GET:%s\n", m.mtext);
    text_of(m, item);
    return m.mtext[0] - '0';
}

int MQ_clear(int msgqid, int msgtyp) {
    mqueuebuf m;
    int n = 0;
    while (receive(msgqid, msgtyp, &m) == 1) ++n;
    return n;
}

int MQ_reply(int msgqid, int conn, const std::function<void(const char*)>& on_line) {
    char item[MQ_TEXT];
    int code;
    while ((code = MQ_get(msgqid, conn, item)) == 0) {
        if (item[0] == '\0' || item[0] == '!' || item[0] == '\n') continue;
        const std::size_t n = std::strlen(item);
        if (item[n - 1] == '\n') item[n - 1] = '\0';
        if (on_line) on_line(item);
    }
    if (code == kNotRunning) MESS_print(M_warn, "ZEMloop not running!\n");
    return code;
}

void MQ_enable_alarm() {
    std::signal(SIGALRM, g_mq.to_func ? g_mq.to_func : MQ_intrp);
    ::alarm(static_cast<unsigned>(g_mq.timeout));
}

void MQ_disable_alarm() { ::alarm(0); }

int MQ_timeout(int secs) {
    g_mq.timeout = secs > 0 ? secs : 20;
    return 0;
}

int MQ_timeout_func(void (*func)(int)) {
    g_mq.to_func = func;
    return 0;
}

int MQ_offset(int offset) {
    g_mq.offset = offset;
    return 0;
}

void MQ_intrp(int) {
    MESS_print(M_warn, "Queue not responding!!\n");
    std::exit(7);
}

int MQ_attach_window(const char* window, int* msgqid) {
    const char* name = window ? window : "";
    char* end = nullptr;
    const long num = std::strtol(name, &end, 10);
    const int id = (end == name) ? -1 : MQ_open(static_cast<int>(num));
    if (id < 0) {
        MESS_print(M_warn, "ZEMloop window: %s not running or no message queue exists\n", name);
        return -1;
    }
    const int conn = MQ_connect(id);
    if (conn == -1) {
        MESS_print(M_warn, "ZEMloop window: %s unable to connect\n", name);
        return -1;
    }
    if (msgqid) *msgqid = id;
    return conn;
}

// ---- Window side ------------------------------------------------------------------

int MQ_create(int num) {
    const key_t key = key_of(num);
    if (key == IPC_PRIVATE) return -1;
    const int id = ::msgget(key, IPC_CREAT | IPC_EXCL | 0600);
    return id >= 0 ? id : -1;
}

int MQ_sget(int msgqid, char* item) {
    mqueuebuf m{};
    if (receive(msgqid, 1, &m) != 1) return -1;
    const int code = m.mtext[0] - '0';
    if (code != kConnectCode) {
        text_of(m, item);
        return code;
    }
    int slot = kFirstSlot;
    while (slot <= kLastSlot && g_mq.conn[static_cast<std::size_t>(slot)]) ++slot;
    mqueuebuf r{};
    r.mtype = kConnectReply;
    if (slot > kLastSlot) {
        r.mtext[0] = code_char(kNotRunning);
    } else {
        g_mq.conn[static_cast<std::size_t>(slot)] = true;
        r.mtext[0] = code_char(kConnectReply);
        std::snprintf(r.mtext + 1, MQ_TEXT - 1, "%d", slot + 2);
    }
    send(msgqid, &r, IPC_NOWAIT);
    return 0;
}

int MQ_sput(int msgqid, int conn, int code, const char* format, ...) {
    mqueuebuf m;
    va_list ap;
    va_start(ap, format);
    fill(&m, conn, code, format, ap);
    va_end(ap);
    const int slot = conn - 2;
    if (code < 0 && slot >= kFirstSlot && slot <= kLastSlot) g_mq.conn[static_cast<std::size_t>(slot)] = false;
    return send(msgqid, &m, 0);
}

int MQ_del(int msgqid) { return ::msgctl(msgqid, IPC_RMID, nullptr); }

int MQ_find(int num) {
    for (int n = num; n < num + 50; ++n) {
        const key_t key = key_of(n);
        if (key != IPC_PRIVATE && ::msgget(key, 0) < 0 && errno == ENOENT) return n;
    }
    return -1;
}
