#ifndef ZEM_GKS_LINE_H
#define ZEM_GKS_LINE_H

#endif
