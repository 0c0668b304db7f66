#ifndef ZEM_GKS_EVNT_H
#define ZEM_GKS_EVNT_H

#endif
