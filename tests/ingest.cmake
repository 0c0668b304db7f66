# Ingest: image record, satellite file reading, AREA reader, package image files.
zem_add_test(test_ingest test_sat_read.cpp test_img_tool.cpp)
target_compile_definitions(test_ingest PRIVATE AREA_VARIANT_BIN="$<TARGET_FILE:area_variant>")
add_dependencies(test_ingest area_variant)
