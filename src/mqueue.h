#ifndef ZEM_MQUEUE_H
#define ZEM_MQUEUE_H

#endif
