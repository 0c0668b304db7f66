#ifndef ZEM_GKS_OBJ_H
#define ZEM_GKS_OBJ_H

#endif
