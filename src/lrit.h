#ifndef ZEM_LRIT_H
#define ZEM_LRIT_H

#endif
