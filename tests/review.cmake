# Regression suites for faults found by a user review: where remapped pixels
# come from, file walks, messages and defaults.
zem_add_test(test_png_depth test_png_depth.cpp)
