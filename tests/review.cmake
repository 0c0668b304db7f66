# Regression suites for faults found by a user review: where remapped pixels
# come from, file walks, messages and defaults.
zem_add_test(test_remap_rows test_remap_rows.cpp)
