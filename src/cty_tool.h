#ifndef ZEM_CTY_TOOL_H
#define ZEM_CTY_TOOL_H

#endif
