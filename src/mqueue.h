// The animation-loop window's System V message queue. A separately running
// loop window ("ZEMloop") listens on a queue keyed by its window number; a
// plotting program attaches to it, asks for the window's resource values
// and sends its own settings back. Client side (the MQ_ calls a program
// uses) and window side (MQ_create, MQ_sget, MQ_sput, MQ_del, MQ_find), the
// latter for the loop window and for tests.
//
// Messages: a long type and 120 bytes of text, byte 0 a code character
// ("0" + code), then a NUL-terminated text. Requests go as type 1 (code
// "/" asks for a connection, code "0" + connection number carries "query
// res NAME", "set res NAME VALUE" or "quit"); the connection reply goes as
// type 2 with code "2" and the connection number; replies to a connection
// go as that connection's type: code 0 for each line, any other code ends
// the reply ("-", code -3: the loop is not running).
#ifndef ZEM_MQUEUE_H
#define ZEM_MQUEUE_H

#include <functional>

// Bytes of text in every message (code character included).
inline constexpr int MQ_TEXT = 120;

// ---- Client side ----------------------------------------------------------------

// Looks up the existing queue whose key is the offset plus `num` (never
// creates one) and installs the time-out handler. Returns the queue id (0
// is a valid id), -1 when no such queue exists or the look-up fails.
int MQ_open(int num);
// Connects to the window listening on `msgqid`: the connection number, or
// -1 when the window refuses. A window that does not answer within the
// time-out ends the program (MQ_intrp).
int MQ_connect(int msgqid);
// Sends a request on connection `conn_id`, waiting for room in the queue
// under the time-out. Returns the send result (0, or -1).
int MQ_put(int msgqid, int conn_id, const char* format, ...) __attribute__((format(printf, 3, 4)));
// Waits under the time-out for a message of type `msgtyp`; its text after
// the code character goes to `item` (MQ_TEXT bytes). Returns the code
// (code character minus "0"), or -1 with `item` emptied on a receive error.
int MQ_get(int msgqid, int msgtyp, char* item);
// Drops every waiting message of type `msgtyp`. Returns how many.
int MQ_clear(int msgqid, int msgtyp);
// Reads the reply to a request on connection `conn`: each line (code 0)
// that is not empty, a bare line feed or a comment ("!") goes to `on_line`
// (when given) without its line feed. Returns the final code; code -3
// warns "ZEMloop not running!".
int MQ_reply(int msgqid, int conn, const std::function<void(const char*)>& on_line);

// The time-out: an alarm of `timeout` seconds (default 20) around every
// wait, handled by `to_func` when set, else MQ_intrp.
void MQ_enable_alarm();
void MQ_disable_alarm();
int MQ_timeout(int secs);
int MQ_timeout_func(void (*func)(int));
// Sets the number added to window numbers to form queue keys. Returns 0.
int MQ_offset(int offset);
// Time-out handler: warns "Queue not responding!!" and ends the program
// with status 7.
void MQ_intrp(int sig);

// Handles a resource path entry "#n" (`window` is the text after "#"):
// opens and connects to window n, printing "ZEMloop window: n not running or
// no message queue exists" or "ZEMloop window: n unable to connect" as a
// warning when that fails. Returns the connection number (and the queue id
// in `msgqid`), or -1 when the entry is to be skipped.
int MQ_attach_window(const char* window, int* msgqid);

// ---- Window side ------------------------------------------------------------------

// Creates the queue of window `num` (key offset + num), which must not
// exist yet, readable and writable by its owner only. The id, or -1.
int MQ_create(int num);
// Takes the next request off the queue without waiting. A connection
// request is answered here (the first free of 19 slots, connection number
// slot + 2; "-" when all are taken) and gives 0. A request on a connection
// gives its connection number with the text in `item` (MQ_TEXT bytes).
// -1 when no request is waiting or the queue is gone.
int MQ_sget(int msgqid, char* item);
// Sends a reply on connection `conn` with `code` (0 a line, other codes end
// the reply); a negative code also frees the connection. The send result.
int MQ_sput(int msgqid, int conn, int code, const char* format, ...) __attribute__((format(printf, 4, 5)));
// Removes the queue. 0, or -1.
int MQ_del(int msgqid);
// The first of the 50 window numbers from `num` that has no queue, or -1.
int MQ_find(int num);

#endif
