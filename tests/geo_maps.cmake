# Map backgrounds and places, drawn by orlo under Xvfb.
zem_add_xtest(test_map test_map.cpp)
add_dependencies(test_map demo_area)
target_compile_definitions(test_map PRIVATE ZEM_DEMO_AREA="$<TARGET_FILE:demo_area>")
