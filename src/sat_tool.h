#ifndef ZEM_SAT_TOOL_H
#define ZEM_SAT_TOOL_H

#endif
