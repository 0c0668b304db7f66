#ifndef ZEM_GKS_COLR_H
#define ZEM_GKS_COLR_H

#endif
