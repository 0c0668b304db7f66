#ifndef ZEM_GKS_FILL_H
#define ZEM_GKS_FILL_H

#endif
