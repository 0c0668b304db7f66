#ifndef ZEM_GKS_META_H
#define ZEM_GKS_META_H

#endif
