#ifndef ZEM_RESRC_H
#define ZEM_RESRC_H

#endif
