# Image remapping, zoom, plot-domain set-up and the remap cache of loop frames.
zem_add_test(test_remap test_remap.cpp)
