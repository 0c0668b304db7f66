#ifndef ZEM_GKS_TOOL_H
#define ZEM_GKS_TOOL_H

#endif
