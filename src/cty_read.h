#ifndef ZEM_CTY_READ_H
#define ZEM_CTY_READ_H

#endif
