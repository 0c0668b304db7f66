// Client side of the animation-loop window's message queue. The queue
// look-up is real; the connection and resource exchange with a running
// window are not built yet, so an existing queue is reported as one we
// cannot connect to.
#include "mqueue.h"

#include <sys/ipc.h>
#include <sys/msg.h>

#include <cstdlib>

#include "mess.h"

namespace {

struct MqState {
    int offset = 0;  // added to the window number to form the queue key
};

MqState g_mq;

}  // namespace

int MQ_open(int num)
{
    // Queue id 0 is a real queue on Linux (the first one of an IPC
    // namespace), so every failure is reported as -1, like a missing queue.
    // The key 0 is IPC_PRIVATE, for which msgget always makes a new queue:
    // no window can listen there, and a look-up must never create one.
    const key_t key = static_cast<key_t>(g_mq.offset + num);
    if (key == IPC_PRIVATE)
        return -1;
    int id = ::msgget(key, 0);
    return id >= 0 ? id : -1;
}

int MQ_connect(int msgqid)
{
    (void)msgqid;
    MESS_print(M_warn, "MQ_connect: loop window connection not built yet\n");
    return -1;
}

int MQ_offset(int offset)
{
    g_mq.offset = offset;
    return 0;
}

int MQ_attach_window(const char* window)
{
    const char* name = window ? window : "";
    char* end = nullptr;
    long num = std::strtol(name, &end, 10);
    int id = (end == name) ? -1 : MQ_open(static_cast<int>(num));
    if (id < 0) {
        MESS_print(M_warn, "ZEMloop window: %s not running or no message queue exists\n", name);
        return -1;
    }
    int conn = MQ_connect(id);
    if (conn == -1) {
        MESS_print(M_warn, "ZEMloop window: %s unable to connect\n", name);
        return -1;
    }
    return conn;
}
