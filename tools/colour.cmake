# Colour tools: rgb2clr makes etc/zem.clr from the X11 colour names.
zem_add_tool(rgb2clr rgb2clr.cpp)
