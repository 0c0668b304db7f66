#ifndef ZEM_GKS_MARK_H
#define ZEM_GKS_MARK_H

#endif
