#ifndef ZEM_FLAG_H
#define ZEM_FLAG_H

#endif
