#ifndef ZEM_GKS_X11_H
#define ZEM_GKS_X11_H

#endif
