#ifndef ZEM_MAP_H
#define ZEM_MAP_H

#endif
