#ifndef ZEM_GIF_H
#define ZEM_GIF_H

#endif
