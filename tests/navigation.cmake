# AREA navigation: every navigation type on samples written by the AREA
# sample maker, plus the real GOES-8 file.
zem_add_test(test_sat_tran test_sat_tran.cpp ${PROJECT_SOURCE_DIR}/tools/area_writer.cpp)
target_include_directories(test_sat_tran PRIVATE ${PROJECT_SOURCE_DIR}/tools)
target_compile_definitions(test_sat_tran PRIVATE AREA_MAKE_BIN="$<TARGET_FILE:area_make>")
add_dependencies(test_sat_tran area_make)
