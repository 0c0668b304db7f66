# Demo sample maker: a synthetic infrared AREA scene over North America
# seen from a geostationary satellite at 75 W (scripts/demo-run.sh uses it).
zem_add_tool(demo_area demo_area.cpp area_writer.cpp)
target_include_directories(demo_area PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_compile_definitions(demo_area PRIVATE ZEM_ETC_DIR="${PROJECT_SOURCE_DIR}/etc")
