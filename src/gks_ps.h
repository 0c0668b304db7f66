#ifndef ZEM_GKS_PS_H
#define ZEM_GKS_PS_H

#endif
