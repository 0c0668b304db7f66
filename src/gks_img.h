#ifndef ZEM_GKS_IMG_H
#define ZEM_GKS_IMG_H

#endif
