#ifndef ZEM_GKS_LOOP_H
#define ZEM_GKS_LOOP_H

#endif
