# Map backgrounds, places and plot labels, drawn by orlo under Xvfb.
zem_add_xtest(test_geo test_map.cpp test_plt_labl.cpp)
add_dependencies(test_geo demo_area)
target_compile_definitions(test_geo PRIVATE ZEM_DEMO_AREA="$<TARGET_FILE:demo_area>")
