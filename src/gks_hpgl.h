#ifndef ZEM_GKS_HPGL_H
#define ZEM_GKS_HPGL_H

#endif
