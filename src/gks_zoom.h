#ifndef ZEM_GKS_ZOOM_H
#define ZEM_GKS_ZOOM_H

#endif
