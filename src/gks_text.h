#ifndef ZEM_GKS_TEXT_H
#define ZEM_GKS_TEXT_H

#endif
