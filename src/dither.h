#ifndef ZEM_DITHER_H
#define ZEM_DITHER_H

#endif
