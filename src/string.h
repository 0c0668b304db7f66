#ifndef ZEM_STRING_H
#define ZEM_STRING_H

#endif
