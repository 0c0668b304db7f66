#ifndef ZEM_PNG_H
#define ZEM_PNG_H

#endif
