#ifndef ZEM_SYSTEM_H
#define ZEM_SYSTEM_H

#endif
