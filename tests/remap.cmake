# Image remapping, zoom and plot-domain set-up.
zem_add_test(test_remap test_remap.cpp)
