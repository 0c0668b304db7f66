# Satellite readers (GINI, LRIT, TIFF/GeoTIFF, Unisys) over the real files,
# and their broken inputs.
zem_add_test(test_readers test_sat_read_gini.cpp test_sat_read_tiff.cpp test_lrit.cpp
  test_sat_read_unisys.cpp test_sat_read_bad.cpp test_sat_read_run.cpp)
target_compile_definitions(test_readers PRIVATE
  LRIT_VARIANT_BIN="$<TARGET_FILE:lrit_variant>" UNISYS_MAKE_BIN="$<TARGET_FILE:unisys_make>")
add_dependencies(test_readers lrit_variant unisys_make)
