# AREA navigation: every navigation type on samples written by the AREA
# sample writer, against PROJ and the Python references of tests/data/nav,
# plus the real GOES-8 and "pngarea" files.
zem_add_test(test_sat_tran test_sat_tran.cpp ${PROJECT_SOURCE_DIR}/tools/area_writer.cpp)
target_include_directories(test_sat_tran PRIVATE ${PROJECT_SOURCE_DIR}/tools)
