# Font tools: hershey2fnt makes the stroke fonts in etc/ from Debian's
# hershey-fonts-data (`make data` runs it).
zem_add_tool(hershey2fnt hershey2fnt.cpp)
