#ifndef ZEM_DEF_READ_H
#define ZEM_DEF_READ_H

#endif
