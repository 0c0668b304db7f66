# Geography: domains and regions, map projections, place lookups.
zem_add_test(test_maptran test_maptran.cpp)
zem_add_test(test_region test_region.cpp)
