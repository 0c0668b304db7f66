#ifndef ZEM_XDUMP_H
#define ZEM_XDUMP_H

#endif
