#ifndef ZEM_FILES_H
#define ZEM_FILES_H

#endif
