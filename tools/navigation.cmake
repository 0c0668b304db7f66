# AREA sample maker: writes AREA files of every navigation type from a text
# description (format in area_writer.h).
zem_add_tool(area_make area_make.cpp area_writer.cpp)
target_include_directories(area_make PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
