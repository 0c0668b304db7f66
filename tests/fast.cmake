# Drawing without an X server (the raster workstation against Xvfb) and the
# remap cache of successive loop frames.
zem_add_xtest(test_gks_rast test_gks_rast.cpp)
zem_add_test(test_remap_cache test_remap_cache.cpp)
