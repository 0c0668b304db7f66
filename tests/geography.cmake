# Geography: map projections against PROJ, domains, regions and places.
zem_add_test(test_maptran test_maptran.cpp)
zem_add_test(test_region test_region.cpp)
