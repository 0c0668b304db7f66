# Drawing without an X server (the raster workstation against Xvfb).
zem_add_xtest(test_gks_rast test_gks_rast.cpp)
