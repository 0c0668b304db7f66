# Drawing without an X server (the raster workstation against Xvfb) and the
# remap cache of successive loop frames.
zem_add_xtest(test_gks_rast test_gks_rast.cpp)
