#ifndef ZEM_TABLE_H
#define ZEM_TABLE_H

#endif
