#ifndef ZEM_IMG_TOOL_H
#define ZEM_IMG_TOOL_H

#endif
