// Client side of the animation-loop window's System V message queue. Only
// the look-up of the queue exists so far; the resource exchange with a
// running window is not built yet.
#ifndef ZEM_MQUEUE_H
#define ZEM_MQUEUE_H

// Looks up the existing queue whose key is the offset plus `num` (never
// creates one). Returns the queue id (0 is a valid id), -1 when no such queue
// exists or the look-up fails otherwise.
int MQ_open(int num);
// Connects to the window listening on `msgqid`. Not built yet: warns and
// returns -1.
int MQ_connect(int msgqid);
// Sets the number added to window numbers to form queue keys. Returns 0.
int MQ_offset(int offset);

// Handles a resource path entry "#n" (`window` is the text after "#"):
// opens and connects to window n, printing "ZEMloop window: n not running or
// no message queue exists" or "ZEMloop window: n unable to connect" as a
// warning when that fails. Returns the connection number, or -1 when the
// entry is to be skipped.
int MQ_attach_window(const char* window);

#endif
